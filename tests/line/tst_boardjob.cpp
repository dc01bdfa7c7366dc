#include "engine/engine.h"
#include "engine/handclock.h"
#include "engine/jobpolicy.h"
#include "fakes/fakeserialport.h"
#include "image/hexfile.h"
#include "line/boardjob.h"
#include "line/report.h"
#include "link/rtuframe.h"
#include "support/hexrecords.h"

#include <QTemporaryDir>
#include <QTest>

// A report that keeps what it was told.
struct RecordedReport : Report {
    QStringList events;
    QStringList probes; // "board attempt/attempts"
    QList<BoardResult> results;

    void boardStarted(const QString &) override {}
    void probing(const QString &board, int attempt, int attempts) override
    {
        probes << QStringLiteral("%1 %2/%3").arg(board).arg(attempt).arg(attempts);
    }
    void connected(const QString &board, const QByteArray &version) override
    {
        events << "connected " + board + " " + QString::fromLatin1(version);
    }
    void progress(Pass, int, int) override {}
    void resent(int line, int attempt) override
    {
        events << QStringLiteral("resent %1 %2").arg(line).arg(attempt);
    }
    void replied(const QString &board, const QByteArray &reply) override
    {
        events << "replied " + board + " " + QString::fromLatin1(reply);
    }
    void jobEnded(const BoardResult &) override {} // the job's own signal is what ends it
    void recorded(const BoardResult &) override {}
    void watching(Watch) override {}
};

// One board's job on an engine with a fake port, the board's replies put in
// by hand and the engine's timers run on a clock the test moves.
struct Job {
    HandClock time;
    FakeSerialPort *port = new FakeSerialPort;
    Engine engine{std::unique_ptr<SerialPort>(port)};
    RecordedReport report;
    RunOptions options;
    QList<QByteArray> image; // read from options.file at the start, as the run does once
    std::unique_ptr<BoardJob> job;

    void start(const QString &address = QStringLiteral("1"))
    {
        if (image.isEmpty() && !options.file.isEmpty())
            image = HexFile::read(options.file);
        job = std::make_unique<BoardJob>(engine, options, QStringLiteral("COM3"), address, image,
                                         report);
        QObject::connect(job.get(), &BoardJob::finished,
                         [this](const BoardResult &result) { report.results << result; });
        job->start();
    }
    // Probed and answered: line 1 is out.
    void startDownload()
    {
        start();
        probeInterval();
        answer("VER=2.0");
    }
    void probeInterval() { time.advance(JobTiming::ProbeEveryMs); }
    // The line's answer overdue: as long again as the job waits for one.
    void replyTimeout() { time.advance(options.replyTimeoutMs); }
    // An answer held for the other sending of a line waits the timeout, and as
    // long again as the line had waited since it first went out: here a timeout
    // and a few polls, so two and a half timeouts cover it.
    void heldAnswerTimeout() { time.advance(options.replyTimeoutMs * 5 / 2); }
    void answer(const QByteArray &reply, quint8 from = 1)
    {
        port->arrive(rtuFrame(from, "B" + reply));
        time.advance(JobTiming::PollEveryMs);
        time.advance(JobTiming::PollEveryMs); // the line quiet again: nothing is kept waiting
    }
    bool ended() const { return !report.results.isEmpty(); }
    const BoardResult &result() const { return report.results.last(); }
};

class TestBoardJob : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wholeJobEndsDone();
    void probeLimitIsNoBoard_data();
    void probeLimitIsNoBoard();
    void refusedLinesEndTheJob_data();
    void refusedLinesEndTheJob();
    void unansweredLineIsSentAgainThenGivenUp();
    void portThatWillNotOpen();
    void lostPort();
    void newAddressThenInstallFollowsTheBoard();
    void okToACommandSendsNoLine_data();
    void okToACommandSendsNoLine();
    void lateAnswerToAResentLineIsAbsorbed_data();
    void lateAnswerToAResentLineIsAbsorbed();
    void theRunEndsWithTheFirstFailure_data();
    void theRunEndsWithTheFirstFailure();
    void repliesThatStopTheJob_data();
    void repliesThatStopTheJob();
    void lastLineAnsweredOkWaitsThenFails();
    void theImageIsTheOneReadAtTheStart();
    void interruptClosesThePort_data();
    void interruptClosesThePort();

private:
    QTemporaryDir m_dir;
    QString m_file;
};

void TestBoardJob::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_file = m_dir.filePath("two.hex");
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(dataRecord(0x0100, 1) + "\r\n" + EndOfFileRecord + "\r\n");
}

