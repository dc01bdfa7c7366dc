#include "link/crc16.h"

#include "shared/runtimeerror.h"

QByteArray modbusCrc(const QByteArray &text)
{
    if (text.size() >= 32767)
        throw RuntimeError(RuntimeError::Overflow,
                           QStringLiteral("Overflow: a frame of %1 bytes is too long to checksum.")
                               .arg(text.size()));
    quint16 crc = Crc16::Initial;
    for (const char c : text)
        crc = Crc16::step(crc, quint8(c));
    QByteArray wire(2, Qt::Uninitialized);
    wire[0] = char(crc & 0xFF);
    wire[1] = char(crc >> 8);
    return wire;
}

qint16 hexDigitValue(const QByteArray &hex)
{
    static const QByteArray digits = "0123456789ABCDEF";
    if (hex.size() != 1)
        return 0;
    const qsizetype value = digits.indexOf(hex[0]);
    return value < 0 ? 0 : qint16(value);
}

qint16 hexByteValue(const QByteArray &hex)
{
    switch (hex.size()) {
    case 2:
        return qint16(16 * hexDigitValue(hex.left(1)) + hexDigitValue(hex.mid(1)));
    case 1:
        return hexDigitValue(hex);
    default:
        return 0;
    }
}
