#include "views/vieworig2d.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/facedoc.h"
#include "fitting/kernel2d.h"
#include "model/elements.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "picture/winbmp.h"
#include "seams/app.h"
#include "seams/dialogs.h"
#include "views/mark_edit.h"
#include "views/surface_marks.h"
#include "views/viewedit3d.h"

IMPLEMENT_DYNCREATE_DOC(CViewOrig2D, CFaceView, CFaceDoc)

BEGIN_MESSAGE_MAP(CViewOrig2D, CFaceView)
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

using views::kPickRadius;
using views::SelectedAs;

CViewOrig2D::CViewOrig2D(CFaceDoc* doc, int paneId) : CFaceView(doc, paneId) {
    viewName = "ViewOrig2D";
    ClearAllViewSettings();
}

void CViewOrig2D::ClearAllViewSettings() {
    backPoints.remove_all();
    facePoints.remove_all();
    frame.remove_all();
    spareFlags[0] = spareFlags[1] = false;
    CFaceView::ClearAllViewSettings();
}

fnd::commonchain_of_named_instance<featureline2>* CViewOrig2D::Lines2D() const {
    head2* m = Marks();
    return m ? &m->photoLines : nullptr;
}

bool CViewOrig2D::InsideBitmap(const vector2<double>& p) const {
    const CWinBmp* bmp = WorkingBitmap();
    return Stage() > 0 && bmp && p.x >= 0 && p.y >= 0 && p.x < bmp->GetWidth() && p.y < bmp->GetHeight();
}

void CViewOrig2D::PreviousTool() { views::PreviousTool(Frame()); }

// ---------------------------------------------------------------- drawing

void CViewOrig2D::OnDraw(CDC* dc) {
    DrawPicture(dc);
    rubberSplineShown = rubberRectShown = false;
    if (featureDisplay) {
        if (Stage() != 2000) {
            DrawSpecPoints(dc);
            DrawFeaturePoints(*dc, false);
        }
        DrawFeatureLines(*dc);
    }
    if (featurePlacing) DrawFeaturePoints(*dc, true);
    DrawSelectedItems(*dc, true);
    DrawRubberTrace(nullptr);
    DrawRubberFrame(nullptr);
    DrawRubberBackAndFacePoints();
    CFaceView::OnDraw(dc);
}

void CViewOrig2D::FitInView() { PhotoFitInView(); }

bool CViewOrig2D::Hidden(const char* name, bool mainPoints) const {
    // Rows of other feature groups are passed over: their codes never name
    // a point of this photo.
    const int group = FeatureGroup();
    CString code;
    int kind = 0;
    for (int row = 0; GetFeaturePointInfo(row, &code, nullptr, nullptr, &kind); ++row) {
        const bool shown = GoodInfoCode(group, code) != 0;
        if (code.View() == std::string_view(name)) return !shown || (mainPoints && kind == 0) || (!mainPoints && kind > 1);
        if (shown && mainPoints && kind == 0) return true;
    }
    return !GoodInfoCode(group, CString(name));
}

void CViewOrig2D::DrawFeaturePoints(bool mainPoints) {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeaturePoints(dc, mainPoints);
}

void CViewOrig2D::DrawFeaturePoints(CDC& dc, bool mainPoints) {
    head2* m = Marks();
    if (!m) return;
    views::Pens d(dc, RGB(0, 0, 0), 1, RGB(0, 255, 0));
    for (int k = m->photoPoints.first(); k != -1; k = m->photoPoints.nextOf(k)) {
        if (SelectedAs(selection, k, 32) || Hidden(m->photoPoints[k].name(), mainPoints)) continue;
        views::Circle(dc, map.toClient(m->photoPoints[k].position), 5);
    }
}

void CViewOrig2D::DrawFeatureLines() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeatureLines(dc);
}

void CViewOrig2D::DrawFeatureLines(CDC& dc) {
    head2* m = Marks();
    if (!m) return;
    const views::PictureToClient toClient = [this](const vector2<double>& p) { return map.toClient(p); };
    views::DrawLines2D(dc, m->photoLines, FeatureGroup(), selection, toClient);
}

