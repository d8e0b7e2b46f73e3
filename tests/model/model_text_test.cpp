// The model text format: golden text of a small head, round trips, the cube
// text, malformed files and the 2D feature set section.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>
#include <unistd.h>

#include "foundation/random.h"
#include "framework/resources.h"
#include "model/head.h"
#include "tests/support/fakes.h"
#include "tests/support/model_fixture.h"

namespace {

std::string tempPath() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/model_text_" + std::to_string(getpid()) + ".txt";
    return path;
}

// What a writer produces through a file stream.
std::string written(const std::function<void(fileTB&)>& write) {
    std::string path = tempPath();
    {
        fileTB f;
        EXPECT_TRUE(f.open(path.c_str(), "wt"));
        write(f);
        EXPECT_TRUE(f.good());
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::remove(path.c_str());
    return ss.str();
}

class ModelText : public testsupport::ModelTest {};

template <class T>
Index<T> at(fnd::chain<T>& c, int slot) {
    Index<T> i = c.insert_before_whichindex(slot, -1);
    EXPECT_EQ(i, slot);
    return i;
}

// A small head with gaps in every index range and chains out of slot order.
void buildTiny(head3& h, svc::FaceTables& tables) {
    h.set_name("tiny", false);
    h.status = 1;
    h.secondFlag = 1;
    h.offset = {0, 742.226, -1.047};
    h.scale = 1077.331;
    h.vertices[at(h.vertices, 5)].position = {0, 0.25, -20};
    h.vertices[at(h.vertices, 0)].position = {0, 0, 0};
    h.vertices[0].mirror = 0;
    h.vertices[at(h.vertices, 2)].position = {10.5, 0, 0};

    triangle& t3 = h.triangles[at(h.triangles, 3)];
    t3.a = 0, t3.b = 2, t3.c = 5;
    t3.material = 1;
    t3.txtRow[0] = 0, t3.txtRow[1] = 1, t3.txtRow[2] = 2;
    triangle& t1 = h.triangles[at(h.triangles, 1)];
    t1.mirror = 3;
    h.triangles[3].mirror = 1;
    t1.a = 5, t1.b = 2, t1.c = 0;

    extrapoint& e = h.extrapoints[at(h.extrapoints, 4)];
    e.tri = 3;
    e.local = {0.2, 0.3, 0.5};

    Index<featurepoint3> cheek = at<featurepoint3>(h.featurepoints, 3);
    h.featurepoints[cheek].set_name("left_cheek", false);
    h.featurepoints[cheek].extra = 4;
    h.featurepoints[cheek].weight = 0.5;
    Index<featurepoint3> tip = at<featurepoint3>(h.featurepoints, 0);
    h.featurepoints[tip].set_name("tip_of_the_nose", false);
    h.featurepoints[tip].used = 1;
    h.featurepoints[tip].mirror = 0;
    h.featurepoints[tip].vtx = 2;
    h.featurepoints[tip].weight = 2.0;

    Index<featureline3> brow = at<featureline3>(h.featurelines, 1);
    featureline3& line = h.featurelines[brow];
    line.set_name("left_eyebrow", false);
    line.used = 1;
    fnd::chain<linepoint3>& points = line;
    linepoint3& p7 = points[at(points, 7)];
    p7.vtx = 0;
    p7.kind = 2;
    linepoint3& p2 = points[at(points, 2)];
    p2.extra = 4;
    p2.kind = 2;

    Index<featurecolor> erme = at<featurecolor>(h.colors, 0);
    h.colors[erme] = featurecolor(0.33, 0.33, 0.33);
    h.colors[erme].set_name("color_of_erme", false);
    Index<featurecolor> skin = at<featurecolor>(h.colors, 1);
    h.colors[skin] = featurecolor(0.68, 0.52, 0.50);
    h.colors[skin].set_name("color_of_skin", false);

    area& a = h.areas[at(h.areas, 0)];
    a.triangles.add_data(3);
    a.triangles.add_data(1);

    Index<region> mouth = at<region>(h.regions, 2);
    region& r = h.regions[mouth];
    r.set_name("mouth", false);
    r.mirror = 2;
    r.colour = 1;
    r.areas.add_data(0);
    r.lines.add_data(1);
    r.points.add_data(3);
    r.points.add_data(0);

    tables.groups.resize(1);
    std::snprintf(tables.groups[0].name, sizeof tables.groups[0].name, "head~g_head");
    tables.materials.resize(2);
    std::snprintf(tables.materials[0].name, sizeof tables.materials[0].name, "4_innermouth");
    std::snprintf(tables.materials[1].name, sizeof tables.materials[1].name, "1_skinface");
    tables.txtCoordinates.resize(3);
    tables.txtCoordinates[0] = {0.5, 0.25};
    tables.txtCoordinates[1] = {1.0, 0.0};
    tables.txtCoordinates[2] = {0.125, 0.75};
}

const char* const kTinyText =
    "3 1 0 "
    "\n\t1 1 0.000000   742.226    -1.047  1077.331 "
    "\n\tAllOfEditedData3D::tiny "
    "\n\t\t3 \tof::Vertex "
    "\n\t\t2 \tof::Triangle "
    "\n\t\t1 \tof::EditPoint "
    "\n\t\t2 \tof::FeaturePoint3D "
    "\n\t\t1 \tof::FeatureLine3D "
    "\n\t\t2 \tof::FeatureColor "
    "\n\t\t1 \tof::BasicArea "
    "\n\t\t1 \tof::AnatomicalRegion "
    "\n\t\t1 \tof::Group "
    "\n\t\t2 \tof::Material "
    "\n\t\t3 \tof::TxtCoordinate "
    "\n\t\t\t:::::: "
    "\n\t\t3 \tof::Vertex "
    "\n\t\t\t0 0 0.000000 0.000000 0.000000 "
    "\n\t\t\t2 -1    10.500 0.000000 0.000000 "
    "\n\t\t\t5 -1 0.000000 0.250000   -20.000 "
    "\n\t\t2 \tof::Triangle "
    "\n\t\t\t1 3 -1 \t5 2 0 \t0 0 \t-1 -1 -1 "
    "\n\t\t\t3 1 -1 \t0 2 5 \t0 1 \t0 1 2 "
    "\n\t\t1 \tof::EditPoint "
    "\n\t\t\t4 \t-1 \t3 \t0.200000 0.300000 0.500000 \t1 "
    "\n\t\t2 \tof::FeaturePoint3D "
    "\n\t\t\t3 \tth::FeaturePoint3D::left_cheek "
    "\n\t\t\t\t-1 \t-1 \t4 -1 0.500000 "
    "\n\t\t\t0 \tth::FeaturePoint3D::tip_of_the_nose "
    "\n\t\t\t\t1 \t0 \t-1 2     2.000 "
    "\n\t\t1 \tof::FeatureLine3D "
    "\n\t\t\t1 \tth::FeatureLine3D::left_eyebrow "
    "\n\t\t\t\t1 -1 0 0 0 3 0.000000 0.000000 0.000000 "
    "\n\t\t\t\t2 \tof::LinePoint3D "
    "\n\t\t\t\t2 \tof::LinePoint3D "
    "\n\t\t\t\t\t7 \t-1 0 \t1.000000 1.000000 \t2 "
    "\n\t\t\t\t\t2 \t4 -1 \t1.000000 1.000000 \t2 "
    "\n\t\t2 \tof::FeatureColor "
    "\n\t\t\t0 th::FeatureColor::color_of_erme "
    "\n\t\t\t\t0.330000 0.330000 0.330000 "
    "\n\t\t\t1 th::FeatureColor::color_of_skin "
    "\n\t\t\t\t0.680000 0.520000 0.500000 "
    "\n\t\t1 \tof::BasicArea "
    "\n\t\t\t0 \tth::BasicArea "
    "\n\t\t\t\t-1 "
    "\n\t\t\t\t2 \tof::Triangle "
    "\n\t\t\t\t2 \tof::Triangle "
    "\n\t\t\t\t\t1 "
    "\n\t\t\t\t\t3 "
    "\n\t\t1 \tof::AnatomicalRegion "
    "\n\t\t\t2 \tth::AnatomicalRegion::mouth "
    "\n\t\t\t\t-1 \t2 \t1 \t-1 "
    "\n\t\t\t\t0.000000 0.000000 0.000000 \t1.000000 0.000000 0.000000 \t0.000000 1.000000 0.000000 "
    "\t0.000000 0.000000 1.000000 "
    "\n\t\t\t\t1 \tof::BasicArea "
    "\n\t\t\t\t1 \tof::FeatureLine3D "
    "\n\t\t\t\t2 \tof::FeaturePoint3D "
    "\n\t\t\t\t1 \tof::BasicArea "
    "\n\t\t\t\t\t0 "
    "\n\t\t\t\t1 \tof::FeatureLine3D "
    "\n\t\t\t\t\t1 "
    "\n\t\t\t\t2 \tof::FeaturePoint3D "
    "\n\t\t\t\t\t0 "
    "\n\t\t\t\t\t3 "
    "\n\t\t1 \tof::Group "
    "\n\t\t\t\t0 \thead~g_head\t0.000000 \t0.000000 \t0.000000  "
    "\n\t\t2 \tof::Material "
    "\n\t\t\t\t0 \t\t4_innermouth "
    "\n\t\t\t\t1 \t\t1_skinface "
    "\n\t\t3 \tof::TxtCoordinate "
    "\n\t\t\t\t0 \t\t0.500000 0.250000  "
    "\n\t\t\t\t1 \t\t1.000000 0.000000  "
    "\n\t\t\t\t2 \t\t0.125000 0.750000  "
    "\n\t\t";

// Reads the text of a head into h, as the file holds it (assemble: with
// the after-reading pass); returns whether the stream stayed good.
bool readText(head3& h, const std::string& text, bool assemble = false) {
    fileTB f;
    f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    if (assemble)
        h.read(f, false);
    else
        h.read_text(f);
    return f.good();
}

TEST_F(ModelText, GoldenTextOfASmallHead) {
    std::string text;
    {
        head3 h;
        buildTiny(h, services.document.faceTables);
        text = written([&](fileTB& f) { h.write(f); });
    }
    EXPECT_EQ(text, kTinyText);
}

TEST_F(ModelText, WriteReadWriteGivesTheSameBytes) {
    services.document.faceTables = svc::FaceTables();
    head3 h;
    ASSERT_TRUE(readText(h, kTinyText));
    EXPECT_EQ(std::string(h.name()), "tiny");
    EXPECT_EQ(h.status, 1);
    EXPECT_EQ(h.secondFlag, 1);
    EXPECT_NEAR(h.scale, 1077.331, 1e-3);
    // The indices of the file, gaps included, and the chain order of the
    // named lists.
    EXPECT_EQ(h.vertices.count(), 3);
    EXPECT_EQ(h.vertices[5].position.z, -20.0);
    EXPECT_EQ(h.featurepoints.first(), 3);
    EXPECT_EQ(h.featurepoints.get("tip_of_the_nose"), 0);
    const fnd::chain<linepoint3>& points = h.featurelines[1];
    EXPECT_EQ(points.first(), 7);
    EXPECT_EQ(points[7].line, 1);  // linked back to their line
    EXPECT_EQ(points[2].line, 1);
    // The edit point's position follows from its triangle.
    EXPECT_NEAR(h.extrapoints[4].position.x, 0.3 * 10.5, 1e-6);
    EXPECT_NEAR(h.extrapoints[4].position.z, 0.5 * -20, 1e-6);
    // The document's tables.
    const svc::FaceTables& t = services.document.faceTables;
    ASSERT_EQ(t.groups.size(), 1);
    EXPECT_STREQ(t.groups[0].name, "head~g_head");
    EXPECT_EQ(t.headGroup, 0);
    EXPECT_EQ(t.faceMaterial, 1);
    EXPECT_EQ(t.txtCoordinates[2].v, 0.75);
    EXPECT_EQ(written([&](fileTB& f) { h.write(f); }), kTinyText);
}

TEST_F(ModelText, EmptyHeadWritesCountLinesOnly) {
    head3 h;
    std::string text = written([&](fileTB& f) { h.write(f); });
    EXPECT_NE(text.find("\n\t\t0 \tof::Vertex \n\t\t0 \tof::Triangle "), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 3), "\n\t\t");
    head3 back;
    ASSERT_TRUE(readText(back, text));
    EXPECT_EQ(back.vertices.count(), 0);
    EXPECT_EQ(back.colors.count(), 0);  // the file's (empty) colour list replaces the built-in colours
}

