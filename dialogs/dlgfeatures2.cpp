#include "dialogs/dlgfeatures2.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "document/facedoc.h"
#include "dialogs/feature_pages.h"
#include "dialogs/head_completion.h"
#include "document/ids.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/topology.h"
#include "seams/app.h"
#include "views/faceview.h"
#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"
#include "views/vieworig2d.h"

namespace {

constexpr UINT kFlashTimer = 1;

struct PointRow {
    CString code;
    double weight = 0;
    int kind = 0;
    int px = 0, py = 0, p2x = 0, p2y = 0;
    CString name;
};

// The page's table: the head table while a head OBJ was imported.
std::vector<PointRow> pointRows() {
    svc::AppState& app = svc::app().state();
    const int32_t keptImport = app.headImport;
    if (app.objHeadImported) app.headImport = 1;
    struct Restore {
        svc::AppState& app;
        int32_t kept;
        ~Restore() { app.headImport = kept; }
    } restore{app, keptImport};
    std::vector<PointRow> rows;
    PointRow r;
    for (int n = 0; GetFeaturePointInfo(n, &r.code, nullptr, &r.weight, &r.kind, &r.px, &r.py, &r.p2x, &r.p2y, &r.name);
         ++n)
        rows.push_back(r);
    return rows;
}

bool bound(const featurepoint3& p) { return p.isRubber() || p.isFixed(); }

// The head point of that name bound to the surface where a ray from p
// along d (tried from a few starts around p) meets it; false on no hit.
bool bindByRay(head3& head, const CString& name, double weight, const vector3<double>& p, const vector3<double>& d,
               double spread) {
    vector3<double> bary;
    const Index<triangle> t = headpoints::FirstHitAround(head, p, d, spread, 1e9, &bary);
    if (t == -1) return false;
    Index<featurepoint3> f = head.getFeaturepoint(name, false);
    if (f == -1) f = head.addFeaturepoint(name, true);
    featurepoint3& fp = head.featurepoints[f];
    if (fp.isRubber()) {
        remove_extrapoint(fp.extra, false);
        fp.extra = -1;
    }
    if (fp.isFixed()) {
        // Off its vertex (the point itself stays).
        if (head.vertices[fp.vtx].featurepoint == f) head.vertices[fp.vtx].featurepoint = -1;
        fp.vtx = -1;
    }
    fp.set_extrapoint(t, bary, roughConversion);
    fp.used = 1;
    fp.weight = weight;
    add_featurepoint(f);
    return true;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDlgFeatures2, CDialog)
  ON_WM_PAINT()
  ON_WM_TIMER()
  ON_WM_MOUSEMOVE()
  ON_BN_CLICKED(1142, OnSelect)
  ON_BN_CLICKED(1139, OnGetAll)
  ON_BN_CLICKED(1110, OnClear)
  ON_BN_CLICKED(1111, OnUndo)
  ON_BN_CLICKED(1109, OnUndo)
  ON_BN_CLICKED(1141, OnNext)
  ON_BN_CLICKED(1107, OnBack)
  ON_CONTROL_RANGE(STN_CLICKED, 380, 388, OnIcon)
END_MESSAGE_MAP()

CDlgFeatures2::CDlgFeatures2(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), icons_(this, 380, 388, 61232) {}

CFaceDoc* CDlgFeatures2::doc() const { return actdoc; }
svc::MainFrame* CDlgFeatures2::frame() const { return svc::mainFrame(); }
bool CDlgFeatures2::refining() const { return frame() && frame()->refining; }
bool CDlgFeatures2::template100() const { return doc() && doc()->templateId == 100; }
bool CDlgFeatures2::importedHead() const { return svc::app().state().objHeadImported != 0; }
bool CDlgFeatures2::pictureEditor() const { return svc::app().state().pictureEditor != 0; }
int CDlgFeatures2::group() const { return doc() ? std::abs(int(doc()->photoNumber)) : 0; }

void CDlgFeatures2::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, 1140, hint);
    if (GetDlgItem(1096)) DDX_Radio(dx, 1096, figureValue);
    if (pictureEditor() && GetDlgItem(1087) && GetDlgItem(1102)) {
        DDX_Slider(dx, 1087, ageSlider);
        DDX_Slider(dx, 1102, weightSlider);
        if (GetDlgItem(1098)) DDX_Radio(dx, 1098, proValue);
    }
}

