// The shared progress window, the notes and the login, over the running
// program's frame.

#include <gtest/gtest.h>

#include "document/ids.h"
#include "dialogs/dlglogin.h"
#include "dialogs/dlgnotes.h"
#include "dialogs/dlgprogress.h"
#include "framework/datetime.h"
#include "framework/window_state.h"
#include "tests/app/shell_fixture.h"

namespace {

// A press and release of the left button at a screen point, as a backend
// would deliver it.
void postClick(CPoint screen) {
    for (auto kind : {brv::RawInput::kButtonDown, brv::RawInput::kButtonUp}) {
        brv::RawInput in;
        in.kind = kind;
        in.screen = screen;
        brv::PostInput(in);
    }
}

CPoint centreOf(HWND window) { return brv::HeadlessDriver::ScreenRect(window).CenterPoint(); }

}  // namespace

class ProgressTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start());
        CancelStartDialogs();
        driver.Pump();  // the frame's first tick, due since the splash's pause
        progress = App().progressDialog;
        ASSERT_NE(progress, nullptr);
    }
    HWND Window() { return brv::HeadlessDriver::FindDialog(IDD_PROGRESS); }
    CDlgProgress* progress = nullptr;
};

TEST_F(ProgressTest, IsTheInstalledProgressAndMakesItsWindowOnlyWhenOpened) {
    EXPECT_EQ(&svc::progress(), static_cast<svc::Progress*>(progress));
    EXPECT_EQ(Window(), nullptr);
    EXPECT_EQ(progress->Step(3), 1);  // no window: the flag, nothing else
    EXPECT_EQ(progress->Close(), 1);
}

TEST_F(ProgressTest, OpenTwiceLeavesOneWindowWithTheSecondCaptionAndRange) {
    driver.Run([&] { EXPECT_NE(progress->Open(0, 10, CString("Searching perspective"), false), 0); });
    driver.Run([&] { EXPECT_NE(svc::progress().Open(5, 40000, "Applying texture", true), 0); });
    int windows = 0;
    for (HWND h : brv::HeadlessDriver::TopLevelWindows())
        if (brv::Record(h) && brv::Record(h)->dialogTemplate == IDD_PROGRESS) ++windows;
    EXPECT_EQ(windows, 1);
    HWND w = Window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1037)).text, "Applying texture");
    brv::ControlInfo bar = brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1015));
    EXPECT_EQ(bar.min, 5);
    EXPECT_EQ(bar.max, 40000);  // kept whole, not as a 16-bit value
    EXPECT_EQ(bar.pos, 5);
    EXPECT_TRUE(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1026)).visible);
    for (int i = 0; i < 3; ++i) driver.Run([&] { progress->Step(i); });
    EXPECT_EQ(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(w, 1015)).pos, 8);
    // Placed 2 pixels right of and below the frame's client corner.
    CPoint corner(0, 0);
    Frame().ClientToScreen(&corner);
    EXPECT_EQ(brv::HeadlessDriver::ScreenRect(w).TopLeft(), CPoint(corner.x + 2, corner.y + 2));
    driver.Run([&] { progress->Close(); });
    EXPECT_EQ(Window(), nullptr);
    EXPECT_TRUE(Frame().IsWindowEnabled());
}

TEST_F(ProgressTest, StopHoldsUntilTheNextOpen) {
    driver.Run([&] { progress->Open(0, 10, CString("Changing geometry"), true); });
    HWND w = Window();
    driver.ClickControl(brv::HeadlessDriver::FindControl(w, 1026));
    int steps[3];
    driver.Run([&] {
        for (int& s : steps) s = progress->Step(1);
    });
    EXPECT_EQ(steps[0], 0);
    EXPECT_EQ(steps[2], 0);
    EXPECT_TRUE(::IsWindow(w));  // the operation decides; the window stays
    driver.Run([&] { progress->Close(); });
    // After Close the bar is gone: Step moves nothing and keeps the flag.
    driver.Run([&] { EXPECT_EQ(progress->Step(1), 0); });
    EXPECT_EQ(Window(), nullptr);
    driver.Run([&] { progress->Open(0, 10, CString("Mirroring left to right"), false); });
    driver.Run([&] { EXPECT_EQ(progress->Step(1), 1); });
    EXPECT_FALSE(brv::HeadlessDriver::Inspect(brv::HeadlessDriver::FindControl(Window(), 1026)).visible);
    driver.Run([&] { progress->Close(); });
}

