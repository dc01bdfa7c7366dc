#pragma once

#include "protocol/replykeyword.h"

#include <QByteArray>
#include <optional>

// Collects the board's plain replies from the bytes each read brings and
// hands them on one at a time, in the order they came. A reply is a line,
// ended by its line feed. A read may cut a reply anywhere ("DOWNL", then
// "OAD" CR LF) or bring several ("OK" CR LF "ERROR" CR LF): each goes on
// whole, and alone.
//
// The unfinished line at the end of what came goes on as it stands when it
// holds a reply keyword already, so that no reply waits for its line end
// (what is left of that line then comes as a line of its own); a version,
// whose text is kept, waits for its line end or a quiet line. Without a
// keyword it is kept for the next read; past Kept bytes, its start goes.
class PlainReceiver {
public:
    // A short reply whole, and more than enough to finish the longest keyword.
    static constexpr qsizetype Kept = 64;
    static_assert(Kept >= LongestReplyKeyword);

    void collect(const QByteArray &received) { m_pending += received; }

    // The next reply, line end and all; none while what is left is no reply yet.
    std::optional<QByteArray> next();
    // The line has gone quiet: an unfinished reply goes on as it stands.
    std::optional<QByteArray> settle();

    void clear() { m_pending.clear(); }
    const QByteArray &pending() const { return m_pending; }

private:
    QByteArray m_pending;
};
