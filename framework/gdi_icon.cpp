// Icons and cursors: the ICO and CUR reader, the icon objects and their
// drawing (DrawIcon, DrawState).
#include <algorithm>
#include <cstring>

#include "framework/gdi_dc_impl.h"

using namespace brv::gdi;

namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// Largest side of an icon image read.
constexpr int kMaxIconSide = 1024;

bool ReadImage(std::span<const uint8_t> data, int n, bool cursor, CPoint hotspot, brv::IconImage* out,
               std::string* error) {
  const std::string which = "image " + std::to_string(n) + ": ";
  if (data.size() < 40) return Fail(error, which + "bitmap header past the image data");
  uint32_t headerSize = Le32(data.data());
  if (headerSize < 40 || headerSize > data.size()) return Fail(error, which + "bad bitmap header");
  int32_t width = int32_t(Le32(data.data() + 4)), height2 = int32_t(Le32(data.data() + 8));
  uint16_t planes = Le16(data.data() + 12), bits = Le16(data.data() + 14);
  uint32_t compression = Le32(data.data() + 16);
  if (width <= 0 || height2 <= 0 || width > kMaxIconSide || height2 > 2 * kMaxIconSide)
    return Fail(error, which + "bad image size");
  if (planes > 1) return Fail(error, which + "bad bitmap header");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return Fail(error, which + "unsupported bits per pixel");
  if (compression != BI_RGB) return Fail(error, which + "compressed images are not read");
  // the header's height counts the colour rows and the mask rows
  const int height = height2 / 2 > 0 ? height2 / 2 : height2;
  std::vector<uint8_t> head(data.begin(), data.begin() + headerSize);
  int32_t h = height;
  std::memcpy(head.data() + 8, &h, 4);
  uint16_t one = 1;
  std::memcpy(head.data() + 12, &one, 2);
  uint32_t clrUsed = Le32(data.data() + 32);
  size_t colours = bits <= 8 ? (clrUsed ? clrUsed : (size_t(1) << bits)) : 0;
  if (bits <= 8 && colours > (size_t(1) << bits)) return Fail(error, which + "more colours than the depth allows");
  size_t tableEnd = headerSize + 4 * colours;
  if (tableEnd > data.size()) return Fail(error, which + "colour table past the image data");
  head.insert(head.end(), data.begin() + ptrdiff_t(headerSize), data.begin() + ptrdiff_t(tableEnd));
  const size_t xorRow = ((size_t(width) * bits + 31) / 32) * 4, andRow = ((size_t(width) + 31) / 32) * 4;
  const size_t xorBytes = xorRow * size_t(height), andBytes = andRow * size_t(height);
  if (tableEnd + xorBytes > data.size()) return Fail(error, which + "pixels past the image data");
  DibImage img;
  std::string why;
  if (!ParseDib(head.data(), head.size(), data.data() + tableEnd, xorBytes, &img, &why))
    return Fail(error, which + why);
  out->width = width;
  out->height = height;
  out->bitsPerPixel = bits;
  out->hotspot = cursor ? hotspot : CPoint(0, 0);
  out->pixels.resize(size_t(width) * size_t(height));
  out->mask.assign(size_t(width) * size_t(height), 0);
  out->alpha.clear();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out->pixels[size_t(y) * size_t(width) + size_t(x)] = img.Pixel(x, y);
  if (bits == 32) {
    // the alpha bytes are the fourth of each pixel, rows bottom up
    std::vector<uint8_t> alpha(size_t(width) * size_t(height));
    bool any = false;
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = data.data() + tableEnd + size_t(height - 1 - y) * xorRow;
      for (int x = 0; x < width; ++x) {
        alpha[size_t(y) * size_t(width) + size_t(x)] = row[4 * x + 3];
        any = any || row[4 * x + 3];
      }
    }
    if (any) out->alpha = std::move(alpha);
  }
  // a missing AND mask is allowed where alpha gives the shape
  const size_t maskStart = tableEnd + xorBytes;
  if (maskStart + andBytes > data.size()) {
    if (out->alpha.empty()) return Fail(error, which + "mask past the image data");
    for (size_t i = 0; i < out->mask.size(); ++i) out->mask[i] = out->alpha[i] ? 0 : 1;
    return true;
  }
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = data.data() + maskStart + size_t(height - 1 - y) * andRow;
    for (int x = 0; x < width; ++x) out->mask[size_t(y) * size_t(width) + size_t(x)] = (row[x / 8] >> (7 - x % 8)) & 1;
  }
  return true;
}

}  // namespace

