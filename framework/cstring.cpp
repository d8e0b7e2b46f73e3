#include "framework/cstring.h"

#include <locale.h>

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "framework/ascii.h"
#include "framework/resources.h"
#include "framework/system.h"

namespace {

// The shared empty buffer: never freed, never written.
struct NilString {
  CStringData header;
  char text[4];
};
alignas(CStringData) NilString g_nil = {{-1, 0, 0}, {0, 0, 0, 0}};
char* const g_pchNil = g_nil.header.data();

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

using brv::AsciiLower;
using brv::AsciiUpper;

int SafeLength(const char* text) {
  if (!text) return 0;
  std::size_t n = std::strlen(text);
  if (n > 0x3FFFFFFF) std::abort();  // beyond what the length field holds
  return static_cast<int>(n);
}

}  // namespace

LPCSTR AfxGetEmptyString() { return g_pchNil; }

UINT HashKey(LPCSTR key) {
  UINT hash = 0;
  if (key)
    for (; *key; ++key) hash = hash * 33u + static_cast<UINT>(static_cast<int>(static_cast<signed char>(*key)));
  return hash;
}

void CString::Init() { m_pchData = g_pchNil; }

bool CString::IsLocked() const { return Data()->nRefs < 0 && Data() != &g_nil.header; }

void CString::AllocBuffer(int length) {
  if (length <= 0) {
    Init();
    return;
  }
  if (length > 0x3FFFFFFF) throw std::bad_alloc();
  auto* d = static_cast<CStringData*>(::operator new(sizeof(CStringData) + length + 1));
  d->nRefs = 1;
  d->nDataLength = length;
  d->nAllocLength = length;
  d->data()[length] = '\0';
  m_pchData = d->data();
}

void CString::Release() {
  CStringData* d = Data();
  if (d != &g_nil.header) {
    // A locked buffer (count -1) belongs to this string alone.
    if (d->nRefs < 0 || __atomic_sub_fetch(&d->nRefs, 1, __ATOMIC_ACQ_REL) <= 0)
      ::operator delete(d);
  }
  Init();
}

CString::CString() { Init(); }

CString::CString(const CString& other) {
  CStringData* d = other.Data();
  if (d->nRefs >= 0) {
    m_pchData = other.m_pchData;
    __atomic_add_fetch(&d->nRefs, 1, __ATOMIC_RELAXED);
  } else {
    // Locked strings and the empty buffer are copied, not shared.
    Init();
    AssignCopy(other.m_pchData, other.GetLength());
  }
}

CString::CString(CString&& other) noexcept {
  if (other.IsLocked()) {
    Init();
    AssignCopy(other.m_pchData, other.GetLength());
    return;
  }
  m_pchData = other.m_pchData;
  other.Init();
}

CString::CString(LPCSTR text) {
  Init();
  uintptr_t v = reinterpret_cast<uintptr_t>(text);
  if (text && v <= 0xFFFF) {
    LoadString(static_cast<UINT>(v));
    return;
  }
  AssignCopy(text, SafeLength(text));
}

CString::CString(LPCSTR text, int length) {
  Init();
  if (text && length > 0) AssignCopy(text, length);
}

CString::CString(char ch, int repeat) {
  Init();
  if (repeat > 0) {
    AllocBuffer(repeat);
    std::memset(m_pchData, ch, repeat);
  }
}

CString::CString(std::string_view text) {
  Init();
  if (text.size() > 0x3FFFFFFF) throw std::bad_alloc();
  AssignCopy(text.data(), static_cast<int>(text.size()));
}

CString::~CString() { Release(); }

void CString::AllocBeforeWrite(int length) {
  CStringData* d = Data();
  if (d->nRefs > 1 || d == &g_nil.header || length > d->nAllocLength) {
    Release();
    AllocBuffer(length);
  }
}

