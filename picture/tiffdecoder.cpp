#include "picture/tiffdecoder.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "picture/picsource.h"
#include "picture/pictrace.h"
#include "picture/winbmp.h"

namespace {

// The library's last error, formatted by its error handler.
char errorText[260] = "";

void errorHandler(const char* module, const char* fmt, va_list args) {
  int n = std::vsnprintf(errorText, sizeof errorText - 1, fmt, args);
  size_t len = n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof errorText - 2);
  errorText[len] = '\n';
  errorText[len + 1] = '\0';
  PLTrace(0, "%s", errorText);
}

void warningHandler(const char* module, const char* fmt, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, args);
  if (module)
    PLTrace(2, "Warning in LIBTIFF(%s): %s\n", module, text);
  else
    PLTrace(2, "Warning in LIBTIFF: %s\n", text);
}

// The picture's bytes, read only.
struct MemClient {
  const uint8_t* data;
  int64_t pos;
  int64_t size;
};

tmsize_t readProc(thandle_t h, void* buf, tmsize_t n) {
  auto* c = static_cast<MemClient*>(h);
  if (n <= 0 || c->pos >= c->size) return 0;
  int64_t count = std::min<int64_t>(n, c->size - c->pos);
  std::memcpy(buf, c->data + c->pos, static_cast<size_t>(count));
  c->pos += count;
  return static_cast<tmsize_t>(count);
}

// The data belongs to the caller and is never written.
tmsize_t writeProc(thandle_t, void*, tmsize_t) { return 0; }

// Positions stay inside the data.
toff_t seekProc(thandle_t h, toff_t off, int whence) {
  auto* c = static_cast<MemClient*>(h);
  int64_t offset = static_cast<int64_t>(off);
  int64_t base = whence == SEEK_CUR ? c->pos : whence == SEEK_END ? c->size : 0;
  int64_t pos;
  if (whence == SEEK_SET)
    pos = off > static_cast<toff_t>(c->size) ? c->size : offset;
  else
    pos = base + offset;
  c->pos = std::clamp<int64_t>(pos, 0, c->size);
  return static_cast<toff_t>(c->pos);
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return static_cast<toff_t>(static_cast<MemClient*>(h)->size); }
int mapProc(thandle_t, void**, toff_t*) { return 0; }
void unmapProc(thandle_t, void*, toff_t) {}

}  // namespace

CTIFFDecoder::CTIFFDecoder() {
  static const bool installed = [] {
    TIFFSetErrorHandler(errorHandler);
    TIFFSetWarningHandler(warningHandler);
    return true;
  }();
  (void)installed;
}

const char* CTIFFDecoder::LastErrorText() { return errorText; }

void CTIFFDecoder::MakeBmpFromSource(CPicSource* source, CWinBmp* bmp, int bitsPerPixel) {
  const int avail = source->GetBytesLeft();
  MemClient client{source->ReadBytes(avail), 0, avail};
  errorText[0] = '\0';
  TIFF* tif = TIFFClientOpen("MemSource", "r", &client, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                             unmapProc);
  if (!tif) raiseError(PL_ERR_WRONG_SIGNATURE, "%s", errorText);
  struct Closer {
    TIFF* t;
    ~Closer() { TIFFClose(t); }
  } closer{tif};
  m_pTif = tif;
  std::unique_ptr<CPixel32[]> pal;
  int bpp = bitsPerPixel;
  try {
    DecodeFromSource(bmp, pal, &bpp, source);
  } catch (...) {
    m_pTif = nullptr;
    throw;
  }
  m_pTif = nullptr;
}

