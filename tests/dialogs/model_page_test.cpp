// The model page's morphs on the full template head read as in the
// picture-editor flow: age and weight from the head's age shapes, the
// texture rebuilt and aged from the start copy, ethnicity by region morphs
// and recolouring, Undo and Revert, and the age map over the texture.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dialogs/age_map.h"
#include "foundation/numeric.h"
#include "dialogs/morph_pages.h"
#include "dialogs/region_morph.h"
#include "model/brush.h"
#include "model/featuretables.h"
#include "model/gather.h"
#include "model/mirror.h"
#include "model/octree.h"
#include "model/topology.h"
#include "picture/emboss.h"
#include "tests/dialogs/morph_fixture.h"
#include "tests/support/model_invariants.h"
#include "tests/support/test_meshes.h"

namespace {

using morph::ModelPageCore;
using morph::ModelPageDocument;
using morphtest::AgeShape;
using morphtest::BitEqual;
using morphtest::Farthest;
using morphtest::Positions;

constexpr int kRelease = 4, kEndTrack = 8, kThumbTrack = 5, kLineDown = 1, kPageDown = 3;

class ModelPage : public morphtest::TemplateHead {
protected:
    ModelPageDocument doc() { return {age, weight, carried, ageMap, 0}; }
    double headSize() const {
        const vector3<double> d = head->boxMax - head->boxMin;
        return std::max({d.x, d.y, d.z});
    }
    // The positions the age and weight should give, from the age shapes.
    std::vector<vector3<double>> expected(int a, int w, unsigned base) {
        std::vector<vector3<double>> b = AgeShape(*head, base), s22 = AgeShape(*head, 1222),
                                     s23 = AgeShape(*head, 1223), s28 = AgeShape(*head, 1228);
        std::vector<vector3<double>> out;
        for (size_t k = 0; k < b.size(); ++k)
            out.push_back(b[k] + (s28[k] - s22[k]) * (a / 6.0) + (s23[k] - s22[k]) * ((w - 3) / 6.0));
        return out;
    }
    std::vector<unsigned char> texture() const { return head->texture->rgb; }
    // Moves slider k to p and sends the codes one after the other.
    void move(ModelPageCore& page, int k, int p, std::initializer_list<int> codes) {
        positions[k] = p;
        for (int c : codes) page.Scroll(*head, doc(), c, positions);
    }

