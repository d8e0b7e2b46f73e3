// Assembling a head after its lists were read: axis permutations, the back
// links, the table's regions, lines and points with their mirrors, ordered
// region lists, fans, weights and the octree.

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "framework/resources.h"
#include "model/head.h"
#include "model/octree.h"
#include "model/topology.h"
#include "tests/model/feature_fixtures.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"

namespace {

using ReadHead = fixtures::TablesTest;

// ---- permutations ----

struct Permuted {
    std::vector<vector3<double>> positions;
    std::vector<int> corners;  // b and c of the first triangle
    vector3<double> editPoint;
};

Permuted permute(int number) {
    head3 h;
    Index<area> a = h.areas.add();
    int v0 = testmesh::addVertex(h, {1, 2, 3}), v1 = testmesh::addVertex(h, {4, 5, 6}),
        v2 = testmesh::addVertex(h, {7, 8, 10});
    Index<triangle> t = testmesh::addTriangle(h, a, v0, v1, v2);
    Index<extrapoint> e = -1;
    set_extrapoint(&e, t, {0.2, 0.3, 0.5}, 1);
    permutate_number(h, number);
    Permuted out;
    for (int v : {v0, v1, v2}) out.positions.push_back(h.vertices[v].position);
    out.corners = {h.triangles[t].b, h.triangles[t].c};
    out.editPoint = h.extrapoints[e].position;
    return out;
}

TEST_F(ReadHead, PermutationTable) {
    struct Case {
        int number;
        bool turned;
        std::vector<vector3<double>> positions;
    };
    std::vector<vector3<double>> same = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
    std::vector<vector3<double>> xNegated = {{-1, 2, 3}, {-4, 5, 6}, {-7, 8, 10}};
    std::vector<Case> cases = {
        {0, false, same},
        {246, false, same},                                      // each axis onto itself
        {100, true, xNegated},                                   // x negated
        {420, true, {{2, 1, 3}, {5, 4, 6}, {8, 7, 10}}},         // x and y swapped
        {460, false, same},                                      // shifts do not add up: refused
        {180, true, xNegated},                                   // 8 counts as 0
        {109, true, xNegated},                                   // 9 counts as 0
        {222, false, same},                                      // all onto x: refused
        {462, false, {{3, 1, 2}, {6, 4, 5}, {10, 7, 8}}},        // a rotation: x->y, y->z, z->x
        {357, true, {{-1, -2, -3}, {-4, -5, -6}, {-7, -8, -10}}},  // every axis negated
    };
    for (const Case& c : cases) {
        resetModelState();
        Permuted p = permute(c.number);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(p.positions[k].x, c.positions[k].x) << c.number;
            EXPECT_EQ(p.positions[k].y, c.positions[k].y) << c.number;
            EXPECT_EQ(p.positions[k].z, c.positions[k].z) << c.number;
        }
        EXPECT_EQ(p.corners[0] == 2, c.turned) << c.number;
        // The edit point stays at the same place of the surface.
        vector3<double> want = c.positions[0] * 0.2 + c.positions[1] * 0.3 + c.positions[2] * 0.5;
        EXPECT_NEAR((p.editPoint - want).length(), 0.0, 1e-9) << c.number;
    }
}

// ---- after reading ----

// An icosphere in the state the reader leaves: triangles know their
// corners, areas and regions only their own chains.
struct AsRead {
    head3& h;
    Index<area> big1, big2, small;

