#include "framework/docview.h"

#include <algorithm>

#include "framework/app.h"
#include "framework/resources.h"
#include "framework/splitter.h"
#include "framework/system.h"
#include "framework/window_state.h"

using namespace brv;

// ---------------------------------------------------------------- CDocument

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)

CDocument::CDocument() = default;

CDocument::~CDocument() {
  for (CView* v : m_viewList) v->m_pDocument = nullptr;
  m_viewList.clear();
  if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(LPCSTR title) {
  m_strTitle = title ? title : "";
  UpdateFrameCounts();
}

void CDocument::UpdateFrameCounts() {
  std::vector<CFrameWnd*> frames;
  for (CView* v : m_viewList)
    if (CFrameWnd* f = v->GetParentFrame(); f && std::find(frames.begin(), frames.end(), f) == frames.end())
      frames.push_back(f);
  for (CFrameWnd* f : frames) f->OnUpdateFrameTitle(TRUE);
}

void CDocument::SetPathName(LPCSTR path, BOOL addToMru) {
  m_strPathName = path ? path : "";
  CString name = m_strPathName;
  int cut = std::max(name.ReverseFind('\\'), name.ReverseFind('/'));
  SetTitle(name.Mid(cut + 1));
  if (addToMru && AfxGetApp()) AfxGetApp()->AddToRecentFileList(m_strPathName);
}

BOOL CDocument::IsModified() { return m_bModified; }
void CDocument::SetModifiedFlag(BOOL modified) { m_bModified = modified; }

void CDocument::AddView(CView* view) {
  if (!view || std::find(m_viewList.begin(), m_viewList.end(), view) != m_viewList.end()) return;
  m_viewList.push_back(view);
  view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view) {
  auto it = std::find(m_viewList.begin(), m_viewList.end(), view);
  if (it == m_viewList.end()) return;
  m_viewList.erase(it);
  view->m_pDocument = nullptr;
}

POSITION CDocument::GetFirstViewPosition() const {
  return m_viewList.empty() ? nullptr : reinterpret_cast<POSITION>(static_cast<uintptr_t>(1));
}

CView* CDocument::GetNextView(POSITION& position) const {
  size_t index = reinterpret_cast<uintptr_t>(position);
  if (index == 0 || index > m_viewList.size()) {
    position = nullptr;
    return nullptr;
  }
  CView* v = m_viewList[index - 1];
  position = index < m_viewList.size() ? reinterpret_cast<POSITION>(static_cast<uintptr_t>(index + 1)) : nullptr;
  return v;
}

void CDocument::UpdateAllViews(CView* sender, LPARAM hint, CObject* hintObject) {
  std::vector<CView*> views = m_viewList;
  for (CView* v : views)
    if (v != sender && std::find(m_viewList.begin(), m_viewList.end(), v) != m_viewList.end())
      v->OnUpdate(sender, hint, hintObject);
}

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  m_strPathName.Empty();
  SetModifiedFlag(FALSE);
  return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCSTR) {
  DeleteContents();
  SetModifiedFlag(FALSE);
  return TRUE;
}

BOOL CDocument::OnSaveDocument(LPCSTR) {
  SetModifiedFlag(FALSE);
  return TRUE;
}

void CDocument::OnCloseDocument() {
  BOOL autoDelete = m_bAutoDelete;
  m_bAutoDelete = FALSE;  // not while the frames go
  std::vector<CFrameWnd*> frames;
  for (CView* v : m_viewList)
    if (CFrameWnd* f = v->GetParentFrame(); f && std::find(frames.begin(), frames.end(), f) == frames.end())
      frames.push_back(f);
  for (CFrameWnd* f : frames) {
    PreCloseFrame(f);
    f->DestroyWindow();
  }
  m_bAutoDelete = autoDelete;
  DeleteContents();
  if (m_bAutoDelete) delete this;
}

void CDocument::DeleteContents() {}