// While an operation runs only paint, timers and its Stop button get
// through: a click on a view and a menu command do nothing.
TEST_F(ProgressTest, OtherInputWaitsOutTheOperation) {
    CMainFrame& f = Frame();
    Doc().stage = 1000;
    driver.Run([&] { f.OnViews4(); });
    driver.Run([&] { f.m_wndSplitter.SetActivePane(1, 0); });
    CFaceView* before = f.ActiveFaceView();
    f.tool = 1;
    driver.Run([&] { progress->Open(0, 10, CString("Searching perspective"), true); });
    driver.Backend().Reset();
    int goOn = -1;
    driver.Run([&] {
        postClick(centreOf(Doc().GetViewEdit3D<CFaceView>()->m_hWnd));
        ::PostMessage(f.m_hWnd, WM_COMMAND, ID_ZOOM, 0);
        ::PostMessage(f.m_hWnd, WM_KEYDOWN, 'O', 0);
        postClick(centreOf(brv::HeadlessDriver::FindControl(Window(), 1026)));
        goOn = progress->Step(1);
    });
    EXPECT_EQ(goOn, 0);  // Stop was pressed
    EXPECT_EQ(f.ActiveFaceView(), before);
    EXPECT_EQ(f.tool, 1);
    EXPECT_EQ(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size(), 1u);  // the click on the view
    driver.Run([&] { progress->Close(); });
    // Afterwards the frame takes input again.
    driver.Click(Doc().GetViewEdit3D<CFaceView>()->m_hWnd, CPoint(20, 20));
    EXPECT_EQ(f.ActiveFaceView(), Doc().GetViewEdit3D<CFaceView>());
}

// Each step paints the progress window and hands it to the desktop; the
// frame, invalid meanwhile, keeps its last picture until the operation ends.
TEST_F(ProgressTest, StepsPaintOnlyTheProgressWindow) {
    CWnd* view = &Frame();
    ASSERT_TRUE(view->IsWindowVisible());
    driver.Run([&] { progress->Open(0, 10, CString("Searching perspective"), false); });
    HWND w = Window();
    ASSERT_NE(w, nullptr);
    driver.Backend().Reset();
    driver.Run([&] {
        view->Invalidate();
        ::InvalidateRect(w, nullptr, TRUE);
        progress->Step(1);
        EXPECT_TRUE(brv::Record(w)->invalid.IsRectEmpty()) << "the progress window waits for its paint";
        EXPECT_FALSE(brv::Record(view->m_hWnd)->invalid.IsRectEmpty()) << "the frame painted during the operation";
        progress->Step(2);
    });
    EXPECT_EQ(driver.Backend().BusyShows(), (std::vector<HWND>{w, w}));
    driver.Run([&] { progress->Close(); });
    driver.Pump();
    EXPECT_TRUE(brv::Record(view->m_hWnd)->invalid.IsRectEmpty());  // painted once it ended
}

namespace {
struct Ticker : CWnd {
    int ticks = 0;
    void OnTimer(UINT_PTR) override { ++ticks; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Ticker, CWnd)
  ON_WM_TIMER()
END_MESSAGE_MAP()
}  // namespace

TEST_F(ProgressTest, TimersStillRunDuringTheOperation) {
    Ticker t;
    MakeTopLevel(&t, "ticker");
    t.SetTimer(7, 100);
    driver.Run([&] {
        progress->Open(0, 10, CString("Applying texture"), false);
        driver.Backend().AdvanceClock(150);
        progress->Step(1);
        progress->Close();
    });
    EXPECT_EQ(t.ticks, 1);
    t.DestroyWindow();
}

// ---------------------------------------------------------------- notes

class NotesTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start());
        CancelStartDialogs();
        driver.Backend().SetClock(CTime(2005, 3, 7, 9, 5, 30).GetTime(), 0);
    }
    // Runs the notes from the frame's command, confirmed or cancelled.
    void Notes(bool confirm) {
        driver.OnNextModal([this, confirm](HWND d) {
            driver.ClickControl(brv::HeadlessDriver::FindControl(d, confirm ? IDOK : IDCANCEL));
        });
        Doc().stage = 1000;
        driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_NOTES, 0); });
        EXPECT_EQ(driver.Backend().PendingModalScripts(), 0);
    }
    std::string Kept() { return std::string(Doc().kernel2D->notes.View()); }
};

