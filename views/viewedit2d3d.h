#pragma once
// The head over the photo: the fitted head rendered through the camera the
// search found, its viewport laid over the photo so that a head point lands
// on the photo pixel that shows it; the merged display blends the frame
// with the photo. Camera, fit and maps live in its OverlayRenderCore.

#include "seams/views.h"
#include "views/glview.h"
#include "views/mark_edit.h"
#include "views/overlay_render.h"

class featureline2;
class featurepoint2;
class featureline3;

class CViewEdit2D3D : public CGLFaceView, public svc::ViewEdit2D3D {
    DECLARE_DYNCREATE(CViewEdit2D3D)
public:
    CViewEdit2D3D(CFaceDoc* doc, int paneId);
    ~CViewEdit2D3D() override;

    views::OverlayRenderCore& core() { return core_; }
    views::GLViewCore* Core() override { return &core_; }

    // svc::ViewEdit2D3D
    int Coord3Dto2D(generalpoint3& point, int mode) override { return core_.Coord3Dto2D(point, mode) ? 1 : 0; }
    int Coord3Dto2DBMP(const fnd::vector3<double>& p, fnd::vector2<double>& out) override {
        return core_.Coord3Dto2DBMP(p, out) ? 1 : 0;
    }
    // Display list 1 of the head in this view's context.
    void InitializeModelForOpenGL() override;

    bool Coord2Dto3D(const vector2<double>& w, generalpoint3& out) { return core_.Coord2Dto3D(w, out); }
    bool Coord2Dto3DTest(const vector2<double>& w) { return core_.Coord2Dto3DTest(w); }

    // The working photo's size and the principal offset, then a redraw.
    void FitInView() override;
    void FitInBlock();
    // The camera back to its start at zoom 1.
    void FitInView2();
    bool ShowsBackground() const override { return core_.merged != 0; }
    // Every frame blended with the photo.
    void SetMerged(bool on) { core_.merged = on ? 1 : 0; }

    // The head's feature points of the shown group bound to the surface,
    // as (128, 128, 255) discs where visible.
    void DrawFeaturePoints3D();

    void writeOpenGL(fnd::fileTB& f) override;
    void readOpenGL(fnd::fileTB& f) override;
    vector2<double> PictureToClient(const vector2<double>& p) const override {
        return core_.core().photoToClient().traf(p);
    }

    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;

    // ---- editing the posed-head marks (head2's overlay chains)
    fnd::commonchain_of_named_instance<featureline2>* Lines2D() const override;
    fnd::commonchain_of_named_instance<featurepoint2>* Points2D() const;
    // Client pixels to photo pixels.
    vector2<double> ClientToPicture(CPoint p) const;
    // The nearest item within 30 client pixels of the mask's kinds (16 line
    // points, 32 feature points); false when none or the marks are hidden.
    BOOL SelectItem(CPoint& point, UINT mask) override { return SelectItem(point, mask, false); }
    BOOL SelectItem(CPoint& point, UINT mask, bool add);
    // One point at the end of the line (before the closing point of a
    // closed one); with snap at the nearest mark within 30 pixels.
    int appendPoint(const vector2<double>& pos, fnd::Index<featureline2> line, bool corner, bool snap);
    BOOL DeleteSelectedItems() override;
    void DrawSelectedItems(bool highlight) override;
    void SetNewRubberForSpline(CPoint* cursor) override { SetNewRubberForSpline(false, cursor); }
    void SetNewRubberForSpline(bool snap, CPoint* cursor);
    void DrawFeaturePoints(bool mainPoints) override;
    void DrawFeatureLines();
    void DrawFeatureLines3D();
    void DrawRubberTrace(CPoint* cursor);

    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

    // Drag state: the press turns about two axes (near the centre) or rolls;
    // a point moved in this drag; the turn's pixels not yet spent.
    bool twoAxis = true;
    bool pointMoved = false;
    int yawCarry = 0, rollCarry = 0;

protected:
    bool RenderFrame(const offscreen::PixelRows& rows) override;
    void DrawMarks(CDC& dc) override;
    void DrawFeaturePoints3D(CDC& dc);
    void DrawFeatureLines(CDC& dc);
    void DrawFeatureLines3D(CDC& dc);
    void DrawFeaturePoints(CDC& dc);
    void DrawSelectedItems(CDC& dc, bool highlight);
    void DrawLine3D(CDC& dc, fnd::Index<featureline3> l, COLORREF curve, COLORREF fill, bool invertStraight);
    using Nearest = views::Nearest;
    // The nearest feature point (with points) and then accepted line point
    // (a line point as near wins) to photo point p, in client pixels.
    Nearest NearestMark(const vector2<double>& p, bool points, int skip = -1) const;
    bool NameSelectedLine();
    void CurvePageNext();
    void EndLine(UINT flags, CPoint point);
    void PreviousTool();

    views::OverlayRenderCore core_;

    DECLARE_MESSAGE_MAP()
};
