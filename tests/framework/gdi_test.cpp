#include "framework/gdi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <array>
#include <random>

namespace {

// A surface with a DC drawing on all of it.
struct Canvas {
  brv::Surface s;
  CDC dc;
  Canvas(int w, int h, uint32_t fill = 0xFFFFFF) : s(w, h, fill) { dc.AttachSurface(&s); }
  uint32_t At(int x, int y) const { return s.Pixel(x, y); }
  // Pixels that differ from `colour`.
  int CountNot(uint32_t colour) const {
    int n = 0;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) n += s.Pixel(x, y) != colour;
    return n;
  }
  void Noise(unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x) s.SetPixel(x, y, rng() & 0xFFFFFF);
  }
  std::vector<uint32_t> Pixels() const {
    std::vector<uint32_t> out;
    for (int y = 0; y < s.Height(); ++y) out.insert(out.end(), s.Row(y), s.Row(y) + s.Width());
    return out;
  }
};

// Ink bounding box of pixels that differ from the background.
CRect InkBox(const brv::Surface& s, uint32_t background) {
  CRect box(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.Pixel(x, y) != background) {
        box.left = std::min<LONG>(box.left, x), box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1), box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  return box;
}

}  // namespace

// Every binary raster operation against its formula on RGB32: one pixel of a
// one-pixel line, for a few destination and pen colours.
TEST(GdiRop2, SixteenModesFollowTheirFormulas) {
  using F = std::function<uint32_t(uint32_t, uint32_t)>;
  const std::pair<int, F> modes[] = {
      {R2_BLACK, [](uint32_t, uint32_t) { return 0u; }},
      {R2_NOTMERGEPEN, [](uint32_t d, uint32_t p) { return ~(d | p); }},
      {R2_MASKNOTPEN, [](uint32_t d, uint32_t p) { return d & ~p; }},
      {R2_NOTCOPYPEN, [](uint32_t, uint32_t p) { return ~p; }},
      {R2_MASKPENNOT, [](uint32_t d, uint32_t p) { return p & ~d; }},
      {R2_NOT, [](uint32_t d, uint32_t) { return ~d; }},
      {R2_XORPEN, [](uint32_t d, uint32_t p) { return d ^ p; }},
      {R2_NOTMASKPEN, [](uint32_t d, uint32_t p) { return ~(d & p); }},
      {R2_MASKPEN, [](uint32_t d, uint32_t p) { return d & p; }},
      {R2_NOTXORPEN, [](uint32_t d, uint32_t p) { return ~(d ^ p); }},
      {R2_NOP, [](uint32_t d, uint32_t) { return d; }},
      {R2_MERGENOTPEN, [](uint32_t d, uint32_t p) { return d | ~p; }},
      {R2_COPYPEN, [](uint32_t, uint32_t p) { return p; }},
      {R2_MERGEPENNOT, [](uint32_t d, uint32_t p) { return p | ~d; }},
      {R2_MERGEPEN, [](uint32_t d, uint32_t p) { return d | p; }},
      {R2_WHITE, [](uint32_t, uint32_t) { return 0xFFFFFFu; }},
  };
  const uint32_t dests[] = {0x000000, 0xFFFFFF, 0x3C5AA5, 0xF00F81};
  const COLORREF pens[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(0x12, 0xC3, 0x7E), RGB(0xA0, 0x05, 0xFF)};
  for (const auto& [mode, formula] : modes) {
    for (uint32_t d : dests) {
      for (COLORREF pc : pens) {
        Canvas c(4, 1, d);
        CPen pen(PS_SOLID, 1, pc);
        c.dc.SelectObject(&pen);
        EXPECT_EQ(c.dc.SetROP2(mode), R2_COPYPEN);
        c.dc.MoveTo(1, 0);
        c.dc.LineTo(2, 0);
        EXPECT_EQ(c.At(1, 0), formula(d, brv::PixelOf(pc)) & 0xFFFFFF) << "mode " << mode;
        EXPECT_EQ(c.At(2, 0), d) << "end point drawn, mode " << mode;
        EXPECT_EQ(c.At(0, 0), d);
      }
    }
  }
}

