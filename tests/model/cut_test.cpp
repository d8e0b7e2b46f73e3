// Cutting the head along a surface.

#include "model/cut.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/gather.h"
#include "model/head.h"
#include "model/topology.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"
#include "tests/support/model_fixture.h"

namespace {

class Cut : public testsupport::ModelTest {};

double bump(const vector2<double>& uv) { return 0.1 * uv.x; }

TEST(CutSurface, HeightsSegmentCrossingsAndRules) {
    InitSurface({0, 0, 1}, {2, 0, 0}, {1, 3, 0}, nullptr);  // the plane z = 1
    EXPECT_NEAR(fun31ForSurface({5, -2, 3}), 2.0, 1e-12);
    EXPECT_EQ(cutBySurface({0, 0, 1 - 1e-8}, {0, 0, 3}), 0.0);  // first point on the surface
    EXPECT_EQ(cutBySurface({0, 0, 0}, {0, 0, 0.5}), 1.0);        // second point below
    EXPECT_NEAR(cutBySurface({0, 0, 0}, {0, 0, 4}), 0.25, 1e-9);
    InitSurface({0, 0, 1}, {1, 0, 0}, {0, 1, 0}, bump);
    EXPECT_NEAR(fun31ForSurface({2, 0, 1.2}), 0.0, 1e-12);

    const struct {
        vector3<double> b;
        int rule;
    } rules[] = {{{0, 0, 1}, 4}, {{0, 1, 0}, 2}, {{0, 0.5, 0.5}, 3}, {{1, 0, 0}, 0},
                 {{0.5, 0, 0.5}, 5}, {{0.5, 0.5, 0}, 1}, {{0.3, 0.3, 0.4}, 6}};
    for (const auto& r : rules) EXPECT_EQ(bariToRule(r.b, 0.01), r.rule);
}

TEST_F(Cut, ACornerOnTheSurfaceCrossesOnItsTwoEdges) {
    head3 h;
    testmesh::Mesh m = testmesh::build(h, {{0, 0, 0}, {1, 0, 1}, {1, 0, -1}}, {{0, 1, 2}});
    InitSurface({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, nullptr);
    dynarray<vector3<double>> pts;
    cutBySurface(&pts, m.triangles[0]);
    // Edge 0-1 and edge 0-2 both meet the plane at corner 0; edge 1-2 at its middle.
    ASSERT_EQ(pts.size(), 3);
    EXPECT_EQ(pts[0].x, 1.0);
    EXPECT_EQ(pts[1].x, 1.0);
    EXPECT_NEAR(pts[2].y, 0.5, 1e-9);
    EXPECT_NEAR(pts[2].z, 0.5, 1e-9);
}

TEST_F(Cut, APlaneCutsTheCapOffASphere) {
    head3 h;
    testmesh::icosphere(h, 2, 1.0);
    extrapoint::bariCoordMinValue = 0.1;
    Index<featureline3> L = -1;
    ASSERT_TRUE(h.cutBySurface(L, {0, 0, 0.3}, {1, 0, 0}, {0, 1, 0}, nullptr));
    EXPECT_EQ(extrapoint::bariCoordMinValue, 0.1);
    ASSERT_NE(L, -1);
    EXPECT_TRUE(isClosedLine(L));
    // Every line point lies on the plane; every remaining triangle below it.
    const auto& line = h.featurelines[L];
    for (int p = line.first(); p != -1; p = line.nextOf(p)) EXPECT_NEAR(line[p].point().z, 0.3, 1e-7);
    int below = 0;
    for (Index<triangle> t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        for (int k = 0; k < 3; ++k) EXPECT_LE(h.vertices[h.triangles[t].corner(k)].position.z, 0.3 + 1e-7);
        ++below;
    }
    EXPECT_GT(below, 100);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        EXPECT_LE(h.vertices[v].position.z, 0.3 + 1e-7);
    // A sphere with one hole is a disc.
    EXPECT_EQ(testsupport::eulerCharacteristic(h), 1);
    EXPECT_EQ(gatheredTriangles().count(), 0);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Cut, APlaneThatMissesChangesNothing) {
    head3 h;
    testmesh::icosphere(h, 1, 1.0);
    const int triangles = h.triangles.count(), vertices = h.vertices.count(), lines = h.featurelines.count();
    Index<featureline3> L = 5;
    EXPECT_FALSE(h.cutBySurface(L, {0, 0, 3}, {1, 0, 0}, {0, 1, 0}, nullptr));
    EXPECT_EQ(L, -1);
    EXPECT_EQ(h.cutBySurface(), -1);
    EXPECT_EQ(h.triangles.count(), triangles);
    EXPECT_EQ(h.vertices.count(), vertices);
    EXPECT_EQ(h.featurelines.count(), lines);
    EXPECT_MODEL_SOUND(h);
}

}  // namespace
