#pragma once

#include <QtGlobal>

// Counters are 16-bit: going past 32767 is an overflow error, never a wrap.
void increment(qint16 &counter);
