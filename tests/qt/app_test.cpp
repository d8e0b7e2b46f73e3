// The test application over the Qt backend, driven by real Qt events: the
// frame and its menu, commands by keys, menus and clicks, a slider drag, the
// close box, modal dialogs, message boxes, file dialogs, the timer on screen,
// input to a disabled window, and each dialog compared with its layout and
// with the headless surface.
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTreeWidget>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTreeView>
#include <QWindow>

#include <filesystem>
#include <fstream>

#include "framework/resources.h"
#include "framework/test_driver.h"
#include "tests/framework/temp_dir.h"
#include "tests/qt/qt_support.h"
#include "tests/qt/frame_fixture.h"

namespace {

using qtsupport::ButtonOf;
using qtsupport::Plain;
using qtsupport::SliderHandle;

using qtapp::Log;
using qtsupport::Backend;

std::vector<std::string> Taken() {
  std::vector<std::string> out = Log();
  Log().clear();
  return out;
}

bool Logged(const std::string& line) {
  for (const std::string& l : Log())
    if (l == line) return true;
  return false;
}

class AppTest : public qtapp::FrameTest {
 protected:
  void SetUp() override {
    qtapp::Folder() = files.path();
    FrameTest::SetUp();
  }
  void TearDown() override {
    FrameTest::TearDown();
    qtapp::Folder().clear();
  }
  void ChooseMenu(const QString& menu, const QString& item) { qtsupport::ChooseMenu(Bar(), menu, item); }
  CPoint Middle(HWND h) {
    CRect r;
    ::GetClientRect(h, &r);
    return r.CenterPoint();
  }

