// Off-screen OpenGL: contexts, framebuffers, the read-back into surface
// rows, and the views without GL.

#include "tests/views/view_fixtures.h"

namespace {

using viewtest::Picture;

std::unique_ptr<offscreen::Context> refuse(std::string* error) {
    *error = offscreen::eglErrorName(0x3003);  // EGL_BAD_ALLOC
    return nullptr;
}

TEST(Offscreen, FramebufferReadBackIntoStridedRows) {
    std::unique_ptr<offscreen::Context> c = offscreen::createContext();
    ASSERT_TRUE(c);
    EXPECT_GE(c->maxViewportWidth(), 4096);
    EXPECT_GE(c->maxRenderbufferSize(), 4096);
    offscreen::ContextGuard g(c.get());
    ASSERT_TRUE(g.ok());
    offscreen::Framebuffer& fb = c->framebuffer();
    ASSERT_TRUE(fb.resize(37, 23));
    // Colour the bottom GL row red and the rest blue: the bottom row read
    // back is the destination's last row.
    glViewport(0, 0, 37, 23);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 37, 1);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(5, 0, 1, 23);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    // A destination wider than the framebuffer, with a stride beyond its
    // width: nothing past the framebuffer's columns is written.
    std::vector<uint32_t> surface(size_t(50) * 30, 0x00777777u);
    offscreen::PixelRows rows{surface.data(), 45, 30, 50};
    int w = 0, h = 0;
    ASSERT_TRUE(fb.readInto(rows, 37, 23, &w, &h));
    EXPECT_EQ(w, 37);
    EXPECT_EQ(h, 23);
    EXPECT_EQ(surface[0], 0x000000FFu);
    EXPECT_EQ(surface[size_t(22) * 50 + 0], 0x00FF0000u);
    EXPECT_EQ(surface[size_t(10) * 50 + 5], 0x0000FF00u);
    EXPECT_EQ(surface[size_t(22) * 50 + 36], 0x00FF0000u);
    EXPECT_EQ(surface[size_t(22) * 50 + 37], 0x00777777u);
    EXPECT_EQ(surface[size_t(23) * 50 + 0], 0x00777777u);
    // A destination of fewer rows takes the client's top rows.
    std::vector<uint32_t> top(size_t(37) * 4, 0);
    ASSERT_TRUE(fb.readInto({top.data(), 37, 4, 37}, 37, 23, &w, &h));
    EXPECT_EQ(h, 4);
    EXPECT_EQ(top[0], 0x000000FFu);
    EXPECT_EQ(top[size_t(3) * 37 + 5], 0x0000FF00u);
    // An empty size keeps the buffers; the same size is not made anew.
    EXPECT_FALSE(fb.resize(0, 10));
    EXPECT_EQ(fb.width(), 37);
    EXPECT_TRUE(fb.resize(37, 23));
    EXPECT_EQ(fb.height(), 23);
    // Larger than GL allows: capped.
    ASSERT_TRUE(fb.resize(c->maxRenderbufferSize() + 100, 8));
    EXPECT_EQ(fb.width(), c->maxRenderbufferSize());
}

TEST(Offscreen, GuardsNestAndPutBackTheOtherContext) {
    std::unique_ptr<offscreen::Context> a = offscreen::createContext(), b = offscreen::createContext();
    ASSERT_TRUE(a && b);
    {
        offscreen::ContextGuard ga(a.get());
        ASSERT_TRUE(a->isCurrent());
        {
            offscreen::ContextGuard gb(b.get());
            EXPECT_TRUE(b->isCurrent());
        }
        EXPECT_TRUE(a->isCurrent());
    }
    offscreen::ContextGuard none(nullptr);
    EXPECT_FALSE(none.ok());
}

TEST(Offscreen, WithoutGLTheViewsShowTheirBackgroundAndTheRestWorks) {
    viewtest::Views v;
    ASSERT_TRUE(v.run.loadTemplate());
    offscreen::resetForTests();
    offscreen::setContextFactory(refuse);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(v.overlay->OnCreate());
    EXPECT_FALSE(v.head3d->OnCreate());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "Off-screen OpenGL unavailable: EGL_BAD_ALLOC\n");
    EXPECT_FALSE(v.head3d->hasGL());
    EXPECT_EQ(v.head3d->maxViewportWidth(), offscreen::kDefaultMaxViewport);

    v.fit(640, 480, 640, 480);
    v.buildLists(1000);  // no lists without GL; the octree is built
    Picture p3 = v.render3D();
    Picture po = v.renderOverlay();
    EXPECT_EQ(std::count(p3.pixels.begin(), p3.pixels.end(), 0xFFFFFFu), 640L * 480);
    EXPECT_EQ(std::count(po.pixels.begin(), po.pixels.end(), 0xD4D0C8u), 640L * 480);
    // Projection and picking need no context.
    generalpoint3 g;
    g.vtx = v.head().vertices.first();
    v.head3d->Coord3Dto2D(g, 1);
    EXPECT_EQ(g.projStamp, generalpoint3::ProjCounter);
    EXPECT_TRUE(v.head3d->Coord2Dto3DTest({320.5, 240.5}));
    CWinBmp bmp;
    bmp.Create(64, 48, 32, false);
    EXPECT_FALSE(v.head3d->MakeWinBmp(bmp, *v.run.heads, 1000));
    const std::string path = viewtest::Scratch("nogl.bmp");
    EXPECT_FALSE(v.head3d->MakePhoto(path, *v.run.heads, 1000));
    EXPECT_FALSE(std::filesystem::exists(path));
    // The message comes once in the process.
    testing::internal::CaptureStderr();
    views::OverlayRenderCore another;
    EXPECT_FALSE(another.OnCreate());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

}  // namespace
