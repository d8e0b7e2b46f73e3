#pragma once
// Builds BMP files byte by byte and keeps temporary folders for tests.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "picture/anypicdecoder.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

namespace bmptest {

inline void putLE(std::vector<uint8_t>& v, uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

struct BmpLayout {
  int width = 1;
  int height = 1;
  int bitCount = 24;
  uint32_t compression = 0;
  uint32_t infoSize = 40;         // 12, 40, 108, 124
  uint32_t clrUsed = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB, written blue, green, red, 0
  std::vector<uint8_t> afterHeader;  // e.g. bit-field masks of a 40-byte header
  std::vector<uint8_t> headerTail;   // bytes 40.. of a longer info header
  std::vector<uint8_t> pixels;
  int offBitsDelta = 0;           // added to the true offset of the rows
};

inline std::vector<uint8_t> makeBmp(const BmpLayout& s) {
  std::vector<uint8_t> info;
  putLE(info, s.infoSize, 4);
  putLE(info, uint32_t(s.width), 4);
  putLE(info, uint32_t(s.height), 4);
  putLE(info, 1, 2);
  putLE(info, uint32_t(s.bitCount), 2);
  putLE(info, s.compression, 4);
  putLE(info, uint32_t(s.pixels.size()), 4);
  putLE(info, 2835, 4);
  putLE(info, 2835, 4);
  putLE(info, s.clrUsed, 4);
  putLE(info, 0, 4);
  info.insert(info.end(), s.headerTail.begin(), s.headerTail.end());
  info.resize(s.infoSize, 0);
  info.insert(info.end(), s.afterHeader.begin(), s.afterHeader.end());
  for (uint32_t c : s.palette) putLE(info, c & 0xFFFFFF, 4);
  std::vector<uint8_t> f = {'B', 'M'};
  uint32_t offBits = uint32_t(14 + info.size() + s.offBitsDelta);
  putLE(f, uint32_t(14 + info.size() + s.pixels.size()), 4);
  putLE(f, 0, 4);
  putLE(f, offBits, 4);
  f.insert(f.end(), info.begin(), info.end());
  f.insert(f.end(), s.pixels.begin(), s.pixels.end());
  return f;
}

// Decodes from memory (an exact-size heap copy, so that ASan sees any
// read past the end).
inline void decode(const std::vector<uint8_t>& file, CWinBmp* bmp, int bpp = 32) {
  std::vector<uint8_t> exact(file);
  exact.shrink_to_fit();
  CAnyPicDecoder decoder;
  decoder.MakeBmpFromMemory(exact.data(), int(exact.size()), bmp, bpp);
}

struct Failure {
  int code = 0;
  std::string text;
};

template <class F>
Failure failureOf(F&& f) {
  try {
    f();
  } catch (const CTextException& e) {
    return {e.GetErrorCode(), e.GetErrorText()};
  }
  return {0, "no exception"};
}

inline CPixel32 rgb(uint32_t c, int a = 255) {
  return CPixel32(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(a));
}

// A fresh folder under $TMPDIR (or /tmp), removed at the end.
class TempDir {
 public:
  TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pictest-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) m_Path = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!m_Path.empty()) std::filesystem::remove_all(m_Path, ec);
  }
  std::string file(const std::string& name) const { return m_Path + "/" + name; }
  const std::string& path() const { return m_Path; }

 private:
  std::string m_Path;
};

inline std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace bmptest
