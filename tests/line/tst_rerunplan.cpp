#include "line/rerunplan.h"

#include <QTest>

#include <algorithm>

// Which boards of a run go again, and as which attempt, from its records alone.
class TestRerunPlan : public QObject {
    Q_OBJECT
private slots:
    void boardsNotDone_data();
    void boardsNotDone();
    void theRunsNewestFile();
    void recordsWaitingBesideTheStoreCount();
};

// "PORT BOARD ATTEMPT RESULT", one job each, in the order they began.
QList<JobRecord> jobs(const QStringList &lines)
{
    const QDateTime first(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC);
    QList<JobRecord> records;
    for (const QString &line : lines) {
        const QStringList words = line.split(u' ');
        JobRecord record;
        record.port = words[0];
        record.board = words[1];
        record.attempt = words[2].toInt();
        record.result = words.mid(3).join(u' ');
        record.started = first.addSecs(records.size());
        records << record;
    }
    std::reverse(records.begin(), records.end()); // as the store gives them: newest first
    return records;
}

// "PORT: ADDRESS#ATTEMPT ..." for each port of the plan, a scan as "scan".
QStringList described(const RerunPlan &plan)
{
    QStringList ports;
    for (const PortPlan &port : plan.ports) {
        QStringList boards;
        for (const QString &address : port.addresses)
            boards << QStringLiteral("%1#%2")
                          .arg(address.isEmpty() ? QStringLiteral("scan") : address)
                          .arg(plan.attempts.value(boardKey(port.port, address)));
        ports << port.port + QStringLiteral(": ") + boards.join(u' ');
    }
    return ports;
}

void TestRerunPlan::boardsNotDone_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("plan");
    QTest::addColumn<int>("done");
    QTest::newRow("two of four failed")
        << QStringList{"COM3 1 1 done", "COM3 2 1 failed", "COM3 3 1 done", "COM3 4 1 failed"}
        << QStringList{"COM3: 2#2 4#2"} << 2;
    QTest::newRow("a rerun already done: what still failed goes a third time")
        << QStringList{"COM3 1 1 failed", "COM3 2 1 failed", "COM3 1 2 done", "COM3 2 2 failed"}
        << QStringList{"COM3: 2#3"} << 1;
    QTest::newRow("unfinished and not tried are not done")
        << QStringList{"COM3 1 1 started", "COM3 2 1 not tried", "COM3 3 1 interrupted"}
        << QStringList{"COM3: 1#2 2#2 3#2"} << 0;
    QTest::newRow("a scan scans again, and 0 opens without probing again")
        << QStringList{"COM3 scan 1 failed", "COM4 0 1 failed"}
        << QStringList{"COM3: scan#2", "COM4: 0#2"} << 0;
    QTest::newRow("two ports, in the order first used; boards in the order first tried")
        << QStringList{"COM4 7 1 failed", "COM3 5 1 failed", "COM4 2 1 failed",
                       "COM3 5 2 failed", "COM4 2 2 done",   "COM3 1 1 not tried"}
        << QStringList{"COM4: 7#2", "COM3: 5#3 1#2"} << 1;
    QTest::newRow("a port whose boards are all done is left out")
        << QStringList{"COM3 1 1 done", "COM4 1 1 failed"} << QStringList{"COM4: 1#2"} << 1;
    QTest::newRow("every board done: nothing to run")
        << QStringList{"COM3 1 1 failed", "COM3 1 2 done", "COM3 2 1 done"} << QStringList{} << 2;
    // A late record of an older attempt must not hide the newer one's end.
    QTest::newRow("the highest attempt counts, whatever its time")
        << QStringList{"COM3 1 2 done", "COM3 1 1 failed"} << QStringList{} << 1;
}

void TestRerunPlan::boardsNotDone()
{
    QFETCH(QStringList, records);
    QFETCH(QStringList, plan);
    QFETCH(int, done);
    const RerunPlan made = planRerun(jobs(records));
    QCOMPARE(described(made), plan);
    QCOMPARE(made.boardsDone, done);
}

// A rerun with --file-changed leaves the run two files: the next rerun checks
// against the one flashed last. A --query job names none, and changes nothing.
void TestRerunPlan::theRunsNewestFile()
{
    QList<JobRecord> records =
        jobs({"COM3 1 1 failed", "COM3 2 1 failed", "COM3 1 2 failed", "COM3 2 2 failed"});
    // Newest first: the last two are the first run's.
    records[3].file = records[2].file = QStringLiteral("/lab/v1.hex");
    records[3].sha256 = records[2].sha256 = QStringLiteral("11aa");
    records[1].file = QStringLiteral("/lab/v2.hex");
    records[1].sha256 = QStringLiteral("22bb");
    const RerunPlan plan = planRerun(records);
    QCOMPARE(plan.file, QStringLiteral("/lab/v2.hex"));
    QCOMPARE(plan.sha256, QByteArray("22bb"));
    QCOMPARE(planRerun(jobs({"COM3 1 1 failed"})).file, QString());
}

// The store was away for part of the run: board 2's end and board 3's whole
// job are only in the fallback file, and another run's line is none of ours.
void TestRerunPlan::recordsWaitingBesideTheStoreCount()
{
    QList<JobRecord> stored = jobs({"COM3 1 1 done", "COM3 2 1 started"});
    QList<JobRecord> waiting =
        jobs({"COM3 2 1 done", "COM3 3 1 started", "COM3 3 1 failed", "COM3 4 1 failed"});
    stored[0].jobId = waiting[3].jobId = "job-2";
    stored[1].jobId = "job-1";
    waiting[2].jobId = waiting[1].jobId = "job-3";
    waiting[0].jobId = "job-4";
    for (JobRecord *record : {&stored[0], &stored[1], &waiting[1], &waiting[2], &waiting[3]})
        record->runId = "run";
    waiting[0].runId = "another run";
    const RerunPlan plan = planRerun(withWaitingRecords(stored, waiting, "run"));
    QCOMPARE(described(plan), QStringList{"COM3: 3#2"});
    QCOMPARE(plan.boardsDone, 2);
}

QTEST_GUILESS_MAIN(TestRerunPlan)
#include "tst_rerunplan.moc"
