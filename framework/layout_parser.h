#pragma once
// Readers of the text layout resources: dialogs, menus and accelerator
// tables. Every bad line refuses the whole resource with one message that
// names the file and the line: "DIALOG/232.txt:14: unknown control kind 'buton'".
//
// Common rules: UTF-8 text; '#' as the first non-blank character starts a
// comment line; blank lines are skipped; tokens are separated by blanks or
// tabs; texts stand in double quotes with the escapes \" \\ \t (and \n);
// numbers are decimal, ids may also be written 0x.. in hexadecimal.
//
// DIALOG/<id>.txt
//   dialog <id> <IDD_NAME> "<caption>" <w> <h> <style> ...
//     styles: popup | child (exactly one), caption, sysmenu, border,
//     visible, modalframe, topmost. w and h in dialog units.
//   then one line per control, in tab order:
//   <kind> <id> "<text>" <x> <y> <w> <h> <flag> ...
//     x, y, w, h in dialog units (x, y -32768..32767, w, h 0..32767);
//     id 0..65535 or -1 (controls nothing addresses; only -1 may repeat).
//     kinds and their flags (every kind also takes hidden, disabled, group,
//     tabstop and border):
//       button    push button: default
//       check     check box: auto, pushlike
//       radio     radio button: auto, pushlike (group starts a new group)
//       static    text: left (default), center, right, sunken, notify, noprefix
//       bitmap    bitmap static, text = BITMAP resource number: sunken, notify, center
//       icon      icon static, text = ICON resource number: sunken, notify, center
//       frame     static drawing only its border: sunken, etched, black (default), gray, white
//       groupbox  group box
//       edit      multiline, wantreturn, password, readonly, vscroll, hscroll,
//                 autohscroll, autovscroll, number, center, right
//       slider    vertical, autoticks, noticks, both, top, left
//       progress  smooth, vertical
//       list      report, noheader, singlesel, showselalways, icon, smallicon
//       tab       (no flags of its own)
//       combo     dropdown, dropdownlist, sort, vscroll
//
// MENU/<id>.txt
//   popup "<text>" [flags]        opens a pop-up (nested pop-ups allowed)
//     item <id> "<text>" [flags]  text may hold \t and the accelerator text; & marks the mnemonic
//     separator
//   end                           closes the innermost pop-up
//   flags: checked, grayed, disabled. Items may also stand at the top level.
//
// ACCELERATORS/<id>.txt
//   <keys> <id>
//   keys: any of Ctrl+ Shift+ Alt+ (each once, any case), then a letter
//   A-Z, a digit, F1-F24 or one of Enter, Escape, Tab, Space, Delete,
//   Insert, Home, End, PageUp, PageDown, Left, Right, Up, Down, Backspace,
//   Plus (the keypad's +) and Minus (the keypad's -).
//   Example: "Ctrl+Shift+N 57600", "F6 0xE150".
#include <string>
#include <string_view>
#include <vector>

#include "framework/winmsg.h"

namespace brv {

enum class ControlKind {
  kButton,
  kCheck,
  kRadio,
  kStatic,
  kBitmap,
  kIcon,
  kFrame,
  kGroupBox,
  kEdit,
  kSlider,
  kProgress,
  kList,
  kTab,
  kCombo,
};

// The layout word of a kind ("button", ...).
const char* ControlKindName(ControlKind kind);

struct ControlLayout {
  ControlKind kind = ControlKind::kStatic;
  int id = -1;
  std::string text;
  int x = 0, y = 0, w = 0, h = 0;  // dialog units
  // The window style the flags give: the kind's own style bits, WS_CHILD,
  // WS_VISIBLE unless hidden, and WS_DISABLED, WS_GROUP, WS_TABSTOP, WS_BORDER.
  DWORD style = 0;
  int line = 0;  // where it stands in its file
};

struct DialogLayout {
  int id = 0;
  std::string name;  // IDD_...
  std::string caption;
  int w = 0, h = 0;  // dialog units
  DWORD style = 0;   // WS_POPUP or WS_CHILD and the other header styles
  DWORD exStyle = 0; // WS_EX_TOPMOST
  std::vector<ControlLayout> controls;

  // The control with that id, null when there is none.
  const ControlLayout* Find(int controlId) const;
};

struct MenuItemLayout {
  bool popup = false;
  bool separator = false;
  UINT id = 0;
  std::string text;
  UINT flags = 0;  // MF_CHECKED, MF_GRAYED, MF_DISABLED
  std::vector<MenuItemLayout> items;  // of a pop-up
};

struct MenuLayout {
  std::vector<MenuItemLayout> items;  // the top level (the menu bar)
};

// Each returns true and fills *out, or returns false and puts one message
// "<file>:<line>: <problem>" into *error. `file` names the resource in the
// messages ("DIALOG/232.txt").
bool ParseDialogLayout(std::string_view text, std::string_view file, DialogLayout* out, std::string* error);
bool ParseMenuLayout(std::string_view text, std::string_view file, MenuLayout* out, std::string* error);
bool ParseAcceleratorLayout(std::string_view text, std::string_view file, std::vector<ACCEL>* out,
                            std::string* error);

// The text of a key as the accelerator resources write it ("Ctrl+Shift+N"),
// and its inverse for one key (false when the text names none).
std::string AcceleratorKeyText(const ACCEL& accel);
bool ParseAcceleratorKeys(std::string_view keys, BYTE* fVirt, WORD* key);

// The embedded resources, parsed once. Null when missing or refused; a
// refused resource writes its message to the log once.
const DialogLayout* FindDialogLayout(int id);
const MenuLayout* FindMenuLayout(int id);
const std::vector<ACCEL>* FindAcceleratorLayout(int id);
// Forgets the parsed resources (after a test changed the resource overlays).
void ForgetParsedLayouts();

}  // namespace brv
