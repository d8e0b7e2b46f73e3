#pragma once
// Window messages, their parameters and the style, notification and key
// codes of the windowing layer, with the values the application code was
// written against.
#include <cstdint>

#include "framework/geometry.h"
#include "framework/wintypes.h"

struct HWND__;
typedef HWND__* HWND;
struct HMENU__;
typedef HMENU__* HMENU;
struct HACCEL__;
typedef HACCEL__* HACCEL;

typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef uintptr_t DWORD_PTR;

inline WPARAM MAKEWPARAM(unsigned lo, unsigned hi) {
  return static_cast<WPARAM>((lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16));
}
inline LPARAM MAKELPARAM(unsigned lo, unsigned hi) {
  return static_cast<LPARAM>(static_cast<uint32_t>((lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16)));
}
inline LRESULT MAKELRESULT(unsigned lo, unsigned hi) { return MAKELPARAM(lo, hi); }
inline DWORD MAKELONG(unsigned lo, unsigned hi) { return (lo & 0xFFFFu) | ((hi & 0xFFFFu) << 16); }
// Signed coordinates packed into an LPARAM, as mouse messages carry them.
inline int GET_X_LPARAM(LPARAM l) { return static_cast<short>(l & 0xFFFF); }
inline int GET_Y_LPARAM(LPARAM l) { return static_cast<short>((l >> 16) & 0xFFFF); }
inline short GET_WHEEL_DELTA_WPARAM(WPARAM w) { return static_cast<short>((w >> 16) & 0xFFFF); }
inline WORD GET_KEYSTATE_WPARAM(WPARAM w) { return static_cast<WORD>(w & 0xFFFF); }

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;

// Messages.
enum : UINT {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_ENABLE = 0x000A,
  WM_SETTEXT = 0x000C,
  WM_GETTEXT = 0x000D,
  WM_GETTEXTLENGTH = 0x000E,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_ERASEBKGND = 0x0014,
  WM_SHOWWINDOW = 0x0018,
  WM_ACTIVATEAPP = 0x001C,
  WM_SETCURSOR = 0x0020,
  WM_MOUSEACTIVATE = 0x0021,
  WM_WINDOWPOSCHANGED = 0x0047,
  WM_NOTIFY = 0x004E,
  WM_NCCREATE = 0x0081,
  WM_NCDESTROY = 0x0082,
  WM_NCHITTEST = 0x0084,
  WM_GETDLGCODE = 0x0087,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCHAR = 0x0106,
  WM_INITDIALOG = 0x0110,
  WM_COMMAND = 0x0111,
  WM_SYSCOMMAND = 0x0112,
  WM_TIMER = 0x0113,
  WM_HSCROLL = 0x0114,
  WM_VSCROLL = 0x0115,
  WM_INITMENU = 0x0116,
  WM_INITMENUPOPUP = 0x0117,
  WM_MENUSELECT = 0x011F,
  WM_ENTERIDLE = 0x0121,
  WM_CTLCOLORSTATIC = 0x0138,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MBUTTONDBLCLK = 0x0209,
  WM_MOUSEWHEEL = 0x020A,
  WM_USER = 0x0400,
};
// The framework's own messages (below WM_USER's range of the application).
enum : UINT {
  WM_IDLEUPDATECMDUI = 0x0363,
  WM_INITIALUPDATE = 0x0364,
};

// WM_ACTIVATE.
enum : UINT { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };

// WM_MOUSEACTIVATE results.
enum : int { MA_ACTIVATE = 1, MA_ACTIVATEANDEAT = 2, MA_NOACTIVATE = 3, MA_NOACTIVATEANDEAT = 4 };

// WM_NCHITTEST results.
enum : int {
  HTERROR = -2,
  HTTRANSPARENT = -1,
  HTNOWHERE = 0,
  HTCLIENT = 1,
  HTCAPTION = 2,
  HTSYSMENU = 3,
  HTMENU = 5,
  HTCLOSE = 20,
};

