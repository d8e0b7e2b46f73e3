#include "framework/cstring.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string S(const CString& s) { return std::string(s.View()); }

TEST(CString, ExtractionTable) {
  const CString seven("abcdefg");
  struct Case {
    const char* what;
    CString got;
    const char* want;
  };
  const Case cases[] = {
      {"Mid(5,10) gives the rest", seven.Mid(5, 10), "fg"},
      {"Mid(9,1) past the end", seven.Mid(9, 1), ""},
      {"Mid(7) at the end", seven.Mid(7), ""},
      {"Mid(-2,3) clamps first", seven.Mid(-2, 3), "abc"},
      {"Mid(2,-1) clamps count", seven.Mid(2, -1), ""},
      {"Mid(2)", seven.Mid(2), "cdefg"},
      {"Left(-1)", seven.Left(-1), ""},
      {"Left(3)", seven.Left(3), "abc"},
      {"Left(99)", seven.Left(99), "abcdefg"},
      {"Right(2)", seven.Right(2), "fg"},
      {"Right(-5)", seven.Right(-5), ""},
      {"Right(99)", seven.Right(99), "abcdefg"},
      {"SpanIncluding", CString("112233abc").SpanIncluding("123"), "112233"},
      {"SpanIncluding none", CString("x12").SpanIncluding("123"), ""},
      {"SpanExcluding", CString("name.ext").SpanExcluding("."), "name"},
      {"SpanExcluding no stop", CString("name").SpanExcluding(".\\"), "name"},
  };
  for (const Case& c : cases) EXPECT_EQ(S(c.got), c.want) << c.what;
}

