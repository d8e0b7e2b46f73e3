#include "framework/menu.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "framework/backend.h"
#include "framework/system.h"
#include "framework/window_state.h"

namespace brv {

namespace {

struct Item {
  UINT id = 0;
  std::string text;
  UINT state = 0;
  bool separator = false;
  HMENU popup = nullptr;
};

struct MenuRecord {
  std::vector<Item> items;
  CMenu* object = nullptr;  // the attached object
  std::unique_ptr<CMenu> wrapper;
};

struct MenuState {
  std::map<HMENU, std::unique_ptr<MenuRecord>> menus;
  std::map<HACCEL, std::vector<ACCEL>> accelerators;
  uintptr_t next = 0x20000;
};

MenuState& Menus() {
  static MenuState state;
  return state;
}

MenuRecord* Find(HMENU menu) {
  auto& m = Menus().menus;
  auto it = m.find(menu);
  return it == m.end() ? nullptr : it->second.get();
}

HMENU NewMenu() {
  MenuState& s = Menus();
  HMENU h = reinterpret_cast<HMENU>(s.next);
  s.next += 0x10;
  s.menus[h] = std::make_unique<MenuRecord>();
  return h;
}

// The item an (item, flags) pair names: the menu that holds it and its index.
bool Locate(HMENU menu, UINT item, UINT flags, MenuRecord** holder, int* index) {
  MenuRecord* r = Find(menu);
  if (!r) return false;
  if (flags & MF_BYPOSITION) {
    if (item >= r->items.size()) return false;
    *holder = r;
    *index = static_cast<int>(item);
    return true;
  }
  HMENU h = nullptr;
  int pos = 0;
  if (!FindMenuCommand(menu, item, &h, &pos)) return false;
  *holder = Find(h);
  *index = pos;
  return *holder != nullptr;
}

void Destroy(HMENU menu) {
  MenuRecord* r = Find(menu);
  if (!r) return;
  std::vector<HMENU> popups;
  for (const Item& i : r->items)
    if (i.popup) popups.push_back(i.popup);
  if (r->object) r->object->m_hMenu = nullptr;
  if (r->wrapper) r->wrapper->m_hMenu = nullptr;
  std::unique_ptr<MenuRecord> keep = std::move(Menus().menus[menu]);
  Menus().menus.erase(menu);
  keep.reset();
  for (HMENU p : popups) Destroy(p);
}

void Changed(HMENU menu) {
  // The window whose bar holds this menu (directly or through a pop-up)
  // learns that it changed only through DrawMenuBar, as on Windows.
  (void)menu;
}

void AddItems(HMENU menu, const std::vector<MenuItemLayout>& items) {
  for (const MenuItemLayout& l : items) {
    Item item;
    item.text = l.text;
    item.state = l.flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED);
    if (l.separator) {
      item.separator = true;
    } else if (l.popup) {
      item.id = static_cast<UINT>(-1);
      item.popup = NewMenu();
      AddItems(item.popup, l.items);
    } else {
      item.id = l.id;
    }
    Find(menu)->items.push_back(std::move(item));
  }
}

}  // namespace

struct MenuAccess {
  static void MarkWrapper(CMenu* m) { m->wrapper_ = true; }
};

std::vector<MenuItemInfo> MenuItems(HMENU menu) {
  std::vector<MenuItemInfo> out;
  if (MenuRecord* r = Find(menu))
    for (const Item& i : r->items) out.push_back({i.popup ? static_cast<UINT>(-1) : i.id, i.text, i.state, i.separator, i.popup});
  return out;
}

bool FindMenuCommand(HMENU menu, UINT id, HMENU* holder, int* position) {
  MenuRecord* r = Find(menu);
  if (!r) return false;
  for (size_t k = 0; k < r->items.size(); ++k) {
    const Item& i = r->items[k];
    if (!i.popup && !i.separator && i.id == id) {
      *holder = menu;
      *position = static_cast<int>(k);
      return true;
    }
  }
  for (const Item& i : r->items)
    if (i.popup && FindMenuCommand(i.popup, id, holder, position)) return true;
  return false;
}

