#include "cli/recorder.h"

#include "cli/boardrecord.h"
#include "record/recordkeeper.h"

#include <utility>

Recorder::Recorder(const StoreAddress &address, RunInfo run)
    : m_store(address), m_run(std::move(run))
{
}

void Recorder::keep(BoardResult &result)
{
    const KeepOutcome outcome = keepRecord(m_store, boardRecord(result, m_run));
    if (!outcome.stored)
        result.notRecorded = outcome.message;
}
