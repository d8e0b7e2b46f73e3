// Keys and the mouse through real Qt events become the Windows messages:
// virtual keys, characters, the repeat and release bits, GetKeyState, MK_
// flags, mouse activation, double clicks by window class, the wheel with
// its screen point, and the release outside the window a button went down in.
#include <QTest>
#include <QWindow>

#include "tests/qt/qt_support.h"

namespace {

using qtsupport::Backend;

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool controlDown;  // GetKeyState(VK_CONTROL) while it was handled
};

bool Interesting(UINT m) {
  return (m >= WM_KEYDOWN && m <= WM_SYSKEYUP) || (m >= WM_MOUSEMOVE && m <= WM_MBUTTONDBLCLK) ||
         m == WM_MOUSEWHEEL || m == WM_MOUSEACTIVATE;
}

class Recorder : public CWnd {
 public:
  std::vector<Seen> seen;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (Interesting(message)) seen.push_back({message, wParam, lParam, GetKeyState(VK_CONTROL) < 0});
    return CWnd::WindowProc(message, wParam, lParam);
  }
  std::vector<Seen> Take(UINT first = 0, UINT last = 0xFFFF) {
    std::vector<Seen> out;
    for (const Seen& s : seen)
      if (s.message >= first && s.message <= last) out.push_back(s);
    seen.clear();
    return out;
  }
};

class InputTest : public qtsupport::QtTest {
 protected:
  HWND Make(Recorder& w, bool doubleClicks, CRect rect) {
    LPCSTR cls = AfxRegisterWndClass(doubleClicks ? CS_DBLCLKS : 0, nullptr, GetSysColorBrush(COLOR_WINDOW));
    w.CreateEx(0, cls, doubleClicks ? "Double" : "Single", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, rect, nullptr, 0);
    HWND h = w.m_hWnd;
    EXPECT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(h)));
    qtsupport::Pump();
    return h;
  }
};

struct KeyCase {
  Qt::Key key;
  Qt::KeyboardModifiers mods;
  UINT vk;
  UINT ch;  // the WM_CHAR, 0 for none
};

