#pragma once
// OpenGL without a window: one EGL display for the process (Mesa's
// surfaceless platform), one compatibility-profile context per GL view that
// draws into a framebuffer object of its own, and the read-back of what was
// drawn into 32-bit pixel rows.
//
// Every GL call of a view runs under a ContextGuard of that view's context,
// the head kernel's display-list building (glx::systemGL) included.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/view_section.h"

namespace offscreen {

// Pixels 0x00RRGGBB, rows top down, `stride` pixels from one row to the next
// (may be negative): the layout of the framework's drawing surfaces.
struct PixelRows {
    uint32_t* top = nullptr;
    int width = 0, height = 0;
    std::ptrdiff_t stride = 0;

    uint32_t* row(int y) const { return top + stride * y; }
    bool empty() const { return !top || width <= 0 || height <= 0; }
};

// Without a context GL allows no larger viewport than the project file's
// sections take.
inline constexpr int kDefaultMaxViewport = views::kStoredMaxViewport;

class Context;

// A framebuffer object of the context that is current: RGBA8 colour and
// DEPTH24_STENCIL8, no multisampling. Made, bound and freed only while its
// context is current.
class Framebuffer {
public:
    explicit Framebuffer(Context& owner) : owner_(owner) {}
    ~Framebuffer();
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;

    // Storage for w x h (each capped at the largest renderbuffer), made anew
    // only when the size changed; false, buffers kept, for an empty size or
    // when GL refuses.
    bool resize(int w, int h);
    void bind() const;
    int width() const { return width_; }
    int height() const { return height_; }
    bool complete() const { return fbo_ != 0; }

    // Reads the lower left min(w, width) x min(h, height) pixels and copies
    // them, rows turned top down, into dst (at most dst's size). Returns the
    // rows and columns written through *written (may be null).
    bool readInto(const PixelRows& dst, int w, int h, int* writtenW = nullptr, int* writtenH = nullptr);

private:
    void release();

    Context& owner_;
    unsigned fbo_ = 0, colour_ = 0, depth_ = 0;
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> readBuffer_;  // reused from frame to frame
};

// One view's GL context with its framebuffer.
class Context {
public:
    virtual ~Context() = default;

    // Makes this context current (or none, for null) with no surface; false
    // when EGL refuses.
    virtual bool makeCurrent() = 0;
    virtual bool isCurrent() const = 0;
    // GL_MAX_VIEWPORT_DIMS and GL_MAX_RENDERBUFFER_SIZE, read once.
    virtual int maxViewportWidth() const = 0;
    virtual int maxViewportHeight() const = 0;
    virtual int maxRenderbufferSize() const = 0;

    // The view's own framebuffer.
    Framebuffer& framebuffer() { return *framebuffer_; }

    // No two contexts of the process share it (display lists live in one).
    const uint64_t serial;

protected:
    Context() : serial(nextSerial()), framebuffer_(std::make_unique<Framebuffer>(*this)) {}
    // Derived destructors free the framebuffer while their context is current.
    std::unique_ptr<Framebuffer> framebuffer_;

private:
    static uint64_t nextSerial() {
        static uint64_t last = 0;
        return ++last;
    }
};

// Makes a view's context: the context, or null with *error the EGL error name.
using ContextFactory = std::unique_ptr<Context> (*)(std::string* error);

// The real one: a context on the process's display, made on first use.
std::unique_ptr<Context> eglContextFactory(std::string* error);
// Installs a factory (null: the real one again); returns the previous.
ContextFactory setContextFactory(ContextFactory factory);

// A context through the installed factory; on failure one line "Off-screen
// OpenGL unavailable: <EGL error name>" goes to stderr (once in the process)
// and the result is null.
std::unique_ptr<Context> createContext();

// The EGL name of an error code ("EGL_BAD_ALLOC", ...).
std::string eglErrorName(int code);

// For tests: the factory back to the real one and the message armed again.
void resetForTests();

// Makes a context current for one scope and puts back whatever was current
// before. A null context makes nothing current; ok() tells whether GL may
// be called.
class ContextGuard {
public:
    explicit ContextGuard(Context* c);
    ~ContextGuard();
    ContextGuard(const ContextGuard&) = delete;
    ContextGuard& operator=(const ContextGuard&) = delete;
    bool ok() const { return ok_; }

private:
    void* previousDisplay_ = nullptr;
    void* previousContext_ = nullptr;
    bool restore_ = false;
    bool ok_ = false;
};

}  // namespace offscreen