// Key and button flags of the mouse messages.
enum : UINT {
  MK_LBUTTON = 0x0001,
  MK_RBUTTON = 0x0002,
  MK_SHIFT = 0x0004,
  MK_CONTROL = 0x0008,
  MK_MBUTTON = 0x0010,
};
#define WHEEL_DELTA 120

// WM_SIZE types.
enum : UINT { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };

// WM_SYSCOMMAND.
enum : UINT { SC_SIZE = 0xF000, SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_CLOSE = 0xF060 };

// Virtual keys ('0'-'9' and 'A'-'Z' are their characters).
enum : UINT {
  VK_LBUTTON = 0x01,
  VK_RBUTTON = 0x02,
  VK_MBUTTON = 0x04,
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_NUMPAD0 = 0x60,
  VK_NUMPAD9 = 0x69,
  VK_MULTIPLY = 0x6A,
  VK_ADD = 0x6B,
  VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E,
  VK_DIVIDE = 0x6F,
  VK_F1 = 0x70,
  VK_F24 = 0x87,
};

// Window styles.
enum : DWORD {
  WS_OVERLAPPED = 0x00000000,
  WS_TABSTOP = 0x00010000,
  WS_GROUP = 0x00020000,
  WS_MAXIMIZEBOX = 0x00010000,
  WS_MINIMIZEBOX = 0x00020000,
  WS_THICKFRAME = 0x00040000,
  WS_SYSMENU = 0x00080000,
  WS_HSCROLL = 0x00100000,
  WS_VSCROLL = 0x00200000,
  WS_DLGFRAME = 0x00400000,
  WS_BORDER = 0x00800000,
  WS_CAPTION = 0x00C00000,
  WS_MAXIMIZE = 0x01000000,
  WS_CLIPCHILDREN = 0x02000000,
  WS_CLIPSIBLINGS = 0x04000000,
  WS_DISABLED = 0x08000000,
  WS_VISIBLE = 0x10000000,
  WS_MINIMIZE = 0x20000000,
  WS_CHILD = 0x40000000,
  WS_POPUP = 0x80000000,
  WS_OVERLAPPEDWINDOW = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX,
  WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU,
  WS_CHILDWINDOW = WS_CHILD,
};
enum : DWORD {
  WS_EX_DLGMODALFRAME = 0x00000001,
  WS_EX_TOPMOST = 0x00000008,
  WS_EX_CLIENTEDGE = 0x00000200,
  WS_EX_STATICEDGE = 0x00020000,
};
// Frame style: the document title goes into the window title.
enum : DWORD { FWS_ADDTOTITLE = 0x00008000 };

// Dialog styles.
enum : DWORD { DS_MODALFRAME = 0x80, DS_SETFONT = 0x40, DS_CONTROL = 0x400, DS_CENTER = 0x800 };

// Window class styles.
enum : UINT {
  CS_VREDRAW = 0x0001,
  CS_HREDRAW = 0x0002,
  CS_DBLCLKS = 0x0008,
  CS_OWNDC = 0x0020,
  CS_SAVEBITS = 0x0800,
};

// ShowWindow.
enum : int {
  SW_HIDE = 0,
  SW_SHOWNORMAL = 1,
  SW_NORMAL = 1,
  SW_SHOWMINIMIZED = 2,
  SW_SHOWMAXIMIZED = 3,
  SW_MAXIMIZE = 3,
  SW_SHOWNOACTIVATE = 4,
  SW_SHOW = 5,
  SW_MINIMIZE = 6,
  SW_SHOWNA = 8,
  SW_RESTORE = 9,
};

// SetWindowPos.
enum : UINT {
  SWP_NOSIZE = 0x0001,
  SWP_NOMOVE = 0x0002,
  SWP_NOZORDER = 0x0004,
  SWP_NOREDRAW = 0x0008,
  SWP_NOACTIVATE = 0x0010,
  SWP_FRAMECHANGED = 0x0020,
  SWP_SHOWWINDOW = 0x0040,
  SWP_HIDEWINDOW = 0x0080,
};
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))

