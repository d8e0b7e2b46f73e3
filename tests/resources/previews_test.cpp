// The face pictures of the step pages against the template head read through
// the model and the feature tables read through their readers: the preview
// framing puts the head's feature points where the point table shows them, the
// pictures show the head in that framing, and the curve pictures carry each
// line of the line table in its key colour where its points are.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "framework/resources.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "tests/resources/resource_pictures.h"
#include "tests/support/model_fixture.h"

namespace {

using respic::Picture;
using respic::Rgb;

const Rgb kBackground{212, 208, 200};
const Rgb kWhite{255, 255, 255};
const Rgb kLine{60, 60, 60};
constexpr double kSmall = 165.0 / 280.0;

struct Point2 {
    double x = 0, y = 0;
};

// The framing written beside the generator of the pictures.
struct Layout {
    double centre = 0, scale = 0, offsetX = 0, offsetY = 0;
    Point2 project(const vector3<double>& p, double f = 1.0) const {
        return {(centre + scale * p.x + offsetX) * f, (offsetY - scale * p.y) * f};
    }
};

Layout readLayout() {
    std::ifstream in(std::string(BRIVANTA_SOURCE_DIR) + "/tools/preview_layout.txt");
    std::map<std::string, double> v;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        std::string key;
        double value;
        if (s >> key >> value) v[key] = value;
    }
    return {v.at("centre"), v.at("scale"), v.at("offset_x"), v.at("offset_y")};
}

std::string str(const CString& s) { return std::string(s.View()); }

struct PointRow {
    int kind = 0;
    double weight = 0;
    Point2 preview;
};

// Every row of the point table by its code.
std::map<std::string, PointRow> pointRows() {
    std::map<std::string, PointRow> out;
    CString code;
    double weight;
    int kind, px, py;
    for (int n = 0; GetFeaturePointInfo(n, &code, nullptr, &weight, &kind, &px, &py); ++n)
        out[str(code)] = {kind, weight, {double(px), double(py)}};
    return out;
}

class Previews : public testsupport::ModelTest {
protected:
    void SetUp() override {
        testsupport::ModelTest::SetUp();
        resetFeatureTables();
    }
    void TearDown() override {
        resetFeatureTables();
        testsupport::ModelTest::TearDown();
    }
    bool loadFullHead(head3& h) {
        std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", 122);
        if (!bytes.data()) return false;
        fileTB f;
        f.open(bytes.data(), bytes.size());
        h.read(f, false);
        return f.good() && h.status != 0;
    }
};

// The table's lower face contour is narrower than the template head's (its
// contour points lie on the head's outline, those of the table on the cheek),
// so no framing brings those points nearer than this.
const std::map<std::string, double> kContourSlack = {
    {"_contour_0", 19.0}, {"_contour_180", 19.0}, {"_contour_240", 14.5}, {"_contour_300", 14.5}};

TEST_F(Previews, FramingPutsTheHeadsPointsWhereThePointTableShowsThem) {
    head3 h;
    ASSERT_TRUE(loadFullHead(h));
    Layout layout = readLayout();
    EXPECT_EQ(layout.centre, 140.0);
    int main = 0, other = 0;
    for (const auto& [code, row] : pointRows()) {
        if (!GoodInfoCode(0, CString(code.c_str()))) continue;
        SCOPED_TRACE(code);
        Index<featurepoint3> fp = h.getFeaturepoint(code.c_str(), false);
        ASSERT_NE(fp, -1);
        Point2 p = layout.project(h.vertices[h.featurepoints[fp].vtx].position);
        double off = std::hypot(p.x - (140.0 + row.preview.x), p.y - row.preview.y);
        if (row.kind == 3) {
            EXPECT_LE(off, 3.0);
            ++main;
        } else {
            auto slack = kContourSlack.find(code);
            EXPECT_LE(off, slack == kContourSlack.end() ? 12.0 : slack->second);
            ++other;
        }
        // every preview position inside the 280 x 280 picture with a margin
        EXPECT_TRUE(row.preview.x + 140 >= 20 && row.preview.x + 140 <= 260 && row.preview.y >= 20 &&
                    row.preview.y <= 270);
    }
    EXPECT_EQ(main, 3);
    EXPECT_EQ(other, 24);
}

