#pragma once

#include "window/mainwindow.h"

#include <memory>

// The window as Bootline starts it, on a QApplication already made: named,
// paced from the command line or the settings file, and shown. A value that
// is off in either is left out, and a message box over the window names it.
std::unique_ptr<MainWindow> showMainWindow();

// Bootline's name and version, as the settings and --version know them.
void nameApplication();
