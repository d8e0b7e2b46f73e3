#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

// Cases name only the fields that matter.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "bmp_test_support.h"
#include "picture/bmpdecoder.h"
#include "picture/picencoder.h"

namespace {

using namespace bmptest;

// Palette entry i: (10 i, 20 i, 30 i) modulo 256.
std::vector<uint32_t> rampPalette(int n) {
  std::vector<uint32_t> pal;
  for (int i = 0; i < n; ++i) pal.push_back(uint32_t((10 * i) % 256) << 16 | uint32_t((20 * i) % 256) << 8 | uint32_t((30 * i) % 256));
  return pal;
}

CPixel32 ramp(int i) { return rgb(rampPalette(256)[size_t(i)]); }

// Top-down index rows to check a decoded picture against.
void expectIndices(const CWinBmp& bmp, const std::vector<std::vector<int>>& rows, bool deep = true) {
  ASSERT_EQ(bmp.GetHeight(), int(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y) {
    ASSERT_EQ(bmp.GetWidth(), int(rows[y].size()));
    for (size_t x = 0; x < rows[y].size(); ++x) {
      int want = rows[y][x];
      if (deep)
        EXPECT_EQ(bmp.GetPixel(int(x), int(y)), want < 0 ? CPixel32(0, 0, 0, 0) : ramp(want)) << x << "," << y;
      else
        EXPECT_EQ(bmp.GetLine(int(y))[x], want < 0 ? 0 : want) << x << "," << y;
    }
  }
}

TEST(BmpEncoder, GoldenBytesOfA3x2Bitmap) {
  CWinBmp bmp;
  bmp.Create(3, 2, 32, true);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) bmp.SetPixel(x, y, CPixel32(uint8_t(x + 1), uint8_t(0x10 * (y + 1)), 0xA0, 0x55));
  TempDir dir;
  std::string path = dir.file("golden.bmp");
  CBmpEncoder().MakeFileFromBmp(path.c_str(), &bmp);
  const std::vector<uint8_t> want = {
      'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
      40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // info header
      0xA0, 0x20, 1, 0xA0, 0x20, 2, 0xA0, 0x20, 3, 0x20, 0, 0,     // bottom row first
      0xA0, 0x10, 1, 0xA0, 0x10, 2, 0xA0, 0x10, 3, 0x20, 0, 0,
  };
  EXPECT_EQ(readFile(path), want);
}

TEST(BmpEncoder, EightBitsWriteTheWholePalette) {
  CWinBmp bmp;
  bmp.Create(5, 3, 8, false);
  for (int i = 0; i < 256; ++i) bmp.SetPaletteEntry(i, ramp(i));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) bmp.GetLine(y)[x] = uint8_t(y * 5 + x);
  TempDir dir;
  std::string path = dir.file("eight.bmp");
  CBmpEncoder().MakeFileFromBmp(path.c_str(), &bmp);
  std::vector<uint8_t> file = readFile(path);
  ASSERT_EQ(file.size(), 1078u + 8 * 3);
  EXPECT_EQ(file[10] | file[11] << 8, 1078);
  EXPECT_EQ(file[28], 8);
  EXPECT_EQ(file[54 + 4 * 7 + 2], 70);  // red of entry 7

  CWinBmp back;
  decode(file, &back, 0);
  ASSERT_EQ(back.GetBitsPerPixel(), 8);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(back.GetLine(y)[x], y * 5 + x);
  EXPECT_EQ(back.GetPalette()[9], ramp(9));
  decode(file, &back, 32);
  EXPECT_EQ(back.GetPixel(4, 2), ramp(14));
}

