#include "views/offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace offscreen {
namespace {

// Framebuffer-object entry points (OpenGL 3.0 / ARB_framebuffer_object),
// reached through EGL as GL 1.1's headers do not declare them.
constexpr GLenum kFramebuffer = 0x8D40, kRenderbuffer = 0x8D41, kColourAttachment0 = 0x8CE0,
                 kDepthStencilAttachment = 0x821A, kDepth24Stencil8 = 0x88F0, kFramebufferComplete = 0x8CD5,
                 kMaxRenderbufferSize = 0x84E8, kBGRA = 0x80E1, kRGBA8 = 0x8058;

struct FboCalls {
    void (*GenFramebuffers)(GLsizei, GLuint*) = nullptr;
    void (*DeleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
    void (*BindFramebuffer)(GLenum, GLuint) = nullptr;
    void (*GenRenderbuffers)(GLsizei, GLuint*) = nullptr;
    void (*DeleteRenderbuffers)(GLsizei, const GLuint*) = nullptr;
    void (*BindRenderbuffer)(GLenum, GLuint) = nullptr;
    void (*RenderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
    void (*FramebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
    GLenum (*CheckFramebufferStatus)(GLenum) = nullptr;

    bool complete() const {
        return GenFramebuffers && DeleteFramebuffers && BindFramebuffer && GenRenderbuffers && DeleteRenderbuffers &&
               BindRenderbuffer && RenderbufferStorage && FramebufferRenderbuffer && CheckFramebufferStatus;
    }
};

template <class F>
void load(F& f, const char* name) {
    f = reinterpret_cast<F>(eglGetProcAddress(name));
}

const FboCalls& fbo() {
    static const FboCalls calls = [] {
        FboCalls c;
        load(c.GenFramebuffers, "glGenFramebuffers");
        load(c.DeleteFramebuffers, "glDeleteFramebuffers");
        load(c.BindFramebuffer, "glBindFramebuffer");
        load(c.GenRenderbuffers, "glGenRenderbuffers");
        load(c.DeleteRenderbuffers, "glDeleteRenderbuffers");
        load(c.BindRenderbuffer, "glBindRenderbuffer");
        load(c.RenderbufferStorage, "glRenderbufferStorage");
        load(c.FramebufferRenderbuffer, "glFramebufferRenderbuffer");
        load(c.CheckFramebufferStatus, "glCheckFramebufferStatus");
        return c;
    }();
    return calls;
}

// The process's display: made on first use, kept to the end.
struct Display {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLint error = EGL_SUCCESS;
};

const Display& display() {
    static const Display d = [] {
        Display out;
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay) {
            out.error = EGL_BAD_DISPLAY;
            return out;
        }
        EGLDisplay dpy = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (dpy == EGL_NO_DISPLAY) {
            out.error = eglGetError();
            if (out.error == EGL_SUCCESS) out.error = EGL_BAD_DISPLAY;
            return out;
        }
        EGLint major = 0, minor = 0;
        if (!eglInitialize(dpy, &major, &minor) || !eglBindAPI(EGL_OPENGL_API)) {
            out.error = eglGetError();
            return out;
        }
        out.display = dpy;
        return out;
    }();
    return d;
}

class EglContext final : public Context {
public:
    EglContext(EGLDisplay d, EGLContext c) : display_(d), context_(c) {
        ContextGuard g(this);
        GLint dims[2] = {kDefaultMaxViewport, kDefaultMaxViewport};
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
        GLint rb = kDefaultMaxViewport;
        glGetIntegerv(kMaxRenderbufferSize, &rb);
        maxW_ = dims[0] > 0 ? dims[0] : kDefaultMaxViewport;
        maxH_ = dims[1] > 0 ? dims[1] : kDefaultMaxViewport;
        maxRb_ = rb > 0 ? rb : kDefaultMaxViewport;
    }
    ~EglContext() override {
        framebuffer_.reset();  // frees its objects under a guard of this context
        if (eglGetCurrentContext() == context_) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display_, context_);
    }
    bool makeCurrent() override {
        if (eglGetCurrentContext() == context_) return true;
        return eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) == EGL_TRUE;
    }
    bool isCurrent() const override { return eglGetCurrentContext() == context_; }
    int maxViewportWidth() const override { return maxW_; }
    int maxViewportHeight() const override { return maxH_; }
    int maxRenderbufferSize() const override { return maxRb_; }

private:
    EGLDisplay display_;
    EGLContext context_;
    int maxW_ = kDefaultMaxViewport, maxH_ = kDefaultMaxViewport, maxRb_ = kDefaultMaxViewport;
};

ContextFactory installedFactory = nullptr;
bool messageShown = false;

}  // namespace

