#pragma once
// Base of every format decoder.
//
// A format decoder implements DecodeFromSource:
//   - *pDestBPP in: 0 asks for the format's natural depth (8 for pictures of
//     up to 8 bits per pixel, 32 otherwise), 32 for true colour, 8 is
//     honoured only for palette pictures; out: the depth made.
//   - It creates the bitmap itself (CWinBmp::Create), sets its palette at 8
//     bits, and Lock(false, true)s it while filling the rows, Unlock()ing at
//     the end.
//   - A palette it allocates goes into `pal`, which the caller frees.
//   - It reads only through the source (ReadBytes/PeekBytes check the end and
//     throw code 11), checks every size and count it reads before use, and
//     raises its own errors with raiseError (code, printf format), which
//     throws CTextException with "Decoder error: <message>\n".
#include <cstdint>
#include <memory>

#include "picture/pictrace.h"
#include "picture/pixel32.h"
#include "picture/plobject.h"
#include "picture/textexception.h"

class CWinBmp;
class CPicSource;

// Whether a picture of that size may be made: at most the picture state's
// pixels (2^27 unless set lower), and a side of 0 pixels only with the
// other one 0 too.
bool PLPictureSizeOk(uint64_t width, uint64_t height);
// Whether a bitmap of that size may be held: as above, a side of 0 counted
// as 1 (its rows or columns still cost).
bool PLBitmapSizeOk(uint64_t width, uint64_t height);
class CProgressNotification;

class CPicDecoder : public CPLObject {
 public:
  CPicDecoder() = default;
  // Clears the trace file path.
  ~CPicDecoder() override;

  // Decodes the file into bmp; the path may be Windows-style. Throws
  // CTextException; opening failures carry "Opening %s failed".
  virtual void MakeBmpFromFile(const char* path, CWinBmp* bmp, int bitsPerPixel = 0,
                               CProgressNotification* notification = nullptr);
  virtual void MakeBmpFromMemory(const uint8_t* data, int size, CWinBmp* bmp, int bitsPerPixel = 0);
  virtual void MakeBmpFromSource(CPicSource* source, CWinBmp* bmp, int bitsPerPixel = 0);

  virtual void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                                CPicSource* source) = 0;

 protected:
  [[noreturn]] static void raiseError(int code, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  static void trace(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // A picture above the limit is refused with code 10, as the bitmap refuses
  // storage it can't have.
  static void checkPictureSize(int64_t width, int64_t height);
  // Creates the bitmap after that check.
  static void createBitmap(CWinBmp* bmp, int64_t width, int64_t height, int bitsPerPixel, bool alpha);
};
