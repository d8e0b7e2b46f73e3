#include "framework/filedialog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "framework/app.h"
#include "framework/backend.h"
#include "framework/paths.h"
#include "framework/system.h"
#include "framework/window_state.h"

using namespace brv;

namespace brv {

namespace {

std::string& LastFolder() {
  static std::string folder;
  return folder;
}

bool IsFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string CurrentFolder() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size())) return buffer.data();
    if (errno != ERANGE || buffer.size() > (1u << 20)) return "/";
    buffer.resize(buffer.size() * 2);
  }
}

// The extension a mask stands for ("*.jpg" gives "jpg"); empty for masks
// with wildcards in their extension ("*.*").
std::string MaskExtension(const std::string& mask) {
  if (mask.size() < 3 || mask[0] != '*' || mask[1] != '.') return {};
  std::string ext = mask.substr(2);
  if (ext.find_first_of("*?;") != std::string::npos) return {};
  return ext;
}

int Box(const std::string& text, const std::string& caption, UINT type) {
  return ::MessageBox(nullptr, text.c_str(), caption.c_str(), type);
}

}  // namespace

FileDialogSession::FileDialogSession(CFileDialog* dialog, HWND window, HWND templateWindow)
    : dialog_(dialog), window_(window), template_(templateWindow) {
  filters_ = ParseFilter(dialog->m_ofn.lpstrFilter);
  int count = static_cast<int>(filters_.size());
  filterIndex_ = count == 0 ? 0 : std::clamp(static_cast<int>(dialog->m_ofn.nFilterIndex), 1, count);
  if (dialog->m_ofn.lpstrInitialDir && *dialog->m_ofn.lpstrInitialDir)
    folder_ = PosixPath(dialog->m_ofn.lpstrInitialDir);
  std::string name = InitialName();
  size_t slash = name.rfind('/');
  if (folder_.empty() && slash != std::string::npos && slash > 0) folder_ = name.substr(0, slash);
  if (folder_.empty() && IsFolder(LastFolder())) folder_ = LastFolder();
  if (folder_.empty()) folder_ = CurrentFolder();
}

std::vector<FileDialogSession::Filter> FileDialogSession::ParseFilter(const char* p) {
  std::vector<Filter> out;
  if (!p) return out;
  while (*p) {
    Filter f;
    f.description = p;
    p += f.description.size() + 1;
    std::string masks = p;
    p += masks.size() + (*p ? 1 : 0);
    size_t start = 0;
    while (start <= masks.size()) {
      size_t end = masks.find(';', start);
      std::string m = masks.substr(start, end == std::string::npos ? std::string::npos : end - start);
      while (!m.empty() && m.front() == ' ') m.erase(m.begin());
      while (!m.empty() && m.back() == ' ') m.pop_back();
      if (!m.empty()) f.masks.push_back(m);
      if (end == std::string::npos) break;
      start = end + 1;
    }
    out.push_back(std::move(f));
    if (masks.empty()) break;
  }
  return out;
}

bool FileDialogSession::IsOpen() const { return dialog_->m_bOpenFileDialog != FALSE; }
DWORD FileDialogSession::Flags() const { return dialog_->m_ofn.Flags; }
std::string FileDialogSession::Title() const { return std::string(dialog_->title_.View()); }
std::string FileDialogSession::InitialName() const {
  return dialog_->fileName_.IsEmpty() ? std::string() : PosixPath(dialog_->fileName_.View());
}
std::string FileDialogSession::DefaultExtension() const { return std::string(dialog_->defaultExtension_.View()); }

bool FileDialogSession::Matches(const std::string& fileName) const {
  if (filterIndex_ < 1 || filterIndex_ > static_cast<int>(filters_.size())) return true;
  for (const std::string& m : filters_[static_cast<size_t>(filterIndex_ - 1)].masks)
    if (MatchesMask(fileName.c_str(), m.c_str())) return true;
  return false;
}

