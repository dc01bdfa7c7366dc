#include "cli/imageinfo.h"

#include "shared/openforreading.h"
#include "shared/readable.h"
#include "shared/runtimeerror.h"

#include <QCryptographicHash>
#include <QJsonArray>

namespace {

QString word(quint16 value)
{
    return QString::number(value, 16).rightJustified(4, u'0').toUpper();
}

// A 64-bit ELF may give addresses past 32 bits; those keep all their digits.
QString wideAddressText(quint64 address)
{
    if (address <= 0xFFFFFFFFu)
        return addressText(quint32(address));
    return QStringLiteral("0x") + QString::number(address, 16).rightJustified(16, u'0').toUpper();
}

QString plural(quint64 count, const QString &one, const QString &many)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many);
}

QString startText(const ImageInfo &info)
{
    const std::optional<ImageSummary::StartAddress> &start = info.summary.start;
    if (!start && info.elf && info.elf->entryPoint == 0)
        return QStringLiteral("none (0 in the ELF header, so no start address is sent)");
    if (!start)
        return QStringLiteral("none given");
    if (start->segment)
        return QStringLiteral("%1 (segment, CS:IP %2:%3)")
            .arg(addressText(start->address), word(start->cs), word(start->ip));
    if (info.srecord && info.srecord->endType)
        return addressText(start->address) +
               QStringLiteral(" (S%1 record)").arg(*info.srecord->endType);
    if (info.image.format == FirmwareFile::Format::IntelHex)
        return addressText(start->address) + QStringLiteral(" (linear)");
    return addressText(start->address);
}

// A converted file's records are not the file's own.
QString formatText(FirmwareFile::Format format)
{
    if (format == FirmwareFile::Format::IntelHex)
        return FirmwareFile::formatName(format);
    return FirmwareFile::formatName(format) + QStringLiteral(", sent as Intel HEX records");
}

QString recordsText(const ImageInfo &info)
{
    const QString sent = QString::number(info.summary.records);
    QString from;
    switch (info.image.format) {
    case FirmwareFile::Format::IntelHex:
        return sent + QStringLiteral(" (Intel HEX, sent as they stand)");
    case FirmwareFile::Format::SRecord:
        from =
            plural(info.srecord->records, QStringLiteral("S-record"), QStringLiteral("S-records"));
        break;
    case FirmwareFile::Format::Elf:
        from = plural(info.elf->loadSegments.size(), QStringLiteral("loadable segment"),
                      QStringLiteral("loadable segments"));
        break;
    case FirmwareFile::Format::Binary:
        from = plural(info.summary.dataBytes, QStringLiteral("byte"), QStringLiteral("bytes"));
        break;
    }
    return sent + QStringLiteral(" to the board (Intel HEX, converted from %1)").arg(from);
}

QString dataTypesText(const SRecordDetails &details)
{
    QStringList kinds;
    for (const int type : details.dataTypes)
        kinds << QStringLiteral("S%1 (%2-bit addresses)").arg(type).arg(sRecordAddressBits(type));
    return kinds.isEmpty() ? QStringLiteral("none") : kinds.join(QStringLiteral(", "));
}

// Header bytes may be anything; readable() keeps each one visible and true.
QString headerText(const SRecordDetails &details)
{
    if (!details.header)
        return QStringLiteral("none (no S0 record)");
    return u'"' + visibleText(readable(*details.header)) + u'"';
}

QString segmentText(const ElfDetails::Segment &segment)
{
    const QString notSent = QStringLiteral("%1 not sent").arg(segment.bytesNotSent);
    // Its load address means nothing when no byte goes there.
    if (segment.bytesSent == 0)
        return QStringLiteral("runs at %1, nothing sent, %2")
            .arg(wideAddressText(segment.runAddress), notSent);
    QString text = QStringLiteral("load ") + wideAddressText(segment.loadAddress);
    if (segment.runAddress != segment.loadAddress)
        text += QStringLiteral(", runs at ") + wideAddressText(segment.runAddress);
    return text +
           QStringLiteral(", %1 sent, %2")
               .arg(plural(segment.bytesSent, QStringLiteral("byte"), QStringLiteral("bytes")),
                    notSent);
}

QJsonObject elfJson(const ElfDetails &elf)
{
    QJsonArray segments;
    for (const ElfDetails::Segment &segment : elf.loadSegments)
        segments.append(QJsonObject{{"segment", segment.place},
                                    {"load_address", wideAddressText(segment.loadAddress)},
                                    {"run_address", wideAddressText(segment.runAddress)},
                                    {"bytes_sent", qint64(segment.bytesSent)},
                                    {"bytes_not_sent", qint64(segment.bytesNotSent)}});
    return QJsonObject{{"class", elf.bits == 64 ? "ELF64" : "ELF32"},
                       {"byte_order", elf.bigEndian ? "big-endian" : "little-endian"},
                       {"machine", elf.machine},
                       {"machine_number", elf.machineNumber},
                       {"type", elf.type},
                       {"entry_point", wideAddressText(elf.entryPoint)},
                       {"load_segments", segments},
                       {"bytes_not_sent", qint64(elf.bytesNotSent())}};
}

QJsonObject sRecordJson(const SRecordDetails &details)
{
    QJsonArray types;
    for (const int type : details.dataTypes)
        types.append(QStringLiteral("S%1").arg(type));
    const auto typeOrNull = [](const std::optional<int> &type) {
        return type ? QJsonValue(QStringLiteral("S%1").arg(*type)) : QJsonValue();
    };
    return QJsonObject{
        {"header", details.header ? QJsonValue(readable(*details.header)) : QJsonValue()},
        {"data_records", details.dataRecords},
        {"data_types", types},
        {"count_record", typeOrNull(details.countType)},
        {"end_record", typeOrNull(details.endType)}};
}

} // namespace

