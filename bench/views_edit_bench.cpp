// Editing in the 3D view in the program's frame over the headless backend:
// template 122 fitted to a 1024 x 768 photo and textured at 1024, the view
// alone in a 1024 x 768 pane, 51 feature points and 10 lines of 20 points on
// the surface. Run with LIBGL_ALWAYS_SOFTWARE=1. Goals: SelectItem(15) after
// a render under 3 ms, cached under 0.3 ms; a feature point's drag move
// (pick, move, frame with marks) median under 35 ms; the free tool's press
// under 120 ms, move (radius 25, mirror on) median under 40 ms, release
// under 150 ms; a clone dab with the 512 upload and the frame median under
// 40 ms (dab and upload alone under 5 ms); the rubber of a 30-point line
// under 5 ms; a region from a 40-point closed line under 300 ms.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "document/facedoc.h"
#include "bench/bench_fixtures.h"
#include "app/mainframe.h"
#include "dialogs/dlgbrushselect.h"
#include "dialogs/dlgfreetool.h"
#include "fitting/headtophoto.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "fitting/projection.h"
#include "fitting/texture.h"
#include "framework/ui.h"
#include "model/featuretables.h"
#include "model/gather.h"
#include "model/head.h"
#include "model/topology.h"
#include "views/viewedit3d.h"

namespace {

constexpr int kW = 1024, kH = 768;

struct Scene {
    std::unique_ptr<CFaceDoc> doc;
    CMainFrame* frame = nullptr;
    CViewEdit3D* v3 = nullptr;
    // The nose tip on screen before any edit: the drag moves the point.
    CPoint nose;
    bool ready = false;

    Scene() {
        if (benchfix::OwnFolder("/tmp/brv_views_edit_bench_XXXXXX").empty()) return;
        if (!benchfix::OpenFrame(doc, frame)) return;
        v3 = doc->GetViewEdit3D<CViewEdit3D>();
        if (!v3 || !v3->core().hasGL()) return;
        doc->templateId = 122;
        doc->LoadTHEResource(122, true);
        doc->kernel2D->photo = benchfix::CodedPhoto(kW, kH);
        doc->kernel2D->InitPicture();
        doc->stage = 1000;
        if (!benchfix::FitAndTexture(*doc, kW, kH)) return;
        benchfix::Alone(*frame, v3, kW, kH);
        v3->defaultEyeDistance = 400;
        v3->ClearAllViewSettings();
        v3->FitToPhoto(kW, kH, 0, 0);
        v3->InitializeModelForOpenGL();
        v3->featureDisplay = true;
        v3->DrawScene();
        // Ten lines of twenty points on the surface, in rows over the face.
        frame->tool = 0;
        frame->toolMode = 1;
        for (int l = 0; l < 10; ++l) {
            for (int k = 0; k < 20; ++k) v3->OnLButtonDown(0, CPoint(380 + 14 * k, 200 + 40 * l));
            v3->OnRButtonDown(0, CPoint(380 + 14 * 19, 200 + 40 * l));
            v3->OnRButtonUp(0, CPoint(380 + 14 * 19, 200 + 40 * l));
        }
        frame->tool = 1;
        frame->toolMode = 0;
        v3->selection.clear();
        frame->m_dlgBrushSelect = new CDlgBrushSelect;
        frame->m_dlgBrushSelect->sliders.size = 20;
        frame->m_dlgBrushSelect->sliders.transparency = 0;
        frame->m_dlgFreeTool = new CDlgFreeTool;
        nose = projected("tip_of_the_nose");
        ready = true;
    }

