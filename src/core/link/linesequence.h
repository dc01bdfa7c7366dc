#pragma once

#include "link/lineoptions.h"

#include <QString>
#include <QTimer>
#include <functional>
#include <variant>

// The adapter's modem lines, as a sequence drives them.
class ModemLines {
public:
    virtual ~ModemLines() = default;
    // Each raises a RuntimeError that names the port when the driver refuses.
    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;
    // Holds the program up for a wait of ms.
    virtual void wait(int ms) = 0;
    // How long a timed wait of ms runs its timer: a fake clock passes it at once.
    virtual int waitTimerMs(int ms) { return ms; }
};

// The longest wait a step may ask for.
constexpr int LongestLineWaitMs = 10000;

// "dtr,-rts,wait:100": comma-separated steps, dtr / rts set the line, -dtr /
// -rts clear it, wait:MS waits; "reset" stands for the usual reset pulse,
// -dtr,rts,wait:100,-rts,wait:50, which starts the board anew: in its loader
// before a job, in its new firmware after one.
std::variant<LineSequence, QString> lineSequenceOfText(const QString &text);

// The steps in order, as the text above would write them.
QString lineSequenceText(const LineSequence &sequence);

// The steps in order, each wait a timer: the program goes on meanwhile.
// finished hears, from the event loop, an empty text once the last step is
// done, or why a step after a wait was refused; it may delete the run.
class TimedLineSequence {
public:
    using Finished = std::function<void(const QString &failure)>;

    TimedLineSequence(LineSequence sequence, ModemLines &lines, Finished finished);

    // Sets the lines up to the first wait, throwing the refusal of one of
    // them. True: there was no wait, and the sequence is over.
    bool start();
    // The steps left, at once, each wait holding the program up: for a port
    // that goes away in the middle of its sequence.
    void finishNow();

private:
    void resume();        // the wait is over: the steps after it
    bool runToNextWait(); // true: no wait left

    LineSequence m_sequence;
    ModemLines &m_lines;
    Finished m_finished;
    qsizetype m_next = 0;
    QTimer m_wait;
};
