#pragma once
// Drawing in the Windows manner on RGB32 pixel buffers: colours, pens,
// brushes, fonts, regions, bitmaps, palettes, icons and the device context.
//
// Pixels. A brv::Surface is a buffer of 32-bit pixels 0x00RRGGBB, rows top
// down, each row laid out as in a top-down 32-bit DIB or a QImage of
// Format_RGB32; rows lie Stride() pixels apart (Row(y)). Every drawing call
// keeps the high byte 0.
//
// Device contexts. A CDC draws onto a surface at an origin and clipped to a
// region of that surface. The windowing side gives each window's or
// control's DC its place with one call:
//   dc.AttachSurface(&windowSurface, CPoint(20, 30), visibleRegion);
// Logical (0, 0) is then the surface pixel (20, 30); visibleRegion is in
// surface pixels; nothing outside it (nor outside the surface) is touched.
// SelectClipRgn and IntersectClipRect narrow the clip further in logical
// coordinates, as on Windows. A memory DC (CreateCompatibleDC) draws into
// the bitmap selected into it.
//
// Every touched surface notes the bounding rectangle of what changed
// (Surface::DirtyRect) so that the windowing side knows what to present.
//
// Handles. GDI objects live in one process-wide handle table, as on
// Windows: a CPen, CBrush, ... wraps a handle and deletes it when destroyed.
// A DC keeps what is selected into it alive; DeleteObject of a selected
// object fails (FALSE), as on Windows. A stale handle is refused, never
// followed.
//
// Coordinates are 32-bit; the arithmetic is 64-bit, so figures far outside
// the surface are clipped, not wrapped.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/cstring.h"
#include "framework/geometry.h"
#include "framework/wintypes.h"

// ---------------------------------------------------------------- colours

typedef DWORD COLORREF;
#define RGB(r, g, b)                                                                             \
  (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<DWORD>(static_cast<BYTE>(g)) << 8) | \
                         (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
inline BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
inline BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
inline BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
#define CLR_INVALID 0xFFFFFFFFu

// ---------------------------------------------------------------- constants

// Stock objects.
enum : int {
  WHITE_BRUSH = 0,
  LTGRAY_BRUSH = 1,
  GRAY_BRUSH = 2,
  DKGRAY_BRUSH = 3,
  BLACK_BRUSH = 4,
  NULL_BRUSH = 5,
  HOLLOW_BRUSH = 5,
  WHITE_PEN = 6,
  BLACK_PEN = 7,
  NULL_PEN = 8,
  ANSI_VAR_FONT = 12,
  SYSTEM_FONT = 13,
  DEFAULT_PALETTE = 15,
  DEFAULT_GUI_FONT = 17,
};

// Pen styles (the low four bits), end caps and kinds.
enum : int {
  PS_SOLID = 0,
  PS_DASH = 1,
  PS_DOT = 2,
  PS_DASHDOT = 3,
  PS_DASHDOTDOT = 4,
  PS_NULL = 5,
  PS_INSIDEFRAME = 6,
  PS_STYLE_MASK = 0xF,
  PS_ENDCAP_ROUND = 0,
  PS_ENDCAP_SQUARE = 0x100,
  PS_ENDCAP_FLAT = 0x200,
  PS_ENDCAP_MASK = 0xF00,
  PS_COSMETIC = 0,
  PS_GEOMETRIC = 0x10000,
};

// Brush styles and hatches.
enum : UINT { BS_SOLID = 0, BS_NULL = 1, BS_HOLLOW = 1, BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5, BS_DIBPATTERNPT = 6 };
enum : int { HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4, HS_DIAGCROSS = 5 };

// Binary raster operations (SetROP2).
enum : int {
  R2_BLACK = 1,        // 0
  R2_NOTMERGEPEN = 2,  // ~(D | P)
  R2_MASKNOTPEN = 3,   // D & ~P
  R2_NOTCOPYPEN = 4,   // ~P
  R2_MASKPENNOT = 5,   // P & ~D
  R2_NOT = 6,          // ~D
  R2_XORPEN = 7,       // D ^ P
  R2_NOTMASKPEN = 8,   // ~(D & P)
  R2_MASKPEN = 9,      // D & P
  R2_NOTXORPEN = 10,   // ~(D ^ P)
  R2_NOP = 11,         // D
  R2_MERGENOTPEN = 12, // D | ~P
  R2_COPYPEN = 13,     // P
  R2_MERGEPENNOT = 14, // P | ~D
  R2_MERGEPEN = 15,    // D | P
  R2_WHITE = 16,       // 1
};

// Ternary raster operations (BitBlt, StretchBlt, PatBlt, StretchDIBits).
enum : DWORD {
  SRCCOPY = 0x00CC0020,
  SRCPAINT = 0x00EE0086,
  SRCAND = 0x008800C6,
  SRCINVERT = 0x00660046,
  SRCERASE = 0x00440328,
  NOTSRCCOPY = 0x00330008,
  NOTSRCERASE = 0x001100A6,
  MERGECOPY = 0x00C000CA,
  MERGEPAINT = 0x00BB0226,
  PATCOPY = 0x00F00021,
  PATPAINT = 0x00FB0A09,
  PATINVERT = 0x005A0049,
  DSTINVERT = 0x00550009,
  BLACKNESS = 0x00000042,
  WHITENESS = 0x00FF0062,
};

// Background modes.
enum : int { TRANSPARENT = 1, OPAQUE = 2 };

// Text alignment.
enum : UINT {
  TA_NOUPDATECP = 0,
  TA_UPDATECP = 1,
  TA_LEFT = 0,
  TA_RIGHT = 2,
  TA_CENTER = 6,
  TA_TOP = 0,
  TA_BOTTOM = 8,
  TA_BASELINE = 24,
};

// DrawText formats.
enum : UINT {
  DT_TOP = 0x0,
  DT_LEFT = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10,
  DT_SINGLELINE = 0x20,
  DT_EXPANDTABS = 0x40,
  DT_TABSTOP = 0x80,
  DT_NOCLIP = 0x100,
  DT_EXTERNALLEADING = 0x200,
  DT_CALCRECT = 0x400,
  DT_NOPREFIX = 0x800,
  DT_INTERNAL = 0x1000,
  DT_EDITCONTROL = 0x2000,
  DT_PATH_ELLIPSIS = 0x4000,
  DT_END_ELLIPSIS = 0x8000,
  DT_WORD_ELLIPSIS = 0x40000,
  DT_HIDEPREFIX = 0x100000,
  DT_PREFIXONLY = 0x200000,
};

// ExtTextOut options.
enum : UINT { ETO_OPAQUE = 0x2, ETO_CLIPPED = 0x4 };

// Stretch modes: every mode samples the nearest source pixel.
enum : int { BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4, STRETCH_DELETESCANS = 3 };

// Regions.
enum : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };
enum : int { RGN_ERROR = 0, NULLREGION = 1, SIMPLEREGION = 2, COMPLEXREGION = 3 };
enum : int { ALTERNATE = 1, WINDING = 2 };

