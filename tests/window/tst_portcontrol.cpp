#include "fakes/testwindow.h"
#include "link/rtuframe.h"

#include <QTest>

class TestPortControl : public QObject {
    Q_OBJECT
private slots:
    void openPortSwitchesToTheOpenLayout();
    void portNamesThatDoNotOpen_data();
    void portNamesThatDoNotOpen();
    void addressBoxDecidesProbeAndScan_data();
    void addressBoxDecidesProbeAndScan();
    void probeSendsTheQueryEveryTick();
    void scanWritesEachAddressIntoTheBox();
    void probeGivesUpAtThe128thTick();
    void answeredScanResumesAtTheNextAddress();
    void closePortStopsEverythingAndKeepsTheRest();
    void lostPortClosesAndSaysSoOnce();
};

const QByteArray probeTo1 = QByteArray::fromHex("01424F4F54690D0AFC89");

void TestPortControl::openPortSwitchesToTheOpenLayout()
{
    TestWindow t;
    t.box("Text1")->setText("1");
    t.engine.state.DownloadRequested = 1;
    t.engine.state.DownloadActive = 1;
    t.engine.state.VerifyMode = 1;
    t.progress()->setText("END");
    t.box("Text8")->setText("old answer");
    t.engine.openPort();

    QVERIFY(t.port->isOpen());
    QCOMPARE(t.port->portNumber, qint16(3));
    QVERIFY(t.lamp()->isVisibleTo(&t.window));
    QCOMPARE(t.box("txt")->palette().color(QPalette::Base), QColor(0, 0xFF, 0));
    QVERIFY(!t.button("BTNOpenCom")->isEnabled());
    QVERIFY(!t.box("txt")->isEnabled());
    QVERIFY(t.button("BTNCloseCom")->isEnabled());
    QVERIFY(t.timer("Timer3")->isEnabled());
    QVERIFY(t.timer("TMRComm")->isEnabled());
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("Ready"));
    QCOMPARE(t.button("Command1")->text(), QStringLiteral("Set Addr"));
    QCOMPARE(t.progress()->position(), 0);
    QCOMPARE(t.progress()->barColor(), QColor(0, 0, 0x80));
    const WindowState &s = t.engine.state;
    QCOMPARE(s.ProbeCount, qint16(1));
    QCOMPARE(s.DownloadRequested + s.DownloadActive + s.ScanMode, 0);
    // Left as they were:
    QCOMPARE(s.VerifyMode, qint16(1));
    QCOMPARE(t.progress()->text(), QStringLiteral("END"));
    QCOMPARE(t.box("Text8")->text(), QStringLiteral("old answer"));
    QVERIFY(t.messages->shown.isEmpty());
}

void TestPortControl::portNamesThatDoNotOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused"); // the port itself refuses to open
    QTest::newRow("COM alone") << "COM" << false;
    QTest::newRow("COMX") << "COMX" << false;
    QTest::newRow("COM99999") << "COM99999" << false;
    QTest::newRow("COM0") << "COM0" << false;
    QTest::newRow("busy or missing port") << "COM3" << true;
}

void TestPortControl::portNamesThatDoNotOpen()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    TestWindow t;
    t.box("txt")->setText(name);
    t.port->refuseOpen = refused;
    t.engine.state.ProbeCount = 42;
    t.engine.openPort();

    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].critical, false);
    QCOMPARE(t.messages->shown[0].text,
             name + " Not available! Use Serial settings to setup your ports.");
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("Not present board"));
    QVERIFY(!t.port->isOpen());
    QVERIFY(t.button("BTNOpenCom")->isEnabled());
    QVERIFY(!t.button("BTNCloseCom")->isEnabled());
    QVERIFY(!t.timer("Timer3")->isEnabled());
    QVERIFY(!t.timer("TMRComm")->isEnabled());
    QVERIFY(!t.lamp()->isVisibleTo(&t.window));
    QCOMPARE(t.engine.state.ProbeCount, qint16(42));
    QCOMPARE(t.engine.state.ScanMode, qint16(1)); // the address box was empty

    // The operator mends the name and tries again.
    t.box("txt")->setText("COM 3");
    t.port->refuseOpen = false;
    t.engine.openPort();
    QVERIFY(t.port->isOpen());
    QCOMPARE(t.port->portNumber, qint16(3));
}

