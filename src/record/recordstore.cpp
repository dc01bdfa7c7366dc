#include "record/recordstore.h"

#include "record/recordcolumns.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <atomic>

namespace {

const QString Table = QStringLiteral("bootline_jobs");
// Before the schema had a version: user_version 0 and this table.
const QString OldTable = QStringLiteral("jobs");
const QStringList OldColumns{"id",     "started",    "ended", "seconds", "face",
                             "host",   "port",       "board", "version", "file",
                             "sha256", "file_lines", "lines", "pace",    "resends",
                             "result", "exit_code",  "error", "reply"};

bool isSqlite(StoreAddress::Kind kind)
{
    return kind == StoreAddress::Kind::Sqlite;
}

QString versionStatement(StoreAddress::Kind kind)
{
    return isSqlite(kind)
               ? QStringLiteral("PRAGMA user_version = %1").arg(RecordStore::SchemaVersion)
               : QStringLiteral("INSERT INTO bootline_schema (version) VALUES (%1)")
                     .arg(RecordStore::SchemaVersion);
}

// The indexes of the second schema: a record is in once, and a run's jobs
// are found quickly.
QStringList secondSchemaIndexes()
{
    return {QStringLiteral("CREATE UNIQUE INDEX %1_by_record ON %1 (record_id)").arg(Table),
            QStringLiteral("CREATE INDEX %1_by_run ON %1 (run_id)").arg(Table)};
}

QStringList createStatements(StoreAddress::Kind kind)
{
    QStringList columns{isSqlite(kind) ? QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")
                                       : QStringLiteral("id BIGSERIAL PRIMARY KEY")};
    for (const RecordColumn &column : recordColumns())
        columns << column.name + u' ' + (isSqlite(kind) ? column.sqliteType : column.postgresType);
    QStringList statements{
        QStringLiteral("CREATE TABLE %1 (%2)").arg(Table, columns.join(QStringLiteral(", "))),
        QStringLiteral("CREATE INDEX %1_by_start ON %1 (started)").arg(Table),
        // Keeps the look for a later record of the same job quick.
        QStringLiteral("CREATE INDEX %1_by_job ON %1 (job_id)").arg(Table)};
    statements << secondSchemaIndexes();
    if (!isSqlite(kind))
        statements << QStringLiteral("CREATE TABLE bootline_schema (version INTEGER NOT NULL)");
    return statements << versionStatement(kind);
}

// A table of an earlier schema version, given the columns that came since,
// each as the rows before it had it.
QStringList addedColumnStatements(StoreAddress::Kind kind, int version)
{
    QStringList statements;
    for (const RecordColumn &column : recordColumns()) {
        if (column.since <= version)
            continue;
        const QString type = isSqlite(kind) ? column.sqliteType : column.postgresType;
        const bool perRow = column.before.contains(QStringLiteral("%1"));
        statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3 DEFAULT %4")
                          .arg(Table, column.name, type,
                               perRow ? QStringLiteral("''") : column.before);
        if (perRow)
            statements << QStringLiteral("UPDATE %1 SET %2 = %3")
                              .arg(Table, column.name, column.beforeValue(QStringLiteral("id")));
    }
    if (version < 2)
        statements << secondSchemaIndexes();
    return statements << versionStatement(kind);
}

// The old table's records, in their order, each column it lacks as the
// rows before it had it.
QString copyOldStatement()
{
    QStringList columns;
    QStringList values;
    for (const RecordColumn &column : recordColumns()) {
        columns << column.name;
        values << (OldColumns.contains(column.name) ? column.name
                                                    : column.beforeValue(QStringLiteral("id")));
    }
    return QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM %4 ORDER BY id")
        .arg(Table, columns.join(u','), values.join(u','), OldTable);
}

// A column as read from a store of the given schema version.
QString selectedColumn(StoreAddress::Kind kind, const RecordColumn &column, int version)
{
    if (column.since > version)
        return column.beforeValue(QStringLiteral("r.id"));
    if (column.kind != RecordColumn::Kind::Time || isSqlite(kind))
        return QStringLiteral("r.") + column.name;
    return QStringLiteral("to_char(r.%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
        .arg(column.name);
}

QString driverFor(StoreAddress::Kind kind)
{
    return isSqlite(kind) ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

QString missingDriver(StoreAddress::Kind kind)
{
    return isSqlite(kind)
               ? QStringLiteral("Qt's SQLite driver is missing: install libqt6sql6-sqlite")
               : QStringLiteral("Qt's PostgreSQL driver is missing: install libqt6sql6-psql");
}

QString errorText(const QSqlError &error)
{
    return error.text().trimmed();
}

// As libpq reads a value in its connection string; Qt's driver turns every
// ';' into a space, so a value cannot hold one.
QString conninfoValue(QString value)
{
    value.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + value + u'\'';
}

bool hasTags(const JobRecord &record, const RecordTags &tags)
{
    for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
        const auto given = record.tags.constFind(tag.key());
        if (given == record.tags.constEnd() || *given != tag.value())
            return false;
    }
    return true;
}

} // namespace

// What a store holds, as far as this program cares.
struct RecordStore::Schema {
    int version = 0;
    bool hasTable = false;    // bootline_jobs
    bool hasOldTable = false; // jobs, with exactly the columns it was made with
};

RecordStore::RecordStore(StoreAddress address, int timeoutMs)
    : m_address(std::move(address)), m_timeoutMs(timeoutMs)
{
    static std::atomic<int> stores = 0; // stores may be made on several threads
    m_connection = QStringLiteral("bootline-record-%1").arg(++stores);
}

RecordStore::~RecordStore()
{
    for (const Access access : {Access::Read, Access::Write}) {
        const QString name = connectionName(access);
        if (!QSqlDatabase::contains(name))
            continue;
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

QString RecordStore::connectionName(Access access) const
{
    return access == Access::Read ? m_connection + QStringLiteral("-read") : m_connection;
}

QString RecordStore::failure(const QString &what, const QString &driverText) const
{
    return QStringLiteral("could not %1 the record store %2: %3")
        .arg(what, m_address.describe(), driverText);
}

bool RecordStore::open(Access access, QString *error)
{
    const QString driver = driverFor(m_address.kind);
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = failure(QStringLiteral("open"), missingDriver(m_address.kind));
        return false;
    }
    const QString name = connectionName(access);
    if (!QSqlDatabase::contains(name))
        QSqlDatabase::addDatabase(driver, name);
    QSqlDatabase db = QSqlDatabase::database(name, false);

    if (isSqlite(m_address.kind)) {
        if (access == Access::Read)
            return openSqliteForRead(error);
        const QString folder = QFileInfo(m_address.path).absolutePath();
        if (!QDir().mkpath(folder)) {
            *error = failure(QStringLiteral("open"),
                             QStringLiteral("its folder %1 cannot be made").arg(folder));
            return false;
        }
        db.setDatabaseName(m_address.path);
        // Other processes may be writing: wait for them rather than fail.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_timeoutMs));
    } else {
        db.setHostName(m_address.host);
        db.setPort(m_address.port);
        db.setUserName(m_address.user);
        db.setPassword(m_address.password);
        db.setDatabaseName(m_address.database);
        QStringList options;
        const bool timeoutGiven =
            std::any_of(m_address.parameters.begin(), m_address.parameters.end(),
                        [](const auto &parameter) { return parameter.first == "connect_timeout"; });
        // libpq's least: 1 is taken as 2.
        if (!timeoutGiven)
            options << QStringLiteral("connect_timeout=%1")
                           .arg(std::max(2, (m_timeoutMs + 999) / 1000));
        // The address refuses a ';' in them: Qt's driver splits there.
        for (const auto &[key, value] : m_address.parameters)
            options << key + u'=' + conninfoValue(value);
        db.setConnectOptions(options.join(u';'));
    }
    if (!db.open()) {
        *error = failure(QStringLiteral("open"), errorText(db.lastError()));
        return false;
    }
    if (m_address.kind == StoreAddress::Kind::Postgres) {
        // libpq prints the server's notices on standard error, in the middle
        // of our own output.
        QSqlQuery setup(db);
        for (const QString &statement :
             {QStringLiteral("SET client_min_messages TO warning"),
              QStringLiteral("SET statement_timeout = %1").arg(m_timeoutMs)}) {
            if (!setup.exec(statement)) {
                *error = failure(QStringLiteral("open"), errorText(setup.lastError()));
                db.close();
                return false;
            }
        }
    }
    return true;
}

// Read-only, with no journal switch and no table made. A WAL store whose
// folder we may not write cannot get its shared-memory file, and SQLite
// refuses it. With no such file there, no one has the store open (the last
// to close removes it): then it is read as a file nobody changes.
bool RecordStore::openSqliteForRead(QString *error)
{
    if (!QFileInfo::exists(m_address.path)) {
        *error = failure(QStringLiteral("read"),
                         QStringLiteral("it does not exist: no job has been recorded there"));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(connectionName(Access::Read), false);
    const QString options =
        QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1;QSQLITE_OPEN_READONLY").arg(m_timeoutMs);
    db.setDatabaseName(m_address.path);
    db.setConnectOptions(options);
    QSqlQuery probe(db);
    if (db.open() && probe.exec(QStringLiteral("PRAGMA user_version")))
        return true;
    QString driverText = errorText(db.isOpen() ? probe.lastError() : db.lastError());
    probe = QSqlQuery();
    db.close();
    if (!QFileInfo(QFileInfo(m_address.path).absolutePath()).isWritable() &&
        !QFileInfo::exists(m_address.path + QStringLiteral("-shm"))) {
        db.setDatabaseName(
            QStringLiteral("file:%1?immutable=1")
                .arg(QString::fromLatin1(QUrl::toPercentEncoding(m_address.path, "/"))));
        db.setConnectOptions(options + QStringLiteral(";QSQLITE_OPEN_URI"));
        QSqlQuery again(db);
        if (db.open() && again.exec(QStringLiteral("PRAGMA user_version")))
            return true;
        driverText = errorText(db.isOpen() ? again.lastError() : db.lastError());
        db.close();
    }
    *error = failure(QStringLiteral("read"), driverText);
    return false;
}

std::optional<RecordStore::Schema> RecordStore::inspect(Access access, QString *error)
{
    const QString what =
        access == Access::Read ? QStringLiteral("read") : QStringLiteral("write to");
    QSqlQuery query(QSqlDatabase::database(connectionName(access), false));
    auto failed = [&] {
        *error = failure(what, errorText(query.lastError()));
        return std::nullopt;
    };
    Schema schema;
    QStringList oldColumns;
    if (isSqlite(m_address.kind)) {
        if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
            return failed();
        schema.version = query.value(0).toInt();
        if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
            return failed();
        QStringList tables;
        while (query.next())
            tables << query.value(0).toString();
        if (query.lastError().isValid())
            return failed();
        schema.hasTable = tables.contains(Table);
        if (tables.contains(OldTable)) {
            if (!query.exec(
                    QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(OldTable)))
                return failed();
            while (query.next())
                oldColumns << query.value(0).toString();
        }
    } else {
        // to_regclass and pg_attribute need no rights on the tables.
        if (!query.exec(QStringLiteral("SELECT to_regclass('%1') IS NOT NULL, "
                                       "to_regclass('bootline_schema') IS NOT NULL, "
                                       "to_regclass('%2') IS NOT NULL")
                            .arg(Table, OldTable)) ||
            !query.next())
            return failed();
        schema.hasTable = query.value(0).toBool();
        const bool hasVersion = query.value(1).toBool();
        const bool hasOld = query.value(2).toBool();
        if (hasVersion) {
            if (!query.exec(
                    QStringLiteral("SELECT COALESCE(MAX(version), 0) FROM bootline_schema")) ||
                !query.next())
                return failed();
            schema.version = query.value(0).toInt();
        }
        if (hasOld) {
            if (!query.exec(QStringLiteral("SELECT attname FROM pg_attribute WHERE attrelid = "
                                           "'%1'::regclass AND attnum > 0 AND NOT attisdropped")
                                .arg(OldTable)))
                return failed();
            while (query.next())
                oldColumns << query.value(0).toString();
        }
    }
    QStringList expected = OldColumns;
    expected.sort();
    oldColumns.sort();
    schema.hasOldTable = oldColumns == expected;
    return schema;
}

bool RecordStore::tooNew(const Schema &schema, const QString &what, QString *error) const
{
    if (schema.version <= SchemaVersion)
        return false;
    *error = failure(what, QStringLiteral("it is of schema version %1, newer than this Bootline "
                                          "knows (%2): update Bootline")
                               .arg(schema.version)
                               .arg(SchemaVersion));
    return true;
}

// Opens the store for writing and checks its schema, once; again after a
// failure, so that a store that comes back is used again.
bool RecordStore::prepare(QString *error)
{
    if (m_ready)
        return true;
    const QString name = connectionName(Access::Write);
    m_ready = open(Access::Write, error);
    if (m_ready && isSqlite(m_address.kind)) {
        // Readers and a writer at once, and writers queue instead of locking
        // out the readers. The mode stays with the file. SQLite does not wait
        // for a file that another connection is opening or switching at this
        // moment: then the file is left as it is, the record goes in anyway,
        // and a later opening switches it.
        QSqlQuery(QSqlDatabase::database(name, false))
            .exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    }
    if (m_ready) {
        const std::optional<Schema> schema = inspect(Access::Write, error);
        m_ready = schema && !tooNew(*schema, QStringLiteral("write to"), error);
        if (m_ready && schema->version < SchemaVersion) {
            if (isSqlite(m_address.kind)) {
                m_ready = upgrade(error);
            } else {
                // A bench's role may only add records: the schema is made
                // once, on purpose, by one that may create tables.
                *error = failure(
                    QStringLiteral("write to"),
                    QStringLiteral("%1: run bootline-cli --create-store --log %2 as a role that "
                                   "may create tables")
                        .arg(schema->hasOldTable
                                 ? QStringLiteral("its tables are of an older Bootline")
                                 : QStringLiteral("it has no table %1 yet").arg(Table),
                             m_address.describe()));
                m_ready = false;
            }
        }
    }
    if (!m_ready && QSqlDatabase::contains(name))
        QSqlDatabase::database(name, false).close();
    return m_ready;
}

// Makes the table, and moves the records of an old table into it, in one
// transaction that also marks the version: a store is either as it was or
// whole. Writers that race here queue on the transaction, and all but the
// first find the work done.
bool RecordStore::upgrade(QString *error)
{
    QSqlQuery query(QSqlDatabase::database(connectionName(Access::Write), false));
    const QString what = QStringLiteral("bring up to date");
    const bool sqlite = isSqlite(m_address.kind);
    if (!query.exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"))) {
        *error = failure(what, errorText(query.lastError()));
        return false;
    }
    auto rollBack = [&](const QString &why) {
        if (!why.isEmpty())
            *error = failure(what, why);
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    if (!sqlite &&
        !query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('%1'))").arg(Table)))
        return rollBack(errorText(query.lastError()));
    // Looked at again inside the transaction: another writer may have done it.
    const std::optional<Schema> schema = inspect(Access::Write, error);
    if (!schema || tooNew(*schema, what, error))
        return rollBack({}); // the error says why already
    QStringList statements;
    if (schema->version >= 1 && schema->hasTable) {
        statements = addedColumnStatements(m_address.kind, schema->version);
    } else if (schema->version < SchemaVersion) {
        statements = createStatements(m_address.kind);
        if (schema->hasOldTable)
            statements << copyOldStatement() << QStringLiteral("DROP TABLE %1").arg(OldTable);
    }
    for (const QString &statement : statements + QStringList{QStringLiteral("COMMIT")}) {
        if (!query.exec(statement))
            return rollBack(errorText(query.lastError()));
    }
    return true;
}

bool RecordStore::createSchema(QString *error)
{
    if (m_address.kind == StoreAddress::Kind::None)
        return true;
    if (isSqlite(m_address.kind))
        return prepare(error);
    m_ready = open(Access::Write, error) && upgrade(error);
    return m_ready;
}

bool RecordStore::write(const JobRecord &record, QString *error, bool *added)
{
    if (added)
        *added = false;
    if (m_address.kind == StoreAddress::Kind::None)
        return true;
    if (!prepare(error))
        return false;
    QSqlQuery query(QSqlDatabase::database(connectionName(Access::Write), false));
    QStringList names;
    for (const RecordColumn &column : recordColumns())
        names << column.name;
    const QString placeholders = QStringList(names.size(), QStringLiteral("?")).join(u',');
    // A statement that cannot be prepared (PostgreSQL's statement timeout
    // on a held table) would run unprepared, and fail on its "?" instead.
    const bool prepared =
        query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT "
                                     "DO NOTHING")
                          .arg(Table, names.join(u','), placeholders));
    JobRecord identified = record;
    // A record made by hand, with no id: a new one, never taken for another.
    if (identified.recordId.isEmpty())
        identified.recordId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    for (const RecordColumn &column : recordColumns())
        query.addBindValue(column.sqlValue(identified));
    if (!prepared || !query.exec()) {
        *error = failure(QStringLiteral("write to"), errorText(query.lastError()));
        m_ready = false; // a lost connection is opened afresh next time
        return false;
    }
    // ON CONFLICT DO NOTHING: no row when the id was there already.
    if (added)
        *added = query.numRowsAffected() > 0;
    return true;
}

void RecordStore::limitWaits(int timeoutMs)
{
    if (timeoutMs == m_timeoutMs)
        return;
    m_timeoutMs = timeoutMs;
    if (!m_ready)
        return; // taken when the store is opened
    QSqlQuery query(QSqlDatabase::database(connectionName(Access::Write), false));
    const QString statement = m_address.kind == StoreAddress::Kind::Sqlite
                                  ? QStringLiteral("PRAGMA busy_timeout = %1")
                                  : QStringLiteral("SET statement_timeout = %1");
    if (!query.exec(statement.arg(timeoutMs)))
        m_ready = false; // opened afresh, with the new limit
}

std::optional<QList<JobRecord>> RecordStore::read(const HistoryFilter &filter, QString *error)
{
    QList<JobRecord> records;
    if (!readEach(
            filter, [&records](const JobRecord &record) { records.append(record); }, error))
        return std::nullopt;
    return records;
}

bool RecordStore::readEach(const HistoryFilter &filter,
                           const std::function<void(const JobRecord &)> &each, QString *error)
{
    if (m_address.kind == StoreAddress::Kind::None)
        return true;
    const QString name = connectionName(Access::Read);
    // Not kept open: another process's write is not held up by a reader.
    struct Closer {
        QString name;
        ~Closer()
        {
            if (QSqlDatabase::contains(name))
                QSqlDatabase::database(name, false).close();
        }
    } closer{name};
    if (!open(Access::Read, error))
        return false;
    const std::optional<Schema> schema = inspect(Access::Read, error);
    if (!schema || tooNew(*schema, QStringLiteral("read"), error))
        return false;
    const bool current = schema->hasTable;
    const int version = current ? schema->version : 0;
    if (!current && !schema->hasOldTable) {
        *error = failure(QStringLiteral("read"),
                         isSqlite(m_address.kind)
                             ? QStringLiteral("it holds no table of job records: no job has been "
                                              "recorded there, or it is not a Bootline store")
                             : QStringLiteral("it has no table %1 yet: run bootline-cli "
                                              "--create-store --log %2 as a role that may create "
                                              "tables")
                                   .arg(Table, m_address.describe()));
        return false;
    }

    QStringList selected;
    for (const RecordColumn &column : recordColumns())
        selected << selectedColumn(m_address.kind, column, version);
    const QString table = current ? Table : OldTable;
    QStringList conditions;
    QVariantList values;
    if (current && version >= 2) {
        // A job's end record stands over its "started" record, and that over
        // the run's plan, whichever was written first: a plan alone is a
        // board never begun, a start alone an unfinished job.
        conditions << QStringLiteral(
                          "((r.result <> 'started' AND r.record_id NOT LIKE '%/planned') OR "
                          "r.job_id = '' OR NOT EXISTS (SELECT 1 FROM %1 AS later WHERE "
                          "later.job_id = r.job_id AND ((later.result <> 'started' AND "
                          "later.record_id NOT LIKE '%/planned') OR (later.result = 'started' "
                          "AND r.record_id LIKE '%/planned'))))")
                          .arg(table);
    } else if (current) {
        conditions << QStringLiteral("(r.result <> 'started' OR r.job_id = '' OR NOT EXISTS "
                                     "(SELECT 1 FROM %1 AS ended WHERE ended.job_id = r.job_id "
                                     "AND ended.result <> 'started'))")
                          .arg(table);
    }
    if (filter.since.isValid()) {
        conditions << QStringLiteral("r.started >= ?");
        values << recordTimeText(filter.since);
    }
    if (filter.until.isValid()) {
        conditions << QStringLiteral("r.started < ?");
        values << recordTimeText(filter.until);
    }
    const std::pair<QString, QString> exact[] = {{QStringLiteral("port"), filter.port},
                                                 {QStringLiteral("board"), filter.board},
                                                 {QStringLiteral("run_id"), filter.runId}};
    for (const auto &[column, value] : exact) {
        if (value.isEmpty())
            continue;
        // A store of a schema before run ids has no run to match.
        conditions << (column == QStringLiteral("run_id") && version < 2
                           ? QStringLiteral("'' = ?")
                           : QStringLiteral("r.%1 = ?").arg(column));
        values << value;
    }
    if (!filter.sha256Prefix.isEmpty()) {
        conditions << QStringLiteral("substr(r.sha256, 1, %1) = ?").arg(filter.sha256Prefix.size());
        values << filter.sha256Prefix.toLower();
    }
    if (filter.failedOnly) {
        conditions << QStringLiteral("r.result <> ?");
        values << QStringLiteral("done");
    }
    QString sql = QStringLiteral("SELECT %1 FROM %2 AS r").arg(selected.join(u','), table);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY r.started DESC NULLS LAST, r.id DESC");
    // Tags are picked out below, so the limit is too when there are any.
    if (filter.limit > 0 && filter.tags.isEmpty())
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);

    QSqlQuery query(QSqlDatabase::database(name, false));
    query.setForwardOnly(true);
    const bool prepared = query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!prepared || !query.exec()) {
        *error = failure(QStringLiteral("read"), errorText(query.lastError()));
        return false;
    }
    int handedOn = 0;
    while ((filter.limit <= 0 || handedOn < filter.limit) && query.next()) {
        JobRecord record;
        for (qsizetype i = 0; i < recordColumns().size(); ++i)
            recordColumns().at(i).set(record, query.value(int(i)));
        if (hasTags(record, filter.tags)) {
            each(record);
            ++handedOn;
        }
    }
    // A damaged page ends the rows early: never a short list as if whole.
    if (query.lastError().isValid()) {
        *error = failure(QStringLiteral("read"), errorText(query.lastError()));
        return false;
    }
    return true;
}