    explicit AsRead(head3& head) : h(head) {
        Index<area> all = testmesh::addShape(h, testmesh::icosphereShape(1));
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) h.vertices[v].triangles.remove_all();
        h.areas[all].triangles.remove_all();
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
            h.triangles[t].areaOf = -1;
            h.triangles[t].areaNode = -1;
        }
        h.areas.remove_index(all);
        big1 = h.areas.add();
        big2 = h.areas.add();
        small = h.areas.add();
        int k = 0;
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t), ++k) {
            if (k == 0) continue;  // in no area: goes
            Index<area> a = k % 3 == 0 ? big1 : k % 3 == 1 ? big2 : small;
            h.areas[a].triangles.add_data(t);
            h.triangles[t].material = k == 5 ? 2 : 1;
        }
        testmesh::addVertex(h, {5, 5, 5});  // in no triangle: goes
        h.pre_read();
        // "mouth" over two areas, "mouth_0" over one, both naming the nose tip.
        Index<region> mouth = h.regions.add_new("mouth");
        h.regions[mouth].areas.add_data(big1);
        h.regions[mouth].areas.add_data(big2);
        Index<region> m0 = h.regions.add_new("mouth_0");
        h.regions[m0].areas.add_data(small);
        Index<featurepoint3> tip = h.featurepoints.add_new("tip_of_the_nose");
        h.featurepoints[tip].vtx = h.vertices.first();
        h.regions[mouth].points.add_data(tip);
        h.regions[m0].points.add_data(tip);
    }
};

TEST_F(ReadHead, PostReadAssemblesTheTables) {
    head3 h;
    AsRead read(h);
    int triangles = h.triangles.count();
    EXPECT_TRUE(h.post_read(false));
    EXPECT_MODEL_SOUND(h);
    EXPECT_EQ(h.triangles.count(), triangles - 1);
    EXPECT_EQ(h.vertices.count(), 42);
    for (const char* name : {"mouth", "mouth_0", "left_eye", "right_eye"}) EXPECT_NE(h.getRegion(name, false), -1) << name;
    for (const char* name : {"tip_of_the_nose", "left_corner_of_the_mouth", "right_corner_of_the_mouth"})
        EXPECT_NE(h.getFeaturepoint(name, false), -1) << name;
    EXPECT_EQ(h.getFeaturepoint("single", false), -1);  // kind 0
    for (const char* name : {"top_line_of_mouth", "left_eyebrow", "right_eyebrow"})
        EXPECT_NE(h.getFeatureline(name, false), -1) << name;
    EXPECT_EQ(h.getFeatureline("custom_line_1", false), -1);  // a 2D line

    auto R = [&](const char* n) { return h.getRegion(n, false); };
    auto P = [&](const char* n) { return h.getFeaturepoint(n, false); };
    auto L = [&](const char* n) { return h.getFeatureline(n, false); };
    EXPECT_EQ(h.regions[R("left_eye")].mirror, R("right_eye"));
    EXPECT_EQ(h.regions[R("right_eye")].mirror, R("left_eye"));
    EXPECT_EQ(h.regions[R("mouth")].mirror, R("mouth"));
    EXPECT_EQ(h.regions[R("mouth")].colour, h.colors.get("color_of_mouth"));
    EXPECT_EQ(h.featurepoints[P("left_corner_of_the_mouth")].mirror, P("right_corner_of_the_mouth"));
    EXPECT_EQ(h.featurepoints[P("right_corner_of_the_mouth")].mirror, P("left_corner_of_the_mouth"));
    EXPECT_EQ(h.featurepoints[P("tip_of_the_nose")].mirror, P("tip_of_the_nose"));
    EXPECT_EQ(h.featurepoints[P("right_corner_of_the_mouth")].weight, 5.0);
    EXPECT_EQ(h.featurelines[L("left_eyebrow")].mirror, L("right_eyebrow"));
    EXPECT_EQ(h.featurelines[L("right_eyebrow")].mirror, L("left_eyebrow"));

    // The nose tip: linked to its vertex, its regions by ascending areas.
    Index<featurepoint3> tip = P("tip_of_the_nose");
    EXPECT_EQ(h.vertices[h.featurepoints[tip].vtx].featurepoint, tip);
    const auto& regs = h.featurepoints[tip].regions;
    ASSERT_EQ(regs.count(), 2);
    EXPECT_EQ(regs[regs.first()], R("mouth_0"));
    EXPECT_EQ(regs[regs.last()], R("mouth"));
    // Areas know their regions, triangles their areas; fans are closed.
    EXPECT_EQ(h.areas[read.small].regions.count(), 1);
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
        auto& l = h.vertices[v].triangles;
        for (int n = l.first(); l.nextOf(n) != -1; n = l.nextOf(n))
            EXPECT_EQ(relation_of_triangles_around_vertex(v, l[n], l[l.nextOf(n)]), -1);
    }
    EXPECT_EQ(h.triangles[h.triangles.last()].material, 1);  // kept outside the picture-editor mode
    EXPECT_GT(h.weight, 0.0);
    EXPECT_EQ(h.SetMinMaxOctree(false), 1);
    EXPECT_TRUE(h.octree().filled());

    // Reading again changes nothing.
    EXPECT_TRUE(h.post_read(false));
    EXPECT_MODEL_SOUND(h);
    EXPECT_EQ(h.featurepoints[tip].regions.count(), 2);
}