// RedrawWindow.
enum : UINT {
  RDW_INVALIDATE = 0x0001,
  RDW_INTERNALPAINT = 0x0002,
  RDW_ERASE = 0x0004,
  RDW_VALIDATE = 0x0008,
  RDW_NOINTERNALPAINT = 0x0010,
  RDW_NOERASE = 0x0020,
  RDW_NOCHILDREN = 0x0040,
  RDW_ALLCHILDREN = 0x0080,
  RDW_UPDATENOW = 0x0100,
  RDW_ERASENOW = 0x0200,
  RDW_FRAME = 0x0400,
  RDW_NOFRAME = 0x0800,
};

// GetWindow.
enum : UINT { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5 };

// PeekMessage.
enum : UINT { PM_NOREMOVE = 0, PM_REMOVE = 1 };

// System metrics.
enum : int {
  SM_CXSCREEN = 0,
  SM_CYSCREEN = 1,
  SM_CXVSCROLL = 2,
  SM_CYHSCROLL = 3,
  SM_CYCAPTION = 4,
  SM_CXBORDER = 5,
  SM_CYBORDER = 6,
  SM_CXDLGFRAME = 7,
  SM_CYDLGFRAME = 8,
  SM_CXICON = 11,
  SM_CYICON = 12,
  SM_CXCURSOR = 13,
  SM_CYCURSOR = 14,
  SM_CYMENU = 15,
  SM_CXFULLSCREEN = 16,
  SM_CYFULLSCREEN = 17,
  SM_CXFRAME = 32,
  SM_CYFRAME = 33,
  SM_CXDOUBLECLK = 36,
  SM_CYDOUBLECLK = 37,
  SM_CXEDGE = 45,
  SM_CYEDGE = 46,
  SM_CXSMICON = 49,
  SM_CYSMICON = 50,
  SM_CXMAXIMIZED = 61,
  SM_CYMAXIMIZED = 62,
};

// System colours.
enum : int {
  COLOR_SCROLLBAR = 0,
  COLOR_BACKGROUND = 1,
  COLOR_ACTIVECAPTION = 2,
  COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4,
  COLOR_WINDOW = 5,
  COLOR_WINDOWFRAME = 6,
  COLOR_MENUTEXT = 7,
  COLOR_WINDOWTEXT = 8,
  COLOR_CAPTIONTEXT = 9,
  COLOR_ACTIVEBORDER = 10,
  COLOR_INACTIVEBORDER = 11,
  COLOR_APPWORKSPACE = 12,
  COLOR_HIGHLIGHT = 13,
  COLOR_HIGHLIGHTTEXT = 14,
  COLOR_BTNFACE = 15,
  COLOR_3DFACE = 15,
  COLOR_BTNSHADOW = 16,
  COLOR_3DSHADOW = 16,
  COLOR_GRAYTEXT = 17,
  COLOR_BTNTEXT = 18,
  COLOR_INACTIVECAPTIONTEXT = 19,
  COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DHILIGHT = 20,
  COLOR_3DDKSHADOW = 21,
  COLOR_3DLIGHT = 22,
  COLOR_INFOTEXT = 23,
  COLOR_INFOBK = 24,
};

// Button styles, states and notifications.
enum : DWORD {
  BS_PUSHBUTTON = 0x0,
  BS_DEFPUSHBUTTON = 0x1,
  BS_CHECKBOX = 0x2,
  BS_AUTOCHECKBOX = 0x3,
  BS_RADIOBUTTON = 0x4,
  BS_3STATE = 0x5,
  BS_AUTO3STATE = 0x6,
  BS_GROUPBOX = 0x7,
  BS_AUTORADIOBUTTON = 0x9,
  BS_TYPEMASK = 0xF,
  BS_ICON = 0x40,
  BS_BITMAP = 0x80,
  BS_PUSHLIKE = 0x1000,
};
enum : int { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4, BST_FOCUS = 8 };
enum : UINT { BN_CLICKED = 0, BN_DOUBLECLICKED = 5 };

