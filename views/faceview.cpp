#include "views/faceview.h"

#include <algorithm>
#include <cmath>

#include "document/facedoc.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/elements.h"
#include "model/head.h"
#include "picture/winbmp.h"
#include "seams/app.h"
#include "seams/dialogs.h"
#include "views/build_counts.h"
#include "views/gl_view_core.h"
#include "views/lines2d.h"
#include "views/viewedit3d.h"

IMPLEMENT_DYNAMIC(CFaceView, CView)

BEGIN_MESSAGE_MAP(CFaceView, CView)
ON_WM_MOUSEMOVE()
ON_WM_MBUTTONDOWN()
ON_WM_MOUSEACTIVATE()
ON_WM_ERASEBKGND()
ON_COMMAND_EX(ID_NEXT_PANE, OnNextPaneCmd)
ON_COMMAND_EX(ID_PREV_PANE, OnNextPaneCmd)
END_MESSAGE_MAP()

namespace {

// The corner markers: icon and corner (0 left/top, 1 right/bottom).
struct Marker {
    int icon, right, bottom;
};
constexpr Marker kMarkers[4] = {{138, 0, 0}, {136, 1, 0}, {139, 0, 1}, {137, 1, 1}};
constexpr int kMarkerSize = 32;

}  // namespace

CFaceView::CFaceView(CFaceDoc* doc, int) { m_pDocument = doc; }

CFaceView::~CFaceView() = default;

CFaceDoc* CFaceView::GetDocument() const { return static_cast<CFaceDoc*>(m_pDocument); }

svc::MainFrame* CFaceView::Frame() const {
    CFaceDoc* d = GetDocument();
    if (svc::MainFrame* f = d ? d->Frame() : nullptr) return f;
    return m_hWnd ? dynamic_cast<svc::MainFrame*>(GetParentFrame()) : nullptr;
}

CViewEdit3D* CFaceView::View3D() const {
    CFaceDoc* d = GetDocument();
    return d ? d->GetViewEdit3D<CViewEdit3D>() : nullptr;
}

svc::PointPage* CFaceView::PointPage() const {
    svc::MainFrame* f = Frame();
    return f ? f->OpenPointPage() : nullptr;
}

svc::CurvePage* CFaceView::CurvePage() const {
    svc::MainFrame* f = Frame();
    return f ? f->OpenCurvePage() : nullptr;
}

head2* CFaceView::Marks() const {
    CFaceDoc* d = GetDocument();
    return d && d->kernel2D ? d->kernel2D->head : nullptr;
}

const CWinBmp* CFaceView::WorkingBitmap() const {
    CFaceDoc* d = GetDocument();
    return d && d->kernel2D ? &d->kernel2D->photo : nullptr;
}

head3* CFaceView::Head() const {
    CFaceDoc* d = GetDocument();
    return d && d->kernel3D ? d->kernel3D->head : nullptr;
}

int CFaceView::Stage() const {
    CFaceDoc* d = GetDocument();
    return d ? d->stage : 0;
}

int CFaceView::FeatureGroup() const {
    CFaceDoc* d = GetDocument();
    return d ? std::abs(int(d->photoNumber)) : 0;
}

int CFaceView::Tool() const {
    svc::MainFrame* f = Frame();
    return f ? f->tool : 1;
}

int CFaceView::ToolMode() const {
    svc::MainFrame* f = Frame();
    return f ? f->toolMode : 0;
}

void CFaceView::BackToSelect() {
    if (svc::MainFrame* f = Frame()) {
        f->tool = 1;
        f->toolMode = 0;
    }
}

void CFaceView::Beep() { MessageBeep(MB_ICONASTERISK); }

CSize CFaceView::ClientSize() const {
    CRect r(0, 0, 0, 0);
    if (m_hWnd) GetClientRect(&r);
    return CSize(r.Width(), r.Height());
}

// ---------------------------------------------------------------- reset

void CFaceView::ClearAllViewSettings() {
    photoSection_ = views::ViewSection();
    photoSection_.eye = vector3<double>(0, 0, defaultEyeDistance);
    map = views::PhotoMap();
    if (views::GLViewCore* c = Core()) {
        c->defaultEyeDistance = defaultEyeDistance;
        c->ClearAllViewSettings();
    }
    activatingClick = false;
    rubberSplineShown = rubberRectShown = false;
    pressPoint = dragPoint = CPoint(0, 0);
    pressed = itemDrag = false;
    lineFinished = true;
    rubberPoints.clear();
    rubberFlags.clear();
    trace.remove_all();
    selection.clear();
    candidates.clear();
    candidateCursor = 0;
    currentRow = 0;
}

