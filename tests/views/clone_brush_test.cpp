// The clone brush in the 3D view on the textured head (stage 2500), brush
// size 20 at transparency 0: the source picked by the first click or with
// Shift, dabs painted only within their squares and the upper half of the
// texture, each dab's centre the source texel; transparency 100, the lower
// half and a missing texture; the mirror flag; the photo view as the
// source; and the upload that a fresh view's render agrees with.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "dialogs/dlgbrushselect.h"
#include "model/brush.h"
#include "tests/support/model_invariants.h"
#include "tests/views/view_host.h"

namespace {

using viewtest::Picture;

class CloneBrushTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
        std::string why;
        ASSERT_TRUE(TexturedScene("logo:", &why)) << why;
        ShowAlone(View3D());
        Paint(View3D());
        palette_ = new CDlgBrushSelect;
        palette_->sliders.size = 20;
        palette_->sliders.transparency = 0;
        palette_->SetBrush();
        Frame().m_dlgBrushSelect = palette_;
        Tool(0, 4);
    }
    head3& Head() { return *Doc().kernel3D->head; }
    TextureImage& Texture() { return *Head().texture; }
    HWND Wnd() { return View3D().m_hWnd; }
    void Tool(int tool, int mode) { driver.Run([&] { Frame().tool = tool, Frame().toolMode = mode; }); }
    int Beeps() { return int(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size()); }
    // The texel under a client pixel as the view finds it; false off the head.
    bool Texel(CPoint p, int* u, int* v) {
        SurfaceHit hit;
        if (!View3D().core().castRay(vector2<double>(p.x, p.y), &hit)) return false;
        Coord3DToTextureCoord(Texture(), hit.triangle, extrapoint::cleanedWeights(hit.bary), *u, *v);
        return true;
    }
    // A client pixel near `from` (scanning right and down) whose texel lies
    // in the painted (upper == true) or unpainted half.
    CPoint Find(CPoint from, bool upper) {
        for (int dy = 0; dy < 300; dy += 4)
            for (int dx = 0; dx < 200; dx += 4) {
                int u = 0, v = 0;
                const CPoint p(from.x + dx, from.y + dy);
                if (Texel(p, &u, &v) && (v <= Texture().height / 2) == upper && v > 30 &&
                    v < Texture().height - 30 && u > 30 && u < Texture().width - 30)
                    return p;
            }
        ADD_FAILURE() << "no such point";
        return from;
    }
    uint32_t TexelAt(const std::vector<unsigned char>& rgb, int x, int y) {
        const size_t k = 3 * (size_t(x) + size_t(Texture().width) * y);
        return (uint32_t(rgb[k]) << 16) | (uint32_t(rgb[k + 1]) << 8) | rgb[k + 2];
    }
    // The brush's blend of a source texel over a destination texel: what
    // the old texel keeps is the mask's weight.
    static uint32_t Blend(uint32_t old, uint32_t src, float m) {
        uint32_t out = 0;
        for (int shift : {16, 8, 0}) {
            const int o = int((old >> shift) & 0xFF), n = int((src >> shift) & 0xFF);
            out |= uint32_t((unsigned char)(int)(o * m + (1.0f - m) * n)) << shift;
        }
        return out;
    }
    CDlgBrushSelect* palette_ = nullptr;
};

