#pragma once
// Camera and projection of the GL views without a window: the perspective and
// look-at matrices the views render with, the viewport laid over the photo,
// the linear maps between photo pixels, client pixels and GL window
// coordinates, and the projections between head space, client and photo.
// The client size is a parameter; the views wrap one of these each and load
// its matrices into GL, so drawing and fitting see the same camera.
//
// Matrices are in this program's convention: row vectors on the left of
// row-major matrices. A GL matrix array (column-major) read row by row is
// exactly that matrix, so modelview() and projection() can be handed to GL
// (glLoadMatrixd) and to gluProject as they are.

#include <functional>

#include "foundation/lintraf.h"
#include "foundation/use.h"

using fnd::lintraf1;
using fnd::lintraf11;

enum VisibilityMode {
    VisibilityDefault = 0,  // the view's default mode
    VisibilityAlways = 1,   // no test
    VisibilityNormal = 2,   // the point's own normal when it has one, else a ray
    VisibilityRay = 3,      // always a ray
};

// Where a ray meets the head: the point, the triangle (-1 when the search
// knows none) and the point's barycentric weights on its corners.
struct SurfaceHit {
    vector3<double> point;
    int triangle = -1;
    vector3<double> bary;
};

// The first surface hit along origin + t dir, t >= 0 (the head's octree).
// The views install the octree's search; without one every ray misses.
using SurfaceRayCast = std::function<bool(const vector3<double>& origin, const vector3<double>& dir, SurfaceHit* hit)>;

// A client rectangle, y down.
struct ClientRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// A rectangle to zoom to, in client pixels (y down) that need not be whole:
// the wheel's rectangles are exact, so a notch in and one out cancel.
struct ZoomRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    ZoomRect() = default;
    ZoomRect(double l, double t, double r, double b) : left(l), top(t), right(r), bottom(b) {}
    ZoomRect(const ClientRect& r) : left(r.left), top(r.top), right(r.right), bottom(r.bottom) {}
};

struct GLViewport {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const GLViewport&) const = default;
};

// The cached projection of one point (the generalpoint3 protocol): valid
// while stamp equals the projection counter.
struct ProjectedPoint {
    int stamp = -1;
    vector2<double> window;  // client pixels, y down
    int visible = 0;
};

// Photo pixels to client pixels, photo fitted to the client height and
// centred across, or fitted to the width and centred vertically.
lintraf11 bmp2cl_fitYcentX(double w, double h, double cw, double ch);
lintraf11 bmp2cl_fitXcentY(double w, double h, double cw, double ch);
// Client (y down) to GL window coordinates (y up) for a client of height h.
lintraf11 cl2gl(double h);
// The rectangle (x, y, width, height) onto the rectangle (x2, width2, y2, height2).
lintraf11 gl2gl(const GLViewport& r, double x2, double width2, double y2, double height2);
// An htraf3 that applies a lintraf11 to x and y and keeps z.
htraf3<double> htrafOfLintraf(const lintraf11& l);

// The photo views' client-to-picture map: picture pixel (x, y) lies at
// client (zoom x + offset x, zoom y + offset y), the offsets cut to whole
// pixels as the picture is drawn.
lintraf11 photoViewCl2bmp(double zoom, double offsetX, double offsetY);

// The camera of a GL view turned by yaw (about y), then pitch (about the
// turned x axis), then roll (about the turned z axis) around the look-at
// point: base eye, centre and up at zero angles in, eye, centre and up out.
void CalculateEyeFromAngles(const vector3<double>& baseEye, const vector3<double>& baseCenter,
                            const vector3<double>& baseUp, double pitch, double yaw, double roll,
                            vector3<double>* eye, vector3<double>* center, vector3<double>* up);

// gluLookAt and gluPerspective, in double precision.
matrix44<double> lookAtMatrix(const vector3<double>& eye, const vector3<double>& center, const vector3<double>& up);
matrix44<double> perspectiveMatrix(double fovy, double aspect, double zNear, double zFar);

class ProjectionCore {
public:
    ProjectionCore();

    // Camera of the view: eye, look-at centre, up direction and vertical
    // opening angle in degrees.
    void setCamera(const vector3<double>& eye, const vector3<double>& center, const vector3<double>& up,
                   double fovy);
    const vector3<double>& eye() const { return eye_; }
    const vector3<double>& center() const { return center_; }
    const vector3<double>& up() const { return up_; }
    double fovy() const { return fovy_; }

