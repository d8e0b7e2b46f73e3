#include "views/vieworigphoto.h"

#include <cmath>
#include <cstdlib>

#include "document/facedoc.h"
#include "model/head.h"
#include "picture/winbmp.h"
#include "seams/app.h"
#include "views/mark_edit.h"
#include "views/viewedit3d.h"

IMPLEMENT_DYNCREATE_DOC(CViewOrigPhoto, CFaceView, CFaceDoc)

BEGIN_MESSAGE_MAP(CViewOrigPhoto, CFaceView)
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_RBUTTONDOWN()
ON_WM_RBUTTONUP()
ON_WM_MBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_MOUSEWHEEL()
ON_WM_KEYDOWN()
ON_WM_SIZE()
END_MESSAGE_MAP()

namespace {

constexpr int kCloneSubMode = 4;

}  // namespace

CViewOrigPhoto::CViewOrigPhoto(CFaceDoc* doc, int paneId) : CFaceView(doc, paneId) {
    viewName = "ViewOrigPhoto";
    ClearAllViewSettings();
}

void CViewOrigPhoto::OnDraw(CDC* dc) {
    CWaitCursor wait;
    DrawPicture(dc);
    rubberSplineShown = rubberRectShown = false;
    CFaceView::OnDraw(dc);
}

void CViewOrigPhoto::FitInView() { PhotoFitInView(); }

BOOL CViewOrigPhoto::OnMouseWheel(UINT, short delta, CPoint) {
    PhotoWheel(delta);
    return TRUE;
}

void CViewOrigPhoto::OnSize(UINT type, int cx, int cy) {
    CFaceView::OnSize(type, cx, cy);
    PhotoSize(cx, cy);
}

void CViewOrigPhoto::OnKeyDown(UINT key, UINT repeat, UINT flags) {
    if (views::TurnsTheHead(key))
        if (CViewEdit3D* v = View3D()) v->OnKeyDown(key, repeat, flags);
    CFaceView::OnKeyDown(key, repeat, flags);
}

bool CViewOrigPhoto::PickCloneSource(const vector2<double>& p) {
    CViewEdit3D* v = View3D();
    head3* h = Head();
    const CWinBmp* bmp = WorkingBitmap();
    // The copy's size follows from the texture's height: without a texture
    // (or a picture) there is nothing to copy from.
    const int d = h && h->texture ? int(0.3 * h->texture->height) : 0;
    const int bw = bmp ? bmp->GetWidth() : 0, bh = bmp ? bmp->GetHeight() : 0;
    const int wd = bh > 0 ? int(2.0 * d * bw / bh) : 0;
    if (!v || d <= 0 || wd <= 0 || bw <= 0) {
        Beep();
        return false;
    }
    v->clonePhoto = *bmp;
    v->clonePhoto.ResizeBilinear(wd, d);
    v->cloneSource = vector2<double>(wd * p.x / bw, d * p.y / bh);
    v->cloneState = 0;
    v->cloneOffsets[0] = v->cloneOffsets[1] = v->cloneOffsets[2] = 0;
    v->cloneLastTriangle = -1;
    v->cloneLastPainted = v->cloneSource;
    v->cloneSourceView = this;
    return true;
}

void CViewOrigPhoto::OnLButtonDown(UINT flags, CPoint point) {
    const int tool = Tool(), mode = ToolMode();
    if (activatingClick && !(tool == 0 && mode == kCloneSubMode)) return;
    const vector2<double> p = map.toPicture(point.x, point.y);
    switch (tool) {
        case 0:
            if (mode != kCloneSubMode) {
                BackToSelect();
                break;
            }
            if (CViewEdit3D* v = View3D(); v && ((flags & MK_SHIFT) || v->cloneState < 0)) {
                if (!PickCloneSource(p)) break;
                v->DrawScene();
                DrawCloneRubber();
            }
            break;
        case 2:
        case 5:
            pressPoint = point;
            pressed = true;
            break;
        case 3:
        case 4:
            if (!pressed) {
                pressPoint = point;
                pressed = true;
            }
            break;
        default:
            break;
    }
}

