#include "framework/system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "framework/backend.h"
#include "framework/datetime.h"
#include "framework/settings.h"
#include "framework/shell.h"
#include "tests/framework/temp_dir.h"

namespace {

using Headless = brv::HeadlessBackend;

class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = brv::SetBackend(&backend_); }
  void TearDown() override { brv::SetBackend(previous_ == &brv::DefaultHeadlessBackend() ? nullptr : previous_); }
  Headless backend_;
  brv::Backend* previous_ = nullptr;
};

TEST_F(SystemTest, MessageBoxTypeButtonsAndResult) {
  struct Case {
    UINT type;
    std::vector<int> buttons;
    int defaultResult;  // what a box without a scripted answer returns
    int answer;         // a scripted answer the box offers
  };
  const Case cases[] = {
      {MB_OK, {IDOK}, IDOK, IDOK},
      {MB_OK | MB_ICONEXCLAMATION, {IDOK}, IDOK, IDOK},
      {MB_OKCANCEL, {IDOK, IDCANCEL}, IDOK, IDCANCEL},
      {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}, IDABORT, IDIGNORE},
      {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}, IDYES, IDCANCEL},
      {MB_YESNO | MB_ICONQUESTION, {IDYES, IDNO}, IDYES, IDNO},
      {MB_YESNO | MB_DEFBUTTON2, {IDYES, IDNO}, IDNO, IDYES},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, {IDYES, IDNO, IDCANCEL}, IDCANCEL, IDNO},
      {MB_OK | MB_DEFBUTTON3, {IDOK}, IDOK, IDOK},  // no third button: the first
      {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}, IDRETRY, IDCANCEL},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(brv::MakeMessageBoxRequest("t", "c", c.type).buttons, c.buttons) << c.type;
    EXPECT_EQ(MessageBox(nullptr, "text", "caption", c.type), c.defaultResult) << c.type;
    backend_.AddAnswer(c.answer);
    EXPECT_EQ(MessageBox(nullptr, "text", "caption", c.type), c.answer) << c.type;
  }
  EXPECT_TRUE(backend_.ScriptErrors().empty());

  // An answer the box does not offer is a script error; the box takes its default.
  backend_.ScriptAnswers({IDYES});
  EXPECT_EQ(MessageBox(nullptr, "Already selected !", "Error", MB_OK), IDOK);
  ASSERT_EQ(backend_.ScriptErrors().size(), 1u);
}

TEST_F(SystemTest, LogOfCaptionsTextsBeepsAndCursor) {
  backend_.ScriptAnswers({IDNO});
  brv::SetApplicationName("Brivanta");
  EXPECT_EQ(AfxMessageBox("Save changes?", MB_YESNO), IDNO);
  EXPECT_EQ(AfxMessageBox(61212u, MB_OK | MB_ICONHAND), IDOK);  // the text from the string table
  MessageBeep(MB_ICONASTERISK);
  {
    CWaitCursor outer;
    EXPECT_TRUE(backend_.WaitCursorShown());
    {
      CWaitCursor inner;  // nested: no second switch
    }
    EXPECT_TRUE(backend_.WaitCursorShown());
  }
  EXPECT_FALSE(backend_.WaitCursorShown());
  EndWaitCursor();  // unbalanced end does nothing
  Log("%d%% done %s", 50, "%s");

  using E = Headless::Event;
  const auto& ev = backend_.Events();
  ASSERT_EQ(ev.size(), 6u);
  EXPECT_EQ(ev[0].kind, E::kMessageBox);
  EXPECT_EQ(ev[0].caption, "Brivanta");
  EXPECT_EQ(ev[0].text, "Save changes?");
  EXPECT_EQ(ev[0].value, IDNO);
  EXPECT_EQ(ev[1].caption, "Brivanta");
  EXPECT_EQ(ev[1].text, "Too few points on the photo.");
  EXPECT_EQ(ev[1].type, static_cast<UINT>(MB_OK | MB_ICONHAND));
  EXPECT_EQ(ev[2].kind, E::kBeep);
  EXPECT_EQ(ev[2].type, static_cast<UINT>(MB_ICONASTERISK));
  EXPECT_EQ(ev[3].kind, E::kWaitCursor);
  EXPECT_EQ(ev[3].value, 1);
  EXPECT_EQ(ev[4].value, 0);
  EXPECT_EQ(ev[5].kind, E::kLog);
  EXPECT_EQ(ev[5].text, "50% done %s");  // percent signs of the result stay
}

