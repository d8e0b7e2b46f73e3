#pragma once
// What the two GL views share when they draw and edit marks on the head:
// the edit points' weight threshold held for one routine, pens selected for
// one drawing, the zoom-out rectangle of the rectangle tool, spline samples
// put on the surface, and a 3D feature line drawn over the frame.

#include "foundation/spline.h"
#include "foundation/use.h"
#include "framework/gdi.h"
#include "fitting/projection.h"
#include "model/elements.h"

class head3;

namespace views {

class GLViewCore;

// extrapoint::bariCoordMinValue is 0.1 while it lives, restored after,
// exceptions included.
class BariGuard {
public:
    BariGuard() : old_(extrapoint::bariCoordMinValue) { extrapoint::bariCoordMinValue = 0.1; }
    ~BariGuard() { extrapoint::bariCoordMinValue = old_; }
    BariGuard(const BariGuard&) = delete;
    BariGuard& operator=(const BariGuard&) = delete;

private:
    double old_;
};

// A pen and a brush selected for one drawing, put back when it ends.
class Pens {
public:
    Pens(CDC& dc, COLORREF pen, int width, COLORREF brush)
        : dc_(dc), pen_(PS_SOLID, width, pen), brush_(brush) {
        oldPen_ = dc.SelectObject(&pen_);
        oldBrush_ = dc.SelectObject(&brush_);
    }
    ~Pens() {
        dc_.SelectObject(oldBrush_);
        dc_.SelectObject(oldPen_);
    }
    Pens(const Pens&) = delete;
    Pens& operator=(const Pens&) = delete;

private:
    CDC& dc_;
    CPen pen_;
    CBrush brush_;
    CPen* oldPen_;
    CBrush* oldBrush_;
};

// The rectangle that puts the client's present content (W x H) into the
// dragged rectangle (x0, y0, w, h): the zoom-out of the rectangle tool.
ClientRect ZoomOutRect(int W, int H, int x0, int y0, int w, int h);

// The spline's point at t put on the head (along the interpolated
// directions) and projected in the mode; the scratch work point carries it.
// False when it misses the head or is hidden; win is set whenever it hits.
bool SplineSampleOnFace(GLViewCore& view, head3& h, const fnd::spline3D& s,
                        const dynarray<vector3<double>>& directions, double t, int mode, vector2<double>* win);

// How DrawSurfaceLine draws: the curve pen, the straight pieces' pen, the
// markers' fill, straight pieces inverted, and the largest jump (in |dx| +
// |dy| pixels) that a curve piece may bridge (0: any).
struct SurfaceLineDrawing {
    CDC& dc;
    COLORREF curve;
    int curveWidth;
    COLORREF straight;
    COLORREF fill;
    bool invertStraight;
    double maxJump;
};

// A line fixed to vertices as straight pieces, else its spline put on the
// surface, then the markers of its visible points.
void DrawSurfaceLine(GLViewCore& view, head3& h, Index<featureline3> l, const SurfaceLineDrawing& how);

// The visibility mode stored with the line.
inline int visibilityOf(Index<featureline3> l) { return l == -1 ? 0 : l.data().spare; }

}  // namespace views
