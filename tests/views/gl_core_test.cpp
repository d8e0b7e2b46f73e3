// The GL views' cores over the template head: what GL draws and what the
// projection core computes must agree pixel for pixel, and picks must find
// what the octree and a plain search over all triangles find.

#include "tests/views/view_fixtures.h"

#include <algorithm>

namespace {

using viewtest::Picture;
using viewtest::Views;

constexpr uint32_t kWhite = 0xFFFFFFu;
constexpr uint32_t kOverlayGrey = 0xD4D0C8u;

// The matrices and viewport GL holds for the view's context.
struct GLState {
    double modelview[16], projection[16];
    GLint viewport[4];
};

GLState ReadState(views::GLViewCore& v) {
    GLState s;
    offscreen::ContextGuard g(v.context());
    EXPECT_TRUE(g.ok());
    glGetDoublev(GL_MODELVIEW_MATRIX, s.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, s.projection);
    glGetIntegerv(GL_VIEWPORT, s.viewport);
    return s;
}

// A point bound to vertex k.
generalpoint3 AtVertex(int k) {
    generalpoint3 p;
    p.vtx = k;
    return p;
}

void ExpectGLAgrees(Views& v, views::GLViewCore& view, const char* what) {
    SCOPED_TRACE(what);
    const GLState s = ReadState(view);
    const matrix44<double> mv = view.core().modelview(), pr = view.core().projection();
    for (int k = 0; k < 16; ++k) {
        // GL keeps its matrices in single precision.
        EXPECT_NEAR(s.modelview[k], mv.m[k], 1e-6 * (1 + std::fabs(mv.m[k]))) << k;
        EXPECT_NEAR(s.projection[k], pr.m[k], 1e-6 * (1 + std::fabs(pr.m[k]))) << k;
    }
    const GLViewport& vp = view.core().viewport();
    EXPECT_EQ(s.viewport[0], vp.x);
    EXPECT_EQ(s.viewport[1], vp.y);
    EXPECT_EQ(s.viewport[2], vp.width);
    EXPECT_EQ(s.viewport[3], vp.height);
    const int ch = view.core().clientHeight();
    head3& h = v.head();
    int checked = 0;
    double worst = 0;
    for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) {
        const vector3<double>& p = h.vertices[k].position;
        GLdouble gx, gy, gz;
        ASSERT_EQ(gluProject(p.x, p.y, p.z, s.modelview, s.projection, s.viewport, &gx, &gy, &gz), GL_TRUE);
        generalpoint3 g = AtVertex(k);
        view.Coord3Dto2D(g, VisibilityAlways);
        ASSERT_EQ(g.projStamp, generalpoint3::ProjCounter);
        worst = std::max({worst, std::fabs(g.projX - gx), std::fabs(g.projY - (ch - gy))});
        ++checked;
    }
    EXPECT_GT(checked, 1000);
    EXPECT_LT(worst, 0.01);
}

TEST(GLCore, GLAndTheCoreAgreeAtZoomOneAfterARectangleZoomAndAfterAPan) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    for (views::GLViewCore* view : v.all()) {
        const bool is3D = view == v.head3d.get();
        auto render = [&] { return is3D ? v.render3D() : v.renderOverlay(); };
        render();
        ExpectGLAgrees(v, *view, is3D ? "3D, zoom 1" : "overlay, zoom 1");

        // A quarter of the client fills it: the viewport is four times the
        // client, far beyond the framebuffer.
        const double fitted = view->core().zoom();
        ASSERT_TRUE(view->Zoom(ClientRect{384, 288, 640, 480}));
        EXPECT_NEAR(view->core().zoom(), 4.0 * fitted, 1e-12);
        EXPECT_GT(view->core().viewport().width, 4 * 1000);
        Picture zoomed = render();
        ExpectGLAgrees(v, *view, is3D ? "3D, zoom 4" : "overlay, zoom 4");
        viewtest::Save(zoomed, is3D ? "template_3d_zoom4" : "template_overlay_zoom4");

        // A pan: the client rectangle shifted, the zoom kept.
        ASSERT_TRUE(view->Zoom(ClientRect{-37, 21, 1024 - 37, 768 + 21}));
        EXPECT_NEAR(view->core().zoom(), 4.0 * fitted, 1e-12);
        render();
        ExpectGLAgrees(v, *view, is3D ? "3D, panned" : "overlay, panned");

        // A wheel notch: a viewport that is no whole number of pixels.
        ASSERT_TRUE(view->Zoom(view->wheelRect(true)));
        render();
        ExpectGLAgrees(v, *view, is3D ? "3D, a notch in" : "overlay, a notch in");
    }
}

