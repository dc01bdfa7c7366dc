#pragma once

#include "image/memoryimage.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>

#include <optional>

Q_DECLARE_METATYPE(MemoryImage)

// Every byte an image puts in place, by address, and its start address: what
// two images must agree on to load the same firmware.
struct MemoryBytes {
    QMap<quint64, char> bytes;
    std::optional<quint32> start;
    bool operator==(const MemoryBytes &) const = default;
};

inline MemoryBytes memoryBytesOf(const MemoryImage &image)
{
    MemoryBytes memory{{}, image.start};
    for (const MemoryPiece &piece : image.pieces) {
        for (qsizetype i = 0; i < piece.bytes.size(); ++i)
            memory.bytes.insert(piece.start + quint64(i), piece.bytes[i]);
    }
    return memory;
}

// The same from Intel HEX records, read on their own terms: 00 data at the
// base that 02 and 04 records set, 03 and 05 start addresses.
inline MemoryBytes memoryBytesOf(const QList<QByteArray> &records)
{
    MemoryBytes memory;
    quint64 base = 0;
    for (const QByteArray &record : records) {
        const QByteArray bytes = QByteArray::fromHex(record.mid(1).trimmed());
        const auto word = [&bytes](int at) {
            return quint32(quint8(bytes[at]) << 8 | quint8(bytes[at + 1]));
        };
        const QByteArray data = bytes.mid(4, quint8(bytes[0]));
        switch (bytes[3]) {
        case 0:
            for (qsizetype i = 0; i < data.size(); ++i)
                memory.bytes.insert(base + word(1) + quint64(i), data[i]);
            break;
        case 2:
            base = quint64(word(4)) << 4;
            break;
        case 3:
            memory.start = word(4) * 16 + word(6);
            break;
        case 4:
            base = quint64(word(4)) << 16;
            break;
        case 5:
            memory.start = word(4) << 16 | word(6);
            break;
        default:
            break;
        }
    }
    return memory;
}