    int age = 0, weight = 3;
    morph::CarriedMorph carried;
    CWinBmp ageMap;
    int positions[morph::kSliderCount] = {};
};

TEST_F(ModelPage, OpeningAppliesAgeAndWeightFromTheAgeShapes) {
    struct Case {
        int age, weight;
        bool age0;
    };
    for (const Case c : {Case{0, 3, false}, Case{4, 2, false}, Case{6, 6, false}, Case{4, 2, true}}) {
        SCOPED_TRACE(std::to_string(c.age) + " " + std::to_string(c.weight) + (c.age0 ? " age0" : ""));
        carried = {};
        Load(c.age0);
        GiveTexture(64, false);
        age = c.age;
        weight = c.weight;
        ModelPageCore page(false);
        page.Open(*head, doc(), positions);
        EXPECT_LT(Farthest(Positions(*head), expected(c.age, c.weight, c.age0 ? 1220 : 1221)), 1e-9 * headSize());
        EXPECT_EQ(positions[0], c.age);
        EXPECT_EQ(positions[1], c.weight);
        EXPECT_EQ(carried, (morph::CarriedMorph{c.age, c.weight, c.age}));
        // Fixed feature points ride on their vertices.
        const Index<featurepoint3> f = head->getFeaturepoint("tip_of_the_nose", false);
        ASSERT_NE(f, -1);
        EXPECT_EQ(head->featurepoints[f].point(), head->vertices[head->featurepoints[f].vtx].position);
    }
}

// A reopened head that carries its age and weight is not moved again; one
// that carries another age moves only by the difference.
TEST_F(ModelPage, OpeningAppliesOnlyWhatTheHeadDoesNotCarry) {
    Load();
    GiveTexture(64, false);
    age = 4;
    weight = 2;
    ModelPageCore first(false);
    first.Open(*head, doc(), positions);
    const std::vector<vector3<double>> aged = Positions(*head);
    const std::vector<unsigned char> agedTexture = texture();
    ModelPageCore again(false);
    again.Open(*head, doc(), positions);
    EXPECT_TRUE(BitEqual(Positions(*head), aged));
    EXPECT_EQ(texture(), agedTexture);
    age = 6;
    ModelPageCore third(false);
    third.Open(*head, doc(), positions);
    EXPECT_LT(Farthest(Positions(*head), expected(6, 2, 1221)), 1e-9 * headSize());
}

TEST_F(ModelPage, DragsAddTheirDeltasOnceAndComeBackExactly) {
    Load();
    GiveTexture(64, false);
    age = 4;
    weight = 2;
    ModelPageCore page(false);
    page.Open(*head, doc(), positions);
    const std::vector<unsigned char> opened = texture();
    std::vector<vector3<double>> before = Positions(*head);
    // A drag: tracking codes, the release, then the end of the track.
    positions[0] = 5;
    page.Scroll(*head, doc(), kThumbTrack, positions);
    EXPECT_TRUE(BitEqual(Positions(*head), before));
    move(page, 0, 6, {kThumbTrack, kRelease, kEndTrack});
    std::vector<vector3<double>> after = Positions(*head);
    size_t k = 0;
    for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v), ++k)
        ASSERT_EQ(after[k], before[k] + head->vertices[v].age80 * 2.0 / 6.0) << v;
    EXPECT_EQ(age, 6);
    EXPECT_LT(Farthest(after, expected(6, 2, 1221)), 1e-9 * headSize());
    // Weight 2 -> 5 by a channel click (page code, then end of track).
    before = after;
    move(page, 1, 5, {kPageDown, kEndTrack, kEndTrack});
    after = Positions(*head);
    k = 0;
    for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v), ++k)
        ASSERT_EQ(after[k], before[k] + head->vertices[v].age30 * 3.0 / 6.0) << v;
    EXPECT_EQ(weight, 5);
    EXPECT_EQ(page.applied()[1], 5);
    const Index<featurepoint3> f = head->getFeaturepoint("left_cheek", false);
    ASSERT_NE(f, -1);
    EXPECT_EQ(head->featurepoints[f].point(), head->vertices[head->featurepoints[f].vtx].position);
    // Arrow keys step by step, applied once at the end of the track.
    move(page, 0, 5, {kLineDown});
    move(page, 0, 4, {kLineDown, kEndTrack});
    EXPECT_LT(Farthest(Positions(*head), expected(4, 5, 1221)), 1e-9 * headSize());
    // Two sliders moved without applying: both go back.
    positions[0] = 2;
    positions[1] = 1;
    const std::vector<vector3<double>> held = Positions(*head);
    page.Scroll(*head, doc(), kEndTrack, positions);
    EXPECT_EQ(positions[0], 4);
    EXPECT_EQ(positions[1], 5);
    EXPECT_TRUE(BitEqual(Positions(*head), held));
    // 4 -> 2 -> 4 and weight back to 2: the opened state again.
    const std::vector<unsigned char> at4 = texture();
    move(page, 0, 2, {kRelease});
    move(page, 0, 4, {kRelease});
    EXPECT_LT(Farthest(Positions(*head), held), 1e-9 * headSize());
    EXPECT_EQ(texture(), at4);
    move(page, 1, 2, {kRelease});
    EXPECT_EQ(texture(), opened);
}

