#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// CRC-32 as zlib and Ethernet have it: reflected polynomial 0xEDB88320,
// initial value and final XOR 0xFFFFFFFF. A checksum over several pieces is
// the same as over the pieces joined: pass each result on as `previous`.
quint32 crc32(QByteArrayView bytes, quint32 previous = 0);
