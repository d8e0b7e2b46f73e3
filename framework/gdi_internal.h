#pragma once
// The drawing layer's own objects behind the handles, the handle table and
// the helpers that the drawing files share. Not for the application.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "framework/gdi.h"

namespace brv::gdi {

enum class Kind { kPen = OBJ_PEN, kBrush = OBJ_BRUSH, kPalette = OBJ_PAL, kFont = OBJ_FONT, kBitmap = OBJ_BITMAP,
                  kRegion = OBJ_REGION, kIcon = 100 };

struct Object {
  explicit Object(Kind k) : kind(k) {}
  virtual ~Object() = default;
  Kind kind;
  bool stock = false;
  HGDIOBJ handle = nullptr;  // a serial number, never an address, never reused
};

struct Pen : Object {
  Pen() : Object(Kind::kPen) {}
  int style = PS_SOLID;  // with the end-cap and kind bits
  int width = 1;         // 0 is kept (a one-pixel pen)
  COLORREF color = 0;
  int Style() const { return style & PS_STYLE_MASK; }
  // Width in pixels as drawn.
  int PixelWidth() const { return width < 1 ? 1 : width; }
};

struct Bitmap;

struct Brush : Object {
  Brush() : Object(Kind::kBrush) {}
  UINT style = BS_SOLID;
  COLORREF color = 0;
  int hatch = 0;
  Surface pattern;  // BS_PATTERN: a copy of the bitmap's pixels
  bool monoPattern = false;
};

struct Font : Object {
  Font() : Object(Kind::kFont) {}
  LOGFONT lf{};
};

struct Bitmap : Object {
  Bitmap() : Object(Kind::kBitmap) {}
  ~Bitmap() override;
  Surface surface;
  int bpp = 32;  // 1 (black and white pixels only) or 32; a DIB section: its depth
  int selectedIn = 0;
  // DIB sections: the memory the caller sees, its header and colours. A
  // 32-bit BI_RGB section's surface wraps the memory itself.
  bool dib = false;
  uint8_t* dibBits = nullptr;
  size_t dibBytes = 0;
  BITMAPINFOHEADER dibHeader{};
  std::vector<RGBQUAD> dibColours;
  DWORD masks[3] = {0, 0, 0};
  bool DirectDib() const { return dib && bpp == 32 && dibHeader.biCompression == BI_RGB; }
  // Non-direct sections: DIB memory -> surface, surface -> DIB memory.
  void ImportDib();
  void ExportDib();
};

struct RegionObject : Object {
  RegionObject() : Object(Kind::kRegion) {}
  Region region;
};

struct Palette : Object {
  Palette() : Object(Kind::kPalette) {}
  std::vector<PALETTEENTRY> entries;
};

struct Icon : Object {
  Icon() : Object(Kind::kIcon) {}
  IconImage image;
  bool cursor = false;
};

// ---- the handle table

HGDIOBJ Register(std::shared_ptr<Object> object, CGdiObject* owner);
std::shared_ptr<Object> Lookup(const void* handle);
template <class T>
std::shared_ptr<T> LookupAs(const void* handle, Kind kind) {
  std::shared_ptr<Object> o = Lookup(handle);
  if (!o || o->kind != kind) return nullptr;
  return std::static_pointer_cast<T>(o);
}
// The wrapper of a handle: its owner, or a temporary one that lives as long
// as the handle (null for a stale handle or an icon).
CGdiObject* Wrapper(const void* handle);
// Removes the handle unless a DC holds the object; stock objects stay.
bool Delete(const void* handle);
CGdiObject* OwnerOf(const void* handle);
void ForgetOwner(const void* handle, CGdiObject* owner);
void SetOwner(const void* handle, CGdiObject* owner);
std::shared_ptr<Object> Stock(int index);
// Every DIB section whose memory differs from its pixels: written back.
void FlushDibSections();

// ---- colours and pixels

inline uint32_t Rop2(int mode, uint32_t d, uint32_t p) {
  switch (mode) {
    case R2_BLACK: return 0;
    case R2_NOTMERGEPEN: return ~(d | p) & 0xFFFFFF;
    case R2_MASKNOTPEN: return d & ~p & 0xFFFFFF;
    case R2_NOTCOPYPEN: return ~p & 0xFFFFFF;
    case R2_MASKPENNOT: return p & ~d & 0xFFFFFF;
    case R2_NOT: return ~d & 0xFFFFFF;
    case R2_XORPEN: return (d ^ p) & 0xFFFFFF;
    case R2_NOTMASKPEN: return ~(d & p) & 0xFFFFFF;
    case R2_MASKPEN: return d & p & 0xFFFFFF;
    case R2_NOTXORPEN: return ~(d ^ p) & 0xFFFFFF;
    case R2_NOP: return d & 0xFFFFFF;
    case R2_MERGENOTPEN: return (d | ~p) & 0xFFFFFF;
    case R2_COPYPEN: return p & 0xFFFFFF;
    case R2_MERGEPENNOT: return (p | ~d) & 0xFFFFFF;
    case R2_MERGEPEN: return (d | p) & 0xFFFFFF;
    case R2_WHITE: return 0xFFFFFF;
    default: return p & 0xFFFFFF;
  }
}

// Whether applying the mode twice equals applying it once (then a figure
// need not remember which pixels it touched).
inline bool Rop2Idempotent(int mode) {
  switch (mode) {
    case R2_NOTMERGEPEN:
    case R2_MASKPENNOT:
    case R2_NOT:
    case R2_XORPEN:
    case R2_NOTMASKPEN:
    case R2_NOTXORPEN:
    case R2_MERGEPENNOT:
      return false;
    default:
      return true;
  }
}

// The ternary raster operation of index (the high word's low byte) on
// pattern, source and destination.
inline uint32_t Rop3(unsigned index, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (unsigned k = 0; k < 8; ++k) {
    if (!((index >> k) & 1)) continue;
    uint32_t term = (k & 4) ? p : ~p;
    term &= (k & 2) ? s : ~s;
    term &= (k & 1) ? d : ~d;
    r |= term;
  }
  return r & 0xFFFFFF;
}

// ---- DIBs

// A DIB read into pixels: indices (up to 8 bits) and the colour table, or
// 0x00RRGGBB pixels; rows top down.
struct DibImage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  bool topDown = false;
  DWORD compression = BI_RGB;
  std::vector<uint32_t> colours;   // 0x00RRGGBB, up to 8 bits
  std::vector<uint8_t> indices;    // width x height, up to 8 bits
  std::vector<uint32_t> pixels;    // width x height, deeper images
  uint32_t Pixel(int x, int y) const {
    size_t i = size_t(y) * size_t(width) + size_t(x);
    if (bitsPerPixel > 8) return pixels[i];
    uint8_t k = indices[i];
    return k < colours.size() ? colours[k] : 0;
  }
};