void CViewOrig2D::DrawSelectedItems(bool highlight) {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawSelectedItems(dc, highlight);
}

void CViewOrig2D::DrawSelectedItems(CDC& dc, bool highlight) {
    head2* m = Marks();
    if (!m || selection.empty()) return;
    const int rop = dc.SetROP2(xorDrag ? R2_XORPEN : R2_COPYPEN);
    // A copy: rebuilding the rubber below must not disturb the walk.
    const std::vector<IndexSelector> items = selection;
    for (const IndexSelector& item : items) views::DrawSelected2D(*this, dc, m->photoPoints, item, highlight);
    dc.SetROP2(rop);
}

void CViewOrig2D::DrawSpecPoints(CDC* dc) {
    CFaceDoc* doc = GetDocument();
    if (!doc || !doc->kernel2D || !dc) return;
    const fnd::chain<vector2<double>>& points = doc->kernel2D->points;
    if (points.first() == -1) return;
    views::Pens d(*dc, RGB(0, 0, 0), 1, RGB(255, 0, 0));
    for (int k = points.first(); k != -1; k = points.nextOf(k)) views::Circle(*dc, map.toClient(points[k]), 5);
}

void CViewOrig2D::DrawRubberTrace(CPoint* cursor) {
    if (!m_hWnd || (trace.first() == -1 && !cursor)) return;
    CClientDC dc(this);
    views::DrawTrace(dc, trace, [this](const vector2<double>& p) { return map.toClient(p); }, cursor);
}

void CViewOrig2D::DrawRubberFrame(CPoint* cursor) {
    if (!m_hWnd || frame.first() == -1) return;
    CClientDC dc(this);
    views::Pens d(dc, RGB(0, 0, 0), 1, RGB(255, 255, 255));
    dc.SetROP2(R2_NOT);
    std::vector<vector2<double>> at;
    for (int k = frame.first(); k != -1; k = frame.nextOf(k))
        at.push_back(map.toClient(vector2<double>(std::fabs(frame[k].x), std::fabs(frame[k].y))));
    for (size_t i = 1; i < at.size(); ++i) {
        dc.MoveTo(views::Pixel(at[i - 1]));
        dc.LineTo(views::Pixel(at[i]));
    }
    if (cursor) {
        dc.MoveTo(views::Pixel(at.back()));
        dc.LineTo(*cursor);
    }
}

void CViewOrig2D::DrawRubberBackAndFacePoints() {
    if (!m_hWnd || (backPoints.first() == -1 && facePoints.first() == -1)) return;
    CClientDC dc(this);
    {
        views::Pens d(dc, RGB(0, 0, 0), 1, RGB(255, 255, 255));
        for (int k = backPoints.first(); k != -1; k = backPoints.nextOf(k))
            views::Circle(dc, map.toClient(backPoints[k]), 3);
    }
    views::Pens d(dc, RGB(255, 255, 255), 1, RGB(0, 0, 0));
    for (int k = facePoints.first(); k != -1; k = facePoints.nextOf(k))
        views::Circle(dc, map.toClient(facePoints[k]), 3);
}

// ---------------------------------------------------------------- picking

CViewOrig2D::Nearest CViewOrig2D::NearestMark(const vector2<double>& p, bool points, bool onlyShown,
                                               int skip) const {
    head2* m = Marks();
    if (!m) return Nearest();
    return views::NearestMark(points ? &m->photoPoints : nullptr, m->photoLines, onlyShown, FeatureGroup(), skip,
                              [&](const vector2<double>& q) {
                                  return std::hypot(map.zoom * (q.x - p.x), map.zoom * (q.y - p.y));
                              });
}