BOOL CDocument::SaveModified() {
  if (!IsModified()) return TRUE;
  CString text;
  text.Format("Save changes to %s?", m_strTitle.GetString());
  switch (AfxMessageBox(text, MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDCANCEL: return FALSE;
    case IDYES: return OnSaveDocument(m_strPathName);
    default: return TRUE;
  }
}

BOOL CDocument::CanCloseFrame(CFrameWnd*) { return SaveModified(); }
void CDocument::PreCloseFrame(CFrameWnd*) {}

// ---------------------------------------------------------------- CView

IMPLEMENT_DYNAMIC(CView, CWnd)

BEGIN_MESSAGE_MAP(CView, CWnd)
  ON_WM_PAINT()
  ON_WM_MOUSEACTIVATE()
  ON_WM_CREATE()
  ON_WM_DESTROY()
  ON_MESSAGE(WM_INITIALUPDATE, OnInitialUpdateMessage)
  ON_COMMAND_EX(ID_NEXT_PANE, OnNextPaneCmd)
  ON_COMMAND_EX(ID_PREV_PANE, OnNextPaneCmd)
END_MESSAGE_MAP()

CView::CView() = default;

CView::~CView() {
  if (m_pDocument) m_pDocument->RemoveView(this);
}

void CView::OnDestroy() {
  if (CFrameWnd* f = GetParentFrame(); f && f->GetActiveView() == this) f->SetActiveView(nullptr, FALSE);
  CWnd::OnDestroy();
}

BOOL CView::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass) cs.lpszClass = AFX_WNDFRAMEORVIEW_CLASS;
  cs.style |= WS_CLIPSIBLINGS;
  return TRUE;
}

int CView::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  auto* context = static_cast<CCreateContext*>(cs ? cs->lpCreateParams : nullptr);
  if (context && context->m_pCurrentDoc) context->m_pCurrentDoc->AddView(this);
  return 0;
}

void CView::PostNcDestroy() { delete this; }

LRESULT CView::OnInitialUpdateMessage(WPARAM, LPARAM) {
  OnInitialUpdate();
  return 0;
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
void CView::OnUpdate(CView*, LPARAM, CObject*) { Invalidate(TRUE); }
void CView::OnPrepareDC(CDC*, void*) {}

void CView::OnPaint() {
  CPaintDC dc(this);
  OnPrepareDC(&dc);
  OnDraw(&dc);
}

void CView::OnActivateView(BOOL activate, CView*, CView*) {
  if (activate && State().active == TopLevelOf(m_hWnd)) SetFocus();
}

int CView::OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message) {
  int result = CWnd::OnMouseActivate(topLevel, hitTest, message);
  if (result == MA_NOACTIVATE || result == MA_NOACTIVATEANDEAT) return result;
  if (CFrameWnd* frame = GetParentFrame()) {
    HWND focus = State().focus;
    if (frame->GetActiveView() == this && focus != m_hWnd && !(focus && IsChild(CWnd::FromHandle(focus))))
      OnActivateView(TRUE, this, this);
    else
      frame->SetActiveView(this);
  }
  return result;
}

BOOL CView::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (CWnd::OnCmdMsg(id, code, extra, handlerInfo)) return TRUE;
  return m_pDocument ? m_pDocument->OnCmdMsg(id, code, extra, handlerInfo) : FALSE;
}

CSplitterWnd* CView::GetParentSplitter(const CWnd* window, BOOL anyState) {
  CWnd* parent = window ? window->GetParent() : nullptr;
  auto* splitter = dynamic_cast<CSplitterWnd*>(parent);
  if (!splitter) return nullptr;
  if (!anyState && !splitter->IsWindowVisible()) return nullptr;
  return splitter;
}

BOOL CView::OnNextPaneCmd(UINT id) {
  CSplitterWnd* splitter = GetParentSplitter(this, FALSE);
  if (!splitter) return FALSE;
  splitter->ActivateNext(id == ID_PREV_PANE);
  return TRUE;
}

// ---------------------------------------------------------------- CFrameWnd

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_CLOSE()
  ON_WM_DESTROY()
  ON_WM_SETFOCUS()
  ON_WM_ACTIVATE()
  ON_WM_INITMENUPOPUP()
END_MESSAGE_MAP()

const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd() {
  if (m_hAccelTable) DestroyAcceleratorTable(m_hAccelTable);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs) {
  if (!cs.lpszClass) cs.lpszClass = AFX_WNDFRAMEORVIEW_CLASS;
  cs.style |= WS_CLIPCHILDREN;
  return TRUE;
}

void CFrameWnd::PostNcDestroy() { delete this; }

BOOL CFrameWnd::Create(LPCSTR className, LPCSTR title, DWORD style, const RECT& rect, CWnd* parent, LPCSTR menuName,
                       DWORD exStyle, CCreateContext* context) {
  m_strTitle = title ? title : "";
  HMENU menu = nullptr;
  if (menuName) {
    if (!menuBar_.LoadMenu(menuName)) return FALSE;
    menu = menuBar_.m_hMenu;
  }
  int cx = rect.right == 0 && rect.left == CW_USEDEFAULT ? CW_USEDEFAULT : rect.right - rect.left;
  int cy = rect.bottom == 0 && rect.top == CW_USEDEFAULT ? CW_USEDEFAULT : rect.bottom - rect.top;
  return CreateEx(exStyle, className, m_strTitle, style, rect.left, rect.top, cx, cy,
                  parent ? parent->m_hWnd : nullptr, menu, context);
}

