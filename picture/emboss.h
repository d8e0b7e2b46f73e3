#pragma once
// Lighting a texture as a relief, and matching mean colours.
class CWinBmp;

// Shades `texture` by the relief of `heightSource` under a distant light
// (azimuth and elevation in radians; `width` the relief width) into
// `result`, which must already have the others' size; all three are 32 bits
// per pixel. The outer one-pixel border of the result is left as it was.
// Ends with AdjustColor(texture, result).
void Emboss(const CWinBmp* heightSource, const CWinBmp* texture, CWinBmp* result, double azimuth, double elevation,
            int width);

// Shifts the target's red, green and blue by the difference of the two
// bitmaps' mean colours (clamped to 0..255); alpha becomes 0.
void AdjustColor(const CWinBmp* reference, CWinBmp* target);
