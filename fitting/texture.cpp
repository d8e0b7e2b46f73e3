#include "fitting/texture.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <numbers>
#include <queue>
#include <span>
#include <string_view>
#include <utility>

#include "seams/app.h"
#include "seams/dialogs.h"
#include "fitting/kernel2d.h"
#include "foundation/random.h"
#include "picture/membmp.h"
#include "picture/picfilter.h"
#include "picture/pixelstore.h"
#include "picture/textexception.h"
#include "model/head.h"
#include "seams/views.h"

namespace {

const CPixel32 kClearWhite(255, 255, 255, 0);

bool pureWhite(CPixel32 p) { return p.GetR() == 255 && p.GetG() == 255 && p.GetB() == 255; }
bool isSet(const vector2<double>& c) { return c.x >= 0 && c.y >= 0; }
void step() { svc::progress().Step(0); }
int rnd() { return fnd::nextRandom(); }

void fill(CWinBmp& b, CPixel32 c) {
    for (int y = 0; y < b.GetHeight(); ++y) std::fill_n(reinterpret_cast<CPixel32*>(b.GetLine(y)), b.GetWidth(), c);
}

// Barycentric coordinates of p in the triangle a, b, c (NaN when it is flat).
void barycentric(const vector2<double>& a, const vector2<double>& b, const vector2<double>& c,
                 const vector2<double>& p, double out[3]) {
    double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    double b1 = ((p.x - a.x) * (c.y - a.y) - (c.x - a.x) * (p.y - a.y)) / det;
    double b2 = ((b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y)) / det;
    out[0] = 1 - b1 - b2;
    out[1] = b1;
    out[2] = b2;
}

// The corners of each vertex's triangles, fan by fan and corner by corner
// (the vertex itself among them), and every slot's position, in two plain
// arrays: the passes over the mesh below walk them many times.
struct MeshCorners {
    std::vector<int> begin;  // by vertex slot, one more at the end
    std::vector<int> corners;
    std::vector<vector3<double>> position;  // by vertex slot
    std::span<const int> of(int v) const {
        return std::span<const int>(corners).subspan(size_t(begin[size_t(v)]),
                                                     size_t(begin[size_t(v) + 1] - begin[size_t(v)]));
    }
};

MeshCorners meshCorners(const head3& h, int slots) {
    MeshCorners m;
    m.begin.assign(size_t(slots) + 1, 0);
    m.position.resize(size_t(slots));
    for (int v = 0; v < slots; ++v) m.position[size_t(v)] = h.vertices[v].position;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        m.begin[size_t(v) + 1] = 3 * h.vertices[v].triangles.count();
    for (int v = 0; v < slots; ++v) m.begin[size_t(v) + 1] += m.begin[size_t(v)];
    m.corners.resize(size_t(m.begin[size_t(slots)]));
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        const vertex& vx = h.vertices[v];
        int* out = m.corners.data() + m.begin[size_t(v)];
        for (auto it = vx.triangles.first(); it != -1; it = vx.triangles.nextOf(it)) {
            const triangle& tr = h.triangles[vx.triangles[it]];
            for (int k = 0; k < 3; ++k) *out++ = tr.corner(k);
        }
    }
    return m;
}

// The photo coordinate of the nearest set vertex for every vertex slot:
// nearest along the mesh's edges, and for a part of the mesh that holds no
// set vertex, nearest in space. The set vertices keep their own. With no
// set vertex at all every slot gets the photo's centre.
std::vector<vector2<double>> nearestSetCoordinates(const head3& h, const MeshCorners& mesh,
                                                   const std::vector<vector2<double>>& coord) {
    const size_t n = coord.size();
    std::vector<vector2<double>> out(coord);
    std::vector<double> dist(n, HUGE_VAL);
    using Item = std::pair<double, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    std::vector<int> set;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        if (size_t(v) < n && isSet(coord[size_t(v)])) {
            dist[size_t(v)] = 0;
            queue.push({0.0, v});
            set.push_back(v);
        }
    if (set.empty()) {
        for (vector2<double>& c : out) c = {0.5, 0.5};
        return out;
    }
    while (!queue.empty()) {
        auto [d, v] = queue.top();
        queue.pop();
        if (d > dist[size_t(v)]) continue;
        const vector3<double>& at = mesh.position[size_t(v)];
        for (int c : mesh.of(v)) {
            if (c < 0 || size_t(c) >= n || c == v) continue;
            double nd = d + (mesh.position[size_t(c)] - at).length();
            if (nd < dist[size_t(c)]) {
                dist[size_t(c)] = nd;
                out[size_t(c)] = out[size_t(v)];
                queue.push({nd, c});
            }
        }
    }
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        if (size_t(v) >= n || dist[size_t(v)] != HUGE_VAL) continue;
        double best = HUGE_VAL;
        for (int s : set) {
            double d = (mesh.position[size_t(s)] - mesh.position[size_t(v)]).length();
            if (d < best) best = d, out[size_t(v)] = coord[size_t(s)];
        }
    }
    return out;
}

vector2<double> clamp01(const vector2<double>& c) {
    return {std::clamp(c.x, 0.0, 1.0), std::clamp(c.y, 0.0, 1.0)};
}

const int kDirections[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};

}  // namespace

