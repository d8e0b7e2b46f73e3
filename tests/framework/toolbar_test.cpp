#include "framework/toolbar.h"

#include <gtest/gtest.h>

#include "framework/backend.h"
#include "framework/bmppic.h"
#include "picture/pictdecoder.h"
#include "picture/winbmp.h"

namespace {

TBBUTTON Button(int command, BYTE style = TBSTYLE_BUTTON, int picture = 0) {
  TBBUTTON b{};
  b.iBitmap = picture;
  b.idCommand = command;
  b.fsState = TBSTATE_ENABLED;
  b.fsStyle = style;
  return b;
}

// Our decoder's reading of a tool-bar picture.
CWinBmp Decode(const std::vector<uint8_t>& picture) {
  std::vector<uint8_t> file(512, 0);
  file.insert(file.end(), picture.begin(), picture.end());
  CWinBmp bmp;
  CPictDecoder decoder;
  decoder.MakeBmpFromMemory(file.data(), int(file.size()), &bmp, 32);
  return bmp;
}

}  // namespace

TEST(ToolBar, ButtonSizeFromTheBitmapSize) {
  CToolBar bar;
  ASSERT_TRUE(bar.Create());
  EXPECT_EQ(bar.GetButtonSize(), CSize(24, 24));
  bar.SetBitmapSize(CSize(16, 15));
  EXPECT_EQ(bar.GetButtonSize(), CSize(24, 23));
  TBBUTTON b = Button(100);
  bar.AddButtons(1, &b);
  CRect r;
  bar.GetItemRect(0, &r);
  EXPECT_EQ(r, CRect(5, 5, 29, 28));
  EXPECT_TRUE(bar.IsFloating());
  // Neither the button size nor docking can be set this way; the bar is its
  // own control.
  bar.SetButtonSize(CSize(40, 40));
  bar.EnableDocking(CBRS_ALIGN_ANY);
  EXPECT_EQ(bar.GetButtonSize(), CSize(24, 23));
  bar.GetItemRect(0, &r);
  EXPECT_EQ(r, CRect(5, 5, 29, 28));
  EXPECT_TRUE(bar.IsFloating());
  EXPECT_EQ(&bar.GetToolBarCtrl(), &bar);
}

