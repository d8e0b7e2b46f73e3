#pragma once
// TIFF pictures (and the TIFF preview of EPS files) through libtiff, over
// memory with the program's own client procedures.
#include "picture/picdecoder.h"

struct tiff;

class CTIFFDecoder : public CPicDecoder {
 public:
  // Installs the library's error and warning handlers (once per process).
  CTIFFDecoder();

  // Opens the image over the bytes that remain in the source, decodes it and
  // closes it.
  void MakeBmpFromSource(CPicSource* source, CWinBmp* bmp, int bitsPerPixel = 0) override;
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;

  // The text of the library's last error.
  static const char* LastErrorText();

 private:
  void decodeRGBA(CWinBmp* bmp, int* pDestBPP);
  void decodeLoColor(CWinBmp* bmp, int* pDestBPP);

  tiff* m_pTif = nullptr;
};
