#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What a HEX file puts where, worked out from its entries as HexFile reads
// them (good records, the end-of-file record last) without a board: the
// address ranges its data fills, the start address it gives, and a CRC-32 of
// the data in address order, to compare with what a board holds.
//
// Data records (00) go to a base plus their own address: an extended linear
// address record (04) sets the upper 16 bits of the base, an extended segment
// address record (02) sets it to the segment times 16. A start segment address
// (03, CS:IP) or start linear address (05) record gives the start address.
struct ImageSummary {
    struct Range {
        quint32 start;
        quint32 last; // the last address filled, not the one after it
        qint64 bytes;
    };
    struct StartAddress {
        quint32 address;      // CS * 16 + IP for a segment start address
        bool segment = false; // given by a type 03 record, as CS:IP
        quint16 cs = 0;
        quint16 ip = 0;
    };

    int records = 0; // the end-of-file record among them
    qint64 dataBytes = 0;
    QList<Range> ranges; // in address order, each as long as the data runs on without a gap
    std::optional<StartAddress> start;
    quint32 crc32 = 0;

    // Only where the data has gaps: the CRC-32 of every address from the
    // first range's start to the last range's end, each gap as 0xFF bytes,
    // what a board's flash holds there after an erase.
    std::optional<quint32> crc32FilledFF;
};

// Raises an InvalidFileFormat error naming the file and the records (counted
// from 1) when two data records write the same address, a record of another
// type than 00 to 05 comes, an address record has the wrong number of bytes,
// or data would run past the 4 GiB address space.
ImageSummary summarizeImage(const QList<QByteArray> &entries, const QString &name);

// An address or a checksum as the summary shows it: "0x" and eight upper-case digits.
QString addressText(quint32 address);
