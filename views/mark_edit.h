#pragma once
// What the editing views share when they pick, draw and drag marks: the
// pick radius, the selection test, the turn steps, the zoom drags and the
// rectangle tool, and the 2D feature points and lines of the photo views
// and the overlay (nearest mark, points added and moved, the selected
// items drawn and removed).

#include <functional>
#include <vector>

#include "fitting/projection.h"
#include "foundation/named.h"
#include "foundation/selection.h"
#include "foundation/use.h"
#include "framework/gdi.h"
#include "views/lines2d.h"

class CFaceView;
class CGLFaceView;
class featureline2;
class featurepoint2;
class linepoint2;

namespace svc {
class MainFrame;
}

namespace views {

// Client pixels within which a press picks or snaps to a mark.
inline constexpr double kPickRadius = 30;

using Lines2 = fnd::commonchain_of_named_instance<featureline2>;
using Points2 = fnd::commonchain_of_named_instance<featurepoint2>;

bool SelectedAs(const std::vector<IndexSelector>& selection, int index, int kind);

// Keys the other views pass on to the 3D view: Home, the arrows and the
// numeric pad's 1 to 9.
bool TurnsTheHead(UINT key);

// An angle brought back into [0, 2 pi] after one step.
double WrapAngle(double a);

// Whole steps of 3 pixels out of the pixels carried so far; the rest is
// kept, so that small moves add up instead of being lost.
int SpendThirds(int& carry, int pixels);

// The client rectangle that scales a client of size c by m about its
// centre: one step of a zoom drag.
ZoomRect ScaledAboutCentre(CSize c, double m);

// The client rectangle that moves the content of a client of size c with
// a drag from one point to another: one step of a pan.
ClientRect PannedBy(CSize c, CPoint from, CPoint to);

// The frame's tool and sub-mode back to those before the present tool.
void PreviousTool(svc::MainFrame* f);

// The last row of the feature-line table (lines) or of the feature-point
// table whose code is name; current when there is none.
int RowOfName(const char* name, bool lines, int current);

// A press of the zoom, pan and rectangle tools (2 to 5) starts their drag;
// a rectangle under way keeps its start.
void PressTool(CFaceView& v, int tool, CPoint point);

// The rubber spline erased from the screen.
void HideRubberSpline(CFaceView& v);

// The rubber spline of the line under way made again (to the cursor when
// one is given) and drawn in place of the old one.
template <class View>
void RedrawRubberSpline(View& v, bool snap, CPoint* cursor) {
    if (v.rubberSplineShown) v.DrawRubberSpline();
    v.SetNewRubberForSpline(snap, cursor);
    v.DrawRubberSpline();
    v.rubberSplineShown = true;
}

// The rectangle tool: its rubber stretched from the press to the cursor,
// and the release (the rubber erased, the GL view zoomed into the
// rectangle with tool 3, out of it with tool 4 when both sides reach 10).
void StretchRectangle(CFaceView& v, CPoint cursor);
void ReleaseRectangle(CGLFaceView& v, int tool, CPoint point, CSize client);

// ---- 2D marks

struct Nearest {
    double distance = 1e10;
    vector2<double> position;
    bool found = false;
};

// Distance in client pixels of a picture point from the place asked about.
using MarkDistance = std::function<double(const vector2<double>&)>;

// The nearest feature point (with points) and then line point (a line
// point at least as near wins); onlyShown: lines whose names belong to the
// group; skip: a line point left out.
Nearest NearestMark(const Points2* points, const Lines2& lines, bool onlyShown, int group, int skip,
                    const MarkDistance& distance);

// Whether the nearest mark lies within the pick radius, and pos snapped to
// it when it does.
inline bool WithinPick(const Nearest& n) { return n.found && n.distance <= kPickRadius; }
inline vector2<double> SnappedTo(const Nearest& n, const vector2<double>& pos) {
    return WithinPick(n) ? n.position : pos;
}

// A new point at the end of the line (before the closing point of a closed
// line): kind 2 when corner or the line's first, else 1.
fnd::Index<linepoint2> AddLinePoint(featureline2& line, bool corner);

// The line closed exactly when it has two points or more and its ends meet.
void CloseWhereEndsMeet(featureline2& line);

// A line point moved; the two ends of a closed line move together.
void MoveLinePoint(featureline2& line, fnd::Index<linepoint2> q, const vector2<double>& at);

// The point after which a new point lengthens the line least: the sum of
// the distances of a segment's ends (ties to the later); -1 without a
// segment.
fnd::Index<linepoint2> InsertionPlace(const featureline2& line, const MarkDistance& distance);

// The lines of the group drawn, those in the selection left to it.
void DrawLines2D(CDC& dc, const Lines2& lines, int group, const std::vector<IndexSelector>& selection,
                 const PictureToClient& toClient);

// A selected line (16: its rubber made again, then its shape) or feature
// point (32) of the view in the highlight's colours or the plain ones;
// false for the other kinds.
bool DrawSelected2D(CFaceView& v, CDC& dc, const Points2& points, const IndexSelector& item, bool highlight);

// The trace's points joined inverting, to the cursor when one is given,
// then ringed.
void DrawTrace(CDC& dc, const fnd::chain<vector2<double>>& trace, const PictureToClient& toClient,
               const CPoint* cursor);

// The current row's line name given to the selection's last item when it
// is a drawn line not named yet: 1 named, 0 named already, -1 nothing to
// name (no such item or row).
int NameLastSelectedLine(CFaceView& v);

// The selection's lines and feature points removed, the rubber with a
// line, and the selection cleared.
void RemoveSelected2D(CFaceView& v, Points2& points);

// Escape: the line under way dropped, the trace and the selection
// cleared, the view redrawn.
void DropLineUnderWay(CFaceView& v);

}  // namespace views
