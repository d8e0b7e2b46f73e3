#pragma once
// The free 3D head view: the head kernel's display lists, lit or textured,
// rendered off screen into the view's area of the frame's surface, then the
// marks over it with the DC. Its camera, viewport and zoom live in its
// HeadRenderCore.

#include "model/brush.h"
#include "picture/winbmp.h"
#include "seams/views.h"
#include "views/glview.h"
#include "views/head_render.h"

class featureline3;

class CViewEdit3D : public CGLFaceView, public svc::ViewEdit3D {
    DECLARE_DYNCREATE(CViewEdit3D)
public:
    CViewEdit3D(CFaceDoc* doc, int paneId);
    ~CViewEdit3D() override;

    views::HeadRenderCore& core() { return core_; }
    views::GLViewCore* Core() override { return &core_; }

    // The head's octree (the first flag: re-centred), the display mode
    // from the stage and the display lists (the second flag: list 2
    // alone); a texture the head has gained or changed since is uploaded.
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

    // ---- editing (mouse and keys)
    // The nearest mark within 30 pixels of the mask's kinds (4 line points,
    // 8 feature points, 2 free points, 1 extra points) appended to the
    // selection (which keep keeps); false when none or marks are hidden.
    BOOL SelectItem(CPoint& point, UINT mask) override { return SelectItem(point, mask, false); }
    BOOL SelectItem(CPoint& point, UINT mask, bool keep);
    // One point placed on the surface under p (snapped with shift); false,
    // the line as before, when it cannot be placed.
    bool appendPoint(const vector2<double>& p, fnd::Index<featureline3> line, bool ctrl, bool shift);
    BOOL DeleteSelectedItems() override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnRButtonDown(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

    // ---- drawing of the marks
    void DrawFeatureLines();
    void DrawFreePoints();
    void DrawExtraPoints();
    void DrawSelectedItems(bool highlight) override;
    void SetNewRubberForSpline(CPoint* cursor) override { SetNewRubberForSpline(false, cursor); }
    void SetNewRubberForSpline(bool shift, CPoint* cursor);
    void DrawRubberSpline() override;

    // ---- clone brush and free tool
    // The palettes' values as the view last read them.
    struct ToolValues {
        int radius = 10;  // free tool
        int shape = 0;    // free tool mode 0..3
    };
    ToolValues Palettes();
    bool MirrorTool() const;

    // Editing state.
    fnd::Index<featureline3> activeLine = -1;
    bool newLinePending = true;
    bool centralPress = true;
    bool redrawOnRelease = false;
    bool locked = false;
    int pendingCode = 0;  // the table row the next placing click uses
    // View-local marks: free points in head space and edit points.
    fnd::chain<vector3<double>> freePoints{0, 10, 1.5};
    fnd::chain<generalpoint3> extraPoints{0, 10, 1.5};
    // Visibility modes of free and extra points (base point, own).
    int furtherModes[2] = {3, 3};
    // The turn's pixels not yet spent (yaw, roll).
    int yawCarry = 0, rollCarry = 0;
    // Free tool.
    vector3<double> grabbed;
    CPoint freePress{0, 0}, freeShift{0, 0};
    bool pulled = false;
    int pullRadius = 10;
    // Clone brush: source as height and angle (this view) or pixel (photo view).
    double cloneHeight = 0, cloneAngle = 0;
    vector3<double> cloneSourcePoint;

    void ClearAllViewSettings() override;
    void FitInView() override;
    // The fit also fixes the client extent to the client it fitted into.
    BOOL FitToPhoto(long width, long height, double mx, double my) override;
    // The fixed client extent as (0, 0, width, height) when both are set,
    // else the window's client rectangle.
    void GetClientRectSpecial(RECT* r) const;
    double fixedClientWidth = 0.0, fixedClientHeight = 0.0;
    // FitToPhoto over the working photo with the view's margins, then a redraw.
    void FitInBlock();
    // What the camera search found, as the overlay holds it: its principal-
    // point offset becomes the margins and its opening angle this view's;
    // with camera, its eye, centre and up this view's camera at zero
    // angles. Then the fit.
    // So the head lies on the photo as in the overlay, and turns keep its
    // distance.
    void TakeCamera(const ProjectionCore& overlay, bool camera) override;
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

    void DrawFeatureLines(CDC& dc);
    void DrawFreePoints(CDC& dc);
    void DrawExtraPoints(CDC& dc);
    void DrawSelectedItems(CDC& dc, bool highlight);
    void DrawLineOnSurface(CDC& dc, fnd::Index<featureline3> l, COLORREF curve, COLORREF fill, bool invert);
    // Window position and visibility of a head-space point.
    bool ProjectPoint(const vector3<double>& p, int mode, vector2<double>* win);
    void PagesRefresh();
    void Turn(double dPitch, double dYaw, double dRoll);
    // Clone brush and free tool handlers.
    void ClonePress(UINT flags, CPoint point);
    void CloneMove(UINT flags, CPoint point);
    bool CloneDab(int u, int v, const generalpoint3& hit);
    bool ReuploadTexture();
    void FreePress(UINT flags, CPoint point);
    void FreePull();
    void FreeRelease();
    void RebuildLists(bool gatheredOnly);
    TexturePainter painter_;

    views::HeadRenderCore core_;

    DECLARE_MESSAGE_MAP()
};
