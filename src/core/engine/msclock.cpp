#include "engine/msclock.h"

#include "engine/handclock.h"

#include <QElapsedTimer>

#include <memory>

MsClock monotonicClock()
{
    if (HandClock *hand = HandClock::current())
        return [hand] { return hand->nowMs(); };
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] { return started->elapsed(); };
}
