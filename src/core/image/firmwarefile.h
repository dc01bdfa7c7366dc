#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A firmware file in any format the loader takes, as the Intel HEX records
// that go to the board. An Intel HEX file is sent exactly as it stands (see
// HexFile); Motorola S-record, ELF and raw binary images are converted
// (see MemoryImage). The format is found from the content, whatever the name;
// only where the content shows none does the name's extension choose the
// reader, so that a damaged file is refused for what it was meant to be.
namespace FirmwareFile {

enum class Format { IntelHex, SRecord, Elf, Binary };

// "Intel HEX", "Motorola S-record", "ELF", "raw binary".
QString formatName(Format format);

struct Image {
    Format format = Format::IntelHex;
    QList<QByteArray> entries; // the records to send, end-of-file record last
    QByteArray sha256;         // of the file's bytes, lower-case hex
};

// Reads and converts the file. base is where a raw binary image goes; it is
// required for one, and refused for a file of any other format. An empty
// file gives no entries; a file of records but no data bytes is refused. Raises an error that names
// the file when it cannot be read, is refused by its format's reader, would lose data in the
// conversion, or makes more than HexFile::MaxEntries records.
Image read(const QString &path, std::optional<quint32> base = std::nullopt);

// Whether the file holds neither Intel HEX, S-records nor ELF but bytes that
// are no text, under a name that claims no format: a raw binary image, which
// needs a base address. False for a file that cannot be read; read() says why.
bool isRawBinary(const QString &path);

// An address as a user writes it: "0x" and hex digits, or decimal digits,
// up to 0xFFFFFFFF.
std::optional<quint32> parseAddress(const QString &text);

} // namespace FirmwareFile
