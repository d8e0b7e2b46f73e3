// The handle table and the GDI object classes.
#include <algorithm>
#include <cstring>
#include <map>

#include "framework/gdi_internal.h"
#include "framework/resources.h"

namespace brv::gdi {

namespace {

struct Entry {
  std::shared_ptr<Object> object;
  CGdiObject* owner = nullptr;
  std::unique_ptr<CGdiObject> temp;
  ~Entry() {
    if (temp) temp->m_hObject = nullptr;
  }
};

struct Table {
  std::map<uintptr_t, Entry> entries;
  uintptr_t next = 1;
  std::shared_ptr<Object> stock[20];
};

// Never destroyed: wrappers in static storage may outlive any static table.
Table& table() {
  static Table* t = new Table;
  return *t;
}

uintptr_t Key(const void* handle) { return reinterpret_cast<uintptr_t>(handle); }

std::unique_ptr<CGdiObject> MakeWrapper(Kind kind) {
  switch (kind) {
    case Kind::kPen: return std::make_unique<CPen>();
    case Kind::kBrush: return std::make_unique<CBrush>();
    case Kind::kFont: return std::make_unique<CFont>();
    case Kind::kBitmap: return std::make_unique<CBitmap>();
    case Kind::kRegion: return std::make_unique<CRgn>();
    case Kind::kPalette: return std::make_unique<CPalette>();
    default: return nullptr;
  }
}

std::shared_ptr<Object> MakeStock(int index) {
  auto brush = [](COLORREF c, UINT style) {
    auto b = std::make_shared<Brush>();
    b->color = c;
    b->style = style;
    return b;
  };
  auto pen = [](COLORREF c, int style) {
    auto p = std::make_shared<Pen>();
    p->color = c;
    p->style = style;
    p->width = 0;
    return p;
  };
  switch (index) {
    case WHITE_BRUSH: return brush(RGB(255, 255, 255), BS_SOLID);
    case LTGRAY_BRUSH: return brush(RGB(192, 192, 192), BS_SOLID);
    case GRAY_BRUSH: return brush(RGB(128, 128, 128), BS_SOLID);
    case DKGRAY_BRUSH: return brush(RGB(64, 64, 64), BS_SOLID);
    case BLACK_BRUSH: return brush(RGB(0, 0, 0), BS_SOLID);
    case NULL_BRUSH: return brush(0, BS_NULL);
    case WHITE_PEN: return pen(RGB(255, 255, 255), PS_SOLID);
    case BLACK_PEN: return pen(RGB(0, 0, 0), PS_SOLID);
    case NULL_PEN: return pen(0, PS_NULL);
    case ANSI_VAR_FONT:
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT: {
      auto f = std::make_shared<Font>();
      DialogLogFont(&f->lf);
      return f;
    }
    case DEFAULT_PALETTE: {
      static const uint8_t vga[20][3] = {{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},
                                         {0, 0, 128},     {128, 0, 128},   {0, 128, 128},   {192, 192, 192},
                                         {192, 220, 192}, {166, 202, 240}, {255, 251, 240}, {160, 160, 164},
                                         {128, 128, 128}, {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                                         {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
      auto p = std::make_shared<Palette>();
      for (const auto& c : vga) p->entries.push_back({c[0], c[1], c[2], 0});
      return p;
    }
    case 19: {  // the 1 x 1 monochrome bitmap of a fresh memory DC
      auto b = std::make_shared<Bitmap>();
      b->surface.Resize(1, 1, 0);
      b->bpp = 1;
      return b;
    }
    default: return nullptr;
  }
}

}  // namespace

HGDIOBJ Register(std::shared_ptr<Object> object, CGdiObject* owner) {
  Table& t = table();
  HGDIOBJ h = reinterpret_cast<HGDIOBJ>(t.next++ << 4);
  object->handle = h;
  Entry& e = t.entries[Key(h)];
  e.object = std::move(object);
  e.owner = owner;
  return h;
}

std::shared_ptr<Object> Lookup(const void* handle) {
  if (!handle) return nullptr;
  Table& t = table();
  auto it = t.entries.find(Key(handle));
  return it == t.entries.end() ? nullptr : it->second.object;
}

CGdiObject* Wrapper(const void* handle) {
  if (!handle) return nullptr;
  Table& t = table();
  auto it = t.entries.find(Key(handle));
  if (it == t.entries.end()) return nullptr;
  Entry& e = it->second;
  if (e.owner) return e.owner;
  if (!e.temp) {
    e.temp = MakeWrapper(e.object->kind);
    if (!e.temp) return nullptr;
    e.temp->m_hObject = e.object->handle;
  }
  return e.temp.get();
}

bool Delete(const void* handle) {
  Table& t = table();
  auto it = t.entries.find(Key(handle));
  if (it == t.entries.end()) return false;
  if (it->second.object->stock) return true;
  // a DC still holds it: Windows refuses to delete a selected object
  if (it->second.object.use_count() > 1) return false;
  t.entries.erase(it);
  return true;
}

CGdiObject* OwnerOf(const void* handle) {
  Table& t = table();
  auto it = t.entries.find(Key(handle));
  return it == t.entries.end() ? nullptr : it->second.owner;
}

void ForgetOwner(const void* handle, CGdiObject* owner) {
  Table& t = table();
  auto it = t.entries.find(Key(handle));
  if (it != t.entries.end() && it->second.owner == owner) it->second.owner = nullptr;
}

void SetOwner(const void* handle, CGdiObject* owner) {
  Table& t = table();
  auto it = t.entries.find(Key(handle));
  if (it != t.entries.end()) it->second.owner = owner;
}

std::shared_ptr<Object> Stock(int index) {
  if (index < 0 || index >= 20) return nullptr;
  Table& t = table();
  if (!t.stock[index]) {
    std::shared_ptr<Object> o = MakeStock(index);
    if (!o) return nullptr;
    o->stock = true;
    Register(o, nullptr);
    t.stock[index] = o;
  }
  return t.stock[index];
}

void FlushDibSections() {
  for (auto& [key, e] : table().entries) {
    if (e.object->kind != Kind::kBitmap) continue;
    auto* b = static_cast<Bitmap*>(e.object.get());
    if (b->dib && !b->DirectDib()) b->ExportDib();
  }
}

// ---------------------------------------------------------------- DIB sections

Bitmap::~Bitmap() { delete[] dibBits; }

namespace {
std::vector<uint8_t> DibInfoOf(const Bitmap& b) {
  std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER));
  std::memcpy(info.data(), &b.dibHeader, sizeof b.dibHeader);
  if (b.dibHeader.biCompression == BI_BITFIELDS) {
    const uint8_t* m = reinterpret_cast<const uint8_t*>(b.masks);
    info.insert(info.end(), m, m + 12);
  }
  for (const RGBQUAD& q : b.dibColours) info.insert(info.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
  return info;
}
}  // namespace

void Bitmap::ImportDib() {
  if (!dib || DirectDib()) return;
  std::vector<uint8_t> info = DibInfoOf(*this);
  DibImage img;
  if (!ParseDib(info.data(), info.size(), dibBits, dibBytes, &img, nullptr)) return;
  for (int y = 0; y < img.height && y < surface.Height(); ++y)
    for (int x = 0; x < img.width && x < surface.Width(); ++x) surface.SetPixel(x, y, img.Pixel(x, y));
}

void Bitmap::ExportDib() {
  if (!dib || DirectDib()) return;
  const int w = surface.Width(), h = surface.Height();
  const int b = dibHeader.biBitCount;
  const size_t rowBytes = ((size_t(w) * size_t(b) + 31) / 32) * 4;
  const bool topDown = dibHeader.biHeight < 0;
  uint32_t lastPixel = 0xFFFFFFFF;
  uint8_t lastIndex = 0;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = dibBits + size_t(topDown ? y : h - 1 - y) * rowBytes;
    for (int x = 0; x < w; ++x) {
      uint32_t p = surface.Pixel(x, y) & 0xFFFFFF;
      int r = (p >> 16) & 255, g = (p >> 8) & 255, bl = p & 255;
      if (b <= 8) {
        if (p != lastPixel) {
          int best = 0;
          long bestD = -1;
          for (size_t k = 0; k < dibColours.size(); ++k) {
            const RGBQUAD& q = dibColours[k];
            long d = long(q.rgbRed - r) * (q.rgbRed - r) + long(q.rgbGreen - g) * (q.rgbGreen - g) +
                     long(q.rgbBlue - bl) * (q.rgbBlue - bl);
            if (bestD < 0 || d < bestD) bestD = d, best = int(k);
          }
          lastPixel = p, lastIndex = uint8_t(best);
        }
        int bit = x * b;
        uint8_t& byte = row[bit / 8];
        int shift = 8 - b - bit % 8;
        byte = uint8_t((byte & ~(((1 << b) - 1) << shift)) | (lastIndex << shift));
      } else if (b == 24) {
        row[3 * x] = uint8_t(bl), row[3 * x + 1] = uint8_t(g), row[3 * x + 2] = uint8_t(r);
      } else {
        uint32_t v = 0;
        const uint32_t c[3] = {uint32_t(r), uint32_t(g), uint32_t(bl)};
        for (int k = 0; k < 3; ++k) {
          uint32_t m = masks[k];
          if (!m) continue;
          int shift = 0;
          while (!((m >> shift) & 1)) ++shift;
          uint32_t max = m >> shift;
          v |= ((c[k] * max + 127) / 255) << shift;
        }
        if (b == 16) {
          row[2 * x] = uint8_t(v), row[2 * x + 1] = uint8_t(v >> 8);
        } else {
          std::memcpy(row + 4 * x, &v, 4);
        }
      }
    }
  }
}

}  // namespace brv::gdi

using namespace brv::gdi;

namespace brv {

size_t LiveGdiObjects() {
  size_t n = 0;
  for (auto& [key, e] : table().entries)
    if (!e.object->stock) ++n;
  return n;
}

void ResetGdiObjects() {
  auto& entries = table().entries;
  for (auto it = entries.begin(); it != entries.end();) {
    if (it->second.object->stock) {
      ++it;
      continue;
    }
    if (it->second.owner) it->second.owner->m_hObject = nullptr;
    it = entries.erase(it);
  }
}

Surface* BitmapSurface(HBITMAP bitmap) {
  auto b = LookupAs<Bitmap>(bitmap, Kind::kBitmap);
  if (!b) return nullptr;
  b->ImportDib();
  return &b->surface;
}

int BitmapBitsPerPixel(HBITMAP bitmap) {
  auto b = LookupAs<Bitmap>(bitmap, Kind::kBitmap);
  return b ? b->bpp : 0;
}

}  // namespace brv

// ---------------------------------------------------------------- functions

HGDIOBJ GetStockObject(int index) {
  std::shared_ptr<Object> o = Stock(index);
  return o ? o->handle : nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (!object) return FALSE;
  // the owner is the application's object and outlives the entry
  CGdiObject* owner = OwnerOf(object);
  bool ok = Delete(object);
  if (ok && owner && owner->m_hObject == object && !Lookup(object)) owner->m_hObject = nullptr;
  return ok;
}

UINT GetObjectType(HGDIOBJ object) {
  std::shared_ptr<Object> o = Lookup(object);
  if (!o || o->kind == Kind::kIcon) return 0;
  return static_cast<UINT>(o->kind);
}

int GetObject(HGDIOBJ object, int size, void* out) {
  std::shared_ptr<Object> o = Lookup(object);
  if (!o) return 0;
  auto give = [&](const auto& value) -> int {
    int n = int(sizeof value);
    if (!out) return n;
    if (size < n) return 0;
    std::memcpy(out, &value, sizeof value);
    return n;
  };
  switch (o->kind) {
    case Kind::kPen: {
      auto* p = static_cast<Pen*>(o.get());
      LOGPEN lp{UINT(p->style), POINT{p->width, 0}, p->color};
      return give(lp);
    }
    case Kind::kBrush: {
      auto* b = static_cast<Brush*>(o.get());
      LOGBRUSH lb{b->style, b->color, uintptr_t(b->hatch)};
      return give(lb);
    }
    case Kind::kFont: return give(static_cast<Font*>(o.get())->lf);
    case Kind::kBitmap: {
      auto* b = static_cast<Bitmap*>(o.get());
      BITMAP bm{};
      bm.bmWidth = b->surface.Width();
      bm.bmHeight = b->surface.Height();
      bm.bmPlanes = 1;
      bm.bmBitsPixel = WORD(b->bpp);
      if (b->dib) {
        bm.bmWidthBytes = LONG(((int64_t(bm.bmWidth) * b->bpp + 31) / 32) * 4);
        bm.bmBits = b->dibBits;
      } else {
        bm.bmWidthBytes = b->bpp == 1 ? ((bm.bmWidth + 15) / 16) * 2 : bm.bmWidth * 4;
      }
      return give(bm);
    }
    case Kind::kPalette: {
      WORD n = WORD(static_cast<Palette*>(o.get())->entries.size());
      return give(n);
    }
    default: return 0;
  }
}

// ---------------------------------------------------------------- CGdiObject

CGdiObject::~CGdiObject() {
  if (m_hObject) {
    HGDIOBJ h = m_hObject;
    DeleteObject();
    ForgetOwner(h, this);
  }
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
  if (!object || !Lookup(object)) return FALSE;
  if (m_hObject && m_hObject != object) DeleteObject();
  m_hObject = object;
  SetOwner(object, this);
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  if (h) ForgetOwner(h, this);
  m_hObject = nullptr;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  HGDIOBJ h = m_hObject;
  std::shared_ptr<Object> o = Lookup(h);
  if (!o) {
    m_hObject = nullptr;
    return FALSE;
  }
  if (o->stock) {
    ForgetOwner(h, this);
    m_hObject = nullptr;
    return TRUE;
  }
  o.reset();
  if (!Delete(h)) return FALSE;
  m_hObject = nullptr;
  return TRUE;
}

BOOL CGdiObject::CreateStockObject(int index) {
  HGDIOBJ h = ::GetStockObject(index);
  if (!h) return FALSE;
  if (m_hObject) DeleteObject();
  m_hObject = h;
  return TRUE;
}

int CGdiObject::GetObject(int size, void* out) const { return ::GetObject(m_hObject, size, out); }
UINT CGdiObject::GetObjectType() const { return ::GetObjectType(m_hObject); }
CGdiObject* CGdiObject::FromHandle(HGDIOBJ object) { return Wrapper(object); }

namespace {
// Replaces what the wrapper holds by a new object.
template <class T>
BOOL Adopt(CGdiObject* wrapper, std::shared_ptr<T> object) {
  if (wrapper->m_hObject) {
    // MFC asserts here; a second Create replaces the object
    wrapper->DeleteObject();
    if (wrapper->m_hObject) wrapper->Detach();
  }
  wrapper->m_hObject = Register(std::move(object), wrapper);
  return TRUE;
}

template <class T>
std::shared_ptr<T> Mine(const CGdiObject* wrapper, Kind kind) {
  return LookupAs<T>(wrapper->m_hObject, kind);
}
}  // namespace

// ---------------------------------------------------------------- CPen

CPen::CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
  auto p = std::make_shared<Pen>();
  p->style = style;
  p->width = width < 0 ? 0 : width;
  p->color = color & 0xFFFFFF;
  return Adopt(this, p);
}

