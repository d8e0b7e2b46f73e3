// The program's start and its layout switches over the headless backend
// with the real views (Release; LIBGL_ALWAYS_SOFTWARE=1). Goals: the
// start-up up to the armed timer under 500 ms (the splash's 3-second pause
// passes on the fake clock); with a photo and template 122 loaded, a layout
// switch 1 -> 4 -> 2 with the four views refitted and repainted at
// 1280 x 1024 under 120 ms.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "app/mainframe.h"
#include "document/tempfolders.h"
#include "bench/bench_fixtures.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "framework/test_driver.h"
#include "framework/window_state.h"
#include "model/head.h"
#include "picture/clipboard_bmp_platform.h"
#include "views/faceview.h"

namespace {

benchfix::Folders& folders() {
    static benchfix::Folders f("brvbench");
    return f;
}

void StartUpToTheArmedTimer(benchmark::State& state) {
    folders();
    brv::HeadlessDriver driver;
    driver.Reset();
    for (auto _ : state) {
        std::unique_ptr<CFaceApp> app = benchfix::StartProgram(driver);
        state.PauseTiming();
        bool armed = false;
        for (const brv::TimerRecord& t : brv::State().timers) armed |= t.id == 2 && t.interval == 400;
        if (!armed || !app->Frame()) state.SkipWithError("the start-up did not arm the timer");
        benchfix::StopProgram(driver, app);
        state.ResumeTiming();
    }
}
BENCHMARK(StartUpToTheArmedTimer)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void LayoutOneFourTwo(benchmark::State& state) {
    folders();
    brv::HeadlessDriver driver;
    driver.Reset();
    std::unique_ptr<CFaceApp> app = benchfix::StartProgram(driver);
    driver.Pump();  // the first tick
    CMainFrame& frame = *app->Frame();
    CFaceDoc& doc = *actdoc;
    driver.Run([&] { doc.LoadTHEResource(122, true); });
    CWinBmp photo;
    photo.Create(1200, 900, 32, false);
    for (int y = 0; y < 900; ++y)
        for (int x = 0; x < 1200; ++x) photo.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), uint8_t(x ^ y), 0));
    doc.kernel2D->photo = photo;
    doc.kernel2D->InitPicture();
    doc.stage = 1000;
    CRect client;
    frame.GetClientRect(&client);
    state.counters["client_w"] = client.Width();
    state.counters["client_h"] = client.Height();
    if (doc.kernel3D->head->vertices.count() == 0) state.SkipWithError("no template head");
    long paintsBefore = 0;
    for (CFaceView* v : {doc.GetViewOrigPhoto<CFaceView>(), doc.GetViewOrig2D<CFaceView>(),
                         doc.GetViewEdit3D<CFaceView>(), doc.GetViewEdit2D3D<CFaceView>()})
        paintsBefore += v->paints;
    for (auto _ : state) {
        driver.Run([&] {
            frame.OnViews1();
            driver.Pump();
            frame.OnViews4b();
            driver.Pump();
            frame.OnViews2();
            driver.Pump();
        });
    }
    long paints = -paintsBefore;
    for (CFaceView* v : {doc.GetViewOrigPhoto<CFaceView>(), doc.GetViewOrig2D<CFaceView>(),
                         doc.GetViewEdit3D<CFaceView>(), doc.GetViewEdit2D3D<CFaceView>()})
        paints += v->paints;
    state.counters["paints_per_switch"] = double(paints) / double(state.iterations());
    benchfix::StopProgram(driver, app);
}
BENCHMARK(LayoutOneFourTwo)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
