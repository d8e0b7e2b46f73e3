#pragma once
// ZSoft PCX pictures: 1 bit in up to 4 planes, 2, 4 or 8 bits in 1 or 3
// planes, run-length encoded.
#include "picture/picdecoder.h"

class CPCXDecoder : public CPicDecoder {
 public:
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;
};
