#include "picture/bmpdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  CBmpDecoder decoder;
  FuzzDecode(decoder, data, size);
  return 0;
}
