// The keyboard over the Qt backend, with real Qt key events: focus moved by
// Tab shows its cue (a click's does not), the default border follows a
// focused push button and goes back to the dialog's default button, and F10
// or a released Alt select the menu bar, whose menus the arrows and Enter
// then run; Alt+F6 moves between the frame and its dialog.
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "tests/qt/qt_support.h"
#include "tests/qt/frame_fixture.h"

namespace {

using qtsupport::Backend;

class KeyboardTest : public qtapp::FrameTest {
 protected:
  HWND OpenControls() {
    qtsupport::ChooseMenu(Bar(), "Windows", "Controls");
    HWND dialog = frame->controls ? frame->controls->m_hWnd : nullptr;
    EXPECT_NE(dialog, nullptr);
    if (dialog) { EXPECT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(dialog))); }
    qtsupport::Pump();
    return dialog;
  }
  QPushButton* Push(HWND dialog, int id) { return qobject_cast<QPushButton*>(Backend().ControlWidget(::GetDlgItem(dialog, id))); }
  // Tabs until the control has the framework's focus; false when it never comes.
  bool TabTo(HWND dialog, int id) {
    for (int k = 0; k < 40; ++k) {
      if (::GetFocus() == ::GetDlgItem(dialog, id)) return true;
      qtsupport::KeyClick(dialog, Qt::Key_Tab);
      qtsupport::Pump();
    }
    return ::GetFocus() == ::GetDlgItem(dialog, id);
  }
};

TEST_F(KeyboardTest, TabShowsTheFocusCueAndMovesTheDefaultBorder) {
  HWND dialog = OpenControls();
  ASSERT_NE(dialog, nullptr);
  QPushButton* ok = Push(dialog, IDOK);
  QPushButton* cancel = Push(dialog, IDCANCEL);
  ASSERT_TRUE(ok && cancel);
  QWidget* window = ok->window();

  // Focus set by the program, no key used yet: no cue.
  qtsupport::Run([&] { ::SetFocus(::GetDlgItem(dialog, IDCANCEL)); });
  qtsupport::Pump();
  ASSERT_TRUE(cancel->hasFocus());
  EXPECT_FALSE(window->testAttribute(Qt::WA_KeyboardFocusChange));
  QImage quiet = qtsupport::GrabWidget(cancel);

  // Away and back by Tab: the cue is drawn.
  qtsupport::Run([&] { ::SetFocus(::GetDlgItem(dialog, 1114)); });
  qtsupport::Pump();
  EXPECT_TRUE(ok->isDefault()) << "the default border is the dialog's default button's";
  EXPECT_FALSE(cancel->isDefault());
  ASSERT_TRUE(TabTo(dialog, IDCANCEL));
  EXPECT_TRUE(cancel->hasFocus());
  EXPECT_TRUE(window->testAttribute(Qt::WA_KeyboardFocusChange));
  QImage cued = qtsupport::GrabWidget(cancel);
  qtsupport::Save(cued, "keyboard_focus_cue");
  EXPECT_NE(cued, quiet) << "the focus cue is not drawn";

  // The default border is the focused push button's; on to a check box,
  // it goes back to OK.
  EXPECT_TRUE(cancel->isDefault());
  EXPECT_FALSE(ok->isDefault());
  ASSERT_TRUE(TabTo(dialog, IDOK));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_FALSE(cancel->isDefault());
  ASSERT_TRUE(TabTo(dialog, IDCANCEL));
  ASSERT_TRUE(TabTo(dialog, 1115));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_FALSE(cancel->isDefault());
  // The framework's own styles are untouched: OK stays the default button.
  EXPECT_EQ(::GetWindowLong(::GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(::GetWindowLong(::GetDlgItem(dialog, IDCANCEL), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);

  // Enter presses the focused button: Cancel closes the dialog.
  ASSERT_TRUE(TabTo(dialog, IDCANCEL));
  qtsupport::KeyClick(dialog, Qt::Key_Return);
  qtsupport::Pump();
  EXPECT_FALSE(::IsWindow(dialog));
}

TEST_F(KeyboardTest, F10AndAltSelectTheMenuBar) {
  struct Case {
    const char* what;
    Qt::Key key;
  };
  for (const Case c : {Case{"F10", Qt::Key_F10}, Case{"Alt", Qt::Key_Alt}}) {
    SCOPED_TRACE(c.what);
    qtsupport::Run([&] { frame->OnFourPanes(); });
    qtsupport::Pump();
    ASSERT_EQ(frame->layout, 4);
    // Selected, the first menu lit and not opened.
    qtsupport::KeyClick(fh, c.key);
    qtsupport::Pump();
    ASSERT_TRUE(Bar()->hasFocus());
    ASSERT_FALSE(Bar()->actions().isEmpty());
    EXPECT_EQ(Bar()->activeAction(), Bar()->actions().front());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    // Escape gives the keys back to the window.
    qtsupport::KeyClick(fh, Qt::Key_Escape);
    qtsupport::Pump();
    EXPECT_FALSE(Bar()->hasFocus());
    // Again, then Right to "View", Down opens it on its first item, Enter
    // runs "Full screen".
    qtsupport::KeyClick(fh, c.key);
    qtsupport::Pump();
    ASSERT_TRUE(Bar()->hasFocus());
    QTest::keyClick(Bar()->window()->windowHandle(), Qt::Key_Right);
    EXPECT_EQ(qtsupport::Plain(Bar()->activeAction()->text()), "View");
    QTest::keyClick(Bar()->window()->windowHandle(), Qt::Key_Down);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(menu->activeAction(), nullptr);
    EXPECT_EQ(qtsupport::Plain(menu->activeAction()->text()), "Full screen");
    QTest::keyClick(menu->windowHandle(), Qt::Key_Return);
    qtsupport::Pump();
    EXPECT_EQ(frame->layout, 1);
    EXPECT_FALSE(Bar()->hasFocus());
  }
}

// Alt+F6 with real Qt key events: from the frame to its modeless dialog,
// whose controls then have Qt's focus too, and back.
TEST_F(KeyboardTest, AltF6MovesBetweenTheFrameAndItsDialog) {
  HWND dialog = OpenControls();
  ASSERT_NE(dialog, nullptr);
  qtsupport::Run([&] { ::SetFocus(::GetDlgItem(dialog, IDCANCEL)); });
  qtsupport::Run([&] { frame->SetActiveWindow(); });
  qtsupport::Pump();
  ASSERT_EQ(::GetActiveWindow(), fh);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    qtsupport::KeyClick(fh, Qt::Key_F6, Qt::AltModifier);
    EXPECT_EQ(::GetActiveWindow(), dialog);
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(dialog, IDCANCEL)) << "the focus goes back where it was";
    // Under X the window system hands Qt the activation a while later.
    qtsupport::WaitFor([&] { return QApplication::focusWidget() == Push(dialog, IDCANCEL); }, 120000);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), Push(dialog, IDCANCEL));
    EXPECT_FALSE(Bar()->hasFocus()) << "Alt with another key does not select the menu bar";
    qtsupport::KeyClick(dialog, Qt::Key_F6, Qt::AltModifier);
    EXPECT_EQ(::GetActiveWindow(), fh);
    EXPECT_NE(::GetParent(::GetFocus()), dialog);
  }
}

