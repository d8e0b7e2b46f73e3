// The built-in template heads as the program loads them: each TEMPLATE head
// reads through head3::read into a whole head with its tables, regions and
// fixed, mirrored feature points, and every age shape fits the full head.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "framework/resources.h"
#include "model/head.h"
#include "model/morph.h"
#include "tests/support/fakes.h"
#include "tests/support/model_invariants.h"

namespace {

class TemplateHeads : public ::testing::Test {
protected:
    void SetUp() override { resetModelState(); }
    void TearDown() override { resetModelState(); }

    bool load(head3& h, unsigned number) {
        std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", number);
        if (!bytes.data()) return false;
        fileTB f;
        f.open(bytes.data(), bytes.size());
        h.read(f, false);
        return f.good() && h.status != 0;
    }

    fakes::Services services;
};

// The positions of an age shape, mapped into head coordinates.
std::vector<vector3<double>> ageShape(const head3& h, unsigned number) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", number);
    std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::vector<vector3<double>> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;
        double x, y, z;
        if (std::sscanf(text.c_str() + at, "%lg %lg %lg", &x, &y, &z) != 3) break;
        out.push_back({h.scale * x - h.offset.x, h.scale * y - h.offset.y, h.scale * z - h.offset.z});
        at = end + 1;
    }
    return out;
}

std::vector<int> slots(const fnd::chain<vertex>& c) {
    std::vector<int> out;
    for (int k = c.first(); k != -1; k = c.nextOf(k)) out.push_back(k);
    return out;
}

// Each vertex slot's mirror vertex: the one at the mirrored position (the
// files store no mirror links); -1 when there is none.
std::map<int, int> mirrorsByPosition(const head3& h) {
    std::map<std::array<double, 3>, int> at;
    for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) {
        const vector3<double>& p = h.vertices[k].position;
        at[{p.x, p.y, p.z}] = k;
    }
    std::map<int, int> out;
    for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) {
        const vector3<double>& p = h.vertices[k].position;
        auto it = at.find({p.x == 0.0 ? 0.0 : -p.x, p.y, p.z});
        out[k] = it == at.end() ? -1 : it->second;
    }
    return out;
}

double area2(const vector3<double>& a, const vector3<double>& b, const vector3<double>& c) {
    vector3<double> u = b - a, v = c - a;
    double x = u.y * v.z - u.z * v.y, y = u.z * v.x - u.x * v.z, z = u.x * v.y - u.y * v.x;
    return std::sqrt(x * x + y * y + z * z);
}

// The point on the other side: left and right swapped, contour angles
// mirrored about the vertical.
std::string mirrorName(const std::string& name) {
    const std::string contour = "_contour_";
    if (name.rfind(contour, 0) == 0) return contour + std::to_string((540 - std::stoi(name.substr(contour.size()))) % 360);
    std::string out;
    std::size_t at = 0;
    while (at <= name.size()) {
        std::size_t end = std::min(name.find('_', at), name.size());
        std::string word = name.substr(at, end - at);
        out += word == "left" ? "right" : word == "right" ? "left" : word;
        if (end < name.size()) out += '_';
        at = end + 1;
    }
    return out;
}

const char* const kPoints[] = {
    "tip_of_the_nose", "bridge_of_the_nose", "top_of_the_forehead", "bottom_of_the_nose",
    "top_of_the_mouth", "bottom_of_the_mouth", "left_corner_of_the_left_eye",
    "right_corner_of_the_right_eye", "left_corner_of_the_mouth", "top_of_the_left_ear",
    "middle_of_the_left_ear", "bottom_of_the_right_ear", "_contour_270", "_contour_30",
    "_contour_150", "top_of_the_chin", "left_side_of_the_neck", "middle_of_the_right_eyebrow",
    "left_cheek", "top_of_the_nose",
};

