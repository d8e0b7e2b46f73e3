// One photo through what the program runs on it, on the template head as
// the document loads it: reading the photo, the camera search on the marked
// points, the automatic lines as the frame makes them, fitting the head
// (HeadToPhotoTrafo) and the texture with the overlay view's visibility by
// rays through the octree as the program has it then; with the overlay
// view's client the program's (tests/app/pipeline_shell_test.cpp) the
// head and texture are the program's to the last texel. Each stage's
// time is printed, and the reprojection errors in the input photo's own
// pixels: the RMS distance of the head's feature points to their marks and
// the distance of the head's line points to the photo's lines, before and
// after the fit. Any failure ends the run with a message and exit code 1.
//
// Usage: fitting_pipeline_bench [PHOTO MARKS]
//   PHOTO  a picture file
//   MARKS  a text file of marked feature points, one "name x y" a line in
//          the photo's own pixels ('#' starts a comment line)
// Without them a position-coded photo is made and its points are marked as
// a user marks them: through a known camera, each moved 3 to 6 pixels.
// The fixture of the closing note: scripts/bench.sh fetches a public-domain
// portrait and runs this on it with bench/data/astronaut_marks.txt.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "fitting/marks.h"
#include "tests/fitting/template_pipeline.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

int fail(const char* what) {
    std::fprintf(stderr, "fitting_pipeline_bench: %s\n", what);
    return 1;
}

// Reads "name x y" lines in the input photo's pixels onto the working photo.
bool readMarks(pipeline::Run& run, const char* path, double sx, double sy) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        pipeline::Mark m;
        double x, y;
        if (!(s >> m.name >> x >> y)) return false;
        m.p = vector2<double>(x * sx, y * sy);
        run.addPhotoPoint(m);
        ++count;
    }
    return count > 0;
}

struct Errors {
    double pointRms = 0;  // feature points to their marks
    double lineRms = 0, lineWorst = 0;  // head line points to the photo's lines
    int points = 0, linePoints = 0;
};

