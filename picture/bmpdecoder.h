#pragma once
// Reads Windows BMP files.
#include "picture/picdecoder.h"

class CBmpDecoder : public CPicDecoder {
 public:
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;
};
