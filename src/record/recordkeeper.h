#pragma once

#include "record/jobrecord.h"
#include "record/recordstore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// How a record was kept.
struct KeepOutcome {
    bool stored = false; // in the store, or the address is none
    QString message;     // when not stored: why, and where the record went instead
};

// Writes the record to the store; a record the store cannot take is never
// lost without a word: it is appended as a JSON line to unrecordedFile(),
// or when that fails too, written to standard error.
KeepOutcome keepRecord(RecordStore &store, const JobRecord &record);

// Keeps a record the store did not take (why: in words for the user) in
// unrecordedFile(), or when that fails too, on standard error.
KeepOutcome keepUnrecorded(const StoreAddress &address, const JobRecord &record,
                           const QString &why);

// unrecorded.jsonl beside the SQLite file; for PostgreSQL, beside the
// default SQLite file.
QString unrecordedFile(const StoreAddress &address);

// Appends the record as one JSON line that names the store it was meant
// for (its address, as messages show it), making the file and its folder when
// missing. An append that fails or goes in part (a full disk) is cut off
// again, so the file only ever holds whole lines; a fragment left by another
// program does not swallow the line. False when the line is not in.
bool appendUnrecorded(const QString &path, const JobRecord &record, const StoreAddress &meantFor);

// The records of such a file that wait for the store, in order; lines that
// are not a record are counted and skipped, as are the records of others.
struct UnrecordedFile {
    QList<JobRecord> records;
    int damagedLines = 0;
    int forOtherStores = 0;
};
UnrecordedFile readUnrecorded(const QString &path, const StoreAddress &store);

// One line of such a file as a record; none when it is not one (damaged,
// cut short, not JSON). meantFor: the store the line names.
std::optional<JobRecord> unrecordedLine(const QByteArray &line, QString *meantFor = nullptr);
// Whether a line that names that store waits for this one. Lines of older
// Bootlines name none: they wait for whichever store is imported into.
bool waitsFor(const QString &meantFor, const StoreAddress &store);

// How many records wait: a job's "started" record and its end count once,
// as the job they tell of.
qsizetype waitingRecords(const QList<JobRecord> &records);
