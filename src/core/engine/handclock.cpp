#include "engine/handclock.h"

#include "engine/timer.h"

namespace {
HandClock *living = nullptr;
}

HandClock::HandClock()
{
    Q_ASSERT(!living);
    living = this;
}

HandClock::~HandClock()
{
    for (Timer *timer : std::as_const(m_timers))
        timer->m_hand = nullptr;
    living = nullptr;
}

HandClock *HandClock::current()
{
    return living;
}

void HandClock::advance(int ms)
{
    const qint64 until = m_nowMs + ms;
    for (;;) {
        // Looked for afresh each time: a tick may start, stop or make timers.
        Timer *next = nullptr;
        for (Timer *timer : std::as_const(m_timers)) {
            if (timer->isActive() && timer->m_dueAtMs <= until &&
                (!next || timer->m_dueAtMs < next->m_dueAtMs))
                next = timer;
        }
        if (!next)
            break;
        m_nowMs = qMax(m_nowMs, next->m_dueAtMs);
        next->ringByHand();
    }
    m_nowMs = qMax(m_nowMs, until); // a tick that moved the clock on (a modal box) stands
}
