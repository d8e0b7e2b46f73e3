#include "framework/file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/datetime.h"
#include "framework/paths.h"
#include "framework/system.h"
#include "tests/framework/temp_dir.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Spit(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(File, OpenModesTable) {
  TempDir dir;
  struct Case {
    const char* what;
    bool exists;  // "old" is there before the open
    UINT flags;
    bool opens;
    const char* write;  // written after opening (null: nothing)
    const char* after;  // the file afterwards (null: no file)
  };
  const Case cases[] = {
      {"read existing", true, CFile::modeRead, true, nullptr, "old"},
      {"read missing", false, CFile::modeRead, false, nullptr, nullptr},
      {"write existing keeps the rest", true, CFile::modeWrite, true, "N", "Nld"},
      {"write missing fails", false, CFile::modeWrite, false, nullptr, nullptr},
      {"create over existing empties it", true, CFile::modeCreate | CFile::modeWrite, true, "new", "new"},
      {"create missing", false, CFile::modeCreate | CFile::modeWrite, true, "new", "new"},
      {"create no-truncate", true, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite, true, "N", "Nld"},
      {"read-write", true, CFile::modeReadWrite | CFile::shareDenyNone, true, "NE", "NEd"},
      {"create read-write", false, CFile::modeCreate | CFile::modeReadWrite, true, "ab", "ab"},
      {"write to a read-only open", true, CFile::modeRead, true, "x", "old"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string path = dir / ("f" + std::to_string(n++));
    if (c.exists) Spit(path, "old");
    CFile f;
    EXPECT_EQ(f.Open(path.c_str(), c.flags), c.opens ? TRUE : FALSE) << c.what;
    if (c.write) {
      BOOL ok = f.Write(c.write, static_cast<UINT>(std::strlen(c.write)));
      EXPECT_EQ(ok != FALSE, std::string(c.what) != "write to a read-only open") << c.what;
    }
    f.Close();
    if (c.after)
      EXPECT_EQ(Slurp(path), c.after) << c.what;
    else
      EXPECT_NE(::access(path.c_str(), F_OK), 0) << c.what;
  }
  // A folder is not a file; a failed object reads and writes nothing.
  CFile folder(dir.path().c_str(), CFile::modeRead);
  EXPECT_FALSE(folder.IsOpen());
  char b[4];
  EXPECT_EQ(folder.Read(b, 4), 0u);
  EXPECT_FALSE(folder.Write("x", 1));
}

TEST(File, ReadReturnsCountAndLengthKeepsPosition) {
  TempDir dir;
  const std::string path = dir / "data.bin";
  Spit(path, "0123456789");
  CFile f(path.c_str(), CFile::modeRead);
  char buf[8] = {};
  EXPECT_EQ(f.Read(buf, 4), 4u);
  EXPECT_EQ(f.GetLength(), 10u);
  EXPECT_EQ(f.GetPosition(), 4u);
  EXPECT_EQ(f.Read(buf, 8), 6u);  // the count read, short at the end
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(f.Read(buf, 8), 0u);
  EXPECT_EQ(f.Seek(-3, CFile::end), 7u);
  EXPECT_EQ(f.Seek(1, CFile::current), 8u);
  EXPECT_EQ(f.Seek(-100, CFile::begin), 8u);  // before the start: stays
  EXPECT_EQ(f.SeekToEnd(), 10u);
}

TEST(File, BackslashPathsOpenTheSameFile) {
  TempDir dir;
  ASSERT_EQ(_mkdir((dir.path() + "\\sub").c_str()), 0);
  const std::string windows = dir.path() + "\\sub\\\\name.txt";
  CFile out(windows.c_str(), CFile::modeCreate | CFile::modeWrite);
  ASSERT_TRUE(out.IsOpen());
  out.Write("hi", 2);
  out.Close();
  EXPECT_EQ(Slurp(dir / "sub/name.txt"), "hi");
  EXPECT_TRUE(CFile::Rename(windows.c_str(), (dir.path() + "\\sub\\moved.txt").c_str()));
  EXPECT_TRUE(CFile::Remove((dir.path() + "\\sub\\moved.txt").c_str()));
  EXPECT_FALSE(CFile::Remove((dir.path() + "\\sub\\moved.txt").c_str()));
}

