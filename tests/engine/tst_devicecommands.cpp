#include "fakes/testengine.h"
#include "link/rtuframe.h"

#include <QTest>

class TestDeviceCommands : public QObject {
    Q_OBJECT
private slots:
    void setAddrSendsTheLowByte_data();
    void setAddrSendsTheLowByte();
    void setAddrIsFramedToTheCurrentAddress();
    void nextResumesTheScan();
    void queryAndInstall();
    void closedPortSendsNothingButTheRestHappens();
    void okToInstallAfterAJob_data();
    void okToInstallAfterAJob();
};

void TestDeviceCommands::setAddrSendsTheLowByte_data()
{
    QTest::addColumn<QString>("newAddress");
    QTest::addColumn<QByteArray>("sent"); // empty: nothing
    QTest::newRow("10, the default") << "10" << QByteArray("BOOT$0A\r\n");
    QTest::newRow("1") << "1" << QByteArray("BOOT$01\r\n");
    QTest::newRow("255") << "255" << QByteArray("BOOT$FF\r\n");
    QTest::newRow("256") << "256" << QByteArray();
    QTest::newRow("300") << "300" << QByteArray("BOOT$2C\r\n");
    QTest::newRow("-1") << "-1" << QByteArray("BOOT$FF\r\n");
    QTest::newRow("10.5") << "10.5" << QByteArray("BOOT$0A\r\n");
    QTest::newRow("11.5") << "11.5" << QByteArray("BOOT$0C\r\n");
    QTest::newRow("12abc") << "12abc" << QByteArray("BOOT$0C\r\n");
    QTest::newRow("0") << "0" << QByteArray();
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("abc") << "abc" << QByteArray();
    QTest::newRow("&HAB") << "&HAB" << QByteArray("BOOT$AB\r\n");
    QTest::newRow("lowest 32-bit") << "-2147483648" << QByteArray();
    QTest::newRow("highest 32-bit") << "2147483647" << QByteArray("BOOT$FF\r\n");
    QTest::newRow("past 32 bits") << "2147483648" << QByteArray();
    QTest::newRow("1e400") << "1e400" << QByteArray();
}

void TestDeviceCommands::setAddrSendsTheLowByte()
{
    QFETCH(QString, newAddress);
    QFETCH(QByteArray, sent);
    TestEngine t;
    t.engine.openPort();
    t.inside.probeTimer().setEnabled(false);
    t.engine.setRtu(false);
    t.engine.setAddress("4"); // not scan mode: the caption reads "Set Addr"
    t.inside.state.scanning = false;
    t.engine.setNewAddress(newAddress);
    t.engine.setAddressOrScanNext();
    QCOMPARE(t.port->written(), sent);
    QVERIFY(t.reports.shown.isEmpty());
}

void TestDeviceCommands::setAddrIsFramedToTheCurrentAddress()
{
    TestEngine t;
    t.engine.setAddress("4");
    t.engine.openPort();
    t.inside.state.downloading = true;
    t.parse("answer");
    t.engine.setAddressOrScanNext();
    QCOMPARE(t.port->writes, QList<QByteArray>{rtuFrame(4, "BOOT$0A\r\n")});
    QCOMPARE(t.port->writes[0].size(), 12);
    QCOMPARE(t.engine.address(), QStringLiteral("4"));
    QVERIFY(t.inside.state.downloading);
    QCOMPARE(t.panel.answer(), QStringLiteral("answer"));
}

void TestDeviceCommands::nextResumesTheScan()
{
    TestEngine t;
    t.engine.openPort(); // empty address box: scan mode, "Next"
    for (int tick = 0; tick < 3; ++tick)
        t.inside.probeTick();
    t.receive(rtuFrame(3, "BVER=1")); // stops the probe
    QVERIFY(!t.inside.probeTimer().isEnabled());
    QCOMPARE(t.panel.answer(), QStringLiteral("VER=1"));
    const qsizetype sentBefore = t.port->writes.size();
    t.engine.setAddressOrScanNext();
    QVERIFY(t.inside.probeTimer().isEnabled());
    QVERIFY(t.panel.answer().isEmpty());
    QCOMPARE(t.port->writes.size(), sentBefore); // "Next" itself sends nothing
    t.inside.probeTick();
    QCOMPARE(t.engine.address(), QStringLiteral("4"));
}

