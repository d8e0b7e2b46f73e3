// The feature-point page over the real views: which point it asks and how,
// the points it places itself, its flashing marker, its buttons and its
// four layouts.

#include <gtest/gtest.h>

#include "model/octree.h"
#include "model/topology.h"
#include "tests/app/flow_fixture.h"

namespace {

struct Row {
    std::string code, name;
    int kind = 0, px = 0, py = 0;
    double weight = 0;
};

std::vector<Row> table() {
    std::vector<Row> rows;
    CString code, name;
    int kind = 0, px = 0, py = 0;
    double weight = 0;
    for (int n = 0; GetFeaturePointInfo(n, &code, nullptr, &weight, &kind, &px, &py, nullptr, nullptr, &name); ++n)
        rows.push_back({std::string(code.View()), std::string(name.View()), kind, px, py, weight});
    return rows;
}

}  // namespace

class PointPageTest : public FlowTest {
protected:
    void SetUp() override {
        FlowTest::SetUp();
        ASSERT_TRUE(StartProgram());
        ShowAlone(Orig2D(), 1600, 900);
    }
    bool Load() {
        const std::string photo = MakePhoto(600, 800);
        return !photo.empty() && LoadPhoto(photo, StartChoices{});
    }
    std::string Hint() { return brv::HeadlessDriver::Inspect(Control(Page(IDD_FEATURES2), 1140)).text; }
    CDlgFeatures2& PointPage() { return *Frame().pointDialog; }
};

TEST_F(PointPageTest, AsksTheMainPointsThenPlacesTheRest) {
    ASSERT_TRUE(Load());
    const auto marks = Marks();
    const std::vector<Row> rows = table();
    std::vector<const Row*> mains;
    for (const Row& r : rows)
        if (r.kind == 3 && GoodInfoCode(0, CString(r.code.c_str()))) mains.push_back(&r);
    ASSERT_EQ(mains.size(), 3u);
    for (const Row* main : mains) {
        ASSERT_EQ(Frame().tool, 0);
        ASSERT_EQ(Frame().toolMode, 2);
        EXPECT_EQ(Frame().lockedView, &Orig2D());
        CString code;
        ASSERT_TRUE(GetFeaturePointInfo(Orig2D().currentRow, &code));
        EXPECT_EQ(std::string(code.View()), main->code);
        EXPECT_EQ(Hint(), main->name + "  - right click to skip");
        driver.Click(Orig2D().m_hWnd, ClientOf(marks.at(main->code)));
    }
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().toolMode, 0);
    EXPECT_EQ(Frame().lockedView, nullptr);
    EXPECT_EQ(Hint(), "");
    // Every other row of the group: barycentric in the preview triangle of
    // the main points, applied to where they were placed.
    head2& m = *Doc().kernel2D->head;
    vector2<double> at[3], pre[3];
    for (int i = 0; i < 3; ++i) {
        at[i] = m.photoPoints[m.photoPoints.get(mains[size_t(i)]->code.c_str())].position;
        pre[i] = vector2<double>(mains[size_t(i)]->px, mains[size_t(i)]->py);
    }
    int placed = 0;
    for (const Row& r : rows) {
        if (r.kind == 3 || !GoodInfoCode(0, CString(r.code.c_str()))) continue;
        // Solved by Cramer's rule on the two edge vectors.
        const vector2<double> e1 = pre[1] - pre[0], e2 = pre[2] - pre[0], p = vector2<double>(r.px, r.py) - pre[0];
        const double det = e1.x * e2.y - e1.y * e2.x;
        const double u = (p.x * e2.y - p.y * e2.x) / det, v = (e1.x * p.y - e1.y * p.x) / det;
        const vector2<double> want = at[0] + (at[1] - at[0]) * u + (at[2] - at[0]) * v;
        const Index<featurepoint2> q = m.photoPoints.get(r.code.c_str());
        ASSERT_NE(q, -1) << r.code;
        EXPECT_NEAR(m.photoPoints[q].position.x, want.x, 1e-6) << r.code;
        EXPECT_NEAR(m.photoPoints[q].position.y, want.y, 1e-6) << r.code;
        EXPECT_EQ(m.photoPoints[q].weight, r.weight) << r.code;
        ++placed;
    }
    EXPECT_GT(placed, 20);
    EXPECT_EQ(m.photoPoints.count(), placed + 3);
}

