// The clipboard (CF_DIB, CF_BITMAP made both ways, CF_TEXT) with the
// bitmap class on it, cursors, web links, metrics and the exit hook.
#include <cstring>
#include <vector>

#include "picture/clipboard_bmp_platform.h"
#include "picture/winbmp.h"
#include "window_support.h"

namespace {

class ClipboardTest : public WindowingTest {
 protected:
  void SetUp() override {
    WindowingTest::SetUp();
    previous_ = brv::InstallBmpPlatform();
  }
  void TearDown() override {
    SetBmpPlatform(previous_);
    WindowingTest::TearDown();
  }
  IBmpPlatform* previous_ = nullptr;
};

// An 8-bit DIB with a palette of three colours, 3 x 2 pixels.
std::vector<uint8_t> PaletteDib() {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = 3;
  h.biHeight = 2;
  h.biPlanes = 1;
  h.biBitCount = 8;
  h.biClrUsed = 3;
  std::vector<uint8_t> dib(sizeof h + 3 * 4 + 2 * 4);
  std::memcpy(dib.data(), &h, sizeof h);
  const uint8_t palette[] = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};  // red, green, blue (B, G, R, 0)
  std::memcpy(dib.data() + sizeof h, palette, sizeof palette);
  const uint8_t rows[] = {2, 1, 0, 0, 0, 1, 2, 0};  // bottom row: blue green red; top: red green blue
  std::memcpy(dib.data() + sizeof h + 12, rows, sizeof rows);
  return dib;
}

TEST_F(ClipboardTest, DibBitmapAndTextBothWays) {
  // A DIB put on the clipboard is there as CF_DIB and as CF_BITMAP.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr));
  EXPECT_TRUE(EmptyClipboard());
  std::vector<uint8_t> dib = PaletteDib();
  HANDLE block = GlobalAlloc(GMEM_MOVEABLE, dib.size());
  std::memcpy(GlobalLock(block), dib.data(), dib.size());
  GlobalUnlock(block);
  EXPECT_EQ(SetClipboardData(CF_DIB, block), block);
  HANDLE text = GlobalAlloc(GMEM_MOVEABLE, 6);
  std::memcpy(GlobalLock(text), "hello", 6);
  SetClipboardData(CF_TEXT, text);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_EQ(CountClipboardFormats(), 3);
  EXPECT_EQ(brv::ClipboardText(), "hello");

  ASSERT_TRUE(OpenClipboard(nullptr));
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  ASSERT_NE(bitmap, nullptr);
  brv::Surface* pixels = brv::BitmapSurface(bitmap);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels->Width(), 3);
  EXPECT_EQ(pixels->Pixel(0, 0), 0x00FF0000u);  // top row starts red
  EXPECT_EQ(pixels->Pixel(2, 1), 0x00FF0000u);
  EXPECT_EQ(pixels->Pixel(1, 1), 0x0000FF00u);
  CloseClipboard();

  // A bitmap put as CF_BITMAP comes back as a 32-bit CF_DIB.
  CBitmap source;
  const uint8_t rows[] = {10, 20, 30, 0, 40, 50, 60, 0};  // 2 x 1, B G R 0
  ASSERT_TRUE(source.CreateBitmap(2, 1, 1, 32, rows));
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_BITMAP, reinterpret_cast<HANDLE>(static_cast<HBITMAP>(source)));
  CloseClipboard();
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  std::vector<uint8_t> back = brv::ClipboardDib();
  ASSERT_EQ(back.size(), 40u + 8u);
  BITMAPINFOHEADER h;
  std::memcpy(&h, back.data(), sizeof h);
  EXPECT_EQ(h.biBitCount, 32);
  EXPECT_EQ(h.biWidth, 2);
  EXPECT_EQ(std::vector<uint8_t>(back.begin() + 40, back.end()), std::vector<uint8_t>(rows, rows + 8));

  // Bad data stays off the clipboard.
  HANDLE junk = GlobalAlloc(0, 20);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(SetClipboardData(CF_DIB, junk), nullptr);
  CloseClipboard();
  GlobalFree(junk);
  EXPECT_EQ(brv::ClipboardDib(), back);
}

TEST_F(ClipboardTest, BitmapClassToAndFromTheClipboard) {
  CWinBmp picture;
  picture.Create(4, 3, 32, false);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) picture.SetPixel(x, y, CPixel32(static_cast<uint8_t>(60 * x), static_cast<uint8_t>(80 * y), 7, 0));
  picture.ToClipboard();
  ASSERT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
  // Through CF_BITMAP (the start-up's way) and through CF_DIB.
  for (unsigned format : {PL_CF_BITMAP, PL_CF_DIB}) {
    CWinBmp copy;
    ASSERT_TRUE(copy.FromClipboard(format)) << format;
    ASSERT_EQ(copy.GetWidth(), 4);
    ASSERT_EQ(copy.GetHeight(), 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(copy.GetPixel(x, y).GetR(), 60 * x) << format;
        EXPECT_EQ(copy.GetPixel(x, y).GetG(), 80 * y) << format;
      }
  }
  // An empty clipboard leaves the picture as it was.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  CloseClipboard();
  CWinBmp left;
  left.Create(16, 16, 32, false);
  EXPECT_FALSE(left.FromClipboard(PL_CF_BITMAP));
  EXPECT_EQ(left.GetWidth(), 16);
}

