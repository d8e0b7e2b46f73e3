#include "fitting/resize.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "picture/winbmp.h"

namespace {

CWinBmp noise(int w, int h, unsigned seed) {
    CWinBmp bmp;
    bmp.Create(w, h, 32, true);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t v = rng();
            bmp.SetPixel(x, y, CPixel32(uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)));
        }
    return bmp;
}

void expectSamePixels(const CWinBmp& a, const CWinBmp& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    ASSERT_EQ(a.GetBitsPerPixel(), b.GetBitsPerPixel());
    EXPECT_EQ(a.HasAlpha(), b.HasAlpha());
    for (int y = 0; y < a.GetHeight(); ++y)
        ASSERT_EQ(std::memcmp(a.GetLine(y), b.GetLine(y), size_t(a.GetWidth()) * 4), 0) << "row " << y;
}

// The texture build's resize against the picture library's, on the shapes
// the build uses (up to a square, halving the height) and odd ones.
TEST(ResizeBilinearFast, GivesThePictureLibrarysPixels) {
    struct Case {
        int w, h, nw, nh;
    } cases[] = {
        {120, 90, 256, 256},  // the photo up to the texture square
        {90, 120, 256, 256},  {256, 256, 256, 128},  // the texture's halving
        {257, 255, 257, 127}, {37, 53, 100, 7},     {100, 7, 37, 53},
        {1, 1, 5, 3},         {5, 3, 1, 1},          {64, 64, 64, 64},
    };
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " -> " << c.nw << "x" << c.nh);
        CWinBmp src = noise(c.w, c.h, seed++);
        CWinBmp library(src);
        library.ResizeBilinear(c.nw, c.nh);
        CWinBmp into;
        ResizeBilinearInto(src, into, c.nw, c.nh);
        expectSamePixels(into, library);
        CWinBmp inPlace(src);
        ResizeBilinearFast(inPlace, c.nw, c.nh);
        expectSamePixels(inPlace, library);
    }
}

TEST(ResizeBilinearFast, EmptyTargetsFollowTheLibrary) {
    CWinBmp src = noise(16, 16, 9);
    for (auto [nw, nh] : {std::pair{0, 5}, std::pair{5, 0}}) {
        CWinBmp library(src), fast(src);
        library.ResizeBilinear(nw, nh);
        ResizeBilinearFast(fast, nw, nh);
        EXPECT_EQ(fast.GetWidth(), library.GetWidth());
        EXPECT_EQ(fast.GetHeight(), library.GetHeight());
    }
}

}  // namespace
