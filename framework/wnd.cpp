#include "framework/wnd.h"

#include <algorithm>
#include <cstring>

#include "framework/ascii.h"
#include "framework/backend.h"
#include "framework/menu.h"
#include "framework/system.h"
#include "framework/window_state.h"

namespace brv {

void InvalidateWindow(HWND h, const RECT* rect, bool erase, bool allChildren);  // paint.cpp

void MainWindowGone(CWnd* window);  // app.cpp

namespace {

HBRUSH SysBrush(int index) { return reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(index + 1)); }

void RegisterBuiltIn(const char* name, UINT style, WNDPROC proc, HBRUSH background) {
  auto& classes = State().classes;
  if (classes.count(name)) return;
  auto c = std::make_unique<WindowClass>();
  c->name = name;
  c->style = style;
  c->proc = proc;
  c->background = background;
  classes[name] = std::move(c);
}

void RegisterBuiltInClasses() {
  RegisterBuiltIn(AFX_WND_CLASS, 0, nullptr, nullptr);
  RegisterBuiltIn(AFX_WNDFRAMEORVIEW_CLASS, CS_HREDRAW | CS_VREDRAW, nullptr, SysBrush(COLOR_WINDOW));
  RegisterBuiltIn(WC_DIALOG, CS_SAVEBITS, &DialogProc, SysBrush(COLOR_BTNFACE));
  RegisterBuiltIn(WC_BUTTON, CS_DBLCLKS, &ButtonProc, nullptr);
  RegisterBuiltIn(WC_STATIC, 0, &StaticProc, nullptr);
  RegisterBuiltIn(WC_EDIT, CS_DBLCLKS, &EditProc, nullptr);
  RegisterBuiltIn(WC_COMBOBOX, CS_DBLCLKS, &ComboProc, nullptr);
  RegisterBuiltIn(TRACKBAR_CLASS, 0, &SliderProc, nullptr);
  RegisterBuiltIn(PROGRESS_CLASS, 0, &ProgressProc, nullptr);
  RegisterBuiltIn(UPDOWN_CLASS, 0, &SpinProc, nullptr);
  RegisterBuiltIn(WC_LISTVIEW, CS_DBLCLKS, &ListProc, nullptr);
  RegisterBuiltIn(WC_TABCONTROL, CS_DBLCLKS, &TabProc, nullptr);
}

uint64_t Now() { return CurrentBackend().TickCount(); }

constexpr int kMaxTopLevelSize = 16384;

void SendSizeMove(HWND h, bool sized, bool moved) {
  WindowRecord* r = Record(h);
  if (!r) return;
  CRect c = ClientOnSurface(h);
  if (sized) {
    UINT type = (!r->IsChild() && (r->style & WS_MAXIMIZE)) ? SIZE_MAXIMIZED : SIZE_RESTORED;
    Send(h, WM_SIZE, type, MAKELPARAM(static_cast<unsigned>(c.Width()), static_cast<unsigned>(c.Height())));
  }
  if ((r = Record(h)) && moved) {
    CPoint o(0, 0);
    CWnd::FromHandle(h)->ClientToScreen(&o);
    if (r->IsChild()) {
      CPoint p = o;
      if (WindowRecord* pr = Record(r->parent)) CWnd::FromHandle(pr->handle)->ScreenToClient(&p);
      o = p;
    }
    Send(h, WM_MOVE, 0, MAKELPARAM(static_cast<unsigned>(o.x), static_cast<unsigned>(o.y)));
  }
}

// Keeps a top-level window's surface the size of its client area.
void FitSurface(WindowRecord& r) {
  if (r.IsChild()) return;
  CRect c = ClientOnSurface(r.handle);
  int w = std::max(0, c.Width()), h = std::max(0, c.Height());
  if (!r.surface) r.surface = std::make_unique<Surface>(w, h, 0x00FFFFFF);
  if (r.surface->Width() == w && r.surface->Height() == h) return;
  Surface grown(w, h, 0x00FFFFFF);
  for (int y = 0; y < std::min(h, r.surface->Height()); ++y)
    std::copy_n(r.surface->Row(y), std::min(w, r.surface->Width()), grown.Row(y));
  *r.surface = std::move(grown);
}

void InsertTopLevel(HWND h) {
  auto& tl = State().topLevels;
  tl.erase(std::remove(tl.begin(), tl.end(), h), tl.end());
  WindowRecord* r = Record(h);
  bool topmost = r && (r->exStyle & WS_EX_TOPMOST);
  auto pos = tl.begin();
  if (!topmost)
    while (pos != tl.end() && Record(*pos) && (Record(*pos)->exStyle & WS_EX_TOPMOST)) ++pos;
  tl.insert(pos, h);
}

// Invalidates what a child covered: in its parent and in every window
// under it there, even where the parent clips its children (a page over
// the views leaves no picture of itself on them).
void ExposeInParent(const WindowRecord& r) {
  if (!r.IsChild() || !(r.style & WS_VISIBLE)) return;
  if (WindowRecord* p = Record(r.parent)) InvalidateWindow(p->handle, &r.rect, true, true);
}

void NotifyBackend(WindowRecord& r, unsigned what) {
  if (r.IsChild()) {
    if (r.control) ControlChanged(r.handle);
    else CurrentBackend().WindowChanged(r.handle, what);
  } else {
    CurrentBackend().WindowChanged(r.handle, what);
  }
}

bool DestroyImpl(HWND h);

void DestroyChildrenAndSelf(HWND h) {
  WindowRecord* r = Record(h);
  if (!r) return;
  Send(h, WM_DESTROY, 0, 0);
  if ((r = Record(h)) == nullptr) return;
  std::vector<HWND> children = r->children;
  for (HWND c : children) DestroyImpl(c);
  WindowingState& s = State();
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [&](const TimerRecord& t) { return t.window == h; }),
                 s.timers.end());
  s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(),
                               [&](const QueueItem& q) { return (!q.raw && q.msg.hwnd == h) || (q.raw && q.input.target == h); }),
                s.queue.end());
  Send(h, WM_NCDESTROY, 0, 0);
  if ((r = Record(h)) == nullptr) return;
  CWnd* object = r->object;
  r->object = nullptr;
  if (object) {
    object->m_hWnd = nullptr;
    MainWindowGone(object);
    object->PostNcDestroy();
  }
}

