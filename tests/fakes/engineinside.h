#pragma once

#include "engine/engine.h"
#include "engine/timer.h"

// The engine's inside, for tests that set up a situation or run a timer's
// tick or the port's arrival by hand instead of waiting for it.
class EngineInside {
public:
    explicit EngineInside(Engine &engine) : state(engine.state), m_engine(engine) {}

    EngineState &state;

    void probeTick() { m_engine.probeTick(); }
    void receivePollTick() { m_engine.receivePollTick(); }
    void actOnReply() { m_engine.actOnReply(); }
    void takeRepliesNow() { m_engine.takeRepliesNow(); }
    void replyOverdue() { m_engine.replyOverdue(); }
    void setPollClock(MsClock nowMs) { m_engine.m_pollSchedule.setClock(std::move(nowMs)); }

    // The timers, whose ticks the tests call by hand.
    Timer &probeTimer() { return *m_engine.m_probeTimer; }
    Timer &pollTimer() { return *m_engine.m_pollTimer; }
    Timer &replyWatchTimer() { return *m_engine.m_replyWatchTimer; }
    Timer &replyGapTimer() { return *m_engine.m_replyGapTimer; }

private:
    Engine &m_engine;
};
