#pragma once
// The framework's windowing state: every window, its control data, the
// message queue, timers, focus and the keyboard state, in one place with a
// reset for tests. Framework code, the test driver and windowing backends
// read it; application code uses the classes (CWnd, ...) instead.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/gdi.h"
#include "framework/winmsg.h"
#include "framework/wnd.h"

class CImageList;

namespace brv {

// ---------------------------------------------------------------- controls

enum class ControlType { kNone, kButton, kStatic, kEdit, kCombo, kSlider, kProgress, kList, kTab, kSpin };

struct ControlData {
  virtual ~ControlData() = default;
  virtual ControlType Type() const = 0;
};

struct ButtonData : ControlData {
  ControlType Type() const override { return ControlType::kButton; }
  int check = BST_UNCHECKED;
  bool pushed = false;         // held down by the mouse or the space bar
  HBITMAP bitmap = nullptr;    // BS_BITMAP picture (not owned)
  HICON icon = nullptr;        // BS_ICON picture (not owned)
};

struct StaticData : ControlData {
  ControlType Type() const override { return ControlType::kStatic; }
  HBITMAP bitmap = nullptr;  // SS_BITMAP picture
  bool ownsBitmap = false;   // loaded from the layout
  HICON icon = nullptr;      // SS_ICON picture
  bool ownsIcon = false;
  ~StaticData() override;
};

struct EditData : ControlData {
  ControlType Type() const override { return ControlType::kEdit; }
  int selStart = 0;  // selection [selStart, selEnd); the caret is at selEnd
  int selEnd = 0;
  int firstLine = 0;  // first visible line (multi-line)
  int firstChar = 0;  // first visible character (single line)
  int limit = 0;      // 0: no limit
  bool modified = false;
};

struct ComboItem {
  std::string text;
  DWORD_PTR data = 0;
};
struct ComboData : ControlData {
  ControlType Type() const override { return ControlType::kCombo; }
  std::vector<ComboItem> items;
  int current = -1;
};

struct SliderData : ControlData {
  ControlType Type() const override { return ControlType::kSlider; }
  int min = 0, max = 100, pos = 0;
  int line = 1;
  int page = 20;
  int ticFreq = 1;
  bool dragging = false;   // the thumb is held
  int dragOffset = 0;      // pointer to thumb centre when the drag began
  UINT pendingEnd = 0;     // 1: a TB_ENDTRACK is due at the button or key release
};

struct ProgressData : ControlData {
  ControlType Type() const override { return ControlType::kProgress; }
  int lower = 0, upper = 100, pos = 0, step = 10;
};

// An up-down control: the default range runs from 100 down to 0.
struct SpinData : ControlData {
  ControlType Type() const override { return ControlType::kSpin; }
  int lower = 100, upper = 0, pos = 0;
};

struct ListColumn {
  std::string text;
  int width = 0;
  int format = LVCFMT_LEFT;
};
struct ListItem {
  std::vector<std::string> texts;  // label, then the sub-items
  UINT state = 0;                  // LVIS_ bits and the state image index << 12
  LPARAM data = 0;
  int image = -1;
};
struct ListData : ControlData {
  ControlType Type() const override { return ControlType::kList; }
  std::vector<ListColumn> columns;
  std::vector<ListItem> items;
  int top = 0;           // first visible item
  int selectionMark = -1;
  DWORD extendedStyle = 0;
  CImageList* images[3] = {nullptr, nullptr, nullptr};  // LVSIL_NORMAL, SMALL, STATE
};

struct TabItem {
  std::string text;
  LPARAM data = 0;
};
struct TabData : ControlData {
  ControlType Type() const override { return ControlType::kTab; }
  std::vector<TabItem> items;
  int current = -1;
};

// ---------------------------------------------------------------- windows

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HBRUSH background = nullptr;  // a brush, or (HBRUSH)(COLOR_x + 1)
  HCURSOR cursor = nullptr;
  HICON icon = nullptr;
};

struct WindowRecord {
  HWND handle = nullptr;
  const WindowClass* cls = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  UINT id = 0;
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // top-level windows
  std::vector<HWND> children;  // topmost first
  CRect rect;   // parent-client coordinates for children, screen for top-level windows
  CRect restoreRect;  // a maximised top-level window's size before
  std::string text;
  CWnd* object = nullptr;  // the window's own object
  std::unique_ptr<CWnd> wrapper;  // the object FromHandle gives when it has none
  std::unique_ptr<ControlData> control;
  HFONT font = nullptr;
  HICON icons[2] = {nullptr, nullptr};

  CRect invalid;  // client coordinates
  bool erase = false;
  bool destroying = false;
  bool created = false;  // WM_CREATE has returned

  // Top-level windows.
  std::unique_ptr<Surface> surface;  // the client area's pixels
  HMENU menu = nullptr;

  // Dialogs.
  int dialogTemplate = 0;  // the layout's number
  HWND lastFocus = nullptr;
  UINT defaultId = 0;  // 0: the first default push button, else IDOK

  bool IsChild() const { return (style & WS_CHILD) != 0; }
};

struct TimerRecord {
  HWND window;
  UINT_PTR id;
  UINT interval;
  uint64_t due;
  TIMERPROC proc;
};

