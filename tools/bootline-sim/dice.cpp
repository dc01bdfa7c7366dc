#include "bootline-sim/dice.h"

bool Dice::chance(double percent)
{
    constexpr double Outcomes = 4294967296.0; // the engine gives 32 bits
    return double(m_engine()) < percent / 100.0 * Outcomes;
}

int Dice::below(int count)
{
    return int(m_engine() % quint32(count));
}