namespace {
void NotifyDialog(CFileDialog* dialog, UINT code) {
  if (!dialog->m_hWnd) return;
  OFNOTIFY n{};
  n.hdr.hwndFrom = dialog->m_hWnd;
  n.hdr.idFrom = 0;
  n.hdr.code = code;
  n.lpOFN = &dialog->m_ofn;
  Send(dialog->m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}
}  // namespace

void FileDialogSession::SetFilterIndex(int index) {
  if (index < 1 || index > static_cast<int>(filters_.size()) || index == filterIndex_) return;
  filterIndex_ = index;
  dialog_->m_ofn.nFilterIndex = static_cast<DWORD>(index);
  NotifyDialog(dialog_, CDN_TYPECHANGE);
}

void FileDialogSession::Select(const std::string& posixPath) {
  dialog_->selection_ = CString(std::string_view(posixPath));
  NotifyDialog(dialog_, CDN_SELCHANGE);
}

bool FileDialogSession::Accept(const std::string& typed) {
  accepted_ = false;
  if (typed.empty()) return false;
  std::string path = typed[0] == '/' ? typed : folder_ + "/" + typed;
  size_t slash = path.rfind('/');
  std::string folder = slash == 0 ? "/" : path.substr(0, slash);
  std::string name = path.substr(slash + 1);
  std::string caption = Title();
  if (name.empty() || IsFolder(path)) return false;
  if (name.find('\\') != std::string::npos) {
    Box(name + "\nThe file name is not valid.", caption, MB_OK | MB_ICONWARNING);
    return false;
  }
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot + 1 == name.size()) {
    std::string ext;
    if (filterIndex_ >= 1 && filterIndex_ <= static_cast<int>(filters_.size())) {
      const auto& masks = filters_[static_cast<size_t>(filterIndex_ - 1)].masks;
      if (masks.size() == 1) ext = MaskExtension(masks[0]);
    }
    if (ext.empty()) {
      std::string def = DefaultExtension();
      size_t d = def.rfind('.');
      ext = d == std::string::npos ? def : def.substr(d + 1);
      if (ext.find_first_of("*?") != std::string::npos) ext.clear();
    }
    if (!ext.empty()) {
      if (dot + 1 == name.size()) name.pop_back(), path.pop_back();
      name += "." + ext;
      path += "." + ext;
    }
  }
  DWORD flags = Flags();
  if (!IsFolder(folder)) {
    Box(name + "\nPath does not exist.\nCheck the path and try again.", caption, MB_OK | MB_ICONWARNING);
    return false;
  }
  if (IsOpen() && (flags & OFN_FILEMUSTEXIST) && !IsFile(path)) {
    Box(name + "\nFile not found.\nPlease verify the correct file name was given.", caption, MB_OK | MB_ICONWARNING);
    return false;
  }
  if (!IsOpen() && (flags & OFN_OVERWRITEPROMPT) && IsFile(path) &&
      Box(name + " already exists.\nDo you want to replace it?", caption, MB_YESNO | MB_ICONWARNING) != IDYES)
    return false;
  dialog_->selection_ = CString(std::string_view(path));
  if (!dialog_->OnFileNameOK()) {
    accepted_ = true;
    result_ = path;
    LastFolder() = folder;
  }
  return accepted_;
}

std::string LastFileDialogFolder() { return LastFolder(); }
void ForgetLastFileDialogFolder() { LastFolder().clear(); }

}  // namespace brv

// ---------------------------------------------------------------- CFileDialog

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)

