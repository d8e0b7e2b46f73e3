#include "views/head_render.h"

#include <GL/gl.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "fitting/gl_interface.h"
#include "fitting/kernel3d.h"
#include "foundation/numeric.h"
#include "framework/paths.h"
#include "model/head.h"
#include "picture/picencoder.h"
#include "picture/winbmp.h"
#include "seams/views.h"
#include "views/build_counts.h"

namespace views {

namespace {

// The GL calls of a list build, with list 1 made under another name.
class ListRenamed : public glx::GL {
public:
    explicit ListRenamed(unsigned name) : to_(glx::current()), name_(name) { was_ = glx::install(this); }
    ~ListRenamed() override { glx::install(was_); }
    ListRenamed(const ListRenamed&) = delete;
    ListRenamed& operator=(const ListRenamed&) = delete;
    void DeleteLists(unsigned list, int range) override { to_.DeleteLists(rename(list), range); }
    void NewList(unsigned list, unsigned mode) override { to_.NewList(rename(list), mode); }
    void EndList() override { to_.EndList(); }
    void Begin(unsigned mode) override { to_.Begin(mode); }
    void End() override { to_.End(); }
    void Materialfv(unsigned face, unsigned pname, const float* params) override {
        to_.Materialfv(face, pname, params);
    }
    void Materialf(unsigned face, unsigned pname, float param) override { to_.Materialf(face, pname, param); }
    void Color3f(float r, float g, float b) override { to_.Color3f(r, g, b); }
    void TexCoord2d(double u, double v) override { to_.TexCoord2d(u, v); }
    void Normal3d(double x, double y, double z) override { to_.Normal3d(x, y, z); }
    void Vertex3d(double x, double y, double z) override { to_.Vertex3d(x, y, z); }
    void TexImage2D(unsigned target, long level, long internalFormat, long width, long height, long border,
                    unsigned format, unsigned type, const void* pixels) override {
        to_.TexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
    }

private:
    unsigned rename(unsigned list) const { return list == 1 ? name_ : list; }
    glx::GL& to_;
    GL* was_ = nullptr;
    unsigned name_;
};

#ifndef NDEBUG
// The texels' hash, by which builds with assertions check that the texels
// did not change without their count: four words at a time in four lanes
// (a texture of 4096 is 48 MB); each word turned in before the multiply, so that no bit of it
// stays where only the top of the product sees it.
uint64_t texelHash(const TextureImage& t) {
    const size_t bytes = size_t(t.width) * size_t(t.height) * 3;
    const unsigned char* p = t.rgb.data();
    constexpr uint64_t kOdd = 0x9E3779B97F4A7C15ull;
    uint64_t lane[4] = {0x85EBCA77C2B2AE63ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, 0x27D4EB2F165667C5ull};
    auto step = [](uint64_t h, uint64_t w) { return std::rotl(h ^ w, 29) * kOdd; };
    size_t i = 0;
    for (; i + 32 <= bytes; i += 32)
        for (int k = 0; k < 4; ++k) {
            uint64_t w;
            std::memcpy(&w, p + i + 8 * size_t(k), 8);
            lane[k] = step(lane[k], w);
        }
    uint64_t h = bytes;
    for (; i < bytes; ++i) h = step(h, p[i]);
    for (uint64_t l : lane) {
        h = step(h, l);
        h ^= h >> 31;
    }
    return h;
}
#endif

}  // namespace

HeadRenderCore::HeadRenderCore(svc::ViewEdit3D& view) : view_(view) {
    whole_[0].name = 1;
    whole_[1].name = 3;
    ClearAllViewSettings();
}

HeadRenderCore::~HeadRenderCore() {
    if (texture_ && context_) {
        offscreen::ContextGuard g(context_.get());
        if (g.ok()) glDeleteTextures(1, &texture_);
    }
}

int HeadRenderCore::displayMode() const { return view_.displayMode; }
void HeadRenderCore::setDisplayMode(int mode) { view_.displayMode = mode; }

bool HeadRenderCore::usesOwnNormal(const generalpoint3& p) const {
    return p.vtx != -1 && p.vtx.data().triangles.count() > 0;
}

void HeadRenderCore::rebuildOctree(CKernel3D& kernel, bool moveToCenter) {
    if (kernel.head) kernel.head->SetMinMaxOctree(moveToCenter);
}

void HeadRenderCore::buildDisplayLists(CKernel3D& kernel, bool gatheredOnly, int stage) {
    setDisplayMode(stage < 1001 ? svc::ViewEdit3D::kLit : svc::ViewEdit3D::kTextured);
    offscreen::ContextGuard g(context_.get());
    if (!g.ok() || !kernel.head) return;
    if (!gatheredOnly) {
        // The whole list is made again only when it would come out
        // otherwise: the same inputs, and the head as the list was made from
        // (a textured list also reads the texture coordinates).
        CKernel3D::ListInputs in = kernel.WholeHeadListInputs();
        in.head = nullptr;
        in.changeCount = 0;
        const head3& h = *kernel.head;
        const bool textured = in.mode == svc::ViewEdit3D::kTextured;
        WholeList& list = whole_[textured ? 1 : 0];
        const bool same = list.context == context_->serial && in == list.in &&
                          (textured ? h.sameGeometryAndTexture(list.stamp, "display list of the head")
                                    : h.sameGeometry(list.stamp, "display list of the head"));
        if (!same) {
            std::optional<ListRenamed> renamed;
            if (list.name != 1) renamed.emplace(list.name);
            kernel.TrianglesToOpenGL();
            countWholeList();
            sceneChanged();
            list.in = std::move(in);
            list.context = context_->serial;
        } else if (wholeShown_ != list.name) {
            sceneChanged();
        }
        list.stamp = h.stampNow();
        wholeShown_ = list.name;
    }
    kernel.TrianglesToOpenGLGathered();
    countGatheredList();
    // An empty list made again draws what the last empty one drew.
    const bool gathered = gatheredTriangles().first() != -1;
    if (gathered || list2Gathered_ || displayMode() != listsMode_) sceneChanged();
    list2Gathered_ = gathered;
    listsMode_ = displayMode();
}

void HeadRenderCore::InitializeModelForOpenGL(CKernel3D& kernel, bool octree, bool gatheredOnly, int stage) {
    rebuildOctree(kernel, octree);
    buildDisplayLists(kernel, gatheredOnly, stage);
}

bool HeadRenderCore::UploadTexture(CKernel3D& kernel) {
    offscreen::ContextGuard g(context_.get());
    if (!g.ok() || !kernel.head || !kernel.head->texture) return false;
    const TextureImage& t = *kernel.head->texture;
    if (t.width <= 0 || t.height <= 0 || t.rgb.size() < size_t(t.width) * size_t(t.height) * 3) return false;
    // The upload reads the current head's texture and leaves its reduction
    // there: with that head the kernel's, the same texels and the reduction
    // the last upload left, the name holds what an upload would give.
    auto reduction = [] {
        return actual_head3 && actual_head3->reducedTexture ? actual_head3->reducedTexture->changeCount() : 0;
    };
    Upload now{context_->serial, t.changeCount(), reduction()};
    if (texture_ && actual_head3 == kernel.head && now == uploaded_) {
#ifndef NDEBUG
        if (texelHash(t) != uploadedHash_) {
            std::fprintf(stderr, "texture upload: the texels changed, but their change count did not\n");
            std::abort();
        }
#endif
        return true;
    }
    if (texture_) glDeleteTextures(1, &texture_);
    sceneChanged();
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    pmTexImage2D(GL_TEXTURE_2D, 0, 3, t.width, t.height, 0, GL_RGB, GL_UNSIGNED_BYTE, t.rgb.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    countUpload();
    uploaded_ = now;
    uploaded_.reduction = reduction();
    // Another head's texels went up (the current head's, by pmTexImage2D):
    // the next upload is made.
    if (actual_head3 != kernel.head) uploaded_.texture = 0;
#ifndef NDEBUG
    uploadedHash_ = texelHash(t);
#endif
    return true;
}

void HeadRenderCore::setupScene(float shininess) {
    const vector3<double>& eye = core_.eye();
    glShadeModel(GL_SMOOTH);
    const float half[4] = {0.5f, 0.5f, 0.5f, 1.0f}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const float position[4] = {float(eye.x), float(eye.y), float(eye.z), 0.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, half);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, 1.0f);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, half);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 0);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, half);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, black);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_BLEND);
    const int mode = displayMode();
    if (mode == 6 || mode == 7) {
        glEnable(GL_TEXTURE_2D);
        if (texture_) glBindTexture(GL_TEXTURE_2D, texture_);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

bool HeadRenderCore::DrawScene(const offscreen::PixelRows& dst, const CWinBmp* photo) {
    if (!context_) {
        fillBackground(dst);
        return false;
    }
    offscreen::ContextGuard g(context_.get());
    if (!frameWanted(g)) return false;
    const int mode = displayMode();
    FrameInputs in = frameInputs(dst);
    in.mode = mode;
    const bool havePhoto = mode == 7 && scaled_.prepare(photo, core_.clientWidth(), core_.clientHeight());
    in.photo = havePhoto ? scaled_.generation() : 0;
    if (reuseFrame(in, dst)) {
        endFrame();
        return true;
    }
    // The camera opens as wide as its field of view says (50 degrees until
    // the camera search hands its own over): a fixed 50 would show the head
    // at another size than the photo behind it.
    if (!beginFrame(g)) return false;
    setupScene(12.8f);
    glPushMatrix();
    if (mode == 1 || mode == 2 || mode == 6 || mode == 7)
        glPolygonMode(GL_FRONT, GL_FILL);
    else if (mode == 3)
        glPolygonMode(GL_FRONT, GL_LINE);
    glCallList(wholeShown_);
    glCallList(2);
    glPopMatrix();
    glFinish();
    readBack(dst);
    if (havePhoto) refreshMerged(dst);
    keepFrame(in, dst);
    endFrame();
    return true;
}

void HeadRenderCore::refreshMerged(const offscreen::PixelRows& dst) {
    const int cw = core_.clientWidth(), ch = core_.clientHeight();
    const int x0 = scaled_.x0(), y0 = scaled_.y0(), sw = scaled_.width(), sh = scaled_.height();
    const int w = std::min({cw, dst.width, x0 + sw}), h = std::min({ch, dst.height, y0 + sh});
    // The clear colour, and only it, shows the photo where the photo lies.
    for (int n = std::max(0, y0); n < h; ++n) {
        uint32_t* out = dst.row(n);
        for (int i = std::max(0, x0); i < w; ++i)
            if (out[i] == 0xFFFFFFu) out[i] = scaled_.pixel(i - x0, n - y0);
    }
}

bool HeadRenderCore::MakeWinBmp(CWinBmp& bmp, CKernel3D& kernel, int stage) {
    const int bw = bmp.GetWidth(), bh = bmp.GetHeight();
    const GLViewport& v = core_.viewport();
    if (!context_ || bw <= 0 || bh <= 0 || bmp.GetBitsPerPixel() != 32 || v.width <= 0 || v.height <= 0)
        return false;
    std::vector<uint32_t> pixels(size_t(bw) * size_t(bh));
    {
        offscreen::ContextGuard g(context_.get());
        if (!g.ok()) return false;
        // Its own lighting stays in the context.
        sceneChanged();
        offscreen::Framebuffer target(*context_);
        if (!target.resize(bw, bh) || target.width() != bw || target.height() != bh) {
            context_->framebuffer().bind();
            return false;
        }
        glViewport(v.x, v.y, v.width, v.height);
        offscreenScale = double(bh) / v.height;
        matrix44<double> projection = core_.projection(), modelview = core_.modelview();
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(projection.m);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(modelview.m);
        glClearColor(1.0f, 1.0f, 1.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        setupScene(25.6f);
        const int mode = displayMode();
        if (mode == 1 || mode == 2)
            glPolygonMode(GL_FRONT, GL_FILL);
        else if (mode == 3)
            glPolygonMode(GL_FRONT, GL_LINE);
        glPushMatrix();
        glCallList(wholeShown_);
        glCallList(2);
        glPopMatrix();
        glFinish();
        offscreen::PixelRows rows{pixels.data(), bw, bh, bw};
        bool read = target.readInto(rows, bw, bh);
        context_->framebuffer().bind();
        if (!read) return false;
    }
    for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x) {
            uint32_t p = pixels[size_t(y) * size_t(bw) + size_t(x)];
            bmp.SetPixel(x, y, CPixel32(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), 0));
        }
    // The off-screen picture used the view's own context, whose lists it
    // left as they were: they are made again only when the stage asks for
    // another display mode than they were made in (the head has not
    // changed, so neither has its octree).
    const int mode = stage < 1001 ? svc::ViewEdit3D::kLit : svc::ViewEdit3D::kTextured;
    if (mode != listsMode_)
        buildDisplayLists(kernel, false, stage);
    else
        setDisplayMode(mode);
    return true;
}

