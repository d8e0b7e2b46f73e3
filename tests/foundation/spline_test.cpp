#include "foundation/spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using fnd::dynarray;
using fnd::spline2D;
using fnd::spline3D;
using fnd::vector2;
using fnd::vector3;

namespace {

dynarray<vector2<double>> points2(const std::vector<vector2<double>>& v) {
    dynarray<vector2<double>> d;
    for (const auto& p : v) d.add(p);
    return d;
}

dynarray<vector3<double>> points3(const std::vector<vector3<double>>& v) {
    dynarray<vector3<double>> d;
    for (const auto& p : v) d.add(p);
    return d;
}

std::unique_ptr<spline2D> make2(int type, const std::vector<vector2<double>>& pts, char mode = 0) {
    std::unique_ptr<spline2D> s(fnd::spline2DOfType(type));
    s->Init(points2(pts), mode);
    return s;
}

// Numerical derivative of the curve at global t, from one side.
vector2<double> slope(const spline2D& s, double t, double h) {
    return {(s.x(t + h) - s.x(t)) / h, (s.y(t + h) - s.y(t)) / h};
}

}  // namespace

TEST(Spline, KindsByType) {
    std::unique_ptr<spline2D> lin(fnd::spline2DOfType(1)), cub(fnd::spline2DOfType(3)), plain(fnd::spline2DOfType(0));
    EXPECT_NE(dynamic_cast<fnd::spline2DLinear*>(lin.get()), nullptr);
    EXPECT_NE(dynamic_cast<fnd::spline2DCubic*>(cub.get()), nullptr);
    EXPECT_EQ(dynamic_cast<fnd::spline2DLinear*>(plain.get()), nullptr);
    std::unique_ptr<spline3D> c3(fnd::spline3DOfType(3));
    EXPECT_NE(dynamic_cast<fnd::spline3DCubic*>(c3.get()), nullptr);
}

TEST(Spline, OnePoint) {
    for (int type : {0, 1, 3}) {
        auto s = make2(type, {{2, 3}});
        EXPECT_EQ(s->n, 0);
        EXPECT_EQ(s->computed, 1);
        for (double t : {-1.0, 0.0, 0.5, 7.0}) {
            EXPECT_EQ(s->x(t), 2);
            EXPECT_EQ(s->y(t), 3);
        }
        EXPECT_EQ(s->length(0.0, 1.0), 0);
    }
}

TEST(Spline, TwoPointOpenCubic) {
    auto s = make2(3, {{0, 0}, {4, 3}});
    EXPECT_DOUBLE_EQ(s->x(0.5), 2);
    EXPECT_DOUBLE_EQ(s->y(0.5), 1.5);
    EXPECT_NEAR(s->length(0.0, 1.0), 5.0, 1e-9);
    // Zero speed at both ends.
    EXPECT_NEAR(slope(*s, 0, 1e-6).length(), 0, 1e-4);
    EXPECT_NEAR(slope(*s, 1 - 1e-6, 1e-6).length(), 0, 1e-4);
}

TEST(Spline, EndParameterUsesTheLastSegment) {
    // t = n lies in the domain: it gives the last point, for every kind.
    for (int type : {0, 1, 3}) {
        auto s = make2(type, {{0, 0}, {1, 2}, {3, 3}});
        EXPECT_EQ(s->x(2.0), 3) << type;
        EXPECT_EQ(s->y(2.0), 3) << type;
        if (type != 3) EXPECT_EQ(s->x(1.5), type == 0 ? 1 : 2) << "inside the last segment";
        EXPECT_NEAR(s->x(9.0), s->x(2.0), 1e-12) << "clamped";
        EXPECT_NEAR(s->x(-3.0), 0, 1e-12);
    }
    std::unique_ptr<spline3D> s3(fnd::spline3DOfType(3));
    s3->Init(points3({{0, 0, 0}, {1, 1, 1}, {2, 0, 5}}), 0);
    vector3<double> end = s3->xyz(2.0);
    EXPECT_NEAR(end.z, 5, 1e-12);
    std::unique_ptr<spline3D> plain3(fnd::spline3DOfType(0));
    plain3->Init(points3({{0, 0, 0}, {1, 1, 1}, {2, 0, 5}}), 0);
    EXPECT_EQ(plain3->xyz(2.0), vector3<double>(2, 0, 5));
    EXPECT_EQ(plain3->xyz(1.9), vector3<double>(1, 1, 1));
}

TEST(Spline, CollinearPointsStayOnTheLine) {
    auto s = make2(3, {{0, 0}, {1, 1}, {2, 2}, {3, 3}});
    for (double t = 0; t <= 3; t += 0.05) {
        EXPECT_NEAR(s->x(t), s->y(t), 1e-12) << t;
        if (t > 0) {
            EXPECT_GE(s->x(t), s->x(t - 0.05) - 1e-12) << "monotone";
        }
    }
    EXPECT_NEAR(s->length(0.0, 3.0), 3 * std::sqrt(2.0), 1e-9);
    auto l = make2(1, {{0, 0}, {3, 4}, {3, 10}});
    EXPECT_DOUBLE_EQ(l->length(0.0, 2.0), 11);
    EXPECT_DOUBLE_EQ(l->length(0.5, 1.5), 5.5);
    EXPECT_DOUBLE_EQ(l->x(0.5), 1.5);
}

