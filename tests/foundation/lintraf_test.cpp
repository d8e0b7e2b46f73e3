#include "foundation/lintraf.h"

#include <gtest/gtest.h>

#include "foundation/use.h"

namespace {

using fnd::lintraf1;
using fnd::lintraf11;

void expectNear(const vector2<double>& a, const vector2<double>& b) {
    EXPECT_NEAR(a.x, b.x, 1e-12);
    EXPECT_NEAR(a.y, b.y, 1e-12);
}

struct Rect {
    int left, top, right, bottom;
};

TEST(Lintraf1, Constructions) {
    struct Case { lintraf1 map; double in, out; } cases[] = {
        {lintraf1::interval(2, 6), 0, 2},
        {lintraf1::interval(2, 6), 1, 6},
        {lintraf1::intervals(10, 20, 0, 1), 15, 0.5},
        {lintraf1::intervals(10, 20, 100, 300), 20, 300},
        {lintraf1::originExtent(10, 5, 1, 2), 12.5, 2},  // 1 + 2 (12.5 - 10) / 5
        {lintraf1::centring(0, 10, 0, 100, 4), 0, 30},   // (100 - 40) / 2
        {lintraf1::centring(0, 10, 0, 100, 4), 10, 70},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.map.traf(c.in), c.out);
}

TEST(Lintraf1, CompositionOrderAndInverse) {
    lintraf1 p(2, 1), q(3, -5);
    EXPECT_DOUBLE_EQ((p * q).traf(4), q.traf(p.traf(4)));  // p first
    EXPECT_DOUBLE_EQ((p * q).a, 6);
    EXPECT_DOUBLE_EQ((p * q).b, -2);
    lintraf1 id = p * p.Inv();
    EXPECT_DOUBLE_EQ(id.a, 1);
    EXPECT_DOUBLE_EQ(id.b, 0);
}

TEST(Lintraf11, FitCentred) {
    lintraf11 t = fnd::lintraf11FitCentred(200, 100, 400, 400);
    EXPECT_DOUBLE_EQ(t.x.a, 4);
    EXPECT_DOUBLE_EQ(t.y.a, 4);
    EXPECT_DOUBLE_EQ(t.y.b, 0);
    EXPECT_DOUBLE_EQ(t.x.b, -200);

    lintraf11 s = fnd::lintraf11FitCentredSwapped(100, 200, 400, 400);
    EXPECT_DOUBLE_EQ(s.x.a, 4);
    EXPECT_DOUBLE_EQ(s.y.a, 4);
    EXPECT_DOUBLE_EQ(s.x.b, 0);
    EXPECT_DOUBLE_EQ(s.y.b, -200);
}

TEST(Lintraf11, FourValuesInStoredOrderAndOneFactor) {
    // x factor, x offset, y factor, y offset.
    lintraf11 id(1, 0, 1, 0);
    EXPECT_EQ(id.traf(3, 4), vector2<double>(3, 4));
    lintraf11 t(2, -3, 5, 7);
    EXPECT_DOUBLE_EQ(t.x.a, 2);
    EXPECT_DOUBLE_EQ(t.x.b, -3);
    EXPECT_DOUBLE_EQ(t.y.a, 5);
    EXPECT_DOUBLE_EQ(t.y.b, 7);
    EXPECT_EQ(t.traf(1, 1), vector2<double>(-1, 12));
    // Factor, x offset, y offset: one factor for both axes.
    lintraf11 z(2, 10, -3);
    EXPECT_EQ(z.traf(3, 4), vector2<double>(16, 5));
    EXPECT_EQ(z.Inv().traf(16, 5), vector2<double>(3, 4));
}

TEST(Lintraf11, InverseMirrorRects) {
    lintraf11 t(2, 5, -3, 7);
    EXPECT_EQ(t.traf(1, 1), vector2<double>(7, 4));
    lintraf11 id = t * t.Inv();
    for (const lintraf1& axis : {id.x, id.y}) {
        EXPECT_DOUBLE_EQ(axis.a, 1);
        EXPECT_NEAR(axis.b, 0, 1e-12);
    }
    vector2<double> p(3.5, -2);
    expectNear((t * t.Inv()).traf(p), p);
    expectNear((t.Inv() * t).traf(p), p);
    expectNear((t * fnd::lintraf11Mirror(10)).traf(p), vector2<double>(12, 10 - 13));  // t first

    lintraf11 m = fnd::lintraf11Mirror(480);
    EXPECT_EQ(m.traf(7, 0), vector2<double>(7, 480));
    EXPECT_EQ(m.traf(7, 480), vector2<double>(7, 0));

    lintraf11 r = fnd::lintraf11FromRects(Rect{0, 0, 640, 480}, 0, 100, 0, 50);
    EXPECT_EQ(r.traf(320, 240), vector2<double>(50, 25));
    EXPECT_EQ(r.traf(640, 480), vector2<double>(100, 50));
}

}  // namespace