namespace {

// The pixels BMP_SetPixel sets on a w x h bitmap, each given to put(x, y).
template <class Put>
void pointPixels(int w, int h, double x, double y, Put&& put) {
    int ix = int(x), iy = int(y);
    if (ix < 0 || iy < 0 || ix >= w || iy >= h) return;
    put(ix, iy);
    bool fx = x != double(ix) && ix + 1 < w;
    bool fy = y != double(iy) && iy + 1 < h;
    if (fx) put(ix + 1, iy);
    if (fy) put(ix, iy + 1);
    if (fx && fy) put(ix + 1, iy + 1);
}

// The pixels BMP_Line sets.
template <class Put>
void linePixels(int w, int h, int x0, int y0, int x1, int y1, Put&& put) {
    int k = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    if (k == 0) {
        pointPixels(w, h, x0, y0, put);
        return;
    }
    for (int i = 0; i <= k; ++i)
        pointPixels(w, h, x0 + double(i) * (x1 - x0) / k, y0 + double(i) * (y1 - y0) / k, put);
}

// A vector of count values whose block, when it is large, comes in huge
// pages: it is touched first here.
template <class T>
std::vector<T> largeVector(size_t count, T value) {
    std::vector<T> v;
    v.reserve(count);
    pixelstore::adviseHugePages(v.data(), v.capacity() * sizeof(T));
    v.assign(count, value);
    return v;
}

// The pixels of the square bitmap W that pass, a bit each, column by
// column: column x's rows y at word x * words + y / 64, bit y % 64. The
// rows are read in order, 64 at a time into one word per column.
template <class Pass>
std::vector<uint64_t> columnBits(const CWinBmp& W, Pass pass) {
    const int n = W.GetWidth(), words = (n + 63) / 64;
    std::vector<uint64_t> out(size_t(n) * words, 0), band(static_cast<size_t>(n));
    for (int w = 0; w < words; ++w) {
        std::fill(band.begin(), band.end(), 0);
        for (int y = w * 64; y < std::min(n, w * 64 + 64); ++y) {
            const CPixel32* row = reinterpret_cast<const CPixel32*>(W.GetLine(y));
            const uint64_t bit = uint64_t(1) << (y % 64);
            for (int x = 0; x < n; ++x)
                if (pass(row[x])) band[size_t(x)] |= bit;
        }
        for (int x = 0; x < n; ++x) out[size_t(x) * words + w] = band[size_t(x)];
    }
    return out;
}

}  // namespace

void BMP_SetPixel(CWinBmp& bmp, double x, double y, CPixel32 c) {
    pointPixels(bmp.GetWidth(), bmp.GetHeight(), x, y, [&](int px, int py) { bmp.SetPixel(px, py, c); });
}

void BMP_Line(CWinBmp& bmp, int x0, int y0, int x1, int y1, CPixel32 c) {
    linePixels(bmp.GetWidth(), bmp.GetHeight(), x0, y0, x1, y1, [&](int px, int py) { bmp.SetPixel(px, py, c); });
}

bool TextureSynthesis::recognisedTriangle(int t) const {
    const svc::FaceTables& tb = svc::document()->tables();
    int m = actual_head3->triangles[t].material;
    return m == tb.faceMaterial || m == tb.lipMaterial || m == tb.eyeSocketMaterial;
}

bool TextureSynthesis::recognisedVertex(int v) const {
    const vertex& vx = actual_head3->vertices[v];
    auto first = vx.triangles.first();
    return first != -1 && recognisedTriangle(vx.triangles[first]);
}

void TextureSynthesis::MakeFullTexture() {
    svc::FaceDocument* doc = svc::document();
    if (!doc || !actual_head3 || !actual_head3->secondFlag) return;
    bool editor = svc::app().state().pictureEditor != 0;
    n_ = doc->state().textureSize;
    // The passes work on 16 x 16 tiles; a size the start page cannot offer
    // builds nothing.
    if (n_ < 16 || n_ > kMaximalTextureSize || n_ % 16) return;
    try {
        CWinBmp W;
        W.Create(n_, n_, 32, true);
        Texture_Beg(W);
        if (!editor) Texture_1(W);
        if (!editor) Texture_2(W);
        Texture_End(W);
    } catch (const CTextException&) {
        // Out of memory for the bitmaps: the head keeps its texture.
    } catch (const std::bad_alloc&) {
    }
}

// The cropped photo of the last modelling step, kept while the photo's
// bytes, its turns and flips, its crop and the texture size stay the same:
// decoding and resizing it again gives the same picture.
struct CroppedPhoto {
    struct Key {
        size_t bytesHash = 0, bytes = 0;
        int32_t crop[7] = {};
        int n = 0;
        bool operator==(const Key&) const = default;
    };
    Key key;
    int32_t cropAfter[4] = {};  // the crop as the photo kernel left it
    CWinBmp picture;
    bool valid = false;
};

namespace {

CroppedPhoto& keptCroppedPhoto() {
    static CroppedPhoto kept;
    return kept;
}

}  // namespace

