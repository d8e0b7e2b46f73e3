#include "framework/controls.h"

#include <algorithm>
#include <cstring>

#include "framework/app.h"
#include "framework/ascii.h"
#include "framework/backend.h"
#include "framework/dialog.h"
#include "framework/resources.h"
#include "framework/shell.h"
#include "framework/system.h"

using namespace brv;

namespace brv {

StaticData::~StaticData() {
  if (ownsBitmap && bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap));
}

void ControlChanged(HWND control) {
  if (Record(control) && CurrentBackend().HostsNativeControls()) CurrentBackend().ControlChanged(control);
}

std::unique_ptr<ControlData> MakeControlData(std::string_view name) {
  auto is = [&](const char* n) { return name.size() == std::strlen(n) && EqualsNoCase(name, n); };
  if (is(WC_BUTTON)) return std::make_unique<ButtonData>();
  if (is(WC_STATIC)) return std::make_unique<StaticData>();
  if (is(WC_EDIT)) return std::make_unique<EditData>();
  if (is(WC_COMBOBOX)) return std::make_unique<ComboData>();
  if (is(TRACKBAR_CLASS)) return std::make_unique<SliderData>();
  if (is(PROGRESS_CLASS)) return std::make_unique<ProgressData>();
  if (is(UPDOWN_CLASS)) return std::make_unique<SpinData>();
  if (is(WC_LISTVIEW)) return std::make_unique<ListData>();
  if (is(WC_TABCONTROL)) return std::make_unique<TabData>();
  return nullptr;
}

std::unique_ptr<CWnd> MakeWrapper(const WindowRecord& r) {
  if (r.control) switch (r.control->Type()) {
      case ControlType::kButton: return std::make_unique<CButton>();
      case ControlType::kStatic: return std::make_unique<CStatic>();
      case ControlType::kEdit: return std::make_unique<CEdit>();
      case ControlType::kCombo: return std::make_unique<CComboBox>();
      case ControlType::kSlider: return std::make_unique<CSliderCtrl>();
      case ControlType::kProgress: return std::make_unique<CProgressCtrl>();
      case ControlType::kSpin: return std::make_unique<CSpinButtonCtrl>();
      case ControlType::kList: return std::make_unique<CListCtrl>();
      case ControlType::kTab: return std::make_unique<CTabCtrl>();
      default: break;
    }
  return std::make_unique<CWnd>();
}

