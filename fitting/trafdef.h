#pragma once
// Point-set fits: a source polyline and a target polyline resampled into
// equally many weighted point pairs, so that the head warp can treat every
// feature, a single point or a long line, as a list of weighted pairs.
//
// One template serves the four forms: trafdef22 (photo to photo, the one the
// fitting uses), trafdef23, trafdef32 and trafdef33. Lengths are measured in
// the source's own space, except that trafdef32 measures its 3D source in the
// image (through the camera) when it subdivides or weighs by length, so that
// the number of samples follows the feature's size in the photo.

#include <cmath>
#include <type_traits>

#include "foundation/dynarray.h"
#include "foundation/use.h"

namespace trafdef_detail {

inline vector2<double> imageOf(const vector2<double>& p, const htraf3<double>&) { return p; }
inline vector2<double> imageOf(const vector3<double>& p, const htraf3<double>& h) {
    vector3<double> v = (p * h).vec3();
    return {v.x, v.y};
}

template <class P>
inline double segment(const P& a, const P& b) {
    return (b - a).length();
}

template <class P>
inline P lerp(const P& a, const P& b, double t) {
    return a * (1.0 - t) + b * t;
}

// Head space to the photo plane: keeps x and y, drops the third coordinate.
inline htraf3<double> dropDepth() { return htraf3<double>(matrix33<double>(X3, Y3, O3), O3); }

}  // namespace trafdef_detail

// Head space to the client of the overlay view, to its photo pixels, and to
// the client of the 3D view: asked of the document's views (identity when
// there is none).
htraf3<double> htrafOf2D3DView();
htraf3<double> htrafOf2D3DViewBmp();
htraf3<double> htrafOf3DView();

template <class S, class T>
class trafdef {
public:
    using Source = S;
    using Target = T;
    // trafdef32 measures its 3D source in the image.
    static constexpr bool sourceInImage = std::is_same_v<S, vector3<double>> && std::is_same_v<T, vector2<double>>;
    static constexpr bool hasCamera = !(std::is_same_v<S, vector3<double>> && std::is_same_v<T, vector3<double>>);

    fnd::vector<S> from;
    fnd::vector<T> to;
    fnd::vector<double> weights;
    bool arcLengthPairing = false;
    double step = 3.0;
    double length = 0.5;
    bool keepLength = false;
    htraf3<double> projection = htraf3<double>(I44);
    matrix44<double> projection44 = trafdef_detail::dropDepth();

    // A default fit never asks a view for its camera: the identity stands in.
    trafdef() = default;

    trafdef(const fnd::vector<S>& f, const fnd::vector<T>& t, const fnd::vector<double>& w, bool arcLength,
            bool keepLen, double len, double stp, const htraf3<double>& proj = htraf3<double>(I44))
        : arcLengthPairing(arcLength), step(stp), length(len), keepLength(keepLen) {
        setProjection(proj);
        repeat(f, t, w);
    }

    // Concatenates the parts; each part weighs in proportion to its length
    // and all weights sum to 1. Parts made under different cameras do not
    // combine: the result then has no pairs.
    trafdef(const fnd::vector<trafdef>& parts, bool byLength) {
        if (parts.size() == 0) return;
        projection = parts[0].projection;
        projection44 = parts[0].projection44;
        if constexpr (hasCamera) {
            for (int i = 1; i < parts.size(); ++i)
                if (!(parts[i].projection == projection) || !(parts[i].projection44 == projection44)) return;
        }
        fnd::vector<trafdef> copy(parts);
        if (byLength)
            for (int i = 1; i < copy.size(); ++i) copy[i].weight_by_length();
        double L = 0;
        int total = 0;
        for (const trafdef& e : copy) {
            L += e.length;
            total += e.from.size();
        }
        from.resize(total);
        to.resize(total);
        weights.resize(total);
        int k = 0;
        for (const trafdef& e : copy) {
            double We = 0;
            for (int i = 0; i < e.weights.size(); ++i) We += e.weights[i];
            double d = L * We;
            for (int i = 0; i < e.from.size(); ++i, ++k) {
                from[k] = e.from[i];
                to[k] = i < e.to.size() ? e.to[i] : T();
                double w = i < e.weights.size() ? e.weights[i] : 0.0;
                weights[k] = d < 1e-20 ? 0.0 : w / d * e.length;
            }
        }
        arcLengthPairing = false;
        step = 1000000.0;  // taken as no resampling
        length = L;
    }

    void setProjection(const htraf3<double>& proj) {
        projection = proj;
        projection44 = static_cast<const matrix44<double>&>(proj * trafdef_detail::dropDepth());
    }

    void weight_by_length() {
        keepLength = true;
        double L = 0;
        for (int i = 1; i < from.size(); ++i) L += sourceSegment(from[i - 1], from[i]);
        length = L;
    }

