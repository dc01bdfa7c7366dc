#include "line/boardrecord.h"
#include "record/recordofjob.h"

#include <QTest>

Q_DECLARE_METATYPE(JobRecord)

// What each end of a job leaves in its record, from either face.
class TestRecordOfJob : public QObject {
    Q_OBJECT
private slots:
    void endsInTheRecord_data();
    void endsInTheRecord();
};

void TestRecordOfJob::endsInTheRecord_data()
{
    QTest::addColumn<JobRecord>("record");
    QTest::addColumn<QString>("result");
    QTest::addColumn<int>("exitCode");
    JobSite site; // at no address: a scan
    site.ended = QDateTime::currentDateTimeUtc();
    const QByteArray reply = "DOWNLOAD\r\n";
    const auto window = [&](JobResult::Outcome outcome) {
        JobResult job;
        job.outcome = outcome;
        return endedRecord(site, job, jobVerdict(job, true, {}), reply);
    };
    BoardResult board;
    board.failure = QStringLiteral("why");
    board.reply = reply;
    board.endedAt = site.ended;
    auto cli = [board](ExitCode code, bool untried) mutable {
        board.exitCode = code;
        board.untried = untried;
        return boardRecord(board, {});
    };
    using Outcome = JobResult::Outcome;
    QTest::newRow("verified") << window(Outcome::Verified) << "done" << int(Done);
    QTest::newRow("refused") << window(Outcome::Refused) << "failed" << int(BoardRefused);
    QTest::newRow("port closed") << window(Outcome::Stopped) << "interrupted" << int(Interrupted);
    QTest::newRow("cli done") << cli(Done, false) << "done" << int(Done);
    QTest::newRow("cli hung up") << cli(HungUp, false) << "interrupted" << int(HungUp);
    QTest::newRow("cli after a signal") << cli(Terminated, true) << "not tried" << int(Terminated);
    QTest::newRow("started") << startedRecord(site, {}) << "started" << int(Done);
}

void TestRecordOfJob::endsInTheRecord()
{
    QFETCH(JobRecord, record);
    QFETCH(QString, result);
    QFETCH(int, exitCode);
    QCOMPARE(record.result, result);
    QCOMPARE(record.exitCode, exitCode);
    QCOMPARE(record.ended.isValid(), result != "started");
    QCOMPARE(record.board, QStringLiteral("scan"));
    // A job done has nothing to explain, and its last reply is no failure's words.
    QCOMPARE(record.error.isEmpty(), exitCode == Done);
    QCOMPARE(record.reply, exitCode == Done ? QString() : QStringLiteral("DOWNLOAD"));
}

QTEST_MAIN(TestRecordOfJob)
#include "tst_recordofjob.moc"
