// Links on both sides after every operation: fans, deletions, edge
// collapses and region changes, also in long seeded random sequences.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/random.h"
#include "model/head.h"
#include "model/octree.h"
#include "model/topology.h"
#include "tests/model/feature_fixtures.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/template_head.h"
#include "tests/support/test_meshes.h"

namespace {

using Topology = fixtures::TablesTest;

std::vector<int> listOf(const commonlistindex<triangle>& l) {
    std::vector<int> out;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) out.push_back(l[n]);
    return out;
}

bool inFanOrder(Index<vertex> v, bool closed) {
    std::vector<int> l = listOf(v.data().triangles);
    for (size_t k = 0; k + 1 < l.size(); ++k)
        if (relation_of_triangles_around_vertex(v, l[k], l[k + 1]) != -1) return false;
    return !closed || relation_of_triangles_around_vertex(v, l.front(), l.back()) == 1;
}

// The mirror of every vertex across x = 0 (the icosphere is symmetric).
void pairMirrors(head3& h) {
    std::map<std::tuple<long, long, long>, int> at;
    auto key = [](const vector3<double>& p) {
        return std::make_tuple(std::lround(p.x * 1e6), std::lround(p.y * 1e6), std::lround(p.z * 1e6));
    };
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) at[key(h.vertices[v].position)] = v;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vector3<double> p = h.vertices[v].position;
        p.x = -p.x;
        h.vertices[v].mirror = at.at(key(p));
    }
}

Index<featurepoint3> placeFixed(head3& h, const char* name, Index<vertex> v) {
    Index<featurepoint3> p = h.getFeaturepoint(name, false);
    h.featurepoints[p].vtx = v;
    add_featurepoint(p);
    return p;
}

Index<featurepoint3> placeRubber(head3& h, const char* name, Index<triangle> t) {
    Index<featurepoint3> p = h.getFeaturepoint(name, false);
    Index<extrapoint> e = -1;
    set_extrapoint(&e, t, {0.3, 0.3, 0.4}, 1);
    h.featurepoints[p].extra = e;
    add_featurepoint(p);
    return p;
}

Index<linepoint3> appendFixed(head3& h, Index<featureline3> l, Index<vertex> v) {
    Index<linepoint3> q = h.featurelines[l].add();
    h.featurelines[l][q].vtx = v;
    add_linepoint(q, l);
    return q;
}

Index<linepoint3> appendRubber(head3& h, Index<featureline3> l, Index<triangle> t) {
    Index<extrapoint> e = -1;
    set_extrapoint(&e, t, {0.2, 0.5, 0.3}, 1);
    Index<linepoint3> q = h.featurelines[l].add();
    h.featurelines[l][q].extra = e;
    add_linepoint(q, l);
    return q;
}

Index<vertex> neighbourOf(Index<vertex> v) {
    const triangle& t = v.data().triangles[v.data().triangles.first()].data();
    return t.a != v ? t.a : t.b;
}

// The checker itself sees broken links.
TEST_F(Topology, CheckerSeesBrokenLinks) {
    head3 h;
    Index<area> a = testmesh::addShape(h, testmesh::icosphereShape(0));
    h.post2_read();
    auto sound = [&h] { return testsupport::modelInvariantErrors(h).empty(); };
    ASSERT_TRUE(sound());
    Index<vertex> v = h.vertices.first();
    h.vertices[v].triangles.add_data(h.vertices[v].triangles[h.vertices[v].triangles.first()]);
    EXPECT_FALSE(sound());  // a triangle twice in a corner's list
    h.vertices[v].triangles.remove_first_index();
    EXPECT_TRUE(sound());
    h.areas[a].regions.add_data(h.getRegion("mouth", false));
    EXPECT_FALSE(sound());  // one-sided region link
    h.areas[a].regions.remove_all();
    Index<featurepoint3> p = placeFixed(h, "tip_of_the_nose", v);
    EXPECT_TRUE(sound());
    h.featurepoints[p].extra = h.extrapoints.add();
    EXPECT_FALSE(sound());  // both fixed and rubber
    h.extrapoints.remove_index(h.featurepoints[p].extra);
    h.featurepoints[p].extra = -1;
    h.vertices[h.vertices.last()].mirror = v;
    EXPECT_FALSE(sound());  // a mirror that does not point back
}

