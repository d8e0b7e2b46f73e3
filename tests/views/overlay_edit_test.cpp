// Editing in the head-over-photo view through injected input: the posed
// head's points and lines placed, drawn, closed, named, dragged past the
// 5-pixel threshold, removed and inserted; the head turned and moved while
// refining; zooms, pans and the rectangle zoom-out; keys passed to the 3D
// view; the drawing of the marks in their colours.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/topology.h"
#include "tests/support/model_invariants.h"
#include "tests/views/view_host.h"

namespace {

using viewtest::Picture;

class OverlayEditTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
        ASSERT_TRUE(TemplateScene());
        Doc().stage = 2000;
        Doc().photoNumber = 0;
        ShowAlone(Overlay());
        Overlay().featureDisplay = true;
        Paint(Overlay());
    }
    void TearDown() override {
        if (app && Doc().kernel3D && Doc().kernel3D->head) EXPECT_MODEL_SOUND(*Doc().kernel3D->head);
        ViewsTest::TearDown();
    }
    head2& Marks() { return *Doc().kernel2D->head; }
    HWND Wnd() { return Overlay().m_hWnd; }
    void Tool(int tool, int mode) {
        driver.Run([&] {
            Frame().previousTool = Frame().tool;
            Frame().previousToolMode = Frame().toolMode;
            Frame().tool = tool, Frame().toolMode = mode;
        });
    }
    int Beeps() { return int(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size()); }
    std::vector<std::string> Boxes() {
        std::vector<std::string> out;
        for (const auto& e : driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox))
            out.push_back(e.text + "/" + e.caption);
        return out;
    }
    // Client pixel and photo position of the click there.
    vector2<double> Photo(CPoint p) { return Overlay().ClientToPicture(p); }
    CPoint Client(const vector2<double>& photo) {
        const vector2<double> c = Overlay().PictureToClient(photo);
        return CPoint(int(std::lround(c.x)), int(std::lround(c.y)));
    }
    std::vector<int> Kinds(Index<featureline2> l) {
        std::vector<int> out;
        const featureline2& line = Marks().overlayLines[l];
        for (int q = line.first(); q != -1; q = line.nextOf(q)) out.push_back(line[q].kind);
        return out;
    }
    std::vector<vector2<double>> Positions(Index<featureline2> l) {
        std::vector<vector2<double>> out;
        const featureline2& line = Marks().overlayLines[l];
        for (int q = line.first(); q != -1; q = line.nextOf(q)) out.push_back(line[q].position);
        return out;
    }
    Index<featureline2> Line(std::vector<CPoint> clicks, UINT lastKeys = 0, int row = 0) {
        Tool(0, 1);
        Overlay().currentRow = row;
        const int before = Marks().overlayLines.count();
        for (size_t k = 0; k < clicks.size(); ++k)
            driver.Click(Wnd(), clicks[k], 0, k + 1 == clicks.size() ? lastKeys : 0);
        driver.Click(Wnd(), clicks.back(), 1);
        if (Marks().overlayLines.count() == before) return -1;
        return Marks().overlayLines.last();
    }
    std::string DumpMarks() {
        std::string out;
        for (int l = Marks().overlayLines.first(); l != -1; l = Marks().overlayLines.nextOf(l)) {
            const featureline2& line = Marks().overlayLines[l];
            out += std::to_string(l) + line.name() + ":";
            for (int q = line.first(); q != -1; q = line.nextOf(q))
                out += " " + std::to_string(line[q].position.x) + "," + std::to_string(line[q].position.y);
            out += "\n";
        }
        for (int k = Marks().overlayPoints.first(); k != -1; k = Marks().overlayPoints.nextOf(k))
            out += std::string(Marks().overlayPoints[k].name()) + "\n";
        return out;
    }
};

