#include "fitting/warp.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "model/head.h"

namespace {

vector3<double> mapped(const vector3<double>& p, const htraf3<double>& h) { return (p * h).vec3(); }

}  // namespace

bela23Trafo::bela23Trafo(Index<featureline3> fixedLine, const fnd::vector<vector2<double>>& from,
                         const fnd::vector<vector2<double>>& to, const fnd::vector<double>& w,
                         const htraf3<double>& plane, const htraf3<double>& photo, double weightFactor, double a,
                         double radius)
    : alpha(a), fixRadius(radius), toPlane(plane), toPhoto(photo), fromPhoto(photo.Inv()) {
    featureline3* line = fixedLine != -1 ? &fixedLine.data() : nullptr;
    fixedCount = line ? line->count() : 0;
    count = fixedCount + from.size();
    basePoints.resize(count);
    planePoints.resize(count);
    weights.resize(count);
    displacements.resize(count);
    int k = 0;
    if (line)
        for (int i = line->first(); i != -1; i = line->nextOf(i), ++k) {
            const linepoint3& lp = (*line)[i];
            basePoints[k] = lp.point();
            weights[k] = lp.weight1;
            displacements[k] = vector3<double>(0, 0, 0);
        }
    bool ownWeights = w.size() == from.size();
    for (int j = 0; j < from.size(); ++j, ++k) {
        basePoints[k] = mapped(vector3<double>(from[j].x, from[j].y, 0), fromPhoto);
        weights[k] = ownWeights ? weightFactor * w[j] : weightFactor;
        displacements[k] = j < to.size() ? setModif(from[j], to[j]) : vector3<double>(0, 0, 0);
    }
    for (int i = 0; i < count; ++i) planePoints[i] = mapped(basePoints[i], toPlane);
}

vector3<double> bela23Trafo::setModif(const vector2<double>& a, const vector2<double>& b) const {
    return {b.x - a.x, b.y - a.y, 0};
}

vector3<double> bela23Trafo::setModif(const vector3<double>& a, const vector2<double>& b) const {
    vector3<double> q = mapped(a, toPhoto);
    return {b.x - q.x, b.y - q.y, 0};
}

vector3<double> bela23Trafo::setModif(const vector3<double>& a, const vector3<double>& b) const {
    vector3<double> q = mapped(b - a, toPhoto);
    return {q.x, q.y, 0};
}

vector3<double> bela23Trafo::modify(const vector3<double>& p, const vector3<double>& d) const {
    return mapped(mapped(p, toPhoto) + d, fromPhoto);
}

double bela23Trafo::fixingWeight(double nearFixed, double nearMoving) const {
    double c = nearFixed / (nearFixed + nearMoving + 1e-10) / (fixRadius + 1e-10);
    if (c > 1) return 0;
    return 2 * c * c * c - 3 * c * c + 1;
}

bela23Trafo::Bits bela23Trafo::bitsOf(const vector3<double>& p) {
    Bits b;
    std::memcpy(&b.x, &p.x, 8);
    std::memcpy(&b.y, &p.y, 8);
    std::memcpy(&b.z, &p.z, 8);
    return b;
}

vector3<double> bela23Trafo::traf(const vector3<double>& p) const {
    if (!prepared_.empty()) {
        auto it = prepared_.find(bitsOf(p));
        if (it != prepared_.end()) return it->second;
    }
    return moved(p);
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define BRIVANTA_WARP_AVX2 1
#pragma GCC push_options
#pragma GCC target("avx2")
// movedTwo four points at a time: lane by lane the very operations (no
// fused multiply-add: the target leaves it out).
bool bela23Trafo::movedFour(const vector3<double>* p, vector3<double>* r) const {
    typedef double Four __attribute__((vector_size(32)));
    vector3<double> q[4];
    for (int i = 0; i < 4; ++i) q[i] = mapped(p[i], toPlane);
    const Four qx = {q[0].x, q[1].x, q[2].x, q[3].x}, qy = {q[0].y, q[1].y, q[2].y, q[3].y},
               qz = {q[0].z, q[1].z, q[2].z, q[3].z};
    Four Dx = {0, 0, 0, 0}, Dy = {0, 0, 0, 0}, Dz = {0, 0, 0, 0}, W = {0, 0, 0, 0};
    const Four one = {1.0, 1.0, 1.0, 1.0}, tiny = {1e-8, 1e-8, 1e-8, 1e-8};
    for (int k = 0; k < count; ++k) {
        const vector3<double>& c = planePoints[k];
        const Four dx = qx - c.x, dy = qy - c.y, dz = qz - c.z;
        const Four s = dx * dx + dy * dy + dz * dz;
        if (_mm256_movemask_pd(__m256d(s < tiny))) return false;
        const Four w = one / s * weights[k];
        const vector3<double>& d = displacements[k];
        Dx += d.x * w;
        Dy += d.y * w;
        Dz += d.z * w;
        W += w;
    }
    for (int i = 0; i < 4; ++i)
        r[i] = W[i] < 1e-20 ? p[i] : modify(p[i], vector3<double>(Dx[i], Dy[i], Dz[i]) * (1.0 / W[i]));
    return true;
}
#pragma GCC pop_options
#endif

void bela23Trafo::prepare(const std::vector<vector3<double>>& points) {
    prepared_.clear();
    prepared_.reserve(points.size());
    const bool pairs = alpha == -2.0 && fixedCount == 0;
    size_t k = 0;
#if defined(BRIVANTA_WARP_AVX2)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    for (; pairs && avx2 && wideRegisters && k + 3 < points.size(); k += 4) {
        vector3<double> r[4];
        if (!movedFour(&points[k], r))
            for (int i = 0; i < 4; i += 2)
                if (!movedTwo(points[k + i], points[k + i + 1], r[i], r[i + 1]))
                    r[i] = moved(points[k + i]), r[i + 1] = moved(points[k + i + 1]);
        for (int i = 0; i < 4; ++i) prepared_.emplace(bitsOf(points[k + i]), r[i]);
    }
#endif
    for (; pairs && k + 1 < points.size(); k += 2) {
        vector3<double> r0, r1;
        if (!movedTwo(points[k], points[k + 1], r0, r1)) r0 = moved(points[k]), r1 = moved(points[k + 1]);
        prepared_.emplace(bitsOf(points[k]), r0);
        prepared_.emplace(bitsOf(points[k + 1]), r1);
    }
    for (; k < points.size(); ++k) prepared_.emplace(bitsOf(points[k]), moved(points[k]));
}