  TempDir files;
};

TEST_F(AppTest, FrameShowsItsSurfaceAndMenu) {
  QWidget* top = Backend().TopWidget(fh);
  CRect client;
  frame->GetClientRect(&client);
  EXPECT_EQ(client, CRect(0, 0, 1280, 1004));
  EXPECT_EQ(top->size(), QSize(1280, 1024));
  if (qtsupport::OnX11()) { EXPECT_EQ(top->pos(), QPoint(0, 0)); }
  EXPECT_EQ(top->windowTitle().toStdString(), "Untitled - Brivanta");
  QStringList menus;
  for (QAction* a : Bar()->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Windows"}));
  EXPECT_EQ(Bar()->height(), GetSystemMetrics(SM_CYMENU));
  // What Qt shows is the framework's surface, pixel for pixel (once the
  // panes have painted: a loaded machine may be slower than the first pump).
  const QColor pane(frame->Pane(0, 0)->colour & 0xFF, (frame->Pane(0, 0)->colour >> 8) & 0xFF,
                    (frame->Pane(0, 0)->colour >> 16) & 0xFF);
  qtsupport::WaitFor([&] { return QColor(qtsupport::Grab(fh).pixel(30, 30)) == pane; });
  QImage shown = qtsupport::Grab(fh);
  qtsupport::Save(shown, "frame");
  EXPECT_EQ(qtsupport::CompareWithHeadless(shown, *brv::SurfaceOf(fh), {}), std::vector<std::string>{});
  EXPECT_EQ(QColor(shown.pixel(30, 30)), pane);
}

TEST_F(AppTest, CommandsThroughQtEvents) {
  // F6 moves to the next pane.
  CView* before = frame->GetActiveView();
  ASSERT_NE(before, nullptr);
  qtsupport::KeyClick(fh, Qt::Key_F6);
  CView* after = frame->GetActiveView();
  EXPECT_NE(after, before);
  int row = 0, col = 0;
  ASSERT_TRUE(frame->splitter.IsChildPane(after, &row, &col));
  int r0 = 0, c0 = 0;
  frame->splitter.IsChildPane(before, &r0, &c0);
  EXPECT_EQ(row * 2 + col, (r0 * 2 + c0 + 1) % 4);

  // A click on an inactive view activates it and goes no further; the
  // next click is the view's.
  qtapp::PaneView* target = frame->Pane(1, 1) == after ? frame->Pane(1, 0) : frame->Pane(1, 1);
  int index = target->pane - AFX_IDW_PANE_FIRST;
  qtsupport::Click(*target, CPoint(40, 50));
  EXPECT_EQ(Taken(), std::vector<std::string>{"activated " + std::to_string(index)});
  EXPECT_EQ(frame->GetActiveView(), target);
  qtsupport::Click(*target, CPoint(40, 50));
  EXPECT_EQ(Taken(), (std::vector<std::string>{"down " + std::to_string(index) + " 40,50",
                                               "up " + std::to_string(index) + " 40,50"}));

  // A wheel notch zooms by 1.25; the point is the screen's.
  qtsupport::Wheel(*target, CPoint(60, 70), 120);
  EXPECT_DOUBLE_EQ(target->zoom, 1.25);
  POINT screen{60, 70};
  ::ClientToScreen(*target, &screen);
  EXPECT_EQ(Taken(), std::vector<std::string>{"wheel " + std::to_string(index) + " 120 " + std::to_string(screen.x) +
                                              "," + std::to_string(screen.y)});

  // A release outside the view that was pressed still reaches it.
  qtapp::PaneView* other = frame->Pane(0, 0) == target ? frame->Pane(0, 1) : frame->Pane(0, 0);
  qtsupport::Press(*target, CPoint(30, 30));
  qtsupport::Release(*other, CPoint(30, 30));
  std::vector<std::string> drag = Taken();
  ASSERT_EQ(drag.size(), 2u);
  EXPECT_EQ(drag[1].rfind("up " + std::to_string(index) + " ", 0), 0u) << drag[1];

  // The menu: the full-screen layout; an item its update handler disables.
  ChooseMenu("View", "Full screen");
  EXPECT_TRUE(Logged("layout 1"));
  EXPECT_FALSE(frame->Pane(1, 1)->IsWindowVisible());
  QMenu* windows = nullptr;
  for (QAction* a : Bar()->actions())
    if (Plain(a->text()) == "Windows") windows = a->menu();
  ASSERT_NE(windows, nullptr);
  QTest::mouseClick(Bar(), Qt::LeftButton, {}, Bar()->actionGeometry(windows->menuAction()).center());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(windows));
  for (QAction* a : windows->actions())
    if (Plain(a->text()) == "Never enabled") { EXPECT_FALSE(a->isEnabled()); }
  QTest::keyClick(windows, Qt::Key_Escape);
  ChooseMenu("View", "Four panes");
  EXPECT_TRUE(frame->Pane(1, 1)->IsWindowVisible());

  // The slider of the modeless dialog: a drag gives one THUMBPOSITION.
  ChooseMenu("Windows", "Controls");
  HWND dialog = frame->controls ? frame->controls->m_hWnd : nullptr;
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(dialog)));
  auto* slider = qobject_cast<QSlider*>(Backend().ControlWidget(::GetDlgItem(dialog, 1087)));
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->value(), 20);
  Log().clear();
  QPoint from = SliderHandle(slider).center();
  QWindow* w = slider->window()->windowHandle();
  QTest::mousePress(w, Qt::LeftButton, {}, slider->mapTo(slider->window(), from));
  qtsupport::Pump();
  for (int step = 1; step <= 4; ++step) {
    QTest::mouseMove(w, slider->mapTo(slider->window(), from + QPoint(step * 8, 0)));
    qtsupport::Pump();
  }
  QTest::mouseRelease(w, Qt::LeftButton, {}, slider->mapTo(slider->window(), from + QPoint(32, 0)));
  qtsupport::Pump();
  std::vector<std::string> seq = Taken();
  int positions = 0, tracks = 0;
  for (const std::string& s : seq) {
    if (s.rfind("slider 4 ", 0) == 0) ++positions;
    if (s.rfind("slider 5 ", 0) == 0) ++tracks;
  }
  EXPECT_EQ(positions, 1);
  EXPECT_GT(tracks, 0);
  ASSERT_GE(seq.size(), 2u);
  EXPECT_EQ(seq.back(), "slider 8 0");
  int pos = static_cast<CSliderCtrl*>(CWnd::FromHandle(::GetDlgItem(dialog, 1087)))->GetPos();
  EXPECT_GT(pos, 20);
  EXPECT_EQ(slider->value(), pos);
  EXPECT_EQ(seq[seq.size() - 2], "slider 4 " + std::to_string(pos));

  // A click in the channel pages, with its end.
  Log().clear();
  QRect handle = SliderHandle(slider);
  QTest::mouseClick(w, Qt::LeftButton, {}, slider->mapTo(slider->window(), QPoint(handle.right() + 20, handle.center().y())));
  qtsupport::Pump();
  EXPECT_EQ(Taken(), (std::vector<std::string>{"slider 3 0", "slider 8 0"}));

  // A check box and a push button report their clicks.
  HWND check = ::GetDlgItem(dialog, 1115);
  qtsupport::ClickWidget(Backend().ControlWidget(check));
  EXPECT_EQ(frame->controls->IsDlgButtonChecked(1115), UINT(BST_CHECKED));
  EXPECT_TRUE(Logged("command 1115 0"));
  EXPECT_EQ(HWND(::GetFocus()), check);

  // The close box asks; No keeps the program.
  Backend().ScriptDialog([](QWidget* box) {
    EXPECT_EQ(box->windowTitle().toStdString(), "Brivanta");
    QTest::mouseClick(ButtonOf(box, "No"), Qt::LeftButton);
  });
  Backend().TopWidget(fh)->close();
  qtsupport::Pump();
  EXPECT_TRUE(Logged("close refused"));
  EXPECT_TRUE(::IsWindow(fh));
  EXPECT_TRUE(Backend().TopWidget(fh)->isVisible());
  EXPECT_EQ(Backend().PendingDialogScripts(), 0);
}

