#include "app/mainframe.h"

#include "app/facedoc.h"
#include "app/ids.h"
#include "dialogs/dlgage.h"
#include "dialogs/dlgbrushselect.h"
#include "dialogs/dlgcrop.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "dialogs/dlgfreetool.h"
#include "dialogs/dlgheadfeatures.h"
#include "dialogs/dlglasersize.h"
#include "views/faceview.h"

IMPLEMENT_DYNCREATE(CFaceSplitter, CSplitterWnd)

BEGIN_MESSAGE_MAP(CFaceSplitter, CSplitterWnd)
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEWHEEL()
END_MESSAGE_MAP()

void CFaceSplitter::OnMouseMove(UINT, CPoint) {}
void CFaceSplitter::OnLButtonDown(UINT, CPoint) {}
BOOL CFaceSplitter::OnMouseWheel(UINT, short, CPoint) { return TRUE; }

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
END_MESSAGE_MAP()

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() = default;

CFaceDoc* CMainFrame::GetDoc() const { return actdoc; }
CFaceView* CMainFrame::Pane(int, int) const { return nullptr; }
CFaceView* CMainFrame::ActiveFaceView() const { return nullptr; }
void CMainFrame::ActivateView(CFaceView*) {}
void CMainFrame::Model() {}
void CMainFrame::OnViews2() {}
BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) { return CFrameWnd::PreCreateWindow(cs); }
BOOL CMainFrame::PreTranslateMessage(MSG* msg) { return CFrameWnd::PreTranslateMessage(msg); }
BOOL CMainFrame::OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) {
    return CFrameWnd::OnCreateClient(cs, context);
}
int CMainFrame::OnCreate(LPCREATESTRUCT cs) { return CFrameWnd::OnCreate(cs); }
void CMainFrame::OnSize(UINT type, int cx, int cy) { CFrameWnd::OnSize(type, cx, cy); }
void CMainFrame::OnClose() { CFrameWnd::OnClose(); }
void CMainFrame::OnTimer(UINT_PTR) {}
void CMainFrame::HideToolDialogs() {}
void CMainFrame::HideModelessDialogs() {}
void CMainFrame::ForgetPage(CWnd*) {}
void CMainFrame::writeOpenGL(fnd::fileTB&) const {}
void CMainFrame::readOpenGL(fnd::fileTB&) {}
void CMainFrame::OnViews1() {}
void CMainFrame::OnViews2A() {}
void CMainFrame::OnViews2B() {}
void CMainFrame::OnViews4() {}
void CMainFrame::OnViews4b() {}
void CMainFrame::ChangeViews(bool) {}
void CMainFrame::OnSelect() {}
void CMainFrame::OnZoom() {}
void CMainFrame::OnRectZoom() {}
void CMainFrame::OnRectZoom2() {}
void CMainFrame::OnMove() {}
void CMainFrame::OnFitZoom() {}
void CMainFrame::OnSpline() {}
void CMainFrame::OnClone() {}
void CMainFrame::OnFreeTool() {}
void CMainFrame::OnFeatureToolHead() {}
void CMainFrame::OnUndo() {}
void CMainFrame::OnFunction(UINT) {}
void CMainFrame::OnUpdateCommandUI(CCmdUI*) {}
void CMainFrame::NextFunction(int, int) {}
void CMainFrame::OnStartWork() {}
void CMainFrame::OnPhotoMode() {}
void CMainFrame::OnCameraMode() {}
void CMainFrame::OnMedalMode() {}
void CMainFrame::OnBackPicture() {}
void CMainFrame::OnCrop() {}
void CMainFrame::OnProperties() {}
void CMainFrame::OnAge() {}
void CMainFrame::OnPictFromOther() {}
void CMainFrame::OnPictFromTemp() {}
void CMainFrame::FeatureToolPhoto() {}
void CMainFrame::FeatureToolPhotoEx() {}
void CMainFrame::CreateAutomaticLines() {}
void CMainFrame::HeadToPhotoTrafo() {}
void CMainFrame::MakeFullTexture() {}
void CMainFrame::OnFileNew() {}
void CMainFrame::OnImportPic() {}
void CMainFrame::OnImportAge() {}
void CMainFrame::OnImportTHE() {}
void CMainFrame::OnFileSaveTHE() {}
void CMainFrame::OnFileOpenFAC() {}
void CMainFrame::OnFileSaveFAC() {}
void CMainFrame::OnMruFile(UINT) {}
void CMainFrame::OnExportPhoto() {}
void CMainFrame::OnModifyPic() {}
void CMainFrame::OnNotes() {}
void CMainFrame::OnSuperMenu() {}
void CMainFrame::OnStat() {}
LRESULT CMainFrame::OnDeletePages(WPARAM, LPARAM) { return 0; }
void CMainFrame::sizePanes(int, int, bool, bool) {}
void CMainFrame::refitAll() {}
bool CMainFrame::toolChangeAllowed() { return true; }
void CMainFrame::zoomTool(int) {}