bool DestroyImpl(HWND h) {
  WindowRecord* r = Record(h);
  if (!r || r->destroying) return false;
  r->destroying = true;
  WindowingState& s = State();
  // Owned windows go first.
  std::vector<HWND> owned;
  for (HWND t : s.topLevels)
    if (Record(t) && Record(t)->owner == h) owned.push_back(t);
  for (HWND t : owned) DestroyImpl(t);
  r = Record(h);
  if (!r) return true;
  bool wasActive = s.active == h;
  HWND owner = r->owner;
  if (s.focus && (s.focus == h || CWnd::FromHandle(h)->IsChild(CWnd::FromHandle(s.focus)))) s.focus = nullptr;
  if (r->style & WS_VISIBLE) {
    ExposeInParent(*r);
    r->style &= ~DWORD(WS_VISIBLE);
  }
  DestroyChildrenAndSelf(h);
  r = Record(h);
  if (!r) return true;
  if (s.capture == h) s.capture = nullptr;
  if (s.pressed == h) s.pressed = nullptr;
  if (s.active == h) s.active = nullptr;
  if (s.focus == h) s.focus = nullptr;
  if (s.caret.owner == h) s.caret = {};
  if (r->IsChild()) {
    if (WindowRecord* p = Record(r->parent))
      p->children.erase(std::remove(p->children.begin(), p->children.end(), h), p->children.end());
    if (r->control) CurrentBackend().ControlDestroyed(h);
  } else {
    s.topLevels.erase(std::remove(s.topLevels.begin(), s.topLevels.end(), h), s.topLevels.end());
    CurrentBackend().WindowDestroyed(h);
  }
  if (r->wrapper) r->wrapper->m_hWnd = nullptr;
  std::unique_ptr<WindowRecord> keep = std::move(s.windows[h]);
  s.windows.erase(h);
  keep.reset();
  if (wasActive && owner && Record(owner) && IsReallyVisible(owner) && IsReallyEnabled(owner))
    CWnd::FromHandle(owner)->SetActiveWindow();
  return true;
}

}  // namespace

const WindowClass* FindClass(std::string_view name) {
  RegisterBuiltInClasses();
  auto& classes = State().classes;
  for (auto& [n, c] : classes)
    if (EqualsNoCase(n, name)) return c.get();
  return nullptr;
}

LRESULT CallClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = Record(window);
  if (!r) return 0;
  // A native control's own behaviour is the backend's widget's.
  if (r->control && CurrentBackend().HostsNativeControls() &&
      CurrentBackend().ControlDefault(window, message, wParam, lParam))
    return 0;
  if (r->cls && r->cls->proc) return r->cls->proc(window, message, wParam, lParam);
  return ::DefWindowProc(window, message, wParam, lParam);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowingState& s = State();
  if (s.exited) return 0;
  WindowRecord* r = Record(window);
  if (!r) return 0;
  MSG m{window, message, wParam, lParam, static_cast<DWORD>(Now()), s.cursor};
  s.current.push_back(m);
  struct Pop {
    ~Pop() {
      if (!State().current.empty()) State().current.pop_back();
    }
  } pop;
  if (r->object) return r->object->WindowProc(message, wParam, lParam);
  return CallClassProc(window, message, wParam, lParam);
}

}  // namespace brv

using namespace brv;

// ---------------------------------------------------------------- CWnd

IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndBottom(HWND_BOTTOM);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::CWnd() = default;

CWnd::~CWnd() {
  WindowRecord* r = Record(m_hWnd);
  if (r && r->object == this) DestroyImpl(m_hWnd);
  if ((r = Record(m_hWnd)) && r->object == this) r->object = nullptr;
  m_hWnd = nullptr;
}

CWnd* CWnd::FromHandle(HWND window) {
  WindowRecord* r = Record(window);
  if (!r) return nullptr;
  if (r->object) return r->object;
  if (!r->wrapper) {
    r->wrapper = MakeWrapper(*r);
    r->wrapper->m_hWnd = window;
  }
  return r->wrapper.get();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  WindowRecord* r = Record(window);
  return r ? r->object : nullptr;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass) cs.lpszClass = AFX_WND_CLASS;
  return TRUE;
}

void CWnd::PostNcDestroy() {}

BOOL CWnd::Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  CCreateContext* context) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), context);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param) {
  return CreateEx(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), param);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu, LPVOID param) {
  if (m_hWnd) return FALSE;
  CREATESTRUCT cs{};
  cs.lpCreateParams = param;
  cs.hMenu = idOrMenu;
  cs.hwndParent = parent;
  cs.x = x, cs.y = y, cs.cx = width, cs.cy = height;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  if (!PreCreateWindow(cs)) return FALSE;
  return MakeWindow(this, cs) ? TRUE : FALSE;
}

