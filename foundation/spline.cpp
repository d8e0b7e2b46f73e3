#include "foundation/spline.h"

#include <algorithm>
#include <cmath>

namespace fnd {

namespace {

struct V3 {
    double x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(double s, V3 a) { return {s * a.x, s * a.y, s * a.z}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(V3 a) { return std::sqrt(dot(a, a)); }
// A vector shorter than 1e-10 has no direction.
V3 unit(V3 a) {
    double l = norm(a);
    return l < 1e-10 ? V3{} : (1.0 / l) * a;
}

// Point arrays and coefficient arrays of one curve; z is null in 2D.
struct Arrays {
    const double *x, *y, *z;
    double *bx, *by, *bz, *cx, *cy, *cz, *dx, *dy, *dz;
    V3 p(int i) const { return {x[i], y[i], z ? z[i] : 0.0}; }
    void set(double* ax, double* ay, double* az, int i, V3 v) const {
        ax[i] = v.x;
        ay[i] = v.y;
        if (az) az[i] = v.z;
    }
};

// Hermite segments whose tangent directions are adjusted iteratively for a
// smooth bend. Open ends have zero tangents and zero end speeds.
void cubicCompute(int n, char mode, const Arrays& a) {
    std::vector<V3> delta(n), T(n + 1), next(n + 1);
    std::vector<double> len(n), twoSq(n), s0(n), s1(n);
    for (int i = 0; i < n; ++i) {
        delta[i] = a.p(i + 1) - a.p(i);
        len[i] = norm(delta[i]);
        twoSq[i] = 2 * len[i] * len[i];
    }
    for (int i = 1; i < n; ++i) T[i] = unit(a.p(i + 1) - a.p(i - 1));
    const bool closed = (mode & 3) != 0;
    const double endSign = (mode & 3) == 1 ? 1.0 : -1.0;
    if (closed) {
        T[0] = unit(a.p(1) - a.p(n - 1));
        T[n] = endSign * T[0];
    }
    auto speeds = [&] {
        for (int i = 0; i < n; ++i) {
            double d0 = len[i] + dot(delta[i], T[i] + 2 * T[i + 1]) / 3;
            double d1 = len[i] + dot(delta[i], T[i + 1] + 2 * T[i]) / 3;
            s0[i] = d0 < 1e-10 ? 0 : twoSq[i] / d0;
            s1[i] = d1 < 1e-10 ? 0 : twoSq[i] / d1;
        }
        if (!closed) {
            s0[0] = 0;
            s1[n - 1] = 0;
        }
    };
    // New direction at point i between segment `before` and segment i.
    auto direction = [&](int i, int before, V3 earlier, V3 later) {
        double a0 = s0[i] * s0[i], a1 = s1[before] * s1[before];
        V3 d = 3 * (a0 * delta[before] + a1 * delta[i]) - (a0 * s0[before]) * earlier - (a1 * s1[i]) * later;
        return unit(d);
    };
    for (int iter = 0; iter < 75; ++iter) {
        speeds();
        next = T;
        for (int i = 1; i < n; ++i) next[i] = direction(i, i - 1, T[i - 1], T[i + 1]);
        if (closed) {
            next[0] = direction(0, n - 1, T[n - 1], T[1]);
            next[n] = endSign * next[0];
        }
        bool settled = true;
        for (int i = closed ? 0 : 1; i < n; ++i)
            if (dot(next[i], T[i]) < 0.999) settled = false;
        T = next;
        if (settled) break;
    }
    for (int i = 0; i < n; ++i) {
        V3 b = s0[i] * T[i];
        V3 e = s1[i] * T[i + 1];
        V3 c = 3 * delta[i] - 2 * b - e;
        V3 d = b + e - 2 * delta[i];
        a.set(a.bx, a.by, a.bz, i, b);
        a.set(a.cx, a.cy, a.cz, i, c);
        a.set(a.dx, a.dy, a.dz, i, d);
    }
}

// Simpson's rule on the speed |b + 2cu + 3du^2| over ceil(10 (u1 - u0))
// sub-intervals.
double cubicLength(V3 b, V3 c, V3 d, double u0, double u1) {
    if (u1 - u0 < 1e-10) return 0;
    // |P'(u)|^2 as a quartic in u.
    V3 c2 = 2 * c, d3 = 3 * d;
    double k0 = dot(b, b), k1 = 2 * dot(b, c2), k2 = dot(c2, c2) + 2 * dot(b, d3), k3 = 2 * dot(c2, d3),
           k4 = dot(d3, d3);
    auto f = [&](double u) { return std::sqrt(std::fabs((((k4 * u + k3) * u + k2) * u + k1) * u + k0)); };
    int k = static_cast<int>(std::ceil(10 * (u1 - u0) - 1e-10));
    if (k < 1) k = 1;
    double h = (u1 - u0) / k, sum = 0;
    for (int j = 0; j < k; ++j) {
        double a = u0 + j * h, e = a + h;
        sum += (f(a) + 4 * f(a + h / 2) + f(e)) * h / 6;
    }
    return sum;
}

// One coordinate of the linear pieces: b[i] = p[i + 1] - p[i] per segment.
void segmentSteps(const std::vector<double>& p, std::vector<double>& b, int n) {
    b.assign(n, 0.0);
    for (int i = 0; i < n; ++i) b[i] = p[i + 1] - p[i];
}
double linearAt(const std::vector<double>& p, const std::vector<double>& b, int i, double u) { return p[i] + b[i] * u; }
double cubicAt(const std::vector<double>& p, const std::vector<double>& b, const std::vector<double>& c,
               const std::vector<double>& d, int i, double u) {
    return ((d[i] * u + c[i]) * u + b[i]) * u + p[i];
}

}  // namespace

void spline::setSize(int size) {
    reset();
    n = size > 0 ? size : 0;
}

void spline::compute(char) {}

void spline::reset() {
    computed = 0;
    n = 0;
}

double spline::length(int, double, double) const { return 0.0; }

void spline::computeOnce(char mode) {
    if (computed) return;
    if (n > 0) compute(mode);
    computed = 1;
}

void spline::locate(double t, int& segment, double& u) const {
    if (n <= 0 || !(t > 0)) {
        segment = 0;
        u = 0;
        return;
    }
    if (t >= n) {
        segment = n - 1;
        u = 1;
        return;
    }
    double f = std::floor(t);
    segment = static_cast<int>(f);
    u = t - f;
}

double spline::length(double t0, double t1) const {
    if (n == 0 || t0 > t1 - 1e-10) return 0;
    t0 = std::max(t0, 0.0);
    t1 = std::min(t1, static_cast<double>(n));
    if (!(t0 < t1)) return 0;  // both beyond one end of the curve
    int i0;
    double u0;
    locate(t0, i0, u0);
    double f1 = std::floor(t1);
    int i1 = static_cast<int>(f1);
    double u1 = t1 - f1;  // 0 at t1 = n: segment n is never touched
    if (i0 == i1) return length(i0, u0, u1);
    double sum = length(i0, u0, 1.0);
    for (int i = i0 + 1; i < i1; ++i) sum += length(i, 0.0, 1.0);
    if (u1 > 1e-10) sum += length(i1, 0.0, u1);
    return sum;
}

void spline::weighting(double t, int& segment, double& w) const {
    if (n == 0 || t <= 0) {
        segment = 0;
        w = 1;
    } else if (t >= n) {
        segment = n - 1;
        w = 0;
    } else {
        double f = std::floor(t);
        segment = static_cast<int>(f);
        w = f + 1 - t;
    }
}

void spline2D::setSize(int size) {
    spline::setSize(size);
    if (size < 0) return;
    px.assign(n + 1, 0.0);
    py.assign(n + 1, 0.0);
}

void spline2D::reset() {
    spline::reset();
    px.clear();
    py.clear();
}

double spline2D::x(int i, double) const { return px[i]; }
double spline2D::y(int i, double) const { return py[i]; }

double spline2D::x(double t) const {
    return at(px, t, [this](int i, double u) { return x(i, u); });
}
double spline2D::y(double t) const {
    return at(py, t, [this](int i, double u) { return y(i, u); });
}

void spline2D::Init(const dynarray<vector2<double>>& points, char mode) {
    int m = points.size();
    if (m <= 0) return;
    setSize(m - 1);
    for (int i = 0; i < m; ++i) {
        px[i] = points[i].x;
        py[i] = points[i].y;
    }
    computeOnce(mode);
}

void spline3D::setSize(int size) {
    spline2D::setSize(size);
    if (size < 0) return;
    pz.assign(n + 1, 0.0);
}

void spline3D::reset() {
    spline2D::reset();
    pz.clear();
}

double spline3D::z(int i, double) const { return pz[i]; }

double spline3D::z(double t) const {
    return at(pz, t, [this](int i, double u) { return z(i, u); });
}

vector3<double> spline3D::xyz(double t) const { return {x(t), y(t), z(t)}; }

void spline3D::Init(const dynarray<vector3<double>>& points, char mode) {
    int m = points.size();
    if (m <= 0) return;
    setSize(m - 1);
    for (int i = 0; i < m; ++i) {
        px[i] = points[i].x;
        py[i] = points[i].y;
        pz[i] = points[i].z;
    }
    computeOnce(mode);
}

// Linear.

void spline2DLinear::compute(char) {
    segmentSteps(px, bx, n);
    segmentSteps(py, by, n);
}

void spline2DLinear::reset() {
    spline2D::reset();
    bx.clear();
    by.clear();
}

double spline2DLinear::length(int i, double u0, double u1) const { return (u1 - u0) * std::hypot(bx[i], by[i]); }
double spline2DLinear::x(int i, double u) const { return linearAt(px, bx, i, u); }
double spline2DLinear::y(int i, double u) const { return linearAt(py, by, i, u); }

void spline3DLinear::compute(char) {
    segmentSteps(px, bx, n);
    segmentSteps(py, by, n);
    segmentSteps(pz, bz, n);
}

void spline3DLinear::reset() {
    spline3D::reset();
    bx.clear();
    by.clear();
    bz.clear();
}

double spline3DLinear::length(int i, double u0, double u1) const {
    return (u1 - u0) * std::sqrt(bx[i] * bx[i] + by[i] * by[i] + bz[i] * bz[i]);
}
double spline3DLinear::x(int i, double u) const { return linearAt(px, bx, i, u); }
double spline3DLinear::y(int i, double u) const { return linearAt(py, by, i, u); }
double spline3DLinear::z(int i, double u) const { return linearAt(pz, bz, i, u); }

// Cubic.

void spline2DCubic::compute(char mode) {
    for (auto* v : {&bx, &by, &cx, &cy, &dx, &dy}) v->assign(n, 0.0);
    cubicCompute(n, mode,
                 {px.data(), py.data(), nullptr, bx.data(), by.data(), nullptr, cx.data(), cy.data(), nullptr, dx.data(),
                  dy.data(), nullptr});
}

void spline2DCubic::reset() {
    spline2DLinear::reset();
    for (auto* v : {&cx, &cy, &dx, &dy}) v->clear();
}

double spline2DCubic::length(int i, double u0, double u1) const {
    return cubicLength({bx[i], by[i], 0}, {cx[i], cy[i], 0}, {dx[i], dy[i], 0}, u0, u1);
}
double spline2DCubic::x(int i, double u) const { return cubicAt(px, bx, cx, dx, i, u); }
double spline2DCubic::y(int i, double u) const { return cubicAt(py, by, cy, dy, i, u); }

void spline3DCubic::compute(char mode) {
    for (auto* v : {&bx, &by, &bz, &cx, &cy, &cz, &dx, &dy, &dz}) v->assign(n, 0.0);
    cubicCompute(n, mode,
                 {px.data(), py.data(), pz.data(), bx.data(), by.data(), bz.data(), cx.data(), cy.data(), cz.data(),
                  dx.data(), dy.data(), dz.data()});
}

void spline3DCubic::reset() {
    spline3DLinear::reset();
    for (auto* v : {&cx, &cy, &cz, &dx, &dy, &dz}) v->clear();
}

double spline3DCubic::length(int i, double u0, double u1) const {
    return cubicLength({bx[i], by[i], bz[i]}, {cx[i], cy[i], cz[i]}, {dx[i], dy[i], dz[i]}, u0, u1);
}
double spline3DCubic::x(int i, double u) const { return cubicAt(px, bx, cx, dx, i, u); }
double spline3DCubic::y(int i, double u) const { return cubicAt(py, by, cy, dy, i, u); }
double spline3DCubic::z(int i, double u) const { return cubicAt(pz, bz, cz, dz, i, u); }

spline2D* spline2DOfType(int splineType) {
    switch (splineType) {
        case 1: return new spline2DLinear;
        case 3: return new spline2DCubic;
        default: return new spline2D;
    }
}

spline3D* spline3DOfType(int splineType) {
    switch (splineType) {
        case 1: return new spline3DLinear;
        case 3: return new spline3DCubic;
        default: return new spline3D;
    }
}

}  // namespace fnd
