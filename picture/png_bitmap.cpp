#include <bit>
#include <cstdint>
#include <cstring>

#include "picture/png.h"
#include "picture/winbmp.h"

namespace {

// The pixels are written 32 bits wide, whatever depth was asked for.
const uint16_t pngBitmapDepth = 32;

void FillBitmap(YsRawPngDecoder &png, int result, CWinBmp *bmp)
{
	if (result != 1)
		return;
	const int wid = png.wid, hei = png.hei;
	const int paddedWid = (wid + 3) & ~3;
	// every pixel is set below, so a fresh bitmap serves as well as a resized one
	bmp->Create(paddedWid, hei, pngBitmapDepth, true);
	if (wid == 0)
		return;
	bmp->Lock(false, true);
	for (int y = 0; y < hei; ++y) {
		const unsigned char *row = png.rgba.data() + (size_t)y * wid * 4;
		uint8_t *const line = bmp->GetLine(y);
		CPixel32 *out = reinterpret_cast<CPixel32 *>(line);
		if constexpr (std::endian::native == std::endian::little) {
			// red, green, blue, alpha in, blue, green, red, 0 out: 0x00RRGGBB
			for (int x = 0; x < wid; ++x) {
				uint32_t v;
				memcpy(&v, row + 4 * x, 4);
				v = __builtin_bswap32(v) >> 8;
				memcpy(line + 4 * x, &v, 4);
			}
		}
		else {
			for (int x = 0; x < wid; ++x)
				out[x] = CPixel32(row[4 * x], row[4 * x + 1], row[4 * x + 2], 0);
		}
		for (int x = wid; x < paddedWid; ++x)
			out[x] = out[wid - 1];
	}
	bmp->Unlock();
}

} // namespace

void MakeBmpFromPNG(const char fn[], CWinBmp *bmp, int bitsPerPixel)
{
	bmp->Create(1, 1, pngBitmapDepth, true);
	YsRawPngDecoder png;
	int result = png.Decode(fn);
	FillBitmap(png, result, bmp);
}

void MakeBmpFromPNGData(const unsigned char *data, size_t size, CWinBmp *bmp, int bitsPerPixel)
{
	bmp->Create(1, 1, pngBitmapDepth, true);
	YsRawPngDecoder png;
	int result = png.Decode(data, size);
	FillBitmap(png, result, bmp);
}
