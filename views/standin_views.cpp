// Panes of the frame until the views proper are linked: each carries its
// view name and answers the view seams through a camera of its own.

#include "app/facedoc.h"
#include "views/faceview.h"
#include "views/viewclasses.h"

class CStandInOrigPhoto : public CFaceView {
    DECLARE_DYNCREATE(CStandInOrigPhoto)
public:
    CStandInOrigPhoto(CFaceDoc* doc, int id) : CFaceView(doc, id) { viewName = "ViewOrigPhoto"; }
};

class CStandInOrig2D : public CFaceView {
    DECLARE_DYNCREATE(CStandInOrig2D)
public:
    CStandInOrig2D(CFaceDoc* doc, int id) : CFaceView(doc, id) { viewName = "ViewOrig2D"; }
};

class CStandInEdit2D3D : public CFaceView, public svc::ViewEdit2D3D {
    DECLARE_DYNCREATE(CStandInEdit2D3D)
public:
    CStandInEdit2D3D(CFaceDoc* doc, int id) : CFaceView(doc, id) { viewName = "ViewEdit2D3D"; }
    ProjectionCore* Camera() override { return &camera_; }
    int Coord3Dto2D(generalpoint3&, int) override { return 0; }
    int Coord3Dto2DBMP(const fnd::vector3<double>& p, fnd::vector2<double>& out) override {
        return camera_.Coord3Dto2DBMP(p, out) ? 1 : 0;
    }
    void InitializeModelForOpenGL() override {}

private:
    ProjectionCore camera_;
};

class CStandInEdit3D : public CFaceView, public svc::ViewEdit3D {
    DECLARE_DYNCREATE(CStandInEdit3D)
public:
    CStandInEdit3D(CFaceDoc* doc, int id) : CFaceView(doc, id) { viewName = "ViewEdit3D"; }
    ProjectionCore* Camera() override { return &camera_; }
    void InitializeModelForOpenGL(int, int) override {}

private:
    ProjectionCore camera_;
};

IMPLEMENT_DYNCREATE_DOC(CStandInOrigPhoto, CFaceView, CFaceDoc)
IMPLEMENT_DYNCREATE_DOC(CStandInOrig2D, CFaceView, CFaceDoc)
IMPLEMENT_DYNCREATE_DOC(CStandInEdit2D3D, CFaceView, CFaceDoc)
IMPLEMENT_DYNCREATE_DOC(CStandInEdit3D, CFaceView, CFaceDoc)

const CRuntimeClass* ViewOrigPhotoClass() { return RUNTIME_CLASS(CStandInOrigPhoto); }
const CRuntimeClass* ViewOrig2DClass() { return RUNTIME_CLASS(CStandInOrig2D); }
const CRuntimeClass* ViewEdit2D3DClass() { return RUNTIME_CLASS(CStandInEdit2D3D); }
const CRuntimeClass* ViewEdit3DClass() { return RUNTIME_CLASS(CStandInEdit3D); }
