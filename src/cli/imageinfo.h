#pragma once

#include "image/firmwarefile.h"
#include "image/imagesummary.h"

#include <QJsonObject>
#include <QString>

// --info: what a firmware file holds, told without a port, for a person or a
// script. For a converted file, the records are those that go to the board.
struct ImageInfo {
    QString file; // as the user named it
    FirmwareFile::Image image;
    ImageSummary summary;
};

// Aligned lines, one each for the format, counts, ranges, start address and checksums.
QString imageInfoText(const ImageInfo &info);

// The same as one object: "format", "file", "records", "data_bytes", "ranges"
// (each "start", "end" — the last address — and "bytes"), "start_address"
// when the file gives one, "sha256" and "crc32"; addresses and the CRC as
// "0x" and eight hex digits.
QJsonObject imageInfoJson(const ImageInfo &info);
