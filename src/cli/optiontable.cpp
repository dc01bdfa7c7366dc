#include "cli/optiontable.h"

#include "engine/jobpolicy.h"

namespace {

constexpr CliRequests StoreRequests{CliRequest::History, CliRequest::CreateStore,
                                    CliRequest::ImportUnrecorded};

CliOption runOption(QStringList names, QString valueName, QString help,
                    HelpSection section = HelpSection::Run, CliRequests takenBy = RunsOfBoards)
{
    return {std::move(names), std::move(valueName), std::move(help), section, takenBy, {}, {}};
}

// An option that a settings-file line of the same name may give instead.
CliOption setting(CliOption option, CliRequests readBy = RunsOfBoards, const QString &key = {})
{
    option.settingsKey = key.isEmpty() ? option.longName() : key;
    option.settingsReadBy = readBy;
    return option;
}

CliOption historyOption(QString name, QString valueName, QString help)
{
    return {{std::move(name)},
            std::move(valueName),
            std::move(help),
            HelpSection::History,
            CliRequest::History,
            {},
            {}};
}

QList<CliOption> runOptions()
{
    return {
        runOption({"p", "port"}, "PORTS",
                  "COM<n>, n in digits from 1 (an alias on Linux), a device path that begins "
                  "with /, such as /dev/ttyUSB0, or a serial device server as socket://HOST:PORT "
                  "(raw TCP) or rfc2217://HOST:PORT (Telnet COM port control). Default COM3. "
                  "Several ports, comma-separated, run at once; PORT@LIST gives a port its own "
                  "addresses, such as /dev/ttyUSB0@1-4,/dev/ttyUSB1@1,3. With --history: one "
                  "port's records.",
                  HelpSection::Run, {CliRequest::Run, CliRequest::Station, CliRequest::History}),
        runOption({"a", "address"}, "LIST",
                  "The board's address 1-247, or a list such as 1,3,5-8 for the same job on each "
                  "board in turn; scan finds the first board from 1 up; 0 opens without probing. "
                  "Default scan.",
                  HelpSection::Run, {CliRequest::Run, CliRequest::Station}),
        runOption({"plain"}, {}, "No Modbus RTU framing."),
        runOption({"query"}, {}, "Probe, print the board's version reply."),
        runOption({"set-address"}, "N",
                  "Give the board the new address N, 1-247; later commands go there.",
                  HelpSection::Run, {CliRequest::Run, CliRequest::Station}),
        runOption({"install"}, {},
                  "Tell the board to start its firmware: after the download, or alone."),
        runOption({"dry-run"}, {},
                  "Read and check FILE, open the port, probe the board and print its version, "
                  "then stop before the first line goes out. Nothing is written to the board or "
                  "the store.",
                  HelpSection::Run, CliRequest::Run),
        setting(runOption({"expect-sha256"}, "HEX",
                          "Refuse any FILE whose SHA-256 is not HEX (64 hex digits), before a "
                          "port is opened: only the released firmware goes out.")),
        runOption({"base"}, "ADDRESS",
                  "Where the first byte of a raw binary FILE goes (0x08000000, or in decimal). "
                  "Required for a binary image, refused for any other: Intel HEX, S-record and "
                  "ELF files say where their data goes.",
                  HelpSection::Run, RunsOfBoards | CliRequest::Info),
        setting(runOption({"reply-timeout"}, "MS",
                          QStringLiteral("How long to wait for the reply to a line (default %1).")
                              .arg(JobTiming::UnattendedReplyTimeoutMs))),
        setting(runOption({"retries"}, "N",
                          "Send a line again when its reply did not come, up to N times "
                          "(default 0).")),
        setting(runOption({"probe-attempts"}, "N",
                          QStringLiteral("Probe a board up to N times, %1 ms apart, before it "
                                         "counts as missing; a scan tries the addresses 1 to N "
                                         "(default %2, as the window).")
                              .arg(JobTiming::ProbeEveryMs)
                              .arg(JobTiming::ProbeAttempts))),
        setting(runOption({"pace"}, "poll|reply",
                          QStringLiteral("poll: replies are taken by the %1 ms poll, as in the "
                                         "window (the default); reply: the next line goes out "
                                         "as soon as a reply is in.")
                              .arg(JobTiming::PollEveryMs))),
        setting(runOption({"gap"}, "MS",
                          "With --pace reply: at least this long between a reply and the next "
                          "line (default 0).")),
        runOption({"trace"}, "FILE",
                  "Write every frame out and every chunk in to FILE (- for standard error). A "
                  "trace file begins with a line \"# bootline-cli trace\"; an existing FILE is "
                  "replaced only when it is empty or such a trace, and never when it is the "
                  "firmware file."),
        runOption({"trace-dir"}, "DIR",
                  "Write a trace of each board job to a file of its own in DIR (made when "
                  "missing), named by the job's start (UTC), port and board, such as "
                  "20261208T190007.123Z_COM21_board-1.trace; a name taken gets -2, -3. The "
                  "board's record names its trace file."),
        runOption({"keep-traces"}, "failed|all",
                  "With --trace-dir: failed removes the trace of a job that ended done, all "
                  "keeps every trace (default failed with --watch, all otherwise)."),
        runOption({"json"}, {},
                  "Progress and results as JSON lines on standard output; with --history and "
                  "--info, the records or the file's summary as JSON.",
                  HelpSection::Run, RunsOfBoards | CliRequest::History | CliRequest::Info),
        setting(runOption({"tag"}, "KEY=VALUE",
                          "Repeatable: put this tag (operator, order, lot...) on every board's "
                          "record, as tag.KEY=VALUE lines in the settings file do (this wins); "
                          "with --history, only the records that carry it. KEY holds letters, "
                          "digits, _, - and .",
                          HelpSection::Run, RunsOfBoards | CliRequest::History),
                RunsOfBoards, "tag.KEY"),
        runOption({"ask"}, "KEY",
                  "Repeatable: before each board's job, ask the operator on the terminal for "
                  "this tag (a serial number, say: typed, or scanned with Enter), as \"COM21 "
                  "board 1: serial? \"; an empty answer records none. Standard input must be a "
                  "terminal."),
    };
}

// Windows has no call for either: both are the adapter driver's settings.
#ifdef Q_OS_WIN
const char *const LowLatencyHelp =
    "Changes nothing on Windows: a USB adapter's latency timer (16 ms on most) is its driver's "
    "latency setting, in the port's advanced settings in Device Manager (1 ms for low latency).";
const char *const Rs485Help =
    "Refused on Windows, where the port fails to open: RS-485 mode is set in the adapter's "
    "driver settings. A USB RS-485 adapter switches by itself and needs none of it.";
#else
const char *const LowLatencyHelp =
    "Leave a USB adapter's latency timer as it is (16 ms on most) instead of asking its driver "
    "for low latency (1 ms). Ports without the setting are left as they are either way.";
const char *const Rs485Help =
    "Put the port in the kernel's RS-485 mode, for a built-in RS-485 UART: the driver raises RTS "
    "to turn the transmitter on while it sends. A port without the mode fails to open; a USB "
    "RS-485 adapter switches by itself and needs none of it.";
#endif

QList<CliOption> lineOptions()
{
    return {
        setting(runOption({"no-low-latency"}, {}, LowLatencyHelp, HelpSection::Line), RunsOfBoards,
                "low-latency"),
        setting(runOption({"rs485"}, {}, Rs485Help, HelpSection::Line)),
        setting(runOption({"rs485-delays"}, "BEFORE,AFTER",
                          "With --rs485: RTS goes up BEFORE ms before sending and down AFTER ms "
                          "after it, each 0 to 1000 (default 0,0).",
                          HelpSection::Line)),
        setting(runOption({"before"}, "SEQ",
                          "Drive the adapter's modem lines once the port is open, before the "
                          "first question to the board: dtr, -dtr, rts, -rts and wait:MS (0 to "
                          "10000) separated by commas, such as -dtr,rts,wait:100,-rts. reset "
                          "stands for -dtr,rts,wait:100,-rts,wait:50, a pulse on RTS for the "
                          "board's reset pin with DTR, its boot pin, let go. A port that cannot "
                          "drive its lines fails to open.",
                          HelpSection::Line)),
        setting(runOption({"after"}, "SEQ",
                          "The same, once the job has ended, done or not, before the port "
                          "closes: reset starts the new firmware.",
                          HelpSection::Line)),
    };
}

QList<CliOption> stationAndRerunOptions()
{
    return {
        runOption({"watch"}, {},
                  "Run until Ctrl-C, and flash each board that comes on a port of -p (which may "
                  "hold patterns such as /dev/serial/by-id/usb-*): a port that appears, once it "
                  "settles, is probed until a board answers; after its job, the board must leave "
                  "(stop answering, or its port go away) before the next one on that port is "
                  "flashed.",
                  HelpSection::Station, CliRequest::Station),
        runOption({"settle"}, "MS",
                  "How long a port that appeared is left alone before the first probe (default "
                  "1000).",
                  HelpSection::Station, CliRequest::Station),
        runOption({"rerun-failed"}, "ID",
                  "Run again the boards of run ID (the run id of --history) whose last job did "
                  "not end done, each on its port and address, under the same run id; with the "
                  "run's file, or FILE. Give --plain, --install and the like again, as the run "
                  "had them.",
                  HelpSection::RerunFailed, CliRequest::RerunFailed),
        runOption({"file-changed"}, {},
                  "FILE differs from the file the run flashed, and that is meant.",
                  HelpSection::RerunFailed, CliRequest::RerunFailed),
    };
}

QList<CliOption> recordOptions()
{
    return {
        setting(runOption({"log"}, "STORE",
                          "Where each board's record goes: a SQLite file (default "
                          "~/.local/share/bootline/history.sqlite), "
                          "postgresql://user@host[:port]/db[?sslmode=require] over TCP (the "
                          "password in ~/.pgpass), postgresql://user@/db over the server's local "
                          "socket (?host=/folder names another socket folder), or none. A record "
                          "the store cannot take goes to unrecorded.jsonl beside it, and the run "
                          "ends with exit code 7.",
                          HelpSection::Records, RunsOfBoards | StoreRequests),
                RunsOfBoards | StoreRequests),
        setting(runOption({"store-timeout"}, "MS",
                          "How long a record may take to reach the store before it is kept in "
                          "unrecorded.jsonl instead (default 10000); the jobs never wait for it.",
                          HelpSection::Records, RunsOfBoards | StoreRequests),
                RunsOfBoards | StoreRequests),
        runOption({"create-store"}, {},
                  "Make the tables of the store --log names, or bring them up to date, and exit; "
                  "for PostgreSQL, run it once, as a role that may create tables.",
                  HelpSection::Records, CliRequest::CreateStore),
        runOption({"import-unrecorded"}, {},
                  "Move the records that wait in unrecorded.jsonl beside the store --log names "
                  "into that store, and exit; lines that are not a record, and records the store "
                  "does not take, stay in the file (exit code 7).",
                  HelpSection::Records, CliRequest::ImportUnrecorded),
    };
}

QList<CliOption> historyOptions()
{
    return {
        historyOption("history", {},
                      "Print the records of the store --log names, newest first, and exit."),
        historyOption("since", "DATE", "Records from this day (YYYY-MM-DD, UTC) or time on."),
        historyOption("until", "DATE",
                      "Jobs begun before this time, or up to the end of this day (UTC)."),
        historyOption("failed", {}, "Only the jobs that did not end done."),
        historyOption("board", "ADDRESS", "One address's jobs, as recorded (5, scan, 0)."),
        historyOption("sha256", "PREFIX",
                      "The jobs of the file whose SHA-256 begins so (1-64 hex digits)."),
        historyOption("run", "ID", "One run's jobs, by its id."),
        historyOption("limit", "N",
                      "The newest N jobs only, for the list, --csv and --summary alike."),
        historyOption("csv", {},
                      "Every field as CSV, a tag.KEY column for each tag. A text that begins "
                      "with =, +, -, @, TAB or CR gets a leading ' so that no spreadsheet runs it "
                      "as a formula."),
        historyOption("summary", {},
                      "Boards, done, failed, first-pass yield and the median and "
                      "95th-percentile seconds of the jobs read (one JSON object with --json). A "
                      "board is one run's jobs on one port and address: a job of attempt 1 "
                      "begins one, a rerun joins it; it is done when its last job is, first pass "
                      "when its first is. Times are of the jobs tried that ended."),
        historyOption("by", "day|port|file|tag.KEY",
                      "With --summary: a line each day (UTC, of a board's first job), port, file "
                      "(its name) or value of tag KEY, and a total."),
    };
}

QList<CliOption> otherOptions()
{
    return {
        runOption({"info"}, {},
                  "Print what FILE holds, without opening a port, and exit: records, data bytes, "
                  "the address ranges filled, the start address, its SHA-256 and the CRC-32 of "
                  "the data in address order. Overlapping data is refused as a bad file.",
                  HelpSection::Info, CliRequest::Info),
        runOption({"list-ports"}, {}, "List the serial ports present, and exit.", HelpSection::Info,
                  CliRequest::ListPorts),
        runOption({"config"}, "FILE",
                  "Read the settings from this file instead of the window's "
                  "(~/.config/bootline/bootline.conf); options given here win.",
                  HelpSection::General, RunsOfBoards | StoreRequests),
    };
}

// --config names the keys that each kind of request reads.
void describeSettingsKeys(QList<CliOption> &options)
{
    QStringList forRuns;
    QStringList forStores;
    for (const CliOption &option : options) {
        if (option.settingsReadBy.testFlag(CliRequest::Run))
            forRuns << option.settingsKey;
        if (option.settingsReadBy.testFlag(CliRequest::History))
            forStores << option.settingsKey;
    }
    for (CliOption &option : options) {
        if (option.longName() == QStringLiteral("config"))
            option.help += QStringLiteral(" A run, a station and --rerun-failed read %1 lines; "
                                          "--history and the store requests read %2.")
                               .arg(forRuns.join(QStringLiteral(", ")),
                                    forStores.join(QStringLiteral(" and ")));
    }
}

} // namespace

const QList<CliOption> &cliOptions()
{
    static const QList<CliOption> options = [] {
        QList<CliOption> all = runOptions() + lineOptions() + stationAndRerunOptions() +
                               recordOptions() + historyOptions() + otherOptions();
        describeSettingsKeys(all);
        return all;
    }();
    return options;
}
