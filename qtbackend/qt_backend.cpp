// The Qt backend: the application object, top-level windows and their
// surfaces, pointer and key input of the surfaces, waiting, sleeping,
// menus, cursors, clocks and the end of the program.
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOption>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "framework/app.h"
#include "framework/menu.h"
#include "framework/shell.h"
#include "qtbackend/qt_internal.h"

namespace brv {

namespace {

// Fusion, with the buttons of dialog button boxes in the Windows order.
class ProgramStyle : public QProxyStyle {
 public:
  ProgramStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_DialogButtonLayout) return QDialogButtonBox::WinLayout;
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
    // A released Alt selects the menu bar, mnemonics or not, as on Windows.
    if (hint == SH_MenuBar_AltKeyNavigation) return 1;
    // An open menu whose items have no mnemonics finds them by their first
    // letters.
    if (hint == SH_Menu_KeyboardSearch) return 1;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    QProxyStyle::drawControl(element, option, painter, widget);
    // Fusion marks a focused push button as it marks the default one; the
    // keyboard's focus gets the dotted rectangle inside, as on Windows.
    if (element == CE_PushButton && (option->state & State_HasFocus) && (option->state & State_KeyboardFocusChange))
      DrawFocusCue(painter, option->rect.adjusted(4, 4, -5, -5));
  }
  static void DrawFocusCue(QPainter* painter, const QRect& r) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(r);
    painter->restore();
  }
};

int g_defaultArgc = 1;
char g_defaultName[] = "brivanta";
char* g_defaultArgv[] = {g_defaultName, nullptr};

int ButtonIndex(Qt::MouseButton b) {
  switch (b) {
    case Qt::LeftButton: return 0;
    case Qt::RightButton: return 1;
    case Qt::MiddleButton: return 2;
    default: return -1;
  }
}

bool IsOffscreen() { return QGuiApplication::platformName() == "offscreen"; }

}  // namespace

QImage ImageOver(Surface& surface) {
  return QImage(reinterpret_cast<uchar*>(surface.Pixels()), surface.Width(), surface.Height(),
                static_cast<qsizetype>(surface.Stride()) * 4, QImage::Format_RGB32);
}

// ---------------------------------------------------------------- widgets

SurfaceView::SurfaceView(QtBackendImpl* impl, HWND window, QWidget* parent)
    : QWidget(parent), impl_(impl), window_(window) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
}

void SurfaceView::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  WindowRecord* r = Record(window_);
  QRect area = event->rect();
  if (!r || !r->surface || r->surface->IsEmpty()) {
    painter.fillRect(area, QColor(212, 208, 200));
    return;
  }
  QImage image = ImageOver(*r->surface);
  QRect inside = area & image.rect();
  if (!inside.isEmpty()) painter.drawImage(inside.topLeft(), image, inside);
  // A widget larger than its surface (while a resize is on its way).
  QRegion rest = QRegion(area).subtracted(QRegion(image.rect()));
  for (const QRect& rect : rest) painter.fillRect(rect, QColor(212, 208, 200));
}

// A control's event the program handed back and the control left comes
// here as to any parent: the program has had it already.
void SurfaceView::mousePressEvent(QMouseEvent* e) {
  if (e == impl_->handedBack) return;
  impl_->PostMouse(window_, nullptr, RawInput::kButtonDown, e->position().toPoint(), e);
}
void SurfaceView::mouseReleaseEvent(QMouseEvent* e) {
  if (e == impl_->handedBack) return;
  impl_->PostMouse(window_, nullptr, RawInput::kButtonUp, e->position().toPoint(), e);
}
void SurfaceView::mouseDoubleClickEvent(QMouseEvent* e) {
  // Qt's double click stands for the second press.
  if (e == impl_->handedBack) return;
  impl_->PostMouse(window_, nullptr, RawInput::kButtonDown, e->position().toPoint(), e);
}
void SurfaceView::mouseMoveEvent(QMouseEvent* e) {
  if (e == impl_->handedBack) return;
  impl_->PostMouse(window_, nullptr, RawInput::kMouseMove, e->position().toPoint(), e);
}
void SurfaceView::wheelEvent(QWheelEvent* e) {
  if (e == impl_->handedBack) return;
  impl_->PostWheel(window_, nullptr, e->position().toPoint(), e->angleDelta().y(), e->modifiers());
}
void SurfaceView::keyPressEvent(QKeyEvent* e) {
  if (e == impl_->handedBack) return;
  if (!impl_->PostKey(nullptr, e, true)) QWidget::keyPressEvent(e);
}
void SurfaceView::keyReleaseEvent(QKeyEvent* e) {
  if (e == impl_->handedBack) return;
  if (!impl_->PostKey(nullptr, e, false)) QWidget::keyReleaseEvent(e);
}

