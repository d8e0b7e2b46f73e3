// The region morph engine on a test sphere with a trafo table of its own:
// which rows become records, their directions and factors, and what the
// deformation moves.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dialogs/region_morph.h"
#include "model/featuretables.h"
#include "model/gather.h"
#include "model/octree.h"
#include "model/topology.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"

namespace {

using morph::RegionMorphEngine;

// op, point, type, amount, range, axis, factor, line, sides
const char* kTable =
    "#test rows\r\n"
    "lift,p_front,3,30.0,40,2,-0.4,0,111,\r\n"
    "lift,p_missing,3,30.0,40,2,-0.4,0,111,\r\n"
    "lift,p_unbound,3,30.0,40,2,-0.4,0,111,\r\n"
    "#a caption\r\n"
    "side,p_left,4,20,30,1,0.5,0,110,\r\n"
    "side,p_right,4,20,30,1,-0.5,0,011,\r\n"
    "side,p_top,4,20,30,2,0.5,0,010,\r\n"
    "dirs,p_front,3,10,20,1,1.0,0,111,\r\n"
    "dirs,p_left,3,10,20,2,1.0,0,111,\r\n"
    "dirs,p_right,3,10,20,3,1.0,0,111,\r\n"
    "dirs,p_top,4,10,20,4,1.0,0,111,\r\n"
    "dirs,p_rubber,4,10,20,7,1.0,0,111,\r\n"
    "hold,p_front,3,30,40,3,0.0,0,111,\r\n"
    "pair,p_front,3,30,40,3,0.6,1,111,\r\n"
    "pair,p_top,3,30,40,3,0.0,1,111,\r\n";

// The model state is reset before the head is made and after it is gone.
struct CleanModel {
    CleanModel() { resetModelState(); }
    ~CleanModel() { resetModelState(); }
};

class RegionMorph : public ::testing::Test {
protected:
    void SetUp() override {
        installFeatureTable(145, kTable);
        mesh = testmesh::icosphere(h, 3, 100.0);
        place("p_front", {0, 0, 100});
        place("p_left", {100, 0, 0});
        place("p_right", {-100, 0, 0});
        place("p_top", {0, 100, 0});
        h.addFeaturepoint("p_unbound", false);
        // A rubber point on the triangle nearest (0, -100, 0).
        const Index<featurepoint3> r = h.addFeaturepoint("p_rubber", true);
        h.featurepoints[r].set_extrapoint(nearestTriangle({0, -100, 0}), {0.2, 0.3, 0.5}, 1);
        add_featurepoint(r);
        h.octree().fill();
    }
    void TearDown() override { resetFeatureTables(); }
    void place(const char* name, const vector3<double>& at) {
        int best = -1;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v))
            if (best == -1 || (h.vertices[v].position - at).length() < (h.vertices[best].position - at).length())
                best = v;
        const Index<featurepoint3> f = h.addFeaturepoint(name, true);
        h.featurepoints[f].vtx = best;
        add_featurepoint(f);
    }
    Index<triangle> nearestTriangle(const vector3<double>& at) {
        int best = -1;
        for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
            if (best == -1 ||
                (h.triangles[t].weightpoint() - at).length() < (h.triangles[best].weightpoint() - at).length())
                best = t;
        return best;
    }
    std::vector<vector3<double>> positions() const {
        std::vector<vector3<double>> out;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) out.push_back(h.vertices[v].position);
        return out;
    }
    std::vector<std::string> pointsOf(const RegionMorphEngine& e) const {
        std::vector<std::string> out;
        for (const morph::Strafo& r : e.records()) out.push_back(h.featurepoints[r.point].name());
        return out;
    }

    fakes::Services services;
    CleanModel clean;
    head3 h;
    testmesh::Mesh mesh;
};

TEST_F(RegionMorph, RecordsOfTheNamedRowsOnTheHead) {
    RegionMorphEngine e(h);
    e.SetMode("lift", -1, -1);
    // The missing and the unbound point are skipped.
    ASSERT_EQ(pointsOf(e), std::vector<std::string>{"p_front"});
    const morph::Strafo& r = e.records()[0];
    const featurepoint3& f = h.featurepoints[r.point];
    EXPECT_EQ(r.pointPosition, h.vertices[f.vtx].position);
    ASSERT_NE(r.tri, -1);
    EXPECT_EQ(r.position, h.triangles[r.tri].weightpoint());
    const triangle& t = h.triangles[r.tri];
    EXPECT_TRUE(t.a == f.vtx || t.b == f.vtx || t.c == f.vtx);
    EXPECT_EQ(r.strength, 30.0);
    EXPECT_EQ(r.radius, 40.0);
    EXPECT_EQ(e.mode, 3);
    // Names are compared exactly: the table has them in lower case.
    e.SetMode("LIFT", -1, -1);
    EXPECT_TRUE(e.records().empty());
}

