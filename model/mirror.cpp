#include "model/mirror.h"

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "seams/app.h"
#include "seams/dialogs.h"
#include "framework/system.h"
#include "model/head.h"
#include "seams/views.h"

int head3::BuildMirror() {
    for (Index<vertex> v = vertices.first(); v != -1; v = vertices.nextOf(v)) vertices[v].side = '?';
    mirrored = false;
    const svc::FaceDocument* doc = svc::document();
    if (!(doc && doc->state().counter > 0))
        for (Index<vertex> v = vertices.first(); v != -1; v = vertices.nextOf(v))
            vertices[v].loadPosition = vertices[v].position;
    return 1;
}

namespace {

// The materials of the face, the lips and the eye sockets (none without a
// document), taken once for a whole press.
class MatchedMaterials {
public:
    MatchedMaterials() {
        if (svc::FaceDocument* doc = svc::document()) {
            const svc::FaceTables& t = doc->tables();
            any_ = true;
            face_ = t.faceMaterial, lip_ = t.lipMaterial, eyeSocket_ = t.eyeSocketMaterial;
        }
    }
    bool operator()(int material) const {
        return any_ && (material == face_ || material == lip_ || material == eyeSocket_);
    }

private:
    bool any_ = false;
    int face_ = 0, lip_ = 0, eyeSocket_ = 0;
};

// The triangles of the matched materials filed in a grid by the box in
// which a mirrored position can be accepted by them, so that the search
// below tries only those (in chain order, as the search over every triangle
// would). The box: an accepted point W gives coordinates b (bariCoord,
// each from -0.01 to 1.01, their sum s at most 1.01) with M = sum of b_k V_k
// closer than 1 to W; bariCoord's construction makes W - M = R (1 - s) for
// its reference point R, so |1 - s| < 1 / |R|. The extremes of M over such
// b, widened by 1, bound W.
class SourceGrid {
public:
    // A triangle a mirrored position may be found in, with what the search
    // needs of it at hand: its corners' slots and load-time positions, and
    // the frame bariCoord builds from the corners alone (made once here
    // instead of once for every position tried).
    struct Source {
        int t;
        int a, b, c;
        vector3<double> V1, V2, V3, R;
        matrix33<double> inverse;
    };

