#pragma once
// The automatic points of the point table on the head, shared by the
// feature-point page and the body-prepare dialog: each kind-0 row is placed
// from the main points (the accepted rows of the highest kind, three of
// them): its preview position's barycentric coordinates within their
// preview triangle, applied to their head positions, then projected onto
// the head along -z through the octree.

#include <vector>

#include "foundation/use.h"
#include "model/elements.h"

class head3;

namespace headpoints {

// Whether some accepted kind-0 row has no head point or one whose binding
// value (its used flag) is not 1.
bool HeadPointsNeedCompletion(const head3& head, int group);

// Places every accepted kind-0 row; returns how many were placed. A row
// whose rays all miss keeps its point as it was. group: the GoodInfoCode
// group (the absolute photo number).
int CompleteHeadPoints(head3& head, int group);

// The start points of the rays around a point, nearest first: the point and
// 24 more on a 5 x 5 grid of the given spacing in the x-y plane.
std::vector<vector3<double>> RayStarts(const vector3<double>& centre, double spacing);

// The first triangle met along d by the rays from the start points around p
// (RayStarts at that spacing, nearest first), with the hit's barycentric
// coordinates: hits from -tolerance along a ray on count. -1 when all 25 miss.
Index<triangle> FirstHitAround(head3& head, const vector3<double>& p, const vector3<double>& d, double spacing,
                               double tolerance, vector3<double>* bary);

// Barycentric coordinates of p in the triangle a, b, c of the plane; false
// for a flat triangle.
bool PlaneBarycentric(const vector2<double>& p, const vector2<double>& a, const vector2<double>& b,
                      const vector2<double>& c, double w[3]);

// The first triangle hit from p along -z (rays from the start points around
// p, each from in front of the head); false when all 25 miss. The point is
// then bound there (a new edit point), its vertex link dropped.
bool BindToSurface(head3& head, int point, const vector3<double>& p);

}  // namespace headpoints
