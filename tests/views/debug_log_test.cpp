// The debug log: nothing while off; while on the exact lines in the log
// file and the message boxes, and pictures as BMP files that ImageMagick
// decodes to the same pixels, always inside the temporary folder.

#include "views/debug_log.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "document/tempfolders.h"
#include "framework/backend.h"
#include "picture/winbmp.h"

namespace {

namespace fs = std::filesystem;
using Event = brv::HeadlessBackend::Event;

class DebugLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "brvlog-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        // The temporary path is a folder below root, so that a name that
        // escaped fmtmp would show up in root.
        tmp_ = root_ + "/t";
        fs::create_directories(tmp_);
        previousTmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
        setenv("TMPDIR", tmp_.c_str(), 1);
        files::ResetTempFolder();
        backend().Reset();
        m_Logging = 0;
    }
    void TearDown() override {
        m_Logging = 0;
        backend().Reset();
        if (previousTmp_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", previousTmp_.c_str(), 1);
        files::ResetTempFolder();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    static brv::HeadlessBackend& backend() { return brv::DefaultHeadlessBackend(); }
    std::string folder() const { return files::TempFolderPosix(); }
    std::string logText() const {
        std::ifstream in(folder() + "/" + views::kDebugLogName);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> boxes() const {
        std::vector<std::string> out;
        for (const Event& e : backend().EventsOf(Event::kMessageBox)) out.push_back(e.text);
        return out;
    }
    // Every regular file below root, relative to it.
    std::vector<std::string> filesBelowRoot() const {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root_).string());
        std::sort(out.begin(), out.end());
        return out;
    }

    std::string root_, tmp_, previousTmp_;
};

CWinBmp picture(int w, int h) {
    CWinBmp b;
    b.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y, CPixel32(uint8_t(x * 37 + y), uint8_t(200 - y * 11), uint8_t(x * y * 5), 0));
    return b;
}

// The picture as ImageMagick decodes it, rows top down, 0x00RRGGBB.
std::vector<uint32_t> magickDecode(const std::string& path, int* w, int* h) {
    std::vector<uint32_t> out;
    FILE* p = popen(("/usr/bin/convert '" + path + "' -depth 8 ppm:- 2>/dev/null").c_str(), "r");
    if (!p) return out;
    int maxval = 0;
    if (std::fscanf(p, "P6 %d %d %d", w, h, &maxval) != 3 || maxval != 255) {
        pclose(p);
        return out;
    }
    std::fgetc(p);
    out.resize(size_t(*w) * size_t(*h));
    for (uint32_t& px : out) {
        unsigned char c[3];
        if (std::fread(c, 1, 3, p) != 3) break;
        px = (uint32_t(c[0]) << 16) | (uint32_t(c[1]) << 8) | c[2];
    }
    pclose(p);
    return out;
}

TEST_F(DebugLogTest, OffWritesAndShowsNothing) {
    CWinBmp b = picture(5, 4);
    LogDB("text");
    LogDB("int", 3);
    LogDB("double", 0.5);
    LogBMP(&b, "pic");
    (TEST)();
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(filesBelowRoot().empty());
}

TEST_F(DebugLogTest, OnWritesTheExactLinesAndShowsEach) {
    Log();
    EXPECT_EQ(m_Logging, 1);
    LogDB("plain text");
    LogDB("count", -42);
    LogDB("ratio", 0.125);
    LogDB("big", 1e20);
    LogDB("third", 1.0 / 3.0);
    CWinBmp b = picture(3, 2);
    LogBMP(&b, "shot");
    const std::vector<std::string> lines = {"plain text",    "count -42", "ratio 0.125",
                                            "big 1e+20",     "third 0.333333", "BMP shot"};
    std::string expected;
    for (const std::string& l : lines) expected += l + "\n";
    EXPECT_EQ(logText(), expected);
    EXPECT_EQ(boxes(), lines);
    // A second switch-on appends.
    Log();
    LogDB("more");
    EXPECT_EQ(logText(), expected + "more\n");
}

TEST_F(DebugLogTest, PictureDecodesToTheSamePixels) {
    Log();
    // Odd widths exercise the row padding of the file.
    for (int w : {1, 7, 16}) {
        CWinBmp b = picture(w, 5);
        const std::string name = "pic" + std::to_string(w);
        LogBMP(&b, name.c_str());
        int dw = 0, dh = 0;
        std::vector<uint32_t> px = magickDecode(folder() + "/" + name + ".bmp", &dw, &dh);
        ASSERT_EQ(dw, w) << name;
        ASSERT_EQ(dh, 5) << name;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < w; ++x) {
                CPixel32 p = b.GetPixel(x, y);
                uint32_t want = (uint32_t(p.GetR()) << 16) | (uint32_t(p.GetG()) << 8) | p.GetB();
                ASSERT_EQ(px[size_t(y) * size_t(w) + size_t(x)], want) << name << " at " << x << "," << y;
            }
    }
}

TEST_F(DebugLogTest, NamesStayInsideTheFolder) {
    struct Case {
        const char* name;
        const char* file;
    };
    const Case cases[] = {
        {"../escape", "__escape.bmp"},
        {"../../etc/passwd", "____etc_passwd.bmp"},
        {"a\\..\\b", "a___b.bmp"},
        {"/abs/path", "_abs_path.bmp"},
        {"..", "_.bmp"},
        {".hidden", "_.hidden.bmp"},
        {"", "_.bmp"},
        {"ready.BMP", "ready.BMP"},
        {"c:name", "c_name.bmp"},
    };
    Log();
    CWinBmp b = picture(2, 2);
    std::vector<std::string> want = {"t/fmtmp/" + std::string(views::kDebugLogName)};
    for (const Case& c : cases) {
        EXPECT_EQ(views::SafeBmpName(c.name), c.file) << c.name;
        LogBMP(&b, c.name);
        EXPECT_TRUE(fs::is_regular_file(folder() + "/" + c.file)) << c.name;
        want.push_back(std::string("t/fmtmp/") + c.file);
    }
    std::sort(want.begin(), want.end());
    want.erase(std::unique(want.begin(), want.end()), want.end());  // "" and ".." meet
    EXPECT_EQ(filesBelowRoot(), want);
    // The log keeps the name as given.
    EXPECT_NE(logText().find("BMP ../escape\n"), std::string::npos);
}

TEST_F(DebugLogTest, NoPictureStillLogs) {
    Log();
    LogBMP(nullptr, "none");
    EXPECT_EQ(logText(), "BMP none\n");
    EXPECT_EQ(filesBelowRoot(), std::vector<std::string>{"t/fmtmp/" + std::string(views::kDebugLogName)});
}

}  // namespace
