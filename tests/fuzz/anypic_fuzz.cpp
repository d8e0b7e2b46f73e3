// The format recognition and whichever decoder it picks.
#include "picture/anypicdecoder.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static CAnyPicDecoder decoder;  // installs the TIFF decoder's quiet handlers
  // As in the BMP and TIFF targets; a TIFF preview of an EPS file lies at the
  // offset its header gives.
  const bool eps = size >= 28 && ((data[0] == 0xC5 && data[1] == 0xD0) || (data[0] == 0xC6 && data[1] == 0xD3));
  const size_t tiffAt = eps ? FuzzLe32(data + 20) : 0;
  if (tiffAt < size && FuzzTiffPixels(data + tiffAt, size - tiffAt) > kFuzzMaxPixels) return 0;
  if (FuzzRleBmpPixels(data, size) > kFuzzMaxPixels) return 0;
  FuzzDecode(decoder, data, size, "fuzz.pic");
  return 0;
}
