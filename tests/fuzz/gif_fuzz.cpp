#include "picture/gifdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Any screen size: the decoder refuses one its data can't fill.
  CGIFDecoder decoder;
  FuzzDecode(decoder, data, size);
  return 0;
}
