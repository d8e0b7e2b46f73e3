#include "views/overlay_render.h"

#include <GL/gl.h>

#include <algorithm>

#include "fitting/kernel3d.h"
#include "model/head.h"
#include "views/build_counts.h"

namespace views {

OverlayRenderCore::OverlayRenderCore() { ClearAllViewSettings(); }

bool OverlayRenderCore::usesOwnNormal(const generalpoint3& p) const {
    return p.extra != -1 && p.extra.data().tri != -1;
}

void OverlayRenderCore::InitializeModelForOpenGL(CKernel3D& kernel) {
    offscreen::ContextGuard g(context_.get());
    if (!g.ok()) return;
    // The list is made again only when it would come out otherwise: it
    // reads the head's geometry alone.
    if (!kernel.head) return;
    const head3& h = *kernel.head;
    if (listContext_ != context_->serial || !h.sameGeometry(listStamp_, "display list of the overlay")) {
        kernel.TrianglesToOpenGLBasic();
        countOverlayList();
        sceneChanged();
        listContext_ = context_->serial;
    }
    listStamp_ = h.stampNow();
}

void OverlayRenderCore::setupScene() {
    const vector3<double>& eye = core_.eye();
    glShadeModel(GL_SMOOTH);
    const float ambient[4] = {0.5f, 0.5f, 0.5f, 1.0f}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    const float position[4] = {float(eye.x), float(eye.y), float(eye.z), 0.0f};
    const float modelAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

bool OverlayRenderCore::DrawScene(const offscreen::PixelRows& dst, bool drawHead, const CWinBmp* photo) {
    if (!context_) {
        fillBackground(dst);
        return false;
    }
    offscreen::ContextGuard g(context_.get());
    if (!frameWanted(g)) return false;
    FrameInputs in = frameInputs(dst);
    in.flags = (drawHead ? 1 : 0) | (merged ? 2 : 0);
    const bool havePhoto = merged && scaled_.prepare(photo, core_.clientWidth(), core_.clientHeight());
    in.photo = havePhoto ? scaled_.generation() : 0;
    if (reuseFrame(in, dst)) {
        endFrame();
        return true;
    }
    if (!beginFrame(g)) return false;
    setupScene();
    glPushMatrix();
    glPolygonMode(GL_FRONT, GL_FILL);
    if (drawHead) {
        glCallList(1);
        glCallList(2);
    }
    glPopMatrix();
    glFinish();
    if (merged)
        refreshMerged(dst, havePhoto);
    else
        readBack(dst);
    keepFrame(in, dst);
    endFrame();
    return true;
}

void OverlayRenderCore::refreshMerged(const offscreen::PixelRows& dst, bool havePhoto) {
    const int cw = core_.clientWidth(), ch = core_.clientHeight();
    int w = std::min(cw, dst.width), h = std::min(ch, dst.height);
    if (w <= 0 || h <= 0) return;
    rendered_.resize(size_t(w) * size_t(h));
    offscreen::PixelRows r{rendered_.data(), w, h, w};
    int rw = 0, rh = 0;
    context_->framebuffer().readInto(r, cw, ch, &rw, &rh);
    const int x0 = scaled_.x0(), y0 = scaled_.y0();
    const int sw = havePhoto ? scaled_.width() : 0, sh = havePhoto ? scaled_.height() : 0;
    for (int n = 0; n < rh; ++n) {
        uint32_t* out = dst.row(n);
        const uint32_t* in = r.row(n);
        const bool rowInside = n > y0 && n < y0 + sh;
        for (int i = 0; i < rw; ++i) {
            // The photo's first column and row are not shown.
            uint32_t p = rowInside && i > x0 && i < x0 + sw ? scaled_.pixel(i - x0, n - y0) : 0xFFFFFFu;
            out[i] = overlayMergedPixel(p, in[i]);
        }
    }
}

void OverlayRenderCore::FitInView2(bool refinement) {
    baseEye = vector3<double>(0, 0, defaultEyeDistance);
    baseCenter = vector3<double>(0, 0, 0);
    baseUp = vector3<double>(0, 1, 0);
    pitch = yaw = roll = 0;
    core_.setCamera(baseEye, baseCenter, baseUp, 50.0);
    core_.restoreView(GLViewport{}, 0, 0, 1.0, 0, 0);
    core_.restoreFit(0, 0, core_.fittedViewport(), core_.photoToGL());
    Zoom(1.0, refinement);
}

OverlaySection OverlayRenderCore::overlaySection() const {
    OverlaySection s;
    s.principalX = core_.principalX();
    s.principalY = core_.principalY();
    s.fitted = core_.fittedViewport();
    s.photoToGL = core_.photoToGL();
    return s;
}

void OverlayRenderCore::writeOpenGL(fnd::fileTB& f) const {
    GLViewCore::writeOpenGL(f);
    overlaySection().write(f);
}

bool OverlayRenderCore::readOpenGL(fnd::fileTB& f) {
    ViewSection base;
    OverlaySection own;
    if (!base.read(f, maxViewportWidth(), maxViewportHeight())) return false;
    if (!own.read(f, maxViewportWidth(), maxViewportHeight())) return false;
    applySection(base);
    core_.restoreFit(own.principalX, own.principalY, own.fitted, own.photoToGL);
    return true;
}

}  // namespace views
