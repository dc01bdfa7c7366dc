#pragma once

#include "line/runoptions.h"
#include "shared/exitcode.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Why a run ends before any port is opened, and how.
struct EarlyEnd {
    ExitCode exitCode;
    QString text; // for stderr, or on stdout when the run is Done
};

// --rerun-failed: reads run options.rerunOf from the store and puts in the
// options the boards still to do, their attempts and, unless one was given,
// the run's file; runSha256 gets the hash the run flashed. Nothing when the
// run goes on; else why not (Done: every board is done already).
std::optional<EarlyEnd> takeRerunFromStore(RunOptions &options, QByteArray *runSha256);

// A rerun's file against the run's: another one only with --file-changed.
// Empty when it may go.
QString rerunFileRefusal(const RunOptions &options, const QByteArray &runSha256,
                         const QByteArray &fileSha256);
