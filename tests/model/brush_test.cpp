#include "model/brush.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <utility>

#include "model/topology.h"
#include "picture/winbmp.h"
#include "tests/support/fakes.h"

namespace {

TextureImage makeImage(int w, int h, int colour) {
    TextureImage img;
    img.width = w;
    img.height = h;
    img.rgb.resize(size_t(3) * w * h);
    for (int i = 0; i < w * h; ++i) {
        img.rgb[3 * i] = (unsigned char)redOf(colour);
        img.rgb[3 * i + 1] = (unsigned char)greenOf(colour);
        img.rgb[3 * i + 2] = (unsigned char)blueOf(colour);
    }
    return img;
}

// Every texel distinct: colour from its coordinates.
TextureImage makeGradient(int w, int h) {
    TextureImage img = makeImage(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &img.rgb[3 * (x + w * y)];
            p[0] = (unsigned char)(x * 7);
            p[1] = (unsigned char)(y * 5);
            p[2] = (unsigned char)(x + y);
        }
    return img;
}

int texelAt(const TextureImage& img, int x, int y) {
    const unsigned char* p = &img.rgb[3 * (x + img.width * y)];
    return packColor(p[0], p[1], p[2]);
}

TEST(Brush, OddSizeIsRaisedAndTheDiscIsCentredByIntegerDivision) {
    CBrush2 b;
    EXPECT_EQ(b.size, -1);
    b.Set(7, 1.0f, RGBColor::fromBytes(1, 2, 3), false);
    EXPECT_EQ(b.size, 8);
    ASSERT_EQ(b.rows(), 8);
    ASSERT_EQ(b.cols(), 8);
    // (size + 1) / 2 in integers puts the centre at 4, not 4.5: the disc
    // leans towards low rows and columns.
    const char* expected[8] = {"........", ".######.", ".######.", ".#######",
                               ".######.", ".######.", ".######.", "...##..."};
    for (int r = 0; r < 8; ++r) {
        std::string row;
        for (int c = 0; c < 8; ++c) row += b[r][c] == 0.0f ? '#' : b[r][c] == 1.0f ? '.' : '?';
        EXPECT_EQ(row, expected[r]) << "row " << r;
    }
    EXPECT_EQ(b.colour.packed(), packColor(1, 2, 3));
}

TEST(Brush, FalloffRisesFromCentreToRimAndSmallBrushesStayFinite) {
    CBrush2 b;
    b.Set(10, 0.8f, {}, true);
    // Later rings overwrite earlier cells, so along a radius the weights
    // take the ring values 1 - s + s i / 4 and rise to 1 at the rim.
    EXPECT_NEAR(b[5][5], 0.2f + 0.8f * 1 / 4, 1e-6);
    EXPECT_FLOAT_EQ(b[5][5 + 4], 1.0f);  // ring 4 = size/2 - 1
    for (int c = 5; c < 9; ++c) EXPECT_LE(b[5][c], b[5][c + 1]);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 10; ++c) {
            bool ringValue = false;
            for (int i = 0; i <= 4; ++i) ringValue |= std::fabs(b[r][c] - (0.2f + 0.8f * float(i) / 4)) < 1e-6f;
            EXPECT_TRUE(ringValue || b[r][c] == 1.0f) << r << "," << c;
        }
    // Edge 2: a single ring and no division by zero.
    b.Set(1, 0.5f, {}, true);
    EXPECT_EQ(b.size, 2);
    EXPECT_FLOAT_EQ(b[1][1], 0.5f);
}

TEST(Brush, AssignmentCopiesMaskSizeAndColour) {
    CBrush2 a, b;
    a.Set(6, 0.5f, RGBColor::fromBytes(9, 8, 7), false);
    b = a;
    ASSERT_EQ(b.rows(), 6);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 6; ++c) EXPECT_EQ(b[r][c], a[r][c]);
    EXPECT_EQ(b.size, 6);
    EXPECT_EQ(b.colour.packed(), a.colour.packed());
    b = b;
    EXPECT_EQ(b.size, 6);
    b.Delete();
    EXPECT_EQ(b.size, -1);
    EXPECT_EQ(b.rows(), 6);  // the mask stays
}

