#include "engine/timer.h"

Timer::Timer(int intervalMs, QObject *parent) : QTimer(parent)
{
    setInterval(intervalMs);
    setTimerType(Qt::PreciseTimer);
}

void Timer::setEnabled(bool enabled)
{
    if (!enabled)
        stop();
    else if (!isActive())
        start();
}
