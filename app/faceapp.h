#pragma once
// The application object: the mode words of the run, the DAZ launch fields,
// the picture taken from the clipboard, the shared progress window, the
// start-up sequence and the about, statistics, web and help commands. It is
// also the svc::FaceApp the model and fitting code read, kept in step with
// the members below.

#include <functional>
#include <string>
#include <vector>

#include "framework/ui.h"
#include "picture/winbmp.h"
#include "seams/app.h"

class CDlgProgress;
class CFaceDoc;
class CMainFrame;

namespace brv {
class Backend;
}

// The about box, also the splash at start.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    CWinBmp picture;
};

class CFaceApp : public CWinApp, public svc::FaceApp {
public:
    CFaceApp();
    ~CFaceApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    BOOL OnIdle(LONG count) override;
    void EndProgram(int code) override;
    std::string DazFigureName() const override { return std::string(dazFigure.View()); }
    std::string DazObjectName() const override { return std::string(dazName.View()); }

    // The seam's state under the names of the application.
    double& version;
    int32_t& pictureEditorMode;
    int32_t& dazMode;
    int32_t& proMode;          // 1 "Pro": step 2 shows the feature-curve page
    int32_t& objHeadImported;  // 1 after a head came from an OBJ file
    int16_t& languageId;
    void* resourceModule = nullptr;
    int settingsWord = 0;
    CString commandFile;
    CString dazVersion = "1.0", dazName = "Untitled", dazFigure = "---";
    CString dazGroups[6] = {"skinface", "lip", "eyesocket", "skinhead", "", ""};
    CString dazHeadGroup = "head";
    CWinBmp clipboardPicture;
    CDlgProgress* progressDialog = nullptr;

    // The program's folder in Windows form, ending in "\".
    CString programFolder;
    // The temporary folder in Windows form, ending in "\": the system's
    // temporary path and "fmtmp\" (or "fmtmp-<uid>\", see PrepareTempFolders).
    CString TempFolder() const;

    void OnAppAbout();
    void OnAppAboutShort() override;
    void OnWEB();
    void OnMail();
    void OnMruDummy(UINT id);
    // The statistics text: shown in a box, or returned with every "_" and
    // line break as "|".
    CString OnShortAbout(bool show);
    // True when the desktop took the link.
    bool GotoURL(const char* url);
    void Help(int, const char* kind) override;
    CString GetRecentFileName(int n);

    // The DAZ fields into the seam's keywords.
    void SyncDazKeywords();
    // The whole command line, Windows style: the program in double quotes,
    // then each argument after a blank (one holding a blank quoted).
    void SetWindowsCommandLine(const std::vector<std::string>& argv);
    const CString& WholeCommandLine() const { return wholeCommandLine_; }
    // The statistics block of OnShortAbout.
    CString Statistics();

    CFaceDoc* Document() const;
    CMainFrame* Frame() const;

protected:
    DECLARE_MESSAGE_MAP()

private:
    CString wholeCommandLine_;
    CAboutDlg* splash_ = nullptr;
};

// Launch detection (DAZ mode) and the clipboard picture.
void tnjuikm(const CString& commandLine);
// The DAZ launch fields from the command line (defaults first; read only in
// DAZ mode).
void pars_daz_command(const CString& commandLine, CString* version, CString* name, CString* figure,
                      CString* groups, CString* headGroup);

// The figure name of the statistics: by template id, DAZ figure or the
// count of skin triangles ("**" with none).
CString FigureName(int templateId, int skinTriangles, int dazMode, const CString& dazFigure);

// The one application object while it lives.
CFaceApp* FaceApp();

// The program folder of the run: the folder of /proc/self/exe unless a
// test set another (a POSIX folder; empty: back to the default).
void SetProgramFolder(const std::string& posixFolder);
// The folder in Windows form, ending in "\".
std::string ProgramFolder();

// Called between the start-up and the message loop of RunBrivanta (tests
// look at what the start-up left before the first timer tick).
void SetStartObserver(std::function<void()> observer);

// The process entry: builds the Windows-style command line, runs the
// application over the backend and returns the exit code.
int RunBrivanta(int argc, char** argv, brv::Backend& backend);

// Our web, mail, manual and video addresses.
namespace links {
inline constexpr const char* kWeb = "https://www.tervanik.example/brivanta";
inline constexpr const char* kMail = "mailto:brivanta@tervanik.example";
inline constexpr const char* kManual = "https://shop.tervanik.example/brivanta/manual.pdf";
inline constexpr const char* kVideo = "https://shop.tervanik.example/brivanta/help.wmv";
}  // namespace links