TEST_F(InputTest, KeysBecomeVirtualKeysAndCharacters) {
  Recorder w;
  HWND h = Make(w, false, CRect(100, 100, 500, 400));
  ::SetFocus(h);
  qtsupport::Pump();
  const KeyCase cases[] = {
      {Qt::Key_A, {}, 'A', 'a'},
      {Qt::Key_Q, Qt::ShiftModifier, 'Q', 'Q'},
      {Qt::Key_Z, {}, 'Z', 'z'},
      {Qt::Key_0, {}, '0', '0'},
      {Qt::Key_7, {}, '7', '7'},
      {Qt::Key_F1, {}, VK_F1, 0},
      {Qt::Key_F6, {}, VK_F1 + 5, 0},
      {Qt::Key_F12, {}, VK_F1 + 11, 0},
      {Qt::Key_F24, {}, VK_F24, 0},
      {Qt::Key_Return, {}, VK_RETURN, '\r'},
      {Qt::Key_Enter, Qt::KeypadModifier, VK_RETURN, '\r'},
      {Qt::Key_Escape, {}, VK_ESCAPE, 27},
      {Qt::Key_PageUp, {}, 33, 0},
      {Qt::Key_PageDown, {}, 34, 0},
      {Qt::Key_End, {}, 35, 0},
      {Qt::Key_Home, {}, 36, 0},
      {Qt::Key_Left, {}, 37, 0},
      {Qt::Key_Up, {}, 38, 0},
      {Qt::Key_Right, {}, 39, 0},
      {Qt::Key_Down, {}, 40, 0},
      {Qt::Key_Delete, {}, 46, 0},
      {Qt::Key_0, Qt::KeypadModifier, 96, '0'},
      {Qt::Key_5, Qt::KeypadModifier, 101, '5'},
      {Qt::Key_9, Qt::KeypadModifier, 105, '9'},
      {Qt::Key_Plus, Qt::KeypadModifier, 107, '+'},
      {Qt::Key_Minus, Qt::KeypadModifier, 109, '-'},
      {Qt::Key_Shift, {}, 16, 0},
      {Qt::Key_Control, {}, 17, 0},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
    qtsupport::KeyClick(h, c.key, c.mods);
    std::vector<Seen> keys;
    for (const Seen& s : w.Take())
      if (!(s.message == WM_KEYDOWN || s.message == WM_KEYUP) || s.wParam == c.vk || c.vk == VK_SHIFT ||
          c.vk == VK_CONTROL)
        if (!(c.vk != VK_SHIFT && s.wParam == VK_SHIFT) && !(s.message == WM_CHAR && c.ch == 0))
          keys.push_back(s);
    std::vector<UINT> messages;
    for (const Seen& s : keys) messages.push_back(s.message);
    std::vector<UINT> want = {WM_KEYDOWN};
    if (c.ch) want.push_back(WM_CHAR);
    want.push_back(WM_KEYUP);
    ASSERT_EQ(messages, want);
    EXPECT_EQ(keys.front().wParam, c.vk);
    EXPECT_EQ(keys.front().lParam & (LPARAM(3) << 30), 0) << "a first press, not a release";
    EXPECT_EQ(keys.back().wParam, c.vk);
    EXPECT_EQ(keys.back().lParam & (LPARAM(1) << 31), LPARAM(1) << 31) << "the release bit";
    if (c.ch) { EXPECT_EQ(keys[1].wParam, c.ch); }
  }

  // Alt alone is a system key; Ctrl shows in GetKeyState while held.
  qtsupport::KeyClick(h, Qt::Key_Alt);
  std::vector<Seen> alt = w.Take(WM_KEYDOWN, WM_SYSKEYUP);
  ASSERT_FALSE(alt.empty());
  EXPECT_EQ(alt.front().message, WM_SYSKEYDOWN);
  EXPECT_EQ(alt.front().wParam, VK_MENU);

  qtsupport::KeyClick(h, Qt::Key_B, Qt::ControlModifier);
  std::vector<Seen> ctrl = w.Take(WM_KEYDOWN, WM_KEYUP);
  bool sawB = false;
  for (const Seen& s : ctrl)
    if (s.message == WM_KEYDOWN && s.wParam == 'B') {
      sawB = true;
      EXPECT_TRUE(s.controlDown);
    }
  EXPECT_TRUE(sawB);
  EXPECT_GE(GetKeyState(VK_CONTROL), 0) << "released again";

  // A held key repeats: the second press has the previous-state bit.
  qtsupport::KeyPress(h, Qt::Key_Right);
  qtsupport::KeyPress(h, Qt::Key_Right, {}, true);
  qtsupport::KeyRelease(h, Qt::Key_Right);
  std::vector<Seen> held = w.Take(WM_KEYDOWN, WM_KEYUP);
  ASSERT_EQ(held.size(), 3u);
  EXPECT_EQ(held[0].lParam & (LPARAM(1) << 30), 0);
  EXPECT_EQ(held[1].message, WM_KEYDOWN);
  EXPECT_EQ(held[1].lParam & (LPARAM(1) << 30), LPARAM(1) << 30);
  EXPECT_EQ(held[2].message, WM_KEYUP);
}

