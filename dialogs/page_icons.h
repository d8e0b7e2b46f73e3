#pragma once
// The icon bars of the work-flow pages: rows of bitmap statics whose hint
// (from the string table) takes the page's hint line while the mouse rests
// on one, and which blink inverted for 300 ms when clicked before acting.

#include <span>
#include <vector>

#include "framework/ui.h"
#include "picture/winbmp.h"

namespace pages {

class IconBar {
public:
    // Icons first..last; the hint of icon i is string hintBase + i - first.
    IconBar(CDialog* page, int first, int last, UINT hintBase);
    // The icons listed, each with its hint string.
    IconBar(CDialog* page, std::span<const int> icons, std::span<const UINT> hints);

    // The visible icon under the screen point, or 0.
    int IconAt(CPoint screen) const;
    // The icon's hint text.
    CString Hint(int icon) const;
    // Inverts the icon's rectangle (one pixel in on the left and top) on the
    // page, holds 300 ms and inverts it back.
    void Blink(int icon) const;
    // The hint line under the mouse: an icon's hint replaces the line (the
    // line's own text is kept the first time); away from the icons the kept
    // text comes back. True when the line changed.
    bool Hover(CPoint screen, CString& line, CString& kept, bool& shown) const;

private:
    CDialog* page_;
    std::vector<int> icons_;
    std::vector<UINT> hints_;
};

// A PICFILES picture decoded at 32 bits; false (out untouched) when the
// program carries none.
bool LoadPicture(unsigned id, CWinBmp& out);

// A page that ends itself: its window goes and the frame lets it go.
void ClosePage(CWnd* page);

// Whether the message is mouse movement over the page or one of its
// controls; its screen position.
bool MouseMoveOver(const CWnd* page, const MSG* msg, CPoint* screen);

// A click on an icon of the bar: false when the icon is not shown, else it
// blinks and true.
bool IconClicked(CDialog* page, const IconBar& bar, UINT id);

// Mouse movement over one of the page's controls goes to the page's own
// OnMouseMove (in its client coordinates): the icons take the mouse
// themselves and their hints are shown from there.
void ForwardMouseMove(CWnd* page, const MSG* msg);

}  // namespace pages
