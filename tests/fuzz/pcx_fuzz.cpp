#include "picture/pcxdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  CPCXDecoder decoder;
  FuzzDecode(decoder, data, size);
  return 0;
}
