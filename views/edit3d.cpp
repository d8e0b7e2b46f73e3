// Editing the head in the free 3D view with the mouse and keys: lines drawn
// point by point on the surface, points placed, lines named, regions made
// from closed lines, points dragged over the surface, inserted and
// removed; the head turned, panned and zoomed. And the marks drawn over
// each frame.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
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
#include "model/topology.h"
#include "seams/app.h"
#include "seams/dialogs.h"
#include "views/lines2d.h"
#include "views/mark_edit.h"
#include "views/surface_marks.h"
#include "views/viewedit3d.h"

using views::kPickRadius;
using views::SelectedAs;
using views::SpendThirds;
using views::WrapAngle;

namespace {

constexpr double kDegree = 0.017453292519943295;

bool onSurface(const generalpoint3& p) { return p.vtx != -1 || (p.extra != -1 && p.extra.data().tri != -1); }

bool samePlace(const generalpoint3& a, const generalpoint3& b) {
    const vector3<double> &p = a.point(), &q = b.point();
    return p.x == q.x && p.y == q.y && p.z == q.z;
}

void marker(CDC& dc, const vector2<double>& at, int kind) {
    if (kind == 2)
        views::Square(dc, at, 3);
    else
        views::Circle(dc, at, 3);
}

void cross(CDC& dc, const vector2<double>& at, int arm) {
    const CPoint c = views::Pixel(at);
    dc.MoveTo(c.x - arm, c.y - arm);
    dc.LineTo(c.x + arm + 1, c.y + arm + 1);
    dc.MoveTo(c.x - arm, c.y + arm);
    dc.LineTo(c.x + arm + 1, c.y - arm - 1);
}

}  // namespace

// ---------------------------------------------------------------- helpers

bool CViewEdit3D::ProjectPoint(const vector3<double>& p, int mode, vector2<double>* win) {
    if (generalpoint3::ProjCounter == -1) return false;
    core_.claimProjectionCounter();
    core_.adjustProjectionData();
    ProjectedPoint cache;
    const int m = mode == 0 ? core_.defaultVisibilityMode : mode;
    const bool visible = core_.core().Coord3Dto2D(cache, p, generalpoint3::ProjCounter, VisibilityMode(m), nullptr);
    if (cache.stamp != generalpoint3::ProjCounter) return false;
    if (win) *win = cache.window;
    return visible;
}

void CViewEdit3D::PagesRefresh() {
    if (svc::PointPage* p = PointPage()) {
        p->RefreshLists();
        p->GetNextFeatureIfNeed();
    } else if (svc::PrepPage* t = Frame() ? Frame()->OpenPrepPage() : nullptr) {
        t->RefreshLists();
        t->GetNextFeatureIfNeed();
    }
}

void CViewEdit3D::Turn(double dPitch, double dYaw, double dRoll) {
    core_.pitch = WrapAngle(core_.pitch + dPitch);
    core_.yaw = WrapAngle(core_.yaw + dYaw);
    core_.roll = WrapAngle(core_.roll + dRoll);
    CalculateEyeFromAngles();
    DrawScene();
}

// ---------------------------------------------------------------- picking

BOOL CViewEdit3D::SelectItem(CPoint& point, UINT mask, bool keep) {
    if (!featureDisplay) return FALSE;
    head3* h = Head();
    if (!h) return FALSE;
    views::BariGuard bari;
    double best = 1e10;
    IndexSelector bestItem;
    candidates.clear();
    candidateCursor = 0;
    if (!keep) selection.clear();
    auto distance = [&](double x, double y) { return std::hypot(x - point.x, y - point.y); };
    if (mask & 4) {
        const int group = FeatureGroup();
        for (int l = h->featurelines.first(); l != -1; l = h->featurelines.nextOf(l)) {
            featureline3& line = h->featurelines[l];
            if (!GoodInfoCode(group, CString(line.name())) || SelectedAs(selection, l, 4)) continue;
            const int mode = views::visibilityOf(l);
            int mine = -1;
            double mineBest = 1e10;
            for (int q = line.first(); q != -1; q = line.nextOf(q)) {
                if (!Coord3Dto2D(line[q], mode)) continue;
                const double d = distance(line[q].projX, line[q].projY);
                if (d < kPickRadius && d < mineBest) {
                    if (mine == -1) {
                        candidates.push_back({l, q, 4});
                        mine = int(candidates.size()) - 1;
                    }
                    candidates[mine].second = q;
                    mineBest = d;
                }
                if (d <= best) {
                    best = d;
                    bestItem = {l, q, 4};
                }
            }
        }
    }
    if (mask & 8) {
        for (int k = h->featurepoints.first(); k != -1; k = h->featurepoints.nextOf(k)) {
            featurepoint3& p = h->featurepoints[k];
            if (!onSurface(p) || SelectedAs(selection, k, 8) || !Coord3Dto2D(p, 0)) continue;
            const double d = distance(p.projX, p.projY);
            if (d < kPickRadius) candidates.push_back({k, -1, 8});
            if (d <= best) {
                best = d;
                bestItem = {k, -1, 8};
            }
        }
    }
    if (mask & 2) {
        for (int k = freePoints.first(); k != -1; k = freePoints.nextOf(k)) {
            if (SelectedAs(selection, k, 2)) continue;
            vector2<double> at;
            const vector3<double> base = h->getBasePoint(freePoints[k], nullptr);
            bool visible = ProjectPoint(freePoints[k], furtherModes[1], &at);
            if (!visible) visible = ProjectPoint(base, furtherModes[0], nullptr) && ProjectPoint(freePoints[k], 1, &at);
            if (!visible) continue;
            const double d = distance(at.x, at.y);
            if (d < kPickRadius) candidates.push_back({k, -1, 2});
            if (d <= best) {
                best = d;
                bestItem = {k, -1, 2};
            }
        }
    }
    if (mask & 1) {
        for (int k = extraPoints.first(); k != -1; k = extraPoints.nextOf(k)) {
            if (SelectedAs(selection, k, 1) || !Coord3Dto2D(extraPoints[k], furtherModes[1])) continue;
            const double d = distance(extraPoints[k].projX, extraPoints[k].projY);
            if (d < kPickRadius) candidates.push_back({k, -1, 1});
            if (d <= best) {
                best = d;
                bestItem = {k, -1, 1};
            }
        }
    }
    if (best > kPickRadius) return FALSE;
    selection.push_back(bestItem);
    return TRUE;
}

