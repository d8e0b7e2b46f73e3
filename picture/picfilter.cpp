#include "picture/picfilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "picture/basebmp.h"
#include "picture/membmp.h"
#include "picture/pixelstore.h"
#include "picture/textexception.h"

namespace {

void need32(const CBaseBmp* bmp) {
  if (bmp->GetBitsPerPixel() != 32) throw CTextException(PL_ERR_NOT_SUPPORTED, "Filter needs a 32-bit bitmap.");
}

class LockPair {
 public:
  LockPair(CBaseBmp* src, CBaseBmp* dst) : m_Src(src), m_Dst(dst) {
    m_Src->Lock(true, false);
    m_Dst->Lock(false, true);
  }
  ~LockPair() {
    m_Dst->Unlock();
    m_Src->Unlock();
  }

 private:
  CBaseBmp* m_Src;
  CBaseBmp* m_Dst;
};

// For each destination sample: the first contributing source sample and the
// weights of it and the following ones.
struct Contribution {
  int left = 0;
  std::vector<double> weights;
};

std::vector<Contribution> contributions(int n, int m, const CResizeKernel& kernel) {
  std::vector<Contribution> table(static_cast<size_t>(m));
  if (n <= 0 || m <= 0) return table;
  const double scale = double(m) / n;
  const double radius = kernel.GetRadius();
  const double support = scale >= 1 ? radius : radius / scale;
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

[[maybe_unused]] uint8_t toByte(double v) {
  v += 0.5;
  if (v <= 0) return 0;
  if (v >= 255) return 255;
  return static_cast<uint8_t>(v);
}

// A resize sum of one pixel: per channel, in memory order (blue, green,
// red, alpha), 0 + w1 * p1 + w2 * p2 + ... in the taps' order, each product
// and sum rounded to a double as it is made; then each channel's toByte.
#if defined(__SSE2__)
// Two channels a register: the same operations, lane by lane.
struct PixelSum {
  __m128d bg = _mm_setzero_pd(), ra = _mm_setzero_pd();
  void add(double weight, const CPixel32& p) {
    uint32_t bytes;
    std::memcpy(&bytes, &p, sizeof bytes);
    const __m128i zero = _mm_setzero_si128();
    const __m128i x = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(bytes)), zero), zero);
    const __m128d w = _mm_set1_pd(weight);
    bg = _mm_add_pd(bg, _mm_mul_pd(w, _mm_cvtepi32_pd(x)));
    ra = _mm_add_pd(ra, _mm_mul_pd(w, _mm_cvtepi32_pd(_mm_shuffle_epi32(x, 0x0E))));
  }
  CPixel32 pixel() const {
    // toByte: v + 0.5 kept within 0 and 255, then truncated.
    const __m128d half = _mm_set1_pd(0.5), lo = _mm_setzero_pd(), hi = _mm_set1_pd(255.0);
    auto bytes = [&](__m128d v) { return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(_mm_add_pd(v, half), lo), hi)); };
    const __m128i all = _mm_unpacklo_epi64(bytes(bg), bytes(ra));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(all, all), _mm_setzero_si128());
    const uint32_t v = uint32_t(_mm_cvtsi128_si32(packed));
    return CPixel32(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), uint8_t(v >> 24));
  }
};
#else
struct PixelSum {
  double b = 0, g = 0, r = 0, a = 0;
  void add(double weight, const CPixel32& p) {
    b += weight * p.GetB();
    g += weight * p.GetG();
    r += weight * p.GetR();
    a += weight * p.GetA();
  }
  CPixel32 pixel() const { return CPixel32(toByte(r), toByte(g), toByte(b), toByte(a)); }
};
#endif

// The taps of one destination sample with a weight other than 0: adding
// 0 * p to a sum leaves its byte as it is, so they can go.
struct Taps {
  std::vector<int> start;  // per sample, into index and weight
  std::vector<int> index;
  std::vector<double> weight;
};

Taps nonZero(const std::vector<Contribution>& table) {
  Taps t;
  for (const Contribution& c : table) {
    t.start.push_back(int(t.index.size()));
    for (size_t k = 0; k < c.weights.size(); ++k)
      if (c.weights[k] != 0) {
        t.index.push_back(c.left + int(k));
        t.weight.push_back(c.weights[k]);
      }
  }
  t.start.push_back(int(t.index.size()));
  return t;
}

// The horizontal pass of one row and the vertical pass of one row (pixel
// by pixel, its taps in order, each pixel's sum kept in registers).
template <class Sum>
void sumAlong(const CPixel32* row, const Taps& t, int nw, CPixel32* out) {
  for (int x = 0; x < nw; ++x) {
    Sum sum;
    for (int k = t.start[size_t(x)]; k < t.start[size_t(x) + 1]; ++k) sum.add(t.weight[size_t(k)], row[t.index[size_t(k)]]);
    out[x] = sum.pixel();
  }
}

