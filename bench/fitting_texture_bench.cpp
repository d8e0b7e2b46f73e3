// Fitting the template head to a photo (HeadToPhotoTrafo) and building its
// texture (MakeFullTexture at 512 to 4096). The photo's marks come from a
// known camera, moved a little; the camera search runs once in the set-up.
// Goals for one core: fitting under 150 ms, texture at 1024 under 400 ms
// and at 4096 under 4 s.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "tests/fitting/template_pipeline.h"

namespace {

auto displace = [](const vector2<double>& p) {
    return p + vector2<double>(2.0 * std::sin(p.y / 40.0), 1.5 * std::cos(p.x / 50.0));
};

std::unique_ptr<pipeline::Run> prepared() {
    auto run = std::make_unique<pipeline::Run>();
    if (!run->loadTemplate()) return nullptr;
    std::string scratch = (std::filesystem::temp_directory_path() / "brv_texture_bench.bmp").string();
    run->setCodedPhoto(1200, 900, scratch);
    ProjectionCore known =
        pipeline::Run::cameraOver(run->photoWidth(), run->photoHeight(), {60, 20, 480}, {0, 0, 0}, {0, 1, 0}, 28.0);
    run->markThrough(pipeline::Run::toPhoto(known), displace);
    CameraFound found;
    if (!run->cameraSearch(&found)) return nullptr;
    return run;
}

void BM_HeadToPhotoTrafo(benchmark::State& state) {
    std::unique_ptr<pipeline::Run> run = prepared();
    if (!run) {
        state.SkipWithError("the template head cannot be read");
        return;
    }
    // Every pass starts from the template's positions.
    std::vector<vector3<double>> start;
    for (int v = run->head().vertices.first(); v != -1; v = run->head().vertices.nextOf(v))
        start.push_back(run->head().vertices[v].position);
    for (auto _ : state) {
        state.PauseTiming();
        size_t k = 0;
        for (int v = run->head().vertices.first(); v != -1; v = run->head().vertices.nextOf(v))
            run->head().vertices[v].position = start[k++];
        state.ResumeTiming();
        HeadToPhotoTrafo();
    }
    state.counters["line_error_px"] = run->lineError();
}
BENCHMARK(BM_HeadToPhotoTrafo)->Unit(benchmark::kMillisecond);

void BM_MakeFullTexture(benchmark::State& state) {
    std::unique_ptr<pipeline::Run> run = prepared();
    if (!run) {
        state.SkipWithError("the template head cannot be read");
        return;
    }
    HeadToPhotoTrafo();
    run->services->document.state().textureSize = int(state.range(0));
    for (auto _ : state) {
        MakeFullTexture(7u);
        benchmark::DoNotOptimize(run->head().texture.get());
    }
}
BENCHMARK(BM_MakeFullTexture)->Arg(512)->Arg(1024)->Arg(2048)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace
