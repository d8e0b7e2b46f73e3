#include "framework/app.h"

#include <algorithm>

#include "framework/backend.h"
#include "framework/system.h"
#include "framework/window_state.h"

namespace {
CWinApp* g_app = nullptr;
}  // namespace

namespace brv {

void MainWindowGone(CWnd* window) {
  if (g_app && g_app->m_pMainWnd == window) {
    g_app->m_pMainWnd = nullptr;
    PostQuitMessage(0);
  }
}

}  // namespace brv

using namespace brv;

CWinApp* AfxGetApp() { return g_app; }
CWnd* AfxGetMainWnd() { return g_app ? g_app->m_pMainWnd : nullptr; }
HINSTANCE AfxGetInstanceHandle() { return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)); }
HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }
LPCSTR AfxGetAppName() { return g_app ? g_app->m_pszAppName : ApplicationName().GetString(); }

BOOL AfxPumpMessage() {
  if (g_app) return g_app->PumpMessage();
  MSG msg;
  if (!::GetMessage(&msg, nullptr, 0, 0)) return FALSE;
  // Without an application object the windows still see their keys first.
  if (!CWnd::WalkPreTranslateTree(nullptr, &msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessage(&msg);
  }
  return TRUE;
}

int AfxWinMain(int argc, char** argv) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  app->SetCommandLine(argc, argv);
  if (!app->InitInstance()) {
    if (app->m_pMainWnd) app->m_pMainWnd->DestroyWindow();
    return app->ExitInstance();
  }
  return app->Run();
}

// ---------------------------------------------------------------- command line

void CCommandLineInfo::ParseParam(LPCSTR param, BOOL flag, BOOL) {
  if (flag) {
    CString p(param);
    if (p.CompareNoCase("p") == 0 && m_nShellCommand != FileNothing) m_nShellCommand = FilePrint;
    else if (p.CompareNoCase("pt") == 0) m_nShellCommand = FilePrintTo;
    else if (p.CompareNoCase("Unregister") == 0 || p.CompareNoCase("Unregserver") == 0) m_nShellCommand = AppUnregister;
    else if (p.CompareNoCase("Embedding") == 0) m_bRunEmbedded = TRUE, m_bShowSplash = FALSE;
    else if (p.CompareNoCase("Automation") == 0) m_bRunAutomated = TRUE, m_bShowSplash = FALSE;
    return;
  }
  if (m_strFileName.IsEmpty()) {
    m_strFileName = param;
    if (m_nShellCommand == FileNew) m_nShellCommand = FileOpen;
  }
}

// ---------------------------------------------------------------- CWinApp

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

BEGIN_MESSAGE_MAP(CWinApp, CCmdTarget)
  ON_COMMAND_EX_RANGE(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE16, OnOpenRecentFile)
  ON_UPDATE_COMMAND_UI(ID_FILE_MRU_FILE1, OnUpdateRecentFileMenu)
  ON_COMMAND(ID_APP_EXIT, OnAppExit)
END_MESSAGE_MAP()

CWinApp::CWinApp(LPCSTR appName) {
  g_app = this;
  appName_ = appName ? CString(appName) : ApplicationName();
  m_pszAppName = appName_;
  m_pszExeName = appName_;
  m_pszProfileName = appName_;
  m_hInstance = AfxGetInstanceHandle();
  m_lpCmdLine = const_cast<LPSTR>(commandLine_.GetString());
}

CWinApp::~CWinApp() {
  for (CDocTemplate* t : templates_) delete t;
  templates_.clear();
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() {
  if (recent_) recent_->WriteList();
  return State().quitCode;
}

int CWinApp::Run() {
  LONG idle = 0;
  bool idling = true;
  for (;;) {
    MSG msg;
    while (idling && !::PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE))
      if (!OnIdle(idle++)) idling = false;
    while (!::PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE))
      if (State().exited || !CurrentBackend().WaitForInput(nullptr, NextTimerTick())) return ExitInstance();
    if (!PumpMessage()) return ExitInstance();
    idling = true;
    idle = 0;
  }
}

BOOL CWinApp::OnIdle(LONG count) { return count < 1 ? TRUE : FALSE; }

