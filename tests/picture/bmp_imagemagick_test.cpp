// BMP files written by ImageMagick in every depth, compression and header
// version it offers, decoded by us and by ImageMagick itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

// Cases name only the fields that matter.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "bmp_test_support.h"
#include "picture/picencoder.h"
#include "picture_magick.h"

namespace {

using namespace bmptest;

std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()) == 0; }

uint32_t le32(const std::vector<uint8_t>& f, size_t at) {
  return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}

class ImageMagickBmp : public ::testing::Test {
 protected:
  void SetUp() override {
    // The same convert that magick::Decode calls.
    if (access(convert_.c_str(), X_OK) != 0) GTEST_SKIP() << "ImageMagick's convert is not installed";
    // A 29 x 11 picture with many colours.
    std::string ppm = "P6 29 11 255\n";
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 29; ++x) {
        ppm += char(x * 9 % 256);
        ppm += char(y * 23 % 256);
        ppm += char((x * y * 7 + 13) % 256);
      }
    source_ = dir_.file("source.ppm");
    writeFile(source_, std::vector<uint8_t>(ppm.begin(), ppm.end()));
  }

  // Compares at 32 bits, or at 8 bits through the palette (`natural`).
  void expectSamePixels(const std::string& bmpPath, int tolerance, bool compareAlpha, bool natural = false) {
    magick::Picture ref = magick::Decode(bmpPath);
    CWinBmp bmp;
    Failure f = failureOf([&] {
      decode(readFile(bmpPath), &bmp, natural ? 0 : 32);
      if (bmp.GetBitsPerPixel() == 8) bmp.CreateCopy(bmp, 32);
    });
    ASSERT_EQ(f.code, 0) << f.text;
    EXPECT_TRUE(magick::SamePixels(bmp, ref, compareAlpha, tolerance));
  }

  std::string convert_ = "/usr/bin/convert";
  TempDir dir_;
  std::string source_;
};