// Static styles.
enum : DWORD {
  SS_LEFT = 0x0,
  SS_CENTER = 0x1,
  SS_RIGHT = 0x2,
  SS_ICON = 0x3,
  SS_BLACKRECT = 0x4,
  SS_GRAYRECT = 0x5,
  SS_WHITERECT = 0x6,
  SS_BLACKFRAME = 0x7,
  SS_GRAYFRAME = 0x8,
  SS_WHITEFRAME = 0x9,
  SS_SIMPLE = 0xB,
  SS_LEFTNOWORDWRAP = 0xC,
  SS_BITMAP = 0xE,
  SS_ETCHEDFRAME = 0x12,
  SS_TYPEMASK = 0x1F,
  SS_NOPREFIX = 0x80,
  SS_NOTIFY = 0x100,
  SS_CENTERIMAGE = 0x200,
  SS_SUNKEN = 0x1000,
};
enum : UINT { STN_CLICKED = 0, STN_DBLCLK = 1 };

// Edit styles and notifications.
enum : DWORD {
  ES_LEFT = 0x0,
  ES_CENTER = 0x1,
  ES_RIGHT = 0x2,
  ES_MULTILINE = 0x4,
  ES_PASSWORD = 0x20,
  ES_AUTOVSCROLL = 0x40,
  ES_AUTOHSCROLL = 0x80,
  ES_READONLY = 0x800,
  ES_WANTRETURN = 0x1000,
  ES_NUMBER = 0x2000,
};
enum : UINT {
  EN_SETFOCUS = 0x0100,
  EN_KILLFOCUS = 0x0200,
  EN_CHANGE = 0x0300,
  EN_UPDATE = 0x0400,
  EN_MAXTEXT = 0x0501,
};

// Combo box styles, results and notifications.
enum : DWORD { CBS_SIMPLE = 0x1, CBS_DROPDOWN = 0x2, CBS_DROPDOWNLIST = 0x3, CBS_SORT = 0x100 };
enum : int { CB_ERR = -1 };
enum : UINT { CBN_SELCHANGE = 1, CBN_DBLCLK = 2, CBN_SETFOCUS = 3, CBN_KILLFOCUS = 4, CBN_EDITCHANGE = 5 };

// Trackbar (slider) styles and scroll codes.
enum : DWORD {
  TBS_AUTOTICKS = 0x1,
  TBS_VERT = 0x2,
  TBS_HORZ = 0x0,
  TBS_TOP = 0x4,
  TBS_BOTTOM = 0x0,
  TBS_LEFT = 0x4,
  TBS_RIGHT = 0x0,
  TBS_BOTH = 0x8,
  TBS_NOTICKS = 0x10,
};
enum : UINT {
  SB_LINEUP = 0,
  SB_LINELEFT = 0,
  SB_LINEDOWN = 1,
  SB_LINERIGHT = 1,
  SB_PAGEUP = 2,
  SB_PAGELEFT = 2,
  SB_PAGEDOWN = 3,
  SB_PAGERIGHT = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
  SB_TOP = 6,
  SB_LEFT = 6,
  SB_BOTTOM = 7,
  SB_RIGHT = 7,
  SB_ENDSCROLL = 8,
  TB_LINEUP = 0,
  TB_LINEDOWN = 1,
  TB_PAGEUP = 2,
  TB_PAGEDOWN = 3,
  TB_THUMBPOSITION = 4,
  TB_THUMBTRACK = 5,
  TB_TOP = 6,
  TB_BOTTOM = 7,
  TB_ENDTRACK = 8,
};

// Progress bar styles.
enum : DWORD { PBS_SMOOTH = 0x1, PBS_VERTICAL = 0x4 };

// Common-control notifications (WM_NOTIFY).
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
typedef NMHDR* LPNMHDR;
enum : UINT {
  NM_CLICK = static_cast<UINT>(-2),
  NM_DBLCLK = static_cast<UINT>(-3),
  NM_RCLICK = static_cast<UINT>(-5),
  NM_SETFOCUS = static_cast<UINT>(-7),
  NM_KILLFOCUS = static_cast<UINT>(-8),
  LVN_ITEMCHANGING = static_cast<UINT>(-100),
  LVN_ITEMCHANGED = static_cast<UINT>(-101),
  LVN_KEYDOWN = static_cast<UINT>(-155),
  TCN_SELCHANGE = static_cast<UINT>(-551),
  TCN_SELCHANGING = static_cast<UINT>(-552),
};