template <class Sum>
void sumDown(const std::vector<const CPixel32*>& rows, const double* weights, int nw, CPixel32* out) {
  const size_t taps = rows.size();
  for (int x = 0; x < nw; ++x) {
    Sum sum;
    for (size_t k = 0; k < taps; ++k) sum.add(weights[k], rows[k][x]);
    out[x] = sum.pixel();
  }
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define BRIVANTA_RESIZE_AVX2 1
#pragma GCC push_options
#pragma GCC target("avx2")
// All four channels a register: the very products and sums of PixelSum
// (no fused multiply-add: the target leaves it out).
struct PixelSum4 {
  __m256d v;
  PixelSum4() : v(_mm256_setzero_pd()) {}
  void add(double weight, const CPixel32& p) {
    int bytes;
    std::memcpy(&bytes, &p, sizeof bytes);
    const __m256d x = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(bytes)));
    v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_set1_pd(weight), x));
  }
  CPixel32 pixel() const {
    const __m256d lo = _mm256_setzero_pd(), hi = _mm256_set1_pd(255.0), half = _mm256_set1_pd(0.5);
    const __m128i all = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_add_pd(v, half), lo), hi));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(all, all), _mm_setzero_si128());
    const uint32_t b = uint32_t(_mm_cvtsi128_si32(packed));
    return CPixel32(uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b), uint8_t(b >> 24));
  }
};

// sumAlong and sumDown on PixelSum4 (a template made outside this target
// could not take its instructions).
void sumAlongAvx2(const CPixel32* row, const Taps& t, int nw, CPixel32* out) {
  for (int x = 0; x < nw; ++x) {
    PixelSum4 sum;
    for (int k = t.start[size_t(x)]; k < t.start[size_t(x) + 1]; ++k) sum.add(t.weight[size_t(k)], row[t.index[size_t(k)]]);
    out[x] = sum.pixel();
  }
}

void sumDownAvx2(const std::vector<const CPixel32*>& rows, const double* weights, int nw, CPixel32* out) {
  const size_t taps = rows.size();
  for (int x = 0; x < nw; ++x) {
    PixelSum4 sum;
    for (size_t k = 0; k < taps; ++k) sum.add(weights[k], rows[k][x]);
    out[x] = sum.pixel();
  }
}
#pragma GCC pop_options
#endif

bool& wideSumsAllowed() {
  static bool allowed = true;
  return allowed;
}

bool wideSums() {
#if defined(BRIVANTA_RESIZE_AVX2)
  static const bool there = __builtin_cpu_supports("avx2");
  return there && wideSumsAllowed();
#else
  return false;
#endif
}

void sumRow(const CPixel32* row, const Taps& t, int nw, CPixel32* out) {
#if defined(BRIVANTA_RESIZE_AVX2)
  if (wideSums()) return sumAlongAvx2(row, t, nw, out);
#endif
  sumAlong<PixelSum>(row, t, nw, out);
}

void sumRows(const std::vector<const CPixel32*>& rows, const double* weights, int nw, CPixel32* out) {
#if defined(BRIVANTA_RESIZE_AVX2)
  if (wideSums()) return sumDownAvx2(rows, weights, nw, out);
#endif
  sumDown<PixelSum>(rows, weights, nw, out);
}

// One tap of weight 1 on the same sample everywhere: 0 + 1 * p rounds back
// to p, so the pass is a copy.
bool isIdentity(const Taps& t, int n, int m) {
  if (n != m) return false;
  for (size_t i = 0; i < size_t(m); ++i)
    if (t.start[i + 1] - t.start[i] != 1 || t.index[size_t(t.start[i])] != int(i) || t.weight[size_t(t.start[i])] != 1.0)
      return false;
  return true;
}

// Copies pixel x of src row to pixel dx of dst row at any depth.
void copyPixel(const uint8_t* srcRow, int x, uint8_t* dstRow, int dx, int bpp) {
  if (bpp >= 8) {
    std::memcpy(dstRow + size_t(dx) * (bpp / 8), srcRow + size_t(x) * (bpp / 8), size_t(bpp / 8));
    return;
  }
  const int perByte = 8 / bpp;
  const int mask = (1 << bpp) - 1;
  int sShift = 8 - bpp * (x % perByte + 1);
  int dShift = 8 - bpp * (dx % perByte + 1);
  int v = (srcRow[x / perByte] >> sShift) & mask;
  uint8_t& d = dstRow[dx / perByte];
  d = static_cast<uint8_t>((d & ~(mask << dShift)) | (v << dShift));
}

}  // namespace