// 101 and 102 also share the full head's topology and nose tip vertex.
TEST_F(TemplateHeads, EachHeadReadsWithItsTablesRegionsAndPoints) {
    std::vector<std::array<int, 3>> fullCorners;
    int fullTip = -1;
    for (unsigned number : {122u, 101u, 102u}) {
        SCOPED_TRACE(number);
        head3 h;
        ASSERT_TRUE(load(h, number));
        EXPECT_MODEL_SOUND(h);
        std::vector<std::array<int, 3>> corners;
        for (int k = h.triangles.first(); k != -1; k = h.triangles.nextOf(k))
            corners.push_back({h.triangles[k].a, h.triangles[k].b, h.triangles[k].c});
        Index<featurepoint3> tipPoint = h.getFeaturepoint("tip_of_the_nose", false);
        ASSERT_NE(tipPoint, -1);
        int tip = h.featurepoints[tipPoint].vtx;
        if (number == 122u) {
            fullCorners = corners;
            fullTip = tip;
        } else {
            EXPECT_EQ(corners, fullCorners);
            EXPECT_EQ(tip, fullTip);
        }
        EXPECT_EQ(h.secondFlag, 1);
        EXPECT_GT(h.vertices.count(), 15000);
        EXPECT_EQ(h.triangles.count() % 2, 0);
        const svc::FaceTables& t = services.document.faceTables;
        EXPECT_EQ(t.headGroup, 0);
        EXPECT_NE(t.faceMaterial, 0);
        EXPECT_NE(t.lipMaterial, 0);
        EXPECT_NE(t.eyeSocketMaterial, 0);
        EXPECT_NE(t.lipMaterial, t.faceMaterial);
        EXPECT_EQ(t.txtCoordinates.size(), h.vertices.count());
        std::vector<int> inAreas(h.triangles.count(), 0);
        for (int a = h.areas.first(); a != -1; a = h.areas.nextOf(a)) {
            const area& ar = h.areas[a];
            for (int k = ar.triangles.first(); k != -1; k = ar.triangles.nextOf(k)) ++inAreas.at(ar.triangles[k]);
        }
        EXPECT_EQ(std::count(inAreas.begin(), inAreas.end(), 1), h.triangles.count());
        for (int k = h.triangles.first(); k != -1; k = h.triangles.nextOf(k)) {
            const triangle& tr = h.triangles[k];
            for (int c = 0; c < 3; ++c) ASSERT_TRUE(tr.txtRow[c] >= 0 && tr.txtRow[c] < t.txtCoordinates.size());
            ASSERT_NE(tr.material, 2);
        }
        Index<region> whole = h.getRegion("whole_head", false);
        ASSERT_NE(whole, -1);
        EXPECT_EQ(h.regions[whole].areas.count(), h.areas.count());
        for (const char* r : {"mouth", "nose_0", "left_eye", "right_ear_0"}) {
            Index<region> i = h.getRegion(r, false);
            ASSERT_NE(i, -1) << r;
            EXPECT_GT(h.regions[i].areas.count(), 0) << r;
        }
        // No mirror links are stored: an edge collapse must not collapse the
        // mirror edge as well.
        for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) ASSERT_EQ(h.vertices[k].mirror, -1);
        for (int k = h.triangles.first(); k != -1; k = h.triangles.nextOf(k)) ASSERT_EQ(h.triangles[k].mirror, -1);
        std::map<int, int> mirrorOf = mirrorsByPosition(h);
        double zmax = -1e300;
        for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k))
            zmax = std::max(zmax, h.vertices[k].position.z);
        for (const char* name : kPoints) {
            Index<featurepoint3> p = h.getFeaturepoint(name, false);
            ASSERT_NE(p, -1) << name;
            const featurepoint3& fp = h.featurepoints[p];
            ASSERT_TRUE(fp.isFixed()) << name;
            Index<featurepoint3> m = h.getFeaturepoint(mirrorName(name).c_str(), false);
            ASSERT_NE(m, -1) << name;
            const featurepoint3& mp = h.featurepoints[m];
            EXPECT_EQ(mirrorOf[fp.vtx], int(mp.vtx)) << name;
            EXPECT_EQ(h.vertices[fp.vtx].position.x, -h.vertices[mp.vtx].position.x) << name;
        }
        EXPECT_EQ(h.vertices[tip].position.z, zmax);
        EXPECT_EQ(h.vertices[tip].position.x, 0.0);
        EXPECT_LT(h.vertices[h.featurepoints[h.getFeaturepoint("left_corner_of_the_left_eye", false)].vtx]
                      .position.x,
                  -38.0);
    }
}

