// Under a real X server only: input made by another X client (xdotool)
// reaches the program as Windows messages, the pixels reach the server
// (ImageMagick's import of the root window shows what the widgets show), a
// window shown before a blocking Sleep is on the screen during it, and the
// activation ends where the program put it last.
#include <QApplication>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <functional>

#include "tests/framework/temp_dir.h"
#include "tests/qt/qt_support.h"
#include "tests/qt/frame_fixture.h"

namespace {

using qtapp::Log;
using qtsupport::Backend;

bool Logged(const std::string& line) {
  for (const std::string& l : Log())
    if (l == line) return true;
  return false;
}

void Xdotool(const QStringList& args) {
  QProcess p;
  p.start("xdotool", args);
  ASSERT_TRUE(p.waitForFinished(10000)) << args.join(' ').toStdString();
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

QImage ScreenShot(const std::string& path) {
  int code = QProcess::execute("import", {"-window", "root", QString::fromStdString(path)});
  EXPECT_EQ(code, 0);
  return QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_RGB32);
}

class X11Test : public qtapp::FrameTest {
 protected:
  void SetUp() override {
    qtsupport::Backend();  // the platform it runs on
    if (!qtsupport::OnX11()) GTEST_SKIP() << "needs an X server";
    FrameTest::SetUp();
    if (HasFatalFailure()) return;
    QTest::qWaitForWindowActive(qtsupport::WindowOf(fh));
    qtsupport::PumpFor(100);
    Log().clear();
  }
  // The screen point of a window's client point, as X knows it.
  static QStringList At(HWND window, CPoint client) {
    POINT p = client;
    ::ClientToScreen(window, &p);
    return {QString::number(p.x), QString::number(p.y)};
  }