    SourceGrid(head3& h, const MatchedMaterials& matchedMaterial) {
        struct Box {
            int source;
            vector3<double> lo, hi;
        };
        std::vector<Box> boxes;
        vector3<double> lo(1e300, 1e300, 1e300), hi(-1e300, -1e300, -1e300);
        double sizes = 0;
        for (Index<triangle> t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
            const triangle& tr = h.triangles[t];
            if (!matchedMaterial(tr.material)) continue;
            Box b{int(sources_.size()), {}, {}};
            const vector3<double>&V1 = h.vertices[tr.a].loadPosition, &V2 = h.vertices[tr.b].loadPosition,
                                  &V3 = h.vertices[tr.c].loadPosition;
            if (!acceptanceBox(V1, V2, V3, &b.lo, &b.hi)) continue;
            // As bariCoord makes them.
            const vector3<double> R = V3 + (V3 - V1) % (V3 - V2);
            const matrix33<double> m(R - V1, R - V2, R - V3);
            sources_.push_back(Source{t, tr.a, tr.b, tr.c, V1, V2, V3, R, m.Inv()});
            lo = fnd::min(lo, b.lo);
            hi = fnd::max(hi, b.hi);
            sizes += std::max({b.hi.x - b.lo.x, b.hi.y - b.lo.y, b.hi.z - b.lo.z});
            boxes.push_back(b);
        }
        if (boxes.empty()) return;
        lo_ = lo;
        // Cells half the size of a box, at most 128 along an axis.
        const double cell = std::max(sizes / boxes.size() / 2, 1e-9);
        for (int a = 0; a < 3; ++a) {
            const double span = a == 0 ? hi.x - lo.x : a == 1 ? hi.y - lo.y : hi.z - lo.z;
            n_[a] = std::clamp(int(span / cell) + 1, 1, 128);
            step_[a] = std::max(span / n_[a], 1e-12);
        }
        // Each cell's sources, in chain order: counted, then filed.
        start_.assign(size_t(n_[0]) * n_[1] * n_[2] + 1, 0);
        auto eachCell = [&](const Box& b, auto&& visit) {
            int from[3], to[3];
            cellRange(b.lo, from);
            cellRange(b.hi, to);
            for (int i = from[0]; i <= to[0]; ++i)
                for (int j = from[1]; j <= to[1]; ++j)
                    for (int k = from[2]; k <= to[2]; ++k) visit((size_t(i) * n_[1] + j) * n_[2] + k);
        };
        for (const Box& b : boxes) eachCell(b, [&](size_t c) { ++start_[c + 1]; });
        for (size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
        filed_.resize(size_t(start_.back()));
        std::vector<int> at(start_.begin(), start_.end() - 1);
        for (const Box& b : boxes) eachCell(b, [&](size_t c) { filed_[size_t(at[c]++)] = b.source; });
    }

    const Source& source(int k) const { return sources_[size_t(k)]; }

    // The sources whose boxes may hold W, in chain order.
    std::span<const int> candidates(const vector3<double>& W) const {
        if (filed_.empty()) return {};
        const double at[3] = {W.x - lo_.x, W.y - lo_.y, W.z - lo_.z};
        int c[3];
        for (int a = 0; a < 3; ++a) {
            if (!(at[a] >= 0)) return {};
            c[a] = int(at[a] / step_[a]);
            if (c[a] >= n_[a]) {
                if (at[a] > step_[a] * n_[a] * (1 + 1e-12)) return {};
                c[a] = n_[a] - 1;
            }
        }
        const size_t k = (size_t(c[0]) * n_[1] + c[1]) * n_[2] + c[2];
        return std::span<const int>(filed_).subspan(size_t(start_[k]), size_t(start_[k + 1] - start_[k]));
    }

private:
    void cellRange(const vector3<double>& p, int* c) const {
        const double at[3] = {p.x - lo_.x, p.y - lo_.y, p.z - lo_.z};
        for (int a = 0; a < 3; ++a) c[a] = std::clamp(int(at[a] / step_[a]), 0, n_[a] - 1);
    }

    static bool acceptanceBox(const vector3<double>& V1, const vector3<double>& V2, const vector3<double>& V3,
                              vector3<double>* lo, vector3<double>* hi) {
        const vector3<double> R = V3 + (V3 - V1) % (V3 - V2);
        const double r = R.length();
        // The sum of the coordinates (a little wider for rounding).
        const double give = r > 0 ? 1.0 / r * 1.001 + 1e-9 : 1e300;
        const double sLo = std::max(-0.03, 1 - give), sHi = std::min(1.01, 1 + give);
        if (sLo > sHi) return false;
        // The corners of the box of coordinates cut by the two sums: two
        // coordinates at a bound, the third from the sum, or all three at
        // bounds within the sums. Each is taken into the box as it is found.
        constexpr double kLow = -0.01, kHigh = 1.01;
        const double bound[2] = {kLow, kHigh};
        vector3<double> boxLo(1e300, 1e300, 1e300), boxHi(-1e300, -1e300, -1e300);
        bool any = false;
        auto take = [&](double b1, double b2, double b3) {
            const vector3<double> M = V1 * b1 + V2 * b2 + V3 * b3;
            boxLo = fnd::min(boxLo, M);
            boxHi = fnd::max(boxHi, M);
            any = true;
        };
        for (double b1 : bound)
            for (double b2 : bound)
                for (double b3 : bound) {
                    const double s = b1 + b2 + b3;
                    if (s >= sLo && s <= sHi) take(b1, b2, b3);
                }
        for (double s : {sLo, sHi})
            for (double u : bound)
                for (double v : bound) {
                    const double rest = s - u - v;
                    if (!(rest >= kLow && rest <= kHigh)) continue;
                    // The free coordinate first, second and third.
                    take(rest, u, v);
                    take(v, rest, u);
                    take(u, v, rest);
                }
        if (!any) return false;
        *lo = boxLo;
        *hi = boxHi;
        const double slack = 1.0 + 1e-6 * (1.0 + std::max(lo->length(), hi->length()));
        *lo -= vector3<double>(slack, slack, slack);
        *hi += vector3<double>(slack, slack, slack);
        return true;
    }

    vector3<double> lo_;
    int n_[3] = {0, 0, 0};
    double step_[3] = {1, 1, 1};
    std::vector<int> start_, filed_;  // each cell's sources: filed_[start_[c] .. start_[c + 1])
    std::vector<Source> sources_;
};

// The first triangle of the matched materials, all corners on one side,
// that holds W (load-time positions); its coordinates snapped to a corner
// when within 0.01 of it.
Index<triangle> findSource(const std::vector<char>& sides, const SourceGrid& grid, const vector3<double>& W,
                           vector3<double>* bary) {
    for (int s : grid.candidates(W)) {
        const SourceGrid::Source& q = grid.source(s);
        const char side = sides[size_t(q.a)];
        if (side != sides[size_t(q.b)] || side != sides[size_t(q.c)]) continue;
        vector3<double> k = (q.R - W) * q.inverse;  // bariCoord(V1, V2, V3, W)
        if (k.x < -0.01 || k.y < -0.01 || k.z < -0.01) continue;
        if (k.x > 1.01 || k.y > 1.01 || k.z > 1.01 || k.x + k.y + k.z > 1.01) continue;
        const vector3<double> m = q.V1 * k.x + q.V2 * k.y + q.V3 * k.z - W;
        if (!(std::sqrt(m * m) < 1.0)) continue;
        if (std::fabs(k.x - 1) < 0.01) k = {1, 0, 0};
        else if (std::fabs(k.y - 1) < 0.01) k = {0, 1, 0};
        else if (std::fabs(k.z - 1) < 0.01) k = {0, 0, 1};
        *bary = k;
        return q.t;
    }
    return -1;
}

void mirrorTexture(TextureImage* tex, char side) {
    if (!tex || tex->width <= 0 || tex->height <= 0) return;
    const int w = tex->width;
    for (int row = 0; row < tex->height / 2; ++row)
        for (int q = 0; q < w; ++q) {
            const bool replaced = side == 'L' ? q < w / 2 : q >= w / 2;
            if (!replaced) continue;
            unsigned char* to = &tex->rgb[3 * (size_t(row) * w + q)];
            const unsigned char* from = &tex->rgb[3 * (size_t(row) * w + (w - 1 - q))];
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    tex->Changed();
}

}  // namespace

int MirrorHead(head3& h, char side) {
    CWaitCursor wait;
    if (h.mirrored) {
        MessageBeep(MB_ICONASTERISK);
        return 0;
    }
    h.set_actual();
    svc::Progress& progress = svc::progress();
    progress.Open(0, 18, side == 'L' ? "Mirroring right to left" : "Mirroring left to right", false);
    h.mirrored = true;

    // The middle plane x = x0 through the foremost vertices.
    vector3<double> lo(1e10, 1e10, 1e10), hi(-1e10, -1e10, -1e10);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const vector3<double>& p = h.vertices[v].loadPosition;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    double sumX = 0;
    int front = 0;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const vector3<double>& p = h.vertices[v].loadPosition;
        if (std::fabs(p.z - hi.z) <= 1e-8) sumX += p.x, ++front;
    }
    const double x0 = front ? sumX / front : 0.0;
    const double halfWidth = (hi.x - lo.x) * 0.5;

    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vertex& vx = h.vertices[v];
        vx.loadPosition.x -= x0;
        const double x = vx.loadPosition.x;
        vx.side = std::fabs(x) < 1e-8 ? '=' : x >= 0 ? 'R' : 'L';
        // -1 is the only "no source" mark.
        vx.mirrorTriangle = -1;
        vx.mirrorCoord = {};
    }

