// A broken invariant in a fuzz target: libFuzzer keeps the input that made the process abort.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void Check(bool condition, int line = __builtin_LINE()) {
    if (!condition) {
        std::fprintf(stderr, "broken: the check at line %d\n", line);
        std::abort();
    }
}