BOOL CPen::CreatePenIndirect(const LOGPEN* logPen) {
  if (!logPen) return FALSE;
  return CreatePen(int(logPen->lopnStyle), logPen->lopnWidth.x, logPen->lopnColor);
}

int CPen::GetLogPen(LOGPEN* out) const { return GetObject(sizeof(LOGPEN), out); }
CPen* CPen::FromHandle(HPEN pen) { return dynamic_cast<CPen*>(Wrapper(pen)); }

// ---------------------------------------------------------------- CBrush

CBrush::CBrush(COLORREF color) { CreateSolidBrush(color); }
CBrush::CBrush(int hatch, COLORREF color) { CreateHatchBrush(hatch, color); }
CBrush::CBrush(CBitmap* pattern) { CreatePatternBrush(pattern); }

BOOL CBrush::CreateSolidBrush(COLORREF color) {
  auto b = std::make_shared<Brush>();
  b->color = color & 0xFFFFFF;
  return Adopt(this, b);
}

BOOL CBrush::CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return FALSE;
  auto b = std::make_shared<Brush>();
  b->style = BS_HATCHED;
  b->hatch = hatch;
  b->color = color & 0xFFFFFF;
  return Adopt(this, b);
}

BOOL CBrush::CreatePatternBrush(CBitmap* pattern) {
  if (!pattern) return FALSE;
  auto bm = LookupAs<Bitmap>(pattern->m_hObject, Kind::kBitmap);
  if (!bm || bm->surface.IsEmpty()) return FALSE;
  bm->ImportDib();
  auto b = std::make_shared<Brush>();
  b->style = BS_PATTERN;
  b->pattern = bm->surface;
  b->monoPattern = bm->bpp == 1;
  return Adopt(this, b);
}

