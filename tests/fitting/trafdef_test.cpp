// Point-set fits: resampling, pairing, weights, combining and direction.

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "fitting/trafdef.h"
#include "tests/support/fakes.h"

namespace {

using V2 = vector2<double>;
using V3 = vector3<double>;

template <class P>
fnd::vector<P> pts(std::initializer_list<P> l) {
    fnd::vector<P> v;
    for (const P& p : l) v.add(p);
    return v;
}

fnd::vector<double> ws(std::initializer_list<double> l) { return pts<double>(l); }

template <class F>
void expectAllFinite(const F& f) {
    for (int i = 0; i < f.from.size(); ++i) {
        EXPECT_TRUE(std::isfinite(f.weights[i])) << i;
        EXPECT_TRUE(std::isfinite(f.from[i].x) && std::isfinite(f.from[i].y)) << i;
        EXPECT_TRUE(std::isfinite(f.to[i].x) && std::isfinite(f.to[i].y)) << i;
    }
}

struct Pair {
    V2 from, to;
    double weight;
};

void expectPairs(const trafdef22& f, std::initializer_list<Pair> expected) {
    ASSERT_EQ(f.from.size(), int(expected.size()));
    ASSERT_EQ(f.to.size(), int(expected.size()));
    ASSERT_EQ(f.weights.size(), int(expected.size()));
    int i = 0;
    for (const Pair& p : expected) {
        EXPECT_NEAR(f.from[i].x, p.from.x, 1e-12) << "pair " << i;
        EXPECT_NEAR(f.from[i].y, p.from.y, 1e-12) << "pair " << i;
        EXPECT_NEAR(f.to[i].x, p.to.x, 1e-12) << "pair " << i;
        EXPECT_NEAR(f.to[i].y, p.to.y, 1e-12) << "pair " << i;
        EXPECT_NEAR(f.weights[i], p.weight, 1e-12) << "pair " << i;
        ++i;
    }
}

TEST(Trafdef22, ResamplingCases) {
    struct Case {
        const char* name;
        fnd::vector<V2> from, to;
        fnd::vector<double> weights;
        bool arcLength;
        double step;
        std::initializer_list<Pair> expected;
    };
    const Case cases[] = {
        {"step 999999 keeps the given pairs and weights",
         pts<V2>({{0, 0}, {7, 1}, {9, 4}}), pts<V2>({{1, 1}, {2, 2}, {3, 3}}), ws({2, 3, 4}), true, 999999.0,
         {{{0, 0}, {1, 1}, 2}, {{7, 1}, {2, 2}, 3}, {{9, 4}, {3, 3}, 4}}},
        {"step 999999 without weights weighs 1",
         pts<V2>({{0, 0}, {7, 1}}), pts<V2>({{1, 1}, {2, 2}}), ws({}), false, 1e7,
         {{{0, 0}, {1, 1}, 1}, {{7, 1}, {2, 2}, 1}}},
        {"too few weights: the missing ones weigh 1",
         pts<V2>({{0, 0}, {7, 1}, {9, 4}}), pts<V2>({{1, 1}, {2, 2}, {3, 3}}), ws({5}), false, 999999.0,
         {{{0, 0}, {1, 1}, 5}, {{7, 1}, {2, 2}, 1}, {{9, 4}, {3, 3}, 1}}},
        {"one point is one pair of weight 1",
         pts<V2>({{4, 5}}), pts<V2>({{6, 7}}), ws({9}), true, 3.0, {{{4, 5}, {6, 7}, 1}}},
        // N = 2, K = 2 + 2 + 3 - 3 = 4: 0, the target's 0.3, the uniform 0.5, 1.
        {"arc length, 2-point source onto 3-point target",
         pts<V2>({{0, 0}, {6, 0}}), pts<V2>({{0, 10}, {3, 10}, {10, 10}}), ws({}), true, 3.0,
         {{{0, 0}, {0, 10}, 0.9}, {{1.8, 0}, {3, 10}, 1.5}, {{3, 0}, {5, 10}, 2.1}, {{6, 0}, {10, 10}, 1.5}}},
        // The middle target point half-way: 0.5 twice, the uniform one first.
        {"arc length, 0.5 twice",
         pts<V2>({{0, 0}, {6, 0}}), pts<V2>({{0, 10}, {5, 10}, {10, 10}}), ws({}), true, 3.0,
         {{{0, 0}, {0, 10}, 1.5}, {{3, 0}, {5, 10}, 1.5}, {{3, 0}, {5, 10}, 1.5}, {{6, 0}, {10, 10}, 1.5}}},
        // c = floor(6 / 3) + 1 = 3 samples and the last; vertex weights 1
        // doubled at the ends, D = 5.
        {"vertex pairing subdivides each segment",
         pts<V2>({{0, 0}, {6, 0}}), pts<V2>({{0, 3}, {3, 3}}), ws({}), false, 3.0,
         {{{0, 0}, {0, 3}, 0.6}, {{2, 0}, {1, 3}, 1.2}, {{4, 0}, {2, 3}, 1.2}, {{6, 0}, {3, 3}, 0.6}}},
        // A source shorter than one step still has one uniform interval: the
        // first and last samples keep their own places.
        {"source shorter than 3 pixels",
         pts<V2>({{0, 0}, {2, 0}}), pts<V2>({{0, 5}, {8, 5}}), ws({}), true, 3.0,
         {{{0, 0}, {0, 5}, 1}, {{2, 0}, {8, 5}, 1}}},
        {"source shorter than 3 pixels onto a 3-point target",
         pts<V2>({{0, 0}, {2, 0}}), pts<V2>({{0, 5}, {2, 5}, {8, 5}}), ws({}), true, 3.0,
         {{{0, 0}, {0, 5}, 0.25}, {{0.5, 0}, {2, 5}, 1}, {{2, 0}, {8, 5}, 0.75}}},
        // Zero-length features: parametrised by vertex number, weights 0 by
        // length, nothing divided by zero.
        {"zero-length source",
         pts<V2>({{5, 5}, {5, 5}, {5, 5}}), pts<V2>({{0, 0}, {4, 0}, {10, 0}}), ws({}), true, 3.0,
         {{{5, 5}, {0, 0}, 0}, {{5, 5}, {4, 0}, 0}, {{5, 5}, {5, 0}, 0}, {{5, 5}, {10, 0}, 0}}},
        {"zero-length target",
         pts<V2>({{0, 0}, {6, 0}}), pts<V2>({{2, 2}, {2, 2}}), ws({}), true, 3.0,
         {{{0, 0}, {2, 2}, 1.5}, {{3, 0}, {2, 2}, 3}, {{6, 0}, {2, 2}, 1.5}}},
        {"one-point target",
         pts<V2>({{0, 0}, {6, 0}}), pts<V2>({{2, 2}}), ws({}), true, 3.0,
         {{{0, 0}, {2, 2}, 1.5}, {{3, 0}, {2, 2}, 3}, {{6, 0}, {2, 2}, 1.5}}},
        // Vertex pairing needs a target vertex per source vertex; with fewer,
        // the pairing goes by arc length rather than past the target's end.
        {"vertex pairing with a shorter target",
         pts<V2>({{0, 0}, {3, 0}, {6, 0}}), pts<V2>({{0, 1}, {6, 1}}), ws({}), false, 3.0,
         {{{0, 0}, {0, 1}, 0.75}, {{3, 0}, {3, 1}, 1.5}, {{3, 0}, {3, 1}, 1.5}, {{6, 0}, {6, 1}, 0.75}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        trafdef22 f(c.from, c.to, c.weights, c.arcLength, true, 0.5, c.step);
        expectPairs(f, c.expected);
        expectAllFinite(f);
    }
}

// Repeated points (zero-length segments) anywhere in a line.
TEST(Trafdef22, RepeatedPointsResampleCleanly) {
    const fnd::vector<V2> from = pts<V2>({{0, 0}, {0, 0}, {6, 0}, {6, 0}, {6, 0}, {9, 0}});
    const fnd::vector<V2> to = pts<V2>({{0, 1}, {1, 1}, {1, 1}, {5, 1}, {9, 1}, {9, 1}});
    for (bool arcLength : {true, false}) {
        SCOPED_TRACE(arcLength);
        trafdef22 f(from, to, ws({}), arcLength, true, 0.5, 3.0);
        expectAllFinite(f);
        EXPECT_DOUBLE_EQ(f.length, 9.0);
        for (int i = 1; i < f.from.size(); ++i) EXPECT_GE(f.from[i].x, f.from[i - 1].x);
        EXPECT_EQ(f.from[f.from.size() - 1], V2(9, 0));
        EXPECT_EQ(f.to[f.to.size() - 1], V2(9, 1));
    }
}

TEST(Trafdef22, KeepLengthAndWeightByLength) {
    trafdef22 kept(pts<V2>({{0, 0}, {3, 4}, {3, 10}}), pts<V2>({{0, 0}, {1, 1}, {2, 2}}), ws({}), true, true, 0.5, 3.0);
    EXPECT_DOUBLE_EQ(kept.length, 11.0);
    trafdef22 given(pts<V2>({{0, 0}, {3, 4}}), pts<V2>({{0, 0}, {1, 1}}), ws({}), true, false, 0.25, 3.0);
    EXPECT_DOUBLE_EQ(given.length, 0.25);
    given.weight_by_length();
    EXPECT_TRUE(given.keepLength);
    EXPECT_NEAR(given.length, 5.0, 1e-12);
}

TEST(Trafdef22, CombiningWeighsByLength) {
    fnd::vector<trafdef22> parts;
    parts.add(trafdef22(pts<V2>({{0, 0}, {30, 0}}), pts<V2>({{0, 1}, {30, 1}}), ws({}), true, true, 0.5, 3.0));
    parts.add(trafdef22(pts<V2>({{0, 5}, {0, 15}}), pts<V2>({{1, 5}, {1, 15}}), ws({}), true, true, 0.5, 3.0));
    const int n0 = parts[0].from.size(), n1 = parts[1].from.size();
    for (bool byLength : {true, false}) {
        trafdef22 all(parts, byLength);
        ASSERT_EQ(all.from.size(), n0 + n1);
        double s0 = 0, s1 = 0;
        for (int i = 0; i < n0; ++i) s0 += all.weights[i];
        for (int i = n0; i < n0 + n1; ++i) s1 += all.weights[i];
        EXPECT_NEAR(s0, 0.75, 1e-12);
        EXPECT_NEAR(s1, 0.25, 1e-12);
        EXPECT_DOUBLE_EQ(all.length, 40.0);
        EXPECT_FALSE(all.arcLengthPairing);
        EXPECT_EQ(all.step, 1000000.0);
        EXPECT_EQ(all.from[n0], parts[1].from[0]);
        EXPECT_EQ(all.to[n0 + n1 - 1], parts[1].to[n1 - 1]);
    }
    // A part whose weights sum to 0 adds its pairs with weight 0.
    parts.add(trafdef22(pts<V2>({{2, 2}, {2, 2}}), pts<V2>({{3, 3}, {4, 4}}), ws({}), true, true, 0.5, 3.0));
    trafdef22 all(parts, true);
    for (int i = n0 + n1; i < all.weights.size(); ++i) EXPECT_EQ(all.weights[i], 0.0);
    trafdef22 none(fnd::vector<trafdef22>(), true);
    EXPECT_EQ(none.from.size(), 0);
    EXPECT_EQ(none.length, 0.5);
    EXPECT_TRUE(none.projection44 == trafdef22().projection44);
}

TEST(Trafdef22, DifferentCamerasDoNotCombine) {
    htraf3<double> a(I44), b(I44);
    b.m[12] = 1e-9;
    fnd::vector<trafdef22> parts;
    parts.add(trafdef22(pts<V2>({{0, 0}, {3, 0}}), pts<V2>({{0, 1}, {3, 1}}), ws({}), true, true, 0.5, 3.0, a));
    parts.add(trafdef22(pts<V2>({{0, 0}, {3, 0}}), pts<V2>({{0, 1}, {3, 1}}), ws({}), true, true, 0.5, 3.0, b));
    EXPECT_EQ(trafdef22(parts, true).from.size(), 0);
    parts[1].setProjection(a);
    EXPECT_GT(trafdef22(parts, true).from.size(), 0);

    fnd::vector<trafdef32> parts32;
    parts32.add(trafdef32(pts<V3>({{0, 0, 0}, {3, 0, 0}}), pts<V2>({{0, 1}, {3, 1}}), ws({}), true, true, 0.5, 3.0, a));
    parts32.add(trafdef32(pts<V3>({{0, 0, 0}, {3, 0, 0}}), pts<V2>({{0, 1}, {3, 1}}), ws({}), true, true, 0.5, 3.0, b));
    EXPECT_EQ(trafdef32(parts32, true).from.size(), 0);
}

TEST(Trafdef22, CorrectDirection) {
    struct Case {
        const char* name;
        fnd::vector<V2> from, to;
        bool reversed;
    };
    const Case cases[] = {
        {"opposite", pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{10, 1}, {5, 1}, {0, 1}}), true},
        {"about 124 degrees", pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{0, 0}, {-1, 1.5}}), true},
        {"about 119 degrees", pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{0, 0}, {-1, 1.8}}), false},
        {"right angle", pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{0, 0}, {0, 3}}), false},
        {"same way", pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{0, 1}, {10, 1}}), false},
        {"target of length 0", pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{4, 4}, {5, 5}, {4, 4}}), false},
        {"source of length 0", pts<V2>({{1, 1}, {1, 1}}), pts<V2>({{10, 1}, {0, 1}}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        trafdef22 f(c.from, c.to, ws({}), true, true, 0.5, 999999.0);
        fnd::vector<V2> before = f.to;
        correctDirection(f);
        for (int i = 0; i < before.size(); ++i)
            EXPECT_EQ(f.to[i], c.reversed ? before[before.size() - 1 - i] : before[i]) << i;
    }
    // Empty lists are left alone.
    trafdef22 empty;
    correctDirection(empty);
    EXPECT_EQ(empty.to.size(), 0);
    // The list form turns each element.
    fnd::vector<trafdef22> list;
    list.add(trafdef22(pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{10, 1}, {0, 1}}), ws({}), true, true, 0.5, 999999.0));
    list.add(trafdef22(pts<V2>({{0, 0}, {10, 0}}), pts<V2>({{0, 1}, {10, 1}}), ws({}), true, true, 0.5, 999999.0));
    correctDirection(list);
    EXPECT_EQ(list[0].to[0], V2(0, 1));
    EXPECT_EQ(list[1].to[0], V2(0, 1));
}

