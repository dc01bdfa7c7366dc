#include "image/crc32.h"

#include <zlib.h>

#include <algorithm>

namespace {

// zlib counts in uInt and z_off_t, which may be 32 bits: pieces of 1 GiB.
constexpr quint64 MostAtOnce = quint64(1) << 30;

// The CRC of count copies of the byte, count at most MostAtOnce: the CRC of
// a run twice as long is the run's joined to itself.
uLong runOf(quint8 byte, quint64 count)
{
    const Bytef one = byte;
    uLong power = ::crc32(0, &one, 1); // of 2^k bytes
    uLong run = 0;
    for (quint64 length = 1; count > 0; count >>= 1, length <<= 1) {
        if (count & 1u)
            run = crc32_combine(run, power, z_off_t(length));
        if (count > 1)
            power = crc32_combine(power, power, z_off_t(length));
    }
    return run;
}

} // namespace

quint32 crc32(QByteArrayView bytes, quint32 previous)
{
    uLong crc = previous;
    for (qsizetype at = 0; at < bytes.size();) {
        const auto piece = uInt(std::min<quint64>(quint64(bytes.size() - at), MostAtOnce));
        crc = ::crc32(crc, reinterpret_cast<const Bytef *>(bytes.data() + at), piece);
        at += qsizetype(piece);
    }
    return quint32(crc);
}

quint32 crc32OfRepeatedByte(quint8 byte, quint64 count, quint32 previous)
{
    uLong crc = previous;
    while (count > 0) { // most pieces follow on without a gap
        const quint64 piece = std::min(count, MostAtOnce);
        crc = crc32_combine(crc, runOf(byte, piece), z_off_t(piece));
        count -= piece;
    }
    return quint32(crc);
}
