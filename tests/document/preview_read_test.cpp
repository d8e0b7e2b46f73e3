// The open dialog's preview of a project reads the start of the file only:
// the stored preview of a project of any size, nothing of other files.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "document/facedoc.h"
#include "document/ids.h"
#include "document/project_file.h"
#include "files_fixture.h"
#include "tests/app/shell_fixture.h"

namespace fs = std::filesystem;

namespace {

// Bytes this process has read from files so far.
long long bytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = -1;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

}  // namespace

class PreviewReadTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_TRUE(Start());
        driver.Run([&] { Frame().KillTimer(kStartTimer); });
    }
    bool preview(const std::string& path, CWinBmp& shown) { return Doc().GetFileMainInfo(path.c_str(), &shown); }
};

TEST_F(PreviewReadTest, TheStoredPreviewOfAProjectOfAnySize) {
    struct Case {
        const char* name;
        int previewWidth, previewHeight;
        uint64_t fileSize;  // the file made this long (0: as written)
    } cases[] = {
        {"small", 128, 96, 0},
        {"a preview beyond the first read", 400, 300, 0},
        {"a project of 40 MB", 128, 96, uint64_t(40) << 20},
        {"larger than any project the program reads", 128, 96, uint64_t(3) << 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        files::ProjectRecord r;
        r.templateId = 121;
        r.preview = filestest::FilesTest::picture(c.previewWidth, c.previewHeight, 2);
        std::string bytes, why;
        ASSERT_TRUE(files::WriteProject(r, files::ProjectWriteInputs{}, bytes, why)) << why;
        const std::string path = tmp_.path() + "/p.fac";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        // Grown without blocks on the disk: the bytes after the preview do
        // not matter to it.
        if (c.fileSize) fs::resize_file(path, c.fileSize);
        const long long before = bytesRead();
        CWinBmp shown;
        ASSERT_TRUE(preview(path, shown));
        const long long read = bytesRead() - before;
        ASSERT_EQ(shown.GetWidth(), c.previewWidth);
        ASSERT_EQ(shown.GetHeight(), c.previewHeight);
        int differ = 0;
        for (int y = 0; y < c.previewHeight; ++y)
            for (int x = 0; x < c.previewWidth; ++x) {
                const CPixel32 a = shown.GetPixel(x, y), b = r.preview.GetPixel(x, y);
                differ += a.GetR() != b.GetR() || a.GetG() != b.GetG() || a.GetB() != b.GetB();
            }
        EXPECT_EQ(differ, 0);
        // No more than the preview needs: four times what it takes at most.
        if (before >= 0) {
            EXPECT_LT(read, std::max<long long>(4 * (long long)bytes.size(), 1 << 20));
        }
    }
}

TEST_F(PreviewReadTest, NoPreviewOfWhatIsNoProject) {
    const std::string dir = tmp_.path();
    std::ofstream(dir + "/text.fac") << "a text\n";
    std::ofstream(dir + "/empty.fac");
    fs::create_directory(dir + "/folder.fac");
    ASSERT_EQ(::mkfifo((dir + "/pipe.fac").c_str(), 0600), 0);
    // A project cut inside its preview.
    files::ProjectRecord r;
    r.preview = filestest::FilesTest::picture(400, 300, 2);
    std::string bytes, why;
    ASSERT_TRUE(files::WriteProject(r, files::ProjectWriteInputs{}, bytes, why)) << why;
    std::ofstream(dir + "/cut.fac", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    for (const char* name : {"text.fac", "empty.fac", "folder.fac", "pipe.fac", "cut.fac", "none.fac"}) {
        SCOPED_TRACE(name);
        CWinBmp shown;
        EXPECT_FALSE(preview(dir + "/" + name, shown));
    }
}
