#pragma once

#include "record/jobrecord.h"

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

// One field of a job record: its column in both kinds of store and its key
// in the JSON of a record. The stores' tables, their statements and the JSON
// are all made from recordColumns(), so a new field is one line there.
struct RecordColumn {
    enum class Kind { Text, Integer, Real, Time, Tags };

    QString name; // the column
    QString sqliteType;
    QString postgresType;
    QString jsonKey;
    Kind kind = Kind::Text;
    bool jsonOnlyWhenSet = false; // error and reply: left out when empty
    // The store's schema version that brought the column, and its value in
    // the rows made before (SQL; %1 stands for the row's id).
    int since = 1;
    QString before = QStringLiteral("''");
    std::function<QVariant(const JobRecord &)> get;
    // From a statement's result, or from JSON read back.
    std::function<void(JobRecord &, const QVariant &)> set;

    // As bound into a statement: a time as UTC ISO text, NULL when invalid;
    // a text never NULL.
    QVariant sqlValue(const JobRecord &record) const;
    // Tags as JSON: an object with a text for each key.
    QJsonValue jsonValue(const JobRecord &record) const;
    // Its value in a row made before it, the row's id named rowId.
    QString beforeValue(const QString &rowId) const;
};

// In the order of the JSON of a record.
const QList<RecordColumn> &recordColumns();

// A record from its JSON (a line of unrecorded.jsonl); no value when the
// object lacks a key or holds a value of the wrong type.
std::optional<JobRecord> recordFromJson(const QJsonObject &json);
