#include "app/faceapp.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "document/facedoc.h"
#include "app/mainframe.h"
#include "dialogs/dlgprogress.h"
#include "document/ids.h"
#include "document/project_file.h"
#include "document/tempfolders.h"
#include "fitting/kernel2d.h"
#include "fitting/kernel3d.h"
#include "framework/backend.h"
#include "model/head.h"
#include "picture/bmp_platform.h"
#include "picture/clipboard_bmp_platform.h"
#include "views/faceview.h"

namespace {

CFaceApp* g_faceApp = nullptr;

std::function<void()>& startObserver() {
    static std::function<void()> observer;
    return observer;
}

std::optional<std::string>& programFolderOverride() {
    static std::optional<std::string> folder;
    return folder;
}

// A POSIX folder in Windows form ending in "\".
std::string windowsFolder(std::string folder) {
    std::replace(folder.begin(), folder.end(), '/', '\\');
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

CString lowered(CString s) {
    s.MakeLower();
    return s;
}

// Removes the top-level menu at position and redraws nothing.
void removeTopMenu(CMenu* bar, int position) { bar->DeleteMenu(UINT(position), MF_BYPOSITION); }

}  // namespace

CFaceApp* FaceApp() { return g_faceApp; }

void SetStartObserver(std::function<void()> observer) { startObserver() = std::move(observer); }

void SetProgramFolder(const std::string& posixFolder) {
    if (posixFolder.empty())
        programFolderOverride().reset();
    else
        programFolderOverride() = posixFolder;
}

std::string ProgramFolder() {
    if (programFolderOverride()) return windowsFolder(*programFolderOverride());
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "\\";
    std::string exe(buffer, size_t(n));
    size_t cut = exe.find_last_of('/');
    return windowsFolder(cut == std::string::npos ? std::string() : exe.substr(0, cut));
}

// ---------------------------------------------------------------- about box

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

// ---------------------------------------------------------------- application

BEGIN_MESSAGE_MAP(CFaceApp, CWinApp)
  ON_COMMAND(ID_APP_ABOUT, OnAppAbout)
  ON_COMMAND(ID_ABOUT_SHORT, OnAppAbout)
  ON_COMMAND(ID_FILE_NEW, OnFileNew)
  ON_COMMAND(ID_WEB, OnWEB)
  ON_COMMAND(ID_MAIL, OnMail)
  ON_COMMAND_RANGE(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE16, OnMruDummy)
END_MESSAGE_MAP()

CFaceApp::CFaceApp()
    : CWinApp("Brivanta"),
      version(state().version),
      pictureEditorMode(state().pictureEditor),
      dazMode(state().dazMode),
      proMode(state().proMode),
      objHeadImported(state().objHeadImported),
      languageId(state().language) {
    g_faceApp = this;
    version = 5.0;
    pictureEditorMode = 1;
    dazMode = 0;
    objHeadImported = 0;
    state().clipboardPicture = &clipboardPicture;
    svc::setApp(this);
}

CFaceApp::~CFaceApp() {
    delete splash_;
    delete progressDialog;
    if (svc::detail::app == this) svc::setApp(nullptr);
    if (g_faceApp == this) g_faceApp = nullptr;
}

void CFaceApp::SetWindowsCommandLine(const std::vector<std::string>& argv) {
    CString whole, rest;
    for (size_t i = 0; i < argv.size(); ++i) {
        CString arg(argv[i].c_str());
        CString part = i == 0 || arg.Find(' ') >= 0 ? '"' + arg + '"' : arg;
        if (i == 0) {
            whole = part;
            continue;
        }
        whole += ' ' + part;
        if (i > 1) rest += ' ';
        rest += part;
    }
    wholeCommandLine_ = whole;
    SetCommandLine(rest);
}

BOOL CFaceApp::InitInstance() {
    // Without any font every label and menu would be empty boxes, unexplained.
    if (!brv::FontsFound())
        AfxMessageBox("No font was found: texts cannot be shown. Install a TrueType font, such as DejaVu Sans.",
                      MB_OK | MB_ICONWARNING);
    // 1. The about box as the splash.
    splash_ = new CAboutDlg;
    if (splash_->Create(IDD_ABOUTBOX)) {
        splash_->SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        splash_->ShowWindow(SW_SHOW);
        splash_->UpdateWindow();
    }
    // 2 and 3.
    tnjuikm(wholeCommandLine_);
    Enable3dControls();
    SetRegistryKey("Tervanik");
    programFolder = ProgramFolder().c_str();
    state().programFolder = std::string(programFolder.View());
    // 4.
    files::EmptyTempFolder();
    // 5.
    languageId = 1033;
    resourceModule = nullptr;
    settingsWord = 0;
    // 6.
    AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CFaceDoc), RUNTIME_CLASS(CMainFrame), nullptr));
    // 7. The framework never opens the named file itself.
    CCommandLineInfo info;
    ParseCommandLine(info);
    commandFile = info.m_strFileName;
    info.m_nShellCommand = CCommandLineInfo::FileNew;
    // 8.
    pars_daz_command(wholeCommandLine_, &dazVersion, &dazName, &dazFigure, dazGroups, &dazHeadGroup);
    SyncDazKeywords();
    // 9. The document, the frame, the splitter and the views.
    if (!ProcessShellCommand(info)) return FALSE;
    CMainFrame* frame = Frame();
    if (!frame) return FALSE;
    // 10.
    LoadStdProfileSettings(4);
    // 11.
    frame->m_bAutoMenuEnable = FALSE;
    CMenu* bar = frame->GetMenu();
    if (bar) bar->DeleteMenu(ID_ABOUT_SHORT, MF_BYCOMMAND);
    // 12.
    frame->ShowWindow(SW_HIDE);
    frame->UpdateWindow();
    progressDialog = new CDlgProgress(frame);
    // 13.
    if (bar) {
        for (int i = int(bar->GetMenuItemCount()) - 1; i >= 0; --i) {
            CString text;
            bar->GetMenuString(UINT(i), text, MF_BYPOSITION);
            if (text == "Help") removeTopMenu(bar, i);
        }
        if ((pictureEditorMode || dazMode) && bar->GetMenuItemCount() > 0) removeTopMenu(bar, 0);
        frame->DrawMenuBar();
    }
    // 14.
    files::PrepareTempFolders();
    // 15.
    frame->ShowWindow(SW_SHOWMAXIMIZED);
    frame->UpdateWindow();
    // 16.
    Sleep(3000);
    if (splash_) {
        if (splash_->m_hWnd) splash_->DestroyWindow();
        delete splash_;
        splash_ = nullptr;
    }
    // 17 and 18.
    frame->OnViews2();
    if (pictureEditorMode) Document()->templateId = 121;
    return TRUE;
}