TEST_F(OverlayEditTest, PlacingTheRowsPoint) {
    auto& curves = OpenCurvePage();
    Tool(0, 2);
    Overlay().currentRow = 2;
    CString code;
    ASSERT_TRUE(GetFeaturePointInfo(2, &code));
    const CPoint at(400, 300);
    driver.Click(Wnd(), at);
    Index<featurepoint2> p = Marks().overlayPoints.get(code.GetString());
    ASSERT_NE(p, -1);
    EXPECT_EQ(Marks().overlayPoints[p].position, Photo(at));
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Overlay().currentRow, 0);
    EXPECT_EQ(curves.calls, (std::vector<std::string>{"RefreshLists", "GetNextFeatureIfNeed"}));
    EXPECT_EQ(Marks().photoPoints.get(code.GetString()), -1);

    // Shift: onto a line point 20 pixels away, exactly.
    const Index<featureline2> l = Line({CPoint(500, 300), CPoint(560, 300)}, 0, 0);
    ASSERT_NE(l, -1);
    const vector2<double> target = Marks().overlayLines[l][Marks().overlayLines[l].first()].position;
    Tool(0, 2);
    Overlay().currentRow = 2;
    driver.Click(Wnd(), CPoint(500 + 12, 300 + 16), 0, MK_SHIFT);
    EXPECT_EQ(Marks().overlayPoints[p].position, target);
    // No row: a beep.
    Tool(0, 2);
    Overlay().currentRow = -1;
    const int beeps = Beeps();
    driver.Click(Wnd(), at);
    EXPECT_EQ(Beeps(), beeps + 1);
}

TEST_F(OverlayEditTest, DrawingEndingClosingAndNamingLines) {
    CString code;
    ASSERT_TRUE(GetFeatureLineInfo(1, &code));
    Tool(0, 1);
    Overlay().currentRow = 1;
    const std::vector<CPoint> clicks{{300, 300}, {340, 280}, {380, 290}, {420, 320}, {460, 360}};
    for (size_t k = 0; k < clicks.size(); ++k) driver.Click(Wnd(), clicks[k], 0, k == 2 ? MK_CONTROL : 0);
    driver.Click(Wnd(), clicks.back(), 1);
    const Index<featureline2> l = Marks().overlayLines.last();
    ASSERT_NE(l, -1);
    EXPECT_STREQ(Marks().overlayLines[l].name(), code.GetString());
    EXPECT_EQ(Kinds(l), (std::vector<int>{2, 1, 2, 1, 2}));
    std::vector<vector2<double>> expected;
    for (const CPoint& c : clicks) expected.push_back(Photo(c));
    EXPECT_EQ(Positions(l), expected);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_TRUE(Overlay().lineFinished);
    EXPECT_TRUE(Marks().photoLines.count() == 0 || Marks().photoLines.get(code.GetString()) == -1);

    // Naming it again: the message, nothing changed.
    const std::string before = DumpMarks();
    Tool(0, 3);
    Overlay().currentRow = 2;
    driver.Click(Wnd(), clicks[1]);
    ASSERT_FALSE(Boxes().empty());
    EXPECT_EQ(Boxes().back(), "Already selected !/Error");
    EXPECT_EQ(DumpMarks(), before);

    // The last click with Shift on the first point closes the line.
    const Index<featureline2> closed =
        Line({CPoint(600, 300), CPoint(650, 330), CPoint(620, 380), CPoint(603, 304)}, MK_SHIFT, 3);
    ASSERT_NE(closed, -1);
    EXPECT_EQ(Marks().overlayLines[closed].closing, 1);
    EXPECT_EQ(Marks().overlayLines[closed].closedSpline, 1);
    EXPECT_EQ(Positions(closed).front(), Positions(closed).back());

    // A one-point line is deleted.
    const int count = Marks().overlayLines.count();
    Line({CPoint(200, 500)});
    EXPECT_EQ(Marks().overlayLines.count(), count);

    // A right click with no line under way only returns to Select.
    Tool(0, 1);
    Overlay().selection.assign(1, IndexSelector{l, -1, 16});
    const std::string now = DumpMarks();
    driver.Click(Wnd(), CPoint(100, 100), 1);
    EXPECT_EQ(DumpMarks(), now);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Overlay().currentRow, 0);
}

TEST_F(OverlayEditTest, EscapeDropsTheLineUnderWay) {
    Line({CPoint(300, 300), CPoint(340, 300)});
    const std::string before = DumpMarks();
    Tool(0, 1);
    driver.Click(Wnd(), CPoint(500, 500));
    driver.Click(Wnd(), CPoint(540, 500));
    EXPECT_NE(DumpMarks(), before);
    driver.Key(VK_ESCAPE);
    EXPECT_EQ(DumpMarks(), before);
    EXPECT_TRUE(Overlay().lineFinished);

    // Enter with the line finished: Select, row 0, and the curve page's
    // flashing flag cleared before its refresh.
    auto& curves = OpenCurvePage();
    curves.calls.clear();
    Tool(0, 1);
    Overlay().currentRow = 4;
    driver.Key(VK_RETURN);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().toolMode, 0);
    EXPECT_EQ(Overlay().currentRow, 0);
    EXPECT_EQ(curves.calls, (std::vector<std::string>{"ClearFlashing", "RefreshLists", "GetNextFeatureIfNeed"}));
}

