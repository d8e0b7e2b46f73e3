// The model page's ageing on a head textured as the full work flow
// textures it (the face in the synthesised layout of the texture's upper
// half): the age grid keeps its shape on the way to the head's feature
// points, the wrinkles land on the face where a face has them, and age 0
// after age 6 gives back the texture as it was.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/age_map.h"
#include "dialogs/morph_pages.h"
#include "dialogs/texture_morph.h"
#include "model/brush.h"
#include "picture/winbmp.h"
#include "tests/fitting/template_pipeline.h"

namespace {

constexpr int kSize = 512;
constexpr int kRelease = 4;

// A photo as a camera gives it: smooth skin-like colours.
CWinBmp SmoothPhoto(int w, int h) {
    CWinBmp b;
    b.Create(w, h, 32, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.SetPixel(x, y,
                       CPixel32(uint8_t(170 + 30 * std::sin(x / 97.0)), uint8_t(120 + 25 * std::cos(y / 83.0)),
                                uint8_t(100 + 20 * std::sin((x + y) / 131.0)), 0));
    return b;
}

class AgeLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(run.loadTemplate(101)) << "the male template head cannot be read";
        run.services->document.state().templateId = 101;
        CWinBmp photo = SmoothPhoto(1024, 768);
        const std::string scratch =
            (std::filesystem::temp_directory_path() / ("brv_age_layout_" + std::to_string(::getpid()) + ".bmp"))
                .string();
        run.setPhotoFile(photo, scratch);
        vector3<double> eye, center, up;
        CalculateEyeFromAngles({0, 0, 640}, {0, 0, 0}, {0, 1, 0}, -6 * M_PI / 180, 0, 0, &eye, &center, &up);
        const ProjectionCore known =
            pipeline::Run::cameraOver(run.photoWidth(), run.photoHeight(), eye, center, up, 28.0);
        for (const pipeline::Mark& m : run.featurePointsThrough(pipeline::Run::toPhoto(known))) run.addPhotoPoint(m);
        CameraFound found;
        ASSERT_TRUE(run.cameraSearch(&found));
        HeadToPhotoTrafo();
        run.connectOctreeVisibility();
        run.services->document.state().textureSize = kSize;
        MakeFullTexture(7u);
        ASSERT_TRUE(run.head().texture);
        ASSERT_EQ(run.head().texture->width, kSize);
        run.head().set_actual();
    }
    void TearDown() override { fnd::resetRandom(); }

    // The texel of a feature point of the head.
    vector2<double> Texel(const char* name) {
        head3& h = run.head();
        const Index<featurepoint3> f = h.getFeaturepoint(name, false);
        int x = -1, y = -1;
        EXPECT_NE(f, -1) << name;
        if (f != -1) { EXPECT_TRUE(morph::PointTexel(h, h.featurepoints[f], x, y)) << name; }
        return vector2<double>(x, y);
    }

    morph::ModelPageDocument doc() { return {age, weight, carried, ageMap, 0}; }

    pipeline::Run run;
    int age = 0, weight = 3;
    morph::CarriedMorph carried;
    CWinBmp ageMap;
    int positions[morph::kSliderCount] = {};
};

double Area(const vector2<double>& a, const vector2<double>& b, const vector2<double>& c) {
    return ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2;
}

