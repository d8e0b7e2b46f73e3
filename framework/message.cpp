// The message queue: posting, input turned into messages (hit testing,
// mouse activation, the cursor, double clicks, the keyboard state),
// WM_PAINT and WM_TIMER made when the queue is empty, dispatch, the default
// window procedure, focus and activation, dialog keys and modal loops.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "framework/backend.h"
#include "framework/menu.h"
#include "framework/shell.h"
#include "framework/system.h"
#include "framework/window_state.h"
#include "framework/wnd.h"

namespace brv {

HWND NextWindowToPaint(HWND filter);  // paint.cpp
void PaintWindow(HWND h);             // paint.cpp

namespace {

uint64_t Now() { return CurrentBackend().TickCount(); }

// The character of the key-down last taken from the queue, for TranslateMessage.
struct PendingChar {
  HWND window = nullptr;
  WPARAM key = 0;
  UINT ch = 0;
  bool sys = false;
} g_pendingChar;

// A child window dragged by its title bar, and where the pointer holds it
// (the pointer's screen point less the window's top-left).
struct ChildDrag {
  HWND window = nullptr;
  POINT grab{};
} g_drag;

bool HasCaptionAsChild(HWND h) {
  WindowRecord* r = Record(h);
  return r && r->IsChild() && (r->style & WS_CAPTION) == WS_CAPTION;
}

void DragTo(POINT screen) {
  WindowRecord* r = Record(g_drag.window);
  if (!r || !r->parent) return;
  CPoint at(screen.x - g_drag.grab.x, screen.y - g_drag.grab.y);
  CWnd::FromHandle(r->parent)->ScreenToClient(&at);
  CWnd::FromHandle(g_drag.window)->SetWindowPos(nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

UINT MouseKeyFlags() {
  const auto& k = State().keys;
  UINT f = 0;
  if (k[VK_LBUTTON] & 0x80) f |= MK_LBUTTON;
  if (k[VK_RBUTTON] & 0x80) f |= MK_RBUTTON;
  if (k[VK_MBUTTON] & 0x80) f |= MK_MBUTTON;
  if (k[VK_SHIFT] & 0x80) f |= MK_SHIFT;
  if (k[VK_CONTROL] & 0x80) f |= MK_CONTROL;
  return f;
}

void SetKey(UINT vk, bool down) {
  auto& k = State().keys;
  uint8_t& v = k[vk & 0xFF];
  if (down && !(v & 0x80)) v ^= 0x01;  // toggled on each press
  v = static_cast<uint8_t>(down ? (v | 0x80) : (v & ~0x80));
}

void SetModifiers(const RawInput& in) {
  SetKey(VK_SHIFT, in.shift || ((in.kind == RawInput::kKeyDown) && in.key == VK_SHIFT));
  SetKey(VK_CONTROL, in.control || ((in.kind == RawInput::kKeyDown) && in.key == VK_CONTROL));
  SetKey(VK_MENU, in.alt || ((in.kind == RawInput::kKeyDown) && in.key == VK_MENU));
}

// The deepest window under a point of h's client area that does not let
// the point through (statics without SS_NOTIFY, group boxes); hidden and
// disabled children are passed over.
HWND Descend(HWND h, POINT client, POINT screen) {
  WindowRecord* r = Record(h);
  if (!r) return nullptr;
  std::vector<HWND> children = r->children;
  for (HWND c : children) {
    WindowRecord* cr = Record(c);
    if (!cr || !(cr->style & WS_VISIBLE) || (cr->style & WS_DISABLED) || !cr->rect.PtInRect(client)) continue;
    CRect in = NonClientInsets(*cr);
    POINT inner{client.x - cr->rect.left - in.left, client.y - cr->rect.top - in.top};
    if (HWND d = Descend(c, inner, screen)) return d;
  }
  if (!Record(h)) return nullptr;
  LRESULT ht = Send(h, WM_NCHITTEST, 0, MAKELPARAM(static_cast<unsigned>(screen.x), static_cast<unsigned>(screen.y)));
  return ht == HTTRANSPARENT ? nullptr : h;
}

// The window under a screen point; *client is false when the point lies on
// a top-level window's frame, caption or menu bar.
HWND HitTest(POINT screen, bool* client) {
  *client = true;
  for (HWND top : State().topLevels) {
    WindowRecord* r = Record(top);
    if (!r || !(r->style & WS_VISIBLE) || (r->style & WS_MINIMIZE) || !r->rect.PtInRect(screen)) continue;
    CRect in = NonClientInsets(*r);
    CRect c(r->rect.left + in.left, r->rect.top + in.top, r->rect.right - in.right, r->rect.bottom - in.bottom);
    if (!c.PtInRect(screen)) {
      *client = false;
      return top;
    }
    POINT p{screen.x - c.left, screen.y - c.top};
    HWND d = Descend(top, p, screen);
    return d ? d : top;
  }
  return nullptr;
}

LPARAM ClientLParam(HWND h, POINT screen) {
  POINT p = screen;
  CWnd::FromHandle(h)->ScreenToClient(&p);
  return MAKELPARAM(static_cast<unsigned>(p.x), static_cast<unsigned>(p.y));
}

void ActivateTopLevel(HWND top, UINT how) {
  WindowingState& s = State();
  if (!Record(top) || s.active == top) return;
  HWND old = s.active;
  s.active = top;
  auto& tl = s.topLevels;
  WindowRecord* r = Record(top);
  tl.erase(std::remove(tl.begin(), tl.end(), top), tl.end());
  auto pos = tl.begin();
  if (!(r->exStyle & WS_EX_TOPMOST))
    while (pos != tl.end() && Record(*pos) && (Record(*pos)->exStyle & WS_EX_TOPMOST)) ++pos;
  tl.insert(pos, top);
  // Windows keeps owned pop-ups above their owner when it comes forward.
  std::vector<HWND> owned;
  for (HWND w : tl)
    if (w != top && Record(w) && Record(w)->owner == top) owned.push_back(w);
  for (HWND w : owned) {
    tl.erase(std::remove(tl.begin(), tl.end(), w), tl.end());
    tl.insert(std::find(tl.begin(), tl.end(), top), w);
  }
  if (old && Record(old)) Send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(top));
  if (Record(top)) Send(top, WM_ACTIVATE, MAKEWPARAM(how, 0), reinterpret_cast<LPARAM>(old));
  CurrentBackend().WindowChanged(top, kWindowZOrder);
}

// Alt+F6: the activation moves among a program's windows as Windows moves it
// between an editor and its Find box: the root owner, the captioned child
// windows inside it (pages that float over the frame) and the top-level
// windows it owns, in the order they were made; hidden and disabled ones
// are passed over.
void AddCaptionedChildren(HWND h, std::vector<HWND>& members) {
  WindowRecord* r = Record(h);
  if (!r) return;
  for (HWND c : r->children) {
    if (!IsReallyVisible(c) || !IsReallyEnabled(c)) continue;
    if (HasCaptionAsChild(c))
      members.push_back(c);
    else
      AddCaptionedChildren(c, members);
  }
}

HWND RootOwner(HWND h) {
  HWND top = TopLevelOf(h);
  for (WindowRecord* r = Record(top); r && r->owner && Record(r->owner); r = Record(r->owner)) top = r->owner;
  return top;
}

void ActivateNextOwnedWindow(HWND from, bool previous) {
  WindowingState& s = State();
  HWND root = RootOwner(from);
  if (!Record(root) || !IsReallyVisible(root) || !IsReallyEnabled(root)) return;
  std::vector<HWND> members{root};
  AddCaptionedChildren(root, members);
  std::vector<HWND> owned;
  for (HWND t : s.topLevels)
    if (t != root && RootOwner(t) == root && IsReallyVisible(t) && IsReallyEnabled(t)) owned.push_back(t);
  std::sort(owned.begin(), owned.end());  // handles grow with each window made
  for (HWND t : owned) {
    members.push_back(t);
    AddCaptionedChildren(t, members);
  }
  if (members.size() < 2) return;
  // Where the focus is now: the innermost member that holds it.
  size_t at = 0;
  HWND focus = s.focus ? s.focus : s.active;
  for (size_t i = 0; i < members.size(); ++i)
    if (focus && (focus == members[i] || CWnd::FromHandle(members[i])->IsChild(CWnd::FromHandle(focus)))) at = i;
  size_t n = members.size();
  HWND next = members[previous ? (at + n - 1) % n : (at + 1) % n];
  CWnd* w = CWnd::FromHandle(next);
  if (Record(next)->IsChild()) {
    w->SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (Record(next)) ::SetFocus(next);  // a dialog hands it to its control
  } else if (s.active != next) {
    w->SetActiveWindow();  // its WM_ACTIVATE puts the focus inside
  } else {
    ::SetFocus(next);
  }
}

// Turns queued input into its message; false when it was swallowed.
bool Convert(const RawInput& in, MSG* out) {
  WindowingState& s = State();
  uint64_t now = Now();
  if (in.kind == RawInput::kKeyDown || in.kind == RawInput::kKeyUp || in.kind == RawInput::kChar) {
    SetModifiers(in);
    if (in.kind == RawInput::kKeyDown) SetKey(in.key, true);
    if (in.kind == RawInput::kKeyUp) SetKey(in.key, false);
    HWND target = in.target ? in.target : (s.focus ? s.focus : s.active);
    if (!Record(target) || !IsReallyEnabled(target)) return false;
    UINT message;
    LPARAM l = 1;  // repeat count
    bool alt = in.alt && !in.control;
    if (in.kind == RawInput::kKeyDown) {
      message = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;
      if (in.repeat) l |= LPARAM(1) << 30;
      if (alt) l |= LPARAM(1) << 29;
      g_pendingChar = {target, in.key, in.text, alt};
    } else if (in.kind == RawInput::kKeyUp) {
      message = alt ? WM_SYSKEYUP : WM_KEYUP;
      l |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
      if (alt) l |= LPARAM(1) << 29;
    } else {
      message = alt ? WM_SYSCHAR : WM_CHAR;
    }
    *out = MSG{target, message, in.key, l, static_cast<DWORD>(now), s.cursor};
    return true;
  }

  s.cursor = in.screen;
  SetModifiers(in);
  static const UINT kButtonKey[3] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON};
  static const UINT kDown[3] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  static const UINT kUp[3] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
  static const UINT kDouble[3] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
  int button = std::clamp(in.button, 0, 2);
  if (in.kind == RawInput::kButtonDown) SetKey(kButtonKey[button], true);
  if (in.kind == RawInput::kButtonUp) SetKey(kButtonKey[button], false);

  if (g_drag.window) {
    // Windows' move loop: the pointer moves the window and nothing else.
    if (!Record(g_drag.window)) {
      g_drag = {};
    } else {
      if (in.kind == RawInput::kMouseMove || in.kind == RawInput::kButtonUp) DragTo(in.screen);
      if (in.kind == RawInput::kButtonUp && !((s.keys[VK_LBUTTON] | s.keys[VK_RBUTTON] | s.keys[VK_MBUTTON]) & 0x80)) {
        g_drag = {};
        s.pressed = nullptr;
      }
      return false;
    }
  }

  bool client = true;
  HWND target = nullptr;
  if (in.target && Record(in.target))
    target = in.target;
  else if (s.capture && Record(s.capture))
    target = s.capture;
  else if (s.pressed && Record(s.pressed) && (in.kind == RawInput::kMouseMove || in.kind == RawInput::kButtonUp))
    target = s.pressed;  // the window a button went down in keeps the pointer until the release
  else
    target = HitTest(in.screen, &client);
  bool anyButton = (s.keys[VK_LBUTTON] | s.keys[VK_RBUTTON] | s.keys[VK_MBUTTON]) & 0x80;
  if (in.kind == RawInput::kButtonUp && !anyButton) s.pressed = nullptr;
  if (!target) return false;
  HWND top = TopLevelOf(target);
  if (!IsReallyEnabled(target)) {
    if (in.kind == RawInput::kButtonDown) {
      s.pressed = nullptr;
      // A window that a modal window disables answers a click with a beep.
      if (WindowRecord* t = Record(top); t && (t->style & WS_DISABLED)) MessageBeep(0);
    }
    return false;
  }
  LPARAM hit = client ? HTCLIENT : HTCAPTION;
  switch (in.kind) {
    case RawInput::kMouseMove:
      if (!client) return false;
      Send(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      if (!Record(target)) return false;
      *out = MSG{target, WM_MOUSEMOVE, MouseKeyFlags(), ClientLParam(target, in.screen), static_cast<DWORD>(now), in.screen};
      return true;
    case RawInput::kButtonDown: {
      UINT message = kDown[button];
      int result = MA_ACTIVATE;
      if (target != top || s.active != top)
        result = static_cast<int>(Send(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                       MAKELPARAM(static_cast<unsigned>(hit), message)));
      if (!Record(target)) return false;
      if ((result == MA_ACTIVATE || result == MA_ACTIVATEANDEAT || result == 0) && s.active != top)
        ActivateTopLevel(top, WA_CLICKACTIVE);
      if (!Record(target)) return false;
      Send(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(static_cast<unsigned>(hit), message));
      if (!Record(target) || !client) return false;
      if (button == 0 && HasCaptionAsChild(target) &&
          Send(target, WM_NCHITTEST, 0, MAKELPARAM(static_cast<unsigned>(in.screen.x), static_cast<unsigned>(in.screen.y))) ==
              HTCAPTION) {
        // Its title bar: it comes to the top of its siblings and follows
        // the pointer until the button is released.
        if (!Record(target)) return false;
        CWnd::FromHandle(target)->SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        CRect w;
        CWnd::FromHandle(target)->GetWindowRect(&w);
        g_drag = {target, POINT{in.screen.x - w.left, in.screen.y - w.top}};
        s.lastClick.valid = false;
        return false;
      }
      if (result == MA_ACTIVATEANDEAT || result == MA_NOACTIVATEANDEAT) {
        s.lastClick.valid = false;
        return false;
      }
      WindowRecord* r = Record(target);
      ScreenMetrics m = CurrentBackend().Metrics();
      bool dbl = r->cls && (r->cls->style & CS_DBLCLKS) &&
                 (in.doubleClick ||
                  (s.lastClick.valid && s.lastClick.window == target && s.lastClick.button == button &&
                   now - s.lastClick.time <= static_cast<uint64_t>(m.doubleClickTime) &&
                   std::abs(in.screen.x - s.lastClick.screen.x) <= m.doubleClickWidth / 2 &&
                   std::abs(in.screen.y - s.lastClick.screen.y) <= m.doubleClickWidth / 2));
      if (dbl) {
        message = kDouble[button];
        s.lastClick.valid = false;
      } else {
        s.lastClick = {target, button, in.screen, now, true};
      }
      s.pressed = target;
      *out = MSG{target, message, MouseKeyFlags(), ClientLParam(target, in.screen), static_cast<DWORD>(now), in.screen};
      return true;
    }
    case RawInput::kButtonUp:
      if (!client && target != s.capture) return false;
      *out = MSG{target, kUp[button], MouseKeyFlags(), ClientLParam(target, in.screen), static_cast<DWORD>(now), in.screen};
      return true;
    case RawInput::kWheel:
      if (!client && !in.target) return false;
      *out = MSG{target, WM_MOUSEWHEEL, MAKEWPARAM(MouseKeyFlags(), static_cast<unsigned>(static_cast<short>(in.wheelDelta))),
                 MAKELPARAM(static_cast<unsigned>(in.screen.x), static_cast<unsigned>(in.screen.y)),
                 static_cast<DWORD>(now), in.screen};
      return true;
    default: return false;
  }
}

bool Matches(const MSG& m, HWND filter, UINT first, UINT last) {
  if (filter && m.hwnd != filter && !(Record(m.hwnd) && CWnd::FromHandle(filter)->IsChild(CWnd::FromHandle(m.hwnd))))
    return false;
  if ((first || last) && (m.message < first || m.message > last)) return false;
  return true;
}

uint64_t NextTimerDue() {
  uint64_t due = UINT64_MAX;
  for (const TimerRecord& t : State().timers) due = std::min(due, t.due);
  return due;
}

}  // namespace

void PostInput(const RawInput& input) {
  QueueItem q;
  q.raw = true;
  q.input = input;
  State().queue.push_back(q);
}

uint64_t NextTimerTick() { return NextTimerDue(); }

}  // namespace brv

using namespace brv;

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return Send(window, message, wParam, lParam);
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !Record(window)) return FALSE;
  QueueItem q;
  q.msg = MSG{window, message, wParam, lParam, static_cast<DWORD>(CurrentBackend().TickCount()), State().cursor};
  State().queue.push_back(q);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  State().quit = true;
  State().quitCode = exitCode;
}

