// The four views in the program's frame over the headless backend: the
// template head fitted to a 1024 x 768 photo and textured at 1024, each view
// alone in a 1024 x 768 pane, frames drawn into the frame's surface with
// their marks. Run with LIBGL_ALWAYS_SOFTWARE=1 (LP_NUM_THREADS=1 for one
// core). Medians are the goals: 3D view mode 1, 6, 7 under 22, 27, 32 ms;
// overlay with the head and its 51 points, and merged, under 22, 32 ms; the
// photo views at fit zoom and zoom 16 under 4 ms; the working photo with 51
// points and 20 lines of 30 points under 6 ms; display-list building under
// 60 ms; MakePhoto under 60 ms; Coord2Dto3D and Coord3Dto2D in mode 3 under
// 15 us, cached under 0.1 us.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "document/facedoc.h"
#include "bench/bench_fixtures.h"
#include "app/mainframe.h"
#include "fitting/camera_search.h"
#include "fitting/headtophoto.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "fitting/projection.h"
#include "fitting/texture.h"
#include "framework/ui.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"
#include "views/vieworig2d.h"
#include "views/vieworigphoto.h"

namespace {

constexpr int kW = 1024, kH = 768;

struct Scene {
    std::unique_ptr<CFaceDoc> doc;
    CMainFrame* frame = nullptr;
    CViewEdit3D* v3 = nullptr;
    CViewEdit2D3D* overlay = nullptr;
    CViewOrigPhoto* photoView = nullptr;
    CViewOrig2D* marksView = nullptr;
    std::vector<vector3<double>> vertices;
    bool ready = false;

    Scene() {
        if (benchfix::OwnFolder("/tmp/brv_views_bench_XXXXXX").empty()) return;
        if (!benchfix::OpenFrame(doc, frame)) return;
        v3 = doc->GetViewEdit3D<CViewEdit3D>();
        overlay = doc->GetViewEdit2D3D<CViewEdit2D3D>();
        photoView = doc->GetViewOrigPhoto<CViewOrigPhoto>();
        marksView = doc->GetViewOrig2D<CViewOrig2D>();
        if (!v3 || !overlay || !photoView || !marksView || !v3->core().hasGL()) return;

        doc->templateId = 122;
        doc->LoadTHEResource(122, true);
        doc->kernel2D->photo = benchfix::CodedPhoto(kW, kH);
        doc->kernel2D->InitPicture();
        doc->stage = 1000;
        // The head's feature points seen through a known camera, a little
        // displaced, as a user marks them.
        const bool textured = benchfix::FitAndTexture(*doc, kW, kH, [](const vector3<double>& q) {
            return vector2<double>(q.x + 1.5 * std::sin(q.y / 40.0), q.y + 1.5 * std::cos(q.x / 50.0));
        });
        if (!textured) return;
        head3& head = *doc->kernel3D->head;
        head2& marks = *doc->kernel2D->head;
        CString code;
        // Twenty lines of thirty points over the photo.
        for (int l = 0; l < 20 && GetFeatureLineInfo(l, &code); ++l) {
            Index<featureline2> line = marks.photoLines.add_new(code);
            for (int k = 0; k < 30; ++k) {
                featureline2& fl = marks.photoLines[line];
                Index<linepoint2> p = fl.add();
                fl[p].position = vector2<double>(200 + 20 * k, 80 + 30 * l + 10 * std::sin(k / 3.0));
                fl[p].kind = k == 0 || k == 29 || k % 10 == 0 ? 2 : 1;
            }
        }
        alone(v3);
        v3->FitInView();
        v3->defaultEyeDistance = 400;
        for (int k = head.vertices.first(); k != -1; k = head.vertices.nextOf(k))
            if (head.vertices[k].triangles.count()) vertices.push_back(head.vertices[k].position);
        ready = true;
    }

