#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <array>

// CRC-16/MODBUS: reflected polynomial 0xA001, initial 0xFFFF, no final XOR.
// Returned in wire order: low byte, then high byte. Texts of 32767 bytes or
// more are refused with an overflow error (positions are 16-bit).
QByteArray modbusCrc(const QByteArray &text);

// The running register, for callers that look for frame ends byte by byte.
// A frame followed by its own CRC brings the register to 0.
namespace Crc16 {

inline constexpr quint16 Initial = 0xFFFF;

// The register after eight shifts of each byte value: the bit-by-bit rule, done once.
constexpr std::array<quint16, 256> stepTable()
{
    std::array<quint16, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        quint16 crc = quint16(value);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        table[value] = crc;
    }
    return table;
}

inline constexpr std::array<quint16, 256> StepTable = stepTable();

inline quint16 step(quint16 reg, quint8 byte)
{
    return quint16((reg >> 8) ^ StepTable[(reg ^ byte) & 0xFF]);
}

} // namespace Crc16

// One hexadecimal digit "0".."9", "A".."F" (upper case only) to 0..15; anything else is 0.
qint16 hexDigitValue(const QByteArray &hex);

// One or two such digits to 0..255; any other length is 0.
qint16 hexByteValue(const QByteArray &hex);
