#include "fakes/testwindow.h"
#include "window/porttooltip.h"

#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

// The port box: what its tooltip lists, and names typed into it.
class TestPortTooltip : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tooltipListsAliasesMadeAfterTheWindowOpened();
    void devicePathOpensAsItStands_data();
    void devicePathOpensAsItStands();

private:
    QTemporaryDir m_config;
    QByteArray m_oldConfig;
};

void TestPortTooltip::init()
{
    QVERIFY(m_config.isValid());
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
}

void TestPortTooltip::cleanup()
{
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

// A file that plays a device, aliased as COM<number>.
QString aliasAFile(const QTemporaryDir &config, int number)
{
    const QString device = config.filePath(QStringLiteral("board%1").arg(number));
    QFile file(device);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    QDir().mkpath(config.filePath("bootline/ports"));
    QFile::link(device, config.filePath(QStringLiteral("bootline/ports/COM%1").arg(number)));
    return QFileInfo(device).canonicalFilePath();
}

QString tooltipShownOver(QWidget *box)
{
    QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), box->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(box, &event);
    return QToolTip::text();
}

void TestPortTooltip::tooltipListsAliasesMadeAfterTheWindowOpened()
{
    TestWindow t;
    t.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&t.window));
    const QString device = aliasAFile(m_config, 7);
    QVERIFY(!device.isEmpty());

    const QString shown = tooltipShownOver(t.box("portBox"));
    QCOMPARE(shown, presentPortsTooltip());
    QVERIFY2(shown.split(u'\n').contains(device + ", as COM7"), qPrintable(shown));
    QVERIFY(shown.startsWith("COM<n>, a device path, or socket://HOST:PORT or rfc2217://"));
}

void TestPortTooltip::devicePathOpensAsItStands_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");
    QTest::newRow("adapter") << "/dev/ttyUSB0" << false;
    QTest::newRow("by-id") << "/dev/serial/by-id/usb-FTDI_FT232R_A9XK-if00-port0" << false;
    QTest::newRow("busy adapter") << "/dev/ttyUSB1" << true;
}

void TestPortTooltip::devicePathOpensAsItStands()
{
    QFETCH(QString, name);
    QFETCH(bool, refused);
    TestWindow t;
    t.port->refuseOpen = refused;
    t.box("portBox")->setText(name);
    t.button("openPortButton")->click();
    QCOMPARE(t.port->isOpen(), !refused);
    if (refused) {
        QCOMPARE(t.messages->shown.size(), 1);
        QCOMPARE(t.messages->shown[0].text,
                 name + " Not available! Use Serial settings to setup your ports.");
        return;
    }
    QCOMPARE(t.port->devicePath, name);
    QCOMPARE(t.port->portNumber, qint16(0));
    QVERIFY(!t.box("portBox")->isEnabled()); // open: the box waits for Close Port
}

QTEST_MAIN(TestPortTooltip)
#include "tst_porttooltip.moc"