// Arc direction, mapping mode.
enum : int { AD_COUNTERCLOCKWISE = 1, AD_CLOCKWISE = 2 };
enum : int { MM_TEXT = 1 };

// DrawState kinds and states.
enum : UINT {
  DST_COMPLEX = 0x0,
  DST_TEXT = 0x1,
  DST_PREFIXTEXT = 0x2,
  DST_ICON = 0x3,
  DST_BITMAP = 0x4,
  DSS_NORMAL = 0x0,
  DSS_UNION = 0x10,
  DSS_DISABLED = 0x20,
  DSS_MONO = 0x80,
  DSS_RIGHT = 0x8000,
};

// DrawEdge.
enum : UINT {
  BDR_RAISEDOUTER = 0x1,
  BDR_SUNKENOUTER = 0x2,
  BDR_RAISEDINNER = 0x4,
  BDR_SUNKENINNER = 0x8,
  EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER,
  EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
  EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER,
  EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER,
  BF_LEFT = 0x1,
  BF_TOP = 0x2,
  BF_RIGHT = 0x4,
  BF_BOTTOM = 0x8,
  BF_RECT = 0xF,
  BF_MIDDLE = 0x800,
  BF_ADJUST = 0x2000,
  BF_FLAT = 0x4000,
  BF_MONO = 0x8000,
};

// DrawFrameControl (buttons only).
enum : UINT {
  DFC_BUTTON = 4,
  DFCS_BUTTONCHECK = 0x0,
  DFCS_BUTTONRADIO = 0x4,
  DFCS_BUTTONPUSH = 0x10,
  DFCS_INACTIVE = 0x100,
  DFCS_PUSHED = 0x200,
  DFCS_CHECKED = 0x400,
  DFCS_FLAT = 0x4000,
};

// DIBs.
enum : DWORD { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };
enum : UINT { DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1 };
enum : UINT { DCB_RESET = 1, DCB_ACCUMULATE = 2, DCB_DIRTY = 2, DCB_SET = 3, DCB_ENABLE = 4, DCB_DISABLE = 8 };

// GetDeviceCaps.
enum : int {
  HORZRES = 8,
  VERTRES = 10,
  BITSPIXEL = 12,
  PLANES = 14,
  NUMCOLORS = 24,
  RASTERCAPS = 38,
  LOGPIXELSX = 88,
  LOGPIXELSY = 90,
  SIZEPALETTE = 104,
};

