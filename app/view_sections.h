#pragma once
// The display state that the main frame and the four views keep in a
// project file, as plain values. The frame and the views fill these from
// their members and take them back; the layout is the files' own.

#include "foundation/filetb.h"

namespace files {

// The frame's section: its client area when saved (read, never used).
struct FrameSection {
    int width = 0;
    int height = 0;

    void write(fnd::fileTB& f) const;
    void read(fnd::fileTB& f);
    bool operator==(const FrameSection&) const = default;
};

// The section every view writes: camera, viewport, zoom and panning.
struct ViewSection {
    double eye[3] = {0, 0, 200};
    double centre[3] = {0, 0, 0};
    double up[3] = {0, 1, 0};
    double fieldOfView = 50;
    double pitch = 0;
    double yaw = 0;
    int viewport[4] = {0, 0, 0, 0};
    double zoom = 1;
    long reserved[4] = {2, 4, 1, 3};
    float pan[2] = {0, 0};
    double offset[2] = {0, 0};

    void write(fnd::fileTB& f) const;
    void read(fnd::fileTB& f);
    bool operator==(const ViewSection&) const = default;
};

// What the head-over-photo view appends to its base section.
struct OverlaySection {
    double principalOffset[2] = {0, 0};
    int fittedViewport[4] = {0, 0, 0, 0};
    // Photo pixels to OpenGL window: x factor, x offset, y factor, y offset.
    double photoToGL[4] = {1, 0, 1, 0};

    void write(fnd::fileTB& f) const;
    void read(fnd::fileTB& f);
    bool operator==(const OverlaySection&) const = default;
};

// The views in the order of the file.
enum ViewSlot { kViewOrig2D = 0, kViewOrigPhoto = 1, kViewEdit3D = 2, kViewEdit2D3D = 3 };
inline constexpr const char* kViewNames[4] = {"ViewOrig2D", "ViewOrigPhoto", "ViewEdit3D", "ViewEdit2D3D"};

// Values as the file keeps them: doubles pass through single precision.
ViewSection Stored(const ViewSection& v);
OverlaySection Stored(const OverlaySection& v);

}  // namespace files
