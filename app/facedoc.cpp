#include "app/facedoc.h"

#include "app/mainframe.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "views/faceview.h"

CFaceDoc* actdoc = nullptr;

IMPLEMENT_DYNCREATE(CFaceDoc, CDocument)

CFaceDoc::CFaceDoc()
    : photoNumber(state().photoNumber), templateId(state().templateId), textureSize(state().textureSize) {
    templateId = 101;
    textureSize = 512;
    photoNumber = 0;
    actdoc = this;
    svc::setDocument(this);
    kernel2D = new CKernel2D(this);
    kernel3D = new CKernel3D(this);
}

CFaceDoc::~CFaceDoc() {
    delete kernel3D;
    delete kernel2D;
    if (actdoc == this) actdoc = nullptr;
    if (svc::detail::document == this) svc::setDocument(nullptr);
}

svc::FaceView* CFaceDoc::GetView(const char* name) { return GetView(CString(name)); }

CFaceView* CFaceDoc::GetView(const CString& name) {
    POSITION pos = GetFirstViewPosition();
    while (pos) {
        auto* v = dynamic_cast<CFaceView*>(GetNextView(pos));
        if (v && v->viewName == name) return v;
    }
    return nullptr;
}

CFaceView* CFaceDoc::GetViewOrigPhoto() { return GetView(CString("ViewOrigPhoto")); }
CFaceView* CFaceDoc::GetViewOrig2D() { return GetView(CString("ViewOrig2D")); }
CFaceView* CFaceDoc::GetViewEdit2D3D() { return GetView(CString("ViewEdit2D3D")); }
CFaceView* CFaceDoc::GetViewEdit3D() { return GetView(CString("ViewEdit3D")); }

void CFaceDoc::CameraView() {}
int CFaceDoc::LoadTHEResource() { return LoadTHEResource(templateId, true); }
void CFaceDoc::SetTitle(const std::string& title) { SetTitle(title.c_str()); }
void CFaceDoc::SetTitle(LPCSTR title) { CDocument::SetTitle(title); }
int CFaceDoc::LoadPicFile(CString) { return 1; }
int CFaceDoc::LoadTHEResource(unsigned, bool) { return 1; }
int CFaceDoc::SaveTHEResource() { return 1; }
void CFaceDoc::FreeMemoryForNewFAC() {}
void CFaceDoc::BrivantaType(char*) {}
CString CFaceDoc::SnapshotPath() const { return CString(); }
int CFaceDoc::SaveFACFile(CString, const char*, bool) { return 0; }
int CFaceDoc::LoadFACFile(CString, bool) { return 0; }
int CFaceDoc::LoadFACFileOLD(CString) { return 0; }
int CFaceDoc::SaveTHEFile(CString, const char*) { return 0; }
int CFaceDoc::LoadTHEFile(CString, bool) { return 0; }
int CFaceDoc::SavePHSFile2(CString) { return 0; }
int CFaceDoc::LoadPHSFile(CString) { return 0; }
int CFaceDoc::LoadXXXFile(CString, bool) { return 0; }
int CFaceDoc::SaveOBJFile(CString, int) { return 0; }
int CFaceDoc::LoadOBJFile(CString) { return 0; }
CMainFrame* CFaceDoc::Frame() const { return dynamic_cast<CMainFrame*>(AfxGetMainWnd()); }