// The 3D side is compared through the camera: a camera that mirrors x makes
// a source running towards +x run towards -x in the image.
TEST(Trafdef32, DirectionAndLengthsThroughTheCamera) {
    htraf3<double> mirror(matrix33<double>(-10, 0, 0, 0, 10, 0, 0, 0, 1), V3(500, 0, 0));
    trafdef32 f(pts<V3>({{0, 0, 0}, {1, 0, 0}}), pts<V2>({{100, 5}, {110, 5}}), ws({}), true, true, 0.5, 999999.0,
                mirror);
    correctDirection(f);
    EXPECT_EQ(f.to[0], V2(110, 5));
    // Subdividing counts samples by the image size: a segment of 1 unit is
    // 10 pixels there, floor(10 / 3) + 1 = 4 samples and the last.
    trafdef32 g(pts<V3>({{0, 0, 0}, {1, 0, 0}}), pts<V2>({{0, 0}, {10, 0}}), ws({}), false, true, 0.5, 3.0, mirror);
    EXPECT_EQ(g.from.size(), 5);
    EXPECT_NEAR(g.length, 10.0, 1e-12);
    g.weight_by_length();
    EXPECT_NEAR(g.length, 10.0, 1e-12);
    // Resampling by arc length measures the source in 3D: 1 unit, N = 1.
    trafdef32 h(pts<V3>({{0, 0, 0}, {1, 0, 0}}), pts<V2>({{0, 0}, {10, 0}}), ws({}), true, true, 0.5, 3.0, mirror);
    EXPECT_EQ(h.from.size(), 2);
    EXPECT_NEAR(h.length, 1.0, 1e-12);

    trafdef23 k(pts<V2>({{0, 0}, {10, 0}}), pts<V3>({{1, 0, 0}, {0, 0, 0}}), ws({}), true, true, 0.5, 999999.0, mirror);
    correctDirection(k);  // the 3D target runs +x on the photo after mirroring
    EXPECT_EQ(k.to[0], V3(1, 0, 0));
    trafdef33 m(pts<V3>({{0, 0, 0}, {0, 3, 4}}), pts<V3>({{0, 0, 0}, {1, 1, 1}}), ws({}), true, true, 0.5, 3.0);
    EXPECT_NEAR(m.length, 5.0, 1e-12);
}

