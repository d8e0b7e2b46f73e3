#include "picture/clipboard_bmp_platform.h"

#include <cstring>

#include "framework/clipboard.h"

bool CClipboardBmpPlatform::IsClipboardFormatAvailable(unsigned format) {
  return (format == PL_CF_DIB || format == PL_CF_BITMAP) && ::IsClipboardFormatAvailable(format);
}

bool CClipboardBmpPlatform::OpenClipboard() { return ::OpenClipboard(nullptr) != FALSE; }

void CClipboardBmpPlatform::CloseClipboard() { ::CloseClipboard(); }

std::vector<uint8_t> CClipboardBmpPlatform::GetClipboardDIB() { return brv::ClipboardDib(); }

bool CClipboardBmpPlatform::GetClipboardPalette(std::vector<PLPaletteEntry>*) { return false; }

bool CClipboardBmpPlatform::GetClipboardBitmapHeader(PLBitmapInfoHeader* header) {
  std::vector<uint8_t> dib = brv::ClipboardDib();
  brv::Surface pixels;
  if (!brv::DecodePackedDib(dib.data(), dib.size(), &pixels)) return false;
  header->biWidth = pixels.Width();
  header->biHeight = pixels.Height();
  header->biPlanes = 1;
  header->biBitCount = 32;
  header->biCompression = 0;
  header->biSizeImage = static_cast<uint32_t>(pixels.Width()) * static_cast<uint32_t>(pixels.Height()) * 4u;
  return true;
}

bool CClipboardBmpPlatform::GetClipboardBitmapBits(const PLBitmapInfoHeader& header, uint8_t* bits, CPixel32*) {
  std::vector<uint8_t> dib = brv::ClipboardDib();
  brv::Surface pixels;
  if (!bits || !brv::DecodePackedDib(dib.data(), dib.size(), &pixels)) return false;
  int h = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  if (header.biBitCount != 32 || header.biWidth != pixels.Width() || h != pixels.Height()) return false;
  // Rows bottom up, B, G, R, 0.
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = pixels.Row(h - 1 - y);
    uint8_t* out = bits + static_cast<size_t>(y) * static_cast<size_t>(header.biWidth) * 4;
    for (int x = 0; x < header.biWidth; ++x) {
      out[4 * x] = static_cast<uint8_t>(row[x] & 0xFF);
      out[4 * x + 1] = static_cast<uint8_t>((row[x] >> 8) & 0xFF);
      out[4 * x + 2] = static_cast<uint8_t>((row[x] >> 16) & 0xFF);
      out[4 * x + 3] = 0;
    }
  }
  return true;
}

bool CClipboardBmpPlatform::SetClipboardDIB(const std::vector<uint8_t>& packed) {
  return brv::SetClipboardDib(packed);
}

namespace brv {

IBmpPlatform* InstallBmpPlatform() {
  static CClipboardBmpPlatform platform;
  IBmpPlatform* previous = GetBmpPlatform();
  SetBmpPlatform(&platform);
  return previous;
}

}  // namespace brv