void TestBoardJob::wholeJobEndsDone()
{
    Job t;
    t.options.file = m_file;
    t.start();
    t.probeInterval();
    t.answer("VER=2.0");
    QCOMPARE(t.report.events, QStringList{"connected 1 VER=2.0"});
    for (const QByteArray reply : {"OK", "DOWNLOAD", "OK"})
        t.answer(reply);
    QVERIFY(!t.ended());
    t.answer("DOWNLOAD");
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, Done);
    QCOMPARE(t.result().linesSent, 4);
    QVERIFY(!t.port->isOpen());
}

void TestBoardJob::probeLimitIsNoBoard_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("attempts"); // 0: not given
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("firstProbes");
    QTest::newRow("scan, as the window")
        << QString() << 0 << "any address from 1 to 127" << QStringList{"1 1/127", "2 2/127"};
    QTest::newRow("scan, 3 addresses")
        << QString() << 3 << "any address from 1 to 3" << QStringList{"1 1/3", "2 2/3"};
    QTest::newRow("one board, 5 tries")
        << "4" << 5 << "at address 4 (5 tries)" << QStringList{"4 1/5", "4 2/5"};
}

void TestBoardJob::probeLimitIsNoBoard()
{
    QFETCH(QString, address);
    QFETCH(int, attempts);
    QFETCH(QString, failure);
    QFETCH(QStringList, firstProbes);
    Job t;
    t.options.query = true;
    if (attempts > 0)
        t.options.probeAttempts = attempts;
    const int probes = attempts > 0 ? attempts : 127;
    t.start(address);
    for (int tick = 1; tick <= probes; ++tick)
        t.probeInterval();
    QVERIFY(!t.ended());
    t.probeInterval();
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, NoBoard);
    QVERIFY2(t.result().failure.contains(failure), qPrintable(t.result().failure));
    QCOMPARE(t.port->writes.size(), probes);
    QCOMPARE(t.report.probes.size(), probes);
    QCOMPARE(t.report.probes.mid(0, 2), firstProbes);
    QVERIFY(!t.port->isOpen());
}

void TestBoardJob::refusedLinesEndTheJob_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QString>("line");
    QTest::newRow("FORMAT to line 1") << QList<QByteArray>{"FORMAT"} << "line 1 of 2";
    QTest::newRow("ERROR in the verify pass")
        << QList<QByteArray>{"OK", "DOWNLOAD", "ERROR"} << "verify line 1 of 2";
}

void TestBoardJob::refusedLinesEndTheJob()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QString, line);
    Job t;
    t.options.file = m_file;
    t.start();
    t.probeInterval();
    t.answer("VER=2.0");
    for (const QByteArray &reply : replies)
        t.answer(reply);
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, BoardRefused);
    QVERIFY2(t.result().failure.contains(line), qPrintable(t.result().failure));
    QCOMPARE(t.result().reply, replies.last()); // the board's own words are quoted
}

void TestBoardJob::unansweredLineIsSentAgainThenGivenUp()
{
    Job t;
    t.options.file = m_file;
    t.options.retries = 1;
    t.options.replyTimeoutMs = 250;
    t.start();
    t.probeInterval();
    t.answer("VER=2.0");
    const QByteArray firstLine = t.port->writes.last();
    t.replyTimeout();
    QCOMPARE(t.port->writes.last(), firstLine); // byte for byte
    QCOMPARE(t.report.events.last(), QStringLiteral("resent 1 1"));
    t.answer("OK");
    t.heldAnswerTimeout(); // the other answer never came: the job goes on with line 2
    QCOMPARE(t.port->writes.last(), rtuFrame(1, "BOOT" + EndOfFileRecord + "\r\n"));
    t.replyTimeout(); // which gets its own retries
    QVERIFY(!t.ended());
    t.replyTimeout();
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, NoReply);
    QVERIFY2(t.result().failure.contains("line 2 of 2 within 250 ms, sent 2 times"),
             qPrintable(t.result().failure));
}

void TestBoardJob::portThatWillNotOpen()
{
    Job t;
    t.options.file = m_file;
    t.port->refuseOpen = true;
    t.start();
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, PortFailed);
    QVERIFY2(t.result().failure.contains("Port not available"), qPrintable(t.result().failure));
}

