// The triangle octree against a brute-force search over every triangle, and
// its upkeep when triangles come and go.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation/numeric.h"
#include "foundation/random.h"
#include "model/head.h"
#include "model/octree.h"
#include "model/topology.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"
#include "tests/support/model_fixture.h"
#include "tests/support/template_head.h"

namespace {

class Octree : public testsupport::ModelTest {};

double uniform(fnd::RandomSource& r, double lo, double hi) {
    return lo + (hi - lo) * (r.next() / double(fnd::kRandomMax));
}

// Seeded rays from a shell of radius 3 towards points in a box that is a
// little wider than the mesh, so some rays miss, against a plain
// intersection with every triangle: where the ray meets the mesh the tree
// gives the nearest triangle it meets, at the same distance, whatever the
// length of the direction; elsewhere nothing, or a near-miss within 1 % of
// a triangle's edge in front of the start.
void compareWithBruteForce(head3& h, int rays, unsigned seed) {
    testsupport::RayOverAllTriangles brute(h);
    fnd::RandomSource r(seed);
    int hits = 0, misses = 0;
    const double lengths[] = {1.0, 0.01, 100.0};
    for (int k = 0; k < rays; ++k) {
        vector3<double> P(uniform(r, -1, 1), uniform(r, -1, 1), uniform(r, -1, 1));
        P = P * (3.0 / std::max(P.length(), 1e-6));
        vector3<double> target(uniform(r, -1.4, 1.4), uniform(r, -1.4, 1.4), uniform(r, -1.4, 1.4));
        const vector3<double> u = (target - P) / (target - P).length();
        double wantT;
        const int want = brute.first(P, u, &wantT, nullptr);
        for (double length : lengths) {
            vector3<double> b, hit;
            const int tree = h.octree().getfirstOnRay(P, u * length, 0.0, &b, &hit);
            // A sane head is far from the walk's bound.
            ASSERT_LT(h.octree().lastWalkSteps(), octtree::kMaxWalkSteps / 16);
            if (want != -1) {
                ASSERT_NE(tree, -1) << "ray " << k << " length " << length;
                EXPECT_NEAR((hit - P) * u, wantT, 1e-9) << "ray " << k << " length " << length;
                EXPECT_GE(std::min({b.x, b.y, b.z}), -1e-9) << "ray " << k;
                EXPECT_NEAR(b.x + b.y + b.z, 1.0, 1e-9);
                EXPECT_LT((testsupport::pointOn(h, tree, b) - hit).length(), 1e-9);
            } else if (tree != -1) {
                EXPECT_LT(std::min({b.x, b.y, b.z}), 0.0) << "ray " << k;
                EXPECT_GE(std::min({b.x, b.y, b.z}), -0.01) << "ray " << k;
                EXPECT_GE((hit - P) * u, 0.0) << "ray " << k;
            }
        }
        (want != -1 ? hits : misses)++;
    }
    EXPECT_GT(hits, rays / 4);
    EXPECT_GT(misses, 0);
}

// The whole tree as numbers: every live cell in order with its parent,
// children and triangles in the order a walk takes them, every triangle's
// cells in the order it went into them, and the fill's two size limits.
uint64_t treeFingerprint(head3& h) {
    uint64_t f = 0xcbf29ce484222325ull;
    auto add = [&f](uint64_t v) {
        for (int b = 0; b < 8; ++b) f = (f ^ ((v >> (8 * b)) & 0xFF)) * 0x100000001b3ull;
    };
    auto addDouble = [&add](double d) {
        uint64_t v;
        std::memcpy(&v, &d, sizeof v);
        add(v);
    };
    octtree& tree = h.octree();
    const auto& cells = tree.cellChain();
    add(uint64_t(cells.count()));
    add(uint64_t(int(tree.root())));
    for (int c = cells.first(); c != -1; c = cells.nextOf(c)) {
        const octtree_rec& cell = cells[c];
        add(uint64_t(c));
        add(uint64_t(cell.parent));
        for (int ch : cell.children) add(uint64_t(ch));
        add(uint64_t(cell.triangles.count()));
        for (int n = cell.triangles.first(); n != -1; n = cell.triangles.nextOf(n)) add(uint64_t(int(cell.triangles[n])));
    }
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        for (int c : tree.cellsHolding(t)) add(uint64_t(c)), add(uint64_t(t));
    addDouble(tree.sizeThreshold());
    addDouble(tree.minimalCellSize());
    return f;
}

// The heads the fill is tried on: each makes its own head current.
struct TreeCase {
    const char* name;
    void (*make)(head3& h);
    int cells;
    uint64_t fingerprint;
};

void templateHead(head3& h, unsigned number) {
    ASSERT_TRUE(testsupport::readTemplateHead(h, number));
    h.set_actual();
}

// A fill builds the very tree it built before its rewrite for speed
// (the numbers were taken from that tree): the same cells in the same
// order, each with the same triangles in the same order, so picks and
// walks stay as they were, ties included.
TEST_F(Octree, FillBuildsTheSameTreeAsBefore) {
    const TreeCase cases[] = {
        {"full template head", [](head3& h) { templateHead(h, 122); }, 130795, 14523191240849330252ull},
        {"cube template", [](head3& h) { templateHead(h, 121); }, 65, 6761420301168534808ull},
        {"bumpy sphere", [](head3& h) { testmesh::addShape(h, testmesh::bumpySphereShape(120, 150)); }, 172601,
         7198061822872317671ull},
        {"cube along the mid-planes",
         [](head3& h) { testmesh::addShape(h, testmesh::subdividedCubeShape(8, 10.0)); }, 3615,
         1043850515207711822ull},
        // Long triangles are halved, and those beyond the halving limit
        // are given whole to every child their box meets.
        {"head thrown apart",
         [](head3& h) {
             testmesh::addShape(h, testmesh::bumpySphereShape(30, 40));
             int k = 0;
             for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k)
                 if (k % 37 == 0) h.vertices[v].position = h.vertices[v].position * (k % 2 ? 1e5 : 1e2);
         },
         1793, 8915921481476549204ull},
    };
    services.app.state().pictureEditor = 0;
    services.document.state().templateId = 122;
    for (const TreeCase& c : cases) {
        SCOPED_TRACE(c.name);
        resetModelState();
        {
            head3 h;
            c.make(h);
            ASSERT_EQ(h.octree().fill(), 1);
            EXPECT_EQ(h.octree().cellChain().count(), c.cells);
            EXPECT_EQ(treeFingerprint(h), c.fingerprint);
            // A second fill of the same head gives the same tree again.
            ASSERT_EQ(h.octree().fill(), 1);
            EXPECT_EQ(treeFingerprint(h), c.fingerprint);
        }
    }
}

