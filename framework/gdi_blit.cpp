// Blocks of pixels: BitBlt, PatBlt, StretchBlt and the DIB calls.
#include <algorithm>
#include <cstring>

#include "framework/gdi_dc_impl.h"

using namespace brv::gdi;
using brv::Region;

namespace {

// Where a destination pixel takes its source: source pixel i x n / m of n
// source pixels onto m destination pixels, dropping or repeating whole
// pixels (mirrored when the signs differ).
struct Axis {
  int64_t dst0 = 0, dstLen = 0;  // destination start and length (> 0)
  int64_t src0 = 0, srcLen = 0;  // source start and length (> 0)
  bool mirror = false;
  int64_t SourceOf(int64_t i) const {  // i in [0, dstLen)
    int64_t s = int64_t((__int128(i) * srcLen) / dstLen);
    return mirror ? src0 + srcLen - 1 - s : src0 + s;
  }
};

bool MakeAxis(int64_t dst, int64_t dstLen, int64_t src, int64_t srcLen, Axis* a) {
  if (dstLen == 0 || srcLen == 0) return false;
  a->mirror = (dstLen < 0) != (srcLen < 0);
  if (dstLen < 0) dst += dstLen, dstLen = -dstLen;
  if (srcLen < 0) src += srcLen, srcLen = -srcLen;
  a->dst0 = dst, a->dstLen = dstLen, a->src0 = src, a->srcLen = srcLen;
  return true;
}

// How a source pixel becomes a colour on this target.
struct SourceReader {
  const brv::Surface* s = nullptr;
  bool mono = false;        // 1-bit source: 0 -> text colour, 1 -> background colour
  uint32_t zero = 0, one = 0xFFFFFF;
  bool monoTarget = false;  // colour source onto 1-bit target: background -> 1
  uint32_t sourceBk = 0xFFFFFF;
  uint32_t Read(int64_t x, int64_t y) const {
    uint32_t p = s->Pixel(int(x), int(y)) & 0xFFFFFF;
    if (mono) return p ? one : zero;
    if (monoTarget) return p == sourceBk ? 0xFFFFFF : 0;
    return p;
  }
};

// Applies the raster operation over the destination rectangle with the
// source (optional) sampled through the two axes.
template <class Src>
void Blit(CDC::Impl& d, const Axis& ax, const Axis& ay, DWORD rop, Src&& source, bool hasSource) {
  const unsigned index = (rop >> 16) & 0xFF;
  const bool usesPattern = ((index >> 4) & 0x0F) != (index & 0x0F);
  const Brush& b = *d.st.brush;
  const bool solidPattern = b.style == BS_SOLID || b.style == BS_NULL;
  const uint32_t solid = b.style == BS_SOLID ? d.Ink(b.color) : 0;
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  const CRect& box = t.Box();
  const int64_t y0 = std::max<int64_t>(ay.dst0, box.top), y1 = std::min<int64_t>(ay.dst0 + ay.dstLen, box.bottom);
  std::vector<int64_t> xs(size_t(std::max<int64_t>(0, std::min<int64_t>(ax.dst0 + ax.dstLen, box.right) -
                                                          std::max<int64_t>(ax.dst0, box.left))));
  const int64_t xStart = std::max<int64_t>(ax.dst0, box.left);
  for (size_t k = 0; k < xs.size(); ++k) xs[k] = ax.SourceOf(xStart + int64_t(k) - ax.dst0);
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t sy = hasSource ? ay.SourceOf(y - ay.dst0) : 0;
    if (hasSource && !source.RowValid(sy)) continue;
    t.Span(y, ax.dst0, ax.dst0 + ax.dstLen, [&](uint32_t& px, int x, int yy) {
      uint32_t s = 0;
      if (hasSource) {
        int64_t sx = xs[size_t(x - xStart)];
        if (!source.Valid(sx)) return;
        s = source.Get(sx, sy);
      }
      uint32_t p = solid;
      if (usesPattern && !solidPattern && !d.BrushPixel(b, x, yy, &p)) p = px;
      switch (index) {
        case 0xCC: px = s; break;  // SRCCOPY
        case 0xF0: px = p; break;  // PATCOPY
        case 0x55: px = ~px & 0xFFFFFF; break;
        case 0x00: px = 0; break;
        case 0xFF: px = 0xFFFFFF; break;
        case 0x66: px = (px ^ s) & 0xFFFFFF; break;
        case 0x88: px = px & s & 0xFFFFFF; break;
        case 0xEE: px = (px | s) & 0xFFFFFF; break;
        default: px = Rop3(index, p, s, px); break;
      }
    });
  }
}

