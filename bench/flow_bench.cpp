// The work flow's steps over the headless backend with the real views
// (Release; LIBGL_ALWAYS_SOFTWARE=1). Goals: step 2 (template reload and
// camera search) and the model step at 1024 (fit, texture, upload) under
// 300 ms together; a quarter turn of a 4000 x 3000 photo on the start
// page under 80 ms; the point page's automatic completion under 5 ms; a
// 4000 x 3000 JPEG file from its name to the start page shown under 600 ms;
// a template load with the views under 40 ms; a mirror press with the
// views under 60 ms; the whole flow at 4096 within 400 MB.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "document/ids.h"
#include "app/mainframe.h"
#include "document/tempfolders.h"
#include "bench/bench_fixtures.h"
#include "bench/rebuild_counts.h"
#include "dialogs/dlgcrop.h"
#include "dialogs/dlgfeatures2.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "framework/test_driver.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/mirror.h"
#include "picture/clipboard_bmp_platform.h"
#include "views/faceview.h"

namespace {

benchfix::Folders& folders() {
    static benchfix::Folders f("brvflow");
    return f;
}

// The program started, template 101 over a coded 576 x 768 photo, marks
// for every named point of the head seen from the front.
struct Program {
    brv::HeadlessDriver driver;
    std::unique_ptr<CFaceApp> app;
    Program() {
        folders();
        driver.Reset();
        app = benchfix::StartProgram(driver);
        // No first tick: its photo dialog is not what is timed.
        driver.Run([&] { app->Frame()->KillTimer(kStartTimer); });
        driver.Pump();
        CFaceDoc& doc = *actdoc;
        doc.templateId = 101;
        driver.Run([&] { doc.LoadTHEResource(101, true); });
        CWinBmp photo;
        photo.Create(576, 768, 32, false);
        for (int y = 0; y < 768; ++y)
            for (int x = 0; x < 576; ++x) photo.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), uint8_t(x ^ y), 0));
        doc.kernel2D->photo = photo;
        doc.kernel2D->InitPicture();
        doc.stage = 1000;
    }
    ~Program() { benchfix::StopProgram(driver, app); }
    // Marked from the front, then the camera step and the model step at n.
    void modelled(int n) {
        markFromTheFront();
        app->proMode = 1;
        doc().textureSize = n;
        driver.Run([&] { frame().OnCameraMode(); });
        driver.Run([&] { frame().HideModelessDialogs(); });
        driver.Run([&] { frame().Model(); });
    }
    CFaceDoc& doc() { return *actdoc; }
    CMainFrame& frame() { return *app->Frame(); }
    void markFromTheFront() {
        head3& head = *doc().kernel3D->head;
        head2& marks = *doc().kernel2D->head;
        head.set_actual();
        head.SetMinMax(false);
        const double size = std::max(head.boxMax.y - head.boxMin.y, 1e-6);
        const double scale = 600.0 / size;
        CString code;
        double weight = 0;
        for (int row = 0; GetFeaturePointInfo(row, &code, nullptr, &weight); ++row) {
            if (!GoodInfoCode(0, code)) continue;
            const Index<featurepoint3> f = head.getFeaturepoint(code, true);
            if (f == -1) continue;
            const vector3<double> p = head.featurepoints[f].point();
            const Index<featurepoint2> q = marks.photoPoints.add_ifnew(code);
            marks.photoPoints[q].position = vector2<double>(288 + scale * p.x, 384 - scale * p.y);
            marks.photoPoints[q].weight = weight;
        }
    }
};

