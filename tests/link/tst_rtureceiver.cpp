#include "link/rtuframe.h"
#include "link/rtureceiver.h"
#include "protocol/replykeyword.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>
#include <algorithm>

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
    void takesEveryReplyWholeWhateverFollows_data() { addReplyTexts(); }
    void takesEveryReplyWholeWhateverFollows();
    void takesEveryReplyWholeCutAnywhere_data() { addReplyTexts(); }
    void takesEveryReplyWholeCutAnywhere();
    void waitsForTheZeroThatMakesAnotherReply();
    void cleanupTestCase();

private:
    static void addReplyTexts();
};

const quint8 us = 1;
const QByteArray okReply = QByteArray::fromHex("01424F4BD5CB"); // "OK" from address 1

// Hands each poll's bytes to the receiver as the poller does, then a poll
// that finds the line quiet, and gives back every verdict that was not a wait.
QList<Verdict> poll(RtuReceiver &receiver, const QList<QByteArray> &polls, quint8 address = us)
{
    QList<Verdict> verdicts;
    for (const QByteArray &bytes : polls) {
        if (!receiver.collect(bytes))
            continue;
        const Verdict verdict = receiver.examine(address);
        if (verdict.kind != Verdict::Wait)
            verdicts.append(verdict);
    }
    if (const std::optional<QByteArray> settled = receiver.settle(address))
        verdicts.append({Verdict::Reply, *settled});
    return verdicts;
}

// The same in chunks of `chunk` bytes (0: all at once).
QList<Verdict> feed(RtuReceiver &receiver, const QByteArray &bytes, int chunk)
{
    QList<QByteArray> polls;
    const int step = chunk == 0 ? int(bytes.size()) : chunk;
    for (int at = 0; at < bytes.size(); at += step)
        polls << bytes.mid(at, step);
    return poll(receiver, polls);
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
    RtuReceiver receiver{sameReplyEitherWay};
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
    RtuReceiver receiver{sameReplyEitherWay};
    QVERIFY(receiver.collect(bytes));
    QCOMPARE(int(receiver.examine(us).kind), kind);
    QVERIFY(receiver.bytes().isEmpty());

    QVERIFY(receiver.collect(okReply));
    QCOMPARE(receiver.examine(us).reply, QByteArray("OK"));
}

void TestRtuReceiver::waitsWhileAFrameMayStillBeComing()
{
    RtuReceiver receiver{sameReplyEitherWay};
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
    RtuReceiver receiver{sameReplyEitherWay};
    const QByteArray version = rtuFrame(us, "BVER=2.1");
    QVERIFY(receiver.collect(okReply + QByteArray::fromHex("00") + version));
    QCOMPARE(receiver.examine(us).reply, QByteArray("OK"));
    QCOMPARE(receiver.bytes(), QByteArray::fromHex("00") + version);
    // A version's very text matters, and a zero yet to come could make it one
    // character longer: it is taken once the line is quiet.
    QCOMPARE(receiver.examine(us).kind, Verdict::Wait);
    QCOMPARE(receiver.settle(us), std::optional<QByteArray>("VER=2.1"));
    QVERIFY(receiver.bytes().isEmpty());
}

