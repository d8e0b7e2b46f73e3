#pragma once
// CFileDialog: the open and save dialogs. The filter is the framework's
// text of pairs "description|masks|...||" (masks separated by ';'), kept
// in m_ofn.lpstrFilter as NUL-separated pairs; m_ofn.nFilterIndex (1-based)
// chooses the first filter shown and returns the one in use. With
// OFN_ENABLETEMPLATE the layout m_ofn.lpTemplateName is placed beside the
// file list as a child dialog, to which the CFileDialog object belongs (its
// OnInitDialog runs for it, its controls can be subclassed); every change of
// the selection calls OnFileNameChange, during which GetPathName gives the
// selected file.
//
// The chosen path comes back as a POSIX path. Without an initial folder or a
// folder in the initial name a dialog starts in the folder last chosen in
// one (at first the working folder). A name
// typed without an extension gets the selected filter's extension when that
// filter is one "*.ext" mask, else the default extension (after its last
// '.': "*.obj" gives ".obj"). A name holding '\' is refused; with
// OFN_FILEMUSTEXIST a missing file and with OFN_OVERWRITEPROMPT an existing
// one (unless the user agrees) keep the dialog open. "*.*" matches every
// file; paths have no length limit.
#include <string>
#include <vector>

#include "framework/dialog.h"

struct OPENFILENAME {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  void* lpfnHook;
  LPCSTR lpTemplateName;
};

enum : DWORD {
  OFN_READONLY = 0x1,
  OFN_OVERWRITEPROMPT = 0x2,
  OFN_HIDEREADONLY = 0x4,
  OFN_NOCHANGEDIR = 0x8,
  OFN_SHOWHELP = 0x10,
  OFN_ENABLEHOOK = 0x20,
  OFN_ENABLETEMPLATE = 0x40,
  OFN_NOVALIDATE = 0x100,
  OFN_ALLOWMULTISELECT = 0x200,
  OFN_PATHMUSTEXIST = 0x800,
  OFN_FILEMUSTEXIST = 0x1000,
  OFN_CREATEPROMPT = 0x2000,
  OFN_EXPLORER = 0x80000,
  OFN_ENABLESIZING = 0x800000,
};

enum : UINT {
  CDN_INITDONE = static_cast<UINT>(-601),
  CDN_SELCHANGE = static_cast<UINT>(-602),
  CDN_FOLDERCHANGE = static_cast<UINT>(-603),
  CDN_FILEOK = static_cast<UINT>(-606),
  CDN_TYPECHANGE = static_cast<UINT>(-607),
};

struct OFNOTIFY {
  NMHDR hdr;
  OPENFILENAME* lpOFN;
  LPSTR pszFile;
};

namespace brv {
class FileDialogSession;
}

class CFileDialog : public CDialog {
  DECLARE_DYNAMIC(CFileDialog)
 public:
  CFileDialog(BOOL openFileDialog, LPCSTR defaultExtension = nullptr, LPCSTR fileName = nullptr,
              DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr, CWnd* parent = nullptr);
  ~CFileDialog() override;

  int DoModal() override;
  // The chosen path (while the dialog runs: the selected file), POSIX.
  CString GetPathName() const;
  // After the last '/'.
  CString GetFileName() const;
  // The file name's extension (without the '.'), empty without one.
  CString GetFileExt() const;
  // The file name without its extension.
  CString GetFileTitle() const;
  CString GetFolderPath() const;
  BOOL GetReadOnlyPref() const { return (m_ofn.Flags & OFN_READONLY) ? TRUE : FALSE; }
  // The caption of the dialogs this object runs from now on (m_ofn.lpstrTitle
  // points to the object's copy; empty: "Open" or "Save As").
  void SetCustomTitle(LPCSTR title);

  OPENFILENAME m_ofn{};

 protected:
  virtual void OnFileNameChange();
  virtual void OnFolderChange();
  virtual void OnTypeChange();
  virtual void OnInitDone();
  virtual BOOL OnFileNameOK();
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

  BOOL m_bOpenFileDialog;
  CString m_strFilter;  // the pairs, '|' turned into NULs

 private:
  friend class brv::FileDialogSession;
  CString defaultExtension_;
  CString fileName_;    // the buffer m_ofn.lpstrFile points to
  CString title_;
  CString customTitle_;
  std::vector<char> fileBuffer_;
  CString result_;      // POSIX
  CString selection_;   // while running, POSIX
  bool running_ = false;
};

namespace brv {

// What a backend runs: the dialog's filters and options, the windows the
// program sees, and the user's actions.
class FileDialogSession {
 public:
  struct Filter {
    std::string description;
    std::vector<std::string> masks;  // "*.jpg", "*.*", ...
  };

  explicit FileDialogSession(CFileDialog* dialog, HWND window, HWND templateWindow);

  bool IsOpen() const;  // an open dialog (false: save)
  const std::vector<Filter>& Filters() const { return filters_; }
  int FilterIndex() const { return filterIndex_; }  // 1-based
  DWORD Flags() const;
  std::string Title() const;
  std::string InitialFolder() const { return folder_; }  // POSIX
  std::string InitialName() const;                       // the initial file name, if any
  std::string DefaultExtension() const;                  // as given ("*.obj")
  HWND Window() const { return window_; }                // the dialog's top-level window
  HWND TemplateWindow() const { return template_; }      // the layout's child dialog (null: none)

  // Whether a file name matches the filter in use.
  bool Matches(const std::string& fileName) const;
  // The user chose another filter (1-based).
  void SetFilterIndex(int index);
  // The user selected a file (a POSIX path; empty: nothing): the program's
  // OnFileNameChange runs.
  void Select(const std::string& posixPath);
  // The user accepted a name (POSIX; relative names are in the initial
  // folder): the extension, name, must-exist and overwrite rules apply, with
  // their message boxes. True when the dialog may end with IDOK.
  bool Accept(const std::string& typed);
  bool Accepted() const { return accepted_; }
  std::string ResultPosix() const { return result_; }

  static std::vector<Filter> ParseFilter(const char* nulSeparatedPairs);

 private:
  CFileDialog* dialog_;
  HWND window_;
  HWND template_;
  std::vector<Filter> filters_;
  int filterIndex_ = 1;
  std::string folder_;
  bool accepted_ = false;
  std::string result_;
};

// The folder the next dialog without a folder of its own starts in (empty:
// the working folder); a chosen file sets it. For tests: forget it.
std::string LastFileDialogFolder();
void ForgetLastFileDialogFolder();

}  // namespace brv
