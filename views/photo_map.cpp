#include "views/photo_map.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "picture/winbmp.h"
#include "views/client_pixels.h"

namespace views {
namespace {

bool inRange(double z) { return std::isfinite(z) && z >= PhotoMap::kMinZoom && z <= PhotoMap::kMaxZoom; }

}  // namespace

void PhotoMap::fit(int W, int H, int w, int h) {
    if (w <= 8 || h <= 8 || W <= 0 || H <= 0) return;
    zoom = std::min(double(W) / w, double(H) / h);
    offsetX = (W - std::trunc(w * zoom)) / 2;
    offsetY = (H - std::trunc(h * zoom)) / 2;
}

bool PhotoMap::zoomAboutCentre(double f, int W, int H) {
    if (!inRange(zoom * f)) return false;
    const int cx = W / 2, cy = H / 2;
    zoom *= f;
    offsetX = f * (offsetX - cx) + cx;
    offsetY = f * (offsetY - cy) + cy;
    return true;
}

void PhotoMap::resize(int from, int to) {
    // A hidden pane (height 0) keeps its placement for when it shows again.
    if (from <= 0 || to <= 0) return;
    const double r = double(to) / from;
    if (!inRange(zoom * r)) return;
    zoom *= r;
    offsetX *= r;
    offsetY *= r;
}

bool PhotoMap::zoomIn(CPoint a, CPoint b, int cw, int ch) {
    double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const double w = std::abs(b.x - a.x), h = std::abs(b.y - a.y);
    if ((w == 0 && h == 0) || cw <= 0 || ch <= 0) return false;
    double s;
    if (h < w) {
        s = cw / w;
        top -= (double(ch) / cw * w - h) / 2;
    } else {
        s = ch / h;
        left -= (double(cw) / ch * h - w) / 2;
    }
    if (!inRange(zoom * s)) return false;
    zoom *= s;
    offsetX = s * (offsetX - left);
    offsetY = s * (offsetY - top);
    return true;
}

bool PhotoMap::zoomOut(CPoint a, CPoint b, int cw, int ch) {
    const double left = std::min(a.x, b.x), top = std::min(a.y, b.y);
    const double w = std::abs(b.x - a.x), h = std::abs(b.y - a.y);
    if (w == 0 || h == 0 || cw <= 0 || ch <= 0) return false;
    double z, ex = 0, ey = 0;
    if (h < w) {
        z = w * zoom / cw;
        ey = (h / w * cw - ch) / 2;
    } else {
        z = h * zoom / ch;
        ex = (ch * w / h - cw) / 2;
    }
    if (!inRange(z)) return false;
    offsetX = z * (offsetX + ex) / zoom + left;
    offsetY = z * (offsetY + ey) / zoom + top;
    zoom = z;
    return true;
}

int PhotoMap::sourceColumn(int x) const { return int(std::floor((x - std::trunc(offsetX)) / zoom)); }
int PhotoMap::sourceRow(int y) const { return int(std::floor((y - std::trunc(offsetY)) / zoom)); }

void DrawPhoto(CDC& dc, const CRect& client, const CWinBmp& bmp, const PhotoMap& map) {
    const int w = bmp.GetWidth(), h = bmp.GetHeight();
    if (w <= 8 || h <= 8 || bmp.GetBitsPerPixel() != 32 || client.IsRectEmpty()) return;
    dc.SetStretchBltMode(COLORONCOLOR);
    // The client columns and rows that show the picture.
    CRect clip;
    dc.GetClipBox(&clip);
    clip = CRect(std::max(clip.left, client.left), std::max(clip.top, client.top), std::min(clip.right, client.right),
                 std::min(clip.bottom, client.bottom));
    std::vector<int> cols;
    int x0 = -1;
    for (int x = clip.left; x < clip.right; ++x) {
        const int sx = map.sourceColumn(x);
        if (sx < 0 || sx >= w) {
            if (x0 >= 0) break;
            continue;
        }
        if (x0 < 0) x0 = x;
        cols.push_back(sx);
    }
    int y0 = -1, y1 = -1;
    for (int y = clip.top; y < clip.bottom; ++y) {
        const int sy = map.sourceRow(y);
        if (sy < 0 || sy >= h) {
            if (y0 >= 0) break;
            continue;
        }
        if (y0 < 0) y0 = y;
        y1 = y + 1;
    }
    if (cols.empty() || y0 < 0) return;
    const int n = int(cols.size());
    std::vector<uint32_t> part(size_t(n) * size_t(y1 - y0));
    for (int y = y0; y < y1; ++y) {
        const uint32_t* src = reinterpret_cast<const uint32_t*>(bmp.GetLine(map.sourceRow(y)));
        uint32_t* out = part.data() + size_t(y - y0) * size_t(n);
        for (int i = 0; i < n; ++i) out[i] = src[cols[i]] & 0xFFFFFFu;
    }
    CopyRows(dc, x0, y0, {part.data(), n, y1 - y0, n});
}

}  // namespace views
