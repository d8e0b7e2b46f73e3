// The gathered set, the local deformation and regions from closed lines.

#include "model/gather.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "model/featuretables.h"
#include "model/head.h"
#include "model/topology.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"
#include "tests/support/model_fixture.h"

namespace {

class Gather : public testsupport::ModelTest {};

double len(const vector3<double>& v) { return std::sqrt(v * v); }

std::map<int, vector3<double>> positions(const head3& h) {
    std::map<int, vector3<double>> m;
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) m[v] = h.vertices[v].position;
    return m;
}

std::set<int> gatheredSet() {
    std::set<int> s;
    auto& g = gatheredTriangles();
    for (int n = g.first(); n != -1; n = g.nextOf(n)) s.insert(g[n]);
    return s;
}

TEST(XformPhi, ShapesAtTheCentreHalfwayAndBeyond) {
    const vector3<double> o;
    const struct {
        int shape;
        double d, want;
    } cases[] = {
        {1, 0, 0.5},  {1, 2, 0.5 * std::sqrt(std::cos(3.141592653589793 / 4))},  {1, 4.5, 0},
        {2, 0, 0.5},  {2, 2, 0.5 * std::cos(3.141592653589793 / 4)},             {2, 4, 0.5 * std::cos(1.5707963267948966)},
        {3, 0, 1.0},  {3, 2, 0.5},                                                {3, 5, 0},
        {4, 0, 1.0},  {4, 400, std::pow(2.71821828, -100.0)},                    {0, 1, -1},
        {5, 1, -1},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(XformPhi(o, {0, c.d, 0}, 4, c.shape), c.want, 1e-15) << c.shape << " " << c.d;
    // The constant of shape 4 is 2.71821828, not e.
    EXPECT_EQ(XformPhi(o, {4, 0, 0}, 4, 4), 1 / 2.71821828);
    // No radius: no weight and no NaN.
    for (int shape = 1; shape <= 4; ++shape) EXPECT_EQ(XformPhi(o, {1, 0, 0}, 0, shape), 0.0);
}

TEST_F(Gather, SetMembershipIsStoredInTheTriangles) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 0, 1.0);
    Index<triangle> a = m.triangles[0], b = m.triangles[1];
    EXPECT_FALSE(add_triangle_to_gatheredTriangles(-1));
    EXPECT_TRUE(add_triangle_to_gatheredTriangles(a));
    EXPECT_FALSE(add_triangle_to_gatheredTriangles(a));
    EXPECT_TRUE(change_triangle_at_gatheredTriangles(b));
    EXPECT_TRUE(isGathered(b));
    EXPECT_TRUE(change_triangle_at_gatheredTriangles(b));
    EXPECT_FALSE(isGathered(b));
    EXPECT_FALSE(remove_triangle_from_gatheredTriangles(b));
    add_triangle_to_gatheredTriangles(b);
    remove_triangle(a);  // a deleted triangle leaves the set
    EXPECT_EQ(gatheredSet(), std::set<int>{int(b)});
    clean_gatheredTriangles();
    EXPECT_EQ(gatheredTriangles().count(), 0);
    EXPECT_EQ(h.triangles[b].gatheredNode, -1);
}

