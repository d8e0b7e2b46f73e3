#include "framework/dialog.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "framework/app.h"
#include "framework/backend.h"
#include "framework/controls.h"
#include "framework/system.h"
#include "framework/window_state.h"

using namespace brv;

namespace brv {

namespace {

const char* ClassOfKind(ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton:
    case ControlKind::kCheck:
    case ControlKind::kRadio:
    case ControlKind::kGroupBox: return WC_BUTTON;
    case ControlKind::kStatic:
    case ControlKind::kBitmap:
    case ControlKind::kIcon:
    case ControlKind::kFrame: return WC_STATIC;
    case ControlKind::kEdit: return WC_EDIT;
    case ControlKind::kSlider: return TRACKBAR_CLASS;
    case ControlKind::kProgress: return PROGRESS_CLASS;
    case ControlKind::kList: return WC_LISTVIEW;
    case ControlKind::kTab: return WC_TABCONTROL;
    case ControlKind::kCombo: return WC_COMBOBOX;
  }
  return WC_STATIC;
}

CRect DialogUnits(int x, int y, int w, int h) {
  CRect r(x, y, x + w, y + h);
  ::MapDialogRect(nullptr, &r);
  return r;
}

HWND FirstTabStop(HWND dialog) {
  WindowRecord* d = Record(dialog);
  if (!d) return nullptr;
  for (HWND c : d->children) {
    WindowRecord* r = Record(c);
    if (r && (r->style & WS_TABSTOP) && (r->style & WS_VISIBLE) && !(r->style & WS_DISABLED)) return c;
  }
  return nullptr;
}

}  // namespace

BOOL CreateDialogWindows(CWnd* object, const DialogLayout& layout, CWnd* parent, bool popup) {
  DWORD style = layout.style & ~DWORD(WS_VISIBLE);
  if (popup)
    style = (style & ~DWORD(WS_CHILD)) | WS_POPUP;
  else
    style = (style & ~DWORD(WS_POPUP)) | WS_CHILD;
  if (!popup && !parent) return FALSE;
  CRect client = DialogUnits(0, 0, layout.w, layout.h);
  WindowRecord probe;
  probe.style = style;
  probe.exStyle = layout.exStyle;
  probe.cls = FindClass(WC_DIALOG);
  CRect in = NonClientInsets(probe);
  int w = client.Width() + in.left + in.right;
  int h = client.Height() + in.top + in.bottom;
  int x = 0, y = 0;
  HWND parentHwnd = nullptr;
  if (popup) {
    HWND owner = parent ? TopLevelOf(parent->m_hWnd) : (AfxGetMainWnd() ? AfxGetMainWnd()->m_hWnd : nullptr);
    parentHwnd = owner;
    CRect area(0, 0, CurrentBackend().Metrics().screenWidth, CurrentBackend().Metrics().screenHeight);
    if (owner && IsReallyVisible(owner)) CWnd::FromHandle(owner)->GetWindowRect(&area);
    CPoint at = KeepInside(CRect(CPoint(area.left + (area.Width() - w) / 2, area.top + (area.Height() - h) / 2),
                                 CSize(w, h)),
                           CRect(0, 0, CurrentBackend().Metrics().screenWidth, CurrentBackend().Metrics().screenHeight));
    x = at.x;
    y = at.y;
  } else {
    parentHwnd = parent->m_hWnd;
  }
  if (!object->CreateEx(layout.exStyle, WC_DIALOG, layout.caption.c_str(), style, x, y, w, h, parentHwnd, nullptr))
    return FALSE;
  HWND dialog = object->m_hWnd;
  WindowRecord* d = Record(dialog);
  d->dialogTemplate = layout.id;
  d->font = DialogFont();
  for (const ControlLayout& c : layout.controls) {
    CRect rect = DialogUnits(c.x, c.y, c.w, c.h);
    DWORD exStyle = (c.style & SS_SUNKEN) && (c.kind == ControlKind::kStatic || c.kind == ControlKind::kBitmap ||
                                               c.kind == ControlKind::kIcon || c.kind == ControlKind::kFrame)
                        ? WS_EX_STATICEDGE
                        : 0;
    bool picture = c.kind == ControlKind::kBitmap || c.kind == ControlKind::kIcon;
    HWND control = CreateWindowEx(exStyle, ClassOfKind(c.kind), picture ? "" : c.text.c_str(), c.style, rect.left,
                                  rect.top, rect.Width(), rect.Height(), dialog,
                                  reinterpret_cast<HMENU>(static_cast<uintptr_t>(static_cast<UINT>(c.id) & 0xFFFF)),
                                  AfxGetInstanceHandle(), nullptr);
    if (!control) continue;
    Record(control)->font = DialogFont();
    if (picture) LoadStaticPicture(control, c.kind == ControlKind::kBitmap, std::atoi(c.text.c_str()));
    if (!Record(dialog)) return FALSE;
  }
  HWND first = FirstTabStop(dialog);
  LRESULT focus = Send(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), 0);
  if (!Record(dialog)) return FALSE;
  if (focus) {
    if (HWND f = FirstTabStop(dialog)) {
      Record(dialog)->lastFocus = f;
      if (!popup || IsReallyVisible(dialog)) ::SetFocus(f);
    }
  }
  return TRUE;
}