CroppedPhoto* TextureSynthesis::croppedPhoto(CWinBmp& own, int n) {
    CKernel2D* k = svc::document()->photoKernel();
    // Only a photo kept as its file's bytes is known by them.
    const bool fromBytes = k->fileLength > 0 && !k->fileBytes.empty();
    CroppedPhoto::Key key;
    if (fromBytes) {
        const std::string_view bytes(reinterpret_cast<const char*>(k->fileBytes.data()), k->fileBytes.size());
        key.bytesHash = std::hash<std::string_view>()(bytes);
        key.bytes = bytes.size();
        const int32_t crop[7] = {k->left, k->top, k->right, k->bottom,
                                 k->quarterTurns, k->mirrorLeftRight, k->mirrorTopBottom};
        std::copy(crop, crop + 7, key.crop);
        key.n = n;
    }
    CroppedPhoto& kept = keptCroppedPhoto();
    if (fromBytes && kept.valid && kept.key == key) {
        k->left = kept.cropAfter[0], k->top = kept.cropAfter[1], k->right = kept.cropAfter[2],
        k->bottom = kept.cropAfter[3];
        return &kept;
    }
    kept.valid = false;
    kept.picture = CWinBmp();
    // Stored bytes that are no picture (a damaged project): the working
    // photo stands in.
    if (k->LoadOrigBmp(fromBytes ? &kept.picture : &own, 2, n, n) <= 0) {
        kept.picture = CWinBmp();
        own.ResizeBilinearFrom(k->photo, n, n);
        return nullptr;
    }
    if (!fromBytes) return nullptr;
    kept.key = key;
    kept.cropAfter[0] = k->left, kept.cropAfter[1] = k->top, kept.cropAfter[2] = k->right,
    kept.cropAfter[3] = k->bottom;
    kept.valid = true;
    return &kept;
}

