#include "tests/qt/qt_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabBar>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "framework/resources.h"
#include "tests/framework/temp_dir.h"
#include "tests/qt/test_app.h"

namespace qtsupport {

namespace {
std::unique_ptr<brv::QtBackend>& Holder() {
  static std::unique_ptr<brv::QtBackend> backend;
  return backend;
}
std::unique_ptr<TempDir>& Config() {
  static std::unique_ptr<TempDir> dir;
  return dir;
}
}  // namespace

brv::QtBackend& Backend() {
  auto& b = Holder();
  if (!b) {
    b = std::make_unique<brv::QtBackend>();
    b->SetTestMode(true, 8000);
    brv::SetBackend(b.get());
  }
  return *b;
}

void EndBackend() {
  if (!Holder()) return;
  brv::ResetWindowing();
  brv::SetBackend(nullptr);
  Holder().reset();
}

bool OnX11() { return QGuiApplication::platformName() == "xcb"; }
bool Offscreen() { return QGuiApplication::platformName() == "offscreen"; }

void QtTest::SetUp() {
  if (!Config()) Config() = std::make_unique<TempDir>();
  setenv("XDG_CONFIG_HOME", Config()->path().c_str(), 1);
  brv::SetBackend(&Backend());
  ResetWindows();
  brv::ClearResourceOverlays();
  brv::ForgetParsedLayouts();
  qtapp::Log().clear();
}

void QtTest::TearDown() {
  for (const std::string& f : Backend().Failures()) ADD_FAILURE() << "backend: " << f;
  ResetWindows();
  brv::ClearResourceOverlays();
  brv::ForgetParsedLayouts();
}

void QtTest::ResetWindows() {
  brv::ResetWindowing();
  Backend().Reset();
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
  Backend().Reset();
}

void Run(const std::function<void()>& f) {
  if (Backend().Exited()) return;
  try {
    f();
  } catch (const brv::ProgramExit&) {
  }
}

void Pump(int limitMs) { Backend().Pump(limitMs); }

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    Pump(200);
    if (cond()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    QTest::qWait(5);
  }
}

void PumpFor(int ms) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    Pump(50);
    QTest::qWait(5);
  }
}

// ---------------------------------------------------------------- input

QWindow* WindowOf(HWND window) {
  QWidget* view = Backend().SurfaceWidget(brv::TopLevelOf(window));
  return view ? view->window()->windowHandle() : nullptr;
}

QPoint WindowPoint(HWND window, CPoint client) {
  QWidget* view = Backend().SurfaceWidget(brv::TopLevelOf(window));
  if (!view) return QPoint();
  POINT s = brv::QtBackend::SurfacePoint(window, client);
  return view->mapTo(view->window(), QPoint(s.x, s.y));
}

void Press(HWND window, CPoint client, Qt::MouseButton button, Qt::KeyboardModifiers keys) {
  QTest::mousePress(WindowOf(window), button, keys, WindowPoint(window, client));
  Pump();
}

void Release(HWND window, CPoint client, Qt::MouseButton button, Qt::KeyboardModifiers keys) {
  QTest::mouseRelease(WindowOf(window), button, keys, WindowPoint(window, client));
  Pump();
}

void Move(HWND window, CPoint client, Qt::MouseButtons, Qt::KeyboardModifiers) {
  QTest::mouseMove(WindowOf(window), WindowPoint(window, client));
  Pump();
}

void Click(HWND window, CPoint client, Qt::MouseButton button, Qt::KeyboardModifiers keys) {
  QTest::mouseClick(WindowOf(window), button, keys, WindowPoint(window, client));
  Pump();
}

void DoubleClick(HWND window, CPoint client, Qt::MouseButton button) {
  QTest::mouseDClick(WindowOf(window), button, {}, WindowPoint(window, client));
  Pump();
}

void Wheel(HWND window, CPoint client, int delta, Qt::KeyboardModifiers keys) {
  QWindow* w = WindowOf(window);
  QPoint at = WindowPoint(window, client);
  QWidget* top = Backend().SurfaceWidget(brv::TopLevelOf(window))->window();
  QWidget* target = top->childAt(at);
  if (!target) target = top;
  QPointF local = target->mapFrom(top, at);
  QWheelEvent e(local, QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton, keys,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &e);
  Pump();
}

void KeyClick(HWND window, Qt::Key key, Qt::KeyboardModifiers keys) {
  if (key >= Qt::Key_A && key <= Qt::Key_Z) {
    // A letter types itself in its case, as a keyboard would.
    char letter = static_cast<char>(((keys & Qt::ShiftModifier) ? 'A' : 'a') + (key - Qt::Key_A));
    QTest::keyClick(WindowOf(window), letter, keys);
  } else {
    QTest::keyClick(WindowOf(window), key, keys);
  }
  Pump();
}

