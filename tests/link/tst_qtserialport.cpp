#include "link/portname.h"
#include "link/porttarget.h"
#include "link/qtserialport.h"
#include "shared/runtimeerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

// The real port on a pseudo-terminal, opened under the names a user gives it.
class TestQtSerialPort : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void oneDeviceOpensOnceByAnyName_data();
    void oneDeviceOpensOnceByAnyName();
    void lostWhenItsAliasGoes();
    void bytesKeepTheirOrderWatchedOrNot();
    void lostWhenTheLineHangsUpUnwatched();

private:
    QTemporaryDir m_config;
    int m_master = -1;
    QString m_device; // /dev/pts/<n>
    QString m_link;
};

namespace {

// Opens the port by a name as the engine hands it over: COM<n> or a path.
void openByName(QtSerialPort &port, const QString &name)
{
    port.setTarget(std::get<PortTarget>(portTargetOfName(name)));
    port.setOpen(true);
}

// A pseudo-terminal: the board's end, and the device the port opens.
int openPty(QString *device)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return -1;
    *device = QFile::decodeName(::ptsname(master));
    return master;
}

} // namespace

void TestQtSerialPort::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    m_master = openPty(&m_device);
    QVERIFY(m_master >= 0);
    m_link = m_config.filePath("by-id-link");
    QVERIFY(QFile::link(m_device, m_link));
    QVERIFY(QDir().mkpath(portAliasFolder()));
    QVERIFY(QFile::link(m_device, portAliasFolder() + "/COM7"));
}

void TestQtSerialPort::cleanupTestCase()
{
    if (m_master >= 0)
        ::close(m_master);
}

void TestQtSerialPort::oneDeviceOpensOnceByAnyName_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    // The names stand in for the fields, filled in once the pty is there.
    QTest::newRow("link, then device") << "link"
                                       << "device";
    QTest::newRow("device, then link") << "device"
                                       << "link";
    QTest::newRow("COM alias, then device") << "COM7"
                                            << "device";
    QTest::newRow("device, then COM alias") << "device"
                                            << "COM7";
    QTest::newRow("same name twice") << "device"
                                     << "device";
}

void TestQtSerialPort::oneDeviceOpensOnceByAnyName()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    const auto nameOf = [this](const QString &row) {
        return row == "link" ? m_link : row == "device" ? m_device : row;
    };
    QtSerialPort holder;
    openByName(holder, nameOf(first));
    QVERIFY(holder.isOpen());

    QtSerialPort intruder;
    try { // the port is busy: no word of the dialout group
        openByName(intruder, nameOf(second));
        QFAIL("opened twice");
    } catch (const RuntimeError &refused) {
        QVERIFY2(refused.description().contains("another program has it open"),
                 qPrintable(refused.description()));
    }
    QVERIFY(!intruder.isOpen());

    holder.setOpen(false);
    openByName(intruder, nameOf(second)); // free again: it was the lock that stood in the way
    QVERIFY(intruder.isOpen());
}

void TestQtSerialPort::lostWhenItsAliasGoes()
{
    const QString alias = portAliasFolder() + "/COM8";
    QVERIFY(QFile::link(m_device, alias));
    QtSerialPort port;
    openByName(port, "COM8");
    QVERIFY(QFile::remove(alias));
    QVERIFY(port.isLost());
}

// Watched, Qt reads the bytes as they come and says so; unwatched, they are
// read from the device when asked for. Across the switches nothing is lost
// and nothing changes place.
void TestQtSerialPort::bytesKeepTheirOrderWatchedOrNot()
{
    QtSerialPort port;
    int arrivals = 0;
    port.setArrivalHandler([&arrivals] { ++arrivals; });
    openByName(port, m_device);
    const auto boardSends = [this](const QByteArray &bytes) {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    };
    QVERIFY(boardSends("AB"));
    QTRY_COMPARE(arrivals, 1);
    port.setArrivalWatched(false);
    QVERIFY(boardSends("CD"));
    // What was read already goes first; what came since, on the next look.
    QCOMPARE(port.readWaiting(), QByteArray("AB"));
    QTRY_COMPARE(port.peekWaiting(), QByteArray("CD"));
    QCOMPARE(arrivals, 1);
    port.setArrivalWatched(true);
    QVERIFY(boardSends("EF"));
    QTRY_COMPARE(arrivals, 2);
    QCOMPARE(port.charactersWaiting(), qint16(4));
    QCOMPARE(port.readWaiting(), QByteArray("CDEF"));
    QCOMPARE(port.charactersWaiting(), qint16(0));
}

void TestQtSerialPort::lostWhenTheLineHangsUpUnwatched()
{
    QString device;
    const int master = openPty(&device);
    QVERIFY(master >= 0);
    QtSerialPort port;
    port.setTarget({PortTarget::Kind::DevicePath, 0, device, {}});
    port.setOpen(true);
    port.setArrivalWatched(false);
    ::close(master);
    QCOMPARE(port.readWaiting(), QByteArray());
    QVERIFY(port.isLost());
    QVERIFY(!port.isOpen());
}

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
