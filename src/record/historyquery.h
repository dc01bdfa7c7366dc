#pragma once

#include "record/recordstore.h"
#include "record/sqldialect.h"

#include <QString>
#include <QVariantList>

// A statement and the values bound to its placeholders, in their order.
struct BoundStatement {
    QString sql;
    QVariantList values;
};

// The records the filter asks for, one a job (its end, else its started
// record, else the run's plan of it), newest first, every column of
// recordColumns() in its order. schemaVersion is the store's; 0 reads the
// table of before schema versions.
BoundStatement historyQuery(const HistoryFilter &filter, const SqlDialect &dialect,
                            int schemaVersion);

// The tag keys of the same records, each once, in no order.
BoundStatement tagKeysQuery(const HistoryFilter &filter, const SqlDialect &dialect,
                            int schemaVersion);

// The summary of the same records, grouped by "day", "port", "file",
// "tag.KEY", or nothing (one group "all"). A row a group, in no order, and
// one for the whole whose group is NULL: group, boards, done, first-pass,
// median seconds, 95th percentile seconds (NULL without a job that was
// tried and ended).
//
// A board is the jobs of one run, port and address, oldest first: a job of
// attempt 1 begins a new one, a rerun belongs to the latest. It is done when
// its last job is, passed first when its first job is, and counted in the
// group of its first job. The times are the nearest rank of the jobs tried.
BoundStatement summaryQuery(const HistoryFilter &filter, const QString &by,
                            const SqlDialect &dialect, int schemaVersion);
