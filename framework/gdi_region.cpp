// Surfaces and regions.
#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/gdi_internal.h"

namespace brv {

// ---------------------------------------------------------------- Surface

namespace {
// Rows an odd number of cache lines long: rows a power of two apart would
// share cache sets, and drawing down a column would miss on every row.
ptrdiff_t PaddedStride(int width) {
  ptrdiff_t lines = (ptrdiff_t(width) + 15) / 16;
  if (lines % 2 == 0) ++lines;
  return lines * 16;
}
}  // namespace

Surface::Surface(int width, int height, uint32_t fill) { Resize(width, height, fill); }

Surface::Surface(const Surface& other) { *this = other; }

Surface& Surface::operator=(const Surface& other) {
  if (this == &other) return *this;
  width_ = other.width_;
  height_ = other.height_;
  stride_ = PaddedStride(width_);
  owned_.assign(size_t(stride_) * size_t(height_), 0);
  top_ = owned_.data();
  for (int y = 0; y < height_; ++y) std::copy(other.Row(y), other.Row(y) + width_, Row(y));
  dirty_ = other.dirty_;
  marks_.clear();
  figure_ = 0;
  return *this;
}

Surface::Surface(Surface&& other) noexcept { *this = std::move(other); }

Surface& Surface::operator=(Surface&& other) noexcept {
  if (this == &other) return *this;
  bool wasOwned = other.top_ == other.owned_.data();
  owned_ = std::move(other.owned_);
  top_ = wasOwned ? owned_.data() : other.top_;
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
  dirty_ = other.dirty_;
  marks_ = std::move(other.marks_);
  figure_ = other.figure_;
  other.top_ = nullptr;
  other.width_ = other.height_ = 0;
  other.stride_ = 0;
  other.owned_.clear();
  other.marks_.clear();
  return *this;
}

Surface Surface::Wrap(uint32_t* topRow, int width, int height, ptrdiff_t stride) {
  Surface s;
  s.top_ = topRow;
  s.width_ = std::max(width, 0);
  s.height_ = std::max(height, 0);
  s.stride_ = stride;
  return s;
}

void Surface::Resize(int width, int height, uint32_t fill) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  stride_ = PaddedStride(width_);
  owned_.assign(size_t(stride_) * size_t(height_), fill);
  top_ = owned_.data();
  marks_.clear();
  figure_ = 0;
  dirty_ = Bounds();
}

void Surface::Fill(uint32_t pixel) {
  for (int y = 0; y < height_; ++y) std::fill(Row(y), Row(y) + width_, pixel);
  AddDirty(Bounds());
}

void Surface::AddDirty(const RECT& r) {
  CRect c(std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, width_),
          std::min<LONG>(r.bottom, height_));
  if (c.IsRectEmpty()) return;
  if (dirty_.IsRectEmpty()) {
    dirty_ = c;
    return;
  }
  dirty_.left = std::min(dirty_.left, c.left);
  dirty_.top = std::min(dirty_.top, c.top);
  dirty_.right = std::max(dirty_.right, c.right);
  dirty_.bottom = std::max(dirty_.bottom, c.bottom);
}

uint32_t Surface::BeginFigure() {
  size_t n = size_t(width_) * size_t(height_);
  if (marks_.size() != n) {
    marks_.assign(n, 0);
    figure_ = 0;
  }
  if (++figure_ == 0) {
    std::fill(marks_.begin(), marks_.end(), 0);
    figure_ = 1;
  }
  return figure_;
}

bool Surface::MarkOnce(int x, int y, uint32_t figure) {
  uint32_t& m = marks_[size_t(y) * size_t(width_) + size_t(x)];
  if (m == figure) return false;
  m = figure;
  return true;
}

// ---------------------------------------------------------------- Region

