// Picks per second on a closed mesh of the template head's size (36,000
// triangles), and the cost of filling the tree.

#include <benchmark/benchmark.h>

#include <vector>

#include "foundation/random.h"
#include "model/head.h"
#include "model/octree.h"
#include "tests/support/test_meshes.h"

namespace {

struct Ray {
    vector3<double> P, d;
};

std::vector<Ray> rays(int n) {
    fnd::RandomSource r(17);
    auto u = [&r](double lo, double hi) { return lo + (hi - lo) * (r.next() / double(fnd::kRandomMax)); };
    std::vector<Ray> out;
    for (int k = 0; k < n; ++k) {
        vector3<double> P(u(-1, 1), u(-1, 1), u(-1, 1));
        P = P * (3.0 / (P.length() + 1e-9));
        vector3<double> target(u(-0.9, 0.9), u(-0.9, 0.9), u(-0.9, 0.9));
        out.push_back({P, (target - P) / (target - P).length()});
    }
    return out;
}

void BM_OctreePick(benchmark::State& state) {
    head3 h;
    testmesh::addShape(h, testmesh::bumpySphereShape(120, 150));
    h.octree().fill();
    std::vector<Ray> rs = rays(4096);
    size_t k = 0;
    int found = 0;
    for (auto _ : state) {
        const Ray& r = rs[k++ & 4095];
        vector3<double> b;
        found += h.octree().getfirst(r.P, r.d, &b) != -1;
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations());
    state.counters["picks/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OctreePick);

void BM_OctreeFill(benchmark::State& state) {
    head3 h;
    testmesh::addShape(h, testmesh::bumpySphereShape(120, 150));
    for (auto _ : state) benchmark::DoNotOptimize(h.octree().fill());
}
BENCHMARK(BM_OctreeFill)->Unit(benchmark::kMillisecond);

}  // namespace