  TempDir dir;
};

TEST_F(X11Test, InputFromAnotherClient) {
  // A click on an inactive view only activates it.
  qtapp::PaneView* target = frame->GetActiveView() == frame->Pane(1, 1) ? frame->Pane(1, 0) : frame->Pane(1, 1);
  int index = target->pane - AFX_IDW_PANE_FIRST;
  Xdotool(QStringList{"mousemove"} + At(*target, CPoint(40, 50)) + QStringList{"click", "1"});
  ASSERT_TRUE(qtsupport::WaitFor([&] { return frame->GetActiveView() == target; }));
  EXPECT_EQ(Log(), std::vector<std::string>{"activated " + std::to_string(index)});
  // The next click is the view's; a wheel notch zooms it.
  Xdotool({"click", "1"});
  ASSERT_TRUE(qtsupport::WaitFor([&] { return Logged("up " + std::to_string(index) + " 40,50"); }));
  Xdotool({"click", "4"});
  ASSERT_TRUE(qtsupport::WaitFor([&] { return target->zoom != 1.0; }));
  EXPECT_DOUBLE_EQ(target->zoom, 1.25);
  // F6 moves to the next pane.
  int r0 = 0, c0 = 0;
  ASSERT_TRUE(frame->splitter.IsChildPane(target, &r0, &c0));
  Xdotool({"key", "F6"});
  ASSERT_TRUE(qtsupport::WaitFor([&] { return frame->GetActiveView() != target; }));
  int row = 0, col = 0;
  ASSERT_TRUE(frame->splitter.IsChildPane(frame->GetActiveView(), &row, &col));
  EXPECT_EQ(row * 2 + col, (r0 * 2 + c0 + 1) % 4);
  // A drag in the active view released over another view still ends in it.
  Log().clear();
  auto* active = static_cast<qtapp::PaneView*>(frame->GetActiveView());
  std::string name = std::to_string(active->pane - AFX_IDW_PANE_FIRST);
  Xdotool(QStringList{"mousemove"} + At(*active, CPoint(30, 30)) + QStringList{"mousedown", "1"});
  Xdotool(QStringList{"mousemove"} + At(*target, CPoint(30, 30)) + QStringList{"mouseup", "1"});
  ASSERT_TRUE(qtsupport::WaitFor([&] { return Log().size() >= 2; }));
  EXPECT_EQ(Log()[0], "down " + name + " 30,30");
  EXPECT_EQ(Log()[1].rfind("up " + name + " ", 0), 0u) << Log()[1];
}

TEST_F(X11Test, TheScreenShowsWhatTheWidgetsShow) {
  qtsupport::PumpFor(100);
  QImage grab = qtsupport::Grab(*frame);
  QImage screen = ScreenShot(dir / "root.png");
  qtsupport::Save(screen, "root");
  QWidget* view = Backend().SurfaceWidget(*frame);
  QPoint origin = view->mapToGlobal(QPoint(0, 0));
  ASSERT_EQ(screen.size(), QSize(1280, 1024));
  QImage part = screen.copy(QRect(origin, grab.size()));
  int differ = 0;
  for (int y = 0; y < grab.height(); ++y)
    for (int x = 0; x < grab.width(); ++x)
      if ((grab.pixel(x, y) & 0xFFFFFF) != (part.pixel(x, y) & 0xFFFFFF)) ++differ;
  EXPECT_EQ(differ, 0);
}

TEST_F(X11Test, AWindowShownBeforeASleepIsOnTheScreen) {
  CWnd popup;
  CBrush red(RGB(200, 30, 40));
  LPCSTR cls = AfxRegisterWndClass(0, nullptr, red);
  popup.CreateEx(WS_EX_TOPMOST, cls, "", WS_POPUP, CRect(300, 200, 700, 500), nullptr, 0);
  popup.ShowWindow(SW_SHOW);
  popup.UpdateWindow();
  // No event is handled from here on but what Sleep does.
  ::Sleep(300);
  QImage screen = ScreenShot(dir / "sleep.png");
  qtsupport::Save(screen, "sleep");
  EXPECT_EQ(QColor(screen.pixel(500, 350)), QColor(200, 30, 40));
  EXPECT_EQ(QColor(screen.pixel(301, 201)), QColor(200, 30, 40));
}

// The X server hands Qt each activation the program asks for a while after
// the request; one the program has moved on from meanwhile (the frame
// activated as a page closes, then the next page) must not take the
// activation back. Each case ends with the framework, Qt and the X server
// on the page, and the framework's activation never left it on the way.
TEST_F(X11Test, LateActivationsDoNotUndoTheLastOne) {
  struct Case {
    const char* what;
    std::function<void()> steps;  // the frame's page (re)opened and active at the end
  };
  auto reopen = [&] {
    if (frame->controls && frame->controls->m_hWnd) frame->controls->DestroyWindow();
    frame->SetActiveWindow();
    frame->OnControls();
  };
  auto toAndFro = [&] {
    if (!frame->controls || !frame->controls->m_hWnd) frame->OnControls();
    frame->controls->SetActiveWindow();
    frame->SetActiveWindow();
    frame->controls->SetActiveWindow();
    frame->SetActiveWindow();
    frame->controls->SetActiveWindow();
  };
  const Case cases[] = {{"a page closed, the frame, a new page shown", reopen},
                        {"the frame and a shown page in turn", toAndFro}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int round = 0; round < 15; ++round) {
      SCOPED_TRACE(round);
      qtsupport::Run(c.steps);
      ASSERT_TRUE(frame->controls && frame->controls->m_hWnd);
      HWND page = frame->controls->m_hWnd;
      ASSERT_EQ(::GetActiveWindow(), page);
      QWidget* top = Backend().TopWidget(page);
      bool left = false;
      const bool settled = qtsupport::WaitFor(
          [&] {
            left = left || ::GetActiveWindow() != page;
            return ::GetActiveWindow() == page && QApplication::activeWindow() == top && brv::KeyboardFocusWithin(top);
          },
          120000);
      EXPECT_FALSE(left) << "the framework's activation went back to the frame";
      ASSERT_TRUE(settled) << "active: " << (::GetActiveWindow() == fh ? "the frame" : "the page") << ", Qt's "
                           << (QApplication::activeWindow() == top ? "the page" : "another");
    }
  }
}

}  // namespace