// The head's silhouette in the 3D view: the box of the non-white pixels
// against the box of the vertices the core sees.
TEST(GLCore, SilhouetteBoxIsTheBoxOfTheVisibleVertices) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    Picture p = v.render3D();
    viewtest::Save(p, "template_3d_mode1");
    int x0 = p.width, y0 = p.height, x1 = -1, y1 = -1;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (p.at(x, y) != kWhite) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    ASSERT_GE(x1, x0);
    double bx0 = 1e9, by0 = 1e9, bx1 = -1e9, by1 = -1e9;
    head3& h = v.head();
    for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) {
        if (h.vertices[k].triangles.count() == 0) continue;
        generalpoint3 g = AtVertex(k);
        if (!v.head3d->Coord3Dto2D(g, VisibilityRay)) continue;
        bx0 = std::min(bx0, g.projX), bx1 = std::max(bx1, g.projX);
        by0 = std::min(by0, g.projY), by1 = std::max(by1, g.projY);
    }
    // Pixel x covers [x, x + 1): the box of the pixel centres.
    EXPECT_NEAR(x0 + 0.5, bx0, 1.0);
    EXPECT_NEAR(x1 + 0.5, bx1, 1.0);
    EXPECT_NEAR(y0 + 0.5, by0, 1.0);
    EXPECT_NEAR(y1 + 0.5, by1, 1.0);
}

bool NearBorder(const Picture& p, int x, int y, bool hit) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            int xx = x + dx, yy = y + dy;
            if (xx < 0 || yy < 0 || xx >= p.width || yy >= p.height) continue;
            if ((p.at(xx, yy) == kWhite) == hit) return true;
        }
    return false;
}

