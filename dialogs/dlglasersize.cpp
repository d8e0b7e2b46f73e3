#include "dialogs/dlglasersize.h"

#include <cstdlib>
#include <string>

#include "document/facedoc.h"
#include "dialogs/dlgrefine.h"
#include "dialogs/dlgset.h"
#include "dialogs/photo_exchange_page.h"
#include "document/ids.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "foundation/numeric.h"
#include "framework/filedialog.h"
#include "model/head.h"
#include "model/mirror.h"
#include "seams/app.h"
#include "views/viewedit3d.h"

namespace {

constexpr UINT kIconTimer = 7;
constexpr int kSliderIds[morph::kSliderCount] = {1087, 1102, 1103, 1090};


// The rectangle of a child in the dialog's client coordinates.
CRect childRect(const CWnd& dialog, CWnd* child) {
    CRect r;
    child->GetWindowRect(&r);
    dialog.ScreenToClient(&r);
    return r;
}

}  // namespace

const int CDlgLaserSize::kIcons[kIconCount] = {400, 401, 402, 403, 404, 405, 406, 407, 408, 409, 410, 411, 1126};
const UINT CDlgLaserSize::kIconHints[kIconCount] = {61251, 61252, 61253, 61254, 61255, 61256, 61257,
                                                    61258, 61259, 61260, 61261, 61272, 61273};

BEGIN_MESSAGE_MAP(CDlgLaserSize, CDialog)
  ON_BN_CLICKED(1141, OnNext)
  ON_BN_CLICKED(1122, OnCancel)
  ON_BN_CLICKED(1107, OnBack)
  ON_BN_CLICKED(1108, OnBack2)
  ON_BN_CLICKED(1109, OnRefine)
  ON_BN_CLICKED(1111, OnUndo)
  ON_BN_CLICKED(1129, OnRevert)
  ON_COMMAND(ID_SAVE_OBJ, OnExport)
  ON_WM_HSCROLL()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_TIMER()
  ON_WM_PAINT()
  ON_CONTROL_RANGE(STN_CLICKED, 400, 411, OnIconClicked)
  ON_CONTROL_RANGE(STN_CLICKED, 1126, 1126, OnIconClicked)
END_MESSAGE_MAP()

CDlgLaserSize::CDlgLaserSize(CWnd* parent) : CDlgLaserSize(IDD_MODEL, parent) {}

CDlgLaserSize::CDlgLaserSize(UINT layout, CWnd* parent)
    : CDialog(layout, parent), core_(layout == IDD_MODEL), icons_(this, kIcons, kIconHints) {
    if (CFaceDoc* d = doc()) d->stage = 2500;
    if (CViewEdit3D* v = view3D()) v->displayMode = svc::ViewEdit3D::kTextured;
}

CDlgLaserSize::~CDlgLaserSize() {
    if (m_hWnd) DestroyWindow();
}

UINT CDlgLaserSize::LayoutFor(bool pictureEditor) { return pictureEditor ? IDD_MODELPS : IDD_MODEL; }

BOOL CDlgLaserSize::Open(CWnd* parent) { return Create(LayoutFor(svc::app().state().pictureEditor != 0), parent); }

CFaceDoc* CDlgLaserSize::doc() const { return actdoc; }

head3* CDlgLaserSize::head() const {
    CFaceDoc* d = doc();
    return d && d->kernel3D ? d->kernel3D->head : nullptr;
}

CViewEdit3D* CDlgLaserSize::view3D() const {
    CFaceDoc* d = doc();
    return d ? d->GetViewEdit3D<CViewEdit3D>() : nullptr;
}

morph::ModelPageDocument CDlgLaserSize::pageDocument() const {
    CFaceDoc* d = doc();
    return {d->ageSlider, d->weightSlider, d->carried, d->agePicture, std::abs(int(d->photoNumber))};
}

void CDlgLaserSize::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    for (int k = 0; k < core_.sliderCount(); ++k) {
        DDX_Control(dx, kSliderIds[k], m_Sliders[k]);
        DDX_Slider(dx, kSliderIds[k], m_Pos[k]);
    }
    DDX_Text(dx, 1140, m_Hint);
}

