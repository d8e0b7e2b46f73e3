#include "model/featuretables.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/backend.h"
#include "framework/system.h"
#include "tests/support/fakes.h"

namespace {

std::string str(const CString& s) { return std::string(s.View()); }

std::vector<std::string> strs(const dynarray<CString>& a) {
    std::vector<std::string> v;
    for (const CString& s : a) v.push_back(str(s));
    return v;
}

class FeatureTables : public ::testing::Test {
protected:
    void SetUp() override { resetFeatureTables(); }
    void TearDown() override { resetFeatureTables(); }
    fakes::Services services;
};

const std::vector<std::string>& row(int table, int n) { return featureTable(table)->rows.at(n); }
int rowCount(int table) { return static_cast<int>(featureTable(table)->rows.size()); }

TEST_F(FeatureTables, RowCountsAndFirstAndLastRowsOfEveryTable) {
    struct Case {
        int table;
        std::function<int(int)> read;  // the reader by number, or null
        int rows;
        std::string first, last;
    };
    const Case cases[] = {
        {140, nullptr, 28, "right_corner_of_the_right_eye", "middle_of_the_neck"},
        {142, nullptr, 30, "top_of_the_nose", "middle_of_the_forehead"},
        {143, [](int n) { return GetFeaturePointInfo(n); }, 227, "top_of_the_forehead",
         "right_corner_of_the_right_eyebrow_@H"},
        {145, [](int n) { return GetFeatureTrafoInfo(n); }, 61, "cheek_lift", "nose_top"},
        {146, [](int n) { return GetFeatureColorInfo(n); }, 10, "color_of_erme", "color_of_mouth00"},
        {147, [](int n) { return GetRegionInfo(n); }, 15, "mouth", "right_ear_0"},
        {151, [](int n) { return GetFeatureLineInfo(n); }, 68, "left_eyebrow", "custom_line_5@J"},
        {154, [](int n) { return GetAgePointInfo(n); }, 59, "TopLeft", "_contour_330"},
        {155, [](int n) { return GetAgeTriInfo(n); }, 16, "1", "16"},
        {164, nullptr, 13, "top_line_of_the_left_eye", "contour_of_nose"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        const FeatureTableText* t = featureTable(c.table);
        ASSERT_NE(t, nullptr);
        EXPECT_TRUE(t->complete);
        ASSERT_EQ(rowCount(c.table), c.rows);
        EXPECT_EQ(row(c.table, 0)[0], c.first);
        EXPECT_EQ(row(c.table, c.rows - 1)[0], c.last);
        if (c.read) {
            for (int n = 0; n < c.rows; ++n) ASSERT_NE(c.read(n), 0) << n;
            EXPECT_EQ(c.read(c.rows), 0);
            EXPECT_EQ(c.read(-1), 0);
        }
    }
    EXPECT_EQ(featureTable(148), nullptr);
    EXPECT_EQ(featureTable(150), nullptr);
    EXPECT_EQ(featureTable(141), nullptr);
}

TEST_F(FeatureTables, RowsReadWithEveryColumn) {
    CString code, mirror, name, type, sex, sides, op;
    double w = 0, r = 0, g = 0, b = 0, amount = 0, range = 0, factor = 0;
    int kind = 0, px = 0, py = 0, p2x = 0, p2y = 0, ir = 0, ig = 0, ib = 0, t = 0, axis = 0, line = 0;
    dynarray<CString> regions;

    ASSERT_TRUE(GetFeaturePointInfo(7, &code, &mirror, &w, &kind, &px, &py, &p2x, &p2y, &name, &regions));
    EXPECT_EQ(str(code), "left_corner_of_the_left_eye");
    EXPECT_EQ(str(mirror), "right_corner_of_the_right_eye");
    EXPECT_EQ(w, 5.0);
    EXPECT_EQ(std::vector<int>({kind, px, py, p2x, p2y}), std::vector<int>({3, -50, 134, -50, 134}));
    EXPECT_EQ(str(name), "left corner of the left eye");
    EXPECT_EQ(strs(regions), std::vector<std::string>({"left_eye_0", "left_eye_00"}));

    ASSERT_TRUE(GetFeatureLineInfo(9, &code, &mirror, &type, &name, &sex, &ir, &ig, &ib, &regions));
    EXPECT_EQ(str(code), "right_contour_of_face");
    EXPECT_EQ(str(type), "0101");
    EXPECT_EQ(str(sex), "11");
    EXPECT_EQ(std::vector<int>({ir, ig, ib}), std::vector<int>({0, 255, 255}));
    EXPECT_TRUE(strs(regions).empty());

    ASSERT_TRUE(GetFeatureColorInfo(1, &code, &r, &g, &b, &name));
    EXPECT_EQ(str(code), "color_of_skin");
    EXPECT_EQ(std::vector<double>({r, g, b}), std::vector<double>({0.68, 0.52, 0.50}));
    EXPECT_EQ(str(name), "b\xc5\x91rsz\xc3\xadn");  // the Hungarian column

    ASSERT_TRUE(GetFeatureTrafoInfo(24, &op, &code, &t, &amount, &range, &axis, &factor, &line, &sides));
    EXPECT_EQ(str(op), "eye_upper_lid");
    EXPECT_EQ(str(code), "left_corner_of_the_left_eye");
    EXPECT_EQ(t, 4);
    EXPECT_EQ(amount, 10.0);
    EXPECT_EQ(range, 30.0);
    EXPECT_EQ(axis, 2);
    EXPECT_EQ(factor, -0.03);
    EXPECT_EQ(line, 1);
    EXPECT_EQ(str(sides), "110");

    int serial = 0, x = 0, y = 0, i = 0, j = 0, k = 0;
    ASSERT_TRUE(GetAgePointInfo(10, &code, &serial, &x, &y));
    EXPECT_EQ(str(code), "_contour_270");
    EXPECT_EQ(std::vector<int>({serial, x, y}), std::vector<int>({11, 520, 920}));
    ASSERT_TRUE(GetAgeTriInfo(5, &serial, &i, &j, &k));
    EXPECT_EQ(std::vector<int>({serial, i, j, k}), std::vector<int>({6, 7, 10, 8}));

    // Every output may be left out.
    EXPECT_TRUE(GetFeaturePointInfo(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr));
}

TEST_F(FeatureTables, AMissLeavesTheLastRowInTheOutputs) {
    CString code, name, colour;
    dynarray<CString> list;
    EXPECT_FALSE(GetRegionInfo(15, &code, nullptr, &colour, &name, &list));
    EXPECT_EQ(str(code), "right_ear_0");
    EXPECT_EQ(str(colour), "color_of_skin");
    EXPECT_TRUE(strs(list).empty());

    ASSERT_TRUE(GetRegionInfo(0, &code, nullptr, nullptr, &name, &list));
    EXPECT_EQ(str(name), "sz\xc3\xa1j");
    EXPECT_EQ(strs(list), std::vector<std::string>({"mouth_0", "mouth_00"}));
    ASSERT_TRUE(GetRegionInfo(2, &code, nullptr, nullptr, &name, &list));
    EXPECT_TRUE(strs(list).empty());

    // A negative row reads nothing.
    code = "untouched";
    EXPECT_FALSE(GetFeaturePointInfo(-1, &code));
    EXPECT_EQ(str(code), "untouched");
}

TEST_F(FeatureTables, ReadersByCode) {
    CString name;
    EXPECT_TRUE(GetFeaturePointName("top_of_the_nose", &name));
    EXPECT_EQ(str(name), "dorsum");
    EXPECT_FALSE(GetFeaturePointName("no_such_point", &name));
    EXPECT_EQ(str(name), "middle of the forehead");
    name = "kept";
    EXPECT_TRUE(GetFeaturePointName("", &name));  // an empty code matches before any row
    EXPECT_EQ(str(name), "kept");

    dynarray<CString> points;
    EXPECT_TRUE(GetFeatureLinePoints("bottom_line_of_mouth", &points));
    EXPECT_EQ(strs(points), std::vector<std::string>({"right_corner_of_the_mouth", "bottom_of_the_mouth",
                                                      "left_corner_of_the_mouth"}));
    EXPECT_FALSE(GetFeatureLinePoints("no_such_line", &points));
    EXPECT_EQ(strs(points),
              std::vector<std::string>({"left_edge_of_the_nose", "bottom_of_the_nose", "right_edge_of_the_nose"}));
}

// Both sides of every mirror pair name each other; the one exception: the
// bottom of the nose of groups @B to @H mirrors to the group-0 point.
TEST_F(FeatureTables, MirrorPairsHoldBothWays) {
    struct Case {
        int table;
        int mirrorColumn;
    };
    for (Case c : {Case{140, 1}, Case{143, 1}, Case{147, 1}, Case{151, 1}}) {
        std::map<std::string, std::string> mirror;
        for (const auto& r : featureTable(c.table)->rows) mirror[r[0]] = r[c.mirrorColumn];
        for (const auto& [code, other] : mirror) {
            SCOPED_TRACE(std::to_string(c.table) + " " + code);
            ASSERT_TRUE(mirror.count(other));
            bool exception = c.table == 143 && code.rfind("bottom_of_the_nose_@", 0) == 0 && code != "bottom_of_the_nose_@A";
            if (exception)
                EXPECT_EQ(other, "bottom_of_the_nose");
            else
                EXPECT_EQ(mirror[other], code);
        }
    }
}

TEST_F(FeatureTables, CodesReferToOtherTables) {
    std::set<std::string> regions, colours, points, names;
    for (const auto& r : featureTable(147)->rows) regions.insert(r[0]);
    for (const auto& r : featureTable(146)->rows) colours.insert(r[0]);
    for (const auto& r : featureTable(142)->rows) names.insert(r[0]);
    auto listsIn = [](int table, size_t from, const std::set<std::string>& known) {
        for (const auto& r : featureTable(table)->rows)
            for (size_t i = from; i < r.size(); ++i) EXPECT_TRUE(known.count(r[i])) << table << " " << r[i];
    };
    listsIn(143, 10, regions);
    listsIn(151, 9, regions);
    listsIn(147, 5, regions);
    for (const auto& r : featureTable(147)->rows) EXPECT_TRUE(colours.count(r[2])) << r[0];
    // Every point of table 140 has its name in table 142.
    for (const auto& r : featureTable(140)->rows) EXPECT_TRUE(names.count(r[0])) << r[0];
    // The points of the automatic lines are feature points of some group.
    for (const auto& r : featureTable(143)->rows) {
        points.insert(r[0]);
        size_t at = r[0].find("_@");
        if (at != std::string::npos) points.insert(r[0].substr(0, at));
    }
    for (const auto& r : featureTable(140)->rows) points.insert(r[0]);
    listsIn(164, 1, points);
    // The age triangles join grid nodes of table 154.
    std::set<int> nodes;
    for (int n = 0, serial = 0; GetAgePointInfo(n, nullptr, &serial); ++n)
        if (serial > 0) nodes.insert(serial);
    EXPECT_EQ(nodes.size(), 11u);
    int i, j, k;
    for (int n = 0; GetAgeTriInfo(n, nullptr, &i, &j, &k); ++n)
        for (int v : {i, j, k}) EXPECT_TRUE(nodes.count(v)) << n;
}

TEST_F(FeatureTables, GoodInfoCode) {
    struct Case {
        int group;
        const char* code;
        int good;
    };
    const Case cases[] = {
        {0, "tip_of_the_nose", 1},     {0, "tip_of_the_nose_@A", 0}, {1, "tip_of_the_nose_@A", 1},
        {2, "tip_of_the_nose_@A", 0},  {2, "custom_line_3@B", 1},    {1, "tip_of_the_nose", 0},
        {-1, "tip_of_the_nose", 0},    {-1, "x@A", 0},               {1, "@A", 0},
        {1, "A", 0},                   {1, "", 0},                   {0, "", 1},
        {8, "top_of_the_chin_@H", 1},  {10, "custom_line_1@J", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(GoodInfoCode(c.group, c.code), c.good) << c.group << " " << c.code;
    services.app.state().headImport = 1;
    for (const Case& c : cases) EXPECT_EQ(GoodInfoCode(c.group, c.code), 1) << c.code;
}

TEST_F(FeatureTables, LanguageChoosesTheNameColumn) {
    CString name;
    ASSERT_TRUE(GetFeaturePointInfo(7, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &name));
    EXPECT_EQ(str(name), "left corner of the left eye");
    ASSERT_TRUE(GetFeatureLineInfo(2, nullptr, nullptr, nullptr, &name));
    EXPECT_EQ(str(name), "top line of the left eye");
    services.app.state().language = 1038;
    ASSERT_TRUE(GetFeaturePointInfo(7, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &name));
    EXPECT_EQ(str(name), "bal szem bal sarka");
    ASSERT_TRUE(GetFeatureLineInfo(2, nullptr, nullptr, nullptr, &name));
    EXPECT_EQ(str(name), "bal szem f\xc3\xb6ls\xc5\x91 vonala");
}

TEST_F(FeatureTables, ImportModeReadsTable140) {
    services.app.state().headImport = 1;
    CString code, mirror, name;
    double w = 0;
    int kind = -1, px = 0, py = 0, rx = 0, ry = 0;
    dynarray<CString> regions;
    regions.add(CString("kept"));
    ASSERT_TRUE(GetFeaturePointInfo(0, &code, &mirror, &w, &kind, &px, &py, &rx, &ry, &name, &regions));
    EXPECT_EQ(str(code), "right_corner_of_the_right_eye");
    EXPECT_EQ(str(mirror), "left_corner_of_the_left_eye");
    EXPECT_EQ(w, 5.0);
    EXPECT_EQ(std::vector<int>({kind, px, py, rx, ry}), std::vector<int>({1, -49, 134, 189, 271}));
    EXPECT_EQ(str(name), "right lateral canthus");
    EXPECT_EQ(strs(regions), std::vector<std::string>({"kept"}));
    int n = 0;
    while (GetFeaturePointInfo(n)) ++n;
    EXPECT_EQ(n, 28);

    // A point without a name stops the enumeration at its row.
    installFeatureTable(140, "#c,\r\ntip_of_the_nose,tip_of_the_nose,2.0,1,0,176,256,328,\r\n"
                             "nameless,nameless,1.0,0,0,0,0,0,\r\n");
    brv::HeadlessBackend backend;
    brv::Backend* old = brv::SetBackend(&backend);
    EXPECT_TRUE(GetFeaturePointInfo(0));
    EXPECT_TRUE(backend.EventsOf(brv::HeadlessBackend::Event::kMessageBox).empty());
    EXPECT_FALSE(GetFeaturePointInfo(1, &code));
    brv::SetBackend(old);
    EXPECT_EQ(str(code), "nameless");
    auto boxes = backend.EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Hi\xc3\xa1nyzik a 'nameless' k\xc3\xb3" "dhoz egy bejegyz\xc3\xa9s a face_points_name.txt-ben.");
    EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
}

TEST_F(FeatureTables, PreparedTemplateShowsLineType0110As0101) {
    installFeatureTable(151, "#c,\r\nl3d,l3d,0110,a,b,11,1,2,3,\r\n");
    CString type;
    ASSERT_TRUE(GetFeatureLineInfo(0, nullptr, nullptr, &type));
    EXPECT_EQ(str(type), "0110");
    services.document.state().templateId = 100;
    ASSERT_TRUE(GetFeatureLineInfo(0, nullptr, nullptr, &type));
    EXPECT_EQ(str(type), "0101");
}

TEST_F(FeatureTables, InstalledTextFollowsTheTableRules) {
    // Comment lines, tabs, a lone CR ending a line (table 146 reads it so),
    // a last field without comma, and a last line without a line feed.
    installFeatureTable(146, "#first\r\n#cols\r\n\tc1\t,\t0.5,0.25,1,e1,h1,\rc2,0,0,0,e2,h2,x\r\nc3,1,1,1,e3,h3,");
    CString code, name;
    double r = 0;
    int n = 0;
    while (GetFeatureColorInfo(n, &code, &r, nullptr, nullptr, &name)) ++n;
    EXPECT_EQ(n, 2);
    EXPECT_EQ(str(code), "c2");
    ASSERT_TRUE(GetFeatureColorInfo(0, &code, &r, nullptr, nullptr, &name));
    EXPECT_EQ(str(code), "c1");
    EXPECT_EQ(r, 0.5);
    EXPECT_EQ(str(name), "h1");
    // Table 145 takes a lone CR as part of the line.
    installFeatureTable(145, "op,p,3.9,1,2,3,4,5,011,\rop2,p2,4,1,2,3,4,5,110,\r\n");
    int type = 0;
    CString sides;
    ASSERT_TRUE(GetFeatureTrafoInfo(0, nullptr, nullptr, &type, nullptr, nullptr, nullptr, nullptr, nullptr, &sides));
    EXPECT_EQ(type, 3);  // read as a real and truncated
    EXPECT_EQ(str(sides), "011");
    EXPECT_FALSE(GetFeatureTrafoInfo(1));
}

TEST_F(FeatureTables, NumbersReadInTheCLocaleWhateverTheProcessLocale) {
    const char* old = setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (!setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no decimal-comma locale";
    double r = 0;
    GetFeatureColorInfo(1, nullptr, &r);
    setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(r, 0.68);
}

TEST_F(FeatureTables, TrafoRowByName) {
    int type = 0, axis = 0, line = 0;
    double amount = 0, range = 0, factor = 0;
    // eye_upper_lid / right_corner_of_the_left_eye has "011": side 0 is not valid.
    EXPECT_TRUE(GetFeatureTrafoInfoByName("eye_upper_lid", "left_corner_of_the_right_eye", &type, &amount, &range,
                                          &axis, &factor, &line, 0));
    EXPECT_EQ(line, 2);
    EXPECT_EQ(factor, 0.0);
    EXPECT_FALSE(GetFeatureTrafoInfoByName("eye_upper_lid", "right_corner_of_the_left_eye", &type, &amount, &range,
                                           &axis, &factor, &line, 0));
    EXPECT_EQ(factor, -0.2);  // the last row read
    EXPECT_TRUE(GetFeatureTrafoInfoByName("eye_upper_lid", "right_corner_of_the_left_eye", &type, &amount, &range,
                                          &axis, &factor, &line, 2));
    EXPECT_EQ(factor, 0.0);
    EXPECT_TRUE(GetFeatureTrafoInfoByName("mouth_upper_lip", "left_corner_of_the_mouth", &type, &amount, &range,
                                          &axis, &factor, &line, 1));
    EXPECT_EQ(factor, -0.2);  // the first of the two matching rows
    EXPECT_FALSE(GetFeatureTrafoInfoByName("chin", "top_of_the_chin", &type, &amount, &range, &axis, &factor,
                                           &line, 3));
    EXPECT_FALSE(GetFeatureTrafoInfoByName("chin", "top_of_the_chin", &type, &amount, &range, &axis, &factor,
                                           &line, -1));
}

TEST_F(FeatureTables, AnchorTablesOfTheFigures) {
    CString code;
    int tri = -5;
    double b1 = 0, b2 = 0, b3 = 0;
    EXPECT_FALSE(GetFeaturePointInfoVM(0, &code, &tri, &b1, &b2, &b3, "V4"));
    EXPECT_EQ(tri, -5);
    installFeatureTable(148, "#V4\r\ntip_of_the_nose, 17, 0.25, 0.5, 0.25,\r\ntop_of_the_chin, 4, 1, 0, 0,\r\n");
    installFeatureTable(150, "#other\r\ntip_of_the_nose, 99, 0.1, 0.2, 0.7,\r\n");
    EXPECT_TRUE(GetFeaturePointInfoVM(0, &code, &tri, &b1, &b2, &b3, "V4"));
    EXPECT_EQ(str(code), "tip_of_the_nose");
    EXPECT_EQ(tri, 17);
    EXPECT_EQ(std::vector<double>({b1, b2, b3}), std::vector<double>({0.25, 0.5, 0.25}));
    EXPECT_FALSE(GetFeaturePointInfoVM(5, &code, &tri, &b1, &b2, &b3, "V4"));
    EXPECT_EQ(str(code), "top_of_the_chin");
    EXPECT_EQ(tri, 4);
    EXPECT_TRUE(GetFeaturePointInfoVM(0, &code, &tri, nullptr, nullptr, &b3, "M3"));
    EXPECT_EQ(tri, 99);
    EXPECT_EQ(b3, 0.7);
}

}  // namespace
