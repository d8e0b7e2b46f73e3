#include "framework/resources.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

namespace fs = std::filesystem;

// Every file resources/<TYPE>/<number>.<ext> in the source tree must be found
// with exactly its bytes: nothing but the file itself is needed to add one.
TEST(Resources, EveryFileUnderResourcesIsEmbeddedByteForByte) {
  const std::regex resourceName("([0-9]+)(\\.[^.]*)?");
  int checked = 0;
  for (const auto& dir : fs::directory_iterator(fs::path(BRIVANTA_SOURCE_DIR) / "resources")) {
    if (!dir.is_directory()) continue;
    const std::string type = dir.path().filename().string();
    for (const auto& file : fs::directory_iterator(dir.path())) {
      std::smatch m;
      const std::string name = file.path().filename().string();
      if (!file.is_regular_file() || !std::regex_match(name, m, resourceName)) continue;
      const unsigned number = static_cast<unsigned>(std::stoul(m[1].str()));
      std::ifstream in(file.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

      HRSRC r = FindResource(nullptr, MAKEINTRESOURCE(number), type.c_str());
      ASSERT_NE(r, nullptr) << type << " " << number;
      ASSERT_EQ(SizeofResource(nullptr, r), bytes.size()) << type << " " << number;
      const void* data = LockResource(LoadResource(nullptr, r));
      ASSERT_NE(data, nullptr);
      EXPECT_EQ(0, std::memcmp(data, bytes.data(), bytes.size())) << type << " " << number;
      // A NUL follows every resource, so text resources can be scanned.
      EXPECT_EQ(static_cast<const char*>(data)[bytes.size()], '\0');

      auto span = brv::ResourceBytes(type, number);
      EXPECT_EQ(span.data(), data);
      EXPECT_EQ(span.size(), bytes.size());
      ++checked;
    }
  }
  EXPECT_GE(checked, 1);  // at least the string table
}

TEST(Resources, LookupByNumberNameAndType) {
  const HRSRC table = FindResource(nullptr, 1u, "STRINGTABLE");
  ASSERT_NE(table, nullptr);
  struct Case {
    const char* what;
    HRSRC found;
    bool hit;
  };
  const Case cases[] = {
      {"MAKEINTRESOURCE", FindResource(nullptr, MAKEINTRESOURCE(1), "STRINGTABLE"), true},
      {"#number", FindResource(nullptr, "#1", "STRINGTABLE"), true},
      {"type in other case", FindResource(nullptr, 1u, "StringTable"), true},
      {"missing number", FindResource(nullptr, 65535u, "STRINGTABLE"), false},
      {"missing type", FindResource(nullptr, 1u, "NOSUCHTYPE"), false},
      {"type prefix only", FindResource(nullptr, 1u, "STRING"), false},
      {"name text", FindResource(nullptr, "STRINGS", "STRINGTABLE"), false},
      {"bad #name", FindResource(nullptr, "#1x", "STRINGTABLE"), false},
      {"empty #", FindResource(nullptr, "#", "STRINGTABLE"), false},
      {"null name", FindResource(nullptr, static_cast<LPCSTR>(nullptr), "STRINGTABLE"), false},
      {"null type", FindResource(nullptr, 1u, nullptr), false},
      {"id above 16 bits", FindResource(nullptr, 65536u + 1u, "STRINGTABLE"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.found, c.hit ? table : nullptr) << c.what;

  EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
  EXPECT_EQ(LockResource(LoadResource(nullptr, nullptr)), nullptr);
  EXPECT_TRUE(brv::ResourceBytes("NOSUCHTYPE", 1).empty());
  EXPECT_EQ(brv::ResourceBytes("NOSUCHTYPE", 1).data(), nullptr);
}

TEST(StringTable, ParsesEntriesAndReportsBadLines) {
  std::map<unsigned, std::string> table;
  const auto errors = brv::ParseStringTable(
      "# comment\n"
      "\n"
      "101 \"Already selected !\"\n"
      "  102\t\"a \\\"quoted\\\" \\\\ word\\n\\ttab\\x41\"  \r\n"
      "103 \"\"\n"
      "104 \"no end\n"
      "text \"no id\"\n"
      "101 \"again\"\n"
      "105 \"bad \\q escape\"\n"
      "106 \"x\" tail\n"
      "70000 \"too big\"\n"
      "107 \"last line without a line end\"",
      &table);
  const std::map<unsigned, std::string> expected = {
      {101, "Already selected !"},
      {102, "a \"quoted\" \\ word\n\ttabA"},
      {103, ""},
      {107, "last line without a line end"},
  };
  EXPECT_EQ(table, expected);
  ASSERT_EQ(errors.size(), 6u);
  EXPECT_EQ(errors[0], "line 6: no closing quote");
  EXPECT_EQ(errors[2], "line 8: id 101 twice");
}

TEST(StringTable, EmbeddedTableIsSoundAndLoadStringTruncates) {
  EXPECT_TRUE(brv::StringTableErrors().empty()) << brv::StringTableErrors().front();

  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(LoadString(nullptr, 61212, buffer, sizeof buffer), 7);  // cut to the buffer
  EXPECT_STREQ(buffer, "Too few");
  char whole[64];
  EXPECT_EQ(LoadString(nullptr, 61231, whole, sizeof whole), 11);
  EXPECT_STREQ(whole, " - on right");
  EXPECT_EQ(LoadString(nullptr, 65535, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
  std::string text = "unchanged";
  EXPECT_FALSE(brv::LoadStringText(65535, &text));
  EXPECT_EQ(text, "unchanged");
}
