#include "document/facedoc.h"

#include <cstdlib>
#include <string>

#include "document/head_files.h"
#include "document/project_file.h"
#include "document/tempfolders.h"
#include "fitting/camera_search.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "foundation/numeric.h"
#include "foundation/path_parts.h"
#include "framework/paths.h"
#include "framework/resources.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/morph.h"

CFaceDoc* actdoc = nullptr;

IMPLEMENT_DYNCREATE(CFaceDoc, CDocument)

namespace {

bool readable(const std::string& posixPath) { return fnd::IsFileExist(posixPath.c_str()) > 0; }

}  // namespace

CFaceDoc::CFaceDoc()
    : photoNumber(state().photoNumber), templateId(state().templateId), textureSize(state().textureSize) {
    uniqueName = fnd::randstring();
    stage = 0;
    photoNumber = 0;
    refineMode = 0;
    templateId = 101;
    textureSize = 512;
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

svc::MainFrame* CFaceDoc::Frame() const {
    for (CView* v : m_viewList)
        if (auto* f = dynamic_cast<svc::MainFrame*>(v->GetParentFrame())) return f;
    return dynamic_cast<svc::MainFrame*>(AfxGetMainWnd());
}

// ---------------------------------------------------------------- views

svc::FaceView* CFaceDoc::GetView(const char* name) {
    POSITION pos = GetFirstViewPosition();
    while (pos) {
        auto* v = dynamic_cast<svc::FaceView*>(GetNextView(pos));
        if (v && v->ViewName() == std::string_view(name)) return v;
    }
    return nullptr;
}

void CFaceDoc::SetTitle(const std::string& title) { SetTitle(title.c_str()); }
void CFaceDoc::SetTitle(LPCSTR title) { CDocument::SetTitle(title); }

CString CFaceDoc::ProposedName() const {
    std::string name(projectName.View());
    if (name.empty() || name == "Untitled") name = std::string(GetTitle().View());
    name = fnd::SplitPath(name).base;
    return name.empty() ? CString("Untitled") : CString(name.c_str());
}

bool CFaceDoc::HasDrawnLines() const {
    const head2* marks = kernel2D ? kernel2D->head : nullptr;
    if (!marks) return false;
    for (const auto* lines : {&marks->photoLines, &marks->overlayLines})
        for (int l = lines->first(); l != -1; l = lines->nextOf(l))
            if ((*lines)[l].n != 2) return true;
    return false;
}

// ---------------------------------------------------------------- photo

int CFaceDoc::LoadPicFile(CString path) {
    CWaitCursor wait;
    svc::MainFrame* frame = Frame();
    CString title = GetTitle();
    if (frame) {
        frame->ActivateView(GetViewOrig2D());
        frame->OnViews1();
    }
    for (svc::FaceView* v : {GetViewOrigPhoto(), GetViewOrig2D()})
        if (v) v->ClearAllViewSettings();
    if (photoNumber < 1) SetTitle("Untitled");
    const int keptPhotoNumber = photoNumber;
    int taken = kernel2D->LoadPicFile(path);
    if (!taken && (kernel2D->decodeFailed || kernel2D->abandoned)) {
        // A file that is no picture, or a start page left by Cancel, leaves
        // the open project as it was.
        photoNumber = std::abs(int(keptPhotoNumber));
        SetTitle(title);
        for (svc::FaceView* v : {GetViewOrigPhoto(), GetViewOrig2D()})
            if (v) v->FitInView();
        if (frame) frame->CancelRefinement();
        return 1;
    }
    stage = 1000;
    for (svc::FaceView* v : {GetViewOrigPhoto(), GetViewOrig2D()})
        if (v) v->FitInView();
    if (taken) {
        uniqueName = fnd::randstring();
        uniqueName += ("_" + fnd::SplitPath(path.View()).base).c_str();
        // A new project: its name is the photo's (the title), not the one
        // of the project opened before.
        if (keptPhotoNumber < 1) projectName = "Untitled";
        photoNumber = std::abs(photoNumber);
        if (photoNumber > 0) {
            if (svc::FaceView* v = GetViewEdit2D3D()) {
                if (auto* overlay = dynamic_cast<svc::ViewEdit2D3D*>(v)) overlay->InitializeModelForOpenGL();
                v->FitInView();
            }
        } else {
            LoadTHEResource(templateId, true);
        }
        if (frame) frame->OnPhotoMode();
    } else {
        FreeMemoryForNewFAC();
        stage = 0;
        SetTitle("Untitled");
        for (svc::FaceView* v : {GetViewOrigPhoto(), GetViewOrig2D(), GetViewEdit3D(), GetViewEdit2D3D()})
            if (v) v->Redraw();
    }
    return 1;
}

// ---------------------------------------------------------------- template head

CString CFaceDoc::SnapshotPath() const {
    CString path;
    path.Format("%sTempmen%03d.the", files::TempFolder().c_str(), 100);
    return path;
}

CString CFaceDoc::KeptStatePath() {
    CString path;
    path.Format("%s%s_%c.tmp", files::TempFolder().c_str(), "$23", '4');
    return path;
}

int CFaceDoc::LoadTHEResource() { return LoadTHEResource(unsigned(templateId), true); }

int CFaceDoc::LoadTHEResource(unsigned id, bool clearOverlay) {
    const int kept = templateId;
    if (svc::app().state().pictureEditor && templateId != 122) {
        templateId = 121;
        id = 121;
    }
    std::span<const unsigned char> bytes = brv::ResourceBytes("TEMPLATE", id);
    std::string snapshot;
    if (!bytes.data() && id == 100) {
        // The prepared head of this run is the snapshot: it is read again,
        // as a file from outside.
        std::string path = brv::PosixPath(SnapshotPath().View());
        std::string reason;
        if (readable(path) && files::ReadWholeFile(path, snapshot, reason) && !snapshot.empty()) {
            files::HeadRead read;
            if (!files::ParseTHE(snapshot, read, reason)) {
                // The head would keep only part of it: the present one stays.
                stage = 0;
                return 1;
            }
            CWaitCursor wait;
            svc::FaceView* overlay = GetViewEdit2D3D();
            svc::FaceView* view3D = GetViewEdit3D();
            if (clearOverlay && overlay) overlay->ClearAllViewSettings();
            if (view3D) view3D->ClearAllViewSettings();
            files::InstallHead(*kernel3D, std::move(read.head));
            if (read.tablesRead) tables_ = std::move(read.tables);
            carried.NewHead();
            showNewHead();
            return 1;
        }
    }
    if (!bytes.data()) {
        for (unsigned fallback : {1u, 101u}) {
            templateId = int(fallback);
            bytes = brv::ResourceBytes("TEMPLATE", fallback);
            if (bytes.data()) break;
        }
    }
    if (!bytes.data()) {
        templateId = kept;
        CString text;
        text.Format("Template head %d is missing.", int(id));
        MessageBox(nullptr, text, "Error", MB_OK);
        return 1;
    }
    CWaitCursor wait;
    // A built-in head is part of the program: read once, with no check
    // before. Should it not read, the present head stays.
    svc::FaceTables tables;
    std::unique_ptr<head3> head;
    {
        ReadingMorphs morphs;
        head = files::ReadTemplateBytes(bytes, tables);
    }
    if (!head) {
        stage = 0;
        return 1;
    }
    svc::FaceView* overlay = GetViewEdit2D3D();
    svc::FaceView* view3D = GetViewEdit3D();
    if (clearOverlay && overlay) overlay->ClearAllViewSettings();
    if (view3D) view3D->ClearAllViewSettings();
    files::InstallHead(*kernel3D, std::move(head));
    tables_ = std::move(tables);
    carried.NewHead();
    showNewHead();
    return 1;
}

void CFaceDoc::showNewHead() {
    svc::FaceView* overlay = GetViewEdit2D3D();
    svc::FaceView* view3D = GetViewEdit3D();
    if (auto* v = dynamic_cast<svc::ViewEdit3D*>(view3D)) {
        v->displayMode = svc::ViewEdit3D::kLit;
        v->InitializeModelForOpenGL();
    }
    if (view3D) view3D->FitInView();
    if (auto* v = dynamic_cast<svc::ViewEdit2D3D*>(overlay)) v->InitializeModelForOpenGL();
    if (overlay) overlay->FitInView();
}

int CFaceDoc::SaveTHEResource() {
    CWaitCursor wait;
    std::string reason;
    files::SaveTHEFile(std::string(SnapshotPath().View()), *kernel3D->head, &tables_, "t", reason);
    return 1;
}

// ---------------------------------------------------------------- reset

void CFaceDoc::FreeMemoryForNewFAC() {
    head3& h = *kernel3D->head;
    h.texture.reset();
    h.reducedTexture.reset();
    kernel2D->FreeFileBytes();
    kernel2D->FreeStash();
    kernel2D->Reset();
    kernel3D->Reset();
    carried.NewHead();
    stage = 0;
    if (auto* v = dynamic_cast<svc::ViewEdit3D*>(GetViewEdit3D())) v->InitializeModelForOpenGL();
    if (auto* v = dynamic_cast<svc::ViewEdit2D3D*>(GetViewEdit2D3D())) v->InitializeModelForOpenGL();
    UpdateAllViews(nullptr);
    headName = "Untitled";
    projectName = "Untitled";
    headExtension = "";
    for (svc::FaceView* v : {GetViewOrigPhoto(), GetViewOrig2D(), GetViewEdit3D(), GetViewEdit2D3D()})
        if (v) v->ClearAllViewSettings();
    if (svc::MainFrame* frame = Frame()) {
        frame->ActivateView(GetViewOrig2D());
        frame->OnViews1();
    }
}

void CFaceDoc::BrivantaType(char* code) {
    files::TypeCodeInputs in;
    in.photoNumber = photoNumber;
    in.firstRecord = kernel2D->StashFree();
    std::string t = files::BrivantaType(in, kernel2D->FileBytes());
    for (size_t i = 0; i < 8; ++i) code[i] = i < t.size() ? t[i] : '\0';
}

// ---------------------------------------------------------------- camera

void CFaceDoc::CameraView() {
    CWaitCursor wait;
    svc::FaceView* overlay = GetViewEdit2D3D();
    svc::FaceView* view3D = GetViewEdit3D();
    if (overlay) overlay->ResetPose();
    if (view3D) view3D->ResetPose();
    head3& h = *kernel3D->head;
    head2& marks = *kernel2D->head;
    const int w = kernel2D->photo.GetWidth(), ht = kernel2D->photo.GetHeight();
    resetCameraSearch();
    camera_photo_size(w, ht);
    long n = 0;
    CString code, mirror;
    double weight = 0;
    const int group = std::abs(int(photoNumber));
    for (int row = 0; GetFeaturePointInfo(row, &code, &mirror, &weight); ++row) {
        Index<featurepoint3> f = h.getFeaturepoint(code, true);
        if (!GoodInfoCode(group, code) || f == -1) continue;
        vector2<double> p(0, 0);
        bool present = false;
        for (int k = marks.photoPoints.first(); k != -1; k = marks.photoPoints.nextOf(k))
            if (std::string_view(marks.photoPoints[k].name()) == code.View()) {
                p = marks.photoPoints[k].position;
                present = true;
                break;
            }
        if (code.Find('@', 1) >= 1) {
            // The point of the code without its last three characters; a
            // row whose point is missing makes no pair.
            f = h.getFeaturepoint(code.Left(code.GetLength() - 3), true);
            if (f == -1) continue;
        }
        const featurepoint3& fp = h.featurepoints[f];
        adatok_beallitasa(n++, p, present, fp.point(), fp.weight, fp.mirror == f);
    }
    stage = 2000;
    kozeppont(0, 0, 0);
    generation_possible_camera_models();
    CameraFound found;
    bool searched = ponttavolsag_optimalizalas(n, &found);
    stage = 2000;
    ProjectionCore* camera = overlay ? overlay->Camera() : nullptr;
    if (searched && camera) camera->setCamera(found.eye, found.center, found.up, found.openingAngle);
    svc::MainFrame* frame = Frame();
    const bool option = state().startPageChoice;
    if (photoNumber <= 0 && option && frame) frame->OnViews2();
    if (auto* v = dynamic_cast<svc::ViewEdit3D*>(view3D)) v->InitializeModelForOpenGL();
    if (view3D) view3D->Redraw();
    if (overlay) {
        overlay->FitToPhoto(w, ht, searched ? found.tx : 0.0, searched ? found.ty : 0.0);
        if (auto* v = dynamic_cast<svc::ViewEdit2D3D*>(overlay)) v->InitializeModelForOpenGL();
    }
    if (frame) {
        if (photoNumber > 0 || option) frame->OnViews2();
        frame->OnViews1();
    }
    ShareCameraWith3DView(true);
    if (overlay) overlay->Redraw();
}

void CFaceDoc::ShareCameraWith3DView(bool camera) {
    svc::FaceView* overlay = GetViewEdit2D3D();
    auto* view3D = GetViewEdit3D<svc::ViewEdit3D>();
    if (ProjectionCore* found = overlay ? overlay->Camera() : nullptr; found && view3D)
        view3D->TakeCamera(*found, camera);
}
