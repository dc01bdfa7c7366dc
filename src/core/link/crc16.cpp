#include "link/crc16.h"

#include "shared/runtimeerror.h"

QByteArray CRC16(const QByteArray &sString)
{
    if (sString.size() >= 32767)
        throw RuntimeError(RuntimeError::Overflow,
                           QStringLiteral("Overflow: a frame of %1 bytes is too long to checksum.")
                               .arg(sString.size()));
    quint16 crc = Crc16::Initial;
    for (const char c : sString)
        crc = Crc16::step(crc, quint8(c));
    QByteArray wire(2, Qt::Uninitialized);
    wire[0] = char(crc & 0xFF);
    wire[1] = char(crc >> 8);
    return wire;
}

qint16 Decode(const QByteArray &colums)
{
    static const QByteArray digits = "0123456789ABCDEF";
    if (colums.size() != 1)
        return 0;
    const qsizetype value = digits.indexOf(colums[0]);
    return value < 0 ? 0 : qint16(value);
}

qint16 Decode2(const QByteArray &colums)
{
    switch (colums.size()) {
    case 2:
        return qint16(16 * Decode(colums.left(1)) + Decode(colums.mid(1)));
    case 1:
        return Decode(colums);
    default:
        return 0;
    }
}
