#include "framework/splitter.h"

#include <algorithm>

#include "framework/window_state.h"

IMPLEMENT_DYNCREATE(CSplitterWnd, CWnd)

BEGIN_MESSAGE_MAP(CSplitterWnd, CWnd)
  ON_WM_SIZE()
  ON_WM_PAINT()
END_MESSAGE_MAP()

CSplitterWnd::CSplitterWnd() = default;
CSplitterWnd::~CSplitterWnd() = default;

BOOL CSplitterWnd::CreateStatic(CWnd* parent, int rows, int cols, DWORD style, UINT id) {
  if (!parent || rows < 1 || cols < 1 || rows > 16 || cols > 16 || m_hWnd) return FALSE;
  rows_ = rows;
  cols_ = cols;
  rowInfo_.assign(static_cast<size_t>(rows), Info());
  colInfo_.assign(static_cast<size_t>(cols), Info());
  CRect client;
  parent->GetClientRect(&client);
  return CreateEx(0, AFX_WND_CLASS, nullptr, style | WS_CHILD | WS_CLIPCHILDREN, client, parent, id);
}

BOOL CSplitterWnd::CreateView(int row, int col, const CRuntimeClass* viewClass, SIZE initialSize,
                              CCreateContext* context) {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_ || !viewClass || GetPane(row, col)) return FALSE;
  CCreateContext ctx;
  if (context) ctx = *context;
  ctx.m_pNewViewClass = viewClass;
  int id = IdFromRowCol(row, col);
  auto* view = dynamic_cast<CWnd*>(viewClass->CreateObject(ctx.m_pCurrentDoc, id));
  if (!view) return FALSE;
  rowInfo_[static_cast<size_t>(row)].ideal = initialSize.cy;
  colInfo_[static_cast<size_t>(col)].ideal = initialSize.cx;
  CRect rect(CPoint(0, 0), initialSize);
  if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, rect, this, static_cast<UINT>(id), &ctx)) {
    delete view;
    return FALSE;
  }
  return TRUE;
}

void CSplitterWnd::DeleteView(int row, int col) {
  CWnd* pane = GetPane(row, col);
  if (!pane) return;
  if (CFrameWnd* frame = GetParentFrame(); frame && frame->GetActiveView() == pane) frame->SetActiveView(nullptr, FALSE);
  pane->DestroyWindow();
}

CWnd* CSplitterWnd::GetPane(int row, int col) const {
  if (row < 0 || row >= rows_ || col < 0 || col >= cols_) return nullptr;
  return GetDlgItem(IdFromRowCol(row, col));
}

BOOL CSplitterWnd::IsChildPane(CWnd* window, int* row, int* col) {
  if (!window || window->GetParent() != this) return FALSE;
  int id = window->GetDlgCtrlID() - AFX_IDW_PANE_FIRST;
  int r = id / 16, c = id % 16;
  if (id < 0 || r >= rows_ || c >= cols_) return FALSE;
  if (row) *row = r;
  if (col) *col = c;
  return TRUE;
}

void CSplitterWnd::SetRowInfo(int row, int ideal, int minimum) {
  if (row < 0 || row >= rows_) return;
  rowInfo_[static_cast<size_t>(row)].ideal = ideal;
  rowInfo_[static_cast<size_t>(row)].minimum = minimum;
}

void CSplitterWnd::GetRowInfo(int row, int& current, int& minimum) const {
  current = minimum = 0;
  if (row < 0 || row >= rows_) return;
  current = rowInfo_[static_cast<size_t>(row)].current;
  minimum = rowInfo_[static_cast<size_t>(row)].minimum;
}

void CSplitterWnd::SetColumnInfo(int col, int ideal, int minimum) {
  if (col < 0 || col >= cols_) return;
  colInfo_[static_cast<size_t>(col)].ideal = ideal;
  colInfo_[static_cast<size_t>(col)].minimum = minimum;
}

