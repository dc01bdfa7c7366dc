#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// What an S-record file says beside its data, for --info: its header (the
// S0 record's data, text from whoever made the file), the kinds of data
// record (S1, S2, S3: 16-, 24-, 32-bit addresses), whether a count record
// (S5, S6) is there and which end record (S7, S8, S9) closes it. Read from
// a file the S-record reader has taken: lines that are no S-record are
// passed over here, not judged.
struct SRecordDetails {
    int records = 0; // the file's own, one a non-blank line
    int dataRecords = 0;
    std::optional<QByteArray> header; // none without an S0 record
    QList<int> dataTypes;             // 1, 2 or 3, each once, in that order
    std::optional<int> countType;     // 5 or 6
    std::optional<int> endType;       // 7, 8 or 9
};

SRecordDetails readSRecordDetails(const QByteArray &content);

// The address width of S1, S2 or S3 data records: 16, 24 or 32 bits.
int sRecordAddressBits(int dataType);
