#include "dialogs/texture_morph.h"

#include <algorithm>
#include <cstdint>

#include "dialogs/age_map.h"
#include "picture/emboss.h"
#include "picture/winbmp.h"

namespace morph {

Colour MeanColour(const TextureImage& t, int x0, int y0, int x1, int y1) {
    Colour mean = {0, 0, 0};
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, t.width - 1);
    y1 = std::min(y1, t.height - 1);
    if (x0 > x1 || y0 > y1 || t.rgb.size() < size_t(t.width) * size_t(t.height) * 3) return mean;
    long long sum[3] = {0, 0, 0};
    for (int y = y0; y <= y1; ++y) {
        const unsigned char* p = &t.rgb[(size_t(y) * t.width + x0) * 3];
        for (int x = x0; x <= x1; ++x, p += 3)
            for (int c = 0; c < 3; ++c) sum[c] += p[c];
    }
    const long long n = (long long)(x1 - x0 + 1) * (y1 - y0 + 1);
    for (int c = 0; c < 3; ++c) mean[c] = int(sum[c] / n);
    return mean;
}

Colour FaceCentreMean(const TextureImage& t) {
    return MeanColour(t, 2 * t.width / 5, 2 * t.height / 5, 3 * t.width / 5, 3 * t.height / 5);
}

void ShiftColours(TextureImage& t, const double offset[3]) {
    // The result depends on the old value alone: one table per channel.
    unsigned char table[3][256];
    bool changes = false;
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) {
            const double n = v + offset[c];
            table[c][v] = n > 0 && n < 255 ? static_cast<unsigned char>(int(n)) : static_cast<unsigned char>(v);
            changes = changes || table[c][v] != v;
        }
    // A step that maps every value to itself leaves the texture as it was.
    if (!changes) return;
    for (size_t i = 0; i + 2 < t.rgb.size(); i += 3)
        for (int c = 0; c < 3; ++c) t.rgb[i + c] = table[c][t.rgb[i + c]];
    t.Changed();
}

void ModColor(TextureImage& t, int asian, int african, const Colour& mean) {
    const Colour* colours[2] = {&kAsianColour, &kAfricanColour};
    const int positions[2] = {asian, african};
    for (int k = 0; k < 2; ++k) {
        const double f = positions[k] > 3 ? (positions[k] - 3) * 0.333 / 6 : 0.0;
        if (f == 0) continue;
        double offset[3];
        for (int c = 0; c < 3; ++c) offset[c] = ((*colours[k])[c] - mean[c]) * f;
        ShiftColours(t, offset);
    }
}

void ModColorStep(TextureImage& t, int from, int to, const Colour& colour, const Colour& mean) {
    const double d = (to - from) * 0.666 / 10;
    double offset[3];
    for (int c = 0; c < 3; ++c) offset[c] = d * (colour[c] - mean[c]);
    ShiftColours(t, offset);
}

double AgeElevation(int age) { return (90 - 5 * age) * 3.141592653589793 / 180.0; }

void TextureToBitmap(const TextureImage& t, CWinBmp& out) {
    out.Create(t.width, t.height, 32, false);
    if (t.rgb.size() < size_t(t.width) * size_t(t.height) * 3) return;
    for (int y = 0; y < t.height; ++y) {
        const unsigned char* s = &t.rgb[size_t(y) * t.width * 3];
        CPixel32* d = reinterpret_cast<CPixel32*>(out.GetLine(y));
        for (int x = 0; x < t.width; ++x, s += 3) d[x] = CPixel32(s[0], s[1], s[2], 0);
    }
}

void BitmapToTexture(const CWinBmp& bmp, TextureImage& t) {
    const int w = std::min(bmp.GetWidth(), t.width), h = std::min(bmp.GetHeight(), t.height);
    if (bmp.GetBitsPerPixel() != 32 || t.rgb.size() < size_t(t.width) * size_t(t.height) * 3) return;
    for (int y = 0; y < h; ++y) {
        const CPixel32* s = reinterpret_cast<const CPixel32*>(bmp.GetLine(y));
        unsigned char* d = &t.rgb[size_t(y) * t.width * 3];
        for (int x = 0; x < w; ++x, d += 3) {
            d[0] = s[x].GetR();
            d[1] = s[x].GetG();
            d[2] = s[x].GetB();
        }
    }
    t.Changed();
}

void ModTexture(TextureImage& t, const CWinBmp& ageMap, int age) {
    if (age == 0 || t.width <= 0 || t.height <= 0 || ageMap.GetBitsPerPixel() != 32) return;
    CWinBmp colours, result, relief;
    TextureToBitmap(t, colours);
    result.Create(t.width, t.height, 32, false);
    for (int y = 0; y < t.height; ++y) std::fill_n(result.GetLine(y), size_t(t.width) * 4, uint8_t(255));
    // The map holds the face as the layout lies, not as the texture keeps it.
    AgeMapOnTexture(ageMap, relief);
    Emboss(&relief, &colours, &result, kAgeAzimuth, AgeElevation(age), kAgeReliefWidth);
    BitmapToTexture(result, t);
}

void KeepPaintedTexels(const TextureImage& current, const std::vector<unsigned char>& produced, TextureImage& start) {
    if (current.rgb.size() != produced.size() || current.rgb.size() != start.rgb.size()) return;
    bool kept = false;
    for (size_t i = 0; i + 2 < current.rgb.size(); i += 3)
        if (current.rgb[i] != produced[i] || current.rgb[i + 1] != produced[i + 1] ||
            current.rgb[i + 2] != produced[i + 2]) {
            start.rgb[i] = current.rgb[i];
            start.rgb[i + 1] = current.rgb[i + 1];
            start.rgb[i + 2] = current.rgb[i + 2];
            kept = true;
        }
    if (kept) start.Changed();
}

}  // namespace morph