// The cube as the built-in resources carry it: CR LF and its own spacing.
const char* const kCubeText =
    "3 1 0\r\n"
    "\t1 0 0.000000 0.000000 0.000000 1.000000\r\n"
    "\tAllOfEditedData3D::cube\r\n"
    "\t\t8 of::Vertex\r\n\t\t12 of::Triangle\r\n\t\t0 of::EditPoint\r\n\t\t0 of::FeaturePoint3D\r\n"
    "\t\t0 of::FeatureLine3D\r\n\t\t10 of::FeatureColor\r\n\t\t1 of::BasicArea\r\n\t\t0 of::AnatomicalRegion\r\n"
    "\t\t0 of::Group\r\n\t\t0 of::Material\r\n\t\t0 of::TxtCoordinate\r\n"
    "\t\t::::::\r\n"
    "\t\t8 of::Vertex\r\n"
    "\t\t\t0 -1 -10.000 -10.000 -10.000\r\n"
    "\t\t\t1 -1 10.000 -10.000 -10.000\r\n"
    "\t\t\t2 -1 10.000  10.000 -10.000\r\n"
    "\t\t\t3 -1 -10.000  10.000 -10.000\r\n"
    "\t\t\t4 -1 -10.000 -10.000  10.000\r\n"
    "\t\t\t5 -1  10.000 -10.000  10.000\r\n"
    "\t\t\t6 -1  10.000  10.000  10.000\r\n"
    "\t\t\t7 -1 -10.000  10.000  10.000\r\n"
    "\t\t12 of::Triangle\r\n"
    "\t\t\t0 -1 1 0 2 1 0 0 -1 -1 -1\r\n\t\t\t1 -1 -1 0 3 2 0 0 -1 -1 -1\r\n"
    "\t\t\t2 -1 3 4 5 6 0 0 -1 -1 -1\r\n\t\t\t3 -1 -1 4 6 7 0 0 -1 -1 -1\r\n"
    "\t\t\t4 -1 5 0 1 5 0 0 -1 -1 -1\r\n\t\t\t5 -1 -1 0 5 4 0 0 -1 -1 -1\r\n"
    "\t\t\t6 -1 7 1 2 6 0 0 -1 -1 -1\r\n\t\t\t7 -1 -1 1 6 5 0 0 -1 -1 -1\r\n"
    "\t\t\t8 -1 9 2 3 7 0 0 -1 -1 -1\r\n\t\t\t9 -1 -1 2 7 6 0 0 -1 -1 -1\r\n"
    "\t\t\t10 -1 11 3 0 4 0 0 -1 -1 -1\r\n\t\t\t11 -1 -1 3 4 7 0 0 -1 -1 -1\r\n"
    "\t\t0 of::EditPoint\r\n\t\t0 of::FeaturePoint3D\r\n\t\t0 of::FeatureLine3D\r\n"
    "\t\t10 of::FeatureColor\r\n"
    "\t\t\t0 th::FeatureColor::color_of_erme\r\n\t\t\t\t0.330000 0.330000 0.330000\r\n"
    "\t\t\t1 th::FeatureColor::color_of_skin\r\n\t\t\t\t0.680000 0.520000 0.500000\r\n"
    "\t\t\t2 th::FeatureColor::color_of_mouth\r\n\t\t\t\t0.360000 0.150000 0.190000\r\n"
    "\t\t\t3 th::FeatureColor::color_of_hair\r\n\t\t\t\t0.060000 0.040000 0.020000\r\n"
    "\t\t\t4 th::FeatureColor::color_of_eyeball\r\n\t\t\t\t0.990000 0.970000 0.940000\r\n"
    "\t\t\t5 th::FeatureColor::color_of_eye\r\n\t\t\t\t0.060000 0.040000 0.030000\r\n"
    "\t\t\t6 th::FeatureColor::color_of_pupil\r\n\t\t\t\t0.250000 0.150000 0.110000\r\n"
    "\t\t\t7 th::FeatureColor::color_of_tooth\r\n\t\t\t\t0.940000 0.930000 0.910000\r\n"
    "\t\t\t8 th::FeatureColor::color_of_mouth0\r\n\t\t\t\t0.600000 0.400000 0.410000\r\n"
    "\t\t\t9 th::FeatureColor::color_of_mouth00\r\n\t\t\t\t0.480000 0.280000 0.300000\r\n"
    "\t\t1 of::BasicArea\r\n"
    "\t\t\t0 th::BasicArea\r\n\t\t\t\t-1\r\n\t\t\t\t12 of::Triangle\r\n\t\t\t\t12 of::Triangle\r\n"
    "\t\t\t\t\t0\r\n\t\t\t\t\t1\r\n\t\t\t\t\t2\r\n\t\t\t\t\t3\r\n\t\t\t\t\t4\r\n\t\t\t\t\t5\r\n"
    "\t\t\t\t\t6\r\n\t\t\t\t\t7\r\n\t\t\t\t\t8\r\n\t\t\t\t\t9\r\n\t\t\t\t\t10\r\n\t\t\t\t\t11\r\n"
    "\t\t0 of::AnatomicalRegion\r\n"
    "\t\t0 of::Group\r\n\t\t0 of::Material\r\n\t\t0 of::TxtCoordinate\r\n\t\t";