// Rubber figures: drawn once in an inverting mode every pixel of the figure
// is inverted exactly once; drawn again the picture is back byte for byte.
TEST(GdiRop2, InvertingFiguresDrawnTwiceRestoreThePicture) {
  using Draw = std::function<void(CDC&)>;
  const POINT zigzag[] = {{5, 5}, {60, 40}, {5, 40}, {60, 5}, {30, 55}};  // crosses itself
  const std::pair<const char*, Draw> figures[] = {
      {"line", [](CDC& dc) { dc.MoveTo(3, 70); dc.LineTo(77, 4); }},
      {"polyline", [&](CDC& dc) { dc.Polyline(zigzag, 5); }},
      {"rectangle outline", [](CDC& dc) {
         dc.SelectStockObject(NULL_BRUSH);
         dc.Rectangle(10, 12, 50, 44);
       }},
      {"rubber rectangle", [](CDC& dc) {
         const POINT r[] = {{8, 9}, {70, 9}, {70, 60}, {8, 60}, {8, 9}};
         dc.Polyline(r, 5);
       }},
      {"filled ellipse", [](CDC& dc) {
         CBrush b(RGB(30, 200, 90));
         CBrush* old = dc.SelectObject(&b);
         dc.Ellipse(5, 6, 66, 47);
         dc.SelectObject(old);
       }},
      {"arrow", [](CDC& dc) {
         dc.MoveTo(10, 60); dc.LineTo(60, 20);
         dc.MoveTo(47, 22); dc.LineTo(60, 20);
         dc.MoveTo(57, 33); dc.LineTo(60, 20);
       }},
      {"cross", [](CDC& dc) {
         dc.MoveTo(20, 40); dc.LineTo(61, 40);
         dc.MoveTo(40, 20); dc.LineTo(40, 61);
       }},
      {"wide polyline", [&](CDC& dc) {
         CPen wide(PS_SOLID, 5, RGB(0x5A, 0x33, 0xC1));
         CPen* old = dc.SelectObject(&wide);
         dc.Polyline(zigzag, 5);
         dc.SelectObject(old);
       }},
      {"polygon", [&](CDC& dc) { dc.Polygon(zigzag, 5); }},
  };
  for (int mode : {R2_NOT, R2_XORPEN, R2_NOTXORPEN}) {
    for (const auto& [name, draw] : figures) {
      Canvas c(80, 80);
      c.Noise(7);
      const std::vector<uint32_t> before = c.Pixels();
      CPen pen(PS_SOLID, 1, RGB(0x5A, 0x33, 0xC1));
      c.dc.SelectObject(&pen);
      c.dc.SetROP2(mode);
      draw(c.dc);
      const std::vector<uint32_t> once = c.Pixels();
      int changed = 0;
      for (size_t i = 0; i < before.size(); ++i) {
        if (once[i] == before[i]) continue;
        ++changed;
        if (mode == R2_NOT) {
          EXPECT_EQ(once[i], ~before[i] & 0xFFFFFF) << name;
        }
      }
      EXPECT_GT(changed, 20) << name;
      draw(c.dc);
      EXPECT_EQ(c.Pixels(), before) << name << " mode " << mode;
    }
  }
  // the zigzag crosses itself: the crossing pixel is inverted, not restored
  Canvas c(80, 80, 0xFFFFFF);
  c.dc.SetROP2(R2_NOT);
  c.dc.Polyline(zigzag, 5);
  Canvas ref(80, 80, 0xFFFFFF);
  for (int k = 0; k < 4; ++k) {
    ref.dc.MoveTo(zigzag[k]);
    ref.dc.LineTo(zigzag[k + 1]);
  }
  // every pixel that any segment covers is black in the one-figure drawing
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 80; ++x) {
      if (ref.At(x, y) == 0) {
        EXPECT_EQ(c.At(x, y), 0u) << x << "," << y;
      }
    }
  }
}

TEST(GdiLines, PenWidthsNullPenAndEndPoint) {
  {
    Canvas c(20, 5);
    CPen none(PS_NULL, 0, RGB(0, 0, 0));
    c.dc.SelectObject(&none);
    c.dc.MoveTo(0, 2);
    c.dc.LineTo(20, 2);
    EXPECT_EQ(c.CountNot(0xFFFFFF), 0) << "PS_NULL draws nothing";
  }
  {
    Canvas c(20, 5);
    CPen thin(PS_SOLID, 0, RGB(255, 0, 0));
    c.dc.SelectObject(&thin);
    c.dc.MoveTo(2, 2);
    c.dc.LineTo(12, 2);
    EXPECT_EQ(c.CountNot(0xFFFFFF), 10) << "width 0 is one pixel, end point left out";
    EXPECT_EQ(c.At(2, 2), 0xFF0000u);
    EXPECT_EQ(c.At(12, 2), 0xFFFFFFu);
    EXPECT_EQ(c.dc.GetCurrentPosition(), CPoint(12, 2));
  }
  {
    Canvas c(30, 11);
    CPen wide(PS_SOLID, 3, RGB(0, 0, 0));
    c.dc.SelectObject(&wide);
    c.dc.MoveTo(5, 5);
    c.dc.LineTo(25, 5);
    for (int y : {4, 5, 6}) EXPECT_EQ(c.At(15, y), 0u);
    EXPECT_EQ(c.At(15, 3), 0xFFFFFFu);
    EXPECT_EQ(c.At(15, 7), 0xFFFFFFu);
  }
}

// 32-bit coordinates with 64-bit arithmetic: far end points still draw
// across the window.
TEST(GdiLines, FarEndPointsDrawAcross) {
  Canvas c(200, 50);
  c.dc.MoveTo(-40000, 10);
  c.dc.LineTo(40000, 10);
  for (int x = 0; x < 200; ++x) EXPECT_EQ(c.At(x, 10), 0u) << x;
  c.dc.MoveTo(-40000, -40000);
  c.dc.LineTo(40000, 40000);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(c.At(i, i), 0u) << i;
  c.dc.MoveTo(INT32_MIN, 20);
  c.dc.LineTo(INT32_MAX, 20);
  EXPECT_EQ(c.At(0, 20), 0u);
  EXPECT_EQ(c.At(199, 20), 0u);
}

// A control's DC at (20, 30) of its window: its (0, 0) is the window's
// (20, 30), and nothing outside the control changes.
TEST(GdiDc, ControlOriginMapsAndClips) {
  brv::Surface window(100, 100, 0xFFFFFF);
  CDC dc;
  dc.AttachSurface(&window, CPoint(20, 30), CRect(20, 30, 60, 70));
  dc.MoveTo(10, 10);
  dc.LineTo(0, 0);
  EXPECT_EQ(window.Pixel(21, 31), 0u);
  EXPECT_EQ(window.Pixel(20, 30), 0xFFFFFFu) << "LineTo leaves out its end";
  dc.MoveTo(-10, 5);
  dc.LineTo(200, 5);
  for (int x = 0; x < 100; ++x) EXPECT_EQ(window.Pixel(x, 35), x >= 20 && x < 60 ? 0u : 0xFFFFFFu) << x;
  window.ClearDirty();
  dc.FillSolidRect(-50, -50, 500, 500, RGB(0, 0, 255));
  EXPECT_EQ(InkBox(window, 0xFFFFFF), CRect(20, 30, 60, 70));
  EXPECT_EQ(window.DirtyRect(), CRect(20, 30, 60, 70));
  CRect box;
  EXPECT_EQ(dc.GetClipBox(&box), SIMPLEREGION);
  EXPECT_EQ(box, CRect(0, 0, 40, 40));
  EXPECT_EQ(dc.GetPixel(0, 0), RGB(0, 0, 255));
  EXPECT_EQ(dc.GetPixel(-1, 0), CLR_INVALID);
}

