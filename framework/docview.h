#pragma once
// Document, view and frame: CDocument holds the program's data and its
// views; CView draws a document; CFrameWnd is the top-level window with the
// menu bar, the accelerator table and the client (a view or a splitter);
// CSingleDocTemplate pairs them for the one document.
//
// Commands route: the active view, its document, the frame, the
// application. A command from the menu, an accelerator or
// SendMessage(WM_COMMAND, id, 0) first asks the update handlers and is
// dropped when they disable it; update handlers run before a pop-up opens
// (items without any handler are disabled while m_bAutoMenuEnable is set).
#include <vector>

#include "framework/cstring.h"
#include "framework/menu.h"
#include "framework/wnd.h"

class CDocument;
class CView;
class CFrameWnd;
class CDocTemplate;
class CSplitterWnd;

struct CCreateContext {
  const CRuntimeClass* m_pNewViewClass = nullptr;
  CDocument* m_pCurrentDoc = nullptr;
  CDocTemplate* m_pNewDocTemplate = nullptr;
  CView* m_pLastView = nullptr;
  CFrameWnd* m_pCurrentFrame = nullptr;
};

struct __POSITION;
typedef __POSITION* POSITION;

class CDocument : public CCmdTarget {
  DECLARE_DYNAMIC(CDocument)
 public:
  CDocument();
  ~CDocument() override;

  const CString& GetTitle() const { return m_strTitle; }
  // Also the title of the frames that show the document.
  virtual void SetTitle(LPCSTR title);
  const CString& GetPathName() const { return m_strPathName; }
  // The title becomes the file name; addToMru adds the path to the recent files.
  virtual void SetPathName(LPCSTR path, BOOL addToMru = TRUE);
  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
  virtual BOOL IsModified();
  virtual void SetModifiedFlag(BOOL modified = TRUE);

  void AddView(CView* view);
  void RemoveView(CView* view);
  virtual POSITION GetFirstViewPosition() const;
  virtual CView* GetNextView(POSITION& position) const;
  void UpdateAllViews(CView* sender, LPARAM hint = 0, CObject* hintObject = nullptr);

  virtual BOOL OnNewDocument();
  virtual BOOL OnOpenDocument(LPCSTR path);
  virtual BOOL OnSaveDocument(LPCSTR path);
  virtual void OnCloseDocument();
  virtual void DeleteContents();
  virtual BOOL SaveModified();
  virtual BOOL CanCloseFrame(CFrameWnd* frame);
  virtual void PreCloseFrame(CFrameWnd* frame);
  void UpdateFrameCounts();

  BOOL m_bAutoDelete = TRUE;
  CDocTemplate* m_pDocTemplate = nullptr;

 protected:
  CString m_strTitle;
  CString m_strPathName;
  BOOL m_bModified = FALSE;
  std::vector<CView*> m_viewList;
};

class CView : public CWnd {
  DECLARE_DYNAMIC(CView)
 public:
  CView();
  ~CView() override;

  CDocument* GetDocument() const { return m_pDocument; }
  virtual void OnDraw(CDC* dc) = 0;
  virtual void OnInitialUpdate();
  virtual void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject);
  // The base: when activated, the view takes the focus.
  virtual void OnActivateView(BOOL activate, CView* activated, CView* deactivated);
  virtual void OnPrepareDC(CDC* dc, void* printInfo = nullptr);
  // The frame's next- or previous-pane command (ID_NEXT_PANE / ID_PREV_PANE).
  virtual BOOL OnNextPaneCmd(UINT id);
  static CSplitterWnd* GetParentSplitter(const CWnd* window, BOOL anyState);

  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;
  void PostNcDestroy() override;
  int OnCreate(LPCREATESTRUCT cs) override;
  void OnDestroy() override;
  void OnPaint() override;
  // The base: activates this view in its frame; clicks stay with the view.
  int OnMouseActivate(CWnd* topLevel, UINT hitTest, UINT message) override;

  CDocument* m_pDocument = nullptr;

 protected:
  LRESULT OnInitialUpdateMessage(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()
};

class CFrameWnd : public CWnd {
  DECLARE_DYNCREATE(CFrameWnd)
 public:
  using CWnd::Create;
  CFrameWnd();
  ~CFrameWnd() override;