    void repeat(const fnd::vector<S>& F, const fnd::vector<T>& Tg, const fnd::vector<double>& W);

private:
    // Segment length of the source; trafdef32 measures it in the image when
    // it subdivides and when it weighs by length.
    double sourceSegment(const S& a, const S& b, bool inImage = true) const {
        if constexpr (sourceInImage) {
            if (inImage)
                return trafdef_detail::segment(trafdef_detail::imageOf(a, projection),
                                               trafdef_detail::imageOf(b, projection));
        }
        return trafdef_detail::segment(a, b);
    }

    void copyUnchanged(const fnd::vector<S>& F, const fnd::vector<T>& Tg, const fnd::vector<double>& W);
    void pairByArcLength(const fnd::vector<S>& F, const fnd::vector<T>& Tg, const fnd::vector<double>& W);
    void pairByVertex(const fnd::vector<S>& F, const fnd::vector<T>& Tg, const fnd::vector<double>& W);
};

using trafdef22 = trafdef<vector2<double>, vector2<double>>;
using trafdef23 = trafdef<vector2<double>, vector3<double>>;
using trafdef32 = trafdef<vector3<double>, vector2<double>>;
using trafdef33 = trafdef<vector3<double>, vector3<double>>;

namespace trafdef_detail {

// Cumulative length of a polyline divided by its total: 0 first, exactly 1
// last. A polyline of length 0 is parametrised by vertex number instead, so
// that nothing divides by zero and the parameters stay distinct.
template <class P, class Len>
inline void arcParameters(const fnd::vector<P>& pts, Len segLen, fnd::vector<double>& s, double& total) {
    int n = pts.size();
    s.resize(n);
    total = 0;
    if (n == 0) return;
    s[0] = 0;
    for (int i = 1; i < n; ++i) {
        total += segLen(pts[i - 1], pts[i]);
        s[i] = total;
    }
    if (n == 1) return;
    if (total > 0 && std::isfinite(total)) {
        for (int i = 1; i < n - 1; ++i) s[i] /= total;
    } else {
        for (int i = 1; i < n - 1; ++i) s[i] = double(i) / (n - 1);
    }
    s[n - 1] = 1.0;
}

// Moves j forward to the segment of s that holds t; a is the position in it.
// Returns false when t lies past the last segment.
inline bool locate(const fnd::vector<double>& s, double t, int& j, double& a) {
    int n = s.size();
    while (j < n - 1) {
        double len = s[j + 1] - s[j];
        if (len >= 1e-10) {
            a = (t - s[j]) / len;
            if (a > -1e-10 && a < 1.0000000001) return true;
        }
        ++j;
    }
    return false;
}

}  // namespace trafdef_detail

template <class S, class T>
void trafdef<S, T>::repeat(const fnd::vector<S>& F, const fnd::vector<T>& Tg, const fnd::vector<double>& W) {
    int n = F.size();
    bool resample = step < 999999.0 && step > 0 && n > 1;
    if (!resample) {
        copyUnchanged(F, Tg, W);
        return;
    }
    if (Tg.size() == 0) {
        from.resize(0);
        to.resize(0);
        weights.resize(0);
        return;
    }
    // Vertex pairing needs a target vertex for every source vertex; a shorter
    // target is paired by arc length instead of being read past its end.
    if (arcLengthPairing || Tg.size() < n)
        pairByArcLength(F, Tg, W);
    else
        pairByVertex(F, Tg, W);
}

template <class S, class T>
void trafdef<S, T>::copyUnchanged(const fnd::vector<S>& F, const fnd::vector<T>& Tg, const fnd::vector<double>& W) {
    int n = F.size();
    from = F;
    to.resize(n);
    for (int i = 0; i < n; ++i) to[i] = i < Tg.size() ? Tg[i] : T();
    weights.resize(n);
    bool ones = n == 1 || W.size() == 0;
    for (int i = 0; i < n; ++i) weights[i] = ones || i >= W.size() ? 1.0 : W[i];
}

