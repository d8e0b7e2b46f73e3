#pragma once
// The few OpenGL 1.1 calls that the head kernel makes to compile display
// lists and upload textures, behind one interface: the program uses the one
// that calls the GL library, tests install a recording double.

#include <cstdint>

namespace glx {

// The GL enumerants used here (values of OpenGL 1.1).
enum : unsigned {
    kTriangles = 0x0004,
    kCompile = 0x1300,
    kFront = 0x0404,
    kAmbient = 0x1200,
    kDiffuse = 0x1201,
    kSpecular = 0x1202,
    kShininess = 0x1601,
    kTexture2D = 0x0DE1,
    kRGB = 0x1907,
    kUnsignedByte = 0x1401,
};

class GL {
public:
    virtual ~GL() = default;
    virtual void DeleteLists(unsigned list, int range) = 0;
    virtual void NewList(unsigned list, unsigned mode) = 0;
    virtual void EndList() = 0;
    virtual void Begin(unsigned mode) = 0;
    virtual void End() = 0;
    virtual void Materialfv(unsigned face, unsigned pname, const float* params) = 0;
    virtual void Materialf(unsigned face, unsigned pname, float param) = 0;
    virtual void Color3f(float r, float g, float b) = 0;
    virtual void TexCoord2d(double u, double v) = 0;
    virtual void Normal3d(double x, double y, double z) = 0;
    virtual void Vertex3d(double x, double y, double z) = 0;
    virtual void TexImage2D(unsigned target, long level, long internalFormat, long width, long height, long border,
                            unsigned format, unsigned type, const void* pixels) = 0;
};

// The GL library itself; the caller must have made a context current.
GL& systemGL();
// The interface in use: the installed one, else the GL library's.
GL& current();
// Installs gl (null: back to the GL library); returns the previous one.
GL* install(GL* gl);

}  // namespace glx