void CDlgFeatures2::RefreshLists() { UpdateData(TRUE); }
void CDlgFeatures2::UpdateControls() {
    if (m_hWnd) UpdateData(FALSE);
}

void CDlgFeatures2::emptySelections() {
    if (!doc()) return;
    for (CFaceView* v : {doc()->GetViewOrig2D<CFaceView>(), doc()->GetViewEdit3D<CFaceView>()})
        if (v) v->selection.clear();
}

BOOL CDlgFeatures2::OnInitDialog() {
    CDialog::OnInitDialog();
    auto hide = [this](std::initializer_list<int> ids) {
        for (int id : ids)
            if (CWnd* c = GetDlgItem(id)) c->ShowWindow(SW_HIDE);
    };
    if (importedHead()) {
        hide({1096, 1097, 380, 381, 382, 383, 384, 385, 386, 387, 388, 1111, 1109, 1107});
        SetDlgItemText(1141, "OK");
        SetDlgItemText(1110, "Again");
    }
    hint.Empty();
    keptHint_.Empty();
    markerRadius = 2;
    flashing = false;
    if (!pictureEditor()) hide({1096, 1097});
    figureValue = 1;
    proValue = 0;
    CFaceDoc* d = doc();
    svc::MainFrame* f = frame();
    if (d) {
        emptySelections();
        if (auto* photo = d->GetViewOrig2D<CViewOrig2D>()) photo->featurePlacing = true;
        for (CFaceView* v : {d->GetViewOrigPhoto<CFaceView>(), d->GetViewOrig2D<CFaceView>()})
            if (v) {
                v->ClearAllViewSettings();
                v->FitInView();
            }
    }
    singlePass = !(template100() && !refining());
    if (!refining()) {
        pages::PlaceOverFrame(this, !singlePass);
        if (singlePass) {
            previewLoaded = preview.CreateRes(205);
        } else {
            previewLoaded = pages::LoadPicture(217, preview) && pages::LoadPicture(211, preview2);
            if (d)
                if (CFaceView* v3 = d->GetViewEdit3D<CFaceView>()) v3->Redraw();
        }
    }
    // The lines the program made from the points are made again after the
    // points have moved; the lines the user drew stay his.
    if (d && d->kernel2D->head) {
        head2& marks = *d->kernel2D->head;
        CString code;
        for (int row = 0; GetFeatureLineInfo(row, &code); ++row) {
            std::vector<Index<featureline2>> made;
            for (int l = marks.photoLines.first(); l != -1; l = marks.photoLines.nextOf(l))
                if (marks.photoLines[l].n == 2 && marks.photoLines.name_is(l, code)) made.push_back(l);
            for (Index<featureline2> l : made) marks.photoLines.remove(l);
        }
    }
    pages::SelectTool(f, false);
    if (pictureEditor()) {
        for (int id : {1087, 1102})
            if (auto* slider = dynamic_cast<CSliderCtrl*>(GetDlgItem(id))) {
                slider->SetRange(0, 6, TRUE);
                slider->SetPageSize(1);
            }
        ageSlider = 0;
        weightSlider = 3;
        UpdateData(FALSE);
    }
    if (refining()) {
        hide({1096, 1097});
        if (d && f) f->ActivateView(d->GetViewEdit2D3D<CFaceView>());
    } else if (importedHead()) {
        if (d)
            if (CFaceView* v3 = d->GetViewEdit3D<CFaceView>()) {
                v3->featureDisplay = true;
                if (f) f->ActivateView(v3);
            }
        PutPointAutomatically();
        GetNextFeatureIfNeed();
    } else {
        OnGetAll();
    }
    UpdateData(FALSE);
    return TRUE;
}

// ---------------------------------------------------------------- the walk

void CDlgFeatures2::GetNextFeatureIfNeed() {
    if (importedHead())
        getNextOnHead();
    else
        getNextOnPhoto();
    UpdateControls();
}

