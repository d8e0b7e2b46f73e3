#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "picture/membmp.h"
#include "picture/picfilter.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace {

// A w x h 32-bit picture of pseudo-random bytes from the seed.
void FillNoise(CWinBmp& bmp, int w, int h, uint32_t state) {
  bmp.Create(w, h, 32, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      bmp.SetPixel(x, y, CPixel32(uint8_t(state >> 24), uint8_t(state >> 16), uint8_t(state >> 8), uint8_t(state)));
    }
}

CPixel32 grey(int v, int a = 255) { return CPixel32(uint8_t(v), uint8_t(v), uint8_t(v), uint8_t(a)); }

CWinBmp row(const std::vector<int>& values) {
  CWinBmp bmp;
  bmp.Create(int(values.size()), 1, 32, true);
  for (size_t x = 0; x < values.size(); ++x) bmp.SetPixel(int(x), 0, grey(values[x], values[x]));
  return bmp;
}

std::vector<int> reds(const CWinBmp& bmp, int y = 0) {
  std::vector<int> out;
  for (int x = 0; x < bmp.GetWidth(); ++x) out.push_back(bmp.GetPixel(x, y).GetR());
  return out;
}

// Distinct colour per pixel.
CWinBmp numbered(int w, int h) {
  CWinBmp bmp;
  bmp.Create(w, h, 32, false);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bmp.SetPixel(x, y, CPixel32(uint8_t(x), uint8_t(y), uint8_t(x * 7 + y), 255));
  return bmp;
}

TEST(Resize, RowsOfTheKnownValues) {
  struct Case {
    std::vector<int> in;
    int width;
    std::vector<int> out;
  } cases[] = {
      {{0, 100}, 4, {0, 50, 100, 100}},  // centres 0, 0.5, 1, 1.5 (clipped)
      {{0, 30, 60, 90}, 2, {10, 60}},    // support 2, factor 0.5
      {{0, 30, 60, 90}, 4, {0, 30, 60, 90}},
      {{77}, 3, {77, 77, 77}},
  };
  for (const Case& c : cases) {
    CWinBmp bmp = row(c.in);
    bmp.ResizeBilinear(c.width, 1);
    EXPECT_EQ(reds(bmp), c.out);
    // Every channel, alpha included, goes the same way.
    for (int x = 0; x < c.width; ++x) EXPECT_EQ(bmp.GetPixel(x, 0).GetA(), c.out[size_t(x)]);
    EXPECT_TRUE(bmp.HasAlpha());
  }
}

TEST(Resize, SameSizeKeepsEveryPixel) {
  CWinBmp bmp = numbered(4, 4);
  CWinBmp before = bmp;
  bmp.ResizeBilinear(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(bmp.GetPixel(x, y), before.GetPixel(x, y));
}

// Every byte of a resize in both directions, up and down, of pictures of
// random colours and alpha, as the resize has always made them (the hashes
// of its output before its sums went two channels a register).
TEST(Resize, EveryByteAsBefore) {
  struct Case {
    int w, h, nw, nh;
    uint64_t bytes;
  } cases[] = {
      {1200, 900, 1024, 768, 0xfdba09f2e1bbb6eaull},  // a photo to its working size
      {640, 480, 1001, 977, 0x981f4e40c954d5aaull},   // a photo under a view
      {37, 23, 100, 61, 0xc0a4f4f06f356bcbull},
      {300, 200, 150, 420, 0x3e81de771c2e21b4ull},
      {640, 480, 512, 480, 0x473fc62c33e318f9ull},
      {64, 80, 64, 33, 0x0adf9e1a057a6f9full},
      {5, 5, 1, 1, 0x991640d0da30484aull},
      {1, 1, 7, 3, 0x4fc184a6fa678259ull},
  };
  // Both ways of summing: in wide registers where the processor has them,
  // and the plain one.
  for (bool wide : {true, false})
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " to " + std::to_string(c.nw) + "x" +
                 std::to_string(c.nh) + (wide ? " wide" : " plain"));
    CPicResizeFilter::AllowWideRegisters(wide);
    CWinBmp bmp;
    FillNoise(bmp, c.w, c.h, uint32_t(c.w * 7919 + c.h));
    bmp.ResizeBilinear(c.nw, c.nh);
    ASSERT_EQ(bmp.GetWidth(), c.nw);
    ASSERT_EQ(bmp.GetHeight(), c.nh);
    uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < c.nh; ++y)
      for (int x = 0; x < c.nw; ++x) {
        const CPixel32 p = bmp.GetPixel(x, y);
        for (uint8_t b : {p.GetB(), p.GetG(), p.GetR(), p.GetA()}) hash = (hash ^ b) * 1099511628211ull;
      }
    EXPECT_EQ(hash, c.bytes);
  }
  CPicResizeFilter::AllowWideRegisters(true);
}

