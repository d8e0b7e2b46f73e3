// The static 2 x 2 splitter: views made by run-time class, the layout with
// its 11 border pixels, hidden panes and the next-pane commands.
#include <string>
#include <vector>

#include "window_support.h"

namespace {

class PaneDoc : public CDocument {};

class PaneView : public CView {
 public:
  PaneView(CDocument* doc, int number) : made(doc), id(number) {}
  void OnDraw(CDC* dc) override {
    CRect r;
    GetClientRect(&r);
    dc->FillSolidRect(&r, colour);
  }
  CDocument* made;
  int id;
  COLORREF colour = RGB(255, 255, 255);
};

class ViewA : public PaneView {
  DECLARE_DYNCREATE(ViewA)
 public:
  ViewA(CDocument* doc, int number) : PaneView(doc, number) { colour = RGB(200, 0, 0); }
};
IMPLEMENT_DYNCREATE(ViewA, CView)

class ViewB : public PaneView {
  DECLARE_DYNCREATE(ViewB)
 public:
  ViewB(PaneDoc* doc, int number) : PaneView(doc, number) { colour = RGB(0, 200, 0); }
};
IMPLEMENT_DYNCREATE_DOC(ViewB, CView, PaneDoc)

class SplitFrame : public CFrameWnd {
 public:
  CSplitterWnd splitter;
  PaneDoc* doc = nullptr;
  BOOL OnCreateClient(LPCREATESTRUCT, CCreateContext* context) override {
    if (!splitter.CreateStatic(this, 2, 2)) return FALSE;
    CCreateContext c;
    c.m_pCurrentDoc = doc;
    if (context) c = *context;
    return splitter.CreateView(0, 0, RUNTIME_CLASS(ViewA), CSize(10, 10), &c) &&
           splitter.CreateView(1, 0, RUNTIME_CLASS(ViewB), CSize(10, 10), &c) &&
           splitter.CreateView(1, 1, CRuntimeClass::FromName("ViewA"), CSize(10, 10), &c) &&
           splitter.CreateView(0, 1, CRuntimeClass::FromName("ViewB"), CSize(10, 10), &c);
  }
  void PostNcDestroy() override {}
};

class SplitterTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    Layout("ACCELERATORS", 810, "F6 0xE150\nShift+F6 0xE151\n");
    CCreateContext context;
    context.m_pCurrentDoc = &doc;
    frame.doc = &doc;
    ASSERT_TRUE(frame.LoadFrame(810, WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | WS_VISIBLE, nullptr, &context));
    frame.InitialUpdateFrame(&doc, TRUE);
    driver.Pump();
  }
  void TearDown() override {
    frame.DestroyWindow();
    WindowingTest::TearDown();
  }
  PaneView* Pane(int row, int col) { return dynamic_cast<PaneView*>(frame.splitter.GetPane(row, col)); }
  CRect PaneRect(int row, int col) {
    CRect r;
    Pane(row, col)->GetWindowRect(&r);
    frame.splitter.ScreenToClient(&r);
    return r;
  }
  PaneDoc doc;
  SplitFrame frame;
};

TEST_F(SplitterTest, ViewsMadeByClassWithDocumentAndPaneId) {
  ASSERT_NE(Pane(0, 0), nullptr);
  EXPECT_NE(dynamic_cast<ViewA*>(Pane(0, 0)), nullptr);
  EXPECT_NE(dynamic_cast<ViewB*>(Pane(0, 1)), nullptr);
  EXPECT_NE(dynamic_cast<ViewB*>(Pane(1, 0)), nullptr);
  EXPECT_NE(dynamic_cast<ViewA*>(Pane(1, 1)), nullptr);
  EXPECT_EQ(Pane(0, 0)->made, &doc);
  EXPECT_EQ(Pane(1, 0)->made, &doc);
  EXPECT_EQ(Pane(1, 1)->id, 0xE911);
  EXPECT_EQ(Pane(1, 1)->GetDlgCtrlID(), 0xE911);
  EXPECT_EQ(CRuntimeClass::FromName("NoSuchView"), nullptr);
  // The maximised frame's client is the screen less the menu bar (none here).
  CRect client;
  frame.GetClientRect(&client);
  EXPECT_EQ(client, CRect(0, 0, 1280, 1024));
  CString title;
  frame.GetWindowText(title);
  EXPECT_EQ(title, AfxGetAppName());
}

