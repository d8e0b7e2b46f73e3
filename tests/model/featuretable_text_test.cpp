#include "model/featuretable_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct ParseCase {
    const char* what;
    std::string text;
    bool crEndsLine;
    int minFields;
    Rows rows;
    bool complete;
};

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, GivesTheRows) {
    const ParseCase& c = GetParam();
    FeatureTableText t = parseFeatureTable(c.text, c.crEndsLine, c.minFields);
    EXPECT_EQ(t.rows, c.rows) << c.what;
    EXPECT_EQ(t.complete, c.complete) << c.what;
}

const std::string kLong(kFeatureFieldMax, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseTable,
    ::testing::Values(
        ParseCase{"comment lines are skipped, tabs and blanks trimmed",
                  "#head,\r\n#cols,\r\n a ,\tb\t,\r\nc,d,\r\n", false, 2,
                  {{"a", "b"}, {"c", "d"}}, true},
        ParseCase{"a # after blanks is data", " #x,y,\n", false, 2, {{"#x", "y"}}, true},
        ParseCase{"a last field without a comma is lost", "a,b,c\n", false, 2, {{"a", "b"}}, true},
        ParseCase{"the last line without a line feed is not read", "a,b,\nc,d,", false, 2,
                  {{"a", "b"}}, true},
        ParseCase{"list columns take the rest", "r,m,x,y,z,\n", false, 2, {{"r", "m", "x", "y", "z"}},
                  true},
        ParseCase{"empty fields are kept", "a,,b,\n", false, 3, {{"a", "", "b"}}, true},
        ParseCase{"a lone CR ends a line only when asked", "a,b,\rc,d,\r", true, 2,
                  {{"a", "b"}, {"c", "d"}}, true},
        ParseCase{"without it a lone CR is blank space", "a,b,\rc,d,\n", false, 2,
                  {{"a", "b", "c", "d"}}, true},
        ParseCase{"too few fields end the table", "a,b,\nc,\ne,f,\n", false, 2, {{"a", "b"}}, false},
        ParseCase{"a blank line ends the table", "a,b,\n\r\ne,f,\n", false, 2, {{"a", "b"}}, false},
        ParseCase{"a field of the longest length is read", kLong + ",b,\n", false, 2, {{kLong, "b"}},
                  true},
        ParseCase{"a longer field ends the table", "a,b,\n" + kLong + "y,b,\n", false, 2,
                  {{"a", "b"}}, false},
        ParseCase{"empty text", "", false, 1, {}, true}));

}  // namespace
