#pragma once
// What every bitmap kind shares: size, depth, palette, row pointers and the
// settings for conversion to 8 bits; copying with depth conversion and the
// geometric filters.
#include <cstddef>
#include <cstdint>

#include "picture/pixel32.h"
#include "picture/plobject.h"

class CPicFilter;

// Dither modes for conversion to 8 bits.
enum { PL_DITHER_NONE = 0, PL_DITHER_ORDERED = 1, PL_DITHER_FS = 2 };
// Palette modes for conversion to 8 bits.
enum { PL_PAL_MEDIAN_CUT = 0, PL_PAL_POPULARITY = 1, PL_PAL_FIXED = 2 };

class CBaseBmp : public CPLObject {
 public:
  CBaseBmp() = default;
  CBaseBmp(const CBaseBmp&) = delete;
  ~CBaseBmp() override = default;

  // Frees the storage and allocates new, zero-filled storage; a depth of at
  // most 8 gets the grey ramp as palette. Throws CTextException code 10 when
  // the storage can't be had (also for negative or oversized dimensions).
  virtual void Create(int width, int height, uint16_t bitsPerPixel, bool alphaChannel);
  // Pixel rows, header, palette and the object itself.
  virtual size_t GetMemorySize() const = 0;
  virtual int GetLineBytes() const = 0;
  virtual void Lock(bool readable, bool writable);
  virtual void Unlock();

  // Exact copy with depth 0 or the source's depth, else a conversion to 1, 8
  // or 32 bits per pixel.
  void CreateCopy(const CBaseBmp& src, int bitsPerPixel = 0);

  int GetWidth() const { return m_Width; }
  int GetHeight() const { return m_Height; }
  uint16_t GetBitsPerPixel() const { return m_bpp; }
  bool HasAlpha() const { return m_bAlphaChannel; }
  void SetHasAlpha(bool alpha) { m_bAlphaChannel = alpha; }
  int GetLockCount() const { return m_LockCount; }

  // Row y, row 0 being the top row.
  uint8_t** GetLineArray() const { return m_pLineArray; }
  uint8_t* GetLine(int y) const { return m_pLineArray[y]; }

  // 32-bit bitmaps only; x and y must lie inside.
  CPixel32 GetPixel(int x, int y) const { return reinterpret_cast<const CPixel32*>(m_pLineArray[y])[x]; }
  void SetPixel(int x, int y, CPixel32 p) { reinterpret_cast<CPixel32*>(m_pLineArray[y])[x] = p; }

  // 2^bpp entries; depths of at most 8 only.
  CPixel32* GetPalette() const { return m_pClrTab; }
  int GetNumColors() const { return m_bpp <= 8 ? (1 << m_bpp) : 0; }
  void SetPalette(const CPixel32* entries);
  void SetPaletteEntry(int index, CPixel32 entry) { m_pClrTab[index] = entry; }

  void SetQuantizationModes(int ditherMode, int paletteMode) {
    m_DitherType = ditherMode;
    m_DitherPaletteType = paletteMode;
  }
  int GetDitherType() const { return m_DitherType; }
  int GetDitherPaletteType() const { return m_DitherPaletteType; }

  // Geometry, each a filter applied in place.
  void ResizeBilinear(int newWidth, int newHeight);
  // This bitmap becomes src resized, with no scratch copy when src is
  // another bitmap.
  void ResizeBilinearFrom(CBaseBmp& src, int newWidth, int newHeight);
  void Crop(int left, int top, int right, int bottom);
  void Rotate(double angle, CPixel32 fill);
  void ApplyFilter(const CPicFilter& filter);

 protected:
  // Storage for width x height pixels of that depth; line array built later.
  virtual void AllocateStorage(int width, int height, uint16_t bitsPerPixel) = 0;
  virtual void FreeStorage() = 0;
  virtual void BuildLineArray() = 0;
  // Palette pointer of the new storage; null above 8 bits.
  virtual void SetPalettePointers() = 0;

  void initLocals(int width, int height, uint16_t bitsPerPixel, bool alpha);
  // Rows of pixel data (tightly packed, no padding) for the given geometry.
  static int64_t packedRowBytes(int width, uint16_t bitsPerPixel);
  // Refuses sizes no bitmap can have.
  static void checkSize(int width, int height, uint16_t bitsPerPixel, int64_t lineBytes);

  int m_Width = 0;
  int m_Height = 0;
  uint16_t m_bpp = 0;
  CPixel32* m_pClrTab = nullptr;
  bool m_bAlphaChannel = false;
  uint8_t** m_pLineArray = nullptr;
  int m_LockCount = 0;
  int m_DitherType = PL_DITHER_NONE;
  int m_DitherPaletteType = PL_PAL_FIXED;

 private:
  void convertFrom(const CBaseBmp& src, int bitsPerPixel);
};
