#include "framework/test_driver.h"

#include <cctype>

#include "framework/app.h"
#include "framework/controls.h"
#include "framework/filedialog.h"
#include "framework/layout_parser.h"
#include "framework/shell.h"

namespace brv {

HeadlessDriver::HeadlessDriver(HeadlessBackend& backend) : backend_(backend) {}

void HeadlessDriver::Reset() {
  backend_.Reset();
  ResetWindowing();
  ForgetLastFileDialogFolder();
}

// ---------------------------------------------------------------- finding

std::vector<HWND> HeadlessDriver::TopLevelWindows() { return State().topLevels; }

HWND HeadlessDriver::FindTopLevel(std::string_view caption) {
  for (HWND h : State().topLevels)
    if (WindowRecord* r = Record(h); r && r->text == caption) return h;
  return nullptr;
}

namespace {
HWND FindIn(HWND h, const std::function<bool(const WindowRecord&)>& match) {
  WindowRecord* r = Record(h);
  if (!r) return nullptr;
  if (match(*r)) return h;
  for (HWND c : r->children)
    if (HWND found = FindIn(c, match)) return found;
  return nullptr;
}
}  // namespace

HWND HeadlessDriver::FindDialog(int layoutId) {
  for (HWND top : State().topLevels)
    if (HWND h = FindIn(top, [&](const WindowRecord& r) { return r.dialogTemplate == layoutId; })) return h;
  return nullptr;
}

HWND HeadlessDriver::FindControl(HWND parent, int id) {
  WindowRecord* p = Record(parent);
  if (!p) return nullptr;
  for (HWND c : p->children)
    if (HWND found = FindIn(c, [&](const WindowRecord& r) { return static_cast<int>(static_cast<short>(r.id)) ==
                                                                 static_cast<int>(static_cast<short>(id)); }))
      return found;
  return nullptr;
}

HWND HeadlessDriver::ActiveWindow() { return State().active; }
HWND HeadlessDriver::FocusWindow() { return State().focus; }

// ---------------------------------------------------------------- reading

ControlInfo HeadlessDriver::Inspect(HWND window) {
  ControlInfo info;
  WindowRecord* r = Record(window);
  if (!r) return info;
  info.className = r->cls ? r->cls->name : "";
  info.type = r->control ? r->control->Type() : ControlType::kNone;
  info.id = static_cast<int>(static_cast<short>(r->id));
  CString text;
  CWnd::FromHandle(window)->GetWindowText(text);
  info.text = std::string(text.View());
  info.style = r->style;
  info.visible = IsReallyVisible(window);
  info.enabled = IsReallyEnabled(window);
  info.focused = State().focus == window;
  info.rect = r->rect;
  if (auto* b = dynamic_cast<ButtonData*>(r->control.get())) {
    info.check = b->check;
    info.pushed = b->pushed;
    info.bitmap = b->bitmap;
  } else if (auto* s = dynamic_cast<StaticData*>(r->control.get())) {
    info.bitmap = s->bitmap;
  } else if (auto* e = dynamic_cast<EditData*>(r->control.get())) {
    info.selStart = std::min(e->selStart, e->selEnd);
    info.selEnd = std::max(e->selStart, e->selEnd);
    info.firstVisible = (r->style & ES_MULTILINE) ? e->firstLine : e->firstChar;
  } else if (auto* c = dynamic_cast<ComboData*>(r->control.get())) {
    info.selection = c->current;
    for (const ComboItem& i : c->items) info.items.push_back(i.text);
  } else if (auto* sl = dynamic_cast<SliderData*>(r->control.get())) {
    info.pos = sl->pos, info.min = sl->min, info.max = sl->max;
  } else if (auto* sp = dynamic_cast<SpinData*>(r->control.get())) {
    info.pos = sp->pos, info.min = sp->lower, info.max = sp->upper;
  } else if (auto* p = dynamic_cast<ProgressData*>(r->control.get())) {
    info.pos = p->pos, info.min = p->lower, info.max = p->upper;
    info.percent = static_cast<CProgressCtrl*>(CWnd::FromHandle(window))->GetPercent();
  } else if (auto* l = dynamic_cast<ListData*>(r->control.get())) {
    info.firstVisible = l->top;
    for (size_t i = 0; i < l->items.size(); ++i) {
      info.items.push_back(l->items[i].texts.empty() ? std::string() : l->items[i].texts[0]);
      info.itemStates.push_back(l->items[i].state);
      if (l->items[i].state & LVIS_FOCUSED) info.selection = static_cast<int>(i);
    }
  } else if (auto* t = dynamic_cast<TabData*>(r->control.get())) {
    info.selection = t->current;
    for (const TabItem& i : t->items) info.items.push_back(i.text);
  }
  return info;
}

CRect HeadlessDriver::ScreenRect(HWND window) {
  CRect r;
  if (CWnd* w = CWnd::FromHandle(window)) w->GetWindowRect(&r);
  return r;
}

COLORREF HeadlessDriver::Pixel(HWND window, int x, int y) {
  const Surface* s = brv::SurfaceOf(window);
  if (!s) return CLR_INVALID;
  CRect c = ClientOnSurface(window);
  int sx = c.left + x, sy = c.top + y;
  if (sx < 0 || sy < 0 || sx >= s->Width() || sy >= s->Height()) return CLR_INVALID;
  return ColorOf(s->Pixel(sx, sy));
}

const Surface* HeadlessDriver::SurfaceOf(HWND window) { return brv::SurfaceOf(window); }

std::string HeadlessDriver::CursorName() { return brv::CursorName(GetCursor()); }

bool HeadlessDriver::PrepareMenu(HWND frame, UINT command, HMENU* holder, int* position) {
  HMENU bar = GetMenu(frame);
  if (!bar || !FindMenuCommand(bar, command, holder, position)) return false;
  Send(frame, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
  // The pop-ups from the bar down to the item's, each prepared as it opens.
  std::vector<std::pair<HMENU, int>> chain;
  for (HMENU h = *holder; h && h != bar;) {
    HMENU parent = nullptr;
    int index = 0;
    if (!FindPopupParent(bar, h, &parent, &index) || !parent) break;
    chain.insert(chain.begin(), {h, index});
    h = parent;
  }
  for (auto [popup, index] : chain) {
    if (!Record(frame)) return false;
    Send(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(static_cast<unsigned>(index), 0));
  }
  return Record(frame) && FindMenuCommand(bar, command, holder, position);
}

std::vector<MenuItemInfo> HeadlessDriver::MenuItems(HWND frame, const std::vector<int>& path) {
  HMENU menu = GetMenu(frame);
  for (size_t i = 0; i < path.size() && menu; ++i) {
    HMENU sub = ::GetSubMenu(menu, path[i]);
    if (sub) Guarded([&] { Send(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(sub), MAKELPARAM(static_cast<unsigned>(path[i]), 0)); });
    menu = sub;
  }
  return brv::MenuItems(menu);
}

UINT HeadlessDriver::MenuState(HWND frame, UINT command) {
  HMENU holder = nullptr;
  int position = 0;
  bool found = false;
  Guarded([&] { found = PrepareMenu(frame, command, &holder, &position); });
  if (!found) return static_cast<UINT>(-1);
  return ::GetMenuState(holder, static_cast<UINT>(position), MF_BYPOSITION);
}

// ---------------------------------------------------------------- input

void HeadlessDriver::Guarded(const std::function<void()>& f) {
  if (Exited()) return;
  struct Depth {
    int& d;
    explicit Depth(int& x) : d(x) { ++d; }
    ~Depth() { --d; }
  } depth(depth_);
  try {
    f();
  } catch (const ProgramExit&) {
    if (depth_ > 1) throw;
  }
}

void HeadlessDriver::Run(const std::function<void()>& f) { Guarded(f); }

void HeadlessDriver::Pump() {
  Guarded([] {
    for (int guard = 0; guard < 200000; ++guard) {
      MSG msg;
      if (!::PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE) || msg.message == WM_QUIT) return;
      AfxPumpMessage();
    }
    Log("driver: the program never came to rest");
  });
}

void HeadlessDriver::Input(const RawInput& in) {
  Guarded([&] {
    PostInput(in);
    Pump();
  });
}

RawInput HeadlessDriver::Mouse(RawInput::Kind kind, HWND window, CPoint client, int button, UINT keys) {
  if (!IsReallyVisible(window)) {
    WindowRecord* r = Record(window);
    backend_.AddScriptError("driver: pointer input aimed at " +
                            (r ? "the hidden window \"" + r->text + "\" (id " + std::to_string(r->id) + ")"
                               : std::string("no window")));
  }
  RawInput in;
  in.kind = kind;
  POINT p = client;
  if (CWnd* w = CWnd::FromHandle(window)) w->ClientToScreen(&p);
  in.screen = p;
  in.button = button;
  in.shift = keys & MK_SHIFT;
  in.control = keys & MK_CONTROL;
  in.alt = keys & kKeyAlt;
  return in;
}

void HeadlessDriver::MouseMove(HWND window, CPoint client, UINT keys) {
  Input(Mouse(RawInput::kMouseMove, window, client, 0, keys));
}

void HeadlessDriver::MouseDown(HWND window, CPoint client, int button, UINT keys) {
  Input(Mouse(RawInput::kButtonDown, window, client, button, keys));
}

void HeadlessDriver::MouseUp(HWND window, CPoint client, int button, UINT keys) {
  Input(Mouse(RawInput::kButtonUp, window, client, button, keys));
}

void HeadlessDriver::Click(HWND window, CPoint client, int button, UINT keys) {
  RawInput down = Mouse(RawInput::kButtonDown, window, client, button, keys);
  RawInput up = Mouse(RawInput::kButtonUp, window, client, button, keys);
  Input(down);
  Input(up);
}

void HeadlessDriver::DoubleClick(HWND window, CPoint client, int button, UINT keys) {
  Click(window, client, button, keys);
  Click(window, client, button, keys);
}

void HeadlessDriver::Drag(HWND window, CPoint from, CPoint to, int steps, int button, UINT keys) {
  RawInput down = Mouse(RawInput::kButtonDown, window, from, button, keys);
  Input(down);
  steps = std::max(1, steps);
  for (int i = 1; i <= steps; ++i) {
    CPoint p(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    RawInput move = Mouse(RawInput::kMouseMove, window, p, button, keys);
    Input(move);
  }
  // The release lands where the pointer is, in screen terms of the start.
  RawInput up = down;
  up.kind = RawInput::kButtonUp;
  POINT delta{to.x - from.x, to.y - from.y};
  up.screen.x += delta.x;
  up.screen.y += delta.y;
  Input(up);
}

void HeadlessDriver::Wheel(HWND window, CPoint client, int delta, UINT keys) {
  RawInput in = Mouse(RawInput::kWheel, window, client, 0, keys);
  in.wheelDelta = delta;
  Input(in);
}

namespace {
RawInput KeyInput(RawInput::Kind kind, UINT key, UINT keys) {
  RawInput in;
  in.kind = kind;
  in.key = key;
  in.shift = keys & MK_SHIFT;
  in.control = keys & MK_CONTROL;
  in.alt = keys & kKeyAlt;
  if (kind == RawInput::kKeyDown && !in.control && !in.alt) {
    if (key >= 'A' && key <= 'Z') in.text = in.shift ? key : key - 'A' + 'a';
    else if (key >= '0' && key <= '9') in.text = key;
    else if (key == VK_SPACE) in.text = ' ';
    else if (key == VK_RETURN) in.text = '\r';
    else if (key == VK_BACK) in.text = '\b';
    else if (key == VK_TAB) in.text = '\t';
    else if (key == VK_ESCAPE) in.text = 27;
  }
  return in;
}
}  // namespace

void HeadlessDriver::KeyDown(UINT key, UINT keys) { Input(KeyInput(RawInput::kKeyDown, key, keys)); }
void HeadlessDriver::KeyUp(UINT key, UINT keys) { Input(KeyInput(RawInput::kKeyUp, key, keys)); }

void HeadlessDriver::Key(UINT key, UINT keys) {
  KeyDown(key, keys);
  KeyUp(key, keys);
}

void HeadlessDriver::Type(std::string_view text) {
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    UINT key = 0;
    UINT keys = 0;
    if (c >= 'a' && c <= 'z') key = c - 'a' + 'A';
    else if (c >= 'A' && c <= 'Z') key = c, keys = MK_SHIFT;
    else if (c >= '0' && c <= '9') key = c;
    else if (c == ' ') key = VK_SPACE;
    if (key) {
      RawInput down = KeyInput(RawInput::kKeyDown, key, keys);
      down.text = c;
      Input(down);
      Input(KeyInput(RawInput::kKeyUp, key, keys));
    } else {
      RawInput in;
      in.kind = RawInput::kChar;
      in.key = c;
      Input(in);
    }
  }
}

void HeadlessDriver::ClickControl(HWND control) {
  CRect c = ClientOnSurface(control);
  Click(control, CPoint(c.Width() / 2, c.Height() / 2));
}

void HeadlessDriver::CloseBox(HWND topLevel) {
  Guarded([&] {
    ::PostMessage(topLevel, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
  });
}

bool HeadlessDriver::ChooseMenu(HWND frame, UINT command) {
  bool sent = false;
  Guarded([&] {
    HMENU holder = nullptr;
    int position = 0;
    if (!PrepareMenu(frame, command, &holder, &position)) return;
    if (::GetMenuState(holder, static_cast<UINT>(position), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) return;
    sent = true;
    ::PostMessage(frame, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    Pump();
  });
  return sent;
}

void HeadlessDriver::DragSlider(HWND slider, int position, int steps) {
  CRect thumb = SliderThumbRect(slider);
  CPoint from = thumb.CenterPoint();
  int target = SliderCoordinate(slider, position);
  bool vertical = Inspect(slider).style & TBS_VERT;
  CPoint to = vertical ? CPoint(from.x, target) : CPoint(target, from.y);
  Drag(slider, from, to, steps);
}

void HeadlessDriver::PageSlider(HWND slider, bool up) {
  CRect thumb = SliderThumbRect(slider);
  bool vertical = Inspect(slider).style & TBS_VERT;
  CPoint c = thumb.CenterPoint();
  CPoint at = vertical ? CPoint(c.x, up ? thumb.top - 3 : thumb.bottom + 2) : CPoint(up ? thumb.left - 3 : thumb.right + 2, c.y);
  Click(slider, at);
}

void HeadlessDriver::SliderKey(HWND slider, UINT key) {
  Guarded([&] { ::SetFocus(slider); });
  Key(key);
}

void HeadlessDriver::SelectTab(HWND tab, int index) {
  CRect r = TabItemRect(tab, index);
  Click(tab, r.CenterPoint());
}

void HeadlessDriver::SelectCombo(HWND combo, int index) {
  Guarded([&] {
    ::SetFocus(combo);
    UserSelectCombo(combo, index);
    Pump();
  });
}

void HeadlessDriver::ClickListItem(HWND list, int item, bool stateIcon) {
  CRect r = ListItemRect(list, item, stateIcon ? LVIR_ICON : LVIR_LABEL);
  Click(list, r.CenterPoint());
}

void HeadlessDriver::AdvanceClock(uint64_t milliseconds) {
  backend_.AdvanceClock(milliseconds);
  Pump();
}

}  // namespace brv