TEST_F(Gather, ByDistanceSaveAndRestore) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 2, 1.0);
    const vector3<double> c = h.triangles[m.triangles[5]].weightpoint();
    h.gatherTriangles2(c, 0);  // only the triangle whose centroid is the centre
    EXPECT_EQ(gatheredSet(), std::set<int>{int(m.triangles[5])});
    EXPECT_EQ(h.lastRadius, 0.0);
    clean_gatheredTriangles();
    h.gatherTriangles2(c, 0.5);
    for (Index<triangle> t : m.triangles)
        EXPECT_EQ(isGathered(t), len(h.triangles[t].weightpoint() - c) <= 0.5) << int(t);
    const auto before = positions(h);
    EXPECT_EQ(h.Save_gatheredTriangles(), gatheredTriangles().count());
    for (Index<vertex> v : m.vertices) h.vertices[v].position *= 1.5;
    EXPECT_EQ(h.LoadSaved_gatheredTriangles(), gatheredTriangles().count());
    for (Index<vertex> v : m.vertices) {
        bool touched = false;
        auto& ts = h.vertices[v].triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) touched |= isGathered(ts[n]);
        EXPECT_EQ(len(h.vertices[v].position - before.at(v)) < 1e-15, touched) << int(v);
    }
    h.DeleteSaved_gatheredTriangles();
    EXPECT_EQ(h.LoadSaved_gatheredTriangles(), 0);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Gather, EachControlLandsExactlyOnItsTarget) {
    for (int shape = 1; shape <= 4; ++shape) {
        resetModelState();
        head3 h;
        testmesh::Mesh m = testmesh::icosphere(h, 2, 10.0);
        const Index<vertex> pick[3] = {m.vertices[0], m.vertices[3], m.vertices[40]};
        dynarray<T3DControlPoint> controls;
        for (int k = 0; k < 3; ++k) {
            T3DControlPoint& c = controls.add();
            c.start = h.vertices[pick[k]].position;
            c.target = c.start + vector3<double>(0.3 * k, -0.5, 0.2);
            c.radius = 12;
        }
        std::vector<vector3<double>> targets;
        for (const auto& c : controls) targets.push_back(c.target);
        ASSERT_TRUE(CalculateNewPoints(h, &controls, 2, false, shape)) << shape;
        for (int k = 0; k < 3; ++k)
            EXPECT_LT(len(h.vertices[pick[k]].position - targets[k]), 1e-12) << "shape " << shape << " control " << k;
        EXPECT_MODEL_SOUND(h);
    }
}

TEST_F(Gather, CloseControlsUseTheFirstAndSingularSystemsMoveNothing) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 2, 10.0);
    const Index<vertex> v = m.vertices[0];
    dynarray<T3DControlPoint> controls;
    controls.add() = {h.vertices[v].position, h.vertices[v].position + vector3<double>(1, 0, 0), 3};
    controls.add() = {h.vertices[v].position + vector3<double>(0.05, 0, 0),
                      h.vertices[v].position + vector3<double>(0, 5, 0), 3};
    const vector3<double> target = controls[0].target;
    ASSERT_TRUE(CalculateNewPoints(h, &controls, 2, false, 2));
    EXPECT_EQ(controls.size(), 1);
    EXPECT_LT(len(h.vertices[v].position - target), 1e-12);
    // Vertices beyond the radius keep their places.
    int far = 0;
    const auto before = positions(h);
    controls.resize(0);
    controls.add() = {h.vertices[v].position, h.vertices[v].position + vector3<double>(0, 0, 1), 3};
    ASSERT_TRUE(CalculateNewPoints(h, &controls, 2, false, 2));
    for (Index<vertex> w : m.vertices)
        if (len(before.at(w) - before.at(v)) > 3) {
            EXPECT_EQ(len(h.vertices[w].position - before.at(w)), 0.0);
            ++far;
        }
    EXPECT_GT(far, 100);

    const auto still = positions(h);
    const struct {
        int radius, centres;
    } singular[] = {{0, 2}, {-4, 2}, {1, 1}};  // no radius; target beyond its own radius as centre
    for (const auto& s : singular) {
        controls.resize(0);
        controls.add() = {h.vertices[v].position, h.vertices[v].position + vector3<double>(0, 0, 2), s.radius};
        EXPECT_FALSE(CalculateNewPoints(h, &controls, s.centres, false, 3));
        EXPECT_EQ(positions(h), still);
    }
    controls.resize(0);
    EXPECT_FALSE(CalculateNewPoints(h, &controls, 2, false, 3));
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Gather, ShapeFourMovesEveryVertexAndTheFlagKeepsToTheGatheredPatch) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 2, 10.0);
    const Index<vertex> v = m.vertices[0];
    const auto before = positions(h);
    dynarray<T3DControlPoint> controls;
    controls.add() = {before.at(v), before.at(v) + vector3<double>(0, 0, 1), 1};
    ASSERT_TRUE(CalculateNewPoints(h, &controls, 2, false, 4));
    for (Index<vertex> w : m.vertices) EXPECT_GT(len(h.vertices[w].position - before.at(w)), 0.0);

    const auto moved = positions(h);
    h.gatherTriangles2(h.vertices[v].position, 5);
    controls.resize(0);
    controls.add() = {h.vertices[v].position, h.vertices[v].position + vector3<double>(0, 1, 0), 8};
    ASSERT_TRUE(CalculateNewPoints(h, &controls, 2, true, 4));
    int inner = 0;
    for (Index<vertex> w : m.vertices) {
        bool all = true;
        auto& ts = h.vertices[w].triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) all &= isGathered(ts[n]);
        EXPECT_EQ(h.vertices[w].position != moved.at(w), all) << int(w);
        inner += all;
    }
    EXPECT_GT(inner, 3);
    EXPECT_MODEL_SOUND(h);
}