TEST(BmpEncoder, RoundTripsOfEveryDepth) {
  TempDir dir;
  // 32 bits go out as 24: colours survive, alpha becomes opaque.
  CWinBmp deep;
  deep.Create(7, 5, 32, true);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) deep.SetPixel(x, y, CPixel32(uint8_t(x * 30), uint8_t(y * 50), uint8_t(x * y), 9));
  CBmpEncoder().MakeFileFromBmp(dir.file("deep.bmp").c_str(), &deep);
  CWinBmp back;
  CAnyPicDecoder().MakeBmpFromFile(dir.file("deep.bmp").c_str(), &back, 32);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      CPixel32 p = deep.GetPixel(x, y);
      p.SetA(255);
      EXPECT_EQ(back.GetPixel(x, y), p);
    }
  EXPECT_EQ(std::filesystem::file_size(dir.file("deep.bmp")), 54u + 24 * 5);

  // 1 bit: the bits come back at 8 bits, and at 32 through the palette.
  CWinBmp mono;
  mono.Create(11, 3, 1, false);
  mono.SetPaletteEntry(0, CPixel32(255, 0, 0, 255));
  mono.SetPaletteEntry(1, CPixel32(0, 0, 255, 255));
  mono.GetLine(0)[0] = 0x81;
  mono.GetLine(0)[1] = 0x20;  // pixel 10
  mono.GetLine(2)[0] = 0x40;
  CBmpEncoder().MakeFileFromBmp(dir.file("mono.bmp").c_str(), &mono);
  CAnyPicDecoder().MakeBmpFromFile(dir.file("mono.bmp").c_str(), &back, 0);
  ASSERT_EQ(back.GetBitsPerPixel(), 8);
  std::vector<int> top;
  for (int x = 0; x < 11; ++x) top.push_back(back.GetLine(0)[x]);
  EXPECT_EQ(top, (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1}));
  EXPECT_EQ(back.GetPalette()[1], CPixel32(0, 0, 255, 255));
  CAnyPicDecoder().MakeBmpFromFile(dir.file("mono.bmp").c_str(), &back, 32);
  EXPECT_EQ(back.GetPixel(7, 0), CPixel32(0, 0, 255, 255));
  EXPECT_EQ(back.GetPixel(1, 0), CPixel32(255, 0, 0, 255));
  EXPECT_EQ(back.GetPixel(1, 2), CPixel32(0, 0, 255, 255));

  // A 1-bit bitmap as converted from 32 bits (white at 0, black at 1) reads
  // back as it looked, not inverted.
  CWinBmp photo;
  photo.Create(3, 1, 32, false);
  photo.SetPixel(0, 0, CPixel32(250, 250, 250, 255));
  photo.SetPixel(1, 0, CPixel32(10, 10, 10, 255));
  photo.SetPixel(2, 0, CPixel32(240, 240, 240, 255));
  mono.CreateCopy(photo, 1);
  CBmpEncoder().MakeFileFromBmp(dir.file("converted.bmp").c_str(), &mono);
  CAnyPicDecoder().MakeBmpFromFile(dir.file("converted.bmp").c_str(), &back, 32);
  EXPECT_EQ(back.GetPixel(0, 0), CPixel32(255, 255, 255, 255));
  EXPECT_EQ(back.GetPixel(1, 0), CPixel32(0, 0, 0, 255));
  EXPECT_EQ(back.GetPixel(2, 0), CPixel32(255, 255, 255, 255));
}

