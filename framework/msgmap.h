#pragma once
// The entry macros of the message tables (see framework/object.h), with the
// handler signatures the application code declares:
//
//   ON_WM_CREATE            int OnCreate(LPCREATESTRUCT)
//   ON_WM_DESTROY           void OnDestroy()
//   ON_WM_NCDESTROY         void OnNcDestroy()
//   ON_WM_SIZE              void OnSize(UINT type, int cx, int cy)
//   ON_WM_MOVE              void OnMove(int x, int y)
//   ON_WM_PAINT             void OnPaint()
//   ON_WM_ERASEBKGND        BOOL OnEraseBkgnd(CDC*)
//   ON_WM_CLOSE             void OnClose()
//   ON_WM_TIMER             void OnTimer(UINT id)
//   ON_WM_xBUTTONDOWN/UP/DBLCLK, ON_WM_MOUSEMOVE   void (UINT flags, CPoint client point)
//   ON_WM_MOUSEWHEEL        BOOL OnMouseWheel(UINT flags, short delta, CPoint screen point)
//   ON_WM_MOUSEACTIVATE     int OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message)
//   ON_WM_KEYDOWN/KEYUP/CHAR/SYSKEYDOWN/SYSKEYUP   void (UINT key, UINT repeat, UINT flags)
//   ON_WM_HSCROLL/VSCROLL   void (UINT code, UINT position, CScrollBar* control)
//   ON_WM_SETFOCUS          void OnSetFocus(CWnd* previous)
//   ON_WM_KILLFOCUS         void OnKillFocus(CWnd* next)
//   ON_WM_SHOWWINDOW        void OnShowWindow(BOOL show, UINT status)
//   ON_WM_SETCURSOR         BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message)
//   ON_WM_ACTIVATE          void OnActivate(UINT state, CWnd* other, BOOL minimized)
//   ON_WM_SYSCOMMAND        void OnSysCommand(UINT id, LPARAM)
//   ON_WM_INITMENUPOPUP     void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu)
//   ON_WM_GETDLGCODE        UINT OnGetDlgCode()
//   ON_WM_NCHITTEST         UINT OnNcHitTest(CPoint screen point)
//   ON_WM_CTLCOLOR          HBRUSH OnCtlColor(CDC*, CWnd* control, UINT kind)
//   ON_WM_WINDOWPOSCHANGED  void OnWindowPosChanged(WINDOWPOS*)
//   ON_WM_ENABLE            void OnEnable(BOOL)
//   ON_COMMAND(id, fn)                       void fn()
//   ON_COMMAND_EX(id, fn)                    BOOL fn(UINT id)  (FALSE: not handled)
//   ON_COMMAND_RANGE(first, last, fn)        void fn(UINT id)
//   ON_COMMAND_EX_RANGE(first, last, fn)     BOOL fn(UINT id)
//   ON_UPDATE_COMMAND_UI(id, fn)             void fn(CCmdUI*)
//   ON_UPDATE_COMMAND_UI_RANGE(first, last, fn)
//   ON_CONTROL(code, id, fn), ON_BN_CLICKED(id, fn), ON_BN_DOUBLECLICKED,
//   ON_EN_SETFOCUS, ON_EN_KILLFOCUS, ON_EN_CHANGE, ON_EN_UPDATE,
//   ON_CBN_SELCHANGE, ON_STN_CLICKED       void fn()
//   ON_CONTROL_RANGE(code, first, last, fn)  void fn(UINT id)
//   ON_NOTIFY(code, id, fn)                  void fn(NMHDR*, LRESULT*)
//   ON_NOTIFY_RANGE(code, first, last, fn)   void fn(UINT id, NMHDR*, LRESULT*)
//   ON_MESSAGE(message, fn)                  LRESULT fn(WPARAM, LPARAM)
#include "framework/object.h"

class CDC;
class CWnd;
using CScrollBar = CWnd;
struct WINDOWPOS;

