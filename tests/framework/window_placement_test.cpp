// Where windows go: centring kept on the screen, child windows dragged by
// their title bars, and what a child leaves behind when it goes.
#include <string>
#include <vector>

#include "window_support.h"

namespace {

using brv::HeadlessDriver;
using brv::Record;

// Whether the update rectangle takes in all of r.
bool Covers(const CRect& invalid, const CRect& r) {
  return invalid.left <= r.left && invalid.top <= r.top && invalid.right >= r.right && invalid.bottom >= r.bottom;
}

class PlacementTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    brv::ScreenMetrics m;
    m.screenWidth = 640;
    m.screenHeight = 480;
    driver.Backend().SetMetrics(m);
  }
};

struct CentreCase {
  const char* what;
  CSize size;
  CRect owner;  // empty: no owner
  CPoint want;
};

TEST_F(PlacementTest, CenterWindowKeepsTheTopLeftOnTheScreen) {
  const CentreCase cases[] = {
      {"fits the screen", CSize(300, 200), CRect(), CPoint(170, 140)},
      {"larger than the screen", CSize(790, 578), CRect(), CPoint(0, 0)},
      {"wider only", CSize(700, 100), CRect(), CPoint(0, 190)},
      {"over an owner at the right", CSize(300, 200), CRect(400, 300, 640, 480), CPoint(340, 280)},
      {"over an owner off the top left", CSize(300, 200), CRect(-300, -200, 100, 100), CPoint(0, 0)},
      {"over an owner in the middle", CSize(100, 50), CRect(100, 100, 300, 200), CPoint(150, 125)},
  };
  for (const CentreCase& c : cases) {
    SCOPED_TRACE(c.what);
    CWnd owner, w;
    if (!c.owner.IsRectEmpty()) MakeTopLevel(&owner, "Owner", c.owner);
    w.CreateEx(0, AFX_WND_CLASS, "W", WS_POPUP | WS_CAPTION | WS_VISIBLE, CRect(CPoint(5, 5), c.size),
               owner.m_hWnd ? &owner : nullptr, 0);
    ASSERT_NE(w.m_hWnd, nullptr);
    w.CenterWindow();
    CRect r;
    w.GetWindowRect(&r);
    EXPECT_EQ(r.TopLeft(), c.want);
    EXPECT_EQ(r.Size(), c.size);
    w.DestroyWindow();
    if (owner.m_hWnd) owner.DestroyWindow();
  }
}

TEST_F(PlacementTest, CenteredChildStaysInItsParentsClient) {
  CWnd parent;
  MakeTopLevel(&parent, "Parent", CRect(0, 0, 400, 300), WS_POPUP | WS_VISIBLE);
  const struct {
    CSize size;
    CPoint want;
  } cases[] = {{CSize(200, 100), CPoint(100, 100)}, {CSize(500, 100), CPoint(0, 100)}, {CSize(100, 400), CPoint(150, 0)}};
  for (const auto& c : cases) {
    CWnd child;
    child.CreateEx(0, AFX_WND_CLASS, "", WS_CHILD | WS_VISIBLE, CRect(CPoint(7, 7), c.size), &parent, 1);
    child.CenterWindow();
    EXPECT_EQ(Record(child.m_hWnd)->rect.TopLeft(), c.want) << c.size.cx << "x" << c.size.cy;
    child.DestroyWindow();
  }
  parent.DestroyWindow();
}

TEST_F(PlacementTest, ADialogLargerThanTheScreenOpensAtItsTopLeft) {
  Layout("DIALOG", 900, "dialog 900 IDD_BIG \"Big\" 523 341 popup caption visible\n");
  Layout("DIALOG", 901, "dialog 901 IDD_SMALL \"Small\" 100 50 popup caption visible\n");
  CDialog big, small;
  ASSERT_TRUE(big.Create(900u, nullptr));
  ASSERT_TRUE(small.Create(901u, nullptr));
  CRect b, s;
  big.GetWindowRect(&b);
  small.GetWindowRect(&s);
  EXPECT_GT(b.Width(), 640);
  EXPECT_EQ(b.TopLeft(), CPoint(0, 0));
  // A small one is centred on the screen as before.
  EXPECT_EQ(s.TopLeft(), CPoint((640 - s.Width()) / 2, (480 - s.Height()) / 2));
  big.DestroyWindow();
  small.DestroyWindow();
}

class ClickCount : public CWnd {
 public:
  int downs = 0;
  void OnLButtonDown(UINT, CPoint) override { ++downs; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ClickCount, CWnd)
  ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

// A child page with a caption over a sibling, in a frame's client.
class ChildPageTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    MakeTopLevel(&frame, "Frame", CRect(100, 100, 700, 600), WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN);
    below.CreateEx(0, AFX_WND_CLASS, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 600, 500), &frame, 1);
    page.CreateEx(0, AFX_WND_CLASS, "Page", WS_CHILD | WS_CAPTION | WS_VISIBLE, CRect(20, 30, 220, 180), &frame, 2);
    page.SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    driver.Pump();
  }
  void TearDown() override {
    if (frame.m_hWnd) frame.DestroyWindow();
    WindowingTest::TearDown();
  }
  CWnd frame, below;
  ClickCount page;
};

