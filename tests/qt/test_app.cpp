#include "tests/qt/test_app.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "framework/layout_parser.h"
#include "framework/resources.h"
#include "tests/support/file_bytes.h"

namespace qtapp {

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

void Note(const std::string& line) { Log().push_back(line); }

std::string& Folder() {
  static std::string folder;
  return folder;
}

IMPLEMENT_DYNCREATE(AppDoc, CDocument)

// ---------------------------------------------------------------- views

IMPLEMENT_DYNCREATE_DOC(PaneView, CView, AppDoc)
BEGIN_MESSAGE_MAP(PaneView, CView)
  ON_WM_MOUSEACTIVATE()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEWHEEL()
END_MESSAGE_MAP()

PaneView::PaneView(AppDoc*, int id)
    : colour(RGB(40 + (id & 15) * 50, 90, 160 - ((id >> 4) & 15) * 60)), pane(id) {}

void PaneView::OnDraw(CDC* dc) {
  CRect r;
  GetClientRect(&r);
  dc->FillSolidRect(&r, colour);
  DrawMarker(dc);
}

void PaneView::DrawMarker(CDC* dc) {
  if (pane != AFX_IDW_PANE_FIRST) return;
  CRect m = MarkerRect();
  dc->FillSolidRect(&m, markerOn ? RGB(255, 255, 0) : colour);
}

int PaneView::OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message) {
  CFrameWnd* frame = GetParentFrame();
  if (frame && frame->GetActiveView() != this) {
    // The click that activates a view is its own: the view only becomes active.
    frame->SetActiveView(this);
    Note("activated " + std::to_string(pane - AFX_IDW_PANE_FIRST));
    return MA_ACTIVATEANDEAT;
  }
  return CView::OnMouseActivate(topLevel, hitTest, message);
}

void PaneView::Rubber(CPoint a, CPoint b) {
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

void PaneView::OnLButtonDown(UINT flags, CPoint p) {
  Note("down " + std::to_string(pane - AFX_IDW_PANE_FIRST) + " " + std::to_string(p.x) + "," + std::to_string(p.y));
  dragging = true;
  start = last = p;
}

void PaneView::OnMouseMove(UINT flags, CPoint p) {
  if (!dragging || !(flags & MK_LBUTTON)) return;
  if (last != start) Rubber(start, last);
  last = p;
  Rubber(start, last);
}

void PaneView::OnLButtonUp(UINT, CPoint p) {
  if (dragging && last != start) Rubber(start, last);
  if (dragging)
    Note("up " + std::to_string(pane - AFX_IDW_PANE_FIRST) + " " + std::to_string(p.x) + "," + std::to_string(p.y));
  dragging = false;
}

BOOL PaneView::OnMouseWheel(UINT, short delta, CPoint p) {
  zoom *= std::pow(1.25, delta / 120.0);
  Note("wheel " + std::to_string(pane - AFX_IDW_PANE_FIRST) + " " + std::to_string(delta) + " " + std::to_string(p.x) +
       "," + std::to_string(p.y));
  return TRUE;
}

// ---------------------------------------------------------------- dialogs

BEGIN_MESSAGE_MAP(ControlsDialog, CDialog)
  ON_WM_HSCROLL()
END_MESSAGE_MAP()

BOOL ControlsDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  auto* list = static_cast<CListCtrl*>(GetDlgItem(1031));
  list->InsertColumn(0, "Name", LVCFMT_LEFT, 70);
  for (const char* name : {"Eyes", "Nose", "Mouth", "Chin"}) list->InsertItem(list->GetItemCount(), name);
  auto* tab = static_cast<CTabCtrl*>(GetDlgItem(1025));
  tab->InsertItem(0, "One");
  tab->InsertItem(1, "Two");
  tab->SetCurSel(0);
  auto* combo = static_cast<CComboBox*>(GetDlgItem(1200));
  for (const char* name : {"Small", "Medium", "Large"}) combo->AddString(name);
  combo->SetCurSel(1);
  auto* slider = static_cast<CSliderCtrl*>(GetDlgItem(1087));
  slider->SetRange(0, 100);
  slider->SetPos(20);
  slider->SetPageSize(10);
  auto* progress = static_cast<CProgressCtrl*>(GetDlgItem(1015));
  progress->SetRange(0, 10);
  progress->SetPos(4);
  SetDlgItemText(1114, "text");
  CheckDlgButton(1096, BST_CHECKED);
  GetDlgItem(1142)->EnableWindow(FALSE);
  return TRUE;
}

void ControlsDialog::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  Note("slider " + std::to_string(code) + " " + std::to_string(pos));
}

