#include "firmware.h"

#include "link/rtuframe.h"
#include "protocol/commands.h"

namespace {

constexpr double SecondsPerByte = 10.0 / 115200; // start, 8 data bits, stop

QByteArray record(quint8 type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size())).append(char(address >> 8)).append(char(address & 0xFF));
    bytes.append(char(type)).append(data);
    quint8 sum = 0;
    for (const char b : bytes)
        sum += quint8(b);
    bytes.append(char(quint8(-sum)));
    return ":" + bytes.toHex().toUpper();
}

} // namespace

QList<QByteArray> benchFirmware(int lines)
{
    QList<QByteArray> records;
    quint32 address = 0;
    while (records.size() < lines - 1) {
        // The whole address in front keeps records alike in two 64 KiB apart.
        QByteArray data(16, Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i < 4 ? address >> (8 * (3 - i)) : (address * 7 + quint32(i) * 13));
        records << record(0, quint16(address & 0xFFFF), data);
        address += 16;
        if (address % 0x10000 == 0 && records.size() < lines - 1) {
            const quint16 upper = quint16(address >> 16);
            records << record(4, 0, QByteArray(1, char(upper >> 8)) + char(upper & 0xFF));
        }
    }
    records << record(1, 0, {});
    return records;
}

double wireFloorSeconds(const QList<QByteArray> &lines)
{
    const qsizetype replyBytes = rtuFrame(1, "BOK").size();
    qsizetype bytes = 0;
    for (const QByteArray &line : lines)
        bytes += rtuFrame(1, Command::line(line, Command::LineForm::Download)).size() + replyBytes;
    return 2 * double(bytes) * SecondsPerByte;
}
