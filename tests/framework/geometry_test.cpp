#include "framework/geometry.h"

#include <gtest/gtest.h>

namespace {

TEST(Geometry, PtInRectHoldsLeftAndTopButNotRightAndBottom) {
  const CRect r(0, 0, 10, 10);
  struct Case {
    int x, y;
    bool inside;
  };
  const Case cases[] = {
      {0, 0, true},    {9, 9, true},   {5, 0, true},   {10, 10, false}, {0, 10, false},
      {10, 0, false},  {11, 5, false}, {-1, 5, false}, {5, -1, false},
  };
  for (const Case& c : cases) EXPECT_EQ(r.PtInRect(CPoint(c.x, c.y)) != FALSE, c.inside) << c.x << "," << c.y;
  EXPECT_FALSE(CRect(5, 5, 5, 9).PtInRect(CPoint(5, 6)));  // an empty rectangle holds nothing
}

TEST(Geometry, RectArithmetic) {
  CRect r;
  EXPECT_TRUE(r == CRect(0, 0, 0, 0));
  EXPECT_TRUE(r.IsRectEmpty());
  r.SetRect(10, 20, 40, 80);
  EXPECT_EQ(r.Width(), 30);
  EXPECT_EQ(r.Height(), 60);
  EXPECT_TRUE(r.CenterPoint() == CPoint(25, 50));
  r.OffsetRect(-10, 5);
  EXPECT_TRUE(r == CRect(0, 25, 30, 85));
  r.InflateRect(2, 3);
  EXPECT_TRUE(r == CRect(-2, 22, 32, 88));
  CRect flipped(30, 40, 10, 20);
  flipped.NormalizeRect();
  EXPECT_TRUE(flipped == CRect(10, 20, 30, 40));
  EXPECT_TRUE(CRect(CPoint(1, 2), CSize(3, 4)) == CRect(1, 2, 4, 6));
  EXPECT_TRUE(CPoint(5, 7) - CPoint(1, 2) == CSize(4, 5));
  EXPECT_TRUE(CPoint(1, 2) + CSize(4, 5) == CPoint(5, 7));
}

}  // namespace