void CString::AssignCopy(const char* text, int length) {
  if (length <= 0) {
    Empty();
    return;
  }
  // text may point into this string's own buffer.
  CStringData* d = Data();
  bool own = d->nRefs == 1 || (d->nRefs < 0 && d != &g_nil.header);
  if (own && length <= d->nAllocLength) {
    std::memmove(m_pchData, text, length);
  } else {
    CString fresh;
    fresh.AllocBuffer(length);
    std::memcpy(fresh.m_pchData, text, length);
    std::swap(m_pchData, fresh.m_pchData);
    return;
  }
  Data()->nDataLength = length;
  m_pchData[length] = '\0';
}

CString& CString::operator=(const CString& other) {
  if (m_pchData == other.m_pchData) return *this;
  CStringData* src = other.Data();
  if (src->nRefs < 0 || IsLocked()) {
    // A locked side (or the empty buffer) is copied.
    AssignCopy(other.m_pchData, other.GetLength());
  } else {
    __atomic_add_fetch(&src->nRefs, 1, __ATOMIC_RELAXED);
    Release();
    m_pchData = other.m_pchData;
  }
  return *this;
}

CString& CString::operator=(CString&& other) noexcept {
  if (this == &other) return *this;
  if (other.Data()->nRefs < 0 || IsLocked()) {
    AssignCopy(other.m_pchData, other.GetLength());
  } else {
    Release();
    m_pchData = other.m_pchData;
    other.Init();
  }
  return *this;
}

CString& CString::operator=(LPCSTR text) {
  AssignCopy(text, SafeLength(text));
  return *this;
}

CString& CString::operator=(char ch) {
  AssignCopy(&ch, 1);
  return *this;
}

void CString::Empty() {
  CStringData* d = Data();
  if (d == &g_nil.header) return;
  if (d->nRefs >= 0) {
    Release();
  } else {
    m_pchData[0] = '\0';
    d->nDataLength = 0;
  }
}

void CString::CopyBeforeWrite() {
  CStringData* d = Data();
  if (d->nRefs > 1) {
    CString own;
    own.AllocBuffer(d->nDataLength);
    std::memcpy(own.m_pchData, m_pchData, d->nDataLength + 1);
    std::swap(m_pchData, own.m_pchData);
  }
}

void CString::SetAt(int index, char ch) {
  assert(index >= 0 && index < GetLength());
  CopyBeforeWrite();
  m_pchData[index] = ch;
}

CString CString::Concat(const char* a, int na, const char* b, int nb) {
  CString r;
  if (na + nb > 0) {
    r.AllocBuffer(na + nb);
    if (na) std::memcpy(r.m_pchData, a, na);
    if (nb) std::memcpy(r.m_pchData + na, b, nb);
  }
  return r;
}

void CString::ConcatInPlace(const char* text, int length) {
  if (length <= 0) return;
  CStringData* d = Data();
  if (d->nRefs > 1 || d == &g_nil.header || d->nDataLength + length > d->nAllocLength) {
    CString joined = Concat(m_pchData, d->nDataLength, text, length);
    if (IsLocked()) {
      // Keep a locked buffer locked: grow it in place of a new share.
      char* p = GetBuffer(d->nDataLength + length);
      std::memcpy(p, joined.m_pchData, joined.GetLength() + 1);
      Data()->nDataLength = joined.GetLength();
      return;
    }
    std::swap(m_pchData, joined.m_pchData);
    return;
  }
  std::memmove(m_pchData + d->nDataLength, text, length);
  d->nDataLength += length;
  m_pchData[d->nDataLength] = '\0';
}

// The appended text may lie in this string's own buffer: ConcatInPlace reads
// it before the old buffer goes.
CString& CString::operator+=(const CString& other) {
  ConcatInPlace(other.m_pchData, other.GetLength());
  return *this;
}
CString& CString::operator+=(LPCSTR text) {
  ConcatInPlace(text, SafeLength(text));
  return *this;
}
CString& CString::operator+=(char ch) {
  ConcatInPlace(&ch, 1);
  return *this;
}

