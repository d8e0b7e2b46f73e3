#include "picture/pcxdecoder.h"

#include <vector>

#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

int le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// Largest run-length buffer: the same bound as a bitmap's pixels.
const uint64_t maxDataBytes = uint64_t(1) << 30;

}  // namespace

void CPCXDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>&, int* pDestBPP, CPicSource* source) {
  trace(2, "Decoding PCX.");
  const uint8_t* h = source->ReadBytes(128);
  if (h[0] != 10) raiseError(PL_ERR_WRONG_SIGNATURE, "Error decoding pcx: Not a PCX file.");
  if (h[2] != 1) raiseError(PL_ERR_WRONG_SIGNATURE, "File has unknown encoding scheme.");
  const int bitsPerPixel = h[3];
  const int width = le16(h + 8) - le16(h + 4) + 1;
  const int height = le16(h + 10) - le16(h + 6) + 1;
  const int planes = h[65];
  const int bytesPerLine = le16(h + 66);
  CPixel32 palette[256];
  for (int i = 0; i < 16; ++i) palette[i] = CPixel32(h[16 + 3 * i], h[17 + 3 * i], h[18 + 3 * i], 255);
  for (int i = 16; i < 256; ++i) palette[i] = CPixel32(0, 0, 0, 255);

  if (bitsPerPixel == 1) {
    if (planes > 4) raiseError(PL_ERR_FORMAT, "Can't handle image with more than 4 planes.");
  } else if (bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) {
    if (planes != 1 && planes != 3) raiseError(PL_ERR_FORMAT, "Can't handle bits per pixel image with planes.");
  } else {
    raiseError(PL_ERR_FORMAT, "Can't handle bits per pixel image with planes.");
  }
  if (planes == 3 && bitsPerPixel != 8 && bitsPerPixel != 1)
    raiseError(PL_ERR_FEATURE_UNSUPPORTED, "Can't handle more than 1 bit per pixel.");
  if (width < 1 || height < 1 || planes < 1) raiseError(PL_ERR_FORMAT, "Error decoding pcx: Bad image size.");
  // every plane's row must hold the row's pixels
  if (int64_t(bytesPerLine) * 8 < int64_t(width) * bitsPerPixel)
    raiseError(PL_ERR_FORMAT, "Error decoding pcx: Bytes per line too small.");

  // Run-length data of planes x bytes per line x height bytes; two bytes of
  // data give at most 63, so data that can't hold the picture fails first.
  const uint64_t total = uint64_t(planes) * bytesPerLine * height;
  const uint64_t avail = uint64_t(source->GetBytesLeft());
  if (total > avail / 2 * 63 + (avail & 1)) throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");
  checkPictureSize(width, height);
  if (total > maxDataBytes) raiseError(PL_ERR_NO_MEMORY, "Out of memory.");
  std::vector<uint8_t> data(static_cast<size_t>(total));
  for (size_t i = 0; i < data.size();) {
    uint8_t b = source->ReadByte();
    size_t count = 1;
    if (b > 191) {
      count = b & 0x3F;
      if (count > data.size() - i) raiseError(PL_ERR_FEATURE_UNSUPPORTED, "repeat count spans end of image.");
      b = source->ReadByte();
    }
    for (size_t k = 0; k < count; ++k) data[i++] = b;
  }

  if (bitsPerPixel == 8 && planes == 1) {
    if (source->ReadByte() != 12) raiseError(PL_ERR_FEATURE_UNSUPPORTED, "bad color map signature.");
    const uint8_t* p = source->ReadBytes(768);
    for (int i = 0; i < 256; ++i) palette[i] = CPixel32(p[3 * i], p[3 * i + 1], p[3 * i + 2], 255);
  } else if (bitsPerPixel == 1 && planes == 1 && palette[0] == palette[1]) {
    // A header palette that tells the two colours apart is used (ImageMagick
    // writes white as 0); without one, black and white.
    palette[0] = CPixel32(0, 0, 0, 255);
    palette[1] = CPixel32(255, 255, 255, 255);
  }

  *pDestBPP = 32;
  createBitmap(bmp, width, height, 32, false);
  bmp->Lock(false, true);
  const size_t rowBytes = size_t(planes) * bytesPerLine;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = data.data() + rowBytes * y;
    CPixel32* out = reinterpret_cast<CPixel32*>(bmp->GetLine(y));
    for (int x = 0; x < width; ++x) {
      if (bitsPerPixel == 8 && planes == 3) {
        out[x] = CPixel32(row[x], row[bytesPerLine + x], row[2 * bytesPerLine + x], 255);
        continue;
      }
      int index = 0;
      if (planes == 1) {
        const int bit = x * bitsPerPixel;
        index = (row[bit / 8] >> (8 - bitsPerPixel - bit % 8)) & ((1 << bitsPerPixel) - 1);
      } else {
        for (int pl = 0; pl < planes; ++pl)
          index |= ((row[pl * bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << pl;
      }
      out[x] = palette[index];
    }
  }
  bmp->Unlock();
}