void CFaceView::FitInView() { RedrawWindow(); }

void CFaceView::ResetPose() {
    if (views::GLViewCore* c = Core()) {
        c->pitch = c->yaw = c->roll = 0;
        c->CalculateEyeFromAngles();
    }
}

BOOL CFaceView::FitToPhoto(long width, long height, double mx, double my) {
    views::GLViewCore* c = Core();
    if (!c) return FALSE;
    // A hidden pane is fitted as if it showed the photo at its own size;
    // showing it again sizes it from there.
    const CSize client = ClientSize();
    const bool hidden = client.cx <= 1 || client.cy <= 1;
    if (hidden && width > 0 && height > 0 && width < 1000000 && height < 1000000) {
        c->core().setClientSize(int(width) - 1, int(height) - 1);
        glFitPending_ = {true, width, height, mx, my};
    } else {
        glFitPending_.pending = false;
    }
    return c->FitToPhoto(width, height, mx, my) ? TRUE : FALSE;
}

ProjectionCore* CFaceView::Camera() {
    views::GLViewCore* c = Core();
    return c ? &c->core() : nullptr;
}

void CFaceView::CalculateEyeFromAngles() {
    if (views::GLViewCore* c = Core()) {
        c->CalculateEyeFromAngles();
        return;
    }
    vector3<double> eye, centre, up;
    ::CalculateEyeFromAngles(vector3<double>(0, 0, defaultEyeDistance), vector3<double>(0, 0, 0),
                             vector3<double>(0, 1, 0), photoSection_.pitch, photoSection_.yaw, 0, &eye, &centre, &up);
    photoSection_.eye = eye;
    photoSection_.center = centre;
    photoSection_.up = up;
}

// ---------------------------------------------------------------- activation

void CFaceView::OnActivateView(BOOL activate, CView* activated, CView* deactivated) {
    if (deactivated == this) {
        ShowMarkers(false);
        active = false;
        if (activated != deactivated) newlyActivated = false;
    }
    if (activate && activated == this) {
        ShowMarkers(true);
        active = true;
        svc::MainFrame* f = Frame();
        if (activated != deactivated && f) {
            if (f->lastActiveView != this) newlyActivated = true;
            f->lastActiveView = this;
            const int mode = f->toolMode;
            if (!featureDisplay && mode >= 1 && mode <= 3) {
                CFaceDoc* d = GetDocument();
                CFaceView* views[4] = {d->GetViewOrigPhoto<CFaceView>(), d->GetViewOrig2D<CFaceView>(),
                                       d->GetViewEdit3D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()};
                for (CFaceView* v : views)
                    if (v) v->featureDisplay = true;
                for (CFaceView* v : views)
                    if (v && v->m_hWnd) v->RedrawWindow();
            }
        }
    }
    CView::OnActivateView(activate, activated, deactivated);
}

int CFaceView::OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message) {
    svc::MainFrame* f = Frame();
    if (f && f->lockedView && f->lockedView != this) {
        Beep();
        return MA_ACTIVATEANDEAT;
    }
    newlyActivated = false;
    const int result = CView::OnMouseActivate(topLevel, hitTest, message);
    if (newlyActivated) activatingClick = true;
    newlyActivated = false;
    return result;
}

BOOL CFaceView::OnNextPaneCmd(UINT id) {
    svc::MainFrame* f = Frame();
    if (f && f->lockedView == this) {
        Beep();
        return FALSE;
    }
    auto* window = dynamic_cast<CFrameWnd*>(f);
    if (!window || f->layout == 1) return FALSE;
    CView* start = window->GetActiveView();
    // One round at most: a pane with an empty client is passed over; with
    // none to show, the active view stays.
    BOOL result = TRUE;
    for (int k = 0; k < 4; ++k) {
        result = CView::OnNextPaneCmd(id) && result;
        CView* now = window->GetActiveView();
        if (!now) break;
        CRect r;
        now->GetClientRect(&r);
        if (r.Width() > 0 && r.Height() > 0) return result;
    }
    if (start && window->GetActiveView() != start) {
        int row = 0, col = 0;
        CSplitterWnd* splitter = CView::GetParentSplitter(start, TRUE);
        if (splitter && splitter->IsChildPane(start, &row, &col))
            splitter->SetActivePane(row, col);
        else
            window->SetActiveView(start);
    }
    return FALSE;
}

void CFaceView::OnMouseMove(UINT, CPoint) {}

