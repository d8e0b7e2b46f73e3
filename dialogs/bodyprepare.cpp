#include "dialogs/bodyprepare.h"

#include "document/facedoc.h"
#include "dialogs/head_completion.h"
#include "fitting/kernel3d.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/topology.h"
#include "seams/app.h"
#include "views/faceview.h"
#include "views/viewedit3d.h"

namespace {

constexpr UINT kFlashTimer = 1;


head3* headOf(CFaceDoc* doc) { return doc && doc->kernel3D ? doc->kernel3D->head : nullptr; }

CFaceView* view3D(CFaceDoc* doc) { return doc ? doc->GetViewEdit3D<CFaceView>() : nullptr; }

}  // namespace

BEGIN_MESSAGE_MAP(BodyPrepareDialog, CDialog)
  ON_WM_PAINT()
  ON_WM_TIMER()
  ON_WM_DESTROY()
  ON_WM_SHOWWINDOW()
  ON_BN_CLICKED(1139, OnAgain)
END_MESSAGE_MAP()

BodyPrepareDialog::BodyPrepareDialog(CWnd* parent, CFaceDoc* doc)
    : CDialog(IDD_BODYPREPARE, parent), m_pDoc(doc), m_pParent(parent) {}

// The document given, while it is still the program's one.
CFaceDoc* BodyPrepareDialog::doc() const { return m_pDoc == actdoc ? m_pDoc : actdoc; }

BOOL BodyPrepareDialog::Create() { return CDialog::Create(IDD_BODYPREPARE, m_pParent); }

void BodyPrepareDialog::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, 1140, m_hint);
}

BOOL BodyPrepareDialog::OnInitDialog() {
    m_preview.CreateRes(205);
    CDialog::OnInitDialog();
    return TRUE;
}

CRect BodyPrepareDialog::PictureRect() {
    CRect client;
    GetClientRect(&client);
    int bottom = client.bottom;
    if (CWnd* hint = GetDlgItem(1140)) {
        CRect r;
        hint->GetWindowRect(&r);
        ScreenToClient(&r);
        bottom = r.top;
    }
    const int w = m_preview.GetWidth(), h = m_preview.GetHeight();
    const int x = (client.Width() - w) / 2, y = (bottom - 5 - h) / 2;
    return CRect(x, y, x + w, y + h);
}

CRect BodyPrepareDialog::MarkerSquare() {
    CFaceView* v = view3D(doc());
    int px = 0, py = 0;
    if (!v || !GetFeaturePointInfo(v->currentRow, nullptr, nullptr, nullptr, nullptr, &px, &py)) return CRect();
    const CRect pic = PictureRect();
    const int cx = pic.left + pic.Width() / 2 + px, cy = pic.top + py;
    return CRect(cx - 5, cy - 5, cx + 6, cy + 6);
}

void BodyPrepareDialog::OnPaint() {
    CPaintDC dc(this);
    const CRect pic = PictureRect();
    m_preview.Draw(&dc, pic.left, pic.top, SRCCOPY);
    head3* h = headOf(doc());
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush red(RGB(255, 0, 0));
    CPen* oldPen = dc.SelectObject(&black);
    CBrush* oldBrush = dc.SelectObject(&red);
    CString code;
    int px = 0, py = 0;
    for (int row = 0; h && GetFeaturePointInfo(row, &code, nullptr, nullptr, nullptr, &px, &py); ++row) {
        Index<featurepoint3> p = h->getFeaturepoint(code, false);
        if (p == -1) continue;
        const featurepoint3& f = h->featurepoints[p];
        if (f.vtx == -1 && f.extra == -1) continue;  // not on the head
        const int cx = pic.left + pic.Width() / 2 + px, cy = pic.top + py;
        dc.Ellipse(cx - 3, cy - 3, cx + 4, cy + 4);
    }
    if (m_flashing) {
        const CRect square = MarkerSquare();
        if (!square.IsRectEmpty()) {
            CPen bluePen(PS_SOLID, 1, RGB(0, 0, 255));
            CBrush blue(RGB(0, 0, 255));
            dc.SelectObject(&bluePen);
            dc.SelectObject(&blue);
            const CPoint c = square.TopLeft() + CSize(5, 5);
            dc.Ellipse(c.x - m_radius, c.y - m_radius, c.x + m_radius + 1, c.y + m_radius + 1);
            dc.SelectObject(&black);
        }
    }
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
}