std::string eglErrorName(int code) {
    switch (code) {
        case EGL_SUCCESS: return "EGL_SUCCESS";
        case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
        case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
        case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
        case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
        case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
        case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
        case EGL_BAD_CURRENT_SURFACE: return "EGL_BAD_CURRENT_SURFACE";
        case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
        case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
        case EGL_BAD_NATIVE_PIXMAP: return "EGL_BAD_NATIVE_PIXMAP";
        case EGL_BAD_NATIVE_WINDOW: return "EGL_BAD_NATIVE_WINDOW";
        case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
        case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
        case EGL_CONTEXT_LOST: return "EGL_CONTEXT_LOST";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "0x%04X", unsigned(code));
            return text;
        }
    }
}

std::unique_ptr<Context> eglContextFactory(std::string* error) {
    const Display& d = display();
    if (d.display == EGL_NO_DISPLAY) {
        if (error) *error = eglErrorName(d.error);
        return nullptr;
    }
    // No configuration is needed without a surface; Mesa offers that, others
    // take the first configuration that renders OpenGL.
    EGLConfig config = EGL_NO_CONFIG_KHR;
    const char* extensions = eglQueryString(d.display, EGL_EXTENSIONS);
    if (!extensions || (!std::strstr(extensions, "EGL_KHR_no_config_context") &&
                        !std::strstr(extensions, "EGL_MESA_configless_context"))) {
        const EGLint wanted[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0, EGL_NONE};
        EGLint count = 0;
        if (!eglChooseConfig(d.display, wanted, &config, 1, &count) || count < 1) {
            if (error) *error = eglErrorName(count < 1 ? EGL_BAD_CONFIG : eglGetError());
            return nullptr;
        }
    }
    eglBindAPI(EGL_OPENGL_API);
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                 EGL_NONE};
    EGLContext c = eglCreateContext(d.display, config, EGL_NO_CONTEXT, attributes);
    if (c == EGL_NO_CONTEXT) {
        if (error) *error = eglErrorName(eglGetError());
        return nullptr;
    }
    if (!fbo().complete()) {
        eglDestroyContext(d.display, c);
        if (error) *error = eglErrorName(EGL_BAD_ACCESS);
        return nullptr;
    }
    return std::make_unique<EglContext>(d.display, c);
}

ContextFactory setContextFactory(ContextFactory factory) {
    ContextFactory old = installedFactory;
    installedFactory = factory;
    return old;
}

std::unique_ptr<Context> createContext() {
    std::string error;
    std::unique_ptr<Context> c = (installedFactory ? installedFactory : eglContextFactory)(&error);
    if (!c && !messageShown) {
        messageShown = true;
        std::fprintf(stderr, "Off-screen OpenGL unavailable: %s\n", error.empty() ? "EGL_NOT_INITIALIZED" : error.c_str());
    }
    return c;
}

void resetForTests() {
    installedFactory = nullptr;
    messageShown = false;
}

ContextGuard::ContextGuard(Context* c) {
    if (!c) return;
    EGLContext previous = eglGetCurrentContext();
    if (c->isCurrent()) {
        ok_ = true;
        return;
    }
    // Another view's context is put back at the end; with none current this
    // one stays current, which spares the next guard the switch.
    if (previous != EGL_NO_CONTEXT) {
        previousDisplay_ = eglGetCurrentDisplay();
        previousContext_ = previous;
        restore_ = true;
    }
    ok_ = c->makeCurrent();
}

