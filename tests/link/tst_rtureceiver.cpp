#include "link/rtuframe.h"
#include "link/rtureceiver.h"

#include <QElapsedTimer>
#include <QTest>

using Verdict = RtuReceiver::Verdict;

class TestRtuReceiver : public QObject {
    Q_OBJECT
private slots:
    void acceptsAReplyHoweverItArrives_data();
    void acceptsAReplyHoweverItArrives();
    void rejectsWhatIsNotForUs_data();
    void rejectsWhatIsNotForUs();
    void waitsWhileAFrameMayStillBeComing();
    void bytesAfterAReplyAreLeftForLater();
    void overflowKeepsTheNewestBytes();
    void worstPollOnAFullBufferIsQuick();
};

const quint8 us = 1;
const QByteArray okReply = QByteArray::fromHex("01424F4BD5CB"); // "OK" from address 1

// Feeds the bytes in chunks of `chunk` (0: all at once) as the poller does and
// gives back every verdict that was not a wait.
QList<Verdict> feed(RtuReceiver &receiver, const QByteArray &bytes, int chunk)
{
    QList<Verdict> verdicts;
    const int step = chunk == 0 ? int(bytes.size()) : chunk;
    for (int at = 0; at < bytes.size(); at += step) {
        if (!receiver.collect(bytes.mid(at, step)))
            continue;
        const Verdict verdict = receiver.examine(us);
        if (verdict.kind != Verdict::Wait)
            verdicts.append(verdict);
    }
    return verdicts;
}

void TestRtuReceiver::acceptsAReplyHoweverItArrives_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("chunk");
    const QByteArray version = rtuFrame(us, "BVER=2.1");
    const QByteArray badChecksum = QByteArray::fromHex("01424F4BD5CC");
    const QByteArray withOurAddressInside = rtuFrame(us, "B\x01"
                                                         "B"
                                                         "OK");
    QByteArray noise(1500, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 7 % 251);
    const QList<std::pair<const char *, int>> ways{
        {"whole", 0}, {"halves", 3}, {"bytes", 1}, {"odd pieces", 5}};
    for (const auto &[way, chunk] : ways) {
        QTest::addRow("OK %s", way) << QByteArray() << okReply << QByteArray() << chunk;
        QTest::addRow("VER= %s", way) << QByteArray() << version << QByteArray() << chunk;
        QTest::addRow("reply holding our address, %s", way)
            << QByteArray() << withOurAddressInside << QByteArray() << chunk;
        QTest::addRow("stray bytes first, %s", way)
            << QByteArray::fromHex("00FF") << okReply << QByteArray() << chunk;
        QTest::addRow("our address as a stray byte, %s", way)
            << QByteArray::fromHex("01") << version << QByteArray() << chunk;
        QTest::addRow("after a bad checksum, %s", way)
            << badChecksum << version << QByteArray() << chunk;
        QTest::addRow("a stray 00 after, %s", way)
            << QByteArray() << okReply << QByteArray::fromHex("00") << chunk;
        QTest::addRow("stray bytes on both sides, %s", way)
            << QByteArray::fromHex("FF00") << version << QByteArray::fromHex("FF") << chunk;
        QTest::addRow("more than a bufferful of noise first, %s", way)
            << noise << version << QByteArray() << chunk;
    }
    // Garbage filling a poll right up to our address byte, the rest in the next.
    const QByteArray garbage = QByteArray::fromHex("00FF00FF00FF00");
    QTest::newRow("cut after the address byte")
        << garbage << okReply << QByteArray() << int(garbage.size() + 1);
}

void TestRtuReceiver::acceptsAReplyHoweverItArrives()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, after);
    QFETCH(int, chunk);
    RtuReceiver receiver;
    const QList<Verdict> verdicts = feed(receiver, before + reply + after, chunk);
    QList<Verdict> replies;
    for (const Verdict &verdict : verdicts) {
        if (verdict.kind == Verdict::Reply)
            replies << verdict;
    }
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].reply, reply.mid(2, reply.size() - 4)); // never a checksum byte in it
}

