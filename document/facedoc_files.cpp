// The document's project, head and OBJ files. Each reader parses the file
// once, beside the open project (the parse layer needs no window), and the
// document takes it over only once the whole file has read: a bad file
// shows the error and leaves the open project as it was. Writers build the file in memory and save it
// safely: a failed save keeps the previous file.

#include <algorithm>
#include <cstdlib>
#include <string>

#include "document/facedoc.h"
#include "document/head_files.h"
#include "document/ids.h"
#include "document/obj_export.h"
#include "document/obj_import.h"
#include "document/project_file.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "foundation/numeric.h"
#include "foundation/path_parts.h"
#include "framework/paths.h"
#include "model/head.h"
#include "model/morph.h"

namespace {

void loadError(const CString& path, const std::string& reason) {
    MessageBeep(MB_ICONINFORMATION);
    CString text;
    // shown as a POSIX path, also where the program made the name itself
    text.Format("Wrong file: %s!", brv::PosixPath(path.View()).c_str());
    if (!reason.empty()) text += ("\n" + reason).c_str();
    MessageBox(nullptr, text, "Error", MB_OK);
}

void saveError(const CString& path, const std::string& reason) {
    CString text;
    text.Format("Cannot save %s!", path.GetString());
    if (!reason.empty()) text += ("\n" + reason).c_str();
    MessageBox(nullptr, text, "Error", MB_OK);
}

CString withoutExtension(const CString& path) { return fnd::SplitPath(path.View()).WithoutExtension().c_str(); }

// Template heads as the document reads them: with the morphs of the
// built-in templates.
std::unique_ptr<head3> templateWithMorphs(int id, svc::FaceTables& tables, std::string& reason) {
    ReadingMorphs morphs;
    return files::LoadTemplateHead(id, tables, reason);
}

// The frame's and the views' sections through their own readers, in the
// order of the file.
void applySections(CFaceDoc& doc, svc::MainFrame* frame, const files::ProjectRecord& rec) {
    std::string bytes;
    {
        fnd::fileTB w;
        w.open(&bytes, "wt");
        w.setMode("b");
        rec.frame.write(w);
        for (int i = 0; i < 4; ++i) {
            rec.views[i].write(w);
            if (i == files::kViewEdit2D3D) rec.overlay.write(w);
        }
        w.close();
    }
    fnd::fileTB r;
    r.open(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    r.setMode("b");
    if (frame)
        frame->readOpenGL(r);
    else
        files::FrameSection().read(r);
    for (int i = 0; i < 4; ++i) {
        if (svc::FaceView* v = doc.GetView(files::kViewNames[i])) {
            v->readOpenGL(r);
        } else {
            files::ViewSection s;
            s.read(r);
            if (i == files::kViewEdit2D3D) files::OverlaySection().read(r);
        }
        // A view that refuses its values keeps its own; the next one reads on.
        if (!r.good()) return;
    }
}

// What the frame and the views would write, as values.
void collectSections(CFaceDoc& doc, svc::MainFrame* frame, files::ProjectRecord& rec) {
    std::string bytes;
    {
        fnd::fileTB w;
        w.open(&bytes, "wt");
        w.setMode("b");
        if (frame)
            frame->writeOpenGL(w);
        else
            files::FrameSection().write(w);
        for (int i = 0; i < 4; ++i) {
            if (svc::FaceView* v = doc.GetView(files::kViewNames[i])) {
                v->writeOpenGL(w);
            } else {
                files::ViewSection().write(w);
                if (i == files::kViewEdit2D3D) files::OverlaySection().write(w);
            }
        }
        w.close();
    }
    fnd::fileTB r;
    r.open(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    r.setMode("b");
    rec.frame.read(r);
    for (int i = 0; i < 4; ++i) {
        rec.views[i].read(r);
        if (i == files::kViewEdit2D3D) rec.overlay.read(r);
    }
}

void fourViews(CFaceDoc& d, svc::FaceView* (&out)[4]) {
    out[0] = d.GetViewOrigPhoto();
    out[1] = d.GetViewOrig2D();
    out[2] = d.GetViewEdit3D();
    out[3] = d.GetViewEdit2D3D();
}

void setDisplayMode(CFaceDoc& d, int mode) {
    if (auto* v = dynamic_cast<svc::ViewEdit3D*>(d.GetViewEdit3D())) v->displayMode = mode;
}

// Rebuild and fit the 3D view and the overlay view over the present head.
void refreshHeadViews(CFaceDoc& d) {
    svc::FaceView* view3D = d.GetViewEdit3D();
    svc::FaceView* overlay = d.GetViewEdit2D3D();
    if (auto* v = dynamic_cast<svc::ViewEdit3D*>(view3D)) v->InitializeModelForOpenGL();
    if (view3D) view3D->FitInView();
    if (auto* v = dynamic_cast<svc::ViewEdit2D3D*>(overlay)) v->InitializeModelForOpenGL();
    if (overlay) overlay->FitInView();
}

}  // namespace

// ---------------------------------------------------------------- project

int CFaceDoc::SaveFACFile(CString path, const char*, bool keep) {
    CWaitCursor wait;
    files::ProjectRecord rec;
    rec.stage = stage;
    rec.templateId = templateId;
    MakePreview(kernel2D->photo, rec.preview);
    collectSections(*this, Frame(), rec);
    rec.photo.bytes = kernel2D->FileBytes();
    rec.hasPhoto = true;
    const int32_t values[11] = {kernel2D->left,          kernel2D->top,            kernel2D->right,
                                kernel2D->bottom,        kernel2D->quarterTurns,   kernel2D->mirrorLeftRight,
                                kernel2D->mirrorTopBottom, kernel2D->loadLeft,     kernel2D->loadTop,
                                kernel2D->loadRight,     kernel2D->loadBottom};
    std::copy(values, values + 11, rec.photo.values);
    rec.notes = std::string(kernel2D->notes.View());
    rec.projectFlag = projectFlag;
    rec.textureSize = textureSize;
    rec.mirrored = kernel3D->head->mirrored ? 1 : 0;

    files::ProjectWriteInputs in;
    in.head = kernel3D->head;
    in.tables = &tables_;
    in.type.photoNumber = photoNumber;
    in.type.firstRecord = kernel2D->StashFree();
    in.keep = keep;
    std::string reason;
    // The marks are written from the kernel's own head2, lent to the record.
    rec.marks.reset(kernel2D->head);
    bool ok = files::SaveProject(std::string(path.View()), rec, in, reason);
    (void)rec.marks.release();
    if (!ok) {
        saveError(path, reason);
        return 0;
    }
    if (!keep) AfxGetApp()->AddToRecentFileList(path);
    return 1;
}

namespace {

// The whole file read and parsed beside the open project. A kept state is
// the program's own temporary file: its failures only beep, and a missing
// one leaves the project as it is.
bool readProject(CFaceDoc& d, const CString& path, bool keep, files::ProjectRecord& rec) {
    std::string bytes, reason;
    files::ProjectParseOptions options;
    options.keep = keep;
    options.presentVertices = d.kernel3D->head->vertices.count();
    options.presentTriangles = d.kernel3D->head->triangles.count();
    options.loadTemplate = templateWithMorphs;
    if (files::ReadWholeFile(std::string(path.View()), bytes, reason) &&
        files::ParseProject(bytes, options, rec, reason))
        return true;
    if (keep)
        MessageBeep(MB_ICONINFORMATION);
    else
        loadError(path, reason);
    return false;
}

// A project opened anew: the pages closed, the views cleared, no title.
void startNewProject(CFaceDoc& d, svc::MainFrame* frame) {
    if (frame) {
        frame->HideModelessDialogs();
        frame->layout = 0;
        frame->DisableUndoItems();
    }
    svc::FaceView* views[4];
    fourViews(d, views);
    for (svc::FaceView* v : views)
        if (v) v->ClearAllViewSettings();
    d.SetTitle("Untitled");
    d.kernel2D->FreeStash();
    d.state().startPageChoice = false;
}

// The record's values, marks, view sections, photo and head taken over.
void takeProject(CFaceDoc& d, files::ProjectRecord& rec, bool keep, svc::MainFrame* frame) {
    CKernel2D& k = *d.kernel2D;
    d.stage = rec.stage;
    if (keep) d.photoNumber = rec.photoNumber;
    d.templateId = rec.templateId;
    k.preview = rec.preview;
    delete k.head;
    k.head = rec.marks.release();
    k.head->settle();
    k.head->set_actual();
    // Lines the user drew were drawn in the Pro flow: its curve page comes
    // again when the steps are walked anew.
    if (!keep && d.HasDrawnLines() && svc::hasApp()) svc::app().state().proMode = 1;
    applySections(d, frame, rec);
    d.ShareCameraWith3DView(false);
    if (rec.hasPhoto) k.SetFileBytes(std::move(rec.photo.bytes));
    k.notes = rec.notes.c_str();
    const int32_t* v = rec.photo.values;
    k.left = v[0], k.top = v[1], k.right = v[2], k.bottom = v[3];
    k.quarterTurns = v[4], k.mirrorLeftRight = v[5], k.mirrorTopBottom = v[6];
    k.loadLeft = v[7], k.loadTop = v[8], k.loadRight = v[9], k.loadBottom = v[10];
    d.projectFlag = rec.projectFlag;
    d.textureSize = rec.textureSize;
    head3*& head = d.kernel3D->head;
    if (rec.head) {
        files::InstallHead(*d.kernel3D, std::move(rec.head));
        d.tables() = std::move(rec.tables);
    } else if (rec.sections.present) {
        files::ApplyHeadSections(rec.sections, d.textureSize, *head);
        head->Changed();
    }
    head->mirrored = rec.mirrored != 0;
    // A modelled project's head is as the model page left it.
    if (d.stage == 2500)
        d.carried.ProjectRead(d.ageSlider, d.weightSlider);
    else
        d.carried.NewHead();
}

// The working picture made again: from the photo decoded while the file was
// read, else from the photo's bytes.
void rebuildPhoto(CKernel2D& k, files::ProjectRecord& rec) {
    bool rebuilt = false;
    if (rec.photoDecoded) {
        k.photo = rec.photoPicture;
        rec.photoPicture = CWinBmp();
        k.left = rec.photoCrop[0], k.top = rec.photoCrop[1];
        k.right = rec.photoCrop[2], k.bottom = rec.photoCrop[3];
        rebuilt = k.photo.GetWidth() > 0;
    } else {
        rebuilt = k.LoadOrigBmp(&k.photo, 2, 0, 0) > 0;
    }
    if (rebuilt) k.InitPicture();
}

// A modelled project: the head settled at its stored positions, textured in
// the 3D view, the two-pane layout and (opened by the user) the model page.
void showModelledHead(CFaceDoc& d, svc::MainFrame* frame, bool keep) {
    // The stored positions moved the head: its topology (a head of
    // template 100 is read without), box and octree follow them.
    head3& h = *d.kernel3D->head;
    if (h.noTopology) {
        h.noTopology = false;
        h.post_read(true);
    }
    h.SetMinMaxOctree(false);
    setDisplayMode(d, svc::ViewEdit3D::kTextured);
    if (auto* v3 = d.GetViewEdit3D<svc::ViewEdit3D>()) v3->InitializeModelForOpenGL();
    svc::FaceView* views[4];
    fourViews(d, views);
    // The two-pane layout that follows paints each view where it ends up
    // (its refit redraws them all): painted now, a view would show a frame
    // at a size it leaves at once, or in a pane the layout hides.
    for (svc::FaceView* each : views)
        if (each) frame ? each->InvalidateView() : each->Redraw();
    if (frame) {
        frame->OnViews2A();
        if (!keep) frame->OpenModelPage();
    }
}

// The project on the screen: the photo, the head's views, the step of its
// stage, then every view fitted and redrawn.
void showProject(CFaceDoc& d, const CString& path, files::ProjectRecord& rec, bool keep, svc::MainFrame* frame) {
    if (!keep) {
        AfxGetApp()->AddToRecentFileList(path);
        d.SetTitle(path.GetString());
    }
    rebuildPhoto(*d.kernel2D, rec);
    if (d.templateId == 100) d.SaveTHEResource();
    d.kernel3D->head->BuildMirror();
    if (frame) frame->ChangeViews(false);
    setDisplayMode(d, d.stage <= 1000 ? svc::ViewEdit3D::kLit : svc::ViewEdit3D::kTextured);
    if (auto* v3 = d.GetViewEdit3D<svc::ViewEdit3D>()) v3->InitializeModelForOpenGL();
    if (auto* vo = d.GetViewEdit2D3D<svc::ViewEdit2D3D>()) vo->InitializeModelForOpenGL();
    if (d.stage >= 2000)
        for (svc::FaceView* gl : {d.GetViewEdit3D(), d.GetViewEdit2D3D()})
            if (gl) gl->setLinTrafos();
    if (d.stage <= 1000) {
        if (frame) frame->OnPhotoMode();
    } else if (d.stage == 2000) {
        if (frame) frame->OnCameraMode();
    } else {
        showModelledHead(d, frame, keep);
    }
    svc::FaceView* views[4];
    fourViews(d, views);  // the steps may have made the photo panes anew
    for (svc::FaceView* each : views)
        if (each) each->FitInView();
    if (frame) frame->projectLoaded = 0;
    for (svc::FaceView* each : views)
        if (each) each->Redraw();
}

}  // namespace

int CFaceDoc::LoadFACFile(CString path, bool keep) {
    CWaitCursor wait;
    files::ProjectRecord rec;
    if (!readProject(*this, path, keep, rec)) return 0;
    const int remembered = stage;
    photoNumber = 0;
    refineMode = 0;
    svc::MainFrame* frame = Frame();
    if (!keep) startNewProject(*this, frame);
    if (frame) frame->projectLoaded = 1;
    takeProject(*this, rec, keep, frame);
    if (!keep || stage == 2500 || (stage != remembered && (stage > 1000 || remembered > 1000))) {
        showProject(*this, path, rec, keep, frame);
        return 1;
    }
    if (frame) frame->projectLoaded = 0;
    svc::FaceView* views[4];
    fourViews(*this, views);
    for (svc::FaceView* each : views)
        if (each) each->Redraw();
    return 1;
}

// Files of the older layout go through the one reader, which takes both.
int CFaceDoc::LoadFACFileOLD(CString path) { return LoadFACFile(path, false); }

bool CFaceDoc::ReadPreview(const std::string& path, CWinBmp& preview) {
    // The header and the preview open the file: no more of it is read than
    // they take, however large the project.
    std::string bytes;
    for (std::size_t limit = kPreviewFirstRead;; limit = std::min(limit * 4, kPreviewMostRead)) {
        bool whole = false;
        if (!files::ReadFileStart(path, limit, bytes, whole)) return false;
        if (files::GetFileMainInfo(std::string_view(bytes), preview)) return true;
        if (whole || limit >= kPreviewMostRead) return false;
    }
}

bool CFaceDoc::GetFileMainInfo(CString path, CWinBmp* preview) {
    CWinBmp read;
    if (!ReadPreview(std::string(path.View()), read)) return false;
    if (preview) *preview = read;
    return true;
}

// ---------------------------------------------------------------- head files

int CFaceDoc::SaveTHEFile(CString path, const char* mode) {
    CWaitCursor wait;
    std::string reason;
    if (!files::SaveTHEFile(std::string(path.View()), *kernel3D->head, &tables_, mode, reason)) {
        saveError(path, reason);
        return 0;
    }
    headName = withoutExtension(path);
    return 1;
}

int CFaceDoc::SavePHSFile2(CString path) {
    CWaitCursor wait;
    std::string reason;
    if (!files::SavePHSFile2(std::string(path.View()), *kernel3D->head, reason)) {
        saveError(path, reason);
        return 0;
    }
    headName = withoutExtension(path);
    return 1;
}

namespace {

using HeadParser = bool (*)(std::string_view, files::HeadRead&, std::string&);

// A head file read beside the present head, which it replaces once read.
bool readHeadFile(const CString& path, HeadParser parse, files::HeadRead& out) {
    std::string bytes, reason;
    if (!files::ReadWholeFile(std::string(path.View()), bytes, reason) || !parse(bytes, out, reason)) {
        loadError(path, reason);
        return false;
    }
    return true;
}

void takeHead(CFaceDoc& d, files::HeadRead& read, const CString& path, const char* extension) {
    files::InstallHead(*d.kernel3D, std::move(read.head));
    d.carried.NewHead();
    if (read.tablesRead) d.tables() = std::move(read.tables);
    d.headName = withoutExtension(path);
    d.headExtension = extension;
}

}  // namespace

int CFaceDoc::LoadTHEFile(CString path, bool clear) {
    CWaitCursor wait;
    files::HeadRead read;
    if (!readHeadFile(path, files::ParseTHE, read)) return 0;
    if (clear)
        if (svc::FaceView* v = GetViewEdit2D3D()) v->ClearAllViewSettings();
    if (svc::FaceView* v = GetViewEdit3D()) v->ClearAllViewSettings();
    takeHead(*this, read, path, ".the");
    kernel3D->head->BuildMirror();
    setDisplayMode(*this, svc::ViewEdit3D::kLit);
    refreshHeadViews(*this);
    return 1;
}

int CFaceDoc::LoadPHSFile(CString path) {
    CWaitCursor wait;
    files::HeadRead read;
    if (!readHeadFile(path, files::ParsePHS, read)) return 0;
    for (svc::FaceView* v : {GetViewEdit3D(), GetViewEdit2D3D()})
        if (v) v->ClearAllViewSettings();
    takeHead(*this, read, path, ".phs");
    kernel3D->head->set_name(headName, false);
    stage = 1000;
    setDisplayMode(*this, svc::ViewEdit3D::kLit);
    refreshHeadViews(*this);
    return 1;
}

// ---------------------------------------------------------------- OBJ

int CFaceDoc::LoadXXXFile(CString path, bool withTexture) {
    CWaitCursor wait;
    const std::string extension = fnd::SplitPath(path.View()).LowerExtension();
    if (extension != "obj") {
        loadError(path, extension.empty() ? "no extension" : "no head reader for \"." + extension + "\"");
        return 0;
    }
    std::string bytes, reason;
    files::ObjImport import;
    if (!files::ReadWholeFile(std::string(path.View()), bytes, reason) ||
        !files::ParseObj(bytes, svc::app().state(), import, reason)) {
        loadError(path, reason);
        return 0;
    }
    bytes = std::string();
    files::BuildObjHead(import);
    if (withTexture) {
        files::LoadObjTexture(std::string(path.View()), import);
        textureSize = files::kImportTextureSize;
    }
    files::InstallHead(*kernel3D, std::move(import.head));
    carried.NewHead();
    tables_ = std::move(import.tables);
    headName = withoutExtension(path);
    headExtension = ("." + extension).c_str();
    kernel3D->head->set_name(headName, false);
    stage = 1000;
    refreshHeadViews(*this);
    return 1;
}

int CFaceDoc::LoadOBJFile(CString path) { return LoadXXXFile(path, true); }

int CFaceDoc::SaveOBJFile(CString path, int variant) {
    CWaitCursor wait;
    files::ObjExportInputs in;
    in.head = kernel3D->head;
    in.tables = &tables_;
    in.variant = variant;
    in.templateId = templateId;
    in.textureSize = textureSize;
    in.notes = std::string(kernel2D->notes.View());
    in.agePicture = &agePicture;
    in.dazMode = svc::app().state().dazMode != 0;
    in.objectName = svc::app().DazObjectName();
    in.version = svc::app().state().version;
    std::string reason, failed;
    if (!files::SaveOBJFile(std::string(path.View()), in, reason, &failed)) {
        saveError(failed.c_str(), reason);
        return 0;
    }
    return 1;
}