TEST_F(Topology, FanOrderAndWalk) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(1));
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        // Reverse the list, then order it again.
        std::vector<int> l = listOf(h.vertices[v].triangles);
        std::reverse(l.begin(), l.end());
        int k = 0;
        auto& list = h.vertices[v].triangles;
        for (int n = list.first(); n != -1; n = list.nextOf(n)) list[n] = l[k++];
        ASSERT_EQ(order_trianges_of_vertex(v), 1);
        EXPECT_TRUE(inFanOrder(v, true));
        // The walk meets every neighbour once.
        std::set<int> seen;
        int node = -1;
        Index<vertex> w = -1;
        aroundNextTrianglesVertex(&node, &w, v);
        int firstW = w;
        do {
            EXPECT_TRUE(seen.insert(w).second);
            aroundNextTrianglesVertex(&node, &w, v);
        } while (w != firstW && seen.size() < 20);
        EXPECT_EQ(seen.size(), l.size());
    }
    EXPECT_EQ(order_trianges_of_vertex(-1), 0);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, OpenFanStartsAtItsBorder) {
    head3 h;
    Index<area> a = h.areas.add();
    // A fan of three triangles around c, open between r0 and r3.
    int c = testmesh::addVertex(h, {0, 0, 0});
    int r[4];
    for (int k = 0; k < 4; ++k) r[k] = testmesh::addVertex(h, {std::cos(k * 0.8), std::sin(k * 0.8), 0});
    int t2 = testmesh::addTriangle(h, a, c, r[2], r[3]);
    int t0 = testmesh::addTriangle(h, a, c, r[0], r[1]);
    int t1 = testmesh::addTriangle(h, a, c, r[1], r[2]);
    EXPECT_EQ(order_trianges_of_vertex(c), 0);
    EXPECT_EQ(listOf(h.vertices[c].triangles), (std::vector<int>{t0, t1, t2}));
    // An edge with one triangle does not collapse.
    EXPECT_EQ(unifyVertex(r[0], c), 0);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, RemovedTablePointComesBackUnplaced) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(1));
    h.post2_read();
    Index<featurepoint3> p = placeFixed(h, "tip_of_the_nose", h.vertices.first());
    Index<region> mouth = h.getRegion("mouth", false);
    ASSERT_EQ(h.featurepoints[p].regions.count(), 1);
    RemoveFeaturepoint(p);
    Index<featurepoint3> again = h.getFeaturepoint("tip_of_the_nose", false);
    ASSERT_NE(again, -1);
    EXPECT_FALSE(h.featurepoints[again].isFixed());
    EXPECT_EQ(h.vertices[h.vertices.first()].featurepoint, -1);
    EXPECT_EQ(h.featurepoints[again].regions.count(), 1);
    EXPECT_EQ(h.regions[mouth].points.count(), 3);  // every table point names it
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, TriangleWithRubberLinePointTakesTheLine) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(1));
    h.post2_read();
    Index<featureline3> l = h.getFeatureline("top_line_of_mouth", false);
    int t = h.triangles.first();
    appendFixed(h, l, h.vertices.first());
    appendRubber(h, l, t);
    appendRubber(h, l, h.triangles.nextOf(t));
    int edits = h.extrapoints.count();
    remove_triangle(t);
    Index<featureline3> again = h.getFeatureline("top_line_of_mouth", false);
    ASSERT_NE(again, -1);
    EXPECT_EQ(h.featurelines[again].count(), 0);
    EXPECT_EQ(h.extrapoints.count(), edits - 2);
    EXPECT_EQ(h.featurelines[again].mirror, again);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, ClosedLineWrapsAndSharesItsFirstPoint) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(1));
    h.post2_read();
    Index<featureline3> l = h.getFeatureline("left_eyebrow", false);
    int t = h.triangles.first();
    Index<linepoint3> q0 = appendRubber(h, l, t);
    Index<linepoint3> q1 = appendFixed(h, l, h.vertices.first());
    Index<linepoint3> q2 = appendRubber(h, l, h.triangles.nextOf(t));
    Index<linepoint3> dup = h.featurelines[l].add();
    h.featurelines[l][dup].extra = h.featurelines[l][q0].extra;
    add_linepoint(dup, l);
    EXPECT_TRUE(isClosedLine(l));
    EXPECT_EQ(next_linepoint(dup), q1);
    EXPECT_EQ(previous_linepoint(q0), q2);
    EXPECT_EQ(next_linepoint(q1), q2);
    EXPECT_MODEL_SOUND(h);
    int edits = h.extrapoints.count();
    RemoveFeatureline(l);
    EXPECT_EQ(h.extrapoints.count(), edits - 2);  // the shared point once
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, OneEditPointCarryingAPointAndALineLosesBoth) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(1));
    h.post2_read();
    Index<featurepoint3> p = placeRubber(h, "tip_of_the_nose", h.triangles.first());
    Index<extrapoint> e = h.featurepoints[p].extra;
    Index<featureline3> l = h.getFeatureline("left_eyebrow", false);
    Index<linepoint3> q = h.featurelines[l].add();
    h.featurelines[l][q].extra = e;
    add_linepoint(q, l);
    appendFixed(h, l, h.vertices.first());
    EXPECT_MODEL_SOUND(h);
    remove_extrapoint(e, true);
    EXPECT_FALSE(h.featurepoints[h.getFeaturepoint("tip_of_the_nose", false)].isRubber());
    EXPECT_EQ(h.featurelines[h.getFeatureline("left_eyebrow", false)].count(), 0);
    EXPECT_EQ(h.extrapoints.count(), 0);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, RemovedElementsLeaveNoLinksBehind) {
    head3 h;
    Index<area> a = testmesh::addShape(h, testmesh::icosphereShape(1));
    h.post2_read();
    // A region over the area, its line as border, a quad pair and a mirror pair.
    Index<region> mouth = h.getRegion("mouth", false);
    add_region_to_area(mouth, a);
    h.regions[mouth].borderLine = h.getFeatureline("top_line_of_mouth", false);
    int t0 = h.triangles.first(), t1 = h.triangles.nextOf(t0), t2 = h.triangles.nextOf(t1);
    h.triangles[t0].quadPartner = t1;
    h.triangles[t1].mirror = t2;
    h.triangles[t2].mirror = t1;
    EXPECT_MODEL_SOUND(h);
    remove_triangle(t1);
    EXPECT_EQ(h.triangles[t0].quadPartner, -1);
    EXPECT_EQ(h.triangles[t2].mirror, -1);
    EXPECT_MODEL_SOUND(h);

    EXPECT_EQ(RemoveRegion(mouth), 1);
    EXPECT_EQ(h.areas[a].regions.count(), 0);
    EXPECT_EQ(h.getRegion("mouth", false), -1);
    EXPECT_EQ(h.regions[h.getRegion("mouth_0", false)].lines.count(), 1);  // the border line came back
    EXPECT_EQ(RemoveRegion(-1), 0);
    EXPECT_MODEL_SOUND(h);

    // A vertex takes its triangles, its lines and its point with it.
    Index<vertex> v = h.vertices.first();
    placeFixed(h, "tip_of_the_nose", v);
    appendFixed(h, h.getFeatureline("left_eyebrow", false), v);
    appendFixed(h, h.getFeatureline("left_eyebrow", false), neighbourOf(v));
    int fan = h.vertices[v].triangles.count();
    int before = h.triangles.count();
    remove_vertex(v);
    EXPECT_EQ(h.triangles.count(), before - fan);
    EXPECT_EQ(h.featurelines[h.getFeatureline("left_eyebrow", false)].count(), 0);
    EXPECT_FALSE(h.featurepoints[h.getFeaturepoint("tip_of_the_nose", false)].isFixed());
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, CollapseKeepsEulerCharacteristicAndMovesThePoint) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(2));
    pairMirrors(h);
    ASSERT_EQ(testsupport::eulerCharacteristic(h), 2);
    EXPECT_MODEL_SOUND(h);
    h.post2_read();
    // A vertex off the middle with a neighbour off the middle.
    Index<vertex> a = -1, b = -1;
    for (int v = h.vertices.first(); v != -1 && a == -1; v = h.vertices.nextOf(v)) {
        if (std::fabs(h.vertices[v].position.x) < 0.1) continue;
        Index<vertex> n = neighbourOf(v);
        if (std::fabs(h.vertices[n].position.x) < 0.1) continue;
        a = v, b = n;
    }
    ASSERT_NE(a, -1);
    Index<featurepoint3> p = placeFixed(h, "left_corner_of_the_mouth", a);
    int vertices = h.vertices.count(), triangles = h.triangles.count();
    ASSERT_EQ(unifyVertex(a, b), 1);
    EXPECT_EQ(h.vertices.count(), vertices - 2);  // and the mirror edge
    EXPECT_EQ(h.triangles.count(), triangles - 4);
    EXPECT_EQ(testsupport::eulerCharacteristic(h), 2);
    EXPECT_EQ(h.featurepoints[p].vtx, b);
    EXPECT_TRUE(inFanOrder(b, true));
    EXPECT_MODEL_SOUND(h);
}

