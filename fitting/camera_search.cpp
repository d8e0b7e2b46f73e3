#include "fitting/camera_search.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "foundation/numeric.h"
#include "foundation/random.h"

namespace {

std::unique_ptr<CameraSearchTables>& tablesPtr() {
    static std::unique_ptr<CameraSearchTables> t(new CameraSearchTables());
    return t;
}

// Least-squares scratch of the 3 x 3 fit, rows and columns counted from 1.
struct Scratch {
    double a[5][fnd::kRowLength];
    double b[5][fnd::kRowLength];
    double x[fnd::kRowLength];
    double s[fnd::kRowLength];
};

Scratch& scratch() {
    static std::unique_ptr<Scratch> s(new Scratch());
    return *s;
}

// Projected head points of the candidate being fitted, reused by the error
// pass so that nothing is allocated or projected twice.
dynarray<vector2<double>>& projectedScratch() {
    static dynarray<vector2<double>> p;
    return p;
}

const double kInf = std::numeric_limits<double>::infinity();

}  // namespace

CameraSearchTables& cameraSearchTables() { return *tablesPtr(); }

void resetCameraSearch() { tablesPtr().reset(new CameraSearchTables()); }

void camera_photo_size(int width, int height) {
    CameraSearchTables& t = cameraSearchTables();
    t.photoWidth = width;
    t.photoHeight = height;
}

