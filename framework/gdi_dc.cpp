// The device context: target, state, objects, clipping, lines, figures and
// pixels.
#include <algorithm>
#include <cmath>
#include <deque>

#include "framework/gdi_dc_impl.h"

using namespace brv::gdi;
using brv::Region;

namespace {

template <class T>
std::shared_ptr<T> StockAs(int index) {
  return std::static_pointer_cast<T>(Stock(index));
}

constexpr double kPi = 3.14159265358979323846;

}  // namespace

bool CDC::Impl::BrushPixel(const Brush& b, int64_t x, int64_t y, uint32_t* out) const {
  switch (b.style) {
    case BS_SOLID: *out = Ink(b.color); return true;
    case BS_HATCHED: {
      int64_t ox = st.brushOrg.x + origin.x, oy = st.brushOrg.y + origin.y;
      int px = int(((x - ox) % 8 + 8) % 8), py = int(((y - oy) % 8 + 8) % 8);
      bool on = false;
      switch (b.hatch) {
        case HS_HORIZONTAL: on = py == 4; break;
        case HS_VERTICAL: on = px == 4; break;
        case HS_FDIAGONAL: on = px == py; break;
        case HS_BDIAGONAL: on = px == 7 - py; break;
        case HS_CROSS: on = px == 4 || py == 4; break;
        case HS_DIAGCROSS: on = px == py || px == 7 - py; break;
      }
      if (on) {
        *out = Ink(b.color);
        return true;
      }
      if (st.bkMode == TRANSPARENT) return false;
      *out = Ink(st.bk);
      return true;
    }
    case BS_PATTERN:
    case BS_DIBPATTERN: {
      const int w = b.pattern.Width(), h = b.pattern.Height();
      if (w <= 0 || h <= 0) return false;
      int64_t ox = st.brushOrg.x + origin.x, oy = st.brushOrg.y + origin.y;
      uint32_t p = b.pattern.Pixel(int(((x - ox) % w + w) % w), int(((y - oy) % h + h) % h)) & 0xFFFFFF;
      // a monochrome pattern takes the text colour for 0, the background for 1
      if (b.monoPattern) p = p ? Ink(st.bk) : Ink(st.text);
      *out = p;
      return true;
    }
    default: return false;
  }
}

// ---------------------------------------------------------------- basics

CDC::CDC() : impl_(std::make_unique<Impl>()) {
  impl_->st.pen = StockAs<Pen>(BLACK_PEN);
  impl_->st.brush = StockAs<Brush>(WHITE_BRUSH);
  impl_->st.font = StockAs<Font>(SYSTEM_FONT);
  impl_->st.palette = StockAs<Palette>(DEFAULT_PALETTE);
}

CDC::~CDC() {
  if (impl_->st.bitmap) --impl_->st.bitmap->selectedIn;
  for (State& s : impl_->saved)
    if (s.bitmap) --s.bitmap->selectedIn;
  if (impl_->st.bitmap) impl_->st.bitmap->ExportDib();
}

CDC* CDC::FromHandle(HDC dc) { return reinterpret_cast<CDC*>(dc); }

void CDC::AttachSurface(brv::Surface* surface, CPoint origin, const Region& visible) {
  impl_->surface = surface;
  impl_->origin = origin;
  impl_->visible = visible;
  impl_->ClipChanged();
  origin_ = origin;
  m_hDC = surface ? reinterpret_cast<HDC>(this) : nullptr;
}

void CDC::AttachSurface(brv::Surface* surface, CPoint origin, const RECT& visible) {
  AttachSurface(surface, origin, Region(visible));
}

void CDC::AttachSurface(brv::Surface* surface) {
  AttachSurface(surface, CPoint(0, 0), surface ? Region(surface->Bounds()) : Region());
}

void CDC::DetachSurface() { AttachSurface(nullptr, CPoint(0, 0), Region()); }

brv::Surface* CDC::GetSurface() const { return impl_->surface; }

BOOL CDC::CreateCompatibleDC(CDC*) {
  Impl& d = *impl_;
  if (d.st.bitmap) --d.st.bitmap->selectedIn;
  d.memory = true;
  d.st.bitmap = StockAs<Bitmap>(19);
  ++d.st.bitmap->selectedIn;
  AttachSurface(&d.st.bitmap->surface);
  return TRUE;
}

BOOL CDC::DeleteDC() {
  Impl& d = *impl_;
  if (d.st.bitmap) {
    d.st.bitmap->ExportDib();
    --d.st.bitmap->selectedIn;
  }
  for (State& s : d.saved)
    if (s.bitmap) --s.bitmap->selectedIn;
  d.saved.clear();
  d.st = State();
  d.st.pen = StockAs<Pen>(BLACK_PEN);
  d.st.brush = StockAs<Brush>(WHITE_BRUSH);
  d.st.font = StockAs<Font>(SYSTEM_FONT);
  d.st.palette = StockAs<Palette>(DEFAULT_PALETTE);
  d.memory = false;
  DetachSurface();
  return TRUE;
}

int CDC::SaveDC() {
  impl_->saved.push_back(impl_->st);
  if (impl_->st.bitmap) ++impl_->st.bitmap->selectedIn;
  return int(impl_->saved.size());
}

BOOL CDC::RestoreDC(int saved) {
  Impl& d = *impl_;
  int n = int(d.saved.size());
  int index = saved < 0 ? n + saved : saved - 1;
  if (index < 0 || index >= n) return FALSE;
  if (d.st.bitmap) --d.st.bitmap->selectedIn;
  d.st = d.saved[size_t(index)];
  for (int k = index + 1; k < n; ++k)
    if (d.saved[size_t(k)].bitmap) --d.saved[size_t(k)].bitmap->selectedIn;
  d.saved.resize(size_t(index));
  if (d.memory && d.st.bitmap) AttachSurface(&d.st.bitmap->surface);
  d.ClipChanged();
  return TRUE;
}

// ---------------------------------------------------------------- objects

CPen* CDC::SelectObject(CPen* pen) {
  if (!pen) return nullptr;
  auto p = LookupAs<Pen>(pen->m_hObject, Kind::kPen);
  if (!p) return nullptr;
  HGDIOBJ previous = impl_->st.pen->handle;
  impl_->st.pen = p;
  return dynamic_cast<CPen*>(Wrapper(previous));
}

CBrush* CDC::SelectObject(CBrush* brush) {
  if (!brush) return nullptr;
  auto b = LookupAs<Brush>(brush->m_hObject, Kind::kBrush);
  if (!b) return nullptr;
  HGDIOBJ previous = impl_->st.brush->handle;
  impl_->st.brush = b;
  return dynamic_cast<CBrush*>(Wrapper(previous));
}