void TestBoardJob::lostPort()
{
    Job t;
    t.options.file = m_file;
    t.start();
    t.probeInterval();
    t.answer("VER=2.0");
    t.port->lost = true;
    t.time.advance(JobTiming::TicksPerBlink * JobTiming::PollEveryMs); // the poll's longest sleep
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, PortFailed);
    QVERIFY(t.result().failure.contains("lost"));
}

void TestBoardJob::newAddressThenInstallFollowsTheBoard()
{
    Job t;
    t.options.newAddress = "10";
    t.options.install = true;
    t.start();
    t.probeInterval();
    t.answer("VER=2.0");
    QCOMPARE(t.port->writes.last(), rtuFrame(1, "BOOT$0A\r\n"));
    t.answer("ADDR=0A"); // the board's reply holds no keyword: any reply will do
    QCOMPARE(t.port->writes.last(), rtuFrame(10, "BOOTg\r\n"));
    t.answer("RUN", 10);
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, Done);
    QCOMPARE(t.result().board, QStringLiteral("10"));
    QCOMPARE(t.report.events.mid(1), (QStringList{"replied 10 ADDR=0A", "replied 10 RUN"}));
}

// A board that answers "OK" to "BOOT$" or "BOOTg": no reply may bring a
// download line once the download is through; the port closes after the last.
void TestBoardJob::okToACommandSendsNoLine_data()
{
    QTest::addColumn<bool>("download");
    QTest::addColumn<bool>("setAddress");
    QTest::newRow("install after a download") << true << false;
    QTest::newRow("install alone") << false << false;
    QTest::newRow("new address, then install") << false << true;
}

void TestBoardJob::okToACommandSendsNoLine()
{
    QFETCH(bool, download);
    QFETCH(bool, setAddress);
    Job t;
    if (download)
        t.options.file = m_file;
    if (setAddress)
        t.options.newAddress = "10";
    t.options.install = true;
    t.startDownload();
    if (download) {
        for (const QByteArray reply : {"OK", "DOWNLOAD", "OK", "DOWNLOAD"})
            t.answer(reply);
        QVERIFY(!t.ended()); // the end of the verify pass is no answer to what follows
    }
    quint8 address = 1;
    if (setAddress) {
        QCOMPARE(t.port->writes.last(), rtuFrame(1, "BOOT$0A\r\n"));
        t.answer("OK");
        address = 10;
    }
    QCOMPARE(t.port->writes.last(), rtuFrame(address, "BOOTg\r\n"));
    QVERIFY(!t.ended());
    const qsizetype written = t.port->writes.size();
    t.answer("OK", address);
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, Done);
    QCOMPARE(t.port->writes.size(), written);
    QVERIFY(!t.port->isOpen());
}

// Line 1 went unanswered and out again; then both sendings are answered.
// Only one line may be at the board at a time: line 2 goes out once, after
// the second answer, or once the wait for it is over.
void TestBoardJob::lateAnswerToAResentLineIsAbsorbed_data()
{
    QTest::addColumn<bool>("secondAnswerComes");
    QTest::newRow("both answers come") << true;
    QTest::newRow("one answer comes") << false;
}

void TestBoardJob::lateAnswerToAResentLineIsAbsorbed()
{
    QFETCH(bool, secondAnswerComes);
    Job t;
    t.options.file = m_file;
    t.options.retries = 1;
    t.startDownload();
    const QByteArray line1 = t.port->writes.last();
    t.replyTimeout();
    QCOMPARE(t.port->writes.last(), line1);
    const qsizetype written = t.port->writes.size();
    t.answer("OK");
    QCOMPARE(t.port->writes.size(), written); // held: the other answer may still come
    if (secondAnswerComes)
        t.answer("OK");
    else
        t.heldAnswerTimeout();
    QCOMPARE(t.port->writes.size(), written + 1);
    QCOMPARE(t.port->writes.last(), rtuFrame(1, "BOOT" + EndOfFileRecord + "\r\n"));
    for (const QByteArray reply : {"DOWNLOAD", "OK", "DOWNLOAD"})
        t.answer(reply);
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, Done);
    QCOMPARE(t.result().linesSent, 5);
}

void TestBoardJob::repliesThatStopTheJob_data()
{
    QTest::addColumn<QList<QByteArray>>("replies"); // after the probe's answer
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("failure");
    const QString extra =
        QStringLiteral("more replies than lines sent: two boards may answer at "
                       "address 1, or the line echoes; the image is not verified");
    QTest::newRow("a DOWNLOAD doubled once verify line 1 is out")
        << QList<QByteArray>{"OK", "DOWNLOAD", "DOWNLOAD"} << 8 << extra;
    QTest::newRow("VER= unasked: the board restarted")
        << QList<QByteArray>{"OK", "VER=2.0"} << 9
        << "board 1 restarted during line 2 (it answered VER=)";
    QTest::newRow("VER= before any line is answered is a probe's")
        << QList<QByteArray>{"VER=2.0", "OK", "DOWNLOAD", "OK", "DOWNLOAD"} << 0 << QString();
}

