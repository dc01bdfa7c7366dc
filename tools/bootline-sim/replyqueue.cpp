#include "bootline-sim/replyqueue.h"

void ReplyQueue::add(qint64 nowUs, const QList<WireChunk> &chunks, const QString &logLine)
{
    qint64 due = m_writes.isEmpty() ? nowUs : qMax(nowUs, m_writes.last().dueUs);
    QString line = logLine;
    for (const WireChunk &chunk : chunks) {
        due += chunk.waitUs;
        // A write may carry the start of two replies, each with its line.
        if (!line.isEmpty() && !chunk.logLine.isEmpty())
            line += u'\n';
        m_writes.append({due, chunk.bytes, line + chunk.logLine});
        line.clear();
    }
}

std::optional<ReplyQueue::Write> ReplyQueue::takeDue(qint64 nowUs)
{
    if (m_writes.isEmpty() || m_writes.first().dueUs > nowUs)
        return std::nullopt;
    return m_writes.takeFirst();
}

std::optional<qint64> ReplyQueue::nextDueUs() const
{
    if (m_writes.isEmpty())
        return std::nullopt;
    return m_writes.first().dueUs;
}