TEST(GdiDc, SelectObjectReturnsThePreviousObject) {
  Canvas c(30, 10);
  CPen red(PS_SOLID, 1, RGB(255, 0, 0)), green(PS_SOLID, 1, RGB(0, 255, 0));
  CPen* original = c.dc.SelectObject(&red);
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(c.dc.SelectObject(&green), &red);
  EXPECT_EQ(c.dc.SelectObject(original), &green);
  c.dc.MoveTo(0, 1);
  c.dc.LineTo(5, 1);
  EXPECT_EQ(c.At(0, 1), 0u) << "the stock black pen is back";
  // a selected pen outlives its wrapper's delete attempt
  {
    CPen blue(PS_SOLID, 1, RGB(0, 0, 255));
    c.dc.SelectObject(&blue);
    EXPECT_FALSE(blue.DeleteObject());
  }
  c.dc.MoveTo(0, 2);
  c.dc.LineTo(5, 2);
  EXPECT_EQ(c.At(0, 2), 0x0000FFu);
  EXPECT_NE(c.dc.SelectStockObject(BLACK_PEN), nullptr);
  EXPECT_EQ(c.dc.GetBkColor(), RGB(255, 255, 255));
  EXPECT_EQ(c.dc.GetBkMode(), OPAQUE);
  EXPECT_EQ(c.dc.GetROP2(), R2_COPYPEN);
}

TEST(GdiFigures, RightAndBottomEdgesAreLeftOut) {
  Canvas c(30, 30);
  CBrush blue(RGB(0, 0, 255));
  c.dc.SelectObject(&blue);
  c.dc.Rectangle(5, 5, 15, 12);
  EXPECT_EQ(InkBox(c.s, 0xFFFFFF), CRect(5, 5, 15, 12));
  EXPECT_EQ(c.At(5, 5), 0u);
  EXPECT_EQ(c.At(6, 6), 0x0000FFu);
  Canvas e(30, 30);
  e.dc.Ellipse(3, 4, 23, 14);
  EXPECT_EQ(InkBox(e.s, 0xFFFFFF), CRect(3, 4, 23, 14));
  Canvas f(30, 30);
  CRect r(2, 3, 9, 7);
  f.dc.FillRect(&r, &blue);
  EXPECT_EQ(InkBox(f.s, 0xFFFFFF), r);
  EXPECT_EQ(f.CountNot(0xFFFFFF), 7 * 4);
  // a null pen fills one pixel less on the right and bottom
  Canvas n(30, 30);
  n.dc.SelectStockObject(NULL_PEN);
  n.dc.SelectObject(&blue);
  n.dc.Rectangle(5, 5, 15, 12);
  EXPECT_EQ(InkBox(n.s, 0xFFFFFF), CRect(5, 5, 14, 11));
}

// Pen and brush of one figure never touch the same pixel: with XOR both the
// frame and the inside show each colour once.
TEST(GdiFigures, PenAndBrushTouchAPixelOnce) {
  for (bool ellipse : {false, true}) {
    Canvas c(40, 40, 0x000000);
    CPen pen(PS_SOLID, 2, RGB(255, 0, 0));
    CBrush brush(RGB(0, 0, 255));
    c.dc.SelectObject(&pen);
    c.dc.SelectObject(&brush);
    c.dc.SetROP2(R2_XORPEN);
    if (ellipse) c.dc.Ellipse(5, 5, 35, 30); else c.dc.Rectangle(5, 5, 35, 30);
    int red = 0, blue = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        uint32_t p = c.At(x, y);
        EXPECT_TRUE(p == 0 || p == 0xFF0000 || p == 0x0000FF) << x << "," << y << " " << std::hex << p;
        red += p == 0xFF0000, blue += p == 0x0000FF;
      }
    EXPECT_GT(red, 50);
    EXPECT_GT(blue, 200);
  }
}

// Arc: start equal to end draws the whole ellipse; from 3 o'clock to 12
// o'clock (counter-clockwise) the upper-right quarter.
TEST(GdiFigures, ArcWholeAndQuarter) {
  Canvas whole(50, 50), outline(50, 50), quarter(50, 50);
  whole.dc.Arc(5, 5, 45, 45, 45, 25, 45, 25);
  outline.dc.SelectStockObject(NULL_BRUSH);
  outline.dc.Ellipse(5, 5, 45, 45);
  EXPECT_EQ(whole.Pixels(), outline.Pixels());
  quarter.dc.Arc(5, 5, 45, 45, 45, 25, 25, 5);
  EXPECT_GT(quarter.CountNot(0xFFFFFF), 20);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 50; ++x)
      if (quarter.At(x, y) != 0xFFFFFF) {
        EXPECT_GE(x, 25) << x << "," << y;
        EXPECT_LT(y, 25) << x << "," << y;
        EXPECT_EQ(outline.At(x, y), 0u);
      }
  EXPECT_EQ(quarter.At(44, 24), 0u);
  EXPECT_EQ(quarter.At(25, 5), 0u);
  // clockwise the same call draws the other three quarters
  Canvas rest(50, 50);
  rest.dc.SetArcDirection(AD_CLOCKWISE);
  rest.dc.Arc(5, 5, 45, 45, 45, 25, 25, 5);
  EXPECT_EQ(rest.At(5, 25), 0u);
  EXPECT_EQ(rest.At(35, 8), 0xFFFFFFu);
}

