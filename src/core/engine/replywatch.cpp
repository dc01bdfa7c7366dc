#include "engine/replywatch.h"

#include "protocol/replykeyword.h"

#include <limits>
#include <utility>

ReplyWatch::ReplyWatch(MsClock nowMs) : m_nowMs(nowMs ? std::move(nowMs) : monotonicClock()) {}

void ReplyWatch::lineSent(qint16 line, const QByteArray &command)
{
    m_line = line;
    m_command = command;
    m_sendings = 1;
    ++m_repliesOwed; // the earlier line's answer, if it is still to come, comes first
    m_sentAt = m_nowMs();
    m_unansweredMs = 0;
    m_noticeCount = 0;
    m_lastLineAnsweredOk = false;
}

void ReplyWatch::lineResent()
{
    ++m_sendings;
    ++m_repliesOwed;
    m_unansweredMs = 0;
    m_noticeCount = 0;
}

void ReplyWatch::newJob()
{
    m_repliesOwed = 0;
    m_held.reset();
}

namespace {

bool refuses(const QByteArray &reply)
{
    return isRefusal(firstReplyKeyword(reply));
}

} // namespace

ReplyWatch::Answer ReplyWatch::answered(const QByteArray &reply)
{
    if (m_repliesOwed == 0)
        return Answer::Surplus;
    --m_repliesOwed;
    if (!m_held && m_repliesOwed == 0)
        return Answer::Act;
    if (!m_held) {
        m_held = reply;
        return Answer::Hold;
    }
    if (refuses(reply) && !refuses(*m_held))
        m_held = reply; // a refusal among the answers stands, wherever it comes
    return m_repliesOwed > 0 ? Answer::Absorb : Answer::ActOnHeld;
}

int ReplyWatch::holdMs(int timeoutMs) const
{
    return int(qMin<qint64>(timeoutMs + (m_nowMs() - m_sentAt), std::numeric_limits<int>::max()));
}

QByteArray ReplyWatch::takeHeld()
{
    m_repliesOwed = 0;
    return *std::exchange(m_held, std::nullopt);
}

int ReplyWatch::overdue(int timeoutMs)
{
    ++m_noticeCount;
    m_unansweredMs += m_noticeCount == 1 ? timeoutMs : JobTiming::StallNoticeEveryMs;
    return m_unansweredMs;
}