TEST(TexturePainter, GetPixelWrapsOnceAndClamps) {
    TextureImage img = makeGradient(8, 6);
    TexturePainter p(&img);
    const struct {
        int x, y, ex, ey;
    } cases[] = {{-1, 0, 7, 0}, {8, 2, 0, 2}, {3, 6, 3, 5}, {3, -4, 3, 0}, {-20, 1, 0, 1}, {30, 1, 7, 1}};
    for (const auto& c : cases) EXPECT_EQ(p.GetPixel(c.x, c.y), texelAt(img, c.ex, c.ey)) << c.x << "," << c.y;
}

TEST(TexturePainter, SetPixelBlendsAndOnceWritesOnlyOnce) {
    TextureImage img = makeImage(4, 4, packColor(100, 200, 50));
    // A copy is the same picture under the same change count, a new
    // texture another; every write moves the count (the 3D view uploads by
    // it), a refused one does not.
    EXPECT_EQ(TextureImage(img).changeCount(), img.changeCount());
    EXPECT_NE(TextureImage().changeCount(), img.changeCount());
    const uint64_t count = img.changeCount();
    TexturePainter p(&img);
    p.SetPixel(1, 1, packColor(0, 0, 250), 0.5f, false);
    EXPECT_EQ(texelAt(img, 1, 1), packColor(50, 100, 150));
    EXPECT_NE(img.changeCount(), count);
    // The painted mask has not been sized: a once write is refused.
    const uint64_t painted = img.changeCount();
    p.SetPixel(2, 2, 0, 0.0f, true);
    EXPECT_EQ(texelAt(img, 2, 2), packColor(100, 200, 50));
    EXPECT_EQ(img.changeCount(), painted);
    p.ResetPainted();
    p.SetPixel(2, 2, 0, 0.0f, true);
    p.SetPixel(2, 2, packColor(255, 255, 255), 0.0f, true);
    EXPECT_EQ(texelAt(img, 2, 2), 0);
    EXPECT_TRUE(p.painted(2, 2));
}

TEST(TexturePainter, CloneWithStrengthZeroChangesNothingAndOneCopiesExactly) {
    const TextureImage original = makeGradient(32, 32);
    {
        TextureImage img = original;
        TexturePainter p(&img);
        p.brush.Set(7, 0.0f, {}, false);
        p.CloneWithBrush(5, 5, 12, 6);
        EXPECT_EQ(img.rgb, original.rgb);
    }
    TextureImage img = original;
    TexturePainter p(&img);
    p.brush.Set(7, 1.0f, {}, false);
    p.CloneWithBrush(5, 5, 12, 6);
    const int h = 4;
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            const int dx = 12 + h - i, dy = 6 + h - j;
            const int want = p.brush[i][j] == 0.0f ? texelAt(original, 5 + h - i, 5 + h - j) : texelAt(original, dx, dy);
            EXPECT_EQ(texelAt(img, dx, dy), want) << i << "," << j;
        }
    // Nothing outside the stamp moved.
    int changed = 0;
    for (size_t k = 0; k < img.rgb.size(); k += 3) changed += img.rgb[k] != original.rgb[k] || img.rgb[k + 1] != original.rgb[k + 1];
    EXPECT_GT(changed, 20);
    EXPECT_LE(changed, 64);
}

TEST(TexturePainter, StampNeverPaintsTheSecondHalfOfTheRows) {
    const TextureImage original = makeGradient(32, 32);
    TextureImage img = original;
    TexturePainter p(&img);
    p.brush.Set(10, 1.0f, {}, false);
    // Destination rows 11..20 straddle row 16 = H/2; the source lies above.
    p.CloneWithBrush(10, 3, 20, 16);
    bool upperChanged = false;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (y >= 16) EXPECT_EQ(texelAt(img, x, y), texelAt(original, x, y)) << x << "," << y;
            else upperChanged |= texelAt(img, x, y) != texelAt(original, x, y);
        }
    EXPECT_TRUE(upperChanged);
}

