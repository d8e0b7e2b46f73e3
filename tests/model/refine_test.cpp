// Splitting triangles at points and laying feature lines into the mesh.

#include "model/refine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "model/gather.h"
#include "model/head.h"
#include "model/topology.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"
#include "tests/support/model_fixture.h"

namespace {

class Refine : public testsupport::ModelTest {};

double len(const vector3<double>& v) { return std::sqrt(v * v); }

vector3<double> outward(const head3& h, Index<triangle> t) {
    const triangle& tr = h.triangles[t];
    const vector3<double> a = h.vertices[tr.a].position, b = h.vertices[tr.b].position, c = h.vertices[tr.c].position;
    return (b - a) % (c - a);
}

TEST(PositionOnTriangle, CodesOfCornersEdgesAndInside) {
    const struct {
        vector3<double> b;
        int code;
    } cases[] = {{{1, 0, 0}, 0}, {{0.5, 0.5, 0}, 1}, {{0, 1, 0}, 2}, {{0, 0.5, 0.5}, 3},
                 {{0, 0, 1}, 4}, {{0.5, 0, 0.5}, 5}, {{0.2, 0.3, 0.5}, 6}, {{1e-11, 0.5, 0.5}, 3}};
    for (const auto& c : cases) EXPECT_EQ(positionOnTriangle(c.b, 1e-10), c.code) << c.b.x << c.b.y << c.b.z;
}

TEST_F(Refine, InsidePointMakesThreeTrianglesAndEditPointsStayPut) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    const int before = h.triangles.count();
    const int euler = testsupport::eulerCharacteristic(h);
    const Index<triangle> t = m.triangles[3];
    const vector3<double> n = outward(h, t);
    // An edit point riding on the triangle.
    Index<extrapoint> rider = -1;
    set_extrapoint(&rider, t, {0.6, 0.3, 0.1}, roughConversion);
    const vector3<double> riderAt = h.extrapoints[rider].position;
    // Corner: nothing to do.
    vertex_at_triangle corner{h.vertices.add(), t, {0, 1, 0}};
    EXPECT_EQ(devide_triangle(corner), 1);
    EXPECT_EQ(h.triangles.count(), before);
    h.vertices.remove_index(corner.v);

    generalpoint3 g;
    set_extrapoint(&g.extra, t, {0.2, 0.3, 0.5}, roughConversion);
    const vector3<double> at = h.extrapoints[g.extra].position;
    ASSERT_TRUE(MakeFix(g, 0));
    EXPECT_FALSE(g.isRubber());
    EXPECT_EQ(len(h.vertices[g.vtx].position - at), 0.0);
    EXPECT_EQ(h.triangles.count(), before + 2);
    EXPECT_EQ(h.vertices[g.vtx].triangles.count(), 3);
    auto& ts = h.vertices[g.vtx].triangles;
    for (int k = ts.first(); k != -1; k = ts.nextOf(k)) EXPECT_GT(outward(h, ts[k]) * n, 0.0);
    EXPECT_LT(len(h.extrapoints[rider].position - riderAt), 1e-12);
    EXPECT_EQ(testsupport::eulerCharacteristic(h), euler);
    EXPECT_MODEL_SOUND(h);
    // A fixed point stays; a point that is neither gives false.
    EXPECT_TRUE(MakeFix(g, 0));
    generalpoint3 none;
    EXPECT_FALSE(MakeFix(none, 0));
}

TEST_F(Refine, RefineSplitsTheLongestEdgeAtItsMidpoint) {
    head3 h;
    // Two triangles sharing the long edge 1-2 of the first.
    testmesh::Mesh m = testmesh::build(h, {{0, 0, 0}, {4, 0, 0}, {0, 3, 0}, {4, 3, 0}}, {{0, 1, 2}, {2, 1, 3}});
    EXPECT_EQ(refineTriangle(m.triangles[0], 0, 0), 1);
    bool found = false;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        found |= len(h.vertices[v].position - vector3<double>(2, 1.5, 0)) < 1e-12;
    EXPECT_TRUE(found);
    EXPECT_EQ(h.triangles.count(), 4);
    EXPECT_MODEL_SOUND(h);
    // Shorter than the length: no split.
    EXPECT_EQ(refineTriangle(h.triangles.first(), 10, 0), 0);
    EXPECT_EQ(h.triangles.count(), 4);
}