// Triangles taken out and put back after a fill, some of them moved, and a
// tree emptied and partly filled again by edits: each step leaves the very
// tree it left before the fill's rewrite for speed (the numbers were taken
// from that tree).
TEST_F(Octree, EditsAfterAFillLeaveTheSameTreeAsBefore) {
    head3 h;
    testmesh::addShape(h, testmesh::bumpySphereShape(40, 60));
    ASSERT_EQ(h.octree().fill(), 1);
    std::vector<int> all;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) all.push_back(t);
    for (size_t k = 0; k < all.size(); k += 3) remove_triangle_from_octtree(all[k]);
    for (size_t k = all.size(); k-- > 0;)
        if (k % 6 == 0) add_triangle_to_octtree(all[k]);
    for (int v = h.vertices.first(), k = 0; v != -1; v = h.vertices.nextOf(v), ++k)
        if (k % 11 == 0) h.vertices[v].position = h.vertices[v].position * 1.07;
    for (size_t k = 1; k < all.size(); k += 5) add_triangle_to_octtree(all[k]);
    const uint64_t edited = treeFingerprint(h);
    const int editedCells = h.octree().cellChain().count();
    for (int t : all) remove_triangle_from_octtree(t);
    EXPECT_EQ(h.octree().cellChain().count(), 1);
    for (size_t k = 0; k < all.size(); k += 4) add_triangle_to_octtree(all[k]);
    EXPECT_EQ(editedCells, 29609);
    EXPECT_EQ(edited, 1521922706534420763ull);
    EXPECT_EQ(h.octree().cellChain().count(), 11485);
    EXPECT_EQ(treeFingerprint(h), 16395399505316455734ull);
}

TEST_F(Octree, ClosedSphereMatchesBruteForce) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(3));
    ASSERT_EQ(h.octree().fill(), 1);
    compareWithBruteForce(h, 10000, 7);
}

