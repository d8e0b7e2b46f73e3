#pragma once
// Test double of the bitmap's platform side: records drawing calls and
// serves a clipboard held in memory.
#include <cstdint>
#include <cstring>
#include <vector>

#include "picture/bmp_platform.h"

class FakeBmpPlatform : public IBmpPlatform {
 public:
  struct DrawCall {
    CDC* dc;
    int xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc;
    const void* bits;
    uint32_t rop;
  };

  FakeBmpPlatform() { SetBmpPlatform(this); }
  ~FakeBmpPlatform() override { SetBmpPlatform(nullptr); }

  int StretchDIBits(CDC* dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc,
                    const void* bits, const PLBitmapInfoHeader*, uint32_t rop) override {
    draws.push_back({dc, xDest, yDest, wDest, hDest, xSrc, ySrc, wSrc, hSrc, bits, rop});
    return hSrc;
  }
  int SetDIBitsToDevice(CDC* dc, int xDest, int yDest, int w, int h, int xSrc, int ySrc, unsigned, unsigned,
                        const void* bits, const PLBitmapInfoHeader*) override {
    draws.push_back({dc, xDest, yDest, w, h, xSrc, ySrc, w, h, bits, 0});
    return h;
  }

  bool IsClipboardFormatAvailable(unsigned format) override {
    if (format == PL_CF_DIB) return !dib.empty();
    if (format == PL_CF_PALETTE) return hasPalette;
    if (format == PL_CF_BITMAP) return deviceBitmap.biWidth > 0;
    return false;
  }
  bool OpenClipboard() override {
    if (!canOpen) return false;
    ++opened;
    return true;
  }
  void CloseClipboard() override { ++closed; }
  std::vector<uint8_t> GetClipboardDIB() override { return dib; }
  bool GetClipboardPalette(std::vector<PLPaletteEntry>* entries) override {
    *entries = palette;
    return hasPalette;
  }
  bool GetClipboardBitmapHeader(PLBitmapInfoHeader* header) override {
    if (deviceBitmap.biWidth <= 0) return false;
    *header = deviceBitmap;
    return true;
  }
  // Fills every pixel of the asked 32-bit rows with deviceColour.
  bool GetClipboardBitmapBits(const PLBitmapInfoHeader& header, uint8_t* bits, CPixel32*) override {
    askedDepth = header.biBitCount;
    int lineBytes = ((header.biWidth * header.biBitCount + 31) / 32) * 4;
    for (int y = 0; y < header.biHeight; ++y)
      for (int x = 0; x < header.biWidth && header.biBitCount == 32; ++x)
        std::memcpy(bits + y * lineBytes + 4 * x, &deviceColour, 4);
    return true;
  }

  std::vector<DrawCall> draws;
  std::vector<uint8_t> dib;
  std::vector<PLPaletteEntry> palette;
  bool hasPalette = false;
  bool canOpen = true;
  int opened = 0;
  int closed = 0;
  PLBitmapInfoHeader deviceBitmap{};
  CPixel32 deviceColour;
  int askedDepth = 0;
};
