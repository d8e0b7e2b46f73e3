#include "fitting/warp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "model/head.h"
#include "tests/support/fakes.h"
#include "tests/support/test_meshes.h"

namespace {

// A perspective camera onto photo pixels: x' = (f x + cx (d - z)) / (d - z),
// y' likewise, z' = (z - ... ) kept invertible.
htraf3<double> camera(double f = 800, double d = 600, double cx = 320, double cy = 240) {
    return htraf3<double>(matrix44<double>(f, 0, 0, 0,  //
                                           0, f, 0, 0,   //
                                           -cx, -cy, 1, -1,
                                           cx * d, cy * d, 0, d));
}

vector2<double> photoOf(const vector3<double>& p, const htraf3<double>& h) {
    vector3<double> q = (p * h).vec3();
    return {q.x, q.y};
}

fnd::vector<vector2<double>> pts(std::initializer_list<vector2<double>> l) {
    fnd::vector<vector2<double>> v;
    for (const auto& p : l) v.add(p);
    return v;
}

class WarpTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        head = std::make_unique<head3>();
        // A bumpy sheet facing the camera, 5 x 5 vertices.
        std::vector<vector3<double>> p;
        std::vector<std::array<int, 3>> f;
        for (int j = 0; j < 5; ++j)
            for (int i = 0; i < 5; ++i) p.push_back({i * 20.0 - 40, j * 20.0 - 40, ((i * 7 + j * 3) % 5) * 4.0});
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i) {
                int a = j * 5 + i;
                f.push_back({a, a + 1, a + 6});
                f.push_back({a, a + 6, a + 5});
            }
        mesh = testmesh::build(*head, p, f);
    }
    void TearDown() override {
        head.reset();
        resetModelState();
    }
    vector3<double> pos(int k) { return head->vertices[mesh.vertices[k]].position; }
    std::vector<vector3<double>> positions() {
        std::vector<vector3<double>> out;
        for (auto v : mesh.vertices) out.push_back(head->vertices[v].position);
        return out;
    }

    fakes::Services services;
    std::unique_ptr<head3> head;
    testmesh::Mesh mesh;
    htraf3<double> cam = camera();
};

