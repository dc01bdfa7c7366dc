#pragma once

#include "record/recordstore.h"
#include "samplerecord.h"

#include <QJsonDocument>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTest>

#include <functional>

// The cases every kind of store must pass alike.

Q_DECLARE_METATYPE(HistoryFilter)

inline StoreAddress parsed(const QString &text)
{
    const auto result = parseStoreAddress(text);
    if (const QString *error = std::get_if<QString>(&result))
        qFatal("refused: %s", qPrintable(*error));
    return std::get<StoreAddress>(result);
}

// Records that must come back field for field, newest first: quotes and
// all, and one with no times at all (a board not tried), which goes last.
inline QList<JobRecord> roundTripRecords()
{
    JobRecord refused = sampleRecord();
    refused.started = refused.started.addSecs(3600);
    refused.ended = refused.started.addMSecs(300);
    refused.face = "window";
    refused.board = "scan";
    refused.result = "failed";
    refused.exitCode = 5;
    refused.resends = 3;
    refused.seconds = 0.1 + 0.2; // not rounded on the way
    refused.error = "the board refused line 12; it's O'Brien's bench'); DROP TABLE jobs; --";
    refused.reply = "ERROR \"checksum\" ü";
    refused.jobId = "6f1c2d9e-5b7a-4c3e-9d21-0a8b7c6e5f43";
    refused.recordId = refused.jobId + "/ended";
    refused.runId = "0b9d6a4e-1c2f-4a8b-b3d5-7e6f5a4c3b21";
    refused.attempt = 2;
    refused.tags = {{"operator", "ana"}, {"serial", "SN-0042 \"x\"; DROP"}};
    refused.trace = "/var/lib/bench/traces/a b.trace";

    JobRecord untried;
    untried.recordId = "untried-7";
    untried.face = "cli";
    untried.port = "COM3";
    untried.board = "7";
    untried.result = "not tried";
    untried.exitCode = 3;
    untried.error = "port COM3 could not be opened for board 6";

    JobRecord done = sampleRecord();
    done.recordId = "done-1";
    return {refused, done, untried};
}

inline QByteArray jsonLine(const JobRecord &record)
{
    return QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact);
}

// A PostgreSQL store is made once, by a role that may create tables; a
// SQLite file on its first write.
inline void makeSchema(const StoreAddress &address)
{
    QString error;
    if (address.kind == StoreAddress::Kind::Postgres && !RecordStore(address).createSchema(&error))
        qFatal("cannot make the tables: %s", qPrintable(error));
}

// Writes the round trip's records and reads them back, all through a new
// store at the address: as another run of the program would.
inline void checkRoundTrip(const StoreAddress &address)
{
    const QList<JobRecord> records = roundTripRecords();
    QString error;
    makeSchema(address);
    {
        RecordStore store(address);
        // Each in once: the second write of a record adds nothing, and says so.
        for (const bool first : {true, false}) {
            for (const JobRecord &record : records) {
                bool added = !first;
                QVERIFY2(store.write(record, &error, &added), qPrintable(error));
                QCOMPARE(added, first);
            }
        }
    }
    RecordStore store(address);
    const auto read = store.read({}, &error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->size(), records.size());
    for (int i = 0; i < records.size(); ++i) {
        QCOMPARE(jsonLine(read->at(i)), jsonLine(records.at(i)));
        QVERIFY(read->at(i) == records.at(i));
        QVERIFY(!read->at(i).started.isValid() || read->at(i).started.timeSpec() == Qt::UTC);
    }
}

inline JobRecord boardAt(const QString &board, const QString &port, const QString &result,
                         const QString &started)
{
    JobRecord record = sampleRecord();
    record.board = board;
    record.port = port;
    record.result = result;
    record.started = QDateTime::fromString(started, Qt::ISODateWithMs);
    record.ended = record.started;
    return record;
}

// For the filter cases: written out of time order; 3 after 2 at the same time.
inline QList<JobRecord> filterRecords()
{
    QList<JobRecord> records{boardAt("1", "COM3", "done", "2026-12-01T10:00:00.000Z"),
                             boardAt("4", "COM3", "done", "2026-12-07T12:00:00.000Z"),
                             boardAt("2", "/dev/ttyUSB0", "failed", "2026-12-05T09:00:00.250Z"),
                             boardAt("3", "COM3", "interrupted", "2026-12-05T09:00:00.250Z"),
                             boardAt("5", "/dev/ttyUSB0", "not tried", "")};
    // Boards 2 and 3 were one run, for one order, of another file.
    for (JobRecord *record : {&records[2], &records[3]}) {
        record->runId = "run-b";
        record->sha256 = "0a1b" + record->sha256.mid(4);
        record->tags = {{"order", "WO-1182"}, {"serial", "SN-" + record->board}};
    }
    records[1].tags = {{"order", "WO-1183"}};
    return records;
}