  static const CRect rectDefault;

  // The window with the menu (MENU/<id>), accelerators (ACCELERATORS/<id>),
  // icon (ICON/<id>) and title (the string <id> up to its first '\n', else
  // the application's name) of the resource number.
  virtual BOOL LoadFrame(UINT resourceId, DWORD style = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, CWnd* parent = nullptr,
                         CCreateContext* context = nullptr);
  BOOL Create(LPCSTR className, LPCSTR title, DWORD style = WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
              CWnd* parent = nullptr, LPCSTR menuName = nullptr, DWORD exStyle = 0,
              CCreateContext* context = nullptr);
  virtual BOOL OnCreateClient(LPCREATESTRUCT cs, CCreateContext* context);
  CWnd* CreateView(CCreateContext* context, UINT id = AFX_IDW_PANE_FIRST);

  virtual CView* GetActiveView() const;
  virtual void SetActiveView(CView* view, BOOL notify = TRUE);
  virtual CDocument* GetActiveDocument();
  void InitialUpdateFrame(CDocument* document, BOOL makeVisible);
  virtual void ActivateFrame(int show = -1);
  virtual void OnUpdateFrameTitle(BOOL addToTitle);
  void UpdateFrameTitleForDocument(LPCSTR documentName);
  // Lays the client (the child with id AFX_IDW_PANE_FIRST) over the client area.
  virtual void RecalcLayout(BOOL notify = TRUE);
  const CString& GetTitle() const { return m_strTitle; }
  void SetTitle(LPCSTR title) { m_strTitle = title; }

  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void PostNcDestroy() override;

  int OnCreate(LPCREATESTRUCT cs) override;
  void OnSize(UINT type, int cx, int cy) override;
  void OnClose() override;
  void OnDestroy() override;
  void OnSetFocus(CWnd* previous) override;
  void OnActivate(UINT state, CWnd* other, BOOL minimized) override;
  // Runs the update handler of every item before the pop-up opens.
  void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu) override;

  BOOL m_bAutoMenuEnable = TRUE;
  HACCEL m_hAccelTable = nullptr;
  UINT m_nIDHelp = 0;

 protected:
  CString m_strTitle;
  CView* m_pViewActive = nullptr;
  CMenu menuBar_;
  DECLARE_MESSAGE_MAP()
};

class CDocTemplate : public CCmdTarget {
  DECLARE_DYNAMIC(CDocTemplate)
 public:
  enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };
  ~CDocTemplate() override = default;

  // A part of the string <resource id> ('\n'-separated); FALSE when missing or empty.
  virtual BOOL GetDocString(CString& text, DocStringIndex index) const;
  virtual CDocument* CreateNewDocument();
  virtual CFrameWnd* CreateNewFrame(CDocument* document, CFrameWnd* other);
  virtual void InitialUpdateFrame(CFrameWnd* frame, CDocument* document, BOOL makeVisible = TRUE);
  virtual void SetDefaultTitle(CDocument* document);
  virtual CDocument* OpenDocumentFile(LPCSTR path, BOOL makeVisible = TRUE) = 0;
  virtual POSITION GetFirstDocPosition() const = 0;
  virtual CDocument* GetNextDoc(POSITION& position) const = 0;
  virtual void AddDocument(CDocument* document);
  virtual void RemoveDocument(CDocument* document);
  virtual void CloseAllDocuments(BOOL endSession);

  UINT m_nIDResource;
  const CRuntimeClass* m_pDocClass;
  const CRuntimeClass* m_pFrameClass;
  const CRuntimeClass* m_pViewClass;

 protected:
  CDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
               const CRuntimeClass* viewClass);
};

class CSingleDocTemplate : public CDocTemplate {
  DECLARE_DYNAMIC(CSingleDocTemplate)
 public:
  CSingleDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
                     const CRuntimeClass* viewClass);
  ~CSingleDocTemplate() override;
  CDocument* OpenDocumentFile(LPCSTR path, BOOL makeVisible = TRUE) override;
  POSITION GetFirstDocPosition() const override;
  CDocument* GetNextDoc(POSITION& position) const override;
  void AddDocument(CDocument* document) override;
  void RemoveDocument(CDocument* document) override;

 protected:
  CDocument* m_pOnlyDoc = nullptr;
};
