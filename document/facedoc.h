#pragma once
// The one document: how far the work flow has come, the template head in
// use, the project's names, the texture size, the photo and head kernels,
// and the way to the four views. It is also the svc::FaceDocument of the
// model and fitting code; templateId, photoNumber and textureSize are the
// seam's values under their own names. It knows the views and the frame
// above it only by the seams' interfaces.

#include <string>

#include "document/morph_state.h"
#include "framework/ui.h"
#include "picture/winbmp.h"
#include "seams/app.h"
#include "seams/views.h"

class CKernel2D;
class CKernel3D;

class CFaceDoc : public CDocument, public svc::FaceDocument {
    DECLARE_DYNCREATE(CFaceDoc)
public:
    CFaceDoc();
    ~CFaceDoc() override;

    CString headName;       // last head file without extension
    CString projectName;    // last project file without extension
    CString headExtension;  // ".the", ".phs"
    CKernel2D* kernel2D;
    CKernel3D* kernel3D;
    CString uniqueName;
    int stage = 0;  // 0, 1000 photo, 2000 perspective, 2500 modelled
    int32_t& photoNumber;
    int refineMode = 0;
    int32_t& templateId;
    unsigned char projectFlag = 0;
    int32_t& textureSize;
    int ageSlider = 0;     // positions of the model page's two sliders
    int weightSlider = 3;
    CWinBmp agePicture;
    // The age and weight the head's geometry and texture already carry (not
    // written to files): a new head carries none, a new texture no age.
    morph::CarriedMorph carried;
    int mirrorTool = 0;    // the palettes' "Mirror": brush and free tool act on both halves

    // svc::FaceDocument
    svc::FaceTables& tables() override { return tables_; }
    CKernel2D* photoKernel() override { return kernel2D; }
    CKernel3D* headKernel() override { return kernel3D; }
    svc::FaceView* GetView(const char* name) override;
    void CameraView() override;
    // The 3D view takes the overlay's principal-point offset and, with
    // camera, its camera: the head lies on the photo there as well.
    void ShareCameraWith3DView(bool camera);
    int LoadTHEResource() override;
    void SetTitle(const std::string& title) override;
    void SetTitle(LPCSTR title) override;

    // The view of that name (case-sensitive) as the caller's class of view:
    // null before the splitter made the views, or when it is of another.
    template <class View = svc::FaceView>
    View* GetViewOrigPhoto() {
        return dynamic_cast<View*>(GetView("ViewOrigPhoto"));
    }
    template <class View = svc::FaceView>
    View* GetViewOrig2D() {
        return dynamic_cast<View*>(GetView("ViewOrig2D"));
    }
    template <class View = svc::FaceView>
    View* GetViewEdit2D3D() {
        return dynamic_cast<View*>(GetView("ViewEdit2D3D"));
    }
    template <class View = svc::FaceView>
    View* GetViewEdit3D() {
        return dynamic_cast<View*>(GetView("ViewEdit3D"));
    }

    int LoadPicFile(CString path);
    int LoadTHEResource(unsigned id, bool clearOverlay);
    int SaveTHEResource();
    int CheckPoint(char) { return 0; }
    void DeleteAllUndoFiles() {}
    void FreeMemoryForNewFAC();
    void BrivantaType(char* code);
    // "<temporary folder>Tempmen100.the".
    CString SnapshotPath() const;
    // The project a refinement keeps to go back to: "<temporary folder>$23_4.tmp".
    static CString KeptStatePath();

    // Project and head files.
    int SaveFACFile(CString path, const char* mode, bool keep);
    int LoadFACFile(CString path, bool keep);
    int LoadFACFileOLD(CString path);
    // The stored preview of a project file for the open dialog (one white
    // pixel before version 2.005); false when the file does not read.
    bool GetFileMainInfo(CString path, CWinBmp* preview);
    // The same for any caller: the file's first kPreviewFirstRead bytes, and
    // more (up to kPreviewMostRead) only while the preview lies beyond them.
    static bool ReadPreview(const std::string& path, CWinBmp& preview);
    static constexpr std::size_t kPreviewFirstRead = std::size_t(96) << 10;
    static constexpr std::size_t kPreviewMostRead = std::size_t(24) << 20;
    int SaveTHEFile(CString path, const char* mode);
    int LoadTHEFile(CString path, bool clear);
    int SavePHSFile2(CString path);
    int LoadPHSFile(CString path);
    int LoadXXXFile(CString path, bool clear);
    int SaveOBJFile(CString path, int variant);
    int LoadOBJFile(CString path);

    // The frame of the document's views, else the main window, as the
    // frame the document calls (null without one).
    svc::MainFrame* Frame() const;

    // The name a dialog proposes for this document: its project name, else
    // its title (a new photo's name), without folder and extension;
    // "Untitled" when it has none.
    CString ProposedName() const;
    // Whether the photo marks hold a line the user drew (one the program
    // made is of kind 2).
    bool HasDrawnLines() const;

private:
    // The 3D view and the overlay view rebuilt and fitted over a new head.
    void showNewHead();
    svc::FaceTables tables_;
};

// The one document while it lives.
extern CFaceDoc* actdoc;
