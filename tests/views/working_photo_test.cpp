// Marking the working photo through the headless driver, at zoom 1 and 2.5:
// placing points, drawing, closing and naming lines, selecting, dragging,
// deleting and inserting, the keys, the hover flashes the pages hear of,
// the pick's tie rules and the rubber line drawn twice.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tests/views/view_host.h"

namespace {

using viewtest::Picture;

class WorkingPhotoTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
        SetPhoto(viewtest::CodedPicture(1024, 768));
        ShowAlone(Orig2D(), 800, 600);
        Orig2D().featureDisplay = true;
    }

    head2& Marks() { return *Doc().kernel2D->head; }
    HWND Wnd() { return Orig2D().m_hWnd; }
    // Zoom 1 at offset 0, or 2.5 moved so that picture (200, 120) is at the
    // client's corner; picture points of even coordinates fall on whole
    // client pixels at both.
    void Place(double zoom) {
        CViewOrig2D& v = Orig2D();
        v.map.zoom = zoom;
        v.map.offsetX = zoom == 1 ? 0 : -500;
        v.map.offsetY = zoom == 1 ? 0 : -300;
        for (int l = Marks().photoLines.first(); l != -1; l = Marks().photoLines.nextOf(l))
            Marks().photoLines[l].remove_all();
        Marks().photoLines.remove_all();
        Marks().photoPoints.remove_all();
        v.selection.clear();
        v.lineFinished = true;
        Tool(1, 0);
        Paint(v);
    }
    CPoint At(double x, double y) {
        const vector2<double> c = Orig2D().map.toClient(vector2<double>(x, y));
        return CPoint(int(std::floor(c.x)), int(std::floor(c.y)));
    }
    // p moved by (dx, dy) client pixels.
    CPoint Near(double x, double y, int dx, int dy) {
        const CPoint a = At(x, y);
        return CPoint(a.x + dx, a.y + dy);
    }
    void Tool(int tool, int mode) { driver.Run([&] { Frame().tool = tool, Frame().toolMode = mode; }); }
    int Beeps() { return int(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size()); }
    std::vector<std::string> Boxes() {
        std::vector<std::string> out;
        for (const auto& e : driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox))
            out.push_back(e.text + "/" + e.caption);
        return out;
    }
    Index<featureline2> Line(const char* name, std::vector<vector2<double>> points) {
        Index<featureline2> l = Marks().photoLines.add();
        if (name) Marks().photoLines[l].set_name(name, false);
        for (const vector2<double>& p : points) {
            featureline2& line = Marks().photoLines[l];
            Index<linepoint2> q = line.add();
            line[q].position = p;
            line[q].kind = line.count() == 1 || line.count() == int(points.size()) ? 2 : 1;
        }
        return l;
    }
    Index<featurepoint2> Point(const char* name, vector2<double> p) {
        Index<featurepoint2> k = Marks().photoPoints.add_new(name);
        Marks().photoPoints[k].position = p;
        return k;
    }
    std::vector<vector2<double>> Positions(Index<featureline2> l) {
        std::vector<vector2<double>> out;
        const featureline2& line = Marks().photoLines[l];
        for (int q = line.first(); q != -1; q = line.nextOf(q)) out.push_back(line[q].position);
        return out;
    }
    std::vector<int> Kinds(Index<featureline2> l) {
        std::vector<int> out;
        const featureline2& line = Marks().photoLines[l];
        for (int q = line.first(); q != -1; q = line.nextOf(q)) out.push_back(line[q].kind);
        return out;
    }
};

const double kZooms[] = {1.0, 2.5};