TEST_F(ChildPageTest, ItsTitleBarDragsItAndItsClientTakesTheClick) {
  const int caption = driver.Backend().Metrics().caption;
  CRect before = Record(page.m_hWnd)->rect;
  // The title bar lies above the client: negative client rows.
  driver.Drag(page.m_hWnd, CPoint(40, -caption / 2), CPoint(40 + 75, -caption / 2 + 42));
  driver.Pump();
  EXPECT_EQ(Record(page.m_hWnd)->rect, CRect(before.left + 75, before.top + 42, before.right + 75, before.bottom + 42));
  EXPECT_EQ(page.downs, 0);
  // Dragged back beyond the frame's left: it follows there too.
  driver.Drag(page.m_hWnd, CPoint(10, -caption / 2), CPoint(10 - 200, -caption / 2));
  driver.Pump();
  EXPECT_EQ(Record(page.m_hWnd)->rect.left, before.left + 75 - 200);
  // A press in the client is the page's own and moves nothing.
  CRect placed = Record(page.m_hWnd)->rect;
  driver.Drag(page.m_hWnd, CPoint(150, 50), CPoint(180, 90));
  driver.Pump();
  EXPECT_EQ(Record(page.m_hWnd)->rect, placed);
  EXPECT_EQ(page.downs, 1);
}

TEST_F(ChildPageTest, AClickOnTheTitleBarBringsItAboveItsSiblings) {
  // Another page over the lower right of this one, its title bar free.
  CWnd other;
  other.CreateEx(0, AFX_WND_CLASS, "Other", WS_CHILD | WS_CAPTION | WS_VISIBLE, CRect(100, 100, 300, 250), &frame, 3);
  other.SetWindowPos(&CWnd::wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ASSERT_EQ(Record(frame.m_hWnd)->children.front(), other.m_hWnd);
  CRect before = Record(page.m_hWnd)->rect;
  driver.Click(page.m_hWnd, CPoint(40, -driver.Backend().Metrics().caption / 2));
  driver.Pump();
  EXPECT_EQ(Record(frame.m_hWnd)->children.front(), page.m_hWnd);
  EXPECT_EQ(Record(page.m_hWnd)->rect, before);
  EXPECT_EQ(page.downs, 0);
}

TEST_F(ChildPageTest, WhatItCoveredIsPaintedAgainWhenItGoes) {
  ASSERT_TRUE(Record(below.m_hWnd)->invalid.IsRectEmpty());
  CRect covered = Record(page.m_hWnd)->rect;
  page.DestroyWindow();
  // The sibling under it repaints the page's place, though the frame clips
  // its children.
  EXPECT_TRUE(Covers(Record(below.m_hWnd)->invalid, covered));
}

TEST_F(ChildPageTest, HidingOrMovingItRepaintsTheSiblingUnderIt) {
  CRect covered = Record(page.m_hWnd)->rect;
  page.ShowWindow(SW_HIDE);
  EXPECT_TRUE(Covers(Record(below.m_hWnd)->invalid, covered));
  page.ShowWindow(SW_SHOW);
  driver.Pump();
  ASSERT_TRUE(Record(below.m_hWnd)->invalid.IsRectEmpty());
  page.SetWindowPos(nullptr, 300, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_TRUE(Covers(Record(below.m_hWnd)->invalid, covered));
}

// The frame sized smaller than its children and back: what the smaller
// frame cut off of each child is painted again, though the frame clips its
// children (the surface's new part is blank).
TEST_F(ChildPageTest, AFrameGrownAgainRepaintsWhatItHadCutOff) {
  page.SetWindowPos(nullptr, 300, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  driver.Pump();
  frame.SetWindowPos(nullptr, 0, 0, 350, 250, SWP_NOMOVE | SWP_NOZORDER);
  driver.Pump();
  ASSERT_TRUE(Record(page.m_hWnd)->invalid.IsRectEmpty());
  ASSERT_TRUE(Record(below.m_hWnd)->invalid.IsRectEmpty());
  frame.SetWindowPos(nullptr, 0, 0, 600, 500, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(Covers(Record(below.m_hWnd)->invalid, CRect(350, 0, 600, 500)));
  EXPECT_TRUE(Covers(Record(below.m_hWnd)->invalid, CRect(0, 250, 600, 500)));
  // The page's client beyond the frame's old right edge, to its own edges.
  CRect client;
  page.GetClientRect(&client);
  CPoint edge(350, 0);
  frame.ClientToScreen(&edge);
  page.ScreenToClient(&edge);
  ASSERT_GT(edge.x, 0);
  ASSERT_LT(edge.x, client.right);
  EXPECT_TRUE(Covers(Record(page.m_hWnd)->invalid, CRect(edge.x, 0, client.right, client.bottom)));
  // Shrinking leaves nothing to paint in the children.
  driver.Pump();
  frame.SetWindowPos(nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_TRUE(Record(page.m_hWnd)->invalid.IsRectEmpty());
}

}  // namespace
