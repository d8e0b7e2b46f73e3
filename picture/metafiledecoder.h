#pragma once
// Windows metafiles (WMF and EMF), drawn by the program's own player into a
// white bitmap.
#include "picture/picdecoder.h"

class CWMFDecoder : public CPicDecoder {
 public:
  // An enhanced metafile when the source's name holds ".EMF" (any case),
  // else a Windows metafile, with or without placeable header.
  void DecodeFromSource(CWinBmp* bmp, std::unique_ptr<CPixel32[]>& pal, int* pDestBPP,
                        CPicSource* source) override;
};
