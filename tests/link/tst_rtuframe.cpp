#include "link/rtuframe.h"
#include "shared/runtimeerror.h"

#include <QTest>

class TestRtuFrame : public QObject {
    Q_OBJECT
private slots:
    void framesTheProbe();
    void addressByteOfTheAddressBox_data();
    void addressByteOfTheAddressBox();
    void noAddressByteOutside0To255_data();
    void noAddressByteOutside0To255();
};

void TestRtuFrame::framesTheProbe()
{
    QCOMPARE(rtuFrame(1, "BOOTi\r\n"), QByteArray::fromHex("01424F4F54690D0AFC89"));
    QCOMPARE(rtuFrame(1, "BOK"), QByteArray::fromHex("01424F4BD5CB"));
}

void TestRtuFrame::addressByteOfTheAddressBox_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("address");
    QTest::newRow("empty") << "" << 0x00;
    QTest::newRow("1") << "1" << 0x01;
    QTest::newRow("12.5 halves to even") << "12.5" << 0x0C;
    QTest::newRow("13.5 halves to even") << "13.5" << 0x0E;
    QTest::newRow("1A stops at A") << "1A" << 0x01;
    QTest::newRow("&H1F") << "&H1F" << 0x1F;
    QTest::newRow("255") << "255" << 0xFF;
    QTest::newRow("letters read as 0") << "abc" << 0x00;
    QTest::newRow("-0.4 rounds to 0") << "-0.4" << 0x00;
    QTest::newRow("255.4 rounds to 255") << "255.4" << 0xFF;
}

void TestRtuFrame::addressByteOfTheAddressBox()
{
    QFETCH(QString, box);
    QFETCH(int, address);
    QCOMPARE(int(addressByte(box)), address);
}

void TestRtuFrame::noAddressByteOutside0To255_data()
{
    QTest::addColumn<QString>("box");
    QTest::newRow("256") << "256";
    QTest::newRow("300") << "300";
    QTest::newRow("-1") << "-1";
    QTest::newRow("255.5 rounds to 256") << "255.5";
    QTest::newRow("&HFFFF") << "&HFFFF";
    QTest::newRow("1e400") << "1e400";
    QTest::newRow("-1e400") << "-1e400";
    QTest::newRow("10000 digits") << QString(10000, u'7');
}

void TestRtuFrame::noAddressByteOutside0To255()
{
    QFETCH(QString, box);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, addressByte(box));
}

QTEST_APPLESS_MAIN(TestRtuFrame)
#include "tst_rtuframe.moc"
