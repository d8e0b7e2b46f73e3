#include "fitting/projection.h"

#include <algorithm>
#include <cmath>

#include "foundation/numeric.h"


lintraf11 bmp2cl_fitYcentX(double w, double h, double cw, double ch) { return fnd::lintraf11FitCentred(w, h, cw, ch); }

lintraf11 bmp2cl_fitXcentY(double w, double h, double cw, double ch) {
    return fnd::lintraf11FitCentredSwapped(w, h, cw, ch);
}

lintraf11 cl2gl(double h) { return fnd::lintraf11Mirror(h); }

lintraf11 gl2gl(const GLViewport& r, double x2, double width2, double y2, double height2) {
    return {lintraf1::originExtent(r.x, r.width, x2, width2), lintraf1::originExtent(r.y, r.height, y2, height2)};
}

htraf3<double> htrafOfLintraf(const lintraf11& l) {
    return htraf3<double>(matrix44<double>(l.x.a, 0, 0, 0, 0, l.y.a, 0, 0, 0, 0, 1, 0, l.x.b, l.y.b, 0, 1));
}

lintraf11 photoViewCl2bmp(double zoom, double offsetX, double offsetY) {
    return lintraf11(zoom, std::trunc(offsetX), std::trunc(offsetY)).Inv();
}

void CalculateEyeFromAngles(const vector3<double>& baseEye, const vector3<double>& baseCenter,
                            const vector3<double>& baseUp, double pitch, double yaw, double roll,
                            vector3<double>* eye, vector3<double>* center, vector3<double>* up) {
    using fnd::RotatePointAroundVector;
    const vector3<double> Y(0, 1, 0);
    vector3<double> X1 = RotatePointAroundVector(vector3<double>(1, 0, 0), yaw, Y);
    vector3<double> Z1 = RotatePointAroundVector(RotatePointAroundVector(vector3<double>(0, 0, 1), yaw, Y), pitch, X1);
    auto turn = [&](const vector3<double>& v) {
        return RotatePointAroundVector(RotatePointAroundVector(RotatePointAroundVector(v, yaw, Y), pitch, X1), roll,
                                       Z1);
    };
    vector3<double> e = turn(baseEye);
    *center = turn(baseCenter);
    *up = turn(baseUp);
    *eye = e + *center;
}

namespace {

// In place, as GLU normalises: a zero vector stays as it is.
void normalize(vector3<double>& v) {
    double r = std::sqrt(v * v);
    if (r == 0.0) return;
    v /= r;
}

}  // namespace

matrix44<double> lookAtMatrix(const vector3<double>& eye, const vector3<double>& center, const vector3<double>& up) {
    vector3<double> f = center - eye;
    normalize(f);
    vector3<double> side = f % up;
    normalize(side);
    vector3<double> u = side % f;
    // Rotation rows are the columns of GL's matrix; the translation by -eye
    // comes first.
    vector3<double> t(-(eye * side), -(eye * u), eye * f);
    return matrix44<double>(side.x, u.x, -f.x, 0, side.y, u.y, -f.y, 0, side.z, u.z, -f.z, 0, t.x, t.y, t.z, 1);
}

matrix44<double> perspectiveMatrix(double fovy, double aspect, double zNear, double zFar) {
    double radians = fovy / 2 * M_PI / 180;
    double deltaZ = zFar - zNear;
    double sine = std::sin(radians);
    // GLU leaves the matrix alone for a degenerate frustum.
    if (deltaZ == 0 || sine == 0 || aspect == 0) return I44;
    double cotangent = std::cos(radians) / sine;
    return matrix44<double>(cotangent / aspect, 0, 0, 0, 0, cotangent, 0, 0, 0, 0, -(zFar + zNear) / deltaZ, -1, 0,
                            0, -2 * zNear * zFar / deltaZ, 0);
}

ProjectionCore::ProjectionCore() = default;

void ProjectionCore::setCamera(const vector3<double>& eye, const vector3<double>& center, const vector3<double>& up,
                               double fovy) {
    eye_ = eye;
    center_ = center;
    up_ = up;
    fovy_ = fovy;
    dirty_ = true;
}

void ProjectionCore::setClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    dirty_ = true;
}

void ProjectionCore::setViewport(const GLViewport& v) {
    viewport_ = v;
    exactX_ = v.x;
    exactY_ = v.y;
    exactWidth_ = v.width;
    exactHeight_ = v.height;
    dirty_ = true;
}

namespace {

// Truncated, but a value that is a whole number but for the last bits of
// its arithmetic is that number: coming back to a size or zoom gives back
// the same pixels.
int cutToPixel(double v) {
    const double r = std::round(v);
    return std::fabs(v - r) < 1e-6 ? int(r) : int(v);
}

}  // namespace

