#pragma once
// The process-wide pseudo-random source. Every draw of the program (camera
// candidates, texture jitter, spray brush) goes through it so that a test can
// seed it and get the same sequence each time. The sequence for a seed is the
// C library's additive feedback generator, so rand()-style values match.

#include <cstdint>

namespace fnd {

class RandomSource {
public:
    static constexpr int kMax = 2147483647;

    explicit RandomSource(unsigned seed = 1) { seed_(seed); }
    void seed(unsigned s) { seed_(s); }
    // Uniform in 0 .. kMax.
    int next();

private:
    void seed_(unsigned s);
    int32_t r_[34];
    int pos_ = 0;
};

constexpr int kRandomMax = RandomSource::kMax;

// The process-wide source.
RandomSource& processRandom();
void seedRandom(unsigned seed);
int nextRandom();
// Seeds from the clock, the process id and a per-process counter, so two
// seedings within one second differ.
void seedRandomFromClock();
unsigned clockSeed();
// Back to the start-up state (seed 1), for tests.
void resetRandom();

}  // namespace fnd
