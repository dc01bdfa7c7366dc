#pragma once

#include "protocol/replykeyword.h"

#include <QByteArray>

// Plain replies come as text that a poll may cut anywhere: "DOWNL" in one
// poll, "OAD" CR LF in the next. Text that holds no reply keyword is kept and
// put in front of the next poll's text, so a cut keyword reads whole again;
// up to a line end, which closes a reply.
// A poll whose own text holds a keyword goes on alone, as it came.
class PlainReplyJoiner {
public:
    // What is kept: enough to finish the longest keyword.
    static constexpr qsizetype Kept = LongestReplyKeyword - 1;

    // The text to hand on for this poll's text.
    QByteArray join(const QByteArray &received);

    void clear() { m_kept.clear(); }
    const QByteArray &kept() const { return m_kept; }

private:
    QByteArray m_kept;
};