TEST_F(Octree, LargeMeshMatchesBruteForce) {
    head3 h;
    testmesh::addShape(h, testmesh::bumpySphereShape(120, 150));
    ASSERT_EQ(h.triangles.count(), 36000);
    ASSERT_EQ(h.octree().fill(), 1);
    compareWithBruteForce(h, 10000, 11);
}

// Vertices moved after the fill and the head told so: the tree's next use
// fills it again, and it answers as the brute force does on the moved mesh.
TEST_F(Octree, MovedVerticesRefillTheTreeAtItsNextUse) {
    head3 h;
    testmesh::addShape(h, testmesh::bumpySphereShape(40, 60));
    ASSERT_EQ(h.SetMinMaxOctree(false), 1);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        vector3<double>& p = h.vertices[v].position;
        p += vector3<double>(std::sin(7 * p.y), std::cos(5 * p.z), std::sin(3 * p.x)) * 0.08;
    }
    h.OctreeMoved();
    EXPECT_TRUE(h.octreeStale());
    // Another head current meanwhile: the refill is made on this head's
    // triangles, and the other head stays current.
    {
        head3 other;
        testmesh::addShape(other, testmesh::icosphereShape(1));
        EXPECT_TRUE(h.octree().filled());
        EXPECT_EQ(actual_head3, &other);
        h.set_actual();
    }
    h.set_actual();
    EXPECT_FALSE(h.octreeStale());
    compareWithBruteForce(h, 3000, 3);
    // A tree never filled stays unfilled; a fill clears the mark.
    head3 fresh;
    testmesh::addShape(fresh, testmesh::icosphereShape(2));
    fresh.OctreeMoved();
    EXPECT_FALSE(fresh.octree().filled());
    fresh.OctreeMoved();
    ASSERT_EQ(fresh.SetMinMaxOctree(false), 1);
    EXPECT_FALSE(fresh.octreeStale());
    h.set_actual();
}

// A head thrown apart (a few vertices a hundred thousand times farther out,
// as a fit on degenerate marks leaves it): its cells hold thousands of long
// triangles, and every walk still ends within the bound.
TEST_F(Octree, AWalkOnAHeadThrownApartEndsWithinItsBound) {
    head3 h;
    testmesh::addShape(h, testmesh::bumpySphereShape(60, 75));
    int k = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k)
        if (k % 101 == 0) h.vertices[v].position = h.vertices[v].position * 1e5;
    ASSERT_EQ(h.octree().fill(), 1);
    fnd::RandomSource r(5);
    int largest = 0;
    for (int ray = 0; ray < 50; ++ray) {
        vector3<double> P(uniform(r, -1, 1), uniform(r, -1, 1), uniform(r, -1, 1));
        P = P * (3e5 / std::max(P.length(), 1e-6));
        vector3<double> d = vector3<double>(uniform(r, -0.5, 0.5), uniform(r, -0.5, 0.5), uniform(r, -0.5, 0.5)) - P;
        vector3<double> b;
        h.octree().getfirst(P, d, &b);
        largest = std::max(largest, h.octree().lastWalkSteps());
    }
    EXPECT_LE(largest, octtree::kMaxWalkSteps + 1);
    EXPECT_GT(largest, octtree::kMaxWalkSteps / 16);
}

TEST_F(Octree, CubeAlongTheAxes) {
    head3 h;
    testmesh::addShape(h, testmesh::subdividedCubeShape(1, 10.0));
    ASSERT_EQ(h.octree().fill(), 1);
    // From outside each face, straight at it, off the diagonal.
    for (int axis = 0; axis < 3; ++axis)
        for (double s : {-1.0, 1.0}) {
            vector3<double> P(2.0, 3.0, 1.0), d;
            (axis == 0 ? P.x : axis == 1 ? P.y : P.z) = 50 * s;
            (axis == 0 ? d.x : axis == 1 ? d.y : d.z) = -s;
            vector3<double> b, hit;
            int t = h.octree().getfirst(P, d, &b, &hit);
            ASSERT_NE(t, -1);
            EXPECT_NEAR(axis == 0 ? hit.x : axis == 1 ? hit.y : hit.z, 10 * s, 1e-9);
            EXPECT_GE(std::min({b.x, b.y, b.z}), 0.0);
        }
}

