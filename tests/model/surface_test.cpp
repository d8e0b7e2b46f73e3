// Fan statistics, vertex repair, projection onto the head and mirror points.

#include "model/surface.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/featuretables.h"
#include "model/head.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"
#include "tests/support/model_fixture.h"

namespace {

class Surface : public testsupport::ModelTest {
protected:
    void TearDown() override {
        ModelTest::TearDown();
        resetFeatureTables();
    }
};

double len(const vector3<double>& v) { return std::sqrt(v * v); }

TEST_F(Surface, FanStatisticsOfAnIcosahedron) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 0, 1.0);
    // Every vertex has five neighbours at the edge length.
    const double edge = len(h.vertices[h.triangles[m.triangles[0]].a].position -
                            h.vertices[h.triangles[m.triangles[0]].b].position);
    for (Index<vertex> v : m.vertices) {
        EXPECT_NEAR(averageEdgeLength(v), edge, 1e-12);
        // The centroid of the five neighbours lies on the ray through v.
        vector3<double> c = weightpointOfNeighbours(v);
        vector3<double> p = h.vertices[v].position;
        EXPECT_NEAR(len(c % p), 0.0, 1e-12);
        EXPECT_LT(len(c), 1.0);
        EXPECT_EQ(repairVertex(v, 5), 0);
    }
    Index<vertex> lone = h.vertices.add();
    EXPECT_EQ(averageEdgeLength(lone), 0.0);
    EXPECT_EQ(repairVertex(lone, 5), 0);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Surface, RepairPullsAFarThrownVertexToItsNeighbours) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    Index<vertex> v = m.vertices[0];
    const vector3<double> centroid = weightpointOfNeighbours(v);
    h.vertices[v].position = h.vertices[v].position * 100.0;
    EXPECT_EQ(repairVertex(v, 5), 1);
    EXPECT_NEAR(len(h.vertices[v].position - centroid), 0.0, 1e-12);
    EXPECT_EQ(repairVertex(v, 5), 0);
}

TEST_F(Surface, ProjectionHitsTheSurfaceAlongTheRay) {
    head3 h;
    testmesh::icosphere(h, 2, 1.0);
    Index<triangle> t = -1;
    vector3<double> b;
    ASSERT_TRUE(h.ProjectOnHeadTowardDirection({0.1, 0.2, 5}, {0, 0, -1}, &t, &b));
    ASSERT_NE(t, -1);
    const triangle& tr = h.triangles[t];
    vector3<double> hit = h.vertices[tr.a].position * b.x + h.vertices[tr.b].position * b.y +
                          h.vertices[tr.c].position * b.z;
    EXPECT_NEAR(hit.x, 0.1, 1e-9);
    EXPECT_NEAR(hit.y, 0.2, 1e-9);
    EXPECT_GT(hit.z, 0.9);  // the near side
    EXPECT_NEAR(b.x + b.y + b.z, 1.0, 1e-9);
    // A ray that passes beside the head.
    t = 7;
    EXPECT_FALSE(h.ProjectOnHeadTowardDirection({5, 5, 5}, {0, 0, -1}, &t, &b));
    EXPECT_EQ(t, -1);

    extrapoint e;
    vector3<double> base = h.getBasePoint({0, 0, 3}, &e);
    EXPECT_NEAR(base.z, len(base), 1e-9);
    EXPECT_GT(base.z, 0.9);
    EXPECT_NE(e.tri, -1);
}

TEST_F(Surface, SplineProjectionBlendsTheDirectionsOfItsSegment) {
    head3 h;
    testmesh::icosphere(h, 2, 1.0);
    spline3DLinear s;
    dynarray<vector3<double>> pts;
    pts.add() = {0, 0, 3};
    pts.add() = {3, 0, 0};
    s.Init(pts, 0);
    // Directions point out of the head; the ray runs against them.
    dynarray<vector3<double>> dirs;
    dirs.add() = {0, 0, 1};
    dirs.add() = {1, 0, 0};
    const struct {
        double t;
        vector3<double> expected;
    } cases[] = {{0, {0, 0, -1}}, {1, {-1, 0, 0}}};
    for (const auto& c : cases) {
        Index<triangle> t = -1;
        vector3<double> b;
        ASSERT_TRUE(h.ProjectOnHead(c.t, s, dirs, &t, &b)) << c.t;
        const triangle& tr = h.triangles[t];
        vector3<double> hit = h.vertices[tr.a].position * b.x + h.vertices[tr.b].position * b.y +
                              h.vertices[tr.c].position * b.z;
        // Straight in from the spline point against its direction.
        EXPECT_GT(hit * c.expected, -1.0001) << c.t;
        EXPECT_LT(hit * c.expected, -0.9) << c.t;
    }
    spline3D empty;
    Index<triangle> t = -1;
    vector3<double> b;
    EXPECT_FALSE(h.ProjectOnHead(0, empty, dirs, &t, &b));
}

TEST_F(Surface, MirrorPointsGoThroughTheNearestFeaturePointPair) {
    installFeatureTable(kTablePoints,
                        "#code, mirror, weight, kind, previews, name\n"
                        "L,\tR,\t1.0,\t1,\t0,\t0,\t0,\t0,\tleft,\tbal,\n"
                        "R,\tL,\t1.0,\t1,\t0,\t0,\t0,\t0,\tright,\tjobb,\n"
                        "M,\tM,\t1.0,\t1,\t0,\t0,\t0,\t0,\tmiddle,\tkozep,\n");
    head3 h;
    h.set_actual();
    const struct {
        const char* name;
        vector3<double> at;
    } points[] = {{"L", {-3, 1, 2}}, {"R", {3.5, 1.2, 2.1}}, {"M", {0.2, -4, 3}}};
    for (const auto& p : points) {
        Index<featurepoint3> f = h.addFeaturepoint(p.name, true);
        Index<vertex> v = h.vertices.add();
        h.vertices[v].position = p.at;
        h.featurepoints[f].vtx = v;
    }
    CString code;
    ASSERT_TRUE(GetFeaturePointInfo(0, &code)) << "table not installed";
    vector3<double> p = points[0].at;
    vector3<double> m = h.GetMirrorPoint(&p, nullptr);
    EXPECT_EQ(m.x, 3.5);
    EXPECT_EQ(m.y, 1.2);
    EXPECT_EQ(m.z, 2.1);
    // Near the middle point: mirrored in x about it.
    p = {0.5, -3.5, 3.25};
    m = h.GetMirrorPoint(&p, nullptr);
    EXPECT_NEAR(m.x, 2 * 0.2 - 0.5, 1e-12);
    EXPECT_EQ(m.y, -3.5);
    EXPECT_EQ(m.z, 3.25);
    // With a reference: the offset from it, mirrored and laid off from its image.
    vector3<double> ref = points[0].at;
    p = {-2, 2, 2};
    m = h.GetMirrorPoint(&p, &ref);
    EXPECT_NEAR(m.x, 3.5 - 1, 1e-12);
    EXPECT_NEAR(m.y, 1.2 + 1, 1e-12);
    EXPECT_NEAR(m.z, 2.1, 1e-12);
}

}  // namespace
