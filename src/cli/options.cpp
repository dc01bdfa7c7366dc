#include "cli/options.h"

#include "link/porttarget.h"

#include "image/firmwarefile.h"
#include "line/portwatch.h"
#include "link/lineoptionstext.h"
#include "link/networkaddress.h"
#include "record/historysummary.h"
#include "record/historytext.h"
#include "record/tagtext.h"
#include "shared/numberranges.h"
#include "shared/settingsfile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

constexpr int HighestAddress = 247;      // the last one Modbus gives to a device
constexpr int HighestPortNumber = 32767; // the engine keeps port numbers in 16 bits
constexpr int MostProbeAttempts =
    JobTiming::ProbeAttempts; // a scan probes one address each time, from 1
constexpr int MinimumStoreTimeoutMs = 100;
constexpr int MaximumStoreTimeoutMs = 600000;

QString option(const char *name)
{
    return QString::fromLatin1(name);
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Loads firmware into boards through their resident loader, over a serial "
        "line: download, verify, and optionally a new bus address and the install command.\n"
        "Exit codes: 0 done, 1 bad usage, 2 file refused, 3 port could not be opened or was "
        "lost, 4 no board answered, 5 the board answered ERROR or FORMAT, 6 no reply in time "
        "or replies out of step, 7 done but not recorded in the store (or --history could not "
        "read it), 129 hung up, 130 interrupted, 143 terminated."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Firmware to download and verify: Intel HEX "
                                                "(sent as it stands), Motorola S-record, ELF or "
                                                "raw binary (converted to Intel HEX records)."),
                                 QStringLiteral("[FILE]"));
    parser.addOptions({
        {{QStringLiteral("p"), option("port")},
         QStringLiteral("COM<n>, n in digits from 1 (an alias on Linux), a device path that "
                        "begins with /, such as /dev/ttyUSB0, or a serial device server as "
                        "socket://HOST:PORT (raw TCP) or rfc2217://HOST:PORT (Telnet COM port "
                        "control). Default COM3. Several ports, "
                        "comma-separated, run at once; PORT@LIST gives a port its own "
                        "addresses, such as /dev/ttyUSB0@1-4,/dev/ttyUSB1@1,3."),
         QStringLiteral("PORTS")},
        {{QStringLiteral("a"), option("address")},
         QStringLiteral("The board's address 1-247, or a list such as 1,3,5-8 for the same job "
                        "on each board in turn; scan finds the first board from 1 up; 0 opens "
                        "without probing. Default scan."),
         QStringLiteral("LIST")},
        {option("plain"), QStringLiteral("No Modbus RTU framing.")},
        {option("query"), QStringLiteral("Probe, print the board's version reply.")},
        {option("set-address"),
         QStringLiteral("Give the board the new address N, 1-247; later commands go there."),
         QStringLiteral("N")},
        {option("install"),
         QStringLiteral("Tell the board to start its firmware: after the download, or alone.")},
        {option("reply-timeout"),
         QStringLiteral("How long to wait for the reply to a line (default %1).")
             .arg(JobTiming::UnattendedReplyTimeoutMs),
         QStringLiteral("MS")},
        {option("retries"),
         QStringLiteral("Send a line again when its reply did not come, up to N times (default "
                        "0)."),
         QStringLiteral("N")},
        {option("probe-attempts"),
         QStringLiteral("Probe a board up to N times, %1 ms apart, before it counts as missing; "
                        "a scan tries the addresses 1 to N (default %2, as the window).")
             .arg(JobTiming::ProbeEveryMs)
             .arg(JobTiming::ProbeAttempts),
         QStringLiteral("N")},
        {option("pace"),
         QStringLiteral("poll: replies are taken by the %1 ms poll, as in the window (the "
                        "default); reply: the next line goes out as soon as a reply is in.")
             .arg(JobTiming::PollEveryMs),
         QStringLiteral("poll|reply")},
        {option("gap"),
         QStringLiteral("With --pace reply: at least this long between a reply and the next "
                        "line (default 0)."),
         QStringLiteral("MS")},
        {option("no-low-latency"),
         QStringLiteral("Leave a USB adapter's latency timer as it is (16 ms on most) instead of "
                        "asking its driver for low latency (1 ms). Ports without the setting are "
                        "left as they are either way.")},
        {option("rs485"),
         QStringLiteral("Put the port in the kernel's RS-485 mode, for a built-in RS-485 UART: the "
                        "driver raises RTS to turn the transmitter on while it sends. A port "
                        "without the mode fails to open; a USB RS-485 adapter switches by itself "
                        "and needs none of it.")},
        {option("rs485-delays"),
         QStringLiteral("With --rs485: RTS goes up BEFORE ms before sending and down AFTER ms "
                        "after it, each 0 to 1000 (default 0,0). Refused without --rs485."),
         QStringLiteral("BEFORE,AFTER")},
        {option("before"),
         QStringLiteral("Drive the adapter's modem lines once the port is open, before the first "
                        "question to the board: dtr, -dtr, rts, -rts and wait:MS (0 to 10000) "
                        "separated by commas, such as -dtr,rts,wait:100,-rts. reset stands for "
                        "-dtr,rts,wait:100,-rts,wait:50, a pulse on RTS for the board's reset "
                        "pin with DTR, its boot pin, let go. A port that cannot drive its lines "
                        "fails to open."),
         QStringLiteral("SEQ")},
        {option("after"),
         QStringLiteral("The same, once the job has ended, done or not, before the port closes: "
                        "reset starts the new firmware."),
         QStringLiteral("SEQ")},
        {option("trace"),
         QStringLiteral("Write every frame out and every chunk in to FILE (- for standard "
                        "error). A trace file begins with a line \"# bootline-cli trace\"; an "
                        "existing FILE is replaced only when it is empty or such a trace, and "
                        "never when it is the HEX file."),
         QStringLiteral("FILE")},
        {option("trace-dir"),
         QStringLiteral("Write a trace of each board job to a file of its own in DIR (made when "
                        "missing), named by the job's start (UTC), port and board, such as "
                        "20261208T190007.123Z_COM21_board-1.trace; a name taken gets -2, -3. "
                        "The board's record names its trace file."),
         QStringLiteral("DIR")},
        {option("keep-traces"),
         QStringLiteral("With --trace-dir: failed removes the trace of a job that ended done, "
                        "all keeps every trace (default failed with --watch, all otherwise)."),
         QStringLiteral("failed|all")},
        {option("json"), QStringLiteral("Progress and results as JSON lines on standard output.")},
        {option("tag"),
         QStringLiteral("KEY=VALUE, repeatable: put this tag (operator, order, lot...) on every "
                        "board's record, as tag.KEY=VALUE lines in the settings file do (this "
                        "wins); with --history, only the records that carry it. KEY holds "
                        "letters, digits, _, - and ."),
         QStringLiteral("KEY=VALUE")},
        {option("ask"),
         QStringLiteral("KEY, repeatable: before each board's job, ask the operator on the "
                        "terminal for this tag (a serial number, say: typed, or scanned with "
                        "Enter), as \"COM21 board 1: serial? \"; an empty answer records none. "
                        "Standard input must be a terminal."),
         QStringLiteral("KEY")},
        {option("config"),
         QStringLiteral("Read pace, gap, retries, reply-timeout, probe-attempts, log, "
                        "store-timeout, expect-sha256, tag.KEY, low-latency, rs485, "
                        "rs485-delays, before and after lines from this settings file "
                        "instead of the window's (~/.config/bootline/bootline.conf); options "
                        "given here win."),
         QStringLiteral("FILE")},
        {option("watch"),
         QStringLiteral("A station: run until Ctrl-C, and flash each board that comes on a "
                        "port of -p (which may hold patterns such as /dev/serial/by-id/usb-*): a "
                        "port that appears, once it settles, is probed until a board answers; "
                        "after its job, the board must leave (stop answering, or its port go "
                        "away) before the next one on that port is flashed.")},
        {option("settle"),
         QStringLiteral("With --watch: how long a port that appeared is left alone before the "
                        "first probe (default 1000)."),
         QStringLiteral("MS")},
        {option("log"),
         QStringLiteral("Where each board's record goes: a SQLite file (default "
                        "~/.local/share/bootline/history.sqlite), "
                        "postgresql://user@host/db[?sslmode=require] (the password in "
                        "~/.pgpass), or none. A record the store cannot take goes to "
                        "unrecorded.jsonl beside it, and the run ends with exit code 7."),
         QStringLiteral("STORE")},
        {option("store-timeout"),
         QStringLiteral("How long a record may take to reach the store before it is kept in "
                        "unrecorded.jsonl instead (default 10000); the jobs never wait for it."),
         QStringLiteral("MS")},
        {option("create-store"),
         QStringLiteral("Make the tables of the PostgreSQL store --log names, or bring them up "
                        "to date, and exit; run it once, as a role that may create tables.")},
        {option("import-unrecorded"),
         QStringLiteral("Move the records that wait in unrecorded.jsonl beside the store --log "
                        "names into that store, and exit; lines that are not a record, and "
                        "records the store does not take, stay in the file (exit code 7).")},
        {option("history"),
         QStringLiteral("Print the records of the store --log names, newest first (JSON lines "
                        "with --json), and exit; -p NAME shows one port's.")},
        {option("since"),
         QStringLiteral("With --history: records from this day (YYYY-MM-DD, UTC) or time on."),
         QStringLiteral("DATE")},
        {option("failed"), QStringLiteral("With --history: only the jobs that did not end done.")},
        {option("until"),
         QStringLiteral("With --history: jobs begun before this time, or up to the end of this "
                        "day (UTC)."),
         QStringLiteral("DATE")},
        {option("board"),
         QStringLiteral("With --history: one address's jobs, as recorded (5, scan, 0)."),
         QStringLiteral("ADDRESS")},
        {option("sha256"),
         QStringLiteral("With --history: the jobs of the file whose SHA-256 begins so (1-64 hex "
                        "digits)."),
         QStringLiteral("PREFIX")},
        {option("run"), QStringLiteral("With --history: one run's jobs, by its id."),
         QStringLiteral("ID")},
        {option("limit"),
         QStringLiteral("With --history: the newest N jobs only, for the list, --csv and "
                        "--summary alike."),
         QStringLiteral("N")},
        {option("csv"),
         QStringLiteral("With --history: every field as CSV, a tag.KEY column for each tag. A "
                        "text that begins with =, +, -, @, TAB or CR gets a leading ' so that no "
                        "spreadsheet runs it as a formula.")},
        {option("summary"),
         QStringLiteral("With --history: boards, done, failed, first-pass yield and the median "
                        "and 95th-percentile seconds of the jobs read (one JSON object with "
                        "--json). A board is one run's jobs on one port and address: a job of "
                        "attempt 1 begins one, a rerun joins it; it is done when its last job "
                        "is, first pass when its first is. Times are of the jobs tried that "
                        "ended.")},
        {option("by"),
         QStringLiteral("With --summary: a line each day (UTC, of a board's first job), port, "
                        "file (its name) or value of tag KEY, and a total."),
         QStringLiteral("day|port|file|tag.KEY")},
        {option("list-ports"), QStringLiteral("List the serial ports present, and exit.")},
        {option("expect-sha256"),
         QStringLiteral("Refuse any FILE whose SHA-256 is not HEX (64 hex digits), before a port "
                        "is opened: only the released firmware goes out. Also expect-sha256= "
                        "in the settings file; this wins."),
         QStringLiteral("HEX")},
        {option("rerun-failed"),
         QStringLiteral("Run again the boards of run ID (the run id of --history) whose last "
                        "job did not end done, each on its port and address, under the same "
                        "run id; with the run's file, or FILE. The run's records say which "
                        "boards: no -p, -a, --watch, --dry-run or --set-address. Give --plain, "
                        "--install and the like again, as the run had them."),
         QStringLiteral("ID")},
        {option("file-changed"),
         QStringLiteral("With --rerun-failed: FILE differs from the file the run flashed, and "
                        "that is meant.")},
        {option("info"),
         QStringLiteral("Print what FILE holds, without opening a port, and exit: records, data "
                        "bytes, the address ranges filled, the start address, its SHA-256 and "
                        "the CRC-32 of the data in address order (one JSON object with --json). "
                        "Overlapping data is refused as a bad file.")},
        {option("base"),
         QStringLiteral("Where the first byte of a raw binary FILE goes (0x08000000, or in "
                        "decimal). Required for a binary image, refused for any other: Intel "
                        "HEX, S-record and ELF files say where their data goes."),
         QStringLiteral("ADDRESS")},
        {option("dry-run"),
         QStringLiteral("Read and check FILE, open the port, probe the board and print its "
                        "version, then stop before the first line goes out. Nothing is written "
                        "to the board or the store.")},
    });
    parser.addHelpOption();
    parser.addVersionOption();
}