int CFaceApp::ExitInstance() {
    if (progressDialog) {
        progressDialog->Close();
        delete progressDialog;
        progressDialog = nullptr;
    }
    return CWinApp::ExitInstance();
}

BOOL CFaceApp::OnIdle(LONG count) { return CWinApp::OnIdle(count); }

void CFaceApp::EndProgram(int code) { brv::ExitProgram(code); }

void CFaceApp::SyncDazKeywords() {
    svc::AppState& s = state();
    s.faceKeyword = std::string(dazGroups[0].View());
    s.lipKeyword = std::string(dazGroups[1].View());
    s.eyeSocketKeyword = std::string(dazGroups[2].View());
    s.altFaceKeyword = std::string(dazGroups[3].View());
    s.headGroupKeyword = std::string(dazHeadGroup.View());
    s.figureName = std::string(dazFigure.View());
}

CString CFaceApp::TempFolder() const { return files::TempFolder().c_str(); }

CFaceDoc* CFaceApp::Document() const { return actdoc; }

CMainFrame* CFaceApp::Frame() const { return dynamic_cast<CMainFrame*>(m_pMainWnd); }

void CFaceApp::OnAppAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CFaceApp::OnAppAboutShort() { OnShortAbout(true); }

void CFaceApp::OnWEB() { GotoURL(links::kWeb); }

void CFaceApp::OnMail() { GotoURL(links::kMail); }

