#include "dialogs/dlgage.h"

#include <string>

#include "document/facedoc.h"
#include "dialogs/dlgset.h"
#include "document/ids.h"
#include "fitting/kernel3d.h"
#include "foundation/numeric.h"
#include "model/head.h"
#include "seams/app.h"
#include "views/viewedit3d.h"

namespace {
constexpr int kSliderIds[morph::kSliderCount] = {1087, 1102, 1103, 1090};
}  // namespace

BEGIN_MESSAGE_MAP(CDlgAge, CDialog)
  ON_BN_CLICKED(1129, OnRevert)
  ON_BN_CLICKED(1107, OnDots)
  ON_BN_CLICKED(1111, OnUndo)
  ON_WM_HSCROLL()
END_MESSAGE_MAP()

CDlgAge::CDlgAge(CWnd* parent) : CDlgAge(IDD_AGE, parent) {}

CDlgAge::CDlgAge(UINT layout, CWnd* parent) : CDialog(layout, parent) {}

CDlgAge::~CDlgAge() {
    if (m_hWnd) DestroyWindow();
}

BOOL CDlgAge::Open(CWnd* parent) { return Create(IDD_AGE, parent); }

CFaceDoc* CDlgAge::doc() const { return actdoc; }

head3* CDlgAge::head() const {
    CFaceDoc* d = doc();
    return d && d->kernel3D ? d->kernel3D->head : nullptr;
}

CViewEdit3D* CDlgAge::view3D() const {
    CFaceDoc* d = doc();
    return d ? d->GetViewEdit3D<CViewEdit3D>() : nullptr;
}

void CDlgAge::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    for (int k = 0; k < morph::kSliderCount; ++k) {
        DDX_Control(dx, kSliderIds[k], m_Sliders[k]);
        DDX_Slider(dx, kSliderIds[k], m_Pos[k]);
    }
}

BOOL CDlgAge::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CWnd* parent = GetParent()) {
        CPoint corner(0, 0);
        parent->ClientToScreen(&corner);
        if (GetStyle() & WS_CHILD) parent->ScreenToClient(&corner);
        SetWindowPos(&wndTop, corner.x + 2, corner.y + 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    }
    for (int k = 0; k < morph::kSliderCount; ++k) {
        m_Sliders[k].SetRange(0, morph::kAgePageMaximum);
        m_Sliders[k].SetTicFreq(1);
    }
    head3* h = head();
    CFaceDoc* d = doc();
    if (h && d) {
        CWaitCursor wait;
        core_.Open(*h, d->agePicture, m_Pos);
    }
    UpdateData(FALSE);
    if (h && d) RefreshHead(false);
    return TRUE;
}

void CDlgAge::RefreshHead(bool textured) {
    CFaceDoc* d = doc();
    if (!d) return;
    CWaitCursor wait;
    d->stage = 2500;
    if (CViewEdit3D* v = view3D()) {
        if (textured) v->displayMode = svc::ViewEdit3D::kTextured;
        v->InitializeModelForOpenGL();
        v->UploadTexture();
        v->Redraw();
    }
}

void CDlgAge::OnHScroll(UINT code, UINT, CScrollBar*) {
    head3* h = head();
    if (!h || !doc()) return;
    UpdateData(TRUE);
    CWaitCursor wait;
    auto regions = [this](std::span<const morph::RegionStep> steps, int delta) {
        CDlgSet set(this);
        set.CreateHidden(this);
        set.Run(steps, delta);
    };
    const morph::SliderDecision d = core_.Scroll(*h, int(code), m_Pos, false, regions);
    if (d.action == morph::SliderAction::kNothing) return;
    UpdateData(FALSE);
    if (d.action == morph::SliderAction::kApply) RefreshHead(true);
}

void CDlgAge::OnUndo() {
    head3* h = head();
    if (!h || !doc()) return;
    if (!core_.Undo(*h, m_Pos)) return;
    UpdateData(FALSE);
    RefreshHead(false);
}

void CDlgAge::OnRevert() {
    head3* h = head();
    if (!h || !doc()) return;
    core_.Revert(*h, m_Pos);
    UpdateData(FALSE);
    RefreshHead(false);
}

void CDlgAge::OnDots() {
    CFaceDoc* d = doc();
    if (head3* h = head()) core_.LoadStart(*h);
    RefreshHead(false);
    CDialog::OnCancel();
    DestroyWindow();
    if (d) d->stage = 2000;
    svc::sendStep(9);
}

void CDlgAge::OnOK() {
    CFaceDoc* d = doc();
    UpdateData(TRUE);
    RefreshHead(false);
    if (d) {
        const svc::AppState& app = svc::app().state();
        const std::string path = fnd::daz3dfile(app.programFolder, app.dazMode);
        // The placeholder of an age map that could not be built is no bump
        // map: it stays out of the export.
        const bool built = core_.ageMapBuilt();
        CWinBmp placeholder;
        if (!built) {
            placeholder = d->agePicture;
            d->agePicture.Create(0, 0, 32, false);
        }
        const int saved = d->SaveOBJFile(CString(path.c_str()), 4);
        if (!built) d->agePicture = placeholder;
        // The document shows why it could not write; the page stays.
        if (!saved) return;
    }
    DestroyWindow();
    if (d) d->FreeMemoryForNewFAC();
    svc::app().EndProgram(0);
}

void CDlgAge::OnCancel() {
    CFaceDoc* d = doc();
    if (head3* h = head()) core_.LoadStart(*h);
    CDialog::OnCancel();
    RefreshHead(false);
    DestroyWindow();
    if (d) d->FreeMemoryForNewFAC();
    svc::app().EndProgram(0);
}

void CDlgAge::PostNcDestroy() {
    if (svc::MainFrame* frame = svc::mainFrame()) frame->ForgetPage(this);
}
