#include "views/overlay_render.h"

#include <GL/gl.h>

#include <algorithm>

#include "fitting/gl_interface.h"
#include "fitting/kernel3d.h"
#include "model/head.h"
#include "views/build_counts.h"

namespace views {

// GL calls kept in their order with their arguments, to be made later.
class OverlayRenderCore::Recording : public glx::GL {
public:
    explicit Recording(int triangles) {
        // A head's list: per triangle four material calls and three
        // corners of a normal and a vertex.
        const size_t n = size_t(std::max(triangles, 0));
        ops_.reserve(10 * n + 8);
        u_.reserve(8 * n + 8);
        f_.reserve(13 * n);
        d_.reserve(18 * n);
    }
    void DeleteLists(unsigned list, int range) override { add(kDeleteLists, {list, unsigned(range)}); }
    void NewList(unsigned list, unsigned mode) override { add(kNewList, {list, mode}); }
    void EndList() override { add(kEndList, {}); }
    void Begin(unsigned mode) override { add(kBegin, {mode}); }
    void End() override { add(kEnd, {}); }
    void Materialfv(unsigned face, unsigned pname, const float* params) override {
        add(kMaterialfv, {face, pname});
        f_.insert(f_.end(), params, params + materialValues(pname));
    }
    void Materialf(unsigned face, unsigned pname, float param) override {
        add(kMaterialf, {face, pname});
        f_.push_back(param);
    }
    void Color3f(float r, float g, float b) override {
        add(kColor3f, {});
        f_.insert(f_.end(), {r, g, b});
    }
    void TexCoord2d(double u, double v) override {
        add(kTexCoord2d, {});
        d_.insert(d_.end(), {u, v});
    }
    void Normal3d(double x, double y, double z) override {
        add(kNormal3d, {});
        d_.insert(d_.end(), {x, y, z});
    }
    void Vertex3d(double x, double y, double z) override {
        add(kVertex3d, {});
        d_.insert(d_.end(), {x, y, z});
    }
    // An upload reads pixels that may be gone later: not kept.
    void TexImage2D(unsigned, long, long, long, long, long, unsigned, unsigned, const void*) override {
        whole_ = false;
    }
    // False when a call could not be kept.
    bool whole() const { return whole_; }

    void make(glx::GL& gl) const {
        size_t u = 0, f = 0, d = 0;
        for (uint8_t op : ops_) switch (op) {
                case kDeleteLists: gl.DeleteLists(u_[u], int(u_[u + 1])), u += 2; break;
                case kNewList: gl.NewList(u_[u], u_[u + 1]), u += 2; break;
                case kEndList: gl.EndList(); break;
                case kBegin: gl.Begin(u_[u++]); break;
                case kEnd: gl.End(); break;
                case kMaterialfv:
                    gl.Materialfv(u_[u], u_[u + 1], f_.data() + f);
                    f += materialValues(u_[u + 1]);
                    u += 2;
                    break;
                case kMaterialf: gl.Materialf(u_[u], u_[u + 1], f_[f++]), u += 2; break;
                case kColor3f: gl.Color3f(f_[f], f_[f + 1], f_[f + 2]), f += 3; break;
                case kTexCoord2d: gl.TexCoord2d(d_[d], d_[d + 1]), d += 2; break;
                case kNormal3d: gl.Normal3d(d_[d], d_[d + 1], d_[d + 2]), d += 3; break;
                case kVertex3d: gl.Vertex3d(d_[d], d_[d + 1], d_[d + 2]), d += 3; break;
            }
    }

private:
    enum Op : uint8_t {
        kDeleteLists,
        kNewList,
        kEndList,
        kBegin,
        kEnd,
        kMaterialfv,
        kMaterialf,
        kColor3f,
        kTexCoord2d,
        kNormal3d,
        kVertex3d,
    };
    // The values glMaterialfv reads for pname.
    static size_t materialValues(unsigned pname) {
        constexpr unsigned kColorIndexes = 0x1603;
        return pname == glx::kShininess ? 1 : pname == kColorIndexes ? 3 : 4;
    }
    void add(Op op, std::initializer_list<unsigned> args) {
        ops_.push_back(op);
        u_.insert(u_.end(), args);
    }
    std::vector<uint8_t> ops_;
    std::vector<unsigned> u_;
    std::vector<float> f_;
    std::vector<double> d_;
    bool whole_ = true;
};

OverlayRenderCore::OverlayRenderCore() { ClearAllViewSettings(); }

OverlayRenderCore::~OverlayRenderCore() = default;

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
        keptList_ = std::make_unique<Recording>(h.triangles.count());
        {
            glx::GL* was = glx::install(keptList_.get());
            kernel.TrianglesToOpenGLBasic();
            glx::install(was);
        }
        if (!keptList_->whole()) {
            keptList_.reset();
            kernel.TrianglesToOpenGLBasic();
            countOverlayListMade();
        }
        countOverlayList();
        sceneChanged();
        listContext_ = context_->serial;
    }
    listStamp_ = h.stampNow();
}

void OverlayRenderCore::makeKeptList() {
    if (!keptList_) return;
    // Kept for another context (this one made anew since): that one's
    // list went with it.
    if (listContext_ == context_->serial) {
        keptList_->make(glx::current());
        countOverlayListMade();
    }
    keptList_.reset();
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
        makeKeptList();
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
