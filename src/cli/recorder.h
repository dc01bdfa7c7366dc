#pragma once

#include "cli/boardresult.h"
#include "cli/report.h"
#include "record/recordwriter.h"

#include <functional>

// Keeps the record of every board job of a run, in the store --log names.
class Recorder {
public:
    Recorder(const StoreAddress &address, RunInfo run);

    // Keeps the board's record, then hands the result on: when the store
    // could not take the record, the result says so and where it went instead.
    void keep(const BoardResult &result, std::function<void(const BoardResult &)> then);

private:
    RecordWriter m_writer;
    RunInfo m_run;
};
