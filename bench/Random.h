// The benchmarks' reproducible random numbers: a 64-bit linear congruential generator, so that
// every run of a payload generator writes the same bytes.
#pragma once

#include <cstdint>

class TRandom {
public:
    explicit TRandom(uint64_t seed) : State(seed) {}
    uint32_t Next() {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(State >> 33);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint64_t State;
};
