#include "views/viewedit2d3d.h"

#include <algorithm>
#include <cstdlib>

#include "document/facedoc.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "model/elements.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "seams/app.h"
#include "views/lines2d.h"

IMPLEMENT_DYNCREATE_DOC(CViewEdit2D3D, CGLFaceView, CFaceDoc)

BEGIN_MESSAGE_MAP(CViewEdit2D3D, CGLFaceView)
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_RBUTTONDOWN()
ON_WM_RBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

CViewEdit2D3D::CViewEdit2D3D(CFaceDoc* doc, int paneId) : CGLFaceView(doc, paneId) {
    viewName = "ViewEdit2D3D";
    ClearAllViewSettings();
}

CViewEdit2D3D::~CViewEdit2D3D() = default;

void CViewEdit2D3D::InitializeModelForOpenGL() {
    CFaceDoc* d = GetDocument();
    if (!d || !d->kernel3D) return;
    CWaitCursor wait;
    core_.InitializeModelForOpenGL(*d->kernel3D);
}

bool CViewEdit2D3D::RenderFrame(const offscreen::PixelRows& rows) {
    CFaceDoc* d = GetDocument();
    const bool drawHead = (d && d->photoNumber > 0) || Refining();
    const CWinBmp* photo = WorkingBitmap();
    if (Stage() <= 0 || (photo && (photo->GetWidth() <= 0 || photo->GetHeight() <= 0))) photo = nullptr;
    return core_.DrawScene(rows, drawHead, photo);
}

void CViewEdit2D3D::DrawMarks(CDC& dc) {
    const int stage = Stage();
    if (stage == 2000) {
        if (featureDisplay) {
            DrawFeatureLines(dc);
            DrawFeatureLines3D(dc);
        }
        DrawSelectedItems(dc, true);
        DrawRubberTrace(nullptr);
    } else if (stage == 1000 && Refining() && featureDisplay) {
        DrawFeaturePoints3D(dc);
    }
}

void CViewEdit2D3D::FitInView() { FitInBlock(); }

void CViewEdit2D3D::FitInBlock() {
    CFaceDoc* d = GetDocument();
    if (d && d->kernel2D) {
        const CKernel2D& k = *d->kernel2D;
        const long w = k.scaledWidth > 0 ? k.scaledWidth : k.photo.GetWidth();
        const long h = k.scaledHeight > 0 ? k.scaledHeight : k.photo.GetHeight();
        FitToPhoto(w, h, core_.core().principalX(), core_.core().principalY());
    }
    RedrawWindow();
}

void CViewEdit2D3D::FitInView2() {
    core_.defaultEyeDistance = defaultEyeDistance;
    core_.FitInView2(Refining());
    DrawScene();
}

void CViewEdit2D3D::writeOpenGL(fnd::fileTB& f) { core_.writeOpenGL(f); }

void CViewEdit2D3D::readOpenGL(fnd::fileTB& f) { core_.readOpenGL(f); }

BOOL CViewEdit2D3D::OnMouseWheel(UINT flags, short delta, CPoint point) {
    if (!Refining()) return CGLFaceView::OnMouseWheel(flags, delta, point);
    // While refining the wheel moves the eye instead.
    defaultEyeDistance = delta <= 0 ? std::min(defaultEyeDistance + 10, 1500) : std::max(defaultEyeDistance - 10, 100);
    core_.defaultEyeDistance = defaultEyeDistance;
    core_.baseEye = vector3<double>(0, 0, defaultEyeDistance);
    CalculateEyeFromAngles();
    DrawScene();
    return TRUE;
}

void CViewEdit2D3D::DrawFeaturePoints3D() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeaturePoints3D(dc);
}

void CViewEdit2D3D::DrawFeaturePoints3D(CDC& dc) {
    head3* h = Head();
    if (!h) return;
    const int group = FeatureGroup();
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(RGB(128, 128, 255));
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    for (int k = h->featurepoints.first(); k != -1; k = h->featurepoints.nextOf(k)) {
        featurepoint3& p = h->featurepoints[k];
        const bool bound = p.vtx != -1 || (p.extra != -1 && p.extra.data().tri != -1);
        if (!bound || !GoodInfoCode(group, CString(p.name()))) continue;
        if (core_.Coord3Dto2D(p, 0)) views::Circle(dc, vector2<double>(p.projX, p.projY), 5);
    }
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}
