#include "dialogs/dlgfeatures3.h"

#include <algorithm>
#include <cmath>

#include "document/facedoc.h"
#include "dialogs/feature_pages.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "seams/app.h"
#include "views/faceview.h"

namespace {

constexpr UINT kFlashTimer = 1;

struct LineRow {
    CString code, type, name, flags;
    int r = 0, g = 0, b = 0;
};

std::vector<LineRow> lineRows() {
    std::vector<LineRow> rows;
    LineRow l;
    for (int n = 0; GetFeatureLineInfo(n, &l.code, nullptr, &l.type, &l.name, &l.flags, &l.r, &l.g, &l.b); ++n)
        rows.push_back(l);
    return rows;
}

// Pixels of the key picture with the row's colour take c in the preview.
void colourWhere(CWinBmp& preview, const CWinBmp& key, const LineRow& row, CPixel32 c) {
    const int w = std::min(preview.GetWidth(), key.GetWidth()), h = std::min(preview.GetHeight(), key.GetHeight());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const CPixel32 k = key.GetPixel(x, y);
            if (k.GetR() == row.r && k.GetG() == row.g && k.GetB() == row.b) preview.SetPixel(x, y, c);
        }
}

}  // namespace

BEGIN_MESSAGE_MAP(CDlgFeatures3, CDialog)
  ON_WM_PAINT()
  ON_WM_TIMER()
  ON_WM_MOUSEMOVE()
  ON_WM_DESTROY()
  ON_BN_CLICKED(1139, OnGetAll)
  ON_BN_CLICKED(1110, OnClear)
  ON_BN_CLICKED(1111, OnUndo)
  ON_BN_CLICKED(1109, OnUndo)
  ON_BN_CLICKED(1141, OnNext)
  ON_BN_CLICKED(1107, OnBack)
  ON_CONTROL_RANGE(STN_CLICKED, 390, 399, OnIcon)
END_MESSAGE_MAP()

CDlgFeatures3::CDlgFeatures3(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), icons_(this, 390, 399, 61241) {}

CFaceDoc* CDlgFeatures3::doc() const { return actdoc; }
svc::MainFrame* CDlgFeatures3::frame() const { return svc::mainFrame(); }

void CDlgFeatures3::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, 1140, hint);
}

void CDlgFeatures3::RefreshLists() {
    if (m_hWnd) Invalidate();
}

void CDlgFeatures3::Redraw() {
    if (m_hWnd) {
        Invalidate();
        UpdateWindow();
    }
}

BOOL CDlgFeatures3::OnInitDialog() {
    CDialog::OnInitDialog();
    svc::MainFrame* f = frame();
    pages::PlaceOverFrame(this, true);
    pages::LoadPicture(236, preview1);
    pages::LoadPicture(235, preview2);
    pages::LoadPicture(221, key1);
    pages::LoadPicture(234, key2);
    hint.Empty();
    flashing = flashPhase = false;
    pages::SelectTool(f, false);
    if (CFaceDoc* d = doc())
        for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()})
            if (v) {
                v->currentRow = 0;
                v->featureDisplay = true;
                v->Redraw();
            }
    refiningAtOpen = f ? f->refining : 0;
    if (f) f->refining = 0;
    Redraw();
    OnGetAll();
    return TRUE;
}

