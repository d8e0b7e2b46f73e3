#include "fitting/resize.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "picture/picfilter.h"
#include "picture/winbmp.h"

namespace {

// For each destination sample: the first source sample and the weights of
// it and the following ones. Kept step for step as the picture library
// makes them, so that the sums come out the same to the last bit.
struct Contribution {
    int left = 0;
    std::vector<double> weights;
};

std::vector<Contribution> contributions(int n, int m, const CResizeKernel& kernel) {
    std::vector<Contribution> table(static_cast<size_t>(m));
    if (n <= 0 || m <= 0) return table;
    const double scale = double(m) / n;
    const double radius = kernel.GetRadius();
    const double support = scale >= 1 ? radius : radius / scale;
    const double factor = scale >= 1 ? 1.0 : scale;
    const int maxWeights = 2 * static_cast<int>(std::ceil(support)) + 1;
    for (int i = 0; i < m; ++i) {
        const double centre = i / scale;
        int left = std::max(0, static_cast<int>(std::floor(centre - support)));
        int right = std::min(n - 1, static_cast<int>(std::ceil(centre + support)));
        if (right - left + 1 > maxWeights) left = right - maxWeights + 1;
        Contribution& c = table[static_cast<size_t>(i)];
        c.left = left;
        double sum = 0;
        for (int k = left; k <= right; ++k) {
            double w = factor * kernel.Weight(factor * (centre - k));
            c.weights.push_back(w);
            sum += w;
        }
        if (sum > 0)
            for (double& w : c.weights) w /= sum;
    }
    return table;
}

// The taps of one destination sample with a weight other than 0: adding
// 0 * p to a sum of non-negative terms leaves it as it is, so they can go.
struct Taps {
    std::vector<int> start;  // per sample, into index and weight
    std::vector<int> index;
    std::vector<double> weight;
};

Taps nonZero(const std::vector<Contribution>& table) {
    Taps t;
    for (const Contribution& c : table) {
        t.start.push_back(int(t.index.size()));
        for (size_t k = 0; k < c.weights.size(); ++k)
            if (c.weights[k] != 0) {
                t.index.push_back(c.left + int(k));
                t.weight.push_back(c.weights[k]);
            }
    }
    t.start.push_back(int(t.index.size()));
    return t;
}

uint8_t toByte(double v) {
    v += 0.5;
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return static_cast<uint8_t>(v);
}

}  // namespace

void ResizeBilinearInto(CBaseBmp& src, CWinBmp& dst, int width, int height) {
    if (src.GetBitsPerPixel() != 32) {
        dst = src;
        dst.ResizeBilinear(width, height);
        return;
    }
    CTriangleKernel kernel(1.0);
    const int w = src.GetWidth(), h = src.GetHeight();
    const int nw = std::max(0, width), nh = std::max(0, height);
    dst.Create(nw, nh, 32, src.HasAlpha());
    if (nw == 0 || nh == 0) return;

    // Horizontal pass: the mid picture keeps bytes, as the library's does.
    Taps horizontal = nonZero(contributions(w, nw, kernel));
    // One tap of weight 1 on the same column everywhere: 0 + 1 * p rounds
    // back to p, the pass is a copy.
    bool identity = nw == w;
    for (int x = 0; identity && x < nw; ++x)
        identity = horizontal.start[size_t(x) + 1] - horizontal.start[size_t(x)] == 1 &&
                   horizontal.index[size_t(horizontal.start[size_t(x)])] == x &&
                   horizontal.weight[size_t(horizontal.start[size_t(x)])] == 1.0;
    std::vector<CPixel32> mid(size_t(nw) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const CPixel32* row = reinterpret_cast<const CPixel32*>(src.GetLine(y));
        CPixel32* out = &mid[size_t(y) * nw];
        if (identity) {
            std::copy(row, row + nw, out);
            continue;
        }
        for (int x = 0; x < nw; ++x) {
            double b = 0, g = 0, r = 0, a = 0;
            for (int k = horizontal.start[size_t(x)]; k < horizontal.start[size_t(x) + 1]; ++k) {
                const CPixel32& p = row[horizontal.index[size_t(k)]];
                double wk = horizontal.weight[size_t(k)];
                b += wk * p.GetB();
                g += wk * p.GetG();
                r += wk * p.GetR();
                a += wk * p.GetA();
            }
            out[x] = CPixel32(toByte(r), toByte(g), toByte(b), toByte(a));
        }
    }

    // Vertical pass a whole row at a time: each pixel still sums its
    // sources in the same order, from zero.
    Taps vertical = nonZero(contributions(h, nh, kernel));
    std::vector<double> acc(size_t(nw) * 4);
    for (int y = 0; y < nh; ++y) {
        std::fill(acc.begin(), acc.end(), 0.0);
        for (int k = vertical.start[size_t(y)]; k < vertical.start[size_t(y) + 1]; ++k) {
            const CPixel32* row = &mid[size_t(vertical.index[size_t(k)]) * nw];
            const double wk = vertical.weight[size_t(k)];
            double* s = acc.data();
            for (int x = 0; x < nw; ++x, s += 4) {
                s[0] += wk * row[x].GetB();
                s[1] += wk * row[x].GetG();
                s[2] += wk * row[x].GetR();
                s[3] += wk * row[x].GetA();
            }
        }
        CPixel32* out = reinterpret_cast<CPixel32*>(dst.GetLine(y));
        const double* s = acc.data();
        for (int x = 0; x < nw; ++x, s += 4) out[x] = CPixel32(toByte(s[2]), toByte(s[1]), toByte(s[0]), toByte(s[3]));
    }
}

void ResizeBilinearFast(CWinBmp& bmp, int width, int height) {
    CWinBmp out;
    ResizeBilinearInto(bmp, out, width, height);
    bmp = out;
}