TEST_F(WorkingPhotoTest, PlacingTheRowsPoint) {
    auto& points = OpenPointPage();
    auto& curves = OpenCurvePage();
    for (double zoom : kZooms) {
        SCOPED_TRACE(zoom);
        Place(zoom);
        CViewOrig2D& v = Orig2D();
        points.calls.clear();
        curves.calls.clear();
        Tool(0, 2);
        v.currentRow = 2;  // tip_of_the_nose, weight 2
        driver.Click(Wnd(), At(400, 300));
        Index<featurepoint2> p = Marks().photoPoints.get("tip_of_the_nose");
        ASSERT_NE(p, -1);
        EXPECT_EQ(Marks().photoPoints[p].position, vector2<double>(400, 300));
        EXPECT_EQ(Marks().photoPoints[p].weight, 2.0);
        EXPECT_EQ(Frame().tool, 1);
        EXPECT_EQ(Frame().toolMode, 0);
        EXPECT_EQ(v.currentRow, 0);
        ASSERT_EQ(v.selection.size(), 1u);
        EXPECT_EQ(v.selection[0].kind, 32);
        EXPECT_EQ(points.calls, (std::vector<std::string>{"UpdateControls", "GetNextFeatureIfNeed"}));
        EXPECT_EQ(curves.calls, (std::vector<std::string>{"Redraw", "GetNextFeatureIfNeed"}));

        // Shift: onto a shown line's point 10 pixels away, not 40.
        Line(nullptr, {{460, 300}, {500, 300}});
        Tool(0, 2);
        v.currentRow = 0;
        driver.Click(Wnd(), Near(460, 300, 7, 7), 0, MK_SHIFT);
        p = Marks().photoPoints.get("top_of_the_forehead");
        EXPECT_EQ(Marks().photoPoints[p].position, vector2<double>(460, 300));
        Tool(0, 2);
        v.currentRow = 0;
        const CPoint far = Near(460, 300, 0, 40);
        driver.Click(Wnd(), far, 0, MK_SHIFT);
        EXPECT_EQ(Marks().photoPoints[p].position, v.map.toPicture(far.x, far.y));

        // No row: a beep and nothing placed; outside the picture: a beep.
        Tool(0, 2);
        v.currentRow = -1;
        int beeps = Beeps();
        const int count = Marks().photoPoints.count();
        driver.Click(Wnd(), At(300, 300));
        EXPECT_EQ(Beeps(), beeps + 1);
        EXPECT_EQ(Marks().photoPoints.count(), count);
        v.currentRow = 0;
        const double offsetX = v.map.offsetX;
        v.map.offsetX = 300;
        driver.Click(Wnd(), CPoint(100, 100));
        EXPECT_EQ(Beeps(), beeps + 2);
        EXPECT_EQ(Frame().toolMode, 2);
        v.map.offsetX = offsetX;
    }
}

