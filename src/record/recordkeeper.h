#pragma once

#include "record/jobrecord.h"
#include "record/recordstore.h"

#include <QString>

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

// Appends the record to the file as one JSON line; false when it could not.
bool appendUnrecorded(const QString &path, const JobRecord &record);

// unrecorded.jsonl beside the SQLite file; for PostgreSQL, beside the
// default SQLite file.
QString unrecordedFile(const StoreAddress &address);
