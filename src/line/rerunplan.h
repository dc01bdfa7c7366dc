#pragma once

#include "line/runoptions.h"
#include "record/jobrecord.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

// What a run left to do, from its records: the boards whose latest job did
// not end done, to be run again under the same run id.
struct RerunPlan {
    QList<PortPlan> ports;       // in the order the run first used them; addresses likewise
    QMap<QString, int> attempts; // by boardKey(): the board's highest attempt so far + 1
    int boardsDone = 0;          // boards whose latest job ended done, left alone
    QString file;                // the run's firmware, as its newest record names it; may be empty
    QByteArray sha256;           // that record's hash of it
};

// records: every job of one run (one record a job), in any order.
RerunPlan planRerun(QList<JobRecord> records);

// The run's jobs as the store has them, with what waits beside it (the
// fallback file's lines, each job's "started" and end): a job whose end is
// only there is judged by it, and a job the store never saw is not left out.
QList<JobRecord> withWaitingRecords(QList<JobRecord> stored, const QList<JobRecord> &waiting,
                                    const QString &runId);