void KeyPress(HWND window, Qt::Key key, Qt::KeyboardModifiers keys, bool autoRepeat) {
  if (autoRepeat) {
    QKeyEvent e(QEvent::KeyPress, key, keys, QString(), true);
    QWidget* focus = QApplication::focusWidget();
    QApplication::sendEvent(focus ? static_cast<QObject*>(focus) : WindowOf(window), &e);
  } else {
    QTest::keyPress(WindowOf(window), key, keys);
  }
  Pump();
}

void KeyRelease(HWND window, Qt::Key key, Qt::KeyboardModifiers keys) {
  QTest::keyRelease(WindowOf(window), key, keys);
  Pump();
}

void ClickWidget(QWidget* widget, QPoint at) {
  if (at.x() < 0) at = widget->rect().center();
  QTest::mouseClick(widget->window()->windowHandle(), Qt::LeftButton, {}, widget->mapTo(widget->window(), at));
  Pump();
}

QString Plain(QString text) { return text.remove('&'); }

QPushButton* ButtonOf(QWidget* dialog, const QString& text) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>())
    if (Plain(b->text()) == text && b->isVisible()) return b;
  return nullptr;
}

void ChooseMenu(QMenuBar* bar, const QString& menu, const QString& item) {
  ASSERT_NE(bar, nullptr);
  QAction* top = nullptr;
  for (QAction* a : bar->actions())
    if (Plain(a->text()) == menu) top = a;
  ASSERT_NE(top, nullptr) << menu.toStdString();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(top).center());
  QMenu* popup = top->menu();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
  QAction* chosen = nullptr;
  for (QAction* a : popup->actions())
    if (Plain(a->text()).section('\t', 0, 0) == item) chosen = a;
  ASSERT_NE(chosen, nullptr) << item.toStdString();
  QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(chosen).center());
  Pump();
}

QRect SliderHandle(QSlider* s) {
  QStyleOptionSlider opt;
  opt.initFrom(s);
  opt.orientation = s->orientation();
  opt.minimum = s->minimum();
  opt.maximum = s->maximum();
  opt.sliderPosition = s->sliderPosition();
  opt.sliderValue = s->value();
  opt.singleStep = s->singleStep();
  opt.pageStep = s->pageStep();
  opt.tickPosition = s->tickPosition();
  opt.tickInterval = s->tickInterval();
  opt.upsideDown = s->orientation() == Qt::Vertical;
  opt.subControls = QStyle::SC_All;
  return s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
}

void DragSlider(QSlider* slider, int dx, int steps) {
  const QPoint from = SliderHandle(slider).center();
  QWidget* top = slider->window();
  QWindow* w = top->windowHandle();
  QTest::mousePress(w, Qt::LeftButton, {}, slider->mapTo(top, from));
  Pump();
  for (int i = 1; i <= steps; ++i) {
    QTest::mouseMove(w, slider->mapTo(top, from + QPoint(dx * i / steps, 0)));
    Pump();
  }
  QTest::mouseRelease(w, Qt::LeftButton, {}, slider->mapTo(top, from + QPoint(dx, 0)));
  Pump();
}

// ---------------------------------------------------------------- pictures

