#pragma once
// Axis-separate scale-and-offset maps between window pixels, picture pixels
// and photo coordinates. Zero factors are not guarded: callers build maps
// only from non-empty windows and pictures.

#include "foundation/vecmath.h"

namespace fnd {

// v -> a v + b
struct lintraf1 {
    double a = 1.0;
    double b = 0.0;

    constexpr lintraf1() = default;
    constexpr lintraf1(double a_, double b_) : a(a_), b(b_) {}

    // [0, 1] onto [lo, hi].
    static lintraf1 interval(double lo, double hi) { return {hi - lo, lo}; }
    // [lo1, hi1] onto [lo2, hi2].
    static lintraf1 intervals(double lo1, double hi1, double lo2, double hi2) {
        return interval(lo1, hi1).Inv() * interval(lo2, hi2);
    }
    // v -> o2 + e2 (v - o1) / e1.
    static lintraf1 originExtent(double o1, double e1, double o2, double e2) {
        return lintraf1(e1, o1).Inv() * lintraf1(e2, o2);
    }
    // A range of length hi1 - lo1 scaled by f and centred in one of length hi2 - lo2.
    static lintraf1 centring(double lo1, double hi1, double lo2, double hi2, double f) {
        return {f, ((hi2 - lo2) - f * (hi1 - lo1)) * 0.5};
    }

    double traf(double v) const { return a * v + b; }
    double operator()(double v) const { return traf(v); }
    lintraf1 Inv() const { return {1.0 / a, -b / a}; }
    // This map first, then q.
    lintraf1 operator*(const lintraf1& q) const { return {a * q.a, q.a * b + q.b}; }
};

// (x, y) -> (ax x + bx, ay y + by)
struct lintraf11 {
    lintraf1 x;
    lintraf1 y;

    constexpr lintraf11() = default;
    constexpr lintraf11(const lintraf1& x_, const lintraf1& y_) : x(x_), y(y_) {}
    // In the stored order: x factor, x offset, y factor, y offset.
    constexpr lintraf11(double ax, double bx, double ay, double by) : x(ax, bx), y(ay, by) {}
    // One factor for both axes.
    constexpr lintraf11(double a, double bx, double by) : x(a, bx), y(a, by) {}

    vector2<double> traf(double px, double py) const { return {x.traf(px), y.traf(py)}; }
    vector2<double> traf(const vector2<double>& p) const { return traf(p.x, p.y); }
    lintraf11 Inv() const { return {x.Inv(), y.Inv()}; }
    // This map first, then q.
    lintraf11 operator*(const lintraf11& q) const { return {x * q.x, y * q.y}; }
};

// y -> c - y: between top-down window rows and bottom-up bitmap rows.
inline lintraf11 lintraf11Mirror(double c) { return {lintraf1(1, 0), lintraf1(-1, c)}; }

// A picture of width a and height v into a window of width b and height u:
// fit by height, centred across.
inline lintraf11 lintraf11FitCentred(double a, double v, double b, double u) {
    double f = u / v;
    return {lintraf1(f, (b - f * a) / 2), lintraf1(f, 0)};
}

// The same with the axes exchanged: fit by width, centred vertically.
inline lintraf11 lintraf11FitCentredSwapped(double v, double a, double u, double b) {
    double f = u / v;
    return {lintraf1(f, 0), lintraf1(f, (b - f * a) / 2)};
}

// The rectangle's right and bottom serve as its width and height, which
// holds for client rectangles (left = top = 0).
template <class Rect>
inline lintraf11 lintraf11FromRects(const Rect& r, int a, int b, int c, int d) {
    return {lintraf1::originExtent(r.left, r.right, a, b), lintraf1::originExtent(r.top, r.bottom, c, d)};
}

}  // namespace fnd