    CPoint projected(const char* name) {
        head3& h = *doc->kernel3D->head;
        Index<featurepoint3> f = h.featurepoints.get(name);
        if (f == -1 || !v3->Coord3Dto2D(h.featurepoints[f], 0)) return CPoint(kW / 2, kH / 2);
        return CPoint(int(h.featurepoints[f].projX), int(h.featurepoints[f].projY));
    }
};

Scene& scene() { return benchfix::SharedScene<Scene>(); }
bool need(benchmark::State& state) { return benchfix::Ready(state, scene().ready); }

// SelectItem over every kind, the first after a frame (all projections
// computed), the second with them cached.
void BM_SelectItem(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    const bool cached = state.range(0) != 0;
    CPoint p = s.projected("tip_of_the_nose");
    s.v3->DrawScene();
    for (auto _ : state) {
        if (!cached) {
            state.PauseTiming();
            s.v3->DrawScene();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(s.v3->SelectItem(p, 15, false));
    }
    head3& h = *s.doc->kernel3D->head;
    int lines = 0, linePoints = 0, points = 0;
    for (int l = h.featurelines.first(); l != -1; l = h.featurelines.nextOf(l))
        if (h.featurelines[l].count() > 0) ++lines, linePoints += h.featurelines[l].count();
    for (int f = h.featurepoints.first(); f != -1; f = h.featurepoints.nextOf(f))
        points += h.featurepoints[f].isFixed() || h.featurepoints[f].isRubber();
    state.counters["selected"] = double(s.v3->selection.size());
    state.counters["candidates"] = double(s.v3->candidates.size());
    state.counters["lines"] = lines;
    state.counters["line_points"] = linePoints;
    state.counters["points"] = points;
    state.counters["display"] = s.v3->featureDisplay;
    CRect r;
    s.v3->GetClientRect(&r);
    state.counters["client_w"] = r.Width();
    s.v3->selection.clear();
}
// After a frame the count is fixed: the paused frame costs thousands of
// times the call, and the runs would grow until the call alone filled the
// minimum time (tens of thousands of frames).
BENCHMARK(BM_SelectItem)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_SelectItem)->Arg(1)->Unit(benchmark::kMillisecond);

// One move of a dragged feature point: the pick, the move and the frame.
// The drag starts once and stays on across the benchmark's runs.
void BM_DragMove(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    static CPoint p;
    static bool started = false;
    if (!started) {
        // The row's point placed on the surface (template points sit on
        // vertices and do not move), then pressed.
        s.v3->locked = false;
        s.frame->tool = 0;
        s.frame->toolMode = 6;
        s.v3->pendingCode = 2;
        const CPoint nose = s.projected("tip_of_the_nose");
        s.v3->OnLButtonDown(0, CPoint(nose.x + 40, nose.y + 20));
        s.frame->tool = 1;
        s.frame->toolMode = 0;
        p = s.projected("tip_of_the_nose");
        s.v3->OnLButtonDown(MK_LBUTTON, p);
        started = true;
    }
    if (!s.v3->itemDrag) state.SkipWithError("no point to drag");
    const long before = s.v3->paints;
    int k = 0;
    for (auto _ : state) {
        ++k;
        s.v3->OnMouseMove(MK_LBUTTON, CPoint(p.x + 10 + (k % 20), p.y + 20));
    }
    state.counters["frames_per_move"] = double(s.v3->paints - before) / std::max(1, k);
}
BENCHMARK(BM_DragMove)->Unit(benchmark::kMillisecond);

// Ends the drag of BM_DragMove.
void BM_DragEnd(benchmark::State& state) {
    if (!need(state)) return;
    for (auto _ : state) {
    }
    scene().v3->OnLButtonUp(0, CPoint(0, 0));
    scene().v3->selection.clear();
}
BENCHMARK(BM_DragEnd)->Iterations(1);

// The free tool at radius 25 with the mirror: press, moves, release.
void BM_FreeTool(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    const int part = int(state.range(0));
    s.frame->tool = 0;
    s.frame->toolMode = 5;
    s.frame->m_dlgFreeTool->radius = 25;
    s.doc->mirrorTool = 1;
    const CPoint press(s.nose.x + 40, s.nose.y - 30);
    // The pulls stay on the head; it is put back for the benchmarks after.
    head3& h = *s.doc->kernel3D->head;
    std::vector<vector3<double>> before;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) before.push_back(h.vertices[v].position);
    int k = 0;
    for (auto _ : state) {
        if (part != 0) {
            state.PauseTiming();
            s.v3->OnLButtonDown(MK_LBUTTON, press);
            if (part == 2) s.v3->OnMouseMove(MK_LBUTTON, CPoint(press.x - 16, press.y - 8));
            state.ResumeTiming();
        }
        if (part == 0) {
            s.v3->OnLButtonDown(MK_LBUTTON, press);
        } else if (part == 1) {
            for (int m = 1; m <= 5; ++m) s.v3->OnMouseMove(MK_LBUTTON, CPoint(press.x - 4 * m - (k % 2), press.y));
        } else {
            s.v3->OnLButtonUp(0, CPoint(press.x - 16, press.y - 8));
        }
        state.PauseTiming();
        if (part == 0) s.v3->OnLButtonUp(0, press);
        if (part == 1) {
            s.v3->OnMouseMove(MK_LBUTTON, press);
            s.v3->OnLButtonUp(0, press);
        }
        ++k;
        state.ResumeTiming();
    }
    size_t n = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) h.vertices[v].position = before[n++];
    h.UpdateFeaturePoints();
    s.v3->InitializeModelForOpenGL(1);
    s.doc->mirrorTool = 0;
    s.frame->tool = 1;
    s.frame->toolMode = 0;
}
// 0 press, 1 five moves (the time of one is a fifth), 2 release after a pull.
BENCHMARK(BM_FreeTool)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(10);

