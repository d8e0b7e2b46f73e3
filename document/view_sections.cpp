#include "document/view_sections.h"

namespace files {

void FrameSection::write(fnd::fileTB& f) const { f << width << height; }

void FrameSection::read(fnd::fileTB& f) { f >> width >> height; }

namespace {

double single(double v) { return static_cast<double>(static_cast<float>(v)); }

void single(vector3<double>& v) {
    v.x = single(v.x);
    v.y = single(v.y);
    v.z = single(v.z);
}

}  // namespace

ViewSection Stored(const ViewSection& v) {
    ViewSection o = v;
    single(o.eye);
    single(o.center);
    single(o.up);
    for (double* d : {&o.fieldOfView, &o.pitch, &o.yaw, &o.zoom, &o.offsetX, &o.offsetY}) *d = single(*d);
    return o;
}

OverlaySection Stored(const OverlaySection& v) {
    OverlaySection o = v;
    o.principalX = single(o.principalX);
    o.principalY = single(o.principalY);
    for (double* d : {&o.photoToGL.x.a, &o.photoToGL.x.b, &o.photoToGL.y.a, &o.photoToGL.y.b}) *d = single(*d);
    return o;
}

}  // namespace files
