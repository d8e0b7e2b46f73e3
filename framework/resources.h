#pragma once
// Built-in resources, found by (type name, number) as on Windows. The type is
// the whole folder name under resources/ ("TEMPLATE", "BACKGROUNDS"),
// compared without regard to ASCII case. Resource data is read-only.
#include <cstddef>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/embedded_resources.h"
#include "framework/wintypes.h"

typedef const brv::EmbeddedResource* HRSRC;
typedef const brv::EmbeddedResource* HGLOBAL;

// Numeric types of the Windows resource compiler that have a folder here.
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_RCDATA MAKEINTRESOURCE(10)

// name: a number through MAKEINTRESOURCE or the text "#<number>".
// type: a type name, or RT_BITMAP / RT_RCDATA. Null when there is none.
HRSRC FindResource(HMODULE module, LPCSTR name, LPCSTR type);
HRSRC FindResource(HMODULE module, UINT id, LPCSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
const void* LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
inline BOOL UnlockResource(HGLOBAL) { return FALSE; }
inline BOOL FreeResource(HGLOBAL) { return FALSE; }

// Copies string id of the string table into buffer (at most bufferMax - 1
// characters and a NUL) and returns the number of characters copied; 0 when
// there is no such string.
int LoadString(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);

namespace brv {

// The bytes of a resource; an empty span with a null data() when missing.
std::span<const unsigned char> ResourceBytes(std::string_view type, unsigned number);

// String id of the string table; false (and out unchanged) when missing.
bool LoadStringText(unsigned id, std::string* out);

// The string table is kept as resources of type "STRINGTABLE": lines of
//   <id> "<text>"
// with the escapes \" \\ \n \r \t \xHH; blank lines and lines starting with
// '#' are skipped. Parses text into table; returns one message per bad line.
std::vector<std::string> ParseStringTable(std::string_view text,
                                          std::map<unsigned, std::string>* table);

// Problems found in the embedded string table (empty when it is sound).
const std::vector<std::string>& StringTableErrors();

// Resources laid over the embedded ones (tests bring their own layouts and
// pictures): found first by every lookup until cleared. Setting one again
// replaces it; pointers to a replaced or cleared overlay become invalid.
void SetResourceOverlay(std::string_view type, unsigned number, std::string bytes);
void ClearResourceOverlays();

}  // namespace brv
