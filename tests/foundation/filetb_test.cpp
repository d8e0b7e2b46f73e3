#include "foundation/filetb.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <cmath>
#include <locale.h>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using fnd::fileTB;
using fnd::istring;
using fnd::ostring;

namespace {

// One file per test and process: ctest runs the cases in parallel.
std::string tempPath(const char* name) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    return testing::TempDir() + "filetb_" + info->test_suite_name() + "_" + info->name() + "_" +
           std::to_string(getpid()) + "_" + name;
}

// Writes through a fresh stream opened with `mode` and returns the file's bytes.
std::string written(const char* mode, const std::function<void(fileTB&)>& body, bool* goodAfter = nullptr) {
    std::string path = tempPath("out");
    {
        fileTB f;
        EXPECT_TRUE(f.open(path.c_str(), mode));
        body(f);
        if (goodAfter) *goodAfter = f.good();
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return bytes;
}

// A heap block of exactly the text's length, so reading past it is caught.
struct Block {
    explicit Block(const std::string& s) : bytes(s.begin(), s.end()) {}
    std::vector<unsigned char> bytes;
    bool open(fileTB& f) { return f.open(bytes.data(), bytes.size()); }
};

std::string bytesOf(float f) {
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((u >> (8 * i)) & 0xFF);
    return s;
}

std::string bytesOf(std::int32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    return s;
}

struct DoubleCase {
    double value;
    const char* text;
};

const DoubleCase kDoubles[] = {
    {0.5, "0.500000 "},       {1.0, "1.000000 "},          {2.0, "    2.000 "},
    {-10.0, "  -10.000 "},    {1234.5678, " 1234.568 "},   {-0.0, "-0.000000 "},
    {1.0000001, "    1.000 "},  // rounds to the single just above 1
    {-1.0, "-1.000000 "},     {0.7378061, "0.737806 "},     {-34.896, "  -34.896 "},
};

std::string doubleTable(const char* mode) {
    return written(mode, [](fileTB& f) {
        for (const auto& c : kDoubles) f << c.value;
    });
}

std::string expectedTextTable() {
    std::string s;
    for (const auto& c : kDoubles) s += c.text;
    return s;
}

}  // namespace

TEST(FileTBWrite, DoubleTableText) {
    EXPECT_EQ(doubleTable("wt"), expectedTextTable());
}

TEST(FileTBWrite, DoubleTableBinaryIsLittleEndianSingle) {
    std::string want;
    for (const auto& c : kDoubles) want += bytesOf(static_cast<float>(c.value));
    EXPECT_EQ(doubleTable("wb"), want);
}

TEST(FileTBWrite, SameBytesUnderDecimalCommaLocale) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "hu_HU.UTF-8"};
    std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* got = nullptr;
    for (const char* n : names)
        if ((got = std::setlocale(LC_ALL, n))) break;
    if (!got) GTEST_SKIP() << "no decimal-comma locale installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    EXPECT_STREQ(probe, "0,5") << "the locale really uses a decimal comma";

    std::string text = doubleTable("wt");
    float back = 0;
    Block b("1234.568 2.5 ");
    fileTB r;
    b.open(r);
    double d = 0;
    r >> back >> d;
    std::setlocale(LC_ALL, saved.c_str());

    EXPECT_EQ(text, expectedTextTable());
    EXPECT_TRUE(r.good());
    EXPECT_EQ(back, 1234.568f);
    EXPECT_EQ(d, 2.5);
}

TEST(FileTBWrite, IntegersCharsAndStrings) {
    std::string s = written("wt", [](fileTB& f) {
        int i = -42;
        long l = 123456;
        char ch = 'x';
        unsigned char uc = 200;
        float fl = 2.5f;
        bool t = true, no = false;
        f << i << l << ch << uc << fl << t << no << "th" << "::" << "Vertex";
        f.eos();
    });
    EXPECT_EQ(s, "-42 123456 x200     2.500 1 0 th::Vertex ");
}

