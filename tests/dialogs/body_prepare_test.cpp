// The body-prepare dialog over the program's frame and the full template
// head, with a small point table of its own: three main points placed by
// hand, two automatic ones completed on the head.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "dialogs/bodyprepare.h"
#include "dialogs/head_completion.h"
#include "model/featuretables.h"
#include "model/topology.h"
#include "tests/views/view_host.h"

namespace {

using brv::HeadlessDriver;

// Code, kind, preview x and y, English name.
struct PointRow {
    const char* code;
    int kind;
    int x, y;
    const char* name;
};
const PointRow kRows[] = {
    {"left_corner_of_the_left_eye", 3, -50, 134, "left corner of the left eye"},
    {"top_of_the_forehead", 0, 0, 85, "top of the forehead"},
    {"right_corner_of_the_right_eye", 3, 50, 134, "right corner of the right eye"},
    {"_contour_270", 3, 0, 260, "top of the chin"},
    {"tip_of_the_nose", 0, 0, 176, "tip of the nose"},
};

std::string tableText() {
    std::string t = "#code, mirror, weight, kind, x, y, x2, y2, english, hungarian,\n";
    for (const PointRow& r : kRows)
        t += std::string(r.code) + ",\t" + r.code + ",\t1.0,\t" + std::to_string(r.kind) + ",\t" + std::to_string(r.x) +
             ",\t" + std::to_string(r.y) + ",\t0,\t0,\t" + r.name + ",\tx,\n";
    return t;
}

// The highest hit of the vertical line through (x, y) on the head's
// triangles, found by testing every triangle.
bool topHit(const head3& h, double x, double y, vector3<double>* out) {
    bool found = false;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t)) {
        const triangle& tr = h.triangles[t];
        const vector3<double> a = h.vertices[tr.a].position, b = h.vertices[tr.b].position,
                              c = h.vertices[tr.c].position;
        const double d = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
        if (std::fabs(d) < 1e-12) continue;
        const double u = ((b.y - c.y) * (x - c.x) + (c.x - b.x) * (y - c.y)) / d;
        const double v = ((c.y - a.y) * (x - c.x) + (a.x - c.x) * (y - c.y)) / d;
        const double w = 1 - u - v;
        if (u < -1e-9 || v < -1e-9 || w < -1e-9) continue;
        const double z = u * a.z + v * b.z + w * c.z;
        if (!found || z > out->z) *out = vector3<double>(x, y, z);
        found = true;
    }
    return found;
}

}  // namespace

class BodyPrepareTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        installFeatureTable(kTablePoints, tableText());
        ASSERT_TRUE(StartProgram());
        ASSERT_TRUE(TemplateScene());
        for (const PointRow& r : kRows) {
            Index<featurepoint3> p = Head().getFeaturepoint(r.code, false);
            ASSERT_NE(p, -1) << r.code;
            vertexOf[r.code] = Head().featurepoints[p].vtx;
        }
        // One point taken away: the counts differ when the dialog shows.
        RemoveFeaturepoint(Head().getFeaturepoint(kRows[2].code, false));
        dialog = new BodyPrepareDialog(&Frame(), &Doc());
        driver.Run([&] { ASSERT_TRUE(dialog->Create()); });
        driver.Pump();
    }
    void TearDown() override {
        if (dialog && dialog->m_hWnd) driver.Run([&] { dialog->DestroyWindow(); });
        delete dialog;
        ViewsTest::TearDown();
        resetFeatureTables();
    }
    head3& Head() { return *Doc().kernel3D->head; }
    std::string Hint() { return HeadlessDriver::Inspect(HeadlessDriver::FindControl(dialog->m_hWnd, 1140)).text; }
    // The 3D view's click on the current row's original vertex.
    void PlaceCurrentRow() {
        CString code;
        GetFeaturePointInfo(View3D().currentRow, &code);
        Index<featurepoint3> p = Head().addFeaturepoint(code, true);
        Head().featurepoints[p].vtx = vertexOf.at(std::string(code.View()));
        add_featurepoint(p);
    }
    COLORREF Pixel(CPoint p) { return HeadlessDriver::Pixel(dialog->m_hWnd, p.x, p.y); }

    BodyPrepareDialog* dialog = nullptr;
    std::map<std::string, int> vertexOf;
};