TEST_F(CloneBrushTest, SourceThenStrokeWithinTheDabSquares) {
    const CSize c = ClientOf(View3D());
    const CPoint source = Find(CPoint(c.cx / 2 - 120, c.cy / 2 - 250), true);
    const std::vector<unsigned char> start = Texture().rgb;
    driver.Click(Wnd(), source);
    EXPECT_EQ(View3D().cloneState, 0);
    EXPECT_EQ(Texture().rgb, start);
    const float centre = palette_->brush[palette_->brush.size / 2][palette_->brush.size / 2];
    EXPECT_LT(centre, 0.1f);

    // A stroke 100 pixels to the right of the source.
    const CPoint press(source.x + 100, source.y);
    int u = 0, v = 0;
    ASSERT_TRUE(Texel(press, &u, &v));
    struct Dab {
        int u, v;
    };
    std::vector<Dab> dabs;
    std::vector<unsigned char> before = Texture().rgb;
    driver.MouseDown(Wnd(), press);
    EXPECT_EQ(View3D().cloneState, 1);
    auto checkDab = [&] {
        const generalpoint3& w = working_generalpoint3();
        int du = 0, dv = 0;
        Coord3DToTextureCoord(Texture(), w.extra.data().tri, w.extra.data().local, du, dv);
        dabs.push_back({du, dv});
        const vector2<double> s = View3D().cloneLastPainted;
        if (dv <= Texture().height / 2 - 1) {
            EXPECT_EQ(TexelAt(Texture().rgb, du, dv),
                      Blend(TexelAt(before, du, dv), TexelAt(before, int(s.x), int(s.y)), centre));
        }
        before = Texture().rgb;
    };
    checkDab();
    for (int k = 1; k <= 4; ++k) {
        driver.MouseMove(Wnd(), CPoint(press.x + 3 * k, press.y + 2 * k));
        checkDab();
    }
    driver.MouseUp(Wnd(), CPoint(press.x + 12, press.y + 8));
    // Every changed texel lies within a dab's square and in the upper half.
    int changed = 0;
    for (int y = 0; y < Texture().height; ++y)
        for (int x = 0; x < Texture().width; ++x) {
            if (TexelAt(Texture().rgb, x, y) == TexelAt(start, x, y)) continue;
            ++changed;
            bool inside = false;
            for (const Dab& d : dabs) inside = inside || (std::abs(x - d.u) <= 20 && std::abs(y - d.v) <= 20);
            EXPECT_TRUE(inside) << x << "," << y;
            EXPECT_LE(y, Texture().height / 2);
        }
    EXPECT_GT(changed, 0);

    // The view shows the new texture: its frame equals a fresh view's render.
    View3D().featureDisplay = false;
    View3D().active = false;
    Tool(1, 0);
    // A section keeps the viewport in whole pixels: the view takes its own
    // first, so that the fresh view's camera is exactly the view's.
    View3D().ApplySection(View3D().Section());
    Paint(View3D());
    const Picture shown = Grab(View3D());
    views::HeadRenderCore fresh(View3D());
    ASSERT_TRUE(fresh.OnCreate());
    fresh.OnSize(shown.width, shown.height);
    fresh.applySection(View3D().core().section());
    fresh.InitializeModelForOpenGL(*Doc().kernel3D, false, false, Doc().stage);
    ASSERT_TRUE(fresh.UploadTexture(*Doc().kernel3D));
    Picture rendered(shown.width, shown.height);
    ASSERT_TRUE(fresh.DrawScene(rendered.rows(), &Doc().kernel2D->photo));
    int differ = 0;
    for (size_t k = 0; k < shown.pixels.size(); ++k) differ += shown.pixels[k] != rendered.pixels[k];
    EXPECT_EQ(differ, 0);
    fresh.OnDestroy();
}

TEST_F(CloneBrushTest, NothingPaintedWhereThePartSaysNothing) {
    const CSize c = ClientOf(View3D());
    const CPoint source = Find(CPoint(c.cx / 2 - 120, c.cy / 2 - 250), true);
    driver.Click(Wnd(), source);
    const std::vector<unsigned char> start = Texture().rgb;
    // Transparency 100: the brush keeps every texel.
    palette_->sliders.transparency = 100;
    driver.Drag(Wnd(), CPoint(source.x + 100, source.y), CPoint(source.x + 110, source.y + 6), 3);
    EXPECT_EQ(Texture().rgb, start);
    palette_->sliders.transparency = 0;
    // A click on the lower half of the texture does nothing.
    const CPoint lower = Find(CPoint(c.cx / 2 - 100, c.cy / 2 - 100), false);
    const int state = View3D().cloneState;
    driver.Click(Wnd(), lower);
    EXPECT_EQ(Texture().rgb, start);
    EXPECT_EQ(View3D().cloneState, state);
    // Shift picks the source again.
    driver.Click(Wnd(), CPoint(source.x + 10, source.y), 0, MK_SHIFT);
    EXPECT_EQ(View3D().cloneState, 0);
    EXPECT_EQ(Texture().rgb, start);
    // Without a texture: a beep, nothing set.
    std::unique_ptr<TextureImage> kept = std::move(Head().texture);
    View3D().cloneState = -1;
    const int beeps = Beeps();
    driver.Click(Wnd(), source);
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_EQ(View3D().cloneState, -1);
    Head().texture = std::move(kept);
}

