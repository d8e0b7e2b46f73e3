#include "views/mark_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "model/elements.h"
#include "model/featuretables.h"
#include "seams/app.h"
#include "views/faceview.h"
#include "views/glview.h"
#include "views/surface_marks.h"

namespace views {

namespace {

constexpr double kTwoPi = 6.283185307179586;
// The name of a drawn line until a row of the line table names it.
constexpr const char* kDefaultLineName = "default_name_of_";

}  // namespace

bool SelectedAs(const std::vector<IndexSelector>& selection, int index, int kind) {
    for (const IndexSelector& s : selection)
        if (s.kind == kind && s.index == index) return true;
    return false;
}

bool TurnsTheHead(UINT key) { return (key >= 36 && key <= 40) || (key >= 97 && key <= 105); }

double WrapAngle(double a) {
    if (a < 0) a += kTwoPi;
    if (a > kTwoPi) a -= kTwoPi;
    return a;
}

int SpendThirds(int& carry, int pixels) {
    carry += pixels;
    const int steps = carry / 3;  // truncated towards zero
    carry -= 3 * steps;
    return steps;
}

ZoomRect ScaledAboutCentre(CSize c, double m) {
    const double hw = m * c.cx / 2, hh = m * c.cy / 2;
    return ZoomRect(c.cx / 2.0 - hw, c.cy / 2.0 - hh, c.cx / 2.0 + hw, c.cy / 2.0 + hh);
}

ClientRect PannedBy(CSize c, CPoint from, CPoint to) {
    const int dx = from.x - to.x, dy = from.y - to.y;
    return ClientRect{dx, dy, c.cx + dx, c.cy + dy};
}

void PreviousTool(svc::MainFrame* f) {
    if (f) {
        f->tool = f->previousTool;
        f->toolMode = f->previousToolMode;
    }
}

int RowOfName(const char* name, bool lines, int current) {
    CString code;
    for (int row = 0; lines ? GetFeatureLineInfo(row, &code) : GetFeaturePointInfo(row, &code); ++row)
        if (code.View() == std::string_view(name)) current = row;
    return current;
}

void PressTool(CFaceView& v, int tool, CPoint point) {
    if (tool == 2 || tool == 5 || ((tool == 3 || tool == 4) && !v.pressed)) {
        v.pressPoint = point;
        v.pressed = true;
    }
}

void HideRubberSpline(CFaceView& v) {
    if (v.rubberSplineShown) v.DrawRubberSpline();
    v.rubberSplineShown = false;
}

void StretchRectangle(CFaceView& v, CPoint cursor) {
    if (v.rubberRectShown) v.DrawRubberRectangle(&v.pressPoint, &v.lastRubber);
    v.lastRubber = cursor;
    v.DrawRubberRectangle(&v.pressPoint, &v.lastRubber);
    v.rubberRectShown = true;
}

void ReleaseRectangle(CGLFaceView& v, int tool, CPoint point, CSize client) {
    if (v.rubberRectShown) v.DrawRubberRectangle(&v.pressPoint, &v.lastRubber);
    v.rubberRectShown = false;
    const CPoint q = v.pressPoint;
    const int x0 = std::min(q.x, point.x), y0 = std::min(q.y, point.y);
    const int x1 = std::max(q.x, point.x), y1 = std::max(q.y, point.y);
    if (tool == 3)
        v.Zoom(ClientRect{x0, y0, x1, y1});
    else if (x1 - x0 >= 10 && y1 - y0 >= 10)
        v.Zoom(ZoomOutRect(client.cx, client.cy, x0, y0, x1 - x0, y1 - y0));
}

// ---------------------------------------------------------------- 2D marks

Nearest NearestMark(const Points2* points, const Lines2& lines, bool onlyShown, int group, int skip,
                    const MarkDistance& distance) {
    Nearest n;
    auto consider = [&](const vector2<double>& q) {
        const double d = distance(q);
        if (d <= n.distance) {
            n.distance = d;
            n.position = q;
            n.found = true;
        }
    };
    if (points)
        for (int k = points->first(); k != -1; k = points->nextOf(k)) consider((*points)[k].position);
    for (int l = lines.first(); l != -1; l = lines.nextOf(l)) {
        const featureline2& line = lines[l];
        if (onlyShown && !GoodInfoCode(group, CString(line.name()))) continue;
        for (int q = line.first(); q != -1; q = line.nextOf(q))
            if (q != skip) consider(line[q].position);
    }
    return n;
}

Index<linepoint2> AddLinePoint(featureline2& line, bool corner) {
    const Index<linepoint2> q = line.closing && line.first() != -1 ? line.insert_before_whichindex(-2, line.last())
                                                                   : line.add();
    line[q].kind = corner || line.count() == 1 ? 2 : 1;
    return q;
}

void CloseWhereEndsMeet(featureline2& line) {
    const bool closed = line.count() > 1 && line[line.first()].position == line[line.last()].position;
    line.closing = line.closedSpline = closed ? 1 : 0;
}

void MoveLinePoint(featureline2& line, Index<linepoint2> q, const vector2<double>& at) {
    line[q].position = at;
    if (line.closing && q == line.first()) line[line.last()].position = at;
    if (line.closing && q == line.last()) line[line.first()].position = at;
}

Index<linepoint2> InsertionPlace(const featureline2& line, const MarkDistance& distance) {
    Index<linepoint2> after = -1;
    double best = 1e10;
    for (Index<linepoint2> t = line.first(); t != -1 && t != line.last(); t = line.nextOf(t)) {
        const double cost = distance(line[t].position) + distance(line[line.nextOf(t)].position);
        if (cost <= best) {
            best = cost;
            after = t;
        }
    }
    return after;
}

void DrawLines2D(CDC& dc, const Lines2& lines, int group, const std::vector<IndexSelector>& selection,
                 const PictureToClient& toClient) {
    for (int l = lines.first(); l != -1; l = lines.nextOf(l)) {
        const featureline2& line = lines[l];
        if (!GoodInfoCode(group, CString(line.name())) || SelectedAs(selection, l, 16)) continue;
        DrawLineShape(dc, ShapeOfLine(line, toClient), RGB(0, 255, 0), RGB(0, 200, 0));
    }
}

bool DrawSelected2D(CFaceView& v, CDC& dc, const Points2& points, const IndexSelector& item, bool highlight) {
    if (item.index < 0) return false;
    const PictureToClient toClient = [&v](const vector2<double>& p) { return v.PictureToClient(p); };
    if (item.kind == 16) {
        Lines2* lines = v.Lines2D();
        if (!lines) return false;
        // Without a cursor the rubber does not snap.
        v.SetNewRubberForSpline(nullptr);
        DrawLineShape(dc, ShapeOfLine((*lines)[item.index], toClient), highlight ? RGB(255, 64, 64) : RGB(0, 255, 0),
                      highlight ? RGB(255, 0, 0) : RGB(0, 200, 0));
        return true;
    }
    if (item.kind == 32) {
        Pens d(dc, RGB(0, 0, 0), 1, highlight ? RGB(255, 64, 64) : RGB(0, 255, 0));
        Circle(dc, toClient(points[item.index].position), 5);
        return true;
    }
    return false;
}

void DrawTrace(CDC& dc, const fnd::chain<vector2<double>>& trace, const PictureToClient& toClient,
               const CPoint* cursor) {
    std::vector<vector2<double>> at;
    for (int k = trace.first(); k != -1; k = trace.nextOf(k))
        at.push_back(toClient(vector2<double>(std::fabs(trace[k].x), std::fabs(trace[k].y))));
    Pens d(dc, RGB(0, 0, 0), 1, RGB(255, 255, 255));
    const int rop = dc.SetROP2(R2_NOT);
    for (size_t i = 1; i < at.size(); ++i) {
        dc.MoveTo(Pixel(at[i - 1]));
        dc.LineTo(Pixel(at[i]));
    }
    if (cursor && !at.empty()) {
        dc.MoveTo(Pixel(at.back()));
        dc.LineTo(*cursor);
    }
    dc.SetROP2(rop);
    for (const vector2<double>& p : at) Circle(dc, p, 3);
}

int NameLastSelectedLine(CFaceView& v) {
    Lines2* lines = v.Lines2D();
    CString code;
    if (!lines || v.selection.empty() || v.selection.back().kind != 16 || !GetFeatureLineInfo(v.currentRow, &code))
        return -1;
    featureline2& line = (*lines)[v.selection.back().index];
    if (!std::strstr(line.name(), kDefaultLineName)) return 0;
    line.set_name(code.GetString(), false);
    return 1;
}

void RemoveSelected2D(CFaceView& v, Points2& points) {
    Lines2* lines = v.Lines2D();
    for (const IndexSelector& item : v.selection) {
        if (item.kind == 16 && item.index >= 0 && lines) {
            (*lines)[item.index].remove_all();
            lines->remove(item.index);
            v.DeleteRubberForSpline();
        } else if (item.kind == 32 && item.index >= 0) {
            points.remove(item.index);
        }
    }
    v.selection.clear();
}

void DropLineUnderWay(CFaceView& v) {
    if (!v.lineFinished) {
        Lines2* lines = v.Lines2D();
        if (lines && !v.selection.empty() && v.selection.back().kind == 16 && v.selection.back().index >= 0) {
            const Index<featureline2> l = v.selection.back().index;
            (*lines)[l].remove_all();
            lines->remove(l);
        }
        v.DeleteRubberForSpline();
        v.lineFinished = true;
    }
    v.trace.remove_all();
    v.selection.clear();
    v.RedrawWindow();
}

}  // namespace views
