#pragma once
// JPEG pictures through libjpeg: float DCT, no fancy upsampling, colour
// delivered four bytes a pixel, a memory source that supplies a fake
// end-of-image marker when the data runs out.
#include "picture/picdecoder.h"

class CJPEGDecoder : public CPicDecoder {
 public:
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;

  // Decodes the bytes from the source's current position on; PICT files
  // with JPEG data inside come here.
  void SetFastUpsampling(bool fast) { m_bFast = fast; }

 private:
  bool m_bFast = true;
};