BOOL CViewOrig2D::SelectItem(CPoint& point, UINT mask, bool add) {
    if (!featureDisplay && !featurePlacing) return FALSE;
    head2* m = Marks();
    if (!m) return FALSE;
    candidates.clear();
    candidateCursor = 0;
    if (!add) selection.clear();
    const vector2<double> c = map.toPicture(point.x, point.y);
    auto distance = [&](const vector2<double>& q) {
        return std::hypot(map.zoom * (q.x - c.x), map.zoom * (q.y - c.y));
    };
    double best = 1e10;
    IndexSelector bestItem;
    if (mask & 16) {
        const int group = FeatureGroup();
        for (int l = m->photoLines.first(); l != -1; l = m->photoLines.nextOf(l)) {
            const featureline2& line = m->photoLines[l];
            if (!GoodInfoCode(group, CString(line.name())) || SelectedAs(selection, l, 16)) continue;
            for (int q = line.first(); q != -1; q = line.nextOf(q)) {
                const double d = distance(line[q].position);
                if (d < kPickRadius && (candidates.empty() || candidates.back().index != l))
                    candidates.push_back({l, q, 16});
                if (d <= best) {
                    best = d;
                    bestItem = {l, q, 16};
                    if (d < kPickRadius) {
                        candidates.back() = bestItem;
                        candidateCursor = int(candidates.size()) - 1;
                    }
                }
            }
        }
    }
    if (mask & 32) {
        for (int k = m->photoPoints.first(); k != -1; k = m->photoPoints.nextOf(k)) {
            if (SelectedAs(selection, k, 32)) continue;
            const double d = distance(m->photoPoints[k].position);
            if (d < kPickRadius) candidates.push_back({k, -1, 32});
            if (d <= best) {
                best = d;
                bestItem = {k, -1, 32};
                if (d < kPickRadius) candidateCursor = int(candidates.size()) - 1;
            }
        }
    }
    if (best > kPickRadius) return FALSE;
    selection.push_back(bestItem);
    return TRUE;
}

bool CViewOrig2D::appendPoint(const vector2<double>& pos, Index<featureline2> l, bool corner, bool snap) {
    head2* m = Marks();
    if (!m || l == -1) return false;
    featureline2& line = m->photoLines[l];
    const Index<linepoint2> q = views::AddLinePoint(line, corner);
    line[q].position = snap ? views::SnappedTo(NearestMark(pos, true, true, q), pos) : pos;
    return true;
}

void CViewOrig2D::SetNewRubberForSpline(bool snap, CPoint* cursor) {
    head2* m = Marks();
    if (!m || selection.size() != 1 || selection[0].kind != 16 || selection[0].index < 0) return;
    const featureline2& line = m->photoLines[selection[0].index];
    if (line.first() == -1) return;
    DeleteRubberForSpline();
    vector2<double> extra;
    if (cursor) {
        extra = map.toPicture(cursor->x, cursor->y);
        if (snap) extra = views::SnappedTo(NearestMark(extra, true, false), extra);
    }
    const views::PictureToClient toClient = [this](const vector2<double>& p) { return map.toClient(p); };
    rubberPoints = views::ShapeOfLine(line, toClient, cursor ? &extra : nullptr).curve;
    rubberFlags.assign(rubberPoints.size(), true);
}

// ---------------------------------------------------------------- editing

bool CViewOrig2D::NameSelectedLine() {
    const int named = views::NameLastSelectedLine(*this);
    if (named == 0) {
        Beep();
        MessageBox("Already selected !", "Error", MB_OK);
    }
    return named > 0;
}

void CViewOrig2D::CurvePageNext(bool clearFlashing) {
    if (svc::CurvePage* c = CurvePage()) {
        if (clearFlashing) c->ClearFlashing();
        c->Redraw();
        c->GetNextFeatureIfNeed();
    }
}

void CViewOrig2D::PlacePoint(CPoint, const vector2<double>& p, bool snap) {
    if (currentRow < 0) {
        Beep();
        return;
    }
    head2* m = Marks();
    CString code;
    double weight = 0;
    const bool row = GetFeaturePointInfo(currentRow, &code, nullptr, &weight) != 0;
    if (row && m && GoodInfoCode(FeatureGroup(), code)) {
        GetDocument()->CheckPoint(32);
        const Index<featurepoint2> fp = m->photoPoints.add_ifnew(code.GetString());
        DrawSelectedItems(false);
        DeleteRubberForSpline();
        selection.assign(1, IndexSelector{fp, -1, 32});
        m->photoPoints[fp].position = snap ? views::SnappedTo(NearestMark(p, false, true), p) : p;
        m->photoPoints[fp].weight = weight;
        DrawFeaturePoints(false);
        DrawSelectedItems(true);
    }
    BackToSelect();
    const CString shown = row ? code : CString();
    if (CViewEdit3D* v = View3D()) v->DrawActiveFeaturePoint(&shown, false);
    currentRow = 0;
    CurvePageNext(false);
    if (svc::PointPage* page = PointPage()) {
        page->UpdateControls();
        page->GetNextFeatureIfNeed();
    }
}

