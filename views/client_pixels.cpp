#include "views/client_pixels.h"

#include <algorithm>

namespace views {

ClientPixels::ClientPixels(CDC& dc, int width, int height) : dc_(dc) {
    if (width <= 0 || height <= 0) return;
    brv::Surface* s = dc.GetSurface();
    CRect clip;
    const int kind = dc.GetClipBox(&clip);
    const CPoint origin = dc.GetSurfaceOrigin();
    onSurface_ = CRect(origin.x, origin.y, origin.x + width, origin.y + height);
    // Straight into the surface only when every client pixel may be written:
    // a window DC (no bitmap selected) without moved origins, whose clip is
    // one rectangle holding the client, inside the surface.
    const bool plain = s && !dc.GetCurrentBitmap() && dc.GetViewportOrg() == CPoint(0, 0) &&
                       dc.GetWindowOrg() == CPoint(0, 0);
    if (plain && kind == SIMPLEREGION && clip.left <= 0 && clip.top <= 0 && clip.right >= width &&
        clip.bottom >= height && onSurface_.left >= 0 && onSurface_.top >= 0 && onSurface_.right <= s->Width() &&
        onSurface_.bottom <= s->Height()) {
        surface_ = s;
        rows_ = {s->Row(origin.y) + origin.x, width, height, s->Stride()};
        return;
    }
    buffer_.assign(size_t(width) * size_t(height), 0);
    rows_ = {buffer_.data(), width, height, width};
}

ClientPixels::~ClientPixels() { commit(); }

void ClientPixels::commit() {
    if (committed_ || rows_.empty()) return;
    committed_ = true;
    if (surface_)
        surface_->AddDirty(onSurface_);
    else
        CopyRows(dc_, 0, 0, rows_);
}

void CopyRows(CDC& dc, int x, int y, const offscreen::PixelRows& rows) {
    if (rows.empty()) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = rows.width;
    info.bmiHeader.biHeight = -rows.height;  // top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (rows.stride == rows.width) {
        dc.StretchDIBits(x, y, rows.width, rows.height, 0, 0, rows.width, rows.height, rows.top, &info, DIB_RGB_COLORS,
                         SRCCOPY);
        return;
    }
    std::vector<uint32_t> packed(size_t(rows.width) * size_t(rows.height));
    for (int r = 0; r < rows.height; ++r)
        std::copy_n(rows.row(r), rows.width, packed.data() + size_t(r) * size_t(rows.width));
    dc.StretchDIBits(x, y, rows.width, rows.height, 0, 0, rows.width, rows.height, packed.data(), &info,
                     DIB_RGB_COLORS, SRCCOPY);
}

}  // namespace views