void TextureSynthesis::Texture_Beg(CWinBmp& W) {
    svc::FaceDocument* doc = svc::document();
    head3* h = actual_head3;
    if (!doc || !h || !h->secondFlag) return;
    CKernel2D* photoKernel = doc->photoKernel();
    svc::ViewEdit2D3D* view = doc->GetViewEdit2D3D();
    if (!photoKernel || !view) return;
    n_ = doc->state().textureSize;
    if (n_ < 16 || n_ > kMaximalTextureSize) return;
    const int n = n_;
    const bool editor = svc::app().state().pictureEditor != 0;
    const svc::FaceTables& tables = doc->tables();

    // 1. The cropped photo at n x n, the texture bitmap, the box, the kind of head.
    ownPhoto_ = std::make_unique<CWinBmp>();
    kept_ = croppedPhoto(*ownPhoto_, n);
    if (kept_) ownPhoto_.reset();
    const CWinBmp& P = kept_ ? kept_->picture : *ownPhoto_;
    // The texture is painted in W itself. W made at this size already is
    // kept: it is filled below, and a second block of that size would be
    // zeroed page by page again.
    if (W.GetWidth() != n || W.GetHeight() != n || W.GetBitsPerPixel() != 32 || !W.HasAlpha())
        W.Create(n, n, 32, true);
    CWinBmp& T = W;
    vector3<double> lo(1e10, 1e10, 1e10), hi(-1e10, -1e10, -1e10);
    int recognised = 0;
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) {
        lo = fnd::min(lo, h->vertices[v].loadPosition);
        hi = fnd::max(hi, h->vertices[v].loadPosition);
        if (recognisedVertex(v)) ++recognised;
    }
    special_ = recognised == 6374 && !editor;
    step();

    // 2. Empty texture and depth map; the height of the front.
    fill(T, kClearWhite);
    const int PW = photoKernel->scaledWidth, PH = photoKernel->scaledHeight;
    struct Depth {
        double vertex = -1.0, z = -1e10;
    };
    std::vector<Depth> depth = largeVector(size_t(std::max(PW, 0)) * size_t(std::max(PH, 0)), Depth{});
    double frontHeight = 0;
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v))
        if (std::abs(h->vertices[v].loadPosition.z - hi.z) <= 1e-8) {
            frontHeight = h->vertices[v].loadPosition.y;
            break;
        }
    step();

    // 3. Projection; the nearest vertex (smallest load-time z) keeps a pixel.
    int slots = 0;
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) slots = std::max(slots, v + 1);
    coord_.assign(size_t(slots), vector2<double>(-1, -1));
    std::vector<vector2<double>> projected(static_cast<size_t>(slots));
    const int count = h->vertices.count();
    int ordinal = 0;
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v), ++ordinal) {
        for (int k = 1; k <= 6; ++k)
            if (ordinal == count * k / 7) step();
        if (special_ && !recognisedVertex(v)) continue;
        vector2<double> q;
        if (!view->Coord3Dto2DBMP(h->vertices[v].position, q)) continue;
        double fx = q.x + 0.5, fy = q.y + 0.5;
        if (!(fx >= 0 && fy >= 0 && fx < PW && fy < PH)) continue;
        int px = int(fx), py = int(fy);
        projected[size_t(v)] = q;
        Depth& d = depth[size_t(px) * PH + py];
        double z = h->vertices[v].loadPosition.z;
        if (d.vertex < 0 || d.z > z) d = {double(v), z};
    }
    step();

    // 4. Winners get their photo coordinate in [0, 1].
    for (const Depth& d : depth)
        if (d.vertex >= 0) {
            size_t v = size_t(d.vertex);
            coord_[v] = {projected[v].x / PW, projected[v].y / PH};
        }
    step();

    // 5. Two spreading passes from set neighbours, weights 1 / d^3.
    const MeshCorners mesh = meshCorners(*h, slots);
    for (int pass = 0; pass < 2; ++pass)
        for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v)) {
            if (isSet(coord_[size_t(v)])) continue;
            if (special_ && h->vertices[v].loadPosition.y < frontHeight) continue;
            const vector3<double>& at = mesh.position[size_t(v)];
            double W0 = 0;
            vector2<double> sum(0, 0);
            // Corners in the very same place stand for the vertex itself.
            double Wc = 0;
            vector2<double> sumc(0, 0);
            for (int c : mesh.of(v)) {
                if (c < 0 || size_t(c) >= coord_.size() || !isSet(coord_[size_t(c)])) continue;
                double d = (at - mesh.position[size_t(c)]).length();
                if (d == 0) {
                    Wc += 1;
                    sumc += coord_[size_t(c)];
                    continue;
                }
                double w = 1.0 / (d * d * d);
                if (!std::isfinite(w)) continue;
                W0 += w;
                sum += coord_[size_t(c)] * w;
            }
            if (Wc > 0)
                coord_[size_t(v)] = sumc * (1.0 / Wc);
            else if (W0 > 0)
                coord_[size_t(v)] = sum * (1.0 / W0);
        }
    // A vertex still unset (hidden, with hidden neighbours) takes the
    // coordinate of the nearest set vertex: no corner points off the photo.
    // The special head's unset corners are mended by its repair first.
    const std::vector<vector2<double>> nearest = nearestSetCoordinates(*h, mesh, coord_);
    if (!special_) coord_ = nearest;
    step();

    // 6. Texture coordinates: the photo in the lower half; the recognised
    // materials in their own layout in the upper half, painted from the photo.
    // The picture-editor texture is the photo alone, so there the layout is
    // not used (its v would leave [0, 1] when the photo takes the whole height).
    h->TextureChanged();
    for (int t = h->triangles.first(); t != -1; t = h->triangles.nextOf(t)) {
        triangle& tr = h->triangles[t];
        vector2<double> c[3];
        bool allSet = true;
        for (int k = 0; k < 3; ++k) {
            int v = tr.corner(k);
            c[k] = v >= 0 && size_t(v) < coord_.size() ? coord_[size_t(v)] : vector2<double>(-1, -1);
            tr.texture[k] = {c[k].x, 0.5 * c[k].y + 0.5};
            allSet = allSet && isSet(c[k]);
        }
        if (editor || !allSet || !recognisedTriangle(t)) continue;
        bool rowsOk = true;
        for (int k = 0; k < 3; ++k) rowsOk = rowsOk && tr.txtRow[k] >= 0 && tr.txtRow[k] < tables.txtCoordinates.size();
        if (!rowsOk) continue;
        vector2<double> Tk[3];
        for (int k = 0; k < 3; ++k) {
            const svc::TxtCoordinateRow& row = tables.txtCoordinates[tr.txtRow[k]];
            tr.texture[k] = {row.u, row.v / 2};
            Tk[k] = {n * row.u, n * row.v};
        }
        double minx = std::min({Tk[0].x, Tk[1].x, Tk[2].x}), maxx = std::max({Tk[0].x, Tk[1].x, Tk[2].x});
        double miny = std::min({Tk[0].y, Tk[1].y, Tk[2].y}), maxy = std::max({Tk[0].y, Tk[1].y, Tk[2].y});
        auto clampLow = [](double v) { return std::max(0, int(std::max(v, -1e9))); };
        auto clampHigh = [n](double v) { return std::min(n - 1, int(std::min(v, 1e9))); };
        int x0 = clampLow(minx - 1.5), x1 = clampHigh(maxx + 1.5);
        int y0 = clampLow(miny - 1.5), y1 = clampHigh(maxy + 1.5);
        const vector2<double>&A = Tk[0], &B = Tk[1], &C = Tk[2];
        const double det = (B.x - A.x) * (C.y - A.y) - (C.x - A.x) * (B.y - A.y);
        // A flat triangle's coordinates are not numbers: no pixel takes it.
        if (det == 0) continue;
        // Along a row each coordinate is linear in x: the test below runs
        // only where all three may pass (a pixel wider on each side).
        // The bounds are a pixel wider than the coordinates' lines give, so
        // they need no exact division: what is a pixel inside is decided
        // by the exact coordinates below.
        const double s1 = (C.y - A.y) / det, s2 = -(B.y - A.y) / det, s0 = -(s1 + s2);
        const double slopes[3] = {s0, s1, s2}, perDet = 1 / det;
        const double perSlope[3] = {1 / s0, 1 / s1, 1 / s2};
        for (int y = y0; y < y1; ++y) {
            const double b1 = ((x0 - A.x) * (C.y - A.y) - (C.x - A.x) * (y - A.y)) * perDet;
            const double b2 = ((B.x - A.x) * (y - A.y) - (x0 - A.x) * (B.y - A.y)) * perDet;
            const double b[3] = {1 - b1 - b2, b1, b2};
            double lo = x0, hi = x1 - 1;
            for (int k = 0; k < 3; ++k) {
                if (std::fabs(slopes[k]) < 1e-12) {
                    if (!(b[k] >= -0.01 - 1e-6 && b[k] <= 1.01 + 1e-6)) hi = lo - 1;
                    continue;
                }
                double from = x0 + (-0.01 - b[k]) * perSlope[k], to = x0 + (1.01 - b[k]) * perSlope[k];
                if (from > to) std::swap(from, to);
                lo = std::max(lo, from - 1);
                hi = std::min(hi, to + 1);
            }
            if (!(lo <= hi)) continue;
            const int xs = int(std::ceil(lo)), xe = int(std::floor(hi));
            for (int x = xs; x <= xe; ++x) {
                double b[3];
                barycentric(Tk[0], Tk[1], Tk[2], vector2<double>(x, y), b);
                if (!(b[0] >= -0.01 && b[0] <= 1.01 && b[1] >= -0.01 && b[1] <= 1.01 && b[2] >= -0.01 &&
                      b[2] <= 1.01))
                    continue;
                vector2<double> p(0.5, 0.5);
                for (int k = 0; k < 3; ++k) p += c[k] * (b[k] * n);
                int px = int(p.x), py = int(p.y);
                if (px < 2 || py < 2 || px >= n - 2 || py >= n - 2) continue;
                CPixel32 src = P.GetPixel(px, py);
                CPixel32 old = T.GetPixel(x, n - 1 - y);
                src.SetA(uint8_t(old.GetA() + 1));
                T.SetPixel(x, n - 1 - y, src);
            }
        }
    }

    // 7. Holes take the mirrored column. Each row is on its own, so the
    // rows may go in memory order as long as x runs up within a row.
    for (int y = 0; y < n; ++y) {
        CPixel32* row = reinterpret_cast<CPixel32*>(T.GetLine(y));
        for (int x = 0; x < n; ++x)
            if (row[x].GetA() == 0) row[x] = row[n - 1 - x];
    }
    step();

    // 8. Repair of the special head's unset corners.
    auto keepInRange = [&] {
        for (int t = h->triangles.first(); t != -1; t = h->triangles.nextOf(t))
            for (vector2<double>& c : h->triangles[t].texture) c = clamp01(c);
        h->TextureChanged();
    };
    if (!special_) return keepInRange();
    fnd::seedRandom(1);
    auto unset = [](const vector2<double>& c) { return c.x <= 0 && c.y <= 0; };
    auto jitter = [n]() {
        double dv = double(rnd() % 5 - 2) / n;
        double du = double(rnd() % 5 - 2) / n;
        return vector2<double>(du, dv);
    };
    for (int pass = 0; pass < 20; ++pass)
        for (int t = h->triangles.first(); t != -1; t = h->triangles.nextOf(t)) {
            triangle& tr = h->triangles[t];
            int missing = 0;
            for (int k = 0; k < 3; ++k) missing += unset(tr.texture[k]);
            if (missing == 1) {
                int k = unset(tr.texture[0]) ? 0 : unset(tr.texture[1]) ? 1 : 2;
                tr.texture[k] = (tr.texture[(k + 1) % 3] + tr.texture[(k + 2) % 3]) * 0.5 + jitter();
            } else if (missing == 2) {
                int s = !unset(tr.texture[0]) ? 0 : !unset(tr.texture[1]) ? 1 : 2;
                for (int k = 0; k < 3; ++k)
                    if (k != s) tr.texture[k] = tr.texture[s] + jitter();
            } else if (missing == 3) {
                const vertex& vx = h->vertices[tr.corner(0)];
                for (auto it = vx.triangles.first(); it != -1; it = vx.triangles.nextOf(it)) {
                    const triangle& nb = h->triangles[vx.triangles[it]];
                    for (int k = 0; k < 3; ++k)
                        if (nb.texture[k].x > 0 && nb.texture[k].y > 0) {
                            vector2<double> c = nb.texture[k];
                            for (int m = 0; m < 3; ++m) tr.texture[m] = c;
                            break;
                        }
                }
            }
        }
    // What the repair could not reach takes the nearest set vertex's place.
    for (int t = h->triangles.first(); t != -1; t = h->triangles.nextOf(t)) {
        triangle& tr = h->triangles[t];
        for (int k = 0; k < 3; ++k) {
            int v = tr.corner(k);
            if (unset(tr.texture[k]) && v >= 0 && size_t(v) < nearest.size())
                tr.texture[k] = {nearest[size_t(v)].x, 0.5 * nearest[size_t(v)].y + 0.5};
        }
    }
    keepInRange();
}