    mirrorTexture(h.texture.get(), side);

    const MatchedMaterials matchedMaterial;
    const SourceGrid grid(h, matchedMaterial);
    // The vertices' sides by slot, as the search reads them (a vertex left
    // without a source changes its side on the way).
    std::vector<char> sides(size_t(h.vertices.pool()->size()));
    for (int v = 0; v < int(sides.size()); ++v) sides[size_t(v)] = h.vertices[v].side;
    const int n = h.vertices.count();
    auto stepAt = [n](int index) {
        if (index == 0) return true;
        for (int k = 1; k <= 13; ++k)
            if (index == k * n / 14) return true;
        for (int k = 1; k <= 7; k += 2)
            if (index == k * n / 28) return true;
        return false;
    };
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        if (stepAt(v)) progress.Step(0);
        vertex& vx = h.vertices[v];
        // A vertex without triangles has no material to judge by.
        if (vx.triangles.count() == 0) continue;
        if (!matchedMaterial(h.triangles[vx.triangles[vx.triangles.first()]].material) || vx.side == '=') continue;
        const vector3<double> W(-vx.loadPosition.x, vx.loadPosition.y, vx.loadPosition.z);
        vector3<double> b;
        Index<triangle> t = findSource(sides, grid, W, &b);
        if (t == -1) {
            h.vertices[v].side = sides[size_t(v)] = ' ';
            continue;
        }
        h.vertices[v].mirrorTriangle = t;
        h.vertices[v].mirrorCoord = b;
    }

    const vector3<double> shift(x0, 0, 0);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vertex& vx = h.vertices[v];
        vx.loadPosition.x += x0;
        if (vx.side != side || vx.mirrorTriangle == -1 || halfWidth <= 0) continue;
        const triangle& tr = h.triangles[vx.mirrorTriangle];
        const vector3<double> P1 = h.vertices[tr.a].position - shift, P2 = h.vertices[tr.b].position - shift,
                              P3 = h.vertices[tr.c].position - shift;
        const vector3<double>& b = vx.mirrorCoord;
        const vector3<double> M = P1 * b.x + P2 * b.y + P3 * b.z;
        const double d = (std::fabs(M.x) + std::fabs(P1.x + P2.x + P3.x) / 3) * 0.5;
        const double w = d / halfWidth;
        const vector3<double> image(-M.x, M.y, M.z);
        h.vertices[v].position = (h.vertices[v].position - shift) * (1 - w) + image * w + shift;
    }
    h.Changed();
    progress.Close();
    return 1;
}

int OnMirror(char side) {
    if (!actual_head3) return 0;
    if (!MirrorHead(*actual_head3, side)) return 0;
    svc::FaceDocument* doc = svc::document();
    if (doc) {
        if (svc::ViewEdit3D* v3 = doc->GetViewEdit3D()) v3->InitializeModelForOpenGL();
        const char* names[4] = {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"};
        for (const char* name : names)
            if (svc::FaceView* v = doc->GetView(name)) v->redrawFlag = false;
        for (const char* name : names)
            if (svc::FaceView* v = doc->GetView(name)) v->Redraw();
    }
    if (svc::MainFrame* f = svc::mainFrame()) f->OnViews2();
    return 1;
}