BOOL CBrush::CreateDIBPatternBrush(const void* packedDib, UINT usage) {
  if (!packedDib || usage != DIB_RGB_COLORS) return FALSE;
  const auto& header = *static_cast<const BITMAPINFOHEADER*>(packedDib);
  const size_t info = DibInfoBytes(header), rows = DibRowsBytes(header);
  if (info == 0 || rows == 0) return FALSE;
  DibImage img;
  if (!ParsePackedDib({static_cast<const uint8_t*>(packedDib), info + rows}, &img, nullptr)) return FALSE;
  auto b = std::make_shared<Brush>();
  b->style = BS_DIBPATTERN;
  b->pattern.Resize(img.width, img.height, 0);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) b->pattern.SetPixel(x, y, img.Pixel(x, y));
  return Adopt(this, b);
}

BOOL CBrush::CreateBrushIndirect(const LOGBRUSH* lb) {
  if (!lb) return FALSE;
  switch (lb->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(lb->lbColor);
    case BS_NULL: {
      auto b = std::make_shared<Brush>();
      b->style = BS_NULL;
      return Adopt(this, b);
    }
    case BS_HATCHED: return CreateHatchBrush(int(lb->lbHatch), lb->lbColor);
    case BS_PATTERN: return CreatePatternBrush(CBitmap::FromHandle(reinterpret_cast<HBITMAP>(lb->lbHatch)));
    case BS_DIBPATTERNPT: return CreateDIBPatternBrush(reinterpret_cast<const void*>(lb->lbHatch), UINT(lb->lbColor));
    default: return FALSE;
  }
}