TEST_F(WarpTest, ControlsMoveTheirVerticesExactlyAndTheRestSmoothly) {
    struct Case {
        const char* name;
        std::vector<int> controls;        // vertices under the controls
        std::vector<vector2<double>> d;  // photo displacements
    } cases[] = {
        {"one control moves every vertex alike", {12}, {{7, -4}}},
        {"zero displacements change nothing", {0, 12, 24}, {{0, 0}, {0, 0}, {0, 0}}},
        {"three controls", {0, 12, 24}, {{3, 1}, {-2, 5}, {0, -6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        std::vector<vector3<double>> before = positions();
        fnd::vector<vector2<double>> from, to;
        for (size_t k = 0; k < c.controls.size(); ++k) {
            vector2<double> p = photoOf(before[c.controls[k]], cam);
            from.add(p);
            to.add(p + c.d[k]);
        }
        trafdef22 feature(from, to, fnd::vector<double>(), false, false, 1.0, 1000000.0, cam);
        bela23TrafoHead(feature, true, -2.0);
        std::vector<vector3<double>> after = positions();
        for (size_t k = 0; k < before.size(); ++k) {
            vector3<double> a = (before[k] * cam).vec3(), b = (after[k] * cam).vec3();
            EXPECT_NEAR(b.z, a.z, 1e-9) << k;  // depth in photo space kept
            if (c.controls.size() == 1) {
                EXPECT_NEAR(b.x - a.x, c.d[0].x, 1e-7) << k;
                EXPECT_NEAR(b.y - a.y, c.d[0].y, 1e-7) << k;
            }
        }
        for (size_t k = 0; k < c.controls.size(); ++k) {
            vector2<double> moved = photoOf(after[c.controls[k]], cam);
            EXPECT_NEAR(moved.x, to[int(k)].x, 1e-7);
            EXPECT_NEAR(moved.y, to[int(k)].y, 1e-7);
        }
        TearDown();
    }
}

TEST_F(WarpTest, WeightsFallWithTheSquaredPlaneDistance) {
    fnd::vector<vector2<double>> from = pts({{100, 100}, {102, 100}}), to = pts({{110, 100}, {102, 120}});
    htraf3<double> plane = cam * trafdef_detail::dropDepth();
    bela23Trafo t(-1, from, to, fnd::vector<double>(), plane, cam, 1.0, -2.0, 0.3);
    // A point at photo distances 1 and 1: the mean.
    vector3<double> p = (vector3<double>(101, 100, 0.2) * cam.Inv()).vec3();
    vector3<double> q = (t.traf(p) * cam).vec3();
    EXPECT_NEAR(q.x, 101 + 5, 1e-7);
    EXPECT_NEAR(q.y, 100 + 10, 1e-7);
    // At distances 1 and 3 the weights are 1 and 1/9.
    p = (vector3<double>(101, 100, 0.2) * cam.Inv()).vec3();
    bela23Trafo u(-1, pts({{100, 100}, {104, 100}}), to, fnd::vector<double>(), plane, cam, 1.0, -2.0, 0.3);
    q = (u.traf(p) * cam).vec3();
    // Displacements (10, 0) and (-2, 20).
    EXPECT_NEAR(q.x, 101 + (10 * 1 - 2 * (1 / 9.0)) / (1 + 1 / 9.0), 1e-7);
    EXPECT_NEAR(q.y, 100 + (0 * 1 + 20 * (1 / 9.0)) / (1 + 1 / 9.0), 1e-7);
}

// Moves worked out beforehand, four or two at a time, are the very moves
// of a point asked alone, bit for bit: in wide registers and without, for
// point counts that leave groups unfilled, and with points that lie on a
// control point (their group falls back to the single rule).
TEST_F(WarpTest, PreparedMovesAreTheMovesOfEachPointAlone) {
    fnd::vector<vector2<double>> from, to;
    for (int k = 0; k < 40; ++k) {
        const double a = k * 0.7;
        from.add({320 + 150 * std::cos(a) * (1 + k % 3), 240 + 120 * std::sin(a)});
        to.add(from[k] + vector2<double>(7 * std::sin(k * 1.3), 5 * std::cos(k * 0.4)));
    }
    const htraf3<double> plane = cam * trafdef_detail::dropDepth();
    for (bool wide : {true, false})
        for (size_t n : {0, 1, 5, 7, 64, 203}) {
            SCOPED_TRACE(std::to_string(n) + (wide ? " wide" : " plain"));
            std::vector<vector3<double>> points;
            for (size_t i = 0; i < n; ++i) {
                // Every 23rd point lies on a control point's photo position.
                const vector2<double> on = from[int(i % 40)];
                const vector3<double> ph = i % 23 == 3 ? vector3<double>(on.x, on.y, 0.3)
                                                       : vector3<double>(40.0 + 3.1 * i, 30.0 + 2.3 * (i % 97), 0.2);
                points.push_back((ph * cam.Inv()).vec3());
            }
            bela23Trafo alone(-1, from, to, fnd::vector<double>(), plane, cam, 1.0, -2.0, 0.3);
            bela23Trafo prepared(-1, from, to, fnd::vector<double>(), plane, cam, 1.0, -2.0, 0.3);
            prepared.wideRegisters = wide;
            prepared.prepare(points);
            for (size_t i = 0; i < n; ++i) {
                const vector3<double> a = alone.traf(points[i]), b = prepared.traf(points[i]);
                EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "point " << i;
            }
        }
}

TEST_F(WarpTest, FlatDistancesIgnoreDepth) {
    // Vertices 6 and 7 of a second sheet differing only in depth under the camera.
    vector3<double> a = pos(6);
    vector3<double> ph = (a * cam).vec3();
    vector3<double> b = (vector3<double>(ph.x, ph.y, ph.z * 0.5) * cam.Inv()).vec3();  // same photo point, deeper
    fnd::vector<vector2<double>> from = pts({photoOf(pos(0), cam), photoOf(pos(24), cam)});
    fnd::vector<vector2<double>> to = pts({photoOf(pos(0), cam) + vector2<double>(4, 0),
                                           photoOf(pos(24), cam) + vector2<double>(0, 9)});
    bela23Trafo flat(-1, from, to, fnd::vector<double>(), cam * trafdef_detail::dropDepth(), cam, 1.0, -2.0, 0.3);
    vector2<double> da = photoOf(flat.traf(a), cam) - photoOf(a, cam);
    vector2<double> db = photoOf(flat.traf(b), cam) - photoOf(b, cam);
    EXPECT_NEAR(da.x, db.x, 1e-7);
    EXPECT_NEAR(da.y, db.y, 1e-7);
}

TEST_F(WarpTest, FixingWeightFallsSmoothlyToZeroAtTheRadius) {
    bela23Trafo t(-1, fnd::vector<vector2<double>>(), fnd::vector<vector2<double>>(), fnd::vector<double>(), cam, cam, 1.0, -2.0, 0.3);
    struct Case {
        double nearFixed, nearMoving, expected;
    } cases[] = {{0, 5, 1.0}, {0.15, 0.85, 0.5}, {0.3, 0.7, 0.0}, {0.6, 0.4, 0.0}, {0.075, 0.925, 0.84375}};
    for (const Case& c : cases) EXPECT_NEAR(t.fixingWeight(c.nearFixed, c.nearMoving), c.expected, 1e-6);
}

TEST_F(WarpTest, AFixedLineHoldsItsPointsInPlace) {
    Index<featureline3> line = head->addFeatureline("fixed", true);
    for (int k : {0, 1, 2}) {
        Index<linepoint3> lp = head->featurelines[line].add();
        head->featurelines[line][lp].vtx = mesh.vertices[k];
        head->featurelines[line][lp].weight1 = 1.0;
    }
    fnd::vector<vector2<double>> from = pts({photoOf(pos(22), cam)}), to = pts({photoOf(pos(22), cam) + vector2<double>(0, 10)});
    bela23Trafo t(line, from, to, fnd::vector<double>(), cam * trafdef_detail::dropDepth(), cam, 1.0, -2.0, 0.3);
    ASSERT_EQ(t.fixedCount, 3);
    ASSERT_EQ(t.count, 4);
    for (int k : {0, 1, 2}) {
        vector3<double> d = t.traf(pos(k)) - pos(k);
        EXPECT_LT(d.length(), 1e-7) << k;
    }
    // A vertex near the fixed line moves less than its free image, one near
    // the control as the control says.
    bela23Trafo free(-1, from, to, fnd::vector<double>(), cam * trafdef_detail::dropDepth(), cam, 1.0, -2.0, 0.3);
    vector3<double> near = pos(6);
    EXPECT_LT((t.traf(near) - near).length(), (free.traf(near) - near).length());
    vector2<double> moved = photoOf(t.traf(pos(22)), cam);
    EXPECT_NEAR(moved.y, to[0].y, 1e-7);
}

TEST_F(WarpTest, CombinedFeaturesTurnReversedTargetsFirst) {
    vector2<double> a = photoOf(pos(0), cam), b = photoOf(pos(4), cam);
    vector2<double> shift(3, -2);
    fnd::vector<trafdef22> features;
    // The target line is marked from b to a.
    features.add(trafdef22(pts({a, (a + b) * 0.5, b}), pts({b + shift, a + shift}), fnd::vector<double>(), true, true, 0.5, 3.0, cam));
    features.add(trafdef22(pts({photoOf(pos(24), cam)}), pts({photoOf(pos(24), cam) + shift}), fnd::vector<double>(), false, true, 0.5,
                           3.0, cam));
    Bela23TrafoHead(features, true, -2.0);
    vector2<double> ma = photoOf(pos(0), cam), mb = photoOf(pos(4), cam);
    EXPECT_NEAR(ma.x, a.x + shift.x, 1e-6);
    EXPECT_NEAR(ma.y, a.y + shift.y, 1e-6);
    EXPECT_NEAR(mb.x, b.x + shift.x, 1e-6);
    EXPECT_NEAR(mb.y, b.y + shift.y, 1e-6);
}

}  // namespace
