#pragma once
// What the layers below the views use of them: the model and fitting code
// their transforms and redraws, the document its views' names, fits, poses,
// cameras and sections of the project file. The real views implement these
// interfaces; tests use the fakes in tests/support/.

#include <string_view>

#include "foundation/vecmath.h"

class ProjectionCore;
class generalpoint3;

namespace fnd {
class fileTB;
}

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
    // Invalidate with erase; the paint comes with the next update.
    virtual void InvalidateView() { Redraw(); }

    // Clear the redraw flag and repaint from the model.
    void RepaintFromModel() {
        redrawFlag = false;
        Redraw();
    }

    // The name by which the document finds the view: "ViewOrigPhoto",
    // "ViewOrig2D", "ViewEdit2D3D" or "ViewEdit3D".
    virtual std::string_view ViewName() const { return {}; }
    // Back to the view's start: no selection, no rubber figures, no zoom.
    virtual void ClearAllViewSettings() {}
    // Fits the picture or the head into the pane.
    virtual void FitInView() {}
    // The pose of the head back to its start (the GL views).
    virtual void ResetPose() {}
    // The camera of a GL view (null for the photo views).
    virtual ProjectionCore* Camera() { return nullptr; }
    // The GL views' fit of their viewport over a photo of that size with
    // the principal point moved by (mx, my); non-zero when fitted.
    virtual int FitToPhoto(long width, long height, double mx, double my) { return 0; }
    // The GL views' linear transforms computed anew from their camera.
    virtual void setLinTrafos() {}
    // The view's section of the project file. A damaged section fails the
    // stream and leaves the view as it was.
    virtual void writeOpenGL(fnd::fileTB& f) {}
    virtual void readOpenGL(fnd::fileTB& f) {}
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
    // What the camera search found, as the overlay holds it: its principal-
    // point offset and opening angle, with camera its eye, centre and up.
    virtual void TakeCamera(const ProjectionCore& overlay, bool camera) {}
};

}  // namespace svc
