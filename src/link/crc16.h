#pragma once

#include <QByteArray>
#include <QtGlobal>

// CRC-16/MODBUS: reflected polynomial 0xA001, initial 0xFFFF, no final XOR.
// Returned in wire order: low byte, then high byte. Texts of 32767 bytes or
// more are refused with an overflow error (positions are 16-bit).
QByteArray CRC16(const QByteArray &sString);

// One hexadecimal digit "0".."9", "A".."F" (upper case only) to 0..15; anything else is 0.
qint16 Decode(const QByteArray &colums);

// One or two such digits to 0..255; any other length is 0.
qint16 Decode2(const QByteArray &colums);
