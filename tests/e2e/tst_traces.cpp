#include "e2e/clirun.h"
#include "e2e/examplefiles.h"
#include "e2e/simulatedboard.h"
#include "record/jobrecord.h"
#include "record/recordkeeper.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
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

const QString blink = exampleFile("blink.hex");

void TestTraces::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", path("config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", path("data").toLocal8Bit());
}

// Two boards on a bus, the first of which fails its verify: its trace stays
// and its records name it; the done board's trace is gone, and its end
// record names none.
void TestTraces::onlyTheFailedBoardLeavesATrace()
{
    SimulatedBoard sim({"--address", "1,2", "--miswrite", "3", "--quiet"});
    QVERIFY(sim.isReady());
    const QString folder = path("traces");
    const QString store = path("traced/history.sqlite");
    const Cli run({"--json", "-a", "1,2", "--pace", "reply", "--trace-dir", folder, "--keep-traces",
                   "failed", "--log", store, blink});
    QVERIFY2(run.exitCode == 5, qPrintable(run.all()));

    const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left.size(), 1);
    QVERIFY2(QRegularExpression("^[0-9]{8}T[0-9]{6}\\.[0-9]{3}Z_COM3_board-1\\.trace$")
                 .match(left.first())
                 .hasMatch(),
             qPrintable(left.first()));
    const QString trace = QDir(folder).absoluteFilePath(left.first());
    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    QVERIFY(content.startsWith("# bootline-cli trace"));
    QVERIFY2(content.contains(" > ") && content.contains(" < "), content.left(300).constData());

    QStringList boards;
    for (const QJsonObject &event : jsonLines(run.out)) {
        if (event["event"] == "board")
            boards << event["board"].toString() + ' ' + event["result"].toString() + ' ' +
                          event["trace"].toString();
    }
    QCOMPARE(boards, QStringList({"1 failed " + trace, "2 done "}));

    // Each job's "started" record names its trace before anyone knows its end.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "traced");
        db.setDatabaseName(store);
        QVERIFY(db.open());
        QSqlQuery started(db);
        QVERIFY(started.exec("SELECT board, trace FROM bootline_jobs WHERE result = 'started' "
                             "ORDER BY board"));
        QStringList named;
        while (started.next())
            named << started.value(0).toString() + ' ' +
                         QFileInfo(started.value(1).toString()).fileName();
        QCOMPARE(named.size(), 2);
        QCOMPARE(named.first(), "1 " + left.first());
        QVERIFY2(named.last().startsWith("2 ") && named.last().endsWith("_COM3_board-2.trace"),
                 qPrintable(named.last()));
    }
    QSqlDatabase::removeDatabase("traced");
    const Cli history({"--history", "--json", "--log", store});
    QStringList recorded;
    for (const QJsonObject &record : jsonLines(history.out))
        recorded << record["board"].toString() + ' ' + record["trace"].toString();
    recorded.sort();
    QCOMPARE(recorded, QStringList({"1 " + trace, "2 "}));
    QVERIFY(sim.stop());
}

// Records kept beside the store while it was away: the first run that
// stores again says so once, with the command that moves them; once moved,
// nothing is said, and the line that is no record stays, named.
void TestTraces::waitingRecordsAreToldOnceUntilImported()
{
    SimulatedBoard sim({"--quiet"});
    QVERIFY(sim.isReady());
    const QString store = path("waiting/history.sqlite");
    const QString fallback = path("waiting/unrecorded.jsonl");
    JobRecord record;
    record.jobId = "job-away";
    record.result = "started";
    record.recordId = recordIdOf(record.jobId, true);
    QVERIFY(appendUnrecorded(fallback, record));
    record.result = "done";
    record.recordId = recordIdOf(record.jobId, false);
    QVERIFY(appendUnrecorded(fallback, record));
    record.jobId = "job-away-too";
    record.recordId = recordIdOf(record.jobId, false);
    QVERIFY(appendUnrecorded(fallback, record));

    const QString notice = QStringLiteral("bootline-cli: 2 records wait in %1: not in the store "
                                          "yet; bootline-cli --import-unrecorded --log %2 moves "
                                          "them there\n")
                               .arg(fallback, store);
    const Cli first({"-a", "1", "--query", "--log", store});
    QCOMPARE(first.exitCode, 0);
    QCOMPARE(first.err.count(notice), 1);

    QFile damaged(fallback);
    QVERIFY(damaged.open(QIODevice::Append));
    damaged.write("not a record\n");
    damaged.close();
    const Cli import({"--import-unrecorded", "--log", store});
    QCOMPARE(import.exitCode, 7);
    QVERIFY2(import.out.startsWith("3 records added to the store"), qPrintable(import.all()));
    QCOMPARE(import.err,
             QStringLiteral("bootline-cli: line 4 of %1 is not a record: left in the file\n")
                 .arg(fallback));
    QVERIFY(damaged.open(QIODevice::ReadOnly));
    QCOMPARE(damaged.readAll(), "not a record\n");
    damaged.close();

    const Cli after({"-a", "1", "--query", "--log", store});
    QCOMPARE(after.exitCode, 0);
    QVERIFY2(!after.err.contains("wait in"), qPrintable(after.err));
    QVERIFY(sim.stop());
}

QTEST_GUILESS_MAIN(TestTraces)
#include "tst_traces.moc"