TEST_F(ModelPage, AgeThreeToFiveAndBackRestoresGeometryAndTexture) {
    Load();
    GiveTexture(128, false);
    age = 3;
    ModelPageCore page(false);
    page.Open(*head, doc(), positions);
    const std::vector<vector3<double>> start = Positions(*head);
    const std::vector<unsigned char> startTexture = texture();
    move(page, 0, 5, {kRelease});
    EXPECT_NE(texture(), startTexture);
    move(page, 0, 3, {kRelease});
    EXPECT_LT(Farthest(Positions(*head), start), 1e-9 * headSize());
    EXPECT_EQ(texture(), startTexture);
}

TEST_F(ModelPage, TextureIsTheStartCopyAgedAndRecoloured) {
    Load();
    GiveTexture(128, false);
    const std::vector<unsigned char> start = morphtest::PatternTexture(128)->rgb;
    // Age 0: the start copy as it is.
    age = 0;
    {
        ModelPageCore page(true);
        page.Open(*head, doc(), positions);
        EXPECT_EQ(texture(), start);
        move(page, 2, 2, {kRelease});  // Asian at 2 and African at 3 recolour nothing
        EXPECT_EQ(texture(), start);
    }
    // Age 4: the emboss of the age map into the start copy.
    carried = {};
    Load();
    GiveTexture(128, false);
    age = 4;
    ModelPageCore page(true);
    page.Open(*head, doc(), positions);
    {
        CWinBmp colours, white;
        colours.Create(128, 128, 32, false);
        white.Create(128, 128, 32, false);
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const unsigned char* p = &start[(size_t(y) * 128 + x) * 3];
                colours.SetPixel(x, y, CPixel32(p[0], p[1], p[2], 0));
                white.SetPixel(x, y, CPixel32(255, 255, 255, 255));
            }
        Emboss(&ageMap, &colours, &white, 3 * M_PI / 4, 70 * M_PI / 180, 3);
        std::vector<unsigned char> want;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x) {
                const CPixel32 p = white.GetPixel(x, y);
                want.insert(want.end(), {p.GetR(), p.GetG(), p.GetB()});
            }
        EXPECT_EQ(texture(), want);
    }
    // Asian 6 and African 5 on the start copy at age 0: every channel by
    // the formula, a channel that would leave 0..255 kept.
    move(page, 0, 0, {kRelease});
    EXPECT_EQ(texture(), start);
    move(page, 2, 6, {kRelease});
    move(page, 3, 5, {kRelease});
    int mean[3] = {0, 0, 0};
    {
        long long sum[3] = {0, 0, 0}, n = 0;
        for (int y = 2 * 128 / 5; y <= 3 * 128 / 5; ++y)
            for (int x = 2 * 128 / 5; x <= 3 * 128 / 5; ++x, ++n)
                for (int c = 0; c < 3; ++c) sum[c] += start[(size_t(y) * 128 + x) * 3 + c];
        for (int c = 0; c < 3; ++c) mean[c] = int(sum[c] / n);
    }
    const int asian[3] = {203, 171, 140}, african[3] = {94, 46, 46};
    const std::vector<unsigned char> got = texture();
    int clamped = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        const int c = int(i % 3);
        int v = start[i];
        for (const auto& [colour, f] : {std::pair{asian, 3 * 0.333 / 6}, std::pair{african, 2 * 0.333 / 6}}) {
            const double n = v + (colour[c] - mean[c]) * f;
            if (n > 0 && n < 255)
                v = int(n);
            else
                ++clamped;
        }
        ASSERT_EQ(got[i], v) << i;
    }
    EXPECT_GT(clamped, 0);
}

