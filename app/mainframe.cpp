#include "app/mainframe.h"

#include <algorithm>
#include <climits>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "dialogs/dlgage.h"
#include "dialogs/dlgbrushselect.h"
#include "dialogs/dlgcrop.h"
#include "dialogs/dlgfeatures2.h"
#include "dialogs/dlgfeatures3.h"
#include "dialogs/dlgfreetool.h"
#include "dialogs/dlgheadfeatures.h"
#include "dialogs/dlglasersize.h"
#include "dialogs/dlgnotes.h"
#include "document/ids.h"
#include "fitting/headtophoto.h"
#include "fitting/texture.h"
#include "foundation/filetb.h"
#include "foundation/numeric.h"
#include "framework/window_state.h"
#include "views/faceview.h"
#include "views/viewclasses.h"
#include "views/viewedit3d.h"

// ---------------------------------------------------------------- splitter

IMPLEMENT_DYNCREATE(CFaceSplitter, CSplitterWnd)

BEGIN_MESSAGE_MAP(CFaceSplitter, CSplitterWnd)
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEWHEEL()
END_MESSAGE_MAP()

void CFaceSplitter::OnMouseMove(UINT, CPoint) {}
void CFaceSplitter::OnLButtonDown(UINT, CPoint) {}
BOOL CFaceSplitter::OnMouseWheel(UINT, short, CPoint) { return TRUE; }

// ---------------------------------------------------------------- frame

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_CLOSE()
  ON_WM_TIMER()
  ON_MESSAGE(WM_DELETE_PAGES, OnDeletePages)
  ON_COMMAND(ID_FILE_NEW, OnFileNew)
  ON_COMMAND(ID_UNDO, OnUndo)
  ON_COMMAND(ID_REDO, OnUndo)
  ON_COMMAND(ID_START_WORK, OnStartWork)
  ON_COMMAND(ID_IMPORT_PIC, OnImportPic)
  ON_COMMAND(ID_IMPORT_THE, OnImportTHE)
  ON_COMMAND(ID_FILE_SAVE_THE, OnFileSaveTHE)
  ON_COMMAND(ID_FILE_OPEN_FAC, OnFileOpenFAC)
  ON_COMMAND(ID_FILE_SAVE_FAC, OnFileSaveFAC)
  ON_COMMAND(ID_MODIFY_PIC, OnModifyPic)
  ON_COMMAND(ID_STAT, OnStat)
  ON_COMMAND(ID_NOTES, OnNotes)
  ON_COMMAND(ID_FEATURE_TOOL_HEAD, OnFeatureToolHead)
  ON_COMMAND(ID_VIEWS1, OnViews1)
  ON_COMMAND(ID_VIEWS2, OnViews2)
  ON_COMMAND(ID_VIEWS4B, OnViews4b)
  ON_COMMAND(ID_SELECT, OnSelect)
  ON_COMMAND(ID_ZOOM, OnZoom)
  ON_COMMAND(ID_RECT_ZOOM, OnRectZoom)
  ON_COMMAND(ID_RECT_ZOOM2, OnRectZoom2)
  ON_COMMAND(ID_MOVE, OnMove)
  ON_COMMAND(ID_FIT_ZOOM, OnFitZoom)
  ON_COMMAND(ID_BACK_PICTURE, OnBackPicture)
  ON_COMMAND(ID_SPLINE, OnSpline)
  ON_COMMAND(ID_PHOTO_MODE, OnPhotoMode)
  ON_COMMAND(ID_CAMERA_MODE, OnCameraMode)
  ON_COMMAND(ID_MEDAL_MODE, OnMedalMode)
  ON_COMMAND(ID_CROP, OnCrop)
  ON_COMMAND(ID_PROPERTIES, OnProperties)
  ON_COMMAND_RANGE(ID_FUNCTION1, ID_FUNCTION5, OnFunction)
  ON_COMMAND_RANGE(ID_FUNCTION6, ID_FUNCTION10, OnFunction)
  ON_COMMAND_RANGE(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE16, OnMruFile)
  ON_COMMAND(ID_SUPER_MENU, OnSuperMenu)
  ON_COMMAND(ID_EXPORT_PHOTO, OnExportPhoto)
  ON_COMMAND(ID_PICT_FROM_OTHER, OnPictFromOther)
  ON_COMMAND(ID_PICT_FROM_TEMP, OnPictFromTemp)
  ON_UPDATE_COMMAND_UI(ID_VIEWS1, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_VIEWS2, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_VIEWS4B, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_SELECT, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_ZOOM, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_RECT_ZOOM, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_RECT_ZOOM2, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_MOVE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_Z_SCALE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_SPLINE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_BRIGHTNESS, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_DEPTH, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_SHOW_FEATURES, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_CURVE_PAGE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_BACK_PICTURE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_PHOTO_MODE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_CAMERA_MODE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_MEDAL_MODE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_EXPORT_COIN, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_PROPERTIES, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_FILE_SAVE_FAC, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_ROTATE, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_COLOURED, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_TEXT_SETTINGS, OnUpdateCommandUI)
  ON_UPDATE_COMMAND_UI(ID_NOTES, OnUpdateCommandUI)