namespace {

// The nearest visible feature point and line point of the shown lines to
// a client point (ties to the later; a line point beats an equal earlier
// feature point).
struct Snap {
    double distance = 1e10;
    const generalpoint3* point = nullptr;
    Index<linepoint3> linePoint = -1;
};

}  // namespace

bool CViewEdit3D::appendPoint(const vector2<double>& p, Index<featureline3> l, bool ctrl, bool shift) {
    head3* h = Head();
    if (!h || l == -1) return false;
    featureline3& line = h->featurelines[l];
    const bool beforeLast = line.closing && line.first() != -1;
    const Index<linepoint3> lp = beforeLast ? line.insert_before_whichindex(-2, line.last()) : line.add();
    if (lp == -1) return false;
    line[lp].kind = ctrl || line.count() == 1 ? 2 : 1;
    line[lp].line = l;
    if (shift) {
        Snap s;
        for (int k = h->featurepoints.first(); k != -1; k = h->featurepoints.nextOf(k)) {
            featurepoint3& f = h->featurepoints[k];
            if (!onSurface(f) || !Coord3Dto2D(f, 0)) continue;
            const double d = std::hypot(f.projX - p.x, f.projY - p.y);
            if (d <= s.distance) s = {d, &f, -1};
        }
        const int group = FeatureGroup();
        for (int m = h->featurelines.first(); m != -1; m = h->featurelines.nextOf(m)) {
            featureline3& other = h->featurelines[m];
            if (!GoodInfoCode(group, CString(other.name()))) continue;
            for (int q = other.first(); q != -1; q = other.nextOf(q)) {
                if (q == lp || !onSurface(other[q]) || !Coord3Dto2D(other[q], views::visibilityOf(m))) continue;
                const double d = std::hypot(other[q].projX - p.x, other[q].projY - p.y);
                if (d <= s.distance) s = {d, &other[q], q};
            }
        }
        if (s.point && s.distance <= kPickRadius) {
            const generalpoint3 winner = *s.point;
            if (winner.isRubber()) {
                const extrapoint& e = winner.extra.data();
                line[lp].set_extrapoint(e.tri, e.local, e.mode);
            } else {
                line[lp].vtx = winner.vtx;
                line[lp]._makeExtra();
            }
            if (!line[lp].isRubber()) {
                line[lp].vtx = -1;
                remove_linepoint(lp, true, true);
                return false;
            }
            add_linepoint(lp, l);
            return true;
        }
    }
    if (!Coord2Dto3D(p, line[lp])) {
        // A point off the head would break every later walk of the line.
        remove_linepoint(lp, true, true);
        return false;
    }
    add_linepoint(lp, l);
    return true;
}

// ---------------------------------------------------------------- mouse

