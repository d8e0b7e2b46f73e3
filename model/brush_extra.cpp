// The further brush tools of TexturePainter: filters under the brush, the
// spray, drawing with the brush colour, dab lines and the tolerance fill.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "model/brush.h"

void TexturePainter::SetUpBrush(int size, RGBColor colour) { brush.Set(size, 1.0f, colour, false); }

void TexturePainter::DeleteBrush() {
    brush.CArray_NxM<float>::Delete();
    brush.Delete();
}

int TexturePainter::BlurPixel(int x, int y) const {
    int sum[3] = {0, 0, 0};
    for (int i = x - 5; i <= x + 5; ++i)
        for (int j = y - 5; j <= y + 5; ++j) {
            const int c = GetPixel(i, j);
            sum[0] += redOf(c);
            sum[1] += greenOf(c);
            sum[2] += blueOf(c);
        }
    return packColor(sum[0] / 121, sum[1] / 121, sum[2] / 121);
}

int TexturePainter::Compare(const void* a, const void* b) {
    const int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    return x > y ? -1 : x < y ? 1 : 0;
}

int TexturePainter::MedianPixel(int x, int y) const {
    int ch[3][49];
    int n = 0;
    for (int i = x - 3; i <= x + 3; ++i)
        for (int j = y - 3; j <= y + 3; ++j, ++n) {
            const int c = GetPixel(i, j);
            ch[0][n] = redOf(c);
            ch[1][n] = greenOf(c);
            ch[2][n] = blueOf(c);
        }
    int out[3];
    for (int k = 0; k < 3; ++k) {
        std::qsort(ch[k], 49, sizeof(int), Compare);
        int s = 0;
        for (int m = 12; m <= 35; ++m) s += ch[k][m];
        out[k] = s / 24;
    }
    return packColor(out[0], out[1], out[2]);
}

namespace {

// Filters every texel under the brush into a scratch picture first, so the
// filter never reads a texel it already changed.
template <class Filter>
void filterUnderBrush(TexturePainter& p, int x, int y, bool once, Filter filter) {
    if (!p.brush.isSet() || !p.image) return;
    const int n = p.brush.size, r = n / 2;
    std::vector<int> scratch(size_t(n) * n, 0);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (p.brush[i][j] != 1.0f) scratch[size_t(i) * n + j] = filter(x + r - i, y + r - j);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (p.brush[i][j] != 1.0f) p.SetPixel(x + r - i, y + r - j, scratch[size_t(i) * n + j], 0.0f, once);
}

}  // namespace

void TexturePainter::BlurWithBrush(int x, int y) {
    filterUnderBrush(*this, x, y, false, [this](int u, int v) { return BlurPixel(u, v); });
}

void TexturePainter::MedianWithBrush(int x, int y) {
    filterUnderBrush(*this, x, y, true, [this](int u, int v) { return MedianPixel(u, v); });
}

void TexturePainter::RndWithBrush(int x, int y) {
    if (!brush.isSet() || !image) return;
    const int n = brush.size, r = n / 2;
    const double R = r;
    // A brush of edge 1 has no radius: the weight (d / R)^3 is undefined.
    if (R <= 0) return;
    double sum[3] = {0, 0, 0};
    int count = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (brush[i][j] == 1.0f) continue;
            const double d = std::hypot(double(i - r), double(j - r));
            if (d <= 0.75 * R || d > R) continue;
            const int c = GetPixel(x + r - i, y + r - j);
            sum[0] += redOf(c);
            sum[1] += greenOf(c);
            sum[2] += blueOf(c);
            ++count;
        }
    int mean[3] = {0, 0, 0};
    if (count)
        for (int k = 0; k < 3; ++k) mean[k] = int(sum[k] / count);
    auto draw = [&](int& a, int& b) {
        do {
            a = int(nextRandom() / 2147483647.0 * n);
            b = int(nextRandom() / 2147483647.0 * n);
        } while (std::hypot(double(a - r), double(b - r)) > R);
    };
    auto pull = [&](int c) {
        // Without a ring the mean is unknown: the channels stay as read.
        if (!count) return c;
        int ch[3] = {redOf(c), greenOf(c), blueOf(c)};
        for (int k = 0; k < 3; ++k)
            if (ch[k] > mean[k] + 15 || ch[k] < mean[k] - 15) ch[k] = mean[k];
        return packColor(ch[0], ch[1], ch[2]);
    };
    for (int rep = 0; rep < 3 * n; ++rep) {
        int a, b, c, e;
        draw(a, b);
        draw(c, e);
        const int p1 = pull(GetPixel(x - a + r, y - b + r));
        const int p2 = pull(GetPixel(x - c + r, y - e + r));
        const double d = std::hypot(double(a - r), double(b - r));
        const float w = float(std::pow(d / R, 3));
        SetPixel(x - a + r, y - b + r, p2, w, true);
        SetPixel(x - c + r, y - e + r, p1, w, true);
    }
}

