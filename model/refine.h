#pragma once
// Refining the mesh where points fall and laying feature lines into it:
// edit points become vertices, triangles are split at them, a line's spline
// is followed from vertex to vertex, and short edges along the line are
// collapsed. Everything works on the current head.

#include "foundation/use.h"
#include "model/elements.h"

// A point on a triangle (barycentric in the order of its corners), with the
// vertex that is to stand there (or -1).
struct vertex_at_triangle {
    Index<vertex> v = -1;
    Index<triangle> t = -1;
    vector3<double> b;
};

// Threshold of the position codes below.
constexpr double kOnTriangleEps = 1e-10;

// 0, 2, 4 at corner 0, 1, 2; 1, 3, 5 on the edge 0-1, 1-2, 2-0; 6 inside.
int positionOnTriangle(const vector3<double>& b, double e);

// A point on an edge or at a corner expressed on the next triangle around
// (the triangle across the edge; for a corner, the next one in the corner's
// fan); the input for a point inside or without such a triangle.
vertex_at_triangle neighbouringTriangle(vertex_at_triangle p);

// Results of devide_triangle.
enum : int { kDivideFailed = 0, kDivided = 1, kDivideWaits = 2 };

// Inserts p.v at its place on p.t. kDivideWaits: p lies on an edge of the
// gathered patch's border whose outer triangle has a longer edge; that
// triangle was refined instead and p was not inserted (try again).
int devide_triangle(vertex_at_triangle& p);
// Splits one triangle in two at a point on one of its edges.
void devide_triangle_edge_rough(const vertex_at_triangle& p);
// The edit points of the split triangle p.t move onto the first of the new
// triangles (-1 for absent ones) that holds them, or the nearest.
void extrapointsToSubtriangles(vertex_at_triangle p, Index<triangle> t1, Index<triangle> t2, Index<triangle> t3,
                               Index<triangle> t4);
// The corners of sub-triangle s as barycentric points of p.t.
void baricOfSubtriangle(vertex_at_triangle p, Index<triangle> s, vector3<double>* a, vector3<double>* b,
                        vector3<double>* c);
// The corner opposite the edge refineTriangle splits: the longest (ties to
// edge 1-2, then 2-0).
int splitCornerOf(Index<triangle> t);
// Splits the longest edge at its midpoint when longer than length; else t
// leaves the gathered set. 1 when it split.
int refineTriangle(Index<triangle> t, double length, pointConversionMode mode);
// The edit point becomes a mesh vertex (the corner it sits on, or a new
// one); -1 on failure.
Index<vertex> Triangulize(Index<extrapoint> e, pointConversionMode mode);
// A rubber point becomes fixed; true when it is fixed afterwards.
bool MakeFix(generalpoint3& gp, pointConversionMode mode);
// A fixed point becomes rubber at its vertex (generalpoint3::_makeExtra);
// true when it is rubber afterwards, false for a point that is neither.
bool MakeRubber(generalpoint3& gp);
// The same for a line point (it stays linked to its line).
bool MakeRubber(Index<linepoint3> lp);
// Whether the point (barycentric on T) can be joined to v without crossing
// another triangle.
bool TriangleIsDirect(Index<vertex> v, Index<triangle> T, const vector3<double>& b);
// Removes repeated vertices from a fixed line; false when the line still
// visits a vertex twice.
bool CleanFeatureline(Index<featureline3> line);

// The vertex that the last MakeFix produced.
inline Index<vertex> last_fixed_vertex_index = -1;
