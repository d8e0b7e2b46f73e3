#include <cstdlib>

#include "picture/inflate.h"
#include "picture/png.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Any claimed size: the decoder refuses what its data can't hold.
  CWinBmp bmp;
  MakeBmpFromPNGData(data, size, &bmp, 32);
  if (YsPngHuffmanTree::leakTracker != 0) abort();
  return 0;
}
