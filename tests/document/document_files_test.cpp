// The document's project, head and OBJ files over the real frame and
// views: what a load takes over, bad files that change nothing, saves that
// fail without harm.

#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "document/head_files.h"
#include "document/obj_import.h"
#include "document/picture_bytes.h"
#include "document/project_file.h"
#include "document/safe_save.h"
#include "document_fixture.h"
#include "files_fixture.h"
#include "tests/app/shell_fixture.h"
#include "tests/support/child_processes.h"
#include "tests/support/project_dump.h"
#include "tests/support/watched_disk.h"
#include "tests/support/file_bytes.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> boxes(brv::HeadlessBackend& b) {
    std::vector<std::string> out;
    for (const auto& e : b.EventsOf(brv::HeadlessBackend::Event::kMessageBox)) out.push_back(e.text + "/" + e.caption);
    return out;
}

}  // namespace

class DocumentFilesTest : public ShellTest {
protected:
    std::string dir() { return tmp_.path(); }
    std::string dump() { return DumpDocument(Doc()); }
    int load(const std::string& path, bool keep = false) {
        int r = 0;
        driver.Run([&] { r = Doc().LoadFACFile(path.c_str(), keep); });
        return r;
    }
    int save(const std::string& path, bool keep = false) {
        int r = 0;
        driver.Run([&] { r = Doc().SaveFACFile(path.c_str(), "b", keep); });
        return r;
    }
};

TEST_F(DocumentFilesTest, AProjectComesBackWithEverythingItHeld) {
    struct Case {
        int stage, templateId, textureSize;
    } cases[] = {{1000, 121, 512}, {2000, 121, 512}, {2500, 121, 8}, {1000, 100, 512}, {2500, 100, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stage) + " template " + std::to_string(c.templateId));
        ASSERT_TRUE(Start());
        driver.Run([&] { MakeProject(Doc(), c.stage, c.templateId, c.textureSize); });
        const std::string before = dump();
        const std::string path = dir() + "/p.fac";
        ASSERT_EQ(save(path), 1);
        // Saving changes nothing of the document.
        EXPECT_EQ(dump(), before);
        driver.Run([&] { Doc().FreeMemoryForNewFAC(); });
        ASSERT_NE(dump(), before);
        ASSERT_EQ(load(path), 1) << ::testing::PrintToString(boxes(driver.Backend()));
        // Sections 18 to 20 follow the template-100 head in text: their
        // numbers keep six decimals, and a second round changes nothing.
        const bool text = c.templateId == 100 && c.stage == 2500;
        if (!text) { EXPECT_EQ(dump(), before); }
        const std::string first = dump();
        ASSERT_EQ(save(dir() + "/again.fac"), 1);
        ASSERT_EQ(load(dir() + "/again.fac"), 1);
        EXPECT_EQ(dump(), first);
        ASSERT_EQ(load(path), 1);
        EXPECT_EQ(Doc().GetTitle(), CString(path.c_str()));
        EXPECT_EQ(Frame().projectLoaded, 0);
        EXPECT_TRUE(boxes(driver.Backend()).empty());
        // The recent-file list gains the path on save and open.
        EXPECT_EQ(std::string(App().GetRecentFileName(0).View()), path);
        if (c.templateId == 100) { EXPECT_TRUE(fs::exists(dir() + "/fmtmp/Tempmen100.the")); }
        Stop();
        resetModelState();
    }
}

TEST_F(DocumentFilesTest, AStage2500ProjectAsksForTheModelPageAndShowsTheTexture) {
    ASSERT_TRUE(Start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 4); });
    const std::string path = dir() + "/p.fac";
    ASSERT_EQ(save(path), 1);
    // The open dialog's preview: the working photo at 128 pixels wide.
    CWinBmp preview;
    EXPECT_TRUE(Doc().GetFileMainInfo(path.c_str(), &preview));
    EXPECT_EQ(preview.GetWidth(), 128);
    EXPECT_EQ(preview.GetHeight(), 128 * 768 / 913);
    EXPECT_FALSE(Doc().GetFileMainInfo((dir() + "/none.fac").c_str(), &preview));
    ASSERT_EQ(Frame().OpenStepPages().model, 0u);
    ASSERT_EQ(load(path), 1);
    EXPECT_NE(Frame().OpenStepPages().model, 0u);
    auto* v3 = Doc().GetViewEdit3D<svc::ViewEdit3D>();
    ASSERT_NE(v3, nullptr);
    EXPECT_EQ(v3->displayMode, svc::ViewEdit3D::kTextured);
    EXPECT_EQ(Frame().layout, 2);
    // A kept-state file merges without the page, and shows the texture
    // itself.
    ASSERT_EQ(save(dir() + "/u.fac", true), 1);
    driver.Run([&] { Frame().HideModelessDialogs(); });
    v3->displayMode = svc::ViewEdit3D::kLit;
    ASSERT_EQ(load(dir() + "/u.fac", true), 1);
    EXPECT_EQ(Frame().OpenStepPages().model, 0u);
    EXPECT_EQ(v3->displayMode, svc::ViewEdit3D::kTextured);
}

