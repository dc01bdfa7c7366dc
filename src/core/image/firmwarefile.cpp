#include "image/firmwarefile.h"

#include "image/elfimage.h"
#include "image/hexfile.h"
#include "image/imagesummary.h"
#include "image/intelhex.h"
#include "image/memoryimage.h"
#include "image/srecord.h"
#include "shared/openforreading.h"
#include "shared/runtimeerror.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace FirmwareFile {

namespace {

// Enough to tell the formats apart.
constexpr qint64 HeadSize = 4096;

// No firmware image is this large; a bigger file is not read into memory.
constexpr qint64 LargestImageFile = qint64(256) * 1024 * 1024;

// What the first bytes of a file look like.
enum class Content { IntelHex, SRecord, Elf, OtherText, Bytes };

bool isTextByte(quint8 byte)
{
    return byte >= 0x20 || byte == '\t' || byte == '\r' || byte == '\n';
}

// A text's first two signs (past a UTF-8 byte-order mark and blanks) tell
// Intel HEX from S-records. Bytes that are no text are no HEX or S-record
// file, whatever a colon or an "S" among them may look like.
Content contentOf(QByteArray head)
{
    if (head.endsWith('\x1A')) // a DOS end-of-file byte; the readers drop it at the end
        head.chop(1);
    if (head.startsWith("\x7f"
                        "ELF"))
        return Content::Elf;
    if (!std::all_of(head.begin(), head.end(), [](char c) { return isTextByte(quint8(c)); }))
        return Content::Bytes;
    QByteArray signs = head;
    if (signs.startsWith("\xEF\xBB\xBF"))
        signs.remove(0, 3);
    signs = signs.simplified().left(2);
    if (signs.startsWith(':'))
        return Content::IntelHex;
    if (signs.size() == 2 && signs[0] == 'S' && std::isdigit(quint8(signs[1])))
        return Content::SRecord;
    return Content::OtherText;
}

// The format a file's name claims, by the usual extensions.
std::optional<Format> formatNamedBy(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    const auto among = [&suffix](std::initializer_list<const char *> suffixes) {
        return std::any_of(suffixes.begin(), suffixes.end(),
                           [&suffix](const char *known) { return suffix == QLatin1String(known); });
    };
    if (among({"hex", "ihx", "ihex"}))
        return Format::IntelHex;
    if (among({"srec", "s19", "s28", "s37", "mot"}))
        return Format::SRecord;
    if (among({"elf", "axf", "out"}))
        return Format::Elf;
    return std::nullopt;
}

// The content decides where it shows a format. Where it does not, a base
// makes it binary; else the name's format, whose reader says what is wrong
// (a HEX file full of NUL bytes is a damaged HEX file, not a binary image);
// else a text goes to the HEX reader, which names the bad line.
std::optional<Format> formatFor(Content content, bool baseGiven, const QString &path)
{
    switch (content) {
    case Content::IntelHex:
        return Format::IntelHex;
    case Content::SRecord:
        return Format::SRecord;
    case Content::Elf:
        return Format::Elf;
    case Content::OtherText:
    case Content::Bytes:
        break;
    }
    if (baseGiven)
        return Format::Binary;
    if (const std::optional<Format> named = formatNamedBy(path))
        return named;
    if (content == Content::OtherText)
        return Format::IntelHex;
    return std::nullopt; // a raw binary image, but where does it go?
}

Format checkedFormat(Content content, bool baseGiven, const QString &path)
{
    const std::optional<Format> format = formatFor(content, baseGiven, path);
    if (!format)
        throw RuntimeError(
            RuntimeError::InvalidFileFormat,
            QStringLiteral("Invalid file format: %1: it is no Intel HEX, S-record or "
                           "ELF file. If it is a raw binary image, give the "
                           "address it loads at (for example --base 0x08000000).")
                .arg(path));
    if (baseGiven && *format != Format::Binary)
        throw RuntimeError(RuntimeError::InvalidFileFormat,
                           QStringLiteral("Invalid file format: %1: it is in the %2 format, which "
                                          "says where its data goes: a base address is only "
                                          "for a raw binary image. Leave out --base.")
                               .arg(path, formatName(*format)));
    return *format;
}

QByteArray readWhole(QFile &file, const QString &path)
{
    if (file.size() > LargestImageFile)
        throw RuntimeError(RuntimeError::Overflow,
                           QStringLiteral("Overflow: %1: it is larger than %2 MiB, too large for a "
                                          "firmware image. Choose the image itself.")
                               .arg(path)
                               .arg(LargestImageFile / 1024 / 1024));
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(
            RuntimeError::DeviceIoError,
            QStringLiteral("Device I/O error while reading %1: %2").arg(path, file.errorString()));
    return content;
}

MemoryImage binaryImage(const QByteArray &content, quint32 base, const QString &path)
{
    if (quint64(base) + quint64(content.size()) > AddressSpace)
        refuseImage(path, QStringLiteral("its %1 bytes at the base %2 run past the address "
                                         "0xFFFFFFFF")
                              .arg(content.size())
                              .arg(addressText(base)));
    return MemoryImage{{{base, content, 1}}, std::nullopt};
}

QList<QByteArray> converted(Format format, const QByteArray &content, std::optional<quint32> base,
                            const QString &path)
{
    MemoryImage image;
    switch (format) {
    case Format::SRecord:
        image = readSRecords(content, path);
        break;
    case Format::Elf:
        image = readElfImage(content, path);
        break;
    case Format::Binary:
        image = binaryImage(content, *base, path);
        break;
    case Format::IntelHex:
        break;
    }
    QList<QByteArray> records = hexRecordsOf(image);
    if (records.size() > HexFile::MaxEntries)
        throw RuntimeError(RuntimeError::SubscriptOutOfRange,
                           QStringLiteral("Subscript out of range: %1: it makes %2 Intel HEX "
                                          "records, more than %3, the most that can be "
                                          "downloaded.")
                               .arg(path)
                               .arg(records.size())
                               .arg(HexFile::MaxEntries));
    return records;
}

} // namespace

