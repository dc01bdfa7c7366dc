#pragma once

#include "image/firmwarefile.h"
#include "line/report.h"
#include "line/runoptions.h"

#include <QByteArray>
#include <QString>
#include <variant>

// The firmware file as the loader would take it, or why it is refused:
// it cannot be read or converted, or it is empty.
std::variant<FirmwareFile::Image, QString> readFirmware(const RunOptions &options);

// The image a run flashes, read once before any port is touched: every
// board gets the same one even if the file changes meanwhile. Refused as
// above, or when it is not the pinned file, or not a rerun's (runSha256:
// the hash the rerun's run flashed; empty: no rerun). No file: no image.
std::variant<FirmwareFile::Image, QString> readRunImage(const RunOptions &options,
                                                        const QByteArray &runSha256 = {});

// What the run is about, for its reports and records.
RunInfo runInfoOf(const RunOptions &options, const QString &runId,
                  const FirmwareFile::Image &image);
