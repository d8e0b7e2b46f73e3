#pragma once
// Base of encoders, and the BMP encoder.
#include "picture/plobject.h"

class CBaseBmp;
class CPicSink;

class CPicEncoder : public CPLObject {
 public:
  // Writes the bitmap as a file; throws CTextException on failure.
  virtual void MakeFileFromBmp(const char* path, const CBaseBmp* bmp) = 0;
  // Runs EncodeBitmap.
  virtual void WriteToSink(const CBaseBmp* bmp, CPicSink* sink);
  virtual void EncodeBitmap(const CBaseBmp* bmp, CPicSink* sink) = 0;
};

class CBmpEncoder : public CPicEncoder {
 public:
  // Buffer of the bitmap's memory size (x 1.2 above 19,999 bytes, else plus
  // 4,096); code -1 "Opening %s failed" when the file can't be created.
  void MakeFileFromBmp(const char* path, const CBaseBmp* bmp) override;
  // Depths up to 8 as they are with their 2^bpp palette, deeper ones as 24
  // bits.
  void EncodeBitmap(const CBaseBmp* bmp, CPicSink* sink) override;
};
