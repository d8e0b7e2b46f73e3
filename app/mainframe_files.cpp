// The frame's file and export commands: which dialog asks, with which
// filters and proposed name, which loader or writer the choice reaches and
// what the frame and the views do afterwards. The formats are the
// document's.

#include <string>

#include "app/faceapp.h"
#include "document/facedoc.h"
#include "document/ids.h"
#include "app/mainframe.h"
#include "document/picture_bytes.h"
#include "document/safe_save.h"
#include "dialogs/dlglasersize.h"
#include "dialogs/dlglogin.h"
#include "dialogs/dlgmakebmp.h"
#include "dialogs/dlgnotes.h"
#include "dialogs/previewfiledlg.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "foundation/numeric.h"
#include "foundation/path_parts.h"
#include "framework/filedialog.h"
#include "model/head.h"
#include "views/faceview.h"

namespace {

std::string extensionOf(const CString& path) { return fnd::SplitPath(path.View()).LowerExtension(); }

}  // namespace

void CMainFrame::OpenModelPage() {
    if (!(modelDialog && modelDialog->m_hWnd)) ShowModelPage();
}

void CMainFrame::OnFileNew() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    // No page may work on the project that goes, and no name stays with it.
    HideModelessDialogs();
    doc->FreeMemoryForNewFAC();
    doc->SetTitle("Untitled");
}

// ---------------------------------------------------------------- photo and head import

void CMainFrame::OnImportPic() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    CFaceApp* app = FaceApp();
    svc::AppState& state = svc::app().state();
    // What a cancelled or failed command gives back: the head-import mode
    // and the pages that were open.
    const int keptImported = app ? app->objHeadImported : 0;
    const int32_t keptTables = state.headImport;
    const StepPages pages = OpenStepPages();
    auto giveBack = [&] {
        if (app) app->objHeadImported = keptImported;
        state.headImport = keptTables;
        RestoreStepPages(pages);
    };
    if (app) app->objHeadImported = 0;
    state.headImport = 0;
    HideModelessDialogs();
    OnViews4();
    ActivateView(Pane(1, 0));
    OnViews1();
    CPictPreviewFileDlg dialog(TRUE, "*.jpg", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                       "JPEG fájlok (*.jpg)|*.jpg|TIFF fájlok (*.tif)|*.tif|BMP fájlok (*.bmp)|*.bmp|"
                       "GIF fájlok (*.gif)|*.gif|PNG fájlok (*.png)|*.png|PCX fájlok (*.pcx)|*.pcx||",
                       this);
    if (dialog.DoModal() == IDOK) {
        // The document moves to stage 1000 itself once the kernel holds a
        // confirmed picture; an abandoned load keeps what it left.
        doc->LoadPicFile(dialog.GetPathName());
        if (doc->kernel2D->abandoned || doc->kernel2D->decodeFailed) giveBack();
        NextFunction(11);
        return;
    }
    if (doc->photoNumber < 1) {
        if (!OnImportAge()) giveBack();
        return;
    }
    // A refinement photo was asked for: the project goes back as it was.
    doc->photoNumber -= 1;
    refining = 0;
    doc->refineMode = 0;
    doc->kernel2D->LoadOrigPhoto();
    doc->stage = 2500;
    OpenModelPage();
}

