#pragma once

#include "cli/boardresult.h"
#include "cli/report.h"
#include "record/recordstore.h"

// Keeps the record of every board job of a run, in the store --log names.
class Recorder {
public:
    Recorder(const StoreAddress &address, RunInfo run);

    // The board's record, kept; when the store could not take it, the result
    // says so and where it went instead.
    void keep(BoardResult &result);

private:
    RecordStore m_store;
    RunInfo m_run;
};
