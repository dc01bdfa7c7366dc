#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Intel HEX records: ":", then in hex digits of either case a byte count,
// a two-byte address, a record type, that many data bytes and a checksum
// that brings the sum of all the bytes to 0 modulo 256. The end-of-file record
// (type 01) has no data bytes.
namespace IntelHex {

enum RecordType : quint8 {
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegmentAddress = 0x02,
    StartSegmentAddress = 0x03,
    ExtendedLinearAddress = 0x04,
    StartLinearAddress = 0x05,
};

// A record of the type at the address with the data, in upper-case hex digits,
// its checksum worked out.
QByteArray record(RecordType type, quint16 address, const QByteArray &data);

// What is wrong with a record line, in words that follow "line n "; empty
// when it is a good record. Blanks after the record are allowed.
QString recordProblem(const QByteArray &line);

// A good record's parts, the address as a big-endian number.
struct Record {
    quint8 type = 0;
    quint16 address = 0;
    QByteArray data;
};
Record decoded(const QByteArray &goodRecord);

// Whether a good record is the end-of-file record (type 01), on which the
// board takes the image as whole.
bool isEndOfFileRecord(const QByteArray &goodRecord);

// Whether a good record is a data record (type 00) with at least one byte.
bool holdsDataBytes(const QByteArray &goodRecord);

// The start address a good start record gives: CS * 16 + IP for a start
// segment address (type 03), the address of a start linear address (type 05).
// Nothing for any other record, or one of the wrong length.
std::optional<quint32> startAddressOf(const QByteArray &goodRecord);

} // namespace IntelHex