CFont* CDC::SelectObject(CFont* font) {
  if (!font) return nullptr;
  auto f = LookupAs<Font>(font->m_hObject, Kind::kFont);
  if (!f) return nullptr;
  HGDIOBJ previous = impl_->st.font->handle;
  impl_->st.font = f;
  return dynamic_cast<CFont*>(Wrapper(previous));
}

CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  Impl& d = *impl_;
  if (!bitmap || !d.memory) return nullptr;
  auto b = LookupAs<Bitmap>(bitmap->m_hObject, Kind::kBitmap);
  if (!b) return nullptr;
  if (b == d.st.bitmap) return bitmap;
  // a bitmap draws in one DC at a time, as on Windows
  if (b->selectedIn > 0 && !b->stock) return nullptr;
  std::shared_ptr<Bitmap> previous = d.st.bitmap;
  if (previous) {
    previous->ExportDib();
    --previous->selectedIn;
  }
  ++b->selectedIn;
  b->ImportDib();
  d.st.bitmap = b;
  AttachSurface(&b->surface);
  return previous ? dynamic_cast<CBitmap*>(Wrapper(previous->handle)) : nullptr;
}

int CDC::SelectObject(CRgn* region) { return SelectClipRgn(region); }

CGdiObject* CDC::SelectObject(CGdiObject* object) {
  if (!object) return nullptr;
  HGDIOBJ previous = SelectObject(object->m_hObject);
  return previous ? Wrapper(previous) : nullptr;
}

HGDIOBJ CDC::SelectObject(HGDIOBJ object) {
  std::shared_ptr<Object> o = Lookup(object);
  if (!o) return nullptr;
  CGdiObject* w = Wrapper(object);
  CGdiObject* previous = nullptr;
  switch (o->kind) {
    case Kind::kPen: previous = SelectObject(static_cast<CPen*>(w)); break;
    case Kind::kBrush: previous = SelectObject(static_cast<CBrush*>(w)); break;
    case Kind::kFont: previous = SelectObject(static_cast<CFont*>(w)); break;
    case Kind::kBitmap: previous = SelectObject(static_cast<CBitmap*>(w)); break;
    case Kind::kRegion: {
      int kind = SelectClipRgn(static_cast<CRgn*>(w));
      return reinterpret_cast<HGDIOBJ>(uintptr_t(kind));
    }
    default: return nullptr;
  }
  return previous ? previous->m_hObject : nullptr;
}

CGdiObject* CDC::SelectStockObject(int index) {
  HGDIOBJ h = ::GetStockObject(index);
  if (!h) return nullptr;
  HGDIOBJ previous = SelectObject(h);
  return previous ? Wrapper(previous) : nullptr;
}

CPen* CDC::GetCurrentPen() const { return dynamic_cast<CPen*>(Wrapper(impl_->st.pen->handle)); }
CBrush* CDC::GetCurrentBrush() const { return dynamic_cast<CBrush*>(Wrapper(impl_->st.brush->handle)); }
CFont* CDC::GetCurrentFont() const { return dynamic_cast<CFont*>(Wrapper(impl_->st.font->handle)); }
CBitmap* CDC::GetCurrentBitmap() const {
  return impl_->st.bitmap ? dynamic_cast<CBitmap*>(Wrapper(impl_->st.bitmap->handle)) : nullptr;
}

CPalette* CDC::SelectPalette(CPalette* palette, BOOL) {
  if (!palette) return nullptr;
  auto p = LookupAs<Palette>(palette->m_hObject, Kind::kPalette);
  if (!p) return nullptr;
  HGDIOBJ previous = impl_->st.palette->handle;
  impl_->st.palette = p;
  return dynamic_cast<CPalette*>(Wrapper(previous));
}

UINT CDC::RealizePalette() { return 0; }

// ---------------------------------------------------------------- attributes

#define BRV_SWAP(member, value) \
  auto previous = impl_->st.member; \
  impl_->st.member = value;         \
  return previous

COLORREF CDC::SetTextColor(COLORREF c) { BRV_SWAP(text, c & 0xFFFFFF); }
COLORREF CDC::GetTextColor() const { return impl_->st.text; }
COLORREF CDC::SetBkColor(COLORREF c) { BRV_SWAP(bk, c & 0xFFFFFF); }
COLORREF CDC::GetBkColor() const { return impl_->st.bk; }
int CDC::SetBkMode(int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  BRV_SWAP(bkMode, mode);
}
int CDC::GetBkMode() const { return impl_->st.bkMode; }
int CDC::SetROP2(int mode) {
  if (mode < R2_BLACK || mode > R2_WHITE) return 0;
  BRV_SWAP(rop2, mode);
}
int CDC::GetROP2() const { return impl_->st.rop2; }
UINT CDC::SetTextAlign(UINT flags) { BRV_SWAP(align, flags); }
UINT CDC::GetTextAlign() const { return impl_->st.align; }
int CDC::SetStretchBltMode(int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  BRV_SWAP(stretch, mode);
}
int CDC::GetStretchBltMode() const { return impl_->st.stretch; }
int CDC::SetPolyFillMode(int mode) {
  if (mode != ALTERNATE && mode != WINDING) return 0;
  BRV_SWAP(polyFill, mode);
}
int CDC::GetPolyFillMode() const { return impl_->st.polyFill; }
int CDC::SetMapMode(int mode) {
  if (mode != MM_TEXT) return 0;
  BRV_SWAP(mapMode, mode);
}
int CDC::GetMapMode() const { return impl_->st.mapMode; }
int CDC::SetArcDirection(int direction) {
  if (direction != AD_CLOCKWISE && direction != AD_COUNTERCLOCKWISE) return 0;
  BRV_SWAP(arcDirection, direction);
}
int CDC::GetArcDirection() const { return impl_->st.arcDirection; }
#undef BRV_SWAP

CPoint CDC::SetViewportOrg(int x, int y) {
  CPoint previous = impl_->st.viewport;
  impl_->st.viewport = CPoint(x, y);
  return previous;
}
CPoint CDC::SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
CPoint CDC::OffsetViewportOrg(int dx, int dy) {
  CPoint v = impl_->st.viewport;
  return SetViewportOrg(v.x + dx, v.y + dy);
}
CPoint CDC::GetViewportOrg() const { return impl_->st.viewport; }
CPoint CDC::SetWindowOrg(int x, int y) {
  CPoint previous = impl_->st.window;
  impl_->st.window = CPoint(x, y);
  return previous;
}
CPoint CDC::SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
CPoint CDC::GetWindowOrg() const { return impl_->st.window; }
CPoint CDC::SetBrushOrg(int x, int y) {
  CPoint previous = impl_->st.brushOrg;
  impl_->st.brushOrg = CPoint(x, y);
  return previous;
}
CPoint CDC::SetBrushOrg(POINT p) { return SetBrushOrg(p.x, p.y); }
CPoint CDC::GetBrushOrg() const { return impl_->st.brushOrg; }

