#include "fakes/testengine.h"
#include "link/rtuframe.h"
#include "window/panelcolours.h"

#include <QTest>

class TestPortControl : public QObject {
    Q_OBJECT
private slots:
    void openPortSwitchesToTheOpenLayout();
    void portNamesThatDoNotOpen_data();
    void portNamesThatDoNotOpen();
    void devicePathsOpenAsTheyStand_data();
    void devicePathsOpenAsTheyStand();
    void networkPortsOpenByAddress_data();
    void networkPortsOpenByAddress();
    void portOpeningInTheBackground_data();
    void portOpeningInTheBackground();
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
    TestEngine t;
    t.engine.setAddress("1");
    t.inside.state.verifying = true;
    t.parse("DOWNLOAD"); // the verify pass ends, not whole: "ERROR" on the bar
    t.reports.shown.clear();
    t.inside.state.downloadRequested = true;
    t.inside.state.downloading = true;
    t.inside.state.verifying = true;
    t.engine.openPort();

    QVERIFY(t.port->isOpen());
    QCOMPARE(t.port->portNumber, qint16(3));
    QVERIFY(t.panel.lampShown());
    QCOMPARE(t.panel.portBoxColour(), Colour::Green);
    QCOMPARE(t.tagSwitches, 1);
    QVERIFY(t.inside.probeTimer().isEnabled());
    QVERIFY(t.inside.pollTimer().isEnabled());
    QCOMPARE(t.panel.status(), QStringLiteral("Ready"));
    QCOMPARE(t.panel.addressButtonCaption(), QStringLiteral("Set Addr"));
    QCOMPARE(t.panel.progressPosition(), 0);
    QCOMPARE(t.panel.barColour(), Colour::Navy);
    const EngineState &s = t.inside.state;
    QCOMPARE(s.probeCount, qint16(1));
    QCOMPARE(s.downloadRequested + s.downloading + s.scanning, 0);
    // Left as they were:
    QVERIFY(s.verifying);
    QCOMPARE(t.panel.progressText(), QStringLiteral("ERROR"));
    QCOMPARE(t.panel.answer(), QStringLiteral("DOWNLOAD"));
    QVERIFY(t.reports.shown.isEmpty());
}

void TestPortControl::portNamesThatDoNotOpen_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused"); // the port itself refuses to open
    QTest::newRow("COM alone") << "COM" << false;
    QTest::newRow("COMX") << "COMX" << false;
    QTest::newRow("COM99999") << "COM99999" << false;
    QTest::newRow("COM0") << "COM0" << false;
    QTest::newRow("an unknown scheme") << "telnet://bench:23" << false;
    QTest::newRow("a network port without its port") << "socket://bench" << false;
    QTest::newRow("a server that does not answer") << "rfc2217://bench:4001" << true;
    QTest::newRow("busy or missing port") << "COM3" << true;
}

void TestPortControl::portNamesThatDoNotOpen()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    TestEngine t;
    t.engine.setPortName(name);
    t.port->refuseOpen = refused;
    t.inside.state.probeCount = 42;
    t.engine.openPort();

    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].error, 0);
    QCOMPARE(t.reports.shown[0].text,
             name + " Not available! Use Serial settings to setup your ports.");
    QCOMPARE(t.panel.status(), QStringLiteral("Not present board"));
    QVERIFY(!t.port->isOpen());
    QCOMPARE(t.tagSwitches, 0); // Open Port stays the one enabled
    QVERIFY(!t.inside.probeTimer().isEnabled());
    QVERIFY(!t.inside.pollTimer().isEnabled());
    QVERIFY(!t.panel.lampShown());
    QCOMPARE(t.inside.state.probeCount, qint16(42));
    QVERIFY(t.inside.state.scanning); // the address box was empty

    // The operator mends the name and tries again.
    t.engine.setPortName("COM 3");
    t.port->refuseOpen = false;
    t.engine.openPort();
    QVERIFY(t.port->isOpen());
    QCOMPARE(t.port->portNumber, qint16(3));
}

void TestPortControl::devicePathsOpenAsTheyStand_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("adapter") << "/dev/ttyUSB0";
    QTest::newRow("by-id") << "/dev/serial/by-id/usb-FTDI_FT232R_A9XK-if00-port0";
    QTest::newRow("a name COM could not read") << "/dev/COMX";
}

void TestPortControl::devicePathsOpenAsTheyStand()
{
    QFETCH(QString, name);
    TestEngine t;
    t.engine.openPort(); // COM3 first: the path must replace the number
    t.engine.closePort();
    t.engine.setPortName(name);
    t.engine.openPort();
    QVERIFY(t.port->isOpen());
    QCOMPARE(t.port->devicePath, name);
    QCOMPARE(t.port->portNumber, qint16(0));
    QVERIFY(t.reports.shown.isEmpty());
}

void TestPortControl::networkPortsOpenByAddress_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rfc2217");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("tcpPort");
    QTest::newRow("raw") << "socket://10.0.0.5:4001" << false << "10.0.0.5" << 4001;
    QTest::newRow("telnet") << "rfc2217://bench-7.lan:2217" << true << "bench-7.lan" << 2217;
    QTest::newRow("IPv6, scheme in capitals") << "RFC2217://[fe80::1]:7" << true << "fe80::1" << 7;
}

