#pragma once
// Cutting the head along a height surface over a plane: the closed line
// where the surface crosses the mesh is traced and laid into it, and what
// lies above the surface is removed (head3::cutBySurface, cut.cpp).

#include "foundation/use.h"
#include "model/elements.h"

using surfaceFunction = double (*)(const vector2<double>&);

// The zero height: the surface is the plane itself.
double zero_fun21ForSurface(const vector2<double>& uv);

// The surface through origin spanned by a and b (made orthonormal), raised
// by f over its first two local coordinates (null: the plane).
void InitSurface(const vector3<double>& origin, const vector3<double>& a, const vector3<double>& b, surfaceFunction f);
// Signed height of p above the surface; negative below it.
double fun31ForSurface(const vector3<double>& p);
// The crossing parameter t in [0, 1] on the segment p0-p1.
double cutBySurface(const vector3<double>& p0, const vector3<double>& p1);
// The crossings of the surface with a triangle's edges, as barycentric
// points of the triangle (edges 0-1, 0-2, 1-2 in this order).
void cutBySurface(dynarray<vector3<double> >* points, Index<triangle> t);
// Classifies a barycentric triple against a threshold (the position codes:
// 0, 2, 4 corners, 1, 3, 5 edges, 6 inside).
int bariToRule(const vector3<double>& b, double threshold);