int CBrush::GetLogBrush(LOGBRUSH* out) const { return GetObject(sizeof(LOGBRUSH), out); }
CBrush* CBrush::FromHandle(HBRUSH brush) { return dynamic_cast<CBrush*>(Wrapper(brush)); }

// ---------------------------------------------------------------- CFont

BOOL CFont::CreateFontIndirect(const LOGFONT* logFont) {
  if (!logFont) return FALSE;
  auto f = std::make_shared<Font>();
  f->lf = *logFont;
  f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
  return Adopt(this, f);
}

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, LPCTSTR faceName) {
  LOGFONT lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfUnderline = underline;
  lf.lfStrikeOut = strikeOut;
  lf.lfCharSet = charSet;
  lf.lfOutPrecision = outPrecision;
  lf.lfClipPrecision = clipPrecision;
  lf.lfQuality = quality;
  lf.lfPitchAndFamily = pitchAndFamily;
  if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

BOOL CFont::CreatePointFont(int pointSize, LPCTSTR faceName, CDC*) {
  LOGFONT lf{};
  // tenths of a point at 96 pixels per inch
  lf.lfHeight = -static_cast<LONG>((int64_t(pointSize) * 96 + 360) / 720);
  lf.lfWeight = FW_NORMAL;
  if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

int CFont::GetLogFont(LOGFONT* out) const { return GetObject(sizeof(LOGFONT), out); }
CFont* CFont::FromHandle(HFONT font) { return dynamic_cast<CFont*>(Wrapper(font)); }

// ---------------------------------------------------------------- CBitmap

namespace {
// Bitmaps above this many pixels are refused rather than half made.
constexpr uint64_t kMaxBitmapPixels = uint64_t(1) << 28;

bool MonochromeColours(const std::vector<uint32_t>& colours, int bits) {
  return bits == 1 && colours.size() >= 2 && colours[0] == 0 && colours[1] == 0xFFFFFF;
}

std::shared_ptr<Bitmap> BitmapFromDib(const DibImage& img) {
  auto b = std::make_shared<Bitmap>();
  b->bpp = MonochromeColours(img.colours, img.bitsPerPixel) ? 1 : 32;
  b->surface.Resize(img.width, img.height, 0);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) b->surface.SetPixel(x, y, img.Pixel(x, y));
  return b;
}
}  // namespace

BOOL CBitmap::LoadBitmap(UINT resourceId) {
  std::span<const unsigned char> bytes = brv::ResourceBytes("BITMAP", resourceId);
  if (!bytes.data()) return FALSE;
  // resources are kept as BMP files; a packed DIB serves as well
  if (bytes.size() >= 14 && bytes[0] == 'B' && bytes[1] == 'M') bytes = bytes.subspan(14);
  DibImage img;
  if (!ParsePackedDib(bytes, &img, nullptr, kMaxBitmapPixels)) return FALSE;
  return Adopt(this, BitmapFromDib(img));
}

BOOL CBitmap::LoadBitmap(LPCTSTR resourceName) {
  if (!resourceName) return FALSE;
  if (IS_INTRESOURCE(resourceName)) return LoadBitmap(UINT(LOWORD(reinterpret_cast<uintptr_t>(resourceName))));
  if (resourceName[0] == '#') return LoadBitmap(UINT(std::strtoul(resourceName + 1, nullptr, 10)));
  return FALSE;
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (width <= 0 || height <= 0 || planes != 1 || uint64_t(width) * uint64_t(height) > kMaxBitmapPixels)
    return FALSE;
  auto b = std::make_shared<Bitmap>();
  b->bpp = bitsPerPixel == 1 ? 1 : 32;
  b->surface.Resize(width, height, 0);
  Adopt(this, b);
  if (bits) {
    size_t rowBytes = b->bpp == 1 ? size_t((width + 15) / 16) * 2 : size_t(width) * 4;
    SetBitmapBits(DWORD(rowBytes * size_t(height)), bits);
  }
  return TRUE;
}

BOOL CBitmap::CreateBitmapIndirect(const BITMAP* bm) {
  if (!bm) return FALSE;
  return CreateBitmap(bm->bmWidth, bm->bmHeight, bm->bmPlanes, bm->bmBitsPixel, bm->bmBits);
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  // as on Windows: a fresh memory DC (and a zero size) gives a 1-bit bitmap
  bool mono = width <= 0 || height <= 0;
  if (dc && dc->GetImpl() && dc->GetCurrentBitmap() && brv::BitmapBitsPerPixel(*dc->GetCurrentBitmap()) == 1) mono = true;
  if (width <= 0 || height <= 0) width = height = 1;
  return CreateBitmap(width, height, 1, mono ? 1 : 32, nullptr);
}

int CBitmap::GetBitmap(BITMAP* out) const { return GetObject(sizeof(BITMAP), out); }

DWORD CBitmap::GetBitmapBits(DWORD count, void* bits) const {
  auto b = Mine<Bitmap>(this, Kind::kBitmap);
  if (!b || !bits) return 0;
  b->ImportDib();
  const int w = b->surface.Width(), h = b->surface.Height();
  uint8_t* out = static_cast<uint8_t*>(bits);
  DWORD done = 0;
  if (b->bpp == 1) {
    const size_t rowBytes = size_t((w + 15) / 16) * 2;
    for (int y = 0; y < h; ++y)
      for (size_t k = 0; k < rowBytes && done < count; ++k, ++done) {
        uint8_t v = 0;
        for (int bit = 0; bit < 8; ++bit) {
          int x = int(k) * 8 + bit;
          if (x < w && (b->surface.Pixel(x, y) & 0xFFFFFF)) v |= uint8_t(0x80 >> bit);
        }
        out[done] = v;
      }
    return done;
  }
  for (int y = 0; y < h && done < count; ++y) {
    const uint32_t* row = b->surface.Row(y);
    for (int x = 0; x < w && done < count; ++x) {
      uint32_t p = row[x] & 0xFFFFFF;
      uint8_t px[4] = {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), 0};
      for (int k = 0; k < 4 && done < count; ++k) out[done++] = px[k];
    }
  }
  return done;
}