TEST_F(Topology, CollapseOntoAPointDeletesTheOther) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(2));
    h.post2_read();
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) order_trianges_of_vertex(v);
    Index<vertex> a = h.vertices.first(), b = neighbourOf(a);
    Index<featurepoint3> onA = placeFixed(h, "left_corner_of_the_mouth", a);
    Index<featurepoint3> onB = placeFixed(h, "tip_of_the_nose", b);
    ASSERT_EQ(unifyVertex(a, b), 1);
    EXPECT_EQ(h.vertices[b].featurepoint, onB);
    Index<featurepoint3> again = h.getFeaturepoint("left_corner_of_the_mouth", false);
    ASSERT_NE(again, -1);
    EXPECT_FALSE(h.featurepoints[again].isFixed());
    // Made again with its table links: mirror both ways, its regions.
    Index<featurepoint3> right = h.getFeaturepoint("right_corner_of_the_mouth", false);
    EXPECT_EQ(h.featurepoints[again].mirror, right);
    EXPECT_EQ(h.featurepoints[right].mirror, again);
    EXPECT_EQ(h.featurepoints[again].regions.count(), 2);
    (void)onA;
    EXPECT_EQ(testsupport::eulerCharacteristic(h), 2);
    EXPECT_MODEL_SOUND(h);
}