TEST_F(SplitterTest, LayoutKeepsElevenPixelsAndAZeroRowHidesItsPanes) {
  CRect client;
  frame.splitter.GetClientRect(&client);
  int w = client.Width(), h = client.Height();
  for (int i = 0; i < 2; ++i) {
    frame.splitter.SetRowInfo(i, (h - 11) / 2, 10);
    frame.splitter.SetColumnInfo(i, (w - 11) / 2, 10);
  }
  frame.splitter.RecalcLayout();
  EXPECT_EQ(PaneRect(0, 0), CRect(2, 2, 2 + (w - 11) / 2, 2 + (h - 11) / 2));
  EXPECT_EQ(PaneRect(1, 1).left, 2 + (w - 11) / 2 + 7);
  EXPECT_EQ(PaneRect(1, 1).right, w - 2);
  EXPECT_EQ(PaneRect(1, 1).bottom, h - 2);
  driver.Pump();
  CRect r00 = PaneRect(0, 0);
  EXPECT_EQ(driver.Pixel(frame.splitter.m_hWnd, r00.left + 5, r00.top + 5), RGB(200, 0, 0));
  EXPECT_EQ(driver.Pixel(frame.splitter.m_hWnd, r00.right + 3, r00.top + 5), RGB(212, 208, 200));

  // One pane: the other row and column get 0 and their panes go.
  frame.splitter.SetRowInfo(1, h - 11, 10);
  frame.splitter.SetRowInfo(0, 0, 10);
  frame.splitter.SetColumnInfo(1, w - 11, 10);
  frame.splitter.SetColumnInfo(0, 0, 10);
  frame.splitter.RecalcLayout();
  for (int c = 0; c < 2; ++c) EXPECT_FALSE(Pane(0, c)->IsWindowVisible()) << c;
  EXPECT_FALSE(Pane(1, 0)->IsWindowVisible());
  EXPECT_TRUE(Pane(1, 1)->IsWindowVisible());
  EXPECT_EQ(PaneRect(1, 1).Width(), w - 11);
  EXPECT_EQ(PaneRect(1, 1).Height(), h - 11);
  int cur = 0, min = 0;
  frame.splitter.GetRowInfo(0, cur, min);
  EXPECT_EQ(cur, 0);
  EXPECT_EQ(min, 10);
}

TEST_F(SplitterTest, NextPaneSkipsHiddenPanes) {
  CRect client;
  frame.splitter.GetClientRect(&client);
  frame.splitter.SetRowInfo(0, 0, 10);  // row 0 hidden
  frame.splitter.SetRowInfo(1, client.Height() - 11, 10);
  frame.splitter.SetColumnInfo(0, (client.Width() - 11) / 2, 10);
  frame.splitter.RecalcLayout();
  frame.splitter.SetActivePane(1, 0);
  EXPECT_EQ(frame.GetActiveView(), Pane(1, 0));
  ::SetFocus(Pane(1, 0)->m_hWnd);
  driver.Key(VK_F1 + 5);  // F6
  EXPECT_EQ(frame.GetActiveView(), Pane(1, 1));
  driver.Key(VK_F1 + 5);
  EXPECT_EQ(frame.GetActiveView(), Pane(1, 0));
  driver.Key(VK_F1 + 5, MK_SHIFT);
  EXPECT_EQ(frame.GetActiveView(), Pane(1, 1));
  EXPECT_EQ(driver.FocusWindow(), Pane(1, 1)->m_hWnd);
  int row = -1, col = -1;
  EXPECT_EQ(frame.splitter.GetActivePane(&row, &col), Pane(1, 1));
  EXPECT_EQ(row, 1);
  EXPECT_EQ(col, 1);
}

TEST_F(SplitterTest, DeleteViewAndCreateAnotherInItsPlace) {
  frame.splitter.SetActivePane(0, 0);
  frame.splitter.DeleteView(0, 0);
  EXPECT_EQ(frame.splitter.GetPane(0, 0), nullptr);
  EXPECT_EQ(frame.GetActiveView(), nullptr);
  CCreateContext c;
  c.m_pCurrentDoc = &doc;
  ASSERT_TRUE(frame.splitter.CreateView(0, 0, RUNTIME_CLASS(ViewB), CSize(10, 10), &c));
  EXPECT_FALSE(frame.splitter.CreateView(0, 0, RUNTIME_CLASS(ViewB), CSize(10, 10), &c));
  EXPECT_NE(dynamic_cast<ViewB*>(Pane(0, 0)), nullptr);
  frame.splitter.SetActivePane(0, 0);
  EXPECT_EQ(frame.GetActiveView(), Pane(0, 0));
}

}  // namespace
