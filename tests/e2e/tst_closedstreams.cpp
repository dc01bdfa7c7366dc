#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "support/testpaths.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// bootline-cli started as a service manager may start it: no standard input,
// output or error at all. Its progress lines must not reach its own signal
// watcher, which would take them for Ctrl-C and stop the job (exit 130).
class TestClosedStreams : public QObject {
    Q_OBJECT
private slots:
    void aWholeJobWithTheStreamsClosed();
};

void TestClosedStreams::aWholeJobWithTheStreamsClosed()
{
    QTemporaryDir config;
    QVERIFY(config.isValid());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    SimulatedBoard board({});
    QVERIFY(board.isReady());
    QProcess cli;
    // The shell closes them, then becomes bootline-cli with them closed.
    cli.start("/bin/sh", {"-c", "exec \"$0\" \"$@\" <&- >&- 2>&-", TestPaths::cli(), "-a", "1",
                          exampleFile("blink.hex")});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestClosedStreams)
#include "tst_closedstreams.moc"
