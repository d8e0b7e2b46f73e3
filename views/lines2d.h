#pragma once
// The shape of a 2D feature line on the screen: its curve, interval by
// interval, each interval's spline of the line's kind sampled every 0.08
// from the line's first point on, and the markers of its points (1 smooth:
// a circle, 2 corner: a square).

#include <functional>
#include <vector>

#include "foundation/use.h"
#include "framework/gdi.h"

class featureline2;

namespace views {

using PictureToClient = std::function<vector2<double>(const vector2<double>&)>;

struct LineMarker {
    vector2<double> client;
    int kind = 1;
    int point = -1;  // the linepoint2
};

struct LineShape {
    std::vector<vector2<double>> curve;  // client points, the first point first
    std::vector<LineMarker> markers;
};

// extra: a picture point appended to the line's last interval (the rubber
// line to the cursor); the curve closes when it equals the first point.
LineShape ShapeOfLine(const featureline2& line, const PictureToClient& toClient,
                      const vector2<double>* extra = nullptr);

// The curve with a pen of width 3, then the markers (half size 3) with a
// 1-pixel black pen and the fill, in the DC's present mix mode.
void DrawLineShape(CDC& dc, const LineShape& shape, COLORREF curve, COLORREF fill);

// Client pixel of a client point, as the marks are drawn.
inline CPoint Pixel(const vector2<double>& c) { return CPoint(int(std::floor(c.x)), int(std::floor(c.y))); }

// A filled circle of radius r or square of half size r about c.
void Circle(CDC& dc, const vector2<double>& c, int r);
void Square(CDC& dc, const vector2<double>& c, int r);

}  // namespace views