inline HistoryFilter filterOf(const QString &since, const QString &port, bool failedOnly)
{
    HistoryFilter filter;
    filter.since = QDateTime::fromString(since, Qt::ISODateWithMs);
    filter.port = port;
    filter.failedOnly = failedOnly;
    return filter;
}

// Columns filter and boards: the boards it reads of filterRecords(), in order.
inline void addFilterRows()
{
    QTest::addColumn<HistoryFilter>("filter");
    QTest::addColumn<QStringList>("boards");

    const QString usb = "/dev/ttyUSB0";
    QTest::newRow("all, newest first; no time last")
        << filterOf("", "", false) << QStringList{"4", "3", "2", "1", "5"};
    QTest::newRow("since a day") << filterOf("2026-12-05T00:00:00Z", "", false)
                                 << QStringList{"4", "3", "2"};
    QTest::newRow("since the very millisecond")
        << filterOf("2026-12-05T09:00:00.250Z", "", false) << QStringList{"4", "3", "2"};
    QTest::newRow("since an offset")
        << filterOf("2026-12-05T10:00:00.251+01:00", "", false) << QStringList{"4"};
    QTest::newRow("one port") << filterOf("", "COM3", false) << QStringList{"4", "3", "1"};
    QTest::newRow("failed ones") << filterOf("", "", true) << QStringList{"3", "2", "5"};
    QTest::newRow("failed on one port") << filterOf("", usb, true) << QStringList{"2", "5"};
    QTest::newRow("all three") << filterOf("2026-12-02T00:00:00Z", "COM3", true)
                               << QStringList{"3"};
    QTest::newRow("a port never used") << filterOf("", "COM30", false) << QStringList{};

    // The rest, one at a time.
    auto with = [](const std::function<void(HistoryFilter &)> &set) {
        HistoryFilter filter;
        set(filter);
        return filter;
    };
    QTest::newRow("until a time: begun before it") << with([](HistoryFilter &f) {
        f.until = QDateTime::fromString("2026-12-05T09:00:00.250Z", Qt::ISODateWithMs);
    }) << QStringList{"1"};
    QTest::newRow("one board") << with([](HistoryFilter &f) { f.board = "3"; }) << QStringList{"3"};
    QTest::newRow("one run") << with([](HistoryFilter &f) { f.runId = "run-b"; })
                             << QStringList{"3", "2"};
    QTest::newRow("a hash's first digits, any case")
        << with([](HistoryFilter &f) { f.sha256Prefix = "0A1B"; }) << QStringList{"3", "2"};
    QTest::newRow("a tag") << with([](HistoryFilter &f) {
        f.tags = {{"order", "WO-1182"}};
    }) << QStringList{"3", "2"};
    QTest::newRow("two tags, both must match") << with([](HistoryFilter &f) {
        f.tags = {{"order", "WO-1182"}, {"serial", "SN-2"}};
    }) << QStringList{"2"};
    QTest::newRow("a tag's value is matched whole") << with([](HistoryFilter &f) {
        f.tags = {{"order", "WO-118"}};
    }) << QStringList{};
    QTest::newRow("the newest two")
        << with([](HistoryFilter &f) { f.limit = 2; }) << QStringList{"4", "3"};
    QTest::newRow("the newest of a tag") << with([](HistoryFilter &f) {
        f.limit = 1;
        f.tags = {{"order", "WO-1182"}};
    }) << QStringList{"3"};
}

// Reads the filter row's records from a store that holds filterRecords().
inline void checkFilterRow(RecordStore &store)
{
    QFETCH(HistoryFilter, filter);
    QFETCH(QStringList, boards);

    QString error;
    const auto records = store.read(filter, &error);
    QVERIFY2(records, qPrintable(error));
    QStringList read;
    for (const JobRecord &record : *records)
        read << record.board;
    QCOMPARE(read, boards);
}

// Makes a store at the address that holds filterRecords().
inline std::unique_ptr<RecordStore> filterStore(const StoreAddress &address)
{
    makeSchema(address);
    auto store = std::make_unique<RecordStore>(address);
    QString error;
    for (const JobRecord &record : filterRecords()) {
        if (!store->write(record, &error))
            qFatal("cannot write the records to filter: %s", qPrintable(error));
    }
    return store;
}