void CDlgFeatures3::GetNextFeatureIfNeed() {
    StopFlash();
    CFaceDoc* d = doc();
    svc::MainFrame* f = frame();
    if (!d || !d->kernel2D->head || !d->kernel3D->head) return;
    head2& marks = *d->kernel2D->head;
    head3& head = *d->kernel3D->head;
    const std::vector<LineRow> rows = lineRows();
    const int g = std::abs(int(d->photoNumber));
    const bool t100 = d->templateId == 100;
    for (int e = std::max(walk, 0); e < 2 * int(rows.size()); ++e) {
        const LineRow& r = rows[size_t(e / 2)];
        const bool onHead = e % 2 == 1;
        if (!GoodInfoCode(g, r.code) || r.type.GetLength() < 4) continue;
        const bool missing = onHead ? marks.overlayLines.get(r.code) == -1 &&
                                          (t100 || head.getFeatureline(r.code, true) == -1)
                                    : marks.photoLines.get(r.code) == -1;
        if (!missing || r.type == "2222") continue;
        if (!t100) {
            const int which = d->projectFlag == 1 ? 0 : 1;
            if (r.flags.GetLength() > which && r.flags[which] == '0') continue;
        }
        if (r.type[onHead ? 3 : 1] == '0' || r.type[0] == '1') continue;
        walk = e + 1;
        CFaceView* target = onHead ? d->GetViewEdit2D3D<CFaceView>() : d->GetViewOrig2D<CFaceView>();
        if (f) {
            f->lockedView = target;
            f->ActivateView(target);
        }
        ListControlCheck(e / 2);
        StartFlash();
        if (target) target->Redraw();
        return;
    }
    hint.Empty();
    pages::RestartViews({d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()}, false);
    pages::SelectTool(f, true);
    if (CFaceView* overlay = d->GetViewEdit2D3D<CFaceView>()) overlay->featureDisplay = true;
    if (CWnd* all = GetDlgItem(1139)) {
        all->ShowWindow(SW_SHOW);
        all->EnableWindow(TRUE);
    }
    for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()})
        if (v) v->Redraw();
    if (m_hWnd) UpdateData(FALSE);
}

void CDlgFeatures3::ListControlCheck(int row) {
    if (svc::MainFrame* f = frame()) {
        f->toolMode = 1;
        f->tool = 0;
    }
    if (CFaceDoc* d = doc())
        for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()})
            if (v) v->currentRow = row;
}

void CDlgFeatures3::StartFlash() {
    flashPhase = false;
    CString name, side;
    CFaceDoc* d = doc();
    CFaceView* active = pages::ActiveView();
    if (d && active) {
        if (GetFeatureLineInfo(active->currentRow, nullptr, nullptr, nullptr, &name)) {
            hint = name;
            side.LoadString(active == d->GetViewOrig2D<CFaceView>() ? 61230 : 61231);
        }
    }
    if (m_hWnd) SetTimer(kFlashTimer, 400, nullptr);
    flashing = true;
    if (!side.IsEmpty()) pages::AddSkipHint(hint, side, keptHint_);
    if (m_hWnd) UpdateData(FALSE);
}

void CDlgFeatures3::StopFlash() {
    if (m_hWnd) KillTimer(kFlashTimer);
    hint.Empty();
    keptHint_.Empty();
    flashing = false;
    if (m_hWnd) {
        Redraw();
        UpdateData(FALSE);
    }
}

void CDlgFeatures3::OnTimer(UINT_PTR id) {
    if (id != kFlashTimer) return;
    flashPhase = !flashPhase;
    Redraw();
}

void CDlgFeatures3::PaintedPreviews(CWinBmp& first, CWinBmp& second) const {
    first = preview1;
    second = preview2;
    CFaceDoc* d = doc();
    if (!d || !d->kernel2D->head || !d->kernel3D->head) return;
    head2& marks = *d->kernel2D->head;
    head3& head = *d->kernel3D->head;
    const int g = std::abs(int(d->photoNumber));
    const bool t100 = d->templateId == 100;
    const std::vector<LineRow> rows = lineRows();
    for (const LineRow& r : rows) {
        if (!GoodInfoCode(g, r.code)) continue;
        if (marks.photoLines.get(r.code) != -1) colourWhere(first, key1, r, CPixel32(255, 0, 0, 0));
        if (marks.overlayLines.get(r.code) != -1)
            colourWhere(second, key2, r, CPixel32(255, 0, 0, 0));
        else if (!t100 && head.getFeatureline(r.code, true) != -1)
            colourWhere(second, key2, r, CPixel32(255, 160, 160, 0));
    }
    if (flashing && flashPhase) {
        CFaceView* active = pages::ActiveView();
        CFaceView* photo = d->GetViewOrig2D<CFaceView>();
        const bool onPhoto = active == photo;
        CFaceView* v = onPhoto ? photo : d->GetViewEdit2D3D<CFaceView>();
        const int row = v ? v->currentRow : -1;
        if (row >= 0 && size_t(row) < rows.size())
            colourWhere(onPhoto ? first : second, onPhoto ? key1 : key2, rows[size_t(row)], CPixel32(0, 0, 255, 0));
    }
}

