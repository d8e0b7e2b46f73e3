#pragma once
// What the views made since the last reset: frames painted, by view, and
// the head's display lists built. Tests and benchmarks read it to count
// what one step of the program rebuilds.

#include <string_view>

namespace views {

struct BuildCounts {
    // Frames of the photo view, the photo-with-marks view, the 3D view and
    // the overlay view, in this order.
    long paints[4] = {0, 0, 0, 0};
    // The 3D view's list 1 (the whole head) and list 2 (the gathered
    // triangles); the overlay view's list 1.
    long wholeLists = 0, gatheredLists = 0, overlayLists = 0;
    // The overlay's list 1 made in GL (a frame drew the head).
    long overlayListsMade = 0;
    // GL frames rendered (a frame whose inputs had not changed is copied
    // from the last one and not counted).
    long renders = 0;
    // Textures uploaded to the 3D view.
    long uploads = 0;
};

const BuildCounts& buildCounts();
void resetBuildCounts();

// A frame of the view of that name ("ViewOrigPhoto", ...).
void countPaint(std::string_view viewName);
void countWholeList();
void countGatheredList();
void countOverlayList();
void countOverlayListMade();
void countRender();
void countUpload();

}  // namespace views
