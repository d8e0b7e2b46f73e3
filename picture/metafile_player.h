#pragma once
// A small player of Windows metafiles (WMF and EMF) drawing into a 32-bit
// bitmap: window and viewport set-up, pens, brushes, lines, polylines,
// polygons, rectangles, ellipses and the device-independent bitmap records.
// Other records are passed over.
#include <cstddef>
#include <cstdint>

class CWinBmp;

struct MetafileInfo {
  bool enhanced = false;
  const uint8_t* records = nullptr;  // the first record after the header(s)
  size_t size = 0;                   // bytes from records on
  int width = 0, height = 0;         // the picture's size in pixels
  // WMF: the logical window that the picture's size shows
  double winLeft = 0, winTop = 0, winWidth = 0, winHeight = 0;
  // EMF: how reference-device pixels map onto the picture
  double devScaleX = 1, devScaleY = 1, devOffsetX = 0, devOffsetY = 0;
  // EMF: millimetres of the reference device, for the metric map modes
  double devPixelsPerMmX = 96 / 25.4, devPixelsPerMmY = 96 / 25.4;
  int handles = 0;  // object table size
};

// Reads the headers and works out the picture's size. A placeable WMF has
// its size from the placeable header (at 96 pixels per inch), an EMF from its
// frame and reference device; a plain WMF from its first window extent. A
// size below 1 becomes 320 x 200. Throws CTextException: code 6 when the
// data is no metafile, code 2 when the EMF header is cut short, code 10 when
// the picture is too large for a bitmap.
MetafileInfo ReadMetafileInfo(const uint8_t* data, size_t size, bool enhanced);

// Plays the records into the bitmap, which must be 32 bits deep and
// info.width x info.height large; with a null bitmap nothing is drawn.
// Returns the number of drawing records met.
int PlayMetafile(const MetafileInfo& info, CWinBmp* bmp);