TEST_F(ModelPage, UndoAndRevertRestoreExactly) {
    Load();
    GiveTexture(64, false);
    age = 2;
    weight = 4;
    ModelPageCore page(true);
    page.Open(*head, doc(), positions);
    const std::vector<vector3<double>> opened = Positions(*head);
    const std::vector<unsigned char> openedTexture = texture();
    int undoPositions[4];
    // Undo before any change does nothing.
    EXPECT_FALSE(page.Undo(*head, doc(), undoPositions));
    move(page, 0, 5, {kRelease});
    const std::vector<vector3<double>> before = Positions(*head);
    const std::vector<unsigned char> beforeTexture = texture();
    move(page, 2, 6, {kRelease});
    EXPECT_FALSE(BitEqual(Positions(*head), before));
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(page.Undo(*head, doc(), positions));
        EXPECT_TRUE(BitEqual(Positions(*head), before));
        EXPECT_EQ(texture(), beforeTexture);
        EXPECT_EQ(std::vector<int>(positions, positions + 4), (std::vector<int>{5, 4, 3, 3}));
        EXPECT_EQ(age, 5);
        EXPECT_EQ(gatheredTriangles().count(), 0);
    }
    // Mirror Left with its undo point.
    page.UndoPoint(*head, doc());
    ASSERT_EQ(MirrorHead(*head, 'L'), 1);
    EXPECT_NE(texture(), beforeTexture);
    ASSERT_TRUE(page.Undo(*head, doc(), positions));
    EXPECT_TRUE(BitEqual(Positions(*head), before));
    EXPECT_EQ(texture(), beforeTexture);
    // A clone stroke with its undo point.
    page.UndoPoint(*head, doc());
    TexturePainter painter(head->texture.get());
    painter.brush.Set(8, 1.0f, RGBColor(), false);
    painter.CloneWithBrush(10, 10, 40, 20);
    EXPECT_NE(texture(), beforeTexture);
    ASSERT_TRUE(page.Undo(*head, doc(), positions));
    EXPECT_EQ(texture(), beforeTexture);
    // Revert: the start state brought to age and weight 3, as the sliders
    // would bring it.
    page.Revert(*head, doc(), positions);
    EXPECT_EQ(std::vector<int>(positions, positions + 4), (std::vector<int>{3, 3, 3, 3}));
    EXPECT_EQ(age, 3);
    EXPECT_EQ(weight, 3);
    EXPECT_LT(Farthest(Positions(*head), expected(3, 3, 1221)), 1e-9 * headSize());
    const std::vector<unsigned char> reverted = texture();
    // The next move is one step from 3, and back again gives the same.
    move(page, 0, 4, {kRelease});
    EXPECT_LT(Farthest(Positions(*head), expected(4, 3, 1221)), 1e-9 * headSize());
    move(page, 0, 3, {kRelease});
    EXPECT_EQ(texture(), reverted);
    (void)opened;
    (void)openedTexture;
}

// Elements removed through the model (gaps in the slots) before and after
// the states were taken: Undo and Revert restore what still exists and
// leave the links sound.
TEST_F(ModelPage, UndoAndRevertOverIndexGaps) {
    Load();
    GiveTexture(64, false);
    head->set_actual();
    // Gaps before the start state.
    int removed = 0;
    for (int v = head->vertices.first(); v != -1 && removed < 5; v = head->vertices.nextOf(v))
        if (v % 997 == 3 && head->vertices[v].featurepoint == -1) {
            remove_vertex(v);
            ++removed;
            v = head->vertices.first();
        }
    ASSERT_EQ(removed, 5);
    age = 1;
    ModelPageCore page(false);
    page.Open(*head, doc(), positions);
    move(page, 0, 3, {kRelease});
    // Gaps after: the last vertices and triangles go, slots beyond the
    // arrays come in.
    head->set_actual();
    std::vector<int> last;
    for (int v = head->vertices.last(); v != -1 && last.size() < 4; v = head->vertices.prevOf(v))
        if (head->vertices[v].featurepoint == -1) last.push_back(v);
    for (int v : last) remove_vertex(v);
    testmesh::Shape extra = testmesh::icosphereShape(0, 2.0);
    testmesh::addShape(*head, extra);
    EXPECT_MODEL_SOUND(*head);
    ASSERT_TRUE(page.Undo(*head, doc(), positions));
    EXPECT_MODEL_SOUND(*head);
    page.Revert(*head, doc(), positions);
    EXPECT_MODEL_SOUND(*head);
    move(page, 0, 5, {kRelease});
    EXPECT_MODEL_SOUND(*head);
}