TEST_F(OverlayEditTest, DraggingPastFivePixels) {
    const Index<featureline2> l =
        Line({CPoint(300, 300), CPoint(360, 300), CPoint(360, 360), CPoint(301, 302)}, MK_SHIFT, 0);
    ASSERT_NE(l, -1);
    ASSERT_EQ(Marks().overlayLines[l].closing, 1);
    const std::vector<vector2<double>> start = Positions(l);
    Tool(1, 0);
    const CPoint at = Client(start[0]);
    driver.MouseDown(Wnd(), at);
    driver.MouseMove(Wnd(), CPoint(at.x + 5, at.y));
    EXPECT_EQ(Positions(l), start);
    driver.MouseMove(Wnd(), CPoint(at.x + 6, at.y));
    const vector2<double> moved = Photo(CPoint(at.x + 6, at.y));
    EXPECT_EQ(Positions(l)[0], moved);
    EXPECT_EQ(Positions(l).back(), moved);
    // After the threshold every move follows.
    driver.MouseMove(Wnd(), CPoint(at.x + 7, at.y + 1));
    EXPECT_EQ(Positions(l)[0], Photo(CPoint(at.x + 7, at.y + 1)));
    driver.MouseUp(Wnd(), CPoint(at.x + 7, at.y + 1));
    EXPECT_FALSE(Overlay().itemDrag);
}

TEST_F(OverlayEditTest, RemovingAndInsertingPoints) {
    const Index<featureline2> l = Line({CPoint(300, 300), CPoint(360, 300), CPoint(420, 300), CPoint(480, 300)});
    ASSERT_NE(l, -1);
    Tool(1, 0);
    int beeps = Beeps();
    driver.Click(Wnd(), CPoint(360, 300), 0, MK_CONTROL);
    EXPECT_EQ(Marks().overlayLines[l].count(), 3);
    EXPECT_EQ(Beeps(), beeps);
    driver.Click(Wnd(), CPoint(300, 300), 0, MK_CONTROL);
    EXPECT_EQ(Marks().overlayLines[l].count(), 3);
    EXPECT_EQ(Beeps(), beeps + 1);
    // Shift with one line point selected: a type-1 point in the interval
    // whose ends are nearest in sum.
    Overlay().selection.assign(1, IndexSelector{l, Marks().overlayLines[l].first(), 16});
    driver.Click(Wnd(), CPoint(450, 310), 0, MK_SHIFT);
    ASSERT_EQ(Marks().overlayLines[l].count(), 4);
    EXPECT_EQ(Positions(l)[2], Photo(CPoint(450, 310)));
    EXPECT_EQ(Kinds(l)[2], 1);
}

TEST_F(OverlayEditTest, TurningAndMovingWhileRefining) {
    auto& core = Overlay().core();
    Frame().refining = 1;
    const CSize c = ClientOf(Overlay());
    const CPoint centre(c.cx / 2, c.cy / 2);
    // Near the centre: pitch per pixel, yaw in whole 3-pixel steps, carried.
    core.pitch = core.yaw = core.roll = 0;
    Tool(5, 0);
    driver.Drag(Wnd(), centre, CPoint(centre.x, centre.y + 9), 3);
    EXPECT_NEAR(core.pitch, 9 * M_PI / 540, 1e-12);
    Tool(5, 0);
    driver.Drag(Wnd(), centre, CPoint(centre.x + 30, centre.y), 15);
    EXPECT_NEAR(core.yaw, 10 * M_PI / 180, 1e-12);
    Tool(5, 0);
    driver.Drag(Wnd(), centre, CPoint(centre.x + 2, centre.y), 1);
    EXPECT_NEAR(core.yaw, 10 * M_PI / 180, 1e-12);
    // Far from the centre: rolls; right in the upper half turns as left in the lower.
    core.roll = 0;
    Tool(5, 0);
    driver.Drag(Wnd(), CPoint(centre.x, 40), CPoint(centre.x + 30, 40), 5);
    const double up = core.roll;
    EXPECT_NE(up, 0);
    core.roll = 0;
    Tool(5, 0);
    driver.Drag(Wnd(), CPoint(centre.x, c.cy - 40), CPoint(centre.x - 30, c.cy - 40), 5);
    EXPECT_NEAR(core.roll, up, 1e-12);
    EXPECT_GE(core.roll, 0);
    EXPECT_LE(core.roll, 2 * M_PI);
    // A right drag of 10 pixels moves the base centre 5 units.
    Tool(1, 0);
    const vector3<double> base = core.baseCenter;
    driver.Drag(Wnd(), CPoint(100, 100), CPoint(110, 100), 2, 1);
    EXPECT_NEAR(core.baseCenter.x, base.x - 5, 1e-12);
    // The wheel keeps the eye distance within 100..1500.
    for (int k = 0; k < 200; ++k) driver.Wheel(Wnd(), centre, 120);
    EXPECT_EQ(Overlay().defaultEyeDistance, 100);
    for (int k = 0; k < 200; ++k) driver.Wheel(Wnd(), centre, -120);
    EXPECT_EQ(Overlay().defaultEyeDistance, 1500);
    Frame().refining = 0;
}

