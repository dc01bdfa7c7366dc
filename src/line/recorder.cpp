#include "line/recorder.h"

#include "line/boardrecord.h"
#include "record/recordkeeper.h"
#include "shared/readable.h"
#include "shared/standardstreams.h"

#include <cstdio>

#include <utility>

// Records that the store could not take wait in the file beside it: a job's
// started and end lines are told once, as the job they are.
void tellUnrecorded(const StoreAddress &store)
{
    if (store.kind == StoreAddress::Kind::None)
        return;
    const QString path = unrecordedFile(store);
    const UnrecordedFile waiting = readUnrecorded(path, store);
    const qsizetype records = waitingRecords(waiting.records);
    if (records > 0)
        warnOnStderr(QStringLiteral("%1 in %2: not in the store yet; "
                                    "bootline-cli --import-unrecorded --log %3 moves them there")
                         .arg(records == 1 ? QStringLiteral("1 record waits")
                                           : QStringLiteral("%1 records wait").arg(records),
                              visibleText(path), visibleText(store.describe())));
    if (waiting.damagedLines > 0)
        warnOnStderr(QStringLiteral("warning: %1 damaged line(s) of %2 skipped")
                         .arg(waiting.damagedLines)
                         .arg(visibleText(path)));
}

Recorder::Recorder(const StoreAddress &address, int timeoutMs, RunInfo run)
    : m_address(address), m_timeoutMs(timeoutMs), m_run(std::move(run))
{
}

Recorder::~Recorder() = default;

RecordWriter &Recorder::writerFor(const QString &port)
{
    std::shared_ptr<RecordWriter> &writer = m_writers[port];
    if (!writer)
        writer = std::make_shared<RecordWriter>(m_address, m_timeoutMs);
    return *writer;
}

// From another thread, queued behind that thread's earlier records: each
// port's come in the order it asked.
void Recorder::jobStarted(const BoardResult &result)
{
    keepUnanswered(result.port, boardStartedRecord(result, m_run));
}

void Recorder::jobPlanned(const BoardResult &result)
{
    keepUnanswered(result.port, boardPlannedRecord(result, m_run));
}

// A record that the job's end record will stand over: nobody waits for it.
void Recorder::keepUnanswered(const QString &port, const JobRecord &record)
{
    QMetaObject::invokeMethod(
        &m_home,
        [this, port, record] {
            writerFor(port).keep(record,
                                 [this](const KeepOutcome &outcome) { tellWaitingOnce(outcome); });
        },
        Qt::AutoConnection);
}

void Recorder::keep(const BoardResult &result, std::function<void(const BoardResult &)> then)
{
    QMetaObject::invokeMethod(
        &m_home,
        [this, result, then = std::move(then)]() mutable { keepHere(result, std::move(then)); },
        Qt::AutoConnection);
}

void Recorder::keepHere(const BoardResult &result, std::function<void(const BoardResult &)> then)
{
    writerFor(result.port)
        .keep(boardRecord(result, m_run),
              [this, result, then = std::move(then)](const KeepOutcome &outcome) {
                  tellWaitingOnce(outcome);
                  BoardResult kept = result;
                  if (!outcome.stored)
                      kept.notRecorded = outcome.message;
                  then(kept);
              });
}

// Once the store takes records again, whoever runs the line learns that
// older ones still wait beside it, and how to move them there. Said once a
// run; nothing is moved without being asked.
void Recorder::tellWaitingOnce(const KeepOutcome &outcome)
{
    if (m_waitingTold || !outcome.stored || m_address.kind == StoreAddress::Kind::None)
        return;
    m_waitingTold = true;
    tellUnrecorded(m_address);
}
