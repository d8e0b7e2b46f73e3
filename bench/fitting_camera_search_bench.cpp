// Camera search over the stand-in head's 32 pairs: the candidate table, the
// search, and both as the camera step runs them (the first step of a run
// builds the table, later ones copy it). Goal: under 10 ms for the step on
// one core, the first one included.

#include <benchmark/benchmark.h>

#include <random>

#include "fitting/camera_search.h"
#include "tests/fitting/synthetic_head.h"

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
