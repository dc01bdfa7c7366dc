#pragma once

#include <QList>
#include <QString>
#include <optional>

// Which of the board's replies a fault hits, by ordinal (the first reply is 1):
// "all", or a comma-separated list of ordinals and ranges such as "1,4,7-9".
class ReplySelection {
public:
    static std::optional<ReplySelection> parse(const QString &text);

    bool contains(int ordinal) const;

private:
    struct Range {
        int first;
        int last;
    };
    bool m_all = false;
    QList<Range> m_ranges;
};
