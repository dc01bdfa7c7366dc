#include "record/historysummary.h"

#include "record/tagtext.h"
#include "shared/readable.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QMap>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <map>
#include <tuple>

namespace {

const QString TagPrefix = QStringLiteral("tag.");
constexpr int MaxGroupWidth = 40; // a long path or tag value must not push the numbers away

using Jobs = QList<const JobRecord *>; // oldest first

// Before every job with a time, when it has none at all.
qint64 orderTime(const JobRecord &job)
{
    const QDateTime when = job.started.isValid() ? job.started : job.ended;
    return when.isValid() ? when.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

QList<Jobs> boardsOf(const QList<JobRecord> &records)
{
    // The store gives them newest first: reversed, jobs of one time keep their order.
    Jobs jobs;
    for (auto record = records.rbegin(); record != records.rend(); ++record)
        jobs.append(&*record);
    std::stable_sort(jobs.begin(), jobs.end(), [](const JobRecord *one, const JobRecord *other) {
        return orderTime(*one) < orderTime(*other);
    });
    QList<Jobs> boards;
    std::map<std::tuple<QString, QString, QString>, qsizetype> latestBoard;
    for (const JobRecord *job : std::as_const(jobs)) {
        const auto key = std::make_tuple(job->runId, job->port, job->board);
        const auto latest = latestBoard.find(key);
        if (job->attempt > 1 && latest != latestBoard.end()) {
            boards[latest->second].append(job);
            continue;
        }
        latestBoard[key] = boards.size();
        boards.append(Jobs{job});
    }
    return boards;
}

QString groupOf(const Jobs &board, const QString &by)
{
    if (by.isEmpty())
        return QStringLiteral("all");
    const JobRecord &first = *board.first();
    if (by == QStringLiteral("day"))
        return first.started.isValid() ? first.started.toUTC().date().toString(Qt::ISODate)
                                       : QStringLiteral("-");
    if (by == QStringLiteral("port"))
        return first.port;
    if (by == QStringLiteral("file"))
        return first.file.isEmpty() ? QStringLiteral("(no file)")
                                    : QFileInfo(first.file).fileName();
    const QString key = by.mid(TagPrefix.size());
    return first.tags.contains(key) ? first.tags.value(key) : QStringLiteral("(none)");
}

bool wasTried(const JobRecord &job)
{
    return job.ended.isValid() && job.result != QStringLiteral("started") &&
           job.result != QStringLiteral("not tried");
}

// The smallest value with at least percent of them at or below it.
double nearestRank(const QList<double> &sorted, int percent)
{
    const qsizetype rank = (percent * sorted.size() + 99) / 100;
    return sorted.at(std::max<qsizetype>(rank, 1) - 1);
}

SummaryRow rowOf(const QString &group, const QList<const Jobs *> &boards)
{
    SummaryRow row;
    row.group = group;
    QList<double> seconds;
    for (const Jobs *board : boards) {
        ++row.boards;
        if (board->last()->result == QStringLiteral("done"))
            ++row.done;
        else
            ++row.failed;
        if (board->first()->result == QStringLiteral("done"))
            ++row.firstPass;
        for (const JobRecord *job : *board) {
            if (wasTried(*job))
                seconds.append(job->seconds);
        }
    }
    if (!seconds.isEmpty()) {
        std::sort(seconds.begin(), seconds.end());
        row.medianSeconds = nearestRank(seconds, 50);
        row.p95Seconds = nearestRank(seconds, 95);
    }
    return row;
}

QString oneDecimal(std::optional<double> value, double scale = 1, const QString &unit = {})
{
    return value ? QString::number(*value * scale, 'f', 1) + unit : QStringLiteral("-");
}

QStringList cellsOf(const SummaryRow &row)
{
    QString group = visibleText(row.group);
    if (group.size() > MaxGroupWidth)
        group = group.left(MaxGroupWidth - 3) + QStringLiteral("...");
    return {group,
            QString::number(row.boards),
            QString::number(row.done),
            QString::number(row.failed),
            oneDecimal(row.firstPassYield(), 100, QStringLiteral("%")),
            oneDecimal(row.medianSeconds),
            oneDecimal(row.p95Seconds)};
}

QJsonValue orNull(std::optional<double> value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonObject rowJson(const SummaryRow &row)
{
    return {{QStringLiteral("group"), row.group},
            {QStringLiteral("boards"), row.boards},
            {QStringLiteral("done"), row.done},
            {QStringLiteral("failed"), row.failed},
            {QStringLiteral("first_pass"), row.firstPass},
            {QStringLiteral("first_pass_yield"), orNull(row.firstPassYield())},
            {QStringLiteral("median_seconds"), orNull(row.medianSeconds)},
            {QStringLiteral("p95_seconds"), orNull(row.p95Seconds)}};
}

} // namespace

std::optional<double> SummaryRow::firstPassYield() const
{
    if (boards == 0)
        return std::nullopt;
    return double(firstPass) / boards;
}

bool isSummaryGrouping(const QString &by)
{
    if (by.startsWith(TagPrefix))
        return isTagKey(by.mid(TagPrefix.size()));
    return by == QStringLiteral("day") || by == QStringLiteral("port") ||
           by == QStringLiteral("file");
}

HistorySummary summarizeHistory(const QList<JobRecord> &records, const QString &by)
{
    const QList<Jobs> boards = boardsOf(records);
    QMap<QString, QList<const Jobs *>> groups; // sorted by name
    if (by.isEmpty())
        groups.insert(QStringLiteral("all"), {}); // a line even when no job was read
    QList<const Jobs *> all;
    for (const Jobs &board : boards) {
        groups[groupOf(board, by)].append(&board);
        all.append(&board);
    }
    HistorySummary summary{.by = by, .groups = {}, .total = rowOf(QStringLiteral("total"), all)};
    for (auto group = groups.begin(); group != groups.end(); ++group)
        summary.groups.append(rowOf(group.key(), group.value()));
    return summary;
}

QString summaryTable(const HistorySummary &summary)
{
    QList<QStringList> lines{
        {"GROUP", "BOARDS", "DONE", "FAILED", "FIRST-PASS", "MEDIAN-S", "P95-S"}};
    for (const SummaryRow &row : summary.groups)
        lines.append(cellsOf(row));
    if (summary.groups.size() >= 2)
        lines.append(cellsOf(summary.total));
    QList<qsizetype> widths(lines.first().size(), 0);
    for (const QStringList &cells : std::as_const(lines)) {
        for (qsizetype column = 0; column < cells.size(); ++column)
            widths[column] = std::max(widths[column], cells[column].size());
    }
    QString table;
    for (const QStringList &cells : std::as_const(lines)) {
        QStringList padded{cells.first().leftJustified(widths.first())};
        for (qsizetype column = 1; column < cells.size(); ++column)
            padded << cells[column].rightJustified(widths[column]);
        table += padded.join(QStringLiteral("  ")) + u'\n';
    }
    return table;
}

QJsonObject summaryJson(const HistorySummary &summary)
{
    QJsonArray groups;
    for (const SummaryRow &row : summary.groups)
        groups.append(rowJson(row));
    return {{QStringLiteral("by"),
             summary.by.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(summary.by)},
            {QStringLiteral("groups"), groups},
            {QStringLiteral("total"), rowJson(summary.total)}};
}