namespace brv {

HWND MakeWindow(CWnd* object, CREATESTRUCT& cs) {
  const WindowClass* cls = FindClass(cs.lpszClass ? cs.lpszClass : AFX_WND_CLASS);
  if (!cls) {
    Log("CreateWindow: no window class \"%s\"", cs.lpszClass ? cs.lpszClass : "");
    return nullptr;
  }
  DWORD style = static_cast<DWORD>(cs.style);
  bool child = (style & WS_CHILD) != 0;
  if (child && !Record(cs.hwndParent)) {
    Log("CreateWindow: a child window needs a parent");
    return nullptr;
  }
  WindowingState& s = State();
  HWND h = reinterpret_cast<HWND>(s.nextHandle);
  s.nextHandle += 0x10;
  auto rec = std::make_unique<WindowRecord>();
  WindowRecord& r = *rec;
  r.handle = h;
  r.cls = cls;
  r.style = style;
  r.exStyle = cs.dwExStyle;
  r.text = cs.lpszName ? cs.lpszName : "";
  ScreenMetrics m = CurrentBackend().Metrics();
  if (child) {
    r.parent = cs.hwndParent;
    r.id = static_cast<UINT>(reinterpret_cast<uintptr_t>(cs.hMenu));
  } else {
    r.owner = TopLevelOf(cs.hwndParent);
    r.menu = cs.hMenu;
  }
  int cx = cs.cx == CW_USEDEFAULT ? m.screenWidth * 3 / 4 : cs.cx;
  int cy = cs.cy == CW_USEDEFAULT ? m.screenHeight * 3 / 4 : cs.cy;
  if (!child) cx = std::min(cx, kMaxTopLevelSize), cy = std::min(cy, kMaxTopLevelSize);
  int px = cs.x == CW_USEDEFAULT ? 0 : cs.x;
  int py = cs.y == CW_USEDEFAULT ? 0 : cs.y;
  r.rect = CRect(px, py, px + std::max(0, cx), py + std::max(0, cy));
  if (!child && (style & WS_MAXIMIZE)) {
    r.restoreRect = r.rect;
    r.rect = CRect(0, 0, m.screenWidth, m.screenHeight);
  }
  r.control = MakeControlData(cls->name);
  s.windows[h] = std::move(rec);
  if (child) {
    Record(r.parent)->children.push_back(h);  // new children go to the bottom
  } else {
    InsertTopLevel(h);
    FitSurface(r);
  }
  r.object = object;
  if (object) object->m_hWnd = h;
  r.invalid = CRect(CPoint(0, 0), ClientOnSurface(h).Size());
  r.erase = true;
  if (!child) CurrentBackend().WindowCreated(h);
  if (r.control && CurrentBackend().HostsNativeControls()) CurrentBackend().ControlCreated(h);
  if (Send(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    // A failed creation leaves the object alive for its maker.
    if (WindowRecord* failed = Record(h)) {
      if (object && failed->object == object) failed->object = nullptr;
      if (object) object->m_hWnd = nullptr;
      DestroyImpl(h);
    }
    if (object) object->m_hWnd = nullptr;
    return nullptr;
  }
  WindowRecord* after = Record(h);
  if (!after) return nullptr;
  after->created = true;
  SendSizeMove(h, true, true);
  if ((after = Record(h)) && (after->style & WS_VISIBLE)) {
    after->style &= ~DWORD(WS_VISIBLE);
    CWnd::FromHandle(h)->ShowWindow((!child && (style & WS_MAXIMIZE)) ? SW_SHOWMAXIMIZED : SW_SHOW);
  }
  return Record(h) ? h : nullptr;
}

}  // namespace brv

HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu, HINSTANCE, LPVOID param) {
  CREATESTRUCT cs{};
  cs.lpCreateParams = param;
  cs.hMenu = idOrMenu;
  cs.hwndParent = parent;
  cs.x = x, cs.y = y, cs.cx = width, cs.cy = height;
  cs.style = static_cast<LONG>(style);
  cs.lpszName = windowName;
  cs.lpszClass = className;
  cs.dwExStyle = exStyle;
  return MakeWindow(nullptr, cs);
}

BOOL CWnd::DestroyWindow() {
  if (!Record(m_hWnd)) return FALSE;
  return DestroyImpl(m_hWnd) ? TRUE : FALSE;
}

BOOL CWnd::SubclassWindow(HWND window) {
  WindowRecord* r = Record(window);
  if (!r || m_hWnd || (r->object && r->object != this)) return FALSE;
  r->object = this;
  m_hWnd = window;
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (!parent) return FALSE;
  CWnd* item = parent->GetDlgItem(static_cast<int>(id));
  return item ? SubclassWindow(item->m_hWnd) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
  WindowRecord* r = Record(m_hWnd);
  HWND h = m_hWnd;
  if (r && r->object == this) r->object = nullptr;
  m_hWnd = nullptr;
  return h;
}

BOOL CWnd::Attach(HWND window) { return SubclassWindow(window); }
HWND CWnd::Detach() { return UnsubclassWindow(); }