void CViewOrig2D::OnLButtonDown(UINT flags, CPoint point) {
    // The click that activated the view only activates it.
    if (activatingClick) return;
    head2* m = Marks();
    const bool ctrl = (flags & MK_CONTROL) != 0, shift = (flags & MK_SHIFT) != 0;
    const int tool = Tool();
    if (tool == 0) {
        const vector2<double> p = map.toPicture(point.x, point.y);
        if (!InsideBitmap(p)) {
            Beep();
            return;
        }
        if (!m) return;
        switch (ToolMode()) {
            case 1: {
                Index<featureline2> l = -1;
                if (!lineFinished && !selection.empty() && selection.back().kind == 16) {
                    l = selection.back().index;
                } else {
                    GetDocument()->CheckPoint(32);
                    DrawSelectedItems(false);
                    DeleteRubberForSpline();
                    l = m->photoLines.add();
                    selection.assign(1, IndexSelector{l, -1, 16});
                    lineFinished = false;
                }
                appendPoint(p, l, ctrl, shift);
                views::CloseWhereEndsMeet(m->photoLines[l]);
                views::RedrawRubberSpline(*this, shift, nullptr);
                break;
            }
            case 2:
                PlacePoint(point, p, shift);
                break;
            case 3:
                if (currentRow < 0) {
                    Beep();
                    break;
                }
                DrawSelectedItems(false);
                if (SelectItem(point, 16, false)) {
                    if (NameSelectedLine()) {
                        DrawSelectedItems(true);
                        BackToSelect();
                        currentRow = 0;
                        CurvePageNext(false);
                    }
                } else {
                    Beep();
                    DrawSelectedItems(false);
                    selection.clear();
                }
                break;
            default:
                break;
        }
        return;
    }
    if (tool == 1) {
        if (!m) return;
        if (ctrl) {
            // Ctrl-click deletes an inner point of a line.
            DrawSelectedItems(false);
            SelectItem(point, 16, false);
            DrawSelectedItems(true);
            if (!selection.empty() && selection[0].kind == 16 && selection[0].second != -1) {
                featureline2& line = m->photoLines[selection[0].index];
                const Index<linepoint2> q = selection[0].second;
                if (q != line.first() && q != line.last()) {
                    line.remove(q);
                    selection[0].second = -1;
                    RedrawWindow();
                } else {
                    Beep();
                }
            }
        } else if (shift) {
            // Shift-click inserts a point where it lengthens the line least.
            if (selection.size() == 1 && selection[0].kind == 16) {
                featureline2& line = m->photoLines[selection[0].index];
                const vector2<double> c = map.toPicture(point.x, point.y);
                const Index<linepoint2> after = views::InsertionPlace(
                    line, [&](const vector2<double>& q) { return std::hypot(c.x - q.x, c.y - q.y); });
                const Index<linepoint2> n = line.insert_after_whichindex(-2, after);
                line[n].kind = 1;
                line[n].position = c;
                selection[0].second = n;
                BackToSelect();
                RedrawWindow();
            }
        } else {
            const int kind = Stage() >= 2000 ? 16 : 32;
            DrawSelectedItems(false);
            SelectItem(point, kind, false);
            DrawSelectedItems(true);
            if (!selection.empty() && selection[0].kind == kind) {
                dragPoint = point;
                itemDrag = true;
                xorDrag = true;
            }
        }
        return;
    }
    views::PressTool(*this, tool, point);
}

