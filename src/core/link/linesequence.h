#pragma once

#include "link/lineoptions.h"

#include <QString>
#include <variant>

// The adapter's modem lines, as a sequence drives them.
class ModemLines {
public:
    virtual ~ModemLines() = default;
    // Each raises a RuntimeError that names the port when the driver refuses.
    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;
    virtual void wait(int ms) = 0;
};

// The longest wait a step may ask for: a sequence holds its port's program up.
constexpr int LongestLineWaitMs = 10000;

// "dtr,-rts,wait:100": comma-separated steps, dtr / rts set the line, -dtr /
// -rts clear it, wait:MS waits; "reset" stands for the usual reset pulse,
// -dtr,rts,wait:100,-rts,wait:50, which starts the board anew: in its loader
// before a job, in its new firmware after one.
std::variant<LineSequence, QString> lineSequenceOfText(const QString &text);

// The steps in order, as the text above would write them.
QString lineSequenceText(const LineSequence &sequence);

void runLineSequence(const LineSequence &sequence, ModemLines &lines);
