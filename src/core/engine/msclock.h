#pragma once

#include <QtGlobal>

#include <functional>

// Milliseconds on a clock that never goes back. The engine's small classes
// take one so that tests can move time by hand.
using MsClock = std::function<qint64()>;

// The monotonic clock, counting from the call; what an empty MsClock means.
// While a HandClock lives (handclock.h), that clock.
MsClock monotonicClock();