TEST_F(Refine, EqualEdgesSplitEdgeOneTwo) {
    head3 h;
    // Squared edge lengths exactly 2 each.
    testmesh::Mesh m = testmesh::build(h, {{0, 0, 0}, {1, 1, 0}, {1, 0, 1}}, {{0, 1, 2}});
    ASSERT_EQ(refineTriangle(m.triangles[0], 0, 0), 1);
    const Index<vertex> fresh = h.vertices.last();
    EXPECT_LT(len(h.vertices[fresh].position - vector3<double>(1, 0.5, 0.5)), 1e-12);
    EXPECT_EQ(h.triangles.count(), 2);  // a border edge: one triangle split
}

// A feature line of rubber points on the surface at the given directions
// from the origin; closed lines repeat the first point's edit point.
Index<featureline3> rubberLine(head3& h, const std::vector<vector3<double>>& dirs, bool closed) {
    Index<featureline3> L = h.addFeatureline("", true);
    const int n = int(dirs.size());
    Index<extrapoint> firstExtra = -1;
    for (int k = 0; k < n + (closed ? 1 : 0); ++k) {
        Index<linepoint3> p = h.featurelines[L].add();
        linepoint3& lp = h.featurelines[L][p];
        lp.kind = (k == 0 || k == n - (closed ? 0 : 1)) ? 2 : 1;
        if (k == n) {
            lp.extra = firstExtra;
        } else {
            Index<triangle> t = -1;
            vector3<double> b;
            const vector3<double> d = dirs[k] * (3.0 / len(dirs[k]));
            EXPECT_TRUE(h.ProjectOnHeadTowardDirection(d, -d, &t, &b));
            Index<extrapoint> e = -1;
            set_extrapoint(&e, t, b, roughConversion);
            h.featurelines[L][p].extra = e;
            if (k == 0) firstExtra = e;
        }
        add_linepoint(p, L);
    }
    return L;
}

bool shareAnEdge(const head3& h, Index<vertex> a, Index<vertex> b) {
    const auto& ts = h.vertices[a].triangles;
    for (int n = ts.first(); n != -1; n = ts.nextOf(n)) {
        const triangle& t = h.triangles[ts[n]];
        if (t.a == b || t.b == b || t.c == b) return true;
    }
    return false;
}

int expectLaidIn(const head3& h, Index<featureline3> L) {
    const auto& line = h.featurelines[L];
    int count = 0;
    for (int p = line.first(); p != -1; p = line.nextOf(p)) {
        EXPECT_TRUE(line[p].isFixed()) << "point " << count;
        if (!line[p].isFixed()) return count;
        EXPECT_FALSE(line[p].isRubber());
        const int q = line.nextOf(p);
        if (q != -1) {
            EXPECT_TRUE(shareAnEdge(h, line[p].vtx, line[q].vtx)) << "after point " << count;
        }
        ++count;
    }
    EXPECT_GE(count, 3);
    return count;
}

TEST_F(Refine, MakeFixLaysOpenAndClosedLinesIntoClosedMeshes) {
    const double pi = 3.141592653589793;
    for (int mesh = 0; mesh < 2; ++mesh)
        for (bool closed : {false, true}) {
            resetModelState();
            head3 h;
            if (mesh == 0) testmesh::icosphere(h, 2, 1.0);
            else testmesh::subdividedCube(h, 3, 1.0);
            std::vector<vector3<double>> dirs;
            const int n = closed ? 7 : 5;
            for (int k = 0; k < n; ++k) {
                const double a = closed ? 2 * pi * k / n : 0.25 + 1.2 * k / n;
                dirs.push_back({std::cos(a), std::sin(a), closed ? 0.4 : 0.2 * k - 0.3});
            }
            Index<featureline3> L = rubberLine(h, dirs, closed);
            const int euler = testsupport::eulerCharacteristic(h);
            extrapoint::ForcedConversionMode = 0;
            extrapoint::bariCoordMinValue = 0.1;
            triangle::minimalLengthOfEdge = 0.05;
            ASSERT_EQ(h.MakeFix(L, 1, 0.0), 1) << "mesh " << mesh << " closed " << closed;
            EXPECT_EQ(extrapoint::ForcedConversionMode, 0);
            EXPECT_EQ(extrapoint::bariCoordMinValue, 0.1);
            EXPECT_EQ(triangle::minimalLengthOfEdge, 0.05);
            // The points lay farther apart than the mesh's edges: vertices came in between.
            EXPECT_GT(expectLaidIn(h, L), n + (closed ? 1 : 0));
            const auto& line = h.featurelines[L];
            EXPECT_EQ(isClosedLine(L), closed);
            EXPECT_EQ(line[line.first()].kind, 2);
            EXPECT_EQ(testsupport::eulerCharacteristic(h), euler);
            EXPECT_MODEL_SOUND(h);
            // Fixed already: 1 without change.
            const int triangles = h.triangles.count();
            EXPECT_EQ(h.MakeFix(L, 1, 0.0), 1);
            EXPECT_EQ(h.triangles.count(), triangles);
        }
}