// An option's value: from the command line, else from the settings file.
struct Given {
    QString text;
    bool inSettings = false;
    bool isSet() const { return inSettings || !text.isNull(); }
};

class Sources {
public:
    Sources(const QCommandLineParser &parser, const QSettings *settings)
        : m_parser(parser), m_settings(settings)
    {
    }

    Given given(const char *name) const
    {
        if (m_parser.isSet(option(name)))
            return {m_parser.value(option(name))};
        if (m_settings && m_settings->contains(option(name)))
            return {settingText(*m_settings, option(name)), true};
        return {};
    }

    // What is wrong with a value, named where it was given.
    QString refusal(const char *name, const Given &given, const QString &rule) const
    {
        if (given.inSettings)
            return QStringLiteral("%1: %2=%3: %2 takes %4")
                .arg(m_settings->fileName(), option(name), given.text, rule);
        return QStringLiteral("--%1 takes %2, not \"%3\"").arg(option(name), rule, given.text);
    }

    QString settingsFile() const { return m_settings ? m_settings->fileName() : QString(); }

private:
    const QCommandLineParser &m_parser;
    const QSettings *m_settings;
};

// Reads the value into target when it is given; says what is wrong with it, if anything.
QString readWholeNumber(const Sources &sources, const char *name, int lowest, int highest,
                        int &target)
{
    const Given given = sources.given(name);
    if (!given.isSet())
        return {};
    bool ok = false;
    const int value = given.text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return sources.refusal(
            name, given, QStringLiteral("a whole number from %1 to %2").arg(lowest).arg(highest));
    target = value;
    return {};
}

