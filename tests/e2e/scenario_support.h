#pragma once
// What the scenario tests share: a scenario read from tests/e2e/scenarios,
// its folders under a root and its fixtures made there.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/e2e/player.h"

namespace e2e::test {

inline std::string scenarioText(const std::string& name) {
    std::ifstream in(std::string(BRIVANTA_SOURCE_DIR) + "/tests/e2e/scenarios/" + name + ".txt");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The scenario's folders under root, made; its fixtures in root/fixtures.
inline e2e::Folders Prepare(const e2e::Scenario& s, const std::string& root) {
    e2e::Folders f;
    f.tmp = root + "/tmp";
    f.config = root + "/config";
    f.fixtures = root + "/fixtures";
    f.out = root + "/out";
    // The DAZ Studio tree: the exchange folder two levels above the program
    // folder's name with its closing separator, so beside the program folder.
    f.program = root + "/studio/plug ins/brivanta";
    f.daz = root + "/studio/plug ins/resources/Brivanta";
    // DAZ Studio made its exchange folder when it was installed.
    for (const std::string* d : {&f.tmp, &f.config, &f.program, &f.fixtures, &f.out, &f.daz})
        std::filesystem::create_directories(*d);
    return f;
}

inline void MakeFixtures(const e2e::Scenario& s, const e2e::Folders& f) {
    std::string error;
    for (const e2e::FixtureShot& wanted : s.fixtures) {
        ASSERT_TRUE(e2e::MakeFixture(wanted, f.fixtures, &error)) << error;
        // Kept where a person can look at them.
        std::string out = BRIVANTA_TEST_OUTPUT;
        std::filesystem::create_directories(out);
        for (const char* ext : {".jpg", ".marks"})
            std::filesystem::copy_file(f.fixtures + "/" + wanted.name + ext, out + "/" + wanted.name + ext,
                                       std::filesystem::copy_options::overwrite_existing);
    }
    for (const e2e::Figure& figure : s.figures) {
        ASSERT_TRUE(e2e::MakeFigure(figure.name, figure.stretch, f.fixtures, &error, figure.groups)) << error;
    }
}

inline bool Read(const char* name, e2e::Scenario& s) {
    std::string error, text = scenarioText(name);
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_TRUE(e2e::ParseScenario(text, s, &error)) << error;
    return !text.empty() && error.empty();
}


}  // namespace e2e::test