ContextGuard::~ContextGuard() {
    if (restore_)
        eglMakeCurrent(static_cast<EGLDisplay>(previousDisplay_), EGL_NO_SURFACE, EGL_NO_SURFACE,
                       static_cast<EGLContext>(previousContext_));
}

// ---- framebuffer ----

Framebuffer::~Framebuffer() {
    if (fbo_ == 0 && colour_ == 0 && depth_ == 0) return;
    ContextGuard g(&owner_);
    if (g.ok()) release();
}

void Framebuffer::release() {
    const FboCalls& f = fbo();
    if (fbo_) f.DeleteFramebuffers(1, &fbo_);
    if (colour_) f.DeleteRenderbuffers(1, &colour_);
    if (depth_) f.DeleteRenderbuffers(1, &depth_);
    fbo_ = colour_ = depth_ = 0;
    width_ = height_ = 0;
}

bool Framebuffer::resize(int w, int h) {
    if (w <= 0 || h <= 0) return false;
    int cap = owner_.maxRenderbufferSize();
    w = std::min(w, cap);
    h = std::min(h, cap);
    if (fbo_ && w == width_ && h == height_) {
        bind();
        return true;
    }
    const FboCalls& f = fbo();
    release();
    f.GenFramebuffers(1, &fbo_);
    f.GenRenderbuffers(1, &colour_);
    f.GenRenderbuffers(1, &depth_);
    f.BindRenderbuffer(kRenderbuffer, colour_);
    f.RenderbufferStorage(kRenderbuffer, kRGBA8, w, h);
    f.BindRenderbuffer(kRenderbuffer, depth_);
    f.RenderbufferStorage(kRenderbuffer, kDepth24Stencil8, w, h);
    f.BindRenderbuffer(kRenderbuffer, 0);
    f.BindFramebuffer(kFramebuffer, fbo_);
    f.FramebufferRenderbuffer(kFramebuffer, kColourAttachment0, kRenderbuffer, colour_);
    f.FramebufferRenderbuffer(kFramebuffer, kDepthStencilAttachment, kRenderbuffer, depth_);
    if (f.CheckFramebufferStatus(kFramebuffer) != kFramebufferComplete) {
        f.BindFramebuffer(kFramebuffer, 0);
        release();
        return false;
    }
    width_ = w;
    height_ = h;
    return true;
}

void Framebuffer::bind() const { fbo().BindFramebuffer(kFramebuffer, fbo_); }

bool Framebuffer::readInto(const PixelRows& dst, int w, int h, int* writtenW, int* writtenH) {
    if (writtenW) *writtenW = 0;
    if (writtenH) *writtenH = 0;
    if (!fbo_ || dst.empty() || w <= 0 || h <= 0) return false;
    // Only what the framebuffer holds, and only what the destination takes:
    // client row y (top down) is GL row h - 1 - y.
    int rw = std::min({w, width_, dst.width});
    int n = std::min(h, dst.height);
    int gy0 = h - n, gy1 = std::min(h, height_) - 1;
    if (rw <= 0 || gy1 < gy0) return false;
    int rh = gy1 - gy0 + 1;
    readBuffer_.resize(size_t(rw) * size_t(rh));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, gy0, rw, rh, kBGRA, GL_UNSIGNED_BYTE, readBuffer_.data());
    // BGRA bytes are the little-endian word 0xAARRGGBB.
    for (int k = 0; k < rh; ++k) {
        const uint32_t* src = readBuffer_.data() + size_t(k) * size_t(rw);
        uint32_t* out = dst.row(h - 1 - (gy0 + k));
        for (int x = 0; x < rw; ++x) out[x] = src[x] & 0x00FFFFFFu;
    }
    if (writtenW) *writtenW = rw;
    if (writtenH) *writtenH = rh;
    return true;
}

}  // namespace offscreen
