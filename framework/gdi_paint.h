#pragma once
// The pixel end of drawing: spans and pixels on a surface through a clip,
// each figure touching a pixel once when asked. Coordinates are surface
// pixels in 64 bits. Not for the application.
#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "framework/gdi_internal.h"

namespace brv::gdi {

// into becomes the bounding rectangle of both (an empty one counts as none).
inline void UniteBounds(CRect& into, const CRect& r) {
  if (r.IsRectEmpty()) return;
  if (into.IsRectEmpty()) {
    into = r;
    return;
  }
  into.SetRect(std::min(into.left, r.left), std::min(into.top, r.top), std::max(into.right, r.right),
               std::max(into.bottom, r.bottom));
}

class Target {
 public:
  // bounds: when given, the touched pixels' bounding rectangle is added to it.
  Target(Surface& surface, const Region& clip, CRect* bounds = nullptr)
      : s_(surface), rects_(clip.Rects()), bounds_(bounds) {
    if (!rects_.empty()) box_ = clip.Bounds();
    single_ = rects_.size() == 1;
  }
  ~Target() {
    if (!touchedAny_) return;
    const CRect touched{tx0_, ty0_, tx1_, ty1_};
    s_.AddDirty(touched);
    if (bounds_) UniteBounds(*bounds_, touched);
  }
  Target(const Target&) = delete;
  Target& operator=(const Target&) = delete;

  // From here on every pixel is touched at most once until EndFigure.
  void BeginFigure() { figure_ = s_.BeginFigure(); }
  void EndFigure() { figure_ = 0; }
  bool Empty() const { return rects_.empty(); }
  const CRect& Box() const { return box_; }
  Surface& surface() { return s_; }

  bool Visible(int64_t x, int64_t y) const {
    if (x < box_.left || x >= box_.right || y < box_.top || y >= box_.bottom) return false;
    if (single_) return true;
    for (const CRect& r : rects_)
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
  }

  // f(uint32_t& pixel, int x, int y) for each visible pixel of [x0, x1) x y.
  template <class F>
  void Span(int64_t y, int64_t x0, int64_t x1, F&& f) {
    if (y < box_.top || y >= box_.bottom) return;
    x0 = std::max<int64_t>(x0, box_.left);
    x1 = std::min<int64_t>(x1, box_.right);
    if (x0 >= x1) return;
    uint32_t* row = s_.Row(int(y));
    for (const CRect& r : rects_) {
      if (y < r.top || y >= r.bottom) continue;
      int a = int(std::max<int64_t>(x0, r.left)), b = int(std::min<int64_t>(x1, r.right));
      if (a >= b) continue;
      Touch(a, int(y), b, int(y) + 1);
      if (const uint32_t figure = figure_) {
        for (int x = a; x < b; ++x)
          if (s_.MarkOnce(x, int(y), figure)) f(row[x], x, int(y));
      } else {
        for (int x = a; x < b; ++x) f(row[x], x, int(y));
      }
    }
  }

  // f for each visible pixel of x x [y0, y1).
  template <class F>
  void Column(int64_t x, int64_t y0, int64_t y1, F&& f) {
    if (x < box_.left || x >= box_.right) return;
    y0 = std::max<int64_t>(y0, box_.top);
    y1 = std::min<int64_t>(y1, box_.bottom);
    if (y0 >= y1) return;
    const ptrdiff_t stride = s_.Stride();
    for (const CRect& r : rects_) {
      if (x < r.left || x >= r.right) continue;
      int a = int(std::max<int64_t>(y0, r.top)), b = int(std::min<int64_t>(y1, r.bottom));
      if (a >= b) continue;
      Touch(int(x), a, int(x) + 1, b);
      uint32_t* p = s_.Row(a) + x;
      const uint32_t figure = figure_;
      if (figure) {
        for (int y = a; y < b; ++y, p += stride)
          if (s_.MarkOnce(int(x), y, figure)) f(*p, int(x), y);
      } else {
        for (int y = a; y < b; ++y, p += stride) f(*p, int(x), y);
      }
    }
  }

  template <class F>
  void Pixel(int64_t x, int64_t y, F&& f) {
    if (!Visible(x, y)) return;
    if (figure_ && !s_.MarkOnce(int(x), int(y), figure_)) return;
    Touch(int(x), int(y), int(x) + 1, int(y) + 1);
    f(s_.Row(int(y))[x], int(x), int(y));
  }

  // Marks the pixel as drawn by this figure without drawing it.
  void Claim(int64_t x, int64_t y) {
    if (figure_ && Visible(x, y)) s_.MarkOnce(int(x), int(y), figure_);
  }

 private:
  void Touch(int x0, int y0, int x1, int y1) {
    if (!touchedAny_) {
      tx0_ = x0, ty0_ = y0, tx1_ = x1, ty1_ = y1;
      touchedAny_ = true;
      return;
    }
    tx0_ = std::min(tx0_, x0), ty0_ = std::min(ty0_, y0), tx1_ = std::max(tx1_, x1), ty1_ = std::max(ty1_, y1);
  }

