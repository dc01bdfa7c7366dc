#include "image/crc32.h"

#include <array>

namespace {

constexpr std::array<quint32, 256> stepTable()
{
    std::array<quint32, 256> table{};
    for (quint32 value = 0; value < 256; ++value) {
        quint32 crc = value;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        table[value] = crc;
    }
    return table;
}

constexpr std::array<quint32, 256> StepTable = stepTable();

} // namespace

quint32 crc32(QByteArrayView bytes, quint32 previous)
{
    quint32 crc = ~previous;
    for (const char byte : bytes)
        crc = (crc >> 8) ^ StepTable[(crc ^ quint8(byte)) & 0xFF];
    return ~crc;
}