// COM<n> in digits, a device path or a network port. The window reads any
// other name as COM and a number from its fourth character ("ACM3" and "usb3"
// are COM3 there, "COM3.5" is COM4): a script that meant another device must
// not flash that one.
QString checkPortName(const QString &name)
{
    static const QRegularExpression comDigits(QStringLiteral("^COM([0-9]+)$"));
    const auto target = portTargetOfName(name);
    if (const auto *known = std::get_if<PortTarget>(&target);
        known && known->kind != PortTarget::Kind::Number)
        return {};
    if (isNetworkPortName(name))
        return QStringLiteral("--port: %1").arg(std::get<QString>(target));
    const QRegularExpressionMatch match = comDigits.match(name);
    bool ok = false;
    const int number = match.hasMatch() ? match.captured(1).toInt(&ok) : 0;
    if (ok && number >= 1 && number <= HighestPortNumber)
        return {};
    return QStringLiteral("--port takes %1, with n in digits from 1 to %2 and a path that begins "
                          "with /; not \"%3\"")
        .arg(portNameForms())
        .arg(HighestPortNumber)
        .arg(name);
}

// The trace must not take the place of the firmware it is about, by any name.
QString checkTracePath(const QString &tracePath, const QString &file)
{
    if (tracePath == QStringLiteral("-") || file.isEmpty())
        return {};
    const QString traceTarget = QFileInfo(tracePath).canonicalFilePath();
    if (traceTarget.isEmpty() || traceTarget != QFileInfo(file).canonicalFilePath())
        return {};
    return QStringLiteral("--trace %1 is the HEX file %2: the trace would replace the firmware. "
                          "Give the trace a file of its own")
        .arg(tracePath, file);
}

