// Shared by the fuzz targets: decode bytes with one decoder at 32 bits and at
// the natural depth; the library's own exceptions are expected results.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "picture/picdecoder.h"
#include "picture/picsource.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

// Pictures whose size the data does not bound (TIFF, whose codecs give no
// bound, and run-length BMP, which may leave rows unset) are not decoded
// above this many pixels: the bitmap would take most of the fuzzer's memory
// and time for nothing new. Every other format decodes whatever it claims.
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
inline uint32_t FuzzLe32(const uint8_t *p) { return FuzzLe16(p) | (FuzzLe16(p + 2) << 16); }
inline uint32_t FuzzBe16(const uint8_t *p) { return (p[0] << 8) | p[1]; }
inline uint32_t FuzzBe32(const uint8_t *p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

namespace fuzz_tiff {

struct Mem {
  const uint8_t *data;
  toff_t size, pos;
};

inline tmsize_t readMem(thandle_t h, void *buf, tmsize_t n) {
  auto *m = static_cast<Mem *>(h);
  const toff_t count = std::min<toff_t>(toff_t(n), m->size - std::min(m->pos, m->size));
  memcpy(buf, m->data + m->pos, count);
  m->pos += count;
  return tmsize_t(count);
}
inline tmsize_t writeMem(thandle_t, void *, tmsize_t) { return 0; }
inline toff_t seekMem(thandle_t h, toff_t off, int whence) {
  auto *m = static_cast<Mem *>(h);
  const toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
  m->pos = std::min<toff_t>(base + off, m->size);
  return m->pos;
}
inline int closeMem(thandle_t) { return 0; }
inline toff_t sizeMem(thandle_t h) { return static_cast<Mem *>(h)->size; }
inline int mapMem(thandle_t, void **, toff_t *) { return 0; }
inline void unmapMem(thandle_t, void *, toff_t) {}

}  // namespace fuzz_tiff

// Width x height of the first image of a TIFF, 0 when libtiff can't open it
// (install the decoder's quiet error handlers first).
inline uint64_t FuzzTiffPixels(const uint8_t *data, size_t size) {
  using namespace fuzz_tiff;
  if (size < 4 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))) return 0;
  Mem m{data, size, 0};
  TIFF *t = TIFFClientOpen("fuzz", "r", &m, readMem, writeMem, seekMem, closeMem, sizeMem, mapMem, unmapMem);
  if (!t) return 0;
  uint32_t w = 0, h = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  TIFFClose(t);
  return uint64_t(w) * h;
}

// Width x height of a run-length BMP, 0 for any other data.
inline uint64_t FuzzRleBmpPixels(const uint8_t *data, size_t size)
{
	if (size < 34 || data[0] != 'B' || data[1] != 'M')
		return 0;
	const uint32_t bitCount = FuzzLe16(data + 28), compression = FuzzLe32(data + 30);
	if ((bitCount != 4 && bitCount != 8) || compression == 0)
		return 0;
	const int64_t w = (int32_t)FuzzLe32(data + 18), h = (int32_t)FuzzLe32(data + 22);
	return uint64_t(w < 0 ? -w : w) * uint64_t(h < 0 ? -h : h);
}