// Where the serial port is on a device server, the engine hands its address
// on, and the rest of the job does not change.
void TestPortControl::networkPortsOpenByAddress()
{
    QFETCH(QString, name);
    QFETCH(bool, rfc2217);
    QFETCH(QString, host);
    QFETCH(int, tcpPort);
    TestEngine t;
    t.engine.setPortName(name);
    t.engine.openPort();
    QVERIFY(t.port->isOpen());
    QVERIFY(t.port->networkAddress);
    QCOMPARE(t.port->networkAddress->protocol == NetworkAddress::Protocol::Rfc2217, rfc2217);
    QCOMPARE(t.port->networkAddress->host, host);
    QCOMPARE(t.port->networkAddress->port, quint16(tcpPort));
    QVERIFY(t.inside.probeTimer().isEnabled());
    QVERIFY(t.reports.shown.isEmpty());
}

void TestPortControl::portOpeningInTheBackground_data()
{
    QTest::addColumn<QString>("end"); // opened, failed, closed: how the open ends
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("open");
    QTest::newRow("the server takes it") << "opened"
                                         << "Ready" << true;
    QTest::newRow("no answer from the server") << "failed"
                                               << "Not present board" << false;
    QTest::newRow("Close Port while it connects") << "closed"
                                                  << "Closed" << false;
}

// A device server's open goes on without the window: Close Port stays
// usable meanwhile, and the end is the one a local port's open has.
void TestPortControl::portOpeningInTheBackground()
{
    QFETCH(QString, end);
    QFETCH(QString, status);
    QFETCH(bool, open);
    TestEngine t;
    t.port->opensInBackground = true;
    t.engine.setPortName("socket://10.0.0.5:4001");
    QStringList events;
    QObject::connect(&t.engine, &Engine::portOpened, [&] { events << "opened"; });
    QObject::connect(&t.engine, &Engine::portOpenFailed,
                     [&](const QString &why) { events << "failed: " + why; });
    t.engine.openPort();
    QCOMPARE(t.panel.status(), QStringLiteral("Connecting"));
    QCOMPARE(t.tagSwitches % 2, 1); // Close Port enabled
    QVERIFY(!t.panel.lampShown());
    QVERIFY(!t.inside.probeTimer().isEnabled());

    const QString why = "Port socket://10.0.0.5:4001 cannot be opened: no answer";
    if (end == "closed")
        t.engine.closePort();
    else
        t.port->endOpen(end == "opened" ? QString() : why);
    QCOMPARE(t.panel.status(), status);
    QCOMPARE(t.port->isOpen() || t.port->isOpening(), open);
    QCOMPARE(t.panel.lampShown(), open);
    QCOMPARE(t.inside.probeTimer().isEnabled(), open);
    QCOMPARE(t.tagSwitches % 2, int(open));
    if (end == "failed") {
        QCOMPARE(t.reports.shown.size(), 1);
        QCOMPARE(t.reports.shown[0].text, "socket://10.0.0.5:4001 Not available! Use Serial "
                                          "settings to setup your ports.");
        QCOMPARE(t.engine.portError(), why);
    } else {
        QVERIFY(t.reports.shown.isEmpty());
    }
    QCOMPARE(events, end == "closed" ? QStringList()
                                     : QStringList{end == "opened" ? end : "failed: " + why});
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
    TestEngine t;
    t.engine.setAddress(address);
    t.engine.openPort();
    QCOMPARE(t.inside.probeTimer().isEnabled(), probing);
    QCOMPARE(int(t.inside.state.scanning), scanMode);
    QCOMPARE(t.panel.addressButtonCaption(), command1);
    QCOMPARE(t.panel.status(), QStringLiteral("Ready"));
}

void TestPortControl::probeSendsTheQueryEveryTick()
{
    TestEngine t;
    t.engine.setAddress("1");
    t.engine.openPort();
    t.inside.probeTick();
    QCOMPARE(t.panel.status(), QStringLiteral("WAIT Connect:  1"));
    QCOMPARE(t.port->writes, QList<QByteArray>{probeTo1});
    t.inside.probeTick();
    QCOMPARE(t.panel.status(), QStringLiteral("WAIT Connect:  2"));
    QCOMPARE(t.port->writes.size(), 2);
    QCOMPARE(t.inside.state.probeCount, qint16(3));

    t.engine.setRtu(false);
    t.inside.probeTick();
    QCOMPARE(t.port->writes.last(), QByteArray("BOOTi\r\n"));
}

void TestPortControl::scanWritesEachAddressIntoTheBox()
{
    TestEngine t;
    QStringList written;
    QObject::connect(&t.engine, &Engine::addressChanged, &t.engine,
                     [&](const QString &address) { written << address; });
    t.engine.openPort();
    for (int address = 1; address <= 3; ++address) {
        t.inside.probeTick();
        QCOMPARE(t.engine.address(), QString::number(address));
        QCOMPARE(quint8(t.port->writes.last().at(0)), quint8(address));
    }
    QCOMPARE(written, QStringList({"1", "2", "3"}));
}

