// The photo behind the overlay's merged display, from pictures of every depth.
#include <gtest/gtest.h>

#include <cstdint>

#include "picture/winbmp.h"
#include "views/merged_photo.h"

namespace {

// A 24-bit picture (what a project without stored photo bytes leaves) and
// its 32-bit twin scale to the same pixels, small and large.
TEST(ScaledPhoto, TwentyFourBitPhotosScaleLikeTheirThirtyTwoBitTwins) {
    for (int side : {8, 40}) {
        CWinBmp deep, flat;
        deep.Create(side, side, 32, false);
        flat.Create(side, side, 24, false);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const uint8_t r = uint8_t(x * 6), g = uint8_t(y * 5), b = uint8_t(x + y);
                deep.SetPixel(x, y, CPixel32(r, g, b, 255));
                uint8_t* row = flat.GetLineArray()[y];
                row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
            }
        views::ScaledPhoto a, b;
        ASSERT_TRUE(a.prepare(&deep, 99, 99));
        ASSERT_TRUE(b.prepare(&flat, 99, 99));
        ASSERT_EQ(a.width(), b.width());
        ASSERT_EQ(a.height(), b.height());
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << side << " " << x << "," << y;
    }
}

}  // namespace