QImage Grab(HWND top) {
  QWidget* view = Backend().SurfaceWidget(top);
  return view ? view->grab().toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

QImage GrabWidget(QWidget* widget) { return widget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

std::string OutputFolder() {
  std::string folder = std::string(BRIVANTA_TEST_OUTPUT) + "/" + QGuiApplication::platformName().toStdString();
  std::filesystem::create_directories(folder);
  return folder;
}

std::string Save(const QImage& image, const std::string& name) {
  std::string path = OutputFolder() + "/" + name + ".png";
  image.save(QString::fromStdString(path), "PNG");
  return path;
}

std::vector<QRect> ControlWidgetRects(HWND top) {
  std::vector<QRect> rects;
  for (auto& [h, record] : brv::State().windows) {
    if (brv::TopLevelOf(h) != top) continue;
    if (QWidget* w = Backend().ControlWidget(h); w && w->isVisible()) rects.push_back(w->geometry());
  }
  return rects;
}

// ---------------------------------------------------------------- structure

std::vector<std::string> CompareWithLayout(HWND dialog, const brv::DialogLayout& layout) {
  std::vector<std::string> out;
  auto near = [](int a, int b) { return std::abs(a - b) <= 1; };
  brv::WindowRecord* d = brv::Record(dialog);
  if (!d) return {"no dialog"};
  CRect size(0, 0, layout.w, layout.h);
  ::MapDialogRect(nullptr, &size);
  CRect client = brv::ClientOnSurface(dialog);
  if (client.Size() != size.Size())
    out.push_back("client " + std::to_string(client.Width()) + "x" + std::to_string(client.Height()) + ", layout " +
                  std::to_string(size.Width()) + "x" + std::to_string(size.Height()));
  if (!d->IsChild()) {
    QWidget* view = Backend().SurfaceWidget(dialog);
    if (!view || view->size() != QSize(size.Width(), size.Height()))
      out.push_back("surface widget " + (view ? std::to_string(view->width()) + "x" + std::to_string(view->height())
                                              : std::string("missing")));
  }
  size_t n = std::min(d->children.size(), layout.controls.size());
  if (d->children.size() != layout.controls.size()) out.push_back("control count differs");
  for (size_t i = 0; i < n; ++i) {
    const brv::ControlLayout& c = layout.controls[i];
    HWND h = d->children[i];
    brv::WindowRecord* r = brv::Record(h);
    std::string name = "control " + std::to_string(c.id) + " \"" + c.text + "\": ";
    CRect want(c.x, c.y, c.x + c.w, c.y + c.h);
    ::MapDialogRect(nullptr, &want);
    want.OffsetRect(client.left, client.top);
    bool hidden = !(c.style & WS_VISIBLE);
    bool disabled = (c.style & WS_DISABLED) != 0;
    if (bool(r->style & WS_DISABLED) != disabled) out.push_back(name + "enabled state differs in the framework");
    QWidget* w = Backend().ControlWidget(h);
    if (!w) {
      // Drawn by the framework: its window is the layout's rectangle (a
      // picture static takes its picture's size).
      CRect at = brv::WindowOnSurface(h);
      bool picture = c.kind == brv::ControlKind::kBitmap || c.kind == brv::ControlKind::kIcon;
      if (at.left != want.left || at.top != want.top || (!picture && at.Size() != want.Size()))
        out.push_back(name + "framework rectangle differs");
      if (!picture && c.kind != brv::ControlKind::kFrame && r->text != c.text) out.push_back(name + "text differs");
      continue;
    }
    QRect g = w->geometry();
    bool ownHeight = qobject_cast<QComboBox*>(w) || qobject_cast<QTabBar*>(w);
    if (!near(g.left(), want.left) || !near(g.top(), want.top) || !near(g.width(), want.Width()) ||
        (ownHeight ? g.height() > want.Height() : !near(g.height(), want.Height())))
      out.push_back(name + "widget at " + std::to_string(g.x()) + "," + std::to_string(g.y()) + " " +
                    std::to_string(g.width()) + "x" + std::to_string(g.height()) + ", layout " +
                    std::to_string(want.left) + "," + std::to_string(want.top) + " " + std::to_string(want.Width()) +
                    "x" + std::to_string(want.Height()));
    if (w->isVisible() == hidden) out.push_back(name + (hidden ? "shown" : "hidden"));
    if (w->isEnabled() == disabled) out.push_back(name + (disabled ? "enabled" : "disabled"));
    QString text;
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    else text = QString::fromStdString(r->text);
    bool picture = qobject_cast<QAbstractButton*>(w) && !static_cast<QAbstractButton*>(w)->icon().isNull();
    if (!picture && c.kind != brv::ControlKind::kEdit && c.kind != brv::ControlKind::kSlider &&
        c.kind != brv::ControlKind::kProgress && c.kind != brv::ControlKind::kList &&
        c.kind != brv::ControlKind::kTab && c.kind != brv::ControlKind::kCombo &&
        text.toStdString() != c.text)
      out.push_back(name + "text \"" + text.toStdString() + "\"");
  }
  return out;
}

std::vector<std::string> CompareWithHeadless(const QImage& shown, const brv::Surface& headless,
                                             const std::vector<QRect>& skip, int limit) {
  std::vector<std::string> out;
  if (shown.width() != headless.Width() || shown.height() != headless.Height()) {
    out.push_back("sizes differ: shown " + std::to_string(shown.width()) + "x" + std::to_string(shown.height()) +
                  ", headless " + std::to_string(headless.Width()) + "x" + std::to_string(headless.Height()));
    return out;
  }
  int count = 0;
  for (int y = 0; y < shown.height(); ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(shown.constScanLine(y));
    for (int x = 0; x < shown.width(); ++x) {
      bool covered = false;
      for (const QRect& r : skip)
        if (r.contains(x, y)) covered = true;
      if (covered) continue;
      uint32_t a = row[x] & 0xFFFFFF, b = headless.Pixel(x, y) & 0xFFFFFF;
      if (a != b && count++ < limit) {
        char text[96];
        std::snprintf(text, sizeof text, "(%d,%d) shown %06x headless %06x", x, y, a, b);
        out.push_back(text);
      }
    }
  }
  if (count > limit) out.push_back(std::to_string(count) + " pixels differ");
  return out;
}

}  // namespace qtsupport