TEST_F(BodyPrepareTest, ShowingWithPointsMissingRunsAgainAndAsksTheFirstRow) {
    // Shown with a point missing: Again.
    for (const PointRow& r : kRows) {
        Index<featurepoint3> p = Head().getFeaturepoint(r.code, false);
        // Automatic points go; placed ones stay as unplaced table points.
        if (r.kind == 0) {
            EXPECT_EQ(p, -1) << r.code;
            continue;
        }
        ASSERT_NE(p, -1);
        EXPECT_EQ(Head().featurepoints[p].vtx, -1) << r.code;
        EXPECT_EQ(Head().featurepoints[p].extra, -1) << r.code;
    }
    EXPECT_EQ(View3D().currentRow, 0);
    EXPECT_EQ(Frame().tool, 0);
    EXPECT_EQ(Frame().toolMode, 6);
    EXPECT_EQ(Hint(), "left corner of the left eye");
    EXPECT_TRUE(dialog->m_flashing);

    // Timer 1 switches the marker between 2 and 5 every 400 ms, inside its
    // 11 x 11 square only.
    const CRect square = dialog->MarkerSquare();
    ASSERT_EQ(square.Width(), 11);
    const CPoint centre = square.TopLeft() + CSize(5, 5);
    const CPoint ring(centre.x + 4, centre.y);
    auto client = [&] {
        CRect r;
        dialog->GetClientRect(&r);
        std::vector<COLORREF> px;
        for (int y = 0; y < r.Height(); ++y)
            for (int x = 0; x < r.Width(); ++x)
                if (!square.PtInRect(CPoint(x, y))) px.push_back(Pixel(CPoint(x, y)));
        return px;
    };
    driver.Run([&] { dialog->RedrawWindow(); });
    EXPECT_EQ(Pixel(centre), RGB(0, 0, 255));
    EXPECT_NE(Pixel(ring), RGB(0, 0, 255));
    const auto outside = client();
    driver.AdvanceClock(400);
    EXPECT_EQ(dialog->m_radius, 5);
    EXPECT_EQ(Pixel(ring), RGB(0, 0, 255));
    driver.AdvanceClock(400);
    EXPECT_EQ(dialog->m_radius, 2);
    EXPECT_NE(Pixel(ring), RGB(0, 0, 255));
    EXPECT_EQ(client(), outside);
}

TEST_F(BodyPrepareTest, MainPointsByHandThenTheAutomaticOnesOnTheHead) {
    std::vector<std::string> asked;
    for (int k = 0; k < 3; ++k) {
        asked.push_back(Hint());
        EXPECT_EQ(Frame().toolMode, 6);
        PlaceCurrentRow();
        driver.Run([&] { dialog->ChooseNextPoint(); });
    }
    EXPECT_EQ(asked, (std::vector<std::string>{"left corner of the left eye", "right corner of the right eye",
                                               "top of the chin"}));
    EXPECT_EQ(Hint(), "");
    EXPECT_FALSE(dialog->m_flashing);
    EXPECT_TRUE(View3D().selection.empty());

    // Each automatic point: its preview position's weights in the main
    // points' preview triangle, on the main vertices, then straight down
    // onto the face.
    const PointRow& a = kRows[0];
    const PointRow& b = kRows[2];
    const PointRow& c = kRows[3];
    const vector3<double> A = Head().vertices[vertexOf[a.code]].position, B = Head().vertices[vertexOf[b.code]].position,
                          C = Head().vertices[vertexOf[c.code]].position;
    for (const PointRow& r : {kRows[1], kRows[4]}) {
        SCOPED_TRACE(r.code);
        const double d = double((b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y));
        const double u = ((b.y - c.y) * (r.x - c.x) + (c.x - b.x) * (r.y - c.y)) / d;
        const double v = ((c.y - a.y) * (r.x - c.x) + (a.x - c.x) * (r.y - c.y)) / d;
        const vector3<double> target = A * u + B * v + C * (1 - u - v);
        vector3<double> expected;
        ASSERT_TRUE(topHit(Head(), target.x, target.y, &expected));
        Index<featurepoint3> p = Head().getFeaturepoint(r.code, false);
        ASSERT_NE(p, -1);
        const featurepoint3& f = Head().featurepoints[p];
        ASSERT_NE(f.extra, -1);
        EXPECT_NE(f.extra.data().tri, -1);
        EXPECT_EQ(f.used, 1);
        const vector3<double> at = f.point();
        EXPECT_NEAR(at.x, expected.x, 1e-6);
        EXPECT_NEAR(at.y, expected.y, 1e-6);
        EXPECT_NEAR(at.z, expected.z, 1e-6);
    }
    EXPECT_FALSE(headpoints::HeadPointsNeedCompletion(Head(), 0));

    // The preview face, unscaled, with a red dot on every placed row.
    driver.Run([&] { dialog->RedrawWindow(); });
    CWinBmp face;
    ASSERT_TRUE(face.CreateRes(205));
    const CRect pic = dialog->PictureRect();
    EXPECT_EQ(pic.Size(), CSize(face.GetWidth(), face.GetHeight()));
    const CPixel32 corner = face.GetPixel(0, 0);
    EXPECT_EQ(Pixel(pic.TopLeft()), RGB(corner.GetR(), corner.GetG(), corner.GetB()));
    for (const PointRow& r : kRows) EXPECT_EQ(Pixel(CPoint(pic.CenterPoint().x + r.x, pic.top + r.y)), RGB(255, 0, 0));

    // Hidden and shown again with every point placed: nothing is undone.
    driver.Run([&] { dialog->ShowWindow(SW_HIDE); });
    driver.Run([&] { dialog->ShowWindow(SW_SHOW); });
    for (const PointRow& r : kRows) {
        Index<featurepoint3> p = Head().getFeaturepoint(r.code, false);
        EXPECT_TRUE(Head().featurepoints[p].vtx != -1 || Head().featurepoints[p].extra != -1) << r.code;
    }

    // Again takes them all away and asks the first row anew.
    driver.ClickControl(HeadlessDriver::FindControl(dialog->m_hWnd, 1139));
    for (const PointRow& r : kRows) {
        Index<featurepoint3> p = Head().getFeaturepoint(r.code, false);
        EXPECT_TRUE(p == -1 || (Head().featurepoints[p].vtx == -1 && Head().featurepoints[p].extra == -1)) << r.code;
    }
    EXPECT_EQ(Hint(), "left corner of the left eye");
}

