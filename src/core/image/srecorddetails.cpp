#include "image/srecorddetails.h"

#include <algorithm>

int sRecordAddressBits(int dataType)
{
    return 8 * (dataType + 1);
}

SRecordDetails readSRecordDetails(const QByteArray &content)
{
    SRecordDetails details;
    QByteArray text = content;
    text.replace("\r\n", "\n").replace('\r', '\n');
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray record = line.trimmed();
        if (record.isEmpty())
            continue;
        ++details.records;
        if (record.size() < 2 || record[0] != 'S')
            continue;
        const int type = record[1] - '0';
        switch (type) {
        case 0: {
            // The count byte and two address bytes before the text, the checksum after it.
            const QByteArray bytes = QByteArray::fromHex(record.mid(2));
            details.header = bytes.mid(3, bytes.size() - 4);
            break;
        }
        case 1:
        case 2:
        case 3:
            ++details.dataRecords;
            if (!details.dataTypes.contains(type)) {
                details.dataTypes.append(type);
                std::sort(details.dataTypes.begin(), details.dataTypes.end());
            }
            break;
        case 5:
        case 6:
            details.countType = type;
            break;
        case 7:
        case 8:
        case 9:
            details.endType = type;
            break;
        default:
            break;
        }
    }
    return details;
}
