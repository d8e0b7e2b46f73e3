#include "picture/bmpdecoder.h"

#include <algorithm>
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
  RowWriter(CWinBmp* bmp, const CPixel32* pal) : m_Bmp(bmp), m_Pal(pal), m_Deep(bmp->GetBitsPerPixel() == 32) {}
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
// Rows from the bottom; escape 1 ends the picture and leaves the rows above
// as created.
void decodeRLE8(const RowWriter& writer, CPicSource* source, int w, int h, int limit) {
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;
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
    const int y = h - 1 - row;
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
  // Top-down (negative height) and empty pictures are not read.
  if (info.width <= 0 || info.height <= 0) raiseError(PL_ERR_FORMAT, "Bitmap decoder: Illegal bitmap size.");

  // The palette follows the whole info header, whatever its version.
  pal = std::make_unique<CPixel32[]>(256);
  if (bc <= 8) {
    uint32_t n = clrUsed != 0 ? clrUsed : (1u << bc);
    if (n > 256) raiseError(PL_ERR_FORMAT, "Bitmap decoder: Illegal palette size.");
    trace(2, "Reading palette.\n");
    const uint8_t* p = source->ReadBytes(static_cast<int>(n * 4));
    for (uint32_t i = 0; i < n; ++i) pal[i].Set(p[4 * i + 2], p[4 * i + 1], p[4 * i], 255);
  }
  uint32_t greenMask = 0;
  if (bc == 16 && info.compression != 0) {
    // Headers of 52 bytes or more hold the masks; a 40-byte one is followed by them.
    greenMask = biSize >= 52 ? le32(ih + 44) : le32(source->ReadBytes(12) + 4);
  }
  const int64_t pos = source->GetBytesRead() - start;
  if (int64_t(offBits) > pos) {
    if (int64_t(offBits) - pos > source->GetBytesLeft()) endOfFile();
    source->ReadBytes(static_cast<int>(int64_t(offBits) - pos));
  }

  const bool rle = (bc == 4 || bc == 8) && info.compression != 0;
  const int64_t fileLineBytes = ((int64_t(info.width) * bc + 31) / 32) * 4;
  // Uncompressed rows must all be there before the bitmap is made.
  if (!rle && fileLineBytes * info.height > source->GetBytesLeft()) endOfFile();

  int destBPP = *pDestBPP;
  destBPP = (bc <= 8 && (destBPP == 0 || destBPP == 8)) ? 8 : 32;
  *pDestBPP = destBPP;
  bmp->Create(info.width, info.height, static_cast<uint16_t>(destBPP), false);
  if (destBPP == 8) bmp->SetPalette(pal.get());

  UnlockOnExit lock(bmp);
  const int w = info.width;
  const int h = info.height;
  RowWriter writer(bmp, pal.get());
  const int lineBytes = static_cast<int>(fileLineBytes);

  if (rle && bc == 8) {
    trace(2, "Decoding RLE8-compressed bitmap.\n");
    decodeRLE8(writer, source, w, h, static_cast<int>(fileLineBytes));
  } else if (rle) {
    trace(2, "Decoding RLE4-compressed bitmap.\n");
    decodeRLE4(writer, source, w, h, static_cast<int>(fileLineBytes * 2));
  } else if (bc == 1) {
    trace(2, "Decoding 1 bit per pixel bitmap.\n");
    CPixel32 black(0, 0, 0, 255), white(255, 255, 255, 255);
    for (int row = 0; row < h; ++row) {
      const uint8_t* s = source->ReadBytes(lineBytes);
      uint8_t* line = bmp->GetLine(h - 1 - row);
      for (int x = 0; x < w; ++x) {
        uint8_t bit = (s[x >> 3] >> (7 - (x & 7))) & 1;
        if (destBPP == 32)
          reinterpret_cast<CPixel32*>(line)[x] = bit ? white : black;
        else
          line[x] = bit;
      }
    }
  } else if (bc == 4 || bc == 8) {
    trace(2, bc == 4 ? "Decoding uncompressed 4 bit per pixel bitmap.\n" : "Decoding uncompressed 8 bit per pixel bitmap.\n");
    for (int row = 0; row < h; ++row) {
      const uint8_t* s = source->ReadBytes(lineBytes);
      int y = h - 1 - row;
      for (int x = 0; x < w; ++x) writer.put(y, x, bc == 8 ? s[x] : ((x & 1) ? s[x >> 1] & 0x0F : s[x >> 1] >> 4));
    }
  } else {
    trace(2, "Decoding true-color bitmap.\n");
    const bool is555 = info.compression == 0 || greenMask == 0x3E0;
    for (int row = 0; row < h; ++row) {
      const uint8_t* s = source->ReadBytes(lineBytes);
      CPixel32* d = reinterpret_cast<CPixel32*>(bmp->GetLine(h - 1 - row));
      for (int x = 0; x < w; ++x) {
        if (bc == 16) {
          unsigned v = le16(s + 2 * x);
          uint8_t b = static_cast<uint8_t>(v * 8);
          if (is555)
            d[x].Set(static_cast<uint8_t>((v / 128) & 0xF8), static_cast<uint8_t>((v / 4) & 0xF8), b, 255);
          else
            d[x].Set(static_cast<uint8_t>((v / 256) & 0xF8), static_cast<uint8_t>((v / 8) & 0xF8), b, 255);
        } else if (bc == 24) {
          d[x].Set(s[3 * x + 2], s[3 * x + 1], s[3 * x], 255);
        } else {
          std::memcpy(&d[x], s + 4 * x, 4);
        }
      }
    }
  }
  trace(2, "Decoding finished.\n");
}