TEST(FileTBWrite, BinaryLayout) {
    std::string s = written("wb", [](fileTB& f) {
        int i = -2;
        long l = 70000;
        unsigned char uc = 7;
        bool t = true;
        f << i << l << uc << t << "ab";
        f.eos();
        f.newLine();  // nothing in binary mode
        f.tab();
    });
    std::string want = bytesOf(-2) + bytesOf(70000) + "\x07" + bytesOf(1) + "ab" + std::string(1, '\0');
    EXPECT_EQ(s, want);
}

TEST(FileTBWrite, LongBeyondThirtyTwoBitsFails) {
    bool good = true;
    std::string s = written("wt", [](fileTB& f) {
        long big = 1L << 40;
        int after = 5;
        f << big << after;
    }, &good);
    EXPECT_FALSE(good);
    EXPECT_EQ(s, "");
}

TEST(FileTBWrite, IndentationAndCommentLines) {
    std::string s = written("wt", [](fileTB& f) {
        int one = 1, two = 2;
        f << one;
        {
            fnd::tabGuard g(f);
            f.newLine();
            f << two;
            {
                fnd::tabGuard g2(f);
                f.setCommentMode(true);
                f.newLine();
                f << "note";
                f.setCommentWithoutIndentation(true);
                f.newLine();
            }
            EXPECT_FALSE(f.commentMode()) << "the guard restores comment mode";
            f.setCommentWithoutIndentation(false);
            f.newLine();
        }
        f.newLine();
    });
    EXPECT_EQ(s, "1 \n\t2 \n#\t\tnote\n\n\t\n");
}

TEST(FileTBStrings, OstringTextAndBinary) {
    std::string t = written("wt", [](fileTB& f) {
        f.setDepth(2);
        f << ostring("left eye") << ostring("");
    });
    EXPECT_EQ(t, "left~eye_\n\t\t_\n\t\t");
    std::string b = written("wb", [](fileTB& f) { f << ostring("left eye"); });
    EXPECT_EQ(b, std::string("left eye") + '\0');
}

TEST(FileTBStrings, IstringReadsBack) {
    Block b("left~eye_\n\t\t_ \nnoend ");
    fileTB f;
    ASSERT_TRUE(b.open(f));
    istring a, e, bad;
    f >> a >> e;
    EXPECT_TRUE(f.good());
    EXPECT_EQ(a.str(), "left eye");
    EXPECT_EQ(e.str(), "");
    f >> bad;
    EXPECT_FALSE(f.good()) << "a token without the final '_'";
}

TEST(FileTBStrings, IstringBinary) {
    int x;
    Block b2(std::string("1 \n") + "a b~c" + '\0' + "zz");
    fileTB g;
    b2.open(g);
    g >> x;
    g.setMode("b");
    istring s, rest;
    g >> s;
    EXPECT_TRUE(g.good());
    EXPECT_EQ(s.str(), "a b c");
    g >> rest;  // no zero byte before the end of the block
    EXPECT_FALSE(g.good());
}

TEST(FileTBRead, CommentsLayoutAndCRLF) {
    Block b("# header line 1\r\n#second\r\n  5\t\t#x\r\n\r\n#skip 7\r\n  #tok 9 \r\n");
    fileTB f;
    ASSERT_TRUE(b.open(f));
    int five = 0, nine = 0;
    char tok[16];
    char hashx[8];
    f >> five >> hashx >> tok >> nine;
    EXPECT_TRUE(f.good());
    EXPECT_EQ(five, 5);
    EXPECT_STREQ(hashx, "#x");
    EXPECT_STREQ(tok, "#tok") << "'#' after leading blanks is not a comment";
    EXPECT_EQ(nine, 9);
    EXPECT_EQ(f.get(), 0);
}

