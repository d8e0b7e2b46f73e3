#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "picture/emboss.h"
#include "picture/winbmp.h"

namespace {

const double kPi = std::acos(-1.0);

CWinBmp filled(int w, int h, CPixel32 p) {
  CWinBmp bmp;
  bmp.Create(w, h, 32, false);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bmp.SetPixel(x, y, p);
  return bmp;
}

TEST(Emboss, RawShadeOfFlatAreas) {
  // The result's border (not computed) equals the texture, so the closing
  // mean shift is known.
  for (auto [elevationDeg, shade] : {std::pair{90.0, 255}, {0.0, 0}}) {
    CWinBmp height = filled(3, 3, CPixel32(50, 50, 50, 255));
    CWinBmp texture = filled(3, 3, CPixel32(128, 128, 128, 255));
    CWinBmp result = filled(3, 3, CPixel32(128, 128, 128, 0));
    Emboss(&height, &texture, &result, 3 * kPi / 4, elevationDeg * kPi / 180, 3);
    // Inner pixel before the match: shade x 128 / 256; eight border pixels 128.
    int raw = shade * 128 / 256;
    int mean = (8 * 128 + raw) / 9;
    EXPECT_EQ(result.GetPixel(1, 1).GetR(), std::clamp(raw + (128 - mean), 0, 255)) << elevationDeg;
  }
}

TEST(Emboss, SlopeGivesTheKnownShade) {
  // Rows of heights 100 above and 0 below the centre: A = 3 x 100 = 300, B = 0.
  CWinBmp height = filled(3, 3, CPixel32(0, 0, 0, 255));
  for (int x = 0; x < 3; ++x) height.SetPixel(x, 0, CPixel32(100, 100, 100, 255));
  CWinBmp texture = filled(3, 3, CPixel32(255, 255, 255, 255));
  CWinBmp result = filled(3, 3, CPixel32(255, 255, 255, 0));
  Emboss(&height, &texture, &result, 3 * kPi / 4, kPi / 2, 3);
  // shade = 255 x 510 / sqrt(300^2 + 510^2) = 219; raw = 219 x 255 / 256 = 218;
  // the mean shift lifts it by 255 - (8 x 255 + 218) / 9 = 5.
  EXPECT_EQ(result.GetPixel(1, 1).GetG(), 218 + 5);
}

TEST(Emboss, NonSquareBitmapsAreWalkedByTheirRows) {
  CWinBmp height = filled(5, 3, CPixel32(0, 0, 0, 255));
  for (int x = 0; x < 5; ++x) height.SetPixel(x, 0, CPixel32(100, 100, 100, 255));
  CWinBmp texture = filled(5, 3, CPixel32(255, 255, 255, 255));
  CWinBmp result = filled(5, 3, CPixel32(255, 255, 255, 0));
  Emboss(&height, &texture, &result, 3 * kPi / 4, kPi / 2, 3);
  // Three inner pixels of shade 219 (raw 218) among twelve border pixels of 255.
  int shift = 255 - (12 * 255 + 3 * 218) / 15;
  for (int x = 1; x <= 3; ++x) EXPECT_EQ(result.GetPixel(x, 1).GetR(), 218 + shift) << x;
}

TEST(Emboss, NegativeElevationShadesBlackNotWrapped) {
  CWinBmp height = filled(3, 3, CPixel32(10, 10, 10, 255));
  CWinBmp texture = filled(3, 3, CPixel32(200, 200, 200, 255));
  CWinBmp result = filled(3, 3, CPixel32(200, 200, 200, 0));
  Emboss(&height, &texture, &result, 3 * kPi / 4, -20 * kPi / 180, 3);
  int mean = (8 * 200 + 0) / 9;
  EXPECT_EQ(result.GetPixel(1, 1).GetR(), 0 + (200 - mean));
}

TEST(AdjustColor, MatchesTheMeanColour) {
  CWinBmp ref;
  ref.Create(4, 4, 32, false);
  CWinBmp target;
  target.Create(4, 4, 32, true);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      ref.SetPixel(x, y, CPixel32(uint8_t(100 + x * 10), uint8_t(50 + y), uint8_t(200), 255));
      target.SetPixel(x, y, CPixel32(uint8_t(20 + x), uint8_t(90 + y * 5), uint8_t(10 * x), 77));
    }
  AdjustColor(&ref, &target);
  long sum[3] = {0, 0, 0};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      CPixel32 p = target.GetPixel(x, y);
      sum[0] += p.GetR();
      sum[1] += p.GetG();
      sum[2] += p.GetB();
      EXPECT_EQ(p.GetA(), 0);
    }
  // Means of ref: 115, 51, 200 (integer); target: 21, 97, 15.
  EXPECT_EQ(sum[0] / 16, 115);
  EXPECT_EQ(sum[1] / 16, 51);
  EXPECT_EQ(sum[2] / 16, 200);
  EXPECT_EQ(target.GetPixel(0, 0), CPixel32(20 + 94, 90 - 46, 0 + 185, 0));
}

TEST(AdjustColor, ClampsAtTheEnds) {
  CWinBmp ref = filled(2, 1, CPixel32(250, 5, 128, 255));
  CWinBmp target;
  target.Create(2, 1, 32, false);
  target.SetPixel(0, 0, CPixel32(100, 100, 128, 255));
  target.SetPixel(1, 0, CPixel32(200, 20, 128, 255));
  AdjustColor(&ref, &target);  // shifts +100, -55, 0
  EXPECT_EQ(target.GetPixel(1, 0), CPixel32(255, 0, 128, 0));
  EXPECT_EQ(target.GetPixel(0, 0), CPixel32(200, 45, 128, 0));
}

}  // namespace