BOOL CWinApp::PumpMessage() {
  MSG msg;
  if (!::GetMessage(&msg, nullptr, 0, 0)) return FALSE;
  if (!PreTranslateMessage(&msg)) {
    ::TranslateMessage(&msg);
    ::DispatchMessage(&msg);
  }
  return TRUE;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
  HWND main = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
  if (CWnd::WalkPreTranslateTree(main, msg)) return TRUE;
  // A modeless dialog's keys get a last chance at the main window's accelerators.
  if (main && msg->hwnd && TopLevelOf(msg->hwnd) != main) return m_pMainWnd->PreTranslateMessage(msg);
  return FALSE;
}

void CWinApp::SetRegistryKey(LPCSTR key) {
  registryKey_ = key ? key : "";
  m_pszRegistryKey = registryKey_;
  m_pszProfileName = m_pszAppName;
}

void CWinApp::SetRegistryKey(UINT stringId) {
  CString key;
  key.LoadString(stringId);
  SetRegistryKey(key);
}

void CWinApp::LoadStdProfileSettings(UINT maxMru) {
  if (maxMru == 0) {
    recent_.reset();
    m_pRecentFileList = nullptr;
    return;
  }
  recent_ = std::make_unique<brv::RecentFileList>(static_cast<int>(std::min(maxMru, 16u)));
  recent_->ReadList();
  m_pRecentFileList = recent_.get();
}

void CWinApp::AddToRecentFileList(LPCSTR path) {
  if (!recent_ || !path || !*path) return;
  recent_->Add(path);
  recent_->WriteList();
}

UINT CWinApp::GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue) {
  return ::GetProfileInt(section, entry, defaultValue);
}
BOOL CWinApp::WriteProfileInt(LPCSTR section, LPCSTR entry, int value) { return ::WriteProfileInt(section, entry, value); }
CString CWinApp::GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue) {
  return ::GetProfileString(section, entry, defaultValue);
}
BOOL CWinApp::WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value) {
  return ::WriteProfileString(section, entry, value);
}

void CWinApp::SetCommandLine(LPCSTR line) {
  commandLine_ = line ? line : "";
  m_lpCmdLine = const_cast<LPSTR>(commandLine_.GetString());
}

void CWinApp::SetCommandLine(int argc, char** argv) {
  CString line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) line += ' ';
    CString arg(argv[i]);
    if (arg.Find(' ') >= 0 || arg.IsEmpty())
      line += '"' + arg + '"';
    else
      line += arg;
  }
  SetCommandLine(line);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) {
  std::vector<std::string> args;
  std::string current;
  bool inQuote = false, any = false;
  for (const char* p = m_lpCmdLine ? m_lpCmdLine : ""; *p; ++p) {
    if (*p == '"') {
      inQuote = !inQuote;
      any = true;
    } else if ((*p == ' ' || *p == '\t') && !inQuote) {
      if (any) args.push_back(current);
      current.clear();
      any = false;
    } else {
      current += *p;
      any = true;
    }
  }
  if (any) args.push_back(current);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // Only "-" starts a switch: a leading "/" is the root of a path here.
    bool flag = !a.empty() && a[0] == '-';
    info.ParseParam(flag ? a.c_str() + 1 : a.c_str(), flag, i + 1 == args.size());
  }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& info) {
  switch (info.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
      if (!OnCmdMsg(ID_FILE_NEW, CN_COMMAND, nullptr, nullptr)) OnFileNew();
      return m_pMainWnd ? TRUE : FALSE;
    case CCommandLineInfo::FileOpen:
      return OpenDocumentFile(info.m_strFileName) ? TRUE : FALSE;
    default: return TRUE;
  }
}

void CWinApp::AddDocTemplate(CDocTemplate* documentTemplate) {
  if (documentTemplate) templates_.push_back(documentTemplate);
}

CDocument* CWinApp::OpenDocumentFile(LPCSTR path) {
  return templates_.empty() ? nullptr : templates_.front()->OpenDocumentFile(path);
}

void CWinApp::CloseAllDocuments(BOOL endSession) {
  for (CDocTemplate* t : templates_) t->CloseAllDocuments(endSession);
}

