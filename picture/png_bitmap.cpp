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
		for (int x = 0; x < paddedWid; ++x) {
			const unsigned char *p = row + 4 * (x < wid ? x : wid - 1);
			bmp->SetPixel(x, y, CPixel32(p[0], p[1], p[2], 0));
		}
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
