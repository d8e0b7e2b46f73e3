#pragma once
// Helpers of the tests that run the framework over the Qt backend, under the
// offscreen platform and under a real X server (xvfb): the process's one
// backend, a fixture, real Qt input aimed at framework windows, waiting,
// grabs written to the test output folder, and the comparison of a dialog
// as Qt shows it with its layout and with the headless surface.
#include <gtest/gtest.h>

#include <QImage>
#include <QPoint>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "framework/layout_parser.h"
#include "framework/ui.h"
#include "framework/window_state.h"
#include "qtbackend/qt_backend.h"

class QMenuBar;
class QPushButton;
class QSlider;
class QWidget;
class QWindow;

namespace qtsupport {

// The process's backend (made on first use, in test mode).
brv::QtBackend& Backend();
// Deletes it (the test program's end).
void EndBackend();
// "xcb" under an X server, "offscreen" without.
bool OnX11();
bool Offscreen();

// A fresh windowing state on the Qt backend per test; every failure the
// backend recorded (a dialog without a script, a wait that never ended)
// fails the test.
class QtTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Destroys every window and lets Qt delete their widgets.
  static void ResetWindows();
};

// Program code run as the program would: an exit through the backend ends
// it (the code is then in Backend().ExitCode()).
void Run(const std::function<void()>& f);
// Everything pending: Qt's events, the backend's deferred work and the
// framework's messages.
void Pump(int limitMs = 2000);
// Pumps until cond() holds; false after timeoutMs.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 3000);
// Pumps for about ms milliseconds.
void PumpFor(int ms);

// ---- real Qt input at a framework window's client point
QWindow* WindowOf(HWND window);
QPoint WindowPoint(HWND window, CPoint client);  // in WindowOf(window)'s coordinates
void Press(HWND window, CPoint client, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers keys = {});
void Release(HWND window, CPoint client, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers keys = {});
void Move(HWND window, CPoint client, Qt::MouseButtons buttons = {}, Qt::KeyboardModifiers keys = {});
void Click(HWND window, CPoint client, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers keys = {});
void DoubleClick(HWND window, CPoint client, Qt::MouseButton button = Qt::LeftButton);
void Wheel(HWND window, CPoint client, int delta, Qt::KeyboardModifiers keys = {});
// Keys to the window system's focus in the top-level window of `window`.
void KeyClick(HWND window, Qt::Key key, Qt::KeyboardModifiers keys = {});
void KeyPress(HWND window, Qt::Key key, Qt::KeyboardModifiers keys = {}, bool autoRepeat = false);
void KeyRelease(HWND window, Qt::Key key, Qt::KeyboardModifiers keys = {});
// A click in the middle of a native control's widget.
void ClickWidget(QWidget* widget, QPoint at = QPoint(-1, -1));
// A menu or button text without its mnemonic ampersands.
QString Plain(QString text);
// The visible push button of a dialog with that text.
QPushButton* ButtonOf(QWidget* dialog, const QString& text);
// Opens the bar's menu and clicks the item, as a user does.
void ChooseMenu(QMenuBar* bar, const QString& menu, const QString& item);
// Where the slider's style draws its thumb, in the slider's coordinates.
QRect SliderHandle(QSlider* slider);
// The thumb pressed, moved dx pixels in `steps` moves and released there.
void DragSlider(QSlider* slider, int dx, int steps = 4);

// ---- pictures
// What Qt shows of a top-level window's surface (controls included).
QImage Grab(HWND topLevel);
QImage GrabWidget(QWidget* widget);
// The test output folder (made when missing).
std::string OutputFolder();
// Writes a PNG to the output folder; returns its path.
std::string Save(const QImage& image, const std::string& name);
// The rectangle, in the top-level's surface, of each native control widget
// of the window's top-level (visible ones).
std::vector<QRect> ControlWidgetRects(HWND topLevel);

// ---- structure
// How a dialog shown by Qt differs from its layout: window size, each
// control's widget geometry (within 1 px; a combo box's height and a tab
// control's are Qt's own), texts, visibility and enabled state. Empty when
// they agree.
std::vector<std::string> CompareWithLayout(HWND dialog, const brv::DialogLayout& layout);
// Pixels that differ between what Qt shows and a headless surface, outside
// the native control widgets; at most `limit` are listed.
std::vector<std::string> CompareWithHeadless(const QImage& shown, const brv::Surface& headless,
                                             const std::vector<QRect>& skip, int limit = 10);

}  // namespace qtsupport