// A closed fixed line along the cube's ring of vertices at height z, with
// nodes at both ends and the closing duplicate.
Index<featureline3> ringLine(head3& h, const testmesh::Mesh& m, double z, bool reversed) {
    std::vector<std::pair<double, int>> ring;
    for (Index<vertex> v : m.vertices) {
        const vector3<double>& p = h.vertices[v].position;
        if (std::fabs(p.z - z) < 1e-9 && (std::fabs(std::fabs(p.x) - 1) < 1e-9 || std::fabs(std::fabs(p.y) - 1) < 1e-9))
            ring.push_back({std::atan2(p.y, p.x), v});
    }
    std::sort(ring.begin(), ring.end());
    if (reversed) std::reverse(ring.begin(), ring.end());
    ring.push_back(ring.front());
    Index<featureline3> L = h.addFeatureline("ring", true);
    for (size_t k = 0; k < ring.size(); ++k) {
        Index<linepoint3> p = h.featurelines[L].add();
        h.featurelines[L][p].vtx = ring[k].second;
        h.featurelines[L][p].kind = (k == 0 || k + 1 == ring.size()) ? 2 : 1;
        add_linepoint(p, L);
    }
    return L;
}

Index<triangle> triangleWithCentroidAbove(const head3& h, const testmesh::Mesh& m, double z) {
    for (Index<triangle> t : m.triangles)
        if (h.triangles[t].weightpoint().z > z) return t;
    return -1;
}

TEST_F(Gather, AClosedLineGathersTheSmallerSideAndBecomesARegion) {
    const struct {
        double ringZ;
        bool reversed;
        bool capAbove;  // which side the set must hold
    } cases[] = {{0.5, false, true}, {0.5, true, true}, {-0.5, false, false}, {-0.5, true, false}};
    for (const auto& c : cases) {
        resetModelState();
        head3 h;
        testmesh::Mesh m = testmesh::subdividedCube(h, 4, 1.0);
        Index<featureline3> L = ringLine(h, m, c.ringZ, c.reversed);
        const int euler = testsupport::eulerCharacteristic(h);
        // Start on the top face in every case; the lower ring flips the fill.
        Index<triangle> start = triangleWithCentroidAbove(h, m, 0.99);
        ASSERT_NE(start, -1);
        ASSERT_EQ(h.generateRegion(-1, L, start), 1) << c.ringZ;
        std::set<int> want;
        for (Index<triangle> t : m.triangles) {
            const double z = h.triangles[t].weightpoint().z;
            if (c.capAbove ? z > c.ringZ : z < c.ringZ) want.insert(t);
        }
        EXPECT_EQ(gatheredSet(), want) << c.ringZ << " " << c.reversed;
        EXPECT_NE(h.featurelines[L].side, 0);
        // The side flag now finds a triangle of the inside by itself.
        Index<triangle> inside = h.triangleInside(L, false);
        EXPECT_TRUE(want.count(inside)) << c.ringZ << " " << c.reversed;

        // The region holds exactly the gathered triangles; whole_head keeps all.
        const Index<region> r = h.regions[h.featurelines[L].regions[h.featurelines[L].regions.first()]].borderLine == L
                                    ? h.featurelines[L].regions[h.featurelines[L].regions.first()]
                                    : Index<region>(-1);
        ASSERT_NE(r, -1);
        std::set<int> inRegion, inWhole;
        for (Index<area> a = h.areas.first(); a != -1; a = h.areas.nextOf(a)) {
            bool ofR = false, ofWhole = false;
            auto& rs = h.areas[a].regions;
            for (int n = rs.first(); n != -1; n = rs.nextOf(n)) ofR |= rs[n] == r, ofWhole |= rs[n] == m.wholeHead;
            auto& ts = h.areas[a].triangles;
            for (int n = ts.first(); n != -1; n = ts.nextOf(n)) {
                if (ofR) inRegion.insert(ts[n]);
                if (ofWhole) inWhole.insert(ts[n]);
            }
        }
        EXPECT_EQ(inRegion, want);
        EXPECT_EQ(inWhole.size(), m.triangles.size());
        EXPECT_EQ(h.getRegion("whole_head", false), m.wholeHead);
        EXPECT_EQ(testsupport::eulerCharacteristic(h), euler);
        EXPECT_MODEL_SOUND(h);
        clean_gatheredTriangles();
    }
}

