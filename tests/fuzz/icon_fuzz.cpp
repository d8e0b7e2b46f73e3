#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/gdi.h"

// Icon and cursor files: the reader, and drawing what it reads.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  for (bool cursor : {false, true}) {
    std::string error;
    HICON icon = brv::CreateIconFromFile(std::span<const uint8_t>(data, size), cursor, 0, 0, &error);
    if (!icon) continue;
    brv::Surface s(40, 40);
    CDC dc;
    dc.AttachSurface(&s);
    dc.DrawIcon(1, 1, icon);
    DestroyIcon(icon);
  }
  return 0;
}