void TextureSynthesis::Texture_1(CWinBmp& W) {
    const int n = W.GetWidth();
    head3* h = actual_head3;
    if (!h || n <= 0) return;
    // The mask's grey, one byte a pixel (255: clear).
    std::vector<uint8_t> M = largeVector(size_t(n) * n, uint8_t(255));
    auto mask = [&](int x, int y) -> uint8_t& { return M[size_t(y) * n + x]; };
    const std::vector<vector3<double>>& normals = h->vertexNormals();
    for (int t = h->triangles.first(); t != -1; t = h->triangles.nextOf(t)) {
        if (!recognisedTriangle(t)) continue;
        const triangle& tr = h->triangles[t];
        int xs[3], ys[3];
        vector3<double> normal(0, 0, 0);
        for (int k = 0; k < 3; ++k) {
            xs[k] = int(n * tr.texture[k].x);
            ys[k] = n - 1 - int(2 * n * tr.texture[k].y);
            normal += normals[size_t(int(tr.corner(k)))];
        }
        normal = normal * (1 / 3.0);
        const uint8_t g = uint8_t(int(-125 * normal.z + 125));
        auto put = [&](int x, int y) { mask(x, y) = g; };
        linePixels(n, n, xs[0], ys[0], xs[1], ys[1], put);
        linePixels(n, n, xs[1], ys[1], xs[2], ys[2], put);
        linePixels(n, n, xs[0], ys[0], xs[2], ys[2], put);
    }
    // (Written without branches, these passes run sixteen bytes a step.)
    for (uint8_t& r : M) r = r >= 101 ? uint8_t(255) : r;
    for (int by = 0; by + 16 <= n; by += 16)
        for (int bx = 0; bx + 16 <= n; bx += 16) {
            int dark = 0;
            for (int y = by; y < by + 16; ++y) {
                const uint8_t* m = &mask(bx, y);
                for (int x = 0; x < 16; ++x) dark += m[x] != 255;
            }
            if (dark < 129)
                for (int y = by; y < by + 16; ++y) std::fill_n(&mask(bx, y), 16, uint8_t(255));
        }
    for (int y = 0; y < n; ++y) {
        unsigned char* row = W.GetLine(y);
        for (int x = 0; x < n; ++x) {
            uint32_t v;
            std::memcpy(&v, row + 4 * x, 4);
            v = (v & 0x00FFFFFFu) | uint32_t(100) << 24;  // alpha 100
            std::memcpy(row + 4 * x, &v, 4);
        }
    }
    // Down each column from the top, and up from the bottom, the pixels are
    // cleared up to and including the first one marked dark. The pair of
    // scans clears the same pixels each time it runs, so one run gives what
    // running it twice gives; clearing only sets alpha, so the columns may
    // advance together, a row at a time.
    auto clearFrom = [&](int y0, int y1, int dy) {
        std::vector<char> done(static_cast<size_t>(n), 0);
        int remaining = n;
        for (int y = y0; y != y1 && remaining; y += dy) {
            CPixel32* row = reinterpret_cast<CPixel32*>(W.GetLine(y));
            const uint8_t* dark = &mask(0, y);
            for (int x = 0; x < n; ++x) {
                if (done[size_t(x)]) continue;
                row[x].SetA(0);
                if (dark[x] < 100) done[size_t(x)] = 1, --remaining;
            }
        }
    };
    clearFrom(0, n, 1);
    clearFrom(n - 1, -1, -1);
    // Only pure-white marked pixels change, and a changed one is never pure
    // white again: the first pass finds them, later passes revisit those left.
    std::vector<int> candidates;
    for (int y = 8; y <= n - 9; ++y) {
        const unsigned char* row = W.GetLine(y);
        for (int x = 8; x <= n - 9; ++x) {
            uint32_t v;
            std::memcpy(&v, row + 4 * x, 4);
            if ((v & 0x00FFFFFFu) == 0x00FFFFFFu && v >> 24 != 0) candidates.push_back(y * n + x);  // pure white, seen
        }
    }
    for (int pass = 0; pass < 10; ++pass) {
        size_t kept = 0;
        for (int c : candidates) {
            int x = c % n, y = c / n;
            int r = 0, g = 0, b = 0, k = 0;
            for (const auto& d : kDirections)
                for (int s = 1; s <= 6; ++s) {
                    CPixel32 q = W.GetPixel(x + d[0] * s, y + d[1] * s);
                    if (q.GetA() == 0 || pureWhite(q)) continue;
                    r += q.GetR(), g += q.GetG(), b += q.GetB(), ++k;
                }
            if (k)
                W.SetPixel(x, y, CPixel32(uint8_t(r / k), uint8_t(g / k), uint8_t(b / k), 100));
            else
                candidates[kept++] = c;
        }
        candidates.resize(kept);
        step();
    }
}

