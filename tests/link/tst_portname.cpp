#include "link/portname.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPortName : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void portNumberOfName_data();
    void portNumberOfName();
    void aliasWinsOverTheSerialDevice();
    void withoutAliasTheNumberNamesATtyS();

private:
    QTemporaryDir m_config;
};

void TestPortName::initTestCase()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    QVERIFY(QDir().mkpath(portAliasFolder()));
}

void TestPortName::portNumberOfName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number"); // -1: no port number
    QTest::newRow("COM3") << "COM3" << 3;
    QTest::newRow("COM12") << "COM12" << 12;
    QTest::newRow("blank before the number") << "COM 3" << 3;
    QTest::newRow("blanks around") << "COM\t3 " << 3;
    QTest::newRow("first three skipped whatever they are") << "XYZ7" << 7;
    QTest::newRow("fraction halves to even") << "COM2.5" << 2;
    QTest::newRow("fraction rounds") << "COM3.6" << 4;
    QTest::newRow("lowest 16-bit") << "COM-32768" << -32768;
    QTest::newRow("highest 16-bit") << "COM32767" << 32767;
    QTest::newRow("COM alone") << "COM" << -1;
    QTest::newRow("COMX") << "COMX" << -1;
    QTest::newRow("COM3X") << "COM3X" << -1;
    QTest::newRow("COM99999 too large") << "COM99999" << -1;
    QTest::newRow("only blanks") << "COM  " << -1;
    QTest::newRow("blank inside the number") << "COM1 2" << -1;
    QTest::newRow("hex is not a port number") << "COM&H3" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestPortName::portNumberOfName()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    const std::optional<qint16> parsed = ::portNumberOfName(name);
    QCOMPARE(parsed.has_value(), number != -1);
    if (parsed)
        QCOMPARE(int(*parsed), number);
}

void TestPortName::aliasWinsOverTheSerialDevice()
{
    const QString alias = portAliasFolder() + "/COM5";
    QVERIFY(QFile::link("/dev/null", alias));
    QCOMPARE(deviceForPortNumber(5), alias);
    const QString dangling = portAliasFolder() + "/COM6";
    QVERIFY(QFile::link(m_config.path() + "/gone", dangling));
    QCOMPARE(deviceForPortNumber(6), dangling);
}

void TestPortName::withoutAliasTheNumberNamesATtyS()
{
    QCOMPARE(deviceForPortNumber(3), QStringLiteral("/dev/ttyS2"));
    QCOMPARE(deviceForPortNumber(1), QStringLiteral("/dev/ttyS0"));
}

QTEST_APPLESS_MAIN(TestPortName)
#include "tst_portname.moc"