DWORD CBitmap::SetBitmapBits(DWORD count, const void* bits) {
  auto b = Mine<Bitmap>(this, Kind::kBitmap);
  if (!b || !bits) return 0;
  const int w = b->surface.Width(), h = b->surface.Height();
  const uint8_t* in = static_cast<const uint8_t*>(bits);
  DWORD done = 0;
  if (b->bpp == 1) {
    const size_t rowBytes = size_t((w + 15) / 16) * 2;
    for (int y = 0; y < h; ++y)
      for (size_t k = 0; k < rowBytes && done < count; ++k, ++done)
        for (int bit = 0; bit < 8; ++bit) {
          int x = int(k) * 8 + bit;
          if (x < w) b->surface.SetPixel(x, y, (in[done] & (0x80 >> bit)) ? 0xFFFFFF : 0);
        }
  } else {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w && done + 4 <= count; ++x, done += 4)
        b->surface.SetPixel(x, y, uint32_t(in[done]) | (uint32_t(in[done + 1]) << 8) | (uint32_t(in[done + 2]) << 16));
  }
  b->surface.AddDirty(b->surface.Bounds());
  b->ExportDib();
  return done;
}

CSize CBitmap::GetBitmapDimension() const { return CSize(0, 0); }
CBitmap* CBitmap::FromHandle(HBITMAP bitmap) { return dynamic_cast<CBitmap*>(Wrapper(bitmap)); }

