#include "views/fast_paint.h"

HDC FastBeginPaint(HWND window, PAINTSTRUCT* paint) {
    CWnd* w = window ? CWnd::FromHandle(window) : nullptr;
    if (!w || !paint) return nullptr;
    CDC* dc = w->GetDC();
    if (!dc) return nullptr;
    w->HideCaret();
    CRgn update;
    update.CreateRectRgn(0, 0, 0, 0);
    w->GetUpdateRgn(&update, FALSE);
    dc->SelectClipRgn(&update);
    // Validated with its erase flag: no WM_ERASEBKGND follows.
    w->ValidateRect(nullptr);
    paint->hdc = dc->GetSafeHdc();
    paint->fErase = FALSE;
    update.GetRgnBox(&paint->rcPaint);
    return paint->hdc;
}

void FastEndPaint(HWND window, PAINTSTRUCT* paint) {
    CWnd* w = window ? CWnd::FromHandle(window) : nullptr;
    if (!w || !paint) return;
    if (paint->hdc) w->ReleaseDC(CDC::FromHandle(paint->hdc));
    paint->hdc = nullptr;
    w->ShowCaret();
}