TEST_F(DocumentFilesTest, AKeptStateFileRestoresTheModelledHead) {
    ASSERT_TRUE(Start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 4); });
    const std::string before = dump();
    const std::string kept = dir() + "/k.tmp";
    ASSERT_EQ(save(kept, true), 1);
    EXPECT_EQ(testsupport::fileBytes(kept).substr(testsupport::fileBytes(kept).find("IWB0BO") + 6, 1), "U");
    EXPECT_TRUE(App().GetRecentFileName(0).IsEmpty());  // kept states stay off the list
    // The head moves on, its texture and marks change: the kept state brings them back.
    head3& h = *Doc().kernel3D->head;
    for (int v = h.vertices.first(); v != -1; v = h.vertices.nextOf(v)) h.vertices[v].position.x += 3;
    h.texture->rgb.assign(h.texture->rgb.size(), 9);
    Doc().stage = 2000;
    ASSERT_EQ(load(kept, true), 1);
    EXPECT_EQ(dump(), before);

    // A file of a full save is no kept state: nothing changes.
    ASSERT_EQ(save(dir() + "/n.fac"), 1);
    h.vertices[h.vertices.first()].position.x += 3;
    const std::string moved = dump();
    driver.Backend().Reset();
    EXPECT_EQ(load(dir() + "/n.fac", true), 0);
    EXPECT_EQ(dump(), moved);
    // A kept state is the program's own file: a beep, no box; a missing one
    // changes nothing either.
    EXPECT_EQ(load(dir() + "/missing.tmp", true), 0);
    EXPECT_EQ(dump(), moved);
    EXPECT_TRUE(boxes(driver.Backend()).empty());
    EXPECT_EQ(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kBeep).size(), 2u);
}

// Every corruption and every cut of a good file leaves the open stage-2500
// project as it was.
TEST_F(DocumentFilesTest, BadFilesLeaveTheOpenProjectAsItWas) {
    ASSERT_TRUE(Start());
    const int children = testsupport::ChildProcessesMade();
    driver.Run([&] { MakeProject(Doc(), 2500, 100, 4); });
    const std::string good100 = dir() + "/good100.fac";
    ASSERT_EQ(save(good100), 1);
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 4, 120); });
    const std::string good = dir() + "/good.fac";
    ASSERT_EQ(save(good), 1);
    const std::string before = dump();
    const CString title = Doc().GetTitle();
    const std::string bytes = testsupport::fileBytes(good), bytes100 = testsupport::fileBytes(good100);
    const std::size_t sizeAt = bytes.size() - 48 - 449 - 4 - 4 -
                               std::size_t(Doc().kernel3D->head->vertices.count()) * 12 -
                               std::size_t(Doc().kernel3D->head->triangles.count()) * 48;
    auto putInt = [](std::string s, std::size_t at, int32_t v) {
        std::memcpy(&s[at], &v, 4);
        return s;
    };
    // Section 10: the photo's byte count before the BMP file's "BM".
    const std::size_t photoAt = bytes.find(files::BmpBytes(filestest::FilesTest::picture(120, 100, 3)).substr(0, 14));
    ASSERT_NE(photoAt, std::string::npos);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"photo byte count negative", putInt(bytes, photoAt - 4, -5)},
        {"photo byte count past the end", putInt(bytes, photoAt - 4, 1 << 30)},
        {"photo bytes that do not decode", std::string(bytes).replace(photoAt, 54, std::string(54, 'X'))},
        {"texture size 0", putInt(bytes, sizeAt, 0)},
        {"texture size -1", putInt(bytes, sizeAt, -1)},
        {"texture size 100000", putInt(bytes, sizeAt, 100000)},
        {"stage 1500", std::string(bytes).replace(bytes.find("2500"), 4, "1500")},
        {"version 1.0", "    1.000" + bytes.substr(9)},
        {"texture short by one byte", bytes.substr(0, bytes.size() - 1)},
        {"one byte after the texture", bytes + "x"},
        {"empty", ""},
        {"a text file", "hello\n"},
        {"template-100 head cut", bytes100.substr(0, bytes100.size() / 2)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir() + "/bad.fac";
        writeFile(path, c.bytes);
        driver.Backend().Reset();
        EXPECT_EQ(load(path), 0);
        EXPECT_EQ(dump(), before);
        auto b = boxes(driver.Backend());
        ASSERT_EQ(b.size(), 1u);
        EXPECT_EQ(b[0].rfind("Wrong file: " + path + "!\n", 0), 0u) << b[0];
        EXPECT_EQ(b[0].substr(b[0].size() - 6), "/Error");
    }
    EXPECT_EQ(load(dir() + "/missing.fac"), 0);
    EXPECT_EQ(dump(), before);
    // Every cut of the parse layer's own tests, here more sparsely: each
    // load reads the file in a process of its own.
    for (std::size_t n = 0; n < bytes.size(); n += n + 64 < bytes.size() ? 997 : 1) {
        writeFile(dir() + "/cut.fac", bytes.substr(0, n));
        ASSERT_EQ(load(dir() + "/cut.fac"), 0) << n;
    }
    EXPECT_EQ(dump(), before);
    EXPECT_EQ(Doc().GetTitle(), title);
    // Read in the program's own process: no copy of it was made.
    EXPECT_EQ(testsupport::ChildProcessesMade(), children);
}

