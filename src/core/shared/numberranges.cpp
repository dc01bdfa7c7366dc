#include "shared/numberranges.h"

#include <QStringList>

std::optional<QList<NumberRange>> parseNumberRanges(const QString &text)
{
    QList<NumberRange> ranges;
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
        ranges.append({first, last});
    }
    return ranges;
}
