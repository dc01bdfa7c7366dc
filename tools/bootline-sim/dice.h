#pragma once

#include <QtGlobal>
#include <random>

// The run's one source of chance, seeded from --seed so that a run can be
// repeated exactly. Draws use plain arithmetic on the engine's output, which
// the C++ standard fixes, not the standard distributions, which it leaves to
// each library.
class Dice {
public:
    explicit Dice(quint32 seed) : m_engine(seed) {}

    // True with this chance, in percent (0 never, 100 always).
    bool chance(double percent);

    // One of 0..count-1, for a count from 1.
    int below(int count);

private:
    std::mt19937 m_engine;
};