BOOL CFrameWnd::LoadFrame(UINT resourceId, DWORD style, CWnd* parent, CCreateContext* context) {
  m_nIDHelp = resourceId;
  CString title;
  if (title.LoadString(resourceId)) {
    int nl = title.Find('\n');
    if (nl >= 0) title = title.Left(nl);
  }
  if (title.IsEmpty()) title = AfxGetAppName();
  HICON icon = ::LoadIcon(AfxGetResourceHandle(), MAKEINTRESOURCE(resourceId));
  LPCSTR menuName = FindMenuLayout(static_cast<int>(resourceId)) ? MAKEINTRESOURCE(resourceId) : nullptr;
  if (!Create(nullptr, title, style, rectDefault, parent, menuName, 0, context)) return FALSE;
  if (icon) {
    SetIcon(icon, TRUE);
    SetIcon(icon, FALSE);
  }
  m_hAccelTable = LoadAccelerators(AfxGetResourceHandle(), MAKEINTRESOURCE(resourceId));
  if (!context) SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
  return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  auto* context = static_cast<CCreateContext*>(cs ? cs->lpCreateParams : nullptr);
  if (!OnCreateClient(cs, context)) return -1;
  RecalcLayout();
  return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* context) {
  if (context && context->m_pNewViewClass) return CreateView(context, AFX_IDW_PANE_FIRST) ? TRUE : FALSE;
  return TRUE;
}

CWnd* CFrameWnd::CreateView(CCreateContext* context, UINT id) {
  if (!context || !context->m_pNewViewClass) return nullptr;
  auto* view = dynamic_cast<CWnd*>(context->m_pNewViewClass->CreateObject(context->m_pCurrentDoc, static_cast<int>(id)));
  if (!view) return nullptr;
  if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(0, 0, 0, 0), this, id, context)) {
    delete view;
    return nullptr;
  }
  return view;
}

CView* CFrameWnd::GetActiveView() const { return m_pViewActive; }

void CFrameWnd::SetActiveView(CView* view, BOOL notify) {
  CView* old = m_pViewActive;
  if (view == old) return;
  m_pViewActive = nullptr;
  if (old) old->OnActivateView(FALSE, view, old);
  if (m_pViewActive) return;  // the old view's handler chose another
  m_pViewActive = view;
  if (view && notify) view->OnActivateView(TRUE, view, old);
}

CDocument* CFrameWnd::GetActiveDocument() {
  CView* v = GetActiveView();
  return v ? v->GetDocument() : nullptr;
}

namespace {
CView* FirstView(HWND h) {
  WindowRecord* r = Record(h);
  if (!r) return nullptr;
  for (HWND c : r->children) {
    if (auto* v = dynamic_cast<CView*>(CWnd::FromHandlePermanent(c))) return v;
    if (CView* v = FirstView(c)) return v;
  }
  return nullptr;
}
}  // namespace

void CFrameWnd::InitialUpdateFrame(CDocument* document, BOOL makeVisible) {
  CView* view = GetActiveView();
  if (!view) {
    view = FirstView(m_hWnd);
    if (view) SetActiveView(view, FALSE);
  }
  if (makeVisible) {
    SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
    ActivateFrame();
    if (view && Record(view->m_hWnd)) view->OnActivateView(TRUE, view, view);
  }
  if (document) document->UpdateFrameCounts();
  OnUpdateFrameTitle(TRUE);
}

void CFrameWnd::ActivateFrame(int show) {
  if (show == -1) {
    if (!IsWindowVisible())
      show = IsZoomed() ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    else if (IsIconic())
      show = SW_RESTORE;
  }
  if (show != -1) ShowWindow(show);
  BringWindowToTop();
}

void CFrameWnd::OnUpdateFrameTitle(BOOL addToTitle) {
  CDocument* doc = GetActiveDocument();
  if (addToTitle && (GetStyle() & FWS_ADDTOTITLE) && doc)
    UpdateFrameTitleForDocument(doc->GetTitle());
  else
    UpdateFrameTitleForDocument(nullptr);
}