TEST_F(PointPageTest, MarkerFlashesAndButtonsKeepOrClearThePoints) {
    ASSERT_TRUE(Load());
    CDlgFeatures2& page = PointPage();
    EXPECT_TRUE(page.flashing);
    EXPECT_EQ(page.markerRadius, 2);
    std::vector<int> radii;
    for (int k = 0; k < 4; ++k) {
        driver.AdvanceClock(400);
        driver.Pump();
        radii.push_back(page.markerRadius);
    }
    EXPECT_EQ(radii, (std::vector<int>{8, 2, 8, 2}));
    // A right click skips the asked point.
    const int first = Orig2D().currentRow;
    driver.Click(Orig2D().m_hWnd, CPoint(800, 450), 1);
    EXPECT_EQ(Orig2D().currentRow, first);  // asked again: it is still missing
    const auto marks = Marks();
    CString code;
    GetFeaturePointInfo(Orig2D().currentRow, &code);
    driver.Click(Orig2D().m_hWnd, ClientOf(marks.at(std::string(code.View()))));
    head2& m = *Doc().kernel2D->head;
    EXPECT_EQ(m.photoPoints.count(), 1);
    HWND d = Page(IDD_FEATURES2);
    ClickId(d, 1111);  // Undo: nothing changes
    EXPECT_EQ(m.photoPoints.count(), 1);
    EXPECT_NE(Orig2D().currentRow, first);
    ClickId(d, 1110);  // Clear All, no question
    EXPECT_EQ(m.photoPoints.count(), 0);
    EXPECT_EQ(Orig2D().currentRow, first);
    EXPECT_TRUE(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox).empty());
}

TEST_F(PointPageTest, NextChecksTheWeightsAndBackGoesToTheStartPage) {
    ASSERT_TRUE(Load());
    HWND d = Page(IDD_FEATURES2);
    ClickId(d, 1141);
    auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Too few points on the photo.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_NE(Page(IDD_FEATURES2), nullptr);
    EXPECT_EQ(Frame().toolMode, 2);
    // Back: the start page again on the photo; its Escape leaves it there.
    driver.OnNextModal([this](HWND start) {
        EXPECT_EQ(start, Page(IDD_CROP));
        driver.Key(VK_ESCAPE);
    });
    ClickId(d, 1107);
    driver.Pump();
    EXPECT_EQ(Page(IDD_FEATURES2), nullptr);
    EXPECT_EQ(Page(IDD_CROP), nullptr);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().toolMode, 0);
}

TEST_F(PointPageTest, TheLayoutFollowsTheMode) {
    ASSERT_TRUE(Load());
    struct Case {
        int templateId, refining, editor;
        UINT layout;
    };
    const std::vector<Case> cases{{101, 0, 0, IDD_FEATURES2}, {100, 0, 0, IDD_FEATURES4}, {101, 1, 0, IDD_FEATURES2B},
                                  {101, 0, 1, IDD_FEATURES2PS}};
    for (const Case& c : cases) {
        driver.Run([&] { Frame().HideModelessDialogs(); });
        Doc().templateId = c.templateId;
        Frame().refining = c.refining;
        App().pictureEditorMode = c.editor;
        driver.Run([&] { Frame().FeatureToolPhoto(); });
        EXPECT_NE(Page(int(c.layout)), nullptr) << c.layout;
        if (c.editor) {
            HWND d = Page(int(c.layout));
            for (auto [id, pos] : {std::pair{1087, 0}, std::pair{1102, 3}}) {
                const auto s = brv::HeadlessDriver::Inspect(Control(d, id));
                EXPECT_EQ(s.min, 0);
                EXPECT_EQ(s.max, 6);
                EXPECT_EQ(s.pos, pos);
            }
        }
    }
    driver.Run([&] { Frame().HideModelessDialogs(); });
    Frame().refining = 0;
    App().pictureEditorMode = 0;
    Doc().templateId = 101;
}

TEST_F(PointPageTest, PictureEditorNextTakesTheSliders) {
    ASSERT_TRUE(Load());
    driver.Run([&] { Frame().HideModelessDialogs(); });
    App().pictureEditorMode = 1;
    driver.Run([&] { Frame().FeatureToolPhoto(); });
    HWND d = Page(IDD_FEATURES2PS);
    ASSERT_NE(d, nullptr);
    const auto marks = Marks();
    PlaceAskedPoints(marks);
    // The scale labels are painted under each slider.
    driver.Run([&] { CWnd::FromHandle(d)->RedrawWindow(); });
    for (int id : {1087, 1102}) {
        CRect r = brv::HeadlessDriver::Inspect(Control(d, id)).rect;
        int ink = 0;
        for (int y = r.bottom; y < r.bottom + 14; ++y)
            for (int x = r.left; x < r.right; ++x) ink += brv::HeadlessDriver::Pixel(d, x, y) == RGB(0, 0, 0);
        EXPECT_GT(ink, 30) << id;
    }
    driver.DragSlider(Control(d, 1087), 4);
    driver.DragSlider(Control(d, 1102), 2);
    ClickId(d, 1096);
    ClickId(d, 1141);
    EXPECT_EQ(Doc().ageSlider, 4);
    EXPECT_EQ(Doc().weightSlider, 2);
    EXPECT_EQ(int(Doc().projectFlag), 1);
    EXPECT_EQ(Doc().templateId, 122);
    EXPECT_EQ(App().proMode, 0);
    EXPECT_EQ(Page(IDD_FEATURES2PS), nullptr);
    App().pictureEditorMode = 0;
}

