// Editing and drawing the posed-head marks in the head-over-photo view: the
// named points and lines of head2's overlay chains placed, drawn, named,
// dragged and deleted; the head turned and moved by hand while refining;
// the view zoomed and panned.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include "document/facedoc.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "foundation/spline.h"
#include "model/elements.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/intervals.h"
#include "seams/app.h"
#include "seams/dialogs.h"
#include "views/lines2d.h"
#include "views/mark_edit.h"
#include "views/surface_marks.h"
#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"

using views::kPickRadius;
using views::SelectedAs;

namespace {

constexpr double kDegree = 0.017453292519943295;

}  // namespace

fnd::commonchain_of_named_instance<featureline2>* CViewEdit2D3D::Lines2D() const {
    head2* m = Marks();
    return m ? &m->overlayLines : nullptr;
}

fnd::commonchain_of_named_instance<featurepoint2>* CViewEdit2D3D::Points2D() const {
    head2* m = Marks();
    return m ? &m->overlayPoints : nullptr;
}

vector2<double> CViewEdit2D3D::ClientToPicture(CPoint p) const {
    return core_.core().cl2bmp_lintraf11().traf(vector2<double>(p.x, p.y));
}

void CViewEdit2D3D::PreviousTool() { views::PreviousTool(Frame()); }

// ---------------------------------------------------------------- picking

CViewEdit2D3D::Nearest CViewEdit2D3D::NearestMark(const vector2<double>& p, bool points, int skip) const {
    auto* lines = Lines2D();
    auto* pts = Points2D();
    if (!lines || !pts) return Nearest();
    const vector2<double> c = PictureToClient(p);
    return views::NearestMark(points ? pts : nullptr, *lines, true, FeatureGroup(), skip,
                              [&](const vector2<double>& q) {
                                  const vector2<double> w = PictureToClient(q);
                                  return std::hypot(w.x - c.x, w.y - c.y);
                              });
}

BOOL CViewEdit2D3D::SelectItem(CPoint& point, UINT mask, bool add) {
    if (!featureDisplay) return FALSE;
    auto* lines = Lines2D();
    auto* pts = Points2D();
    if (!lines || !pts) return FALSE;
    candidates.clear();
    candidateCursor = 0;
    if (!add) selection.clear();
    auto distance = [&](const vector2<double>& q) {
        const vector2<double> w = PictureToClient(q);
        return std::hypot(w.x - point.x, w.y - point.y);
    };
    double best = 1e10;
    IndexSelector bestItem;
    if (mask & 16) {
        const int group = FeatureGroup();
        for (int l = lines->first(); l != -1; l = lines->nextOf(l)) {
            const featureline2& line = (*lines)[l];
            if (!GoodInfoCode(group, CString(line.name())) || SelectedAs(selection, l, 16)) continue;
            for (int q = line.first(); q != -1; q = line.nextOf(q)) {
                const double d = distance(line[q].position);
                if (d < kPickRadius) candidates.push_back({l, q, 16});
                if (d <= best) {
                    best = d;
                    bestItem = {l, q, 16};
                }
            }
        }
    }
    if (mask & 32) {
        for (int k = pts->first(); k != -1; k = pts->nextOf(k)) {
            if (SelectedAs(selection, k, 32)) continue;
            const double d = distance((*pts)[k].position);
            if (d < kPickRadius) candidates.push_back({k, -1, 32});
            if (d <= best) {
                best = d;
                bestItem = {k, -1, 32};
            }
        }
    }
    if (best > kPickRadius) return FALSE;
    selection.push_back(bestItem);
    return TRUE;
}

int CViewEdit2D3D::appendPoint(const vector2<double>& pos, Index<featureline2> l, bool corner, bool snap) {
    auto* lines = Lines2D();
    if (!lines || l == -1) return 0;
    featureline2& line = (*lines)[l];
    const Index<linepoint2> q = views::AddLinePoint(line, corner);
    line[q].position = snap ? views::SnappedTo(NearestMark(pos, true, q), pos) : pos;
    return 1;
}