void TestRtuReceiver::rejectsWhatIsNotForUs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::newRow("another address") << rtuFrame(2, "BOK") << int(Verdict::AddressError);
    QTest::newRow("another command letter") << rtuFrame(us, "AOK") << int(Verdict::CommandError);
    QTest::newRow("garbage") << QByteArray("\x00\x00\x00\x00\x00\x00\x00", 7)
                             << int(Verdict::AddressError);
    QTest::newRow("a plain reply") << QByteArray("VER=1.0\r\n") << int(Verdict::AddressError);
    QTest::newRow("another address, holding ours") << rtuFrame(2, "B\x01"
                                                                  "BOK")
                                                   << int(Verdict::AddressError);
}

void TestRtuReceiver::rejectsWhatIsNotForUs()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    RtuReceiver receiver;
    QVERIFY(receiver.collect(bytes));
    QCOMPARE(int(receiver.examine(us).kind), kind);
    QVERIFY(receiver.bytes().isEmpty());

    QVERIFY(receiver.collect(okReply));
    QCOMPARE(receiver.examine(us).reply, QByteArray("OK"));
}

void TestRtuReceiver::waitsWhileAFrameMayStillBeComing()
{
    RtuReceiver receiver;
    QVERIFY(!receiver.collect(okReply.left(5))); // fewer than six bytes: nothing to examine
    receiver.clear();
    const QByteArray wrongChecksum = QByteArray::fromHex("01424F4BD5CC");
    QVERIFY(receiver.collect(wrongChecksum));
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait); // could be the start of a longer one
    QVERIFY(receiver.collect(QByteArray::fromHex("AA")));
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait);
    QCOMPARE(receiver.bytes(), wrongChecksum + QByteArray::fromHex("AA"));

    // Garbage in front of a possible start goes quietly; the start stays.
    receiver.clear();
    QVERIFY(receiver.collect(QByteArray::fromHex("00FF00FF00FF01")));
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait);
    QCOMPARE(receiver.bytes(), QByteArray::fromHex("01"));
}

void TestRtuReceiver::bytesAfterAReplyAreLeftForLater()
{
    RtuReceiver receiver;
    const QByteArray version = rtuFrame(us, "BVER=2.1");
    QVERIFY(receiver.collect(okReply + QByteArray::fromHex("00") + version));
    QCOMPARE(receiver.examine(us).reply, QByteArray("OK"));
    QCOMPARE(receiver.bytes(), QByteArray::fromHex("00") + version);
    QCOMPARE(receiver.examine(us).reply, QByteArray("VER=2.1"));
    QVERIFY(receiver.bytes().isEmpty());
}

void TestRtuReceiver::overflowKeepsTheNewestBytes()
{
    RtuReceiver receiver;
    QVERIFY(receiver.collect(okReply.left(2) + QByteArray(1000, 'x')));
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait);
    QVERIFY(receiver.collect(QByteArray(30, 'x') + okReply.left(3)));
    QCOMPARE(receiver.bytes().size(), RtuReceiver::Capacity);
    QVERIFY(receiver.bytes().endsWith(okReply.left(3)));
    QVERIFY(receiver.collect(okReply.mid(3)));
    QCOMPARE(receiver.examine(us).reply, QByteArray("OK"));
}

// The worst a poll can meet: a full buffer of possible starts, none of them whole.
void TestRtuReceiver::worstPollOnAFullBufferIsQuick()
{
    QByteArray starts;
    while (starts.size() < RtuReceiver::Capacity)
        starts += "\x01"
                  "B";
    qint64 best = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 5; ++run) {
        RtuReceiver receiver;
        receiver.collect(starts);
        QElapsedTimer clock;
        clock.start();
        const Verdict verdict = receiver.examine(us);
        best = qMin(best, clock.nsecsElapsed());
        QCOMPARE(verdict.kind, Verdict::Wait);
    }
    qInfo("worst poll on a full buffer: %.3f ms", best / 1e6);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__OPTIMIZE__)
    QSKIP("timing is only held to in an optimised build");
#elif defined(__SANITIZE_ADDRESS__)
    QSKIP("timing is not held to under a sanitizer");
#endif
    QVERIFY2(best < 1000000, qPrintable(QString::number(best / 1e6) + " ms"));
}

QTEST_APPLESS_MAIN(TestRtuReceiver)
#include "tst_rtureceiver.moc"
