#pragma once

#include "cli/options.h"

class QWidget;

// The store's newest records, read on a thread of their own so that a slow
// store holds up nothing, and shown read-only beside the window.
void showStationHistory(const CliOptions &options, QWidget *parent);
