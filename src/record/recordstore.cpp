#include "record/recordstore.h"

#include "record/historyquery.h"
#include "record/recordcolumns.h"
#include "record/storefailure.h"
#include "record/storeschema.h"
#include "shared/makefolder.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
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

// A row of the summary's statement.
SummaryRow summaryRowOf(const QSqlQuery &row)
{
    const auto seconds = [&row](int column) {
        return row.isNull(column) ? std::nullopt : std::optional(row.value(column).toDouble());
    };
    const int boards = row.value(1).toInt();
    const int done = row.value(2).toInt();
    return {.group = row.value(0).toString(),
            .boards = boards,
            .done = done,
            .failed = boards - done,
            .firstPass = row.value(3).toInt(),
            .medianSeconds = seconds(4),
            .p95Seconds = seconds(5)};
}

} // namespace

RecordStore::RecordStore(StoreAddress address, int timeoutMs)
    : m_address(std::move(address)), m_dialect(sqlDialect(m_address.kind)), m_timeoutMs(timeoutMs)
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
    return storeFailure(what, m_address, driverText);
}

bool RecordStore::open(Access access, QString *error)
{
    const QString driver = m_dialect.driver;
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = failure(QStringLiteral("open"), m_dialect.missingDriver);
        return false;
    }
    const QString name = connectionName(access);
    if (!QSqlDatabase::contains(name))
        QSqlDatabase::addDatabase(driver, name);
    QSqlDatabase db = QSqlDatabase::database(name, false);

    if (m_dialect.isSqlite) {
        if (access == Access::Read)
            return openSqliteForRead(error);
        const QString folder = QFileInfo(m_address.path).absolutePath();
        if (const QString reason = makeFolder(folder); !reason.isEmpty()) {
            *error =
                failure(QStringLiteral("open"),
                        QStringLiteral("its folder %1 cannot be made (%2)").arg(folder, reason));
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
        // of our own output. A write is done at once or waits too long; a
        // read streams for as long as there are rows, so only its wait for
        // a lock (an upgrade under way) is limited.
        const QString limit = access == Access::Read ? QStringLiteral("SET lock_timeout = %1")
                                                     : QStringLiteral("SET statement_timeout = %1");
        QSqlQuery setup(db);
        for (const QString &statement :
             {QStringLiteral("SET client_min_messages TO warning"), limit.arg(m_timeoutMs)}) {
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

std::optional<StoreSchema> RecordStore::inspect(Access access, QString *error)
{
    QSqlQuery query(QSqlDatabase::database(connectionName(access), false));
    QString driverText;
    std::optional<StoreSchema> schema = inspectSchema(query, m_dialect, &driverText);
    if (!schema)
        *error =
            failure(access == Access::Read ? QStringLiteral("read") : QStringLiteral("write to"),
                    driverText);
    return schema;
}

bool RecordStore::tooNew(const StoreSchema &schema, const QString &what, QString *error) const
{
    if (schema.version <= StoreSchemaVersion)
        return false;
    *error = failure(what, QStringLiteral("it is of schema version %1, newer than this Bootline "
                                          "knows (%2): update Bootline")
                               .arg(schema.version)
                               .arg(StoreSchemaVersion));
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
    if (m_ready && m_dialect.isSqlite) {
        // Readers and a writer at once, and writers queue instead of locking
        // out the readers. The mode stays with the file. SQLite does not wait
        // for a file that another connection is opening or switching at this
        // moment: then the file is left as it is, the record goes in anyway,
        // and a later opening switches it.
        QSqlQuery(QSqlDatabase::database(name, false))
            .exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    }
    if (m_ready) {
        const std::optional<StoreSchema> schema = inspect(Access::Write, error);
        m_ready = schema && !tooNew(*schema, QStringLiteral("write to"), error);
        // A PostgreSQL store takes today's records from the version that
        // brought their last column; later ones only add indexes.
        const int takesRecords = m_dialect.isSqlite ? StoreSchemaVersion : WritableSchemaVersion;
        if (m_ready && schema->version < takesRecords) {
            if (m_dialect.isSqlite) {
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
                                 : QStringLiteral("it has no table %1 yet").arg(JobsTable),
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
    if (!query.exec(m_dialect.beginWrite)) {
        *error = failure(what, errorText(query.lastError()));
        return false;
    }
    auto rollBack = [&](const QString &why) {
        if (!why.isEmpty())
            *error = failure(what, why);
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    if (!m_dialect.upgradeLock.isEmpty() && !query.exec(m_dialect.upgradeLock))
        return rollBack(errorText(query.lastError()));
    // Looked at again inside the transaction: another writer may have done it.
    const std::optional<StoreSchema> schema = inspect(Access::Write, error);
    if (!schema || tooNew(*schema, what, error))
        return rollBack({}); // the error says why already
    const QStringList statements = upgradeStatements(*schema, m_dialect);
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
    if (m_dialect.isSqlite)
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
                          .arg(JobsTable, names.join(u','), placeholders));
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
    return readRows({recordsStep(filter, each)}, error);
}

bool RecordStore::readEachWithTagKeys(const HistoryFilter &filter,
                                      const std::function<void(const QStringList &)> &keys,
                                      const std::function<void(const JobRecord &)> &each,
                                      QString *error)
{
    QStringList found;
    ReadStep records = recordsStep(filter, each);
    const ReadStep tagKeys{[&filter](const SqlDialect &dialect, int version) {
                               return tagKeysQuery(filter, dialect, version);
                           },
                           [&found](const QSqlQuery &row) { found << row.value(0).toString(); }};
    // The keys are handed on once they are all read, before the first record.
    records.statement = [&found, &keys, makeRecords = records.statement](const SqlDialect &dialect,
                                                                         int version) {
        keys(found);
        return makeRecords(dialect, version);
    };
    return readRows({tagKeys, records}, error);
}

RecordStore::ReadStep RecordStore::recordsStep(const HistoryFilter &filter,
                                               const std::function<void(const JobRecord &)> &each)
{
    return {[&filter](const SqlDialect &dialect, int version) {
                return historyQuery(filter, dialect, version);
            },
            [&each](const QSqlQuery &row) {
                JobRecord record;
                for (qsizetype i = 0; i < recordColumns().size(); ++i)
                    recordColumns().at(i).set(record, row.value(int(i)));
                each(record);
            }};
}

std::optional<HistorySummary> RecordStore::summarize(const HistoryFilter &filter, const QString &by,
                                                     QString *error)
{
    QMap<QString, SummaryRow> groups; // sorted by name
    SummaryRow whole;
    const ReadStep summed{[&](const SqlDialect &dialect, int version) {
                              return summaryQuery(filter, by, dialect, version);
                          },
                          [&](const QSqlQuery &row) {
                              const SummaryRow group = summaryRowOf(row);
                              if (row.isNull(0))
                                  whole = group;
                              else
                                  groups.insert(group.group, group);
                          }};
    if (!readRows({summed}, error))
        return std::nullopt;
    whole.group = QStringLiteral("all");
    HistorySummary summary{
        .by = by, .groups = by.isEmpty() ? QList{whole} : groups.values(), .total = whole};
    summary.total.group = QStringLiteral("total");
    return summary;
}

bool RecordStore::readRows(const QList<ReadStep> &steps, QString *error)
{
    if (m_address.kind == StoreAddress::Kind::None)
        return true;
    const QString name = connectionName(Access::Read);
    // Not kept open: another process's write is not held up by a reader.
    // Closing ends the transaction, which wrote nothing.
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
    const std::optional<StoreSchema> schema = inspect(Access::Read, error);
    if (!schema || tooNew(*schema, QStringLiteral("read"), error))
        return false;
    if (!schema->hasTable && !schema->hasOldTable) {
        *error = failure(QStringLiteral("read"),
                         m_dialect.isSqlite
                             ? QStringLiteral("it holds no table of job records: no job has been "
                                              "recorded there, or it is not a Bootline store")
                             : QStringLiteral("it has no table %1 yet: run bootline-cli "
                                              "--create-store --log %2 as a role that may create "
                                              "tables")
                                   .arg(JobsTable, m_address.describe()));
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(name, false));
    const auto failed = [&] {
        *error = failure(QStringLiteral("read"), errorText(query.lastError()));
        return false;
    };
    if (steps.size() > 1 && !query.exec(m_dialect.beginRead))
        return failed();
    for (const ReadStep &step : steps) {
        const BoundStatement bound =
            step.statement(m_dialect, schema->hasTable ? schema->version : 0);
        query.setForwardOnly(true);
        const bool prepared = query.prepare(bound.sql);
        for (const QVariant &value : bound.values)
            query.addBindValue(value);
        if (!prepared || !query.exec())
            return failed();
        while (query.next())
            step.each(query);
        // A damaged page ends the rows early: never a short list as if whole.
        if (query.lastError().isValid())
            return failed();
    }
    return true;
}