// The address box text for each board.
std::variant<QStringList, QString> addressTexts(const QString &list)
{
    const QString text = list.trimmed();
    if (text == QStringLiteral("scan"))
        return QStringList{QString()};
    if (text == QStringLiteral("0"))
        return QStringList{text};
    const QString refusal = QStringLiteral("--address takes scan, 0, or addresses 1 to %1 each "
                                           "once, such as 1,3,5-8; not \"%2\"")
                                .arg(HighestAddress)
                                .arg(list);
    const std::optional<QList<NumberRange>> ranges = parseNumberRanges(text);
    if (!ranges)
        return refusal;
    QStringList addresses;
    for (const NumberRange &range : *ranges) {
        for (int address = range.first; address <= range.last; ++address) {
            if (address > HighestAddress || addresses.contains(QString::number(address)))
                return refusal;
            addresses.append(QString::number(address));
        }
    }
    return addresses;
}

// The settings file, where one is: the window's, or the one --config names.
QString openSettings(const QCommandLineParser &parser, std::optional<QSettings> &settings)
{
    const QString settingsFile =
        parser.isSet(option("config")) ? parser.value(option("config")) : bootlineSettingsFile();
    if (!parser.isSet(option("config")) && !QFileInfo::exists(settingsFile))
        return {};
    settings.emplace(settingsFile, QSettings::IniFormat);
    if (!QFileInfo(settingsFile).isReadable() || settings->status() != QSettings::NoError)
        return QStringLiteral("cannot read the settings file %1: it is not there, cannot be "
                              "opened, or is not in INI form")
            .arg(settingsFile);
    return {};
}

// A password on the command line is in the process list for the whole run;
// one in a settings file is for the file's owner alone.
QString readStoreAddress(const Sources &sources, StoreAddress &target, QStringList &warnings)
{
    Given given = sources.given("log");
    if (!given.isSet())
        return {};
    auto address = parseStoreAddress(given.text);
    given.text = withoutPassword(given.text);
    if (const QString *error = std::get_if<QString>(&address))
        return sources.refusal("log", given,
                               QStringLiteral("a SQLite file, "
                                              "postgresql://user@host/db or none "
                                              "(%1)")
                                   .arg(*error));
    target = std::get<StoreAddress>(address);
    if (target.password.isEmpty())
        return {};
    if (given.inSettings)
        return passwordFileExposure(sources.settingsFile());
    warnings << QStringLiteral("the password in --log can be seen by every user of this machine "
                               "while the run lasts: keep it in ~/.pgpass instead");
    return {};
}

// The store, and how long a record may take to reach it.
QString readStoreOptions(const Sources &sources, CliOptions &options)
{
    for (const QString &error : {readStoreAddress(sources, options.log, options.warnings),
                                 readWholeNumber(sources, "store-timeout", MinimumStoreTimeoutMs,
                                                 MaximumStoreTimeoutMs, options.storeTimeoutMs)}) {
        if (!error.isEmpty())
            return error;
    }
    return {};
}

// The same, for a request that reads nothing else from the settings file.
QString readStoreOptions(const QCommandLineParser &parser, CliOptions &options)
{
    std::optional<QSettings> settings;
    if (QString error = openSettings(parser, settings); !error.isEmpty())
        return error;
    return readStoreOptions(Sources(parser, settings ? &*settings : nullptr), options);
}

constexpr int MostHistoryJobs = 10000000;

// --until: a day takes in the whole of it; a time is the first left out.
QString readUntil(const QCommandLineParser &parser, HistoryFilter &filter)
{
    const QString text = parser.value(option("until"));
    const std::optional<QDateTime> until = parseSince(text);
    if (!until)
        return QStringLiteral("--until takes a day such as 2026-12-08, or a time such as "
                              "2026-12-08T09:30 (UTC), not \"%1\"")
            .arg(text);
    // A day alone, as parseSince reads it: QDate would take the date of a time too.
    const bool wholeDay = text.trimmed().size() == 10;
    filter.until = wholeDay ? until->addDays(1) : *until;
    return {};
}

// --board: "scan", "0" or an address, matched as the records keep it (the
// window keeps its box's text: "05" is not "5" there).
QString readBoard(const QCommandLineParser &parser, HistoryFilter &filter)
{
    const QString text = parser.value(option("board")).trimmed();
    bool ok = false;
    const int address = text.toInt(&ok);
    if (text == QStringLiteral("scan") || (ok && address >= 0 && address <= HighestAddress))
        filter.board = text;
    else
        return QStringLiteral("--board takes an address from 0 to %1 or scan, not \"%2\"")
            .arg(HighestAddress)
            .arg(parser.value(option("board")));
    return {};
}

QString readShaPrefix(const QCommandLineParser &parser, HistoryFilter &filter)
{
    static const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]{1,64}$"));
    const QString text = parser.value(option("sha256"));
    if (!hexDigits.match(text).hasMatch())
        return QStringLiteral("--sha256 takes the first 1 to 64 hex digits of a file's SHA-256, "
                              "not \"%1\"")
            .arg(text);
    filter.sha256Prefix = text.toLower();
    return {};
}

