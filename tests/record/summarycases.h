#pragma once

#include "record/historysummary.h"
#include "record/recordstore.h"
#include "samplerecord.h"

#include <QTemporaryDir>
#include <QTest>

// Records for the summary, and the summary of records as a store computes it.

inline const QDateTime Day1 = QDateTime::fromString("2026-12-08T08:00:00Z", Qt::ISODate);
inline const QDateTime Day2 = QDateTime::fromString("2026-12-09T23:30:00Z", Qt::ISODate);

inline JobRecord job(const QString &run, const QString &port, const QString &board, int attempt,
                     const QString &result, const QDateTime &started, double seconds)
{
    JobRecord record = sampleRecord();
    record.runId = run;
    record.port = port;
    record.board = board;
    record.attempt = attempt;
    record.result = result;
    record.started = started;
    record.seconds = seconds;
    record.ended = result == "started" ? QDateTime() : started.addMSecs(qint64(seconds * 1000));
    return record;
}

// Two runs and a rerun on one bench, a station on another, and a run that
// broke off: one unfinished job and one board never tried.
inline QList<JobRecord> benchRecords()
{
    QList<JobRecord> records;
    JobRecord first = job("A", "/dev/ttyUSB0", "5", 1, "failed", Day1, 2.0);
    first.exitCode = 6;
    JobRecord rerun = job("A", "/dev/ttyUSB0", "5", 2, "done", Day1.addSecs(600), 1.5);
    JobRecord other = job("A", "/dev/ttyUSB0", "6", 1, "done", Day1.addSecs(60), 1.0);
    for (JobRecord *record : {&first, &rerun, &other})
        record->tags = {{"operator", "ann"}};
    records << first << rerun << other;
    // A station: one port and address, three boards in one run.
    const double seconds[] = {3.0, 4.0, 2.5};
    const char *results[] = {"done", "failed", "done"};
    for (int board = 0; board < 3; ++board) {
        JobRecord station =
            job("B", "COM3", "scan", 1, results[board], Day2.addSecs(board * 120), seconds[board]);
        station.file = "/srv/images/other.hex";
        if (board < 2)
            station.tags = {{"operator", "bob"}};
        records << station;
    }
    records << job("C", "/dev/ttyUSB0", "7", 1, "started", Day2.addSecs(10), 0);
    JobRecord untried = job("C", "/dev/ttyUSB0", "8", 1, "not tried", QDateTime(), 0);
    untried.ended = QDateTime();
    untried.file.clear();
    records << untried;
    return records;
}

inline QString describe(const SummaryRow &row)
{
    const auto number = [](std::optional<double> value) {
        return value ? QString::number(*value) : QStringLiteral("-");
    };
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(row.group)
        .arg(row.boards)
        .arg(row.done)
        .arg(row.failed)
        .arg(row.firstPass)
        .arg(number(row.medianSeconds), number(row.p95Seconds));
}

// Each record in once, as its own job.
inline void writeEach(RecordStore &store, const QList<JobRecord> &records)
{
    QString error;
    for (qsizetype index = 0; index < records.size(); ++index) {
        JobRecord record = records.at(index);
        record.jobId = QStringLiteral("job-%1").arg(index);
        record.recordId = record.jobId + QStringLiteral("/end");
        if (!store.write(record, &error))
            qFatal("not written: %s", qPrintable(error));
    }
}

inline HistorySummary summaryOf(const QList<JobRecord> &records, const QString &by)
{
    QTemporaryDir folder;
    StoreAddress file;
    file.path = folder.filePath("summary.sqlite");
    RecordStore store(file);
    QString error;
    if (!store.createSchema(&error)) // a table even when nothing is written
        qFatal("not made: %s", qPrintable(error));
    writeEach(store, records);
    const std::optional<HistorySummary> summary = store.summarize({}, by, &error);
    if (!summary)
        qFatal("not summed: %s", qPrintable(error));
    return *summary;
}