TEST_F(DocumentFilesTest, BadHeadFilesLeaveTheOpenProjectAsItWas) {
    ASSERT_TRUE(Start());
    const int children = testsupport::ChildProcessesMade();
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 4); });
    const std::string the = dir() + "/h.the", phs = dir() + "/h.phs";
    driver.Run([&] {
        ASSERT_EQ(Doc().SaveTHEFile(the.c_str(), "b"), 1);
        ASSERT_EQ(Doc().SavePHSFile2(phs.c_str()), 1);
    });
    const std::string before = dump();
    const std::string theBytes = testsupport::fileBytes(the), phsBytes = testsupport::fileBytes(phs);
    std::string obj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    // With 29412 faces of 36 corners: 1000009 triangles, more than a head file holds.
    std::string tooMany = obj;
    for (int i = 0; i < 29412; ++i) {
        tooMany += "f";
        for (int k = 0; k < 36; ++k) tooMany += " " + std::to_string(1 + k % 3);
        tooMany += "\n";
    }
    struct Case {
        const char* name;
        const char* file;
        std::string bytes;
        std::string reason = "";  // when given, the whole message
    } cases[] = {
        {"the cut", "x.the", theBytes.substr(0, theBytes.size() / 2)},
        {"the empty", "x.the", ""},
        {"phs cut", "x.phs", phsBytes.substr(0, phsBytes.size() - 9)},
        {"phs more after", "x.phs", phsBytes + "1\n"},
        {"obj vertex past the end", "x.obj", obj + "f 1 2 9\n"},
        {"obj two corners", "x.obj", obj + "f 1 2\n"},
        {"obj no faces", "x.obj", "v 0 0 0\n"},
        {"obj beyond the head files", "x.obj", tooMany,
         "obj: 1000009 triangles, more than the 1000000 a head may hold"},
        {"unknown extension", "x.xyz", obj},
        {"no extension", "x", obj},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir() + "/" + c.file;
        writeFile(path, c.bytes);
        driver.Backend().Reset();
        int r = 1;
        driver.Run([&] {
            const std::string ext = fs::path(path).extension().string();
            r = ext == ".the" ? Doc().LoadTHEFile(path.c_str(), true)
                : ext == ".phs" ? Doc().LoadPHSFile(path.c_str())
                                : Doc().LoadXXXFile(path.c_str(), true);
        });
        EXPECT_EQ(r, 0);
        EXPECT_EQ(dump(), before);
        auto b = boxes(driver.Backend());
        ASSERT_EQ(b.size(), 1u);
        EXPECT_EQ(b[0].rfind("Wrong file: " + path + "!\n", 0), 0u) << b[0];
        if (!c.reason.empty()) { EXPECT_EQ(b[0], "Wrong file: " + path + "!\n" + c.reason + "/Error"); }
    }
    EXPECT_EQ(Doc().headName, CString((dir() + "/h").c_str()));
    EXPECT_EQ(testsupport::ChildProcessesMade(), children);
}

