#pragma once
// Pictures as BMP file bytes, for saving through the safe writer.

#include <string>

class CBaseBmp;

namespace files {

// The BMP encoder's file; throws what the encoder throws.
std::string BmpBytes(const CBaseBmp& bmp);

}  // namespace files
