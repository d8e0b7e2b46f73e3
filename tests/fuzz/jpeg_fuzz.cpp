#include "picture/jpegdecoder.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The size in the first start-of-frame marker, 0 when there is none.
uint64_t FramePixels(const uint8_t *data, size_t size) {
  for (size_t i = 2; i + 9 <= size;) {
    if (data[i] != 0xFF) {
      ++i;
      continue;
    }
    const uint8_t m = data[i + 1];
    if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC)
      return uint64_t(FuzzBe16(data + i + 5)) * FuzzBe16(data + i + 7);
    if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7) || m == 0xFF) {
      i += 2;
      continue;
    }
    i += 2 + FuzzBe16(data + i + 2);
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (FramePixels(data, size) > kFuzzMaxPixels) return 0;
  CJPEGDecoder decoder;
  FuzzDecode(decoder, data, size);
  return 0;
}
