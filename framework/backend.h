#pragma once
// What the framework needs of the desktop: message boxes, beeps, the wait
// cursor, waiting, the clock and the log, and the windowing part: top-level
// windows and the pixels of their surfaces, native controls, the cursor,
// the clipboard, file dialogs, web links, waiting for input and the end of
// the program. A windowing backend implements Backend; the headless one
// below is the default and answers from a script.
//
// The framework keeps every window, control and menu as its own state and
// dispatches every message itself; a backend shows that state and hands
// input back as brv::RawInput (framework/window_state.h, brv::PostInput).
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/geometry.h"
#include "framework/wintypes.h"

struct HWND__;
typedef HWND__* HWND;
namespace brv::gdi {
struct IconTag;
}

namespace brv {

class FileDialogSession;

// Sizes of the screen and of the parts of windows, in pixels.
struct ScreenMetrics {
  int screenWidth = 1280;
  int screenHeight = 1024;
  int menuBar = 20;
  int caption = 19;
  int border = 1;        // WS_BORDER
  int dialogFrame = 3;   // WS_DLGFRAME, DS_MODALFRAME
  int sizingFrame = 4;   // WS_THICKFRAME
  int edge = 2;          // WS_EX_CLIENTEDGE
  int scrollBar = 17;
  int doubleClickWidth = 4;
  int doubleClickTime = 500;  // milliseconds
};

// What changed about a window (Backend::WindowChanged).
enum WindowChange : unsigned {
  kWindowGeometry = 1,
  kWindowVisibility = 2,
  kWindowText = 4,
  kWindowZOrder = 8,
  kWindowEnabled = 16,
  kWindowMenu = 32,
  kWindowStyle = 64,
  kWindowFocus = 128,
};

// The clipboard's formats as the backend keeps them: a packed DIB (header,
// colours, rows) and text. CF_BITMAP is made from the DIB and back by the
// framework.
struct ClipboardContents {
  std::optional<std::vector<uint8_t>> dib;
  std::optional<std::string> text;
};

// Thrown by the headless backend's Exit: the program ended with `code`;
// nothing of the program runs after it.
struct ProgramExit {
  int code;
};

struct MessageBoxRequest {
  std::string text;
  std::string caption;
  UINT type = 0;             // the MB_ flags as given
  std::vector<int> buttons;  // the results of the buttons, left to right (IDOK, IDYES, ...)
  int defaultButton = 0;     // index into buttons
};

// The buttons a message box type shows, as their results, and the index of
// the default one (MB_DEFBUTTON2/3, else the first).
MessageBoxRequest MakeMessageBoxRequest(std::string_view text, std::string_view caption, UINT type);

class Backend {
 public:
  virtual ~Backend() = default;
  // Shows the box and returns the result of the pressed button.
  virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
  virtual void Beep(UINT type) = 0;
  // Called with true when the first wait cursor starts, false when the last ends.
  virtual void SetWaitCursor(bool on) = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  // Milliseconds of a steady clock.
  virtual uint64_t TickCount() = 0;
  // The wall clock.
  virtual std::time_t Now() = 0;
  virtual void Log(std::string_view line) = 0;

  // ---- windowing. The defaults suit a backend without windows.
  virtual ScreenMetrics Metrics() { return ScreenMetrics(); }
  // A top-level window came into being, changed (WindowChange bits) or went.
  virtual void WindowCreated(HWND topLevel) {}
  virtual void WindowChanged(HWND window, unsigned what) {}
  virtual void WindowDestroyed(HWND topLevel) {}
  // Pixels of the top-level window's surface changed inside rect (client
  // coordinates); with now they must be on the screen when this returns.
  virtual void Present(HWND topLevel, const RECT& rect, bool now) {}
  // A long operation runs on the program's thread and has just painted
  // topLevel (its progress window): that window's pixels, and the last ones
  // of every other window, reach the screen now. No input is delivered.
  virtual void ShowWhileBusy(HWND topLevel) {}
  // Whether interactive controls are native widgets of the backend. Then the
  // backend follows ControlCreated/Changed/Destroyed, and input the
  // framework's control objects leave to Default() goes back to it through
  // ControlDefault (true: the backend took it).
  virtual bool HostsNativeControls() const { return false; }
  virtual void ControlCreated(HWND control) {}
  virtual void ControlChanged(HWND control) {}
  virtual void ControlDestroyed(HWND control) {}
  virtual bool ControlDefault(HWND control, unsigned message, uintptr_t wParam, intptr_t lParam) { return false; }
  // The item of a native report list under a client point, from the
  // geometry the backend draws: true with the item (-1: none) and the
  // LVHT_ flags; false leaves the answer to the framework's own geometry.
  virtual bool ListHitTest(HWND list, POINT client, int* item, UINT* flags) { return false; }
  // The pointer's shape over the program's windows.
  virtual void SetCursor(brv::gdi::IconTag* cursor) {}
  // Waits until input arrives (brv::PostInput) or the tick count reaches
  // wakeTick (a timer falls due); modalWindow is the dialog of the modal
  // loop that waits (null: the application's loop). False when no input
  // will ever come: the loop then ends (a modal dialog with IDCANCEL).
  virtual bool WaitForInput(HWND modalWindow, uint64_t wakeTick) { return false; }
  // Runs a file dialog (see framework/filedialog.h); IDOK or IDCANCEL.
  virtual int RunFileDialog(FileDialogSession& session);
  // Opens a web or mail link with the desktop's handler; false on failure.
  virtual bool OpenUrl(std::string_view url) { return false; }
  virtual ClipboardContents ReadClipboard() { return clipboard_; }
  virtual void WriteClipboard(const ClipboardContents& contents) { clipboard_ = contents; }
  // Ends the program with the exit code; never returns.
  [[noreturn]] virtual void Exit(int code);