TEST_F(InputTest, MouseMessagesCarryTheirFlagsAndPoints) {
  Recorder single, other;
  HWND h = Make(single, false, CRect(100, 100, 500, 400));
  HWND o = Make(other, false, CRect(600, 100, 900, 400));
  // The window is not active: mouse activation comes first.
  other.SetActiveWindow();
  qtsupport::Pump();
  single.Take();
  qtsupport::Press(h, CPoint(10, 20));
  std::vector<Seen> first;
  for (const Seen& s : single.Take())
    if (s.message != WM_MOUSEMOVE) first.push_back(s);
  ASSERT_GE(first.size(), 2u);
  EXPECT_EQ(first[0].message, WM_MOUSEACTIVATE);
  EXPECT_EQ(first.back().message, WM_LBUTTONDOWN);
  EXPECT_EQ(first.back().wParam, MK_LBUTTON);
  EXPECT_EQ(first.back().lParam, MAKELPARAM(10, 20));
  EXPECT_EQ(HWND(GetActiveWindow()), h);
  qtsupport::Release(h, CPoint(10, 20));
  std::vector<Seen> up = single.Take(WM_LBUTTONUP, WM_LBUTTONUP);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_EQ(up[0].wParam, 0u);

  struct Case {
    Qt::MouseButton button;
    Qt::KeyboardModifiers mods;
    UINT down, up, flags;
  };
  const Case cases[] = {
      {Qt::LeftButton, Qt::ShiftModifier, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON | MK_SHIFT},
      {Qt::LeftButton, Qt::ControlModifier, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON | MK_CONTROL},
      {Qt::RightButton, {}, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON},
      {Qt::MiddleButton, {}, WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
  };
  for (const Case& c : cases) {
    qtsupport::Press(h, CPoint(30, 40), c.button, c.mods);
    qtsupport::Release(h, CPoint(31, 42), c.button, c.mods);
    std::vector<Seen> s = single.Take(WM_LBUTTONDOWN, WM_MBUTTONDBLCLK);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].message, c.down);
    EXPECT_EQ(s[0].wParam, c.flags);
    EXPECT_EQ(s[0].lParam, MAKELPARAM(30, 40));
    EXPECT_EQ(s[1].message, c.up);
    EXPECT_EQ(s[1].wParam, c.flags & ~UINT(MK_LBUTTON | MK_RBUTTON | MK_MBUTTON));
    EXPECT_EQ(s[1].lParam, MAKELPARAM(31, 42));
  }

  // A move with the button held; the release outside the window (over the
  // other one) still reaches the window it went down in.
  qtsupport::Press(h, CPoint(50, 50));
  qtsupport::Move(h, CPoint(60, 55));
  std::vector<Seen> moves = single.Take(WM_MOUSEMOVE, WM_MOUSEMOVE);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back().wParam, MK_LBUTTON);
  EXPECT_EQ(moves.back().lParam, MAKELPARAM(60, 55));
  other.Take();
  qtsupport::Release(o, CPoint(20, 30));
  std::vector<Seen> outside = single.Take(WM_LBUTTONUP, WM_LBUTTONUP);
  ASSERT_EQ(outside.size(), 1u);
  POINT at{20, 30};
  ::ClientToScreen(o, &at);
  ::ScreenToClient(h, &at);
  EXPECT_EQ(GET_X_LPARAM(outside[0].lParam), at.x);
  EXPECT_GT(GET_X_LPARAM(outside[0].lParam), 400);
  EXPECT_TRUE(other.Take(WM_LBUTTONDOWN, WM_MBUTTONDBLCLK).empty());

  // The wheel: the delta in the high word, the screen point in lParam.
  qtsupport::Wheel(h, CPoint(70, 80), 120, Qt::ControlModifier);
  qtsupport::Wheel(h, CPoint(70, 80), -240);
  std::vector<Seen> wheel = single.Take(WM_MOUSEWHEEL, WM_MOUSEWHEEL);
  ASSERT_EQ(wheel.size(), 2u);
  POINT screen{70, 80};
  ::ClientToScreen(h, &screen);
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[0].wParam), 120);
  EXPECT_EQ(LOWORD(wheel[0].wParam), MK_CONTROL);
  EXPECT_EQ(wheel[0].lParam, MAKELPARAM(screen.x, screen.y));
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel[1].wParam), -240);
}