struct SurfaceSource {
  SourceReader reader;
  int w, h;
  bool RowValid(int64_t y) const { return y >= 0 && y < h; }
  bool Valid(int64_t x) const { return x >= 0 && x < w; }
  uint32_t Get(int64_t x, int64_t y) const { return reader.Read(x, y); }
};

SourceReader ReaderFor(CDC::Impl& target, CDC::Impl& source) {
  SourceReader r;
  r.s = source.surface;
  if (source.Mono() && !target.Mono()) {
    r.mono = true;
    r.zero = target.Ink(target.st.text);
    r.one = target.Ink(target.st.bk);
  } else if (!source.Mono() && target.Mono()) {
    r.monoTarget = true;
    r.sourceBk = brv::PixelOf(source.st.bk);
  }
  return r;
}

}  // namespace

BOOL CDC::BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop) {
  return StretchBlt(x, y, width, height, source, xSrc, ySrc, width, height, rop);
}

BOOL CDC::PatBlt(int x, int y, int width, int height, DWORD rop) {
  Impl& d = *impl_;
  if (!d.surface) return FALSE;
  Axis ax, ay;
  if (!MakeAxis(d.X(x), width, 0, 1, &ax) || !MakeAxis(d.Y(y), height, 0, 1, &ay)) return TRUE;
  DrawScope scope(&d);
  struct None {
    bool RowValid(int64_t) const { return true; }
    bool Valid(int64_t) const { return true; }
    uint32_t Get(int64_t, int64_t) const { return 0; }
  } none;
  Blit(d, ax, ay, rop, none, false);
  return TRUE;
}

BOOL CDC::StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, int srcWidth,
                     int srcHeight, DWORD rop) {
  Impl& d = *impl_;
  if (!d.surface) return FALSE;
  const unsigned index = (rop >> 16) & 0xFF;
  const bool needsSource = ((index >> 2) & 0x33) != (index & 0x33);
  if (!needsSource) return PatBlt(x, y, width, height, rop);
  if (!source || !source->impl_->surface) return FALSE;
  Impl& s = *source->impl_;
  Axis ax, ay;
  if (!MakeAxis(d.X(x), width, s.X(xSrc), srcWidth, &ax) || !MakeAxis(d.Y(y), height, s.Y(ySrc), srcHeight, &ay))
    return TRUE;
  if (s.memory && s.st.bitmap) s.st.bitmap->ImportDib();
  // a source that is also the target is read from a copy
  brv::Surface copy;
  const brv::Surface* from = s.surface;
  if (from == d.surface) {
    copy = *from;
    from = &copy;
  }
  DrawScope scope(&d);
  SurfaceSource src{ReaderFor(d, s), from->Width(), from->Height()};
  src.reader.s = from;
  Blit(d, ax, ay, rop, src, true);
  return TRUE;
}

// ---------------------------------------------------------------- DIBs

