#include "fakes/testengine.h"
#include "link/rtuframe.h"
#include "window/panelcolours.h"

#include <QSignalSpy>
#include <QTest>

class TestReceivePoller : public QObject {
    Q_OBJECT
private slots:
    void lampBlinksEveryTenthTick();
    void plainRepliesCutAcrossPollsAreJoined_data();
    void plainRepliesCutAcrossPollsAreJoined();
    void rtuReplyIsAcceptedWholeOrSplit_data();
    void rtuReplyIsAcceptedWholeOrSplit();
    void rtuFramesNotForUsAreShownAsErrors_data();
    void rtuFramesNotForUsAreShownAsErrors();
    void rtuFramesThatFailQuietly_data();
    void rtuFramesThatFailQuietly();
    void garbageBeforeAReplyByteByByte();
    void bufferStartsEmptyAtOpenAndKeepsWhatCameOverASend();
    void replyPaceTakesAReplyAsSoonAsItIsWhole_data();
    void replyPaceTakesAReplyAsSoonAsItIsWhole();
    void pollPaceWaitsForThePoll();
    void idlePollSleepsUntilTheBlink();
    void bytesOrASendWakeASleepingPoll_data();
    void bytesOrASendWakeASleepingPoll();
    void sleepingPollStillBlinksOnTime();
    void arrivalsAreWatchedOnlyWhereTheyMatter_data();
    void arrivalsAreWatchedOnlyWhereTheyMatter();
    void replyThatMayGrowByAZeroIsTakenWhole();
};

const QByteArray okFrom1 = QByteArray::fromHex("01424F4BD5CB");

// An open port in RTU mode, addressed to board 1, with three lines loaded.
void openAt1(TestEngine &t)
{
    t.engine.setAddress("1");
    t.engine.openPort();
    t.inside.probeTimer().setEnabled(false);
    for (qint16 i = 1; i <= 3; ++i)
        t.inside.state.lines[i] = ":0" + QByteArray::number(i);
    t.inside.state.lineCount = 3;
}

// Feeds each piece in a poll of its own.
void receive(TestEngine &t, const QList<QByteArray> &pieces)
{
    for (const QByteArray &piece : pieces)
        t.receive(piece);
}

void TestReceivePoller::lampBlinksEveryTenthTick()
{
    TestEngine t;
    for (int tick = 1; tick <= 9; ++tick)
        t.inside.receivePollTick();
    QCOMPARE(t.panel.lampColour(), Colour::White);
    t.inside.receivePollTick();
    QCOMPARE(t.panel.lampColour(), Colour::Grey);
    QCOMPARE(t.inside.state.blinkTicks, qint16(0));
    for (int tick = 1; tick <= 10; ++tick)
        t.inside.receivePollTick();
    QCOMPARE(t.panel.lampColour(), Colour::White);

    QVERIFY(t.port->writes.isEmpty());

    t.port->setOpen(true);
    t.engine.queryBoard(); // a send: green
    QCOMPARE(t.panel.lampColour(), Colour::SendGreen);
    for (int tick = 1; tick <= 10; ++tick)
        t.inside.receivePollTick();
    QCOMPARE(t.panel.lampColour(), Colour::White); // any other colour gives way to white
}

void TestReceivePoller::plainRepliesCutAcrossPollsAreJoined_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("progress");
    QTest::newRow("whole") << QList<QByteArray>{"OK\r\n"} << "OK\r\n"
                           << "DOWNLOAD";
    QTest::newRow("O, K") << QList<QByteArray>{"O", "K\r\n"} << "OK\r\n"
                          << "DOWNLOAD";
    QTest::newRow("DOWNL, OAD") << QList<QByteArray>{"DOWNL", "OAD\r\n"} << "DOWNLOAD\r\n"
                                << "VERIFY";
    QTest::newRow("ERR, O, R") << QList<QByteArray>{"ERR", "O", "R\r\n"} << "ERROR\r\n"
                               << "ERROR";
    QTest::newRow("noise, then a whole reply: one line")
        << QList<QByteArray>{"\xFF", "OK\r\n"} << QString::fromLatin1("\xFFOK\r\n") << "DOWNLOAD";
}

void TestReceivePoller::plainRepliesCutAcrossPollsAreJoined()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QString, shown);
    QFETCH(QString, progress);
    TestEngine t;
    openAt1(t);
    t.engine.setRtu(false);
    t.engine.sendNextLine();
    t.port->writes.clear();
    receive(t, pieces.mid(0, pieces.size() - 1));
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.panel.answer(), QString::fromLatin1(pieces.mid(0, pieces.size() - 1).join()));
    receive(t, {pieces.last()});
    QCOMPARE(t.panel.answer(), shown);
    QCOMPARE(t.panel.progressText(), progress);
    QCOMPARE(t.port->writes.size(), progress == "ERROR" ? 0 : 1);
}