TEST(FileTBRead, TypedValues) {
    Block b("-42 123456 x 200 2.5 0.737806 1234.568 7 -1 0 300 ");
    fileTB f;
    b.open(f);
    int i;
    long l;
    char ch;
    unsigned char uc;
    float fl;
    double d1, d2;
    bool t1, t2, t3;
    unsigned char wrapped;
    f >> i >> l >> ch >> uc >> fl >> d1 >> d2 >> t1 >> t2 >> t3 >> wrapped;
    EXPECT_TRUE(f.good());
    EXPECT_EQ(i, -42);
    EXPECT_EQ(l, 123456);
    EXPECT_EQ(ch, 'x');
    EXPECT_EQ(uc, 200);
    EXPECT_EQ(fl, 2.5f);
    EXPECT_EQ(d1, static_cast<double>(0.737806f));
    EXPECT_EQ(d2, static_cast<double>(1234.568f));
    EXPECT_TRUE(t1);
    EXPECT_FALSE(t2);
    EXPECT_FALSE(t3);
    EXPECT_EQ(wrapped, 300 & 0xFF);
}

TEST(FileTBRead, FailureIsSticky) {
    Block b("abc 5 6 ");
    fileTB f;
    b.open(f);
    int v = 77;
    f >> v;
    EXPECT_FALSE(f.good());
    f >> v;
    EXPECT_EQ(v, 77) << "nothing is read once the stream failed";
    EXPECT_EQ(f.get(), 0);
    f.setMode("b");
    f >> v;
    EXPECT_EQ(v, 77);
}

TEST(FileTBRead, BadNumbersFail) {
    const char* cases[] = {"99999999999 ", "", "   \n  ", "12", "- ", "x1 "};
    for (const char* c : cases) {
        Block b(c);
        fileTB f;
        b.open(f);
        int v;
        f >> v;
        EXPECT_FALSE(f.good()) << '"' << c << '"';
    }
}

TEST(FileTBRead, NumberAtEndWithoutWhiteSpaceFails) {
    Block b("12 34");
    fileTB f;
    b.open(f);
    int a = 0, c = 0;
    f >> a;
    EXPECT_TRUE(f.good());
    f >> c;
    EXPECT_FALSE(f.good());
    EXPECT_EQ(a, 12);
}

// Numbers read through the stream equal the C library's conversions in the
// C locale, for plain decimals of every length (the writer's formats among
// them), halfway cases between two singles, and every other spelling.
TEST(FileTBRead, NumbersEqualTheLibraryConversions) {
    std::vector<std::string> words = {"0", "-0", "+7", "-2147483648", "2147483647", "007", "1.", ".5", "-.25",
                                      "0.000000", "-0.000000", "742.226", "-1.047", "1077.331", "16777217",
                                      "16777219.0", "0.1", "3.4028235e38", "1e-45", "1e39", "nan", "inf", "-inf",
                                      "0x10", "1.5e3", "12abc", "999999999999999", "9999999999999999"};
    std::uint64_t state = 12345;
    auto next = [&state]() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state >> 33;
    };
    for (int k = 0; k < 20000; ++k) {
        std::string w = next() % 2 ? "-" : "";
        const int before = 1 + next() % 8, after = next() % 8;
        for (int d = 0; d < before; ++d) w += char('0' + next() % 10);
        if (after) {
            w += '.';
            for (int d = 0; d < after; ++d) w += char('0' + next() % 10);
        }
        words.push_back(w);
    }
    // Midpoints between neighbouring singles, written out exactly.
    for (float f : {1.0f, 3.1f, 16777216.0f, 0.7f, 1234.5678f}) {
        const double mid = (double(f) + double(std::nextafter(f, 1e30f))) / 2;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15f", mid);
        words.push_back(buf);
        std::snprintf(buf, sizeof buf, "%.17g", mid);
        words.push_back(buf);
    }
    std::string text;
    for (const std::string& w : words) text += w + " " + w + " ";
    Block b(text);
    fileTB f;
    b.open(f);
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    for (const std::string& w : words) {
        float got = 0;
        int gotInt = 0;
        f >> got;
        const bool floatGood = f.good();
        char* end = nullptr;
        const float want = strtof_l(w.c_str(), &end, c);
        ASSERT_EQ(floatGood, end != w.c_str()) << w;
        if (floatGood) {
            if (std::isnan(want))
                EXPECT_TRUE(std::isnan(got)) << w;
            else
                EXPECT_EQ(bytesOf(got), bytesOf(want)) << w;
        }
        if (!floatGood) break;
        f >> gotInt;
        errno = 0;
        end = nullptr;
        const long wantLong = std::strtol(w.c_str(), &end, 10);
        const bool intOk = end != w.c_str() && errno != ERANGE && wantLong >= INT32_MIN && wantLong <= INT32_MAX;
        ASSERT_EQ(f.good(), intOk) << w;
        if (intOk) EXPECT_EQ(gotInt, wantLong) << w;
        if (!f.good()) break;
    }
    freelocale(c);
}