namespace {

HWND ParentOf(HWND h) {
  WindowRecord* r = Record(h);
  return r && r->IsChild() ? r->parent : nullptr;
}

void Notify(HWND control, UINT code) {
  WindowRecord* r = Record(control);
  if (!r || !r->parent) return;
  Send(r->parent, WM_COMMAND, MAKEWPARAM(r->id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyHeader(HWND control, UINT code, NMHDR* hdr) {
  WindowRecord* r = Record(control);
  if (!r || !r->parent) return 0;
  hdr->hwndFrom = control;
  hdr->idFrom = r->id;
  hdr->code = code;
  return Send(r->parent, WM_NOTIFY, r->id, reinterpret_cast<LPARAM>(hdr));
}

CSize ClientSize(HWND h) { return ClientOnSurface(h).Size(); }

CDC* PaintBegin(HWND h, PAINTSTRUCT* ps) { return CWnd::FromHandle(h)->BeginPaint(ps); }
void PaintEnd(HWND h, PAINTSTRUCT* ps) { CWnd::FromHandle(h)->EndPaint(ps); }

HBRUSH StaticBrush(HWND h, CDC* dc) {
  dc->SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
  dc->SetBkColor(GetSysColor(COLOR_BTNFACE));
  HWND parent = ParentOf(h);
  LRESULT b = parent ? Send(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc->GetSafeHdc()),
                            reinterpret_cast<LPARAM>(h))
                     : 0;
  return b ? reinterpret_cast<HBRUSH>(b) : GetSysColorBrush(COLOR_BTNFACE);
}

// ---------------------------------------------------------------- buttons

bool IsRadio(const WindowRecord& r) {
  UINT t = r.style & BS_TYPEMASK;
  return r.control && r.control->Type() == ControlType::kButton && (t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON);
}

void SetButtonCheck(HWND h, int check) {
  ButtonData* b = ControlOf<ButtonData>(h);
  if (!b) return;
  // Tab comes into a radio group at its checked button, as Windows'
  // buttons do it: the check carries the tab stop.
  if (WindowRecord* r = Record(h); r && IsRadio(*r)) {
    if (check) r->style |= WS_TABSTOP;
    else r->style &= ~DWORD(WS_TABSTOP);
  }
  if (b->check == check) return;
  b->check = check;
  CWnd::FromHandle(h)->Invalidate();
  ControlChanged(h);
}

void PaintGroupBox(HWND h) {
  PAINTSTRUCT ps;
  CDC* dc = PaintBegin(h, &ps);
  if (!dc) return;
  WindowRecord* r = Record(h);
  CSize size = ClientSize(h);
  HBRUSH brush = StaticBrush(h, dc);
  CSize text = dc->GetTextExtent(r->text.c_str(), static_cast<int>(r->text.size()));
  CRect frame(0, text.cy / 2, size.cx, size.cy);
  dc->DrawEdge(&frame, EDGE_ETCHED, BF_RECT);
  if (!r->text.empty()) {
    CRect back(6, 0, 6 + text.cx + 4, text.cy);
    dc->FillRect(&back, brush);
    dc->SetBkMode(TRANSPARENT);
    if (r->style & WS_DISABLED) dc->SetTextColor(GetSysColor(COLOR_GRAYTEXT));
    dc->TextOut(8, 0, r->text.c_str(), static_cast<int>(r->text.size()));
  }
  PaintEnd(h, &ps);
}

LRESULT ButtonDefault(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProc(h, message, wParam, lParam);
}

// ---------------------------------------------------------------- statics

void PaintStatic(HWND h) {
  PAINTSTRUCT ps;
  CDC* dc = PaintBegin(h, &ps);
  if (!dc) return;
  WindowRecord* r = Record(h);
  StaticData* s = ControlOf<StaticData>(h);
  CRect client(CPoint(0, 0), ClientSize(h));
  DWORD type = r->style & SS_TYPEMASK;
  switch (type) {
    case SS_BITMAP:
    case SS_ICON: {
      HBRUSH brush = StaticBrush(h, dc);
      CSize picture(0, 0);
      if (type == SS_BITMAP && s->bitmap) {
        BITMAP bm{};
        GetObject(reinterpret_cast<HGDIOBJ>(s->bitmap), sizeof bm, &bm);
        picture = CSize(bm.bmWidth, bm.bmHeight);
      } else if (type == SS_ICON && s->icon) {
        if (const IconImage* img = IconImageOf(s->icon)) picture = CSize(img->width, img->height);
      }
      CPoint at(0, 0);
      if (r->style & SS_CENTERIMAGE) at = CPoint((client.Width() - picture.cx) / 2, (client.Height() - picture.cy) / 2);
      if (picture.cx < client.Width() || picture.cy < client.Height() || at.x > 0 || at.y > 0)
        dc->FillRect(&client, brush);
      if (type == SS_BITMAP && s->bitmap) dc->DrawState(at, CSize(0, 0), s->bitmap, DST_BITMAP);
      if (type == SS_ICON && s->icon) dc->DrawIcon(at.x, at.y, s->icon);
      break;
    }
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME: {
      int color = type == SS_BLACKFRAME ? COLOR_WINDOWFRAME : type == SS_GRAYFRAME ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT;
      dc->FrameRect(&client, CBrush::FromHandle(GetSysColorBrush(color)));
      break;
    }
    case SS_ETCHEDFRAME: dc->DrawEdge(&client, EDGE_ETCHED, BF_RECT); break;
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT: {
      int color = type == SS_BLACKRECT ? COLOR_WINDOWFRAME : type == SS_GRAYRECT ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT;
      dc->FillRect(&client, GetSysColorBrush(color));
      break;
    }
    default: {
      HBRUSH brush = StaticBrush(h, dc);
      dc->FillRect(&client, brush);
      dc->SetBkMode(TRANSPARENT);
      if (r->style & WS_DISABLED) dc->SetTextColor(GetSysColor(COLOR_GRAYTEXT));
      UINT format = DT_EXPANDTABS;
      if (type == SS_CENTER) format |= DT_CENTER | DT_WORDBREAK;
      else if (type == SS_RIGHT) format |= DT_RIGHT | DT_WORDBREAK;
      else if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) format |= DT_SINGLELINE;
      else format |= DT_WORDBREAK;
      if (r->style & SS_NOPREFIX) format |= DT_NOPREFIX;
      CRect box = client;
      dc->DrawText(r->text.c_str(), static_cast<int>(r->text.size()), &box, format);
      break;
    }
  }
  PaintEnd(h, &ps);
}

void FitStaticToPicture(HWND h) {
  WindowRecord* r = Record(h);
  StaticData* s = ControlOf<StaticData>(h);
  if (!r || !s || (r->style & SS_CENTERIMAGE)) return;
  CSize picture(0, 0);
  if ((r->style & SS_TYPEMASK) == SS_BITMAP && s->bitmap) {
    BITMAP bm{};
    GetObject(reinterpret_cast<HGDIOBJ>(s->bitmap), sizeof bm, &bm);
    picture = CSize(bm.bmWidth, bm.bmHeight);
  } else if ((r->style & SS_TYPEMASK) == SS_ICON && s->icon) {
    if (const IconImage* img = IconImageOf(s->icon)) picture = CSize(img->width, img->height);
  } else {
    return;
  }
  CRect in = NonClientInsets(*r);
  CWnd::FromHandle(h)->SetWindowPos(nullptr, 0, 0, picture.cx + in.left + in.right, picture.cy + in.top + in.bottom,
                                    SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- edits

int LineOf(const std::string& text, int pos) {
  int line = 0;
  for (int i = 0; i < pos && i < static_cast<int>(text.size()); ++i)
    if (text[static_cast<size_t>(i)] == '\n') ++line;
  return line;
}

int LineStart(const std::string& text, int line) {
  int l = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (l == line) return static_cast<int>(i);
    if (text[i] == '\n') ++l;
  }
  return l == line ? static_cast<int>(text.size()) : -1;
}

int LineEnd(const std::string& text, int start) {
  size_t end = text.find('\n', static_cast<size_t>(start));
  if (end == std::string::npos) return static_cast<int>(text.size());
  if (end > static_cast<size_t>(start) && text[end - 1] == '\r') --end;
  return static_cast<int>(end);
}

void ScrollCaret(HWND h) {
  WindowRecord* r = Record(h);
  EditData* e = ControlOf<EditData>(h);
  if (!r || !e) return;
  CSize size = ClientSize(h);
  int caret = std::clamp(e->selEnd, 0, static_cast<int>(r->text.size()));
  if (r->style & ES_MULTILINE) {
    int visible = std::max(1, size.cy / std::max(1, EditLineHeight(h)));
    int line = LineOf(r->text, caret);
    if (line < e->firstLine) e->firstLine = line;
    if (line >= e->firstLine + visible) e->firstLine = line - visible + 1;
  } else {
    if (caret < e->firstChar) e->firstChar = caret;
    HFONT font = r->font ? r->font : DialogFont();
    while (e->firstChar < caret &&
           TextExtent(font, std::string_view(r->text).substr(static_cast<size_t>(e->firstChar),
                                                             static_cast<size_t>(caret - e->firstChar)))
                   .cx > std::max(0, size.cx - 2))
      ++e->firstChar;
  }
  ControlChanged(h);
}

void SetEditSel(HWND h, int start, int end, bool scroll) {
  WindowRecord* r = Record(h);
  EditData* e = ControlOf<EditData>(h);
  if (!r || !e) return;
  int len = static_cast<int>(r->text.size());
  if (start == -1) {
    e->selStart = e->selEnd;  // no selection; the caret stays
  } else {
    if (end == -1 || end > len) end = len;
    e->selStart = std::clamp(start, 0, len);
    e->selEnd = std::clamp(end, 0, len);
  }
  if (scroll) ScrollCaret(h);
  ControlChanged(h);
}

void ReplaceEditSelection(HWND h, const std::string& with, bool notify) {
  WindowRecord* r = Record(h);
  EditData* e = ControlOf<EditData>(h);
  if (!r || !e) return;
  int len = static_cast<int>(r->text.size());
  int a = std::clamp(std::min(e->selStart, e->selEnd), 0, len);
  int b = std::clamp(std::max(e->selStart, e->selEnd), 0, len);
  std::string insert = with;
  if (e->limit > 0) {
    int room = e->limit - (len - (b - a));
    if (room < static_cast<int>(insert.size())) {
      insert.resize(static_cast<size_t>(std::max(0, room)));
      if (notify) Notify(h, EN_MAXTEXT);
    }
  }
  if (!(r = Record(h))) return;
  std::string text = r->text.substr(0, static_cast<size_t>(a)) + insert + r->text.substr(static_cast<size_t>(b));
  UserEditText(h, text, a + static_cast<int>(insert.size()));
  (void)notify;
}

int EditCharAt(HWND h, POINT p) {
  WindowRecord* r = Record(h);
  EditData* e = ControlOf<EditData>(h);
  if (!r || !e) return 0;
  HFONT font = r->font ? r->font : DialogFont();
  int start = 0, end = static_cast<int>(r->text.size()), x0 = 0;
  if (r->style & ES_MULTILINE) {
    int line = e->firstLine + std::max(0, static_cast<int>(p.y)) / std::max(1, EditLineHeight(h));
    start = LineStart(r->text, line);
    if (start < 0) return static_cast<int>(r->text.size());
    end = LineEnd(r->text, start);
  } else {
    start = e->firstChar;
  }
  int best = start;
  for (int i = start; i <= end; ++i) {
    int w = TextExtent(font, std::string_view(r->text).substr(static_cast<size_t>(start), static_cast<size_t>(i - start))).cx;
    if (x0 + w <= p.x + 2) best = i;
  }
  return best;
}

// ---------------------------------------------------------------- sliders

bool Vertical(HWND h) {
  WindowRecord* r = Record(h);
  return r && (r->style & TBS_VERT);
}

void NotifySlider(HWND h, UINT code) {
  WindowRecord* r = Record(h);
  SliderData* s = ControlOf<SliderData>(h);
  if (!r || !s || !r->parent) return;
  UINT pos = code == TB_THUMBTRACK || code == TB_THUMBPOSITION ? static_cast<UINT>(s->pos) : 0;
  Send(r->parent, Vertical(h) ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(h));
}

// ---------------------------------------------------------------- lists

void SetListState(HWND h, int item, UINT state, UINT mask, bool notify) {
  ListData* l = ControlOf<ListData>(h);
  if (!l || item < 0 || item >= static_cast<int>(l->items.size())) return;
  UINT old = l->items[static_cast<size_t>(item)].state;
  UINT now = (old & ~mask) | (state & mask);
  if (now == old) return;
  NMLISTVIEW nm{};
  nm.iItem = item;
  nm.uOldState = old;
  nm.uNewState = now;
  nm.uChanged = LVIF_STATE;
  nm.lParam = l->items[static_cast<size_t>(item)].data;
  if (notify && NotifyHeader(h, LVN_ITEMCHANGING, &nm.hdr)) return;
  if (!(l = ControlOf<ListData>(h)) || item >= static_cast<int>(l->items.size())) return;
  l->items[static_cast<size_t>(item)].state = now;
  ControlChanged(h);
  if (notify) NotifyHeader(h, LVN_ITEMCHANGED, &nm.hdr);
}

int ListStateWidth(const ListData& l) {
  return l.images[LVSIL_STATE] ? l.images[LVSIL_STATE]->GetImageSize().cx : 0;
}

int ListColumnsWidth(HWND h, const ListData& l) {
  if (l.columns.empty()) return ClientSize(h).cx;
  int w = 0;
  for (const ListColumn& c : l.columns) w += c.width;
  return w;
}

}  // namespace

// ---------------------------------------------------------------- shared helpers

void LoadStaticPicture(HWND control, bool bitmap, int number) {
  StaticData* s = ControlOf<StaticData>(control);
  if (!s) return;
  if (bitmap) {
    CBitmap b;
    if (!b.LoadBitmap(static_cast<UINT>(number))) {
      Log("BITMAP %d: missing or unreadable", number);
      return;
    }
    if (s->ownsBitmap && s->bitmap) DeleteObject(reinterpret_cast<HGDIOBJ>(s->bitmap));
    s->bitmap = reinterpret_cast<HBITMAP>(b.Detach());
    s->ownsBitmap = true;
  } else {
    HICON icon = ::LoadIcon(AfxGetInstanceHandle(), MAKEINTRESOURCE(number));
    if (!icon) {
      Log("ICON %d: missing or unreadable", number);
      return;
    }
    s->icon = icon;
  }
  FitStaticToPicture(control);
  CWnd::FromHandle(control)->Invalidate();
}

void ClickButton(HWND h) {
  WindowRecord* r = Record(h);
  ButtonData* b = ControlOf<ButtonData>(h);
  if (!r || !b) return;
  UINT type = r->style & BS_TYPEMASK;
  if (type == BS_AUTOCHECKBOX) {
    SetButtonCheck(h, b->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  } else if (type == BS_AUTO3STATE) {
    SetButtonCheck(h, (b->check + 1) % 3);
  } else if (type == BS_AUTORADIOBUTTON) {
    WindowRecord* parent = Record(r->parent);
    if (parent) {
      const auto& list = parent->children;
      auto it = std::find(list.begin(), list.end(), h);
      size_t at = static_cast<size_t>(it - list.begin());
      size_t first = at;
      while (first > 0 && Record(list[first]) && !(Record(list[first])->style & WS_GROUP)) --first;
      size_t last = at + 1;
      while (last < list.size() && Record(list[last]) && !(Record(list[last])->style & WS_GROUP)) ++last;
      for (size_t i = first; i < last; ++i) {
        WindowRecord* c = Record(list[i]);
        if (c && list[i] != h && IsRadio(*c) && (c->style & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
          SetButtonCheck(list[i], BST_UNCHECKED);
      }
    }
    SetButtonCheck(h, BST_CHECKED);
  }
  if (Record(h)) Notify(h, BN_CLICKED);
}

int SliderCoordinate(HWND h, int position) {
  SliderData* s = ControlOf<SliderData>(h);
  if (!s) return 0;
  CSize size = ClientSize(h);
  int length = Vertical(h) ? size.cy : size.cx;
  int a = 8, b = std::max(a, length - 9);
  if (s->max <= s->min) return a;
  long long p = std::clamp(position, s->min, s->max) - s->min;
  return a + static_cast<int>((p * (b - a) + (s->max - s->min) / 2) / (s->max - s->min));
}

int SliderPositionAt(HWND h, int coordinate) {
  SliderData* s = ControlOf<SliderData>(h);
  if (!s) return 0;
  CSize size = ClientSize(h);
  int length = Vertical(h) ? size.cy : size.cx;
  int a = 8, b = std::max(a, length - 9);
  if (b == a || s->max <= s->min) return s->min;
  long long d = std::clamp(coordinate, a, b) - a;
  return s->min + static_cast<int>((d * (s->max - s->min) + (b - a) / 2) / (b - a));
}

CRect SliderThumbRect(HWND h) {
  CSize size = ClientSize(h);
  SliderData* s = ControlOf<SliderData>(h);
  if (!s) return CRect();
  int c = SliderCoordinate(h, s->pos);
  if (Vertical(h)) return CRect(2, c - 5, std::max(3, size.cx - 2), c + 6);
  return CRect(c - 5, 2, c + 6, std::max(3, size.cy - 2));
}

void SetSliderPos(HWND h, int position) {
  SliderData* s = ControlOf<SliderData>(h);
  if (!s) return;
  int p = std::clamp(position, s->min, std::max(s->min, s->max));
  if (p == s->pos) return;
  s->pos = p;
  ControlChanged(h);
}

void UserMovedSlider(HWND h, int position, UINT code) {
  SetSliderPos(h, position);
  NotifySlider(h, code);
}

int ListRowHeight(HWND h) {
  ListData* l = ControlOf<ListData>(h);
  int height = 17;
  if (l)
    for (CImageList* list : l->images)
      if (list) height = std::max(height, static_cast<int>(list->GetImageSize().cy));
  return height;
}

CRect ListItemRect(HWND h, int item, UINT code) {
  ListData* l = ControlOf<ListData>(h);
  if (!l || item < 0 || item >= static_cast<int>(l->items.size())) return CRect();
  int row = ListRowHeight(h);
  int top = (item - l->top) * row;
  int state = ListStateWidth(*l);
  int width = ListColumnsWidth(h, *l);
  switch (code) {
    case LVIR_ICON: return CRect(0, top, state, top + row);
    case LVIR_LABEL: return CRect(state, top, std::max(state, width), top + row);
    default: return CRect(0, top, std::max(state, width), top + row);
  }
}

int ListHitTest(HWND h, POINT p, UINT* flags) {
  ListData* l = ControlOf<ListData>(h);
  if (flags) *flags = LVHT_NOWHERE;
  if (!l) return -1;
  if (CurrentBackend().HostsNativeControls()) {
    int item = -1;
    UINT native = LVHT_NOWHERE;
    if (CurrentBackend().ListHitTest(h, p, &item, &native)) {
      if (flags) *flags = native;
      return item;
    }
  }
  CSize size = ClientSize(h);
  if (p.x < 0 || p.y < 0 || p.x >= size.cx || p.y >= size.cy) return -1;
  int item = l->top + p.y / ListRowHeight(h);
  if (item < 0 || item >= static_cast<int>(l->items.size())) return -1;
  int state = ListStateWidth(*l);
  bool hasState = (l->items[static_cast<size_t>(item)].state & LVIS_STATEIMAGEMASK) != 0;
  if (p.x < state && hasState) {
    if (flags) *flags = LVHT_ONITEMSTATEICON;
    return item;
  }
  if (p.x < ListColumnsWidth(h, *l)) {
    if (flags) *flags = LVHT_ONITEMLABEL;
    return item;
  }
  return -1;
}

void UserSelectListItem(HWND h, int item) {
  ListData* l = ControlOf<ListData>(h);
  if (!l) return;
  for (int i = 0; i < static_cast<int>(l->items.size()); ++i)
    if (i != item) {
      SetListState(h, i, 0, LVIS_SELECTED | LVIS_FOCUSED, true);
      if (!(l = ControlOf<ListData>(h))) return;
    }
  if (item >= 0 && item < static_cast<int>(l->items.size())) {
    SetListState(h, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, true);
    if ((l = ControlOf<ListData>(h))) l->selectionMark = item;
  }
}

CRect TabItemRect(HWND h, int item) {
  TabData* t = ControlOf<TabData>(h);
  if (!t || item < 0 || item >= static_cast<int>(t->items.size())) return CRect();
  HFONT font = Record(h)->font ? Record(h)->font : DialogFont();
  int x = 2;
  int height = TextExtent(font, "Ag").cy + 8;
  for (int i = 0; i <= item; ++i) {
    int w = TextExtent(font, t->items[static_cast<size_t>(i)].text).cx + 12;
    if (i == item) return CRect(x, 2, x + w, 2 + height);
    x += w;
  }
  return CRect();
}

void UserSelectTab(HWND h, int item) {
  TabData* t = ControlOf<TabData>(h);
  if (!t || item < 0 || item >= static_cast<int>(t->items.size()) || item == t->current) return;
  NMHDR hdr{};
  if (NotifyHeader(h, TCN_SELCHANGING, &hdr)) return;
  if (!(t = ControlOf<TabData>(h)) || item >= static_cast<int>(t->items.size())) return;
  t->current = item;
  ControlChanged(h);
  CWnd::FromHandle(h)->Invalidate();
  NotifyHeader(h, TCN_SELCHANGE, &hdr);
}

void UserSelectCombo(HWND h, int item) {
  ComboData* c = ControlOf<ComboData>(h);
  WindowRecord* r = Record(h);
  if (!c || item < -1 || item >= static_cast<int>(c->items.size())) return;
  c->current = item;
  if ((r->style & 0x3) != CBS_DROPDOWNLIST) r->text = item >= 0 ? c->items[static_cast<size_t>(item)].text : "";
  ControlChanged(h);
  Notify(h, CBN_SELCHANGE);
}

void UserEditText(HWND h, const std::string& text, int caret) {
  WindowRecord* r = Record(h);
  EditData* e = ControlOf<EditData>(h);
  if (!r || !e) return;
  r->text = text;
  e->selStart = e->selEnd = std::clamp(caret, 0, static_cast<int>(text.size()));
  e->modified = true;
  ScrollCaret(h);
  Notify(h, EN_UPDATE);
  if (Record(h)) Notify(h, EN_CHANGE);
}

int EditLineHeight(HWND h) {
  WindowRecord* r = Record(h);
  TEXTMETRIC tm{};
  if (!TextMetrics(r && r->font ? r->font : DialogFont(), &tm) || tm.tmHeight <= 0) return 13;
  return tm.tmHeight;
}

std::vector<std::string> EditLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

// ---------------------------------------------------------------- procedures

LRESULT ButtonProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = Record(h);
  ButtonData* b = ControlOf<ButtonData>(h);
  if (!r || !b) return 0;
  UINT type = r->style & BS_TYPEMASK;
  bool group = type == BS_GROUPBOX;
  switch (message) {
    case BM_GETCHECK: return b->check;
    case BM_SETCHECK: SetButtonCheck(h, static_cast<int>(wParam)); return 0;
    case BM_GETSTATE: return b->check | (b->pushed ? BST_PUSHED : 0) | (State().focus == h ? BST_FOCUS : 0);
    case BM_SETSTATE:
      b->pushed = wParam != 0;
      ControlChanged(h);
      return 0;
    case BM_CLICK: ClickButton(h); return 0;
    case BM_SETSTYLE:
      r->style = (r->style & ~DWORD(BS_TYPEMASK)) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
      ControlChanged(h);
      if (lParam) CWnd::FromHandle(h)->Invalidate();
      return 0;
    case BM_SETIMAGE: {
      LRESULT old;
      if (wParam == IMAGE_ICON) {
        old = reinterpret_cast<LRESULT>(b->icon);
        b->icon = reinterpret_cast<HICON>(lParam);
      } else {
        old = reinterpret_cast<LRESULT>(b->bitmap);
        b->bitmap = reinterpret_cast<HBITMAP>(lParam);
      }
      ControlChanged(h);
      CWnd::FromHandle(h)->Invalidate();
      return old;
    }
    case BM_GETIMAGE:
      return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(b->icon) : reinterpret_cast<LRESULT>(b->bitmap);
    case WM_GETDLGCODE:
      if (group) return DLGC_STATIC;
      if (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON) return DLGC_RADIOBUTTON | DLGC_BUTTON;
      if (type == BS_DEFPUSHBUTTON) return DLGC_DEFPUSHBUTTON | DLGC_BUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON;
      return DLGC_BUTTON;
    case WM_NCHITTEST: return group ? HTTRANSPARENT : HTCLIENT;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (group) return 0;
      ::SetFocus(h);
      if (!(b = ControlOf<ButtonData>(h))) return 0;
      b->pushed = true;
      ::SetCapture(h);
      ControlChanged(h);
      return 0;
    case WM_LBUTTONUP: {
      if (group || !b->pushed) return 0;
      b->pushed = false;
      if (State().capture == h) ::ReleaseCapture();
      ControlChanged(h);
      CSize size = ClientSize(h);
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (p.x >= 0 && p.y >= 0 && p.x < size.cx && p.y < size.cy) ClickButton(h);
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_SPACE && !group) {
        b->pushed = true;
        ControlChanged(h);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && b->pushed) {
        b->pushed = false;
        ControlChanged(h);
        ClickButton(h);
      }
      return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT:
      if (group) {
        PaintGroupBox(h);
        return 0;
      }
      return ButtonDefault(h, message, wParam, lParam);
    case WM_ENABLE:
      ControlChanged(h);
      CWnd::FromHandle(h)->Invalidate();
      return 0;
    default: return ButtonDefault(h, message, wParam, lParam);
  }
}

LRESULT StaticProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = Record(h);
  StaticData* s = ControlOf<StaticData>(h);
  if (!r || !s) return 0;
  switch (message) {
    case WM_NCHITTEST: return (r->style & SS_NOTIFY) ? HTCLIENT : HTTRANSPARENT;
    case WM_LBUTTONDOWN:
      if (r->style & SS_NOTIFY) Notify(h, STN_CLICKED);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (r->style & SS_NOTIFY) Notify(h, STN_DBLCLK);
      return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: PaintStatic(h); return 0;
    case WM_ENABLE: CWnd::FromHandle(h)->Invalidate(); return 0;
    case STM_SETIMAGE:
    case STM_SETICON: {
      bool icon = message == STM_SETICON || wParam == IMAGE_ICON;
      LRESULT old;
      if (icon) {
        old = reinterpret_cast<LRESULT>(s->icon);
        s->icon = reinterpret_cast<HICON>(message == STM_SETICON ? wParam : static_cast<WPARAM>(lParam));
      } else {
        old = reinterpret_cast<LRESULT>(s->bitmap);
        if (s->ownsBitmap && s->bitmap) {
          // The layout's own picture goes; the caller's stays the caller's.
          DeleteObject(reinterpret_cast<HGDIOBJ>(s->bitmap));
          old = 0;
        }
        s->bitmap = reinterpret_cast<HBITMAP>(lParam);
        s->ownsBitmap = false;
      }
      FitStaticToPicture(h);
      CWnd::FromHandle(h)->Invalidate();
      return old;
    }
    case STM_GETIMAGE:
      return wParam == IMAGE_ICON ? reinterpret_cast<LRESULT>(s->icon) : reinterpret_cast<LRESULT>(s->bitmap);
    case STM_GETICON: return reinterpret_cast<LRESULT>(s->icon);
    default: return ::DefWindowProc(h, message, wParam, lParam);
  }
}

LRESULT EditProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = Record(h);
  EditData* e = ControlOf<EditData>(h);
  if (!r || !e) return 0;
  bool multi = (r->style & ES_MULTILINE) != 0;
  switch (message) {
    case WM_GETDLGCODE: {
      UINT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      MSG* msg = reinterpret_cast<MSG*>(lParam);
      if (multi && (r->style & ES_WANTRETURN) && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        code |= DLGC_WANTMESSAGE;
      return code;
    }
    case WM_SETFOCUS: Notify(h, EN_SETFOCUS); return 0;
    case WM_KILLFOCUS: Notify(h, EN_KILLFOCUS); return 0;
    case EM_GETSEL: {
      int a = std::min(e->selStart, e->selEnd), b = std::max(e->selStart, e->selEnd);
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(a);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(b);
      return MAKELRESULT(static_cast<unsigned>(a), static_cast<unsigned>(b));
    }
    case EM_SETSEL: SetEditSel(h, static_cast<int>(static_cast<intptr_t>(wParam)), static_cast<int>(lParam), false); return 0;
    case EM_SCROLLCARET: ScrollCaret(h); return TRUE;
    case EM_REPLACESEL: ReplaceEditSelection(h, lParam ? reinterpret_cast<const char*>(lParam) : "", true); return 0;
    case EM_LIMITTEXT: e->limit = static_cast<int>(wParam); return 0;
    case EM_GETMODIFY: return e->modified;
    case EM_SETMODIFY: e->modified = wParam != 0; return 0;
    case EM_GETLINECOUNT: return static_cast<LRESULT>(EditLines(r->text).size());
    case EM_GETFIRSTVISIBLELINE: return multi ? e->firstLine : e->firstChar;
    case EM_LINESCROLL:
      e->firstLine = std::clamp(e->firstLine + static_cast<int>(lParam), 0,
                                std::max(0, static_cast<int>(EditLines(r->text).size()) - 1));
      e->firstChar = std::max(0, e->firstChar + static_cast<int>(static_cast<intptr_t>(wParam)));
      ControlChanged(h);
      return TRUE;
    case EM_SETREADONLY:
      r->style = wParam ? (r->style | ES_READONLY) : (r->style & ~DWORD(ES_READONLY));
      ControlChanged(h);
      return TRUE;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      ::SetFocus(h);
      if (!(e = ControlOf<EditData>(h))) return 0;
      int at = EditCharAt(h, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      SetEditSel(h, at, at, true);
      return 0;
    }
    case WM_CHAR: {
      if (r->style & ES_READONLY) {
        MessageBeep(0);
        return 0;
      }
      UINT ch = static_cast<UINT>(wParam);
      if (ch == '\b') {
        if (e->selStart == e->selEnd) {
          int a = std::min(e->selStart, e->selEnd);
          if (a == 0) return 0;
          int from = a - 1;
          if (multi && from > 0 && r->text[static_cast<size_t>(from)] == '\n' && r->text[static_cast<size_t>(from - 1)] == '\r')
            --from;
          e->selStart = from;
          e->selEnd = a;
        }
        ReplaceEditSelection(h, "", true);
        return 0;
      }
      if (ch == '\r') {
        if (multi) ReplaceEditSelection(h, "\r\n", true);
        return 0;
      }
      if (ch < 32 && ch != '\t') return 0;
      if (ch == '\t' && !multi) return 0;
      if ((r->style & ES_NUMBER) && (ch < '0' || ch > '9')) {
        MessageBeep(0);
        return 0;
      }
      ReplaceEditSelection(h, std::string(1, static_cast<char>(ch)), true);
      return 0;
    }
    case WM_KEYDOWN: {
      int len = static_cast<int>(r->text.size());
      bool shift = GetKeyState(VK_SHIFT) < 0;
      int caret = e->selEnd;
      int to = caret;
      switch (wParam) {
        case VK_LEFT: to = std::max(0, caret - 1); break;
        case VK_RIGHT: to = std::min(len, caret + 1); break;
        case VK_HOME: to = multi ? LineStart(r->text, LineOf(r->text, caret)) : 0; break;
        case VK_END: to = multi ? LineEnd(r->text, LineStart(r->text, LineOf(r->text, caret))) : len; break;
        case VK_UP:
        case VK_DOWN: {
          if (!multi) {
            to = wParam == VK_UP ? std::max(0, caret - 1) : std::min(len, caret + 1);
            break;
          }
          int line = LineOf(r->text, caret) + (wParam == VK_UP ? -1 : 1);
          int column = caret - LineStart(r->text, LineOf(r->text, caret));
          int start = line < 0 ? -1 : LineStart(r->text, line);
          if (start >= 0) to = std::min(start + column, LineEnd(r->text, start));
          break;
        }
        case VK_DELETE:
          if (r->style & ES_READONLY) return 0;
          if (e->selStart == e->selEnd) {
            if (caret >= len) return 0;
            e->selEnd = caret + ((multi && r->text[static_cast<size_t>(caret)] == '\r') ? 2 : 1);
          }
          ReplaceEditSelection(h, "", true);
          return 0;
        default: return 0;
      }
      SetEditSel(h, shift ? e->selStart : to, to, true);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: return ::DefWindowProc(h, message, wParam, lParam);
    default: return ::DefWindowProc(h, message, wParam, lParam);
  }
}

LRESULT ComboProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  ComboData* c = ControlOf<ComboData>(h);
  if (!c) return 0;
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: ::SetFocus(h); return 0;
    case WM_KEYDOWN: {
      int n = static_cast<int>(c->items.size());
      if (n == 0) return 0;
      int to = c->current;
      if (wParam == VK_UP || wParam == VK_LEFT) to = std::max(0, c->current - 1);
      else if (wParam == VK_DOWN || wParam == VK_RIGHT) to = std::min(n - 1, c->current + 1);
      else if (wParam == VK_HOME) to = 0;
      else if (wParam == VK_END) to = n - 1;
      else return 0;
      if (to != c->current) UserSelectCombo(h, to);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    default: return ::DefWindowProc(h, message, wParam, lParam);
  }
}

LRESULT SliderProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  SliderData* s = ControlOf<SliderData>(h);
  if (!s) return 0;
  POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  int along = Vertical(h) ? p.y : p.x;
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      ::SetFocus(h);
      if (!(s = ControlOf<SliderData>(h))) return 0;
      ::SetCapture(h);
      if (SliderThumbRect(h).PtInRect(p)) {
        s->dragging = true;
        s->dragOffset = along - SliderCoordinate(h, s->pos);
        return 0;
      }
      // A click in the channel pages towards the point.
      bool down = along > SliderCoordinate(h, s->pos);
      s->pendingEnd = 1;
      UserMovedSlider(h, s->pos + (down ? s->page : -s->page), down ? TB_PAGEDOWN : TB_PAGEUP);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (s->dragging) {
        int pos = SliderPositionAt(h, along - s->dragOffset);
        if (pos != s->pos) UserMovedSlider(h, pos, TB_THUMBTRACK);
      }
      return 0;
    case WM_LBUTTONUP:
      if (State().capture == h) ::ReleaseCapture();
      if (s->dragging) {
        s->dragging = false;
        NotifySlider(h, TB_THUMBPOSITION);
        if (ControlOf<SliderData>(h)) NotifySlider(h, TB_ENDTRACK);
      } else if (s->pendingEnd) {
        s->pendingEnd = 0;
        NotifySlider(h, TB_ENDTRACK);
      }
      return 0;
    case WM_KEYDOWN: {
      UINT code;
      int pos = s->pos;
      switch (wParam) {
        case VK_LEFT:
        case VK_UP: code = TB_LINEUP, pos -= s->line; break;
        case VK_RIGHT:
        case VK_DOWN: code = TB_LINEDOWN, pos += s->line; break;
        case VK_PRIOR: code = TB_PAGEUP, pos -= s->page; break;
        case VK_NEXT: code = TB_PAGEDOWN, pos += s->page; break;
        case VK_HOME: code = TB_TOP, pos = s->min; break;
        case VK_END: code = TB_BOTTOM, pos = s->max; break;
        default: return 0;
      }
      s->pendingEnd = 1;
      UserMovedSlider(h, pos, code);
      return 0;
    }
    case WM_KEYUP:
      if (s->pendingEnd && wParam != VK_SHIFT && wParam != VK_CONTROL) {
        s->pendingEnd = 0;
        NotifySlider(h, TB_ENDTRACK);
      }
      return 0;
    case WM_ERASEBKGND: return 1;
    default: return ::DefWindowProc(h, message, wParam, lParam);
  }
}

LRESULT ProgressProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  return ::DefWindowProc(h, message, wParam, lParam);
}

