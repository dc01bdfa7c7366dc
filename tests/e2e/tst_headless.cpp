#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "engine/engine.h"
#include "fakes/enginereports.h"
#include "window/panel.h"
#include "window/panelcolours.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The engine alone, with no window and no widget library, on a real serial
// port: a pty played by bootline-sim, with real timers. Every wait is bounded.
class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wholeJobWithoutAWindow_data();
    void wholeJobWithoutAWindow();

private:
    QTemporaryDir m_config;
};

void TestHeadless::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestHeadless::wholeJobWithoutAWindow_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::newRow("RTU") << true;
    QTest::newRow("plain") << false;
}

void TestHeadless::wholeJobWithoutAWindow()
{
    QFETCH(bool, rtu);
    const QString blink = exampleFile("blink.hex");
    const int lines = linesIn(blink);
    QVERIFY(lines > 0);
    SimulatedBoard board(QStringList{"--quiet", "--exit-on-mismatch"} +
                         (rtu ? QStringList{"--address", "1"} : QStringList{"--plain"}));
    QVERIFY(board.isReady());

    Engine engine; // the real serial port, on COM3
    const Panel panel(engine);
    EngineReports reports(engine);
    engine.setRtu(rtu);
    engine.setAddress("1");
    QSignalSpy found(&engine, &Engine::boardFound);
    QSignalSpy ended(&engine, &Engine::jobEnded);
    QSignalSpy answered(&engine, &Engine::commandAnswered);
    engine.run([&] { engine.openPort(); });
    QVERIFY(found.wait(3000));

    engine.run([&] { engine.loadFirmwareFile(blink); });
    QVERIFY(ended.wait(30000));
    QVERIFY(ended.first().first().value<JobResult>().verified());
    QCOMPARE(panel.progressText(), QStringLiteral("END"));
    QCOMPARE(panel.barColour(), Colour::Green);
    QCOMPARE(panel.progressPosition(), lines);

    engine.run([&] { engine.installFirmware(); });
    QVERIFY(answered.wait(3000));
    QCOMPARE(answered.first().at(2).toByteArray().trimmed(), QByteArray("RUN"));
    QVERIFY2(reports.shown.isEmpty(), qPrintable(reports.shown.value(0).text));
    engine.run([&] { engine.closePort(); });

    QVERIFY(board.stop());
    const QString summary =
        QStringLiteral("lines received %1, lines verified %1, mismatches 0").arg(lines);
    QVERIFY2(board.output().contains(summary), qPrintable(board.output()));
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
