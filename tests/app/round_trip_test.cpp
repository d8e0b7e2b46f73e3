// Files the program writes, opened by the program in a new process: the
// document holds the same, and saving again gives the same bytes (the view
// sections aside: an opened project refits its views).

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/faceapp.h"
#include "app/mainframe.h"
#include "document/project_file.h"
#include "tests/document/document_fixture.h"
#include "tests/framework/temp_dir.h"
#include "tests/support/fresh_process.h"
#include "tests/support/file_bytes.h"

namespace {

// Bytes of the frame's and the four views' sections in a binary file.
std::size_t viewSectionBytes() {
    std::string bytes;
    fnd::fileTB f;
    f.open(&bytes, "wt");
    f.setMode("b");
    files::FrameSection().write(f);
    for (int i = 0; i < 4; ++i) files::ViewSection().write(f);
    files::OverlaySection().write(f);
    f.close();
    return bytes.size();
}

// The command line is read the Windows way ("/..." is a switch): a
// project is named with a drive.
std::string windowsPath(std::string p) {
    for (char& c : p)
        if (c == '/') c = '\\';
    return "C:" + p;
}

struct Kind {
    const char* name;
    // In the first process: the document made and saved.
    std::function<void(CFaceDoc&, const std::string& path)> make;
    // In the next ones: opened, then saved again.
    std::function<int(CFaceDoc&, const std::string& path)> open;
    std::function<int(CFaceDoc&, const std::string& path)> save;
    const char* extension;
    bool project = false;
    bool textAfterHead = false;
};

class RoundTripTest : public ::testing::Test {
protected:
    TempDir config, tmp, work;

    fresh::Options options(std::vector<std::string> args) {
        fresh::Options o;
        o.args = std::move(args);
        o.configHome = config.path();
        o.tmpDir = tmp.path();
        o.before = [](fresh::Child& c) { c.driver.Backend().SetClock(1110000000, 0); };
        o.timeoutSeconds = 300;
        return o;
    }

    // Made and saved in one process; opened, dumped and saved in a second;
    // opened and dumped in a third.
    void Check(const Kind& k) {
        SCOPED_TRACE(k.name);
        const std::string first = work / (std::string("first") + k.extension);
        const std::string second = work / (std::string("second") + k.extension);
        fresh::Options made = options({"--full"});
        made.afterStart = [&](fresh::Child& c) {
            k.make(*actdoc, first);
            c.Put("dump", DumpDocument(*actdoc));
        };
        fresh::Result a = fresh::Run(made);
        ASSERT_EQ(a.exitCode, 0) << a.report;
        ASSERT_TRUE(a.Has("dump")) << a.report;

        auto opener = [&](const std::string& path, const std::string& saveTo) {
            // A project comes in through the command line, the others by
            // the document's readers.
            fresh::Options o = options(k.project ? std::vector<std::string>{"--full", windowsPath(path)}
                                                 : std::vector<std::string>{"--full"});
            o.steps = {[&, path, saveTo](fresh::Child& c) {
                CFaceDoc& d = *actdoc;
                if (k.project) {
                    c.driver.AdvanceClock(400);
                    c.Put("opened", d.GetTitle().GetString());
                } else {
                    c.Put("opened", k.open(d, path));
                }
                c.Put("dump", DumpDocument(d));
                if (!saveTo.empty()) c.Put("saved", k.save(d, saveTo));
                std::string boxes;
                for (const auto& e : c.driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox))
                    boxes += e.text + ";";
                c.Put("boxes", boxes);
            }};
            return fresh::Run(o);
        };
        fresh::Result b = opener(first, second);
        ASSERT_EQ(b.exitCode, 0) << b.report;
        EXPECT_EQ(b.Get("opened"), k.project ? windowsPath(first) : "1") << b.report.substr(0, 2000);
        EXPECT_EQ(b.Get("saved"), "1");
        EXPECT_EQ(b.Get("boxes"), "");
        fresh::Result c = opener(second, "");
        ASSERT_EQ(c.exitCode, 0) << c.report;
        EXPECT_EQ(c.Get("dump"), b.Get("dump"));
        // Sections 18 to 20 after a template-100 head are text: six decimals.
        if (k.project && !k.textAfterHead) { EXPECT_EQ(b.Get("dump"), a.Get("dump")); }

