// The photo's marks as the camera step and the fit take them, and the
// automatic lines made from them on the template head.

#include "fitting/marks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/fitting/template_pipeline.h"

namespace {

class Marks : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.loadTemplate()) << "the template head cannot be read";
        CWinBmp blank;
        blank.Create(1024, 768, 32, false);
        run.setPhoto(blank);
    }
    head2& marks() { return *run.photo->head; }
    void mark(const char* name, double x, double y) { run.addPhotoPoint({name, vector2<double>(x, y)}); }
    const featureline2* photoLine(const char* name) {
        for (int i = marks().photoLines.first(); i != -1; i = marks().photoLines.nextOf(i))
            if (std::string(marks().photoLines[i].name()) == name) return &marks().photoLines[i];
        return nullptr;
    }
    pipeline::Run run;
};

// The table's weights of the marked points, each cut to an integer: the
// outer eye corners weigh 5, the nose tip 2, edges of the nose 0.
TEST_F(Marks, MarkedPointsWeighTheirTableWeights) {
    EXPECT_EQ(MarkedPointWeight(marks(), 0), 0);
    mark("left_corner_of_the_left_eye", 400, 300);
    mark("right_corner_of_the_right_eye", 600, 300);
    EXPECT_EQ(MarkedPointWeight(marks(), 0), 10);
    mark("left_edge_of_the_nose", 480, 400);
    EXPECT_EQ(MarkedPointWeight(marks(), 0), 10);
    mark("tip_of_the_nose", 500, 380);
    EXPECT_EQ(MarkedPointWeight(marks(), 0), 12);
    EXPECT_GE(MarkedPointWeight(marks(), 0), kMinimalMarkedWeight);
    mark("not_a_feature", 1, 1);
    EXPECT_EQ(MarkedPointWeight(marks(), 0), 12);
    // The points of the first refinement photo belong to another group.
    EXPECT_EQ(MarkedPointWeight(marks(), 1), 0);
}