// AddBitmap takes one picture at a time and at most 128; a missing bitmap
// or data without a BMP header gives the cross.
TEST(ToolBar, PicturesRefusedCountsAndTheCross) {
  brv::HeadlessBackend backend;
  brv::Backend* previous = brv::SetBackend(&backend);
  CToolBar bar;
  bar.Create();
  EXPECT_EQ(bar.AddBitmap(2, 130u), -1);
  ASSERT_EQ(backend.EventsOf(brv::HeadlessBackend::Event::kLog).size(), 1u);
  EXPECT_EQ(backend.EventsOf(brv::HeadlessBackend::Event::kLog)[0].text, "A CToolBar::AddBitmap elso parametere csak 1 lehet!");
  EXPECT_EQ(bar.GetPictureCount(), 0);

  // resource 130 is a BMP file: its picture shows its pixels
  EXPECT_EQ(bar.AddBitmap(1, 130u), 0);
  CBitmap loaded;
  ASSERT_TRUE(loaded.LoadBitmap(130u));
  CWinBmp shown = Decode(bar.GetPicture(0));
  BITMAP bm;
  loaded.GetBitmap(&bm);
  ASSERT_EQ(shown.GetWidth(), bm.bmWidth);
  ASSERT_EQ(shown.GetHeight(), bm.bmHeight);
  const brv::Surface* px = brv::BitmapSurface(loaded);
  for (int y = 0; y < bm.bmHeight; ++y)
    for (int x = 0; x < bm.bmWidth; ++x) {
      CPixel32 p = shown.GetPixel(x, y);
      EXPECT_EQ((uint32_t(p.GetR()) << 16) | (uint32_t(p.GetG()) << 8) | p.GetB(), px->Pixel(x, y)) << x << "," << y;
    }

  // a missing resource: the 16 x 16 cross
  EXPECT_EQ(bar.AddBitmap(1, 31999u), 1);
  CWinBmp cross = Decode(bar.GetPicture(1));
  ASSERT_EQ(cross.GetWidth(), 16);
  ASSERT_EQ(cross.GetHeight(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      bool on = x == y || x == 15 - y;
      EXPECT_EQ(cross.GetPixel(x, y).GetR(), on ? 0 : 255) << x << "," << y;
    }
  // a bitmap object's pixels; an empty one is missing
  CBitmap empty;
  EXPECT_EQ(bar.AddBitmap(1, &empty), 2);
  EXPECT_EQ(bar.GetPicture(2), brv::CrossPicture());
  EXPECT_EQ(bar.AddBitmap(1, &loaded), 3);
  EXPECT_EQ(Decode(bar.GetPicture(3)).GetWidth(), bm.bmWidth);

  while (bar.GetPictureCount() < CToolBar::kSlots) ASSERT_GE(bar.AddBitmap(1, 31999u), 0);
  EXPECT_EQ(bar.AddBitmap(1, 130u), -1);
  EXPECT_EQ(backend.EventsOf(brv::HeadlessBackend::Event::kLog).back().text,
            "A CToolBar::AddBitmap-nal betelt a picture buffer!");
  EXPECT_EQ(bar.GetPictureCount(), 128);
  brv::SetBackend(previous);
}

// Seven buttons in two floating rows: four in the first, three in the
// second, which starts at y = 5 + the button height.
TEST(ToolBar, FloatingRows) {
  CToolBar bar;
  bar.Create();
  bar.SetBitmapSize(CSize(16, 15));
  for (int i = 0; i < 7; ++i) {
    TBBUTTON b = Button(200 + i);
    ASSERT_TRUE(bar.InsertButton(-1, &b));
  }
  CRect rect;
  bar.SetRows(2, TRUE, &rect);
  EXPECT_EQ(bar.GetRows(), 2);
  for (int i = 0; i < 7; ++i) {
    CRect r;
    bar.GetItemRect(i, &r);
    int row = i / 4, col = i % 4;
    EXPECT_EQ(r.TopLeft(), CPoint(5 + col * 24, 5 + row * 23)) << i;
  }
  // the window ends 5 pixels right of and below the buttons
  EXPECT_EQ(rect.Width(), 5 + 4 * 24 + 5);
  EXPECT_EQ(rect.Height(), 5 + 2 * 23 + 5);
  bar.SetRows(0, TRUE, nullptr);
  EXPECT_EQ(bar.GetRows(), 1);
  CRect last;
  bar.GetItemRect(6, &last);
  EXPECT_EQ(last.TopLeft(), CPoint(5 + 6 * 24, 5));
  // docked along the top: one row, the height fitted
  bar.SetDockedPlace(CRect(0, 0, 800, 60));
  EXPECT_FALSE(bar.IsFloating());
  EXPECT_EQ(bar.GetWindowRect(), CRect(0, 0, 800, 23 + 10));
}

TEST(ToolBar, InsertDeleteAndSlots) {
  CToolBar bar;
  bar.Create();
  TBBUTTON a = Button(1, TBSTYLE_BUTTON, 0), sep = Button(0, TBSTYLE_SEP), b = Button(2, TBSTYLE_BUTTON, 1);
  EXPECT_TRUE(bar.InsertButton(0, &a));
  EXPECT_FALSE(bar.InsertButton(5, &b)) << "past the end";
  EXPECT_TRUE(bar.InsertButton(1, &sep));
  EXPECT_TRUE(bar.InsertButton(-1, &b));
  EXPECT_EQ(bar.GetButtonCount(), 3);
  EXPECT_EQ(bar.CommandToIndex(2), 2);
  CRect r;
  bar.GetItemRect(2, &r);
  EXPECT_EQ(r.left, 5 + 24 + 10) << "a separator takes 10 pixels";
  bar.AddBitmap(1, 31999u);
  bar.AddBitmap(1, 31999u);
  EXPECT_TRUE(bar.DeleteButton(0));
  EXPECT_EQ(bar.GetButtonCount(), 2);
  EXPECT_EQ(bar.GetPictureCount(), 2) << "deleting a button keeps the pictures";
  EXPECT_EQ(bar.GetItemID(1), 2u);
  EXPECT_FALSE(bar.DeleteButton(2));
  while (bar.GetButtonCount() < CToolBar::kSlots) ASSERT_TRUE(bar.InsertButton(-1, &a));
  EXPECT_FALSE(bar.InsertButton(-1, &a)) << "129th button";
  EXPECT_FALSE(bar.AddButtons(1, &a));
  EXPECT_EQ(bar.GetButtonCount(), 128);
}

// Pressing a check-style button checks it and clears the one checked before.
TEST(ToolBar, ExclusiveChecks) {
  CToolBar bar;
  bar.Create();
  TBBUTTON buttons[] = {Button(10, TBSTYLE_CHECK), Button(11, TBSTYLE_CHECK), Button(12, TBSTYLE_BUTTON),
                        Button(13, TBSTYLE_CHECK)};
  buttons[0].fsState |= TBSTATE_CHECKED;
  ASSERT_TRUE(bar.AddButtons(4, buttons));
  EXPECT_TRUE(bar.IsButtonChecked(10));
  EXPECT_EQ(bar.PressButton(1), 11u);
  EXPECT_FALSE(bar.IsButtonChecked(10));
  EXPECT_TRUE(bar.IsButtonChecked(11));
  EXPECT_EQ(bar.PressButton(2), 12u);
  EXPECT_FALSE(bar.IsButtonChecked(11)) << "a press clears the others";
  EXPECT_FALSE(bar.IsButtonChecked(12)) << "a plain button does not stay checked";
  bar.CheckButton(13, TRUE);
  EXPECT_TRUE(bar.IsButtonChecked(13));
  bar.CheckButton(13, FALSE);
  EXPECT_FALSE(bar.IsButtonChecked(13));
}
