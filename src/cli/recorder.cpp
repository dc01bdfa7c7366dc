#include "cli/recorder.h"

#include "cli/boardrecord.h"
#include "cli/storerequests.h"

#include <utility>

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

void Recorder::jobStarted(const BoardResult &result)
{
    // Its end is reported, and its end record is what counts.
    writerFor(result.port)
        .keep(boardStartedRecord(result, m_run),
              [this](const KeepOutcome &outcome) { tellWaitingOnce(outcome); });
}

void Recorder::keep(const BoardResult &result, std::function<void(const BoardResult &)> then)
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
