// A whole application run headless: menu and accelerators from text, a
// splitter of four drawing views, a modeless dialog with every control, a
// modal dialog, a file dialog with a preview, a timer, a rubber rectangle
// drawn and erased with the mouse, and the end through the exit hook.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "window_support.h"

namespace {

std::vector<std::string>* g_log = nullptr;
void Note(const std::string& s) {
  if (g_log) g_log->push_back(s);
}

class AppDoc : public CDocument {
  DECLARE_DYNCREATE(AppDoc)
};
IMPLEMENT_DYNCREATE(AppDoc, CDocument)

// A view that fills itself with its colour and draws an inverted rubber
// rectangle while the left button drags.
class DrawView : public CView {
  DECLARE_DYNCREATE(DrawView)
 public:
  DrawView(AppDoc*, int pane) : colour(RGB(40 + (pane & 15) * 50, 90, 160 - (pane >> 4 & 15) * 60)) {}
  COLORREF colour;
  bool dragging = false;
  CPoint start, last;

  void OnDraw(CDC* dc) override {
    CRect r;
    GetClientRect(&r);
    dc->FillSolidRect(&r, colour);
  }
  void Rubber(CPoint a, CPoint b) {
    CClientDC dc(this);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&pen);
    int mode = dc.SetROP2(R2_NOT);
    dc.MoveTo(a);
    dc.LineTo(b.x, a.y);
    dc.LineTo(b);
    dc.LineTo(a.x, b.y);
    dc.LineTo(a);
    dc.SetROP2(mode);
    dc.SelectObject(old);
  }
  void OnLButtonDown(UINT, CPoint p) override {
    dragging = true;
    start = last = p;
  }
  void OnMouseMove(UINT flags, CPoint p) override {
    if (!dragging || !(flags & MK_LBUTTON)) return;
    if (!(last == start)) Rubber(start, last);
    last = p;
    Rubber(start, last);
  }
  void OnLButtonUp(UINT, CPoint) override {
    if (dragging && !(last == start)) Rubber(start, last);
    dragging = false;
    Note("rubber done");
  }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE_DOC(DrawView, CView, AppDoc)
BEGIN_MESSAGE_MAP(DrawView, CView)
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

class ControlsDialog : public CDialog {
 public:
  explicit ControlsDialog(CWnd* parent) : CDialog(4000, parent) {}
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override {
    if (code == TB_THUMBPOSITION) Note("slider " + std::to_string(pos));
  }
  void OnOK() override { DestroyWindow(); }
  void OnCancel() override { DestroyWindow(); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ControlsDialog, CDialog)
  ON_WM_HSCROLL()
END_MESSAGE_MAP()

class PreviewStatic : public CStatic {};

class OpenDialog : public CFileDialog {
 public:
  explicit OpenDialog(CWnd* parent)
      : CFileDialog(TRUE, "*.bmp", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, "BMP (*.bmp)|*.bmp||", parent) {
    m_ofn.Flags |= OFN_ENABLETEMPLATE;
    m_ofn.lpTemplateName = MAKEINTRESOURCE(301);
  }
  PreviewStatic preview;
  BOOL OnInitDialog() override {
    CFileDialog::OnInitDialog();
    preview.SubclassDlgItem(303, this);
    return TRUE;
  }
  void OnFileNameChange() override {
    preview.RedrawWindow();
    CClientDC dc(&preview);
    CRect r;
    preview.GetClientRect(&r);
    // The preview shows a colour picked from the file's name.
    dc.FillSolidRect(r.Width() / 4, r.Height() / 4, r.Width() / 2, r.Height() / 2,
                     GetFileTitle() == "red" ? RGB(255, 0, 0) : RGB(0, 0, 255));
  }
};

class AppFrame : public CFrameWnd {
  DECLARE_DYNCREATE(AppFrame)
 public:
  CSplitterWnd splitter;
  std::unique_ptr<ControlsDialog> controls;
  CString opened;

