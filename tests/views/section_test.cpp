// The GL views' base state and project-file sections, and their viewport
// arithmetic, without a GL context.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/filetb.h"
#include "model/head.h"
#include "tests/support/fakes.h"
#include "views/head_render.h"
#include "views/overlay_render.h"

namespace {

std::string Scratch(const std::string& name) {
    return testing::TempDir() + "brv_section_" + std::to_string(getpid()) + "_" + name;
}

template <class F>
std::string WriteText(F write) {
    const std::string path = Scratch("out.txt");
    {
        fnd::fileTB f;
        EXPECT_TRUE(f.open(path.c_str(), "wt"));
        write(f);
        EXPECT_TRUE(f.close());
    }
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::remove(path.c_str());
    return text;
}

template <class F>
bool ReadText(const std::string& text, F read) {
    fnd::fileTB f;
    EXPECT_TRUE(f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    bool ok = read(f);
    EXPECT_EQ(ok, f.good());
    return ok;
}

struct Cores {
    fakes::FakeViewEdit3D view3D;
    views::HeadRenderCore head3d{view3D};
    views::OverlayRenderCore overlay;
};

// A 3D view and an overlay in a state with every field set.
void Populate(Cores& c) {
    c.head3d.yaw = 0.25;
    c.head3d.pitch = -0.125;
    c.head3d.CalculateEyeFromAngles();
    c.head3d.OnSize(800, 600);
    c.head3d.FitToPhoto(1024, 768, 0, 0);
    c.head3d.reserved[0] = 1, c.head3d.reserved[1] = 2, c.head3d.reserved[2] = 3, c.head3d.reserved[3] = 4;
    c.overlay.core().setCamera({12.5, -4, 310}, {1, 2, 3}, {0, 1, 0.125}, 27.5);
    c.overlay.OnSize(1024, 768);
    c.overlay.FitToPhoto(640, 480, 10, -6);
}

TEST(ViewSection, ResetValuesAndAngles) {
    Cores c;
    views::GLViewCore& v = c.head3d;
    v.OnSize(640, 480);
    v.FitToPhoto(640, 480, 3, 4);
    v.yaw = 1, v.pitch = 2, v.roll = 3, v.reserved[2] = 9;
    v.ClearAllViewSettings();
    EXPECT_EQ(v.core().eye(), vector3<double>(0, 0, 200));
    EXPECT_EQ(v.core().center(), vector3<double>(0, 0, 0));
    EXPECT_EQ(v.core().up(), vector3<double>(0, 1, 0));
    EXPECT_EQ(v.core().fovy(), 50.0);
    EXPECT_EQ(v.core().zoom(), 1.0);
    EXPECT_EQ(v.core().viewport(), GLViewport{});
    EXPECT_EQ(v.core().viewportOriginX(), 0.0f);
    EXPECT_EQ(v.core().pictureOffsetX(), 0.0);
    EXPECT_EQ(v.yaw + v.pitch + v.roll, 0.0);
    EXPECT_EQ(v.reserved[2], 0);
    // All angles 0: the camera is the base camera.
    v.CalculateEyeFromAngles();
    EXPECT_EQ(v.core().eye(), vector3<double>(0, 0, 200));
    // A quarter turn about the vertical puts the eye on the x axis (the
    // rotation turns against the right-hand rule).
    v.yaw = M_PI / 2;
    v.CalculateEyeFromAngles();
    EXPECT_NEAR(v.core().eye().x, -200, 1e-9);
    EXPECT_NEAR(v.core().eye().y, 0, 1e-9);
    EXPECT_NEAR(v.core().eye().z, 0, 1e-9);
    EXPECT_LT(dist(v.core().up(), vector3<double>(0, 1, 0)), 1e-12);
    // Eye 300 from the centre: near plane 10, far 800.
    v.core().setCamera({0, 300, 0}, {0, 0, 0}, {0, 0, 1}, 50);
    EXPECT_EQ(v.core().nearPlane(), 10);
    EXPECT_EQ(v.core().farPlane(), 800);
    v.core().setCamera({0, 0, 900}, {0, 0, 0}, {0, 1, 0}, 50);
    EXPECT_EQ(v.core().nearPlane(), 400);
    EXPECT_EQ(v.core().farPlane(), 1400);
}

// Doubles as the token file writes them (three decimals above 1, six
// below), the reserved values second, fourth, first, third.
const char* const kGolden3D =
    "  -49.095   -24.935   192.271 \t0.000000 0.000000 0.000000 \n"
    "-0.030845 0.992198 0.120799    50.000 -0.125000 0.250000 \n"
    "0 0 801 600 0.998336 \t2 4 1 3 \n"
    "    0.000     0.125 -0.166667 0.000000 ";

// The principal offset (10, -6) makes the viewport 20 photo pixels wider
// (x 0: all of it on the right) and 12 taller, downward (y -19).
const char* const kGoldenOverlay =
    "   12.500    -4.000   310.000 \t1.000000     2.000     3.000 \n"
    "0.000000 1.000000 0.125000    27.500 0.000000 0.000000 \n"
    "0 -19 1057 787     1.023 \t0 0 0 0 \n"
    "    0.000   -19.094 -0.166667 0.000000 \n"
    "   10.000    -6.000 \n"
    "0 -19 1057 787 \n"
    "    1.602 0.000000    -1.602   767.875 \n";

TEST(ViewSection, GoldenTextAndRoundTrip) {
    Cores c;
    Populate(c);
    const std::string text3D = WriteText([&](fnd::fileTB& f) { c.head3d.writeOpenGL(f); });
    const std::string textOverlay = WriteText([&](fnd::fileTB& f) { c.overlay.writeOpenGL(f); });
    EXPECT_EQ(text3D, kGolden3D);
    EXPECT_EQ(textOverlay, kGoldenOverlay);

    // Read into fresh views and written again: the same text.
    Cores d;
    ASSERT_TRUE(ReadText(text3D, [&](fnd::fileTB& f) { return d.head3d.readOpenGL(f); }));
    ASSERT_TRUE(ReadText(textOverlay, [&](fnd::fileTB& f) { return d.overlay.readOpenGL(f); }));
    EXPECT_EQ(WriteText([&](fnd::fileTB& f) { d.head3d.writeOpenGL(f); }), text3D);
    EXPECT_EQ(WriteText([&](fnd::fileTB& f) { d.overlay.writeOpenGL(f); }), textOverlay);
    EXPECT_EQ(d.head3d.core().viewport(), c.head3d.core().viewport());
    EXPECT_EQ(d.head3d.reserved[0], 1);
    EXPECT_EQ(d.head3d.reserved[3], 4);
    EXPECT_EQ(d.overlay.core().fittedViewport(), c.overlay.core().fittedViewport());
    EXPECT_EQ(d.overlay.core().principalX(), 10);
    EXPECT_NEAR(d.overlay.core().photoToGL().y.b, c.overlay.core().photoToGL().y.b, 1e-3);
    // With the client size the document restores, the maps follow.
    d.overlay.OnSize(1024, 768);
    d.overlay.core().restoreView(c.overlay.core().viewport(), c.overlay.core().viewportOriginX(),
                                 c.overlay.core().viewportOriginY(), c.overlay.core().zoom(), 0, 0);
    d.overlay.setLinTrafos();
    vector2<double> a = d.overlay.cl2bmp_lintraf11().traf(500, 400), b = c.overlay.cl2bmp_lintraf11().traf(500, 400);
    // The file keeps three decimals of the map.
    EXPECT_LT(dist(a, b), 0.5);
}

TEST(ViewSection, DamagedSectionsFailTheStreamAndChangeNothing) {
    struct Case {
        const char* name;
        const char* from;
        const char* to;
    };
    // Each replaces one piece of the overlay's golden text.
    const Case cases[] = {
        {"eye not a number", "   12.500", "nan"},
        {"infinite centre", "1.000000     2.000", "inf 2.000"},
        {"infinite field of view", "27.500", "-inf"},
        {"zoom 0", "     1.023", " 0"},
        {"negative zoom", "     1.023", " -1"},
        {"zoom too large", "     1.023", " 10001"},
        {"negative viewport width", "0 -19 1057 787     1.023", "0 -19 -1057 787     1.023"},
        {"viewport above the largest", "0 -19 1057 787     1.023", "0 -19 1057 16385     1.023"},
        {"pan too far", "   -19.094", " -20000001"},
        {"principal offset too far", "   10.000    -6.000", "   10.000    -1e8"},
        {"fitted viewport above the largest", "0 -19 1057 787 \n    1.602", "0 -19 99999 787 \n    1.602"},
        {"map without scale", "    1.602 0.000000", "    0 0.000000"},
        {"cut short", "    1.602 0.000000    -1.602   767.875 \n", "    1.602"},
        {"word for a number", "0 0 0 0", "0 0 zero 0"},
    };
    for (const Case& k : cases) {
        std::string text = kGoldenOverlay;
        size_t at = text.find(k.from);
        ASSERT_NE(at, std::string::npos) << k.name;
        text.replace(at, std::string(k.from).size(), k.to);
        Cores d;
        d.overlay.OnSize(300, 200);
        d.overlay.FitToPhoto(300, 200, 0, 0);
        const std::string before = WriteText([&](fnd::fileTB& f) { d.overlay.writeOpenGL(f); });
        EXPECT_FALSE(ReadText(text, [&](fnd::fileTB& f) { return d.overlay.readOpenGL(f); })) << k.name;
        EXPECT_EQ(WriteText([&](fnd::fileTB& f) { d.overlay.writeOpenGL(f); }), before) << k.name;
    }
    // The 3D view's section alone is checked the same way.
    std::string bad = kGolden3D;
    bad.replace(bad.find("0.998336"), 8, "-0.998336");
    Cores d;
    EXPECT_FALSE(ReadText(bad, [&](fnd::fileTB& f) { return d.head3d.readOpenGL(f); }));
    EXPECT_EQ(d.head3d.core().zoom(), 1.0);
}

// The GL rows of the zoom and size table.
TEST(ViewZoom, FitToPhotoWithAPrincipalOffset) {
    Cores c;
    views::GLViewCore& v = c.overlay;
    v.OnSize(1023, 767);  // 1024 x 768 pixels counted inclusively
    ASSERT_TRUE(v.FitToPhoto(1024, 768, 0, 0));
    const GLViewport plain = v.core().viewport();
    EXPECT_EQ(plain, (GLViewport{0, 0, 1024, 768}));
    // 20 photo pixels wider on the right only; 20 taller downward.
    ASSERT_TRUE(v.FitToPhoto(1024, 768, 10, 0));
    EXPECT_EQ(v.core().viewport(), (GLViewport{0, 0, 1044, 768}));
    ASSERT_TRUE(v.FitToPhoto(1024, 768, 0, -10));
    EXPECT_EQ(v.core().viewport(), (GLViewport{0, -20, 1024, 788}));
    const GLViewport before = v.core().viewport();
    for (long w : {0L, 1000000L}) {
        EXPECT_FALSE(v.FitToPhoto(w, 768, 0, 0));
        EXPECT_FALSE(v.FitToPhoto(1024, w, 0, 0));
        EXPECT_EQ(v.core().viewport(), before);
    }
    // The zoom is the viewport height over the client height, for a wide
    // client as for a tall one.
    for (auto [cw, ch] : {std::pair{1999, 499}, {499, 999}}) {
        v.OnSize(cw, ch);
        ASSERT_TRUE(v.FitToPhoto(1024, 768, 0, 0));
        EXPECT_DOUBLE_EQ(v.core().zoom(), v.core().viewport().height / double(ch + 1)) << cw << " x " << ch;
    }
}

TEST(ViewZoom, RectanglesAndTheViewportLimit) {
    Cores c;
    views::GLViewCore& v = c.head3d;
    v.OnSize(800, 600);
    ASSERT_TRUE(v.FitToPhoto(800, 600, 0, 0));
    const double z = v.core().zoom();
    // 100 x 300 on a 4:3 client: widened to 400 x 300 about its centre.
    views::HeadRenderCore probe(c.view3D);
    probe.OnSize(800, 600);
    ASSERT_TRUE(probe.FitToPhoto(800, 600, 0, 0));
    ASSERT_TRUE(probe.Zoom(ClientRect{350, 150, 450, 450}));
    EXPECT_NEAR(probe.core().zoom(), z * 2, 1e-12);
    // The rectangle's centre (400, 300) stays where it was on the photo.
    vector2<double> centre = probe.cl2bmp_lintraf11().traf(400, 300);
    vector2<double> was = v.cl2bmp_lintraf11().traf(400, 300);
    EXPECT_LT(dist(centre, was), 1.5);
    // 3 x 3 grows to the limit of the largest viewport.
    ASSERT_TRUE(v.Zoom(ClientRect{400, 300, 403, 303}));
    const GLViewport& big = v.core().viewport();
    EXPECT_LE(big.width, v.maxViewportWidth());
    EXPECT_LE(big.height, v.maxViewportHeight());
    EXPECT_GT(std::max(big.width / double(v.maxViewportWidth()), big.height / double(v.maxViewportHeight())), 0.99);
    // A zero-width rectangle does nothing.
    const GLViewport at = v.core().viewport();
    EXPECT_FALSE(v.Zoom(ClientRect{10, 10, 10, 50}));
    EXPECT_EQ(v.core().viewport(), at);
}

TEST(ViewZoom, WheelNotchesAndMiddleDrags) {
    Cores c;
    views::GLViewCore& v = c.head3d;
    v.OnSize(800, 600);
    ASSERT_TRUE(v.FitToPhoto(800, 600, 0, 0));
    const double z = v.core().zoom();
    // The wheel's rectangles: half sizes 0.4 (in) and 0.625 (out) of the
    // client about its centre, edges moved out by 0.5 and truncated.
    auto wheel = [&](bool in) {
        const double k = in ? 0.4 : 0.625;
        const int cw = v.core().clientWidth(), ch = v.core().clientHeight();
        return ClientRect{int(cw / 2.0 - k * cw - 0.5), int(ch / 2.0 - k * ch - 0.5), int(cw / 2.0 + k * cw + 0.5),
                          int(ch / 2.0 + k * ch + 0.5)};
    };
    const vector2<double> photoCentre = v.cl2bmp_lintraf11().traf(400, 300);
    ASSERT_TRUE(v.Zoom(wheel(true)));
    EXPECT_NEAR(v.core().zoom() / z, 1.25, 0.01);
    EXPECT_LT(dist(v.cl2bmp_lintraf11().traf(400, 300), photoCentre), 1.0);
    ASSERT_TRUE(v.Zoom(wheel(false)));
    EXPECT_NEAR(v.core().zoom() / z, 1.0, 0.01);
    EXPECT_LT(dist(v.cl2bmp_lintraf11().traf(400, 300), photoCentre), 1.5);
    // A middle drag from (100, 100) to (300, 250) and the same drawn up-left.
    views::HeadRenderCore a(c.view3D), b(c.view3D);
    for (views::HeadRenderCore* w : {&a, &b}) {
        w->OnSize(800, 600);
        ASSERT_TRUE(w->FitToPhoto(800, 600, 0, 0));
    }
    ASSERT_TRUE(a.Zoom(ClientRect{100, 100, 300, 250}));
    ASSERT_TRUE(b.Zoom(ClientRect{std::min(300, 100), std::min(250, 100), std::max(300, 100), std::max(250, 100)}));
    EXPECT_EQ(a.core().viewport(), b.core().viewport());
    EXPECT_NEAR(a.core().zoom(), z * 600 / 150, 1e-9);
}

TEST(ViewZoom, ResizeKeepsZoomAndTheCentre) {
    Cores c;
    views::GLViewCore& v = c.overlay;
    EXPECT_TRUE(v.OnSize(1024, 768));
    ASSERT_TRUE(v.FitToPhoto(1024, 768, 0, 0));
    EXPECT_FALSE(v.OnSize(1024, 768));
    const double z = v.core().zoom();
    const int height = v.core().viewport().height;
    for (auto [w, h] : {std::pair{800, 600}, {1024, 768}}) {
        v.OnSize(w, h);
        EXPECT_DOUBLE_EQ(v.core().zoom(), z);
        vector2<double> centre = v.core().photoToClient().traf(512, 384);
        EXPECT_NEAR(centre.x, w / 2.0, 1.0);
        EXPECT_NEAR(centre.y, h / 2.0, 1.0);
    }
    EXPECT_NEAR(v.core().viewport().height, height, 1);
    // Fitted on 1000 x 500, resized to the same size: the viewport keeps its height.
    v.OnSize(1000, 500);
    ASSERT_TRUE(v.FitToPhoto(1024, 768, 0, 0));
    const int fitted = v.core().viewport().height;
    v.OnSize(1000, 500);
    EXPECT_NEAR(v.core().viewport().height, fitted, 1);
    // Hidden and shown again: zoom and pan as they were.
    const GLViewport shown = v.core().viewport();
    const double zoom = v.core().zoom();
    v.OnSize(1000, 0);
    v.OnSize(0, 0);
    v.OnSize(1000, 500);
    EXPECT_EQ(v.core().viewport(), shown);
    EXPECT_DOUBLE_EQ(v.core().zoom(), zoom);
}

// Where a view puts the head and the photo: client pixels of a few head
// points and photo pixels.
std::vector<vector2<double>> Mapping(const views::GLViewCore& v) {
    std::vector<vector2<double>> out;
    const htraf3<double> toClient = v.OpenGL2htraf();
    for (double x : {-60.0, 0.0, 60.0})
        for (double y : {-80.0, 0.0, 80.0}) {
            const vector3<double> c = (vector3<double>(x, y, 70) * toClient).vec3();
            out.emplace_back(c.x, c.y);
        }
    for (double x : {0.0, 300.0, 655.0})
        for (double y : {0.0, 400.0, 768.0}) out.push_back(v.core().photoToClient().traf(x, y));
    return out;
}

// Resizes and wheel notches that come back to the size and zoom they left
// come back to the mapping they left: nothing is lost to rounding on the way.
TEST(ViewZoom, ResizesAndNotchesThatComeBackLeaveTheMappingAsItWas) {
    using Steps = void (*)(views::GLViewCore&);
    struct Case {
        const char* name;
        Steps steps;
    };
    const Case cases[] = {
        {"width 540 -> 300 -> 540 in 2-pixel steps",
         [](views::GLViewCore& v) {
             for (int w = 538; w >= 300; w -= 2) v.OnSize(w, 700);
             for (int w = 302; w <= 540; w += 2) v.OnSize(w, 700);
         }},
        {"height 700 -> 301 -> 700 in 3-pixel steps",
         [](views::GLViewCore& v) {
             for (int h = 697; h >= 301; h -= 3) v.OnSize(540, h);
             for (int h = 304; h <= 700; h += 3) v.OnSize(540, h);
         }},
        {"25 notches in and out in turn",
         [](views::GLViewCore& v) {
             for (int k = 0; k < 25; ++k) {
                 ASSERT_TRUE(v.Zoom(v.wheelRect(true)));
                 ASSERT_TRUE(v.Zoom(v.wheelRect(false)));
             }
         }},
        {"10 notches in, then 10 out",
         [](views::GLViewCore& v) {
             for (int k = 0; k < 10; ++k) ASSERT_TRUE(v.Zoom(v.wheelRect(true)));
             for (int k = 0; k < 10; ++k) ASSERT_TRUE(v.Zoom(v.wheelRect(false)));
         }},
        {"notches between resizes",
         [](views::GLViewCore& v) {
             ASSERT_TRUE(v.Zoom(v.wheelRect(true)));
             v.OnSize(413, 517);
             ASSERT_TRUE(v.Zoom(v.wheelRect(true)));
             v.OnSize(777, 611);
             ASSERT_TRUE(v.Zoom(v.wheelRect(false)));
             v.OnSize(540, 700);
             ASSERT_TRUE(v.Zoom(v.wheelRect(false)));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Cores cores;
        for (views::GLViewCore* v : {static_cast<views::GLViewCore*>(&cores.overlay), static_cast<views::GLViewCore*>(&cores.head3d)}) {
            v->OnSize(540, 700);
            v->core().setCamera({40, 25, 900}, {2, -3, 1}, {0, 1, 0.02}, 21.0);
            ASSERT_TRUE(v->FitToPhoto(655, 768, 12.5, -7.25));
            const std::vector<vector2<double>> before = Mapping(*v);
            const double zoom = v->core().zoom();
            c.steps(*v);
            EXPECT_NEAR(v->core().zoom(), zoom, 1e-9 * zoom);
            const std::vector<vector2<double>> after = Mapping(*v);
            double worst = 0;
            for (size_t k = 0; k < before.size(); ++k) worst = std::max(worst, dist(before[k], after[k]));
            EXPECT_LT(worst, 0.01);
        }
    }
}

}  // namespace
