#pragma once

#include "station/tileboard.h"

class QWidget;

// The fixture's last job on demand: its record's fields and, when it left
// one, its trace. Read-only, beside the window.
void showJobDetails(const FixtureTile &tile, QWidget *parent);
