#pragma once

#include <QFile>

// Opens the file for reading, or raises the error that says why it cannot be
// read: not there, a folder on the way or the file itself not readable for
// want of rights, not a plain file, or another failure to open.
void openForReading(QFile &file);
