#include "dialogs/age_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <new>

#include "document/tempfolders.h"
#include "dialogs/texture_morph.h"
#include "framework/resources.h"
#include "framework/system.h"
#include "model/brush.h"
#include "model/featuretables.h"
#include "picture/anypicdecoder.h"
#include "picture/picfilter.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"
#include "seams/app.h"

namespace morph {

namespace {

// A serial of the grid beyond this is no node of any sane table.
constexpr int kMaxSerial = 4096;

// Barycentric weights of (x, y) in the triangle a, b, c; false when the
// triangle is flat.
struct Barycentric {
    vector2<double> a;
    double m00 = 0, m01 = 0, m10 = 0, m11 = 0;
    bool set(const vector2<double>& p0, const vector2<double>& p1, const vector2<double>& p2) {
        a = p0;
        const double e1x = p1.x - p0.x, e1y = p1.y - p0.y, e2x = p2.x - p0.x, e2y = p2.y - p0.y;
        const double det = e1x * e2y - e2x * e1y;
        if (det == 0) return false;
        m00 = e2y / det;
        m01 = -e2x / det;
        m10 = -e1y / det;
        m11 = e1x / det;
        return true;
    }
    vector3<double> at(double x, double y) const {
        const double dx = x - a.x, dy = y - a.y;
        const double u = m00 * dx + m01 * dy, v = m10 * dx + m11 * dy;
        return {1 - u - v, u, v};
    }
};

// Rounds v to the nearest texel: false when that lies below 0 or at n and
// beyond.
bool texelOf(double v, int n, int& out) {
    // floor(r) lies in 0 .. n - 1 exactly when r does in [0, n), and there
    // it is r truncated.
    const double r = v + 0.5;
    if (!(r >= 0 && r < n)) return false;
    out = int(r);
    return true;
}

Colour pictureMean(const CWinBmp& bmp) {
    long long sum[3] = {0, 0, 0};
    const int w = bmp.GetWidth(), h = bmp.GetHeight();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const CPixel32 p = bmp.GetPixel(x, y);
            sum[0] += p.GetR();
            sum[1] += p.GetG();
            sum[2] += p.GetB();
        }
    const long long n = (long long)w * h;
    Colour m = {0, 0, 0};
    if (n > 0)
        for (int c = 0; c < 3; ++c) m[c] = int(sum[c] / n);
    return m;
}

// FillHoles, optionally marking the texels it left empty (also those of the
// outer band it does not visit).
int fillHoles(CWinBmp& bmp, std::vector<char>* left) {
    const int w = bmp.GetWidth(), h = bmp.GetHeight();
    if (bmp.GetBitsPerPixel() != 32 || w <= 0 || h <= 0) return 0;
    if (left) left->assign(size_t(w) * h, 0);
    // Filled texels keep alpha 0 and only texels with alpha count, so what
    // a texel takes does not depend on the order of the sweeps: one sweep
    // in place gives what four give. The sums (red, green, blue, count)
    // over the window of seven rows go down with the rows: each row's sums
    // over the seven texels around every column, for the window's rows in
    // a ring, and their total per column.
    constexpr int kRows = 7, kHalf = 3;
    std::vector<int> ring(size_t(kRows) * w * 4), total(size_t(w) * 4, 0);
    auto rowSums = [&](int y, int* out) {
        const CPixel32* row = reinterpret_cast<const CPixel32*>(bmp.GetLine(y));
        int acc[4] = {0, 0, 0, 0};
        auto add = [&](int x, int sign) {
            if (x < 0 || x >= w) return;
            const CPixel32 p = row[x];
            if (p.GetA() == 0) return;
            acc[0] += sign * p.GetR();
            acc[1] += sign * p.GetG();
            acc[2] += sign * p.GetB();
            acc[3] += sign;
        };
        for (int x = -kHalf; x < kHalf; ++x) add(x, 1);
        for (int x = 0; x < w; ++x) {
            add(x + kHalf, 1);
            for (int k = 0; k < 4; ++k) out[size_t(x) * 4 + k] = acc[k];
            add(x - kHalf, -1);
        }
    };
    auto enter = [&](int y, int sign) {
        int* sums = &ring[size_t(y % kRows) * w * 4];
        if (sign > 0) rowSums(y, sums);
        for (size_t i = 0; i < total.size(); ++i) total[i] += sign * sums[i];
    };
    int unfilled = 0;
    for (int y = 0; y < h; ++y) {
        const bool rowInside = y >= kHalf && y <= h - 1 - kHalf;
        if (rowInside) {
            if (y == kHalf)
                for (int r = 0; r < kRows; ++r) enter(r, 1);
            else {
                enter(y - kHalf - 1, -1);
                enter(y + kHalf, 1);
            }
        }
        CPixel32* row = reinterpret_cast<CPixel32*>(bmp.GetLine(y));
        for (int x = 0; x < w; ++x) {
            if (row[x].GetA() != 0) continue;
            const int* s = &total[size_t(x) * 4];
            if (!rowInside || x < kHalf || x > w - 1 - kHalf || s[3] == 0) {
                if (rowInside && x >= kHalf && x <= w - 1 - kHalf) ++unfilled;
                if (left) (*left)[size_t(y) * w + x] = 1;
                continue;
            }
            row[x] = CPixel32(uint8_t(s[0] / s[3]), uint8_t(s[1] / s[3]), uint8_t(s[2] / s[3]), 0);
        }
    }
    return unfilled;
}

}  // namespace