// Every age shape has one line per vertex; 1222 is the full head itself, the
// others move it without folding a triangle flat or breaking the symmetry.
TEST_F(TemplateHeads, AgeShapesFitTheFullHead) {
    head3 h;
    ASSERT_TRUE(load(h, 122));
    std::vector<int> order = slots(h.vertices);
    std::map<int, int> mirrorOf = mirrorsByPosition(h);
    for (unsigned number : {1220u, 1221u, 1222u, 1223u, 1228u}) {
        SCOPED_TRACE(number);
        std::vector<vector3<double>> shape = ageShape(h, number);
        ASSERT_EQ(shape.size(), order.size());
        double moved = 0.0;
        for (std::size_t n = 0; n < order.size(); ++n) {
            const vertex& v = h.vertices[order[n]];
            for (double d : {shape[n].x - v.position.x, shape[n].y - v.position.y, shape[n].z - v.position.z})
                moved = std::max(moved, std::fabs(d));
            int m = mirrorOf[order[n]];
            ASSERT_NE(m, -1);
            ASSERT_EQ(shape[m].x, -shape[n].x);
            ASSERT_EQ(shape[m].y, shape[n].y);
        }
        if (number == 1222u) EXPECT_LT(moved, 0.01);
        else EXPECT_GT(moved, 1.0);
        for (int k = h.triangles.first(); k != -1; k = h.triangles.nextOf(k)) {
            const triangle& t = h.triangles[k];
            ASSERT_GT(area2(shape[t.a], shape[t.b], shape[t.c]), 1e-6) << "triangle " << k;
        }
    }
}

// The full head as the picture-editor mode reads it: the age-20 shape with
// the age-80 and age-30 deltas taken from it, then the age-10 shape as the
// geometry (age 0 when the document asks for it). The morphs move only
// positions, so one sound head covers every age; the shapes themselves are
// checked above.
TEST_F(TemplateHeads, FullHeadReadsSoundWithTheAgeShapes) {
    services.document.state().templateId = 122;
    services.app.state().pictureEditor = 1;
    head3 h;
    {
        ReadingMorphs templateRead;
        ASSERT_TRUE(load(h, 122));
    }
    EXPECT_MODEL_SOUND(h);
    EXPECT_EQ(testsupport::eulerCharacteristic(h), 5);  // the skin open at the neck, two closed eyeballs
    std::vector<int> order = slots(h.vertices);
    std::vector<vector3<double>> young = ageShape(h, 1222), heavy = ageShape(h, 1223), old = ageShape(h, 1228);
    auto worst = [&](const std::vector<vector3<double>>& base) {
        double w = 0.0;
        for (std::size_t n = 0; n < order.size(); ++n) {
            const vertex& v = h.vertices[order[n]];
            for (const vector3<double>& d :
                 {v.position - base[n], v.age80 - (old[n] - young[n]), v.age30 - (heavy[n] - young[n])})
                w = std::max({w, std::fabs(d.x), std::fabs(d.y), std::fabs(d.z)});
        }
        return w;
    };
    ASSERT_EQ(young.size(), order.size());
    EXPECT_LT(worst(ageShape(h, 1221)), 1e-9);
    // The document's flag for age 0 swaps the last shape, the deltas stay.
    read_age_morph(0);
    EXPECT_LT(worst(ageShape(h, 1220)), 1e-9);
}

TEST_F(TemplateHeads, CubeReadsAsEightVerticesAndOneArea) {
    head3 h;
    ASSERT_TRUE(load(h, 121));
    EXPECT_EQ(h.secondFlag, 0);
    EXPECT_EQ(h.vertices.count(), 8);
    EXPECT_EQ(h.triangles.count(), 12);
    EXPECT_EQ(h.colors.count(), 10);
    EXPECT_EQ(h.areas.count(), 1);
    EXPECT_NE(h.getRegion("whole_head", false), -1);
}

}  // namespace
