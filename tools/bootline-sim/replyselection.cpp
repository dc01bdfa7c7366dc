#include "bootline-sim/replyselection.h"

namespace {

const QString RandomPrefix = QStringLiteral("random:");

} // namespace

std::optional<ReplySelection> ReplySelection::parse(const QString &text)
{
    ReplySelection selection;
    const QString trimmed = text.trimmed();
    if (trimmed == QStringLiteral("all")) {
        selection.m_all = true;
        return selection;
    }
    if (trimmed.startsWith(RandomPrefix)) {
        bool ok = false;
        const double percent = trimmed.mid(RandomPrefix.size()).toDouble(&ok);
        if (!ok || !(percent >= 0 && percent <= 100))
            return std::nullopt;
        selection.m_percent = percent;
        return selection;
    }
    const std::optional<QList<NumberRange>> ranges = parseNumberRanges(text);
    if (!ranges)
        return std::nullopt;
    selection.m_ranges = *ranges;
    return selection;
}

bool ReplySelection::hits(int ordinal, Dice &dice) const
{
    if (m_all)
        return true;
    if (m_percent)
        return dice.chance(*m_percent);
    for (const NumberRange &range : m_ranges) {
        if (ordinal >= range.first && ordinal <= range.last)
            return true;
    }
    return false;
}
