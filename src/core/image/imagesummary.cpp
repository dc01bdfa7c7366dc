#include "image/imagesummary.h"

#include "image/crc32.h"
#include "image/intelhex.h"
#include "image/memoryimage.h"
#include "shared/runtimeerror.h"

#include <QtEndian>

#include <algorithm>
#include <array>

namespace {

[[noreturn]] void refuse(const QString &name, const QString &what)
{
    throw RuntimeError(RuntimeError::InvalidFileFormat,
                       QStringLiteral("Invalid file format: %1: %2. Correct the file, or "
                                      "choose another Intel HEX file.")
                           .arg(name, what));
}

// A big-endian number at the start of a record's data, whose length is checked.
template <typename Number> Number numberAt(const QByteArray &data, qsizetype at = 0)
{
    std::array<char, sizeof(Number)> bytes{};
    std::copy_n(data.constData() + at,
                std::min(qsizetype(bytes.size()), std::max(qsizetype(0), data.size() - at)),
                bytes.begin());
    return qFromBigEndian<Number>(bytes.data());
}

void checkLength(const QByteArray &data, int wanted, int record, const QString &name)
{
    if (data.size() != wanted)
        refuse(name, QStringLiteral("record %1 is an address record with %2 data bytes where %3 "
                                    "belong")
                         .arg(record)
                         .arg(data.size())
                         .arg(wanted));
}

} // namespace

QString addressText(quint32 address)
{
    return QStringLiteral("0x") + QString::number(address, 16).rightJustified(8, u'0').toUpper();
}

ImageSummary summarizeImage(const QList<QByteArray> &entries, const QString &name)
{
    ImageSummary summary;
    summary.records = int(entries.size());
    QList<MemoryPiece> pieces;
    quint64 base = 0;
    for (qsizetype index = 0; index < entries.size(); ++index) {
        const int record = int(index) + 1;
        const IntelHex::Record decoded = IntelHex::decoded(entries[index]);
        const QByteArray &data = decoded.data;
        switch (decoded.type) {
        case IntelHex::Data: {
            const quint64 start = base + decoded.address;
            if (start + quint64(data.size()) > AddressSpace)
                refuse(name,
                       QStringLiteral("record %1 writes past the address 0xFFFFFFFF").arg(record));
            if (!data.isEmpty())
                pieces.append({start, data, record});
            summary.dataBytes += data.size();
            break;
        }
        case IntelHex::EndOfFile:
            break;
        case IntelHex::ExtendedSegmentAddress:
            checkLength(data, 2, record, name);
            base = quint64(numberAt<quint16>(data)) << 4;
            break;
        case IntelHex::ExtendedLinearAddress:
            checkLength(data, 2, record, name);
            base = quint64(numberAt<quint16>(data)) << 16;
            break;
        case IntelHex::StartSegmentAddress: {
            checkLength(data, 4, record, name);
            const quint16 cs = numberAt<quint16>(data);
            const quint16 ip = numberAt<quint16>(data, 2);
            summary.start = {quint32(cs) * 16 + ip, true, cs, ip};
            break;
        }
        case IntelHex::StartLinearAddress:
            checkLength(data, 4, record, name);
            summary.start = {numberAt<quint32>(data)};
            break;
        default:
            refuse(name,
                   QStringLiteral("record %1 has the type %2, which is none of the Intel "
                                  "HEX record types 00 to 05")
                       .arg(record)
                       .arg(QString::number(decoded.type, 16).toUpper().rightJustified(2, u'0')));
        }
    }

    if (const std::optional<Overlap> overlap = sortAndFindOverlap(pieces))
        refuse(name, QStringLiteral("records %1 and %2 both write the address %3: the board "
                                    "would keep only the later")
                         .arg(overlap->first)
                         .arg(overlap->second)
                         .arg(addressText(quint32(overlap->address))));
    quint32 filled = 0;
    quint64 next = pieces.isEmpty() ? 0 : pieces.first().start;
    for (const MemoryPiece &piece : std::as_const(pieces)) {
        summary.crc32 = crc32(piece.bytes, summary.crc32);
        // A gap as erased flash holds it.
        filled = crc32(piece.bytes, crc32OfRepeatedByte(0xFF, piece.start - next, filled));
        next = piece.end();
        if (!summary.ranges.isEmpty() && summary.ranges.last().last + quint64(1) == piece.start) {
            summary.ranges.last().last = quint32(piece.end() - 1);
            summary.ranges.last().bytes += piece.bytes.size();
        } else {
            summary.ranges.append(
                {quint32(piece.start), quint32(piece.end() - 1), qint64(piece.bytes.size())});
        }
    }
    if (summary.ranges.size() > 1)
        summary.crc32FilledFF = filled;
    return summary;
}
