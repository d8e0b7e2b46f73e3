#include "views/merged_photo.h"

#include <algorithm>
#include <cmath>

namespace views {

bool ScaledPhoto::prepare(const CWinBmp* photo, int cw, int ch) {
    if (!photo || photo->GetWidth() <= 0 || photo->GetHeight() <= 0 || cw <= 0 || ch <= 0) return false;
    const int pw = photo->GetWidth(), ph = photo->GetHeight();
    if (pw < 9 || ph < 9) {
        bmp_.CreateCopy(*photo, 32);
        x0_ = y0_ = 0;
        return true;
    }
    double m = std::min(double(cw + 1) / pw, double(ch + 1) / ph);
    int sw = std::max(1, int(pw * m)), sh = std::max(1, int(ph * m));
    // The resize only reads its source.
    CWinBmp converted;
    const CWinBmp* source = photo;
    if (photo->GetBitsPerPixel() != 32) {
        converted.CreateCopy(*photo, 32);
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
