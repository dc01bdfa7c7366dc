#pragma once

#include "bootline-sim/commanddecoder.h"

// Modbus RTU host frames: address byte, "BOOT...\r\n", CRC16 low, CRC16 high.
// Nothing marks a frame's end but its checksum, and our commands hold CR LF
// only at their end, so the checksum is tried right after the first CR LF.
// Bytes that cannot start a frame (any address byte followed by "BOOT") are
// dropped, which also gets us back in step after a frame broken off midway.
class RtuDecoder : public CommandDecoder {
public:
    // The host's frames fit in 32767 bytes; far longer is junk.
    static constexpr qsizetype LongestFrame = 40000;

    std::optional<Received> next() override;

private:
    qsizetype frameStartFrom(qsizetype from) const;
    Received dropUpTo(Received::Kind kind, qsizetype end);
};
