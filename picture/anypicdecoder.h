#pragma once
// Recognises the format of a file or memory block and hands it to the
// decoder of that format.
#include <memory>

#include "picture/picdecoder.h"

enum PicType {
  PL_FT_UNKNOWN = 0,
  PL_FT_BMP,
  PL_FT_PICT,
  PL_FT_TGA,
  PL_FT_TIFF,
  PL_FT_JPEG,
  PL_FT_WMF,
  PL_FT_EMF,
  PL_FT_PCX,
  PL_FT_PGM,
  PL_FT_GIF,
  PL_FT_PNG,
  PL_FT_EPSTIFF,
  PL_FT_COUNT
};

class CAnyPicDecoder : public CPicDecoder {
 public:
  // Creates the decoders of BMP, PICT, TGA, TIFF, JPEG, WMF (also EMF), PCX,
  // PGM and GIF, in that order, through CreateFormatDecoder.
  CAnyPicDecoder();
  ~CAnyPicDecoder() override;

  // Recognises the format and dispatches: unknown data raises code 8
  // "Unknown file type.", a format without decoder code 6 "Library not
  // compiled for this file type.".
  void MakeBmpFromSource(CPicSource* source, CWinBmp* bmp, int bitsPerPixel = 0) override;
  void DecodeFromSource(CWinBmp*, std::unique_ptr<CPixel32[]>&, int*, CPicSource*) override {}

  // By the name (".WMF", ".EMF" anywhere, any case), then by the first bytes
  // at the source's current position. Reads nothing past the source's end.
  static PicType GetFileFormat(CPicSource* source);

  // The decoder of a format (EMF: the WMF decoder, EPS: the TIFF decoder);
  // null when there is none.
  CPicDecoder* GetDecoder(PicType type) const;

 private:
  std::unique_ptr<CPicDecoder> m_Decoders[PL_FT_COUNT];
};