// A clone dab: with the 512 upload and the frame (0), or the dab and the
// upload alone (1).
void BM_CloneDab(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.frame->tool = 0;
    s.frame->toolMode = 4;
    const CPoint p = s.projected("top_of_the_forehead");
    const CPoint source(p.x - 60, p.y + 30), dest(p.x + 40, p.y + 30);
    s.v3->OnLButtonDown(MK_LBUTTON | MK_SHIFT, source);
    s.v3->OnLButtonUp(0, source);
    s.v3->OnLButtonDown(MK_LBUTTON, dest);
    int k = 0;
    for (auto _ : state) {
        ++k;
        const CPoint at(dest.x + (k % 10), dest.y);
        if (state.range(0) == 0) {
            s.v3->OnMouseMove(MK_LBUTTON, at);
        } else {
            state.PauseTiming();
            generalpoint3& w = working_generalpoint3();
            s.v3->Coord2Dto3D(vector2<double>(at.x, at.y), w);
            int u = 0, v = 0;
            Coord3DToTextureCoord(*s.doc->kernel3D->head->texture, w.extra.data().tri, w.extra.data().local, u, v);
            TexturePainter painter(s.doc->kernel3D->head->texture.get());
            painter.brush = s.frame->m_dlgBrushSelect->brush;
            state.ResumeTiming();
            painter.CloneWithBrush(u - 100, v, u, v);
            s.v3->UploadTexture();
        }
    }
    s.v3->OnLButtonUp(0, dest);
    s.frame->tool = 1;
    s.frame->toolMode = 0;
}
BENCHMARK(BM_CloneDab)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly();

// The rubber of a 30-point line under way, to the cursor.
void BM_Rubber(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    s.frame->tool = 0;
    s.frame->toolMode = 1;
    for (int k = 0; k < 30; ++k) s.v3->OnLButtonDown(0, CPoint(400 + 8 * k, 420 + int(20 * std::sin(k / 4.0))));
    s.v3->DrawScene();
    int k = 0;
    for (auto _ : state) {
        ++k;
        CPoint c(660 + (k % 7), 440);
        s.v3->SetNewRubberForSpline(false, &c);
    }
    s.v3->OnKeyDown(VK_ESCAPE, 1, 0);
    s.frame->tool = 1;
    s.frame->toolMode = 0;
}
BENCHMARK(BM_Rubber)->Unit(benchmark::kMillisecond);

// A region made from a 40-point closed line around the nose.
void BM_Region(benchmark::State& state) {
    if (!need(state)) return;
    Scene& s = scene();
    CString code, colour;
    GetRegionInfo(0, &code, nullptr, &colour);
    const CPoint c = s.nose;
    for (auto _ : state) {
        state.PauseTiming();
        RemoveRegion(s.doc->kernel3D->head->getRegion(code.GetString(), false));
        s.frame->tool = 0;
        s.frame->toolMode = 1;
        std::vector<CPoint> ring;
        for (int k = 0; k < 40; ++k)
            ring.push_back(CPoint(c.x + int(70 * std::cos(2 * M_PI * k / 40)), c.y + int(70 * std::sin(2 * M_PI * k / 40))));
        for (const CPoint& p : ring) s.v3->OnLButtonDown(0, p);
        s.v3->OnLButtonDown(MK_SHIFT, ring.front());
        s.v3->OnRButtonDown(0, ring.front());
        s.v3->OnRButtonUp(0, ring.front());
        s.frame->tool = 0;
        s.frame->toolMode = 8;
        s.v3->pendingCode = 0;
        s.v3->DrawScene();
        state.ResumeTiming();
        s.v3->OnLButtonDown(0, ring[5]);
    }
    state.counters["made"] = s.doc->kernel3D->head->getRegion(code.GetString(), false) != -1;
    s.frame->tool = 1;
    s.frame->toolMode = 0;
}
BENCHMARK(BM_Region)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