// The resize row by row, the rows asked for backwards and then in a
// scattered order, gives every byte of the whole resize.
TEST(Resize, RowByRowGivesTheWholeResize) {
  struct Case {
    int w, h, nw, nh;
  } cases[] = {{300, 200, 150, 420}, {64, 48, 256, 128}, {640, 480, 512, 480}, {97, 131, 97, 40}, {5, 5, 1, 1}};
  for (bool wide : {true, false})
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " to " + std::to_string(c.nw) + "x" +
                 std::to_string(c.nh) + (wide ? " wide" : " plain"));
    CPicResizeFilter::AllowWideRegisters(wide);
    CWinBmp src;
    FillNoise(src, c.w, c.h, uint32_t(c.w * 31 + c.h));
    CWinBmp whole;
    whole.ResizeBilinearFrom(src, c.nw, c.nh);
    CBilinearRows rows(src, c.nw, c.nh);
    std::vector<int> order;
    for (int y = c.nh - 1; y >= 0; --y) order.push_back(y);
    for (int y = 0; y < c.nh; ++y) order.push_back((y * 7919) % c.nh);
    int wrong = 0;
    for (int y : order) {
      const CPixel32* row = rows.Row(y);
      for (int x = 0; x < c.nw; ++x) wrong += !(row[x] == whole.GetPixel(x, y));
    }
    EXPECT_EQ(wrong, 0);
  }
  CPicResizeFilter::AllowWideRegisters(true);
}

TEST(Resize, VerticalPassMatchesHorizontal) {
  CWinBmp col;
  col.Create(1, 2, 32, false);
  col.SetPixel(0, 0, grey(0));
  col.SetPixel(0, 1, grey(100));
  col.ResizeBilinear(1, 4);
  std::vector<int> got;
  for (int y = 0; y < 4; ++y) got.push_back(col.GetPixel(0, y).GetG());
  EXPECT_EQ(got, (std::vector<int>{0, 50, 100, 100}));
}

TEST(Resize, ToAndFromZeroSize) {
  CWinBmp bmp = numbered(3, 3);
  bmp.ResizeBilinear(0, 5);
  EXPECT_EQ(bmp.GetWidth(), 0);
  EXPECT_EQ(bmp.GetHeight(), 5);
  bmp.ResizeBilinear(2, 2);  // nothing to sample: zero pixels
  EXPECT_EQ(bmp.GetWidth(), 2);
  EXPECT_EQ(bmp.GetPixel(1, 1), CPixel32(0, 0, 0, 0));
}

TEST(Resize, ProgressCallbackCanStop) {
  CWinBmp src = numbered(4, 4);
  CWinBmp dst;
  std::vector<double> seen;
  struct Ctx {
    std::vector<double>* seen;
  } ctx{&seen};
  CTriangleKernel kernel;
  CPicResizeFilter filter(8, 8, kernel, [](double p, void* c) {
    static_cast<Ctx*>(c)->seen->push_back(p);
    return p < 50;
  }, &ctx);
  filter.Apply(&src, &dst);
  EXPECT_EQ(seen, (std::vector<double>{0, 12.5, 25, 37.5, 50}));
}

TEST(Crop, KeepsTheRectangle) {
  CWinBmp bmp = numbered(120, 80);
  bmp.Crop(10, 20, 110, 70);
  ASSERT_EQ(bmp.GetWidth(), 100);
  ASSERT_EQ(bmp.GetHeight(), 50);
  EXPECT_EQ(bmp.GetPixel(0, 0), CPixel32(10, 20, uint8_t(10 * 7 + 20), 255));
  EXPECT_EQ(bmp.GetPixel(99, 49), CPixel32(109, 69, uint8_t(109 * 7 + 69), 255));
}

