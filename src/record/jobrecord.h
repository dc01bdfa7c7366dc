#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QString>

// Words about a job from outside: who flashed it, for which order, the
// board's serial number. Keys are letters, digits, '_', '-' and '.'.
using RecordTags = QMap<QString, QString>;

// One board job as it ended: what went where, when, and how.
struct JobRecord {
    QString recordId; // unique to this record: its job id and "/started" or "/ended"
    QString jobId;    // a UUID, the same on a job's "started" record and on its end
    QString runId;    // a UUID, the same on every job of one run of the program
    int attempt = 1;  // 1: the board's first job of its run; each rerun of it adds one
    RecordTags tags;
    QString trace;     // the job's own trace file; empty: none
    QDateTime started; // UTC
    QDateTime ended;   // UTC
    double seconds = 0;
    QString face;      // "cli" or "window"
    QString host;      // QSysInfo::machineHostName()
    QString port;      // COM3, /dev/ttyUSB0 or rfc2217://host:4001, as given
    QString portKind;  // how the port was reached: "local", "socket" or "rfc2217"
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

// A record's id: the job's, and which of its two records this is.
QString recordIdOf(const QString &jobId, bool startedRecord);
// A board's place in its run's plan, written as the run starts: it stands
// for the board until the board's job begins, so that a board never begun
// (the program killed, the power cut) is known as not tried.
QString plannedRecordIdOf(const QString &jobId);

// The body of bootline-cli's board event (docs/json.md), and a line of the
// file of records that could not be stored.
QJsonObject toJson(const JobRecord &record);

// The same as a compact JSON line, byte for byte as QJsonDocument writes
// toJson(record), made without the object: a list of millions of records
// prints a line each.
QByteArray jsonLineOf(const JobRecord &record);

// A time as the records write it: UTC, ISO 8601 with milliseconds, such as
// "2026-12-08T04:12:56.123Z"; empty when invalid.
QString recordTimeText(const QDateTime &when);