TEST_F(PointPageTest, PreparedHeadAsksEachMainPointOnPhotoThenHead) {
    CFaceDoc& d = Doc();
    driver.Run([&] { d.LoadTHEResource(101, true); });
    head3& head = *d.kernel3D->head;
    head.set_actual();
    std::vector<Row> mains;
    for (const Row& r : table())
        if (r.kind == 3 && GoodInfoCode(0, CString(r.code.c_str()))) mains.push_back(r);
    ASSERT_EQ(mains.size(), 3u);
    // The prepared head: template 101 without its main points (where they
    // were is kept for the clicks on the head).
    std::map<std::string, vector3<double>> onHead;
    for (const Row& r : mains)
        if (Index<featurepoint3> f = head.getFeaturepoint(r.code.c_str(), false); f != -1) {
            onHead[r.code] = head.featurepoints[f].point();
            RemoveFeaturepoint(f);
        }
    ASSERT_EQ(onHead.size(), 3u);
    StartChoices prepared;
    prepared.figure = 1159;
    prepared.pro = false;
    const std::string photo = MakePhoto(600, 800);
    ASSERT_TRUE(LoadPhoto(photo, prepared));
    ASSERT_EQ(d.templateId, 100);
    EXPECT_EQ(App().proMode, 1);
    HWND page = Page(IDD_FEATURES4);
    ASSERT_NE(page, nullptr);
    CDlgFeatures2& p = PointPage();
    EXPECT_FALSE(p.singlePass);
    head3& prep = *d.kernel3D->head;
    prep.set_actual();
    const auto marks = Marks();
    for (const Row& r : mains) {
        // On the photo first.
        ASSERT_EQ(Frame().toolMode, 2) << r.code;
        EXPECT_EQ(View3D().currentRow, -1);
        EXPECT_EQ(brv::HeadlessDriver::Inspect(Control(page, 1140)).text,
                  r.name + " - on left - right click to skip");
        driver.Click(Orig2D().m_hWnd, ClientOf(marks.count(r.code) ? marks.at(r.code) : vector2<double>(300, 380)));
        // Then on the head.
        ASSERT_EQ(Frame().toolMode, 6) << r.code;
        EXPECT_EQ(Frame().ActiveFaceView(), &View3D());
        EXPECT_EQ(Orig2D().currentRow, -1);
        EXPECT_EQ(brv::HeadlessDriver::Inspect(Control(page, 1140)).text,
                  r.name + " - on right - right click to skip");
        // The head view's placing click takes this row.
        CString asked;
        ASSERT_TRUE(GetFeaturePointInfo(View3D().pendingCode, &asked));
        EXPECT_EQ(std::string(asked.View()), r.code);
        // The head view binds the point where it was clicked.
        driver.Run([&] {
            prep.set_actual();
            prep.SetMinMax(false);
            const vector3<double> at = onHead.at(r.code);
            vector3<double> bary;
            const Index<triangle> t = prep.octree().getfirstOnRay(vector3<double>(at.x, at.y, prep.boxMax.z + 100),
                                                                  vector3<double>(0, 0, -1), 1e9, &bary);
            ASSERT_NE(t, -1) << r.code;
            const Index<featurepoint3> f = prep.addFeaturepoint(r.code.c_str(), true);
            prep.featurepoints[f].set_extrapoint(t, bary, roughConversion);
            prep.featurepoints[f].weight = r.weight;
            add_featurepoint(f);
            p.GetNextFeatureIfNeed();
        });
    }
    EXPECT_EQ(Frame().tool, 1);
    // Every other point of the group is now bound on the head too.
    int bound = 0;
    for (const Row& r : table()) {
        if (r.kind == 3 || !GoodInfoCode(0, CString(r.code.c_str()))) continue;
        const Index<featurepoint3> f = prep.getFeaturepoint(r.code.c_str(), false);
        ASSERT_NE(f, -1) << r.code;
        EXPECT_TRUE(prep.featurepoints[f].isRubber() || prep.featurepoints[f].isFixed()) << r.code;
        ++bound;
    }
    EXPECT_GT(bound, 20);
    // Step 2 keeps the points placed on the prepared head.
    ClickId(page, 1141);
    driver.Pump();
    EXPECT_EQ(d.stage, 2000);
    head3& after = *d.kernel3D->head;
    after.set_actual();
    for (const Row& r : mains) {
        const Index<featurepoint3> f = after.getFeaturepoint(r.code.c_str(), false);
        ASSERT_NE(f, -1) << r.code;
        EXPECT_TRUE(after.featurepoints[f].isRubber()) << r.code;
    }
}

