// Each scenario of tests/e2e/scenarios played against the program in fresh
// processes, driven by user input alone.

#include <assimp/cimport.h>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "document/facedoc.h"
#include "fitting/kernel3d.h"
#include "fitting/texture.h"
#include "model/head.h"
#include "tests/e2e/player.h"
#include "tests/e2e/scenario_support.h"
#include "tests/framework/temp_dir.h"

using e2e::test::MakeFixtures;
using e2e::test::Prepare;
using e2e::test::Read;
using e2e::test::scenarioText;

namespace {

// In the program's process: the head it works on now lies where the vertex
// lines of $OUT/first.obj put it (in the file's coordinates), each vertex
// within 1e-5 of the head's size.
void startsFromFirst(const e2e::Folders& f, const std::function<void(const std::string&)>& fail) {
    std::ifstream in(f.out + "/first.obj");
    std::vector<vector3<double>> first;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("v ", 0) != 0) continue;
        std::istringstream v(line.substr(2));
        v.imbue(std::locale::classic());
        vector3<double> p;
        v >> p.x >> p.y >> p.z;
        first.push_back(p);
    }
    head3* h = actdoc && actdoc->kernel3D ? actdoc->kernel3D->head : nullptr;
    if (!h || first.empty()) return fail("no head or no first.obj");
    if (size_t(h->vertices.count()) != first.size())
        return fail("the head has " + std::to_string(h->vertices.count()) + " vertices, first.obj " +
                    std::to_string(first.size()));
    vector3<double> lo = first[0], hi = first[0];
    for (const auto& p : first) {
        lo = vector3<double>(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
        hi = vector3<double>(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
    }
    const double allowed = 1e-5 * (hi - lo).length();
    size_t k = 0;
    for (int v = h->vertices.first(); v != -1; v = h->vertices.nextOf(v), ++k) {
        // The reader scaled and centred the file's coordinates.
        const vector3<double> file = (h->vertices[v].position + h->offset) * (1.0 / h->scale);
        const double d = (file - first[k]).length();
        if (d > allowed)
            return fail("vertex " + std::to_string(k + 1) + " lies " + std::to_string(d) + " from first.obj's (allowed " +
                        std::to_string(allowed) + ")");
    }
}

const bool kHooks = [] {
    e2e::RegisterHook("startsfromfirst", startsFromFirst);
    return true;
}();

}  // namespace

class ScenarioTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ScenarioTest, Plays) {
    e2e::Scenario s;
    ASSERT_TRUE(Read(GetParam(), s));
    TempDir root;
    e2e::Folders f = Prepare(s, root.path());
    ASSERT_NO_FATAL_FAILURE(MakeFixtures(s, f));
    std::vector<std::string> failures = e2e::Play(s, f);
    for (const std::string& e : failures) ADD_FAILURE() << e;
}

// The smoke scenarios against the real program under an X server, driven by
// xdotool through its state file; their files checked as the headless run's
// and their OBJ compared with the headless run of the same scenario. CTest
// runs them apart from the other flows, one X test at a time.
class XvfbSmoke : public ::testing::TestWithParam<const char*> {};

