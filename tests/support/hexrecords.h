#pragma once

#include <QByteArray>
#include <QList>

// Good Intel HEX records for test files: a data record of `count` bytes at
// `address`, its bytes taken from `seed`, with the checksum worked out.
inline QByteArray dataRecord(quint16 address, int seed, int count = 16)
{
    QByteArray bytes;
    bytes.append(char(count)).append(char(address >> 8)).append(char(address & 0xFF)).append('\0');
    for (int i = 0; i < count; ++i)
        bytes.append(char((seed * 31 + i * 7) & 0xFF));
    quint8 sum = 0;
    for (const char b : bytes)
        sum += quint8(b);
    bytes.append(char(quint8(-sum)));
    return ":" + bytes.toHex().toUpper();
}

inline const QByteArray EndOfFileRecord = ":00000001FF";

// A whole file's records: `lines` - 1 data records and the end-of-file record.
inline QList<QByteArray> hexFileRecords(int lines)
{
    QList<QByteArray> records;
    for (int line = 1; line < lines; ++line)
        records << dataRecord(quint16(line * 16), line);
    records << EndOfFileRecord;
    return records;
}

// Any record: its type, address field and data bytes, with the checksum worked out.
inline QByteArray hexRecord(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size())).append(char(address >> 8)).append(char(address & 0xFF));
    bytes.append(char(type)).append(data);
    quint8 sum = 0;
    for (const char b : bytes)
        sum += quint8(b);
    bytes.append(char(quint8(-sum)));
    return ":" + bytes.toHex().toUpper();
}
