#include "link/rtuframe.h"
#include "link/rtureceiver.h"

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
    void dropsMoreThanABufferfulSilently();
};

const quint8 us = 1;
const QByteArray okReply = QByteArray::fromHex("01424F4BD5CB"); // "OK" from address 1

// Feeds the bytes in chunks of `chunk` (0: all at once) and gives back every
// verdict that was not a wait, clearing after rejections as the poller does.
QList<Verdict> feed(RtuReceiver &receiver, const QByteArray &bytes, int chunk)
{
    QList<Verdict> verdicts;
    const int step = chunk == 0 ? int(bytes.size()) : chunk;
    for (int at = 0; at < bytes.size(); at += step) {
        if (!receiver.collect(bytes.mid(at, step)))
            continue;
        const Verdict verdict = receiver.examine(us);
        if (verdict.kind == Verdict::Wait)
            continue;
        verdicts.append(verdict);
        receiver.clear();
    }
    return verdicts;
}

void TestRtuReceiver::acceptsAReplyHoweverItArrives_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("chunk");
    const QByteArray version = rtuFrame(us, "BVER=2.1");
    const QByteArray badChecksum = QByteArray::fromHex("01424F4BD5CC");
    const QByteArray withOurAddressInside = rtuFrame(us, "B\x01"
                                                         "B"
                                                         "OK");
    const QList<std::pair<const char *, int>> ways{{"whole", 0}, {"halves", 3}, {"bytes", 1}};
    for (const auto &[way, chunk] : ways) {
        QTest::addRow("OK %s", way) << QByteArray() << okReply << chunk;
        QTest::addRow("VER= %s", way) << QByteArray() << version << chunk;
        QTest::addRow("reply holding our address, %s", way)
            << QByteArray() << withOurAddressInside << chunk;
        QTest::addRow("stray bytes first, %s", way)
            << QByteArray::fromHex("00FF") << okReply << chunk;
        QTest::addRow("our address as a stray byte, %s", way)
            << QByteArray::fromHex("01") << version << chunk;
        QTest::addRow("after a bad checksum, %s", way) << badChecksum << version << chunk;
    }
}

void TestRtuReceiver::acceptsAReplyHoweverItArrives()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, reply);
    QFETCH(int, chunk);
    RtuReceiver receiver;
    const QList<Verdict> verdicts = feed(receiver, before + reply, chunk);
    QCOMPARE(verdicts.size(), 1);
    QCOMPARE(verdicts[0].kind, Verdict::Reply);
    QCOMPARE(verdicts[0].reply, reply.mid(2, reply.size() - 4));
}

void TestRtuReceiver::rejectsWhatIsNotForUs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::newRow("another address") << rtuFrame(2, "BOK") << int(Verdict::AddressError);
    QTest::newRow("another command letter") << rtuFrame(us, "AOK") << int(Verdict::CommandError);
    QTest::newRow("garbage") << QByteArray("\x00\x00\x00\x00\x00\x00\x00", 7)
                             << int(Verdict::AddressError);
}

void TestRtuReceiver::rejectsWhatIsNotForUs()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    RtuReceiver receiver;
    QVERIFY(receiver.collect(bytes));
    QCOMPARE(int(receiver.examine(us).kind), kind);

    // Once cleared, the next reply is taken as usual.
    receiver.clear();
    QVERIFY(receiver.collect(okReply));
    QCOMPARE(receiver.examine(us).reply, QByteArray("OK"));
}

void TestRtuReceiver::waitsWhileAFrameMayStillBeComing()
{
    RtuReceiver receiver;
    QVERIFY(!receiver.collect(okReply.left(5))); // fewer than six bytes: nothing to examine
    receiver.clear();
    QVERIFY(receiver.collect(QByteArray::fromHex("01424F4BD5CC"))); // whole, wrong checksum
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait); // could be the start of a longer one
    QVERIFY(receiver.collect(QByteArray::fromHex("AA")));
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait);
}

void TestRtuReceiver::dropsMoreThanABufferfulSilently()
{
    RtuReceiver receiver;
    QVERIFY(receiver.collect(okReply.left(2) + QByteArray(1000, 'x')));
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait);
    QVERIFY(!receiver.collect(QByteArray(30, 'x')));
    QVERIFY(receiver.bytes().isEmpty());
    QVERIFY(receiver.collect(okReply));
    QCOMPARE(receiver.examine(us).reply, QByteArray("OK"));
}

QTEST_APPLESS_MAIN(TestRtuReceiver)
#include "tst_rtureceiver.moc"
