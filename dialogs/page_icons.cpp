#include "dialogs/page_icons.h"

#include "app/mainframe.h"
#include "framework/resources.h"
#include "picture/anypicdecoder.h"

namespace pages {

int IconBar::IconAt(CPoint screen) const {
    for (int id = first_; id <= last_; ++id) {
        CWnd* icon = page_->GetDlgItem(id);
        if (!icon || !icon->IsWindowVisible()) continue;
        CRect r;
        icon->GetWindowRect(&r);
        if (r.PtInRect(screen)) return id;
    }
    return 0;
}

CString IconBar::Hint(int icon) const {
    CString text;
    text.LoadString(hintBase_ + UINT(icon - first_));
    return text;
}

void IconBar::Blink(int icon) const {
    CWnd* control = page_->GetDlgItem(icon);
    if (!control) return;
    CRect r;
    control->GetWindowRect(&r);
    page_->ScreenToClient(&r);
    r.left += 1;
    r.top += 1;
    {
        CClientDC dc(page_);
        dc.InvertRect(&r);
    }
    ::Sleep(300);
    CClientDC dc(page_);
    dc.InvertRect(&r);
}

bool IconBar::Hover(CPoint screen, CString& line, CString& kept, bool& shown) const {
    const int icon = IconAt(screen);
    if (icon) {
        if (!shown) kept = line;
        shown = true;
        const CString hint = Hint(icon);
        if (line == hint) return false;
        line = hint;
        return true;
    }
    if (!shown) return false;
    shown = false;
    line = kept;
    return true;
}

bool LoadPicture(unsigned id, CWinBmp& out) {
    std::span<const unsigned char> bytes = brv::ResourceBytes("PICFILES", id);
    if (!bytes.data() || bytes.empty()) return false;
    try {
        CWinBmp decoded;
        CAnyPicDecoder decoder;
        decoder.MakeBmpFromMemory(bytes.data(), int(bytes.size()), &decoded, 32);
        out = decoded;
    } catch (...) {
        return false;
    }
    return true;
}

void ClosePage(CWnd* page) {
    if (!page) return;
    CMainFrame* frame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    if (page->m_hWnd) page->DestroyWindow();
    if (frame) frame->ForgetPage(page);
}

bool MouseMoveOver(const CWnd* page, const MSG* msg, CPoint* screen) {
    if (msg->message != WM_MOUSEMOVE || !page->m_hWnd) return false;
    if (msg->hwnd != page->m_hWnd && !page->IsChild(CWnd::FromHandle(msg->hwnd))) return false;
    CPoint p(short(LOWORD(msg->lParam)), short(HIWORD(msg->lParam)));
    ::ClientToScreen(msg->hwnd, &p);
    *screen = p;
    return true;
}

}  // namespace pages
