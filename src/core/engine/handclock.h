#pragma once

#include <QList>
#include <QtGlobal>

class Timer;

// Time moved by hand, for tests. While one lives, the engine's timers
// (timer.h) made on its thread ring only when advance() reaches their time,
// and the clocks monotonicClock() makes (msclock.h) read it. So a test runs
// a job's probes, polls and timeouts as they fall due, in their order,
// without waiting for them. One at a time.
class HandClock {
public:
    HandClock();
    ~HandClock();
    HandClock(const HandClock &) = delete;
    HandClock &operator=(const HandClock &) = delete;

    static HandClock *current(); // the one living, or none

    qint64 nowMs() const { return m_nowMs; }
    // Rings each timer whose time comes within ms from now, in the order their
    // times come, the clock reading each time as its timer rings.
    void advance(int ms);

private:
    friend class Timer;
    void add(Timer *timer) { m_timers.append(timer); }
    void remove(Timer *timer) { m_timers.removeOne(timer); }

    qint64 m_nowMs = 0;
    QList<Timer *> m_timers; // every timer made while this lives, in the order made
};
