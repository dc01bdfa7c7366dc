#include "line/portwatch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/sysmacros.h>

// Which ports a station sees: patterns over device links, and one device
// never taken twice.
class TestPortWatch : public QObject {
    Q_OBJECT
private slots:
    void init();
    void portsPresent_data();
    void portsPresent();
    void oneDeviceIsOnePort();
    void neverATerminalOfOurs_data();
    void neverATerminalOfOurs();
    void portsAmongNames_data();
    void portsAmongNames();

private:
    QString link(const QString &name, const QString &target);
    QTemporaryDir m_dir;
};

// A folder like /dev/serial/by-id: links to character devices, and what
// else may lie about.
void TestPortWatch::init()
{
    qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toLocal8Bit());
    QDir(m_dir.path()).removeRecursively();
    QVERIFY(QDir().mkpath(m_dir.filePath("by-id")));
    QVERIFY(QDir().mkpath(m_dir.filePath("config/bootline/ports")));
    link("by-id/usb-A", "/dev/null");
    link("by-id/usb-B", "/dev/zero");
    link("by-id/usb-gone", m_dir.filePath("nothing-there"));
    link("by-id/ptmx", "/dev/ptmx");
    link("by-id/usb-tty", "/dev/tty");
    link("by-id/usb-console", "/dev/console");
    QFile text(m_dir.filePath("by-id/usb-notes"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    link("config/bootline/ports/COM5", "/dev/null");
}

QString TestPortWatch::link(const QString &name, const QString &target)
{
    const QString path = m_dir.filePath(name);
    if (!QFile::link(target, path))
        qFatal("cannot link %s", qPrintable(path));
    return path;
}

void TestPortWatch::portsPresent_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("present"); // names under the folder, or as given
    QTest::newRow("a pattern: devices only, in name order")
        << QStringList{"by-id/*"} << QStringList{"by-id/usb-A", "by-id/usb-B"};
    QTest::newRow("a name that is there, and one that is not")
        << QStringList{"by-id/usb-B", "by-id/usb-gone"} << QStringList{"by-id/usb-B"};
    QTest::newRow("a pattern and a name of the same device: the first")
        << QStringList{"by-id/usb-A", "by-id/usb-?"} << QStringList{"by-id/usb-A", "by-id/usb-B"};
    QTest::newRow("terminals by name: never")
        << QStringList{"by-id/usb-tty", "by-id/usb-console", "by-id/ptmx", "by-id/usb-A"}
        << QStringList{"by-id/usb-A"};
    QTest::newRow("COM5 and the device its alias leads to")
        << QStringList{"COM5", "by-id/usb-A"} << QStringList{"COM5"};
    QTest::newRow("COM60000, with no alias nor device") << QStringList{"COM60000"} << QStringList{};
}

void TestPortWatch::portsPresent()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, present);
    QList<PortPlan> plans;
    for (const QString &port : ports)
        plans.append({port.startsWith("COM") ? port : m_dir.filePath(port), {QStringLiteral("1")}});
    QStringList seen;
    for (const PortPlan &plan : ::portsPresent(plans))
        seen << QString(plan.port).remove(m_dir.path() + u'/');
    QCOMPARE(seen, present);
}

void TestPortWatch::oneDeviceIsOnePort()
{
    const QList<PortPlan> plans{{QStringLiteral("COM5"), {}}};
    QCOMPARE(sameDeviceAs(plans, m_dir.filePath("by-id/usb-A")), QStringLiteral("COM5"));
    QCOMPARE(sameDeviceAs(plans, QStringLiteral("COM05")), QStringLiteral("COM5"));
    QCOMPARE(sameDeviceAs(plans, m_dir.filePath("by-id/usb-B")), QString());
    QCOMPARE(sameDeviceAs(plans, m_dir.filePath("by-id/usb-gone")), QString());
    QVERIFY(isPortPresent(QStringLiteral("COM5")));
    QVERIFY(!isPortPresent(m_dir.filePath("by-id/usb-gone")));
}

void TestPortWatch::neverATerminalOfOurs_data()
{
    QTest::addColumn<unsigned>("major");
    QTest::addColumn<unsigned>("minor");
    QTest::addColumn<bool>("taken");
    QTest::newRow("/dev/tty") << 5u << 0u << false;
    QTest::newRow("/dev/console") << 5u << 1u << false;
    QTest::newRow("/dev/ptmx, /dev/pts/ptmx") << 5u << 2u << false;
    QTest::newRow("tty0") << 4u << 0u << false;
    QTest::newRow("tty63") << 4u << 63u << false;
    QTest::newRow("ttyS0, above the consoles") << 4u << 64u << true;
    QTest::newRow("ttyUSB0") << 188u << 0u << true;
    QTest::newRow("ttyACM1") << 166u << 1u << true;
    QTest::newRow("a pty of another program") << 136u << 4u << true;
    QTest::newRow("our own terminal, a pty") << 136u << 7u << false;
    QTest::newRow("our own terminal, a serial port") << 4u << 65u << false;
}

// The program's own terminals are given; a pty is a port like any other.
void TestPortWatch::neverATerminalOfOurs()
{
    QFETCH(unsigned, major);
    QFETCH(unsigned, minor);
    QFETCH(bool, taken);
    const QList<dev_t> own{makedev(136, 7), makedev(4, 65)};
    QCOMPARE(isStationPort(makedev(major, minor), own), taken);
}

// Windows' watch: the names QSerialPortInfo lists, no devices behind them.
// Each port present comes with the addresses of the plan that named it,
// here the plan's place.
void TestPortWatch::portsAmongNames_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("present");
    QTest::newRow("listed or not")
        << QStringList{"COM7", "COM3"} << QStringList{"COM3", "COM4"} << QStringList{"COM3 of 2"};
    QTest::newRow("COM05 is COM5, in either case")
        << QStringList{"COM05"} << QStringList{"com5"} << QStringList{"COM05 of 1"};
    QTest::newRow("a pattern, COM2 before COM10")
        << QStringList{"COM*"} << QStringList{"COM10", "COM2", "CNCA0", "COM1"}
        << QStringList{"COM1 of 1", "COM2 of 1", "COM10 of 1"};
    QTest::newRow("a name and a pattern of one port: the first")
        << QStringList{"COM2", "com?"} << QStringList{"COM3", "COM2"}
        << QStringList{"COM2 of 1", "COM3 of 2"};
    QTest::newRow("one port under two spellings: once")
        << QStringList{"COM5", "COM005"} << QStringList{"COM5"} << QStringList{"COM5 of 1"};
    QTest::newRow("a network port is always there")
        << QStringList{"socket://bench:4001", "COM1"} << QStringList{}
        << QStringList{"socket://bench:4001 of 1"};
}

void TestPortWatch::portsAmongNames()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, present);
    QList<PortPlan> plans;
    for (const QString &port : ports)
        plans.append({port, {QString::number(plans.size() + 1)}});
    QStringList seen;
    for (const PortPlan &plan : ::portsAmongNames(plans, listed))
        seen << plan.port + QStringLiteral(" of ") + plan.addresses.join(u',');
    QCOMPARE(seen, present);
}

QTEST_GUILESS_MAIN(TestPortWatch)
#include "tst_portwatch.moc"
