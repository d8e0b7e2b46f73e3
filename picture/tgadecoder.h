#pragma once
// Truevision TGA pictures: raw and run-length encoded, colour-mapped, true
// colour and grey.
#include "picture/picdecoder.h"

class CTGADecoder : public CPicDecoder {
 public:
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;
};