// Seeded random edits on a closed mesh with points, lines and regions; the
// links are checked after every step.
struct RandomEdits {
    head3& h;
    fnd::RandomSource r;
    std::vector<std::string> log;

    int pick(int n) { return n > 0 ? r.next() % n : 0; }
    template <class C>
    int any(const C& c) {
        std::vector<int> m;
        for (int k = c.first(); k != -1; k = c.nextOf(k)) m.push_back(k);
        return m.empty() ? -1 : m[pick(int(m.size()))];
    }
    Index<vertex> anyNeighbour(Index<vertex> v) {
        auto& l = h.vertices[v].triangles;
        if (l.count() == 0) return -1;
        std::vector<int> ts = listOf(l);
        const triangle& t = h.triangles[ts[pick(int(ts.size()))]];
        Index<vertex> c[3] = {t.a, t.b, t.c};
        Index<vertex> w = c[pick(3)];
        return w == v ? (c[0] == v ? c[1] : c[0]) : w;
    }

    // Points and lines on the surface again.
    void place() {
        int p = any(h.featurepoints);
        if (p == -1 || h.featurepoints[p].isFixed() || h.featurepoints[p].isRubber()) return;
        if (pick(2)) {
            int t = any(h.triangles);
            if (t != -1) placeRubber(h, h.featurepoints[p].name(), t);
        } else {
            int v = any(h.vertices);
            if (v != -1 && h.vertices[v].featurepoint == -1 && h.vertices[v].triangles.count() > 0)
                placeFixed(h, h.featurepoints[p].name(), v);
        }
        int l = any(h.featurelines);
        if (l == -1) return;
        for (int k = 0; k < 3; ++k) {
            if (pick(2)) {
                int t = any(h.triangles);
                if (t != -1) appendRubber(h, l, t);
            } else {
                int v = any(h.vertices);
                if (v != -1 && h.vertices[v].triangles.count() > 0) appendFixed(h, l, v);
            }
        }
    }