TEST(CString, SearchTable) {
  const CString s("C:\\dir\\file.ext");
  struct Case {
    const char* what;
    int got, want;
  };
  const Case cases[] = {
      {"Find char", s.Find('\\'), 2},
      {"Find char from", s.Find('\\', 3), 6},
      {"Find char missing", s.Find('#'), -1},
      {"Find char start past end", s.Find('C', 100), -1},
      {"Find text", s.Find("file"), 7},
      {"Find text missing", s.Find("xyz"), -1},
      {"Find empty text", s.Find(""), 0},
      {"Find text from", s.Find("i", 5), 8},
      {"FindOneOf", s.FindOneOf(".:"), 1},
      {"FindOneOf none", s.FindOneOf("#%"), -1},
      {"ReverseFind", s.ReverseFind('\\'), 6},
      {"ReverseFind missing", s.ReverseFind('#'), -1},
      {"Find on empty", CString().Find('a'), -1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

TEST(CString, CaseTrimAndReverseTable) {
  struct Case {
    const char* in;
    void (CString::*op)();
    const char* want;
  };
  const Case cases[] = {
      {"Hello, World 1!", &CString::MakeUpper, "HELLO, WORLD 1!"},
      {"Hello, World 1!", &CString::MakeLower, "hello, world 1!"},
      {"caf\xE9 \xC9t\xE9", &CString::MakeUpper, "CAF\xE9 \xC9T\xE9"},  // only ASCII letters change
      {"\xC9T\xC9 Ab", &CString::MakeLower, "\xC9t\xC9 ab"},
      {" \t\r\n\v\fab c \t", &CString::TrimLeft, "ab c \t"},
      {" \t ab c \r\n\v\f", &CString::TrimRight, " \t ab c"},
      {"   ", &CString::TrimRight, ""},
      {"   ", &CString::TrimLeft, ""},
      {"  x  ", &CString::Trim, "x"},
      {"\xA0x\xA0", &CString::Trim, "\xA0x\xA0"},  // no-break space is not white space
      {"abc", &CString::MakeReverse, "cba"},
      {"", &CString::MakeReverse, ""},
  };
  for (const Case& c : cases) {
    CString s(c.in);
    CString shared = s;  // the change must not reach a string sharing the buffer
    (s.*c.op)();
    EXPECT_EQ(S(s), c.want) << c.in;
    EXPECT_EQ(S(shared), c.in);
  }
}

TEST(CString, CopyOnWriteKeepsSharersApart) {
  CString a("shared text");
  CString b = a;
  EXPECT_EQ(a.GetString(), b.GetString());  // one buffer
  b.SetAt(0, 'S');
  EXPECT_EQ(S(a), "shared text");
  EXPECT_EQ(S(b), "Shared text");

  CString c = a;
  c += " more";
  EXPECT_EQ(S(a), "shared text");
  EXPECT_EQ(S(c), "shared text more");

  CString d = a;
  char* p = d.GetBuffer(40);
  std::snprintf(p, 41, "%s", "rewritten");
  d.ReleaseBuffer();
  EXPECT_EQ(S(a), "shared text");
  EXPECT_EQ(S(d), "rewritten");
  EXPECT_EQ(d.GetLength(), 9);
}

TEST(CString, LockedBufferIsCopiedNotShared) {
  CString a("locked");
  char* p = a.LockBuffer();
  CString b = a;
  CString c;
  c = a;
  EXPECT_NE(b.GetString(), a.GetString());
  EXPECT_NE(c.GetString(), a.GetString());
  p[0] = 'L';  // writing through the locked pointer reaches only a
  EXPECT_EQ(S(a), "Locked");
  EXPECT_EQ(S(b), "locked");
  EXPECT_EQ(S(c), "locked");
  a = "other";  // assignment reuses the locked buffer
  EXPECT_EQ(a.GetString(), p);
  a.UnlockBuffer();
  CString d = a;
  EXPECT_EQ(d.GetString(), a.GetString());
}

TEST(CString, ConstructionAssignmentAndConcatenation) {
  EXPECT_EQ(S(CString(static_cast<LPCSTR>(nullptr))), "");
  EXPECT_EQ(S(CString('x', 3)), "xxx");
  EXPECT_EQ(S(CString('x', 0)), "");
  EXPECT_EQ(S(CString('x', -4)), "");
  EXPECT_EQ(S(CString("abcdef", 3)), "abc");
  EXPECT_EQ(CString().GetString(), AfxGetEmptyString());
  // A pointer value below 65536 is a string id; a missing one gives "".
  EXPECT_EQ(S(CString(reinterpret_cast<LPCSTR>(200))), "");
  EXPECT_EQ(S(CString(MAKEINTRESOURCE(61213))), "Error");
  CString loaded("kept");
  EXPECT_FALSE(loaded.LoadString(200));
  EXPECT_EQ(S(loaded), "kept");
  EXPECT_TRUE(loaded.LoadString(61212));
  EXPECT_EQ(S(loaded), "Too few points on the photo.");

  CString s("ab");
  s = s;  // self-assignment keeps the text
  EXPECT_EQ(S(s), "ab");
  s += s;  // appending itself
  EXPECT_EQ(S(s), "abab");
  s += s.GetString() + 1;  // appending a tail of its own buffer
  EXPECT_EQ(S(s), "ababbab");
  s = 'z';
  EXPECT_EQ(S(s), "z");
  s = static_cast<LPCSTR>(nullptr);
  EXPECT_EQ(S(s), "");
  EXPECT_EQ(S(CString("a") + CString("b") + "c" + 'd'), "abcd");
  EXPECT_EQ(S("x" + CString("y")), "xy");
  EXPECT_EQ(S('x' + CString("y")), "xy");

  EXPECT_TRUE(CString("abc") == "abc");
  EXPECT_TRUE(CString("abc") != CString("abd"));
  EXPECT_TRUE(CString("abc") < "abd");
  EXPECT_TRUE("abd" > CString("abc"));
  EXPECT_TRUE(CString("\xE9") > CString("z"));  // bytes compare unsigned, as strcmp
  EXPECT_EQ(CString("ABC").CompareNoCase("abc"), 0);
  EXPECT_LT(CString("abc").CompareNoCase("ABD"), 0);
}

TEST(CString, BufferOperations) {
  CString s;
  char* p = s.GetBufferSetLength(5);
  for (int i = 0; i < 5; ++i) p[i] = static_cast<char>('0' + i);
  s.ReleaseBuffer();
  EXPECT_EQ(S(s), "01234");
  s.GetBuffer(100);
  s.ReleaseBuffer(2);
  EXPECT_EQ(S(s), "01");
  s.FreeExtra();
  EXPECT_EQ(S(s), "01");
  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.GetString(), AfxGetEmptyString());
}

// CString::Format against the runtime's own snprintf.
template <class... A>
void ExpectFormatLikeSnprintf(const char* format, A... args) {
  int n = std::snprintf(nullptr, 0, format, args...);
  std::string want(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(want.data(), want.size(), format, args...);
  want.resize(static_cast<std::size_t>(n));
  CString got;
  got.Format(format, args...);
  EXPECT_EQ(S(got), want) << format;
  EXPECT_EQ(got.GetLength(), n) << format;
}

TEST(CString, FormatMatchesSnprintf) {
  const char* nullText = nullptr;
  ExpectFormatLikeSnprintf("plain text");
  ExpectFormatLikeSnprintf("%d|%5d|%-5d|%05d|%+d", 42, -42, 7, 3, 9);
  ExpectFormatLikeSnprintf("%u %x %X %o %#x %#o", 4000000000u, 255u, 255u, 8u, 255u, 8u);
  ExpectFormatLikeSnprintf("%ld %lld %hd", 1234567890123L, -1234567890123LL, 70000);
  ExpectFormatLikeSnprintf("%f", 1e300);  // 301 digits before the point
  ExpectFormatLikeSnprintf("%.40f|%-60.3e|%g|%G", 1.0 / 3, -12345.678, 1e-20, 1e20);
  ExpectFormatLikeSnprintf("%*.*f|%-*d", 30, 10, 3.14159, 12, 5);
  ExpectFormatLikeSnprintf("%s|%10s|%-10s|%.2s", "abc", "r", "l", "cut");
  ExpectFormatLikeSnprintf("%s", nullText);
  ExpectFormatLikeSnprintf("%c%c%5c", 'a', 'b', 'c');
  ExpectFormatLikeSnprintf("%%|%p", static_cast<void*>(nullptr));
  ExpectFormatLikeSnprintf("%s", std::string(100000, 'x').c_str());
  ExpectFormatLikeSnprintf("%03d.the", 100);
  ExpectFormatLikeSnprintf("%s%s_%c.tmp", "/tmp/fmtmp/", "name", 'B');
}

// The result ends at its first NUL, as a C string's length does.
TEST(CString, FormatMeasuresUpToAnEmbeddedNul) {
  CString out;
  out.Format("a%cb", 0);
  EXPECT_EQ(out.GetLength(), 1);
  EXPECT_EQ(S(out), "a");
  out.Format("%s%c%s", "ab", 0, "cd");
  EXPECT_EQ(out.GetLength(), 2);
  EXPECT_EQ(out, CString("ab"));
  out.Format("%c", 0);
  EXPECT_TRUE(out.IsEmpty());
  EXPECT_EQ(out.GetString(), AfxGetEmptyString());
  out += "z";
  EXPECT_EQ(S(out), "z");
}

TEST(CString, FormatTakesCStringArgumentsAsText) {
  CString name("Head"), out;
  out.Format("%s-%d-%s", name, 5, CString("x"));
  EXPECT_EQ(S(out), "Head-5-x");
  out.Format("%s", out);  // formatting from its own text
  EXPECT_EQ(S(out), "Head-5-x");
  out.Format("");
  EXPECT_TRUE(out.IsEmpty());
}

TEST(CString, HashKeyOfTextKeys) {
  struct Case {
    const char* key;
    UINT want;
  };
  const Case cases[] = {
      {"", 0u},
      {nullptr, 0u},
      {"ab", 97u * 33u + 98u},
      {"abc", (97u * 33u + 98u) * 33u + 99u},
      {"\xE9", static_cast<UINT>(-23)},  // a signed byte
      {"a\xE9", 97u * 33u + static_cast<UINT>(-23)},
  };
  for (const Case& c : cases) EXPECT_EQ(HashKey(c.key), c.want) << (c.key ? c.key : "(null)");
  // Wraps around in 32 bits.
  UINT h = 0;
  for (char ch : std::string(20, 'z')) h = h * 33u + static_cast<UINT>(ch);
  EXPECT_EQ(HashKey(std::string(20, 'z').c_str()), h);
}

}  // namespace
