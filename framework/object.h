#pragma once
// CObject with run-time class information, CCmdTarget with its message
// table, and CCmdUI, the object that update handlers enable and check.
//
// Run-time classes: DECLARE_DYNAMIC / DECLARE_DYNCREATE in the class,
// IMPLEMENT_DYNAMIC / IMPLEMENT_DYNCREATE beside its members. A creatable
// class is made by a factory taking (document, int): the class is built
// with (CDocument*, int) when it has that constructor, else with its default
// constructor; IMPLEMENT_DYNCREATE_DOC(class, base, docClass) builds it with
// (docClass*, int) for views whose constructor takes their own document
// class. CRuntimeClass::FromName finds a linked creatable class by name.
//
// Message tables: DECLARE_MESSAGE_MAP() in the class, then
//   BEGIN_MESSAGE_MAP(CMyWnd, CWnd)
//     ON_WM_LBUTTONDOWN()
//     ON_COMMAND(32779, OnSelect)
//   END_MESSAGE_MAP()
// Entries name the member alone (OnSelect, not &CMyWnd::OnSelect); the
// table of a class is searched before its base's. The entry macros are in
// framework/msgmap.h.
#include <cstddef>

#include "framework/cstring.h"
#include "framework/winmsg.h"

class CObject;
class CDocument;
class CCmdTarget;
class CMenu;
class CWnd;

struct CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  CObject* (*m_pfnCreateObject)(CDocument* document, int number);
  const CRuntimeClass* m_pBaseClass;

  // Null when the class is not creatable.
  CObject* CreateObject(CDocument* document = nullptr, int number = 0) const;
  BOOL IsDerivedFrom(const CRuntimeClass* base) const;
  // A creatable class by its name ("CViewOrigPhoto"); null when none is linked.
  static const CRuntimeClass* FromName(LPCSTR className);
};

namespace brv {
// Registers a creatable class for CRuntimeClass::FromName.
struct RuntimeClassRegistrar {
  explicit RuntimeClassRegistrar(const CRuntimeClass* cls);
};
template <class T>
CObject* CreateWith(CDocument* document, int number) {
  if constexpr (requires { new T(document, number); })
    return new T(document, number);
  else
    return new T();
}
template <class T, class D>
CObject* CreateWithDocument(CDocument* document, int number) {
  return new T(static_cast<D*>(document), number);
}
}  // namespace brv

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                 \
 public:                                            \
  static const CRuntimeClass class##class_name;     \
  const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject(CDocument* document, int number);

#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                                     \
  const CRuntimeClass class_name::class##class_name = {#class_name, static_cast<int>(sizeof(class_name)), \
                                                       nullptr, RUNTIME_CLASS(base_class_name)};           \
  const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define BRV_IMPLEMENT_CREATABLE(class_name, base_class_name, factory)                                      \
  CObject* class_name::CreateObject(CDocument* document, int number) { return factory(document, number); } \
  const CRuntimeClass class_name::class##class_name = {#class_name, static_cast<int>(sizeof(class_name)), \
                                                       &class_name::CreateObject,                          \
                                                       RUNTIME_CLASS(base_class_name)};                    \
  const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }          \
  static const brv::RuntimeClassRegistrar brv_registrar_##class_name(RUNTIME_CLASS(class_name));

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
  BRV_IMPLEMENT_CREATABLE(class_name, base_class_name, brv::CreateWith<class_name>)
#define IMPLEMENT_DYNCREATE_DOC(class_name, base_class_name, doc_class_name) \
  BRV_IMPLEMENT_CREATABLE(class_name, base_class_name, (brv::CreateWithDocument<class_name, doc_class_name>))

class CObject {
 public:
  static const CRuntimeClass classCObject;
  virtual ~CObject() = default;
  virtual const CRuntimeClass* GetRuntimeClass() const;
  BOOL IsKindOf(const CRuntimeClass* cls) const;

 protected:
  CObject() = default;

 private:
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};

// ---------------------------------------------------------------- tables

// Command codes of OnCmdMsg: CN_COMMAND runs a command, CN_UPDATE_COMMAND_UI
// asks its update handler; a WM_NOTIFY notification travels as
// MAKELONG(code, WM_NOTIFY).
enum : int { CN_COMMAND = 0, CN_UPDATE_COMMAND_UI = -1 };

namespace brv {

struct MsgArgs {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  UINT id;     // commands and notifications
  int code;    // commands and notifications
  void* extra; // CCmdUI* for update handlers, NMHDR* for notifications
  LRESULT result = 0;
};
// The extra data of a notification passed to OnCmdMsg.
struct NotifyInfo {
  NMHDR* hdr;
  LRESULT* result;
};

// Calls the handler; FALSE when the handler declined (the _EX forms).
typedef BOOL (*MsgThunk)(CCmdTarget* target, MsgArgs& args);

struct MessageMapEntry {
  UINT message;  // WM_..., WM_COMMAND or WM_NOTIFY
  UINT code;     // notification or command code (CN_UPDATE_COMMAND_UI as UINT)
  UINT id;       // first control or command id
  UINT lastId;   // last id of a range
  MsgThunk thunk;
};

struct MessageMap {
  const MessageMap* (*base)();
  const MessageMapEntry* entries;  // ends with an entry whose thunk is null
};

// The entry for a window message (not WM_COMMAND / WM_NOTIFY), searching the
// class's table and then its bases'; null when none.
const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message);

}  // namespace brv

struct AFX_CMDHANDLERINFO {
  CCmdTarget* pTarget;
};

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  CCmdTarget() = default;
  // Runs (or, with handlerInfo, only finds) the handler of a command, an
  // update request or a notification in this object's tables. TRUE when one
  // was found.
  virtual BOOL OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo);

 protected:
  static const brv::MessageMap* GetThisMessageMap();
  virtual const brv::MessageMap* GetMessageMap() const;
};

#define DECLARE_MESSAGE_MAP()                          \
 protected:                                            \
  static const brv::MessageMap* GetThisMessageMap();   \
  const brv::MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                         \
  const brv::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const brv::MessageMap* theClass::GetThisMessageMap() {                               \
    using ThisClass [[maybe_unused]] = theClass;                                       \
    using TheBaseClass [[maybe_unused]] = baseClass;                                   \
    static const brv::MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                   \
  {0, 0, 0, 0, nullptr}                                                     \
  }                                                                         \
  ;                                                                         \
  static const brv::MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &map;                                                              \
  }

// ---------------------------------------------------------------- CCmdUI

class CCmdUI {
 public:
  CCmdUI() = default;
  virtual ~CCmdUI() = default;

  UINT m_nID = 0;
  UINT m_nIndex = 0;          // menu item or other index
  CMenu* m_pMenu = nullptr;   // the menu (null when not a menu)
  CMenu* m_pSubMenu = nullptr;
  CWnd* m_pOther = nullptr;   // a window (null when a menu)
  UINT m_nIndexMax = 0;       // items of the menu
  BOOL m_bEnableChanged = FALSE;
  BOOL m_bContinueRouting = FALSE;

  virtual void Enable(BOOL on = TRUE);
  virtual void SetCheck(int check = 1);
  virtual void SetRadio(BOOL on = TRUE);
  virtual void SetText(LPCSTR text);
  void ContinueRouting() { m_bContinueRouting = TRUE; }

  // Asks the target's update handler; with disableIfNoHandler an item whose
  // command has no handler is disabled. TRUE when an update handler ran.
  BOOL DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);
};