    bool step(bool collapsesOnly) {
        int op = collapsesOnly ? (pick(4) == 0 ? 7 : 2) : pick(9);
        switch (op) {
            case 0: {
                int t = any(h.triangles);
                log.push_back("remove_triangle " + std::to_string(t));
                remove_triangle(t);
                break;
            }
            case 1: {
                int v = any(h.vertices);
                log.push_back("remove_vertex " + std::to_string(v));
                remove_vertex(v);
                break;
            }
            case 2: {
                int a = any(h.vertices);
                if (a == -1) break;
                Index<vertex> b = anyNeighbour(a);
                log.push_back("unifyVertex " + std::to_string(a) + " " + std::to_string(b));
                int before = testsupport::eulerCharacteristic(h);
                unifyVertex(a, b);
                if (collapsesOnly && testsupport::eulerCharacteristic(h) != before) {
                    ADD_FAILURE() << "Euler characteristic changed by " << log.back();
                    return false;
                }
                break;
            }
            case 3: {
                int rg = any(h.regions);
                if (rg == -1) break;
                std::string name = h.regions[rg].name();
                log.push_back("RemoveRegion " + name);
                RemoveRegion(rg);
                // The region comes back over a random area.
                h.addRegion(name.c_str(), false);
                addRegions(name.c_str());
                int a = any(h.areas);
                if (a != -1) add_region_to_area(h.getRegion(name.c_str(), false), a);
                break;
            }
            case 4: {
                int p = any(h.featurepoints);
                log.push_back("RemoveFeaturepoint " + std::to_string(p));
                RemoveFeaturepoint(p);
                break;
            }
            case 5: {
                int l = any(h.featurelines);
                log.push_back("RemoveFeatureline " + std::to_string(l));
                RemoveFeatureline(l);
                break;
            }
            case 6: {
                int e = any(h.extrapoints);
                log.push_back("remove_extrapoint " + std::to_string(e));
                remove_extrapoint(e, true);
                break;
            }
            case 7:
                log.push_back("place");
                place();
                break;
            case 8:
                log.push_back("cleanAreas");
                h.cleanAreas();
                break;
        }
        auto errors = testsupport::modelInvariantErrors(h);
        if (!errors.empty()) {
            std::string text;
            for (size_t k = log.size() > 5 ? log.size() - 5 : 0; k < log.size(); ++k) text += log[k] + "\n";
            ADD_FAILURE() << "after\n" << text << "first error: " << errors[0];
            return false;
        }
        return true;
    }
};

void prepare(head3& h) {
    Index<area> a = h.areas.first();
    h.post2_read();
    add_region_to_area(h.getRegion("mouth", false), a);
    Index<area> b = h.areas.add();
    add_region_to_area(h.getRegion("left_eye", false), b);
    // Half the triangles into the second area.
    int k = 0;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        if (k++ % 2) {
            remove_triangle_from_area(t);
            add_triangle_to_area(t, b);
        }
    h.SetMinMaxOctree(false);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) order_trianges_of_vertex(v);
}

TEST_F(Topology, RandomDeletionsCollapsesAndRegionChanges) {
    for (unsigned seed : {1u, 2u, 3u}) {
        resetModelState();
        fixtures::installSmallTables();
        head3 h;
        testmesh::addShape(h, testmesh::icosphereShape(2));
        pairMirrors(h);
        prepare(h);
        RandomEdits edits{h, fnd::RandomSource(seed), {}};
        for (int k = 0; k < 40; ++k) edits.place();
        ASSERT_TRUE(testsupport::modelInvariantErrors(h).empty());
        for (int k = 0; k < 400 && h.triangles.count() > 0; ++k)
            if (!edits.step(false)) return;
    }
}

TEST_F(Topology, RandomCollapsesKeepAClosedSurface) {
    for (unsigned seed : {4u, 5u}) {
        resetModelState();
        fixtures::installSmallTables();
        head3 h;
        testmesh::addShape(h, testmesh::icosphereShape(2));
        pairMirrors(h);
        prepare(h);
        RandomEdits edits{h, fnd::RandomSource(seed), {}};
        for (int k = 0; k < 30; ++k) edits.place();
        for (int k = 0; k < 300; ++k)
            if (!edits.step(true)) return;
        EXPECT_EQ(testsupport::eulerCharacteristic(h), 2);
        EXPECT_LT(h.vertices.count(), 162);
        // Collapses keep every fan in order.
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
            EXPECT_TRUE(inFanOrder(v, true)) << v;
    }
}