// A reply that answers nothing, or news of a restart: the job ends at once,
// nothing more goes out, and the message says why.
void TestBoardJob::repliesThatStopTheJob()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, exitCode);
    QFETCH(QString, failure);
    Job t;
    t.options.file = m_file;
    t.startDownload();
    for (const QByteArray &reply : replies) {
        QVERIFY(!t.ended());
        t.answer(reply);
    }
    QVERIFY(t.ended());
    QCOMPARE(int(t.result().exitCode), exitCode);
    QVERIFY2(t.result().failure.startsWith(failure), qPrintable(t.result().failure));
    QVERIFY(!t.port->isOpen());
}

// "OK" to the end-of-file record: starting again from line 1 would begin a new
// image on the board. Nothing goes out; the wait runs out as for no reply.
void TestBoardJob::lastLineAnsweredOkWaitsThenFails()
{
    Job t;
    t.options.file = m_file;
    t.startDownload();
    t.answer("OK");
    const qsizetype written = t.port->writes.size();
    t.answer("OK");
    QCOMPARE(t.port->writes.size(), written);
    QVERIFY(!t.ended());
    t.replyTimeout();
    QVERIFY(t.ended());
    QCOMPARE(t.result().exitCode, NoReply);
    QVERIFY2(t.result().failure.contains("line 2 of 2") &&
                 t.result().failure.contains("answered OK, not DOWNLOAD"),
             qPrintable(t.result().failure));
    QCOMPARE(t.port->writes.size(), written);
}

// Every board of a run gets the image read at its start, whatever the file
// holds by the time its turn comes.
void TestBoardJob::theImageIsTheOneReadAtTheStart()
{
    Job t;
    t.options.file = m_dir.filePath("gone.hex");
    t.image = {dataRecord(0x0200, 7), EndOfFileRecord};
    t.startDownload();
    QCOMPARE(t.port->writes.last(), rtuFrame(1, "BOOT" + t.image.first() + "\r\n"));
}

void TestBoardJob::interruptClosesThePort_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGINT") << 2 << 130;
    QTest::newRow("SIGHUP") << 1 << 129;
    QTest::newRow("SIGTERM") << 15 << 143;
}

void TestBoardJob::interruptClosesThePort()
{
    QFETCH(int, signalNumber);
    QFETCH(int, exitCode);
    Job t;
    t.options.file = m_file;
    t.start();
    t.probeInterval();
    t.answer("VER=2.0");
    t.job->interrupt(exitCodeForSignal(signalNumber));
    QVERIFY(t.ended());
    QCOMPARE(int(t.result().exitCode), exitCode);
    QVERIFY(!t.port->isOpen());
    t.answer("OK"); // too late: nothing more goes out
    QCOMPARE(t.report.results.size(), 1);
}

void TestBoardJob::theRunEndsWithTheFirstFailure_data()
{
    QTest::addColumn<QString>("boards"); // each board's exit code, "+" when not recorded
    QTest::addColumn<int>("exitCode");
    QTest::newRow("all done") << "0 0 0" << 0;
    QTest::newRow("done, one not recorded") << "0 0+ 0" << 7;
    QTest::newRow("a failure after one not recorded") << "0+ 4" << 4;
    QTest::newRow("the first failure, not the worst") << "0 3 4 130" << 3;
    QTest::newRow("a failure not recorded") << "6+ 0" << 6;
}

// Exit 0 only when every board was done and recorded; 7 never hides a board
// that was not done.
void TestBoardJob::theRunEndsWithTheFirstFailure()
{
    QFETCH(QString, boards);
    QFETCH(int, exitCode);
    QList<BoardResult> results;
    for (const QString &board : boards.split(u' ')) {
        BoardResult result;
        result.exitCode = ExitCode(board.left(board.indexOf(u'+')).toInt());
        if (board.endsWith(u'+'))
            result.notRecorded = QStringLiteral("not recorded in the store");
        results << result;
    }
    QCOMPARE(int(firstFailure(results)), exitCode);
}

QTEST_GUILESS_MAIN(TestBoardJob)
#include "tst_boardjob.moc"