LRESULT SpinProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) return 1;
  return ::DefWindowProc(h, message, wParam, lParam);
}

LRESULT ListProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  ListData* l = ControlOf<ListData>(h);
  if (!l) return 0;
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      ::SetFocus(h);
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      UINT flags = 0;
      int item = ListHitTest(h, p, &flags);
      UserSelectListItem(h, item);
      NMLISTVIEW nm{};
      nm.iItem = item;
      nm.ptAction = p;
      NotifyHeader(h, message == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_CLICK, &nm.hdr);
      return 0;
    }
    case WM_KEYDOWN: {
      int n = static_cast<int>(l->items.size());
      if (n == 0) return 0;
      int current = -1;
      for (int i = 0; i < n; ++i)
        if (l->items[static_cast<size_t>(i)].state & LVIS_FOCUSED) current = i;
      int page = std::max(1, ClientSize(h).cy / ListRowHeight(h));
      int to = current;
      switch (wParam) {
        case VK_UP: to = std::max(0, current - 1); break;
        case VK_DOWN: to = std::min(n - 1, current + 1); break;
        case VK_PRIOR: to = std::max(0, current - page); break;
        case VK_NEXT: to = std::min(n - 1, current + page); break;
        case VK_HOME: to = 0; break;
        case VK_END: to = n - 1; break;
        default: return 0;
      }
      if (to < 0) to = 0;
      UserSelectListItem(h, to);
      if ((l = ControlOf<ListData>(h))) {
        int visible = std::max(1, ClientSize(h).cy / ListRowHeight(h));
        if (to < l->top) l->top = to;
        if (to >= l->top + visible) l->top = to - visible + 1;
        ControlChanged(h);
      }
      return 0;
    }
    case WM_MOUSEWHEEL: {
      int lines = -GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3;
      int visible = std::max(1, ClientSize(h).cy / ListRowHeight(h));
      l->top = std::clamp(l->top + lines, 0, std::max(0, static_cast<int>(l->items.size()) - visible));
      ControlChanged(h);
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    default: return ::DefWindowProc(h, message, wParam, lParam);
  }
}

