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

// The steps in order, each wait holding the program up.
void runLineSequence(const LineSequence &sequence, ModemLines &lines);

// The steps in order, each wait a timer: the program goes on meanwhile.
// finished hears an empty text once the last step is done, or why a step
// was refused; it may delete the run.
class TimedLineSequence {
public:
    using Finished = std::function<void(const QString &failure)>;

    TimedLineSequence(LineSequence sequence, ModemLines &lines, Finished finished);

    // Sets the lines up to the first wait; a sequence without one is over on return.
    void start();
    bool isRunning() const { return m_running; }
    // The wait is over: the steps after it. Its timer calls it.
    void resume();

private:
    LineSequence m_sequence;
    ModemLines &m_lines;
    Finished m_finished;
    qsizetype m_next = 0;
    bool m_running = false;
    QTimer m_wait;
};