BOOL PeekMessage(MSG* msg, HWND window, UINT first, UINT last, UINT remove) {
  WindowingState& s = State();
  if (s.exited) return FALSE;
  for (size_t i = 0; i < s.queue.size();) {
    if (s.queue[i].raw) {
      // Input becomes its message (with its side effects) exactly once.
      RawInput in = s.queue[i].input;
      MSG converted{};
      bool keep = Convert(in, &converted);
      if (i >= s.queue.size()) continue;
      if (!keep) {
        s.queue.erase(s.queue.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
      s.queue[i].raw = false;
      s.queue[i].msg = converted;
    }
    if (Matches(s.queue[i].msg, window, first, last)) {
      if (msg) *msg = s.queue[i].msg;
      if (remove & PM_REMOVE) s.queue.erase(s.queue.begin() + static_cast<std::ptrdiff_t>(i));
      return TRUE;
    }
    ++i;
  }
  if (s.quit && !window) {
    if (msg) *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, 0, s.cursor};
    if (remove & PM_REMOVE) s.quit = false;
    return TRUE;
  }
  if ((!first && !last) || (WM_PAINT >= first && WM_PAINT <= last)) {
    if (HWND h = NextWindowToPaint(window)) {
      if (msg) *msg = MSG{h, WM_PAINT, 0, 0, static_cast<DWORD>(CurrentBackend().TickCount()), s.cursor};
      return TRUE;
    }
  }
  if ((!first && !last) || (WM_TIMER >= first && WM_TIMER <= last)) {
    uint64_t now = CurrentBackend().TickCount();
    TimerRecord* due = nullptr;
    for (TimerRecord& t : s.timers) {
      if (t.due > now) continue;
      if (window && t.window != window && !CWnd::FromHandle(window)->IsChild(CWnd::FromHandle(t.window))) continue;
      if (!due || t.due < due->due) due = &t;
    }
    if (due) {
      if (msg)
        *msg = MSG{due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), static_cast<DWORD>(now), s.cursor};
      // However many intervals passed, one tick; the next falls an interval on.
      if (remove & PM_REMOVE) due->due = now + due->interval;
      return TRUE;
    }
  }
  return FALSE;
}

