#include "cli/optionsources.h"
#include "cli/portplans.h"
#include "cli/requestoptions.h"

#include "engine/jobpolicy.h"
#include "link/lineoptionstext.h"
#include "record/tagtext.h"
#include "shared/settingsfile.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSettings>

#include <utility>

namespace {

constexpr int MostProbeAttempts =
    JobTiming::ProbeAttempts; // a scan probes one address each time, from 1

// The trace must not take the place of the firmware it is about, by any name.
QString checkTracePath(const QString &tracePath, const QString &file)
{
    if (tracePath == QStringLiteral("-") || file.isEmpty())
        return {};
    const QString traceTarget = QFileInfo(tracePath).canonicalFilePath();
    if (traceTarget.isEmpty() || traceTarget != QFileInfo(file).canonicalFilePath())
        return {};
    return QStringLiteral(
               "--trace %1 is the firmware file %2: the trace would replace the firmware. "
               "Give the trace a file of its own")
        .arg(tracePath, file);
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

// The pinned firmware, and the run that --rerun-failed takes up again.
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
        return {};
    options.rerunOf = parser.value(option("rerun-failed")).trimmed();
    if (options.rerunOf.isEmpty())
        return QStringLiteral("--rerun-failed needs the id of a run, as --history shows it");
    options.ports.clear(); // filled from the records
    return {};
}

} // namespace

// A run of boards, a station or a rerun: the job, the line and the records.
std::variant<CliOptions, QString> runOptions(const QCommandLineParser &parser, CliOptions options)
{
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
    if (const QString error = checkDryRun(options); !error.isEmpty())
        return error;
    if (options.file.isEmpty() && !options.query && options.newAddress.isEmpty() &&
        !options.install && options.rerunOf.isEmpty())
        return QStringLiteral("nothing to do: give a firmware file, --query, --set-address "
                              "or --install");
    return options;
}