// A UTF-8 byte-order mark is passed over when asked for, in a block and in
// a file; without one nothing is consumed.
TEST(FileTBRead, ByteOrderMarkIsPassedOver) {
    for (const std::string& text : {std::string("\xEF\xBB\xBF" "12 34 "), std::string("12 34 ")}) {
        const bool mark = text[0] != '1';
        Block b(text);
        fileTB f;
        b.open(f);
        EXPECT_EQ(f.skipByteOrderMark(), mark);
        int x = 0, y = 0;
        f >> x >> y;
        EXPECT_TRUE(f.good());
        EXPECT_EQ(x, 12);
        EXPECT_EQ(y, 34);
        const std::string path = tempPath(mark ? "bom" : "plain");
        std::ofstream(path, std::ios::binary) << text;
        fileTB g;
        ASSERT_TRUE(g.open(path.c_str(), "rt"));
        EXPECT_EQ(g.skipByteOrderMark(), mark);
        x = y = 0;
        g >> x >> y;
        EXPECT_TRUE(g.good());
        EXPECT_EQ(x, 12);
        EXPECT_EQ(y, 34);
        g.close();
        std::remove(path.c_str());
    }
}

TEST(FileTBRead, ByteFFEndsTheData) {
    Block b("1 \xff 2 ");
    fileTB f;
    b.open(f);
    int a, c;
    f >> a >> c;
    EXPECT_FALSE(f.good());
}

TEST(FileTBRead, TokenLimit) {
    std::string big(6000, 'a');
    Block b(big + " 3 ");
    fileTB f;
    b.open(f);
    ASSERT_EQ(f.get(), 1);
    EXPECT_EQ(std::strlen(fileTB::item), 5000u);
    ASSERT_EQ(f.get(), 1);
    EXPECT_EQ(std::strlen(fileTB::item), 1000u);
    int three;
    f >> three;
    EXPECT_TRUE(f.good());
    EXPECT_EQ(three, 3);
}