// Flipped bits all through a project, a head and a PHS file, and counts
// blown up: each read either takes the whole file or leaves the open
// project byte for byte as it was, with one box, in the program's own
// process.
TEST_F(DocumentFilesTest, FlippedBitsAndInflatedCountsLeaveTheProjectOrReadWhole) {
    ASSERT_TRUE(Start());
    const int children = testsupport::ChildProcessesMade();
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 4, 120); });
    const std::string fac = dir() + "/good.fac", the = dir() + "/good.the", phs = dir() + "/good.phs";
    ASSERT_EQ(save(fac), 1);
    driver.Run([&] {
        ASSERT_EQ(Doc().SaveTHEFile(the.c_str(), "b"), 1);
        ASSERT_EQ(Doc().SavePHSFile2(phs.c_str()), 1);
    });
    auto read = [&](const std::string& path) {
        int r = 0;
        const std::string ext = fs::path(path).extension().string();
        driver.Run([&] {
            r = ext == ".fac" ? Doc().LoadFACFile(path.c_str(), false)
                : ext == ".the" ? Doc().LoadTHEFile(path.c_str(), true)
                                : Doc().LoadPHSFile(path.c_str());
        });
        return r;
    };
    // The count in front of a word, multiplied.
    auto inflated = [](std::string s, const std::string& word, const char* factor) {
        std::size_t at = s.find(word);
        if (at == std::string::npos) return std::string();
        std::size_t digits = at;
        while (digits > 0 && (s[digits - 1] == ' ' || s[digits - 1] == '\t')) --digits;
        std::size_t end = digits;
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) --digits;
        if (digits == end) return std::string();
        return s.insert(end, factor);
    };
    int refused = 0, taken = 0;
    for (const std::string& good : {fac, the, phs}) {
        SCOPED_TRACE(good);
        const std::string bytes = testsupport::fileBytes(good);
        const std::string bad = dir() + "/bad" + fs::path(good).extension().string();
        ASSERT_EQ(read(good), 1);
        const std::string before = dump();
        std::vector<std::string> versions;
        // About 60 flips spread over the file, each of another bit.
        const std::size_t step = std::max<std::size_t>(1, bytes.size() / 60);
        for (std::size_t at = 0, k = 0; at < bytes.size(); at += step, ++k) {
            std::string flipped = bytes;
            flipped[at] = char(flipped[at] ^ (1 << (k % 8)));
            versions.push_back(flipped);
        }
        for (const char* word : {"of::Vertex", "of::Triangle", "of::AnatomicalRegion", "of::TxtCoordinate"}) {
            std::string s = inflated(bytes, word, "0000");
            if (!s.empty()) versions.push_back(s);
        }
        for (std::size_t k = 0; k < versions.size(); ++k) {
            SCOPED_TRACE(k);
            writeFile(bad, versions[k]);
            driver.Backend().Reset();
            if (read(bad) == 1) {
                // A flip in a number may still make a whole file: it is taken
                // whole, and the good file brings the project back.
                ++taken;
                ASSERT_EQ(read(good), 1);
                ASSERT_EQ(dump(), before);
                continue;
            }
            ++refused;
            EXPECT_EQ(dump(), before);
            auto b = boxes(driver.Backend());
            ASSERT_EQ(b.size(), 1u);
            EXPECT_EQ(b[0].rfind("Wrong file: " + bad + "!\n", 0), 0u) << b[0];
        }
    }
    std::printf("  %d refused, %d read whole\n", refused, taken);
    EXPECT_GT(refused, 35);
    EXPECT_GT(taken, 0);
    EXPECT_EQ(testsupport::ChildProcessesMade(), children);
}

