#include "cli/storerequests.h"

#include "line/recorder.h"
#include "record/historycsv.h"
#include "record/historysummary.h"
#include "record/historytext.h"
#include "record/jobrecord.h"
#include "record/recordcolumns.h"
#include "record/recordimport.h"
#include "record/recordkeeper.h"
#include "record/recordstore.h"
#include "shared/exitcode.h"
#include "shared/readable.h"
#include "shared/standardstreams.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

// The records of the store, newest first. Reading changes nothing in the
// store; a store that is missing, damaged or cannot be read whole fails.
namespace {

// A CSV's header needs every tag key before the first line: the store
// gives them first, from the same look at it as the records.
bool printCsv(RecordStore &store, const HistoryFilter &filter, QString *error)
{
    std::optional<HistoryCsv> csv;
    return store.readEachWithTagKeys(
        filter,
        [&csv](const QStringList &tagKeys) {
            csv.emplace(tagKeys);
            printTo(stdout, csv->header());
        },
        [&csv](const JobRecord &record) { printTo(stdout, csv->line(record)); },
        error); // what was read before a break is printed, then the error
}

} // namespace

// Lists are printed as the store hands the records over, so that a store of
// millions of records takes no more memory than one.
int printHistory(const CliOptions &options)
{
    tellUnrecorded(options.log);
    RecordStore store(options.log, options.storeTimeoutMs);
    QString error;
    bool read = false;
    if (options.summary) {
        const std::optional<HistorySummary> summary =
            store.summarize(options.history, options.summaryBy, &error);
        read = summary.has_value();
        if (read) {
            printTo(stdout,
                    options.json
                        ? QString::fromUtf8(
                              QJsonDocument(summaryJson(*summary)).toJson(QJsonDocument::Compact)) +
                              u'\n'
                        : summaryTable(*summary));
        }
    } else if (options.csv) {
        read = printCsv(store, options.history, &error);
    } else {
        read = store.readEach(
            options.history,
            [json = options.json](const JobRecord &record) {
                if (!json) {
                    printTo(stdout, historyLine(record) + u'\n');
                    return;
                }
                // JSON is UTF-8 whatever the terminal's encoding.
                const QByteArray line = jsonLineOf(record);
                std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
            },
            &error);
    }
    if (read)
        return Done;
    printTo(stderr, QStringLiteral("bootline-cli: %1\n").arg(visibleText(error)));
    return NotRecorded;
}

int createStore(const CliOptions &options)
{
    RecordStore store(options.log, options.storeTimeoutMs);
    QString error;
    if (!store.createSchema(&error)) {
        printTo(stderr, QStringLiteral("bootline-cli: %1\n").arg(visibleText(error)));
        return NotRecorded;
    }
    printTo(stdout, QStringLiteral("The record store %1 is ready.\n").arg(options.log.describe()));
    return Done;
}

// Each line that stays is named, so that someone can look at it.
int importWaiting(const CliOptions &options)
{
    RecordStore store(options.log, options.storeTimeoutMs);
    const QString path = unrecordedFile(options.log);
    const QString file = visibleText(path);
    const ImportOutcome outcome = importUnrecorded(store, path);
    // Another store's records stay for an import into that store.
    const QString othersStay =
        outcome.forOtherStores.isEmpty()
            ? QString()
            : QStringLiteral(" %1 there %2 for other stores: import with --log naming theirs.")
                  .arg(counted(outcome.forOtherStores.size(), QStringLiteral("record")),
                       outcome.forOtherStores.size() == 1 ? QStringLiteral("waits")
                                                          : QStringLiteral("wait"));
    if (outcome.nothingWaited) {
        printTo(stdout, QStringLiteral("Nothing waits in %1 for %2.%3\n")
                            .arg(file, visibleText(options.log.describe()), othersStay));
        return Done;
    }
    if (outcome.added + outcome.alreadyStored > 0)
        printTo(stdout, QStringLiteral("%1 added to the store %2 from %3; %4 already in the "
                                       "store.\n")
                            .arg(counted(outcome.added, QStringLiteral("record")),
                                 visibleText(options.log.describe()), file,
                                 counted(outcome.alreadyStored, QStringLiteral("record"))));
    for (const qsizetype line : outcome.notRecords)
        printTo(stderr, QStringLiteral("bootline-cli: line %1 of %2 is not a record: left in the "
                                       "file\n")
                            .arg(line)
                            .arg(file));
    if (!outcome.storeError.isEmpty()) {
        const QString lines = outcome.storeStoppedAt == outcome.lastLine
                                  ? QStringLiteral("line %1").arg(outcome.lastLine)
                                  : QStringLiteral("lines %1 to %2")
                                        .arg(outcome.storeStoppedAt)
                                        .arg(outcome.lastLine);
        printTo(stderr, QStringLiteral("bootline-cli: %1\nbootline-cli: %2 of %3 left in the "
                                       "file: the store did not take them; import again once it "
                                       "takes records\n")
                            .arg(visibleText(outcome.storeError), lines, file));
    }
    if (!outcome.fileError.isEmpty())
        printTo(stderr, QStringLiteral("bootline-cli: %1\n").arg(visibleText(outcome.fileError)));
    if (!outcome.emptied())
        return NotRecorded;
    printTo(stdout, othersStay.isEmpty() ? QStringLiteral("Nothing is left in %1.\n").arg(file)
                                         : othersStay.trimmed() + u'\n');
    return Done;
}
