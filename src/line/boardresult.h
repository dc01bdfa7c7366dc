#pragma once

#include "record/jobrecord.h"
#include "shared/exitcode.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// How one board's job ended.
struct BoardResult {
    QString jobId; // a UUID: its record's "started" line and its end line carry it
    QString port;  // as the options name it
    QString board; // its address as the operator knows it: "5", or "scan"/"0" as given
    ExitCode exitCode = Done;
    QString failure;         // what went wrong and what to do; empty when done
    QByteArray reply;        // the board's own words about it, where there are any
    int linesSent = 0;       // download and verify lines, sent again ones included
    int resends = 0;         // lines sent again for want of a reply
    QByteArray versionReply; // the board's answer to the probe
    QDateTime startedAt;     // UTC
    QDateTime endedAt;
    double seconds = 0;
    bool portUnopened = false; // its port could not be opened
    bool untried = false;      // the job was never begun: its port had failed, or a signal came
    bool dryRun = false;       // --dry-run: it ended after the probe, with nothing sent
    QString notRecorded;       // why its record is not in the store, and where it went instead
    RecordTags tags;           // this board's own, beside the run's: the operator's answers
    QString trace;             // the job's own trace file; empty: none
    int attempt = 1;           // the board's first job of the run, or a rerun's count
};

// A run's exit code: the first failure's, in the order the results are given;
// when every board was done, NotRecorded if the store lacks a record of one.
inline ExitCode firstFailure(const QList<BoardResult> &results)
{
    for (const BoardResult &result : results) {
        if (result.exitCode != Done)
            return result.exitCode;
    }
    for (const BoardResult &result : results) {
        if (!result.notRecorded.isEmpty())
            return NotRecorded;
    }
    return Done;
}
