#include "record/historyquery.h"

#include "record/recordcolumns.h"
#include "record/storeschema.h"

#include <QStringList>

namespace {

const QString TagPrefix = QStringLiteral("tag.");

// A column of the row r, or its value in rows made before it came.
QString columnOf(const QString &name, int schemaVersion)
{
    for (const RecordColumn &column : recordColumns()) {
        if (column.name == name)
            return column.since > schemaVersion ? column.beforeValue(QStringLiteral("r.id"))
                                                : QStringLiteral("r.") + name;
    }
    return QStringLiteral("r.") + name; // the row's own id
}

// FROM and WHERE of the records the filter asks for, one a job.
BoundStatement chosenRecords(const HistoryFilter &filter, const SqlDialect &dialect,
                             int schemaVersion)
{
    const QString table = schemaVersion == 0 ? OldJobsTable : JobsTable;
    QStringList conditions;
    BoundStatement from;
    if (schemaVersion >= 2) {
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
    } else if (schemaVersion == 1) {
        conditions << QStringLiteral("(r.result <> 'started' OR r.job_id = '' OR NOT EXISTS "
                                     "(SELECT 1 FROM %1 AS ended WHERE ended.job_id = r.job_id "
                                     "AND ended.result <> 'started'))")
                          .arg(table);
    }
    if (filter.since.isValid()) {
        conditions << QStringLiteral("r.started >= ?");
        from.values << recordTimeText(filter.since);
    }
    if (filter.until.isValid()) {
        conditions << QStringLiteral("r.started < ?");
        from.values << recordTimeText(filter.until);
    }
    const std::pair<QString, QString> exact[] = {{QStringLiteral("port"), filter.port},
                                                 {QStringLiteral("board"), filter.board},
                                                 {QStringLiteral("run_id"), filter.runId}};
    for (const auto &[column, value] : exact) {
        if (value.isEmpty())
            continue;
        conditions << columnOf(column, schemaVersion) + QStringLiteral(" = ?");
        from.values << value;
    }
    if (!filter.sha256Prefix.isEmpty()) {
        conditions << QStringLiteral("substr(r.sha256, 1, %1) = ?").arg(filter.sha256Prefix.size());
        from.values << filter.sha256Prefix.toLower();
    }
    for (auto tag = filter.tags.begin(); tag != filter.tags.end(); ++tag) {
        conditions << dialect.tagValue(columnOf(QStringLiteral("tags"), schemaVersion)) +
                          QStringLiteral(" = ?");
        from.values << dialect.tagArgument(tag.key()) << tag.value();
    }
    if (filter.failedOnly) {
        conditions << QStringLiteral("r.result <> ?");
        from.values << QStringLiteral("done");
    }
    from.sql = QStringLiteral(" FROM %1 AS r").arg(table);
    if (!conditions.isEmpty())
        from.sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    return from;
}

// ORDER BY, and LIMIT when the filter has one.
QString newestFirst(const HistoryFilter &filter)
{
    QString order = QStringLiteral(" ORDER BY r.started DESC NULLS LAST, r.id DESC");
    if (filter.limit > 0)
        order += QStringLiteral(" LIMIT %1").arg(filter.limit);
    return order;
}

// The group of a record, as --by names it.
BoundStatement groupOf(const QString &by, const SqlDialect &dialect, int schemaVersion)
{
    if (by == QStringLiteral("day"))
        return {QStringLiteral("CASE WHEN r.started IS NULL THEN '-' ELSE %1 END")
                    .arg(dialect.dayOf(QStringLiteral("r.started"))),
                {}};
    if (by == QStringLiteral("port"))
        return {QStringLiteral("r.port"), {}};
    if (by == QStringLiteral("file"))
        return {QStringLiteral("CASE WHEN r.file = '' THEN '(no file)' ELSE %1 END")
                    .arg(dialect.fileNameOf(QStringLiteral("r.file"))),
                {}};
    if (by.startsWith(TagPrefix))
        return {QStringLiteral("COALESCE(%1, '(none)')")
                    .arg(dialect.tagValue(columnOf(QStringLiteral("tags"), schemaVersion))),
                {dialect.tagArgument(by.mid(TagPrefix.size()))}};
    return {QStringLiteral("'all'"), {}};
}

} // namespace

BoundStatement historyQuery(const HistoryFilter &filter, const SqlDialect &dialect,
                            int schemaVersion)
{
    QStringList selected;
    for (const RecordColumn &column : recordColumns()) {
        const QString value = columnOf(column.name, schemaVersion);
        selected << (column.kind == RecordColumn::Kind::Time && column.since <= schemaVersion
                         ? dialect.timeText(value)
                         : value);
    }
    BoundStatement query = chosenRecords(filter, dialect, schemaVersion);
    query.sql = QStringLiteral("SELECT ") + selected.join(u',') + query.sql + newestFirst(filter);
    return query;
}

BoundStatement tagKeysQuery(const HistoryFilter &filter, const SqlDialect &dialect,
                            int schemaVersion)
{
    BoundStatement query = chosenRecords(filter, dialect, schemaVersion);
    query.sql = dialect.tagKeysOf(
        QStringLiteral("SELECT %1 AS tags").arg(columnOf(QStringLiteral("tags"), schemaVersion)) +
        query.sql + newestFirst(filter));
    return query;
}

