#pragma once
// Small geometric services of the 3D head: fan statistics of a vertex and
// the repair of a stray vertex after reading. The projections onto the head
// and the mirror point are members of head3 (surface.cpp).

#include "foundation/use.h"
#include "model/elements.h"

// Sum of the distances from v to the neighbours of its fan over its
// triangle count (0 for a vertex without triangles). The second argument
// takes no part.
double averageEdgeLength(Index<vertex> v, Index<vertex> unused = -1);
// Sum of the fan neighbours' positions over v's triangle count (v's own
// position for a vertex without triangles).
vector3<double> weightpointOfNeighbours(Index<vertex> v);
// Moves v to the centroid of its neighbours when its mean edge length
// reaches factor times the largest of its neighbours'; 1 when it moved.
int repairVertex(Index<vertex> v, double factor);
// repairVertex for every vertex of the current head in chain order, each
// fan's mean edge length computed once (again only around a vertex that
// moved); the number of vertices moved.
int repairVertices(double factor);

// The line along which a spline point is projected onto the head: the
// point of the spline at t and the negated blend of the directions of its
// segment's ends (one direction per spline point). False when the spline
// has no segments or too few directions.
bool lineOfSpline(double t, const spline3D& s, const dynarray<vector3<double> >& directions, vector3<double>* p,
                  vector3<double>* d);

// Calls f(neighbour) once per triangle of v's fan, walking from the first
// triangle until the neighbour comes round again (at most one lap).
template <class F>
void forEachFanNeighbour(Index<vertex> v, F f);

// ---- implementation ----
void aroundNextTrianglesVertex(int* node, Index<vertex>* w, Index<vertex> v);

template <class F>
void forEachFanNeighbour(Index<vertex> v, F f) {
    if (v == -1) return;
    const int n = v.data().triangles.count();
    int node = -1;
    Index<vertex> w = -1, first = -1;
    for (int step = 0; step < n; ++step) {
        aroundNextTrianglesVertex(&node, &w, v);
        if (w == -1) return;
        if (step == 0) first = w;
        else if (w == first) return;
        f(w);
    }
}
