// Shared by the fuzz targets: decode bytes with one decoder at 32 bits and at
// the natural depth; the library's own exceptions are expected results.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>

#include "picture/picdecoder.h"
#include "picture/picsource.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

// TIFF pictures above this many pixels are not decoded: libtiff's codecs
// give no bound from the data size, and the bitmap would take most of the
// fuzzer's memory and time for nothing new.
constexpr uint64_t kFuzzMaxPixels = uint64_t(1) << 22;

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

inline uint32_t FuzzLe16(const uint8_t *p) { return p[0] | (p[1] << 8); }
inline uint32_t FuzzBe16(const uint8_t *p) { return (p[0] << 8) | p[1]; }
inline uint32_t FuzzBe32(const uint8_t *p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
