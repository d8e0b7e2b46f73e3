#include "framework/system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/ascii.h"
#include "framework/backend.h"
#include "framework/paths.h"

namespace {

int g_waitCursorDepth = 0;

CString& AppName() {
  static CString name("Brivanta");
  return name;
}


struct FoundFile {
  std::string name;
  DWORD attributes;
  uint64_t size;
};

// One open search: its matches, sorted, and the next one to hand out.
struct Search {
  std::vector<FoundFile> files;
  std::size_t next = 0;
};

void Fill(const FoundFile& f, WIN32_FIND_DATA* data) {
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = f.attributes;
  data->nFileSizeHigh = static_cast<DWORD>(f.size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(f.size & 0xFFFFFFFFu);
  std::memcpy(data->cFileName, f.name.c_str(), f.name.size() + 1);
}

}  // namespace

namespace brv {

bool MatchesMask(const char* name, const char* mask) {
  if (std::strcmp(mask, "*.*") == 0) return true;
  // Greedy wildcard match with one backtrack point per '*'.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name) {
    if (*mask == '*') {
      star = mask++;
      resume = name;
    } else if (*mask && (*mask == '?' || brv::AsciiLower(*mask) == brv::AsciiLower(*name))) {
      ++mask, ++name;
    } else if (star) {
      mask = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*mask == '*') ++mask;
  return *mask == '\0';
}

void SetApplicationName(const CString& name) { AppName() = name; }
const CString& ApplicationName() { return AppName(); }

}  // namespace brv

int MessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  return brv::CurrentBackend().ShowMessageBox(
      brv::MakeMessageBoxRequest(text ? text : "", caption ? caption : "", type));
}

int AfxMessageBox(LPCSTR text, UINT type, UINT) {
  return MessageBox(nullptr, text, brv::ApplicationName(), type);
}

int AfxMessageBox(UINT textId, UINT type, UINT) {
  CString text;
  text.LoadString(textId);
  return AfxMessageBox(text, type);
}

BOOL MessageBeep(UINT type) {
  brv::CurrentBackend().Beep(type);
  return TRUE;
}

void Sleep(DWORD milliseconds) { brv::CurrentBackend().Sleep(milliseconds); }

DWORD GetTickCount() { return static_cast<DWORD>(brv::CurrentBackend().TickCount()); }

void BeginWaitCursor() {
  if (g_waitCursorDepth++ == 0) brv::CurrentBackend().SetWaitCursor(true);
}

void EndWaitCursor() {
  if (g_waitCursorDepth == 0) return;
  if (--g_waitCursorDepth == 0) brv::CurrentBackend().SetWaitCursor(false);
}

CWaitCursor::CWaitCursor() { BeginWaitCursor(); }
CWaitCursor::~CWaitCursor() { EndWaitCursor(); }
void CWaitCursor::Restore() {
  if (g_waitCursorDepth > 0) brv::CurrentBackend().SetWaitCursor(true);
}

void Log(LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  CString text;
  text.FormatV(format, args);
  va_end(args);
  brv::CurrentBackend().Log(text.View());
}

int _mkdir(LPCSTR path) {
  if (!path) return errno = EINVAL, -1;
  return ::mkdir(brv::PosixPath(path).c_str(), 0777) == 0 ? 0 : -1;
}

int _rmdir(LPCSTR path) {
  if (!path) return errno = EINVAL, -1;
  return ::rmdir(brv::PosixPath(path).c_str()) == 0 ? 0 : -1;
}

BOOL CreateDirectory(LPCSTR path, void*) { return _mkdir(path) == 0; }
BOOL RemoveDirectory(LPCSTR path) { return _rmdir(path) == 0; }

BOOL DeleteFile(LPCSTR path) {
  if (!path) return FALSE;
  return ::unlink(brv::PosixPath(path).c_str()) == 0;
}

DWORD GetTempPath(DWORD size, LPSTR buffer) {
  std::string dir = brv::TempDirectory();
  if (buffer == nullptr || size < dir.size() + 1) return static_cast<DWORD>(dir.size() + 1);
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<DWORD>(dir.size());
}

HANDLE FindFirstFile(LPCSTR pattern, WIN32_FIND_DATA* data) {
  if (!pattern || !data) return INVALID_HANDLE_VALUE;
  std::string path = brv::PosixPath(pattern);
  std::size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? path : path.substr(slash + 1);
  if (mask.empty()) return INVALID_HANDLE_VALUE;

  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return INVALID_HANDLE_VALUE;
  auto search = std::make_unique<Search>();
  while (dirent* entry = ::readdir(dir)) {
    const char* name = entry->d_name;
    if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
    if (std::strlen(name) >= MAX_PATH || !brv::MatchesMask(name, mask.c_str())) continue;
    struct stat st {};
    std::string full = folder + (folder.back() == '/' ? "" : "/") + name;
    if (::stat(full.c_str(), &st) != 0) continue;  // a dangling link
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (::access(full.c_str(), W_OK) != 0 && errno == EACCES && !S_ISDIR(st.st_mode))
      attributes = FILE_ATTRIBUTE_READONLY;
    search->files.push_back({name, attributes, S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size)});
  }
  ::closedir(dir);
  if (search->files.empty()) return INVALID_HANDLE_VALUE;
  std::sort(search->files.begin(), search->files.end(),
            [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });
  Fill(search->files[0], data);
  search->next = 1;
  return search.release();
}

