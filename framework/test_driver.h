#pragma once
// The headless driver: finds windows and controls, reads their state, the
// menus, the cursor and the pixels of the surfaces, and makes input as a
// user would (through the message queue: hit testing, mouse activation
// first, accelerators, dialog keys), then lets the program handle it.
// Every input call pumps until nothing is left to do; the clock moves only
// through AdvanceClock. Modal dialogs, file dialogs and message boxes
// answer from scripts (see HeadlessBackend); when the program ends through
// the exit hook the driver records the code and further input is ignored.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/backend.h"
#include "framework/filedialog.h"
#include "framework/menu.h"
#include "framework/window_state.h"

namespace brv {

// Alt in the keys argument of the driver (with MK_SHIFT and MK_CONTROL).
inline constexpr UINT kKeyAlt = 0x1000;

// A snapshot of a window or control.
struct ControlInfo {
  std::string className;
  ControlType type = ControlType::kNone;
  int id = 0;
  std::string text;
  DWORD style = 0;
  bool visible = false;  // with every ancestor
  bool enabled = false;  // with every ancestor
  bool focused = false;
  CRect rect;            // in the parent's client area (screen for top-level windows)
  int check = 0;         // buttons
  bool pushed = false;
  HBITMAP bitmap = nullptr;  // buttons and statics
  int pos = 0, min = 0, max = 0;  // sliders, progress bars and up-down controls
  int percent = 0;                // progress bars
  int selection = -1;             // combo, tab, list (the focused item)
  std::vector<std::string> items; // combo, tab, list (labels)
  std::vector<UINT> itemStates;   // list
  int selStart = 0, selEnd = 0;   // edits
  int firstVisible = 0;           // edits (line or character), lists (top item)
};

class HeadlessDriver {
 public:
  explicit HeadlessDriver(HeadlessBackend& backend = DefaultHeadlessBackend());
  HeadlessBackend& Backend() { return backend_; }

  // Destroys every window and empties the windowing state and the backend's
  // script and events: a fresh start for a test.
  void Reset();

  // ---- finding
  static std::vector<HWND> TopLevelWindows();  // topmost first
  // The first top-level window with that caption.
  static HWND FindTopLevel(std::string_view caption);
  // A window made from the DIALOG layout of that number (null: none).
  static HWND FindDialog(int layoutId);
  // A descendant with that control id (depth first).
  static HWND FindControl(HWND parent, int id);
  static HWND ActiveWindow();
  static HWND FocusWindow();

  // ---- reading
  static ControlInfo Inspect(HWND window);
  static CRect ScreenRect(HWND window);
  // The pixel of a window's client point from its top-level surface
  // (CLR_INVALID outside the surface).
  static COLORREF Pixel(HWND window, int x, int y);
  static const Surface* SurfaceOf(HWND window);
  // The menu bar's items (path empty) or those of the pop-up at the path of
  // positions; the frame's update handlers run first, as when it opens.
  std::vector<MenuItemInfo> MenuItems(HWND frame, const std::vector<int>& path = {});
  // The state of a command's item after its pop-up was prepared; (UINT)-1
  // when the menu has no such item.
  UINT MenuState(HWND frame, UINT command);
  // The pointer's shape ("arrow", "CURSOR 233", ...).
  static std::string CursorName();

  // ---- input
  void MouseMove(HWND window, CPoint client, UINT keys = 0);
  void MouseDown(HWND window, CPoint client, int button = 0, UINT keys = 0);
  void MouseUp(HWND window, CPoint client, int button = 0, UINT keys = 0);
  void Click(HWND window, CPoint client, int button = 0, UINT keys = 0);
  void DoubleClick(HWND window, CPoint client, int button = 0, UINT keys = 0);
  // Down at from, moves in steps along the line, up at to.
  void Drag(HWND window, CPoint from, CPoint to, int steps = 4, int button = 0, UINT keys = 0);
  void Wheel(HWND window, CPoint client, int delta, UINT keys = 0);
  // To the focus window (or the active one).
  void KeyDown(UINT key, UINT keys = 0);
  void KeyUp(UINT key, UINT keys = 0);
  void Key(UINT key, UINT keys = 0);
  void Type(std::string_view text);
  // A click in the middle of the control.
  void ClickControl(HWND control);
  void CloseBox(HWND topLevel);
  // The menu command as the user chooses it; false when the item is
  // missing or disabled (nothing sent).
  bool ChooseMenu(HWND frame, UINT command);
  void DragSlider(HWND slider, int position, int steps = 4);
  // A click in the channel before (up) or after the thumb.
  void PageSlider(HWND slider, bool up);
  // The key to the slider (it takes the focus first).
  void SliderKey(HWND slider, UINT key);
  void SelectTab(HWND tab, int index);
  void SelectCombo(HWND combo, int index);
  void ClickListItem(HWND list, int item, bool stateIcon);
  void AdvanceClock(uint64_t milliseconds);
  // Handles everything pending: queued messages, paints and due timers.
  void Pump();

  // ---- scripts
  void OnNextModal(std::function<void(HWND dialog)> script) { backend_.ScriptModal(std::move(script)); }
  void OnNextFileDialog(std::function<int(FileDialogSession&)> script) {
    backend_.ScriptFileDialog(std::move(script));
  }
  void AnswerNextMessageBox(int answer) { backend_.AddAnswer(answer); }
  // Runs f as program code under the driver: an exit through the hook ends it.
  void Run(const std::function<void()>& f);

  // ---- the end
  std::optional<int> ExitCode() const { return backend_.ExitCode(); }
  bool Exited() const { return backend_.ExitCode().has_value(); }
  // Script problems (a modal dialog left open, answers not offered, ...).
  const std::vector<std::string>& Failures() const { return backend_.ScriptErrors(); }

 private:
  void Input(const RawInput& in);
  void Guarded(const std::function<void()>& f);
  RawInput Mouse(RawInput::Kind kind, HWND window, CPoint client, int button, UINT keys);
  bool PrepareMenu(HWND frame, UINT command, HMENU* holder, int* position);

  HeadlessBackend& backend_;
  int depth_ = 0;
};

}  // namespace brv
