#pragma once
// The GL views' cores over the template head, without windows: (a) the
// template fitted by FitToPhoto(1024, 768, 0, 0) in both views; (b) a head
// fitted to a photo made by ImageMagick (logo:, wizard:) through the camera
// search, the fitting and the texture build, marks placed through a known
// camera with a seeded jitter.

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fitting/headtophoto.h"
#include "fitting/texture.h"
#include "foundation/random.h"
#include "model/head.h"
#include "model/octree.h"
#include "picture/picencoder.h"
#include "tests/fitting/template_pipeline.h"
#include "views/head_render.h"
#include "views/overlay_render.h"

namespace viewtest {

// Where the tests leave their pictures for a person to look at.
inline std::string OutputDir() {
    std::string dir = BRIVANTA_TEST_OUTPUT;
    std::filesystem::create_directories(dir);
    return dir + "/";
}

inline std::string Scratch(const std::string& name) {
    return testing::TempDir() + "brv_views_" + std::to_string(getpid()) + "_" + name;
}

// A client-sized picture: 0x00RRGGBB rows top down.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    Picture() = default;
    Picture(int w, int h, uint32_t fill = 0x00123456u) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    offscreen::PixelRows rows() { return {pixels.data(), width, height, width}; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Written as BMP through the program's encoder (a person looks at these).
inline void Save(const Picture& p, const std::string& name) {
    CWinBmp bmp;
    bmp.Create(p.width, p.height, 32, false);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            uint32_t c = p.at(x, y);
            bmp.SetPixel(x, y, CPixel32(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0));
        }
    CBmpEncoder().MakeFileFromBmp((OutputDir() + name + ".bmp").c_str(), &bmp);
}

inline uint32_t Rgb(const CPixel32& p) {
    return (uint32_t(p.GetR()) << 16) | (uint32_t(p.GetG()) << 8) | p.GetB();
}

// The pipeline's services and kernels with the two GL view cores over them.
class Views {
public:
    Views() : overlay(std::make_unique<views::OverlayRenderCore>()) {
        head3d = std::make_unique<views::HeadRenderCore>(run.services->viewEdit3D);
        views::resetProjectionCounterOwner();
    }
    ~Views() {
        head3d.reset();
        overlay.reset();
        views::resetProjectionCounterOwner();
        offscreen::resetForTests();
    }

    bool createContexts() { return overlay->OnCreate() && head3d->OnCreate(); }

    // Both views sized to the client and fitted to a photo of w x h.
    void fit(int cw, int ch, long w, long h, double mx = 0, double my = 0) {
        for (views::GLViewCore* v : all()) {
            v->OnSize(cw, ch);
            v->FitToPhoto(w, h, mx, my);
        }
    }
    std::vector<views::GLViewCore*> all() { return {overlay.get(), head3d.get()}; }

    // Display lists of both views; the octree and box of the head first.
    void buildLists(int stage) {
        head3d->InitializeModelForOpenGL(*run.heads, false, false, stage);
        overlay->InitializeModelForOpenGL(*run.heads);
    }

    head3& head() { return run.head(); }

    Picture render3D(const CWinBmp* photo = nullptr) {
        Picture p(head3d->core().clientWidth(), head3d->core().clientHeight());
        head3d->DrawScene(p.rows(), photo);
        return p;
    }
    Picture renderOverlay(bool drawHead = true, const CWinBmp* photo = nullptr) {
        Picture p(overlay->core().clientWidth(), overlay->core().clientHeight());
        overlay->DrawScene(p.rows(), drawHead, photo);
        return p;
    }