void BodyPrepareDialog::OnTimer(UINT_PTR id) {
    if (id != kFlashTimer) {
        CDialog::OnTimer(id);
        return;
    }
    m_radius = m_radius == 2 ? 5 : 2;
    const CRect square = MarkerSquare();
    InvalidateRect(&square, FALSE);
}

void BodyPrepareDialog::StartHint() {
    m_radius = 2;
    CString name;
    CFaceView* v = view3D(doc());
    if (v && GetFeaturePointInfo(v->currentRow, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, &name))
        m_hint = name;
    else
        m_hint.Empty();
    SetTimer(kFlashTimer, 400);
    m_flashing = true;
    UpdateData(FALSE);
}

void BodyPrepareDialog::StopHint() {
    KillTimer(kFlashTimer);
    m_hint.Empty();
    m_flashing = false;
    const CRect square = MarkerSquare();
    if (!square.IsRectEmpty()) InvalidateRect(&square, FALSE);
    UpdateData(FALSE);
}

void BodyPrepareDialog::ChooseNextPoint() {
    StopHint();
    head3* h = headOf(doc());
    CFaceView* v = view3D(doc());
    if (!h) return;
    CString code;
    int kind = 0;
    for (int row = 0; GetFeaturePointInfo(row, &code, nullptr, nullptr, &kind); ++row) {
        if (kind == 0) continue;
        Index<featurepoint3> p = h->getFeaturepoint(code, false);
        if (p == -1 || h->featurepoints[p].used == 1) continue;
        if (svc::MainFrame* frame = svc::mainFrame()) {
            frame->toolMode = 6;
            frame->tool = 0;
        }
        // The view places the row it is given.
        if (v) v->currentRow = row;
        if (auto* v3 = dynamic_cast<CViewEdit3D*>(v)) v3->pendingCode = row;
        StartHint();
        return;
    }
    const int group = doc() ? std::abs(doc()->photoNumber) : 0;
    if (headpoints::HeadPointsNeedCompletion(*h, group)) headpoints::CompleteHeadPoints(*h, group);
    if (v) {
        v->selection.clear();
        if (v->m_hWnd) v->RedrawWindow();
    }
    RedrawWindow();
}

void BodyPrepareDialog::OnAgain() {
    CFaceView* v = view3D(doc());
    if (v) {
        v->currentRow = 0;
        v->selection.clear();
    }
    if (auto* v3 = dynamic_cast<CViewEdit3D*>(v)) v3->pendingCode = 0;
    if (head3* h = headOf(doc())) {
        CString code;
        for (int row = 0; GetFeaturePointInfo(row, &code); ++row) {
            Index<featurepoint3> p = h->getFeaturepoint(code, false);
            if (p != -1) RemoveFeaturepoint(p);
        }
    }
    UpdateData(TRUE);
    if (v && v->m_hWnd) v->RedrawWindow();
    RedrawWindow();
    ChooseNextPoint();
}

void BodyPrepareDialog::OnShowWindow(BOOL show, UINT status) {
    CDialog::OnShowWindow(show, status);
    // Only on showing: hiding must not take the points away.
    head3* h = headOf(doc());
    if (!show || !h) return;
    int rows = 0, placed = 0;
    CString code;
    int kind = 0;
    for (int row = 0; GetFeaturePointInfo(row, &code, nullptr, nullptr, &kind); ++row) {
        if (kind == 0) continue;
        ++rows;
        Index<featurepoint3> p = h->getFeaturepoint(code, false);
        if (p != -1 && h->featurepoints[p].used == 1) ++placed;
    }
    if (rows != placed) OnAgain();
}

void BodyPrepareDialog::OnDestroy() {
    KillTimer(kFlashTimer);
    if (svc::MainFrame* frame = svc::mainFrame()) {
        frame->toolMode = 0;
        frame->tool = 0;
    }
    if (CFaceView* v = view3D(doc())) {
        v->currentRow = 0;
        v->selection.clear();
        if (auto* v3 = dynamic_cast<CViewEdit3D*>(v)) v3->pendingCode = 0;
    }
    CDialog::OnDestroy();
}
