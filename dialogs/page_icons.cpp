#include "dialogs/page_icons.h"

#include "framework/resources.h"
#include "picture/anypicdecoder.h"
#include "seams/app.h"

namespace pages {

IconBar::IconBar(CDialog* page, int first, int last, UINT hintBase) : page_(page) {
    for (int id = first; id <= last; ++id) {
        icons_.push_back(id);
        hints_.push_back(hintBase + UINT(id - first));
    }
}

IconBar::IconBar(CDialog* page, std::span<const int> icons, std::span<const UINT> hints)
    : page_(page), icons_(icons.begin(), icons.end()), hints_(hints.begin(), hints.end()) {}

int IconBar::IconAt(CPoint screen) const {
    for (int id : icons_) {
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
    for (std::size_t k = 0; k < icons_.size() && k < hints_.size(); ++k)
        if (icons_[k] == icon) text.LoadString(hints_[k]);
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
    svc::MainFrame* frame = svc::mainFrame();
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

bool IconClicked(CDialog* page, const IconBar& bar, UINT id) {
    CWnd* icon = page->GetDlgItem(int(id));
    if (!icon || !icon->IsWindowVisible()) return false;
    bar.Blink(int(id));
    return true;
}

void ForwardMouseMove(CWnd* page, const MSG* msg) {
    CPoint screen;
    if (MouseMoveOver(page, msg, &screen) && msg->hwnd != page->m_hWnd) {
        CPoint client = screen;
        page->ScreenToClient(&client);
        page->OnMouseMove(UINT(msg->wParam), client);
    }
}

}  // namespace pages