namespace {

inline double dot3(const vector3<double>& a, const vector3<double>& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

inline vector3<double> cross3(const vector3<double>& a, const vector3<double>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double normalize3(vector3<double>* v) {
    double l = std::sqrt(dot3(*v, *v));
    if (l < 1e-8) return 0;
    v->x /= l;
    v->y /= l;
    v->z /= l;
    return l;
}

}  // namespace

double Skalaris_3(vector3<double> a, vector3<double> b) { return dot3(a, b); }

vector3<double> Vektorialis(vector3<double> a, vector3<double> b) { return cross3(a, b); }

double Normalas(vector3<double>* v) { return normalize3(v); }

void kozeppont(double x, double y, double z) { cameraSearchTables().center_point = vector3<double>(x, y, z); }

void adatok_beallitasa(long i, vector2<double> photoPoint, bool present, vector3<double> headPoint,
                       double importance, bool onSymmetryPlane) {
    if (i < 0) return;
    CameraSearchTables& t = cameraSearchTables();
    int n = int(i) + 1;
    t.basic_2D_points.resize(n);
    t.basic_2D_existance.resize(n);
    t.basic_3D_points.resize(n);
    t.importance_of_basic_points.resize(n);
    t.basic_points_is_on_Xcoordplan.resize(n);
    t.basic_2D_points[i] =
        vector2<double>(photoPoint.x - t.photoWidth / 2.0, t.photoHeight / 2.0 - photoPoint.y);
    t.basic_2D_existance[i] = present ? 1 : 0;
    t.basic_3D_points[i] = headPoint;
    t.importance_of_basic_points[i] = importance > 0 ? importance : 1.0;
    t.basic_points_is_on_Xcoordplan[i] = onSymmetryPlane ? 1 : 0;
}

namespace {

// fnd::ScrambledHalton with the base known at compile time: the same
// operations in the same order, so the same values, without run-time
// divisions.
template <unsigned p>
struct DigitScales {
    double s[40];
    DigitScales() {
        double scale = 1.0 / p;
        for (double& v : s) {
            v = scale;
            scale /= p;
        }
    }
};

template <unsigned p>
double halton(unsigned i) {
    static const DigitScales<p> scales;
    double r = 0;
    for (unsigned k = 0; i > 0; ++k, i /= p) r += ((i % p + k) % p) * scales.s[k];
    return r;
}

// The table depends only on the centre; a copy of it as generated is kept so
// that the next camera step with the same centre only copies it back (the
// search rewrites the axes it uses).
struct GeneratedTable {
    bool valid = false;
    vector3<double> centre;
    vector3<double> eye[kCameraCandidates];
    vector3<double> center[kCameraCandidates];
    vector3<double> view[kCameraCandidates];
    vector3<double> vertical[kCameraCandidates];
};

GeneratedTable& generatedTable() {
    static std::unique_ptr<GeneratedTable> g(new GeneratedTable());
    return *g;
}

void buildCandidates(const vector3<double>& c, GeneratedTable& g) {
    unsigned j = 15000;
    int k = 0;
    while (k < kCameraCandidates) {
        ++j;
        double h0 = halton<2>(j), h1 = halton<3>(j), h2 = halton<5>(j), h3 = halton<7>(j), h4 = halton<11>(j);
        double cz = 2 * h0 - 1;
        double s = std::sqrt(1 - cz * cz);
        double phi = (2 * h1 - 1) * 3.1415926535;
        vector3<double> d(std::sin(phi) * s, cz, s * std::cos(phi));
        double L = normalize3(&d);
        if (L > 1) continue;
        double r = 500.0 / std::max(L, 1e-6);
        g.eye[k] = c + d * r;

        vector3<double> a(600, 800, 1300);
        a = a - d * dot3(a, d);
        normalize3(&a);
        vector3<double> b = cross3(d, a);
        double u = (0.5 * h2 - 0.25) * 500, w = (0.5 * h3 - 0.25) * 500;
        g.center[k] = c + a * u + b * w;

        vector3<double> view = g.center[k] - g.eye[k];
        normalize3(&view);
        g.view[k] = view;
        vector3<double> up0(0, 1, 0);
        up0 = up0 - view * dot3(up0, view);
        normalize3(&up0);
        vector3<double> side = cross3(view, up0);
        double rho = 0.8 * h4 - 0.4;
        g.vertical[k] = up0 * std::cos(rho) - side * std::sin(rho);
        ++k;
    }
    g.centre = c;
    g.valid = true;
}

}  // namespace

void generation_possible_camera_models() {
    CameraSearchTables& t = cameraSearchTables();
    t.min_camera_distance = 500.0;
    fnd::seedRandom(0);
    GeneratedTable& g = generatedTable();
    if (!g.valid || !(g.centre == t.center_point)) buildCandidates(t.center_point, g);
    std::copy(g.eye, g.eye + kCameraCandidates, t._eye);
    std::copy(g.center, g.center + kCameraCandidates, t.new_center);
    std::copy(g.view, g.view + kCameraCandidates, t._view);
    std::copy(g.vertical, g.vertical + kCameraCandidates, t._vertical);
    std::fill(t.torzit, t.torzit + kCameraCandidates, 1.0);
}

double cameraHaltonForTest(unsigned i, unsigned dimension) {
    switch (dimension) {
        case 0: return halton<2>(i);
        case 1: return halton<3>(i);
        case 2: return halton<5>(i);
        case 3: return halton<7>(i);
        case 4: return halton<11>(i);
        default: return -1;
    }
}

void KAMERA_MODELL(long k, vector3<double>* view, vector3<double>* horizontal, vector3<double>* vertical) {
    if (k < 0 || k >= kCameraCandidates) return;
    CameraSearchTables& t = cameraSearchTables();
    *horizontal = cross3(*view, t._vertical[k]);
    *vertical = cross3(*horizontal, *view);
}

namespace {

// display_koordinatak with the axes already normalised.
inline bool projectUnit(const vector3<double>& view, const vector3<double>& horizontal,
                        const vector3<double>& vertical, const vector3<double>& eye, const vector3<double>& p,
                        vector2<double>* out) {
    vector3<double> d(p.x - eye.x, p.y - eye.y, p.z - eye.z);
    double depth = dot3(d, view);
    if (depth < 1e-8) return false;
    *out = vector2<double>(dot3(d, horizontal) / depth, dot3(d, vertical) / depth);
    return true;
}

}  // namespace

bool display_koordinatak(vector3<double> view, vector3<double> horizontal, vector3<double> vertical,
                         vector3<double> eye, vector3<double> p, vector2<double>* out) {
    Normalas(&view);
    Normalas(&horizontal);
    Normalas(&vertical);
    return projectUnit(view, horizontal, vertical, eye, p, out);
}

int _error_of_2D_3D_points(double stretch, vector3<double> view, vector3<double> horizontal,
                           vector3<double> vertical, vector3<double> eye, long n, double* tx, double* ty,
                           double* scale, double* error) {
    const CameraSearchTables& t = cameraSearchTables();
    if (n > t.basic_2D_points.size()) n = t.basic_2D_points.size();
    *error = kInf;
    Normalas(&view);
    Normalas(&horizontal);
    Normalas(&vertical);

    dynarray<vector2<double>>& uv = projectedScratch();
    if (uv.size() < n) uv.resize(int(n));
    double Sw = 0, Su = 0, Sv = 0, Suu = 0, Sx = 0, Sy = 0, Sxu = 0;
    for (long i = 0; i < n; ++i) {
        if (!t.basic_2D_existance[i]) continue;
        vector3<double> p = t.basic_3D_points[i];
        p.x *= stretch;
        // A point the camera cannot see makes the whole candidate unusable.
        if (!projectUnit(view, horizontal, vertical, eye, p, &uv[i])) return 0;
        double w = t.importance_of_basic_points[i];
        double u = uv[i].x, v = uv[i].y;
        double x = t.basic_2D_points[i].x, y = t.basic_2D_points[i].y;
        Sw += w;
        Su += w * u;
        Sv += w * v;
        Suu += w * (u * u + v * v);
        Sx += w * x;
        Sy += w * y;
        Sxu += w * (x * u + y * v);
    }
    if (!(Sw > 0)) return 0;

    Scratch& z = scratch();
    const double m[3][4] = {{Sw, 0, Su, Sx}, {0, Sw, Sv, Sy}, {Su, Sv, Suu, Sxu}};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) z.a[r + 1][c + 1] = m[r][c];
        z.s[r + 1] = m[r][3];
        z.a[4][r + 1] = m[r][3];
    }
    z.x[1] = z.x[2] = z.x[3] = 0;
    if (fnd::GRAM(3, 3, z.a, z.b) < 0) return 0;
    if (fnd::min_distance_step(3, 3, z.a, z.b, z.x, z.s) < 0) return 0;
    *tx = z.x[1];
    *ty = z.x[2];
    *scale = z.x[3];
    // A mirrored or vanishing image is no camera.
    if (!(*scale > 0)) return 0;

