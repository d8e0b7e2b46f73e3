// The age page on an imported figure (the full template head read with the
// import flag raised): its age map by one triangle, its sliders by region
// morphs, its step-by-step recolouring and Undo.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "document/tempfolders.h"
#include "dialogs/age_map.h"
#include "dialogs/morph_pages.h"
#include "dialogs/region_morph.h"
#include "framework/paths.h"
#include "model/gather.h"
#include "tests/dialogs/morph_fixture.h"
#include "tests/support/model_invariants.h"

namespace {

using morph::AgePageCore;
using morphtest::BitEqual;
using morphtest::Positions;

class AgePage : public morphtest::TemplateHead {
protected:
    // A temporary folder of the test's own with its fmtmp, as the program
    // makes it at start (tests running side by side share no file).
    void SetUp() override {
        morphtest::TemplateHead::SetUp();
        services.app.state().pictureEditor = 0;
        const char* was = std::getenv("TMPDIR");
        hadTmp = was != nullptr;
        oldTmp = was ? was : "";
        folder = std::string(BRIVANTA_TEST_OUTPUT) + "/" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        std::filesystem::create_directories(folder + "fmtmp");
        setenv("TMPDIR", folder.c_str(), 1);
        files::ResetTempFolder();
    }
    void TearDown() override {
        services.app.state().headImport = 0;
        if (hadTmp)
            setenv("TMPDIR", oldTmp.c_str(), 1);
        else
            unsetenv("TMPDIR");
        files::ResetTempFolder();
        morphtest::TemplateHead::TearDown();
    }
    // The imported figure: saved positions where the file put the vertices;
    // the present positions moved away from them.
    void Import(int textureSize) {
        Load();
        GiveTexture(textureSize, false);
        for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v)) {
            vertex& x = head->vertices[v];
            x.loadPosition = x.position;
            x.position += vector3<double>(0.5, -0.25, 1.0);
        }
        services.app.state().headImport = 1;
    }
    // The test's own targets: the texels of the centres of the triangles
    // holding the points of weight 2.0 of the import table.
    std::vector<std::pair<double, double>> targets(int size) {
        std::vector<std::pair<double, double>> out;
        for (const auto& row : morphtest::TableRows(140)) {
            if (row.size() < 3 || std::atof(row[2].c_str()) != 2.0) continue;
            const Index<featurepoint3> f = head->getFeaturepoint(row[0].c_str(), false);
            if (f == -1 || head->featurepoints[f].vtx == -1) continue;
            const int v = head->featurepoints[f].vtx;
            const triangle& t = head->triangles[head->vertices[v].triangles[head->vertices[v].triangles.first()]];
            const double u = (t.texture[0].x + t.texture[1].x + t.texture[2].x) / 3,
                         w = (t.texture[0].y + t.texture[1].y + t.texture[2].y) / 3;
            out.push_back({double(int(size * u + 0.5)), double(int(size * w + 0.5))});
        }
        return out;
    }
    std::vector<unsigned char> texture() const { return head->texture->rgb; }

    // Without the fmtmp folder the picture's file cannot be written.
    void breakTmp() { std::filesystem::remove_all(folder + "fmtmp"); }
    void restoreTmp() { std::filesystem::create_directories(folder + "fmtmp"); }

    CWinBmp ageMap;
    int positions[4] = {};
    bool hadTmp = false;
    std::string oldTmp, folder;
};

TEST_F(AgePage, OpeningPutsTheSourcePointsOnTheTargets) {
    const std::vector<std::pair<int, int>> source = {{511, 637}, {664, 500}, {360, 500}};
    const std::vector<unsigned char> dots = morphtest::BmpBytes(morphtest::DotPicture(source), "age_page_dots.bmp");
    for (int size : {512, 1024}) {
        SCOPED_TRACE(size);
        Import(size);
        const std::vector<std::pair<double, double>> want = targets(size);
        ASSERT_EQ(want.size(), 3u);
        AgePageCore page;
        page.Open(*head, ageMap, positions, dots);
        // Back where the file put them.
        for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v))
            ASSERT_EQ(head->vertices[v].position, head->vertices[v].loadPosition);
        EXPECT_EQ(std::vector<int>(positions, positions + 4), (std::vector<int>{2, 2, 2, 2}));
        ASSERT_TRUE(page.ageMapBuilt());
        ASSERT_EQ(ageMap.GetWidth(), size);
        for (int k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(page.targets()[k].x, want[size_t(k)].first);
            EXPECT_EQ(page.targets()[k].y, want[size_t(k)].second);
            EXPECT_TRUE(morphtest::DotAt(ageMap, int(want[size_t(k)].first), int(want[size_t(k)].second)));
        }
        // Nothing is left black: holes are filled, the rest takes the mean.
        int black = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) black += ageMap.GetPixel(x, y).GetR() == 0;
        EXPECT_EQ(black, 0);
        EXPECT_FALSE(std::filesystem::exists(morph::AgePageTempFile()));
    }
}