TopWindow::TopWindow(QtBackendImpl* impl, HWND window) : QWidget(nullptr), impl_(impl), window_(window) {
  setAutoFillBackground(true);
  view_ = new SurfaceView(impl, window, this);
  setFocusProxy(view_);
}

void TopWindow::closeEvent(QCloseEvent* event) {
  // The program decides: WM_CLOSE through the system command; the window
  // goes only when the program destroys it.
  event->ignore();
  if (impl_->TopEnabled(window_)) {
    ::PostMessage(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (impl_->busy) {
    // A long operation runs: the request is answered when it ends.
    auto& held = impl_->heldCloses;
    if (std::find(held.begin(), held.end(), window_) == held.end()) held.push_back(window_);
  }
}

namespace {

// The frame around a client the desktop placed: the window is no longer
// maximised once the desktop moved or sized it (as SetWindowPos leaves it),
// so its restored frame and caption lie around what the desktop shows.
CRect RestoredInsets(WindowRecord& r) {
  DWORD style = r.style;
  r.style &= ~DWORD(WS_MAXIMIZE);
  CRect in = NonClientInsets(r);
  r.style = style;
  return in;
}

}  // namespace

void TopWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (applying || embedded || !event->spontaneous()) return;
  HWND h = window_;
  QtBackendImpl* impl = impl_;
  impl->Defer([impl, h] {
    TopWindow* t = impl->Top(h);
    WindowRecord* r = Record(h);
    if (!t || !r) return;
    QRect want = impl->WidgetGeometry(h);
    if (want.size() == t->size()) return;
    // The window manager sized the window: the frame follows, its client
    // exactly what the desktop shows.
    CRect in = RestoredInsets(*r);
    int x = t->x() - in.left;
    int y = t->y() + t->MenuHeight() - in.top;
    int w = t->width() + in.left + in.right;
    int hh = t->height() - t->MenuHeight() + in.top + in.bottom;
    CWnd::FromHandle(h)->SetWindowPos(nullptr, x, y, w, hh, SWP_NOZORDER | SWP_NOACTIVATE);
  });
}

void TopWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (applying || embedded || !event->spontaneous()) return;
  HWND h = window_;
  QtBackendImpl* impl = impl_;
  impl->Defer([impl, h] {
    TopWindow* t = impl->Top(h);
    WindowRecord* r = Record(h);
    if (!t || !r || !t->isVisible()) return;
    QRect want = impl->WidgetGeometry(h);
    if (want.topLeft() == t->pos()) return;
    CRect in = RestoredInsets(*r);
    int x = t->x() - in.left;
    int y = t->y() + t->MenuHeight() - in.top;
    t->applying = true;
    CWnd::FromHandle(h)->SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if ((t = impl->Top(h))) t->applying = false;
  });
}

void TopWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::ActivationChange || !isActiveWindow() || applying || embedded) return;
  HWND h = window_;
  QtBackendImpl* impl = impl_;
  // The desktop activated the window (a click on it, a key of the window
  // manager): so does the framework. But Qt also reports, late, the
  // activations the program asked for itself: one the program has since
  // moved on from is not followed.
  impl->Defer([impl, h] {
    if (!Record(h) || State().active == h || !impl->TopEnabled(h) || !IsReallyVisible(h)) return;
    TopWindow* t = impl->Top(h);
    if (!t || !t->isActiveWindow() || impl->ActivationOnItsWay()) return;
    if (KeyboardFocusWithin(t)) CWnd::FromHandle(h)->SetActiveWindow();
  });
}

bool InputFilter::eventFilter(QObject* watched, QEvent* event) {
  auto it = impl_->controlOf.find(watched);
  if (it == impl_->controlOf.end()) return false;
  return impl_->FilterControlEvent(watched, it->second, event);
}

// ---------------------------------------------------------------- state

TopWindow* QtBackendImpl::Top(HWND window) const {
  auto it = tops.find(window);
  return it == tops.end() ? nullptr : it->second;
}

TopWindow* QtBackendImpl::TopOf(HWND window) const { return Top(TopLevelOf(window)); }

void QtBackendImpl::Fail(std::string what) {
  failures.push_back(what);
  owner->Log("qt backend: " + what);
}

void QtBackendImpl::Defer(std::function<void()> work) { deferred.push_back(std::move(work)); }

void QtBackendImpl::RunDeferred() {
  // Taken one at a time: a piece of work may run a modal loop that comes
  // back here for what is queued after it.
  while (!deferred.empty() && !exited) {
    std::function<void()> work = std::move(deferred.front());
    deferred.erase(deferred.begin());
    work();
  }
  if (exited) deferred.clear();
}

void QtBackendImpl::ProcessQt(int waitMs) {
  if (waitMs == 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return;
  }
  if (waitMs > 0) wake->start(waitMs);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  wake->stop();
}

// ---------------------------------------------------------------- windows