// Distances through the found camera, in input pixels (sx, sy: working
// photo pixels to input pixels).
Errors measure(pipeline::Run& run, double sx, double sy) {
    Errors e;
    htraf3<double> cam = run.foundToPhoto();
    head3& h = run.head();
    head2& marks = *run.photo->head;
    auto toInput = [&](const vector2<double>& d) { return vector2<double>(d.x * sx, d.y * sy); };
    double sum = 0;
    for (int k = marks.photoPoints.first(); k != -1; k = marks.photoPoints.nextOf(k)) {
        Index<featurepoint3> f = h.getFeaturepoint(marks.photoPoints[k].name(), true);
        if (f == -1) continue;
        vector2<double> d = toInput(pipeline::Run::project(cam, h.featurepoints[f].point()) - marks.photoPoints[k].position);
        sum += d * d;
        ++e.points;
    }
    e.pointRms = e.points ? std::sqrt(sum / e.points) : 0;
    // The photo's lines in input pixels, and the head's line points.
    sum = 0;
    for (int i = marks.photoLines.first(); i != -1; i = marks.photoLines.nextOf(i)) {
        Index<featureline3> l = h.getFeatureline(marks.photoLines[i].name(), true);
        if (l == -1) continue;
        featureline2 drawn;
        const featureline2& src = marks.photoLines[i];
        for (int k = src.first(); k != -1; k = src.nextOf(k)) {
            Index<linepoint2> lp = drawn.add();
            drawn[lp].position = toInput(src[k].position);
        }
        const featureline3& line = h.featurelines[l];
        for (int k = line.first(); k != -1; k = line.nextOf(k)) {
            double d = pipeline::Run::toDrawnLine(drawn, toInput(pipeline::Run::project(cam, line[k].point())));
            sum += d * d;
            e.lineWorst = std::max(e.lineWorst, d);
            ++e.linePoints;
        }
    }
    e.lineRms = e.linePoints ? std::sqrt(sum / e.linePoints) : 0;
    return e;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 1 && argc != 3) {
        std::fprintf(stderr, "usage: %s [PHOTO MARKS]\n", argv[0]);
        return 2;
    }
    const char* photoPath = argc == 3 ? argv[1] : nullptr;
    const char* marksPath = argc == 3 ? argv[2] : nullptr;

    pipeline::Run run;
    if (!run.loadTemplateAsTheDocument()) return fail("the template head cannot be read");
    double sx = 1, sy = 1;  // working photo pixels to input pixels
    auto t = Clock::now();
    if (photoPath) {
        run.services->app.state().pictureEditor = 0;
        if (!run.photo->LoadPicFile(photoPath)) return fail("the photo cannot be read");
        sx = double(run.photo->origWidth) / run.photo->scaledWidth;
        sy = double(run.photo->origHeight) / run.photo->scaledHeight;
        if (!readMarks(run, marksPath, 1 / sx, 1 / sy)) return fail("the marks cannot be read");
    } else {
        std::string scratch = (std::filesystem::temp_directory_path() / "brv_pipeline_bench.bmp").string();
        run.setCodedPhoto(1200, 900, scratch);
        sx = 1200.0 / run.photoWidth();
        sy = 900.0 / run.photoHeight();
        ProjectionCore known =
            pipeline::Run::cameraOver(run.photoWidth(), run.photoHeight(), {60, 20, 480}, {0, 0, 0}, {0, 1, 0}, 28.0);
        for (const pipeline::Mark& m : run.realisticMarks(pipeline::Run::toPhoto(known), 5)) run.addPhotoPoint(m);
    }
    const double tRead = msSince(t);
    head2& marks = *run.photo->head;
    const int weight = MarkedPointWeight(marks, 0);
    if (weight < kMinimalMarkedWeight) return fail("Too few points on the photo.");
    CString problem = PhotoMarksProblem(marks, run.photoWidth(), run.photoHeight());
    if (!problem.IsEmpty()) return fail(std::string(problem.View()).c_str());

    // The camera step as the document runs it, the first of the process:
    // the pairs, the candidate table (built here) and the search.
    t = Clock::now();
    resetCameraSearch();
    const long pairs = run.feedCameraSearch();
    const double tPairs = msSince(t);
    t = Clock::now();
    kozeppont(0, 0, 0);
    generation_possible_camera_models();
    const double tTable = msSince(t);
    t = Clock::now();
    CameraFound found;
    if (!ponttavolsag_optimalizalas(pairs, &found)) return fail("the camera search found no camera for the marks");
    const double tSearch = msSince(t);
    const double tCamera = tPairs + tTable + tSearch;
    run.useCamera(found);
    // A second camera step on the same marks (the table is kept).
    t = Clock::now();
    generation_possible_camera_models();
    CameraFound again;
    if (!ponttavolsag_optimalizalas(pairs, &again) || again.index != found.index)
        return fail("a second camera search found another camera");
    const double tNext = msSince(t);

    // The lines as the frame makes them, and the overlay view's visibility
    // by rays through the octree as the camera step's view rebuild left it
    // (the fit moves the head; the texture walks that tree).
    t = Clock::now();
    const int lines = CreateAutomaticLines(marks, run.head(), 0, true);
    const double tLines = msSince(t);
    run.connectOctreeVisibility();
    Errors before = measure(run, sx, sy);
    if (before.linePoints == 0) return fail("no line joins the photo and the head: nothing to fit");

    t = Clock::now();
    HeadToPhotoTrafo();
    const double tFit = msSince(t);
    Errors after = measure(run, sx, sy);

    t = Clock::now();
    MakeFullTexture(7u);
    const double tTexture = msSince(t);
    if (!run.head().texture) return fail("no texture was built");

    std::printf("photo %d x %d (working %d x %d), marks weighing %d, %d automatic lines\n",
                run.photo->origWidth, run.photo->origHeight, run.photoWidth(), run.photoHeight(), weight, lines);
    std::printf("%-16s %9s\n", "stage", "ms");
    std::printf("%-16s %9.1f\n", "photo", tRead);
    std::printf("%-16s %9.1f   pairs %.1f, candidate table %.1f, search %.1f; the next step %.1f\n",
                "camera search", tCamera, tPairs, tTable, tSearch, tNext);
    std::printf("%-16s %9s   weighted RMS %.2f px on the working photo, %.2f input pixels\n", "", "", found.error,
                found.error * sy);
    std::printf("%-16s %9.1f\n", "automatic lines", tLines);
    std::printf("%-16s %9.1f\n", "fit", tFit);
    std::printf("%-16s %9.1f\n", "texture", tTexture);
    std::printf("errors in input pixels        before fit   after fit\n");
    std::printf("feature points RMS (%2d)      %10.2f  %10.2f\n", before.points, before.pointRms, after.pointRms);
    std::printf("line points RMS (%3d)        %10.2f  %10.2f\n", before.linePoints, before.lineRms, after.lineRms);
    std::printf("line points worst            %10.2f  %10.2f\n", before.lineWorst, after.lineWorst);
    return 0;
}
