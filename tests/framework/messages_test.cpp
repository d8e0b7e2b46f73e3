// Timers, painting, mouse activation and command routing through the
// message queue, on the fake clock.
#include <memory>
#include <string>
#include <vector>

#include "window_support.h"

namespace {

using brv::State;

class TimerWnd : public CWnd {
 public:
  std::vector<UINT_PTR> ticks;
  int* alive = nullptr;
  ~TimerWnd() override {
    if (alive) *alive = 0;
  }
  void OnTimer(UINT_PTR id) override { ticks.push_back(id); }
  void PostNcDestroy() override { delete this; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TimerWnd, CWnd)
  ON_WM_TIMER()
END_MESSAGE_MAP()

class TimersTest : public WindowingTest {};

TEST_F(TimersTest, SettingAnArmedIdRestartsOneTimer) {
  auto* w = new TimerWnd;
  MakeTopLevel(w);
  w->SetTimer(2, 400);
  driver.AdvanceClock(300);
  w->SetTimer(2, 400);  // restarts: due at 700, not 400
  EXPECT_EQ(State().timers.size(), 1u);
  driver.AdvanceClock(300);
  EXPECT_TRUE(w->ticks.empty());
  driver.AdvanceClock(100);
  EXPECT_EQ(w->ticks, std::vector<UINT_PTR>{2});
  w->DestroyWindow();
}

TEST_F(TimersTest, OwnIdsTickWithTheirOwnIdAndLongWaitsCoalesce) {
  auto* w = new TimerWnd;
  MakeTopLevel(w);
  w->SetTimer(7, 100);
  w->SetTimer(1234, 250);
  driver.AdvanceClock(100);
  EXPECT_EQ(w->ticks, std::vector<UINT_PTR>{7});
  w->ticks.clear();
  // 2000 ms later each timer ticks once, however many intervals passed.
  driver.AdvanceClock(2000);
  ASSERT_EQ(w->ticks.size(), 2u);
  EXPECT_NE(w->ticks[0], w->ticks[1]);
  w->ticks.clear();
  // The next tick falls an interval after the coalesced one.
  driver.AdvanceClock(99);
  EXPECT_TRUE(w->ticks.empty());
  driver.AdvanceClock(1);
  EXPECT_EQ(w->ticks, std::vector<UINT_PTR>{7});
  w->DestroyWindow();
}

TEST_F(TimersTest, KillTimerStopsItAndTimersWaitForAnEmptyQueue) {
  auto* w = new TimerWnd;
  MakeTopLevel(w);
  w->SetTimer(3, 50);
  EXPECT_TRUE(w->KillTimer(3));
  EXPECT_FALSE(w->KillTimer(3));
  driver.AdvanceClock(500);
  EXPECT_TRUE(w->ticks.empty());
  // A due timer comes only after the posted messages.
  w->SetTimer(4, 50);
  driver.Backend().AdvanceClock(60);
  w->PostMessage(WM_TIMER, 99, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 99u);
  ASSERT_TRUE(PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_TIMER);
  EXPECT_EQ(msg.wParam, 4u);
  w->DestroyWindow();
}

// Timers and queued messages die with the window: the object is gone (ASan
// would see a handler run on it).
TEST_F(TimersTest, DestroyWindowKillsTimersAndDropsQueuedMessages) {
  int alive = 1;
  auto* w = new TimerWnd;
  w->alive = &alive;
  HWND h = MakeTopLevel(w);
  w->SetTimer(1, 100);
  w->PostMessage(WM_TIMER, 1, 0);
  ::PostMessage(h, WM_USER + 5, 0, 0);
  w->DestroyWindow();
  EXPECT_EQ(alive, 0);
  EXPECT_TRUE(State().timers.empty());
  EXPECT_TRUE(State().queue.empty());
  driver.AdvanceClock(1000);
  EXPECT_FALSE(IsWindow(h));
}

// ---------------------------------------------------------------- painting

class PaintWnd : public CWnd {
 public:
  int paints = 0;
  int paintsSeenInHandler = -1;
  COLORREF colour = RGB(10, 200, 30);
  void OnPaint() override {
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(&r, colour);
    ++paints;
  }
  void Redraw() {
    int before = paints;
    RedrawWindow(nullptr, nullptr, RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE);
    paintsSeenInHandler = paints - before;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(PaintWnd, CWnd)
  ON_WM_PAINT()
  ON_COMMAND(40001, Redraw)
END_MESSAGE_MAP()

TEST_F(WindowingTest, RedrawWindowPaintsBeforeReturning) {
  PaintWnd w;
  HWND h = MakeTopLevel(&w);
  driver.Pump();
  EXPECT_EQ(w.paints, 1);
  EXPECT_EQ(driver.Pixel(h, 5, 5), RGB(10, 200, 30));
  int presentsNow = driver.Backend().PresentNowCount();
  w.colour = RGB(1, 2, 3);
  w.SendMessage(WM_COMMAND, 40001, 0);
  EXPECT_EQ(w.paintsSeenInHandler, 1);
  EXPECT_EQ(driver.Pixel(h, 5, 5), RGB(1, 2, 3));
  EXPECT_GT(driver.Backend().PresentNowCount(), presentsNow);
  // Invalidate alone waits for the queue.
  w.colour = RGB(9, 9, 9);
  w.Invalidate();
  EXPECT_EQ(driver.Pixel(h, 5, 5), RGB(1, 2, 3));
  driver.Pump();
  EXPECT_EQ(driver.Pixel(h, 5, 5), RGB(9, 9, 9));
  w.DestroyWindow();
}

// ---------------------------------------------------------------- activation

class LogView : public CView {
 public:
  LogView(std::vector<std::string>* log, std::string name, int answer = -1)
      : log_(log), name_(std::move(name)), answer_(answer) {}
  void OnDraw(CDC*) override {}
  int OnMouseActivate(CWnd* top, UINT hit, UINT message) override {
    log_->push_back(name_ + " mouseactivate");
    if (answer_ >= 0) return answer_;
    return CView::OnMouseActivate(top, hit, message);
  }
  void OnActivateView(BOOL activate, CView* a, CView* d) override {
    log_->push_back(name_ + (activate ? " activated" : " deactivated"));
    CView::OnActivateView(activate, a, d);
  }
  void OnLButtonDown(UINT, CPoint) override { log_->push_back(name_ + " lbuttondown"); }
  void PostNcDestroy() override {}  // members of the test

 private:
  std::vector<std::string>* log_;
  std::string name_;
  int answer_;
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(LogView, CView)
  ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

class PlainFrame : public CFrameWnd {
 public:
  void PostNcDestroy() override {}
};

TEST_F(WindowingTest, ClickOnInactiveViewActivatesFirstAndEatCanSwallowIt) {
  std::vector<std::string> log;
  PlainFrame frame;
  ASSERT_TRUE(frame.Create(nullptr, "Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 600, 400)));
  LogView a(&log, "a"), b(&log, "b"), eater(&log, "eater", MA_ACTIVATEANDEAT);
  a.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 200), &frame, 1);
  b.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(200, 0, 400, 200), &frame, 2);
  eater.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(400, 0, 600, 200), &frame, 3);
  frame.SetActiveView(&a);
  driver.Pump();
  log.clear();

  driver.Click(b.m_hWnd, CPoint(10, 10));
  std::vector<std::string> want = {"b mouseactivate", "a deactivated", "b activated", "b lbuttondown"};
  EXPECT_EQ(log, want);
  EXPECT_EQ(frame.GetActiveView(), &b);
  EXPECT_EQ(driver.FocusWindow(), b.m_hWnd);

  log.clear();
  driver.Click(eater.m_hWnd, CPoint(10, 10));
  EXPECT_EQ(log, std::vector<std::string>{"eater mouseactivate"});
  EXPECT_EQ(frame.GetActiveView(), &b);
  frame.DestroyWindow();
}

// ---------------------------------------------------------------- routing

std::vector<std::string>* g_routeLog = nullptr;

class RouteApp : public CWinApp {
 public:
  void Cmd() { g_routeLog->push_back("app"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RouteApp, CWinApp)
  ON_COMMAND(100, Cmd)
  ON_COMMAND(101, Cmd)
  ON_COMMAND(102, Cmd)
  ON_COMMAND(103, Cmd)
END_MESSAGE_MAP()

class RouteDoc : public CDocument {
 public:
  void Cmd() { g_routeLog->push_back("doc"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RouteDoc, CDocument)
  ON_COMMAND(100, Cmd)
  ON_COMMAND(101, Cmd)
END_MESSAGE_MAP()

class RouteView : public CView {
 public:
  void OnDraw(CDC*) override {}
  void Cmd() { g_routeLog->push_back("view"); }
  void PostNcDestroy() override {}
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RouteView, CView)
  ON_COMMAND(100, Cmd)
END_MESSAGE_MAP()

class RouteFrame : public CFrameWnd {
 public:
  int disabledRuns = 0;
  void Cmd() { g_routeLog->push_back("frame"); }
  void Disabled() { ++disabledRuns; }
  void NoUpdate() { g_routeLog->push_back("noupdate"); }
  void OnUpdateDisabled(CCmdUI* ui) { ui->Enable(FALSE); }
  void PostNcDestroy() override {}
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(RouteFrame, CFrameWnd)
  ON_COMMAND(100, Cmd)
  ON_COMMAND(101, Cmd)
  ON_COMMAND(102, Cmd)
  ON_COMMAND(200, Disabled)
  ON_UPDATE_COMMAND_UI(200, OnUpdateDisabled)
  ON_COMMAND(201, NoUpdate)
END_MESSAGE_MAP()

class RoutingTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    g_routeLog = &log;
    Layout("MENU", 700,
           "popup \"&Tools\"\n"
           "  item 200 \"Disabled\\tCtrl+D\"\n"
           "  item 201 \"Handled\"\n"
           "  item 300 \"No handler\"\n"
           "  popup \"More\"\n"
           "    item 102 \"Frame command\"\n"
           "  end\n"
           "end\n");
    Layout("ACCELERATORS", 700, "Ctrl+D 200\nCtrl+Shift+F 102\n");
    app = std::make_unique<RouteApp>();
    ASSERT_TRUE(frame.LoadFrame(700, WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    view.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 100), &frame, AFX_IDW_PANE_FIRST);
    doc.AddView(&view);
    frame.SetActiveView(&view);
    app->m_pMainWnd = &frame;
    driver.Pump();
  }
  void TearDown() override {
    doc.RemoveView(&view);
    frame.DestroyWindow();
    app.reset();
    g_routeLog = nullptr;
    WindowingTest::TearDown();
  }
  std::vector<std::string> log;
  std::unique_ptr<RouteApp> app;
  RouteFrame frame;
  RouteView view;
  RouteDoc doc;
};

TEST_F(RoutingTest, CommandsGoViewDocumentFrameApplication) {
  for (UINT id : {100u, 101u, 102u, 103u}) frame.SendMessage(WM_COMMAND, id, 0);
  std::vector<std::string> want = {"view", "doc", "frame", "app"};
  EXPECT_EQ(log, want);
  EXPECT_EQ(frame.GetTitle(), AfxGetAppName());
}

TEST_F(RoutingTest, DisabledCommandsAreDroppedFromMenuAcceleratorAndSendMessage) {
  frame.SendMessage(WM_COMMAND, 200, 0);
  EXPECT_FALSE(driver.ChooseMenu(frame.m_hWnd, 200));
  ::SetFocus(view.m_hWnd);
  driver.Key('D', MK_CONTROL);
  EXPECT_EQ(frame.disabledRuns, 0);
  EXPECT_EQ(driver.MenuState(frame.m_hWnd, 200) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
  // An enabled one runs from the accelerator (in a nested pop-up's item) and the menu.
  driver.Key('F', MK_CONTROL | MK_SHIFT);
  EXPECT_TRUE(driver.ChooseMenu(frame.m_hWnd, 201));
  std::vector<std::string> want = {"frame", "noupdate"};
  EXPECT_EQ(log, want);
  // Modifiers must match exactly.
  driver.Key('F', MK_CONTROL);
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(RoutingTest, ItemsWithoutHandlerAreGreyedOnlyWithAutoMenuEnable) {
  // Switched off before the menu first opens (as the program does at start):
  // the item stays as the layout made it, and the command goes out.
  frame.m_bAutoMenuEnable = FALSE;
  EXPECT_EQ(driver.MenuState(frame.m_hWnd, 300), 0u);
  EXPECT_TRUE(driver.ChooseMenu(frame.m_hWnd, 300));
  frame.m_bAutoMenuEnable = TRUE;
  EXPECT_TRUE(driver.MenuState(frame.m_hWnd, 300) & MF_GRAYED);
  EXPECT_FALSE(driver.MenuState(frame.m_hWnd, 201) & MF_GRAYED);
  EXPECT_FALSE(driver.ChooseMenu(frame.m_hWnd, 300));
  auto items = driver.MenuItems(frame.m_hWnd, {0});
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].text, "Disabled\tCtrl+D");
  EXPECT_TRUE(items[3].popup);
}

// ---------------------------------------------------------------- Windows-form cases

TEST_F(WindowingTest, ComboSelectionProgressPercentAndTopmostRaise) {
  CWnd parent;
  MakeTopLevel(&parent);
  CComboBox combo;
  ASSERT_TRUE(combo.Create(WS_VISIBLE | CBS_DROPDOWNLIST, CRect(0, 0, 100, 80), &parent, 10));
  EXPECT_EQ(combo.AddString("one"), 0);
  EXPECT_EQ(combo.GetCurSel(), -1);
  combo.AddString("two");
  EXPECT_EQ(combo.GetCurSel(), -1);
  EXPECT_EQ(combo.SetCurSel(0), 0);
  EXPECT_EQ(combo.GetCurSel(), 0);
  CString text;
  combo.GetWindowText(text);
  EXPECT_EQ(text, "one");

  CProgressCtrl progress;
  ASSERT_TRUE(progress.Create(WS_VISIBLE, CRect(0, 100, 100, 120), &parent, 11));
  progress.SetRange(0, 50);
  progress.OffsetPos(10);
  EXPECT_EQ(progress.GetPercent(), 20);
  for (int i = 0; i < 10; ++i) progress.OffsetPos(10);
  EXPECT_EQ(progress.GetPos(), 50);
  EXPECT_EQ(progress.GetPercent(), 100);
  progress.SetRange(7, 7);
  EXPECT_EQ(progress.GetPercent(), 0);

  CWnd other;
  MakeTopLevel(&other, "Other", CRect(300, 300, 600, 600));
  CRect before;
  parent.GetWindowRect(&before);
  ASSERT_NE(driver.TopLevelWindows().front(), parent.m_hWnd);
  parent.SetWindowPos(&CWnd::wndTopMost, 1, 2, 3, 4, SWP_NOMOVE | SWP_NOSIZE);
  CRect after;
  parent.GetWindowRect(&after);
  EXPECT_EQ(after, before);
  EXPECT_EQ(driver.TopLevelWindows().front(), parent.m_hWnd);
  EXPECT_TRUE(parent.GetExStyle() & WS_EX_TOPMOST);
  other.BringWindowToTop();
  EXPECT_EQ(driver.TopLevelWindows().front(), parent.m_hWnd);  // topmost stays above
}

TEST_F(WindowingTest, GetWindowTextCutsAndWritesNothingForNoRoom) {
  CWnd w;
  MakeTopLevel(&w, "Caption");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(w.GetWindowText(buffer, 0), 0);
  EXPECT_STREQ(buffer, "xxxxxxx");
  EXPECT_EQ(w.GetWindowText(buffer, -3), 0);
  EXPECT_EQ(w.GetWindowText(buffer, 4), 3);
  EXPECT_STREQ(buffer, "Cap");
  EXPECT_EQ(w.GetWindowText(buffer, 8), 7);
  EXPECT_STREQ(buffer, "Caption");
}

}  // namespace

namespace {

class ClickLog : public CWnd {
 public:
  std::vector<UINT> messages;
  LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override {
    if (message >= WM_LBUTTONDOWN && message <= WM_LBUTTONDBLCLK) messages.push_back(message);
    return CWnd::WindowProc(message, w, l);
  }
};

// A double click is WM_LBUTTONDBLCLK only for classes with CS_DBLCLKS;
// otherwise a second WM_LBUTTONDOWN. Too slow or too far: two clicks.
TEST_F(WindowingTest, DoubleClicksOnlyForDoubleClickClasses) {
  ClickLog plain, doubles;
  plain.CreateEx(0, AFX_WND_CLASS, "Plain", WS_POPUP | WS_VISIBLE, CRect(0, 0, 100, 100), nullptr, 0);
  doubles.CreateEx(0, AfxRegisterWndClass(CS_DBLCLKS), "Doubles", WS_POPUP | WS_VISIBLE, CRect(200, 0, 300, 100),
                   nullptr, 0);
  driver.DoubleClick(plain.m_hWnd, CPoint(10, 10));
  driver.DoubleClick(doubles.m_hWnd, CPoint(10, 10));
  const std::vector<UINT> twoClicks = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP};
  const std::vector<UINT> doubleClick = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
  EXPECT_EQ(plain.messages, twoClicks);
  EXPECT_EQ(doubles.messages, doubleClick);
  doubles.messages.clear();
  driver.Click(doubles.m_hWnd, CPoint(10, 10));
  driver.AdvanceClock(600);
  driver.Click(doubles.m_hWnd, CPoint(10, 10));
  driver.Click(doubles.m_hWnd, CPoint(40, 40));
  EXPECT_EQ(doubles.messages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                                 WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

}  // namespace

// The up-down control's value: Windows' default range (100 down to 0), the
// position kept inside the range whichever way it runs, SetPos taking 16
// bits, GetRange packing (upper, lower); the driver reads the same state.
TEST_F(WindowingTest, SpinButtonPositionAndRange) {
  CWnd parent;
  MakeTopLevel(&parent);
  CSpinButtonCtrl spin;
  ASSERT_TRUE(spin.Create(WS_VISIBLE | WS_CHILD, CRect(0, 0, 16, 24), &parent, 12));
  int lower = 0, upper = 0;
  spin.GetRange(lower, upper);
  EXPECT_EQ(lower, 100);
  EXPECT_EQ(upper, 0);
  struct Case {
    int lower, upper;
    bool wide;  // SetPos32 / SetRange32
    int set, pos;
  };
  const Case cases[] = {
      {0, 10, false, 4, 4},      {0, 10, false, 11, 10},   {0, 10, false, -3, 0},
      {10, 0, false, 4, 4},      {10, 0, false, 12, 10},   {-5, 5, false, -7, -5},
      {0, 30000, false, 70000, 4464},                     // 70000 as 16 bits
      {0, 100000, true, 70000, 70000}, {-100000, 0, true, -200000, -100000},
  };
  for (const Case& c : cases) {
    if (c.wide) spin.SetRange32(c.lower, c.upper);
    else spin.SetRange(short(c.lower), short(c.upper));
    const int before = spin.GetPos32();
    EXPECT_EQ(c.wide ? spin.SetPos32(c.set) : spin.SetPos(c.set), before) << c.set;
    BOOL error = TRUE;
    EXPECT_EQ(spin.GetPos32(&error), c.pos) << c.set;
    EXPECT_FALSE(error);
    EXPECT_EQ(spin.GetPos(), short(c.pos)) << c.set;
    int lo = 0, hi = 0;
    spin.GetRange32(lo, hi);
    EXPECT_EQ(lo, c.lower);
    EXPECT_EQ(hi, c.upper);
    brv::ControlInfo info = driver.Inspect(spin.m_hWnd);
    EXPECT_EQ(info.pos, c.pos);
    EXPECT_EQ(info.min, c.lower);
    EXPECT_EQ(info.max, c.upper);
  }
  spin.SetRange(-5, 7);
  EXPECT_EQ(spin.GetRange(), MAKELONG(7, WORD(-5)));
  EXPECT_EQ(spin.GetPos(), -5);  // moved into the new range
  EXPECT_EQ(driver.Inspect(spin.m_hWnd).className, UPDOWN_CLASS);
  EXPECT_NE(dynamic_cast<CSpinButtonCtrl*>(CWnd::FromHandle(spin.m_hWnd)), nullptr);
}

// The caret: one for the program, made hidden; hiding counts, only its
// owner hides or shows it, and it goes with its window.
TEST_F(WindowingTest, CaretHidingCountsAndBelongsToItsWindow) {
  CWnd owner, other;
  MakeTopLevel(&owner);
  MakeTopLevel(&other, "Other");
  auto& caret = brv::State().caret;
  EXPECT_FALSE(owner.HideCaret());
  EXPECT_FALSE(CWnd::SetCaretPos(CPoint(1, 2)));
  ASSERT_TRUE(owner.CreateSolidCaret(2, 14));
  EXPECT_EQ(caret.owner, owner.m_hWnd);
  EXPECT_EQ(caret.hidden, 1);
  EXPECT_TRUE(CWnd::SetCaretPos(CPoint(5, 6)));
  EXPECT_EQ(caret.pos.x, 5);
  struct Step {
    CWnd* window;
    bool show;
    BOOL result;
    int hidden;
  };
  const Step steps[] = {
      {&owner, true, TRUE, 0},   {&owner, true, FALSE, 0},  // already shown
      {&other, false, FALSE, 0}, {&owner, false, TRUE, 1},  {&owner, false, TRUE, 2},
      {&other, true, FALSE, 2},  {&owner, true, TRUE, 1},   {&owner, true, TRUE, 0},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(s.show ? s.window->ShowCaret() : s.window->HideCaret(), s.result);
    EXPECT_EQ(caret.hidden, s.hidden);
  }
  // Another window's caret takes its place, hidden again.
  ASSERT_TRUE(other.CreateSolidCaret(1, 10));
  EXPECT_EQ(caret.hidden, 1);
  EXPECT_FALSE(owner.HideCaret());
  other.DestroyWindow();
  EXPECT_EQ(caret.owner, nullptr);
  EXPECT_FALSE(CWnd::SetCaretPos(CPoint(1, 2)));
}