void TestPortControl::addressBoxDecidesProbeAndScan_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("probing");
    QTest::addColumn<int>("scanMode");
    QTest::addColumn<QString>("command1");
    QTest::newRow("empty: scan") << "" << true << 1 << "Next";
    QTest::newRow("a blank is not empty") << " " << true << 0 << "Set Addr";
    QTest::newRow("0: no probe") << "0" << false << 0 << "Set Addr";
    QTest::newRow("00 still probes") << "00" << true << 0 << "Set Addr";
    QTest::newRow("blank and 0 still probes") << " 0" << true << 0 << "Set Addr";
    QTest::newRow("5") << "5" << true << 0 << "Set Addr";
}

void TestPortControl::addressBoxDecidesProbeAndScan()
{
    QFETCH(QString, address);
    QFETCH(bool, probing);
    QFETCH(int, scanMode);
    QFETCH(QString, command1);
    TestWindow t;
    t.box("Text1")->setText(address);
    t.engine.openPort();
    QCOMPARE(t.timer("Timer3")->isEnabled(), probing);
    QCOMPARE(int(t.engine.state.ScanMode), scanMode);
    QCOMPARE(t.button("Command1")->text(), command1);
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("Ready"));
}

void TestPortControl::probeSendsTheQueryEveryTick()
{
    TestWindow t;
    t.box("Text1")->setText("1");
    t.engine.openPort();
    t.engine.probeTick();
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("WAIT Connect:  1"));
    QCOMPARE(t.port->writes, QList<QByteArray>{probeTo1});
    t.engine.probeTick();
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("WAIT Connect:  2"));
    QCOMPARE(t.port->writes.size(), 2);
    QCOMPARE(t.engine.state.ProbeCount, qint16(3));

    t.rtu()->setChecked(false);
    t.engine.probeTick();
    QCOMPARE(t.port->writes.last(), QByteArray("BOOTi\r\n"));
}

void TestPortControl::scanWritesEachAddressIntoTheBox()
{
    TestWindow t;
    t.engine.openPort();
    for (int address = 1; address <= 3; ++address) {
        t.engine.probeTick();
        QCOMPARE(t.box("Text1")->text(), QString::number(address));
        QCOMPARE(quint8(t.port->writes.last().at(0)), quint8(address));
    }
}

void TestPortControl::probeGivesUpAtThe128thTick()
{
    TestWindow t;
    t.engine.openPort();
    bool timerOffWhileShown = false;
    QString statusWhileShown;
    t.messages->whileShown = [&] {
        timerOffWhileShown = !t.timer("Timer3")->isEnabled();
        statusWhileShown = t.label("Label2")->text();
    };
    for (int tick = 1; tick <= 127; ++tick)
        t.engine.probeTick();
    QCOMPARE(t.port->writes.size(), 127);
    QVERIFY(t.messages->shown.isEmpty());

    t.engine.probeTick();
    QCOMPARE(t.port->writes.size(), 127);
    QCOMPARE(t.messages->shown.size(), 1);
    QCOMPARE(t.messages->shown[0].text, QStringLiteral("COM3 Not connect !"));
    QVERIFY(timerOffWhileShown);
    QCOMPARE(statusWhileShown, QStringLiteral("WAIT Connect:  128"));
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("Not present board"));
    QCOMPARE(t.engine.state.ProbeCount, qint16(1));
    QCOMPARE(t.box("Text1")->text(), QStringLiteral("127"));

    // "Next" starts the scan over at address 1.
    t.engine.state.ScanMode = 1;
    t.timer("Timer3")->setEnabled(true);
    t.engine.probeTick();
    QCOMPARE(t.box("Text1")->text(), QStringLiteral("1"));
}