namespace {

// A DIB's rows read lazily: uncompressed rows straight from the caller's
// memory, compressed ones decoded once.
struct DibSource {
  DibImage img;
  const uint8_t* rows = nullptr;
  size_t rowBytes = 0;
  int firstScan = 0, scanCount = 0;  // scan lines present (from the bottom unless top-down)
  bool decoded = false;
  // source rows are in image order (0 = top)
  bool RowValid(int64_t y) const {
    if (y < 0 || y >= img.height) return false;
    int64_t scan = img.topDown ? y : img.height - 1 - y;
    return scan >= firstScan && scan < int64_t(firstScan) + scanCount;
  }
  bool Valid(int64_t x) const { return x >= 0 && x < img.width; }
  uint32_t Get(int64_t x, int64_t y) const {
    if (decoded) return img.Pixel(int(x), int(y));
    int64_t scan = img.topDown ? y : img.height - 1 - y;
    const uint8_t* row = rows + size_t(scan - firstScan) * rowBytes;
    switch (img.bitsPerPixel) {
      case 32: {
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        return v & 0xFFFFFF;
      }
      case 24: return (uint32_t(row[3 * x + 2]) << 16) | (uint32_t(row[3 * x + 1]) << 8) | row[3 * x];
      default: return 0;
    }
  }
};

// Reads the header and the rows given (scanCount lines from firstScan).
bool LoadDib(const void* bits, const BITMAPINFO* info, int firstScan, int scanCount, DibSource* out) {
  if (!info || !bits) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const size_t infoBytes = DibInfoBytes(h);
  if (!infoBytes) return false;
  const bool rle = h.biSize >= 40 && (h.biCompression == BI_RLE4 || h.biCompression == BI_RLE8);
  // only the rows present are read
  BITMAPINFOHEADER part = h;
  std::vector<uint8_t> head(reinterpret_cast<const uint8_t*>(info), reinterpret_cast<const uint8_t*>(info) + infoBytes);
  out->firstScan = firstScan;
  out->scanCount = scanCount;
  size_t rowsBytes = DibRowsBytes(h);
  if (!rle && h.biSize >= 40) {
    int64_t fullHeight = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
    if (scanCount <= 0 || firstScan < 0 || firstScan >= fullHeight) return false;
    out->scanCount = int(std::min<int64_t>(scanCount, fullHeight - firstScan));
    part.biHeight = h.biHeight < 0 ? -out->scanCount : out->scanCount;
    std::memcpy(head.data(), &part, sizeof part);
    rowsBytes = DibRowsBytes(part);
  } else {
    out->firstScan = 0;
    out->scanCount = INT32_MAX;
  }
  const bool direct = !rle && h.biSize >= 40 && h.biCompression == BI_RGB && (h.biBitCount == 32 || h.biBitCount == 24);
  // the direct formats are only checked here, not copied
  if (direct) {
    if (!ParseDib(head.data(), head.size(), static_cast<const uint8_t*>(bits), rowsBytes, &out->img, nullptr,
                  uint64_t(1) << 40, false))
      return false;
    out->img.width = h.biWidth;
    out->img.height = int(h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight);
    out->img.bitsPerPixel = h.biBitCount;
    out->img.topDown = h.biHeight < 0;
    if (out->img.width <= 0 || out->img.height <= 0) return false;
    out->rows = static_cast<const uint8_t*>(bits);
    out->rowBytes = ((size_t(h.biWidth) * h.biBitCount + 31) / 32) * 4;
    return true;
  }
  if (!ParseDib(head.data(), head.size(), static_cast<const uint8_t*>(bits), rowsBytes, &out->img, nullptr))
    return false;
  out->decoded = true;
  if (!rle && h.biSize >= 40) {
    // the decoded part holds only the scan lines given; address it as the full image
    int64_t fullHeight = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
    DibImage full;
    full.width = out->img.width;
    full.height = int(fullHeight);
    full.bitsPerPixel = out->img.bitsPerPixel;
    full.topDown = out->img.topDown;
    full.colours = out->img.colours;
    size_t n = size_t(full.width) * size_t(full.height);
    if (full.bitsPerPixel <= 8) full.indices.assign(n, 0); else full.pixels.assign(n, 0);
    for (int r = 0; r < out->img.height; ++r) {
      int64_t scan = out->firstScan + (out->img.topDown ? r : out->img.height - 1 - r);
      int64_t y = full.topDown ? scan : fullHeight - 1 - scan;
      size_t from = size_t(r) * size_t(full.width), to = size_t(y) * size_t(full.width);
      if (full.bitsPerPixel <= 8)
        std::copy_n(out->img.indices.begin() + ptrdiff_t(from), full.width, full.indices.begin() + ptrdiff_t(to));
      else
        std::copy_n(out->img.pixels.begin() + ptrdiff_t(from), full.width, full.pixels.begin() + ptrdiff_t(to));
    }
    out->img = std::move(full);
  }
  return true;
}

}  // namespace

