#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property: say which, and stop so that libFuzzer keeps the input.
inline void check(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "property broken: %s\n", property);
    std::abort();
}
