#pragma once
// What the bitmap needs of the platform: drawing packed DIBs into a device
// context and reading the clipboard. Until the framework's device context
// exists the bitmap reaches these through this interface; with none set,
// drawing does nothing and the clipboard is empty.
#include <cstdint>
#include <vector>

#include "picture/pixel32.h"
#include "picture/winbmp.h"

class CDC;

// Clipboard formats, numbered as on Windows.
enum { PL_CF_BITMAP = 2, PL_CF_DIB = 8, PL_CF_PALETTE = 9 };

struct PLPaletteEntry {
  uint8_t peRed;
  uint8_t peGreen;
  uint8_t peBlue;
  uint8_t peFlags;
};

class IBmpPlatform {
 public:
  virtual ~IBmpPlatform() = default;

  // `info` is followed by the palette; `bits` are the bottom-up rows.
  virtual int StretchDIBits(CDC* dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc,
                            int wSrc, int hSrc, const void* bits, const PLBitmapInfoHeader* info,
                            uint32_t rop) = 0;
  virtual int SetDIBitsToDevice(CDC* dc, int xDest, int yDest, int w, int h, int xSrc, int ySrc,
                                unsigned startScan, unsigned scanLines, const void* bits,
                                const PLBitmapInfoHeader* info) = 0;

  virtual bool IsClipboardFormatAvailable(unsigned format) = 0;
  virtual bool OpenClipboard() = 0;
  virtual void CloseClipboard() = 0;
  // CF_DIB: the packed DIB; empty when the clipboard holds none.
  virtual std::vector<uint8_t> GetClipboardDIB() = 0;
  // CF_PALETTE: its entries; false when the clipboard holds none.
  virtual bool GetClipboardPalette(std::vector<PLPaletteEntry>* entries) = 0;
  // CF_BITMAP, the two GetDIBits calls: first the device bitmap's header
  // (width, height, bit count), then its rows at the asked depth (bottom-up,
  // rows padded to 4 bytes) and, up to 8 bits, 2^bpp palette entries.
  virtual bool GetClipboardBitmapHeader(PLBitmapInfoHeader* header) = 0;
  virtual bool GetClipboardBitmapBits(const PLBitmapInfoHeader& header, uint8_t* bits,
                                      CPixel32* palette) = 0;
  // Puts a packed DIB on the clipboard (CF_DIB); false when it cannot.
  virtual bool SetClipboardDIB(const std::vector<uint8_t>& packed) { return false; }
};

// The platform in use (null: none). The caller keeps it alive.
IBmpPlatform* GetBmpPlatform();
void SetBmpPlatform(IBmpPlatform* platform);
