#include "link/portname.h"
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
    if (isDevicePath(name))
        port.setDevicePath(name);
    else
        port.setPortNumber(*portNumberOfName(name));
    port.setOpen(true);
}

} // namespace

void TestQtSerialPort::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(m_master >= 0);
    QVERIFY(::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0);
    m_device = QFile::decodeName(::ptsname(m_master));
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
    QVERIFY_THROWS_EXCEPTION(RuntimeError, openByName(intruder, nameOf(second)));
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

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
