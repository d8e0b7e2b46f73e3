#include "picture/metafile_player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace {

// Largest picture a metafile is drawn at.
const int64_t maxPictureSide = 16384;
const int64_t maxPicturePixels = int64_t(1) << 26;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t s16(const uint8_t* p) { return static_cast<int16_t>(u16(p)); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t s32(const uint8_t* p) { return static_cast<int32_t>(u32(p)); }

// A pixel coordinate kept inside [lo, hi], also for values no int can hold.
int toPixel(double v, int lo, int hi) {
  if (!(v > lo)) return lo;
  if (!(v < hi)) return hi;
  return static_cast<int>(v);
}

[[noreturn]] void failLoad() {
  throw CTextException(PL_ERR_NOT_SUPPORTED, "Decoder error: Windows Metafile functions failed to load this image.\n");
}

struct Point {
  double x, y;
};

struct Pen {
  bool visible = true;
  double width = 0;  // logical units; 0: one pixel
  CPixel32 colour{0, 0, 0, 255};
};

struct Brush {
  bool visible = true;
  CPixel32 colour{255, 255, 255, 255};
};

// Object table entries.
struct Object {
  enum Kind { None, PenObj, BrushObj, Other } kind = None;
  Pen pen;
  Brush brush;
};

CPixel32 fromColorRef(uint32_t c) {
  return CPixel32(static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16), 255);
}

// Drawing into the bitmap, every access clipped to it. The work a picture
// may take (pixels written, polygon edges met on the rows) is a few times
// its own pixels, so that a small file cannot keep the decoder drawing for
// long.
class Canvas {
 public:
  explicit Canvas(CWinBmp* bmp)
      : m_Bmp(bmp), m_W(bmp ? bmp->GetWidth() : 0), m_H(bmp ? bmp->GetHeight() : 0),
        m_Budget(kWorkBase + kWorkPerPixel * int64_t(m_W) * m_H) {}

  static constexpr int64_t kWorkBase = int64_t(1) << 24;
  static constexpr int64_t kWorkPerPixel = 16;

  void Plot(int x, int y, CPixel32 c) {
    if (x >= 0 && y >= 0 && x < m_W && y < m_H) reinterpret_cast<CPixel32*>(m_Bmp->GetLine(y))[x] = c;
  }

