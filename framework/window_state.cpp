#include "framework/window_state.h"

#include <algorithm>

#include "framework/backend.h"

namespace brv {

void ResetMenus();          // menu.cpp
void ResetClipboardState(); // clipboard.cpp
void ResetShellState();     // shell.cpp

WindowingState& State() {
  static WindowingState state;
  return state;
}

WindowRecord* Record(HWND window) {
  if (!window) return nullptr;
  auto& windows = State().windows;
  auto it = windows.find(window);
  return it == windows.end() ? nullptr : it->second.get();
}

HWND TopLevelOf(HWND window) {
  WindowRecord* r = Record(window);
  while (r && r->IsChild() && r->parent) r = Record(r->parent);
  return r ? r->handle : nullptr;
}

CRect NonClientInsets(const WindowRecord& r) {
  ScreenMetrics m = CurrentBackend().Metrics();
  CRect in(0, 0, 0, 0);
  auto add = [&](int n) { in.left += n, in.top += n, in.right += n, in.bottom += n; };
  bool caption = (r.style & WS_CAPTION) == WS_CAPTION;
  if (!r.IsChild() && (r.style & WS_MAXIMIZE)) {
    // A maximised window's frame and caption lie outside the screen.
    if (r.menu) in.top += m.menuBar;
    return in;
  }
  if (r.style & WS_THICKFRAME)
    add(m.sizingFrame);
  else if ((r.style & WS_DLGFRAME) || (r.exStyle & WS_EX_DLGMODALFRAME) ||
           (!r.IsChild() && (r.style & DS_MODALFRAME) && r.cls && r.cls->name == WC_DIALOG))
    add(m.dialogFrame);
  else if (r.style & WS_BORDER)
    add(m.border);
  if (r.exStyle & WS_EX_CLIENTEDGE) add(m.edge);
  if (r.exStyle & WS_EX_STATICEDGE) add(1);
  if (caption) in.top += m.caption;
  if (!r.IsChild() && r.menu) in.top += m.menuBar;
  return in;
}

CPoint KeepInside(const CRect& window, const CRect& area) {
  int x = window.left, y = window.top;
  if (x + window.Width() > area.right) x = area.right - window.Width();
  if (x < area.left) x = area.left;
  if (y + window.Height() > area.bottom) y = area.bottom - window.Height();
  if (y < area.top) y = area.top;
  return CPoint(x, y);
}

namespace {

// The client area's top-left in the top-level window's client coordinates.
CPoint ClientOrigin(const WindowRecord& r) {
  if (!r.IsChild() || !r.parent) return CPoint(0, 0);
  const WindowRecord* p = Record(r.parent);
  if (!p) return CPoint(0, 0);
  CPoint o = ClientOrigin(*p);
  CRect in = NonClientInsets(r);
  return CPoint(o.x + r.rect.left + in.left, o.y + r.rect.top + in.top);
}

CSize ClientSize(const WindowRecord& r) {
  CRect in = NonClientInsets(r);
  return CSize(std::max(0, r.rect.Width() - in.left - in.right), std::max(0, r.rect.Height() - in.top - in.bottom));
}

bool IsControlClass(const WindowRecord& r) {
  if (!r.cls) return false;
  const std::string& n = r.cls->name;
  return n == WC_BUTTON || n == WC_STATIC || n == WC_EDIT || n == WC_COMBOBOX || n == TRACKBAR_CLASS ||
         n == PROGRESS_CLASS || n == WC_LISTVIEW || n == WC_TABCONTROL || n == UPDOWN_CLASS;
}

}  // namespace

CRect ClientOnSurface(HWND window) {
  WindowRecord* r = Record(window);
  if (!r) return CRect();
  return CRect(ClientOrigin(*r), ClientSize(*r));
}

CRect WindowOnSurface(HWND window) {
  WindowRecord* r = Record(window);
  if (!r) return CRect();
  if (!r->IsChild()) {
    CRect in = NonClientInsets(*r);
    return CRect(-in.left, -in.top, r->rect.Width() - in.left, r->rect.Height() - in.top);
  }
  WindowRecord* p = Record(r->parent);
  CPoint o = p ? ClientOrigin(*p) : CPoint(0, 0);
  CRect w = r->rect;
  w.OffsetRect(o.x, o.y);
  return w;
}

bool IsReallyVisible(HWND window) {
  for (WindowRecord* r = Record(window); r; r = r->IsChild() ? Record(r->parent) : nullptr) {
    if (!(r->style & WS_VISIBLE)) return false;
    if (!r->IsChild()) return true;
  }
  return false;
}

bool IsReallyEnabled(HWND window) {
  for (WindowRecord* r = Record(window); r; r = r->IsChild() ? Record(r->parent) : nullptr) {
    if (r->style & WS_DISABLED) return false;
    if (!r->IsChild()) return true;
  }
  return false;
}

// What of a window is visible: its client area (or whole rectangle) inside
// every ancestor's client area, without the siblings above it at every level
// (controls excepted: a dialog's controls draw over each other as on
// Windows), and without its visible children when clipChildren.
static Region VisibleOf(HWND window, bool client, bool clipChildren) {
  if (!IsReallyVisible(window)) return Region();
  WindowRecord* r = Record(window);
  Region visible(client ? ClientOnSurface(window) : WindowOnSurface(window));
  for (WindowRecord* w = r; w && w->IsChild();) {
    WindowRecord* p = Record(w->parent);
    if (!p) break;
    visible = visible.Intersect(Region(ClientOnSurface(p->handle)));
    for (HWND s : p->children) {
      if (s == w->handle) break;
      WindowRecord* sr = Record(s);
      if (sr && (sr->style & WS_VISIBLE) && !IsControlClass(*sr))
        visible = visible.Subtract(Region(WindowOnSurface(s)));
    }
    w = p;
  }
  if (Surface* s = SurfaceOf(window)) visible = visible.Intersect(Region(s->Bounds()));
  if (clipChildren)
    for (HWND c : r->children) {
      WindowRecord* cr = Record(c);
      if (cr && (cr->style & WS_VISIBLE)) visible = visible.Subtract(Region(WindowOnSurface(c)));
    }
  return visible;
}

Region VisibleRegion(HWND window, bool clipChildren) { return VisibleOf(window, true, clipChildren); }
Region VisibleWindowRegion(HWND window) { return VisibleOf(window, false, false); }

Surface* SurfaceOf(HWND window) {
  WindowRecord* top = Record(TopLevelOf(window));
  return top ? top->surface.get() : nullptr;
}

void ResetWindowing() {
  WindowingState& s = State();
  // Top-level windows first (their children go with them), then anything
  // left; a program that ended through the exit hook gets no messages.
  for (int guard = 0; guard < 10000 && !s.windows.empty(); ++guard) {
    HWND victim = s.topLevels.empty() ? s.windows.begin()->first : s.topLevels.back();
    if (!DestroyWindow(victim)) {
      // A window stuck in its destruction: drop it without messages.
      if (WindowRecord* r = Record(victim)) {
        if (r->object) r->object->m_hWnd = nullptr;
        if (r->wrapper) r->wrapper->m_hWnd = nullptr;
      }
      s.windows.erase(victim);
      s.topLevels.erase(std::remove(s.topLevels.begin(), s.topLevels.end(), victim), s.topLevels.end());
    }
  }
  s.windows.clear();
  s.topLevels.clear();
  s.queue.clear();
  s.timers.clear();
  s.focus = s.active = s.capture = s.pressed = nullptr;
  s.caret = {};
  s.keys.fill(0);
  s.cursor = POINT{0, 0};
  s.cursorShape = nullptr;
  s.quit = false;
  s.quitCode = 0;
  s.current.clear();
  s.lastClick = {};
  s.exited = false;
  ResetMenus();
  ResetClipboardState();
  ResetShellState();
}

}  // namespace brv
