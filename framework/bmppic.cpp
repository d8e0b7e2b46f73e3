#include "framework/bmppic.h"

#include <algorithm>
#include <new>
#include <span>
#include <string>

#include "framework/gdi_internal.h"

namespace {

// Larger pictures would take the tool bar's memory for nothing.
constexpr uint64_t kMaxPixels = uint64_t(1) << 24;
constexpr size_t kTileThreshold = 1048576;
constexpr int kTile = 768;
constexpr int kMaxRowBytes = 0x3FFE;  // rowBytes keeps its top bits for flags

class Writer {
 public:
  std::vector<uint8_t> out;
  void Byte(int v) { out.push_back(uint8_t(v)); }
  void Word(int v) {
    out.push_back(uint8_t((v >> 8) & 0xFF));
    out.push_back(uint8_t(v & 0xFF));
  }
  void Long(uint32_t v) {
    Word(int(v >> 16));
    Word(int(v & 0xFFFF));
  }
  void Rect(int top, int left, int bottom, int right) {
    Word(top);
    Word(left);
    Word(bottom);
    Word(right);
  }
  void Bytes(const std::vector<uint8_t>& b) { out.insert(out.end(), b.begin(), b.end()); }
  void Align() {
    if (out.size() & 1) Byte(0);
  }
};

// PackBits of one row.
std::vector<uint8_t> PackBits(const uint8_t* p, size_t n) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 128 && p[i + run] == p[i]) ++run;
    if (run >= 2) {
      out.push_back(uint8_t(257 - run));
      out.push_back(p[i]);
      i += run;
      continue;
    }
    size_t lit = 1;
    while (i + lit < n && lit < 128 && !(i + lit + 1 < n && p[i + lit] == p[i + lit + 1])) ++lit;
    out.push_back(uint8_t(lit - 1));
    out.insert(out.end(), p + i, p + i + lit);
    i += lit;
  }
  return out;
}

void PixMapHeader(Writer& w, int rowBytes, int top, int left, int bottom, int right, int packType, int pixelType,
                  int pixelSize, int cmpCount, int cmpSize) {
  w.Word(rowBytes | 0x8000);
  w.Rect(top, left, bottom, right);
  w.Word(0);            // version
  w.Word(packType);
  w.Long(0);            // pack size
  w.Long(0x00480000);   // 72 dpi
  w.Long(0x00480000);
  w.Word(pixelType);
  w.Word(pixelSize);
  w.Word(cmpCount);
  w.Word(cmpSize);
  w.Long(0);  // plane bytes
  w.Long(0);  // colour table handle
  w.Long(0);  // reserved
}

// Writes the rows (already in QuickDraw's layout) of one bitmap opcode.
void Rows(Writer& w, const std::vector<std::vector<uint8_t>>& rows, int rowBytes) {
  for (const std::vector<uint8_t>& row : rows) {
    if (rowBytes < 8) {
      w.Bytes(row);
      continue;
    }
    std::vector<uint8_t> packed = PackBits(row.data(), row.size());
    if (rowBytes > 250) w.Word(int(packed.size())); else w.Byte(int(packed.size()));
    w.Bytes(packed);
  }
}