std::vector<int> trianglesOf(const area& a) {
    std::vector<int> tris;
    for (int k = a.triangles.first(); k != -1; k = a.triangles.nextOf(k)) tris.push_back(a.triangles[k]);
    return tris;
}

const std::vector<int> kCubeTriangles = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

TEST_F(ModelText, CubeTextReads) {
    head3 h;
    ASSERT_TRUE(readText(h, kCubeText));
    EXPECT_EQ(h.vertices.count(), 8);
    EXPECT_EQ(h.triangles.count(), 12);
    EXPECT_EQ(h.colors.count(), 10);
    ASSERT_EQ(h.areas.count(), 1);
    EXPECT_EQ(trianglesOf(h.areas[h.areas.first()]), kCubeTriangles);
    EXPECT_EQ(h.vertices[3].position.x, -10.0);
    EXPECT_EQ(h.triangles[10].quadPartner, 11);
    EXPECT_EQ(std::string(h.name()), "cube");
}

TEST_F(ModelText, BuiltInCubeReads) {
    std::span<const unsigned char> cube = brv::ResourceBytes("TEMPLATE", 121);
    if (!cube.data()) GTEST_SKIP() << "no built-in cube";
    head3 h;
    ASSERT_TRUE(readText(h, std::string(reinterpret_cast<const char*>(cube.data()), cube.size())));
    EXPECT_EQ(h.vertices.count(), 8);
    EXPECT_EQ(h.triangles.count(), 12);
    EXPECT_EQ(h.colors.count(), 10);
    ASSERT_EQ(h.areas.count(), 1);
    EXPECT_EQ(trianglesOf(h.areas[h.areas.first()]), kCubeTriangles);
    h.clear();
    // Assembled, the cube keeps its mesh and gains the table's regions.
    ASSERT_TRUE(readText(h, std::string(reinterpret_cast<const char*>(cube.data()), cube.size()), true));
    EXPECT_EQ(h.vertices.count(), 8);
    EXPECT_EQ(h.triangles.count(), 12);
    EXPECT_EQ(h.colors.count(), 10);
    EXPECT_NE(h.getRegion("mouth", false), -1);
}