  // Pixels whose centres lie inside the polygons (several rings), by the
  // even-odd or the winding rule. Only the edges that span a row are looked
  // at on it, so a ring of many points costs its rows, not rows x points.
  void FillPolygons(const std::vector<std::vector<Point>>& rings, CPixel32 c, bool winding) {
    if (!m_Bmp || m_H <= 0) return;
    struct Edge {
      Point a, b;
      double top, bottom;
    };
    std::vector<Edge> edges;
    for (const auto& r : rings) {
      Spend(int64_t(r.size()));
      for (size_t i = 0; i < r.size(); ++i) {
        const Point& a = r[i];
        const Point& b = r[(i + 1) % r.size()];
        if (!std::isfinite(a.y) || !std::isfinite(b.y) || a.y == b.y) continue;
        edges.push_back({a, b, std::min(a.y, b.y), std::max(a.y, b.y)});
      }
    }
    if (edges.empty()) return;
    std::sort(edges.begin(), edges.end(), [](const Edge& l, const Edge& r) { return l.top < r.top; });
    const int y0 = toPixel(std::floor(edges.front().top), 0, m_H - 1);
    double maxY = edges.front().bottom;
    for (const Edge& e : edges) maxY = std::max(maxY, e.bottom);
    const int y1 = toPixel(std::ceil(maxY), 0, m_H - 1);
    std::vector<const Edge*> active;
    std::vector<std::pair<double, int>> xs;
    size_t next = 0;
    for (int y = y0; y <= y1; ++y) {
      const double sy = y + 0.5;
      // An edge spans the row when one end lies at or above its centre and
      // the other below.
      while (next < edges.size() && edges[next].top <= sy) active.push_back(&edges[next++]);
      std::erase_if(active, [sy](const Edge* e) { return e->bottom <= sy; });
      if (active.empty() && next == edges.size()) break;
      Spend(int64_t(active.size()) + 1);
      xs.clear();
      for (const Edge* e : active) {
        const Point& a = e->a;
        const Point& b = e->b;
        const double x = a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y);
        if (!std::isnan(x)) xs.push_back({x, b.y > a.y ? 1 : -1});
      }
      std::sort(xs.begin(), xs.end());
      int wind = 0;
      for (size_t i = 0; i + 1 < xs.size(); ++i) {
        wind += winding ? xs[i].second : 1;
        const bool inside = winding ? wind != 0 : (wind & 1) != 0;
        if (!inside) continue;
        FillSpan(y, xs[i].first, xs[i + 1].first, c);
      }
    }
  }

  // A line of the given width in pixels, clipped to the bitmap first; wide
  // lines are filled as the rectangle around the segment.
  void Line(Point a, Point b, int width, CPixel32 c) {
    if (!m_Bmp) return;
    if (width > 2) {
      // coordinates name pixels; the stroke runs through their centres
      a = {a.x + 0.5, a.y + 0.5};
      b = {b.x + 0.5, b.y + 0.5};
      const double len = std::hypot(b.x - a.x, b.y - a.y);
      const double h = width / 2.0;
      if (!(len > 0) || !std::isfinite(len)) {
        FillPolygons({{{a.x - h, a.y - h}, {a.x + h, a.y - h}, {a.x + h, a.y + h}, {a.x - h, a.y + h}}}, c, false);
        return;
      }
      const double nx = -(b.y - a.y) / len * h, ny = (b.x - a.x) / len * h;
      const double ex = (b.x - a.x) / len * h, ey = (b.y - a.y) / len * h;
      FillPolygons({{{a.x + nx - ex, a.y + ny - ey},
                     {b.x + nx + ex, b.y + ny + ey},
                     {b.x - nx + ex, b.y - ny + ey},
                     {a.x - nx - ex, a.y - ny - ey}}},
                   c, false);
      return;
    }
    const double margin = width + 1;
    if (!Clip(a, b, -margin, -margin, m_W + margin, m_H + margin)) return;
    int x0 = static_cast<int>(std::floor(a.x)), y0 = static_cast<int>(std::floor(a.y));
    const int x1 = static_cast<int>(std::floor(b.x)), y1 = static_cast<int>(std::floor(b.y));
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int stepX = x0 < x1 ? 1 : -1, stepY = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    const int half = (width - 1) / 2;
    for (;;) {
      Spend(int64_t(width) * width);
      for (int ty = 0; ty < width; ++ty)
        for (int tx = 0; tx < width; ++tx) Plot(x0 - half + tx, y0 - half + ty, c);
      if (x0 == x1 && y0 == y1) break;
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += stepX;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += stepY;
      }
    }
  }

  // Nearest-neighbour copy of a source picture into a rectangle (a negative
  // size mirrors).
  template <class Sample>
  void Blit(double dx, double dy, double dw, double dh, int sw, int sh, Sample sample) {
    if (!m_Bmp || sw <= 0 || sh <= 0 || dw == 0 || dh == 0) return;
    const double left = std::min(dx, dx + dw), right = std::max(dx, dx + dw);
    const double top = std::min(dy, dy + dh), bottom = std::max(dy, dy + dh);
    const int x0 = toPixel(std::floor(left), 0, m_W), x1 = toPixel(std::ceil(right), 0, m_W);
    const int y0 = toPixel(std::floor(top), 0, m_H), y1 = toPixel(std::ceil(bottom), 0, m_H);
    for (int y = y0; y < y1; ++y) {
      const double v = (y + 0.5 - dy) / dh;
      if (v < 0 || v >= 1) continue;
      Spend(int64_t(x1 - x0) + 1);
      const int sy = std::min(sh - 1, static_cast<int>(v * sh));
      for (int x = x0; x < x1; ++x) {
        const double u = (x + 0.5 - dx) / dw;
        if (u < 0 || u >= 1) continue;
        Plot(x, y, sample(std::min(sw - 1, static_cast<int>(u * sw)), sy));
      }
    }
  }

 private:
  void FillSpan(int y, double xa, double xb, CPixel32 c) {
    const int x0 = toPixel(std::ceil(xa - 0.5), 0, m_W);
    const int x1 = toPixel(std::ceil(xb - 0.5), 0, m_W);
    Spend(x1 > x0 ? int64_t(x1 - x0) : 0);
    CPixel32* line = reinterpret_cast<CPixel32*>(m_Bmp->GetLine(y));
    for (int x = x0; x < x1; ++x) line[x] = c;
  }

  // Liang-Barsky clipping of a segment to a rectangle.
  static bool Clip(Point& a, Point& b, double xmin, double ymin, double xmax, double ymax) {
    double t0 = 0, t1 = 1;
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - xmin, xmax - a.x, a.y - ymin, ymax - a.y};
    for (int i = 0; i < 4; ++i) {
      if (p[i] == 0) {
        if (q[i] < 0) return false;
        continue;
      }
      const double t = q[i] / p[i];
      if (p[i] < 0)
        t0 = std::max(t0, t);
      else
        t1 = std::min(t1, t);
      if (t0 > t1) return false;
    }
    const Point start{a.x + t0 * dx, a.y + t0 * dy}, end{a.x + t1 * dx, a.y + t1 * dy};
    a = start;
    b = end;
    return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(b.x) && std::isfinite(b.y);
  }

  void Spend(int64_t work) {
    m_Work += work;
    if (m_Work > m_Budget)
      throw CTextException(PL_ERR_FORMAT, "Decoder error: the metafile draws more than its picture can hold.\n");
  }

  CWinBmp* m_Bmp;
  int m_W, m_H;
  int64_t m_Budget;
  int64_t m_Work = 0;
};

