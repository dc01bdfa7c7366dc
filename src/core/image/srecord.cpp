#include "image/srecord.h"

#include "image/imagesummary.h"

#include <QList>
#include <QtEndian>

#include <cctype>

namespace {

// The address bytes of each record type S0 to S9; S4 is reserved.
constexpr int AddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

bool isHexDigits(const QByteArray &text)
{
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// An address of 2, 3 or 4 bytes, the first the highest.
quint32 bigEndian(const QByteArray &bytes)
{
    const QByteArray fourBytes = QByteArray(4 - bytes.size(), '\0') + bytes;
    return qFromBigEndian<quint32>(fourBytes.constData());
}

class SRecordReader {
public:
    explicit SRecordReader(const QString &name) : m_name(name) {}

    void readLine(const QByteArray &text, int line)
    {
        const QByteArray record = text.trimmed();
        if (record.isEmpty())
            return;
        if (m_endLine != 0 && !isEndRecord(record))
            refuse(line, QStringLiteral("comes after the end record on line %1: the file ends "
                                        "there")
                             .arg(m_endLine));
        if (record.size() < 4 || record[0] != 'S' || !std::isdigit(quint8(record[1])))
            refuse(line, QStringLiteral("is not an S-record: it does not begin with \"S\" and "
                                        "a type digit"));
        const int type = record[1] - '0';
        const QByteArray digits = record.mid(2);
        if (!isHexDigits(digits) || digits.size() % 2 != 0)
            refuse(line, QStringLiteral("holds something other than pairs of hex digits"));
        const QByteArray bytes = QByteArray::fromHex(digits);
        const int count = quint8(bytes[0]);
        if (count != bytes.size() - 1)
            refuse(line, QStringLiteral("has the byte count %1 where %2 bytes follow")
                             .arg(count)
                             .arg(bytes.size() - 1));
        quint8 sum = 0;
        for (qsizetype i = 0; i < bytes.size() - 1; ++i)
            sum = quint8(sum + quint8(bytes[i]));
        const quint8 checksum = quint8(bytes.back());
        if (quint8(~sum) != checksum)
            refuse(line, QStringLiteral("has the checksum %1 where %2 belongs: the line is "
                                        "damaged")
                             .arg(hexByte(checksum), hexByte(quint8(~sum))));
        if (type == 4)
            refuse(line, QStringLiteral("is an S4 record, a type no loader knows"));
        const int addressBytes = AddressBytes[type];
        if (count < addressBytes + 1)
            refuse(line, QStringLiteral("is too short for the address of an S%1 record").arg(type));
        const quint32 address = bigEndian(bytes.mid(1, addressBytes));
        const QByteArray data = bytes.mid(1 + addressBytes, count - addressBytes - 1);
        take(type, address, data, line);
    }

    MemoryImage image()
    {
        // Without one a file cut short at a line end would go as a part. A
        // count record last vouches for every data record, so it ends a file
        // as well; srec_cat writes no start address unless told to.
        if (m_endLine == 0 && !m_endsWithCount)
            refuseImage(m_name, QStringLiteral("there is neither an end record (S7, S8 or S9) "
                                               "nor a count record (S5 or S6) at its end, so it "
                                               "may be cut short; srec_cat adds an end record "
                                               "with -execution-start-address=ADDRESS"));
        if (m_image.pieces.isEmpty())
            refuseEmptyImage(m_name);
        if (const std::optional<Overlap> overlap = sortAndFindOverlap(m_image.pieces))
            refuseImage(m_name, QStringLiteral("lines %1 and %2 both write the address %3")
                                    .arg(overlap->first)
                                    .arg(overlap->second)
                                    .arg(addressText(quint32(overlap->address))));
        return std::move(m_image);
    }

private:
    static bool isEndRecord(const QByteArray &record)
    {
        return record.size() >= 2 && record[0] == 'S' && record[1] >= '7' && record[1] <= '9';
    }

    void take(int type, quint32 address, const QByteArray &data, int line)
    {
        m_endsWithCount = type == 5 || type == 6;
        switch (type) {
        case 1:
        case 2:
        case 3:
            if (quint64(address) + quint64(data.size()) > AddressSpace)
                refuse(line, QStringLiteral("writes past the address 0xFFFFFFFF"));
            ++m_dataRecords;
            if (!data.isEmpty())
                m_image.pieces.append({address, data, line});
            break;
        case 5:
        case 6:
            if (address != m_dataRecords % (quint64(1) << (8 * AddressBytes[type])))
                refuse(line, QStringLiteral("counts %1 data records where %2 come before it: "
                                            "lines are missing")
                                 .arg(address)
                                 .arg(m_dataRecords));
            break;
        case 7:
        case 8:
        case 9:
            // The same end record twice does no harm; two start addresses do.
            if (m_endLine != 0 && address != m_image.start)
                refuse(line, QStringLiteral("gives the start address %1 where the end record "
                                            "on line %2 gives %3: which one the firmware "
                                            "starts at is unclear")
                                 .arg(addressText(address))
                                 .arg(m_endLine)
                                 .arg(addressText(*m_image.start)));
            if (m_endLine == 0) {
                m_image.start = address;
                m_endLine = line;
            }
            break;
        default: // S0, the header
            break;
        }
    }

    static QString hexByte(quint8 byte)
    {
        return QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
    }

    [[noreturn]] void refuse(int line, const QString &what) const
    {
        refuseImage(m_name, QStringLiteral("line %1 %2").arg(line).arg(what));
    }

    QString m_name;
    MemoryImage m_image;
    quint64 m_dataRecords = 0;
    int m_endLine = 0; // the S7, S8 or S9 record's; none yet
    bool m_endsWithCount = false;
};

} // namespace

MemoryImage readSRecords(const QByteArray &content, const QString &name)
{
    SRecordReader reader(name);
    QByteArray text = content;
    if (text.endsWith('\x1A')) // a DOS end-of-file byte, no part of the text
        text.chop(1);
    text.replace("\r\n", "\n").replace('\r', '\n');
    int line = 0;
    for (const QByteArray &record : text.split('\n'))
        reader.readLine(record, ++line);
    return reader.image();
}
