#include "engine/pollschedule.h"

#include <cmath>

PollSchedule::PollSchedule(MsClock nowMs)
{
    setClock(std::move(nowMs));
}

void PollSchedule::setClock(MsClock nowMs)
{
    m_nowMs = nowMs ? std::move(nowMs) : monotonicClock();
    m_lastTickMs = m_nowMs();
}

void PollSchedule::start()
{
    m_intervalMs = PollMs;
    m_lastTickMs = m_nowMs();
}

int PollSchedule::tick()
{
    // A tick comes a little late, never early: round to the nearest tick.
    const long ticks = qMax(1L, std::lround(double(sinceLastTickMs()) / PollMs));
    m_lastTickMs = m_nowMs();
    return int(ticks - 1);
}

std::optional<int> PollSchedule::afterTick(bool nothingWaiting, int blinkTicks)
{
    const int next = nothingWaiting ? (TicksPerBlink - blinkTicks) * PollMs : PollMs;
    if (next == m_intervalMs)
        return std::nullopt;
    m_intervalMs = next;
    return next;
}

int PollSchedule::restart()
{
    const int slept = asleep() ? int(sinceLastTickMs() / PollMs) : 0;
    m_lastTickMs = m_nowMs();
    m_intervalMs = PollMs;
    return slept;
}

std::optional<int> PollSchedule::wake()
{
    if (!asleep())
        return std::nullopt;
    m_intervalMs = int(PollMs - sinceLastTickMs() % PollMs);
    return m_intervalMs;
}
