#pragma once
// CWnd: the window base class. Windows are plain state kept by the
// framework (see framework/window_state.h); a CWnd object is the C++ side of
// one window: the framework dispatches the window's messages to it through
// its message table and, for what it does not handle, to the window class's
// own procedure (DefWindowProc, or a control's built-in behaviour).
//
// Messages travel as on Windows: SendMessage calls at once, PostMessage
// queues; WM_PAINT and WM_TIMER are made when the queue is empty (WM_PAINT
// first), timers coalesced. Input is hit-tested when it is taken from the
// queue: WM_MOUSEACTIVATE first, WM_SETCURSOR, then the mouse message.
//
// Pixels: each top-level window owns an RGB32 surface of its client area; a
// window's DC draws into its top-level window's surface at the window's
// client origin, clipped to what of it is visible (its client area inside
// every ancestor's, without siblings above it and, with WS_CLIPCHILDREN,
// without its children).
#include <memory>
#include <vector>

#include "framework/gdi.h"
#include "framework/msgmap.h"
#include "framework/object.h"
#include "framework/system.h"
#include "framework/winmsg.h"

class CMenu;
class CFrameWnd;
class CDataExchange;

#define CW_USEDEFAULT (static_cast<int>(0x80000000))

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
};
typedef PAINTSTRUCT* LPPAINTSTRUCT;

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x, y, cx, cy;
  UINT flags;
};

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

class CWnd : public CCmdTarget {
  DECLARE_DYNCREATE(CWnd)
 public:
  CWnd();
  ~CWnd() override;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  bool operator==(const CWnd& other) const { return other.m_hWnd == m_hWnd; }

  // The object of a window: its own object when it has one, else a wrapper
  // that lives as long as the window (of the control class that fits its
  // kind: a slider gives a CSliderCtrl, ...). Null for no window.
  static CWnd* FromHandle(HWND window);
  // Only a window's own object (null for wrappers).
  static CWnd* FromHandlePermanent(HWND window);

  // Creation and destruction.
  virtual BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                      UINT id, struct CCreateContext* context = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                int height, HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
  // After the last message (WM_NCDESTROY); frames and views delete themselves here.
  virtual void PostNcDestroy();

  // This object becomes the window's own: it sees every message first and
  // passes what it does not handle to the window's class procedure.
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();
  BOOL Attach(HWND window);
  HWND Detach();