// Fonts.
enum : int {
  FW_DONTCARE = 0,
  FW_THIN = 100,
  FW_EXTRALIGHT = 200,
  FW_LIGHT = 300,
  FW_NORMAL = 400,
  FW_REGULAR = 400,
  FW_MEDIUM = 500,
  FW_SEMIBOLD = 600,
  FW_BOLD = 700,
  FW_EXTRABOLD = 800,
  FW_HEAVY = 900,
};
enum : BYTE {
  ANSI_CHARSET = 0,
  DEFAULT_CHARSET = 1,
  EASTEUROPE_CHARSET = 238,
  OUT_DEFAULT_PRECIS = 0,
  OUT_TT_PRECIS = 4,
  CLIP_DEFAULT_PRECIS = 0,
  DEFAULT_QUALITY = 0,
  DRAFT_QUALITY = 1,
  PROOF_QUALITY = 2,
  NONANTIALIASED_QUALITY = 3,
  ANTIALIASED_QUALITY = 4,
  DEFAULT_PITCH = 0,
  FIXED_PITCH = 1,
  VARIABLE_PITCH = 2,
  FF_DONTCARE = 0x00,
  FF_ROMAN = 0x10,
  FF_SWISS = 0x20,
  FF_MODERN = 0x30,
};
#define LF_FACESIZE 32

// ---------------------------------------------------------------- structures

struct LOGPEN {
  UINT lopnStyle;
  POINT lopnWidth;  // x is the width
  COLORREF lopnColor;
};

struct LOGBRUSH {
  UINT lbStyle;
  COLORREF lbColor;
  uintptr_t lbHatch;
};

struct LOGFONT {
  LONG lfHeight;  // < 0: character height in pixels; > 0: cell height; 0: default
  LONG lfWidth;
  LONG lfEscapement;  // tenths of a degree, counter-clockwise
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
typedef LOGFONT* LPLOGFONT;

struct TEXTMETRIC {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};
typedef TEXTMETRIC* LPTEXTMETRIC;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;  // the bits of a DIB section, else null
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;  // "BM"
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14, "BITMAPFILEHEADER is 14 bytes");

struct BITMAPCOREHEADER {
  DWORD bcSize;
  WORD bcWidth;
  WORD bcHeight;
  WORD bcPlanes;
  WORD bcBitCount;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12, "BITMAPCOREHEADER is 12 bytes");

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // < 0: rows top down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];  // the colour table (or the three masks of BI_BITFIELDS) follows
};

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

struct LOGPALETTE {
  WORD palVersion;  // 0x300
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];  // palNumEntries entries follow
};

typedef RECT* LPRECT;
typedef const RECT* LPCRECT;
typedef POINT* LPPOINT;
typedef SIZE* LPSIZE;

// ---------------------------------------------------------------- handles

// Handles are opaque numbers; these tags only give them types, so that an
// HPEN converts to an HGDIOBJ as on Windows.
namespace brv::gdi {
struct ObjectTag {};
struct PenTag : ObjectTag {};
struct BrushTag : ObjectTag {};
struct FontTag : ObjectTag {};
struct BitmapTag : ObjectTag {};
struct RegionTag : ObjectTag {};
struct PaletteTag : ObjectTag {};
struct IconTag : ObjectTag {};
}  // namespace brv::gdi

typedef brv::gdi::ObjectTag* HGDIOBJ;
typedef brv::gdi::PenTag* HPEN;
typedef brv::gdi::BrushTag* HBRUSH;
typedef brv::gdi::FontTag* HFONT;
typedef brv::gdi::BitmapTag* HBITMAP;
typedef brv::gdi::RegionTag* HRGN;
typedef brv::gdi::PaletteTag* HPALETTE;
typedef brv::gdi::IconTag* HICON;
typedef HICON HCURSOR;
struct HDC__;
typedef HDC__* HDC;

class CDC;
class CBitmap;

namespace brv {

// ---------------------------------------------------------------- pixels

// Colour <-> pixel: COLORREF is 0x00BBGGRR, a pixel 0x00RRGGBB.
inline uint32_t PixelOf(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }
inline COLORREF ColorOf(uint32_t p) { return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF); }

// An RGB32 pixel buffer: width x height pixels 0x00RRGGBB, rows top down.
// An owned surface pads its rows to an odd number of 64-byte cache lines
// (Stride() >= Width(); drawing down a column then stays in the cache); a
// wrapped one points into memory that its owner keeps (a DIB section) and
// may run bottom up (negative stride). Address pixels through Row(y).
class Surface {
 public:
  Surface() = default;
  Surface(int width, int height, uint32_t fill = 0x00FFFFFF);
  Surface(const Surface& other);
  Surface& operator=(const Surface& other);
  Surface(Surface&& other) noexcept;
  Surface& operator=(Surface&& other) noexcept;

  // Pixels of someone else's memory; stride in pixels, from row y to y + 1.
  static Surface Wrap(uint32_t* topRow, int width, int height, ptrdiff_t stride);

  // New size, every pixel `fill` (a wrapped surface becomes an owned one).
  void Resize(int width, int height, uint32_t fill = 0x00FFFFFF);
  void Fill(uint32_t pixel);

