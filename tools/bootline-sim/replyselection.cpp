#include "bootline-sim/replyselection.h"

#include <QStringList>

std::optional<ReplySelection> ReplySelection::parse(const QString &text)
{
    ReplySelection selection;
    if (text.trimmed() == QStringLiteral("all")) {
        selection.m_all = true;
        return selection;
    }
    for (const QString &item : text.split(u',')) {
        const QStringList ends = item.trimmed().split(u'-');
        if (ends.size() > 2)
            return std::nullopt;
        bool firstOk = false;
        bool lastOk = false;
        const int first = ends.first().toInt(&firstOk);
        const int last = ends.last().toInt(&lastOk);
        if (!firstOk || !lastOk || first < 1 || last < first)
            return std::nullopt;
        selection.m_ranges.append({first, last});
    }
    return selection;
}

bool ReplySelection::contains(int ordinal) const
{
    if (m_all)
        return true;
    for (const Range &range : m_ranges) {
        if (ordinal >= range.first && ordinal <= range.last)
            return true;
    }
    return false;
}
