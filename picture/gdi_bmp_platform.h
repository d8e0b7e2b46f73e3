#pragma once
// The bitmap's platform side over the framework's device context: drawing
// goes to CDC::StretchDIBits and CDC::SetDIBitsToDevice. The clipboard calls
// answer "nothing there" here; the framework's clipboard takes them over by
// overriding them (CF_DIB, CF_BITMAP, CF_PALETTE).
#include "picture/bmp_platform.h"

class CGdiBmpPlatform : public IBmpPlatform {
 public:
  int StretchDIBits(CDC* dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                    const void* bits, const PLBitmapInfoHeader* info, uint32_t rop) override;
  int SetDIBitsToDevice(CDC* dc, int xDest, int yDest, int w, int h, int xSrc, int ySrc, unsigned startScan,
                        unsigned scanLines, const void* bits, const PLBitmapInfoHeader* info) override;

  bool IsClipboardFormatAvailable(unsigned) override { return false; }
  bool OpenClipboard() override { return false; }
  void CloseClipboard() override {}
  std::vector<uint8_t> GetClipboardDIB() override { return {}; }
  bool GetClipboardPalette(std::vector<PLPaletteEntry>*) override { return false; }
  bool GetClipboardBitmapHeader(PLBitmapInfoHeader*) override { return false; }
  bool GetClipboardBitmapBits(const PLBitmapInfoHeader&, uint8_t*, CPixel32*) override { return false; }
};