BOOL GetMessage(MSG* msg, HWND window, UINT first, UINT last) {
  for (;;) {
    if (PeekMessage(msg, window, first, last, PM_REMOVE)) return msg->message != WM_QUIT;
    if (State().exited || !CurrentBackend().WaitForInput(nullptr, NextTimerTick())) {
      // Nothing will ever come: the loop ends as if asked to quit.
      *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(State().quitCode), 0, 0, State().cursor};
      return FALSE;
    }
  }
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  PendingChar p = g_pendingChar;
  g_pendingChar = {};
  if (!p.ch || p.window != msg->hwnd || p.key != msg->wParam) return FALSE;
  QueueItem q;
  q.msg = MSG{msg->hwnd, p.sys ? static_cast<UINT>(WM_SYSCHAR) : static_cast<UINT>(WM_CHAR), p.ch, msg->lParam,
              msg->time, msg->pt};
  State().queue.push_front(q);
  return TRUE;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_PAINT) {
    PaintWindow(msg->hwnd);
    return 0;
  }
  if (msg->message == WM_TIMER && msg->lParam) {
    if (!Record(msg->hwnd)) return 0;
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
    return 0;
  }
  return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT CallWindowProc(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(window, message, wParam, lParam) : DefWindowProc(window, message, wParam, lParam);
}

LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = Record(window);
  if (!r) return 0;
  switch (message) {
    case WM_PAINT: {
      CWnd* w = CWnd::FromHandle(window);
      PAINTSTRUCT ps;
      w->BeginPaint(&ps);
      w->EndPaint(&ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = r->cls ? r->cls->background : nullptr;
      if (!brush) return 0;
      uintptr_t v = reinterpret_cast<uintptr_t>(brush);
      if (v > 0 && v <= COLOR_INFOBK + 1) brush = GetSysColorBrush(static_cast<int>(v - 1));
      CDC* dc = CDC::FromHandle(reinterpret_cast<HDC>(wParam));
      if (!dc) return 0;
      CRect client;
      CWnd::FromHandle(window)->GetClientRect(&client);
      dc->FillRect(&client, brush);
      return 1;
    }
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) Send(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_MOUSEACTIVATE:
      if (r->IsChild() && r->parent) {
        LRESULT p = Send(r->parent, WM_MOUSEACTIVATE, wParam, lParam);
        if (p) return p;
      }
      return MA_ACTIVATE;
    case WM_SETCURSOR:
      if (r->IsChild() && r->parent && Send(r->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
      if (static_cast<short>(LOWORD(lParam)) == HTCLIENT && r->cls && r->cls->cursor) {
        ::SetCursor(r->cls->cursor);
        return TRUE;
      }
      if (static_cast<short>(LOWORD(lParam)) == HTCLIENT && !r->IsChild()) {
        ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
        return TRUE;
      }
      return FALSE;
    case WM_MOUSEWHEEL:
      if (r->IsChild() && r->parent) return Send(r->parent, WM_MOUSEWHEEL, wParam, lParam);
      return 0;
    case WM_NCHITTEST: {
      // A child window's frame and title bar are its own (a top-level
      // window's belong to the desktop).
      if (!HasCaptionAsChild(window)) return HTCLIENT;
      POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      CRect w;
      CWnd::FromHandle(window)->GetWindowRect(&w);
      CRect in = NonClientInsets(*r);
      CRect inner(w.left + in.left, w.top + in.top, w.right - in.right, w.bottom - in.bottom);
      if (inner.PtInRect(p)) return HTCLIENT;
      CRect bar(inner.left, inner.top - CurrentBackend().Metrics().caption, inner.right, inner.top);
      return bar.PtInRect(p) ? HTCAPTION : HTBORDER;
    }
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) {
        HWND focus = State().focus;
        if (!focus || TopLevelOf(focus) != window) ::SetFocus(window);
      }
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F6 && (lParam & (LPARAM(1) << 29))) ActivateNextOwnedWindow(window, GetKeyState(VK_SHIFT) < 0);
      return 0;
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(r->text.size());
    case WM_SETTEXT:
      SetWindowText(window, reinterpret_cast<LPCSTR>(lParam));
      return TRUE;
    case WM_GETTEXT: return GetWindowText(window, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
    case WM_CTLCOLORSTATIC: return 0;
    default: return 0;
  }
}

// ---------------------------------------------------------------- keyboard

short GetKeyState(int virtualKey) {
  uint8_t v = State().keys[static_cast<size_t>(virtualKey) & 0xFF];
  return static_cast<short>(((v & 0x80) ? 0x8000 : 0) | (v & 0x01));
}

short GetAsyncKeyState(int virtualKey) { return static_cast<short>(GetKeyState(virtualKey) & 0x8000); }

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  *point = State().cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  State().cursor = POINT{x, y};
  return TRUE;
}

