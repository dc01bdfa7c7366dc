#pragma once

#include <QByteArray>
#include <QString>

// Intel HEX records: ":", then in hex digits of either case a byte count,
// a two-byte address, a record type, that many data bytes and a checksum
// that brings the sum of all the bytes to 0 modulo 256. The end-of-file record
// (type 01) has no data bytes.
namespace IntelHex {

// What is wrong with a record line, in words that follow "line n "; empty
// when it is a good record. Blanks after the record are allowed.
QString recordProblem(const QByteArray &line);

// Whether a good record is the end-of-file record (type 01), on which the
// board takes the image as whole.
bool isEndOfFileRecord(const QByteArray &goodRecord);

} // namespace IntelHex
