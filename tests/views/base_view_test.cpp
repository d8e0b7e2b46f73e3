// What every view shares, in the program's frame: reset and angles, the
// corner markers, the locked view and the activation, the next pane, the
// tool-change rule, which feature points the working photo shows, the
// project-file sections and the off-screen photo.

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/ids.h"
#include "model/featuretables.h"
#include "tests/views/view_host.h"

namespace {

using viewtest::Picture;

class BaseViewTest : public ViewsTest {
protected:
    void SetUp() override {
        ViewsTest::SetUp();
        ASSERT_TRUE(StartProgram());
    }
    void TearDown() override {
        resetFeatureTables();
        ViewsTest::TearDown();
    }
    int Beeps() { return int(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size()); }
    void Command(UINT id) { driver.Run([&] { Frame().SendMessage(WM_COMMAND, id, 0); }); }
};

TEST_F(BaseViewTest, ResetValuesAndTheEyeOfTheAngles) {
    for (CFaceView* v : AllViews()) {
        SCOPED_TRACE(v->viewName.GetString());
        v->map.zoom = 3;
        v->currentRow = 7;
        v->lineFinished = false;
        v->selection.assign(1, IndexSelector{1, 2, 32});
        v->ClearAllViewSettings();
        const views::ViewSection s = v->Section();
        EXPECT_EQ(s.eye, vector3<double>(0, 0, 200));
        EXPECT_EQ(s.center, vector3<double>(0, 0, 0));
        EXPECT_EQ(s.up, vector3<double>(0, 1, 0));
        EXPECT_EQ(s.fieldOfView, 50.0);
        EXPECT_EQ(s.zoom, 1.0);
        EXPECT_EQ(s.offsetX, 0.0);
        for (int32_t r : s.reserved) EXPECT_EQ(r, 0);
        EXPECT_EQ(v->currentRow, 0);
        EXPECT_TRUE(v->lineFinished);
        EXPECT_TRUE(v->selection.empty());
    }
    // A quarter turn of yaw puts the 3D view's eye on the x axis, 200 away
    // (the rotation turns against the right-hand rule: at -200).
    CViewEdit3D& v = View3D();
    v.core().yaw = M_PI / 2;
    v.CalculateEyeFromAngles();
    const vector3<double> eye = v.core().core().eye();
    EXPECT_NEAR(eye.x, -200, 1e-9);
    EXPECT_NEAR(eye.y, 0, 1e-9);
    EXPECT_NEAR(eye.z, 0, 1e-9);
    EXPECT_LT(dist(v.core().core().up(), vector3<double>(0, 1, 0)), 1e-12);
}

// The four corner icons of the active pane; off paints their shapes in the
// DC's background colour.
TEST_F(BaseViewTest, CornerMarkers) {
    CViewOrig2D& v = Orig2D();
    ShowAlone(v, 400, 300);
    v.active = false;
    Paint(v);
    const Picture plain = Grab(v);
    driver.Run([&] { v.ShowMarkers(true); });
    const Picture on = Grab(v);
    driver.Run([&] { v.ShowMarkers(false); });
    const Picture off = Grab(v);
    // Each icon as the DC draws it on its own.
    struct Corner {
        int icon, x, y;
    };
    for (Corner c : {Corner{138, 0, 0}, Corner{136, 368, 0}, Corner{139, 0, 268}, Corner{137, 368, 268}}) {
        SCOPED_TRACE(c.icon);
        brv::Surface alone(32, 32, 0x123456);
        CDC dc;
        dc.AttachSurface(&alone);
        dc.DrawIcon(0, 0, ::LoadIcon(AfxGetInstanceHandle(), MAKEINTRESOURCE(c.icon)));
        dc.DetachSurface();
        int shape = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool inShape = alone.Pixel(x, y) != 0x123456;
                const uint32_t was = plain.at(c.x + x, c.y + y);
                EXPECT_EQ(on.at(c.x + x, c.y + y), inShape ? alone.Pixel(x, y) : was);
                EXPECT_EQ(off.at(c.x + x, c.y + y), inShape ? 0xFFFFFFu : was);
                shape += inShape;
            }
        EXPECT_GT(shape, 20);
    }
    // Nothing else changes.
    for (int y = 40; y < 260; y += 7)
        for (int x = 40; x < 360; x += 7) ASSERT_EQ(on.at(x, y), plain.at(x, y));
}