void CPicFilter::ApplyInPlace(CBaseBmp* bmp) const {
  CMemBmp scratch;
  Apply(bmp, &scratch);
  bmp->CreateCopy(scratch);
}

void CPicFilter::Apply(CBaseBmp* src, CBaseBmp* dst) const {
  if (src != dst) dst->CreateCopy(*src);
  ApplyInPlace(dst);
}

bool CPicFilter::appliedInPlace(CBaseBmp* src, CBaseBmp* dst) const {
  if (src != dst) return false;
  ApplyInPlace(src);
  return true;
}

double CTriangleKernel::Weight(double x) const {
  double ax = std::fabs(x);
  return ax < GetRadius() ? GetRadius() - ax : 0.0;
}

// Both passes sum each pixel's sources in order from zero, so the bytes do
// not depend on the pass running along rows; the vertical one does, for
// the cache.
void CPicResizeFilter::Apply(CBaseBmp* src, CBaseBmp* dst) const {
  if (appliedInPlace(src, dst)) return;
  need32(src);
  const int w = src->GetWidth();
  const int h = src->GetHeight();
  const int nw = std::max(0, m_NewWidth);
  const int nh = std::max(0, m_NewHeight);
  dst->Create(nw, nh, src->GetBitsPerPixel(), src->HasAlpha());
  LockPair lock(src, dst);

  // The mid picture keeps bytes between the passes; a pass that only copies
  // leaves the source's rows as they are.
  const Taps horizontal = nonZero(contributions(w, nw, m_Kernel));
  const bool copyRows = isIdentity(horizontal, w, nw);
  std::unique_ptr<uint8_t, void (*)(uint8_t*)> midBlock(nullptr, pixelstore::release);
  if (!copyRows) {
    midBlock.reset(pixelstore::allocateZeroed(sizeof(CPixel32) * size_t(nw) * size_t(h)));
    if (!midBlock) throw std::bad_alloc();
  }
  CPixel32* const mid = reinterpret_cast<CPixel32*>(midBlock.get());
  auto midRow = [&](int y) {
    return copyRows ? reinterpret_cast<const CPixel32*>(src->GetLine(y)) : mid + size_t(y) * nw;
  };
  for (int y = 0; y < h; ++y) {
    if (m_Callback && !m_Callback(double(y) / h * 50, m_Context)) return;
    if (copyRows) continue;
    sumRow(reinterpret_cast<const CPixel32*>(src->GetLine(y)), horizontal, nw, mid + size_t(y) * nw);
  }

  const Taps vertical = nonZero(contributions(h, nh, m_Kernel));
  if (isIdentity(vertical, h, nh)) {
    // One tap of weight 1 a row: the rows as they are.
    for (int y = 0; y < nh; ++y) {
      if (m_Callback && !m_Callback(50 + double(y) / nh * 50, m_Context)) return;
      std::memcpy(dst->GetLine(y), midRow(y), sizeof(CPixel32) * size_t(nw));
    }
    return;
  }
  std::vector<const CPixel32*> rows;
  for (int y = 0; y < nh; ++y) {
    if (m_Callback && !m_Callback(50 + double(y) / nh * 50, m_Context)) return;
    rows.clear();
    for (int k = vertical.start[size_t(y)]; k < vertical.start[size_t(y) + 1]; ++k)
      rows.push_back(midRow(vertical.index[size_t(k)]));
    sumRows(rows, vertical.weight.data() + vertical.start[size_t(y)], nw,
            reinterpret_cast<CPixel32*>(dst->GetLine(y)));
  }
}

struct CBilinearRows::Rows {
  const CBaseBmp* src = nullptr;
  int nw = 0;
  Taps horizontal, vertical;
  bool copyRows = false, keepRows = false;
  // Horizontally resized source rows, source row r in slot r % slots.
  int slots = 1;
  std::vector<CPixel32> mid;
  std::vector<int> midRow;
  std::vector<const CPixel32*> rows;
  std::vector<CPixel32> out;

  const CPixel32* sourceRow(int r) const { return reinterpret_cast<const CPixel32*>(src->GetLine(r)); }
  // Source row r as the horizontal pass of the resize makes it.
  const CPixel32* middle(int r) {
    if (copyRows) return sourceRow(r);
    const int slot = r % slots;
    CPixel32* m = mid.data() + size_t(slot) * size_t(nw);
    if (midRow[size_t(slot)] != r) {
      sumRow(sourceRow(r), horizontal, nw, m);
      midRow[size_t(slot)] = r;
    }
    return m;
  }
};

