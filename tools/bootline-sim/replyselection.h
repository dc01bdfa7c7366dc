#pragma once

#include "bootline-sim/dice.h"
#include "shared/numberranges.h"

#include <QList>
#include <QString>
#include <optional>

// Which of the board's replies a fault hits, by ordinal (the first reply is 1):
// "all", a comma-separated list of ordinals and ranges such as "1,4,7-9", or
// "random:P", each reply with a chance of P percent (P from 0 to 100, such as
// 5 or 0.05). None when not given.
class ReplySelection {
public:
    static std::optional<ReplySelection> parse(const QString &text);

    // A random selection draws from dice on each call; the others never do.
    bool hits(int ordinal, Dice &dice) const;

private:
    bool m_all = false;
    std::optional<double> m_percent;
    QList<NumberRange> m_ranges;
};
