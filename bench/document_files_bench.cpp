// The document's open and save of a stage-2500 project with the full
// template head (17,491 vertices) over the headless backend with the real
// views (Release; LIBGL_ALWAYS_SOFTWARE=1): the whole open with the check
// of the file aside, the template, the octree and the views' refresh, at
// 1024 and 4096 (goals 800 ms and 1.5 s); the save (goals 100 ms and
// 600 ms).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "document/ids.h"
#include "app/mainframe.h"
#include "document/picture_bytes.h"
#include "document/tempfolders.h"
#include "bench/bench_fixtures.h"
#include "bench/rebuild_counts.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "framework/test_driver.h"
#include "model/head.h"
#include "picture/clipboard_bmp_platform.h"

namespace {

benchfix::Folders& folders() {
    static benchfix::Folders f("brvbench");
    return f;
}

std::unique_ptr<CFaceApp> start(brv::HeadlessDriver& driver) {
    return benchfix::StartProgram(driver, [](CFaceApp& app) { app.Frame()->KillTimer(kStartTimer); });
}

// A modelled project in the document: a 1200 x 900 photo, template 122
// and a texture of n.
void makeProject(CFaceDoc& d, int n) {
    d.templateId = 122;
    d.LoadTHEResource(122, true);
    CWinBmp photo;
    photo.Create(1200, 900, 32, false);
    for (int y = 0; y < 900; ++y)
        for (int x = 0; x < 1200; ++x) photo.SetPixel(x, y, CPixel32(x & 255, y & 255, (x ^ y) & 255, 0));
    std::string bmp = files::BmpBytes(photo);
    CKernel2D& k = *d.kernel2D;
    k.SetFileBytes(std::vector<uint8_t>(bmp.begin(), bmp.end()));
    k.right = 1200, k.bottom = 900, k.loadRight = 1200, k.loadBottom = 900;
    k.LoadOrigBmp(&k.photo, 2, 0, 0);
    k.InitPicture();
    d.textureSize = n;
    auto t = std::make_unique<TextureImage>();
    t->width = t->height = n;
    t->rgb.resize(std::size_t(n) * n * 3);
    for (std::size_t i = 0; i < t->rgb.size(); ++i) t->rgb[i] = static_cast<unsigned char>(i * 7 + (i >> 12));
    d.kernel3D->head->texture = std::move(t);
    d.stage = 2500;
}

void DocumentSave(benchmark::State& state) {
    const int n = int(state.range(0));
    brv::HeadlessDriver driver;
    driver.Reset();
    std::unique_ptr<CFaceApp> app = start(driver);
    CFaceDoc& d = *app->Document();
    driver.Run([&] { makeProject(d, n); });
    const std::string path = folders().root + "/p.fac";
    for (auto _ : state) {
        int ok = 0;
        driver.Run([&] { ok = d.SaveFACFile(path.c_str(), "b", false); });
        if (!ok) state.SkipWithError("the save failed");
    }
    benchfix::StopProgram(driver, app);
}
BENCHMARK(DocumentSave)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

void DocumentOpen(benchmark::State& state) {
    const int n = int(state.range(0));
    brv::HeadlessDriver driver;
    driver.Reset();
    std::unique_ptr<CFaceApp> app = start(driver);
    CFaceDoc& d = *app->Document();
    // Two projects opened in turn, their heads a hair apart: no open finds
    // the lists or the octree of the head it reads kept from the one before.
    const std::string paths[2] = {folders().root + "/open.fac", folders().root + "/open2.fac"};
    driver.Run([&] {
        makeProject(d, n);
        d.SaveFACFile(paths[0].c_str(), "b", false);
        head3& h = *d.kernel3D->head;
        for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
            h.vertices[v].position *= 1.0001;
        h.Changed();
        d.SaveFACFile(paths[1].c_str(), "b", false);
        d.FreeMemoryForNewFAC();
    });
    benchfix::Rebuilds rebuilds;
    int turn = 0;
    for (auto _ : state) {
        int ok = 0;
        const std::string& path = paths[turn];
        turn ^= 1;
        driver.Run([&] { ok = d.LoadFACFile(path.c_str(), false); });
        state.PauseTiming();
        if (!ok || d.stage != 2500) state.SkipWithError("the open failed");
        // Each open comes to a new project, not to the head it reads (which
        // would keep its octree).
        rebuilds.Untimed([&] { driver.Run([&] { d.FreeMemoryForNewFAC(); }); });
        state.ResumeTiming();
    }
    rebuilds.Report(state);
    benchfix::StopProgram(driver, app);
}
BENCHMARK(DocumentOpen)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

}  // namespace
