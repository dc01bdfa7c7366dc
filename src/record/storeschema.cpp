#include "record/storeschema.h"

#include "record/recordcolumns.h"

#include <QSqlError>
#include <QVariant>

namespace {

// Before the schema had a version: user_version 0 and this table.
const QStringList OldColumns{"id",     "started",    "ended", "seconds", "face",
                             "host",   "port",       "board", "version", "file",
                             "sha256", "file_lines", "lines", "pace",    "resends",
                             "result", "exit_code",  "error", "reply"};

QString indexOn(const QString &column, bool unique = false)
{
    return QStringLiteral("CREATE %1INDEX %2_by_%3 ON %2 (%3)")
        .arg(unique ? QStringLiteral("UNIQUE ") : QString(), JobsTable, column);
}

// The indexes each version brought: the first for the time and the look
// for a later record of the same job, the second so that a record is in
// once and a run's jobs are found quickly, the fourth for every filter, the
// fifth so that the look for a later record reads that index alone.
QStringList indexesSince(int version)
{
    QStringList indexes;
    if (version < 1)
        indexes << indexOn(QStringLiteral("started")) << indexOn(QStringLiteral("job_id"));
    if (version < 2)
        indexes << indexOn(QStringLiteral("record_id"), true) << indexOn(QStringLiteral("run_id"));
    if (version < 4) {
        for (const char *column : {"port", "board", "result", "sha256"})
            indexes << indexOn(QString::fromLatin1(column));
    }
    if (version < 5)
        indexes << QStringLiteral("CREATE INDEX %1_by_job_result ON %1 (job_id, result, record_id)")
                       .arg(JobsTable);
    return indexes;
}

QStringList createStatements(const SqlDialect &dialect)
{
    QStringList columns{dialect.rowId};
    for (const RecordColumn &column : recordColumns())
        columns << column.name + u' ' + column.*dialect.columnType;
    QStringList statements{
        QStringLiteral("CREATE TABLE %1 (%2)").arg(JobsTable, columns.join(QStringLiteral(", ")))};
    statements << indexesSince(0);
    if (!dialect.isSqlite)
        statements << QStringLiteral("CREATE TABLE bootline_schema (version INTEGER NOT NULL)");
    return statements;
}

// A table of an earlier schema version, given the columns that came since,
// each as the rows before it had it.
QStringList addedColumnStatements(const SqlDialect &dialect, int version)
{
    QStringList statements;
    for (const RecordColumn &column : recordColumns()) {
        if (column.since <= version)
            continue;
        const bool perRow = column.before.contains(QStringLiteral("%1"));
        statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3 DEFAULT %4")
                          .arg(JobsTable, column.name, column.*dialect.columnType,
                               perRow ? QStringLiteral("''") : column.before);
        if (perRow)
            statements << QStringLiteral("UPDATE %1 SET %2 = %3")
                              .arg(JobsTable, column.name,
                                   column.beforeValue(QStringLiteral("id")));
    }
    return statements << indexesSince(version);
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
        .arg(JobsTable, columns.join(u','), values.join(u','), OldJobsTable);
}

} // namespace

std::optional<StoreSchema> inspectSchema(QSqlQuery &query, const SqlDialect &dialect,
                                         QString *driverText)
{
    auto failed = [&]() -> std::optional<StoreSchema> {
        *driverText = query.lastError().text().trimmed();
        return std::nullopt;
    };
    StoreSchema schema;
    QStringList oldColumns;
    if (dialect.isSqlite) {
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
        schema.hasTable = tables.contains(JobsTable);
        if (tables.contains(OldJobsTable)) {
            if (!query.exec(
                    QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(OldJobsTable)))
                return failed();
            while (query.next())
                oldColumns << query.value(0).toString();
        }
    } else {
        // to_regclass and pg_attribute need no rights on the tables.
        if (!query.exec(QStringLiteral("SELECT to_regclass('%1') IS NOT NULL, "
                                       "to_regclass('bootline_schema') IS NOT NULL, "
                                       "to_regclass('%2') IS NOT NULL")
                            .arg(JobsTable, OldJobsTable)) ||
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
                                .arg(OldJobsTable)))
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

QStringList upgradeStatements(const StoreSchema &schema, const SqlDialect &dialect)
{
    if (schema.version >= StoreSchemaVersion)
        return {};
    QStringList statements;
    if (schema.version >= 1 && schema.hasTable) {
        statements = addedColumnStatements(dialect, schema.version);
    } else {
        statements = createStatements(dialect);
        if (schema.hasOldTable)
            statements << copyOldStatement() << QStringLiteral("DROP TABLE %1").arg(OldJobsTable);
    }
    return statements << dialect.markVersion(StoreSchemaVersion);
}
