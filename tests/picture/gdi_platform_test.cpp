#include "picture/gdi_bmp_platform.h"

#include <gtest/gtest.h>

#include "framework/gdi.h"
#include "picture/winbmp.h"

// The bitmap draws through the framework's DC: StretchDraw of 101 x 51 at
// 0.5 covers 50 x 25 pixels.
TEST(GdiBmpPlatform, StretchDrawCoversTheScaledSize) {
  CGdiBmpPlatform platform;
  IBmpPlatform* previous = GetBmpPlatform();
  SetBmpPlatform(&platform);
  CWinBmp bmp;
  bmp.Create(101, 51, 32, false);
  for (int y = 0; y < 51; ++y)
    for (int x = 0; x < 101; ++x) bmp.SetPixel(x, y, CPixel32(255, uint8_t(y), 0, 255));
  brv::Surface s(200, 100, 0);
  CDC dc;
  dc.AttachSurface(&s, CPoint(0, 0), CRect(0, 0, 200, 100));
  bmp.StretchDraw(&dc, 10, 20, 0.5, SRCCOPY);
  int covered = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      bool in = x >= 10 && x < 60 && y >= 20 && y < 45;
      EXPECT_EQ(s.Pixel(x, y) != 0, in) << x << "," << y;
      covered += s.Pixel(x, y) != 0;
    }
  EXPECT_EQ(covered, 50 * 25);
  // top row of the bitmap at the top
  EXPECT_EQ(s.Pixel(10, 20), 0xFF0000u);
  // a section: rows 10..19 of columns 5..14 at (100, 0)
  bmp.DrawSection(&dc, 100, 0, 5, 10, 15, 20);
  EXPECT_EQ(s.Pixel(100, 0), 0xFF0A00u);
  EXPECT_EQ(s.Pixel(109, 9), 0xFF1300u);
  EXPECT_EQ(s.Pixel(110, 0), 0u);
  SetBmpPlatform(previous);
}

// The built-in bitmaps are BMP files; CreateRes reads the DIB after the file
// header, with the pixels the framework's LoadBitmap gives.
TEST(GdiBmpPlatform, CreateResReadsTheBuiltInBitmaps) {
  CWinBmp bmp;
  ASSERT_TRUE(bmp.CreateRes(130));
  CBitmap loaded;
  ASSERT_TRUE(loaded.LoadBitmap(130u));
  const brv::Surface* s = brv::BitmapSurface(loaded);
  ASSERT_EQ(bmp.GetWidth(), s->Width());
  ASSERT_EQ(bmp.GetHeight(), s->Height());
  brv::Surface drawn(s->Width(), s->Height(), 0);
  CDC dc;
  dc.AttachSurface(&drawn);
  CGdiBmpPlatform platform;
  IBmpPlatform* previous = GetBmpPlatform();
  SetBmpPlatform(&platform);
  bmp.Draw(&dc, 0, 0, SRCCOPY);
  SetBmpPlatform(previous);
  for (int y = 0; y < s->Height(); ++y)
    for (int x = 0; x < s->Width(); ++x) EXPECT_EQ(drawn.Pixel(x, y), s->Pixel(x, y)) << x << "," << y;
  EXPECT_FALSE(bmp.CreateRes(31999));
}
