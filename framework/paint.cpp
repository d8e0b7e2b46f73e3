// Invalidation, WM_PAINT, the device contexts of windows and the hand-over
// of changed pixels to the backend.
#include <algorithm>
#include <map>

#include "framework/backend.h"
#include "framework/window_state.h"
#include "framework/wnd.h"

namespace brv {

void PresentSurface(HWND topLevel, bool now) {
  WindowRecord* r = Record(topLevel);
  if (!r || !r->surface) return;
  CRect dirty = r->surface->DirtyRect();
  if (dirty.IsRectEmpty() && !now) return;
  r->surface->ClearDirty();
  if (!dirty.IsRectEmpty() || now) CurrentBackend().Present(topLevel, dirty, now);
}

namespace {

// Draws the non-client part of a child window: the frame its style asks
// for and, with WS_CAPTION, the title bar. A child window is never the
// active window, so its title bar has the inactive colours. Every pixel of
// the insets is drawn: what is left would keep stale pixels.
void DrawNonClient(HWND h) {
  WindowRecord* r = Record(h);
  if (!r || !r->IsChild()) return;
  CRect in = NonClientInsets(*r);
  if (in.left == 0 && in.top == 0 && in.right == 0 && in.bottom == 0) return;
  Surface* surface = SurfaceOf(h);
  if (!surface) return;
  CRect w = WindowOnSurface(h);
  CDC dc;
  dc.AttachSurface(surface, w.TopLeft(), VisibleWindowRegion(h));
  CRect box(0, 0, w.Width(), w.Height());
  const ScreenMetrics m = CurrentBackend().Metrics();
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  // The same choice of frame as NonClientInsets.
  auto raised = [&](int width) {
    dc.DrawEdge(&box, EDGE_RAISED, BF_RECT | BF_ADJUST);
    for (int i = 2; i < width && box.Width() > 0 && box.Height() > 0; ++i) {
      dc.Draw3dRect(&box, face, face);
      box.DeflateRect(1, 1);
    }
  };
  if (r->style & WS_THICKFRAME) {
    raised(m.sizingFrame);
  } else if (r->style & WS_DLGFRAME) {
    raised(m.dialogFrame);
  } else if (r->style & WS_BORDER) {
    CBrush black(GetSysColor(COLOR_WINDOWFRAME));
    dc.FrameRect(&box, &black);
    box.DeflateRect(1, 1);
  }
  if (r->exStyle & WS_EX_CLIENTEDGE) {
    dc.DrawEdge(&box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  }
  if (r->exStyle & WS_EX_STATICEDGE) {
    dc.DrawEdge(&box, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  }
  if ((r->style & WS_CAPTION) == WS_CAPTION && m.caption > 0) {
    // The bar, and under it one line of the face colour, as Windows draws it.
    CRect bar(box.left, box.top, box.right, box.top + m.caption - 1);
    dc.FillSolidRect(&bar, GetSysColor(COLOR_INACTIVECAPTION));
    CRect line(box.left, bar.bottom, box.right, box.top + m.caption);
    dc.FillSolidRect(&line, face);
    LOGFONT lf;
    DialogLogFont(&lf);
    lf.lfWeight = FW_BOLD;
    CFont bold;
    bold.CreateFontIndirect(&lf);
    CFont* old = dc.SelectObject(&bold);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_INACTIVECAPTIONTEXT));
    CRect text(bar.left + 3, bar.top, bar.right - 2, bar.bottom);
    dc.DrawText(r->text.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    dc.SelectObject(old);
  }
  dc.DetachSurface();
}

// Pre-order through the windows, lower siblings first, so that a parent
// paints before its children.
HWND FindPaint(HWND h) {
  WindowRecord* r = Record(h);
  if (!r || !(r->style & WS_VISIBLE)) return nullptr;
  if (!r->invalid.IsRectEmpty()) return h;
  for (auto it = r->children.rbegin(); it != r->children.rend(); ++it)
    if (HWND found = FindPaint(*it)) return found;
  return nullptr;
}

}  // namespace

HWND NextWindowToPaint(HWND filter) {
  if (filter) {
    if (!IsReallyVisible(filter)) return nullptr;
    return FindPaint(filter);
  }
  auto tops = State().topLevels;
  for (auto it = tops.rbegin(); it != tops.rend(); ++it)
    if (HWND h = FindPaint(*it)) return h;
  return nullptr;
}

// Sends WM_PAINT; a handler that leaves the window invalid does not get it
// again (no endless repainting).
void PaintWindow(HWND h) {
  WindowRecord* r = Record(h);
  if (!r) return;
  if (!IsReallyVisible(h)) {
    r->invalid.SetRectEmpty();
    r->erase = false;
    return;
  }
  DrawNonClient(h);
  Send(h, WM_PAINT, 0, 0);
  if ((r = Record(h))) {
    r->invalid.SetRectEmpty();
    r->erase = false;
  }
  PresentSurface(TopLevelOf(h), false);
}

void PaintNow(HWND window, bool children) {
  WindowRecord* r = Record(window);
  if (!r || !IsReallyVisible(window)) return;
  if (!r->invalid.IsRectEmpty()) PaintWindow(window);
  if (!children || !(r = Record(window))) return;
  std::vector<HWND> list(r->children.rbegin(), r->children.rend());
  for (HWND c : list) PaintNow(c, true);
}

void PaintAllNow() {
  for (int guard = 0; guard < 100000; ++guard) {
    HWND h = NextWindowToPaint(nullptr);
    if (!h) return;
    PaintWindow(h);
  }
}

void InvalidateWindow(HWND h, const RECT* rect, bool erase, bool allChildren) {
  WindowRecord* r = Record(h);
  if (!r) return;
  CRect client(CPoint(0, 0), ClientOnSurface(h).Size());
  CRect area = client;
  if (rect) {
    CRect want(*rect);
    want.NormalizeRect();
    area.left = std::max(client.left, want.left);
    area.top = std::max(client.top, want.top);
    area.right = std::min(client.right, want.right);
    area.bottom = std::min(client.bottom, want.bottom);
  }
  if (area.IsRectEmpty()) return;
  if (r->invalid.IsRectEmpty()) {
    r->invalid = area;
  } else {
    r->invalid.left = std::min(r->invalid.left, area.left);
    r->invalid.top = std::min(r->invalid.top, area.top);
    r->invalid.right = std::max(r->invalid.right, area.right);
    r->invalid.bottom = std::max(r->invalid.bottom, area.bottom);
  }
  if (erase) r->erase = true;
  if ((r->style & WS_CLIPCHILDREN) && !allChildren) return;
  for (HWND c : r->children) {
    WindowRecord* cr = Record(c);
    if (!cr || !(cr->style & WS_VISIBLE)) continue;
    CRect overlap;
    overlap.left = std::max(area.left, cr->rect.left);
    overlap.top = std::max(area.top, cr->rect.top);
    overlap.right = std::min(area.right, cr->rect.right);
    overlap.bottom = std::min(area.bottom, cr->rect.bottom);
    if (overlap.IsRectEmpty()) continue;
    CRect in = NonClientInsets(*cr);
    overlap.OffsetRect(-cr->rect.left - in.left, -cr->rect.top - in.top);
    InvalidateWindow(c, &overlap, true, allChildren);
  }
}

}  // namespace brv

using namespace brv;

void CWnd::Invalidate(BOOL erase) { InvalidateWindow(m_hWnd, nullptr, erase != FALSE, false); }

void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) { InvalidateWindow(m_hWnd, rect, erase != FALSE, false); }