TEST(GdiBlit, WhitenessAndRasterOperations) {
  Canvas c(20, 20, 0x123456);
  c.dc.PatBlt(2, 3, 5, 4, WHITENESS);
  EXPECT_EQ(InkBox(c.s, 0x123456), CRect(2, 3, 7, 7));
  EXPECT_EQ(c.At(2, 3), 0xFFFFFFu);
  c.dc.PatBlt(0, 0, 20, 20, BLACKNESS);
  EXPECT_EQ(c.CountNot(0), 0);
  c.dc.PatBlt(0, 0, 10, 10, DSTINVERT);
  EXPECT_EQ(c.At(9, 9), 0xFFFFFFu);
  // memory DC, SRCCOPY, SRCINVERT, a stretched copy
  CDC mem;
  mem.CreateCompatibleDC(&c.dc);
  CBitmap bmp;
  ASSERT_TRUE(bmp.CreateCompatibleBitmap(&c.dc, 4, 2));
  CBitmap* old = mem.SelectObject(&bmp);
  ASSERT_NE(old, nullptr);
  mem.FillSolidRect(0, 0, 2, 2, RGB(255, 0, 0));
  mem.FillSolidRect(2, 0, 2, 2, RGB(0, 0, 255));
  Canvas d(10, 10, 0);
  d.dc.BitBlt(1, 1, 4, 2, &mem, 0, 0, SRCCOPY);
  EXPECT_EQ(d.At(1, 1), 0xFF0000u);
  EXPECT_EQ(d.At(4, 2), 0x0000FFu);
  d.dc.BitBlt(1, 1, 4, 2, &mem, 0, 0, SRCINVERT);
  EXPECT_EQ(d.At(1, 1), 0u);
  d.dc.StretchBlt(0, 4, 8, 4, &mem, 0, 0, 4, 2, SRCCOPY);
  EXPECT_EQ(InkBox(d.s, 0), CRect(0, 4, 8, 8));
  EXPECT_EQ(d.At(3, 7), 0xFF0000u);
  EXPECT_EQ(d.At(4, 4), 0x0000FFu);
  // Get/SetBitmapBits: 32-bit rows B, G, R, 0
  mem.SelectObject(old);
  uint8_t bits[32];
  EXPECT_EQ(bmp.GetBitmapBits(sizeof bits, bits), 32u);
  EXPECT_EQ(bits[2], 255);
  EXPECT_EQ(bits[8], 255);
  bits[0] = 7;
  EXPECT_EQ(bmp.SetBitmapBits(sizeof bits, bits), 32u);
  uint8_t back[32];
  bmp.GetBitmapBits(sizeof back, back);
  EXPECT_EQ(0, std::memcmp(bits, back, sizeof back));
}

TEST(GdiBlit, MonochromeBitmapsUseTextAndBackgroundColours) {
  CBitmap mono;
  const uint8_t rows[4] = {0xA0, 0x00, 0x50, 0x00};  // two rows of 4 pixels, padded to 16 bits
  ASSERT_TRUE(mono.CreateBitmap(4, 2, 1, 1, rows));
  Canvas c(4, 2, 0x777777);
  CDC mem;
  mem.CreateCompatibleDC(&c.dc);
  mem.SelectObject(&mono);
  c.dc.SetTextColor(RGB(255, 0, 0));
  c.dc.SetBkColor(RGB(0, 0, 255));
  c.dc.BitBlt(0, 0, 4, 2, &mem, 0, 0, SRCCOPY);
  EXPECT_EQ(c.At(0, 0), 0x0000FFu);  // 1 -> background
  EXPECT_EQ(c.At(1, 0), 0xFF0000u);  // 0 -> text
  EXPECT_EQ(c.At(1, 1), 0x0000FFu);
}

TEST(GdiBlit, DibSections) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 3;
  bi.bmiHeader.biHeight = 2;  // bottom up
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  CBitmap section;
  ASSERT_TRUE(section.Attach(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0)));
  ASSERT_NE(bits, nullptr);
  CDC mem;
  mem.CreateCompatibleDC(nullptr);
  mem.SelectObject(&section);
  mem.SetPixel(0, 0, RGB(1, 2, 3));
  // the top row is the last one in memory
  const uint8_t* p = static_cast<const uint8_t*>(bits) + 12;
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[2], 1);
  static_cast<uint8_t*>(bits)[0] = 200;  // bottom-left blue
  EXPECT_EQ(mem.GetPixel(0, 1), RGB(0, 0, 200));
  // a 24-bit section: drawing reaches the memory
  bi.bmiHeader.biBitCount = 24;
  CBitmap s24;
  void* bits24 = nullptr;
  ASSERT_TRUE(s24.Attach(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits24, nullptr, 0)));
  CDC mem24;
  mem24.CreateCompatibleDC(nullptr);
  mem24.SelectObject(&s24);
  mem24.FillSolidRect(0, 0, 3, 1, RGB(10, 20, 30));
  const uint8_t* top = static_cast<const uint8_t*>(bits24) + 12;  // rows of 12 bytes
  EXPECT_EQ(top[0], 30);
  EXPECT_EQ(top[2], 10);
  EXPECT_EQ(static_cast<const uint8_t*>(bits24)[0], 0);
}