TEST_F(WorkingPhotoTest, DrawingLines) {
    auto& curves = OpenCurvePage();
    for (double zoom : kZooms) {
        SCOPED_TRACE(zoom);
        Place(zoom);
        CViewOrig2D& v = Orig2D();
        // Five clicks and a right click: a line named after the row.
        Tool(0, 1);
        v.currentRow = 0;  // left_eyebrow
        const std::vector<vector2<double>> at = {{240, 200}, {270, 190}, {300, 186}, {330, 190}, {360, 200}};
        for (const vector2<double>& p : at) {
            driver.Click(Wnd(), At(p.x, p.y));
            EXPECT_FALSE(v.lineFinished);
            EXPECT_TRUE(v.rubberSplineShown);
        }
        EXPECT_FALSE(v.CanChangeTool(true));
        curves.calls.clear();
        driver.Click(Wnd(), At(370, 250), 1);
        ASSERT_EQ(Marks().photoLines.count(), 1);
        const Index<featureline2> l = Marks().photoLines.first();
        EXPECT_STREQ(Marks().photoLines[l].name(), "left_eyebrow");
        EXPECT_EQ(Positions(l), at);
        EXPECT_EQ(Kinds(l), (std::vector<int>{2, 1, 1, 1, 2}));
        EXPECT_TRUE(v.lineFinished);
        EXPECT_EQ(Frame().tool, 1);
        EXPECT_EQ(curves.calls, (std::vector<std::string>{"ClearFlashing", "Redraw", "GetNextFeatureIfNeed"}));

        // Ctrl makes corners.
        Tool(0, 1);
        v.currentRow = 1;
        driver.Click(Wnd(), At(240, 300));
        driver.Click(Wnd(), At(270, 300), 0, MK_CONTROL);
        driver.Click(Wnd(), At(300, 320));
        driver.Click(Wnd(), At(320, 340));
        driver.Click(Wnd(), At(330, 345), 1);
        const Index<featureline2> corners = Marks().photoLines.last();
        EXPECT_EQ(Kinds(corners), (std::vector<int>{2, 2, 1, 2}));

        // Shift on the first point closes the line: both flags, and the
        // rubber ends where it began.
        Tool(0, 1);
        v.currentRow = 2;
        driver.Click(Wnd(), At(400, 200));
        driver.Click(Wnd(), At(440, 200));
        driver.Click(Wnd(), At(420, 240));
        driver.Click(Wnd(), Near(400, 200, 6, -5), 0, MK_SHIFT);
        const Index<featureline2> closed = Marks().photoLines.last();
        const featureline2& c = Marks().photoLines[closed];
        EXPECT_EQ(c.count(), 4);
        EXPECT_EQ(Positions(closed).back(), vector2<double>(400, 200));
        EXPECT_EQ(c.closing, 1);
        EXPECT_EQ(c.closedSpline, 1);
        ASSERT_FALSE(v.rubberPoints.empty());
        const vector2<double> start = v.map.toClient(vector2<double>(400, 200));
        EXPECT_LT(std::hypot(v.rubberPoints.back().x - start.x, v.rubberPoints.back().y - start.y), 1e-9);
        EXPECT_LT(std::hypot(v.rubberPoints.front().x - start.x, v.rubberPoints.front().y - start.y), 1e-9);
        driver.Click(Wnd(), At(450, 300), 1);

        Paint(v);
        viewtest::Save(Grab(v), zoom == 1 ? "working_photo_lines_zoom1" : "working_photo_lines_zoom2.5");

        // Escape drops the line being drawn.
        Tool(0, 1);
        const int lines = Marks().photoLines.count();
        driver.Click(Wnd(), At(240, 340));
        driver.Click(Wnd(), At(270, 340));
        EXPECT_EQ(Marks().photoLines.count(), lines + 1);
        driver.Key(VK_ESCAPE);
        EXPECT_EQ(Marks().photoLines.count(), lines);
        EXPECT_TRUE(v.lineFinished);
        EXPECT_TRUE(v.selection.empty());
        // A line of one point is not kept.
        Tool(0, 1);
        driver.Click(Wnd(), At(240, 340));
        driver.Click(Wnd(), At(250, 346), 1);
        EXPECT_EQ(Marks().photoLines.count(), lines);
    }
}

TEST_F(WorkingPhotoTest, NamingLines) {
    for (double zoom : kZooms) {
        SCOPED_TRACE(zoom);
        Place(zoom);
        CViewOrig2D& v = Orig2D();
        const Index<featureline2> l = Line(nullptr, {{300, 300}, {340, 300}, {380, 310}});
        Paint(v);
        Tool(0, 3);
        v.currentRow = 1;  // right_eyebrow
        driver.Click(Wnd(), Near(340, 300, 3, 4));
        EXPECT_STREQ(Marks().photoLines[l].name(), "right_eyebrow");
        EXPECT_EQ(Frame().tool, 1);
        EXPECT_EQ(v.currentRow, 0);
        // Again: the line has its name.
        Tool(0, 3);
        v.currentRow = 0;
        const int beeps = Beeps();
        const size_t boxes = Boxes().size();
        driver.Click(Wnd(), Near(340, 300, 3, 4));
        EXPECT_EQ(Beeps(), beeps + 1);
        ASSERT_EQ(Boxes().size(), boxes + 1);
        EXPECT_EQ(Boxes().back(), "Already selected !/Error");
        EXPECT_STREQ(Marks().photoLines[l].name(), "right_eyebrow");
        // Nothing under the click: a beep, the selection emptied.
        driver.Click(Wnd(), At(480, 200));
        EXPECT_EQ(Beeps(), beeps + 2);
        EXPECT_TRUE(v.selection.empty());
        Tool(1, 0);
    }
}

