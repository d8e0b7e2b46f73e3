#include "picture/bmpdecoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

[[noreturn]] void endOfFile() { throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n"); }

struct BmpInfo {
  int width;
  int height;
  int bitCount;
  uint32_t compression;
};

// Writes palette indices into a bitmap row at 8 or 32 bits.
class RowWriter {
 public:
  RowWriter(CWinBmp* bmp, const CPixel32* pal, bool topDown)
      : m_Bmp(bmp), m_Pal(pal), m_Deep(bmp->GetBitsPerPixel() == 32), m_TopDown(topDown) {}
  // Bitmap row of the file's row r (rows are stored bottom row first, or top
  // row first in top-down files).
  int rowOf(int r) const { return m_TopDown ? r : m_Bmp->GetHeight() - 1 - r; }
  void put(int y, int x, uint8_t index) const {
    if (m_Deep)
      reinterpret_cast<CPixel32*>(m_Bmp->GetLine(y))[x] = m_Pal[index];
    else
      m_Bmp->GetLine(y)[x] = index;
  }

 private:
  CWinBmp* m_Bmp;
  const CPixel32* m_Pal;
  bool m_Deep;
  bool m_TopDown;
};

// One channel of a bit-field pixel: the bits of its mask, widened or cut to
// the byte from their top (5 bits x 8 as in the classic 16-bit layouts, a
// 1-bit alpha 0x80 as in TGA files).
class BitField {
 public:
  BitField() = default;
  explicit BitField(uint32_t mask) : m_Mask(mask) {
    if (mask == 0) return;
    while (!(mask & 1)) {
      mask >>= 1;
      ++m_Shift;
    }
    while (mask) {
      mask >>= 1;
      ++m_Bits;
    }
  }
  uint8_t get(uint32_t value, uint8_t none) const {
    if (m_Bits == 0) return none;
    const uint32_t v = (value & m_Mask) >> m_Shift;
    return static_cast<uint8_t>(m_Bits >= 8 ? v >> (m_Bits - 8) : v << (8 - m_Bits));
  }

 private:
  uint32_t m_Mask = 0;
  int m_Shift = 0;
  int m_Bits = 0;
};

struct BitFields {
  BitField red, green, blue, alpha;
};

class UnlockOnExit {
 public:
  explicit UnlockOnExit(CWinBmp* bmp) : m_Bmp(bmp) { m_Bmp->Lock(false, true); }
  ~UnlockOnExit() { m_Bmp->Unlock(); }

 private:
  CWinBmp* m_Bmp;
};

[[noreturn]] void runPastRow() { PLRaiseError(PL_ERR_FORMAT, "Bitmap decoder: RLE run passes the end of a row."); }

// Encoders may run into the row's padding (ImageMagick encodes the padded
// row), so runs may reach `limit`, the padded row length in pixels; what lies
// beyond the width is dropped and a run past the padding is refused.
//
// Rows in the file's order; escape 1 ends the picture and leaves the rows
// still to come as created.
void decodeRLE8(const RowWriter& writer, CPicSource* source, int w, int h, int limit) {
  for (int row = 0; row < h; ++row) {
    const int y = writer.rowOf(row);
    int x = 0;
    for (;;) {
      int n = source->ReadByte();
      if (n > 0) {
        uint8_t v = source->ReadByte();
        if (n > limit - x) runPastRow();
        for (int i = 0; i < n; ++i, ++x)
          if (x < w) writer.put(y, x, v);
        continue;
      }
      int e = source->ReadByte();
      if (e == 0) break;
      if (e == 1) return;
      if (e == 2) PLRaiseError(PL_ERR_NOT_SUPPORTED, "Encountered delta escape.");
      const uint8_t* p = source->ReadBytes(e);
      if (e > limit - x) runPastRow();
      for (int i = 0; i < e; ++i, ++x)
        if (x < w) writer.put(y, x, p[i]);
      if (e & 1) source->ReadByte();
    }
  }
}

// Like RLE8 with nibbles, high first, gathered in a row buffer; escape 1
// ends the picture after the current row.
void decodeRLE4(const RowWriter& writer, CPicSource* source, int w, int h, int limit) {
  std::vector<uint8_t> buf(static_cast<size_t>(limit));
  for (int row = 0; row < h; ++row) {
    const int y = writer.rowOf(row);
    std::fill(buf.begin(), buf.end(), 0);
    int x = 0;
    bool last = false;
    for (;;) {
      int n = source->ReadByte();
      if (n > 0) {
        uint8_t v = source->ReadByte();
        if (n > limit - x) runPastRow();
        for (int i = 0; i < n; ++i) buf[x++] = (i & 1) ? (v & 0x0F) : (v >> 4);
        continue;
      }
      int e = source->ReadByte();
      if (e == 0) break;
      if (e == 1) {
        last = true;
        break;
      }
      if (e == 2) PLRaiseError(PL_ERR_NOT_SUPPORTED, "Encountered delta escape.");
      int bytes = (e + 1) / 2;
      const uint8_t* p = source->ReadBytes(bytes);
      if (e > limit - x) runPastRow();
      for (int i = 0; i < e; ++i) buf[x++] = (i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4);
      if (bytes & 1) source->ReadByte();
    }
    for (int i = 0; i < w; ++i) writer.put(y, i, buf[i]);
    if (last) return;
  }
}

}  // namespace

void CBmpDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                                   CPicSource* source) {
  const int start = source->GetBytesRead();
  const uint8_t* fileHeader = source->ReadBytes(14);
  if (fileHeader[0] != 'B' || fileHeader[1] != 'M') raiseError(PL_ERR_WRONG_SIGNATURE, "Bitmap decoder: This isn't a bitmap.");
  trace(2, "Bitmap file signature found\n");
  const uint32_t offBits = le32(fileHeader + 10);

  // The info header's size decides how much follows; older 12-byte headers
  // are refused before anything else is read.
  const uint32_t biSize = le32(source->PeekBytes(4));
  if (biSize < 40) raiseError(PL_ERR_FORMAT, "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
  if (biSize > uint32_t(source->GetBytesLeft())) endOfFile();
  const uint8_t* ih = source->ReadBytes(static_cast<int>(biSize));
  BmpInfo info{static_cast<int32_t>(le32(ih + 4)), static_cast<int32_t>(le32(ih + 8)), le16(ih + 14), le32(ih + 16)};
  const uint32_t clrUsed = le32(ih + 32);
  trace(2, "Bitmap header is ok.\n");

  const int bc = info.bitCount;
  if (bc != 1 && bc != 4 && bc != 8 && bc != 16 && bc != 24 && bc != 32)
    raiseError(PL_ERR_FORMAT, "Decoding bmp: Illegal bpp value.");
  // A negative height stores the rows top row first.
  const bool topDown = info.height < 0 && info.height != INT32_MIN;
  if (topDown) info.height = -info.height;
  if (info.width <= 0 || info.height <= 0) raiseError(PL_ERR_FORMAT, "Bitmap decoder: Illegal bitmap size.");

  // The palette follows the whole info header, whatever its version.
  pal = std::make_unique<CPixel32[]>(256);
  if (bc <= 8) {
    uint32_t n = clrUsed != 0 ? clrUsed : (1u << bc);
    if (n > 256) raiseError(PL_ERR_FORMAT, "Bitmap decoder: Illegal palette size.");
    trace(2, "Reading palette.\n");
    const uint8_t* p = source->ReadBytes(static_cast<int>(n * 4));
    for (uint32_t i = 0; i < n; ++i) pal[i].Set(p[4 * i + 2], p[4 * i + 1], p[4 * i], 255);
    // A 1-bit file whose palette does not tell its two colours apart is
    // black and white.
    if (bc == 1 && (n < 2 || pal[0] == pal[1])) {
      pal[0] = CPixel32(0, 0, 0, 255);
      pal[1] = CPixel32(255, 255, 255, 255);
    }
  }

  // Bit fields: the masks of red, green, blue (and alpha) as the file gives
  // them. Headers of 52 bytes or more hold them (56 and more the alpha mask
  // too); a 40-byte one is followed by them. Plain 16-bit files are 5-5-5.
  const bool alphaFields = info.compression == 6;
  const bool useFields = (bc == 16 && info.compression != 0) || (bc == 32 && (info.compression == 3 || alphaFields));
  BitFields fields;
  if (bc == 16 && !useFields) fields = {BitField(0x7C00), BitField(0x3E0), BitField(0x1F), BitField()};
  if (useFields) {
    uint32_t masks[4] = {0, 0, 0, 0};
    if (biSize >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = le32(ih + 40 + 4 * i);
      if (biSize >= 56) masks[3] = le32(ih + 52);
    } else {
      const int n = alphaFields ? 4 : 3;
      const uint8_t* p = source->ReadBytes(4 * n);
      for (int i = 0; i < n; ++i) masks[i] = le32(p + 4 * i);
    }
    // Without colour masks the classic layout stands.
    if (masks[0] == 0 && masks[1] == 0 && masks[2] == 0) {
      if (bc == 16) {
        masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F;
      } else {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
      }
    }
    fields = {BitField(masks[0]), BitField(masks[1]), BitField(masks[2]), BitField(masks[3])};
  }
  const int64_t pos = source->GetBytesRead() - start;
  if (int64_t(offBits) > pos) {
    if (int64_t(offBits) - pos > source->GetBytesLeft()) endOfFile();
    source->ReadBytes(static_cast<int>(int64_t(offBits) - pos));
  }

  const bool rle = (bc == 4 || bc == 8) && info.compression != 0;
  const int64_t fileLineBytes = ((int64_t(info.width) * bc + 31) / 32) * 4;
  // Uncompressed rows must all be there before the bitmap is made (the
  // product of a huge width and height would not fit in 64 bits).
  if (!rle && fileLineBytes > source->GetBytesLeft() / info.height) endOfFile();

  int destBPP = *pDestBPP;
  destBPP = (bc <= 8 && (destBPP == 0 || destBPP == 8)) ? 8 : 32;
  *pDestBPP = destBPP;
  createBitmap(bmp, info.width, info.height, destBPP, false);
  if (destBPP == 8) bmp->SetPalette(pal.get());

  UnlockOnExit lock(bmp);
  const int w = info.width;
  const int h = info.height;
  RowWriter writer(bmp, pal.get(), topDown);
  const int lineBytes = static_cast<int>(fileLineBytes);

  if (rle && bc == 8) {
    trace(2, "Decoding RLE8-compressed bitmap.\n");
    decodeRLE8(writer, source, w, h, static_cast<int>(fileLineBytes));
  } else if (rle) {
    trace(2, "Decoding RLE4-compressed bitmap.\n");
    decodeRLE4(writer, source, w, h, static_cast<int>(fileLineBytes * 2));
  } else if (bc <= 8) {
    trace(2, bc == 1   ? "Decoding 1 bit per pixel bitmap.\n"
             : bc == 4 ? "Decoding uncompressed 4 bit per pixel bitmap.\n"
                       : "Decoding uncompressed 8 bit per pixel bitmap.\n");
    for (int row = 0; row < h; ++row) {
      const uint8_t* s = source->ReadBytes(lineBytes);
      const int y = writer.rowOf(row);
      for (int x = 0; x < w; ++x) {
        const uint8_t index = bc == 8   ? s[x]
                              : bc == 4 ? ((x & 1) ? s[x >> 1] & 0x0F : s[x >> 1] >> 4)
                                        : (s[x >> 3] >> (7 - (x & 7))) & 1;
        writer.put(y, x, index);
      }
    }
  } else {
    trace(2, "Decoding true-color bitmap.\n");
    for (int row = 0; row < h; ++row) {
      const uint8_t* s = source->ReadBytes(lineBytes);
      CPixel32* d = reinterpret_cast<CPixel32*>(bmp->GetLine(writer.rowOf(row)));
      for (int x = 0; x < w; ++x) {
        if (bc == 24) {
          d[x].Set(s[3 * x + 2], s[3 * x + 1], s[3 * x], 255);
        } else if (bc == 32 && !useFields) {
          std::memcpy(&d[x], s + 4 * x, 4);
        } else {
          const uint32_t v = bc == 16 ? le16(s + 2 * x) : le32(s + 4 * x);
          d[x].Set(fields.red.get(v, 0), fields.green.get(v, 0), fields.blue.get(v, 0), fields.alpha.get(v, 255));
        }
      }
    }
  }
  trace(2, "Decoding finished.\n");
}