void TexturePainter::DrawWithBrush(int x, int y) {
    if (!brush.isSet() || !image) return;
    const int n = brush.size, r = n / 2, colour = brush.colour.packed();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            if (brush[i][j] != 1.0f) SetPixel(x + r - i, y + r - j, colour, brush[i][j], true);
}

void TexturePainter::dab(int x, int y, DRAW_TOOL tool) {
    if (tool == DRAW_TOOL_SPRAY) RndWithBrush(x, y);
    else DrawWithBrush(x, y);
}

void TexturePainter::DrawLine(int x0, int y0, int x1, int y1, DRAW_TOOL tool) {
    const int w = width(), h = height();
    if (std::abs(x1 - x0) > w / 2) {
        // The line runs across the seam.
        if (x0 > x1) x0 -= w;
        else x1 -= w;
    }
    if (x0 == x1 && y0 == y1) {
        dab(x0, y0, tool);
        return;
    }
    if (y0 < 0 || y0 >= h || y1 < 0 || y1 >= h) return;
    if (std::max(x1 - x0, x0 - x1) <= std::max(y1 - y0, y0 - y1)) {
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        for (int y = y0; y < y1; ++y) dab(int(x0 + double(y - y0) * (x1 - x0) / (y1 - y0) + 0.5), y, tool);
    } else {
        if (x0 > x1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        for (int x = x0; x < x1; ++x) dab(x, int(y0 + double(x - x0) * (y1 - y0) / (x1 - x0) + 0.5), tool);
    }
}

void TexturePainter::ReplaceColor(int x, int y, RGBColor from, RGBColor to) {
    if (!inside(x, y)) return;
    const int c = GetPixel(x, y);
    int ch[3] = {redOf(c) - from.r8() + to.r8(), greenOf(c) - from.g8() + to.g8(), blueOf(c) - from.b8() + to.b8()};
    for (int& v : ch) v = std::clamp(v, 0, 255);
    SetPixel(x, y, packColor(ch[0], ch[1], ch[2]), 0.0f, false);
}

bool TexturePainter::IsInside(int x, int y, RGBColor seed, int tol, float f) const {
    if (!inside(x, y) || painted(x, y)) return false;
    const int lo = int(-tol * f), hi = int(tol * (1 - f));
    const int c = GetPixel(x, y);
    const int d[3] = {redOf(c) - seed.r8(), greenOf(c) - seed.g8(), blueOf(c) - seed.b8()};
    for (int v : d)
        if (!(lo < v && v <= hi)) return false;
    return true;
}

void TexturePainter::Fill(int x, int y, RGBColor seed, RGBColor newColour, int tol, float f) {
    const int w = width(), h = height();
    if (w <= 0 || h <= 0) return;
    if (!inside(x, y)) {
        x = w / 2;
        y = h / 2;
    }
    ResetPainted();
    if (!IsInside(x, y, seed, tol, f)) return;
    auto mark = [&](int u, int v) { painted_[size_t(u) + size_t(w) * v] = 1; };
    auto wrap = [w](int u) { return u < 0 ? u + w : u >= w ? u - w : u; };
    // Span fill: each popped texel grows into its whole run along the row
    // (across the left and right edges), and the rows above and below get
    // one entry per stretch that passes.
    std::vector<XY> stack{{x, y}};
    std::vector<int> run;
    while (!stack.empty()) {
        const XY s = stack.back();
        stack.pop_back();
        if (!IsInside(s.x, s.y, seed, tol, f)) continue;
        run.clear();
        run.push_back(s.x);
        mark(s.x, s.y);
        for (int u = wrap(s.x - 1); IsInside(u, s.y, seed, tol, f); u = wrap(u - 1)) {
            mark(u, s.y);
            run.push_back(u);
        }
        for (int u = wrap(s.x + 1); IsInside(u, s.y, seed, tol, f); u = wrap(u + 1)) {
            mark(u, s.y);
            run.push_back(u);
        }
        std::sort(run.begin(), run.end());
        for (int dy : {-1, 1}) {
            const int v = s.y + dy;
            if (v < 0 || v >= h) continue;
            bool inStretch = false;
            int prev = -2;
            for (int u : run) {
                if (u != prev + 1) inStretch = false;
                prev = u;
                const bool pass = IsInside(u, v, seed, tol, f);
                if (pass && !inStretch) stack.push_back({u, v});
                inStretch = pass;
            }
        }
    }
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u)
            if (painted(u, v)) ReplaceColor(u, v, seed, newColour);
}