void CViewEdit3D::OnLButtonDown(UINT flags, CPoint point) {
    if (activatingClick) return;
    svc::MainFrame* frame = Frame();
    const int tool = Tool(), mode = ToolMode();
    const bool templatePage = frame && frame->OpenPrepPage();
    if (mode != 4) {
        if (templatePage ? locked : (locked && Stage() != 2500)) return;
    }
    const CSize c = ClientSize();
    centralPress = std::hypot(point.x - c.cx / 2, point.y - c.cy / 2) <= 0.4 * c.cy;
    yawCarry = rollCarry = 0;
    const bool ctrl = (flags & MK_CONTROL) != 0, shift = (flags & MK_SHIFT) != 0;
    const vector2<double> p(point.x, point.y);
    head3* h = Head();
    CFaceDoc* doc = GetDocument();
    if (tool == 0) {
        if (!h) return;
        if (!Coord2Dto3DTest(p)) {
            if (mode == 4 || mode == 5) return;
            pressed = true;
            pressPoint = point;
            PagesRefresh();
            return;
        }
        switch (mode) {
            case 1: {
                views::BariGuard bari;
                if (newLinePending || activeLine == -1) {
                    doc->CheckPoint(32);
                    DrawSelectedItems(false);
                    DeleteRubberForSpline();
                    selection.clear();
                    activeLine = h->addFeatureline("", true);
                    selection.push_back({activeLine, -1, 4});
                    newLinePending = false;
                }
                appendPoint(p, activeLine, ctrl, shift);
                featureline3& line = h->featurelines[activeLine];
                const bool closed =
                    line.count() >= 2 && samePlace(line[line.first()], line[line.last()]);
                line.closing = line.closedSpline = closed ? 1 : 0;
                views::RedrawRubberSpline(*this, shift, nullptr);
                break;
            }
            case 4:
                ClonePress(flags, point);
                break;
            case 5:
                FreePress(flags, point);
                break;
            case 6: {
                views::BariGuard bari;
                CString code;
                double weight = 0;
                if (!GetFeaturePointInfo(pendingCode, &code, nullptr, &weight)) break;
                doc->CheckPoint(32);
                Index<featurepoint3> fp = h->getFeaturepoint(code.GetString(), false);
                // A point placed before is placed again.
                if (fp != -1 && (h->featurepoints[fp].isFixed() || h->featurepoints[fp].isRubber()))
                    RemoveFeaturepoint(fp);
                fp = h->addFeaturepoint(code.GetString(), true);
                h->featurepoints[fp].weight = weight;
                DrawSelectedItems(false);
                DeleteRubberForSpline();
                selection.assign(1, IndexSelector{fp, -1, 8});
                bool placed = false;
                if (shift) {
                    double best = 1e10;
                    Index<featureline3> bestLine = -1;
                    Index<linepoint3> bestPoint = -1;
                    const int group = FeatureGroup();
                    for (int m = h->featurelines.first(); m != -1; m = h->featurelines.nextOf(m)) {
                        featureline3& other = h->featurelines[m];
                        if (!GoodInfoCode(group, CString(other.name()))) continue;
                        for (int q = other.first(); q != -1; q = other.nextOf(q)) {
                            if (!onSurface(other[q]) || !Coord3Dto2D(other[q], views::visibilityOf(m))) continue;
                            const double d = std::hypot(other[q].projX - p.x, other[q].projY - p.y);
                            if (d <= best) best = d, bestLine = m, bestPoint = q;
                        }
                    }
                    if (bestPoint != -1 && best <= kPickRadius) {
                        const linepoint3 lp = h->featurelines[bestLine][bestPoint];
                        featurepoint3& f = h->featurepoints[fp];
                        if (lp.isRubber()) {
                            const extrapoint& e = lp.extra.data();
                            f.set_extrapoint(e.tri, e.local, e.mode);
                        } else if (lp.vtx.data().featurepoint == -1) {
                            f.vtx = lp.vtx;
                        } else {
                            // The vertex holds one feature point: this one
                            // gets its own edit point there.
                            f.vtx = lp.vtx;
                            f._makeExtra();
                        }
                        placed = f.isRubber() || f.isFixed();
                    }
                }
                if (!placed) placed = Coord2Dto3D(p, h->featurepoints[fp]);
                if (placed) add_featurepoint(fp);
                DrawFeaturePoints(false);
                DrawSelectedItems(true);
                BackToSelect();
                pendingCode = 0;
                PagesRefresh();
                break;
            }
            case 7: {
                DrawSelectedItems(false);
                SelectItem(point, 4, false);
                if (selection.empty() || selection[0].kind != 4) {
                    Beep();
                    DrawSelectedItems(false);
                    selection.clear();
                    break;
                }
                CString code;
                const Index<featureline3> sel = selection[0].index;
                if (!GetFeatureLineInfo(pendingCode, &code)) break;
                if (std::strstr(h->featurelines[sel].name(), "default_name_of")) {
                    doc->CheckPoint(32);
                    const Index<featureline3> table = h->addFeatureline(code.GetString(), true);
                    featureline3& target = h->featurelines[sel];
                    if (table != sel) {
                        target.splineType = h->featurelines[table].splineType;
                        // The table line's regions go to the drawn line; the
                        // table line goes without being made again.
                        while (h->featurelines[table].regions.count() > 0) {
                            const Index<region> r =
                                h->featurelines[table].regions[h->featurelines[table].regions.first()];
                            add_region_to_featureline(r, sel);
                            remove_region_from_featureline(table, r);
                        }
                        fnd::chain<region>& regions = h->regions;
                        for (int r = regions.first(); r != -1; r = regions.nextOf(r))
                            if (regions[r].borderLine == table) regions[r].borderLine = sel;
                        while (h->featurelines[table].count() > 0)
                            remove_linepoint(h->featurelines[table].first(), true, true);
                        // The drawn line takes the table line's mirror partner.
                        const Index<featureline3> partner = h->featurelines[table].mirror;
                        target.mirror = partner == table ? sel : partner;
                        if (partner != -1 && partner != table && h->featurelines[partner].mirror == table)
                            h->featurelines[partner].mirror = sel;
                        h->featurelines.remove_index(table);
                    }
                    h->featurelines[sel].set_name(code.GetString(), false);
                    h->featurelines[sel].used = 1;
                    DrawSelectedItems(true);
                    BackToSelect();
                    pendingCode = 0;
                    PagesRefresh();
                    if (svc::CurvePage* cp = CurvePage()) {
                        cp->RefreshLists();
                        cp->GetNextFeatureIfNeed();
                    }
                } else {
                    Beep();
                    MessageBox("Already selected !", "Error", MB_OK);
                }
                break;
            }
            case 8: {
                DrawSelectedItems(false);
                SelectItem(point, 4, false);
                CString code, colour;
                const Index<featureline3> sel =
                    !selection.empty() && selection[0].kind == 4 ? Index<featureline3>(selection[0].index) : Index<featureline3>(-1);
                const bool closed = sel != -1 && (h->featurelines[sel].closing || isClosedLine(sel));
                if (!closed || !GetRegionInfo(pendingCode, &code, nullptr, &colour)) {
                    Beep();
                    DrawSelectedItems(false);
                    selection.clear();
                    break;
                }
                doc->CheckPoint(32);
                if (h->MakeFix(sel, 0, triangle::minimalLengthOfEdge)) {
                    const Index<region> existing = h->getRegion(code.GetString(), false);
                    const int wasUsed = existing != -1 ? h->regions[existing].used : 0;
                    const Index<region> r = h->addRegion(code.GetString(), true);
                    if (!h->generateRegion(r, sel, -1)) {
                        // Only a region this click made goes again.
                        if (existing == -1)
                            RemoveRegion(r);
                        else
                            h->regions[r].used = wasUsed;
                    } else {
                        h->featurelines[sel].set_name("BorderOfRegion", false);
                        h->regions[r].colour = h->colors.get(colour.GetString());
                    }
                    InitializeModelForOpenGL();
                    DrawScene();
                }
                DrawSelectedItems(true);
                BackToSelect();
                selection.clear();
                pendingCode = 0;
                break;
            }
            default:
                break;
        }
        return;
    }
    if (tool == 1) {
        if (!h) return;
        if (ctrl) {
            views::BariGuard bari;
            DrawSelectedItems(false);
            SelectItem(point, 4, false);
            DrawSelectedItems(true);
            if (!selection.empty() && selection[0].kind == 4 && selection[0].second != -1) {
                featureline3& line = h->featurelines[selection[0].index];
                const Index<linepoint3> q = selection[0].second;
                if (q != line.first() && q != line.last()) {
                    doc->CheckPoint(32);
                    remove_linepoint(q, true, true);
                    selection[0].second = -1;
                    RedrawWindow();
                } else {
                    Beep();
                }
            }
        } else if (shift && selection.size() == 1 && selection[0].kind == 4) {
            views::BariGuard bari;
            const Index<featureline3> l = selection[0].index;
            featureline3& line = h->featurelines[l];
            const int vmode = views::visibilityOf(l);
            double best = 1e10;
            Index<linepoint3> after = -1;
            for (Index<linepoint3> t = line.first(); t != -1 && t != line.last(); t = line.nextOf(t)) {
                const Index<linepoint3> u = line.nextOf(t);
                if (!Coord3Dto2D(line[t], vmode) || !Coord3Dto2D(line[u], vmode)) continue;
                const double cost = std::hypot(line[t].projX - p.x, line[t].projY - p.y) +
                                    std::hypot(line[u].projX - p.x, line[u].projY - p.y);
                if (cost <= best) best = cost, after = t;
            }
            bool inserted = false;
            if (after != -1 && Coord2Dto3DTest(p)) {
                doc->CheckPoint(32);
                const Index<linepoint3> n = line.insert_after_whichindex(-2, after);
                line[n].kind = 1;
                line[n].line = l;
                if (Coord2Dto3D(p, line[n])) {
                    add_linepoint(n, l);
                    selection[0].second = n;
                    inserted = true;
                } else {
                    remove_linepoint(n, true, true);
                }
            }
            if (inserted)
                RedrawWindow();
            else
                Beep();
        } else if (templatePage) {
            pressed = true;
            pressPoint = point;
        } else {
            DrawSelectedItems(false);
            SelectItem(point, 8, false);
            DrawSelectedItems(true);
            if (!selection.empty() && selection[0].kind == 8) {
                doc->CheckPoint(32);
                itemDrag = true;
            } else {
                pressed = true;
            }
            pressPoint = point;
        }
        redrawOnRelease = true;
        return;
    }
    views::PressTool(*this, tool, point);
}