void CDlgFeatures2::getNextOnPhoto() {
    StopFlash();
    CFaceDoc* d = doc();
    svc::MainFrame* f = frame();
    if (!d || !d->kernel2D->head || !d->kernel3D->head) return;
    head2& marks = *d->kernel2D->head;
    head3& head = *d->kernel3D->head;
    const std::vector<PointRow> rows = pointRows();
    const int g = group();
    const int steps = int(rows.size()) * (singlePass ? 1 : 2);
    auto missing = [&](const PointRow& r, bool onHead) {
        if (onHead) {
            const Index<featurepoint3> p = head.getFeaturepoint(r.code, false);
            return p == -1 || !bound(head.featurepoints[p]);
        }
        return marks.photoPoints.get(r.code) == -1;
    };
    for (int h = 0; h < steps; ++h) {
        const int row = singlePass ? h : h / 2;
        const bool onHead = !singlePass && (h % 2 == 1);
        const PointRow& r = rows[size_t(row)];
        if (!GoodInfoCode(g, r.code) || r.kind != 3 || !missing(r, onHead)) continue;
        CFaceView* photo = d->GetViewOrig2D<CFaceView>();
        CFaceView* v3 = d->GetViewEdit3D<CFaceView>();
        CFaceView* target = onHead ? v3 : photo;
        if (f) {
            f->lockedView = target;
            f->ActivateView(target);
            f->toolMode = onHead ? 6 : 2;
            f->tool = 0;
        }
        walkStep = h;
        if (singlePass) {
            if (photo) photo->currentRow = h;
            if (v3) v3->currentRow = -1;
        } else {
            if (target) target->currentRow = row;
            CFaceView* other = onHead ? photo : v3;
            if (other) other->currentRow = -1;
            // The head's placing click takes the pending row.
            if (auto* head3d = dynamic_cast<CViewEdit3D*>(v3); head3d && onHead) head3d->pendingCode = row;
        }
        StartFlash();
        return;
    }
    hint.Empty();
    walkStep = -1;
    PutPointsAutomatically();
    emptySelections();
    for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit3D<CFaceView>()})
        if (v) {
            v->currentRow = 0;
            v->Redraw();
        }
    pages::SelectTool(f, true);
    Invalidate();
}

void CDlgFeatures2::PutPointsAutomatically() {
    CFaceDoc* d = doc();
    if (!d || !d->kernel2D->head || !d->kernel3D->head) return;
    head2& marks = *d->kernel2D->head;
    head3& head = *d->kernel3D->head;
    head.set_actual();
    const std::vector<PointRow> rows = pointRows();
    const int g = group();
    const bool onHeadToo = template100();
    // Once: only while some lower row still misses its point.
    bool wanted = false;
    for (const PointRow& r : rows) {
        if (!GoodInfoCode(g, r.code) || r.kind >= 3) continue;
        if (marks.photoPoints.get(r.code) == -1) wanted = true;
        if (onHeadToo) {
            const Index<featurepoint3> p = head.getFeaturepoint(r.code, false);
            if (p == -1 || !bound(head.featurepoints[p])) wanted = true;
        }
    }
    if (!wanted) return;
    struct Reference {
        vector2<double> preview, preview2, photo;
        vector3<double> head;
    };
    std::vector<Reference> refs;
    for (const PointRow& r : rows) {
        if (!GoodInfoCode(g, r.code) || r.kind != 3) continue;
        Reference ref;
        ref.preview = vector2<double>(r.px, r.py);
        ref.preview2 = vector2<double>(r.p2x, r.p2y);
        const Index<featurepoint2> p = marks.photoPoints.get(r.code);
        if (p != -1) ref.photo = marks.photoPoints[p].position;
        const Index<featurepoint3> q = head.getFeaturepoint(r.code, false);
        if (q != -1 && bound(head.featurepoints[q])) ref.head = head.featurepoints[q].point();
        refs.push_back(ref);
        if (refs.size() == 3) break;
    }
    if (refs.size() < 3) return;
    head.SetMinMax(false);
    const double extent = std::max({head.boxMax.x - head.boxMin.x, head.boxMax.y - head.boxMin.y, 1e-6});
    for (const PointRow& r : rows) {
        if (!GoodInfoCode(g, r.code) || r.kind >= 3) continue;
        double w[3];
        if (headpoints::PlaneBarycentric(vector2<double>(r.px, r.py), refs[0].preview, refs[1].preview,
                                         refs[2].preview, w)) {
            const Index<featurepoint2> p = marks.photoPoints.add_ifnew(r.code);
            marks.photoPoints[p].position = refs[0].photo * w[0] + refs[1].photo * w[1] + refs[2].photo * w[2];
            marks.photoPoints[p].weight = r.weight;
        }
        if (onHeadToo && headpoints::PlaneBarycentric(vector2<double>(r.p2x, r.p2y), refs[0].preview2, refs[1].preview2,
                                                      refs[2].preview2, w)) {
            vector3<double> at = refs[0].head * w[0] + refs[1].head * w[1] + refs[2].head * w[2];
            // From in front of the head, straight back onto its face.
            at.z = head.boxMax.z + extent;
            bindByRay(head, r.code, r.weight, at, vector3<double>(0, 0, -1), extent * 0.01);
        }
    }
}

