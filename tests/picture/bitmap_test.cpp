#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "fake_bmp_platform.h"
#include "picture/membmp.h"
#include "picture/picture_state.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace {

CPixel32 rgba(int r, int g, int b, int a = 255) {
  return CPixel32(uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a));
}

TEST(Pixel32, MemoryOrderIsBlueGreenRedAlpha) {
  CPixel32 p;
  p.Set(1, 2, 3, 4);
  uint32_t v;
  std::memcpy(&v, &p, 4);
  EXPECT_EQ(v, 0x04010203u);
}

TEST(WinBmp, LineBytes) {
  struct Case {
    int width, bpp, lineBytes;
  } cases[] = {{9, 1, 4}, {5, 8, 8}, {3, 32, 12}, {8, 1, 4}, {33, 1, 8}, {4, 8, 4}, {0, 32, 0}, {1, 1, 4}};
  for (const Case& c : cases) {
    CWinBmp bmp;
    bmp.Create(c.width, 2, uint16_t(c.bpp), false);
    EXPECT_EQ(bmp.GetLineBytes(), c.lineBytes) << c.width << " x " << c.bpp;
  }
}

TEST(WinBmp, DefaultIs16x16GreyEightBit) {
  CWinBmp bmp;
  EXPECT_EQ(bmp.GetWidth(), 16);
  EXPECT_EQ(bmp.GetHeight(), 16);
  EXPECT_EQ(bmp.GetBitsPerPixel(), 8);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(bmp.GetPalette()[i], rgba(i, i, i)) << i;
}

TEST(WinBmp, CreateZeroFillsAndSetsGreyRampAndHeader) {
  CWinBmp bmp;
  bmp.Create(3, 2, 1, false);
  EXPECT_EQ(bmp.GetPalette()[0], rgba(0, 0, 0));
  EXPECT_EQ(bmp.GetPalette()[1], rgba(255, 255, 255));
  bmp.Create(7, 5, 32, true);
  EXPECT_EQ(bmp.GetPalette(), nullptr);
  EXPECT_TRUE(bmp.HasAlpha());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(bmp.GetPixel(x, y), rgba(0, 0, 0, 0));
  const PLBitmapInfoHeader* h = bmp.GetBMI();
  EXPECT_EQ(h->biSize, 40u);
  EXPECT_EQ(h->biWidth, 7);
  EXPECT_EQ(h->biHeight, 5);
  EXPECT_EQ(h->biPlanes, 1);
  EXPECT_EQ(h->biBitCount, 32);
  EXPECT_EQ(h->biCompression, 0u);
  EXPECT_EQ(bmp.GetMemorySize(), 40 + 7 * 4 * 5 + sizeof(CWinBmp));
}

// Blocks come back from the allocator written; small ones from the heap,
// large ones (huge pages) from the kernel: every new bitmap is zero.
template <class Bmp>
void expectFreshBitmapsZero() {
  for (int side : {5, 64, 1600, 2100}) {
    SCOPED_TRACE(side);
    for (int round = 0; round < 2; ++round) {
      Bmp bmp;
      bmp.Create(side, side, 32, true);
      for (int y = 0; y < side; ++y) {
        const uint8_t* row = bmp.GetLine(y);
        ASSERT_TRUE(std::all_of(row, row + size_t(side) * 4, [](uint8_t b) { return b == 0; })) << "row " << y;
      }
      for (int y = 0; y < side; ++y) std::memset(bmp.GetLine(y), 0xA5, size_t(side) * 4);
    }
  }
}

TEST(WinBmp, EveryNewBitmapIsZeroWhateverItsSize) {
  expectFreshBitmapsZero<CWinBmp>();
  expectFreshBitmapsZero<CMemBmp>();
}

TEST(WinBmp, RowZeroIsTheTopRowStoredLast) {
  CWinBmp bmp;
  bmp.Create(2, 3, 32, false);
  bmp.SetPixel(0, 0, rgba(10, 20, 30, 40));
  const uint8_t* lastStoredRow = bmp.GetData() + 2 * bmp.GetLineBytes();
  EXPECT_EQ(lastStoredRow[0], 30);
  EXPECT_EQ(lastStoredRow[1], 20);
  EXPECT_EQ(lastStoredRow[2], 10);
  EXPECT_EQ(lastStoredRow[3], 40);
  EXPECT_EQ(bmp.GetLine(0), lastStoredRow);
}

