#include "framework/bmppic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "framework/gdi.h"
#include "picture/pictdecoder.h"
#include "tests/picture/picture_magick.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Put32(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }

struct DibShape {
  const char* name;
  int width, height, bits;
  DWORD compression = BI_RGB;
  bool topDown = false;
  bool core = false;
  int colours = 0;           // palette entries written (0: 2^bits up to 8 bits)
  DWORD masks[3] = {0, 0, 0};
};

uint8_t IndexAt(int x, int y, int n) { return uint8_t((x * 3 + y * 5 + (x / 4) * 7) % n); }

// RLE of rows of indices (bottom row first): runs of equal pixels, absolute
// runs of distinct ones, end of line, end of bitmap.
Bytes Rle(const std::vector<std::vector<uint8_t>>& rowsBottomUp, int bits) {
  Bytes out;
  for (const auto& row : rowsBottomUp) {
    size_t i = 0;
    while (i < row.size()) {
      size_t run = 1;
      if (bits == 8) {
        while (i + run < row.size() && run < 255 && row[i + run] == row[i]) ++run;
      } else {  // RLE4 runs repeat a pair of pixels
        while (i + run < row.size() && run < 255 && row[i + run] == row[i + (run % 2)] ) ++run;
      }
      if (run >= 3 || i + 3 > row.size()) {
        run = std::min(run, row.size() - i);
        uint8_t v = bits == 8 ? row[i] : uint8_t((row[i] << 4) | (i + 1 < row.size() ? row[i + 1] : 0));
        out.insert(out.end(), {uint8_t(run), v});
        i += run;
        continue;
      }
      // absolute: up to 8 distinct pixels
      size_t n = std::min<size_t>(8, row.size() - i);
      out.insert(out.end(), {0, uint8_t(n)});
      size_t bytes = 0;
      if (bits == 8) {
        for (size_t k = 0; k < n; ++k) out.push_back(row[i + k]);
        bytes = n;
      } else {
        for (size_t k = 0; k < n; k += 2) out.push_back(uint8_t((row[i + k] << 4) | (k + 1 < n ? row[i + k + 1] : 0)));
        bytes = (n + 1) / 2;
      }
      if (bytes & 1) out.push_back(0);
      i += n;
    }
    out.insert(out.end(), {0, 0});
  }
  out.insert(out.end(), {0, 1});
  return out;
}

// A packed DIB after the shape, with a pattern of colours.
Bytes MakeDib(const DibShape& s) {
  Bytes dib;
  const int n = s.bits <= 8 ? (s.colours ? s.colours : 1 << s.bits) : 0;
  if (s.core) {
    Put32(dib, 12);
    Put16(dib, uint32_t(s.width));
    Put16(dib, uint32_t(s.height));
    Put16(dib, 1);
    Put16(dib, uint32_t(s.bits));
  } else {
    Put32(dib, 40);
    Put32(dib, uint32_t(s.width));
    Put32(dib, uint32_t(s.topDown ? -s.height : s.height));
    Put16(dib, 1);
    Put16(dib, uint32_t(s.bits));
    Put32(dib, s.compression);
    Put32(dib, 0);  // image size, set below for RLE
    Put32(dib, 2835);
    Put32(dib, 2835);
    Put32(dib, s.bits <= 8 && s.colours ? uint32_t(s.colours) : 0);
    Put32(dib, 0);
  }
  if (s.compression == BI_BITFIELDS)
    for (DWORD m : s.masks) Put32(dib, m);
  for (int k = 0; k < n; ++k) {
    uint8_t r = uint8_t(k * 37), g = uint8_t(255 - k * 11), b = uint8_t(k * 91 + 17);
    dib.insert(dib.end(), {b, g, r});
    if (!s.core) dib.push_back(0);
  }
  std::vector<std::vector<uint8_t>> indexRows;
  Bytes rows;
  const int rowBytes = ((s.width * s.bits + 31) / 32) * 4;
  for (int r = 0; r < s.height; ++r) {
    int y = s.topDown ? r : s.height - 1 - r;  // picture row of this stored row
    Bytes row(size_t(rowBytes), 0);
    std::vector<uint8_t> idx;
    for (int x = 0; x < s.width; ++x) {
      uint32_t v = uint32_t(x * 2654435761u + y * 40503u) >> 3;
      switch (s.bits) {
        case 1:
        case 4:
        case 8: {
          uint8_t i = IndexAt(x, y, n);
          idx.push_back(i);
          int bit = x * s.bits;
          row[size_t(bit / 8)] |= uint8_t(i << (8 - s.bits - bit % 8));
          break;
        }
        case 16: row[2 * x] = uint8_t(v), row[2 * x + 1] = uint8_t(v >> 8); break;
        case 24: row[3 * x] = uint8_t(v), row[3 * x + 1] = uint8_t(v >> 8), row[3 * x + 2] = uint8_t(v >> 16); break;
        case 32: std::memcpy(&row[4 * size_t(x)], &v, 4); row[4 * size_t(x) + 3] = 0; break;
      }
    }
    indexRows.push_back(idx);
    rows.insert(rows.end(), row.begin(), row.end());
  }
  if (s.compression == BI_RLE8 || s.compression == BI_RLE4) {
    rows = Rle(indexRows, s.bits);
    uint32_t size = uint32_t(rows.size());
    std::memcpy(&dib[20], &size, 4);
  }
  dib.insert(dib.end(), rows.begin(), rows.end());
  return dib;
}

