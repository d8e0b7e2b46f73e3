#include "views/surface_marks.h"

#include <cmath>
#include <memory>

#include "model/head.h"
#include "model/intervals.h"
#include "views/gl_view_core.h"
#include "views/lines2d.h"

namespace views {

ClientRect ZoomOutRect(int W, int H, int x0, int y0, int w, int h) {
    if (w <= 0 || h <= 0) return ClientRect{};
    const double sx = double(W) / w, sy = double(H) / h;
    return ClientRect{int(std::lround(-x0 * sx)), int(std::lround(-y0 * sy)), int(std::lround((W - x0) * sx)),
                      int(std::lround((H - y0) * sy))};
}

bool SplineSampleOnFace(GLViewCore& view, head3& h, const fnd::spline3D& s,
                        const dynarray<vector3<double>>& directions, double t, int mode, vector2<double>* win) {
    Index<triangle> tri = -1;
    vector3<double> bary;
    if (!h.ProjectOnHead(t, s, directions, &tri, &bary) || tri == -1) return false;
    generalpoint3& gp = working_generalpoint3();
    gp.set_extrapoint(tri, bary, roughConversion);
    gp.projStamp = 0;
    const bool visible = view.Coord3Dto2D(gp, mode);
    if (win) *win = vector2<double>(gp.projX, gp.projY);
    return visible;
}

namespace {

void marker(CDC& dc, const vector2<double>& at, int kind) {
    if (kind == 2)
        Square(dc, at, 3);
    else
        Circle(dc, at, 3);
}

}  // namespace

void DrawSurfaceLine(GLViewCore& view, head3& h, Index<featureline3> l, const SurfaceLineDrawing& how) {
    featureline3& line = h.featurelines[l];
    const Index<linepoint3> first = line.first();
    if (first == -1) return;
    CDC& dc = how.dc;
    const int mode = visibilityOf(l);
    if (TypeOfLine(first) == 12) {
        CPen pen(PS_SOLID, 1, how.straight);
        CPen black(PS_SOLID, 1, RGB(0, 0, 0));
        CBrush brush(how.fill);
        CPen* oldPen = dc.SelectObject(&pen);
        CBrush* oldBrush = dc.SelectObject(&brush);
        bool havePrevious = false;
        vector2<double> previous;
        for (Index<linepoint3> q = first; q != -1; q = line.nextOf(q)) {
            const bool visible = view.Coord3Dto2D(line[q], mode);
            const vector2<double> at(line[q].projX, line[q].projY);
            if (visible && havePrevious) {
                dc.SelectObject(&pen);
                const int rop = dc.SetROP2(how.invertStraight ? R2_NOT : dc.GetROP2());
                dc.MoveTo(Pixel(previous));
                dc.LineTo(Pixel(at));
                dc.SetROP2(rop);
            }
            if (visible) {
                dc.SelectObject(&black);
                marker(dc, at, line[q].kind);
            }
            previous = at;
            havePrevious = true;
        }
        dc.SelectObject(oldBrush);
        dc.SelectObject(oldPen);
        return;
    }
    dynarray<vector3<double>> points(0, 16, 1.5), directions(0, 16, 1.5);
    for (Index<linepoint3> q = first; q != -1; q = line.nextOf(q)) {
        points.add() = line[q].point();
        directions.add() = line[q].roughNormal();
    }
    if (points.size() > 1) {
        std::unique_ptr<fnd::spline3D> s(fnd::spline3DOfType(line.splineType));
        s->Init(points, char(line.closing ? 1 : 0));
        CPen pen(PS_SOLID, how.curveWidth, how.curve);
        CPen* oldPen = dc.SelectObject(&pen);
        vector2<double> previous;
        view.Coord3Dto2D(line[first], mode);
        previous = vector2<double>(line[first].projX, line[first].projY);
        for (int k = 1; 0.08 * k <= s->n + 1e-9; ++k) {
            vector2<double> at;
            const bool visible = SplineSampleOnFace(view, h, *s, directions, 0.08 * k, mode, &at);
            if (visible && std::fabs(at.x - previous.x) + std::fabs(at.y - previous.y) < how.maxJump) {
                dc.MoveTo(Pixel(previous));
                dc.LineTo(Pixel(at));
            }
            previous = at;
        }
        dc.SelectObject(oldPen);
    }
    Pens p(dc, RGB(0, 0, 0), 1, how.fill);
    for (Index<linepoint3> q = first; q != -1; q = line.nextOf(q))
        if (view.Coord3Dto2D(line[q], mode)) marker(dc, vector2<double>(line[q].projX, line[q].projY), line[q].kind);
}

}  // namespace views
