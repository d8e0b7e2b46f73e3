#include "foundation/random.h"

#include <unistd.h>

#include <atomic>
#include <chrono>

namespace fnd {

void RandomSource::seed_(unsigned s) {
    // 34 words of state: a Park-Miller fill, then the lagged sum r[i-31] + r[i-3];
    // the first 310 sums are thrown away.
    int32_t r[34];
    r[0] = static_cast<int32_t>(s == 0 ? 1 : s);
    for (int i = 1; i < 31; ++i) {
        int64_t v = (16807LL * r[i - 1]) % 2147483647LL;
        if (v < 0) v += 2147483647LL;
        r[i] = static_cast<int32_t>(v);
    }
    for (int i = 31; i < 34; ++i) r[i] = r[i - 31];
    for (int i = 0; i < 34; ++i) r_[i] = r[i];
    pos_ = 0;  // r_[pos_] is the oldest word (i - 34)
    for (int i = 34; i < 344; ++i) next();
}

RandomSource& processRandom() {
    static RandomSource source;
    return source;
}

void seedRandom(unsigned seed) { processRandom().seed(seed); }
int nextRandom() { return processRandom().next(); }

unsigned clockSeed() {
    static std::atomic<unsigned> counter{0};
    auto now = std::chrono::system_clock::now().time_since_epoch();
    uint64_t t = static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    uint64_t x = t ^ (static_cast<uint64_t>(getpid()) << 32) ^ (static_cast<uint64_t>(++counter) * 0x9E3779B97F4A7C15ULL);
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    return static_cast<unsigned>(x);
}

void seedRandomFromClock() { seedRandom(clockSeed()); }
void resetRandom() { seedRandom(1); }

}  // namespace fnd
