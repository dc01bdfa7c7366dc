#include "image/memoryimage.h"

#include "image/intelhex.h"
#include "shared/runtimeerror.h"

#include <algorithm>

namespace {

constexpr int BytesPerRecord = 16;
constexpr quint64 BlockSize = quint64(1) << 16; // what one record's 16-bit address reaches

QByteArray bigEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
    return out;
}

// Pieces that follow on without a gap are one run of data, so that records
// stay 16 bytes long across a file's own line breaks.
QList<MemoryPiece> runsOf(const QList<MemoryPiece> &pieces)
{
    QList<MemoryPiece> runs;
    for (const MemoryPiece &piece : pieces) {
        if (!runs.isEmpty() && runs.last().end() == piece.start)
            runs.last().bytes += piece.bytes;
        else if (!piece.bytes.isEmpty())
            runs.append(piece);
    }
    return runs;
}

} // namespace

std::optional<Overlap> sortAndFindOverlap(QList<MemoryPiece> &pieces)
{
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const MemoryPiece &a, const MemoryPiece &b) { return a.start < b.start; });
    // In address order, an overlap shows as a piece that begins before the
    // furthest end of those before it.
    const MemoryPiece *furthest = nullptr;
    for (const MemoryPiece &piece : std::as_const(pieces)) {
        if (piece.bytes.isEmpty())
            continue; // writes nothing, wherever it stands
        if (furthest && piece.start < furthest->end()) {
            const auto [first, second] = std::minmax(furthest->place, piece.place);
            return Overlap{first, second, piece.start};
        }
        if (!furthest || piece.end() > furthest->end())
            furthest = &piece;
    }
    return std::nullopt;
}

void refuseImage(const QString &name, const QString &what)
{
    throw RuntimeError(RuntimeError::InvalidFileFormat,
                       QStringLiteral("Invalid file format: %1: %2. Correct the file, or "
                                      "choose another firmware file.")
                           .arg(name, what));
}

void refuseEmptyImage(const QString &name)
{
    refuseImage(name, QStringLiteral("it holds no data bytes, so there is nothing to download"));
}

QList<QByteArray> hexRecordsOf(const MemoryImage &image)
{
    QList<QByteArray> records;
    quint64 upper = 0; // the upper 16 bits the board adds: 0 until a 04 record says otherwise
    for (const MemoryPiece &run : runsOf(image.pieces)) {
        quint64 address = run.start;
        qsizetype offset = 0;
        while (offset < run.bytes.size()) {
            const quint64 block = address / BlockSize;
            if (block != upper) {
                records.append(IntelHex::record(IntelHex::ExtendedLinearAddress, 0,
                                                bigEndian(quint32(block), 2)));
                upper = block;
            }
            const auto take =
                qsizetype(std::min({quint64(BytesPerRecord), quint64(run.bytes.size() - offset),
                                    (block + 1) * BlockSize - address}));
            records.append(IntelHex::record(IntelHex::Data, quint16(address % BlockSize),
                                            run.bytes.mid(offset, take)));
            offset += take;
            address += quint64(take);
        }
    }
    if (image.start)
        records.append(
            IntelHex::record(IntelHex::StartLinearAddress, 0, bigEndian(*image.start, 4)));
    records.append(IntelHex::record(IntelHex::EndOfFile, 0, {}));
    return records;
}
