// The GL views as windows of the program's frame: what they show at
// 1024 x 768 and in the 2 x 2 layout over both scenes, the frame as the core
// rendered it, the marks over it, zoom, size and wheel through real input,
// and the views without GL.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/views/view_host.h"

namespace {

using viewtest::Picture;

constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kGrey = 0xD4D0C8u;
constexpr uint32_t kDisc = 0x8080FFu;

class GLViewsTest : public ViewsTest {
protected:
    // The frame the core renders for the view's client, off the window.
    Picture CoreFrame(CGLFaceView& v) {
        const CSize c = ClientOf(v);
        Picture p(c.cx, c.cy);
        if (auto* v3 = dynamic_cast<CViewEdit3D*>(&v))
            v3->core().DrawScene(p.rows(), &Doc().kernel2D->photo);
        else
            Overlay().core().DrawScene(p.rows(), Doc().photoNumber > 0 || Frame().refining,
                                       &Doc().kernel2D->photo);
        return p;
    }
    // The view alone, without marks or corner markers, painted.
    Picture Plain(CGLFaceView& v) {
        v.featureDisplay = false;
        v.active = false;
        Paint(v);
        return Grab(v);
    }
};

// The head's silhouette: the box of the non-white pixels against the box of
// the vertices the view sees.
void ExpectSilhouette(const Picture& p, CViewEdit3D& v, head3& h) {
    int x0 = p.width, y0 = p.height, x1 = -1, y1 = -1;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) != kWhite) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    ASSERT_GE(x1, x0);
    double bx0 = 1e9, by0 = 1e9, bx1 = -1e9, by1 = -1e9;
    for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) {
        if (h.vertices[k].triangles.count() == 0) continue;
        generalpoint3 g;
        g.vtx = k;
        if (!v.Coord3Dto2D(g, VisibilityRay)) continue;
        bx0 = std::min(bx0, g.projX), bx1 = std::max(bx1, g.projX);
        by0 = std::min(by0, g.projY), by1 = std::max(by1, g.projY);
    }
    EXPECT_NEAR(x0 + 0.5, bx0, 1.0);
    EXPECT_NEAR(x1 + 0.5, bx1, 1.0);
    EXPECT_NEAR(y0 + 0.5, by0, 1.0);
    EXPECT_NEAR(y1 + 0.5, by1, 1.0);
}

// Scene (a): the template over the coded picture. The first frames already
// show the clear colours; the panes show what the cores render.
TEST_F(GLViewsTest, TemplateSceneAloneAndTogether) {
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(TemplateScene());
    // The first frame of each GL view has its background.
    for (CGLFaceView* v : {static_cast<CGLFaceView*>(&View3D()), static_cast<CGLFaceView*>(&Overlay())}) {
        SCOPED_TRACE(v->viewName.GetString());
        ShowAlone(*v);
        const Picture p = Plain(*v);
        const uint32_t clear = v == &View3D() ? kWhite : kGrey;
        for (CPoint c : {CPoint(0, 0), CPoint(1023, 0), CPoint(0, 767), CPoint(1023, 767), CPoint(40, 400)})
            EXPECT_EQ(p.at(c.x, c.y), clear) << c.x << ", " << c.y;
        EXPECT_EQ(p.pixels, CoreFrame(*v).pixels);
        if (v == &View3D()) ExpectSilhouette(p, View3D(), *Doc().kernel3D->head);
    }
    Frame().refining = 1;
    for (CFaceView* v : AllViews()) {
        v->featureDisplay = true;
        ShowAlone(*v);
        ASSERT_EQ(ClientOf(*v), CSize(1024, 768)) << v->viewName.GetString();
        Paint(*v);
        viewtest::Save(Grab(*v), std::string("scene_a_") + v->viewName.GetString());
    }
    ShowFour();
    viewtest::Save(GrabFrame(), "scene_a_2x2");
    Frame().refining = 0;
}

