#include "cli/imageinfo.h"

#include <QJsonArray>

namespace {

QString word(quint16 value)
{
    return QString::number(value, 16).rightJustified(4, u'0').toUpper();
}

QString startText(const ImageSummary::StartAddress &start)
{
    if (!start.segment)
        return addressText(start.address) + QStringLiteral(" (linear)");
    return QStringLiteral("%1 (segment, CS:IP %2:%3)")
        .arg(addressText(start.address), word(start.cs), word(start.ip));
}

// A converted file's records are not the file's own.
QString formatText(FirmwareFile::Format format)
{
    if (format == FirmwareFile::Format::IntelHex)
        return FirmwareFile::formatName(format);
    return FirmwareFile::formatName(format) + QStringLiteral(", sent as Intel HEX records");
}

} // namespace

QString imageInfoText(const ImageInfo &info)
{
    const ImageSummary &summary = info.summary;
    QString text;
    const auto line = [&text](const QString &label, const QString &value) {
        // Further lines of one item leave the label column blank.
        text += (label.isEmpty() ? label : label + u':').leftJustified(15) + value + u'\n';
    };
    line(QStringLiteral("File"), info.file);
    line(QStringLiteral("Format"), formatText(info.image.format));
    line(QStringLiteral("Records"), QString::number(summary.records));
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
    line(QStringLiteral("Start address"),
         summary.start ? startText(*summary.start) : QStringLiteral("none given"));
    line(QStringLiteral("SHA-256"), QString::fromLatin1(info.image.sha256));
    line(QStringLiteral("CRC-32"), addressText(summary.crc32)); // of the data in address order
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
    return object;
}