TEST_F(WorkingPhotoTest, SelectDragDeleteAndInsert) {
    auto& points = OpenPointPage();
    for (double zoom : kZooms) {
        SCOPED_TRACE(zoom);
        Place(zoom);
        CViewOrig2D& v = Orig2D();
        const Index<featurepoint2> f = Point("tip_of_the_nose", {400, 300});
        Paint(v);
        // A drag: drawn inverting while it moves, the view redrawn once at the release.
        const CPoint from = At(400, 300);
        driver.MouseDown(Wnd(), from);
        EXPECT_TRUE(v.itemDrag);
        const long paints = v.paints;
        driver.MouseMove(Wnd(), CPoint(from.x + 20, from.y + 10));
        driver.MouseMove(Wnd(), CPoint(from.x + 40, from.y + 20));
        EXPECT_TRUE(v.xorDrag);
        EXPECT_EQ(v.paints, paints);
        driver.MouseUp(Wnd(), CPoint(from.x + 40, from.y + 20));
        EXPECT_EQ(v.paints, paints + 1);
        EXPECT_FALSE(v.xorDrag);
        EXPECT_EQ(Marks().photoPoints[f].position, v.map.toPicture(from.x + 40, from.y + 20));
        // Delete removes the selected point; the point page hears of it.
        points.calls.clear();
        driver.Key(VK_DELETE);
        EXPECT_EQ(Marks().photoPoints.count(), 0);
        EXPECT_EQ(points.calls, (std::vector<std::string>{"StopFlash", "UpdateControls"}));

        // Ctrl-click deletes an inner point and beeps on the ends.
        const Index<featureline2> l = Line("left_eyebrow", {{300, 200}, {340, 200}, {380, 200}});
        driver.Click(Wnd(), At(340, 200), 0, MK_CONTROL);
        EXPECT_EQ(Positions(l), (std::vector<vector2<double>>{{300, 200}, {380, 200}}));
        const int beeps = Beeps();
        driver.Click(Wnd(), At(380, 200), 0, MK_CONTROL);
        EXPECT_EQ(Beeps(), beeps + 1);
        EXPECT_EQ(Marks().photoLines[l].count(), 2);

        // Shift-click on a selected three-point line near its second
        // interval: the new point goes between the second and the third.
        const Index<featureline2> three = Line("right_eyebrow", {{420, 250}, {460, 250}, {500, 250}});
        v.selection.assign(1, IndexSelector{three, -1, 16});
        driver.Click(Wnd(), At(490, 258), 0, MK_SHIFT);
        EXPECT_EQ(Positions(three), (std::vector<vector2<double>>{{420, 250}, {460, 250}, {490, 258}, {500, 250}}));
        const featureline2& t = Marks().photoLines[three];
        EXPECT_EQ(t[v.selection[0].second].position, vector2<double>(490, 258));
        EXPECT_EQ(t[v.selection[0].second].kind, 1);
    }
}

// The click that activates the view only activates it.
TEST_F(WorkingPhotoTest, TheActivatingClickDoesNothing) {
    ShowFour(400, 300);
    CViewOrig2D& v = Orig2D();
    v.map.zoom = 0.25;
    v.map.offsetX = v.map.offsetY = 0;
    driver.Run([&] { Frame().ActivateView(&Overlay()); });
    Tool(0, 2);
    v.currentRow = 2;
    driver.Click(Wnd(), CPoint(100, 75));
    EXPECT_EQ(Frame().GetActiveView(), &v);
    EXPECT_EQ(Marks().photoPoints.count(), 0);
    EXPECT_EQ(Frame().toolMode, 2);
    driver.Click(Wnd(), CPoint(100, 75));
    EXPECT_EQ(Marks().photoPoints.count(), 1);
}

TEST_F(WorkingPhotoTest, HoveringFlashesThePagesRow) {
    auto& points = OpenPointPage();
    for (double zoom : kZooms) {
        SCOPED_TRACE(zoom);
        Place(zoom);
        CViewOrig2D& v = Orig2D();
        Point("tip_of_the_nose", {400, 300});
        points.calls.clear();
        driver.MouseMove(Wnd(), Near(400, 300, 5, 0));
        EXPECT_EQ(points.calls, (std::vector<std::string>{"StopFlash", "StartFlash"}));
        EXPECT_EQ(v.currentRow, 2);
        driver.MouseMove(Wnd(), Near(400, 300, 6, 1));
        EXPECT_EQ(points.calls.size(), 2u);
        driver.MouseMove(Wnd(), Near(400, 300, 100, 0));
        EXPECT_EQ(points.calls.back(), "StopFlash");
        EXPECT_TRUE(v.selection.empty());
    }
    // The curve page at stage 2000 flashes a line once another was hovered.
    points.DestroyWindow();
    auto& curves = OpenCurvePage();
    Place(1);
    Doc().stage = 2000;
    Line("left_eyebrow", {{260, 200}, {300, 200}});
    Line("right_eyebrow", {{440, 200}, {480, 200}});
    curves.calls.clear();
    driver.MouseMove(Wnd(), At(260, 202));
    EXPECT_TRUE(curves.calls.empty());
    driver.MouseMove(Wnd(), At(480, 202));
    EXPECT_EQ(curves.calls, (std::vector<std::string>{"StopFlash", "StartFlash"}));
    EXPECT_EQ(Orig2D().currentRow, 1);
}

