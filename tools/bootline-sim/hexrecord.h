#pragma once

#include <QByteArray>
#include <optional>

// Intel HEX records as the loader checks them before taking one.
namespace HexRecord {

enum Type {
    Data = 0,
    EndOfFile = 1,
    ExtendedSegmentAddress = 2,
    StartSegmentAddress = 3,
    ExtendedLinearAddress = 4,
    StartLinearAddress = 5,
};

// The type of a well-formed record ":" count address type data checksum, in
// hex digits of either case, blanks after it allowed; none when anything is
// off, including a type the loader does not know or a length that does not
// suit the type.
std::optional<Type> typeOf(const QByteArray &line);

} // namespace HexRecord
