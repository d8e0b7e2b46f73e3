#pragma once
// Ends of feature lines and of their intervals, and an interval as a
// polyline. A line point of kind 2 is a node; every other kind counts as an
// inner point. Walks follow the chain order, so they always end.

#include "foundation/use.h"
#include "model/elements.h"

Index<linepoint2> FirstPointOfLine(Index<linepoint2> p);
Index<linepoint3> FirstPointOfLine(Index<linepoint3> p);
Index<linepoint2> LastPointOfLine(Index<linepoint2> p);
Index<linepoint3> LastPointOfLine(Index<linepoint3> p);
// The point itself when it is a node, else the nearest node before it; -1
// when there is none.
Index<linepoint2> FirstPointOfInterval(Index<linepoint2> p);
Index<linepoint3> FirstPointOfInterval(Index<linepoint3> p);
// The point before the next node, or the line's last point without one.
Index<linepoint2> LastPointOfInterval(Index<linepoint2> p);
Index<linepoint3> LastPointOfInterval(Index<linepoint3> p);

// The interval holding p, from its starting node to its closing node (or
// the line's end). Null arrays are not filled.
void fillOfInterval(dynarray<vector2<double> >* positions, Index<linepoint2> p);
void fillOfInterval(dynarray<vector3<double> >* positions, dynarray<vector3<double> >* normals, Index<linepoint3> p);

// The interval plus an extra point at the end (atEnd) or at the start, when
// it lies farther than 3 from the polyline's point there; *added tells.
void fillOfIntervalExtra(dynarray<vector2<double> >* positions, Index<linepoint2> p, vector2<double>& extra, bool atEnd,
                         bool unused, bool* added);
void fillOfIntervalExtra(dynarray<vector3<double> >* positions, dynarray<vector3<double> >* normals,
                         Index<linepoint3> p, generalpoint3& extra, bool atEnd, bool unused, bool* added);

// How the line is drawn from this point on: 12 (straight pieces) when the
// point exists and is fixed to a vertex, else 11 (a spline interval).
int TypeOfLine(Index<linepoint3> p);