QRect QtBackendImpl::WidgetGeometry(HWND h) const {
  WindowRecord* r = Record(h);
  if (!r) return QRect();
  CRect in = NonClientInsets(*r);
  TopWindow* t = Top(h);
  int menu = t ? t->MenuHeight() : 0;
  CRect client = ClientOnSurface(h);
  return QRect(r->rect.left + in.left, r->rect.top + in.top - menu, client.Width(), client.Height() + menu);
}

void QtBackendImpl::ApplyGeometry(TopWindow* t) {
  HWND h = t->Window();
  if (!Record(h)) return;
  QRect g = WidgetGeometry(h);
  t->applying = true;
  if (!t->embedded) {
    if (t->geometry() != g) t->setGeometry(g);
    t->View()->setGeometry(0, t->MenuHeight(), g.width(), g.height() - t->MenuHeight());
  }
  if (t->Bar()) t->Bar()->setGeometry(0, 0, g.width(), t->MenuHeight());
  t->applying = false;
}

void QtBackendImpl::ApplyFlags(TopWindow* t) {
  WindowRecord* r = Record(t->Window());
  if (!r) return;
  Qt::WindowFlags flags = r->owner ? Qt::Dialog : Qt::Window;
  if ((r->style & WS_CAPTION) != WS_CAPTION) flags |= Qt::FramelessWindowHint;
  if (r->exStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
  if (t->windowFlags() == flags) return;
  bool visible = t->isVisible();
  t->setWindowFlags(flags);
  if (visible) t->show();
}

void QtBackendImpl::ApplyVisibility(TopWindow* t) {
  WindowRecord* r = Record(t->Window());
  if (!r || t->embedded) return;
  bool visible = (r->style & WS_VISIBLE) && !(r->style & WS_MINIMIZE);
  if (visible == t->isVisible()) return;
  if (visible) {
    ApplyGeometry(t);
    t->show();
    if (State().active == t->Window()) {
      Restack(t);
      t->activateWindow();
    } else if (WindowRecord* owner = Record(r->owner)) {
      // A window comes above its owner even when it is not made active.
      if (TopWindow* o = Top(owner->handle); o && o->isVisible()) RaiseOwnedBy(owner->handle);
      RaiseTopmost();
    } else {
      RaiseTopmost();
    }
  } else {
    t->hide();
  }
}

void QtBackendImpl::RaiseTopmost() {
  // Without a window manager (a bare X server) nobody keeps the topmost
  // windows above one raised after them.
  const std::vector<HWND>& order = State().topLevels;  // topmost first
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    HWND h = *it;
    WindowRecord* r = Record(h);
    TopWindow* t = Top(h);
    if (r && t && (r->exStyle & WS_EX_TOPMOST) && t->isVisible() && !t->embedded) t->raise();
  }
}

void QtBackendImpl::RaiseOwnedBy(HWND owner) {
  // Bottom first, so that the framework's order among them is kept.
  const std::vector<HWND> order = State().topLevels;  // topmost first
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    WindowRecord* r = Record(*it);
    TopWindow* t = Top(*it);
    if (!r || !t || r->owner != owner || *it == owner || !t->isVisible() || t->embedded) continue;
    t->raise();
    RaiseOwnedBy(*it);
  }
}

void QtBackendImpl::Restack(TopWindow* t) {
  // Without a window manager nothing keeps an owned window above its owner
  // or a box above the window it belongs to.
  t->raise();
  RaiseOwnedBy(t->Window());
  RaiseTopmost();
  for (const QPointer<QWidget>& d : openDialogs)
    if (d && d->isVisible()) d->raise();
}

bool QtBackendImpl::ActivationOnItsWay() const {
  // Qt asks the window system to activate a window shown just now once the
  // window is mapped: until then the focus is still where it was.
  TopWindow* t = Top(State().active);
  return t && t->isVisible() && !t->embedded && t->windowHandle() && !t->windowHandle()->isExposed();
}

void QtBackendImpl::SyncFocus() {
  HWND f = State().focus;
  if (!f) return;
  SyncDefaultButtons(TopLevelOf(f));
  auto c = controls.find(f);
  if (c != controls.end()) {
    Qt::FocusReason reason = keyboardInput ? Qt::TabFocusReason : Qt::OtherFocusReason;
    if (!c->second->hasFocus() && c->second->isVisible()) c->second->setFocus(reason);
    if (keyboardInput) ShowFocusCue(c->second);
    return;
  }
  if (TopWindow* t = TopOf(f)) {
    QWidget* focused = t->focusWidget();
    if (focused != t->View() && t->View()->isVisible()) t->View()->setFocus(Qt::OtherFocusReason);
  }
}

bool QtBackendImpl::TopEnabled(HWND top) const {
  WindowRecord* r = Record(top);
  return r && !(r->style & WS_DISABLED);
}

void QtBackendImpl::DrainInput(HWND top) {
  // What the window system delivered while the window was disabled is
  // read and dropped now, not handed to the program after the fact.
  draining[top] = true;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  draining.erase(top);
}