// The count of child processes the tests above rely on sees a process
// started through the C library (so that an unchanged count means none).
TEST(ChildProcessCount, SeesAProcessStarted) {
    const int before = testsupport::ChildProcessesMade();
    pid_t pid = 0;
    char program[] = "true";
    char* argv[] = {program, nullptr};
    ASSERT_EQ(posix_spawnp(&pid, "true", nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(testsupport::ChildProcessesMade(), before + 1);
}

// A pipe, a device or a folder is no project or head: refused at once,
// with nothing read from it.
TEST_F(DocumentFilesTest, OnlyRegularFilesAreRead) {
    ASSERT_TRUE(Start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 4); });
    const std::string before = dump();
    for (const char* name : {"pipe.fac", "pipe.the", "pipe.phs", "pipe.obj"})
        ASSERT_EQ(mkfifo((dir() + "/" + name).c_str(), 0600), 0);
    fs::create_directory(dir() + "/folder.fac");
    struct Case {
        std::string path;
        std::function<int(CFaceDoc&, const CString&)> read;
    } cases[] = {
        {dir() + "/pipe.fac", [](CFaceDoc& d, const CString& p) { return d.LoadFACFile(p, false); }},
        {dir() + "/pipe.fac", [](CFaceDoc& d, const CString& p) { return d.LoadFACFile(p, true); }},
        {"/dev/zero", [](CFaceDoc& d, const CString& p) { return d.LoadFACFile(p, false); }},
        {dir() + "/folder.fac", [](CFaceDoc& d, const CString& p) { return d.LoadFACFile(p, false); }},
        {dir() + "/pipe.the", [](CFaceDoc& d, const CString& p) { return d.LoadTHEFile(p, true); }},
        {dir() + "/pipe.phs", [](CFaceDoc& d, const CString& p) { return d.LoadPHSFile(p); }},
        {dir() + "/pipe.obj", [](CFaceDoc& d, const CString& p) { return d.LoadXXXFile(p, true); }},
        {dir() + "/pipe.fac", [](CFaceDoc& d, const CString& p) { return int(d.GetFileMainInfo(p, nullptr)); }},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(k++) + " " + c.path);
        driver.Backend().Reset();
        int r = 1;
        driver.Run([&] { r = c.read(Doc(), CString(c.path.c_str())); });
        EXPECT_EQ(r, 0);
        EXPECT_EQ(dump(), before);
        // The kept state only beeps; the preview shows nothing.
        auto b = boxes(driver.Backend());
        if (k == 2 || k == 8) {
            EXPECT_TRUE(b.empty());
            continue;
        }
        ASSERT_EQ(b.size(), 1u);
        EXPECT_EQ(b[0], "Wrong file: " + c.path + "!\nnot a regular file/Error");
    }
}

TEST_F(DocumentFilesTest, HeadFilesReplaceTheHead) {
    ASSERT_TRUE(Start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 32); });
    const std::string the = dir() + "/h.the", phs = dir() + "/h.phs";
    driver.Run([&] {
        ASSERT_EQ(Doc().SaveTHEFile(the.c_str(), "t"), 1);
        ASSERT_EQ(Doc().SavePHSFile2(phs.c_str()), 1);
    });
    const std::string head = testsupport::DumpHead(*Doc().kernel3D->head);
    driver.Run([&] { Doc().FreeMemoryForNewFAC(); });
    Doc().stage = 2000;
    driver.Run([&] { ASSERT_EQ(Doc().LoadTHEFile(the.c_str(), true), 1); });
    EXPECT_EQ(Doc().stage, 2000);
    EXPECT_EQ(Doc().headExtension, ".the");
    EXPECT_EQ(Doc().kernel3D->head->vertices.count() > 0, true);
    // The text keeps the positions; the texture is no part of it.
    std::string theHead = testsupport::DumpHead(*Doc().kernel3D->head);
    EXPECT_EQ(theHead.substr(0, theHead.find("\nt ")), head.substr(0, head.find("\nt ")));
    Doc().stage = 2500;
    driver.Run([&] { ASSERT_EQ(Doc().LoadPHSFile(phs.c_str()), 1); });
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_EQ(Doc().headExtension, ".phs");
    ASSERT_TRUE(Doc().kernel3D->head->texture);
    EXPECT_EQ(Doc().kernel3D->head->texture->width, 32);
    // Saved again: the same file.
    driver.Run([&] { ASSERT_EQ(Doc().SavePHSFile2((dir() + "/again.phs").c_str()), 1); });
    EXPECT_EQ(testsupport::fileBytes(dir() + "/again.phs"), testsupport::fileBytes(phs));
    EXPECT_TRUE(boxes(driver.Backend()).empty());
}

