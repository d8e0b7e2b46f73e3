#include "app/faceapp.h"

#include "app/facedoc.h"
#include "app/ids.h"
#include "app/mainframe.h"
#include "dialogs/dlgprogress.h"

namespace {
CFaceApp* g_faceApp = nullptr;
}

CFaceApp* FaceApp() { return g_faceApp; }

BEGIN_MESSAGE_MAP(CFaceApp, CWinApp)
END_MESSAGE_MAP()

CFaceApp::CFaceApp()
    : CWinApp("Brivanta"),
      pictureEditorMode(state().pictureEditor),
      dazMode(state().dazMode),
      languageId(state().language) {
    g_faceApp = this;
    pictureEditorMode = 1;
    dazMode = 0;
    state().clipboardPicture = &clipboardPicture;
    svc::setApp(this);
}

CFaceApp::~CFaceApp() {
    if (svc::detail::app == this) svc::setApp(nullptr);
    if (g_faceApp == this) g_faceApp = nullptr;
}

BOOL CFaceApp::InitInstance() { return TRUE; }
int CFaceApp::ExitInstance() { return CWinApp::ExitInstance(); }
BOOL CFaceApp::OnIdle(LONG count) { return CWinApp::OnIdle(count); }
void CFaceApp::EndProgram(int code) { brv::ExitProgram(code); }
CString CFaceApp::TempFolder() const { return CString(); }
void CFaceApp::OnAppAbout() {}
void CFaceApp::OnAppAboutShort() {}
void CFaceApp::OnWEB() {}
void CFaceApp::OnMail() {}
void CFaceApp::OnMruDummy(UINT) {}
CString CFaceApp::OnShortAbout(bool) { return CString(); }
void CFaceApp::GotoURL(const char*) {}
void CFaceApp::Help(int, const char*) {}
CString CFaceApp::GetRecentFileName(int) { return CString(); }
void CFaceApp::SyncDazKeywords() {}
CFaceDoc* CFaceApp::Document() const { return actdoc; }
CMainFrame* CFaceApp::Frame() const { return dynamic_cast<CMainFrame*>(m_pMainWnd); }

void tnjuikm(const CString&) {}
void pars_daz_command(const CString&, CString*, CString*, CString*, CString*, CString*) {}
CString FigureName(int, int, int, const CString&) { return CString(); }

int RunBrivanta(int, char**, brv::Backend&) { return 0; }
