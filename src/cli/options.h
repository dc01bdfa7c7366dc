#pragma once

#include "engine/jobpolicy.h"
#include "image/firmwarepin.h"
#include "link/lineoptions.h"
#include "record/recordstore.h"
#include "record/storeaddress.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

// A port and the boards on its bus, done in turn.
struct PortPlan {
    QString port;          // COM<n> in digits, or a path that begins with "/"
    QStringList addresses; // one address box text per board: empty scans, "0" skips the probe
};

// What the command line asks bootline-cli to do.
struct CliOptions {
    enum class Request {
        Run,
        Help,
        Version,
        ListPorts,
        History,
        Info,
        CreateStore,
        ImportUnrecorded
    };
    Request request = Request::Run;

    QString file;                // a firmware file to download and verify, or --info's; empty: none
    std::optional<quint32> base; // where a raw binary file's bytes go
    bool dryRun = false;         // read the file, open, probe, then stop before the first line
    QList<PortPlan> ports{
        {QStringLiteral("COM3"), {QString()}}}; // in parallel, each its own engine
    bool plain = false;                         // no Modbus RTU framing
    bool query = false;                         // print the board's version reply
    QString newAddress;                         // --set-address, 1 to 247 in decimal; empty: none
    bool install = false;
    int replyTimeoutMs = JobTiming::UnattendedReplyTimeoutMs;
    int retries = 0;
    int probeAttempts = JobTiming::ProbeAttempts; // before a board counts as missing
    bool replyPace = false; // --pace reply: the next line as soon as a reply is in
    int gapMs = 0;          // --gap: at least this long between a reply and the next line
    QString tracePath;      // "-": standard error; empty: no trace; never the HEX file
    bool json = false;
    bool watch = false;  // a station: flash each board as it comes, until a signal
    int settleMs = 1000; // --watch: a port that appeared is left alone so long first
    StoreAddress log;    // where each board's record goes, and --history reads
    int storeTimeoutMs = DefaultStoreTimeoutMs; // a record not kept by then goes to the fallback
    HistoryFilter history;                      // --history: which records
    // --history: a form other than a line a record
    bool csv = false;     // every field, as CSV for a spreadsheet
    bool summary = false; // boards, first-pass yield and job times
    QString summaryBy;    // --by: day, port, file or tag.KEY; empty: one group
    QStringList warnings; // said before anything is done, such as a password in --log
    RecordTags tags;      // --tag over the settings' tag. lines: on every board's record
    QStringList ask;      // --ask: tag keys the operator answers before each board's job
    // --trace-dir: a trace file of each board job there; empty: none.
    QString traceDir;
    bool keepDoneTraces = true; // --keep-traces all; failed: a job that ended done leaves none

    FirmwarePin pin;             // --expect-sha256, else the settings' expect-sha256=
    QString rerunOf;             // --rerun-failed: the run whose boards not done go again
    bool fileChanged = false;    // --file-changed: the rerun's file may differ from the run's
    QMap<QString, int> attempts; // a rerun's boards, by boardKey(); any other board's is 1
    // Low latency, RS-485 and the modem line sequences of every local port's job.
    LineOptions lineOptions;
    int attemptOf(const QString &port, const QString &address) const;
};

// A board of a run: its port and its address as recorded ("scan" for an empty one).
QString boardKey(const QString &port, const QString &address);

// The options, or what is wrong with them in words for the user.
std::variant<CliOptions, QString> parseCliOptions(const QStringList &arguments);

QString cliHelpText();
