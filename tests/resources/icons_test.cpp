// Icons, the cursor and the small bitmaps: ImageMagick reads the icon files as
// our reader does, the corner markers are L brackets at their own corners, the
// cursor's hotspot is the centre of its cross, and the icon-bar pictures follow
// their hints.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/resources.h"
#include "tests/picture/picture_magick.h"
#include "tests/resources/resource_pictures.h"

namespace {

using respic::IconImage;
using respic::Rgb;

std::vector<IconImage> icons(const char* type, unsigned number) {
    return respic::ReadIconFile(respic::Bytes(type, number), std::string(type) == "ICON" ? 1 : 2);
}

// ImageMagick's reading of every image of the file: colours where the mask
// covers, transparency elsewhere.
void expectImageMagickAgrees(const char* type, unsigned number, const std::string& format) {
    SCOPED_TRACE(std::string(type) + " " + std::to_string(number));
    std::span<const unsigned char> bytes = respic::Bytes(type, number);
    std::string path = magick::TempPath(std::to_string(number) + "." + format);
    magick::WriteFile(path, magick::Bytes(bytes.begin(), bytes.end()));
    std::vector<IconImage> ours = icons(type, number);
    for (size_t k = 0; k < ours.size(); ++k) {
        magick::Picture ref = magick::Decode(format + ":" + path + "[" + std::to_string(k) + "]");
        const IconImage& img = ours[k];
        ASSERT_EQ(ref.width, img.width);
        ASSERT_EQ(ref.height, img.height);
        int differ = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x) {
                const uint8_t* q = &ref.rgba[(static_cast<size_t>(y) * img.width + x) * 4];
                bool opaque = q[3] > 127;
                if (opaque != img.covers(x, y)) ++differ;
                else if (opaque && !(Rgb{q[0], q[1], q[2]} == img.colour[static_cast<size_t>(y) * img.width + x]))
                    ++differ;
            }
        EXPECT_EQ(differ, 0) << "image " << k;
    }
    std::remove(path.c_str());
}

TEST(Icons, FrameIconHasBothSizesWithMasksAndImageMagickAgrees) {
    std::vector<IconImage> images = icons("ICON", 128);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].width, 32);
    EXPECT_EQ(images[1].width, 16);
    for (const IconImage& img : images) {
        long covered = std::count(img.opaque.begin(), img.opaque.end(), true);
        EXPECT_GT(covered, img.width * img.height / 3);   // a face, not a speck
        EXPECT_LT(covered, img.width * img.height);       // and not a square
        EXPECT_FALSE(img.covers(0, 0));
    }
    expectImageMagickAgrees("ICON", 128, "ico");
}

// 138 top left, 136 top right, 139 bottom left, 137 bottom right.
TEST(Icons, CornerMarkersAreBracketsAtTheirOwnCorners) {
    struct Case {
        unsigned number;
        bool right, bottom;
    };
    const Case cases[] = {{138, false, false}, {136, true, false}, {139, false, true}, {137, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        std::vector<IconImage> images = icons("ICON", c.number);
        ASSERT_EQ(images.size(), 1u);
        const IconImage& img = images[0];
        ASSERT_EQ(img.width, 32);
        ASSERT_EQ(img.height, 32);
        // in the marker's own frame: its corner at (0, 0)
        auto covers = [&](int u, int v) { return img.covers(c.right ? 31 - u : u, c.bottom ? 31 - v : v); };
        EXPECT_TRUE(covers(0, 0));
        EXPECT_FALSE(covers(31, 0));
        EXPECT_FALSE(covers(0, 31));
        EXPECT_FALSE(covers(31, 31));
        // an L: both arms run from the corner along its two edges, as long as
        // each other and no longer than half the icon; nothing beyond them
        int armX = 0, armY = 0, thickX = 0, thickY = 0;
        while (armX < 32 && covers(armX, 0)) ++armX;
        while (armY < 32 && covers(0, armY)) ++armY;
        while (thickX < 32 && covers(armX - 1, thickX)) ++thickX;
        while (thickY < 32 && covers(thickY, armY - 1)) ++thickY;
        EXPECT_EQ(armX, armY);
        EXPECT_LE(armX, 24);
        EXPECT_GE(armX, 3 * thickX);
        EXPECT_EQ(thickX, thickY);
        for (int v = 0; v < 32; ++v)
            for (int u = 0; u < 32; ++u) {
                bool inArm = (u < armX && v < thickX) || (u < thickY && v < armY);
                EXPECT_EQ(covers(u, v), inArm) << u << "," << v;
            }
        // one colour over the whole bracket
        std::set<std::tuple<int, int, int>> colours;
        for (int i = 0; i < 32 * 32; ++i)
            if (img.opaque[i]) colours.insert({img.colour[i].r, img.colour[i].g, img.colour[i].b});
        EXPECT_EQ(colours.size(), 1u);
        expectImageMagickAgrees("ICON", c.number, "ico");
    }
}

TEST(Icons, CropCursorIsACrossAroundItsHotspot) {
    std::vector<IconImage> images = icons("CURSOR", 233);
    ASSERT_EQ(images.size(), 1u);
    const IconImage& img = images[0];
    ASSERT_EQ(img.width, 32);
    ASSERT_EQ(img.height, 32);
    const int hx = img.hotspotX, hy = img.hotspotY;
    // the centre of a 32 x 32 picture, to a pixel
    EXPECT_TRUE(hx == 15 || hx == 16);
    EXPECT_TRUE(hy == 15 || hy == 16);
    int covered = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            if (!img.covers(x, y)) continue;
            ++covered;
            // a cross: on the hotspot's row or column (with a rim of one pixel),
            // symmetric about the hotspot
            EXPECT_TRUE(std::abs(x - hx) <= 1 || std::abs(y - hy) <= 1) << x << "," << y;
            int mx = 2 * hx - x, my = 2 * hy - y;
            ASSERT_TRUE(mx >= 0 && mx < 32 && my >= 0 && my < 32) << x << "," << y;
            EXPECT_TRUE(img.covers(mx, y) && img.covers(x, my)) << x << "," << y;
        }
    EXPECT_GT(covered, 60);
    // arms reaching out at least ten pixels each way
    EXPECT_TRUE(img.covers(hx - 10, hy) && img.covers(hx + 10, hy) && img.covers(hx, hy - 10) &&
                img.covers(hx, hy + 10));
    expectImageMagickAgrees("CURSOR", 233, "cur");
}

