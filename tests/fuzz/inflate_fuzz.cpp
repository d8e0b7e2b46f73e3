#include <cstdlib>

#include "picture/inflate.h"
#include "picture/png.h"

namespace {

class Sink : public YsGenericPngDecoder {
 public:
  int Output(unsigned char) override { return ++count < (1 << 24) ? 1 : 0; }
  long count = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Sink sink;
  YsPngUncompressor(&sink).Uncompress(size, data);
  if (YsPngHuffmanTree::leakTracker != 0) abort();
  return 0;
}