TEST(GLCore, PickGridAgreesWithGluTheOctreeAndEveryTriangle) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    Picture p = v.render3D();
    views::HeadRenderCore& view = *v.head3d;
    // GLU unprojects through the core's double matrices (GL's own agree to
    // float precision, checked above).
    GLState s;
    const matrix44<double> mv = view.core().modelview(), pr = view.core().projection();
    std::copy(mv.m, mv.m + 16, s.modelview);
    std::copy(pr.m, pr.m + 16, s.projection);
    const GLViewport& vp = view.core().viewport();
    s.viewport[0] = vp.x, s.viewport[1] = vp.y, s.viewport[2] = vp.width, s.viewport[3] = vp.height;
    const int cw = view.core().clientWidth(), ch = view.core().clientHeight();
    head3& h = v.head();
    const viewtest::TriangleSoup soup(h, view.core());
    int hits = 0, misses = 0, bordered = 0, edges = 0;
    for (int j = 0; j < 48; ++j)
        for (int i = 0; i < 64; ++i) {
            const int px = i * cw / 64 + cw / 128, py = j * ch / 48 + ch / 96;
            const vector2<double> w(px + 0.5, py + 0.5);
            SCOPED_TRACE(testing::Message() << "pixel " << px << ", " << py);
            // The ray as GLU unprojects it, searched by the octree directly.
            GLdouble n[3], f[3];
            ASSERT_TRUE(gluUnProject(w.x, ch - w.y, 0, s.modelview, s.projection, s.viewport, &n[0], &n[1], &n[2]));
            ASSERT_TRUE(gluUnProject(w.x, ch - w.y, 1, s.modelview, s.projection, s.viewport, &f[0], &f[1], &f[2]));
            const vector3<double> origin(n[0], n[1], n[2]), dir = vector3<double>(f[0], f[1], f[2]) - origin;
            vector3<double> bary, octHit;
            const int octTriangle = h.octree().getfirst(origin, dir, &bary, &octHit);
            vector3<double> brute;
            const bool bruteHit = soup.nearestHit(w, origin, dir, &brute);

            SurfaceHit hit;
            const bool picked = view.castRay(w, &hit);
            EXPECT_EQ(view.Coord2Dto3DTest(w), picked);
            EXPECT_EQ(picked, octTriangle != -1);
            const bool background = p.at(px, py) == kWhite;
            if (picked == background) {
                // Only on the silhouette's one-pixel border may the two differ.
                EXPECT_TRUE(NearBorder(p, px, py, picked));
                ++bordered;
            }
            generalpoint3 out;
            if (!picked) {
                ++misses;
                EXPECT_FALSE(view.Coord2Dto3D(w, out));
                EXPECT_EQ(out.extra, -1);
                continue;
            }
            ++hits;
            EXPECT_EQ(hit.triangle, octTriangle);
            EXPECT_LT(dist(hit.point, octHit), 1e-9);
            if (bruteHit) {
                // Where the ray crosses an edge the two may name neighbours,
                // but the point is the same.
                EXPECT_LT(dist(hit.point, brute), 1e-6);
                edges += dist(hit.point, brute) > 1e-12;
            } else {
                EXPECT_TRUE(NearBorder(p, px, py, true));
            }
            // The hit projects back onto the grid point.
            vector3<double> win;
            ASSERT_TRUE(view.core().project(hit.point, &win));
            EXPECT_NEAR(win.x, w.x, 1e-6);
            EXPECT_NEAR(ch - win.y, w.y, 1e-6);
            // So does the point bound to it, unless the edit point dropped a
            // weight below its minimum (it then lies on the triangle's edge).
            ASSERT_TRUE(view.Coord2Dto3D(w, out));
            ASSERT_NE(out.extra, -1);
            EXPECT_EQ(out.extra.data().tri, hit.triangle);
            EXPECT_EQ(out.projFlag, 1);
            if (std::min({hit.bary.x, hit.bary.y, hit.bary.z}) >= extrapoint::bariCoordMinValue) {
                generalpoint3 again = out;
                again.projStamp = -1;
                view.Coord3Dto2D(again, VisibilityAlways);
                EXPECT_NEAR(again.projX, w.x, 1e-6);
                EXPECT_NEAR(again.projY, w.y, 1e-6);
            }
        }
    EXPECT_GT(hits, 200);
    EXPECT_GT(misses, 200);
    EXPECT_LT(bordered, 40);
    RecordProperty("edge crossings", edges);
}

TEST(GLCore, PicksBindTheWorkingPointAgainAndRefuseAVertexPoint) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    v.render3D();
    views::HeadRenderCore& view = *v.head3d;
    const vector2<double> centre(512.5, 384.5), beside(530.5, 400.5);
    generalpoint3& work = working_generalpoint3();
    ASSERT_TRUE(view.Coord2Dto3D(centre, work));
    const Index<extrapoint> first = work.extra;
    ASSERT_NE(first, -1);
    // The second pick on the same scratch point moves its edit point.
    ASSERT_TRUE(view.Coord2Dto3D(beside, work));
    EXPECT_EQ(work.extra, first);
    EXPECT_NEAR(work.projX, beside.x, 0.5);
    EXPECT_NEAR(work.projY, beside.y, 0.5);
    // The same in the overlay view.
    ASSERT_TRUE(v.overlay->Coord2Dto3D(centre, work));

    // A point on a vertex is refused and left as it was.
    int k = v.head().vertices.first();
    while (v.head().vertices[k].triangles.count() == 0) k = v.head().vertices.nextOf(k);
    generalpoint3 fixed = AtVertex(k);
    fixed.projX = 11, fixed.projY = 12, fixed.projStamp = 5, fixed.projFlag = 1;
    EXPECT_FALSE(view.Coord2Dto3D(centre, fixed));
    EXPECT_EQ(fixed.vtx, k);
    EXPECT_EQ(fixed.extra, -1);
    EXPECT_EQ(fixed.projX, 11);
    EXPECT_EQ(fixed.projY, 12);
    EXPECT_EQ(fixed.projStamp, 5);
}

