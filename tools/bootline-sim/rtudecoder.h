#pragma once

#include "bootline-sim/commanddecoder.h"

// Modbus RTU host frames: address byte, "BOOT...\r\n", CRC16 low, CRC16 high.
// Nothing marks a frame's end but its checksum, and our commands hold CR LF
// only at their end, so the checksum is tried right after the first CR LF.
// Bytes that cannot start a frame (any address byte followed by "BOOT") are
// dropped, which also gets us back in step after a frame broken off midway.
class RtuDecoder : public CommandDecoder {
public:
    static constexpr qsizetype LongestFrame = 1100; // far more than a HEX record needs

    void feed(const QByteArray &bytes) override { m_buffer += bytes; }
    std::optional<Received> next(quint8 address) override;

private:
    qsizetype frameStartFrom(qsizetype from) const;
    Received dropUpTo(Received::Kind kind, qsizetype end);
};
