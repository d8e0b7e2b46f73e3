// Dialogs from layouts: modal ends, owners, data exchange, statics drawn
// into the surface, clicks that pass through statics, slider notifications,
// edits, lists, tabs and image lists.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "window_support.h"

namespace {

constexpr uint32_t kBitmapA = 0x00C01020;  // bitmap 370
constexpr uint32_t kBitmapB = 0x0030A0F0;  // bitmap 371

class DialogTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    LayoutFile("DIALOG", 4000, "every_control.txt");
    brv::SetResourceOverlay("BITMAP", 370, BmpFile(20, 20, [](int x, int y) { return x < 10 ? kBitmapA : 0x000000FFu; }));
    brv::SetResourceOverlay("BITMAP", 371, BmpFile(20, 20, [](int, int) { return kBitmapB; }));
    brv::SetResourceOverlay("ICON", 130, IcoFile([](int, int) { return 0x00FF0000u; }, [](int x, int) { return x >= 16; }));
  }
};

class EveryDialog : public CDialog {
 public:
  explicit EveryDialog(CWnd* parent = nullptr) : CDialog(4000, parent) {}
  std::vector<std::string> log;
  int number = 7;
  CString name = "abc";
  int radio = 1;
  int check = 1;
  int slider = 3;
  CSliderCtrl sliderCtrl;

  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, 1114, number);
    DDX_Text(dx, 1069, name);
    DDX_Radio(dx, 1096, radio);
    DDX_Check(dx, 1115, check);
    DDX_Control(dx, 1087, sliderCtrl);
    DDX_Slider(dx, 1087, slider);
  }
  void OnOK() override {
    log.push_back("ok");
    CDialog::OnOK();
  }
  void OnCancel() override {
    log.push_back("cancel");
    CDialog::OnCancel();
  }
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override {
    log.push_back("h " + std::to_string(code) + " " + std::to_string(pos) + " " + std::to_string(bar->GetDlgCtrlID()));
  }
  void OnVScroll(UINT code, UINT pos, CScrollBar* bar) override {
    log.push_back("v " + std::to_string(code) + " " + std::to_string(pos) + " " + std::to_string(bar->GetDlgCtrlID()));
  }
  void OnLButtonDown(UINT, CPoint p) override { log.push_back("down " + std::to_string(p.x) + " " + std::to_string(p.y)); }
  void OnApply() { log.push_back("apply"); }
  void OnStaticClicked() { log.push_back("static"); }
  void OnTabChange(NMHDR* hdr, LRESULT*) { log.push_back("tab " + std::to_string(static_cast<int>(hdr->idFrom))); }
  void OnNoteFocus() { log.push_back("edit focus"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(EveryDialog, CDialog)
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
  ON_WM_LBUTTONDOWN()
  ON_BN_CLICKED(1142, OnApply)
  ON_STN_CLICKED(371, OnStaticClicked)
  ON_NOTIFY(TCN_SELCHANGE, 1025, OnTabChange)
  ON_EN_SETFOCUS(1125, OnNoteFocus)
END_MESSAGE_MAP()

// ---------------------------------------------------------------- modal ends

TEST_F(DialogTest, ModalEndsByOkCancelEscapeCloseBoxAndEnter) {
  struct Case {
    const char* what;
    std::function<void(brv::HeadlessDriver&, HWND)> act;
    int result;
    const char* handler;
  };
  const Case cases[] = {
      {"OK button", [](brv::HeadlessDriver& d, HWND h) { d.ClickControl(d.FindControl(h, IDOK)); }, IDOK, "ok"},
      {"Cancel button", [](brv::HeadlessDriver& d, HWND h) { d.ClickControl(d.FindControl(h, IDCANCEL)); }, IDCANCEL,
       "cancel"},
      {"Escape", [](brv::HeadlessDriver& d, HWND) { d.Key(VK_ESCAPE); }, IDCANCEL, "cancel"},
      {"close box", [](brv::HeadlessDriver& d, HWND h) { d.CloseBox(h); }, IDCANCEL, "cancel"},
      {"Enter in an edit", [](brv::HeadlessDriver& d, HWND h) {
         d.ClickControl(d.FindControl(h, 1114));
         d.Key(VK_RETURN);
       }, IDOK, "ok"},
  };
  for (const Case& c : cases) {
    CWnd owner;
    MakeTopLevel(&owner, "Owner");
    EveryDialog dialog(&owner);
    HWND seen = nullptr;
    driver.OnNextModal([&](HWND h) {
      seen = h;
      EXPECT_FALSE(owner.IsWindowEnabled()) << c.what;
      c.act(driver, h);
    });
    EXPECT_EQ(dialog.DoModal(), c.result) << c.what;
    EXPECT_EQ(dialog.log, std::vector<std::string>{c.handler}) << c.what;
    EXPECT_FALSE(IsWindow(seen)) << c.what;
    EXPECT_TRUE(owner.IsWindowEnabled()) << c.what;
    EXPECT_EQ(driver.ActiveWindow(), owner.m_hWnd) << c.what;
    owner.DestroyWindow();
  }
}

// Escape and the close box cancel even without a control 2; a dialog left
// open by its script ends as cancelled and the test hears of it.
TEST_F(DialogTest, CancelWithoutControlTwoAndADialogLeftOpen) {
  Layout("DIALOG", 4001, "dialog 4001 IDD_BARE \"Bare\" 100 50 popup caption\nstatic -1 \"Text\" 5 5 50 8\n");
  CDialog bare(4001);
  driver.OnNextModal([&](HWND) { driver.Key(VK_ESCAPE); });
  EXPECT_EQ(bare.DoModal(), IDCANCEL);
  CDialog again(4001);
  driver.OnNextModal([&](HWND h) { driver.CloseBox(h); });
  EXPECT_EQ(again.DoModal(), IDCANCEL);

  CDialog stuck(4001);
  driver.OnNextModal([&](HWND) {});  // leaves it open
  EXPECT_EQ(stuck.DoModal(), IDCANCEL);
  CDialog unscripted(4001);
  EXPECT_EQ(unscripted.DoModal(), IDCANCEL);
  std::vector<std::string> want = {"dialog 4001 \"Bare\" was left open by its script",
                                   "dialog 4001 \"Bare\" ran without a script"};
  EXPECT_EQ(driver.Failures(), want);
  driver.Backend().Reset();  // the failures were the point here
  EXPECT_EQ(CDialog(4242).DoModal(), -1);
}

class ClickCounter : public CWnd {
 public:
  int clicks = 0;
  void OnLButtonDown(UINT, CPoint) override { ++clicks; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ClickCounter, CWnd)
  ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

TEST_F(DialogTest, TheOwnerGetsNoInputWhileModelessDialogsDo) {
  ClickCounter owner;
  MakeTopLevel(&owner, "Owner", CRect(0, 0, 1000, 800));
  EveryDialog modeless(&owner);
  ASSERT_TRUE(modeless.Create(4000, &owner));
  modeless.ShowWindow(SW_SHOW);
  modeless.SetWindowPos(nullptr, 600, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Layout("DIALOG", 4002, "dialog 4002 IDD_SMALL \"Small\" 60 40 popup caption\nbutton 1 \"OK\" 5 20 40 14 default\n");
  CDialog modal(4002, &owner);
  driver.OnNextModal([&](HWND h) {
    driver.Click(owner.m_hWnd, CPoint(5, 5));
    EXPECT_EQ(owner.clicks, 0);
    driver.ClickControl(driver.FindControl(modeless.m_hWnd, 1142));
    EXPECT_EQ(modeless.log, std::vector<std::string>{"apply"});
    driver.ClickControl(driver.FindControl(h, IDOK));
  });
  EXPECT_EQ(modal.DoModal(), IDOK);
  driver.Click(owner.m_hWnd, CPoint(5, 5));
  EXPECT_EQ(owner.clicks, 1);
  modeless.DestroyWindow();
  owner.DestroyWindow();
}

// ---------------------------------------------------------------- data exchange

TEST_F(DialogTest, DataExchangeTable) {
  EveryDialog d;
  ASSERT_TRUE(d.Create(4000));
  d.ShowWindow(SW_SHOW);
  HWND h = d.m_hWnd;
  auto text = [&](int id) { return brv::HeadlessDriver::Inspect(driver.FindControl(h, id)).text; };
  // OnInitDialog wrote the members into the controls.
  EXPECT_EQ(text(1114), "7");
  EXPECT_EQ(text(1069), "abc");
  EXPECT_EQ(brv::HeadlessDriver::Inspect(driver.FindControl(h, 1097)).check, BST_CHECKED);
  EXPECT_EQ(brv::HeadlessDriver::Inspect(driver.FindControl(h, 1115)).check, BST_CHECKED);
  EXPECT_EQ(d.sliderCtrl.m_hWnd, driver.FindControl(h, 1087));
  EXPECT_EQ(d.sliderCtrl.GetPos(), 3);

  struct Case {
    const char* typed;
    bool ok;
    int value;
  };
  const Case cases[] = {
      {"42", true, 42},        {" -17 ", true, -17},     {"+5", true, 5},
      {"2147483647", true, 2147483647}, {"12a", false, 0},  {"", false, 0},
      {"3.5", false, 0},       {"2147483648", false, 0}, {"-", false, 0},
  };
  for (const Case& c : cases) {
    d.number = 99;
    d.SetDlgItemText(1114, c.typed);
    int boxes = static_cast<int>(driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox).size());
    EXPECT_EQ(d.UpdateData(TRUE), c.ok ? TRUE : FALSE) << c.typed;
    auto after = driver.Backend().EventsOf(brv::HeadlessBackend::Event::kMessageBox);
    if (c.ok) {
      EXPECT_EQ(d.number, c.value) << c.typed;
      EXPECT_EQ(static_cast<int>(after.size()), boxes) << c.typed;
    } else {
      EXPECT_EQ(d.number, 99) << c.typed;
      ASSERT_EQ(static_cast<int>(after.size()), boxes + 1) << c.typed;
      EXPECT_EQ(after.back().text, "Please enter an integer.");
      EXPECT_EQ(driver.FocusWindow(), driver.FindControl(h, 1114)) << c.typed;
    }
  }

  d.SetDlgItemText(1114, "5");
  driver.ClickControl(driver.FindControl(h, 1096));   // radio 0
  driver.ClickControl(driver.FindControl(h, 1115));   // check off
  driver.DragSlider(driver.FindControl(h, 1087), 60);
  driver.ClickControl(driver.FindControl(h, 1069));
  EXPECT_EQ(driver.FocusWindow(), driver.FindControl(h, 1069));
  driver.Type("Xy");
  ASSERT_TRUE(d.UpdateData(TRUE));
  EXPECT_EQ(d.number, 5);
  EXPECT_EQ(d.radio, 0);
  EXPECT_EQ(d.check, 0);
  EXPECT_EQ(d.slider, 60);
  EXPECT_EQ(d.name, "abcXy");  // the click right of the text put the caret at its end
  // No radio checked reads -1; -1 written clears the group.
  d.radio = -1;
  d.UpdateData(FALSE);
  for (int id : {1096, 1097, 1159}) EXPECT_EQ(brv::HeadlessDriver::Inspect(driver.FindControl(h, id)).check, 0);
  d.radio = 5;
  ASSERT_TRUE(d.UpdateData(TRUE));
  EXPECT_EQ(d.radio, -1);
  d.DestroyWindow();
}

// ---------------------------------------------------------------- items and pixels

TEST_F(DialogTest, GetDlgItemGivesOneObjectPerControlAndLogsMissingOnes) {
  Layout("DIALOG", 232, "dialog 232 IDD_CROP \"Crop\" 100 60 popup\nbutton 1 \"OK\" 5 5 40 14\nstatic 1140 \"x\" 5 30 40 8\n");
  CDialog d(232);
  ASSERT_TRUE(d.Create(232));
  CWnd* ok = d.GetDlgItem(1);
  CWnd* hint = d.GetDlgItem(1140);
  ASSERT_NE(ok, nullptr);
  ASSERT_NE(hint, nullptr);
  EXPECT_NE(ok, hint);
  EXPECT_EQ(d.GetDlgItem(1), ok);
  EXPECT_NE(dynamic_cast<CButton*>(ok), nullptr);
  EXPECT_NE(dynamic_cast<CStatic*>(hint), nullptr);
  EXPECT_EQ(d.GetDlgItem(1158), nullptr);
  auto logs = LogLines();
  ASSERT_FALSE(logs.empty());
  EXPECT_EQ(logs.back(), "dialog 232: no control 1158");
  d.DestroyWindow();
}

TEST_F(DialogTest, StaticsAreDrawnIntoTheSurfaceAndClicksPassThroughThem) {
  EveryDialog d;
  ASSERT_TRUE(d.Create(4000));
  d.ShowWindow(SW_SHOW);
  driver.Pump();
  HWND h = d.m_hWnd;
  // The dialog's face, the bitmaps and the icon, as drawn by the framework.
  EXPECT_EQ(driver.Pixel(h, 2, 2), RGB(212, 208, 200));
  HWND a = driver.FindControl(h, 370);
  CRect ra = brv::HeadlessDriver::Inspect(a).rect;
  EXPECT_EQ(ra.Width(), 20);  // a bitmap static takes its picture's size
  EXPECT_EQ(driver.Pixel(a, 2, 3), brv::ColorOf(kBitmapA));
  EXPECT_EQ(driver.Pixel(a, 15, 3), RGB(0, 0, 255));
  HWND icon = driver.FindControl(h, 373);
  EXPECT_EQ(driver.Pixel(icon, 3, 3), RGB(255, 0, 0));
  EXPECT_EQ(driver.Pixel(icon, 20, 3), RGB(212, 208, 200));  // the mask shows the face
  // A sunken frame draws its edge and leaves its inside to the dialog.
  HWND frame = driver.FindControl(h, 1123);
  CRect fr = brv::HeadlessDriver::Inspect(frame).rect;
  CClientDC dc(&d);
  dc.FillSolidRect(fr.left + 5, fr.top + 5, 10, 10, RGB(1, 2, 3));
  frame == nullptr ? void() : CWnd::FromHandle(frame)->Invalidate();
  driver.Pump();
  EXPECT_EQ(driver.Pixel(h, fr.left + 8, fr.top + 8), RGB(1, 2, 3));
  EXPECT_EQ(driver.Pixel(h, fr.left, fr.top), GetSysColor(COLOR_BTNSHADOW));

  // A click on a bitmap static without notify reaches the dialog, in its
  // coordinates; with notify the static reports it; a hidden one passes it.
  d.log.clear();
  driver.Click(a, CPoint(4, 5));
  HWND b = driver.FindControl(h, 371);
  driver.Click(b, CPoint(4, 5));
  CRect hidden = brv::HeadlessDriver::Inspect(driver.FindControl(h, 372)).rect;
  driver.Click(h, CPoint(hidden.left + 2, hidden.top + 2));
  std::vector<std::string> want = {"down " + std::to_string(ra.left + 4) + " " + std::to_string(ra.top + 5), "static",
                                   "down " + std::to_string(hidden.left + 2) + " " + std::to_string(hidden.top + 2)};
  EXPECT_EQ(d.log, want);
  d.DestroyWindow();
}

// ---------------------------------------------------------------- sliders

TEST_F(DialogTest, SliderNotificationSequences) {
  EveryDialog d;
  ASSERT_TRUE(d.Create(4000));
  d.ShowWindow(SW_SHOW);
  HWND h = d.m_hWnd;
  HWND s = driver.FindControl(h, 1087);
  CSliderCtrl* slider = static_cast<CSliderCtrl*>(CWnd::FromHandle(s));
  slider->SetRange(0, 6);
  slider->SetPos(3);
  d.log.clear();
  slider->SetPos(4);
  EXPECT_TRUE(d.log.empty()) << "SetPos sends nothing";

  driver.DragSlider(s, 6, 2);
  std::vector<std::string> want = {"h 5 5 1087", "h 5 6 1087", "h 4 6 1087", "h 8 0 1087"};
  EXPECT_EQ(d.log, want);
  d.log.clear();
  driver.PageSlider(s, true);
  want = {"h 2 0 1087", "h 8 0 1087"};
  EXPECT_EQ(d.log, want);
  EXPECT_EQ(slider->GetPos(), 5);  // page of 6 / 5 = 1
  d.log.clear();
  driver.PageSlider(s, false);
  want = {"h 3 0 1087", "h 8 0 1087"};
  EXPECT_EQ(d.log, want);
  struct Key {
    UINT vk;
    const char* code;
  };
  for (Key k : {Key{VK_LEFT, "0"}, Key{VK_RIGHT, "1"}, Key{VK_UP, "0"}, Key{VK_DOWN, "1"}, Key{VK_HOME, "6"},
                Key{VK_END, "7"}, Key{VK_PRIOR, "2"}, Key{VK_NEXT, "3"}}) {
    d.log.clear();
    driver.SliderKey(s, k.vk);
    want = {std::string("h ") + k.code + " 0 1087", "h 8 0 1087"};
    EXPECT_EQ(d.log, want) << k.vk;
  }
  EXPECT_EQ(slider->GetPos(), 6);
  // A vertical slider tells through WM_VSCROLL.
  d.log.clear();
  driver.SliderKey(driver.FindControl(h, 1102), VK_DOWN);
  want = {"v 1 0 1102", "v 8 0 1102"};
  EXPECT_EQ(d.log, want);
  d.DestroyWindow();
}

// ---------------------------------------------------------------- edits, lists, tabs

TEST_F(DialogTest, EditsTypingEnterInAMultiLineEditAndSelection) {
  EveryDialog d;
  ASSERT_TRUE(d.Create(4000));
  d.ShowWindow(SW_SHOW);
  HWND note = driver.FindControl(d.m_hWnd, 1125);
  d.log.clear();
  driver.ClickControl(note);
  EXPECT_EQ(d.log, std::vector<std::string>{"edit focus"});
  for (int line = 0; line < 6; ++line) {
    driver.Type("line" + std::to_string(line));
    driver.Key(VK_RETURN);  // a new line, not the default button
  }
  EXPECT_EQ(brv::HeadlessDriver::Inspect(note).text, "line0\r\nline1\r\nline2\r\nline3\r\nline4\r\nline5\r\n");
  EXPECT_TRUE(IsWindow(d.m_hWnd));
  EXPECT_TRUE(std::find(d.log.begin(), d.log.end(), "ok") == d.log.end());
  // The caret's line is kept in view.
  auto info = brv::HeadlessDriver::Inspect(note);
  EXPECT_GT(info.firstVisible, 0);
  CEdit* edit = static_cast<CEdit*>(CWnd::FromHandle(note));
  edit->SetSel(0, -1);
  int a = 0, b = 0;
  edit->GetSel(a, b);
  EXPECT_EQ(b, static_cast<int>(info.text.size()));
  edit->SetSel(-1);
  edit->GetSel(a, b);
  EXPECT_EQ(a, b);
  EXPECT_EQ(b, static_cast<int>(info.text.size()));  // the caret stayed
  // A password edit keeps the typed text.
  HWND password = driver.FindControl(d.m_hWnd, 1069);
  SetWindowText(password, "");
  driver.ClickControl(password);
  driver.Type("62917035");
  EXPECT_EQ(brv::HeadlessDriver::Inspect(password).text, "62917035");
  d.DestroyWindow();
}

TEST_F(DialogTest, StateImagesHitTestAndTabChange) {
  brv::SetResourceOverlay("BITMAP", 153, BmpFile(440, 16, [](int x, int y) {
    return (x % 40) < 8 || y == 0 ? 0x000000FFu : 0x00100000u * static_cast<uint32_t>(x / 40 + 1);
  }));
  CImageList images;
  ASSERT_TRUE(images.Create(153, 40, 1, RGB(0, 0, 255)));
  EXPECT_EQ(images.GetImageCount(), 11);
  EXPECT_EQ(images.GetImageSize(), CSize(40, 16));
  EXPECT_TRUE(images.IsTransparent(0, 3, 5));
  EXPECT_TRUE(images.IsTransparent(10, 20, 0));
  EXPECT_FALSE(images.IsTransparent(10, 20, 5));
  EXPECT_EQ(images.GetPixel(10, 20, 5), brv::ColorOf(0x00B00000u));

  EveryDialog d;
  ASSERT_TRUE(d.Create(4000));
  d.ShowWindow(SW_SHOW);
  HWND lh = driver.FindControl(d.m_hWnd, 1031);
  CListCtrl* list = static_cast<CListCtrl*>(CWnd::FromHandle(lh));
  list->InsertColumn(0, "");
  list->SetImageList(&images, LVSIL_STATE);
  for (int i = 0; i < 20; ++i) {
    list->InsertItem(i, ("point " + std::to_string(i)).c_str());
    list->SetItemData(i, 100 + i);
    list->SetItemState(i, INDEXTOSTATEIMAGEMASK(1 + i % 2), LVIS_STATEIMAGEMASK);
  }
  int row = brv::ListRowHeight(lh);
  UINT flags = 0;
  EXPECT_EQ(list->HitTest(CPoint(10, row + 3), &flags), 1);
  EXPECT_EQ(flags, static_cast<UINT>(LVHT_ONITEMSTATEICON));
  EXPECT_EQ(list->HitTest(CPoint(50, 3), &flags), 0);
  EXPECT_EQ(flags, static_cast<UINT>(LVHT_ONITEMLABEL));
  CRect client;
  list->GetClientRect(&client);
  int visible = list->GetCountPerPage();
  EXPECT_EQ(list->HitTest(CPoint(10, client.bottom + 5), &flags), -1);
  EXPECT_EQ(flags, static_cast<UINT>(LVHT_NOWHERE));
  EXPECT_LT(visible, 20);
  list->EnsureVisible(15, FALSE);
  EXPECT_EQ(list->GetTopIndex(), 15 - visible + 1);
  EXPECT_EQ(list->HitTest(CPoint(50, 2), &flags), 15 - visible + 1);
  EXPECT_EQ(list->GetItemState(3, LVIS_STATEIMAGEMASK), INDEXTOSTATEIMAGEMASK(2));
  driver.ClickListItem(lh, 16, false);
  EXPECT_EQ(list->GetNextItem(-1, LVNI_SELECTED), 16);
  EXPECT_EQ(list->GetItemData(16), 116u);

  HWND th = driver.FindControl(d.m_hWnd, 1025);
  CTabCtrl* tabs = static_cast<CTabCtrl*>(CWnd::FromHandle(th));
  tabs->InsertItem(0, "Points");
  tabs->InsertItem(1, "Curves");
  EXPECT_EQ(tabs->GetCurSel(), 0);
  d.log.clear();
  tabs->SetCurSel(1);  // no notification
  tabs->SetCurSel(0);
  EXPECT_TRUE(d.log.empty());
  driver.SelectTab(th, 1);
  EXPECT_EQ(d.log, std::vector<std::string>{"tab 1025"});
  EXPECT_EQ(tabs->GetCurSel(), 1);
  d.DestroyWindow();
}

TEST_F(DialogTest, ChildDialogLivesInItsParentsSurface) {
  Layout("DIALOG", 4003,
         "dialog 4003 IDD_MODEL \"\" 100 60 child visible\n"
         "static 1140 \"Hint\" 0 0 100 10 center\n"
         "button 1141 \"OK\" 5 30 40 14 default\n");
  CWnd parent;
  MakeTopLevel(&parent, "Parent", CRect(0, 0, 400, 300));
  CDialog child(4003, &parent);
  ASSERT_TRUE(child.Create(4003, &parent));
  EXPECT_EQ(child.GetParent(), &parent);
  EXPECT_TRUE(child.GetStyle() & WS_CHILD);
  driver.Pump();
  CRect r;
  child.GetWindowRect(&r);
  CRect pr;
  parent.GetWindowRect(&pr);
  EXPECT_EQ(r.left, pr.left + 3);  // inside the parent's client area
  EXPECT_EQ(r.Width(), 150);
  EXPECT_EQ(r.Height(), 98);
  EXPECT_EQ(driver.Pixel(child.m_hWnd, 1, 1), RGB(212, 208, 200));
  parent.DestroyWindow();
  EXPECT_EQ(child.m_hWnd, nullptr);
}

}  // namespace

namespace {

// A subclassed control sees its messages first; Default() gives the
// control's own behaviour after.
class WatchedList : public CListCtrl {
 public:
  int selectedBefore = -2, selectedAfter = -2;
  void OnLButtonDown(UINT flags, CPoint p) override {
    selectedBefore = GetNextItem(-1, LVNI_SELECTED);
    CListCtrl::OnLButtonDown(flags, p);
    selectedAfter = GetNextItem(-1, LVNI_SELECTED);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(WatchedList, CListCtrl)
  ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

class NextDialog : public CDialog {
 public:
  NextDialog() : CDialog(4005) {}
  std::vector<std::string> log;
  void OnNext() {
    log.push_back("next");
    EndDialog(7);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(NextDialog, CDialog)
  ON_BN_CLICKED(1141, OnNext)
END_MESSAGE_MAP()

TEST_F(DialogTest, SubclassedControlsSeeMessagesFirstAndEnterPressesTheDefaultButton) {
  EveryDialog d;
  ASSERT_TRUE(d.Create(4000));
  d.ShowWindow(SW_SHOW);
  WatchedList list;
  ASSERT_TRUE(list.SubclassDlgItem(1031, &d));
  EXPECT_EQ(d.GetDlgItem(1031), &list);
  list.InsertColumn(0, "");
  list.InsertItem(0, "a");
  list.InsertItem(1, "b");
  driver.ClickListItem(list.m_hWnd, 1, false);
  EXPECT_EQ(list.selectedBefore, -1);
  EXPECT_EQ(list.selectedAfter, 1);

  // Picture radio buttons hold their bitmaps.
  CBitmap picture;
  picture.CreateBitmap(8, 8, 1, 32, nullptr);
  auto* radio = static_cast<CButton*>(d.GetDlgItem(1128));
  EXPECT_EQ(radio->SetBitmap(picture), nullptr);
  EXPECT_EQ(radio->GetBitmap(), static_cast<HBITMAP>(picture));
  driver.ClickControl(driver.FindControl(d.m_hWnd, 1129));
  EXPECT_EQ(radio->GetCheck(), 0);
  driver.ClickControl(radio->m_hWnd);
  EXPECT_EQ(radio->GetCheck(), 1);
  EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(1129))->GetCheck(), 0);
  EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(1096))->GetCheck(), 0);  // another group
  list.UnsubclassWindow();
  d.DestroyWindow();

  Layout("DIALOG", 4005,
         "dialog 4005 IDD_NEXT \"Next\" 120 60 popup caption\n"
         "edit 1114 \"\" 5 5 60 12 tabstop\n"
         "button 1107 \"<< Back\" 5 40 50 14 tabstop\n"
         "button 1141 \"Next >>\" 60 40 50 14 default tabstop\n");
  NextDialog next;
  driver.OnNextModal([&](HWND) { driver.Key(VK_RETURN); });
  EXPECT_EQ(next.DoModal(), 7);
  EXPECT_EQ(next.log, std::vector<std::string>{"next"});
}

// The process ends with a dialog open (Qt ends the program so when its X
// connection breaks): the window table goes with the controls' objects it
// owns, cleanly. A sanitizer report would end the child with another code.
TEST_F(DialogTest, TheProcessEndsWithADialogOpen) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // Kept where the leak check finds it: only the table goes at exit.
        static EveryDialog* open = new EveryDialog;
        if (!open->Create(4000)) std::_Exit(3);
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace

namespace {

// A child dialog with a caption draws its whole non-client part: the raised
// dialog frame and the title bar with its text in the inactive colours (a
// child window is never the active one); nothing keeps the surface's white.
TEST_F(DialogTest, ChildDialogWithACaptionDrawsItsFrameAndTitleBar) {
  Layout("DIALOG", 4006,
         "dialog 4006 IDD_MODEL \"Model\" 100 60 child caption visible\n"
         "button 1141 \"OK\" 5 30 40 14 default\n");
  CWnd parent;
  MakeTopLevel(&parent, "Parent", CRect(0, 0, 400, 300));
  CDialog child(4006, &parent);
  ASSERT_TRUE(child.Create(4006, &parent));
  driver.Pump();
  const brv::Surface* surface = brv::HeadlessDriver::SurfaceOf(child.m_hWnd);
  ASSERT_NE(surface, nullptr);
  const CRect w = brv::WindowOnSurface(child.m_hWnd), c = brv::ClientOnSurface(child.m_hWnd);
  // Frame 3, caption 19 (the metrics of Windows' classic look).
  EXPECT_EQ(c.left - w.left, 3);
  EXPECT_EQ(c.top - w.top, 3 + 19);
  auto at = [&](int x, int y) { return surface->Pixel(w.left + x, w.top + y) & 0xFFFFFF; };
  const int wd = w.Width(), ht = w.Height();
  struct Case {
    int x, y;
    uint32_t rgb;
  } cases[] = {
      {0, 0, 0xD4D0C8},       {wd / 2, 0, 0xD4D0C8},      {0, ht / 2, 0xD4D0C8},      // light
      {1, 1, 0xFFFFFF},       {wd / 2, 1, 0xFFFFFF},      {1, ht / 2, 0xFFFFFF},      // highlight
      {wd - 1, ht - 1, 0x404040}, {wd / 2, ht - 1, 0x404040}, {wd - 1, ht / 2, 0x404040},  // dark shadow
      {wd - 2, ht - 2, 0x808080}, {wd / 2, ht - 2, 0x808080}, {wd - 2, ht / 2, 0x808080},  // shadow
      {2, ht / 2, 0xD4D0C8},  {wd - 3, ht / 2, 0xD4D0C8}, {wd / 2, ht - 3, 0xD4D0C8},  // face
      {3, 3, 0x808080},       {wd - 4, 3 + 17, 0x808080},                             // the bar
      {wd / 2, 3 + 18, 0xD4D0C8},                                                     // its bottom line
  };
  for (const Case& k : cases) EXPECT_EQ(at(k.x, k.y), k.rgb) << k.x << "," << k.y;
  // The bar holds the title in the inactive text colour at its left, and
  // only bar and text colours.
  int text = 0;
  for (int y = 3; y < 3 + 18; ++y)
    for (int x = 3; x < 40; ++x) text += at(x, y) == 0xD4D0C8;
  EXPECT_GT(text, 20);
  for (int y = 3; y < 3 + 18; ++y)
    for (int x = wd / 2; x < wd - 3; ++x) EXPECT_EQ(at(x, y), 0x808080u) << "nothing right of a short title";
  parent.DestroyWindow();
}

}  // namespace