// Corruptions of the golden text: each must end as a failed stream and an
// empty head, and leave the pools fit for a good read afterwards.
TEST_F(ModelText, MalformedFilesFailAndLeaveTheHeadEmpty) {
    struct Case {
        const char* what;
        std::string from, to;
    };
    const Case cases[] = {
        {"negative vertex index", "\n\t\t\t2 -1    10.500", "\n\t\t\t-3 -1    10.500"},
        {"duplicate vertex index", "\n\t\t\t2 -1    10.500", "\n\t\t\t5 -1    10.500"},
        {"edit point in a work point's slot", "\n\t\t\t4 \t-1 \t3", "\n\t\t\t1 \t-1 \t3"},
        {"huge vertex index", "\n\t\t\t2 -1    10.500", "\n\t\t\t200000000 -1    10.500"},
        {"huge count", "\n\t\t1 \tof::EditPoint \n\t\t\t4", "\n\t\t2000000000 \tof::EditPoint \n\t\t\t4"},
        {"negative count", "\n\t\t2 \tof::Triangle \n\t\t\t1", "\n\t\t-2 \tof::Triangle \n\t\t\t1"},
        {"triangle corner absent", "\t0 2 5 \t0 1", "\t0 2 7 \t0 1"},
        {"edit point triangle absent", "\t-1 \t3 \t0.2", "\t-1 \t9 \t0.2"},
        {"feature point vertex absent", "\t-1 2     2.000", "\t-1 6     2.000"},
        {"feature point fixed and rubber", "\t-1 2     2.000", "\t4 2     2.000"},
        {"line point edit point absent", "\t4 -1 \t1.000000", "\t6 -1 \t1.000000"},
        {"area triangle absent", "\n\t\t\t\t\t1 \n\t\t\t\t\t3 ", "\n\t\t\t\t\t1 \n\t\t\t\t\t8 "},
        {"region colour absent", "\t2 \t1 \t-1 ", "\t2 \t7 \t-1 "},
        {"region area absent", "BasicArea \n\t\t\t\t\t0 ", "BasicArea \n\t\t\t\t\t3 "},
        {"texture row absent", "\t0 1 2 ", "\t0 1 3 "},
        {"not a number", "\n\t\t\t5 -1 0.000000", "\n\t\t\t5 -1 zero"},
        {"a huge group count", "\n\t\t1 \tof::Group \n", "\n\t\t999999999 \tof::Group \n"},
        {"a group count without its rows", "\n\t\t1 \tof::Group \n", "\n\t\t900000 \tof::Group \n"},
        {"an index past the model's limit", "\n\t\t\t2 -1    10.500", "\n\t\t\t5000000 -1    10.500"},
        {"a slot far beyond the count", "\n\t\t\t2 -1    10.500", "\n\t\t\t900000 -1    10.500"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = kTinyText;
        size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, c.from.size(), c.to);
        for (bool assemble : {false, true}) {
            head3 h;
            EXPECT_FALSE(readText(h, text, assemble));
            EXPECT_EQ(h.status, 0);
            EXPECT_EQ(h.vertices.count() + h.triangles.count() + h.extrapoints.count() + h.featurepoints.count() +
                          h.featurelines.count() + h.colors.count() + h.areas.count() + h.regions.count(),
                      0);
        }
        head3 good;
        ASSERT_TRUE(readText(good, kTinyText));
        EXPECT_EQ(written([&](fileTB& f) { good.write(f); }), kTinyText);
    }
    // A file cut short anywhere fails as well.
    std::string full = kTinyText;
    for (size_t cut = 0; cut + 4 < full.size(); cut += 97) {
        head3 h;
        EXPECT_FALSE(readText(h, full.substr(0, cut))) << cut;
        EXPECT_EQ(h.vertices.count(), 0) << cut;
    }
}

