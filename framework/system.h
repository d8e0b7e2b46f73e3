#pragma once
// The Windows and runtime functions the application code calls by name:
// message boxes, beeps, the wait cursor, sleeping, folders and files, the
// temporary path, file search, and a few string functions. Paths may be
// given in Windows form; each function converts them with brv::PosixPath.
#include <cstdint>

#include "framework/cstring.h"
#include "framework/wintypes.h"

struct HWND__;
typedef HWND__* HWND;

// Message box types, icons, default buttons and results.
enum : UINT {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_TYPEMASK = 0xF,
  MB_ICONHAND = 0x10,
  MB_ICONERROR = 0x10,
  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONWARNING = 0x30,
  MB_ICONASTERISK = 0x40,
  MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,
  MB_DEFBUTTON1 = 0x0,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
  MB_DEFMASK = 0xF00,
  MB_APPLMODAL = 0x0,
  MB_SYSTEMMODAL = 0x1000,
  MB_TASKMODAL = 0x2000,
};
enum : int {
  IDOK = 1,
  IDCANCEL = 2,
  IDABORT = 3,
  IDRETRY = 4,
  IDIGNORE = 5,
  IDYES = 6,
  IDNO = 7,
};

// Shows a message box through the backend and returns the pressed button's result.
int MessageBox(HWND window, LPCSTR text, LPCSTR caption, UINT type);
// The caption is the application's name (brv::SetApplicationName).
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT textId, UINT type = MB_OK, UINT helpId = UINT(-1));
BOOL MessageBeep(UINT type);

void Sleep(DWORD milliseconds);
DWORD GetTickCount();

// Shows the wait cursor while it lives; nests.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  void Restore();
};
void BeginWaitCursor();
void EndWaitCursor();

// printf-style text followed by a line end, to the backend's log.
void Log(LPCSTR format, ...) __attribute__((format(printf, 1, 2)));

// Folders and files. _mkdir and _rmdir return 0 on success and -1 on failure
// (errno says why); the others return nonzero on success and 0 on failure.
int _mkdir(LPCSTR path);
int _rmdir(LPCSTR path);
BOOL CreateDirectory(LPCSTR path, void* securityAttributes);
BOOL RemoveDirectory(LPCSTR path);
BOOL DeleteFile(LPCSTR path);

// The temporary folder ($TMPDIR, else /tmp) with a trailing '/'. Returns its
// length; when size is too small, the size needed (with the NUL) and buffer
// is left alone.
DWORD GetTempPath(DWORD size, LPSTR buffer);

// File search. The pattern is a folder and a mask of '*' and '?' (compared
// without regard to ASCII case; "*.*" matches every name). "." and ".." are
// never found; names come in sorted byte order.
enum : DWORD {
  FILE_ATTRIBUTE_READONLY = 0x1,
  FILE_ATTRIBUTE_DIRECTORY = 0x10,
  FILE_ATTRIBUTE_NORMAL = 0x80,
};
struct WIN32_FIND_DATA {
  DWORD dwFileAttributes;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  char cFileName[MAX_PATH];
};
typedef WIN32_FIND_DATA* LPWIN32_FIND_DATA;
HANDLE FindFirstFile(LPCSTR pattern, WIN32_FIND_DATA* data);
BOOL FindNextFile(HANDLE search, WIN32_FIND_DATA* data);
BOOL FindClose(HANDLE search);

// Runtime string functions of the Windows runtime.
char* _itoa(int value, char* buffer, int radix);
inline char* itoa(int value, char* buffer, int radix = 10) { return _itoa(value, buffer, radix); }
// Compares after folding ASCII letters to lower case; returns -1, 0 or 1.
int _stricmp(const char* a, const char* b);
inline int stricmp(const char* a, const char* b) { return _stricmp(a, b); }
int _strnicmp(const char* a, const char* b, std::size_t count);

// Length-prefixed strings (one length byte, then the characters), converted
// in place. tc_c2pstr: the length byte holds the length modulo 256 and no
// NUL follows; an empty text stays as it is. tc_p2cstr: the characters move
// to the front and a NUL ends them; a zero length byte leaves the text alone.
// Both return their argument.
unsigned char* tc_c2pstr(char* text);
char* tc_p2cstr(unsigned char* text);

// One byte between the Mac Roman and the Windows-1252 code pages: the
// accented letters and signs of the table, and the Mac's line end (13) as
// the Windows one (10); every other byte stays.
unsigned char MacCharToWin(unsigned char c);
unsigned char WinCharToMac(unsigned char c);

// A stop box with the text and a single button.
void msgbox(LPCSTR text);
// A debugging box: "%s  %d %d" of the arguments. Returns 1.
int DB(LPCSTR text, unsigned int a, unsigned int b);

namespace brv {

// Whether name matches the mask ('*' any run, '?' one character, ASCII case
// folded, "*.*" everything).
bool MatchesMask(const char* name, const char* mask);

void SetApplicationName(const CString& name);
const CString& ApplicationName();

}  // namespace brv
