#include "picture/picdecoder.h"

#include <cstdarg>
#include <string>

#include "picture/picsource.h"
#include "picture/picture_state.h"
#include "picture/winbmp.h"

CPicDecoder::~CPicDecoder() { PLSetTraceFile(nullptr); }

void CPicDecoder::MakeBmpFromFile(const char* path, CWinBmp* bmp, int bitsPerPixel,
                                  CProgressNotification* notification) {
  PLTrace(1, "--- Decoding file %s. ---\n", path);
  CPicFileSource source(notification);
  int err = source.Open(path);
  if (err != 0) raiseError(err, "Opening %s failed", path);
  MakeBmpFromSource(&source, bmp, bitsPerPixel);
  source.Close();
}

void CPicDecoder::MakeBmpFromMemory(const uint8_t* data, int size, CWinBmp* bmp, int bitsPerPixel) {
  PLTrace(1, "--- Decoding from memory at %p. ---\n", static_cast<const void*>(data));
  CPicMemSource source;
  int err = source.Open(data, size);
  if (err != 0) raiseError(err, "Reading from memory at %p failed", static_cast<const void*>(data));
  MakeBmpFromSource(&source, bmp, bitsPerPixel);
  source.Close();
}

void CPicDecoder::MakeBmpFromSource(CPicSource* source, CWinBmp* bmp, int bitsPerPixel) {
  std::unique_ptr<CPixel32[]> pal;
  int bpp = bitsPerPixel;
  DecodeFromSource(bmp, pal, &bpp, source);
}

void CPicDecoder::raiseError(int code, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string message = PLVFormat(fmt, args);
  va_end(args);
  PLRaiseMessage(code, message);
}

void CPicDecoder::trace(int level, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  PLVTrace(level, fmt, args);
  va_end(args);
}

bool PLBitmapSizeOk(uint64_t width, uint64_t height) {
  const uint64_t most = GetPictureState().maxPixels;
  width = width ? width : 1;
  height = height ? height : 1;
  return width <= most && height <= most && width * height <= most;
}

bool PLPictureSizeOk(uint64_t width, uint64_t height) {
  return (width == 0) == (height == 0) && PLBitmapSizeOk(width, height);
}

void CPicDecoder::checkPictureSize(int64_t width, int64_t height) {
  if (width < 0 || height < 0 || !PLPictureSizeOk(uint64_t(width), uint64_t(height)))
    throw CTextException(PL_ERR_NO_MEMORY, "Out of memory creating bitmap.");
}

void CPicDecoder::createBitmap(CWinBmp* bmp, int64_t width, int64_t height, int bitsPerPixel, bool alpha) {
  checkPictureSize(width, height);
  bmp->Create(static_cast<int>(width), static_cast<int>(height), static_cast<uint16_t>(bitsPerPixel), alpha);
}