TEST_F(OverlayEditTest, ZoomsPansAndTheRectangleZoomOut) {
    auto& core = Overlay().core().core();
    const CSize c = ClientOf(Overlay());
    const CPoint centre(c.cx / 2, c.cy / 2);
    double z = core.zoom();
    driver.Wheel(Wnd(), centre, 120);
    EXPECT_NEAR(core.zoom(), z * 1.25, z * 1e-2);
    driver.Wheel(Wnd(), centre, -120);
    EXPECT_NEAR(core.zoom(), z, z * 1e-2);
    // A middle drag 2 pixels up zooms in by 1.25.
    driver.Drag(Wnd(), CPoint(300, 300), CPoint(300, 298), 1, 2);
    EXPECT_NEAR(core.zoom(), z * 1.25, z * 1e-2);
    // A right drag pans with the mouse.
    const vector2<double> probe(500, 400);
    const vector2<double> was = Overlay().PictureToClient(probe);
    Tool(1, 0);
    driver.Drag(Wnd(), CPoint(300, 300), CPoint(340, 320), 4, 1);
    const vector2<double> now = Overlay().PictureToClient(probe);
    EXPECT_NEAR(now.x - was.x, 40, 1.0);
    EXPECT_NEAR(now.y - was.y, 20, 1.0);
    // Tool 4: the client's content goes into the dragged rectangle.
    const vector2<double> before = Overlay().PictureToClient(probe);
    const double zoomBefore = core.zoom();
    Tool(4, 0);
    driver.Drag(Wnd(), CPoint(256, 192), CPoint(768, 576), 4);
    const vector2<double> after = Overlay().PictureToClient(probe);
    EXPECT_NEAR(core.zoom(), zoomBefore * 0.5, zoomBefore * 1e-2);
    EXPECT_NEAR(after.x, 256 + before.x * 0.5, 2.0);
    EXPECT_NEAR(after.y, 192 + before.y * 0.5, 2.0);
    EXPECT_EQ(Frame().tool, 1);
    // Under 10 pixels a side: unchanged.
    const double zoomNow = core.zoom();
    Tool(4, 0);
    driver.Drag(Wnd(), CPoint(256, 192), CPoint(262, 400), 2);
    EXPECT_EQ(core.zoom(), zoomNow);
}

TEST_F(OverlayEditTest, KeysTurnTheHeadAsIn3DView) {
    auto& core = View3D().core();
    core.pitch = core.yaw = core.roll = 0;
    driver.Key(VK_RIGHT);
    driver.Key(VK_HOME);
    EXPECT_NEAR(core.yaw, 5 * M_PI / 180, 1e-12);
    EXPECT_NEAR(core.pitch, 2 * M_PI - 5 * M_PI / 180, 1e-12);
    driver.Key(VK_NUMPAD0 + 5);
    EXPECT_EQ(core.yaw, 0);
    EXPECT_EQ(core.pitch, 0);
}

