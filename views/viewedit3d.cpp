#include "views/viewedit3d.h"

#include <cmath>
#include <string>

#include "document/facedoc.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/elements.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "views/lines2d.h"
#include "views/surface_marks.h"

IMPLEMENT_DYNCREATE_DOC(CViewEdit3D, CGLFaceView, CFaceDoc)

BEGIN_MESSAGE_MAP(CViewEdit3D, CGLFaceView)
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_RBUTTONDOWN()
ON_WM_RBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

CViewEdit3D::CViewEdit3D(CFaceDoc* doc, int paneId) : CGLFaceView(doc, paneId), core_(*this) {
    viewName = "ViewEdit3D";
    ClearAllViewSettings();
}

CViewEdit3D::~CViewEdit3D() = default;

void CViewEdit3D::ClearAllViewSettings() {
    CFaceView::ClearAllViewSettings();
    freeToolDepth = 0;
    marginX = marginY = 0;
    activeLine = -1;
    newLinePending = true;
    centralPress = true;
    redrawOnRelease = locked = false;
    pendingCode = 0;
    yawCarry = rollCarry = 0;
    itemDrag = pulled = false;
}

bool CViewEdit3D::RenderFrame(const offscreen::PixelRows& rows) {
    const CWinBmp* photo = WorkingBitmap();
    if (Stage() <= 0 || (photo && (photo->GetWidth() <= 0 || photo->GetHeight() <= 0))) photo = nullptr;
    return core_.DrawScene(rows, photo);
}

void CViewEdit3D::DrawMarks(CDC& dc) {
    if (featureDisplay) {
        DrawFeaturePoints(dc);
        DrawFeatureLines(dc);
        DrawFreePoints(dc);
        DrawExtraPoints(dc);
    }
    // The clone source picked here: an inverted cross on it.
    if (ToolMode() == 4 && cloneState >= 0 && cloneSourceView == this && Head()) {
        vector2<double> at;
        if (ProjectPoint(cloneSourcePoint, 0, &at)) {
            CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
            CPen* old = dc.SelectObject(&pen);
            const int rop = dc.SetROP2(R2_NOT);
            const CPoint c = views::Pixel(at);
            dc.MoveTo(c.x - 20, c.y);
            dc.LineTo(c.x + 21, c.y);
            dc.MoveTo(c.x, c.y - 20);
            dc.LineTo(c.x, c.y + 21);
            dc.SetROP2(rop);
            dc.SelectObject(old);
        }
    }
    DrawSelectedItems(dc, true);
}

void CViewEdit3D::InitializeModelForOpenGL(int octree, int gatheredOnly) {
    CFaceDoc* d = GetDocument();
    if (!d || !d->kernel3D) return;
    CWaitCursor wait;
    core_.InitializeModelForOpenGL(*d->kernel3D, octree != 0, gatheredOnly != 0, d->stage);
    // The core uploads only a texture other than the one it holds.
    const head3* h = d->kernel3D->head;
    if (h && h->texture) UploadTexture();
}

bool CViewEdit3D::UploadTexture() {
    CFaceDoc* d = GetDocument();
    return d && d->kernel3D && core_.UploadTexture(*d->kernel3D);
}

bool CViewEdit3D::MakeWinBmp(CWinBmp& bmp) {
    CFaceDoc* d = GetDocument();
    if (!d || !d->kernel3D || !core_.MakeWinBmp(bmp, *d->kernel3D, d->stage)) return false;
    for (CFaceView* v : {d->GetViewOrigPhoto<CFaceView>(), d->GetViewOrig2D<CFaceView>(), d->GetViewEdit3D<CFaceView>(),
                         d->GetViewEdit2D3D<CFaceView>()})
        if (v && v->m_hWnd) v->RedrawWindow();
    return true;
}

bool CViewEdit3D::MakePhoto(const CString& path) {
    CFaceDoc* d = GetDocument();
    if (!d || !d->kernel3D || !core_.MakePhoto(std::string(path.GetString()), *d->kernel3D, d->stage)) return false;
    for (CFaceView* v : {d->GetViewOrigPhoto<CFaceView>(), d->GetViewOrig2D<CFaceView>(), d->GetViewEdit3D<CFaceView>(),
                         d->GetViewEdit2D3D<CFaceView>()})
        if (v && v->m_hWnd) v->RedrawWindow();
    return true;
}