void CFrameWnd::UpdateFrameTitleForDocument(LPCSTR documentName) {
  CString title = m_strTitle;
  if (documentName && *documentName && (GetStyle() & FWS_ADDTOTITLE)) title = CString(documentName) + " - " + m_strTitle;
  CString now;
  GetWindowText(now);
  if (now != title) SetWindowText(title);
}

void CFrameWnd::RecalcLayout(BOOL) {
  CRect client;
  GetClientRect(&client);
  if (CWnd* pane = GetDlgItem(AFX_IDW_PANE_FIRST)) pane->MoveWindow(&client);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg) {
  if (msg->message >= WM_KEYDOWN && msg->message <= WM_SYSKEYUP && m_hAccelTable)
    return TranslateAccelerator(m_hWnd, m_hAccelTable, msg) ? TRUE : FALSE;
  return FALSE;
}

BOOL CFrameWnd::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  if (CView* view = GetActiveView(); view && view->OnCmdMsg(id, code, extra, handlerInfo)) return TRUE;
  if (CWnd::OnCmdMsg(id, code, extra, handlerInfo)) return TRUE;
  if (CWinApp* app = AfxGetApp(); app && app->OnCmdMsg(id, code, extra, handlerInfo)) return TRUE;
  return FALSE;
}

BOOL CFrameWnd::OnCommand(WPARAM wParam, LPARAM lParam) { return CWnd::OnCommand(wParam, lParam); }

void CFrameWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (type != SIZE_MINIMIZED) RecalcLayout();
}

void CFrameWnd::OnClose() {
  CDocument* doc = GetActiveDocument();
  if (doc && !doc->CanCloseFrame(this)) return;
  CWinApp* app = AfxGetApp();
  HWND me = m_hWnd;
  if (app && app->m_pMainWnd == this) {
    if (!doc && !app->SaveAllModified()) return;
    app->CloseAllDocuments(FALSE);
    if (!Record(me)) return;
  } else if (doc) {
    doc->PreCloseFrame(this);
  }
  DestroyWindow();
}

void CFrameWnd::OnDestroy() {
  if (m_pViewActive) m_pViewActive = nullptr;
  CWnd::OnDestroy();
}

void CFrameWnd::OnSetFocus(CWnd* previous) {
  if (m_pViewActive && Record(m_pViewActive->m_hWnd))
    m_pViewActive->SetFocus();
  else
    CWnd::OnSetFocus(previous);
}

void CFrameWnd::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  CWnd::OnActivate(state, other, minimized);
  if (state != WA_INACTIVE && !minimized && m_pViewActive && Record(m_pViewActive->m_hWnd)) m_pViewActive->SetFocus();
}

void CFrameWnd::OnInitMenuPopup(CMenu* popup, UINT, BOOL systemMenu) {
  if (systemMenu || !popup) return;
  CCmdUI state;
  state.m_pMenu = popup;
  state.m_nIndexMax = popup->GetMenuItemCount();
  for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
    state.m_nID = popup->GetMenuItemID(static_cast<int>(state.m_nIndex));
    if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1)) continue;  // separators and pop-ups
    state.m_pSubMenu = nullptr;
    state.DoUpdate(this, m_bAutoMenuEnable && state.m_nID < 0xF000);
    if (!Record(m_hWnd) || !IsMenu(popup->m_hMenu)) return;
    UINT count = popup->GetMenuItemCount();
    if (count != state.m_nIndexMax) state.m_nIndexMax = count;
  }
}

// ---------------------------------------------------------------- templates

IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)

CDocTemplate::CDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
                           const CRuntimeClass* viewClass)
    : m_nIDResource(resourceId), m_pDocClass(docClass), m_pFrameClass(frameClass), m_pViewClass(viewClass) {}

BOOL CDocTemplate::GetDocString(CString& text, DocStringIndex index) const {
  text.Empty();
  CString all;
  if (!all.LoadString(m_nIDResource)) return FALSE;
  int i = 0, start = 0;
  for (;;) {
    int nl = all.Find('\n', start);
    if (i == static_cast<int>(index)) {
      text = nl < 0 ? all.Mid(start) : all.Mid(start, nl - start);
      return text.IsEmpty() ? FALSE : TRUE;
    }
    if (nl < 0) return FALSE;
    start = nl + 1;
    ++i;
  }
}

