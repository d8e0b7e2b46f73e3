#include "picture/gifdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // the screen's size decides the bitmap's
  if (size >= 10 && uint64_t(FuzzLe16(data + 6)) * FuzzLe16(data + 8) > kFuzzMaxPixels) return 0;
  CGIFDecoder decoder;
  FuzzDecode(decoder, data, size);
  return 0;
}