ImageInfo readImageInfo(const QString &file, const FirmwareFile::Image &image)
{
    ImageInfo info{file, image, summarizeImage(image.entries, file), {}, {}};
    const FirmwareFile::Format format = image.format;
    if (format != FirmwareFile::Format::Elf && format != FirmwareFile::Format::SRecord)
        return info;
    // Read again for what the converted records no longer tell; the details
    // must be of the same bytes as the records.
    QFile source(file);
    openForReading(source);
    const QByteArray content = source.readAll();
    if (QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex() != image.sha256)
        throw RuntimeError(RuntimeError::DeviceIoError,
                           QStringLiteral("Device I/O error: %1 changed while it was read. Run "
                                          "--info again once nothing writes to it.")
                               .arg(file));
    if (format == FirmwareFile::Format::Elf)
        info.elf = readElfDetails(content, file);
    else
        info.srecord = readSRecordDetails(content);
    return info;
}

QString imageInfoText(const ImageInfo &info)
{
    const ImageSummary &summary = info.summary;
    QString text;
    const auto line = [&text](const QString &label, const QString &value) {
        // Further lines of one item leave the label column blank.
        text += (label.isEmpty() ? label : label + u':').leftJustified(15) + value + u'\n';
    };
    line(QStringLiteral("File"), visibleText(info.file));
    line(QStringLiteral("Format"), formatText(info.image.format));
    if (info.elf) {
        const ElfDetails &elf = *info.elf;
        line(QStringLiteral("ELF"), QStringLiteral("%1-bit, %2, %3, %4")
                                        .arg(elf.bits)
                                        .arg(elf.bigEndian ? QStringLiteral("big-endian")
                                                           : QStringLiteral("little-endian"),
                                             elf.machine, elf.type));
        for (const ElfDetails::Segment &segment : elf.loadSegments)
            line(QStringLiteral("Segment %1").arg(segment.place), segmentText(segment));
        line(QStringLiteral("Not sent"),
             elf.bytesNotSent() == 0
                 ? QStringLiteral("nothing: the file holds every byte the segments take")
                 : QStringLiteral("%1 bytes in all (zero-filled at start-up: .bss, heap, stack)")
                       .arg(elf.bytesNotSent()));
    }
    if (info.srecord) {
        const SRecordDetails &srecord = *info.srecord;
        line(QStringLiteral("Header (S0)"), headerText(srecord));
        line(QStringLiteral("Data records"),
             QStringLiteral("%1, %2").arg(srecord.dataRecords).arg(dataTypesText(srecord)));
        line(QStringLiteral("Count record"),
             srecord.countType ? QStringLiteral("S%1, checked").arg(*srecord.countType)
                               : QStringLiteral("none (no S5 or S6)"));
    }
    line(QStringLiteral("Records"), recordsText(info));
    line(QStringLiteral("Data bytes"), QString::number(summary.dataBytes));
    QString label = QStringLiteral("Ranges");
    if (summary.ranges.isEmpty())
        line(label, QStringLiteral("none"));
    for (const ImageSummary::Range &range : summary.ranges) {
        line(label, QStringLiteral("%1-%2  %3 bytes")
                        .arg(addressText(range.start), addressText(range.last))
                        .arg(range.bytes));
        label.clear();
    }
    line(info.elf ? QStringLiteral("Entry point") : QStringLiteral("Start address"),
         startText(info));
    line(QStringLiteral("SHA-256"), QString::fromLatin1(info.image.sha256));
    line(QStringLiteral("CRC-32"),
         addressText(summary.crc32) + QStringLiteral(" (data bytes only, gaps skipped)"));
    if (summary.crc32FilledFF)
        line({}, QStringLiteral("%1 (%2-%3, gaps filled with 0xFF as in erased flash)")
                     .arg(addressText(*summary.crc32FilledFF),
                          addressText(summary.ranges.first().start),
                          addressText(summary.ranges.last().last)));
    return text;
}

QJsonObject imageInfoJson(const ImageInfo &info)
{
    const ImageSummary &summary = info.summary;
    QJsonArray ranges;
    for (const ImageSummary::Range &range : summary.ranges)
        ranges.append(QJsonObject{{"start", addressText(range.start)},
                                  {"end", addressText(range.last)},
                                  {"bytes", range.bytes}});
    QJsonObject object{{"format", FirmwareFile::formatName(info.image.format)},
                       {"file", info.file},
                       {"records", summary.records},
                       {"data_bytes", summary.dataBytes},
                       {"ranges", ranges},
                       {"sha256", QString::fromLatin1(info.image.sha256)},
                       {"crc32", addressText(summary.crc32)}};
    if (summary.start)
        object.insert("start_address", addressText(summary.start->address));
    if (summary.crc32FilledFF) {
        object.insert("crc32_filled_0xff", addressText(*summary.crc32FilledFF));
        object.insert("span_start", addressText(summary.ranges.first().start));
        object.insert("span_end", addressText(summary.ranges.last().last));
    }
    if (info.image.format == FirmwareFile::Format::IntelHex)
        object.insert("file_records", summary.records);
    if (info.srecord) {
        object.insert("file_records", info.srecord->records);
        object.insert("srecord", sRecordJson(*info.srecord));
    }
    if (info.elf)
        object.insert("elf", elfJson(*info.elf));
    return object;
}
