#pragma once
// The free 3D head view: the head kernel's display lists, lit or textured,
// rendered off screen into the view's area of the frame's surface, then the
// marks over it with the DC. Its camera, viewport and zoom live in its
// HeadRenderCore.

#include "picture/winbmp.h"
#include "seams/views.h"
#include "views/glview.h"
#include "views/head_render.h"

class CViewEdit3D : public CGLFaceView, public svc::ViewEdit3D {
    DECLARE_DYNCREATE(CViewEdit3D)
public:
    CViewEdit3D(CFaceDoc* doc, int paneId);
    ~CViewEdit3D() override;

    views::HeadRenderCore& core() { return core_; }
    views::GLViewCore* Core() override { return &core_; }

    // The head's octree (the first flag: re-centred), the display mode
    // from the stage and the display lists (the second flag: list 2
    // alone); a texture the head has gained since is uploaded.
    void InitializeModelForOpenGL(int octree = 0, int gatheredOnly = 0) override;
    // The head's texture into this view's context; false without one.
    bool UploadTexture();
    // The scene off screen into bmp (32 bits), then the four views redrawn;
    // false, bmp unchanged, when nothing could be rendered.
    bool MakeWinBmp(CWinBmp& bmp);
    // The client, each side rounded up to the multiple of 4 above it,
    // written as a BMP file; false and no file when nothing was rendered.
    bool MakePhoto(const CString& path);

    // Projections through the view's camera, cached per frame.
    bool Coord3Dto2D(generalpoint3& p, int mode = 0) { return core_.Coord3Dto2D(p, mode); }
    bool Coord2Dto3D(const vector2<double>& w, generalpoint3& out) { return core_.Coord2Dto3D(w, out); }
    bool Coord2Dto3DTest(const vector2<double>& w) { return core_.Coord2Dto3DTest(w); }
    // Head-space displacement of a mouse displacement.
    vector3<double> Vector2Dto3D(CPoint d) const { return core_.Vector2Dto3D(d.x, d.y, freeToolDepth); }

    // The head's feature point of that name (null or empty: the first row
    // of the point table placed on the head) as a green disc, when visible.
    void DrawActiveFeaturePoint(const CString* name, bool unused);
    // The head's feature points bound to the surface that the camera sees
    // and that are not selected, as green discs.
    void DrawFeaturePoints(bool mainPoints) override;

    void ClearAllViewSettings() override;
    void FitInView() override;
    // FitToPhoto over the working photo with the view's margins, then a redraw.
    void FitInBlock();
    void writeOpenGL(fnd::fileTB& f) override;
    void readOpenGL(fnd::fileTB& f) override;

    int freeToolDepth = 0;
    // The photo block's margins for FitInBlock.
    double marginX = 0, marginY = 0;

    // The clone brush's source, picked here or in the original-photo view:
    // state -1 none, 0 picked, 1 offsets known; positions in pixels of the
    // view's copy of the photo.
    int cloneState = -1;
    vector2<double> cloneSource;
    vector2<double> cloneLastPainted;
    int cloneLastTriangle = -1;
    double cloneOffsets[3] = {0, 0, 0};
    CFaceView* cloneSourceView = nullptr;
    CWinBmp clonePhoto;

protected:
    bool RenderFrame(const offscreen::PixelRows& rows) override;
    void DrawMarks(CDC& dc) override;
    void DrawFeaturePoints(CDC& dc);
    void DrawActiveFeaturePoint(CDC& dc, const CString* name);

    views::HeadRenderCore core_;
    const void* uploaded_ = nullptr;  // the texture pixels last uploaded

    DECLARE_MESSAGE_MAP()
};