int CDlgFeatures3::previewLeft() const { return pages::PreviewGap(this, preview1, preview2); }

void CDlgFeatures3::OnPaint() {
    CPaintDC dc(this);
    CWinBmp first, second;
    PaintedPreviews(first, second);
    const int left = previewLeft();
    first.Draw(&dc, left, left, SRCCOPY);
    second.Draw(&dc, 2 * left + first.GetWidth(), left, SRCCOPY);
}

void CDlgFeatures3::OnGetAll() {
    walk = 0;
    if (CFaceDoc* d = doc())
        pages::RestartViews({d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()}, false);
    GetNextFeatureIfNeed();
}

void CDlgFeatures3::OnClear() {
    CFaceDoc* d = doc();
    if (!d || !d->kernel2D->head) return;
    head2& marks = *d->kernel2D->head;
    for (const LineRow& r : lineRows()) {
        for (Index<featureline2> l = marks.photoLines.get(r.code); l != -1; l = marks.photoLines.get(r.code))
            marks.photoLines.remove(l);
        for (Index<featureline2> l = marks.overlayLines.get(r.code); l != -1; l = marks.overlayLines.get(r.code))
            marks.overlayLines.remove(l);
    }
    for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()})
        if (v) {
            v->featureDisplay = true;
            v->Redraw();
        }
    Redraw();
    OnGetAll();
}

void CDlgFeatures3::OnUndo() {
    pages::SelectTool(frame(), false);
    flashPhase = false;
    if (pages::UndoKeepsStep(this)) {
        CFaceDoc* d = doc();
        for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()})
            if (v) {
                v->featureDisplay = true;
                v->Redraw();
            }
        Redraw();
        walk = 0;
        GetNextFeatureIfNeed();
    }
}

void CDlgFeatures3::OnNext() {
    if (svc::MainFrame* f = frame()) f->refining = 0;
    pages::LeavePage(this, 7);
}

void CDlgFeatures3::OnBack() {
    if (svc::MainFrame* f = frame()) f->refining = refiningAtOpen;
    pages::LeavePage(this, 8);
}

BOOL CDlgFeatures3::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    KillTimer(kFlashTimer);
    pages::SelectTool(frame(), true);
    if (CFaceDoc* d = doc())
        pages::RestartViews({d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()}, true);
    return CDialog::DestroyWindow();
}

void CDlgFeatures3::OnDestroy() {
    if (CFaceDoc* d = doc())
        if (CFaceView* overlay = d->GetViewEdit2D3D<CFaceView>()) overlay->defaultEyeDistance = 200;
    CDialog::OnDestroy();
}

void CDlgFeatures3::OnMouseMove(UINT, CPoint point) {
    CPoint screen = point;
    ClientToScreen(&screen);
    if (icons_.Hover(screen, hint, keptHint_, iconHint_)) UpdateData(FALSE);
}

BOOL CDlgFeatures3::PreTranslateMessage(MSG* msg) {
    pages::ForwardMouseMove(this, msg);
    return CDialog::PreTranslateMessage(msg);
}

void CDlgFeatures3::OnIcon(UINT id) {
    if (!pages::IconClicked(this, icons_, id)) return;
    if (id == 392) {
        if (svc::MainFrame* f = frame()) {
            f->lockedView = nullptr;
            if (CFaceDoc* d = doc())
                for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()})
                    if (v) v->featureDisplay = true;
            f->OnSelect();
        }
        return;
    }
    // The select icon is this page's own; the shared ones stand around it.
    pages::FeatureIconCommand(int(id) - (id < 392 ? 390 : 391));
}