HWND WindowFromPoint(POINT screen) {
  bool client = true;
  return HitTest(screen, &client);
}

// ---------------------------------------------------------------- focus

HWND GetFocus() { return State().focus; }

HWND SetFocus(HWND window) {
  WindowingState& s = State();
  HWND old = s.focus;
  if (window == old) return old;
  if (window && !Record(window)) return nullptr;
  if (window) {
    HWND top = TopLevelOf(window);
    if (s.active != top && IsReallyVisible(top)) {
      ActivateTopLevel(top, WA_ACTIVE);
      if (s.focus == window) return old;
      old = s.focus;
    }
  }
  s.focus = window;
  if (old && Record(old)) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window && Record(window) && s.focus == window) {
    // A dialog remembers which of its controls had the focus.
    for (WindowRecord* p = Record(Record(window)->parent); p; p = p->IsChild() ? Record(p->parent) : nullptr)
      if (p->cls && p->cls->name == WC_DIALOG) {
        p->lastFocus = window;
        break;
      }
    Send(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  if (old && Record(old)) {
    if (Record(old)->control) ControlChanged(old);
  }
  if (window && Record(window)) {
    if (Record(window)->control) ControlChanged(window);
    else CurrentBackend().WindowChanged(window, kWindowFocus);
  }
  return old;
}

HWND GetActiveWindow() { return State().active; }
HWND GetCapture() { return State().capture; }

HWND SetCapture(HWND window) {
  HWND old = State().capture;
  State().capture = Record(window) ? window : nullptr;
  return old;
}

BOOL ReleaseCapture() {
  State().capture = nullptr;
  return TRUE;
}

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }
CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }

