// The format recognition and whichever decoder it picks.
#include "picture/anypicdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static CAnyPicDecoder decoder;  // installs the TIFF decoder's quiet handlers
  FuzzDecode(decoder, data, size, "fuzz.pic");
  return 0;
}
