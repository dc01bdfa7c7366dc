#pragma once

#include <QList>
#include <QString>
#include <optional>

struct NumberRange {
    int first;
    int last;
};

// Numbers from 1 up written as a comma-separated list of numbers and ranges,
// such as "1,4,7-9", blanks around the items allowed; none when anything is off.
std::optional<QList<NumberRange>> parseNumberRanges(const QString &text);