LRESULT DialogProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = Record(h);
  if (!r) return 0;
  switch (message) {
    case WM_CLOSE: {
      // The close box cancels, with or without a control 2.
      HWND cancel = nullptr;
      for (HWND c : r->children)
        if (Record(c) && Record(c)->id == IDCANCEL) cancel = c;
      Send(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case DM_GETDEFID: {
      if (r->defaultId) return MAKELRESULT(r->defaultId, DC_HASDEFID);
      for (HWND c : r->children) {
        WindowRecord* cr = Record(c);
        if (cr && cr->control && cr->control->Type() == ControlType::kButton &&
            (cr->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
          return MAKELRESULT(cr->id, DC_HASDEFID);
      }
      return 0;
    }
    case DM_SETDEFID: r->defaultId = static_cast<UINT>(wParam); return TRUE;
    case WM_ACTIVATE:
    case WM_SETFOCUS: {
      if (message == WM_ACTIVATE && LOWORD(wParam) == WA_INACTIVE) return 0;
      HWND f = r->lastFocus;
      WindowRecord* fr = Record(f);
      if (!fr || !(fr->style & WS_VISIBLE) || (fr->style & WS_DISABLED)) f = FirstTabStop(h);
      HWND now = State().focus;
      bool inside = now && (now == h || CWnd::FromHandle(h)->IsChild(CWnd::FromHandle(now)));
      if (f && (!inside || now == h)) ::SetFocus(f);
      else if (!f && !inside && message == WM_ACTIVATE) ::SetFocus(h);
      return 0;
    }
    default: return ::DefWindowProc(h, message, wParam, lParam);
  }
}

}  // namespace brv

// ---------------------------------------------------------------- CDialog

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
  ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
  ON_COMMAND(IDOK, OnOK)
  ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() = default;
CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDHelp(templateId), m_nIDTemplate(templateId), m_pParentWnd(parent) {
  m_lpszTemplateName = MAKEINTRESOURCE(templateId);
}
CDialog::CDialog(LPCSTR templateName, CWnd* parent) : m_lpszTemplateName(templateName), m_pParentWnd(parent) {
  if (templateName && IS_INTRESOURCE(templateName)) m_nIDTemplate = LOWORD(reinterpret_cast<uintptr_t>(templateName));
  else if (templateName && templateName[0] == '#') m_nIDTemplate = static_cast<UINT>(std::atoi(templateName + 1));
  m_nIDHelp = m_nIDTemplate;
}
CDialog::~CDialog() = default;

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) { return OnInitDialog(); }

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

BOOL CDialog::CreateFromLayout(bool modal) {
  const DialogLayout* layout = FindDialogLayout(static_cast<int>(m_nIDTemplate));
  if (!layout) {
    Log("dialog %u: no layout", m_nIDTemplate);
    return FALSE;
  }
  bool popup = modal || (layout->style & WS_POPUP);
  if (!CreateDialogWindows(this, *layout, m_pParentWnd, popup)) return FALSE;
  if (!modal && (layout->style & WS_VISIBLE) && Record(m_hWnd)) ShowWindow(SW_SHOW);
  return Record(m_hWnd) ? TRUE : FALSE;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_nIDTemplate = templateId;
  m_lpszTemplateName = MAKEINTRESOURCE(templateId);
  if (parent) m_pParentWnd = parent;
  if (m_nIDHelp == 0) m_nIDHelp = templateId;
  return CreateFromLayout(false);
}

BOOL CDialog::Create(LPCSTR templateName, CWnd* parent) {
  if (!templateName) return FALSE;
  UINT id = IS_INTRESOURCE(templateName) ? LOWORD(reinterpret_cast<uintptr_t>(templateName))
                                         : static_cast<UINT>(std::atoi(templateName[0] == '#' ? templateName + 1 : templateName));
  return Create(id, parent);
}

int CDialog::DoModal() {
  if (m_hWnd) return -1;
  HWND owner = m_pParentWnd ? TopLevelOf(m_pParentWnd->m_hWnd)
                            : (AfxGetMainWnd() ? TopLevelOf(AfxGetMainWnd()->m_hWnd) : nullptr);
  if (!CreateFromLayout(true)) return -1;
  // The owner takes no input while the dialog runs; other windows do.
  bool enableOwner = owner && ::IsWindowEnabled(owner);
  if (enableOwner) ::EnableWindow(owner, FALSE);
  struct Restore {
    CDialog* dialog;
    HWND owner;
    bool enable;
    ~Restore() {
      if (State().exited) return;
      if (enable && Record(owner)) ::EnableWindow(owner, TRUE);
      if (Record(dialog->m_hWnd)) dialog->DestroyWindow();
      if (enable && Record(owner) && IsReallyVisible(owner)) CWnd::FromHandle(owner)->SetActiveWindow();
    }
  } restore{this, owner, enableOwner};
  ShowWindow(SW_SHOW);
  if (!Record(m_hWnd)) return IDCANCEL;
  return RunModalLoop();
}

void CDialog::EndDialog(int result) {
  if (ContinueModal()) EndModalLoop(result);
  if (Record(m_hWnd)) ShowWindow(SW_HIDE);
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

DWORD CDialog::GetDefID() { return static_cast<DWORD>(SendMessage(DM_GETDEFID)); }
void CDialog::SetDefID(UINT id) { SendMessage(DM_SETDEFID, id); }

void CDialog::NextDlgCtrl() const {
  MSG msg{State().focus ? State().focus : m_hWnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  ::IsDialogMessage(m_hWnd, &msg);
}

void CDialog::PrevDlgCtrl() const { NextDlgCtrl(); }

void CDialog::GotoDlgCtrl(CWnd* control) {
  if (control) control->SetFocus();
}

void CDialog::MapDialogRect(LPRECT rect) const { ::MapDialogRect(m_hWnd, rect); }

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYDOWN && msg->message <= WM_SYSCHAR) return ::IsDialogMessage(m_hWnd, msg);
  return FALSE;
}

BOOL CDialog::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  return CWnd::OnCmdMsg(id, code, extra, handlerInfo);
}