bool bela23Trafo::movedTwo(const vector3<double>& p0, const vector3<double>& p1, vector3<double>& r0,
                           vector3<double>& r1) const {
    typedef double Two __attribute__((vector_size(16)));
    const vector3<double> q0 = mapped(p0, toPlane), q1 = mapped(p1, toPlane);
    const Two qx = {q0.x, q1.x}, qy = {q0.y, q1.y}, qz = {q0.z, q1.z};
    Two Dx = {0, 0}, Dy = {0, 0}, Dz = {0, 0}, W = {0, 0};
    const Two one = {1.0, 1.0};
    for (int k = 0; k < count; ++k) {
        const vector3<double>& c = planePoints[k];
        const Two dx = qx - c.x, dy = qy - c.y, dz = qz - c.z;
        const Two s = dx * dx + dy * dy + dz * dz;
        if (s[0] < 1e-8 || s[1] < 1e-8) return false;
        const Two w = one / s * weights[k];
        const vector3<double>& d = displacements[k];
        Dx += d.x * w;
        Dy += d.y * w;
        Dz += d.z * w;
        W += w;
    }
    const vector3<double> D0(Dx[0], Dy[0], Dz[0]), D1(Dx[1], Dy[1], Dz[1]);
    r0 = W[0] < 1e-20 ? p0 : modify(p0, D0 * (1.0 / W[0]));
    r1 = W[1] < 1e-20 ? p1 : modify(p1, D1 * (1.0 / W[1]));
    return true;
}

vector3<double> bela23Trafo::moved(const vector3<double>& p) const {
    vector3<double> q = mapped(p, toPlane);
    double nearFixed = 1e10, nearMoving = 1e10;
    vector3<double> D(0, 0, 0);
    double W = 0;
    const double halfAlpha = 0.5 * alpha;
    // The fitting's exponent: weights inversely proportional to the squared
    // distance, without a call of pow for every pair.
    const bool inverseSquare = alpha == -2.0;
    const bool fixing = fixedCount > 0;
    for (int k = 0; k < count; ++k) {
        double s = distdistance2(q, planePoints[k]);
        if (s < 1e-8) return modify(p, displacements[k]);
        double w = (inverseSquare ? 1.0 / s : std::pow(s, halfAlpha)) * weights[k];
        D += displacements[k] * w;
        W += w;
        if (!fixing) continue;
        double e = (p - basePoints[k]).length();
        if (k < fixedCount)
            nearFixed = std::min(nearFixed, e);
        else
            nearMoving = std::min({nearMoving, e, (p - (basePoints[k] + displacements[k])).length()});
    }
    if (W < 1e-20) return p;
    vector3<double> r = modify(p, D * (1.0 / W));
    if (!fixing) return r;
    double f = fixingWeight(nearFixed, nearMoving);
    return r * (1 - f) + p * f;
}

void bela23TrafoHead(const trafdef22& feature, bool flatDistances, double alpha) {
    if (!actual_head3) return;
    htraf3<double> toPhoto = feature.projection;
    htraf3<double> toPlane = flatDistances ? toPhoto * trafdef_detail::dropDepth() : toPhoto;
    Sbela23Trafo t(-1, feature.from, feature.to, feature.weights, false, toPlane, toPhoto, feature.length, alpha,
                   0.3);
    // Every vertex moves by the same rule whatever the others do: their
    // moves are worked out together first.
    std::vector<vector3<double>> points;
    head3& h = *actual_head3;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) points.push_back(h.vertices[v].position);
    static_cast<bela23Trafo*>(t.trafo)->prepare(points);
    actual_head3->traf(t);
}

void Bela23TrafoHead(fnd::vector<trafdef22>& features, bool flatDistances, double alpha) {
    correctDirection(features);
    trafdef22 all(features, true);
    bela23TrafoHead(all, flatDistances, alpha);
}