  int Width() const { return width_; }
  int Height() const { return height_; }
  ptrdiff_t Stride() const { return stride_; }
  bool IsEmpty() const { return width_ <= 0 || height_ <= 0; }
  CRect Bounds() const { return CRect(0, 0, width_, height_); }
  uint32_t* Row(int y) { return top_ + stride_ * y; }
  const uint32_t* Row(int y) const { return top_ + stride_ * y; }
  // The top row; row y starts Stride() x y pixels further on.
  uint32_t* Pixels() { return top_; }
  const uint32_t* Pixels() const { return top_; }
  // The caller keeps x and y inside the surface.
  uint32_t Pixel(int x, int y) const { return Row(y)[x]; }
  void SetPixel(int x, int y, uint32_t p) { Row(y)[x] = p; }

  // The bounding rectangle of the pixels drawn since the last ClearDirty.
  CRect DirtyRect() const { return dirty_; }
  void ClearDirty() { dirty_.SetRectEmpty(); }
  void AddDirty(const RECT& r);

  // Per-pixel marks of the figure being drawn, so that one figure touches a
  // pixel once (for the drawing code).
  uint32_t BeginFigure();
  bool MarkOnce(int x, int y, uint32_t figure);

 private:
  std::vector<uint32_t> owned_;
  uint32_t* top_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  ptrdiff_t stride_ = 0;
  CRect dirty_;
  std::vector<uint32_t> marks_;
  uint32_t figure_ = 0;
};

// A set of pixels as disjoint rectangles in bands (rows of equal top and
// bottom, sorted by y and then x), as Windows keeps regions. Rectangles
// exclude their right and bottom edges.
class Region {
 public:
  Region() = default;
  explicit Region(const RECT& r);
  // The union of any rectangles (they may overlap; empty ones are dropped).
  static Region FromRects(std::span<const RECT> rects);
  // The pixels whose centres lie inside the polygon (ALTERNATE or WINDING).
  static Region FromPolygon(std::span<const POINT> points, int fillMode);
  // The pixels of the ellipse filled in that bounding box.
  static Region FromEllipse(const RECT& box);

  bool IsEmpty() const { return rects_.empty(); }
  const std::vector<CRect>& Rects() const { return rects_; }
  CRect Bounds() const;
  // NULLREGION, SIMPLEREGION or COMPLEXREGION.
  int Kind() const;
  bool Contains(int x, int y) const;
  bool Touches(const RECT& r) const;
  void Offset(int dx, int dy);

  Region Intersect(const Region& other) const;
  Region Union(const Region& other) const;
  Region Subtract(const Region& other) const;
  Region Xor(const Region& other) const;
  bool operator==(const Region& other) const;

 private:
  std::vector<CRect> rects_;
};

// The process-wide handle table: how many objects it holds (for tests), and
// a reset that drops every object but the stock ones.
size_t LiveGdiObjects();
void ResetGdiObjects();

// The pixels of a bitmap (null for a stale handle). A 1-bit bitmap holds
// only black and white pixels.
Surface* BitmapSurface(HBITMAP bitmap);
int BitmapBitsPerPixel(HBITMAP bitmap);

}  // namespace brv

// ---------------------------------------------------------------- objects

class CGdiObject {
 public:
  CGdiObject() = default;
  virtual ~CGdiObject();
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;

  HGDIOBJ m_hObject = nullptr;

  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }
  // Wraps an existing handle; the wrapper then deletes it (unless detached).
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  // Deletes the object; FALSE while a DC has it selected (it then stays).
  BOOL DeleteObject();
  BOOL CreateStockObject(int index);
  int GetObject(int size, void* out) const;
  UINT GetObjectType() const;

  static CGdiObject* FromHandle(HGDIOBJ object);
};

class CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color);
  // Width 0 is a one-pixel pen; PS_NULL draws nothing.
  BOOL CreatePen(int style, int width, COLORREF color);
  BOOL CreatePenIndirect(const LOGPEN* logPen);
  int GetLogPen(LOGPEN* out) const;
  operator HPEN() const { return reinterpret_cast<HPEN>(m_hObject); }
  static CPen* FromHandle(HPEN pen);
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color);
  CBrush(int hatch, COLORREF color);
  explicit CBrush(CBitmap* pattern);
  BOOL CreateSolidBrush(COLORREF color);
  BOOL CreateHatchBrush(int hatch, COLORREF color);
  // The bitmap's pixels tile the plane from the brush origin (a 1-bit
  // pattern takes the text and background colours).
  BOOL CreatePatternBrush(CBitmap* pattern);
  // A packed DIB (header, colours, rows) tiles the plane in its own colours,
  // 1-bit ones as well. Palette indices (DIB_PAL_COLORS) and a DIB that
  // does not parse are refused.
  BOOL CreateDIBPatternBrush(const void* packedDib, UINT usage);
  BOOL CreateBrushIndirect(const LOGBRUSH* logBrush);
  int GetLogBrush(LOGBRUSH* out) const;
  operator HBRUSH() const { return reinterpret_cast<HBRUSH>(m_hObject); }
  static CBrush* FromHandle(HBRUSH brush);
};

