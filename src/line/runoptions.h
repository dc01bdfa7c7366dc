#pragma once

#include "engine/jobpolicy.h"
#include "image/firmwarepin.h"
#include "link/lineoptions.h"
#include "record/jobrecord.h"
#include "record/storeaddress.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// A port and the boards on its bus, done in turn.
struct PortPlan {
    QString port;          // COM<n>, a device path (a pattern for a station), or a network URL
    QStringList addresses; // one address box text per board: empty scans, "0" skips the probe
};

// How a production line runs its boards, whichever face asked for it.
struct RunOptions {
    QString file;                // a firmware file to download and verify; empty: none
    std::optional<quint32> base; // where a raw binary file's bytes go
    bool dryRun = false;         // read the file, open, probe, then stop before the first line
    QList<PortPlan> ports{{QStringLiteral("COM3"), {QString()}}}; // in parallel, each on its own
    bool plain = false;                                           // no Modbus RTU framing
    bool query = false;                                           // tell the board's version reply
    QString newAddress; // 1 to 247 in decimal; empty: none
    bool install = false;
    int replyTimeoutMs = JobTiming::UnattendedReplyTimeoutMs;
    int retries = 0;
    int probeAttempts = JobTiming::ProbeAttempts; // before a board counts as missing
    bool replyPace = false;                       // the next line as soon as a reply is in
    int gapMs = 0;       // at least this long between a reply and the next line
    int settleMs = 1000; // a station: a port that appeared is left alone so long first
    StoreAddress log;    // where each board's record goes
    int storeTimeoutMs = DefaultStoreTimeoutMs; // a record not kept by then goes to the fallback
    RecordTags tags;                            // on every board's record
    QStringList ask;             // tag keys the operator answers before each board's job
    QString traceDir;            // a trace file of each board job there; empty: none
    bool keepDoneTraces = true;  // false: a job that ended done leaves none
    FirmwarePin pin;             // the only firmware a job may flash, when set
    QString rerunOf;             // the run whose boards not done go again
    bool fileChanged = false;    // the rerun's file may differ from the run's
    QMap<QString, int> attempts; // a rerun's boards, by boardKey(); any other board's is 1
    // Low latency, RS-485 and the modem line sequences of every port's job.
    LineOptions lineOptions;

    int attemptOf(const QString &port, const QString &address) const;
};

// A board of a run: its port and its address as recorded ("scan" for an empty one).
QString boardKey(const QString &port, const QString &address);
