#pragma once
// The application object: the one CWinApp of the program, its message loop
// (Run, OnIdle, PreTranslateMessage with the frame's accelerators and the
// dialogs' keys), its settings root and recent files (in the File menu at
// item ID_FILE_MRU_FILE1, 57616-57631), the command line and the document
// templates.
#include <memory>
#include <vector>

#include "framework/docview.h"
#include "framework/settings.h"
#include "framework/shell.h"
#include "framework/wnd.h"

class CCommandLineInfo : public CObject {
 public:
  enum { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppUnregister, FileNothing = -1 };
  CCommandLineInfo() = default;
  ~CCommandLineInfo() override = default;

  // One argument: bFlag when it began with '/' or '-' (which is dropped).
  virtual void ParseParam(LPCSTR param, BOOL flag, BOOL last);

  BOOL m_bShowSplash = TRUE;
  BOOL m_bRunEmbedded = FALSE;
  BOOL m_bRunAutomated = FALSE;
  int m_nShellCommand = FileNew;
  CString m_strFileName;
};

class CWinApp : public CCmdTarget {
  DECLARE_DYNAMIC(CWinApp)
 public:
  // The program's one application object (AfxGetApp) while it lives.
  explicit CWinApp(LPCSTR appName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance();
  virtual int ExitInstance();
  // The message loop: until WM_QUIT (or, with a backend that has no more
  // input, until the input ends); returns ExitInstance's code.
  virtual int Run();
  virtual BOOL OnIdle(LONG count);
  virtual BOOL PreTranslateMessage(MSG* msg);
  virtual BOOL PumpMessage();

  // The settings root (the settings file is fixed; the key is kept).
  void SetRegistryKey(LPCSTR key);
  void SetRegistryKey(UINT stringId);
  // Reads the recent-file list of `maxMru` entries (0: none).
  void LoadStdProfileSettings(UINT maxMru = 4);
  virtual void AddToRecentFileList(LPCSTR path);
  UINT GetProfileInt(LPCSTR section, LPCSTR entry, int defaultValue);
  BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, int value);
  CString GetProfileString(LPCSTR section, LPCSTR entry, LPCSTR defaultValue = nullptr);
  BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value);

  // Splits m_lpCmdLine (blanks separate, double quotes group) into params.
  void ParseCommandLine(CCommandLineInfo& info);
  // FileNew: the new-file command; FileOpen: opens the named file.
  BOOL ProcessShellCommand(CCommandLineInfo& info);

  void AddDocTemplate(CDocTemplate* documentTemplate);
  virtual CDocument* OpenDocumentFile(LPCSTR path);
  void CloseAllDocuments(BOOL endSession);
  BOOL SaveAllModified();

  HICON LoadIcon(UINT id) const;
  HICON LoadIcon(LPCSTR name) const;
  HCURSOR LoadCursor(UINT id) const;
  HCURSOR LoadCursor(LPCSTR name) const;
  HCURSOR LoadStandardCursor(LPCSTR name) const;
  HICON LoadStandardIcon(LPCSTR name) const;
  BOOL Enable3dControls() { return TRUE; }
  BOOL Enable3dControlsStatic() { return TRUE; }
  CWnd* GetMainWnd() const { return m_pMainWnd; }

  // The command handlers of the base.
  void OnFileNew();
  void OnAppExit();
  BOOL OnOpenRecentFile(UINT id);
  void OnUpdateRecentFileMenu(CCmdUI* ui);

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
  LPCSTR m_pszAppName = nullptr;
  LPCSTR m_pszExeName = nullptr;
  LPCSTR m_pszRegistryKey = nullptr;
  LPCSTR m_pszProfileName = nullptr;
  LPSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOWNORMAL;
  brv::RecentFileList* m_pRecentFileList = nullptr;

  // The command line (the arguments joined, each in double quotes when it
  // holds a blank), for m_lpCmdLine.
  void SetCommandLine(int argc, char** argv);
  void SetCommandLine(LPCSTR line);

 protected:
  DECLARE_MESSAGE_MAP()

 private:
  CString appName_, registryKey_, commandLine_;
  std::unique_ptr<brv::RecentFileList> recent_;
  std::vector<CDocTemplate*> templates_;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
LPCSTR AfxGetAppName();

// The program's entry: the application's InitInstance, then Run (or, when
// InitInstance fails, ExitInstance); returns the exit code.
int AfxWinMain(int argc, char** argv);