  // Messages.
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL deep = TRUE);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The class procedure with the message being handled now.
  LRESULT Default();
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Calls PreTranslateMessage of the message's window and its parents up to
  // stop; TRUE when one of them took the message.
  static BOOL WalkPreTranslateTree(HWND stop, MSG* msg);
  // A modal loop on this window until EndModalLoop; returns its result.
  int RunModalLoop(DWORD flags = 0);
  virtual BOOL ContinueModal();
  virtual void EndModalLoop(int result);

  // Relatives.
  CWnd* GetParent() const;
  CWnd* SetParent(CWnd* parent);
  CWnd* GetOwner() const;
  void SetOwner(CWnd* owner);
  CWnd* GetTopLevelParent() const;
  CFrameWnd* GetParentFrame() const;
  CFrameWnd* GetTopLevelFrame() const;
  BOOL IsChild(const CWnd* window) const;
  CWnd* GetWindow(UINT command) const;
  CWnd* GetNextWindow(UINT command = GW_HWNDNEXT) const;
  CWnd* GetTopWindow() const;
  CWnd* GetDescendantWindow(int id, BOOL onlyPermanent = FALSE) const;
  CWnd* ChildWindowFromPoint(POINT clientPoint) const;
  static CWnd* WindowFromPoint(POINT screenPoint);
  // The child with that id (dialogs log a missing one).
  virtual CWnd* GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  int SetDlgCtrlID(int id);

  // Geometry. A child's window rectangle is kept in its parent's client
  // coordinates, a top-level window's in screen coordinates; GetWindowRect
  // gives screen coordinates for both.
  void GetWindowRect(LPRECT rect) const;
  void GetClientRect(LPRECT rect) const;
  void ClientToScreen(LPPOINT point) const;
  void ClientToScreen(LPRECT rect) const;
  void ScreenToClient(LPPOINT point) const;
  void ScreenToClient(LPRECT rect) const;
  void MapWindowPoints(CWnd* to, LPPOINT points, UINT count) const;
  void MapWindowPoints(CWnd* to, LPRECT rect) const;
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
  void CenterWindow(CWnd* alternateOwner = nullptr);
  static const CWnd wndTop;
  static const CWnd wndBottom;
  static const CWnd wndTopMost;
  static const CWnd wndNoTopMost;

  // State.
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  BOOL IsWindowEnabled() const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsIconic() const;
  BOOL IsZoomed() const;
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
  void SetWindowText(LPCSTR text);
  int GetWindowText(LPSTR buffer, int size) const;
  void GetWindowText(CString& text) const;
  int GetWindowTextLength() const;
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  HICON SetIcon(HICON icon, BOOL big);
  HICON GetIcon(BOOL big) const;

  // Dialog-item helpers.
  void SetDlgItemText(int id, LPCSTR text);
  int GetDlgItemText(int id, LPSTR buffer, int size) const;
  int GetDlgItemText(int id, CString& text) const;
  void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE);
  UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const;
  void CheckDlgButton(int id, UINT check);
  UINT IsDlgButtonChecked(int id) const;
  void CheckRadioButton(int first, int last, int check);
  int GetCheckedRadioButton(int first, int last);

  // Focus, capture, activation.
  CWnd* SetFocus();
  static CWnd* GetFocus();
  CWnd* SetCapture();
  static CWnd* GetCapture();
  CWnd* SetActiveWindow();
  static CWnd* GetActiveWindow();
  BOOL SetForegroundWindow();
  static CWnd* GetForegroundWindow();
  void BringWindowToTop();

  // Painting.
  void Invalidate(BOOL erase = TRUE);
  void InvalidateRect(LPCRECT rect, BOOL erase = TRUE);
  void InvalidateRgn(CRgn* region, BOOL erase = TRUE);
  void ValidateRect(LPCRECT rect);
  void ValidateRgn(CRgn* region);
  void UpdateWindow();
  BOOL RedrawWindow(LPCRECT rect = nullptr, CRgn* region = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  BOOL GetUpdateRect(LPRECT rect, BOOL erase = FALSE);
  int GetUpdateRgn(CRgn* region, BOOL erase = FALSE);
  CDC* BeginPaint(LPPAINTSTRUCT paint);
  void EndPaint(LPPAINTSTRUCT paint);
  // A DC on the window's client area until ReleaseDC.
  CDC* GetDC();
  CDC* GetWindowDC();
  int ReleaseDC(CDC* dc);
  BOOL ShowCaret();
  BOOL HideCaret();
  BOOL CreateSolidCaret(int width, int height);
  static BOOL SetCaretPos(POINT p);

  // Timers: any id; setting an armed id again restarts it.
  UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds, TIMERPROC proc = nullptr);
  BOOL KillTimer(UINT_PTR id);

  // Menus (top-level windows).
  CMenu* GetMenu() const;
  BOOL SetMenu(CMenu* menu);
  void DrawMenuBar();
  CMenu* GetSystemMenu(BOOL revert) const;

  int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);

  // Message handlers of the base class: each passes its message to the
  // class procedure (Default()).
  virtual int OnCreate(LPCREATESTRUCT cs);
  virtual void OnDestroy();
  virtual void OnNcDestroy();
  virtual void OnSize(UINT type, int cx, int cy);
  virtual void OnMove(int x, int y);
  virtual void OnPaint();
  virtual BOOL OnEraseBkgnd(CDC* dc);
  virtual void OnClose();
  virtual void OnTimer(UINT_PTR id);
  virtual void OnMouseMove(UINT flags, CPoint point);
  virtual void OnLButtonDown(UINT flags, CPoint point);
  virtual void OnLButtonUp(UINT flags, CPoint point);
  virtual void OnLButtonDblClk(UINT flags, CPoint point);
  virtual void OnRButtonDown(UINT flags, CPoint point);
  virtual void OnRButtonUp(UINT flags, CPoint point);
  virtual void OnRButtonDblClk(UINT flags, CPoint point);
  virtual void OnMButtonDown(UINT flags, CPoint point);
  virtual void OnMButtonUp(UINT flags, CPoint point);
  virtual void OnMButtonDblClk(UINT flags, CPoint point);
  virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  virtual int OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message);
  virtual void OnKeyDown(UINT key, UINT repeat, UINT flags);
  virtual void OnKeyUp(UINT key, UINT repeat, UINT flags);
  virtual void OnChar(UINT key, UINT repeat, UINT flags);
  virtual void OnSysKeyDown(UINT key, UINT repeat, UINT flags);
  virtual void OnSysKeyUp(UINT key, UINT repeat, UINT flags);
  virtual void OnHScroll(UINT code, UINT position, CScrollBar* control);
  virtual void OnVScroll(UINT code, UINT position, CScrollBar* control);
  virtual void OnSetFocus(CWnd* previous);
  virtual void OnKillFocus(CWnd* next);
  virtual void OnShowWindow(BOOL show, UINT status);
  virtual BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
  virtual void OnActivate(UINT state, CWnd* other, BOOL minimized);
  virtual void OnSysCommand(UINT id, LPARAM lParam);
  virtual void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu);
  virtual UINT OnGetDlgCode();
  virtual UINT OnNcHitTest(CPoint point);
  virtual HBRUSH OnCtlColor(CDC* dc, CWnd* control, UINT kind);
  virtual void OnWindowPosChanged(WINDOWPOS* pos);
  virtual void OnEnable(BOOL enable);

  // Data exchange of the dialog classes (here so any window can hold controls).
  virtual void DoDataExchange(CDataExchange* dx);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

 protected:
  DECLARE_MESSAGE_MAP()

 private:
  explicit CWnd(HWND special) : m_hWnd(special) {}
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  int modalResult_ = 0;
  bool continueModal_ = false;
};