BOOL CDlgLaserSize::OnInitDialog() {
    // The layout decides which sliders there are.
    core_ = morph::ModelPageCore(m_nIDTemplate == IDD_MODEL);
    CDialog::OnInitDialog();
    const svc::AppState& app = svc::app().state();
    if (app.pictureEditor) {
        SetDlgItemText(1141, "Photoshop");
    } else if (!app.dazMode) {
        SetDlgItemText(1122, "Export");
        SetDlgItemText(1141, "Exit");
    }
    if (CWnd* parent = GetParent()) {
        CPoint corner(0, 0);
        parent->ClientToScreen(&corner);
        if (GetStyle() & WS_CHILD) parent->ScreenToClient(&corner);
        SetWindowPos(&wndTop, corner.x + 2, corner.y + 2, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    }
    m_Hint = "";
    head3* h = head();
    CFaceDoc* d = doc();
    if (h && d) {
        CWaitCursor wait;
        core_.Open(*h, pageDocument(), m_Pos);
    }
    for (int k = 0; k < core_.sliderCount(); ++k) {
        m_Sliders[k].SetRange(0, morph::kModelMaximum);
        m_Sliders[k].SetTicFreq(1);
    }
    UpdateData(FALSE);
    if (h && d) RefreshHead();
    return TRUE;
}

void CDlgLaserSize::RefreshHead() {
    CFaceDoc* d = doc();
    if (!d) return;
    CWaitCursor wait;
    d->stage = 2500;
    if (CViewEdit3D* v = view3D()) {
        v->InitializeModelForOpenGL();
        v->UploadTexture();
        v->Redraw();
    }
}

void CDlgLaserSize::OnHScroll(UINT code, UINT, CScrollBar*) {
    head3* h = head();
    if (!h || !doc()) return;
    UpdateData(TRUE);
    CWaitCursor wait;
    auto regions = [this](std::span<const morph::RegionStep> steps, int delta) {
        CDlgSet set(this);
        set.CreateHidden(this);
        set.Run(steps, delta);
    };
    const morph::SliderDecision d = core_.Scroll(*h, pageDocument(), int(code), m_Pos, false, regions);
    if (d.action == morph::SliderAction::kNothing) return;
    UpdateData(FALSE);
    if (d.action == morph::SliderAction::kApply) RefreshHead();
}

void CDlgLaserSize::OnUndo() {
    head3* h = head();
    if (!h || !doc()) return;
    if (!core_.Undo(*h, pageDocument(), m_Pos)) return;
    UpdateData(FALSE);
    RefreshHead();
}

void CDlgLaserSize::OnRevert() {
    head3* h = head();
    if (!h || !doc()) return;
    CWaitCursor wait;
    core_.Revert(*h, pageDocument(), m_Pos);
    UpdateData(FALSE);
    RefreshHead();
}

void CDlgLaserSize::EndProgram() {
    CFaceDoc* d = doc();
    DestroyWindow();
    if (d) d->FreeMemoryForNewFAC();
    svc::app().EndProgram(0);
}

void CDlgLaserSize::OnNext() {
    CFaceDoc* d = doc();
    const svc::AppState& app = svc::app().state();
    if (d && app.dazMode) {
        const std::string path = fnd::daz3dfile(app.programFolder, app.dazMode);
        // The document shows why it could not write; the page stays.
        if (!d->SaveOBJFile(CString(path.c_str()), 2)) return;
    }
    // The outside editor gets the head back; a picture that could not be
    // written keeps the page open so the head is not lost.
    if (d && app.pictureEditor && !BackPhsh(*d)) return;
    EndProgram();
}

void CDlgLaserSize::OnCancel() {
    const svc::AppState& app = svc::app().state();
    if (app.pictureEditor || app.dazMode) {
        CDialog::OnCancel();
        EndProgram();
        return;
    }
    OnExport();
}

void CDlgLaserSize::OnExport() {
    CFaceDoc* d = doc();
    if (!d) return;
    const CString name = d->ProposedName();
    // A new file must be allowed: the name is where the head is written.
    CFileDialog dialog(FALSE, "*.obj", name, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, "OBJ (*.obj)|*.obj||",
                       this);
    if (dialog.DoModal() != IDOK) return;
    d->SaveOBJFile(dialog.GetPathName(), 2);
}

void CDlgLaserSize::BackToStart() {
    CFaceDoc* d = doc();
    head3* h = head();
    if (!d || !h) return;
    CWaitCursor wait;
    if (d->photoNumber > 0) {
        d->LoadTHEResource(unsigned(d->templateId), true);
        d->photoNumber = 0;
        d->kernel2D->LoadOrigPhoto();
        // The start state belongs to the head before the reload: what still
        // exists of it is restored.
        h = head();
    }
    if (h) core_.LoadStart(*h, pageDocument());
}

void CDlgLaserSize::OnBack() {
    BackToStart();
    UpdateData(TRUE);
    RefreshHead();
    CDialog::OnCancel();
    CFaceDoc* d = doc();
    DestroyWindow();
    if (d) d->stage = 2000;
    svc::sendStep(8);
}

void CDlgLaserSize::OnBack2() {
    BackToStart();
    DestroyWindow();
    svc::sendStep(16);
}

void CDlgLaserSize::OnRefine() {
    CFaceDoc* d = doc();
    if (d && d->photoNumber > 0) {
        MessageBeep(MB_ICONASTERISK);
        return;
    }
    int result = 0;
    CDlgRefine refine(&result, this);
    refine.DoModal();
    if (result == 1) {
        DestroyWindow();
        svc::sendStep(23);
    } else if (result == 2) {
        DestroyWindow();
        svc::sendStep(22);
    }
}

void CDlgLaserSize::PostNcDestroy() {
    if (svc::MainFrame* frame = svc::mainFrame()) frame->ForgetPage(this);
}

// ---- icon bar

int CDlgLaserSize::IconAt(CPoint client) const {
    // A hidden icon leaves an empty place that does nothing.
    ClientToScreen(&client);
    return icons_.IconAt(client);
}

void CDlgLaserSize::InvertIcon(int id) {
    CWnd* icon = GetDlgItem(id);
    if (!icon) return;
    CRect r;
    icon->GetClientRect(&r);
    CDC* dc = icon->GetDC();
    if (!dc) return;
    dc->InvertRect(&r);
    icon->ReleaseDC(dc);
}

void CDlgLaserSize::Press(int id) {
    if (pressed_ || !id) return;
    pressed_ = id;
    InvertIcon(id);
    SetTimer(kIconTimer, kPressTime);
}

void CDlgLaserSize::OnTimer(UINT_PTR id) {
    if (id != kIconTimer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(kIconTimer);
    const int icon = pressed_;
    // Released: the icon paints itself again.
    if (CWnd* w = GetDlgItem(icon)) w->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    pressed_ = 0;
    IconAction(icon);
}

void CDlgLaserSize::OnLButtonDown(UINT flags, CPoint point) {
    if (int id = IconAt(point)) {
        Press(id);
        return;
    }
    CDialog::OnLButtonDown(flags, point);
}

void CDlgLaserSize::OnIconClicked(UINT id) { Press(int(id)); }

void CDlgLaserSize::OnMouseMove(UINT flags, CPoint point) {
    CPoint screen = point;
    ClientToScreen(&screen);
    if (icons_.Hover(screen, m_Hint, keptHint_, hintShown_)) SetDlgItemText(1140, m_Hint);
    CDialog::OnMouseMove(flags, point);
}

BOOL CDlgLaserSize::PreTranslateMessage(MSG* msg) {
    // The icons take their own clicks and moves (they notify): the page
    // sees them at its own coordinates.
    if (m_hWnd && msg->hwnd != m_hWnd && (msg->message == WM_MOUSEMOVE || msg->message == WM_LBUTTONDOWN) &&
        IsChild(CWnd::FromHandle(msg->hwnd))) {
        CWnd* child = CWnd::FromHandle(msg->hwnd);
        CPoint p(short(LOWORD(msg->lParam)), short(HIWORD(msg->lParam)));
        child->ClientToScreen(&p);
        ScreenToClient(&p);
        if (msg->message == WM_MOUSEMOVE) {
            OnMouseMove(UINT(msg->wParam), p);
        } else if (int id = IconAt(p)) {
            Press(id);
            return TRUE;
        }
    }
    return CDialog::PreTranslateMessage(msg);
}

void CDlgLaserSize::IconAction(int id) {
    svc::MainFrame* frame = svc::mainFrame();
    CFaceDoc* d = doc();
    head3* h = head();
    switch (id) {
        case 400:
            if (frame) frame->SendCommand(ID_FILE_SAVE_FAC);
            break;
        case 401:
            if (CViewEdit3D* v = view3D()) {
                v->displayMode = v->displayMode == svc::ViewEdit3D::kTextured ? svc::ViewEdit3D::kLit
                                                                               : svc::ViewEdit3D::kTextured;
                v->Redraw();
            }
            break;
        case 402:
        case 403:
            if (!h || !d) break;
            if (id == 403) core_.UndoPoint(*h, pageDocument());
            ::OnMirror(id == 402 ? 'R' : 'L');
            RefreshHead();
            break;
        case 404:
        case 405:
            svc::app().Help(0, id == 404 ? "pdf" : "wmv");
            break;
        case 406:
            if (frame) frame->OnStat();
            break;
        case 407:
            if (frame) frame->SendCommand(ID_RECT_ZOOM);
            break;
        case 408:
            if (frame) frame->SendCommand(ID_RECT_ZOOM2);
            break;
        case 409:
            if (frame) frame->SendCommand(ID_FIT_ZOOM);
            break;
        case 410:
            if (frame) frame->SendCommand(ID_MOVE);
            break;
        case 411:
            if (frame) frame->OnClone();
            break;
        case 1126:
            if (frame) frame->OnFreeTool();
            break;
        default: break;
    }
}

void CDlgLaserSize::OnPaint() {
    if (!svc::app().state().pictureEditor) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    CFont font;
    font.CreateFont(16, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
    CFont* old = dc.SelectObject(&font);
    dc.SetTextAlign(TA_CENTER);
    dc.SetBkMode(TRANSPARENT);
    struct Scale {
        int id;
        int first;
        const char* format;
    };
    for (const Scale& s : {Scale{1087, 20, "%d"}, Scale{1102, -30, "%d%%"}}) {
        CWnd* slider = GetDlgItem(s.id);
        if (!slider) continue;
        const CRect r = childRect(*this, slider);
        for (int i = 0; i < 7; ++i) {
            CString label;
            label.Format(s.format, s.first + 10 * i);
            dc.TextOut(r.left + i * (r.Width() / 7 + 4) + 12, r.top - 15, label);
        }
    }
    dc.SelectObject(old);
    UpdateData(TRUE);
}