// Seeded random edits of the golden text (tokens replaced by small or odd
// numbers, dropped or repeated): every read ends either good, with a head
// that writes and reads back to the same text, or failed with an empty head.
TEST_F(ModelText, EditedFilesReadWholeOrNotAtAll) {
    std::vector<std::string> tokens;
    {
        std::istringstream in(kTinyText);
        for (std::string t; in >> t;) tokens.push_back(t);
    }
    const char* odd[] = {"-2", "-1", "0", "1", "2", "3", "4", "5", "7", "99", "1000000", "x", "th::"};
    fnd::RandomSource random(7);
    int good = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> t = tokens;
        for (int edits = 1 + random.next() % 3; edits > 0; --edits) {
            size_t at = 3 + random.next() % (t.size() - 3);  // keep the version line
            switch (random.next() % 3) {
                case 0: t[at] = odd[random.next() % (sizeof odd / sizeof *odd)]; break;
                case 1: t.erase(t.begin() + at); break;
                default: t.insert(t.begin() + at, t[at]); break;
            }
        }
        std::string text;
        for (const std::string& w : t) text += w + " ";
        head3 h;
        if (readText(h, text)) {
            ++good;
            std::string once = written([&](fileTB& f) { h.write(f); });
            h.clear();
            ASSERT_TRUE(readText(h, once)) << round;
            EXPECT_EQ(written([&](fileTB& f) { h.write(f); }), once) << round;
        } else {
            EXPECT_EQ(h.vertices.count() + h.triangles.count() + h.extrapoints.count() + h.featurepoints.count() +
                          h.featurelines.count() + h.colors.count() + h.areas.count() + h.regions.count(),
                      0)
                << round;
        }
    }
    EXPECT_GT(good, 0);
    EXPECT_LT(good, 300);
}

