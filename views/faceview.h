#pragma once
// The base of the four panes of the main frame's splitter: the view's name,
// the placement of the picture in the photo views, the selection, the
// rubber figures and the mouse state, the activation and tool-lock rules,
// the corner markers of the active pane, the drawing of feature points and
// the view's section of the project file. The frame and the document reach
// the panes through this class.

#include <vector>

#include "document/view_section.h"
#include "fitting/projection.h"
#include "foundation/chain.h"
#include "foundation/filetb.h"
#include "foundation/named.h"
#include "foundation/selection.h"
#include "framework/ui.h"
#include "seams/views.h"
#include "views/photo_map.h"

class CFaceDoc;
class CViewEdit3D;
class CWinBmp;
class featureline2;
class head2;
class head3;

namespace views {
class GLViewCore;
}  // namespace views

namespace svc {
class MainFrame;
class PointPage;
class CurvePage;
}  // namespace svc

class CFaceView : public CView, public virtual svc::FaceView {
    DECLARE_DYNAMIC(CFaceView)
public:
    CFaceView(CFaceDoc* doc, int paneId);
    ~CFaceView() override;

    CFaceDoc* GetDocument() const;
    // The main frame (null while the document has none).
    svc::MainFrame* Frame() const;
    // The document's 3D view (null before the splitter made it).
    CViewEdit3D* View3D() const;
    // The marking pages while their windows exist.
    svc::PointPage* PointPage() const;
    svc::CurvePage* CurvePage() const;
    // The photo kernel's marks and working picture, the document's head
    // (null while there is none).
    head2* Marks() const;
    const CWinBmp* WorkingBitmap() const;
    head3* Head() const;
    int Stage() const;
    // abs(photoNumber): the feature group whose codes are shown.
    int FeatureGroup() const;

    // The name by which the document finds the view: "ViewOrigPhoto",
    // "ViewOrig2D", "ViewEdit2D3D" or "ViewEdit3D".
    CString viewName = "FaceView";
    bool IsViewOrigPhoto() const { return viewName == "ViewOrigPhoto"; }
    bool IsViewOrig2D() const { return viewName == "ViewOrig2D"; }
    bool IsViewEdit3D() const { return viewName == "ViewEdit3D"; }
    bool IsViewEdit2D3D() const { return viewName == "ViewEdit2D3D"; }

    // Flags the frame and the pages set and read.
    bool active = false;          // the frame's active pane: corner markers
    bool featureDisplay = false;  // feature points and lines drawn
    bool lineFinished = true;     // no feature line is being drawn
    bool newlyActivated = false;  // during one OnMouseActivate
    bool activatingClick = false; // the last click activated this view

    // Picture placement of the photo views: picture pixel p at client
    // point zoom * p + offset.
    views::PhotoMap map;
    int defaultEyeDistance = 200;
    // The client size seen by the last size message (0 before the first).
    CSize lastSize{0, 0};

    // Rubber figures, inverted on the screen and erased by drawing them
    // again: the polyline (flag i: draw the segment from point i - 1) and
    // whether a spline or a rectangle (the clone cross) is on the screen.
    std::vector<vector2<double>> rubberPoints;
    std::vector<bool> rubberFlags;
    bool rubberSplineShown = false;
    bool rubberRectShown = false;
    CPoint lastRubber{0, 0};  // last rectangle corner or cross centre

    // Mouse state.
    CPoint pressPoint{0, 0};
    CPoint dragPoint{0, 0};
    bool pressed = false;   // a button holds a tool drag
    bool itemDrag = false;  // a selected item is dragged

    // Picture points of the trace (nothing fills it; drawn and reset).
    fnd::chain<vector2<double>> trace{0, 10, 1.125};
    std::vector<IndexSelector> selection;
    // Every item within the pick radius of the last photo-view pick, and
    // the position of the nearest among them.
    std::vector<IndexSelector> candidates;
    int candidateCursor = 0;
    // Row of the feature-point or feature-line table the placing tools use.
    int currentRow = 0;

    // Frames drawn (paints), for tests and benchmarks.
    long paints = 0;