bool SurfaceTriangle(const head3& h, const generalpoint3& p, Index<triangle>& t, vector3<double>& bary) {
    if (p.isRubber()) {
        const extrapoint& e = h.extrapoints[p.extra];
        if (e.tri == -1) return false;
        t = e.tri;
        bary = e.local;
        return true;
    }
    if (!p.isFixed()) return false;
    const vertex& v = h.vertices[p.vtx];
    const int node = v.triangles.first();
    if (node == -1) return false;
    t = v.triangles[node];
    const triangle& tr = h.triangles[t];
    bary = {tr.a == p.vtx ? 1.0 : 0.0, tr.b == p.vtx ? 1.0 : 0.0, tr.c == p.vtx ? 1.0 : 0.0};
    return true;
}

bool PointTexel(head3& h, const generalpoint3& p, int& x, int& y) {
    if (!h.texture) return false;
    Index<triangle> t = -1;
    vector3<double> b;
    h.set_actual();
    if (!SurfaceTriangle(h, p, t, b)) return false;
    Coord3DToTextureCoord(*h.texture, t, b, x, y);
    return true;
}

bool DecodePicture(std::span<const unsigned char> bytes, CWinBmp& out) {
    if (bytes.empty()) return false;
    try {
        CWinBmp decoded;
        CAnyPicDecoder decoder;
        decoder.MakeBmpFromMemory(bytes.data(), int(bytes.size()), &decoded, 32);
        if (decoded.GetBitsPerPixel() != 32 || decoded.GetWidth() <= 0 || decoded.GetHeight() <= 0) return false;
        out = decoded;
        return true;
    } catch (const CTextException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::span<const unsigned char> AgePictureBytes() { return brv::ResourceBytes("BACKGROUNDS", 278); }

std::vector<AgeNode> AgeGridNodes(head3& h, int w, int hh, int picW, int picH, int group) {
    std::vector<AgeNode> nodes;
    if (w <= 0 || hh <= 0 || picW <= 0 || picH <= 0) return nodes;
    CString code;
    int serial = 0, x = 0, y = 0;
    for (int n = 0; GetAgePointInfo(n, &code, &serial, &x, &y); ++n) {
        if (serial < 1 || serial > kMaxSerial) continue;
        if (size_t(serial) > nodes.size()) nodes.resize(size_t(serial));
        AgeNode& a = nodes[size_t(serial) - 1];
        a.name = code;
        a.serial = serial;
        a.sx = a.tx = int((long long)x * w / picW);
        a.sy = a.ty = int((long long)y * hh / picH);
    }
    const bool layout = !svc::app().state().pictureEditor;
    for (int n = 0; GetFeaturePointInfo(n, &code); ++n) {
        if (!GoodInfoCode(group, code)) continue;
        const Index<featurepoint3> f = h.getFeaturepoint(code.GetString(), false);
        if (f == -1) continue;
        int tx = 0, ty = 0;
        if (!PointTexel(h, h.featurepoints[f], tx, ty)) continue;
        if (layout) ty = hh - 2 * ty;
        if (tx < 0 || tx >= w || ty < 0 || ty >= hh) continue;
        for (AgeNode& a : nodes)
            if (a.serial != 0 && a.name == code) {
                a.tx = tx;
                a.ty = ty;
            }
    }
    return nodes;
}

std::vector<std::array<int, 3>> AgeGridTriangles(const std::vector<AgeNode>& nodes) {
    std::vector<std::array<int, 3>> out;
    int serial = 0, s[3] = {0, 0, 0};
    for (int n = 0; GetAgeTriInfo(n, &serial, &s[0], &s[1], &s[2]); ++n) {
        bool usable = true;
        for (int k = 0; k < 3; ++k)
            usable = usable && s[k] >= 1 && size_t(s[k]) <= nodes.size() && nodes[size_t(s[k]) - 1].serial != 0;
        if (usable) out.push_back({s[0] - 1, s[1] - 1, s[2] - 1});
    }
    return out;
}

void MeshWarp(const CWinBmp& picture, const std::vector<AgeNode>& nodes,
              const std::vector<std::array<int, 3>>& triangles, CWinBmp& out) {
    if (picture.GetBitsPerPixel() != 32) {
        out.Create(picture.GetWidth(), picture.GetHeight(), 32, false);
        return;
    }
    MeshWarp(
        picture.GetWidth(), picture.GetHeight(),
        [&picture](int y) { return reinterpret_cast<const CPixel32*>(picture.GetLine(y)); }, nodes, triangles, out);
}

void MeshWarp(int w, int h, const std::function<const CPixel32*(int)>& rowOf, const std::vector<AgeNode>& nodes,
              const std::vector<std::array<int, 3>>& triangles, CWinBmp& out) {
    out.Create(w, h, 32, false);
    struct Tri {
        vector2<double> src[3], dst[3];
        Barycentric bary;
        double height[3];  // of each corner over the opposite side
        int x0, x1, y0, y1;
    };
    std::vector<Tri> tris;
    for (const auto& t : triangles) {
        Tri q;
        for (int k = 0; k < 3; ++k) {
            const AgeNode& a = nodes[size_t(t[k])];
            q.src[k] = {double(a.sx), double(a.sy)};
            q.dst[k] = {double(a.tx), double(a.ty)};
        }
        if (!q.bary.set(q.src[0], q.src[1], q.src[2])) continue;
        const double twiceArea = std::fabs((q.src[1].x - q.src[0].x) * (q.src[2].y - q.src[0].y) -
                                           (q.src[2].x - q.src[0].x) * (q.src[1].y - q.src[0].y));
        for (int k = 0; k < 3; ++k) q.height[k] = twiceArea / (q.src[(k + 1) % 3] - q.src[(k + 2) % 3]).length();
        // The texels the containment test can accept (its edge band is 0.1).
        q.x0 = int(std::floor(std::min({q.src[0].x, q.src[1].x, q.src[2].x}))) - 1;
        q.x1 = int(std::ceil(std::max({q.src[0].x, q.src[1].x, q.src[2].x}))) + 1;
        q.y0 = int(std::floor(std::min({q.src[0].y, q.src[1].y, q.src[2].y}))) - 1;
        q.y1 = int(std::ceil(std::max({q.src[0].y, q.src[1].y, q.src[2].y}))) + 1;
        tris.push_back(q);
    }
    // The triangles of each row, in their order.
    std::vector<std::vector<int>> rows(size_t(std::max(h, 0)));
    for (size_t n = 0; n < tris.size(); ++n)
        for (int y = std::max(tris[n].y0, 0); y <= std::min(tris[n].y1, h - 1); ++y) rows[size_t(y)].push_back(int(n));
    // Containment as InsidePolygon decides it (inside or within its edge
    // band); only texels near a side need its test: the distances to the
    // sides' lines settle the others. Each triangle's texels of a row are
    // found over its own span; the writes of the row then go in the order
    // of a scan of the row that tries the triangles in turn at each texel
    // (a later write to the same place wins).
    constexpr double kSure = 1e-6, kBand = 0.1;
    struct Write {
        int x, tx, ty;  // source and target texels
        CPixel32 p;
    };
    std::vector<Write> found, ordered;
    std::vector<int> startOf(size_t(w) + 1);
    // Each triangle's writes of the row: where they lie in found and the
    // source texels they span.
    struct Block {
        size_t begin, end;
        int x0, x1;
    };
    std::vector<Block> blocks;
    for (int y = 0; y < h; ++y) {
        found.clear();
        blocks.clear();
        const CPixel32* source = rowOf(y);
        for (int n : rows[size_t(y)]) {
            const Tri& q = tris[size_t(n)];
            const size_t begin = found.size();
            int xa = std::max(q.x0, 0), xb = std::min(q.x1, w - 1);
            if (xa > xb) continue;
            // The distance to each side's line changes by a fixed step a
            // texel: the texels where it is below the band less a margin
            // fail the test below, and are not tried. A side that runs
            // nearly along the row narrows nothing.
            {
                const vector3<double> b = q.bary.at(xa, y), b1 = q.bary.at(xa + 1, y);
                const double at[3] = {b.x * q.height[0], b.y * q.height[1], b.z * q.height[2]};
                const double step[3] = {(b1.x - b.x) * q.height[0], (b1.y - b.y) * q.height[1],
                                        (b1.z - b.z) * q.height[2]};
                double lo = xa, hi = xb;
                for (int k = 0; k < 3; ++k) {
                    if (std::fabs(step[k]) < 1e-3) continue;
                    const double root = xa + (-(kBand + kSure) - at[k]) / step[k];
                    if (step[k] > 0)
                        lo = std::max(lo, std::floor(root) - 2);
                    else
                        hi = std::min(hi, std::ceil(root) + 2);
                }
                if (lo > hi) continue;
                xa = int(lo), xb = int(hi);
            }
            // Bary.at(x, y) with the row's terms taken once: the same
            // products and sums, texel by texel.
            const Barycentric& B = q.bary;
            const double dy = y - B.a.y, uy = B.m01 * dy, vy = B.m11 * dy;
            const double h0 = q.height[0], h1 = q.height[1], h2 = q.height[2];
            const vector2<double> t0 = q.dst[0], t1 = q.dst[1], t2 = q.dst[2];
            for (int x = xa; x <= xb; ++x) {
                const double dx = x - B.a.x;
                const double u = B.m00 * dx + uy, v = B.m10 * dx + vy, bw = 1 - u - v;
                const double nearest = std::min({bw * h0, u * h1, v * h2});
                if (nearest < -(kBand + kSure)) continue;
                if (nearest < kSure && !InsidePolygon(x, y, q.src, 3)) continue;
                int tx, ty;
                if (!texelOf(bw * t0.x + u * t1.x + v * t2.x, w, tx) || !texelOf(bw * t0.y + u * t1.y + v * t2.y, h, ty))
                    continue;
                CPixel32 p = source[x];
                p.SetA(255);
                found.push_back({x, tx, ty, p});
            }
            if (found.size() > begin) blocks.push_back({begin, found.size(), found[begin].x, found.back().x});
        }
        // The writes by texel, the triangles' order kept. When the
        // triangles' texels do not interleave (the rule, but for a band
        // along a shared side), that is their blocks from left to right.
        std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.x0 < b.x0; });
        bool apart = true;
        for (size_t k = 1; k < blocks.size() && apart; ++k) apart = blocks[k - 1].x1 < blocks[k].x0;
        if (apart) {
            CPixel32** lines = reinterpret_cast<CPixel32**>(out.GetLineArray());
            for (const Block& b : blocks)
                for (size_t k = b.begin; k < b.end; ++k) lines[found[k].ty][found[k].tx] = found[k].p;
            continue;
        }
        // Else a counting sort.
        std::fill(startOf.begin(), startOf.end(), 0);
        for (const Write& f : found) ++startOf[size_t(f.x) + 1];
        for (int x = 0; x < w; ++x) startOf[size_t(x) + 1] += startOf[size_t(x)];
        ordered.resize(found.size());
        for (const Write& f : found) ordered[size_t(startOf[size_t(f.x)]++)] = f;
        for (const Write& f : ordered) out.SetPixel(f.tx, f.ty, f.p);
    }
}

