#include "shared/readable.h"

#include <QTest>

// Text from outside, as a terminal is given it: nothing in it is obeyed.
class TestReadable : public QObject {
    Q_OBJECT
private slots:
    void visibleText_data();
    void visibleText();
    void counted();
};

void TestReadable::visibleText_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << "VER=1.0 SIM"
                           << "VER=1.0 SIM";
    QTest::newRow("other languages") << "Größe 温度"
                                     << "Größe 温度";
    QTest::newRow("clear the screen") << "1.0\x1b[2J\x1b[H"
                                      << "1.0\\x1B[2J\\x1B[H";
    QTest::newRow("line ends and a bell") << "a\r\nb\x07"
                                          << "a\\x0D\\x0Ab\\x07";
    QTest::newRow("DEL and a C1 CSI") << QString("x\x7f") + QChar(0x9b) + "31m"
                                      << "x\\x7F\\x9B31m";
    QTest::newRow("text turned around") << QString("ok") + QChar(0x202e) + "deliaf"
                                        << "ok\\u202Edeliaf";
}

void TestReadable::visibleText()
{
    QFETCH(QString, given);
    QFETCH(QString, shown);
    QCOMPARE(::visibleText(given), shown);
}

void TestReadable::counted()
{
    QCOMPARE(::counted(1, "board"), "1 board");
    QCOMPARE(::counted(0, "board") + ", " + ::counted(2, "record"), "0 boards, 2 records");
}

QTEST_APPLESS_MAIN(TestReadable)
#include "tst_readable.moc"