// List view styles, item states and hit tests.
enum : DWORD {
  LVS_ICON = 0x0,
  LVS_REPORT = 0x1,
  LVS_SMALLICON = 0x2,
  LVS_LIST = 0x3,
  LVS_TYPEMASK = 0x3,
  LVS_SINGLESEL = 0x4,
  LVS_SHOWSELALWAYS = 0x8,
  LVS_NOCOLUMNHEADER = 0x4000,
};
enum : UINT {
  LVIS_FOCUSED = 0x1,
  LVIS_SELECTED = 0x2,
  LVIS_STATEIMAGEMASK = 0xF000,
};
inline UINT INDEXTOSTATEIMAGEMASK(UINT i) { return i << 12; }
enum : UINT {
  LVIF_TEXT = 0x1,
  LVIF_IMAGE = 0x2,
  LVIF_PARAM = 0x4,
  LVIF_STATE = 0x8,
};
enum : UINT {
  LVHT_NOWHERE = 0x1,
  LVHT_ONITEMICON = 0x2,
  LVHT_ONITEMLABEL = 0x4,
  LVHT_ONITEMSTATEICON = 0x8,
  LVHT_ONITEM = LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON,
  LVHT_ABOVE = 0x8,
  LVHT_BELOW = 0x10,
  LVHT_TORIGHT = 0x20,
  LVHT_TOLEFT = 0x40,
};
enum : int { LVSIL_NORMAL = 0, LVSIL_SMALL = 1, LVSIL_STATE = 2 };
enum : int { LVNI_ALL = 0, LVNI_FOCUSED = 1, LVNI_SELECTED = 2 };
enum : int { LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2 };
struct NMLISTVIEW {
  NMHDR hdr;
  int iItem;
  int iSubItem;
  UINT uNewState;
  UINT uOldState;
  UINT uChanged;
  POINT ptAction;
  LPARAM lParam;
};
typedef NMLISTVIEW* LPNMLISTVIEW;

// Window creation record.
struct CREATESTRUCT {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};
typedef CREATESTRUCT* LPCREATESTRUCT;

// Menus.
enum : UINT {
  MF_INSERT = 0x0,
  MF_ENABLED = 0x0,
  MF_UNCHECKED = 0x0,
  MF_BYCOMMAND = 0x0,
  MF_STRING = 0x0,
  MF_GRAYED = 0x1,
  MF_DISABLED = 0x2,
  MF_BITMAP = 0x4,
  MF_CHECKED = 0x8,
  MF_POPUP = 0x10,
  MF_MENUBARBREAK = 0x20,
  MF_MENUBREAK = 0x40,
  MF_OWNERDRAW = 0x100,
  MF_BYPOSITION = 0x400,
  MF_SEPARATOR = 0x800,
  MF_DEFAULT = 0x1000,
};

// Accelerators.
enum : BYTE { FVIRTKEY = 0x01, FNOINVERT = 0x02, FSHIFT = 0x04, FCONTROL = 0x08, FALT = 0x10 };
struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};

// Standard command and control ids of the framework.
enum : UINT {
  ID_FILE_NEW = 0xE100,
  ID_FILE_OPEN = 0xE101,
  ID_FILE_CLOSE = 0xE102,
  ID_FILE_SAVE = 0xE103,
  ID_FILE_SAVE_AS = 0xE104,
  ID_FILE_MRU_FILE1 = 0xE110,
  ID_FILE_MRU_FILE16 = 0xE11F,
  ID_FILE_MRU_FIRST = 0xE110,
  ID_FILE_MRU_LAST = 0xE11F,
  ID_NEXT_PANE = 0xE150,
  ID_PREV_PANE = 0xE151,
  ID_APP_ABOUT = 0xE140,
  ID_APP_EXIT = 0xE141,
  AFX_IDW_PANE_FIRST = 0xE900,
  AFX_IDW_PANE_LAST = 0xE9FF,
};
enum : int { IDC_STATIC = -1 };

// Shell.
enum : int { SE_ERR_NOASSOC = 31 };