// A device-independent bitmap inside a record, checked against the record.
class Dib {
 public:
  // `info` and `bits` point into the record; the sizes are what is there.
  Dib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize) {
    if (infoSize < 40) return;
    const uint32_t headerSize = u32(info);
    if (headerSize < 40 || headerSize > infoSize) return;
    m_W = s32(info + 4);
    const int32_t h = s32(info + 8);
    m_Bpp = u16(info + 14);
    const uint32_t compression = u32(info + 16);
    uint32_t used = u32(info + 32);
    if (m_W <= 0 || h == 0 || h == INT32_MIN || m_W > 65535 || std::abs(h) > 65535) return;
    m_TopDown = h < 0;
    m_H = std::abs(h);
    if (m_Bpp != 1 && m_Bpp != 4 && m_Bpp != 8 && m_Bpp != 16 && m_Bpp != 24 && m_Bpp != 32) return;
    if (compression != 0 && !(compression == 3 && (m_Bpp == 16 || m_Bpp == 32))) return;
    size_t tableOffset = headerSize;
    if (compression == 3) {
      if (tableOffset + 12 > infoSize) return;
      m_Masks[0] = u32(info + tableOffset);
      m_Masks[1] = u32(info + tableOffset + 4);
      m_Masks[2] = u32(info + tableOffset + 8);
      tableOffset += 12;
    } else if (m_Bpp == 16) {
      m_Masks[0] = 0x7C00;
      m_Masks[1] = 0x03E0;
      m_Masks[2] = 0x001F;
    } else if (m_Bpp == 32) {
      m_Masks[0] = 0xFF0000;
      m_Masks[1] = 0xFF00;
      m_Masks[2] = 0xFF;
    }
    if (m_Bpp <= 8) {
      const uint32_t full = 1u << m_Bpp;
      if (used == 0 || used > full) used = full;
      const size_t available = (infoSize - tableOffset) / 4;
      m_Palette.assign(full, CPixel32(0, 0, 0, 255));
      for (uint32_t i = 0; i < used && i < available; ++i) {
        const uint8_t* e = info + tableOffset + 4 * i;
        m_Palette[i] = CPixel32(e[2], e[1], e[0], 255);
      }
    }
    m_RowBytes = (static_cast<size_t>(m_W) * m_Bpp + 31) / 32 * 4;
    if (bitsSize / m_RowBytes < static_cast<size_t>(m_H)) return;
    m_Bits = bits;
  }

  bool Valid() const { return m_Bits != nullptr; }
  int Width() const { return m_W; }
  int Height() const { return m_H; }

  // Pixel (x, y), row 0 the top row.
  CPixel32 At(int x, int y) const {
    const uint8_t* row = m_Bits + m_RowBytes * static_cast<size_t>(m_TopDown ? y : m_H - 1 - y);
    switch (m_Bpp) {
      case 1: return m_Palette[(row[x / 8] >> (7 - x % 8)) & 1];
      case 4: return m_Palette[(x & 1) ? (row[x / 2] & 15) : (row[x / 2] >> 4)];
      case 8: return m_Palette[row[x]];
      case 16: return FromMasks(u16(row + 2 * x));
      case 24: return CPixel32(row[3 * x + 2], row[3 * x + 1], row[3 * x], 255);
      default: return FromMasks(u32(row + 4 * x));
    }
  }

 private:
  static uint8_t Channel(uint32_t v, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    const uint32_t max = mask >> shift;
    return static_cast<uint8_t>(((v & mask) >> shift) * 255u / max);
  }
  CPixel32 FromMasks(uint32_t v) const {
    return CPixel32(Channel(v, m_Masks[0]), Channel(v, m_Masks[1]), Channel(v, m_Masks[2]), 255);
  }

  int m_W = 0, m_H = 0, m_Bpp = 0;
  bool m_TopDown = false;
  size_t m_RowBytes = 1;
  uint32_t m_Masks[3] = {0, 0, 0};
  std::vector<CPixel32> m_Palette;
  const uint8_t* m_Bits = nullptr;
};

// State shared by both record kinds.
class Player {
 public:
  Player(const MetafileInfo& info, CWinBmp* bmp) : m_Info(info), m_Canvas(bmp), m_Draw(bmp != nullptr) {
    m_Objects.resize(static_cast<size_t>(std::clamp(info.handles, 1, 65535)));
    if (!info.enhanced) {
      m_WinOrg = {info.winLeft, info.winTop};
      m_WinExt = {info.winWidth, info.winHeight};
    }
  }

  int Play() { return m_Info.enhanced ? PlayEmf() : PlayWmf(); }

