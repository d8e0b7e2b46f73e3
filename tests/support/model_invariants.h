#pragma once
// One checker of the head, for any test that changes a head. Links: every
// two-sided link holds on both sides, no point is both fixed and rubber,
// each triangle stands once in each of its corners' lists, and nothing
// names a freed slot. Geometry: no two triangles on the same three
// vertices, no triangle below an area threshold, and every edge used by at
// most two triangles, in opposite directions (a consistently oriented
// surface).

#include <string>
#include <vector>

class head3;

namespace testsupport {

// Triangles of at most this area (squared model units) count as degenerate.
inline constexpr double kDegenerateArea = 1e-10;

// Every broken rule, links and geometry, one message each; empty for a sound
// head.
std::vector<std::string> modelInvariantErrors(const head3& h);
// The geometric rules alone.
std::vector<std::string> meshGeometryErrors(const head3& h, double areaThreshold = kDegenerateArea);

// Counts of the surface, for comparing before and after an edit.
struct MeshCounts {
    int vertices = 0;      // vertices that carry triangles
    int edges = 0;
    int faces = 0;
    int borderEdges = 0;   // edges of one triangle
    int euler() const { return vertices - edges + faces; }
};
MeshCounts meshCounts(const head3& h);

// Euler characteristic V - E + F over the vertices that carry triangles.
int eulerCharacteristic(const head3& h);

}  // namespace testsupport

// EXPECT-style check with the messages in the failure text.
#define EXPECT_MODEL_SOUND(h)                                                        \
    do {                                                                             \
        auto brivantaModelErrors = ::testsupport::modelInvariantErrors(h);           \
        std::string brivantaModelText;                                               \
        for (size_t k = 0; k < brivantaModelErrors.size() && k < 20; ++k)            \
            brivantaModelText += brivantaModelErrors[k] + "\n";                      \
        EXPECT_TRUE(brivantaModelErrors.empty()) << brivantaModelText;               \
    } while (0)