TEST(TexturePainter, CloneFromPictureReadsRowsUpsideDown) {
    CWinBmp bmp;
    bmp.Create(16, 16, 32, false);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) bmp.SetPixel(x, y, CPixel32((unsigned char)(x * 10), (unsigned char)(y * 10), 3, 0));
    TextureImage img = makeImage(32, 32, 0);
    TexturePainter p(&img);
    p.brush.Set(2, 1.0f, {}, false);  // one cell (1, 1) at offset h - 1 = 0
    ASSERT_EQ(p.brush[1][1], 0.0f);
    p.CloneBmpWithBrush(&bmp, 6, 9, 3, 4);
    // Cell (1, 1): source column 6 + 1 - 1, row 9 + 1 - 1; destination (3, 4).
    EXPECT_EQ(texelAt(img, 3, 4), packColor(60, 90, 3));
}

TEST(TextureTools, BlurAndMedianOfAConstantTextureAreConstant) {
    const int c = packColor(40, 90, 200);
    TextureImage img = makeImage(24, 24, c);
    const TextureImage original = img;
    TexturePainter p(&img);
    p.ResetPainted();
    p.SetUpBrush(9, {});
    p.BlurWithBrush(0, 23);  // across the seam and the bottom edge
    p.MedianWithBrush(12, 12);
    EXPECT_EQ(img.rgb, original.rgb);
    EXPECT_EQ(p.BlurPixel(0, 0), c);
    EXPECT_EQ(p.MedianPixel(23, 23), c);
}

TEST(TextureTools, MedianTrimsTheExtremes) {
    TextureImage img = makeImage(16, 16, packColor(10, 10, 10));
    // 12 bright texels among the 49 are cut off by the trimmed mean.
    for (int k = 0; k < 12; ++k) img.rgb[3 * ((5 + k % 7) + 16 * (5 + k / 7))] = 250;
    TexturePainter p(&img);
    EXPECT_EQ(redOf(p.MedianPixel(8, 8)), 10);
    img.rgb[3 * (8 + 16 * 8)] = 250;  // a 13th reaches place 12
    EXPECT_EQ(redOf(p.MedianPixel(8, 8)), (250 + 23 * 10) / 24);
}

TEST(TextureTools, DrawWithBrushPaintsTheColourThroughThePaintedMask) {
    TextureImage img = makeImage(16, 16, 0);
    TexturePainter p(&img);
    p.ResetPainted();
    p.SetUpBrush(4, RGBColor::fromBytes(200, 100, 50));
    p.DrawWithBrush(8, 8);
    EXPECT_EQ(texelAt(img, 8, 8), packColor(200, 100, 50));
    p.brush.colour = RGBColor::fromBytes(1, 1, 1);
    p.DrawWithBrush(8, 8);  // already painted in this stroke
    EXPECT_EQ(texelAt(img, 8, 8), packColor(200, 100, 50));
    p.DeleteBrush();
    EXPECT_EQ(p.brush.rows(), -1);
    EXPECT_EQ(p.brush.size, -1);
}

