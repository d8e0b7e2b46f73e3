#pragma once
// The Qt backend's own parts: the top-level widget and the widget that shows
// a surface, the input filter of the control widgets and the backend's state.
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/window_state.h"
#include "qtbackend/qt_backend.h"

class QApplication;
class QMenuBar;
class QMenu;
class QTimer;
class QKeyEvent;
class QMouseEvent;

namespace brv {

class QtBackendImpl;

// Shows the surface of a top-level window; its own coordinates are the
// window's client coordinates. Pointer and key input becomes RawInput.
class SurfaceView : public QWidget {
 public:
  SurfaceView(QtBackendImpl* impl, HWND window, QWidget* parent);
  HWND Window() const { return window_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  bool focusNextPrevChild(bool next) override { return false; }

 private:
  QtBackendImpl* impl_;
  HWND window_;
};

// One framework top-level window: the menu bar strip above the surface.
class TopWindow : public QWidget {
 public:
  TopWindow(QtBackendImpl* impl, HWND window);
  HWND Window() const { return window_; }
  SurfaceView* View() const { return view_; }
  QMenuBar* Bar() const { return bar_; }
  void SetBar(QMenuBar* bar) { bar_ = bar; }
  int MenuHeight() const { return menuHeight_; }
  void SetMenuHeight(int h) { menuHeight_ = h; }
  bool applying = false;   // the backend is moving or resizing it
  bool embedded = false;   // its surface is shown inside a file dialog

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QtBackendImpl* impl_;
  HWND window_;
  SurfaceView* view_;
  QMenuBar* bar_ = nullptr;
  int menuHeight_ = 0;
};

// Input of a control widget waiting for the framework: handed back to the
// widget when the control's class procedure is reached (ControlDefault).
struct PendingInput {
  HWND control = nullptr;
  int kind = 0;  // RawInput::Kind
  int button = 0;
  bool text = false;  // a key that types: handed back at WM_CHAR
  uint64_t awaitingChar = 0;  // its WM_KEYDOWN came: the order of those
  QPointer<QObject> receiver;
  std::unique_ptr<QEvent> event;
};

class InputFilter : public QObject {
 public:
  explicit InputFilter(QtBackendImpl* impl) : impl_(impl) {}
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QtBackendImpl* impl_;
};

class QtBackendImpl {
 public:
  explicit QtBackendImpl(QtBackend* owner) : owner(owner) {}

  QtBackend* owner;
  QApplication* app = nullptr;
  bool ownsApp = false;
  std::unordered_map<HWND, TopWindow*> tops;
  std::unordered_map<HWND, QWidget*> controls;
  std::unordered_map<QObject*, HWND> controlOf;  // the widget and its viewport
  std::unique_ptr<InputFilter> filter;
  std::deque<PendingInput> pending;
  std::vector<std::function<void()>> deferred;
  bool runningDeferred = false;
  int replaying = 0;     // a control's event is being handed back
  // That event: what the control leaves goes on to its parents in Qt, the
  // surface among them, which must not post it to the program again.
  const QEvent* handedBack = nullptr;
  int syncing = 0;       // widgets are being set from the framework's state
  uint64_t keySequence = 0;
  QCursor currentCursor;
  std::map<HWND, bool> sliderPaged;  // a page action ran during the press
  QTimer* wake = nullptr;
  QPointer<QWidget> cursorWidget;  // the surface under the pointer
  bool waitCursor = false;
  // Inside ShowWhileBusy: the desktop's events other than input are handled.
  int busy = 0;
  // Close requests that came while a long operation kept the window
  // disabled: delivered once it takes input again.
  std::vector<HWND> heldCloses;

  std::function<void()> idleHook;
  std::vector<QPointer<QWidget>> openDialogs;  // Qt's own modal boxes
  void Idle() {
    if (idleHook) idleHook();
  }

  bool testMode = false;
  int idleLimitMs = 10000;
  // Tests: the longest a Sleep lasts (0: as asked).
  DWORD sleepLimitMs = 0;
  std::deque<std::function<void(QWidget*)>> scripts;
  std::vector<HWND> modalScripted;
  std::vector<std::string> failures;
  std::vector<std::string> logLines;
  bool exited = false;
  int exitCode = 0;

  // ---- the safe points
  void Defer(std::function<void()> work);
  void RunDeferred();
  // Processes Qt events once (waiting up to waitMs for one; 0: no wait).
  void ProcessQt(int waitMs);
  // Runs the framework's messages and Qt's events until done() (nested
  // loops of message boxes and file dialogs).
  void RunNestedLoop(const std::function<bool()>& done, QWidget* dialog);
  void RunScriptFor(QWidget* dialog);

  // ---- windows
  TopWindow* Top(HWND window) const;
  TopWindow* TopOf(HWND window) const;  // of the window's top-level
  QRect WidgetGeometry(HWND topLevel) const;
  void ApplyGeometry(TopWindow* t);
  void ApplyFlags(TopWindow* t);
  void ApplyVisibility(TopWindow* t);
  void SyncFocus();
  // The framework's active window was shown and activated, and the window
  // system has not mapped it yet.
  bool ActivationOnItsWay() const;
  // ---- keyboard (qt_keyboard.cpp)
  // The last input was a key: the focus it moves shows its cue, as on
  // Windows once the keyboard is used in a window.
  bool keyboardInput = false;
  void ShowFocusCue(QWidget* focused);
  // A focused push button shows the default border in its dialog; else the
  // dialog's default button does.
  bool ShowsDefault(HWND button) const;
  void SyncDefaultButtons(HWND topLevel);
  // F10: the menu bar of the window is selected, its first menu lit, as a
  // released Alt selects it.
  bool SelectMenuBar(HWND topLevel);
  // Keeps the topmost windows above the others.
  void RaiseTopmost();
  // Raises the window, then what must stay above it: the windows it owns,
  // the topmost ones and Qt's own boxes.
  void Restack(TopWindow* t);
  void RaiseOwnedBy(HWND owner);
  void SyncAllControls(HWND topLevel);
  void RebuildMenu(TopWindow* t);
  void FillMenu(QMenu* menu, HMENU model, HWND frame);

  // ---- input
  bool TopEnabled(HWND topLevel) const;
  POINT ScreenPoint(HWND topLevel, QPoint surface) const;
  void PostMouse(HWND topLevel, HWND target, int kind, QPoint surface, const QMouseEvent* event);
  void PostWheel(HWND topLevel, HWND target, QPoint surface, int delta, Qt::KeyboardModifiers mods);
  bool PostKey(HWND target, const QKeyEvent* event, bool down);
  bool FilterControlEvent(QObject* watched, HWND control, QEvent* event);
  bool HandBack(HWND control, unsigned message);
  void DrainInput(HWND topLevel);
  std::map<HWND, bool> draining;

  // ---- controls
  QWidget* MakeControl(HWND control);
  void SyncControl(HWND control);
  void PlaceControl(HWND control, QWidget* widget);
  void ConnectControl(HWND control, QWidget* widget);
  void Track(QWidget* widget, HWND control);

  void Fail(std::string what);
};

// The Windows virtual key of a Qt key (0: none).
UINT VirtualKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);
// The Windows character a Qt key event types (0: none).
UINT CharacterOf(const QKeyEvent* event);

// Qt's image reader takes the largest picture the clipboard may carry.
void AllowClipboardPictures();

// A surface's pixels as a QImage over the buffer (no copy).
QImage ImageOver(Surface& surface);

}  // namespace brv
