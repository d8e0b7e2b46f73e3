#pragma once
// What the layers below the shell use of it: the values of the application
// object and its few commands, the one document's values and calls (for the
// model and fitting code), the main frame with the tool state every view
// obeys, and the work-flow driver the step pages send their codes to. The
// real shell implements these interfaces and installs them; tests install
// the fakes of tests/support/.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/dynarray.h"
#include "foundation/vecmath.h"
#include "seams/dialogs.h"
#include "seams/views.h"

class CWinBmp;
class CWnd;
class CKernel2D;
class CKernel3D;

namespace fnd {
class fileTB;
}

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
    int32_t proMode = 0;          // 1 "Pro": step 2 shows the feature-curve page
    int32_t objHeadImported = 0;  // 1 after a head came from an OBJ file
    double version = 5.0;
};

class FaceApp {
public:
    virtual ~FaceApp() = default;
    AppState& state() { return state_; }
    const AppState& state() const { return state_; }
    // Ends the program at once (a refused picture in the DAZ or picture-editor mode).
    virtual void EndProgram(int code) { std::exit(code); }
    // The manual ("pdf") or the video ("wmv").
    virtual void Help(int topic, const char* kind) {}
    // The statistics in a box.
    virtual void OnAppAboutShort() {}
    // The figure and the object name the DAZ host gave at launch ("---"
    // and "Untitled" when it gave none).
    virtual std::string DazFigureName() const { return "---"; }
    virtual std::string DazObjectName() const { return "Untitled"; }

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

// The main frame as the views, the pages and the document see it. Where no
// frame is installed, or a call has nothing to do, the defaults here hold.
class MainFrame {
public:
    virtual ~MainFrame() = default;

    // The tool state every view obeys and the pages set: tool 0 places or
    // edits with toolMode as its sub-mode, 1 Select, 2 Zoom, 3 and 4
    // rectangle zoom, 5 Move; the zoom and move commands keep the pair
    // they replace.
    int tool = 1;
    int previousTool = 1;
    int toolMode = 0;
    int previousToolMode = 0;
    int freeTool = 0;  // 1 while the free-hand tool palette is open
    int layout = 4;    // 1, 2 or 4 panes
    // Set while a project file is being read.
    int projectLoaded = 0;
    // A refinement with a new photo is under way.
    int refining = 0;
    // The view that keeps the activation (the marking pages lock one); the
    // view that was active last.
    FaceView* lockedView = nullptr;
    FaceView* lastActiveView = nullptr;

    // The model step: fit the head to the photo and build the texture.
    virtual void Model() = 0;
    // Two-pane layout of the splitter.
    virtual void OnViews2() = 0;

    // The layouts: one pane, two (the 3D view beside the overlay), and the
    // photo panes made anew (photo first when start).
    virtual void OnViews1() {}
    virtual void OnViews2A() {}
    virtual void ChangeViews(bool start) {}
    // Step 1 and step 2 as their commands start them.
    virtual void OnPhotoMode() {}
    virtual void OnCameraMode() {}
    // The model page over an opened modelled project (nothing while it is open).
    virtual void OpenModelPage() {}
    // Closes the step pages and the palettes.
    virtual void HideModelessDialogs() {}
    // A refinement whose new photo was not taken: the modelled project and
    // its model page again.
    virtual void CancelRefinement() {}
    // Greys the Undo and Redo menu items.
    virtual void DisableUndoItems() {}
    // The frame's section of the project file: client width and height.
    virtual void writeOpenGL(fnd::fileTB& f) const = 0;
    virtual void readOpenGL(fnd::fileTB& f) = 0;

    // Makes the view active (its pane too); the active view, null when none.
    virtual void ActivateView(FaceView* view) {}
    virtual FaceView* ActiveFaceView() const { return nullptr; }

    // The marking pages and the template preparation while their windows
    // exist; the tool palettes while they are made.
    virtual PointPage* OpenPointPage() const { return nullptr; }
    virtual CurvePage* OpenCurvePage() const { return nullptr; }
    virtual PrepPage* OpenPrepPage() const { return nullptr; }
    virtual FreeToolPalette* FreeToolPaletteMade() const { return nullptr; }
    virtual BrushPalette* BrushPaletteMade() const { return nullptr; }
    // Deletes a page whose window is gone: at once, or after the page's own
    // running handler has returned.
    virtual void ForgetPage(CWnd* page) {}

    // The commands the pages run straight.
    virtual void OnSelect() {}
    virtual void OnRectZoom() {}
    virtual void OnRectZoom2() {}
    virtual void OnFitZoom() {}
    virtual void OnMove() {}
    virtual void OnClone() {}
    virtual void OnFreeTool() {}
    virtual void OnNotes() {}
    virtual void OnStat() {}
    virtual void OnAge() {}
    // Step 3's model page: opened on its layout, or closed when open.
    virtual void ShowModelPage() {}
    // A command as a menu sends it: it runs only while enabled.
    virtual void SendCommand(unsigned id) {}
};

// The work-flow driver: the one entry through which a step page asks for
// the next action, by its step code.
class WorkFlow {
public:
    virtual ~WorkFlow() = default;
    virtual void NextFunction(int code, int unused = 0) = 0;
};

namespace detail {
inline FaceApp* app = nullptr;
inline FaceDocument* document = nullptr;
inline MainFrame* mainFrame = nullptr;
inline WorkFlow* workFlow = nullptr;
}  // namespace detail

// Never null: without an installed application the start-up values hold.
inline FaceApp& app() {
    static FaceApp defaults;
    return detail::app ? *detail::app : defaults;
}
inline void setApp(FaceApp* a) { detail::app = a; }
// Whether an application is installed: values written without one would
// change the start-up values.
inline bool hasApp() { return detail::app != nullptr; }

// Null while no document lives.
inline FaceDocument* document() { return detail::document; }
inline void setDocument(FaceDocument* d) { detail::document = d; }

// Null while no main frame exists.
inline MainFrame* mainFrame() { return detail::mainFrame; }
inline void setMainFrame(MainFrame* f) { detail::mainFrame = f; }

// Null while no work-flow driver is installed: a step code then goes nowhere.
inline WorkFlow* workFlow() { return detail::workFlow; }
inline void setWorkFlow(WorkFlow* w) { detail::workFlow = w; }
// A page's step code to the installed work-flow driver.
inline void sendStep(int code) {
    if (WorkFlow* w = workFlow()) w->NextFunction(code);
}

}  // namespace svc