TEST(StdioFile, ReadStringDropsTheLineEnd) {
  TempDir dir;
  const std::string path = dir / "lines.txt";
  Spit(path, std::string("ab\r\ncd\n\nlast\rline", 17));
  CStdioFile f(path.c_str(), CFile::modeRead);
  CString line("x");
  const char* want[] = {"ab", "cd", "", "last\rline"};  // a lone CR is no line end
  for (const char* w : want) {
    EXPECT_TRUE(f.ReadString(line));
    EXPECT_EQ(line.View(), w);
  }
  EXPECT_FALSE(f.ReadString(line));
  EXPECT_TRUE(line.IsEmpty());

  f.SeekToBegin();
  char buf[4];
  ASSERT_NE(f.ReadString(buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "ab\n");  // CR LF read as LF
  ASSERT_NE(f.ReadString(buf, 3), nullptr);
  EXPECT_STREQ(buf, "cd");  // cut at max - 1
}

TEST(StdioFile, WriteStringRoundTrip) {
  TempDir dir;
  const std::string path = dir.path() + "\\out.txt";
  {
    CStdioFile f(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_TRUE(f.WriteString("first\n"));
    EXPECT_TRUE(f.WriteString("sec"));
    EXPECT_TRUE(f.WriteString("ond\n"));
  }
  EXPECT_EQ(Slurp(dir / "out.txt"), "first\nsecond\n");  // written as given
  CStdioFile f(path.c_str(), CFile::modeRead);
  CString line;
  EXPECT_TRUE(f.ReadString(line));
  EXPECT_EQ(line.View(), "first");
  EXPECT_TRUE(f.ReadString(line));
  EXPECT_EQ(line.View(), "second");
  EXPECT_FALSE(f.ReadString(line));
}

TEST(Time, FormatAndFields) {
  const CTime t(2005, 3, 7, 9, 5, 30);
  EXPECT_EQ(t.Format("%d.%m.%Y  -  %H:%M").View(), "07.03.2005  -  09:05");
  EXPECT_EQ(t.Format("%Y.%m.%d  -  %H:%M").View(), "2005.03.07  -  09:05");
  EXPECT_EQ(t.Format("%m/%d/%y").View(), "03/07/05");
  EXPECT_EQ(t.Format("no codes").View(), "no codes");
  EXPECT_EQ(t.Format("").View(), "");
  EXPECT_EQ(t.GetYear(), 2005);
  EXPECT_EQ(t.GetMonth(), 3);
  EXPECT_EQ(t.GetDay(), 7);
  EXPECT_EQ(t.GetHour(), 9);
  EXPECT_EQ(t.GetMinute(), 5);
  EXPECT_EQ(t.GetSecond(), 30);
  EXPECT_EQ(t.GetDayOfWeek(), 2);  // a Monday
}

TEST(Paths, WindowsFormBecomesPosix) {
  struct Case {
    const char* in;
    const char* want;
  };
  const Case cases[] = {
      {"/tmp/fmtmp\\kv001.bmp", "/tmp/fmtmp/kv001.bmp"},
      {"fmtmp\\old.jpg", "fmtmp/old.jpg"},
      {"C:\\Temp\\x.fac", "/Temp/x.fac"},
      {"c:/x", "/x"},
      {"c:rel\\x", "c:rel/x"},  // no separator after the colon: not a drive
      {"a:b.txt", "a:b.txt"},
      {"1:\\x", "1:/x"},
      {"/a//b\\\\c/", "/a/b/c/"},
      {"/already/posix", "/already/posix"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(brv::PosixPath(c.in), c.want) << c.in;
}

TEST(Paths, TempPathComesFromTmpdirWithOneSeparator) {
  const char* saved = std::getenv("TMPDIR");
  const std::string keep = saved ? saved : "";
  struct Case {
    const char* tmpdir;  // null: unset
    const char* want;
  };
  const Case cases[] = {{nullptr, "/tmp/"}, {"", "/tmp/"}, {"/var/tmp", "/var/tmp/"}, {"/x/y/", "/x/y/"}};
  for (const Case& c : cases) {
    if (c.tmpdir)
      ::setenv("TMPDIR", c.tmpdir, 1);
    else
      ::unsetenv("TMPDIR");
    char buf[MAX_PATH];
    const DWORD n = GetTempPath(sizeof buf, buf);
    EXPECT_STREQ(buf, c.want);
    EXPECT_EQ(n, std::strlen(c.want));
    // Too small a buffer: the size needed, and the buffer untouched.
    char small[4] = "abc";
    EXPECT_EQ(GetTempPath(sizeof small, small), std::strlen(c.want) + 1);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(GetTempPath(static_cast<DWORD>(std::strlen(c.want)), buf), std::strlen(c.want) + 1);
  }
  if (saved)
    ::setenv("TMPDIR", keep.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

TEST(Folders, MakeRemoveAndDelete) {
  TempDir dir;
  const std::string sub = dir.path() + "\\fmtmp";
  EXPECT_EQ(_mkdir(sub.c_str()), 0);
  EXPECT_EQ(_mkdir(sub.c_str()), -1);  // already there
  EXPECT_FALSE(CreateDirectory(sub.c_str(), nullptr));
  Spit(dir / "fmtmp/kv001.bmp", "x");
  EXPECT_EQ(_rmdir(sub.c_str()), -1);  // not empty
  EXPECT_TRUE(DeleteFile((sub + "\\kv001.bmp").c_str()));
  EXPECT_FALSE(DeleteFile((sub + "\\kv001.bmp").c_str()));  // 0 on failure
  EXPECT_FALSE(DeleteFile(sub.c_str()));                     // a folder is no file
  EXPECT_EQ(_rmdir(sub.c_str()), 0);
  EXPECT_TRUE(CreateDirectory(sub.c_str(), nullptr));
  EXPECT_TRUE(RemoveDirectory(sub.c_str()));
}

std::vector<std::string> FindAll(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATA data;
  HANDLE h = FindFirstFile(pattern.c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(data.cFileName);
  while (FindNextFile(h, &data));
  EXPECT_FALSE(FindNextFile(h, &data));
  EXPECT_TRUE(FindClose(h));
  return names;
}

TEST(FindFile, SortedMatchesWithoutDotEntries) {
  TempDir dir;
  EXPECT_TRUE(FindAll(dir.path() + "\\*.*").empty());  // an empty folder
  for (const char* name : {"kv002.bmp", "kv001.bmp", "Tempmen100.the", "notes.txt", "kv010.BMP"})
    Spit(dir / name, "1234");
  ASSERT_EQ(_mkdir((dir / "sub").c_str()), 0);
  using V = std::vector<std::string>;
  EXPECT_EQ(FindAll(dir.path() + "\\*.*"),
            (V{"Tempmen100.the", "kv001.bmp", "kv002.bmp", "kv010.BMP", "notes.txt", "sub"}));
  EXPECT_EQ(FindAll(dir.path() + "\\kv*.bmp"), (V{"kv001.bmp", "kv002.bmp", "kv010.BMP"}));
  EXPECT_EQ(FindAll(dir.path() + "\\Tempmen*.the"), (V{"Tempmen100.the"}));
  EXPECT_EQ(FindAll(dir.path() + "\\*.txt"), (V{"notes.txt"}));
  EXPECT_TRUE(FindAll(dir.path() + "\\*.jpg").empty());
  EXPECT_TRUE(FindAll(dir.path() + "\\missing\\*.*").empty());

  WIN32_FIND_DATA data;
  HANDLE h = FindFirstFile((dir.path() + "/notes.txt").c_str(), &data);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 4u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  // Two searches at once keep their own places.
  WIN32_FIND_DATA other;
  HANDLE h2 = FindFirstFile((dir.path() + "/kv*").c_str(), &other);
  ASSERT_NE(h2, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindNextFile(h, &data));
  EXPECT_TRUE(FindNextFile(h2, &other));
  EXPECT_STREQ(other.cFileName, "kv002.bmp");
  FindClose(h);
  FindClose(h2);
}

TEST(FindFile, MaskMatching) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  };
  const Case cases[] = {
      {"anything", "*.*", true},  {"a.b", "*.*", true},         {"kv001.bmp", "kv*.bmp", true},
      {"kv.bmp", "kv*.bmp", true}, {"kv001.bmpx", "kv*.bmp", false}, {"KV001.BMP", "kv*.bmp", true},
      {"x.the", "*.the", true},   {"the", "*.the", false},      {"a1c", "a?c", true},
      {"ac", "a?c", false},       {"abcbc", "*bc", true},       {"a.b.c", "*.*.*", true},
      {"abc", "abc", true},       {"abcd", "abc", false},       {"", "*", true},
      {"x", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(brv::MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

}  // namespace
