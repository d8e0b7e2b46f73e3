#pragma once
// The photo's marks as the camera step and the fit take them: how much the
// marked points weigh, whether every mark can be used, and the automatic
// lines the frame derives from the marked points after the camera step
// (CMainFrame::CreateAutomaticLines without the window).

#include <functional>

#include "foundation/use.h"
#include "framework/cstring.h"
#include "model/elements.h"

class head2;
class head3;

// The camera step runs only when the marked points weigh this much.
constexpr int kMinimalMarkedWeight = 11;

// Sum of the table weights, each truncated to an integer, of the feature
// points of the group (GoodInfoCode) that are marked on the photo.
int MarkedPointWeight(const head2& marks, int group);

// Empty when every mark of the photo (points and line points) is finite and
// lies within the photo's size of a width x height photo; else a message
// naming the first mark that does not.
CString PhotoMarksProblem(const head2& marks, int width, int height);

// The frame's automatic lines: for every line row of the group with the
// type "3333", when the photo has no drawn line of the row's name, one is
// made through the row's points marked on the photo, in the row's order
// (each point through append when given, as the photo view appends it),
// its ends nodes (kind 2); when the head has no placed line of that name,
// one is made through the head's feature points of the row, each tied to
// the surface as an edit point, its ends nodes. A line needs two points or
// more; lines that exist are left as they are. head must be the current
// head. Returns the lines made.
// rowsWithoutPoints: a row missing from the points table takes what the
// reader leaves (the last row's points), as the frame runs it; else the
// row is skipped.
int CreateAutomaticLines(head2& marks, head3& head, int group, bool rowsWithoutPoints = false,
                         const std::function<void(Index<featureline2>, const vector2<double>&)>& append = {});
