// Age shapes from TEMPLATE resources and the DAZ exchange file's vertex
// lines, with small resources and files made here.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "framework/paths.h"
#include "framework/resources.h"
#include "model/head.h"
#include "model/morph.h"
#include "model/topology.h"
#include "tests/support/fakes.h"
#include "tests/support/test_meshes.h"

namespace {

class Morph : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        services.document.state().templateId = 122;
    }
    void TearDown() override {
        resetMorphResources();
        resetModelState();
    }
    fakes::Services services;
};

// Three vertices, one triangle with an edit point; scale 2, offset (1, 1, 1).
struct Small {
    head3 h;
    int v[3];
    Index<extrapoint> e = -1;
    Small() {
        Index<area> a = h.areas.add();
        v[0] = testmesh::addVertex(h, {0, 0, 0});
        v[1] = testmesh::addVertex(h, {1, 0, 0});
        v[2] = testmesh::addVertex(h, {0, 1, 0});
        Index<triangle> t = testmesh::addTriangle(h, a, v[0], v[1], v[2]);
        set_extrapoint(&e, t, {0.2, 0.3, 0.5}, 1);
        h.scale = 2.0;
        h.offset = {1, 1, 1};
    }
    vector3<double> at(int k) { return h.vertices[v[k]].position; }
};

const char* kList = "1 2 3\n4 5 6\n7 8 9\n";
const vector3<double> kMapped[3] = {{1, 3, 5}, {7, 9, 11}, {13, 15, 17}};  // 2 x p - (1, 1, 1)

TEST_F(Morph, AgeShapesReplaceOrAnnotate) {
    for (int age : {0, 10, 20}) {
        resetModelState();
        installMorphResource(1220 + age / 10, kList);
        Small s;
        read_age_morph(age);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(s.at(k), kMapped[k]) << age;
        // The edit point follows the surface.
        vector3<double> want = kMapped[0] * 0.2 + kMapped[1] * 0.3 + kMapped[2] * 0.5;
        EXPECT_NEAR((s.h.extrapoints[s.e].position - want).length(), 0.0, 1e-12);
    }
    resetModelState();
    installMorphResource(1228, kList);
    installMorphResource(1223, "0.5 0.5 0.5\n0.5 0.5 0.5\n0.5 0.5 0.5");  // no final line feed
    Small s;
    read_age_morph(80);
    read_age_morph(30);
    EXPECT_EQ(s.at(1), vector3<double>(1, 0, 0));
    EXPECT_EQ(s.h.vertices[s.v[1]].age80, kMapped[1] - vector3<double>(1, 0, 0));
    EXPECT_EQ(s.h.vertices[s.v[2]].age30, vector3<double>(0, 0, 0) - vector3<double>(0, 1, 0));
}

TEST_F(Morph, ReadingOrderInThePictureEditorMode) {
    installMorphResource(1222, "1 1 1\n1 1 1\n1 1 1\n");  // age 20: every vertex at (1, 1, 1)
    installMorphResource(1228, "2 1 1\n2 1 1\n2 1 1\n");
    installMorphResource(1223, "1 2 1\n1 2 1\n1 2 1\n");
    installMorphResource(1221, kList);
    installMorphResource(1220, "0 0 0\n0 0 0\n0 0 0\n");
    for (bool age0 : {false, true}) {
        resetModelState();
        services.app.state().pictureEditor = 1;
        services.document.state().age0 = age0;
        Small s;
        apply_reading_morphs();
        // The deltas are taken from the age-20 shape, the last shape stays.
        EXPECT_EQ(s.h.vertices[s.v[0]].age80, vector3<double>(2, 0, 0));
        EXPECT_EQ(s.h.vertices[s.v[0]].age30, vector3<double>(0, 2, 0));
        EXPECT_EQ(s.at(0), age0 ? vector3<double>(-1, -1, -1) : kMapped[0]);
    }
    resetModelState();
    services.app.state().pictureEditor = 0;
    Small s;
    apply_reading_morphs();
    EXPECT_EQ(s.at(1), vector3<double>(1, 0, 0));
}

// The eight corners of the built-in cube (scale 1, offset 0), in file order.
std::vector<vector3<double>> cubeCorners() {
    std::vector<vector3<double>> out;
    for (int k = 0; k < 8; ++k) out.push_back({k & 1 ? 10.0 : -10.0, k & 2 ? 10.0 : -10.0, k & 4 ? 10.0 : -10.0});
    return out;
}

std::string cornerLines(double factor, const char* prefix = "") {
    std::string out;
    for (const vector3<double>& c : cubeCorners())
        out += prefix + std::to_string(c.x * factor) + " " + std::to_string(c.y * factor) + " " +
               std::to_string(c.z * factor) + "\n";
    return out;
}

// Reads the built-in cube through the whole reader; false when it did not read.
bool readCube(head3& h) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 121);
    if (!bytes.data()) return false;
    fileTB f;
    f.open(bytes.data(), bytes.size());
    h.read(f, false);
    return f.good() && h.vertices.count() == 8;
}

