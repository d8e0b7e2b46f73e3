#include "picture/pgmdecoder.h"

#include "picture/picsource.h"
#include "picture/winbmp.h"

namespace {

bool isSpace(uint8_t c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; }

// The next decimal number; spaces and comments ("#" to the end of the line)
// before it are skipped. Values saturate instead of overflowing.
unsigned readNumber(CPicSource* source, bool comments) {
  uint8_t c = source->ReadByte();
  for (;;) {
    if (comments && c == '#') {
      while (c != '\n' && c != '\r') c = source->ReadByte();
    } else if (!isSpace(c)) {
      break;
    }
    c = source->ReadByte();
  }
  unsigned v = 0;
  while (c >= '0' && c <= '9') {
    v = v > 100000000u ? 1000000000u : v * 10 + (c - '0');
    if (source->GetBytesLeft() == 0) return v;
    c = source->ReadByte();
  }
  return v;
}

}  // namespace

void CPGMDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>&, int* pDestBPP, CPicSource* source) {
  trace(2, "Decoding PGM.\n");
  const uint8_t* id = source->ReadBytes(2);
  if (id[0] != 'P' || (id[1] != '2' && id[1] != '5'))
    raiseError(PL_ERR_FORMAT, "PGM decoder: Is not the correct identifier P5 or P2.");
  const bool raw = id[1] == '5';
  const unsigned width = readNumber(source, true);
  const unsigned height = readNumber(source, true);
  unsigned maxval = readNumber(source, true);
  if (maxval < 1 || maxval > 65535) maxval = 255;
  // Samples above 255 take two bytes, the high byte first.
  const unsigned sampleBytes = raw && maxval > 255 ? 2 : 1;

  // The data must be able to hold the picture before any storage is taken:
  // the bytes of a sample, or a digit and a space.
  const uint64_t samples = uint64_t(width) * height;
  const uint64_t leastBytes = raw ? samples * sampleBytes : samples > 0 ? 2 * samples - 1 : 0;
  if (width > 0x7fffffff || height > 0x7fffffff || leastBytes > uint64_t(source->GetBytesLeft()))
    throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n");

  if (*pDestBPP != 8) *pDestBPP = *pDestBPP == 0 ? 8 : 32;
  const int destBpp = *pDestBPP;
  // a picture without columns has no rows either
  if (samples == 0) {
    bmp->Create(0, 0, static_cast<uint16_t>(destBpp), false);
    return;
  }
  createBitmap(bmp, width, height, destBpp, false);
  bmp->Lock(false, true);
  for (unsigned y = 0; y < height; ++y) {
    const uint8_t* row = raw ? source->ReadBytes(static_cast<int>(width * sampleBytes)) : nullptr;
    uint8_t* line = bmp->GetLine(static_cast<int>(y));
    for (unsigned x = 0; x < width; ++x) {
      unsigned v = !raw ? readNumber(source, false) : sampleBytes == 2 ? unsigned(row[2 * x]) << 8 | row[2 * x + 1] : row[x];
      // samples above the maximum are taken as the maximum
      if (v > maxval) v = maxval;
      const uint8_t grey = static_cast<uint8_t>(v * 255 / maxval);
      if (destBpp == 8)
        line[x] = grey;
      else
        reinterpret_cast<CPixel32*>(line)[x] = CPixel32(grey, grey, grey, 255);
    }
  }
  bmp->Unlock();
}
