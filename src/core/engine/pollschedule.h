#pragma once

#include "engine/jobpolicy.h"
#include "engine/msclock.h"

#include <QtGlobal>

#include <functional>
#include <optional>

// When the receive poll ticks. Awake, it ticks every 20 ms. On an idle line
// most ticks would find nothing, yet each wakes the program: so after a tick
// that found nothing waiting the poll sleeps until the lamp's next blink, and
// bytes coming in wake it for the tick it would have had. The ticks it slept
// through are still counted, so the lamp blinks on time.
//
// The schedule only does the sums: the engine sets its timer to the intervals
// given here and adds the ticks slept through to its blink counter.
class PollSchedule {
public:
    static constexpr int PollMs = JobTiming::PollEveryMs;
    static constexpr int TicksPerBlink = JobTiming::TicksPerBlink;

    explicit PollSchedule(MsClock nowMs = {}); // empty: the monotonic clock
    void setClock(MsClock nowMs);

    // What the poll's timer is to run at.
    int intervalMs() const { return m_intervalMs; }
    bool asleep() const { return m_intervalMs > PollMs; }

    // The poll starts awake, counting from now.
    void start();
    // A tick came: how many ticks the poll slept through before it.
    int tick();
    // After the tick: a new interval for the timer, or none when the running
    // one stands. Nothing waiting sleeps until the blink, blinkTicks being
    // the ticks counted since the last one.
    std::optional<int> afterTick(bool nothingWaiting, int blinkTicks);
    // A send puts the next tick one whole interval off, awake. Returns the
    // ticks slept through so far, which still count for the blink.
    int restart();
    // Bytes came in: when asleep, the time to the next tick on the 20 ms beat
    // the poll keeps since its last tick; none when awake.
    std::optional<int> wake();

private:
    qint64 sinceLastTickMs() const { return m_nowMs() - m_lastTickMs; }

    MsClock m_nowMs;
    qint64 m_lastTickMs = 0; // the last tick, or the send that put the next one off
    int m_intervalMs = PollMs;
};
