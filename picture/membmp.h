#pragma once
// Plain-memory bitmap: rows top first with no padding. Scratch space for the
// filters and the decoders.
#include "picture/basebmp.h"

class CMemBmp : public CBaseBmp {
 public:
  // 16 x 16 at 8 bits.
  CMemBmp();
  ~CMemBmp() override;
  CMemBmp& operator=(const CBaseBmp& other);

  size_t GetMemorySize() const override;
  int GetLineBytes() const override;

 protected:
  void AllocateStorage(int width, int height, uint16_t bitsPerPixel) override;
  void FreeStorage() override;
  void BuildLineArray() override;
  void SetPalettePointers() override;

 private:
  uint8_t* m_pBits = nullptr;
  CPixel32* m_pPal = nullptr;
};
