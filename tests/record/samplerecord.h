#pragma once

#include "record/jobrecord.h"

#include <QDateTime>

// A done job with every field filled, as bootline-cli would record it.
inline JobRecord sampleRecord()
{
    JobRecord record;
    record.started = QDateTime::fromString("2026-12-08T04:12:56.123Z", Qt::ISODateWithMs);
    record.ended = record.started.addMSecs(1979);
    record.seconds = 1.979;
    record.face = "cli";
    record.host = "bench3";
    record.port = "/dev/ttyUSB0";
    record.portKind = "local";
    record.board = "5";
    record.version = "VER=1.0 SIM";
    record.file = "/work/examples/blink.hex";
    record.sha256 = "a2c740ec8ba661d9f717647ad4c717f4025493faaafbee2dfffdca32ff5e412a";
    record.fileLines = 43;
    record.lines = 86;
    record.pace = "poll";
    record.result = "done";
    return record;
}