CFileDialog::CFileDialog(BOOL openFileDialog, LPCSTR defaultExtension, LPCSTR fileName, DWORD flags, LPCSTR filter,
                         CWnd* parent)
    : CDialog(static_cast<UINT>(0), parent), m_bOpenFileDialog(openFileDialog) {
  defaultExtension_ = defaultExtension ? defaultExtension : "";
  fileName_ = fileName ? fileName : "";
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.Flags = flags | OFN_EXPLORER;
  m_ofn.nFilterIndex = 1;
  m_ofn.lpstrDefExt = defaultExtension_.IsEmpty() ? nullptr : defaultExtension_.GetString();
  if (filter) {
    std::string f = filter;
    std::replace(f.begin(), f.end(), '|', '\0');
    m_strFilter = CString(f.data(), static_cast<int>(f.size()));
    m_ofn.lpstrFilter = m_strFilter.GetString();
  }
  fileBuffer_.assign(fileName_.View().begin(), fileName_.View().end());
  fileBuffer_.resize(std::max<size_t>(fileBuffer_.size() + 1, MAX_PATH), '\0');
  m_ofn.lpstrFile = fileBuffer_.data();
  m_ofn.nMaxFile = static_cast<DWORD>(fileBuffer_.size());
  m_ofn.hInstance = AfxGetInstanceHandle();
}

CFileDialog::~CFileDialog() = default;

void CFileDialog::SetCustomTitle(LPCSTR title) {
  customTitle_ = title ? title : "";
  m_ofn.lpstrTitle = customTitle_;
}