// ---------------------------------------------------------------- messages

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::PostMessage(m_hWnd, message, wParam, lParam);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL deep) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return;
  std::vector<HWND> children = r->children;
  for (HWND c : children) {
    if (!Record(c)) continue;
    Send(c, message, wParam, lParam);
    if (deep)
      if (CWnd* w = FromHandle(c)) w->SendMessageToDescendants(message, wParam, lParam, deep);
  }
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND) {
    if (OnCommand(wParam, lParam)) {
      *result = 1;
      return TRUE;
    }
    return FALSE;
  }
  if (message == WM_NOTIFY) {
    LRESULT r = 0;
    if (OnNotify(wParam, lParam, &r)) {
      *result = r;
      return TRUE;
    }
    return FALSE;
  }
  const MessageMapEntry* e = FindMessageEntry(GetMessageMap(), message);
  if (!e) return FALSE;
  MsgArgs args{message, wParam, lParam, 0, 0, nullptr};
  if (!e->thunk(this, args)) return FALSE;
  *result = args.result;
  return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_hWnd) return 0;
  return CallClassProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const auto& current = State().current;
  if (current.empty()) return 0;
  MSG m = current.back();
  return DefWindowProc(m.message, m.wParam, m.lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT id = LOWORD(wParam);
  int code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (!control) {
    if (id == 0) return FALSE;
    // A menu or accelerator command (or one sent without a control) runs only
    // while its update handler leaves it enabled.
    struct Probe : CCmdUI {
      BOOL enabled = TRUE;
      void Enable(BOOL on) override {
        enabled = on;
        m_bEnableChanged = TRUE;
      }
      void SetCheck(int) override {}
      void SetRadio(BOOL) override {}
      void SetText(LPCSTR) override {}
    } probe;
    probe.m_nID = id;
    OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &probe, nullptr);
    if (!probe.enabled) return TRUE;
    code = CN_COMMAND;
  } else if (id == 0) {
    return FALSE;
  }
  return OnCmdMsg(id, code, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* result) {
  NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (!hdr || !hdr->hwndFrom) return FALSE;
  UINT id = static_cast<UINT>(hdr->idFrom);
  LRESULT r = 0;
  NotifyInfo info{hdr, &r};
  BOOL handled = OnCmdMsg(id, static_cast<int>(MAKELONG(hdr->code & 0xFFFF, WM_NOTIFY)), &info, nullptr);
  *result = r;
  return handled;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(HWND stop, MSG* msg) {
  for (HWND h = msg->hwnd; h;) {
    if (CWnd* w = FromHandlePermanent(h))
      if (w->PreTranslateMessage(msg)) return TRUE;
    if (h == stop) break;
    WindowRecord* r = Record(h);
    if (!r || !r->IsChild()) break;
    h = r->parent;
  }
  return FALSE;
}

// ---------------------------------------------------------------- relatives

CWnd* CWnd::GetParent() const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return nullptr;
  return FromHandle(r->IsChild() ? r->parent : r->owner);
}

CWnd* CWnd::SetParent(CWnd* parent) {
  WindowRecord* r = Record(m_hWnd);
  if (!r || !r->IsChild() || !parent || !Record(parent->m_hWnd)) return nullptr;
  CWnd* old = GetParent();
  if (WindowRecord* p = Record(r->parent))
    p->children.erase(std::remove(p->children.begin(), p->children.end(), m_hWnd), p->children.end());
  r->parent = parent->m_hWnd;
  Record(parent->m_hWnd)->children.insert(Record(parent->m_hWnd)->children.begin(), m_hWnd);
  Invalidate();
  return old;
}

CWnd* CWnd::GetOwner() const {
  WindowRecord* r = Record(m_hWnd);
  return r ? FromHandle(r->IsChild() ? r->parent : r->owner) : nullptr;
}

void CWnd::SetOwner(CWnd* owner) {
  if (WindowRecord* r = Record(m_hWnd); r && !r->IsChild()) r->owner = owner ? owner->m_hWnd : nullptr;
}

CWnd* CWnd::GetTopLevelParent() const { return FromHandle(TopLevelOf(m_hWnd)); }

BOOL CWnd::IsChild(const CWnd* window) const {
  if (!window) return FALSE;
  for (WindowRecord* r = Record(window->m_hWnd); r && r->IsChild(); r = Record(r->parent))
    if (r->parent == m_hWnd) return TRUE;
  return FALSE;
}

CWnd* CWnd::GetWindow(UINT command) const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return nullptr;
  if (command == GW_CHILD) return r->children.empty() ? nullptr : FromHandle(r->children.front());
  if (command == GW_OWNER) return r->IsChild() ? nullptr : FromHandle(r->owner);
  const std::vector<HWND>* list = &State().topLevels;
  if (r->IsChild()) {
    WindowRecord* p = Record(r->parent);
    if (!p) return nullptr;
    list = &p->children;
  }
  auto it = std::find(list->begin(), list->end(), m_hWnd);
  if (it == list->end()) return nullptr;
  switch (command) {
    case GW_HWNDFIRST: return FromHandle(list->front());
    case GW_HWNDLAST: return FromHandle(list->back());
    case GW_HWNDNEXT: return it + 1 == list->end() ? nullptr : FromHandle(*(it + 1));
    case GW_HWNDPREV: return it == list->begin() ? nullptr : FromHandle(*(it - 1));
    default: return nullptr;
  }
}

CWnd* CWnd::GetNextWindow(UINT command) const { return GetWindow(command); }
CWnd* CWnd::GetTopWindow() const { return GetWindow(GW_CHILD); }

CWnd* CWnd::GetDescendantWindow(int id, BOOL onlyPermanent) const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return nullptr;
  for (HWND c : r->children) {
    WindowRecord* cr = Record(c);
    if (cr && static_cast<int>(cr->id) == id && (!onlyPermanent || cr->object)) return FromHandle(c);
  }
  for (HWND c : r->children)
    if (CWnd* w = FromHandle(c); w)
      if (CWnd* found = w->GetDescendantWindow(id, onlyPermanent)) return found;
  return nullptr;
}

CWnd* CWnd::ChildWindowFromPoint(POINT p) const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return nullptr;
  for (HWND c : r->children) {
    WindowRecord* cr = Record(c);
    if (cr && (cr->style & WS_VISIBLE) && cr->rect.PtInRect(p)) return FromHandle(c);
  }
  CRect client;
  GetClientRect(&client);
  return client.PtInRect(p) ? const_cast<CWnd*>(this) : nullptr;
}

CWnd* CWnd::WindowFromPoint(POINT screen) { return FromHandle(::WindowFromPoint(screen)); }

CWnd* CWnd::GetDlgItem(int id) const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return nullptr;
  for (HWND c : r->children) {
    WindowRecord* cr = Record(c);
    if (cr && static_cast<int>(static_cast<short>(cr->id)) == static_cast<int>(static_cast<short>(id)))
      return FromHandle(c);
  }
  if (r->dialogTemplate) Log("dialog %d: no control %d", r->dialogTemplate, id);
  return nullptr;
}

int CWnd::GetDlgCtrlID() const {
  WindowRecord* r = Record(m_hWnd);
  return r && r->IsChild() ? static_cast<int>(r->id) : 0;
}