TEST_F(Refine, ShortEdgesAlongTheLineCollapse) {
    head3 h;
    testmesh::icosphere(h, 3, 1.0);
    std::vector<vector3<double>> dirs;
    for (int k = 0; k < 4; ++k) dirs.push_back({std::cos(0.3 * k), std::sin(0.3 * k), 0.1});
    Index<featureline3> L = rubberLine(h, dirs, false);
    ASSERT_EQ(h.MakeFix(L, 1, 0.08), 1);
    expectLaidIn(h, L);
    const auto& line = h.featurelines[L];
    for (int p = line.first(); line.nextOf(p) != -1; p = line.nextOf(p)) {
        const int q = line.nextOf(p);
        const bool anchored = (p == line.first() || line[p].kind == 2) && line[q].kind == 2;
        if (!anchored) {
            EXPECT_GE(len(line[p].point() - line[q].point()), 0.08);
        }
    }
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Refine, FailuresRestoreTheGlobalSettings) {
    head3 h;
    testmesh::icosphere(h, 1, 1.0);
    extrapoint::ForcedConversionMode = 2;
    extrapoint::bariCoordMinValue = 0.07;
    // An empty line.
    Index<featureline3> empty = h.addFeatureline("", true);
    EXPECT_EQ(h.MakeFix(empty, 1, 0.0), 0);
    // A line whose second point is placed nowhere: the walk fails there.
    std::vector<vector3<double>> dirs = {{1, 0, 0.1}, {0.9, 0.4, 0.1}, {0.5, 0.8, 0.1}};
    Index<featureline3> L = rubberLine(h, dirs, false);
    auto& line = h.featurelines[L];
    const int second = line.nextOf(line.first());
    remove_extrapoint(line[second].extra, false);
    EXPECT_EQ(h.MakeFix(L, 1, 0.0), 0);
    EXPECT_EQ(extrapoint::ForcedConversionMode, 2);
    EXPECT_EQ(extrapoint::bariCoordMinValue, 0.07);
    EXPECT_TRUE(h.featurelines[L][h.featurelines[L].first()].isFixed());
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Refine, APointOnTheGatheredPatchBorderWaitsForTheNeighbourSplit) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    const Index<triangle> t = m.triangles[7];
    add_triangle_to_gatheredTriangles(t);
    const int euler = testsupport::eulerCharacteristic(h);
    const double area = h.triangles[t].weight();
    generalpoint3 g;
    set_extrapoint(&g.extra, t, {0.3, 0.7, 0}, roughConversion);  // on the edge 0-1
    const vector3<double> at = h.extrapoints[g.extra].position;
    ASSERT_TRUE(MakeFix(g, 0));
    EXPECT_LT(len(h.vertices[g.vtx].position - at), 1e-12);
    EXPECT_GT(h.vertices[g.vtx].triangles.count(), 0);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        EXPECT_GT(h.vertices[v].triangles.count(), 0) << int(v);
    // The pieces of the gathered triangle are gathered, and only they.
    double gatheredArea = 0;
    auto& g2 = gatheredTriangles();
    for (int n = g2.first(); n != -1; n = g2.nextOf(n)) gatheredArea += h.triangles[g2[n]].weight();
    EXPECT_NEAR(gatheredArea, area, 1e-12);
    EXPECT_GT(g2.count(), 1);
    EXPECT_EQ(testsupport::eulerCharacteristic(h), euler);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Refine, NeighbouringTriangleCarriesTheWeightsAcrossTheEdge) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    const Index<triangle> t = m.triangles[2];
    const triangle& tr = h.triangles[t];
    auto at = [&](Index<triangle> u, const vector3<double>& b) {
        const triangle& x = h.triangles[u];
        return h.vertices[x.a].position * b.x + h.vertices[x.b].position * b.y + h.vertices[x.c].position * b.z;
    };
    const vector3<double> onEdges[3] = {{0.3, 0.7, 0}, {0, 0.4, 0.6}, {0.8, 0, 0.2}};
    for (const vector3<double>& b : onEdges) {
        vertex_at_triangle n = neighbouringTriangle({-1, t, b});
        ASSERT_NE(n.t, t);
        EXPECT_LT(len(at(n.t, n.b) - at(t, b)), 1e-15);
        EXPECT_NEAR(n.b.x + n.b.y + n.b.z, 1.0, 1e-15);
        // The triangle across shares the edge: direct from both its ends.
        EXPECT_TRUE(TriangleIsDirect(tr.a, n.t, n.b) || TriangleIsDirect(tr.b, n.t, n.b) ||
                    TriangleIsDirect(tr.c, n.t, n.b));
    }
    // Inside: unchanged; at a corner: the corner on another triangle.
    vertex_at_triangle in = neighbouringTriangle({-1, t, {0.2, 0.3, 0.5}});
    EXPECT_EQ(in.t, t);
    vertex_at_triangle c = neighbouringTriangle({-1, t, {0, 1, 0}});
    EXPECT_NE(c.t, t);
    EXPECT_LT(len(at(c.t, c.b) - h.vertices[tr.b].position), 1e-15);
    // Inside a triangle away from the vertex: not direct.
    for (Index<triangle> u : m.triangles) {
        const triangle& x = h.triangles[u];
        if (x.a == tr.a || x.b == tr.a || x.c == tr.a) continue;
        EXPECT_FALSE(TriangleIsDirect(tr.a, u, {0.2, 0.3, 0.5}));
        break;
    }
    EXPECT_TRUE(TriangleIsDirect(tr.a, t, {0.2, 0.3, 0.5}));
}