  BOOL PreCreateWindow(CREATESTRUCT& cs) override {
    cs.style = WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | FWS_ADDTOTITLE;
    return CFrameWnd::PreCreateWindow(cs);
  }
  int OnCreate(LPCREATESTRUCT cs) override {
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    SetTimer(2, 400);
    return 0;
  }
  BOOL OnCreateClient(LPCREATESTRUCT, CCreateContext* context) override {
    if (!splitter.CreateStatic(this, 2, 2)) return FALSE;
    for (int r = 0; r < 2; ++r)
      for (int c = 0; c < 2; ++c)
        if (!splitter.CreateView(r, c, RUNTIME_CLASS(DrawView), CSize(10, 10), context)) return FALSE;
    return TRUE;
  }
  void OnSize(UINT type, int cx, int cy) override {
    CFrameWnd::OnSize(type, cx, cy);
    if (!splitter.m_hWnd) return;
    for (int i = 0; i < 2; ++i) {
      splitter.SetRowInfo(i, (cy - 11) / 2, 10);
      splitter.SetColumnInfo(i, (cx - 11) / 2, 10);
    }
    splitter.RecalcLayout();
  }
  void OnTimer(UINT_PTR id) override {
    if (id != 2) return;
    KillTimer(2);
    Note("timer");
  }
  void OnControls() {
    if (controls && controls->m_hWnd) {
      controls->DestroyWindow();
      return;
    }
    controls = std::make_unique<ControlsDialog>(this);
    controls->Create(4000, this);
    controls->SetWindowPos(nullptr, 700, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    controls->ShowWindow(SW_SHOW);
  }
  void OnModal() {
    CDialog modal(4002, this);
    Note(modal.DoModal() == IDOK ? "modal ok" : "modal cancel");
  }
  void OnOpen() {
    OpenDialog dialog(this);
    if (dialog.DoModal() == IDOK) opened = dialog.GetPathName();
  }
  void OnExit() { brv::ExitProgram(0); }
  void OnUpdateNever(CCmdUI* ui) { ui->Enable(FALSE); }
  DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(AppFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(AppFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_COMMAND(32928, OnControls)
  ON_COMMAND(32929, OnModal)
  ON_COMMAND(32795, OnOpen)
  ON_COMMAND(32821, OnExit)
  ON_UPDATE_COMMAND_UI(32930, OnUpdateNever)
END_MESSAGE_MAP()

class TestApp : public CWinApp {
 public:
  TestApp() : CWinApp("Brivanta") {}
  BOOL InitInstance() override {
    SetRegistryKey("Tervanik");
    AddDocTemplate(new CSingleDocTemplate(128, RUNTIME_CLASS(AppDoc), RUNTIME_CLASS(AppFrame), nullptr));
    LoadStdProfileSettings(4);
    CCommandLineInfo info;
    ParseCommandLine(info);
    info.m_nShellCommand = CCommandLineInfo::FileNew;
    if (!ProcessShellCommand(info)) return FALSE;
    m_pMainWnd->ShowWindow(SW_SHOWMAXIMIZED);
    m_pMainWnd->UpdateWindow();
    return TRUE;
  }
};

class AppTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    g_log = &log;
    LayoutFile("MENU", 128, "app_menu.txt");
    LayoutFile("ACCELERATORS", 128, "app_accelerators.txt");
    LayoutFile("DIALOG", 4000, "every_control.txt");
    LayoutFile("DIALOG", 4002, "small_modal.txt");
    LayoutFile("DIALOG", 301, "preview_301.txt");
    brv::SetResourceOverlay("BITMAP", 370, BmpFile(20, 20, [](int, int) { return 0x00808080u; }));
    brv::SetResourceOverlay("BITMAP", 371, BmpFile(20, 20, [](int, int) { return 0x00404040u; }));
    brv::SetResourceOverlay("ICON", 130, IcoFile([](int, int) { return 0x00FF0000u; }, [](int, int) { return false; }));
  }
  void TearDown() override {
    driver.Reset();
    app.reset();
    g_log = nullptr;
    WindowingTest::TearDown();
  }
  std::vector<std::string> log;
  std::unique_ptr<TestApp> app;
  TempDir files;
};

TEST_F(AppTest, TheWholeApplicationHeadless) {
  app = std::make_unique<TestApp>();
  driver.Run([&] { ASSERT_TRUE(app->InitInstance()); });
  auto* frame = dynamic_cast<AppFrame*>(AfxGetMainWnd());
  ASSERT_NE(frame, nullptr);
  HWND fh = frame->m_hWnd;
  CString title;
  frame->GetWindowText(title);
  EXPECT_EQ(title, "Untitled - Brivanta");
  CRect client;
  frame->GetClientRect(&client);
  EXPECT_EQ(client, CRect(0, 0, 1280, 1004));  // the screen less the menu bar
  driver.Pump();

  // The timer ticks once (it kills itself).
  driver.AdvanceClock(399);
  EXPECT_TRUE(log.empty());
  driver.AdvanceClock(1);
  driver.AdvanceClock(2000);
  EXPECT_EQ(log, std::vector<std::string>{"timer"});
  log.clear();

  // A rubber rectangle dragged in the lower-right view: outline inverted
  // while the button is held, the view restored after.
  auto* view = dynamic_cast<DrawView*>(frame->splitter.GetPane(1, 1));
  ASSERT_NE(view, nullptr);
  HWND vh = view->m_hWnd;
  COLORREF bg = view->colour;
  EXPECT_EQ(driver.Pixel(vh, 30, 30), bg);
  driver.MouseDown(vh, CPoint(20, 20));
  EXPECT_EQ(frame->GetActiveView(), view);  // the click activated the view first
  driver.MouseMove(vh, CPoint(60, 50), MK_LBUTTON);
  driver.MouseMove(vh, CPoint(100, 80), MK_LBUTTON);
  COLORREF inverted = RGB(255 - GetRValue(bg), 255 - GetGValue(bg), 255 - GetBValue(bg));
  EXPECT_EQ(driver.Pixel(vh, 20, 20), inverted);
  EXPECT_EQ(driver.Pixel(vh, 60, 20), inverted);
  EXPECT_EQ(driver.Pixel(vh, 20, 60), inverted);
  EXPECT_EQ(driver.Pixel(vh, 100, 50), inverted);
  EXPECT_EQ(driver.Pixel(vh, 50, 80), inverted);
  EXPECT_EQ(driver.Pixel(vh, 60, 50), bg);   // the earlier outline was erased
  EXPECT_EQ(driver.Pixel(vh, 40, 40), bg);   // the inside is untouched
  driver.MouseUp(vh, CPoint(100, 80));
  for (CPoint p : {CPoint(20, 20), CPoint(60, 20), CPoint(20, 60), CPoint(100, 50), CPoint(50, 80), CPoint(60, 50)})
    EXPECT_EQ(driver.Pixel(vh, p.x, p.y), bg) << p.x << "," << p.y;
  EXPECT_EQ(log, std::vector<std::string>{"rubber done"});
  log.clear();

  // The menu opens the modeless dialog with every control; its slider drags.
  EXPECT_TRUE(driver.ChooseMenu(fh, 32928));
  HWND controls = driver.FindDialog(4000);
  ASSERT_NE(controls, nullptr);
  EXPECT_TRUE(IsWindowVisible(controls));
  HWND slider = driver.FindControl(controls, 1087);
  driver.DragSlider(slider, 40);
  EXPECT_EQ(log, std::vector<std::string>{"slider 40"});
  log.clear();
  EXPECT_FALSE(driver.ChooseMenu(fh, 32930));  // its update handler disables it

  // The accelerator opens the modal dialog; its script answers.
  ::SetFocus(vh);
  driver.OnNextModal([&](HWND dialog) {
    EXPECT_FALSE(IsWindowEnabled(fh));
    EXPECT_TRUE(IsWindowEnabled(controls));  // modeless dialogs keep their input
    driver.Key(VK_RETURN);
  });
  driver.Key('M', MK_CONTROL);
  EXPECT_EQ(log, std::vector<std::string>{"modal ok"});
  EXPECT_TRUE(IsWindowEnabled(fh));
  log.clear();

  // The file dialog with its preview, from the accelerator.
  std::ofstream(files / "red.bmp") << "x";
  std::ofstream(files / "blue.bmp") << "x";
  ::SetFocus(vh);
  driver.OnNextFileDialog([&](brv::FileDialogSession& s) {
    HWND area = driver.FindControl(s.TemplateWindow(), 303);
    CRect r;
    GetClientRect(area, &r);
    s.Select(files / "red.bmp");
    EXPECT_EQ(driver.Pixel(area, r.Width() / 2, r.Height() / 2), RGB(255, 0, 0));
    s.Select(files / "blue.bmp");
    EXPECT_EQ(driver.Pixel(area, r.Width() / 2, r.Height() / 2), RGB(0, 0, 255));
    EXPECT_EQ(driver.Pixel(area, 2, 2), RGB(212, 208, 200));
    return s.Accept(files / "blue") ? IDOK : IDCANCEL;
  });
  driver.Key('O', MK_CONTROL);
  EXPECT_EQ(std::string(frame->opened.View()), files / "blue.bmp");

  // Exit through the menu and the hook: code 0, nothing runs after it.
  EXPECT_FALSE(driver.Exited());
  driver.ChooseMenu(fh, 32821);
  EXPECT_EQ(driver.ExitCode(), 0);
  driver.Key('M', MK_CONTROL);
  EXPECT_TRUE(log.empty());
}

// Switches and file names of the command line: a POSIX path is a file name.
TEST(CommandLine, SwitchesAndFileNames) {
  struct Case {
    const char* line;
    const char* file;
    BOOL embedded;
  } cases[] = {
      {"/home/anna/anna.fac", "/home/anna/anna.fac", FALSE},
      {"/anna.fac", "/anna.fac", FALSE},
      {"anna.fac", "anna.fac", FALSE},
      {"-Embedding /tmp/x.fac", "/tmp/x.fac", TRUE},
      {"\"/tmp/a b/c.fac\"", "/tmp/a b/c.fac", FALSE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    CWinApp app("Brivanta");
    app.SetCommandLine(c.line);
    CCommandLineInfo info;
    app.ParseCommandLine(info);
    EXPECT_EQ(std::string(info.m_strFileName.View()), c.file);
    EXPECT_EQ(info.m_bRunEmbedded, c.embedded);
  }
}

}  // namespace