// The --tag options over the tags there already (the settings'), which they
// win over; one key given two values here is a slip, and is refused.
QString readCommandLineTags(const QCommandLineParser &parser, RecordTags &tags)
{
    RecordTags given;
    for (const QString &text : parser.values(option("tag"))) {
        const auto tag = parseTag(text);
        if (!tag)
            return QStringLiteral("--tag takes KEY=VALUE, KEY of letters, digits, _, - and . and "
                                  "VALUE not empty, not \"%1\"")
                .arg(text);
        if (given.contains(tag->first) && given.value(tag->first) != tag->second)
            return QStringLiteral("--tag gives %1 two values: a record has one").arg(tag->first);
        given.insert(tag->first, tag->second);
    }
    tags.insert(given);
    return {};
}

// Each --tag must match.
QString readTagFilter(const QCommandLineParser &parser, HistoryFilter &filter)
{
    return readCommandLineTags(parser, filter.tags);
}

// The filters of --history beyond -p, --since and --failed.
QString readHistoryFilters(const QCommandLineParser &parser, HistoryFilter &filter)
{
    const std::pair<const char *, QString (*)(const QCommandLineParser &, HistoryFilter &)>
        readers[] = {{"until", readUntil},
                     {"board", readBoard},
                     {"sha256", readShaPrefix},
                     {"tag", readTagFilter}};
    for (const auto &[name, read] : readers) {
        if (!parser.isSet(option(name)))
            continue;
        if (QString error = read(parser, filter); !error.isEmpty())
            return error;
    }
    if (parser.isSet(option("run"))) {
        filter.runId = parser.value(option("run")).trimmed();
        if (filter.runId.isEmpty())
            return QStringLiteral("--run takes the id of a run, as the records show it");
    }
    if (parser.isSet(option("limit")))
        return readWholeNumber(Sources(parser, nullptr), "limit", 1, MostHistoryJobs, filter.limit);
    return {};
}

// --csv, --summary and --by: one form at a time.
QString readHistoryForm(const QCommandLineParser &parser, CliOptions &options)
{
    options.csv = parser.isSet(option("csv"));
    options.summary = parser.isSet(option("summary"));
    if (options.csv && options.json)
        return QStringLiteral("--csv and --json are two forms of the records: give one");
    if (options.csv && options.summary)
        return QStringLiteral("--summary prints a table, not CSV: leave out --csv");
    if (!parser.isSet(option("by")))
        return {};
    if (!options.summary)
        return QStringLiteral("--by is for --summary");
    options.summaryBy = parser.value(option("by"));
    if (!isSummaryGrouping(options.summaryBy))
        return QStringLiteral("--by takes day, port, file or tag.KEY (KEY of letters, digits, "
                              "_, - and .), not \"%1\"")
            .arg(options.summaryBy);
    return {};
}

// --history: the store to read, and which of its records.
std::variant<CliOptions, QString> historyOptions(const QCommandLineParser &parser,
                                                 CliOptions options)
{
    options.request = CliOptions::Request::History;
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("--history prints the records and does nothing else: leave out %1")
            .arg(parser.positionalArguments().first());
    if (const QString error = readStoreOptions(parser, options); !error.isEmpty())
        return error;
    options.json = parser.isSet(option("json"));
    options.history.port = parser.value(option("port"));
    options.history.failedOnly = parser.isSet(option("failed"));
    if (parser.isSet(option("since"))) {
        const std::optional<QDateTime> since = parseSince(parser.value(option("since")));
        if (!since)
            return QStringLiteral("--since takes a day such as 2026-12-08, or a time such as "
                                  "2026-12-08T09:30 (UTC), not \"%1\"")
                .arg(parser.value(option("since")));
        options.history.since = *since;
    }
    for (const QString &error :
         {readHistoryFilters(parser, options.history), readHistoryForm(parser, options)}) {
        if (!error.isEmpty())
            return error;
    }
    return options;
}

// --create-store: the store's tables made, and nothing else.
std::variant<CliOptions, QString> createStoreOptions(const QCommandLineParser &parser,
                                                     CliOptions options)
{
    options.request = CliOptions::Request::CreateStore;
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("--create-store makes the store's tables and does nothing else: "
                              "leave out %1")
            .arg(parser.positionalArguments().first());
    if (const QString error = readStoreOptions(parser, options); !error.isEmpty())
        return error;
    if (options.log.kind == StoreAddress::Kind::None)
        return QStringLiteral("--create-store needs the store: give --log");
    return options;
}

// --import-unrecorded: the records that wait beside the store moved into it,
// and nothing else.
std::variant<CliOptions, QString> importOptions(const QCommandLineParser &parser,
                                                CliOptions options)
{
    options.request = CliOptions::Request::ImportUnrecorded;
    const QString refusal = QStringLiteral("--import-unrecorded moves the records that wait into "
                                           "the store and does nothing else: leave out %1");
    if (!parser.positionalArguments().isEmpty())
        return refusal.arg(parser.positionalArguments().first());
    for (const char *name :
         {"port",          "address",      "plain",          "query",  "set-address", "install",
          "reply-timeout", "retries",      "probe-attempts", "pace",   "gap",         "trace",
          "trace-dir",     "keep-traces",  "json",           "tag",    "watch",       "settle",
          "history",       "create-store", "since",          "failed", "until",       "board",
          "sha256",        "run",          "limit",          "csv",    "summary",     "by",
          "info",          "base",         "dry-run"}) {
        if (parser.isSet(option(name)))
            return refusal.arg(QStringLiteral("--") + option(name));
    }
    if (const QString error = readStoreOptions(parser, options); !error.isEmpty())
        return error;
    if (options.log.kind == StoreAddress::Kind::None)
        return QStringLiteral("--import-unrecorded needs a store to move the records into, and "
                              "--log none keeps none: give --log");
    return options;
}

