#include "engine/replywatch.h"

#include <QTest>

class TestReplyWatch : public QObject {
    Q_OBJECT
private slots:
    void answersToALineSentSeveralTimes_data();
    void answersToALineSentSeveralTimes();
    void theHeldAnswerWaitsAsLongAgainAsItTook();
    void theNoticeCountsOnFromTheTimeout();
};

void TestReplyWatch::answersToALineSentSeveralTimes_data()
{
    QTest::addColumn<int>("sendings");
    QTest::addColumn<int>("answers");
    QTest::addColumn<QList<ReplyWatch::Answer>>("verdicts");
    using A = ReplyWatch::Answer;
    QTest::newRow("sent once, answered twice") << 1 << 2 << QList<A>{A::Act, A::Surplus};
    QTest::newRow("twice, both answered") << 2 << 2 << QList<A>{A::Hold, A::ActOnHeld};
    QTest::newRow("three times") << 3 << 3 << QList<A>{A::Hold, A::Absorb, A::ActOnHeld};
}

// Only one answer of several is acted on, and only once the others are in.
void TestReplyWatch::answersToALineSentSeveralTimes()
{
    QFETCH(int, sendings);
    QFETCH(int, answers);
    QFETCH(QList<ReplyWatch::Answer>, verdicts);
    ReplyWatch watch([] { return qint64(0); });
    watch.lineSent(4, "BOOT:04");
    for (int i = 1; i < sendings; ++i)
        watch.lineResent();
    QCOMPARE(watch.sendings(), sendings);
    QList<ReplyWatch::Answer> seen;
    for (int i = 0; i < answers; ++i)
        seen << watch.answered("OK" + QByteArray::number(i));
    QCOMPARE(seen, verdicts);
    if (sendings > 1)
        QCOMPARE(watch.takeHeld(), QByteArray("OK0")); // the first answer stands
}

void TestReplyWatch::theHeldAnswerWaitsAsLongAgainAsItTook()
{
    qint64 now = 1000;
    ReplyWatch watch([&now] { return now; });
    watch.lineSent(1, "BOOT:01");
    now += 3000; // overdue: sent again
    watch.lineResent();
    now += 250; // the first sending's answer, late
    QCOMPARE(watch.answered("OK"), ReplyWatch::Answer::Hold);
    QVERIFY(watch.holding());
    QCOMPARE(watch.holdMs(3000), 3000 + 3250);
    watch.lineSent(2, "BOOT:02"); // its answer comes after the one still owed to line 1
    QCOMPARE(watch.answered("ERROR"), ReplyWatch::Answer::Absorb);
    QCOMPARE(watch.answered("OK"), ReplyWatch::Answer::ActOnHeld);
    QCOMPARE(watch.takeHeld(), QByteArray("ERROR")); // a refusal among them stands
    QCOMPARE(watch.answered("OK"), ReplyWatch::Answer::Surplus);
}

void TestReplyWatch::theNoticeCountsOnFromTheTimeout()
{
    ReplyWatch watch([] { return qint64(0); });
    watch.lineSent(1, "BOOT:01");
    QCOMPARE(watch.overdue(2500), 2500);
    QVERIFY(watch.firstNotice());
    QCOMPARE(watch.overdue(2500), 3500);
    QVERIFY(!watch.firstNotice());
    watch.lineResent(); // each sending is waited for afresh
    QCOMPARE(watch.overdue(2500), 2500);
    QVERIFY(watch.firstNotice());
}

QTEST_GUILESS_MAIN(TestReplyWatch)
#include "tst_replywatch.moc"