int CFileDialog::DoModal() {
  if (m_hWnd || running_) return -1;
  title_ = m_ofn.lpstrTitle && *m_ofn.lpstrTitle ? m_ofn.lpstrTitle : (m_bOpenFileDialog ? "Open" : "Save As");
  const DialogLayout* layout = nullptr;
  if ((m_ofn.Flags & OFN_ENABLETEMPLATE) && m_ofn.lpTemplateName) {
    int id = IS_INTRESOURCE(m_ofn.lpTemplateName) ? LOWORD(reinterpret_cast<uintptr_t>(m_ofn.lpTemplateName))
                                                  : std::atoi(m_ofn.lpTemplateName + (m_ofn.lpTemplateName[0] == '#'));
    layout = FindDialogLayout(id);
    if (!layout) Log("file dialog: no layout %d", id);
  }
  HWND owner = m_pParentWnd ? TopLevelOf(m_pParentWnd->m_hWnd)
                            : (AfxGetMainWnd() ? TopLevelOf(AfxGetMainWnd()->m_hWnd) : nullptr);
  // The dialog's own window: the file list's place on the left, the layout's
  // child dialog beside it.
  CRect extra(0, 0, 0, 0);
  if (layout) extra = CRect(0, 0, layout->w, layout->h), ::MapDialogRect(nullptr, &extra);
  const int listWidth = 420, listHeight = 300;
  int cw = listWidth + extra.Width() + 8, ch = std::max(listHeight, extra.Height() + 80);
  ScreenMetrics m = CurrentBackend().Metrics();
  HWND window = CreateWindowEx(WS_EX_DLGMODALFRAME, WC_DIALOG, title_, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                               (m.screenWidth - cw) / 2, (m.screenHeight - ch) / 2, cw + 2 * m.dialogFrame,
                               ch + m.caption + 2 * m.dialogFrame, owner, nullptr, AfxGetInstanceHandle(), nullptr);
  if (!window) return IDCANCEL;
  bool ok = false;
  if (layout) {
    DialogLayout placed = *layout;
    placed.style = (placed.style & ~DWORD(WS_POPUP)) | WS_CHILD | WS_VISIBLE;
    ok = CreateDialogWindows(this, placed, CWnd::FromHandle(window), false);
    if (ok) SetWindowPos(nullptr, listWidth, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    ok = CreateEx(0, WC_DIALOG, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr) &&
         Send(m_hWnd, WM_INITDIALOG, 0, 0) >= 0;
  }
  if (!ok || !Record(window)) {
    if (Record(window)) ::DestroyWindow(window);
    return IDCANCEL;
  }
  if (Record(m_hWnd)) ShowWindow(SW_SHOW);
  bool enableOwner = owner && ::IsWindowEnabled(owner);
  if (enableOwner) ::EnableWindow(owner, FALSE);
  running_ = true;
  selection_ = CString(std::string_view(fileName_.IsEmpty() ? std::string() : PosixPath(fileName_.View())));
  struct Restore {
    CFileDialog* dialog;
    HWND window, owner;
    bool enable;
    ~Restore() {
      dialog->running_ = false;
      if (State().exited) return;
      if (enable && Record(owner)) ::EnableWindow(owner, TRUE);
      if (Record(window)) ::DestroyWindow(window);
      if (enable && Record(owner) && IsReallyVisible(owner)) CWnd::FromHandle(owner)->SetActiveWindow();
    }
  } restore{this, window, owner, enableOwner};
  CWnd::FromHandle(window)->ShowWindow(SW_SHOW);
  FileDialogSession session(this, window, layout ? m_hWnd : nullptr);
  {
    OFNOTIFY n{};
    n.hdr.hwndFrom = m_hWnd;
    n.hdr.code = CDN_INITDONE;
    n.lpOFN = &m_ofn;
    if (Record(m_hWnd)) Send(m_hWnd, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
  }
  // What the dialog's windows have pending (their first paint) happens before the user acts.
  for (int guard = 0; guard < 10000; ++guard) {
    MSG msg;
    if (!::PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE) || msg.message == WM_QUIT || !AfxPumpMessage()) break;
  }
  int answer = Record(window) ? CurrentBackend().RunFileDialog(session) : IDCANCEL;
  m_ofn.nFilterIndex = static_cast<DWORD>(session.FilterIndex());
  if (answer != IDOK || !session.Accepted()) return IDCANCEL;
  result_ = CString(std::string_view(session.ResultPosix()));
  std::string r(result_.View());
  size_t n = std::min(r.size(), static_cast<size_t>(m_ofn.nMaxFile ? m_ofn.nMaxFile - 1 : 0));
  if (m_ofn.lpstrFile && m_ofn.nMaxFile) {
    std::memcpy(m_ofn.lpstrFile, r.data(), n);
    m_ofn.lpstrFile[n] = '\0';
  }
  size_t slash = r.rfind('/');
  m_ofn.nFileOffset = static_cast<WORD>(std::min<size_t>(slash == std::string::npos ? 0 : slash + 1, 0xFFFF));
  return IDOK;
}

CString CFileDialog::GetPathName() const { return running_ ? selection_ : result_; }

CString CFileDialog::GetFileName() const {
  CString p = GetPathName();
  return p.Mid(p.ReverseFind('/') + 1);
}

CString CFileDialog::GetFileExt() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot < 0 ? CString() : name.Mid(dot + 1);
}

CString CFileDialog::GetFileTitle() const {
  CString name = GetFileName();
  int dot = name.ReverseFind('.');
  return dot < 0 ? name : name.Left(dot);
}

CString CFileDialog::GetFolderPath() const {
  CString p = GetPathName();
  int slash = p.ReverseFind('/');
  return slash < 0 ? CString() : p.Left(slash);
}

void CFileDialog::OnFileNameChange() {}
void CFileDialog::OnFolderChange() {}
void CFileDialog::OnTypeChange() {}
void CFileDialog::OnInitDone() {}
BOOL CFileDialog::OnFileNameOK() { return FALSE; }

BOOL CFileDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
  if (hdr && hdr->hwndFrom == m_hWnd) {
    switch (hdr->code) {
      case CDN_SELCHANGE: OnFileNameChange(); break;
      case CDN_FOLDERCHANGE: OnFolderChange(); break;
      case CDN_TYPECHANGE: OnTypeChange(); break;
      case CDN_INITDONE: OnInitDone(); break;
      default: return CDialog::OnNotify(wParam, lParam, result);
    }
    *result = 0;
    return TRUE;
  }
  return CDialog::OnNotify(wParam, lParam, result);
}