void TestRtuReceiver::overflowKeepsTheNewestBytes()
{
    RtuReceiver receiver{sameReplyEitherWay};
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
        RtuReceiver receiver{sameReplyEitherWay};
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

const quint8 lowestAddress = 1;
const quint8 highestAddress = 247;

void TestRtuReceiver::addReplyTexts()
{
    QTest::addColumn<QByteArray>("text");
    for (const char *text : {"OK", "ERROR", "DOWNLOAD", "FORMAT", "RUN", "ADDR=0A", "VER=1.0 SIM",
                             "VER=1.2", "VER=2.10"})
        QTest::newRow(text) << QByteArray(text);
}

// The text that bytes carry when they are exactly one printable reply frame
// for address; empty when they are not.
QByteArray readingOf(quint8 address, const QByteArray &bytes)
{
    if (bytes.size() < RtuReceiver::ShortestFrame)
        return {};
    const QByteArray text = bytes.mid(2, bytes.size() - 4);
    const bool printable =
        std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    return printable && rtuFrame(address, "B" + text) == bytes ? text : QByteArray();
}

// How the exhaustive cases went, for the report at the end.
struct Tally {
    int cases = 0;
    int ambiguous = 0;       // the bytes also read as another reply
    int readTheOtherWay = 0; // and the receiver took that one
};
Tally followedTally;
Tally cutTally;

// What is wrong with the verdicts on one case, or nothing. `other` is a second
// reading the same bytes allow (empty: none): a receiver may take it, but only
// where it keeps the reply's keyword.
QString wrongVerdicts(const QList<Verdict> &verdicts, const QByteArray &text,
                      const QByteArray &other, Tally &tally)
{
    ++tally.cases;
    if (!other.isEmpty())
        ++tally.ambiguous;
    if (verdicts.isEmpty() || verdicts[0].kind != Verdict::Reply)
        return QStringLiteral("no reply");
    if (verdicts.size() > 1)
        return QStringLiteral("%1 verdicts for one reply").arg(verdicts.size());
    const QByteArray &reply = verdicts[0].reply;
    if (reply == text)
        return {};
    if (reply == other && firstReplyKeyword(other) == firstReplyKeyword(text)) {
        ++tally.readTheOtherWay;
        return {};
    }
    return QStringLiteral("read \"%1\"").arg(QString::fromLatin1(reply));
}

// At every address: the reply alone, followed by each single byte value, and
// followed by several bytes or the next reply, all in one poll. What follows
// stays for later, except a zero byte that was taken as part of the reply.
void TestRtuReceiver::takesEveryReplyWholeWhateverFollows()
{
    QFETCH(QByteArray, text);
    for (int address = lowestAddress; address <= highestAddress; ++address) {
        const QByteArray frame = rtuFrame(quint8(address), "B" + text);
        const QByteArray next = rtuFrame(quint8(address), "BOK");
        QRandomGenerator random{quint32(address)};
        QByteArray randomBytes(4, '\0');
        for (char &byte : randomBytes)
            byte = char(random.bounded(256));
        QList<QByteArray> followers{{}, QByteArray(3, '\0'), "\xFF\xFF", randomBytes, next};
        for (int value = 0x00; value <= 0xFF; ++value)
            followers << QByteArray(1, char(value));
        for (const QByteArray &after : followers) {
            const auto failure = [&](const QString &what) {
                const QString bytes = after.isEmpty() ? QStringLiteral("nothing")
                                                      : QString::fromLatin1(after.toHex(' '));
                return QStringLiteral("address %1, followed by %2: %3")
                    .arg(address)
                    .arg(bytes, what);
            };
            RtuReceiver receiver{sameReplyEitherWay};
            const QList<Verdict> verdicts = poll(receiver, {frame + after}, quint8(address));
            const QByteArray other =
                after.isEmpty() ? QByteArray() : readingOf(quint8(address), frame + after.left(1));
            const QString wrong = wrongVerdicts(verdicts, text, other, followedTally);
            if (!wrong.isEmpty())
                QFAIL(qPrintable(failure(wrong)));
            const QByteArray left = verdicts[0].reply == text ? after : after.mid(1);
            if (receiver.bytes() != left)
                QFAIL(qPrintable(failure(QStringLiteral("the bytes after it are not left"))));
            if (after == next)
                QCOMPARE(receiver.examine(quint8(address)).reply, QByteArray("OK"));
        }
    }
}

// At every address, the reply cut at every byte into two polls, and at every
// two bytes into three. Where what is in after a poll is itself a whole
// frame, the receiver may take it, keeping the keyword.
void TestRtuReceiver::takesEveryReplyWholeCutAnywhere()
{
    QFETCH(QByteArray, text);
    for (int address = lowestAddress; address <= highestAddress; ++address) {
        const QByteArray frame = rtuFrame(quint8(address), "B" + text);
        for (qsizetype first = 1; first < frame.size(); ++first) {
            for (qsizetype second = first; second < frame.size(); ++second) {
                QList<QByteArray> polls{frame.left(first), frame.mid(first, second - first),
                                        frame.mid(second)};
                polls.removeAll(QByteArray());
                QByteArray shorter = readingOf(quint8(address), frame.left(first));
                if (shorter.isEmpty())
                    shorter = readingOf(quint8(address), frame.left(second));
                RtuReceiver receiver{sameReplyEitherWay};
                const QString wrong =
                    wrongVerdicts(poll(receiver, polls, quint8(address)), text, shorter, cutTally);
                if (!wrong.isEmpty())
                    QFAIL(qPrintable(QStringLiteral("address %1, cut at %2 and %3: %4")
                                         .arg(address)
                                         .arg(first)
                                         .arg(second)
                                         .arg(wrong)));
            }
        }
    }
}

// "DOWNLOAD" at address 89 ends in a CRC high byte of 0x00, so without its
// last byte it reads as a whole "DOWNLOA". That is a different reply: wait.
void TestRtuReceiver::waitsForTheZeroThatMakesAnotherReply()
{
    const quint8 address = 89;
    const QByteArray download = rtuFrame(address, "BDOWNLOAD");
    QCOMPARE(download.back(), '\0');
    RtuReceiver receiver{sameReplyEitherWay};
    QVERIFY(receiver.collect(download.chopped(1)));
    QCOMPARE(receiver.examine(address).kind, Verdict::Wait);
    QVERIFY(receiver.collect(download.right(1)));
    QCOMPARE(receiver.examine(address).reply, QByteArray("DOWNLOAD"));

    // Another reply coming instead of the zero settles it: nothing is stuck.
    receiver.clear();
    const QByteArray ok = rtuFrame(address, "BOK");
    QVERIFY(receiver.collect(download.chopped(1)));
    QCOMPARE(receiver.examine(address).kind, Verdict::Wait);
    QVERIFY(receiver.collect(ok));
    QCOMPARE(receiver.examine(address).reply, QByteArray("DOWNLOA"));
    QCOMPARE(receiver.examine(address).reply, QByteArray("OK"));
}

void TestRtuReceiver::cleanupTestCase()
{
    for (const auto &[ways, tally] :
         {std::pair{"followed by bytes", followedTally}, std::pair{"cut into polls", cutTally}})
        qInfo("every address, %s: %d cases, %d ambiguous, %d of those read the other way", ways,
              tally.cases, tally.ambiguous, tally.readTheOtherWay);
}

QTEST_APPLESS_MAIN(TestRtuReceiver)
#include "tst_rtureceiver.moc"