TEST(Crop, FilterTakesLeftRightTopBottom) {
  CWinBmp src = numbered(10, 10);
  CWinBmp dst;
  CPicCropFilter(2, 5, 3, 9).Apply(&src, &dst);
  EXPECT_EQ(dst.GetWidth(), 3);
  EXPECT_EQ(dst.GetHeight(), 6);
  EXPECT_EQ(dst.GetPixel(0, 0), src.GetPixel(2, 3));
  // A source that is also the destination is cropped in place.
  CPixel32 corner = src.GetPixel(4, 8);
  CPicCropFilter(2, 5, 3, 9).Apply(&src, &src);
  EXPECT_EQ(src.GetWidth(), 3);
  EXPECT_EQ(src.GetPixel(2, 5), corner);
}

TEST(Crop, EightAndOneBitKeepPalette) {
  CWinBmp bmp;
  bmp.Create(10, 2, 8, false);
  for (int x = 0; x < 10; ++x) bmp.GetLine(1)[x] = uint8_t(x);
  bmp.SetPaletteEntry(3, CPixel32(1, 2, 3, 4));
  bmp.Crop(3, 1, 6, 2);
  EXPECT_EQ(bmp.GetBitsPerPixel(), 8);
  EXPECT_EQ(bmp.GetLine(0)[0], 3);
  EXPECT_EQ(bmp.GetLine(0)[2], 5);
  EXPECT_EQ(bmp.GetPalette()[3], CPixel32(1, 2, 3, 4));

  CWinBmp mono;
  mono.Create(16, 1, 1, false);
  mono.GetLine(0)[0] = 0x0F;  // pixels 4..7 set
  mono.GetLine(0)[1] = 0x80;  // pixel 8 set
  mono.Crop(3, 0, 9, 1);
  EXPECT_EQ(mono.GetLine(0)[0], 0x7C);  // 0 1 1 1 1 1
}

TEST(Crop, OutsideTheBitmapStaysEmpty) {
  CWinBmp bmp = numbered(4, 4);
  bmp.Crop(-2, -1, 3, 2);
  ASSERT_EQ(bmp.GetWidth(), 5);
  ASSERT_EQ(bmp.GetHeight(), 3);
  EXPECT_EQ(bmp.GetPixel(0, 0), CPixel32(0, 0, 0, 0));
  EXPECT_EQ(bmp.GetPixel(2, 1), CPixel32(0, 0, 0, 255));
  EXPECT_EQ(bmp.GetPixel(4, 2), CPixel32(2, 1, 15, 255));
  bmp.Crop(3, 3, 1, 1);
  EXPECT_EQ(bmp.GetWidth(), 0);
}

TEST(Rotate, ByZeroIsACopy) {
  CWinBmp bmp = numbered(5, 3);
  CWinBmp before = bmp;
  bmp.Rotate(0, grey(9));
  ASSERT_EQ(bmp.GetWidth(), 5);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(bmp.GetPixel(x, y), before.GetPixel(x, y));
}

TEST(Rotate, QuarterTurnsMapEveryPixel) {
  const double pi = std::acos(-1.0);
  for (double angle : {pi / 2, -pi / 2}) {
    CWinBmp bmp = numbered(7, 4);
    CWinBmp src = bmp;
    CPixel32 fill(1, 2, 3, 4);
    bmp.Rotate(angle, fill);
    ASSERT_EQ(bmp.GetWidth(), 4);
    ASSERT_EQ(bmp.GetHeight(), 7);
    std::map<uint32_t, int> seen;
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < 4; ++x) {
        CPixel32 p = bmp.GetPixel(x, y);
        EXPECT_NE(p, fill) << x << "," << y;
        ++seen[p.GetR() << 8 | p.GetG()];
      }
    EXPECT_EQ(seen.size(), 28u);
    // A turn one way then the other gives the picture back.
    bmp.Rotate(-angle, fill);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(bmp.GetPixel(x, y), src.GetPixel(x, y));
  }
}

