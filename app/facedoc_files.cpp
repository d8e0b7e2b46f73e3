// The document's project, head and OBJ files. Each reader parses the file
// once, beside the open project (the parse layer needs no window), and the
// document takes it over only once the whole file has read: a bad file
// shows the error and leaves the open project as it was. Writers build the file in memory and save it
// safely: a failed save keeps the previous file.

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/faceapp.h"
#include "app/facedoc.h"
#include "document/head_files.h"
#include "document/ids.h"
#include "app/mainframe.h"
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
#include "views/faceview.h"
#include "views/glview.h"

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
void applySections(CFaceDoc& doc, CMainFrame* frame, const files::ProjectRecord& rec) {
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
        if (CFaceView* v = doc.GetView(CString(files::kViewNames[i]))) {
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
void collectSections(CFaceDoc& doc, CMainFrame* frame, files::ProjectRecord& rec) {
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
            if (CFaceView* v = doc.GetView(CString(files::kViewNames[i]))) {
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

void fourViews(CFaceDoc& d, CFaceView* (&out)[4]) {
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
    CFaceView* view3D = d.GetViewEdit3D();
    CFaceView* overlay = d.GetViewEdit2D3D();
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

int CFaceDoc::LoadFACFile(CString path, bool keep) {
    CWaitCursor wait;
    std::string bytes, reason;
    // A kept state is the program's own temporary file: its failures only
    // beep, and a missing one leaves the project as it is.
    auto refuse = [&] {
        if (keep)
            MessageBeep(MB_ICONINFORMATION);
        else
            loadError(path, reason);
        return 0;
    };
    if (!files::ReadWholeFile(std::string(path.View()), bytes, reason)) return refuse();
    files::ProjectParseOptions options;
    options.keep = keep;
    options.presentVertices = kernel3D->head->vertices.count();
    options.presentTriangles = kernel3D->head->triangles.count();
    options.loadTemplate = templateWithMorphs;
    files::ProjectRecord rec;
    if (!files::ParseProject(bytes, options, rec, reason)) return refuse();
    bytes = std::string();

    const int remembered = stage;
    photoNumber = 0;
    refineMode = 0;
    CMainFrame* frame = Frame();
    CFaceView* views[4];
    fourViews(*this, views);
    if (!keep) {
        if (frame) {
            frame->HideModelessDialogs();
            frame->layout = 0;
            if (CMenu* menu = frame->GetMenu()) {
                menu->EnableMenuItem(ID_UNDO, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
                menu->EnableMenuItem(ID_REDO, MF_BYCOMMAND | MF_GRAYED | MF_DISABLED);
            }
        }
        for (CFaceView* v : views)
            if (v) v->ClearAllViewSettings();
        SetTitle("Untitled");
        kernel2D->FreeStash();
        state().startPageChoice = false;
    }

    if (frame) frame->projectLoaded = 1;
    stage = rec.stage;
    if (keep) photoNumber = rec.photoNumber;
    templateId = rec.templateId;
    kernel2D->preview = rec.preview;
    delete kernel2D->head;
    kernel2D->head = rec.marks.release();
    kernel2D->head->settle();
    kernel2D->head->set_actual();
    // Lines the user drew were drawn in the Pro flow: its curve page comes
    // again when the steps are walked anew.
    if (!keep && HasDrawnLines())
        if (CFaceApp* app = FaceApp()) app->proMode = 1;
    applySections(*this, frame, rec);
    ShareCameraWith3DView(false);
    if (rec.hasPhoto) kernel2D->SetFileBytes(std::move(rec.photo.bytes));
    kernel2D->notes = rec.notes.c_str();
    const int32_t* v = rec.photo.values;
    kernel2D->left = v[0], kernel2D->top = v[1], kernel2D->right = v[2], kernel2D->bottom = v[3];
    kernel2D->quarterTurns = v[4], kernel2D->mirrorLeftRight = v[5], kernel2D->mirrorTopBottom = v[6];
    kernel2D->loadLeft = v[7], kernel2D->loadTop = v[8], kernel2D->loadRight = v[9], kernel2D->loadBottom = v[10];
    projectFlag = rec.projectFlag;
    textureSize = rec.textureSize;
    if (rec.head) {
        files::InstallHead(*kernel3D, std::move(rec.head));
        tables_ = std::move(rec.tables);
    } else if (rec.sections.present) {
        files::ApplyHeadSections(rec.sections, textureSize, *kernel3D->head);
        kernel3D->head->Changed();
    }
    head3& h = *kernel3D->head;
    h.mirrored = rec.mirrored != 0;
    // A modelled project's head is as the model page left it.
    if (stage == 2500)
        carried.ProjectRead(ageSlider, weightSlider);
    else
        carried.NewHead();

    const bool refresh = !keep || stage == 2500 || (stage != remembered && (stage > 1000 || remembered > 1000));
    if (refresh) {
        if (!keep) {
            AfxGetApp()->AddToRecentFileList(path);
            SetTitle(path.GetString());
        }
        // The photo decoded while the file was read is the picture.
        bool rebuilt = false;
        if (rec.photoDecoded) {
            kernel2D->photo = rec.photoPicture;
            rec.photoPicture = CWinBmp();
            kernel2D->left = rec.photoCrop[0], kernel2D->top = rec.photoCrop[1];
            kernel2D->right = rec.photoCrop[2], kernel2D->bottom = rec.photoCrop[3];
            rebuilt = kernel2D->photo.GetWidth() > 0;
        } else {
            rebuilt = kernel2D->LoadOrigBmp(&kernel2D->photo, 2, 0, 0) > 0;
        }
        if (rebuilt) kernel2D->InitPicture();
        if (templateId == 100) SaveTHEResource();
        h.BuildMirror();
        if (frame) frame->ChangeViews(false);
        fourViews(*this, views);  // the layout change made the photo panes anew
        setDisplayMode(*this, stage <= 1000 ? svc::ViewEdit3D::kLit : svc::ViewEdit3D::kTextured);
        if (auto* v3 = dynamic_cast<svc::ViewEdit3D*>(GetViewEdit3D())) v3->InitializeModelForOpenGL();
        if (auto* vo = dynamic_cast<svc::ViewEdit2D3D*>(GetViewEdit2D3D())) vo->InitializeModelForOpenGL();
        if (stage >= 2000)
            for (CFaceView* gl : {GetViewEdit3D(), GetViewEdit2D3D()})
                if (auto* g = dynamic_cast<CGLFaceView*>(gl)) g->setLinTrafos();
        if (stage <= 1000) {
            if (frame) frame->OnPhotoMode();
        } else if (stage == 2000) {
            if (frame) frame->OnCameraMode();
        } else {
            // The stored positions moved the head: its topology (a head of
            // template 100 is read without), box and octree follow them.
            if (h.noTopology) {
                h.noTopology = false;
                h.post_read(true);
            }
            h.SetMinMaxOctree(false);
            setDisplayMode(*this, svc::ViewEdit3D::kTextured);
            if (auto* v3 = dynamic_cast<svc::ViewEdit3D*>(GetViewEdit3D())) v3->InitializeModelForOpenGL();
            for (CFaceView* each : views)
                if (each) each->Redraw();
            if (frame) {
                frame->OnViews2A();
                if (!keep) frame->OpenModelPage();
            }
        }
        fourViews(*this, views);  // the steps may have made the photo panes anew
        for (CFaceView* each : views)
            if (each) each->FitInView();
        if (frame) frame->projectLoaded = 0;
        for (CFaceView* each : views)
            if (each) each->Redraw();
    } else {
        if (frame) frame->projectLoaded = 0;
        fourViews(*this, views);
        for (CFaceView* each : views)
            if (each) each->Redraw();
    }
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
        if (CFaceView* v = GetViewEdit2D3D()) v->ClearAllViewSettings();
    if (CFaceView* v = GetViewEdit3D()) v->ClearAllViewSettings();
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
    for (CFaceView* v : {GetViewEdit3D(), GetViewEdit2D3D()})
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
    if (CFaceApp* app = FaceApp()) {
        in.objectName = std::string(app->dazName.View());
        in.version = app->version;
    }
    std::string reason, failed;
    if (!files::SaveOBJFile(std::string(path.View()), in, reason, &failed)) {
        saveError(failed.c_str(), reason);
        return 0;
    }
    return 1;
}