TEST_F(RegionMorph, SideSelectorPicksTheMaskCharacter) {
    struct Case {
        int side;
        std::vector<std::string> points;
    };
    for (const Case& c : {Case{1, {"p_left", "p_right", "p_top"}}, Case{2, {"p_left"}}, Case{0, {"p_right"}}}) {
        SCOPED_TRACE(c.side);
        RegionMorphEngine e(h);
        e.sidePosition = c.side;
        e.SetMode("side", -1, -1);
        EXPECT_EQ(pointsOf(e), c.points);
        EXPECT_EQ(e.mode, 4);
        clean_gatheredTriangles();
    }
}

TEST_F(RegionMorph, DirectionCodes) {
    RegionMorphEngine e(h);
    e.SetMode("dirs", -1, -1);
    ASSERT_EQ(pointsOf(e), (std::vector<std::string>{"p_front", "p_left", "p_right", "p_top", "p_rubber"}));
    const std::vector<morph::Strafo>& r = e.records();
    EXPECT_EQ(r[0].direction, vector3<double>(1, 0, 0));
    EXPECT_EQ(r[1].direction, vector3<double>(0, 1, 0));
    EXPECT_EQ(r[2].direction, vector3<double>(0, 0, 1));
    EXPECT_EQ(r[3].direction, h.triangles[r[3].tri].normalvector());
    EXPECT_GT(r[3].direction.y, 0.9);  // outwards at the top
    // An unknown code pushes nowhere; the rubber point's own triangle holds it.
    EXPECT_EQ(r[4].direction, vector3<double>(0, 0, 0));
    EXPECT_EQ(r[4].tri, h.extrapoints[h.featurepoints[r[4].point].extra].tri);
    // The control points: along the direction by amount x factor x softness x 5.
    dynarray<T3DControlPoint> c = e.ControlPoints(2.0);
    ASSERT_EQ(c.size(), 5);
    EXPECT_EQ(c[0].target - c[0].start, vector3<double>(10, 0, 0));
    EXPECT_EQ(c[4].target, c[4].start);
    EXPECT_EQ(c[0].radius, 10);
}

TEST_F(RegionMorph, SelectorFactors) {
    const double want[5] = {0.5, 0.75, 1.0, 1.5, 2.0};
    for (int p = 0; p < 5; ++p) EXPECT_EQ(RegionMorphEngine::SelectorFactor(p), want[p]);
    EXPECT_EQ(RegionMorphEngine::SelectorFactor(-1), 1.0);
    EXPECT_EQ(RegionMorphEngine::SelectorFactor(9), 2.0);
    RegionMorphEngine e(h);
    e.SetMode("lift", 3, 0);
    EXPECT_EQ(e.rangeFactor, 1.5);
    EXPECT_EQ(e.softnessFactor, 0.5);
    ASSERT_EQ(e.records().size(), 1u);
    EXPECT_EQ(e.records()[0].strength, 45.0);
    EXPECT_EQ(e.records()[0].radius, 60.0);
    dynarray<T3DControlPoint> c = e.ControlPoints(1.0);
    EXPECT_NEAR((c[0].target - c[0].start).y, 1.0 * -0.4 * 0.5 * 5.0, 1e-15);
    EXPECT_EQ(c[0].radius, 45);
    // A wider range gathers more.
    const int wide = gatheredTriangles().count();
    clean_gatheredTriangles();
    RegionMorphEngine narrow(h);
    narrow.SetMode("lift", 0, -1);
    EXPECT_LT(gatheredTriangles().count(), wide);
}

