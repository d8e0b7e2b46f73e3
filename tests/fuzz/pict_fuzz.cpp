#include "picture/anypicdecoder.h"
#include "picture/pictdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // the owner lends its JPEG decoder for QuickTime data
  static CAnyPicDecoder owner;
  CPictDecoder decoder(&owner);
  FuzzDecode(decoder, data, size);
  return 0;
}