int CWnd::SetDlgCtrlID(int id) {
  WindowRecord* r = Record(m_hWnd);
  if (!r || !r->IsChild()) return 0;
  int old = static_cast<int>(r->id);
  r->id = static_cast<UINT>(id);
  return old;
}

// ---------------------------------------------------------------- geometry

void CWnd::GetWindowRect(LPRECT rect) const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) {
    *rect = CRect();
    return;
  }
  if (!r->IsChild()) {
    *rect = r->rect;
    return;
  }
  CPoint o(0, 0);
  if (CWnd* p = FromHandle(r->parent)) p->ClientToScreen(&o);
  CRect w = r->rect;
  w.OffsetRect(o.x, o.y);
  *rect = w;
}

void CWnd::GetClientRect(LPRECT rect) const {
  WindowRecord* r = Record(m_hWnd);
  *rect = r ? CRect(CPoint(0, 0), ClientOnSurface(m_hWnd).Size()) : CRect();
}

void CWnd::ClientToScreen(LPPOINT point) const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return;
  WindowRecord* top = Record(TopLevelOf(m_hWnd));
  CRect in = NonClientInsets(*top);
  CRect c = ClientOnSurface(m_hWnd);
  point->x += top->rect.left + in.left + c.left;
  point->y += top->rect.top + in.top + c.top;
}

void CWnd::ClientToScreen(LPRECT rect) const {
  CPoint o(0, 0);
  ClientToScreen(&o);
  rect->left += o.x, rect->right += o.x, rect->top += o.y, rect->bottom += o.y;
}

void CWnd::ScreenToClient(LPPOINT point) const {
  CPoint o(0, 0);
  ClientToScreen(&o);
  point->x -= o.x, point->y -= o.y;
}

void CWnd::ScreenToClient(LPRECT rect) const {
  CPoint o(0, 0);
  ClientToScreen(&o);
  rect->left -= o.x, rect->right -= o.x, rect->top -= o.y, rect->bottom -= o.y;
}

void CWnd::MapWindowPoints(CWnd* to, LPPOINT points, UINT count) const {
  CPoint a(0, 0), b(0, 0);
  ClientToScreen(&a);
  if (to) to->ClientToScreen(&b);
  for (UINT i = 0; i < count; ++i) points[i].x += a.x - b.x, points[i].y += a.y - b.y;
}