TEST_F(AppTest, ControlsReportTheirChanges) {
  ChooseMenu("Windows", "Controls");
  HWND dialog = frame->controls->m_hWnd;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(dialog)));
  qtsupport::Pump();
  Log().clear();

  // The list: a click selects the row Qt draws there; HitTest agrees.
  HWND listWindow = ::GetDlgItem(dialog, 1031);
  auto* list = qobject_cast<QTreeWidget*>(Backend().ControlWidget(listWindow));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->topLevelItemCount(), 4);
  QRect row2 = list->visualItemRect(list->topLevelItem(2));
  QTest::mouseClick(list->window()->windowHandle(), Qt::LeftButton, {},
                    list->viewport()->mapTo(list->window(), row2.center()));
  qtsupport::Pump();
  auto* ctrl = static_cast<CListCtrl*>(CWnd::FromHandle(listWindow));
  EXPECT_EQ(ctrl->GetNextItem(-1, LVNI_SELECTED), 2);
  QPoint inList = list->viewport()->mapTo(list, row2.center());
  CRect in = brv::ClientOnSurface(listWindow), out = brv::WindowOnSurface(listWindow);
  UINT flags = 0;
  EXPECT_EQ(ctrl->HitTest(CPoint(inList.x() - (in.left - out.left), inList.y() - (in.top - out.top)), &flags), 2);
  EXPECT_EQ(flags, UINT(LVHT_ONITEMLABEL));

  // The tab: the framework chooses, with its notifications.
  HWND tabWindow = ::GetDlgItem(dialog, 1025);
  auto* tab = qobject_cast<QTabBar*>(Backend().ControlWidget(tabWindow));
  ASSERT_NE(tab, nullptr);
  qtsupport::ClickWidget(tab, tab->tabRect(1).center());
  EXPECT_EQ(static_cast<CTabCtrl*>(CWnd::FromHandle(tabWindow))->GetCurSel(), 1);
  EXPECT_EQ(tab->currentIndex(), 1);

  // The combo box by its keys.
  HWND comboWindow = ::GetDlgItem(dialog, 1200);
  QWidget* combo = Backend().ControlWidget(comboWindow);
  ::SetFocus(comboWindow);
  qtsupport::Pump();
  QTest::keyClick(combo->window()->windowHandle(), Qt::Key_Down);
  qtsupport::Pump();
  EXPECT_EQ(static_cast<CComboBox*>(CWnd::FromHandle(comboWindow))->GetCurSel(), 2);
  EXPECT_TRUE(Logged("command 1200 1"));

  // Typing into the edits: the framework's text follows, one character a key.
  HWND edit = ::GetDlgItem(dialog, 1114);
  qtsupport::ClickWidget(Backend().ControlWidget(edit));
  QWindow* w = Backend().ControlWidget(edit)->window()->windowHandle();
  QTest::keyClick(w, Qt::Key_End);
  for (char c : std::string("ab")) QTest::keyClick(w, c);
  qtsupport::Pump();
  QTest::keyClick(w, Qt::Key_Backspace);
  qtsupport::Pump();
  CString text;
  CWnd::FromHandle(edit)->GetWindowText(text);
  EXPECT_EQ(std::string(text.View()), "texta");
  EXPECT_TRUE(Logged("command 1114 768"));  // EN_CHANGE

  HWND multi = ::GetDlgItem(dialog, 1125);
  qtsupport::ClickWidget(Backend().ControlWidget(multi));
  QTest::keyClick(w, 'x');
  QTest::keyClick(w, Qt::Key_Return);
  QTest::keyClick(w, 'y');
  qtsupport::Pump();
  CWnd::FromHandle(multi)->GetWindowText(text);
  EXPECT_EQ(std::string(text.View()), "x\r\ny");
  EXPECT_TRUE(::IsWindow(dialog)) << "Enter stayed in the multi-line edit";
}