// Paint on the texture survives the rebuild of a later slider change.
TEST_F(ModelPage, PaintSurvivesASliderChange) {
    Load();
    GiveTexture(64, false);
    age = 0;
    ModelPageCore page(false);
    page.Open(*head, doc(), positions);
    for (int x = 10; x < 20; ++x)
        for (int c = 0; c < 3; ++c) head->texture->rgb[(size_t(30) * 64 + x) * 3 + c] = 1;
    const std::vector<unsigned char> painted = texture();
    move(page, 1, 5, {kRelease});
    EXPECT_EQ(texture(), painted);
    // Aged, the painted texels are embossed like the rest.
    move(page, 0, 2, {kRelease});
    std::vector<unsigned char> aged = painted;
    TextureImage copy = *head->texture;
    copy.rgb = painted;
    morph::ModTexture(copy, ageMap, 2);
    EXPECT_EQ(texture(), copy.rgb);
}

// The 3D view uploads the texture again by its change count: each morph
// that changes texels moves it, one that leaves them as they were keeps
// it, and a snapshot written back gives the texels the count they were
// stored with.
TEST_F(ModelPage, TheTextureCountMovesWhenAndOnlyWhenTheTexelsChange) {
    Load();
    GiveTexture(64, false);
    ModelPageCore page(false);
    page.Open(*head, doc(), positions);  // builds the age map
    TextureImage& t = *head->texture;
    const double none[3] = {0, 0, 0}, some[3] = {12, -7, 3};
    const morph::Colour mean = morph::FaceCentreMean(t);
    HeadSnapshot snapshot;
    uint64_t stored = 0;
    std::vector<unsigned char> storedTexels;
    TextureImage start = t;
    struct Case {
        const char* name;
        std::function<void()> run;
        bool moves;
    } cases[] = {
        {"no shift", [&] { morph::ShiftColours(t, none); }, false},
        {"a shift", [&] { morph::ShiftColours(t, some); }, true},
        {"a step of no length", [&] { morph::ModColorStep(t, 4, 4, morph::kAsianColour, mean); }, false},
        {"a step", [&] { morph::ModColorStep(t, 4, 6, morph::kAsianColour, mean); }, true},
        {"age 0", [&] { morph::ModTexture(t, ageMap, 0); }, false},
        {"aged", [&] { morph::ModTexture(t, ageMap, 2); }, true},
        {"stored",
         [&] {
             snapshot.Store(*head);
             stored = t.changeCount();
             storedTexels = t.rgb;
         },
         false},
        {"shifted again", [&] { morph::ShiftColours(t, some); }, true},
        {"written back", [&] { ASSERT_TRUE(snapshot.Load(*head)); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> before = t.rgb;
        const uint64_t count = t.changeCount();
        c.run();
        ASSERT_EQ(head->texture.get(), &t);
        EXPECT_EQ(t.changeCount() != count, c.moves);
        EXPECT_EQ(t.rgb != before, c.moves);
    }
    EXPECT_EQ(t.changeCount(), stored);
    EXPECT_EQ(t.rgb, storedTexels);
    // Painted texels kept into the start copy move its count; none, not.
    const uint64_t startCount = start.changeCount();
    morph::KeepPaintedTexels(t, t.rgb, start);
    EXPECT_EQ(start.changeCount(), startCount);
    std::vector<unsigned char> produced = t.rgb;
    produced[3 * 64 * 20 + 30] ^= 1;
    morph::KeepPaintedTexels(t, produced, start);
    EXPECT_NE(start.changeCount(), startCount);
}

// The Asian slider's head equals the test's own composition of the regions
// of the trafo table, bit for bit; vertices of no gathered triangle stay.
TEST_F(ModelPage, AsianSliderIsTheCompositionOfItsRegions) {
    Load();
    GiveTexture(64, false);
    ModelPageCore page(true);
    page.Open(*head, doc(), positions);
    const std::vector<vector3<double>> start = Positions(*head);
    move(page, 2, 5, {kRelease});
    const std::vector<vector3<double>> morphed = Positions(*head);
    EXPECT_FALSE(BitEqual(morphed, start));

    // Back to the start, then the regions by hand.
    head->set_actual();
    size_t k = 0;
    for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v), ++k)
        head->vertices[v].position = start[k];
    const std::vector<std::vector<std::string>> rows = morphtest::TableRows(145);
    struct Region {
        const char* name;
        int range;
        double factor;
    };
    const Region regions[] = {{"eye_upper_lid", 2, 0.05},      {"eye_lower_lid", 2, -0.05}, {"eye_incorner", 2, 0.05},
                              {"nose_bottom_width", 2, -0.05}, {"nose_top", 3, 0.05},        {"cheek_lift", 2, -0.05},
                              {"cheek_round", 2, -0.05},       {"chin", 2, 0.1}};
    const double selector[5] = {0.5, 0.75, 1.0, 1.5, 2.0};
    const double a = 10.0 * 2;
    std::set<int> everGathered;
    for (const Region& r : regions) {
        const double rf = selector[r.range];
        struct Control {
            vector3<double> at, dir;
            double strength, radius, factor;
            int type;
        };
        std::vector<Control> controls;
        for (const auto& row : rows) {
            if (row.size() < 9 || row[0] != r.name || row[8].size() < 3 || row[8][1] != '1') continue;
            const Index<featurepoint3> f = head->getFeaturepoint(row[1].c_str(), false);
            if (f == -1 || head->featurepoints[f].vtx == -1) continue;
            const vertex& v = head->vertices[head->featurepoints[f].vtx];
            const triangle& t = head->triangles[v.triangles[v.triangles.first()]];
            const vector3<double> pa = head->vertices[t.a].position, pb = head->vertices[t.b].position,
                                  pc = head->vertices[t.c].position;
            Control c;
            c.at = (pa + pb + pc) / 3.0;
            const int axis = std::atoi(row[5].c_str());
            c.dir = axis == 1 ? vector3<double>(1, 0, 0)
                    : axis == 2 ? vector3<double>(0, 1, 0)
                    : axis == 3 ? vector3<double>(0, 0, 1)
                                : ((pb - pa) % (pc - pa)).normalized();
            c.strength = rf * std::atof(row[3].c_str());
            c.radius = rf * std::atof(row[4].c_str());
            c.factor = std::atof(row[6].c_str());
            c.type = int(std::atof(row[2].c_str()));
            controls.push_back(c);
        }
        for (int t = head->triangles.first(); t != -1; t = head->triangles.nextOf(t))
            for (const Control& c : controls)
                if ((head->triangles[t].weightpoint() - c.at).length() <= c.radius) {
                    add_triangle_to_gatheredTriangles(t);
                    everGathered.insert(t);
                }
        dynarray<T3DControlPoint> list(0, 10, 1.25, 0.33);
        for (const Control& c : controls) {
            T3DControlPoint& p = list.add();
            p.start = c.at;
            p.target = c.at + c.dir * (a * r.factor * c.factor * 1.0 * 5.0);
            p.radius = int(c.strength);
        }
        if (!controls.empty()) CalculateNewPoints(*head, &list, 2, true, controls.back().type);
    }
    clean_gatheredTriangles();
    EXPECT_TRUE(BitEqual(Positions(*head), morphed));
    k = 0;
    int still = 0;
    for (int v = head->vertices.first(); v != -1; v = head->vertices.nextOf(v), ++k) {
        const commonlistindex<triangle>& ts = head->vertices[v].triangles;
        bool inside = ts.first() != -1;
        for (int n = ts.first(); n != -1 && inside; n = ts.nextOf(n)) inside = everGathered.count(ts[n]) != 0;
        if (!inside) {
            ASSERT_EQ(morphed[k], start[k]) << v;
            ++still;
        }
    }
    EXPECT_GT(still, 1000);
}

