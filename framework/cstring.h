#pragma once
// CString: a reference-counted byte string with copy on write, as the
// application code expects of the framework's string class.
#include <cassert>
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "framework/wintypes.h"

// The header in front of every string buffer; the characters follow it.
struct CStringData {
  int nRefs;        // sharing strings; negative: locked, or the empty buffer
  int nDataLength;  // characters in use, without the NUL
  int nAllocLength; // room for characters, without the NUL
  char* data() { return reinterpret_cast<char*>(this + 1); }
};

class CString;

namespace brv {
// Arguments of CString::Format: a CString becomes its text, so "%s" with a
// CString argument works as the application code expects.
inline const char* FormatArg(const CString& s);
template <class T>
  requires(!std::is_base_of_v<CString, std::remove_cvref_t<T>>)
decltype(auto) FormatArg(T&& v) {
  return std::forward<T>(v);
}
// What may pass through printf's "...": numbers, characters, pointers.
template <class T>
inline constexpr bool kFormattable =
    std::is_trivially_copyable_v<std::remove_cvref_t<decltype(FormatArg(std::declval<T>()))>>;
}  // namespace brv

class CString {
 public:
  CString();
  CString(const CString& other);
  CString(CString&& other) noexcept;
  // A pointer value from 1 to 65535 is a string id and loads that string.
  CString(LPCSTR text);
  CString(LPCSTR text, int length);
  CString(char ch, int repeat = 1);
  CString(std::string_view text);
  ~CString();

  CString& operator=(const CString& other);
  CString& operator=(CString&& other) noexcept;
  CString& operator=(LPCSTR text);
  CString& operator=(char ch);

  int GetLength() const { return Data()->nDataLength; }
  BOOL IsEmpty() const { return GetLength() == 0; }
  void Empty();
  char GetAt(int index) const {
    assert(index >= 0 && index <= GetLength());
    return m_pchData[index];
  }
  char operator[](int index) const { return GetAt(index); }
  void SetAt(int index, char ch);
  operator LPCSTR() const { return m_pchData; }
  LPCSTR GetString() const { return m_pchData; }
  std::string_view View() const { return {m_pchData, static_cast<std::size_t>(GetLength())}; }

  CString& operator+=(const CString& other);
  CString& operator+=(LPCSTR text);
  CString& operator+=(char ch);
  friend CString operator+(const CString& a, const CString& b);
  friend CString operator+(const CString& a, LPCSTR b);
  friend CString operator+(LPCSTR a, const CString& b);
  friend CString operator+(const CString& a, char b);
  friend CString operator+(char a, const CString& b);

  // Byte-wise comparisons (strcmp); CompareNoCase folds ASCII letters only.
  int Compare(LPCSTR text) const;
  int CompareNoCase(LPCSTR text) const;

  int Find(char ch, int start = 0) const;
  int Find(LPCSTR sub, int start = 0) const;
  int FindOneOf(LPCSTR set) const;
  int ReverseFind(char ch) const;

  CString Mid(int first, int count) const;
  CString Mid(int first) const;
  CString Left(int count) const;
  CString Right(int count) const;
  CString SpanIncluding(LPCSTR set) const;
  CString SpanExcluding(LPCSTR set) const;

  // Case changes touch only the ASCII letters.
  void MakeUpper();
  void MakeLower();
  void MakeReverse();
  // White space: space, tab, line feed, vertical tab, form feed, carriage return.
  void TrimLeft();
  void TrimRight();
  void Trim() { TrimRight(), TrimLeft(); }
  void FreeExtra();

  char* GetBuffer(int minLength);
  char* GetBufferSetLength(int length);
  void ReleaseBuffer(int newLength = -1);
  char* LockBuffer();
  void UnlockBuffer();

  // printf-style formatting with the runtime's printf, always in the C locale:
  // a Windows program that never calls setlocale formats so, file formats
  // rely on it, and a toolkit may set the process locale from the
  // environment (a decimal comma would break them).
  template <class... Args>
  void Format(LPCSTR format, Args&&... args) {
    static_assert((brv::kFormattable<Args> && ...), "Format takes numbers, pointers and CString");
    FormatRaw(format, brv::FormatArg(std::forward<Args>(args))...);
  }
  template <class... Args>
  void Format(UINT formatId, Args&&... args) {
    static_assert((brv::kFormattable<Args> && ...), "Format takes numbers, pointers and CString");
    CString format;
    if (format.LoadString(formatId)) FormatRaw(format.m_pchData, brv::FormatArg(std::forward<Args>(args))...);
  }
  void FormatV(LPCSTR format, va_list args);

  // Loads string id of the string table; false leaves the string unchanged.
  BOOL LoadString(UINT id);

 private:
  CStringData* Data() const { return reinterpret_cast<CStringData*>(m_pchData) - 1; }
  void FormatRaw(LPCSTR format, ...);
  void Init();
  bool IsLocked() const;
  void AllocBuffer(int length);
  void Release();
  void CopyBeforeWrite();
  void AllocBeforeWrite(int length);
  void AssignCopy(const char* text, int length);
  void ConcatInPlace(const char* text, int length);
  static CString Concat(const char* a, int na, const char* b, int nb);

  char* m_pchData;
};

namespace brv {
inline const char* FormatArg(const CString& s) { return s.GetString(); }
}  // namespace brv

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, LPCSTR b);
bool operator<(const CString& a, const CString& b);
bool operator<(const CString& a, LPCSTR b);
bool operator<(LPCSTR a, const CString& b);
bool operator>(const CString& a, const CString& b);
bool operator>(const CString& a, LPCSTR b);
bool operator>(LPCSTR a, const CString& b);
bool operator<=(const CString& a, const CString& b);
bool operator<=(const CString& a, LPCSTR b);
bool operator<=(LPCSTR a, const CString& b);
bool operator>=(const CString& a, const CString& b);
bool operator>=(const CString& a, LPCSTR b);
bool operator>=(LPCSTR a, const CString& b);

LPCSTR AfxGetEmptyString();

// Hash of a text key for the map classes: starts at 0 and becomes
// hash x 33 + the character (as a signed byte) for each character; null
// hashes as the empty text.
UINT HashKey(LPCSTR key);
