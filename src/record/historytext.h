#pragma once

#include "record/jobrecord.h"

#include <QDateTime>
#include <QString>
#include <optional>

// One line of bootline-cli --history for a record, in UTC:
// 2026-12-08 04:12:56  done         /dev/ttyUSB0  board 5     firmware.hex  3f2a9c81d0e4  VER=1.0
// SIM and for a failure, " exit 4: " and the error after it. A job that
// never ended ("started" alone) shows as "unfinished". Control characters
// in the record's texts are shown as \xNN.
QString historyLine(const JobRecord &record);

// The time --since gives: "YYYY-MM-DD" (midnight UTC) or an ISO 8601 date
// and time, in UTC when it names no offset (as the history shows times).
// No value when the text is neither.
std::optional<QDateTime> parseSince(const QString &given);
