#include "views/gl_view_core.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/head.h"
#include "model/octree.h"
#include "views/build_counts.h"

namespace views {
namespace {

const GLViewCore* counterOwner = nullptr;

}  // namespace

const GLViewCore* projectionCounterOwner() { return counterOwner; }
void resetProjectionCounterOwner() { counterOwner = nullptr; }

GLViewCore::GLViewCore() {
    core_.setSurfaceRayCast([this](const vector3<double>& origin, const vector3<double>& dir, SurfaceHit* hit) {
        head3* h = head();
        if (!h) return false;
        vector3<double> bary, point;
        Index<triangle> t = h->octree().getfirst(origin, dir, &bary, &point);
        if (t == -1) return false;
        hit->point = point;
        hit->triangle = t;
        hit->bary = bary;
        return true;
    });
    core_.setDefaultVisibilityMode(defaultVisibilityMode);
}

GLViewCore::~GLViewCore() {
    if (counterOwner == this) counterOwner = nullptr;
    OnDestroy();
}

bool GLViewCore::OnCreate() {
    if (context_) return true;
    context_ = offscreen::createContext();
    if (!context_) return false;
    offscreen::ContextGuard g(context_.get());
    if (!g.ok()) {
        context_.reset();
        return false;
    }
    float c[4];
    clearColourFloats(c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

void GLViewCore::OnDestroy() { context_.reset(); }

int GLViewCore::maxViewportWidth() const {
    return context_ ? context_->maxViewportWidth() : offscreen::kDefaultMaxViewport;
}

int GLViewCore::maxViewportHeight() const {
    return context_ ? context_->maxViewportHeight() : offscreen::kDefaultMaxViewport;
}

head3* GLViewCore::head() const { return head_ ? head_ : actual_head3; }

void GLViewCore::ClearAllViewSettings() {
    baseEye = vector3<double>(0, 0, defaultEyeDistance);
    baseCenter = vector3<double>(0, 0, 0);
    baseUp = vector3<double>(0, 1, 0);
    pitch = yaw = roll = 0;
    core_.setCamera(baseEye, baseCenter, baseUp, 50.0);
    core_.restoreView(GLViewport{}, 0, 0, 1.0, 0, 0);
    for (int32_t& r : reserved) r = 0;
}

void GLViewCore::CalculateEyeFromAngles() {
    vector3<double> eye, center, up;
    ::CalculateEyeFromAngles(baseEye, baseCenter, baseUp, pitch, yaw, roll, &eye, &center, &up);
    core_.setCamera(eye, center, up, core_.fovy());
}

void GLViewCore::takeCameraAsBase() {
    pitch = yaw = roll = 0;
    baseCenter = core_.center();
    baseEye = core_.eye() - core_.center();
    baseUp = core_.up();
}

namespace {

// The camera turned back by the angles: the base camera that
// CalculateEyeFromAngles turns into it.
void turnBack(const vector3<double>& eye, const vector3<double>& center, const vector3<double>& up, double pitch,
              double yaw, double roll, vector3<double>* baseEye, vector3<double>* baseCenter, vector3<double>* baseUp) {
    using fnd::RotatePointAroundVector;
    const vector3<double> Y(0, 1, 0);
    const vector3<double> X1 = RotatePointAroundVector(vector3<double>(1, 0, 0), yaw, Y);
    const vector3<double> Z1 =
        RotatePointAroundVector(RotatePointAroundVector(vector3<double>(0, 0, 1), yaw, Y), pitch, X1);
    auto back = [&](const vector3<double>& v) {
        return RotatePointAroundVector(RotatePointAroundVector(RotatePointAroundVector(v, -roll, Z1), -pitch, X1), -yaw,
                                       Y);
    };
    *baseCenter = back(center);
    *baseEye = back(eye - center);
    *baseUp = back(up);
}

}  // namespace

bool GLViewCore::FitToPhoto(long w, long h, double mx, double my) { return core_.FitToPhoto(w, h, mx, my); }

bool GLViewCore::Zoom(const ZoomRect& r, bool refinement) {
    return core_.Zoom(r, maxViewportWidth(), maxViewportHeight(), refinement);
}

bool GLViewCore::Zoom(double factor, bool refinement) {
    return core_.Zoom(factor, maxViewportWidth(), maxViewportHeight(), refinement);
}

bool GLViewCore::OnSize(int cx, int cy, bool refinement) {
    bool first = firstSize_;
    firstSize_ = false;
    core_.OnSize(cx, cy, maxViewportWidth(), maxViewportHeight(), refinement);
    return first;
}

ZoomRect GLViewCore::wheelRect(bool in) const {
    const double k = in ? 0.4 : 0.625;
    const double cw = core_.clientWidth(), ch = core_.clientHeight();
    return ZoomRect(cw / 2 - k * cw, ch / 2 - k * ch, cw / 2 + k * cw, ch / 2 + k * ch);
}

void GLViewCore::claimProjectionCounter() {
    if (counterOwner == this || generalpoint3::ProjCounter == -1) return;
    ++generalpoint3::ProjCounter;
    counterOwner = this;
}

void GLViewCore::adjustProjectionData() {
    if (stamp_ == generalpoint3::ProjCounter) return;
    stamp_ = generalpoint3::ProjCounter;
    head3* h = head();
    double extent = h ? h->extent : 0.0;
    core_.setVisibilityTolerance(extent > 0 ? extent * kRelativeExactnessOfVisibility : 1.0);
}

bool GLViewCore::Coord3Dto2D(generalpoint3& p, int mode) {
    if (generalpoint3::ProjCounter == -1) return false;
    claimProjectionCounter();
    if (p.projStamp == generalpoint3::ProjCounter) return p.projFlag != 0;
    int m = mode == 0 ? (defaultVisibilityMode == 0 ? 2 : defaultVisibilityMode) : mode;
    adjustProjectionData();
    vector3<double> normal;
    const vector3<double>* own = nullptr;
    if (m == VisibilityNormal && usesOwnNormal(p)) {
        normal = p.roughNormal();
        own = &normal;
    }
    ProjectedPoint cache;
    ++projections_;
    if (!core_.Coord3Dto2D(cache, p.point(), generalpoint3::ProjCounter, VisibilityMode(m), own)) {
        if (cache.stamp != generalpoint3::ProjCounter) return false;  // not projectable: p unchanged
    }
    p.projX = cache.window.x;
    p.projY = cache.window.y;
    p.projStamp = cache.stamp;
    p.projFlag = cache.visible;
    return p.projFlag != 0;
}

bool GLViewCore::castRay(const vector2<double>& w, SurfaceHit* hit) {
    adjustProjectionData();
    return core_.Coord2Dto3D(w, hit);
}

bool GLViewCore::Coord2Dto3D(const vector2<double>& w, generalpoint3& out) {
    // A point bound to a vertex is never moved by a pick; a point that
    // already carries an edit point is moved to the new hit.
    if (out.vtx != -1) return false;
    out.projX = w.x;
    out.projY = w.y;
    SurfaceHit hit;
    if (!castRay(w, &hit) || hit.triangle == -1) return false;
    out.set_extrapoint(hit.triangle, hit.bary, roughConversion);
    out.projStamp = -1;  // its window position follows from the new binding
    Coord3Dto2D(out, 0);
    out.projStamp = generalpoint3::ProjCounter;
    out.projFlag = 1;
    return true;
}

bool GLViewCore::Coord2Dto3DTest(const vector2<double>& w) {
    SurfaceHit hit;
    return castRay(w, &hit);
}

bool GLViewCore::Coord3Dto2DBMP(const vector3<double>& p, vector2<double>& out) {
    adjustProjectionData();
    return core_.Coord3Dto2DBMP(p, out);
}

ViewSection GLViewCore::section() const {
    ViewSection s;
    s.eye = core_.eye();
    s.center = core_.center();
    s.up = core_.up();
    s.fieldOfView = core_.fovy();
    s.pitch = pitch;
    s.yaw = yaw;
    s.viewport = core_.viewport();
    s.zoom = core_.zoom();
    for (int k = 0; k < 4; ++k) s.reserved[k] = reserved[k];
    s.panX = core_.viewportOriginX();
    s.panY = core_.viewportOriginY();
    s.offsetX = core_.pictureOffsetX();
    s.offsetY = core_.pictureOffsetY();
    return s;
}

void GLViewCore::applySection(const ViewSection& s) {
    core_.setCamera(s.eye, s.center, s.up, s.fieldOfView);
    pitch = s.pitch;
    yaw = s.yaw;
    // The roll is not kept: the camera as stored is the stored angles'
    // turn of a base camera, from which the next turn goes on.
    roll = 0;
    turnBack(s.eye, s.center, s.up, pitch, yaw, 0, &baseEye, &baseCenter, &baseUp);
    core_.restoreView(s.viewport, s.panX, s.panY, s.zoom, s.offsetX, s.offsetY);
    for (int k = 0; k < 4; ++k) reserved[k] = s.reserved[k];
}

void GLViewCore::writeOpenGL(fnd::fileTB& f) const { section().write(f); }

bool GLViewCore::readOpenGL(fnd::fileTB& f) {
    ViewSection s;
    if (!s.read(f, maxViewportWidth(), maxViewportHeight())) return false;
    applySection(s);
    // The framebuffer follows the client at the next frame.
    return true;
}

void GLViewCore::clearColourFloats(float rgba[4]) const {
    uint32_t c = clearPixel();
    rgba[0] = float((c >> 16) & 0xFF) / 255.0f;
    rgba[1] = float((c >> 8) & 0xFF) / 255.0f;
    rgba[2] = float(c & 0xFF) / 255.0f;
    rgba[3] = 0.0f;
}

void GLViewCore::fillBackground(const offscreen::PixelRows& dst) const {
    if (dst.empty()) return;
    uint32_t c = clearPixel();
    int w = std::min(dst.width, core_.clientWidth() > 0 ? core_.clientWidth() : dst.width);
    int h = std::min(dst.height, core_.clientHeight() > 0 ? core_.clientHeight() : dst.height);
    for (int y = 0; y < h; ++y) std::fill(dst.row(y), dst.row(y) + w, c);
}

bool GLViewCore::beginFrame(offscreen::ContextGuard& guard) {
    const GLViewport& v = core_.viewport();
    int cw = core_.clientWidth(), ch = core_.clientHeight();
    if (v.width <= 0 || v.height <= 0 || cw <= 0 || ch <= 0) return false;
    if (!guard.ok()) return false;
    if (!context_->framebuffer().resize(cw, ch)) return false;
    glViewport(v.x, v.y, v.width, v.height);
    matrix44<double> projection = core_.projection(), modelview = core_.modelview();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection.m);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(modelview.m);
    // The clear colour is set before clearing, so the first frame has it.
    float c[4];
    clearColourFloats(c);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

bool GLViewCore::frameWanted(const offscreen::ContextGuard& guard) const {
    const GLViewport& v = core_.viewport();
    return v.width > 0 && v.height > 0 && core_.clientWidth() > 0 && core_.clientHeight() > 0 && guard.ok();
}

GLViewCore::FrameInputs GLViewCore::frameInputs(const offscreen::PixelRows& dst) const {
    FrameInputs in;
    in.context = context_ ? context_->serial : 0;
    in.scene = scene_;
    in.clientWidth = core_.clientWidth();
    in.clientHeight = core_.clientHeight();
    in.width = dst.width;
    in.height = dst.height;
    in.viewport = core_.viewport();
    const matrix44<double> projection = core_.projection(), modelview = core_.modelview();
    std::memcpy(in.projection, projection.m, sizeof in.projection);
    std::memcpy(in.modelview, modelview.m, sizeof in.modelview);
    const vector3<double>& eye = core_.eye();
    const double e[3] = {eye.x, eye.y, eye.z};
    std::memcpy(in.eye, e, sizeof in.eye);
    return in;
}

namespace {

// The pixels a frame writes: the client's part of dst (the read-back and
// the merged photo write no others).
int frameSide(int client, int dst) { return std::max(0, std::min(client, dst)); }

}  // namespace

bool GLViewCore::reuseFrame(const FrameInputs& in, const offscreen::PixelRows& dst) {
    if (!haveFrame_ || !(in == lastFrame_) || dst.empty()) return false;
    const int w = frameSide(in.clientWidth, in.width), h = frameSide(in.clientHeight, in.height);
    if (framePixels_.size() != size_t(w) * size_t(h)) return false;
    for (int y = 0; y < h; ++y) std::copy_n(framePixels_.data() + size_t(y) * size_t(w), w, dst.row(y));
    return true;
}

void GLViewCore::keepFrame(const FrameInputs& in, const offscreen::PixelRows& dst) {
    countRender();
    const int w = frameSide(in.clientWidth, in.width), h = frameSide(in.clientHeight, in.height);
    framePixels_.resize(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) std::copy_n(dst.row(y), w, framePixels_.data() + size_t(y) * size_t(w));
    lastFrame_ = in;
    haveFrame_ = true;
}

void GLViewCore::endFrame() {
    if (renderMode != kRenderMode) return;
    ++generalpoint3::ProjCounter;
    counterOwner = this;
}

bool GLViewCore::readBack(const offscreen::PixelRows& dst) {
    return context_->framebuffer().readInto(dst, core_.clientWidth(), core_.clientHeight());
}

}  // namespace views