 private:
  // Logical coordinates to picture pixels.
  Point Map(double x, double y) const {
    if (!m_Info.enhanced) {
      // a WMF's window fills the picture
      return {(x - m_WinOrg.x) * m_Info.width / m_WinExt.x, (y - m_WinOrg.y) * m_Info.height / m_WinExt.y};
    }
    double dx, dy;
    switch (m_MapMode) {
      case 7:
      case 8:
        dx = (x - m_WinOrg.x) * m_VpExt.x / m_WinExt.x + m_VpOrg.x;
        dy = (y - m_WinOrg.y) * m_VpExt.y / m_WinExt.y + m_VpOrg.y;
        break;
      case 2:  // 0.1 mm
      case 3:  // 0.01 mm
      case 4:  // 0.01 inch
      case 5:  // 0.001 inch
      case 6: {  // 1/1440 inch
        static const double mmPerUnit[7] = {0, 0, 0.1, 0.01, 0.254, 0.0254, 25.4 / 1440};
        dx = (x - m_WinOrg.x) * mmPerUnit[m_MapMode] * m_Info.devPixelsPerMmX + m_VpOrg.x;
        dy = -(y - m_WinOrg.y) * mmPerUnit[m_MapMode] * m_Info.devPixelsPerMmY + m_VpOrg.y;
        break;
      }
      default:
        dx = x - m_WinOrg.x + m_VpOrg.x;
        dy = y - m_WinOrg.y + m_VpOrg.y;
        break;
    }
    return {dx * m_Info.devScaleX + m_Info.devOffsetX, dy * m_Info.devScaleY + m_Info.devOffsetY};
  }

  double ScaleX() const {
    Point a = Map(0, 0), b = Map(1, 0);
    return std::abs(b.x - a.x);
  }

  int PenWidth() const {
    const double w = m_Pen.width * ScaleX();
    if (!(w > 1)) return 1;
    return static_cast<int>(std::min(w + 0.5, 256.0));
  }

  // Fill with the brush, then the outline with the pen.
  void Shape(const std::vector<std::vector<Point>>& rings, bool closed) {
    ++m_Drawn;
    if (!m_Draw) return;
    if (closed && m_Brush.visible) m_Canvas.FillPolygons(rings, m_Brush.colour, m_Winding);
    if (!m_Pen.visible) return;
    for (const auto& r : rings) {
      for (size_t i = 0; i + 1 < r.size(); ++i) m_Canvas.Line(r[i], r[i + 1], PenWidth(), m_Pen.colour);
      if (closed && r.size() > 2) m_Canvas.Line(r.back(), r.front(), PenWidth(), m_Pen.colour);
    }
  }

  void Rectangle(double l, double t, double r, double b) {
    Point p0 = Map(l, t), p1 = Map(r, b);
    Shape({{p0, {p1.x, p0.y}, p1, {p0.x, p1.y}}}, true);
  }

