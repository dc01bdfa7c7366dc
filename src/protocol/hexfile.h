#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

// Reads a HEX file into its entries, the way the loader keeps them: the text
// between commas and line ends (CR, LF or CR LF), a blank line giving an empty
// entry, a last line without line end still an entry. Record syntax is left
// to the board. Failures raise an error that names the file and the cause:
// a file that cannot be opened or read, more than MaxEntries entries, or an
// entry too long to send, found as soon as it is read.
namespace HexFile {

inline constexpr int MaxEntries = 9000;

QList<QByteArray> read(const QString &path);
QList<QByteArray> read(QIODevice &device, const QString &name);

} // namespace HexFile