// Device contexts of a window.
class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* window);
  ~CClientDC() override;

 protected:
  HWND m_hWnd = nullptr;
};

class CWindowDC : public CClientDC {
 public:
  explicit CWindowDC(CWnd* window) : CClientDC(window) {}
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps{};

 protected:
  HWND m_hWnd = nullptr;
};

// ---------------------------------------------------------------- functions

// One message through the application's PumpMessage (or, without an
// application, GetMessage, TranslateMessage and DispatchMessage); FALSE on WM_QUIT.
BOOL AfxPumpMessage();

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL GetMessage(MSG* msg, HWND window, UINT first, UINT last);
BOOL PeekMessage(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessage(const MSG* msg);
BOOL IsDialogMessage(HWND dialog, MSG* msg);
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A window without an object of its own (controls); null on failure.
HWND CreateWindowEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                    int height, HWND parent, HMENU idOrMenu, HINSTANCE instance, LPVOID param);
BOOL IsWindow(HWND window);
BOOL DestroyWindow(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL IsWindowEnabled(HWND window);
BOOL EnableWindow(HWND window, BOOL enable);
HWND GetParent(HWND window);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
HWND GetFocus();
HWND SetFocus(HWND window);
HWND GetActiveWindow();
HWND GetCapture();
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
BOOL GetClientRect(HWND window, LPRECT rect);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL InvalidateRect(HWND window, LPCRECT rect, BOOL erase);
BOOL UpdateWindow(HWND window);
BOOL RedrawWindow(HWND window, LPCRECT rect, HRGN region, UINT flags);
BOOL SetWindowText(HWND window, LPCSTR text);
int GetWindowText(HWND window, LPSTR buffer, int size);
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);
LONG GetWindowLong(HWND window, int index);
enum : int { GWL_STYLE = -16, GWL_EXSTYLE = -20, GWL_ID = -12 };
BOOL ClientToScreen(HWND window, LPPOINT point);
BOOL ScreenToClient(HWND window, LPPOINT point);
HWND WindowFromPoint(POINT screenPoint);

// Keyboard and mouse state as of the message being handled: the high bit
// (a negative value) while the key is down.
short GetKeyState(int virtualKey);
short GetAsyncKeyState(int virtualKey);
BOOL GetCursorPos(LPPOINT point);
BOOL SetCursorPos(int x, int y);

// Screen metrics and system colours of the backend.
int GetSystemMetrics(int index);
COLORREF GetSysColor(int index);
HBRUSH GetSysColorBrush(int index);
// Dialog base units (LOWORD x, HIWORD y).
LONG GetDialogBaseUnits();
BOOL MapDialogRect(HWND dialog, LPRECT rect);

// Window classes.
struct WNDCLASS {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;  // a brush, or (HBRUSH)(COLOR_x + 1)
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};
BOOL RegisterClass(const WNDCLASS* wndClass);
BOOL GetClassInfo(HINSTANCE instance, LPCSTR className, WNDCLASS* wndClass);
// A class with these attributes, registered once; returns its name.
LPCSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                           HICON icon = nullptr);

// The class names of the framework's windows and controls.
#define AFX_WND_CLASS "AfxWnd"
#define AFX_WNDFRAMEORVIEW_CLASS "AfxFrameOrView"
#define WC_DIALOG "#32770"
#define WC_BUTTON "Button"
#define WC_STATIC "Static"
#define WC_EDIT "Edit"
#define WC_COMBOBOX "ComboBox"
#define TRACKBAR_CLASS "msctls_trackbar32"
#define PROGRESS_CLASS "msctls_progress32"
#define UPDOWN_CLASS "msctls_updown32"
#define WC_LISTVIEW "SysListView32"
#define WC_TABCONTROL "SysTabControl32"
