#pragma once
// The GL views' paint without the framework's paint DC: the window's DC
// clipped to the update region, the whole window validated without an
// erase, the caret hidden until FastEndPaint.

#include "framework/ui.h"

// Fills paint (hdc, erase flag 0, the update region's box) and returns the
// DC; null, paint untouched, for a window that is not there.
HDC FastBeginPaint(HWND window, PAINTSTRUCT* paint);
// Releases the DC and shows the caret again.
void FastEndPaint(HWND window, PAINTSTRUCT* paint);