void ProjectionCore::cutViewport() {
    viewport_ = {cutToPixel(exactX_), cutToPixel(exactY_), cutToPixel(exactWidth_), cutToPixel(exactHeight_)};
    dirty_ = true;
}

double ProjectionCore::nearPlane() const {
    double d = (center_ - eye_).length();
    return d - 500 < 10 ? 10 : d - 500;
}

double ProjectionCore::farPlane() const { return (center_ - eye_).length() + 500; }

matrix44<double> ProjectionCore::modelview() const { return lookAtMatrix(eye_, center_, up_); }

matrix44<double> ProjectionCore::cutAdjustment() const {
    const GLViewport& v = viewport_;
    if (v.width <= 0 || v.height <= 0 || !(exactWidth_ > 0) || !(exactHeight_ > 0)) return I44;
    const double sx = exactWidth_ / v.width, sy = exactHeight_ / v.height;
    const double tx = (2 * (exactX_ - v.x) + exactWidth_) / v.width - 1;
    const double ty = (2 * (exactY_ - v.y) + exactHeight_) / v.height - 1;
    return matrix44<double>(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, 1, 0, tx, ty, 0, 1);
}

matrix44<double> ProjectionCore::projection() const {
    double aspect = exactHeight_ > 0 && exactWidth_ > 0 ? exactWidth_ / exactHeight_
                    : viewport_.height == 0                 ? 1.0
                                                            : double(viewport_.width) / viewport_.height;
    return perspectiveMatrix(fovy_, aspect, nearPlane(), farPlane()) * cutAdjustment();
}

void ProjectionCore::capture() const {
    if (!dirty_) return;
    modelview_ = modelview();
    projection_ = projection();
    combined_ = modelview_ * projection_;
    combinedInv_ = combined_.Inv();
    dirty_ = false;
}

htraf3<double> ProjectionCore::OpenGL2htraf() const {
    capture();
    const GLViewport& v = viewport_;
    matrix44<double> window(v.width / 2.0, 0, 0, 0, 0, -v.height / 2.0, 0, 0, 0, 0, 0.5, 0, v.x + v.width / 2.0,
                            clientHeight_ - v.y - v.height / 2.0, 0.5, 1);
    return htraf3<double>(combined_ * window);
}

bool ProjectionCore::project(const vector3<double>& p, vector3<double>* win) const {
    capture();
    // Model view first, then projection, as GLU does.
    hvector3<double> e = hvector3<double>(p) * modelview_;
    hvector3<double> c = e * projection_;
    if (c.w == 0.0) return false;
    double x = c.x / c.w * 0.5 + 0.5, y = c.y / c.w * 0.5 + 0.5, z = c.z / c.w * 0.5 + 0.5;
    *win = vector3<double>(x * viewport_.width + viewport_.x, y * viewport_.height + viewport_.y, z);
    return true;
}

bool ProjectionCore::unproject(const vector3<double>& win, vector3<double>* obj) const {
    capture();
    if (viewport_.width == 0 || viewport_.height == 0) return false;
    if (combinedInv_ == O44) return false;
    hvector3<double> n((win.x - viewport_.x) / viewport_.width * 2 - 1, (win.y - viewport_.y) / viewport_.height * 2 - 1,
                       win.z * 2 - 1, 1);
    hvector3<double> o = n * combinedInv_;
    if (o.w == 0.0) return false;
    *obj = vector3<double>(o.x / o.w, o.y / o.w, o.z / o.w);
    return true;
}