TEST_F(Refine, CleanFeaturelineDropsRepeatsAndSpikes) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    Index<featureline3> L = h.addFeatureline("", true);
    const int vs[6] = {0, 0, 1, 2, 1, 3}, kinds[6] = {2, 1, 1, 1, 0, 2};
    for (int k = 0; k < 6; ++k) {
        Index<linepoint3> p = h.featurelines[L].add();
        h.featurelines[L][p].vtx = m.vertices[vs[k]];
        h.featurelines[L][p].kind = kinds[k];
        add_linepoint(p, L);
    }
    EXPECT_TRUE(CleanFeatureline(L));
    std::vector<int> got, gotKinds;
    const auto& line = h.featurelines[L];
    for (int p = line.first(); p != -1; p = line.nextOf(p)) {
        got.push_back(line[p].vtx);
        gotKinds.push_back(line[p].kind);
    }
    EXPECT_EQ(got, (std::vector<int>{int(m.vertices[0]), int(m.vertices[1]), int(m.vertices[3])}));
    EXPECT_EQ(gotKinds, (std::vector<int>{2, 1, 2}));
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Refine, MakeRubberPutsTheLinePointOnItsVertex) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    Index<featureline3> L = h.addFeatureline("", true);
    Index<linepoint3> p = h.featurelines[L].add();
    h.featurelines[L][p].vtx = m.vertices[4];
    add_linepoint(p, L);
    ASSERT_TRUE(MakeRubber(p));
    const linepoint3& lp = h.featurelines[L][p];
    EXPECT_TRUE(lp.isRubber());
    EXPECT_FALSE(lp.isFixed());
    EXPECT_LT(len(lp.point() - h.vertices[m.vertices[4]].position), 1e-12);
    EXPECT_TRUE(MakeRubber(p));
    EXPECT_MODEL_SOUND(h);
}

}  // namespace