void CTIFFDecoder::DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>&, int* pDestBPP, CPicSource*) {
  if (!m_pTif) raiseError(PL_ERR_WRONG_SIGNATURE, "No TIFF image is open.");
  uint16_t bitsPerSample = 1, samplesPerPixel = 1;
  TIFFGetFieldDefaulted(m_pTif, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
  TIFFGetFieldDefaulted(m_pTif, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  if (samplesPerPixel > 1 || bitsPerSample > 8 || *pDestBPP == 32 || TIFFIsTiled(m_pTif))
    decodeRGBA(bmp, pDestBPP);
  else
    decodeLoColor(bmp, pDestBPP);
}

void CTIFFDecoder::decodeRGBA(CWinBmp* bmp, int* pDestBPP) {
  *pDestBPP = 32;
  char emsg[1024] = "";
  TIFFRGBAImage img;
  if (!TIFFRGBAImageBegin(&img, m_pTif, 0, emsg)) raiseError(PL_ERR_WRONG_SIGNATURE, "%s", emsg);
  struct Ender {
    TIFFRGBAImage* i;
    ~Ender() { TIFFRGBAImageEnd(i); }
  } ender{&img};

  const uint32_t width = img.width, height = img.height;
  if (!PLPictureSizeOk(width, height)) raiseError(PL_ERR_NO_MEMORY, "Out of memory allocating TIFF buffer.");
  createBitmap(bmp, width, height, 32, img.alpha != 0);
  if (width == 0 || height == 0) return;
  // libtiff fills the raster bottom row first, as the bitmap keeps its rows
  // (32-bit rows need no padding): it is read straight into the bitmap and
  // turned into pixels in place, with no second picture in memory.
  bmp->Lock(false, true);
  struct Unlocker {
    CWinBmp* b;
    ~Unlocker() { b->Unlock(); }
  } unlocker{bmp};
  uint8_t* bits = bmp->GetLine(static_cast<int>(height - 1));
  if (!TIFFRGBAImageGet(&img, reinterpret_cast<uint32_t*>(bits), width, height))
    raiseError(PL_ERR_WRONG_SIGNATURE, "%s", errorText);
  const size_t pixels = static_cast<size_t>(width) * height;
  for (size_t i = 0; i < pixels; ++i) {
    uint32_t v;
    std::memcpy(&v, bits + 4 * i, 4);
    const CPixel32 p(TIFFGetR(v), TIFFGetG(v), TIFFGetB(v), TIFFGetA(v));
    std::memcpy(bits + 4 * i, &p, 4);
  }
}

void CTIFFDecoder::decodeLoColor(CWinBmp* bmp, int* pDestBPP) {
  uint32_t width = 0, height = 0;
  uint16_t bps = 1, spp = 1, photometric = 0;
  TIFFGetField(m_pTif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(m_pTif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(m_pTif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(m_pTif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetField(m_pTif, TIFFTAG_PHOTOMETRIC, &photometric);
  const tmsize_t scanlineSize = TIFFScanlineSize(m_pTif);
  if (width > 0x7fffffff || height > 0x7fffffff || bps == 0 || bps > 8)
    raiseError(PL_ERR_FORMAT, "unexpected bit-depth in CTIFFDecoder::DoLoColor()");

  const int depth = (bps == 1 && spp == 1) ? 1 : 8;
  *pDestBPP = depth;
  createBitmap(bmp, width, height, depth, false);

  const int nColors = 1 << bps;
  std::vector<CPixel32> palette(static_cast<size_t>(nColors), CPixel32(0, 0, 0, 255));
  const int step = 255 / (nColors - 1);
  if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK) {
    for (int i = 0; i < nColors; ++i) {
      int v = photometric == PHOTOMETRIC_MINISBLACK ? step * i : 255 - step * i;
      palette[static_cast<size_t>(i)].Set(static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v), 255);
    }
  } else if (photometric == PHOTOMETRIC_PALETTE) {
    uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(m_pTif, TIFFTAG_COLORMAP, &r, &g, &b) && r && g && b) {
      bool wide = false;
      for (int i = 0; i < nColors; ++i) wide = wide || r[i] >= 256 || g[i] >= 256 || b[i] >= 256;
      auto scale = [wide](uint16_t v) { return static_cast<uint8_t>(wide ? v * 255u / 65535u : v); };
      for (int i = 0; i < nColors; ++i)
        palette[static_cast<size_t>(i)].Set(scale(r[i]), scale(g[i]), scale(b[i]), 255);
    }
  } else {
    trace(2, "unexpected PhotometricInterpretation in CTIFFDecoder::DoLoColor()");
  }

  std::vector<uint8_t> buf(static_cast<size_t>(std::max<tmsize_t>(scanlineSize, 1)));
  const size_t lineBytes = static_cast<size_t>(bmp->GetLineBytes());
  bmp->Lock(false, true);
  struct Unlocker {
    CWinBmp* b;
    ~Unlocker() { b->Unlock(); }
  } unlocker{bmp};
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(m_pTif, buf.data(), y, 0) < 0) {
      // a few bad rows at the end are passed over
      if (y < height / 3) raiseError(PL_ERR_FEATURE_UNSUPPORTED, "%s", errorText);
      continue;
    }
    uint8_t* line = bmp->GetLine(static_cast<int>(y));
    if (bps == 4) {
      for (uint32_t x = 0; x < width && x / 2 < buf.size(); ++x)
        line[x] = (x & 1) ? (buf[x / 2] & 15) : (buf[x / 2] >> 4);
    } else {
      std::memcpy(line, buf.data(), std::min(buf.size(), lineBytes));
    }
  }
  for (int i = 0; i < nColors && i < bmp->GetNumColors(); ++i) bmp->SetPaletteEntry(i, palette[static_cast<size_t>(i)]);
}