END_MESSAGE_MAP()

CMainFrame::CMainFrame() {
    svc::setMainFrame(this);
    svc::setWorkFlow(this);
    svc::setStartPage(&StartPageService());
}

CMainFrame::~CMainFrame() {
    for (CWnd* page : doomedPages_) delete page;
    doomedPages_.clear();
    delete cropDialog;
    delete curveDialog;
    delete pointDialog;
    delete headPrepDialog;
    delete modelDialog;
    delete ageDialog;
    delete m_dlgFreeTool;
    delete m_dlgBrushSelect;
    if (svc::detail::mainFrame == this) svc::setMainFrame(nullptr);
    if (svc::detail::workFlow == this) svc::setWorkFlow(nullptr);
    if (svc::detail::startPage == &StartPageService()) svc::setStartPage(nullptr);
}

CFaceDoc* CMainFrame::GetDoc() const { return actdoc; }

CFaceView* CMainFrame::Pane(int row, int col) const {
    if (!m_wndSplitter.m_hWnd) return nullptr;
    return dynamic_cast<CFaceView*>(m_wndSplitter.GetPane(row, col));
}

CFaceView* CMainFrame::ActiveFaceView() const { return dynamic_cast<CFaceView*>(GetActiveView()); }

void CMainFrame::ActivateView(svc::FaceView* view) {
    if (auto* pane = dynamic_cast<CFaceView*>(view)) SetActiveView(pane);
}

void CMainFrame::SendCommand(unsigned id) { SendMessage(WM_COMMAND, id, 0); }

