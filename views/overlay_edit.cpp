// Editing and drawing the posed-head marks in the head-over-photo view: the
// named points and lines of head2's overlay chains placed, drawn, named,
// dragged and deleted; the head turned and moved by hand while refining;
// the view zoomed and panned.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/facedoc.h"
#include "app/mainframe.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "foundation/spline.h"
#include "model/elements.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/intervals.h"
#include "views/lines2d.h"
#include "views/page_links.h"
#include "views/surface_marks.h"
#include "views/viewedit2d3d.h"
#include "views/viewedit3d.h"

namespace {

constexpr double kPickRadius = 30;
constexpr const char* kDefaultName = "default_name_of_";
constexpr double kDegree = 0.017453292519943295;
constexpr double kTwoPi = 6.283185307179586;

bool selectedAs(const std::vector<IndexSelector>& selection, int index, int kind) {
    for (const IndexSelector& s : selection)
        if (s.kind == kind && s.index == index) return true;
    return false;
}

bool turnsTheHead(UINT key) { return (key >= 36 && key <= 40) || (key >= 97 && key <= 105); }

double wrapAngle(double a) {
    if (a < 0) a += kTwoPi;
    if (a > kTwoPi) a -= kTwoPi;
    return a;
}

// Whole steps of 3 pixels out of the pixels carried so far; the rest is
// kept, so that small moves add up instead of being lost.
int spendThirds(int& carry, int pixels) {
    carry += pixels;
    const int steps = carry / 3;  // truncated towards zero
    carry -= 3 * steps;
    return steps;
}

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

void CViewEdit2D3D::PreviousTool() {
    if (CMainFrame* f = Frame()) {
        f->tool = f->previousTool;
        f->toolMode = f->previousToolMode;
    }
}

// ---------------------------------------------------------------- picking

CViewEdit2D3D::Nearest CViewEdit2D3D::NearestMark(const vector2<double>& p, bool points, int skip) const {
    Nearest n;
    auto* lines = Lines2D();
    auto* pts = Points2D();
    if (!lines || !pts) return n;
    const vector2<double> c = PictureToClient(p);
    auto consider = [&](const vector2<double>& q) {
        const vector2<double> w = PictureToClient(q);
        const double d = std::hypot(w.x - c.x, w.y - c.y);
        if (d <= n.distance) {
            n.distance = d;
            n.position = q;
            n.found = true;
        }
    };
    if (points)
        for (int k = pts->first(); k != -1; k = pts->nextOf(k)) consider((*pts)[k].position);
    const int group = FeatureGroup();
    for (int l = lines->first(); l != -1; l = lines->nextOf(l)) {
        const featureline2& line = (*lines)[l];
        if (!GoodInfoCode(group, CString(line.name()))) continue;
        for (int q = line.first(); q != -1; q = line.nextOf(q))
            if (q != skip) consider(line[q].position);
    }
    return n;
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
            if (!GoodInfoCode(group, CString(line.name())) || selectedAs(selection, l, 16)) continue;
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
            if (selectedAs(selection, k, 32)) continue;
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
    const Index<linepoint2> q = line.closing && line.first() != -1 ? line.insert_before_whichindex(-2, line.last())
                                                                   : line.add();
    line[q].kind = corner || line.count() == 1 ? 2 : 1;
    vector2<double> at = pos;
    if (snap) {
        const Nearest n = NearestMark(pos, true, q);
        if (n.found && n.distance <= kPickRadius) at = n.position;
    }
    line[q].position = at;
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
        if (snap) {
            const Nearest n = NearestMark(extra, true);
            if (n.found && n.distance <= kPickRadius) extra = n.position;
        }
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
        if (selectedAs(selection, k, 32) || !GoodInfoCode(group, CString((*pts)[k].name()))) continue;
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
    const int group = FeatureGroup();
    const views::PictureToClient toClient = [this](const vector2<double>& p) { return PictureToClient(p); };
    for (int l = lines->first(); l != -1; l = lines->nextOf(l)) {
        const featureline2& line = (*lines)[l];
        if (!GoodInfoCode(group, CString(line.name())) || selectedAs(selection, l, 16)) continue;
        views::DrawLineShape(dc, views::ShapeOfLine(line, toClient), RGB(0, 255, 0), RGB(0, 200, 0));
    }
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
        if (line.count() == 0 || !GoodInfoCode(group, CString(line.name())) || selectedAs(selection, l, 4))
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
    const views::PictureToClient toClient = [this](const vector2<double>& p) { return PictureToClient(p); };
    const std::vector<IndexSelector> items = selection;
    for (const IndexSelector& item : items) {
        if (item.kind == 16 && item.index >= 0) {
            SetNewRubberForSpline(true, nullptr);
            views::DrawLineShape(dc, views::ShapeOfLine((*lines)[item.index], toClient),
                                 highlight ? RGB(255, 64, 64) : RGB(0, 255, 0),
                                 highlight ? RGB(255, 0, 0) : RGB(0, 200, 0));
        } else if (item.kind == 32 && item.index >= 0) {
            views::Pens d(dc, RGB(0, 0, 0), 1, highlight ? RGB(255, 64, 64) : RGB(0, 255, 0));
            views::Circle(dc, toClient((*pts)[item.index].position), 5);
        } else if (item.kind == 4 && item.index >= 0) {
            SetNewRubberForSpline(true, nullptr);
            DrawLine3D(dc, item.index, highlight ? RGB(255, 64, 64) : RGB(0, 0, 255),
                       highlight ? RGB(255, 0, 0) : RGB(128, 128, 255), highlight);
        }
    }
}

void CViewEdit2D3D::DrawRubberTrace(CPoint* cursor) {
    if (!m_hWnd || (trace.first() == -1 && !cursor)) return;
    CClientDC dc(this);
    std::vector<vector2<double>> at;
    for (int k = trace.first(); k != -1; k = trace.nextOf(k))
        at.push_back(PictureToClient(vector2<double>(std::fabs(trace[k].x), std::fabs(trace[k].y))));
    views::Pens d(dc, RGB(0, 0, 0), 1, RGB(255, 255, 255));
    const int rop = dc.SetROP2(R2_NOT);
    for (size_t i = 1; i < at.size(); ++i) {
        dc.MoveTo(views::Pixel(at[i - 1]));
        dc.LineTo(views::Pixel(at[i]));
    }
    if (cursor && !at.empty()) {
        dc.MoveTo(views::Pixel(at.back()));
        dc.LineTo(*cursor);
    }
    dc.SetROP2(rop);
    for (const vector2<double>& p : at) views::Circle(dc, p, 3);
}

// ---------------------------------------------------------------- editing

bool CViewEdit2D3D::NameSelectedLine() {
    auto* lines = Lines2D();
    CString code;
    if (!lines || selection.empty() || selection.back().kind != 16 || !GetFeatureLineInfo(currentRow, &code))
        return false;
    featureline2& line = (*lines)[selection.back().index];
    if (!std::strstr(line.name(), kDefaultName)) {
        Beep();
        MessageBox("Already selected !", "Error", MB_OK);
        return false;
    }
    line.set_name(code.GetString(), false);
    return true;
}

void CViewEdit2D3D::CurvePageNext() {
    if (views::CurvePageCalls* c = CurvePage()) {
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
                featureline2& line = (*lines)[l];
                const bool closed = line.count() > 1 && line[line.first()].position == line[line.last()].position;
                line.closing = line.closedSpline = closed ? 1 : 0;
                if (rubberSplineShown) DrawRubberSpline();
                SetNewRubberForSpline(shift, nullptr);
                DrawRubberSpline();
                rubberSplineShown = true;
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
                vector2<double> at = p;
                if (shift) {
                    const Nearest n = NearestMark(p, false);
                    if (n.found && n.distance <= kPickRadius) at = n.position;
                }
                (*pts)[fp].position = at;
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
            Index<linepoint2> after = -1;
            double best = 1e10;
            for (Index<linepoint2> t = line.first(); t != -1 && t != line.last(); t = line.nextOf(t)) {
                const vector2<double> a = PictureToClient(line[t].position);
                const vector2<double> b = PictureToClient(line[line.nextOf(t)].position);
                const double cost = std::hypot(point.x - a.x, point.y - a.y) + std::hypot(point.x - b.x, point.y - b.y);
                if (cost <= best) {
                    best = cost;
                    after = t;
                }
            }
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
    if (tool == 2 || tool == 5 || ((tool == 3 || tool == 4) && !pressed)) {
        pressPoint = point;
        pressed = true;
    }
}

void CViewEdit2D3D::EndLine(UINT flags, CPoint point) {
    if (rubberSplineShown) {
        DrawRubberSpline();
        rubberSplineShown = false;
    }
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
            const Nearest n = NearestMark(p, true);
            if (n.found && n.distance <= kPickRadius) appendPoint(p, l, (flags & MK_CONTROL) != 0, true);
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
        const double m = down ? 1.25 : 0.8;
        const int hw = int(std::lround(m * c.cx / 2)), hh = int(std::lround(m * c.cy / 2));
        Zoom(ClientRect{c.cx / 2 - hw, c.cy / 2 - hh, c.cx / 2 + hw, c.cy / 2 + hh});
        pressPoint = p;
    };
    if (!moving) {
        if (pressed && (flags & MK_MBUTTON) && std::abs(p.y - q.y) > 1) {
            dragZoom(q.y < p.y);
        } else {
            const int tool = Tool();
            if (tool == 0 && ToolMode() == 1 && !lineFinished) {
                if (rubberSplineShown) DrawRubberSpline();
                SetNewRubberForSpline((flags & MK_SHIFT) != 0, &p);
                DrawRubberSpline();
                rubberSplineShown = true;
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
                        featureline2& line = (*lines)[item.index];
                        line[item.second].position = at;
                        if (line.closing && item.second == line.first()) line[line.last()].position = at;
                        if (line.closing && item.second == line.last()) line[line.first()].position = at;
                        pointMoved = true;
                        DrawScene();
                    }
                }
            } else if (tool == 1) {
                CMainFrame* f = Frame();
                views::CurvePageCalls* curves = CurvePage();
                auto* lines = Lines2D();
                if (curves && lines && Stage() == 2000 && f && f->GetActiveView() == this) {
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
                        CString code;
                        const char* name = (*lines)[now.index].name();
                        for (int row = 0; GetFeatureLineInfo(row, &code); ++row)
                            if (code.View() == std::string_view(name)) currentRow = row;
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
                if (rubberRectShown) DrawRubberRectangle(&pressPoint, &lastRubber);
                lastRubber = p;
                DrawRubberRectangle(&pressPoint, &lastRubber);
                rubberRectShown = true;
            }
        }
    }
    if (turning) {
        views::GLViewCore& g = core_;
        if (twoAxis) {
            g.pitch = wrapAngle(g.pitch + (p.y - pressPoint.y) * 0.005817764173314432);
            g.yaw = wrapAngle(g.yaw + spendThirds(yawCarry, p.x - pressPoint.x) * kDegree);
        } else {
            int h = pressPoint.x - p.x;
            if (p.y > c.cy / 2) h = -h;
            const int v = p.y - pressPoint.y;
            if (std::abs(h) < std::abs(v)) h = p.x > c.cx / 2 ? -v : v;
            g.roll = wrapAngle(g.roll + spendThirds(rollCarry, h) * kDegree);
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
            const int dx = from.x - p.x, dy = from.y - p.y;
            Zoom(ClientRect{dx, dy, c.cx + dx, c.cy + dy});
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
    if ((tool == 3 || tool == 4) && wasPressed) {
        if (rubberRectShown) DrawRubberRectangle(&pressPoint, &lastRubber);
        rubberRectShown = false;
        const int x0 = std::min(pressPoint.x, point.x), y0 = std::min(pressPoint.y, point.y);
        const int x1 = std::max(pressPoint.x, point.x), y1 = std::max(pressPoint.y, point.y);
        if (tool == 3) {
            Zoom(ClientRect{x0, y0, x1, y1});
        } else if (x1 - x0 >= 10 && y1 - y0 >= 10) {
            Zoom(views::ZoomOutRect(c.cx, c.cy, x0, y0, x1 - x0, y1 - y0));
        }
    }
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
            if (views::CurvePageCalls* c = CurvePage()) {
                if (mode == 1) c->ClearFlashing();
                c->RefreshLists();
                c->GetNextFeatureIfNeed();
            }
        }
    } else if (key == VK_ESCAPE) {
        if (!lineFinished) {
            auto* lines = Lines2D();
            if (lines && !selection.empty() && selection.back().kind == 16 && selection.back().index >= 0) {
                const Index<featureline2> l = selection.back().index;
                (*lines)[l].remove_all();
                lines->remove(l);
            }
            DeleteRubberForSpline();
            lineFinished = true;
        }
        trace.remove_all();
        selection.clear();
        RedrawWindow();
    } else if (key == VK_DELETE) {
        DeleteSelectedItems();
    } else if (turnsTheHead(key)) {
        if (CViewEdit3D* v = View3D()) v->OnKeyDown(key, repeat, flags);
    }
    CGLFaceView::OnKeyDown(key, repeat, flags);
}

BOOL CViewEdit2D3D::DeleteSelectedItems() {
    auto* lines = Lines2D();
    auto* pts = Points2D();
    if (!lines || !pts || selection.empty()) return FALSE;
    GetDocument()->CheckPoint(32);
    for (const IndexSelector& item : selection) {
        if (item.kind == 16 && item.index >= 0) {
            (*lines)[item.index].remove_all();
            lines->remove(item.index);
            DeleteRubberForSpline();
        } else if (item.kind == 32 && item.index >= 0) {
            pts->remove(item.index);
        }
    }
    selection.clear();
    CurvePageNext();
    RedrawWindow();
    return TRUE;
}
