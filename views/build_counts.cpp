#include "views/build_counts.h"

namespace views {
namespace {

BuildCounts counts;

}  // namespace

const BuildCounts& buildCounts() { return counts; }
void resetBuildCounts() { counts = BuildCounts(); }

void countPaint(std::string_view viewName) {
    static constexpr std::string_view names[4] = {"ViewOrigPhoto", "ViewOrig2D", "ViewEdit3D", "ViewEdit2D3D"};
    for (int k = 0; k < 4; ++k)
        if (viewName == names[k]) ++counts.paints[k];
}

void countWholeList() { ++counts.wholeLists; }
void countGatheredList() { ++counts.gatheredLists; }
void countOverlayList() { ++counts.overlayLists; }
void countOverlayListMade() { ++counts.overlayListsMade; }
void countRender() { ++counts.renders; }
void countUpload() { ++counts.uploads; }

}  // namespace views