// "Arial", "MS Sans Serif", "MS Shell Dlg" and the dialog font are drawn
// with Liberation Sans, every other face with DejaVu Sans (bold and italic
// faces when asked). lfHeight < 0 gives the character height in pixels,
// > 0 the cell height, 0 the default of 12 pixels.
class CFont : public CGdiObject {
 public:
  BOOL CreateFontIndirect(const LOGFONT* logFont);
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                  BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                  BYTE quality, BYTE pitchAndFamily, LPCTSTR faceName);
  // Tenths of a point at 96 pixels per inch.
  BOOL CreatePointFont(int pointSize, LPCTSTR faceName, CDC* dc = nullptr);
  int GetLogFont(LOGFONT* out) const;
  operator HFONT() const { return reinterpret_cast<HFONT>(m_hObject); }
  static CFont* FromHandle(HFONT font);
};

class CBitmap : public CGdiObject {
 public:
  // The RT_BITMAP resource of that number (a BMP file or a packed DIB).
  BOOL LoadBitmap(UINT resourceId);
  BOOL LoadBitmap(LPCTSTR resourceName);
  // bitsPerPixel 1 (monochrome) or 32; other depths are kept as 32 bits.
  // bits: rows top down, each padded to an even number of bytes.
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
  BOOL CreateBitmapIndirect(const BITMAP* bitmap);
  // A colour bitmap (a 1-bit one when dc is a fresh memory DC, as on Windows).
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  int GetBitmap(BITMAP* out) const;
  // The rows top down in the bitmap's own format (32 bits: B, G, R, 0;
  // 1 bit: rows padded to 16 bits), at most count bytes; returns the bytes.
  DWORD GetBitmapBits(DWORD count, void* bits) const;
  DWORD SetBitmapBits(DWORD count, const void* bits);
  CSize GetBitmapDimension() const;
  operator HBITMAP() const { return reinterpret_cast<HBITMAP>(m_hObject); }
  static CBitmap* FromHandle(HBITMAP bitmap);
};

class CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int left, int top, int right, int bottom);
  BOOL CreateRectRgnIndirect(LPCRECT rect);
  BOOL CreateEllipticRgn(int left, int top, int right, int bottom);
  BOOL CreateEllipticRgnIndirect(LPCRECT rect);
  BOOL CreatePolygonRgn(const POINT* points, int count, int fillMode);
  // Sets this region (which must exist) to a mode b; returns the kind.
  int CombineRgn(const CRgn* a, const CRgn* b, int mode);
  int CopyRgn(const CRgn* source);
  void SetRectRgn(int left, int top, int right, int bottom);
  void SetRectRgn(LPCRECT rect);
  int OffsetRgn(int dx, int dy);
  int OffsetRgn(POINT offset);
  BOOL PtInRegion(int x, int y) const;
  BOOL PtInRegion(POINT p) const;
  BOOL RectInRegion(LPCRECT rect) const;
  int GetRgnBox(LPRECT rect) const;
  BOOL EqualRgn(const CRgn* other) const;
  // The pixels (an empty region when none was created).
  const brv::Region& GetRegion() const;
  operator HRGN() const { return reinterpret_cast<HRGN>(m_hObject); }
  static CRgn* FromHandle(HRGN region);
};

class CPalette : public CGdiObject {
 public:
  BOOL CreatePalette(const LOGPALETTE* logPalette);
  int GetEntryCount() const;
  // Copy out or in when start + count fits; return the entries copied.
  UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* entries) const;
  UINT SetPaletteEntries(UINT start, UINT count, const PALETTEENTRY* entries);
  UINT GetNearestPaletteIndex(COLORREF color) const;
  operator HPALETTE() const { return reinterpret_cast<HPALETTE>(m_hObject); }
  static CPalette* FromHandle(HPALETTE palette);
};

// ---------------------------------------------------------------- the DC

class CDC {
 public:
  CDC();
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  HDC m_hDC = nullptr;  // this DC's handle once it has a target
  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  static CDC* FromHandle(HDC dc);

  // Target: draws onto surface with logical (0, 0) at `origin`, clipped to
  // `visible` (surface pixels) and the surface. The DC's objects and
  // attributes stay as they are.
  void AttachSurface(brv::Surface* surface, CPoint origin, const brv::Region& visible);
  void AttachSurface(brv::Surface* surface, CPoint origin, const RECT& visible);
  void AttachSurface(brv::Surface* surface);  // origin (0, 0), the whole surface
  void DetachSurface();
  brv::Surface* GetSurface() const;
  CPoint GetSurfaceOrigin() const { return origin_; }

