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

namespace {

// One byte's step on the CRC register is affine over GF(2): a linear map
// (the step of a zero byte) and then an XOR with the byte's table entry.
// Such steps compose, so a run of n bytes is the step raised to n by squaring.
struct RegisterStep {
    std::array<quint32, 32> columns{}; // what each register bit turns into
    quint32 constant = 0;

    quint32 linear(quint32 value) const
    {
        quint32 result = 0;
        for (int bit = 0; bit < 32; ++bit)
            if ((value >> bit) & 1u)
                result ^= columns[size_t(bit)];
        return result;
    }
    quint32 operator()(quint32 value) const { return linear(value) ^ constant; }

    // This step, then next.
    RegisterStep then(const RegisterStep &next) const
    {
        RegisterStep both;
        for (size_t bit = 0; bit < 32; ++bit)
            both.columns[bit] = next.linear(columns[bit]);
        both.constant = next(constant);
        return both;
    }
};

RegisterStep identityStep()
{
    RegisterStep step;
    for (size_t bit = 0; bit < 32; ++bit)
        step.columns[bit] = quint32(1) << bit;
    return step;
}

RegisterStep byteStep(quint8 byte)
{
    RegisterStep step;
    for (size_t bit = 0; bit < 32; ++bit) {
        const quint32 value = quint32(1) << bit;
        step.columns[bit] = (value >> 8) ^ StepTable[value & 0xFF];
    }
    step.constant = StepTable[byte];
    return step;
}

} // namespace

quint32 crc32OfRepeatedByte(quint8 byte, quint64 count, quint32 previous)
{
    if (count == 0)
        return previous; // most pieces follow on without a gap
    RegisterStep run = identityStep();
    for (RegisterStep power = byteStep(byte); count > 0; count >>= 1) {
        if (count & 1u)
            run = run.then(power);
        power = power.then(power);
    }
    return ~run(~previous);
}