TEST_F(RegionMorph, DeformationMovesOnlyGatheredVerticesAndRepeatsExactly) {
    const std::vector<vector3<double>> start = positions();
    RegionMorphEngine e(h);
    e.SetMode("lift", -1, -1);
    // Every triangle within the radius of the record is gathered, no other.
    const morph::Strafo r = e.records()[0];
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        ASSERT_EQ(isGathered(t), (h.triangles[t].weightpoint() - r.position).length() <= r.radius) << t;
    ASSERT_TRUE(e.DoTransformation(3.0, true));
    const std::vector<vector3<double>> once = positions();
    EXPECT_TRUE(e.DoTransformation(3.0, true));
    EXPECT_EQ(positions(), once);
    size_t k = 0;
    int moved = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k) {
        bool inside = true;
        const commonlistindex<triangle>& ts = h.vertices[v].triangles;
        for (int n = ts.first(); n != -1; n = ts.nextOf(n)) inside = inside && isGathered(ts[n]);
        if (!inside) {
            ASSERT_EQ(once[k], start[k]) << v;
        }
        moved += !(once[k] == start[k]);
    }
    EXPECT_GT(moved, 5);
    // The front point moved down (factor -0.4 along y), fixed on its vertex.
    const Index<featurepoint3> f = h.getFeaturepoint("p_front", false);
    EXPECT_LT(h.featurepoints[f].point().y, -0.1);
    // Amount 0 puts everything back.
    e.DoTransformation(0.0, true);
    EXPECT_EQ(positions(), start);
    EXPECT_MODEL_SOUND(h);
}

TEST_F(RegionMorph, FactorZeroHoldsAndANameWithoutRowsChangesNothing) {
    const std::vector<vector3<double>> start = positions();
    {
        RegionMorphEngine e(h);
        e.SetMode("hold", -1, -1);
        ASSERT_EQ(e.records().size(), 1u);
        dynarray<T3DControlPoint> c = e.ControlPoints(5.0);
        EXPECT_EQ(c[0].target, c[0].start);
        e.DoTransformation(5.0, true);
        EXPECT_EQ(positions(), start);
    }
    {
        // The held record of a pair damps the moving one around it.
        RegionMorphEngine e(h);
        e.SetMode("pair", -1, -1);
        ASSERT_EQ(e.records().size(), 2u);
        EXPECT_TRUE(e.DoTransformation(5.0, true));
        EXPECT_NE(positions(), start);
        e.DoTransformation(0.0, true);
    }
    clean_gatheredTriangles();
    RegionMorphEngine e(h);
    e.SetMode("no_such_region", -1, -1);
    EXPECT_TRUE(e.records().empty());
    EXPECT_EQ(gatheredTriangles().count(), 0);
    EXPECT_FALSE(e.DoTransformation(5.0, true));
    EXPECT_EQ(positions(), start);
}

// A sequence on one engine: the set grows over the regions; the refresh
// files the moved triangles again and empties the set; closing empties it
// too.
TEST_F(RegionMorph, SequencesRefreshAndClosing) {
    const morph::RegionStep steps[] = {{"LIFT", -1, -1, 0.1}, {"SIDE", 1, 3, -0.1}};
    morph::RunRegionSteps(h, steps, 2);
    EXPECT_GT(gatheredTriangles().count(), 0);
    morph::RefreshAfterRegions(h);
    EXPECT_EQ(gatheredTriangles().count(), 0);
    EXPECT_MODEL_SOUND(h);
    // The refiled octree finds the moved front.
    vector3<double> b;
    const Index<triangle> hit = h.octree().getfirst({0, -1, 300}, {0, 0, -1}, &b);
    ASSERT_NE(hit, -1);
    const triangle& t = h.triangles[hit];
    const double z = (h.vertices[t.a].position * b.x + h.vertices[t.b].position * b.y +
                      h.vertices[t.c].position * b.z).z;
    EXPECT_GT(z, 90.0);
    RegionMorphEngine e(h);
    e.SetMode("lift", -1, -1);
    EXPECT_GT(gatheredTriangles().count(), 0);
    e.OKK();
    EXPECT_EQ(gatheredTriangles().count(), 0);
    EXPECT_TRUE(e.records().empty());
}

// Records on a line give a spline of further records along it, which are
// not added.
TEST_F(RegionMorph, LineRecordsStayOut) {
    RegionMorphEngine e(h);
    e.SetMode("pair", -1, -1);
    EXPECT_EQ(e.GetIndex_in_m_trafo(1, 0), 0);
    EXPECT_EQ(e.GetIndex_in_m_trafo(1, 1), 1);
    EXPECT_EQ(e.GetIndex_in_m_trafo(1, 2), -1);
    EXPECT_EQ(e.GetIndex_in_m_trafo(2, 0), -1);
    const std::vector<morph::Strafo> along = e.MakeSpline(1);
    EXPECT_GT(along.size(), 3u);
    for (const morph::Strafo& r : along) {
        EXPECT_EQ(r.line, -1);
        EXPECT_NEAR(r.position.length(), 100.0, 2.0);  // on the sphere
    }
    EXPECT_EQ(e.records().size(), 2u);
    EXPECT_TRUE(e.MakeSpline(3).empty());
}

}  // namespace
