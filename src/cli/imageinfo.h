#pragma once

#include "image/elfdetails.h"
#include "image/firmwarefile.h"
#include "image/imagesummary.h"
#include "image/srecorddetails.h"

#include <QJsonObject>
#include <QString>

#include <optional>

// --info: what a firmware file holds, told without a port, for a person or a
// script. The summary is of the records that go to the board; the details
// are what an ELF or S-record file says of itself beside them.
struct ImageInfo {
    QString file; // as the user named it
    FirmwareFile::Image image;
    ImageSummary summary;
    std::optional<ElfDetails> elf;
    std::optional<SRecordDetails> srecord;
};

// Summarizes the image read from file and, for an ELF or S-record file,
// reads the file's own details again from it. Raises an error when the
// summary refuses the records, or when the file is no longer the one read
// (its SHA-256 changed).
ImageInfo readImageInfo(const QString &file, const FirmwareFile::Image &image);

// Aligned lines: format, the file's own details, counts, ranges, start
// address or entry point, and checksums. Text from the file (its name, an
// S-record header) is shown through visibleText().
QString imageInfoText(const ImageInfo &info);

// The same as one object: "format", "file", "records" (those sent),
// "file_records" (the file's own, for Intel HEX and S-records),
// "data_bytes", "ranges" (each "start", "end" — the last address — and
// "bytes"), "start_address" when the file gives one, "sha256", "crc32",
// and where the data has gaps "crc32_filled_0xff", "span_start" and
// "span_end"; "elf" or "srecord" with the file's details. Addresses and
// CRCs as "0x" and eight hex digits (sixteen for an ELF address past 32 bits).
QJsonObject imageInfoJson(const ImageInfo &info);