void CWnd::InvalidateRgn(CRgn* region, BOOL erase) {
  if (!region) {
    Invalidate(erase);
    return;
  }
  CRect box;
  region->GetRgnBox(&box);
  InvalidateRect(&box, erase);
}

void CWnd::ValidateRect(LPCRECT rect) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return;
  if (!rect) {
    r->invalid.SetRectEmpty();
    r->erase = false;
    return;
  }
  // The update area is kept as one rectangle: validating a part that spans
  // it from side to side shrinks it, any other part leaves it.
  CRect v(*rect);
  CRect& u = r->invalid;
  if (v.left <= u.left && v.right >= u.right) {
    if (v.top <= u.top && v.bottom > u.top) u.top = std::min(u.bottom, v.bottom);
    if (v.bottom >= u.bottom && v.top < u.bottom) u.bottom = std::max(u.top, v.top);
  }
  if (u.IsRectEmpty()) {
    u.SetRectEmpty();
    r->erase = false;
  }
}

void CWnd::ValidateRgn(CRgn* region) {
  if (!region) {
    ValidateRect(nullptr);
    return;
  }
  CRect box;
  region->GetRgnBox(&box);
  ValidateRect(&box);
}

void CWnd::UpdateWindow() {
  WindowRecord* r = Record(m_hWnd);
  if (!r || r->invalid.IsRectEmpty()) return;
  PaintWindow(m_hWnd);
  PresentSurface(TopLevelOf(m_hWnd), true);
}