TEST_F(ReadHead, PictureEditorClearsMaterialsAndMovesMaterialTwo) {
    services.app.state().pictureEditor = 1;
    head3 h;
    AsRead read(h);
    Index<triangle> marked = -1;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        if (h.triangles[t].material == 2) marked = t;
    ASSERT_NE(marked, -1);
    EXPECT_TRUE(h.post_read(false));
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) EXPECT_EQ(h.triangles[t].material, 0);
    int atOrigin = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
        atOrigin += h.vertices[v].position == vector3<double>(0, 0, 0);
    EXPECT_GT(atOrigin, 0);
}

TEST_F(ReadHead, NoTopologyOnlyTakesTheBox) {
    head3 h;
    AsRead read(h);
    h.noTopology = true;
    EXPECT_TRUE(h.post_read(false));
    EXPECT_EQ(h.getRegion("left_eye", false), -1);
    EXPECT_EQ(h.vertices[h.vertices.first()].triangles.count(), 0);
    EXPECT_NEAR(h.boxMax.x, 5.0, 1e-12);  // the loose vertex stays
}

TEST_F(ReadHead, OrderRegionsIsStableByAreaCount) {
    head3 h;
    std::vector<int> areasOf = {2, 0, 1, 0, 2};
    commonchainindex<region> chain;
    std::vector<int> rs;
    for (size_t k = 0; k < areasOf.size(); ++k) {
        Index<region> r = h.regions.add_new(("r" + std::to_string(k)).c_str());
        for (int a = 0; a < areasOf[k]; ++a) h.regions[r].areas.add_data(h.areas.add());
        chain.add_data(r);
        rs.push_back(r);
    }
    order_regions(chain);
    std::vector<int> got;
    for (int n = chain.first(); n != -1; n = chain.nextOf(n)) got.push_back(chain[n]);
    EXPECT_EQ(got, (std::vector<int>{rs[1], rs[3], rs[2], rs[0], rs[4]}));
}

TEST_F(ReadHead, PrepostMakesTheWholeHead) {
    head3 h;
    testmesh::addShape(h, testmesh::icosphereShape(0));
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) remove_triangle_from_area(t);
    h.areas.remove_all();
    h.pre_read();
    h.prepost_read();
    Index<region> whole = h.getRegion("whole_head", false);
    ASSERT_NE(whole, -1);
    EXPECT_EQ(h.regions[whole].used, 1);
    EXPECT_EQ(h.regions[whole].colour, h.colors.get("color_of_skin"));
    EXPECT_EQ(h.areas.count(), 1);
    EXPECT_EQ(h.areas[h.areas.first()].triangles.count(), 20);
}