bool TriangleWarp(const CWinBmp& picture, const vector2<double> src[3], const vector2<double> dst[3], CWinBmp& out) {
    const int w = picture.GetWidth(), h = picture.GetHeight();
    const double area = std::fabs((dst[1].x - dst[0].x) * (dst[2].y - dst[0].y) -
                                  (dst[2].x - dst[0].x) * (dst[1].y - dst[0].y)) / 2;
    Barycentric bary;
    if (!(area >= 1) || !bary.set(src[0], src[1], src[2]) || picture.GetBitsPerPixel() != 32) {
        out = picture;
        return false;
    }
    out.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const vector3<double> b = bary.at(x, y);
            int tx, ty;
            if (!texelOf(b.x * dst[0].x + b.y * dst[1].x + b.z * dst[2].x, w, tx) ||
                !texelOf(b.x * dst[0].y + b.y * dst[1].y + b.z * dst[2].y, h, ty))
                continue;
            CPixel32 p = picture.GetPixel(x, y);
            p.SetA(255);
            out.SetPixel(tx, ty, p);
        }
    return true;
}

int FillHoles(CWinBmp& bmp) { return fillHoles(bmp, nullptr); }

bool BuildAgeMap(head3& h, CWinBmp& ageMap, int group, std::span<const unsigned char> picture) {
    if (!h.texture || h.texture->width <= 0 || h.texture->height <= 0) return false;
    const int w = h.texture->width, hh = h.texture->height;
    CWinBmp pic;
    if (!DecodePicture(picture.empty() ? AgePictureBytes() : picture, pic)) return false;
    const int picW = pic.GetWidth(), picH = pic.GetHeight();
    // The picture resized row by row as the warp reads it, and the map
    // handed over: no other picture of the texture's size is made.
    CBilinearRows resized(pic, w, hh);
    const std::vector<AgeNode> nodes = AgeGridNodes(h, w, hh, picW, picH, group);
    CWinBmp warped;
    MeshWarp(w, hh, [&resized](int y) { return resized.Row(y); }, nodes, AgeGridTriangles(nodes), warped);
    FillHoles(warped);
    ageMap.Swap(warped);
    return true;
}

