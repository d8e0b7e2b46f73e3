#pragma once
// What a benchmark's iterations rebuilt: octree fills, vertex-normal sets,
// the views' display lists, frames painted and rendered, textures uploaded,
// counted from the object's making (the setup before it is not counted, nor
// what runs in Untimed) and reported per iteration.

#include <benchmark/benchmark.h>

#include <functional>

#include "model/head.h"
#include "views/build_counts.h"

namespace benchfix {

class Rebuilds {
public:
    Rebuilds() {
        resetHeadBuildCounts();
        views::resetBuildCounts();
    }
    // Runs what a benchmark does between its timed parts; its builds are
    // not counted.
    void Untimed(const std::function<void()>& f) {
        const Tally before = now();
        f();
        const Tally after = now();
        for (int k = 0; k < kKinds; ++k) left_.n[k] += after.n[k] - before.n[k];
    }
    void Report(benchmark::State& state) const {
        const Tally t = now();
        static const char* const names[kKinds] = {"fills", "normals", "lists", "paints", "renders", "uploads"};
        for (int k = 0; k < kKinds; ++k)
            state.counters[names[k]] = benchmark::Counter(double(t.n[k] - left_.n[k]), benchmark::Counter::kAvgIterations);
    }

private:
    static constexpr int kKinds = 6;
    struct Tally {
        long n[kKinds] = {0, 0, 0, 0, 0, 0};
    };
    static Tally now() {
        const views::BuildCounts& v = views::buildCounts();
        return {{headBuildCounts().octreeFills, headBuildCounts().normalSets, v.wholeLists + v.overlayLists,
                 v.paints[0] + v.paints[1] + v.paints[2] + v.paints[3], v.renders, v.uploads}};
    }
    Tally left_;
};

}  // namespace benchfix