BOOL FindNextFile(HANDLE handle, WIN32_FIND_DATA* data) {
  if (!handle || handle == INVALID_HANDLE_VALUE || !data) return FALSE;
  auto* search = static_cast<Search*>(handle);
  if (search->next >= search->files.size()) return FALSE;
  Fill(search->files[search->next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  if (!handle || handle == INVALID_HANDLE_VALUE) return FALSE;
  delete static_cast<Search*>(handle);
  return TRUE;
}

char* _itoa(int value, char* buffer, int radix) {
  if (!buffer) return buffer;
  if (radix < 2 || radix > 36) {
    buffer[0] = '\0';
    return buffer;
  }
  // Only base 10 has a sign; other bases show the 32-bit pattern.
  bool negative = radix == 10 && value < 0;
  uint32_t v = negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  char digits[40];
  int n = 0;
  do {
    uint32_t d = v % static_cast<uint32_t>(radix);
    digits[n++] = static_cast<char>(d < 10 ? '0' + d : 'a' + d - 10);
    v /= static_cast<uint32_t>(radix);
  } while (v);
  char* p = buffer;
  if (negative) *p++ = '-';
  while (n) *p++ = digits[--n];
  *p = '\0';
  return buffer;
}

int _strnicmp(const char* a, const char* b, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    unsigned char x = static_cast<unsigned char>(brv::AsciiLower(a[i]));
    unsigned char y = static_cast<unsigned char>(brv::AsciiLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) return 0;
  }
  return 0;
}

int _stricmp(const char* a, const char* b) { return _strnicmp(a, b, static_cast<std::size_t>(-1)); }

unsigned char* tc_c2pstr(char* text) {
  auto* out = reinterpret_cast<unsigned char*>(text);
  if (!text) return out;
  const std::size_t length = std::strlen(text);
  if (length == 0) return out;
  std::memmove(text + 1, text, length);  // over the NUL
  out[0] = static_cast<unsigned char>(length & 0xFF);
  return out;
}

char* tc_p2cstr(unsigned char* text) {
  auto* out = reinterpret_cast<char*>(text);
  if (!text || text[0] == 0) return out;
  const std::size_t length = text[0];
  std::memmove(text, text + 1, length);
  out[length] = '\0';
  return out;
}

namespace {

// Mac Roman and Windows-1252 codes of the same character.
struct CodePair {
  unsigned char mac, win;
};
constexpr CodePair kCodePairs[] = {
    {13, 10},                                                              // line end
    {0x80, 0xC4}, {0x82, 0xC7}, {0x83, 0xC9}, {0x85, 0xD6}, {0x86, 0xDC},  // Ä Ç É Ö Ü
    {0x87, 0xE1}, {0x88, 0xE0}, {0x89, 0xE2}, {0x8A, 0xE4}, {0x8D, 0xE7},  // á à â ä ç
    {0x8E, 0xE9}, {0x8F, 0xE8}, {0x90, 0xEA}, {0x91, 0xEB}, {0x92, 0xED},  // é è ê ë í
    {0x93, 0xEC}, {0x94, 0xEE}, {0x97, 0xF3}, {0x98, 0xF2}, {0x99, 0xF4},  // ì î ó ò ô
    {0x9A, 0xF6}, {0x9C, 0xFA}, {0x9D, 0xF9}, {0x9E, 0xFB}, {0x9F, 0xFC},  // ö ú ù û ü
    {0xA1, 0xB0}, {0xA7, 0xDF}, {0xAF, 0xD8}, {0xBF, 0xF8}, {0xCB, 0xC0},  // ° ß Ø ø À
    {0xE5, 0xC2}, {0xE6, 0xCA}, {0xE7, 0xC1}, {0xE8, 0xCB}, {0xE9, 0xC8},  // Â Ê Á Ë È
    {0xEA, 0xCD}, {0xEB, 0xCE}, {0xED, 0xCC}, {0xEE, 0xD3}, {0xEF, 0xD4},  // Í Î Ì Ó Ô
    {0xF1, 0xD2}, {0xF2, 0xDA}, {0xF3, 0xDB}, {0xF4, 0xD9},                // Ò Ú Û Ù
};

}  // namespace

unsigned char MacCharToWin(unsigned char c) {
  for (const CodePair& p : kCodePairs)
    if (p.mac == c) return p.win;
  return c;
}

unsigned char WinCharToMac(unsigned char c) {
  for (const CodePair& p : kCodePairs)
    if (p.win == c) return p.mac;
  return c;
}

void msgbox(LPCSTR text) { AfxMessageBox(text ? text : "", MB_OK | MB_ICONSTOP); }

int DB(LPCSTR text, unsigned int a, unsigned int b) {
  CString message;
  message.Format("%s  %d %d", text ? text : "", static_cast<int>(a), static_cast<int>(b));
  AfxMessageBox(message, MB_OK);
  return 1;
}