TEST(Backend, HeadlessIsTheDefault) {
  EXPECT_EQ(&brv::CurrentBackend(), &brv::DefaultHeadlessBackend());
  brv::HeadlessBackend other;
  EXPECT_EQ(brv::SetBackend(&other), &brv::DefaultHeadlessBackend());
  EXPECT_EQ(&brv::CurrentBackend(), &other);
  EXPECT_EQ(brv::SetBackend(nullptr), &other);
  EXPECT_EQ(&brv::CurrentBackend(), &brv::DefaultHeadlessBackend());
}

TEST_F(SystemTest, FakeClockAdvancesOnlyBySleep) {
  backend_.SetClock(CTime(2005, 3, 7, 9, 5, 0).GetTime(), 1000);
  EXPECT_EQ(CTime::GetCurrentTime().Format("%d.%m.%Y  -  %H:%M").View(), "07.03.2005  -  09:05");
  EXPECT_EQ(GetTickCount(), 1000u);
  Sleep(400);
  EXPECT_EQ(GetTickCount(), 1400u);
  Sleep(60000);
  EXPECT_EQ(CTime::GetCurrentTime().Format("%H:%M").View(), "09:06");
  EXPECT_EQ(backend_.EventsOf(Headless::Event::kSleep).size(), 2u);
  backend_.Reset();
  EXPECT_TRUE(backend_.Events().empty());
}

TEST(Runtime, ItoaAndStricmp) {
  struct ItoaCase {
    int value, radix;
    const char* want;
  };
  const ItoaCase itoaCases[] = {
      {-120, 10, "-120"}, {0, 10, "0"}, {2147483647, 10, "2147483647"}, {INT32_MIN, 10, "-2147483648"},
      {255, 16, "ff"},    {-1, 16, "ffffffff"}, {5, 2, "101"}, {35, 36, "z"},
  };
  for (const ItoaCase& c : itoaCases) {
    char buf[40];
    EXPECT_STREQ(_itoa(c.value, buf, c.radix), c.want) << c.value << " base " << c.radix;
  }
  char buf[40];
  EXPECT_STREQ(itoa(-7, buf), "-7");

  struct CmpCase {
    const char *a, *b;
    int want;
  };
  const CmpCase cmpCases[] = {
      {"Abc", "aBC", 0}, {"abc", "abd", -1}, {"abd", "ABC", 1}, {"ab", "abc", -1},
      {"", "", 0},       {"[", "a", -1},     {"\xE9", "a", 1},  // bytes compare unsigned
  };
  for (const CmpCase& c : cmpCases) EXPECT_EQ(stricmp(c.a, c.b), c.want) << c.a << " " << c.b;
  EXPECT_EQ(_strnicmp("ABCx", "abcy", 3), 0);
}

TEST(Runtime, LengthPrefixedStrings) {
  // Length byte modulo 256; the way back gives that many characters.
  for (int n : {0, 1, 255, 256, 300}) {
    std::string text(static_cast<std::size_t>(n), 'a');
    for (int i = 0; i < n; ++i) text[static_cast<std::size_t>(i)] = static_cast<char>('a' + i % 26);
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    unsigned char* p = tc_c2pstr(buf.data());
    EXPECT_EQ(static_cast<void*>(p), static_cast<void*>(buf.data()));
    if (n == 0) {
      EXPECT_EQ(buf[0], '\0');  // left unchanged
      EXPECT_EQ(static_cast<void*>(tc_p2cstr(p)), static_cast<void*>(buf.data()));
      EXPECT_EQ(buf[0], '\0');
      continue;
    }
    EXPECT_EQ(p[0], n % 256) << n;
    EXPECT_EQ(std::string(buf.begin() + 1, buf.end()), text) << n;  // over the NUL, nothing beyond
    char* c = tc_p2cstr(p);
    EXPECT_EQ(std::string(c), text.substr(0, static_cast<std::size_t>(n % 256))) << n;
  }
}