void CFaceView::OnMButtonDown(UINT, CPoint point) {
    activatingClick = false;
    if (itemDrag) return;
    pressPoint = point;
    pressed = true;
}

BOOL CFaceView::OnEraseBkgnd(CDC*) {
    // Every paint covers the whole client.
    return TRUE;
}

// ---------------------------------------------------------------- drawing

void CFaceView::ShowMarkers(bool on) {
    if (!m_hWnd) return;
    CSize size = ClientSize();
    if (size.cx <= 0 || size.cy <= 0) return;
    CClientDC dc(this);
    CBrush background(dc.GetBkColor());
    CBrush* old = dc.SelectObject(&background);
    for (const Marker& m : kMarkers) {
        HICON icon = ::LoadIcon(AfxGetInstanceHandle(), MAKEINTRESOURCE(m.icon));
        if (!icon) continue;
        CPoint at(m.right ? size.cx - kMarkerSize : 0, m.bottom ? size.cy - kMarkerSize : 0);
        if (on)
            dc.DrawState(at, CSize(kMarkerSize, kMarkerSize), icon, DST_ICON, static_cast<HBRUSH>(nullptr));
        else
            dc.DrawState(at, CSize(kMarkerSize, kMarkerSize), icon, DST_ICON | DSS_MONO, &background);
    }
    dc.SelectObject(old);
}

void CFaceView::OnDraw(CDC*) {
    ++paints;
    views::countPaint(viewName.View());
    if (active) ShowMarkers(true);
}

