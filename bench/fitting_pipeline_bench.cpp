// One photo through the whole road on the template head: reading the photo,
// the camera search, fitting the head (HeadToPhotoTrafo) and the texture,
// with each stage's time and the reprojection error of the head's feature
// lines printed at the end.
//
// Usage: fitting_pipeline_bench [benchmark flags] [PHOTO MARKS]
//   PHOTO  a picture file
//   MARKS  a text file of photo marks, one "name x y" a line (photo pixels of
//          the picture as read); a name of a feature line adds one point to
//          that drawn line
// Without them a position-coded photo is made and marked through a known
// camera.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/fitting/template_pipeline.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* photoPath = nullptr;
const char* marksPath = nullptr;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Reads "name x y" lines; positions are scaled by the photo's resizing.
bool readMarks(pipeline::Run& run, const char* path, double scale) {
    std::ifstream in(path);
    if (!in) return false;
    std::map<std::string, Index<featureline2>> lines;
    head2& marks = *run.photo->head;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string name;
        double x, y;
        if (!(s >> name >> x >> y)) continue;
        vector2<double> p(x * scale, y * scale);
        CString type;
        bool isLine = false;
        CString code;
        for (int i = 0; GetFeatureLineInfo(i, &code, nullptr, &type); ++i)
            if (code.View() == name) isLine = true;
        if (!isLine) {
            run.addPhotoPoint({name, p});
            continue;
        }
        auto it = lines.find(name);
        if (it == lines.end()) {
            Index<featureline2> l = marks.photoLines.add();
            marks.photoLines[l].set_name(name.c_str(), false);
            it = lines.emplace(name, l).first;
        }
        Index<linepoint2> lp = marks.photoLines[it->second].add();
        marks.photoLines[it->second][lp].position = p;
    }
    return true;
}

void BM_Pipeline(benchmark::State& state) {
    double tRead = 0, tCamera = 0, tFit = 0, tTexture = 0, error = 0, cameraError = 0, fitError = 0;
    for (auto _ : state) {
        pipeline::Run run;
        if (!run.loadTemplate()) {
            state.SkipWithError("the template head cannot be read");
            return;
        }
        run.placeHeadLines();
        auto t = Clock::now();
        if (photoPath && marksPath) {
            run.services->app.state().pictureEditor = 0;
            if (!run.photo->LoadPicFile(photoPath)) {
                state.SkipWithError("the photo cannot be read");
                return;
            }
            double scale = double(run.photo->scaledHeight) / std::max(1, int(run.photo->origHeight));
            if (!readMarks(run, marksPath, scale)) {
                state.SkipWithError("the marks cannot be read");
                return;
            }
        } else {
            std::string scratch = (std::filesystem::temp_directory_path() / "brv_pipeline_bench.bmp").string();
            run.setCodedPhoto(1200, 900, scratch);
            ProjectionCore known = pipeline::Run::cameraOver(run.photoWidth(), run.photoHeight(), {60, 20, 480},
                                                             {0, 0, 0}, {0, 1, 0}, 28.0);
            run.markThrough(pipeline::Run::toPhoto(known), [](const vector2<double>& p) {
                return p + vector2<double>(2.0 * std::sin(p.y / 40.0), 1.5 * std::cos(p.x / 50.0));
            });
        }
        tRead = msSince(t);
        t = Clock::now();
        CameraFound found;
        if (!run.cameraSearch(&found)) {
            state.SkipWithError("too few marks for the camera search");
            return;
        }
        tCamera = msSince(t);
        cameraError = run.pointError();
        t = Clock::now();
        HeadToPhotoTrafo();
        tFit = msSince(t);
        fitError = run.pointError();
        t = Clock::now();
        MakeFullTexture(7u);
        tTexture = msSince(t);
        error = run.lineError();
    }
    state.counters["read_ms"] = tRead;
    state.counters["camera_ms"] = tCamera;
    state.counters["fit_ms"] = tFit;
    state.counters["texture_ms"] = tTexture;
    state.counters["line_error_px"] = error;
    state.counters["point_rms_px"] = fitError;
    std::printf(
        "photo %.1f ms, camera search %.1f ms, fitting %.1f ms, texture %.1f ms\n"
        "reprojection: feature points RMS %.2f px after the camera search, %.2f px after the fit; "
        "feature lines worst %.2f px\n",
        tRead, tCamera, tFit, tTexture, cameraError, fitError, error);
}
BENCHMARK(BM_Pipeline)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc == 3) {
        photoPath = argv[1];
        marksPath = argv[2];
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: %s [benchmark flags] [PHOTO MARKS]\n", argv[0]);
        return 2;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