void CViewEdit3D::OnMouseMove(UINT flags, CPoint point) {
    svc::MainFrame* frame = Frame();
    const int tool = Tool(), mode = ToolMode(), stage = Stage();
    const bool templatePage = frame && frame->OpenPrepPage();
    if (stage == 1000 && !templatePage && !(tool == 1 && mode == 0)) {
        CFaceView::OnMouseMove(flags, point);
        return;
    }
    const CSize c = ClientSize();
    const CPoint q = pressPoint;
    bool handled = false;
    if (pressed) {
        if ((flags & MK_LBUTTON) && !(tool >= 3 && tool <= 5)) {
            handled = true;
            if (stage != 1000) {
                if (centralPress) {
                    Turn((point.y - q.y) * 0.005817764173314432, SpendThirds(yawCarry, point.x - q.x) * kDegree, 0);
                } else {
                    int r = q.x - point.x;
                    if (point.y > c.cy / 2) r = -r;
                    const int dy = point.y - q.y;
                    if (std::abs(dy) > std::abs(r)) r = point.x > c.cx / 2 ? -dy : dy;
                    Turn(0, 0, SpendThirds(rollCarry, r) * kDegree);
                }
            }
            pressPoint = point;
        } else if (flags & MK_RBUTTON) {
            handled = true;
            if (point != q) Zoom(views::PannedBy(c, q, point));
            pressPoint = point;
        } else if (flags & MK_MBUTTON) {
            handled = true;
            if (std::abs(point.y - q.y) > 1) {
                Zoom(views::ScaledAboutCentre(c, point.y > q.y ? 1.25 : 0.8));
                pressPoint = point;
            }
        }
    }
    if (!handled) {
        head3* h = Head();
        if (tool == 0 && mode == 4) {
            CloneMove(flags, point);
        } else if (tool == 0 && mode == 5) {
            if ((flags & MK_LBUTTON) && itemDrag) {
                freeShift = CPoint(freePress.x - point.x, freePress.y - point.y);
                FreePull();
            }
        } else if (tool == 0 && mode == 1 && !newLinePending) {
            views::RedrawRubberSpline(*this, (flags & MK_SHIFT) != 0, &point);
        } else if (tool == 1 && h) {
            if (itemDrag && !selection.empty()) {
                const IndexSelector item = selection[0];
                const vector2<double> p(point.x, point.y);
                if (item.kind == 8) {
                    if (Coord2Dto3D(p, h->featurepoints[item.index])) DrawScene();
                } else if (item.kind == 4 && item.second != -1) {
                    featureline3& line = h->featurelines[item.index];
                    if (Coord2Dto3D(p, line[item.second])) {
                        const bool closed = line.closing != 0;
                        const Index<linepoint3> twin = !closed ? Index<linepoint3>(-1)
                                                       : item.second == line.first() ? line.last()
                                                       : item.second == line.last()  ? line.first()
                                                                                     : Index<linepoint3>(-1);
                        if (twin != -1 && line[twin].extra != line[item.second].extra) {
                            const extrapoint& e = line[item.second].extra.data();
                            line[twin].set_extrapoint(e.tri, e.local, e.mode);
                        }
                        DrawScene();
                    }
                }
            } else if (svc::PointPage* page = PointPage(); page && stage < 2000) {
                const IndexSelector old = selection.size() == 1 ? selection[0] : IndexSelector{};
                SelectItem(point, 8, false);
                if (!selection.empty() && (old.kind != 8 || old.index != selection[0].index)) {
                    page->StopFlash();
                    currentRow = views::RowOfName(h->featurepoints[selection[0].index].name(), false, currentRow);
                    page->StartFlash();
                } else if (selection.empty() && old.kind == 8) {
                    page->StopFlash();
                }
            }
        } else if (tool == 2 && pressed && std::abs(point.y - q.y) > 1) {
            Zoom(views::ScaledAboutCentre(c, point.y > q.y ? 1.25 : 0.8));
            pressPoint = point;
        } else if ((tool == 3 || tool == 4) && pressed) {
            views::StretchRectangle(*this, point);
        } else if (tool == 5 && pressed && (flags & MK_LBUTTON)) {
            if (point != q) Zoom(views::PannedBy(c, q, point));
            pressPoint = point;
        }
    }
    CFaceView::OnMouseMove(flags, point);
}

