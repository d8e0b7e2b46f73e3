// Reading device-independent bitmaps: headers, colour tables, masks, rows
// and RLE data, each size checked against the data before use.
#include <algorithm>
#include <cstring>

#include "framework/gdi_internal.h"

namespace brv::gdi {

namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

bool Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return false;
}

// A channel mask: its shift and the maximum of the masked value.
struct Channel {
  int shift = 0;
  uint32_t max = 0;
  int bits = 0;
  // the value's bits repeated down to 8 bits, as the 5-bit channels of
  // 16-bit pixels are widened
  uint8_t Get(uint32_t v, uint32_t mask) const {
    if (!max) return 0;
    uint32_t c = (v & mask) >> shift;
    if (bits >= 8) return uint8_t(c >> (bits - 8));
    uint32_t out = 0;
    for (int s = 8 - bits; s > -bits; s -= bits) out |= s >= 0 ? c << s : c >> -s;
    return uint8_t(out);
  }
};

Channel ChannelOf(uint32_t mask) {
  Channel c;
  if (!mask) return c;
  while (!((mask >> c.shift) & 1)) ++c.shift;
  c.max = mask >> c.shift;
  for (uint32_t m = c.max; m & 1; m >>= 1) ++c.bits;
  return c;
}

struct Header {
  bool core = false;
  int64_t width = 0, height = 0;
  int bits = 0;
  DWORD compression = BI_RGB;
  DWORD clrUsed = 0;
  DWORD headerSize = 0;
};

// Expands RLE4 or RLE8 data into indices (top-down rows).
bool DecodeRle(const uint8_t* data, size_t size, int bits, int width, int height, std::vector<uint8_t>* indices,
               std::string* error) {
  indices->assign(size_t(width) * size_t(height), 0);
  int64_t x = 0, row = 0;  // row counts from the bottom
  size_t i = 0;
  auto put = [&](uint8_t v) -> bool {
    if (x >= width || row >= height) return false;
    (*indices)[size_t(height - 1 - row) * size_t(width) + size_t(x)] = v;
    ++x;
    return true;
  };
  for (;;) {
    if (i + 2 > size) return Fail(error, "RLE data ends without end of bitmap");
    uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count > 0) {
      for (int k = 0; k < count; ++k) {
        uint8_t v = bits == 8 ? value : uint8_t((k & 1) ? (value & 0x0F) : (value >> 4));
        if (!put(v)) return Fail(error, "RLE run past the row");
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
      continue;
    }
    if (value == 1) break;  // end of bitmap
    if (value == 2) {       // delta
      if (i + 2 > size) return Fail(error, "RLE delta past the data");
      x += data[i];
      row += data[i + 1];
      i += 2;
      if (x > width || row > height || (row == height && x > 0)) return Fail(error, "RLE delta past the image");
      continue;
    }
    // absolute run of `value` pixels, padded to a 16-bit boundary
    size_t bytes = bits == 8 ? value : (size_t(value) + 1) / 2;
    if (i + bytes > size) return Fail(error, "RLE run past the data");
    for (int k = 0; k < value; ++k) {
      uint8_t v = bits == 8 ? data[i + size_t(k)] : uint8_t((k & 1) ? (data[i + size_t(k / 2)] & 0x0F) : (data[i + size_t(k / 2)] >> 4));
      if (!put(v)) return Fail(error, "RLE run past the row");
    }
    i += bytes + (bytes & 1);
    if (i > size) i = size;
  }
  return true;
}

bool ReadHeader(const uint8_t* info, size_t infoSize, Header* h, std::string* error) {
  if (!info || infoSize < 4) return Fail(error, "no bitmap header");
  h->headerSize = Le32(info);
  if (h->headerSize == 12) {
    if (infoSize < 12) return Fail(error, "bitmap header past the data");
    h->core = true;
    h->width = Le16(info + 4);
    h->height = Le16(info + 6);
    if (Le16(info + 8) != 1) return Fail(error, "bitmap planes not 1");
    h->bits = Le16(info + 10);
    return true;
  }
  if (h->headerSize < 40 || h->headerSize > 4096) return Fail(error, "bitmap header of unknown size");
  if (infoSize < h->headerSize) return Fail(error, "bitmap header past the data");
  h->width = int32_t(Le32(info + 4));
  h->height = int32_t(Le32(info + 8));
  if (Le16(info + 12) != 1) return Fail(error, "bitmap planes not 1");
  h->bits = Le16(info + 14);
  h->compression = Le32(info + 16);
  h->clrUsed = Le32(info + 32);
  return true;
}

}  // namespace