void TextureSynthesis::Texture_2(CWinBmp& W) {
    const int n = W.GetWidth();
    if (n <= 0) return;
    step();
    double K[20][20];
    for (auto& row : K)
        for (double& k : row) k = 1.0;
    for (int r = 0; r <= 9; ++r)
        for (int s = 0; s < 40; ++s) {
            double a = s * std::numbers::pi / 20;
            int i = std::clamp(int(r * std::cos(a) + 10.5), 0, 19);
            int j = std::clamp(int(r * std::sin(a) + 10.5), 0, 19);
            K[i][j] = 0.5 * (1 - r / 9.0);
        }
    fnd::seedRandom(fillSeed_ ? *fillSeed_ : unsigned(std::time(nullptr)));
    // The pixels still to fill, one bit per row in each column: a block
    // visits only those, in the same order as a full scan would.
    const int words = (n + 63) / 64;
    std::vector<uint64_t> open = columnBits(W, [](CPixel32 p) { return pureWhite(p) && p.GetA() == 0; });
    // Column x, rows y to y + 19: each open pixel takes its source. True
    // when some of those pixels are still open afterwards.
    auto blendColumn = [&](int x, int y, int sx, int sy, const double* k) {
        bool left = false;
        uint64_t* col = &open[size_t(x) * words];
        for (int j0 = y, end = std::min(y + 20, n); j0 < end;) {
            int w = j0 / 64, b = j0 % 64;
            int span = std::min(64 - b, end - j0);
            uint64_t bits = col[w] >> b;
            if (span < 64) bits &= (uint64_t(1) << span) - 1;
            while (bits) {
                int t = __builtin_ctzll(bits);
                bits &= bits - 1;
                int j = j0 + t - y;
                int srcY = sy + j;
                // A source past the edge leaves the pixel for a later block.
                if (sx < 0 || srcY < 0 || sx >= n || srcY >= n) {
                    left = true;
                    continue;
                }
                CPixel32 src = W.GetPixel(sx, srcY);
                double kk = k[j];
                auto mix = [kk](uint8_t a) { return uint8_t(int(a * kk + 255 * (1 - kk))); };
                W.SetPixel(x, j0 + t, CPixel32(mix(src.GetR()), mix(src.GetG()), mix(src.GetB()), 50));
                col[w] &= ~(uint64_t(1) << (b + t));
            }
            j0 += span;
        }
        return left;
    };
    // Per row of blocks, the columns with open pixels in the block's rows, a
    // bit each (pixels only close, so this stays a superset; a column whose
    // window a block has closed is dropped at once). A block visits the set
    // bits of its twenty columns in the order a scan of them would.
    std::vector<uint64_t> columnOpen(size_t(words) + 1, 0);
    // (Rows y to y + 19 lie within the picture: y stays below n - 20.)
    auto windowOpen = [&](int x, int y) {
        const uint64_t* col = &open[size_t(x) * words];
        const int w = y / 64, b = y % 64;
        uint64_t bits = col[w] >> b;
        if (b > 44) bits |= col[w + 1] << (64 - b);
        return (bits & 0xFFFFFu) != 0;
    };
    // The open columns among x .. x + count - 1 (count at most 32), bit i
    // for column x + i.
    auto openAmong = [&](int x, int count) {
        const int w = x / 64, b = x % 64;
        uint64_t bits = columnOpen[size_t(w)] >> b;
        if (b) bits |= columnOpen[size_t(w) + 1] << (64 - b);
        return bits & ((uint64_t(1) << count) - 1);
    };
    auto close = [&](int x) { columnOpen[size_t(x / 64)] &= ~(uint64_t(1) << (x % 64)); };
    // The first open column from x on (n when none), the last one up to x
    // (-1 when none).
    auto firstOpenFrom = [&](int x) {
        for (int w = x / 64; w < words; ++w) {
            const uint64_t bits = w == x / 64 ? columnOpen[size_t(w)] >> (x % 64) << (x % 64) : columnOpen[size_t(w)];
            if (bits) return std::min(n, w * 64 + __builtin_ctzll(bits));
        }
        return n;
    };
    auto lastOpenUpTo = [&](int x) {
        for (int w = x / 64; w >= 0; --w) {
            uint64_t bits = columnOpen[size_t(w)];
            if (w == x / 64 && x % 64 != 63) bits &= (uint64_t(2) << (x % 64)) - 1;
            if (bits) return w * 64 + 63 - __builtin_clzll(bits);
        }
        return -1;
    };
    fnd::RandomSource& random = fnd::processRandom();
    for (int y = 20; y <= n - 21; ++y) {
        std::fill(columnOpen.begin(), columnOpen.end(), 0);
        for (int x = 0; x < n; ++x)
            if (windowOpen(x, y)) columnOpen[size_t(x / 64)] |= uint64_t(1) << (x % 64);
        for (int x = n / 2 + 20; x <= n - 21; ++x) {
            if (!openAmong(x, 20)) {
                // The blocks up to the one that reaches the next open
                // column find nothing: only their two draws are made.
                const int stop = std::min(firstOpenFrom(x) - 19, n - 20);
                random.skip(2L * (stop - x));
                x = stop - 1;
                continue;
            }
            int dx = random.next() % 5 - 20;
            int dy = random.next() % 5;
            for (uint64_t bits = openAmong(x, 20); bits; bits &= bits - 1) {
                const int i = __builtin_ctzll(bits);
                if (!blendColumn(x + i, y, x + i + dx, y + dy, K[i])) close(x + i);
            }
        }
        for (int x = n / 2 - 20; x >= 11; --x) {
            if (!openAmong(x + 1, 19)) {
                const int stop = std::max(lastOpenUpTo(x) - 1, 10);
                random.skip(2L * (x - stop));
                x = stop + 1;
                continue;
            }
            int dx = random.next() % 5 + 20;
            int dy = random.next() % 5;
            for (uint64_t bits = openAmong(x + 1, 19); bits;) {
                const int i = 63 - __builtin_clzll(bits);
                bits &= ~(uint64_t(1) << i);
                if (!blendColumn(x + 1 + i, y, x + 1 + i + dx, y + dy, K[i + 1])) close(x + 1 + i);
            }
        }
    }
    // The smoothing runs down the columns, in place, in a copy of W whose
    // rows lie a little more than a power of two apart: a pixel's
    // neighbours come from nine rows, which at a step of 4 KB would all
    // compete for the same few lines of the cache.
    const ptrdiff_t rowStep = n + 16;
    std::vector<CPixel32> rows(size_t(rowStep) * size_t(n));
    for (int y = 0; y < n; ++y) std::memcpy(&rows[size_t(y) * rowStep], W.GetLine(y), size_t(n) * sizeof(CPixel32));
    CPixel32* const top = rows.data();
    // The 32 neighbours as offsets in the rows; blue and red
    // are summed together in two 16-bit lanes of one word (38 x 255 fits),
    // which gives the very sums channel by channel.
    ptrdiff_t neighbours[32];
    int count = 0;
    for (const auto& d : kDirections)
        for (int s = 1; s <= 4; ++s) neighbours[count++] = ptrdiff_t(d[1] * s) * rowStep + d[0] * s;
    static_assert(sizeof(CPixel32) == sizeof(uint32_t));
    auto word = [](const CPixel32& p) {
        uint32_t u;
        std::memcpy(&u, &p, sizeof u);
        return u;  // blue, green, red, alpha from the lowest byte up
    };
    // Only the pixels the fill took (alpha 50) are smoothed, and smoothing
    // keeps alpha: where they lie is known before, a bit each by column.
    const std::vector<uint64_t> filled = columnBits(W, [](CPixel32 p) { return p.GetA() == 50; });
#if defined(__SSE2__)
    // Four neighbours at a time, their bytes widened to 16-bit lanes (32 x
    // 255 fits): the same integer sums. Those along a row lie side by side.
    bool alongRow[8];
    for (int q = 0; q < 8; ++q) alongRow[q] = kDirections[q][1] == 0;
    auto smooth = [&](int x, int y) {
        CPixel32* c = top + ptrdiff_t(y) * rowStep + x;
        const uint32_t own = word(*c);
        const __m128i zero = _mm_setzero_si128();
        __m128i sum = zero;
        for (int q = 0; q < 8; ++q) {
            const ptrdiff_t* o = neighbours + 4 * q;
            __m128i four;
            if (alongRow[q]) {
                four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + std::min(o[0], o[3])));
            } else {
                four = _mm_setr_epi32(int(word(c[o[0]])), int(word(c[o[1]])), int(word(c[o[2]])), int(word(c[o[3]])));
            }
            sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(four, zero));
            sum = _mm_add_epi16(sum, _mm_unpackhi_epi8(four, zero));
        }
        sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
        const uint64_t lanes = uint64_t(_mm_cvtsi128_si64(sum));
        const uint32_t blue = uint32_t(lanes & 0xFFFFu) + 6 * (own & 0xFFu);
        const uint32_t green = uint32_t(lanes >> 16 & 0xFFFFu) + 6 * (own >> 8 & 0xFFu);
        const uint32_t red = uint32_t(lanes >> 32 & 0xFFFFu) + 6 * (own >> 16 & 0xFFu);
        *c = CPixel32(uint8_t(red / 38), uint8_t(green / 38), uint8_t(blue / 38), 50);
    };