void CMainFrame::DisableUndoItems() {
    if (CMenu* menu = GetMenu()) {
        menu->EnableMenuItem(ID_UNDO, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
        menu->EnableMenuItem(ID_REDO, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
    }
}

const CRuntimeClass* CMainFrame::PaneClass(PaneKind kind) const {
    switch (kind) {
        case kOrigPhoto: return ViewOrigPhotoClass();
        case kOrig2D: return ViewOrig2DClass();
        case kEdit3D: return ViewEdit3DClass();
        default: return ViewEdit2D3DClass();
    }
}

// ---------------------------------------------------------------- creation

BOOL CMainFrame::PreCreateWindow(CREATESTRUCT& cs) {
    cs.style = WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | FWS_ADDTOTITLE;
    return CFrameWnd::PreCreateWindow(cs);
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg) { return CFrameWnd::PreTranslateMessage(msg); }

bool CMainFrame::createPane(int row, int col, PaneKind kind) {
    CCreateContext context;
    context.m_pCurrentDoc = GetDoc();
    context.m_pCurrentFrame = this;
    return m_wndSplitter.CreateView(row, col, PaneClass(kind), CSize(10, 10), &context) != FALSE;
}

BOOL CMainFrame::OnCreateClient(LPCREATESTRUCT, CCreateContext*) {
    if (!m_wndSplitter.CreateStatic(this, 2, 2, WS_CHILD | WS_VISIBLE, AFX_IDW_PANE_FIRST)) return FALSE;
    return createPane(0, 0, kOrigPhoto) && createPane(1, 0, kOrig2D) && createPane(1, 1, kEdit2D3D) &&
           createPane(0, 1, kEdit3D);
}

int CMainFrame::OnCreate(LPCREATESTRUCT cs) {
    CWinApp* app = AfxGetApp();
    if (app) {
        // a counter at its top stays there rather than wrapping round
        const int count = int(app->GetProfileInt("Settings", "Count", 0));
        app->WriteProfileInt("Settings", "Count", count < INT_MAX ? count + 1 : count);
    }
    if (CFrameWnd::OnCreate(cs) == -1) return -1;
    if (CMenu* bar = GetMenu()) {
        bool editor = svc::app().state().pictureEditor != 0;
        for (int i = int(bar->GetMenuItemCount()) - 1; i >= 1; --i) {
            CString text;
            bar->GetMenuString(UINT(i), text, MF_BYPOSITION);
            if (editor || text.Left(1) == "_") bar->DeleteMenu(UINT(i), MF_BYPOSITION);
        }
    }
    DrawMenuBar();
    SetTimer(kStartTimer, kStartTimerDelay);
    return 0;
}

void CMainFrame::OnSize(UINT type, int cx, int cy) {
    CFrameWnd::OnSize(type, cx, cy);
    if (layout == 2) OnViews2();
    // Layout 1 is laid out again for the new size (OnViews1 alone would
    // stop at the layout it already has).
    if (layout == 1) layoutOne(true);
}

void CMainFrame::OnClose() {
    if (MessageBox("Do you really want to close this program?", "Warning", MB_YESNO) != IDYES) return;
    CFrameWnd::OnClose();
}

// ---------------------------------------------------------------- layouts

void CMainFrame::sizePanes(int activeRow, int activeCol, bool singleRow, bool singleCol) {
    if (!m_wndSplitter.m_hWnd || !m_wndSplitter.IsWindowVisible()) return;
    CRect client;
    m_wndSplitter.GetClientRect(&client);
    const int w = client.Width(), h = client.Height();
    auto size = [](int v) { return std::max(0, v); };
    for (int r = 0; r < 2; ++r)
        m_wndSplitter.SetRowInfo(r, singleRow ? (r == activeRow ? size(h - 11) : 0) : size((h - 11) / 2), 10);
    for (int c = 0; c < 2; ++c)
        m_wndSplitter.SetColumnInfo(c, singleCol ? (c == activeCol ? size(w - 11) : 0) : size((w - 11) / 2), 10);
    m_wndSplitter.RecalcLayout();
}

void CMainFrame::refitAll() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>(),
                         doc->GetViewEdit3D<CFaceView>(), doc->GetViewEdit2D3D<CFaceView>()})
        if (v) v->FitInView();
}

void CMainFrame::layoutOne(bool refit) {
    layout = 1;
    int row = 0, col = 0;
    if (m_wndSplitter.m_hWnd && !m_wndSplitter.GetActivePane(&row, &col)) row = col = 0;
    sizePanes(row, col, true, true);
    if (refit) refitAll();
}

void CMainFrame::OnViews1() {
    if (layout == 1) return;
    layoutOne(true);
}

void CMainFrame::layoutTwo(int row, bool refit) {
    layout = 2;
    if (m_wndSplitter.m_hWnd) {
        int r = -1, c = -1;
        if (!m_wndSplitter.GetActivePane(&r, &c) || r != row) m_wndSplitter.SetActivePane(row, 1);
    }
    sizePanes(row, 0, true, false);
    if (refit) refitAll();
}