bool FindPopupParent(HMENU menu, HMENU holder, HMENU* parent, int* position) {
  MenuRecord* r = Find(menu);
  if (!r) return false;
  if (menu == holder) {
    *parent = nullptr;
    *position = -1;
    return true;
  }
  for (size_t k = 0; k < r->items.size(); ++k) {
    if (r->items[k].popup == holder) {
      *parent = menu;
      *position = static_cast<int>(k);
      return true;
    }
  }
  for (const Item& i : r->items)
    if (i.popup && FindPopupParent(i.popup, holder, parent, position)) return true;
  return false;
}

HMENU MenuFromLayout(const MenuLayout& layout, bool) {
  HMENU menu = NewMenu();
  AddItems(menu, layout.items);
  return menu;
}

void ResetMenus() {
  MenuState& s = Menus();
  for (auto& [h, r] : s.menus) {
    if (r->object) r->object->m_hMenu = nullptr;
    if (r->wrapper) r->wrapper->m_hMenu = nullptr;
  }
  s.menus.clear();
  s.accelerators.clear();
}

}  // namespace brv

using namespace brv;

// ---------------------------------------------------------------- CMenu

CMenu::~CMenu() {
  if (!wrapper_ && m_hMenu) DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU menu) {
  MenuRecord* r = Find(menu);
  if (!r) return nullptr;
  if (r->object) return r->object;
  if (!r->wrapper) {
    r->wrapper = std::make_unique<CMenu>();
    MenuAccess::MarkWrapper(r->wrapper.get());
    r->wrapper->m_hMenu = menu;
  }
  return r->wrapper.get();
}

BOOL CMenu::Attach(HMENU menu) {
  MenuRecord* r = Find(menu);
  if (!r || m_hMenu || r->object) return FALSE;
  r->object = this;
  m_hMenu = menu;
  return TRUE;
}

HMENU CMenu::Detach() {
  HMENU h = m_hMenu;
  if (MenuRecord* r = Find(h); r && r->object == this) r->object = nullptr;
  m_hMenu = nullptr;
  return h;
}

BOOL CMenu::CreateMenu() { return Attach(::CreateMenu()); }
BOOL CMenu::CreatePopupMenu() { return Attach(::CreatePopupMenu()); }

BOOL CMenu::LoadMenu(UINT resourceId) {
  const MenuLayout* layout = FindMenuLayout(static_cast<int>(resourceId));
  if (!layout || m_hMenu) return FALSE;
  return Attach(MenuFromLayout(*layout, true));
}

BOOL CMenu::LoadMenu(LPCSTR resourceName) {
  if (!resourceName) return FALSE;
  if (IS_INTRESOURCE(resourceName)) return LoadMenu(static_cast<UINT>(LOWORD(reinterpret_cast<uintptr_t>(resourceName))));
  if (resourceName[0] == '#') return LoadMenu(static_cast<UINT>(std::atoi(resourceName + 1)));
  return FALSE;
}

BOOL CMenu::DestroyMenu() {
  if (!m_hMenu) return FALSE;
  HMENU h = Detach();
  return ::DestroyMenu(h);
}

UINT CMenu::GetMenuItemCount() const {
  MenuRecord* r = Find(m_hMenu);
  return r ? static_cast<UINT>(r->items.size()) : static_cast<UINT>(-1);
}

UINT CMenu::GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }

UINT CMenu::GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }

int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
  MenuRecord* holder = nullptr;
  int index = 0;
  if (!Locate(m_hMenu, item, flags, &holder, &index)) {
    text.Empty();
    return 0;
  }
  text = CString(std::string_view(holder->items[static_cast<size_t>(index)].text));
  return text.GetLength();
}

