#include "views/merged_photo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace views {
namespace {

uint64_t pixelHash(const CWinBmp& b) {
    uint64_t h = 1469598103934665603ull;
    const int bytes = b.GetLineBytes();
    for (int y = 0; y < b.GetHeight(); ++y) {
        const uint8_t* row = b.GetLine(y);
        int x = 0;
        for (; x + 8 <= bytes; x += 8) {
            uint64_t w;
            std::memcpy(&w, row + x, 8);
            h = (h ^ w) * 1099511628211ull;
        }
        for (; x < bytes; ++x) h = (h ^ row[x]) * 1099511628211ull;
    }
    return h;
}

// A 32-bit copy of any photo; the picture library converts 8 and 1 bits but
// not 24 (a photo from a project without stored bytes is a 24-bit picture).
void copyTo32(const CWinBmp& src, CWinBmp& dst) {
    if (src.GetBitsPerPixel() != 24) {
        dst.CreateCopy(src, 32);
        return;
    }
    const int w = src.GetWidth(), h = src.GetHeight();
    dst.Create(w, h, 32, false);
    uint8_t** from = src.GetLineArray();
    uint8_t** to = dst.GetLineArray();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c) to[y][4 * x + c] = from[y][3 * x + c];
            to[y][4 * x + 3] = 0xFF;
        }
}

}  // namespace

bool ScaledPhoto::prepare(const CWinBmp* photo, int cw, int ch) {
    if (!photo || photo->GetWidth() <= 0 || photo->GetHeight() <= 0 || cw <= 0 || ch <= 0) {
        key_ = Key{};
        return false;
    }
    const int pw = photo->GetWidth(), ph = photo->GetHeight();
    const Key key{photo, pw, ph, cw, ch, pixelHash(*photo)};
    if (key == key_ && bmp_.GetWidth() > 0) return true;
    key_ = key;
    ++generation_;
    if (pw < 9 || ph < 9) {
        copyTo32(*photo, bmp_);
        x0_ = y0_ = 0;
        return true;
    }
    double m = std::min(double(cw + 1) / pw, double(ch + 1) / ph);
    int sw = std::max(1, int(pw * m)), sh = std::max(1, int(ph * m));
    // The resize only reads its source.
    CWinBmp converted;
    const CWinBmp* source = photo;
    if (photo->GetBitsPerPixel() != 32) {
        copyTo32(*photo, converted);
        source = &converted;
    }
    bmp_.ResizeBilinearFrom(const_cast<CWinBmp&>(*source), sw, sh);
    x0_ = int(((cw + 1) - sw) / 2.0);
    y0_ = int(((ch + 1) - sh) / 2.0);
    return true;
}

uint32_t overlayMergedPixel(uint32_t photo, uint32_t rendered) {
    uint32_t out = 0;
    const bool white = (rendered & 0xFFFFFFu) == 0xFFFFFFu;
    for (int shift = 0; shift <= 16; shift += 8) {
        int p = int((photo >> shift) & 0xFF);
        int r = white ? int(0.9 * p) : int((rendered >> shift) & 0xFF);
        out |= uint32_t((p + 3 * r) / 4) << shift;
    }
    return out;
}

}  // namespace views
