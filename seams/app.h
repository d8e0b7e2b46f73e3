#pragma once
// What the model and fitting code use of the application shell: the values
// of the application object and of the one document, and the few calls into
// the document and the main frame. The real shell implements these
// interfaces and installs them; tests install the fakes of tests/support/.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "seams/dialogs.h"
#include "foundation/dynarray.h"
#include "foundation/vecmath.h"
#include "seams/views.h"

class CWinBmp;
class CKernel2D;
class CKernel3D;

namespace svc {

// Values of the application object.
struct AppState {
    int32_t pictureEditor = 1;  // 1 from construction on
    int32_t dazMode = 0;        // 0 on its own, 2 when started by the DAZ host
    int32_t headImport = 0;     // set while a head OBJ import runs
    int16_t language = 1033;    // 1033 English, 1038 Hungarian
    std::string programFolder;  // ends in a backslash
    // Matched against group and material names by the head reader.
    std::string headGroupKeyword = "head";
    std::string faceKeyword = "skinface";
    std::string altFaceKeyword = "skinhead";
    std::string lipKeyword = "lip";
    std::string eyeSocketKeyword = "eyesocket";
    std::string figureName = "Other";  // "Other": no figure, no DAZ morph
    CWinBmp* clipboardPicture = nullptr;
};

class FaceApp {
public:
    virtual ~FaceApp() = default;
    AppState& state() { return state_; }
    const AppState& state() const { return state_; }
    // Ends the program at once (a refused picture in the DAZ or picture-editor mode).
    virtual void EndProgram(int code) { std::exit(code); }

private:
    AppState state_;
};

// The document's Group, Material and TxtCoordinate tables and chosen rows.
struct GroupRow {
    char name[128] = {};
    fnd::vector3<double> value;  // the fitting adds its per-group offset here
};

struct MaterialRow {
    char name[128] = {};
};

struct TxtCoordinateRow {
    double u = 0, v = 0;
};

struct FaceTables {
    fnd::dynarray<GroupRow> groups;
    fnd::dynarray<MaterialRow> materials;
    fnd::dynarray<TxtCoordinateRow> txtCoordinates;
    // The chosen rows: -1 while unset, 0 after reading when nothing matched.
    int32_t headGroup = -1;
    int32_t faceMaterial = -1;
    int32_t lipMaterial = -1;
    int32_t eyeSocketMaterial = -1;
};

// Plain values of the document.
struct DocState {
    int32_t templateId = 0;      // 121 cube, 122 full head, 102 clipboard, 100 special; > 0: loaded
    int32_t textureSize = 1024;  // side of the square head texture
    // 0 for the first photo, n for the n-th refinement photo (negative while
    // the crop page is open); its absolute value chooses the feature codes
    // valid for the photo.
    int32_t photoNumber = 0;
    bool startPageChoice = false;
    int32_t counter = 0;
    bool age0 = false;  // picture-editor flow ends with the age-0 morph
    std::string name;
};

class FaceDocument {
public:
    virtual ~FaceDocument() = default;

    DocState& state() { return state_; }
    const DocState& state() const { return state_; }
    virtual FaceTables& tables() = 0;

    virtual CKernel2D* photoKernel() = 0;
    virtual CKernel3D* headKernel() = 0;

    // Null when the document has no view of that name.
    virtual FaceView* GetView(const char* name) = 0;
    FaceView* GetViewOrigPhoto() { return GetView("ViewOrigPhoto"); }
    FaceView* GetViewOrig2D() { return GetView("ViewOrig2D"); }
    ViewEdit3D* GetViewEdit3D() { return dynamic_cast<ViewEdit3D*>(GetView("ViewEdit3D")); }
    ViewEdit2D3D* GetViewEdit2D3D() { return dynamic_cast<ViewEdit2D3D*>(GetView("ViewEdit2D3D")); }

    // The camera step.
    virtual void CameraView() = 0;
    // Reads the TEMPLATE head of the template id into the head kernel.
    virtual int LoadTHEResource() = 0;
    // The framework's window title of the document.
    virtual void SetTitle(const std::string& title) = 0;

private:
    DocState state_;
};

class MainFrame {
public:
    virtual ~MainFrame() = default;
    // The model step: fit the head to the photo and build the texture.
    virtual void Model() = 0;
    // Two-pane layout of the splitter.
    virtual void OnViews2() = 0;
    int freeTool = 0;  // 1 while the free-hand tool palette is open
};

namespace detail {
inline FaceApp* app = nullptr;
inline FaceDocument* document = nullptr;
inline MainFrame* mainFrame = nullptr;
}  // namespace detail

// Never null: without an installed application the start-up values hold.
inline FaceApp& app() {
    static FaceApp defaults;
    return detail::app ? *detail::app : defaults;
}
inline void setApp(FaceApp* a) { detail::app = a; }

// Null while no document lives.
inline FaceDocument* document() { return detail::document; }
inline void setDocument(FaceDocument* d) { detail::document = d; }

// Null while no main frame exists.
inline MainFrame* mainFrame() { return detail::mainFrame; }
inline void setMainFrame(MainFrame* f) { detail::mainFrame = f; }

}  // namespace svc
