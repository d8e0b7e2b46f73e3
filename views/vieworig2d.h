#pragma once
// The working photo with its marks: the named feature points and feature
// lines of the photo's head2 are placed, drawn point by point with a rubber
// spline, named, selected, dragged, inserted and deleted here, and the
// picture zooms and pans. The marking pages set the current row of their
// table and hear back after every placement.

#include "foundation/chain.h"
#include "views/faceview.h"
#include "views/lines2d.h"
#include "views/mark_edit.h"

class featureline2;

class CViewOrig2D : public CFaceView {
    DECLARE_DYNCREATE(CViewOrig2D)
public:
    CViewOrig2D(CFaceDoc* doc, int paneId);

    // Points in picture pixels drawn by DrawRubberBackAndFacePoints and
    // DrawRubberFrame (nothing fills them).
    fnd::chain<vector2<double>> backPoints{0, 10, 1.125};
    fnd::chain<vector2<double>> facePoints{0, 10, 1.125};
    fnd::chain<vector2<double>> frame{0, 10, 1.125};
    bool spareFlags[2] = {false, false};
    // The feature-point page is open: its main points are drawn and picked
    // even with the feature display off.
    bool featurePlacing = false;
    // An item drag is under way: the selection is drawn inverting (XOR)
    // and the view redrawn at the release.
    bool xorDrag = false;

    void OnDraw(CDC* dc) override;
    void ClearAllViewSettings() override;
    void FitInView() override;
    BOOL DeleteSelectedItems() override;
    void DrawSelectedItems(bool highlight) override;
    void DrawFeaturePoints(bool mainPoints) override;
    // The nearest item within 30 window pixels of the mask's kinds (16
    // lines, 32 feature points) becomes the selection (added to it with
    // add); false when there is none or the marks are not shown.
    BOOL SelectItem(CPoint& point, UINT mask) override { return SelectItem(point, mask, false); }
    BOOL SelectItem(CPoint& point, UINT mask, bool add);
    // A point at the end of the line (before the closing point of a closed
    // line): type 2 when corner or the first, else 1; with snap at the
    // nearest feature point or shown line point within 30 pixels.
    bool appendPoint(const vector2<double>& pos, Index<featureline2> line, bool corner, bool snap);
    // The rubber polyline of the one selected line, continued to the
    // cursor (snapped with snap) when one is given.
    void SetNewRubberForSpline(CPoint* cursor) override { SetNewRubberForSpline(false, cursor); }
    void SetNewRubberForSpline(bool snap, CPoint* cursor);
    void DrawFeatureLines();
    void DrawSpecPoints(CDC* dc);
    void DrawRubberTrace(CPoint* cursor);
    void DrawRubberFrame(CPoint* cursor);
    void DrawRubberBackAndFacePoints();

    fnd::commonchain_of_named_instance<featureline2>* Lines2D() const override;

    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnMButtonUp(UINT flags, CPoint point) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

private:
    using Nearest = views::Nearest;
    // The nearest feature point (with points) and then line point (a line
    // point at least as near wins) to picture point p, in window pixels;
    // onlyShown: lines whose names belong to the shown group; skip: a line
    // point left out.
    Nearest NearestMark(const vector2<double>& p, bool points, bool onlyShown, int skip = -1) const;
    bool InsideBitmap(const vector2<double>& p) const;
    void DrawFeatureLines(CDC& dc);
    void DrawFeaturePoints(CDC& dc, bool mainPoints);
    void DrawSelectedItems(CDC& dc, bool highlight);
    bool Hidden(const char* name, bool mainPoints) const;
    // The current row's line name given to the last selected line: false
    // (a beep and "Already selected !") when it is named already.
    bool NameSelectedLine();
    // The pages told after a line was finished or named.
    void CurvePageNext(bool clearFlashing);
    void PlacePoint(CPoint point, const vector2<double>& p, bool snap);
    void HoverPages(CPoint point);
    void MoveSelectedItem(CPoint point);
    void EndLine(UINT flags, CPoint point);
    void PreviousTool();

    DECLARE_MESSAGE_MAP()
};