// Every triangle of the age grid keeps its orientation and roughly its
// size from the wrinkle picture to the texture.
TEST_F(AgeLayout, TheAgeGridKeepsItsShape) {
    CWinBmp picture;
    ASSERT_TRUE(morph::DecodePicture(morph::AgePictureBytes(), picture));
    const std::vector<morph::AgeNode> nodes =
        morph::AgeGridNodes(run.head(), kSize, kSize, picture.GetWidth(), picture.GetHeight(), 0);
    const std::vector<std::array<int, 3>> triangles = morph::AgeGridTriangles(nodes);
    ASSERT_EQ(triangles.size(), 16u);
    int moved = 0;
    for (const morph::AgeNode& n : nodes) moved += n.tx != n.sx || n.ty != n.sy;
    EXPECT_GE(moved, 7) << "the face's nodes go to the head's points";
    for (size_t k = 0; k < triangles.size(); ++k) {
        SCOPED_TRACE(k + 1);
        vector2<double> s[3], d[3];
        for (int c = 0; c < 3; ++c) {
            const morph::AgeNode& n = nodes[size_t(triangles[k][c])];
            s[c] = {double(n.sx), double(n.sy)};
            d[c] = {double(n.tx), double(n.ty)};
        }
        const double from = Area(s[0], s[1], s[2]), to = Area(d[0], d[1], d[2]);
        EXPECT_GT(from * to, 0) << "flipped";
        EXPECT_LT(std::max(to / from, from / to), 3.0) << from << " -> " << to;
    }
}

// Age 6: the relief (the aged texture against one aged over a flat map)
// lies on the face between the forehead and the chin, and there are
// grooves beside the outer eye corners; age 0 gives back the start.
TEST_F(AgeLayout, WrinklesLieOnTheFaceAndAgeZeroGivesTheTextureBack) {
    head3& h = run.head();
    const std::vector<unsigned char> start = h.texture->rgb;
    morph::ModelPageCore page(true);
    page.Open(h, doc(), positions);
    ASSERT_EQ(ageMap.GetWidth(), kSize);
    EXPECT_EQ(h.texture->rgb, start);
    positions[morph::kAge] = 6;
    page.Scroll(h, doc(), kRelease, positions);
    ASSERT_EQ(page.applied()[morph::kAge], 6);
    const std::vector<unsigned char> aged = h.texture->rgb;

    TextureImage flat;
    flat.width = flat.height = kSize;
    flat.rgb = start;
    CWinBmp level;
    level.Create(kSize, kSize, 32, false);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) level.SetPixel(x, y, CPixel32(184, 184, 184, 255));
    morph::ModTexture(flat, level, 6);

    const vector2<double> eyeL = Texel("left_corner_of_the_left_eye"), eyeR = Texel("right_corner_of_the_right_eye");
    const vector2<double> forehead = Texel("top_of_the_forehead"), chin = Texel("_contour_270");
    const double eyes = dist(eyeL, eyeR);
    ASSERT_GT(eyes, 10);
    const double x0 = std::min(eyeL.x, eyeR.x) - 0.5 * eyes, x1 = std::max(eyeL.x, eyeR.x) + 0.5 * eyes;
    const double y0 = std::min(forehead.y, chin.y) - 0.1 * eyes, y1 = std::max(forehead.y, chin.y) + 0.1 * eyes;
    // The map's outer band of 3 texels is never filled (no triangle of the
    // layout reaches it): it is left out.
    int relief = 0, off = 0, besideEyes = 0;
    for (int y = 4; y < kSize - 4; ++y)
        for (int x = 4; x < kSize - 4; ++x) {
            const size_t i = (size_t(y) * kSize + x) * 3;
            int d = 0;
            for (int c = 0; c < 3; ++c) d = std::max(d, std::abs(int(aged[i + c]) - int(flat.rgb[i + c])));
            if (d < 12) continue;
            ++relief;
            if (x < x0 || x > x1 || y < y0 || y > y1) ++off;
            const vector2<double> p(x, y);
            if (std::min(dist(p, eyeL), dist(p, eyeR)) < 0.5 * eyes) ++besideEyes;
        }
    EXPECT_GT(relief, 200);
    EXPECT_LT(off, relief / 50) << off << " of " << relief << " off the face";
    EXPECT_GT(besideEyes, 20);

    positions[morph::kAge] = 0;
    page.Scroll(h, doc(), kRelease, positions);
    EXPECT_EQ(h.texture->rgb, start);
}

}  // namespace
