#include "record/sqldialect.h"

QString SqlDialect::markVersion(int version) const
{
    return isSqlite
               ? QStringLiteral("PRAGMA user_version = %1").arg(version)
               : QStringLiteral("INSERT INTO bootline_schema (version) VALUES (%1)").arg(version);
}

QString SqlDialect::timeText(const QString &column) const
{
    if (isSqlite) // kept as that text already
        return column;
    return QStringLiteral("to_char(%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
        .arg(column);
}

QString SqlDialect::dayOf(const QString &column) const
{
    return isSqlite ? QStringLiteral("substr(%1, 1, 10)").arg(column)
                    : QStringLiteral("to_char(%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD')").arg(column);
}

QString SqlDialect::fileNameOf(const QString &column) const
{
    // SQLite has no search from the end: rtrim takes off everything after
    // the last '/', and what is left is the folder.
    return isSqlite ? QStringLiteral("substr(%1, length(rtrim(%1, replace(%1, '/', ''))) + 1)")
                          .arg(column)
                    : QStringLiteral("regexp_replace(%1, '^.*/', '')").arg(column);
}

QString SqlDialect::tagValue(const QString &column) const
{
    return isSqlite ? QStringLiteral("json_extract(%1, ?)").arg(column)
                    : QStringLiteral("(%1::jsonb ->> ?)").arg(column);
}

QString SqlDialect::tagArgument(const QString &key) const
{
    // A tag key is letters, digits, '_', '-' and '.': safe inside the quotes.
    return isSqlite ? QStringLiteral("$.\"%1\"").arg(key) : key;
}

QString SqlDialect::tagKeysOf(const QString &rows) const
{
    return isSqlite
               ? QStringLiteral("SELECT DISTINCT key FROM (%1) AS c, json_each(c.tags)").arg(rows)
               : QStringLiteral("SELECT DISTINCT jsonb_object_keys(c.tags::jsonb) FROM (%1) AS c")
                     .arg(rows);
}

const SqlDialect &sqlDialect(StoreAddress::Kind kind)
{
    static const SqlDialect sqlite{
        .isSqlite = true,
        .driver = QStringLiteral("QSQLITE"),
        .missingDriver = QStringLiteral("Qt's SQLite driver is missing: install libqt6sql6-sqlite"),
        .rowId = QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT"),
        .beginWrite = QStringLiteral("BEGIN IMMEDIATE"),
        .beginRead = QStringLiteral("BEGIN"),
        .upgradeLock = {},
        .columnType = &RecordColumn::sqliteType,
    };
    static const SqlDialect postgres{
        .isSqlite = false,
        .driver = QStringLiteral("QPSQL"),
        .missingDriver =
            QStringLiteral("Qt's PostgreSQL driver is missing: install libqt6sql6-psql"),
        .rowId = QStringLiteral("id BIGSERIAL PRIMARY KEY"),
        .beginWrite = QStringLiteral("BEGIN"),
        .beginRead = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"),
        .upgradeLock = QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('bootline_jobs'))"),
        .columnType = &RecordColumn::postgresType,
    };
    return kind == StoreAddress::Kind::Sqlite ? sqlite : postgres;
}