void CFaceApp::OnMruDummy(UINT) {}

bool CFaceApp::GotoURL(const char* url) {
    // Handed to the desktop as one argument.
    return url && *url &&
           reinterpret_cast<uintptr_t>(ShellExecute(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

void CFaceApp::Help(int, const char* kind) {
    if (!kind) return;
    const char* url = CString(kind) == "pdf" ? links::kManual : CString(kind) == "wmv" ? links::kVideo : nullptr;
    // the icons would otherwise do nothing visible
    if (url && !GotoURL(url)) {
        CString text;
        text.Format("No web browser could be started to open %s", url);
        AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
    }
}

CString CFaceApp::GetRecentFileName(int n) {
    return m_pRecentFileList && n >= 0 ? (*m_pRecentFileList)[n] : CString();
}

// ---------------------------------------------------------------- statistics

CString FigureName(int templateId, int skinTriangles, int dazMode, const CString& dazFigure) {
    if (skinTriangles == 0) return "**";
    if (templateId == 101) return "Michael 3";
    if (templateId == 102) return "Victoria 4";
    if (dazMode) {
        if (dazFigure == "V4") return "Vicky 4";
        if (dazFigure == "M3") return "Mickey 3";
        return dazFigure;
    }
    switch (skinTriangles) {
        case 2076: return "James";
        case 6374: return "Jessie";
        case 7369: return "Vicky 4";
        case 8202: return "Kate";
        case 18781: return "Mickey 3";
        default: return "From OBJ";
    }
}

CString CFaceApp::Statistics() {
    CFaceDoc* doc = Document();
    if (!doc) return CString();
    char type[8] = {};
    doc->BrivantaType(type);
    CString code(std::string_view(type, strnlen(type, sizeof type)));
    const CKernel2D& photo = *doc->kernel2D;
    const head3& head = *doc->kernel3D->head;
    const svc::FaceTables& t = doc->tables();
    // The skin sets: the face, lip and eye-socket materials.
    std::vector<int> skin;
    if (t.materials.size() > 0)
        for (int m : {t.faceMaterial, t.lipMaterial, t.eyeSocketMaterial})
            if (m >= 0 && std::find(skin.begin(), skin.end(), m) == skin.end()) skin.push_back(m);
    int skinTriangles = 0;
    vector3<double> lo(1e10, 1e10, 1e10), hi(-1e10, -1e10, -1e10);
    for (int i = head.triangles.first(); i != -1; i = head.triangles.nextOf(i)) {
        const triangle& tr = head.triangles[i];
        if (std::find(skin.begin(), skin.end(), tr.material) == skin.end()) continue;
        ++skinTriangles;
        for (int k = 0; k < 3; ++k) {
            const vector3<double>& p = head.vertices[tr.corner(k)].position;
            lo = fnd::min(lo, p);
            hi = fnd::max(hi, p);
        }
    }
    if (lo.x > 5e9) lo = hi = vector3<double>(0, 0, 0);
    double side = std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
    vector3<double> eye(0, 0, 200);
    double fovy = 50;
    if (CFaceView* v = doc->GetViewEdit2D3D<CFaceView>())
        if (ProjectionCore* c = v->Camera()) eye = c->eye(), fovy = c->fovy();
    int id = skinTriangles ? doc->templateId : 0;
    CString text;
    text.Format(
        "%s\nPicture size: %dx%d  %d\n%d - %s  \nNumber of verts: %d (%d)\nNumber of sets: %d\nTexture size: "
        "%dx%d\n\n(%.4g %.4g %.4g) %.4g %.4g\n%d,%d,%d,%d\n(%.4g %.4g %.4g)\n(%.4g %.4g %.4g)",
        code.GetString(), photo.photo.GetWidth(), photo.photo.GetHeight(), int(photo.fileBytes.size()), id,
        FigureName(id, skinTriangles, dazMode, dazFigure).GetString(), head.vertices.count(), skinTriangles,
        int(t.materials.size()), doc->textureSize, doc->textureSize, lo.x, lo.y, lo.z, side, fovy, photo.left,
        photo.top, photo.right, photo.bottom, hi.x, hi.y, hi.z, eye.x, eye.y, eye.z);
    return text;
}

CString CFaceApp::OnShortAbout(bool show) {
    CString header;
    header.Format("Brivanta %.2f\nBuilt %s %s\n(c) Tervanik\nWeb: %s\nDistributor: Tervanik Store\nMail: %s\n\n",
                  version, __DATE__, __TIME__, links::kWeb, links::kMail + 7);
    CString text = header + Statistics();
    if (show) {
        AfxMessageBox(text, MB_ICONINFORMATION);
        return text;
    }
    // One "|" for each "_", each CR LF and each lone CR or LF.
    std::string in(text.View()), out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\r' && i + 1 < in.size() && in[i + 1] == '\n') ++i;
        out += in[i] == '_' || in[i] == '\r' || in[i] == '\n' ? '|' : in[i];
    }
    return out.c_str();
}

// ---------------------------------------------------------------- launch

void tnjuikm(const CString& commandLine) {
    CFaceApp* app = FaceApp();
    if (!app) return;
    app->dazMode = commandLine.Find("DAZStudio") >= 0 ? 2 : 0;
    app->clipboardPicture.Create(16, 16, 32, false);
    if (app->pictureEditorMode) app->clipboardPicture.FromClipboard(PL_CF_BITMAP);
}

void pars_daz_command(const CString& commandLine, CString* version, CString* name, CString* figure,
                      CString* groups, CString* headGroup) {
    *version = "1.0";
    *name = "Untitled";
    *figure = "---";
    const char* defaults[6] = {"skinface", "lip", "eyesocket", "skinhead", "", ""};
    for (int i = 0; i < 6; ++i) groups[i] = defaults[i];
    *headGroup = "head";
    CFaceApp* app = FaceApp();
    if (app && app->dazMode) {
        std::string line(commandLine.View());
        size_t commas[5];
        size_t at = 0;
        bool complete = true;
        for (size_t& c : commas) {
            c = line.find(',', at);
            if (c == std::string::npos) {
                complete = false;
                break;
            }
            at = c + 1;
        }
        size_t quote = complete ? line.find('"', commas[4] + 1) : std::string::npos;
        if (complete && quote != std::string::npos) {
            auto field = [&](int k) { return line.substr(commas[k] + 1, commas[k + 1] - commas[k] - 1); };
            *version = field(0).c_str();
            *name = field(1).c_str();
            *figure = field(2).c_str();
            // The text before the first colon is dropped; the items go to
            // the slots 1, 0, 2 and 3.
            std::string list = field(3);
            const int slots[4] = {1, 0, 2, 3};
            size_t colon = list.find(':');
            for (int k = 0; k < 4 && colon != std::string::npos; ++k) {
                size_t next = list.find(':', colon + 1);
                groups[slots[k]] = list.substr(colon + 1, next == std::string::npos ? next : next - colon - 1).c_str();
                colon = next;
            }
        }
    }
    for (int i = 0; i < 6; ++i) groups[i] = lowered(groups[i]);
    *headGroup = lowered(*headGroup);
}

// ---------------------------------------------------------------- entry

int RunBrivanta(int argc, char** argv, brv::Backend& backend) {
    brv::Backend* previous = brv::SetBackend(&backend);
    brv::InstallBmpPlatform();
    bool full = false;
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::string(argv[i]) == "--full")
            full = true;
        else
            args.emplace_back(argv[i]);
    }
    if (args.empty()) args.emplace_back("brivanta");
    int code = 0;
    {
        CFaceApp app;
        if (full) app.pictureEditorMode = 0;
        app.SetWindowsCommandLine(args);
        try {
            if (!app.InitInstance()) {
                if (app.m_pMainWnd) app.m_pMainWnd->DestroyWindow();
                code = app.ExitInstance();
            } else {
                if (startObserver()) startObserver()();
                code = app.Run();
            }
        } catch (const brv::ProgramExit& e) {
            code = e.code;
        }
        if (app.m_pMainWnd) app.m_pMainWnd->DestroyWindow();
    }
    brv::SetBackend(previous);
    return code;
}
