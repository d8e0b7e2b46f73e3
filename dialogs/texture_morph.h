#pragma once
// What the morph pages do to the head's texture: the ethnicity recolouring,
// the ageing (the age map embossed into the texture) and the mean colours
// they are measured against. Colours are in the texture's channel order
// (red, green, blue). Texture row y is row y of every bitmap made from it.

#include <array>
#include <vector>

#include "model/head.h"

class CWinBmp;

namespace morph {

using Colour = std::array<int, 3>;

inline constexpr Colour kAsianColour = {203, 171, 140};
inline constexpr Colour kAfricanColour = {94, 46, 46};

// Integer mean of each channel over the texels of columns x0..x1 and rows
// y0..y1 (ends included, clipped to the texture); 0 when none is left.
Colour MeanColour(const TextureImage& t, int x0, int y0, int x1, int y1);
// The model page's face centre: columns 2w/5..3w/5 and rows 2h/5..3h/5.
Colour FaceCentreMean(const TextureImage& t);

// Adds offset[c] to each channel c of every texel; a channel whose value
// would not lie strictly between 0 and 255 keeps its value, else it takes
// the value truncated.
void ShiftColours(TextureImage& t, const double offset[3]);

// The model page's recolouring from the applied Asian and African positions
// (0..6): a position p above the middle shifts each channel by
// (colour - mean) x (p - 3) x 0.333 / 6, Asian first.
void ModColor(TextureImage& t, int asian, int african, const Colour& mean);
// The age page's recolouring of one slider step from `from` to `to` (0..10):
// each channel shifts by (to - from) x 0.666 / 10 x (colour - mean), on the
// present texture (so clamped channels make it only nearly reversible).
void ModColorStep(TextureImage& t, int from, int to, const Colour& colour, const Colour& mean);

// Light azimuth and relief width of the ageing.
inline constexpr double kAgeAzimuth = 2.356194490192345;  // 3 pi / 4
inline constexpr int kAgeReliefWidth = 3;
// Elevation of the light for an age position: 90 - 5 x age degrees.
double AgeElevation(int age);
// Ageing: Emboss(age map, texture, white, azimuth, elevation, 3) replaces
// the texture's colours; age 0 changes nothing. The age map is laid into
// the texture's rows first (AgeMapOnTexture) and walked over the part it
// shares with the texture.
void ModTexture(TextureImage& t, const CWinBmp& ageMap, int age);

// Texture bitmaps: 32 bits per pixel, texture row y = bitmap row y.
void TextureToBitmap(const TextureImage& t, CWinBmp& out);
void BitmapToTexture(const CWinBmp& bmp, TextureImage& t);

// Keeps work done on the texture since the page last rebuilt it: every
// texel where `current` differs from `produced` (what the page left) is
// copied into `start`. Textures of another size change nothing.
void KeepPaintedTexels(const TextureImage& current, const std::vector<unsigned char>& produced, TextureImage& start);

}  // namespace morph
