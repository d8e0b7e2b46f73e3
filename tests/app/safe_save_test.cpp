// Safe saving: the old file survives every failed save and no temporary
// file is ever left behind.

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "app/head_files.h"
#include "app/safe_save.h"
#include "tests/app/files_fixture.h"

namespace {

using filestest::FilesTest;

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> out;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
    if (d) closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class SafeSaveTest : public FilesTest {
protected:
    void SetUp() override {
        FilesTest::SetUp();
        dir = tempDir();
        path = dir + "/head.phs";
        std::string why;
        ASSERT_TRUE(files::SafeSave(path, "old bytes", &why)) << why;
    }
    void TearDown() override {
        chmod(dir.c_str(), 0755);
        std::system(("rm -rf " + dir).c_str());
        FilesTest::TearDown();
    }
    std::string dir, path;
};

TEST_F(SafeSaveTest, ReplacesAndKeepsThePermissions) {
    chmod(path.c_str(), 0640);
    std::string why;
    ASSERT_TRUE(files::SafeSave(path, "new bytes", &why)) << why;
    EXPECT_EQ(contents(path), "new bytes");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(listing(dir), std::vector<std::string>{"head.phs"});
    // Windows-style paths reach the same file.
    ASSERT_TRUE(files::SafeSave("C:" + dir + "\\head.phs", "again", &why)) << why;
    EXPECT_EQ(contents(path), "again");
    EXPECT_FALSE(files::SafeSave(dir, "a folder", &why));
    EXPECT_FALSE(files::SafeSave(dir + "/missing/x.phs", "no folder", &why));
    EXPECT_EQ(why, "No such file or directory");
}

TEST_F(SafeSaveTest, FileSizeLimitKeepsTheOldFile) {
    std::string big(100000, 'x');
    int code = inChild([&] {
        rlimit limit{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
        std::string why;
        if (files::SafeSave(path, big, &why)) return 3;
        return why == "File too large" ? 0 : 4;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(contents(path), "old bytes");
    EXPECT_EQ(listing(dir), std::vector<std::string>{"head.phs"});
}

TEST_F(SafeSaveTest, ReadOnlyFolderKeepsTheOldFile) {
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    int code = inChild([&] {
        // The superuser writes anywhere: the check runs as nobody.
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 2;
        svc::FaceTables tables;
        std::string why;
        if (files::SafeSave(path, "new", &why)) return 3;
        if (why != "Permission denied") return 4;
        return 0;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(contents(path), "old bytes");
    EXPECT_EQ(listing(dir), std::vector<std::string>{"head.phs"});
}

}  // namespace