TEST_F(InputTest, DoubleClicksOnlyForClassesThatAskForThem) {
  Recorder wants, plain;
  HWND d = Make(wants, true, CRect(100, 100, 400, 300));
  HWND p = Make(plain, false, CRect(500, 100, 800, 300));
  for (auto [h, w, second] : {std::tuple{d, &wants, WM_LBUTTONDBLCLK}, std::tuple{p, &plain, WM_LBUTTONDOWN}}) {
    qtsupport::Click(h, CPoint(40, 40));  // activates it
    qtsupport::PumpFor(QApplication::doubleClickInterval() + 50);
    w->Take();
    qtsupport::DoubleClick(h, CPoint(40, 40));
    std::vector<UINT> messages;
    for (const Seen& s : w->Take(WM_LBUTTONDOWN, WM_MBUTTONDBLCLK)) messages.push_back(s.message);
    EXPECT_EQ(messages, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, second, WM_LBUTTONUP}));
  }
}

// Input a control's widget leaves once the program handed it back goes on
// to the widget's parents in Qt, the window's surface among them: the
// program gets each key and click once, at the control, never again at the
// window (a second F10 would take the menu bar back).
TEST_F(InputTest, AControlsInputComesOnce) {
  struct Button : CButton {
    std::vector<Seen> seen;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (Interesting(message)) seen.push_back({message, wParam, lParam, false});
      return CButton::WindowProc(message, wParam, lParam);
    }
  };
  struct Label : CStatic {
    std::vector<Seen> seen;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (Interesting(message)) seen.push_back({message, wParam, lParam, false});
      return CStatic::WindowProc(message, wParam, lParam);
    }
  };
  Recorder w;
  HWND h = Make(w, false, CRect(100, 100, 500, 400));
  Button button;
  Label label;
  ASSERT_TRUE(button.Create("Press", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, CRect(20, 20, 120, 50), &w, 100));
  ASSERT_TRUE(label.Create("Label", WS_CHILD | WS_VISIBLE | SS_NOTIFY, CRect(20, 80, 120, 100), &w, 101));
  ::SetFocus(button.m_hWnd);
  qtsupport::Pump();
  ASSERT_TRUE(qtsupport::WaitFor([&] { return Backend().ControlWidget(button.m_hWnd)->hasFocus(); }));
  w.Take();
  auto messages = [](std::vector<Seen>& seen, UINT first, UINT last) {
    std::vector<UINT> out;
    for (const Seen& s : seen)
      if (s.message >= first && s.message <= last) out.push_back(s.message);
    seen.clear();
    return out;
  };
  // Keys the button has no use for.
  for (Qt::Key key : {Qt::Key_F5, Qt::Key_F10, Qt::Key_Shift}) {
    SCOPED_TRACE(key);
    qtsupport::KeyClick(h, key);
    qtsupport::Pump();
    EXPECT_EQ(messages(button.seen, WM_KEYDOWN, WM_SYSKEYUP).size(), 2u);
    EXPECT_TRUE(messages(w.seen, WM_KEYDOWN, WM_SYSKEYUP).empty());
  }
  // A click on the label, which Qt's label does not take.
  qtsupport::Click(h, CPoint(40, 90));
  EXPECT_EQ(messages(label.seen, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_TRUE(messages(w.seen, WM_LBUTTONDOWN, WM_MBUTTONDBLCLK).empty());
  // The wheel: once at the label, and once at the window it passes it on
  // to as Windows' default handling does.
  button.seen.clear();
  qtsupport::Wheel(h, CPoint(40, 90), 120);
  EXPECT_EQ(messages(label.seen, WM_MOUSEWHEEL, WM_MOUSEWHEEL).size(), 1u);
  EXPECT_EQ(messages(w.seen, WM_MOUSEWHEEL, WM_MOUSEWHEEL).size(), 1u);
  EXPECT_TRUE(messages(button.seen, WM_MOUSEWHEEL, WM_MOUSEWHEEL).empty());
}

}  // namespace
