#pragma once
// The GL views' sections of the project file as plain values: the base
// view's camera, viewport, zoom and pan, and what the overlay view appends.
// Reading checks every value before the caller takes any of it over.

#include <cstdint>

#include "fitting/projection.h"
#include "foundation/filetb.h"

namespace views {

// The largest viewport side a section takes where no GL context gives its
// own limit.
inline constexpr int kStoredMaxViewport = 16384;

struct ViewSection {
    vector3<double> eye{0, 0, 200}, center{0, 0, 0}, up{0, 1, 0};
    double fieldOfView = 50.0;
    double pitch = 0, yaw = 0;
    GLViewport viewport;
    double zoom = 1.0;
    int32_t reserved[4] = {0, 0, 0, 0};  // kept for the file, no other use
    float panX = 0, panY = 0;            // the viewport's float origin
    double offsetX = 0, offsetY = 0;     // picture offsets

    void write(fnd::fileTB& f) const;
    // False, *this unchanged and the stream failed, for a value that is not
    // finite, a zoom outside (0, 1e4], a viewport size outside
    // 0..maxViewport or an offset beyond 1e7.
    bool read(fnd::fileTB& f, int maxViewportWidth = kStoredMaxViewport,
              int maxViewportHeight = kStoredMaxViewport);
    bool operator==(const ViewSection&) const = default;
};

// The overlay view's values after its base section.
struct OverlaySection {
    double principalX = 0, principalY = 0;
    GLViewport fitted;
    lintraf11 photoToGL;

    void write(fnd::fileTB& f) const;
    bool read(fnd::fileTB& f, int maxViewportWidth = kStoredMaxViewport,
              int maxViewportHeight = kStoredMaxViewport);
    bool operator==(const OverlaySection& o) const {
        return principalX == o.principalX && principalY == o.principalY && fitted == o.fitted &&
               photoToGL.x.a == o.photoToGL.x.a && photoToGL.x.b == o.photoToGL.x.b &&
               photoToGL.y.a == o.photoToGL.y.a && photoToGL.y.b == o.photoToGL.y.b;
    }
};

}  // namespace views
