#include "record/recordstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <atomic>

namespace {

// The columns after the id, in the order write() binds them.
const QStringList Columns{"started", "ended",   "seconds", "face",      "host",       "port",
                          "board",   "version", "file",    "sha256",    "file_lines", "lines",
                          "pace",    "resends", "result",  "exit_code", "error",      "reply"};

// SQLite keeps times as ISO text in UTC, which sorts as time does;
// PostgreSQL as timestamptz, read back in the same text.
QString createTableSql(StoreAddress::Kind kind)
{
    const bool sqlite = kind == StoreAddress::Kind::Sqlite;
    const QString time = sqlite ? QStringLiteral("TEXT") : QStringLiteral("TIMESTAMPTZ");
    const QString text = QStringLiteral("TEXT NOT NULL");
    const QString number = QStringLiteral("INTEGER NOT NULL");
    return QStringLiteral("CREATE TABLE IF NOT EXISTS jobs ("
                          "id %1, started %2, ended %2, seconds %3, face %4, host %4, port %4, "
                          "board %4, version %4, file %4, sha256 %4, file_lines %5, lines %5, "
                          "pace %4, resends %5, result %4, exit_code %5, error %4, reply %4)")
        .arg(sqlite ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                    : QStringLiteral("BIGSERIAL PRIMARY KEY"),
             time,
             sqlite ? QStringLiteral("REAL NOT NULL") : QStringLiteral("DOUBLE PRECISION NOT NULL"),
             text, number);
}

QString selectedTime(StoreAddress::Kind kind, const QString &column)
{
    if (kind == StoreAddress::Kind::Sqlite)
        return column;
    return QStringLiteral("to_char(%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
        .arg(column);
}

// A null QString is bound as NULL, which the text columns refuse.
QVariant textValue(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant timeValue(const QDateTime &when)
{
    return when.isValid() ? QVariant(recordTimeText(when))
                          : QVariant(QMetaType::fromType<QString>());
}

QDateTime timeFrom(const QVariant &value)
{
    return value.isNull() ? QDateTime()
                          : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QString driverFor(StoreAddress::Kind kind)
{
    return kind == StoreAddress::Kind::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

QString missingDriver(StoreAddress::Kind kind)
{
    return kind == StoreAddress::Kind::Sqlite
               ? QStringLiteral("Qt's SQLite driver is missing: install libqt6sql6-sqlite")
               : QStringLiteral("Qt's PostgreSQL driver is missing: install libqt6sql6-psql");
}

QString errorText(const QSqlError &error)
{
    return error.text().trimmed();
}

} // namespace

RecordStore::RecordStore(StoreAddress address, int timeoutMs)
    : m_address(std::move(address)), m_timeoutMs(timeoutMs)
{
    static std::atomic<int> stores = 0; // stores may be made on several threads
    m_connection = QStringLiteral("bootline-record-%1").arg(++stores);
}

RecordStore::~RecordStore()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

QString RecordStore::failure(const QString &what, const QString &driverText) const
{
    return QStringLiteral("could not %1 the record store %2: %3")
        .arg(what, m_address.describe(), driverText);
}

bool RecordStore::open(QString *error)
{
    const QString driver = driverFor(m_address.kind);
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = failure(QStringLiteral("open"), missingDriver(m_address.kind));
        return false;
    }
    if (!QSqlDatabase::contains(m_connection))
        QSqlDatabase::addDatabase(driver, m_connection);
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);

    if (m_address.kind == StoreAddress::Kind::Sqlite) {
        const QString folder = QFileInfo(m_address.path).absolutePath();
        if (!QDir().mkpath(folder)) {
            *error = failure(QStringLiteral("open"),
                             QStringLiteral("its folder %1 cannot be made").arg(folder));
            return false;
        }
        db.setDatabaseName(m_address.path);
        // Other processes may be writing: wait for them rather than fail.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    } else {
        db.setHostName(m_address.host);
        db.setPort(m_address.port);
        db.setUserName(m_address.user);
        db.setPassword(m_address.password);
        db.setDatabaseName(m_address.database);
        db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!db.open()) {
        *error = failure(QStringLiteral("open"), errorText(db.lastError()));
        return false;
    }
    if (m_address.kind == StoreAddress::Kind::Postgres) {
        // libpq prints the server's notices (a table that exists already) on
        // standard error, in the middle of our own output.
        QSqlQuery quiet(db);
        if (!quiet.exec(QStringLiteral("SET client_min_messages TO warning"))) {
            *error = failure(QStringLiteral("open"), errorText(quiet.lastError()));
            return false;
        }
    }
    return true;
}

// Opens the store and makes its table, once; again after a failure, so that
// a store that comes back is used again.
bool RecordStore::prepare(QString *error)
{
    if (m_ready)
        return true;
    m_ready = open(error) && createTable(error);
    if (!m_ready && QSqlDatabase::contains(m_connection))
        QSqlDatabase::database(m_connection, false).close();
    return m_ready;
}

bool RecordStore::createTable(QString *error)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (m_address.kind == StoreAddress::Kind::Sqlite) {
        // Readers and a writer at once, and writers queue instead of locking
        // out the readers. The mode stays with the file. SQLite does not wait
        // for a file that another connection is opening or switching at this
        // moment: then the file is left as it is, the record goes in anyway,
        // and a later opening switches it.
        query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    }
    const QStringList statements{
        createTableSql(m_address.kind),
        QStringLiteral("CREATE INDEX IF NOT EXISTS jobs_by_start ON jobs (started)")};
    for (const QString &statement : statements) {
        // Two PostgreSQL clients making the same table at once: IF NOT EXISTS
        // does not guard against it, and one of them fails ("already exists",
        // or on the catalog's unique index) although the table is made. Once
        // more finds it there.
        if (!query.exec(statement) && !query.exec(statement)) {
            *error = failure(QStringLiteral("make the table of"), errorText(query.lastError()));
            return false;
        }
    }
    return true;
}

bool RecordStore::write(const JobRecord &record, QString *error)
{
    if (m_address.kind == StoreAddress::Kind::None)
        return true;
    if (!prepare(error))
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    const QString placeholders = QStringList(Columns.size(), QStringLiteral("?")).join(u',');
    query.prepare(
        QStringLiteral("INSERT INTO jobs (%1) VALUES (%2)").arg(Columns.join(u','), placeholders));
    for (const QVariant &value :
         {timeValue(record.started), timeValue(record.ended), QVariant(record.seconds),
          textValue(record.face), textValue(record.host), textValue(record.port),
          textValue(record.board), textValue(record.version), textValue(record.file),
          textValue(record.sha256), QVariant(record.fileLines), QVariant(record.lines),
          textValue(record.pace), QVariant(record.resends), textValue(record.result),
          QVariant(record.exitCode), textValue(record.error), textValue(record.reply)})
        query.addBindValue(value);
    if (!query.exec()) {
        *error = failure(QStringLiteral("write to"), errorText(query.lastError()));
        m_ready = false; // a lost connection is opened afresh next time
        return false;
    }
    return true;
}

std::optional<QList<JobRecord>> RecordStore::read(const HistoryFilter &filter, QString *error)
{
    if (m_address.kind == StoreAddress::Kind::None)
        return QList<JobRecord>();
    if (!prepare(error))
        return std::nullopt;

    QStringList selected = Columns;
    selected[0] = selectedTime(m_address.kind, QStringLiteral("started"));
    selected[1] = selectedTime(m_address.kind, QStringLiteral("ended"));
    QStringList conditions;
    QVariantList values;
    if (filter.since.isValid()) {
        conditions << QStringLiteral("started >= ?");
        values << timeValue(filter.since);
    }
    if (!filter.port.isEmpty()) {
        conditions << QStringLiteral("port = ?");
        values << filter.port;
    }
    if (filter.failedOnly) {
        conditions << QStringLiteral("result <> ?");
        values << QStringLiteral("done");
    }
    QString sql = QStringLiteral("SELECT %1 FROM jobs").arg(selected.join(u','));
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY jobs.started DESC NULLS LAST, jobs.id DESC");

    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        *error = failure(QStringLiteral("read"), errorText(query.lastError()));
        m_ready = false;
        return std::nullopt;
    }
    QList<JobRecord> records;
    while (query.next()) {
        JobRecord record;
        record.started = timeFrom(query.value(0));
        record.ended = timeFrom(query.value(1));
        record.seconds = query.value(2).toDouble();
        record.face = query.value(3).toString();
        record.host = query.value(4).toString();
        record.port = query.value(5).toString();
        record.board = query.value(6).toString();
        record.version = query.value(7).toString();
        record.file = query.value(8).toString();
        record.sha256 = query.value(9).toString();
        record.fileLines = query.value(10).toInt();
        record.lines = query.value(11).toInt();
        record.pace = query.value(12).toString();
        record.resends = query.value(13).toInt();
        record.result = query.value(14).toString();
        record.exitCode = query.value(15).toInt();
        record.error = query.value(16).toString();
        record.reply = query.value(17).toString();
        records.append(record);
    }
    return records;
}
