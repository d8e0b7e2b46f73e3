// Growth of the growable array and the small matrix operations that the
// camera search and the fitting run in their inner loops.
#include <benchmark/benchmark.h>

#include <string>

#include "foundation/dynarray.h"
#include "foundation/numeric.h"
#include "foundation/use.h"

namespace {

void BM_DynarrayAddInt(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        dynarray<int> a;
        for (int i = 0; i < n; ++i) a.add(i);
        benchmark::DoNotOptimize(a[n - 1]);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DynarrayAddInt)->Range(1 << 8, 1 << 16);

// Elements that own storage: growth moves them instead of copying.
void BM_DynarrayAddString(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text(64, 'x');
    for (auto _ : state) {
        dynarray<std::string> a;
        for (int i = 0; i < n; ++i) a.add(text);
        benchmark::DoNotOptimize(a[n - 1].data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DynarrayAddString)->Range(1 << 8, 1 << 14);

void BM_Matrix44Inverse(benchmark::State& state) {
    matrix44<double> m(4, 1, 0, 2, 1, 3, 1, 0, 0, 1, 5, 1, 2, 0, 1, 6);
    for (auto _ : state) {
        benchmark::DoNotOptimize(m = m.Inv());
    }
}
BENCHMARK(BM_Matrix44Inverse);

void BM_Htraf3MapPoints(benchmark::State& state) {
    htraf3<double> h(matrix33<double>(0, 1, 0, -1, 0, 0, 0, 0, 1), vector3<double>(1, 2, 3));
    vector3<double> p(0.5, 0.25, 2);
    for (auto _ : state) {
        p = (p * h).vec3();
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_Htraf3MapPoints);

void BM_ScrambledHalton(benchmark::State& state) {
    unsigned i = 15001;
    for (auto _ : state) {
        double s = 0;
        for (unsigned d = 0; d < 5; ++d) s += fnd::ScrambledHalton(i, d);
        benchmark::DoNotOptimize(s);
        ++i;
    }
}
BENCHMARK(BM_ScrambledHalton);

}  // namespace