// Scene (b) on both of ImageMagick's pictures: the four views alone in
// modes 1, 6 and 7 and together; the panes show the cores' frames, the
// photo views the working picture, the merged overlay its blend.
TEST_F(GLViewsTest, TexturedScenesAloneAndTogether) {
    for (const char* builtin : {"logo:", "wizard:"}) {
        SCOPED_TRACE(builtin);
        ASSERT_TRUE(StartProgram());
        std::string why;
        ASSERT_TRUE(TexturedScene(builtin, &why)) << why;
        const std::string name = std::string("scene_b_") + std::string(builtin).substr(0, std::strlen(builtin) - 1);
        const CWinBmp& photo = Doc().kernel2D->photo;
        CViewEdit3D& v3 = View3D();
        EXPECT_EQ(v3.displayMode, 7);
        ShowAlone(v3);
        for (int mode : {1, 6, 7}) {
            v3.displayMode = mode;
            const Picture p = Plain(v3);
            // (The lit head of this scene turns white at its rim: its
            // silhouette is checked on the template's scene.)
            EXPECT_EQ(p.pixels, CoreFrame(v3).pixels) << mode;
            v3.featureDisplay = true;
            v3.active = true;
            Paint(v3);
            viewtest::Save(Grab(v3), name + "_3d_mode" + std::to_string(mode));
        }
        // The overlay (a refinement photo's number, so that it draws the
        // head); merged: (P + 3R) / 4 of the scaled photo P and the frame R.
        CViewEdit2D3D& ov = Overlay();
        ShowAlone(ov);
        Doc().photoNumber = 1;
        const Picture plain = Plain(ov);
        EXPECT_EQ(plain.pixels, CoreFrame(ov).pixels);
        ov.SetMerged(true);
        const Picture merged = Plain(ov);
        views::ScaledPhoto scaled;
        ASSERT_TRUE(scaled.prepare(&photo, 1024, 768));
        int checked = 0;
        for (CPoint c : {CPoint(512, 384), CPoint(300, 200), CPoint(700, 500), CPoint(520, 300), CPoint(480, 420),
                         CPoint(10, 10), CPoint(1000, 700), CPoint(200, 600)}) {
            const int i = c.x - scaled.x0(), n = c.y - scaled.y0();
            const bool inside = i > 0 && n > 0 && i < scaled.width() && n < scaled.height();
            const uint32_t p = inside ? scaled.pixel(i, n) : kWhite;
            EXPECT_EQ(merged.at(c.x, c.y), views::overlayMergedPixel(p, plain.at(c.x, c.y))) << c.x << ", " << c.y;
            checked += inside;
        }
        EXPECT_GT(checked, 3);
        ov.featureDisplay = true;
        Paint(ov);
        viewtest::Save(Grab(ov), name + "_overlay_merged");
        ov.SetMerged(false);
        Paint(ov);
        viewtest::Save(Grab(ov), name + "_overlay");
        Doc().photoNumber = 0;
        // The photo views: the working picture through the rule.
        for (CFaceView* v : {static_cast<CFaceView*>(&OrigPhoto()), static_cast<CFaceView*>(&Orig2D())}) {
            ShowAlone(*v);
            v->featureDisplay = false;
            v->active = false;
            Paint(*v);
            const Picture p = Grab(*v);
            for (int y = 40; y < 728; y += 29)
                for (int x = 40; x < 984; x += 31) {
                    const int sx = v->map.sourceColumn(x), sy = v->map.sourceRow(y);
                    const bool on = sx >= 0 && sy >= 0 && sx < photo.GetWidth() && sy < photo.GetHeight();
                    ASSERT_EQ(p.at(x, y), on ? viewtest::Rgb(photo.GetPixel(sx, sy)) : kGrey) << x << ", " << y;
                }
            v->featureDisplay = true;
            Paint(*v);
            viewtest::Save(Grab(*v), name + "_" + v->viewName.GetString());
        }
        ShowFour();
        for (CFaceView* v : AllViews()) v->featureDisplay = true;
        Frame().OnViews4b();
        driver.Pump();
        viewtest::Save(GrabFrame(), name + "_2x2");
        Stop();
        resetModelState();
    }
}