void TestReceivePoller::rtuReplyIsAcceptedWholeOrSplit_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QString>("reply");
    const QByteArray longer = rtuFrame(1, "BOK and more");
    QTest::newRow("whole") << QList<QByteArray>{okFrom1} << QStringLiteral("OK");
    QTest::newRow("4 then 2") << QList<QByteArray>{okFrom1.left(4), okFrom1.mid(4)}
                              << QStringLiteral("OK");
    QTest::newRow("first piece already 6 long")
        << QList<QByteArray>{longer.left(6), longer.mid(6)} << QStringLiteral("OK and more");
    QTest::newRow("a stray 00 after it")
        << QList<QByteArray>{okFrom1 + QByteArray(1, '\0')} << QStringLiteral("OK");
    QTest::newRow("a stray FF after it")
        << QList<QByteArray>{okFrom1 + "\xFF"} << QStringLiteral("OK");
    QTest::newRow("garbage ending on our address, then the rest")
        << QList<QByteArray>{QByteArray::fromHex("00FF00FF00FF01"), okFrom1.mid(1)}
        << QStringLiteral("OK");
    QTest::newRow("more than a bufferful of garbage first, in the same poll")
        << QList<QByteArray>{QByteArray(1500, '\xFF') + okFrom1} << QStringLiteral("OK");
    QTest::newRow("byte by byte") << QList<QByteArray>{okFrom1.left(1),   okFrom1.mid(1, 1),
                                                       okFrom1.mid(2, 1), okFrom1.mid(3, 1),
                                                       okFrom1.mid(4, 1), okFrom1.mid(5)}
                                  << QStringLiteral("OK");
}

void TestReceivePoller::rtuReplyIsAcceptedWholeOrSplit()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QString, reply);
    TestEngine t;
    openAt1(t);
    QSignalSpy answers(&t.panel, &Panel::answerChanged);
    receive(t, pieces.mid(0, pieces.size() - 1));
    QCOMPARE(answers.size(), 0);
    QVERIFY(t.port->writes.isEmpty());
    receive(t, {pieces.last()});
    QCOMPARE(t.panel.answer(), reply); // never a checksum byte in it
    QCOMPARE(t.port->writes, QList<QByteArray>{rtuFrame(1, "BOOT:01\r\n")});
}

void TestReceivePoller::rtuFramesNotForUsAreShownAsErrors_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("shown");
    const QByteArray fromBoard2 = rtuFrame(2, "BOK");
    const QByteArray wrongLetter = rtuFrame(1, "AOK");
    QTest::newRow("address") << fromBoard2 << "Error ADDR  >> " + QString::fromLatin1(fromBoard2);
    QTest::newRow("command letter")
        << wrongLetter << "Error CMD  >> " + QString::fromLatin1(wrongLetter);
}

void TestReceivePoller::rtuFramesNotForUsAreShownAsErrors()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, shown);
    TestEngine t;
    openAt1(t);
    t.receive(frame);
    QCOMPARE(t.panel.answer(), shown);
    QVERIFY(t.port->writes.isEmpty());

    t.receive(okFrom1); // the next good reply is taken
    QCOMPARE(t.panel.answer(), QStringLiteral("OK"));
    QCOMPARE(t.port->writes.size(), 1);
}

void TestReceivePoller::rtuFramesThatFailQuietly_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wrong checksum") << "1" << QByteArray::fromHex("01424F4BD5CC");
    QTest::newRow("fewer than six bytes") << "1" << okFrom1.left(5);
    QTest::newRow("address box out of range") << "300" << okFrom1;
    QTest::newRow("address box too long") << QString(10000, u'9') << okFrom1;
}

void TestReceivePoller::rtuFramesThatFailQuietly()
{
    QFETCH(QString, address);
    QFETCH(QByteArray, bytes);
    TestEngine t;
    openAt1(t);
    t.engine.setAddress(address);
    QSignalSpy answers(&t.panel, &Panel::answerChanged);
    t.receive(bytes);
    QCOMPARE(answers.size(), 0);
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.panel.lampColour(), Colour::Red);
}

void TestReceivePoller::garbageBeforeAReplyByteByByte()
{
    TestEngine t;
    openAt1(t);
    const QByteArray noisy =
        QByteArray::fromHex("00FF01") + QByteArray::fromHex("01424F4BD5CC") + okFrom1;
    for (const char byte : noisy)
        t.receive(QByteArray(1, byte));
    QCOMPARE(t.panel.answer(), QStringLiteral("OK"));
    QCOMPARE(t.port->writes.size(), 1);
}

