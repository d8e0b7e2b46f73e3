#pragma once
// The gathered set of triangles (membership stored in each triangle), the
// smooth local deformation of the head from control points, and regions
// made of the gathered set. The head's own parts are members of head3
// (gather.cpp).

#include "foundation/use.h"
#include "model/elements.h"

class head3;

bool add_triangle_to_gatheredTriangles(Index<triangle> t);
bool remove_triangle_from_gatheredTriangles(Index<triangle> t);
// Toggles membership; true when it took place.
bool change_triangle_at_gatheredTriangles(Index<triangle> t);
void clean_gatheredTriangles();
inline bool isGathered(Index<triangle> t) { return t != -1 && t.data().gatheredNode != -1; }

// The other triangle on the edge a-b of t (-1 on a border).
Index<triangle> triangleAcrossEdge(Index<triangle> t, Index<vertex> a, Index<vertex> b);

// A control of the deformation: its start moves to its target; the space
// within the radius follows.
struct T3DControlPoint {
    vector3<double> start;
    vector3<double> target;
    int radius = 0;
};

// Fall-off weight of two points for the radius and shape (1 sqrt cosine,
// 2 cosine, 3 raised cosine, all 0 beyond R; 4 exponential everywhere;
// other shapes -1). A radius of 0 or less weighs 0.
double XformPhi(vector3<double> p, vector3<double> q, int R, int shape);

// Moves the head's vertices so that every control's start lands on its
// target. centres 1: the kernels sit on the targets, otherwise on the
// starts; onlyGathered: only vertices whose triangles are all gathered.
// Controls closer than 0.1 to an earlier one are dropped from the array.
// False (nothing moved) without controls or for a singular system.
bool CalculateNewPoints(head3& h, dynarray<T3DControlPoint>* controls, int centres, bool onlyGathered, int shape);
// The same on the current head.
bool CalculateNewPoints(dynarray<T3DControlPoint>* controls, int centres, bool onlyGathered, int shape);
