#include "shared/counter.h"

#include "shared/runtimeerror.h"

#include <limits>

void increment(qint16 &counter)
{
    if (counter == std::numeric_limits<qint16>::max())
        throw RuntimeError(RuntimeError::Overflow,
                           QStringLiteral("Overflow: a counter went past 32767."));
    ++counter;
}
