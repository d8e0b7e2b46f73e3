#pragma once
// What the two GL views share without a window: the off-screen context and
// framebuffer, the camera (the ProjectionCore is its only copy), the
// viewport's fit, zoom and resize, the projections and picks between head
// space and the client through the head's octree, the cached projection of
// generalpoint3 per view, and the base view's project-file section. The
// view classes own one of the derived render cores and call these from
// their message handlers.

#include <cstdint>
#include <memory>
#include <vector>

#include "fitting/projection.h"
#include "foundation/filetb.h"
#include "views/offscreen_gl.h"
#include "document/view_section.h"

class generalpoint3;
class head3;

namespace views {

// GL_RENDER, the render mode in which a frame raises the projection counter.
inline constexpr int kRenderMode = 0x1C00;

class GLViewCore {
public:
    GLViewCore();
    virtual ~GLViewCore();
    GLViewCore(const GLViewCore&) = delete;
    GLViewCore& operator=(const GLViewCore&) = delete;

    // ---- context ----
    // The view's OnCreate: makes its context (null without GL; the message
    // is printed once) and clears it. False without GL.
    bool OnCreate();
    // The view's OnDestroy.
    void OnDestroy();
    bool hasGL() const { return context_ != nullptr; }
    offscreen::Context* context() { return context_.get(); }
    int maxViewportWidth() const;
    int maxViewportHeight() const;

    // ---- camera ----
    ProjectionCore& core() { return core_; }
    const ProjectionCore& core() const { return core_; }
    // The base view's reset: eye (0, 0, D), centre 0, up y, 50 degrees,
    // angles, viewport, zoom, pan, offsets and the reserved values 0.
    void ClearAllViewSettings();
    // Eye, centre and up from the base camera turned by the angles.
    void CalculateEyeFromAngles();
    // The present camera becomes the one at zero angles (the angles 0): a
    // turn then starts from it and keeps its distance to the head.
    void takeCameraAsBase();
    int defaultEyeDistance = 200;
    vector3<double> baseEye{0, 0, 200}, baseCenter{0, 0, 0}, baseUp{0, 1, 0};
    double pitch = 0, yaw = 0, roll = 0;
    int32_t reserved[4] = {0, 0, 0, 0};

    // ---- viewport ----
    // refinement: the frame's refinement flag (the viewport takes the
    // client's aspect).
    bool FitToPhoto(long w, long h, double mx, double my);
    bool Zoom(const ZoomRect& r, bool refinement = false);
    bool Zoom(double factor, bool refinement = false);
    // A new client size; never renders. True for the first size message.
    bool OnSize(int cx, int cy, bool refinement = false);
    // The rectangle a wheel notch zooms to: about the client centre, half
    // sizes 0.4 (in) or 0.625 (out) of the client, not cut to whole pixels,
    // so that a notch in and a notch out cancel.
    ZoomRect wheelRect(bool in) const;
    void setLinTrafos() { core_.setLinTrafos(); }
    lintraf11 cl2bmp_lintraf11() const { return core_.cl2bmp_lintraf11(); }
    htraf3<double> OpenGL2htraf() const { return core_.OpenGL2htraf(); }
    htraf3<double> cl2bmp_HTRAF3() const { return core_.cl2bmp_HTRAF3(); }

    // ---- projections ----
    // The head whose octree the picks search and whose size sets the
    // visibility tolerance (the current head when none is set).
    void setHead(head3* h) { head_ = h; }
    head3* head() const;
    int defaultVisibilityMode = 2;
    int renderMode = kRenderMode;
    static constexpr double kRelativeExactnessOfVisibility = 0.001;

