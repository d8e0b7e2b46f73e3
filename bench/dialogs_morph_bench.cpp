// The morph pages on the full template head (17,491 vertices) as the
// picture-editor flow reads it, with a texture of 1024 (and 2048): a slider
// release up to the updated model, the texture rebuild, the Asian slider's
// eight regions, Undo, and opening either page.
// Goals: slider release 5 ms, texture rebuild 40 ms at 1024 and 160 ms at
// 2048, Asian slider 30 ms, Undo 10 ms, either page opened in 200 ms.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>

#include "dialogs/morph_pages.h"
#include "dialogs/region_morph.h"
#include "dialogs/texture_morph.h"
#include "framework/paths.h"
#include "framework/resources.h"
#include "model/head.h"
#include "model/morph.h"
#include "picture/winbmp.h"
#include "tests/support/fakes.h"

namespace {

struct Template {
    fakes::Services services;
    std::unique_ptr<head3> head;
    int age = 4, weight = 2;
    morph::CarriedMorph carried;
    CWinBmp ageMap;
    int positions[morph::kSliderCount] = {};

    explicit Template(int textureSize) {
        resetModelState();
        services.document.state().templateId = 122;
        services.app.state().pictureEditor = 1;
        head = std::make_unique<head3>();
        std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 122);
        fnd::fileTB f;
        f.open(bytes.data(), bytes.size());
        {
            // As the document reads its built-in templates: with the age shapes.
            ReadingMorphs morphs;
            head->read(f, false);
        }
        // A frontal projection as texture coordinates, a patterned texture.
        double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
        for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v)) {
            const vector3<double>& p = head->vertices[v].position;
            x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
        }
        for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t))
            for (int k = 0; k < 3; ++k) {
                const vector3<double>& p = head->vertices[head->triangles[t].corner(k)].position;
                head->triangles[t].texture[k] = {(p.x - x0) / (x1 - x0), (y1 - p.y) / (y1 - y0)};
            }
        auto tex = std::make_unique<TextureImage>();
        tex->width = tex->height = textureSize;
        tex->rgb.resize(size_t(textureSize) * textureSize * 3);
        for (size_t i = 0; i < tex->rgb.size(); ++i) tex->rgb[i] = static_cast<unsigned char>((i * 7 + i / 4096) & 255);
        head->texture = std::move(tex);
        for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v))
            head->vertices[v].loadPosition = head->vertices[v].position;
    }
    ~Template() {
        head.reset();
        resetModelState();
    }
    morph::ModelPageDocument doc() { return {age, weight, carried, ageMap, 0}; }
};

void BM_SliderReleaseToModel(benchmark::State& state) {
    Template t(1024);
    morph::ModelPageCore page(false);
    page.Open(*t.head, t.doc(), t.positions);
    int step = 1;
    for (auto _ : state) {
        page.UndoPoint(*t.head, t.doc());
        if (state.range(0) == 0)
            morph::MoveByAge(*t.head, step);
        else
            morph::MoveByWeight(*t.head, step);
        morph::GeometryMoved(*t.head);
        step = -step;
    }
    state.SetLabel(state.range(0) == 0 ? "age" : "weight");
}
BENCHMARK(BM_SliderReleaseToModel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What the release leaves for later: the first ray query after it fills the
// octree again (the 3D view's head refresh does the same fill).
void BM_FirstPickAfterRelease(benchmark::State& state) {
    Template t(1024);
    morph::ModelPageCore page(false);
    page.Open(*t.head, t.doc(), t.positions);
    int step = 1;
    for (auto _ : state) {
        state.PauseTiming();
        morph::MoveByAge(*t.head, step);
        morph::GeometryMoved(*t.head);
        step = -step;
        state.ResumeTiming();
        Index<triangle> hit = -1;
        vector3<double> bary;
        t.head->ProjectOnHeadTowardDirection({0, 0, 500}, {0, 0, -1}, &hit, &bary);
        benchmark::DoNotOptimize(hit);
    }
}
BENCHMARK(BM_FirstPickAfterRelease)->Unit(benchmark::kMillisecond);

void BM_TextureRebuild(benchmark::State& state) {
    const int n = int(state.range(0));
    Template t(n);
    morph::ModelPageCore page(true);
    page.Open(*t.head, t.doc(), t.positions);
    TextureImage start = *t.head->texture;
    const std::vector<unsigned char> produced = t.head->texture->rgb;
    const morph::Colour mean = morph::FaceCentreMean(start);
    for (auto _ : state) {
        morph::KeepPaintedTexels(*t.head->texture, produced, start);
        t.head->texture->rgb = start.rgb;
        morph::ModColor(*t.head->texture, 5, 4, mean);
        morph::ModTexture(*t.head->texture, t.ageMap, 4);
    }
}
BENCHMARK(BM_TextureRebuild)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

void BM_AsianSlider(benchmark::State& state) {
    Template t(1024);
    int step = 1;
    for (auto _ : state) {
        morph::RunRegionSteps(*t.head, morph::kAsianSteps, step);
        morph::RefreshAfterRegions(*t.head);
        step = -step;
    }
}
BENCHMARK(BM_AsianSlider)->Unit(benchmark::kMillisecond);

void BM_Undo(benchmark::State& state) {
    Template t(1024);
    morph::ModelPageCore page(false);
    page.Open(*t.head, t.doc(), t.positions);
    t.positions[morph::kAge] = 6;
    page.Scroll(*t.head, t.doc(), morph::kThumbPosition, t.positions);
    for (auto _ : state) page.Undo(*t.head, t.doc(), t.positions);
}
BENCHMARK(BM_Undo)->Unit(benchmark::kMillisecond);

void BM_ModelPageOpen(benchmark::State& state) {
    Template t(1024);
    for (auto _ : state) {
        // The head carries its geometry; the texture is aged anew each time.
        t.carried = {t.age, t.weight, 0};
        morph::ModelPageCore page(false);
        page.Open(*t.head, t.doc(), t.positions);
    }
}
BENCHMARK(BM_ModelPageOpen)->Unit(benchmark::kMillisecond);

void BM_AgePageOpen(benchmark::State& state) {
    Template t(1024);
    t.services.app.state().headImport = 1;
    std::filesystem::create_directories(brv::TempDirectory() + "fmtmp");
    for (auto _ : state) {
        morph::AgePageCore page;
        page.Open(*t.head, t.ageMap, t.positions);
        if (!page.ageMapBuilt()) state.SkipWithError("the age map was not built");
    }
}
BENCHMARK(BM_AgePageOpen)->Unit(benchmark::kMillisecond);

}  // namespace