bool CMainFrame::OnImportAge() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return false;
    CFaceApp* app = FaceApp();
    // The head tables are read while the head is loaded; a cancelled or
    // failed import leaves the mode as it was, so a project opened or saved
    // later is not taken for an imported head.
    svc::AppState& state = svc::app().state();
    const int keptImported = app ? app->objHeadImported : 0;
    const int32_t keptTables = state.headImport;
    auto keep = [&] {
        if (app) app->objHeadImported = keptImported;
        state.headImport = keptTables;
        return false;
    };
    if (app) app->objHeadImported = 1;
    state.headImport = 1;
    HideModelessDialogs();
    CString path;
    if (state.dazMode) {
        path = fnd::daz3dfile(state.programFolder, state.dazMode).c_str();
    } else {
        CFileDialog dialog(TRUE, "*.obj", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, "Head OBJ (*.obj)|*.obj||",
                           this);
        if (dialog.DoModal() != IDOK) return keep();
        path = dialog.GetPathName();
    }
    if (!doc->LoadXXXFile(path, true)) return keep();
    // Each corner's own coordinate, once per corner.
    head3& h = *doc->kernel3D->head;
    for (int t = h.triangles.first(); t != -1; t = h.triangles.nextOf(t))
        for (vector2<double>& uv : h.triangles[t].texture) uv.y = 1.0 - uv.y;
    h.Changed();
    doc->stage = 2000;
    if (auto* v = doc->GetViewEdit3D<svc::ViewEdit3D>()) {
        v->displayMode = svc::ViewEdit3D::kTextured;
        v->InitializeModelForOpenGL();
    }
    if (CFaceView* v = doc->GetViewEdit3D<CFaceView>()) v->Redraw();
    OnViews4();
    ActivateView(Pane(0, 1));
    OnViews1();
    OnProperties();
    return true;
}

void CMainFrame::OnImportTHE() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    CFileDialog dialog(TRUE, "*.the", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                       "THE (*.the)|*.the|OBJ (*.obj)|*.obj|PHS (*.phs)|*.phs||", this);
    if (dialog.DoModal() != IDOK) return;
    CString path = dialog.GetPathName();
    const std::string ext = extensionOf(path);
    int read = 0;
    if (ext == "the")
        read = doc->LoadTHEFile(path, true);
    else if (ext == "obj")
        read = doc->LoadXXXFile(path, false);
    else if (ext == "phs")
        read = doc->LoadPHSFile(path);
    else
        read = doc->LoadXXXFile(path, false);  // names the unknown extension
    if (!read) return;
    doc->templateId = 100;
    doc->stage = 0;
    if (auto* v = doc->GetViewEdit3D<svc::ViewEdit3D>()) {
        v->displayMode = svc::ViewEdit3D::kLit;
        v->InitializeModelForOpenGL();
    }
    if (CFaceView* v = doc->GetViewEdit3D<CFaceView>()) v->FitInView();
    if (auto* v = doc->GetViewEdit2D3D<svc::ViewEdit2D3D>()) v->InitializeModelForOpenGL();
    if (CFaceView* v = doc->GetViewEdit2D3D<CFaceView>()) v->FitInView();
}

// ---------------------------------------------------------------- head export

void CMainFrame::OnFileSaveTHE() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    std::string head = fnd::SplitPath(doc->headName.View()).base;
    CString name = head.empty() ? CString("Untitled") : CString(head.c_str());
    name += ".the";
    CFileDialog dialog(FALSE, nullptr, name, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       "THE (*.the)|*.the|Quorin OBJ (*.obj)|*.obj|DAZ-Poser OBJ (*.obj)|*.obj|"
                       "Mirrored OBJ (*.obj)|*.obj|PHS (*.phs)|*.phs||",
                       this);
    if (dialog.DoModal() != IDOK) return;
    CString path = dialog.GetPathName();
    const std::string ext = extensionOf(path);
    if (ext == "the") {
        doc->SaveTHEFile(path, "b");
    } else if (ext == "phs") {
        doc->SavePHSFile2(path);
    } else if (ext == "obj") {
        doc->SaveOBJFile(path, int(dialog.m_ofn.nFilterIndex) - 1);
    } else {
        CString text;
        text.Format("Cannot save %s!\nno head format for the extension \"%s\"", path.GetString(),
                    ext.empty() ? "" : ("." + ext).c_str());
        MessageBox(text, "Error", MB_OK);
    }
}

// ---------------------------------------------------------------- projects

namespace {

// The project's names after it was opened: the document's name and the
// unique name of its temporary files.
void nameProject(CFaceDoc& doc, const CString& path) {
    const fnd::PathParts parts = fnd::SplitPath(path.View());
    doc.projectName = parts.WithoutExtension().c_str();
    doc.uniqueName = (std::string(fnd::randstring()) + "_" + parts.base).c_str();
}

}  // namespace