void Tile(Writer& w, const brv::gdi::DibImage& img, int x0, int y0, int x1, int y1) {
  const int width = x1 - x0;
  w.Align();
  if (img.bitsPerPixel <= 8) {
    const int bits = img.bitsPerPixel;
    int rowBytes = (width * bits + 7) / 8;
    rowBytes += rowBytes & 1;
    w.Word(rowBytes < 8 ? 0x90 : 0x98);
    PixMapHeader(w, rowBytes, y0, x0, y1, x1, 0, 0, bits, 1, bits);
    // the colour table, indices as in the DIB
    const size_t n = size_t(1) << bits;
    w.Long(0);
    w.Word(0);
    w.Word(int(n - 1));
    for (size_t k = 0; k < n; ++k) {
      uint32_t c = k < img.colours.size() ? img.colours[k] : 0;
      w.Word(int(k));
      w.Word(int(((c >> 16) & 255) * 257));
      w.Word(int(((c >> 8) & 255) * 257));
      w.Word(int((c & 255) * 257));
    }
    w.Rect(y0, x0, y1, x1);
    w.Rect(y0, x0, y1, x1);
    w.Word(0);  // srcCopy
    std::vector<std::vector<uint8_t>> rows;
    for (int y = y0; y < y1; ++y) {
      std::vector<uint8_t> row(size_t(rowBytes), 0);
      const uint8_t* src = &img.indices[size_t(y) * size_t(img.width)];
      for (int x = 0; x < width; ++x) {
        int bit = x * bits;
        row[size_t(bit / 8)] |= uint8_t(src[x0 + x] << (8 - bits - bit % 8));
      }
      rows.push_back(std::move(row));
    }
    Rows(w, rows, rowBytes);
    return;
  }
  const int rowBytes = width * 4;
  w.Word(0x9A);
  w.Long(0x000000FF);  // base address
  PixMapHeader(w, rowBytes, y0, x0, y1, x1, rowBytes < 8 ? 1 : 4, 16, 32, 3, 8);
  w.Rect(y0, x0, y1, x1);
  w.Rect(y0, x0, y1, x1);
  w.Word(0);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = y0; y < y1; ++y) {
    const uint32_t* src = &img.pixels[size_t(y) * size_t(img.width)];
    std::vector<uint8_t> row;
    if (rowBytes < 8) {
      // rows under 8 bytes are not packed: x, red, green, blue side by side
      for (int x = 0; x < width; ++x) {
        uint32_t p = src[x0 + x];
        row.insert(row.end(), {0, uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
      }
    } else {
      // packed by component: all reds, all greens, all blues
      row.resize(size_t(width) * 3);
      for (int x = 0; x < width; ++x) {
        uint32_t p = src[x0 + x];
        row[size_t(x)] = uint8_t(p >> 16);
        row[size_t(width + x)] = uint8_t(p >> 8);
        row[size_t(2 * width + x)] = uint8_t(p);
      }
    }
    rows.push_back(std::move(row));
  }
  Rows(w, rows, rowBytes);
}

}  // namespace

int bmppic(const uint8_t* dib, size_t length, std::vector<uint8_t>* picture) {
  if (!picture) return -50;
  if (!dib || length < 4) return -1;
  const uint32_t headerSize = uint32_t(dib[0]) | (uint32_t(dib[1]) << 8) | (uint32_t(dib[2]) << 16) | (uint32_t(dib[3]) << 24);
  if (headerSize != 12 && headerSize != 40) return -1;
  try {
    brv::gdi::DibImage img;
    if (!brv::gdi::ParsePackedDib(std::span<const uint8_t>(dib, length), &img, nullptr, kMaxPixels)) return -1;
    // QuickDraw rectangles are 16-bit
    if (img.width > 32767 || img.height > 32767) return -1;
    const uint64_t pixelBytes = img.bitsPerPixel <= 8
                                    ? (uint64_t(img.width) * img.bitsPerPixel + 7) / 8 * uint64_t(img.height)
                                    : uint64_t(img.width) * 4 * uint64_t(img.height);
    const int64_t rowBytes = img.bitsPerPixel <= 8 ? (int64_t(img.width) * img.bitsPerPixel + 7) / 8 : int64_t(img.width) * 4;
    const bool tiled = pixelBytes >= kTileThreshold || rowBytes > kMaxRowBytes;
    Writer w;
    w.Word(0);  // size, filled in below
    w.Rect(0, 0, img.height, img.width);
    w.Word(0x0011);
    w.Word(0x02FF);
    w.Word(0x0C00);  // extended version 2 header
    w.Word(0xFFFE);
    w.Word(0);
    w.Long(0x00480000);
    w.Long(0x00480000);
    w.Rect(0, 0, img.height, img.width);
    w.Long(0);
    w.Word(0x001E);  // default highlight
    w.Word(0x0001);  // clip to the frame
    w.Word(10);
    w.Rect(0, 0, img.height, img.width);
    if (!tiled) {
      Tile(w, img, 0, 0, img.width, img.height);
    } else {
      for (int y = 0; y < img.height; y += kTile)
        for (int x = 0; x < img.width; x += kTile)
          Tile(w, img, x, y, std::min(x + kTile, img.width), std::min(y + kTile, img.height));
    }
    w.Align();
    w.Word(0x00FF);
    const size_t size = w.out.size();
    w.out[0] = uint8_t((size >> 8) & 0xFF);
    w.out[1] = uint8_t(size & 0xFF);
    if (size > size_t(INT32_MAX)) return -1;
    *picture = std::move(w.out);
    return int(size);
  } catch (const std::bad_alloc&) {
    return -1111;
  }
}