// The test's own table: each character's Mac Roman and Windows-1252 codes
// as iconv gives them.
std::string Iconv(const std::string& bytes, const char* from, const char* to) {
  TempDir dir;
  const std::string in = dir / "in", out = dir / "out";
  std::ofstream(in, std::ios::binary) << bytes;
  const std::string command = std::string("iconv -f ") + from + " -t " + to + " '" + in + "' > '" + out + "'";
  if (std::system(command.c_str()) != 0) return "";
  std::ifstream f(out, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TEST(Runtime, MacAndWindowsCodePages) {
  const std::string letters = "ÄÇÉÖÜáàâäçéèêëíìîóòôöúùûü°ßØøÀÂÊÁËÈÍÎÌÓÔÒÚÛÙ";  // UTF-8
  const std::string mac = Iconv(letters, "UTF-8", "MACINTOSH");
  const std::string win = Iconv(mac, "MACINTOSH", "CP1252");
  ASSERT_EQ(mac.size(), 44u);
  ASSERT_EQ(win.size(), 44u);
  for (std::size_t i = 0; i < 44; ++i) {
    const auto m = static_cast<unsigned char>(mac[i]), w = static_cast<unsigned char>(win[i]);
    EXPECT_EQ(MacCharToWin(m), w) << std::hex << int(m);
    EXPECT_EQ(WinCharToMac(w), m) << std::hex << int(w);
  }
  EXPECT_EQ(MacCharToWin(0x8A), 0xE4);
  EXPECT_EQ(WinCharToMac(0xE4), 0x8A);
  EXPECT_EQ(MacCharToWin(13), 10);
  EXPECT_EQ(WinCharToMac(10), 13);
  // Every byte outside the table stays.
  for (int c = 0; c < 256; ++c) {
    const auto b = static_cast<unsigned char>(c);
    if (c != 13 && mac.find(static_cast<char>(c)) == std::string::npos) {
      EXPECT_EQ(MacCharToWin(b), b) << c;
    }
    if (c != 10 && win.find(static_cast<char>(c)) == std::string::npos) {
      EXPECT_EQ(WinCharToMac(b), b) << c;
    }
  }
  EXPECT_EQ(MacCharToWin(0x41), 0x41);
  EXPECT_EQ(WinCharToMac(0x41), 0x41);
}

TEST_F(SystemTest, StopBoxAndDebugBox) {
  msgbox("Disk full");
  EXPECT_EQ(DB("point", 3, 4000000000u), 1);
  auto boxes = backend_.EventsOf(Headless::Event::kMessageBox);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "Disk full");
  EXPECT_EQ(boxes[0].type & MB_ICONMASK, UINT(MB_ICONSTOP));
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, UINT(MB_OK));
  EXPECT_EQ(boxes[1].text, "point  3 -294967296");
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    ::setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_)
      ::setenv("XDG_CONFIG_HOME", old_.c_str(), 1);
    else
      ::unsetenv("XDG_CONFIG_HOME");
  }
  TempDir dir_;
  std::string old_;
  bool hadOld_ = false;
};

TEST_F(SettingsTest, RoundTripInFileUnderConfigHome) {
  EXPECT_EQ(brv::SettingsPath(), dir_.path() + "/brivanta/settings.ini");
  EXPECT_EQ(GetProfileInt("Settings", "Count", 0), 0u);  // nothing yet
  EXPECT_EQ(GetProfileString("Settings", "Name", "dflt").View(), "dflt");
  EXPECT_TRUE(GetProfileString("Settings", "Name").IsEmpty());

  EXPECT_TRUE(WriteProfileInt("Settings", "Count", 1));
  EXPECT_TRUE(WriteProfileInt("Settings", "Count", GetProfileInt("Settings", "Count", 0) + 1));
  EXPECT_EQ(GetProfileInt("Settings", "Count", 0), 2u);
  EXPECT_EQ(GetProfileInt("settings", "COUNT", 0), 2u);  // names ignore case, as the registry's
  EXPECT_TRUE(WriteProfileInt("Settings", "Negative", -5));
  EXPECT_EQ(static_cast<int>(GetProfileInt("Settings", "Negative", 0)), -5);

  // Long values with every awkward character survive whole.
  std::string awkward(1000, 'x');
  awkward += "=[]\\\n\r\t;#\xC3\xA9 end ";
  EXPECT_TRUE(WriteProfileString("Other section", "Key=with]odd[chars", awkward.c_str()));
  EXPECT_EQ(GetProfileString("Other section", "Key=with]odd[chars").View(), awkward);
  EXPECT_EQ(GetProfileInt("Settings", "Count", 0), 2u);

  EXPECT_TRUE(WriteProfileString("Settings", "Text", "12abc"));
  EXPECT_EQ(GetProfileInt("Settings", "Text", 9), 9u);  // not a number: the default
  EXPECT_TRUE(WriteProfileString("Settings", "Text", nullptr));
  EXPECT_EQ(GetProfileString("Settings", "Text", "gone").View(), "gone");
  EXPECT_TRUE(WriteProfileString("Other section", nullptr, nullptr));
  EXPECT_TRUE(GetProfileString("Other section", "Key=with]odd[chars").IsEmpty());
  EXPECT_EQ(GetProfileInt("Settings", "Count", 0), 2u);
}

