#pragma once
// Menus and accelerator tables as plain state, with numeric command ids.
// A menu is a list of items (text, command id or pop-up, check and grey
// state); by-command lookups search the pop-ups too; positions have no
// upper limit. CMenu wraps one menu: FromHandle and GetSubMenu give one
// persistent object per menu, which lives until the menu is destroyed.
#include <string>
#include <vector>

#include "framework/cstring.h"
#include "framework/layout_parser.h"
#include "framework/winmsg.h"

namespace brv {
struct MenuAccess;
}

class CMenu {
 public:
  CMenu() = default;
  // Destroys the menu this object holds (unless detached).
  virtual ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  HMENU m_hMenu = nullptr;
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }
  // The menu's object: the one attached to it, else a persistent wrapper
  // (null for no menu).
  static CMenu* FromHandle(HMENU menu);
  BOOL Attach(HMENU menu);
  HMENU Detach();

  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  // From the MENU resource (see framework/layout_parser.h).
  BOOL LoadMenu(UINT resourceId);
  BOOL LoadMenu(LPCSTR resourceName);
  BOOL DestroyMenu();

  UINT GetMenuItemCount() const;
  // The item's command id; 0 for a separator, (UINT)-1 for a pop-up or no item.
  UINT GetMenuItemID(int position) const;
  // MF_CHECKED, MF_GRAYED | MF_DISABLED, MF_POPUP, MF_SEPARATOR; (UINT)-1 for no item.
  UINT GetMenuState(UINT item, UINT flags) const;
  int GetMenuString(UINT item, CString& text, UINT flags) const;
  int GetMenuString(UINT item, LPSTR buffer, int size, UINT flags) const;
  CMenu* GetSubMenu(int position) const;

  // position -1 (or past the end) appends; MF_POPUP takes the pop-up's HMENU as id.
  BOOL InsertMenu(UINT item, UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr);
  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr);
  BOOL ModifyMenu(UINT item, UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr);
  // Removes the item and destroys its pop-up; RemoveMenu keeps the pop-up.
  BOOL DeleteMenu(UINT item, UINT flags);
  BOOL RemoveMenu(UINT item, UINT flags);
  // Return the previous state (MF_CHECKED / MF_GRAYED|MF_DISABLED), (UINT)-1 for no item.
  UINT CheckMenuItem(UINT item, UINT check);
  UINT EnableMenuItem(UINT item, UINT enable);
  BOOL CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags);
  // Headless menus have no pop-up to track: returns 0.
  BOOL TrackPopupMenu(UINT flags, int x, int y, class CWnd* window, const RECT* rect = nullptr);

 private:
  friend struct brv::MenuAccess;
  bool wrapper_ = false;
};

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
HMENU LoadMenu(HINSTANCE instance, LPCSTR name);
BOOL IsMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
HMENU GetSubMenu(HMENU menu, int position);
BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT item, UINT flags);
BOOL InsertMenu(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text);
BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text);
HMENU GetMenu(HWND window);
BOOL SetMenu(HWND window, HMENU menu);
BOOL DrawMenuBar(HWND window);

// Accelerator tables.
HACCEL LoadAccelerators(HINSTANCE instance, LPCSTR name);
HACCEL CreateAcceleratorTable(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
int CopyAcceleratorTable(HACCEL table, ACCEL* entries, int count);
// A WM_KEYDOWN / WM_SYSKEYDOWN that matches an entry (key and exactly its
// Ctrl, Shift and Alt) becomes WM_COMMAND (id, 1) to the window, unless the
// window is disabled or the command's menu item is disabled after the
// window saw WM_INITMENUPOPUP for the item's pop-up. TRUE when it matched.
int TranslateAccelerator(HWND window, HACCEL table, MSG* msg);

namespace brv {

struct MenuItemInfo {
  UINT id = 0;             // (UINT)-1 for a pop-up
  std::string text;
  UINT state = 0;          // MF_CHECKED, MF_GRAYED, MF_DISABLED
  bool separator = false;
  HMENU popup = nullptr;
};
// The items of a menu, in order (empty for no menu).
std::vector<MenuItemInfo> MenuItems(HMENU menu);
// Finds the item with the command id in the menu or its pop-ups: the menu
// that holds it and its position. False when there is none.
bool FindMenuCommand(HMENU menu, UINT id, HMENU* holder, int* position);
// The pop-up of `menu` (searching pop-ups) whose items hold `holder` directly,
// with its position in its parent; the parent is null when holder is menu.
bool FindPopupParent(HMENU menu, HMENU holder, HMENU* parent, int* position);
// Builds a menu from a parsed layout (a menu bar when bar is true).
HMENU MenuFromLayout(const MenuLayout& layout, bool bar);

}  // namespace brv
