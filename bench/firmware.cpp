#include "firmware.h"

#include "image/intelhex.h"
#include "link/rtuframe.h"
#include "protocol/commands.h"

namespace {

constexpr double SecondsPerByte = 10.0 / 115200; // start, 8 data bits, stop

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
        records << IntelHex::record(IntelHex::Data, quint16(address & 0xFFFF), data);
        address += 16;
        if (address % 0x10000 == 0 && records.size() < lines - 1) {
            const quint16 upper = quint16(address >> 16);
            records << IntelHex::record(IntelHex::ExtendedLinearAddress, 0,
                                        QByteArray(1, char(upper >> 8)) + char(upper & 0xFF));
        }
    }
    records << IntelHex::record(IntelHex::EndOfFile, 0, {});
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
