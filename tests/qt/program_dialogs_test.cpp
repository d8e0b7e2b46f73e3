// Every dialog layout of the program as Qt shows it, by its own class where
// the program has one (a plain dialog for the layouts nothing shows alone):
// the layout's size, each control's widget on its layout rectangle with its
// text, visibility and enabled state, and what the framework draws equal to
// the headless surface in the same state. The grabs go to the test output
// folder for a person to look at.
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>

#include "app/faceapp.h"
#include "dialogs/dlgbrushselect.h"
#include "dialogs/dlgfreetool.h"
#include "dialogs/dlgheadfeatures.h"
#include "dialogs/dlglogin.h"
#include "dialogs/dlgnotes.h"
#include "dialogs/dlgprogress.h"
#include "dialogs/dlgrefine.h"
#include "framework/layout_parser.h"
#include "framework/resources.h"
#include "framework/test_driver.h"
#include "framework/window_state.h"
#include "tests/qt/qt_support.h"

namespace {

using qtsupport::Backend;

// The program's layouts, all of them.
const int kLayouts[] = {133, 171, 179, 181, 182, 194, 232, 233, 244, 245, 301,
                        308, 309, 311, 312, 313, 314, 315, 327, 328, 329};

// A dialog of the layout by its class, made modeless on `parent`; its
// window is on the screen afterwards.
struct Shown {
  std::unique_ptr<CDialog> dialog;
  HWND Window() const { return dialog->m_hWnd; }
};

Shown Make(int id, CWnd* parent) {
  Shown s;
  switch (id) {
    case 133: {
      auto* progress = new CDlgProgress(parent);
      s.dialog.reset(progress);
      progress->Open(0, 100, CString("Applying texture"), true);
      progress->m_Progress.SetPos(40);
      return s;
    }
    case 181: s.dialog = std::make_unique<CDlgHeadFeatures>(UINT(181), parent); break;
    case 182: s.dialog = std::make_unique<CDlgFreeTool>(parent); break;
    case 194: s.dialog = std::make_unique<CDlgBrushSelect>(parent); break;
    case 233: s.dialog = std::make_unique<CDlgNotes>(); break;
    case 312: s.dialog = std::make_unique<CAboutDlg>(); break;
    default: s.dialog = std::make_unique<CDialog>(); break;
  }
  s.dialog->Create(UINT(id), parent);
  s.dialog->ShowWindow(SW_SHOW);
  return s;
}

class ProgramDialogsTest : public qtsupport::QtTest {};

TEST_F(ProgramDialogsTest, EachLayoutMatchesItselfAndTheHeadlessSurface) {
  for (int id : kLayouts) {
    SCOPED_TRACE(id);
    const brv::DialogLayout* found = brv::FindDialogLayout(id);
    ASSERT_NE(found, nullptr);
    const brv::DialogLayout layout = *found;
    const bool child = layout.style & WS_CHILD;
    // A frame for the child layouts and as the owner of the others.
    auto host = [&](CWnd& h) {
      h.CreateEx(0, AFX_WND_CLASS, "Host", WS_POPUP | WS_CAPTION | WS_VISIBLE, CRect(40, 40, 900, 900), nullptr, 0);
    };
    brv::Surface headless;
    {
      brv::SetBackend(&brv::DefaultHeadlessBackend());
      brv::ResetWindowing();
      CWnd h;
      host(h);
      Shown s = Make(id, child ? &h : nullptr);
      brv::HeadlessDriver().Pump();
      headless = *brv::SurfaceOf(s.Window());
      s.dialog->DestroyWindow();
      h.DestroyWindow();
      brv::SetBackend(&Backend());
    }
    ResetWindows();
    CWnd h;
    host(h);
    Shown s = Make(id, child ? &h : nullptr);
    HWND top = brv::TopLevelOf(s.Window());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(top)));
    qtsupport::Pump();
    // The class may set texts and show or hide controls: those are taken
    // from the framework's state, the rest from the layout.
    brv::DialogLayout now = layout;
    const brv::WindowRecord* d = brv::Record(s.Window());
    ASSERT_NE(d, nullptr);
    for (size_t i = 0; i < now.controls.size() && i < d->children.size(); ++i) {
      const brv::WindowRecord* c = brv::Record(d->children[i]);
      brv::ControlLayout& l = now.controls[i];
      if (l.kind == brv::ControlKind::kStatic || l.kind == brv::ControlKind::kButton ||
          l.kind == brv::ControlKind::kCheck || l.kind == brv::ControlKind::kRadio ||
          l.kind == brv::ControlKind::kGroupBox)
        l.text = c->text;
      l.style = (l.style & ~DWORD(WS_VISIBLE | WS_DISABLED)) | (c->style & (WS_VISIBLE | WS_DISABLED));
    }
    EXPECT_EQ(qtsupport::CompareWithLayout(s.Window(), now), std::vector<std::string>{});
    QImage grab = qtsupport::Grab(top);
    qtsupport::Save(grab, "program_dialog_" + std::to_string(id));
    EXPECT_EQ(qtsupport::CompareWithHeadless(grab, headless, qtsupport::ControlWidgetRects(top)),
              std::vector<std::string>{});
    s.dialog->DestroyWindow();
    h.DestroyWindow();
    ResetWindows();
  }
}

}  // namespace

namespace {

// Escape in the refine dialog answers 2 ("Use New Photo") through a real
// key press; the dialog stands 2 pixels inside its owner's client area.
TEST_F(ProgramDialogsTest, EscapeInTheRefineDialogAnswers2) {
  CWnd owner;
  owner.CreateEx(0, AFX_WND_CLASS, "Owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, CRect(60, 80, 700, 600), nullptr, 0);
  int result = 0;
  CDlgRefine refine(&result, &owner);
  bool shown = false;
  CPoint at, corner(0, 0);
  owner.ClientToScreen(&corner);
  Backend().ScriptDialog([&](QWidget* dialog) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog->windowHandle()));
    shown = dialog->windowTitle() == "Refine";
    CRect r;
    refine.GetWindowRect(&r);
    at = r.TopLeft();
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);
  });
  INT_PTR answer = 0;
  qtsupport::Run([&] { answer = refine.DoModal(); });
  EXPECT_TRUE(shown);
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(at, CPoint(corner.x + 2, corner.y + 2));
  owner.DestroyWindow();
}

}  // namespace