TEST(GLCore, VisibilityModes) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    v.render3D();
    views::HeadRenderCore& view = *v.head3d;
    // The head point under the client centre, and a point straight behind it.
    SurfaceHit hit;
    ASSERT_TRUE(view.castRay({512.5, 384.5}, &hit));
    const vector3<double> dir = (hit.point - view.core().eye()).normalized();
    struct Case {
        const char* name;
        vector3<double> p;
        int mode;
        bool visible;
    };
    const Case cases[] = {
        {"surface, ray", hit.point, 3, true},
        {"behind, ray", hit.point + dir * 10.0, 3, false},
        {"behind, default", hit.point + dir * 10.0, 0, false},
        {"behind, normal mode", hit.point + dir * 10.0, 2, false},
        {"behind, no test", hit.point + dir * 10.0, 1, true},
        {"beside the head, ray misses", {500, 0, 0}, 3, true},
    };
    for (const Case& c : cases) {
        generalpoint3 g;
        g.extra = Index<extrapoint>::current().add();
        g.extra.data().position = c.p;  // no triangle: the ray decides
        EXPECT_EQ(view.Coord3Dto2D(g, c.mode), c.visible) << c.name;
        EXPECT_EQ(v.overlay->Coord3Dto2D(g, c.mode), c.visible) << c.name << " (overlay)";
    }
    // A vertex facing away from the camera: hidden by its normal in mode 2.
    head3& h = v.head();
    int back = -1;
    for (int k = h.vertices.first(); k != -1 && back == -1; k = h.vertices.nextOf(k))
        if (h.vertices[k].triangles.count() && normalvector(k) * (view.core().eye() - h.vertices[k].position) < -0.5 *
                                                   (view.core().eye() - h.vertices[k].position).length())
            back = k;
    ASSERT_NE(back, -1);
    generalpoint3 g = AtVertex(back);
    EXPECT_FALSE(view.Coord3Dto2D(g, 2));
    g.projStamp = -1;
    EXPECT_TRUE(view.Coord3Dto2D(g, 1));
}

TEST(GLCore, ProjectionCacheFollowsFramesAndViews) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    views::HeadRenderCore& view = *v.head3d;
    v.render3D();
    generalpoint3 g = AtVertex(v.head().vertices.first());
    const long before = view.projectionsComputed();
    view.Coord3Dto2D(g, 1);
    view.Coord3Dto2D(g, 1);
    view.Coord3Dto2D(g, 3);
    EXPECT_EQ(view.projectionsComputed(), before + 1);
    v.render3D();
    view.Coord3Dto2D(g, 1);
    EXPECT_EQ(view.projectionsComputed(), before + 2);

    // The two views see the head from different cameras: after the
    // overlay renders, the 3D view projects with its own.
    v.overlay->core().setCamera({80, 10, 260}, {0, 0, 0}, {0, 1, 0}, 30);
    generalpoint3 p = AtVertex(v.head().vertices.first());
    view.Coord3Dto2D(p, 1);
    const double x3D = p.projX, y3D = p.projY;
    v.renderOverlay();
    v.overlay->Coord3Dto2D(p, 1);
    EXPECT_GT(std::fabs(p.projX - x3D) + std::fabs(p.projY - y3D), 5.0);
    view.Coord3Dto2D(p, 1);
    EXPECT_DOUBLE_EQ(p.projX, x3D);
    EXPECT_DOUBLE_EQ(p.projY, y3D);
    // A pick in the 3D view binds where the 3D view sees the head.
    generalpoint3 picked;
    ASSERT_TRUE(view.Coord2Dto3D({x3D, y3D}, picked));
    EXPECT_NEAR(picked.projX, x3D, 1e-6);
    EXPECT_NEAR(picked.projY, y3D, 1e-6);

    // A switched-off counter knows nothing.
    generalpoint3::ProjCounter = -1;
    generalpoint3 off = AtVertex(v.head().vertices.first());
    EXPECT_FALSE(view.Coord3Dto2D(off, 1));
    EXPECT_EQ(off.projStamp, -1);
    generalpoint3::ProjCounter = 1;
}

