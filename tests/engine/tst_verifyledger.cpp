#include "engine/verifyledger.h"

#include <QTest>

// Events of a verify pass, written as a string: "v3" verify line 3 sent, "d2"
// download line 2 sent, "K" an OK, "D" a DOWNLOAD, "E" an ERROR.
namespace {

VerifyLedger play(const QStringList &events, qint16 lineCount)
{
    VerifyLedger ledger;
    for (const QString &event : events) {
        const QChar kind = event.front();
        if (kind == u'v' || kind == u'd')
            ledger.lineSent(qint16(event.mid(1).toInt()), kind == u'v', lineCount);
        else if (kind == u'K')
            ledger.replied(ReplyKeyword::Ok);
        else if (kind == u'D')
            ledger.replied(ReplyKeyword::Download);
        else if (kind == u'E')
            ledger.replied(ReplyKeyword::Error);
    }
    return ledger;
}

} // namespace

class TestVerifyLedger : public QObject {
    Q_OBJECT
private slots:
    void wholeOnlyWhenEveryLineWasAnsweredInStep_data();
    void wholeOnlyWhenEveryLineWasAnsweredInStep();
};

void TestVerifyLedger::wholeOnlyWhenEveryLineWasAnsweredInStep_data()
{
    QTest::addColumn<QString>("events");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<int>("acknowledged");
    QTest::addColumn<int>("lines");
    QTest::newRow("three lines in step") << "v1 K v2 K v3 D" << true << 3 << 3;
    QTest::newRow("one line, the end-of-file record") << "v1 D" << true << 1 << 1;
    QTest::newRow("a line sent again") << "v1 K v2 v2 K v3 D" << true << 3 << 3;
    QTest::newRow("a second pass after a broken one") << "v1 D v1 K v2 K v3 D" << true << 3 << 3;
    QTest::newRow("DOWNLOAD to line 1 of 3") << "v1 D" << false << 0 << 3;
    QTest::newRow("DOWNLOAD before the last line") << "v1 K v2 D" << false << 1 << 3;
    QTest::newRow("a line sent before its forerunner was answered")
        << "v1 K v2 v3 K D" << false << 1 << 3;
    QTest::newRow("a line skipped") << "v1 K v3 D" << false << 1 << 3;
    QTest::newRow("OK to the last line is no end") << "v1 K v2 K v3 K" << false << 2 << 3;
    QTest::newRow("ERROR on the way") << "v1 E v2 K v3 D" << false << 0 << 3;
    QTest::newRow("a download line in between") << "v1 K v2 K d3 v3 D" << false << 0 << 3;
    QTest::newRow("DOWNLOAD twice at the end") << "v1 K v2 K v3 D D" << true << 3 << 3;
    QTest::newRow("no verify pass") << "d1 K d2 K d3 D" << false << 0 << 3;
}

void TestVerifyLedger::wholeOnlyWhenEveryLineWasAnsweredInStep()
{
    QFETCH(QString, events);
    QFETCH(bool, whole);
    QFETCH(int, acknowledged);
    QFETCH(int, lines);
    const VerifyLedger ledger = play(events.split(u' '), qint16(lines));
    QCOMPARE(ledger.wholeImageVerified(), whole);
    QCOMPARE(int(ledger.acknowledged()), acknowledged);
}

QTEST_GUILESS_MAIN(TestVerifyLedger)
#include "tst_verifyledger.moc"
