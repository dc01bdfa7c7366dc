#pragma once

#include "window/frmserial.h"

#include <memory>

// The window as Bootline starts it, on a QApplication already made: named,
// paced from the command line or the settings file, and shown. Null, with
// what is wrong said on standard error, when the pace asked for is off.
std::unique_ptr<frmSerial> showMainWindow();
