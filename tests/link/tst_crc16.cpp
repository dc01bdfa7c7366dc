#include "link/crc16.h"
#include "shared/runtimeerror.h"

#include <QTest>

class TestCrc16 : public QObject {
    Q_OBJECT
private slots:
    void knownAnswers_data();
    void knownAnswers();
    void textFollowedByItsOwnCrcChecksToZero();
    void refusesTextsOf32767BytesOrMore();
    void decode_data();
    void decode();
};

void TestCrc16::knownAnswers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("crc");
    // "123456789" -> 0x4B37 is the catalogued check value of CRC-16/MODBUS.
    QTest::newRow("check value") << QByteArray("123456789") << QByteArray("\x37\x4B", 2);
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("\x49\x57", 2);
    QTest::newRow("probe to address 1") << QByteArray("\x01"
                                                      "BOOTi\r\n")
                                        << QByteArray("\xFC\x89", 2);
    QTest::newRow("empty") << QByteArray() << QByteArray("\xFF\xFF", 2);
    QTest::newRow("byte 0xFF counts as 255") << QByteArray("\xFF", 1) << QByteArray("\xFF\x00", 2);
    QTest::newRow("reply OK from address 1") << QByteArray("\x01"
                                                           "BOK")
                                             << QByteArray("\xD5\xCB", 2);
}

void TestCrc16::knownAnswers()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, crc);
    QCOMPARE(modbusCrc(text), crc);
}

void TestCrc16::textFollowedByItsOwnCrcChecksToZero()
{
    for (const QByteArray &text :
         {QByteArray("123456789"), QByteArray("\x80\x81\xFE", 3), QByteArray("BOOT:00")})
        QCOMPARE(modbusCrc(text + modbusCrc(text)), QByteArray(2, '\0'));
}

void TestCrc16::refusesTextsOf32767BytesOrMore()
{
    QCOMPARE(modbusCrc(QByteArray(32766, 'x')).size(), 2);
    try {
        modbusCrc(QByteArray(32767, 'x'));
        QFAIL("a 32767-byte text was checksummed");
    } catch (const RuntimeError &error) {
        QCOMPARE(error.number(), int(RuntimeError::Overflow));
    }
}

void TestCrc16::decode_data()
{
    QTest::addColumn<bool>("twoDigits");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("hexDigitValue A") << false << QByteArray("A") << 10;
    QTest::newRow("hexDigitValue F") << false << QByteArray("F") << 15;
    QTest::newRow("hexDigitValue 9") << false << QByteArray("9") << 9;
    QTest::newRow("hexDigitValue a") << false << QByteArray("a") << 0;
    QTest::newRow("hexDigitValue 10") << false << QByteArray("10") << 0;
    QTest::newRow("hexDigitValue empty") << false << QByteArray() << 0;
    QTest::newRow("hexByteValue 1F") << true << QByteArray("1F") << 31;
    QTest::newRow("hexByteValue FF") << true << QByteArray("FF") << 255;
    QTest::newRow("hexByteValue 1f") << true << QByteArray("1f") << 16;
    QTest::newRow("hexByteValue G7") << true << QByteArray("G7") << 7;
    QTest::newRow("hexByteValue 7") << true << QByteArray("7") << 7;
    QTest::newRow("hexByteValue empty") << true << QByteArray() << 0;
    QTest::newRow("hexByteValue 123") << true << QByteArray("123") << 0;
}

void TestCrc16::decode()
{
    QFETCH(bool, twoDigits);
    QFETCH(QByteArray, text);
    QFETCH(int, value);
    QCOMPARE(int(twoDigits ? hexByteValue(text) : hexDigitValue(text)), value);
}

QTEST_APPLESS_MAIN(TestCrc16)
#include "tst_crc16.moc"