bool CMainFrame::OpenProject(const CString& path, int code) {
    CFaceDoc* doc = GetDoc();
    // The reader closes the pages once the file has read; a file that does
    // not read leaves the project, its names and its page as they were.
    if (!doc || !doc->LoadFACFile(path, false)) return false;
    nameProject(*doc, path);
    NextFunction(code);
    return true;
}

void CMainFrame::OnFileOpenFAC() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    // The pages stay until a file has been read: Cancel keeps the work.
    CImagePreviewFileDlg dialog(TRUE, "*.fac", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                       "Dremolix fájlok (*.fac)|*.fac|Minden fájl (*.*)|*.*||", this);
    if (dialog.DoModal() != IDOK) return;
    CString path = dialog.GetPathName();
    const std::string ext = extensionOf(path);
    if (ext == "fac") {
        OpenProject(path, 12);
        return;
    }
    int read = 0;
    if (ext == "the")
        read = doc->LoadTHEFile(path, true);
    else if (ext == "phs")
        read = doc->LoadPHSFile(path);
    else
        read = doc->LoadXXXFile(path, true);  // OBJ, or the error naming the extension
    if (!read) return;
    HideModelessDialogs();
    doc->stage = 0;
    doc->templateId = 100;
    OnViews2A();
    ActivateView(doc->GetViewEdit3D<CFaceView>());
    OnViews1();
    if (auto* v = doc->GetViewEdit3D<svc::ViewEdit3D>()) {
        v->displayMode = 6;
        v->InitializeModelForOpenGL();
    }
    if (CFaceView* v = doc->GetViewEdit3D<CFaceView>()) v->FitInView();
    if (auto* v = doc->GetViewEdit2D3D<svc::ViewEdit2D3D>()) v->InitializeModelForOpenGL();
    if (CFaceView* v = doc->GetViewEdit2D3D<CFaceView>()) v->FitInView();
}

void CMainFrame::OnFileSaveFAC() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    std::string name(doc->ProposedName().View());
    name = name.substr(0, name.find('_'));
    if (name.empty()) name = "Untitled";
    CFaceApp* app = FaceApp();
    const bool objHead = app && app->objHeadImported;
    CFileDialog dialog(FALSE, objHead ? "*.obj" : "*.fac", name.c_str(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       objHead ? "OBJ (*.obj)|*.obj||" : "Dremolix (*.fac)|*.fac|All file (*.*)|*.*||", this);
    if (dialog.DoModal() != IDOK) return;
    CString path = dialog.GetPathName();
    if (objHead) {
        doc->SaveOBJFile(path, 4);
        return;
    }
    if (!doc->SaveFACFile(path, "b", false)) return;
    // Saved as: the project goes by the file's name, in the window's title too.
    doc->projectName = fnd::SplitPath(path.View()).WithoutExtension().c_str();
    doc->SetTitle(path.GetString());
}

void CMainFrame::OnMruFile(UINT id) {
    CFaceDoc* doc = GetDoc();
    CFaceApp* app = FaceApp();
    if (!doc || !app) return;
    CString path = app->GetRecentFileName(int(id - ID_FILE_MRU_FILE1));
    if (path.IsEmpty()) return;
    OpenProject(path, 13);
}

// ---------------------------------------------------------------- pictures

