#include "views/faceview.h"

#include "app/facedoc.h"

IMPLEMENT_DYNAMIC(CFaceView, CView)

BEGIN_MESSAGE_MAP(CFaceView, CView)
END_MESSAGE_MAP()

CFaceView::CFaceView(CFaceDoc* doc, int) { m_pDocument = doc; }

CFaceView::~CFaceView() = default;

CFaceDoc* CFaceView::GetDocument() const { return static_cast<CFaceDoc*>(m_pDocument); }

void CFaceView::ClearAllViewSettings() {
    if (ProjectionCore* c = Camera()) *c = ProjectionCore();
}

void CFaceView::FitInView() { Redraw(); }

BOOL CFaceView::CanChangeTool(bool) { return TRUE; }

void CFaceView::writeOpenGL(fnd::fileTB&) {}

void CFaceView::readOpenGL(fnd::fileTB&) {}

BOOL CFaceView::FitToPhoto(long width, long height, double mx, double my) {
    ProjectionCore* c = Camera();
    if (!c) return FALSE;
    CRect r;
    if (m_hWnd) GetClientRect(&r);
    // A hidden pane is fitted as if it showed the photo at its own size.
    int cw = r.Width() > 1 && r.Height() > 1 ? r.Width() : int(width);
    int ch = r.Width() > 1 && r.Height() > 1 ? r.Height() : int(height);
    c->setClientSize(cw - 1, ch - 1);
    return c->FitToPhoto(width, height, mx, my) ? TRUE : FALSE;
}

fnd::htraf3<double> CFaceView::OpenGL2htraf() {
    ProjectionCore* c = Camera();
    return c ? c->OpenGL2htraf() : fnd::htraf3<double>(fnd::I44);
}

fnd::htraf3<double> CFaceView::cl2bmp_HTRAF3() {
    ProjectionCore* c = Camera();
    return c ? c->cl2bmp_HTRAF3() : fnd::htraf3<double>(fnd::I44);
}

void CFaceView::Redraw() {
    if (m_hWnd) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CFaceView::OnDraw(CDC*) {}