// A project the user may not write is left as it is, with the shell's
// reason, and a link is saved through (the file system judges as nobody).
TEST_F(DocumentFilesTest, AWriteProtectedProjectStaysAndALinkIsSavedThrough) {
    if (geteuid() != 0) GTEST_SKIP() << "acting as nobody needs the superuser";
    ASSERT_TRUE(Start());
    driver.Run([&] { MakeProject(Doc(), 2000, 121, 512); });
    ASSERT_EQ(chown(dir().c_str(), 65534, 65534), 0);
    const std::string p = dir() + "/p.fac", real = dir() + "/real.fac", link = dir() + "/link.fac";
    for (const std::string& f : {p, real}) {
        writeFile(f, "old");
        ASSERT_EQ(chown(f.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(p.c_str(), 0444), 0);
    ASSERT_EQ(symlink("real.fac", link.c_str()), 0);
    driver.Backend().Reset();
    int protectedFile = 1, throughLink = 0;
    {
        struct AsNobody {
            AsNobody() { setfsgid(65534), setfsuid(65534); }
            ~AsNobody() { setfsuid(0), setfsgid(0); }
        } nobody;
        driver.Run([&] { protectedFile = Doc().SaveFACFile(p.c_str(), "b", false); });
        driver.Run([&] { throughLink = Doc().SaveFACFile(link.c_str(), "b", false); });
    }
    EXPECT_EQ(protectedFile, 0);
    EXPECT_TRUE(testsupport::fileBytes(p) == "old");
    EXPECT_EQ(boxes(driver.Backend()), std::vector<std::string>{"Cannot save " + p + "!\nPermission denied/Error"});
    EXPECT_EQ(throughLink, 1);
    EXPECT_TRUE(fs::is_symlink(link));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir()))
        if (e.path().extension() == ".fac" || e.path().filename().string()[0] == '.')
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"link.fac", "p.fac", "real.fac"}));
    const std::string saved = dump();
    driver.Run([&] { Doc().FreeMemoryForNewFAC(); });
    EXPECT_EQ(load(real), 1);
    EXPECT_EQ(dump(), saved);
}

// A disk that fills up part-way through an export: none of the set is
// replaced, the message names the file that could not be written, and the
// set is written whole once there is room.
TEST_F(DocumentFilesTest, AnObjExportIsReplacedWholeOrNotAtAll) {
    ASSERT_TRUE(Start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 64); });
    Doc().agePicture = filestest::FilesTest::picture(16, 16, 5);
    struct Case {
        int variant;
        std::vector<std::string> set;
        std::string failing;
    } cases[] = {
        {1, {"anna.obj", "anna.mtl", "anna.bmp"}, "anna.bmp"},
        {1, {"anna.obj", "anna.mtl", "anna.bmp"}, "anna.mtl"},
        {2, {"anna.obj", "anna.bmp", "bumpmap.bmp"}, "anna.bmp"},
        {2, {"anna.obj", "anna.bmp", "bumpmap.bmp"}, "anna.obj"},
    };
    const std::string anna = dir() + "/anna.obj";
    testsupport::WatchedDisk disk;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.variant) + " " + c.failing);
        for (const std::string& name : c.set) writeFile(dir() + "/" + name, "old " + name);
        driver.Backend().Reset();
        disk.onPiece = [&](const std::string& target, std::size_t, std::size_t) {
            return target == dir() + "/" + c.failing ? ENOSPC : 0;
        };
        int r = 1;
        driver.Run([&] { r = Doc().SaveOBJFile(anna.c_str(), c.variant); });
        disk.onPiece = nullptr;
        EXPECT_EQ(r, 0);
        const std::string message = "Cannot save " + dir() + "/" + c.failing + "!\nNo space left on device/Error";
        EXPECT_EQ(boxes(driver.Backend()), std::vector<std::string>{message});
        for (const std::string& name : c.set) EXPECT_EQ(testsupport::fileBytes(dir() + "/" + name), "old " + name);
        for (const auto& e : fs::directory_iterator(dir()))
            EXPECT_NE(e.path().filename().string().substr(0, 1), ".") << e.path();

        driver.Run([&] { r = Doc().SaveOBJFile(anna.c_str(), c.variant); });
        EXPECT_EQ(r, 1);
        for (const std::string& name : c.set) EXPECT_NE(testsupport::fileBytes(dir() + "/" + name), "old " + name) << name;
    }
}

