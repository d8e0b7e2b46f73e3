// The GL views' paint: the window DC clipped to the update region, the
// window valid at once without an erase, the caret hidden meanwhile.

#include "views/fast_paint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/framework/window_support.h"

namespace {

class EraseLog : public CWnd {
public:
    int erases = 0;
    LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override {
        if (message == WM_ERASEBKGND) ++erases;
        return CWnd::WindowProc(message, w, l);
    }
};

class FastPaintTest : public WindowingTest {
protected:
    COLORREF Pixel(HWND h, int x, int y) { return brv::HeadlessDriver::Pixel(h, x, y); }
};

TEST_F(FastPaintTest, ClipsToTheUpdateRegionValidatesAndHidesTheCaret) {
    struct Case {
        CRect invalid;
        bool erase;
        bool caret;
    };
    const Case cases[] = {
        {CRect(10, 20, 60, 50), true, true},
        {CRect(0, 0, 400, 300), false, false},
        {CRect(100, 5, 101, 6), true, false},
    };
    for (const Case& c : cases) {
        EraseLog w;
        MakeTopLevel(&w);
        driver.Pump();
        CRect client;
        w.GetClientRect(&client);
        {
            CClientDC dc(&w);
            dc.FillSolidRect(&client, RGB(255, 255, 255));
        }
        w.erases = 0;  // the first paint's
        if (c.caret) {
            w.CreateSolidCaret(2, 10);
            w.ShowCaret();
        }
        w.InvalidateRect(&c.invalid, c.erase);
        PAINTSTRUCT ps{};
        HDC hdc = FastBeginPaint(w.m_hWnd, &ps);
        ASSERT_NE(hdc, nullptr);
        EXPECT_EQ(ps.hdc, hdc);
        EXPECT_FALSE(ps.fErase);
        CRect want;
        want.left = std::max(c.invalid.left, client.left), want.top = std::max(c.invalid.top, client.top);
        want.right = std::min(c.invalid.right, client.right), want.bottom = std::min(c.invalid.bottom, client.bottom);
        EXPECT_EQ(CRect(ps.rcPaint), want) << ps.rcPaint.right << " " << ps.rcPaint.bottom;
        CRect left;
        EXPECT_FALSE(w.GetUpdateRect(&left));
        EXPECT_EQ(w.erases, 0);
        EXPECT_EQ(brv::State().caret.hidden, c.caret ? 1 : 0);
        CDC::FromHandle(hdc)->FillSolidRect(&client, RGB(200, 0, 0));
        FastEndPaint(w.m_hWnd, &ps);
        EXPECT_EQ(ps.hdc, nullptr);
        EXPECT_EQ(brv::State().caret.hidden, 0);
        // Only the update region took the colour.
        for (int y = 0; y < client.Height(); y += 3)
            for (int x = 0; x < client.Width(); x += 3)
                ASSERT_EQ(Pixel(w.m_hWnd, x, y), want.PtInRect(CPoint(x, y)) ? RGB(200, 0, 0) : RGB(255, 255, 255))
                    << x << "," << y;
        // Nothing left to paint, and no erase afterwards.
        driver.Pump();
        EXPECT_EQ(w.erases, 0);
        w.DestroyWindow();
    }
}

TEST_F(FastPaintTest, NoWindowNoDc) {
    PAINTSTRUCT ps{};
    ps.fErase = 7;
    EXPECT_EQ(FastBeginPaint(nullptr, &ps), nullptr);
    EXPECT_EQ(ps.fErase, 7);
    FastEndPaint(nullptr, &ps);
    CWnd w;
    MakeTopLevel(&w);
    EXPECT_EQ(FastBeginPaint(w.m_hWnd, nullptr), nullptr);
}

}  // namespace
