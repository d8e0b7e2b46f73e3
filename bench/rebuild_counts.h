#pragma once
// What a benchmark's iterations rebuilt: octree fills, vertex-normal sets,
// the views' display lists and frames, counted from the object's making
// (the setup before it is not counted) and reported per iteration.

#include <benchmark/benchmark.h>

#include "model/head.h"
#include "views/build_counts.h"

namespace benchfix {

class Rebuilds {
public:
    Rebuilds() {
        resetHeadBuildCounts();
        views::resetBuildCounts();
    }
    void Report(benchmark::State& state) const {
        const views::BuildCounts& v = views::buildCounts();
        auto put = [&](const char* name, long n) {
            state.counters[name] = benchmark::Counter(double(n), benchmark::Counter::kAvgIterations);
        };
        put("fills", headBuildCounts().octreeFills);
        put("normals", headBuildCounts().normalSets);
        put("lists", v.wholeLists + v.overlayLists);
        put("paints", v.paints[0] + v.paints[1] + v.paints[2] + v.paints[3]);
    }
};

}  // namespace benchfix