size_t DibInfoBytes(const BITMAPINFOHEADER& hdr) {
  if (hdr.biSize == 12) {
    const BITMAPCOREHEADER* c = reinterpret_cast<const BITMAPCOREHEADER*>(&hdr);
    return 12 + (c->bcBitCount <= 8 ? 3 * (size_t(1) << c->bcBitCount) : 0);
  }
  if (hdr.biSize < 40) return 0;
  size_t colours = hdr.biClrUsed;
  if (hdr.biBitCount <= 8 && !colours) colours = size_t(1) << hdr.biBitCount;
  if (hdr.biBitCount <= 8) colours = std::min<size_t>(colours, size_t(1) << hdr.biBitCount);
  else colours = std::min<size_t>(colours, 256);
  size_t masks = (hdr.biCompression == BI_BITFIELDS && hdr.biSize == 40) ? 12 : 0;
  return hdr.biSize + masks + 4 * colours;
}

size_t DibRowsBytes(const BITMAPINFOHEADER& hdr) {
  int64_t w, h;
  int bits;
  if (hdr.biSize == 12) {
    const BITMAPCOREHEADER* c = reinterpret_cast<const BITMAPCOREHEADER*>(&hdr);
    w = c->bcWidth, h = c->bcHeight, bits = c->bcBitCount;
  } else {
    w = hdr.biWidth, h = hdr.biHeight, bits = hdr.biBitCount;
    if (hdr.biCompression == BI_RLE4 || hdr.biCompression == BI_RLE8) return hdr.biSizeImage;
  }
  if (w <= 0 || h == 0 || bits <= 0 || bits > 32) return 0;
  uint64_t rowBytes = ((uint64_t(w) * uint64_t(bits) + 31) / 32) * 4;
  uint64_t total = rowBytes * uint64_t(h < 0 ? -h : h);
  return total > (uint64_t(1) << 40) ? 0 : size_t(total);
}