// ---------------------------------------------------------------- DIB functions

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (!info) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < 40 || h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return nullptr;
  const int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32))) return nullptr;
  const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight;
  if (uint64_t(h.biWidth) * uint64_t(height) > kMaxBitmapPixels) return nullptr;
  auto b = std::make_shared<Bitmap>();
  b->dib = true;
  b->bpp = bpp;
  b->dibHeader = h;
  b->dibHeader.biSize = 40;
  const uint8_t* extra = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  if (h.biCompression == BI_BITFIELDS) {
    std::memcpy(b->masks, h.biSize == 40 ? extra : reinterpret_cast<const uint8_t*>(info) + 40, 12);
    if (h.biSize == 40) extra += 12;
  } else if (bpp == 16) {
    b->masks[0] = 0x7C00, b->masks[1] = 0x03E0, b->masks[2] = 0x1F;
  } else if (bpp == 32) {
    b->masks[0] = 0xFF0000, b->masks[1] = 0xFF00, b->masks[2] = 0xFF;
  }
  if (bpp <= 8) {
    size_t n = h.biClrUsed ? std::min<size_t>(h.biClrUsed, size_t(1) << bpp) : size_t(1) << bpp;
    const RGBQUAD* q = reinterpret_cast<const RGBQUAD*>(extra);
    for (size_t k = 0; k < n; ++k) {
      // DIB_PAL_COLORS indexes a palette that RGB32 has not: greys stand in
      b->dibColours.push_back(usage == DIB_PAL_COLORS ? RGBQUAD{BYTE(k * 255 / (n - 1 ? n - 1 : 1)), BYTE(k * 255 / (n - 1 ? n - 1 : 1)), BYTE(k * 255 / (n - 1 ? n - 1 : 1)), 0}
                                                      : q[k]);
    }
    b->dibColours.resize(size_t(1) << bpp, RGBQUAD{0, 0, 0, 0});
    b->dibHeader.biClrUsed = DWORD(b->dibColours.size());
  }
  const size_t rowBytes = ((size_t(h.biWidth) * size_t(bpp) + 31) / 32) * 4;
  b->dibBytes = rowBytes * size_t(height);
  b->dibBits = new (std::nothrow) uint8_t[b->dibBytes]();
  if (!b->dibBits) return nullptr;
  if (b->DirectDib()) {
    uint32_t* first = reinterpret_cast<uint32_t*>(b->dibBits);
    if (h.biHeight < 0)
      b->surface = brv::Surface::Wrap(first, h.biWidth, int(height), h.biWidth);
    else
      b->surface = brv::Surface::Wrap(first + size_t(height - 1) * size_t(h.biWidth), h.biWidth, int(height), -ptrdiff_t(h.biWidth));
  } else {
    b->surface.Resize(h.biWidth, int(height), 0);
    b->ImportDib();
  }
  if (bits) *bits = b->dibBits;
  return reinterpret_cast<HBITMAP>(Register(b, nullptr));
}

BOOL GdiFlush() {
  FlushDibSections();
  return TRUE;
}