void CMainFrame::OnExportPhoto() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    CFileDialog dialog(FALSE, "*.bmp", doc->ProposedName(), OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       "Orig (*.bmp)|*.bmp|Cropped (*.bmp)|*.bmp|Rect (*.bmp)|*.bmp|Texture (*.bmp)|*.bmp|"
                       "Texture Full(*.bmp)|*.bmp|Texture 512 (*.bmp)|*.bmp||",
                       this);
    if (dialog.DoModal() != IDOK) return;
    const int kind = int(dialog.m_ofn.nFilterIndex);
    CWinBmp picture;
    head3& h = *doc->kernel3D->head;
    // Texture rows bottom-up from the middle: the first half of the rows.
    auto halfBottomUp = [&picture](const TextureImage& t, int n) {
        picture.Create(n, n / 2, 32, false);
        for (int y = 0; y < n / 2; ++y)
            for (int x = 0; x < n; ++x) {
                const unsigned char* p = &t.rgb[(std::size_t(n / 2 - 1 - y) * t.width + x) * 3];
                picture.SetPixel(x, y, CPixel32(p[0], p[1], p[2], 0));
            }
    };
    if (kind >= 1 && kind <= 3) {
        if (doc->kernel2D->LoadOrigBmp(&picture, kind, 0, 0) <= 0) {
            MessageBeep(MB_ICONASTERISK);
            return;
        }
    } else if (kind == 4 || kind == 5) {
        const int n = doc->textureSize;
        const TextureImage* t = h.texture.get();
        if (!t || t->width != n || t->height != n || t->rgb.size() < std::size_t(n) * n * 3 || n < 2) {
            MessageBeep(MB_ICONASTERISK);
            return;
        }
        if (kind == 4) {
            halfBottomUp(*t, n);
        } else {
            picture.Create(n, n, 32, false);
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const unsigned char* p = &t->rgb[(std::size_t(y) * n + x) * 3];
                    picture.SetPixel(x, y, CPixel32(p[0], p[1], p[2], 0));
                }
        }
    } else if (kind == 6) {
        const TextureImage* t = h.reducedTexture.get();
        if (!t || t->width != 512 || t->height < 256 || t->rgb.size() < std::size_t(512) * 256 * 3) {
            MessageBeep(MB_ICONASTERISK);
            return;
        }
        halfBottomUp(*t, 512);
    } else {
        return;
    }
    std::string reason;
    if (!files::SafeSave(std::string(dialog.GetPathName().View()), files::BmpBytes(picture), &reason)) {
        CString text;
        text.Format("Cannot save %s!\n%s", dialog.GetPathName().GetString(), reason.c_str());
        MessageBox(text, "Error", MB_OK);
    }
}

void CMainFrame::OnModifyPic() {
    CFaceDoc* doc = GetDoc();
    if (!doc) return;
    ActivateView(doc->GetViewEdit3D<CFaceView>());
    OnViews1();
    CDlgMakeBmp(this, doc).DoModal();
}

void CMainFrame::OnNotes() {
    CDlgNotes notes;
    notes.DoModal();
}

// ---------------------------------------------------------------- expert menu

void CMainFrame::OnSuperMenu() {
    bool matched = false;
    CDlgLogin login(&matched, this, GetDoc());
    login.DoModal();
    CMenu* bar = GetMenu();
    if (!bar) return;
    int plus = -1;
    for (int i = 0; i < int(bar->GetMenuItemCount()); ++i) {
        CString text;
        bar->GetMenuString(UINT(i), text, MF_BYPOSITION);
        if (text == "+") plus = i;
    }
    if (matched && plus < 0) {
        HMENU popup = ::CreatePopupMenu();
        CMenu* menu = CMenu::FromHandle(popup);
        struct Item {
            UINT id;
            const char* text;
        } items[] = {{ID_VIEWS1, "1 View"},       {ID_VIEWS2, "2 View"},       {ID_VIEWS4B, "4 View"},
                     {0, nullptr},                {ID_SELECT, "Select"},       {ID_SPLINE, "Draw"},
                     {0, nullptr},                {ID_IMPORT_THE, "Head import"}, {ID_FEATURE_TOOL_HEAD, "Head preparing"},
                     {ID_FILE_SAVE_THE, "Head export"}, {0, nullptr},          {ID_FILE_OPEN_FAC, "Open FAC"},
                     {ID_FILE_SAVE_FAC, "Save FAC"}, {ID_SAVE_OBJ, "Save OBJ"}, {ID_EXPORT_PHOTO, "Photo export"},
                     {ID_MODIFY_PIC, "GIF"},      {0, nullptr},                {ID_START_WORK, "Start"},
                     {ID_STAT, "Statistic"}};
        for (const Item& item : items) {
            if (item.text)
                menu->AppendMenu(MF_STRING, item.id, item.text);
            else
                menu->AppendMenu(MF_SEPARATOR);
        }
        bar->AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(popup), "+");
    } else if (!matched && plus >= 0) {
        bar->DeleteMenu(UINT(plus), MF_BYPOSITION);
    }
    DrawMenuBar();
}