TEST(WinBmp, OversizedOrNegativeCreateThrowsOutOfMemory) {
  for (auto [w, h] : {std::pair{-1, 4}, {4, -1}, {100000, 100000}, {0x7FFFFFFF, 2}}) {
    CWinBmp bmp;
    try {
      bmp.Create(w, h, 32, false);
      ADD_FAILURE() << w << " x " << h;
    } catch (const CTextException& e) {
      EXPECT_EQ(e.GetErrorCode(), 10);
      EXPECT_STREQ(e.GetErrorText(), "Out of memory creating bitmap.");
    }
  }
}

// An 8-bit 3 x 2 bitmap with indices 0..5 and a palette of distinct colours.
CWinBmp paletteBitmap() {
  CWinBmp bmp;
  bmp.Create(3, 2, 8, false);
  CPixel32 pal[256];
  for (int i = 0; i < 256; ++i) pal[i] = rgba(i, 255 - i, i / 2, 200 - i / 2);
  bmp.SetPalette(pal);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) bmp.GetLine(y)[x] = uint8_t(10 * (y * 3 + x));
  return bmp;
}

TEST(WinBmpCopy, EightToThirtyTwoTakesPaletteColoursWithAlpha) {
  CWinBmp src = paletteBitmap();
  CWinBmp dst;
  dst.CreateCopy(src, 32);
  ASSERT_EQ(dst.GetBitsPerPixel(), 32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      int i = 10 * (y * 3 + x);
      EXPECT_EQ(dst.GetPixel(x, y), rgba(i, 255 - i, i / 2, 200 - i / 2));
    }
}

TEST(WinBmpCopy, AssignmentKeepsDepthAndPalette) {
  CWinBmp src = paletteBitmap();
  CWinBmp dst;
  dst.Create(1, 1, 32, true);
  dst = src;
  ASSERT_EQ(dst.GetBitsPerPixel(), 8);
  EXPECT_FALSE(dst.HasAlpha());
  EXPECT_EQ(0, std::memcmp(dst.GetPalette(), src.GetPalette(), 1024));
  for (int y = 0; y < 2; ++y) EXPECT_EQ(0, std::memcmp(dst.GetLine(y), src.GetLine(y), 3));
  dst = dst;  // onto itself: nothing happens
  EXPECT_EQ(dst.GetLine(1)[2], 50);
}

TEST(WinBmpCopy, OneBitToThirtyTwoAndEight) {
  CWinBmp src;
  src.Create(10, 1, 1, false);
  src.GetLine(0)[0] = 0xA0;  // pixels 0 and 2 set
  src.GetLine(0)[1] = 0x40;  // pixel 9 set
  src.SetPaletteEntry(0, rgba(1, 2, 3));
  src.SetPaletteEntry(1, rgba(200, 100, 50, 7));
  CWinBmp deep;
  deep.CreateCopy(src, 32);
  const bool set[10] = {1, 0, 1, 0, 0, 0, 0, 0, 0, 1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(deep.GetPixel(x, 0), set[x] ? rgba(200, 100, 50, 7) : rgba(1, 2, 3)) << x;

  CWinBmp eight;
  eight.CreateCopy(src, 8);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(eight.GetLine(0)[x], set[x] ? 1 : 0);
  EXPECT_EQ(eight.GetPalette()[1], rgba(200, 100, 50, 255));
}

TEST(WinBmpCopy, ToOneBitIsBlackBelow128) {
  struct Case {
    CPixel32 colour;
    int bit;
  } cases[] = {{rgba(127, 127, 127), 1}, {rgba(128, 0, 0), 0}, {rgba(0, 0, 0), 1},
               {rgba(0, 128, 0), 0},     {rgba(0, 0, 128), 0},   {rgba(255, 255, 255), 0}};
  CWinBmp src;
  src.Create(6, 1, 32, true);
  for (int x = 0; x < 6; ++x) src.SetPixel(x, 0, cases[x].colour);
  CWinBmp mono;
  mono.CreateCopy(src, 1);
  EXPECT_EQ(mono.GetPalette()[0], rgba(255, 255, 255));
  EXPECT_EQ(mono.GetPalette()[1], rgba(0, 0, 0));
  EXPECT_FALSE(mono.HasAlpha());
  for (int x = 0; x < 6; ++x) EXPECT_EQ((mono.GetLine(0)[0] >> (7 - x)) & 1, cases[x].bit) << x;
  EXPECT_EQ(mono.GetLine(0)[0] & 0x03, 0);

  // From 8 bits through the palette.
  CWinBmp grey;
  grey.Create(2, 1, 8, false);
  grey.GetLine(0)[0] = 127;
  grey.GetLine(0)[1] = 128;
  mono.CreateCopy(grey, 1);
  EXPECT_EQ(mono.GetLine(0)[0] >> 6, 2);
}

TEST(WinBmpCopy, ThirtyTwoToEightUsesFixedTableByDefault) {
  CWinBmp src;
  src.Create(2, 1, 32, false);
  src.SetPixel(0, 0, rgba(255, 0, 0));
  src.SetPixel(1, 0, rgba(0x51, 0x85, 0xB1));
  CWinBmp dst;
  dst.CreateCopy(src, 8);
  ASSERT_EQ(dst.GetBitsPerPixel(), 8);
  EXPECT_EQ(dst.GetPalette()[dst.GetLine(0)[0]], rgba(255, 0, 0));
  EXPECT_EQ(dst.GetPalette()[dst.GetLine(0)[1]], rgba(0x51, 0x85, 0xB1));
}

TEST(WinBmpCopy, ConversionOntoItself) {
  CWinBmp bmp = paletteBitmap();
  bmp.CreateCopy(bmp, 32);
  EXPECT_EQ(bmp.GetPixel(2, 1), rgba(50, 205, 25, 175));
}

TEST(WinBmpCopy, BetweenBitmapKindsCopiesOnlyPixels) {
  CMemBmp mem;
  mem.Create(3, 2, 8, false);  // rows of 3 bytes, CWinBmp pads to 4
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) mem.GetLine(y)[x] = uint8_t(y * 3 + x + 1);
  CWinBmp win;
  win = mem;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(win.GetLine(y)[x], y * 3 + x + 1);
  CMemBmp back;
  back = win;
  EXPECT_EQ(back.GetLine(1)[2], 6);
}

