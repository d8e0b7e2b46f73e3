#pragma once
// GIF pictures through giflib.
#include "picture/picdecoder.h"

class CGIFDecoder : public CPicDecoder {
 public:
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;
};
