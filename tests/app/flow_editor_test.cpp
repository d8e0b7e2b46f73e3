// The picture-editor flow: the clipboard's picture, the point page with
// its sliders, straight to the model step, and the end of the program.

#include <gtest/gtest.h>

#include "flow_fixture.h"
#include "tests/support/fresh_process.h"


class FlowEditorTest : public FlowTest {
protected:
    // The program in the picture-editor mode over a clipboard picture,
    // after its start timer: the point page open.
    bool StartEditor() {
        fresh::PutPictureOnClipboard(600, 800);
        if (!Start({})) return false;
        driver.Pump();
        ShowAlone(Orig2D(), 1600, 900);
        progress = RecordProgress();
        driver.AdvanceClock(400);
        driver.Pump();
        return Page(IDD_FEATURES2PS) != nullptr;
    }
    // The main points clicked where a face would have them.
    void ClickMainPoints() {
        const double w = Doc().kernel2D->photo.GetWidth(), h = Doc().kernel2D->photo.GetHeight();
        const std::map<std::string, vector2<double>> at{
            {"left_corner_of_the_left_eye", {0.35 * w, 0.40 * h}},
            {"right_corner_of_the_right_eye", {0.65 * w, 0.40 * h}},
            {"_contour_270", {0.50 * w, 0.85 * h}},
        };
        PlaceAskedPoints(at);
    }
    RecordingProgress* progress = nullptr;
};

TEST_F(FlowEditorTest, SlidersToTheModelPageAndTheEnd) {
    ASSERT_TRUE(StartEditor());
    EXPECT_EQ(Doc().stage, 1000);
    auto noMenu = [&] { return !Frame().GetMenu() || Frame().GetMenu()->GetMenuItemCount() == 0; };
    EXPECT_TRUE(noMenu());
    HWND page = Page(IDD_FEATURES2PS);
    ClickMainPoints();
    EXPECT_EQ(Frame().tool, 1);
    driver.DragSlider(Control(page, 1087), 4);
    driver.DragSlider(Control(page, 1102), 2);
    ClickId(page, 1141);
    driver.Pump();
    EXPECT_EQ(Doc().templateId, 122);
    EXPECT_EQ(Doc().ageSlider, 4);
    EXPECT_EQ(Doc().weightSlider, 2);
    EXPECT_EQ(Doc().stage, 2500);
    EXPECT_NE(Page(IDD_MODELPS), nullptr);
    EXPECT_TRUE(noMenu());
    // The captions and ranges of the steps; the texture's range is 17 here.
    std::vector<std::pair<std::string, int>> want{
        {"Searching perspective", 10}, {"Changing geometry", 15}, {"Applying texture", 17}};
    EXPECT_EQ(progress->opened, want);
    EXPECT_EQ(Page(IDD_PROGRESS), nullptr);
    EXPECT_FALSE(driver.Backend().WaitCursorShown());
    driver.Run([&] { Frame().NextFunction(0); });
    driver.Pump();
    ASSERT_TRUE(driver.Exited());
    EXPECT_EQ(*driver.ExitCode(), 0);
}

TEST_F(FlowEditorTest, BackOnThePointPageEndsTheProgram) {
    ASSERT_TRUE(StartEditor());
    ClickId(Page(IDD_FEATURES2PS), 1107);
    driver.Pump();
    ASSERT_TRUE(driver.Exited());
    EXPECT_EQ(*driver.ExitCode(), 0);
}