void CViewEdit2D3D::SetNewRubberForSpline(bool snap, CPoint* cursor) {
    auto* lines = Lines2D();
    if (!lines || selection.size() != 1 || selection[0].kind != 16 || selection[0].index < 0) return;
    const featureline2& line = (*lines)[selection[0].index];
    if (line.first() == -1) return;
    DeleteRubberForSpline();
    vector2<double> extra;
    if (cursor) {
        extra = ClientToPicture(*cursor);
        if (snap) extra = views::SnappedTo(NearestMark(extra, true), extra);
    }
    const views::PictureToClient toClient = [this](const vector2<double>& p) { return PictureToClient(p); };
    rubberPoints = views::ShapeOfLine(line, toClient, cursor ? &extra : nullptr).curve;
    rubberFlags.assign(rubberPoints.size(), true);
}

// ---------------------------------------------------------------- drawing

void CViewEdit2D3D::DrawFeaturePoints(bool) {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeaturePoints(dc);
}

void CViewEdit2D3D::DrawFeaturePoints(CDC& dc) {
    auto* pts = Points2D();
    if (!pts) return;
    const int group = FeatureGroup();
    views::Pens d(dc, RGB(0, 0, 0), 1, RGB(0, 255, 0));
    for (int k = pts->first(); k != -1; k = pts->nextOf(k)) {
        if (SelectedAs(selection, k, 32) || !GoodInfoCode(group, CString((*pts)[k].name()))) continue;
        views::Circle(dc, PictureToClient((*pts)[k].position), 5);
    }
}

void CViewEdit2D3D::DrawFeatureLines() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeatureLines(dc);
}

void CViewEdit2D3D::DrawFeatureLines(CDC& dc) {
    auto* lines = Lines2D();
    if (!lines) return;
    const views::PictureToClient toClient = [this](const vector2<double>& p) { return PictureToClient(p); };
    views::DrawLines2D(dc, *lines, FeatureGroup(), selection, toClient);
}

void CViewEdit2D3D::DrawFeatureLines3D() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeatureLines3D(dc);
}

void CViewEdit2D3D::DrawLine3D(CDC& dc, Index<featureline3> l, COLORREF curve, COLORREF fill, bool invertStraight) {
    head3* h = Head();
    if (!h) return;
    views::BariGuard bari;
    const CSize c = ClientSize();
    const double gap = 0.01 * c.cx * core_.core().zoom();
    views::SurfaceLineDrawing draw{dc, curve, 3, RGB(160, 0, 0), fill, invertStraight, gap};
    views::DrawSurfaceLine(core_, *h, l, draw);
}

void CViewEdit2D3D::DrawFeatureLines3D(CDC& dc) {
    head3* h = Head();
    if (!h) return;
    const int group = FeatureGroup();
    for (int l = h->featurelines.first(); l != -1; l = h->featurelines.nextOf(l)) {
        const featureline3& line = h->featurelines[l];
        if (line.count() == 0 || !GoodInfoCode(group, CString(line.name())) || SelectedAs(selection, l, 4))
            continue;
        DrawLine3D(dc, l, RGB(0, 0, 255), RGB(128, 128, 255), false);
    }
}

void CViewEdit2D3D::DrawSelectedItems(bool highlight) {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawSelectedItems(dc, highlight);
}

void CViewEdit2D3D::DrawSelectedItems(CDC& dc, bool highlight) {
    auto* lines = Lines2D();
    auto* pts = Points2D();
    if (!lines || !pts || selection.empty()) return;
    const std::vector<IndexSelector> items = selection;
    for (const IndexSelector& item : items) {
        if (views::DrawSelected2D(*this, dc, *pts, item, highlight)) continue;
        if (item.kind == 4 && item.index >= 0) {
            SetNewRubberForSpline(true, nullptr);
            DrawLine3D(dc, item.index, highlight ? RGB(255, 64, 64) : RGB(0, 0, 255),
                       highlight ? RGB(255, 0, 0) : RGB(128, 128, 255), highlight);
        }
    }
}

void CViewEdit2D3D::DrawRubberTrace(CPoint* cursor) {
    if (!m_hWnd || (trace.first() == -1 && !cursor)) return;
    CClientDC dc(this);
    views::DrawTrace(dc, trace, [this](const vector2<double>& p) { return PictureToClient(p); }, cursor);
}