// Keys that look like comment lines of the file are written so that they
// read back.
TEST_F(SettingsTest, KeysBeginningWithCommentCharactersReadBack) {
  const char* keys[] = {"#", "#hash", ";semi", ";", " #blank first", "mid#;dle", "[bracket"};
  for (int i = 0; i < 7; ++i) EXPECT_TRUE(WriteProfileInt("Settings", keys[i], 10 + i)) << keys[i];
  for (int i = 0; i < 7; ++i) EXPECT_EQ(GetProfileInt("Settings", keys[i], -1), 10u + i) << keys[i];
  EXPECT_TRUE(WriteProfileString("#section", "#key", "#value"));
  EXPECT_EQ(GetProfileString("#section", "#key").View(), "#value");
  EXPECT_EQ(GetProfileInt("Settings", "hash", -1), static_cast<UINT>(-1));
}

TEST_F(SettingsTest, RecentFileListKeepsNewestFirst) {
  brv::RecentFileList list(4);
  for (const char* p : {"/a.fac", "/b.fac", "/c.fac", "/d.fac", "/e.fac", "/C.FAC"}) list.Add(p);
  ASSERT_EQ(list.GetCount(), 4);
  EXPECT_EQ(list[0].View(), "/C.FAC");  // an old entry moves to the front
  EXPECT_EQ(list[1].View(), "/e.fac");
  EXPECT_EQ(list[3].View(), "/b.fac");
  EXPECT_TRUE(list[4].IsEmpty());
  EXPECT_TRUE(list.WriteList());
  EXPECT_EQ(GetProfileString("Recent File List", "File1").View(), "/C.FAC");

  brv::RecentFileList again(4);
  again.ReadList();
  ASSERT_EQ(again.GetCount(), 4);
  again.Remove(0);
  EXPECT_TRUE(again.WriteList());
  brv::RecentFileList third(4);
  third.ReadList();
  ASSERT_EQ(third.GetCount(), 3);
  EXPECT_EQ(third[0].View(), "/e.fac");
  EXPECT_TRUE(GetProfileString("Recent File List", "File4").IsEmpty());
}

// One file is one entry, whichever form its path came in; the list holds
// POSIX paths, also where an older list held a file twice.
TEST_F(SettingsTest, RecentFileListHoldsEachFileOnce) {
  brv::RecentFileList list(4);
  for (const char* p : {"/x/a.fac", "\\x\\b.fac", "C:\\x\\a.fac", "/x//b.fac"}) list.Add(p);
  ASSERT_EQ(list.GetCount(), 2);
  EXPECT_EQ(list[0].View(), "/x/b.fac");
  EXPECT_EQ(list[1].View(), "/x/a.fac");

  EXPECT_TRUE(WriteProfileString("Recent File List", "File1", "\\x\\c.fac"));
  EXPECT_TRUE(WriteProfileString("Recent File List", "File2", "/x/c.fac"));
  EXPECT_TRUE(WriteProfileString("Recent File List", "File3", "/x/d.fac"));
  brv::RecentFileList stored(4);
  stored.ReadList();
  ASSERT_EQ(stored.GetCount(), 2);
  EXPECT_EQ(stored[0].View(), "/x/c.fac");
  EXPECT_EQ(stored[1].View(), "/x/d.fac");
}