CString operator+(const CString& a, const CString& b) {
  return CString::Concat(a.m_pchData, a.GetLength(), b.m_pchData, b.GetLength());
}
CString operator+(const CString& a, LPCSTR b) {
  return CString::Concat(a.m_pchData, a.GetLength(), b, SafeLength(b));
}
CString operator+(LPCSTR a, const CString& b) {
  return CString::Concat(a, SafeLength(a), b.m_pchData, b.GetLength());
}
CString operator+(const CString& a, char b) { return CString::Concat(a.m_pchData, a.GetLength(), &b, 1); }
CString operator+(char a, const CString& b) { return CString::Concat(&a, 1, b.m_pchData, b.GetLength()); }

int CString::Compare(LPCSTR text) const { return std::strcmp(m_pchData, text ? text : ""); }

int CString::CompareNoCase(LPCSTR text) const { return _stricmp(m_pchData, text ? text : ""); }

int CString::Find(char ch, int start) const {
  if (start < 0) start = 0;
  if (start >= GetLength()) return -1;
  const void* p = std::memchr(m_pchData + start, ch, GetLength() - start);
  return p ? static_cast<int>(static_cast<const char*>(p) - m_pchData) : -1;
}

int CString::Find(LPCSTR sub, int start) const {
  if (!sub) return -1;
  if (start < 0) start = 0;
  if (start > GetLength()) return -1;
  const char* p = std::strstr(m_pchData + start, sub);
  return p ? static_cast<int>(p - m_pchData) : -1;
}

int CString::FindOneOf(LPCSTR set) const {
  if (!set) return -1;
  std::size_t n = std::strcspn(m_pchData, set);
  return m_pchData[n] ? static_cast<int>(n) : -1;
}

int CString::ReverseFind(char ch) const {
  for (int i = GetLength() - 1; i >= 0; --i)
    if (m_pchData[i] == ch) return i;
  return -1;
}

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  int length = GetLength();
  if (first >= length) return CString();
  if (count > length - first) count = length - first;
  if (first == 0 && count == length) return *this;
  return CString(m_pchData + first, count);
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Left(int count) const {
  if (count >= GetLength()) return *this;
  return count <= 0 ? CString() : CString(m_pchData, count);
}

CString CString::Right(int count) const {
  if (count >= GetLength()) return *this;
  return count <= 0 ? CString() : CString(m_pchData + GetLength() - count, count);
}

CString CString::SpanIncluding(LPCSTR set) const { return Left(static_cast<int>(std::strspn(m_pchData, set ? set : ""))); }

CString CString::SpanExcluding(LPCSTR set) const { return Left(static_cast<int>(std::strcspn(m_pchData, set ? set : ""))); }

void CString::MakeUpper() {
  CopyBeforeWrite();
  for (char* p = m_pchData; *p; ++p) *p = AsciiUpper(*p);
}

void CString::MakeLower() {
  CopyBeforeWrite();
  for (char* p = m_pchData; *p; ++p) *p = AsciiLower(*p);
}

void CString::MakeReverse() {
  CopyBeforeWrite();
  for (int i = 0, j = GetLength() - 1; i < j; ++i, --j) std::swap(m_pchData[i], m_pchData[j]);
}

void CString::TrimLeft() {
  int n = 0;
  while (n < GetLength() && IsSpace(m_pchData[n])) ++n;
  if (n == 0) return;
  CopyBeforeWrite();
  int rest = GetLength() - n;
  std::memmove(m_pchData, m_pchData + n, rest + 1);
  Data()->nDataLength = rest;
}

void CString::TrimRight() {
  int n = GetLength();
  while (n > 0 && IsSpace(m_pchData[n - 1])) --n;
  if (n == GetLength()) return;
  CopyBeforeWrite();
  m_pchData[n] = '\0';
  Data()->nDataLength = n;
}

