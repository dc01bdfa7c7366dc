#include "record/historysummary.h"

#include "record/tagtext.h"
#include "shared/readable.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>

namespace {

const QString TagPrefix = QStringLiteral("tag.");
constexpr int MaxGroupWidth = 40; // a long path or tag value must not push the numbers away

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
