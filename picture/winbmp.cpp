#include "picture/winbmp.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "framework/resources.h"
#include "picture/bmp_platform.h"
#include "picture/picdecoder.h"
#include "picture/pixelstore.h"
#include "picture/textexception.h"

namespace {

size_t paletteBytes(uint16_t bitsPerPixel) { return bitsPerPixel <= 8 ? size_t(4) << bitsPerPixel : 0; }

[[noreturn]] void badDIB() {
  throw CTextException(PL_ERR_FORMAT, "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
}

}  // namespace

CWinBmp::CWinBmp() { Create(16, 16, 8, false); }

CWinBmp::CWinBmp(const CWinBmp& other) : CBaseBmp() { CreateCopy(other); }

CWinBmp::~CWinBmp() { FreeStorage(); }

CWinBmp& CWinBmp::operator=(const CBaseBmp& other) {
  CreateCopy(other);
  return *this;
}

CWinBmp& CWinBmp::operator=(const CWinBmp& other) {
  CreateCopy(other);
  return *this;
}

void CWinBmp::Swap(CWinBmp& other) {
  std::swap(m_Width, other.m_Width);
  std::swap(m_Height, other.m_Height);
  std::swap(m_bpp, other.m_bpp);
  std::swap(m_pClrTab, other.m_pClrTab);
  std::swap(m_bAlphaChannel, other.m_bAlphaChannel);
  std::swap(m_pLineArray, other.m_pLineArray);
  std::swap(m_LockCount, other.m_LockCount);
  std::swap(m_DitherType, other.m_DitherType);
  std::swap(m_DitherPaletteType, other.m_DitherPaletteType);
  std::swap(m_pBMI, other.m_pBMI);
  std::swap(m_pBits, other.m_pBits);
}

int CWinBmp::LineBytes(int width, uint16_t bitsPerPixel) {
  return static_cast<int>((packedRowBytes(width, bitsPerPixel) + 3) & ~int64_t(3));
}

int CWinBmp::GetLineBytes() const { return LineBytes(m_Width, m_bpp); }

size_t CWinBmp::GetPackedSize() const {
  return sizeof(PLBitmapInfoHeader) + paletteBytes(m_bpp) + size_t(GetLineBytes()) * size_t(m_Height);
}

size_t CWinBmp::GetMemorySize() const { return GetPackedSize() + sizeof(*this); }

void CWinBmp::AllocateStorage(int width, int height, uint16_t bitsPerPixel) {
  int64_t lineBytes = (packedRowBytes(width, bitsPerPixel) + 3) & ~int64_t(3);
  checkSize(width, height, bitsPerPixel, lineBytes);
  size_t total = sizeof(PLBitmapInfoHeader) + paletteBytes(bitsPerPixel) + size_t(lineBytes) * size_t(height);
  m_pBMI = pixelstore::allocateZeroed(total);
  m_pLineArray = new (std::nothrow) uint8_t*[height > 0 ? height : 1];
  if (!m_pBMI || !m_pLineArray) {
    FreeStorage();
    throw CTextException(PL_ERR_NO_MEMORY, "Out of memory creating bitmap.");
  }
  PLBitmapInfoHeader header{};
  header.biSize = sizeof(PLBitmapInfoHeader);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = bitsPerPixel;
  std::memcpy(m_pBMI, &header, sizeof header);
  m_pBits = m_pBMI + sizeof(PLBitmapInfoHeader) + paletteBytes(bitsPerPixel);
}

void CWinBmp::FreeStorage() {
  pixelstore::release(m_pBMI);
  delete[] m_pLineArray;
  m_pBMI = nullptr;
  m_pBits = nullptr;
  m_pLineArray = nullptr;
  m_pClrTab = nullptr;
  m_Width = m_Height = 0;
}

void CWinBmp::BuildLineArray() {
  size_t lineBytes = size_t(GetLineBytes());
  for (int y = 0; y < m_Height; ++y) m_pLineArray[y] = m_pBits + size_t(m_Height - y - 1) * lineBytes;
}

void CWinBmp::SetPalettePointers() {
  m_pClrTab = m_bpp <= 8 ? reinterpret_cast<CPixel32*>(m_pBMI + sizeof(PLBitmapInfoHeader)) : nullptr;
}

bool CWinBmp::CreateRes(int resourceNumber) {
  HRSRC res = FindResource(nullptr, MAKEINTRESOURCE(resourceNumber), RT_BITMAP);
  if (!res) return false;
  HGLOBAL data = LoadResource(nullptr, res);
  const uint8_t* bytes = static_cast<const uint8_t*>(LockResource(data));
  if (!bytes) return false;
  size_t size = SizeofResource(nullptr, res);
  // the bitmaps are kept as BMP files; the DIB follows the 14-byte file header
  if (size >= 14 && bytes[0] == 'B' && bytes[1] == 'M') bytes += 14, size -= 14;
  CreateFromDIB(bytes, size);
  return true;
}

void CWinBmp::CreateFromDIB(const uint8_t* packed, size_t size) {
  PLBitmapInfoHeader header;
  if (!packed || size < sizeof header) badDIB();
  std::memcpy(&header, packed, sizeof header);
  if (header.biSize < sizeof header || header.biSize > size || header.biWidth < 0 || header.biHeight < 0 ||
      header.biCompression != 0)
    badDIB();
  uint16_t bpp = header.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    throw CTextException(PL_ERR_FORMAT, "Decoding bmp: Illegal bpp value.");
  if (!PLPictureSizeOk(uint64_t(header.biWidth), uint64_t(header.biHeight)))
    throw CTextException(PL_ERR_NO_MEMORY, "Out of memory creating bitmap.");
  // Rows and palette sizes from width, height and depth; biClrUsed is ignored.
  size_t palBytes = paletteBytes(bpp);
  size_t rowsBytes = size_t(LineBytes(header.biWidth, bpp)) * size_t(header.biHeight);
  if (size - header.biSize < palBytes || size - header.biSize - palBytes < rowsBytes) badDIB();
  Create(header.biWidth, header.biHeight, bpp, false);
  std::memcpy(m_pBMI + sizeof(PLBitmapInfoHeader), packed + header.biSize, palBytes + rowsBytes);
}

void CWinBmp::createFromClipboardDIB(const uint8_t* packed, size_t size, const std::vector<CPixel32>* palette) {
  CreateFromDIB(packed, size);
  if (palette && m_bpp <= 8) {
    size_t n = std::min(palette->size(), size_t(GetNumColors()));
    std::copy(palette->begin(), palette->begin() + static_cast<std::ptrdiff_t>(n), m_pClrTab);
  }
}

bool CWinBmp::createFromDeviceBitmap() {
  IBmpPlatform* platform = GetBmpPlatform();
  PLBitmapInfoHeader header{};
  header.biSize = sizeof header;
  if (!platform->GetClipboardBitmapHeader(&header)) return false;
  uint16_t bpp = header.biBitCount;
  if (bpp == 16 || bpp == 24) bpp = 32;
  CWinBmp fresh;
  fresh.Create(header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight, bpp, false);
  PLBitmapInfoHeader want = *fresh.GetBMI();
  if (!platform->GetClipboardBitmapBits(want, fresh.m_pBits, fresh.m_pClrTab)) return false;
  CreateCopy(fresh);
  return true;
}

bool CWinBmp::FromClipboard(unsigned clipboardFormat) {
  IBmpPlatform* platform = GetBmpPlatform();
  if (!platform || (clipboardFormat != PL_CF_BITMAP && clipboardFormat != PL_CF_DIB)) return false;
  if (!platform->IsClipboardFormatAvailable(clipboardFormat) || !platform->OpenClipboard()) return false;
  // The bitmap stays unchanged unless the whole picture could be read.
  bool ok = true;
  try {
    if (clipboardFormat == PL_CF_BITMAP) {
      ok = createFromDeviceBitmap();
    } else {
      std::vector<uint8_t> dib = platform->GetClipboardDIB();
      ok = !dib.empty();
      if (ok) {
        std::vector<PLPaletteEntry> entries;
        std::vector<CPixel32> pal;
        bool hasPal = platform->IsClipboardFormatAvailable(PL_CF_PALETTE) && platform->GetClipboardPalette(&entries);
        for (const PLPaletteEntry& e : entries) pal.emplace_back(e.peRed, e.peGreen, e.peBlue, 0);
        CWinBmp fresh;
        fresh.createFromClipboardDIB(dib.data(), dib.size(), hasPal ? &pal : nullptr);
        CreateCopy(fresh);
      }
    }
  } catch (...) {
    platform->CloseClipboard();
    throw;
  }
  platform->CloseClipboard();
  return ok;
}

std::vector<uint8_t> CWinBmp::ToClipboard() const {
  std::vector<uint8_t> dib;
  try {
    dib.assign(m_pBMI, m_pBMI + GetPackedSize());
  } catch (const std::bad_alloc&) {
    throw CTextException(PL_ERR_NO_MEMORY, "Can't allocate global memory block.");
  }
  if (IBmpPlatform* platform = GetBmpPlatform()) platform->SetClipboardDIB(dib);
  return dib;
}

void CWinBmp::Draw(CDC* dc, int x, int y, uint32_t rop) const { DrawInRect(dc, x, y, m_Width, m_Height, rop); }

void CWinBmp::DrawInRect(CDC* dc, int x, int y, int w, int h, uint32_t rop) const {
  if (IBmpPlatform* platform = GetBmpPlatform())
    platform->StretchDIBits(dc, x, y, w, h, 0, 0, m_Width, m_Height, m_pBits, GetBMI(), rop);
}

void CWinBmp::StretchDraw(CDC* dc, int x, int y, double factor, uint32_t rop) const {
  DrawInRect(dc, x, y, static_cast<int>(factor * m_Width), static_cast<int>(factor * m_Height), rop);
}

void CWinBmp::DrawSection(CDC* dc, int xDest, int yDest, int left, int top, int right, int bottom) const {
  if (IBmpPlatform* platform = GetBmpPlatform())
    platform->SetDIBitsToDevice(dc, xDest, yDest, right - left, bottom - top, left, m_Height - bottom, 0,
                                static_cast<unsigned>(m_Height), m_pBits, GetBMI());
}