TEST_F(Octree, HitsNearMissesAndOrderAlongTheRay) {
    head3 h;
    Index<area> a = h.areas.add();
    // Two parallel triangles, at z = 0 and z = 5, and a third one so the
    // head is not flat.
    int v[9];
    vector3<double> p[9] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 5}, {10, 0, 5},
                            {0, 10, 5}, {30, 30, 30}, {31, 30, 30}, {30, 31, 31}};
    for (int k = 0; k < 9; ++k) v[k] = testmesh::addVertex(h, p[k]);
    int low = testmesh::addTriangle(h, a, v[0], v[1], v[2]);
    int high = testmesh::addTriangle(h, a, v[3], v[4], v[5]);
    testmesh::addTriangle(h, a, v[6], v[7], v[8]);
    ASSERT_EQ(h.octree().fill(), 1);
    vector3<double> b;
    // Through the middle: the nearer one by t, also when it lies behind P.
    EXPECT_EQ(h.octree().getfirst({2, 2, 10}, {0, 0, -1}, &b), high);
    EXPECT_NEAR(b.x + b.y + b.z, 1.0, 1e-12);
    EXPECT_GE(std::min({b.x, b.y, b.z}), 0.0);
    EXPECT_EQ(h.octree().getfirst({2, 2, 10}, {0, 0, 1}, &b), low);   // both behind: smaller t
    EXPECT_EQ(h.octree().getfirst({2, 2, 2}, {0, 0, 1}, &b), low);    // low is behind P
    // Just outside the hypotenuse of the lower triangle (x + y = 10): a
    // coordinate of about -0.005 still counts, -0.02 does not.
    Index<triangle> t = h.octree().getfirst({5.025, 5.025, -3}, {0, 0, 1}, &b);
    EXPECT_EQ(t, low);
    EXPECT_LT(std::min({b.x, b.y, b.z}), 0.0);
    EXPECT_EQ(h.octree().getfirst({5.1, 5.1, -3}, {0, 0, 1}, &b), -1);  // -0.02: indexed, but no hit
}

// The ray from the start on: triangles behind it do not count (up to the
// tolerance for a start on the surface), a triangle the ray meets beats a
// near-miss in front of it, and near-misses rank by distance plus 100 x
// their miss whatever the length of d.
TEST_F(Octree, RayQueryTakesOnlyWhatLiesAhead) {
    head3 h;
    Index<area> a = h.areas.add();
    // Right triangles in planes z = const with legs along x and y.
    auto flat = [&](double z, double leg) {
        int p = testmesh::addVertex(h, {0, 0, z}), q = testmesh::addVertex(h, {leg, 0, z}),
            r = testmesh::addVertex(h, {0, leg, z});
        return testmesh::addTriangle(h, a, p, q, r);
    };
    const int low = flat(0, 10), farMiss = flat(2, 12.02), high = flat(5, 12), top = flat(8, 10);
    testmesh::addTriangle(h, a, testmesh::addVertex(h, {30, 30, 30}), testmesh::addVertex(h, {31, 30, 30}),
                          testmesh::addVertex(h, {30, 31, 31}));
    ASSERT_EQ(h.octree().fill(), 1);
    vector3<double> b, hit;
    for (double length : {1.0, 0.01, 100.0}) {
        SCOPED_TRACE(length);
        const vector3<double> up(0, 0, length), down(0, 0, -length);
        // Upwards from between the planes: only what lies above; the line
        // query takes the one behind.
        EXPECT_EQ(h.octree().getfirstOnRay({1, 1, 1}, up, 1e-9, &b), farMiss);
        EXPECT_EQ(h.octree().getfirst({1, 1, 1}, up, &b), low);
        EXPECT_EQ(h.octree().getfirstOnRay({1, 1, 20}, down, 1e-9, &b), top);
        EXPECT_EQ(h.octree().getfirstOnRay({1, 1, 20}, up, 1e-9, &b), -1);
        // A start on a triangle finds it, also a hair below it.
        EXPECT_EQ(h.octree().getfirstOnRay({1, 1, 5}, down, 1e-9, &b), high);
        EXPECT_EQ(h.octree().getfirstOnRay({1, 1, 5 - 1e-12}, up, 1e-9, &b), high);
        // Just outside the top triangle's hypotenuse (x + y = 10) the ray
        // meets the wider one below: the hit wins over the near-miss.
        EXPECT_EQ(h.octree().getfirstOnRay({5.025, 5.025, 20}, down, 1e-9, &b, &hit), high);
        EXPECT_GE(std::min({b.x, b.y, b.z}), 0.0);
        EXPECT_NEAR(hit.z, 5.0, 1e-12);
        // Outside both wide ones: near-misses of -0.005 at z = 5 and of
        // -0.0033 at z = 2; 15 + 0.5 beats 18 + 0.33.
        EXPECT_EQ(h.octree().getfirstOnRay({6.03, 6.03, 20}, down, 1e-9, &b), high);
        EXPECT_LT(std::min({b.x, b.y, b.z}), 0.0);
    }
    EXPECT_EQ(h.octree().getfirstOnRay({1, 1, 1}, {0, 0, 0}, 1e-9, &b), -1);
}

