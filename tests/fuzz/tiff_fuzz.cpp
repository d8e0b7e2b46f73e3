#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "picture/tiffdecoder.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

struct Mem {
  const uint8_t *data;
  toff_t size, pos;
};

tmsize_t readMem(thandle_t h, void *buf, tmsize_t n) {
  auto *m = static_cast<Mem *>(h);
  const toff_t count = std::min<toff_t>(toff_t(n), m->size - std::min(m->pos, m->size));
  memcpy(buf, m->data + m->pos, count);
  m->pos += count;
  return tmsize_t(count);
}
tmsize_t writeMem(thandle_t, void *, tmsize_t) { return 0; }
toff_t seekMem(thandle_t h, toff_t off, int whence) {
  auto *m = static_cast<Mem *>(h);
  const toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
  m->pos = std::min<toff_t>(base + off, m->size);
  return m->pos;
}
int closeMem(thandle_t) { return 0; }
toff_t sizeMem(thandle_t h) { return static_cast<Mem *>(h)->size; }
int mapMem(thandle_t, void **, toff_t *) { return 0; }
void unmapMem(thandle_t, void *, toff_t) {}

// Width x height of the first image, 0 when libtiff can't open it.
uint64_t ImagePixels(const uint8_t *data, size_t size) {
  Mem m{data, size, 0};
  TIFF *t = TIFFClientOpen("fuzz", "r", &m, readMem, writeMem, seekMem, closeMem, sizeMem, mapMem, unmapMem);
  if (!t) return 0;
  uint32_t w = 0, h = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  TIFFClose(t);
  return uint64_t(w) * h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  CTIFFDecoder decoder;  // installs the quiet handlers first
  if (ImagePixels(data, size) > kFuzzMaxPixels) return 0;
  FuzzDecode(decoder, data, size);
  return 0;
}
