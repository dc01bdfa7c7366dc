#include "protocol/plainreplyjoiner.h"

QByteArray PlainReplyJoiner::join(const QByteArray &received)
{
    if (firstReplyKeyword(received) != ReplyKeyword::None) {
        m_kept.clear();
        return received;
    }
    const QByteArray joined = m_kept + received;
    m_kept = firstReplyKeyword(joined) == ReplyKeyword::None ? joined.right(Kept) : QByteArray();
    return joined;
}
