// Every dialog layout of the program as Qt shows it, by its own class where
// the program has one (a plain dialog for the layouts nothing shows alone):
// the layout's size, each control's widget on its layout rectangle with its
// text, visibility and enabled state, and what the framework draws equal to
// the headless surface in the same state. The grabs go to the test output
// folder for a person to look at.
#include <QTest>
#include <QWindow>

#include <stdlib.h>

#include <array>
#include <functional>
#include <map>
#include <memory>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "app/mainframe.h"
#include "document/tempfolders.h"
#include "dialogs/dlgage.h"
#include "dialogs/dlgcrop.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "dialogs/dlglasersize.h"
#include "dialogs/dlglogin.h"
#include "dialogs/dlgmakebmp.h"
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
#include "fitting/kernel2d.h"
#include "model/head.h"
#include "picture/clipboard_bmp_platform.h"
#include "tests/framework/temp_dir.h"
#include "tests/qt/qt_support.h"

namespace {

using qtsupport::Backend;

// The layouts shown without the program's document: those of classes that
// stand alone, and 179, 244 and 301, which nothing shows alone, as a plain
// dialog.
const int kLayouts[] = {133, 179, 181, 182, 194, 233, 244, 301, 312};
// The layouts of the program's pages and dialogs, shown by their classes
// over the program's own document and frame.
const int kProgramLayouts[] = {171, 232, 245, 308, 309, 311, 313, 314, 315, 327, 328, 329};

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

// The layout as the dialog's class left it: a class may set texts and show,
// hide, enable or disable controls; those come from the framework's state,
// the rest from the layout.
brv::DialogLayout AsItIsNow(const brv::DialogLayout& layout, HWND dialog) {
  brv::DialogLayout now = layout;
  const brv::WindowRecord* d = brv::Record(dialog);
  if (!d) return now;
  for (size_t i = 0; i < now.controls.size() && i < d->children.size(); ++i) {
    const brv::WindowRecord* c = brv::Record(d->children[i]);
    brv::ControlLayout& l = now.controls[i];
    if (l.kind == brv::ControlKind::kStatic || l.kind == brv::ControlKind::kButton ||
        l.kind == brv::ControlKind::kCheck || l.kind == brv::ControlKind::kRadio ||
        l.kind == brv::ControlKind::kGroupBox)
      l.text = c->text;
    l.style = (l.style & ~DWORD(WS_VISIBLE | WS_DISABLED)) | (c->style & (WS_VISIBLE | WS_DISABLED));
  }
  return now;
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
    EXPECT_EQ(qtsupport::CompareWithLayout(s.Window(), AsItIsNow(layout, s.Window())), std::vector<std::string>{});
    QImage grab = qtsupport::Grab(top);
    qtsupport::Save(grab, "program_dialog_" + std::to_string(id));
    EXPECT_EQ(qtsupport::CompareWithHeadless(grab, headless, qtsupport::ControlWidgetRects(top)),
              std::vector<std::string>{});
    s.dialog->DestroyWindow();
    h.DestroyWindow();
    ResetWindows();
  }
}

// ---------------------------------------------------------------- the program's own

// A dialog of the program by its class, made modeless on the frame over the
// document, with what its constructor points at.
struct ProgramDialog {
  std::unique_ptr<CDialog> dialog;
  CWinBmp photo;
  std::array<int, 7> crop{};
  bool login = false;
  int refine = 0;
};

std::unique_ptr<ProgramDialog> MakeProgramDialog(int id, CMainFrame& frame, CFaceDoc& doc) {
  auto s = std::make_unique<ProgramDialog>();
  std::array<int, 7>& c = s->crop;
  switch (id) {
    case 171: s->dialog = std::make_unique<CDlgLogin>(&s->login, &frame, &doc); break;
    case 232:
      s->photo = doc.kernel2D->photo;
      s->dialog =
          std::make_unique<CDlgCrop>(&frame, &s->photo, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], nullptr);
      break;
    case 308: s->dialog = std::make_unique<CDlgFeatures3>(UINT(id)); break;
    case 309:
    case 329: s->dialog = std::make_unique<CDlgLaserSize>(UINT(id)); break;
    case 313: s->dialog = std::make_unique<CDlgMakeBmp>(&frame, &doc); break;
    case 315: s->dialog = std::make_unique<CDlgRefine>(&s->refine, &frame); break;
    case 327: s->dialog = std::make_unique<CDlgAge>(UINT(id)); break;
    default: s->dialog = std::make_unique<CDlgFeatures2>(UINT(id)); break;  // 245, 311, 314, 328
  }
  s->dialog->Create(UINT(id), &frame);
  // A flashing marker stays as first drawn, in both runs.
  if (s->dialog->m_hWnd) ::KillTimer(s->dialog->m_hWnd, 1);
  if (s->dialog->m_hWnd) s->dialog->ShowWindow(SW_SHOW);
  return s;
}

// The pixels of a dialog's window in its top-level surface (a top-level
// dialog's surface is its client area).
QRect WindowArea(HWND dialog) {
  const brv::WindowRecord* r = brv::Record(dialog);
  if (r && r->IsChild()) {
    const CRect w = brv::WindowOnSurface(dialog);
    return QRect(w.left, w.top, w.Width(), w.Height());
  }
  const brv::Surface* surface = brv::SurfaceOf(dialog);
  return surface ? QRect(0, 0, surface->Width(), surface->Height()) : QRect();
}

brv::Surface Crop(const brv::Surface& from, const QRect& area) {
  brv::Surface out(area.width(), area.height());
  for (int y = 0; y < area.height(); ++y)
    for (int x = 0; x < area.width(); ++x) out.SetPixel(x, y, from.Pixel(area.x() + x, area.y() + y));
  return out;
}

