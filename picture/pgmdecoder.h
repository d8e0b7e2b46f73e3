#pragma once
// Portable grey maps: P2 (decimal text) and P5 (raw bytes).
#include "picture/picdecoder.h"

class CPGMDecoder : public CPicDecoder {
 public:
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;
};
