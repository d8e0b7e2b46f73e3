#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "picture/membmp.h"
#include "picture/picfilter.h"
#include "picture/winbmp.h"

namespace {

// The resize as first written: every tap of every weight table, the vertical
// pass down the columns. The library's faster one must give its bytes.
struct Contribution {
  int left = 0;
  std::vector<double> weights;
};

std::vector<Contribution> contributions(int n, int m) {
  std::vector<Contribution> table(static_cast<size_t>(m));
  if (n <= 0 || m <= 0) return table;
  CTriangleKernel kernel(1.0);
  const double scale = double(m) / n;
  const double support = scale >= 1 ? 1.0 : 1.0 / scale;
  const double factor = scale >= 1 ? 1.0 : scale;
  const int maxWeights = 2 * static_cast<int>(std::ceil(support)) + 1;
  for (int i = 0; i < m; ++i) {
    const double centre = i / scale;
    int left = std::max(0, static_cast<int>(std::floor(centre - support)));
    int right = std::min(n - 1, static_cast<int>(std::ceil(centre + support)));
    if (right - left + 1 > maxWeights) left = right - maxWeights + 1;
    Contribution& c = table[static_cast<size_t>(i)];
    c.left = left;
    double sum = 0;
    for (int k = left; k <= right; ++k) {
      double w = factor * kernel.Weight(factor * (centre - k));
      c.weights.push_back(w);
      sum += w;
    }
    if (sum > 0)
      for (double& w : c.weights) w /= sum;
  }
  return table;
}

uint8_t toByte(double v) {
  v += 0.5;
  if (v <= 0) return 0;
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v);
}

CPixel32 blend(const CPixel32* first, ptrdiff_t stride, const Contribution& c) {
  double b = 0, g = 0, r = 0, a = 0;
  for (size_t k = 0; k < c.weights.size(); ++k) {
    const CPixel32& p = first[(c.left + static_cast<ptrdiff_t>(k)) * stride];
    b += c.weights[k] * p.GetB();
    g += c.weights[k] * p.GetG();
    r += c.weights[k] * p.GetR();
    a += c.weights[k] * p.GetA();
  }
  return CPixel32(toByte(r), toByte(g), toByte(b), toByte(a));
}

CWinBmp referenceResize(const CWinBmp& src, int nw, int nh) {
  const int w = src.GetWidth(), h = src.GetHeight();
  CWinBmp dst;
  dst.Create(nw, nh, 32, src.HasAlpha());
  std::vector<Contribution> horizontal = contributions(w, nw);
  std::vector<CPixel32> mid(size_t(nw) * size_t(h));
  for (int y = 0; y < h; ++y) {
    const CPixel32* row = reinterpret_cast<const CPixel32*>(src.GetLine(y));
    for (int x = 0; x < nw; ++x) mid[size_t(y) * nw + x] = blend(row, 1, horizontal[size_t(x)]);
  }
  std::vector<Contribution> vertical = contributions(h, nh);
  for (int x = 0; x < nw; ++x)
    for (int y = 0; y < nh; ++y) dst.SetPixel(x, y, blend(mid.data() + x, nw, vertical[size_t(y)]));
  return dst;
}

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

void expectSamePixels(const CBaseBmp& a, const CBaseBmp& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  ASSERT_EQ(a.GetBitsPerPixel(), b.GetBitsPerPixel());
  EXPECT_EQ(a.HasAlpha(), b.HasAlpha());
  for (int y = 0; y < a.GetHeight(); ++y)
    ASSERT_EQ(std::memcmp(a.GetLine(y), b.GetLine(y), size_t(a.GetWidth()) * 4), 0) << "row " << y;
}

// In place, into another bitmap and through the filter into another kind of
// bitmap, on the texture build's shapes (up to a square, halving the
// height), a one-to-one width and odd ones, down to empty targets.
TEST(ResizeBilinear, GivesTheReferenceBytes) {
  struct Case {
    int w, h, nw, nh;
  } cases[] = {
      {120, 90, 256, 256},  // a photo up to the texture square
      {90, 120, 256, 256},  {256, 256, 256, 128},  // the texture's halving
      {257, 255, 257, 127}, {37, 53, 100, 7},     {100, 7, 37, 53},
      {1, 1, 5, 3},         {5, 3, 1, 1},          {64, 64, 64, 64},
      {16, 16, 0, 5},       {16, 16, 5, 0},        {16, 16, 0, 0},
  };
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " -> " << c.nw << "x" << c.nh);
    CWinBmp src = noise(c.w, c.h, seed++);
    const CWinBmp reference = referenceResize(src, c.nw, c.nh);

    CWinBmp inPlace(src);
    inPlace.ResizeBilinear(c.nw, c.nh);
    expectSamePixels(inPlace, reference);

    CWinBmp into;
    into.Create(3, 2, 32, false);  // whatever it held goes
    into.ResizeBilinearFrom(src, c.nw, c.nh);
    expectSamePixels(into, reference);

    CMemBmp mem;
    CTriangleKernel kernel;
    CPicResizeFilter(c.nw, c.nh, kernel).Apply(&src, &mem);
    expectSamePixels(mem, reference);
  }
}

TEST(ResizeBilinear, FromItselfIsInPlace) {
  CWinBmp bmp = noise(30, 20, 7);
  const CWinBmp reference = referenceResize(bmp, 45, 11);
  bmp.ResizeBilinearFrom(bmp, 45, 11);
  expectSamePixels(bmp, reference);
}

}  // namespace
