#pragma once
// The picture-exchange file of an outside picture editor: width and height
// (32-bit, little-endian), then width x height pixels of four bytes (a byte
// without meaning, red, green, blue), top row first.
#include <string>

class CWinBmp;

// Reads the file into bmp (32 bits). False, and bmp unchanged, when the file
// cannot be read, a size is not positive, or the file's length is not
// exactly 8 + width x height x 4 bytes.
bool ReadExchangeFile(const std::string& path, CWinBmp* bmp);
// Writes the bitmap (any depth) as such a file; false when it cannot.
bool WriteExchangeFile(const std::string& path, const CWinBmp& bmp);