TEST_F(CloneBrushTest, TheMirrorFlagPaintsTheOtherSideToo) {
    const CSize c = ClientOf(View3D());
    const CPoint source = Find(CPoint(c.cx / 2 - 120, c.cy / 2 - 250), true);
    driver.Click(Wnd(), source);
    const std::vector<unsigned char> start = Texture().rgb;
    const CPoint press(source.x + 60, source.y);
    int u = 0, v = 0;
    ASSERT_TRUE(Texel(press, &u, &v));
    Doc().mirrorTool = 1;
    driver.Click(Wnd(), press);
    Doc().mirrorTool = 0;
    int near = 0, far = 0;
    for (int y = 0; y < Texture().height; ++y)
        for (int x = 0; x < Texture().width; ++x)
            if (TexelAt(Texture().rgb, x, y) != TexelAt(start, x, y))
                (std::abs(x - u) <= 20 && std::abs(y - v) <= 20 ? near : far)++;
    EXPECT_GT(near, 0);
    EXPECT_GT(far, 0);
}

TEST_F(CloneBrushTest, SourceInThePhotoView) {
    ShowFour(512, 384);
    CViewOrigPhoto& photo = OrigPhoto();
    Paint(photo);
    driver.Click(photo.m_hWnd, CPoint(100, 100));  // activates
    driver.Click(photo.m_hWnd, CPoint(200, 150), 0, MK_SHIFT);
    ASSERT_EQ(View3D().cloneState, 0);
    ASSERT_EQ(View3D().cloneSourceView, &photo);
    Paint(View3D());
    const CSize c = ClientOf(View3D());
    const CPoint press = Find(CPoint(c.cx / 2 - 60, c.cy / 2 - 150), true);
    driver.Click(Wnd(), press);  // activates
    const std::vector<unsigned char> start = Texture().rgb;
    int u = 0, v = 0;
    ASSERT_TRUE(Texel(press, &u, &v));
    driver.Click(Wnd(), press);
    ASSERT_EQ(View3D().cloneState, 1);
    const int h = Texture().height;
    const int sx = int(u - View3D().cloneOffsets[0]), sy = int((h / 2 - v) - View3D().cloneOffsets[1]);
    EXPECT_EQ(View3D().cloneLastPainted, vector2<double>(sx, sy));
    EXPECT_EQ(sx, int(View3D().cloneSource.x));
    EXPECT_EQ(sy, int(View3D().cloneSource.y));
    if (v <= h / 2 - 1) {
        const CPixel32 p = View3D().clonePhoto.GetPixel(sx, sy);
        const float centre = palette_->brush[palette_->brush.size / 2][palette_->brush.size / 2];
        EXPECT_EQ(TexelAt(Texture().rgb, u, v),
                  Blend(TexelAt(start, u, v), (uint32_t(p.GetR()) << 16) | (uint32_t(p.GetG()) << 8) | p.GetB(),
                        centre));
    }
    EXPECT_NE(Texture().rgb, start);

    // The photo view's cross follows the sample point of each dab.
    driver.MouseDown(Wnd(), press);
    const Picture before = Grab(photo);
    const CPoint to(press.x + 24, press.y + 10);
    int u2 = 0, v2 = 0;
    ASSERT_TRUE(Texel(to, &u2, &v2));
    driver.MouseMove(Wnd(), to);
    const vector2<double> s2(int(u2 - View3D().cloneOffsets[0]), int((h / 2 - v2) - View3D().cloneOffsets[1]));
    EXPECT_EQ(View3D().cloneLastPainted, s2);
    const CWinBmp& work = Doc().kernel2D->photo;
    const CPoint cross(int(work.GetWidth() * s2.x / View3D().clonePhoto.GetWidth() * photo.map.zoom + photo.map.offsetX),
                   int(work.GetHeight() * s2.y / View3D().clonePhoto.GetHeight() * photo.map.zoom + photo.map.offsetY));
    EXPECT_EQ(photo.lastRubber, cross);
    const Picture after = Grab(photo);
    // An arm of the new cross: the picture inverted there.
    const CPoint arm(cross.x + 15, cross.y);
    if (arm.x < after.width && arm.y < after.height && arm.x >= 0 && arm.y >= 0) {
        EXPECT_EQ(after.at(arm.x, arm.y), ~before.at(arm.x, arm.y) & 0xFFFFFFu);
    }
    driver.MouseUp(Wnd(), to);
}

}  // namespace