namespace {

using Interval = std::pair<int64_t, int64_t>;  // [first, second)

LONG Clamp32(int64_t v) {
  return static_cast<LONG>(std::clamp<int64_t>(v, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
}

// Joins overlapping or touching intervals of a sorted list.
std::vector<Interval> Normalise(std::vector<Interval> v) {
  std::sort(v.begin(), v.end());
  std::vector<Interval> out;
  for (const Interval& i : v) {
    if (i.first >= i.second) continue;
    if (!out.empty() && i.first <= out.back().second)
      out.back().second = std::max(out.back().second, i.second);
    else
      out.push_back(i);
  }
  return out;
}

// The intervals of a region's band containing [y0, y1).
std::vector<Interval> BandIntervals(const std::vector<CRect>& rects, int64_t y0, int64_t y1) {
  std::vector<Interval> out;
  for (const CRect& r : rects)
    if (r.top <= y0 && r.bottom >= y1) out.push_back({r.left, r.right});
  return out;
}

// a op b on sorted disjoint interval lists (op: 0 and, 1 or, 2 xor, 3 diff).
std::vector<Interval> Combine(const std::vector<Interval>& a, const std::vector<Interval>& b, int op) {
  std::vector<int64_t> xs;
  for (const Interval& i : a) xs.insert(xs.end(), {i.first, i.second});
  for (const Interval& i : b) xs.insert(xs.end(), {i.first, i.second});
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  auto inside = [](const std::vector<Interval>& v, int64_t x) {
    for (const Interval& i : v)
      if (x >= i.first && x < i.second) return true;
    return false;
  };
  std::vector<Interval> out;
  for (size_t k = 0; k + 1 < xs.size(); ++k) {
    bool ia = inside(a, xs[k]), ib = inside(b, xs[k]);
    bool in = op == 0 ? (ia && ib) : op == 1 ? (ia || ib) : op == 2 ? (ia != ib) : (ia && !ib);
    if (!in) continue;
    if (!out.empty() && out.back().second == xs[k])
      out.back().second = xs[k + 1];
    else
      out.push_back({xs[k], xs[k + 1]});
  }
  return out;
}

// Builds banded rectangles from rows of intervals, merging equal bands.
class BandBuilder {
 public:
  void Add(int64_t y0, int64_t y1, const std::vector<Interval>& intervals) {
    if (y0 >= y1) return;
    if (!intervals.empty() && intervals == lastIntervals_ && y0 == lastBottom_ && bandStart_ < rects_.size()) {
      for (size_t k = bandStart_; k < rects_.size(); ++k) rects_[k].bottom = Clamp32(y1);
      lastBottom_ = y1;
      return;
    }
    bandStart_ = rects_.size();
    for (const Interval& i : intervals)
      rects_.push_back(CRect(Clamp32(i.first), Clamp32(y0), Clamp32(i.second), Clamp32(y1)));
    lastIntervals_ = intervals;
    lastBottom_ = y1;
  }
  std::vector<CRect> Take() { return std::move(rects_); }

 private:
  std::vector<CRect> rects_;
  std::vector<Interval> lastIntervals_;
  int64_t lastBottom_ = std::numeric_limits<int64_t>::min();
  size_t bandStart_ = 0;
};

std::vector<int64_t> Breaks(const std::vector<CRect>& a, const std::vector<CRect>& b) {
  std::vector<int64_t> ys;
  for (const CRect& r : a) ys.insert(ys.end(), {r.top, r.bottom});
  for (const CRect& r : b) ys.insert(ys.end(), {r.top, r.bottom});
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  return ys;
}

// Regions made of pixel rows are kept within this many pixels of 0.
constexpr int64_t kRowLimit = int64_t(1) << 22;

}  // namespace

Region::Region(const RECT& r) {
  if (r.right > r.left && r.bottom > r.top) rects_.push_back(CRect(r));
}

Region Region::FromRects(std::span<const RECT> rects) {
  std::vector<CRect> all;
  for (const RECT& r : rects)
    if (r.right > r.left && r.bottom > r.top) all.push_back(CRect(r));
  Region out;
  BandBuilder bands;
  std::vector<int64_t> ys = Breaks(all, {});
  for (size_t k = 0; k + 1 < ys.size(); ++k)
    bands.Add(ys[k], ys[k + 1], Normalise(BandIntervals(all, ys[k], ys[k + 1])));
  out.rects_ = bands.Take();
  return out;
}

Region Region::FromPolygon(std::span<const POINT> points, int fillMode) {
  Region out;
  if (points.size() < 3) return out;
  int64_t top = points[0].y, bottom = points[0].y;
  for (const POINT& p : points) top = std::min<int64_t>(top, p.y), bottom = std::max<int64_t>(bottom, p.y);
  top = std::max(top, -kRowLimit);
  bottom = std::min(bottom, kRowLimit);
  BandBuilder bands;
  struct Crossing {
    double x;
    int dir;
  };
  std::vector<Crossing> xs;
  for (int64_t y = top; y < bottom; ++y) {
    double cy = double(y) + 0.5;
    xs.clear();
    for (size_t i = 0; i < points.size(); ++i) {
      const POINT& a = points[i];
      const POINT& b = points[(i + 1) % points.size()];
      if (a.y == b.y) continue;
      double ya = a.y, yb = b.y;
      if ((cy >= ya && cy < yb) || (cy >= yb && cy < ya)) {
        double t = (cy - ya) / (yb - ya);
        xs.push_back({double(a.x) + t * (double(b.x) - double(a.x)), yb > ya ? 1 : -1});
      }
    }
    std::sort(xs.begin(), xs.end(), [](const Crossing& p, const Crossing& q) { return p.x < q.x; });
    std::vector<Interval> row;
    int winding = 0;
    for (size_t k = 0; k + 1 < xs.size(); ++k) {
      winding += xs[k].dir;
      bool in = fillMode == WINDING ? winding != 0 : (k % 2) == 0;
      if (!in) continue;
      // pixels whose centres lie in [x0, x1)
      int64_t x0 = int64_t(std::ceil(xs[k].x - 0.5)), x1 = int64_t(std::ceil(xs[k + 1].x - 0.5));
      if (x1 > x0) row.push_back({x0, x1});
    }
    bands.Add(y, y + 1, Normalise(row));
  }
  out.rects_ = bands.Take();
  return out;
}

Region Region::FromEllipse(const RECT& box) {
  Region out;
  CRect b(box);
  b.NormalizeRect();
  if (b.IsRectEmpty()) return out;
  double cx = (double(b.left) + double(b.right)) / 2, cy = (double(b.top) + double(b.bottom)) / 2;
  double rx = (double(b.right) - double(b.left)) / 2, ry = (double(b.bottom) - double(b.top)) / 2;
  BandBuilder bands;
  int64_t top = std::max<int64_t>(b.top, -kRowLimit), bottom = std::min<int64_t>(b.bottom, kRowLimit);
  for (int64_t y = top; y < bottom; ++y) {
    double dy = (double(y) + 0.5 - cy) / ry;
    std::vector<Interval> row;
    if (dy * dy <= 1) {
      double half = rx * std::sqrt(1 - dy * dy);
      int64_t x0 = int64_t(std::ceil(cx - half - 0.5)), x1 = int64_t(std::floor(cx + half - 0.5)) + 1;
      if (x1 > x0) row.push_back({x0, x1});
    }
    bands.Add(y, y + 1, row);
  }
  out.rects_ = bands.Take();
  return out;
}

CRect Region::Bounds() const {
  if (rects_.empty()) return CRect();
  CRect b = rects_.front();
  for (const CRect& r : rects_) {
    b.left = std::min(b.left, r.left);
    b.top = std::min(b.top, r.top);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

int Region::Kind() const { return rects_.empty() ? NULLREGION : rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION; }

bool Region::Contains(int x, int y) const {
  for (const CRect& r : rects_)
    if (r.PtInRect(CPoint(x, y))) return true;
  return false;
}

bool Region::Touches(const RECT& q) const {
  for (const CRect& r : rects_)
    if (r.left < q.right && q.left < r.right && r.top < q.bottom && q.top < r.bottom) return true;
  return false;
}

void Region::Offset(int dx, int dy) {
  for (CRect& r : rects_) {
    r.left = Clamp32(int64_t(r.left) + dx);
    r.right = Clamp32(int64_t(r.right) + dx);
    r.top = Clamp32(int64_t(r.top) + dy);
    r.bottom = Clamp32(int64_t(r.bottom) + dy);
  }
  // rectangles squeezed to nothing at the limits go
  std::erase_if(rects_, [](const CRect& r) { return r.IsRectEmpty(); });
}

namespace {
std::vector<CRect> CombineRects(const std::vector<CRect>& a, const std::vector<CRect>& b, int op) {
  BandBuilder bands;
  std::vector<int64_t> ys = Breaks(a, b);
  for (size_t k = 0; k + 1 < ys.size(); ++k) {
    std::vector<Interval> ia = BandIntervals(a, ys[k], ys[k + 1]);
    std::vector<Interval> ib = BandIntervals(b, ys[k], ys[k + 1]);
    bands.Add(ys[k], ys[k + 1], Combine(Normalise(ia), Normalise(ib), op));
  }
  return bands.Take();
}
}  // namespace

Region Region::Intersect(const Region& o) const {
  // the common case: one rectangle against a few
  if (rects_.size() == 1 && o.rects_.size() == 1) {
    const CRect &a = rects_[0], &b = o.rects_[0];
    return Region(CRect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                        std::min(a.bottom, b.bottom)));
  }
  Region r;
  r.rects_ = CombineRects(rects_, o.rects_, 0);
  return r;
}
Region Region::Union(const Region& o) const {
  Region r;
  r.rects_ = CombineRects(rects_, o.rects_, 1);
  return r;
}
Region Region::Xor(const Region& o) const {
  Region r;
  r.rects_ = CombineRects(rects_, o.rects_, 2);
  return r;
}
Region Region::Subtract(const Region& o) const {
  Region r;
  r.rects_ = CombineRects(rects_, o.rects_, 3);
  return r;
}

bool Region::operator==(const Region& o) const {
  if (rects_.size() != o.rects_.size()) return false;
  for (size_t i = 0; i < rects_.size(); ++i)
    if (rects_[i].left != o.rects_[i].left || rects_[i].top != o.rects_[i].top || rects_[i].right != o.rects_[i].right ||
        rects_[i].bottom != o.rects_[i].bottom)
      return false;
  return true;
}

}  // namespace brv