// A click beside the locked view beeps and does nothing else; the next-pane
// command passes over empty panes, not in the one-pane layout and not from
// the locked view.
TEST_F(BaseViewTest, LockedViewAndNextPane) {
    SetPhoto(viewtest::CodedPicture(1024, 768));
    ShowFour(300, 200);
    driver.Run([&] { Frame().ActivateView(&Overlay()); });
    Frame().lockedView = &Overlay();
    driver.Run([&] { Frame().tool = 0, Frame().toolMode = 2; });
    Orig2D().currentRow = 2;
    Orig2D().map.zoom = 0.25;
    int beeps = Beeps();
    driver.Click(Orig2D().m_hWnd, CPoint(100, 75));
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_EQ(Frame().GetActiveView(), &Overlay());
    EXPECT_EQ(Doc().kernel2D->head->photoPoints.count(), 0);
    // From the locked view the next pane is refused.
    Command(ID_NEXT_PANE);
    EXPECT_EQ(Frame().GetActiveView(), &Overlay());
    EXPECT_EQ(Beeps(), beeps + 2);
    Frame().lockedView = nullptr;
    driver.Run([&] { Frame().tool = 1, Frame().toolMode = 0; });

    // Row 0 empty: from (1, 1) the next pane is (1, 0), then (1, 1) again.
    driver.Run([&] {
        CRect c;
        Frame().m_wndSplitter.GetClientRect(&c);
        Frame().m_wndSplitter.SetRowInfo(0, 0, 10);
        Frame().m_wndSplitter.SetRowInfo(1, c.Height() - 11, 10);
        Frame().m_wndSplitter.RecalcLayout();
    });
    Command(ID_NEXT_PANE);
    EXPECT_EQ(Frame().GetActiveView(), &Orig2D());
    Command(ID_NEXT_PANE);
    EXPECT_EQ(Frame().GetActiveView(), &Overlay());
    Command(ID_PREV_PANE);
    EXPECT_EQ(Frame().GetActiveView(), &Orig2D());
    // Every pane empty (a minimised frame): the command ends, the view stays.
    driver.Run([&] { Frame().m_wndSplitter.MoveWindow(0, 0, 6, 6); });
    for (CFaceView* v : AllViews()) ASSERT_TRUE(ClientOf(*v).cx == 0 || ClientOf(*v).cy == 0);
    BOOL moved = TRUE;
    driver.Run([&] { moved = Orig2D().OnNextPaneCmd(ID_NEXT_PANE); });
    EXPECT_FALSE(moved);
    EXPECT_EQ(Frame().GetActiveView(), &Orig2D());
    // The one-pane layout has no next pane.
    ShowAlone(Orig2D(), 300, 200);
    driver.Run([&] { moved = Orig2D().OnNextPaneCmd(ID_NEXT_PANE); });
    EXPECT_FALSE(moved);
    EXPECT_EQ(Frame().GetActiveView(), &Orig2D());
}

TEST_F(BaseViewTest, ToolChangeRule) {
    auto& points = OpenPointPage();
    auto& curves = OpenCurvePage();
    CViewOrig2D& v = Orig2D();
    // While a line is drawn: a beep and no.
    v.lineFinished = false;
    int beeps = Beeps();
    EXPECT_FALSE(v.CanChangeTool(true));
    EXPECT_EQ(Beeps(), beeps + 1);
    EXPECT_TRUE(points.calls.empty());
    // The frame's Select asks the views first.
    driver.Run([&] { Frame().tool = 0, Frame().toolMode = 1; });
    Command(ID_SELECT);
    EXPECT_EQ(Frame().tool, 0);
    v.lineFinished = true;
    // An empty selection: the pages refresh, nothing else.
    v.currentRow = 3;
    EXPECT_TRUE(v.CanChangeTool(true));
    EXPECT_EQ(v.currentRow, 0);
    EXPECT_EQ(points.calls, (std::vector<std::string>{"RefreshLists"}));
    EXPECT_EQ(curves.calls, (std::vector<std::string>{"RefreshLists", "RestartSearch"}));
    // A selection is dropped when asked.
    v.selection.assign(1, IndexSelector{0, -1, 32});
    v.rubberSplineShown = true;
    EXPECT_TRUE(v.CanChangeTool(false));
    EXPECT_EQ(v.selection.size(), 1u);
    EXPECT_TRUE(v.CanChangeTool(true));
    EXPECT_TRUE(v.selection.empty());
    EXPECT_FALSE(v.rubberSplineShown);
}

