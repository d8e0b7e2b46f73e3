#pragma once
// The Qt 6 backend: real windows for the framework. One QApplication; one
// QWidget per framework top-level window that shows the window's surface
// (and its menu bar), the interactive controls as Qt widgets placed from the
// framework's geometry, Qt's message boxes and file dialogs, the system
// clipboard, the cursor and the clocks. The framework keeps owning every
// window, the message queue and dispatch: Qt input only becomes brv::RawInput
// (or a posted message), and a control widget sees its input only when the
// framework hands it back through ControlDefault.
//
// Qt calls never run program code: what a Qt signal means for the program
// (a button's click, a slider's move, a file dialog's selection) is kept and
// runs at the next safe point: after the event handed back to a control, or
// while the framework waits for input.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/backend.h"

class QWidget;
class QImage;

namespace brv {

// Whether Qt's platform will start: the platforms QT_QPA_PLATFORM names (or
// Qt's default) have a plugin, and the X server opens or the Wayland
// compositor answers. Where Qt's default fails and the other window system
// answers, QT_QPA_PLATFORM is set to that one.
bool DisplayAvailable();
// The X connection DisplayAvailable keeps open until Qt has its own (the
// backend closes it once Qt runs).
void ReleaseDisplayCheck();
// Prints "No display: run under xvfb-run or set DISPLAY." to the standard
// error stream and returns 2 when there is no display; 0 otherwise.
int CheckDisplay();
// Whether the window system's keyboard focus is in that top-level widget
// now: under X, the server's answer after every request Qt made; elsewhere,
// Qt's active window.
bool KeyboardFocusWithin(QWidget* topLevel);

class QtBackendImpl;

// A message box or file dialog of Qt's that is open, a menu bar or an open
// menu (screen coordinates; a menu's items are its buttons).
struct QtDialogInfo {
  std::string kind;  // "message", "file", "menubar" or "menu"
  std::string title, text;
  RECT rect{};
  struct Button {
    std::string text;
    RECT rect{};
    bool isDefault = false;
  };
  std::vector<Button> buttons;
  RECT nameEdit{};  // a file dialog's name field
  bool nameEditFocused = false;  // typing goes there
};

class QtBackend : public Backend {
 public:
  // Makes the one QApplication unless one exists (high-DPI scaling off, the
  // dialog font, the BTNFACE palette). argc/argv must outlive the backend.
  QtBackend(int& argc, char** argv);
  QtBackend();
  ~QtBackend() override;
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

  // ---- Backend
  int ShowMessageBox(const MessageBoxRequest& request) override;
  void Beep(UINT type) override;
  void SetWaitCursor(bool on) override;
  void Sleep(DWORD milliseconds) override;
  uint64_t TickCount() override;
  std::time_t Now() override;
  void Log(std::string_view line) override;

  ScreenMetrics Metrics() override;
  void WindowCreated(HWND topLevel) override;
  void WindowChanged(HWND window, unsigned what) override;
  void WindowDestroyed(HWND topLevel) override;
  void Present(HWND topLevel, const RECT& rect, bool now) override;
  void ShowWhileBusy(HWND topLevel) override;
  bool HostsNativeControls() const override { return true; }
  void ControlCreated(HWND control) override;
  void ControlChanged(HWND control) override;
  void ControlDestroyed(HWND control) override;
  bool ControlDefault(HWND control, unsigned message, uintptr_t wParam, intptr_t lParam) override;
  bool ListHitTest(HWND list, POINT client, int* item, UINT* flags) override;
  void SetCursor(brv::gdi::IconTag* cursor) override;
  bool WaitForInput(HWND modalWindow, uint64_t wakeTick) override;
  int RunFileDialog(FileDialogSession& session) override;
  bool OpenUrl(std::string_view url) override;
  ClipboardContents ReadClipboard() override;
  void WriteClipboard(const ClipboardContents& contents) override;
  [[noreturn]] void Exit(int code) override;

  // Runs each time the program is about to wait for input (its message
  // loop, a modal dialog's, a message box's or a file dialog's).
  void SetIdleHook(std::function<void()> hook);
  // The message boxes and file dialogs open now, the innermost last, then
  // the menu bars and the menu open.
  std::vector<QtDialogInfo> OpenDialogs() const;

  // ---- for tests and benchmarks
  // Exit throws brv::ProgramExit, in every mode: the process ends by
  // returning from its entry (Qt's teardown hands the clipboard over).
  // Test mode: a wait that sees nothing for `idleLimitMs` and a message box, file
  // dialog or modal dialog without a script fail (recorded in Failures) and
  // end as cancelled instead of waiting for a person.
  void SetTestMode(bool on, int idleLimitMs = 10000);
  // Tests: a Sleep lasts at most `ms` (0: as long as asked); what it
  // shows first is unchanged.
  void SetSleepLimit(DWORD ms);
  // A script for the next message box or file dialog (its QWidget), or for
  // the next framework modal dialog (its window's QWidget): it runs once,
  // at a safe point after the window is shown, and drives it with QTest.
  void ScriptDialog(std::function<void(QWidget* dialog)> script);
  int PendingDialogScripts() const;
  // Forgets the scripts no dialog took.
  void ClearDialogScripts();
  // Forgets scripts, failures, log lines, the end of the program and any
  // input or work still waiting (between tests, after the windows went).
  void Reset();
  const std::vector<std::string>& Failures() const;
  void ClearFailures();
  std::vector<std::string> LogLines() const;
  // The QWidget of a top-level window; the widget that shows its surface
  // (client coordinates are its own); the widget of a native control.
  QWidget* TopWidget(HWND topLevel) const;
  QWidget* SurfaceWidget(HWND topLevel) const;
  QWidget* ControlWidget(HWND control) const;
  // The window's client point in its top-level's surface widget.
  static POINT SurfacePoint(HWND window, POINT client);
  // Handles everything pending: Qt events, the deferred work and the
  // framework's messages, until nothing is left (or the limit passes).
  void Pump(int limitMs = 2000);
  // The exit code once the program ended through Exit.
  int ExitCode() const;
  bool Exited() const;

 private:
  std::unique_ptr<QtBackendImpl> impl_;
};

}  // namespace brv