int CDC::StretchDIBits(int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth, int srcHeight,
                       const void* bits, const BITMAPINFO* info, UINT, DWORD rop) {
  Impl& d = *impl_;
  if (!d.surface || !info) return 0;
  const int64_t fullHeight = info->bmiHeader.biSize == 12
                                 ? reinterpret_cast<const BITMAPCOREHEADER*>(info)->bcHeight
                                 : (info->bmiHeader.biHeight < 0 ? -int64_t(info->bmiHeader.biHeight) : info->bmiHeader.biHeight);
  DibSource src;
  if (!LoadDib(bits, info, 0, int(std::min<int64_t>(fullHeight, INT32_MAX)), &src)) return 0;
  // the source rectangle counts y from the bottom row of a bottom-up DIB
  int64_t top = src.img.topDown ? ySrc : int64_t(src.img.height) - ySrc - srcHeight;
  Axis ax, ay;
  if (!MakeAxis(d.X(x), width, xSrc, srcWidth, &ax) || !MakeAxis(d.Y(y), height, top, srcHeight, &ay))
    return src.img.height;
  DrawScope scope(&d);
  const unsigned index = (rop >> 16) & 0xFF;
  if (index == 0xCC && src.rows && !d.Mono()) {
    // copies of 24- and 32-bit rows: each destination row reads one source
    // row through a table of source columns
    Target t(*d.surface, d.Clip(), d.BoundsSink());
    const CRect& box = t.Box();
    const int64_t x0 = std::max<int64_t>(ax.dst0, box.left), x1 = std::min<int64_t>(ax.dst0 + ax.dstLen, box.right);
    if (x0 >= x1) return src.img.height;
    std::vector<int32_t> cols(size_t(x1 - x0));
    for (int64_t x = x0; x < x1; ++x) {
      int64_t sx = ax.SourceOf(x - ax.dst0);
      cols[size_t(x - x0)] = sx >= 0 && sx < src.img.width ? int32_t(sx) : -1;
    }
    const int bpp = src.img.bitsPerPixel;
    const int64_t y0 = std::max<int64_t>(ay.dst0, box.top), y1 = std::min<int64_t>(ay.dst0 + ay.dstLen, box.bottom);
    for (int64_t yy = y0; yy < y1; ++yy) {
      int64_t sy = ay.SourceOf(yy - ay.dst0);
      if (!src.RowValid(sy)) continue;
      int64_t scan = src.img.topDown ? sy : src.img.height - 1 - sy;
      const uint8_t* row = src.rows + size_t(scan - src.firstScan) * src.rowBytes;
      t.Span(yy, x0, x1, [&](uint32_t& px, int xx, int) {
        int32_t c = cols[size_t(xx - x0)];
        if (c < 0) return;
        if (bpp == 32) {
          uint32_t v;
          std::memcpy(&v, row + 4 * size_t(c), 4);
          px = v & 0xFFFFFF;
        } else {
          const uint8_t* p = row + 3 * size_t(c);
          px = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
      });
    }
    return src.img.height;
  }
  if (d.Mono()) {
    // colours onto a 1-bit bitmap: white stays white
    struct MonoSrc {
      DibSource& s;
      bool RowValid(int64_t y) const { return s.RowValid(y); }
      bool Valid(int64_t x) const { return s.Valid(x); }
      uint32_t Get(int64_t x, int64_t y) const { return s.Get(x, y) == 0xFFFFFF ? 0xFFFFFF : 0; }
    } mono{src};
    Blit(d, ax, ay, rop, mono, true);
  } else {
    Blit(d, ax, ay, rop, src, true);
  }
  return src.img.height;
}

int CDC::SetDIBitsToDevice(int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                           UINT scanLines, const void* bits, const BITMAPINFO* info, UINT) {
  Impl& d = *impl_;
  if (!d.surface || !info || scanLines == 0) return 0;
  DibSource src;
  if (!LoadDib(bits, info, int(std::min<UINT>(startScan, INT32_MAX)), int(std::min<UINT>(scanLines, INT32_MAX)), &src))
    return 0;
  int64_t w = std::min<DWORD>(width, INT32_MAX), h = std::min<DWORD>(height, INT32_MAX);
  int64_t top = src.img.topDown ? ySrc : int64_t(src.img.height) - ySrc - h;
  Axis ax, ay;
  if (!MakeAxis(d.X(x), w, xSrc, w, &ax) || !MakeAxis(d.Y(y), h, top, h, &ay)) return 0;
  DrawScope scope(&d);
  Blit(d, ax, ay, SRCCOPY, src, true);
  return int(std::min<int64_t>(src.scanCount, src.img.height));
}