int CDC::GetDeviceCaps(int index) const {
  const brv::Surface* s = impl_->surface;
  switch (index) {
    case HORZRES: return s ? s->Width() : 0;
    case VERTRES: return s ? s->Height() : 0;
    case BITSPIXEL: return impl_->Mono() ? 1 : 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE: return 0;
    case RASTERCAPS: return 0x0001 | 0x0008 | 0x0200 | 0x0800;  // bitblt, bitmap64, dibtodev, stretchblt
    default: return 0;
  }
}

void CDC::LPtoDP(LPPOINT points, int count) const {
  for (int i = 0; points && i < count; ++i) {
    points[i].x = LONG(impl_->DX(points[i].x));
    points[i].y = LONG(impl_->DY(points[i].y));
  }
}
void CDC::LPtoDP(LPRECT r) const {
  if (!r) return;
  LPtoDP(reinterpret_cast<LPPOINT>(r), 2);
}
void CDC::DPtoLP(LPPOINT points, int count) const {
  for (int i = 0; points && i < count; ++i) {
    points[i].x = LONG(int64_t(points[i].x) - impl_->st.viewport.x + impl_->st.window.x);
    points[i].y = LONG(int64_t(points[i].y) - impl_->st.viewport.y + impl_->st.window.y);
  }
}
void CDC::DPtoLP(LPRECT r) const {
  if (!r) return;
  DPtoLP(reinterpret_cast<LPPOINT>(r), 2);
}

// ---------------------------------------------------------------- clipping

int CDC::SelectClipRgn(CRgn* region) { return SelectClipRgn(region, RGN_COPY); }

int CDC::SelectClipRgn(CRgn* region, int mode) {
  Impl& d = *impl_;
  if (!region) {
    if (mode != RGN_COPY) return RGN_ERROR;
    d.st.hasClip = false;
    d.st.clip = Region();
  } else {
    const Region& r = region->GetRegion();
    // no extra clip stands for the whole DC
    Region current = d.st.hasClip ? d.st.clip : Region(CRect(INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2));
    switch (mode) {
      case RGN_COPY: d.st.clip = r; break;
      case RGN_AND: d.st.clip = current.Intersect(r); break;
      case RGN_OR: d.st.clip = current.Union(r); break;
      case RGN_XOR: d.st.clip = current.Xor(r); break;
      case RGN_DIFF: d.st.clip = current.Subtract(r); break;
      default: return RGN_ERROR;
    }
    d.st.hasClip = true;
  }
  d.ClipChanged();
  return d.Clip().Kind();
}

int CDC::IntersectClipRect(int l, int t, int r, int b) {
  Impl& d = *impl_;
  CRect rc(LONG(d.DX(l)), LONG(d.DY(t)), LONG(d.DX(r)), LONG(d.DY(b)));
  rc.NormalizeRect();
  Region add(rc);
  if (d.st.hasClip) {
    d.st.clip = d.st.clip.Intersect(add);
  } else {
    // the extra clip starts as the visible part in DC pixels
    Region vis = d.surface ? Region(d.surface->Bounds()).Intersect(d.visible) : Region();
    vis.Offset(-d.origin.x, -d.origin.y);
    d.st.clip = vis.Intersect(add);
    d.st.hasClip = true;
  }
  d.ClipChanged();
  return d.Clip().Kind();
}
int CDC::IntersectClipRect(LPCRECT r) { return r ? IntersectClipRect(r->left, r->top, r->right, r->bottom) : RGN_ERROR; }

int CDC::ExcludeClipRect(int l, int t, int r, int b) {
  Impl& d = *impl_;
  CRect rc(LONG(d.DX(l)), LONG(d.DY(t)), LONG(d.DX(r)), LONG(d.DY(b)));
  rc.NormalizeRect();
  if (!d.st.hasClip) {
    Region vis = d.surface ? Region(d.surface->Bounds()).Intersect(d.visible) : Region();
    vis.Offset(-d.origin.x, -d.origin.y);
    d.st.clip = vis;
    d.st.hasClip = true;
  }
  d.st.clip = d.st.clip.Subtract(Region(rc));
  d.ClipChanged();
  return d.Clip().Kind();
}
int CDC::ExcludeClipRect(LPCRECT r) { return r ? ExcludeClipRect(r->left, r->top, r->right, r->bottom) : RGN_ERROR; }

int CDC::GetClipBox(LPRECT rect) const {
  Impl& d = *impl_;
  const Region& c = d.Clip();
  CRect b = c.Bounds();
  if (!c.IsEmpty()) {
    int64_t dx = int64_t(d.origin.x) + d.st.viewport.x - d.st.window.x;
    int64_t dy = int64_t(d.origin.y) + d.st.viewport.y - d.st.window.y;
    b = CRect(LONG(b.left - dx), LONG(b.top - dy), LONG(b.right - dx), LONG(b.bottom - dy));
  }
  if (rect) *rect = b;
  return c.Kind();
}

UINT CDC::GetBoundsRect(LPRECT rect, UINT flags) {
  Impl& d = *impl_;
  const UINT state = (d.bounds.IsRectEmpty() ? DCB_RESET : DCB_SET) | (d.boundsOn ? DCB_ENABLE : DCB_DISABLE);
  if (rect) {
    CRect b = d.bounds;
    if (!b.IsRectEmpty()) {
      int64_t dx = int64_t(d.origin.x) + d.st.viewport.x - d.st.window.x;
      int64_t dy = int64_t(d.origin.y) + d.st.viewport.y - d.st.window.y;
      b = CRect(LONG(b.left - dx), LONG(b.top - dy), LONG(b.right - dx), LONG(b.bottom - dy));
    } else {
      b.SetRectEmpty();
    }
    *rect = b;
  }
  if (flags & DCB_RESET) d.bounds.SetRectEmpty();
  return state;
}