void CDlgFeatures2::getNextOnHead() {
    StopFlash();
    CFaceDoc* d = doc();
    svc::MainFrame* f = frame();
    if (!d || !d->kernel3D->head) return;
    head3& head = *d->kernel3D->head;
    const std::vector<PointRow> rows = pointRows();
    for (size_t row = 0; row < rows.size(); ++row) {
        const PointRow& r = rows[row];
        if (r.kind == 0) continue;
        const Index<featurepoint3> p = head.getFeaturepoint(r.code, false);
        if (p == -1 || head.featurepoints[p].used == 1) continue;
        if (f) {
            f->toolMode = 6;
            f->tool = 0;
        }
        if (CFaceView* v3 = d->GetViewEdit3D<CFaceView>()) v3->currentRow = -1;
        // The click places the asked point, not the table's first row.
        if (auto* v3 = d->GetViewEdit3D<CViewEdit3D>()) v3->pendingCode = int(row);
        StartFlash();
        return;
    }
    // The single points follow from the three main ones.
    struct Reference {
        vector2<double> preview;
        vector3<double> head;
    };
    std::vector<Reference> refs;
    bool wanted = false;
    for (const PointRow& r : rows) {
        const Index<featurepoint3> p = head.getFeaturepoint(r.code, false);
        if (r.kind != 0) {
            if (p != -1 && refs.size() < 3) refs.push_back({vector2<double>(r.px, r.py), head.featurepoints[p].point()});
        } else if (p == -1 || head.featurepoints[p].used != 1) {
            wanted = true;
        }
    }
    if (wanted && refs.size() == 3) {
        head.SetMinMax(false);
        const double extent = std::max({head.boxMax.x - head.boxMin.x, head.boxMax.y - head.boxMin.y, 1e-6});
        for (const PointRow& r : rows) {
            if (r.kind != 0) continue;
            const Index<featurepoint3> p = head.getFeaturepoint(r.code, false);
            if (p != -1 && head.featurepoints[p].used == 1) continue;
            double w[3];
            if (!headpoints::PlaneBarycentric(vector2<double>(r.px, r.py), refs[0].preview, refs[1].preview,
                                              refs[2].preview, w))
                continue;
            vector3<double> at = refs[0].head * w[0] + refs[1].head * w[1] + refs[2].head * w[2];
            at.z = head.boxMax.z + extent;
            bindByRay(head, r.code, r.weight, at, vector3<double>(0, 0, -1), extent * 0.01);
        }
    }
    if (CFaceView* v3 = d->GetViewEdit3D<CFaceView>()) {
        v3->selection.clear();
        v3->Redraw();
    }
    Invalidate();
}

