#pragma once
// The window-free road of one photo on the template head: load the template,
// mark the photo, search the camera, lay the overlay view's camera over the
// photo, fit the head and build the texture. Header only, over the fakes of
// tests/support, so that the end-to-end test and the pipeline benchmark run
// the very same steps.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fitting/camera_search.h"
#include "fitting/headtophoto.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "fitting/projection.h"
#include "fitting/texture.h"
#include "framework/resources.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/octree.h"
#include "picture/picencoder.h"
#include "tests/support/fakes.h"

namespace pipeline {

struct Mark {
    std::string name;
    vector2<double> p;
};

// Kernels the run owns (over the fakes) or borrows (from a real document).
struct MaybeOwned {
    bool owned = true;
    template <class T>
    void operator()(T* p) const {
        if (owned) delete p;
    }
};

class Run {
public:
    Run() {
        resetModelState();
        services = std::make_unique<fakes::Services>();
        services->app.state().pictureEditor = 0;
        services->document.state().templateId = 122;
        photo.reset(new CKernel2D(&services->document));
        heads.reset(new CKernel3D(&services->document));
        services->document.photo = photo.get();
        services->document.head = heads.get();
    }
    // The same steps over the services installed now (the real application,
    // document and frame): the document's kernels, and the found camera laid
    // into the document's overlay view by layCamera.
    Run(CKernel2D* documentPhoto, CKernel3D* documentHead, std::function<void(const ProjectionCore&)> layCamera)
        : photo(documentPhoto, MaybeOwned{false}), heads(documentHead, MaybeOwned{false}),
          layCamera_(std::move(layCamera)) {}
    ~Run() {
        bool owned = services != nullptr;
        heads.reset();
        photo.reset();
        services.reset();
        if (owned) resetModelState();
    }

    bool loadTemplate(unsigned id = 122) {
        std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", id);
        if (!bytes.data()) return false;
        fnd::fileTB f;
        if (!f.open(bytes.data(), bytes.size())) return false;
        return heads->LoadHead(f, 1000) && head().vertices.count() > 0;
    }
    // The template as the document's template load leaves it: read, then
    // every vertex unmarked with its load position the one read
    // (head3::BuildMirror), which orders the texture's projections.
    bool loadTemplateAsTheDocument(unsigned id = 122) {
        if (!loadTemplate(id)) return false;
        head().BuildMirror();
        return true;
    }
    head3& head() { return *heads->head; }

    // The working photo (only its size matters to the fit).
    void setPhoto(const CWinBmp& bmp) {
        photo->photo = bmp;
        photo->InitPicture();
    }
    int photoWidth() const { return photo->photo.GetWidth(); }
    int photoHeight() const { return photo->photo.GetHeight(); }

    // A camera laid over the working photo as the overlay view lays it.
    static ProjectionCore cameraOver(int w, int h, const vector3<double>& eye, const vector3<double>& center,
                                     const vector3<double>& up, double fovy, double mx = 0, double my = 0,
                                     int clientWidth = 0, int clientHeight = 0) {
        ProjectionCore core;
        // The view's client (the photo's size less one unless given): the
        // viewport fitted into it is whole pixels.
        if (clientWidth > 0 && clientHeight > 0)
            core.setClientSize(clientWidth, clientHeight);
        else
            core.setClientSize(w - 1, h - 1);
        core.setCamera(eye, center, up, fovy);
        core.FitToPhoto(w, h, mx, my);
        return core;
    }
    static htraf3<double> toPhoto(const ProjectionCore& core) { return core.OpenGL2htraf() * core.cl2bmp_HTRAF3(); }
    static vector2<double> project(const htraf3<double>& h, const vector3<double>& p) {
        vector3<double> q = (p * h).vec3();
        return {q.x, q.y};
    }

    // The head's feature points of group 0 and its drawn lines, through h.
    std::vector<Mark> featurePointsThrough(const htraf3<double>& h) {
        std::vector<Mark> out;
        CString code;
        for (int i = 0; GetFeaturePointInfo(i, &code); ++i) {
            if (!GoodInfoCode(0, code)) continue;
            Index<featurepoint3> f = head().getFeaturepoint(code, true);
            if (f == -1) continue;
            out.push_back({std::string(code.View()), project(h, head().featurepoints[f].point())});
        }
        return out;
    }
    void addPhotoPoint(const Mark& m) {
        head2& marks = *photo->head;
        Index<featurepoint2> i = marks.photoPoints.add();
        marks.photoPoints[i].set_name(m.name.c_str(), false);
        marks.photoPoints[i].position = m.p;
    }
    // Places the head's lines of type 3333 through their table points (what
    // the user does on the feature-curve page).
    int placeHeadLines() {
        CString code, type;
        int placed = 0;
        for (int i = 0; GetFeatureLineInfo(i, &code, nullptr, &type); ++i) {
            if (!GoodInfoCode(0, code) || type != CString("3333")) continue;
            Index<featureline3> l = head().getFeatureline(code, false);
            dynarray<CString> points;
            if (l == -1 || !GetFeatureLinePoints(code, &points) || points.size() < 2) continue;
            featureline3& line = head().featurelines[l];
            if (line.count()) continue;
            for (int k = 0; k < points.size(); ++k) {
                Index<featurepoint3> f = head().getFeaturepoint(points[k], true);
                if (f == -1) continue;
                Index<linepoint3> lp = line.add();
                static_cast<generalpoint3&>(line[lp]) = static_cast<const generalpoint3&>(head().featurepoints[f]);
                line[lp].line = l;
            }
            if (line.count() < 2) continue;
            line.used = 1;
            ++placed;
        }
        return placed;
    }