// The head's outline in the picture: leftmost, rightmost and topmost pixel
// that is not the background (the neck runs out at the bottom).
struct Extent {
    int left = 1 << 20, right = -1, top = 1 << 20;
};

Extent pictureExtent(const Picture& p) {
    Extent e;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (!(p.at(x, y) == kBackground)) {
                e.left = std::min(e.left, x);
                e.right = std::max(e.right, x);
                e.top = std::min(e.top, y);
            }
    return e;
}

TEST_F(Previews, FacePicturesShowTheHeadInTheFraming) {
    head3 h;
    ASSERT_TRUE(loadFullHead(h));
    Layout layout = readLayout();
    struct Case {
        const char* type;
        unsigned number;
        int size;
    };
    const Case cases[] = {{"BITMAP", 205, 280}, {"PICFILES", 217, 165}, {"PICFILES", 211, 165}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        Picture p = respic::DecodeResource(c.type, c.number);
        ASSERT_EQ(p.width, c.size);
        ASSERT_EQ(p.height, c.size);
        double f = c.size / 280.0;
        double left = 1e9, right = -1e9, top = 1e9;
        for (int k = h.vertices.first(); k != -1; k = h.vertices.nextOf(k)) {
            Point2 q = layout.project(h.vertices[k].position, f);
            left = std::min(left, q.x), right = std::max(right, q.x), top = std::min(top, q.y);
        }
        Extent e = pictureExtent(p);
        EXPECT_NEAR(e.left, left, 2.0);
        EXPECT_NEAR(e.right + 1, right, 2.0);
        EXPECT_NEAR(e.top, top, 2.0);
        // the head is lit from the front: the centre of the face is light
        const Rgb& nose = p.at(c.size / 2, static_cast<int>(150 * f));
        EXPECT_GT(nose.r + nose.g + nose.b, 3 * 150);
    }
    // photo side skin toned, head side grey
    Picture photo = respic::DecodeResource("PICFILES", 217), grey = respic::DecodeResource("PICFILES", 211);
    const Rgb& skin = photo.at(82, 70);
    EXPECT_TRUE(skin.r > skin.g && skin.g > skin.b);
    for (int y = 1; y + 1 < grey.height; ++y)
        for (int x = 1; x + 1 < grey.width; ++x) {
            bool inside = true;  // off the smoothed outline
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) inside = inside && !(grey.at(x + i, y + j) == kBackground);
            const Rgb& c = grey.at(x, y);
            if (inside) {
                ASSERT_TRUE(c.r == c.g && c.g == c.b) << x << "," << y;
            }
        }
}

// A line of the line table as the curve pictures draw it.
struct KeyLine {
    std::string code;
    Rgb colour;
    std::vector<Point2> points;  // in 165-pixel picture coordinates; empty: no points
};

std::vector<KeyLine> keyLines() {
    std::map<std::string, PointRow> rows = pointRows();
    auto preview = [&](const std::string& name) {
        auto it = rows.find(name);
        if (it == rows.end()) it = rows.find(name + "_@A");  // eyebrows
        EXPECT_NE(it, rows.end()) << name;
        return Point2{(140.0 + it->second.preview.x) * kSmall, it->second.preview.y * kSmall};
    };
    const std::map<std::string, std::vector<std::string>> contours = {
        {"left_contour_of_face", {"_contour_180", "_contour_210", "_contour_240", "_contour_270"}},
        {"right_contour_of_face", {"_contour_0", "_contour_330", "_contour_300", "_contour_270"}},
    };
    std::vector<KeyLine> out;
    CString code;
    int r, g, b;
    for (int n = 0; GetFeatureLineInfo(n, &code, nullptr, nullptr, nullptr, nullptr, &r, &g, &b); ++n) {
        if (!GoodInfoCode(0, code)) continue;
        KeyLine line{str(code), {r, g, b}, {}};
        std::vector<std::string> names;
        if (contours.count(line.code)) {
            names = contours.at(line.code);
        } else {
            dynarray<CString> pts;
            if (GetFeatureLinePoints(code, &pts))
                for (const CString& s : pts) names.push_back(str(s));
        }
        for (const std::string& name : names) line.points.push_back(preview(name));
        out.push_back(line);
    }
    return out;
}

