#pragma once
// A small stand-in for the template head's feature points: a few dozen points
// of a head-like shape (face towards +z, y up, about 190 units tall), mirror
// pairs across x = 0 and weights like the feature tables'. Used by the camera
// search tests and benchmark until the template head can be read.

#include <cmath>
#include <random>
#include <vector>

#include "fitting/camera_search.h"

namespace synthetic {

struct HeadPoint {
    vector3<double> p;
    double weight;
    bool onSymmetryPlane;
};

inline std::vector<HeadPoint> headPoints() {
    struct Half {
        double x, y, z, w;
    };
    // One side (x > 0) of each mirror pair, then the points on the plane.
    const Half pairs[] = {
        {45, 35, 55, 3},   {15, 35, 62, 3},  {30, 36, 63, 2},  // eye corners, pupil
        {50, 55, 56, 1},   {15, 56, 68, 1},                    // eyebrow ends
        {15, -8, 72, 2},                                       // nostril
        {28, -35, 62, 2},                                      // mouth corner
        {55, -50, 20, 1},  {55, 0, 45, 1},                     // jaw, cheek
        {75, 30, -10, 1},  {72, -10, -15, 1},                  // ear top, lobe
        {60, 62, 30, 1},                                       // temple
    };
    const Half middle[] = {
        {0, 0, 95, 3},   {0, -12, 80, 2}, {0, -28, 75, 2}, {0, -42, 72, 1},
        {0, -75, 65, 2}, {0, 80, 70, 1},  {0, 110, 0, 1},  {0, 45, 70, 1},
    };
    std::vector<HeadPoint> pts;
    for (const Half& h : pairs) {
        pts.push_back({{h.x, h.y, h.z}, h.w, false});
        pts.push_back({{-h.x, h.y, h.z}, h.w, false});
    }
    for (const Half& h : middle) pts.push_back({{h.x, h.y, h.z}, h.w, true});
    return pts;
}

// A photo camera: eye, unit axes (right, up, forward), and the image map
// x = scale u + tx, y = scale v + ty in centred photo coordinates (y up).
struct PhotoCamera {
    vector3<double> eye, right, up, forward;
    double scale, tx, ty;
};

// Centred image coordinates of p; false when p is not in front of the eye.
inline bool imageOf(const PhotoCamera& c, const vector3<double>& p, vector2<double>* out) {
    vector3<double> d = p - c.eye;
    double depth = d * c.forward;
    if (depth < 1e-8) return false;
    *out = {c.scale * (d * c.right) / depth + c.tx, c.scale * (d * c.up) / depth + c.ty};
    return true;
}

// Photo pixels (origin top left) of p for a W x H photo.
inline vector2<double> pixelOf(const PhotoCamera& c, const vector3<double>& p, int W, int H) {
    vector2<double> m;
    imageOf(c, p, &m);
    return {m.x + W / 2.0, H / 2.0 - m.y};
}

inline vector3<double> rotate(const vector3<double>& v, const vector3<double>& axis, double a) {
    // Rodrigues, right-handed.
    vector3<double> k = axis.normalized();
    return v * std::cos(a) + (k % v) * std::sin(a) + k * ((k * v) * (1 - std::cos(a)));
}

// A camera 500 units from the head centre seen under yaw (about y), pitch
// (about x) and roll (about the line of sight), aimed near the centre.
inline PhotoCamera poseCamera(double yaw, double pitch, double roll, const vector3<double>& aim, double scale,
                              double tx, double ty) {
    vector3<double> dir(std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch));
    PhotoCamera c;
    c.eye = dir * 500.0;
    c.forward = (aim - c.eye).normalized();
    vector3<double> up0 = (vector3<double>(0, 1, 0) - c.forward * c.forward.y).normalized();
    up0 = rotate(up0, c.forward, roll);
    c.right = (c.forward % up0).normalized();
    c.up = c.right % c.forward;
    c.scale = scale;
    c.tx = tx;
    c.ty = ty;
    return c;
}

// The camera's orientation against the line from its eye to the head
// centre, as rows right, up, towards the head; a pan of the camera that the
// image offset absorbs does not change it.
inline matrix33<double> lineOfSightFrame(const vector3<double>& eye, const vector3<double>& up,
                                         const vector3<double>& centre) {
    vector3<double> z = (centre - eye).normalized();
    vector3<double> y = (up - z * (up * z)).normalized();
    vector3<double> x = z % y;
    return matrix33<double>(x, y, z);
}

// Angle in degrees of the rotation between two frames.
inline double angleBetween(const matrix33<double>& a, const matrix33<double>& b) {
    double tr = 0;
    for (int i = 0; i < 3; ++i) tr += a.row(i) * b.row(i);
    double c = (tr - 1) / 2;
    c = c > 1 ? 1 : (c < -1 ? -1 : c);
    return std::acos(c) * 180 / M_PI;
}

// Feeds the camera search with the head points seen by camera c on a W x H
// photo, with Gaussian noise of the given deviation in pixels.
inline void feedPairs(const PhotoCamera& c, int W, int H, double noise, std::mt19937& rng) {
    std::normal_distribution<double> n(0.0, noise);
    camera_photo_size(W, H);
    std::vector<HeadPoint> pts = headPoints();
    for (size_t i = 0; i < pts.size(); ++i) {
        vector2<double> px = pixelOf(c, pts[i].p, W, H);
        if (noise > 0) px = px + vector2<double>(n(rng), n(rng));
        adatok_beallitasa(long(i), px, true, pts[i].p, pts[i].weight, pts[i].onSymmetryPlane);
    }
}

}  // namespace synthetic