Bytes PictFile(const Bytes& picture) {
  Bytes file(512, 0);
  file.insert(file.end(), picture.begin(), picture.end());
  return file;
}

Bytes BmpFile(const Bytes& dib, const DibShape& s) {
  Bytes file = {'B', 'M'};
  Put32(file, uint32_t(14 + dib.size()));
  Put32(file, 0);
  const int n = s.bits <= 8 ? (s.colours ? s.colours : 1 << s.bits) : 0;
  uint32_t offset = 14 + (s.core ? 12 : 40) + (s.compression == BI_BITFIELDS ? 12 : 0) + uint32_t(n) * (s.core ? 3 : 4);
  Put32(file, offset);
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

}  // namespace

// Every kind of DIB goes through bmppic; the PICT decodes, through our
// decoder and through ImageMagick, to the pixels ImageMagick reads from the
// same DIB as a BMP file.
TEST(Bmppic, EveryKindOfDibRoundTrips) {
  const DibShape shapes[] = {
      {"1-bit", 13, 5, 1},
      {"4-bit", 7, 6, 4},
      {"8-bit, 40 colours", 9, 4, 8, BI_RGB, false, false, 40},
      {"16-bit 5-5-5", 6, 3, 16},
      {"16-bit fields 5-6-5", 6, 3, 16, BI_BITFIELDS, false, false, 0, {0xF800, 0x07E0, 0x001F}},
      {"24-bit", 5, 4, 24},
      {"32-bit", 4, 3, 32},
      {"32-bit fields", 5, 3, 32, BI_BITFIELDS, false, false, 0, {0x000000FF, 0x0000FF00, 0x00FF0000}},
      {"24-bit top-down", 5, 4, 24, BI_RGB, true},
      {"8-bit core header", 6, 3, 8, BI_RGB, false, true},
      {"RLE8", 21, 5, 8, BI_RLE8, false, false, 30},
      {"RLE4", 19, 5, 4, BI_RLE4},
      {"1-pixel wide 32-bit", 1, 3, 32},
      {"wide 8-bit", 300, 2, 8},
  };
  for (const DibShape& s : shapes) {
    SCOPED_TRACE(s.name);
    Bytes dib = MakeDib(s);
    // an exact-size copy so that a read past the data is caught
    std::unique_ptr<uint8_t[]> exact(new uint8_t[dib.size()]);
    std::memcpy(exact.get(), dib.data(), dib.size());
    std::vector<uint8_t> picture;
    int size = bmppic(exact.get(), dib.size(), &picture);
    ASSERT_GT(size, 0);
    EXPECT_EQ(size_t(size), picture.size());
    EXPECT_EQ(picture[0] * 256 + picture[1], size & 0xFFFF);

    std::string bmpPath = magick::TempPath("bmppic_source.bmp");
    magick::WriteFile(bmpPath, BmpFile(dib, s));
    magick::Picture source = magick::Decode(bmpPath);
    ASSERT_EQ(source.width, s.width);
    ASSERT_EQ(source.height, s.height);

    Bytes pict = PictFile(picture);
    CWinBmp ours;
    CPictDecoder decoder;
    decoder.MakeBmpFromMemory(pict.data(), int(pict.size()), &ours, 32);
    EXPECT_TRUE(magick::SamePixels(ours, source, false));

    // ImageMagick takes unpacked 32-bit rows (a row under 8 bytes) as planes,
    // where QuickDraw keeps the pixels side by side
    std::remove(bmpPath.c_str());
    if (s.bits > 8 && s.width < 2) continue;
    std::string pictPath = magick::TempPath("bmppic_result.pict");
    magick::WriteFile(pictPath, pict);
    magick::Picture theirs = magick::Decode(pictPath);
    ASSERT_EQ(theirs.width, s.width);
    ASSERT_EQ(theirs.height, s.height);
    for (size_t i = 0; i < source.rgba.size(); i += 4)
      for (int c = 0; c < 3; ++c) ASSERT_EQ(theirs.rgba[i + size_t(c)], source.rgba[i + size_t(c)]) << "pixel " << i / 4;
    std::remove(pictPath.c_str());
  }
}

