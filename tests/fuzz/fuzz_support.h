// Shared by the fuzz targets: decode bytes with one decoder at 32 bits and at
// the natural depth; the library's own exceptions are expected results.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include "picture/picdecoder.h"
#include "picture/picture_state.h"
#include "picture/picsource.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

// Bitmaps here hold at most this many pixels (16 MiB at 32 bits per pixel):
// the decoders refuse larger pictures themselves, as they do above 2^27 in
// the program, so that a picture whose data does not bound its size (TIFF,
// run-length BMP, JPEG, metafiles) fits the fuzzer's memory limit with its
// one bitmap.
constexpr uint64_t kFuzzMaxPixels = uint64_t(1) << 22;
inline const bool kFuzzPixelLimit = [] {
	GetPictureState().maxPixels = kFuzzMaxPixels;
	return true;
}();

inline void FuzzDecode(CPicDecoder &decoder, const uint8_t *data, size_t size, const char *name = "Mem")
{
	if (size > INT_MAX)
		return;
	for (int bpp : {32, 0}) {
		CWinBmp bmp;
		CPicSource source;
		source.Open(name, (int)size, data);
		try {
			decoder.MakeBmpFromSource(&source, &bmp, bpp);
		}
		catch (const CTextException &) {
		}
	}
}
