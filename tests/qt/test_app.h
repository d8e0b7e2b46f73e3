#pragma once
// A test application built from the framework, run under any backend: a
// maximised frame with a menu and accelerators, a 2 x 2 splitter of drawing
// views (one pane in the full-screen layout), a flashing marker on a 400 ms
// timer, a modeless dialog with every kind of control, a modal dialog, an
// open dialog with a preview panel, an export dialog with three filters and
// a close box that asks first. What the program sees is noted in Log().
#include <memory>
#include <string>
#include <vector>

#include "framework/ui.h"

namespace qtapp {

std::vector<std::string>& Log();
// The folder the file dialogs start in (empty: the current one).
std::string& Folder();
void Note(const std::string& line);

// Command ids of the menu and accelerators.
enum : UINT {
  kOpen = 32795,
  kExport = 32796,
  kExit = 32821,
  kControls = 32928,
  kModal = 32929,
  kNever = 32930,
  kFullScreen = 32940,
  kFourPanes = 32941,
};
// Layout ids.
enum : int { kControlsDialog = 4000, kSmallModal = 4002, kPreviewPanel = 301 };

class AppDoc : public CDocument {
  DECLARE_DYNCREATE(AppDoc)
};

// A view filled with its colour. An activating click is swallowed; the
// wheel zooms by 1.25 a notch; the left button drags an inverted rubber
// rectangle; the first pane shows a marker square that the frame's timer
// flashes.
class PaneView : public CView {
  DECLARE_DYNCREATE(PaneView)
 public:
  PaneView(AppDoc*, int pane);
  COLORREF colour;
  int pane;
  double zoom = 1.0;
  bool markerOn = false;
  bool dragging = false;
  CPoint start, last;
  static CRect MarkerRect() { return CRect(20, 20, 36, 36); }

  void OnDraw(CDC* dc) override;
  int OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message) override;
  void OnLButtonDown(UINT flags, CPoint p) override;
  void OnMouseMove(UINT flags, CPoint p) override;
  void OnLButtonUp(UINT flags, CPoint p) override;
  BOOL OnMouseWheel(UINT flags, short delta, CPoint p) override;
  void DrawMarker(CDC* dc);
  void Rubber(CPoint a, CPoint b);
  DECLARE_MESSAGE_MAP()
};

class ControlsDialog : public CDialog {
 public:
  explicit ControlsDialog(CWnd* parent) : CDialog(kControlsDialog, parent) {}
  BOOL OnInitDialog() override;
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnOK() override { DestroyWindow(); }
  void OnCancel() override { DestroyWindow(); }
  DECLARE_MESSAGE_MAP()
};

// The open dialog: its preview panel shows a colour chosen by the name.
class OpenDialog : public CFileDialog {
 public:
  explicit OpenDialog(CWnd* parent);
  CStatic preview;
  BOOL OnInitDialog() override;
  void OnFileNameChange() override;
  static COLORREF PreviewColour(const CString& title);
};

class AppFrame : public CFrameWnd {
  DECLARE_DYNCREATE(AppFrame)
 public:
  CSplitterWnd splitter;
  std::unique_ptr<ControlsDialog> controls;
  CString opened;
  CString exported;
  int exportFilter = 0;
  int layout = 4;  // panes shown

  PaneView* Pane(int row, int col) const;
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  int OnCreate(LPCREATESTRUCT cs) override;
  BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnTimer(UINT_PTR id) override;
  void OnClose() override;
  void Arrange();
  void OnControls();
  void OnModal();
  void OnOpen();
  void OnExport();
  void OnExit();
  void OnFullScreen();
  void OnFourPanes();
  void OnUpdateNever(CCmdUI* ui);
  DECLARE_MESSAGE_MAP()
};

class TestApp : public CWinApp {
 public:
  TestApp() : CWinApp("Brivanta") {}
  BOOL InitInstance() override;
  AppFrame* Frame() const { return dynamic_cast<AppFrame*>(m_pMainWnd); }
};

// Lays the application's layouts (menu, keys, dialogs, pictures) over the
// resources.
void InstallLayouts();

}  // namespace qtapp