LRESULT TabProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  TabData* t = ControlOf<TabData>(h);
  if (!t) return 0;
  switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN: {
      POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      for (int i = 0; i < static_cast<int>(t->items.size()); ++i)
        if (TabItemRect(h, i).PtInRect(p)) {
          ::SetFocus(h);
          UserSelectTab(h, i);
          return 0;
        }
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_LEFT && t->current > 0) UserSelectTab(h, t->current - 1);
      if (wParam == VK_RIGHT && t->current + 1 < static_cast<int>(t->items.size())) UserSelectTab(h, t->current + 1);
      return 0;
    case WM_ERASEBKGND: return 1;
    default: return ::DefWindowProc(h, message, wParam, lParam);
  }
}

}  // namespace brv

// ---------------------------------------------------------------- classes

namespace {
BOOL CreateControl(CWnd* w, LPCSTR cls, LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return w->CreateEx(0, cls, text, style | WS_CHILD, rect, parent, id);
}
}  // namespace

IMPLEMENT_DYNAMIC(CButton, CWnd)
BOOL CButton::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, WC_BUTTON, text, style, rect, parent, id);
}
int CButton::GetCheck() const { return static_cast<int>(::SendMessage(m_hWnd, BM_GETCHECK, 0, 0)); }
void CButton::SetCheck(int check) { ::SendMessage(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
UINT CButton::GetState() const { return static_cast<UINT>(::SendMessage(m_hWnd, BM_GETSTATE, 0, 0)); }
void CButton::SetState(BOOL highlight) { ::SendMessage(m_hWnd, BM_SETSTATE, highlight ? 1 : 0, 0); }
UINT CButton::GetButtonStyle() const { return GetStyle() & 0xFFFF; }
void CButton::SetButtonStyle(UINT style, BOOL redraw) { ::SendMessage(m_hWnd, BM_SETSTYLE, style, redraw); }
HBITMAP CButton::SetBitmap(HBITMAP bitmap) {
  return reinterpret_cast<HBITMAP>(::SendMessage(m_hWnd, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
}
HBITMAP CButton::GetBitmap() const {
  return reinterpret_cast<HBITMAP>(::SendMessage(m_hWnd, BM_GETIMAGE, IMAGE_BITMAP, 0));
}
HICON CButton::SetIcon(HICON icon) {
  return reinterpret_cast<HICON>(::SendMessage(m_hWnd, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)));
}
HICON CButton::GetIcon() const { return reinterpret_cast<HICON>(::SendMessage(m_hWnd, BM_GETIMAGE, IMAGE_ICON, 0)); }

IMPLEMENT_DYNAMIC(CStatic, CWnd)
BOOL CStatic::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, WC_STATIC, text, style, rect, parent, id);
}
HBITMAP CStatic::SetBitmap(HBITMAP bitmap) {
  return reinterpret_cast<HBITMAP>(::SendMessage(m_hWnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
}
HBITMAP CStatic::GetBitmap() const {
  return reinterpret_cast<HBITMAP>(::SendMessage(m_hWnd, STM_GETIMAGE, IMAGE_BITMAP, 0));
}
HICON CStatic::SetIcon(HICON icon) {
  return reinterpret_cast<HICON>(::SendMessage(m_hWnd, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
}
HICON CStatic::GetIcon() const { return reinterpret_cast<HICON>(::SendMessage(m_hWnd, STM_GETICON, 0, 0)); }

IMPLEMENT_DYNAMIC(CEdit, CWnd)
BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, WC_EDIT, "", style, rect, parent, id);
}
void CEdit::SetSel(int start, int end, BOOL noScroll) { SetEditSel(m_hWnd, start, end, !noScroll); }
void CEdit::SetSel(DWORD selection, BOOL noScroll) {
  SetSel(static_cast<short>(LOWORD(selection)), static_cast<short>(HIWORD(selection)), noScroll);
}
DWORD CEdit::GetSel() const {
  int a = 0, b = 0;
  GetSel(a, b);
  return MAKELONG(static_cast<unsigned>(a), static_cast<unsigned>(b));
}
void CEdit::GetSel(int& start, int& end) const {
  EditData* e = ControlOf<EditData>(m_hWnd);
  start = e ? std::min(e->selStart, e->selEnd) : 0;
  end = e ? std::max(e->selStart, e->selEnd) : 0;
}
void CEdit::ReplaceSel(LPCSTR text, BOOL) { ReplaceEditSelection(m_hWnd, text ? text : "", true); }
void CEdit::Clear() { ReplaceSel(""); }
void CEdit::LimitText(int characters) {
  if (EditData* e = ControlOf<EditData>(m_hWnd)) e->limit = std::max(0, characters);
}
UINT CEdit::GetLimitText() const {
  EditData* e = ControlOf<EditData>(m_hWnd);
  return e && e->limit > 0 ? static_cast<UINT>(e->limit) : 30000u;
}
int CEdit::GetLineCount() const {
  WindowRecord* r = Record(m_hWnd);
  return r ? static_cast<int>(EditLines(r->text).size()) : 0;
}
int CEdit::GetFirstVisibleLine() const {
  EditData* e = ControlOf<EditData>(m_hWnd);
  WindowRecord* r = Record(m_hWnd);
  if (!e) return 0;
  return (r->style & ES_MULTILINE) ? e->firstLine : e->firstChar;
}
void CEdit::LineScroll(int lines, int characters) {
  EditData* e = ControlOf<EditData>(m_hWnd);
  if (!e) return;
  e->firstLine = std::clamp(e->firstLine + lines, 0, std::max(0, GetLineCount() - 1));
  e->firstChar = std::max(0, e->firstChar + characters);
  ControlChanged(m_hWnd);
}
int CEdit::LineIndex(int line) const {
  WindowRecord* r = Record(m_hWnd);
  EditData* e = ControlOf<EditData>(m_hWnd);
  if (!r || !e) return -1;
  if (line < 0) line = LineOf(r->text, e->selEnd);
  return LineStart(r->text, line);
}
int CEdit::LineLength(int charIndex) const {
  WindowRecord* r = Record(m_hWnd);
  EditData* e = ControlOf<EditData>(m_hWnd);
  if (!r || !e) return 0;
  int at = charIndex < 0 ? e->selEnd : charIndex;
  int start = LineStart(r->text, LineOf(r->text, at));
  return start < 0 ? 0 : LineEnd(r->text, start) - start;
}
int CEdit::LineFromChar(int charIndex) const {
  WindowRecord* r = Record(m_hWnd);
  EditData* e = ControlOf<EditData>(m_hWnd);
  if (!r || !e) return 0;
  return LineOf(r->text, charIndex < 0 ? e->selEnd : charIndex);
}
BOOL CEdit::SetReadOnly(BOOL readOnly) {
  ModifyStyle(readOnly ? 0 : ES_READONLY, readOnly ? ES_READONLY : 0);
  ControlChanged(m_hWnd);
  return TRUE;
}
BOOL CEdit::GetModify() const {
  EditData* e = ControlOf<EditData>(m_hWnd);
  return e && e->modified ? TRUE : FALSE;
}
void CEdit::SetModify(BOOL modified) {
  if (EditData* e = ControlOf<EditData>(m_hWnd)) e->modified = modified != FALSE;
}

IMPLEMENT_DYNAMIC(CComboBox, CWnd)
BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, WC_COMBOBOX, "", style, rect, parent, id);
}
int CComboBox::AddString(LPCSTR text) {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c) return CB_ERR;
  std::string t = text ? text : "";
  int at = static_cast<int>(c->items.size());
  if (GetStyle() & CBS_SORT) {
    at = 0;
    while (at < static_cast<int>(c->items.size()) && _stricmp(c->items[static_cast<size_t>(at)].text.c_str(), t.c_str()) <= 0)
      ++at;
  }
  return InsertString(at, t.c_str());
}
int CComboBox::InsertString(int index, LPCSTR text) {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || index > static_cast<int>(c->items.size())) return CB_ERR;
  if (index < 0) index = static_cast<int>(c->items.size());
  c->items.insert(c->items.begin() + index, ComboItem{text ? text : "", 0});
  if (c->current >= index) ++c->current;
  ControlChanged(m_hWnd);
  return index;
}
int CComboBox::DeleteString(UINT index) {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || index >= c->items.size()) return CB_ERR;
  c->items.erase(c->items.begin() + static_cast<std::ptrdiff_t>(index));
  if (c->current == static_cast<int>(index)) c->current = -1;
  else if (c->current > static_cast<int>(index)) --c->current;
  ControlChanged(m_hWnd);
  return static_cast<int>(c->items.size());
}
void CComboBox::ResetContent() {
  if (ComboData* c = ControlOf<ComboData>(m_hWnd)) {
    c->items.clear();
    c->current = -1;
    ControlChanged(m_hWnd);
  }
}
int CComboBox::GetCount() const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  return c ? static_cast<int>(c->items.size()) : CB_ERR;
}
int CComboBox::GetCurSel() const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  return c ? c->current : CB_ERR;
}
int CComboBox::SetCurSel(int index) {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  WindowRecord* r = Record(m_hWnd);
  if (!c) return CB_ERR;
  if (index < -1 || index >= static_cast<int>(c->items.size())) {
    c->current = -1;
    ControlChanged(m_hWnd);
    return CB_ERR;
  }
  c->current = index;
  if ((r->style & 0x3) != CBS_DROPDOWNLIST) r->text = index >= 0 ? c->items[static_cast<size_t>(index)].text : "";
  ControlChanged(m_hWnd);
  return index;
}
int CComboBox::GetLBText(int index, LPSTR buffer) const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size()) || !buffer) return CB_ERR;
  const std::string& t = c->items[static_cast<size_t>(index)].text;
  std::memcpy(buffer, t.c_str(), t.size() + 1);
  return static_cast<int>(t.size());
}
void CComboBox::GetLBText(int index, CString& text) const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  text = c && index >= 0 && index < static_cast<int>(c->items.size())
             ? CString(std::string_view(c->items[static_cast<size_t>(index)].text))
             : CString();
}
int CComboBox::GetLBTextLen(int index) const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return CB_ERR;
  return static_cast<int>(c->items[static_cast<size_t>(index)].text.size());
}
DWORD_PTR CComboBox::GetItemData(int index) const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return static_cast<DWORD_PTR>(CB_ERR);
  return c->items[static_cast<size_t>(index)].data;
}
int CComboBox::SetItemData(int index, DWORD_PTR data) {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return CB_ERR;
  c->items[static_cast<size_t>(index)].data = data;
  return 0;
}
int CComboBox::FindString(int startAfter, LPCSTR text) const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || !text) return CB_ERR;
  int n = static_cast<int>(c->items.size());
  size_t len = std::strlen(text);
  for (int k = 1; k <= n; ++k) {
    int i = ((startAfter < 0 ? -1 : startAfter) + k) % n;
    if (_strnicmp(c->items[static_cast<size_t>(i)].text.c_str(), text, len) == 0) return i;
  }
  return CB_ERR;
}
int CComboBox::FindStringExact(int startAfter, LPCSTR text) const {
  ComboData* c = ControlOf<ComboData>(m_hWnd);
  if (!c || !text) return CB_ERR;
  int n = static_cast<int>(c->items.size());
  for (int k = 1; k <= n; ++k) {
    int i = ((startAfter < 0 ? -1 : startAfter) + k) % n;
    if (_stricmp(c->items[static_cast<size_t>(i)].text.c_str(), text) == 0) return i;
  }
  return CB_ERR;
}
int CComboBox::SelectString(int startAfter, LPCSTR text) {
  int i = FindString(startAfter, text);
  return i == CB_ERR ? CB_ERR : SetCurSel(i);
}

IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)
BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, TRACKBAR_CLASS, "", style, rect, parent, id);
}
void CSliderCtrl::SetRange(int minimum, int maximum, BOOL) {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  if (!s) return;
  s->min = minimum;
  s->max = maximum;
  s->pos = std::clamp(s->pos, s->min, std::max(s->min, s->max));
  s->page = std::max(1, (std::max(s->min, s->max) - s->min) / 5);
  ControlChanged(m_hWnd);
}
void CSliderCtrl::SetRangeMin(int minimum, BOOL redraw) { SetRange(minimum, GetRangeMax(), redraw); }
void CSliderCtrl::SetRangeMax(int maximum, BOOL redraw) { SetRange(GetRangeMin(), maximum, redraw); }
void CSliderCtrl::GetRange(int& minimum, int& maximum) const {
  minimum = GetRangeMin();
  maximum = GetRangeMax();
}
int CSliderCtrl::GetRangeMin() const {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  return s ? s->min : 0;
}
int CSliderCtrl::GetRangeMax() const {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  return s ? s->max : 0;
}
int CSliderCtrl::GetPos() const {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  return s ? s->pos : 0;
}
void CSliderCtrl::SetPos(int position) { SetSliderPos(m_hWnd, position); }
void CSliderCtrl::SetTicFreq(int frequency) {
  if (SliderData* s = ControlOf<SliderData>(m_hWnd)) {
    s->ticFreq = std::max(1, frequency);
    ControlChanged(m_hWnd);
  }
}
int CSliderCtrl::SetLineSize(int size) {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  if (!s) return 0;
  int old = s->line;
  s->line = size;
  return old;
}
int CSliderCtrl::GetLineSize() const {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  return s ? s->line : 0;
}
int CSliderCtrl::SetPageSize(int size) {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  if (!s) return 0;
  int old = s->page;
  s->page = size;
  return old;
}
int CSliderCtrl::GetPageSize() const {
  SliderData* s = ControlOf<SliderData>(m_hWnd);
  return s ? s->page : 0;
}
void CSliderCtrl::GetThumbRect(LPRECT rect) const { *rect = SliderThumbRect(m_hWnd); }
void CSliderCtrl::GetChannelRect(LPRECT rect) const {
  CSize size = ClientOnSurface(m_hWnd).Size();
  bool vertical = GetStyle() & TBS_VERT;
  *rect = vertical ? CRect(size.cx / 2 - 2, 8, size.cx / 2 + 2, std::max(8, size.cy - 8))
                   : CRect(8, size.cy / 2 - 2, std::max(8, size.cx - 8), size.cy / 2 + 2);
}

IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
BOOL CProgressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, PROGRESS_CLASS, "", style, rect, parent, id);
}
void CProgressCtrl::SetRange(short lower, short upper) { SetRange32(lower, upper); }
void CProgressCtrl::SetRange32(int lower, int upper) {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  if (!p) return;
  p->lower = lower;
  p->upper = upper;
  p->pos = std::clamp(p->pos, std::min(lower, upper), std::max(lower, upper));
  ControlChanged(m_hWnd);
}
void CProgressCtrl::GetRange(int& lower, int& upper) const {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  lower = p ? p->lower : 0;
  upper = p ? p->upper : 0;
}
int CProgressCtrl::SetPos(int position) {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  if (!p) return 0;
  int old = p->pos;
  p->pos = std::clamp(position, std::min(p->lower, p->upper), std::max(p->lower, p->upper));
  if (p->pos != old) ControlChanged(m_hWnd);
  return old;
}
int CProgressCtrl::GetPos() const {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  return p ? p->pos : 0;
}
int CProgressCtrl::OffsetPos(int delta) {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  if (!p) return 0;
  return SetPos(static_cast<int>(std::clamp<long long>(static_cast<long long>(p->pos) + delta, INT32_MIN, INT32_MAX)));
}
int CProgressCtrl::SetStep(int step) {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  if (!p) return 0;
  int old = p->step;
  p->step = step;
  return old;
}
int CProgressCtrl::StepIt() {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  if (!p) return 0;
  int old = p->pos;
  long long next = static_cast<long long>(p->pos) + p->step;
  int lo = std::min(p->lower, p->upper), hi = std::max(p->lower, p->upper);
  if (next > hi) next = lo + (next - hi);
  if (next < lo) next = hi - (lo - next);
  p->pos = static_cast<int>(std::clamp<long long>(next, lo, hi));
  ControlChanged(m_hWnd);
  return old;
}
int CProgressCtrl::GetPercent() const {
  ProgressData* p = ControlOf<ProgressData>(m_hWnd);
  if (!p || p->upper == p->lower) return 0;
  long long num = static_cast<long long>(p->pos - p->lower) * 100;
  long long den = static_cast<long long>(p->upper) - p->lower;
  if (den < 0) num = -num, den = -den;
  long long v = (num * 2 + den) / (2 * den);
  return static_cast<int>(std::clamp<long long>(v, 0, 100));
}

