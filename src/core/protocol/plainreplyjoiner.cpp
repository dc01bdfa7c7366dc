#include "protocol/plainreplyjoiner.h"

QByteArray PlainReplyJoiner::join(const QByteArray &received)
{
    if (firstReplyKeyword(received) != ReplyKeyword::None) {
        m_kept.clear();
        return received;
    }
    QByteArray joined = m_kept + received;
    // A reply ends with its line end: what lies before one cannot start the next.
    const QByteArray open = joined.mid(joined.lastIndexOf('\n') + 1);
    m_kept = firstReplyKeyword(joined) == ReplyKeyword::None ? open.right(Kept) : QByteArray();
    return joined;
}