// ---------------------------------------------------------------- input

POINT QtBackendImpl::ScreenPoint(HWND top, QPoint surface) const {
  POINT p{surface.x(), surface.y()};
  ::ClientToScreen(top, &p);
  return p;
}

namespace {
void Modifiers(RawInput& in, Qt::KeyboardModifiers m) {
  in.shift = (m & Qt::ShiftModifier) != 0;
  in.control = (m & Qt::ControlModifier) != 0;
  in.alt = (m & Qt::AltModifier) != 0;
}
}  // namespace

void QtBackendImpl::PostMouse(HWND top, HWND target, int kind, QPoint surface, const QMouseEvent* event) {
  if (!TopEnabled(top) || draining.count(top)) return;
  RawInput in;
  in.kind = static_cast<RawInput::Kind>(kind);
  in.screen = ScreenPoint(top, surface);
  in.target = target;
  Modifiers(in, event->modifiers());
  if (kind == RawInput::kButtonDown || kind == RawInput::kButtonUp) {
    in.button = ButtonIndex(event->button());
    if (in.button < 0) return;
    keyboardInput = false;
    in.doubleClick = event->type() == QEvent::MouseButtonDblClick;
  }
  if (TopWindow* t = Top(top); t && cursorWidget != t->View()) {
    cursorWidget = t->View();
    t->View()->setCursor(currentCursor);
  }
  PostInput(in);
}

void QtBackendImpl::PostWheel(HWND top, HWND target, QPoint surface, int delta, Qt::KeyboardModifiers mods) {
  if (!TopEnabled(top) || draining.count(top) || delta == 0) return;
  RawInput in;
  in.kind = RawInput::kWheel;
  in.screen = ScreenPoint(top, surface);
  in.wheelDelta = delta;
  in.target = target;
  Modifiers(in, mods);
  PostInput(in);
}

bool QtBackendImpl::PostKey(HWND target, const QKeyEvent* event, bool down) {
  if (!down && event->isAutoRepeat()) return true;  // Windows repeats downs only
  HWND top = target ? TopLevelOf(target) : nullptr;
  if (!top) {
    HWND f = State().focus ? State().focus : State().active;
    top = TopLevelOf(f);
  }
  if (top && (!TopEnabled(top) || draining.count(top))) return true;
  if (down) keyboardInput = true;
  RawInput in;
  in.kind = down ? RawInput::kKeyDown : RawInput::kKeyUp;
  in.key = VirtualKeyOf(event->key(), event->modifiers());
  in.repeat = down && event->isAutoRepeat();
  in.target = target;
  Modifiers(in, event->modifiers());
  if (in.key == VK_SHIFT) in.shift = down;
  if (in.key == VK_CONTROL) in.control = down;
  if (in.key == VK_MENU) in.alt = down;
  UINT ch = down ? CharacterOf(event) : 0;
  if (!in.key) {
    if (!ch) return false;
    in.kind = RawInput::kChar;
    in.key = ch;
  } else {
    in.text = ch;
  }
  PostInput(in);
  // F10 alone selects the menu bar when it is released, as on Windows.
  if (in.key == VK_F10 && !down && !in.shift && !in.control && !in.alt && top) SelectMenuBar(top);
  return true;
}

UINT VirtualKeyOf(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & Qt::KeypadModifier) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return VK_NUMPAD0 + static_cast<UINT>(key - Qt::Key_0);
    switch (key) {
      case Qt::Key_Plus: return VK_ADD;
      case Qt::Key_Minus: return VK_SUBTRACT;
      case Qt::Key_Asterisk: return VK_MULTIPLY;
      case Qt::Key_Slash: return VK_DIVIDE;
      case Qt::Key_Period:
      case Qt::Key_Comma: return VK_DECIMAL;
      default: break;  // the keypad's navigation keys are the plain ones
    }
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + static_cast<UINT>(key - Qt::Key_A);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return '0' + static_cast<UINT>(key - Qt::Key_0);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + static_cast<UINT>(key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Space: return VK_SPACE;
    default: return 0;
  }
}

UINT CharacterOf(const QKeyEvent* event) {
  QString text = event->text();
  if (text.isEmpty()) return 0;
  char16_t c = text.at(0).unicode();
  if (c == 0x7F) return 0;  // Delete types nothing on Windows
  if (event->key() == Qt::Key_Backtab) return '\t';
  return c;
}

// ---------------------------------------------------------------- menus

