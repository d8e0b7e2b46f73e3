#pragma once
// Closed test meshes built on a head: every triangle wound counter-clockwise
// seen from outside, in one area that belongs to the region "whole_head",
// every vertex's fan put in order.

#include <array>
#include <vector>

#include "model/head.h"

namespace testmesh {

struct Mesh {
    std::vector<Index<vertex>> vertices;
    std::vector<Index<triangle>> triangles;
    Index<::area> baseArea = -1;
    Index<region> wholeHead = -1;
};

// Builds the given positions and corner triples (indices into positions)
// on h, which becomes the current head.
Mesh build(head3& h, const std::vector<vector3<double>>& positions, const std::vector<std::array<int, 3>>& faces);

// An icosahedron subdivided `levels` times, corners on the sphere of the
// radius about the origin.
Mesh icosphere(head3& h, int levels, double radius);
// The cube [-s, s]^3 with each face cut into n x n squares of two triangles.
Mesh subdividedCube(head3& h, int n, double s);

}  // namespace testmesh