// Where the age map puts the wrinkles of the outer eye corners: beside the
// corners' texels, in the picture-editor layout and in the full flow's
// (the face in the lower half of the texture).
TEST_F(ModelPage, AgeMapGroovesLieAtTheEyeCorners) {
    for (bool half : {false, true}) {
        SCOPED_TRACE(half ? "half height" : "whole texture");
        carried = {};
        Load();
        GiveTexture(512, half);
        ModelPageCore page(false);
        page.Open(*head, doc(), positions);
        ASSERT_EQ(ageMap.GetWidth(), 512);
        for (const char* name : {"left_corner_of_the_left_eye", "right_corner_of_the_right_eye"}) {
            SCOPED_TRACE(name);
            int cx = 0, cy = 0;
            ASSERT_TRUE(morphtest::FixedPointTexel(*head, name, 512, cx, cy));
            double nearest = 1e9;
            for (int y = std::max(0, cy - 40); y < std::min(512, cy + 40); ++y)
                for (int x = std::max(0, cx - 40); x < std::min(512, cx + 40); ++x)
                    if (ageMap.GetPixel(x, y).GetR() < 150) nearest = std::min(nearest, std::hypot(x - cx, y - cy));
            EXPECT_LE(nearest, 12.0);
        }
    }
}

// The warp of the age map: a picture with a dot at each node of the age
// grid; every dot lands on its target (the texel of the feature point of
// its name, else where it was), and the fill leaves no empty texel beside a
// written one.
TEST_F(ModelPage, AgeMapWarpTakesEachNodeToItsTarget) {
    Load();
    GiveTexture(512, false);
    std::vector<std::pair<int, int>> dots;
    struct Node {
        std::string name;
        int x, y;
    };
    std::vector<Node> nodes;
    for (const auto& row : morphtest::TableRows(154)) {
        if (row.size() < 4 || std::atoi(row[1].c_str()) < 1) continue;
        const int x = std::atoi(row[2].c_str()), y = std::atoi(row[3].c_str());
        if (x >= 1024 || y >= 1024) continue;  // the corners beyond the picture
        nodes.push_back({row[0], x, y});
        dots.push_back({x, y});
    }
    ASSERT_GE(nodes.size(), 7u);
    const std::vector<unsigned char> bytes = morphtest::BmpBytes(morphtest::DotPicture(dots), "age_dots.bmp");
    ModelPageCore page(false);
    page.Open(*head, doc(), positions, bytes);
    ASSERT_EQ(ageMap.GetWidth(), 512);
    int moved = 0;
    for (const Node& n : nodes) {
        SCOPED_TRACE(n.name);
        int tx = n.x / 2, ty = n.y / 2;
        int fx, fy;
        if (morphtest::FixedPointTexel(*head, n.name.c_str(), 512, fx, fy)) {
            // Moved far, nothing is left where it was.
            if (std::abs(fx - tx) > 8 || std::abs(fy - ty) > 8) {
                EXPECT_FALSE(morphtest::DotAt(ageMap, tx, ty));
                ++moved;
            }
            tx = fx, ty = fy;
        }
        EXPECT_TRUE(morphtest::DotAt(ageMap, tx, ty)) << tx << " " << ty;
    }
    EXPECT_GE(moved, 4);
    int checked = 0;
    for (int y = 3; y <= 512 - 4; ++y)
        for (int x = 3; x <= 512 - 4; ++x) {
            const CPixel32 p = ageMap.GetPixel(x, y);
            if (p.GetA() != 0) continue;
            bool besideWritten = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) besideWritten |= ageMap.GetPixel(x + dx, y + dy).GetA() != 0;
            if (!besideWritten) continue;
            ++checked;
            ASSERT_GE(p.GetR(), 100) << x << " " << y;
        }
    EXPECT_GT(checked, 0);
}

