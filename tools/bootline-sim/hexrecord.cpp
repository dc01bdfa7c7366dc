#include "bootline-sim/hexrecord.h"

namespace HexRecord {

namespace {

bool allHexDigits(const QByteArray &text)
{
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// The data length each type other than data must have.
int lengthForType(int type)
{
    switch (type) {
    case EndOfFile:
        return 0;
    case ExtendedSegmentAddress:
    case ExtendedLinearAddress:
        return 2;
    case StartSegmentAddress:
    case StartLinearAddress:
        return 4;
    default:
        return -1;
    }
}

} // namespace

std::optional<Type> typeOf(const QByteArray &line)
{
    const QByteArray digits = line.mid(1);
    if (!line.startsWith(':') || digits.size() < 10 || digits.size() % 2 != 0 ||
        !allHexDigits(digits))
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(digits);
    const int count = quint8(bytes[0]);
    const int type = quint8(bytes[3]);
    if (count != bytes.size() - 5 || type > StartLinearAddress)
        return std::nullopt;
    if (type != Data && count != lengthForType(type))
        return std::nullopt;
    quint8 sum = 0;
    for (const char b : bytes)
        sum += quint8(b);
    if (sum != 0)
        return std::nullopt;
    return Type(type);
}

} // namespace HexRecord
