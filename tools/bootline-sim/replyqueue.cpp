#include "bootline-sim/replyqueue.h"

void ReplyQueue::add(qint64 nowMs, const QList<WireChunk> &chunks, const QString &logLine)
{
    qint64 due = m_writes.isEmpty() ? nowMs : qMax(nowMs, m_writes.last().dueMs);
    QString line = logLine;
    for (const WireChunk &chunk : chunks) {
        due += chunk.waitMs;
        m_writes.append({due, chunk.bytes, line});
        line.clear();
    }
}

std::optional<ReplyQueue::Write> ReplyQueue::takeDue(qint64 nowMs)
{
    if (m_writes.isEmpty() || m_writes.first().dueMs > nowMs)
        return std::nullopt;
    return m_writes.takeFirst();
}

std::optional<qint64> ReplyQueue::nextDueMs() const
{
    if (m_writes.isEmpty())
        return std::nullopt;
    return m_writes.first().dueMs;
}
