#include "image/intelhex.h"

#include <QtEndian>

namespace IntelHex {

namespace {

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString byteText(int value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper();
}

QString shown(char c)
{
    const quint8 byte = quint8(c);
    if (byte >= 0x20 && byte < 0x7F)
        return QStringLiteral("\"%1\"").arg(QChar(byte));
    return QStringLiteral("the byte 0x") + byteText(byte);
}

constexpr qsizetype TypeDigitsAt = 7; // after ":", the count and the address

} // namespace

QByteArray record(RecordType type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size())).append(char(address >> 8)).append(char(address & 0xFF));
    bytes.append(char(type)).append(data);
    quint8 sum = 0;
    for (const char byte : std::as_const(bytes))
        sum = quint8(sum + quint8(byte));
    bytes.append(char(quint8(-sum)));
    return ':' + bytes.toHex().toUpper();
}

QString recordProblem(const QByteArray &line)
{
    if (!line.startsWith(':'))
        return QStringLiteral("does not start with \":\" but with %1").arg(shown(line[0]));
    qsizetype end = line.size();
    while (end > 1 && (line[end - 1] == ' ' || line[end - 1] == '\t'))
        --end;
    QByteArray bytes;
    for (qsizetype at = 1; at < end; at += 2) {
        const int high = hexDigitValue(line[at]);
        if (high < 0)
            return QStringLiteral("holds %1 where a hex digit belongs").arg(shown(line[at]));
        if (at + 1 == end)
            return QStringLiteral("has an odd number of hex digits");
        const int low = hexDigitValue(line[at + 1]);
        if (low < 0)
            return QStringLiteral("holds %1 where a hex digit belongs").arg(shown(line[at + 1]));
        bytes.append(char(high * 16 + low));
    }
    constexpr int CountAddressTypeChecksum = 5;
    constexpr int TypeByteAt = 3;
    if (bytes.size() < CountAddressTypeChecksum)
        return QStringLiteral("is too short for a record");
    const int count = quint8(bytes[0]);
    const int dataBytes = int(bytes.size()) - CountAddressTypeChecksum;
    if (count != dataBytes)
        return QStringLiteral("gives a byte count of %1 but holds %2 data bytes")
            .arg(count)
            .arg(dataBytes);
    quint8 sum = 0;
    for (qsizetype at = 0; at + 1 < bytes.size(); ++at)
        sum += quint8(bytes[at]);
    const quint8 checksum = quint8(-sum);
    if (checksum != quint8(bytes.back()))
        return QStringLiteral("ends in the checksum %1 where %2 belongs")
            .arg(byteText(quint8(bytes.back())), byteText(checksum));
    if (bytes[TypeByteAt] == EndOfFile && count != 0)
        return QStringLiteral("is an end-of-file record (type 01) with a byte count of %1 "
                              "where 0 belongs")
            .arg(count);
    return {};
}

bool isEndOfFileRecord(const QByteArray &goodRecord)
{
    return goodRecord.mid(TypeDigitsAt, 2).toInt(nullptr, 16) == EndOfFile;
}

Record decoded(const QByteArray &goodRecord)
{
    const QByteArray bytes = QByteArray::fromHex(goodRecord.mid(1).trimmed());
    return {quint8(bytes[3]), qFromBigEndian<quint16>(bytes.constData() + 1),
            bytes.mid(4, bytes.size() - 5)};
}

bool holdsDataBytes(const QByteArray &goodRecord)
{
    const Record record = decoded(goodRecord);
    return record.type == Data && !record.data.isEmpty();
}

std::optional<quint32> startAddressOf(const QByteArray &goodRecord)
{
    const Record record = decoded(goodRecord);
    if (record.data.size() != 4 ||
        (record.type != StartSegmentAddress && record.type != StartLinearAddress))
        return std::nullopt;
    const quint32 value = qFromBigEndian<quint32>(record.data.constData());
    if (record.type == StartSegmentAddress)
        return (value >> 16) * 16 + (value & 0xFFFF);
    return value;
}

} // namespace IntelHex