TEST_F(BodyPrepareTest, RaysAroundAMissStartNearestFirst) {
    const std::vector<vector3<double>> s = headpoints::RayStarts(vector3<double>(10, 20, 30), 2);
    ASSERT_EQ(s.size(), 25u);
    EXPECT_EQ(s[0], vector3<double>(10, 20, 30));
    for (size_t k = 1; k < s.size(); ++k) {
        const double dk = std::hypot(s[k].x - 10, s[k].y - 20), dp = std::hypot(s[k - 1].x - 10, s[k - 1].y - 20);
        EXPECT_GE(dk, dp);
        EXPECT_EQ(s[k].z, 30);
    }
    // A point beside the head, within two grid steps of its edge, still
    // lands on it; far away nothing is bound.
    const vector3<double> size = Head().boxMax - Head().boxMin;
    const double step = std::max({size.x, size.y, size.z}) / 200;
    EXPECT_FALSE(headpoints::BindToSurface(Head(), -1, vector3<double>()));
    Index<featurepoint3> p = Head().addFeaturepoint(kRows[1].code, true);
    vector3<double> side(-1e10, 0, 0);
    for (int v = Head().vertices.first(); v != -1; v = Head().vertices.nextOf(v))
        if (Head().vertices[v].position.x > side.x) side = Head().vertices[v].position;
    EXPECT_TRUE(headpoints::BindToSurface(Head(), p, vector3<double>(side.x + 1.5 * step, side.y, 0)));
    EXPECT_NE(Head().featurepoints[p].extra, -1);
    Index<featurepoint3> q = Head().addFeaturepoint(kRows[4].code, true);
    EXPECT_FALSE(headpoints::BindToSurface(Head(), q, vector3<double>(side.x + 10 * step, side.y, 0)));
    EXPECT_EQ(Head().featurepoints[q].extra, -1);
}

TEST_F(BodyPrepareTest, DestroyResetsTheToolStateAndTheCurrentRow) {
    View3D().selection.push_back(IndexSelector{});
    ASSERT_EQ(Frame().toolMode, 6);
    driver.Run([&] { dialog->DestroyWindow(); });
    EXPECT_EQ(Frame().toolMode, 0);
    EXPECT_EQ(Frame().tool, 0);
    EXPECT_EQ(View3D().currentRow, 0);
    EXPECT_TRUE(View3D().selection.empty());
    driver.AdvanceClock(2000);  // the timer is gone with it
    EXPECT_EQ(dialog->m_radius, 2);
}
