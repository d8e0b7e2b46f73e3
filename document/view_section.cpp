#include "document/view_section.h"

#include <cmath>

namespace views {
namespace {

constexpr double kMaxOffset = 1e7;
constexpr double kMaxZoom = 1e4;

bool finite(double v) { return std::isfinite(v); }
bool finite(const vector3<double>& v) { return finite(v.x) && finite(v.y) && finite(v.z); }
bool offset(double v) { return finite(v) && std::fabs(v) <= kMaxOffset; }

bool viewportFits(const GLViewport& v, int maxW, int maxH) {
    return v.width >= 0 && v.height >= 0 && v.width <= maxW && v.height <= maxH && offset(v.x) && offset(v.y);
}

bool fail(fnd::fileTB& f) {
    f.fail();
    return false;
}

}  // namespace

void ViewSection::write(fnd::fileTB& f) const {
    f << eye.x << eye.y << eye.z;
    f.tab();
    f << center.x << center.y << center.z;
    f.newLine();
    f << up.x << up.y << up.z << fieldOfView << pitch << yaw;
    f.newLine();
    f << viewport.x << viewport.y << viewport.width << viewport.height << zoom;
    f.tab();
    // The reserved values go out second, fourth, first, third.
    const long r[4] = {reserved[1], reserved[3], reserved[0], reserved[2]};
    f << r[0] << r[1] << r[2] << r[3];
    f.newLine();
    f << panX << panY;
    f << offsetX << offsetY;
}

bool ViewSection::read(fnd::fileTB& f, int maxViewportWidth, int maxViewportHeight) {
    ViewSection s;
    f >> s.eye.x >> s.eye.y >> s.eye.z >> s.center.x >> s.center.y >> s.center.z;
    f >> s.up.x >> s.up.y >> s.up.z >> s.fieldOfView >> s.pitch >> s.yaw;
    f >> s.viewport.x >> s.viewport.y >> s.viewport.width >> s.viewport.height >> s.zoom;
    int r[4] = {0, 0, 0, 0};
    f >> r[0] >> r[1] >> r[2] >> r[3];
    s.reserved[1] = r[0];
    s.reserved[3] = r[1];
    s.reserved[0] = r[2];
    s.reserved[2] = r[3];
    f >> s.panX >> s.panY >> s.offsetX >> s.offsetY;
    if (!f.good()) return false;
    if (!finite(s.eye) || !finite(s.center) || !finite(s.up) || !finite(s.fieldOfView) || !finite(s.pitch) ||
        !finite(s.yaw))
        return fail(f);
    if (!(s.zoom > 0 && s.zoom <= kMaxZoom)) return fail(f);
    if (!viewportFits(s.viewport, maxViewportWidth, maxViewportHeight)) return fail(f);
    if (!offset(s.panX) || !offset(s.panY) || !offset(s.offsetX) || !offset(s.offsetY)) return fail(f);
    *this = s;
    return true;
}

void OverlaySection::write(fnd::fileTB& f) const {
    f.newLine();
    f << principalX << principalY;
    f.newLine();
    f << fitted.x << fitted.y << fitted.width << fitted.height;
    f.newLine();
    f << photoToGL.x.a << photoToGL.x.b << photoToGL.y.a << photoToGL.y.b;
    f.newLine();
}

bool OverlaySection::read(fnd::fileTB& f, int maxViewportWidth, int maxViewportHeight) {
    OverlaySection s;
    f >> s.principalX >> s.principalY;
    f >> s.fitted.x >> s.fitted.y >> s.fitted.width >> s.fitted.height;
    f >> s.photoToGL.x.a >> s.photoToGL.x.b >> s.photoToGL.y.a >> s.photoToGL.y.b;
    if (!f.good()) return false;
    if (!offset(s.principalX) || !offset(s.principalY)) return fail(f);
    if (!viewportFits(s.fitted, maxViewportWidth, maxViewportHeight)) return fail(f);
    // The map is inverted for the client-to-photo map: no zero factor.
    const lintraf11& m = s.photoToGL;
    if (!finite(m.x.a) || !finite(m.y.a) || m.x.a == 0 || m.y.a == 0 || !offset(m.x.b) || !offset(m.y.b))
        return fail(f);
    *this = s;
    return true;
}

}  // namespace views