void TestPortControl::probeGivesUpAtThe128thTick()
{
    TestEngine t;
    t.engine.openPort();
    bool timerOffWhileShown = false;
    QString statusWhileShown;
    t.reports.whileShown = [&] {
        timerOffWhileShown = !t.inside.probeTimer().isEnabled();
        statusWhileShown = t.panel.status();
    };
    for (int tick = 1; tick <= 127; ++tick)
        t.inside.probeTick();
    QCOMPARE(t.port->writes.size(), 127);
    QVERIFY(t.reports.shown.isEmpty());

    t.inside.probeTick();
    QCOMPARE(t.port->writes.size(), 127);
    QCOMPARE(t.reports.shown.size(), 1);
    QCOMPARE(t.reports.shown[0].text, QStringLiteral("COM3 Not connect !"));
    QVERIFY(timerOffWhileShown);
    QCOMPARE(statusWhileShown, QStringLiteral("WAIT Connect:  128"));
    QCOMPARE(t.panel.status(), QStringLiteral("Not present board"));
    QCOMPARE(t.inside.state.probeCount, qint16(1));
    QCOMPARE(t.engine.address(), QStringLiteral("127"));

    // "Next" starts the scan over at address 1.
    t.inside.state.scanning = true;
    t.inside.probeTimer().setEnabled(true);
    t.inside.probeTick();
    QCOMPARE(t.engine.address(), QStringLiteral("1"));
}

void TestPortControl::answeredScanResumesAtTheNextAddress()
{
    TestEngine t;
    t.engine.openPort();
    for (int tick = 1; tick <= 5; ++tick)
        t.inside.probeTick();
    t.receive(rtuFrame(5, "BVER=1.0"));
    t.inside.receivePollTick(); // a version's text is taken once the line is quiet
    QVERIFY(!t.inside.probeTimer().isEnabled());
    QCOMPARE(t.panel.status(), QStringLiteral("READY"));
    QCOMPARE(t.engine.address(), QStringLiteral("5"));
    QCOMPARE(t.inside.state.probeCount, qint16(6));
}

void TestPortControl::closePortStopsEverythingAndKeepsTheRest()
{
    TestEngine t;
    t.engine.openPort();
    t.inside.probeTick();
    t.receive(rtuFrame(1, "Bhello")); // shown, and no keyword to act on
    t.inside.state.lineIndex = 6;
    t.engine.sendNextLine(); // the bar at 7
    t.inside.state.verifying = true;
    t.inside.state.downloading = true;
    t.inside.state.downloadRequested = true;
    QCOMPARE(t.panel.answer(), QStringLiteral("hello"));
    t.engine.closePort();

    QVERIFY(!t.port->isOpen());
    QVERIFY(!t.inside.probeTimer().isEnabled());
    QVERIFY(!t.inside.pollTimer().isEnabled());
    QCOMPARE(t.panel.progressText(), QStringLiteral("NO FILE"));
    QCOMPARE(t.panel.status(), QStringLiteral("Closed"));
    QVERIFY(t.panel.answer().isEmpty());
    QCOMPARE(t.panel.portBoxColour(), Colour::WindowBackground);
    QVERIFY(!t.panel.lampShown());
    QCOMPARE(t.tagSwitches, 2); // back to Open Port
    const EngineState &s = t.inside.state;
    QCOMPARE(s.verifying + s.downloading, 0);
    // Left as they were:
    QVERIFY(s.scanning);
    QCOMPARE(s.probeCount, qint16(2));
    QVERIFY(s.downloadRequested);
    QCOMPARE(t.panel.addressButtonCaption(), QStringLiteral("Next"));
    QCOMPARE(t.panel.progressPosition(), 7);
    QCOMPARE(t.panel.barColour(), Colour::Navy);

    t.engine.openPort();
    QCOMPARE(t.inside.state.probeCount, qint16(1));
}

void TestPortControl::lostPortClosesAndSaysSoOnce()
{
    TestEngine t;
    t.engine.setAddress("1");
    t.engine.openPort();
    t.inside.state.downloading = true;
    t.port->lost = true;
    t.inside.receivePollTick();

    QCOMPARE(t.reports.shown.size(), 1);
    QVERIFY(t.reports.shown[0].text.startsWith("The port COM3 was lost"));
    QVERIFY(!t.port->isOpen());
    QVERIFY(!t.inside.pollTimer().isEnabled());
    QVERIFY(!t.inside.probeTimer().isEnabled());
    QCOMPARE(t.panel.progressText(), QStringLiteral("NO FILE"));
    QCOMPARE(t.panel.status(), QStringLiteral("Closed"));
    QCOMPARE(t.tagSwitches, 2);
    QVERIFY(!t.inside.state.downloading);

    t.engine.openPort(); // the device is back
    QVERIFY(t.port->isOpen());
    t.inside.receivePollTick();
    QCOMPARE(t.reports.shown.size(), 1);
}

QTEST_GUILESS_MAIN(TestPortControl)
#include "tst_portcontrol.moc"
