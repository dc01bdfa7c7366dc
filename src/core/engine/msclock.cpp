#include "engine/msclock.h"

#include <QElapsedTimer>

#include <memory>

MsClock monotonicClock()
{
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [started] { return started->elapsed(); };
}