void CFaceView::Redraw() {
    if (m_hWnd) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CFaceView::InvalidateView() {
    if (m_hWnd) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void CFaceView::DrawRubberSpline() {
    if (selection.size() != 1 || !m_hWnd) return;
    const IndexSelector& item = selection[0];
    fnd::commonchain_of_named_instance<featureline2>* lines = Lines2D();
    if (!lines || item.kind != 16 || item.index < 0) return;
    const featureline2& line = (*lines)[item.index];
    if (line.first() == -1) return;
    CClientDC dc(this);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(RGB(0, 0, 0xFF));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    // Inverted, so that drawing it again erases it.
    dc.SetROP2(R2_NOT);
    for (size_t i = 1; i < rubberPoints.size(); ++i) {
        if (!rubberFlags[i]) continue;
        dc.MoveTo(views::Pixel(rubberPoints[i - 1]));
        dc.LineTo(views::Pixel(rubberPoints[i]));
    }
    for (Index<linepoint2> p = line.first(); p != -1; p = line.nextOf(p)) {
        const vector2<double> c = PictureToClient(line[p].position);
        if (line[p].kind == 2)
            views::Square(dc, c, 3);
        else
            views::Circle(dc, c, 3);
    }
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

void CFaceView::DeleteRubberForSpline() {
    rubberPoints.clear();
    rubberFlags.clear();
}

void CFaceView::DrawRubberPoint(CPoint* p) {
    if (!p || !m_hWnd) return;
    CClientDC dc(this);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(RGB(0, 0, 0));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    dc.SetROP2(R2_NOT);
    dc.Ellipse(p->x - 5, p->y - 5, p->x + 6, p->y + 6);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
}

void CFaceView::DrawRubberRectangle(CPoint* a, CPoint* b) {
    if (!a || !b || !m_hWnd) return;
    CClientDC dc(this);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&pen);
    dc.SetROP2(R2_NOT);
    const POINT outline[5] = {{a->x, a->y}, {b->x, a->y}, {b->x, b->y}, {a->x, b->y}, {a->x, a->y}};
    dc.Polyline(outline, 5);
    dc.SelectObject(old);
}

void CFaceView::DrawRubberArrow(CPoint* a, CPoint* b) {
    if (!a || !b || !m_hWnd) return;
    CClientDC dc(this);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&pen);
    dc.SetROP2(R2_NOT);
    dc.MoveTo(*a);
    dc.LineTo(*b);
    const double t = std::atan2(double(b->y - a->y), double(b->x - a->x));
    for (double angle : {M_PI / 3 - t, 2 * M_PI / 3 - t}) {
        dc.MoveTo(int(b->x - 15 * std::sin(angle)), int(b->y - 15 * std::cos(angle)));
        dc.LineTo(*b);
    }
    dc.SelectObject(old);
}

// ---------------------------------------------------------------- tools

BOOL CFaceView::SelectItem(CPoint&, UINT) { return TRUE; }

BOOL CFaceView::CanChangeTool(bool clearSelection) {
    if (!lineFinished) {
        Beep();
        return FALSE;
    }
    currentRow = 0;
    if (svc::CurvePage* c = CurvePage()) {
        c->RefreshLists();
        c->RestartSearch();
    }
    if (svc::PointPage* p = PointPage()) p->RefreshLists();
    if (clearSelection && !selection.empty()) {
        if (featureDisplay) DrawSelectedItems(false);
        rubberSplineShown = rubberRectShown = false;
        selection.clear();
        DeleteRubberForSpline();
        if (!featureDisplay) RedrawWindow();
    }
    return TRUE;
}

lintraf11 CFaceView::cl2bmp_lintraf11() { return map.cl2bmp(); }

// ---------------------------------------------------------------- section

views::ViewSection CFaceView::Section() const {
    views::ViewSection s = photoSection_;
    s.zoom = map.zoom;
    s.offsetX = map.offsetX;
    s.offsetY = map.offsetY;
    return s;
}

void CFaceView::ApplySection(const views::ViewSection& s) {
    photoSection_ = s;
    map.zoom = s.zoom;
    map.offsetX = s.offsetX;
    map.offsetY = s.offsetY;
}

void CFaceView::writeOpenGL(fnd::fileTB& f) { Section().write(f); }

void CFaceView::readOpenGL(fnd::fileTB& f) {
    views::ViewSection s;
    if (!s.read(f, offscreen::kDefaultMaxViewport, offscreen::kDefaultMaxViewport)) return;
    // A photo view's zoom stays within its own range.
    if (!Core() && (s.zoom < views::PhotoMap::kMinZoom || s.zoom > views::PhotoMap::kMaxZoom)) {
        f.fail();
        return;
    }
    ApplySection(s);
    CSize c = ClientSize();
    ResizeViewPort(c.cx, c.cy);
}

// ---------------------------------------------------------------- GL seams

fnd::htraf3<double> CFaceView::OpenGL2htraf() {
    views::GLViewCore* c = Core();
    return c ? c->OpenGL2htraf() : fnd::htraf3<double>(fnd::I44);
}

fnd::htraf3<double> CFaceView::cl2bmp_HTRAF3() {
    views::GLViewCore* c = Core();
    return c ? c->cl2bmp_HTRAF3() : htrafOfLintraf(cl2bmp_lintraf11());
}

bool CFaceView::MakeWinBmp(CWinBmp& bmp, bool) {
    CViewEdit3D* v = View3D();
    return v && v->MakeWinBmp(bmp);
}

bool CFaceView::MakePhoto(const CString& path) {
    CViewEdit3D* v = View3D();
    return v && v->MakePhoto(path);
}

// ---------------------------------------------------------------- photo views

void CFaceView::PhotoFitInView() {
    const CWinBmp* bmp = WorkingBitmap();
    CSize c = ClientSize();
    // A hidden pane is fitted when it shows again.
    photoFitPending_ = c.cx <= 0 || c.cy <= 0;
    if (bmp && !photoFitPending_) map.fit(c.cx + 1, c.cy + 1, bmp->GetWidth(), bmp->GetHeight());
    RedrawWindow();
}

void CFaceView::PhotoZoomStep(double f) {
    CSize c = ClientSize();
    map.zoomAboutCentre(f, c.cx, c.cy);
    RedrawWindow();
}

void CFaceView::PhotoWheel(short delta) { PhotoZoomStep(delta > 0 ? 1.25 : 0.8); }

void CFaceView::PhotoSize(int cx, int cy) {
    // A hidden pane (an empty client) is no reference: shown again, the
    // photo scales from the height it was placed for.
    if (cx <= 0 || cy <= 0) return;
    map.resize(lastSize.cy, cy);
    lastSize = CSize(cx, cy);
    if (photoFitPending_ && cx > 0 && cy > 0) {
        photoFitPending_ = false;
        if (const CWinBmp* bmp = WorkingBitmap()) map.fit(cx + 1, cy + 1, bmp->GetWidth(), bmp->GetHeight());
    }
}

void CFaceView::PhotoPan(CPoint cursor) {
    map.pan(cursor.x - pressPoint.x, cursor.y - pressPoint.y);
    pressPoint = cursor;
    RedrawWindow();
}

void CFaceView::DrawPicture(CDC* dc) {
    CSize c = ClientSize();
    CRect client(0, 0, c.cx, c.cy);
    dc->FillSolidRect(&client, RGB(212, 208, 200));
    const CWinBmp* bmp = WorkingBitmap();
    if (Stage() > 0 && bmp) views::DrawPhoto(*dc, client, *bmp, map);
}
