#pragma once

#include "record/recordstore.h"
#include "samplerecord.h"

#include <QJsonDocument>
#include <QList>
#include <QStringList>
#include <QTest>

// The cases every kind of store must pass alike.

Q_DECLARE_METATYPE(HistoryFilter)

inline StoreAddress parsed(const QString &text)
{
    const auto result = parseStoreAddress(text);
    if (const QString *error = std::get_if<QString>(&result))
        qFatal("refused: %s", qPrintable(*error));
    return std::get<StoreAddress>(result);
}

// Records that must come back field for field, newest first: quotes and
// all, and one with no times at all (a board not tried), which goes last.
inline QList<JobRecord> roundTripRecords()
{
    JobRecord refused = sampleRecord();
    refused.started = refused.started.addSecs(3600);
    refused.ended = refused.started.addMSecs(300);
    refused.face = "window";
    refused.board = "scan";
    refused.result = "failed";
    refused.exitCode = 5;
    refused.resends = 3;
    refused.seconds = 0.1 + 0.2; // not rounded on the way
    refused.error = "the board refused line 12; it's O'Brien's bench'); DROP TABLE jobs; --";
    refused.reply = "ERROR \"checksum\" ü";

    JobRecord untried;
    untried.face = "cli";
    untried.port = "COM3";
    untried.board = "7";
    untried.result = "not tried";
    untried.exitCode = 3;
    untried.error = "port COM3 could not be opened for board 6";

    return {refused, sampleRecord(), untried};
}

inline QByteArray jsonLine(const JobRecord &record)
{
    return QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact);
}

// Writes the round trip's records and reads them back, all through a new
// store at the address: as another run of the program would.
inline void checkRoundTrip(const StoreAddress &address)
{
    const QList<JobRecord> records = roundTripRecords();
    QString error;
    {
        RecordStore store(address);
        for (const JobRecord &record : records)
            QVERIFY2(store.write(record, &error), qPrintable(error));
    }
    RecordStore store(address);
    const auto read = store.read({}, &error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->size(), records.size());
    for (int i = 0; i < records.size(); ++i) {
        QCOMPARE(jsonLine(read->at(i)), jsonLine(records.at(i)));
        QVERIFY(read->at(i) == records.at(i));
        QVERIFY(!read->at(i).started.isValid() || read->at(i).started.timeSpec() == Qt::UTC);
    }
}

inline JobRecord boardAt(const QString &board, const QString &port, const QString &result,
                         const QString &started)
{
    JobRecord record = sampleRecord();
    record.board = board;
    record.port = port;
    record.result = result;
    record.started = QDateTime::fromString(started, Qt::ISODateWithMs);
    record.ended = record.started;
    return record;
}

// For the filter cases: written out of time order; 3 after 2 at the same time.
inline QList<JobRecord> filterRecords()
{
    return {boardAt("1", "COM3", "done", "2026-12-01T10:00:00.000Z"),
            boardAt("4", "COM3", "done", "2026-12-07T12:00:00.000Z"),
            boardAt("2", "/dev/ttyUSB0", "failed", "2026-12-05T09:00:00.250Z"),
            boardAt("3", "COM3", "interrupted", "2026-12-05T09:00:00.250Z"),
            boardAt("5", "/dev/ttyUSB0", "not tried", "")};
}

inline HistoryFilter filterOf(const QString &since, const QString &port, bool failedOnly)
{
    return {QDateTime::fromString(since, Qt::ISODateWithMs), port, failedOnly};
}

// Columns filter and boards: the boards it reads of filterRecords(), in order.
inline void addFilterRows()
{
    QTest::addColumn<HistoryFilter>("filter");
    QTest::addColumn<QStringList>("boards");

    const QString usb = "/dev/ttyUSB0";
    QTest::newRow("all, newest first; no time last")
        << filterOf("", "", false) << QStringList{"4", "3", "2", "1", "5"};
    QTest::newRow("since a day") << filterOf("2026-12-05T00:00:00Z", "", false)
                                 << QStringList{"4", "3", "2"};
    QTest::newRow("since the very millisecond")
        << filterOf("2026-12-05T09:00:00.250Z", "", false) << QStringList{"4", "3", "2"};
    QTest::newRow("since an offset")
        << filterOf("2026-12-05T10:00:00.251+01:00", "", false) << QStringList{"4"};
    QTest::newRow("one port") << filterOf("", "COM3", false) << QStringList{"4", "3", "1"};
    QTest::newRow("failed ones") << filterOf("", "", true) << QStringList{"3", "2", "5"};
    QTest::newRow("failed on one port") << filterOf("", usb, true) << QStringList{"2", "5"};
    QTest::newRow("all three") << filterOf("2026-12-02T00:00:00Z", "COM3", true)
                               << QStringList{"3"};
    QTest::newRow("a port never used") << filterOf("", "COM30", false) << QStringList{};
}

// Reads the filter row's records from a store that holds filterRecords().
inline void checkFilterRow(RecordStore &store)
{
    QFETCH(HistoryFilter, filter);
    QFETCH(QStringList, boards);

    QString error;
    const auto records = store.read(filter, &error);
    QVERIFY2(records, qPrintable(error));
    QStringList read;
    for (const JobRecord &record : *records)
        read << record.board;
    QCOMPARE(read, boards);
}

// Makes a store at the address that holds filterRecords().
inline std::unique_ptr<RecordStore> filterStore(const StoreAddress &address)
{
    auto store = std::make_unique<RecordStore>(address);
    QString error;
    for (const JobRecord &record : filterRecords()) {
        if (!store->write(record, &error))
            qFatal("cannot write the records to filter: %s", qPrintable(error));
    }
    return store;
}

// Many processes at once, each keeping its records through its own store:
// every record read back, none twice.
inline void checkAllRead(RecordStore &store, int records)
{
    QString error;
    const auto read = store.read({}, &error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->size(), records);
    QSet<QString> seen;
    for (const JobRecord &record : *read)
        seen.insert(record.port + u'/' + record.board);
    QCOMPARE(seen.size(), records);
}