namespace brv {

bool ReadIconFile(std::span<const uint8_t> data, bool cursor, std::vector<IconImage>* images, std::string* error) {
  if (images) images->clear();
  if (data.size() < 6) return Fail(error, "file too short");
  if (Le16(data.data()) != 0) return Fail(error, cursor ? "not a cursor file" : "not an icon file");
  uint16_t type = Le16(data.data() + 2), count = Le16(data.data() + 4);
  if (type != (cursor ? 2 : 1)) return Fail(error, cursor ? "not a cursor file" : "not an icon file");
  if (count == 0) return Fail(error, "no images");
  if (6 + size_t(count) * 16 > data.size()) return Fail(error, "directory past the end of the file");
  std::vector<IconImage> found;
  bool png = false;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = data.data() + 6 + size_t(i) * 16;
    uint32_t size = Le32(e + 8), offset = Le32(e + 12);
    if (uint64_t(offset) + size > data.size() || size == 0)
      return Fail(error, "image " + std::to_string(i) + " past the end of the file");
    std::span<const uint8_t> image = data.subspan(offset, size);
    if (size >= 8 && image[0] == 0x89 && image[1] == 'P' && image[2] == 'N' && image[3] == 'G') {
      png = true;  // PNG images are not read
      continue;
    }
    IconImage img;
    CPoint hotspot(Le16(e + 4), Le16(e + 6));
    if (!ReadImage(image, i, cursor, hotspot, &img, error)) return false;
    found.push_back(std::move(img));
  }
  if (found.empty()) return Fail(error, png ? "only PNG images, which are not read" : "no images");
  if (images) *images = std::move(found);
  return true;
}

HICON CreateIconFromImage(const IconImage& image, bool cursor) {
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() != size_t(image.width) * size_t(image.height) || image.mask.size() != image.pixels.size())
    return nullptr;
  auto icon = std::make_shared<Icon>();
  icon->image = image;
  icon->cursor = cursor;
  return reinterpret_cast<HICON>(Register(icon, nullptr));
}

HICON CreateIconFromFile(std::span<const uint8_t> data, bool cursor, int width, int height, std::string* error) {
  std::vector<IconImage> images;
  if (!ReadIconFile(data, cursor, &images, error)) return nullptr;
  // the nearest size, then the deepest colours
  if (width <= 0) width = images.front().width;
  if (height <= 0) height = images.front().height;
  const IconImage* best = nullptr;
  int64_t bestScore = 0;
  for (const IconImage& img : images) {
    int64_t score = (std::abs(int64_t(img.width) - width) + std::abs(int64_t(img.height) - height)) * 1000 - img.bitsPerPixel;
    if (!best || score < bestScore) best = &img, bestScore = score;
  }
  return CreateIconFromImage(*best, cursor);
}

const IconImage* IconImageOf(HICON icon) {
  auto i = LookupAs<Icon>(icon, Kind::kIcon);
  return i ? &i->image : nullptr;  // the table keeps it alive until DestroyIcon
}

}  // namespace brv

BOOL DestroyIcon(HICON icon) {
  if (!LookupAs<Icon>(icon, Kind::kIcon)) return FALSE;
  return Delete(icon);
}
BOOL DestroyCursor(HCURSOR cursor) { return DestroyIcon(cursor); }

HICON CopyIcon(HICON icon) {
  auto i = LookupAs<Icon>(icon, Kind::kIcon);
  return i ? brv::CreateIconFromImage(i->image, i->cursor) : nullptr;
}