QString formatName(Format format)
{
    switch (format) {
    case Format::IntelHex:
        return QStringLiteral("Intel HEX");
    case Format::SRecord:
        return QStringLiteral("Motorola S-record");
    case Format::Elf:
        return QStringLiteral("ELF");
    case Format::Binary:
        return QStringLiteral("raw binary");
    }
    return {};
}

Image read(const QString &path, std::optional<quint32> base)
{
    QFile file(path);
    openForReading(file);
    const Format format = checkedFormat(contentOf(file.peek(HeadSize)), base.has_value(), path);
    if (format == Format::IntelHex) {
        HexFile::Image hex = HexFile::readImage(file, path);
        // The board would take such a file, write nothing and call it done.
        if (!hex.entries.isEmpty() &&
            std::none_of(hex.entries.cbegin(), hex.entries.cend(), IntelHex::holdsDataBytes))
            refuseEmptyImage(path);
        return Image{format, std::move(hex.entries), std::move(hex.sha256)};
    }
    const QByteArray content = readWhole(file, path);
    Image image{format, {}, QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex()};
    if (!content.isEmpty())
        image.entries = converted(format, content, base, path);
    return image;
}

bool isRawBinary(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) &&
           !formatFor(contentOf(file.peek(HeadSize)), false, path).has_value();
}

std::optional<quint32> parseAddress(const QString &text)
{
    const QString digits = text.trimmed();
    const bool hex = digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive);
    bool ok = false;
    const qulonglong value = hex ? digits.mid(2).toULongLong(&ok, 16) : digits.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFULL || digits.contains(u'+') || digits.contains(u'-'))
        return std::nullopt;
    return quint32(value);
}

} // namespace FirmwareFile