// Which of the photo's feature points the working-photo view draws: the
// table's rows up to the point's own decide, rows of other feature groups
// passed over.
TEST_F(BaseViewTest, WhichFeaturePointsAreShown) {
    installFeatureTable(kTablePoints,
                        "#code, mirror, weight, kind, ...\n"
                        "#\n"
                        "a,\ta,\t1.0,\t1,\t0,\t0,\t0,\t0,\ta,\ta,\n"
                        "b,\tb,\t1.0,\t2,\t0,\t0,\t0,\t0,\tb,\tb,\n"
                        "z,\tz,\t1.0,\t0,\t0,\t0,\t0,\t0,\tz,\tz,\n"
                        "c,\tc,\t1.0,\t1,\t0,\t0,\t0,\t0,\tc,\tc,\n"
                        "a_@A,\ta_@A,\t1.0,\t1,\t0,\t0,\t0,\t0,\ta,\ta,\n"
                        "d_@A,\td_@A,\t1.0,\t3,\t0,\t0,\t0,\t0,\td,\td,\n");
    SetPhoto(viewtest::CodedPicture(1024, 768));
    CViewOrig2D& v = Orig2D();
    ShowAlone(v, 800, 600);
    v.map.zoom = 1;
    v.map.offsetX = v.map.offsetY = 0;
    head2& marks = *Doc().kernel2D->head;
    const char* names[] = {"a", "b", "z", "c", "a_@A", "d_@A", "q"};
    for (int i = 0; i < 7; ++i) {
        Index<featurepoint2> p = marks.photoPoints.add_new(names[i]);
        marks.photoPoints[p].position = vector2<double>(100 + 80 * i, 300);
    }
    struct Case {
        int photoNumber;
        bool mainPoints;
        const char* shown;  // one letter a point: 1 drawn, 0 not
    };
    // Order: a b z c a_@A d_@A q
    const Case cases[] = {
        {0, false, "1011001"},  // kinds above 1 (b) not among the plain points; other groups never
        {0, true, "1100000"},   // main points: none from a row of kind 0 (z) on
        {1, false, "0000100"},  // the refinement photo's own group only
        {1, true, "0000110"},
        {-1, true, "0000110"},  // the crop page's negative number counts as its absolute value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.photoNumber << " " << c.mainPoints);
        Doc().photoNumber = c.photoNumber;
        v.featureDisplay = false;
        v.featurePlacing = false;
        Paint(v);
        driver.Run([&] { v.DrawFeaturePoints(c.mainPoints); });
        const Picture p = Grab(v);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(p.at(100 + 80 * i, 300) == 0x00FF00u, c.shown[i] == '1') << names[i];
    }
    Doc().photoNumber = 0;
}