bool HeadRenderCore::MakePhoto(const std::string& path, CKernel3D& kernel, int stage) {
    const int cw = core_.clientWidth(), ch = core_.clientHeight();
    if (cw <= 0 || ch <= 0 || path.empty()) return false;
    CWinBmp bmp;
    bmp.Create(cw - cw % 4 + 4, ch - ch % 4 + 4, 32, false);
    if (!MakeWinBmp(bmp, kernel, stage)) return false;
    // Written beside the target and renamed, so a failure leaves no partial file.
    const std::string target = brv::PosixPath(path);
    const std::string scratch = target + ".part";
    try {
        CBmpEncoder().MakeFileFromBmp(scratch.c_str(), &bmp);
    } catch (...) {
        std::remove(scratch.c_str());
        return false;
    }
    std::error_code e;
    std::filesystem::rename(scratch, target, e);
    if (e) {
        std::remove(scratch.c_str());
        return false;
    }
    return true;
}

vector3<double> HeadRenderCore::Vector2Dto3D(int dx, int dy, int freeToolDepth) const {
    using fnd::RotatePointAroundVector;
    const double z = core_.zoom();
    vector3<double> v(std::trunc(-dx / z / 8), std::trunc(dy / z / 8), freeToolDepth);
    const vector3<double> Y(0, 1, 0);
    v = RotatePointAroundVector(v, yaw, Y);
    vector3<double> X1 = RotatePointAroundVector(vector3<double>(1, 0, 0), yaw, Y);
    v = RotatePointAroundVector(v, pitch, X1);
    vector3<double> Z1 = RotatePointAroundVector(RotatePointAroundVector(vector3<double>(0, 0, 1), yaw, Y), pitch, X1);
    return RotatePointAroundVector(v, roll, Z1);
}


}  // namespace views