BOOL GetIconInfo(HICON icon, ICONINFO* info) {
  auto i = LookupAs<Icon>(icon, Kind::kIcon);
  if (!i || !info) return FALSE;
  const brv::IconImage& img = i->image;
  CBitmap mask, colour;
  mask.CreateBitmap(img.width, img.height, 1, 1, nullptr);
  colour.CreateBitmap(img.width, img.height, 1, 32, nullptr);
  brv::Surface* ms = brv::BitmapSurface(mask);
  brv::Surface* cs = brv::BitmapSurface(colour);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) {
      size_t k = size_t(y) * size_t(img.width) + size_t(x);
      ms->SetPixel(x, y, img.mask[k] ? 0xFFFFFF : 0);
      cs->SetPixel(x, y, img.pixels[k]);
    }
  info->fIcon = !i->cursor;
  info->xHotspot = DWORD(img.hotspot.x);
  info->yHotspot = DWORD(img.hotspot.y);
  info->hbmMask = static_cast<HBITMAP>(mask.Detach());
  info->hbmColor = static_cast<HBITMAP>(colour.Detach());
  return TRUE;
}

// ---------------------------------------------------------------- drawing

namespace {

// Paints the shape (pixels where shape(x, y)) of a w x h image at logical
// (x, y) in one colour.
template <class Shape>
void PaintShape(CDC::Impl& d, int64_t x, int64_t y, int w, int h, uint32_t colour, Shape&& shape) {
  if (!d.surface) return;
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  const int64_t sx = d.X(x), sy = d.Y(y);
  for (int yy = 0; yy < h; ++yy)
    t.Span(sy + yy, sx, sx + w, [&](uint32_t& px, int xx, int) {
      if (shape(int(xx - sx), yy)) px = colour;
    });
}

uint32_t BrushColour(CDC::Impl& d, HBRUSH brush) {
  auto b = LookupAs<Brush>(brush, Kind::kBrush);
  if (!b) b = d.st.brush;
  return d.Ink(b->color);
}

}  // namespace

BOOL CDC::DrawIcon(int x, int y, HICON icon) {
  auto i = LookupAs<Icon>(icon, Kind::kIcon);
  Impl& d = *impl_;
  if (!i || !d.surface) return FALSE;
  const brv::IconImage& img = i->image;
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  const int64_t sx = d.X(x), sy = d.Y(y);
  const bool alpha = !img.alpha.empty();
  for (int yy = 0; yy < img.height; ++yy)
    t.Span(sy + yy, sx, sx + img.width, [&](uint32_t& px, int xx, int) {
      size_t k = size_t(yy) * size_t(img.width) + size_t(xx - sx);
      uint32_t c = img.pixels[k];
      if (alpha) {
        unsigned a = img.alpha[k];
        uint32_t out = 0;
        for (int s = 0; s < 24; s += 8) {
          unsigned v = (((c >> s) & 255) * a + ((px >> s) & 255) * (255 - a) + 127) / 255;
          out |= v << s;
        }
        px = out;
        return;
      }
      px = ((img.mask[k] ? px : 0) ^ c) & 0xFFFFFF;
    });
  return TRUE;
}
BOOL CDC::DrawIcon(POINT p, HICON icon) { return DrawIcon(p.x, p.y, icon); }

BOOL CDC::DrawState(CPoint pt, CSize size, HICON icon, UINT flags, HBRUSH brush) {
  auto i = LookupAs<Icon>(icon, Kind::kIcon);
  Impl& d = *impl_;
  if (!i || !d.surface) return FALSE;
  const brv::IconImage& img = i->image;
  const int w = size.cx > 0 ? std::min<int>(size.cx, img.width) : img.width;
  const int h = size.cy > 0 ? std::min<int>(size.cy, img.height) : img.height;
  auto shape = [&](int x, int y) { return img.mask[size_t(y) * size_t(img.width) + size_t(x)] == 0; };
  if (flags & DSS_MONO) {
    PaintShape(d, pt.x, pt.y, w, h, BrushColour(d, brush), shape);
    return TRUE;
  }
  if (flags & DSS_DISABLED) {
    PaintShape(d, int64_t(pt.x) + 1, int64_t(pt.y) + 1, w, h, d.Ink(RGB(255, 255, 255)), shape);
    PaintShape(d, pt.x, pt.y, w, h, d.Ink(RGB(128, 128, 128)), shape);
    return TRUE;
  }
  if (w == img.width && h == img.height) return DrawIcon(pt.x, pt.y, icon);
  // a smaller size shows the top-left part
  CRgn keep;
  SaveDC();
  IntersectClipRect(pt.x, pt.y, pt.x + w, pt.y + h);
  DrawIcon(pt.x, pt.y, icon);
  RestoreDC(-1);
  return TRUE;
}

