#pragma once

#include "bootline-sim/commanddecoder.h"

// Plain commands: text lines ending in LF or CR LF. Blank lines are passed
// over; a line longer than any command is dropped.
class LineDecoder : public CommandDecoder {
public:
    static constexpr qsizetype LongestLine = 1100;

    void feed(const QByteArray &bytes) override { m_buffer += bytes; }
    std::optional<Received> next(quint8 address) override;
};
