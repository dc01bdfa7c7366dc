#include "fakes/fakeserialport.h"
#include "line/operatorquestions.h"
#include "line/plannedrun.h"
#include "line/recorder.h"
#include "line/report.h"
#include "link/rtuframe.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

// What happened, on whichever thread: the faces' calls and the ports' opens
// in the one order they came.
struct EventLog {
    QMutex mutex;
    QStringList events;
    bool offTheMainThread = false; // a face's report was called from another thread
    QSet<QThread *> engineThreads; // where the engines' ports were made

    void add(const QString &event)
    {
        const QMutexLocker lock(&mutex);
        events << event;
    }
    void heardByTheFace(const QString &event)
    {
        const QMutexLocker lock(&mutex);
        offTheMainThread = offTheMainThread || QThread::currentThread() != qApp->thread();
        events << event;
    }
    QStringList all()
    {
        const QMutexLocker lock(&mutex);
        return events;
    }
    qsizetype indexOf(const QString &event) { return all().indexOf(event); }
    void portMade()
    {
        const QMutexLocker lock(&mutex);
        engineThreads << QThread::currentThread();
    }
    // One thread each, neither the main one.
    bool eachPortOnItsOwnThread(int ports)
    {
        const QMutexLocker lock(&mutex);
        return engineThreads.size() == ports && !engineThreads.contains(qApp->thread());
    }
};

struct PortReport : Report {
    PortReport(EventLog &log, QString port) : log(log), port(std::move(port)) {}
    EventLog &log;
    QString port;

    void boardStarted(const QString &) override { log.heardByTheFace(port + " started"); }
    void probing(const QString &, int, int) override {}
    void connected(const QString &, const QByteArray &) override {}
    void progress(Pass, int, int) override {}
    void resent(int, int) override {}
    void replied(const QString &, const QByteArray &) override {}
    void jobEnded(const BoardResult &) override { log.heardByTheFace(port + " ended"); }
    void recorded(const BoardResult &) override { log.heardByTheFace(port + " recorded"); }
    void watching(Watch) override {}
};

struct LoggedRunReport : RunReport {
    explicit LoggedRunReport(EventLog &log) : log(log) {}
    EventLog &log;
    std::vector<std::unique_ptr<PortReport>> ports;
    QList<BoardResult> results;
    ExitCode exitCode = Done;

    Report &addPort(const QString &port) override
    {
        ports.push_back(std::make_unique<PortReport>(log, port));
        return *ports.back();
    }
    void allFinished(const QList<BoardResult> &all, ExitCode code) override
    {
        log.heardByTheFace("all finished");
        results = all;
        exitCode = code;
    }
    void watchStarted(const QList<PortPlan> &) override {}
    void noPortPresent(const QList<PortPlan> &) override {}
};

constexpr int BlockedOpenMs = 1500;

} // namespace

// Each port on a thread of its own: whatever blocks in one port holds up no
// other, and the face hears of every port on its own thread, in order.
class TestPlannedRun : public QObject {
    Q_OBJECT
private slots:
    void aBlockedOpenHoldsUpNoOtherPort_data();
    void aBlockedOpenHoldsUpNoOtherPort();
    void goingMidRunWaitsForTheBlockedPort();
    void answersComeBackOnThePortsThread();

private:
    // COM3's open blocks; both boards answer, or neither does.
    std::unique_ptr<PlannedRun> plannedRun(bool boardsAnswer,
                                           OperatorQuestions *questions = nullptr);

    EventLog m_log;
    std::unique_ptr<LoggedRunReport> m_report;
    std::unique_ptr<Recorder> m_recorder;
    RunOptions m_options;
    QList<QByteArray> m_image;
};

std::unique_ptr<PlannedRun> TestPlannedRun::plannedRun(bool boardsAnswer,
                                                       OperatorQuestions *questions)
{
    m_log.events.clear();
    m_log.offTheMainThread = false;
    m_log.engineThreads.clear();
    m_report = std::make_unique<LoggedRunReport>(m_log);
    m_recorder = std::make_unique<Recorder>(
        std::get<StoreAddress>(parseStoreAddress(QStringLiteral("none"))), 1000, RunInfo());
    m_options = RunOptions();
    m_options.dryRun = true;
    m_options.ports = {{QStringLiteral("COM3"), {QStringLiteral("1")}},
                       {QStringLiteral("COM4"), {QStringLiteral("1")}}};
    EventLog *log = &m_log;
    return std::make_unique<PlannedRun>(
        m_options, m_image, *m_report, *m_recorder, nullptr, questions,
        [log, boardsAnswer](const QString &port) {
            log->portMade();
            auto fake = std::make_unique<FakeSerialPort>();
            if (port == QStringLiteral("COM3")) {
                fake->openDelayMs = BlockedOpenMs;
                fake->openReturned = [log] { log->add(QStringLiteral("COM3 opened")); };
            }
            if (boardsAnswer)
                fake->board = [](const QByteArray &) { return rtuFrame(1, "BVER=2.0"); };
            return fake;
        });
}