// --trace-dir and --keep-traces: a trace of each board job, and which stay.
QString readTraceFolder(const QCommandLineParser &parser, CliOptions &options)
{
    options.traceDir = parser.value(option("trace-dir"));
    options.keepDoneTraces = !options.watch; // a station runs all day
    const bool keepGiven = parser.isSet(option("keep-traces"));
    if (parser.isSet(option("trace-dir")) && options.traceDir.isEmpty())
        return QStringLiteral("--trace-dir takes a folder, not an empty name");
    if (!options.traceDir.isEmpty() && !options.tracePath.isEmpty())
        return QStringLiteral("--trace writes every job to one file and --trace-dir each job to "
                              "a file of its own: give one of them");
    if (keepGiven && options.traceDir.isEmpty())
        return QStringLiteral("--keep-traces says which traces of --trace-dir stay: give "
                              "--trace-dir");
    if (!keepGiven)
        return {};
    const QString keep = parser.value(option("keep-traces"));
    if (keep != QStringLiteral("failed") && keep != QStringLiteral("all"))
        return QStringLiteral("--keep-traces takes failed or all, not \"%1\"").arg(keep);
    options.keepDoneTraces = keep == QStringLiteral("all");
    return {};
}

// --base: a raw binary file's address.
QString readBase(const QCommandLineParser &parser, CliOptions &options)
{
    if (!parser.isSet(option("base")))
        return {};
    const QString text = parser.value(option("base"));
    options.base = FirmwareFile::parseAddress(text);
    if (!options.base)
        return QStringLiteral("--base takes an address from 0 to 0xFFFFFFFF, as 0x and hex "
                              "digits or in decimal, not \"%1\"")
            .arg(text);
    return {};
}

// --info: the file alone; no port is opened.
std::variant<CliOptions, QString> infoOptions(const QCommandLineParser &parser, CliOptions options)
{
    options.request = CliOptions::Request::Info;
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return QStringLiteral("--info needs one firmware file, not %1").arg(files.size());
    options.file = files.first();
    options.json = parser.isSet(option("json"));
    if (const QString error = readBase(parser, options); !error.isEmpty())
        return error;
    return options;
}

bool beginsPort(const QString &text)
{
    return text.startsWith(u'/') || text.startsWith(QStringLiteral("COM")) ||
           isNetworkPortName(text);
}

// Where a port's own address list begins, at its "@"; -1: none. A name that
// is there as it stands (/dev/serial/by-path/…@5) is a port, "@" and all;
// otherwise the list follows the last "@", as a device name may hold one.
qsizetype addressListAt(const QString &item)
{
    const qsizetype at = item.lastIndexOf(u'@');
    // A network port's list never holds a ':'; an "@" before HOST:PORT is a
    // user's, which the name check refuses without showing it.
    if (isNetworkPortName(item))
        return at >= 0 && !item.mid(at).contains(u':') ? at : -1;
    const QFileInfo whole(item);
    if (whole.exists() || whole.isSymLink())
        return -1;
    return at;
}

// The ports of "-p A,B@1-4,C@2,5": an item that is not a port name goes on the
// address list of the port before it, which must have begun one with "@".
// Ports without a list of their own take the -a list.
std::variant<QList<PortPlan>, QString> portPlans(const QString &text,
                                                 const QStringList &commonAddresses, bool watch)
{
    QList<PortPlan> plans;
    QStringList lists; // each port's own address list text; null: none
    for (const QString &item : text.split(u',')) {
        const QString trimmed = item.trimmed();
        if (!beginsPort(trimmed) && !plans.isEmpty() && !lists.last().isNull()) {
            lists.last() += u',' + trimmed;
            continue;
        }
        const qsizetype at = addressListAt(trimmed);
        const QString port = trimmed.left(at);
        if (const QString error = checkPortName(port); !error.isEmpty())
            return error;
        if (isPortPattern(port) && !watch)
            return QStringLiteral("--port %1 is a pattern: patterns are taken with --watch, "
                                  "which flashes each port that matches as it appears")
                .arg(port);
        if (std::any_of(plans.begin(), plans.end(),
                        [&port](const PortPlan &plan) { return plan.port == port; }))
            return QStringLiteral("--port names %1 twice: give each port once, with all of "
                                  "its addresses")
                .arg(port);
        if (const QString same = sameDeviceAs(plans, port); !same.isEmpty())
            return QStringLiteral("--port names one device twice, as %1 and as %2: give each "
                                  "port once, with all of its addresses")
                .arg(same, port);
        plans.append({port, commonAddresses});
        lists.append(at < 0 ? QString() : trimmed.mid(at + 1));
    }
    for (qsizetype index = 0; index < plans.size(); ++index) {
        if (lists[index].isNull())
            continue;
        const auto addresses = addressTexts(lists[index]);
        if (const QString *error = std::get_if<QString>(&addresses))
            return QStringLiteral("%1: %2").arg(plans[index].port, *error);
        plans[index].addresses = std::get<QStringList>(addresses);
    }
    return plans;
}