  void Ellipse(double l, double t, double r, double b) {
    Point p0 = Map(l, t), p1 = Map(r, b);
    const double cx = (p0.x + p1.x) / 2, cy = (p0.y + p1.y) / 2;
    const double rx = std::abs(p1.x - p0.x) / 2, ry = std::abs(p1.y - p0.y) / 2;
    const int n = toPixel((rx + ry) * 2, 16, 1024);
    std::vector<Point> ring;
    for (int i = 0; i < n; ++i) {
      const double a = 2 * std::numbers::pi * i / n;
      ring.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    Shape({ring}, true);
  }

  void LineTo(double x, double y) {
    Point to = Map(x, y);
    Shape({{m_Pos, to}}, false);
    m_Pos = to;
  }

  // The DIB drawn into a rectangle of logical coordinates.
  void DrawDib(const Dib& dib, double x, double y, double w, double h, int sx, int sy, int sw, int sh) {
    ++m_Drawn;
    if (!m_Draw || !dib.Valid()) return;
    // the source rectangle, kept inside the bitmap
    sx = std::clamp(sx, 0, dib.Width());
    sy = std::clamp(sy, 0, dib.Height());
    sw = std::clamp(sw, 0, dib.Width() - sx);
    sh = std::clamp(sh, 0, dib.Height() - sy);
    Point p0 = Map(x, y), p1 = Map(x + w, y + h);
    m_Canvas.Blit(p0.x, p0.y, p1.x - p0.x, p1.y - p0.y, sw, sh,
                  [&](int u, int v) { return dib.At(sx + u, sy + v); });
  }

  void FillRect(double x, double y, double w, double h, CPixel32 c) {
    ++m_Drawn;
    if (!m_Draw) return;
    Point p0 = Map(x, y), p1 = Map(x + w, y + h);
    m_Canvas.FillPolygons({{p0, {p1.x, p0.y}, p1, {p0.x, p1.y}}}, c, false);
  }

  // A blit without source bitmap: the brush or a fixed colour.
  void PatternBlt(uint32_t rop, double x, double y, double w, double h) {
    if (rop == 0x00F00021 && m_Brush.visible) FillRect(x, y, w, h, m_Brush.colour);
    if (rop == 0x00FF0062) FillRect(x, y, w, h, CPixel32(255, 255, 255, 255));
    if (rop == 0x00000042) FillRect(x, y, w, h, CPixel32(0, 0, 0, 255));
  }

  void Select(size_t index) {
    if (index >= m_Objects.size()) return;
    const Object& o = m_Objects[index];
    if (o.kind == Object::PenObj) m_Pen = o.pen;
    if (o.kind == Object::BrushObj) m_Brush = o.brush;
  }

  void SelectStock(uint32_t n) {
    switch (n) {
      case 0: m_Brush = {true, CPixel32(255, 255, 255, 255)}; break;
      case 1: m_Brush = {true, CPixel32(192, 192, 192, 255)}; break;
      case 2: m_Brush = {true, CPixel32(128, 128, 128, 255)}; break;
      case 3: m_Brush = {true, CPixel32(64, 64, 64, 255)}; break;
      case 4: m_Brush = {true, CPixel32(0, 0, 0, 255)}; break;
      case 5: m_Brush.visible = false; break;
      case 6: m_Pen = {true, 0, CPixel32(255, 255, 255, 255)}; break;
      case 7: m_Pen = {true, 0, CPixel32(0, 0, 0, 255)}; break;
      case 8: m_Pen.visible = false; break;
      default: break;
    }
  }

  static Pen MakePen(uint32_t style, double width, uint32_t colour) {
    Pen p;
    p.visible = (style & 0xF) != 5;  // PS_NULL
    p.width = width;
    p.colour = fromColorRef(colour);
    return p;
  }

  static Brush MakeBrush(uint32_t style, uint32_t colour) {
    Brush b;
    b.visible = style != 1;  // BS_NULL; hatches are drawn solid
    b.colour = fromColorRef(colour);
    return b;
  }

  // ---- WMF ----

  // WMF objects take the lowest free slot of the table.
  size_t FreeSlot() {
    for (size_t i = 0; i < m_Objects.size(); ++i)
      if (m_Objects[i].kind == Object::None) return i;
    m_Objects.emplace_back();
    return m_Objects.size() - 1;
  }

  std::vector<Point> WmfPoints(const uint8_t* p, size_t n) const {
    std::vector<Point> pts;
    for (size_t i = 0; i < n; ++i) pts.push_back(Map(s16(p + 4 * i), s16(p + 4 * i + 2)));
    return pts;
  }

  int PlayWmf() {
    const uint8_t* data = m_Info.records;
    size_t pos = 0;
    while (m_Info.size - pos >= 6) {
      const uint64_t recordBytes = uint64_t(u32(data + pos)) * 2;
      const uint16_t function = u16(data + pos + 4);
      if (recordBytes < 6 || recordBytes > m_Info.size - pos) break;
      const uint8_t* p = data + pos + 6;  // parameters
      const size_t n = static_cast<size_t>(recordBytes) - 6;
      pos += static_cast<size_t>(recordBytes);
      if (function == 0) break;  // end of file
      switch (function) {
        case 0x020B:  // window origin
          if (n >= 4) m_WinOrg = {double(s16(p + 2)), double(s16(p))};
          break;
        case 0x020C:  // window extent
          if (n >= 4 && s16(p) != 0 && s16(p + 2) != 0) m_WinExt = {double(s16(p + 2)), double(s16(p))};
          break;
        case 0x0106:  // fill mode
          if (n >= 2) m_Winding = u16(p) == 2;
          break;
        case 0x02FA:  // pen
          if (n >= 10) {
            Object& o = m_Objects[FreeSlot()];
            o.kind = Object::PenObj;
            o.pen = MakePen(u16(p), s16(p + 2), u32(p + 6));
          }
          break;
        case 0x02FC:  // brush
          if (n >= 6) {
            Object& o = m_Objects[FreeSlot()];
            o.kind = Object::BrushObj;
            o.brush = MakeBrush(u16(p), u32(p + 2));
          }
          break;
        case 0x02FB:  // font, palette, pattern brushes, region: they take a slot
        case 0x00F7:
        case 0x01F9:
        case 0x0142:
        case 0x06FF:
          m_Objects[FreeSlot()].kind = Object::Other;
          break;
        case 0x012D:  // select
          if (n >= 2) Select(u16(p));
          break;
        case 0x01F0:  // delete
          if (n >= 2 && u16(p) < m_Objects.size()) m_Objects[u16(p)] = Object();
          break;
        case 0x0214:  // move to
          if (n >= 4) m_Pos = Map(s16(p + 2), s16(p));
          break;
        case 0x0213:  // line to
          if (n >= 4) LineTo(s16(p + 2), s16(p));
          break;
        case 0x0325:  // polyline
        case 0x0324:  // polygon
          if (n >= 2) {
            const size_t count = std::min<size_t>(u16(p), (n - 2) / 4);
            Shape({WmfPoints(p + 2, count)}, function == 0x0324);
          }
          break;
        case 0x0538:  // polypolygon
          if (n >= 2) {
            const size_t polys = u16(p);
            if (2 + 2 * polys > n) break;
            std::vector<std::vector<Point>> rings;
            size_t at = 2 + 2 * polys;
            for (size_t i = 0; i < polys; ++i) {
              const size_t count = std::min<size_t>(u16(p + 2 + 2 * i), (n - at) / 4);
              rings.push_back(WmfPoints(p + at, count));
              at += 4 * count;
            }
            Shape(rings, true);
          }
          break;
        case 0x041B:  // rectangle: bottom, right, top, left
          if (n >= 8) Rectangle(s16(p + 6), s16(p + 4), s16(p + 2), s16(p));
          break;
        case 0x0418:  // ellipse
          if (n >= 8) Ellipse(s16(p + 6), s16(p + 4), s16(p + 2), s16(p));
          break;
        case 0x0F43:  // stretch DIB
          if (n >= 22) {
            DrawWmfDib(p + 22, n - 22, s16(p + 20), s16(p + 18), s16(p + 16), s16(p + 14), s16(p + 12), s16(p + 10),
                       s16(p + 8), s16(p + 6));
          }
          break;
        case 0x0B41:  // DIB stretch blit
          if (n >= 20 + 40) {
            DrawWmfDib(p + 20, n - 20, s16(p + 18), s16(p + 16), s16(p + 14), s16(p + 12), s16(p + 10), s16(p + 8),
                       s16(p + 6), s16(p + 4));
          } else if (n >= 22) {
            PatternBlt(u32(p), s16(p + 20), s16(p + 18), s16(p + 16), s16(p + 14));
          }
          break;
        case 0x0940:  // DIB blit
          if (n > 16 + 40) {
            DrawWmfDib(p + 16, n - 16, s16(p + 14), s16(p + 12), s16(p + 10), s16(p + 8), s16(p + 6), s16(p + 4),
                       s16(p + 10), s16(p + 8));
          } else if (n >= 14) {
            PatternBlt(u32(p), s16(p + 12), s16(p + 10), s16(p + 8), s16(p + 6));
          }
          break;
        case 0x0D33:  // DIB to device
          if (n >= 18) {
            DrawWmfDib(p + 18, n - 18, s16(p + 16), s16(p + 14), s16(p + 12), s16(p + 10), s16(p + 8), s16(p + 6),
                       s16(p + 12), s16(p + 10));
          }
          break;
        default:
          break;
      }
    }
    return m_Drawn;
  }

  // A packed DIB (header, colours, rows) drawn from (sx, sy, sw, sh) into
  // (x, y, w, h).
  void DrawWmfDib(const uint8_t* packed, size_t size, int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
    if (size < 40) return;
    const size_t header = u32(packed);
    if (header < 40 || header > size) return;
    const int bpp = u16(packed + 14);
    uint32_t used = u32(packed + 32);
    size_t colours = 0;
    if (bpp <= 8) colours = (used == 0 || used > (1u << bpp)) ? (size_t(1) << bpp) : used;
    if (u32(packed + 16) == 3) colours = 3;
    const size_t infoSize = std::min(size, header + 4 * colours);
    Dib dib(packed, infoSize, packed + infoSize, size - infoSize);
    DrawDib(dib, x, y, w, h, sx, sy, sw, sh);
  }

  // ---- EMF ----

  std::vector<Point> EmfPoints(const uint8_t* p, size_t n, bool shortPoints) const {
    std::vector<Point> pts;
    for (size_t i = 0; i < n; ++i) {
      if (shortPoints)
        pts.push_back(Map(s16(p + 4 * i), s16(p + 4 * i + 2)));
      else
        pts.push_back(Map(s32(p + 8 * i), s32(p + 8 * i + 4)));
    }
    return pts;
  }

  // A bitmap given by offsets inside the record.
  static Dib EmfDib(const uint8_t* rec, size_t size, uint32_t offBmi, uint32_t cbBmi, uint32_t offBits,
                    uint32_t cbBits) {
    if (offBmi > size || cbBmi > size - offBmi || offBits > size || cbBits > size - offBits) return Dib(nullptr, 0, nullptr, 0);
    return Dib(rec + offBmi, cbBmi, rec + offBits, cbBits);
  }

  int PlayEmf() {
    const uint8_t* data = m_Info.records;
    size_t pos = 0;
    while (m_Info.size - pos >= 8) {
      const uint32_t type = u32(data + pos);
      const uint32_t size = u32(data + pos + 4);
      if (size < 8 || size > m_Info.size - pos) break;
      const uint8_t* r = data + pos;  // the whole record
      const size_t n = size;
      pos += size;
      if (type == 14) break;  // end of file
      switch (type) {
        case 9:  // window extent
          if (n >= 16 && s32(r + 8) != 0 && s32(r + 12) != 0) m_WinExt = {double(s32(r + 8)), double(s32(r + 12))};
          break;
        case 10:
          if (n >= 16) m_WinOrg = {double(s32(r + 8)), double(s32(r + 12))};
          break;
        case 11:
          if (n >= 16 && s32(r + 8) != 0 && s32(r + 12) != 0) m_VpExt = {double(s32(r + 8)), double(s32(r + 12))};
          break;
        case 12:
          if (n >= 16) m_VpOrg = {double(s32(r + 8)), double(s32(r + 12))};
          break;
        case 17:  // map mode
          if (n >= 12) m_MapMode = static_cast<int>(u32(r + 8));
          break;
        case 19:  // fill mode
          if (n >= 12) m_Winding = u32(r + 8) == 2;
          break;
        case 38:  // pen: handle, style, width, colour
          if (n >= 28 && u32(r + 8) < m_Objects.size()) {
            Object& o = m_Objects[u32(r + 8)];
            o.kind = Object::PenObj;
            o.pen = MakePen(u32(r + 12), s32(r + 16), u32(r + 24));
          }
          break;
        case 95:  // extended pen
          if (n >= 44 && u32(r + 8) < m_Objects.size()) {
            Object& o = m_Objects[u32(r + 8)];
            o.kind = Object::PenObj;
            o.pen = MakePen(u32(r + 28), u32(r + 32), u32(r + 40));
          }
          break;
        case 39:  // brush: handle, style, colour
          if (n >= 24 && u32(r + 8) < m_Objects.size()) {
            Object& o = m_Objects[u32(r + 8)];
            o.kind = Object::BrushObj;
            o.brush = MakeBrush(u32(r + 12), u32(r + 16));
          }
          break;
        case 37:  // select
          if (n >= 12) {
            const uint32_t h = u32(r + 8);
            if (h & 0x80000000u)
              SelectStock(h & 0x7FFFFFFFu);
            else
              Select(h);
          }
          break;
        case 40:  // delete
          if (n >= 12 && u32(r + 8) < m_Objects.size()) m_Objects[u32(r + 8)] = Object();
          break;
        case 27:  // move to
          if (n >= 16) m_Pos = Map(s32(r + 8), s32(r + 12));
          break;
        case 54:  // line to
          if (n >= 16) LineTo(s32(r + 8), s32(r + 12));
          break;
        case 3:   // polygon
        case 4:   // polyline
        case 86:  // polygon16
        case 87:  // polyline16
          if (n >= 28) {
            const bool shortPoints = type >= 86;
            const size_t count = std::min<size_t>(u32(r + 24), (n - 28) / (shortPoints ? 4 : 8));
            Shape({EmfPoints(r + 28, count, shortPoints)}, type == 3 || type == 86);
          }
          break;
        case 8:   // polypolygon
        case 91:  // polypolygon16
          if (n >= 32) {
            const bool shortPoints = type == 91;
            const size_t polys = u32(r + 24);
            if (polys > (n - 32) / 4) break;
            std::vector<std::vector<Point>> rings;
            size_t at = 32 + 4 * polys;
            for (size_t i = 0; i < polys; ++i) {
              const size_t count = std::min<size_t>(u32(r + 32 + 4 * i), (n - at) / (shortPoints ? 4 : 8));
              rings.push_back(EmfPoints(r + at, count, shortPoints));
              at += count * (shortPoints ? 4 : 8);
            }
            Shape(rings, true);
          }
          break;
        case 42:  // ellipse
          if (n >= 24) Ellipse(s32(r + 8), s32(r + 12), s32(r + 16), s32(r + 20));
          break;
        case 43:  // rectangle
          if (n >= 24) Rectangle(s32(r + 8), s32(r + 12), s32(r + 16), s32(r + 20));
          break;
        case 81:  // stretch DIB bits
          if (n >= 80) {
            Dib dib = EmfDib(r, n, u32(r + 48), u32(r + 52), u32(r + 56), u32(r + 60));
            DrawDib(dib, s32(r + 24), s32(r + 28), s32(r + 72), s32(r + 76), s32(r + 32), s32(r + 36), s32(r + 40),
                    s32(r + 44));
          }
          break;
        case 80:  // DIB bits to device
          if (n >= 76) {
            Dib dib = EmfDib(r, n, u32(r + 48), u32(r + 52), u32(r + 56), u32(r + 60));
            DrawDib(dib, s32(r + 24), s32(r + 28), s32(r + 40), s32(r + 44), s32(r + 32), s32(r + 36), s32(r + 40),
                    s32(r + 44));
          }
          break;
        case 76:  // bit blit
        case 77:  // stretch blit
          if (n >= 100) {
            const int x = s32(r + 24), y = s32(r + 28), w = s32(r + 32), h = s32(r + 36);
            const uint32_t rop = u32(r + 40);
            const uint32_t cbBmi = u32(r + 88);
            if (cbBmi == 0) {
              PatternBlt(rop, x, y, w, h);
              break;
            }
            int sw = w, sh = h;
            if (type == 77 && n >= 108) {
              sw = s32(r + 100);
              sh = s32(r + 104);
            }
            Dib dib = EmfDib(r, n, u32(r + 84), cbBmi, u32(r + 92), u32(r + 96));
            DrawDib(dib, x, y, w, h, s32(r + 44), s32(r + 48), sw, sh);
          }
          break;
        default:
          break;
      }
    }
    return m_Drawn;
  }

  const MetafileInfo& m_Info;
  Canvas m_Canvas;
  bool m_Draw;
  int m_Drawn = 0;
  std::vector<Object> m_Objects;
  Pen m_Pen;
  Brush m_Brush;
  bool m_Winding = false;
  Point m_Pos{0, 0};
  int m_MapMode = 1;
  Point m_WinOrg{0, 0}, m_WinExt{1, 1}, m_VpOrg{0, 0}, m_VpExt{1, 1};
};

void checkPictureSize(MetafileInfo& info, double width, double height) {
  if (!(width >= 1)) width = 320;
  if (!(height >= 1)) height = 200;
  if (width > maxPictureSide || height > maxPictureSide || width * height > double(maxPicturePixels))
    throw CTextException(PL_ERR_NO_MEMORY, "Decoder error: Cannot allocate memory bitmap.\n");
  info.width = static_cast<int>(width);
  info.height = static_cast<int>(height);
}

}  // namespace

