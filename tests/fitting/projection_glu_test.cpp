// The window-free camera of the GL views, checked against Mesa's GLU and
// against what a camera must do whatever library computes it.

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "fitting/projection.h"
#include "fitting/trafdef.h"
#include "tests/support/fakes.h"

namespace {

struct CameraCase {
    const char* name;
    vector3<double> eye, center, up;
    double fovy;
    int clientW, clientH;
    GLViewport viewport;
};

const CameraCase kCameras[] = {
    {"front", {0, 0, 200}, {0, 0, 0}, {0, 1, 0}, 50.0, 640, 480, {0, 0, 640, 480}},
    {"oblique", {310, 120, 380}, {10, -20, 5}, {0.1, 1, 0.2}, 28.0, 800, 600, {37, -12, 900, 640}},
    {"rolled", {-400, -150, 250}, {0, 10, 0}, {0.4, 0.9, 0}, 12.5, 1024, 768, {-300, 20, 1500, 1100}},
    {"far", {0, 0, 1400}, {5, 5, 0}, {0, 1, 0}, 8.0, 300, 900, {0, 0, 301, 901}},
};

ProjectionCore makeCore(const CameraCase& c) {
    ProjectionCore core;
    core.setClientSize(c.clientW, c.clientH);
    core.setCamera(c.eye, c.center, c.up, c.fovy);
    core.setViewport(c.viewport);
    return core;
}

std::vector<vector3<double>> samplePoints() {
    std::vector<vector3<double>> pts;
    for (int i = -2; i <= 2; ++i)
        for (int j = -2; j <= 2; ++j)
            for (int k = -1; k <= 1; ++k) pts.push_back({i * 37.5 + 3, j * 41.0 - 7, k * 60.0 + 11});
    return pts;
}

TEST(ProjectionGlu, ProjectAndUnprojectAgreeWithGlu) {
    for (const CameraCase& c : kCameras) {
        SCOPED_TRACE(c.name);
        ProjectionCore core = makeCore(c);
        matrix44<double> mv = core.modelview(), pr = core.projection();
        GLint vp[4] = {c.viewport.x, c.viewport.y, c.viewport.width, c.viewport.height};
        htraf3<double> toClient = core.OpenGL2htraf();
        for (const vector3<double>& p : samplePoints()) {
            GLdouble gx, gy, gz;
            ASSERT_EQ(gluProject(p.x, p.y, p.z, mv.m, pr.m, vp, &gx, &gy, &gz), GL_TRUE);
            vector3<double> w;
            ASSERT_TRUE(core.project(p, &w));
            EXPECT_NEAR(w.x, gx, 1e-9 * (1 + std::fabs(gx)));
            EXPECT_NEAR(w.y, gy, 1e-9 * (1 + std::fabs(gy)));
            EXPECT_NEAR(w.z, gz, 1e-9);

            // The homogeneous head-to-client transform is the same projection
            // with the window's y turned downwards.
            vector3<double> h = (p * toClient).vec3();
            EXPECT_NEAR(h.x, gx, 1e-7 * (1 + std::fabs(gx)));
            EXPECT_NEAR(h.y, c.clientH - gy, 1e-7 * (1 + std::fabs(gy)));

            for (double depth : {0.0, 0.37, 1.0}) {
                GLdouble ox, oy, oz;
                ASSERT_EQ(gluUnProject(gx, gy, depth, mv.m, pr.m, vp, &ox, &oy, &oz), GL_TRUE);
                vector3<double> o;
                ASSERT_TRUE(core.unproject({gx, gy, depth}, &o));
                EXPECT_NEAR(o.x, ox, 1e-6 * (1 + std::fabs(ox)));
                EXPECT_NEAR(o.y, oy, 1e-6 * (1 + std::fabs(oy)));
                EXPECT_NEAR(o.z, oz, 1e-6 * (1 + std::fabs(oz)));
            }
            // Back through our own inverse at the projected depth.
            vector3<double> back;
            ASSERT_TRUE(core.unproject(w, &back));
            EXPECT_NEAR(dist(back, p), 0.0, 1e-6);
        }
    }
}

// What gluLookAt and gluPerspective must give, checked without GLU: the
// look-at point lands in the viewport's centre, a point on the upper edge of
// the opening angle on its top row, up is up and right is right, the near and
// far planes at depth 0 and 1.
TEST(ProjectionGlu, CameraGeometry) {
    for (const CameraCase& c : kCameras) {
        SCOPED_TRACE(c.name);
        ProjectionCore core = makeCore(c);
        const GLViewport& v = c.viewport;
        vector3<double> w;
        ASSERT_TRUE(core.project(c.center, &w));
        EXPECT_NEAR(w.x, v.x + v.width / 2.0, 1e-9);
        EXPECT_NEAR(w.y, v.y + v.height / 2.0, 1e-9);

        vector3<double> f = (c.center - c.eye).normalized();
        vector3<double> side = (f % c.up).normalized();
        vector3<double> up = side % f;
        double d = (c.center - c.eye).length();
        double half = std::tan(c.fovy / 2 * M_PI / 180) * d;
        ASSERT_TRUE(core.project(c.center + up * half, &w));
        EXPECT_NEAR(w.y, v.y + v.height, 1e-7);
        EXPECT_NEAR(w.x, v.x + v.width / 2.0, 1e-7);
        double aspect = double(v.width) / v.height;
        ASSERT_TRUE(core.project(c.center + side * (half * aspect), &w));
        EXPECT_NEAR(w.x, v.x + v.width, 1e-7);

        ASSERT_TRUE(core.project(c.eye + f * core.nearPlane(), &w));
        EXPECT_NEAR(w.z, 0.0, 1e-9);
        ASSERT_TRUE(core.project(c.eye + f * core.farPlane(), &w));
        EXPECT_NEAR(w.z, 1.0, 1e-9);
    }
}

TEST(ProjectionGlu, NearAndFarPlanes) {
    struct Case {
        double distance, nearPlane, farPlane;
    };
    const Case cases[] = {{300, 10, 800}, {509.9, 10, 1009.9}, {600, 100, 1100}, {0, 10, 500}};
    for (const Case& c : cases) {
        ProjectionCore core;
        core.setCamera({0, 0, c.distance}, {0, 0, 0}, {0, 1, 0}, 50);
        EXPECT_DOUBLE_EQ(core.nearPlane(), c.nearPlane) << c.distance;
        EXPECT_DOUBLE_EQ(core.farPlane(), c.farPlane) << c.distance;
    }
}

TEST(ProjectionGlu, FitToPhotoPlacesTheViewportOverThePhoto) {
    // Client 799 x 767 counts 800 x 768 pixels: a 600 x 768 photo fits at
    // scale 1, 100 pixels in from the left.
    struct Case {
        double mx, my;
        GLViewport expected;
    };
    const Case cases[] = {
        {0, 0, {100, 0, 600, 768}},
        {10, 0, {100, 0, 620, 768}},   // 20 pixels wider, on the right only
        {-10, 0, {80, 0, 620, 768}},   // on the left only
        {0, 6, {100, 0, 600, 780}},    // upwards
        {0, -6, {100, -12, 600, 780}}, // downwards
    };
    for (const Case& c : cases) {
        ProjectionCore core;
        core.setClientSize(799, 767);
        ASSERT_TRUE(core.FitToPhoto(600, 768, c.mx, c.my));
        EXPECT_EQ(core.viewport(), c.expected) << c.mx << " " << c.my;
        EXPECT_EQ(core.fittedViewport(), c.expected);
        EXPECT_DOUBLE_EQ(core.principalX(), c.mx);
        EXPECT_DOUBLE_EQ(core.principalY(), c.my);
        // Photo pixels and client pixels map onto each other both ways, and
        // GL's y runs upwards from the client's bottom.
        vector2<double> p(123.25, 456.5);
        vector2<double> cl = core.photoToClient().traf(p);
        EXPECT_NEAR(cl.x, 223.25, 1e-12);
        EXPECT_NEAR(cl.y, 456.5, 1e-12);
        vector2<double> back = core.cl2bmp_lintraf11().traf(cl);
        EXPECT_NEAR(back.x, p.x, 1e-12);
        EXPECT_NEAR(back.y, p.y, 1e-12);
        EXPECT_NEAR(core.photoToGL().traf(p).y, 767 - 456.5, 1e-12);
        vector3<double> viaH = (vector3<double>(cl.x, cl.y, 5) * core.cl2bmp_HTRAF3()).vec3();
        EXPECT_NEAR(viaH.x, p.x, 1e-12);
        EXPECT_NEAR(viaH.y, p.y, 1e-12);
        EXPECT_EQ(viaH.z, 5);
    }
}

TEST(ProjectionGlu, FitToPhotoRefusesDegenerateSizes) {
    ProjectionCore core;
    core.setClientSize(640, 480);
    ASSERT_TRUE(core.FitToPhoto(400, 300, 0, 0));
    const GLViewport before = core.viewport();
    for (auto [w, h] : {std::pair<long, long>{0, 300}, {400, 0}, {-5, 300}, {1000000, 300}, {400, 1000000}}) {
        EXPECT_FALSE(core.FitToPhoto(w, h, 3, 3)) << w << " x " << h;
        EXPECT_EQ(core.viewport(), before);
    }
    for (double offset : {1e12, -1e12, std::nan("")}) {
        EXPECT_FALSE(core.FitToPhoto(400, 300, offset, 0)) << offset;
        EXPECT_FALSE(core.FitToPhoto(400, 300, 0, offset)) << offset;
        EXPECT_EQ(core.viewport(), before);
    }
}

TEST(ProjectionGlu, SetLinTrafosFollowsAMovedViewport) {
    ProjectionCore core;
    core.setClientSize(799, 767);
    ASSERT_TRUE(core.FitToPhoto(600, 768, 0, 0));
    const lintraf11 fitted = core.photoToClient();
    core.setLinTrafos();  // same viewport: same maps
    EXPECT_NEAR(core.photoToClient().x.a, fitted.x.a, 1e-12);
    EXPECT_NEAR(core.photoToClient().x.b, fitted.x.b, 1e-12);
    EXPECT_NEAR(core.photoToClient().y.a, fitted.y.a, 1e-12);
    EXPECT_NEAR(core.photoToClient().y.b, fitted.y.b, 1e-12);

    // Doubling the viewport about its lower left corner doubles the photo.
    core.setViewport({100, 0, 1200, 1536});
    core.setLinTrafos();
    vector2<double> c = core.photoToClient().traf(300, 384);
    EXPECT_NEAR(c.x, 100 + 2 * 300, 1e-9);
    EXPECT_NEAR(c.y, 767 - 2 * (767 - 384), 1e-9);
}

TEST(ProjectionGlu, ZoomToARectangle) {
    ProjectionCore core;
    core.setClientSize(800, 600);
    core.setViewport({0, 0, 800, 600});
    struct Case {
        const char* name;
        ClientRect r;
        double zoom;
        GLViewport viewport;
    };
    const Case cases[] = {
        // Narrower than tall: widened to 400 x 300 about its centre (150, 250).
        {"narrow rectangle", {100, 100, 200, 400}, 2.0, {100, -400, 1600, 1200}},
        {"client aspect", {200, 150, 600, 450}, 2.0, {-400, -300, 1600, 1200}},
        // Wider than the client's aspect: heightened to 400 x 300 about its
        // centre (200, 275).
        {"wide rectangle", {0, 250, 400, 300}, 2.0, {0, -350, 1600, 1200}},
    };
    for (const Case& c : cases) {
        ProjectionCore z = core;
        ASSERT_TRUE(z.Zoom(c.r, 16384, 16384)) << c.name;
        EXPECT_DOUBLE_EQ(z.zoom(), c.zoom) << c.name;
        EXPECT_EQ(z.viewport(), c.viewport) << c.name;
    }
    ProjectionCore same = core;
    EXPECT_FALSE(same.Zoom(ClientRect{5, 5, 5, 90}, 16384, 16384));
    EXPECT_EQ(same.viewport(), core.viewport());

    // A tiny rectangle grows until the viewport fits the largest one.
    ProjectionCore tiny = core;
    ASSERT_TRUE(tiny.Zoom(ClientRect{400, 300, 404, 303}, 4096, 4096, true));
    EXPECT_GT(tiny.zoom(), 4.0);
    EXPECT_LE(tiny.viewport().width, 4096);
    EXPECT_LE(tiny.viewport().height, 4096);
}

TEST(ProjectionGlu, ResizeKeepsZoomAndCentre) {
    ProjectionCore core;
    core.OnSize(599, 799, 16384, 16384);
    ASSERT_TRUE(core.FitToPhoto(600, 768, 0, 0));
    const double zoom = core.zoom();
    for (auto [w, h] : {std::pair<int, int>{599, 799}, {799, 999}, {500, 700}}) {
        core.OnSize(w, h, 16384, 16384);
        EXPECT_DOUBLE_EQ(core.zoom(), zoom) << w << " x " << h;
        vector2<double> c = core.photoToClient().traf(300, 384);
        EXPECT_NEAR(c.x, w / 2.0, 1.5) << w << " x " << h;
        EXPECT_NEAR(c.y, h / 2.0, 1.5) << w << " x " << h;
        // The head drawn by GL and the photo drawn by the map stay together:
        // the camera's optical axis is the photo's centre.
        vector3<double> win;
        ProjectionCore cam = core;
        cam.setCamera({0, 0, 400}, {0, 0, 0}, {0, 1, 0}, 30);
        ASSERT_TRUE(cam.project({0, 0, 0}, &win));
        vector2<double> px = cam.cl2bmp_lintraf11().traf(win.x, h - win.y);
        EXPECT_NEAR(px.x, 300, 1.5);
        EXPECT_NEAR(px.y, 384, 1.5);
    }
}

TEST(ProjectionGlu, PhotoViewsAndAngles) {
    vector2<double> p = photoViewCl2bmp(2, 10.7, -3.2).traf(30, 20);
    EXPECT_DOUBLE_EQ(p.x, 10);
    EXPECT_DOUBLE_EQ(p.y, 11.5);

    const vector3<double> eye0(0, 0, 200), centre0(0, 0, 0), up0(0, 1, 0);
    vector3<double> eye, centre, up;
    CalculateEyeFromAngles(eye0, centre0, up0, 0, 0, 0, &eye, &centre, &up);
    EXPECT_EQ(eye, eye0);
    EXPECT_EQ(centre, centre0);
    EXPECT_EQ(up, up0);
    CalculateEyeFromAngles(eye0, centre0, up0, 0, M_PI / 2, 0, &eye, &centre, &up);
    EXPECT_NEAR(std::fabs(eye.x), 200, 1e-9);
    EXPECT_NEAR(eye.y, 0, 1e-9);
    EXPECT_NEAR(eye.z, 0, 1e-9);
    EXPECT_NEAR(dist(up, up0), 0, 1e-12);
}

// A flat "head": the square |x|, |y| < 100 in the plane z = 0.
bool planeHit(const vector3<double>& o, const vector3<double>& d, SurfaceHit* hit) {
    if (d.z == 0) return false;
    double t = -o.z / d.z;
    if (t < 0) return false;
    vector3<double> h = o + d * t;
    if (std::fabs(h.x) >= 100 || std::fabs(h.y) >= 100) return false;
    hit->point = h;
    return true;
}

// A view that answers from a projection core, as the real views will.
struct CoreView : fakes::FakeView {
    explicit CoreView(const ProjectionCore& c) : core(c) {}
    htraf3<double> OpenGL2htraf() override { return core.OpenGL2htraf(); }
    htraf3<double> cl2bmp_HTRAF3() override { return core.cl2bmp_HTRAF3(); }
    const ProjectionCore& core;
};

ProjectionCore planeCamera() {
    ProjectionCore core;
    core.setClientSize(639, 479);
    core.setCamera({0, 0, 400}, {0, 0, 0}, {0, 1, 0}, 40);
    core.FitToPhoto(640, 480, 0, 0);
    core.setSurfaceRayCast(planeHit);
    core.setVisibilityTolerance(0.2);
    return core;
}

TEST(ProjectionGlu, VisibilityModes) {
    ProjectionCore core = planeCamera();
    const vector3<double> towards(0, 0, 1), away(0, 0, -1);
    struct Case {
        const char* name;
        vector3<double> p;
        VisibilityMode mode;
        const vector3<double>* normal;
        bool visible;
    };
    const Case cases[] = {
        {"on the surface, ray", {20, 10, 0}, VisibilityRay, nullptr, true},
        {"behind the surface, ray", {20, 10, -40}, VisibilityRay, nullptr, false},
        {"behind the surface, no test", {20, 10, -40}, VisibilityAlways, nullptr, true},
        {"behind the surface, default mode without normal", {20, 10, -40}, VisibilityDefault, nullptr, false},
        {"normal towards the eye", {20, 10, -40}, VisibilityNormal, &towards, true},
        {"normal away from the eye", {20, 10, 0}, VisibilityNormal, &away, false},
        {"ray misses the head", {300, 10, -40}, VisibilityRay, nullptr, true},
    };
    int counter = 5;
    for (const Case& c : cases) {
        ProjectedPoint cache;
        EXPECT_EQ(core.Coord3Dto2D(cache, c.p, ++counter, c.mode, c.normal), c.visible) << c.name;
        EXPECT_EQ(cache.stamp, counter);
    }
}

TEST(ProjectionGlu, ProjectionCacheFollowsTheCounter) {
    ProjectionCore core = planeCamera();
    ProjectedPoint cache;
    EXPECT_FALSE(core.Coord3Dto2D(cache, {0, 0, 0}, -1));
    EXPECT_EQ(cache.stamp, -1);

    ASSERT_TRUE(core.Coord3Dto2D(cache, {0, 0, 0}, 7));
    const vector2<double> first = cache.window;
    EXPECT_NEAR(first.x, 320, 1e-9);
    EXPECT_NEAR(first.y, 479 - 240, 1e-9);

    // Same counter: the cached answer, even for a moved camera.
    core.setCamera({50, 0, 400}, {50, 0, 0}, {0, 1, 0}, 40);
    ASSERT_TRUE(core.Coord3Dto2D(cache, {0, 0, 0}, 7));
    EXPECT_EQ(cache.window, first);
    // A new frame projects again.
    ASSERT_TRUE(core.Coord3Dto2D(cache, {0, 0, 0}, 8));
    EXPECT_LT(cache.window.x, first.x - 10);
}

TEST(ProjectionGlu, PhotoPixelsOfHeadPoints) {
    ProjectionCore core = planeCamera();
    // The camera looks straight at the plane: its centre is the photo centre
    // (to one client pixel: the photo is fitted by inclusive pixel counts).
    vector2<double> out;
    EXPECT_TRUE(core.Coord3Dto2DBMP({0, 0, 0}, out));
    EXPECT_NEAR(out.x, 320, 1.0);
    EXPECT_NEAR(out.y, 240, 1.0);
    // Hidden points still get their photo position.
    vector2<double> hidden(-1, -1);
    EXPECT_FALSE(core.Coord3Dto2DBMP({0, 0, -30}, hidden));
    EXPECT_NEAR(hidden.x, 320, 1.0);
    // The same through the fitting's head-to-photo transform.
    CoreView view(core);
    fakes::FakeDocument doc;
    doc.views["ViewEdit2D3D"] = &view;
    svc::setDocument(&doc);
    vector3<double> viaH = (vector3<double>(0, 0, 0) * htrafOf2D3DViewBmp()).vec3();
    svc::setDocument(nullptr);
    EXPECT_NEAR(viaH.x, out.x, 1e-9);
    EXPECT_NEAR(viaH.y, out.y, 1e-9);
}

TEST(ProjectionGlu, NoViewMeansIdentity) {
    svc::setDocument(nullptr);
    EXPECT_TRUE(htrafOf2D3DView() == htraf3<double>(I44));
    EXPECT_TRUE(htrafOf2D3DViewBmp() == htraf3<double>(I44));
    EXPECT_TRUE(htrafOf3DView() == htraf3<double>(I44));
}

}  // namespace