TEST(GdiBlit, StretchDIBitsOfPalettedAndTrueColourRows) {
  // 2 x 2, 8 bits, bottom up: bottom row indices 0 1, top row 2 3
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colours[256];
  } info{};
  info.h = {40, 2, 2, 1, 8, BI_RGB, 0, 0, 0, 4, 0};
  info.colours[0] = {0, 0, 255, 0};
  info.colours[1] = {0, 255, 0, 0};
  info.colours[2] = {255, 0, 0, 0};
  info.colours[3] = {255, 255, 255, 0};
  const uint8_t rows[8] = {0, 1, 0, 0, 2, 3, 0, 0};
  Canvas c(8, 8, 0);
  c.dc.SetStretchBltMode(COLORONCOLOR);
  EXPECT_EQ(c.dc.StretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, rows, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                               SRCCOPY),
            2);
  EXPECT_EQ(c.At(0, 0), 0x0000FFu);
  EXPECT_EQ(c.At(3, 1), 0xFFFFFFu);
  EXPECT_EQ(c.At(0, 3), 0xFF0000u);
  EXPECT_EQ(c.At(2, 2), 0x00FF00u);
  EXPECT_EQ(c.At(4, 0), 0u);
  // 24-bit rows, doubled and mirrored left to right
  BITMAPINFO tc{};
  tc.bmiHeader = {40, 3, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const uint8_t rgb[12] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};  // red, green, blue
  Canvas m(8, 2, 0);
  EXPECT_EQ(m.dc.StretchDIBits(6, 0, -6, 2, 0, 0, 3, 1, rgb, &tc, DIB_RGB_COLORS, SRCCOPY), 1);
  const uint32_t want[8] = {0x0000FF, 0x0000FF, 0x00FF00, 0x00FF00, 0xFF0000, 0xFF0000, 0, 0};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(m.At(x, 0), want[x]) << x;
    EXPECT_EQ(m.At(x, 1), want[x]) << x;
  }
  // a bad header draws nothing
  info.h.biBitCount = 7;
  EXPECT_EQ(c.dc.StretchDIBits(0, 0, 4, 4, 0, 0, 2, 2, rows, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                               SRCCOPY),
            0);
}

TEST(GdiRegions, CombineAndClip) {
  CRgn a, b, r;
  a.CreateRectRgn(0, 0, 10, 10);
  b.CreateRectRgn(5, 5, 15, 15);
  r.CreateRectRgn(0, 0, 0, 0);
  struct Case {
    int mode, kind, area;
  } cases[] = {{RGN_AND, SIMPLEREGION, 25}, {RGN_OR, COMPLEXREGION, 175}, {RGN_XOR, COMPLEXREGION, 150},
               {RGN_DIFF, COMPLEXREGION, 75}, {RGN_COPY, SIMPLEREGION, 100}};
  for (const Case& k : cases) {
    EXPECT_EQ(r.CombineRgn(&a, &b, k.mode), k.kind) << k.mode;
    int area = 0;
    for (const CRect& rc : r.GetRegion().Rects()) area += rc.Width() * rc.Height();
    EXPECT_EQ(area, k.area) << k.mode;
  }
  r.CombineRgn(&a, &b, RGN_XOR);
  EXPECT_TRUE(r.PtInRegion(2, 2));
  EXPECT_FALSE(r.PtInRegion(7, 7));
  EXPECT_TRUE(r.PtInRegion(12, 12));
  Canvas c(20, 20);
  c.dc.SelectClipRgn(&r);
  c.dc.FillSolidRect(0, 0, 20, 20, RGB(0, 0, 0));
  EXPECT_EQ(c.CountNot(0xFFFFFF), 150);
  EXPECT_EQ(c.At(7, 7), 0xFFFFFFu);
  c.dc.SelectClipRgn(nullptr);
  c.dc.FillSolidRect(0, 0, 20, 20, RGB(0, 0, 0));
  EXPECT_EQ(c.CountNot(0), 0);
  // the destructor gives the region back
  size_t live = brv::LiveGdiObjects();
  { CRgn t; t.CreateEllipticRgn(0, 0, 5, 5); EXPECT_EQ(brv::LiveGdiObjects(), live + 1); }
  EXPECT_EQ(brv::LiveGdiObjects(), live);
}

TEST(GdiText, ArialIsLiberationSansOthersDejaVu) {
  EXPECT_NE(brv::FontFileFor("Arial", false, false).find("LiberationSans-Regular"), std::string::npos);
  EXPECT_NE(brv::FontFileFor("arial", true, false).find("LiberationSans-Bold"), std::string::npos);
  EXPECT_NE(brv::FontFileFor("MS Sans Serif", false, false).find("LiberationSans"), std::string::npos);
  EXPECT_NE(brv::FontFileFor("Times", false, false).find("DejaVuSans"), std::string::npos);
  Canvas c(100, 30);
  CFont font;
  font.CreateFont(16, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  c.dc.SelectObject(&font);
  TEXTMETRIC tm;
  ASSERT_TRUE(c.dc.GetTextMetrics(&tm));
  EXPECT_EQ(tm.tmHeight, 16) << "a positive height is the cell height";
  c.dc.SetROP2(R2_NOT);  // text ignores it
  c.dc.SetTextColor(RGB(255, 0, 0));
  c.dc.TextOut(2, 2, "Hello", 5);
  EXPECT_GT(c.CountNot(0xFFFFFF), 20);
  bool red = false;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) red = red || c.At(x, y) == 0xFF0000;
  EXPECT_TRUE(red);
  CSize ext = c.dc.GetTextExtent("Hello", 5);
  EXPECT_GT(ext.cx, 25);
  EXPECT_EQ(ext.cy, 16);
}