// A stream that takes its tokens from an index reads what the bytes read:
// the same values, failures, places and last characters, whatever the reads
// ask for, also when the reader steps out of line (raw bytes, a byte-order
// mark, a change of mode) and the stream scans on by itself.
TEST(FileTBIndex, ReadsWhatTheBytesRead) {
    std::string longToken(1500, 'q');
    const std::string blocks[] = {
        "310\n\t110.000000 788.000 66.000 107.000\n\tAllOfEditedData3D::FullHead_ 17491 \tof::vertex\n",
        "0 -0 +7 -2147483648 2147483647 2147483648 007 1. .5 -0.000000 742.226 16777217 16777219.0 3.4028235e38 "
        "1e39 nan -inf 0x10 12abc 9999999999999999 abc_ x~y_ 5",
        "# header line 1\r\n#second\r\n  5\t\t#x\r\n\r\n#skip 7\r\n  #tok 9 \r\n3 ",
        "\xEF\xBB\xBF" "12 34 5.5 ",
        longToken + " 3 4 ",
        "1 2 \xff 3 ",
        "  \n\t ",
        "",
    };
    // What a read gives, as text: the value, the stream's state after it,
    // where it stands and the last character the scanner took.
    using Script = std::function<void(fileTB&, std::vector<std::string>&)>;
    auto state = [](fileTB& f, std::vector<std::string>& log, const std::string& what) {
        log.push_back(what + " good " + std::to_string(f.good()) + " left " + std::to_string(f.remaining()) +
                      " c " + std::to_string(fileTB::c));
    };
    auto all = [state](auto value) {
        return Script([state, value](fileTB& f, std::vector<std::string>& log) {
            for (int k = 0; k < 40 && f.good(); ++k) {
                auto v = value;
                f >> v;
                std::ostringstream out;
                out << +v;
                state(f, log, out.str());
            }
        });
    };
    const std::pair<const char*, Script> scripts[] = {
        {"ints", all(int(-7))},
        {"longs", all(long(-7))},
        {"singles", all(float(-7))},
        {"doubles", all(double(-7))},
        {"bools", all(false)},
        {"bytes", all((unsigned char)(7))},
        {"tokens",
         [state](fileTB& f, std::vector<std::string>& log) {
             for (int k = 0; k < 40; ++k) {
                 const int found = f.get();
                 state(f, log, std::to_string(found) + " " + fileTB::item);
                 if (!found) break;
             }
         }},
        {"strings",
         [state](fileTB& f, std::vector<std::string>& log) {
             for (int k = 0; k < 40 && f.good(); ++k) {
                 char text[16] = "";
                 istring named;
                 if (k % 2)
                     f >> text;
                 else
                     f >> named;
                 state(f, log, std::string(text) + "|" + named.str());
             }
         }},
        {"out of line",
         [state](fileTB& f, std::vector<std::string>& log) {
             state(f, log, "mark " + std::to_string(f.skipByteOrderMark()));
             int a = 0, b = 0;
             float x = 0;
             char ch = 0;
             f >> a;
             state(f, log, std::to_string(a));
             f.readBlock(&ch, 1);
             state(f, log, std::string(1, ch));
             f >> b >> x;
             state(f, log, std::to_string(b) + " " + std::to_string(x));
             f.setMode("b");
             f.setMode("t");
             f >> a;
             state(f, log, std::to_string(a));
         }},
    };
    for (const std::string& text : blocks) {
        Block b(text);
        const fnd::TokenIndex index(b.bytes.data(), b.bytes.size());
        for (const auto& [name, script] : scripts) {
            SCOPED_TRACE(testing::Message() << name << " over \"" << text.substr(0, 40) << "\"");
            std::vector<std::string> plain, indexed;
            fileTB f, g;
            b.open(f);
            g.open(b.bytes.data(), b.bytes.size(), &index);
            fileTB::c = 0;
            script(f, plain);
            fileTB::c = 0;
            script(g, indexed);
            EXPECT_EQ(plain, indexed);
        }
    }
    // The index is followed while the reads keep in line, and a stream over
    // other bytes does not take it.
    Block head(blocks[0]);
    const fnd::TokenIndex index(head.bytes.data(), head.bytes.size());
    EXPECT_EQ(index.tokens(), 8u);
    fileTB f, other;
    f.open(head.bytes.data(), head.bytes.size(), &index);
    int version = 0;
    f >> version;
    EXPECT_EQ(version, 310);
    EXPECT_TRUE(f.followsIndex());
    char ch;
    f.readBlock(&ch, 1);
    f >> version;
    EXPECT_FALSE(f.followsIndex());
    Block copy(blocks[0]);
    other.open(copy.bytes.data(), copy.bytes.size(), &index);
    EXPECT_FALSE(other.followsIndex());
    // No index over a block holding 0xFF, and none past a token too long
    // for it.
    Block ff(blocks[5]), big(blocks[4]);
    EXPECT_EQ(fnd::TokenIndex(ff.bytes.data(), ff.bytes.size()).tokens(), 0u);
    EXPECT_EQ(fnd::TokenIndex(big.bytes.data(), big.bytes.size()).tokens(), 0u);
}

TEST(FileTBRead, StringReadsAreBounded) {
    Block b("short muchlongerthanbuffer next ");
    fileTB f;
    b.open(f);
    char small[8];
    f >> small;
    EXPECT_TRUE(f.good());
    EXPECT_STREQ(small, "short");
    f >> small;
    EXPECT_FALSE(f.good());
    EXPECT_STREQ(small, "muchlon") << "cut and terminated, never overrun";

    Block bin(std::string("1 \n") + "abcdefghij" + '\0');
    fileTB g;
    bin.open(g);
    int one;
    g >> one;
    g.setMode("b");
    char four[4];
    g.readString(four, sizeof four);
    EXPECT_FALSE(g.good());
    EXPECT_STREQ(four, "abc");
}