bool ProjectionCore::FitToPhoto(long w, long h, double mx, double my) {
    if (!(w > 0 && w < 1000000 && h > 0 && h < 1000000)) return false;
    double cw = clientWidth_ + 1, ch = clientHeight_ + 1;  // inclusive pixel counts
    double W = w + 2 * std::fabs(mx), H = h + 2 * std::fabs(my);
    double s = std::min(cw / w, ch / h);
    double ox = (cw - w * s) / 2, oy = (ch - h * s) / 2;
    double fx = ox - (std::fabs(mx) - mx) * s, fy = oy - (std::fabs(my) - my) * s;
    // An offset too large for a viewport (a damaged project file) is refused
    // rather than overflowing it.
    const double limit = 1e9;
    if (!(s * W < limit && s * H < limit && std::fabs(fx) < limit && std::fabs(fy) < limit)) return false;
    exactWidth_ = s * W;
    exactHeight_ = s * H;
    exactX_ = fx;
    exactY_ = fy;
    cutViewport();
    const GLViewport& v = viewport_;
    pictureOffsetX_ = (cw - ch * w / h) / 2;
    pictureOffsetY_ = 0;
    // The zoom is the viewport height over the client height whatever the
    // client's shape: Zoom and OnSize read it so.
    zoom_ = v.height / ch;
    fitted_ = v;
    photoWidth_ = w;
    photoHeight_ = h;
    fittedExact_[0] = exactX_;
    fittedExact_[1] = exactY_;
    fittedExact_[2] = exactWidth_;
    fittedExact_[3] = exactHeight_;
    principalX_ = mx;
    principalY_ = my;
    photoToClient_ = h / ch >= w / cw ? bmp2cl_fitYcentX(w, h, cw, ch) : bmp2cl_fitXcentY(w, h, cw, ch);
    clientToPhoto_ = photoToClient_.Inv();
    photoToGL_ = photoToClient_ * cl2gl(ch - 1);
    dirty_ = true;
    return true;
}

void ProjectionCore::setLinTrafos() {
    if (!(fittedExact_[2] > 0) || !(fittedExact_[3] > 0) || clientHeight_ == 0) return;  // nothing fitted yet
    if (!(exactWidth_ > 0) || !(exactHeight_ > 0)) return;
    const double* f = fittedExact_;
    lintraf11 t(lintraf1::originExtent(f[0], f[2], exactX_, exactWidth_),
                lintraf1::originExtent(f[1], f[3], exactY_, exactHeight_));
    photoToClient_ = photoToGL_ * t * cl2gl(clientHeight_).Inv();
    clientToPhoto_ = photoToClient_.Inv();
}

bool ProjectionCore::Zoom(const ZoomRect& rect, int maxW, int maxH, bool keepClientAspect) {
    const double cw = clientWidth_, ch = clientHeight_;
    ZoomRect r = rect;
    double rw = r.right - r.left, rh = r.bottom - r.top;
    // A viewport fitted to an empty client has no zoom to scale.
    if (rw == 0 || rh == 0 || cw <= 0 || ch <= 0 || !(zoom_ > 0) || !std::isfinite(zoom_)) return false;
    if (!std::isfinite(rw) || !std::isfinite(rh)) return false;
    // The client's aspect, about the rectangle's centre.
    if (rw / rh != cw / ch) {
        if (rw > rh) {
            double n = rw * ch / cw;
            r.bottom += (n - rh) / 2;
            rh = n;
        } else {
            double n = rh * cw / ch;
            r.left -= (n - rw) / 2;
            rw = n;
        }
    }
    // Nothing set yet (a reset view): the viewport the zoom gives the client.
    if (!(exactHeight_ > 0) || !(exactWidth_ > 0)) {
        exactWidth_ = zoom_ * cw;
        exactHeight_ = zoom_ * ch;
    }
    // The viewport grows by ch / rh; it keeps its own aspect (the photo's)
    // unless it takes the client's. A rectangle so small that the viewport
    // would pass the largest GL allows grows about its centre until it fits.
    auto grownWidth = [&](double s) { return keepClientAspect ? exactHeight_ * s * cw / ch : exactWidth_ * s; };
    double over = std::max(grownWidth(ch / rh) / maxW, exactHeight_ * (ch / rh) / maxH);
    if (over > 1) {
        double grow = over * (1 + 1e-9);
        double centreX = r.left + rw / 2, centreBottom = r.bottom - rh / 2;
        rw *= grow;
        rh *= grow;
        r.left = centreX - rw / 2;
        r.bottom = centreBottom + rh / 2;
    }
    const double s = ch / rh;
    exactX_ = s * (exactX_ - r.left);
    exactY_ = s * (exactY_ - (ch - r.bottom));
    exactWidth_ = grownWidth(s);
    exactHeight_ *= s;
    zoom_ *= s;
    cutViewport();
    setLinTrafos();
    return true;
}

bool ProjectionCore::Zoom(double f, int maxW, int maxH, bool keepClientAspect) {
    const double cw = clientWidth_, ch = clientHeight_, z = zoom_;
    if (!(z > 0) || !std::isfinite(z) || !std::isfinite(f)) return false;
    const double ex = cw * (z - f) / z / 2, ey = ch * (z - f) / z / 2;
    return Zoom(ZoomRect(-ex, -ey, cw + ex, ch + ey), maxW, maxH, keepClientAspect);
}