TEST_F(Marks, MarksOffThePhotoAreNamed) {
    struct Case {
        const char* what;
        vector2<double> point, linePoint;
        std::string message;
    } cases[] = {
        {"on the photo", {10, 10}, {1000, 700}, ""},
        {"outside, within the photo's size", {-1000, 1500}, {2000, -700}, ""},
        {"a point farther left than the photo is wide", {-1025, 10}, {10, 10}, "The mark tip_of_the_nose lies outside the photo."},
        {"a point not a number", {std::nan(""), 10}, {10, 10}, "The mark tip_of_the_nose lies outside the photo."},
        {"a line point at infinity", {10, 10}, {10, INFINITY}, "The line left_eyebrow leaves the photo."},
        {"a line point far below", {10, 10}, {10, 1537}, "The line left_eyebrow leaves the photo."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        head2 h;
        Index<featurepoint2> p = h.photoPoints.add();
        h.photoPoints[p].set_name("tip_of_the_nose", false);
        h.photoPoints[p].position = c.point;
        Index<featureline2> l = h.photoLines.add();
        h.photoLines[l].set_name("left_eyebrow", false);
        for (const vector2<double>& q : {vector2<double>(5, 5), c.linePoint}) {
            Index<linepoint2> lp = h.photoLines[l].add();
            h.photoLines[l][lp].position = q;
        }
        EXPECT_EQ(std::string(PhotoMarksProblem(h, 1024, 768).View()), c.message);
    }
}

// The eye lines from their three marked points, in the table's order; a
// line with one marked point only is not made; a drawn photo line and a
// placed head line are left as they are.
TEST_F(Marks, AutomaticLinesFromTheMarkedPoints) {
    head3& h = run.head();
    mark("right_corner_of_the_left_eye", 470, 300);
    mark("left_corner_of_the_left_eye", 400, 302);
    mark("top_of_the_left_eye", 436, 290);
    mark("bottom_of_the_left_eye", 436, 310);
    mark("left_corner_of_the_mouth", 440, 500);  // alone on its lines
    // The right eye's top line is drawn already.
    Index<featureline2> drawn = marks().photoLines.add();
    marks().photoLines[drawn].set_name("top_line_of_the_right_eye", false);
    for (double x : {550.0, 600.0}) {
        Index<linepoint2> lp = marks().photoLines[drawn].add();
        marks().photoLines[drawn][lp].position = vector2<double>(x, 300);
    }
    // The right eye's lines on the head are placed already, from one point.
    Index<featureline3> placedHead = h.addFeatureline("bottom_line_of_the_right_eye", true);
    Index<linepoint3> only = h.featurelines[placedHead].add();
    h.featurelines[placedHead][only].vtx = h.featurepoints[h.getFeaturepoint("bottom_of_the_right_eye", true)].vtx;
    h.featurelines[placedHead][only].extra = h.featurepoints[h.getFeaturepoint("bottom_of_the_right_eye", true)].extra;

    const int made = CreateAutomaticLines(marks(), h, 0);

    struct Want {
        const char* line;
        std::vector<vector2<double>> points;
    } photo[] = {
        {"top_line_of_the_left_eye", {{400, 302}, {436, 290}, {470, 300}}},
        {"bottom_line_of_the_left_eye", {{400, 302}, {436, 310}, {470, 300}}},
    };
    for (const Want& w : photo) {
        SCOPED_TRACE(w.line);
        const featureline2* l = photoLine(w.line);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->n, 2);
        EXPECT_EQ(l->closing, 0);
        std::vector<vector2<double>> got;
        std::vector<int> kinds;
        for (int k = l->first(); k != -1; k = l->nextOf(k)) got.push_back((*l)[k].position), kinds.push_back((*l)[k].kind);
        EXPECT_EQ(got, w.points);
        EXPECT_EQ(kinds, (std::vector<int>{2, 1, 2}));
    }
    EXPECT_EQ(photoLine("top_line_of_mouth"), nullptr);
    const featureline2* kept = photoLine("top_line_of_the_right_eye");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->count(), 2);
    EXPECT_EQ(kept->a, 1);

    // On the head: every automatic line of the table whose points the head
    // has, through those points, each an edit point on the surface.
    int headLines = 0;
    CString code, type;
    for (int i = 0; GetFeatureLineInfo(i, &code, nullptr, &type); ++i) {
        if (!GoodInfoCode(0, code) || type != CString("3333")) continue;
        SCOPED_TRACE(code.View());
        dynarray<CString> names;
        if (!GetFeatureLinePoints(code, &names)) continue;  // a row without its points
        Index<featureline3> l = h.getFeatureline(code, true);
        if (code == CString("bottom_line_of_the_right_eye")) {
            ASSERT_EQ(l, placedHead);
            EXPECT_EQ(h.featurelines[l].count(), 1);
            continue;
        }
        std::vector<vector3<double>> want;
        for (int k = 0; k < names.size(); ++k)
            if (Index<featurepoint3> f = h.getFeaturepoint(names[k], true); f != -1) want.push_back(h.featurepoints[f].point());
        if (want.size() < 2) {
            EXPECT_TRUE(l == -1 || h.featurelines[l].count() == 0);
            continue;
        }
        ASSERT_NE(l, -1);
        ++headLines;
        const featureline3& line = h.featurelines[l];
        EXPECT_EQ(line.closing, 0);
        EXPECT_EQ(line.closedSpline, 0);
        size_t k = 0;
        for (int p = line.first(); p != -1; p = line.nextOf(p), ++k) {
            ASSERT_LT(k, want.size());
            EXPECT_TRUE(line[p].isRubber());
            EXPECT_LT((line[p].point() - want[k]).length(), 1e-9);
            EXPECT_EQ(line[p].extra.data().linepoint, p);
            EXPECT_EQ(line[p].kind, k == 0 || k + 1 == want.size() ? 2 : 1);
        }
        EXPECT_EQ(k, want.size());
    }
    EXPECT_GE(headLines, 5);
    EXPECT_EQ(made, 2 + headLines);
    // Made once: a second call finds every line there.
    EXPECT_EQ(CreateAutomaticLines(marks(), h, 0), 0);
}

}  // namespace
