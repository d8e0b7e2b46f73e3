// The whole road of one photo through user input: the start page, the
// points, the curves, the camera, the fit and the texture.

#include <gtest/gtest.h>

#include "flow_fixture.h"

TEST_F(FlowTest, PhotoToModelledHeadThroughTheUsersInput) {
    ASSERT_TRUE(StartProgram());
    ShowAlone(Orig2D(), 1600, 900);
    const std::string photo = MakePhoto();
    ASSERT_FALSE(photo.empty());
    RecordingProgress* progress = RecordProgress();
    std::vector<int> stages{Doc().stage};
    StartChoices choices;
    choices.crop = CRect(20, 10, 500, 400);
    ASSERT_TRUE(LoadPhoto(photo, choices));
    stages.push_back(Doc().stage);
    EXPECT_EQ(Doc().templateId, 101);
    EXPECT_EQ(Doc().textureSize, 1024);
    EXPECT_EQ(App().proMode, 1);
    EXPECT_EQ(std::string(Doc().state().name), "anna");

    // Step 1: the page asks the three main points; the rest follow.
    ASSERT_NE(Frame().pointDialog, nullptr);
    HWND points = Page(IDD_FEATURES2);
    ASSERT_NE(points, nullptr);
    const auto marks = Marks();
    EXPECT_EQ(PlaceAskedPoints(marks), 3);
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().toolMode, 0);
    head2& m = *Doc().kernel2D->head;
    EXPECT_GT(m.photoPoints.count(), 20);
    // The user moves the points the page placed onto what the photo shows.
    EXPECT_GT(DragPointsToMarks(marks), 10);
    for (int k = m.photoPoints.first(); k != -1; k = m.photoPoints.nextOf(k)) {
        const vector2<double> d = m.photoPoints[k].position - marks.at(m.photoPoints[k].name());
        EXPECT_LT(std::hypot(d.x, d.y), 2.0) << m.photoPoints[k].name();
    }

    // Step 2: the camera, then the curves the page asks on the photo.
    ClickId(points, 1141);
    driver.Pump();
    stages.push_back(Doc().stage);
    EXPECT_EQ(Frame().pointDialog, nullptr);
    ASSERT_NE(Frame().curveDialog, nullptr);
    HWND curves = Page(IDD_FEATURES3);
    ASSERT_NE(curves, nullptr);
    int drawn = 0;
    for (int guard = 0; guard < 40 && Frame().toolMode == 1 && Frame().ActiveFaceView() == &Orig2D(); ++guard) {
        CString code;
        ASSERT_TRUE(GetFeatureLineInfo(Orig2D().currentRow, &code));
        // Five points along the line the photo shows, then the right click
        // (a line the head lacks is skipped by the right click alone).
        const std::vector<vector2<double>> along = LineMarks(code, 5);
        for (const vector2<double>& p : along) driver.Click(Orig2D().m_hWnd, ClientOf(p));
        driver.Click(Orig2D().m_hWnd, ClientOf(marks.at("_contour_270")), 1);
        if (!along.empty()) {
            EXPECT_NE(m.photoLines.get(code), -1) << code.View();
            ++drawn;
        }
    }
    EXPECT_GT(drawn, 0);
    ClickId(curves, 1141);
    driver.Pump();
    stages.push_back(Doc().stage);
    EXPECT_EQ(stages, (std::vector<int>{0, 1000, 2000, 2500}));
    ASSERT_NE(Doc().kernel3D->head->texture, nullptr);
    EXPECT_EQ(Doc().kernel3D->head->texture->width, 1024);

    // The fitted head's points lie on their marks.
    head3& head = *Doc().kernel3D->head;
    head.set_actual();
    int checked = 0;
    double sum = 0;
    for (int k = m.photoPoints.first(); k != -1; k = m.photoPoints.nextOf(k)) {
        const Index<featurepoint3> f = head.getFeaturepoint(m.photoPoints[k].name(), true);
        if (f == -1) continue;
        vector2<double> at;
        ++generalpoint3::ProjCounter;
        if (!Overlay().Coord3Dto2DBMP(head.featurepoints[f].point(), at)) continue;
        const vector2<double> d = at - m.photoPoints[k].position;
        EXPECT_LT(std::hypot(d.x, d.y), 10.0) << m.photoPoints[k].name();
        sum += std::hypot(d.x, d.y);
        ++checked;
    }
    ASSERT_GT(checked, 10);
    EXPECT_LT(sum / checked, 6.0);
    EXPECT_FALSE(driver.Backend().WaitCursorShown());
    std::vector<std::pair<std::string, int>> want{
        {"Searching perspective", 10}, {"Changing geometry", 15}, {"Applying texture", 27}};
    EXPECT_EQ(progress->opened, want);
}