int GetDIBits(HDC, HBITMAP bitmap, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info, UINT) {
  auto b = LookupAs<Bitmap>(bitmap, Kind::kBitmap);
  if (!b || !info || info->bmiHeader.biSize < 40) return 0;
  b->ImportDib();
  BITMAPINFOHEADER& h = info->bmiHeader;
  const int w = b->surface.Width(), height = b->surface.Height();
  if (!bits && h.biBitCount == 0) {
    h.biWidth = w;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(b->bpp);
    h.biCompression = BI_RGB;
    h.biSizeImage = DWORD(((size_t(w) * b->bpp + 31) / 32) * 4 * size_t(height));
    h.biClrUsed = 0;
    return 1;
  }
  const int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 24 && bpp != 32) return 0;
  h.biWidth = w;
  if (h.biHeight == 0) h.biHeight = height;
  const bool topDown = h.biHeight < 0;
  h.biPlanes = 1;
  h.biCompression = BI_RGB;
  const size_t rowBytes = ((size_t(w) * size_t(bpp) + 31) / 32) * 4;
  h.biSizeImage = DWORD(rowBytes * size_t(height));
  if (bpp == 1) {
    info->bmiColors[0] = RGBQUAD{0, 0, 0, 0};
    (&info->bmiColors[0])[1] = RGBQUAD{255, 255, 255, 0};
    h.biClrUsed = 0;
  }
  if (!bits) return 1;
  uint8_t* out = static_cast<uint8_t*>(bits);
  UINT done = 0;
  for (UINT i = 0; i < scanLines; ++i) {
    int64_t scan = int64_t(startScan) + i;
    if (scan >= height) break;
    int y = topDown ? int(scan) : height - 1 - int(scan);
    uint8_t* row = out + size_t(i) * rowBytes;
    std::memset(row, 0, rowBytes);
    const uint32_t* src = b->surface.Row(y);
    for (int x = 0; x < w; ++x) {
      uint32_t p = src[x] & 0xFFFFFF;
      if (bpp == 1) {
        if (p == 0xFFFFFF) row[x / 8] |= uint8_t(0x80 >> (x % 8));
      } else if (bpp == 24) {
        row[3 * x] = uint8_t(p), row[3 * x + 1] = uint8_t(p >> 8), row[3 * x + 2] = uint8_t(p >> 16);
      } else {
        std::memcpy(row + 4 * size_t(x), &p, 4);
      }
    }
    ++done;
  }
  return int(done);
}

int SetDIBits(HDC, HBITMAP bitmap, UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
              UINT) {
  auto b = LookupAs<Bitmap>(bitmap, Kind::kBitmap);
  if (!b || !info || !bits || scanLines == 0) return 0;
  BITMAPINFOHEADER h = info->bmiHeader;
  if (h.biSize < 40) return 0;
  const bool topDown = h.biHeight < 0;
  const int64_t fullHeight = topDown ? -int64_t(h.biHeight) : h.biHeight;
  h.biHeight = topDown ? -LONG(scanLines) : LONG(scanLines);
  size_t infoBytes = DibInfoBytes(info->bmiHeader);
  std::vector<uint8_t> head(reinterpret_cast<const uint8_t*>(info), reinterpret_cast<const uint8_t*>(info) + infoBytes);
  std::memcpy(head.data(), &h, sizeof h);
  DibImage img;
  size_t rows = DibRowsBytes(h);
  if (!ParseDib(head.data(), head.size(), static_cast<const uint8_t*>(bits), rows, &img, nullptr)) return 0;
  const int tw = b->surface.Width(), th = b->surface.Height();
  for (int r = 0; r < img.height; ++r) {
    // scan line startScan + k counts from the bottom (or the top for top-down DIBs)
    int64_t scan = int64_t(startScan) + (topDown ? r : img.height - 1 - r);
    int64_t y = topDown ? scan : fullHeight - 1 - scan;
    if (y < 0 || y >= th) continue;
    for (int x = 0; x < img.width && x < tw; ++x) b->surface.SetPixel(x, int(y), img.Pixel(x, r));
  }
  b->surface.AddDirty(b->surface.Bounds());
  b->ExportDib();
  return img.height;
}

// ---------------------------------------------------------------- CRgn

namespace {
BOOL SetRegion(CRgn* rgn, brv::Region region) {
  if (auto r = LookupAs<RegionObject>(rgn->m_hObject, Kind::kRegion)) {
    r->region = std::move(region);
    return TRUE;
  }
  auto r = std::make_shared<RegionObject>();
  r->region = std::move(region);
  return Adopt(rgn, r);
}
const brv::Region& EmptyRegion() {
  static const brv::Region empty;
  return empty;
}
}  // namespace

BOOL CRgn::CreateRectRgn(int l, int t, int r, int b) {
  CRect rc(l, t, r, b);
  rc.NormalizeRect();
  return SetRegion(this, brv::Region(rc));
}
BOOL CRgn::CreateRectRgnIndirect(LPCRECT rect) { return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : FALSE; }
BOOL CRgn::CreateEllipticRgn(int l, int t, int r, int b) { return SetRegion(this, brv::Region::FromEllipse(CRect(l, t, r, b))); }
BOOL CRgn::CreateEllipticRgnIndirect(LPCRECT rect) { return rect ? CreateEllipticRgn(rect->left, rect->top, rect->right, rect->bottom) : FALSE; }
BOOL CRgn::CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (!points || count < 2) return FALSE;
  return SetRegion(this, brv::Region::FromPolygon(std::span<const POINT>(points, size_t(count)), fillMode));
}

