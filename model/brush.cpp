#include "model/brush.h"

#include <cmath>

#include "picture/winbmp.h"

CBrush2& CBrush2::operator=(const CBrush2& o) {
    if (this == &o) return *this;
    size = o.size;
    colour = o.colour;
    CArray_NxM<float>::operator=(o);
    return *this;
}

void CBrush2::Set(int newSize, float strength, RGBColor c, bool falloff) {
    size = -1;
    colour = c;
    if (newSize < 0) return;
    if (newSize % 2) ++newSize;
    SetSize(newSize, newSize);
    for (int r = 0; r < newSize; ++r)
        for (int k = 0; k < newSize; ++k) (*this)[r][k] = 1.0f;
    const int half = newSize / 2;
    const int centre = (newSize + 1) / 2;  // integer division on purpose
    const double step = 0.017453292519943295, full = 6.283185307179586;
    for (int i = 0; i < half; ++i) {
        // A brush of edge 2 has a single ring; the fall-off would divide by 0.
        float value = 1.0f - strength;
        if (falloff && half - 1 > 0) value = 1.0f - strength + strength * float(i) / float(half - 1);
        for (double a = 0; a < full; a += step) {
            int row = int(std::cos(a) * i + centre);
            int col = int(std::sin(a) * i + centre);
            row = row < 0 ? 0 : row > newSize - 1 ? newSize - 1 : row;
            col = col < 0 ? 0 : col > newSize - 1 ? newSize - 1 : col;
            (*this)[row][col] = value;
        }
    }
    size = newSize;
}

int TexturePainter::GetPixel(int x, int y) const {
    const int w = width(), h = height();
    if (w <= 0 || h <= 0) return 0;
    if (x < 0) x += w;
    else if (x >= w) x -= w;
    x = x < 0 ? 0 : x > w - 1 ? w - 1 : x;
    y = y < 0 ? 0 : y > h - 1 ? h - 1 : y;
    const unsigned char* p = texel(x, y);
    return packColor(p[0], p[1], p[2]);
}

void TexturePainter::SetPixel(int x, int y, int colour, float weight, bool once) {
    const int w = width(), h = height();
    if (w <= 0 || h <= 0) return;
    if (x < 0) x += w;
    else if (x >= w) x -= w;
    x = x < 0 ? 0 : x > w - 1 ? w - 1 : x;
    y = y < 0 ? 0 : y > h - 1 ? h - 1 : y;
    if (once) {
        if (paintedW_ != w || paintedH_ != h) return;
        unsigned char& mark = painted_[size_t(x) + size_t(w) * y];
        if (mark) return;
        mark = 1;
    }
    unsigned char* p = texel(x, y);
    const int channel[3] = {redOf(colour), greenOf(colour), blueOf(colour)};
    for (int k = 0; k < 3; ++k) p[k] = (unsigned char)(int)(p[k] * weight + (1.0f - weight) * channel[k]);
    image->Changed();
}

void TexturePainter::ResetPainted() {
    paintedW_ = width();
    paintedH_ = height();
    painted_.assign(size_t(paintedW_) * paintedH_, 0);
}

bool TexturePainter::painted(int x, int y) const {
    if (x < 0 || y < 0 || x >= paintedW_ || y >= paintedH_) return false;
    return painted_[size_t(x) + size_t(paintedW_) * y] != 0;
}

namespace {

// Writes source(i, j) (a packed colour, or -1 for none) through every mask
// cell to the destination texel around (dx, dy); only the first half of the
// rows is painted, and column W wraps to 0.
template <class Source>
void stamp(TexturePainter& p, int dx, int dy, Source source) {
    const CBrush2& brush = p.brush;
    const int n = brush.size, half = n / 2, w = p.width(), hh = p.height() / 2;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const float m = brush[i][j];
            if (m == 1.0f) continue;
            const int x1 = dx + half - i, y1 = dy + half - j;
            if (x1 < 0 || x1 > w || y1 < 0 || y1 >= hh) continue;
            const int colour = source(i, j, half);
            if (colour >= 0) p.SetPixel(x1, y1, colour, m, false);
        }
}

}  // namespace

void TexturePainter::CloneWithBrush(int sx, int sy, int dx, int dy) {
    if (!brush.isSet() || !image) return;
    const int w = width(), hh = height() / 2;
    stamp(*this, dx, dy, [&](int i, int j, int half) {
        const int x0 = sx + half - i, y0 = sy + half - j;
        if (x0 < 0 || x0 > w || y0 < 0 || y0 >= hh) return -1;
        return GetPixel(x0, y0);
    });
}

void TexturePainter::CloneBmpWithBrush(const CWinBmp* bmp, int sx, int sy, int dx, int dy) {
    if (!brush.isSet() || !image || !bmp || bmp->GetBitsPerPixel() != 32) return;
    stamp(*this, dx, dy, [&](int i, int j, int half) {
        const int x0 = sx + half - i, y0 = sy + j - half;  // the picture's rows run upwards
        if (x0 < 0 || x0 >= bmp->GetWidth() || y0 < 0 || y0 >= bmp->GetHeight()) return -1;
        const CPixel32 c = bmp->GetPixel(x0, y0);
        return packColor(c.GetR(), c.GetG(), c.GetB());
    });
}

void Coord3DToTextureCoord(const TextureImage& image, Index<triangle> t, const vector3<double>& b, int& x, int& y) {
    const triangle& tr = t.data();
    const double u = b.x * tr.texture[0].x + b.y * tr.texture[1].x + b.z * tr.texture[2].x;
    const double v = b.x * tr.texture[0].y + b.y * tr.texture[1].y + b.z * tr.texture[2].y;
    x = int(image.width * u + 0.5);
    y = int(image.height * v + 0.5);
}
