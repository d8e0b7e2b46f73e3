#include "views/lines2d.h"

#include <cmath>
#include <memory>

#include "foundation/spline.h"
#include "model/elements.h"
#include "model/intervals.h"

namespace views {

LineShape ShapeOfLine(const featureline2& line, const PictureToClient& toClient, const vector2<double>* extra) {
    LineShape shape;
    Index<linepoint2> first = line.first();
    if (first == -1) return shape;
    const vector2<double> start = line[first].position;
    shape.curve.push_back(toClient(start));
    std::unique_ptr<fnd::spline2D> s(fnd::spline2DOfType(line.splineType));
    dynarray<vector2<double>> pts;
    for (Index<linepoint2> p = first; p != -1;) {
        const Index<linepoint2> end = LastPointOfInterval(p);
        const Index<linepoint2> closing = end == -1 ? Index<linepoint2>(-1) : end.next();
        const bool last = closing == -1 || closing.next() == -1;
        char mode = char(line.closedSpline);
        if (extra && last) {
            vector2<double> e = *extra;
            bool added = false;
            fillOfIntervalExtra(&pts, p, e, true, false, &added);
            if (e.x == start.x && e.y == start.y) mode = 1;
        } else {
            fillOfInterval(&pts, p);
        }
        if (pts.size() == 0) break;
        s->Init(pts, mode);
        const int count = pts.size();
        for (int k = 1; 0.08 * k < count; ++k) {
            const double t = 0.08 * k;
            shape.curve.push_back(toClient(vector2<double>(s->x(t), s->y(t))));
        }
        for (Index<linepoint2> q = p; q != -1; q = q.next()) {
            shape.markers.push_back({toClient(line[q].position), line[q].kind, q});
            if (q == end) break;
        }
        if (last) {
            if (closing != -1) shape.markers.push_back({toClient(line[closing].position), line[closing].kind, closing});
            break;
        }
        p = closing;
    }
    return shape;
}

void Circle(CDC& dc, const vector2<double>& c, int r) {
    const CPoint p = Pixel(c);
    dc.Ellipse(p.x - r, p.y - r, p.x + r + 1, p.y + r + 1);
}

void Square(CDC& dc, const vector2<double>& c, int r) {
    const CPoint p = Pixel(c);
    dc.Rectangle(p.x - r, p.y - r, p.x + r + 1, p.y + r + 1);
}

void DrawLineShape(CDC& dc, const LineShape& shape, COLORREF curve, COLORREF fill) {
    if (shape.curve.empty()) return;
    CPen wide(PS_SOLID, 3, curve);
    CPen* oldPen = dc.SelectObject(&wide);
    dc.MoveTo(Pixel(shape.curve[0]));
    for (size_t i = 1; i < shape.curve.size(); ++i) dc.LineTo(Pixel(shape.curve[i]));
    CPen black(PS_SOLID, 1, RGB(0, 0, 0));
    CBrush brush(fill);
    dc.SelectObject(&black);
    CBrush* oldBrush = dc.SelectObject(&brush);
    for (const LineMarker& m : shape.markers) {
        if (m.kind == 2)
            Square(dc, m.client, 3);
        else
            Circle(dc, m.client, 3);
    }
    dc.SelectObject(oldBrush);
    dc.SelectObject(oldPen);
}

}  // namespace views