  Surface& s_;
  const std::vector<CRect>& rects_;
  CRect box_;
  bool single_ = false;
  uint32_t figure_ = 0;
  CRect* bounds_;
  bool touchedAny_ = false;
  int tx0_ = 0, ty0_ = 0, tx1_ = 0, ty1_ = 0;
};

// Calls f with the binary raster operation as a compile-time function
// object op(d, p), so that pixel loops carry no switch.
template <int M>
struct RopOf {
  uint32_t operator()(uint32_t d, uint32_t p) const { return Rop2(M, d, p); }
};

template <class F>
void WithRop2(int mode, F&& f) {
  switch (mode) {
    case R2_BLACK: f(RopOf<R2_BLACK>{}); break;
    case R2_NOTMERGEPEN: f(RopOf<R2_NOTMERGEPEN>{}); break;
    case R2_MASKNOTPEN: f(RopOf<R2_MASKNOTPEN>{}); break;
    case R2_NOTCOPYPEN: f(RopOf<R2_NOTCOPYPEN>{}); break;
    case R2_MASKPENNOT: f(RopOf<R2_MASKPENNOT>{}); break;
    case R2_NOT: f(RopOf<R2_NOT>{}); break;
    case R2_XORPEN: f(RopOf<R2_XORPEN>{}); break;
    case R2_NOTMASKPEN: f(RopOf<R2_NOTMASKPEN>{}); break;
    case R2_MASKPEN: f(RopOf<R2_MASKPEN>{}); break;
    case R2_NOTXORPEN: f(RopOf<R2_NOTXORPEN>{}); break;
    case R2_NOP: f(RopOf<R2_NOP>{}); break;
    case R2_MERGENOTPEN: f(RopOf<R2_MERGENOTPEN>{}); break;
    case R2_MERGEPENNOT: f(RopOf<R2_MERGEPENNOT>{}); break;
    case R2_MERGEPEN: f(RopOf<R2_MERGEPEN>{}); break;
    case R2_WHITE: f(RopOf<R2_WHITE>{}); break;
    default: f(RopOf<R2_COPYPEN>{}); break;
  }
}

// The steps of a one-pixel line from (x0, y0) towards (x1, y1), without the
// end point, limited to the box: plot(x, y, step). 64-bit throughout, so
// lines far outside the box cost nothing.
template <class F>
void RasterLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, const CRect& box, F&& plot, bool withEnd = false) {
  const int64_t dx = x1 - x0, dy = y1 - y0;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  const int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const bool xMajor = adx >= ady;
  const int64_t n = xMajor ? adx : ady;  // steps without the end point
  if (n == 0) {
    if (withEnd) plot(x0, y0, int64_t(0));
    return;
  }
  const int64_t major = n, minor = xMajor ? ady : adx;
  // A tie between two pixels goes to the lower coordinate whichever way the
  // line runs, so a line drawn back covers the same pixels. Minor offset at
  // step i: floor((2 i minor + major - bias) / (2 major)).
  const int64_t bias = (xMajor ? sy : sx) > 0 ? 1 : 0;
  auto minorAt = [&](int64_t i) -> int64_t {
    return int64_t((__int128(2) * i * minor + major - bias) / (__int128(2) * major));
  };
  const int64_t last = withEnd ? n : n - 1;
  auto xAt = [&](int64_t i) { return xMajor ? x0 + sx * i : x0 + sx * minorAt(i); };
  auto yAt = [&](int64_t i) { return xMajor ? y0 + sy * minorAt(i) : y0 + sy * i; };
  // steps whose coordinates lie inside [lo, hi] along a monotone function
  auto range = [&](auto at, int64_t s, int64_t lo, int64_t hi, int64_t& first, int64_t& end) {
    // at(i) moves by s (or stays); find i with lo <= at(i) <= hi
    auto inside_lo = [&](int64_t i) { return s > 0 ? at(i) >= lo : at(i) <= hi; };
    auto inside_hi = [&](int64_t i) { return s > 0 ? at(i) <= hi : at(i) >= lo; };
    int64_t a = first, b = end;  // [a, b] current range
    if (a > b) return;
    // first index satisfying inside_lo
    int64_t l = a, r = b + 1;
    while (l < r) {
      int64_t m = l + (r - l) / 2;
      if (inside_lo(m)) r = m; else l = m + 1;
    }
    a = l;
    // last index satisfying inside_hi
    l = a - 1, r = b;
    while (l < r) {
      int64_t m = r - (r - l) / 2;
      if (inside_hi(m)) l = m; else r = m - 1;
    }
    b = l;
    first = a, end = b;
  };
  int64_t first = 0, end = last;
  range(xAt, sx, box.left, int64_t(box.right) - 1, first, end);
  if (first > end) return;
  range(yAt, sy, box.top, int64_t(box.bottom) - 1, first, end);
  if (first > end) return;
  // step on with an error term from the first visible step
  const __int128 num = __int128(2) * first * minor + major - bias;
  int64_t k = int64_t(num / (__int128(2) * major));
  int64_t rem = int64_t(num % (__int128(2) * major));
  const int64_t twoMajor = 2 * major, twoMinor = 2 * minor;
  for (int64_t i = first; i <= end; ++i) {
    if (xMajor)
      plot(x0 + sx * i, y0 + sy * k, i);
    else
      plot(x0 + sx * k, y0 + sy * i, i);
    rem += twoMinor;
    if (rem >= twoMajor) rem -= twoMajor, ++k;
  }
}

}  // namespace brv::gdi