// F10 with the keys at a push button of a child page inside the frame (the
// model page's place): the bar is selected and stays so while the key-up
// reaches the button.
TEST_F(KeyboardTest, F10FromAChildPagesButtonSelectsTheMenuBar) {
  brv::SetResourceOverlay("DIALOG", 4100,
                          "dialog 4100 IDD_PAGE \"Page\" 120 60 child caption visible\n"
                          "button 1122 \"Export\" 5 40 50 14 tabstop\n"
                          "button 1 \"OK\" 65 40 50 14 default tabstop\n");
  brv::ForgetParsedLayouts();
  CDialog page(4100, frame);
  qtsupport::Run([&] { ASSERT_TRUE(page.Create(4100, frame)); });
  qtsupport::Pump();
  ASSERT_TRUE(TabTo(page.m_hWnd, 1122));
  qtsupport::KeyClick(fh, Qt::Key_F10);
  qtsupport::WaitFor([&] { return Bar()->hasFocus(); }, 120000);
  EXPECT_TRUE(Bar()->hasFocus());
  EXPECT_EQ(Bar()->activeAction(), Bar()->actions().front());
  qtsupport::KeyClick(fh, Qt::Key_Escape);
  qtsupport::WaitFor([&] { return !Bar()->hasFocus(); }, 120000);
  EXPECT_FALSE(Bar()->hasFocus());
  EXPECT_EQ(::GetFocus(), ::GetDlgItem(page.m_hWnd, 1122));
  qtsupport::Run([&] { page.DestroyWindow(); });
}

}  // namespace
