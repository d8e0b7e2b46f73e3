// The keyboard's share of the Qt backend: focus cues once the keyboard is
// used, the default border that moves to a focused push button, and F10 to
// the menu bar.
#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>

#include "framework/controls.h"
#include "qtbackend/qt_internal.h"

namespace brv {

namespace {

bool IsPushButton(const WindowRecord* r) {
  if (!r || !r->control || r->control->Type() != ControlType::kButton) return false;
  UINT type = r->style & BS_TYPEMASK;
  return (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) && !(r->style & (BS_BITMAP | BS_ICON));
}

}  // namespace

void QtBackendImpl::ShowFocusCue(QWidget* focused) {
  // Qt draws a focus frame only in a window whose focus the keyboard moved
  // (Fusion asks the window); Windows keeps the cues once shown.
  QWidget* window = focused->window();
  if (!window->testAttribute(Qt::WA_KeyboardFocusChange)) {
    window->setAttribute(Qt::WA_KeyboardFocusChange, true);
    window->update();
  }
  focused->update();
}

bool QtBackendImpl::ShowsDefault(HWND button) const {
  const WindowRecord* r = Record(button);
  if (!IsPushButton(r)) return false;
  const WindowRecord* f = Record(State().focus);
  if (IsPushButton(f) && f->parent == r->parent) return f->handle == button;
  return (r->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

void QtBackendImpl::SyncDefaultButtons(HWND top) {
  for (auto& [h, w] : controls) {
    auto* push = qobject_cast<QPushButton*>(w);
    if (!push || TopLevelOf(h) != top) continue;
    bool shows = ShowsDefault(h);
    if (push->isDefault() != shows) push->setDefault(shows);
  }
}

bool QtBackendImpl::SelectMenuBar(HWND top) {
  TopWindow* t = Top(top);
  if (!t || !t->Bar() || !t->Bar()->isVisible() || t->Bar()->actions().isEmpty()) return false;
  // What the bar takes for a released Alt: it watches its window for the
  // press and the application for the release.
  // (an Alt key's event reports Alt toggled from the modifiers it is given)
  QKeyEvent press(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::NoModifier);
  QCoreApplication::sendEvent(t, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
  QCoreApplication::sendEvent(t, &release);
  return t->Bar()->hasFocus();
}

}  // namespace brv
