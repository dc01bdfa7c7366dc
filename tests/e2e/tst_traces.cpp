#include "e2e/clirun.h"
#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "record/recordkeeper.h"
#include "shared/exitcode.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// A trace file of each board job, and the records that wait beside the
// store, as a production line meets them.
class TestTraces : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void onlyTheFailedBoardLeavesATrace();
    void waitingRecordsAreToldOnceUntilImported();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestTraces::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());
}

// Two boards on a bus, the first failing its verify: its trace stays, and
// its records name it; the done board's trace is gone, and its end record
// names none (its "started" record was written before its end was known).
void TestTraces::onlyTheFailedBoardLeavesATrace()
{
    SimulatedBoard sim({"--address", "1,2", "--miswrite", "3", "--quiet"});
    QVERIFY(sim.isReady());
    const QString store = path("traced.sqlite");
    const Cli run({"--json", "-a", "1,2", "--pace", "reply", "--trace-dir", path("traces"),
                   "--keep-traces", "failed", "--log", store, exampleFile("blink.hex")});
    QVERIFY2(run.exitCode == 5, qPrintable(run.all()));
    const QFileInfoList left = QDir(path("traces")).entryInfoList(QDir::Files | QDir::Hidden);
    QCOMPARE(left.size(), 1);
    const QString trace = left.first().absoluteFilePath();
    QVERIFY2(QRegularExpression("/[0-9]{8}T[0-9]{6}\\.[0-9]{3}Z_COM3_board-1\\.trace$")
                 .match(trace)
                 .hasMatch(),
             qPrintable(trace));
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readLine().startsWith("# bootline-cli trace"));
    QVERIFY(file.readAll().contains(" > 01 42 4F 4F 54"));

    QStringList events;
    for (const QJsonObject &event : jsonLines(run.out)) {
        if (event["event"] == "board")
            events << event["board"].toString() + ' ' + event["trace"].toString();
    }
    QCOMPARE(events, QStringList({"1 " + trace, "2 "}));
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
    db.setDatabaseName(store);
    QVERIFY(db.open());
    QSqlQuery rows(db);
    QVERIFY(rows.exec("SELECT board, result, trace FROM bootline_jobs ORDER BY board, id"));
    QStringList recorded;
    while (rows.next())
        recorded << QStringLiteral("%1 %2 %3")
                        .arg(rows.value(0).toString(), rows.value(1).toString(),
                             QFileInfo(rows.value(2).toString()).fileName())
                        .replace(QRegularExpression("[0-9]{8}T[0-9.]{10}Z"), "TIME");
    QCOMPARE(recorded, QStringList({"1 not tried ", "1 started TIME_COM3_board-1.trace",
                                    "1 failed TIME_COM3_board-1.trace", "2 not tried ",
                                    "2 started TIME_COM3_board-2.trace", "2 done "}));
    QVERIFY(sim.stop());
}

// Records kept beside the store while it was away: the first run that
// stores again says so once, with the command that moves them; once they
// are moved, nothing is said, and the line that is no record stays, named.
void TestTraces::waitingRecordsAreToldOnceUntilImported()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    const QString store = path("waiting/history.sqlite");
    const QString fallback = path("waiting/unrecorded.jsonl");
    const StoreAddress meantFor = std::get<StoreAddress>(parseStoreAddress(store));
    JobRecord record;
    for (const char *result : {"started", "done"}) {
        record.jobId = "job-away";
        record.result = result;
        QVERIFY(appendUnrecorded(fallback, record, meantFor));
    }
    record.jobId = "job-away-too";
    QVERIFY(appendUnrecorded(fallback, record, meantFor));
    const QString notice = QStringLiteral("bootline-cli: 2 records wait in %1: not in the store "
                                          "yet; bootline-cli --import-unrecorded --log %2 moves "
                                          "them there\n")
                               .arg(fallback, store);
    const QStringList query{"-a", "1", "--query", "--log", store};
    const Cli first(query);
    QCOMPARE(first.exitCode, 0);
    QCOMPARE(first.err.count(notice), 1);

    QFile file(fallback);
    QVERIFY(file.open(QIODevice::Append));
    file.write("not a record\n");
    file.close();
    const Cli import({"--import-unrecorded", "--log", store});
    QCOMPARE(import.exitCode, int(NotRecorded));
    QVERIFY2(import.out.startsWith("3 records added to the store"), qPrintable(import.all()));
    QCOMPARE(import.err,
             "bootline-cli: line 4 of " + fallback + " is not a record: left in the file\n");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "not a record\n");

    const Cli after(query);
    QCOMPARE(after.exitCode, 0);
    QVERIFY2(!after.err.contains("wait in"), qPrintable(after.err));
    QVERIFY(sim.stop());
}

QTEST_GUILESS_MAIN(TestTraces)
#include "tst_traces.moc"