void CViewEdit3D::FitInView() { FitInBlock(); }

void CViewEdit3D::TakeCamera(const ProjectionCore& overlay, bool camera) {
    ProjectionCore& own = core_.core();
    if (camera) {
        own.setCamera(overlay.eye(), overlay.center(), overlay.up(), overlay.fovy());
        core_.takeCameraAsBase();
    } else {
        own.setCamera(own.eye(), own.center(), own.up(), overlay.fovy());
    }
    marginX = overlay.principalX();
    marginY = overlay.principalY();
    FitInBlock();
}

BOOL CViewEdit3D::FitToPhoto(long width, long height, double mx, double my) {
    if (!CGLFaceView::FitToPhoto(width, height, mx, my)) return FALSE;
    fixedClientWidth = core_.core().clientWidth();
    fixedClientHeight = core_.core().clientHeight();
    return TRUE;
}

void CViewEdit3D::GetClientRectSpecial(RECT* r) const {
    if (!r) return;
    if (fixedClientWidth != 0.0 && fixedClientHeight != 0.0) {
        *r = CRect(0, 0, int(fixedClientWidth), int(fixedClientHeight));
        return;
    }
    *r = CRect(0, 0, 0, 0);
    if (m_hWnd) GetClientRect(r);
}

void CViewEdit3D::FitInBlock() {
    CFaceDoc* d = GetDocument();
    if (d && d->kernel2D) {
        const CKernel2D& k = *d->kernel2D;
        const long w = k.scaledWidth > 0 ? k.scaledWidth : k.photo.GetWidth();
        const long h = k.scaledHeight > 0 ? k.scaledHeight : k.photo.GetHeight();
        FitToPhoto(w, h, marginX, marginY);
    }
    RedrawWindow();
}

void CViewEdit3D::writeOpenGL(fnd::fileTB& f) { core_.writeOpenGL(f); }

void CViewEdit3D::readOpenGL(fnd::fileTB& f) { core_.readOpenGL(f); }

namespace {

// Drawn as the view sees it: bound to the surface.
bool onSurface(const generalpoint3& p) { return p.vtx != -1 || (p.extra != -1 && p.extra.data().tri != -1); }

}  // namespace

void CViewEdit3D::DrawFeaturePoints(bool) {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeaturePoints(dc);
}

void CViewEdit3D::DrawFeaturePoints(CDC& dc) {
    head3* h = Head();
    if (!h) return;
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(RGB(0, 255, 0));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    for (int k = h->featurepoints.first(); k != -1; k = h->featurepoints.nextOf(k)) {
        featurepoint3& p = h->featurepoints[k];
        if (!onSurface(p)) continue;
        bool selected = false;
        for (const IndexSelector& s : selection) selected = selected || (s.kind == 8 && s.index == k);
        if (selected || !Coord3Dto2D(p, 0)) continue;
        views::Circle(dc, vector2<double>(p.projX, p.projY), 5);
    }
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

void CViewEdit3D::DrawActiveFeaturePoint(const CString* name, bool) {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawActiveFeaturePoint(dc, name);
}

void CViewEdit3D::DrawActiveFeaturePoint(CDC& dc, const CString* name) {
    head3* h = Head();
    if (!h) return;
    Index<featurepoint3> found = -1;
    if (name && !name->IsEmpty()) {
        found = h->featurepoints.get(name->GetString());
    } else {
        CString code;
        for (int row = 0; found == -1 && GetFeaturePointInfo(row, &code); ++row) {
            Index<featurepoint3> f = h->featurepoints.get(code.GetString());
            if (f != -1 && onSurface(h->featurepoints[f])) found = f;
        }
    }
    if (found == -1) return;
    featurepoint3& p = h->featurepoints[found];
    if (!onSurface(p) || !Coord3Dto2D(p, 0)) return;
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(RGB(0, 255, 0));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    views::Circle(dc, vector2<double>(p.projX, p.projY), 5);
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}