// Untrusted numbers and links: values that are not finite, a mirror link
// that one side does not return, two feature points on one vertex. Each
// fails the stream and leaves the head empty.
TEST_F(ModelText, UnsoundValuesAndLinksAreRefused) {
    struct Case {
        const char* what;
        std::string from, to;
    };
    const Case cases[] = {
        {"nan coordinate", "\n\t\t\t2 -1    10.500", "\n\t\t\t2 -1 nan"},
        {"inf coordinate", "\n\t\t\t2 -1    10.500", "\n\t\t\t2 -1 inf"},
        {"negative inf coordinate", "\n\t\t\t2 -1    10.500", "\n\t\t\t2 -1 -inf"},
        {"coordinate beyond a single", "\n\t\t\t2 -1    10.500", "\n\t\t\t2 -1 1e39"},
        {"nan edit point weight", "\t0.200000 0.300000", "\tnan 0.300000"},
        {"nan scale", "1077.331", "nan"},
        {"inf colour", "\n\t\t\t\t0.330000 0.330000", "\n\t\t\t\tinf 0.330000"},
        {"nan texture coordinate", "0.125000 0.750000", "0.125000 nan"},
        {"one-sided vertex mirror", "\n\t\t\t2 -1    10.500", "\n\t\t\t2 5    10.500"},
        {"one-sided triangle mirror", "\n\t\t\t3 1 -1 \t0 2 5", "\n\t\t\t3 -1 -1 \t0 2 5"},
        {"two feature points on one vertex", "\t-1 \t-1 \t4 -1 0.500000", "\t-1 \t-1 \t-1 2 0.500000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = kTinyText;
        size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos);
        text.replace(at, c.from.size(), c.to);
        for (bool assemble : {false, true}) {
            head3 h;
            EXPECT_FALSE(readText(h, text, assemble));
            EXPECT_EQ(h.status, 0);
            EXPECT_EQ(h.vertices.count() + h.triangles.count() + h.extrapoints.count() + h.featurepoints.count() +
                          h.featurelines.count() + h.colors.count() + h.areas.count() + h.regions.count(),
                      0);
        }
    }
}

