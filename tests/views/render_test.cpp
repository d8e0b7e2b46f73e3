// What the GL views show: the lit, textured and merged heads over photos
// that ImageMagick makes, the overlay's blend with the photo, and the
// off-screen picture written as a file.

#include "tests/views/view_fixtures.h"

#include <algorithm>

namespace {

using viewtest::Picture;
using viewtest::Views;

constexpr uint32_t kWhite = 0xFFFFFFu;

// The working photo scaled as the merged displays scale it, computed here
// with the picture library's bilinear resize.
struct Scaled {
    CWinBmp bmp;
    int x0 = 0, y0 = 0;
    Scaled(const CWinBmp& photo, int cw, int ch) {
        const int pw = photo.GetWidth(), ph = photo.GetHeight();
        const double m = std::min(double(cw + 1) / pw, double(ch + 1) / ph);
        bmp.CreateCopy(photo, 32);
        bmp.ResizeBilinear(int(pw * m), int(ph * m));
        x0 = int((cw + 1 - bmp.GetWidth()) / 2.0);
        y0 = int((ch + 1 - bmp.GetHeight()) / 2.0);
    }
    bool covers(int i, int n, bool strict) const {
        const int lo = strict ? 1 : 0;
        return i - x0 >= lo && n - y0 >= lo && i - x0 < bmp.GetWidth() && n - y0 < bmp.GetHeight();
    }
    uint32_t at(int i, int n) const { return viewtest::Rgb(bmp.GetPixel(i - x0, n - y0)); }
};

TEST(Render, MergedPixels) {
    struct Case {
        uint32_t photo, rendered, expected;
    };
    const Case cases[] = {
        {0x000000, 0x000000, 0x000000},
        {0xFFFFFF, 0x000000, 0x3F3F3F},              // (255 + 0) / 4
        {0x102030, 0x405060, 0x344454},              // (16 + 192) / 4 = 52, (32 + 240) / 4, (48 + 288) / 4
        {0x64C8FF, kWhite, 0x5CB9EB},                // white: trunc(0.9 P) = 90, 180, 229
        {0xFFFFFF, kWhite, 0xEBEBEB},                // (255 + 3 * 229) / 4
        {0x000000, kWhite, 0x000000},
        {0x0A0B0C, 0xFFFFFE, 0xC1C2C1},              // not white: (10 + 765) / 4, (11 + 765) / 4, (12 + 762) / 4
    };
    for (const Case& c : cases)
        EXPECT_EQ(views::overlayMergedPixel(c.photo, c.rendered), c.expected)
            << std::hex << c.photo << " " << c.rendered;
}

// Fixture (b) on both of ImageMagick's pictures: the four GL pictures,
// mode 6 against mode 1, mode 7's background against the scaled photo, the
// overlay's blend against the plain frame.
TEST(Render, TexturedHeadsOverPhotos) {
    for (const char* builtin : {"logo:", "wizard:"}) {
        SCOPED_TRACE(builtin);
        Views v;
        std::string why;
        ASSERT_TRUE(viewtest::TexturedViews(v, builtin, &why)) << why;
        const std::string name = std::string(builtin).substr(0, std::string(builtin).size() - 1);
        const CWinBmp& photo = v.run.photo->photo;
        views::HeadRenderCore& view = *v.head3d;
        EXPECT_EQ(view.displayMode(), 7);

        view.setDisplayMode(1);
        Picture lit = v.render3D(&photo);
        // Where the head is: the depth buffer of that frame (a lit pixel may
        // be white).
        std::vector<float> depth(size_t(1024) * 768);
        {
            offscreen::ContextGuard g(view.context());
            glReadPixels(0, 0, 1024, 768, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        }
        auto onHead = [&](size_t k) { return depth[(767 - k / 1024) * 1024 + k % 1024] < 1.0f; };
        view.setDisplayMode(6);
        Picture textured = v.render3D(&photo);
        view.setDisplayMode(7);
        Picture merged = v.render3D(&photo);
        Picture overlay = v.renderOverlay(true);
        v.overlay->merged = 1;
        Picture blended = v.renderOverlay(true, &photo);
        v.overlay->merged = 0;
        viewtest::Save(lit, name + "_3d_mode1");
        viewtest::Save(textured, name + "_3d_mode6");
        viewtest::Save(merged, name + "_3d_mode7");
        viewtest::Save(overlay, name + "_overlay");
        viewtest::Save(blended, name + "_overlay_merged");

        // Mode 6 differs from mode 1 only where the head is.
        long head = 0, differ = 0;
        for (size_t k = 0; k < lit.pixels.size(); ++k) {
            const bool inside = onHead(k);
            if (!inside) { ASSERT_EQ(lit.pixels[k], kWhite) << k; }
            head += inside;
            if (lit.pixels[k] != textured.pixels[k]) {
                ++differ;
                ASSERT_TRUE(inside) << k;
            }
        }
        EXPECT_GT(head, 20000);
        EXPECT_GT(differ, head / 2);

        // Mode 7: the clear colour shows the scaled photo where it lies.
        const Scaled s(photo, 1024, 768);
        long shown = 0;
        for (int n = 0; n < 768; ++n)
            for (int i = 0; i < 1024; ++i) {
                const uint32_t t = textured.at(i, n), m = merged.at(i, n);
                if (t != kWhite) {
                    ASSERT_EQ(m, t) << i << ", " << n;
                } else if (s.covers(i, n, false)) {
                    ASSERT_EQ(m, s.at(i, n)) << i << ", " << n;
                    ++shown;
                } else {
                    ASSERT_EQ(m, kWhite) << i << ", " << n;
                }
            }
        EXPECT_GT(shown, 100000);

        // The overlay's blend, pixel for pixel from the plain frame.
        for (int n = 0; n < 768; ++n)
            for (int i = 0; i < 1024; ++i) {
                const uint32_t p = s.covers(i, n, true) ? s.at(i, n) : kWhite;
                ASSERT_EQ(blended.at(i, n), views::overlayMergedPixel(p, overlay.at(i, n))) << i << ", " << n;
            }

        // The fitted head lies on the photo: its visible vertices project
        // inside the photo.
        int inside = 0, visible = 0;
        for (const vector3<double>& p : viewtest::UsedVertices(v.head())) {
            vector2<double> px;
            if (!v.overlay->Coord3Dto2DBMP(p, px)) continue;
            ++visible;
            inside += px.x >= 0 && px.y >= 0 && px.x < photo.GetWidth() && px.y < photo.GetHeight();
        }
        EXPECT_GT(visible, 1000);
        EXPECT_GT(inside, visible * 95 / 100);
    }
}

// In the merged display the photo pixel under a vertex's rendered position
// is the one Coord3Dto2DBMP names. The photo codes its own coordinates:
// red 8x + 4, green 8y + 4 for its pixel (x, y).
TEST(Render, MergedPhotoLiesUnderTheProjectedVertices) {
    Views v;
    ASSERT_TRUE(v.run.loadTemplate());
    ASSERT_TRUE(v.createContexts());
    v.overlay->defaultEyeDistance = 400;
    v.overlay->ClearAllViewSettings();
    const int pw = 32, ph = 24;
    v.fit(1024, 768, pw, ph);
    v.buildLists(1000);
    CWinBmp coded;
    coded.Create(pw, ph, 32, false);
    for (int y = 0; y < ph; ++y)
        for (int x = 0; x < pw; ++x) coded.SetPixel(x, y, CPixel32(uint8_t(8 * x + 4), uint8_t(8 * y + 4), 0, 0));
    Picture plain = v.renderOverlay(true);
    v.overlay->merged = 1;
    Picture blended = v.renderOverlay(true, &coded);
    viewtest::Save(blended, "coded_overlay_merged");
    int checked = 0;
    double worst = 0;
    for (const vector3<double>& p : viewtest::UsedVertices(v.head())) {
        vector2<double> photoAt;
        if (!v.overlay->Coord3Dto2DBMP(p, photoAt)) continue;
        vector3<double> win;
        ASSERT_TRUE(v.overlay->core().project(p, &win));
        const int i = int(std::floor(win.x)), n = int(std::floor(768 - win.y));
        if (i < 1 || n < 1 || i >= 1023 || n >= 767) continue;
        if (photoAt.x < 1 || photoAt.y < 1 || photoAt.x > pw - 1 || photoAt.y > ph - 1) continue;
        // Undo the blend: P = 4M - 3R (to 3 of 256 through the truncations).
        const uint32_t m = blended.at(i, n), r = plain.at(i, n);
        ASSERT_NE(r, kWhite);
        auto channel = [&](int shift) { return 4.0 * ((m >> shift) & 0xFF) - 3.0 * ((r >> shift) & 0xFF); };
        const double x = (channel(16) - 4) / 8, y = (channel(8) - 4) / 8;
        // Pixel k of the photo spans [k, k + 1): its centre is k + 0.5.
        worst = std::max({worst, std::fabs(x + 0.5 - photoAt.x), std::fabs(y + 0.5 - photoAt.y)});
        ++checked;
    }
    EXPECT_GT(checked, 500);
    EXPECT_LT(worst, 1.0);
}

TEST(Render, MakePhotoWritesTheRenderRoundedUpToFours) {
    Views v;
    ASSERT_TRUE(viewtest::TemplateViews(v, 301, 200));
    views::HeadRenderCore& view = *v.head3d;
    Picture shown = v.render3D();
    const std::string path = viewtest::Scratch("photo.bmp"), raw = viewtest::Scratch("photo.rgb");
    ASSERT_TRUE(view.MakePhoto(path, *v.run.heads, 1000));
    EXPECT_NEAR(view.offscreenScale, 204.0 / view.core().viewport().height, 1e-12);
    const std::string size = viewtest::Scratch("size.txt");
    ASSERT_EQ(std::system(("/usr/bin/identify -format '%w %h' " + path + " > " + size).c_str()), 0);
    std::ifstream in(size);
    int w = 0, h = 0;
    in >> w >> h;
    EXPECT_EQ(w, 304);
    EXPECT_EQ(h, 204);
    ASSERT_EQ(std::system(("/usr/bin/convert " + path + " -depth 8 rgb:" + raw).c_str()), 0);
    std::ifstream rf(raw, std::ios::binary);
    std::vector<unsigned char> rgb((std::istreambuf_iterator<char>(rf)), {});
    ASSERT_EQ(rgb.size(), size_t(304) * 204 * 3);
    // The viewport sits on the bitmap's bottom rows, as on the client's;
    // what lies beyond the client is the clear colour.
    long differ = 0;
    for (int y = 0; y < 204; ++y)
        for (int x = 0; x < 304; ++x) {
            const unsigned char* q = &rgb[(size_t(y) * 304 + size_t(x)) * 3];
            const uint32_t got = (uint32_t(q[0]) << 16) | (uint32_t(q[1]) << 8) | q[2];
            const int cy = y - 4;
            const uint32_t want = x < 301 && cy >= 0 ? shown.at(x, cy) : kWhite;
            differ += got != want;
        }
    EXPECT_EQ(differ, 0);
    std::remove(path.c_str());
    std::remove(raw.c_str());
    std::remove(size.c_str());

    // Nowhere to write: false and no file; an empty client: false.
    EXPECT_FALSE(view.MakePhoto("/nonexistent-folder/x.bmp", *v.run.heads, 1000));
    view.OnSize(0, 0);
    EXPECT_FALSE(view.MakePhoto(path, *v.run.heads, 1000));
    EXPECT_FALSE(std::filesystem::exists(path));
    // An empty viewport leaves the bitmap as it was.
    view.OnSize(301, 200);
    view.core().restoreView(GLViewport{}, 0, 0, 1, 0, 0);
    CWinBmp bmp;
    bmp.Create(8, 8, 32, false);
    bmp.SetPixel(3, 3, CPixel32(1, 2, 3, 4));
    EXPECT_FALSE(view.MakeWinBmp(bmp, *v.run.heads, 1000));
    EXPECT_EQ(bmp.GetPixel(3, 3), CPixel32(1, 2, 3, 4));
}

}  // namespace