// A default fit never asks a view; the main constructor uses the camera it
// is given, and htrafOf2D3DViewBmp is the overlay view's projection followed
// by its client-to-photo map.
TEST(Trafdef22, CameraComesOnlyFromTheCaller) {
    fakes::FakeViewEdit2D3D view;
    view.openGL2htraf = htraf3<double>(matrix33<double>(2, 0, 0, 0, 2, 0, 0, 0, 2), V3(1, 2, 3));
    view.cl2bmp = htraf3<double>(matrix33<double>(0.5, 0, 0, 0, 0.5, 0, 0, 0, 1), V3(-1, -1, 0));
    fakes::FakeDocument doc;
    doc.views["ViewEdit2D3D"] = &view;
    svc::setDocument(&doc);
    trafdef22 f;
    fnd::vector<trafdef22> list(3);
    EXPECT_TRUE(f.projection == htraf3<double>(I44));
    EXPECT_TRUE(list[2].projection == htraf3<double>(I44));
    EXPECT_TRUE(doc.viewRequests.empty());
    EXPECT_EQ(f.from.size(), 0);
    EXPECT_EQ(f.length, 0.5);
    EXPECT_EQ(f.step, 3.0);
    EXPECT_FALSE(f.arcLengthPairing);
    EXPECT_FALSE(f.keepLength);

    htraf3<double> h = htrafOf2D3DViewBmp();
    V3 p = (V3(1, 1, 1) * h).vec3();
    EXPECT_EQ(p, V3(0.5, 1, 5));
    fnd::vector<V2> out;
    traf32(&out, pts<V3>({{1, 1, 1}, {0, 0, 0}}), h);
    ASSERT_EQ(out.size(), 2);
    EXPECT_EQ(out[0], V2(0.5, 1));
    EXPECT_EQ(out[1], V2(-0.5, 0));
    svc::setDocument(nullptr);
}

TEST(Trafdef22, Traf32DividesByW) {
    htraf3<double> persp(matrix44<double>(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0.5, 0, 0, 0, 1));
    fnd::vector<V2> out;
    traf32(&out, pts<V3>({{4, 6, 2}}), persp);  // w = 1 + 0.5 * 2
    ASSERT_EQ(out.size(), 1);
    EXPECT_EQ(out[0], V2(2, 3));
}

}  // namespace
