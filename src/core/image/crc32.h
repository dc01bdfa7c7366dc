#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// CRC-32 as zlib and Ethernet have it, by zlib (which Qt loads already):
// reflected polynomial 0xEDB88320, initial value and final XOR 0xFFFFFFFF.
// A checksum over several pieces is the same as over the pieces joined:
// pass each result on as `previous`.
quint32 crc32(QByteArrayView bytes, quint32 previous = 0);

// The same as crc32() over count copies of one byte, without making them:
// a gap of erased flash may span gigabytes. zlib joins the CRCs of runs
// twice as long, about 30 steps however long the gap.
quint32 crc32OfRepeatedByte(quint8 byte, quint64 count, quint32 previous = 0);