// A frame going out drops nothing that came: a reply cut across it reads whole.
void TestReceivePoller::bufferStartsEmptyAtOpenAndKeepsWhatCameOverASend()
{
    TestEngine t;
    openAt1(t);
    t.receive(okFrom1.left(3));
    t.inside.probeTick();
    t.receive(okFrom1.mid(3));
    QCOMPARE(t.panel.answer(), QStringLiteral("OK"));

    t.receive(okFrom1.left(3));
    t.engine.closePort();
    t.engine.openPort();
    QVERIFY(t.inside.state.rtuReplies.bytes().isEmpty());
}

void TestReceivePoller::replyPaceTakesAReplyAsSoonAsItIsWhole_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<int>("waitMs"); // -1: taken at once
    QTest::newRow("RTU, whole") << true << 0 << QList<QByteArray>{okFrom1} << -1;
    QTest::newRow("RTU, in two pieces")
        << true << 0 << QList<QByteArray>{okFrom1.left(3), okFrom1.mid(3)} << -1;
    QTest::newRow("RTU, with a gap") << true << 50 << QList<QByteArray>{okFrom1} << 50;
    QTest::newRow("plain, ended by CR LF") << false << 0 << QList<QByteArray>{"OK\r\n"} << -1;
    QTest::newRow("plain, in two pieces") << false << 0 << QList<QByteArray>{"O", "K\r\n"} << -1;
    QTest::newRow("plain, no line end: a quiet line") << false << 0 << QList<QByteArray>{"OK"} << 2;
    QTest::newRow("plain, with a gap") << false << 50 << QList<QByteArray>{"OK\r\n"} << 50;
}

void TestReceivePoller::replyPaceTakesAReplyAsSoonAsItIsWhole()
{
    QFETCH(bool, rtu);
    QFETCH(int, gapMs);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(int, waitMs);
    TestEngine t;
    openAt1(t);
    t.engine.setRtu(rtu);
    t.engine.setPace(Engine::Pace::Reply, gapMs);
    for (const QByteArray &piece : pieces)
        t.port->arrive(piece); // no poll runs
    if (waitMs >= 0) {
        QVERIFY(t.port->writes.isEmpty());
        QVERIFY(t.inside.replyGapTimer().isActive());
        QCOMPARE(t.inside.replyGapTimer().interval(), waitMs);
        t.inside.takeRepliesNow(); // its tick
    }
    const QByteArray line = "BOOT:01\r\n";
    QCOMPARE(t.port->writes, QList<QByteArray>{rtu ? rtuFrame(1, line) : line});
    QCOMPARE(t.panel.answer().trimmed(), QStringLiteral("OK"));
}

void TestReceivePoller::pollPaceWaitsForThePoll()
{
    TestEngine t;
    openAt1(t);
    t.port->arrive(okFrom1);
    QVERIFY(t.port->writes.isEmpty());
    QVERIFY(!t.inside.replyGapTimer().isActive());
    t.inside.receivePollTick();
    QCOMPARE(t.port->writes.size(), 1);
}

// The poll timer's own tick, as the event loop would deliver it.
void pollTimerFires(TestEngine &t)
{
    QVERIFY(QMetaObject::invokeMethod(&t.inside.pollTimer(), "timeout"));
}

void TestReceivePoller::idlePollSleepsUntilTheBlink()
{
    TestEngine t;
    openAt1(t);
    Timer *poll = &t.inside.pollTimer();
    QCOMPARE(poll->interval(), 20);
    pollTimerFires(t);
    QCOMPARE(t.inside.state.blinkTicks, qint16(1));
    QVERIFY(poll->isActive());
    QCOMPARE(poll->interval(), 9 * 20); // the next tick that has anything to do is the blink

    t.engine.closePort();
    t.engine.openPort(); // and a fresh port polls every 20 ms again
    QCOMPARE(poll->interval(), 20);
}

void TestReceivePoller::bytesOrASendWakeASleepingPoll_data()
{
    QTest::addColumn<bool>("send");
    QTest::newRow("bytes") << false;
    QTest::newRow("a send") << true;
}