        std::string one = testsupport::fileBytes(first), two = testsupport::fileBytes(second);
        if (!k.project) {
            // The OBJ's info line names the file itself.
            if (std::string(k.extension) == ".obj") {
                one.erase(0, one.find("# Num verts"));
                two.erase(0, two.find("# Num verts"));
            }
            std::size_t at = std::mismatch(one.begin(), one.end(), two.begin(), two.end()).first - one.begin();
            EXPECT_EQ(at, one.size()) << one.substr(at > 200 ? at - 200 : 0, 400) << "\n----\n"
                                      << two.substr(at > 200 ? at - 200 : 0, 400);
            EXPECT_EQ(one.size(), two.size());
            return;
        }
        ASSERT_EQ(one.size(), two.size());
        std::size_t from = 0, to = 0;
        for (std::size_t i = 0; i < one.size(); ++i)
            if (one[i] != two[i]) {
                if (from == 0) from = i;
                to = i;
            }
        if (from != 0) { EXPECT_LT(to - from, viewSectionBytes()) << from << ".." << to; }
    }
};

Kind project(int stage, int templateId, int textureSize) {
    Kind k;
    k.name = "project";
    k.extension = ".fac";
    k.project = true;
    k.textAfterHead = templateId == 100 && stage == 2500;
    k.make = [=](CFaceDoc& d, const std::string& path) {
        MakeProject(d, stage, templateId, textureSize);
        d.SaveFACFile(path.c_str(), "b", false);
    };
    k.save = [](CFaceDoc& d, const std::string& path) { return d.SaveFACFile(path.c_str(), "b", false); };
    return k;
}

}  // namespace

TEST_F(RoundTripTest, ProjectsAtEveryStage) {
    struct Case {
        int stage, templateId, textureSize;
    } cases[] = {{1000, 121, 512}, {2000, 121, 512}, {2500, 122, 512}, {2500, 122, 1024}, {1000, 100, 512},
                 {2500, 100, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stage) + " template " + std::to_string(c.templateId) + " texture " +
                     std::to_string(c.textureSize));
        Check(project(c.stage, c.templateId, c.textureSize));
    }
}

TEST_F(RoundTripTest, HeadFilesAndAnImportedFigure) {
    Kind the{"the",
             [](CFaceDoc& d, const std::string& path) {
                 MakeProject(d, 2500, 122, 4);
                 d.SaveTHEFile(path.c_str(), "b");
             },
             [](CFaceDoc& d, const std::string& path) { return d.LoadTHEFile(path.c_str(), true); },
             [](CFaceDoc& d, const std::string& path) { return d.SaveTHEFile(path.c_str(), "b"); }, ".the"};
    Kind phs{"phs",
             [](CFaceDoc& d, const std::string& path) {
                 MakeProject(d, 2500, 121, 64);
                 d.SavePHSFile2(path.c_str());
             },
             [](CFaceDoc& d, const std::string& path) { return d.LoadPHSFile(path.c_str()); },
             [](CFaceDoc& d, const std::string& path) { return d.SavePHSFile2(path.c_str()); }, ".phs"};
    const std::string figure = work / "figure.obj";
    std::ofstream(figure) << "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nv 0 0 1.5\nv 0 -2 0.5\n"
                             "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                             "g head\ng face\nusemtl SkinFace\nf 1/1 2/2 3/3 4/4\nusemtl Lip\nf 1/1 2/2 5/3\n"
                             "g body\nusemtl skinface\nf 6/4 2/2 1/1\n";
    Kind obj{"obj",
             [figure](CFaceDoc& d, const std::string& path) {
                 d.LoadXXXFile(figure.c_str(), true);
                 d.SaveOBJFile(path.c_str(), 4);
             },
             [](CFaceDoc& d, const std::string& path) { return d.LoadXXXFile(path.c_str(), true); },
             [](CFaceDoc& d, const std::string& path) { return d.SaveOBJFile(path.c_str(), 4); }, ".obj"};
    for (const Kind& k : {the, phs, obj}) Check(k);
}
