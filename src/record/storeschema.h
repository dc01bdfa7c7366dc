#pragma once

#include "record/sqldialect.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <optional>

// The job records' table, and the one of before schema versions.
inline const QString JobsTable = QStringLiteral("bootline_jobs");
inline const QString OldJobsTable = QStringLiteral("jobs");

// 1: bootline_jobs; 2: runs, attempts, tags, traces, record ids;
// 3: port kinds; 4: indexes for every filter; 5: one a job's records are
// chosen from.
constexpr int StoreSchemaVersion = 5;
// Today's records go into a store of this version or later as it is.
constexpr int WritableSchemaVersion = 3;

// What a store holds, as far as this program cares.
struct StoreSchema {
    int version = 0;
    bool hasTable = false;    // bootline_jobs
    bool hasOldTable = false; // jobs, with exactly the columns it was made with
};

// Through the query's connection; no value, and the driver's words, when a
// statement fails. Needs no right on the tables.
std::optional<StoreSchema> inspectSchema(QSqlQuery &query, const SqlDialect &dialect,
                                         QString *driverText);

// What brings a store from its schema to today's, version mark included:
// added columns and indexes, or the whole table (with an old table's
// records moved in). To run in one transaction.
QStringList upgradeStatements(const StoreSchema &schema, const SqlDialect &dialect);
