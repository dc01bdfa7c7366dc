#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// One board job as it ended: what went where, when, and how.
struct JobRecord {
    QString jobId;     // a UUID, the same on a job's "started" record and on its end
    QDateTime started; // UTC
    QDateTime ended;   // UTC
    double seconds = 0;
    QString face;      // "cli" or "window"
    QString host;      // QSysInfo::machineHostName()
    QString port;      // COM3 or /dev/ttyUSB0, as given
    QString board;     // the address as the operator gave it: "5", "scan", "0"
    QString version;   // the board's answer to the probe, trimmed
    QString file;      // absolute path; empty when nothing was downloaded
    QString sha256;    // hex of the file's bytes
    int fileLines = 0; // the file's lines
    int lines = 0;     // lines sent, both passes, resends included
    QString pace;      // "poll" or "reply"
    int resends = 0;
    QString result; // "started", then "done", "failed", "interrupted"; or "not tried"
    int exitCode = 0;
    QString error; // empty when done
    QString reply; // the board's own words about a failure, trimmed; may be empty

    bool operator==(const JobRecord &) const = default;
};

// The body of bootline-cli's board event (docs/json.md), and a line of the
// file of records that could not be stored.
QJsonObject toJson(const JobRecord &record);

// A time as the records write it: UTC, ISO 8601 with milliseconds, such as
// "2026-12-08T04:12:56.123Z"; empty when invalid.
QString recordTimeText(const QDateTime &when);
