#pragma once

#include <QList>
#include <optional>

// One step of a sequence on the adapter's modem lines, such as "dtr", "-rts"
// or "wait:100": benches wire DTR and RTS to the board's reset and boot pins.
struct LineStep {
    enum class Action { SetDtr, ClearDtr, SetRts, ClearRts, Wait };
    Action action = Action::Wait;
    int waitMs = 0; // for Wait

    bool operator==(const LineStep &) const = default;
};
using LineSequence = QList<LineStep>;

// The kernel's RS-485 mode: the driver enables the transmitter on RTS while
// it sends, these many milliseconds before and after.
struct Rs485Mode {
    int delayBeforeSendMs = 0;
    int delayAfterSendMs = 0;

    bool operator==(const Rs485Mode &) const = default;
};

// How a local port is set up beyond 115200 8N1, and what is done on its
// modem lines when it opens and before it closes.
struct LineOptions {
    bool lowLatency = true; // asked of drivers that offer it; others stay as they are
    std::optional<Rs485Mode> rs485;
    LineSequence afterOpen;   // before the first question to the board
    LineSequence beforeClose; // once the job has ended, done or not

    bool drivesModemLines() const { return !afterOpen.isEmpty() || !beforeClose.isEmpty(); }

    bool operator==(const LineOptions &) const = default;
};