TEST(Rotate, FourQuarterTurnsGiveTheOriginal) {
  const double pi = std::acos(-1.0);
  CWinBmp bmp = numbered(9, 5);
  CWinBmp src = bmp;
  for (int i = 0; i < 4; ++i) bmp.Rotate(pi / 2, grey(0));
  ASSERT_EQ(bmp.GetWidth(), 9);
  ASSERT_EQ(bmp.GetHeight(), 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(bmp.GetPixel(x, y), src.GetPixel(x, y));
}

TEST(Rotate, SmallAngleGrowsAndFillsCorners) {
  CWinBmp bmp = numbered(100, 50);
  CPixel32 fill(0, 0, 0, 0);
  bmp.Rotate(0.05235987755982988, fill);
  // Corners (99,0),(0,49),(99,49) rotated by -3 degrees: bounds 102 x 55.
  EXPECT_EQ(bmp.GetWidth(), 102);
  EXPECT_EQ(bmp.GetHeight(), 55);
  EXPECT_EQ(bmp.GetPixel(0, 0), fill);
  EXPECT_NE(bmp.GetPixel(51, 27), fill);
}

TEST(Quantize, FixedTable) {
  const CPixel32* pal = CPicQuantizeFilter::FixedPalette();
  EXPECT_EQ(pal[0], CPixel32(0, 0, 0, 255));
  EXPECT_EQ(pal[255], CPixel32(255, 255, 255, 255));
  EXPECT_EQ(pal[10], CPixel32(0, 0, 0, 255));
  EXPECT_EQ(pal[10 + 215], CPixel32(255, 255, 255, 255));
  EXPECT_EQ(pal[10 + 36 + 6 * 2 + 3], CPixel32(0x51, 0x85, 0xB1, 255));
}

// Quantises and returns the palette colour of every pixel.
std::vector<CPixel32> quantized(const CWinBmp& src, int paletteMode, int ditherMode, CWinBmp* out = nullptr) {
  CWinBmp dst;
  CPicQuantizeFilter(paletteMode, ditherMode).Apply(const_cast<CWinBmp*>(&src), &dst);
  EXPECT_EQ(dst.GetBitsPerPixel(), 8);
  std::vector<CPixel32> colours;
  for (int y = 0; y < dst.GetHeight(); ++y)
    for (int x = 0; x < dst.GetWidth(); ++x) colours.push_back(dst.GetPalette()[dst.GetLine(y)[x]]);
  if (out) *out = dst;
  return colours;
}

TEST(Quantize, FixedTableTakesTheNearestEntry) {
  CWinBmp src;
  src.Create(3, 1, 32, false);
  src.SetPixel(0, 0, CPixel32(0x52, 0x84, 0xB0, 0));
  src.SetPixel(1, 0, CPixel32(250, 2, 3, 0));
  src.SetPixel(2, 0, CPixel32(128, 128, 128, 0));
  std::vector<CPixel32> got = quantized(src, PL_PAL_FIXED, PL_DITHER_NONE);
  EXPECT_EQ(got[0], CPixel32(0x51, 0x85, 0xB1, 255));
  EXPECT_EQ(got[1], CPixel32(255, 0, 0, 255));
  EXPECT_EQ(got[2], CPixel32(128, 128, 128, 255));
}

TEST(Quantize, MedianCutAndPopularityKeepFewColoursExactly) {
  // Four colours on 5-bit steps survive both adaptive palettes unchanged.
  const CPixel32 colours[4] = {CPixel32(8, 16, 248, 255), CPixel32(200, 96, 40, 255), CPixel32(0, 0, 0, 255),
                               CPixel32(64, 128, 192, 255)};
  CWinBmp src;
  src.Create(8, 8, 32, false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) src.SetPixel(x, y, colours[(x + y * 3) % 4]);
  for (int mode : {PL_PAL_MEDIAN_CUT, PL_PAL_POPULARITY}) {
    std::vector<CPixel32> got = quantized(src, mode, PL_DITHER_NONE);
    for (int i = 0; i < 64; ++i) {
      CPixel32 want = colours[(i % 8 + (i / 8) * 3) % 4];
      // Cells are 8 wide; the centre of a one-cell box is the cell's top.
      EXPECT_NEAR(got[size_t(i)].GetR(), want.GetR(), 8) << mode;
      EXPECT_NEAR(got[size_t(i)].GetG(), want.GetG(), 8) << mode;
      EXPECT_NEAR(got[size_t(i)].GetB(), want.GetB(), 8) << mode;
    }
  }
}

TEST(Quantize, MedianCutPalette) {
  // Two colours: entries 0..7 the cube corners, 8 and 9 the two boxes, the
  // rest black once no box can be split.
  CWinBmp src;
  src.Create(4, 1, 32, false);
  src.SetPixel(0, 0, CPixel32(80, 80, 80, 255));
  src.SetPixel(1, 0, CPixel32(80, 80, 80, 255));
  src.SetPixel(2, 0, CPixel32(160, 40, 80, 255));
  src.SetPixel(3, 0, CPixel32(160, 40, 80, 255));
  CWinBmp dst;
  quantized(src, PL_PAL_MEDIAN_CUT, PL_DITHER_NONE, &dst);
  const CPixel32* pal = dst.GetPalette();
  EXPECT_EQ(pal[0], CPixel32(0, 0, 0, 255));
  EXPECT_EQ(pal[7], CPixel32(255, 255, 255, 255));
  // Cells 10,10,10 and 20,5,10: (c + c) * 255 / 62.
  EXPECT_EQ(pal[8], CPixel32(82, 82, 82, 255));
  EXPECT_EQ(pal[9], CPixel32(164, 41, 82, 255));
  EXPECT_EQ(pal[10], CPixel32(0, 0, 0, 255));
  EXPECT_EQ(dst.GetLine(0)[0], 8);
  EXPECT_EQ(dst.GetLine(0)[3], 9);
}

TEST(Quantize, PopularityPalette) {
  // Counts 1, 5 and 3: entries 8 to 10 by count, then empty cells in index
  // order (red outermost), each cell widened by x 255 / 31.
  CWinBmp src;
  src.Create(9, 1, 32, false);
  const CPixel32 once(248, 0, 0, 255), often(0, 80, 160, 255), thrice(16, 16, 16, 255);
  src.SetPixel(0, 0, once);
  for (int x = 1; x < 6; ++x) src.SetPixel(x, 0, often);
  for (int x = 6; x < 9; ++x) src.SetPixel(x, 0, thrice);
  CWinBmp dst;
  quantized(src, PL_PAL_POPULARITY, PL_DITHER_NONE, &dst);
  const CPixel32* pal = dst.GetPalette();
  EXPECT_EQ(pal[1], CPixel32(255, 0, 0, 255));
  EXPECT_EQ(pal[8], CPixel32(0, 10 * 255 / 31, 20 * 255 / 31, 255));
  EXPECT_EQ(pal[9], CPixel32(2 * 255 / 31, 2 * 255 / 31, 2 * 255 / 31, 255));
  EXPECT_EQ(pal[10], CPixel32(255, 0, 0, 255));
  EXPECT_EQ(pal[11], CPixel32(0, 0, 0, 255));
  EXPECT_EQ(pal[12], CPixel32(0, 0, 8, 255));
  EXPECT_EQ(dst.GetLine(0)[1], 8);
  EXPECT_EQ(dst.GetLine(0)[8], 9);
  EXPECT_EQ(dst.GetLine(0)[0], 1);  // the corner comes first among equals
}

TEST(Quantize, DitheringKeepsTheMeanOfAFlatArea) {
  CWinBmp src;
  src.Create(32, 32, 32, false);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) src.SetPixel(x, y, CPixel32(100, 100, 100, 255));
  for (int dither : {PL_DITHER_ORDERED, PL_DITHER_FS}) {
    std::vector<CPixel32> got = quantized(src, PL_PAL_FIXED, dither);
    double sum = 0;
    std::map<int, int> distinct;
    for (const CPixel32& p : got) {
      sum += p.GetG();
      ++distinct[p.GetG()];
    }
    EXPECT_NEAR(sum / got.size(), 100, 4) << dither;
    EXPECT_GT(distinct.size(), 1u) << dither;
  }
  // Without dithering the whole area takes one entry.
  std::vector<CPixel32> plain = quantized(src, PL_PAL_FIXED, PL_DITHER_NONE);
  for (const CPixel32& p : plain) EXPECT_EQ(p, plain[0]);
}

TEST(Filters, NeedThirtyTwoBits) {
  CWinBmp bmp;
  bmp.Create(4, 4, 8, false);
  EXPECT_THROW(bmp.ResizeBilinear(2, 2), CTextException);
  EXPECT_THROW(bmp.Rotate(1.0, CPixel32()), CTextException);
  EXPECT_EQ(bmp.GetWidth(), 4);
}

}  // namespace
