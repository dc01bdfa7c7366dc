#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// Reads a HEX file into its entries, the way the loader keeps them: the text
// between commas and line ends (CR, LF or CR LF), a blank line giving an empty
// entry, a last line without line end still an entry. Each entry is kept
// exactly as it stands, and each that is not blank must be a good Intel HEX
// record (blanks after it allowed). Failures raise an error that names the
// file, and the line where there is one: a file that cannot be reached,
// opened or read, more than MaxEntries entries, an entry too long to send, a
// NUL byte (no plain text), a bad record, or blank lines only.
namespace HexFile {

inline constexpr int MaxEntries = 9000;

QList<QByteArray> read(const QString &path);
QList<QByteArray> read(QIODevice &device, const QString &name);

} // namespace HexFile