int CMenu::GetMenuString(UINT item, LPSTR buffer, int size, UINT flags) const {
  CString t;
  GetMenuString(item, t, flags);
  if (!buffer || size <= 0) return t.GetLength();
  int n = std::min(t.GetLength(), size - 1);
  std::memcpy(buffer, t.GetString(), static_cast<size_t>(n));
  buffer[n] = '\0';
  return n;
}

CMenu* CMenu::GetSubMenu(int position) const { return FromHandle(::GetSubMenu(m_hMenu, position)); }

BOOL CMenu::InsertMenu(UINT item, UINT flags, UINT_PTR id, LPCSTR text) { return ::InsertMenu(m_hMenu, item, flags, id, text); }
BOOL CMenu::AppendMenu(UINT flags, UINT_PTR id, LPCSTR text) { return ::AppendMenu(m_hMenu, flags, id, text); }

BOOL CMenu::ModifyMenu(UINT item, UINT flags, UINT_PTR id, LPCSTR text) {
  MenuRecord* holder = nullptr;
  int index = 0;
  if (!Locate(m_hMenu, item, flags, &holder, &index)) return FALSE;
  Item& i = holder->items[static_cast<size_t>(index)];
  i.separator = (flags & MF_SEPARATOR) != 0;
  i.state = flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED);
  i.text = text && !i.separator ? text : "";
  if (flags & MF_POPUP) {
    HMENU popup = reinterpret_cast<HMENU>(id);
    if (i.popup && i.popup != popup) Destroy(i.popup);
    i.popup = Find(popup) ? popup : nullptr;
    i.id = static_cast<UINT>(-1);
  } else {
    if (i.popup) Destroy(i.popup);
    i.popup = nullptr;
    i.id = i.separator ? 0 : static_cast<UINT>(id);
  }
  return TRUE;
}

BOOL CMenu::DeleteMenu(UINT item, UINT flags) { return ::DeleteMenu(m_hMenu, item, flags); }
BOOL CMenu::RemoveMenu(UINT item, UINT flags) { return ::RemoveMenu(m_hMenu, item, flags); }
UINT CMenu::CheckMenuItem(UINT item, UINT check) { return ::CheckMenuItem(m_hMenu, item, check); }
UINT CMenu::EnableMenuItem(UINT item, UINT enable) { return ::EnableMenuItem(m_hMenu, item, enable); }

BOOL CMenu::CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags) {
  BOOL found = FALSE;
  for (UINT k = first; k <= last; ++k) {
    UINT r = CheckMenuItem(k, (flags & MF_BYPOSITION) | (k == item ? MF_CHECKED : MF_UNCHECKED));
    if (k == item && r != static_cast<UINT>(-1)) found = TRUE;
  }
  return found;
}

BOOL CMenu::TrackPopupMenu(UINT, int, int, CWnd*, const RECT*) { return FALSE; }

// ---------------------------------------------------------------- functions

HMENU CreateMenu() { return NewMenu(); }
HMENU CreatePopupMenu() { return NewMenu(); }

BOOL DestroyMenu(HMENU menu) {
  if (!Find(menu)) return FALSE;
  Destroy(menu);
  return TRUE;
}

HMENU LoadMenu(HINSTANCE, LPCSTR name) {
  if (!name) return nullptr;
  int id = IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<uintptr_t>(name)) : (name[0] == '#' ? std::atoi(name + 1) : -1);
  const MenuLayout* layout = FindMenuLayout(id);
  return layout ? MenuFromLayout(*layout, true) : nullptr;
}

BOOL IsMenu(HMENU menu) { return Find(menu) ? TRUE : FALSE; }