CWnd* CWnd::SetActiveWindow() {
  HWND old = State().active;
  HWND top = TopLevelOf(m_hWnd);
  if (top) ActivateTopLevel(top, WA_ACTIVE);
  return FromHandle(old);
}

CWnd* CWnd::GetActiveWindow() { return FromHandle(State().active); }
BOOL CWnd::SetForegroundWindow() {
  SetActiveWindow();
  return TRUE;
}
CWnd* CWnd::GetForegroundWindow() { return GetActiveWindow(); }

void CWnd::BringWindowToTop() {
  SetWindowPos(&wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (!(GetStyle() & WS_CHILD)) SetActiveWindow();
}

// ---------------------------------------------------------------- timers

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC proc) {
  if (!Record(window)) return 0;
  UINT interval = std::max<UINT>(milliseconds, 10);
  uint64_t due = CurrentBackend().TickCount() + interval;
  for (TimerRecord& t : State().timers) {
    if (t.window == window && t.id == id) {
      // Setting an armed timer again restarts it.
      t.interval = interval;
      t.due = due;
      t.proc = proc;
      return id ? id : 1;
    }
  }
  State().timers.push_back({window, id, interval, due, proc});
  return id ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  auto& timers = State().timers;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const TimerRecord& t) { return t.window == window && t.id == id; });
  if (it == timers.end()) return FALSE;
  timers.erase(it);
  auto& q = State().queue;
  q.erase(std::remove_if(q.begin(), q.end(),
                         [&](const QueueItem& i) {
                           return !i.raw && i.msg.hwnd == window && i.msg.message == WM_TIMER && i.msg.wParam == id;
                         }),
          q.end());
  return TRUE;
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT milliseconds, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, milliseconds, proc); }
BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

// ---------------------------------------------------------------- dialog keys