BOOL ControlsDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT id = LOWORD(wParam), code = HIWORD(wParam);
  if (lParam && (code == BN_CLICKED || code == EN_CHANGE || code == CBN_SELCHANGE))
    Note("command " + std::to_string(id) + " " + std::to_string(code));
  return CDialog::OnCommand(wParam, lParam);
}

OpenDialog::OpenDialog(CWnd* parent)
    : CFileDialog(TRUE, "*.jpg", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                  "JPEG (*.jpg)|*.jpg|BMP (*.bmp)|*.bmp|All files (*.*)|*.*||", parent) {
  m_ofn.Flags |= OFN_ENABLETEMPLATE;
  m_ofn.lpTemplateName = MAKEINTRESOURCE(kPreviewPanel);
  if (!Folder().empty()) m_ofn.lpstrInitialDir = Folder().c_str();
}

BOOL OpenDialog::OnInitDialog() {
  CFileDialog::OnInitDialog();
  preview.SubclassDlgItem(303, this);
  return TRUE;
}

COLORREF OpenDialog::PreviewColour(const CString& title) {
  if (title == "red") return RGB(255, 0, 0);
  if (title == "green") return RGB(0, 160, 0);
  return RGB(0, 0, 255);
}

void OpenDialog::OnFileNameChange() {
  Note("selected " + std::string(GetFileName().View()));
  preview.RedrawWindow();
  CClientDC dc(&preview);
  CRect r;
  preview.GetClientRect(&r);
  dc.FillSolidRect(r.Width() / 4, r.Height() / 4, r.Width() / 2, r.Height() / 2, PreviewColour(GetFileTitle()));
}

// ---------------------------------------------------------------- frame

IMPLEMENT_DYNCREATE(AppFrame, CFrameWnd)
BEGIN_MESSAGE_MAP(AppFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_WM_CLOSE()
  ON_COMMAND(kControls, OnControls)
  ON_COMMAND(kModal, OnModal)
  ON_COMMAND(kOpen, OnOpen)
  ON_COMMAND(kExport, OnExport)
  ON_COMMAND(kExit, OnExit)
  ON_COMMAND(kFullScreen, OnFullScreen)
  ON_COMMAND(kFourPanes, OnFourPanes)
  ON_UPDATE_COMMAND_UI(kNever, OnUpdateNever)
END_MESSAGE_MAP()

PaneView* AppFrame::Pane(int row, int col) const { return dynamic_cast<PaneView*>(splitter.GetPane(row, col)); }

BOOL AppFrame::PreCreateWindow(CREATESTRUCT& cs) {
  cs.style = WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | FWS_ADDTOTITLE;
  return CFrameWnd::PreCreateWindow(cs);
}

int AppFrame::OnCreate(LPCREATESTRUCT cs) {
  if (CFrameWnd::OnCreate(cs) == -1) return -1;
  SetTimer(1, 400);
  return 0;
}

BOOL AppFrame::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
  if (!splitter.CreateStatic(this, 2, 2)) return FALSE;
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 2; ++c)
      if (!splitter.CreateView(r, c, RUNTIME_CLASS(PaneView), CSize(10, 10), context)) return FALSE;
  return TRUE;
}

void AppFrame::Arrange() {
  if (!splitter.m_hWnd) return;
  CRect r;
  GetClientRect(&r);
  int cx = r.Width(), cy = r.Height();
  for (int i = 0; i < 2; ++i) {
    splitter.SetRowInfo(i, layout == 1 ? cy : (cy - 11) / 2, 10);
    splitter.SetColumnInfo(i, layout == 1 ? cx : (cx - 11) / 2, 10);
  }
  splitter.RecalcLayout();
}

void AppFrame::OnSize(UINT type, int cx, int cy) {
  CFrameWnd::OnSize(type, cx, cy);
  Arrange();
}

void AppFrame::OnTimer(UINT_PTR id) {
  if (id != 1) return;
  PaneView* view = Pane(0, 0);
  if (!view) return;
  view->markerOn = !view->markerOn;
  CClientDC dc(view);
  view->DrawMarker(&dc);
}

void AppFrame::OnClose() {
  if (MessageBox("Do you really want to close this program?", "Brivanta", MB_YESNO | MB_ICONQUESTION) != IDYES) {
    Note("close refused");
    return;
  }
  Note("closing");
  CFrameWnd::OnClose();
}

