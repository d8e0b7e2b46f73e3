#pragma once
// Curves through the points of a feature line: a polyline (linear) or a chain
// of cubic Hermite segments (cubic). A curve of n segments has n + 1 points
// and is evaluated at a global parameter t in [0, n]: segment floor(t) at the
// local parameter u = t - floor(t); t = n gives the last point itself (the
// plain curve too, whose segments hold their start point). Parameters
// outside [0, n] are clamped to it.
//
// Usage: s->setSize(n), fill px/py (pz) directly, s->computeOnce(mode); or
// Init(points, mode). mode & 3 nonzero makes a closed cubic (the last point
// repeating the first); 0 an open one.

#include <vector>

#include "foundation/dynarray.h"
#include "foundation/vecmath.h"

namespace fnd {

class spline {
public:
    spline() = default;
    spline(const spline&) = default;
    spline& operator=(const spline&) = default;
    virtual void setSize(int n);
    virtual void compute(char mode);
    virtual void reset();
    // Arc length of segment i between two local parameters.
    virtual double length(int i, double u0, double u1) const;
    virtual ~spline() = default;

    // compute(mode) unless done since the last reset; n = 0 needs nothing.
    void computeOnce(char mode);
    // Arc length between two global parameters.
    double length(double t0, double t1) const;
    // The segment of t and the weight of its start point.
    void weighting(double t, int& segment, double& w) const;

    int computed = 0;
    int n = 0;  // segments

protected:
    // Segment and local parameter of t, clamped to the curve.
    void locate(double t, int& segment, double& u) const;
    // One coordinate at t: 0 without points, the point itself without
    // segments, the last point from t = n on, else segmentAt(i, u).
    template <class SegmentAt>
    double at(const std::vector<double>& points, double t, SegmentAt segmentAt) const {
        if (points.empty()) return 0;
        if (n == 0) return points[0];
        if (t >= n) return points[n];
        int i;
        double u;
        locate(t, i, u);
        return segmentAt(i, u);
    }
};

class spline2D : public spline {
public:
    void setSize(int n) override;
    void reset() override;
    // The plain curve is its points: x(i, u) = px[i].
    virtual double x(int i, double u) const;
    virtual double y(int i, double u) const;

    double x(double t) const;
    double y(double t) const;
    void Init(const dynarray<vector2<double>>& points, char mode);

    std::vector<double> px, py;  // the n + 1 points
};

class spline3D : public spline2D {
public:
    void setSize(int n) override;
    void reset() override;
    virtual double z(int i, double u) const;

    using spline2D::x;
    using spline2D::y;
    double z(double t) const;
    vector3<double> xyz(double t) const;
    void Init(const dynarray<vector3<double>>& points, char mode);

    std::vector<double> pz;
};

class spline2DLinear : public spline2D {
public:
    void compute(char mode) override;
    void reset() override;
    double length(int i, double u0, double u1) const override;
    double x(int i, double u) const override;
    double y(int i, double u) const override;
    using spline::length;
    using spline2D::x;
    using spline2D::y;

    std::vector<double> bx, by;  // per segment
};

class spline3DLinear : public spline3D {
public:
    void compute(char mode) override;
    void reset() override;
    double length(int i, double u0, double u1) const override;
    double x(int i, double u) const override;
    double y(int i, double u) const override;
    double z(int i, double u) const override;
    using spline::length;
    using spline3D::x;
    using spline3D::y;
    using spline3D::z;

    std::vector<double> bx, by, bz;
};

class spline2DCubic : public spline2DLinear {
public:
    void compute(char mode) override;
    void reset() override;
    double length(int i, double u0, double u1) const override;
    double x(int i, double u) const override;
    double y(int i, double u) const override;
    using spline::length;
    using spline2D::x;
    using spline2D::y;

    std::vector<double> cx, cy, dx, dy;
};

class spline3DCubic : public spline3DLinear {
public:
    void compute(char mode) override;
    void reset() override;
    double length(int i, double u0, double u1) const override;
    double x(int i, double u) const override;
    double y(int i, double u) const override;
    double z(int i, double u) const override;
    using spline::length;
    using spline3D::x;
    using spline3D::y;
    using spline3D::z;

    std::vector<double> cx, cy, cz, dx, dy, dz;
};

// A new curve of the given type (1 linear, 3 cubic, else plain), owned by
// the caller.
spline2D* spline2DOfType(int splineType);
spline3D* spline3DOfType(int splineType);

}  // namespace fnd