// Packed DIB: header, palette and rows.
std::vector<uint8_t> packedDib(int w, int h, int bpp, const std::vector<uint8_t>& rest) {
  std::vector<uint8_t> dib(40, 0);
  PLBitmapInfoHeader hdr{40, w, h, 1, uint16_t(bpp), 0, 0, 0, 0, 0, 0};
  std::memcpy(dib.data(), &hdr, 40);
  dib.insert(dib.end(), rest.begin(), rest.end());
  return dib;
}

TEST(WinBmpDib, CreateFromDIBCopiesPaletteAndRows) {
  std::vector<uint8_t> rest(8, 0);
  rest[0] = 9; rest[1] = 8; rest[2] = 7;      // entry 0
  rest[4] = 1; rest[5] = 2; rest[6] = 3;      // entry 1
  rest.insert(rest.end(), {0x80, 0, 0, 0});   // bottom row: pixel 0 set
  rest.insert(rest.end(), {0x40, 0, 0, 0});   // top row: pixel 1 set
  CWinBmp bmp;
  bmp.CreateFromDIB(packedDib(2, 2, 1, rest).data(), 48 + 8);
  EXPECT_EQ(bmp.GetWidth(), 2);
  EXPECT_EQ(bmp.GetBitsPerPixel(), 1);
  EXPECT_EQ(bmp.GetPalette()[0], rgba(7, 8, 9, 0));
  EXPECT_EQ(bmp.GetPalette()[1], rgba(3, 2, 1, 0));
  EXPECT_EQ(bmp.GetLine(0)[0], 0x40);
  EXPECT_EQ(bmp.GetLine(1)[0], 0x80);
  EXPECT_EQ(bmp.ToClipboard(), packedDib(2, 2, 1, rest));
}

TEST(WinBmpDib, ShortOrBadDIBIsRefused) {
  std::vector<uint8_t> ok = packedDib(2, 2, 32, std::vector<uint8_t>(16, 0));
  CWinBmp bmp;
  EXPECT_THROW(bmp.CreateFromDIB(ok.data(), ok.size() - 1), CTextException);
  std::vector<uint8_t> topDown = packedDib(2, -2, 32, std::vector<uint8_t>(16, 0));
  EXPECT_THROW(bmp.CreateFromDIB(topDown.data(), topDown.size()), CTextException);
  EXPECT_THROW(bmp.CreateFromDIB(ok.data(), 12), CTextException);
  bmp.CreateFromDIB(ok.data(), ok.size());
  EXPECT_EQ(bmp.GetHeight(), 2);
}

