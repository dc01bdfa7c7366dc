#pragma once

#include <QByteArray>

// The address bytes of S0 to S9.
constexpr int SRecordAddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

// One S-record line: count, address, data and the ones' complement checksum.
inline QByteArray sRecordLine(int type, quint32 address, const QByteArray &data)
{
    const int addressBytes = SRecordAddressBytes[type];
    QByteArray bytes(1, char(addressBytes + data.size() + 1));
    for (int shift = (addressBytes - 1) * 8; shift >= 0; shift -= 8)
        bytes.append(char(address >> shift));
    bytes.append(data);
    quint8 sum = 0;
    for (const char byte : std::as_const(bytes))
        sum = quint8(sum + quint8(byte));
    bytes.append(char(~sum));
    return 'S' + QByteArray::number(type) + bytes.toHex().toUpper();
}
