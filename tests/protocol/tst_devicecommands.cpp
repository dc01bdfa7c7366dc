#include "fakes/testwindow.h"
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
    TestWindow t;
    t.engine.openPort();
    t.timer("Timer3")->setEnabled(false);
    t.rtu()->setChecked(false);
    t.box("Text1")->setText("4"); // not scan mode: the caption reads "Set Addr"
    t.engine.state.ScanMode = 0;
    t.box("Text2")->setText(newAddress);
    t.engine.setAddressOrScanNext();
    QCOMPARE(t.port->written(), sent);
    QVERIFY(t.messages->shown.isEmpty());
}

void TestDeviceCommands::setAddrIsFramedToTheCurrentAddress()
{
    TestWindow t;
    t.box("Text1")->setText("4");
    t.engine.openPort();
    t.engine.state.DownloadActive = 1;
    t.box("Text8")->setText("answer");
    t.engine.setAddressOrScanNext();
    QCOMPARE(t.port->writes, QList<QByteArray>{rtuFrame(4, "BOOT$0A\r\n")});
    QCOMPARE(t.port->writes[0].size(), 12);
    QCOMPARE(t.box("Text1")->text(), QStringLiteral("4"));
    QCOMPARE(t.engine.state.DownloadActive, qint16(1));
    QCOMPARE(t.box("Text8")->text(), QStringLiteral("answer"));
}

void TestDeviceCommands::nextResumesTheScan()
{
    TestWindow t;
    t.engine.openPort(); // empty address box: scan mode, "Next"
    for (int tick = 0; tick < 3; ++tick)
        t.engine.probeTick();
    t.timer("Timer3")->setEnabled(false); // as a "VER=" reply would
    t.box("Text8")->setText("VER=1");
    const qsizetype sentBefore = t.port->writes.size();
    t.button("Command1")->click();
    QVERIFY(t.timer("Timer3")->isEnabled());
    QVERIFY(t.box("Text8")->text().isEmpty());
    QCOMPARE(t.port->writes.size(), sentBefore); // the click itself sends nothing
    t.engine.probeTick();
    QCOMPARE(t.box("Text1")->text(), QStringLiteral("4"));
}

void TestDeviceCommands::queryAndInstall()
{
    TestWindow t;
    t.box("Text1")->setText("2");
    t.engine.openPort();
    t.engine.state.DownloadActive = 1;
    t.box("Text8")->setText("answer");
    t.button("Command6")->click();
    QCOMPARE(t.port->writes.last(), rtuFrame(2, "BOOTg\r\n"));
    QCOMPARE(t.engine.state.DownloadActive, qint16(0));
    QCOMPARE(t.box("Text8")->text(), QStringLiteral("answer")); // install leaves the answer

    t.engine.state.DownloadActive = 1;
    t.button("Command4")->click();
    QCOMPARE(t.port->writes.last(), rtuFrame(2, "BOOTi\r\n"));
    QCOMPARE(t.engine.state.DownloadActive, qint16(0));
    QVERIFY(t.box("Text8")->text().isEmpty());
}

void TestDeviceCommands::closedPortSendsNothingButTheRestHappens()
{
    TestWindow t;
    t.engine.state.DownloadActive = 1;
    t.box("Text8")->setText("answer");
    t.button("Command4")->click();
    QVERIFY(t.box("Text8")->text().isEmpty());
    QCOMPARE(t.engine.state.DownloadActive, qint16(0));
    QVERIFY(t.port->writes.isEmpty());

    // "Next" after Close Port probes on the closed port and ends with the limit.
    t.engine.openPort();
    t.engine.closePort();
    t.button("Command1")->click();
    QVERIFY(t.timer("Timer3")->isEnabled());
    for (int tick = 0; tick < 128; ++tick)
        t.engine.probeTick();
    QVERIFY(t.port->writes.isEmpty());
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].text, QStringLiteral("COM3 Not connect !"));
}

QTEST_MAIN(TestDeviceCommands)
#include "tst_devicecommands.moc"