bool ParseDib(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t rowsSize, DibImage* out,
              std::string* error, uint64_t maxPixels, bool decodeRows) {
  Header h;
  if (!ReadHeader(info, infoSize, &h, error)) return false;
  const int b = h.bits;
  if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) return Fail(error, "unsupported bits per pixel");
  switch (h.compression) {
    case BI_RGB: break;
    case BI_RLE8: if (b != 8) return Fail(error, "RLE8 needs 8 bits"); break;
    case BI_RLE4: if (b != 4) return Fail(error, "RLE4 needs 4 bits"); break;
    case BI_BITFIELDS: if (b != 16 && b != 32) return Fail(error, "bit fields need 16 or 32 bits"); break;
    default: return Fail(error, "unknown compression");
  }
  bool topDown = h.height < 0;
  if (topDown && h.compression != BI_RGB && h.compression != BI_BITFIELDS)
    return Fail(error, "top-down rows must not be compressed");
  int64_t height = topDown ? -h.height : h.height;
  if (h.width <= 0 || height <= 0) return Fail(error, "bad bitmap size");
  if (h.width > 0x7FFFFFFF || height > 0x7FFFFFFF || uint64_t(h.width) * uint64_t(height) > maxPixels)
    return Fail(error, "bitmap too large");

  // colour table (or masks) after the header
  size_t pos = h.headerSize;
  size_t entry = h.core ? 3 : 4;
  uint64_t colours = 0;
  if (b <= 8) {
    colours = h.clrUsed ? h.clrUsed : (uint64_t(1) << b);
    if (colours > (uint64_t(1) << b)) return Fail(error, "more colours than the depth allows");
  } else {
    colours = h.clrUsed;
    if (colours > 256) return Fail(error, "colour count too large");
  }
  DWORD masks[3] = {0x7C00, 0x03E0, 0x001F};
  if (b == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  if (h.compression == BI_BITFIELDS) {
    if (h.headerSize == 40) {
      if (infoSize < pos + 12) return Fail(error, "bit-field masks past the data");
      for (int k = 0; k < 3; ++k) masks[k] = Le32(info + pos + 4 * k);
      pos += 12;
    } else {
      if (h.headerSize < 52) return Fail(error, "bit-field masks missing");
      for (int k = 0; k < 3; ++k) masks[k] = Le32(info + 40 + 4 * k);
    }
    for (DWORD m : masks)
      if (!m) return Fail(error, "empty bit-field mask");
  }
  if (uint64_t(infoSize) < pos + colours * entry) return Fail(error, "colour table past the data");
  out->colours.clear();
  for (uint64_t k = 0; k < colours && b <= 8; ++k) {
    const uint8_t* c = info + pos + k * entry;
    out->colours.push_back((uint32_t(c[2]) << 16) | (uint32_t(c[1]) << 8) | c[0]);
  }
  // indices beyond the table show black
  if (b <= 8) out->colours.resize(size_t(1) << b, 0);

  const int width = int(h.width), rows = int(height);
  out->width = width;
  out->height = rows;
  out->bitsPerPixel = b;
  out->topDown = topDown;
  out->compression = h.compression;
  out->indices.clear();
  out->pixels.clear();
  if (!bits) return Fail(error, "no bitmap rows");

  if (h.compression == BI_RLE4 || h.compression == BI_RLE8) return DecodeRle(bits, rowsSize, b, width, rows, &out->indices, error);

  uint64_t rowBytes = ((uint64_t(width) * uint64_t(b) + 31) / 32) * 4;
  if (rowBytes * uint64_t(rows) > rowsSize) return Fail(error, "bitmap rows past the data");
  if (!decodeRows) return true;
  if (b <= 8)
    out->indices.resize(size_t(width) * size_t(rows));
  else
    out->pixels.resize(size_t(width) * size_t(rows));
  Channel ch[3] = {ChannelOf(masks[0]), ChannelOf(masks[1]), ChannelOf(masks[2])};
  for (int y = 0; y < rows; ++y) {
    const uint8_t* src = bits + size_t(topDown ? y : rows - 1 - y) * size_t(rowBytes);
    if (b <= 8) {
      uint8_t* dst = &out->indices[size_t(y) * size_t(width)];
      for (int x = 0; x < width; ++x) {
        int bit = x * b;
        dst[x] = uint8_t((src[bit / 8] >> (8 - b - bit % 8)) & ((1 << b) - 1));
      }
      continue;
    }
    uint32_t* dst = &out->pixels[size_t(y) * size_t(width)];
    for (int x = 0; x < width; ++x) {
      if (b == 24) {
        const uint8_t* p = src + 3 * size_t(x);
        dst[x] = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        continue;
      }
      uint32_t v = b == 16 ? Le16(src + 2 * size_t(x)) : Le32(src + 4 * size_t(x));
      if (b == 32 && h.compression == BI_RGB) {
        dst[x] = v & 0xFFFFFF;
        continue;
      }
      dst[x] = (uint32_t(ch[0].Get(v, masks[0])) << 16) | (uint32_t(ch[1].Get(v, masks[1])) << 8) | ch[2].Get(v, masks[2]);
    }
  }
  return true;
}

bool ParsePackedDib(std::span<const uint8_t> packed, DibImage* out, std::string* error, uint64_t maxPixels) {
  Header h;
  if (!ReadHeader(packed.data(), packed.size(), &h, error)) return false;
  // where the rows start: after the header, masks and colour table
  size_t pos = h.headerSize;
  if (!h.core && h.compression == BI_BITFIELDS && h.headerSize == 40) pos += 12;
  uint64_t colours = h.bits <= 8 ? (h.clrUsed ? h.clrUsed : (uint64_t(1) << h.bits)) : h.clrUsed;
  if (h.core && h.bits <= 8) colours = uint64_t(1) << h.bits;
  if (colours > 256) return Fail(error, "more colours than the depth allows");
  uint64_t start = pos + colours * (h.core ? 3 : 4);
  if (start > packed.size()) return Fail(error, "colour table past the data");
  return ParseDib(packed.data(), size_t(start), packed.data() + start, packed.size() - size_t(start), out, error,
                  maxPixels);
}

}  // namespace brv::gdi
