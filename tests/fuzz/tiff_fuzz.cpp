#include "picture/tiffdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  CTIFFDecoder decoder;  // installs the quiet handlers first
  FuzzDecode(decoder, data, size);
  return 0;
}