namespace brv::msg {

CPoint ClientPoint(LPARAM l);
CWnd* WndOf(WPARAM w);
CWnd* WndOf(LPARAM l);
CDC* DcOf(WPARAM w);
CMenu* MenuOf(WPARAM w);

template <class T, auto F>
BOOL Void(CCmdTarget* t, MsgArgs&) {
  (static_cast<T*>(t)->*F)();
  return TRUE;
}
template <class T, auto F>
BOOL Mouse(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<UINT>(a.wParam), ClientPoint(a.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL Wheel(CCmdTarget* t, MsgArgs& a) {
  a.result = (static_cast<T*>(t)->*F)(static_cast<UINT>(GET_KEYSTATE_WPARAM(a.wParam)),
                                      GET_WHEEL_DELTA_WPARAM(a.wParam), ClientPoint(a.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL Key(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<UINT>(a.wParam), static_cast<UINT>(a.lParam & 0xFFFF),
                           static_cast<UINT>((a.lParam >> 16) & 0xFFFF));
  return TRUE;
}
template <class T, auto F>
BOOL Scroll(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<UINT>(LOWORD(a.wParam)), static_cast<UINT>(static_cast<short>(HIWORD(a.wParam))),
                           WndOf(a.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL Create(CCmdTarget* t, MsgArgs& a) {
  a.result = (static_cast<T*>(t)->*F)(reinterpret_cast<LPCREATESTRUCT>(a.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL Size(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<UINT>(a.wParam), static_cast<int>(LOWORD(a.lParam)),
                           static_cast<int>(HIWORD(a.lParam)));
  return TRUE;
}
template <class T, auto F>
BOOL Move(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(GET_X_LPARAM(a.lParam), GET_Y_LPARAM(a.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL EraseBkgnd(CCmdTarget* t, MsgArgs& a) {
  a.result = (static_cast<T*>(t)->*F)(DcOf(a.wParam));
  return TRUE;
}
template <class T, auto F>
BOOL Timer(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<UINT>(a.wParam));
  return TRUE;
}
template <class T, auto F>
BOOL MouseActivate(CCmdTarget* t, MsgArgs& a) {
  a.result = (static_cast<T*>(t)->*F)(WndOf(a.wParam), static_cast<UINT>(static_cast<short>(LOWORD(a.lParam))),
                                      static_cast<UINT>(HIWORD(a.lParam)));
  return TRUE;
}
template <class T, auto F>
BOOL FocusWnd(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(WndOf(a.wParam));
  return TRUE;
}
template <class T, auto F>
BOOL ShowWindow(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<BOOL>(a.wParam), static_cast<UINT>(a.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL SetCursor(CCmdTarget* t, MsgArgs& a) {
  a.result = (static_cast<T*>(t)->*F)(WndOf(a.wParam), static_cast<UINT>(static_cast<short>(LOWORD(a.lParam))),
                                      static_cast<UINT>(HIWORD(a.lParam)));
  return TRUE;
}
template <class T, auto F>
BOOL Activate(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<UINT>(LOWORD(a.wParam)), WndOf(a.lParam), static_cast<BOOL>(HIWORD(a.wParam)));
  return TRUE;
}
template <class T, auto F>
BOOL SysCommand(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<UINT>(a.wParam), a.lParam);
  return TRUE;
}
template <class T, auto F>
BOOL InitMenuPopup(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(MenuOf(a.wParam), static_cast<UINT>(LOWORD(a.lParam)), static_cast<BOOL>(HIWORD(a.lParam)));
  return TRUE;
}
template <class T, auto F>
BOOL Result(CCmdTarget* t, MsgArgs& a) {
  a.result = static_cast<LRESULT>((static_cast<T*>(t)->*F)());
  return TRUE;
}
template <class T, auto F>
BOOL NcHitTest(CCmdTarget* t, MsgArgs& a) {
  a.result = static_cast<LRESULT>(static_cast<int>((static_cast<T*>(t)->*F)(ClientPoint(a.lParam))));
  return TRUE;
}
template <class T, auto F>
BOOL CtlColor(CCmdTarget* t, MsgArgs& a) {
  a.result = reinterpret_cast<LRESULT>((static_cast<T*>(t)->*F)(DcOf(a.wParam), WndOf(a.lParam), CTLCOLOR_STATIC));
  return TRUE;
}
template <class T, auto F>
BOOL WindowPos(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(reinterpret_cast<WINDOWPOS*>(a.lParam));
  return TRUE;
}
template <class T, auto F>
BOOL Bool(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<BOOL>(a.wParam));
  return TRUE;
}
template <class T, auto F>
BOOL CommandEx(CCmdTarget* t, MsgArgs& a) {
  return (static_cast<T*>(t)->*F)(a.id);
}
template <class T, auto F>
BOOL CommandRange(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(a.id);
  return TRUE;
}
template <class T, auto F>
BOOL Update(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<CCmdUI*>(a.extra));
  return TRUE;
}
template <class T, auto F>
BOOL Notify(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(static_cast<NMHDR*>(a.extra), &a.result);
  return TRUE;
}
template <class T, auto F>
BOOL NotifyRange(CCmdTarget* t, MsgArgs& a) {
  (static_cast<T*>(t)->*F)(a.id, static_cast<NMHDR*>(a.extra), &a.result);
  return TRUE;
}
template <class T, auto F>
BOOL Message(CCmdTarget* t, MsgArgs& a) {
  a.result = (static_cast<T*>(t)->*F)(a.wParam, a.lParam);
  return TRUE;
}

}  // namespace brv::msg

#define BRV_WM_ENTRY(message, kind, fn) {message, 0, 0, 0, &brv::msg::kind<ThisClass, &ThisClass::fn>},

#define ON_WM_CREATE() BRV_WM_ENTRY(WM_CREATE, Create, OnCreate)
#define ON_WM_DESTROY() BRV_WM_ENTRY(WM_DESTROY, Void, OnDestroy)
#define ON_WM_NCDESTROY() BRV_WM_ENTRY(WM_NCDESTROY, Void, OnNcDestroy)
#define ON_WM_SIZE() BRV_WM_ENTRY(WM_SIZE, Size, OnSize)
#define ON_WM_MOVE() BRV_WM_ENTRY(WM_MOVE, Move, OnMove)
#define ON_WM_PAINT() BRV_WM_ENTRY(WM_PAINT, Void, OnPaint)
#define ON_WM_ERASEBKGND() BRV_WM_ENTRY(WM_ERASEBKGND, EraseBkgnd, OnEraseBkgnd)
#define ON_WM_CLOSE() BRV_WM_ENTRY(WM_CLOSE, Void, OnClose)
#define ON_WM_TIMER() BRV_WM_ENTRY(WM_TIMER, Timer, OnTimer)
#define ON_WM_MOUSEMOVE() BRV_WM_ENTRY(WM_MOUSEMOVE, Mouse, OnMouseMove)
#define ON_WM_LBUTTONDOWN() BRV_WM_ENTRY(WM_LBUTTONDOWN, Mouse, OnLButtonDown)
#define ON_WM_LBUTTONUP() BRV_WM_ENTRY(WM_LBUTTONUP, Mouse, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() BRV_WM_ENTRY(WM_LBUTTONDBLCLK, Mouse, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() BRV_WM_ENTRY(WM_RBUTTONDOWN, Mouse, OnRButtonDown)
#define ON_WM_RBUTTONUP() BRV_WM_ENTRY(WM_RBUTTONUP, Mouse, OnRButtonUp)
#define ON_WM_RBUTTONDBLCLK() BRV_WM_ENTRY(WM_RBUTTONDBLCLK, Mouse, OnRButtonDblClk)
#define ON_WM_MBUTTONDOWN() BRV_WM_ENTRY(WM_MBUTTONDOWN, Mouse, OnMButtonDown)
#define ON_WM_MBUTTONUP() BRV_WM_ENTRY(WM_MBUTTONUP, Mouse, OnMButtonUp)
#define ON_WM_MBUTTONDBLCLK() BRV_WM_ENTRY(WM_MBUTTONDBLCLK, Mouse, OnMButtonDblClk)
#define ON_WM_MOUSEWHEEL() BRV_WM_ENTRY(WM_MOUSEWHEEL, Wheel, OnMouseWheel)
#define ON_WM_MOUSEACTIVATE() BRV_WM_ENTRY(WM_MOUSEACTIVATE, MouseActivate, OnMouseActivate)
#define ON_WM_KEYDOWN() BRV_WM_ENTRY(WM_KEYDOWN, Key, OnKeyDown)
#define ON_WM_KEYUP() BRV_WM_ENTRY(WM_KEYUP, Key, OnKeyUp)
#define ON_WM_CHAR() BRV_WM_ENTRY(WM_CHAR, Key, OnChar)
#define ON_WM_SYSKEYDOWN() BRV_WM_ENTRY(WM_SYSKEYDOWN, Key, OnSysKeyDown)
#define ON_WM_SYSKEYUP() BRV_WM_ENTRY(WM_SYSKEYUP, Key, OnSysKeyUp)
#define ON_WM_HSCROLL() BRV_WM_ENTRY(WM_HSCROLL, Scroll, OnHScroll)
#define ON_WM_VSCROLL() BRV_WM_ENTRY(WM_VSCROLL, Scroll, OnVScroll)
#define ON_WM_SETFOCUS() BRV_WM_ENTRY(WM_SETFOCUS, FocusWnd, OnSetFocus)
#define ON_WM_KILLFOCUS() BRV_WM_ENTRY(WM_KILLFOCUS, FocusWnd, OnKillFocus)
#define ON_WM_SHOWWINDOW() BRV_WM_ENTRY(WM_SHOWWINDOW, ShowWindow, OnShowWindow)
#define ON_WM_SETCURSOR() BRV_WM_ENTRY(WM_SETCURSOR, SetCursor, OnSetCursor)
#define ON_WM_ACTIVATE() BRV_WM_ENTRY(WM_ACTIVATE, Activate, OnActivate)
#define ON_WM_SYSCOMMAND() BRV_WM_ENTRY(WM_SYSCOMMAND, SysCommand, OnSysCommand)
#define ON_WM_INITMENUPOPUP() BRV_WM_ENTRY(WM_INITMENUPOPUP, InitMenuPopup, OnInitMenuPopup)
#define ON_WM_GETDLGCODE() BRV_WM_ENTRY(WM_GETDLGCODE, Result, OnGetDlgCode)
#define ON_WM_NCHITTEST() BRV_WM_ENTRY(WM_NCHITTEST, NcHitTest, OnNcHitTest)
#define ON_WM_CTLCOLOR() BRV_WM_ENTRY(WM_CTLCOLORSTATIC, CtlColor, OnCtlColor)
#define ON_WM_WINDOWPOSCHANGED() BRV_WM_ENTRY(WM_WINDOWPOSCHANGED, WindowPos, OnWindowPosChanged)
#define ON_WM_ENABLE() BRV_WM_ENTRY(WM_ENABLE, Bool, OnEnable)

#define ON_COMMAND(id, fn) {WM_COMMAND, CN_COMMAND, (id), (id), &brv::msg::Void<ThisClass, &ThisClass::fn>},
#define ON_COMMAND_EX(id, fn) {WM_COMMAND, CN_COMMAND, (id), (id), &brv::msg::CommandEx<ThisClass, &ThisClass::fn>},
#define ON_COMMAND_RANGE(first, last, fn) \
  {WM_COMMAND, CN_COMMAND, (first), (last), &brv::msg::CommandRange<ThisClass, &ThisClass::fn>},
#define ON_COMMAND_EX_RANGE(first, last, fn) \
  {WM_COMMAND, CN_COMMAND, (first), (last), &brv::msg::CommandEx<ThisClass, &ThisClass::fn>},
#define ON_UPDATE_COMMAND_UI(id, fn) \
  {WM_COMMAND, static_cast<UINT>(CN_UPDATE_COMMAND_UI), (id), (id), &brv::msg::Update<ThisClass, &ThisClass::fn>},
#define ON_UPDATE_COMMAND_UI_RANGE(first, last, fn)                             \
  {WM_COMMAND, static_cast<UINT>(CN_UPDATE_COMMAND_UI), (first), (last), \
   &brv::msg::Update<ThisClass, &ThisClass::fn>},
#define ON_CONTROL(code, id, fn) {WM_COMMAND, (code), (id), (id), &brv::msg::Void<ThisClass, &ThisClass::fn>},
#define ON_CONTROL_RANGE(code, first, last, fn) \
  {WM_COMMAND, (code), (first), (last), &brv::msg::CommandRange<ThisClass, &ThisClass::fn>},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_BN_DOUBLECLICKED(id, fn) ON_CONTROL(BN_DOUBLECLICKED, id, fn)
#define ON_EN_SETFOCUS(id, fn) ON_CONTROL(EN_SETFOCUS, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_UPDATE(id, fn) ON_CONTROL(EN_UPDATE, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_NOTIFY(code, id, fn) {WM_NOTIFY, static_cast<UINT>(code), (id), (id), &brv::msg::Notify<ThisClass, &ThisClass::fn>},
#define ON_NOTIFY_RANGE(code, first, last, fn) \
  {WM_NOTIFY, static_cast<UINT>(code), (first), (last), &brv::msg::NotifyRange<ThisClass, &ThisClass::fn>},
#define ON_MESSAGE(message, fn) {(message), 0, 0, 0, &brv::msg::Message<ThisClass, &ThisClass::fn>},
