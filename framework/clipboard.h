#pragma once
// The clipboard: CF_DIB (a packed DIB), CF_BITMAP (made from the DIB when
// asked for, and turned into a 32-bit DIB when put) and CF_TEXT. The
// contents live in the backend (the desktop's clipboard, or the headless
// backend's own); between OpenClipboard and CloseClipboard the program
// reads and changes a copy, which CloseClipboard hands back when changed.
//
// Memory blocks for SetClipboardData are GlobalAlloc handles (HANDLE here:
// the name HGLOBAL belongs to resource data in this framework).
#include <cstdint>
#include <string>
#include <vector>

#include "framework/gdi.h"
#include "framework/winmsg.h"

enum : UINT { CF_TEXT = 1, CF_BITMAP = 2, CF_DIB = 8, CF_PALETTE = 9 };
enum : UINT { GMEM_FIXED = 0, GMEM_MOVEABLE = 2, GMEM_ZEROINIT = 0x40, GHND = 0x42 };

HANDLE GlobalAlloc(UINT flags, size_t bytes);
void* GlobalLock(HANDLE block);
BOOL GlobalUnlock(HANDLE block);
size_t GlobalSize(HANDLE block);
HANDLE GlobalFree(HANDLE block);  // null on success

BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
BOOL EmptyClipboard();
// CF_DIB and CF_TEXT take a GlobalAlloc block (the clipboard owns it then),
// CF_BITMAP an HBITMAP (copied). Returns the handle, null on failure.
HANDLE SetClipboardData(UINT format, HANDLE data);
// Valid until the clipboard is closed or emptied; null when absent.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();
UINT EnumClipboardFormats(UINT format);

namespace brv {

// The packed DIB on the clipboard (empty when none), and putting one.
std::vector<uint8_t> ClipboardDib();
bool SetClipboardDib(const std::vector<uint8_t>& packedDib);
std::string ClipboardText(bool* present = nullptr);
bool SetClipboardText(const std::string& text);

// A 32-bit bottom-up packed DIB of a surface, and the pixels of any packed
// DIB (false for a bad one; nothing read past size bytes).
std::vector<uint8_t> PackedDibOf(const Surface& surface);
bool DecodePackedDib(const uint8_t* data, size_t size, Surface* out);

}  // namespace brv