BOOL CWnd::RedrawWindow(LPCRECT rect, CRgn* region, UINT flags) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return FALSE;
  CRect box;
  const RECT* area = rect;
  if (!area && region) {
    region->GetRgnBox(&box);
    area = &box;
  }
  bool allChildren = (flags & RDW_ALLCHILDREN) != 0;
  bool noChildren = (flags & RDW_NOCHILDREN) != 0;
  if (flags & RDW_INVALIDATE) {
    if (noChildren) {
      WindowRecord* rr = Record(m_hWnd);
      CRect client(CPoint(0, 0), ClientOnSurface(m_hWnd).Size());
      CRect a = area ? CRect(*area) : client;
      if (!a.IsRectEmpty()) {
        if (rr->invalid.IsRectEmpty()) rr->invalid = a;
        else {
          rr->invalid.left = std::min(rr->invalid.left, a.left);
          rr->invalid.top = std::min(rr->invalid.top, a.top);
          rr->invalid.right = std::max(rr->invalid.right, a.right);
          rr->invalid.bottom = std::max(rr->invalid.bottom, a.bottom);
        }
        if (flags & RDW_ERASE) rr->erase = true;
      }
    } else {
      InvalidateWindow(m_hWnd, area, (flags & RDW_ERASE) != 0, allChildren);
    }
  }
  if (flags & RDW_VALIDATE) ValidateRect(area);
  if (flags & RDW_UPDATENOW) {
    bool children = !noChildren && (allChildren || !(GetStyle() & WS_CLIPCHILDREN));
    PaintNow(m_hWnd, children);
    PresentSurface(TopLevelOf(m_hWnd), true);
  } else if (flags & RDW_ERASENOW) {
    PaintNow(m_hWnd, false);
  }
  return TRUE;
}

BOOL CWnd::GetUpdateRect(LPRECT rect, BOOL) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return FALSE;
  if (rect) *rect = r->invalid;
  return r->invalid.IsRectEmpty() ? FALSE : TRUE;
}

int CWnd::GetUpdateRgn(CRgn* region, BOOL) {
  WindowRecord* r = Record(m_hWnd);
  if (!r || !region) return RGN_ERROR;
  if (!region->GetSafeHandle()) region->CreateRectRgn(0, 0, 0, 0);
  region->SetRectRgn(&r->invalid);
  return r->invalid.IsRectEmpty() ? NULLREGION : SIMPLEREGION;
}

namespace {

void AttachWindow(CDC* dc, HWND h, const CRect* within) {
  WindowRecord* r = Record(h);
  Surface* surface = SurfaceOf(h);
  if (!r || !surface) return;
  CRect client = ClientOnSurface(h);
  Region visible = VisibleRegion(h, (r->style & WS_CLIPCHILDREN) != 0);
  if (within) {
    CRect w = *within;
    w.OffsetRect(client.left, client.top);
    visible = visible.Intersect(Region(w));
  }
  dc->AttachSurface(surface, client.TopLeft(), visible);
  if (CFont* f = CWnd::FromHandle(h)->GetFont()) dc->SelectObject(f);
}

}  // namespace

namespace {
// The DCs BeginPaint handed out, by handle, for EndPaint.
std::map<HDC, CDC*>& PaintDCs() {
  static std::map<HDC, CDC*> dcs;
  return dcs;
}
}  // namespace