void CSplitterWnd::GetColumnInfo(int col, int& current, int& minimum) const {
  current = minimum = 0;
  if (col < 0 || col >= cols_) return;
  current = colInfo_[static_cast<size_t>(col)].current;
  minimum = colInfo_[static_cast<size_t>(col)].minimum;
}

void CSplitterWnd::Layout(std::vector<Info>& infos, int size) {
  int left = std::max(0, size - 2 * kBorder);
  for (size_t i = 0; i < infos.size(); ++i) {
    Info& info = infos[i];
    if (i + 1 == infos.size()) {
      info.current = left < info.minimum ? 0 : left;
    } else {
      info.current = info.ideal < info.minimum || info.ideal <= 0 ? 0 : std::min(info.ideal, left);
      left -= info.current;
      left -= std::min<int>(kBar, left);
    }
  }
}

void CSplitterWnd::RecalcLayout() {
  if (!m_hWnd || !(GetStyle() & WS_VISIBLE)) return;
  CRect client;
  GetClientRect(&client);
  Layout(rowInfo_, client.Height());
  Layout(colInfo_, client.Width());
  int y = kBorder;
  for (int r = 0; r < rows_; ++r) {
    int x = kBorder;
    int h = rowInfo_[static_cast<size_t>(r)].current;
    for (int c = 0; c < cols_; ++c) {
      int w = colInfo_[static_cast<size_t>(c)].current;
      if (CWnd* pane = GetPane(r, c)) {
        bool shown = w > 0 && h > 0;
        pane->MoveWindow(x, y, shown ? w : 0, shown ? h : 0, TRUE);
        if (shown && !(pane->GetStyle() & WS_VISIBLE)) pane->ShowWindow(SW_SHOWNA);
        if (!shown && (pane->GetStyle() & WS_VISIBLE)) pane->ShowWindow(SW_HIDE);
      }
      x += w + kBar;
    }
    y += h + kBar;
  }
  Invalidate();
}

CWnd* CSplitterWnd::GetActivePane(int* row, int* col) {
  CWnd* pane = nullptr;
  if (CFrameWnd* frame = GetParentFrame()) pane = frame->GetActiveView();
  if (!pane || !IsChildPane(pane, row, col)) {
    pane = GetFocus();
    if (!pane || !IsChildPane(pane, row, col)) return nullptr;
  }
  return pane;
}

void CSplitterWnd::SetActivePane(int row, int col, CWnd* window) {
  CWnd* pane = window ? window : GetPane(row, col);
  if (!pane) return;
  CFrameWnd* frame = GetParentFrame();
  if (auto* view = dynamic_cast<CView*>(pane); view && frame)
    frame->SetActiveView(view);
  else
    pane->SetFocus();
}

namespace {
bool Shown(CWnd* pane) {
  if (!pane || !(pane->GetStyle() & WS_VISIBLE)) return false;
  CRect r;
  pane->GetClientRect(&r);
  return r.Width() > 0 && r.Height() > 0;
}
}  // namespace

BOOL CSplitterWnd::CanActivateNext(BOOL) {
  int shown = 0;
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < cols_; ++c) shown += Shown(GetPane(r, c)) ? 1 : 0;
  return shown > 1 ? TRUE : FALSE;
}

void CSplitterWnd::ActivateNext(BOOL previous) {
  int row = 0, col = 0;
  if (!GetActivePane(&row, &col)) row = col = 0;
  int n = rows_ * cols_;
  int at = row * cols_ + col;
  for (int k = 1; k <= n; ++k) {
    int i = ((at + (previous ? -k : k)) % n + n) % n;
    if (Shown(GetPane(i / cols_, i % cols_))) {
      SetActivePane(i / cols_, i % cols_);
      return;
    }
  }
}

void CSplitterWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  RecalcLayout();
}

void CSplitterWnd::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  dc.FillRect(&client, GetSysColorBrush(COLOR_BTNFACE));
}