// A file written by hand: blanks around names and values, comments and
// lines the program does not understand, which a save keeps as they were.
TEST_F(SettingsTest, HandWrittenFileIsTrimmedAndKeptWhole) {
  const std::string hand =
      "; written by hand\n"
      "stray line before any section\n"
      "[ Settings ]\n"
      "  PictureEditor = /x/editor.sh  \n"
      "# the counter\n"
      "Count\t=\t41\n"
      "no equals sign here\n"
      "\n"
      "[Recent File List]\n"
      "File1=/a/one.fac\n"
      "; end of list\n";
  ::mkdir((dir_.path() + "/brivanta").c_str(), 0700);
  {
    std::ofstream out(brv::SettingsPath(), std::ios::binary);
    out << hand;
  }
  EXPECT_EQ(GetProfileString("Settings", "PictureEditor").View(), "/x/editor.sh");
  EXPECT_EQ(GetProfileInt("Settings", "Count", 0), 41u);
  EXPECT_EQ(GetProfileString("Settings", "no equals sign here", "none").View(), "none");
  EXPECT_EQ(GetProfileString("Recent File List", "File1").View(), "/a/one.fac");

  EXPECT_TRUE(WriteProfileInt("Settings", "Count", 42));
  EXPECT_TRUE(WriteProfileString("Recent File List", "File2", "  /b/two.fac"));
  EXPECT_TRUE(WriteProfileString("New", "Key", "value"));
  std::ifstream in(brv::SettingsPath(), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "; written by hand\n"
            "stray line before any section\n"
            "[ Settings ]\n"
            "  PictureEditor = /x/editor.sh  \n"
            "# the counter\n"
            "Count=42\n"
            "no equals sign here\n"
            "\n"
            "[Recent File List]\n"
            "File1=/a/one.fac\n"
            "File2=\\x20 /b/two.fac\n"
            "; end of list\n"
            "[New]\n"
            "Key=value\n");
  // Blanks the program wrote itself survive the trimming.
  brv::ForgetSettings();
  EXPECT_EQ(GetProfileString("Recent File List", "File2").View(), "  /b/two.fac");
  EXPECT_EQ(GetProfileInt("Settings", "Count", 0), 42u);
}

// The file is read once: later lookups do not read it again, however large.
TEST_F(SettingsTest, TheFileIsReadOnce) {
  EXPECT_TRUE(WriteProfileString("Settings", "PictureEditor", "gimp"));
  EXPECT_EQ(GetProfileString("Settings", "PictureEditor").View(), "gimp");
  {
    std::ofstream out(brv::SettingsPath(), std::ios::binary | std::ios::trunc);
    out << "[Settings]\nPictureEditor=changed behind the program's back\n";
  }
  EXPECT_EQ(GetProfileString("Settings", "PictureEditor").View(), "gimp");
  brv::ForgetSettings();
  EXPECT_EQ(GetProfileString("Settings", "PictureEditor").View(), "changed behind the program's back");
}

}  // namespace