void CMainFrame::OnViews2A() { layoutTwo(0, true); }

void CMainFrame::OnViews2B() { layoutTwo(1, true); }

void CMainFrame::OnViews2() {
    CFaceDoc* doc = GetDoc();
    if (doc && doc->stage >= 2500)
        OnViews2A();
    else
        OnViews2B();
}

void CMainFrame::OnViews4() {
    layout = 4;
    sizePanes(0, 0, false, false);
}

void CMainFrame::OnViews4b() {
    OnViews4();
    refitAll();
}

void CMainFrame::ChangeViews(bool start) {
    if (!m_wndSplitter.m_hWnd) return;
    for (int row : {0, 1}) {
        CFaceView* old = Pane(row, 0);
        if (old == lastActiveView) lastActiveView = nullptr;
        if (old == lockedView) lockedView = nullptr;
        m_wndSplitter.DeleteView(row, 0);
    }
    createPane(0, 0, start ? kOrigPhoto : kOrig2D);
    createPane(1, 0, start ? kOrig2D : kOrigPhoto);
    m_wndSplitter.SetActivePane(0, 0);
    m_wndSplitter.RecalcLayout();
    for (int row : {0, 1})
        if (CFaceView* v = Pane(row, 0)) v->FitInView();
}

void CMainFrame::writeOpenGL(fnd::fileTB& f) const {
    CRect client;
    if (m_hWnd) GetClientRect(&client);
    int w = client.Width(), h = client.Height();
    f << w << h;
}

void CMainFrame::readOpenGL(fnd::fileTB& f) {
    int w = 0, h = 0;
    f >> w >> h;
}

// ---------------------------------------------------------------- pages

bool CMainFrame::forgetPointer(CWnd* page) {
    bool held = false;
    auto clear = [&](auto*& member) {
        if (member && static_cast<CWnd*>(member) == page) {
            member = nullptr;
            held = true;
        }
    };
    clear(ageDialog);
    clear(cropDialog);
    clear(curveDialog);
    clear(pointDialog);
    clear(modelDialog);
    clear(headPrepDialog);
    return held;
}

void CMainFrame::deleteLater(CWnd* page) {
    doomedPages_.push_back(page);
    if (!deletePosted_ && m_hWnd) deletePosted_ = PostMessage(WM_DELETE_PAGES) != FALSE;
}

namespace {
// The page while its window exists, as the interface the views call.
template <class Calls, class Page>
Calls* openPage(Page* page) {
    if (!page || !::IsWindow(page->m_hWnd)) return nullptr;
    return dynamic_cast<Calls*>(static_cast<CWnd*>(page));
}
}  // namespace

svc::PointPage* CMainFrame::OpenPointPage() const { return openPage<svc::PointPage>(pointDialog); }
svc::CurvePage* CMainFrame::OpenCurvePage() const { return openPage<svc::CurvePage>(curveDialog); }
svc::PrepPage* CMainFrame::OpenPrepPage() const { return openPage<svc::PrepPage>(headPrepDialog); }
svc::FreeToolPalette* CMainFrame::FreeToolPaletteMade() const { return m_dlgFreeTool; }
svc::BrushPalette* CMainFrame::BrushPaletteMade() const { return m_dlgBrushSelect; }

void CMainFrame::ForgetPage(CWnd* page) {
    // Called as the page's window goes: its own messages are still running.
    if (page && forgetPointer(page)) deleteLater(page);
}

namespace {
// Whether a message of the window (or of one of its children) is being
// handled now.
bool handling(HWND window) {
    if (!window) return false;
    for (const MSG& m : brv::State().current)
        if (m.hwnd == window || CWnd::FromHandle(window)->IsChild(CWnd::FromHandle(m.hwnd))) return true;
    return false;
}
}  // namespace

