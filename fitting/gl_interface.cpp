#include "fitting/gl_interface.h"

#include <GL/gl.h>

namespace glx {
namespace {

class SystemGL final : public GL {
public:
    void DeleteLists(unsigned list, int range) override { glDeleteLists(list, range); }
    void NewList(unsigned list, unsigned mode) override { glNewList(list, mode); }
    void EndList() override { glEndList(); }
    void Begin(unsigned mode) override { glBegin(mode); }
    void End() override { glEnd(); }
    void Materialfv(unsigned face, unsigned pname, const float* params) override { glMaterialfv(face, pname, params); }
    void Materialf(unsigned face, unsigned pname, float param) override { glMaterialf(face, pname, param); }
    void Color3f(float r, float g, float b) override { glColor3f(r, g, b); }
    void TexCoord2d(double u, double v) override { glTexCoord2d(u, v); }
    void Normal3d(double x, double y, double z) override { glNormal3d(x, y, z); }
    void Vertex3d(double x, double y, double z) override { glVertex3d(x, y, z); }
    void TexImage2D(unsigned target, long level, long internalFormat, long width, long height, long border,
                    unsigned format, unsigned type, const void* pixels) override {
        glTexImage2D(target, GLint(level), GLint(internalFormat), GLsizei(width), GLsizei(height), GLint(border),
                     format, type, pixels);
    }
};

GL* installed = nullptr;

}  // namespace

static_assert(kTriangles == GL_TRIANGLES && kCompile == GL_COMPILE && kFront == GL_FRONT);
static_assert(kAmbient == GL_AMBIENT && kDiffuse == GL_DIFFUSE && kSpecular == GL_SPECULAR);
static_assert(kShininess == GL_SHININESS && kTexture2D == GL_TEXTURE_2D && kRGB == GL_RGB);
static_assert(kUnsignedByte == GL_UNSIGNED_BYTE);

GL& systemGL() {
    static SystemGL gl;
    return gl;
}

GL& current() { return installed ? *installed : systemGL(); }

GL* install(GL* gl) {
    GL* old = installed;
    installed = gl;
    return old;
}

}  // namespace glx