// ---------------------------------------------------------------- editing

bool CViewEdit2D3D::NameSelectedLine() {
    const int named = views::NameLastSelectedLine(*this);
    if (named == 0) {
        Beep();
        MessageBox("Already selected !", "Error", MB_OK);
    }
    return named > 0;
}

void CViewEdit2D3D::CurvePageNext() {
    if (svc::CurvePage* c = CurvePage()) {
        c->RefreshLists();
        c->GetNextFeatureIfNeed();
    }
}

void CViewEdit2D3D::OnLButtonDown(UINT flags, CPoint point) {
    if (activatingClick) return;
    const CSize c = ClientSize();
    twoAxis = std::hypot(point.x - c.cx / 2, point.y - c.cy / 2) <= 0.2 * c.cy;
    yawCarry = rollCarry = 0;
    const bool ctrl = (flags & MK_CONTROL) != 0, shift = (flags & MK_SHIFT) != 0;
    auto* lines = Lines2D();
    auto* pts = Points2D();
    const int tool = Tool();
    if (tool == 0) {
        if (!lines || !pts) return;
        const vector2<double> p = ClientToPicture(point);
        switch (ToolMode()) {
            case 1: {
                Index<featureline2> l = -1;
                if (!lineFinished && !selection.empty() && selection.back().kind == 16) {
                    l = selection.back().index;
                } else {
                    GetDocument()->CheckPoint(32);
                    DeleteRubberForSpline();
                    l = lines->add();
                    selection.assign(1, IndexSelector{l, -1, 16});
                    lineFinished = false;
                }
                appendPoint(p, l, ctrl, shift);
                views::CloseWhereEndsMeet((*lines)[l]);
                views::RedrawRubberSpline(*this, shift, nullptr);
                break;
            }
            case 2: {
                CString code;
                if (currentRow < 0 || !GetFeaturePointInfo(currentRow, &code)) {
                    Beep();
                    break;
                }
                GetDocument()->CheckPoint(32);
                const Index<featurepoint2> fp = pts->add_ifnew(code.GetString());
                DrawSelectedItems(false);
                DeleteRubberForSpline();
                selection.assign(1, IndexSelector{fp, -1, 32});
                (*pts)[fp].position = shift ? views::SnappedTo(NearestMark(p, false), p) : p;
                DrawFeaturePoints(false);
                DrawSelectedItems(true);
                BackToSelect();
                currentRow = 0;
                CurvePageNext();
                break;
            }
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
                        CurvePageNext();
                    }
                } else {
                    Beep();
                }
                break;
            default:
                break;
        }
        return;
    }
    if (tool == 1) {
        if (!lines || !pts) return;
        if (ctrl) {
            DrawSelectedItems(false);
            SelectItem(point, 16, false);
            DrawSelectedItems(true);
            bool removed = false;
            if (selection.size() == 1 && selection[0].kind == 16 && selection[0].second != -1) {
                featureline2& line = (*lines)[selection[0].index];
                const Index<linepoint2> q = selection[0].second;
                if (q != line.first() && q != line.last()) {
                    GetDocument()->CheckPoint(32);
                    line.remove(q);
                    selection[0].second = -1;
                    removed = true;
                    RedrawWindow();
                }
            }
            if (!removed) Beep();
            pressPoint = point;
            pressed = true;
        } else if (!shift) {
            DrawSelectedItems(false);
            SelectItem(point, 48, false);
            DrawSelectedItems(true);
            if (!selection.empty()) {
                dragPoint = point;
                itemDrag = true;
                pointMoved = true;
            }
        } else if (selection.size() == 1 && selection[0].kind == 16 && selection[0].second != -1) {
            featureline2& line = (*lines)[selection[0].index];
            const vector2<double> c = ClientToPicture(point);
            const Index<linepoint2> after = views::InsertionPlace(line, [&](const vector2<double>& q) {
                const vector2<double> w = PictureToClient(q);
                return std::hypot(point.x - w.x, point.y - w.y);
            });
            if (after != -1) {
                GetDocument()->CheckPoint(32);
                const Index<linepoint2> n = line.insert_after_whichindex(-2, after);
                line[n].kind = 1;
                line[n].position = c;
                selection[0].second = n;
                RedrawWindow();
            }
            pressPoint = point;
            pressed = true;
        }
        return;
    }
    views::PressTool(*this, tool, point);
}