// Many processes at once, each keeping its records through its own store:
// every record read back, none twice.
inline void checkAllRead(RecordStore &store, int records)
{
    QString error;
    const auto read = store.read({}, &error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->size(), records);
    QSet<QString> seen;
    for (const JobRecord &record : *read)
        seen.insert(record.port + u'/' + record.board);
    QCOMPARE(seen.size(), records);
}

// Each job once, as it ended; a "started" record alone is an unfinished job,
// and an old record with no job id a job of its own.
inline void checkUnfinishedJobs(const StoreAddress &address)
{
    makeSchema(address);
    RecordStore store(address);
    QString error;
    // A run's plan stands for a board until its job begins: d never began,
    // e was given up on (its plan and its end both "not tried").
    for (const QString jobAt : {"a:planned:10", "a:started:10", "b:planned:11", "b:started:11",
                                "c:started:12", "a:done:10", "c:failed:12", ":started:09",
                                "d:planned:13", "e:planned:14", "e:not tried:14"}) {
        const QStringList part = jobAt.split(':');
        const bool planned = part[1] == "planned";
        JobRecord record = boardAt(part[0], "COM5", planned ? "not tried" : part[1],
                                   "2026-12-09T" + part[2] + ":00Z");
        record.jobId = part[0];
        if (planned)
            record.recordId = plannedRecordIdOf(part[0]);
        QVERIFY2(store.write(record, &error), qPrintable(error));
    }
    for (const bool failedOnly : {false, true}) {
        const auto read = store.read(filterOf("", "COM5", failedOnly), &error);
        QVERIFY2(read, qPrintable(error));
        QStringList jobs;
        for (const JobRecord &record : *read)
            jobs << record.board + u':' + record.result;
        QCOMPARE(jobs.join(' '),
                 QString(failedOnly
                             ? "e:not tried d:not tried c:failed b:started :started"
                             : "e:not tried d:not tried c:failed b:started a:done :started"));
    }
}

// A connection of the test's own to a store, open while it lives.
class OwnConnection {
public:
    explicit OwnConnection(const StoreAddress &address)
    {
        const bool sqlite = address.kind == StoreAddress::Kind::Sqlite;
        m_db = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", "test-own");
        m_db.setDatabaseName(sqlite ? address.path : address.database);
        m_db.setHostName(address.host);
        m_db.setPort(address.port);
        m_db.setUserName(address.user);
    }
    ~OwnConnection()
    {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase("test-own");
    }
    // What failed, or an empty text.
    QString exec(const QStringList &statements)
    {
        QSqlQuery query(m_db);
        for (const QString &statement : statements) {
            if (!m_db.isOpen() && !m_db.open())
                return m_db.lastError().text();
            if (!query.exec(statement))
                return statement + ": " + query.lastError().text();
        }
        return {};
    }

private:
    QSqlDatabase m_db;
};

inline QString execOn(const StoreAddress &address, const QStringList &statements)
{
    return OwnConnection(address).exec(statements);
}

// The stores of earlier Bootlines, as their code made them, with two
// records: the first (table jobs, no version) and the second (no runs, tags,
// traces or record ids).
inline QStringList oldStoreStatements(StoreAddress::Kind kind, int version)
{
    const bool sqlite = kind == StoreAddress::Kind::Sqlite;
    const QString time = sqlite ? QStringLiteral("TEXT") : QStringLiteral("TIMESTAMPTZ");
    const QString text = QStringLiteral("TEXT NOT NULL");
    const QString number = QStringLiteral("INTEGER NOT NULL");
    const QString table = version == 0 ? "jobs" : "bootline_jobs";
    const QString create =
        QStringLiteral("CREATE TABLE %6 ("
                       "id %1, started %2, ended %2, seconds %3, face %4, host %4, port %4, "
                       "board %4, version %4, file %4, sha256 %4, file_lines %5, lines %5, "
                       "pace %4, resends %5, result %4, exit_code %5, error %4, reply %4%7)")
            .arg(sqlite ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                        : QStringLiteral("BIGSERIAL PRIMARY KEY"),
                 time,
                 sqlite ? QStringLiteral("REAL NOT NULL")
                        : QStringLiteral("DOUBLE PRECISION NOT NULL"),
                 text, number, table, version == 0 ? "" : ", job_id TEXT NOT NULL");
    const QString row =
        QString("INSERT INTO %1 (started, ended, seconds, face, host, port, board, version, file, "
                "sha256, file_lines, lines, pace, resends, result, exit_code, error, reply%2) "
                "VALUES ")
            .arg(table, version == 0 ? "" : ", job_id") +
        "('2026-11-30T08:0%1:00.000Z', '2026-11-30T08:0%1:02.000Z', 2, 'cli', 'bench1', "
        "'COM3', '%1', 'VER=0.9', '/fw/old.hex', '', 10, 20, 'poll', 0, '%2', %3, '%4', ''" +
        (version == 0 ? ")" : ", 'job-%1')");
    QStringList statements{create, QString("CREATE INDEX %1_by_start ON %1 (started)").arg(table),
                           row.arg("1", "done", "0", ""),
                           row.arg("2", "failed", "4", "no reply to line 7")};
    if (version == 1)
        statements << (sqlite ? QStringList{"PRAGMA user_version = 1"}
                              : QStringList{"CREATE TABLE bootline_schema (version INTEGER)",
                                            "INSERT INTO bootline_schema VALUES (1)"});
    return statements;
}