template <class S, class T>
void trafdef<S, T>::pairByArcLength(const fnd::vector<S>& F, const fnd::vector<T>& Tg0,
                                    const fnd::vector<double>& W) {
    using namespace trafdef_detail;
    int n = F.size();
    // A one-point target is a line of length 0 at that point.
    fnd::vector<T> Tg(Tg0);
    if (Tg.size() == 1) Tg.add(Tg[0]);
    int m = Tg.size();

    fnd::vector<double> sF, sT;
    double LF = 0, LT = 0;
    arcParameters(F, [this](const S& a, const S& b) { return sourceSegment(a, b, false); }, sF, LF);
    arcParameters(Tg, [](const T& a, const T& b) { return segment(a, b); }, sT, LT);

    fnd::vector<double> w(n);
    if (W.size() == n) {
        w = W;
    } else {
        for (int i = 0; i < n; ++i) w[i] = 0;
        for (int i = 1; i < n; ++i) {
            double d = sourceSegment(F[i - 1], F[i], false);
            w[i - 1] += 0.5 * d;
            w[i] += 0.5 * d;
        }
    }

    // At least one uniform interval: a source shorter than one step would
    // otherwise give N = 0, a division by zero and a first and last sample
    // in the same place.
    double q = LF / step;
    int N = q >= 1.0 && std::isfinite(q) ? int(std::floor(q)) : 1;
    int K = N + n + m - 3;

    fnd::vector<double> t(K);
    t[0] = 0.0;
    t[K - 1] = 1.0;
    {
        // Merge the interior uniform values, target and source parameters;
        // on ties the uniform value first, then the target's, then the source's.
        int iu = 1, it = 1, is = 1, k = 1;
        while (k < K - 1) {
            double u = iu < N ? double(iu) / N : HUGE_VAL;
            double vt = it < m - 1 ? sT[it] : HUGE_VAL;
            double vs = is < n - 1 ? sF[is] : HUGE_VAL;
            if (u <= vt && u <= vs) {
                t[k++] = u;
                ++iu;
            } else if (vt <= vs) {
                t[k++] = vt;
                ++it;
            } else {
                t[k++] = vs;
                ++is;
            }
        }
    }

    from.resize(K);
    to.resize(K);
    weights.resize(K);
    int jF = 0, jT = 0;
    for (int s = 0; s < K - 1; ++s) {
        double a = 0;
        double wt;
        if (locate(sF, t[s], jF, a)) {
            from[s] = lerp(F[jF], F[jF + 1], a);
            wt = (1.0 - a) * w[jF] + a * w[jF + 1];
        } else {
            from[s] = F[n - 1];
            wt = w[n - 1];
        }
        weights[s] = s == 0 ? w[0] * (t[1] - t[0]) : wt * (t[s + 1] - t[s - 1]);
        double b = 0;
        if (locate(sT, t[s], jT, b))
            to[s] = lerp(Tg[jT], Tg[jT + 1], b);
        else
            to[s] = Tg[m - 1];
    }
    from[K - 1] = F[n - 1];
    to[K - 1] = Tg[m - 1];
    weights[K - 1] = w[n - 1] * (t[K - 1] - t[K - 2]);
    if (keepLength) length = LF;
}

template <class S, class T>
void trafdef<S, T>::pairByVertex(const fnd::vector<S>& F, const fnd::vector<T>& Tg, const fnd::vector<double>& W) {
    using namespace trafdef_detail;
    int n = F.size();
    fnd::vector<int> c(n);
    double LF = 0;
    int K = 1;
    for (int i = 1; i < n; ++i) {
        double d = sourceSegment(F[i - 1], F[i]);
        LF += d;
        double q = std::floor(d / step);
        c[i] = (q >= 0 && q < 1e7 ? int(q) : 0) + 1;
        K += c[i];
    }
    from.resize(K);
    to.resize(K);
    weights.resize(K);
    fnd::vector<double> p(n);
    for (int i = 0; i < n; ++i) p[i] = W.size() == n ? W[i] : 1.0;
    p[0] *= 2;
    p[n - 1] *= 2;
    for (int i = 0; i < K; ++i) weights[i] = 0;

    int first = 0;
    for (int i = 1; i < n; ++i) {
        int ci = c[i];
        for (int k = 0; k < ci; ++k) {
            double a = double(k) / ci;
            from[first + k] = lerp(F[i - 1], F[i], a);
            to[first + k] = lerp(Tg[i - 1], Tg[i], a);
        }
        double D = double(ci - 2) * ci + 2;
        double h0 = 0.5 * p[i - 1] / D, h1 = 0.5 * p[i] / D;
        weights[first] += ci * h0;
        for (int k = 1; k < ci; ++k) weights[first + k] += 2 * (h0 * (ci - k) + k * h1);
        weights[first + ci] += ci * h1;
        first += ci;
    }
    from[K - 1] = F[n - 1];
    to[K - 1] = Tg[n - 1];
    if (keepLength) length = LF;
}

// Reverses the target when it runs against the source (cosine of the two
// end-to-end directions in the image below -0.5). trafdef33 has none.
template <class S, class T>
    requires(trafdef<S, T>::hasCamera)
void correctDirection(trafdef<S, T>& f) {
    using trafdef_detail::imageOf;
    if (f.to.size() == 0 || f.from.size() == 0) return;
    vector2<double> a = imageOf(f.to[f.to.size() - 1], f.projection) - imageOf(f.to[0], f.projection);
    vector2<double> b = imageOf(f.from[f.from.size() - 1], f.projection) - imageOf(f.from[0], f.projection);
    double l = std::sqrt((a * a) * (b * b));
    if (!(l > 1e-10) || (a * b) / l >= -0.5) return;
    for (int i = 0, j = f.to.size() - 1; i < j; ++i, --j) fnd::swap(f.to[i], f.to[j]);
}

template <class S, class T>
    requires(trafdef<S, T>::hasCamera)
void correctDirection(fnd::vector<trafdef<S, T>>& list) {
    for (int i = 0; i < list.size(); ++i) correctDirection(list[i]);
}

// out[i] = x and y of points[i] under h, after the homogeneous division.
void traf32(fnd::vector<vector2<double>>* out, const fnd::vector<vector3<double>>& points, const htraf3<double>& h);