void QtBackendImpl::FillMenu(QMenu* menu, HMENU model, HWND frame) {
  menu->clear();
  for (const MenuItemInfo& item : MenuItems(model)) {
    if (item.separator) {
      menu->addSeparator();
      continue;
    }
    QString text = QString::fromUtf8(item.text.c_str());
    bool enabled = !(item.state & (MF_GRAYED | MF_DISABLED));
    if (item.popup) {
      QMenu* sub = menu->addMenu(text);
      sub->setEnabled(enabled);
      HMENU popup = item.popup;
      int index = static_cast<int>(menu->actions().size()) - 1;
      QObject::connect(sub, &QMenu::aboutToShow, sub, [this, sub, popup, frame, index] {
        if (!IsMenu(popup) || !Record(frame)) return;
        try {
          Send(frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(static_cast<unsigned>(index), 0));
        } catch (const ProgramExit&) {
        }
        if (IsMenu(popup)) FillMenu(sub, popup, frame);
      });
      continue;
    }
    QAction* action = menu->addAction(text);
    action->setEnabled(enabled);
    if (item.state & MF_CHECKED) {
      action->setCheckable(true);
      action->setChecked(true);
    }
    UINT id = item.id;
    QObject::connect(action, &QAction::triggered, action, [frame, id] {
      // Through the framework, which asks the update handler first.
      if (Record(frame)) ::PostMessage(frame, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    });
  }
}

void QtBackendImpl::RebuildMenu(TopWindow* t) {
  HWND h = t->Window();
  WindowRecord* r = Record(h);
  HMENU model = r ? r->menu : nullptr;
  t->SetMenuHeight(model ? owner->Metrics().menuBar : 0);
  std::vector<MenuItemInfo> items = MenuItems(model);
  if (!t->Bar()) {
    auto* bar = new QMenuBar(t);
    bar->setNativeMenuBar(false);
    t->SetBar(bar);
  }
  QMenuBar* bar = t->Bar();
  bar->clear();
  for (size_t i = 0; i < items.size(); ++i) {
    const MenuItemInfo& item = items[i];
    if (item.separator) {
      bar->addSeparator();
      continue;
    }
    QString text = QString::fromUtf8(item.text.c_str());
    bool enabled = !(item.state & (MF_GRAYED | MF_DISABLED));
    if (item.popup) {
      QMenu* menu = bar->addMenu(text);
      menu->setEnabled(enabled);
      HMENU popup = item.popup;
      int index = static_cast<int>(i);
      QObject::connect(menu, &QMenu::aboutToShow, menu, [this, menu, popup, h, model, index] {
        if (!IsMenu(popup) || !Record(h)) return;
        try {
          Send(h, WM_INITMENU, reinterpret_cast<WPARAM>(model), 0);
          if (Record(h) && IsMenu(popup))
            Send(h, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(static_cast<unsigned>(index), 0));
        } catch (const ProgramExit&) {
        }
        if (IsMenu(popup)) FillMenu(menu, popup, h);
      });
      FillMenu(menu, popup, h);
    } else {
      QAction* action = bar->addAction(text);
      action->setEnabled(enabled);
      UINT id = item.id;
      QObject::connect(action, &QAction::triggered, action, [h, id] {
        if (Record(h)) ::PostMessage(h, WM_COMMAND, MAKEWPARAM(id, 0), 0);
      });
    }
  }
  // No bar while the menu has no items; its strip stays the frame's.
  bar->setVisible(!items.empty());
  bar->setFixedHeight(std::max(0, t->MenuHeight()));
  ApplyGeometry(t);
}

// ---------------------------------------------------------------- nested loops

void QtBackendImpl::RunScriptFor(QWidget* dialog) {
  if (!scripts.empty()) {
    auto script = std::move(scripts.front());
    scripts.pop_front();
    QPointer<QWidget> guard(dialog);
    Defer([script = std::move(script), guard] {
      if (guard) script(guard);
    });
  } else if (testMode) {
    Fail(std::string("a ") + dialog->metaObject()->className() + " \"" + dialog->windowTitle().toStdString() +
         "\" ran without a script");
    QPointer<QWidget> guard(dialog);
    Defer([guard] {
      if (guard) guard->close();
    });
  }
}

void QtBackendImpl::RunNestedLoop(const std::function<bool()>& done, QWidget* dialog) {
  RunScriptFor(dialog);
  auto idleSince = std::chrono::steady_clock::now();
  while (!done() && !exited) {
    RunDeferred();
    if (done() || exited) break;
    MSG msg;
    if (!State().exited && ::PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
      AfxPumpMessage();
      idleSince = std::chrono::steady_clock::now();
      continue;
    }
    uint64_t now = owner->TickCount();
    uint64_t next = NextTimerTick();
    int wait = next == UINT64_MAX ? 200 : static_cast<int>(std::min<uint64_t>(next > now ? next - now : 0, 200));
    Idle();
    ProcessQt(std::max(wait, 1));
    if (!deferred.empty()) idleSince = std::chrono::steady_clock::now();
    if (testMode && std::chrono::steady_clock::now() - idleSince > std::chrono::milliseconds(idleLimitMs)) {
      Fail(std::string("\"") + dialog->windowTitle().toStdString() + "\" was left open");
      dialog->close();
      idleSince = std::chrono::steady_clock::now();
    }
  }
}

// ---------------------------------------------------------------- QtBackend

QtBackend::QtBackend() : QtBackend(g_defaultArgc, g_defaultArgv) {}

QtBackend::QtBackend(int& argc, char** argv) : impl_(std::make_unique<QtBackendImpl>(this)) {
  QtBackendImpl& I = *impl_;
  I.app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (!I.app) {
    // One surface pixel is one screen pixel.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    I.app = new QApplication(argc, argv);
    I.ownsApp = true;
  }
  ReleaseDisplayCheck();
  AllowClipboardPictures();
  QApplication::setStyle(new ProgramStyle);
  QFont font("Liberation Sans");
  font.setPixelSize(11);
  QApplication::setFont(font);
  QPalette palette = QApplication::style()->standardPalette();
  QColor face(212, 208, 200);
  palette.setColor(QPalette::Window, face);
  palette.setColor(QPalette::Button, face);
  QApplication::setPalette(palette);
  QApplication::setDoubleClickInterval(Metrics().doubleClickTime);
  I.currentCursor = QCursor(Qt::ArrowCursor);
  I.filter = std::make_unique<InputFilter>(&I);
  I.wake = new QTimer(I.app);
  I.wake->setSingleShot(true);
}

QtBackend::~QtBackend() {
  QtBackendImpl& I = *impl_;
  for (auto& [h, t] : I.tops) delete t;
  I.tops.clear();
  I.controls.clear();
  I.controlOf.clear();
  I.pending.clear();
  delete I.wake;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (I.waitCursor) QApplication::restoreOverrideCursor();
  // Qt's pool threads (large picture conversions) are joined now rather
  // than left to end on their own while the process ends.
  QThreadPool::globalInstance()->waitForDone();
  if (I.ownsApp) delete I.app;
}

void QtBackend::SetTestMode(bool on, int idleLimitMs) {
  impl_->testMode = on;
  impl_->idleLimitMs = idleLimitMs;
}

void QtBackend::SetSleepLimit(DWORD ms) { impl_->sleepLimitMs = ms; }

void QtBackend::Reset() {
  QtBackendImpl& I = *impl_;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  I.scripts.clear();
  I.modalScripted.clear();
  I.failures.clear();
  I.logLines.clear();
  I.pending.clear();
  I.deferred.clear();
  I.sliderPaged.clear();
  I.keyboardInput = false;
  I.exited = false;
  I.exitCode = 0;
  if (I.waitCursor) SetWaitCursor(false);
}

void QtBackend::ScriptDialog(std::function<void(QWidget*)> script) { impl_->scripts.push_back(std::move(script)); }
int QtBackend::PendingDialogScripts() const { return static_cast<int>(impl_->scripts.size()); }
void QtBackend::ClearDialogScripts() { impl_->scripts.clear(); }
const std::vector<std::string>& QtBackend::Failures() const { return impl_->failures; }
void QtBackend::ClearFailures() { impl_->failures.clear(); }
std::vector<std::string> QtBackend::LogLines() const { return impl_->logLines; }
int QtBackend::ExitCode() const { return impl_->exitCode; }
bool QtBackend::Exited() const { return impl_->exited; }

QWidget* QtBackend::TopWidget(HWND top) const { return impl_->Top(top); }
QWidget* QtBackend::SurfaceWidget(HWND top) const {
  TopWindow* t = impl_->Top(top);
  return t ? t->View() : nullptr;
}
QWidget* QtBackend::ControlWidget(HWND control) const {
  auto it = impl_->controls.find(control);
  return it == impl_->controls.end() ? nullptr : it->second;
}

POINT QtBackend::SurfacePoint(HWND window, POINT client) {
  CRect c = ClientOnSurface(window);
  return POINT{c.left + client.x, c.top + client.y};
}

void QtBackend::Pump(int limitMs) {
  QtBackendImpl& I = *impl_;
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  int quiet = 0;
  try {
    while (quiet < 3 && std::chrono::steady_clock::now() < end && !I.exited) {
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      I.ProcessQt(0);
      bool any = !I.deferred.empty();
      I.RunDeferred();
      MSG msg;
      while (!State().exited && ::PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT &&
             std::chrono::steady_clock::now() < end) {
        AfxPumpMessage();
        I.RunDeferred();
        any = true;
      }
      quiet = any ? 0 : quiet + 1;
      // Where the program's loop would wait.
      if (!any) I.Idle();
    }
  } catch (const ProgramExit&) {
  }
}

void QtBackend::Beep(UINT) { QApplication::beep(); }

void QtBackend::SetWaitCursor(bool on) {
  if (on == impl_->waitCursor) return;
  impl_->waitCursor = on;
  if (on)
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QApplication::restoreOverrideCursor();
}

void QtBackend::Sleep(DWORD milliseconds) {
  // Blocks as on Windows, no input handled; but what was shown and drawn
  // reaches the screen first: the window system's events other than input
  // (mapping, exposure, pending repaints) are handled once.
  if (impl_->sleepLimitMs) milliseconds = std::min(milliseconds, impl_->sleepLimitMs);
  auto start = std::chrono::steady_clock::now();
  auto end = start + std::chrono::milliseconds(milliseconds);
  // A loaded machine may expose a window late: it is waited for as long as
  // the sleep lasts.
  auto settle = end;
  // The framework's pending paints first: what was shown is drawn.
  PaintAllNow();
  auto exposed = [this] {
    for (auto& [h, t] : impl_->tops)
      if (t->isVisible() && t->windowHandle() && !t->windowHandle()->isExposed()) return false;
    return true;
  };
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  while (!exposed() && std::chrono::steady_clock::now() < settle) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // What is on the screen now is what the state file shows while asleep.
  impl_->Idle();
  std::this_thread::sleep_until(end);
}

uint64_t QtBackend::TickCount() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::time_t QtBackend::Now() { return std::time(nullptr); }

void QtBackend::Log(std::string_view line) {
  impl_->logLines.emplace_back(line);
  std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

ScreenMetrics QtBackend::Metrics() {
  ScreenMetrics m;
  // The offscreen platform's screen is a stand-in: the framework's own size.
  if (IsOffscreen()) return m;
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    m.screenWidth = screen->geometry().width();
    m.screenHeight = screen->geometry().height();
  }
  return m;
}

void QtBackend::WindowCreated(HWND top) {
  QtBackendImpl& I = *impl_;
  if (I.Top(top)) return;
  auto* t = new TopWindow(&I, top);
  I.tops[top] = t;
  WindowRecord* r = Record(top);
  if (r) t->setWindowTitle(QString::fromUtf8(r->text.c_str()));
  I.ApplyFlags(t);
  I.RebuildMenu(t);
  if (r && r->owner)
    if (TopWindow* o = I.Top(r->owner)) {
      t->winId();
      o->winId();
      if (t->windowHandle() && o->windowHandle()) t->windowHandle()->setTransientParent(o->windowHandle());
    }
  I.ApplyGeometry(t);
}

void QtBackend::WindowChanged(HWND window, unsigned what) {
  QtBackendImpl& I = *impl_;
  WindowRecord* r = Record(window);
  if (!r) return;
  if (r->IsChild()) {
    if (what & (kWindowGeometry | kWindowVisibility | kWindowEnabled | kWindowZOrder | kWindowStyle))
      I.SyncAllControls(TopLevelOf(window));
    if (what & kWindowFocus) I.SyncFocus();
    return;
  }
  TopWindow* t = I.Top(window);
  if (!t) return;
  // A topmost change comes as a z-order change.
  if (what & (kWindowStyle | kWindowZOrder)) I.ApplyFlags(t);
  if (what & kWindowMenu) I.RebuildMenu(t);
  if (what & (kWindowGeometry | kWindowMenu | kWindowStyle)) I.ApplyGeometry(t);
  if (what & kWindowText) t->setWindowTitle(QString::fromUtf8(r->text.c_str()));
  if (what & (kWindowVisibility | kWindowStyle)) I.ApplyVisibility(t);
  if ((what & kWindowZOrder) && State().active == window && t->isVisible() && !t->embedded) {
    I.Restack(t);
    t->activateWindow();
  }
  if ((what & kWindowEnabled) && I.TopEnabled(window)) {
    I.DrainInput(window);
    auto held = std::find(I.heldCloses.begin(), I.heldCloses.end(), window);
    if (held != I.heldCloses.end()) {
      I.heldCloses.erase(held);
      ::PostMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
  }
  if (what & kWindowFocus) I.SyncFocus();
}

void QtBackend::WindowDestroyed(HWND top) {
  QtBackendImpl& I = *impl_;
  auto it = I.tops.find(top);
  if (it == I.tops.end()) return;
  TopWindow* t = it->second;
  I.tops.erase(it);
  I.heldCloses.erase(std::remove(I.heldCloses.begin(), I.heldCloses.end(), top), I.heldCloses.end());
  for (auto c = I.controls.begin(); c != I.controls.end();) {
    if (t->isAncestorOf(c->second)) {
      for (auto o = I.controlOf.begin(); o != I.controlOf.end();)
        o = o->second == c->first ? I.controlOf.erase(o) : std::next(o);
      c = I.controls.erase(c);
    } else {
      ++c;
    }
  }
  // Its events may be on the stack: the widget goes at the next safe point.
  t->hide();
  t->deleteLater();
}

void QtBackend::Present(HWND top, const RECT& rect, bool now) {
  TopWindow* t = impl_->Top(top);
  if (!t) return;
  QRect area(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  SurfaceView* v = t->View();
  if (area.isEmpty()) area = v->rect();
  if (now && v->isVisible())
    v->repaint(area);
  else
    v->update(area);
}

void QtBackend::ShowWhileBusy(HWND top) {
  QtBackendImpl& I = *impl_;
  TopWindow* t = I.Top(top);
  if (!t || I.busy) return;
  ++I.busy;
  // Mapping, exposure, the pending repaints of every window (from the
  // pixels they have) and of the native controls; input stays queued.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  QWindow* w = t->windowHandle();
  if (t->isVisible() && w && !w->isExposed()) {
    // Just shown: its first picture waits for the X server's exposure.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!w->isExposed() && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
  }
  if (t->isVisible() && w && w->isExposed()) t->repaint();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  --I.busy;
}

void QtBackend::SetCursor(brv::gdi::IconTag* cursor) {
  QtBackendImpl& I = *impl_;
  std::string name = CursorName(cursor);
  QCursor shape(Qt::ArrowCursor);
  static const std::pair<const char*, Qt::CursorShape> kShapes[] = {
      {"cross", Qt::CrossCursor},      {"ibeam", Qt::IBeamCursor},      {"wait", Qt::WaitCursor},
      {"uparrow", Qt::UpArrowCursor},  {"sizenwse", Qt::SizeFDiagCursor}, {"sizenesw", Qt::SizeBDiagCursor},
      {"sizewe", Qt::SizeHorCursor},   {"sizens", Qt::SizeVerCursor},   {"sizeall", Qt::SizeAllCursor},
      {"no", Qt::ForbiddenCursor},     {"hand", Qt::PointingHandCursor}};
  bool found = name.empty() || name == "arrow";
  for (const auto& [n, s] : kShapes)
    if (name == n) shape = QCursor(s), found = true;
  if (!found && cursor) {
    if (const IconImage* image = IconImageOf(cursor)) {
      QImage picture(image->width, image->height, QImage::Format_ARGB32);
      for (int y = 0; y < image->height; ++y)
        for (int x = 0; x < image->width; ++x) {
          size_t i = static_cast<size_t>(y) * image->width + x;
          uint32_t p = image->pixels[i] & 0x00FFFFFF;
          bool clear = i < image->mask.size() && image->mask[i];
          uint32_t alpha = clear ? 0 : (i < image->alpha.size() ? image->alpha[i] : 255);
          picture.setPixel(x, y, (alpha << 24) | p);
        }
      shape = QCursor(QPixmap::fromImage(picture), image->hotspot.x, image->hotspot.y);
    }
  }
  I.currentCursor = shape;
  if (I.cursorWidget) I.cursorWidget->setCursor(shape);
}

bool QtBackend::WaitForInput(HWND modal, uint64_t wakeTick) {
  QtBackendImpl& I = *impl_;
  if (I.exited) return false;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  I.RunDeferred();
  if (modal && I.testMode &&
      std::find(I.modalScripted.begin(), I.modalScripted.end(), modal) == I.modalScripted.end()) {
    I.modalScripted.push_back(modal);
    if (I.scripts.empty()) {
      WindowRecord* r = Record(modal);
      I.Fail("dialog " + std::to_string(r ? r->dialogTemplate : 0) + " ran without a script");
      return false;
    }
    auto script = std::move(I.scripts.front());
    I.scripts.pop_front();
    script(TopWidget(modal));
    I.RunDeferred();
    return true;
  }
  if (!State().queue.empty()) return true;
  uint64_t now = TickCount();
  if (wakeTick <= now) return true;
  if (I.tops.empty() && wakeTick == UINT64_MAX) return false;  // no window, no timer: nothing will come
  int wait = -1;
  if (wakeTick != UINT64_MAX) wait = static_cast<int>(std::min<uint64_t>(wakeTick - now, 1u << 30));
  if (I.testMode && (wait < 0 || wait > I.idleLimitMs)) wait = I.idleLimitMs;
  bool fired = false;
  auto connection = QObject::connect(I.wake, &QTimer::timeout, [&fired] { fired = true; });
  I.Idle();
  I.ProcessQt(std::max(wait, wait < 0 ? -1 : 1));
  QObject::disconnect(connection);
  I.RunDeferred();
  if (fired && I.testMode && State().queue.empty() && TickCount() < wakeTick) {
    I.Fail(modal ? "a modal dialog waited for input that never came" : "the program waited for input that never came");
    return false;
  }
  return !I.exited;
}

bool QtBackend::OpenUrl(std::string_view url) {
  return QDesktopServices::openUrl(QUrl(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))));
}

void QtBackend::Exit(int code) {
  impl_->exited = true;
  impl_->exitCode = code;
  State().exited = true;
  // Unwound to the program's entry, which returns: Qt's teardown then runs,
  // and with it the hand-over of the clipboard to a clipboard manager.
  throw ProgramExit{code};
}

}  // namespace brv
