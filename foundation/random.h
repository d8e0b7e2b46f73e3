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
    int next() {
        // Ring of the last 34 words: i-31 is at pos_+3, i-3 at pos_+31.
        // The texture fill draws millions: wraps instead of divisions.
        const int a = pos_ + 3 < 34 ? pos_ + 3 : pos_ + 3 - 34, b = pos_ + 31 < 34 ? pos_ + 31 : pos_ + 31 - 34;
        const uint32_t v = static_cast<uint32_t>(r_[a]) + static_cast<uint32_t>(r_[b]);
        r_[pos_] = static_cast<int32_t>(v);
        pos_ = pos_ + 1 < 34 ? pos_ + 1 : 0;
        return static_cast<int>(v >> 1);
    }
    // Moves on by m draws, as m calls of next would.
    void skip(long m) {
        for (; m > 0; --m) next();
    }

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
