// Camera search over the stand-in head's 32 pairs: the candidate table, the
// search, and both as the camera step runs them (the first step of a run
// builds the table, later ones copy it). Goal: under 10 ms for the step on
// one core, the first one included.

#include <benchmark/benchmark.h>

#include <fstream>
#include <random>
#include <sstream>

#include "fitting/camera_search.h"
#include "tests/fitting/synthetic_head.h"
#include "tests/fitting/template_pipeline.h"

namespace {

constexpr int W = 576, H = 768;

void feed() {
    std::mt19937 rng(11);
    synthetic::feedPairs(synthetic::poseCamera(0.35, -0.12, 0.1, {4, -6, 2}, 1250, 9, -14), W, H, 1.0, rng);
}

// One camera step with the sphere of eyes around (c, 0, 0).
void step(double c, CameraFound* found) {
    kozeppont(c, 0, 0);
    generation_possible_camera_models();
    ponttavolsag_optimalizalas(cameraSearchTables().basic_2D_points.size(), found);
    benchmark::DoNotOptimize(*found);
}

void report(benchmark::State& state, const CameraFound& found) {
    state.counters["candidate"] = double(found.index);
    state.counters["error_px"] = found.error;
}

void BM_CandidateTable(benchmark::State& state) {
    kozeppont(0, 0, 0);
    for (auto _ : state) {
        generation_possible_camera_models();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CandidateTable)->Unit(benchmark::kMillisecond);

// The first camera step of a run builds the table; a new centre forces that.
void BM_CandidateTableFirstBuild(benchmark::State& state) {
    double c = 0;
    for (auto _ : state) {
        c += 1e-3;
        kozeppont(c, 0, 0);
        generation_possible_camera_models();
        benchmark::ClobberMemory();
    }
    kozeppont(0, 0, 0);
}
BENCHMARK(BM_CandidateTableFirstBuild)->Unit(benchmark::kMillisecond);

void BM_CameraStepFirstOfRun(benchmark::State& state) {
    feed();
    CameraFound found;
    double c = 0;
    for (auto _ : state) step(c += 1e-3, &found);
    kozeppont(0, 0, 0);
}
BENCHMARK(BM_CameraStepFirstOfRun)->Unit(benchmark::kMillisecond);

// The first camera step of a process: fresh tables, the pairs, the table
// build (a centre not built before forces it) and the search.
void BM_FirstSearchAfterReset(benchmark::State& state) {
    CameraFound found;
    double c = 0;
    for (auto _ : state) {
        resetCameraSearch();
        feed();
        step(c += 1e-3, &found);
    }
    kozeppont(0, 0, 0);
}
BENCHMARK(BM_FirstSearchAfterReset)->Unit(benchmark::kMillisecond);

void BM_SearchOnly(benchmark::State& state) {
    feed();
    kozeppont(0, 0, 0);
    generation_possible_camera_models();
    CameraFound found;
    for (auto _ : state) {
        ponttavolsag_optimalizalas(cameraSearchTables().basic_2D_points.size(), &found);
        benchmark::DoNotOptimize(found);
    }
    state.counters["error_px"] = found.error;
}
BENCHMARK(BM_SearchOnly)->Unit(benchmark::kMillisecond);

void BM_CameraStep(benchmark::State& state) {
    feed();
    CameraFound found;
    for (auto _ : state) step(0, &found);
    report(state, found);
}
BENCHMARK(BM_CameraStep)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The template head's feature points marked as a user marks a photo: seen by
// a camera a little off the front and moved 3 to 6 pixels each.
// One fixture at a time: a run owns the model's pools while it lives.
std::unique_ptr<pipeline::Run> realisticRun() {
    auto r = std::make_unique<pipeline::Run>();
    {
        if (!r->loadTemplate()) return nullptr;
        CWinBmp blank;
        blank.Create(1024, 768, 32, false);
        r->setPhoto(blank);
        ProjectionCore known = pipeline::Run::cameraOver(1024, 768, {70, 25, 470}, {2, -3, 0}, {0.05, 1, 0}, 27.0);
        for (const pipeline::Mark& m : r->realisticMarks(pipeline::Run::toPhoto(known), 5)) r->addPhotoPoint(m);
    }
    return r;
}

// The hand marks of the portrait fixture on its 768 x 768 working photo.
std::unique_ptr<pipeline::Run> portraitRun() {
    auto r = std::make_unique<pipeline::Run>();
    {
        if (!r->loadTemplate()) return nullptr;
        CWinBmp blank;
        blank.Create(768, 768, 32, false);
        r->setPhoto(blank);
        std::ifstream in(BRIVANTA_SOURCE_DIR "/bench/data/astronaut_marks.txt");
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream s(line);
            pipeline::Mark m;
            double x, y;
            if (line.empty() || line[0] == '#' || !(s >> m.name >> x >> y)) continue;
            m.p = vector2<double>(x * 1.5, y * 1.5);
            r->addPhotoPoint(m);
        }
    }
    return r;
}

template <std::unique_ptr<pipeline::Run> (*fixture)()>
void BM_FirstSearch(benchmark::State& state) {
    std::unique_ptr<pipeline::Run> fixed = fixture();
    if (!fixed) return state.SkipWithError("the template head cannot be read");
    pipeline::Run& run = *fixed;
    CameraFound found;
    double c = 0;
    for (auto _ : state) {
        resetCameraSearch();
        long n = run.feedCameraSearch();
        kozeppont(c += 1e-3, 0, 0);
        generation_possible_camera_models();
        if (!ponttavolsag_optimalizalas(n, &found)) state.SkipWithError("no camera");
    }
    kozeppont(0, 0, 0);
    report(state, found);
}
BENCHMARK(BM_FirstSearch<realisticRun>)->Name("BM_FirstSearchRealisticMarks")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstSearch<portraitRun>)->Name("BM_FirstSearchPortraitMarks")->Unit(benchmark::kMillisecond);

template <std::unique_ptr<pipeline::Run> (*fixture)()>
void BM_SearchOnly(benchmark::State& state) {
    std::unique_ptr<pipeline::Run> fixed = fixture();
    if (!fixed) return state.SkipWithError("the template head cannot be read");
    pipeline::Run& run = *fixed;
    resetCameraSearch();
    long n = run.feedCameraSearch();
    kozeppont(0, 0, 0);
    generation_possible_camera_models();
    CameraFound found;
    for (auto _ : state) {
        if (!ponttavolsag_optimalizalas(n, &found)) state.SkipWithError("no camera");
    }
    report(state, found);
}
BENCHMARK(BM_SearchOnly<realisticRun>)->Name("BM_SearchOnlyRealisticMarks")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchOnly<portraitRun>)->Name("BM_SearchOnlyPortraitMarks")->Unit(benchmark::kMillisecond);

}  // namespace