// ---- collapses that the geometry forbids ----

// The positions, corners and mirror links of a head, to see that nothing
// changed.
struct Snapshot {
    std::vector<std::tuple<int, double, double, double, int>> vertices;
    std::vector<std::tuple<int, int, int, int>> triangles;
    explicit Snapshot(const head3& h) {
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
            const vector3<double>& p = h.vertices[v].position;
            vertices.emplace_back(v, p.x, p.y, p.z, int(h.vertices[v].mirror));
        }
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
            triangles.emplace_back(t, int(h.triangles[t].a), int(h.triangles[t].b), int(h.triangles[t].c));
    }
    bool operator==(const Snapshot& o) const { return vertices == o.vertices && triangles == o.triangles; }
};

// Whether moving a onto b turns over or flattens one of a's other
// triangles, worked out here from the positions.
bool foldsOrFlattens(const head3& h, Index<vertex> a, Index<vertex> b) {
    const auto& l = h.vertices[a].triangles;
    for (int n = l.first(); n != -1; n = l.nextOf(n)) {
        const triangle& t = h.triangles[l[n]];
        if (t.a == b || t.b == b || t.c == b) continue;
        vector3<double> p[3], q[3];
        for (int k = 0; k < 3; ++k) {
            p[k] = h.vertices[t.corner(k)].position;
            q[k] = t.corner(k) == a ? h.vertices[b].position : p[k];
        }
        const vector3<double> before = (p[1] - p[0]) % (p[2] - p[0]), after = (q[1] - q[0]) % (q[2] - q[0]);
        if (before * after <= 0 || after.length() <= 2e-10) return true;
    }
    return false;
}

// A collapse that would turn a triangle over, or leave one flat, is refused
// like an impossible one, and nothing changes.
TEST_F(Topology, CollapseThatFoldsOrFlattensIsRefused) {
    for (int variant = 0; variant < 2; ++variant) {
        SCOPED_TRACE(variant);
        resetModelState();
        fixtures::installSmallTables();
        head3 h;
        testmesh::addShape(h, testmesh::icosphereShape(2));
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) order_trianges_of_vertex(v);
        const Index<vertex> a = h.vertices.first(), b = neighbourOf(a);
        // b moved: through a to its far side (turns a triangle of a over), or
        // onto the line through two other neighbours of a (flattens one).
        const vector3<double> pa = h.vertices[a].position, pb = h.vertices[b].position;
        if (variant == 0) {
            h.vertices[b].position = pa - (pb - pa) * 2.0;
        } else {
            const auto& l = h.vertices[a].triangles;
            for (int n = l.first(); n != -1; n = l.nextOf(n)) {
                const triangle& t = h.triangles[l[n]];
                if (t.a == b || t.b == b || t.c == b) continue;
                Index<vertex> x = -1, y = -1;
                for (int k = 0; k < 3; ++k)
                    if (t.corner(k) != a) (x == -1 ? x : y) = t.corner(k);
                h.vertices[b].position = h.vertices[x].position + (h.vertices[y].position - h.vertices[x].position) * 2.0;
                break;
            }
        }
        ASSERT_TRUE(foldsOrFlattens(h, a, b));
        const Snapshot before(h);
        EXPECT_EQ(unifyVertex(a, b), 0);
        EXPECT_TRUE(Snapshot(h) == before);
    }
}