void CWnd::MapWindowPoints(CWnd* to, LPRECT rect) const {
  MapWindowPoints(to, reinterpret_cast<LPPOINT>(rect), 2);
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
  MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return FALSE;
  HWND after = insertAfter ? insertAfter->m_hWnd : HWND_TOP;
  CRect old = r->rect;
  CRect now = old;
  if (!(flags & SWP_NOMOVE)) now = CRect(CPoint(x, y), old.Size());
  if (!(flags & SWP_NOSIZE)) {
    // A top-level window's pixels are allocated: its size has a bound.
    int limit = r->IsChild() ? INT32_MAX : kMaxTopLevelSize;
    now = CRect(now.TopLeft(), CSize(std::clamp(cx, 0, limit), std::clamp(cy, 0, limit)));
  }
  unsigned what = 0;
  if (!(flags & SWP_NOZORDER)) {
    if (r->IsChild()) {
      auto& list = Record(r->parent)->children;
      list.erase(std::remove(list.begin(), list.end(), m_hWnd), list.end());
      if (after == HWND_BOTTOM) {
        list.push_back(m_hWnd);
      } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        list.insert(list.begin(), m_hWnd);
      } else {
        auto it = std::find(list.begin(), list.end(), after);
        list.insert(it == list.end() ? list.begin() : it + 1, m_hWnd);
      }
      if (r->style & WS_VISIBLE) Invalidate();
    } else {
      if (after == HWND_TOPMOST) r->exStyle |= WS_EX_TOPMOST;
      if (after == HWND_NOTOPMOST) r->exStyle &= ~DWORD(WS_EX_TOPMOST);
      if (after == HWND_BOTTOM) {
        auto& tl = State().topLevels;
        tl.erase(std::remove(tl.begin(), tl.end(), m_hWnd), tl.end());
        tl.push_back(m_hWnd);
      } else {
        InsertTopLevel(m_hWnd);
      }
    }
    what |= kWindowZOrder;
  }
  bool moved = now.left != old.left || now.top != old.top;
  bool sized = now.Width() != old.Width() || now.Height() != old.Height();
  if (moved || sized) {
    if (!(flags & SWP_NOREDRAW)) ExposeInParent(*r);
    r->rect = now;
    if (!r->IsChild() && (r->style & WS_MAXIMIZE) && (sized || moved)) r->style &= ~DWORD(WS_MAXIMIZE);
    const CSize had = r->surface ? CSize(r->surface->Width(), r->surface->Height()) : CSize(0, 0);
    FitSurface(*r);
    if (!(flags & SWP_NOREDRAW) || !r->IsChild()) Invalidate();
    if (!r->IsChild() && r->surface) {
      // The surface's new part is blank: the children there paint it, those
      // the smaller window cut off too, though the window clips its children.
      const int far = std::max(r->surface->Width(), r->surface->Height());
      const CRect right(had.cx, 0, far, far), bottom(0, had.cy, far, far);
      if (r->surface->Width() > had.cx) InvalidateWindow(m_hWnd, &right, true, true);
      if (r->surface->Height() > had.cy) InvalidateWindow(m_hWnd, &bottom, true, true);
    }
    what |= kWindowGeometry;
  }
  if (what) NotifyBackend(*r, what);
  if (moved || sized) {
    WINDOWPOS pos{m_hWnd, after, now.left, now.top, now.Width(), now.Height(), flags};
    Send(m_hWnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    SendSizeMove(m_hWnd, sized, moved);
  }
  if (!Record(m_hWnd)) return TRUE;
  if (flags & SWP_SHOWWINDOW) ShowWindow((flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(SW_HIDE);
  return TRUE;
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return;
  CRect around, area;
  CWnd* owner = alternateOwner;
  if (r->IsChild()) {
    FromHandle(r->parent)->GetClientRect(&area);
    around = area;
  } else {
    if (!owner) owner = FromHandle(r->owner);
    ScreenMetrics m = CurrentBackend().Metrics();
    area = CRect(0, 0, m.screenWidth, m.screenHeight);
    if (owner && owner->IsWindowVisible() && !owner->IsIconic())
      owner->GetWindowRect(&around);
    else
      around = area;
  }
  CPoint at = KeepInside(CRect(CPoint(around.left + (around.Width() - r->rect.Width()) / 2,
                                       around.top + (around.Height() - r->rect.Height()) / 2),
                                r->rect.Size()),
                          area);
  SetWindowPos(nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- state

BOOL CWnd::ShowWindow(int command) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return FALSE;
  bool was = (r->style & WS_VISIBLE) != 0;
  bool show = command != SW_HIDE;
  bool activate = !r->IsChild() && (command == SW_SHOW || command == SW_SHOWNORMAL || command == SW_SHOWMAXIMIZED ||
                                    command == SW_RESTORE);
  ScreenMetrics m = CurrentBackend().Metrics();
  bool sized = false;
  if (!r->IsChild()) {
    if (command == SW_SHOWMAXIMIZED && !(r->style & WS_MAXIMIZE)) {
      r->restoreRect = r->rect;
      r->style |= WS_MAXIMIZE;
      r->rect = CRect(0, 0, m.screenWidth, m.screenHeight);
      sized = true;
    } else if ((command == SW_RESTORE || command == SW_SHOWNORMAL) && (r->style & WS_MAXIMIZE)) {
      r->style &= ~DWORD(WS_MAXIMIZE);
      if (!r->restoreRect.IsRectEmpty()) r->rect = r->restoreRect;
      sized = true;
    }
    if (command == SW_MINIMIZE || command == SW_SHOWMINIMIZED)
      r->style |= WS_MINIMIZE;
    else if (show)
      r->style &= ~DWORD(WS_MINIMIZE);
  }
  if (sized) {
    FitSurface(*r);
    r->invalid = CRect(CPoint(0, 0), ClientOnSurface(m_hWnd).Size());
    r->erase = true;
  }
  if (show != was) {
    Send(m_hWnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!(r = Record(m_hWnd))) return was;
    if (show) {
      r->style |= WS_VISIBLE;
      Invalidate();
    } else {
      ExposeInParent(*r);
      r->style &= ~DWORD(WS_VISIBLE);
      WindowingState& s = State();
      if (s.focus && (s.focus == m_hWnd || IsChild(FromHandle(s.focus)))) s.focus = nullptr;
      if (s.active == m_hWnd) {
        s.active = nullptr;
        if (r->owner && IsReallyVisible(r->owner) && IsReallyEnabled(r->owner)) FromHandle(r->owner)->SetActiveWindow();
      }
    }
    NotifyBackend(*r, kWindowVisibility);
  } else if (sized) {
    NotifyBackend(*r, kWindowGeometry);
  }
  if (sized) SendSizeMove(m_hWnd, true, true);
  if (show && activate && Record(m_hWnd) && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE)
    SetActiveWindow();
  return was ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const { return IsReallyVisible(m_hWnd) ? TRUE : FALSE; }

BOOL CWnd::IsWindowEnabled() const {
  WindowRecord* r = Record(m_hWnd);
  return r && !(r->style & WS_DISABLED) ? TRUE : FALSE;
}

BOOL CWnd::EnableWindow(BOOL enable) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return FALSE;
  bool wasDisabled = (r->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled ? TRUE : FALSE;
  if (enable) {
    r->style &= ~DWORD(WS_DISABLED);
  } else {
    r->style |= WS_DISABLED;
    WindowingState& s = State();
    if (s.focus && (s.focus == m_hWnd || IsChild(FromHandle(s.focus)))) s.focus = nullptr;
    if (s.capture == m_hWnd) s.capture = nullptr;
  }
  Send(m_hWnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  if ((r = Record(m_hWnd))) {
    if (r->IsChild()) Invalidate();
    NotifyBackend(*r, kWindowEnabled);
  }
  return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsIconic() const {
  WindowRecord* r = Record(m_hWnd);
  return r && (r->style & WS_MINIMIZE) ? TRUE : FALSE;
}

BOOL CWnd::IsZoomed() const {
  WindowRecord* r = Record(m_hWnd);
  return r && (r->style & WS_MAXIMIZE) ? TRUE : FALSE;
}

DWORD CWnd::GetStyle() const {
  WindowRecord* r = Record(m_hWnd);
  return r ? r->style : 0;
}

DWORD CWnd::GetExStyle() const {
  WindowRecord* r = Record(m_hWnd);
  return r ? r->exStyle : 0;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return FALSE;
  DWORD old = r->style;
  r->style = (r->style & ~remove) | add;
  if (r->style == old) return FALSE;
  if (!r->IsChild()) FitSurface(*r);
  NotifyBackend(*r, kWindowStyle);
  if (flags) SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  Invalidate();
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return FALSE;
  DWORD old = r->exStyle;
  r->exStyle = (r->exStyle & ~remove) | add;
  if (r->exStyle == old) return FALSE;
  if (!r->IsChild()) FitSurface(*r);
  NotifyBackend(*r, kWindowStyle);
  if (flags) SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
  Invalidate();
  return TRUE;
}

void CWnd::SetWindowText(LPCSTR text) { ::SetWindowText(m_hWnd, text); }

int CWnd::GetWindowText(LPSTR buffer, int size) const { return ::GetWindowText(m_hWnd, buffer, size); }

void CWnd::GetWindowText(CString& text) const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) {
    text.Empty();
    return;
  }
  if (ComboData* c = dynamic_cast<ComboData*>(r->control.get());
      c && (r->style & 0x3) == CBS_DROPDOWNLIST) {
    text = c->current >= 0 && c->current < static_cast<int>(c->items.size())
               ? CString(std::string_view(c->items[static_cast<size_t>(c->current)].text))
               : CString();
    return;
  }
  text = CString(std::string_view(r->text));
}

int CWnd::GetWindowTextLength() const {
  CString t;
  GetWindowText(t);
  return t.GetLength();
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
  if (WindowRecord* r = Record(m_hWnd)) {
    r->font = font ? static_cast<HFONT>(*font) : nullptr;
    if (redraw) Invalidate();
  }
}

CFont* CWnd::GetFont() const {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return nullptr;
  return CFont::FromHandle(r->font ? r->font : DialogFont());
}

HICON CWnd::SetIcon(HICON icon, BOOL big) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return nullptr;
  HICON old = r->icons[big ? 1 : 0];
  r->icons[big ? 1 : 0] = icon;
  return old;
}

HICON CWnd::GetIcon(BOOL big) const {
  WindowRecord* r = Record(m_hWnd);
  return r ? r->icons[big ? 1 : 0] : nullptr;
}

// ---------------------------------------------------------------- items

void CWnd::SetDlgItemText(int id, LPCSTR text) {
  if (CWnd* w = GetDlgItem(id)) w->SetWindowText(text);
}

int CWnd::GetDlgItemText(int id, LPSTR buffer, int size) const {
  CWnd* w = GetDlgItem(id);
  if (!w) {
    if (buffer && size > 0) buffer[0] = '\0';
    return 0;
  }
  return w->GetWindowText(buffer, size);
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  text.Empty();
  if (CWnd* w = GetDlgItem(id)) w->GetWindowText(text);
  return text.GetLength();
}

void CWnd::SetDlgItemInt(int id, UINT value, BOOL isSigned) {
  CString t;
  if (isSigned)
    t.Format("%d", static_cast<int>(value));
  else
    t.Format("%u", value);
  SetDlgItemText(id, t);
}

UINT CWnd::GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const {
  CString t;
  GetDlgItemText(id, t);
  t.Trim();
  const char* p = t;
  bool negative = false;
  if (isSigned && *p == '-') negative = true, ++p;
  long long v = 0;
  bool ok = *p != '\0';
  for (; *p; ++p) {
    if (*p < '0' || *p > '9') {
      ok = false;
      break;
    }
    v = v * 10 + (*p - '0');
    if (v > 0xFFFFFFFFLL) {
      ok = false;
      break;
    }
  }
  if (ok && isSigned && v > (negative ? 0x80000000LL : 0x7FFFFFFFLL)) ok = false;
  if (translated) *translated = ok ? TRUE : FALSE;
  if (!ok) return 0;
  return static_cast<UINT>(negative ? -v : v);
}

void CWnd::CheckDlgButton(int id, UINT check) {
  if (CWnd* w = GetDlgItem(id)) w->SendMessage(BM_SETCHECK, check, 0);
}

UINT CWnd::IsDlgButtonChecked(int id) const {
  CWnd* w = GetDlgItem(id);
  return w ? static_cast<UINT>(w->SendMessage(BM_GETCHECK, 0, 0)) : 0;
}

void CWnd::CheckRadioButton(int first, int last, int check) {
  for (int id = first; id <= last; ++id) {
    WindowRecord* r = Record(m_hWnd);
    if (!r) return;
    for (HWND c : r->children)
      if (Record(c) && static_cast<int>(Record(c)->id) == id)
        Send(c, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

int CWnd::GetCheckedRadioButton(int first, int last) {
  for (int id = first; id <= last; ++id)
    if (IsDlgButtonChecked(id)) return id;
  return 0;
}

// ---------------------------------------------------------------- menus

CMenu* CWnd::GetMenu() const {
  WindowRecord* r = Record(m_hWnd);
  return r && !r->IsChild() ? CMenu::FromHandle(r->menu) : nullptr;
}

BOOL CWnd::SetMenu(CMenu* menu) {
  WindowRecord* r = Record(m_hWnd);
  if (!r || r->IsChild()) return FALSE;
  r->menu = menu ? menu->GetSafeHmenu() : nullptr;
  FitSurface(*r);
  Invalidate();
  NotifyBackend(*r, kWindowMenu | kWindowGeometry);
  SendSizeMove(m_hWnd, true, false);
  return TRUE;
}

void CWnd::DrawMenuBar() {
  if (Record(m_hWnd)) CurrentBackend().WindowChanged(m_hWnd, kWindowMenu);
}

CMenu* CWnd::GetSystemMenu(BOOL) const { return nullptr; }

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
  CString c = caption ? CString(caption) : ApplicationName();
  return ::MessageBox(m_hWnd, text, c, type);
}

// ---------------------------------------------------------------- base handlers

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnClose() { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnMButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnMButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnMButtonDblClk(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
int CWnd::OnMouseActivate(CWnd*, UINT, UINT) { return static_cast<int>(Default()); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
UINT CWnd::OnGetDlgCode() { return static_cast<UINT>(Default()); }
UINT CWnd::OnNcHitTest(CPoint) { return static_cast<UINT>(Default()); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
void CWnd::OnEnable(BOOL) { Default(); }

void CWnd::DoDataExchange(CDataExchange*) {}

// ---------------------------------------------------------------- handles

namespace brv::msg {

CPoint ClientPoint(LPARAM l) { return CPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l)); }
CWnd* WndOf(WPARAM w) { return CWnd::FromHandle(reinterpret_cast<HWND>(w)); }
CWnd* WndOf(LPARAM l) { return CWnd::FromHandle(reinterpret_cast<HWND>(l)); }
CDC* DcOf(WPARAM w) { return CDC::FromHandle(reinterpret_cast<HDC>(w)); }
CMenu* MenuOf(WPARAM w) { return CMenu::FromHandle(reinterpret_cast<HMENU>(w)); }

}  // namespace brv::msg

// ---------------------------------------------------------------- functions

BOOL IsWindow(HWND window) { return Record(window) ? TRUE : FALSE; }
BOOL DestroyWindow(HWND window) {
  if (CWnd* w = CWnd::FromHandlePermanent(window)) return w->DestroyWindow();
  return DestroyImpl(window) ? TRUE : FALSE;
}
BOOL ShowWindow(HWND window, int command) {
  CWnd* w = CWnd::FromHandle(window);
  return w ? w->ShowWindow(command) : FALSE;
}
BOOL IsWindowVisible(HWND window) { return IsReallyVisible(window) ? TRUE : FALSE; }
BOOL IsWindowEnabled(HWND window) {
  CWnd* w = CWnd::FromHandle(window);
  return w ? w->IsWindowEnabled() : FALSE;
}
BOOL EnableWindow(HWND window, BOOL enable) {
  CWnd* w = CWnd::FromHandle(window);
  return w ? w->EnableWindow(enable) : FALSE;
}
HWND GetParent(HWND window) {
  WindowRecord* r = Record(window);
  return r ? (r->IsChild() ? r->parent : r->owner) : nullptr;
}
HWND GetDlgItem(HWND dialog, int id) {
  CWnd* w = CWnd::FromHandle(dialog);
  CWnd* item = w ? w->GetDlgItem(id) : nullptr;
  return item ? item->m_hWnd : nullptr;
}
int GetDlgCtrlID(HWND window) {
  CWnd* w = CWnd::FromHandle(window);
  return w ? w->GetDlgCtrlID() : 0;
}
BOOL GetClientRect(HWND window, LPRECT rect) {
  CWnd* w = CWnd::FromHandle(window);
  if (!w) return FALSE;
  w->GetClientRect(rect);
  return TRUE;
}
BOOL GetWindowRect(HWND window, LPRECT rect) {
  CWnd* w = CWnd::FromHandle(window);
  if (!w) return FALSE;
  w->GetWindowRect(rect);
  return TRUE;
}
BOOL SetWindowText(HWND window, LPCSTR text) {
  WindowRecord* r = Record(window);
  if (!r) return FALSE;
  std::string t = text ? text : "";
  bool changed = r->text != t;
  r->text = t;
  if (EditData* e = dynamic_cast<EditData*>(r->control.get())) {
    e->selStart = e->selEnd = 0;
    e->firstLine = e->firstChar = 0;
    e->modified = false;
  }
  if (r->IsChild()) {
    if (r->control) {
      if (r->control->Type() == ControlType::kStatic || r->control->Type() == ControlType::kButton)
        CWnd::FromHandle(window)->Invalidate();
      ControlChanged(window);
      if (changed && r->control->Type() == ControlType::kEdit && !(r->style & ES_MULTILINE) && r->parent)
        Send(r->parent, WM_COMMAND, MAKEWPARAM(r->id, EN_CHANGE), reinterpret_cast<LPARAM>(window));
    } else {
      CurrentBackend().WindowChanged(window, kWindowText);
    }
  } else {
    CurrentBackend().WindowChanged(window, kWindowText);
  }
  return TRUE;
}
int GetWindowText(HWND window, LPSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  CString t;
  if (CWnd* w = CWnd::FromHandle(window)) w->GetWindowText(t);
  int n = std::min(t.GetLength(), size - 1);
  std::memcpy(buffer, t.GetString(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}
LONG GetWindowLong(HWND window, int index) {
  WindowRecord* r = Record(window);
  if (!r) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<LONG>(r->style);
    case GWL_EXSTYLE: return static_cast<LONG>(r->exStyle);
    case GWL_ID: return static_cast<LONG>(r->id);
    default: return 0;
  }
}
BOOL ClientToScreen(HWND window, LPPOINT point) {
  CWnd* w = CWnd::FromHandle(window);
  if (!w) return FALSE;
  w->ClientToScreen(point);
  return TRUE;
}
BOOL ScreenToClient(HWND window, LPPOINT point) {
  CWnd* w = CWnd::FromHandle(window);
  if (!w) return FALSE;
  w->ScreenToClient(point);
  return TRUE;
}

BOOL RegisterClass(const WNDCLASS* wc) {
  if (!wc || !wc->lpszClassName) return FALSE;
  if (FindClass(wc->lpszClassName)) return FALSE;
  auto c = std::make_unique<WindowClass>();
  c->name = wc->lpszClassName;
  c->style = wc->style;
  c->proc = wc->lpfnWndProc;
  c->background = wc->hbrBackground;
  c->cursor = wc->hCursor;
  c->icon = wc->hIcon;
  State().classes[c->name] = std::move(c);
  return TRUE;
}

BOOL GetClassInfo(HINSTANCE, LPCSTR className, WNDCLASS* wc) {
  const WindowClass* c = className ? FindClass(className) : nullptr;
  if (!c || !wc) return FALSE;
  *wc = WNDCLASS{};
  wc->style = c->style;
  wc->lpfnWndProc = c->proc;
  wc->hCursor = c->cursor;
  wc->hIcon = c->icon;
  wc->hbrBackground = c->background;
  wc->lpszClassName = c->name.c_str();
  return TRUE;
}

LPCSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  char name[96];
  std::snprintf(name, sizeof name, "Afx:%x:%llx:%llx:%llx", classStyle,
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(cursor)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(background)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(icon)));
  if (const WindowClass* c = FindClass(name)) return c->name.c_str();
  WNDCLASS wc{};
  wc.style = classStyle;
  wc.hCursor = cursor;
  wc.hbrBackground = background;
  wc.hIcon = icon;
  wc.lpszClassName = name;
  RegisterClass(&wc);
  return FindClass(name)->name.c_str();
}
