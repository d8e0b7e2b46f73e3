// The brush palette's slider rules for textures of every size (and none),
// its mask preview, and "Load Other" of the clone source.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "framework/paths.h"
#include "picture/picencoder.h"
#include "picture/winbmp.h"
#include "tests/picture/picture_magick.h"
#include "views/brush_palette.h"

namespace {

using palette::BrushPaletteStart;

TEST(BrushPalette, SlidersForTheTextureSize) {
    struct Case {
        int texture;  // 0: none
        int w, scale, size, sizeMax, tick;
    };
    const Case cases[] = {
        {512, 512, 1, 10, 20, 5},  {1024, 1024, 2, 20, 40, 10}, {4096, 4096, 8, 80, 160, 40},
        {0, 512, 1, 10, 20, 5},    {4, 4, 1, 2, 2, 1},           {256, 256, 1, 5, 10, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.texture);
        TextureImage t;
        t.width = t.height = c.texture;
        const palette::BrushSliders s = BrushPaletteStart(c.texture ? &t : nullptr);
        EXPECT_EQ(s.textureSize, c.w);
        EXPECT_EQ(s.scale, c.scale);
        EXPECT_EQ(s.size, c.size);
        EXPECT_EQ(s.sizeMin, 1);
        EXPECT_EQ(s.sizeMax, c.sizeMax);
        EXPECT_EQ(s.sizeTick, c.tick);
        EXPECT_EQ(s.transparency, 50);
        EXPECT_EQ(s.transparencyMax, 100);
        EXPECT_EQ(s.transparencyTick, 25);
        EXPECT_FLOAT_EQ(s.strength, 0.5f);
    }
    EXPECT_EQ(palette::BrushSizeOf(7), 6);
    EXPECT_EQ(palette::BrushSizeOf(8), 8);
    EXPECT_EQ(palette::BrushSizeOf(1), 0);
    EXPECT_FLOAT_EQ(palette::StrengthOf(0), 1.0f);
    EXPECT_FLOAT_EQ(palette::StrengthOf(100), 0.0f);
    EXPECT_FLOAT_EQ(palette::StrengthOf(25), 0.75f);
    EXPECT_EQ(palette::PreviewFrameGrey(100), 255);
    EXPECT_EQ(palette::PreviewFrameGrey(50), 127);
    EXPECT_EQ(palette::PreviewFrameGrey(0), 0);
}

// The preview shows the whole mask of 2 x size texels, one pixel per
// `scale` texels, centred.
TEST(BrushPalette, PreviewSamplesTheWholeMaskCentred) {
    for (int scale : {1, 2, 8}) {
        SCOPED_TRACE(scale);
        const int size = 10 * scale;
        CBrush2 brush;
        brush.Set(2 * size, 0.8f, RGBColor(), true);
        const std::vector<palette::PreviewPixel> px = palette::BrushPreviewPixels(brush, size, scale, 90, 120);
        const int n = 2 * size / scale;
        ASSERT_EQ(px.size(), size_t(n) * n);
        int minX = 1 << 20, maxX = -1, minY = 1 << 20, maxY = -1;
        for (const palette::PreviewPixel& p : px) {
            const int i = p.x - (90 / 2 - size / scale), j = p.y - (120 / 2 - size / scale);
            ASSERT_GE(i, 0);
            ASSERT_GE(j, 0);
            ASSERT_EQ(p.grey, int(brush[scale * i][scale * j] * 255)) << i << " " << j;
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
        EXPECT_EQ(minX + maxX + 1, 90);
        EXPECT_EQ(minY + maxY + 1, 120);
        // The mask's far corner is in: the whole mask, not a quarter of it.
        EXPECT_EQ(maxX - minX + 1, n);
        // The soft rim shows at both ends, the hard centre in the middle.
        EXPECT_LT(px[size_t(n / 2) * n + n / 2].grey, px[size_t(n / 2) * n + 1].grey);
    }
    CBrush2 none;
    EXPECT_TRUE(palette::BrushPreviewPixels(none, 10, 1, 50, 50).empty());
}

class CloneSource : public ::testing::Test {
protected:
    std::string write(const std::string& name, int w, int h) {
        CWinBmp bmp;
        bmp.Create(w, h, 32, false);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) bmp.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), 90, 255));
        const std::string path = magick::TempPath(name);
        CBmpEncoder().MakeFileFromBmp(path.c_str(), &bmp);
        files.push_back(path);
        return path;
    }
    void TearDown() override {
        for (const std::string& f : files) std::remove(f.c_str());
    }
    std::vector<std::string> files;
};

TEST_F(CloneSource, OtherPictureTakesTheSourceAspect) {
    // A JPEG of 600 x 800 over a photo of 1024 x 768.
    const std::string jpeg = magick::TempPath("clone_other_600x800.jpg");
    magick::Run("/usr/bin/convert -size 600x800 gradient:red-blue '" + jpeg + "'");
    files.push_back(jpeg);
    CWinBmp source;
    source.Create(1024, 768, 32, false);
    ASSERT_TRUE(palette::LoadCloneSource(jpeg, source));
    EXPECT_EQ(source.GetWidth(), 1024);
    EXPECT_EQ(source.GetHeight(), 768);
    EXPECT_EQ(source.GetBitsPerPixel(), 32);
    // Red at the top, blue at the bottom, stretched.
    EXPECT_GT(source.GetPixel(512, 2).GetR(), 240);
    EXPECT_GT(source.GetPixel(512, 765).GetB(), 240);
    // A source without height takes the picture's own aspect.
    CWinBmp empty;
    empty.Create(0, 0, 32, false);
    ASSERT_TRUE(palette::LoadCloneSource(write("clone_other_400x300.bmp", 400, 300), empty));
    EXPECT_EQ(empty.GetWidth(), 1024);
    EXPECT_EQ(empty.GetHeight(), 768);
    // A file that does not decode leaves the source as it was.
    const std::string broken = magick::TempPath("clone_other_broken.jpg");
    std::ofstream(broken, std::ios::binary) << "\xff\xd8\xff\xe0 not a picture";
    files.push_back(broken);
    CWinBmp kept;
    kept.Create(640, 480, 32, false);
    kept.SetPixel(3, 4, CPixel32(1, 2, 3, 4));
    EXPECT_FALSE(palette::LoadCloneSource(broken, kept));
    EXPECT_FALSE(palette::LoadCloneSource(brv::TempDirectory() + "clone_other_missing.bmp", kept));
    EXPECT_EQ(kept.GetWidth(), 640);
    EXPECT_EQ(kept.GetPixel(3, 4), CPixel32(1, 2, 3, 4));
}

}  // namespace
