// The full template head (TEMPLATE 122) as the program uses it: reading it
// (as the program reads a built-in template: its text is scanned at the
// first read only), filling its triangle octree, picking points on it with
// rays, and one mirroring press.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "foundation/random.h"
#include "document/project_file.h"
#include "framework/resources.h"
#include "model/head.h"
#include "model/mirror.h"
#include "model/octree.h"
#include "tests/support/fakes.h"

namespace {

// Fakes outside the picture-editor mode, the full head chosen.
struct Setting {
    Setting() {
        resetModelState();
        services.app.state().pictureEditor = 0;
        services.document.state().templateId = 122;
    }
    ~Setting() { resetModelState(); }
    fakes::Services services;
};

bool readTemplate(head3& h) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 122);
    if (!bytes.data()) return false;
    fileTB f;
    f.open(bytes.data(), bytes.size());
    h.read(f, true);
    return f.good() && h.status != 0;
}

void BM_TemplateRead(benchmark::State& state) {
    Setting s;
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 122);
    for (auto _ : state) {
        svc::FaceTables tables;
        std::unique_ptr<head3> h = files::ReadTemplateBytes(bytes, tables);
        if (!h) {
            state.SkipWithError("the template head cannot be read");
            return;
        }
        benchmark::DoNotOptimize(h->vertices.count());
    }
}
BENCHMARK(BM_TemplateRead)->Unit(benchmark::kMillisecond);

void BM_TemplateOctreeFill(benchmark::State& state) {
    Setting s;
    head3 h;
    if (!readTemplate(h)) {
        state.SkipWithError("the template head cannot be read");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(h.octree().fill());
}
BENCHMARK(BM_TemplateOctreeFill)->Unit(benchmark::kMillisecond);

// Rays from a sphere about the head (three times its size) towards points
// in its box, as picks with the mouse come from the eye.
struct Ray {
    vector3<double> P, d;
};

std::vector<Ray> raysAt(const head3& h, int n) {
    fnd::RandomSource r(23);
    auto u = [&r](double lo, double hi) { return lo + (hi - lo) * (r.next() / double(fnd::kRandomMax)); };
    const vector3<double> c = (h.boxMin + h.boxMax) * 0.5, half = (h.boxMax - h.boxMin) * 0.5;
    std::vector<Ray> out;
    for (int k = 0; k < n; ++k) {
        vector3<double> dir(u(-1, 1), u(-1, 1), u(-1, 1));
        const vector3<double> P = c + dir * (3.0 * h.extent / (dir.length() + 1e-9));
        const vector3<double> target(c.x + u(-1, 1) * half.x, c.y + u(-1, 1) * half.y, c.z + u(-1, 1) * half.z);
        out.push_back({P, (target - P) / (target - P).length()});
    }
    return out;
}

void BM_TemplatePick(benchmark::State& state) {
    Setting s;
    head3 h;
    if (!readTemplate(h) || !h.SetMinMaxOctree(false)) {
        state.SkipWithError("the template head cannot be read");
        return;
    }
    const std::vector<Ray> rs = raysAt(h, 4096);
    size_t k = 0;
    int found = 0;
    for (auto _ : state) {
        const Ray& r = rs[k++ & 4095];
        vector3<double> b;
        found += h.octree().getfirst(r.P, r.d, &b) != -1;
    }
    benchmark::DoNotOptimize(found);
    state.counters["picks/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TemplatePick);

void BM_TemplateMirror(benchmark::State& state) {
    Setting s;
    head3 h;
    if (!readTemplate(h)) {
        state.SkipWithError("the template head cannot be read");
        return;
    }
    h.BuildMirror();
    std::vector<vector3<double>> start;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) start.push_back(h.vertices[v].position);
    for (auto _ : state) {
        state.PauseTiming();
        size_t k = 0;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) h.vertices[v].position = start[k++];
        h.BuildMirror();
        state.ResumeTiming();
        benchmark::DoNotOptimize(MirrorHead(h, 'R'));
    }
}
BENCHMARK(BM_TemplateMirror)->Unit(benchmark::kMillisecond);

}  // namespace