namespace {

UINT DlgCode(HWND h, MSG* msg) {
  return static_cast<UINT>(Send(h, WM_GETDLGCODE, msg ? msg->wParam : 0, reinterpret_cast<LPARAM>(msg)));
}

bool TabStop(HWND h) {
  WindowRecord* r = Record(h);
  return r && (r->style & WS_TABSTOP) && (r->style & WS_VISIBLE) && !(r->style & WS_DISABLED);
}

HWND NextTabItem(HWND dialog, HWND from, bool previous) {
  WindowRecord* d = Record(dialog);
  if (!d || d->children.empty()) return nullptr;
  const auto& list = d->children;
  int n = static_cast<int>(list.size());
  int start = static_cast<int>(std::find(list.begin(), list.end(), from) - list.begin());
  if (start >= n) start = previous ? 0 : n - 1;
  for (int k = 1; k <= n; ++k) {
    int i = ((start + (previous ? -k : k)) % n + n) % n;
    if (TabStop(list[static_cast<size_t>(i)])) return list[static_cast<size_t>(i)];
  }
  return nullptr;
}

HWND DirectChild(HWND dialog, HWND h) {
  for (WindowRecord* r = Record(h); r && r->IsChild(); r = Record(r->parent))
    if (r->parent == dialog) return r->handle;
  return nullptr;
}

void FocusControl(HWND h) {
  ::SetFocus(h);
  if (EditData* e = ControlOf<EditData>(h)) {
    e->selStart = 0;
    e->selEnd = static_cast<int>(Record(h)->text.size());
    ControlChanged(h);
  }
}

// Moves among the radio buttons of a group with the arrow keys.
bool MoveInRadioGroup(HWND dialog, HWND from, bool previous) {
  WindowRecord* d = Record(dialog);
  WindowRecord* f = Record(from);
  if (!d || !f || !f->control || f->control->Type() != ControlType::kButton) return false;
  UINT type = f->style & BS_TYPEMASK;
  if (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON) return false;
  const auto& list = d->children;
  auto it = std::find(list.begin(), list.end(), from);
  if (it == list.end()) return false;
  size_t first = static_cast<size_t>(it - list.begin());
  while (first > 0 && !(Record(list[first])->style & WS_GROUP)) --first;
  size_t last = first + 1;
  while (last < list.size() && !(Record(list[last])->style & WS_GROUP)) ++last;
  size_t n = last - first;
  size_t at = static_cast<size_t>(it - list.begin()) - first;
  for (size_t k = 1; k < n; ++k) {
    size_t i = first + (previous ? (at + n - k) % n : (at + k) % n);
    WindowRecord* c = Record(list[i]);
    if (c && (c->style & WS_VISIBLE) && !(c->style & WS_DISABLED)) {
      ::SetFocus(list[i]);
      if ((c->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON) Send(list[i], BM_CLICK, 0, 0);
      return true;
    }
  }
  return false;
}

}  // namespace

BOOL IsDialogMessage(HWND dialog, MSG* msg) {
  if (!msg || !Record(dialog)) return FALSE;
  if (msg->hwnd != dialog && !CWnd::FromHandle(dialog)->IsChild(CWnd::FromHandle(msg->hwnd))) return FALSE;
  if (msg->message != WM_KEYDOWN) return FALSE;
  UINT code = DlgCode(msg->hwnd, msg);
  switch (msg->wParam) {
    case VK_TAB: {
      if (code & DLGC_WANTTAB) return FALSE;
      HWND next = NextTabItem(dialog, DirectChild(dialog, msg->hwnd), GetKeyState(VK_SHIFT) < 0);
      if (next) FocusControl(next);
      return TRUE;
    }
    case VK_RETURN: {
      if (code & DLGC_WANTALLKEYS) return FALSE;
      UINT id = IDOK;
      HWND focus = State().focus;
      if (focus && (DlgCode(focus, nullptr) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) &&
          DirectChild(dialog, focus) == focus) {
        id = static_cast<UINT>(Record(focus)->id);
      } else {
        LRESULT def = Send(dialog, DM_GETDEFID, 0, 0);
        if (HIWORD(def) == DC_HASDEFID) id = LOWORD(def);
      }
      HWND control = GetDlgItem(dialog, static_cast<int>(id));
      if (control && !IsReallyEnabled(control)) {
        MessageBeep(0);
        return TRUE;
      }
      Send(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
      return TRUE;
    }
    case VK_ESCAPE: {
      HWND control = nullptr;
      if (WindowRecord* d = Record(dialog))
        for (HWND c : d->children)
          if (Record(c) && Record(c)->id == IDCANCEL) control = c;
      if (control && !IsReallyEnabled(control)) {
        MessageBeep(0);
        return TRUE;
      }
      Send(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(control));
      return TRUE;
    }
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      if (code & (DLGC_WANTARROWS | DLGC_WANTALLKEYS)) return FALSE;
      return MoveInRadioGroup(dialog, msg->hwnd, msg->wParam == VK_LEFT || msg->wParam == VK_UP) ? TRUE : FALSE;
    default: return FALSE;
  }
}

// ---------------------------------------------------------------- modal loops

BOOL CWnd::ContinueModal() { return continueModal_ ? TRUE : FALSE; }

void CWnd::EndModalLoop(int result) {
  modalResult_ = result;
  continueModal_ = false;
}

int CWnd::RunModalLoop(DWORD) {
  HWND me = m_hWnd;
  continueModal_ = true;
  modalResult_ = -1;
  while (Record(me) && ContinueModal()) {
    MSG msg;
    while (Record(me) && ContinueModal() && !::PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!CurrentBackend().WaitForInput(me, NextTimerTick())) {
        // No input will come: the dialog ends as cancelled, never hangs.
        if (Record(me) && ContinueModal()) EndModalLoop(IDCANCEL);
      }
    }
    if (!Record(me) || !ContinueModal()) break;
    if (!AfxPumpMessage()) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      if (continueModal_) EndModalLoop(IDCANCEL);
      break;
    }
  }
  continueModal_ = false;
  return modalResult_;
}