// The program in the full mode, its start-up step taken out, with the cube
// template over a photo: the state its dialogs open in, made the same way
// over either backend.
class ProgramObjects {
 public:
  using Runner = std::function<void(const std::function<void()>&)>;
  ProgramObjects(Runner run, std::function<void()> pump) : run_(std::move(run)), pump_(std::move(pump)) {
    files::ResetTempFolder();
    resetModelState();
    brv::InstallBmpPlatform();
    app = std::make_unique<CFaceApp>();
    app->pictureEditorMode = 0;
    app->SetWindowsCommandLine({"brivanta"});
    run_([&] { app->InitInstance(); });
    run_([&] { app->Frame()->KillTimer(2); });
    CFaceDoc& d = *actdoc;
    CWinBmp photo;
    photo.Create(640, 480, 32, false);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) photo.SetPixel(x, y, CPixel32(uint8_t(x / 3), uint8_t(y / 2), 0x80, 255));
    d.kernel2D->photo = photo;
    run_([&] {
      d.kernel2D->InitPicture();
      d.templateId = 121;
      d.LoadTHEResource(121, true);
    });
    d.stage = 2500;
    pump_();
  }
  ~ProgramObjects() {
    run_([&] {
      if (app->m_pMainWnd && ::IsWindow(app->m_pMainWnd->m_hWnd)) app->m_pMainWnd->DestroyWindow();
    });
    app->ExitInstance();
    app.reset();
    resetModelState();
  }
  CMainFrame& Frame() { return *app->Frame(); }
  CFaceDoc& Doc() { return *actdoc; }
  void Run(const std::function<void()>& f) { run_(f); }
  void Pump() { pump_(); }

  std::unique_ptr<CFaceApp> app;

 private:
  Runner run_;
  std::function<void()> pump_;
};

TEST_F(ProgramDialogsTest, TheProgramsDialogsByTheirClassesMatchTheLayoutAndTheHeadlessSurface) {
  TempDir tmp;
  const std::string previousTmp = getenv("TMPDIR") ? getenv("TMPDIR") : "";
  setenv("TMPDIR", tmp.path().c_str(), 1);
  // The headless run first: each dialog's pixels as the framework draws them.
  std::map<int, brv::Surface> headless;
  {
    brv::SetBackend(&brv::DefaultHeadlessBackend());
    brv::HeadlessDriver driver;
    driver.Reset();
    {
      ProgramObjects program([&](const std::function<void()>& f) { driver.Run(f); }, [&] { driver.Pump(); });
      for (int id : kProgramLayouts) {
        std::unique_ptr<ProgramDialog> s;
        program.Run([&] { s = MakeProgramDialog(id, program.Frame(), program.Doc()); });
        driver.Pump();
        ASSERT_TRUE(s->dialog->m_hWnd != nullptr) << id;
        headless[id] = Crop(*brv::SurfaceOf(s->dialog->m_hWnd), WindowArea(s->dialog->m_hWnd));
        program.Run([&] { s->dialog->DestroyWindow(); });
        driver.Pump();
      }
    }
    driver.Reset();
    brv::SetBackend(&Backend());
  }
  ResetWindows();
  Backend().SetSleepLimit(300);
  {
    ProgramObjects program([](const std::function<void()>& f) { qtsupport::Run(f); }, [] { qtsupport::Pump(); });
    for (int id : kProgramLayouts) {
      SCOPED_TRACE(id);
      const brv::DialogLayout* layout = brv::FindDialogLayout(id);
      ASSERT_NE(layout, nullptr);
      std::unique_ptr<ProgramDialog> s;
      program.Run([&] { s = MakeProgramDialog(id, program.Frame(), program.Doc()); });
      HWND h = s->dialog->m_hWnd;
      ASSERT_TRUE(h != nullptr);
      HWND top = brv::TopLevelOf(h);
      ASSERT_TRUE(QTest::qWaitForWindowExposed(qtsupport::WindowOf(top)));
      qtsupport::Pump();
      EXPECT_EQ(qtsupport::CompareWithLayout(h, AsItIsNow(*layout, h)), std::vector<std::string>{});
      const QRect area = WindowArea(h);
      const QImage grab = qtsupport::Grab(top).copy(area);
      qtsupport::Save(grab, "program_dialog_" + std::to_string(id));
      std::vector<QRect> controls;
      for (const QRect& r : qtsupport::ControlWidgetRects(top))
        if (area.intersects(r)) controls.push_back(r.translated(-area.topLeft()));
      EXPECT_EQ(qtsupport::CompareWithHeadless(grab, headless[id], controls), std::vector<std::string>{});
      // A child page with a caption shows its title bar (in the inactive
      // colours) inside its raised frame, not the surface's white.
      if ((layout->style & WS_CHILD) && (layout->style & WS_CAPTION) == WS_CAPTION) {
        for (QPoint p : {QPoint(3, 3), QPoint(area.width() - 4, 3), QPoint(area.width() / 2, 20)})
          EXPECT_EQ(grab.pixel(p) & 0xFFFFFF, 0x808080u) << p.x() << "," << p.y();
        int white = 0;
        for (int y = 2; y < 3 + 19; ++y)
          for (int x = 2; x < area.width() - 2; ++x) white += (grab.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF;
        EXPECT_EQ(white, 0);
      }
      program.Run([&] { s->dialog->DestroyWindow(); });
      qtsupport::Pump();
    }
  }
  Backend().SetSleepLimit(0);
  ResetWindows();
  if (previousTmp.empty())
    unsetenv("TMPDIR");
  else
    setenv("TMPDIR", previousTmp.c_str(), 1);
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
