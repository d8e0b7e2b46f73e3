#include "picture/exchangefile.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "framework/paths.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace {
struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
}  // namespace

bool ReadExchangeFile(const std::string& path, CWinBmp* bmp) {
  if (!bmp) return false;
  File f(std::fopen(brv::PosixPath(path).c_str(), "rb"));
  if (!f) return false;
  uint8_t head[8];
  if (std::fread(head, 1, 8, f.get()) != 8) return false;
  const int32_t width = int32_t(Le32(head)), height = int32_t(Le32(head + 4));
  if (width <= 0 || height <= 0) return false;
  // the length must match before anything is allocated
  if (std::fseek(f.get(), 0, SEEK_END) != 0) return false;
  const long length = std::ftell(f.get());
  const uint64_t want = 8 + uint64_t(width) * uint64_t(height) * 4;
  if (length < 0 || uint64_t(length) != want) return false;
  if (std::fseek(f.get(), 8, SEEK_SET) != 0) return false;
  std::vector<uint8_t> pixels(want - 8);
  if (std::fread(pixels.data(), 1, pixels.size(), f.get()) != pixels.size()) return false;
  CWinBmp fresh;
  try {
    fresh.Create(width, height, 32, false);
  } catch (const CTextException&) {
    return false;
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &pixels[(size_t(y) * size_t(width) + size_t(x)) * 4];
      fresh.SetPixel(x, y, CPixel32(p[1], p[2], p[3], 255));
    }
  *bmp = fresh;
  return true;
}

bool WriteExchangeFile(const std::string& path, const CWinBmp& bmp) {
  const int width = bmp.GetWidth(), height = bmp.GetHeight();
  if (width <= 0 || height <= 0) return false;
  std::vector<uint8_t> data;
  data.reserve(8 + size_t(width) * size_t(height) * 4);
  for (uint32_t v : {uint32_t(width), uint32_t(height)})
    for (int k = 0; k < 4; ++k) data.push_back(uint8_t(v >> (8 * k)));
  const int bpp = bmp.GetBitsPerPixel();
  for (int y = 0; y < height; ++y) {
    const uint8_t* line = bmp.GetLine(y);
    for (int x = 0; x < width; ++x) {
      CPixel32 p;
      if (bpp <= 8) {
        int bit = x * bpp;
        p = bmp.GetPalette()[(line[bit / 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1)];
      } else if (bpp == 16) {
        unsigned v = line[2 * x] | (line[2 * x + 1] << 8);
        p = CPixel32(uint8_t(((v >> 10) & 31) * 255 / 31), uint8_t(((v >> 5) & 31) * 255 / 31), uint8_t((v & 31) * 255 / 31), 255);
      } else if (bpp == 24) {
        p = CPixel32(line[3 * x + 2], line[3 * x + 1], line[3 * x], 255);
      } else {
        p = bmp.GetPixel(x, y);
      }
      data.insert(data.end(), {255, p.GetR(), p.GetG(), p.GetB()});
    }
  }
  File f(std::fopen(brv::PosixPath(path).c_str(), "wb"));
  if (!f) return false;
  return std::fwrite(data.data(), 1, data.size(), f.get()) == data.size() && std::fflush(f.get()) == 0;
}