TEST_F(Gather, OpenLinesMakeNoRegion) {
    head3 h;
    testmesh::Mesh m = testmesh::subdividedCube(h, 2, 1.0);
    Index<featureline3> L = h.addFeatureline("open", true);
    for (int k = 0; k < 3; ++k) {
        Index<linepoint3> p = h.featurelines[L].add();
        h.featurelines[L][p].vtx = m.vertices[k];
        add_linepoint(p, L);
    }
    EXPECT_EQ(h.generateRegion(-1, L, m.triangles[0]), 0);
    EXPECT_EQ(gatheredTriangles().count(), 0);
    EXPECT_MODEL_SOUND(h);
}

// The vertices of the gathered set whose triangles are all gathered.
TEST_F(Gather, GatheredVerticesAreThoseInsideThePatch) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 2, 1.0);
    h.gatherTriangles2({0, 0, 1}, 0.6);
    std::set<int> want;
    for (Index<vertex> v : m.vertices) {
        const auto& ts = h.vertices[v].triangles;
        bool all = ts.count() > 0;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) all = all && isGathered(ts[n]);
        if (all) want.insert(v);
    }
    ASSERT_GT(want.size(), 3u);
    dynarray<Index<vertex> > got(0, 10, 1.25, 0.33);
    EXPECT_EQ(h.gatherVertices(&got), int(want.size()));
    std::set<int> gotSet;
    for (int k = 0; k < got.size(); ++k) gotSet.insert(got[k]);
    EXPECT_EQ(gotSet, want);
    // Each of them lies in the patch: within the radius of the centre plus
    // a triangle.
    for (int v : gotSet) EXPECT_LT(len(h.vertices[v].position - vector3<double>(0, 0, 1)), 1.0);
    EXPECT_EQ(h.gatherVertices(nullptr), int(want.size()));
    clean_gatheredTriangles();
    EXPECT_EQ(h.gatherVertices(&got), 0);
    EXPECT_EQ(got.size(), 0);
}

// After triangles went: empty areas go, and the regions left without areas
// unless a feature table names them.
TEST_F(Gather, CleanRegionsDropsEmptyAreasAndTheirOwnRegions) {
    installFeatureTable(147,
                        "#regions\r\n"
                        "mouth,mouth,color_of_mouth,mouth,szaj,\r\n");
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    const Index<region> mouth = h.addRegion("mouth", true), own = h.addRegion("cheek_patch", true);
    // Two areas of two triangles each, one region on each.
    Index<area> areas[2];
    for (int k = 0; k < 2; ++k) {
        areas[k] = h.areas.add();
        for (int j = 0; j < 2; ++j) {
            const Index<triangle> t = m.triangles[2 * k + j];
            remove_triangle_from_area(t);
            add_triangle_to_area(t, areas[k]);
        }
    }
    add_region_to_area(mouth, areas[0]);
    add_region_to_area(own, areas[1]);
    EXPECT_EQ(h.cleanRegions(), 0);
    for (int k = 0; k < 4; ++k) remove_triangle(m.triangles[k]);
    const int before = h.areas.count();
    EXPECT_EQ(h.cleanRegions(), 1);
    EXPECT_EQ(h.areas.count(), before - 2);
    EXPECT_EQ(h.getRegion("cheek_patch", false), -1);
    EXPECT_EQ(h.getRegion("mouth", false), mouth);
    EXPECT_EQ(h.regions[mouth].areas.count(), 0);
    EXPECT_NE(h.getRegion("whole_head", false), -1);
    EXPECT_MODEL_SOUND(h);
    resetFeatureTables();
}

}  // namespace
