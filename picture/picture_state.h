#pragma once
// Process-wide state of the picture library, kept in one place.
#include <cstdint>
#include <string>

class IBmpPlatform;

struct PictureState {
  // The most pixels a bitmap may hold: 2^27 (512 MiB at 32 bits per pixel),
  // more than the photo of any camera. Tests and fuzzing may set less.
  uint64_t maxPixels = uint64_t(1) << 27;
  int traceLevel = 0;
  std::string traceFile;  // empty: no trace file
  IBmpPlatform* platform = nullptr;
};

PictureState& GetPictureState();
// Back to the start-up state (for tests).
void ResetPictureState();