TEST_F(DocumentFilesTest, AFailedSaveKeepsThePreviousFile) {
    ASSERT_TRUE(Start());
    driver.Run([&] { MakeProject(Doc(), 2500, 121, 64); });
    struct Case {
        const char* name;
        std::string path;  // the file whose old bytes stay
        std::function<int()> save;
    } cases[] = {
        {"project", dir() + "/p.fac", [&] { return Doc().SaveFACFile((dir() + "/p.fac").c_str(), "b", false); }},
        {"the", dir() + "/p.the", [&] { return Doc().SaveTHEFile((dir() + "/p.the").c_str(), "b"); }},
        {"phs", dir() + "/p.phs", [&] { return Doc().SavePHSFile2((dir() + "/p.phs").c_str()); }},
        // The OBJ itself fits; its texture picture does not, and the message
        // names the picture.
        {"obj", dir() + "/p.bmp", [&] { return Doc().SaveOBJFile((dir() + "/p.obj").c_str(), 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string old(5000, 'o');
        writeFile(c.path, old);
        driver.Backend().Reset();
        rlimit kept;
        getrlimit(RLIMIT_FSIZE, &kept);
        rlimit small = kept;
        small.rlim_cur = 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        int r = 1;
        driver.Run([&] { r = c.save(); });
        setrlimit(RLIMIT_FSIZE, &kept);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(testsupport::fileBytes(c.path), old);
        auto b = boxes(driver.Backend());
        ASSERT_EQ(b.size(), 1u);
        EXPECT_EQ(b[0], "Cannot save " + c.path + "!\nFile too large/Error");
    }
    // A folder that is not there.
    driver.Backend().Reset();
    int r = 1;
    driver.Run([&] { r = Doc().SaveFACFile((dir() + "/none/p.fac").c_str(), "b", false); });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(boxes(driver.Backend()),
              std::vector<std::string>{"Cannot save " + dir() + "/none/p.fac!\nNo such file or directory/Error"});
    // No temporary file is left anywhere.
    for (const auto& e : fs::directory_iterator(dir()))
        EXPECT_NE(e.path().filename().string().substr(0, 1), ".") << e.path();
    // The list of recent files changed only with a save that worked.
    EXPECT_TRUE(App().GetRecentFileName(0).IsEmpty());
}

TEST_F(DocumentFilesTest, AnImportedFigureBecomesTheHead) {
    ASSERT_TRUE(Start());
    const std::string obj = dir() + "/fig.obj";
    writeFile(obj,
              "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nv 0 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
              "g head\nusemtl SkinFace\nf 1/1 2/2 3/3 4/4\nusemtl Lip\nf 1/1 2/2 5/3\n");
    driver.Run([&] { ASSERT_EQ(Doc().LoadXXXFile(obj.c_str(), true), 1); });
    EXPECT_EQ(Doc().stage, 1000);
    EXPECT_EQ(Doc().textureSize, 1024);
    EXPECT_EQ(Doc().headName, CString((dir() + "/fig").c_str()));
    EXPECT_EQ(Doc().headExtension, ".obj");
    EXPECT_EQ(Doc().kernel3D->head->vertices.count(), 5);
    EXPECT_EQ(Doc().kernel3D->head->triangles.count(), 3);
    EXPECT_EQ(Doc().tables().materials.size(), 2);
    EXPECT_STREQ(Doc().tables().materials[0].name, "skinface");
    ASSERT_TRUE(Doc().kernel3D->head->texture);
    EXPECT_EQ(Doc().kernel3D->head->texture->width, 1024);
    // Variant 4 writes it back; read again and written again, the same bytes.
    driver.Run([&] { ASSERT_EQ(Doc().SaveOBJFile((dir() + "/out.obj").c_str(), 4), 1); });
    driver.Run([&] { ASSERT_EQ(Doc().LoadXXXFile((dir() + "/out.obj").c_str(), true), 1); });
    driver.Run([&] { ASSERT_EQ(Doc().SaveOBJFile((dir() + "/out2.obj").c_str(), 4), 1); });
    std::string a = testsupport::fileBytes(dir() + "/out.obj"), b = testsupport::fileBytes(dir() + "/out2.obj");
    // The info line names the file.
    EXPECT_EQ(a.substr(a.find("# Num verts")), b.substr(b.find("# Num verts")));
    EXPECT_TRUE(boxes(driver.Backend()).empty());
}
