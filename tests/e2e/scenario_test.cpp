// Each scenario of tests/e2e/scenarios played against the program in fresh
// processes, driven by user input alone. The flows whose pages are not
// there yet are listed as waiting (disabled) until they play.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/player.h"
#include "tests/framework/temp_dir.h"

namespace {

std::string scenarioText(const std::string& name) {
    std::ifstream in(std::string(BRIVANTA_SOURCE_DIR) + "/tests/e2e/scenarios/" + name + ".txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

class ScenarioTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ScenarioTest, Plays) {
    e2e::Scenario s;
    std::string error;
    std::string text = scenarioText(GetParam());
    ASSERT_FALSE(text.empty()) << GetParam();
    ASSERT_TRUE(e2e::ParseScenario(text, s, &error)) << error;
    TempDir root;
    e2e::Folders f;
    f.tmp = root.path() + "/tmp";
    f.config = root.path() + "/config";
    f.program = root.path() + "/program folder";
    f.fixtures = root.path() + "/fixtures";
    f.out = root.path() + "/out";
    for (const std::string* d : {&f.tmp, &f.config, &f.program, &f.fixtures, &f.out})
        std::filesystem::create_directories(*d);
    for (const e2e::FixtureSpec& spec : s.fixtures) {
        ASSERT_TRUE(e2e::MakeFixture(spec, f.fixtures, &error)) << error;
        // Kept where a person can look at them.
        std::string out = BRIVANTA_TEST_OUTPUT;
        std::filesystem::create_directories(out);
        for (const char* ext : {".jpg", ".marks"})
            std::filesystem::copy_file(f.fixtures + "/" + spec.name + ext, out + "/" + spec.name + ext,
                                       std::filesystem::copy_options::overwrite_existing);
    }
    std::vector<std::string> failures = e2e::Play(s, f);
    for (const std::string& e : failures) ADD_FAILURE() << e;
}

// What plays now.
INSTANTIATE_TEST_SUITE_P(Flows, ScenarioTest,
                         ::testing::Values("start_full", "start_picture_editor", "start_picture_editor_empty",
                                           "start_daz"),
                         [](const auto& info) { return std::string(info.param); });

// The flows waiting for their pages.
INSTANTIATE_TEST_SUITE_P(DISABLED_Waiting, ScenarioTest, ::testing::Values("full_male"),
                         [](const auto& info) { return std::string(info.param); });

TEST(ScenarioParse, StepsAnswersAndChecks) {
    e2e::Scenario s;
    std::string error;
    ASSERT_TRUE(e2e::ParseScenario("fixture front 101 12\n"
                                   "process --full \"x DAZStudio,2.0\"\n"
                                   "clipboard front\n"
                                   "answer yes  # the question\n"
                                   "modal\n  button 1\nend\n"
                                   "close\n"
                                   "expect stage 0\n"
                                   "expect exit 0\n",
                                   s, &error))
        << error;
    ASSERT_EQ(s.fixtures.size(), 1u);
    EXPECT_EQ(s.fixtures[0].templateId, 101);
    ASSERT_EQ(s.processes.size(), 1u);
    const e2e::Process& p = s.processes[0];
    EXPECT_EQ(p.args, (std::vector<std::string>{"--full", "x DAZStudio,2.0"}));
    ASSERT_EQ(p.before.size(), 1u);
    ASSERT_EQ(p.steps.size(), 2u);
    ASSERT_EQ(p.steps[0].size(), 3u);  // the answer and the modal script go with the close
    EXPECT_EQ(p.steps[0][1].block.size(), 1u);
    EXPECT_EQ(p.steps[0][2].words[0], "close");
    ASSERT_EQ(p.after.size(), 1u);
    for (const char* bad : {"close\n", "process\nanswer yes\n", "process\nmodal\nclose\n", "process\nclose\nclipboard x\n"}) {
        e2e::Scenario b;
        EXPECT_FALSE(e2e::ParseScenario(bad, b, &error)) << bad;
    }
}
