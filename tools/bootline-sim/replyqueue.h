#pragma once

#include "bootline-sim/replyplan.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <optional>

// The writes waiting for their time, on a clock in microseconds that the
// caller keeps.
class ReplyQueue {
public:
    struct Write {
        qint64 dueUs;
        QByteArray bytes;
        QString logLine; // printed when the bytes go out; empty unless a reply starts in them
    };

    // A reply's writes, timed from nowUs or from the last write queued,
    // whichever is later: replies keep their order even when one is held
    // back longer than the next. logLine goes with the first write, and each
    // chunk's own with its write.
    void add(qint64 nowUs, const QList<WireChunk> &chunks, const QString &logLine);

    // The first write due by nowUs, taken off the queue.
    std::optional<Write> takeDue(qint64 nowUs);

    std::optional<qint64> nextDueUs() const;

    void clear() { m_writes.clear(); }

private:
    QList<Write> m_writes;
};