    void setClientSize(int width, int height);
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }

    void setViewport(const GLViewport& v);
    // The viewport GL renders with: the exact viewport, each value cut to a
    // whole pixel. The projection matrix carries what the cut left off, so
    // the head lands where the exact viewport puts it.
    const GLViewport& viewport() const { return viewport_; }
    float viewportOriginX() const { return float(exactX_); }
    float viewportOriginY() const { return float(exactY_); }
    double zoom() const { return zoom_; }
    double pictureOffsetX() const { return pictureOffsetX_; }
    double pictureOffsetY() const { return pictureOffsetY_; }

    // Offset of the optical axis from the photo centre, photo pixels, y up.
    double principalX() const { return principalX_; }
    double principalY() const { return principalY_; }
    const GLViewport& fittedViewport() const { return fitted_; }
    const lintraf11& photoToGL() const { return photoToGL_; }
    const lintraf11& photoToClient() const { return photoToClient_; }
    lintraf11 cl2bmp_lintraf11() const { return clientToPhoto_; }

    // Places the viewport so that the camera's image plane covers a photo of
    // w x h pixels whose optical axis lies (mx, my) from its centre. False,
    // nothing changed, unless 0 < w, h < 1000000.
    bool FitToPhoto(long w, long h, double mx, double my);
    // Rebuilds the photo/client maps after the viewport moved.
    void setLinTrafos();
    // Zooms so that the client rectangle r (client pixels, y down) fills the
    // client; the rectangle is first brought to the client's aspect about its
    // centre and grown so that the viewport stays within maxViewport.
    // keepClientAspect: the viewport takes the client's aspect (the frame's
    // refinement), else it keeps its own. False for an empty rectangle.
    bool Zoom(const ZoomRect& r, int maxViewportWidth, int maxViewportHeight, bool keepClientAspect = false);
    // The factor form; its callers pass the current zoom, which recomputes
    // the viewport for the current client size.
    bool Zoom(double factor, int maxViewportWidth, int maxViewportHeight, bool keepClientAspect = false);
    // A new client size, at the same zoom: the viewport is scaled about the
    // client's middle by the height change, or, once a photo is fitted, as
    // the photo's fit into the client changes.
    void OnSize(int cx, int cy, int maxViewportWidth, int maxViewportHeight, bool keepClientAspect = false);

    // A project file's fit, restored as written.
    void restoreFit(double mx, double my, const GLViewport& fitted, const lintraf11& photoToGL);
    // A project file's (or a reset's) viewport, its float origin, zoom and
    // picture offsets, restored as written.
    void restoreView(const GLViewport& v, float originX, float originY, double zoom, double offsetX, double offsetY);

    // The near and far planes the views render with.
    double nearPlane() const;
    double farPlane() const;
    matrix44<double> modelview() const;
    matrix44<double> projection() const;

    // Head space to client pixels (y down), homogeneous: apply with the
    // division by w.
    htraf3<double> OpenGL2htraf() const;
    // Client pixels to photo pixels.
    htraf3<double> cl2bmp_HTRAF3() const { return htrafOfLintraf(clientToPhoto_); }

    // gluProject and gluUnProject over this camera and viewport: GL window
    // coordinates, y up from the bottom of the client, depth 0 to 1.
    bool project(const vector3<double>& p, vector3<double>* win) const;
    bool unproject(const vector3<double>& win, vector3<double>* obj) const;

    // Visibility test tolerance (0.001 of the head's size) and default mode.
    void setVisibilityTolerance(double t) { tolerance_ = t; }
    double visibilityTolerance() const { return tolerance_; }
    void setDefaultVisibilityMode(int m) { defaultMode_ = m; }
    void setSurfaceRayCast(SurfaceRayCast cast) { rayCast_ = std::move(cast); }

    // Client position and visibility of a head point, cached in `cache` for
    // one value of the projection counter; nothing is known while the
    // counter is -1. roughNormal: the point's own normal when it lies on a
    // triangle (used by the normal mode), else null.
    bool Coord3Dto2D(ProjectedPoint& cache, const vector3<double>& position, int projCounter,
                     VisibilityMode mode = VisibilityDefault, const vector3<double>* roughNormal = nullptr) const;
    // The head point under a client point, or false when the ray misses.
    bool Coord2Dto3D(const vector2<double>& client, SurfaceHit* hit) const;
    // Photo pixels (x right, y down) of a head point, written whether or not
    // the point is visible; returns its visibility (always by a ray). False
    // with out unchanged when the point cannot be projected.
    bool Coord3Dto2DBMP(const vector3<double>& p, vector2<double>& out) const;

private:
    bool visibleAt(const vector3<double>& p, const vector2<double>& client, int mode,
                   const vector3<double>* roughNormal) const;
    void capture() const;

    vector3<double> eye_{0, 0, 200}, center_{0, 0, 0}, up_{0, 1, 0};
    double fovy_ = 50.0;
    int clientWidth_ = 0, clientHeight_ = 0;
    // Zooms and resizes scale the exact viewport; only what GL gets is cut
    // to whole pixels, so no rounding accumulates.
    GLViewport viewport_;
    double exactX_ = 0, exactY_ = 0, exactWidth_ = 0, exactHeight_ = 0;
    void cutViewport();
    // Clip coordinates of the exact viewport to those of the cut one.
    matrix44<double> cutAdjustment() const;
    double zoom_ = 1.0;
    double pictureOffsetX_ = 0, pictureOffsetY_ = 0;
    double principalX_ = 0, principalY_ = 0;
    GLViewport fitted_;
    double fittedExact_[4] = {0, 0, 0, 0};  // x, y, width, height
    double photoWidth_ = 0, photoHeight_ = 0;  // of the last fit
    lintraf11 photoToGL_, clientToPhoto_, photoToClient_;
    double tolerance_ = 1.0;
    int defaultMode_ = 2;
    int lastWindowWidth_ = 0, lastWindowHeight_ = 0;  // the client size seen by the last OnSize
    SurfaceRayCast rayCast_;

    // Captured matrices, rebuilt after any change of camera or viewport.
    mutable bool dirty_ = true;
    mutable matrix44<double> modelview_, projection_, combined_, combinedInv_;
};
