#pragma once

#include "engine/jobevents.h"

#include <QString>

// What stopped a job that the engine stopped on its own account, in the words
// of the terminal face's message and the record; the window says the same.
// address: the address box's text; rtu: 1 when frames carry it.

// A reply came that no frame was owed.
QString extraReplyFailure(int rtu, const QString &address);
// The board said "VER=" unasked while line was awaited.
QString restartFailure(int rtu, const QString &address, Pass pass, qint16 line);
// The verify pass came to its "DOWNLOAD" without every line answered in step.
QString notVerifiedFailure(qint16 verifiedInStep, qint16 lines);