void CViewEdit2D3D::EndLine(UINT flags, CPoint point) {
    views::HideRubberSpline(*this);
    auto* lines = Lines2D();
    // The line steps need a line under way that is the selection's last item.
    const bool drawing = lines && !lineFinished && !selection.empty() && selection.back().kind == 16 &&
                         selection.back().index >= 0;
    bool named = false;
    if (drawing) {
        const Index<featureline2> l = selection.back().index;
        featureline2& line = (*lines)[l];
        if (line.first() != -1 && (flags & MK_SHIFT)) {
            const vector2<double> p = ClientToPicture(point);
            if (views::WithinPick(NearestMark(p, true))) appendPoint(p, l, (flags & MK_CONTROL) != 0, true);
        }
        bool single = false;
        if (line.first() != -1) {
            if (line.count() > 1 && line[line.first()].position == line[line.last()].position)
                line.closing = line.closedSpline = 1;
            line[line.last()].kind = 2;
            selection.back().second = line.last();
            single = line.count() == 1;
        }
        if (single || line.first() == -1) {
            DeleteSelectedItems();
        } else {
            named = NameSelectedLine();
            if (named) DrawSelectedItems(true);
        }
    }
    lineFinished = true;
    DrawFeatureLines();
    DrawSelectedItems(true);
    BackToSelect();
    if (selection.empty() || !drawing) currentRow = 0;
    if (!drawing) selection.clear();
    CurvePageNext();
    (void)named;
}

void CViewEdit2D3D::OnRButtonDown(UINT flags, CPoint point) {
    activatingClick = false;
    const CSize c = ClientSize();
    twoAxis = std::hypot(point.x - c.cx / 2, point.y - c.cy / 2) <= 0.2 * c.cy;
    yawCarry = rollCarry = 0;
    if (Tool() != 0) {
        pressPoint = point;
        pressed = true;
        return;
    }
    if (ToolMode() == 1) EndLine(flags, point);
}

void CViewEdit2D3D::OnRButtonUp(UINT, CPoint) {
    pressed = false;
    twoAxis = true;
}