CBilinearRows::CBilinearRows(const CBaseBmp& src, int newWidth, int newHeight) : m_Rows(std::make_unique<Rows>()) {
  need32(&src);
  Rows& r = *m_Rows;
  const int w = src.GetWidth(), h = src.GetHeight();
  const int nw = std::max(0, newWidth), nh = std::max(0, newHeight);
  CTriangleKernel kernel(1.0);
  r.src = &src;
  r.nw = nw;
  r.horizontal = nonZero(contributions(w, nw, kernel));
  r.vertical = nonZero(contributions(h, nh, kernel));
  r.copyRows = isIdentity(r.horizontal, w, nw);
  r.keepRows = isIdentity(r.vertical, h, nh);
  // A row's taps are consecutive source rows: as many slots as the most
  // taps of a row never evict one that row still reads.
  for (int y = 0; y < nh; ++y)
    r.slots = std::max(r.slots, r.vertical.start[size_t(y) + 1] - r.vertical.start[size_t(y)]);
  if (!r.copyRows) {
    r.mid.resize(size_t(r.slots) * size_t(nw));
    r.midRow.assign(size_t(r.slots), -1);
  }
  r.out.resize(size_t(nw));
}

CBilinearRows::~CBilinearRows() = default;

const CPixel32* CBilinearRows::Row(int y) {
  Rows& r = *m_Rows;
  if (r.keepRows) return r.middle(y);
  // The row's taps are consecutive source rows, each in a slot of its own.
  r.rows.clear();
  for (int k = r.vertical.start[size_t(y)]; k < r.vertical.start[size_t(y) + 1]; ++k)
    r.rows.push_back(r.middle(r.vertical.index[size_t(k)]));
  sumRows(r.rows, r.vertical.weight.data() + r.vertical.start[size_t(y)], r.nw, r.out.data());
  return r.out.data();
}

void CPicCropFilter::Apply(CBaseBmp* src, CBaseBmp* dst) const {
  if (appliedInPlace(src, dst)) return;
  const int w = std::max(0, m_Right - m_Left);
  const int h = std::max(0, m_Bottom - m_Top);
  const int bpp = src->GetBitsPerPixel();
  dst->Create(w, h, static_cast<uint16_t>(bpp), src->HasAlpha());
  if (bpp <= 8) dst->SetPalette(src->GetPalette());
  LockPair lock(src, dst);
  // Only the part that lies inside the source is copied; the rest stays zero.
  const int x0 = std::max(m_Left, 0), x1 = std::min(m_Left + w, src->GetWidth());
  const int y0 = std::max(m_Top, 0), y1 = std::min(m_Top + h, src->GetHeight());
  for (int y = y0; y < y1; ++y) {
    const uint8_t* s = src->GetLine(y);
    uint8_t* d = dst->GetLine(y - m_Top);
    if (bpp >= 8 && x1 > x0)
      std::memcpy(d + size_t(x0 - m_Left) * (bpp / 8), s + size_t(x0) * (bpp / 8), size_t(x1 - x0) * (bpp / 8));
    else
      for (int x = x0; x < x1; ++x) copyPixel(s, x, d, x - m_Left, bpp);
  }
}

void CPicRotateFilter::Apply(CBaseBmp* src, CBaseBmp* dst) const {
  if (appliedInPlace(src, dst)) return;
  need32(src);
  const int w = src->GetWidth();
  const int h = src->GetHeight();
  if (w == 0 || h == 0) {
    dst->Create(h, w, src->GetBitsPerPixel(), src->HasAlpha());
    return;
  }
  const double c = std::cos(-m_Angle);
  const double s = std::sin(-m_Angle);
  // Rounding to nearest (not toward zero) keeps quarter turns exact.
  auto round = [](double v) { return static_cast<int>(std::floor(v + 0.5)); };
  int minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool first = true;
  for (int cy : {0, h - 1}) {
    for (int cx : {0, w - 1}) {
      int X = round(cx * c - cy * s);
      int Y = round(cx * s + cy * c);
      if (first) {
        minX = maxX = X;
        minY = maxY = Y;
        first = false;
      }
      minX = std::min(minX, X);
      maxX = std::max(maxX, X);
      minY = std::min(minY, Y);
      maxY = std::max(maxY, Y);
    }
  }
  const int nw = maxX - minX + 1;
  const int nh = maxY - minY + 1;
  dst->Create(nw, nh, src->GetBitsPerPixel(), src->HasAlpha());
  LockPair lock(src, dst);
  for (int v = 0; v < nh; ++v) {
    CPixel32* d = reinterpret_cast<CPixel32*>(dst->GetLine(v));
    const int Y = minY + v;
    for (int u = 0; u < nw; ++u) {
      const int X = minX + u;
      int xs = round(X * c + Y * s);
      int ys = round(Y * c - X * s);
      d[u] = (xs >= 0 && xs < w && ys >= 0 && ys < h) ? src->GetPixel(xs, ys) : m_Fill;
    }
  }
}

void CPicResizeFilter::AllowWideRegisters(bool allow) { wideSumsAllowed() = allow; }