// The sections through the views: the GL views' round trip (the 3D view
// back at 50 degrees), a damaged section failing the stream with the view
// unchanged, and the photo views' zoom within its range.
TEST_F(BaseViewTest, SectionsThroughTheViews) {
    ASSERT_TRUE(TemplateScene());
    ShowFour(400, 300);
    const std::string path = viewtest::Scratch("sections.txt");
    CViewEdit3D& v3 = View3D();
    CViewEdit2D3D& ov = Overlay();
    CViewOrigPhoto& op = OrigPhoto();
    v3.core().yaw = 0.3;
    v3.CalculateEyeFromAngles();
    driver.Run([&] {
        v3.Zoom(ClientRect{100, 50, 200, 125});
        ov.FitToPhoto(1024, 768, 12, -7);
    });
    op.map = views::PhotoMap{0.625, 17.25, -3.5};
    const views::ViewSection s3 = v3.Section(), sp = op.Section();
    auto write = [&](CFaceView& v) {
        {
            fnd::fileTB f;
            EXPECT_TRUE(f.open(path.c_str(), "wt"));
            v.writeOpenGL(f);
            EXPECT_TRUE(f.close());
        }
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    auto read = [&](CFaceView& v, const std::string& text) {
        fnd::fileTB f;
        EXPECT_TRUE(f.open(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
        v.readOpenGL(f);
        return f.good();
    };
    // Written, every view reset, read back: written again the same.
    std::vector<std::string> texts;
    const std::vector<CFaceView*> three = {&v3, &ov, &op};
    for (CFaceView* v : three) texts.push_back(write(*v));
    for (CFaceView* v : AllViews()) v->ClearAllViewSettings();
    for (size_t i = 0; i < three.size(); ++i) {
        SCOPED_TRACE(three[i]->viewName.GetString());
        EXPECT_TRUE(read(*three[i], texts[i]));
        EXPECT_EQ(write(*three[i]), texts[i]);
    }
    EXPECT_EQ(v3.Section().viewport, s3.viewport);
    EXPECT_EQ(v3.core().core().fovy(), 50.0);
    EXPECT_NEAR(ov.core().core().principalX(), 12, 1e-3);
    EXPECT_NEAR(ov.core().core().principalY(), -7, 1e-3);
    EXPECT_EQ(op.map.zoom, 0.625);
    EXPECT_EQ(op.map.offsetX, 17.25);

    // A photo view's zoom of 500 and a GL view's zoom of 0: the stream
    // fails and the view stays as it was.
    struct Bad {
        CFaceView* view;
        views::ViewSection section;
    };
    views::ViewSection photo = sp, gl = s3;
    photo.zoom = 500;
    gl.zoom = 0;
    for (Bad b : {Bad{&op, photo}, Bad{&v3, gl}}) {
        SCOPED_TRACE(b.view->viewName.GetString());
        std::string text;
        {
            fnd::fileTB f;
            ASSERT_TRUE(f.open(path.c_str(), "wt"));
            b.section.write(f);
            ASSERT_TRUE(f.close());
            std::ifstream in(path, std::ios::binary);
            text.assign((std::istreambuf_iterator<char>(in)), {});
        }
        const views::ViewSection before = b.view->Section();
        EXPECT_FALSE(read(*b.view, text));
        EXPECT_EQ(b.view->Section(), before);
    }
    std::remove(path.c_str());
}

// The off-screen photo of a 301 x 200 pane: 304 x 204 pixels, the pane's
// picture on its bottom rows, as ImageMagick decodes the file.
TEST_F(BaseViewTest, OffScreenPhotoOfThePane) {
    ASSERT_TRUE(TemplateScene());
    CViewEdit3D& v = View3D();
    ShowAlone(v, 301, 200);
    driver.Run([&] { v.FitInView(); });
    v.featureDisplay = false;
    v.active = false;
    Paint(v);
    const Picture shown = Grab(v);
    const std::string path = viewtest::Scratch("pane.bmp"), raw = viewtest::Scratch("pane.rgb");
    const long paints = Orig2D().paints;
    bool made = false;
    driver.Run([&] { made = Orig2D().MakePhoto(CString(path.c_str())); });
    ASSERT_TRUE(made);
    ASSERT_EQ(std::system(("/usr/bin/convert " + path + " -depth 8 rgb:" + raw).c_str()), 0);
    std::ifstream rf(raw, std::ios::binary);
    std::vector<unsigned char> rgb((std::istreambuf_iterator<char>(rf)), {});
    ASSERT_EQ(rgb.size(), size_t(304) * 204 * 3);
    long differ = 0;
    for (int y = 4; y < 204; ++y)
        for (int x = 0; x < 301; ++x) {
            const unsigned char* q = &rgb[(size_t(y) * 304 + size_t(x)) * 3];
            differ += ((uint32_t(q[0]) << 16) | (uint32_t(q[1]) << 8) | q[2]) != shown.at(x, y - 4);
        }
    // The off-screen lighting has another shininess, which the lit head
    // (without specular light) does not show.
    EXPECT_EQ(differ, 0);
    std::remove(path.c_str());
    std::remove(raw.c_str());
    // The views were drawn again (the hidden ones as soon as they show).
    EXPECT_GE(v.paints, 1);
    (void)paints;
}

}  // namespace
