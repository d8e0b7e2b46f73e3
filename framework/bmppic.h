#pragma once
// Device-independent bitmaps turned into version-2 PICT pictures (the
// picture data of a PICT file, without its 512-byte file header).
#include <cstddef>
#include <cstdint>
#include <vector>

// Converts the packed DIB of `length` bytes (a 12-byte core or 40-byte info
// header, the colour table or bit-field masks, then the rows; 1, 4, 8, 16,
// 24 or 32 bits; BI_RGB, BI_RLE4, BI_RLE8, BI_BITFIELDS; bottom up, or top
// down when uncompressed) into *picture. Returns the picture's size in
// bytes; -1 for a bad header, colour counts above 2^bits, bad or
// overflowing sizes, RLE runs past a row or past the data (nothing is read
// past `length`, and pictures above 16 M pixels or 32767 pixels a side are
// refused); -50 for a null output; -1111 when memory runs out. Images
// of 8 bits or fewer keep their colour table; deeper ones become 32-bit
// direct pixels. Pixel data of 1 MB or more (or rows QuickDraw cannot hold)
// is written in tiles of 768 x 768 pixels.
int bmppic(const uint8_t* dib, size_t length, std::vector<uint8_t>* picture);