void CDlgFeatures2::PutPointAutomatically() {
    CFaceDoc* d = doc();
    if (!d || !d->kernel3D->head) return;
    head3& head = *d->kernel3D->head;
    head.set_actual();
    if (head.vertices.count() == 0) return;
    vector3<double> lo(1e300, 1e300, 1e300), hi(-1e300, -1e300, -1e300), front;
    double frontZ = -1e300;
    for (int v = head.vertices.first(); v != -1; v = head.vertices.nextOf(v)) {
        const vector3<double>& p = head.vertices[v].position;
        lo = vector3<double>(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = vector3<double>(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
        if (p.z > frontZ) {
            frontZ = p.z;
            front = p;
        }
    }
    const double extent = std::max({hi.x - lo.x, hi.y - lo.y, 1e-6});
    int n = 0;
    for (const PointRow& r : pointRows()) {
        if (r.kind == 0) continue;
        const vector3<double> start = n == 0   ? vector3<double>(0.62 * lo.x, 0, 0.6 * hi.z)
                                      : n == 1 ? vector3<double>(0.62 * hi.x, 0, 0.6 * hi.z)
                                               : front;
        ++n;
        Index<featurepoint3> f = head.getFeaturepoint(r.code, false);
        if (f == -1) f = head.addFeaturepoint(r.code, false);
        head.featurepoints[f].weight = r.weight;
        vector3<double> from = start;
        from.z = hi.z + extent;
        if (bindByRay(head, r.code, r.weight, from, vector3<double>(0, 0, -1), extent * 0.01))
            head.featurepoints[f].used = -1;
    }
}

// ---------------------------------------------------------------- flashing

void CDlgFeatures2::StartFlash() {
    if (refining()) return;
    CFaceDoc* d = doc();
    hint.Empty();
    markerRadius = 2;
    CString side;
    if (d) {
        CFaceView* active = pages::ActiveView();
        CString name;
        if (active && active == d->GetViewOrig2D<CFaceView>() && active->currentRow >= 0 &&
            GetFeaturePointInfo(singlePass ? active->currentRow : active->currentRow, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr, &name)) {
            hint = name;
            side.LoadString(61230);
        } else if (active && active == d->GetViewEdit3D<CFaceView>() && active->currentRow >= 0 &&
                   GetFeaturePointInfo(active->currentRow, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, nullptr, &name)) {
            hint = name;
            side.LoadString(61231);
        }
    }
    SetTimer(kFlashTimer, 400, nullptr);
    flashing = true;
    if (pictureEditor()) {
        if (!side.IsEmpty()) {
            hint += " ";
            keptHint_ = hint;
        }
    } else if (!importedHead() && !side.IsEmpty()) {
        pages::AddSkipHint(hint, template100() ? side : CString(" "), keptHint_);
    }
    UpdateControls();
    Invalidate();
}

void CDlgFeatures2::StopFlash() {
    if (refining()) return;
    if (m_hWnd) KillTimer(kFlashTimer);
    hint.Empty();
    keptHint_.Empty();
    flashing = false;
    if (m_hWnd) {
        Invalidate();
        UpdateControls();
    }
}

void CDlgFeatures2::OnTimer(UINT_PTR id) {
    if (id != kFlashTimer || refining()) return;
    markerRadius = markerRadius == 2 ? 8 : 2;
    Invalidate();
}

// ---------------------------------------------------------------- painting

void CDlgFeatures2::paintPreview(CDC& dc, const CWinBmp& picture, int left, int top, bool second) {
    picture.Draw(&dc, left, top, SRCCOPY);
    CFaceDoc* d = doc();
    if (!d || !d->kernel2D->head || !d->kernel3D->head) return;
    head2& marks = *d->kernel2D->head;
    head3& head = *d->kernel3D->head;
    const int centre = left + picture.GetWidth() / 2;
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush red(RGB(255, 0, 0)), blue(RGB(0, 0, 255));
    CPen* oldPen = dc.SelectObject(&black);
    CBrush* oldBrush = dc.SelectObject(&red);
    const std::vector<PointRow> rows = pointRows();
    const int g = group();
    for (const PointRow& r : rows) {
        if (!GoodInfoCode(g, r.code)) continue;
        bool placed = false;
        if (second) {
            const Index<featurepoint3> p = head.getFeaturepoint(r.code, false);
            placed = p != -1 && bound(head.featurepoints[p]);
        } else {
            placed = marks.photoPoints.get(r.code) != -1;
        }
        if (!placed) continue;
        const int x = centre + (second ? r.p2x : r.px), y = top + (second ? r.p2y : r.py);
        dc.Ellipse(x - 3, y - 3, x + 4, y + 4);
    }
    if (flashing) {
        CFaceView* v = second ? d->GetViewEdit3D<CFaceView>() : d->GetViewOrig2D<CFaceView>();
        const int row = v ? v->currentRow : -1;
        if (row >= 0 && size_t(row) < rows.size()) {
            const PointRow& r = rows[size_t(row)];
            const int x = centre + (second ? r.p2x : r.px), y = top + (second ? r.p2y : r.py);
            CPen bluePen(PS_SOLID, 1, RGB(0, 0, 255));
            dc.SelectObject(&bluePen);
            dc.SelectObject(&blue);
            dc.Ellipse(x - markerRadius, y - markerRadius, x + markerRadius + 1, y + markerRadius + 1);
            dc.SelectObject(&black);
        }
    }
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

void CDlgFeatures2::OnPaint() {
    CPaintDC dc(this);
    if (refining() || !previewLoaded) return;
    CRect client;
    GetClientRect(&client);
    int hintTop = client.Height();
    if (CWnd* line = GetDlgItem(1140)) {
        CRect r;
        line->GetWindowRect(&r);
        ScreenToClient(&r);
        hintTop = r.top;
    }
    if (pictureEditor()) {
        CFont font;
        font.CreateFont(16, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
        CFont* old = dc.SelectObject(&font);
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextAlign(TA_CENTER);
        for (int which : {1087, 1102}) {
            CWnd* slider = GetDlgItem(which);
            if (!slider) continue;
            CRect r;
            slider->GetWindowRect(&r);
            ScreenToClient(&r);
            const int step = r.Width() / 7 + 3;
            for (int i = 0; i <= 6; ++i) {
                CString label;
                if (which == 1087)
                    label.Format("%d", 20 + 10 * i);
                else
                    label.Format("%d%%", -30 + 10 * i);
                dc.TextOut(r.left + step / 2 + i * (r.Width() - step) / 6, r.bottom, label);
            }
        }
        dc.SelectObject(old);
    }
    if (singlePass) {
        const int left = (client.Width() - preview.GetWidth()) / 2;
        const int top = std::max(0, (hintTop - 5 - preview.GetHeight()) / 2);
        paintPreview(dc, preview, left, top, false);
    } else {
        const int gap = pages::PreviewGap(this, preview, preview2);
        const int top = std::max(0, (hintTop - 5 - preview.GetHeight()) / 2);
        paintPreview(dc, preview, gap, top, false);
        paintPreview(dc, preview2, 2 * gap + preview.GetWidth(), top, true);
    }
}

// ---------------------------------------------------------------- buttons

void CDlgFeatures2::OnSelect() {
    svc::MainFrame* f = frame();
    if (!f) return;
    f->lockedView = nullptr;
    f->toolMode = 0;
    f->tool = 1;
    if (CFaceView* active = pages::ActiveView(); active && active->IsViewEdit3D()) active->featureDisplay = true;
}

void CDlgFeatures2::OnGetAll() {
    if (CFaceDoc* d = doc()) pages::RestartViews({d->GetViewOrig2D<CFaceView>(), d->GetViewEdit3D<CFaceView>()}, false);
    GetNextFeatureIfNeed();
}

void CDlgFeatures2::OnClear() {
    StopFlash();
    CFaceDoc* d = doc();
    if (!d) return;
    head2* marks = d->kernel2D->head;
    head3* head = d->kernel3D->head;
    const bool heads = template100() || importedHead();
    if (head) head->set_actual();
    for (const PointRow& r : pointRows()) {
        if (marks)
            if (Index<featurepoint2> p = marks->photoPoints.get(r.code); p != -1) marks->photoPoints.remove(p);
        if (heads && head)
            if (Index<featurepoint3> p = head->getFeaturepoint(r.code, false); p != -1) RemoveFeaturepoint(p);
    }
    if (importedHead()) {
        if (CFaceView* v3 = d->GetViewEdit3D<CFaceView>()) v3->featureDisplay = true;
        PutPointAutomatically();
    }
    for (CFaceView* v : {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit3D<CFaceView>()})
        if (v) {
            v->selection.clear();
            v->Redraw();
        }
    UpdateData(TRUE);
    OnGetAll();
}

void CDlgFeatures2::OnUndo() {
    if (pages::UndoKeepsStep(this)) GetNextFeatureIfNeed();
}

void CDlgFeatures2::OnNext() {
    UpdateData(TRUE);
    CFaceDoc* d = doc();
    svc::MainFrame* f = frame();
    if (!d) return;
    long photoSum = 0, headSum = 0;
    int placedOnHead = 0;
    if (head2* marks = d->kernel2D->head)
        for (int k = marks->photoPoints.first(); k != -1; k = marks->photoPoints.nextOf(k))
            photoSum += long(marks->photoPoints[k].weight);
    if (head3* head = d->kernel3D->head)
        for (int k = head->featurepoints.first(); k != -1; k = head->featurepoints.nextOf(k)) {
            const featurepoint3& p = head->featurepoints[k];
            if (bound(p)) headSum += long(p.weight);
            if (p.used == 1) ++placedOnHead;
        }
    if (importedHead()) {
        if (placedOnHead > 10) {
            if (CFaceView* v3 = d->GetViewEdit3D<CFaceView>()) v3->featureDisplay = false;
            emptySelections();
            pages::ClosePage(this);
            d->stage = 2500;
            if (f) f->OnAge();
        } else {
            MessageBox("Not enough point");
        }
        return;
    }
    if ((photoSum < 11 || (template100() && headSum < 11)) && !refining()) {
        CString text, caption;
        text.LoadString(IDS_TOO_FEW_POINTS);
        caption.LoadString(IDS_ERROR);
        MessageBox(text, caption, MB_OK);
        GetNextFeatureIfNeed();
        return;
    }
    emptySelections();
    if (pictureEditor()) {
        d->projectFlag = figureValue == 0 ? 1 : 0;
        if (svc::hasApp()) svc::app().state().proMode = proValue;
        d->ageSlider = ageSlider;
        d->weightSlider = weightSlider;
        d->templateId = 122;
    }
    d->DeleteAllUndoFiles();
    pages::ClosePage(this);
    d->stage = 1000;
    svc::sendStep(4);
}

void CDlgFeatures2::OnBack() {
    CFaceDoc* d = doc();
    svc::MainFrame* f = frame();
    if (!d) return;
    if (!refining()) {
        pages::LeavePage(this, 5);
        return;
    }
    d->DeleteAllUndoFiles();
    // The modelled project as the refinement found it; without the kept
    // file the document stays as it is.
    const CString kept = CFaceDoc::KeptStatePath();
    const std::string posix = brv::PosixPath(std::string(kept.View()));
    if (fnd::IsFileExist(posix.c_str()) > 0) {
        d->LoadTHEResource(unsigned(d->templateId), true);
        d->photoNumber = 0;
        d->LoadFACFile(kept, true);
    }
    d->photoNumber = 0;
    d->refineMode = 0;
    d->kernel2D->LoadOrigPhoto();
    d->stage = 2500;
    if (f) f->refining = 0;
    pages::ClosePage(this);
    if (f) f->ShowModelPage();
}

BOOL CDlgFeatures2::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    KillTimer(kFlashTimer);
    pages::SelectTool(frame(), false);
    if (CFaceDoc* d = doc()) {
        pages::RestartViews({d->GetViewOrig2D<CFaceView>(), d->GetViewEdit3D<CFaceView>()}, true);
        if (auto* photo = d->GetViewOrig2D<CViewOrig2D>()) photo->featurePlacing = false;
        if (auto* overlay = d->GetViewEdit2D3D<CViewEdit2D3D>()) {
            overlay->SetMerged(false);
            overlay->featureDisplay = false;
        }
    }
    return CDialog::DestroyWindow();
}

// ---------------------------------------------------------------- icons and hints

void CDlgFeatures2::OnMouseMove(UINT, CPoint point) {
    if (importedHead()) return;
    CPoint screen = point;
    ClientToScreen(&screen);
    if (icons_.Hover(screen, hint, keptHint_, iconHint_)) UpdateControls();
}

BOOL CDlgFeatures2::PreTranslateMessage(MSG* msg) {
    pages::ForwardMouseMove(this, msg);
    return CDialog::PreTranslateMessage(msg);
}

void CDlgFeatures2::OnIcon(UINT id) {
    if (importedHead() || !pages::IconClicked(this, icons_, id)) return;
    pages::FeatureIconCommand(int(id) - 380);
}