TEST_F(NotesTest, EachOpeningStampsTheDateAndTime) {
    EXPECT_EQ(std::string(CDlgNotes().m_Text.View()), "07.03.2005  -  09:05\r\n");
    App().languageId = 1038;
    EXPECT_EQ(std::string(CDlgNotes().m_Text.View()), "2005.03.07  -  09:05\r\n");
    App().languageId = 1031;
    EXPECT_EQ(std::string(CDlgNotes().m_Text.View()), "07.03.2005  -  09:05\r\n");
    // Old notes end with one empty line before the stamp.
    Doc().kernel2D->notes = "left eye marked";
    EXPECT_EQ(std::string(CDlgNotes().m_Text.View()), "left eye marked\r\n\r\n07.03.2005  -  09:05\r\n");
}

TEST_F(NotesTest, OnlyAConfirmedDialogKeepsItsStamp) {
    Notes(true);
    EXPECT_EQ(Kept(), "07.03.2005  -  09:05\r\n");
    driver.Backend().AdvanceClock(60000);
    Notes(true);
    EXPECT_EQ(Kept(), "07.03.2005  -  09:05\r\n\r\n07.03.2005  -  09:06\r\n");
    Notes(false);
    EXPECT_EQ(Kept(), "07.03.2005  -  09:05\r\n\r\n07.03.2005  -  09:06\r\n");
}

TEST_F(NotesTest, TheTextTypedIsKept) {
    driver.OnNextModal([this](HWND d) {
        HWND edit = brv::HeadlessDriver::FindControl(d, 1125);
        driver.ClickControl(edit);
        EXPECT_EQ(brv::HeadlessDriver::Inspect(edit).selStart, brv::HeadlessDriver::Inspect(edit).selEnd);
        driver.Type("chin");
        driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK));
    });
    Doc().stage = 1000;
    driver.Run([&] { Frame().SendMessage(WM_COMMAND, ID_NOTES, 0); });
    std::string kept = Kept();
    EXPECT_NE(kept.find("chin"), std::string::npos) << kept;
    EXPECT_NE(kept.find("07.03.2005  -  09:05"), std::string::npos) << kept;
}

// ---------------------------------------------------------------- login

class LoginTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start());
        CancelStartDialogs();
    }
    // The password typed and confirmed; the result as the dialog left it.
    bool Login(const std::string& password, bool before = false) {
        bool result = before;
        driver.OnNextModal([this, password](HWND d) {
            HWND edit = brv::HeadlessDriver::FindControl(d, 1069);
            ::SetWindowText(edit, password.c_str());
            driver.ClickControl(brv::HeadlessDriver::FindControl(d, IDOK));
        });
        driver.Run([&] {
            CDlgLogin login(&result, &Frame(), &Doc());
            EXPECT_EQ(login.DoModal(), IDOK);
        });
        return result;
    }
};

TEST_F(LoginTest, OnlyTheWholePasswordMatches) {
    EXPECT_TRUE(Login("62917035"));
    for (const char* wrong : {"", "62917035 ", " 62917035", "6291703", "629170351"})
        EXPECT_FALSE(Login(wrong, true)) << "\"" << wrong << "\"";
    EXPECT_TRUE(brv::HeadlessDriver::FindDialog(IDD_LOGIN) == nullptr);
}

TEST_F(LoginTest, EscapeBeepsAndLeavesTheResult) {
    for (bool before : {true, false}) {
        bool result = before;
        driver.Backend().Reset();
        driver.OnNextModal([this](HWND) { driver.Key(VK_ESCAPE); });
        driver.Run([&] {
            CDlgLogin login(&result, &Frame(), &Doc());
            EXPECT_EQ(login.DoModal(), IDCANCEL);
        });
        EXPECT_EQ(result, before);
        EXPECT_EQ(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size(), 1u);
    }
}