    // The view alone in the frame, 1024 x 768.
    void alone(CFaceView* v) {
        benchfix::Alone(*frame, v, kW, kH);
        v->RedrawWindow();
    }
};

Scene& scene() { return benchfix::SharedScene<Scene>(); }
bool need(benchmark::State& state) { return benchfix::Ready(state, scene().ready); }

// A frame asked again with nothing changed is a copy of the last one: each
// frame here is turned a hair from the one before, as in a drag.
template <class View>
void DrawTurning(benchmark::State& state, View& v) {
    const double yaw = v.core().yaw;
    long k = 0;
    for (auto _ : state) {
        v.core().yaw = yaw + (++k & 1 ? 1e-4 : 0.0);
        v.core().CalculateEyeFromAngles();
        v.DrawScene();
    }
    v.core().yaw = yaw;
    v.core().CalculateEyeFromAngles();
}

void BM_3DView(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.alone(s.v3);
    s.v3->featureDisplay = true;
    s.v3->displayMode = int(state.range(0));
    DrawTurning(state, *s.v3);
    s.v3->displayMode = 7;
    state.counters["triangles"] = s.doc->kernel3D->head->triangles.count();
}
BENCHMARK(BM_3DView)->Arg(1)->Arg(6)->Arg(7)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();

// The head over the photo with its feature points (the refinement's pose
// at stage 1000), plain and merged.
void BM_Overlay(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.alone(s.overlay);
    s.doc->stage = 1000;
    s.frame->refining = 1;
    s.overlay->featureDisplay = true;
    s.overlay->SetMerged(state.range(0) != 0);
    DrawTurning(state, *s.overlay);
    s.overlay->SetMerged(false);
    s.frame->refining = 0;
    s.doc->stage = 2500;
}
BENCHMARK(BM_Overlay)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();

// A photo view's paint at the fitted zoom (0) and at zoom 16; 0 the
// original photo, 1 the working photo without marks.
void BM_PhotoView(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    CFaceView* v = state.range(1) ? static_cast<CFaceView*>(s.marksView) : static_cast<CFaceView*>(s.photoView);
    s.alone(v);
    v->featureDisplay = false;
    v->FitInView();
    if (state.range(0)) {
        v->map.zoom = double(state.range(0));
        v->map.offsetX = kW / 2 - v->map.zoom * kW / 2;
        v->map.offsetY = kH / 2 - v->map.zoom * kH / 2;
    }
    for (auto _ : state) v->RedrawWindow();
}
BENCHMARK(BM_PhotoView)->Args({0, 0})->Args({16, 0})->Args({0, 1})->Args({16, 1})->Unit(benchmark::kMillisecond);

// The working photo with the photo's feature points and 20 lines of 30
// points.
void BM_WorkingPhotoMarks(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.alone(s.marksView);
    s.marksView->featureDisplay = true;
    s.doc->stage = 1000;
    s.marksView->FitInView();
    for (auto _ : state) s.marksView->RedrawWindow();
    s.doc->stage = 2500;
    state.counters["points"] = s.doc->kernel2D->head->photoPoints.count();
    state.counters["lines"] = s.doc->kernel2D->head->photoLines.count();
}
BENCHMARK(BM_WorkingPhotoMarks)->Unit(benchmark::kMillisecond);

void BM_DisplayLists(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    for (auto _ : state) s.v3->core().buildDisplayLists(*s.doc->kernel3D, false, 2500);
}
BENCHMARK(BM_DisplayLists)->Unit(benchmark::kMillisecond);

void BM_OctreeRebuild(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    for (auto _ : state) s.v3->core().rebuildOctree(*s.doc->kernel3D, false);
}
BENCHMARK(BM_OctreeRebuild)->Unit(benchmark::kMillisecond);

void BM_MakePhoto(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.alone(s.v3);
    const std::string path = (std::filesystem::temp_directory_path() / "brv_views_bench_photo.bmp").string();
    for (auto _ : state) s.v3->MakePhoto(CString(path.c_str()));
    std::remove(path.c_str());
}
BENCHMARK(BM_MakePhoto)->Unit(benchmark::kMillisecond);

void BM_Coord2Dto3D(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.alone(s.v3);
    generalpoint3 p;
    int k = 0;
    for (auto _ : state) {
        vector2<double> w(300 + (k * 37) % 420, 200 + (k * 53) % 380);
        ++k;
        benchmark::DoNotOptimize(s.v3->Coord2Dto3D(w, p));
    }
}
BENCHMARK(BM_Coord2Dto3D)->Unit(benchmark::kMicrosecond);

void BM_Coord3Dto2D(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.alone(s.v3);
    const bool cached = state.range(0) != 0;
    std::vector<generalpoint3> points(s.vertices.size());
    for (size_t k = 0; k < points.size(); ++k) {
        points[k].extra = Index<extrapoint>::current().add();
        points[k].extra.data().position = s.vertices[k];
    }
    size_t k = 0;
    for (auto _ : state) {
        generalpoint3& p = points[k++ % points.size()];
        if (!cached) p.projStamp = -1;
        benchmark::DoNotOptimize(s.v3->Coord3Dto2D(p, 3));
    }
}
BENCHMARK(BM_Coord3Dto2D)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
