#include "picture/basebmp.h"

#include <algorithm>
#include <cstring>

#include "picture/membmp.h"
#include "picture/picdecoder.h"
#include "picture/picfilter.h"
#include "picture/textexception.h"

namespace {

// Pixel rows above this many bytes are refused before any allocation.
constexpr int64_t kMaxPixelBytes = int64_t(1) << 30;

bool isDark(const CPixel32& p) { return p.GetR() < 128 && p.GetG() < 128 && p.GetB() < 128; }

// Locks a bitmap for the scope.
class LockGuard {
 public:
  LockGuard(const CBaseBmp& bmp, bool readable, bool writable) : m_Bmp(const_cast<CBaseBmp&>(bmp)) {
    m_Bmp.Lock(readable, writable);
  }
  ~LockGuard() { m_Bmp.Unlock(); }

 private:
  CBaseBmp& m_Bmp;
};

}  // namespace

int64_t CBaseBmp::packedRowBytes(int width, uint16_t bitsPerPixel) {
  int64_t bytes = int64_t(width) * bitsPerPixel / 8;
  if (bitsPerPixel == 1 && width % 8 != 0) ++bytes;
  return bytes;
}

void CBaseBmp::checkSize(int width, int height, uint16_t bitsPerPixel, int64_t lineBytes) {
  bool depthOk = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 ||
                 bitsPerPixel == 24 || bitsPerPixel == 32;
  // Rows cost a pointer each, whatever their width.
  if (width < 0 || height < 0 || !depthOk || !PLBitmapSizeOk(uint64_t(width), uint64_t(height)) ||
      lineBytes * height > kMaxPixelBytes)
    throw CTextException(PL_ERR_NO_MEMORY, "Out of memory creating bitmap.");
}

void CBaseBmp::Create(int width, int height, uint16_t bitsPerPixel, bool alphaChannel) {
  FreeStorage();
  AllocateStorage(width, height, bitsPerPixel);
  initLocals(width, height, bitsPerPixel, alphaChannel);
}

void CBaseBmp::initLocals(int width, int height, uint16_t bitsPerPixel, bool alpha) {
  m_Width = width;
  m_Height = height;
  m_bpp = bitsPerPixel;
  m_bAlphaChannel = alpha;
  SetPalettePointers();
  BuildLineArray();
  if (m_pClrTab) {
    int n = 1 << bitsPerPixel;
    int step = 255 / (n - 1);
    for (int i = 0; i < n; ++i) {
      uint8_t v = static_cast<uint8_t>(step * i);
      m_pClrTab[i].Set(v, v, v, 255);
    }
  }
}

void CBaseBmp::Lock(bool, bool) { ++m_LockCount; }
void CBaseBmp::Unlock() { --m_LockCount; }

void CBaseBmp::SetPalette(const CPixel32* entries) {
  if (m_pClrTab && entries) std::memcpy(m_pClrTab, entries, sizeof(CPixel32) * GetNumColors());
}

void CBaseBmp::CreateCopy(const CBaseBmp& src, int bitsPerPixel) {
  if (bitsPerPixel == 0 || bitsPerPixel == src.m_bpp) {
    if (&src == this) return;
    Create(src.m_Width, src.m_Height, src.m_bpp, src.m_bAlphaChannel);
    LockGuard srcLock(src, true, false);
    LockGuard dstLock(*this, false, true);
    // Bitmap kinds pad their rows differently; the pixels fit the shorter.
    size_t rowBytes = static_cast<size_t>(std::min(GetLineBytes(), src.GetLineBytes()));
    for (int y = 0; y < m_Height; ++y) std::memcpy(m_pLineArray[y], src.m_pLineArray[y], rowBytes);
    if (m_bpp <= 8) SetPalette(src.m_pClrTab);
    return;
  }
  if (&src == this) {
    CMemBmp copy;
    copy.CreateCopy(*this);
    convertFrom(copy, bitsPerPixel);
  } else {
    convertFrom(src, bitsPerPixel);
  }
}

