#pragma once

#include "cli/options.h"
#include "record/storeaddress.h"

// What bootline-cli does with the record store alone, no board involved;
// each returns the exit code.

// --history: the records, as lines, JSON, CSV or a summary.
int printHistory(const CliOptions &options);
// --create-store: the tables of a store, made or brought up to date.
int createStore(const CliOptions &options);
// --import-unrecorded: the records that wait beside the store, moved into it.
int importWaiting(const CliOptions &options);