BOOL CDC::DrawState(CPoint pt, CSize size, HICON icon, UINT flags, CBrush* brush) {
  return DrawState(pt, size, icon, flags, brush ? static_cast<HBRUSH>(*brush) : nullptr);
}

BOOL CDC::DrawState(CPoint pt, CSize size, HBITMAP bitmap, UINT flags, HBRUSH brush) {
  auto b = LookupAs<Bitmap>(bitmap, Kind::kBitmap);
  Impl& d = *impl_;
  if (!b || !d.surface) return FALSE;
  b->ImportDib();
  const brv::Surface& s = b->surface;
  const int w = size.cx > 0 ? std::min<int>(size.cx, s.Width()) : s.Width();
  const int h = size.cy > 0 ? std::min<int>(size.cy, s.Height()) : s.Height();
  // the shape of a bitmap: what is not white
  auto shape = [&](int x, int y) { return (s.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF; };
  if (flags & DSS_MONO) {
    PaintShape(d, pt.x, pt.y, w, h, BrushColour(d, brush), shape);
    return TRUE;
  }
  if (flags & DSS_DISABLED) {
    PaintShape(d, int64_t(pt.x) + 1, int64_t(pt.y) + 1, w, h, d.Ink(RGB(255, 255, 255)), shape);
    PaintShape(d, pt.x, pt.y, w, h, d.Ink(RGB(128, 128, 128)), shape);
    return TRUE;
  }
  CDC mem;
  mem.CreateCompatibleDC(this);
  CBitmap* wrapper = CBitmap::FromHandle(bitmap);
  if (!wrapper) return FALSE;
  if (!mem.SelectObject(wrapper)) {
    // selected elsewhere: draw from a copy of its pixels
    CBitmap copy;
    copy.CreateBitmap(s.Width(), s.Height(), 1, b->bpp == 1 ? 1 : 32, nullptr);
    *brv::BitmapSurface(copy) = s;
    mem.SelectObject(&copy);
    BitBlt(pt.x, pt.y, w, h, &mem, 0, 0, SRCCOPY);
    mem.DeleteDC();
    return TRUE;
  }
  BitBlt(pt.x, pt.y, w, h, &mem, 0, 0, SRCCOPY);
  mem.DeleteDC();
  return TRUE;
}

BOOL CDC::DrawState(CPoint pt, CSize size, CBitmap* bitmap, UINT flags, CBrush* brush) {
  if (!bitmap) return FALSE;
  return DrawState(pt, size, static_cast<HBITMAP>(*bitmap), flags, brush ? static_cast<HBRUSH>(*brush) : nullptr);
}

BOOL CDC::DrawState(CPoint pt, CSize size, LPCTSTR text, UINT flags, BOOL prefixText, int textLength, HBRUSH brush) {
  if (!text) return FALSE;
  int n = textLength > 0 ? textLength : int(std::strlen(text));
  CSize extent = GetTextExtent(text, n);
  CRect r(pt, CSize(size.cx > 0 ? size.cx : extent.cx, size.cy > 0 ? size.cy : extent.cy));
  UINT format = DT_LEFT | DT_TOP | DT_SINGLELINE | (prefixText || (flags & 0xF) == DST_PREFIXTEXT ? 0u : UINT(DT_NOPREFIX));
  int keepMode = SetBkMode(TRANSPARENT);
  COLORREF keepText = GetTextColor();
  if (flags & DSS_MONO) {
    auto b = LookupAs<Brush>(brush, Kind::kBrush);
    SetTextColor(b ? b->color : impl_->st.brush->color);
    DrawText(text, n, &r, format);
  } else if (flags & DSS_DISABLED) {
    CRect shifted = r;
    shifted.OffsetRect(1, 1);
    SetTextColor(RGB(255, 255, 255));
    DrawText(text, n, &shifted, format);
    SetTextColor(RGB(128, 128, 128));
    DrawText(text, n, &r, format);
  } else {
    DrawText(text, n, &r, format);
  }
  SetTextColor(keepText);
  SetBkMode(keepMode);
  return TRUE;
}

BOOL CDC::DrawState(CPoint pt, CSize size, LPCTSTR text, UINT flags, BOOL prefixText, int textLength, CBrush* brush) {
  return DrawState(pt, size, text, flags, prefixText, textLength, brush ? static_cast<HBRUSH>(*brush) : nullptr);
}