int CRgn::CombineRgn(const CRgn* a, const CRgn* b, int mode) {
  if (!m_hObject || !a) return RGN_ERROR;
  const brv::Region& ra = a->GetRegion();
  brv::Region result;
  if (mode == RGN_COPY) {
    result = ra;
  } else {
    if (!b) return RGN_ERROR;
    const brv::Region& rb = b->GetRegion();
    switch (mode) {
      case RGN_AND: result = ra.Intersect(rb); break;
      case RGN_OR: result = ra.Union(rb); break;
      case RGN_XOR: result = ra.Xor(rb); break;
      case RGN_DIFF: result = ra.Subtract(rb); break;
      default: return RGN_ERROR;
    }
  }
  int kind = result.Kind();
  SetRegion(this, std::move(result));
  return kind;
}

int CRgn::CopyRgn(const CRgn* source) {
  if (!source) return RGN_ERROR;
  brv::Region r = source->GetRegion();
  int kind = r.Kind();
  SetRegion(this, std::move(r));
  return kind;
}

void CRgn::SetRectRgn(int l, int t, int r, int b) { CreateRectRgn(l, t, r, b); }
void CRgn::SetRectRgn(LPCRECT rect) { CreateRectRgnIndirect(rect); }

int CRgn::OffsetRgn(int dx, int dy) {
  auto r = Mine<RegionObject>(this, Kind::kRegion);
  if (!r) return RGN_ERROR;
  r->region.Offset(dx, dy);
  return r->region.Kind();
}
int CRgn::OffsetRgn(POINT p) { return OffsetRgn(p.x, p.y); }
BOOL CRgn::PtInRegion(int x, int y) const { return GetRegion().Contains(x, y); }
BOOL CRgn::PtInRegion(POINT p) const { return PtInRegion(p.x, p.y); }
BOOL CRgn::RectInRegion(LPCRECT rect) const { return rect && GetRegion().Touches(*rect); }
int CRgn::GetRgnBox(LPRECT rect) const {
  auto r = Mine<RegionObject>(this, Kind::kRegion);
  if (!r) return RGN_ERROR;
  if (rect) *rect = r->region.Bounds();
  return r->region.Kind();
}
BOOL CRgn::EqualRgn(const CRgn* other) const { return other && GetRegion() == other->GetRegion(); }
const brv::Region& CRgn::GetRegion() const {
  auto r = Mine<RegionObject>(this, Kind::kRegion);
  // the object lives in the table as long as this wrapper names it
  return r ? r->region : EmptyRegion();
}
CRgn* CRgn::FromHandle(HRGN region) { return dynamic_cast<CRgn*>(Wrapper(region)); }

// ---------------------------------------------------------------- CPalette

BOOL CPalette::CreatePalette(const LOGPALETTE* lp) {
  if (!lp || lp->palNumEntries == 0) return FALSE;
  auto p = std::make_shared<Palette>();
  p->entries.assign(lp->palPalEntry, lp->palPalEntry + lp->palNumEntries);
  return Adopt(this, p);
}

int CPalette::GetEntryCount() const {
  auto p = Mine<Palette>(this, Kind::kPalette);
  return p ? int(p->entries.size()) : 0;
}

UINT CPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const {
  auto p = Mine<Palette>(this, Kind::kPalette);
  if (!p || !entries || uint64_t(start) + count > p->entries.size()) return 0;
  std::copy(p->entries.begin() + start, p->entries.begin() + start + count, entries);
  return count;
}

UINT CPalette::SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries) {
  auto p = Mine<Palette>(this, Kind::kPalette);
  if (!p || !entries || uint64_t(start) + count > p->entries.size()) return 0;
  std::copy(entries, entries + count, p->entries.begin() + start);
  return count;
}

UINT CPalette::GetNearestPaletteIndex(COLORREF c) const {
  auto p = Mine<Palette>(this, Kind::kPalette);
  if (!p || p->entries.empty()) return CLR_INVALID;
  UINT best = 0;
  long bestD = -1;
  for (size_t k = 0; k < p->entries.size(); ++k) {
    const PALETTEENTRY& e = p->entries[k];
    long dr = long(e.peRed) - GetRValue(c), dg = long(e.peGreen) - GetGValue(c), db = long(e.peBlue) - GetBValue(c);
    long d = dr * dr + dg * dg + db * db;
    if (bestD < 0 || d < bestD) bestD = d, best = UINT(k);
  }
  return best;
}

CPalette* CPalette::FromHandle(HPALETTE palette) { return dynamic_cast<CPalette*>(Wrapper(palette)); }