// The run's tags: the settings' tag. lines, then --tag, which wins per key;
// and the keys --ask asks for.
QString readTags(const QCommandLineParser &parser, const QSettings *settings, CliOptions &options)
{
    if (settings) {
        QStringList refusals;
        options.tags = settingsTags(*settings, &refusals);
        if (!refusals.isEmpty())
            return refusals.first();
    }
    if (QString error = readCommandLineTags(parser, options.tags); !error.isEmpty())
        return error;
    for (const QString &key : parser.values(option("ask"))) {
        if (!isTagKey(key))
            return QStringLiteral("--ask takes a KEY of letters, digits, _, - and ., not \"%1\"")
                .arg(key);
        if (!options.ask.contains(key))
            options.ask << key;
    }
    return {};
}

// A dry run stops where the first line would go out: whatever would change the
// board has no place in it, and there is no board to see without the probe.
QString checkDryRun(const CliOptions &options)
{
    if (!options.dryRun)
        return {};
    if (options.file.isEmpty())
        return QStringLiteral("--dry-run needs the firmware file it would download");
    if (!options.newAddress.isEmpty() || options.install)
        return QStringLiteral("--dry-run changes nothing on the board: leave out %1")
            .arg(options.install ? QStringLiteral("--install") : QStringLiteral("--set-address"));
    if (options.watch)
        return QStringLiteral("--dry-run is for one run's boards, not for a --watch station");
    for (const PortPlan &plan : options.ports) {
        if (plan.addresses.contains(QStringLiteral("0")))
            return QStringLiteral("--dry-run probes the board, and -a 0 opens without probing: "
                                  "give the board's address, or scan");
    }
    return {};
}

// Low latency, RS-485 and the modem line sequences: the command line's,
// else the settings file's. --no-low-latency and --rs485 are switches, for
// low-latency=no and rs485=yes in the file.
QString readLineOptions(const QCommandLineParser &parser, const QSettings *settings,
                        CliOptions &options)
{
    LineOptionsReader reader;
    for (const QString &key : LineOptionsReader::keys()) {
        QString given;
        if (key == QStringLiteral("low-latency"))
            given = parser.isSet(option("no-low-latency")) ? QStringLiteral("no") : QString();
        else if (key == QStringLiteral("rs485"))
            given = parser.isSet(key) ? QStringLiteral("yes") : QString();
        else if (parser.isSet(key))
            given = parser.value(key);
        if (!given.isNull()) {
            if (const QString rule = reader.read(key, given); !rule.isEmpty())
                return QStringLiteral("--%1 takes %2, not \"%3\"").arg(key, rule, given);
        } else if (settings && settings->contains(key)) {
            const QString text = settingText(*settings, key);
            if (const QString rule = reader.read(key, text); !rule.isEmpty())
                return QStringLiteral("%1: %2=%3: %2 takes %4")
                    .arg(settings->fileName(), key, text, rule);
        }
    }
    if (QString unused = reader.unusedDelays(); !unused.isEmpty())
        return unused;
    options.lineOptions = reader.options();
    return {};
}

// The pinned firmware, and --rerun-failed: the run's records say which boards,
// so nothing here may name them.
QString readPinAndRerun(const QCommandLineParser &parser, const Sources &sources,
                        CliOptions &options)
{
    if (const Given pin = sources.given("expect-sha256"); pin.isSet()) {
        const std::optional<QByteArray> sha256 = parseSha256(pin.text.trimmed());
        if (!sha256)
            return sources.refusal("expect-sha256", pin, sha256Rule());
        options.pin.sha256 = *sha256;
        options.pin.askedBy =
            pin.inSettings ? sources.settingsFile() : QStringLiteral("--expect-sha256");
    }
    options.fileChanged = parser.isSet(option("file-changed"));
    if (!parser.isSet(option("rerun-failed")))
        return options.fileChanged ? QStringLiteral("--file-changed is for --rerun-failed")
                                   : QString();
    options.rerunOf = parser.value(option("rerun-failed")).trimmed();
    if (options.rerunOf.isEmpty())
        return QStringLiteral("--rerun-failed needs the id of a run, as --history shows it");
    for (const char *name : {"port", "address", "watch", "dry-run", "set-address"}) {
        if (parser.isSet(option(name)))
            return QStringLiteral("--rerun-failed runs the boards of run %1 that were not done, "
                                  "and the run's records say which boards: leave out --%2")
                .arg(options.rerunOf, option(name));
    }
    options.ports.clear(); // filled from the records
    return {};
}

} // namespace