TEST_F(ImageMagickBmp, EveryDepthCompressionAndHeaderVersion) {
  struct Case {
    const char* name;
    const char* options;  // ImageMagick options and output coder
    uint32_t infoSize;
    int bitCount;
    uint32_t compression;
    int tolerance;  // 5-bit channels are widened by x 8 here, by scaling there
    bool alpha;
  } cases[] = {
      {"v3 24 bit", "-type TrueColor BMP3:", 40, 24, 0, 0, false},
      {"v3 8 bit", "-colors 200 -type Palette -compress None BMP3:", 40, 8, 0, 0, false},
      {"v3 RLE8", "-colors 200 -type Palette -compress RLE BMP3:", 40, 8, 1, 0, false},
      {"v3 4 bit", "-colors 16 -type Palette -compress None BMP3:", 40, 4, 0, 0, false},
      {"v3 1 bit", "-monochrome BMP3:", 40, 1, 0, 0, false},
      {"v5 24 bit", "-type TrueColor BMP:", 124, 24, 0, 0, false},
      {"v5 8 bit", "-colors 200 -type Palette -compress None BMP:", 124, 8, 0, 0, false},
      {"v5 RLE8", "-colors 200 -type Palette -compress RLE BMP:", 124, 8, 1, 0, false},
      {"v5 4 bit", "-colors 16 -type Palette -compress None BMP:", 124, 4, 0, 0, false},
      {"v4 1 bit", "-monochrome BMP:", 108, 1, 0, 0, false},
      {"v5 16 bit 5-6-5", "-type TrueColor -define bmp:subtype=RGB565 BMP:", 124, 16, 3, 8, false},
      {"v5 16 bit 5-5-5", "-type TrueColor -define bmp:subtype=RGB555 BMP:", 124, 16, 3, 7, false},
      {"v5 32 bit with alpha", "-alpha set -channel A -fx (i+j)/40 +channel BMP:", 124, 32, 3, 0, true},
      {"v5 16 bit 4-4-4-4 with alpha",
       "-alpha set -channel A -fx (i+j)/40 +channel -define bmp:subtype=ARGB4444 BMP:", 124, 16, 3, 0, true},
      {"v5 16 bit 1-5-5-5 with alpha", "-alpha set -channel A -fx i%2 +channel -define bmp:subtype=ARGB1555 BMP:",
       124, 16, 3, 7, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = dir_.file("case.bmp");
    std::string options = c.options;
    std::string coder = options.substr(options.rfind(' ') + 1);
    options = options.substr(0, options.rfind(' ') + 1);
    std::string command = convert_ + " " + quote(source_) + " ";
    // Options are passed word by word; the one -fx expression needs quotes.
    std::stringstream words(options);
    std::string word;
    while (words >> word) command += quote(word) + " ";
    command += quote(coder + out);
    ASSERT_TRUE(run(command)) << command;
    std::vector<uint8_t> file = readFile(out);
    ASSERT_GE(file.size(), 54u);
    // The file is the kind this case claims.
    EXPECT_EQ(le32(file, 14), c.infoSize);
    EXPECT_EQ(file[28], c.bitCount);
    EXPECT_EQ(le32(file, 30), c.compression);
    expectSamePixels(out, c.tolerance, c.alpha);
  }
}

TEST_F(ImageMagickBmp, OS2HeaderIsRefused) {
  std::string out = dir_.file("os2.bmp");
  ASSERT_TRUE(run(convert_ + " " + quote(source_) + " " + quote("BMP2:" + out)));
  std::vector<uint8_t> file = readFile(out);
  ASSERT_EQ(le32(file, 14), 12u);
  CWinBmp bmp;
  Failure f = failureOf([&] { decode(file, &bmp); });
  EXPECT_EQ(f.code, 2);
  EXPECT_EQ(f.text, "Decoder error: Bitmap decoder: BITMAPINFOHEADER has wrong size.\n");
}

TEST_F(ImageMagickBmp, HandMadeRLE4AndRLE8AgreeWithImageMagick) {
  std::vector<uint32_t> pal;
  for (int i = 0; i < 16; ++i) pal.push_back(uint32_t(i * 16) << 16 | uint32_t(255 - i * 16) << 8 | uint32_t(i * 5));
  // Every row complete: runs, absolute runs with and without padding.
  BmpLayout rle4{8, 3, 4, 2, 40, 16, pal, {}, {},
               {0, 5, 0x12, 0x34, 0x50, 0, 3, 0x9A, 0, 0,  //
                8, 0x67, 0, 0,                              //
                0, 4, 0xF1, 0x2E, 4, 0xC3, 0, 0,            //
                0, 1}};
  BmpLayout rle8{6, 2, 8, 1, 40, 16, pal, {}, {},
               {3, 5, 0, 3, 1, 2, 3, 0, 0, 0,  //
                0, 4, 9, 8, 7, 6, 2, 15, 0, 0, 0, 1}};
  for (const BmpLayout& layout : {rle4, rle8}) {
    std::string path = dir_.file(layout.bitCount == 4 ? "rle4.bmp" : "rle8.bmp");
    writeFile(path, makeBmp(layout));
    SCOPED_TRACE(path);
    expectSamePixels(path, 0, false);
  }
}

TEST_F(ImageMagickBmp, OneBitFilesShowTheirPaletteColours) {
  const std::vector<uint32_t> palettes[] = {{0xFFFFFF, 0x000000}, {0x000000, 0xFFFFFF}, {0xE01020, 0x2040F0}};
  // 13 x 3: a partial last byte and row padding
  const std::vector<uint8_t> rows = {0xA5, 0x38, 0, 0, 0x0F, 0xF0, 0, 0, 0x81, 0x18, 0, 0};
  for (const std::vector<uint32_t>& palette : palettes) {
    SCOPED_TRACE(palette[0]);
    std::string path = dir_.file("mono.bmp");
    writeFile(path, makeBmp({.width = 13, .height = 3, .bitCount = 1, .palette = palette, .pixels = rows}));
    expectSamePixels(path, 0, false);
  }
  // ImageMagick's own 1-bit files, with the colours in either order.
  for (const char* order : {"-monochrome", "-monochrome -negate"}) {
    SCOPED_TRACE(order);
    std::string path = dir_.file("im_mono.bmp");
    std::string command = convert_ + " " + quote(source_);
    std::stringstream words(order);
    std::string word;
    while (words >> word) command += " " + word;
    ASSERT_TRUE(run(command + " -type Bilevel " + quote("BMP3:" + path)));
    ASSERT_EQ(readFile(path)[28], 1);
    expectSamePixels(path, 0, false);
  }
}

TEST_F(ImageMagickBmp, TopDownFilesAgreeWithImageMagick) {
  std::vector<uint8_t> rgbRows;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) rgbRows.insert(rgbRows.end(), {uint8_t(x * 50), uint8_t(y * 60), uint8_t(x * y * 10)});
    rgbRows.push_back(0);  // rows of 15 bytes padded to 16
  }
  std::vector<uint32_t> pal;
  for (int i = 0; i < 256; ++i) pal.push_back(uint32_t(i) << 16 | uint32_t(255 - i) << 8 | uint32_t(i / 2));
  std::vector<uint8_t> indexRows;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 8; ++x) indexRows.push_back(uint8_t(x * 31 + y * 7));
  for (const BmpLayout& layout : {BmpLayout{.width = 5, .height = -4, .bitCount = 24, .pixels = rgbRows},
                                  BmpLayout{.width = 8, .height = -3, .bitCount = 8, .palette = pal, .pixels = indexRows}}) {
    SCOPED_TRACE(layout.bitCount);
    std::string path = dir_.file("topdown.bmp");
    writeFile(path, makeBmp(layout));
    expectSamePixels(path, 0, false);
  }
}

