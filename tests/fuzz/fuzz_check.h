#pragma once

// A broken promise ends the process loudly: libFuzzer keeps the input that did it,
// and the replay test fails.

#include <cstdio>
#include <cstdlib>

namespace bfq::fuzz {

inline void require(bool holds, const char* promise) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s\n", promise);
    std::abort();
}

}  // namespace bfq::fuzz