// Parses a packed DIB (header, colour table or masks, then the rows) of
// `size` bytes, or the header and colours at `info` with the rows at `bits`
// (rowsSize bytes). Core (12-byte) and info (40-byte or longer) headers;
// 1, 4, 8, 16, 24, 32 bits; BI_RGB, BI_RLE4, BI_RLE8, BI_BITFIELDS. Colour
// counts above 2^bits, sizes that overflow or exceed the data, RLE runs past
// a row or past the data: false with the reason. Nothing past the data is
// read. maxPixels bounds width x height.
// decodeRows false: uncompressed rows are checked but not copied.
bool ParseDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t rowsSize, DibImage* out,
              std::string* error, uint64_t maxPixels = uint64_t(1) << 28, bool decodeRows = true);
bool ParsePackedDib(std::span<const uint8_t> packed, DibImage* out, std::string* error,
                    uint64_t maxPixels = uint64_t(1) << 28);
// Bytes that the header and colour table of a BITMAPINFO take, and the rows
// an uncompressed image takes (0 when the header is bad).
size_t DibInfoBytes(const BITMAPINFOHEADER& h);
size_t DibRowsBytes(const BITMAPINFOHEADER& h);

// ---- UTF-8

// The code points of a UTF-8 text; a byte that is not valid UTF-8 stands for
// itself (Latin-1).
std::u32string DecodeUtf8(std::string_view text);

}  // namespace brv::gdi
