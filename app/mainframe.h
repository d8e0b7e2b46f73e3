#pragma once
// The main frame: the 2 x 2 splitter with the four views, the pane layouts,
// the step pages and palettes it owns, and the command table of the program.
// It is the svc::MainFrame the layers below see (with the tool state every
// view obeys) and the svc::WorkFlow the step pages send their codes to.

#include <functional>
#include <vector>

#include "framework/toolbar.h"
#include "framework/ui.h"
#include "seams/app.h"
#include "views/faceview.h"

class CFaceDoc;
class CDlgBrushSelect;
class CDlgAge;
class CDlgCrop;
class CDlgFeatures3;
class CDlgFeatures2;
class CDlgLaserSize;
class CDlgHeadFeatures;
class CDlgFreeTool;

namespace fnd {
class fileTB;
}

// The static splitter: the user cannot drag its bars, and the wheel over it
// is swallowed.
class CFaceSplitter : public CSplitterWnd {
    DECLARE_DYNCREATE(CFaceSplitter)
public:
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;

protected:
    DECLARE_MESSAGE_MAP()
};

class CMainFrame : public CFrameWnd, public svc::MainFrame, public svc::WorkFlow {
    DECLARE_DYNCREATE(CMainFrame)
public:
    CMainFrame();
    ~CMainFrame() override;

    CToolBar m_wndToolBar;
    CToolBar m_wndToolBar2;
    CFaceSplitter m_wndSplitter;
    CDlgBrushSelect* m_dlgBrushSelect = nullptr;
    CDlgAge* ageDialog = nullptr;
    CDlgCrop* cropDialog = nullptr;
    CDlgFeatures3* curveDialog = nullptr;
    CDlgFeatures2* pointDialog = nullptr;
    CDlgLaserSize* modelDialog = nullptr;
    CDlgHeadFeatures* headPrepDialog = nullptr;
    CDlgFreeTool* m_dlgFreeTool = nullptr;

    CFaceDoc* GetDoc() const;
    // The splitter's panes: null before the splitter exists.
    CFaceView* Pane(int row, int col) const;
    // The active view as a face view (null when none).
    CFaceView* ActiveFaceView() const override;
    // Makes the view active (its pane too).
    void ActivateView(svc::FaceView* view) override;

    // svc::MainFrame
    void Model() override;
    void OnViews2() override;
    svc::PointPage* OpenPointPage() const override;
    svc::CurvePage* OpenCurvePage() const override;
    svc::PrepPage* OpenPrepPage() const override;
    svc::FreeToolPalette* FreeToolPaletteMade() const override;
    svc::BrushPalette* BrushPaletteMade() const override;
    void SendCommand(unsigned id) override;
    void DisableUndoItems() override;

    // Creation, sizing, closing.
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context) override;
    int OnCreate(LPCREATESTRUCT cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnClose() override;
    void OnTimer(UINT_PTR id) override;

    // Pages and palettes.
    void HideToolDialogs();
    void HideModelessDialogs() override;
    // The step pages open now (each its layout, 0 when closed), and those
    // opened again after a command that was cancelled or failed.
    struct StepPages {
        UINT point = 0, curve = 0, model = 0, age = 0;
    };
    StepPages OpenStepPages() const;
    void RestoreStepPages(const StepPages& pages);
    // Deletes a page whose window is gone: at once, or after the page's own
    // running handler has returned.
    void ForgetPage(CWnd* page) override;

    // The frame's section of the project file: client width and height.
    void writeOpenGL(fnd::fileTB& f) const override;
    void readOpenGL(fnd::fileTB& f) override;

    // Layouts.
    void OnViews1() override;
    void OnViews2A() override;
    void OnViews2B();
    void OnViews4();
    void OnViews4b();
    void ChangeViews(bool start) override;

    // Tool state and view commands.
    void OnSelect() override;
    void OnZoom();
    void OnRectZoom() override;
    void OnRectZoom2() override;
    void OnMove() override;
    void OnFitZoom() override;
    void OnSpline();
    void OnClone() override;
    void OnFreeTool() override;
    void OnFeatureToolHead();
    void OnUndo();
    void OnFunction(UINT id);
    void OnUpdateCommandUI(CCmdUI* ui);

    // Work flow.
    void NextFunction(int code, int unused = 0) override;
    void OnStartWork();
    void OnPhotoMode() override;
    void OnCameraMode() override;
    void OnMedalMode();
    void OnBackPicture();
    void OnCrop();
    void OnProperties();
    void OnAge() override;
    void OnPictFromOther();
    void OnPictFromTemp();
    void FeatureToolPhoto();
    void FeatureToolPhotoEx();
    void CreateAutomaticLines();
    // Step 3's model page: the model page's own opener when one is
    // installed, else a page on its layout (opened, or closed when open).
    void ShowModelPage() override;
    // A refinement whose new photo was not taken (its photo dialog or start
    // page cancelled): the modelled project and its model page again.
    void CancelRefinement() override;
    void HeadToPhotoTrafo();
    void MakeFullTexture();

    // Files and exports.
    void OnFileNew();
    void OnImportPic();
    // The head OBJ in place of a photo; false when none was read.
    bool OnImportAge();
    void OnImportTHE();
    void OnFileSaveTHE();
    void OnFileOpenFAC();
    void OnFileSaveFAC();
    void OnMruFile(UINT id);
    // A project file opened as the user opens one: on success the document
    // is named after it and the step code goes to NextFunction.
    bool OpenProject(const CString& path, int code);
    void OnExportPhoto();
    void OnModifyPic();
    void OnNotes() override;
    void OnSuperMenu();
    void OnStat() override;
    // The model page over an opened stage-2500 project (nothing while it is
    // open).
    void OpenModelPage() override;

    // The four kinds of pane, in the order the layouts refit them.
    enum PaneKind { kOrigPhoto, kOrig2D, kEdit3D, kEdit2D3D };

protected:
    // The run-time class a pane of that kind is made from.
    virtual const CRuntimeClass* PaneClass(PaneKind kind) const;
    LRESULT OnDeletePages(WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()

private:
    // Gives the rows and columns their sizes (one pane of a row or column
    // when single) and lays the splitter out; nothing while it is hidden.
    void sizePanes(int activeRow, int activeCol, bool singleRow, bool singleCol);
    void layoutOne(bool refit);
    void layoutTwo(int row, bool refit);
    void refitAll();
    bool createPane(int row, int col, PaneKind kind);
    bool toolChangeAllowed();
    void zoomTool(int t);
    void hidePalette(CWnd* palette);
    // Destroys a page's window and deletes it (later when one of its own
    // handlers is running).
    void destroyPage(CWnd* page);
    // The step pages (app/mainframe_flow.cpp): an open page is closed, its
    // pointer cleared first (true then); a page is opened with the layout,
    // made first when there is none, or closed when it is open.
    template <class Page>
    bool closeOpenPage(Page*& page);
    template <class Page, class Make>
    void togglePage(Page*& page, Make make, UINT layoutId);
    bool forgetPointer(CWnd* page);
    void deleteLater(CWnd* page);
    std::vector<CWnd*> doomedPages_;
    bool deletePosted_ = false;
};

// Posted to the frame to delete pages whose windows are gone.
inline constexpr UINT WM_DELETE_PAGES = WM_USER + 0x120;