void TestReceivePoller::bytesOrASendWakeASleepingPoll()
{
    QFETCH(bool, send);
    TestEngine t;
    openAt1(t);
    Timer *poll = &t.inside.pollTimer();
    pollTimerFires(t);
    QVERIFY(poll->interval() > 20);
    if (send)
        t.engine.queryBoard();
    else
        t.port->arrive(okFrom1);
    QVERIFY(poll->isActive());
    QVERIFY2(poll->remainingTime() <= 20, qPrintable(QString::number(poll->remainingTime())));
    if (send)
        return;
    QVERIFY(t.port->writes.isEmpty()); // the poll pace still waits for the tick
    pollTimerFires(t);
    QCOMPARE(t.port->writes.size(), 1); // the reply was taken and the next line sent
    QCOMPARE(poll->interval(), 20);     // and the poll stays awake for its reply
}

// Half a second on the poll's clock, each tick when its timer would give it:
// the lamp still changes every 200 ms while the poll sleeps, and the program
// wakes a few times instead of 25.
void TestReceivePoller::sleepingPollStillBlinksOnTime()
{
    TestEngine t;
    qint64 nowMs = 0;
    t.inside.setPollClock([&nowMs] { return nowMs; });
    openAt1(t);
    QSignalSpy colours(&t.panel, &Panel::lampColourChanged);
    const Timer *poll = &t.inside.pollTimer();
    int ticks = 0;
    for (nowMs = poll->interval(); nowMs <= 500; nowMs += poll->interval()) {
        pollTimerFires(t);
        ++ticks;
    }
    QCOMPARE(colours.size(), 2);
    QCOMPARE(colours.at(0).at(0).value<quint32>(), Colour::Grey);
    QCOMPARE(colours.at(1).at(0).value<quint32>(), Colour::White);
    QCOMPARE(ticks, 3); // 20, 200 and 400 ms
}

void TestReceivePoller::arrivalsAreWatchedOnlyWhereTheyMatter_data()
{
    QTest::addColumn<bool>("replyPace");
    QTest::addColumn<bool>("asleep");
    QTest::addColumn<bool>("watched");
    QTest::newRow("poll pace, poll awake") << false << false << false;
    QTest::newRow("poll pace, poll asleep") << false << true << true;
    QTest::newRow("reply pace, poll awake") << true << false << true;
    QTest::newRow("reply pace, poll asleep") << true << true << true;
}

// An awake poll at the poll pace takes the bytes on its own tick: their
// coming need not wake the program as well. A sleeping poll, and the reply
// pace, are woken by them.
void TestReceivePoller::arrivalsAreWatchedOnlyWhereTheyMatter()
{
    QFETCH(bool, replyPace);
    QFETCH(bool, asleep);
    QFETCH(bool, watched);
    TestEngine t;
    t.engine.setPace(replyPace ? Engine::Pace::Reply : Engine::Pace::Poll);
    openAt1(t);
    if (asleep)
        pollTimerFires(t);
    QCOMPARE(t.port->arrivalWatched, watched);
    t.engine.queryBoard(); // a send wakes the poll
    QCOMPARE(t.port->arrivalWatched, replyPace);
    t.engine.setPace(replyPace ? Engine::Pace::Poll : Engine::Pace::Reply);
    QCOMPARE(t.port->arrivalWatched, !replyPace);
}

// A reply whose checksum ends in 0x00 reads, without that byte, as a whole
// shorter reply. Where the two differ (a version's text, or a keyword) the
// poll waits for what comes next, and a quiet poll takes what is there.
void TestReceivePoller::replyThatMayGrowByAZeroIsTakenWhole()
{
    TestEngine t;
    t.engine.setAddress("89");
    t.engine.openPort();
    t.inside.state.lines[1] = ":00000001FF";
    t.inside.state.lineCount = 1;
    t.engine.sendNextLine();
    const QByteArray download = rtuFrame(89, "BDOWNLOAD");
    QCOMPARE(download.back(), '\0');
    t.receive(download.chopped(1));
    QCOMPARE(t.panel.progressText(), QStringLiteral("DOWNLOAD")); // not "DOWNLOA": waiting
    t.receive(download.right(1));
    QCOMPARE(t.panel.progressText(), QStringLiteral("VERIFY"));

    // "VER=2.1" from address 1 is whole as it stands; it might also be cut
    // before a zero. The next poll that finds nothing settles it.
    t.engine.setAddress("1");
    t.inside.probeTimer().setEnabled(true);
    t.receive(rtuFrame(1, "BVER=2.1"));
    QVERIFY(t.inside.probeTimer().isEnabled());
    t.inside.receivePollTick();
    QCOMPARE(t.panel.answer(), QStringLiteral("VER=2.1"));
    QVERIFY(!t.inside.probeTimer().isEnabled());
}

QTEST_GUILESS_MAIN(TestReceivePoller)
#include "tst_receivepoller.moc"