  // A memory DC: its target is the bitmap selected into it (at first a 1 x 1
  // monochrome one, as on Windows).
  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();
  int SaveDC();
  BOOL RestoreDC(int saved);  // a saved number, or -1 for the last

  // Objects. Each returns the previously selected object (null on failure).
  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);  // memory DCs only
  int SelectObject(CRgn* region);          // as SelectClipRgn
  CGdiObject* SelectObject(CGdiObject* object);
  HGDIOBJ SelectObject(HGDIOBJ object);
  CGdiObject* SelectStockObject(int index);
  CPen* GetCurrentPen() const;
  CBrush* GetCurrentBrush() const;
  CFont* GetCurrentFont() const;
  CBitmap* GetCurrentBitmap() const;
  CPalette* SelectPalette(CPalette* palette, BOOL forceBackground);
  UINT RealizePalette();

  // Attributes (each Set returns the previous value).
  COLORREF SetTextColor(COLORREF color);
  COLORREF GetTextColor() const;
  COLORREF SetBkColor(COLORREF color);
  COLORREF GetBkColor() const;  // white at first
  int SetBkMode(int mode);
  int GetBkMode() const;  // OPAQUE at first
  int SetROP2(int mode);
  int GetROP2() const;
  UINT SetTextAlign(UINT flags);
  UINT GetTextAlign() const;
  int SetStretchBltMode(int mode);
  int GetStretchBltMode() const;
  int SetPolyFillMode(int mode);
  int GetPolyFillMode() const;
  int SetMapMode(int mode);  // only MM_TEXT
  int GetMapMode() const;
  int SetArcDirection(int direction);
  int GetArcDirection() const;
  CPoint SetViewportOrg(int x, int y);
  CPoint SetViewportOrg(POINT p);
  CPoint OffsetViewportOrg(int dx, int dy);
  CPoint GetViewportOrg() const;
  CPoint SetWindowOrg(int x, int y);
  CPoint SetWindowOrg(POINT p);
  CPoint GetWindowOrg() const;
  CPoint SetBrushOrg(int x, int y);
  CPoint SetBrushOrg(POINT p);
  CPoint GetBrushOrg() const;
  int GetDeviceCaps(int index) const;
  // Logical <-> DC pixels (the window and viewport origins).
  void LPtoDP(LPPOINT points, int count = 1) const;
  void LPtoDP(LPRECT rect) const;
  void DPtoLP(LPPOINT points, int count = 1) const;
  void DPtoLP(LPRECT rect) const;

  // Clipping (regions in DC pixels, as on Windows).
  int SelectClipRgn(CRgn* region);  // null: no extra clip
  int SelectClipRgn(CRgn* region, int mode);
  int IntersectClipRect(int left, int top, int right, int bottom);
  int IntersectClipRect(LPCRECT rect);
  int ExcludeClipRect(int left, int top, int right, int bottom);
  int ExcludeClipRect(LPCRECT rect);
  int GetClipBox(LPRECT rect) const;  // logical coordinates
  // The bounds of what the DC drew while accumulation was on (DCB_ENABLE,
  // off at start), in logical coordinates; DCB_RESET empties it afterwards.
  // Returns DCB_SET or DCB_RESET (empty), with DCB_ENABLE or DCB_DISABLE.
  UINT GetBoundsRect(LPRECT rect, UINT flags);
  // DCB_RESET empties, DCB_ACCUMULATE adds the rectangle (logical), then
  // DCB_ENABLE or DCB_DISABLE; returns the state before, as GetBoundsRect.
  UINT SetBoundsRect(LPCRECT rect, UINT flags);
  BOOL PtVisible(int x, int y) const;
  BOOL PtVisible(POINT p) const;
  BOOL RectVisible(LPCRECT rect) const;

  // Lines: the end point of LineTo is not drawn.
  CPoint MoveTo(int x, int y);
  CPoint MoveTo(POINT p);
  BOOL LineTo(int x, int y);
  BOOL LineTo(POINT p);
  CPoint GetCurrentPosition() const;
  BOOL Polyline(const POINT* points, int count);
  // Counter-clockwise (or clockwise with AD_CLOCKWISE) from the start ray to
  // the end ray on the ellipse of the box; start == end: the whole ellipse.
  BOOL Arc(int left, int top, int right, int bottom, int x3, int y3, int x4, int y4);
  BOOL Arc(LPCRECT rect, POINT start, POINT end);

  // Filled figures: pen outline, brush inside, each pixel touched once; the
  // right and bottom edges are excluded.
  BOOL Rectangle(int left, int top, int right, int bottom);
  BOOL Rectangle(LPCRECT rect);
  BOOL Ellipse(int left, int top, int right, int bottom);
  BOOL Ellipse(LPCRECT rect);
  BOOL Polygon(const POINT* points, int count);

  // Rectangles and regions (FillRect and FrameRect copy the brush whatever
  // the ROP2 mode; FillSolidRect sets the background colour, as MFC's does).
  void FillRect(LPCRECT rect, CBrush* brush);
  void FillRect(LPCRECT rect, HBRUSH brush);
  void FrameRect(LPCRECT rect, CBrush* brush);
  void InvertRect(LPCRECT rect);
  void FillSolidRect(LPCRECT rect, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  void Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight);
  void Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight);
  void DrawFocusRect(LPCRECT rect);
  BOOL DrawEdge(LPRECT rect, UINT edge, UINT flags);
  BOOL DrawFrameControl(LPRECT rect, UINT type, UINT state);
  BOOL FillRgn(CRgn* region, CBrush* brush);
  BOOL FrameRgn(CRgn* region, CBrush* brush, int width, int height);
  BOOL InvertRgn(CRgn* region);
  BOOL PaintRgn(CRgn* region);

  // Pixels. SetPixel returns the colour set, GetPixel CLR_INVALID outside
  // the clip.
  COLORREF SetPixel(int x, int y, COLORREF color);
  COLORREF SetPixel(POINT p, COLORREF color);
  BOOL SetPixelV(int x, int y, COLORREF color);
  COLORREF GetPixel(int x, int y) const;
  COLORREF GetPixel(POINT p) const;

  // Blocks of pixels. A 1-bit source gives text colour for 0 and background
  // colour for 1; a 1-bit target gets 1 where the source has the background
  // colour. Negative sizes mirror.
  BOOL BitBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, DWORD rop);
  BOOL PatBlt(int x, int y, int width, int height, DWORD rop);
  BOOL StretchBlt(int x, int y, int width, int height, CDC* source, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, DWORD rop);
  // DIB rows as BITMAPINFO describes them (1, 4, 8, 16, 24, 32 bits, BI_RGB,
  // BI_BITFIELDS, BI_RLE4, BI_RLE8; bottom up or top down); the source
  // rectangle is in DIB coordinates with y = 0 the bottom row. Returns the
  // scan lines drawn, 0 for a bad header.
  int StretchDIBits(int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth, int srcHeight,
                    const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
  int SetDIBitsToDevice(int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                        UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage);

  // Icons and states. DrawState with a null size uses the image's size; with
  // DSS_MONO it paints the image's shape (the icon's mask) with the brush.
  BOOL DrawIcon(int x, int y, HICON icon);
  BOOL DrawIcon(POINT p, HICON icon);
  BOOL DrawState(CPoint pt, CSize size, HICON icon, UINT flags, HBRUSH brush = nullptr);
  BOOL DrawState(CPoint pt, CSize size, HICON icon, UINT flags, CBrush* brush);
  BOOL DrawState(CPoint pt, CSize size, HBITMAP bitmap, UINT flags, HBRUSH brush = nullptr);
  BOOL DrawState(CPoint pt, CSize size, CBitmap* bitmap, UINT flags, CBrush* brush = nullptr);
  BOOL DrawState(CPoint pt, CSize size, LPCTSTR text, UINT flags, BOOL prefixText = TRUE, int textLength = 0,
                 HBRUSH brush = nullptr);
  BOOL DrawState(CPoint pt, CSize size, LPCTSTR text, UINT flags, BOOL prefixText, int textLength,
                 CBrush* brush);

  // Text (UTF-8; counts are bytes, -1 for NUL-terminated where Windows
  // allows it). The ROP2 mode does not apply to text.
  BOOL TextOut(int x, int y, LPCTSTR text, int count);
  BOOL TextOut(int x, int y, const CString& text);
  BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCTSTR text, UINT count, const int* dx = nullptr);
  BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, const CString& text, const int* dx = nullptr);
  // Tabs go to the given stops (relative to tabOrigin; none: every 8 average
  // characters; one: every that many pixels). Returns the extent.
  CSize TabbedTextOut(int x, int y, LPCTSTR text, int count, int tabCount, const int* tabStops, int tabOrigin);
  CSize TabbedTextOut(int x, int y, const CString& text, int tabCount, const int* tabStops, int tabOrigin);
  // Returns the text's height (with DT_VCENTER/DT_BOTTOM: the offset from
  // the top plus the height, as Windows).
  int DrawText(LPCTSTR text, int count, LPRECT rect, UINT format);
  int DrawText(const CString& text, LPRECT rect, UINT format);
  CSize GetTextExtent(LPCTSTR text, int count) const;
  CSize GetTextExtent(const CString& text) const;
  CSize GetOutputTextExtent(LPCTSTR text, int count) const;
  CSize GetOutputTextExtent(const CString& text) const;
  BOOL GetTextExtentPoint32(LPCTSTR text, int count, LPSIZE size) const;
  CSize GetTabbedTextExtent(LPCTSTR text, int count, int tabCount, const int* tabStops) const;
  BOOL GetTextMetrics(LPTEXTMETRIC metrics) const;
  BOOL GetOutputTextMetrics(LPTEXTMETRIC metrics) const;
  int GetTextFace(int count, LPTSTR faceName) const;

  // The drawing layer's own state (framework/gdi_dc_impl.h).
  struct State;
  struct Impl;
  Impl* GetImpl() const { return impl_.get(); }

 protected:
  std::unique_ptr<Impl> impl_;
  CPoint origin_;
};