void TestPortControl::answeredScanResumesAtTheNextAddress()
{
    TestWindow t;
    t.engine.openPort();
    for (int tick = 1; tick <= 5; ++tick)
        t.engine.probeTick();
    t.port->incoming = rtuFrame(5, "BVER=1.0");
    t.engine.receivePollTick();
    QVERIFY(!t.timer("Timer3")->isEnabled());
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("READY"));
    QCOMPARE(t.box("Text1")->text(), QStringLiteral("5"));
    QCOMPARE(t.engine.state.ProbeCount, qint16(6));
}

void TestPortControl::closePortStopsEverythingAndKeepsTheRest()
{
    TestWindow t;
    t.engine.openPort();
    t.engine.probeTick();
    t.engine.state.VerifyMode = 1;
    t.engine.state.DownloadActive = 1;
    t.engine.state.DownloadRequested = 1;
    t.box("Text8")->setText("VER=1.0");
    t.progress()->setPosition(7);
    t.engine.closePort();

    QVERIFY(!t.port->isOpen());
    QVERIFY(!t.timer("Timer3")->isEnabled());
    QVERIFY(!t.timer("TMRComm")->isEnabled());
    QCOMPARE(t.progress()->text(), QStringLiteral("NO FILE"));
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("Closed"));
    QVERIFY(t.box("Text8")->text().isEmpty());
    QCOMPARE(t.box("txt")->palette().color(QPalette::Base),
             QApplication::palette().color(QPalette::Base));
    QVERIFY(!t.lamp()->isVisibleTo(&t.window));
    QVERIFY(t.button("BTNOpenCom")->isEnabled());
    QVERIFY(t.box("txt")->isEnabled());
    QVERIFY(!t.button("BTNCloseCom")->isEnabled());
    const WindowState &s = t.engine.state;
    QCOMPARE(s.VerifyMode + s.DownloadActive, 0);
    // Left as they were:
    QCOMPARE(s.ScanMode, qint16(1));
    QCOMPARE(s.ProbeCount, qint16(2));
    QCOMPARE(s.DownloadRequested, qint16(1));
    QCOMPARE(t.button("Command1")->text(), QStringLiteral("Next"));
    QCOMPARE(t.progress()->position(), 7);
    QCOMPARE(t.progress()->barColor(), QColor(0, 0, 0x80));

    t.engine.openPort();
    QCOMPARE(t.engine.state.ProbeCount, qint16(1));
}

void TestPortControl::lostPortClosesAndSaysSoOnce()
{
    TestWindow t;
    t.box("Text1")->setText("1");
    t.engine.openPort();
    t.engine.state.DownloadActive = 1;
    t.port->lost = true;
    t.engine.receivePollTick();

    QCOMPARE(t.messages->shown.size(), 1);
    QVERIFY(t.messages->shown[0].text.startsWith("The port COM3 was lost"));
    QVERIFY(!t.port->isOpen());
    QVERIFY(!t.timer("TMRComm")->isEnabled());
    QVERIFY(!t.timer("Timer3")->isEnabled());
    QCOMPARE(t.progress()->text(), QStringLiteral("NO FILE"));
    QCOMPARE(t.label("Label2")->text(), QStringLiteral("Closed"));
    QVERIFY(t.button("BTNOpenCom")->isEnabled());
    QCOMPARE(t.engine.state.DownloadActive, qint16(0));

    t.engine.openPort(); // the device is back
    QVERIFY(t.port->isOpen());
    t.engine.receivePollTick();
    QCOMPARE(t.messages->shown.size(), 1);
}

QTEST_MAIN(TestPortControl)
#include "tst_portcontrol.moc"
