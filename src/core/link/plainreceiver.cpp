#include "link/plainreceiver.h"

#include <utility>

namespace {

// The line end of a reply that went on before its line end came.
bool isBareLineEnd(const QByteArray &line)
{
    return line == "\n" || line == "\r\n";
}

} // namespace

std::optional<QByteArray> PlainReceiver::next()
{
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
        QByteArray line = m_pending.left(end + 1);
        m_pending.remove(0, end + 1);
        if (!isBareLineEnd(line))
            return line;
    }
    const ReplyKeyword keyword = firstReplyKeyword(m_pending);
    if (keyword == ReplyKeyword::Version && m_pending.size() <= Kept)
        return std::nullopt;
    if (keyword != ReplyKeyword::None)
        return std::exchange(m_pending, {});
    if (m_pending.size() > Kept)
        m_pending.remove(0, m_pending.size() - Kept);
    return std::nullopt;
}

std::optional<QByteArray> PlainReceiver::settle()
{
    if (firstReplyKeyword(m_pending) == ReplyKeyword::None)
        return std::nullopt;
    return std::exchange(m_pending, {});
}
