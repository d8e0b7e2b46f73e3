// The keyboard between a frame and its modeless pages: a page shown on
// creation takes the focus on its first tab stop; after a click in the
// frame's view Alt+F6 (Shift: backwards) moves the activation to the
// frame's owned pages and to its captioned child pages and back, each
// taking the focus where it left it; inside a page Tab, the arrows, Space,
// Enter and Escape work as dialog keys.
#include <string>
#include <vector>

#include "window_support.h"

namespace {

std::vector<std::string>* g_log = nullptr;

// A view takes the focus when clicked, as the program's views do.
class FocusView : public CWnd {
 public:
  void OnLButtonDown(UINT, CPoint) override { SetFocus(); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(FocusView, CWnd)
  ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

// A frame hands its focus to its view, as the program's frame does.
class ViewFrame : public CWnd {
 public:
  CWnd* view = nullptr;
  void OnSetFocus(CWnd*) override {
    if (view && view->m_hWnd) view->SetFocus();
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ViewFrame, CWnd)
  ON_WM_SETFOCUS()
END_MESSAGE_MAP()

class Page : public CDialog {
 public:
  Page(UINT id, CWnd* parent) : CDialog(id, parent) {}
  void Note(const char* what) {
    if (g_log) g_log->push_back(std::to_string(m_nIDTemplate) + " " + what);
  }
  void OnOK() override { Note("next"); }
  void OnCancel() override { Note("cancel"); }
  void OnBack() { Note("back"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Page, CDialog)
  ON_BN_CLICKED(1107, OnBack)
END_MESSAGE_MAP()

class PagesKeyboardTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    g_log = &log;
    // An owned pop-up page and a captioned child page, as the step pages are.
    Layout("DIALOG", 4100,
           "dialog 4100 IDD_POINTS \"Points\" 120 80 popup caption visible\n"
           "radio 1096 \"Male\" 5 5 50 10 auto group tabstop\n"
           "radio 1097 \"Female\" 5 17 50 10 auto\n"
           "button 1107 \"<< Back\" 5 60 50 14 tabstop\n"
           "button 2 \"Cancel\" 5 40 50 14 hidden tabstop\n"
           "button 1 \"Next >>\" 65 60 50 14 default tabstop\n");
    Layout("DIALOG", 4101,
           "dialog 4101 IDD_MODEL \"Model\" 120 60 child caption visible\n"
           "slider 1087 \"\" 5 5 100 16 autoticks tabstop\n"
           "button 1107 \"Dots\" 5 40 50 14 tabstop\n"
           "button 1 \"OK\" 65 40 50 14 default tabstop\n");
    MakeTopLevel(&frame, "Frame", CRect(0, 0, 1000, 800), WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    view.CreateEx(0, AFX_WND_CLASS, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 600, 700), &frame, 1);
    frame.view = &view;
  }
  void TearDown() override {
    if (frame.m_hWnd) frame.DestroyWindow();
    g_log = nullptr;
    WindowingTest::TearDown();
  }
  int FocusId() {
    HWND f = brv::HeadlessDriver::FocusWindow();
    return f == view.m_hWnd ? -1 : f ? brv::HeadlessDriver::Inspect(f).id : 0;
  }
  HWND Dialog(HWND control) { return control ? ::GetParent(control) : nullptr; }
  void ClickView() {
    driver.Click(view.m_hWnd, CPoint(300, 300));
    ASSERT_EQ(brv::HeadlessDriver::FocusWindow(), view.m_hWnd);
    ASSERT_EQ(brv::HeadlessDriver::ActiveWindow(), frame.m_hWnd);
  }

  std::vector<std::string> log;
  ViewFrame frame;
  FocusView view;
};

TEST_F(PagesKeyboardTest, AltF6ReachesEveryPageAndBackToTheView) {
  Page points(4100, &frame), model(4101, &frame);
  // Shown on creation: active, the focus on the first tab stop.
  ASSERT_TRUE(points.Create(4100, &frame));
  points.ShowWindow(SW_SHOW);
  driver.Pump();
  EXPECT_EQ(brv::HeadlessDriver::ActiveWindow(), points.m_hWnd);
  EXPECT_EQ(FocusId(), 1096);
  ASSERT_TRUE(model.Create(4101, &frame));
  model.ShowWindow(SW_SHOW);
  driver.Pump();
  EXPECT_EQ(Dialog(brv::HeadlessDriver::FocusWindow()), model.m_hWnd);
  EXPECT_EQ(FocusId(), 1087);

  // The mark placed on the photo: the frame and its view have the keys.
  ClickView();
  // Each step: the keys, then where the focus is (-1: the view) and in
  // which window.
  struct Step {
    UINT key, keys;
    int focus;
    HWND dialog;
  };
  const UINT alt = brv::kKeyAlt, back = brv::kKeyAlt | MK_SHIFT;
  const Step walk[] = {
      {VK_F6, alt, 1087, model.m_hWnd},   // the child page, where its focus was
      {VK_F6, alt, 1096, points.m_hWnd},  // the owned page
      {VK_F6, alt, -1, frame.m_hWnd},     // round to the frame: its view
      {VK_F6, back, 1096, points.m_hWnd}, // and backwards
      {VK_F6, back, 1087, model.m_hWnd},
      {VK_TAB, 0, 1107, model.m_hWnd},    // dialog keys inside the child page
      {VK_F6, back, -1, frame.m_hWnd},
      {VK_F6, alt, 1107, model.m_hWnd},   // it kept its focus
  };
  for (size_t i = 0; i < std::size(walk); ++i) {
    SCOPED_TRACE(i);
    driver.Key(walk[i].key, walk[i].keys);
    EXPECT_EQ(FocusId(), walk[i].focus);
    HWND f = brv::HeadlessDriver::FocusWindow();
    EXPECT_EQ(walk[i].focus == -1 ? frame.m_hWnd : Dialog(f), walk[i].dialog);
    EXPECT_EQ(brv::HeadlessDriver::ActiveWindow(), walk[i].dialog == points.m_hWnd ? points.m_hWnd : frame.m_hWnd);
  }
  EXPECT_TRUE(log.empty());
  // Alt+F6 is no accelerator's and no menu's: nothing else ran.
  model.DestroyWindow();
  points.DestroyWindow();
}

TEST_F(PagesKeyboardTest, DialogKeysInAPageReachedByAltF6) {
  Page points(4100, &frame);
  ASSERT_TRUE(points.Create(4100, &frame));
  points.ShowWindow(SW_SHOW);
  ClickView();
  driver.Key(VK_F6, brv::kKeyAlt);
  ASSERT_EQ(FocusId(), 1096);
  // Down moves in the radio group and checks; Tab skips the hidden Cancel;
  // Space and Enter press the focused button; Enter elsewhere the default;
  // Escape cancels.
  struct Step {
    UINT key, keys;
    int focus;
    const char* logged;
  } steps[] = {
      {VK_DOWN, 0, 1097, nullptr},      {VK_TAB, 0, 1107, nullptr},   {VK_SPACE, 0, 1107, "4100 back"},
      {VK_RETURN, 0, 1107, "4100 back"}, {VK_TAB, 0, 1, nullptr},      {VK_TAB, MK_SHIFT, 1107, nullptr},
      {VK_TAB, MK_SHIFT, 1097, nullptr}, {VK_RETURN, 0, 1097, "4100 next"}, {VK_ESCAPE, 0, 1097, "4100 cancel"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::to_string(s.key) + " " + std::to_string(s.keys));
    log.clear();
    driver.Key(s.key, s.keys);
    EXPECT_EQ(FocusId(), s.focus);
    EXPECT_EQ(log, s.logged ? std::vector<std::string>{s.logged} : std::vector<std::string>{});
  }
  EXPECT_EQ(brv::HeadlessDriver::Inspect(::GetDlgItem(points.m_hWnd, 1097)).check, BST_CHECKED);
  points.DestroyWindow();
}

TEST_F(PagesKeyboardTest, AltF6PassesOverHiddenAndDisabledPagesAndDoesNothingAlone) {
  Page points(4100, &frame), model(4101, &frame);
  ASSERT_TRUE(points.Create(4100, &frame));
  points.ShowWindow(SW_SHOW);
  ASSERT_TRUE(model.Create(4101, &frame));
  model.ShowWindow(SW_SHOW);
  ClickView();
  struct Case {
    const char* what;
    bool pointsShown, pointsEnabled, modelShown;
    int focus;  // after one Alt+F6 from the view
  } cases[] = {
      {"both", true, true, true, 1087},
      {"model hidden", true, true, false, 1096},
      {"points disabled, model hidden", true, false, false, -1},
      {"points hidden", false, true, true, 1087},
      {"none", false, true, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    points.ShowWindow(c.pointsShown ? SW_SHOWNA : SW_HIDE);
    points.EnableWindow(c.pointsEnabled);
    model.ShowWindow(c.modelShown ? SW_SHOWNA : SW_HIDE);
    ClickView();
    driver.Key(VK_F6, brv::kKeyAlt);
    EXPECT_EQ(FocusId(), c.focus);
  }
  EXPECT_TRUE(log.empty());
  model.DestroyWindow();
  points.DestroyWindow();
}

}  // namespace
