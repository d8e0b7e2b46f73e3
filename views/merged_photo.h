#pragma once
// The photo laid under a GL view's render in the merged displays: scaled to
// the client with one factor by the bilinear resize and centred.

#include <cstdint>

#include "picture/winbmp.h"
#include "views/offscreen_gl.h"

namespace views {

class ScaledPhoto {
public:
    // The photo scaled by min((cw + 1) / pw, (ch + 1) / ph) and centred in
    // (cw + 1) x (ch + 1), offsets truncated; a photo below 9 pixels on a
    // side is taken unscaled at (0, 0). False without a photo or client.
    bool prepare(const CWinBmp* photo, int cw, int ch);
    int x0() const { return x0_; }
    int y0() const { return y0_; }
    int width() const { return bmp_.GetWidth(); }
    int height() const { return bmp_.GetHeight(); }
    // 0x00RRGGBB of the scaled photo's pixel (x, y), which must lie inside.
    uint32_t pixel(int x, int y) const {
        CPixel32 p = bmp_.GetPixel(x, y);
        return (uint32_t(p.GetR()) << 16) | (uint32_t(p.GetG()) << 8) | p.GetB();
    }
    const CWinBmp& bitmap() const { return bmp_; }
    // Raised each time the scaled copy is made anew.
    uint64_t generation() const { return generation_; }

private:
    CWinBmp bmp_;
    int x0_ = 0, y0_ = 0;
    uint64_t generation_ = 0;
    // What the scaled copy was made from: the same photo, pixels and client
    // reuse it (a hash of the pixels costs far less than the resize).
    struct Key {
        const CWinBmp* photo = nullptr;
        int pw = 0, ph = 0, cw = 0, ch = 0;
        uint64_t hash = 0;
        bool operator==(const Key&) const = default;
    } key_;
};

// The overlay's blend of photo pixel P and rendered pixel R, per channel:
// (P + 3R) / 4, a white R first replaced by trunc(0.9 P).
uint32_t overlayMergedPixel(uint32_t photo, uint32_t rendered);

}  // namespace views
