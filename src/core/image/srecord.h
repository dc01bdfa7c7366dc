#pragma once

#include "image/memoryimage.h"

#include <QByteArray>
#include <QString>

// Motorola S-records, one a line (CR, LF or CR LF; blank lines and blanks
// after a record allowed): "S", the type digit, then in hex digits of either
// case a byte count, the address, the data and a checksum, the ones'
// complement of the sum of the count, address and data bytes.
//
// S0 is a header and carries nothing to load. S1, S2 and S3 carry data at a
// 16-, 24- or 32-bit address; S5 and S6 count the data records before them;
// S7, S8 and S9 give the start address and end the file. A file may also end
// with a count record and give no start address. An end record repeated
// with the same address is taken once. A DOS end-of-file byte (0x1A) as the
// very last byte is dropped. A line's place is its line number.
// Raises an InvalidFileFormat error (refuseImage) naming the file and the
// line when a line is no S-record, its count does not match its length, its
// checksum is wrong, its type is S4 or unknown, its address record is too
// short, its data runs past 0xFFFFFFFF, a count record does not match the
// data records before it, two lines write the same address, a record other
// than the same end record comes after the end record, the file ends with
// neither an end record nor a count record (it may be cut short), or the
// file holds no data bytes (refuseEmptyImage). The pieces come back in
// address order.
MemoryImage readSRecords(const QByteArray &content, const QString &name);