// ---------------------------------------------------------------- data exchange

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
  } catch (const DataExchangeFailure&) {
    return FALSE;
  }
  return TRUE;
}

CDataExchange::CDataExchange(CWnd* dialog, BOOL saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

HWND CDataExchange::PrepareCtrl(int id) {
  CWnd* control = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(id) : nullptr;
  m_hWndLastControl = control ? control->m_hWnd : nullptr;
  m_bEditLastControl = FALSE;
  return m_hWndLastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
  HWND h = PrepareCtrl(id);
  m_bEditLastControl = TRUE;
  return h;
}

void CDataExchange::Fail() {
  if (m_bSaveAndValidate && m_hWndLastControl && Record(m_hWndLastControl)) {
    ::SetFocus(m_hWndLastControl);
    if (m_bEditLastControl)
      if (EditData* e = ControlOf<EditData>(m_hWndLastControl)) {
        e->selStart = 0;
        e->selEnd = static_cast<int>(Record(m_hWndLastControl)->text.size());
        ControlChanged(m_hWndLastControl);
      }
  }
  throw DataExchangeFailure{};
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  HWND h = dx->PrepareEditCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate)
    CWnd::FromHandle(h)->GetWindowText(value);
  else
    CWnd::FromHandle(h)->SetWindowText(value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareEditCtrl(id);
  if (!h) return;
  if (!dx->m_bSaveAndValidate) {
    CString t;
    t.Format("%d", value);
    CWnd::FromHandle(h)->SetWindowText(t);
    return;
  }
  CString t;
  CWnd::FromHandle(h)->GetWindowText(t);
  const char* p = t;
  while (*p == ' ' || *p == '\t') ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = *p >= '0' && *p <= '9';
  while (*p >= '0' && *p <= '9') ++p;
  const char* end = p;
  while (*p == ' ' || *p == '\t') ++p;
  long long v = 0;
  bool ok = digits && *p == '\0';
  if (ok) {
    errno = 0;
    v = std::strtoll(std::string(start, end).c_str(), nullptr, 10);
    ok = errno == 0 && v >= INT_MIN && v <= INT_MAX;
  }
  if (!ok) {
    AfxMessageBox("Please enter an integer.", MB_OK | MB_ICONEXCLAMATION);
    dx->Fail();
  }
  value = static_cast<int>(v);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  WindowRecord* r = Record(h);
  WindowRecord* parent = Record(r->parent);
  if (!parent) return;
  auto it = std::find(parent->children.begin(), parent->children.end(), h);
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (; it != parent->children.end(); ++it) {
    WindowRecord* c = Record(*it);
    if (!c) continue;
    if (*it != h && (c->style & WS_GROUP)) break;
    ButtonData* b = dynamic_cast<ButtonData*>(c->control.get());
    UINT type = c->style & BS_TYPEMASK;
    if (!b || (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON)) continue;
    if (dx->m_bSaveAndValidate) {
      if (b->check == BST_CHECKED) value = index;
    } else {
      Send(*it, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ++index;
  }
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  if (dx->m_bSaveAndValidate)
    value = static_cast<int>(Send(h, BM_GETCHECK, 0, 0));
  else
    Send(h, BM_SETCHECK, static_cast<WPARAM>(std::clamp(value, 0, 2)), 0);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd) return;
  HWND h = dx->PrepareCtrl(id);
  if (h) control.SubclassWindow(h);
}

void DDX_Slider(CDataExchange* dx, int id, int& value) {
  HWND h = dx->PrepareCtrl(id);
  if (!h) return;
  SliderData* slider = ControlOf<SliderData>(h);
  if (!slider) return;
  if (dx->m_bSaveAndValidate)
    value = slider->pos;
  else
    SetSliderPos(h, value);
}
