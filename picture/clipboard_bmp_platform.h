#pragma once
// The bitmap's platform side complete: drawing through the framework's
// device context, the clipboard through the framework's clipboard (CF_DIB,
// CF_BITMAP made from the DIB, no palettes: the clipboard keeps pictures as
// DIBs). The program and tests install it with brv::InstallBmpPlatform.
#include "picture/gdi_bmp_platform.h"

class CClipboardBmpPlatform : public CGdiBmpPlatform {
 public:
  bool IsClipboardFormatAvailable(unsigned format) override;
  bool OpenClipboard() override;
  void CloseClipboard() override;
  std::vector<uint8_t> GetClipboardDIB() override;
  bool GetClipboardPalette(std::vector<PLPaletteEntry>* entries) override;
  // CF_BITMAP as a device bitmap of 32 bits per pixel.
  bool GetClipboardBitmapHeader(PLBitmapInfoHeader* header) override;
  bool GetClipboardBitmapBits(const PLBitmapInfoHeader& header, uint8_t* bits, CPixel32* palette) override;
  bool SetClipboardDIB(const std::vector<uint8_t>& packed) override;
};

namespace brv {
// Makes the bitmap class draw and use the clipboard through the framework
// (one process-wide platform object); returns the previous platform.
IBmpPlatform* InstallBmpPlatform();
}  // namespace brv
