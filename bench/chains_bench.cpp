// Pooled chains under edit churn and the token file reading a long block of
// numbers, as a head file of some tens of thousands of vertices needs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/use.h"

namespace {

struct BenchElem {
    double x = 0, y = 0, z = 0;
    commonlistindex<BenchElem> around;
};

// Append n elements, then remove every other one and add them back: link
// operations are constant time and freed slots are reused.
void BM_ChainChurn(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        commonchain<BenchElem> c;
        std::vector<int> slots;
        slots.reserve(n);
        for (int i = 0; i < n; ++i) slots.push_back(c.add());
        for (int i = 0; i < n; i += 2) c.remove_index(slots[i]);
        for (int i = 0; i < n; i += 2) c.add();
        benchmark::DoNotOptimize(c.count());
    }
    state.SetItemsProcessed(state.iterations() * n * 2);
}
BENCHMARK(BM_ChainChurn)->Range(1 << 10, 1 << 16);

void BM_ChainWalk(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    commonchain<BenchElem> c;
    for (int i = 0; i < n; ++i) c[c.add()].x = i;
    for (auto _ : state) {
        double sum = 0;
        for (int k = c.first(); k != -1; k = c.nextOf(k)) sum += c[k].x;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ChainWalk)->Range(1 << 10, 1 << 16);

void BM_TokenFileReadDoubles(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::string text;
    char buf[64];
    for (int i = 0; i < n; ++i) {
        std::snprintf(buf, sizeof buf, "%d %.6f %9.3f %.6f\n\t", i, i * 1e-6, i * 0.5, -i * 1e-7);
        text += buf;
    }
    std::vector<unsigned char> block(text.begin(), text.end());
    for (auto _ : state) {
        fileTB f;
        f.open(block.data(), block.size());
        int k;
        double a, b, c;
        for (int i = 0; i < n; ++i) f >> k >> a >> b >> c;
        benchmark::DoNotOptimize(f.good());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(block.size()));
}
BENCHMARK(BM_TokenFileReadDoubles)->Range(1 << 10, 1 << 14);

}  // namespace