TEST_F(PointPageTest, ImportedHeadPlacesOnTheHeadOnly) {
    CFaceDoc& d = Doc();
    d.templateId = 122;
    driver.Run([&] { d.LoadTHEResource(122, true); });
    head3& head = *d.kernel3D->head;
    head.set_actual();
    // The head as an OBJ gives it: no named points.
    std::vector<Index<featurepoint3>> all;
    for (int k = head.featurepoints.first(); k != -1; k = head.featurepoints.nextOf(k)) all.push_back(k);
    for (Index<featurepoint3> f : all) RemoveFeaturepoint(f);
    App().objHeadImported = 1;
    d.stage = 1000;
    driver.Run([&] { Frame().OnProperties(); });
    HWND page = Page(IDD_FEATURES2);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(brv::HeadlessDriver::Inspect(Control(page, 1141)).text, "OK");
    EXPECT_EQ(brv::HeadlessDriver::Inspect(Control(page, 1110)).text, "Again");
    for (int id : {380, 388, 1107, 1111, 1109, 1096})
        EXPECT_FALSE(brv::HeadlessDriver::Inspect(Control(page, id)).visible) << id;
    // The three main points start on the surface, not yet placed by the user.
    std::vector<std::string> mains;
    {
        svc::app().state().headImport = 1;
        CString code;
        int kind = 0;
        for (int n = 0; GetFeaturePointInfo(n, &code, nullptr, nullptr, &kind); ++n)
            if (kind != 0) mains.push_back(std::string(code.View()));
        svc::app().state().headImport = 0;
    }
    ASSERT_EQ(mains.size(), 3u);
    for (const std::string& m : mains) {
        const Index<featurepoint3> f = head.getFeaturepoint(m.c_str(), false);
        ASSERT_NE(f, -1) << m;
        EXPECT_TRUE(head.featurepoints[f].isRubber()) << m;
        EXPECT_EQ(head.featurepoints[f].used, -1) << m;
    }
    EXPECT_EQ(Frame().toolMode, 6);
    EXPECT_EQ(Frame().tool, 0);
    // Too few placed: the page says so and stays.
    ClickId(page, 1141);
    auto boxes = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Not enough point");
    EXPECT_NE(Page(IDD_FEATURES2), nullptr);
    // The 3D view's next placing click takes the point the page asks for,
    // one main point after the other in table order, read from the head
    // table as the import leaves it (the clicks themselves: the e2e flow).
    svc::app().state().headImport = 1;
    auto* v3 = d.GetViewEdit3D<CViewEdit3D>();
    ASSERT_NE(v3, nullptr);
    for (const std::string& m : mains) {
        SCOPED_TRACE(m);
        CString asked;
        ASSERT_TRUE(GetFeaturePointInfo(v3->pendingCode, &asked));
        EXPECT_EQ(std::string(asked.View()), m);
        EXPECT_EQ(Frame().toolMode, 6);
        driver.Run([&] {
            head.featurepoints[head.getFeaturepoint(m.c_str(), false)].used = 1;
            Frame().pointDialog->GetNextFeatureIfNeed();
        });
    }
    svc::app().state().headImport = 0;
    // The user confirms the three on the head: the rest follow.
    driver.Run([&] {
        for (const std::string& m : mains) head.featurepoints[head.getFeaturepoint(m.c_str(), false)].used = 1;
        Frame().pointDialog->GetNextFeatureIfNeed();
    });
    int placed = 0;
    for (int k = head.featurepoints.first(); k != -1; k = head.featurepoints.nextOf(k))
        placed += head.featurepoints[k].used == 1;
    EXPECT_GT(placed, 10);
    ClickId(page, 1141);
    driver.Pump();
    EXPECT_EQ(d.stage, 2500);
    EXPECT_EQ(Page(IDD_FEATURES2), nullptr);
    EXPECT_NE(Page(IDD_AGE), nullptr);
    App().objHeadImported = 0;
}

TEST_F(PointPageTest, RefreshActivePointRedrawsThePage) {
    ASSERT_TRUE(Load());
    CDlgFeatures2& page = PointPage();
    driver.Pump();
    CRect r;
    ASSERT_FALSE(page.GetUpdateRect(&r));
    page.RefreshActivePoint();
    CRect client;
    page.GetClientRect(&client);
    EXPECT_TRUE(page.GetUpdateRect(&r));
    EXPECT_EQ(r, client);
    driver.Pump();
    EXPECT_FALSE(page.GetUpdateRect(&r));
}