BOOL CWinApp::SaveAllModified() {
  for (CDocTemplate* t : templates_) {
    POSITION pos = t->GetFirstDocPosition();
    while (pos)
      if (CDocument* d = t->GetNextDoc(pos); d && !d->SaveModified()) return FALSE;
  }
  return TRUE;
}

HICON CWinApp::LoadIcon(UINT id) const { return ::LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(id)); }
HICON CWinApp::LoadIcon(LPCSTR name) const { return ::LoadIcon(AfxGetResourceHandle(), name); }
HCURSOR CWinApp::LoadCursor(UINT id) const { return ::LoadCursor(AfxGetResourceHandle(), MAKEINTRESOURCE(id)); }
HCURSOR CWinApp::LoadCursor(LPCSTR name) const { return ::LoadCursor(AfxGetResourceHandle(), name); }
HCURSOR CWinApp::LoadStandardCursor(LPCSTR name) const { return ::LoadCursor(nullptr, name); }
HICON CWinApp::LoadStandardIcon(LPCSTR name) const { return ::LoadIcon(nullptr, name); }

void CWinApp::OnFileNew() {
  if (!templates_.empty()) templates_.front()->OpenDocumentFile(nullptr);
}

void CWinApp::OnAppExit() {
  if (m_pMainWnd) m_pMainWnd->SendMessage(WM_CLOSE);
}

BOOL CWinApp::OnOpenRecentFile(UINT id) {
  int index = static_cast<int>(id) - static_cast<int>(ID_FILE_MRU_FILE1);
  if (!recent_ || index < 0 || index >= recent_->GetCount()) return FALSE;
  CString path = (*recent_)[index];
  if (!OpenDocumentFile(path)) {
    recent_->Remove(index);
    recent_->WriteList();
  }
  return TRUE;
}

namespace {

// "&1 C:\dir\name.fac"; long paths keep their start and end: "C:\...\dir\name.fac".
CString MruText(int index, const CString& path) {
  std::string p(path.View());
  const size_t kMax = 30;
  if (p.size() > kMax) {
    size_t first = p.find_first_of("\\/");
    if (first != std::string::npos) {
      std::string head = p.substr(0, first + 1) + "...";
      size_t best = p.find_last_of("\\/");
      for (size_t pos = best; pos != std::string::npos && pos > first;) {
        if (head.size() + (p.size() - pos) > kMax) break;
        best = pos;
        pos = p.find_last_of("\\/", pos - 1);
      }
      if (best > first) p = head + p.substr(best);
    }
  }
  CString text;
  text.Format("&%d %s", index + 1, p.c_str());
  return text;
}

CString& MruPlaceholder() {
  static CString text;
  return text;
}

}  // namespace

void CWinApp::OnUpdateRecentFileMenu(CCmdUI* ui) {
  if (!ui || !ui->m_pMenu) return;
  CMenu* menu = ui->m_pMenu;
  if (!recent_) {
    ui->Enable(FALSE);
    return;
  }
  CString placeholder;
  menu->GetMenuString(ui->m_nIndex, placeholder, MF_BYPOSITION);
  if (MruPlaceholder().IsEmpty() || placeholder.Left(1) != "&") MruPlaceholder() = placeholder;
  for (UINT id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE16; ++id) {
    HMENU holder = nullptr;
    int position = 0;
    if (FindMenuCommand(menu->m_hMenu, id, &holder, &position) && holder == menu->m_hMenu) {
      menu->DeleteMenu(static_cast<UINT>(position), MF_BYPOSITION);
      if (static_cast<UINT>(position) < ui->m_nIndex) --ui->m_nIndex;
    }
  }
  int count = recent_->GetCount();
  if (count == 0) {
    menu->InsertMenu(ui->m_nIndex, MF_BYPOSITION | MF_STRING | MF_GRAYED, ID_FILE_MRU_FILE1, MruPlaceholder());
  } else {
    for (int i = 0; i < count; ++i)
      menu->InsertMenu(ui->m_nIndex + static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, ID_FILE_MRU_FILE1 + i,
                       MruText(i, (*recent_)[i]));
    ui->m_nIndex += static_cast<UINT>(count - 1);
  }
  ui->m_nIndexMax = menu->GetMenuItemCount();
  ui->m_bEnableChanged = TRUE;
}
