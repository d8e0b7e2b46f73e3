#include "picture/bt709.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "picture/exchangefile.h"
#include "picture/winbmp.h"

TEST(Bt709, ClippingAndCurve) {
  EXPECT_EQ(Rdisplay_clipping(1.2), 255);
  EXPECT_EQ(Rdisplay_clipping(-0.1), 0);
  EXPECT_EQ(Rdisplay_clipping(0.5), 128);
  EXPECT_EQ(Rdisplay_clipping(0.0), 0);
  EXPECT_EQ(Rdisplay_clipping(1.0), 255);
  EXPECT_EQ(Rdisplay_clipping(std::nan("")), 0);
  double X, Y, Z;
  RGB709_XYZ(1, 1, 1, &X, &Y, &Z);
  EXPECT_NEAR(X, 95.0456, 1e-9);
  EXPECT_NEAR(Y, 100.0, 1e-9);
  EXPECT_NEAR(Z, 108.8754, 1e-9);
  EXPECT_DOUBLE_EQ(Rlinear_Rdisplay_01(0.01), 0.045);
  EXPECT_NEAR(Rlinear_Rdisplay_01(1.0), 1.0, 1e-12);
  EXPECT_DOUBLE_EQ(Rdisplay_01_Rlinear(0.045), 0.01);
  EXPECT_NEAR(Rdisplay_01_Rlinear(1.0), 1.0, 1e-12);
  unsigned char r, g, b;
  RGBlinear_RGBdisplay(0.0, 1.0, 0.18, &r, &g, &b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, Rdisplay_clipping(Rlinear_Rdisplay_01(0.18)));
}

namespace {
std::string TempName(const char* name) { return testing::TempDir() + "brivanta_exchange_" + name; }
void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
std::vector<uint8_t> Read(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}
}  // namespace

TEST(ExchangeFile, RoundTrip) {
  CWinBmp bmp;
  bmp.Create(3, 2, 32, false);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) bmp.SetPixel(x, y, CPixel32(uint8_t(x * 80), uint8_t(y * 100), uint8_t(x + y * 7), 255));
  const std::string path = TempName("a.fax");
  ASSERT_TRUE(WriteExchangeFile(path, bmp));
  std::vector<uint8_t> bytes = Read(path);
  ASSERT_EQ(bytes.size(), 8u + 3 * 2 * 4);
  EXPECT_EQ(bytes[0], 3);
  EXPECT_EQ(bytes[4], 2);
  // top row first, each pixel: a byte without meaning, red, green, blue
  EXPECT_EQ(bytes[8 + 4 * 1 + 1], 80);
  EXPECT_EQ(bytes[8 + 4 * 3 + 2], 100);
  CWinBmp back;
  ASSERT_TRUE(ReadExchangeFile(path, &back));
  ASSERT_EQ(back.GetWidth(), 3);
  ASSERT_EQ(back.GetHeight(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(back.GetPixel(x, y).GetR(), bmp.GetPixel(x, y).GetR());
      EXPECT_EQ(back.GetPixel(x, y).GetG(), bmp.GetPixel(x, y).GetG());
      EXPECT_EQ(back.GetPixel(x, y).GetB(), bmp.GetPixel(x, y).GetB());
    }
  std::remove(path.c_str());
}

// Sizes must be positive and match the file's length; otherwise the bitmap
// stays as it was.
TEST(ExchangeFile, BadHeadersLeaveTheBitmap) {
  auto file = [](int32_t w, int32_t h, size_t pixelBytes) {
    std::vector<uint8_t> b(8 + pixelBytes, 7);
    std::memcpy(b.data(), &w, 4);
    std::memcpy(b.data() + 4, &h, 4);
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"short header", {2, 0, 0, 0, 2}},
      {"width 0", file(0, 2, 0)},
      {"negative height", file(2, -2, 16)},
      {"too few pixels", file(2, 2, 15)},
      {"too many pixels", file(2, 2, 17)},
      {"huge size", file(0x40000000, 0x40000000, 16)},
  };
  for (const Case& c : cases) {
    const std::string path = TempName("bad.fax");
    Write(path, c.bytes);
    CWinBmp bmp;
    bmp.Create(5, 4, 32, false);
    bmp.SetPixel(1, 1, CPixel32(9, 8, 7, 255));
    EXPECT_FALSE(ReadExchangeFile(path, &bmp)) << c.name;
    EXPECT_EQ(bmp.GetWidth(), 5) << c.name;
    EXPECT_EQ(bmp.GetPixel(1, 1), CPixel32(9, 8, 7, 255)) << c.name;
    std::remove(path.c_str());
  }
  CWinBmp bmp;
  EXPECT_FALSE(ReadExchangeFile(TempName("missing.fax"), &bmp));
}
