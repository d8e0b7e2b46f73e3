// A short session under the sanitizers: start, layouts and tools from the
// menu and the keys, the close question, and the end.

#include <gtest/gtest.h>

#include "document/ids.h"
#include "shell_fixture.h"

class SessionTest : public ShellTest {};

TEST_F(SessionTest, StartCommandsAndExit) {
    ASSERT_TRUE(Start({"--full"}));
    CancelStartDialogs();
    driver.Pump();  // the first tick
    HWND frame = FrameWnd();
    EXPECT_EQ(Frame().layout, 1);
    Doc().stage = 1000;
    struct Pick {
        UINT command;
        bool enabled;
    } picks[] = {{ID_VIEWS2, true},  {ID_VIEWS1, true},  {ID_ZOOM, true},   {ID_MOVE, true},
                 {ID_RECT_ZOOM, true}, {ID_SPLINE, true}, {ID_SELECT, true}, {ID_FIT_ZOOM, true},
                 {ID_MEDAL_MODE, false}};
    for (const Pick& p : picks) EXPECT_EQ(driver.ChooseMenu(frame, p.command), p.enabled) << p.command;
    EXPECT_EQ(Frame().tool, 1);
    EXPECT_EQ(Frame().layout, 1);
    EXPECT_EQ(driver.MenuState(frame, ID_VIEWS1) & MF_CHECKED, UINT(MF_CHECKED));
    driver.ChooseMenu(frame, ID_VIEWS2);
    EXPECT_EQ(driver.MenuState(frame, ID_VIEWS2) & MF_CHECKED, UINT(MF_CHECKED));
    // F6 goes to the next pane that shows.
    CFaceView* active = Frame().ActiveFaceView();
    driver.Key(VK_F1 + 5);
    EXPECT_NE(Frame().ActiveFaceView(), active);
    // Step 1 opens the point page.
    EXPECT_TRUE(driver.ChooseMenu(frame, ID_PHOTO_MODE));
    EXPECT_NE(brv::HeadlessDriver::FindDialog(IDD_FEATURES2), nullptr);
    // The close question: No keeps the program, Yes ends it.
    driver.AnswerNextMessageBox(IDNO);
    driver.CloseBox(frame);
    EXPECT_TRUE(::IsWindow(frame));
    driver.AnswerNextMessageBox(IDYES);
    driver.CloseBox(frame);
    EXPECT_FALSE(::IsWindow(frame));
    EXPECT_EQ(App().m_pMainWnd, nullptr);
    EXPECT_EQ(App().ExitInstance(), 0);
    EXPECT_EQ(App().progressDialog, nullptr);
}