TEST(FileTBRead, CommentModeSkipsTypedReadsButNotUnsignedChar) {
    Block b("5 6 7 ");
    fileTB f;
    b.open(f);
    f.setCommentMode(true);
    int i = -1;
    double d = -1;
    unsigned char uc = 0;
    f >> i >> d >> uc;
    EXPECT_EQ(i, -1);
    EXPECT_EQ(d, -1);
    EXPECT_EQ(uc, 5);
    f.setCommentMode(false);
    f >> i;
    EXPECT_EQ(i, 6);
    EXPECT_TRUE(f.good());
}

TEST(FileTBOpen, NullBlockAndMissingFile) {
    fileTB f;
    EXPECT_FALSE(f.open(nullptr, 10));
    EXPECT_FALSE(f.good());
    EXPECT_EQ(f.get(), 0);
    int v = 3;
    f >> v;
    EXPECT_EQ(v, 3);
    EXPECT_FALSE(f.open((tempPath("missing") + "/nope").c_str(), "rt"));
    EXPECT_FALSE(f.good());
    f.close();
    f.close();
}

TEST(FileTBOpen, WindowsStylePath) {
    std::string dir = testing::TempDir();
    std::string win = dir;
    for (char& ch : win)
        if (ch == '/') ch = '\\';
    {
        fileTB f;
        ASSERT_TRUE(f.open((win + "filetb_win_" + std::to_string(getpid())).c_str(), "wt"));
        int seven = 7;
        f << seven;
    }
    fileTB r;
    ASSERT_TRUE(r.open((dir + "filetb_win_" + std::to_string(getpid())).c_str(), "rt"));
    int v = 0;
    r >> v;
    EXPECT_EQ(v, 7);
    std::remove((dir + "filetb_win_" + std::to_string(getpid())).c_str());
}

TEST(FileTBOpen, CloseForgetsTheBlock) {
    Block b("1 2 ");
    fileTB f;
    b.open(f);
    EXPECT_TRUE(f.memorySource());
    f.close();
    EXPECT_FALSE(f.good());
    EXPECT_FALSE(f.memorySource());
}

TEST(FileTBMode, SetModeSwitchingBytes) {
    std::string s = written("wt", [](fileTB& f) {
        int three = 3, seven = 7, nine = 9;
        double d = 2.5;
        f << three;
        f.setMode("b");
        f.setMode("b");  // no change, no line break
        f << seven << d;
        f.setMode("t");
        f << nine;
    });
    EXPECT_EQ(s, "3 \n" + bytesOf(7) + bytesOf(2.5f) + "\n9 ");

    Block b(s);
    fileTB r;
    b.open(r);
    int three = 0, seven = 0, nine = 0;
    double d = 0;
    r >> three;
    r.setMode("b");
    r >> seven >> d;
    r.setMode("t");
    r >> nine;
    EXPECT_TRUE(r.good());
    EXPECT_EQ(three, 3);
    EXPECT_EQ(seven, 7);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(nine, 9);
}

TEST(FileTBMode, SwitchAtEndOfDataFails) {
    Block b("3 ");
    fileTB r;
    b.open(r);
    int three;
    r >> three;
    r.setMode("b");
    EXPECT_FALSE(r.good());
}

TEST(FileTBMode, NewLineOnReadStreamDoesNothing) {
    Block b("1\n2 ");
    fileTB r;
    b.open(r);
    int one, two;
    r >> one;
    r.newLine();
    r >> two;
    EXPECT_TRUE(r.good());
    EXPECT_EQ(two, 2);
}