// The built-in cube through the whole reader, with the program's tables.
TEST_F(ReadHead, TemplateCubeReadsSound) {
    resetFeatureTables();
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 121);
    if (!bytes.data()) GTEST_SKIP() << "no cube template";
    head3 h;
    fileTB f;
    f.open(bytes.data(), bytes.size());
    h.read(f, true);
    ASSERT_TRUE(f.good());
    EXPECT_EQ(h.triangles.count(), 12);
    EXPECT_MODEL_SOUND(h);
    EXPECT_NE(h.getRegion("left_eye", false), -1);
    EXPECT_NE(h.getFeaturepoint("tip_of_the_nose", false), -1);
    EXPECT_EQ(h.featurepoints[h.getFeaturepoint("left_corner_of_the_left_eye", false)].mirror,
              h.getFeaturepoint("right_corner_of_the_right_eye", false));
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) EXPECT_EQ(order_trianges_of_vertex(v), 1);
    EXPECT_EQ(h.SetMinMaxOctree(false), 1);
    vector3<double> b;
    EXPECT_NE(h.octree().getfirst({1, 2, 100}, {0, 0, -1}, &b), -1);
}

// The full template head through the whole reader: every link sound, every
// fan closed or ordered from its border.
TEST_F(ReadHead, TemplateHeadReadsSound) {
    resetFeatureTables();
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 122);
    if (!bytes.data()) GTEST_SKIP() << "no template head";
    head3 h;
    fileTB f;
    f.open(bytes.data(), bytes.size());
    h.read(f, true);
    ASSERT_TRUE(f.good());
    EXPECT_MODEL_SOUND(h);
    int closed = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) closed += order_trianges_of_vertex(v);
    EXPECT_GT(closed, h.vertices.count() / 2);
    EXPECT_EQ(h.SetMinMaxOctree(false), 1);
}

// The stored permutation number through the whole reader.
TEST_F(ReadHead, StoredPermutationIsApplied) {
    resetFeatureTables();
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 121);
    if (!bytes.data()) GTEST_SKIP() << "no cube template";
    std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    ASSERT_EQ(text.find("3 1 0"), text.find_first_not_of("\r\n"));
    auto readCube = [](std::string t, std::vector<vector3<double>>& pos, std::vector<int>& corners) {
        resetModelState();
        head3 h;
        fileTB f;
        f.open(reinterpret_cast<const unsigned char*>(t.data()), t.size());
        h.read(f, false);
        ASSERT_TRUE(f.good());
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) pos.push_back(h.vertices[v].position);
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) corners.push_back(h.triangles[t].b);
    };
    std::vector<vector3<double>> plain, flipped;
    std::vector<int> plainB, flippedB;
    readCube(text, plain, plainB);
    std::string permuted = text;
    permuted.replace(permuted.find("3 1 0"), 5, "3 1 190");  // 9 counts as 0: x negated
    readCube(permuted, flipped, flippedB);
    ASSERT_EQ(plain.size(), flipped.size());
    for (size_t k = 0; k < plain.size(); ++k) {
        EXPECT_EQ(flipped[k].x, -plain[k].x);
        EXPECT_EQ(flipped[k].y, plain[k].y);
    }
    EXPECT_NE(plainB, flippedB);  // turned over
}

// A refused file leaves the version of the head read before it: a later
// re-centring of that head (version 3) does not move it.
TEST_F(ReadHead, ARefusedFileLeavesTheVersionAsItWas) {
    resetFeatureTables();
    services.app.state().pictureEditor = 0;
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 122);
    if (!bytes.data()) GTEST_SKIP() << "no template head";
    head3 h;
    fileTB f;
    f.open(bytes.data(), bytes.size());
    h.read(f, true);
    ASSERT_TRUE(f.good());
    std::vector<vector3<double>> before;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) before.push_back(h.vertices[v].position);
    for (const char* refused : {"3 1 0 \n\t1 x ", "2 3 0 \n\t1 ", "1 1 0 \n\t1 "}) {
        head3 other;
        fileTB g;
        const std::string text = refused;
        g.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
        other.read(g, true);
        EXPECT_FALSE(g.good()) << refused;
        EXPECT_EQ(head3Version, 3) << refused;
    }
    h.set_actual();
    ASSERT_EQ(h.SetMinMaxOctree(true), 1);
    size_t k = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k)
        ASSERT_EQ((h.vertices[v].position - before[k]).length(), 0.0) << v;
}

}  // namespace