TEST(WinBmpDib, MissingResourceLeavesTheBitmap) {
  CWinBmp bmp;
  bmp.Create(3, 3, 32, false);
  EXPECT_FALSE(bmp.CreateRes(31999));
  EXPECT_EQ(bmp.GetWidth(), 3);
}

class WinBmpPlatform : public ::testing::Test {
 protected:
  void TearDown() override { ResetPictureState(); }
  FakeBmpPlatform platform;
};

TEST_F(WinBmpPlatform, StretchDrawTruncatesTheScaledSize) {
  CWinBmp bmp;
  bmp.Create(101, 51, 32, false);
  CDC* dc = reinterpret_cast<CDC*>(0x1234);
  bmp.StretchDraw(dc, 5, 6, 0.5, 0xCC0020);
  ASSERT_EQ(platform.draws.size(), 1u);
  const auto& d = platform.draws[0];
  EXPECT_EQ(d.dc, dc);
  EXPECT_EQ(d.xDest, 5);
  EXPECT_EQ(d.yDest, 6);
  EXPECT_EQ(d.wDest, 50);
  EXPECT_EQ(d.hDest, 25);
  EXPECT_EQ(d.wSrc, 101);
  EXPECT_EQ(d.hSrc, 51);
  EXPECT_EQ(d.bits, bmp.GetData());
  EXPECT_EQ(d.rop, 0xCC0020u);
}

TEST_F(WinBmpPlatform, DrawSectionTakesTheBottomUpSourceRow) {
  CWinBmp bmp;
  bmp.Create(40, 30, 32, false);
  bmp.DrawSection(nullptr, 1, 2, 10, 5, 20, 25);
  ASSERT_EQ(platform.draws.size(), 1u);
  EXPECT_EQ(platform.draws[0].xSrc, 10);
  EXPECT_EQ(platform.draws[0].ySrc, 30 - 25);
  EXPECT_EQ(platform.draws[0].wDest, 10);
  EXPECT_EQ(platform.draws[0].hDest, 20);
}

TEST_F(WinBmpPlatform, FromClipboardDibTakesPaletteWithAlphaZero) {
  platform.dib = packedDib(1, 1, 8, std::vector<uint8_t>(1024 + 4, 0));
  platform.dib[40 + 1024] = 1;
  platform.palette = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  platform.hasPalette = true;
  CWinBmp bmp;
  ASSERT_TRUE(bmp.FromClipboard(PL_CF_DIB));
  EXPECT_EQ(bmp.GetBitsPerPixel(), 8);
  EXPECT_EQ(bmp.GetPalette()[1], rgba(40, 50, 60, 0));
  EXPECT_EQ(bmp.GetLine(0)[0], 1);
  EXPECT_EQ(platform.opened, 1);
  EXPECT_EQ(platform.closed, 1);
}

TEST_F(WinBmpPlatform, FromClipboardBitmapWidensToThirtyTwo) {
  platform.deviceBitmap = PLBitmapInfoHeader{40, 3, 2, 1, 24, 0, 0, 0, 0, 0, 0};
  platform.deviceColour = rgba(1, 2, 3, 4);
  CWinBmp bmp;
  bmp.Create(16, 16, 32, true);
  ASSERT_TRUE(bmp.FromClipboard(PL_CF_BITMAP));
  EXPECT_EQ(platform.askedDepth, 32);
  EXPECT_EQ(bmp.GetWidth(), 3);
  EXPECT_EQ(bmp.GetHeight(), 2);
  EXPECT_EQ(bmp.GetPixel(2, 1), rgba(1, 2, 3, 4));
}

TEST_F(WinBmpPlatform, FromClipboardFailsAndLeavesTheBitmap) {
  CWinBmp bmp;
  bmp.Create(4, 4, 32, true);
  EXPECT_FALSE(bmp.FromClipboard(PL_CF_BITMAP));  // nothing there
  platform.dib = packedDib(1, 1, 32, std::vector<uint8_t>(4, 0));
  platform.canOpen = false;
  EXPECT_FALSE(bmp.FromClipboard(PL_CF_DIB));
  EXPECT_FALSE(bmp.FromClipboard(PL_CF_PALETTE));
  EXPECT_EQ(bmp.GetWidth(), 4);
  EXPECT_EQ(platform.closed, 0);
}

TEST(WinBmpNoPlatform, DrawingIsHarmlessAndClipboardEmpty) {
  CWinBmp bmp;
  bmp.Draw(nullptr, 0, 0, 0);
  EXPECT_FALSE(bmp.FromClipboard(PL_CF_DIB));
}

}  // namespace
