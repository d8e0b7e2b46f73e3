#pragma once
// Creates the decoder of one picture format for CAnyPicDecoder.
//
// To add a format: include its decoder's header in decoder_registry.cpp and
// return `std::make_unique<CYourDecoder>()` from the case of its PicType.
// The function is called once per format when a CAnyPicDecoder is made, for
// PL_FT_BMP, PL_FT_PICT, PL_FT_TGA, PL_FT_TIFF, PL_FT_JPEG, PL_FT_WMF,
// PL_FT_PCX, PL_FT_PGM, PL_FT_GIF in that order (EMF goes to the WMF decoder,
// the TIFF preview of EPS to the TIFF decoder). A decoder that needs another
// one (PICT needs JPEG) asks `owner.GetDecoder(PL_FT_JPEG)` when it decodes;
// it must not keep the pointer beyond the owner's life. Returning null makes
// that format raise code 6 "Library not compiled for this file type.".
#include <memory>

#include "picture/anypicdecoder.h"

std::unique_ptr<CPicDecoder> CreateFormatDecoder(PicType type, CAnyPicDecoder& owner);