    pipeline::Run run;
    std::unique_ptr<views::OverlayRenderCore> overlay;
    std::unique_ptr<views::HeadRenderCore> head3d;
};

// Fixture (a): the template head, stage 1000, both views 1024 x 768 fitted
// to a 1024 x 768 photo with the optical axis at its centre, the eyes 400
// units from the head's centre so that the whole head shows.
inline bool TemplateViews(Views& v, int cw = 1024, int ch = 768) {
    if (!v.run.loadTemplate()) return false;
    if (!v.createContexts()) return false;
    for (views::GLViewCore* view : v.all()) {
        view->defaultEyeDistance = 400;
        view->ClearAllViewSettings();
    }
    v.fit(cw, ch, 1024, 768);
    v.buildLists(1000);
    return true;
}

// The known camera of the marked photos: turned 12 degrees about the
// vertical and -6 degrees about the horizontal axis.
inline ProjectionCore KnownCamera(int w, int h) {
    vector3<double> eye, center, up;
    CalculateEyeFromAngles({0, 0, 480}, {0, 0, 0}, {0, 1, 0}, -6 * M_PI / 180, 12 * M_PI / 180, 0, &eye, &center,
                           &up);
    return pipeline::Run::cameraOver(w, h, eye, center, up, 28.0);
}

// Fixture (b): the photo ImageMagick makes of `builtin` (written as JPEG),
// marked through the known camera with a seeded jitter of up to 2 pixels,
// then the camera search, the fitting and the texture at 1024 (stage 2500);
// the overlay view takes the found camera, the 3D view its start camera.
inline bool TexturedViews(Views& v, const std::string& builtin, std::string* why) {
    if (!v.run.loadTemplate()) return *why = "template", false;
    const std::string jpeg = Scratch(builtin + ".jpg");
    if (std::system(("/usr/bin/convert " + builtin + " -quality 92 " + jpeg + " 2>/dev/null").c_str()) != 0)
        return *why = "ImageMagick", false;
    v.run.services->app.state().pictureEditor = 0;
    int loaded = v.run.photo->LoadPicFile(CString(jpeg.c_str()));
    std::remove(jpeg.c_str());
    if (!loaded) return *why = "photo", false;
    v.run.services->document.state().templateId = 122;
    v.run.photo->InitPicture();
    const int w = v.run.photoWidth(), h = v.run.photoHeight();
    fnd::RandomSource jitter(1234);
    auto displace = [&](const vector2<double>& p) {
        double dx = (jitter.next() % 401 - 200) / 100.0, dy = (jitter.next() % 401 - 200) / 100.0;
        return p + vector2<double>(dx, dy);
    };
    v.run.markThrough(pipeline::Run::toPhoto(KnownCamera(w, h)), displace);
    CameraFound found;
    if (!v.run.cameraSearch(&found)) return *why = "camera search", false;
    HeadToPhotoTrafo();
    v.run.services->document.state().textureSize = 1024;
    MakeFullTexture(7u);
    if (!v.head().texture) return *why = "texture", false;
    if (!v.createContexts()) return *why = "GL", false;
    // The overlay takes the camera that the search found and lays it over
    // the photo; the 3D view looks from its start direction, 400 units away.
    v.head3d->defaultEyeDistance = 400;
    v.head3d->ClearAllViewSettings();
    v.overlay->core().setCamera(found.eye, found.center, found.up, found.openingAngle);
    v.fit(1024, 768, w, h, found.tx, found.ty);
    v.buildLists(2500);
    v.head3d->UploadTexture(*v.run.heads);
    return true;
}

// Every vertex of the head that some triangle uses.
inline std::vector<vector3<double>> UsedVertices(head3& h) {
    std::vector<vector3<double>> out;
    for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k))
        if (h.vertices[k].triangles.count() > 0) out.push_back(h.vertices[k].position);
    return out;
}

// Every triangle of the head as three corners, for a plain search of the
// nearest hit. Only triangles whose projected box (widened by 2 pixels)
// holds the client point are tried: the box needs no octree.
class TriangleSoup {
public:
    TriangleSoup(head3& h, const ProjectionCore& core) {
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
            const triangle& tr = h.triangles[t];
            Corners c{tr.a.data().position, tr.b.data().position, tr.c.data().position, 1e300, 1e300, -1e300, -1e300};
            for (const vector3<double>* p : {&c.a, &c.b, &c.c}) {
                vector3<double> win;
                if (!core.project(*p, &win)) continue;
                double y = core.clientHeight() - win.y;
                c.x0 = std::min(c.x0, win.x - 2), c.x1 = std::max(c.x1, win.x + 2);
                c.y0 = std::min(c.y0, y - 2), c.y1 = std::max(c.y1, y + 2);
            }
            corners_.push_back(c);
        }
    }

    // The nearest hit of o + t d, t >= 0, over the triangles under client point w.
    bool nearestHit(const vector2<double>& w, const vector3<double>& o, const vector3<double>& d,
                    vector3<double>* hit) const {
        double best = 1e300;
        bool any = false;
        for (const Corners& c : corners_) {
            if (w.x < c.x0 || w.x > c.x1 || w.y < c.y0 || w.y > c.y1) continue;
            vector3<double> e1 = c.b - c.a, e2 = c.c - c.a;
            vector3<double> p = d % e2;
            double det = e1 * p;
            if (std::fabs(det) < 1e-14) continue;
            vector3<double> s = o - c.a;
            double u = (s * p) / det;
            vector3<double> q = s % e1;
            double v = (d * q) / det;
            if (u < 0 || v < 0 || u + v > 1) continue;
            double t = (e2 * q) / det;
            if (t < 0 || t >= best) continue;
            best = t;
            *hit = o + d * t;
            any = true;
        }
        return any;
    }

private:
    struct Corners {
        vector3<double> a, b, c;
        double x0, y0, x1, y1;
    };
    std::vector<Corners> corners_;
};

}  // namespace viewtest