// With the refinement flag and the feature display at stage 1000 the
// overlay draws the head's feature points as (128, 128, 255) discs, centred
// where the core projects them: at zoom 1, four times zoomed and panned.
TEST_F(GLViewsTest, DiscsOfTheHeadsFeaturePoints) {
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(TemplateScene());
    CViewEdit2D3D& ov = Overlay();
    ShowAlone(ov);
    Frame().refining = 1;
    ov.featureDisplay = true;
    ov.active = false;
    head3& h = *Doc().kernel3D->head;
    struct Step {
        const char* name;
        ClientRect zoom;
    };
    const Step steps[] = {{"discs_zoom1", {0, 0, 1024, 768}},
                          {"discs_zoom4", {384, 288, 640, 480}},
                          {"discs_panned", {-37, 21, 1024 - 37, 768 + 21}}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        driver.Run([&] { ov.Zoom(s.zoom, true); });
        Paint(ov);
        const Picture p = Grab(ov);
        // The core's numbers of this frame.
        std::vector<vector2<double>> centres;
        for (int k = h.featurepoints.first(); k != -1; k = h.featurepoints.nextOf(k)) {
            featurepoint3& f = h.featurepoints[k];
            if (f.vtx == -1 && f.extra == -1) continue;
            if (!GoodInfoCode(0, CString(f.name()))) continue;
            if (ov.core().Coord3Dto2D(f, 0)) centres.push_back({f.projX, f.projY});
        }
        int checked = 0;
        for (const vector2<double>& c : centres) {
            if (c.x < 8 || c.y < 8 || c.x > 1016 || c.y > 760) continue;
            bool alone = true;
            for (const vector2<double>& o : centres)
                if (&o != &c && std::hypot(o.x - c.x, o.y - c.y) < 14) alone = false;
            if (!alone) continue;
            double sx = 0, sy = 0;
            int n = 0;
            for (int y = int(c.y) - 7; y <= int(c.y) + 7; ++y)
                for (int x = int(c.x) - 7; x <= int(c.x) + 7; ++x)
                    if (p.at(x, y) == kDisc) sx += x + 0.5, sy += y + 0.5, ++n;
            ASSERT_GT(n, 40) << c.x << ", " << c.y;
            EXPECT_NEAR(sx / n, c.x, 1.0);
            EXPECT_NEAR(sy / n, c.y, 1.0);
            ++checked;
        }
        EXPECT_GT(checked, 5);
        viewtest::Save(p, s.name);
    }
    Frame().refining = 0;
}

// The GL rows of the zoom and size table through the window's input.
TEST_F(GLViewsTest, WheelMiddleDragAndResize) {
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(TemplateScene());
    CViewEdit3D& v = View3D();
    ShowAlone(v, 800, 600);
    driver.Run([&] { v.FitInView(); });
    const HWND h = v.m_hWnd;
    const double z = v.core().core().zoom();
    // The head point under the client centre stays under it.
    auto centre = [&] { return v.core().cl2bmp_lintraf11().traf(400, 300); };
    const vector2<double> at = centre();
    driver.Wheel(h, CPoint(100, 100), 120);
    EXPECT_NEAR(v.core().core().zoom() / z, 1.25, 0.01);
    EXPECT_LT(dist(centre(), at), 1.0);
    driver.Wheel(h, CPoint(700, 500), -120);
    EXPECT_NEAR(v.core().core().zoom() / z, 1.0, 0.01);
    EXPECT_LT(dist(centre(), at), 1.5);
    // A middle drag zooms to its rectangle, drawn either way.
    views::HeadRenderCore probe(v);
    probe.OnSize(800, 600);
    probe.core().restoreView(v.core().core().viewport(), v.core().core().viewportOriginX(),
                             v.core().core().viewportOriginY(), v.core().core().zoom(), 0, 0);
    ASSERT_TRUE(probe.Zoom(ClientRect{100, 100, 300, 250}));
    const GLViewport before = v.core().core().viewport();
    const float ox = v.core().core().viewportOriginX(), oy = v.core().core().viewportOriginY();
    const double zoom = v.core().core().zoom();
    for (bool upLeft : {false, true}) {
        v.core().core().restoreView(before, ox, oy, zoom, 0, 0);
        const CPoint a = upLeft ? CPoint(300, 250) : CPoint(100, 100), b = upLeft ? CPoint(100, 100) : CPoint(300, 250);
        driver.MouseDown(h, a, 2);
        driver.MouseUp(h, b, 2);
        EXPECT_EQ(v.core().core().viewport(), probe.core().viewport()) << upLeft;
        EXPECT_NEAR(v.core().core().zoom(), zoom * 600 / 150, 1e-9);
    }
    // Resized to 800 x 600 and back: the zoom kept, the photo centred.
    ShowAlone(v, 1024, 768);
    driver.Run([&] { v.FitInView(); });
    const double fitted = v.core().core().zoom();
    for (CSize s : {CSize(800, 600), CSize(1024, 768)}) {
        SizePane(v, s.cx, s.cy);
        EXPECT_DOUBLE_EQ(v.core().core().zoom(), fitted);
        const vector2<double> c = v.core().core().photoToClient().traf(512, 384);
        EXPECT_NEAR(c.x, s.cx / 2.0, 1.0);
        EXPECT_NEAR(c.y, s.cy / 2.0, 1.0);
    }
    // Hidden and shown again: as it was.
    const GLViewport shown = v.core().core().viewport();
    SizePane(v, 1024, 0);
    SizePane(v, 1024, 768);
    EXPECT_EQ(v.core().core().viewport(), shown);
}