UINT CDC::SetBoundsRect(LPCRECT rect, UINT flags) {
  Impl& d = *impl_;
  const UINT state = GetBoundsRect(nullptr, 0);
  if (flags & DCB_RESET) d.bounds.SetRectEmpty();
  if ((flags & DCB_ACCUMULATE) && rect) {
    CRect r(*rect);
    r.NormalizeRect();
    auto clampL = [](int64_t v) { return LONG(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    CRect s(clampL(d.X(r.left)), clampL(d.Y(r.top)), clampL(d.X(r.right)), clampL(d.Y(r.bottom)));
    brv::gdi::UniteBounds(d.bounds, s);
  }
  if (flags & DCB_ENABLE) d.boundsOn = true;
  if (flags & DCB_DISABLE) d.boundsOn = false;
  return state;
}

BOOL CDC::PtVisible(int x, int y) const {
  Impl& d = *impl_;
  int64_t sx = d.X(x), sy = d.Y(y);
  return sx >= INT32_MIN && sx <= INT32_MAX && sy >= INT32_MIN && sy <= INT32_MAX && d.Clip().Contains(int(sx), int(sy));
}
BOOL CDC::PtVisible(POINT p) const { return PtVisible(p.x, p.y); }
BOOL CDC::RectVisible(LPCRECT r) const {
  if (!r) return FALSE;
  Impl& d = *impl_;
  CRect s(LONG(std::clamp<int64_t>(d.X(r->left), INT32_MIN, INT32_MAX)), LONG(std::clamp<int64_t>(d.Y(r->top), INT32_MIN, INT32_MAX)),
          LONG(std::clamp<int64_t>(d.X(r->right), INT32_MIN, INT32_MAX)), LONG(std::clamp<int64_t>(d.Y(r->bottom), INT32_MIN, INT32_MAX)));
  s.NormalizeRect();
  return d.Clip().Touches(s);
}

// ---------------------------------------------------------------- strokes

namespace {

// The on/off lengths of a cosmetic pen's style (empty: solid).
std::vector<int> DashesOf(int style) {
  switch (style) {
    case PS_DASH: return {18, 6};
    case PS_DOT: return {3, 3};
    case PS_DASHDOT: return {9, 6, 3, 6};
    case PS_DASHDOTDOT: return {9, 3, 3, 3, 3, 3};
    default: return {};
  }
}

struct Interval {
  int64_t a = 0, b = 0;  // [a, b)
  bool empty() const { return a >= b; }
};

struct Box64 {
  int64_t l, t, r, b;
};

// The pixels of one row whose centres lie within the pen's reach of the
// segment p-q (centres at +0.5; even widths sit between pixels).
Interval CapsuleRow(double ax, double ay, double bx, double by, double r, double cy) {
  double lo = 1e300, hi = -1e300;
  auto disc = [&](double px, double py) {
    double dy = cy - py;
    if (dy * dy >= r * r) return;
    double h = std::sqrt(r * r - dy * dy);
    lo = std::min(lo, px - h), hi = std::max(hi, px + h);
  };
  disc(ax, ay);
  disc(bx, by);
  double dx = bx - ax, dy = by - ay, len = std::sqrt(dx * dx + dy * dy);
  if (len > 0) {
    double ux = dx / len, uy = dy / len, nx = -uy, ny = ux;
    // conditions of the form c * X + d in range, for X the centre x
    double l = -1e300, h = 1e300;
    auto bound = [&](double c, double d, double min, double max, bool strict) {
      // min < c X + d < max (or <= for the slab)
      (void)strict;
      if (std::fabs(c) < 1e-12) {
        if (!(d > min && d < max)) l = 1, h = 0;
        return;
      }
      double x1 = (min - d) / c, x2 = (max - d) / c;
      if (x1 > x2) std::swap(x1, x2);
      l = std::max(l, x1), h = std::min(h, x2);
    };
    bound(nx, ny * (cy - ay) - nx * ax, -r, r, true);
    bound(ux, uy * (cy - ay) - ux * ax, -1e-9, len + 1e-9, false);
    if (l < h) lo = std::min(lo, l), hi = std::max(hi, h);
  }
  if (lo > hi) return {};
  // centres x + 0.5 strictly inside (lo, hi)
  int64_t a = int64_t(std::floor(lo - 0.5)) + 1, b = int64_t(std::ceil(hi - 0.5));
  return {a, b};
}

}  // namespace

namespace brv::gdi {

// Strokes the polyline (surface pixels) with the DC's pen; end points of
// one-pixel lines are left out as LineTo does.
void StrokePolyline(CDC::Impl& d, Target& t, const std::vector<P64>& pts, bool closedFigure) {
  const Pen& pen = *d.st.pen;
  if (pen.Style() == PS_NULL || pts.size() < 2) return;
  const uint32_t colour = d.Ink(pen.color), bk = d.Ink(d.st.bk);
  const int width = pen.PixelWidth();
  std::vector<int> dashes = width <= 1 ? DashesOf(pen.Style()) : std::vector<int>();
  // Segments of one pixel that all run along the axes cover exactly their
  // boxes (less the end point); when no two boxes meet, no pixel can be
  // drawn twice and the figure needs no marks.
  bool mayOverlap = true;
  if (width <= 1 && pts.size() <= 17) {
    std::vector<Box64> boxes;
    bool axes = true;
    for (size_t k = 0; k + 1 < pts.size() && axes; ++k) {
      const P64 a = pts[k], b = pts[k + 1];
      if (a.first != b.first && a.second != b.second) axes = false;
      if (a == b) continue;
      int64_t l = std::min(a.first, b.first), r = std::max(a.first, b.first) + 1;
      int64_t tp = std::min(a.second, b.second), bt = std::max(a.second, b.second) + 1;
      // leave out the end point
      if (b.first > a.first) --r; else if (b.first < a.first) ++l;
      if (b.second > a.second) --bt; else if (b.second < a.second) ++tp;
      boxes.push_back({l, tp, r, bt});
    }
    if (axes) {
      mayOverlap = false;
      for (size_t i = 0; i < boxes.size() && !mayOverlap; ++i)
        for (size_t j = i + 1; j < boxes.size(); ++j)
          if (boxes[i].l < boxes[j].r && boxes[j].l < boxes[i].r && boxes[i].t < boxes[j].b && boxes[j].t < boxes[i].b) {
            mayOverlap = true;
            break;
          }
    }
  }
  const bool once = !Rop2Idempotent(d.st.rop2) && pts.size() > 2 && mayOverlap;
  if (once && !closedFigure) t.BeginFigure();
  WithRop2(d.st.rop2, [&](auto op) {
    if (width <= 1) {
      int period = 0;
      for (int v : dashes) period += v;
      int64_t styleStep = 0;
      for (size_t k = 0; k + 1 < pts.size(); ++k) {
        const P64 a = pts[k], b = pts[k + 1];
        int64_t base = styleStep;
        if (!period && a.second == b.second && a.first != b.first) {
          // along a row: the end point is left out
          int64_t x0 = a.first < b.first ? a.first : b.first + 1, x1 = a.first < b.first ? b.first : a.first + 1;
          t.Span(a.second, x0, x1, [&](uint32_t& px, int, int) { px = op(px, colour); });
        } else if (!period && a.first == b.first && a.second != b.second) {
          int64_t y0 = a.second < b.second ? a.second : b.second + 1, y1 = a.second < b.second ? b.second : a.second + 1;
          t.Column(a.first, y0, y1, [&](uint32_t& px, int, int) { px = op(px, colour); });
        } else {
          RasterLine(a.first, a.second, b.first, b.second, t.Box(), [&](int64_t x, int64_t y, int64_t i) {
            uint32_t ink = colour;
            if (period) {
              int64_t pos = (base + i) % period;
              bool on = true;
              for (size_t s = 0; s < dashes.size(); ++s) {
                if (pos < dashes[s]) {
                  on = (s % 2) == 0;
                  break;
                }
                pos -= dashes[s];
              }
              if (!on) {
                if (d.st.bkMode == TRANSPARENT) return;
                ink = bk;
              }
            }
            t.Pixel(x, y, [&](uint32_t& px, int, int) { px = op(px, ink); });
          });
        }
        styleStep += std::max(std::llabs(b.first - a.first), std::llabs(b.second - a.second));
      }
      return;
    }
    const double r = width / 2.0, shift = (width % 2 == 0) ? 0.0 : 0.5;
    for (size_t k = 0; k + 1 < pts.size(); ++k) {
      double ax = double(pts[k].first) + shift, ay = double(pts[k].second) + shift;
      double bx = double(pts[k + 1].first) + shift, by = double(pts[k + 1].second) + shift;
      int64_t y0 = int64_t(std::floor(std::min(ay, by) - r)) - 1, y1 = int64_t(std::ceil(std::max(ay, by) + r)) + 1;
      y0 = std::max<int64_t>(y0, t.Box().top), y1 = std::min<int64_t>(y1, t.Box().bottom);
      for (int64_t y = y0; y < y1; ++y) {
        Interval iv = CapsuleRow(ax, ay, bx, by, r, double(y) + 0.5);
        if (!iv.empty()) t.Span(y, iv.a, iv.b, [&](uint32_t& px, int, int) { px = op(px, colour); });
      }
    }
  });
  if (once && !closedFigure) t.EndFigure();
}

}  // namespace brv::gdi

CPoint CDC::MoveTo(int x, int y) {
  CPoint previous = impl_->st.position;
  impl_->st.position = CPoint(x, y);
  return previous;
}
CPoint CDC::MoveTo(POINT p) { return MoveTo(p.x, p.y); }
CPoint CDC::GetCurrentPosition() const { return impl_->st.position; }

BOOL CDC::LineTo(int x, int y) {
  Impl& d = *impl_;
  CPoint from = d.st.position;
  d.st.position = CPoint(x, y);
  if (!d.surface) return FALSE;
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  StrokePolyline(d, t, {{d.X(from.x), d.Y(from.y)}, {d.X(x), d.Y(y)}}, false);
  return TRUE;
}
BOOL CDC::LineTo(POINT p) { return LineTo(p.x, p.y); }

BOOL CDC::Polyline(const POINT* points, int count) {
  Impl& d = *impl_;
  if (!points || count < 2) return FALSE;
  if (!d.surface) return FALSE;
  std::vector<P64> pts;
  pts.reserve(size_t(count));
  for (int i = 0; i < count; ++i) pts.push_back({d.X(points[i].x), d.Y(points[i].y)});
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  StrokePolyline(d, t, pts, false);
  return TRUE;
}

// ---------------------------------------------------------------- figures

namespace brv::gdi {

// A convex figure given row by row: outer(y) is the row's interval. The pen
// takes the outer rows less the figure eroded by its width; the brush the
// rest; each pixel is drawn once; only the visible rows are visited. `keep`
// picks the pen pixels drawn (an arc's part).
template <class Rows, class Keep>
void FillFigure(CDC::Impl& d, Target& t, int64_t top, int64_t bottom, Rows&& outer, int penWidth, bool brush,
                Keep&& keep) {
  const CRect& box = t.Box();
  if (t.Empty()) return;
  const int64_t w = penWidth;
  auto rowAt = [&](int64_t y) -> Interval {
    if (y < top || y >= bottom) return {};
    return outer(y);
  };
  const uint32_t penColour = d.Ink(d.st.pen->color);
  const Brush& b = *d.st.brush;
  const bool useBrush = brush && b.style != BS_NULL;
  const int64_t v0 = std::max<int64_t>(top, box.top), v1 = std::min<int64_t>(bottom, box.bottom);
  WithRop2(d.st.rop2, [&](auto op) {
    for (int64_t y = v0; y < v1; ++y) {
      Interval o = rowAt(y);
      if (o.empty()) continue;
      Interval in{};
      if (w > 0) {
        // Erosion by w: the figure is convex, so the rows w above and below
        // bound what every row between them holds.
        Interval up = rowAt(y - w), down = rowAt(y + w);
        if (!up.empty() && !down.empty()) {
          if (w == 1)  // one pixel a step on the diagonals: 8-connected
            in = {std::max({o.a + 1, up.a, down.a}), std::min({o.b - 1, up.b, down.b})};
          else
            in = {std::max({o.a, up.a, down.a}) + w, std::min({o.b, up.b, down.b}) - w};
        }
      } else {
        in = o;
      }
      if (w > 0) {
        auto pen = [&](uint32_t& px, int x, int yy) {
          if (keep(x, yy)) px = op(px, penColour);
        };
        if (in.empty()) {
          t.Span(y, o.a, o.b, pen);
        } else {
          t.Span(y, o.a, in.a, pen);
          t.Span(y, in.b, o.b, pen);
        }
      }
      if (useBrush && !in.empty()) {
        if (b.style == BS_SOLID) {
          uint32_t c = d.Ink(b.color);
          t.Span(y, in.a, in.b, [&](uint32_t& px, int, int) { px = op(px, c); });
        } else {
          t.Span(y, in.a, in.b, [&](uint32_t& px, int x, int yy) {
            uint32_t c;
            if (d.BrushPixel(b, x, yy, &c)) px = op(px, c);
          });
        }
      }
    }
  });
}

}  // namespace brv::gdi

namespace {

// Rows of the ellipse in [l, r) x [t, b), outline included. The outline
// runs through the centres of the box's outer pixels; a row's ends are its
// outline pixels: where the curve is steep the row's own point rounded, where
// it is flat the columns whose point rounds into the row, ties towards the
// centre. The outline of these rows, one pixel a step, is Windows' one-pixel
// ellipse. Coordinates are doubled, so the centre and radii are integers.
struct EllipseRows {
  int64_t l, t, r, b;
  int64_t cx2, cy2, A, B;  // doubled centre and radii
  bool exact;              // small enough for exact integer tests
  EllipseRows(int64_t l_, int64_t t_, int64_t r_, int64_t b_)
      : l(l_), t(t_), r(r_), b(b_), cx2(l_ + r_ - 1), cy2(t_ + b_ - 1), A(r_ - l_ - 1), B(b_ - t_ - 1) {
    const int64_t limit = int64_t(1) << 28;
    exact = A < limit && B < limit && std::llabs(cx2) < limit && std::llabs(cy2) < limit;
  }
  Interval operator()(int64_t y) const {
    if (r <= l || b <= t || y < t || y >= b) return {};
    if (A == 0) return {l, l + 1};
    if (B == 0) return {l, r};
    const int64_t top = 2 * y <= cy2 ? y : cy2 - y;  // the half above the centre
    // a point on the middle column or row is a tie that both halves take
    const int64_t left = Left(cy2 - 2 * top), right = cx2 - left;
    return {std::min(left, right), std::max(left, right) + 1};
  }

 private:
  using Wide = __int128;
  static Wide Sq(int64_t v) { return Wide(v) * v; }
  // The leftmost pixel of the row whose centre lies dyc (doubled) above the
  // centre.
  int64_t Left(int64_t dyc) const {
    using LD = long double;
    const LD a = LD(A), bb = LD(B);
    // Steep part: the row's own point, rounded with ties inwards.
    int64_t steep = int64_t(std::floor((LD(cx2) + 1 - a * std::sqrt(std::max<LD>(0, bb * bb - LD(dyc) * dyc)) / bb) / 2));
    bool steepOk;
    if (exact) {
      auto fits = [&](int64_t x) {  // 2 x <= cx2 + 1 - E2
        const int64_t room = cx2 + 1 - 2 * x;
        return room >= 0 && Sq(A) * (Sq(B) - Sq(dyc)) <= Sq(B) * Sq(room);
      };
      while (!fits(steep)) --steep;
      while (fits(steep + 1)) ++steep;
      steepOk = (Sq(B) - Sq(dyc)) * Sq(B) >= Sq(dyc) * Sq(A);
    } else {
      steepOk = (bb * bb - LD(dyc) * dyc) * bb * bb >= LD(dyc) * dyc * a * a;
    }
    if (dyc < 1) return steep;
    // Flat part: the first column whose point rounds into this row.
    const int64_t dE = dyc - 1;
    int64_t flat = int64_t(std::floor((LD(cx2) - a * std::sqrt(bb * bb - LD(dE) * dE) / bb) / 2)) + 1;
    // the flat part of the curve ends where its slope reaches one
    int64_t flatStart = int64_t(std::ceil((LD(cx2) - a * a / std::sqrt(a * a + bb * bb)) / 2));
    bool flatOk;
    if (exact) {
      auto inside = [&](int64_t x) { return Sq(B) * Sq(cx2 - 2 * x) < Sq(A) * (Sq(B) - Sq(dE)); };
      while (flat > l && inside(flat - 1)) --flat;
      while (!inside(flat) && 2 * flat < cx2) ++flat;
      auto isFlat = [&](int64_t x) { return Sq(cx2 - 2 * x) * Sq(B) <= Sq(A) * (Sq(A) - Sq(cx2 - 2 * x)); };
      while (flatStart > l && isFlat(flatStart - 1)) --flatStart;
      while (!isFlat(flatStart) && 2 * flatStart < cx2) ++flatStart;
      flat = std::max(flat, flatStart);
      const int64_t X = cx2 - 2 * flat;
      flatOk = X >= 0 && Sq(B) * (Sq(A) - Sq(X)) <= Sq(A) * Sq(dyc + 1);
    } else {
      flat = std::max(flat, flatStart);
      const LD X = LD(cx2 - 2 * flat);
      flatOk = X >= 0 && bb * bb * (a * a - X * X) <= a * a * LD(dyc + 1) * (dyc + 1);
    }
    if (steepOk && flatOk) return std::min(steep, flat);
    return flatOk ? flat : steep;
  }
};

// The outer box of a figure drawn with the pen: the frame is centred on the
// one-pixel frame, inside with PS_INSIDEFRAME; a null pen fills one pixel
// less to the right and bottom, as Windows does.
Box64 FigureBox(const CDC::Impl& d, int64_t l, int64_t t, int64_t r, int64_t b, int* penWidth) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  const Pen& pen = *d.st.pen;
  if (pen.Style() == PS_NULL) {
    *penWidth = 0;
    return {l, t, r - 1, b - 1};
  }
  int w = pen.PixelWidth();
  *penWidth = w;
  if (w <= 1 || pen.Style() == PS_INSIDEFRAME) return {l, t, r, b};
  // an even width puts its extra pixel above and left, as LineTo does
  int64_t before = w / 2, after = (w - 1) / 2;
  return {l - before, t - before, r + after, b + after};
}

}  // namespace

BOOL CDC::Rectangle(int left, int top, int right, int bottom) {
  Impl& d = *impl_;
  if (!d.surface) return FALSE;
  int w = 0;
  Box64 bx = FigureBox(d, d.X(left), d.Y(top), d.X(right), d.Y(bottom), &w);
  if (bx.r <= bx.l || bx.b <= bx.t) return TRUE;
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  FillFigure(d, t, bx.t, bx.b, [&](int64_t) { return Interval{bx.l, bx.r}; }, w, true,
             [](int, int) { return true; });
  return TRUE;
}
BOOL CDC::Rectangle(LPCRECT r) { return r ? Rectangle(r->left, r->top, r->right, r->bottom) : FALSE; }

BOOL CDC::Ellipse(int left, int top, int right, int bottom) {
  Impl& d = *impl_;
  if (!d.surface) return FALSE;
  int w = 0;
  Box64 bx = FigureBox(d, d.X(left), d.Y(top), d.X(right), d.Y(bottom), &w);
  if (bx.r <= bx.l || bx.b <= bx.t) return TRUE;
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  FillFigure(d, t, bx.t, bx.b, EllipseRows(bx.l, bx.t, bx.r, bx.b), w, true, [](int, int) { return true; });
  return TRUE;
}
BOOL CDC::Ellipse(LPCRECT r) { return r ? Ellipse(r->left, r->top, r->right, r->bottom) : FALSE; }

BOOL CDC::Arc(int left, int top, int right, int bottom, int x3, int y3, int x4, int y4) {
  Impl& d = *impl_;
  if (!d.surface) return FALSE;
  if (d.st.pen->Style() == PS_NULL) return TRUE;
  int w = 0;
  Box64 bx = FigureBox(d, d.X(left), d.Y(top), d.X(right), d.Y(bottom), &w);
  if (bx.r <= bx.l || bx.b <= bx.t) return TRUE;
  const double cx = (double(d.X(left)) + double(d.X(right))) / 2, cy = (double(d.Y(top)) + double(d.Y(bottom))) / 2;
  // screen angles grow counter-clockwise (y up)
  double a1 = std::atan2(cy - double(d.Y(y3)), double(d.X(x3)) - cx);
  double a2 = std::atan2(cy - double(d.Y(y4)), double(d.X(x4)) - cx);
  if (d.st.arcDirection == AD_CLOCKWISE) std::swap(a1, a2);
  const bool whole = a1 == a2;
  double sweep = a2 - a1;
  while (sweep <= 0) sweep += 2 * kPi;
  auto keep = [&](int x, int y) {
    if (whole) return true;
    double a = std::atan2(cy - (double(y) + 0.5), (double(x) + 0.5) - cx) - a1;
    while (a < 0) a += 2 * kPi;
    while (a >= 2 * kPi) a -= 2 * kPi;
    return a <= sweep;
  };
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  FillFigure(d, t, bx.t, bx.b, EllipseRows(bx.l, bx.t, bx.r, bx.b), std::max(w, 1), false, keep);
  return TRUE;
}
BOOL CDC::Arc(LPCRECT r, POINT start, POINT end) {
  return r ? Arc(r->left, r->top, r->right, r->bottom, start.x, start.y, end.x, end.y) : FALSE;
}

BOOL CDC::Polygon(const POINT* points, int count) {
  Impl& d = *impl_;
  if (!points || count < 2 || !d.surface) return FALSE;
  std::vector<P64> pts;
  for (int i = 0; i < count; ++i) pts.push_back({d.X(points[i].x), d.Y(points[i].y)});
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  if (t.Empty()) return TRUE;
  t.BeginFigure();
  std::vector<P64> closed = pts;
  closed.push_back(pts.front());
  StrokePolyline(d, t, closed, true);
  const Brush& b = *d.st.brush;
  if (b.style != BS_NULL && count >= 3) {
    const CRect& box = t.Box();
    int64_t top = pts[0].second, bottom = pts[0].second;
    for (const P64& p : pts) top = std::min(top, p.second), bottom = std::max(bottom, p.second);
    top = std::max<int64_t>(top, box.top), bottom = std::min<int64_t>(bottom, box.bottom);
    struct Crossing {
      double x;
      int dir;
    };
    std::vector<Crossing> xs;
    WithRop2(d.st.rop2, [&](auto op) {
      for (int64_t y = top; y < bottom; ++y) {
        double cy = double(y) + 0.5;
        xs.clear();
        for (size_t i = 0; i < pts.size(); ++i) {
          const P64& a = pts[i];
          const P64& c = pts[(i + 1) % pts.size()];
          if (a.second == c.second) continue;
          double ya = double(a.second), yc = double(c.second);
          if ((cy >= ya && cy < yc) || (cy >= yc && cy < ya)) {
            double u = (cy - ya) / (yc - ya);
            xs.push_back({double(a.first) + u * (double(c.first) - double(a.first)), yc > ya ? 1 : -1});
          }
        }
        std::sort(xs.begin(), xs.end(), [](const Crossing& p, const Crossing& q) { return p.x < q.x; });
        int winding = 0;
        for (size_t k = 0; k + 1 < xs.size(); ++k) {
          winding += xs[k].dir;
          bool in = d.st.polyFill == WINDING ? winding != 0 : (k % 2) == 0;
          if (!in) continue;
          int64_t x0 = int64_t(std::ceil(xs[k].x - 0.5)), x1 = int64_t(std::ceil(xs[k + 1].x - 0.5));
          t.Span(y, x0, x1, [&](uint32_t& px, int x, int yy) {
            uint32_t c;
            if (d.BrushPixel(b, x, yy, &c)) px = op(px, c);
          });
        }
      }
    });
  }
  t.EndFigure();
  return TRUE;
}

// ---------------------------------------------------------------- rectangles

namespace {
// Fills a logical rectangle (right and bottom excluded, not normalised) with
// f(pixel, x, y).
template <class F>
void FillLogical(CDC::Impl& d, const RECT& r, F&& f) {
  if (!d.surface) return;
  int64_t l = d.X(r.left), t0 = d.Y(r.top), rr = d.X(r.right), b = d.Y(r.bottom);
  if (rr <= l || b <= t0) return;
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  int64_t y0 = std::max<int64_t>(t0, t.Box().top), y1 = std::min<int64_t>(b, t.Box().bottom);
  for (int64_t y = y0; y < y1; ++y) t.Span(y, l, rr, f);
}
}  // namespace

void CDC::FillRect(LPCRECT rect, CBrush* brush) { FillRect(rect, brush ? static_cast<HBRUSH>(*brush) : nullptr); }

void CDC::FillRect(LPCRECT rect, HBRUSH brush) {
  Impl& d = *impl_;
  auto b = LookupAs<Brush>(brush, Kind::kBrush);
  if (!rect || !b || b->style == BS_NULL) return;
  if (b->style == BS_SOLID) {
    uint32_t c = d.Ink(b->color);
    FillLogical(d, *rect, [c](uint32_t& px, int, int) { px = c; });
  } else {
    FillLogical(d, *rect, [&](uint32_t& px, int x, int y) {
      uint32_t c;
      if (d.BrushPixel(*b, x, y, &c)) px = c;
    });
  }
}

void CDC::FrameRect(LPCRECT rect, CBrush* brush) {
  if (!rect || !brush) return;
  const RECT& r = *rect;
  if (r.right <= r.left || r.bottom <= r.top) return;
  RECT edges[4] = {{r.left, r.top, r.right, r.top + 1},
                   {r.left, r.bottom - 1, r.right, r.bottom},
                   {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                   {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
  for (const RECT& e : edges) FillRect(&e, brush);
}

void CDC::InvertRect(LPCRECT rect) {
  if (!rect) return;
  FillLogical(*impl_, *rect, [](uint32_t& px, int, int) { px = ~px & 0xFFFFFF; });
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
  if (!rect) return;
  SetBkColor(color);
  CRect r(*rect);
  r.NormalizeRect();
  uint32_t c = impl_->Ink(color);
  FillLogical(*impl_, r, [c](uint32_t& px, int, int) { px = c; });
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  CRect r(x, y, x + cx, y + cy);
  FillSolidRect(&r, color);
}

void CDC::Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight) {
  if (!rect) return;
  Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, topLeft, bottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
  FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}

void CDC::DrawFocusRect(LPCRECT rect) {
  if (!rect) return;
  const RECT& r = *rect;
  if (r.right <= r.left || r.bottom <= r.top) return;
  Impl& d = *impl_;
  auto dots = [&](const RECT& e) {
    FillLogical(d, e, [&](uint32_t& px, int x, int y) {
      if (((x - d.origin.x) + (y - d.origin.y)) % 2 == 0) px = ~px & 0xFFFFFF;
    });
  };
  dots({r.left, r.top, r.right, r.top + 1});
  if (r.bottom - r.top > 1) dots({r.left, r.bottom - 1, r.right, r.bottom});
  dots({r.left, r.top + 1, r.left + 1, r.bottom - 1});
  if (r.right - r.left > 1) dots({r.right - 1, r.top + 1, r.right, r.bottom - 1});
}

namespace {
// The classic scheme's colours of the 3D elements.
constexpr COLORREF kFace = RGB(212, 208, 200), kLight = RGB(212, 208, 200), kHighlight = RGB(255, 255, 255),
                   kShadow = RGB(128, 128, 128), kDarkShadow = RGB(64, 64, 64);
}  // namespace

BOOL CDC::DrawEdge(LPRECT rect, UINT edge, UINT flags) {
  if (!rect) return FALSE;
  COLORREF keepBk = GetBkColor();
  CRect r(*rect);
  auto ring = [&](COLORREF tl, COLORREF br) {
    if (r.IsRectEmpty()) return;
    if (flags & BF_TOP) FillSolidRect(r.left, r.top, r.Width(), 1, tl);
    if (flags & BF_LEFT) FillSolidRect(r.left, r.top, 1, r.Height(), tl);
    if (flags & BF_BOTTOM) FillSolidRect(r.left, r.bottom - 1, r.Width(), 1, br);
    if (flags & BF_RIGHT) FillSolidRect(r.right - 1, r.top, 1, r.Height(), br);
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
  };
  bool mono = flags & (BF_MONO | BF_FLAT);
  if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
    if (mono) ring(mono && (flags & BF_MONO) ? RGB(0, 0, 0) : kShadow, (flags & BF_MONO) ? RGB(0, 0, 0) : kShadow);
    else if (edge & BDR_RAISEDOUTER) ring(kLight, kDarkShadow);
    else ring(kShadow, kHighlight);
  }
  if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
    if (mono) ring(kFace, kFace);
    else if (edge & BDR_RAISEDINNER) ring(kHighlight, kShadow);
    else ring(kDarkShadow, kLight);
  }
  if ((flags & BF_MIDDLE) && !r.IsRectEmpty()) FillSolidRect(&r, kFace);
  if (flags & BF_ADJUST) *rect = r;
  SetBkColor(keepBk);
  return TRUE;
}

BOOL CDC::DrawFrameControl(LPRECT rect, UINT type, UINT state) {
  if (!rect || type != DFC_BUTTON) return FALSE;
  COLORREF keepBk = GetBkColor();
  CRect r(*rect);
  UINT kind = state & 0xFF;
  if (kind == DFCS_BUTTONPUSH) {
    CRect e = r;
    DrawEdge(&e, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
  } else if (kind == DFCS_BUTTONCHECK || kind == DFCS_BUTTONRADIO) {
    // a 13 x 13 box (or circle) centred vertically at the left
    int size = std::min({13, int(r.Width()), int(r.Height())});
    CRect box(r.left, r.top + (r.Height() - size) / 2, r.left + size, r.top + (r.Height() - size) / 2 + size);
    COLORREF inside = (state & (DFCS_INACTIVE | DFCS_PUSHED)) ? kFace : RGB(255, 255, 255);
    COLORREF mark = (state & DFCS_INACTIVE) ? kShadow : RGB(0, 0, 0);
    if (kind == DFCS_BUTTONCHECK) {
      CRect e = box;
      DrawEdge(&e, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      FillSolidRect(&e, inside);
      if (state & DFCS_CHECKED) {
        // the tick: three strokes down then up
        for (int k = 0; k < 7; ++k) {
          int x = e.left + 1 + k, y = k < 3 ? e.top + 3 + k : e.top + 7 - (k - 2);
          FillSolidRect(x, y, 1, 3, mark);
        }
      }
    } else {
      CPen outer(PS_SOLID, 1, kShadow), none(PS_NULL, 0, 0);
      CBrush fill(inside);
      CPen* oldPen = SelectObject(&outer);
      CBrush* oldBrush = SelectObject(&fill);
      Ellipse(&box);
      if (state & DFCS_CHECKED) {
        CBrush dot(mark);
        SelectObject(&none);
        SelectObject(&dot);
        CRect c(box.CenterPoint().x - 2, box.CenterPoint().y - 2, box.CenterPoint().x + 3, box.CenterPoint().y + 3);
        Ellipse(&c);
        SelectObject(&fill);
      }
      SelectObject(oldPen);
      SelectObject(oldBrush);
    }
  } else {
    return FALSE;
  }
  SetBkColor(keepBk);
  return TRUE;
}

BOOL CDC::FillRgn(CRgn* region, CBrush* brush) {
  Impl& d = *impl_;
  if (!region || !brush || !d.surface) return FALSE;
  auto b = LookupAs<Brush>(brush->m_hObject, Kind::kBrush);
  if (!b) return FALSE;
  for (const CRect& r : region->GetRegion().Rects()) FillRect(&r, brush);
  return TRUE;
}

BOOL CDC::FrameRgn(CRgn* region, CBrush* brush, int width, int height) {
  if (!region || !brush) return FALSE;
  // the region less itself shrunk by width x height
  const Region& r = region->GetRegion();
  Region inner = r;
  for (int dx = -width; dx <= width; ++dx) {
    Region moved = r;
    moved.Offset(dx, 0);
    inner = inner.Intersect(moved);
  }
  for (int dy = -height; dy <= height; ++dy) {
    Region moved = r;
    moved.Offset(0, dy);
    inner = inner.Intersect(moved);
  }
  const Region frame = r.Subtract(inner);  // Rects() refers into it
  for (const CRect& rc : frame.Rects()) FillRect(&rc, brush);
  return TRUE;
}

BOOL CDC::InvertRgn(CRgn* region) {
  if (!region) return FALSE;
  for (const CRect& r : region->GetRegion().Rects()) InvertRect(&r);
  return TRUE;
}

BOOL CDC::PaintRgn(CRgn* region) {
  if (!region) return FALSE;
  CBrush* current = GetCurrentBrush();
  return current ? FillRgn(region, current) : FALSE;
}

// ---------------------------------------------------------------- pixels

COLORREF CDC::SetPixel(int x, int y, COLORREF color) {
  Impl& d = *impl_;
  if (!d.surface) return CLR_INVALID;
  int64_t sx = d.X(x), sy = d.Y(y);
  DrawScope scope(&d);
  Target t(*d.surface, d.Clip(), d.BoundsSink());
  if (!t.Visible(sx, sy)) return CLR_INVALID;
  uint32_t c = d.Ink(color);
  t.Pixel(sx, sy, [c](uint32_t& px, int, int) { px = c; });
  return brv::ColorOf(c);
}
COLORREF CDC::SetPixel(POINT p, COLORREF color) { return SetPixel(p.x, p.y, color); }
BOOL CDC::SetPixelV(int x, int y, COLORREF color) { return SetPixel(x, y, color) != CLR_INVALID; }

COLORREF CDC::GetPixel(int x, int y) const {
  Impl& d = *impl_;
  if (!d.surface) return CLR_INVALID;
  int64_t sx = d.X(x), sy = d.Y(y);
  if (sx < INT32_MIN || sx > INT32_MAX || sy < INT32_MIN || sy > INT32_MAX) return CLR_INVALID;
  if (!d.Clip().Contains(int(sx), int(sy))) return CLR_INVALID;
  if (d.memory && d.st.bitmap) d.st.bitmap->ImportDib();
  return brv::ColorOf(d.surface->Pixel(int(sx), int(sy)) & 0xFFFFFF);
}
COLORREF CDC::GetPixel(POINT p) const { return GetPixel(p.x, p.y); }