// With mirror links both edges are checked before anything changes: where
// the two collapses would touch each other, or the mirror one is not
// possible, the head stays as it was.
TEST_F(Topology, MirrorCollapseIsCheckedBeforeAnythingChanges) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(2));
    pairMirrors(h);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) order_trianges_of_vertex(v);
    int refused = 0, collapsed = 0;
    for (int v = h.vertices.first(); v != -1 && refused < 3; v = h.vertices.nextOf(v)) {
        const double x = h.vertices[v].position.x;
        if (x < 0.05 || x > 0.4) continue;  // near the middle, off it
        const auto& l = h.vertices[v].triangles;
        for (int n = l.first(); n != -1; n = l.nextOf(n)) {
            const triangle& t = h.triangles[l[n]];
            for (int k = 0; k < 3; ++k) {
                const Index<vertex> w = t.corner(k);
                if (w == v || h.vertices[w].mirror == w || h.vertices[w].mirror == v) continue;
                if (h.vertices[w].position.x <= 0) continue;
                const Snapshot before(h);
                const int vertices = h.vertices.count();
                const bool pair = h.vertices[v].mirror != -1 && h.vertices[w].mirror != -1;
                if (unifyVertex(v, w) == 0) {
                    EXPECT_EQ(h.vertices.count(), vertices) << v << " " << w;
                    EXPECT_TRUE(Snapshot(h) == before) << v << " " << w;
                    ++refused;
                } else {
                    EXPECT_EQ(h.vertices.count(), vertices - (pair ? 2 : 1)) << v << " " << w;
                    ++collapsed;
                }
                EXPECT_MODEL_SOUND(h);
                // Every pair of mirror images still lies mirrored.
                for (int m = h.vertices.first(); m != -1; m = h.vertices.nextOf(m)) {
                    const Index<vertex> o = h.vertices[m].mirror;
                    if (o == -1) continue;
                    const vector3<double> p = h.vertices[m].position, q = h.vertices[o].position;
                    EXPECT_NEAR(p.x, -q.x, 1e-9);
                    EXPECT_NEAR(p.y, q.y, 1e-9);
                }
                goto next;
            }
        }
    next:;
    }
    EXPECT_GT(refused, 0);
}

// On the template with filled mirror links, seeded collapses either happen
// on both sides or leave the head as it was; the head stays symmetric.
TEST(TemplateTopology, RandomCollapsesWithMirrorLinksKeepTheHeadSymmetric) {
    resetModelState();
    fakes::Services services;
    services.app.state().pictureEditor = 0;
    {
        head3 h;
        ASSERT_TRUE(testsupport::readTemplateHead(h));
        h.set_actual();
        h.SetMinMaxOctree(false);
        std::map<std::tuple<long, long, long>, int> at;
        auto key = [](const vector3<double>& p) {
            return std::make_tuple(std::lround(p.x * 1e3), std::lround(p.y * 1e3), std::lround(p.z * 1e3));
        };
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) at[key(h.vertices[v].position)] = v;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
            vector3<double> p = h.vertices[v].position;
            p.x = -p.x;
            auto it = at.find(key(p));
            if (it != at.end()) h.vertices[v].mirror = it->second;
        }
        // Only two-sided pairs stay.
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
            const Index<vertex> m = h.vertices[v].mirror;
            if (m != -1 && h.vertices[m].mirror != v) h.vertices[v].mirror = -1;
        }
        std::vector<int> all;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) all.push_back(v);
        fnd::RandomSource r(11);
        int done = 0, refused = 0;
        for (int k = 0; k < 700; ++k) {
            const Index<vertex> a = all[r.next() % all.size()];
            if (h.vertices.pool()->isFree(a) || h.vertices[a].triangles.count() == 0) continue;
            const auto& l = h.vertices[a].triangles;
            const triangle& t = h.triangles[l[l.first()]];
            const Index<vertex> b = t.a != a ? t.a : t.b;
            const int vertices = h.vertices.count();
            const bool pair = h.vertices[a].mirror != -1 && h.vertices[a].mirror != a && h.vertices[b].mirror != -1 &&
                              h.vertices[b].mirror != b && h.vertices[a].mirror != b;
            const Snapshot before(h);
            if (unifyVertex(a, b)) {
                ++done;
                EXPECT_EQ(h.vertices.count(), vertices - (pair ? 2 : 1)) << k;
            } else {
                ++refused;
                EXPECT_EQ(h.vertices.count(), vertices) << k;
                EXPECT_TRUE(Snapshot(h) == before) << k;
            }
        }
        EXPECT_GT(done, 100);
        EXPECT_MODEL_SOUND(h);
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
            const Index<vertex> m = h.vertices[v].mirror;
            if (m == -1) continue;
            ASSERT_EQ(h.vertices[m].mirror, v);
            const vector3<double> p = h.vertices[v].position, q = h.vertices[m].position;
            EXPECT_NEAR(p.x, -q.x, 1e-9);
            EXPECT_NEAR(p.y, q.y, 1e-9);
            EXPECT_NEAR(p.z, q.z, 1e-9);
        }
    }
    resetModelState();
}

}  // namespace