// ---------------------------------------------------------------- functions

HGDIOBJ GetStockObject(int index);
BOOL DeleteObject(HGDIOBJ object);
int GetObject(HGDIOBJ object, int size, void* out);
enum : UINT { OBJ_PEN = 1, OBJ_BRUSH = 2, OBJ_DC = 3, OBJ_PAL = 5, OBJ_FONT = 6, OBJ_BITMAP = 7, OBJ_REGION = 8 };
UINT GetObjectType(HGDIOBJ object);

// A bitmap over DIB memory that the caller writes and reads through *bits.
// 32-bit BI_RGB sections (top down or bottom up) are drawn into directly;
// other depths (1, 4, 8, 16, 24) are read into the bitmap when selected into
// a DC and written back when it is deselected, by GdiFlush and by GetDIBits.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
BOOL GdiFlush();
// The bitmap's rows in the format that info asks for (1, 24 or 32 bits,
// BI_RGB; a colour bitmap read at 1 bit is white where it is white). bits null: fills in the header (size, depth, image size).
// Returns the rows copied, 0 on failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info, UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT startScan, UINT scanLines, const void* bits, const BITMAPINFO* info,
              UINT usage);
inline int StretchDIBits(HDC dc, int x, int y, int width, int height, int xSrc, int ySrc, int srcWidth,
                         int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) {
  CDC* target = CDC::FromHandle(dc);
  return target ? target->StretchDIBits(x, y, width, height, xSrc, ySrc, srcWidth, srcHeight, bits, info, usage, rop)
                : 0;
}
inline int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                             UINT scanLines, const void* bits, const BITMAPINFO* info, UINT usage) {
  CDC* target = CDC::FromHandle(dc);
  return target ? target->SetDIBitsToDevice(x, y, width, height, xSrc, ySrc, startScan, scanLines, bits, info,
                                            usage)
                : 0;
}
inline BOOL GetTextExtentPoint32(HDC dc, LPCTSTR text, int count, LPSIZE size) {
  CDC* target = CDC::FromHandle(dc);
  return target ? target->GetTextExtentPoint32(text, count, size) : FALSE;
}