    // Drawn photo lines for the head's lines of type 3333, through h and
    // moved by displace.
    template <class F>
    void addPhotoLines(const htraf3<double>& h, F displace) {
        CString code, type;
        head2& marks = *photo->head;
        for (int i = 0; GetFeatureLineInfo(i, &code, nullptr, &type); ++i) {
            if (!GoodInfoCode(0, code) || type != CString("3333")) continue;
            Index<featureline3> l = head().getFeatureline(code, true);
            if (l == -1 || head().featurelines[l].count() < 2) continue;
            Index<featureline2> m = marks.photoLines.add();
            marks.photoLines[m].set_name(code, false);
            const featureline3& line = head().featurelines[l];
            for (int k = line.first(); k != -1; k = line.nextOf(k)) {
                Index<linepoint2> lp = marks.photoLines[m].add();
                marks.photoLines[m][lp].position = displace(project(h, line[k].point()));
            }
        }
    }

    // The pairs of the camera step: head and photo points by name; returns
    // their count.
    long feedCameraSearch() {
        camera_photo_size(photoWidth(), photoHeight());
        head2& marks = *photo->head;
        CString code, mirror;
        double weight = 0;
        long n = 0;
        for (int i = 0; GetFeaturePointInfo(i, &code, &mirror, &weight); ++i) {
            if (!GoodInfoCode(0, code)) continue;
            Index<featurepoint3> f = head().getFeaturepoint(code, true);
            if (f == -1) continue;
            vector2<double> p(0, 0);
            bool present = false;
            for (int k = marks.photoPoints.first(); k != -1; k = marks.photoPoints.nextOf(k))
                if (std::string(marks.photoPoints[k].name()) == code.View()) {
                    p = marks.photoPoints[k].position;
                    present = true;
                    break;
                }
            adatok_beallitasa(n++, p, present, head().featurepoints[f].point(), weight,
                              head().featurepoints[f].mirror == f);
        }
        return n;
    }

    // The camera step: pairs by name, search, and the overlay view's camera.
    bool cameraSearch(CameraFound* found) {
        resetCameraSearch();
        long n = feedCameraSearch();
        kozeppont(0, 0, 0);
        generation_possible_camera_models();
        if (!ponttavolsag_optimalizalas(n, found)) return false;
        useCamera(*found);
        return true;
    }
    // Lays the found camera over the photo in the overlay view.
    void useCamera(const CameraFound& found) {
        found_ = cameraOver(photoWidth(), photoHeight(), found.eye, found.center, found.up, found.openingAngle,
                            found.tx, found.ty, overlayClient[0], overlayClient[1]);
        if (!services) {
            layCamera_(found_);
            return;
        }
        services->viewEdit2D3D.openGL2htraf = found_.OpenGL2htraf();
        services->viewEdit2D3D.cl2bmp = found_.cl2bmp_HTRAF3();
        services->viewEdit2D3D.toPhoto = toPhoto(found_);
    }
    htraf3<double> foundToPhoto() const { return toPhoto(found_); }