// Input as it arrives from the backend or the test driver; it becomes a
// message when taken from the queue.
struct RawInput {
  enum Kind { kMouseMove, kButtonDown, kButtonUp, kWheel, kKeyDown, kKeyUp, kChar } kind = kMouseMove;
  POINT screen{0, 0};
  int button = 0;
  UINT text = 0;    // kKeyDown: the character the key types (0: none)   // 0 left, 1 right, 2 middle
  int wheelDelta = 0;
  UINT key = 0;     // virtual key, or the character of kChar
  bool shift = false, control = false, alt = false;
  bool repeat = false;
  HWND target = nullptr;  // deliver to this window instead of hit-testing (native controls, keys)
  bool doubleClick = false;  // the backend saw a double click
};

struct QueueItem {
  bool raw = false;
  MSG msg{};
  RawInput input;
};

struct WindowingState {
  // At process exit the control objects a record owns look their windows up
  // as they go: they find an empty table, not one half torn down.
  ~WindowingState() {
    auto records = std::move(windows);
    windows.clear();
    records.clear();
  }
  std::unordered_map<HWND, std::unique_ptr<WindowRecord>> windows;
  std::vector<HWND> topLevels;  // topmost first
  std::map<std::string, std::unique_ptr<WindowClass>> classes;
  std::deque<QueueItem> queue;
  std::vector<TimerRecord> timers;
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  HWND pressed = nullptr;  // the window a held button went down in
  std::array<uint8_t, 256> keys{};  // 0x80 down, 0x01 toggled
  POINT cursor{0, 0};
  HCURSOR cursorShape = nullptr;
  bool quit = false;
  int quitCode = 0;
  uintptr_t nextHandle = 0x10000;
  // The message being handled (for Default and GetCurrentMessage).
  std::vector<MSG> current;
  // The last button press, for double clicks.
  struct {
    HWND window = nullptr;
    int button = -1;
    POINT screen{0, 0};
    uint64_t time = 0;
    bool valid = false;
  } lastClick;
  bool exited = false;  // the program ended through the exit hook
  // The one caret: its owner (null: none), size and position, and how many
  // HideCaret calls ShowCaret has still to undo (a new caret is hidden once).
  struct {
    HWND owner = nullptr;
    SIZE size{0, 0};
    POINT pos{0, 0};
    int hidden = 0;
  } caret;
};

WindowingState& State();
// The record of a live window, null for anything else.
WindowRecord* Record(HWND window);
// Destroys every window, empties the queue and forgets timers, focus,
// menus, accelerator tables, the clipboard and the keyboard state.
void ResetWindowing();

// The top-level window of a window (itself when it is one).
HWND TopLevelOf(HWND window);
// The window's client area in its top-level window's client coordinates.
CRect ClientOnSurface(HWND window);
// The window's rectangle in its top-level window's client coordinates.
CRect WindowOnSurface(HWND window);
// The non-client insets of a window (left, top, right, bottom).
CRect NonClientInsets(const WindowRecord& r);
// Where a window's rectangle goes so that it lies inside area, or, when it
// is larger, so that its top-left corner does (as Windows keeps a centred
// window's caption on the screen).
CPoint KeepInside(const CRect& window, const CRect& area);
// What of the window's client area (or whole rectangle) is visible, in
// surface pixels.
Region VisibleRegion(HWND window, bool clipChildren);
Region VisibleWindowRegion(HWND window);
// The surface a window draws into (its top-level window's); null when none.
Surface* SurfaceOf(HWND window);
// Visible with every ancestor.
bool IsReallyVisible(HWND window);
// Enabled with every ancestor.
bool IsReallyEnabled(HWND window);
// Sends to the window's object or its class procedure.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The window procedure of its class.
LRESULT CallClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Tells the backend what changed on the surface and clears the marks.
void PresentSurface(HWND topLevel, bool now);
// Paints every window that needs it (WM_PAINT), now.
void PaintAllNow();
// Paints the window (and, with children, its descendants) now.
void PaintNow(HWND window, bool children);
// Puts the input into the queue.
void PostInput(const RawInput& input);
// The tick count at which the next timer falls due (UINT64_MAX: none).
uint64_t NextTimerTick();
// Registers the framework's own classes (once) and returns one by name.
const WindowClass* FindClass(std::string_view name);
// Creates the control data of a window of a control class.
std::unique_ptr<ControlData> MakeControlData(std::string_view className);
// The window procedures of the built-in classes.
LRESULT DialogProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT SliderProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT SpinProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TabProc(HWND, UINT, WPARAM, LPARAM);
// Creates a window for the object (null: a window without one).
HWND MakeWindow(CWnd* object, CREATESTRUCT& cs);
// Makes the persistent wrapper object of a window without its own object.
std::unique_ptr<CWnd> MakeWrapper(const WindowRecord& r);
// The control data of a window if it has that type.
template <class T>
T* ControlOf(HWND window) {
  WindowRecord* r = Record(window);
  return r ? dynamic_cast<T*>(r->control.get()) : nullptr;
}
// Tells the backend that a native control's state changed.
void ControlChanged(HWND control);

}  // namespace brv
