#pragma once
// The display state that the main frame and the four views keep in a
// project file, as plain values. The views' sections are in
// document/view_section.h; the frame's is here.

#include "foundation/filetb.h"
#include "document/view_section.h"

namespace files {

// The frame's section: its client area when saved (read, never used).
struct FrameSection {
    int width = 0;
    int height = 0;

    void write(fnd::fileTB& f) const;
    void read(fnd::fileTB& f);
    bool operator==(const FrameSection&) const = default;
};

// The section every view writes, and what the head-over-photo view appends.
using ViewSection = views::ViewSection;
using OverlaySection = views::OverlaySection;

// The views in the order of the file.
enum ViewSlot { kViewOrig2D = 0, kViewOrigPhoto = 1, kViewEdit3D = 2, kViewEdit2D3D = 3 };
inline constexpr const char* kViewNames[4] = {"ViewOrig2D", "ViewOrigPhoto", "ViewEdit3D", "ViewEdit2D3D"};

// Values as the file keeps them: doubles pass through single precision.
ViewSection Stored(const ViewSection& v);
OverlaySection Stored(const OverlaySection& v);

}  // namespace files