void TestDeviceCommands::queryAndInstall()
{
    TestEngine t;
    t.engine.setAddress("2");
    t.engine.openPort();
    t.inside.state.downloading = true;
    t.parse("answer");
    t.engine.installFirmware();
    QCOMPARE(t.port->writes.last(), rtuFrame(2, "BOOTg\r\n"));
    QVERIFY(!t.inside.state.downloading);
    QCOMPARE(t.panel.answer(), QStringLiteral("answer")); // install leaves the answer

    t.inside.state.downloading = true;
    t.engine.queryBoard();
    QCOMPARE(t.port->writes.last(), rtuFrame(2, "BOOTi\r\n"));
    QVERIFY(!t.inside.state.downloading);
    QVERIFY(t.panel.answer().isEmpty());
}

void TestDeviceCommands::closedPortSendsNothingButTheRestHappens()
{
    TestEngine t;
    t.inside.state.downloading = true;
    t.parse("answer");
    t.engine.queryBoard();
    QVERIFY(t.panel.answer().isEmpty());
    QVERIFY(!t.inside.state.downloading);
    QVERIFY(t.port->writes.isEmpty());

    // "Next" after Close Port probes on the closed port and ends with the limit.
    t.engine.openPort();
    t.engine.closePort();
    t.engine.setAddressOrScanNext();
    QVERIFY(t.inside.probeTimer().isEnabled());
    for (int tick = 0; tick < 128; ++tick)
        t.inside.probeTick();
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].text, QStringLiteral("COM3 Not connect !"));
}

// A board that answers "OK" to "Install " (bootline-sim --ok-to-commands):
// the window sends the next line from where the line index stands, however
// the job before ended. Only while the last line's "DOWNLOAD" is awaited
// does an "OK" send nothing, for line 1 would start a new image.
void TestDeviceCommands::okToInstallAfterAJob_data()
{
    QTest::addColumn<QList<QByteArray>>("replies"); // to the job's lines, before "Install "
    QTest::addColumn<QByteArray>("sentOnOk");       // after "BOOTg"; empty: nothing
    QTest::addColumn<QString>("barText");

    using R = QList<QByteArray>;
    QTest::newRow("after END: line 1 again") << R{"OK", "OK", "DOWNLOAD", "OK", "OK", "DOWNLOAD"}
                                             << QByteArray("BOOT:01\r\n") << "DOWNLOAD";
    QTest::newRow("after ERROR at line 2: line 3")
        << R{"OK", "ERROR 7"} << QByteArray("BOOT:00000001FF\r\n") << "DOWNLOAD";
    QTest::newRow("after ERROR at verify line 2: line 3, download form")
        << R{"OK", "OK", "DOWNLOAD", "OK", "ERROR 7"} << QByteArray("BOOT:00000001FF\r\n")
        << "DOWNLOAD";
    QTest::newRow("while the last line's DOWNLOAD is awaited: nothing")
        << R{"OK", "OK"} << QByteArray() << "DOWNLOAD";
}

void TestDeviceCommands::okToInstallAfterAJob()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QByteArray, sentOnOk);
    QFETCH(QString, barText);
    TestEngine t;
    t.engine.setRtu(false);
    t.engine.openPort();
    t.engine.startDownload({":01", ":02", ":00000001FF"});
    for (const QByteArray &reply : replies)
        t.receive(reply + "\r\n");
    t.engine.installFirmware();
    QCOMPARE(t.port->writes.last(), QByteArray("BOOTg\r\n"));
    t.port->writes.clear();
    t.receive("OK\r\n");
    QCOMPARE(t.port->written(), sentOnOk);
    QCOMPARE(t.panel.progressText(), barText);
}

QTEST_GUILESS_MAIN(TestDeviceCommands)
#include "tst_devicecommands.moc"