MetafileInfo ReadMetafileInfo(const uint8_t* data, size_t size, bool enhanced) {
  MetafileInfo info;
  info.enhanced = enhanced;
  if (enhanced) {
    // EMR_HEADER: type 1 and the " EMF" signature
    if (size < 8 || u32(data) != 1) failLoad();
    const uint32_t headerSize = u32(data + 4);
    if (size < 88 || headerSize < 88 || headerSize > size)
      throw CTextException(PL_ERR_FORMAT, "Decoder error: No header information in metafile\n");
    if (u32(data + 40) != 0x464D4520) failLoad();
    const double boundsL = s32(data + 8), boundsT = s32(data + 12), boundsR = s32(data + 16), boundsB = s32(data + 20);
    const double frameL = s32(data + 24), frameT = s32(data + 28), frameR = s32(data + 32), frameB = s32(data + 36);
    info.handles = u16(data + 56);
    const double devW = s32(data + 72), devH = s32(data + 76), mmW = s32(data + 80), mmH = s32(data + 84);
    double width = 0, height = 0;
    if (devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
      width = (frameR - frameL) * devW / (mmW * 100);
      height = (frameB - frameT) * devH / (mmH * 100);
      info.devPixelsPerMmX = devW / mmW;
      info.devPixelsPerMmY = devH / mmH;
    }
    checkPictureSize(info, width, height);
    // reference-device pixels through the frame (0.01 mm) onto the picture;
    // without a usable frame, the bounds (pixels) fill the picture
    if (frameR > frameL && frameB > frameT && devW > 0 && devH > 0 && mmW > 0 && mmH > 0) {
      info.devScaleX = mmW * 100 / devW * info.width / (frameR - frameL);
      info.devScaleY = mmH * 100 / devH * info.height / (frameB - frameT);
      info.devOffsetX = -frameL * info.width / (frameR - frameL);
      info.devOffsetY = -frameT * info.height / (frameB - frameT);
    } else if (boundsR > boundsL && boundsB > boundsT) {
      info.devScaleX = info.width / (boundsR - boundsL + 1);
      info.devScaleY = info.height / (boundsB - boundsT + 1);
      info.devOffsetX = -boundsL * info.devScaleX;
      info.devOffsetY = -boundsT * info.devScaleY;
    }
    info.records = data + headerSize;
    info.size = size - headerSize;
    return info;
  }

  double width = 0, height = 0;
  bool sized = false;
  if (size >= 22 && u32(data) == 0x9AC6CDD7) {
    const int left = s16(data + 6), top = s16(data + 8), right = s16(data + 10), bottom = s16(data + 12);
    const int inch = u16(data + 14);
    // no units per inch: no size
    if (inch > 0) {
      width = double(right - left) * 96 / inch;
      height = double(bottom - top) * 96 / inch;
    }
    info.winLeft = left;
    info.winTop = top;
    info.winWidth = right - left;
    info.winHeight = bottom - top;
    sized = true;
    data += 22;
    size -= 22;
  }
  // the WMF header: type 1 or 2, 9 words long
  if (size < 18 || (u16(data) != 1 && u16(data) != 2) || u16(data + 2) != 9) failLoad();
  info.handles = u16(data + 10);
  info.records = data + 18;
  info.size = size - 18;
  if (!sized) {
    // a plain WMF shows its first window
    const uint8_t* p = info.records;
    size_t pos = 0;
    while (info.size - pos >= 6) {
      const uint64_t bytes = uint64_t(u32(p + pos)) * 2;
      if (bytes < 6 || bytes > info.size - pos) break;
      if (u16(p + pos + 4) == 0x020C && bytes >= 10) {
        width = std::abs(s16(p + pos + 8));
        height = std::abs(s16(p + pos + 6));
        info.winWidth = s16(p + pos + 8);
        info.winHeight = s16(p + pos + 6);
        break;
      }
      pos += static_cast<size_t>(bytes);
    }
  }
  checkPictureSize(info, width, height);
  if (info.winWidth == 0) info.winWidth = info.width;
  if (info.winHeight == 0) info.winHeight = info.height;
  return info;
}

int PlayMetafile(const MetafileInfo& info, CWinBmp* bmp) {
  Player player(info, bmp);
  return player.Play();
}
