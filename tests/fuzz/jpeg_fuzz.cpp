#include "picture/jpegdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // Any frame size: the decoder refuses one its data can't hold.
  CJPEGDecoder decoder;
  FuzzDecode(decoder, data, size);
  return 0;
}