namespace {

// Sets the whole process locale for the test's lifetime, if it exists here.
class ScopedLocale {
 public:
  explicit ScopedLocale(std::initializer_list<const char*> names) : old_(std::setlocale(LC_ALL, nullptr)) {
    for (const char* n : names)
      if (std::setlocale(LC_ALL, n)) {
        ok_ = true;
        break;
      }
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, old_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_ = false;
};

TEST_F(SettingsTest, NamesFoldWithoutTheProcessLocale) {
  {
    ScopedLocale turkish({"tr_TR.ISO-8859-9", "tr_TR"});
    if (!turkish.ok()) GTEST_SKIP() << "no Turkish locale here";
    // Turkish folds 'I' to a dotless i; names of files and settings must not.
    EXPECT_EQ(stricmp("FILE.BMP", "file.bmp"), 0);
    EXPECT_TRUE(brv::MatchesMask("KV001.BIN", "kv*.bin"));
    CString s("INFO");
    s.MakeLower();
    EXPECT_EQ(s.View(), "info");
    EXPECT_TRUE(WriteProfileInt("SETTINGS", "COUNTI", 7));
    EXPECT_EQ(GetProfileInt("settings", "counti", 0), 7u);
    EXPECT_EQ(CTime(2005, 3, 7, 9, 5, 0).Format("%a %b").View(), "Mon Mar");
  }
}

TEST_F(SettingsTest, NumbersIgnoreTheProcessLocale) {
  {
    ScopedLocale german({"de_DE.UTF-8", "de_DE.utf8", "de_DE"});
    if (!german.ok()) GTEST_SKIP() << "no German locale here";
    CString number;
    number.Format("%.2f %g %d", 1.5, 2.25, 1234567);
    EXPECT_EQ(number.View(), "1.50 2.25 1234567");  // no decimal comma, no grouping
    EXPECT_TRUE(WriteProfileInt("Settings", "Big", 1234567));
    EXPECT_EQ(GetProfileInt("Settings", "Big", 0), 1234567u);
    std::ifstream in(brv::SettingsPath());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Big=1234567\n"), std::string::npos) << text;
  }
}


TEST_F(SettingsTest, PreferencesOverTheSettingsFile) {
  char value[255];
  std::memset(value, 'x', sizeof value);
  EXPECT_FALSE(GetPreferenceString("PictureEditor", value));
  EXPECT_STREQ(value, "");
  EXPECT_FALSE(GetPreferenceString("Settings:Count", value, true));
  EXPECT_STREQ(value, "");

  EXPECT_TRUE(SetPreferenceString("MRU01", "C:\\faces\\anna.fac"));
  EXPECT_TRUE(GetPreferenceString("MRU01", value));
  EXPECT_STREQ(value, "C:\\faces\\anna.fac");
  EXPECT_TRUE(SetPreferenceString("Empty", ""));
  EXPECT_TRUE(GetPreferenceString("Empty", value));  // set, though empty
  EXPECT_STREQ(value, "");

  // "section:entry" is the entry of the profile functions.
  EXPECT_TRUE(WriteProfileInt("Settings", "Count", 17));
  EXPECT_TRUE(GetPreferenceString("Settings:Count", value));
  EXPECT_STREQ(value, "17");
  EXPECT_TRUE(SetPreferenceString("Settings:PictureEditor", "gimp"));
  EXPECT_EQ(GetProfileString("Settings", "PictureEditor").View(), "gimp");

  // At most 254 characters and the NUL.
  const std::string longValue(300, 'v');
  EXPECT_TRUE(SetPreferenceString("Long", longValue.c_str()));
  std::memset(value, 'x', sizeof value);
  EXPECT_TRUE(GetPreferenceString("Long", value));
  EXPECT_EQ(std::string(value), longValue.substr(0, 254));
}


// A program that writes what it was started with next to itself: the
// argument count, the first argument, its process group and its own id,
// and where its standard streams lead.
std::string WriteRecorder(const TempDir& dir, const std::string& name) {
  const std::string path = dir / name;
  std::ofstream(path) << "#!/bin/sh\n"
                         "echo noise; echo more noise >&2\n"
                         "in=$(readlink /proc/$$/fd/0) out=$(readlink /proc/$$/fd/1) err=$(readlink /proc/$$/fd/2)\n"
                         "{ echo \"$#\"; echo \"$1\"; cut -d' ' -f5 /proc/$$/stat; echo $$;"
                         " echo \"$in\"; echo \"$out\"; echo \"$err\"; }"
                         " > \"$0.tmp\" && mv \"$0.tmp\" \"$0.args\"\n";
  ::chmod(path.c_str(), 0755);
  return path;
}

// The recorder's lines, once it has written them (empty after 20 s).
std::vector<std::string> RecorderLines(const std::string& recorder) {
  for (int i = 0; i < 400; ++i) {
    std::ifstream in(recorder + ".args");
    if (in) {
      std::vector<std::string> lines;
      for (std::string line; std::getline(in, line);) lines.push_back(line);
      return lines;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return {};
}

TEST(StartProgram, OneArgumentOwnGroupQuietAndNotWaitedFor) {
  TempDir dir;
  const std::string recorder = WriteRecorder(dir, "recorder");
  const std::string argument = dir / "a picture; $(rm -rf x) *.bmp";  // no shell reads it
  std::string reason;
  ASSERT_TRUE(brv::StartProgram(recorder, argument, &reason)) << reason;
  const std::vector<std::string> lines = RecorderLines(recorder);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], "1");
  EXPECT_EQ(lines[1], argument);
  EXPECT_EQ(lines[2], lines[3]);  // leads a process group of its own
  EXPECT_NE(lines[2], std::to_string(::getpgrp()));
  EXPECT_EQ(lines[4], "/dev/null");
  EXPECT_EQ(lines[5], "/dev/null");
  EXPECT_EQ(lines[6], "/dev/null");

  EXPECT_FALSE(brv::StartProgram(dir / "no-such-program", "x", &reason));
  EXPECT_EQ(reason, std::strerror(ENOENT));
  EXPECT_FALSE(brv::StartProgram("brivanta-no-such-program-on-the-path", "x", &reason));
  EXPECT_FALSE(brv::StartProgram("", "x", &reason));
}

}  // namespace