void CMainFrame::destroyPage(CWnd* page) {
    bool running = handling(page->m_hWnd);
    page->DestroyWindow();
    if (running)
        deleteLater(page);
    else
        delete page;
}

LRESULT CMainFrame::OnDeletePages(WPARAM, LPARAM) {
    deletePosted_ = false;
    std::vector<CWnd*> pages;
    pages.swap(doomedPages_);
    for (CWnd* page : pages) delete page;
    return 0;
}

void CMainFrame::hidePalette(CWnd* palette) {
    if (palette && palette->m_hWnd) palette->DestroyWindow();
}

void CMainFrame::HideToolDialogs() {
    hidePalette(m_dlgFreeTool);
    hidePalette(m_dlgBrushSelect);
    freeTool = 0;
}

// ---------------------------------------------------------------- tools

bool CMainFrame::toolChangeAllowed() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return true;
    for (CFaceView* v : {doc->GetViewOrig2D<CFaceView>(), doc->GetViewEdit3D<CFaceView>()})
        if (v && !v->CanChangeTool(true)) return false;
    return true;
}

void CMainFrame::OnSelect() {
    if (!toolChangeAllowed()) return;
    tool = 1;
    toolMode = 0;
}

void CMainFrame::zoomTool(int t) {
    previousTool = tool;
    previousToolMode = toolMode;
    if (toolMode == 0)
        tool = t;
    else
        tool = tool == t ? 0 : t;
}

void CMainFrame::OnZoom() { zoomTool(2); }
void CMainFrame::OnRectZoom() { zoomTool(3); }
void CMainFrame::OnRectZoom2() { zoomTool(4); }
void CMainFrame::OnMove() { zoomTool(5); }

void CMainFrame::OnFitZoom() { refitAll(); }

void CMainFrame::OnSpline() {
    if (!toolChangeAllowed()) return;
    CFaceView* active = ActiveFaceView();
    if (active && !active->featureDisplay)
        if (CFaceDoc* doc = GetDoc())
            for (CFaceView* v : {doc->GetViewOrigPhoto<CFaceView>(), doc->GetViewOrig2D<CFaceView>(),
                                 doc->GetViewEdit3D<CFaceView>(), doc->GetViewEdit2D3D<CFaceView>()})
                if (v) {
                    v->featureDisplay = true;
                    if (v->m_hWnd) v->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
                }
    toolMode = 1;
    tool = 0;
}

void CMainFrame::OnClone() {
    if (toolMode == 4) {
        toolMode = 0;
        tool = 1;
        hidePalette(m_dlgBrushSelect);
        return;
    }
    HideToolDialogs();
    toolMode = 4;
    tool = 0;
    if (!m_dlgBrushSelect) m_dlgBrushSelect = new CDlgBrushSelect(this);
    if (m_dlgBrushSelect->Create(IDD_BRUSHSELECT, this)) m_dlgBrushSelect->ShowWindow(SW_SHOW);
    if (CFaceDoc* doc = GetDoc())
        if (auto* v = doc->GetViewEdit3D<CViewEdit3D>()) v->cloneState = -1;
}

void CMainFrame::OnFreeTool() {
    if (toolMode == 5) {
        toolMode = 0;
        tool = 1;
        hidePalette(m_dlgFreeTool);
        freeTool = 0;
        return;
    }
    HideToolDialogs();
    toolMode = 5;
    tool = 0;
    freeTool = 1;
    if (!m_dlgFreeTool) m_dlgFreeTool = new CDlgFreeTool(this);
    if (m_dlgFreeTool->Create(IDD_DLGFREETOOL, this)) m_dlgFreeTool->ShowWindow(SW_SHOW);
}

void CMainFrame::OnUndo() {
    if (CFaceDoc* doc = GetDoc()) doc->CheckPoint(0);
}

void CMainFrame::OnFunction(UINT) {}