// ---------------------------------------------------------------- metrics

int GetSystemMetrics(int index) {
  ScreenMetrics m = CurrentBackend().Metrics();
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXMAXIMIZED: return m.screenWidth;
    case SM_CYSCREEN:
    case SM_CYMAXIMIZED: return m.screenHeight;
    case SM_CYFULLSCREEN: return m.screenHeight - m.caption;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return m.scrollBar;
    case SM_CYCAPTION: return m.caption;
    case SM_CXBORDER:
    case SM_CYBORDER: return m.border;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return m.dialogFrame;
    case SM_CXFRAME:
    case SM_CYFRAME: return m.sizingFrame;
    case SM_CXEDGE:
    case SM_CYEDGE: return m.edge;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CYMENU: return m.menuBar;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return m.doubleClickWidth;
    default: return 0;
  }
}

COLORREF GetSysColor(int index) {
  switch (index) {
    case COLOR_SCROLLBAR: return RGB(212, 208, 200);
    case COLOR_BACKGROUND: return RGB(58, 110, 165);
    case COLOR_ACTIVECAPTION: return RGB(10, 36, 106);
    case COLOR_INACTIVECAPTION: return RGB(128, 128, 128);
    case COLOR_MENU: return RGB(212, 208, 200);
    case COLOR_WINDOW: return RGB(255, 255, 255);
    case COLOR_WINDOWFRAME: return RGB(0, 0, 0);
    case COLOR_MENUTEXT: return RGB(0, 0, 0);
    case COLOR_WINDOWTEXT: return RGB(0, 0, 0);
    case COLOR_CAPTIONTEXT: return RGB(255, 255, 255);
    case COLOR_ACTIVEBORDER: return RGB(212, 208, 200);
    case COLOR_INACTIVEBORDER: return RGB(212, 208, 200);
    case COLOR_APPWORKSPACE: return RGB(128, 128, 128);
    case COLOR_HIGHLIGHT: return RGB(10, 36, 106);
    case COLOR_HIGHLIGHTTEXT: return RGB(255, 255, 255);
    case COLOR_BTNFACE: return RGB(212, 208, 200);
    case COLOR_BTNSHADOW: return RGB(128, 128, 128);
    case COLOR_GRAYTEXT: return RGB(128, 128, 128);
    case COLOR_BTNTEXT: return RGB(0, 0, 0);
    case COLOR_INACTIVECAPTIONTEXT: return RGB(212, 208, 200);
    case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
    case COLOR_3DDKSHADOW: return RGB(64, 64, 64);
    case COLOR_3DLIGHT: return RGB(212, 208, 200);
    case COLOR_INFOTEXT: return RGB(0, 0, 0);
    case COLOR_INFOBK: return RGB(255, 255, 225);
    default: return RGB(0, 0, 0);
  }
}

HBRUSH GetSysColorBrush(int index) {
  // One brush per colour, made again should a reset of the drawing objects drop it.
  static HBRUSH brushes[COLOR_INFOBK + 1] = {};
  if (index < 0 || index > COLOR_INFOBK) return nullptr;
  HBRUSH& b = brushes[index];
  if (!b || GetObjectType(reinterpret_cast<HGDIOBJ>(b)) != OBJ_BRUSH) {
    CBrush brush;
    brush.CreateSolidBrush(GetSysColor(index));
    b = reinterpret_cast<HBRUSH>(brush.Detach());
  }
  return b;
}

LONG GetDialogBaseUnits() {
  CSize u = DialogBaseUnits();
  return static_cast<LONG>(MAKELONG(static_cast<unsigned>(u.cx), static_cast<unsigned>(u.cy)));
}

BOOL MapDialogRect(HWND, LPRECT rect) {
  if (!rect) return FALSE;
  CSize u = DialogBaseUnits();
  auto x = [&](LONG v) { return static_cast<LONG>((static_cast<long long>(v) * u.cx + (v >= 0 ? 2 : -2)) / 4); };
  auto y = [&](LONG v) { return static_cast<LONG>((static_cast<long long>(v) * u.cy + (v >= 0 ? 4 : -4)) / 8); };
  rect->left = x(rect->left);
  rect->right = x(rect->right);
  rect->top = y(rect->top);
  rect->bottom = y(rect->bottom);
  return TRUE;
}