    double sum = 0;
    for (long i = 0; i < n; ++i) {
        if (!t.basic_2D_existance[i]) continue;
        double w = t.importance_of_basic_points[i];
        double ex = *scale * uv[i].x + *tx - t.basic_2D_points[i].x;
        double ey = *scale * uv[i].y + *ty - t.basic_2D_points[i].y;
        sum += w * (ex * ex + ey * ey);
    }
    if (std::fabs(*tx) > 0.4 * t.photoWidth || std::fabs(*ty) > 0.4 * t.photoHeight) sum = 1e8;
    *error = std::sqrt(sum / Sw);
    return 1;
}

namespace {

// A few well spread present pairs. Fitting scale and offset to them alone
// gives a lower bound of a candidate's error (their share of the full sum can
// only grow when the other pairs join the fit), so most candidates are ruled
// out without projecting every pair.
struct BoundSubset {
    int count = 0;
    vector3<double> head[8];
    vector2<double> photo[8];
    double weight[8];
};

BoundSubset spreadSubset(const CameraSearchTables& t, long n) {
    BoundSubset b;
    dynarray<long> present;
    for (long i = 0; i < n; ++i)
        if (t.basic_2D_existance[i]) present.add(i);
    if (present.size() <= 10) return b;  // the full fit is as cheap
    // Farthest-point order from the first present pair.
    dynarray<double> nearest(present.size());
    long pick = 0;
    for (int k = 0; k < present.size(); ++k) nearest[k] = HUGE_VAL;
    while (b.count < 8) {
        long i = present[pick];
        b.head[b.count] = t.basic_3D_points[i];
        b.photo[b.count] = t.basic_2D_points[i];
        b.weight[b.count] = t.importance_of_basic_points[i];
        ++b.count;
        double farthest = -1;
        for (int k = 0; k < present.size(); ++k) {
            double d = dist(t.basic_3D_points[present[k]], t.basic_3D_points[i]);
            if (d < nearest[k]) nearest[k] = d;
            if (nearest[k] > farthest) {
                farthest = nearest[k];
                pick = k;
            }
        }
    }
    return b;
}

// Weighted squared error of the best scale and offset for the first `count`
// points of the subset alone. The axes need not be normalised: they are unit
// vectors to rounding, which the caller's margin covers. +inf when a point is
// clearly behind the eye (the full fit refuses that candidate too); -1 when
// no bound can be given (a point too near the eye's plane to tell, or a
// degenerate fit): the candidate is then fitted in full.
double subsetBound(const BoundSubset& b, int count, const vector3<double>& view, const vector3<double>& horizontal,
                   const vector3<double>& vertical, const vector3<double>& eye) {
    double u[8], v[8];
    double Sw = 0, Su = 0, Sv = 0, Suu = 0, Sx = 0, Sy = 0, Sxu = 0;
    for (int i = 0; i < count; ++i) {
        vector3<double> d(b.head[i].x - eye.x, b.head[i].y - eye.y, b.head[i].z - eye.z);
        double depth = dot3(d, view);
        if (depth < 1e-6) return depth < -1e-6 ? kInf : -1;
        double r = 1.0 / depth;
        u[i] = dot3(d, horizontal) * r;
        v[i] = dot3(d, vertical) * r;
        double w = b.weight[i], x = b.photo[i].x, y = b.photo[i].y;
        Sw += w;
        Su += w * u[i];
        Sv += w * v[i];
        Suu += w * (u[i] * u[i] + v[i] * v[i]);
        Sx += w * x;
        Sy += w * y;
        Sxu += w * (x * u[i] + y * v[i]);
    }
    double spread = Suu - (Su * Su + Sv * Sv) / Sw;
    if (!(spread > 1e-12 * Suu)) return -1;
    double s = (Sxu - (Su * Sx + Sv * Sy) / Sw) / spread;
    double tx = (Sx - Su * s) / Sw, ty = (Sy - Sv * s) / Sw;
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        double ex = s * u[i] + tx - b.photo[i].x, ey = s * v[i] + ty - b.photo[i].y;
        sum += b.weight[i] * (ex * ex + ey * ey);
    }
    return sum;
}

}  // namespace

