#pragma once
// The in-memory picture: a device-independent bitmap laid out as the packed
// DIB that Windows draws directly (40-byte header, palette, rows bottom-up in
// one block), with row pointers so that row 0 is the top row.
#include <cstdint>
#include <vector>

#include "picture/basebmp.h"

class CDC;

#pragma pack(push, 1)
struct PLBitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(PLBitmapInfoHeader) == 40, "BITMAPINFOHEADER is 40 bytes");

class CWinBmp : public CBaseBmp {
 public:
  // 16 x 16 at 8 bits with the grey palette.
  CWinBmp();
  CWinBmp(const CWinBmp& other);
  ~CWinBmp() override;
  CWinBmp& operator=(const CBaseBmp& other);
  CWinBmp& operator=(const CWinBmp& other);
  // Trades pictures with other (no pixel is copied).
  void Swap(CWinBmp& other);

  size_t GetMemorySize() const override;
  // width x bpp / 8 (plus one byte for a partial 1-bit byte), rounded up to 4.
  int GetLineBytes() const override;
  // First stored row (the bottom row of the picture).
  uint8_t* GetData() const { return m_pBits; }
  const PLBitmapInfoHeader* GetBMI() const { return reinterpret_cast<const PLBitmapInfoHeader*>(m_pBMI); }
  // Header, palette and rows as one packed DIB.
  size_t GetPackedSize() const;

  static int LineBytes(int width, uint16_t bitsPerPixel);

  // From the RT_BITMAP resource of that number; false when there is none.
  bool CreateRes(int resourceNumber);
  // From a packed DIB of `size` bytes (header, palette, rows). A header that
  // is not a plain 40-byte-or-longer header, or rows beyond `size`, raise
  // code 2; biClrUsed is ignored.
  void CreateFromDIB(const uint8_t* packed, size_t size);

  // Platform side (see picture/bmp_platform.h).
  bool FromClipboard(unsigned clipboardFormat);
  // Puts the picture on the clipboard (through the platform) and returns the
  // packed DIB; throws code 10 when it can't be had.
  std::vector<uint8_t> ToClipboard() const;
  void Draw(CDC* dc, int x, int y, uint32_t rop) const;
  void DrawInRect(CDC* dc, int x, int y, int w, int h, uint32_t rop) const;
  void StretchDraw(CDC* dc, int x, int y, double factor, uint32_t rop) const;
  void DrawSection(CDC* dc, int xDest, int yDest, int left, int top, int right, int bottom) const;

 protected:
  void AllocateStorage(int width, int height, uint16_t bitsPerPixel) override;
  void FreeStorage() override;
  void BuildLineArray() override;
  void SetPalettePointers() override;

 private:
  void createFromClipboardDIB(const uint8_t* packed, size_t size, const std::vector<CPixel32>* palette);
  bool createFromDeviceBitmap();

  uint8_t* m_pBMI = nullptr;
  uint8_t* m_pBits = nullptr;
};