TEST(BmpEncoder, FailuresRaiseAndLeaveNoFile) {
  CWinBmp bmp;
  bmp.Create(2, 2, 32, false);
  Failure f = failureOf([&] { CBmpEncoder().MakeFileFromBmp("/nonexistent-folder/x.bmp", &bmp); });
  EXPECT_EQ(f.code, -1);
  EXPECT_EQ(f.text, "Decoder error: Opening /nonexistent-folder/x.bmp failed\n");

  // A full disk: the file may not grow past 100 bytes.
  TempDir dir;
  std::string path = dir.file("full.bmp");
  bmp.Create(40, 40, 32, false);
  struct rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  struct rlimit small = old;
  small.rlim_cur = 100;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  f = failureOf([&] { CBmpEncoder().MakeFileFromBmp(path.c_str(), &bmp); });
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(f.code, -1);
  EXPECT_EQ(f.text, "Writing " + path + " failed");
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(BmpDecoder, EveryPlainDepth) {
  struct Case {
    const char* name;
    BmpLayout layout;
    std::vector<std::vector<CPixel32>> want;  // top row first
  };
  std::vector<Case> cases = {
      {"1 bit through its palette",
       {.width = 3, .height = 2, .bitCount = 1, .palette = {0xFF0000, 0x00FF00},
        .pixels = {0xA0, 0, 0, 0, 0x40, 0, 0, 0}},
       {{rgb(0xFF0000), rgb(0x00FF00), rgb(0xFF0000)}, {rgb(0x00FF00), rgb(0xFF0000), rgb(0x00FF00)}}},
      {"1 bit, white at 0",
       {.width = 2, .height = 1, .bitCount = 1, .palette = {0xFFFFFF, 0}, .pixels = {0x40, 0, 0, 0}},
       {{rgb(0xFFFFFF), rgb(0)}}},
      {"1 bit, blank palette is black and white",
       {.width = 2, .height = 1, .bitCount = 1, .palette = {0, 0}, .pixels = {0x40, 0, 0, 0}},
       {{rgb(0), rgb(0xFFFFFF)}}},
      {"1 bit, one palette entry is black and white",
       {.width = 2, .height = 1, .bitCount = 1, .clrUsed = 1, .palette = {0x123456}, .pixels = {0x40, 0, 0, 0}},
       {{rgb(0), rgb(0xFFFFFF)}}},
      {"4 bit, odd width",
       {.width = 3, .height = 1, .bitCount = 4, .palette = rampPalette(16), .pixels = {0x1F, 0x70, 0, 0}},
       {{ramp(1), ramp(15), ramp(7)}}},
      {"8 bit, clrUsed 3",
       {.width = 2, .height = 2, .bitCount = 8, .clrUsed = 3, .palette = rampPalette(3),
        .pixels = {2, 1, 0, 0, 0, 2, 0, 0}},
       {{ramp(0), ramp(2)}, {ramp(2), ramp(1)}}},
      {"16 bit plain is 5-5-5",
       {.width = 3, .height = 1, .bitCount = 16, .pixels = {0xFF, 0x7F, 0x1F, 0x00, 0x00, 0x7C, 0, 0}},
       {{rgb(0xF8F8F8), rgb(0x0000F8), rgb(0xF80000)}}},
      {"16 bit fields 5-5-5",
       {.width = 1, .height = 1, .bitCount = 16, .compression = 3,
        .afterHeader = {0, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0}, .pixels = {0xE0, 0x03, 0, 0}},
       {{rgb(0x00F800)}}},
      {"16 bit fields 5-6-5: all six green bits",
       {.width = 3, .height = 1, .bitCount = 16, .compression = 3,
        .afterHeader = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, .pixels = {0xE0, 0x07, 0x00, 0xF8, 0x20, 0, 0, 0}},
       {{rgb(0x00FC00), rgb(0xF80000), rgb(0x000400)}}},
      {"16 bit fields in a V5 header",
       {.width = 1, .height = 1, .bitCount = 16, .compression = 3, .infoSize = 124,
        .headerTail = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, .pixels = {0xFF, 0xFF, 0, 0}},
       {{rgb(0xF8FCF8)}}},
      // 0x1234: alpha 1, red 2, green 3, blue 4
      {"16 bit fields 4-4-4-4 with alpha in a V5 header",
       {.width = 2, .height = 1, .bitCount = 16, .compression = 3, .infoSize = 124,
        .headerTail = {0, 0x0F, 0, 0, 0xF0, 0, 0, 0, 0x0F, 0, 0, 0, 0, 0xF0, 0, 0}, .pixels = {0x34, 0x12, 0xFF, 0xFF}},
       {{rgb(0x203040, 0x10), rgb(0xF0F0F0, 0xF0)}}},
      {"16 bit alpha fields 1-5-5-5 after a 40-byte header",
       {.width = 2, .height = 1, .bitCount = 16, .compression = 6,
        .afterHeader = {0, 0x7C, 0, 0, 0xE0, 0x03, 0, 0, 0x1F, 0, 0, 0, 0, 0x80, 0, 0}, .pixels = {0x1F, 0x80, 0x00, 0x7C}},
       {{rgb(0x0000F8, 0x80), rgb(0xF80000, 0)}}},
      {"16 bit fields without masks are 5-5-5",
       {.width = 1, .height = 1, .bitCount = 16, .compression = 3,
        .afterHeader = std::vector<uint8_t>(12, 0), .pixels = {0xE0, 0x03, 0, 0}},
       {{rgb(0x00F800)}}},
      {"32 bit fields in another order",
       {.width = 1, .height = 1, .bitCount = 32, .compression = 3,
        .afterHeader = {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0}, .pixels = {1, 2, 3, 4}},
       {{rgb(0x010203)}}},
      {"32 bit fields 10-10-10-2",
       {.width = 1, .height = 1, .bitCount = 32, .compression = 3, .infoSize = 124,
        .headerTail = {0, 0, 0xF0, 0x3F, 0, 0xFC, 0x0F, 0, 0xFF, 0x03, 0, 0, 0, 0, 0, 0xC0},
        .pixels = {0xFF, 0x03, 0xF0, 0xBF}},  // red 0x3FF, green 0, blue 0x3FF, alpha 2 of 3
       {{rgb(0xFF00FF, 0x80)}}},
      {"24 bit with padding",
       {.width = 3, .height = 1, .bitCount = 24, .pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0xEE, 0xEE, 0xEE}},
       {{rgb(0x030201), rgb(0x060504), rgb(0x090807)}}},
      {"32 bit keeps alpha",
       {.width = 2, .height = 1, .bitCount = 32, .pixels = {1, 2, 3, 4, 5, 6, 7, 8}},
       {{rgb(0x030201, 4), rgb(0x070605, 8)}}},
      {"8 bit V4 header: palette after 108 bytes",
       {.width = 2, .height = 1, .bitCount = 8, .infoSize = 108, .palette = rampPalette(256), .pixels = {5, 6, 0, 0}},
       {{ramp(5), ramp(6)}}},
      {"4 bit V5 header",
       {.width = 2, .height = 1, .bitCount = 4, .infoSize = 124, .clrUsed = 16, .palette = rampPalette(16),
        .pixels = {0x9A, 0, 0, 0}},
       {{ramp(9), ramp(10)}}},
      {"rows further on than the palette",
       {.width = 1, .height = 1, .bitCount = 24, .pixels = {0xFF, 0xFF, 1, 2, 3, 0, 0}, .offBitsDelta = 2},
       {{rgb(0x030201)}}},
  };
  // The last case's rows start 2 bytes further on.
  cases.back().layout.pixels = {0xFF, 0xFF, 1, 2, 3, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CWinBmp bmp;
    decode(makeBmp(c.layout), &bmp, 32);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
    ASSERT_EQ(bmp.GetHeight(), int(c.want.size()));
    for (size_t y = 0; y < c.want.size(); ++y) {
      ASSERT_EQ(bmp.GetWidth(), int(c.want[y].size()));
      for (size_t x = 0; x < c.want[y].size(); ++x) EXPECT_EQ(bmp.GetPixel(int(x), int(y)), c.want[y][x]) << x << "," << y;
    }
  }
}