void ProjectionCore::OnSize(int cx, int cy, int maxW, int maxH, bool keepClientAspect) {
    // An empty client (a hidden pane) scales nothing and stays no reference:
    // the pane shown again keeps its zoom and pan.
    if (cx <= 0 || cy <= 0) {
        setClientSize(std::max(cx, 0), std::max(cy, 0));
        return;
    }
    // The viewport follows the height change about the client's middle; the
    // first size message has no earlier size to scale from. Once a photo is
    // fitted it follows the photo's fit instead, which the views draw the
    // photo with whatever the zoom: a photo that fills the client's width
    // scales with the width, and the head stays on it.
    if (lastWindowHeight_ > 0) {
        const double w0 = lastWindowWidth_, h0 = lastWindowHeight_;
        double k = cy / h0;
        if (photoWidth_ > 0 && photoHeight_ > 0) {
            auto fit = [&](double w, double h) { return std::min((w + 1) / photoWidth_, (h + 1) / photoHeight_); };
            k = fit(cx, cy) / fit(w0, h0);
        }
        // About the middle, as the wheel zooms: the two commute.
        exactX_ = (exactX_ - w0 / 2) * k + cx / 2.0;
        exactY_ = (exactY_ - h0 / 2) * k + cy / 2.0;
        exactWidth_ *= k;
        exactHeight_ *= k;
    }
    setClientSize(cx, cy);
    Zoom(zoom_, maxW, maxH, keepClientAspect);
    lastWindowWidth_ = cx;
    lastWindowHeight_ = cy;
}

void ProjectionCore::restoreFit(double mx, double my, const GLViewport& fitted, const lintraf11& photoToGL) {
    principalX_ = mx;
    principalY_ = my;
    // The fit this view made keeps what its cut left off.
    if (!(fitted == fitted_)) {
        fittedExact_[0] = fitted.x;
        fittedExact_[1] = fitted.y;
        fittedExact_[2] = fitted.width;
        fittedExact_[3] = fitted.height;
    }
    fitted_ = fitted;
    photoToGL_ = photoToGL;
}

void ProjectionCore::restoreView(const GLViewport& v, float originX, float originY, double zoom, double offsetX,
                                 double offsetY) {
    viewport_ = v;
    exactX_ = originX;
    exactY_ = originY;
    exactWidth_ = v.width;
    exactHeight_ = v.height;
    zoom_ = zoom;
    pictureOffsetX_ = offsetX;
    pictureOffsetY_ = offsetY;
    dirty_ = true;
}

bool ProjectionCore::visibleAt(const vector3<double>& p, const vector2<double>& client, int mode,
                               const vector3<double>* roughNormal) const {
    if (mode == VisibilityAlways) return true;
    vector3<double> n;
    if (mode == VisibilityNormal && roughNormal) {
        n = *roughNormal;
    } else {
        SurfaceHit hit;
        if (!Coord2Dto3D(client, &hit)) return true;
        n = p - hit.point;
    }
    vector3<double> nearP, farP;
    double wy = clientHeight_ - client.y;
    if (!unproject(vector3<double>(client.x, wy, 0), &nearP) || !unproject(vector3<double>(client.x, wy, 1), &farP))
        return true;
    return (farP - nearP) * n < tolerance_;
}

bool ProjectionCore::Coord3Dto2D(ProjectedPoint& cache, const vector3<double>& position, int projCounter,
                                 VisibilityMode mode, const vector3<double>* roughNormal) const {
    if (projCounter == -1) return false;
    if (cache.stamp == projCounter) return cache.visible != 0;
    int m = mode == VisibilityDefault ? (defaultMode_ == 0 ? 2 : defaultMode_) : mode;
    vector3<double> win;
    if (!project(position, &win)) return false;
    cache.window = vector2<double>(win.x, clientHeight_ - win.y);
    cache.stamp = projCounter;
    cache.visible = visibleAt(position, cache.window, m, roughNormal) ? 1 : 0;
    return cache.visible != 0;
}

bool ProjectionCore::Coord2Dto3D(const vector2<double>& client, SurfaceHit* hit) const {
    if (!rayCast_) return false;
    vector3<double> nearP, farP;
    double wy = clientHeight_ - client.y;
    if (!unproject(vector3<double>(client.x, wy, 0), &nearP) || !unproject(vector3<double>(client.x, wy, 1), &farP))
        return false;
    return rayCast_(nearP, farP - nearP, hit);
}

bool ProjectionCore::Coord3Dto2DBMP(const vector3<double>& p, vector2<double>& out) const {
    vector3<double> win;
    if (!project(p, &win)) return false;
    vector2<double> client(win.x, clientHeight_ - win.y);
    out = clientToPhoto_.traf(client);
    return visibleAt(p, client, VisibilityRay, nullptr);
}
