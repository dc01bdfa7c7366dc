#pragma once

#include "record/recordcolumns.h"
#include "record/storeaddress.h"

#include <QString>

// What differs between the two databases a store can live in. Every
// statement of the store is written once, with these pieces put in.
struct SqlDialect {
    bool isSqlite = false;
    QString driver;        // Qt SQL's driver
    QString missingDriver; // what to install when Qt lacks it
    QString rowId;         // the declaration of the table's own row id
    QString beginWrite;    // a transaction that will write
    QString beginRead;     // one that reads, every statement from the same look at the store
    QString upgradeLock;   // empty, or a statement that keeps upgrades one at a time
    QString RecordColumn::*columnType = nullptr;

    // The statement that marks the store as of this schema version.
    QString markVersion(int version) const;
    // A time column as the text a record reads back (UTC ISO, milliseconds).
    QString timeText(const QString &column) const;
    // The UTC day (YYYY-MM-DD) of a time column.
    QString dayOf(const QString &column) const;
    // The file name of a path column, without its folder.
    QString fileNameOf(const QString &column) const;
    // The value of one tag in a tags column, NULL when it has none; the key
    // is bound as tagArgument(key).
    QString tagValue(const QString &column) const;
    QString tagArgument(const QString &key) const;
    // Each tag key once, over the tags column of a statement's rows.
    QString tagKeysOf(const QString &rows) const;
};

const SqlDialect &sqlDialect(StoreAddress::Kind kind);