void AppFrame::OnControls() {
  if (controls && controls->m_hWnd) {
    controls->DestroyWindow();
    return;
  }
  controls = std::make_unique<ControlsDialog>(this);
  controls->Create(kControlsDialog, this);
  controls->SetWindowPos(nullptr, 660, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  controls->ShowWindow(SW_SHOW);
}

void AppFrame::OnModal() {
  CDialog modal(kSmallModal, this);
  int result = modal.DoModal();
  Note("modal " + std::to_string(result));
}

void AppFrame::OnOpen() {
  OpenDialog dialog(this);
  if (dialog.DoModal() == IDOK) opened = dialog.GetPathName();
  Note("open " + std::string(opened.View()));
}

void AppFrame::OnExport() {
  CFileDialog dialog(FALSE, "*.bmp", nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                     "Bitmap (*.bmp)|*.bmp|Text (*.txt)|*.txt|Object (*.obj)|*.obj||", this);
  if (!Folder().empty()) dialog.m_ofn.lpstrInitialDir = Folder().c_str();
  int result = dialog.DoModal();
  exportFilter = static_cast<int>(dialog.m_ofn.nFilterIndex);
  if (result == IDOK) exported = dialog.GetPathName();
  Note("export " + std::to_string(result) + " " + std::string(exported.View()) + " " + std::to_string(exportFilter));
}

void AppFrame::OnExit() { brv::ExitProgram(0); }

void AppFrame::OnFullScreen() {
  layout = 1;
  Arrange();
  Note("layout 1");
}

void AppFrame::OnFourPanes() {
  layout = 4;
  Arrange();
  Note("layout 4");
}

void AppFrame::OnUpdateNever(CCmdUI* ui) { ui->Enable(FALSE); }

// ---------------------------------------------------------------- application

BOOL TestApp::InitInstance() {
  SetRegistryKey("Tervanik");
  AddDocTemplate(new CSingleDocTemplate(128, RUNTIME_CLASS(AppDoc), RUNTIME_CLASS(AppFrame), nullptr));
  CCommandLineInfo info;
  info.m_nShellCommand = CCommandLineInfo::FileNew;
  if (!ProcessShellCommand(info)) return FALSE;
  m_pMainWnd->ShowWindow(SW_SHOWMAXIMIZED);
  m_pMainWnd->UpdateWindow();
  return TRUE;
}

// ---------------------------------------------------------------- layouts

namespace {

// A 24-bit BMP file of one colour.
std::string PlainBmp(int w, int h, uint32_t rgb) {
  int row = (w * 3 + 3) / 4 * 4;
  std::string out(54 + static_cast<size_t>(row) * h, '\0');
  auto put = [&](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  out[0] = 'B', out[1] = 'M';
  put(2, static_cast<uint32_t>(out.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(w), 4);
  put(22, static_cast<uint32_t>(h), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) put(54 + static_cast<size_t>(y) * row + static_cast<size_t>(x) * 3, rgb, 3);
  return out;
}

// A 32 x 32 ICO file of one opaque 32-bit image of one colour.
std::string PlainIco(uint32_t rgb) {
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
  for (int i = 0; i < n * n; ++i) put(image, 40 + static_cast<size_t>(i) * 4, rgb | 0xFF000000u, 4);
  std::string file(6 + 16, '\0');
  put(file, 2, 1, 2);
  put(file, 4, 1, 2);
  file[6] = static_cast<char>(n), file[7] = static_cast<char>(n);
  put(file, 10, 1, 2);
  put(file, 12, 32, 2);
  put(file, 14, static_cast<uint32_t>(image.size()), 4);
  put(file, 18, 22, 4);
  return file + image;
}

}  // namespace

void InstallLayouts() {
  std::string framework = std::string(BRIVANTA_SOURCE_DIR) + "/tests/framework/data/";
  std::string own = std::string(BRIVANTA_SOURCE_DIR) + "/tests/qt/data/";
  brv::SetResourceOverlay("MENU", 128, testsupport::fileBytes(own + "qt_menu.txt"));
  brv::SetResourceOverlay("ACCELERATORS", 128, testsupport::fileBytes(own + "qt_accelerators.txt"));
  brv::SetResourceOverlay("DIALOG", kControlsDialog, testsupport::fileBytes(framework + "every_control.txt"));
  brv::SetResourceOverlay("DIALOG", kSmallModal, testsupport::fileBytes(framework + "small_modal.txt"));
  brv::SetResourceOverlay("DIALOG", kPreviewPanel, testsupport::fileBytes(framework + "preview_301.txt"));
  brv::SetResourceOverlay("BITMAP", 370, PlainBmp(20, 20, 0x808080));
  brv::SetResourceOverlay("BITMAP", 371, PlainBmp(20, 20, 0x404040));
  brv::SetResourceOverlay("ICON", 130, PlainIco(0xFF0000));
  brv::ForgetParsedLayouts();
}

}  // namespace qtapp
