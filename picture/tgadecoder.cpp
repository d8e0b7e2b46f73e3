#include "picture/tgadecoder.h"

#include <cstring>

#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// One stored pixel (or colour-map entry) of 8, 15, 16, 24 or 32 bits.
CPixel32 toPixel(const uint8_t* p, int depth, const CPixel32* table) {
  switch (depth) {
    case 8:
      return table ? table[p[0]] : CPixel32(p[0], p[0], p[0], 255);
    case 15:
    case 16: {
      const unsigned v = le16(p);
      const uint8_t alpha = depth == 15 ? 255 : (v & 0x8000) ? 0x80 : 0;
      return CPixel32(static_cast<uint8_t>(((v >> 10) & 31) * 8), static_cast<uint8_t>(((v >> 5) & 31) * 8),
                      static_cast<uint8_t>((v & 31) * 8), alpha);
    }
    case 24:
      return CPixel32(p[2], p[1], p[0], 255);
    default:
      return CPixel32(p[2], p[1], p[0], p[3]);
  }
}

// Run-length packets may run on from one row into the next.
struct RleState {
  int left = 0;    // pixels still due from the present packet
  bool run = false;
  uint8_t pixel[4] = {0, 0, 0, 0};
};

}  // namespace

void CTGADecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>&, int* pDestBPP, CPicSource* source) {
  trace(2, "Decoding TGA.\n");
  const uint8_t* h = source->ReadBytes(18);
  const int idLength = h[0], cmapType = h[1], imageType = h[2];
  const int cmapFirst = le16(h + 3), cmapLength = le16(h + 5), cmapEntrySize = h[7];
  const int width = le16(h + 12), height = le16(h + 14), depth = h[16], descriptor = h[17];
  source->ReadBytes(idLength);

  const bool rle = imageType >= 9;
  if (imageType != 1 && imageType != 2 && imageType != 3 && imageType != 9 && imageType != 10 && imageType != 11)
    raiseError(PL_ERR_FORMAT, "Unknown TGA image type.");
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32)
    raiseError(PL_ERR_FORMAT, "Illegal TGA pixel depth.");

  int destBpp = *pDestBPP;
  if (destBpp == 0) destBpp = depth <= 8 ? 8 : 32;
  if (destBpp != 8 || depth > 8) destBpp = 32;
  *pDestBPP = destBpp;

  // The colour table: the colour map where there is one, else the grey ramp.
  CPixel32 table[256];
  for (int i = 0; i < 256; ++i) table[i] = CPixel32(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 255);
  if (cmapType == 1) {
    const int entrySize = cmapEntrySize == 15 ? 16 : cmapEntrySize;
    if (entrySize != 8 && entrySize != 16 && entrySize != 24 && entrySize != 32)
      raiseError(PL_ERR_FORMAT, "Illegal TGA colour map entry size.");
    for (int i = 0; i < cmapLength; ++i) {
      const uint8_t* e = source->ReadBytes(entrySize / 8);
      // entries beyond the 256 that an 8-bit pixel can reach are read and dropped
      if (cmapFirst + i < 256) table[cmapFirst + i] = toPixel(e, cmapEntrySize == 15 ? 15 : entrySize, nullptr);
    }
  }
  if (imageType == 3 || imageType == 11)
    for (int i = 0; i < 256; ++i) table[i] = CPixel32(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 255);

  // The data must be able to hold the picture before any storage is taken.
  const int pixelBytes = (depth + 7) / 8;
  const uint64_t pixels = uint64_t(width) * height;
  const uint64_t leastBytes = rle ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
  if (leastBytes > uint64_t(source->GetBytesLeft()))
    throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");

  createBitmap(bmp, width, height, destBpp, depth == 16 || depth == 32);
  if (destBpp == 8) bmp->SetPalette(table);
  bmp->Lock(false, true);
  struct Unlocker {
    CWinBmp* b;
    ~Unlocker() { b->Unlock(); }
  } unlocker{bmp};

  RleState state;
  const bool topFirst = (descriptor & 0x20) != 0;
  for (int i = 0; i < height; ++i) {
    uint8_t* line = bmp->GetLine(topFirst ? i : height - 1 - i);
    for (int x = 0; x < width; ++x) {
      const uint8_t* p;
      if (rle) {
        if (state.left == 0) {
          const uint8_t head = source->ReadByte();
          state.run = (head & 0x80) != 0;
          state.left = (head & 0x7F) + 1;
          if (state.run) std::memcpy(state.pixel, source->ReadBytes(pixelBytes), static_cast<size_t>(pixelBytes));
        }
        --state.left;
        p = state.run ? state.pixel : source->ReadBytes(pixelBytes);
      } else {
        p = source->ReadBytes(pixelBytes);
      }
      if (destBpp == 8)
        line[x] = p[0];
      else
        reinterpret_cast<CPixel32*>(line)[x] = toPixel(p, depth, table);
    }
  }
}