// The picture cannot pass through its file: the placeholder stays.
TEST_F(AgePage, APictureThatCannotPassKeepsThePlaceholder) {
    Import(64);
    AgePageCore page;
    const unsigned char junk[] = {0xff, 0xd8, 0xff, 0xe0, 1, 2, 3};
    page.Open(*head, ageMap, positions, junk);
    EXPECT_FALSE(page.ageMapBuilt());
    EXPECT_EQ(ageMap.GetWidth(), 8);
    EXPECT_EQ(ageMap.GetHeight(), 8);
    EXPECT_EQ(ageMap.GetBitsPerPixel(), 32);
    EXPECT_FALSE(std::filesystem::exists(morph::AgePageTempFile()));
    breakTmp();
    AgePageCore other;
    other.Open(*head, ageMap, positions);
    EXPECT_FALSE(other.ageMapBuilt());
    EXPECT_EQ(ageMap.GetWidth(), 8);
    restoreTmp();
    // A degenerate target triangle (two targets at one texel): unwarped.
    const vector2<double> flat[3] = {{0, 0}, {0, 0}, {40, 40}};
    CWinBmp map;
    const std::vector<unsigned char> dots = morphtest::BmpBytes(morphtest::DotPicture({{512, 512}}), "age_flat.bmp");
    ASSERT_TRUE(morph::BuildAgePageMap(map, 512, 512, flat, dots));
    EXPECT_TRUE(morphtest::DotAt(map, 256, 256));
}

TEST_F(AgePage, SlidersMorphRegionsAndRecolourStepByStep) {
    Import(64);
    AgePageCore page;
    page.Open(*head, ageMap, positions);
    const std::vector<vector3<double>> opened = Positions(*head);
    const std::vector<unsigned char> openedTexture = texture();
    // Age 2 -> 6: the engine's regions of the age slider, 40 units each.
    positions[0] = 6;
    ASSERT_EQ(page.Scroll(*head, 4, positions).action, morph::SliderAction::kApply);
    const std::vector<vector3<double>> aged = Positions(*head);
    EXPECT_FALSE(BitEqual(aged, opened));
    EXPECT_EQ(gatheredTriangles().count(), 0);
    {
        head->set_actual();
        size_t k = 0;
        for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v), ++k)
            head->vertices[v].position = opened[k];
        struct Step {
            const char* name;
            int m1, m2;
            double f;
        };
        const Step steps[] = {{"CHEEK_LIFT", 1, -1, 0.075}, {"MOUTH_LOWER_THICKNESS", 3, 1, 0.015},
                              {"MOUTH_UPPER_THICKNESS", 3, 1, 0.015}, {"NOSE_TIP", 3, 3, 0.025},
                              {"NOSE_TOP", -1, -1, 0.04}, {"NECK", -1, -1, -0.075}};
        morph::RegionMorphEngine e(*head);
        for (const Step& s : steps) {
            std::string name = s.name;
            for (char& c : name) c = char(std::tolower(c));
            e.SetMode(name, s.m1, s.m2);
            e.DoTransformation(40 * s.f, true);
        }
        clean_gatheredTriangles();
        EXPECT_TRUE(BitEqual(Positions(*head), aged));
    }
    // Asian 2 -> 5 recolours the present texture by three steps.
    const std::vector<unsigned char> before = texture();
    positions[2] = 5;
    page.Scroll(*head, 8, positions);
    const morph::Colour mean = page.mean();
    {
        // The test's mean: the texels between the targets.
        const vector2<double>* t = page.targets();
        const int x0 = int(std::min({t[0].x, t[1].x, t[2].x})), x1 = int(std::max({t[0].x, t[1].x, t[2].x}));
        const int y0 = int(std::min({t[0].y, t[1].y, t[2].y})), y1 = int(std::max({t[0].y, t[1].y, t[2].y}));
        long long sum[3] = {0, 0, 0}, n = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x, ++n)
                for (int c = 0; c < 3; ++c) sum[c] += openedTexture[(size_t(y) * 64 + x) * 3 + c];
        for (int c = 0; c < 3; ++c) EXPECT_EQ(mean[c], int(sum[c] / n));
    }
    const int asian[3] = {203, 171, 140};
    const std::vector<unsigned char> got = texture();
    for (size_t i : {size_t(0), size_t(301), size_t(4000), size_t(9001), got.size() - 1}) {
        const int c = int(i % 3);
        const double v = before[i] + (5 - 2) * 0.666 / 10 * (asian[c] - mean[c]);
        EXPECT_EQ(got[i], v > 0 && v < 255 ? int(v) : before[i]) << i;
    }
    // Undo, twice: the state before the last change.
    const std::vector<vector3<double>> afterAsian = Positions(*head);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(page.Undo(*head, positions));
        EXPECT_TRUE(BitEqual(Positions(*head), aged));
        EXPECT_EQ(texture(), before);
        EXPECT_EQ(std::vector<int>(positions, positions + 4), (std::vector<int>{6, 2, 2, 2}));
    }
    EXPECT_FALSE(BitEqual(afterAsian, aged));
    page.Revert(*head, positions);
    EXPECT_TRUE(BitEqual(Positions(*head), opened));
    EXPECT_EQ(texture(), openedTexture);
    EXPECT_EQ(std::vector<int>(positions, positions + 4), (std::vector<int>{2, 2, 2, 2}));
    EXPECT_MODEL_SOUND(*head);
}

}  // namespace
