#pragma once
// What the model and fitting code use of the views. The real views implement
// these interfaces; tests use the fakes in tests/support/.

#include "foundation/vecmath.h"

class generalpoint3;

namespace svc {

// Common to the four views.
class FaceView {
public:
    virtual ~FaceView() = default;

    // Head space to the view's client coordinates (projection, model-view, viewport).
    virtual fnd::htraf3<double> OpenGL2htraf() = 0;
    // Client coordinates to photo pixels.
    virtual fnd::htraf3<double> cl2bmp_HTRAF3() = 0;

    // While set, the next update draws only the selection over the kept picture.
    bool redrawFlag = false;
    // Invalidate with erase and update at once.
    virtual void Redraw() = 0;

    // Clear the redraw flag and repaint from the model.
    void RepaintFromModel() {
        redrawFlag = false;
        Redraw();
    }
};

// The head-over-photo view.
class ViewEdit2D3D : public virtual FaceView {
public:
    // Cached projection of a point (stamp protocol of generalpoint3); 0 when
    // projection is switched off.
    virtual int Coord3Dto2D(generalpoint3& point, int mode) = 0;
    // Head point to unrounded photo pixels; 0 when the point is hidden.
    virtual int Coord3Dto2DBMP(const fnd::vector3<double>& point, fnd::vector2<double>& out) = 0;
    // Rebuild the head display list in this view's context.
    virtual void InitializeModelForOpenGL() = 0;
};

// The 3D view.
class ViewEdit3D : public virtual FaceView {
public:
    enum { kLit = 1, kTextured = 7 };
    // Rebuild the head display lists; onlyGathered rebuilds the gathered part only.
    virtual void InitializeModelForOpenGL(int onlyGathered = 0, int second = 0) = 0;
    int displayMode = kLit;
};

}  // namespace svc
