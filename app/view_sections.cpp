#include "app/view_sections.h"

#include <string>

namespace files {

void FrameSection::write(fnd::fileTB& f) const { f << width << height; }

void FrameSection::read(fnd::fileTB& f) { f >> width >> height; }

void ViewSection::write(fnd::fileTB& f) const {
    f << eye[0] << eye[1] << eye[2];
    f.tab();
    f << centre[0] << centre[1] << centre[2];
    f.newLine();
    f << up[0] << up[1] << up[2] << fieldOfView << pitch << yaw;
    f.newLine();
    f << viewport[0] << viewport[1] << viewport[2] << viewport[3] << zoom;
    f.tab();
    f << reserved[0] << reserved[1] << reserved[2] << reserved[3];
    f.newLine();
    f << pan[0] << pan[1];
    f << offset[0] << offset[1];
}

void ViewSection::read(fnd::fileTB& f) {
    f >> eye[0] >> eye[1] >> eye[2] >> centre[0] >> centre[1] >> centre[2];
    f >> up[0] >> up[1] >> up[2] >> fieldOfView >> pitch >> yaw;
    f >> viewport[0] >> viewport[1] >> viewport[2] >> viewport[3] >> zoom;
    // The reserved values go through the int reader, as the views do.
    for (long& r : reserved) {
        int v = 0;
        f >> v;
        r = v;
    }
    f >> pan[0] >> pan[1] >> offset[0] >> offset[1];
}

void OverlaySection::write(fnd::fileTB& f) const {
    f.newLine();
    f << principalOffset[0] << principalOffset[1];
    f.newLine();
    f << fittedViewport[0] << fittedViewport[1] << fittedViewport[2] << fittedViewport[3];
    f.newLine();
    f << photoToGL[0] << photoToGL[1] << photoToGL[2] << photoToGL[3];
    f.newLine();
}

void OverlaySection::read(fnd::fileTB& f) {
    f >> principalOffset[0] >> principalOffset[1];
    f >> fittedViewport[0] >> fittedViewport[1] >> fittedViewport[2] >> fittedViewport[3];
    f >> photoToGL[0] >> photoToGL[1] >> photoToGL[2] >> photoToGL[3];
}

namespace {

double single(double v) { return static_cast<double>(static_cast<float>(v)); }

}  // namespace

ViewSection Stored(const ViewSection& v) {
    ViewSection o = v;
    for (double* d : {o.eye, o.centre, o.up})
        for (int k = 0; k < 3; ++k) d[k] = single(d[k]);
    for (double* d : {&o.fieldOfView, &o.pitch, &o.yaw, &o.zoom, &o.offset[0], &o.offset[1]}) *d = single(*d);
    for (long& r : o.reserved) r = static_cast<int>(r);
    return o;
}

OverlaySection Stored(const OverlaySection& v) {
    OverlaySection o = v;
    for (double& d : o.principalOffset) d = single(d);
    for (double& d : o.photoToGL) d = single(d);
    return o;
}

}  // namespace files