// The dialog font's metrics agree with the headless dialog base units.
TEST(GdiText, DialogFontBaseUnits) {
  EXPECT_EQ(brv::DialogBaseUnits(), CSize(6, 13));
  const char* letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  CSize ext = brv::TextExtent(nullptr, letters);
  EXPECT_NEAR((ext.cx / 26 + 1) / 2, 6, 1);
  EXPECT_EQ(ext.cy, 13);
}

// A centred 16-pixel bold "Arial" label (as the model page's slider scales)
// lies within one pixel of its centre, by TextOut with TA_CENTER and by
// DrawText.
TEST(GdiText, CentredBoldLabel) {
  for (const char* label : {"50", "-30%", "80"}) {
    Canvas c(200, 40);
    CFont font;
    font.CreateFont(16, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    c.dc.SelectObject(&font);
    c.dc.SetBkMode(TRANSPARENT);
    c.dc.SetTextAlign(TA_CENTER);
    c.dc.TextOut(100, 10, label, int(std::strlen(label)));
    CRect ink = InkBox(c.s, 0xFFFFFF);
    EXPECT_LE(std::abs((ink.left + ink.right) - 200), 2) << label << " " << ink.left << ".." << ink.right;
    Canvas d(200, 40);
    d.dc.SelectObject(&font);
    d.dc.SetBkMode(TRANSPARENT);
    CRect r(0, 0, 200, 40);
    d.dc.DrawText(label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    CRect ink2 = InkBox(d.s, 0xFFFFFF);
    EXPECT_LE(std::abs((ink2.left + ink2.right) - 200), 2) << label;
    EXPECT_LE(std::abs((ink2.top + ink2.bottom) - 40), 6) << label;
  }
}

TEST(GdiText, DrawTextLinesAndCalcRect) {
  Canvas c(200, 100);
  CRect r(0, 0, 60, 100);
  int h = c.dc.DrawText("one two three four", -1, &r, DT_WORDBREAK | DT_CALCRECT);
  TEXTMETRIC tm;
  c.dc.GetTextMetrics(&tm);
  EXPECT_GE(h, 2 * tm.tmHeight);
  EXPECT_EQ(r.Height(), h);
  EXPECT_LE(r.Width(), 60);
  CRect one(0, 0, 200, 100);
  EXPECT_EQ(c.dc.DrawText("&Open", -1, &one, DT_SINGLELINE | DT_CALCRECT), tm.tmHeight);
  EXPECT_EQ(one.Width(), c.dc.GetTextExtent("Open", 4).cx);
  // tabs: the second part starts at the tab stop
  CSize ext = c.dc.GetTabbedTextExtent("a\tb", 3, 1, std::array<int, 1>{50}.data());
  EXPECT_EQ(ext.cx, 50 + c.dc.GetTextExtent("b", 1).cx);
}

// DSS_MONO paints exactly the icon's shape (its AND mask) in the brush's
// colour.
TEST(GdiIcons, DrawStateMonoPaintsTheMask) {
  brv::IconImage img;
  img.width = img.height = 8;
  img.bitsPerPixel = 24;
  img.pixels.assign(64, 0x00FF00);
  img.mask.assign(64, 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if ((x + y) % 3 == 0 || x == 2) img.mask[size_t(y * 8 + x)] = 0;
  // where the mask is transparent an icon's colour is black
  for (size_t k = 0; k < 64; ++k)
    if (img.mask[k]) img.pixels[k] = 0;
  HICON icon = brv::CreateIconFromImage(img, false);
  ASSERT_NE(icon, nullptr);
  Canvas c(12, 12, 0xFFFFFF);
  CBrush grey(RGB(212, 208, 200));
  c.dc.DrawState(CPoint(2, 3), CSize(0, 0), icon, DST_ICON | DSS_MONO, &grey);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      bool inIcon = x >= 2 && x < 10 && y >= 3 && y < 11;
      bool shape = inIcon && img.mask[size_t((y - 3) * 8 + (x - 2))] == 0;
      EXPECT_EQ(c.At(x, y), shape ? 0xD4D0C8u : 0xFFFFFFu) << x << "," << y;
    }
  // drawn normally the shape shows the icon's colours, the rest stays
  Canvas n(12, 12, 0x123456);
  n.dc.DrawState(CPoint(0, 0), CSize(0, 0), icon, DST_ICON, static_cast<HBRUSH>(nullptr));
  EXPECT_EQ(n.At(2, 0), 0x00FF00u);
  EXPECT_EQ(n.At(1, 0), 0x123456u);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(n.dc.DrawIcon(0, 0, icon)) << "a destroyed icon is refused";
}

// Figures and pens far larger than the window cost only the visible rows.
TEST(GdiFigures, HugeFiguresAndPensAreClipped) {
  Canvas c(64, 48);
  CPen wide(PS_SOLID, 1000000000, RGB(255, 0, 0));
  c.dc.SelectObject(&wide);
  c.dc.Rectangle(-100, -100, 2000000000, 2000000000);  // the frame covers the window
  EXPECT_EQ(c.CountNot(0xFF0000), 0);
  Canvas e(64, 48);
  CBrush blue(RGB(0, 0, 255));
  e.dc.SelectObject(&blue);
  e.dc.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
  EXPECT_EQ(e.CountNot(0x0000FF), 0);
  e.dc.Polyline(std::array<POINT, 3>{{{INT32_MIN, 0}, {INT32_MAX, 47}, {0, INT32_MIN}}}.data(), 3);
  e.dc.Arc(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0, 1, 1);
}

// Styled pens and hatched brushes use the background colour in OPAQUE mode
// and leave the gaps alone in TRANSPARENT mode.
TEST(GdiFigures, DotsAndHatchesWithTheBackgroundMode) {
  for (int mode : {OPAQUE, TRANSPARENT}) {
    Canvas c(40, 20, 0x777777);
    CPen dots(PS_DOT, 0, RGB(255, 0, 0));
    c.dc.SelectObject(&dots);
    c.dc.SetBkMode(mode);
    c.dc.SetBkColor(RGB(0, 0, 255));
    c.dc.MoveTo(0, 1);
    c.dc.LineTo(12, 1);
    // three on, three off
    const uint32_t gap = mode == OPAQUE ? 0x0000FF : 0x777777;
    const uint32_t want[12] = {0xFF0000, 0xFF0000, 0xFF0000, gap, gap, gap, 0xFF0000, 0xFF0000, 0xFF0000, gap, gap, gap};
    for (int x = 0; x < 12; ++x) EXPECT_EQ(c.At(x, 1), want[x]) << x << " mode " << mode;
    CBrush hatch(HS_CROSS, RGB(0, 255, 0));
    CRect r(0, 4, 16, 12);
    c.dc.FillRect(&r, &hatch);
    EXPECT_EQ(c.At(4, 5), 0x00FF00u) << "vertical line of the cross";
    EXPECT_EQ(c.At(1, 4), 0x00FF00u) << "horizontal line of the cross";
    EXPECT_EQ(c.At(1, 5), gap);
  }
}

TEST(GdiText, TabbedTextOutDrawsAtTheStops) {
  Canvas c(200, 30);
  c.dc.SetBkMode(TRANSPARENT);
  const int stops[] = {80};
  CSize ext = c.dc.TabbedTextOut(10, 5, "ab\tcd", 5, 1, stops, 10);
  EXPECT_EQ(ext.cx, 80 + c.dc.GetTextExtent("cd", 2).cx);
  // the ink of "cd" begins at the stop, 80 pixels from the tab origin
  int firstAfterGap = -1;
  for (int x = 10 + c.dc.GetTextExtent("ab", 2).cx + 2; x < 200 && firstAfterGap < 0; ++x)
    for (int y = 0; y < 30; ++y)
      if (c.At(x, y) != 0xFFFFFF) {
        firstAfterGap = x;
        break;
      }
  EXPECT_GE(firstAfterGap, 90);
  EXPECT_LE(firstAfterGap, 92);
}

namespace {

// A packed DIB of 1 or 24 bits, rows bottom up, from 0x00RRGGBB pixels
// given top down; 1-bit pictures use the colour table {c0, c1} and take
// pixel == c1 as 1.
std::vector<uint8_t> PackedDib(int w, int h, int bits, const std::vector<uint32_t>& px, uint32_t c0 = 0,
                               uint32_t c1 = 0) {
  const int rowBytes = ((w * bits + 31) / 32) * 4;
  const int colours = bits == 1 ? 2 : 0;
  std::vector<uint8_t> out(40 + 4 * colours + size_t(rowBytes) * h, 0);
  BITMAPINFOHEADER hdr{};
  hdr.biSize = 40;
  hdr.biWidth = w;
  hdr.biHeight = h;
  hdr.biPlanes = 1;
  hdr.biBitCount = WORD(bits);
  std::memcpy(out.data(), &hdr, 40);
  uint8_t* table = out.data() + 40;
  for (int k = 0; k < colours; ++k) {
    uint32_t c = k ? c1 : c0;
    table[4 * k] = uint8_t(c), table[4 * k + 1] = uint8_t(c >> 8), table[4 * k + 2] = uint8_t(c >> 16);
  }
  uint8_t* rows = table + 4 * colours;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = rows + size_t(h - 1 - y) * rowBytes;
    for (int x = 0; x < w; ++x) {
      uint32_t c = px[size_t(y) * w + x];
      if (bits == 1) {
        if (c == c1) row[x / 8] |= uint8_t(0x80 >> (x % 8));
      } else {
        row[3 * x] = uint8_t(c), row[3 * x + 1] = uint8_t(c >> 8), row[3 * x + 2] = uint8_t(c >> 16);
      }
    }
  }
  return out;
}

}  // namespace

// The DIB's own colours tile the plane from the brush origin, a 1-bit DIB
// too (unlike a 1-bit pattern bitmap, it ignores text and background).
TEST(GdiDibPatternBrush, TilesTheDibInItsOwnColours) {
  const uint32_t red = 0xFF0000, blue = 0x0000FF;
  struct Case {
    const char* name;
    int w, h, bits;
    std::vector<uint32_t> px;
  };
  const Case cases[] = {
      {"24-bit 3x2", 3, 2, 24, {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x102030}},
      {"1-bit 9x2", 9, 2, 1, {red, blue, red, red, blue, blue, red, blue, red, blue, red, blue, blue, red, red, blue, blue, red}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> dib = PackedDib(c.w, c.h, c.bits, c.px, red, blue);
    CBrush brush;
    ASSERT_TRUE(brush.CreateDIBPatternBrush(dib.data(), DIB_RGB_COLORS)) << c.name;
    LOGBRUSH lb{};
    brush.GetLogBrush(&lb);
    EXPECT_EQ(lb.lbStyle, UINT(BS_DIBPATTERN)) << c.name;
    Canvas cv(20, 10);
    cv.dc.SetTextColor(RGB(0, 255, 0));
    cv.dc.SetBkColor(RGB(0, 0, 0));
    cv.dc.SetBrushOrg(1, 0);
    CRect all(0, 0, 20, 10);
    cv.dc.FillRect(&all, &brush);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x) {
        uint32_t want = c.px[size_t(y % c.h) * c.w + size_t(((x - 1) % c.w + c.w) % c.w)];
        ASSERT_EQ(cv.At(x, y), want) << c.name << " at " << x << "," << y;
      }
  }
}

TEST(GdiDibPatternBrush, RefusesWhatItCannotShow) {
  std::vector<uint8_t> good = PackedDib(2, 2, 24, {1, 2, 3, 4});
  std::vector<uint8_t> badHeader = good;
  badHeader[0] = 7;  // no such header size
  std::vector<uint8_t> badBits = good;
  badBits[14] = 3;  // 3 bits per pixel
  CBrush brush;
  EXPECT_FALSE(brush.CreateDIBPatternBrush(nullptr, DIB_RGB_COLORS));
  EXPECT_FALSE(brush.CreateDIBPatternBrush(good.data(), DIB_PAL_COLORS));
  EXPECT_FALSE(brush.CreateDIBPatternBrush(badHeader.data(), DIB_RGB_COLORS));
  EXPECT_FALSE(brush.CreateDIBPatternBrush(badBits.data(), DIB_RGB_COLORS));
  EXPECT_EQ(brush.GetSafeHandle(), nullptr);
  // Through a LOGBRUSH with the DIB's address.
  LOGBRUSH lb{BS_DIBPATTERNPT, DIB_RGB_COLORS, reinterpret_cast<uintptr_t>(good.data())};
  EXPECT_TRUE(brush.CreateBrushIndirect(&lb));
}

// The accumulated bounds are the bounding box of the pixels drawn while on
// (compared with the ink on a white canvas), in logical coordinates.
TEST(GdiBoundsRect, AccumulatesWhatIsDrawnWhileEnabled) {
  struct Case {
    const char* name;
    std::function<void(CDC&)> draw;
  };
  const Case cases[] = {
      {"line", [](CDC& dc) { dc.MoveTo(3, 4); dc.LineTo(17, 9); }},
      {"rectangle", [](CDC& dc) { dc.Rectangle(5, 6, 12, 20); }},
      {"ellipse and pixel", [](CDC& dc) { dc.Ellipse(2, 2, 9, 7); dc.SetPixel(25, 21, RGB(1, 2, 3)); }},
      {"clipped by the surface", [](CDC& dc) { dc.FillSolidRect(20, 15, 50, 50, RGB(9, 9, 9)); }},
  };
  for (const Case& c : cases) {
    for (int org : {0, 3}) {
      Canvas cv(30, 24);
      cv.dc.SetViewportOrg(org, org);
      CRect r(1, 1, 2, 2);
      EXPECT_EQ(cv.dc.GetBoundsRect(&r, 0), UINT(DCB_RESET | DCB_DISABLE)) << c.name;
      EXPECT_TRUE(r.IsRectEmpty()) << c.name;
      c.draw(cv.dc);  // not accumulated
      EXPECT_EQ(cv.dc.GetBoundsRect(&r, 0), UINT(DCB_RESET | DCB_DISABLE)) << c.name;
      cv.s.Fill(0xFFFFFF);
      EXPECT_EQ(cv.dc.SetBoundsRect(nullptr, DCB_ENABLE), UINT(DCB_RESET | DCB_DISABLE)) << c.name;
      c.draw(cv.dc);
      CRect ink = InkBox(cv.s, 0xFFFFFF);
      ink.OffsetRect(-org, -org);
      EXPECT_EQ(cv.dc.GetBoundsRect(&r, DCB_RESET), UINT(DCB_SET | DCB_ENABLE)) << c.name;
      EXPECT_EQ(r, ink) << c.name << " origin " << org;
      EXPECT_EQ(cv.dc.GetBoundsRect(&r, 0), UINT(DCB_RESET | DCB_ENABLE)) << c.name;
      EXPECT_TRUE(r.IsRectEmpty()) << c.name;
    }
  }
}

TEST(GdiBoundsRect, SetBoundsRectAddsResetsAndSwitches) {
  Canvas cv(30, 24);
  CRect add(4, 5, 8, 9), r;
  EXPECT_EQ(cv.dc.SetBoundsRect(&add, DCB_ACCUMULATE), UINT(DCB_RESET | DCB_DISABLE));
  EXPECT_EQ(cv.dc.GetBoundsRect(&r, 0), UINT(DCB_SET | DCB_DISABLE));
  EXPECT_EQ(r, add);
  cv.dc.SetBoundsRect(nullptr, DCB_ENABLE);
  cv.dc.SetPixel(20, 2, RGB(0, 0, 0));
  cv.dc.GetBoundsRect(&r, 0);
  EXPECT_EQ(r, CRect(4, 2, 21, 9));
  // DCB_SET empties first, then adds.
  CRect only(1, 1, 3, 3);
  EXPECT_EQ(cv.dc.SetBoundsRect(&only, DCB_SET | DCB_DISABLE), UINT(DCB_SET | DCB_ENABLE));
  cv.dc.SetPixel(25, 20, RGB(0, 0, 0));
  cv.dc.GetBoundsRect(&r, 0);
  EXPECT_EQ(r, only);
}
