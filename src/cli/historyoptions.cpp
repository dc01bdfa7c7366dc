#include "cli/optionsources.h"
#include "cli/requestoptions.h"

#include "record/historysummary.h"
#include "record/historytext.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

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

} // namespace

// --history: the store to read, and which of its records.
std::variant<CliOptions, QString> historyOptions(const QCommandLineParser &parser,
                                                 CliOptions options)
{
    options.request = CliOptions::Request::History;
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