 private:
  ClipboardContents clipboard_;
};

// The backend in use (the default headless one unless another was set).
Backend& CurrentBackend();
// Installs backend (null: the default headless one); returns the previous one.
Backend* SetBackend(Backend* backend);

class HeadlessBackend : public Backend {
 public:
  struct Event {
    enum Kind { kMessageBox, kBeep, kWaitCursor, kSleep, kLog } kind;
    std::string caption;  // message box caption
    std::string text;     // message box text or log line
    UINT type = 0;        // message box or beep type
    int value = 0;        // message box result, cursor on/off, sleep milliseconds
  };

  HeadlessBackend();

  // The answers for the next message boxes, in order: each a result that the
  // box offers (IDYES, ...). Without a script a box takes its default button.
  void ScriptAnswers(std::vector<int> answers);
  void AddAnswer(int answer) { answers_.push_back(answer); }
  int PendingAnswers() const { return static_cast<int>(answers_.size()); }
  // Scripted answers that the box did not offer (the box then took its default).
  const std::vector<std::string>& ScriptErrors() const { return scriptErrors_; }

  const std::vector<Event>& Events() const { return events_; }
  std::vector<Event> EventsOf(Event::Kind kind) const;
  bool WaitCursorShown() const { return waitCursor_; }

  // The fake clock: Sleep advances it at once; nothing really waits.
  void SetClock(std::time_t wallClock, uint64_t tickCount = 0);
  void AdvanceClock(uint64_t milliseconds) { elapsedMs_ += milliseconds; }
  // Whether log lines also go to the standard error stream.
  void EchoLog(bool on) { echo_ = on; }

  // Empties the script, the events and the errors and sets the clock back.
  void Reset();

  // ---- windowing scripts. A modal dialog's script runs (once) when its
  // modal loop first waits for input; it drives the dialog with the test
  // driver. A dialog still open after its script, or one without a script,
  // ends with IDCANCEL and is recorded in ScriptErrors.
  void ScriptModal(std::function<void(HWND dialog)> script) { modalScripts_.push_back(std::move(script)); }
  int PendingModalScripts() const { return static_cast<int>(modalScripts_.size()); }
  // File dialogs take their scripts in order (see framework/filedialog.h);
  // one without a script is cancelled and recorded in ScriptErrors.
  void ScriptFileDialog(std::function<int(FileDialogSession& session)> script) {
    fileDialogScripts_.push_back(std::move(script));
  }
  int PendingFileDialogScripts() const { return static_cast<int>(fileDialogScripts_.size()); }
  void AddScriptError(std::string error) { scriptErrors_.push_back(std::move(error)); }
  // The links opened, the exit code once the program ended, the cursor.
  const std::vector<std::string>& OpenedUrls() const { return urls_; }
  // Whether links open (false: as without a browser; they are still noted).
  void SetUrlsOpen(bool open) { urlsOpen_ = open; }
  std::optional<int> ExitCode() const { return exitCode_; }
  brv::gdi::IconTag* Cursor() const { return cursor_; }
  // How many times a surface was presented (now: with the now flag).
  int PresentCount() const { return presents_; }
  int PresentNowCount() const { return presentsNow_; }
  // The windows ShowWhileBusy brought to the screen, in order.
  const std::vector<HWND>& BusyShows() const { return busyShows_; }
  void SetMetrics(const ScreenMetrics& metrics) { metrics_ = metrics; }

  ScreenMetrics Metrics() override { return metrics_; }
  void Present(HWND topLevel, const RECT& rect, bool now) override;
  void ShowWhileBusy(HWND topLevel) override { busyShows_.push_back(topLevel); }
  void SetCursor(brv::gdi::IconTag* cursor) override { cursor_ = cursor; }
  bool WaitForInput(HWND modalWindow, uint64_t wakeTick) override;
  int RunFileDialog(FileDialogSession& session) override;
  bool OpenUrl(std::string_view url) override;
  [[noreturn]] void Exit(int code) override;

  int ShowMessageBox(const MessageBoxRequest& request) override;
  void Beep(UINT type) override;
  void SetWaitCursor(bool on) override;
  void Sleep(DWORD milliseconds) override;
  uint64_t TickCount() override { return startTicks_ + elapsedMs_; }
  std::time_t Now() override { return startTime_ + static_cast<std::time_t>(elapsedMs_ / 1000); }
  void Log(std::string_view line) override;

 private:
  std::deque<int> answers_;
  std::vector<std::string> scriptErrors_;
  std::vector<Event> events_;
  bool waitCursor_ = false;
  bool echo_ = false;
  std::time_t startTime_ = 0;
  uint64_t startTicks_ = 0;
  uint64_t elapsedMs_ = 0;

  std::deque<std::function<void(HWND)>> modalScripts_;
  std::vector<HWND> modalScripted_;  // dialogs whose script has run
  std::deque<std::function<int(FileDialogSession&)>> fileDialogScripts_;
  std::vector<std::string> urls_;
  bool urlsOpen_ = true;
  std::optional<int> exitCode_;
  brv::gdi::IconTag* cursor_ = nullptr;
  int presents_ = 0;
  int presentsNow_ = 0;
  std::vector<HWND> busyShows_;
  ScreenMetrics metrics_;
};

// The default backend (what CurrentBackend gives when none was set).
HeadlessBackend& DefaultHeadlessBackend();

}  // namespace brv
