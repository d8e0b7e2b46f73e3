#pragma once
// Cursors and icons from the resources and the standard set, the pointer
// shape, opening links with the desktop (never through a shell), and the
// end of the program.
#include <string>

#include "framework/gdi.h"
#include "framework/winmsg.h"

// Standard cursors and icons.
#define IDC_ARROW MAKEINTRESOURCE(32512)
#define IDC_IBEAM MAKEINTRESOURCE(32513)
#define IDC_WAIT MAKEINTRESOURCE(32514)
#define IDC_CROSS MAKEINTRESOURCE(32515)
#define IDC_UPARROW MAKEINTRESOURCE(32516)
#define IDC_SIZEALL MAKEINTRESOURCE(32646)
#define IDC_SIZENWSE MAKEINTRESOURCE(32642)
#define IDC_SIZENESW MAKEINTRESOURCE(32643)
#define IDC_SIZEWE MAKEINTRESOURCE(32644)
#define IDC_SIZENS MAKEINTRESOURCE(32645)
#define IDC_NO MAKEINTRESOURCE(32648)
#define IDC_HAND MAKEINTRESOURCE(32649)
#define IDI_APPLICATION MAKEINTRESOURCE(32512)
#define IDI_ERROR MAKEINTRESOURCE(32513)
#define IDI_QUESTION MAKEINTRESOURCE(32514)
#define IDI_WARNING MAKEINTRESOURCE(32515)
#define IDI_INFORMATION MAKEINTRESOURCE(32516)

// instance null: a standard cursor (IDC_...); else the CURSOR resource of
// that number (MAKEINTRESOURCE(n) or "#n"). The same handle each time; null
// when there is none.
HCURSOR LoadCursor(HINSTANCE instance, LPCSTR name);
// The same for icons: IDI_... or the ICON resource, 32 x 32.
HICON LoadIcon(HINSTANCE instance, LPCSTR name);
// Sets the pointer's shape; returns the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// Opens a file or a web or mail link with the desktop's handler. Returns a
// value above 32 on success, SE_ERR_NOASSOC when it could not be opened.
HINSTANCE ShellExecute(HWND window, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory, int show);

namespace brv {

// What a cursor is: "arrow", "cross", ... for the standard ones,
// "CURSOR 233" for a resource one, "" for anything else.
std::string CursorName(HCURSOR cursor);

// Starts program (found on PATH unless it holds a '/') with one argument,
// never through a shell: in a process group of its own, reading nothing and
// writing to /dev/null, and not waited for. False with the system's reason
// when it could not be started.
bool StartProgram(const std::string& program, const std::string& argument, std::string* reason = nullptr);

// Ends the program with the exit code (the backend's exit hook; the
// headless backend records the code and unwinds, see ProgramExit).
[[noreturn]] void ExitProgram(int code);

}  // namespace brv
