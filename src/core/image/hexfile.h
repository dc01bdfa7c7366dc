#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// Reads a HEX file into its entries, the way the loader keeps them: the text
// between commas and line ends (CR, LF or CR LF), a last line without line end
// still an entry, each kept exactly as it stands. A UTF-8 byte-order mark in
// front is skipped. Every entry is a good Intel HEX record (blanks after it
// allowed), and the last is the end-of-file record, on whose answer the board
// ends the download; blank lines after it are dropped, as nothing there is
// sent, and so is a DOS end-of-file byte (0x1A) as the very last byte. An
// empty file, or one of the mark alone, gives no entries. Failures
// raise an error that names the file, and the line where there is one: a file
// that cannot be reached, opened or read, more than MaxEntries entries, an
// entry too long to send, a NUL byte (no plain text), a bad record, a blank
// line or an empty entry beside a comma before the end-of-file record (the
// board would not answer it), a record after that record, no end-of-file
// record at all, blank lines only, or two start records (03 or 05) that give
// different start addresses.
namespace HexFile {

inline constexpr int MaxEntries = 9000;

QList<QByteArray> read(const QString &path);
QList<QByteArray> read(QIODevice &device, const QString &name);

// The entries, and the SHA-256 of the very bytes they were read from: what
// a record of the job names the firmware by.
struct Image {
    QList<QByteArray> entries;
    QByteArray sha256; // lower-case hex
};
Image readImage(QIODevice &device, const QString &name);

} // namespace HexFile
