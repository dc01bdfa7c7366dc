#pragma once

#include "bootline-sim/commanddecoder.h"

// Plain commands: text lines ending in LF or CR LF. Blank lines are passed
// over; a line longer than any command is dropped.
class LineDecoder : public CommandDecoder {
public:
    // The host sends lines of up to 32758 characters.
    static constexpr qsizetype LongestLine = 40000;

    std::optional<Received> next() override;
};