void TestPlannedRun::aBlockedOpenHoldsUpNoOtherPort_data()
{
    QTest::addColumn<bool>("boardsAnswer");
    QTest::addColumn<bool>("interrupt"); // once COM4's board has begun
    QTest::addColumn<int>("exitCode");

    QTest::newRow("both done") << true << false << int(Done);
    QTest::newRow("interrupted") << false << true << int(exitCodeForSignal(SIGINT));
}

void TestPlannedRun::aBlockedOpenHoldsUpNoOtherPort()
{
    QFETCH(bool, boardsAnswer);
    QFETCH(bool, interrupt);
    QFETCH(int, exitCode);

    const std::unique_ptr<PlannedRun> run = plannedRun(boardsAnswer);
    QSignalSpy finished(run.get(), &Run::finished);
    run->start();
    if (interrupt) {
        QTRY_VERIFY_WITH_TIMEOUT(m_log.all().contains("COM4 started"), 5000);
        run->interrupt(SIGINT);
    }
    QVERIFY(finished.wait(10000));

    const qsizetype healthyEnded = m_log.indexOf("COM4 ended");
    QVERIFY2(healthyEnded >= 0 && healthyEnded < m_log.indexOf("COM3 opened"),
             qPrintable(m_log.all().join(", ")));
    QCOMPARE(m_log.all().last(), QStringLiteral("all finished"));
    QVERIFY(!m_log.offTheMainThread);
    QVERIFY(m_log.eachPortOnItsOwnThread(2));
    QCOMPARE(finished.first().first().toInt(), exitCode);
    QCOMPARE(int(m_report->exitCode), exitCode);
    QCOMPARE(m_report->results.size(), 2);
    QCOMPARE(m_report->results[0].port, QStringLiteral("COM3")); // in port order, not end order
    QCOMPARE(m_report->results[1].port, QStringLiteral("COM4"));
    for (const BoardResult &result : m_report->results)
        QCOMPARE(int(result.exitCode), exitCode);
}

// A run dropped while a port's open blocks ends that port's thread once the
// open is back, and nothing reaches the face after.
void TestPlannedRun::goingMidRunWaitsForTheBlockedPort()
{
    std::unique_ptr<PlannedRun> run = plannedRun(true);
    run->start();
    QTRY_VERIFY_WITH_TIMEOUT(m_log.all().contains("COM4 recorded"), 5000);
    run.reset();
    const QStringList atTheEnd = m_log.all();
    QVERIFY(atTheEnd.contains("COM3 opened"));
    QCoreApplication::processEvents();
    QCOMPARE(m_log.all(), atTheEnd);
}

// A desk where each question is answered as soon as it is put, as a scanner would.
class ScannerDesk : public OperatorDesk {
public:
    OperatorQuestions *questions = nullptr;

    void put(const QString &) override
    {
        QMetaObject::invokeMethod(
            questions, [this] { questions->take(QStringLiteral("A7")); }, Qt::QueuedConnection);
    }
    void leaveUnanswered() override {}
    void refuse(const QString &) override {}
};

// The operator's answers, given on the main thread, start each board's job
// on its port's own thread.
void TestPlannedRun::answersComeBackOnThePortsThread()
{
    ScannerDesk desk;
    OperatorQuestions questions({QStringLiteral("serial")}, desk);
    desk.questions = &questions;
    const std::unique_ptr<PlannedRun> run = plannedRun(true, &questions);
    QSignalSpy finished(run.get(), &Run::finished);
    run->start();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toInt(), int(Done));
    QVERIFY(m_log.eachPortOnItsOwnThread(2));
    for (const BoardResult &result : m_report->results)
        QCOMPARE(result.tags.value(QStringLiteral("serial")), QStringLiteral("A7"));
}

QTEST_GUILESS_MAIN(TestPlannedRun)
#include "tst_plannedrun.moc"