namespace {

// The picture editor of the settings: a script that writes down its
// arguments beside itself.
void WriteEditor(const std::string& out) {
    std::filesystem::create_directories(out);
    std::ofstream(out + "/editor.sh") << "#!/bin/sh\necho \"$#\" \"$@\" > \"$(dirname \"$0\")/args.txt\"\n";
    std::filesystem::permissions(out + "/editor.sh", std::filesystem::perms::owner_all);
}

// What the editor got; it is not waited for by the program.
std::string EditorArguments(const std::string& out) {
    for (int k = 0; k < 50 && !std::filesystem::exists(out + "/args.txt"); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(out + "/args.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST_P(XvfbSmoke, PlaysUnderX) {
    if (std::system("command -v xvfb-run xdotool xclip >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xvfb-run";
    e2e::Scenario s;
    ASSERT_TRUE(Read(GetParam(), s));
    const bool editor = scenarioText(GetParam()).find("$OUT/editor.sh") != std::string::npos;
    TempDir root;
    e2e::Folders headless = Prepare(s, root.path() + "/headless");
    ASSERT_NO_FATAL_FAILURE(MakeFixtures(s, headless));
    if (editor) WriteEditor(headless.out);
    for (const std::string& e : e2e::Play(s, headless)) ADD_FAILURE() << "headless: " << e;
    // The player's own folders (work/tmp, work/config, work/out).
    e2e::Folders x = headless;
    const std::string work = root.path() + "/x";
    x.tmp = work + "/tmp";
    x.config = work + "/config";
    x.out = work + "/out";
    if (editor) WriteEditor(x.out);
    // No key repeat on the server: the player's keys come once however long
    // a loaded machine holds xdotool up between a press and its release.
    std::string command = "xvfb-run -a -s '-screen 0 1280x1024x24 -r' timeout 540 python3 '" +
                          std::string(BRIVANTA_SOURCE_DIR) + "/scripts/xvfb_player.py' --program '" +
                          BRIVANTA_PROGRAM + "' --scenario '" + std::string(BRIVANTA_SOURCE_DIR) +
                          "/tests/e2e/scenarios/" + GetParam() + ".txt' --fixtures '" + headless.fixtures +
                          "' --work '" + work + "'";
    // Qt on the X server, not the offscreen platform of other tests; each
    // step waits for its state as long as a loaded machine needs.
    command = "env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY BRIVANTA_PLAYER_STEP_TIMEOUT=240 " + command;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const std::string& e : e2e::CheckFiles(s, x)) ADD_FAILURE() << "under X: " << e;
    for (const std::string& e : e2e::CompareRuns(s, headless, x)) ADD_FAILURE() << e;
    if (editor) {
        EXPECT_EQ(EditorArguments(headless.out), "1 " + headless.tmp + "/fmtmp/exchange.bmp\n");
        EXPECT_EQ(EditorArguments(x.out), "1 " + x.tmp + "/fmtmp/exchange.bmp\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Smoke, XvfbSmoke, ::testing::Values("smoke_full", "smoke_picture_editor", "model_views",
                                           "step2_again"),
                         [](const auto& info) { return std::string(info.param); });

// What plays now.
INSTANTIATE_TEST_SUITE_P(Flows, ScenarioTest,
                         ::testing::Values("start_full", "start_picture_editor", "start_picture_editor_empty",
                                           "start_daz", "full_male", "full_female", "picture_editor_flow", "daz_m3",
                                           "daz_v4", "daz_other", "imported_head", "imported_head_project",
                                           "model_views", "step2_again"),
                         [](const auto& info) { return std::string(info.param); });

// Every scenario file reads, the waiting ones too.
TEST(ScenarioParse, EveryScenarioReads) {
    int files = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(BRIVANTA_SOURCE_DIR) + "/tests/e2e/scenarios")) {
        e2e::Scenario s;
        std::string error;
        EXPECT_TRUE(e2e::ParseScenario(scenarioText(entry.path().stem().string()), s, &error))
            << entry.path() << ": " << error;
        ++files;
    }
    EXPECT_GE(files, 5);
}

TEST(ScenarioParse, StepsAnswersAndChecks) {
    e2e::Scenario s;
    std::string error;
    ASSERT_TRUE(e2e::ParseScenario("fixture front 101 12\n"
                                   "figure plain 1.1\n"
                                   "figure grouped 1 groups\n"
                                   "process --full \"x DAZStudio,2.0\"\n"
                                   "clipboard front\n"
                                   "file $FIX/a.jpg\n"
                                   "advance 400\n"
                                   "answer yes  # the question\n"
                                   "modal\n  button 1\nend\n"
                                   "close\n"
                                   "expect stage 0\n"
                                   "expect exit 0\n",
                                   s, &error))
        << error;
    ASSERT_EQ(s.fixtures.size(), 1u);
    EXPECT_EQ(s.fixtures[0].templateId, 101);
    ASSERT_EQ(s.figures.size(), 2u);
    EXPECT_EQ(s.figures[0].stretch, 1.1);
    EXPECT_FALSE(s.figures[0].groups);
    EXPECT_TRUE(s.figures[1].groups);
    ASSERT_EQ(s.processes.size(), 1u);
    const e2e::Process& p = s.processes[0];
    EXPECT_EQ(p.args, (std::vector<std::string>{"--full", "x DAZStudio,2.0"}));
    ASSERT_EQ(p.before.size(), 1u);
    // What comes before the first step is queued at the start.
    ASSERT_EQ(p.start.size(), 1u);
    EXPECT_EQ(p.start[0].rest, "$FIX/a.jpg");
    ASSERT_EQ(p.steps.size(), 3u);
    ASSERT_EQ(p.steps[1].size(), 3u);  // the answer and the modal script go with the close
    EXPECT_EQ(p.steps[1][1].block.size(), 1u);
    EXPECT_EQ(p.steps[1][2].words[0], "close");
    ASSERT_EQ(p.after.size(), 1u);
    for (const char* bad : {"close\n", "process\nclose\nanswer yes\n", "process\nmodal\nclose\n", "process\nclose\nclipboard x\n"}) {
        e2e::Scenario b;
        EXPECT_FALSE(e2e::ParseScenario(bad, b, &error)) << bad;
    }
}

namespace {

// The photo as ImageMagick decodes it: P6 bytes.
bool readPpm(const std::string& jpeg, const std::string& scratch, int* w, int* h, std::vector<unsigned char>* rgb) {
    if (std::system(("/usr/bin/convert '" + jpeg + "' ppm:'" + scratch + "' 2>/dev/null").c_str()) != 0) return false;
    std::ifstream in(scratch, std::ios::binary);
    std::string magic;
    int max = 0;
    in >> magic >> *w >> *h >> max;
    in.get();
    rgb->resize(size_t(*w) * size_t(*h) * 3);
    in.read(reinterpret_cast<char*>(rgb->data()), std::streamsize(rgb->size()));
    return magic == "P6" && max == 255 && in.good();
}

}  // namespace

// The rendered photos' marks lie on the head, at the pixels ImageMagick
// decodes, for both template heads and a turned camera; the figure is the
// template stretched in x.
TEST(Fixtures, MarksLieOnTheHeadAndTheFigureIsStretched) {
    TempDir dir;
    std::string why;
    for (const e2e::FixtureShot& wanted : {e2e::FixtureShot{"male", 101, 12, -6}, e2e::FixtureShot{"full", 122, 30, 0}}) {
        SCOPED_TRACE(wanted.name);
        ASSERT_TRUE(e2e::MakeFixture(wanted, dir.path(), &why)) << why;
        int w = 0, h = 0;
        std::vector<unsigned char> rgb;
        ASSERT_TRUE(readPpm(dir.path() + "/" + wanted.name + ".jpg", dir.path() + "/p.ppm", &w, &h, &rgb));
        EXPECT_EQ(w, 1024);
        EXPECT_EQ(h, 768);
        std::vector<std::string> order;
        auto marks = e2e::ReadMarks(dir.path() + "/" + wanted.name + ".marks", &order);
        ASSERT_GE(marks.size(), 10u);
        ASSERT_EQ(order.size(), marks.size());
        for (const auto& [name, m] : marks) {
            int x = int(m.x), y = int(m.y);
            ASSERT_TRUE(x >= 0 && y >= 0 && x < w && y < h) << name;
            // The background is white; the lit head is not (a rim point may
            // sit on the outline: within 2 pixels).
            bool head = false;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    int px = std::clamp(x + dx, 0, w - 1), py = std::clamp(y + dy, 0, h - 1);
                    const unsigned char* p = &rgb[(size_t(py) * size_t(w) + size_t(px)) * 3];
                    head |= p[0] < 245 || p[1] < 245 || p[2] < 245;
                }
            EXPECT_TRUE(head) << name << " at " << x << "," << y << " is on the background";
        }
        EXPECT_TRUE(marks.count("tip_of_the_nose"));
    }
    ASSERT_TRUE(e2e::MakeFigure("plain", 1.0, dir.path(), &why)) << why;
    ASSERT_TRUE(e2e::MakeFigure("wide", 1.1, dir.path(), &why)) << why;
    auto extent = [](const std::string& path, int axis) {
        std::ifstream in(path);
        std::string line;
        double lo = 1e300, hi = -1e300;
        int n = 0;
        while (std::getline(in, line)) {
            if (line.rfind("v ", 0) != 0) continue;
            std::istringstream v(line.substr(2));
            double c[3];
            v >> c[0] >> c[1] >> c[2];
            lo = std::min(lo, c[axis]);
            hi = std::max(hi, c[axis]);
            ++n;
        }
        return n ? hi - lo : 0.0;
    };
    double plainX = extent(dir.path() + "/plain.obj", 0);
    ASSERT_GT(plainX, 0);
    EXPECT_NEAR(extent(dir.path() + "/wide.obj", 0) / plainX, 1.1, 1e-4);
    EXPECT_NEAR(extent(dir.path() + "/wide.obj", 1), extent(dir.path() + "/plain.obj", 1), 1e-9);
    EXPECT_TRUE(std::filesystem::exists(dir.path() + "/plain.mtl"));
    // The figure in groups, as assimp reads it: three meshes of their own materials.
    ASSERT_TRUE(e2e::MakeFigure("grouped", 1.0, dir.path(), &why, true)) << why;
    const aiScene* scene = aiImportFile((dir.path() + "/grouped.obj").c_str(), aiProcess_ValidateDataStructure);
    ASSERT_NE(scene, nullptr) << aiGetErrorString();
    std::vector<std::string> meshes;
    unsigned faces = 0;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        aiString material;
        scene->mMaterials[scene->mMeshes[m]->mMaterialIndex]->Get(AI_MATKEY_NAME, material);
        meshes.push_back(std::string(scene->mMeshes[m]->mName.C_Str()) + "/" + material.C_Str());
        faces += scene->mMeshes[m]->mNumFaces;
    }
    aiReleaseImport(scene);
    std::sort(meshes.begin(), meshes.end());
    EXPECT_EQ(meshes, (std::vector<std::string>{"head/skinface", "mouth/lip", "sockets/eyesocket"}));
    std::ifstream plain(dir.path() + "/plain.obj");
    unsigned plainFaces = 0;
    for (std::string line; std::getline(plain, line);) plainFaces += line.rfind("f ", 0) == 0;
    EXPECT_EQ(faces, plainFaces);
}

// A scenario file of one's own: E2E_SCENARIO=path e2e_scenario_test --gtest_filter=ScenarioFile.*
TEST(ScenarioFile, FromTheEnvironment) {
    const char* path = std::getenv("E2E_SCENARIO");
    if (!path) GTEST_SKIP() << "E2E_SCENARIO names no file";
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    e2e::Scenario s;
    std::string error;
    ASSERT_TRUE(e2e::ParseScenario(text.str(), s, &error)) << error;
    TempDir root;
    e2e::Folders f = Prepare(s, root.path());
    ASSERT_NO_FATAL_FAILURE(MakeFixtures(s, f));
    for (const std::string& e : e2e::Play(s, f)) ADD_FAILURE() << e;
    if (std::getenv("E2E_KEEP")) {
        std::filesystem::copy(root.path(), std::getenv("E2E_KEEP"), std::filesystem::copy_options::recursive |
                                                                        std::filesystem::copy_options::overwrite_existing);
    }
}

// With BRIVANTA_EXPORT_DUMP=DIR each flow is played under a fixed texture
// fill seed in DIR/../play/NAME (the same folders each time, so that the
// files that name them agree) and what it wrote is copied to DIR/NAME:
// two such folders from two builds are compared by scripts/export_compare.py.
TEST(ExportDump, FlowsIntoTheFolderGiven) {
    const char* dump = std::getenv("BRIVANTA_EXPORT_DUMP");
    if (!dump || !*dump) GTEST_SKIP() << "BRIVANTA_EXPORT_DUMP not set";
    namespace fs = std::filesystem;
    const fs::path into = fs::absolute(dump);
    const fs::path play = into.parent_path() / "play";
    SetTextureFillSeed(7u);
    for (const char* name : {"start_full", "start_picture_editor", "full_male", "full_female", "picture_editor_flow",
                             "daz_m3", "daz_v4", "daz_other", "imported_head", "model_views", "step2_again"}) {
        SCOPED_TRACE(name);
        e2e::Scenario s;
        ASSERT_TRUE(Read(name, s));
        std::error_code ec;
        fs::remove_all(play / name, ec);
        fs::remove_all(into / name, ec);
        e2e::Folders f = Prepare(s, (play / name).string());
        ASSERT_NO_FATAL_FAILURE(MakeFixtures(s, f));
        for (const std::string& e : e2e::Play(s, f)) ADD_FAILURE() << e;
        const std::pair<std::string, std::string> kept[] = {
            {f.out, "out"}, {f.daz, "daz"}, {f.tmp + "/fmtmp", "fmtmp"}, {f.fixtures, "fixtures"}};
        for (const auto& [from, to] : kept)
            if (fs::is_directory(from)) {
                fs::create_directories(into / name / to);
                fs::copy(from, into / name / to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
            }
    }
    SetTextureFillSeed(std::nullopt);
}
