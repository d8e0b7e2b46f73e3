#pragma once
// What the two GL views share as windows: their context made and freed with
// the window, the size messages, the frame (the core renders into the
// view's area of the frame's surface, the marks follow with the DC, then
// the area is presented), the wheel and the middle-button zoom.

#include "views/faceview.h"
#include "views/gl_view_core.h"

class CGLFaceView : public CFaceView {
    DECLARE_DYNAMIC(CGLFaceView)
public:
    CGLFaceView(CFaceDoc* doc, int paneId) : CFaceView(doc, paneId) {}

    // One frame through a client DC, or onto the DC of a paint.
    void DrawScene();
    void DrawScene(CDC& dc);

    // The viewport zoomed to a client rectangle (a zero side: only the
    // redraw), then a frame unless noRedraw.
    void Zoom(const ZoomRect& r, bool noRedraw = false);
    void Zoom(double factor, bool noRedraw = false);
    void setLinTrafos() override;
    lintraf11 cl2bmp_lintraf11() override;
    views::ViewSection Section() const override;
    void ApplySection(const views::ViewSection& s) override;

    int OnCreate(LPCREATESTRUCT cs) override;
    void OnDestroy() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
    void OnMButtonUp(UINT flags, CPoint point) override;

protected:
    // The frame's refinement flag.
    bool Refining() const;
    // The core's render into the client's pixels; false when nothing was
    // rendered.
    virtual bool RenderFrame(const offscreen::PixelRows& rows) = 0;
    // The marks after a frame.
    virtual void DrawMarks(CDC& dc) {}
    const views::GLViewCore& core() const { return *const_cast<CGLFaceView*>(this)->Core(); }

    DECLARE_MESSAGE_MAP()
};