    // Window position (y down) and visibility of p, cached in p until the
    // projection counter moves on; false while the counter is -1.
    bool Coord3Dto2D(generalpoint3& p, int mode = 0);
    // The head point under client point w bound to out as an edit point on
    // the hit triangle; false (out keeps all but its window position) when
    // the ray misses, and false with out unchanged when out is bound to a
    // vertex.
    bool Coord2Dto3D(const vector2<double>& w, generalpoint3& out);
    // Whether client point w lies on the head.
    bool Coord2Dto3DTest(const vector2<double>& w);
    // The full cast under w: hit point, triangle and barycentric weights.
    bool castRay(const vector2<double>& w, SurfaceHit* hit);
    // Photo pixels of a head point and whether a ray sees it.
    bool Coord3Dto2DBMP(const vector3<double>& p, vector2<double>& out);
    // Projections actually computed (cache misses), for tests and benchmarks.
    long projectionsComputed() const { return projections_; }

    // The counter value this view last rendered or projected with; taking
    // the counter from another view raises it first, so points cached by
    // one view are never read back by the other.
    void claimProjectionCounter();
    // Re-reads what depends on the frame (the visibility tolerance) once
    // per counter value.
    void adjustProjectionData();

    // ---- project file ----
    ViewSection section() const;
    void applySection(const ViewSection& s);
    void writeOpenGL(fnd::fileTB& f) const;
    // False, the view unchanged and the stream failed, for a damaged section.
    bool readOpenGL(fnd::fileTB& f);

    // ---- frames ----
    // The background pixel a frame clears to (0x00RRGGBB).
    virtual uint32_t clearPixel() const = 0;
    // dst filled with the clear colour: what a GL view shows without GL.
    void fillBackground(const offscreen::PixelRows& dst) const;

protected:
    // Sizes the framebuffer to the client, makes the context current (the
    // guard stays with the caller), loads viewport and matrices and clears
    // to the clear colour; false when nothing is to be rendered.
    bool beginFrame(offscreen::ContextGuard& guard);
    // The frame rendered: the counter moves on (GL_RENDER only).
    void endFrame();
    // Reads the rendered client into dst.
    bool readBack(const offscreen::PixelRows& dst);
    // Whether mode 2 may use p's own normal (the views differ).
    virtual bool usesOwnNormal(const generalpoint3& p) const = 0;
    // Colour of the clear colour as GL floats.
    void clearColourFloats(float rgba[4]) const;

    // What a frame is rendered from. A frame asked with the same inputs as
    // the last is that frame's pixels again, copied instead of rendered.
    struct FrameInputs {
        uint64_t context = 0, scene = 0, photo = 0;
        int clientWidth = 0, clientHeight = 0, width = 0, height = 0, mode = 0, flags = 0;
        GLViewport viewport;
        // The matrices and the eye (the light's place) bit for bit.
        uint64_t projection[16] = {}, modelview[16] = {}, eye[3] = {};
        bool operator==(const FrameInputs&) const = default;
    };
    // Whether beginFrame would render (the viewport and client not empty,
    // the context current).
    bool frameWanted(const offscreen::ContextGuard& guard) const;
    // The inputs the cores share: the context and scene, the sizes, the
    // viewport, the matrices and the eye.
    FrameInputs frameInputs(const offscreen::PixelRows& dst) const;
    // The last frame's pixels into dst when it was made from in (true).
    bool reuseFrame(const FrameInputs& in, const offscreen::PixelRows& dst);
    // The frame just rendered into dst, kept with what it was made from.
    void keepFrame(const FrameInputs& in, const offscreen::PixelRows& dst);
    // What the context draws changed besides the inputs (a display list, the
    // texture, state left by another use of the context).
    void sceneChanged() { ++scene_; }

    std::unique_ptr<offscreen::Context> context_;
    ProjectionCore core_;
    head3* head_ = nullptr;
    int stamp_ = -1;
    long projections_ = 0;
    bool firstSize_ = true;
    uint64_t scene_ = 0;
    FrameInputs lastFrame_;
    bool haveFrame_ = false;
    std::vector<uint32_t> framePixels_;
};

// The process-wide owner of generalpoint3::ProjCounter (reset for tests).
const GLViewCore* projectionCounterOwner();
void resetProjectionCounterOwner();

}  // namespace views
