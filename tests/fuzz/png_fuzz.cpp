#include <cstdlib>

#include "picture/inflate.h"
#include "picture/png.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // IHDR right after the signature: its size decides the memory taken
  if (size >= 24 && uint64_t(FuzzBe32(data + 16)) * FuzzBe32(data + 20) > kFuzzMaxPixels) return 0;
  CWinBmp bmp;
  MakeBmpFromPNGData(data, size, &bmp, 32);
  if (YsPngHuffmanTree::leakTracker != 0) abort();
  return 0;
}
