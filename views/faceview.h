#pragma once
// The base of the four panes of the main frame's splitter. The frame and
// the document reach the panes through this class: by name, by the tool
// rules, by refitting and resetting them and through their cameras.

#include "fitting/projection.h"
#include "foundation/filetb.h"
#include "framework/ui.h"
#include "seams/views.h"

class CFaceDoc;

class CFaceView : public CView, public virtual svc::FaceView {
    DECLARE_DYNAMIC(CFaceView)
public:
    CFaceView(CFaceDoc* doc, int paneId);
    ~CFaceView() override;

    CFaceDoc* GetDocument() const;

    // The name by which the document finds the view: "ViewOrigPhoto",
    // "ViewOrig2D", "ViewEdit2D3D" or "ViewEdit3D".
    CString viewName = "FaceView";
    bool IsViewOrigPhoto() const { return viewName == "ViewOrigPhoto"; }
    bool IsViewOrig2D() const { return viewName == "ViewOrig2D"; }
    bool IsViewEdit3D() const { return viewName == "ViewEdit3D"; }
    bool IsViewEdit2D3D() const { return viewName == "ViewEdit2D3D"; }

    // Flags the frame and the pages set and read.
    bool active = false;          // the frame's active pane
    bool featureDisplay = false;  // feature points and lines drawn
    bool lineFinished = true;     // no feature line half drawn

    virtual void ClearAllViewSettings();
    // Fits the picture or the head into the pane (the base redraws).
    virtual void FitInView();
    // Whether the tool may change now; clears the selection when asked.
    virtual BOOL CanChangeTool(bool clearSelection);
    virtual void writeOpenGL(fnd::fileTB& f);
    virtual void readOpenGL(fnd::fileTB& f);

    // The camera of a GL view (null for the photo views).
    virtual ProjectionCore* Camera() { return nullptr; }
    // The pose of the head back to its initial value (GL views).
    virtual void ResetPose() {}
    // The overlay view's fit of its viewport over the working photo.
    virtual BOOL FitToPhoto(long width, long height, double mx, double my);
    // The plain-colour switch of the photo-with-marks and the 3D view.
    virtual bool PlainColour() const { return false; }
    // The overlay view shows its background picture.
    virtual bool ShowsBackground() const { return false; }

    // svc::FaceView, answered by the camera where there is one.
    fnd::htraf3<double> OpenGL2htraf() override;
    fnd::htraf3<double> cl2bmp_HTRAF3() override;
    void Redraw() override;

    void OnDraw(CDC* dc) override;

protected:
    DECLARE_MESSAGE_MAP()
};