IMPLEMENT_DYNAMIC(CSpinButtonCtrl, CWnd)
BOOL CSpinButtonCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, UPDOWN_CLASS, "", style, rect, parent, id);
}
int CSpinButtonCtrl::SetPos(int position) { return SetPos32(static_cast<short>(position)); }
int CSpinButtonCtrl::SetPos32(int position) {
  SpinData* s = ControlOf<SpinData>(m_hWnd);
  if (!s) return 0;
  int old = s->pos;
  s->pos = std::clamp(position, std::min(s->lower, s->upper), std::max(s->lower, s->upper));
  if (s->pos != old) ControlChanged(m_hWnd);
  return old;
}
int CSpinButtonCtrl::GetPos() const { return static_cast<short>(GetPos32()); }
int CSpinButtonCtrl::GetPos32(BOOL* error) const {
  SpinData* s = ControlOf<SpinData>(m_hWnd);
  if (error) *error = s ? FALSE : TRUE;
  return s ? s->pos : 0;
}
void CSpinButtonCtrl::SetRange(short lower, short upper) { SetRange32(lower, upper); }
void CSpinButtonCtrl::SetRange32(int lower, int upper) {
  SpinData* s = ControlOf<SpinData>(m_hWnd);
  if (!s) return;
  s->lower = lower;
  s->upper = upper;
  s->pos = std::clamp(s->pos, std::min(lower, upper), std::max(lower, upper));
  ControlChanged(m_hWnd);
}
DWORD CSpinButtonCtrl::GetRange() const {
  int lower = 0, upper = 0;
  GetRange32(lower, upper);
  return MAKELONG(static_cast<WORD>(upper), static_cast<WORD>(lower));
}
void CSpinButtonCtrl::GetRange(int& lower, int& upper) const {
  GetRange32(lower, upper);
  lower = static_cast<short>(lower);
  upper = static_cast<short>(upper);
}
void CSpinButtonCtrl::GetRange32(int& lower, int& upper) const {
  SpinData* s = ControlOf<SpinData>(m_hWnd);
  lower = s ? s->lower : 0;
  upper = s ? s->upper : 0;
}

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)
BOOL CListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, WC_LISTVIEW, "", style, rect, parent, id);
}
int CListCtrl::InsertColumn(int column, LPCSTR heading, int format, int width, int) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l) return -1;
  column = std::clamp(column, 0, static_cast<int>(l->columns.size()));
  if (width < 0) width = ClientOnSurface(m_hWnd).Width();
  l->columns.insert(l->columns.begin() + column, ListColumn{heading ? heading : "", width, format});
  ControlChanged(m_hWnd);
  return column;
}
BOOL CListCtrl::DeleteColumn(int column) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || column < 0 || column >= static_cast<int>(l->columns.size())) return FALSE;
  l->columns.erase(l->columns.begin() + column);
  ControlChanged(m_hWnd);
  return TRUE;
}
BOOL CListCtrl::SetColumnWidth(int column, int width) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || column < 0 || column >= static_cast<int>(l->columns.size())) return FALSE;
  l->columns[static_cast<size_t>(column)].width = std::max(0, width);
  ControlChanged(m_hWnd);
  return TRUE;
}
int CListCtrl::GetColumnWidth(int column) const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || column < 0 || column >= static_cast<int>(l->columns.size())) return 0;
  return l->columns[static_cast<size_t>(column)].width;
}
int CListCtrl::InsertItem(int index, LPCSTR text) { return InsertItem(LVIF_TEXT, index, text, 0, 0, -1, 0); }
int CListCtrl::InsertItem(int index, LPCSTR text, int image) {
  return InsertItem(LVIF_TEXT | LVIF_IMAGE, index, text, 0, 0, image, 0);
}
int CListCtrl::InsertItem(UINT mask, int index, LPCSTR text, UINT state, UINT stateMask, int image, LPARAM data) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0) return -1;
  index = std::min(index, static_cast<int>(l->items.size()));
  ListItem item;
  item.texts.push_back((mask & LVIF_TEXT) && text ? text : "");
  if (mask & LVIF_STATE) item.state = state & stateMask;
  if (mask & LVIF_IMAGE) item.image = image;
  if (mask & LVIF_PARAM) item.data = data;
  l->items.insert(l->items.begin() + index, std::move(item));
  if (l->selectionMark >= index) ++l->selectionMark;
  ControlChanged(m_hWnd);
  return index;
}
BOOL CListCtrl::DeleteItem(int index) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0 || index >= static_cast<int>(l->items.size())) return FALSE;
  l->items.erase(l->items.begin() + index);
  if (l->selectionMark == index) l->selectionMark = -1;
  else if (l->selectionMark > index) --l->selectionMark;
  l->top = std::min(l->top, std::max(0, static_cast<int>(l->items.size()) - 1));
  ControlChanged(m_hWnd);
  return TRUE;
}
BOOL CListCtrl::DeleteAllItems() {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l) return FALSE;
  l->items.clear();
  l->top = 0;
  l->selectionMark = -1;
  ControlChanged(m_hWnd);
  return TRUE;
}
int CListCtrl::GetItemCount() const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  return l ? static_cast<int>(l->items.size()) : 0;
}
CString CListCtrl::GetItemText(int index, int subItem) const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0 || index >= static_cast<int>(l->items.size()) || subItem < 0) return CString();
  const auto& texts = l->items[static_cast<size_t>(index)].texts;
  return subItem < static_cast<int>(texts.size()) ? CString(std::string_view(texts[static_cast<size_t>(subItem)])) : CString();
}
int CListCtrl::GetItemText(int index, int subItem, LPSTR buffer, int size) const {
  if (!buffer || size <= 0) return 0;
  CString t = GetItemText(index, subItem);
  int n = std::min(t.GetLength(), size - 1);
  std::memcpy(buffer, t.GetString(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}
BOOL CListCtrl::SetItemText(int index, int subItem, LPCSTR text) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0 || index >= static_cast<int>(l->items.size()) || subItem < 0) return FALSE;
  auto& texts = l->items[static_cast<size_t>(index)].texts;
  if (subItem >= static_cast<int>(texts.size())) texts.resize(static_cast<size_t>(subItem) + 1);
  texts[static_cast<size_t>(subItem)] = text ? text : "";
  ControlChanged(m_hWnd);
  return TRUE;
}
DWORD_PTR CListCtrl::GetItemData(int index) const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0 || index >= static_cast<int>(l->items.size())) return 0;
  return static_cast<DWORD_PTR>(l->items[static_cast<size_t>(index)].data);
}
BOOL CListCtrl::SetItemData(int index, DWORD_PTR data) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0 || index >= static_cast<int>(l->items.size())) return FALSE;
  l->items[static_cast<size_t>(index)].data = static_cast<LPARAM>(data);
  return TRUE;
}
BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l) return FALSE;
  if (index == -1) {
    for (int i = 0; i < static_cast<int>(l->items.size()); ++i) SetListState(m_hWnd, i, state, mask, true);
    return TRUE;
  }
  if (index < 0 || index >= static_cast<int>(l->items.size())) return FALSE;
  SetListState(m_hWnd, index, state, mask, true);
  return TRUE;
}
UINT CListCtrl::GetItemState(int index, UINT mask) const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0 || index >= static_cast<int>(l->items.size())) return 0;
  return l->items[static_cast<size_t>(index)].state & mask;
}
int CListCtrl::GetNextItem(int start, int flags) const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l) return -1;
  UINT want = 0;
  if (flags & LVNI_SELECTED) want |= LVIS_SELECTED;
  if (flags & LVNI_FOCUSED) want |= LVIS_FOCUSED;
  for (int i = start + 1; i < static_cast<int>(l->items.size()); ++i)
    if ((l->items[static_cast<size_t>(i)].state & want) == want) return i;
  return -1;
}
UINT CListCtrl::GetSelectedCount() const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  UINT n = 0;
  if (l)
    for (const ListItem& i : l->items) n += (i.state & LVIS_SELECTED) ? 1 : 0;
  return n;
}
int CListCtrl::GetSelectionMark() const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  return l ? l->selectionMark : -1;
}
int CListCtrl::SetSelectionMark(int index) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l) return -1;
  int old = l->selectionMark;
  l->selectionMark = index;
  return old;
}
BOOL CListCtrl::EnsureVisible(int index, BOOL partialOK) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || index < 0 || index >= static_cast<int>(l->items.size())) return FALSE;
  int row = ListRowHeight(m_hWnd);
  int height = ClientOnSurface(m_hWnd).Height();
  int visible = std::max(1, height / row);
  int top = (index - l->top) * row;
  bool shown = partialOK ? (top + row > 0 && top < height) : (index >= l->top && index < l->top + visible);
  if (!shown) {
    if (index < l->top) l->top = index;
    else l->top = std::max(0, index - visible + 1);
    ControlChanged(m_hWnd);
  }
  return TRUE;
}
int CListCtrl::GetTopIndex() const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  return l ? l->top : 0;
}
int CListCtrl::GetCountPerPage() const { return std::max(1, ClientOnSurface(m_hWnd).Height() / ListRowHeight(m_hWnd)); }
int CListCtrl::HitTest(CPoint point, UINT* flags) const { return ListHitTest(m_hWnd, point, flags); }
BOOL CListCtrl::GetItemRect(int index, LPRECT rect, UINT code) const {
  CRect r = ListItemRect(m_hWnd, index, code);
  if (r.IsRectEmpty() && r.left == 0 && r.right == 0) return FALSE;
  *rect = r;
  return TRUE;
}
CImageList* CListCtrl::SetImageList(CImageList* list, int type) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l || type < 0 || type > 2) return nullptr;
  CImageList* old = l->images[type];
  l->images[type] = list;
  ControlChanged(m_hWnd);
  return old;
}
CImageList* CListCtrl::GetImageList(int type) const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  return l && type >= 0 && type <= 2 ? l->images[type] : nullptr;
}
DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  ListData* l = ControlOf<ListData>(m_hWnd);
  if (!l) return 0;
  DWORD old = l->extendedStyle;
  l->extendedStyle = style;
  ControlChanged(m_hWnd);
  return old;
}
DWORD CListCtrl::GetExtendedStyle() const {
  ListData* l = ControlOf<ListData>(m_hWnd);
  return l ? l->extendedStyle : 0;
}