TEST(BmpDecoder, NaturalDepth) {
  CWinBmp bmp;
  BmpLayout pal{.width = 1, .height = 1, .bitCount = 4, .palette = rampPalette(16), .pixels = {0x30, 0, 0, 0}};
  for (int asked : {0, 8}) {
    std::vector<uint8_t> file = makeBmp(pal);
    decode(file, &bmp, asked);
    EXPECT_EQ(bmp.GetBitsPerPixel(), 8);
    EXPECT_EQ(bmp.GetLine(0)[0], 3);
    EXPECT_EQ(bmp.GetPalette()[3], ramp(3));
  }
  // True colour asked for at 8 bits still gives 32.
  decode(makeBmp({.width = 1, .height = 1, .bitCount = 24, .pixels = {1, 2, 3, 0}}), &bmp, 8);
  EXPECT_EQ(bmp.GetBitsPerPixel(), 32);
}

TEST(BmpDecoder, RLE8WithEscapes) {
  // Width 6, height 3: bottom row a run and an odd absolute run with its
  // padding byte, middle row one run, then end of picture: the top row stays
  // as created.
  BmpLayout layout{.width = 6, .height = 3, .bitCount = 8, .compression = 1, .palette = rampPalette(256),
               .pixels = {3, 5, 0, 3, 1, 2, 3, 0, 0, 0,  //
                          6, 7, 0, 0,                    //
                          0, 1}};
  CWinBmp bmp;
  decode(makeBmp(layout), &bmp, 32);
  expectIndices(bmp, {{-1, -1, -1, -1, -1, -1}, {7, 7, 7, 7, 7, 7}, {5, 5, 5, 1, 2, 3}});
  decode(makeBmp(layout), &bmp, 0);
  expectIndices(bmp, {{-1, -1, -1, -1, -1, -1}, {7, 7, 7, 7, 7, 7}, {5, 5, 5, 1, 2, 3}}, false);
}

