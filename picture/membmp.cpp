#include "picture/membmp.h"

#include <new>

#include "picture/pixelstore.h"
#include "picture/textexception.h"

CMemBmp::CMemBmp() { Create(16, 16, 8, false); }

CMemBmp::~CMemBmp() { FreeStorage(); }

CMemBmp& CMemBmp::operator=(const CBaseBmp& other) {
  CreateCopy(other);
  return *this;
}

int CMemBmp::GetLineBytes() const { return static_cast<int>(packedRowBytes(m_Width, m_bpp)); }

size_t CMemBmp::GetMemorySize() const {
  return size_t(GetLineBytes()) * size_t(m_Height) + sizeof(CPixel32) * size_t(GetNumColors()) + sizeof(*this);
}

void CMemBmp::AllocateStorage(int width, int height, uint16_t bitsPerPixel) {
  int64_t rowBytes = packedRowBytes(width, bitsPerPixel);
  checkSize(width, height, bitsPerPixel, rowBytes);
  size_t bytes = size_t(rowBytes) * size_t(height);
  m_pBits = pixelstore::allocateZeroed(bytes);
  m_pLineArray = new (std::nothrow) uint8_t*[height > 0 ? height : 1];
  if (bitsPerPixel <= 8) m_pPal = new (std::nothrow) CPixel32[size_t(1) << bitsPerPixel];
  if (!m_pBits || !m_pLineArray || (bitsPerPixel <= 8 && !m_pPal)) {
    FreeStorage();
    throw CTextException(PL_ERR_NO_MEMORY, "Out of memory creating bitmap.");
  }
}

void CMemBmp::FreeStorage() {
  pixelstore::release(m_pBits);
  delete[] m_pLineArray;
  delete[] m_pPal;
  m_pBits = nullptr;
  m_pLineArray = nullptr;
  m_pPal = nullptr;
  m_pClrTab = nullptr;
  m_Width = m_Height = 0;
}

void CMemBmp::BuildLineArray() {
  size_t rowBytes = size_t(GetLineBytes());
  for (int y = 0; y < m_Height; ++y) m_pLineArray[y] = m_pBits + rowBytes * size_t(y);
}

void CMemBmp::SetPalettePointers() { m_pClrTab = m_bpp <= 8 ? m_pPal : nullptr; }