// The fit fixes the 3D view's client extent: later sizes leave it, the next
// fit (a deferred one as well) takes the client it fits into.
TEST_F(GLViewsTest, FitFixesTheClientExtent) {
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(TemplateScene());
    CViewEdit3D& v = View3D();
    ShowAlone(v, 800, 600);
    auto special = [&] {
        CRect r(1, 2, 3, 4);
        v.GetClientRectSpecial(&r);
        return r;
    };
    // Nothing fitted yet: the window's client.
    v.fixedClientWidth = v.fixedClientHeight = 0.0;
    EXPECT_EQ(special(), CRect(0, 0, 800, 600));
    v.fixedClientWidth = 300.0;  // one side alone does not count
    EXPECT_EQ(special(), CRect(0, 0, 800, 600));
    driver.Run([&] { v.FitInView(); });
    EXPECT_EQ(special(), CRect(0, 0, 800, 600));
    SizePane(v, 640, 480);
    EXPECT_EQ(ClientOf(v), CSize(640, 480));
    EXPECT_EQ(special(), CRect(0, 0, 800, 600));
    // A photo size the fit refuses leaves it.
    EXPECT_FALSE(v.FitToPhoto(0, 768, 0, 0));
    EXPECT_EQ(special(), CRect(0, 0, 800, 600));
    driver.Run([&] { v.FitInView(); });
    EXPECT_EQ(special(), CRect(0, 0, 640, 480));
    // Fitted while hidden: the photo's own size until the pane shows again.
    SizePane(v, 640, 0);
    EXPECT_TRUE(v.FitToPhoto(1024, 768, 0, 0));
    EXPECT_EQ(special(), CRect(0, 0, 1023, 767));
    SizePane(v, 700, 500);
    EXPECT_EQ(special(), CRect(0, 0, 700, 500));
}

// Without GL: the message once, the GL views their background and marks,
// everything else as before.
TEST_F(GLViewsTest, WithoutGL) {
    offscreen::resetForTests();
    offscreen::setContextFactory([](std::string* error) -> std::unique_ptr<offscreen::Context> {
        *error = "EGL_NOT_INITIALIZED";
        return nullptr;
    });
    testing::internal::CaptureStderr();
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(TemplateScene());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "Off-screen OpenGL unavailable: EGL_NOT_INITIALIZED\n");
    CViewEdit3D& v = View3D();
    EXPECT_FALSE(v.core().hasGL());
    ShowAlone(v);
    v.featureDisplay = true;
    v.active = false;
    Paint(v);
    const Picture p = Grab(v);
    // White, but for the feature points' discs where the core sees them.
    long green = 0, other = 0;
    for (uint32_t px : p.pixels) {
        green += px == 0x00FF00u;
        other += px != kWhite && px != 0x00FF00u && px != 0;
    }
    EXPECT_GT(green, 300);
    EXPECT_EQ(other, 0);
    generalpoint3 g;
    g.vtx = Doc().kernel3D->head->vertices.first();
    EXPECT_TRUE(v.Coord3Dto2D(g, 1));
    EXPECT_TRUE(v.Coord2Dto3DTest({512.5, 384.5}));
    ShowAlone(Overlay());
    const Picture o = Plain(Overlay());
    EXPECT_EQ(std::count(o.pixels.begin(), o.pixels.end(), kGrey), long(o.pixels.size()));
    // The photo views draw as ever.
    ShowAlone(OrigPhoto());
    Paint(OrigPhoto());
    EXPECT_EQ(Grab(OrigPhoto()).at(500, 400), viewtest::Rgb(Doc().kernel2D->photo.GetPixel(OrigPhoto().map.sourceColumn(500),
                                                                                          OrigPhoto().map.sourceRow(400))));
    offscreen::resetForTests();
}

}  // namespace