#else
    auto smooth = [&](int x, int y) {
        CPixel32* c = top + ptrdiff_t(y) * rowStep + x;
        const uint32_t own = word(*c);
        uint32_t blueRed = 6 * (own & 0x00FF00FFu), green = 6 * (own >> 8 & 0xFFu);
        for (ptrdiff_t o : neighbours) {
            const uint32_t q = word(c[o]);
            blueRed += q & 0x00FF00FFu;
            green += q >> 8 & 0xFFu;
        }
        *c = CPixel32(uint8_t((blueRed >> 16) / 38), uint8_t(green / 38), uint8_t((blueRed & 0xFFFFu) / 38), 50);
    };
#endif
    // Down column x from row 8 to row n - 9.
    auto smoothColumn = [&](int x) {
        const uint64_t* col = &filled[size_t(x) * words];
        for (int w = 0; w < words; ++w) {
            uint64_t bits = col[w];
            if (w == 0) bits &= ~uint64_t(0) << 8;
            const int last = n - 9 - w * 64;  // the last row's bit in this word
            if (last < 0) break;
            if (last < 63) bits &= (uint64_t(2) << last) - 1;
            for (; bits; bits &= bits - 1) smooth(x, w * 64 + __builtin_ctzll(bits));
        }
    };
    for (int x = n / 2; x <= n - 9; ++x) smoothColumn(x);
    for (int x = n / 2; x >= 9; --x) smoothColumn(x);
    for (int y = 0; y < n; ++y) std::memcpy(W.GetLine(y), &rows[size_t(y) * rowStep], size_t(n) * sizeof(CPixel32));
    step();
}