TEST_F(OverlayEditTest, MarksInTheirColours) {
    const Index<featureline2> l = Line({CPoint(300, 300), CPoint(360, 330), CPoint(420, 300)}, 0, 1);
    ASSERT_NE(l, -1);
    Tool(0, 2);
    Overlay().currentRow = 2;
    driver.Click(Wnd(), CPoint(600, 500));
    Overlay().selection.clear();
    Paint(Overlay());
    Picture p = Grab(Overlay());
    viewtest::Save(p, "overlay_marks");
    // Line markers (square type 2, circle type 1) of (0, 200, 0); the curve (0, 255, 0).
    EXPECT_EQ(p.at(300, 300), 0x00C800u);
    EXPECT_EQ(p.at(360, 330), 0x00C800u);
    // The 2D feature point is drawn by its placing click, not every frame.
    // Selected: the line (255, 64, 64) with markers (255, 0, 0).
    Overlay().selection.assign(1, IndexSelector{l, -1, 16});
    Paint(Overlay());
    p = Grab(Overlay());
    EXPECT_EQ(p.at(300, 300), 0xFF0000u);
    int curve = 0;
    for (int x = 320; x < 340; ++x)
        for (int y = 290; y < 340; ++y) curve += p.at(x, y) == 0xFF4040u;
    EXPECT_GT(curve, 0);
    // The head's own lines: curves (0, 0, 255), markers (128, 128, 255).
    head3& head = *Doc().kernel3D->head;
    int made = 0;
    driver.Run([&] {
        const Index<featureline3> hl = head.addFeatureline("", true);
        for (int k = 0; k < 6; ++k) {
            SurfaceHit hit;
            if (!Overlay().core().castRay(vector2<double>(440 + 30 * k, 330 + 8 * k), &hit)) continue;
            featureline3& line = head.featurelines[hl];
            const Index<linepoint3> q = line.add();
            line[q].kind = k == 0 || k == 5 ? 2 : 1;
            line[q].set_extrapoint(hit.triangle, hit.bary, roughConversion);
            add_linepoint(q, hl);
            ++made;
        }
    });
    ASSERT_GT(made, 3);
    Paint(Overlay());
    p = Grab(Overlay());
    int blue = 0, markers = 0;
    for (uint32_t px : p.pixels) blue += px == 0x0000FFu, markers += px == 0x8080FFu;
    EXPECT_GT(blue, 50);
    EXPECT_GT(markers, 20);
    // A line whose name the photo's group rejects is not drawn nor picked.
    Marks().overlayLines[l].set_name("eyebrow@A", false);
    Overlay().selection.clear();
    Paint(Overlay());
    p = Grab(Overlay());
    EXPECT_NE(p.at(300, 300), 0x00C800u);
    CPoint at(300, 300);
    EXPECT_FALSE(Overlay().SelectItem(at, 16, false));
}

TEST_F(OverlayEditTest, AHiddenStretchOfAHeadLineIsNotBridged) {
    // A line from the left side round the back of the head to the right
    // side: its middle is hidden behind the head.
    head3& head = *Doc().kernel3D->head;
    Index<vertex> left = -1, right = -1, back = -1;
    const double y0 = 0.5 * (head.boxMin.y + head.boxMax.y);
    for (int k = head.vertices.first(); k != -1; k = head.vertices.nextOf(k)) {
        const vertex& v = head.vertices[k];
        if (v.triangles.count() == 0 || std::fabs(v.position.y - y0) > 8) continue;
        // The cheeks: the frontmost vertices at 60 % of each half-width.
        const double lx = 0.6 * head.boxMin.x, rx = 0.6 * head.boxMax.x;
        if (std::fabs(v.position.x - lx) < 4 && (left == -1 || v.position.z > head.vertices[left].position.z)) left = k;
        if (std::fabs(v.position.x - rx) < 4 && (right == -1 || v.position.z > head.vertices[right].position.z))
            right = k;
        if (back == -1 || v.position.z < head.vertices[back].position.z) back = k;
    }
    ASSERT_TRUE(left != -1 && right != -1 && back != -1);
    driver.Run([&] {
        const Index<featureline3> l = head.addFeatureline("", true);
        for (Index<vertex> v : {left, back, right}) {
            featureline3& line = head.featurelines[l];
            const Index<linepoint3> q = line.add();
            line[q].kind = v == back ? 1 : 2;
            line[q].vtx = v;
            line[q]._makeExtra();
            add_linepoint(q, l);
        }
    });
    Paint(Overlay());
    const Picture p = Grab(Overlay());
    // The head's middle, between the two ends, shows no curve.
    generalpoint3 a, b;
    a.vtx = left;
    b.vtx = right;
    Overlay().Coord3Dto2D(a, 1);
    Overlay().Coord3Dto2D(b, 1);
    const int x0 = int(std::min(a.projX, b.projX)) + 30, x1 = int(std::max(a.projX, b.projX)) - 30;
    const int y = int(0.5 * (a.projY + b.projY));
    ASSERT_LT(x0, x1);
    int blueInside = 0, blueAll = 0;
    for (int yy = 0; yy < p.height; ++yy)
        for (int x = 0; x < p.width; ++x) {
            const bool blue = p.at(x, yy) == 0x0000FFu;
            blueAll += blue;
            blueInside += blue && x > x0 && x < x1 && std::abs(yy - y) < 200;
        }
    viewtest::Save(p, "overlay_hidden_stretch");
    EXPECT_GT(blueAll, 0);
    EXPECT_EQ(blueInside, 0);
    EXPECT_MODEL_SOUND(head);
}

}  // namespace