IMPLEMENT_DYNAMIC(CTabCtrl, CWnd)
BOOL CTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateControl(this, WC_TABCONTROL, "", style, rect, parent, id);
}
LONG CTabCtrl::InsertItem(int index, LPCSTR text) {
  TabData* t = ControlOf<TabData>(m_hWnd);
  if (!t || index < 0) return -1;
  index = std::min(index, static_cast<int>(t->items.size()));
  t->items.insert(t->items.begin() + index, TabItem{text ? text : "", 0});
  if (t->current >= index) ++t->current;
  if (t->current < 0) t->current = 0;
  ControlChanged(m_hWnd);
  CWnd::Invalidate();
  return index;
}
BOOL CTabCtrl::DeleteItem(int index) {
  TabData* t = ControlOf<TabData>(m_hWnd);
  if (!t || index < 0 || index >= static_cast<int>(t->items.size())) return FALSE;
  t->items.erase(t->items.begin() + index);
  if (t->current == index) t->current = t->items.empty() ? -1 : 0;
  else if (t->current > index) --t->current;
  ControlChanged(m_hWnd);
  return TRUE;
}
BOOL CTabCtrl::DeleteAllItems() {
  TabData* t = ControlOf<TabData>(m_hWnd);
  if (!t) return FALSE;
  t->items.clear();
  t->current = -1;
  ControlChanged(m_hWnd);
  return TRUE;
}
int CTabCtrl::GetItemCount() const {
  TabData* t = ControlOf<TabData>(m_hWnd);
  return t ? static_cast<int>(t->items.size()) : 0;
}
int CTabCtrl::GetCurSel() const {
  TabData* t = ControlOf<TabData>(m_hWnd);
  return t ? t->current : -1;
}
int CTabCtrl::SetCurSel(int index) {
  TabData* t = ControlOf<TabData>(m_hWnd);
  if (!t || index < 0 || index >= static_cast<int>(t->items.size())) return -1;
  int old = t->current;
  t->current = index;
  ControlChanged(m_hWnd);
  return old;
}
BOOL CTabCtrl::GetItemRect(int index, LPRECT rect) const {
  CRect r = TabItemRect(m_hWnd, index);
  if (r.IsRectEmpty()) return FALSE;
  *rect = r;
  return TRUE;
}
void CTabCtrl::AdjustRect(BOOL larger, LPRECT rect) {
  int top = TextExtent(DialogFont(), "Ag").cy + 8 + 2;
  if (larger) {
    rect->left -= 4, rect->right += 4, rect->bottom += 4, rect->top -= top + 2;
  } else {
    rect->left += 4, rect->right -= 4, rect->bottom -= 4, rect->top += top + 2;
  }
}

// ---------------------------------------------------------------- image lists

BOOL CImageList::Create(UINT bitmapId, int width, int, COLORREF mask) {
  CBitmap bitmap;
  if (width <= 0 || !bitmap.LoadBitmap(bitmapId)) return FALSE;
  BITMAP bm{};
  bitmap.GetBitmap(&bm);
  DeleteImageList();
  width_ = width;
  height_ = bm.bmHeight;
  masked_ = true;
  created_ = true;
  Add(&bitmap, mask);
  return TRUE;
}

BOOL CImageList::Create(int width, int height, UINT flags, int, int) {
  if (width <= 0 || height <= 0) return FALSE;
  DeleteImageList();
  width_ = width;
  height_ = height;
  masked_ = (flags & ILC_MASK) != 0;
  created_ = true;
  return TRUE;
}

int CImageList::AddFrom(const Surface& surface, int bitsPerPixel, bool useMask, COLORREF mask) {
  if (!created_ || width_ <= 0 || surface.Height() < height_) return -1;
  int first = static_cast<int>(images_.size());
  uint32_t maskPixel = PixelOf(mask) & 0x00FFFFFF;
  for (int x0 = 0; x0 + width_ <= surface.Width(); x0 += width_) {
    Image image;
    image.pixels.resize(static_cast<size_t>(width_) * height_);
    image.mask.assign(static_cast<size_t>(width_) * height_, 0);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        uint32_t p = surface.Pixel(x0 + x, y) & 0x00FFFFFF;
        size_t i = static_cast<size_t>(y) * width_ + x;
        image.pixels[i] = p;
        if (useMask && p == maskPixel) image.mask[i] = 1;
      }
    images_.push_back(std::move(image));
  }
  (void)bitsPerPixel;
  return static_cast<int>(images_.size()) > first ? first : -1;
}

int CImageList::Add(CBitmap* bitmap, COLORREF mask) {
  if (!bitmap) return -1;
  Surface* s = BitmapSurface(static_cast<HBITMAP>(*bitmap));
  if (!s) return -1;
  return AddFrom(*s, BitmapBitsPerPixel(static_cast<HBITMAP>(*bitmap)), true, mask);
}

int CImageList::Add(HICON icon) {
  const IconImage* img = IconImageOf(icon);
  if (!created_ || !img || img->width != width_ || img->height != height_) return -1;
  Image image;
  image.pixels = img->pixels;
  image.mask = img->mask;
  images_.push_back(std::move(image));
  return static_cast<int>(images_.size()) - 1;
}

BOOL CImageList::Remove(int image) {
  if (image == -1) {
    images_.clear();
    return TRUE;
  }
  if (image < 0 || image >= static_cast<int>(images_.size())) return FALSE;
  images_.erase(images_.begin() + image);
  return TRUE;
}

BOOL CImageList::DeleteImageList() {
  bool had = created_;
  images_.clear();
  created_ = false;
  width_ = height_ = 0;
  return had ? TRUE : FALSE;
}

BOOL CImageList::Draw(CDC* dc, int image, POINT point, UINT style) const {
  if (!dc || image < 0 || image >= static_cast<int>(images_.size())) return FALSE;
  const Image& img = images_[static_cast<size_t>(image)];
  bool transparent = masked_ || (style & ILD_TRANSPARENT);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      size_t i = static_cast<size_t>(y) * width_ + x;
      if (transparent && img.mask[i]) continue;
      dc->SetPixelV(point.x + x, point.y + y, ColorOf(img.pixels[i]));
    }
  return TRUE;
}

COLORREF CImageList::GetPixel(int image, int x, int y) const {
  if (image < 0 || image >= static_cast<int>(images_.size()) || x < 0 || y < 0 || x >= width_ || y >= height_)
    return CLR_INVALID;
  return ColorOf(images_[static_cast<size_t>(image)].pixels[static_cast<size_t>(y) * width_ + x]);
}

bool CImageList::IsTransparent(int image, int x, int y) const {
  if (image < 0 || image >= static_cast<int>(images_.size()) || x < 0 || y < 0 || x >= width_ || y >= height_)
    return false;
  return images_[static_cast<size_t>(image)].mask[static_cast<size_t>(y) * width_ + x] != 0;
}