void CViewOrig2D::EndLine(UINT flags, CPoint point) {
    views::HideRubberSpline(*this);
    head2* m = Marks();
    if (m && !selection.empty() && selection.back().featureLine2() != -1) {
        const Index<featureline2> l = selection.back().index;
        featureline2& line = m->photoLines[l];
        if (line.first() != -1 && (flags & MK_SHIFT)) {
            const vector2<double> p = map.toPicture(point.x, point.y);
            if (views::WithinPick(NearestMark(p, true, false))) appendPoint(p, l, (flags & MK_CONTROL) != 0, true);
        }
        if (line.first() != -1) {
            if (line[line.first()].position == line[line.last()].position) line.closing = line.closedSpline = 1;
            line[line.last()].kind = 2;
            selection.back().second = line.last();
            if (line.count() == 1) DeleteSelectedItems();
        }
    }
    if (lineFinished || selection.empty()) {
        BackToSelect();
        currentRow = 0;
        CurvePageNext(true);
    } else if (selection.back().kind == 16 && NameSelectedLine()) {
        DrawSelectedItems(true);
        BackToSelect();
        currentRow = 0;
        CurvePageNext(true);
    }
    lineFinished = true;
    DrawFeatureLines();
    DrawSelectedItems(true);
}

void CViewOrig2D::OnRButtonDown(UINT flags, CPoint point) {
    activatingClick = false;
    if (Tool() != 0) {
        // A right drag pans.
        pressPoint = point;
        pressed = true;
        return;
    }
    switch (ToolMode()) {
        case 1:
            EndLine(flags, point);
            break;
        case 2: {
            BackToSelect();
            currentRow = 0;
            const CString none;
            if (CViewEdit3D* v = View3D()) v->DrawActiveFeaturePoint(&none, false);
            CurvePageNext(false);
            if (svc::PointPage* page = PointPage()) {
                page->UpdateControls();
                page->GetNextFeatureIfNeed();
            }
            break;
        }
        case 3:
            BackToSelect();
            currentRow = 0;
            CurvePageNext(false);
            break;
        default:
            break;
    }
}

void CViewOrig2D::OnRButtonUp(UINT, CPoint) { pressed = false; }
void CViewOrig2D::OnMButtonUp(UINT, CPoint) { pressed = false; }

void CViewOrig2D::MoveSelectedItem(CPoint point) {
    head2* m = Marks();
    if (!m || selection.size() != 1) return;
    if (std::abs(point.x - dragPoint.x) <= 2 && std::abs(point.y - dragPoint.y) <= 2) return;
    xorDrag = true;
    DrawSelectedItems(false);  // inverting: the item leaves its old place
    const vector2<double> p = map.toPicture(point.x, point.y);
    const IndexSelector& item = selection[0];
    if (item.kind == 32) {
        m->photoPoints[item.index].position = p;
    } else if (item.kind == 16 && item.second != -1) {
        views::MoveLinePoint(m->photoLines[item.index], item.second, p);
    }
    dragPoint = point;
    DrawSelectedItems(false);
}

void CViewOrig2D::HoverPages(CPoint point) {
    head2* m = Marks();
    if (!m) return;
    svc::MainFrame* f = Frame();
    svc::PointPage* points = PointPage();
    svc::CurvePage* curves = CurvePage();
    const int stage = Stage();
    int kind = 0;
    if (points && stage < 2000)
        kind = 32;
    else if (curves && stage == 2000 && f && f->ActiveFaceView() == this)
        kind = 16;
    if (!kind) return;
    const bool had = selection.size() == 1 && selection[0].kind == kind;
    const IndexSelector remembered = had ? selection[0] : IndexSelector{};
    SelectItem(point, kind, false);
    const bool hit = !selection.empty();
    const IndexSelector now = hit ? selection[0] : IndexSelector{};
    const bool differ = (had ? remembered.index : -1) != (hit ? now.index : -1);
    if (!differ || (kind == 16 && !(had && hit))) return;
    selection.clear();
    if (had) selection.push_back(remembered);
    DrawSelectedItems(false);
    if (kind == 32)
        points->StopFlash();
    else
        curves->StopFlash();
    selection.clear();
    if (!hit) return;
    selection.push_back(now);
    DrawSelectedItems(true);
    const char* name = kind == 32 ? m->photoPoints[now.index].name() : m->photoLines[now.index].name();
    currentRow = views::RowOfName(name, kind == 16, currentRow);
    if (kind == 32)
        points->StartFlash();
    else
        curves->StartFlash();
}