    // A position-coded photo of w x h (red = x, green = y, blue = the high
    // bits) kept as the photo kernel's file bytes and working photo.
    void setCodedPhoto(int w, int h, const std::string& scratchPath) {
        CWinBmp coded;
        coded.Create(w, h, 32, false);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                coded.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), uint8_t((x >> 8) | ((y >> 8) << 4)), 0));
        setPhotoFile(coded, scratchPath);
    }

    // bmp kept as the photo kernel's file bytes (a BMP file) and working photo.
    void setPhotoFile(CWinBmp& coded, const std::string& scratchPath) {
        CBmpEncoder().MakeFileFromBmp(scratchPath.c_str(), &coded);
        std::FILE* f = std::fopen(scratchPath.c_str(), "rb");
        std::vector<uint8_t> bytes;
        if (f) {
            int c;
            while ((c = std::fgetc(f)) != EOF) bytes.push_back(uint8_t(c));
            std::fclose(f);
        }
        std::remove(scratchPath.c_str());
        photo->SetFileBytes(std::move(bytes));
        setPhoto(coded);
    }

    // Marks as a user places them on a photo: the head's feature points of
    // group 0 seen through h, each moved 3 to 6 pixels in a direction of its
    // own (seeded).
    std::vector<Mark> realisticMarks(const htraf3<double>& h, unsigned seed) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> radius(3.0, 6.0), angle(0.0, 2 * M_PI);
        std::vector<Mark> marks = featurePointsThrough(h);
        for (Mark& m : marks) {
            double r = radius(rng), a = angle(rng);
            m.p = m.p + vector2<double>(r * std::cos(a), r * std::sin(a));
        }
        return marks;
    }

    // Marks through a known camera, moved by displace: points and the drawn
    // lines of the placed head lines.
    template <class F>
    void markThrough(const htraf3<double>& h, F displace) {
        placeHeadLines();
        for (Mark m : featurePointsThrough(h)) {
            m.p = displace(m.p);
            addPhotoPoint(m);
        }
        addPhotoLines(h, displace);
    }

    // RMS distance of the head's feature points, through the found camera,
    // to their photo marks (0 without any).
    double pointError() {
        htraf3<double> cam = foundToPhoto();
        head2& marks = *photo->head;
        double sum = 0;
        int count = 0;
        for (int k = marks.photoPoints.first(); k != -1; k = marks.photoPoints.nextOf(k)) {
            Index<featurepoint3> f = head().getFeaturepoint(marks.photoPoints[k].name(), true);
            if (f == -1) continue;
            vector2<double> d = project(cam, head().featurepoints[f].point()) - marks.photoPoints[k].position;
            sum += d * d;
            ++count;
        }
        return count ? std::sqrt(sum / count) : 0.0;
    }

    // Distance of q to the drawn line (its polyline: a line piece is paired
    // by arc length, so a point may land between two drawn points).
    static double toDrawnLine(const featureline2& drawn, const vector2<double>& q) {
        double best = 1e300;
        for (int j = drawn.first(); j != -1; j = drawn.nextOf(j)) {
            int next = drawn.nextOf(j);
            vector2<double> a = drawn[j].position, ab = next == -1 ? vector2<double>(0, 0) : drawn[next].position - a;
            double len2 = ab * ab;
            double t = len2 > 0 ? std::clamp(((q - a) * ab) / len2, 0.0, 1.0) : 0.0;
            best = std::min(best, (q - (a + ab * t)).length());
        }
        return best;
    }

    // Worst distance of the head's line points, through the found camera,
    // to their drawn lines.
    double lineError() {
        htraf3<double> cam = foundToPhoto();
        head2& marks = *photo->head;
        double worst = 0;
        for (int i = marks.photoLines.first(); i != -1; i = marks.photoLines.nextOf(i)) {
            Index<featureline3> l = head().getFeatureline(marks.photoLines[i].name(), true);
            if (l == -1) continue;
            const featureline3& line = head().featurelines[l];
            const featureline2& drawn = marks.photoLines[i];
            for (int k = line.first(); k != -1; k = line.nextOf(k)) {
                worst = std::max(worst, toDrawnLine(drawn, project(cam, line[k].point())));
            }
        }
        return worst;
    }

    // The overlay view as the views run it: the found camera, and visibility
    // by a ray through the head's octree (filled anew for the head as it
    // stands).
    struct OctreeView : fakes::FakeViewEdit2D3D {
        ProjectionCore core;
        int Coord3Dto2DBMP(const fnd::vector3<double>& p, fnd::vector2<double>& out) override {
            return core.Coord3Dto2DBMP(p, out) ? 1 : 0;
        }
    };
    void connectOctreeVisibility() {
        head3& h = head();
        h.set_actual();
        h.octree().fill();
        vector3<double> lo(1e10, 1e10, 1e10), hi(-1e10, -1e10, -1e10);
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
            lo = fnd::min(lo, h.vertices[v].position);
            hi = fnd::max(hi, h.vertices[v].position);
        }
        tolerance_ = 0.001 * std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
        attachOctreeView();
    }
private:
    void attachOctreeView() {
        head3& h = head();
        octreeView_.core = found_;
        octreeView_.openGL2htraf = found_.OpenGL2htraf();
        octreeView_.cl2bmp = found_.cl2bmp_HTRAF3();
        octreeView_.core.setVisibilityTolerance(tolerance_);
        octreeView_.core.setSurfaceRayCast([&h](const vector3<double>& o, const vector3<double>& d, SurfaceHit* hit) {
            Index<triangle> t = h.octree().getfirst(o, d, &hit->bary, &hit->point);
            hit->triangle = t;
            return t != -1;
        });
        services->document.views["ViewEdit2D3D"] = &octreeView_;
    }

public:

    // The overlay view's client the camera is laid into (0: the photo's
    // size less one).
    int overlayClient[2] = {0, 0};
    std::unique_ptr<fakes::Services> services;  // null over real services
    std::unique_ptr<CKernel2D, MaybeOwned> photo;
    std::unique_ptr<CKernel3D, MaybeOwned> heads;

private:
    std::function<void(const ProjectionCore&)> layCamera_;
    double tolerance_ = 0;
    ProjectionCore found_;
    OctreeView octreeView_;
};

}  // namespace pipeline