TEST(Bitmaps, ListStateImagesAreDistinctGlyphsOnTheMaskBlue) {
    respic::Picture p = respic::DecodeResource("BITMAP", 153);
    ASSERT_EQ(p.width, 440);
    ASSERT_EQ(p.height, 16);
    const Rgb blue{0, 0, 255};
    std::vector<std::vector<Rgb>> images(11);
    for (int i = 0; i < 11; ++i) {
        SCOPED_TRACE(i);
        int x0 = 40, y0 = 16, x1 = -1, y1 = -1;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 40; ++x) {
                const Rgb& c = p.at(40 * i + x, y);
                images[i].push_back(c);
                if (c == blue) continue;
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            }
        if (i > 2) continue;
        // the three images the list uses: a glyph with blue all round it and
        // none inside it
        ASSERT_GE(x1, x0);
        EXPECT_TRUE(x0 > 0 && y0 > 0 && x1 < 39 && y1 < 15);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) EXPECT_FALSE(p.at(40 * i + x, y) == blue) << x << "," << y;
    }
    EXPECT_NE(images[0], images[1]);
    EXPECT_NE(images[1], images[2]);
    EXPECT_NE(images[0], images[2]);
}

TEST(Bitmaps, FreehandModePicturesAreDistinctAndSharperFrom242To239) {
    const unsigned order[] = {242, 241, 240, 239};
    std::vector<respic::Picture> pics;
    long previous = 32 * 32;
    for (unsigned n : order) {
        SCOPED_TRACE(n);
        respic::Picture p = respic::DecodeResource("BITMAP", n);
        ASSERT_EQ(p.width, 32);
        ASSERT_EQ(p.height, 32);
        const Rgb white{255, 255, 255};
        EXPECT_TRUE(p.at(0, 0) == white && p.at(31, 0) == white);
        // the narrower the bump, the less it inks
        long inked = std::count_if(p.px.begin(), p.px.end(), [&](const Rgb& c) { return !(c == white); });
        EXPECT_LT(inked, previous);
        previous = inked;
        for (const respic::Picture& q : pics) EXPECT_NE(q.px, p.px);
        pics.push_back(p);
    }
}

// Each icon-bar picture with the string id of the hint shown over it.
const std::map<unsigned, unsigned>& iconHints() {
    static const std::map<unsigned, unsigned> table = {
        {370, 61262}, {371, 61263}, {372, 61264}, {373, 61265}, {374, 61266}, {375, 61267}, {376, 61268},
        {377, 61269}, {378, 61270}, {379, 61271},
        {380, 61232}, {381, 61233}, {382, 61234}, {383, 61235}, {384, 61236}, {385, 61237}, {386, 61238},
        {387, 61239}, {388, 61240},
        {390, 61241}, {391, 61242}, {392, 61243}, {393, 61244}, {394, 61245}, {395, 61246}, {396, 61247},
        {397, 61248}, {398, 61249}, {399, 61250},
        {400, 61251}, {401, 61252}, {402, 61253}, {403, 61254}, {404, 61255}, {405, 61256}, {406, 61257},
        {407, 61258}, {408, 61259}, {409, 61260}, {410, 61261}, {411, 61272}, {412, 61273},
    };
    return table;
}

TEST(Bitmaps, IconBarPicturesAreEqualExactlyWhenTheirHintsAre) {
    std::map<unsigned, respic::Picture> pics;
    std::map<unsigned, std::string> hint;
    const respic::Rgb grey{212, 208, 200};
    for (const auto& [number, id] : iconHints()) {
        SCOPED_TRACE(number);
        ASSERT_TRUE(brv::LoadStringText(id, &hint[number]));
        EXPECT_EQ(respic::BmpDepth(respic::Bytes("BITMAP", number)), 24);
        pics[number] = respic::DecodeResource("BITMAP", number);
        ASSERT_EQ(pics[number].width, 20);
        ASSERT_EQ(pics[number].height, 20);
        EXPECT_TRUE(pics[number].at(0, 19) == grey || pics[number].at(19, 0) == grey);
    }
    int same = 0;
    for (const auto& [a, pa] : pics)
        for (const auto& [b, pb] : pics) {
            if (a >= b) continue;
            bool equalHints = hint[a] == hint[b];
            same += equalHints;
            EXPECT_EQ(pa.px == pb.px, equalHints) << a << " \"" << hint[a] << "\", " << b << " \"" << hint[b] << "\"";
        }
    EXPECT_GT(same, 20);
}

}  // namespace
