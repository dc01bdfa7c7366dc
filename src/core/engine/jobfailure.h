#pragma once

#include "engine/jobevents.h"
#include "shared/exitcode.h"

#include <QString>

// How a download job ended, for a person, a script and the record alike: the
// one table from a job's outcome to its result word, exit code and error.
// The error says what went wrong; each face adds what to do about it.
struct JobVerdict {
    QString result; // "done", "failed" or "interrupted"
    ExitCode exitCode = Done;
    QString error; // empty when done
};
// address: the address box's text; rtu: 1 when frames carry it.
JobVerdict jobVerdict(const JobResult &job, bool rtu, const QString &address);

// The result word of an exit code: "done", "interrupted" for a stop (a
// signal, or the window's port closed or file replaced), else "failed".
// jobVerdict takes its words from here, and so does bootline-cli for the
// ends of its own, so the two faces cannot word one end differently.
QString resultWord(ExitCode code);

// "line 12 of 40", or "verify line 12 of 40".
QString lineName(Pass pass, qint16 line, qint16 lines);

// What stopped a job that the engine stopped on its own account, in the words
// of the terminal face's message and the record; the window says the same.
// address: the address box's text; rtu: 1 when frames carry it.

// A reply came that no frame was owed.
QString extraReplyFailure(bool rtu, const QString &address);
// The pass's last line was answered "OK", and then came the reply too many.
QString twoAnswersFailure(Pass pass, qint16 lines, const QByteArray &secondReply);
// The board said "VER=" unasked while line was awaited.
QString restartFailure(bool rtu, const QString &address, Pass pass, qint16 line);
// The verify pass came to its "DOWNLOAD" without every line answered in step.
QString notVerifiedFailure(qint16 verifiedInStep, qint16 lines);