void CameraStep(benchmark::State& state) {
    Program p;
    p.markFromTheFront();
    p.app->proMode = 1;
    benchfix::Rebuilds rebuilds;
    for (auto _ : state) {
        p.doc().stage = 1000;
        p.driver.Run([&] { p.frame().OnCameraMode(); });
        state.PauseTiming();
        if (p.doc().stage != 2000) state.SkipWithError("no camera");
        rebuilds.Untimed([&] {
            p.driver.Run([&] { p.frame().HideModelessDialogs(); });
            p.driver.Pump();
        });
        state.ResumeTiming();
    }
    rebuilds.Report(state);
}
BENCHMARK(CameraStep)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void ModelAt1024(benchmark::State& state) {
    Program p;
    p.markFromTheFront();
    p.app->proMode = 1;
    p.driver.Run([&] { p.frame().OnCameraMode(); });
    p.driver.Run([&] { p.frame().HideModelessDialogs(); });
    p.doc().textureSize = 1024;
    benchfix::Rebuilds rebuilds;
    for (auto _ : state) {
        p.doc().stage = 2000;
        p.driver.Run([&] { p.frame().Model(); });
        state.PauseTiming();
        if (p.doc().stage != 2500 || !p.doc().kernel3D->head->texture) state.SkipWithError("no model");
        state.ResumeTiming();
    }
    rebuilds.Report(state);
}
BENCHMARK(ModelAt1024)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void QuarterTurnOf4000x3000(benchmark::State& state) {
    Program p;
    CWinBmp photo;
    photo.Create(4000, 3000, 32, false);
    for (int y = 0; y < 3000; ++y)
        for (int x = 0; x < 4000; ++x) photo.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), uint8_t(x ^ y), 0));
    int r[7] = {};
    CDlgCrop page(&p.frame(), &photo, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], nullptr);
    p.driver.Run([&] { page.Create(IDD_CROP, &p.frame()); });
    p.driver.Run([&] { page.ShowWindow(SW_SHOW); });
    p.driver.Pump();
    HWND icon = brv::HeadlessDriver::FindControl(page.m_hWnd, 370);
    for (auto _ : state) p.driver.ClickControl(icon);
    state.counters["turns"] = r[4];
    p.driver.Run([&] { page.DestroyWindow(); });
}
BENCHMARK(QuarterTurnOf4000x3000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The photo dialog's answer: the file decoded, the start page built and
// painted (timed up to the moment it waits for input), then left by Cancel.
void JpegToStartPage(benchmark::State& state) {
    Program p;
    const std::string jpeg = folders().root + "/photo4000x3000.jpg";
    const std::string make = "convert -size 4000x3000 gradient:tan-navy -attenuate 0.4 +noise Gaussian "
                             "-quality 90 '" + jpeg + "'";
    if (std::system(make.c_str()) != 0) {
        state.SkipWithError("ImageMagick could not make the photo");
        return;
    }
    for (auto _ : state) {
        std::chrono::steady_clock::time_point shown{};
        p.driver.OnNextModal([&](HWND page) {
            shown = std::chrono::steady_clock::now();
            p.driver.ClickControl(brv::HeadlessDriver::FindControl(page, IDCANCEL));
        });
        const auto start = std::chrono::steady_clock::now();
        p.driver.Run([&] { p.doc().LoadPicFile(jpeg.c_str()); });
        if (shown == std::chrono::steady_clock::time_point{}) {
            state.SkipWithError("no start page");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(shown - start).count());
    }
}
BENCHMARK(JpegToStartPage)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void PointPageCompletion(benchmark::State& state) {
    Program p;
    p.markFromTheFront();
    head2& marks = *p.doc().kernel2D->head;
    // Only the three main points stay placed.
    std::vector<std::string> others;
    CString code;
    int kind = 0;
    for (int row = 0; GetFeaturePointInfo(row, &code, nullptr, nullptr, &kind); ++row)
        if (kind != 3) others.push_back(std::string(code.View()));
    p.driver.Run([&] { p.frame().FeatureToolPhoto(); });
    CDlgFeatures2* page = p.frame().pointDialog;
    if (!page) state.SkipWithError("no point page");
    for (auto _ : state) {
        state.PauseTiming();
        for (const std::string& o : others)
            if (Index<featurepoint2> q = marks.photoPoints.get(o.c_str()); q != -1) marks.photoPoints.remove(q);
        state.ResumeTiming();
        if (page) page->PutPointsAutomatically();
    }
    state.counters["points"] = marks.photoPoints.count();
}
BENCHMARK(PointPageCompletion)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

}  // namespace

namespace {

// A built-in template as the steps load it over another head (101 and 122
// in turn): read, mirror data, the 3D view's and the overlay view's rebuild
// and fit. The same template read again is the camera step's (the octree
// and the lists are kept).
void TemplateLoad(benchmark::State& state) {
    Program p;
    benchfix::Rebuilds rebuilds;
    unsigned id = 122;
    for (auto _ : state) {
        p.driver.Run([&] { p.doc().LoadTHEResource(id, true); });
        id = id == 122 ? 101 : 122;
    }
    rebuilds.Report(state);
}
BENCHMARK(TemplateLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The model page's mirror press on the modelled head at 1024, with the
// views rebuilt and redrawn. A head mirrors once, so before each press the
// head is put back as the model step left it and the views made for it, as
// the page's undo does (untimed).
void MirrorWithTheViews(benchmark::State& state) {
    Program p;
    p.modelled(1024);
    head3& h = *p.doc().kernel3D->head;
    if (p.doc().stage != 2500 || !h.texture) {
        state.SkipWithError("no model");
        return;
    }
    std::vector<vector3<double>> positions;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        positions.push_back(h.vertices[v].position);
    const std::vector<unsigned char> texels = h.texture->rgb;
    int moved = 0;
    benchfix::Rebuilds rebuilds;
    for (auto _ : state) {
        state.PauseTiming();
        size_t k = 0;
        for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
            h.vertices[v].position = positions[k++];
        h.texture->rgb = texels;
        h.mirrored = false;
        h.Changed();
        rebuilds.Untimed([&] {
            p.driver.Run([&] {
                if (auto* v3 = dynamic_cast<svc::ViewEdit3D*>(p.doc().GetViewEdit3D())) v3->InitializeModelForOpenGL();
            });
        });
        state.ResumeTiming();
        int done = 0;
        p.driver.Run([&] { done = OnMirror('R'); });
        state.PauseTiming();
        if (!done || !h.mirrored) state.SkipWithError("the head was not mirrored");
        moved = 0;
        k = 0;
        for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
            moved += !(h.vertices[v].position == positions[k++]);
        state.ResumeTiming();
    }
    state.counters["moved_vertices"] = moved;
    rebuilds.Report(state);
}
BENCHMARK(MirrorWithTheViews)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The whole flow at 4096 in a process of its own (scripts/bench.sh runs it
// alone): the start, the photo and template, the camera step and the model
// step; the counter is the process's peak resident memory.
void FullFlowAt4096(benchmark::State& state) {
    for (auto _ : state) {
        Program p;
        p.modelled(4096);
        if (!p.doc().kernel3D->head->texture) state.SkipWithError("no model");
    }
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    state.counters["peak_rss_mb"] = double(use.ru_maxrss) / 1024.0;
}
BENCHMARK(FullFlowAt4096)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