TEST(Spline, Weighting) {
    auto s = make2(1, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}});
    struct Case {
        double t;
        int segment;
        double w;
    } cases[] = {{2.25, 2, 0.75}, {4, 3, 0}, {5, 3, 0}, {0, 0, 1}, {-1, 0, 1}, {0.5, 0, 0.5}, {3.999, 3, 0.001}};
    for (const auto& c : cases) {
        int seg = -9;
        double w = -9;
        s->weighting(c.t, seg, w);
        EXPECT_EQ(seg, c.segment) << c.t;
        EXPECT_NEAR(w, c.w, 1e-12) << c.t;
    }
    auto one = make2(1, {{1, 1}});
    int seg;
    double w;
    one->weighting(0.7, seg, w);
    EXPECT_EQ(seg, 0);
    EXPECT_EQ(w, 1);
}

TEST(Spline, ClosedSquareIsSymmetricAndSmooth) {
    auto s = make2(3, {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 1);
    // A quarter turn about the centre maps each segment onto the next.
    for (double t = 0; t < 3; t += 0.125) {
        double rx = 1 - (s->y(t) - 0.5) - 0.5, ry = (s->x(t) - 0.5) + 0.5;
        EXPECT_NEAR(s->x(t + 1), rx, 1e-9) << t;
        EXPECT_NEAR(s->y(t + 1), ry, 1e-9) << t;
    }
    // Through every point, and the same tangent on both sides of the seam.
    for (int i = 0; i <= 4; ++i) {
        EXPECT_NEAR(s->x(static_cast<double>(i)), s->px[i], 1e-12);
        EXPECT_NEAR(s->y(static_cast<double>(i)), s->py[i], 1e-12);
    }
    vector2<double> atEnd = slope(*s, 4 - 1e-7, 1e-7), atStart = slope(*s, 0, 1e-7);
    EXPECT_NEAR(atEnd.x, atStart.x, 1e-5);
    EXPECT_NEAR(atEnd.y, atStart.y, 1e-5);
    EXPECT_GT(atStart.length(), 0.1);
    // Smooth at an inner corner too.
    vector2<double> before = slope(*s, 2 - 1e-7, 1e-7), after = slope(*s, 2, 1e-7);
    EXPECT_NEAR(before.x * after.y - before.y * after.x, 0, 1e-5);
    EXPECT_GT(before * after, 0);
}

TEST(Spline, LengthsAddUpOverASplit) {
    auto s = make2(3, {{0, 0}, {2, 1}, {3, 4}, {1, 6}, {-2, 5}});
    double whole = s->length(0.0, 4.0);
    for (double cut : {0.3, 1.0, 2.71, 3.5}) {
        EXPECT_NEAR(s->length(0.0, cut) + s->length(cut, 4.0), whole, 1e-6 * whole) << cut;
    }
    EXPECT_NEAR(s->length(-5.0, 9.0), whole, 1e-12) << "clamped to the curve";
    EXPECT_EQ(s->length(2.0, 2.0), 0);
    EXPECT_EQ(s->length(3.0, 1.0), 0);
    EXPECT_EQ(s->length(5.0, 6.0), 0) << "both beyond the end";
    // Chord lengths bound the arc from below.
    double chords = std::hypot(2, 1) + std::hypot(1, 3) + std::hypot(2, 2) + std::hypot(3, 1);
    EXPECT_GE(whole, chords - 1e-9);
    EXPECT_LT(whole, 1.2 * chords);
}

TEST(Spline, ResetAndRecompute) {
    std::unique_ptr<spline2D> s(fnd::spline2DOfType(3));
    s->setSize(2);
    s->px = {0, 1, 2};
    s->py = {0, 1, 0};
    s->computeOnce(0);
    double mid = s->y(1.0);
    EXPECT_NEAR(mid, 1, 1e-12);
    s->py[1] = 5;
    s->computeOnce(0);
    EXPECT_NEAR(s->y(0.5), std::unique_ptr<spline2D>(make2(3, {{0, 0}, {1, 1}, {2, 0}}))->y(0.5), 1e-12)
        << "computed once only";
    s->reset();
    EXPECT_EQ(s->n, 0);
    EXPECT_EQ(s->computed, 0);
    EXPECT_EQ(s->x(0.5), 0) << "an empty curve";
    s->setSize(-2);
    EXPECT_EQ(s->n, 0);
}

TEST(Spline, Cubic3DMatches2DInAPlane) {
    std::vector<vector2<double>> p2 = {{0, 0}, {1, 2}, {3, 1}, {4, 4}};
    std::vector<vector3<double>> p3;
    for (auto& p : p2) p3.push_back({p.x, p.y, 0});
    auto s2 = make2(3, p2);
    std::unique_ptr<spline3D> s3(fnd::spline3DOfType(3));
    s3->Init(points3(p3), 0);
    for (double t = 0; t <= 3; t += 0.1) {
        EXPECT_NEAR(s3->x(t), s2->x(t), 1e-12);
        EXPECT_NEAR(s3->y(t), s2->y(t), 1e-12);
        EXPECT_EQ(s3->z(t), 0);
    }
    EXPECT_NEAR(s3->length(0.0, 3.0), s2->length(0.0, 3.0), 1e-12);
}