inline void addOldStoreRows()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QStringList>("jobIds"); // of its two records, as read back
    QTest::newRow("first") << 0 << QStringList{"", ""};
    QTest::newRow("second") << 1 << QStringList{"job-2", "job-1"};
}

// A store of an earlier Bootline is brought up to date: by a write on
// SQLite, by createSchema() alone on PostgreSQL, which reads it as it is till
// then. Its records stay, each with an id of its own, and a first table goes.
inline void checkOldStoreBroughtUp(const StoreAddress &address)
{
    QFETCH(int, version);
    QFETCH(QStringList, jobIds);

    const bool sqlite = address.kind == StoreAddress::Kind::Sqlite;
    QCOMPARE(execOn(address, oldStoreStatements(address.kind, version)), QString());
    RecordStore store(address);
    QString error;
    if (!sqlite) {
        const auto before = store.read({}, &error);
        QVERIFY2(before && before->size() == 2, qPrintable(error));
        QVERIFY(!store.write(sampleRecord(), &error));
        QVERIFY2(error.contains("run bootline-cli --create-store --log " + address.describe()),
                 qPrintable(error));
        QVERIFY2(store.createSchema(&error), qPrintable(error));
    }
    JobRecord added = sampleRecord();
    added.recordId = "new-1";
    added.tags = {{"serial", "SN-9"}};
    // Twice: the second is the same record, left out.
    QVERIFY2(store.write(added, &error) && store.write(added, &error), qPrintable(error));
    const auto read = store.read({}, &error);
    QVERIFY2(read, qPrintable(error));
    QStringList records;
    for (const JobRecord &record : *read)
        records << QStringList{record.board,
                               record.error,
                               record.jobId,
                               record.recordId,
                               QString::number(record.attempt),
                               record.tags.value("serial", "-"),
                               record.portKind}
                       .join(u':');
    QCOMPARE(records, (QStringList{"5:::new-1:1:SN-9:local",
                                   "2:no reply to line 7:" + jobIds[0] + ":row-2:1:-:local",
                                   "1::" + jobIds[1] + ":row-1:1:-:local"}));
    if (version == 0)
        QVERIFY(!execOn(address, {"SELECT 1 FROM jobs"}).isEmpty());
}

// A store of the third schema lacks only indexes: it takes
// records as it is, and gets them by a write on SQLite, by createSchema()
// on PostgreSQL.
inline void checkIndexesAdded(const StoreAddress &address)
{
    const bool sqlite = address.kind == StoreAddress::Kind::Sqlite;
    makeSchema(address);
    JobRecord record = sampleRecord();
    QString error;
    QVERIFY2(RecordStore(address).write(record, &error), qPrintable(error));
    QStringList indexes;
    for (const char *column : {"port", "board", "result", "sha256", "job_result"})
        indexes << QStringLiteral("DROP INDEX bootline_jobs_by_%1").arg(column);
    QCOMPARE(execOn(address, QStringList(indexes)
                                 << (sqlite ? "PRAGMA user_version = 3"
                                            : "UPDATE bootline_schema SET version = 3")),
             QString());
    RecordStore store(address);
    record.recordId = "after-1";
    QVERIFY2(store.write(record, &error), qPrintable(error));
    if (!sqlite)
        QVERIFY2(store.createSchema(&error), qPrintable(error));
    QCOMPARE(store.read({}, &error)->size(), 2);
    QCOMPARE(execOn(address, indexes), QString()); // each was there to drop
}