// Every number of the text replaced by nan in turn: a file either fails, or
// after four rounds of reading and writing holds no vertex that is not
// finite.
TEST_F(ModelText, NoNanSurvivesReadingAndWriting) {
    std::vector<std::pair<size_t, size_t>> numbers;  // start, length
    const std::string text = kTinyText;
    for (size_t k = 0; k < text.size();) {
        const size_t start = text.find_first_not_of(" \t\n", k);
        if (start == std::string::npos) break;
        const size_t end = std::min(text.find_first_of(" \t\n", start), text.size());
        if (text.find('.', start) < end) numbers.push_back({start, end - start});
        k = end;
    }
    ASSERT_GT(numbers.size(), 30u);
    for (const auto& [start, length] : numbers) {
        std::string bad = text;
        bad.replace(start, length, "nan");
        std::string round = bad;
        for (int k = 0; k < 4; ++k) {
            head3 h;
            if (!readText(h, round, true)) break;
            for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) {
                const vector3<double>& p = h.vertices[v].position;
                ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z))
                    << "number at " << start << ", round " << k;
            }
            round = written([&](fileTB& f) { h.write(f); });
        }
    }
}

// A file without its final line break, or with a UTF-8 byte-order mark in
// front, reads as the file itself.
TEST_F(ModelText, FinalLineBreakAndByteOrderMarkDoNotMatter) {
    const std::string text = kTinyText;
    const std::string variants[] = {text.substr(0, text.rfind('\n')), "\xEF\xBB\xBF" + text,
                                    "\xEF\xBB\xBF" + text.substr(0, text.rfind('\n'))};
    for (const std::string& v : variants) {
        head3 h;
        ASSERT_TRUE(readText(h, v));
        EXPECT_EQ(written([&](fileTB& f) { h.write(f); }), text);
    }
}

TEST_F(ModelText, VersionAndModeAreChecked) {
    head3 h;
    EXPECT_FALSE(readText(h, "1 1 0 \n\t1 "));
    EXPECT_FALSE(readText(h, "3 3 0 \n\t1 "));
}

TEST_F(ModelText, FeatureSetSectionRoundTrip) {
    std::string text;
    {
        head2 set;
        set.set_name("photo", false);
        set.valid = 1;
        Index<featurepoint2> p = set.photoPoints.add_new("tip_of_the_nose");
        set.photoPoints[p].position = {120.5, 300.25};
        set.photoPoints[p].weight = 2.0;
        set.overlayPoints.add_new("left_cheek");
        Index<featureline2> l = set.overlayLines.add_new("left_eyebrow");
        fnd::chain<linepoint2>& points = set.overlayLines[l];
        for (int k = 0; k < 3; ++k) {
            Index<linepoint2> q = points.add();
            points[q].position = {10.0 * k, 0.5};
            points[q].kind = k == 1 ? 1 : 2;
        }
        text = written([&](fileTB& f) {
            f.setDepth(1);
            set.write(f);
        });
    }
    EXPECT_EQ(text.substr(0, 52), "\n\t1 \t    2.200     6.000     3.690    13.500 \n\tAllOf");
    EXPECT_NE(text.find("\n\t\t0 \tof::FeatureLine2D \n\t\t1 \tof::FeatureLine2D "), std::string::npos);
    EXPECT_NE(text.find("\n\t\t\t0 \tth::FeatureLine2D::left_eyebrow \n\t\t\t\t1 0 0 0 3 "), std::string::npos);

    head2 back;
    fileTB f;
    f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    back.read_version2(f);
    ASSERT_TRUE(f.good());
    EXPECT_EQ(back.valid, 1);
    EXPECT_EQ(std::string(back.name()), "photo");
    EXPECT_EQ(back.overlayLines.count(), 1);
    EXPECT_EQ(written([&](fileTB& g) {
                  g.setDepth(1);
                  back.write(g);
              }),
              text);
}