TEST(TextureTools, DrawLineCrossesTheSeamAndSkipsTheLastPoint) {
    TextureImage img = makeImage(32, 8, 0);
    TexturePainter p(&img);
    p.ResetPainted();
    p.SetUpBrush(2, RGBColor::fromBytes(255, 0, 0));  // one texel a dab
    p.DrawLine(30, 3, 2, 3, DRAW_TOOL_DRAW);           // 30 -> 2 runs over the right edge
    std::set<int> painted;
    for (int x = 0; x < 32; ++x)
        for (int y = 0; y < 8; ++y)
            if (texelAt(img, x, y) != 0) painted.insert(x + 100 * y);
    EXPECT_EQ(painted, (std::set<int>{330, 331, 300, 301}));  // 30, 31, 0, 1 of row 3; not 2
    // Both ends the same: one dab.
    p.DrawLine(10, 5, 10, 5, DRAW_TOOL_DRAW);
    EXPECT_NE(texelAt(img, 10, 5), 0);
    // An end outside the rows: nothing.
    p.DrawLine(10, 1, 12, 9, DRAW_TOOL_DRAW);
    EXPECT_EQ(texelAt(img, 10, 1), 0);
}

TEST(TextureTools, SprayIsRepeatableForASeedAndKeepsAConstantTexture) {
    TextureImage a = makeGradient(32, 32), b = a;
    TexturePainter pa(&a), pb(&b);
    pa.ResetPainted();
    pb.ResetPainted();
    pa.SetUpBrush(8, {});
    pb.SetUpBrush(8, {});
    seedRandom(77);
    pa.RndWithBrush(16, 16);
    seedRandom(77);
    pb.RndWithBrush(16, 16);
    EXPECT_EQ(a.rgb, b.rgb);
    EXPECT_NE(a.rgb, makeGradient(32, 32).rgb);

    TextureImage flat = makeImage(16, 16, packColor(7, 8, 9));
    const TextureImage flatCopy = flat;
    TexturePainter pf(&flat);
    pf.ResetPainted();
    pf.SetUpBrush(6, {});
    pf.RndWithBrush(3, 3);
    EXPECT_EQ(flat.rgb, flatCopy.rgb);
    // A brush of edge 1 has no radius: the spray leaves the texture alone.
    pf.brush.SetSize(1, 1);
    pf.brush[0][0] = 0.0f;
    pf.brush.size = 1;
    pf.ResetPainted();
    pf.RndWithBrush(3, 3);
    EXPECT_EQ(flat.rgb, flatCopy.rgb);
    resetRandom();
}

TEST(TextureTools, IsInsideBoundsAreExclusiveBelowInclusiveAbove) {
    TextureImage img = makeImage(4, 1, 0);
    const int reds[4] = {95, 105, 100, 94};
    for (int x = 0; x < 4; ++x) img.rgb[3 * x] = (unsigned char)reds[x];
    TexturePainter p(&img);
    p.ResetPainted();
    const RGBColor seed = RGBColor::fromBytes(100, 0, 0);
    EXPECT_FALSE(p.IsInside(0, 0, seed, 10, 0.5f));  // -5
    EXPECT_TRUE(p.IsInside(1, 0, seed, 10, 0.5f));   // +5
    EXPECT_TRUE(p.IsInside(2, 0, seed, 10, 0.5f));
    EXPECT_FALSE(p.IsInside(3, 0, seed, 10, 0.5f));
    EXPECT_FALSE(p.IsInside(4, 0, seed, 10, 0.5f));  // outside the texture
}

// The tolerance window lo < d <= hi with lo = trunc(-tol f) and
// hi = trunc(tol (1 - f)), worked out by hand for each case; f = 0.5 alone
// cannot tell the window from its mirror image, nor trunc from floor.
TEST(TextureTools, IsInsideToleranceWindowForSeveralShares) {
    struct Case {
        int tol;
        float f;
        int lo, hi;
    } cases[] = {
        {10, 0.0f, 0, 10},     // -0 and 10: the seed colour itself is outside
        {10, 0.25f, -2, 7},    // -2.5 and 7.5 cut toward zero
        {10, 0.75f, -7, 2},    // -7.5 and 2.5
        {10, 1.0f, -10, 0},
        {7, 0.5f, -3, 3},      // -3.5 and 3.5
        {12, 0.125f, -1, 10},  // -1.5 and 10.5
    };
    const int seed[3] = {100, 120, 140};
    const RGBColor seedColour = RGBColor::fromBytes(seed[0], seed[1], seed[2]);
    for (const Case& k : cases) {
        // Row c tries d = x - 12 in channel c; the other two channels sit at
        // hi, inside the window.
        TextureImage img = makeImage(25, 3, packColor(seed[0] + k.hi, seed[1] + k.hi, seed[2] + k.hi));
        for (int c = 0; c < 3; ++c)
            for (int x = 0; x < 25; ++x) img.rgb[3 * (x + 25 * c) + c] = (unsigned char)(seed[c] + x - 12);
        TexturePainter p(&img);
        p.ResetPainted();
        for (int c = 0; c < 3; ++c)
            for (int x = 0; x < 25; ++x) {
                const int d = x - 12;
                EXPECT_EQ(p.IsInside(x, c, seedColour, k.tol, k.f), k.lo < d && d <= k.hi)
                    << "tol " << k.tol << " f " << k.f << " channel " << c << " d " << d;
            }
    }
}

