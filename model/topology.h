#pragma once
// Keeping both sides of every link of the current head in agreement: the
// low-level add_/remove_ functions, the cascading deletions, the fan walk
// around a vertex and the collapse of an edge. Everything works on the
// current head (the pools head3::set_actual selected); functions given -1
// return at once (0 where they return a flag).

#include "model/elements.h"

class head3;

// A node of a vertex's triangle list (a slot of the shared list pool).
using triangleNode = fnd::lindex<Index<triangle>>;

// ---- fan walk and neighbourhood ----

// The node of v's triangle list that holds t, -1 if none.
int local_index_of_triangle(Index<vertex> v, Index<triangle> t);
// The node after node in v's list; the first node after the last and for -1.
int aroundNextTriangle(Index<vertex> v, int node);
// Steps *node to the next triangle around v and *w to a corner of it other
// than v (-1 when v is not a corner).
void aroundNextTrianglesVertex(int* node, Index<vertex>* w, Index<vertex> v);
Index<linepoint3> linepoint_of_vertex_in_line(Index<vertex> v, Index<featureline3> line);
// -1 when t2 follows t1 around v, 1 when it precedes it, else 0.
int relation_of_triangles_around_vertex(Index<vertex> v, Index<triangle> t1, Index<triangle> t2);
// Puts v's triangle list in fan order: 1 for a closed, consistently
// oriented fan. An open fan is ordered from its border when it chains
// (result 0); a list that cannot be chained stays as it was (result 0).
int order_trianges_of_vertex(Index<vertex> v);

// ---- triangles, areas and edit points ----

void add_triangle_to_vertex(Index<triangle> t, Index<vertex> v);
void add_triangle_to_vertices(Index<triangle> t);
void remove_triangle_from_vertex(Index<triangle> t, Index<vertex> v);
void add_triangle_to_area(Index<triangle> t, Index<area> a);
void remove_triangle_from_area(Index<triangle> t);
void add_triangle(Index<triangle> t, Index<area> a);
// Unlinks the triangle everywhere, deletes what rode on it (cascading) and
// frees its slot.
void remove_triangle(Index<triangle> t);

void add_extrapoint_to_triangle(Index<extrapoint> e);
void remove_extrapoint_from_triangle(Index<extrapoint> e);
// The node form: node of t's edit-point list; the edit point's triangle
// becomes -1.
void remove_extrapoint_from_triangle(Index<triangle> t, int node);
// Places *e (a new edit point when -1) on t at the barycentric coordinates.
void set_extrapoint(Index<extrapoint>* e, Index<triangle> t, const vector3<double>& bary, pointConversionMode mode);
// cascade: a feature point or feature line riding on the point goes too.
void remove_extrapoint(Index<extrapoint> e, bool cascade);
void add_vertex_to_minmax(Index<vertex> v, vector3<double>& min, vector3<double>& max);
void add_extrapoint_to_minmax(Index<extrapoint> e, vector3<double>& min, vector3<double>& max);

// ---- line points and feature points ----

void add_linepoint(Index<linepoint3> lp, Index<featureline3> line);
void remove_linepoint_from_vertex(Index<linepoint3> lp);
void remove_linepoint(Index<linepoint3> lp, bool fromLine, bool removeExtra);
// Whether the line repeats its first point as its last.
bool isClosedLine(Index<featureline3> line);
Index<linepoint3> next_linepoint(Index<linepoint3> lp);
Index<linepoint3> previous_linepoint(Index<linepoint3> lp);
// After the edge a-b was split at m: a fixed line point on m between every
// pair of neighbouring line points of a and b.
void linepoints_insert(Index<vertex> a, Index<vertex> b, Index<vertex> m);
void add_featurepoint(Index<featurepoint3> fp);
void remove_featurepoint(Index<featurepoint3> fp);

// ---- regions ----

using regionNode = Index<Index<region>>;

void add_region_to_area_rough(Index<region> r, Index<area> a);
void add_region_to_area(Index<region> r, Index<area> a);
void add_region_to_areas(Index<region> r);
void remove_region_from_area_rough(Index<area> a, regionNode node);
void remove_region_from_area(Index<area> a, regionNode node);

void add_region_to_featurepoint_rough(Index<region> r, Index<featurepoint3> p);
void add_region_to_featurepoint(Index<region> r, Index<featurepoint3> p);
void add_region_to_featurepoints(Index<region> r);
void remove_region_from_featurepoint_rough(Index<featurepoint3> p, regionNode node);
void remove_region_from_featurepoint_rough(Index<featurepoint3> p, Index<region> r);
void remove_region_from_featurepoint(Index<featurepoint3> p, regionNode node);
void remove_region_from_featurepoint(Index<featurepoint3> p, Index<region> r);
void remove_region_from_featurepoints(Index<region> r);

void add_region_to_featureline_rough(Index<region> r, Index<featureline3> l);
void add_region_to_featureline(Index<region> r, Index<featureline3> l);
void add_region_to_featurelines(Index<region> r);
void remove_region_from_featureline_rough(Index<featureline3> l, regionNode node);
void remove_region_from_featureline_rough(Index<featureline3> l, Index<region> r);
void remove_region_from_featureline(Index<featureline3> l, regionNode node);
void remove_region_from_featureline(Index<featureline3> l, Index<region> r);
void remove_region_from_featurelines(Index<region> r);

// ---- deletions ----

// Deletes the point and creates the table point of its name again, unplaced.
void RemoveFeaturepoint(Index<featurepoint3> fp);
// Deletes the line with its points and creates the table line of its name
// again, empty.
void RemoveFeatureline(Index<featureline3> line);
int RemoveRegion(Index<region> r);
// Deletes the vertex with every triangle, line and feature point on it.
void remove_vertex(Index<vertex> v);
int removeEmptyArea(Index<area> a);
// Removes t, one of the two triangles of the collapsing edge a-b, after
// moving its edit points onto the neighbouring triangle.
int eliminateTriangle(Index<triangle> t, Index<vertex> a, Index<vertex> b);
// Triangles of at most this area count as flat: no edit may leave one.
inline constexpr double kDegenerateArea = 1e-10;
// Collapses the edge a-b into b (and the mirror edge likewise). Refused (0,
// nothing changed) when the edge has not exactly two triangles, the collapse
// would fold the surface, turn a remaining triangle over or flatten one;
// with mirror links both edges are checked first.
int unifyVertex(Index<vertex> a, Index<vertex> b);
// Whether unifyVertex(a, b) would collapse the edge rather than refuse.
bool canUnifyVertex(Index<vertex> a, Index<vertex> b);

// ---- defaults from the feature tables (defined in readhead.cpp) ----

// Apply the rows of the region, line and point tables to the current head:
// every row when name is null, else only the row of that name.
void addRegions(const char* name);
void addFeaturelines3(const char* name);
void addFeaturepoints3(const char* name);
// Sorts a region chain by ascending number of basic areas (stable).
void order_regions(commonchainindex<region>& regions);
// Gives each triangle of the area its area and its node in the area's chain.
void connect_triangles_of_area(Index<area> a);
// Splits a stored permutation number into its hundreds, tens and units
// digits (a digit above 7 counts as 0) and permutes the current head.
void permutate_number(head3& h, int permutation);