// Reading a head ends with the morphs: in the picture-editor mode the age
// shapes (ages 20, 80, 30, then 10), otherwise the file's positions stay.
TEST_F(Morph, ReadingAHeadAppliesTheAgeShapes) {
    installMorphResource(1222, cornerLines(2));
    installMorphResource(1228, cornerLines(3));
    installMorphResource(1223, cornerLines(4));
    installMorphResource(1221, cornerLines(0.5));
    installMorphResource(1220, cornerLines(0.25));
    for (int editor : {1, 0}) {
        resetModelState();
        services.app.state().pictureEditor = editor;
        head3 h;
        {
            ReadingMorphs templateRead;
            ASSERT_TRUE(readCube(h));
        }
        std::vector<vector3<double>> c = cubeCorners();
        size_t k = 0;
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k) {
            const vertex& x = h.vertices[v];
            EXPECT_EQ(x.position, editor ? c[k] * 0.5 : c[k]) << editor << " " << k;
            EXPECT_EQ(x.age80, editor ? c[k] : vector3<double>()) << editor << " " << k;  // 3c - 2c
            EXPECT_EQ(x.age30, editor ? c[k] * 2.0 : vector3<double>()) << editor << " " << k;
        }
        // The box is that of the shape the reader ended with.
        EXPECT_EQ(h.boxMax.x, editor ? 5.0 : 10.0);
    }
    // Outside a template read (a head file, a snapshot) the file's
    // positions stay.
    resetModelState();
    services.app.state().pictureEditor = 1;
    head3 h;
    ASSERT_TRUE(readCube(h));
    std::vector<vector3<double>> c = cubeCorners();
    size_t k = 0;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k) {
        EXPECT_EQ(h.vertices[v].position, c[k]) << k;
        EXPECT_EQ(h.vertices[v].age80, vector3<double>()) << k;
    }
}

TEST_F(Morph, WrongListsChangeNothing) {
    struct Case {
        const char* what;
        int templateId, age;
        const char* text;
    };
    std::vector<Case> cases = {
        {"cube template", 121, 20, kList},
        {"short list", 122, 20, "1 2 3\n4 5 6\n"},
        {"long list", 122, 20, "1 2 3\n4 5 6\n7 8 9\n1 1 1\n"},
        {"two numbers on a line", 122, 20, "1 2 3\n4 5\n7 8 9\n"},
        {"no such age", 122, 40, kList},
        {"no resource", 122, 10, nullptr},
    };
    for (const Case& c : cases) {
        resetModelState();
        resetMorphResources();
        services.document.state().templateId = c.templateId;
        if (c.text) installMorphResource(1220 + c.age / 10, c.text);
        Small s;
        read_age_morph(c.age);
        EXPECT_EQ(s.at(1), vector3<double>(1, 0, 0)) << c.what;
        EXPECT_EQ(s.h.vertices[s.v[1]].age80, vector3<double>(0, 0, 0)) << c.what;
    }
}

class DazMorph : public Morph {
protected:
    void SetUp() override {
        Morph::SetUp();
        root = std::filesystem::path(brv::TempDirectory()) / ("dazmorph" + std::to_string(getpid()));
        std::filesystem::create_directories(root / "a" / "b");
        std::filesystem::create_directories(root / "a" / "resources" / "Brivanta");
        auto& app = services.app.state();
        app.programFolder = (root / "a" / "b").string() + "/";
        app.dazMode = 2;
        app.figureName = "Genesis";
    }
    void TearDown() override {
        std::filesystem::remove_all(root);
        Morph::TearDown();
    }
    void write(const std::string& text) {
        std::ofstream(root / "a" / "resources" / "Brivanta" / "kv3d.obj", std::ios::binary) << text;
    }
    std::filesystem::path root;
};

TEST_F(DazMorph, VertexLinesInOrder) {
    write("# exchange\nvn 0 0 1\nv 1 2 3\nvt 0.5 0.5\nv 4 5 6\r\ng head\nv 7 8 9\nf 1 2 3\n");
    Small s;
    read_DAZ_morph();
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.at(k), kMapped[k]);
}

TEST_F(DazMorph, ReadingAHeadAppliesTheExchangeFile) {
    services.app.state().pictureEditor = 0;
    write("# exchange\n" + cornerLines(1.5, "v "));
    for (bool templateRead : {true, false}) {
        resetModelState();
        std::optional<ReadingMorphs> morphs;
        if (templateRead) morphs.emplace();
        head3 h;
        ASSERT_TRUE(readCube(h));
        std::vector<vector3<double>> c = cubeCorners();
        size_t k = 0;
        // Only a template read takes the exchange file's positions.
        for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v), ++k)
            EXPECT_EQ(h.vertices[v].position, templateRead ? c[k] * 1.5 : c[k]);
    }
}

TEST_F(DazMorph, OnlyInTheDazModeWithAFigureAndAFullList) {
    struct Case {
        const char* what;
        int dazMode;
        const char* figure;
        const char* text;
    };
    std::vector<Case> cases = {
        {"not in the DAZ mode", 0, "Genesis", "v 1 2 3\nv 4 5 6\nv 7 8 9\n"},
        {"no figure", 2, "Other", "v 1 2 3\nv 4 5 6\nv 7 8 9\n"},
        {"fewer vertex lines", 2, "Genesis", "v 1 2 3\nv 4 5 6\n"},
        {"empty file", 2, "Genesis", ""},
    };
    for (const Case& c : cases) {
        resetModelState();
        services.app.state().dazMode = c.dazMode;
        services.app.state().figureName = c.figure;
        write(c.text);
        Small s;
        read_DAZ_morph();
        EXPECT_EQ(s.at(1), vector3<double>(1, 0, 0)) << c.what;
    }
}

}  // namespace
