#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/bmppic.h"

// A DIB turned into a PICT picture: nothing may be read past the data.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<uint8_t> picture;
  bmppic(data, size, &picture);
  return 0;
}
