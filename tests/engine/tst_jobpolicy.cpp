#include "engine/jobpolicy.h"

#include <QTest>

class TestJobPolicy : public QObject {
    Q_OBJECT
private slots:
    void anOverdueLine_data();
    void anOverdueLine();
};

using Overdue = JobPolicy::Overdue;

void TestJobPolicy::anOverdueLine_data()
{
    QTest::addColumn<JobPolicy>("policy");
    QTest::addColumn<bool>("firstNotice");
    QTest::addColumn<int>("sendings");
    QTest::addColumn<Overdue>("action");
    const JobPolicy window;
    const JobPolicy noRetries = JobPolicy::unattended(10000, 0);
    const JobPolicy twoRetries = JobPolicy::unattended(10000, 2);
    QTest::newRow("window: said once") << window << true << 1 << Overdue::SayUnanswered;
    QTest::newRow("window: then counted on") << window << false << 1 << Overdue::NoticeAgain;
    QTest::newRow("unattended, no retries: gives up") << noRetries << true << 1 << Overdue::GiveUp;
    QTest::newRow("two retries: sent again") << twoRetries << true << 1 << Overdue::Resend;
    QTest::newRow("two retries: and again") << twoRetries << true << 2 << Overdue::Resend;
    QTest::newRow("two retries: spent") << twoRetries << true << 3 << Overdue::GiveUp;
    QTest::newRow("a later notice never resends")
        << twoRetries << false << 1 << Overdue::NoticeAgain;
}

void TestJobPolicy::anOverdueLine()
{
    QFETCH(JobPolicy, policy);
    QFETCH(bool, firstNotice);
    QFETCH(int, sendings);
    QFETCH(Overdue, action);
    QCOMPARE(policy.whenOverdue(firstNotice, sendings), action);
}

QTEST_GUILESS_MAIN(TestJobPolicy)
#include "tst_jobpolicy.moc"