// A file's numbers only name its elements: they may lie anywhere, a number
// far beyond the records costs no slots, and the work points' numbers are
// a file's like any other.
TEST_F(ModelText, StoredNumbersAreNamesNotSlots) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> edits;
    };
    const Case cases[] = {
        {"region 999999",
         {{"\n\t\t\t2 \tth::AnatomicalRegion::mouth \n\t\t\t\t-1 \t2 ",
           "\n\t\t\t999999 \tth::AnatomicalRegion::mouth \n\t\t\t\t-1 \t999999 "}}},
        {"vertex 700000",
         {{"\n\t\t\t5 -1 0.000000", "\n\t\t\t700000 -1 0.000000"},
          {"\t5 2 0 \t", "\t700000 2 0 \t"},
          {"\t0 2 5 \t", "\t0 2 700000 \t"}}},
        {"edit point 1",
         {{"\n\t\t\t4 \t-1 \t3", "\n\t\t\t1 \t-1 \t3"},
          {"\t-1 \t-1 \t4 -1 0.5", "\t-1 \t-1 \t1 -1 0.5"},
          {"\t2 \t4 -1 \t1.0", "\t2 \t1 -1 \t1.0"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = kTinyText;
        for (const auto& [from, to] : c.edits) {
            size_t at = text.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            text.replace(at, from.size(), to);
        }
        for (bool assemble : {false, true}) {
            std::string once;
            {
                head3 h;
                ASSERT_TRUE(readText(h, text, assemble));
                EXPECT_EQ(h.vertices.count(), 3);
                Index<region> mouth = h.regions.get("mouth");
                ASSERT_NE(mouth, -1);
                EXPECT_EQ(h.regions[mouth].mirror, mouth);
                if (!assemble) { EXPECT_EQ(h.regions[mouth].points.count(), 2); }
                // Slots near what the file holds, not near its numbers.
                for (int size : {h.vertices.pool()->size(), h.extrapoints.pool()->size(), h.regions.pool()->size()})
                    EXPECT_LT(size, 1000);
                once = written([&](fileTB& f) { h.write(f); });
            }
            // What it wrote reads back to the same text.
            head3 back;
            ASSERT_TRUE(readText(back, once, assemble));
            EXPECT_EQ(written([&](fileTB& f) { back.write(f); }), once);
        }
    }
}

// A head read while another holds the slots its file names takes other
// slots and leaves the other as it was; once the other has gone it moves
// into its file's numbers and writes its file again, byte for byte.
TEST_F(ModelText, AHeadReadsBesideAnotherAndSettlesIntoItsNumbers) {
    auto open = std::make_unique<head3>();
    ASSERT_TRUE(readText(*open, kTinyText, true));
    const std::string openText = written([&](fileTB& f) { open->write(f); });
    auto beside = std::make_unique<head3>();
    ASSERT_TRUE(readText(*beside, kTinyText));
    EXPECT_EQ(written([&](fileTB& f) { open->write(f); }), openText);
    EXPECT_NE(written([&](fileTB& f) { beside->write(f); }), kTinyText);
    open.reset();
    beside->settle();
    EXPECT_EQ(written([&](fileTB& f) { beside->write(f); }), kTinyText);
    // The work points are back in slots 0 and 1.
    EXPECT_EQ(beside->reserved.first(), 0);
    EXPECT_EQ(beside->reserved.last(), 1);

    // The same for the feature set of the photo.
    std::string text;
    {
        head2 set;
        set.photoPoints.add_new("a");
        set.overlayPoints.add_new("b");
        Index<featureline2> l = set.photoLines.add_new("brow");
        for (int k = 0; k < 3; ++k) set.photoLines[l].add();
        text = written([&](fileTB& f) { set.write(f); });
    }
    auto holder = std::make_unique<head2>();
    fileTB f;
    f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    holder->read_version2(f);
    ASSERT_TRUE(f.good());
    head2 marks;
    fileTB g;
    g.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    marks.read_version2(g);
    ASSERT_TRUE(g.good());
    EXPECT_NE(written([&](fileTB& w) { marks.write(w); }), text);
    holder.reset();
    marks.settle();
    EXPECT_EQ(written([&](fileTB& w) { marks.write(w); }), text);
}

TEST_F(ModelText, FeatureSetIndexMinusTwoTakesTheFirstFreeSlot) {
    head2 holder;  // holds slots 0 and 1 of the point pool
    holder.photoPoints.add_new("a");
    holder.photoPoints.add_new("b");
    head2 set;
    std::string text =
        "0 \t2.2 6 3.69 13.5 AllOfEditedData2D::x "
        "1 of::FeaturePoint2D 0 of::FeaturePoint2D 0 of::FeatureLine2D 0 of::FeatureLine2D "
        "2 of::FeaturePoint2D "
        "-2 th::FeaturePoint2D::p 1 2 0.5 "
        "7 th::FeaturePoint2D::q 3 4 1 "
        "0 of::FeaturePoint2D 0 of::FeatureLine2D 0 of::FeatureLine2D ";
    fileTB f;
    f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    set.read_version2(f);
    ASSERT_TRUE(f.good());
    EXPECT_EQ(set.photoPoints.get("p"), 2);
    EXPECT_EQ(set.photoPoints.get("q"), 7);
    EXPECT_EQ(set.photoPoints[2].position.y, 2.0);

    // A failed read leaves the status 0.
    head2 bad;
    std::string cut = text.substr(0, text.size() / 2);
    fileTB g;
    g.open(reinterpret_cast<const unsigned char*>(cut.data()), cut.size());
    bad.valid = 1;
    bad.read_version2(g);
    EXPECT_FALSE(g.good());
    EXPECT_EQ(bad.valid, 0);
}

}  // namespace
