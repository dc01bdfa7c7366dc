#pragma once

#include "record/recordstore.h"

#include <QList>
#include <QString>

// What moving the records of a fallback file into the store did. Line
// numbers count from 1, as an editor shows them.
struct ImportOutcome {
    bool nothingWaited = false; // the file is missing, or holds no line for the store
    qsizetype added = 0;        // records the store took now
    qsizetype alreadyStored = 0;
    QList<qsizetype> notRecords;     // lines left in the file: damaged, cut short, not JSON
    QList<qsizetype> forOtherStores; // lines left in the file: records another store waits for
    // When the store failed: its words, the line of the record it did not
    // take, and the file's last line; that line and every later one stay.
    QString storeError;
    qsizetype storeStoppedAt = 0;
    qsizetype lastLine = 0;
    // The file could not be read or rewritten: what went wrong.
    QString fileError;

    // Every record meant for the store is in it, and no line was damaged.
    bool emptied() const
    {
        return notRecords.isEmpty() && storeError.isEmpty() && fileError.isEmpty();
    }
};

// Moves the records of the fallback file at path into the store. The file
// is read, and later rewritten, under the lock appendUnrecorded() takes, so
// that a run appending meanwhile loses no line; the lock is not held while
// the store takes the records. The file is rewritten in place (an appender
// that opened it before still writes where the next import reads) and keeps
// only the lines that are not a record, the records the store did not take
// or that name another store, and the lines appended since it was read. When no record went in, the
// file is left as it was, byte for byte.
ImportOutcome importUnrecorded(RecordStore &store, const QString &path);