bool ponttavolsag_optimalizalas(long n, CameraFound* out) {
    CameraSearchTables& t = cameraSearchTables();
    if (n > t.basic_2D_points.size()) n = t.basic_2D_points.size();
    const int W = t.photoWidth, H = t.photoHeight;
    if (W <= 0 || H <= 0) return false;
    int usable = 0;
    for (long i = 0; i < n; ++i)
        if (t.basic_2D_existance[i]) ++usable;
    if (usable < 3) return false;

    const double unit = H / 300.0;
    double Sw = 0;
    for (long i = 0; i < n; ++i)
        if (t.basic_2D_existance[i]) Sw += t.importance_of_basic_points[i];
    const BoundSubset subset = spreadSubset(t, n);
    // An offset outside the photo gives this error whatever the fit.
    const double outsideError = std::sqrt(1e8 / Sw) / unit;

    // The error of every 64th candidate, fitted in full before the search,
    // bounds the winner's from the start. The search fits them again in
    // order with the same numbers, so the threshold is one of its own results.
    double threshold = 1e20;
    if (subset.count > 0) {
        for (long k = 0; k < kCameraCandidates; k += 64) {
            vector3<double> view = t._view[k], horizontal, vertical;
            KAMERA_MODELL(k, &view, &horizontal, &vertical);
            double tx, ty, s, e;
            if (_error_of_2D_3D_points(1.0, view, horizontal, vertical, t._eye[k], n, &tx, &ty, &s, &e))
                threshold = std::min(threshold, e / unit);
        }
    }

    double best = 1e20;
    long bestK = -1;
    for (long k = 0; k < kCameraCandidates; ++k) {
        vector3<double> view = t._view[k], horizontal, vertical;
        KAMERA_MODELL(k, &view, &horizontal, &vertical);
        t._horizontal[k] = horizontal;
        t._vertical[k] = vertical;
        if (subset.count > 0) {
            // Only a candidate that could beat the best, rounding allowed for,
            // is fitted in full; the outcome is the same as fitting them all.
            const double margin = std::min(best, threshold) * (1 + 1e-6) + 1e-9;
            if (outsideError > margin) {
                bool ruledOut = false;
                for (int count : {4, 8}) {
                    double bound = subsetBound(subset, count, view, horizontal, vertical, t._eye[k]);
                    if (bound < 0) break;
                    if (bound == kInf || std::sqrt(bound / Sw) / unit > margin) {
                        ruledOut = true;
                        break;
                    }
                }
                if (ruledOut) continue;
            }
        }
        double tx, ty, s, e;
        if (!_error_of_2D_3D_points(1.0, view, horizontal, vertical, t._eye[k], n, &tx, &ty, &s, &e)) continue;
        e /= unit;
        if (e < best) {
            best = e;
            bestK = k;
        }
    }
    if (bestK < 0) return false;

    double tx, ty, s, e;
    if (!_error_of_2D_3D_points(t.torzit[bestK], t._view[bestK], t._horizontal[bestK], t._vertical[bestK],
                                t._eye[bestK], n, &tx, &ty, &s, &e))
        return false;
    out->eye = t._eye[bestK];
    out->center = t.new_center[bestK];
    out->up = t._vertical[bestK];
    out->openingAngle = std::atan((H + 2 * std::fabs(ty)) * 0.5 / s) * 114.5915590294399;
    out->stretch = 1.0;
    out->index = bestK;
    out->tx = tx;
    out->ty = ty;
    out->scale = s;
    out->error = e;
    return true;
}