TEST_F(Octree, FlatHeadIsRefused) {
    head3 h;
    Index<area> a = h.areas.add();
    int v0 = testmesh::addVertex(h, {0, 0, 0}), v1 = testmesh::addVertex(h, {1, 0, 0}),
        v2 = testmesh::addVertex(h, {0, 1, 0}), v3 = testmesh::addVertex(h, {1, 1, 0});
    testmesh::addTriangle(h, a, v0, v1, v2);
    testmesh::addTriangle(h, a, v1, v3, v2);
    EXPECT_EQ(h.octree().fill(), 0);
    EXPECT_EQ(h.octree().getfirst({0.2, 0.2, 1}, {0, 0, -1}, nullptr), -1);
    EXPECT_EQ(h.SetMinMaxOctree(false), 0);
}

// Every cell but the root holds triangles or children, every listed
// triangle is a triangle of the head, and no removed one is listed.
void expectNoStaleCells(const head3& h, const std::vector<int>& removed) {
    const auto& cells = const_cast<head3&>(h).octree().cellChain();
    Index<octtree_rec> root = const_cast<head3&>(h).octree().root();
    for (int c = cells.first(); c != -1; c = cells.nextOf(c)) {
        const octtree_rec& cell = cells[c];
        bool hasChild = false;
        for (auto ch : cell.children) hasChild = hasChild || ch != -1;
        if (c != root) {
            EXPECT_TRUE(cell.triangles.count() > 0 || hasChild) << "empty cell " << c;
        }
        for (int n = cell.triangles.first(); n != -1; n = cell.triangles.nextOf(n)) {
            int t = cell.triangles[n];
            EXPECT_TRUE(std::find(removed.begin(), removed.end(), t) == removed.end()) << "stale " << t;
        }
    }
}

TEST_F(Octree, AddAndRemoveLeaveNoStaleCells) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(3));
    ASSERT_EQ(h.SetMinMaxOctree(false), 1);
    int cellsFull = h.octree().cellChain().count();
    std::vector<int> all;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) all.push_back(t);
    fnd::RandomSource r(3);
    std::vector<int> removed;
    for (int k = 0; k < 300; ++k) {
        int t = all[r.next() % all.size()];
        if (std::find(removed.begin(), removed.end(), t) != removed.end()) continue;
        vector3<double> c = (h.vertices[h.triangles[t].a].position + h.vertices[h.triangles[t].b].position +
                             h.vertices[h.triangles[t].c].position) / 3.0;
        ASSERT_EQ(h.octree().getfirst(c * 3.0, -c, nullptr), t);
        remove_triangle(t);
        removed.push_back(t);
        EXPECT_TRUE(h.octree().cellsHolding(t).empty());
        // The ray through the gone triangle now meets the far side.
        EXPECT_NE(h.octree().getfirst(c * 3.0, -c, nullptr), t);
    }
    expectNoStaleCells(h, removed);
    compareWithBruteForce(h, 2000, 5);
    // Taking every triangle out leaves the root alone.
    for (int t : all)
        if (std::find(removed.begin(), removed.end(), t) == removed.end()) remove_triangle_from_octtree(t);
    EXPECT_EQ(h.octree().cellChain().count(), 1);
    EXPECT_LT(1, cellsFull);
    // Adding the same triangle twice lists it once per cell.
    int t = h.triangles.first();
    add_triangle_to_octtree(t);
    add_triangle_to_octtree(t);
    for (int c : h.octree().cellsHolding(t)) {
        const auto& l = h.octree().cellChain()[c].triangles;
        EXPECT_EQ(l.count(), 1);
    }
    add_triangle_to_octtree(-1);
    remove_triangle_from_octtree(-1);
}

}  // namespace
