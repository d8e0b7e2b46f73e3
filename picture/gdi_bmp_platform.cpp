#include "picture/gdi_bmp_platform.h"

#include <cstddef>

#include "framework/gdi.h"

// The bitmap's header is the Windows one, byte for byte.
static_assert(sizeof(PLBitmapInfoHeader) == sizeof(BITMAPINFOHEADER));
static_assert(offsetof(PLBitmapInfoHeader, biClrImportant) == offsetof(BITMAPINFOHEADER, biClrImportant));

int CGdiBmpPlatform::StretchDIBits(CDC* dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                                   int hSrc, const void* bits, const PLBitmapInfoHeader* info, uint32_t rop) {
  if (!dc || !info) return 0;
  // the palette follows the header, as in a BITMAPINFO
  return dc->StretchDIBits(xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc, bits,
                           reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS, rop);
}

int CGdiBmpPlatform::SetDIBitsToDevice(CDC* dc, int xDest, int yDest, int w, int h, int xSrc, int ySrc,
                                       unsigned startScan, unsigned scanLines, const void* bits,
                                       const PLBitmapInfoHeader* info) {
  if (!dc || !info || w <= 0 || h <= 0) return 0;
  return dc->SetDIBitsToDevice(xDest, yDest, DWORD(w), DWORD(h), xSrc, ySrc, startScan, scanLines, bits,
                               reinterpret_cast<const BITMAPINFO*>(info), DIB_RGB_COLORS);
}