// ---------------------------------------------------------------- shell

class CursorWnd : public CWnd {
 public:
  HCURSOR own = nullptr;
  void OnMouseMove(UINT, CPoint p) override {
    if (p.x > 50) ::SetCursor(own);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CursorWnd, CWnd)
  ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

TEST_F(WindowingTest, CursorsLinksMetricsAndColours) {
  // A cursor resource (a CUR file: an ICO with type 2 and a hot spot).
  std::string cur = IcoFile([](int, int) { return 0u; }, [](int x, int y) { return x > y; });
  cur[2] = 2;
  cur[10] = 5, cur[12] = 7;  // hot spot (5, 7)
  brv::SetResourceOverlay("CURSOR", 233, cur);
  HCURSOR crop = LoadCursor(AfxGetInstanceHandle(), MAKEINTRESOURCE(233));
  ASSERT_NE(crop, nullptr);
  EXPECT_EQ(LoadCursor(AfxGetInstanceHandle(), MAKEINTRESOURCE(233)), crop);
  EXPECT_EQ(brv::CursorName(crop), "CURSOR 233");
  EXPECT_EQ(brv::IconImageOf(crop)->hotspot, CPoint(5, 7));
  EXPECT_EQ(LoadCursor(AfxGetInstanceHandle(), MAKEINTRESOURCE(234)), nullptr);
  EXPECT_EQ(brv::CursorName(LoadCursor(nullptr, IDC_CROSS)), "cross");

  // The class cursor comes back on the next move.
  CursorWnd w;
  w.own = crop;
  w.CreateEx(0, AfxRegisterWndClass(0, LoadCursor(nullptr, IDC_ARROW)), "Cursor", WS_POPUP | WS_VISIBLE,
             CRect(0, 0, 200, 200), nullptr, 0);
  driver.MouseMove(w.m_hWnd, CPoint(60, 10));
  EXPECT_EQ(driver.CursorName(), "CURSOR 233");
  driver.MouseMove(w.m_hWnd, CPoint(10, 10));
  EXPECT_EQ(driver.CursorName(), "arrow");
  EXPECT_EQ(driver.Backend().Cursor(), LoadCursor(nullptr, IDC_ARROW));

  // Links go to the backend; nothing runs a shell.
  HINSTANCE r = ShellExecute(w.m_hWnd, "open", "mailto:info@example.com", nullptr, nullptr, SW_SHOWNORMAL);
  EXPECT_GT(reinterpret_cast<uintptr_t>(r), 32u);
  EXPECT_EQ(driver.Backend().OpenedUrls(), std::vector<std::string>{"mailto:info@example.com"});
  EXPECT_EQ(reinterpret_cast<uintptr_t>(ShellExecute(nullptr, "open", "", nullptr, nullptr, 0)),
            static_cast<uintptr_t>(SE_ERR_NOASSOC));

  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1024);
  EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 20);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(212, 208, 200));
  EXPECT_EQ(GetDialogBaseUnits(), static_cast<LONG>(MAKELONG(6, 13)));
  CRect du(0, 0, 4, 8);
  MapDialogRect(nullptr, &du);
  EXPECT_EQ(du, CRect(0, 0, 6, 13));
  w.DestroyWindow();
}

// The exit hook: the code is recorded and nothing after it runs.
TEST_F(WindowingTest, ExitHookEndsTheProgramWithItsCode) {
  CWnd w;
  MakeTopLevel(&w);
  bool after = false;
  driver.Run([&] {
    brv::ExitProgram(3);
    after = true;
  });
  EXPECT_FALSE(after);
  EXPECT_EQ(driver.ExitCode(), 3);
  // The ended program takes no input and runs no handler.
  driver.Click(w.m_hWnd, CPoint(5, 5));
  EXPECT_EQ(::SendMessage(w.m_hWnd, WM_GETTEXTLENGTH, 0, 0), 0);
}

struct Probe : CWnd {
  UINT flags = 0;
  short ctrl = 0;
  short delta = 0;
  CPoint screen;
  void OnLButtonDown(UINT f, CPoint) override {
    flags = f;
    ctrl = GetKeyState(VK_CONTROL);
  }
  BOOL OnMouseWheel(UINT, short d, CPoint p) override {
    delta = d;
    screen = p;
    return TRUE;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Probe, CWnd)
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEWHEEL()
END_MESSAGE_MAP()

TEST_F(WindowingTest, KeyStateAndMouseFlagsFollowTheInput) {
  Probe w;
  MakeTopLevel(&w, "Probe", CRect(100, 100, 300, 300), WS_POPUP | WS_VISIBLE);
  driver.Click(w.m_hWnd, CPoint(5, 6), 0, MK_CONTROL | MK_SHIFT);
  EXPECT_EQ(w.flags, static_cast<UINT>(MK_LBUTTON | MK_CONTROL | MK_SHIFT));
  EXPECT_LT(w.ctrl, 0);
  driver.Wheel(w.m_hWnd, CPoint(10, 20), -120);
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);  // the wheel came without Ctrl
  EXPECT_EQ(w.delta, -120);
  EXPECT_EQ(w.screen, CPoint(110, 120));
  w.DestroyWindow();
}


}  // namespace