std::variant<CliOptions, QString> parseCliOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(arguments))
        return parser.errorText();
    CliOptions options;
    options.log = std::get<StoreAddress>(parseStoreAddress({})); // the default store
    if (parser.isSet(QStringLiteral("help")))
        options.request = CliOptions::Request::Help;
    else if (parser.isSet(QStringLiteral("version")))
        options.request = CliOptions::Request::Version;
    else if (parser.isSet(option("list-ports")))
        options.request = CliOptions::Request::ListPorts;
    if (options.request != CliOptions::Request::Run)
        return options;
    if (parser.isSet(option("ask")) &&
        (parser.isSet(option("history")) || parser.isSet(option("create-store")) ||
         parser.isSet(option("info")) || parser.isSet(option("import-unrecorded"))))
        return QStringLiteral("--ask is for a run that flashes boards");
    if (parser.isSet(option("import-unrecorded")))
        return importOptions(parser, options);
    if (parser.isSet(option("history")))
        return historyOptions(parser, options);
    if (parser.isSet(option("create-store")))
        return createStoreOptions(parser, options);
    if (parser.isSet(option("info")))
        return infoOptions(parser, options);

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return QStringLiteral("give one firmware file, not %1").arg(files.size());
    options.file = files.value(0);
    if (const QString error = readBase(parser, options); !error.isEmpty())
        return error;
    if (options.base && options.file.isEmpty())
        return QStringLiteral("--base is the address of a raw binary file: give the file");
    QStringList addresses{QString()};
    if (parser.isSet(option("address"))) {
        const auto texts = addressTexts(parser.value(option("address")));
        if (const QString *error = std::get_if<QString>(&texts))
            return *error;
        addresses = std::get<QStringList>(texts);
    }
    if (parser.isSet(option("port"))) {
        const auto ports = portPlans(parser.values(option("port")).join(u','), addresses,
                                     parser.isSet(option("watch")));
        if (const QString *error = std::get_if<QString>(&ports))
            return *error;
        options.ports = std::get<QList<PortPlan>>(ports);
    } else {
        options.ports.first().addresses = addresses;
    }
    options.plain = parser.isSet(option("plain"));
    options.query = parser.isSet(option("query"));
    options.install = parser.isSet(option("install"));
    options.dryRun = parser.isSet(option("dry-run"));
    options.json = parser.isSet(option("json"));
    options.watch = parser.isSet(option("watch"));
    options.tracePath = parser.value(option("trace"));
    if (const QString error = checkTracePath(options.tracePath, options.file); !error.isEmpty())
        return error;
    if (const QString error = readTraceFolder(parser, options); !error.isEmpty())
        return error;
    std::optional<QSettings> settings;
    if (const QString error = openSettings(parser, settings); !error.isEmpty())
        return error;
    const Sources sources(parser, settings ? &*settings : nullptr);
    int newAddress = 0;
    for (const QString &error :
         {readWholeNumber(sources, "reply-timeout", 1, 3600000, options.replyTimeoutMs),
          readWholeNumber(Sources(parser, nullptr), "set-address", 1, HighestAddress, newAddress),
          readWholeNumber(sources, "retries", 0, 1000, options.retries),
          readWholeNumber(sources, "probe-attempts", 1, MostProbeAttempts, options.probeAttempts),
          readWholeNumber(sources, "gap", 0, 60000, options.gapMs),
          readWholeNumber(Sources(parser, nullptr), "settle", 0, 600000, options.settleMs),
          readStoreOptions(sources, options), readPinAndRerun(parser, sources, options),
          readTags(parser, settings ? &*settings : nullptr, options),
          readLineOptions(parser, settings ? &*settings : nullptr, options)}) {
        if (!error.isEmpty())
            return error;
    }
    const Given pace = sources.given("pace");
    if (pace.isSet() && pace.text != QStringLiteral("poll") && pace.text != QStringLiteral("reply"))
        return sources.refusal("pace", pace, QStringLiteral("poll or reply"));
    options.replyPace = pace.text == QStringLiteral("reply");
    if (newAddress != 0) {
        // The window's new address box text, which the engine reads as a decimal number.
        options.newAddress = QString::number(newAddress);
        for (const PortPlan &plan : std::as_const(options.ports)) {
            if (plan.addresses.size() != 1 || plan.addresses.first().isEmpty())
                return QStringLiteral("--set-address needs the one board's address on each "
                                      "port (-a N): two boards on a bus must not get the same "
                                      "address, and a scan goes on to the next board instead");
        }
    }
    for (const PortPlan &plan : std::as_const(options.ports)) {
        if (options.query && plan.addresses.contains(QStringLiteral("0")))
            return QStringLiteral("--query asks the probe's question, and -a 0 opens without "
                                  "probing: give the board's address");
        if (options.watch && plan.addresses.contains(QStringLiteral("0")))
            return QStringLiteral("--watch tells one board from the next by the probe, and -a 0 "
                                  "opens without probing: give the board's address, or scan");
    }
    if (parser.isSet(option("settle")) && !options.watch)
        return QStringLiteral("--settle is for --watch");
    for (const char *name :
         {"since", "failed", "until", "board", "sha256", "run", "limit", "csv", "summary", "by"}) {
        if (parser.isSet(option(name)))
            return QStringLiteral("--%1 is for --history").arg(option(name));
    }
    if (const QString error = checkDryRun(options); !error.isEmpty())
        return error;
    if (options.file.isEmpty() && !options.query && options.newAddress.isEmpty() &&
        !options.install && options.rerunOf.isEmpty())
        return QStringLiteral("nothing to do: give a firmware file, --query, --set-address "
                              "or --install");
    return options;
}

QString cliHelpText()
{
    QCommandLineParser parser;
    describeOptions(parser);
    return parser.helpText();
}

std::optional<GivenArguments> givenArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(arguments))
        return std::nullopt;
    const QHash<QString, QString> longNames{{option("p"), option("port")},
                                            {option("a"), option("address")},
                                            {option("h"), option("help")},
                                            {option("?"), option("help")},
                                            {option("v"), option("version")}};
    GivenArguments given{{}, parser.positionalArguments()};
    for (const QString &name : parser.optionNames()) {
        const QString longName = longNames.value(name, name);
        if (!given.options.contains(longName))
            given.options.append(longName);
    }
    return given;
}
