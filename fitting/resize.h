#pragma once
// The texture build's bilinear resize: the same pixels as
// CBaseBmp::ResizeBilinear (the same weights, summed in the same order), but
// the vertical pass runs along the rows, and the result is written straight
// into the destination instead of through a scratch copy.

class CBaseBmp;
class CWinBmp;

// dst becomes src resized to width x height. src and dst must differ.
void ResizeBilinearInto(CBaseBmp& src, CWinBmp& dst, int width, int height);
// In place.
void ResizeBilinearFast(CWinBmp& bmp, int width, int height);
