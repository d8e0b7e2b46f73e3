#pragma once
// Process-wide state of the picture library, kept in one place.
#include <string>

class IBmpPlatform;

struct PictureState {
  int traceLevel = 0;
  std::string traceFile;  // empty: no trace file
  IBmpPlatform* platform = nullptr;
};

PictureState& GetPictureState();
// Back to the start-up state (for tests).
void ResetPictureState();