TEST(TextureTools, FillCoversExactlyTheConnectedRegionAcrossTheSeam) {
    // '#' texels match the seed; the fill starts at the right edge and must
    // reach the left half through the seam, but not the separate blob.
    const char* rows[6] = {
        "..........",  //
        "##......##",  //
        "#.......#.",  //
        "###....###",  //
        "....##....",  //
        "....##....",  //
    };
    const int w = 10, h = 6;
    TextureImage img = makeImage(w, h, packColor(0, 0, 0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (rows[y][x] == '#') img.rgb[3 * (x + w * y)] = 200;
    TexturePainter p(&img);
    const RGBColor seed = RGBColor::fromBytes(200, 0, 0);
    // Started on a texel far from the seed: nothing happens.
    TextureImage untouched = img;
    p.Fill(5, 0, seed, RGBColor::fromBytes(0, 0, 255), 4, 0.5f);
    EXPECT_EQ(img.rgb, untouched.rgb);

    p.Fill(9, 3, seed, RGBColor::fromBytes(0, 0, 255), 4, 0.5f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool inRegion = rows[y][x] == '#' && y <= 3;
            const int want = inRegion ? packColor(0, 0, 255) : rows[y][x] == '#' ? packColor(200, 0, 0) : 0;
            EXPECT_EQ(texelAt(img, x, y), want) << x << "," << y;
        }
}

TEST(TextureTools, ReplaceColorShiftsAndLimits) {
    TextureImage img = makeImage(2, 2, packColor(250, 10, 100));
    TexturePainter p(&img);
    p.ReplaceColor(0, 0, RGBColor::fromBytes(100, 100, 100), RGBColor::fromBytes(120, 50, 100));
    EXPECT_EQ(texelAt(img, 0, 0), packColor(255, 0, 100));
    p.ReplaceColor(2, 0, RGBColor::fromBytes(0, 0, 0), RGBColor::fromBytes(9, 9, 9));  // outside: no wrap
    EXPECT_EQ(texelAt(img, 0, 0), packColor(255, 0, 100));
}

TEST(TextureCoordinates, BlendTheCornersAndRoundToTheNearestTexel) {
    resetModelState();
    fakes::Services services;
    {
        head3 h;
        h.set_actual();
        Index<triangle> t = h.triangles.add();
        h.triangles[t].texture[0] = {0.0, 0.0};
        h.triangles[t].texture[1] = {1.0, 0.0};
        h.triangles[t].texture[2] = {0.0, 0.5};
        TextureImage img;
        img.width = 100;
        img.height = 40;
        int x = -1, y = -1;
        Coord3DToTextureCoord(img, t, {0.2, 0.304, 0.496}, x, y);
        EXPECT_EQ(x, 30);  // trunc(30.4 + 0.5)
        EXPECT_EQ(y, 10);  // trunc(9.92 + 0.5)
        Coord3DToTextureCoord(img, t, {0.0, 0.0, 1.0}, x, y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 20);
    }
    resetModelState();
}

}  // namespace