TEST_F(AppTest, ModalDialogsAndMessageBoxes) {
  ::SetFocus(*frame->Pane(0, 0));
  Backend().ScriptDialog([&](QWidget* dialog) {
    EXPECT_FALSE(::IsWindowEnabled(fh));
    HWND modal = brv::HeadlessDriver::FindDialog(qtapp::kSmallModal);
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(dialog, Backend().TopWidget(modal));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog->windowHandle()));
    // Input to the disabled owner is dropped.
    qtsupport::Click(*frame->Pane(0, 1), CPoint(10, 10));
    qtsupport::ClickWidget(Backend().ControlWidget(::GetDlgItem(modal, IDOK)));
  });
  qtsupport::KeyClick(fh, Qt::Key_M, Qt::ControlModifier);
  EXPECT_EQ(Taken(), std::vector<std::string>{"modal 1"});
  EXPECT_TRUE(::IsWindowEnabled(fh));
  // A dialog's close box cancels it.
  Backend().ScriptDialog([](QWidget* dialog) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog->windowHandle()));
    dialog->close();
  });
  qtsupport::KeyClick(fh, Qt::Key_M, Qt::ControlModifier);
  EXPECT_EQ(Taken(), std::vector<std::string>{"modal 2"});

  // MB_YESNO: Yes and No in this order with the caption; Escape and the
  // close box do nothing.
  Backend().ScriptDialog([](QWidget* box) {
    EXPECT_EQ(box->windowTitle().toStdString(), "Caption");
    EXPECT_EQ(qobject_cast<QMessageBox*>(box)->icon(), QMessageBox::Question);
    QPushButton* yes = ButtonOf(box, "Yes");
    QPushButton* no = ButtonOf(box, "No");
    ASSERT_TRUE(yes && no);
    EXPECT_LT(yes->mapToGlobal(QPoint()).x(), no->mapToGlobal(QPoint()).x());
    EXPECT_EQ(box->findChildren<QPushButton*>().size(), 2);
    EXPECT_TRUE(yes->isDefault());
    EXPECT_NE(box->findChild<QLabel*>("qt_msgbox_label"), nullptr);
    QTest::keyClick(box, Qt::Key_Escape);
    box->close();
    qtsupport::Pump();
    EXPECT_TRUE(box->isVisible());
    QTest::mouseClick(no, Qt::LeftButton);
  });
  int answer = 0;
  qtsupport::Run([&] { answer = ::MessageBox(fh, "Go on?", "Caption", MB_YESNO | MB_ICONQUESTION); });
  EXPECT_EQ(answer, IDNO);

  // MB_OKCANCEL: Escape cancels; the second button may be the default.
  Backend().ScriptDialog([](QWidget* box) {
    EXPECT_TRUE(ButtonOf(box, "Cancel")->isDefault());
    QTest::keyClick(box, Qt::Key_Escape);
  });
  qtsupport::Run([&] { answer = ::MessageBox(fh, "Save?", "Caption", MB_OKCANCEL | MB_DEFBUTTON2); });
  EXPECT_EQ(answer, IDCANCEL);

  // MB_OK alone: Escape is OK.
  Backend().ScriptDialog([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  qtsupport::Run([&] { answer = ::MessageBox(fh, "Done.", "Caption", MB_OK | MB_ICONINFORMATION); });
  EXPECT_EQ(answer, IDOK);
}

TEST_F(AppTest, FileDialogs) {
  std::ofstream(files / "red.jpg") << "x";
  std::ofstream(files / "green.jpg") << "x";
  std::ofstream(files / "note.txt") << "x";

  // Export: filter 3 and the typed name "head" give "...\head.obj" and index 3.
  Backend().ScriptDialog([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Save As");
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_NE(types, nullptr);
    EXPECT_EQ(types->itemText(0).toStdString(), "Bitmap (*.bmp)");
    EXPECT_EQ(types->count(), 3);
    types->setFocus();
    QTest::keyClick(types, Qt::Key_Down);
    QTest::keyClick(types, Qt::Key_Down);
    qtsupport::Pump();
    EXPECT_EQ(types->currentIndex(), 2);
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setFocus();
    QTest::keyClicks(name, "head");
    QTest::keyClick(name, Qt::Key_Return);
  });
  qtsupport::KeyClick(fh, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(std::string(frame->exported.View()), files / "head.obj");
  EXPECT_EQ(frame->exportFilter, 3);

  // A name beyond ASCII comes back as its UTF-8 bytes.
  Backend().ScriptDialog([&](QWidget* widget) {
    auto* name = widget->findChild<QLineEdit*>("fileNameEdit");
    name->setFocus();
    QTest::keyClicks(name, "k");
    QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, QString::fromUtf8("\xC3\xB6"), Qt::NoModifier);
    QTest::keyClicks(name, "pf.txt");
    QTest::keyClick(name, Qt::Key_Return);
  });
  qtsupport::KeyClick(fh, Qt::Key_E, Qt::ControlModifier);
  EXPECT_EQ(std::string(frame->exported.View()), files / "k\xC3\xB6pf.txt");

  // Open: the preview panel shows what the framework draws for the selected
  // file; then Cancel.
  std::vector<std::string> failures;
  Backend().ScriptDialog([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    ASSERT_NE(dialog, nullptr);
    auto* list = dialog->findChild<QListView*>("listView");
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(qtsupport::WaitFor([&] { return list->model()->rowCount(list->rootIndex()) >= 2; }));
    QModelIndex red;
    for (int i = 0; i < list->model()->rowCount(list->rootIndex()); ++i) {
      QModelIndex at = list->model()->index(i, 0, list->rootIndex());
      if (at.data().toString() == "red.jpg") red = at;
    }
    ASSERT_TRUE(red.isValid());
    EXPECT_EQ(list->model()->rowCount(list->rootIndex()), 2) << "only the JPEG files";
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(red).center());
    ASSERT_TRUE(qtsupport::WaitFor([] { return Logged("selected red.jpg"); }));
    HWND area = nullptr;
    for (auto& [h, r] : brv::State().windows)
      if (r->id == 303 && r->parent && brv::Record(r->parent)->dialogTemplate == qtapp::kPreviewPanel) area = h;
    ASSERT_NE(area, nullptr);
    QWidget* view = Backend().SurfaceWidget(brv::TopLevelOf(area));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->window(), dialog) << "the panel is inside the file dialog";
    qtsupport::Save(qtsupport::GrabWidget(dialog), "open_dialog");
    CRect c = brv::ClientOnSurface(area);
    QImage shown = qtsupport::Grab(brv::TopLevelOf(area));
    EXPECT_EQ(QColor(shown.pixel(c.CenterPoint().x, c.CenterPoint().y)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(shown.pixel(c.left + 3, c.top + 3)), QColor(212, 208, 200));
    QTest::mouseClick(ButtonOf(dialog, "Cancel"), Qt::LeftButton);
  });
  qtsupport::KeyClick(fh, Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(Logged("open "));
  EXPECT_TRUE(frame->opened.IsEmpty());

  // Must exist: a missing name brings the framework's message and the
  // dialog stays.
  Log().clear();
  bool stayed = false;
  Backend().ScriptDialog([&](QWidget* widget) {
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    name->setFocus();
    QTest::keyClicks(name, "missing.jpg");
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_TRUE(qtsupport::WaitFor([&] { return Backend().PendingDialogScripts() == 0; }));
    qtsupport::Pump();
    stayed = dialog->isVisible();
    QTest::mouseClick(ButtonOf(dialog, "Cancel"), Qt::LeftButton);
  });
  Backend().ScriptDialog([](QWidget* box) {
    EXPECT_NE(qobject_cast<QMessageBox*>(box)->text().toStdString().find("File not found."), std::string::npos);
    QTest::mouseClick(ButtonOf(box, "OK"), Qt::LeftButton);
  });
  qtsupport::KeyClick(fh, Qt::Key_O, Qt::ControlModifier);
  EXPECT_TRUE(stayed);
  EXPECT_TRUE(frame->opened.IsEmpty());
}

// A name typed into the name box and Return opens the file, whether or not
// the list of names the box proposes has come up meanwhile (it comes once
// the folder is read); with a proposal chosen by the arrows, Return takes
// that name; a folder typed opens in the dialog, where a name typed next
// and Return open the file.
TEST_F(AppTest, ReturnInTheNameBoxOpensTheTypedFile) {
  std::filesystem::create_directories(files / "sub");
  std::ofstream(files / "green.jpg") << "x";
  std::ofstream(files / "grey.jpg") << "x";
  std::ofstream(files / "sub/blue.jpg") << "x";
  struct Case {
    const char* what;
    std::vector<std::string> typed;  // each followed by Return
    bool down;  // Down to the first proposal before the last Return
    std::string opened;
  };
  const Case cases[] = {
      {"the whole name", {"green.jpg"}, false, files / "green.jpg"},
      {"a whole path", {files / "grey.jpg"}, false, files / "grey.jpg"},
      {"a proposal chosen", {"gre"}, true, files / "green.jpg"},
      {"a folder's path, then a name", {files / "sub", "blue.jpg"}, false, files / "sub/blue.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    frame->opened.Empty();
    Backend().ScriptDialog([&](QWidget* widget) {
      auto* dialog = qobject_cast<QFileDialog*>(widget);
      ASSERT_NE(dialog, nullptr);
      auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
      ASSERT_NE(name, nullptr);
      ASSERT_NE(name->completer(), nullptr);
      name->setFocus();
      QPointer<QWidget> open(widget);
      for (size_t n = 0; n < c.typed.size(); ++n) {
        const std::string& typed = c.typed[n];
        // Typed as a user types, who sees the first proposals before going
        // on; the list comes up with the next key, then Return goes to it.
        for (size_t i = 0; i < typed.size(); ++i) {
          QTest::keyClicks(name, QString(QChar(typed[i])));
          if (i == 0) qtsupport::WaitFor([&] { return name->completer()->completionCount() > 0; }, 120000);
        }
        EXPECT_TRUE(qtsupport::WaitFor([&] { return name->completer()->popup()->isVisible(); }, 120000))
            << "the list of proposals never came up for " << typed;
        QWidget* keys = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : name;
        if (c.down && n + 1 == c.typed.size()) QTest::keyClick(keys, Qt::Key_Down);
        const QString folder = dialog->directory().absolutePath();
        QTest::keyClick(keys, Qt::Key_Return);
        if (n + 1 < c.typed.size()) {
          // The folder opens in the dialog, the name box empty.
          EXPECT_TRUE(qtsupport::WaitFor([&] { return dialog->directory().absolutePath() != folder; }, 120000));
          EXPECT_EQ(dialog->directory().absolutePath().toStdString(), typed);
          EXPECT_TRUE(name->text().isEmpty());
          ASSERT_TRUE(open && open->isVisible());
        }
      }
      if (!qtsupport::WaitFor([&] { return !open || !open->isVisible(); }, 60000)) {
        ADD_FAILURE() << "Return left the dialog open on \"" << name->text().toStdString() << "\"";
        QTest::mouseClick(ButtonOf(widget, "Cancel"), Qt::LeftButton);
      }
    });
    qtsupport::KeyClick(fh, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(std::string(frame->opened.View()), c.opened);
    EXPECT_EQ(Backend().PendingDialogScripts(), 0);
  }
}

TEST_F(AppTest, TimerRedrawChangesOnlyTheMarker) {
  qtapp::PaneView* pane = frame->Pane(0, 0);
  bool was = pane->markerOn;
  QImage first = qtsupport::Grab(fh);
  ASSERT_TRUE(qtsupport::WaitFor([&] { return pane->markerOn != was; }, 2000));
  qtsupport::Pump();
  QImage second = qtsupport::Grab(fh);
  qtsupport::Save(first, "timer_before");
  qtsupport::Save(second, "timer_after");
  CRect marker = qtapp::PaneView::MarkerRect();
  CRect onSurface = brv::ClientOnSurface(*pane);
  marker.OffsetRect(onSurface.left, onSurface.top);
  int inside = 0, outside = 0;
  for (int y = 0; y < first.height(); ++y)
    for (int x = 0; x < first.width(); ++x)
      if (first.pixel(x, y) != second.pixel(x, y)) (marker.PtInRect(CPoint(x, y)) ? inside : outside)++;
  EXPECT_EQ(inside, marker.Width() * marker.Height());
  EXPECT_EQ(outside, 0);
}

TEST_F(AppTest, InputForADisabledWindowIsDroppedNotReplayed) {
  qtapp::PaneView* pane = frame->Pane(0, 0);
  frame->SetActiveView(pane);
  qtsupport::Pump();
  Log().clear();
  frame->EnableWindow(FALSE);
  qtsupport::Click(*pane, CPoint(50, 50));
  // Input that reached the window system while the window was disabled,
  // not yet read when it is enabled again, is dropped too.
  QWidget* view = Backend().SurfaceWidget(fh);
  POINT s = brv::QtBackend::SurfacePoint(*pane, POINT{60, 60});
  QPointF at(s.x, s.y);
  QCoreApplication::postEvent(view, new QMouseEvent(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::LeftButton,
                                                    Qt::LeftButton, Qt::NoModifier));
  QCoreApplication::postEvent(view, new QMouseEvent(QEvent::MouseButtonRelease, at, view->mapToGlobal(at),
                                                    Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
  qtsupport::Run([&] { frame->EnableWindow(TRUE); });
  qtsupport::PumpFor(100);
  EXPECT_EQ(Taken(), std::vector<std::string>{});
  qtsupport::Click(*pane, CPoint(50, 50));
  EXPECT_EQ(Taken(), (std::vector<std::string>{"down 0 50,50", "up 0 50,50"}));
}

// A CUR file of one 32 x 32 image with its hotspot.
std::string CursorFile(int hotX, int hotY) {
  const int n = 32;
  std::string image(40 + n * n * 4 + n * 4, '\0');
  auto put = [](std::string& s, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put(image, 0, 40, 4);
  put(image, 4, n, 4);
  put(image, 8, 2 * n, 4);
  put(image, 12, 1, 2);
  put(image, 14, 32, 2);
  for (int i = 0; i < n * n; ++i) put(image, 40 + static_cast<size_t>(i) * 4, 0xFF000000u, 4);
  std::string file(6 + 16, '\0');
  put(file, 2, 2, 2);
  put(file, 4, 1, 2);
  file[6] = static_cast<char>(n), file[7] = static_cast<char>(n);
  put(file, 10, static_cast<uint32_t>(hotX), 2);
  put(file, 12, static_cast<uint32_t>(hotY), 2);
  put(file, 14, static_cast<uint32_t>(image.size()), 4);
  put(file, 18, 22, 4);
  return file + image;
}

TEST_F(AppTest, FontsColoursAndCursors) {
  // The dialog face at the framework's size, the BTNFACE grey, one surface
  // pixel a screen pixel.
  QFont font = QApplication::font();
  EXPECT_EQ(font.family().toStdString(), "Liberation Sans");
  EXPECT_EQ(font.pixelSize(), 11);
  EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(212, 208, 200));
  EXPECT_EQ(QApplication::palette().color(QPalette::Button), QColor(212, 208, 200));
  EXPECT_EQ(Backend().TopWidget(fh)->devicePixelRatioF(), 1.0);

  // The wait cursor is the application's while it lasts.
  qtsupport::Run([] { BeginWaitCursor(); });
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  qtsupport::Run([] { EndWaitCursor(); });
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // The cross and a resource cursor with its hotspot, on the window under
  // the pointer.
  qtsupport::Move(*frame->Pane(0, 0), CPoint(30, 30));
  QWidget* view = Backend().SurfaceWidget(fh);
  ::SetCursor(LoadCursor(nullptr, IDC_CROSS));
  EXPECT_EQ(view->cursor().shape(), Qt::CrossCursor);
  brv::SetResourceOverlay("CURSOR", 233, CursorFile(7, 11));
  HCURSOR crop = LoadCursor(AfxGetInstanceHandle(), MAKEINTRESOURCE(233));
  ASSERT_NE(crop, nullptr);
  ::SetCursor(crop);
  EXPECT_EQ(view->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(view->cursor().hotSpot(), QPoint(7, 11));
  EXPECT_EQ(view->cursor().pixmap().size(), QSize(32, 32));
  ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(AppTest, ExitThroughTheMenu) {
  ChooseMenu("File", "Exit");
  EXPECT_TRUE(Backend().Exited());
  EXPECT_EQ(Backend().ExitCode(), 0);
}

// Each test dialog as Qt shows it: the layout's size, every control's
// widget on its layout rectangle with its text, visibility and state, and
// what the framework draws equal to the headless surface.
class DialogStructureTest : public qtsupport::QtTest {};

TEST_F(DialogStructureTest, EachDialogMatchesItsLayoutAndTheHeadlessSurface) {
  for (int id : {qtapp::kControlsDialog, qtapp::kSmallModal, qtapp::kPreviewPanel}) {
    SCOPED_TRACE(id);
    qtapp::InstallLayouts();
    ASSERT_NE(brv::FindDialogLayout(id), nullptr);
    const brv::DialogLayout layout = *brv::FindDialogLayout(id);
    bool child = layout.style & WS_CHILD;
    // A child layout is shown in a plain frame of its own.
    auto make = [&](CWnd& host, CDialog& dialog) {
      if (child) {
        host.CreateEx(0, AFX_WND_CLASS, "Host", WS_POPUP | WS_CAPTION | WS_VISIBLE, CRect(100, 100, 400, 400), nullptr, 0);
        dialog.Create(id, &host);
      } else {
        dialog.Create(id, nullptr);
      }
      dialog.ShowWindow(SW_SHOW);
    };
    // Headless first.
    brv::Surface headless;
    {
      brv::SetBackend(&brv::DefaultHeadlessBackend());
      brv::ResetWindowing();
      CWnd host;
      CDialog dialog;
      make(host, dialog);
      brv::HeadlessDriver().Pump();
      headless = *brv::SurfaceOf(dialog.m_hWnd);
      dialog.DestroyWindow();
      host.DestroyWindow();
      brv::SetBackend(&Backend());
    }
    ResetWindows();
    qtapp::InstallLayouts();
    CWnd host;
    CDialog dialog;
    make(host, dialog);
    HWND top = brv::TopLevelOf(dialog.m_hWnd);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(top)));
    qtsupport::Pump();
    EXPECT_EQ(qtsupport::CompareWithLayout(dialog.m_hWnd, layout), std::vector<std::string>{});
    QImage shown = qtsupport::Grab(top);
    qtsupport::Save(shown, "dialog_" + std::to_string(id));
    EXPECT_EQ(qtsupport::CompareWithHeadless(shown, headless, qtsupport::ControlWidgetRects(top)),
              std::vector<std::string>{});
    dialog.DestroyWindow();
    host.DestroyWindow();
    ResetWindows();
  }
}

}  // namespace
