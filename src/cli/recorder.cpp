#include "cli/recorder.h"

#include "cli/boardrecord.h"

#include <utility>

Recorder::Recorder(const StoreAddress &address, RunInfo run)
    : m_writer(address), m_run(std::move(run))
{
}

void Recorder::keep(const BoardResult &result, std::function<void(const BoardResult &)> then)
{
    m_writer.keep(boardRecord(result, m_run),
                  [result, then = std::move(then)](const KeepOutcome &outcome) {
                      BoardResult kept = result;
                      if (!outcome.stored)
                          kept.notRecorded = outcome.message;
                      then(kept);
                  });
}