void CViewOrigPhoto::OnRButtonDown(UINT, CPoint point) {
    activatingClick = false;
    if (Tool() != 0) {
        // A right drag pans.
        pressPoint = point;
        pressed = true;
    } else {
        BackToSelect();
    }
}

void CViewOrigPhoto::OnRButtonUp(UINT, CPoint) {
    // The right drag ends here: later plain moves neither zoom nor drag a
    // rectangle.
    pressed = false;
}

void CViewOrigPhoto::OnMButtonUp(UINT, CPoint) { pressed = false; }

void CViewOrigPhoto::OnMouseMove(UINT flags, CPoint point) {
    const int tool = Tool();
    if (pressed && (flags & MK_RBUTTON)) {
        PhotoPan(point);
    } else if (pressed && (flags & MK_MBUTTON)) {
        if (std::abs(point.y - pressPoint.y) > 1) {
            const double f = point.y > pressPoint.y ? 0.8 : 1.25;
            pressPoint = point;
            PhotoZoomStep(f);
        }
    } else if (pressed && tool == 2) {
        // Every move zooms: out when it went down, else in.
        const double f = point.y > pressPoint.y ? 0.8 : 1.25;
        pressPoint = point;
        PhotoZoomStep(f);
    } else if (pressed && tool == 5 && (flags & MK_LBUTTON)) {
        PhotoPan(point);
    } else if (pressed && (tool == 3 || tool == 4)) {
        if (rubberRectShown) DrawRubberRectangle(&pressPoint, &lastRubber);
        lastRubber = point;
        DrawRubberRectangle(&pressPoint, &lastRubber);
        rubberRectShown = true;
    }
    CFaceView::OnMouseMove(flags, point);
}

void CViewOrigPhoto::OnLButtonUp(UINT, CPoint point) {
    const int tool = Tool(), mode = ToolMode();
    if (activatingClick && !(tool == 0 && mode == kCloneSubMode)) {
        activatingClick = false;
        return;
    }
    const bool wasPressed = pressed;
    pressed = false;
    if ((tool == 3 || tool == 4) && wasPressed) {
        if (point == pressPoint) {
            // A rectangle of no size: nothing changes, the rubber goes.
            if (rubberRectShown) DrawRubberRectangle(&pressPoint, &lastRubber);
            rubberRectShown = false;
            return;
        }
        const CSize c = ClientSize();
        if (tool == 3)
            map.zoomIn(pressPoint, point, c.cx, c.cy);
        else
            map.zoomOut(pressPoint, point, c.cx, c.cy);
        RedrawWindow();
        if (svc::MainFrame* f = Frame()) f->tool = 0;
    }
}

void CViewOrigPhoto::DrawCloneRubber() {
    CViewEdit3D* v = View3D();
    const CWinBmp* bmp = WorkingBitmap();
    if (!m_hWnd || !v || !bmp || ToolMode() != kCloneSubMode || v->cloneState < 0 || v->cloneSourceView != this)
        return;
    const int cw = v->clonePhoto.GetWidth(), ch = v->clonePhoto.GetHeight();
    if (cw <= 0 || ch <= 0) return;
    const CPoint c(int(bmp->GetWidth() * v->cloneLastPainted.x / cw * map.zoom + map.offsetX),
                   int(bmp->GetHeight() * v->cloneLastPainted.y / ch * map.zoom + map.offsetY));
    CClientDC dc(this);
    CPen pen(PS_SOLID, 0, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&pen);
    dc.SetROP2(R2_NOT);
    auto cross = [&](CPoint at) {
        dc.MoveTo(at.x - 20, at.y);
        dc.LineTo(at.x + 20, at.y);
        dc.MoveTo(at.x, at.y - 20);
        dc.LineTo(at.x, at.y + 20);
    };
    if (rubberSplineShown || rubberRectShown) cross(lastRubber);
    cross(c);
    dc.SelectObject(old);
    lastRubber = c;
    rubberSplineShown = rubberRectShown = true;
}
