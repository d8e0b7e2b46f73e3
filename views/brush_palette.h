#pragma once
// The brush palette's window-free rules: the slider ranges for the head's
// texture, the brush size and strength read from the sliders, the pixels of
// the mask preview, and taking another picture as the clone source.

#include <string>
#include <vector>

#include "model/brush.h"
#include "model/head.h"

class CWinBmp;

namespace palette {

struct BrushSliders {
    int textureSize = 512;  // w: the texture's edge, 512 without a texture
    int scale = 1;          // b = w / 512, at least 1: texels per preview pixel
    int size = 10;          // the size slider's position (the brush size)
    int sizeMin = 1, sizeMax = 20, sizeTick = 5;
    int transparency = 50;  // (1 - strength) x 100
    int transparencyMin = 0, transparencyMax = 100, transparencyTick = 25;
    float strength = 0.5f;
};

// The palette's start: size w x 10 / 512 in the range 1 .. w x 20 / 512
// (at least 1 .. 2, a size of at least 2) with a tick every w x 5 / 512 (at
// least 1); transparency 0 .. 100 at 50, tick 25.
BrushSliders BrushPaletteStart(const TextureImage* texture);
// The brush size of a size slider position: the next lower even number.
int BrushSizeOf(int position);
// 1 - transparency / 100.
float StrengthOf(int transparency);
// Grey of the preview's 5-pixel frame: transparency x 0.01 x 255, truncated.
int PreviewFrameGrey(int transparency);

// One pixel of the preview: its place in the preview's client area and its
// grey level (the mask's weight x 255, truncated).
struct PreviewPixel {
    int x, y, grey;
};
// The whole brush mask (2 x size texels, as CBrush2::Set made it) shown at
// one preview pixel per `scale` texels, centred in a client area of
// width x height: pixel (i, j) for 0 <= i, j < 2 x size / scale is
// mask[scale x i][scale x j] at (i + width / 2 - size / scale,
// j + height / 2 - size / scale).
std::vector<PreviewPixel> BrushPreviewPixels(const CBrush2& mask, int size, int scale, int width, int height);

// "Load Other": decodes the picture file into a new bitmap and makes it the
// clone source at the source's aspect (width = source width x 768 / source
// height; a source without height takes the new picture's aspect) and a
// height of 768. False, source unchanged, when the file does not decode.
bool LoadCloneSource(const std::string& path, CWinBmp& source);

}  // namespace palette
