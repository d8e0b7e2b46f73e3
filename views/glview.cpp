#include "views/glview.h"

#include <algorithm>

#include "seams/app.h"
#include "views/build_counts.h"
#include "views/client_pixels.h"
#include "views/fast_paint.h"

IMPLEMENT_DYNAMIC(CGLFaceView, CFaceView)

BEGIN_MESSAGE_MAP(CGLFaceView, CFaceView)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SIZE()
ON_WM_PAINT()
ON_WM_MOUSEWHEEL()
ON_WM_MBUTTONUP()
END_MESSAGE_MAP()

bool CGLFaceView::Refining() const {
    svc::MainFrame* f = Frame();
    return f && f->refining;
}

int CGLFaceView::OnCreate(LPCREATESTRUCT cs) {
    if (CFaceView::OnCreate(cs) == -1) return -1;
    // Without GL the view shows its background and the marks.
    Core()->OnCreate();
    return 0;
}

void CGLFaceView::OnDestroy() {
    CFaceView::OnDestroy();
    Core()->OnDestroy();
}

void CGLFaceView::OnSize(UINT type, int cx, int cy) {
    CFaceView::OnSize(type, cx, cy);
    // Never renders: the invalidation that comes with the new size paints.
    Core()->OnSize(cx, cy, Refining());
    lastSize = CSize(cx, cy);
    if (glFitPending_.pending && cx > 1 && cy > 1) {
        glFitPending_.pending = false;
        FitToPhoto(glFitPending_.width, glFitPending_.height, glFitPending_.mx, glFitPending_.my);
    }
}

void CGLFaceView::OnPaint() {
    PAINTSTRUCT paint;
    if (!FastBeginPaint(m_hWnd, &paint)) return;
    DrawScene(*CDC::FromHandle(paint.hdc));
    FastEndPaint(m_hWnd, &paint);
}

void CGLFaceView::DrawScene() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawScene(dc);
}

void CGLFaceView::DrawScene(CDC& dc) {
    const CSize c = ClientSize();
    if (c.cx <= 0 || c.cy <= 0) return;
    ++paints;
    views::countPaint(viewName.View());
    {
        views::ClientPixels pixels(dc, c.cx, c.cy);
        // Nothing rendered (no fit yet): the background, not stale pixels.
        if (!RenderFrame(pixels.rows())) Core()->fillBackground(pixels.rows());
        pixels.commit();
    }
    // The frame has painted over the rubber figures.
    rubberSplineShown = rubberRectShown = false;
    if (Core()->renderMode != views::kRenderMode) return;
    DrawMarks(dc);
    if (active) ShowMarkers(true);
}

void CGLFaceView::Zoom(const ZoomRect& r, bool noRedraw) {
    Core()->Zoom(r, Refining());
    if (!noRedraw) DrawScene();
}

void CGLFaceView::Zoom(double factor, bool noRedraw) {
    Core()->Zoom(factor, Refining());
    if (!noRedraw) DrawScene();
}

void CGLFaceView::setLinTrafos() { Core()->setLinTrafos(); }

lintraf11 CGLFaceView::cl2bmp_lintraf11() { return Core()->cl2bmp_lintraf11(); }

views::ViewSection CGLFaceView::Section() const { return core().section(); }

void CGLFaceView::ApplySection(const views::ViewSection& s) { Core()->applySection(s); }

BOOL CGLFaceView::OnMouseWheel(UINT, short delta, CPoint) {
    // A notch zooms by 1.25 about the client centre, in when turned away.
    Zoom(Core()->wheelRect(delta > 0));
    return TRUE;
}

void CGLFaceView::OnMButtonUp(UINT, CPoint point) {
    const ClientRect r{std::min(pressPoint.x, point.x), std::min(pressPoint.y, point.y),
                       std::max(pressPoint.x, point.x), std::max(pressPoint.y, point.y)};
    if (pressed) Zoom(r);
    pressed = false;
}