void CMainFrame::OnUpdateCommandUI(CCmdUI* ui) {
    CFaceDoc* doc = GetDoc();
    const int stage = doc ? doc->stage : 0;
    CFaceView* active = ActiveFaceView();
    switch (ui->m_nID) {
        case ID_VIEWS1: ui->SetCheck(layout == 1); break;
        case ID_VIEWS2: ui->SetCheck(layout == 2); break;
        case ID_SELECT: ui->SetCheck(tool == 1); break;
        case ID_ZOOM:
        case ID_RECT_ZOOM:
        case ID_RECT_ZOOM2:
        case ID_MOVE: {
            int t = ui->m_nID == ID_ZOOM ? 2 : ui->m_nID == ID_RECT_ZOOM ? 3 : ui->m_nID == ID_RECT_ZOOM2 ? 4 : 5;
            ui->SetCheck(tool == t);
            ui->Enable(stage > 0);
            break;
        }
        case ID_SPLINE: ui->SetCheck(toolMode == 1); break;
        case ID_SHOW_FEATURES:
            ui->SetCheck(active && active->featureDisplay);
            ui->Enable(stage > 0 && active && (active->IsViewEdit2D3D() || active->IsViewOrig2D()));
            break;
        case ID_CURVE_PAGE: ui->SetCheck(curveDialog && curveDialog->m_hWnd); break;
        case ID_BACK_PICTURE: {
            CFaceView* overlay = doc ? doc->GetViewEdit2D3D<CFaceView>() : nullptr;
            ui->SetCheck(overlay && overlay->ShowsBackground());
            break;
        }
        case ID_PHOTO_MODE:
            ui->SetCheck(stage <= 1000);
            ui->Enable(stage > 0);
            break;
        case ID_CAMERA_MODE:
            ui->SetCheck(stage > 1000);
            ui->Enable(stage > 0);
            break;
        case ID_MEDAL_MODE:
            ui->SetCheck(stage > 2500);
            ui->Enable(stage > 1000);
            break;
        case ID_COLOURED: {
            CFaceView* v =
                doc ? (stage > 2500 ? doc->GetViewEdit3D<CFaceView>() : doc->GetViewOrig2D<CFaceView>()) : nullptr;
            ui->SetCheck(v && !v->PlainColour());
            ui->Enable(stage > 0);
            break;
        }
        case ID_FILE_SAVE_FAC:
        case ID_NOTES:
        case ID_TEXT_SETTINGS: ui->Enable(stage > 0); break;
        case ID_EXPORT_COIN:
        case ID_Z_SCALE: ui->Enable(FALSE); break;
        default: break;  // 32929, 32911, 32912, 32940, 32942: enabled, no check mark
    }
}

// ---------------------------------------------------------------- work flow

void CMainFrame::OnTimer(UINT_PTR id) {
    if (id != kStartTimer) return;
    KillTimer(kStartTimer);
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    ActivateView(doc->GetViewOrig2D<CFaceView>());
    OnViews1();
    const svc::AppState& app = svc::app().state();
    CFaceApp* faceApp = FaceApp();
    if (app.dazMode) {
        OnImportPic();
    } else if (app.pictureEditor) {
        doc->LoadPicFile("");
    } else if (faceApp && !faceApp->commandFile.IsEmpty()) {
        // Named only when it has read: a missing file leaves the new project.
        OpenProject(faceApp->commandFile, 12);
    } else {
        OnImportPic();
    }
}

// The step handlers of the work flow are in mainframe_flow.cpp.

void CMainFrame::HeadToPhotoTrafo() { ::HeadToPhotoTrafo(); }

void CMainFrame::MakeFullTexture() {
    ::MakeFullTexture();
    if (CFaceDoc* doc = GetDoc()) doc->carried.NewTexture();
}

void CMainFrame::OnStat() {
    if (CFaceApp* app = FaceApp()) app->OnShortAbout(true);
}
