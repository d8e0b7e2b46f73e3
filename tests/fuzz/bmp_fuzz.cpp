#include "picture/bmpdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Uncompressed rows must all be there; run-length data may leave rows
  // unset, so those pictures stay small.
  if (FuzzRleBmpPixels(data, size) > kFuzzMaxPixels) return 0;
  CBmpDecoder decoder;
  FuzzDecode(decoder, data, size);
  return 0;
}