// Pixel data of a megabyte or more is written in 768 x 768 tiles, which
// ImageMagick puts back together.
TEST(Bmppic, LargePicturesGoInTiles) {
  DibShape s{"large", 1000, 300, 32};
  Bytes dib = MakeDib(s);
  std::vector<uint8_t> picture;
  ASSERT_GT(bmppic(dib.data(), dib.size(), &picture), 0);
  std::string bmpPath = magick::TempPath("bmppic_large.bmp");
  magick::WriteFile(bmpPath, BmpFile(dib, s));
  std::string pictPath = magick::TempPath("bmppic_large.pict");
  magick::WriteFile(pictPath, PictFile(picture));
  magick::Picture source = magick::Decode(bmpPath), theirs = magick::Decode(pictPath);
  ASSERT_EQ(theirs.width, 1000);
  ASSERT_EQ(theirs.height, 300);
  for (size_t i = 0; i < source.rgba.size(); i += 4)
    for (int c = 0; c < 3; ++c) ASSERT_EQ(theirs.rgba[i + size_t(c)], source.rgba[i + size_t(c)]) << "pixel " << i / 4;
  // the second tile starts at x = 768: its opcode is there
  int tiles = 0;
  for (size_t i = 0; i + 1 < picture.size(); i += 2) tiles += picture[i] == 0 && picture[i + 1] == 0x9A;
  EXPECT_GE(tiles, 2);
  std::remove(bmpPath.c_str());
  std::remove(pictPath.c_str());
}

// Bad headers, sizes and RLE data return -1 and read nothing past the data.
TEST(Bmppic, MalformedInputIsRefused) {
  const Bytes good8 = MakeDib({"", 6, 3, 8});
  const Bytes goodRle = MakeDib({"", 9, 3, 8, BI_RLE8, false, false, 16});
  auto patch32 = [](Bytes b, size_t at, uint32_t v) {
    std::memcpy(&b[at], &v, 4);
    return b;
  };
  auto patch16 = [](Bytes b, size_t at, uint16_t v) {
    std::memcpy(&b[at], &v, 2);
    return b;
  };
  struct Case {
    const char* name;
    Bytes data;
  };
  Bytes rlePastRow = goodRle;
  rlePastRow.insert(rlePastRow.begin() + 40 + 64, {20, 5});  // 20 pixels in a row of 9
  Bytes rlePastData = goodRle;
  rlePastData.resize(rlePastData.size() - 4);
  Bytes rleDeltaOut = goodRle;
  rleDeltaOut.insert(rleDeltaOut.begin() + 40 + 64, {0, 2, 0, 9});
  const Case cases[] = {
      {"empty", {}},
      {"short header", Bytes(good8.begin(), good8.begin() + 3)},
      {"header size 16", patch32(good8, 0, 16)},
      {"header size 108", patch32(good8, 0, 108)},
      {"width 0", patch32(good8, 4, 0)},
      {"negative width", patch32(good8, 4, uint32_t(-6))},
      {"height 0", patch32(good8, 8, 0)},
      {"planes 2", patch16(good8, 12, 2)},
      {"3 bits", patch16(good8, 14, 3)},
      {"compression 7", patch32(good8, 16, 7)},
      {"RLE4 on 8 bits", patch32(good8, 16, BI_RLE4)},
      {"bit fields on 8 bits", patch32(good8, 16, BI_BITFIELDS)},
      {"top-down RLE", patch32(goodRle, 8, uint32_t(-3))},
      {"300 colours on 8 bits", patch32(good8, 32, 300)},
      {"rows past the data", Bytes(good8.begin(), good8.end() - 1)},
      {"colour table past the data", Bytes(good8.begin(), good8.begin() + 60)},
      {"overflowing size", patch32(patch32(good8, 4, 0x7FFFFFFF), 8, 0x7FFFFFFF)},
      {"wider than QuickDraw", patch32(patch32(good8, 4, 40000), 8, 1)},
      {"RLE run past the row", rlePastRow},
      {"RLE past the data", rlePastData},
      {"RLE delta past the image", rleDeltaOut},
  };
  for (const Case& c : cases) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[std::max<size_t>(c.data.size(), 1)]);
    if (!c.data.empty()) std::memcpy(exact.get(), c.data.data(), c.data.size());
    std::vector<uint8_t> picture = {1, 2, 3};
    EXPECT_EQ(bmppic(exact.get(), c.data.size(), &picture), -1) << c.name;
    EXPECT_EQ(picture, (std::vector<uint8_t>{1, 2, 3})) << c.name << ": no picture on failure";
  }
  EXPECT_EQ(bmppic(good8.data(), good8.size(), nullptr), -50);
  EXPECT_EQ(bmppic(nullptr, 0, nullptr), -50);
}