void CViewOrig2D::OnMouseMove(UINT flags, CPoint point) {
    const int tool = Tool();
    if (pressed && (flags & MK_RBUTTON)) {
        PhotoPan(point);
    } else if (pressed && (flags & MK_MBUTTON)) {
        if (std::abs(point.y - pressPoint.y) >= 2) {
            const double f = point.y > pressPoint.y ? 0.8 : 1.25;
            pressPoint = point;
            PhotoZoomStep(f);
        }
    } else {
        if (tool == 0 && ToolMode() == 1 && !lineFinished) {
            views::RedrawRubberSpline(*this, (flags & MK_SHIFT) != 0, &point);
        } else if (tool == 1) {
            if (itemDrag)
                MoveSelectedItem(point);
            else
                HoverPages(point);
        } else if (tool == 2 && pressed) {
            const double f = point.y > pressPoint.y ? 0.8 : 1.25;
            pressPoint = point;
            PhotoZoomStep(f);
        } else if (tool == 5 && pressed && (flags & MK_LBUTTON)) {
            PhotoPan(point);
        } else if ((tool == 3 || tool == 4) && pressed) {
            views::StretchRectangle(*this, point);
        }
    }
    CFaceView::OnMouseMove(flags, point);
}

void CViewOrig2D::OnLButtonUp(UINT, CPoint point) {
    if (activatingClick) {
        activatingClick = false;
        xorDrag = false;
        return;
    }
    const bool wasPressed = pressed;
    pressed = false;
    switch (Tool()) {
        case 1:
            itemDrag = false;
            break;
        case 3:
        case 4:
            if (!wasPressed) break;
            if (rubberRectShown) DrawRubberRectangle(&pressPoint, &lastRubber);
            rubberRectShown = false;
            // Below 10 pixels a side the rectangle tool stays.
            if (std::abs(point.x - pressPoint.x) >= 10 && std::abs(point.y - pressPoint.y) >= 10) {
                const CSize c = ClientSize();
                if (Tool() == 3)
                    map.zoomIn(pressPoint, point, c.cx, c.cy);
                else
                    map.zoomOut(pressPoint, point, c.cx, c.cy);
                RedrawWindow();
                PreviousTool();
            }
            break;
        case 2:
        case 5:
            PreviousTool();
            break;
        default:
            break;
    }
    if (xorDrag) {
        xorDrag = false;
        RedrawWindow();
    }
}

BOOL CViewOrig2D::OnMouseWheel(UINT, short delta, CPoint) {
    PhotoWheel(delta);
    return TRUE;
}

void CViewOrig2D::OnSize(UINT type, int cx, int cy) {
    CFaceView::OnSize(type, cx, cy);
    PhotoSize(cx, cy);
}

void CViewOrig2D::OnKeyDown(UINT key, UINT repeat, UINT flags) {
    const int mode = ToolMode();
    if (key == VK_RETURN) {
        if (mode == 2) {
            BackToSelect();
            currentRow = 0;
            CurvePageNext(false);
            if (svc::PointPage* page = PointPage()) {
                page->UpdateControls();
                page->GetNextFeatureIfNeed();
            }
        } else if (mode == 1 && lineFinished) {
            BackToSelect();
            currentRow = 0;
            CurvePageNext(true);
            DrawFeatureLines();
            DrawSelectedItems(true);
        }
    } else if (key == VK_ESCAPE) {
        views::DropLineUnderWay(*this);
    } else if (key == VK_DELETE) {
        DeleteSelectedItems();
    } else if (views::TurnsTheHead(key)) {
        if (CViewEdit3D* v = View3D()) v->OnKeyDown(key, repeat, flags);
    }
    CFaceView::OnKeyDown(key, repeat, flags);
}

BOOL CViewOrig2D::DeleteSelectedItems() {
    head2* m = Marks();
    if (!m || selection.empty()) return FALSE;
    views::RemoveSelected2D(*this, m->photoPoints);
    if (svc::CurvePage* c = CurvePage()) {
        c->StopFlash();
        c->Redraw();
    }
    if (svc::PointPage* p = PointPage()) {
        p->StopFlash();
        p->UpdateControls();
    }
    RedrawWindow();
    return TRUE;
}