namespace {

// Every value type written and read back through a file in one mode.
void roundTrip(const char* wmode, const char* rmode) {
    std::string path = tempPath(wmode);
    {
        fileTB f;
        ASSERT_TRUE(f.open(path.c_str(), wmode));
        int i = -123456;
        long l = -2147483647L - 1;
        char ch = 'q';
        unsigned char uc = 255;
        float fl = -3.25f;
        double d1 = 1234.5678, d2 = -0.25, d3 = 1e30;
        bool t = true;
        f << i << l << ch;
        f.eos();
        f << uc << fl << d1 << d2 << d3 << t << ostring("a b") << "word";
        f.eos();
        f.newLine();
        EXPECT_TRUE(f.good());
    }
    fileTB f;
    ASSERT_TRUE(f.open(path.c_str(), rmode));
    int i;
    long l;
    char ch;
    unsigned char uc;
    float fl;
    double d1, d2, d3;
    bool t;
    istring s;
    char word[8];
    f >> i >> l >> ch;
    if (!f.text()) {
        char zero;
        f >> zero;
    }
    f >> uc >> fl >> d1 >> d2 >> d3 >> t >> s >> word;
    EXPECT_TRUE(f.good());
    EXPECT_EQ(i, -123456);
    EXPECT_EQ(l, -2147483647L - 1);
    EXPECT_EQ(ch, 'q');
    EXPECT_EQ(uc, 255);
    EXPECT_EQ(fl, -3.25f);
    if (f.text())
        EXPECT_EQ(d1, static_cast<double>(1234.568f));
    else
        EXPECT_EQ(d1, static_cast<double>(1234.5678f));
    EXPECT_EQ(d2, -0.25);
    EXPECT_NEAR(d3, 1e30, 1e24);
    EXPECT_TRUE(t);
    EXPECT_EQ(s.str(), "a b");
    EXPECT_STREQ(word, "word");
    f.close();
    std::remove(path.c_str());
}

}  // namespace

TEST(FileTBRoundTrip, Text) { roundTrip("wt", "rt"); }
TEST(FileTBRoundTrip, Binary) { roundTrip("wb", "rb"); }

namespace {

// Writes `count` integers, a few kilobytes at most, so that everything
// still sits in the stream's buffer when close runs.
void writeInts(fileTB& f, int count) {
    for (int i = 0; i < count; ++i) f << i;
}

}  // namespace

// A full disk: the bytes never reach the file, and the stream must say so
// at the latest when it is flushed or closed.
TEST(FileTBLostWrites, FullDeviceFailsFlushAndClose) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    {
        fileTB f;
        ASSERT_TRUE(f.open("/dev/full", "wt"));
        writeInts(f, 20);
        EXPECT_FALSE(f.close());
        EXPECT_FALSE(f.good());
    }
    {
        fileTB f;
        ASSERT_TRUE(f.open("/dev/full", "wb"));
        writeInts(f, 20);
        EXPECT_FALSE(f.flush());
        EXPECT_FALSE(f.good());
        int more = 1;
        f << more;  // a failed stream stays failed
        EXPECT_FALSE(f.close());
    }
}

TEST(FileTBLostWrites, CloseReportsSuccessOnlyWhenAllWasWritten) {
    std::string path = tempPath("ok");
    fileTB f;
    ASSERT_TRUE(f.open(path.c_str(), "wt"));
    writeInts(f, 20);
    EXPECT_TRUE(f.flush());
    EXPECT_TRUE(f.good());
    writeInts(f, 5);
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(f.good());
    EXPECT_FALSE(f.close()) << "nothing left to close";

    fileTB r;
    ASSERT_TRUE(r.open(path.c_str(), "rt"));
    int v = -1;
    for (int i = 0; i < 20; ++i) r >> v;
    EXPECT_EQ(v, 19);
    EXPECT_TRUE(r.close());
    std::remove(path.c_str());

    Block b("1 ");
    ASSERT_TRUE(b.open(r));
    EXPECT_TRUE(r.close());
}

// A file-size limit (a quota, a full file system): the kernel refuses the
// bytes beyond it. Run in a child process, which alone gets the limit.
TEST(FileTBLostWrites, FileSizeLimitFailsClose) {
    std::string path = tempPath("limited");
    pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{512, 512};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
        fileTB f;
        if (!f.open(path.c_str(), "wt")) _exit(4);
        writeInts(f, 400);  // about 1500 bytes
        if (!f.good()) _exit(5);
        bool closed = f.close();
        _exit(closed ? 1 : f.good() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: close reported success";
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 512);
    std::remove(path.c_str());
}
