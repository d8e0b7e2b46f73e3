#pragma once
// What the feature-point and feature-curve pages do alike: their icon
// commands, the views they restart, the frame's select tool, their place
// over the frame, the hint of the row to place, undo and leaving the page.

#include <initializer_list>

#include "dialogs/page_icons.h"
#include "framework/ui.h"
#include "picture/winbmp.h"

class CFaceView;

namespace svc {
class MainFrame;
}

namespace pages {

// The icon commands the feature pages share, by their order on the bars:
// 0 save, 1 notes, 2 and 3 the rectangle zooms, 4 fit, 5 move, 6 the manual,
// 7 the film, 8 about. Nothing for any other number.
void FeatureIconCommand(int command);

// Each view back at the first row with nothing selected; fitted when fit.
void RestartViews(std::initializer_list<CFaceView*> views, bool fit);

// The frame's select tool (nothing when there is no frame); with unlock no
// view stays locked either.
void SelectTool(svc::MainFrame* frame, bool unlock);

// The frame's active view (null without a frame or an active view).
CFaceView* ActiveView();

// The page at the top of the frame's client area: 2 pixels in from its left
// edge, or centred (31 pixels left of it).
void PlaceOverFrame(CWnd* page, bool centred);

// The hint line of the row to place: the side to place it on and the
// skip text follow; the kept hint is that line.
void AddSkipHint(CString& hint, const CString& side, CString& kept);

// The gap left of, between and right of two previews side by side.
int PreviewGap(const CWnd* page, const CWinBmp& first, const CWinBmp& second);

// The frame's undo; true when the document is still at the step it was at
// and the page still open.
bool UndoKeepsStep(const CWnd* page);

// The undo files go, the page closes and the frame is sent the step code.
void LeavePage(CWnd* page, int code);

}  // namespace pages