// The warp against the rule read literally: every texel of the picture,
// every grid triangle whose source contains it (InsidePolygon), in that
// order, written at the rounded barycentric image of its targets.
TEST_F(ModelPage, AgeMapWarpWritesWhatTheContainmentTestGivesEveryTexel) {
    Load();
    GiveTexture(256, false);
    CWinBmp picture;
    ASSERT_TRUE(morph::DecodePicture(morph::AgePictureBytes(), picture));
    const int picW = picture.GetWidth(), picH = picture.GetHeight();
    picture.ResizeBilinear(256, 256);
    const std::vector<morph::AgeNode> nodes = morph::AgeGridNodes(*head, 256, 256, picW, picH, 0);
    const std::vector<std::array<int, 3>> triangles = morph::AgeGridTriangles(nodes);
    ASSERT_GT(triangles.size(), 10u);
    CWinBmp warped;
    morph::MeshWarp(picture, nodes, triangles, warped);

    CWinBmp expected;
    expected.Create(256, 256, 32, false);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            for (const auto& t : triangles) {
                vector2<double> src[3], dst[3];
                for (int k = 0; k < 3; ++k) {
                    src[k] = {double(nodes[size_t(t[k])].sx), double(nodes[size_t(t[k])].sy)};
                    dst[k] = {double(nodes[size_t(t[k])].tx), double(nodes[size_t(t[k])].ty)};
                }
                const double e1x = src[1].x - src[0].x, e1y = src[1].y - src[0].y, e2x = src[2].x - src[0].x,
                             e2y = src[2].y - src[0].y, det = e1x * e2y - e2x * e1y;
                if (det == 0 || !fnd::InsidePolygon(x, y, src, 3)) continue;
                const double dx = x - src[0].x, dy = y - src[0].y;
                const double u = e2y / det * dx + -e2x / det * dy, v = -e1y / det * dx + e1x / det * dy, w = 1 - u - v;
                const double tx = std::floor(w * dst[0].x + u * dst[1].x + v * dst[2].x + 0.5);
                const double ty = std::floor(w * dst[0].y + u * dst[1].y + v * dst[2].y + 0.5);
                if (tx < 0 || ty < 0 || tx >= 256 || ty >= 256) continue;
                CPixel32 p = picture.GetPixel(x, y);
                p.SetA(255);
                expected.SetPixel(int(tx), int(ty), p);
            }
    int differ = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) differ += !(warped.GetPixel(x, y) == expected.GetPixel(x, y));
    EXPECT_EQ(differ, 0);
}

}  // namespace

namespace {

// The age map the model page builds for the template head with a texture of
// n, every byte of it, as the page has always built it (the hashes of its
// maps before the warp tried fewer texels).
TEST_F(ModelPage, AgeMapsAsBefore) {
    struct Case {
        int size;
        uint64_t bytes;
    } cases[] = {{256, 0x629830151d6ea088ull}, {1024, 0xc1755a622f39769eull}};
    Load();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        GiveTexture(c.size, false);
        CWinBmp map;
        ASSERT_TRUE(morph::BuildAgeMap(*head, map, 0));
        ASSERT_EQ(map.GetWidth(), c.size);
        uint64_t hash = 1469598103934665603ull;
        for (int y = 0; y < map.GetHeight(); ++y) {
            const uint8_t* row = map.GetLine(y);
            for (int i = 0; i < 4 * map.GetWidth(); ++i) hash = (hash ^ row[i]) * 1099511628211ull;
        }
        EXPECT_EQ(hash, c.bytes);
    }
}

}  // namespace