    // ---- the view operations
    void ClearAllViewSettings() override;
    // Fits the picture or the head into the pane (the base redraws).
    void FitInView() override;
    // The four corner markers of the active pane; off paints their shapes
    // in the DC's background colour.
    virtual void ShowMarkers(bool on);
    virtual BOOL SelectItem(CPoint& point, UINT mask);
    // Whether the tool may change now; clears the selection when asked.
    virtual BOOL CanChangeTool(bool clearSelection);
    // The view's section of the project file. A damaged section fails the
    // stream and leaves the view as it was.
    void writeOpenGL(fnd::fileTB& f) override;
    void readOpenGL(fnd::fileTB& f) override;
    virtual BOOL DeleteSelectedItems() { return FALSE; }
    // Client pixels to picture pixels.
    virtual lintraf11 cl2bmp_lintraf11();
    virtual void ResizeViewPort(int, int) {}
    virtual void DrawFeaturePoints(bool mainPoints) {}
    virtual void SetNewRubberForSpline(CPoint* cursor) {}
    virtual void DrawRubberSpline();
    void DeleteRubberForSpline();
    void DrawRubberPoint(CPoint* p);
    void DrawRubberArrow(CPoint* a, CPoint* b);
    void DrawRubberRectangle(CPoint* a, CPoint* b);
    virtual void DrawSelectedItems(bool highlight) {}

    // The 2D feature lines this view edits (null: none) and its map from
    // picture pixels to client pixels.
    virtual fnd::commonchain_of_named_instance<featureline2>* Lines2D() const { return nullptr; }
    virtual vector2<double> PictureToClient(const vector2<double>& p) const { return map.toClient(p); }

    // The camera values of the section (the GL views: their core's).
    virtual views::ViewSection Section() const;
    virtual void ApplySection(const views::ViewSection& s);
    // The GL views' window-free part (null for the photo views).
    virtual views::GLViewCore* Core() { return nullptr; }
    // The camera of a GL view (null for the photo views).
    ProjectionCore* Camera() override;
    // The pose of the head back to its start (GL views).
    void ResetPose() override;
    // The GL views' fit of their viewport over a photo.
    BOOL FitToPhoto(long width, long height, double mx, double my) override;
    // The plain-colour switch of the photo-with-marks and the 3D view.
    virtual bool PlainColour() const { return false; }
    // The overlay view shows its background picture.
    virtual bool ShowsBackground() const { return false; }

    // Eye, centre and up from the base camera turned by the angles.
    void CalculateEyeFromAngles();
    // The 3D view's off-screen picture into bmp (32 bits), and the client
    // rounded up to fours written as a BMP file; false when nothing was
    // rendered.
    bool MakeWinBmp(CWinBmp& bmp, bool unused = false);
    bool MakePhoto(const CString& path);

    // svc::FaceView
    std::string_view ViewName() const override { return viewName.View(); }
    fnd::htraf3<double> OpenGL2htraf() override;
    fnd::htraf3<double> cl2bmp_HTRAF3() override;
    void Redraw() override;
    void InvalidateView() override;

    // Framework.
    void OnDraw(CDC* dc) override;
    void OnActivateView(BOOL activate, CView* activated, CView* deactivated) override;
    BOOL OnNextPaneCmd(UINT id) override;
    int OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    // The middle button starts a zoom drag in every view.
    void OnMButtonDown(UINT flags, CPoint point) override;
    BOOL OnEraseBkgnd(CDC* dc) override;

protected:
    // Beep with MB_ICONASTERISK.
    static void Beep();
    // Back to Select (tool 1, sub-mode 0) in the frame.
    void BackToSelect();
    // The frame's tool and sub-mode (1 and 0 without a frame).
    int Tool() const;
    int ToolMode() const;
    CSize ClientSize() const;

    // The photo views' shared handlers.
    void PhotoFitInView();
    void PhotoWheel(short delta);
    void PhotoSize(int cx, int cy);
    void PhotoZoomStep(double f);
    void PhotoPan(CPoint cursor);
    void DrawPicture(CDC* dc);

    views::ViewSection photoSection_;  // the photo views' camera values
    // A fit asked for while the pane had no size, done when it gets one.
    bool photoFitPending_ = false;
    struct PendingFit {
        bool pending = false;
        long width = 0, height = 0;
        double mx = 0, my = 0;
    } glFitPending_;

    DECLARE_MESSAGE_MAP()
};