void CViewEdit3D::OnLButtonUp(UINT, CPoint point) {
    if (activatingClick) {
        activatingClick = false;
        return;
    }
    const bool wasPressed = pressed;
    pressed = false;
    const int tool = Tool(), mode = ToolMode();
    if (locked && mode != 4 && mode != 5) {
        redrawOnRelease = locked = false;
        return;
    }
    const CSize c = ClientSize();
    if (tool == 0 && mode == 5) FreeRelease();
    if (tool == 0 && mode == 4) itemDrag = false;
    if (tool == 1) itemDrag = false;
    if ((tool == 3 || tool == 4) && wasPressed) views::ReleaseRectangle(*this, tool, point, c);
    if (tool >= 2 && tool <= 5) views::PreviousTool(Frame());
    centralPress = true;
    const bool imported = svc::app().state().objHeadImported != 0;
    if (Stage() == 2500 && !imported && mode != 4 && mode != 5) {
        BackToSelect();
        locked = true;
    }
    if (redrawOnRelease) {
        redrawOnRelease = false;
        RedrawWindow();
    }
}

void CViewEdit3D::OnRButtonDown(UINT flags, CPoint point) {
    activatingClick = false;
    locked = false;
    const CSize c = ClientSize();
    centralPress = std::hypot(point.x - c.cx / 2, point.y - c.cy / 2) <= 0.4 * c.cy;
    yawCarry = rollCarry = 0;
    head3* h = Head();
    if (Tool() == 0 && h) {
        const int mode = ToolMode();
        if (mode >= 6 && mode <= 8) {
            BackToSelect();
            pendingCode = 0;
            PagesRefresh();
        } else if (mode == 1) {
            // The line steps need a line under way that is the selection's last item.
            const bool drawing = !newLinePending && activeLine != -1 && !selection.empty() &&
                                 selection.back().kind == 4 && selection.back().index == activeLine;
            if (drawing) {
                views::BariGuard bari;
                views::HideRubberSpline(*this);
                featureline3& line = h->featurelines[activeLine];
                const vector2<double> p(point.x, point.y);
                if (flags & MK_SHIFT) {
                    bool near = false;
                    for (int k = h->featurepoints.first(); k != -1 && !near; k = h->featurepoints.nextOf(k)) {
                        featurepoint3& f = h->featurepoints[k];
                        near = onSurface(f) && Coord3Dto2D(f, 0) &&
                               std::hypot(f.projX - p.x, f.projY - p.y) <= kPickRadius;
                    }
                    const int group = FeatureGroup();
                    for (int m = h->featurelines.first(); m != -1 && !near; m = h->featurelines.nextOf(m)) {
                        featureline3& other = h->featurelines[m];
                        if (!GoodInfoCode(group, CString(other.name()))) continue;
                        for (int q = other.first(); q != -1 && !near; q = other.nextOf(q))
                            near = onSurface(other[q]) && Coord3Dto2D(other[q], views::visibilityOf(m)) &&
                                   std::hypot(other[q].projX - p.x, other[q].projY - p.y) <= kPickRadius;
                    }
                    if (near) appendPoint(p, activeLine, (flags & MK_CONTROL) != 0, true);
                }
                if (line.first() != -1) {
                    const bool closed = line.count() >= 2 && samePlace(line[line.first()], line[line.last()]);
                    line.closing = line.closedSpline = closed ? 1 : 0;
                    line[line.last()].kind = 2;
                    selection.back().second = line.last();
                }
                newLinePending = true;
                DrawFeatureLines();
                DrawSelectedItems(true);
            } else {
                BackToSelect();
                currentRow = 0;
                PagesRefresh();
            }
        }
    }
    pressed = true;
    pressPoint = point;
}