CDC* CWnd::BeginPaint(LPPAINTSTRUCT paint) {
  WindowRecord* r = Record(m_hWnd);
  if (!r || !paint) return nullptr;
  CRect area = r->invalid;
  bool erase = r->erase;
  r->invalid.SetRectEmpty();
  r->erase = false;
  CDC* dc = new CDC;
  AttachWindow(dc, m_hWnd, &area);
  paint->hdc = dc->GetSafeHdc();
  PaintDCs()[paint->hdc] = dc;
  paint->rcPaint = area;
  paint->fErase = FALSE;
  if (erase) paint->fErase = Send(m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc->GetSafeHdc()), 0) ? FALSE : TRUE;
  return dc;
}

void CWnd::EndPaint(LPPAINTSTRUCT paint) {
  if (!paint) return;
  auto it = PaintDCs().find(paint->hdc);
  if (it != PaintDCs().end()) {
    CDC* dc = it->second;
    PaintDCs().erase(it);
    dc->DetachSurface();
    delete dc;
  }
  paint->hdc = nullptr;
  PresentSurface(TopLevelOf(m_hWnd), false);
}

CDC* CWnd::GetDC() {
  if (!Record(m_hWnd)) return nullptr;
  CDC* dc = new CDC;
  AttachWindow(dc, m_hWnd, nullptr);
  return dc;
}

CDC* CWnd::GetWindowDC() { return GetDC(); }

int CWnd::ReleaseDC(CDC* dc) {
  if (!dc) return 0;
  dc->DetachSurface();
  delete dc;
  PresentSurface(TopLevelOf(m_hWnd), false);
  return 1;
}

// Hiding counts: each HideCaret needs its ShowCaret. Only the owner may do
// either.
BOOL CWnd::ShowCaret() {
  auto& c = State().caret;
  if (!m_hWnd || c.owner != m_hWnd || c.hidden == 0) return FALSE;
  --c.hidden;
  return TRUE;
}
BOOL CWnd::HideCaret() {
  auto& c = State().caret;
  if (!m_hWnd || c.owner != m_hWnd) return FALSE;
  ++c.hidden;
  return TRUE;
}
BOOL CWnd::CreateSolidCaret(int width, int height) {
  if (!Record(m_hWnd)) return FALSE;
  auto& c = State().caret;
  c.owner = m_hWnd;
  c.size = SIZE{width, height};
  c.hidden = 1;
  return TRUE;
}
BOOL CWnd::SetCaretPos(POINT p) {
  auto& c = State().caret;
  if (!c.owner) return FALSE;
  c.pos = p;
  return TRUE;
}

CClientDC::CClientDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr) {
  if (Record(m_hWnd)) AttachWindow(this, m_hWnd, nullptr);
}

CClientDC::~CClientDC() {
  DetachSurface();
  PresentSurface(TopLevelOf(m_hWnd), false);
}

CPaintDC::CPaintDC(CWnd* window) : m_hWnd(window ? window->m_hWnd : nullptr) {
  WindowRecord* r = Record(m_hWnd);
  if (!r) return;
  CRect area = r->invalid;
  bool erase = r->erase;
  r->invalid.SetRectEmpty();
  r->erase = false;
  AttachWindow(this, m_hWnd, &area);
  m_ps.hdc = GetSafeHdc();
  m_ps.rcPaint = area;
  m_ps.fErase = FALSE;
  if (erase) m_ps.fErase = Send(m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(GetSafeHdc()), 0) ? FALSE : TRUE;
}

CPaintDC::~CPaintDC() {
  DetachSurface();
  PresentSurface(TopLevelOf(m_hWnd), false);
}

BOOL InvalidateRect(HWND window, LPCRECT rect, BOOL erase) {
  if (!Record(window)) return FALSE;
  InvalidateWindow(window, rect, erase != FALSE, false);
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  CWnd* w = CWnd::FromHandle(window);
  if (!w) return FALSE;
  w->UpdateWindow();
  return TRUE;
}

BOOL RedrawWindow(HWND window, LPCRECT rect, HRGN region, UINT flags) {
  CWnd* w = CWnd::FromHandle(window);
  return w ? w->RedrawWindow(rect, CRgn::FromHandle(region), flags) : FALSE;
}
