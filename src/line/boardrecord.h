#pragma once

#include "line/boardresult.h"
#include "line/report.h"
#include "record/jobrecord.h"

// A board's job as the store and the JSON board event keep it.
JobRecord boardRecord(const BoardResult &result, const RunInfo &run);
// Its place in the run's plan, as the run starts: not tried, until its job begins.
JobRecord boardPlannedRecord(const BoardResult &result, const RunInfo &run);
// Its "started" record, as the job begins.
JobRecord boardStartedRecord(const BoardResult &result, const RunInfo &run);
