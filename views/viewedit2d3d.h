#pragma once
// The head over the photo: the fitted head rendered through the camera the
// search found, its viewport laid over the photo so that a head point lands
// on the photo pixel that shows it; the merged display blends the frame
// with the photo. Camera, fit and maps live in its OverlayRenderCore.

#include "seams/views.h"
#include "views/glview.h"
#include "views/overlay_render.h"

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

protected:
    bool RenderFrame(const offscreen::PixelRows& rows) override;
    void DrawMarks(CDC& dc) override;
    void DrawFeaturePoints3D(CDC& dc);

    views::OverlayRenderCore core_;

    DECLARE_MESSAGE_MAP()
};