// Which item a pick takes: the nearest within 30 window pixels; of equal
// distances the later one, and points (searched after lines) over line
// points.
TEST_F(WorkingPhotoTest, PickTies) {
    struct Case {
        const char* name;
        std::vector<vector2<double>> points;  // feature points, in list order
        std::vector<std::vector<vector2<double>>> lines;
        vector2<double> click;
        int kind;   // 0: nothing
        int index;  // position in its list
    };
    const Case cases[] = {
        {"two points at one distance: the later", {{100, 100}, {120, 100}}, {}, {110, 100}, 32, 1},
        {"a point and a line point at one distance: the point", {{100, 100}}, {{{120, 100}, {200, 100}}}, {110, 100}, 32, 0},
        {"two lines at one distance: the later", {}, {{{100, 100}, {100, 200}}, {{120, 100}, {120, 200}}}, {110, 100}, 16, 1},
        {"a nearer line point over a point", {{100, 100}}, {{{113, 100}, {200, 100}}}, {110, 100}, 16, 0},
        {"exactly 30 away", {{100, 100}}, {}, {130, 100}, 32, 0},
        {"31 away: nothing", {{100, 100}}, {}, {131, 100}, 0, 0},
    };
    for (double zoom : kZooms) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " at zoom " << zoom);
            Place(zoom);
            CViewOrig2D& v = Orig2D();
            // Distances are window pixels: the layout scales with the zoom.
            auto scaled = [&](vector2<double> p) { return vector2<double>(100 + (p.x - 100) / zoom, 100 + (p.y - 100) / zoom); };
            std::vector<int> points, lines;
            for (const vector2<double>& p : c.points) points.push_back(Point("p", scaled(p)));
            for (const auto& l : c.lines) {
                std::vector<vector2<double>> at;
                for (const vector2<double>& p : l) at.push_back(scaled(p));
                lines.push_back(Line("left_eyebrow", at));
            }
            const vector2<double> click = v.map.toClient(scaled(c.click));
            CPoint pt(int(std::lround(click.x)), int(std::lround(click.y)));
            const bool hit = v.SelectItem(pt, 48, false);
            ASSERT_EQ(hit, c.kind != 0);
            if (!hit) continue;
            ASSERT_EQ(v.selection.size(), 1u);
            EXPECT_EQ(v.selection[0].kind, c.kind);
            EXPECT_EQ(v.selection[0].index, c.kind == 32 ? points[c.index] : lines[c.index]);
        }
    }
}

TEST_F(WorkingPhotoTest, RubberLineDrawnTwiceLeavesTheSurfaceAsItWas) {
    for (double zoom : kZooms) {
        SCOPED_TRACE(zoom);
        Place(zoom);
        CViewOrig2D& v = Orig2D();
        const Index<featureline2> l = Line("left_eyebrow", {{260, 300}, {300, 280}, {340, 290}, {380, 330}});
        Paint(v);
        v.selection.assign(1, IndexSelector{l, -1, 16});
        CPoint cursor = At(430, 340);
        v.SetNewRubberForSpline(false, &cursor);
        ASSERT_GT(v.rubberPoints.size(), 20u);
        const Picture before = Grab(v);
        driver.Run([&] { v.DrawRubberSpline(); });
        const Picture shown = Grab(v);
        EXPECT_NE(shown.pixels, before.pixels);
        driver.Run([&] { v.DrawRubberSpline(); });
        EXPECT_EQ(Grab(v).pixels, before.pixels);
    }
}

}  // namespace