TEST_F(ImageMagickBmp, EpsTiffPreviewGoesToTheTiffDecoder) {
  std::string tiff = dir_.file("preview.tif");
  ASSERT_TRUE(run(convert_ + " " + quote(source_) + " -compress None " + quote("TIFF:" + tiff)));
  std::vector<uint8_t> preview = readFile(tiff);
  // A DOS EPS header: the preview's offset at 20 and its length at 24.
  std::vector<uint8_t> eps = {0xC5, 0xD0, 0xD3, 0xC6};
  eps.resize(30, 0);
  eps[20] = 30;
  eps[24] = uint8_t(preview.size());
  eps[25] = uint8_t(preview.size() >> 8);
  eps[26] = uint8_t(preview.size() >> 16);
  eps.insert(eps.end(), preview.begin(), preview.end());
  std::string path = dir_.file("picture.eps");
  writeFile(path, eps);
  CWinBmp bmp;
  Failure f = failureOf([&] { CAnyPicDecoder().MakeBmpFromFile(path.c_str(), &bmp, 32); });
  ASSERT_EQ(f.code, 0) << f.text;
  EXPECT_TRUE(magick::SamePixels(bmp, magick::Decode(tiff), false));
}

TEST_F(ImageMagickBmp, OurFilesDecodeTheSameInImageMagick) {
  CWinBmp deep;
  deep.Create(13, 6, 32, false);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 13; ++x) deep.SetPixel(x, y, CPixel32(uint8_t(x * 19), uint8_t(y * 41), uint8_t(x * y * 3), 255));
  CWinBmp eight;
  eight.CreateCopy(deep, 8);
  CWinBmp mono;
  mono.CreateCopy(deep, 1);
  for (const CWinBmp* bmp : {&deep, &eight, &mono}) {
    std::string path = dir_.file("ours.bmp");
    CBmpEncoder().MakeFileFromBmp(path.c_str(), bmp);
    SCOPED_TRACE(bmp->GetBitsPerPixel());
    // Ours has white at 0 and black at 1 at 1 bit: at 32 bits and through
    // the palette alike.
    expectSamePixels(path, 0, false);
    expectSamePixels(path, 0, false, true);
    // And our decode gives back what we wrote.
    CWinBmp back;
    decode(readFile(path), &back, 0);
    if (back.GetBitsPerPixel() == 8) back.CreateCopy(back, 32);
    CWinBmp want;
    want.CreateCopy(*bmp, bmp->GetBitsPerPixel() == 32 ? 0 : 32);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 13; ++x) {
        CPixel32 p = want.GetPixel(x, y);
        CPixel32 q = back.GetPixel(x, y);
        EXPECT_EQ(q.GetR(), p.GetR());
        EXPECT_EQ(q.GetG(), p.GetG());
        EXPECT_EQ(q.GetB(), p.GetB());
      }
  }
}

}  // namespace
