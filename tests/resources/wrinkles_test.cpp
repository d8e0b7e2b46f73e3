// The age wrinkle map, decoded by the picture library's JPEG decoder, against
// the age-point table read through its reader: grooves only on the face, and
// at the places of the ageing lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "model/featuretables.h"
#include "tests/resources/resource_pictures.h"
#include "tests/support/fakes.h"

namespace {

constexpr int kDark = 128;  // the flat level is well above, the grooves well below

struct Node {
    int x = 0, y = 0;
};

class Wrinkles : public ::testing::Test {
protected:
    void SetUp() override {
        resetFeatureTables();
        map = respic::DecodeResource("BACKGROUNDS", 278);
        CString code;
        int serial, x, y;
        for (int n = 0; GetAgePointInfo(n, &code, &serial, &x, &y); ++n)
            // the numbered nodes inside the grid; the four corners frame it
            if (serial > 0 && x > 0 && x < 1024 && y > 0 && y < 1024) nodes[std::string(code.View())] = {x, y};
    }
    void TearDown() override { resetFeatureTables(); }

    bool dark(int x, int y) const { return map.at(x, y).r < kDark; }
    // Whether the box (ends included) holds a dark pixel.
    bool darkIn(int x0, int y0, int x1, int y1) const {
        for (int y = std::max(0, y0); y <= std::min(1023, y1); ++y)
            for (int x = std::max(0, x0); x <= std::min(1023, x1); ++x)
                if (dark(x, y)) return true;
        return false;
    }

    fakes::Services services;
    respic::Picture map;
    std::map<std::string, Node> nodes;
};

TEST_F(Wrinkles, GreyMapOfTheGridSize) {
    ASSERT_EQ(map.width, 1024);
    ASSERT_EQ(map.height, 1024);
    for (const respic::Rgb& c : map.px) ASSERT_TRUE(c.r == c.g && c.g == c.b);
    EXPECT_EQ(nodes.size(), 7u);
}

TEST_F(Wrinkles, GroovesOnlyInsideTheFaceNodesWidenedBy60) {
    int x0 = 1024, y0 = 1024, x1 = 0, y1 = 0;
    for (const auto& [name, n] : nodes) {
        x0 = std::min(x0, n.x), y0 = std::min(y0, n.y), x1 = std::max(x1, n.x), y1 = std::max(y1, n.y);
    }
    x0 -= 60, y0 -= 60, x1 += 60, y1 += 60;
    long darkPixels = 0;
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x) {
            if (!dark(x, y)) continue;
            ++darkPixels;
            ASSERT_TRUE(x >= x0 && x <= x1 && y >= y0 && y <= y1) << x << "," << y;
        }
    EXPECT_GT(darkPixels, 2000);
    // the flat level around the face
    EXPECT_GT(map.at(100, 100).r, kDark + 30);
    EXPECT_GT(map.at(900, 980).r, kDark + 30);
}

TEST_F(Wrinkles, GroovesAtTheAgeingLines) {
    const Node forehead = nodes.at("top_of_the_forehead");
    const Node eyeL = nodes.at("left_corner_of_the_left_eye"), eyeR = nodes.at("right_corner_of_the_right_eye");
    const Node nose = nodes.at("tip_of_the_nose");
    const Node mouthL = nodes.at("left_corner_of_the_mouth"), mouthR = nodes.at("right_corner_of_the_mouth");
    // beside each outer eye corner, outwards
    EXPECT_TRUE(darkIn(eyeL.x - 60, eyeL.y - 30, eyeL.x - 8, eyeL.y + 30));
    EXPECT_TRUE(darkIn(eyeR.x + 8, eyeR.y - 30, eyeR.x + 60, eyeR.y + 30));
    // on the eye corners themselves nothing
    EXPECT_FALSE(darkIn(eyeL.x - 3, eyeL.y - 3, eyeL.x + 3, eyeL.y + 3));
    EXPECT_FALSE(darkIn(eyeR.x - 3, eyeR.y - 3, eyeR.x + 3, eyeR.y + 3));
    // between the nose-tip row and the mouth row, on both sides of the nose
    const int mouthRow = std::min(mouthL.y, mouthR.y);
    EXPECT_TRUE(darkIn(eyeL.x, nose.y + 1, nose.x - 20, mouthRow - 1));
    EXPECT_TRUE(darkIn(nose.x + 20, nose.y + 1, eyeR.x, mouthRow - 1));
    // between the forehead node and the eye row
    EXPECT_TRUE(darkIn(eyeL.x, forehead.y + 1, eyeR.x, std::min(eyeL.y, eyeR.y) - 1));
    // below each mouth corner
    for (const Node& m : {mouthL, mouthR}) EXPECT_TRUE(darkIn(m.x - 25, m.y + 8, m.x + 25, m.y + 80));
}

}  // namespace
