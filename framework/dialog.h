#pragma once
// CDialog: a window made from a DIALOG layout (framework/layout_parser.h),
// modeless (Create: a pop-up owned by the parent's top-level window, or a
// child of the parent, as the layout says) or modal (DoModal: always a
// pop-up; its owner takes no input until it ends). Enter presses the
// default button (IDOK without one); Escape and the close box give IDCANCEL
// even without a control 2. A modal loop never hangs: when the backend has
// no more input, the dialog ends with IDCANCEL.
//
// Data exchange: DoDataExchange with the DDX_ functions; UpdateData(TRUE)
// reads the controls into the members (FALSE, with the members unchanged
// from the failing one on, when a value is bad), UpdateData(FALSE) writes
// them into the controls.
#include "framework/layout_parser.h"
#include "framework/wnd.h"

class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  using CWnd::Create;
  CDialog();
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  explicit CDialog(LPCSTR templateName, CWnd* parent = nullptr);
  ~CDialog() override;

  virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
  virtual BOOL Create(LPCSTR templateName, CWnd* parent = nullptr);
  // IDOK, IDCANCEL or the EndDialog value; -1 when the layout is missing.
  virtual int DoModal();
  void EndDialog(int result);
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();

  // The default button's id (DC_HASDEFID in the high word), or 0.
  DWORD GetDefID();
  void SetDefID(UINT id);
  void NextDlgCtrl() const;
  void PrevDlgCtrl() const;
  void GotoDlgCtrl(CWnd* control);
  void MapDialogRect(LPRECT rect) const;

  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;

  UINT m_nIDHelp = 0;
  UINT m_nIDTemplate = 0;
  LPCSTR m_lpszTemplateName = nullptr;
  CWnd* m_pParentWnd = nullptr;

 protected:
  LRESULT HandleInitDialog(WPARAM, LPARAM);
  BOOL CreateFromLayout(bool modal);
  DECLARE_MESSAGE_MAP()
};

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate);
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  HWND m_hWndLastControl = nullptr;
  BOOL m_bEditLastControl = FALSE;

  // The control (null when the dialog has none: the dialog logs it).
  HWND PrepareCtrl(int id);
  HWND PrepareEditCtrl(int id);
  // Puts the focus on the last control and ends the exchange (UpdateData
  // returns FALSE).
  [[noreturn]] void Fail();
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
// "Please enter an integer." for anything but an optional sign and digits
// (blanks around allowed) within the range of int.
void DDX_Text(CDataExchange* dx, int id, int& value);
// The radio group that starts at id: the 0-based index of the checked
// button, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The control object becomes the control's own (first exchange only).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Slider(CDataExchange* dx, int id, int& value);

namespace brv {
// Thrown by CDataExchange::Fail, caught by UpdateData.
struct DataExchangeFailure {};

// Creates the windows of a layout for `object` (a CDialog or any CWnd):
// the dialog (a pop-up owned by `parent`'s top-level window, or a child of
// `parent`) and every control; sends WM_INITDIALOG. Does not show it.
BOOL CreateDialogWindows(CWnd* object, const DialogLayout& layout, CWnd* parent, bool popup);
}  // namespace brv
