#include "cli/recorder.h"

#include "cli/boardrecord.h"

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
    writerFor(result.port).keep(boardStartedRecord(result, m_run), [](const KeepOutcome &) {});
}

void Recorder::keep(const BoardResult &result, std::function<void(const BoardResult &)> then)
{
    writerFor(result.port)
        .keep(boardRecord(result, m_run),
              [result, then = std::move(then)](const KeepOutcome &outcome) {
                  BoardResult kept = result;
                  if (!outcome.stored)
                      kept.notRecorded = outcome.message;
                  then(kept);
              });
}
