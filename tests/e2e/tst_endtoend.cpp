#include "e2e/openwindow.h"
#include "e2e/simulatedboard.h"
#include "window/colors.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>

// The real window on a real serial port, a pty played by bootline-sim, with
// real timers. Every wait is bounded.
class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void probeFindsTheBoard_data();
    void probeFindsTheBoard();
    void scanFindsTheBoardAtAddress5();
    void downloadAndVerifyAWholeFirmware();
    void noisyLineStillGetsToTheEnd_data();
    void noisyLineStillGetsToTheEnd();
    void setAddrThenProbeAtTheNewAddress();
    void installStartsTheFirmware();
    void lostPortMidDownload();

private:
    QTemporaryDir m_config;
};

void TestEndToEnd::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
}

void TestEndToEnd::probeFindsTheBoard_data()
{
    QTest::addColumn<bool>("rtu");
    QTest::newRow("RTU") << true;
    QTest::newRow("plain") << false;
}

void TestEndToEnd::probeFindsTheBoard()
{
    QFETCH(bool, rtu);
    SimulatedBoard board(rtu ? QStringList{"--address", "1"} : QStringList{"--plain"});
    QVERIFY(board.isReady());
    OpenWindow t("1", rtu);
    QVERIFY2(t.messages->shown.isEmpty(), qPrintable(t.messages->shown.value(0).text));
    QVERIFY(t.ready());
    QVERIFY(t.box("answerBox")->text().contains("VER="));
    const int probes = t.probesSent;
    QTest::qWait(250); // longer than a probe's beat: the probe is over
    QCOMPARE(t.probesSent, probes);
}

void TestEndToEnd::scanFindsTheBoardAtAddress5()
{
    SimulatedBoard board({"--address", "5"});
    QVERIFY(board.isReady());
    OpenWindow t("");
    QCOMPARE(t.button("setAddressButton")->text(), QStringLiteral("Next"));
    QVERIFY(t.ready());
    QCOMPARE(t.box("addressBox")->text(), QStringLiteral("5"));
    QCOMPARE(t.probesSent, 5); // one to each address up to the board's
}

void TestEndToEnd::downloadAndVerifyAWholeFirmware()
{
    const QString firmware = exampleFile("firmware.hex");
    const int lines = linesIn(firmware);
    QVERIFY(lines >= 1000);
    SimulatedBoard board({"--address", "1", "--quiet", "--exit-on-mismatch"});
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    QElapsedTimer clock;
    clock.start();
    t.dialog->choice = firmware;
    t.button("downloadButton")->click();
    // A picture of the window at work, for the README.
    QVERIFY(QTest::qWaitFor([&] { return t.linesSent >= lines / 3; }, 60000));
    t.window.show();
    t.window.grab().save(QStringLiteral("download.png"));
    QVERIFY(t.finished(150000));
    qInfo("downloaded and verified %d lines (%d frames) in %.1f s", lines, 2 * lines,
          clock.elapsed() / 1000.0);
    QCOMPARE(t.progress()->barColor(), Colour::toQColor(Colour::Green));
    QCOMPARE(t.progress()->position(), lines);
    QVERIFY(t.messages->shown.isEmpty());
    QVERIFY(board.stop());
    const QString summary =
        QStringLiteral("lines received %1, lines verified %1, mismatches 0").arg(lines);
    QVERIFY2(board.output().contains(summary), qPrintable(board.output()));
}

void TestEndToEnd::noisyLineStillGetsToTheEnd_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("a corrupted copy before every reply") << QStringList{"--bad-crc", "all"};
    QTest::newRow("stray bytes, and replies split over two polls")
        << QStringList{"--garbage", "all", "--split", "all", "--split-gap", "25"};
}

void TestEndToEnd::noisyLineStillGetsToTheEnd()
{
    QFETCH(QStringList, faults);
    SimulatedBoard board(QStringList{"--address", "1", "--quiet", "--exit-on-mismatch"} + faults);
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    QVERIFY(t.download(exampleFile("blink.hex"), 30000));
    QVERIFY(board.stop());
}

void TestEndToEnd::setAddrThenProbeAtTheNewAddress()
{
    SimulatedBoard board({"--address", "1"});
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    t.box("newAddressBox")->setText("10");
    t.button("setAddressButton")->click();
    QVERIFY(t.answered("ADDR=0A"));

    t.button("queryButton")->click(); // the board no longer answers at 1
    QVERIFY(!t.answered("VER=", 400));
    t.box("addressBox")->setText("10");
    t.button("queryButton")->click();
    QVERIFY(t.answered("VER="));
}

void TestEndToEnd::installStartsTheFirmware()
{
    SimulatedBoard board({"--address", "1"});
    QVERIFY(board.isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    t.button("installButton")->click();
    QVERIFY(t.answered("RUN"));
    t.button("queryButton")->click(); // the loader is gone: nothing answers
    QVERIFY(!t.answered("VER=", 400));
    QVERIFY(board.output().contains("BOOTg"));
}

void TestEndToEnd::lostPortMidDownload()
{
    auto board =
        std::make_unique<SimulatedBoard>(QStringList{"--address", "1", "--exit-after-lines", "30"});
    QVERIFY(board->isReady());
    OpenWindow t("1");
    QVERIFY(t.ready());
    t.dialog->choice = exampleFile("firmware.hex");
    t.button("downloadButton")->click();
    QVERIFY(QTest::qWaitFor([&] { return !t.messages->shown.isEmpty(); }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return board->hasExited(); }, 2000));
    QCOMPARE(t.messages->shown.size(), 1);
    QVERIFY(t.messages->shown[0].text.startsWith("The port COM3 was lost"));
    QVERIFY(t.button("openPortButton")->isEnabled());
    QCOMPARE(t.progress()->text(), QStringLiteral("NO FILE"));

    // Nothing keeps spinning once the port is closed.
    const std::clock_t cpuBefore = std::clock();
    QTest::qWait(500);
    const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QVERIFY2(cpuSeconds < 0.1, qPrintable(QString::number(cpuSeconds)));
    QCOMPARE(t.messages->shown.size(), 1);

    // The board is back: opening works again.
    board = std::make_unique<SimulatedBoard>(QStringList{"--address", "1"});
    QVERIFY(board->isReady());
    t.button("openPortButton")->click();
    QVERIFY(t.ready());
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
