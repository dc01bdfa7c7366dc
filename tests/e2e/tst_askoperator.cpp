#include "e2e/clirun.h"
#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "shared/exitcode.h"
#include "support/testpaths.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <pty.h>
#include <unistd.h>

// bootline-cli --ask with a pty standing in for the operator's terminal.
class TestAskOperator : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void stationAsksEachBoardItFlashes();
    void refusedWithoutATerminal();

private:
    QTemporaryDir m_dir;
};

void TestAskOperator::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.filePath("data").toLocal8Bit());
}

// The question comes once the board has answered its probe; the answer, and
// the run's --tag tags, are on its record; every event names the one run.
void TestAskOperator::stationAsksEachBoardItFlashes()
{
    SimulatedBoard board({"--quiet"}, 22);
    QVERIFY(board.isReady());
    int terminal = -1;
    int operatorSide = -1;
    QVERIFY(::openpty(&terminal, &operatorSide, nullptr, nullptr, nullptr) == 0);
    QProcess station;
    station.setChildProcessModifier([operatorSide] { ::dup2(operatorSide, STDIN_FILENO); });
    station.start(TestPaths::cli(),
                  {"--watch", "--json", "-p", "COM22", "-a", "1", "--settle", "100",
                   "--reply-timeout", "500", "--pace", "reply", "--ask", "serial", "--tag",
                   "operator=ana", "--tag", "order=WO-1182", exampleFile("blink.hex")});
    ::close(operatorSide);
    QString said;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     said += QString::fromUtf8(station.readAllStandardError());
                     return said.endsWith("COM22 board 1: serial? ");
                 },
                 10000),
             qPrintable(said));
    QCOMPARE(::write(terminal, "SN-0042\r", 8), 8);
    QList<QJsonObject> events;
    const auto boardEvent = [&] {
        while (station.canReadLine())
            events << QJsonDocument::fromJson(station.readLine()).object();
        return std::any_of(events.begin(), events.end(),
                           [](const QJsonObject &event) { return event["event"] == "board"; });
    };
    QVERIFY(QTest::qWaitFor(boardEvent, 15000));
    ::kill(pid_t(station.processId()), SIGINT);
    QVERIFY(station.waitForFinished(5000));
    ::close(terminal);
    QCOMPARE(station.exitCode(), 0);
    events += jsonLines(QString::fromUtf8(station.readAllStandardOutput()));

    QSet<QString> runs;
    for (const QJsonObject &event : std::as_const(events)) {
        runs << event["run"].toString();
        if (event["event"] != "board")
            continue;
        QCOMPARE(event["result"].toString(), QStringLiteral("done"));
        QCOMPARE(event["tags"].toObject(),
                 QJsonObject({{"serial", "SN-0042"}, {"operator", "ana"}, {"order", "WO-1182"}}));
    }
    QCOMPARE(events.last()["event"].toString(), QStringLiteral("done"));
    QCOMPARE(runs.size(), 1);
    QVERIFY(!runs.values().first().isEmpty());
}

// No one can answer from a pipe: refused before the port is touched.
void TestAskOperator::refusedWithoutATerminal()
{
    const QString received = m_dir.filePath("received.bytes");
    SimulatedBoard board({"--quiet", "--record", received}, 23);
    QVERIFY(board.isReady());
    const Cli cli(
        {"--json", "-p", "COM23", "-a", "1", "--ask", "serial", exampleFile("blink.hex")});
    QCOMPARE(cli.exitCode, int(BadUsage));
    QVERIFY2(cli.err.contains("--ask reads the operator's answers from a terminal, and standard "
                              "input is not one"),
             qPrintable(cli.err));
    const QJsonObject done = jsonLines(cli.out).last();
    QCOMPARE(done["exit"].toInt(), 1);
    QVERIFY(!done["run"].toString().isEmpty());
    QVERIFY(board.stop());
    QCOMPARE(QFile(received).size(), 0);
}

QTEST_GUILESS_MAIN(TestAskOperator)
#include "tst_askoperator.moc"
