// The DAZ launch fields and the temporary folders.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/faceapp.h"
#include "document/tempfolders.h"
#include "tests/framework/temp_dir.h"

namespace fs = std::filesystem;

TEST(DazCommand, FieldsFromTheLine) {
    CFaceApp app;
    struct Case {
        const char* what;
        int dazMode;
        const char* line;
        const char* version;
        const char* name;
        const char* figure;
        std::vector<std::string> groups;
    } cases[] = {
        {"the fields", 2, "x,2.0,Bob,V4,a:b:c:d:e,f\"", "2.0", "Bob", "V4", {"c", "b", "d", "e", "", ""}},
        {"after the program", 2, "\"C:\\p\\b.exe\" DAZStudio,3,Ann,M3,:x:y,\"", "3", "Ann", "M3",
         {"y", "x", "eyesocket", "skinhead", "", ""}},
        {"lower case", 2, "x,1,N,Other,A:FACE:Lip:EYE:Head,f\"", "1", "N", "Other",
         {"lip", "face", "eye", "head", "", ""}},
        {"a group list without colons", 2, "x,1,N,M3,abc,f\"", "1", "N", "M3",
         {"skinface", "lip", "eyesocket", "skinhead", "", ""}},
        {"four commas", 2, "x,2.0,Bob,V4,a:b:c:d:e\"", "1.0", "Untitled", "---",
         {"skinface", "lip", "eyesocket", "skinhead", "", ""}},
        {"no closing quote", 2, "x,2.0,Bob,V4,a:b:c:d:e,f", "1.0", "Untitled", "---",
         {"skinface", "lip", "eyesocket", "skinhead", "", ""}},
        {"the quote before the fifth comma", 2, "x,2.0,\"Bob,V4,a:b:c:d:e,f", "1.0", "Untitled", "---",
         {"skinface", "lip", "eyesocket", "skinhead", "", ""}},
        {"not started by the DAZ host", 0, "x,2.0,Bob,V4,a:b:c:d:e,f\"", "1.0", "Untitled", "---",
         {"skinface", "lip", "eyesocket", "skinhead", "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app.dazMode = c.dazMode;
        CString version = "old", name = "old", figure = "old", head = "old";
        CString groups[6] = {"o", "o", "o", "o", "o", "o"};
        pars_daz_command(c.line, &version, &name, &figure, groups, &head);
        EXPECT_EQ(version, c.version);
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(figure, c.figure);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(std::string(groups[i].View()), c.groups[size_t(i)]) << i;
        EXPECT_EQ(head, "head");
    }
}

class TempFolders : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
        setenv("TMPDIR", root.path().c_str(), 1);
        files::ResetTempFolder();
    }
    void TearDown() override {
        if (previous_.empty())
            unsetenv("TMPDIR");
        else
            setenv("TMPDIR", previous_.c_str(), 1);
        files::ResetTempFolder();
    }
    static void touch(const std::string& path) { std::ofstream(path) << "x"; }
    static int mode(const std::string& path) {
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0 ? int(st.st_mode & 0777) : -1;
    }
    TempDir root;
    std::string previous_;
};

TEST_F(TempFolders, FilesOfAnEarlierRunGoAndUtmpIsMadeEmpty) {
    std::string fmtmp = root / "fmtmp";
    fs::create_directories(fmtmp + "/utmp/keep");
    fs::create_directories(fmtmp + "/sub");
    for (const char* f : {"/Tempmen100.the", "/a.tmp", "/kv001.bmp", "/utmp/x.bmp", "/sub/deep.txt"}) touch(fmtmp + f);
    fs::create_symlink(root / "outside", fmtmp + "/link");
    touch(root / "outside");
    EXPECT_EQ(files::TempFolder(), root.path() + "/fmtmp\\");
    files::EmptyTempFolder();
    files::PrepareTempFolders();
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(fmtmp)) left.push_back(e.path().string().substr(fmtmp.size()));
    std::sort(left.begin(), left.end());
    // Folders and their files beside utmp stay; utmp loses its files.
    EXPECT_EQ(left, (std::vector<std::string>{"/sub", "/sub/deep.txt", "/utmp", "/utmp/keep"}));
    EXPECT_TRUE(fs::exists(root / "outside"));  // a link is removed, never followed
}

TEST_F(TempFolders, NewFoldersArePrivate) {
    files::EmptyTempFolder();
    files::PrepareTempFolders();
    EXPECT_EQ(mode(root / "fmtmp"), 0700);
    EXPECT_EQ(mode(root / "fmtmp/utmp"), 0700);
}

TEST_F(TempFolders, ALinkedFmtmpIsLeftAlone) {
    std::string target = root / "elsewhere";
    fs::create_directories(target);
    touch(target + "/precious.txt");
    fs::create_directory_symlink(target, root / "fmtmp");
    std::string own = root.path() + "/fmtmp-" + std::to_string(::geteuid());
    EXPECT_EQ(files::TempFolder(), own + "\\");
    files::EmptyTempFolder();
    files::PrepareTempFolders();
    EXPECT_TRUE(fs::exists(target + "/precious.txt"));
    EXPECT_FALSE(fs::exists(target + "/utmp"));
    EXPECT_TRUE(fs::is_directory(own + "/utmp"));
    EXPECT_EQ(mode(own), 0700);
}

TEST_F(TempFolders, AFmtmpOfAnotherUserIsLeftAlone) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs to hand a folder to another user";
    std::string fmtmp = root / "fmtmp";
    fs::create_directories(fmtmp);
    touch(fmtmp + "/theirs.txt");
    ASSERT_EQ(::chown(fmtmp.c_str(), 54321, 54321), 0);
    std::string own = root.path() + "/fmtmp-0";
    EXPECT_EQ(files::TempFolder(), own + "\\");
    files::EmptyTempFolder();
    files::PrepareTempFolders();
    EXPECT_TRUE(fs::exists(fmtmp + "/theirs.txt"));
    EXPECT_TRUE(fs::is_directory(own + "/utmp"));
    // The folder beside it taken as well: one no one else can have named.
    files::ResetTempFolder();
    fs::remove_all(own);
    fs::create_directory_symlink(root / "x", own);
    std::string chosen = files::TempFolder();
    EXPECT_EQ(chosen.substr(0, own.size() + 1), own + "-");
    EXPECT_TRUE(fs::is_directory(chosen.substr(0, chosen.size() - 1)));
}
