// Fan statistics, vertex repair, projection onto the head and mirror points.

#include "model/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/random.h"

#include "model/featuretables.h"
#include "model/head.h"
#include "model/octree.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"
#include "tests/support/model_fixture.h"
#include "tests/support/template_head.h"

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

// The repair of a whole head gives what repairVertex gives vertex by vertex
// in chain order, also where one repair changes the next one's neighbours.
TEST_F(Surface, RepairingAllVerticesEqualsRepairingEachInTurn) {
    std::vector<std::vector<vector3<double>>> results;
    for (int way = 0; way < 2; ++way) {
        resetModelState();
        head3 h;
        testmesh::Mesh m = testmesh::icosphere(h, 2, 1.0);
        for (size_t k = 5; k < m.vertices.size(); k += 9) {
            vector3<double>& p = h.vertices[m.vertices[k]].position;
            p = p * (k % 2 ? 20.0 : 1.3);
        }
        // Two neighbours thrown out together.
        const Index<vertex> a = m.vertices[0];
        h.vertices[a].position = h.vertices[a].position * 30.0;
        forEachFanNeighbour(a, [&](Index<vertex> w) { h.vertices[w].position = h.vertices[w].position * 25.0; });
        int moved = 0;
        if (way == 0) {
            for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) moved += repairVertex(v, 2.0);
        } else {
            moved = repairVertices(2.0);
        }
        EXPECT_GT(moved, 5);
        std::vector<vector3<double>> at;
        for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) at.push_back(h.vertices[v].position);
        results.push_back(at);
    }
    ASSERT_EQ(results[0].size(), results[1].size());
    for (size_t k = 0; k < results[0].size(); ++k) {
        EXPECT_EQ(results[0][k].x, results[1][k].x) << k;
        EXPECT_EQ(results[0][k].y, results[1][k].y) << k;
        EXPECT_EQ(results[0][k].z, results[1][k].z) << k;
    }
}

class TemplateSurface : public testsupport::TemplateHeadTest {};

double uniform(fnd::RandomSource& r, double lo, double hi) {
    return lo + (hi - lo) * (r.next() / double(fnd::kRandomMax));
}

// Seeded rays from outside the full head towards it: the projection gives
// the first triangle the ray meets (a plain intersection with every
// triangle), for a unit direction as for one of length 0.01 or 100.
TEST_F(TemplateSurface, ProjectionTakesTheFirstTriangleOnTheRay) {
    head3 h;
    load(h);
    testsupport::RayOverAllTriangles brute(h);
    fnd::RandomSource r(41);
    const vector3<double> c = (h.boxMin + h.boxMax) * 0.5, half = (h.boxMax - h.boxMin) * 0.5;
    int hits = 0;
    for (int k = 0; k < 600; ++k) {
        vector3<double> dir(uniform(r, -1, 1), uniform(r, -1, 1), uniform(r, -1, 1));
        const vector3<double> P = c + dir * (1.5 * h.extent / std::max(dir.length(), 1e-9));
        const vector3<double> target(c.x + uniform(r, -0.8, 0.8) * half.x, c.y + uniform(r, -0.8, 0.8) * half.y,
                                     c.z + uniform(r, -0.8, 0.8) * half.z);
        const vector3<double> u = (target - P) / (target - P).length();
        double wantT;
        if (brute.first(P, u, &wantT, nullptr) == -1) continue;
        ++hits;
        for (double length : {1.0, 0.01, 100.0}) {
            Index<triangle> t = -1;
            vector3<double> b;
            ASSERT_TRUE(h.ProjectOnHeadTowardDirection(P, u * length, &t, &b)) << "ray " << k << " length " << length;
            EXPECT_NEAR((testsupport::pointOn(h, t, b) - P) * u, wantT, 1e-7) << "ray " << k << " length " << length;
        }
    }
    EXPECT_GT(hits, 300);
}

// From seeded points of the surface along the inner normal of their
// triangle, the projection stays at the point: the triangle it lies on (or
// one sharing the point), not one farther along the line either way.
TEST_F(TemplateSurface, ProjectionFromTheSurfaceStaysWhereItStarts) {
    head3 h;
    load(h);
    std::vector<int> tris;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) tris.push_back(t);
    fnd::RandomSource r(43);
    for (int k = 0; k < 1500; ++k) {
        const Index<triangle> on = tris[r.next() % tris.size()];
        double u = uniform(r, 0.05, 0.9), v = uniform(r, 0.05, 0.9);
        if (u + v > 0.95) u = 0.95 - v;
        const vector3<double> bary(1 - u - v, u, v);
        const vector3<double> start = testsupport::pointOn(h, on, bary);
        const vector3<double> inward = -h.triangles[on]._normalvector();
        Index<triangle> t = -1;
        vector3<double> b;
        ASSERT_TRUE(h.ProjectOnHeadTowardDirection(start, inward * 0.01, &t, &b)) << k;
        EXPECT_LT((testsupport::pointOn(h, t, b) - start).length(), 1e-7) << "point " << k << " on " << int(on)
                                                                            << " went to " << int(t);
    }
}

// The line query of the octree keeps its own rule: from a start beyond the
// head, pointing away from it, it still finds the head behind the start,
// where the projection along the ray finds nothing.
TEST_F(TemplateSurface, TheLineQueryStillLooksBehindTheStart) {
    head3 h;
    load(h);
    const vector3<double> tip = h.featurepoints[h.getFeaturepoint("tip_of_the_nose", false)].point();
    const vector3<double> before = tip + vector3<double>(0, 0, 50);
    vector3<double> b;
    EXPECT_NE(h.octree().getfirst(before, {0, 0, 1}, &b), -1);
    Index<triangle> t = -1;
    EXPECT_FALSE(h.ProjectOnHeadTowardDirection(before, {0, 0, 1}, &t, &b));
    EXPECT_EQ(t, -1);
    ASSERT_TRUE(h.ProjectOnHeadTowardDirection(before, {0, 0, -1}, &t, &b));
    EXPECT_LT((testsupport::pointOn(h, t, b) - tip).length(), 1e-6);
}

}  // namespace