void CViewEdit3D::OnRButtonUp(UINT, CPoint) {
    pressed = false;
    centralPress = true;
}

// ---------------------------------------------------------------- keys

void CViewEdit3D::OnKeyDown(UINT key, UINT repeat, UINT flags) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    const double step = (ctrl ? 0.5 : 5.0) * M_PI / 180;
    const double radial = ctrl ? 0.003 : 0.03;
    const bool freeTool = Tool() == 0 && ToolMode() == 5;
    head3* h = Head();
    switch (key) {
        case VK_ESCAPE:
            if (!newLinePending) {
                if (h && !selection.empty() && selection.back().kind == 4 && selection.back().index >= 0)
                    RemoveFeatureline(selection.back().index);
                DeleteRubberForSpline();
                rubberSplineShown = false;
                newLinePending = true;
                activeLine = -1;
            }
            selection.clear();
            RedrawWindow();
            break;
        case VK_LEFT:
        case VK_NUMPAD0 + 4:
            Turn(0, -step, 0);
            break;
        case VK_RIGHT:
        case VK_NUMPAD0 + 6:
            Turn(0, step, 0);
            break;
        case VK_UP:
            if (freeTool) {
                ++freeToolDepth;
                // Outside a pull only the depth changes.
                if (itemDrag) FreePull();
            } else {
                Turn(-step, 0, 0);
            }
            break;
        case VK_HOME:
        case VK_NUMPAD0 + 8:
            Turn(-step, 0, 0);
            break;
        case VK_DOWN:
            if (freeTool) {
                --freeToolDepth;
                if (itemDrag) FreePull();
            } else {
                Turn(step, 0, 0);
            }
            break;
        case VK_NUMPAD0 + 2:
            Turn(step, 0, 0);
            break;
        case VK_NUMPAD0 + 5:
            core_.pitch = core_.yaw = core_.roll = 0;
            CalculateEyeFromAngles();
            DrawScene();
            break;
        case VK_NUMPAD0 + 1:
        case VK_NUMPAD0 + 3:
        case VK_NUMPAD0 + 7:
        case VK_NUMPAD0 + 9:
            DrawScene();
            break;
        case VK_ADD:
        case VK_SUBTRACT:
            if (h && selection.size() == 1 && selection[0].kind == 2) {
                vector3<double>& q = freePoints[selection[0].index];
                const vector3<double> b = h->getBasePoint(q, nullptr);
                const double nb = std::sqrt(b * b);
                if (nb > 0) {
                    const double factor =
                        std::max(std::sqrt(q * q) / nb + (key == VK_ADD ? radial : -radial), 1e-10 * 1.0000001);
                    q = b * factor;
                }
                RedrawWindow();
            }
            break;
        case VK_DELETE:
            DeleteSelectedItems();
            break;
        default:
            break;
    }
    CGLFaceView::OnKeyDown(key, repeat, flags);
}

BOOL CViewEdit3D::DeleteSelectedItems() {
    head3* h = Head();
    if (!h || selection.empty()) return FALSE;
    GetDocument()->CheckPoint(32);
    const std::vector<IndexSelector> items = selection;
    for (const IndexSelector& item : items) {
        if (item.index < 0) continue;
        if (item.kind == 4) {
            RemoveFeatureline(item.index);
            DeleteRubberForSpline();
            if (activeLine == item.index) activeLine = -1, newLinePending = true;
        } else if (item.kind == 8) {
            RemoveFeaturepoint(item.index);
        } else if (item.kind == 2) {
            freePoints.remove(item.index);
        } else if (item.kind == 1) {
            extraPoints.remove(item.index);
        }
    }
    selection.clear();
    PagesRefresh();
    RedrawWindow();
    return TRUE;
}

// ---------------------------------------------------------------- drawing

void CViewEdit3D::DrawFeatureLines() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFeatureLines(dc);
}