void TextureSynthesis::Texture_End(CWinBmp& W) {
    svc::FaceDocument* doc = svc::document();
    head3* h = actual_head3;
    const int n = W.GetWidth();
    if (!doc || !h || n <= 0 || !doc->photoKernel()) return;
    step();
    // The cropped photo at n x n, as Texture_Beg made it (the same call on
    // the same photo kernel gives the same picture).
    CroppedPhoto* kept = kept_;
    std::unique_ptr<CWinBmp> own = std::move(ownPhoto_);
    kept_ = nullptr;
    if (kept && (kept->picture.GetWidth() != n || kept->picture.GetHeight() != n)) kept = nullptr;
    if (!kept && (!own || own->GetWidth() != n || own->GetHeight() != n)) {
        own = std::make_unique<CWinBmp>();
        kept = croppedPhoto(*own, n);
    }
    const CWinBmp& Q = kept ? kept->picture : *own;
    step();
    auto record = std::make_unique<TextureImage>();
    record->width = record->height = n;
    record->rgb = largeVector(size_t(n) * n * 3, static_cast<unsigned char>(0));
    auto put = [&](int row, int col, CPixel32 p) {
        unsigned char* d = &record->rgb[(size_t(row) * n + col) * 3];
        d[0] = p.GetR(), d[1] = p.GetG(), d[2] = p.GetB();
    };
    if (svc::app().state().pictureEditor) {
        for (int t = h->triangles.first(); t != -1; t = h->triangles.nextOf(t))
            for (auto& c : h->triangles[t].texture) c.y = 2 * c.y - 1;
        h->TextureChanged();
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) put(j, i, Q.GetPixel(i, j));
    } else {
        // The layout and the photo at half height, resized row by row into
        // the texture: no picture of half the texture's size is made.
        CBilinearRows layout(W, n, n / 2);
        for (int r = 0; r < n / 2; ++r) {
            const CPixel32* row = layout.Row(n / 2 - 1 - r);
            for (int i = 0; i < n; ++i) put(r, i, row[i]);
        }
        CBilinearRows half(Q, n, n / 2);
        for (int j = 0; j < n / 2; ++j) {
            const CPixel32* row = half.Row(j);
            for (int i = 0; i < n; ++i) put(n / 2 + j, i, row[i]);
        }
    }
    record->rgb[0] = record->rgb[1] = record->rgb[2] = 0;
    h->texture = std::move(record);
    if (svc::ViewEdit3D* v3 = doc->GetViewEdit3D()) v3->InitializeModelForOpenGL(0, 0);
    for (const char* name : {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"})
        if (svc::FaceView* v = doc->GetView(name)) v->RepaintFromModel();
    step();
}

namespace {
std::optional<unsigned> defaultFillSeed;
}

void SetTextureFillSeed(std::optional<unsigned> seed) { defaultFillSeed = seed; }

void MakeFullTexture(std::optional<unsigned> fillSeed) {
    TextureSynthesis(fillSeed ? fillSeed : defaultFillSeed).MakeFullTexture();
}