// Icons and cursors. An icon holds colour pixels, a mask (1 = transparent,
// the AND mask) and, for cursors, the hot spot.
struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HBITMAP hbmMask;
  HBITMAP hbmColor;
};
BOOL DestroyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
BOOL GetIconInfo(HICON icon, ICONINFO* info);  // the bitmaps are the caller's to delete
HICON CopyIcon(HICON icon);

namespace brv {

// ---------------------------------------------------------------- icons

// One image of an icon or cursor: width x height colour pixels 0x00RRGGBB
// (alpha separately when the image had it), the AND mask (1 = transparent).
struct IconImage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  CPoint hotspot;  // cursors
  std::vector<uint32_t> pixels;
  std::vector<uint8_t> alpha;  // empty unless a 32-bit image had alpha
  std::vector<uint8_t> mask;   // one byte a pixel: 1 transparent, 0 opaque
};

// Reads a Windows ICO (cursor false) or CUR (cursor true) file: every image
// of its directory. False with the reason in *error for a bad file; nothing
// is read past the data.
bool ReadIconFile(std::span<const uint8_t> data, bool cursor, std::vector<IconImage>* images, std::string* error);
// The image that fits width x height best (0: the first image's size), as an
// icon object; null with *error for a bad file.
HICON CreateIconFromFile(std::span<const uint8_t> data, bool cursor, int width, int height,
                         std::string* error = nullptr);
HICON CreateIconFromImage(const IconImage& image, bool cursor);
// The icon's image (null for a stale handle).
const IconImage* IconImageOf(HICON icon);

// ---------------------------------------------------------------- fonts

// The dialog font: "MS Sans Serif" 8 pt (lfHeight -11), drawn with
// Liberation Sans; also the DC's default font and DEFAULT_GUI_FONT.
void DialogLogFont(LOGFONT* out);
HFONT DialogFont();
// Dialog base units of the dialog font: 6 x 13 (average width of "A".."Z",
// "a".."z" rounded, and the text height).
CSize DialogBaseUnits();
// Extent and metrics of a text in a font without a DC (null: the dialog font).
CSize TextExtent(HFONT font, std::string_view text);
bool TextMetrics(HFONT font, TEXTMETRIC* out);
// The font file that a face name and style map to, found through
// fontconfig ("" when the system has no font at all).
std::string FontFileFor(std::string_view faceName, bool bold, bool italic);
// Whether any font was found to draw texts with.
bool FontsFound();

}  // namespace brv
