#include "bootline-sim/hexrecord.h"

#include "image/intelhex.h"

namespace HexRecord {

namespace {

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
    if (!IntelHex::recordProblem(line).isEmpty())
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(line.mid(1).trimmed());
    const int count = quint8(bytes[0]);
    const int type = quint8(bytes[3]);
    if (type > StartLinearAddress || (type != Data && count != lengthForType(type)))
        return std::nullopt;
    return Type(type);
}

} // namespace HexRecord