BoundStatement summaryQuery(const HistoryFilter &filter, const QString &by,
                            const SqlDialect &dialect, int schemaVersion)
{
    const BoundStatement group = groupOf(by, dialect, schemaVersion);
    const BoundStatement from = chosenRecords(filter, dialect, schemaVersion);
    const bool grouped = !by.isEmpty();
    // A board's group is that of its first job; by port every job of a board
    // has it, and the walk's sort need not be done a second time.
    const bool oneGroupPerBoard = !grouped || by == QStringLiteral("port");
    // The jobs of a board in their order, as a list read newest first and
    // then sorted by time would have them: a first attempt (or the first job
    // of that port and address in the run) starts a board, its retries follow.
    QString sql =
        QStringLiteral(
            "WITH picked AS (SELECT r.id AS id, %1 AS run_id, r.port AS port, r.board AS board, "
            "%2 AS attempt, r.result AS result, r.seconds AS seconds, r.started AS started, "
            "r.ended AS ended, %3 AS grp%4), ")
            .arg(columnOf(QStringLiteral("run_id"), schemaVersion),
                 columnOf(QStringLiteral("attempt"), schemaVersion), group.sql, from.sql);
    const QString walk = QStringLiteral(
        "SELECT picked.*, %1CASE WHEN attempt <= 1 OR LAG(1, 1, 0) OVER jobs = 0 THEN 1 ELSE 0 "
        "END AS starts_board, LEAD(CASE WHEN attempt <= 1 THEN 1 ELSE 0 END, 1, 1) OVER jobs AS "
        "ends_board FROM picked WINDOW jobs AS (PARTITION BY run_id, port, board ORDER BY "
        "COALESCE(started, ended) NULLS FIRST, started NULLS FIRST, id)");
    // Otherwise the boards are numbered in the walk, for their first job's group.
    sql += oneGroupPerBoard
               ? QStringLiteral("judged AS (%1), ")
                     .arg(walk.arg(QStringLiteral("grp AS board_group, ")))
               : QStringLiteral("walked AS (%1), judged AS (SELECT walked.*, FIRST_VALUE(grp) OVER "
                                "(PARTITION BY run_id, port, board, board_no ORDER BY nth) AS "
                                "board_group FROM walked), ")
                     .arg(walk.arg(QStringLiteral(
                         "ROW_NUMBER() OVER jobs AS nth, SUM(CASE WHEN attempt <= 1 THEN 1 ELSE 0 "
                         "END) OVER jobs + CASE WHEN FIRST_VALUE(attempt) OVER jobs <= 1 THEN 0 "
                         "ELSE 1 END AS board_no, ")));
    // Each board has one job that starts it and one that ends it: the first
    // decides first-pass yield, the last whether it is done.
    const QString sums = QStringLiteral(
        "COUNT(CASE WHEN starts_board = 1 THEN 1 END) AS boards, SUM(CASE WHEN ends_board = 1 "
        "AND result = 'done' THEN 1 ELSE 0 END) AS done, SUM(CASE WHEN starts_board = 1 AND "
        "result = 'done' THEN 1 ELSE 0 END) AS first_pass");
    const QString everyTime = QStringLiteral(
        "SELECT NULL AS grp, seconds, ROW_NUMBER() OVER (ORDER BY seconds) AS place, COUNT(*) "
        "OVER () AS how_many FROM tried");
    // The whole comes as the row whose group is NULL; without --by it is all there is.
    sql += grouped ? QStringLiteral("boards AS (SELECT board_group AS grp, %1 FROM judged GROUP BY "
                                    "board_group UNION ALL SELECT NULL, %1 FROM judged), ")
                         .arg(sums)
                   : QStringLiteral("boards AS (SELECT NULL AS grp, %1 FROM judged), ").arg(sums);
    sql += QStringLiteral(
        "tried AS (SELECT board_group, seconds FROM judged WHERE ended IS NOT NULL AND result "
        "<> 'started' AND result <> 'not tried'), ");
    sql += grouped ? QStringLiteral("times AS (SELECT board_group AS grp, seconds, ROW_NUMBER() "
                                    "OVER (PARTITION BY board_group ORDER BY seconds) AS place, "
                                    "COUNT(*) OVER (PARTITION BY board_group) AS how_many FROM "
                                    "tried UNION ALL %1), ")
                         .arg(everyTime)
                   : QStringLiteral("times AS (%1), ").arg(everyTime);
    sql += QStringLiteral(
        "ranks AS (SELECT grp, MAX(CASE WHEN place = (50 * how_many + 99) / 100 THEN seconds "
        "END) AS median, MAX(CASE WHEN place = (95 * how_many + 99) / 100 THEN seconds END) AS "
        "p95 FROM times GROUP BY grp) "
        "SELECT b.grp, b.boards, b.done, b.first_pass, m.median, m.p95 FROM boards AS b LEFT "
        "JOIN ranks AS m ON m.grp = b.grp OR (m.grp IS NULL AND b.grp IS NULL)");
    return {sql, group.values + from.values};
}