TEST(GLCore, MouseMovesToHeadUnits) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    views::HeadRenderCore& view = *v.head3d;
    struct Case {
        int dx, dy;
        vector3<double> expected;
    };
    const Case cases[] = {{7, 0, {0, 0, 0}}, {-7, 7, {0, 0, 0}}, {16, 0, {-2, 0, 0}}, {0, -16, {0, -2, 0}},
                          {-17, 24, {2, 3, 0}}};
    for (const Case& c : cases) {
        vector3<double> d = view.Vector2Dto3D(c.dx, c.dy, 0);
        EXPECT_LT(dist(d, c.expected), 1e-12) << c.dx << ", " << c.dy;
    }
    // Turned with the head: a yaw of a quarter turn sends x into z.
    view.yaw = M_PI / 2;
    vector3<double> d = view.Vector2Dto3D(16, 0, 0);
    EXPECT_NEAR(d.length(), 2.0, 1e-12);
    EXPECT_NEAR(std::fabs(d.z), 2.0, 1e-12);
}

TEST(GLCore, BackgroundIsTheClearColourFromTheFirstFrame) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    // The first frame of each view: corners show the clear colour.
    Picture p3 = v.render3D();
    Picture po = v.renderOverlay(false);
    for (auto [x, y] : {std::pair{0, 0}, {1023, 0}, {0, 767}, {1023, 767}}) {
        EXPECT_EQ(p3.at(x, y), kWhite);
        EXPECT_EQ(po.at(x, y), kOverlayGrey);
    }
    // Without the head the overlay is the clear colour everywhere.
    EXPECT_EQ(std::count(po.pixels.begin(), po.pixels.end(), kOverlayGrey), long(po.pixels.size()));
    Picture withHead = v.renderOverlay(true);
    viewtest::Save(withHead, "template_overlay");
    EXPECT_LT(std::count(withHead.pixels.begin(), withHead.pixels.end(), kOverlayGrey), long(po.pixels.size()) * 95 / 100);
}

TEST(GLCore, EmptyClientRendersNothingAndKeepsItsBuffers) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v));
    views::HeadRenderCore& view = *v.head3d;
    view.OnSize(1024, 768);
    v.render3D();
    const int width = view.context()->framebuffer().width();
    const GLViewport vp = view.core().viewport();
    const double zoom = view.core().zoom();
    view.OnSize(1024, 0);
    Picture untouched(1024, 768, 0x00ABCDEFu);
    EXPECT_FALSE(view.DrawScene(untouched.rows(), nullptr));
    EXPECT_EQ(std::count(untouched.pixels.begin(), untouched.pixels.end(), 0x00ABCDEFu), 1024L * 768);
    EXPECT_EQ(view.context()->framebuffer().width(), width);
    // Shown again at the same size: zoom and pan as before.
    view.OnSize(1024, 768);
    EXPECT_EQ(view.core().viewport(), vp);
    EXPECT_DOUBLE_EQ(view.core().zoom(), zoom);
    // A destination smaller than the client takes only what fits; the
    // framebuffer follows the client.
    view.OnSize(640, 480);
    Picture small(300, 200, 0x00ABCDEFu);
    EXPECT_TRUE(view.DrawScene(small.rows(), nullptr));
    EXPECT_EQ(view.context()->framebuffer().width(), 640);
    EXPECT_EQ(view.context()->framebuffer().height(), 480);
    EXPECT_EQ(small.at(0, 0), kWhite);
    EXPECT_EQ(std::count(small.pixels.begin(), small.pixels.end(), 0x00ABCDEFu), 0);
}

}  // namespace
