#include "picture/metafiledecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // the first byte chooses WMF or EMF
  if (size < 1) return 0;
  const bool enhanced = data[0] & 1;
  ++data;
  --size;
  CWMFDecoder decoder;
  FuzzDecode(decoder, data, size, enhanced ? "fuzz.emf" : "fuzz.wmf");
  return 0;
}