void CViewEdit2D3D::OnMouseMove(UINT flags, CPoint p) {
    const CPoint q = pressPoint;
    const CSize c = ClientSize();
    const bool refining = Refining();
    bool turning = refining && pressed && (flags & MK_LBUTTON);
    bool moving = pressed && (flags & MK_RBUTTON);
    auto dragZoom = [&](bool down) {
        Zoom(views::ScaledAboutCentre(c, down ? 1.25 : 0.8));
        pressPoint = p;
    };
    if (!moving) {
        if (pressed && (flags & MK_MBUTTON) && std::abs(p.y - q.y) > 1) {
            dragZoom(q.y < p.y);
        } else {
            const int tool = Tool();
            if (tool == 0 && ToolMode() == 1 && !lineFinished) {
                views::RedrawRubberSpline(*this, (flags & MK_SHIFT) != 0, &p);
            } else if (tool == 1 && itemDrag) {
                auto* lines = Lines2D();
                auto* pts = Points2D();
                const bool beyond = dragPoint.x == -1 || std::hypot(p.x - dragPoint.x, p.y - dragPoint.y) > 5;
                if (lines && pts && selection.size() == 1 && beyond) {
                    dragPoint = CPoint(-1, -1);
                    const vector2<double> at = ClientToPicture(p);
                    const IndexSelector item = selection[0];
                    if (item.kind == 32) {
                        (*pts)[item.index].position = at;
                        DrawScene();
                    } else if (item.kind == 16 && item.second != -1) {
                        DrawSelectedItems(false);
                        views::MoveLinePoint((*lines)[item.index], item.second, at);
                        pointMoved = true;
                        DrawScene();
                    }
                }
            } else if (tool == 1) {
                svc::MainFrame* f = Frame();
                svc::CurvePage* curves = CurvePage();
                auto* lines = Lines2D();
                if (curves && lines && Stage() == 2000 && f && f->ActiveFaceView() == this) {
                    const int old =
                        selection.size() == 1 && selection[0].kind == 16 ? selection[0].index : -1;
                    const std::vector<IndexSelector> kept = selection;
                    SelectItem(p, 16, false);
                    if (!selection.empty() && selection[0].index != old) {
                        const IndexSelector now = selection[0];
                        selection = kept;
                        DrawSelectedItems(false);
                        selection.assign(1, now);
                        DrawSelectedItems(true);
                        currentRow = views::RowOfName((*lines)[now.index].name(), true, currentRow);
                        curves->RefreshLists();
                    } else {
                        selection = kept;
                    }
                }
            } else if (tool == 2 && pressed && std::abs(p.y - q.y) >= 2) {
                dragZoom(q.y < p.y);
            } else if (tool == 5 && pressed && (flags & MK_LBUTTON)) {
                moving = true;
            } else if ((tool == 3 || tool == 4) && pressed) {
                views::StretchRectangle(*this, p);
            }
        }
    }
    if (turning) {
        views::GLViewCore& g = core_;
        if (twoAxis) {
            g.pitch = views::WrapAngle(g.pitch + (p.y - pressPoint.y) * 0.005817764173314432);
            g.yaw = views::WrapAngle(g.yaw + views::SpendThirds(yawCarry, p.x - pressPoint.x) * kDegree);
        } else {
            int h = pressPoint.x - p.x;
            if (p.y > c.cy / 2) h = -h;
            const int v = p.y - pressPoint.y;
            if (std::abs(h) < std::abs(v)) h = p.x > c.cx / 2 ? -v : v;
            g.roll = views::WrapAngle(g.roll + views::SpendThirds(rollCarry, h) * kDegree);
        }
        CalculateEyeFromAngles();
        DrawScene();
        pressPoint = p;
    }
    if (moving) {
        const CPoint from = pressPoint;
        if (refining) {
            core_.baseCenter.x -= (p.x - from.x) / 2.0;
            core_.baseCenter.y += (p.y - from.y) / 2.0;
            CalculateEyeFromAngles();
            DrawScene();
        } else if (p != from) {
            Zoom(views::PannedBy(c, from, p));
        }
        pressPoint = p;
    }
    CFaceView::OnMouseMove(flags, p);
}

void CViewEdit2D3D::OnLButtonUp(UINT, CPoint point) {
    if (activatingClick) {
        activatingClick = false;
        pointMoved = false;
        return;
    }
    const bool wasPressed = pressed;
    pressed = false;
    const int tool = Tool();
    const CSize c = ClientSize();
    if (tool == 1) itemDrag = false;
    if ((tool == 3 || tool == 4) && wasPressed) views::ReleaseRectangle(*this, tool, point, c);
    if (tool >= 2 && tool <= 5) PreviousTool();
    twoAxis = true;
    if (pointMoved) {
        pointMoved = false;
        RedrawWindow();
    }
}

void CViewEdit2D3D::OnKeyDown(UINT key, UINT repeat, UINT flags) {
    const int mode = ToolMode();
    if (key == VK_RETURN) {
        if (mode == 2 || (mode == 1 && lineFinished)) {
            BackToSelect();
            currentRow = 0;
            if (svc::CurvePage* c = CurvePage()) {
                if (mode == 1) c->ClearFlashing();
                c->RefreshLists();
                c->GetNextFeatureIfNeed();
            }
        }
    } else if (key == VK_ESCAPE) {
        views::DropLineUnderWay(*this);
    } else if (key == VK_DELETE) {
        DeleteSelectedItems();
    } else if (views::TurnsTheHead(key)) {
        if (CViewEdit3D* v = View3D()) v->OnKeyDown(key, repeat, flags);
    }
    CGLFaceView::OnKeyDown(key, repeat, flags);
}

BOOL CViewEdit2D3D::DeleteSelectedItems() {
    auto* lines = Lines2D();
    auto* pts = Points2D();
    if (!lines || !pts || selection.empty()) return FALSE;
    GetDocument()->CheckPoint(32);
    views::RemoveSelected2D(*this, *pts);
    CurvePageNext();
    RedrawWindow();
    return TRUE;
}
