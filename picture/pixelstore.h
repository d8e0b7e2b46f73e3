#pragma once
// Zeroed storage for pixels. A fresh block's first touch costs more than the
// work on it when it is cut into small pages, so large blocks are asked to
// come in huge pages.
#include <cstddef>
#include <cstdint>

namespace pixelstore {

// At least this many bytes are worth huge pages.
constexpr size_t kLargeBlock = size_t(8) << 20;

// A block of `bytes` zero bytes (null when there is no memory); free it with
// release().
uint8_t* allocateZeroed(size_t bytes);
void release(uint8_t* block);

// Asks for huge pages over the part of [p, p + bytes) that holds whole ones;
// for blocks not yet touched. Nothing when the system does not have them.
void adviseHugePages(void* p, size_t bytes);

}  // namespace pixelstore