double distanceToPolyline(Point2 p, const std::vector<Point2>& line) {
    double best = 1e9;
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        Point2 a = line[i], b = line[i + 1];
        double dx = b.x - a.x, dy = b.y - a.y, ln2 = dx * dx + dy * dy;
        double t = ln2 == 0 ? 0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / ln2, 0.0, 1.0);
        best = std::min(best, std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y));
    }
    return best;
}

TEST_F(Previews, ColourKeysCarryEachLineInItsColourWhereItsPointsAre) {
    std::vector<KeyLine> lines = keyLines();
    ASSERT_EQ(lines.size(), 18u);
    std::map<std::tuple<int, int, int>, std::vector<const KeyLine*>> byColour;
    for (const KeyLine& l : lines) byColour[{l.colour.r, l.colour.g, l.colour.b}].push_back(&l);
    for (unsigned number : {221u, 234u}) {
        SCOPED_TRACE(number);
        Picture key = respic::DecodeResource("PICFILES", number);
        ASSERT_EQ(key.width, 165);
        std::set<std::tuple<int, int, int>> present;
        for (int y = 0; y < key.height; ++y)
            for (int x = 0; x < key.width; ++x) {
                const Rgb& c = key.at(x, y);
                if (c == kWhite) continue;
                auto it = byColour.find({c.r, c.g, c.b});
                ASSERT_NE(it, byColour.end()) << "colour of no line at " << x << "," << y;
                present.insert(it->first);
                // near the points of its line, unless a line without points
                // shares the colour
                bool free = std::any_of(it->second.begin(), it->second.end(),
                                        [](const KeyLine* l) { return l->points.empty(); });
                if (free) continue;
                double d = 1e9;
                for (const KeyLine* l : it->second) d = std::min(d, distanceToPolyline({x + 0.5, y + 0.5}, l->points));
                EXPECT_LE(d, 3.0) << x << "," << y;
            }
        EXPECT_EQ(present.size(), byColour.size());
        // every line with points is drawn all along: each point of its
        // polyline has a pixel of its colour within 2 pixels (at its ends
        // the line it meets may lie on top)
        for (const KeyLine& l : lines) {
            for (size_t i = 0; i + 1 < l.points.size(); ++i) {
                Point2 a = l.points[i], b = l.points[i + 1];
                int steps = std::max(1, static_cast<int>(std::hypot(b.x - a.x, b.y - a.y)));
                for (int s = 0; s <= steps; ++s) {
                    double px = a.x + (b.x - a.x) * s / steps, py = a.y + (b.y - a.y) * s / steps;
                    Point2 first = l.points.front(), last = l.points.back();
                    if (std::hypot(px - first.x, py - first.y) < 2.5 || std::hypot(px - last.x, py - last.y) < 2.5)
                        continue;
                    bool found = false;
                    for (int y = int(py) - 2; y <= int(py) + 2 && !found; ++y)
                        for (int x = int(px) - 2; x <= int(px) + 2 && !found; ++x)
                            found = x >= 0 && y >= 0 && x < 165 && y < 165 && key.at(x, y) == l.colour &&
                                    std::hypot(x + 0.5 - px, y + 0.5 - py) <= 2.0;
                    EXPECT_TRUE(found) << l.code << " near " << px << "," << py;
                }
            }
        }
    }
}

// The previews are their pictures with the keys' lines in one line colour.
TEST_F(Previews, CurvePreviewsCarryTheKeysLinesInTheLineColour) {
    struct Case {
        unsigned preview, key, plain;
    };
    for (const Case& c : {Case{236, 221, 217}, Case{235, 234, 211}}) {
        SCOPED_TRACE(c.preview);
        Picture preview = respic::DecodeResource("PICFILES", c.preview);
        Picture key = respic::DecodeResource("PICFILES", c.key);
        Picture plain = respic::DecodeResource("PICFILES", c.plain);
        ASSERT_EQ(preview.width, 165);
        int lines = 0;
        for (size_t i = 0; i < preview.px.size(); ++i) {
            bool onLine = !(key.px[i] == kWhite);
            lines += onLine;
            ASSERT_EQ(preview.px[i] == kLine, onLine) << i % 165 << "," << i / 165;
            if (!onLine) {
                ASSERT_TRUE(preview.px[i] == plain.px[i]) << i % 165 << "," << i / 165;
            }
        }
        EXPECT_GT(lines, 500);
    }
}

}  // namespace
