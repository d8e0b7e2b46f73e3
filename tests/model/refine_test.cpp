// Splitting triangles at points and laying feature lines into the mesh.

#include "model/refine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/random.h"
#include "model/featuretables.h"

#include "model/gather.h"
#include "model/head.h"
#include "model/intervals.h"
#include "model/topology.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"
#include "tests/support/model_fixture.h"
#include "tests/support/template_head.h"

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
    EXPECT_MODEL_SOUND(h);
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

std::vector<vector3<double>> pointsOf(const head3& h, Index<featureline3> L) {
    std::vector<vector3<double>> out;
    const featureline3& l = h.featurelines[L];
    for (int p = l.first(); p != -1; p = l.nextOf(p)) out.push_back(l[p].point());
    return out;
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

// A fixed general point becomes rubber at its vertex; only the links of
// that very point move from the vertex to the new edit point.
TEST_F(Refine, MakeRubberMovesOnlyThePointsOwnLinks) {
    head3 h;
    testmesh::Mesh m = testmesh::icosphere(h, 1, 1.0);
    const Index<vertex> v = m.vertices[5];
    // A feature point and a line point on the same vertex.
    Index<featurepoint3> fp = h.addFeaturepoint("", true);
    h.featurepoints[fp].vtx = v;
    add_featurepoint(fp);
    Index<featureline3> L = h.addFeatureline("", true);
    Index<linepoint3> lp = h.featurelines[L].add();
    h.featurelines[L][lp].vtx = v;
    add_linepoint(lp, L);
    EXPECT_EQ(TypeOfLine(lp), 12);
    ASSERT_TRUE(MakeRubber(static_cast<generalpoint3&>(h.featurepoints[fp])));
    EXPECT_TRUE(h.featurepoints[fp].isRubber());
    EXPECT_EQ(h.vertices[v].featurepoint, -1);
    EXPECT_EQ(h.extrapoints[h.featurepoints[fp].extra].featurepoint, fp);
    EXPECT_LT(len(h.featurepoints[fp].point() - h.vertices[v].position), 1e-12);
    // The line point stays fixed where it was.
    EXPECT_TRUE(h.featurelines[L][lp].isFixed());
    EXPECT_EQ(h.vertices[v].linepoints.count(), 1);
    EXPECT_MODEL_SOUND(h);
    ASSERT_TRUE(MakeRubber(lp));
    EXPECT_EQ(TypeOfLine(lp), 11);
    EXPECT_EQ(h.vertices[v].linepoints.count(), 0);
    EXPECT_EQ(h.extrapoints[h.featurelines[L][lp].extra].linepoint, lp);
    EXPECT_MODEL_SOUND(h);
    // makeExtra leaves a rubber point alone; a bare point that is neither
    // is not made rubber.
    const Index<extrapoint> e = h.featurepoints[fp].extra;
    h.featurepoints[fp].makeExtra();
    EXPECT_EQ(h.featurepoints[fp].extra, e);
    generalpoint3 none;
    EXPECT_FALSE(MakeRubber(none));
    EXPECT_EQ(TypeOfLine(-1), 11);
    // A bare fixed point (the view's scratch points) only gets its edit point.
    generalpoint3 bare;
    bare.vtx = m.vertices[7];
    ASSERT_TRUE(MakeRubber(bare));
    EXPECT_LT(len(bare.point() - h.vertices[m.vertices[7]].position), 1e-12);
    EXPECT_EQ(h.extrapoints[bare.extra].linepoint, -1);
    EXPECT_EQ(h.extrapoints[bare.extra].featurepoint, -1);
}

// A fixed line made rubber again: every point rubber where its vertex is,
// the closing duplicate sharing the first point's edit point; it fixes again.
TEST_F(Refine, AFixedLineBecomesRubberAndFixesAgain) {
    const double pi = 3.141592653589793;
    for (bool closed : {false, true}) {
        SCOPED_TRACE(closed);
        resetModelState();
        head3 h;
        testmesh::icosphere(h, 2, 1.0);
        std::vector<vector3<double>> dirs;
        for (int k = 0; k < 6; ++k) dirs.push_back({std::cos(2 * pi * k / 6), std::sin(2 * pi * k / 6), 0.3});
        Index<featureline3> L = rubberLine(h, dirs, closed);
        ASSERT_EQ(h.MakeFix(L, 1, 0.0), 1);
        const std::vector<vector3<double>> fixedAt = pointsOf(h, L);
        const int count = h.featurelines[L].count();
        ASSERT_EQ(h.MakeRubber(L), 1);
        const auto& line = h.featurelines[L];
        EXPECT_EQ(line.count(), count);
        size_t k = 0;
        for (int p = line.first(); p != -1; p = line.nextOf(p), ++k) {
            EXPECT_TRUE(line[p].isRubber());
            EXPECT_EQ(TypeOfLine(p), 11);
            EXPECT_LT(len(line[p].point() - fixedAt[k]), 1e-12);
        }
        EXPECT_EQ(isClosedLine(L), closed);
        if (closed) {
            EXPECT_EQ(line[line.last()].extra, line[line.first()].extra);
        }
        EXPECT_MODEL_SOUND(h);
        ASSERT_EQ(h.MakeFix(L, 1, 0.0), 1);
        expectLaidIn(h, L);
        EXPECT_MODEL_SOUND(h);
    }
}

// ---- the full template head ----

class TemplateRefine : public testsupport::TemplateHeadTest {};

double uniform(fnd::RandomSource& r, double lo, double hi) {
    return lo + (hi - lo) * (r.next() / double(fnd::kRandomMax));
}

// Three to five seeded points on the skin of the face (where rays from the
// front meet skin or lips facing them), 8 to 20 apart, turning a little.
std::vector<std::pair<Index<triangle>, vector3<double>>> randomFacePoints(head3& h, fnd::RandomSource& r) {
    std::vector<std::pair<Index<triangle>, vector3<double>>> at;
    while (at.empty()) {
        const int points = 3 + int(r.next() % 3);
        double x = uniform(r, -45, 45), y = uniform(r, -80, 50), angle = uniform(r, 0, 6.283185307179586);
        for (int k = 0; k < points; ++k) {
            if (k) {
                const double step = uniform(r, 8, 20);
                angle += uniform(r, -0.6, 0.6);
                x += step * std::cos(angle);
                y += step * std::sin(angle);
            }
            Index<triangle> t = -1;
            vector3<double> b;
            const bool skin = h.ProjectOnHeadTowardDirection({x, y, 300}, {0, 0, -1}, &t, &b) &&
                              (h.triangles[t].material == 1 || h.triangles[t].material == 4) &&
                              h.triangles[t]._normalvector().z > 0.3 && testsupport::pointOn(h, t, b).z > 50;
            if (!skin) {
                at.clear();
                break;
            }
            at.push_back({t, b});
        }
    }
    return at;
}

// The edges whose two triangles face away from each other (a fold).
int foldedEdges(const head3& h) {
    std::map<std::pair<int, int>, std::vector<int>> users;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        for (int k = 0; k < 3; ++k) {
            const int a = h.triangles[t].corner(k), b = h.triangles[t].corner((k + 1) % 3);
            users[{std::min(a, b), std::max(a, b)}].push_back(t);
        }
    int n = 0;
    for (const auto& [edge, ts] : users)
        if (ts.size() == 2 && h.triangles[ts[0]]._normalvector() * h.triangles[ts[1]]._normalvector() <= 0) ++n;
    return n;
}

// A line of the given surface points, each rubber (an edit point); the ends
// are nodes.
Index<featureline3> lineThrough(head3& h, const std::vector<std::pair<Index<triangle>, vector3<double>>>& at) {
    Index<featureline3> L = h.addFeatureline("", true);
    for (size_t k = 0; k < at.size(); ++k) {
        Index<linepoint3> p = h.featurelines[L].add();
        h.featurelines[L][p].kind = k == 0 || k + 1 == at.size() ? 2 : 1;
        Index<extrapoint> e = -1;
        set_extrapoint(&e, at[k].first, at[k].second, roughConversion);
        h.featurelines[L][p].extra = e;
        add_linepoint(p, L);
    }
    return L;
}

// The line of table 164 through the head's feature points, each tied to
// the surface at its vertex (rubber), as the automatic lines are made.
Index<featureline3> tableLine(head3& h, const char* name) {
    dynarray<CString> names;
    if (!GetFeatureLinePoints(name, &names)) return -1;
    Index<featureline3> L = h.addFeatureline(name, true);
    for (int k = 0; k < names.size(); ++k) {
        Index<featurepoint3> f = h.getFeaturepoint(names[k], false);
        if (f == -1 || !h.featurepoints[f].isFixed()) return -1;
        Index<linepoint3> p = h.featurelines[L].add();
        h.featurelines[L][p].kind = k == 0 || k + 1 == names.size() ? 2 : 1;
        h.featurelines[L][p].vtx = h.featurepoints[f].vtx;
        add_linepoint(p, L);
        if (!MakeRubber(p)) return -1;
    }
    return L;
}

// A fixed line runs over edges: every point on a vertex, every two
// neighbours on one vertex or the ends of an edge, and the points it was
// made of found along it in their order, each within reach of where it was.
void expectFixedAlong(const head3& h, Index<featureline3> L, const std::vector<vector3<double>>& placed,
                      double reach) {
    const featureline3& l = h.featurelines[L];
    std::vector<vector3<double>> at;
    for (int p = l.first(); p != -1; p = l.nextOf(p)) {
        ASSERT_TRUE(l[p].isFixed());
        ASSERT_FALSE(l[p].isRubber());
        at.push_back(l[p].point());
        const int q = l.nextOf(p);
        if (q != -1 && l[q].vtx != l[p].vtx) {
            EXPECT_TRUE(shareAnEdge(h, l[p].vtx, l[q].vtx))
                << "points " << at.size() - 1 << " and " << at.size() << ", " << len(l[p].point() - l[q].point())
                << " apart";
        }
    }
    size_t from = 0;
    for (size_t k = 0; k < placed.size(); ++k) {
        size_t found = from;
        while (found < at.size() && len(at[found] - placed[k]) > reach) ++found;
        EXPECT_LT(found, at.size()) << "placed point " << k << " is not on the line";
        if (found < at.size()) from = found;
    }
}

// All 13 lines of table 164 fix into the template one after the other,
// each joined over edges through its feature points, the head sound.
TEST_F(TemplateRefine, TheAutomaticLinesFixIntoTheTemplate) {
    head3 h;
    load(h);
    const testsupport::MeshCounts before = testsupport::meshCounts(h);
    int lines = 0;
    const char* const names[] = {"top_line_of_the_left_eye",     "top_line_of_the_right_eye", "bottom_line_of_the_left_eye",
                                 "bottom_line_of_the_right_eye", "top_line_of_mouth",         "bottom_line_of_mouth",
                                 "bridge_to_bottom_nose",        "contour_of_bottom_nose",    "contour_of_chin",
                                 "right_eyebrow",                "left_eyebrow",              "tip_nose_to_mouth",
                                 "contour_of_nose"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const Index<featureline3> L = tableLine(h, name);
        ASSERT_NE(L, -1);
        const std::vector<vector3<double>> placed = pointsOf(h, L);
        ASSERT_EQ(h.MakeFix(L, 1, 0.05), 1);
        expectFixedAlong(h, L, placed, 0.05);
        ++lines;
    }
    EXPECT_EQ(lines, 13);
    EXPECT_MODEL_SOUND(h);
    EXPECT_EQ(testsupport::eulerCharacteristic(h), before.euler());
    EXPECT_EQ(testsupport::meshCounts(h).borderEdges, before.borderEdges);
}

// Seeded lines of three to five points on the skin of the face (where rays
// from the front meet it), ten on each of five heads: each fixes, joined
// over edges through its points, and the head stays sound.
TEST_F(TemplateRefine, RandomFaceLinesFixIntoTheTemplate) {
    fnd::RandomSource r(99);
    int fixed = 0;
    for (int round = 0; round < 5; ++round) {
        resetModelState();
        head3 h;
        load(h);
        const int euler = testsupport::eulerCharacteristic(h);
        for (int n = 0; n < 10; ++n) {
            const std::vector<std::pair<Index<triangle>, vector3<double>>> at = randomFacePoints(h, r);
            SCOPED_TRACE("head " + std::to_string(round) + " line " + std::to_string(n));
            const Index<featureline3> L = lineThrough(h, at);
            const std::vector<vector3<double>> placed = pointsOf(h, L);
            ASSERT_EQ(h.MakeFix(L, 1, 0.05), 1);
            expectFixedAlong(h, L, placed, 0.1);
            ++fixed;
        }
        EXPECT_MODEL_SOUND(h);
        EXPECT_EQ(testsupport::eulerCharacteristic(h), euler);
    }
    EXPECT_EQ(fixed, 50);
}

// Twenty seeded lines fixed with short edges collapsed (0.05 and 0.5): no
// collapse leaves a flat triangle or folds the surface, whether or not the
// line could be fixed whole.
TEST_F(TemplateRefine, CollapsesAlongFixedLinesNeitherFlattenNorFold) {
    for (double shortest : {0.05, 0.5}) {
        SCOPED_TRACE(shortest);
        resetModelState();
        head3 h;
        load(h);
        const int folded = foldedEdges(h);
        fnd::RandomSource r(3);
        int fixed = 0;
        for (int n = 0; n < 20; ++n) fixed += h.MakeFix(lineThrough(h, randomFacePoints(h, r)), 1, shortest);
        EXPECT_GE(fixed, 15);
        EXPECT_MODEL_SOUND(h);
        EXPECT_LE(foldedEdges(h), folded);
    }
}

// Points on the border of a gathered patch (the triangles within 25 of the
// nose tip), seeded along its border edges: every split keeps the surface
// a sound, consistently oriented 2-manifold with its Euler characteristic.
TEST_F(TemplateRefine, SplitsOnTheGatheredBorderKeepTheSurfaceSound) {
    head3 h;
    load(h);
    const int euler = testsupport::eulerCharacteristic(h);
    const vector3<double> tip = h.featurepoints[h.getFeaturepoint("tip_of_the_nose", false)].point();
    h.gatherTriangles2(tip, 25);
    ASSERT_GT(gatheredTriangles().count(), 100);
    fnd::RandomSource r(5);
    int inserted = 0;
    for (int k = 0; k < 400; ++k) {
        std::vector<std::pair<Index<triangle>, int>> border;
        auto& g = gatheredTriangles();
        for (int n = g.first(); n != -1; n = g.nextOf(n)) {
            const Index<triangle> t = g[n];
            for (int e = 0; e < 3; ++e) {
                const Index<triangle> across =
                    triangleAcrossEdge(t, h.triangles[t].corner(e), h.triangles[t].corner((e + 1) % 3));
                if (across != -1 && !isGathered(across)) border.push_back({t, e});
            }
        }
        ASSERT_FALSE(border.empty());
        const auto [t, e] = border[r.next() % border.size()];
        const double s = uniform(r, 0.1, 0.9);
        double w[3] = {0, 0, 0};
        w[e] = 1 - s;
        w[(e + 1) % 3] = s;
        generalpoint3 g3;
        set_extrapoint(&g3.extra, t, {w[0], w[1], w[2]}, roughConversion);
        const vector3<double> at = h.extrapoints[g3.extra].position;
        ASSERT_TRUE(MakeFix(g3, 0)) << k;
        EXPECT_LT(len(h.vertices[g3.vtx].position - at), 1e-9) << k;
        EXPECT_GT(h.vertices[g3.vtx].triangles.count(), 0) << k;
        ++inserted;
    }
    EXPECT_EQ(inserted, 400);
    EXPECT_MODEL_SOUND(h);
    EXPECT_EQ(testsupport::eulerCharacteristic(h), euler);
    for (Index<vertex> v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        EXPECT_GT(h.vertices[v].triangles.count(), 0) << int(v);
}

}  // namespace