TEST(BmpDecoder, RLE4WithEscapes) {
  // Width 8: absolute run of 5 nibbles in 3 bytes plus padding, a run; a
  // full-row run; a short run and end of picture after that row.
  BmpLayout layout{.width = 8, .height = 3, .bitCount = 4, .compression = 2, .palette = rampPalette(16),
               .pixels = {0, 5, 0x12, 0x34, 0x50, 0, 3, 0x9A, 0, 0,  //
                          8, 0x67, 0, 0,                              //
                          4, 0xF1, 0, 1}};
  CWinBmp bmp;
  decode(makeBmp(layout), &bmp, 32);
  expectIndices(bmp, {{15, 1, 15, 1, 0, 0, 0, 0}, {6, 7, 6, 7, 6, 7, 6, 7}, {1, 2, 3, 4, 5, 9, 10, 9}});
}

TEST(BmpDecoder, RLERunsIntoThePaddingAreDropped) {
  // Width 3: the stored row is 4 bytes (8 nibbles); encoders may fill it.
  CWinBmp bmp;
  decode(makeBmp({.width = 3, .height = 2, .bitCount = 8, .compression = 1, .palette = rampPalette(256),
                  .pixels = {4, 9, 0, 0, 0, 4, 1, 2, 3, 4, 0, 0}}),
         &bmp, 32);
  expectIndices(bmp, {{1, 2, 3}, {9, 9, 9}});
  decode(makeBmp({.width = 3, .height = 1, .bitCount = 4, .compression = 2, .palette = rampPalette(16),
                  .pixels = {8, 0x5A, 0, 0}}),
         &bmp, 32);
  expectIndices(bmp, {{5, 10, 5}});
}