int GetMenuItemCount(HMENU menu) {
  MenuRecord* r = Find(menu);
  return r ? static_cast<int>(r->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  MenuRecord* r = Find(menu);
  if (!r || position < 0 || position >= static_cast<int>(r->items.size())) return static_cast<UINT>(-1);
  const Item& i = r->items[static_cast<size_t>(position)];
  if (i.popup) return static_cast<UINT>(-1);
  return i.separator ? 0 : i.id;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  MenuRecord* holder = nullptr;
  int index = 0;
  if (!Locate(menu, item, flags, &holder, &index)) return static_cast<UINT>(-1);
  const Item& i = holder->items[static_cast<size_t>(index)];
  UINT state = i.state;
  if (state & MF_GRAYED) state |= MF_DISABLED;
  if (i.separator) state |= MF_SEPARATOR;
  if (i.popup) {
    MenuRecord* p = Find(i.popup);
    state |= MF_POPUP | ((p ? static_cast<UINT>(p->items.size()) : 0) << 8);
  }
  return state;
}

HMENU GetSubMenu(HMENU menu, int position) {
  MenuRecord* r = Find(menu);
  if (!r || position < 0 || position >= static_cast<int>(r->items.size())) return nullptr;
  return r->items[static_cast<size_t>(position)].popup;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  MenuRecord* holder = nullptr;
  int index = 0;
  if (!Locate(menu, item, enable, &holder, &index)) return -1;
  Item& i = holder->items[static_cast<size_t>(index)];
  UINT old = i.state & (MF_GRAYED | MF_DISABLED);
  if (old & MF_GRAYED) old |= MF_DISABLED;
  i.state &= ~UINT(MF_GRAYED | MF_DISABLED);
  // MF_GRAYED greys and disables; MF_DISABLED alone disables too.
  if (enable & MF_GRAYED) i.state |= MF_GRAYED | MF_DISABLED;
  else if (enable & MF_DISABLED) i.state |= MF_DISABLED;
  Changed(menu);
  return static_cast<BOOL>(old);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  MenuRecord* holder = nullptr;
  int index = 0;
  if (!Locate(menu, item, check, &holder, &index)) return static_cast<DWORD>(-1);
  Item& i = holder->items[static_cast<size_t>(index)];
  DWORD old = i.state & MF_CHECKED;
  if (check & MF_CHECKED)
    i.state |= MF_CHECKED;
  else
    i.state &= ~UINT(MF_CHECKED);
  return old;
}

BOOL RemoveMenu(HMENU menu, UINT item, UINT flags) {
  MenuRecord* holder = nullptr;
  int index = 0;
  if (!Locate(menu, item, flags, &holder, &index)) return FALSE;
  holder->items.erase(holder->items.begin() + index);
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) {
  MenuRecord* holder = nullptr;
  int index = 0;
  if (!Locate(menu, item, flags, &holder, &index)) return FALSE;
  HMENU popup = holder->items[static_cast<size_t>(index)].popup;
  holder->items.erase(holder->items.begin() + index);
  if (popup) Destroy(popup);
  return TRUE;
}

BOOL InsertMenu(HMENU menu, UINT item, UINT flags, UINT_PTR id, LPCSTR text) {
  MenuRecord* r = Find(menu);
  if (!r) return FALSE;
  Item i;
  i.separator = (flags & MF_SEPARATOR) != 0;
  i.state = flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED);
  if (i.state & MF_GRAYED) i.state |= MF_DISABLED;
  i.text = text && !i.separator ? text : "";
  if (flags & MF_POPUP) {
    HMENU popup = reinterpret_cast<HMENU>(id);
    if (!Find(popup)) return FALSE;
    i.popup = popup;
    i.id = static_cast<UINT>(-1);
  } else {
    i.id = i.separator ? 0 : static_cast<UINT>(id);
  }
  size_t at = r->items.size();
  if (flags & MF_BYPOSITION) {
    if (item < r->items.size()) at = item;
  } else {
    HMENU h = nullptr;
    int pos = 0;
    if (FindMenuCommand(menu, item, &h, &pos)) {
      r = Find(h);
      at = static_cast<size_t>(pos);
    }
  }
  r->items.insert(r->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(i));
  return TRUE;
}

BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR id, LPCSTR text) {
  return InsertMenu(menu, static_cast<UINT>(-1), flags | MF_BYPOSITION, id, text);
}

HMENU GetMenu(HWND window) {
  WindowRecord* r = Record(window);
  return r && !r->IsChild() ? r->menu : nullptr;
}

BOOL SetMenu(HWND window, HMENU menu) {
  CWnd* w = CWnd::FromHandle(window);
  return w ? w->SetMenu(CMenu::FromHandle(menu)) : FALSE;
}

BOOL DrawMenuBar(HWND window) {
  CWnd* w = CWnd::FromHandle(window);
  if (!w) return FALSE;
  w->DrawMenuBar();
  return TRUE;
}

// ---------------------------------------------------------------- accelerators

HACCEL CreateAcceleratorTable(const ACCEL* entries, int count) {
  if (!entries || count <= 0) return nullptr;
  MenuState& s = Menus();
  HACCEL h = reinterpret_cast<HACCEL>(s.next);
  s.next += 0x10;
  s.accelerators[h].assign(entries, entries + count);
  return h;
}

HACCEL LoadAccelerators(HINSTANCE, LPCSTR name) {
  if (!name) return nullptr;
  int id = IS_INTRESOURCE(name) ? LOWORD(reinterpret_cast<uintptr_t>(name)) : (name[0] == '#' ? std::atoi(name + 1) : -1);
  const std::vector<ACCEL>* table = FindAcceleratorLayout(id);
  return table && !table->empty() ? CreateAcceleratorTable(table->data(), static_cast<int>(table->size())) : nullptr;
}

BOOL DestroyAcceleratorTable(HACCEL table) { return Menus().accelerators.erase(table) ? TRUE : FALSE; }

int CopyAcceleratorTable(HACCEL table, ACCEL* entries, int count) {
  auto it = Menus().accelerators.find(table);
  if (it == Menus().accelerators.end()) return 0;
  int n = static_cast<int>(it->second.size());
  if (!entries) return n;
  n = std::min(n, count);
  std::copy_n(it->second.begin(), n, entries);
  return n;
}

int TranslateAccelerator(HWND window, HACCEL table, MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return 0;
  auto it = Menus().accelerators.find(table);
  if (it == Menus().accelerators.end() || !Record(window)) return 0;
  BYTE mods = FVIRTKEY;
  if (GetKeyState(VK_CONTROL) < 0) mods |= FCONTROL;
  if (GetKeyState(VK_SHIFT) < 0) mods |= FSHIFT;
  if (GetKeyState(VK_MENU) < 0) mods |= FALT;
  const ACCEL* hit = nullptr;
  for (const ACCEL& a : it->second)
    if ((a.fVirt & FVIRTKEY) && a.key == msg->wParam && (a.fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT)) == mods)
      hit = &a;
  if (!hit) return 0;
  UINT cmd = hit->cmd;
  if (!IsReallyEnabled(window)) return 1;
  // The command's menu item decides after its pop-up was prepared.
  HMENU bar = GetMenu(window);
  HMENU holder = nullptr;
  int position = 0;
  if (bar && FindMenuCommand(bar, cmd, &holder, &position)) {
    Send(window, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    HMENU parent = nullptr;
    int index = 0;
    if (holder != bar && FindPopupParent(bar, holder, &parent, &index))
      Send(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(holder), MAKELPARAM(static_cast<unsigned>(index), 0));
    if (!Record(window)) return 1;
    if (FindMenuCommand(bar, cmd, &holder, &position) &&
        (::GetMenuState(holder, static_cast<UINT>(position), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)))
      return 1;
  }
  Send(window, WM_COMMAND, MAKEWPARAM(cmd, 1), 0);
  return 1;
}