void CViewEdit3D::DrawLineOnSurface(CDC& dc, Index<featureline3> l, COLORREF curve, COLORREF fill, bool invert) {
    head3* h = Head();
    if (!h) return;
    featureline3& line = h->featurelines[l];
    if (line.first() == -1) return;
    const int vmode = views::visibilityOf(l);
    std::unique_ptr<fnd::spline3D> s(fnd::spline3DOfType(line.splineType));
    CPen wide(PS_SOLID, 3, curve), thin(PS_SOLID, 1, RGB(160, 0, 0)), black(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(fill);
    CPen* oldPen = dc.SelectObject(&black);
    CBrush* oldBrush = dc.SelectObject(&brush);
    Coord3Dto2D(line[line.first()], vmode);
    vector2<double> pen(line[line.first()].projX, line[line.first()].projY);
    dynarray<vector3<double>> points(0, 16, 1.5), normals(0, 16, 1.5);
    for (Index<linepoint3> p = line.first(); p != -1;) {
        const Index<linepoint3> end = LastPointOfInterval(p);
        const Index<linepoint3> closing = end == -1 ? Index<linepoint3>(-1) : Index<linepoint3>(line.nextOf(end));
        const bool last = closing == -1 || line.nextOf(closing) == -1;
        if (TypeOfLine(p) == 12) {
            const bool visible = Coord3Dto2D(line[p], vmode);
            const vector2<double> at(line[p].projX, line[p].projY);
            if (visible && p != line.first()) {
                dc.SelectObject(&thin);
                const int rop = invert ? dc.SetROP2(R2_NOT) : dc.GetROP2();
                dc.MoveTo(views::Pixel(pen));
                dc.LineTo(views::Pixel(at));
                dc.SetROP2(rop);
            }
            pen = at;
            if (visible) {
                dc.SelectObject(&black);
                marker(dc, at, line[p].kind);
            }
            p = line.nextOf(p);
            continue;
        }
        fillOfInterval(&points, &normals, p);
        if (points.size() == 0) break;
        if (points.size() > 1) {
            s->reset();
            s->Init(points, char(line.closedSpline ? 1 : 0));
            dc.SelectObject(&wide);
            for (int k = 1; 0.08 * k <= s->n + 1e-9; ++k) {
                vector2<double> at;
                const bool visible = views::SplineSampleOnFace(core_, *h, *s, normals, 0.08 * k, vmode, &at);
                if (visible) {
                    dc.MoveTo(views::Pixel(pen));
                    dc.LineTo(views::Pixel(at));
                }
                pen = at;
            }
        }
        dc.SelectObject(&black);
        for (Index<linepoint3> q = p; q != -1; q = line.nextOf(q)) {
            if (Coord3Dto2D(line[q], vmode)) marker(dc, vector2<double>(line[q].projX, line[q].projY), line[q].kind);
            if (q == (last && closing != -1 ? closing : end)) break;
        }
        if (last) break;
        p = closing;
    }
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

void CViewEdit3D::DrawFeatureLines(CDC& dc) {
    head3* h = Head();
    if (!h) return;
    views::BariGuard bari;
    const int group = FeatureGroup();
    for (int l = h->featurelines.first(); l != -1; l = h->featurelines.nextOf(l)) {
        const featureline3& line = h->featurelines[l];
        if (line.used == -1 || line.count() == 0 || !GoodInfoCode(group, CString(line.name())) ||
            SelectedAs(selection, l, 4))
            continue;
        DrawLineOnSurface(dc, l, RGB(0, 255, 0), RGB(0, 200, 0), false);
    }
}

void CViewEdit3D::DrawFreePoints() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawFreePoints(dc);
}

void CViewEdit3D::DrawFreePoints(CDC& dc) {
    head3* h = Head();
    if (!h) return;
    views::BariGuard bari;
    for (int k = freePoints.first(); k != -1; k = freePoints.nextOf(k)) {
        if (SelectedAs(selection, k, 2)) continue;
        const vector3<double> q = freePoints[k];
        const vector3<double> b = h->getBasePoint(q, nullptr);
        vector2<double> bw, qw;
        const bool baseVisible = ProjectPoint(b, furtherModes[0], &bw);
        bool own = false;
        if (baseVisible || furtherModes[1] == 3) own = ProjectPoint(q, furtherModes[1], &qw);
        if (baseVisible) {
            views::Pens x(dc, RGB(0, 0, 0), 1, RGB(0, 0, 0));
            cross(dc, bw, 5);
        }
        if (baseVisible || own) {
            if (!own) ProjectPoint(q, 1, &qw);
            views::Pens d(dc, RGB(0, 0, 0), 1, q * q < b * b - 1e-10 ? RGB(0, 70, 0) : RGB(0, 100, 0));
            views::Circle(dc, qw, 5);
        }
    }
}

void CViewEdit3D::DrawExtraPoints() {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawExtraPoints(dc);
}

void CViewEdit3D::DrawExtraPoints(CDC& dc) {
    views::BariGuard bari;
    views::Pens d(dc, RGB(0, 0, 0), 1, RGB(170, 170, 0));
    for (int k = extraPoints.first(); k != -1; k = extraPoints.nextOf(k)) {
        if (SelectedAs(selection, k, 1) || !Coord3Dto2D(extraPoints[k], furtherModes[1])) continue;
        views::Circle(dc, vector2<double>(extraPoints[k].projX, extraPoints[k].projY), 5);
    }
}

void CViewEdit3D::DrawSelectedItems(bool highlight) {
    if (!m_hWnd) return;
    CClientDC dc(this);
    DrawSelectedItems(dc, highlight);
}

void CViewEdit3D::DrawSelectedItems(CDC& dc, bool highlight) {
    head3* h = Head();
    if (!h || selection.empty()) return;
    views::BariGuard bari;
    const std::vector<IndexSelector> items = selection;
    for (const IndexSelector& item : items) {
        if (item.index < 0) continue;
        if (item.kind == 4) {
            DrawLineOnSurface(dc, item.index, highlight ? RGB(255, 64, 64) : RGB(0, 255, 0),
                              highlight ? RGB(255, 0, 0) : RGB(0, 200, 0), highlight);
        } else if (item.kind == 8) {
            featurepoint3& p = h->featurepoints[item.index];
            if (!onSurface(p) || !Coord3Dto2D(p, 0)) continue;
            views::Pens d(dc, RGB(0, 0, 0), 1, highlight ? RGB(255, 64, 64) : RGB(0, 255, 0));
            views::Circle(dc, vector2<double>(p.projX, p.projY), 5);
        } else if (item.kind == 2) {
            const vector3<double> q = freePoints[item.index];
            const vector3<double> b = h->getBasePoint(q, nullptr);
            vector2<double> bw, qw;
            const bool inside = q * q < b * b - 1e-10;
            if (ProjectPoint(b, furtherModes[0], &bw)) {
                views::Pens x(dc, highlight ? RGB(0, 255, 0) : RGB(0, 0, 0), 1, RGB(0, 0, 0));
                cross(dc, bw, 5);
            }
            ProjectPoint(q, 1, &qw);
            const COLORREF fill = highlight ? (inside ? RGB(0, 178, 0) : RGB(0, 255, 0))
                                            : (inside ? RGB(0, 70, 0) : RGB(0, 100, 0));
            views::Pens d(dc, RGB(0, 0, 0), 1, fill);
            views::Circle(dc, qw, 5);
        } else if (item.kind == 1) {
            generalpoint3& e = extraPoints[item.index];
            if (!Coord3Dto2D(e, furtherModes[1])) continue;
            views::Pens d(dc, RGB(0, 0, 0), 1, highlight ? RGB(255, 255, 0) : RGB(170, 170, 0));
            views::Circle(dc, vector2<double>(e.projX, e.projY), 5);
        }
    }
}

void CViewEdit3D::SetNewRubberForSpline(bool shift, CPoint* cursor) {
    head3* h = Head();
    if (!h || selection.size() != 1 || selection[0].kind != 4 || selection[0].index < 0) return;
    const Index<featureline3> l = selection[0].index;
    featureline3& line = h->featurelines[l];
    if (line.first() == -1 || TypeOfLine(line.first()) == 12) return;
    views::BariGuard bari;
    DeleteRubberForSpline();
    const int vmode = views::visibilityOf(l);
    Coord3Dto2D(line[line.first()], vmode);
    const vector2<double> firstAt(line[line.first()].projX, line[line.first()].projY);
    rubberPoints.push_back(firstAt);
    rubberFlags.push_back(true);
    vector2<double> target;
    if (cursor) {
        target = vector2<double>(cursor->x, cursor->y);
        if (shift) {
            double best = 1e10;
            for (int k = h->featurepoints.first(); k != -1; k = h->featurepoints.nextOf(k)) {
                featurepoint3& f = h->featurepoints[k];
                if (!onSurface(f) || !Coord3Dto2D(f, 0)) continue;
                const double d = std::hypot(f.projX - cursor->x, f.projY - cursor->y);
                if (d <= best) best = d, target = vector2<double>(f.projX, f.projY);
            }
            for (int m = h->featurelines.first(); m != -1; m = h->featurelines.nextOf(m)) {
                featureline3& other = h->featurelines[m];
                for (int q = other.first(); q != -1; q = other.nextOf(q)) {
                    if (!onSurface(other[q])) continue;
                    Coord3Dto2D(other[q], views::visibilityOf(m));
                    const double d = std::hypot(other[q].projX - cursor->x, other[q].projY - cursor->y);
                    if (d <= best) best = d, target = vector2<double>(other[q].projX, other[q].projY);
                }
            }
            if (best > kPickRadius) target = vector2<double>(cursor->x, cursor->y);
        }
    }
    std::unique_ptr<fnd::spline3D> s(fnd::spline3DOfType(line.splineType));
    dynarray<vector3<double>> points(0, 16, 1.5), normals(0, 16, 1.5);
    // The cursor's head point rides on the second work point.
    generalpoint3& extra = auxiliar_generalpoint3();
    for (Index<linepoint3> p = line.first(); p != -1;) {
        const Index<linepoint3> end = LastPointOfInterval(p);
        const Index<linepoint3> closing = end == -1 ? Index<linepoint3>(-1) : Index<linepoint3>(line.nextOf(end));
        const bool last = closing == -1 || line.nextOf(closing) == -1;
        bool added = false;
        const bool toFirst = cursor && target.x == firstAt.x && target.y == firstAt.y;
        if (last && cursor) {
            if (Coord2Dto3D(target, extra))
                fillOfIntervalExtra(&points, &normals, p, extra, true, toFirst, &added);
            else
                fillOfInterval(&points, &normals, p);
        } else {
            fillOfInterval(&points, &normals, p);
        }
        if (points.size() == 0) break;
        s->reset();
        s->Init(points, char(toFirst || line.closedSpline ? 1 : 0));
        for (int k = 1; 0.08 * k <= s->n + 1e-9; ++k) {
            vector2<double> at;
            const bool visible = views::SplineSampleOnFace(core_, *h, *s, normals, 0.08 * k, vmode, &at);
            rubberPoints.push_back(visible ? at : rubberPoints.back());
            rubberFlags.push_back(visible);
        }
        if (last) break;
        p = closing;
    }
}

void CViewEdit3D::DrawRubberSpline() {
    if (!m_hWnd || rubberPoints.size() < 2) return;
    CClientDC dc(this);
    CPen pen(PS_SOLID, 1, RGB(0, 0, 0));
    CPen* old = dc.SelectObject(&pen);
    // Inverted, so that drawing it again erases it.
    const int rop = dc.SetROP2(R2_NOT);
    for (size_t i = 1; i < rubberPoints.size(); ++i) {
        if (!rubberFlags[i]) continue;
        dc.MoveTo(views::Pixel(rubberPoints[i - 1]));
        dc.LineTo(views::Pixel(rubberPoints[i]));
    }
    dc.SetROP2(rop);
    dc.SelectObject(old);
}