TEST(BmpDecoder, TopDownFilesStoreTheTopRowFirst) {
  struct Case {
    const char* name;
    BmpLayout layout;
    std::vector<std::vector<int>> want;  // top row first
  } cases[] = {
      {"8 bit", {.width = 2, .height = -3, .bitCount = 8, .palette = rampPalette(256),
                 .pixels = {1, 2, 0, 0, 3, 4, 0, 0, 5, 6, 0, 0}},
       {{1, 2}, {3, 4}, {5, 6}}},
      {"1 bit", {.width = 3, .height = -2, .bitCount = 1, .palette = rampPalette(2), .pixels = {0xA0, 0, 0, 0, 0x40, 0, 0, 0}},
       {{1, 0, 1}, {0, 1, 0}}},
      {"RLE8 ending early leaves the bottom rows",
       {.width = 2, .height = -3, .bitCount = 8, .compression = 1, .palette = rampPalette(256),
        .pixels = {2, 7, 0, 0, 2, 9, 0, 1}},
       {{7, 7}, {9, 9}, {-1, -1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CWinBmp bmp;
    decode(makeBmp(c.layout), &bmp, 32);
    expectIndices(bmp, c.want);
  }
  // True colour, and bit fields.
  CWinBmp bmp;
  decode(makeBmp({.width = 1, .height = -2, .bitCount = 24, .pixels = {1, 2, 3, 0, 4, 5, 6, 0}}), &bmp, 32);
  EXPECT_EQ(bmp.GetPixel(0, 0), rgb(0x030201));
  EXPECT_EQ(bmp.GetPixel(0, 1), rgb(0x060504));
  decode(makeBmp({.width = 1, .height = -2, .bitCount = 16, .compression = 3,
                  .afterHeader = {0, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}, .pixels = {0x1F, 0, 0, 0, 0, 0xF8, 0, 0}}),
         &bmp, 32);
  EXPECT_EQ(bmp.GetPixel(0, 0), rgb(0x0000F8));
  EXPECT_EQ(bmp.GetPixel(0, 1), rgb(0xF80000));
}

TEST(BmpDecoder, Refusals) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    int code;
    std::string text;
  };
  auto bmp = [](BmpLayout s) { return makeBmp(s); };
  std::vector<uint8_t> notBmp = bmp({});
  notBmp[1] = 'A';
  const std::string eof = "End of file reached while decoding.\n";
  std::vector<uint8_t> shortHeader = bmp({});
  shortHeader.resize(40);
  std::vector<uint8_t> truncated = bmp({.width = 4, .height = 4, .bitCount = 24, .pixels = std::vector<uint8_t>(47)});
  Case cases[] = {
      {"OS/2 header", bmp({.infoSize = 12}), 2, "Decoder error: Bitmap decoder: BITMAPINFOHEADER has wrong size.\n"},
      {"bpp 3", bmp({.bitCount = 3, .pixels = {0, 0, 0, 0}}), 2, "Decoder error: Decoding bmp: Illegal bpp value.\n"},
      {"bpp 0", bmp({.bitCount = 0}), 2, "Decoder error: Decoding bmp: Illegal bpp value.\n"},
      {"palette of 257", bmp({.bitCount = 8, .clrUsed = 257, .palette = rampPalette(257), .pixels = {0, 0, 0, 0}}), 2,
       "Decoder error: Bitmap decoder: Illegal palette size.\n"},
      {"height of -2^31", bmp({.height = INT32_MIN, .pixels = {0, 0, 0, 0}}), 2,
       "Decoder error: Bitmap decoder: Illegal bitmap size.\n"},
      {"zero width", bmp({.width = 0}), 2, "Decoder error: Bitmap decoder: Illegal bitmap size.\n"},
      {"RLE8 run past the padded row",
       bmp({.width = 2, .height = 1, .bitCount = 8, .compression = 1, .clrUsed = 2, .palette = rampPalette(2),
            .pixels = {5, 1, 0, 1}}),
       2, "Decoder error: Bitmap decoder: RLE run passes the end of a row.\n"},
      {"RLE8 absolute run past the padded row",
       bmp({.width = 2, .height = 1, .bitCount = 8, .compression = 1, .clrUsed = 2, .palette = rampPalette(2),
            .pixels = {2, 1, 0, 3, 1, 1, 1, 0, 0, 1}}),
       2, "Decoder error: Bitmap decoder: RLE run passes the end of a row.\n"},
      {"RLE4 run past the padded row",
       bmp({.width = 3, .height = 1, .bitCount = 4, .compression = 2, .palette = rampPalette(16),
            .pixels = {9, 0x11, 0, 1}}),
       2, "Decoder error: Bitmap decoder: RLE run passes the end of a row.\n"},
      {"RLE delta", bmp({.width = 2, .height = 2, .bitCount = 8, .compression = 1, .clrUsed = 2, .palette = rampPalette(2),
                         .pixels = {0, 2, 1, 1}}),
       6, "Decoder error: Encountered delta escape.\n"},
      {"RLE4 delta", bmp({.width = 2, .height = 2, .bitCount = 4, .compression = 2, .clrUsed = 2, .palette = rampPalette(2),
                          .pixels = {0, 2, 1, 1}}),
       6, "Decoder error: Encountered delta escape.\n"},
      {"RLE data ends", bmp({.width = 2, .height = 2, .bitCount = 8, .compression = 1, .clrUsed = 2, .palette = rampPalette(2),
                             .pixels = {2, 1, 0, 0, 2}}),
       11, eof},
      {"rows cut short", truncated, 11, eof},
      {"huge width", bmp({.width = 0x7FFFFFFF, .height = 1, .bitCount = 8, .pixels = {1, 2, 3, 4}}), 11, eof},
      {"huge height", bmp({.width = 1, .height = 0x40000000, .bitCount = 32, .pixels = {1, 2, 3, 4}}), 11, eof},
      // Their row bytes times their rows pass 2^63.
      {"huge width and height", bmp({.width = 0x7FFFFFFF, .height = 0x7FFFFFFF, .bitCount = 32, .pixels = {1, 2, 3, 4}}),
       11, eof},
      {"huge RLE picture", bmp({.width = 0x10000, .height = 0x10000, .bitCount = 8, .compression = 1,
                                .clrUsed = 2, .palette = rampPalette(2), .pixels = {0, 1}}),
       10, "Out of memory creating bitmap."},
      {"palette cut short", bmp({.bitCount = 8, .palette = rampPalette(10)}), 11, eof},
      {"header cut short", shortHeader, 11, eof},
      {"rows start past the end", bmp({.width = 1, .height = 1, .bitCount = 24, .pixels = {1, 2, 3, 0}, .offBitsDelta = 100}), 11, eof},
  };
  for (const Case& c : cases) {
    CWinBmp out;
    Failure f = failureOf([&] { decode(c.file, &out, 32); });
    EXPECT_EQ(f.code, c.code) << c.name;
    EXPECT_EQ(f.text, c.text) << c.name;
  }
  // "BM" sends data to this decoder; its own signature check is for direct use.
  CBmpDecoder direct;
  CWinBmp out;
  Failure f = failureOf([&] { direct.MakeBmpFromMemory(notBmp.data(), int(notBmp.size()), &out, 32); });
  EXPECT_EQ(f.code, 1);
  EXPECT_EQ(f.text, "Decoder error: Bitmap decoder: This isn't a bitmap.\n");
}

}  // namespace