void CBaseBmp::convertFrom(const CBaseBmp& src, int bitsPerPixel) {
  const int srcBpp = src.m_bpp;
  if (bitsPerPixel == 8 && srcBpp == 32) {
    CPicQuantizeFilter(m_DitherPaletteType, m_DitherType).Apply(const_cast<CBaseBmp*>(&src), this);
    return;
  }
  bool supported = (bitsPerPixel == 32 && (srcBpp == 8 || srcBpp == 1)) || (bitsPerPixel == 8 && srcBpp == 1) ||
                   (bitsPerPixel == 1 && (srcBpp == 8 || srcBpp == 32));
  if (!supported) throw CTextException(PL_ERR_NOT_SUPPORTED, "Illegal bpp value in conversion.");

  const int w = src.m_Width;
  const int h = src.m_Height;
  Create(w, h, static_cast<uint16_t>(bitsPerPixel), src.m_bAlphaChannel && bitsPerPixel == 32);
  LockGuard srcLock(src, true, false);
  LockGuard dstLock(*this, false, true);
  const CPixel32* srcPal = src.m_pClrTab;

  if (bitsPerPixel == 32) {
    CPixel32 bw[2];
    if (srcBpp == 1) {
      if (srcPal) {
        bw[0] = srcPal[0];
        bw[1] = srcPal[1];
      } else {
        bw[0].Set(0, 0, 0, 255);
        bw[1].Set(255, 255, 255, 255);
      }
    }
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = src.m_pLineArray[y];
      CPixel32* d = reinterpret_cast<CPixel32*>(m_pLineArray[y]);
      for (int x = 0; x < w; ++x) {
        if (srcBpp == 8)
          d[x] = srcPal[s[x]];
        else
          d[x] = bw[(s[x >> 3] >> (7 - (x & 7))) & 1];
      }
    }
  } else if (bitsPerPixel == 8) {  // from 1 bit
    if (srcPal) {
      CPixel32 e0 = srcPal[0], e1 = srcPal[1];
      e0.SetA(255);
      e1.SetA(255);
      m_pClrTab[0] = e0;
      m_pClrTab[1] = e1;
    } else {
      m_pClrTab[0].Set(255, 255, 255, 255);
      m_pClrTab[1].Set(0, 0, 0, 255);
    }
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = src.m_pLineArray[y];
      uint8_t* d = m_pLineArray[y];
      for (int x = 0; x < w; ++x) d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
    }
  } else {  // to 1 bit: black where red, green and blue are all below 128
    m_pClrTab[0].Set(255, 255, 255, 255);
    m_pClrTab[1].Set(0, 0, 0, 255);
    for (int y = 0; y < h; ++y) {
      const uint8_t* s = src.m_pLineArray[y];
      uint8_t* d = m_pLineArray[y];
      std::memset(d, 0, static_cast<size_t>(GetLineBytes()));
      for (int x = 0; x < w; ++x) {
        CPixel32 p = srcBpp == 8 ? srcPal[s[x]] : reinterpret_cast<const CPixel32*>(s)[x];
        if (isDark(p)) d[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    }
  }
}

void CBaseBmp::ResizeBilinear(int newWidth, int newHeight) {
  CTriangleKernel kernel(1.0);
  CPicResizeFilter(newWidth, newHeight, kernel).ApplyInPlace(this);
}

void CBaseBmp::ResizeBilinearFrom(CBaseBmp& src, int newWidth, int newHeight) {
  CTriangleKernel kernel(1.0);
  CPicResizeFilter(newWidth, newHeight, kernel).Apply(&src, this);
}

void CBaseBmp::Crop(int left, int top, int right, int bottom) {
  CPicCropFilter(left, right, top, bottom).ApplyInPlace(this);
}

void CBaseBmp::Rotate(double angle, CPixel32 fill) { CPicRotateFilter(angle, fill).ApplyInPlace(this); }

void CBaseBmp::ApplyFilter(const CPicFilter& filter) { filter.ApplyInPlace(this); }