void CString::FreeExtra() {
  CStringData* d = Data();
  if (d->nDataLength == d->nAllocLength || d == &g_nil.header || d->nRefs < 0) return;
  CString exact(m_pchData, d->nDataLength);
  *this = exact;
}

char* CString::GetBuffer(int minLength) {
  if (minLength < 0) minLength = 0;
  CStringData* d = Data();
  if (d->nRefs > 1 || minLength > d->nAllocLength || (d == &g_nil.header && minLength > 0)) {
    int length = d->nDataLength;
    CString fresh;
    fresh.AllocBuffer(minLength > length ? minLength : length);
    std::memcpy(fresh.m_pchData, m_pchData, length + 1);
    fresh.Data()->nDataLength = length;
    if (IsLocked()) fresh.Data()->nRefs = -1;  // stays locked; the old one goes with fresh
    std::swap(m_pchData, fresh.m_pchData);
  }
  return m_pchData;
}

char* CString::GetBufferSetLength(int length) {
  if (length < 0) length = 0;
  GetBuffer(length);
  if (Data() == &g_nil.header) return m_pchData;
  Data()->nDataLength = length;
  m_pchData[length] = '\0';
  return m_pchData;
}

void CString::ReleaseBuffer(int newLength) {
  CopyBeforeWrite();
  if (Data() == &g_nil.header) return;
  if (newLength < 0 || newLength > Data()->nAllocLength) {
    // Measure up to the NUL, but never past the buffer.
    const void* nul = std::memchr(m_pchData, 0, Data()->nAllocLength + 1);
    newLength = static_cast<int>(static_cast<const char*>(nul) - m_pchData);
  }
  Data()->nDataLength = newLength;
  m_pchData[newLength] = '\0';
}

char* CString::LockBuffer() {
  char* p = GetBuffer(0);
  if (Data() != &g_nil.header) Data()->nRefs = -1;
  return p;
}

void CString::UnlockBuffer() {
  if (Data() != &g_nil.header) Data()->nRefs = 1;
}

void CString::FormatRaw(LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::FormatV(LPCSTR format, va_list args) {
  if (!format) {
    Empty();
    return;
  }
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  const locale_t previous = uselocale(cLocale);
  // Measure first: the buffer always holds the whole result.
  va_list measure;
  va_copy(measure, args);
  int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) {
    uselocale(previous);
    Empty();
    return;
  }
  CString result;
  result.AllocBuffer(length);
  std::vsnprintf(result.m_pchData, static_cast<std::size_t>(length) + 1, format, args);
  uselocale(previous);
  // The length ends at the first NUL, which a "%c" of 0 may put inside.
  const int measured = static_cast<int>(std::strlen(result.m_pchData));
  if (measured == 0) {
    Empty();
    return;
  }
  result.Data()->nDataLength = measured;
  *this = std::move(result);
}

BOOL CString::LoadString(UINT id) {
  std::string text;
  if (!brv::LoadStringText(id, &text)) return FALSE;
  *this = CString(std::string_view(text));
  return TRUE;
}

bool operator==(const CString& a, const CString& b) {
  return a.GetLength() == b.GetLength() && a.Compare(b) == 0;
}
bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
bool operator<(const CString& a, LPCSTR b) { return a.Compare(b) < 0; }
bool operator<(LPCSTR a, const CString& b) { return b.Compare(a) > 0; }
bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
bool operator>(const CString& a, LPCSTR b) { return a.Compare(b) > 0; }
bool operator>(LPCSTR a, const CString& b) { return b.Compare(a) < 0; }
bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
bool operator<=(const CString& a, LPCSTR b) { return a.Compare(b) <= 0; }
bool operator<=(LPCSTR a, const CString& b) { return b.Compare(a) >= 0; }
bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
bool operator>=(const CString& a, LPCSTR b) { return a.Compare(b) >= 0; }
bool operator>=(LPCSTR a, const CString& b) { return b.Compare(a) <= 0; }
