#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// What a firmware file puts where, whatever its format: pieces of bytes, each
// from one place in the file (a record, a line, a segment: counted from 1),
// and the address the firmware starts at when the file gives one.
struct MemoryPiece {
    quint64 start;
    QByteArray bytes;
    int place;
    quint64 end() const { return start + quint64(bytes.size()); } // the address after the last
};

struct MemoryImage {
    QList<MemoryPiece> pieces;
    std::optional<quint32> start;
};

// Addresses are 32 bits wide: a piece must end at 0xFFFFFFFF or before.
inline constexpr quint64 AddressSpace = quint64(1) << 32;

// Two places in a file that write the same address; first is the earlier place.
struct Overlap {
    int first;
    int second;
    quint64 address;
};

// Puts the pieces in address order (pieces at one address keep their order)
// and finds the first address written twice, if any.
std::optional<Overlap> sortAndFindOverlap(QList<MemoryPiece> &pieces);

// Refuses a file whose image cannot be sent as it is, with an InvalidFileFormat
// error that names the file, then says what is wrong and where ("line 12 has
// ...", "segments 1 and 2 both write ...").
[[noreturn]] void refuseImage(const QString &name, const QString &what);

// Refuses a file that holds no data bytes, in one set of words for every format.
[[noreturn]] void refuseEmptyImage(const QString &name);

// The Intel HEX records that put an image in place, in address order: data
// records of 16 bytes (shorter where a run of data ends or a 64 KiB block
// does), an extended linear address record (04) wherever the upper 16 bits of
// the address change from the last, and none before data in the first
// 64 KiB; the start linear address record (05) if the image has a start
// address; the end-of-file record last. Pieces that follow on without a gap
// run on in the same records. The pieces must be in address order, none
// overlapping, none past the address space.
QList<QByteArray> hexRecordsOf(const MemoryImage &image);
