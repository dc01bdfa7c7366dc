#pragma once

#include "record/jobrecord.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// bootline-cli --history --summary: boards, yield and job times, in groups.
// The store computes them (RecordStore::summarize); this is their form.

// One row of the summary.
struct SummaryRow {
    QString group;
    int boards = 0;
    int done = 0;
    int failed = 0;    // unfinished and not tried ones too
    int firstPass = 0; // done by their first job
    std::optional<double> medianSeconds;
    std::optional<double> p95Seconds;

    std::optional<double> firstPassYield() const; // none without boards
};

struct HistorySummary {
    QString by;               // as --by gave it; empty: one group, "all"
    QList<SummaryRow> groups; // sorted by name
    SummaryRow total;
};

// day, port, file, or tag.KEY with KEY a tag key.
bool isSummaryGrouping(const QString &by);

// Columns GROUP BOARDS DONE FAILED FIRST-PASS MEDIAN-S P95-S, a line each
// group, and a "total" line after two groups or more.
QString summaryTable(const HistorySummary &summary);

// {"by", "groups": [...], "total"}: "by" null without --by; times and the
// yield null when there is nothing to take them from.
QJsonObject summaryJson(const HistorySummary &summary);
