#include "shared/numericvalue.h"

#include <QTest>
#include <cmath>
#include <limits>

class TestNumericValue : public QObject {
    Q_OBJECT
private slots:
    void readsTheLeadingNumber_data();
    void readsTheLeadingNumber();
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void longNumbersReadAsTheirValue_data();
    void longNumbersReadAsTheirValue();
};

void TestNumericValue::readsTheLeadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    // The address box and the new-address box as the operator fills them.
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("1") << "1" << 1.0;
    QTest::newRow("12.5") << "12.5" << 12.5;
    QTest::newRow("1A stops at A") << "1A" << 1.0;
    QTest::newRow("12abc") << "12abc" << 12.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("negative") << "-1" << -1.0;
    QTest::newRow("plus sign") << "+4" << 4.0;
    QTest::newRow("two signs") << "--1" << 0.0;
    QTest::newRow("sign alone") << "-" << 0.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("trailing point") << "5." << 5.0;
    QTest::newRow("second point stops") << "1.5.5" << 1.5;
    QTest::newRow("comma stops") << "1,5" << 1.0;
    // Blanks, tabs and line feeds are ignored wherever they are; a carriage return is not.
    QTest::newRow("blanks around") << "  7  " << 7.0;
    QTest::newRow("blanks inside") << "1 2 3" << 123.0;
    QTest::newRow("tab and sign") << "\t-3" << -3.0;
    QTest::newRow("line feed") << "4\n2" << 42.0;
    QTest::newRow("carriage return stops") << "4\r2" << 4.0;
    QTest::newRow("leading carriage return") << "\r5" << 0.0;
    // Exponents.
    QTest::newRow("exponent") << "1e3" << 1000.0;
    QTest::newRow("capital exponent with sign") << "1E+2" << 100.0;
    QTest::newRow("negative exponent") << "25E-1" << 2.5;
    QTest::newRow("exponent without digits") << "1e" << 1.0;
    QTest::newRow("exponent sign without digits") << "7e-" << 7.0;
    // Hexadecimal and octal.
    QTest::newRow("&H1F") << "&H1F" << 31.0;
    QTest::newRow("&h1f lower case") << "&h1f" << 31.0;
    QTest::newRow("&HFFFF") << "&HFFFF" << 65535.0;
    QTest::newRow("&H stops at G") << "&H1G" << 1.0;
    QTest::newRow("&H alone") << "&H" << 0.0;
    QTest::newRow("&O17") << "&O17" << 15.0;
    QTest::newRow("&O stops at 8") << "&O78" << 7.0;
    QTest::newRow("& alone") << "&" << 0.0;
}

void TestNumericValue::readsTheLeadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numericValue(text), value);
}

void TestNumericValue::roundsHalvesToEven_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("whole");
    QTest::newRow("12.5") << "12.5" << 12.0;
    QTest::newRow("13.5") << "13.5" << 14.0;
    QTest::newRow("10.5") << "10.5" << 10.0;
    QTest::newRow("11.5") << "11.5" << 12.0;
    QTest::newRow("0.5") << "0.5" << 0.0;
    QTest::newRow("-2.5") << "-2.5" << -2.0;
    QTest::newRow("-1.5") << "-1.5" << -2.0;
    QTest::newRow("2.51") << "2.51" << 3.0;
    QTest::newRow("1.49") << "1.49" << 1.0;
}

void TestNumericValue::roundsHalvesToEven()
{
    QFETCH(QString, text);
    QFETCH(double, whole);
    QCOMPARE(wholeNumber(numericValue(text)), whole);
}

// However many digits: a value beyond a double reads as infinity (and is then
// refused as out of range), a value too small for one reads as 0.
void TestNumericValue::longNumbersReadAsTheirValue_data()
{
    const double infinity = std::numeric_limits<double>::infinity();
    const QString zeros400(400, u'0');
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("1e400") << "1e400" << infinity;
    QTest::newRow("-1e400") << "-1e400" << -infinity;
    QTest::newRow("1e-400") << "1e-400" << 0.0;
    QTest::newRow("10000 nines") << QString(10000, u'9') << infinity;
    QTest::newRow("10000 letters") << QString(10000, u'x') << 0.0;
    QTest::newRow("400 zeros, then a small exponent") << "1" + zeros400 + "e-10" << infinity;
    QTest::newRow("400 zeros, then a smaller one") << "1" + zeros400 + "e-395" << 100000.0;
    QTest::newRow("a 1 after 400 zeros") << "0." + zeros400 + "1" << 0.0;
    QTest::newRow("a 1 after 400 zeros, times 1e405") << "0." + zeros400 + "1e405" << 10000.0;
    QTest::newRow("400 zeros before a 5") << zeros400 + "5" << 5.0;
    QTest::newRow("zero with a huge exponent") << "0e99999999999999999999" << 0.0;
    QTest::newRow("huge exponent") << "2e99999999999999999999" << infinity;
    QTest::newRow("huge negative exponent") << "2e-99999999999999999999" << 0.0;
    QTest::newRow("&H and 300 Fs") << "&H" + QString(300, u'F') << infinity;
}

void TestNumericValue::longNumbersReadAsTheirValue()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(numericValue(text), value);
}

QTEST_APPLESS_MAIN(TestNumericValue)
#include "tst_numericvalue.moc"
