#pragma once

#include "engine/jobevents.h"
#include "engine/jobfailure.h"
#include "record/jobrecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Where and when a job ran, and which face ran it: what the engine's
// JobResult does not say.
struct JobSite {
    QString jobId; // a UUID, the same on the job's "started" record and on its end
    QString runId; // a UUID, the same on every job of the run
    int attempt = 1;
    RecordTags tags;
    QString trace; // the job's trace file; empty: none
    QString face;  // "cli" or "window"
    QString port;
    QString board; // the address as the operator gave it; empty: a scan
    QString pace;  // "poll" or "reply"
    QDateTime started;
    QDateTime ended; // left out of a "started" record
    double seconds = 0;
};

// Both faces fill their records here, so that one job reads the same in the
// history whichever face ran it; each adds only what is its own.

// A job as it begins: "started", with no end, exit code, error or reply yet.
JobRecord startedRecord(const JobSite &site, const JobResult &job);
// A job at its end, as its verdict says; reply, the board's own words, is
// kept only when the job did not end done.
JobRecord endedRecord(const JobSite &site, const JobResult &job, const JobVerdict &verdict,
                      const QByteArray &reply);