CDocument* CDocTemplate::CreateNewDocument() {
  if (!m_pDocClass) return nullptr;
  auto* doc = dynamic_cast<CDocument*>(m_pDocClass->CreateObject());
  if (!doc) return nullptr;
  AddDocument(doc);
  return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* document, CFrameWnd*) {
  CCreateContext context;
  context.m_pNewViewClass = m_pViewClass;
  context.m_pCurrentDoc = document;
  context.m_pNewDocTemplate = this;
  auto* frame = m_pFrameClass ? dynamic_cast<CFrameWnd*>(m_pFrameClass->CreateObject()) : nullptr;
  if (!frame) return nullptr;
  context.m_pCurrentFrame = frame;
  if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
    delete frame;  // a failed creation leaves the object to its maker
    return nullptr;
  }
  return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* frame, CDocument* document, BOOL makeVisible) {
  if (frame) frame->InitialUpdateFrame(document, makeVisible);
}

void CDocTemplate::SetDefaultTitle(CDocument* document) {
  CString title;
  if (!GetDocString(title, docName) || title.IsEmpty()) title = "Untitled";
  document->SetTitle(title);
}

void CDocTemplate::AddDocument(CDocument* document) { document->m_pDocTemplate = this; }
void CDocTemplate::RemoveDocument(CDocument* document) {
  if (document->m_pDocTemplate == this) document->m_pDocTemplate = nullptr;
}

void CDocTemplate::CloseAllDocuments(BOOL) {
  POSITION pos = GetFirstDocPosition();
  while (pos)
    if (CDocument* d = GetNextDoc(pos)) d->OnCloseDocument();
}

IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
                                       const CRuntimeClass* viewClass)
    : CDocTemplate(resourceId, docClass, frameClass, viewClass) {}

CSingleDocTemplate::~CSingleDocTemplate() {
  if (CDocument* doc = m_pOnlyDoc) {
    m_pOnlyDoc = nullptr;
    doc->m_pDocTemplate = nullptr;
    delete doc;
  }
}

POSITION CSingleDocTemplate::GetFirstDocPosition() const {
  return m_pOnlyDoc ? reinterpret_cast<POSITION>(static_cast<uintptr_t>(1)) : nullptr;
}

CDocument* CSingleDocTemplate::GetNextDoc(POSITION& position) const {
  CDocument* d = position ? m_pOnlyDoc : nullptr;
  position = nullptr;
  return d;
}

void CSingleDocTemplate::AddDocument(CDocument* document) {
  CDocTemplate::AddDocument(document);
  m_pOnlyDoc = document;
}

void CSingleDocTemplate::RemoveDocument(CDocument* document) {
  CDocTemplate::RemoveDocument(document);
  if (m_pOnlyDoc == document) m_pOnlyDoc = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCSTR path, BOOL makeVisible) {
  CDocument* doc = m_pOnlyDoc;
  CFrameWnd* frame = nullptr;
  bool created = false;
  if (doc) {
    if (!doc->SaveModified()) return nullptr;
    POSITION pos = doc->GetFirstViewPosition();
    if (CView* v = doc->GetNextView(pos)) frame = v->GetParentFrame();
  } else {
    doc = CreateNewDocument();
    if (!doc) return nullptr;
    created = true;
  }
  if (!frame) {
    BOOL autoDelete = doc->m_bAutoDelete;
    doc->m_bAutoDelete = FALSE;
    frame = CreateNewFrame(doc, nullptr);
    doc->m_bAutoDelete = autoDelete;
    if (!frame) {
      if (created) delete doc;
      return nullptr;
    }
  }
  if (!path) {
    SetDefaultTitle(doc);
    if (!doc->OnNewDocument()) {
      if (created) frame->DestroyWindow();
      return nullptr;
    }
  } else {
    if (!doc->OnOpenDocument(path)) {
      if (created) frame->DestroyWindow();
      return nullptr;
    }
    doc->SetPathName(path);
  }
  if (CWinApp* app = AfxGetApp(); app && !app->m_pMainWnd) app->m_pMainWnd = frame;
  InitialUpdateFrame(frame, doc, makeVisible);
  return doc;
}

// ---------------------------------------------------------------- CWnd frames

CFrameWnd* CWnd::GetParentFrame() const {
  for (CWnd* p = GetParent(); p; p = p->GetParent())
    if (auto* frame = dynamic_cast<CFrameWnd*>(p)) return frame;
  return nullptr;
}

CFrameWnd* CWnd::GetTopLevelFrame() const {
  CFrameWnd* top = dynamic_cast<CFrameWnd*>(const_cast<CWnd*>(this));
  if (!top) top = GetParentFrame();
  while (top)
    if (CFrameWnd* up = top->GetParentFrame()) top = up;
    else break;
  return top;
}
