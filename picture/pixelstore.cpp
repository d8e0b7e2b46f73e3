#include "picture/pixelstore.h"

#include <cstdlib>

#include <sys/mman.h>

namespace pixelstore {

uint8_t* allocateZeroed(size_t bytes) {
  // calloc takes a large block straight from the kernel, zero and untouched.
  auto* block = static_cast<uint8_t*>(std::calloc(bytes > 0 ? bytes : 1, 1));
  if (block && bytes >= kLargeBlock) adviseHugePages(block, bytes);
  return block;
}

void release(uint8_t* block) { std::free(block); }

void adviseHugePages(void* p, size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHuge = uintptr_t(2) << 20;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + bytes) & ~(kHuge - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)p, (void)bytes;
#endif
}

}  // namespace pixelstore
