// Heads from a PHS stream and from the OBJ importer's arrays.

#include <gtest/gtest.h>

#include <string>

#include "model/head.h"
#include "tests/model/feature_fixtures.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"

namespace {

using OldLayout = fixtures::TablesTest;

struct Read {
    bool good;
    int status, vertices, triangles, areas, regions;
};

Read readPHS(const std::string& text) {
    head3 h;
    fileTB f;
    f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    h.readPHS(f);
    Read r{f.good(), h.status, h.vertices.count(), h.triangles.count(), h.areas.count(), h.regions.count()};
    if (f.good()) EXPECT_MODEL_SOUND(h);
    return r;
}

TEST_F(OldLayout, PhsAcceptAndRefuse) {
    struct Case {
        const char* what;
        std::string text;
        bool good;
        int vertices, triangles, regions;
    };
    const std::string oneTriangle = "1 3 1\n0 0 0 0\n1 1 0 0\n2 0 1 0\n0 0 1 2\n";
    std::vector<Case> cases = {
        {"one triangle", oneTriangle, true, 3, 1, 5},  // the 4 table regions and whole_head
        {"records over lines any way", "1\n3 1 0 0 0 0 1 1 0 0 2 0 1 0 0 0 1 2\r\n", true, 3, 1, 5},
        {"gaps in the indices", "1 3 1\n7 0 0 0\n3 1 0 0\n12 0 1 0\n5 7 3 12\n", true, 3, 1, 5},
        {"version 2", "2 3 1\n0 0 0 0\n1 1 0 0\n2 0 1 0\n0 0 1 2\n", false, 0, 0, 0},
        {"cut inside the records", "1 3 1\n0 0 0 0\n1 1 0 0\n2 0 1\n", false, 0, 0, 0},
        {"corner that is no vertex", "1 3 1\n0 0 0 0\n1 1 0 0\n2 0 1 0\n0 0 1 9\n", false, 0, 0, 0},
        {"one slot twice", "1 3 1\n0 0 0 0\n0 1 0 0\n2 0 1 0\n0 0 1 2\n", false, 0, 0, 0},
        {"negative count", "1 -3 1\n", false, 0, 0, 0},
        {"negative index", "1 3 1\n-4 0 0 0\n1 1 0 0\n2 0 1 0\n0 0 1 2\n", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        resetModelState();
        fixtures::installSmallTables();
        Read r = readPHS(c.text);
        EXPECT_EQ(r.good, c.good) << c.what;
        EXPECT_EQ(r.status, c.good ? 1 : 0) << c.what;
        EXPECT_EQ(r.vertices, c.vertices) << c.what;
        EXPECT_EQ(r.triangles, c.triangles) << c.what;
        EXPECT_EQ(r.regions, c.regions) << c.what;
        EXPECT_EQ(r.areas, c.good ? 1 : 0) << c.what;
    }
}

TEST_F(OldLayout, PhsHeadIsAssembled) {
    head3 h;
    std::string text = "1 3 1\n0 0 0 0\n1 1 0 0\n2 0 1 0\n0 0 1 2\n";
    fileTB f;
    f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    h.readPHS(f);
    ASSERT_TRUE(f.good());
    Index<region> whole = h.getRegion("whole_head", false);
    ASSERT_NE(whole, -1);
    EXPECT_EQ(h.regions[whole].used, 1);
    EXPECT_EQ(h.regions[whole].colour, h.colors.get("color_of_skin"));
    EXPECT_EQ(h.areas[h.areas.first()].regions.count(), 1);
    EXPECT_EQ(h.triangles[h.triangles.first()].areaOf, h.areas.first());
    EXPECT_NE(h.getFeaturepoint("tip_of_the_nose", false), -1);
    EXPECT_EQ(h.colors.count(), 2);
}

TEST_F(OldLayout, ArraysOfTheImporter) {
    head3 h;
    head3::PNT pnt[4] = {{{0, 0, 0, 9, 9, 9, 9}}, {{1, 0, 0}}, {{0, 1, 0}}, {{0, 0, 1}}};
    // corners, texture rows, group, material, partner; the last names a
    // vertex the arrays do not have and is left out.
    head3::TRI tri[3] = {{{0, 1, 2, 5, 6, 7, 1, 2, 1}}, {{0, 2, 3, 1, 2, 3, 0, 1, -1}}, {{0, 1, 44, 0, 0, 0, 0, 0, -1}}};
    fileTB none;
    h.read_version1(none, 4, 3, pnt, tri);
    h.status = 1;
    h.post_read(true);
    EXPECT_MODEL_SOUND(h);
    ASSERT_EQ(h.triangles.count(), 2);
    const triangle& t = h.triangles[0];
    EXPECT_EQ(t.c, 2);
    EXPECT_EQ(t.txtRow[0], 5);
    EXPECT_EQ(t.txtRow[2], 7);
    EXPECT_EQ(t.group, 1);
    EXPECT_EQ(t.material, 2);
    EXPECT_EQ(t.quadPartner, 1);
    EXPECT_EQ(h.vertices[3].position.z, 1.0);
    EXPECT_EQ(h.vertices[0].mirror, -1);
    EXPECT_NE(h.getRegion("whole_head", false), -1);
}

}  // namespace
