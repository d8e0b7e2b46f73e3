#include "picture/decoder_registry.h"

#include "picture/bmpdecoder.h"
#include "picture/gifdecoder.h"
#include "picture/jpegdecoder.h"
#include "picture/metafiledecoder.h"
#include "picture/pcxdecoder.h"
#include "picture/pgmdecoder.h"
#include "picture/pictdecoder.h"
#include "picture/tgadecoder.h"
#include "picture/tiffdecoder.h"

std::unique_ptr<CPicDecoder> CreateFormatDecoder(PicType type, CAnyPicDecoder& owner) {
  switch (type) {
    case PL_FT_BMP:
      return std::make_unique<CBmpDecoder>();
    case PL_FT_TIFF:
      return std::make_unique<CTIFFDecoder>();
    case PL_FT_JPEG:
      return std::make_unique<CJPEGDecoder>();
    case PL_FT_PICT:
      return std::make_unique<CPictDecoder>(&owner);
    case PL_FT_TGA:
      return std::make_unique<CTGADecoder>();
    case PL_FT_WMF:
      return std::make_unique<CWMFDecoder>();
    case PL_FT_PCX:
      return std::make_unique<CPCXDecoder>();
    case PL_FT_PGM:
      return std::make_unique<CPGMDecoder>();
    case PL_FT_GIF:
      return std::make_unique<CGIFDecoder>();
    default:
      return nullptr;
  }
}