void AgePageTargets(head3& h, vector2<double> target[3]) {
    for (int k = 0; k < 3; ++k) target[k] = {0, 0};
    if (!h.texture) return;
    h.set_actual();
    CString code;
    double weight = 0;
    int slot = 0;
    for (int n = 0; slot < 3 && GetFeaturePointInfo(n, &code, nullptr, &weight); ++n) {
        if (weight != 2.0) continue;
        const Index<featurepoint3> f = h.getFeaturepoint(code.GetString(), false);
        if (f == -1) continue;
        Index<triangle> t = -1;
        vector3<double> b;
        if (!SurfaceTriangle(h, h.featurepoints[f], t, b)) continue;
        int x = 0, y = 0;
        Coord3DToTextureCoord(*h.texture, t, vector3<double>(1.0 / 3, 1.0 / 3, 1.0 / 3), x, y);
        target[slot++] = {double(x), double(y)};
    }
}

std::string AgePageTempFile() { return files::TempFolderPosix() + "/old.jpg"; }

bool BuildAgePageMap(CWinBmp& ageMap, int w, int h, const vector2<double> target[3],
                     std::span<const unsigned char> picture) {
    if (w <= 0 || h <= 0) return false;
    if (picture.empty()) picture = AgePictureBytes();
    if (picture.empty()) return false;
    const std::string path = AgePageTempFile();
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        if (!f) return false;
        f.write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size()));
        if (!f.flush()) {
            f.close();
            std::remove(path.c_str());
            return false;
        }
    }
    CWinBmp pic;
    bool decoded = false;
    try {
        CAnyPicDecoder decoder;
        decoder.MakeBmpFromFile(path.c_str(), &pic, 32);
        decoded = pic.GetBitsPerPixel() == 32 && pic.GetWidth() > 0 && pic.GetHeight() > 0;
    } catch (const CTextException&) {
    } catch (const std::bad_alloc&) {
    }
    std::remove(path.c_str());
    if (!decoded) return false;
    pic.ResizeBilinear(w, h);
    const Colour mean = pictureMean(pic);
    vector2<double> src[3];
    for (int k = 0; k < 3; ++k) src[k] = {kAgePageSource[k][0] * w / 1024, kAgePageSource[k][1] * h / 1024};
    CWinBmp warped;
    if (TriangleWarp(pic, src, target, warped)) {
        std::vector<char> left;
        fillHoles(warped, &left);
        const CPixel32 m{uint8_t(mean[0]), uint8_t(mean[1]), uint8_t(mean[2]), 0};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (left[size_t(y) * w + x]) warped.SetPixel(x, y, m);
    }
    ageMap = warped;
    return true;
}

void AgeMapOnTexture(const CWinBmp& ageMap, CWinBmp& out) {
    const int w = ageMap.GetWidth(), h = ageMap.GetHeight();
    if (svc::app().state().pictureEditor || ageMap.GetBitsPerPixel() != 32 || w <= 0 || h <= 1) {
        out = ageMap;
        return;
    }
    out.Create(w, h, 32, false);
    auto row = [&](int y) { return ageMap.GetLine(std::clamp(y, 0, h - 1)); };
    for (int r = 0; r < h; ++r) {
        const int at = std::min(r, h / 2 - 1);
        const uint8_t *a = row(h - 2 * at - 1), *b = row(h - 2 * at);
        uint8_t* d = out.GetLine(r);
        for (int i = 0; i < w * 4; ++i) d[i] = uint8_t((a[i] + b[i] + 1) / 2);
    }
}

}  // namespace morph
