#include "framework/object.h"

#include <cstring>
#include <map>
#include <string>

#include "framework/menu.h"
#include "framework/wnd.h"

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

BOOL CObject::IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

namespace {
std::map<std::string, const CRuntimeClass*>& Creatable() {
  static std::map<std::string, const CRuntimeClass*> classes;
  return classes;
}
}  // namespace

CObject* CRuntimeClass::CreateObject(CDocument* document, int number) const {
  return m_pfnCreateObject ? m_pfnCreateObject(document, number) : nullptr;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
    if (c == base) return TRUE;
  return FALSE;
}

const CRuntimeClass* CRuntimeClass::FromName(LPCSTR className) {
  if (!className) return nullptr;
  auto it = Creatable().find(className);
  return it == Creatable().end() ? nullptr : it->second;
}

brv::RuntimeClassRegistrar::RuntimeClassRegistrar(const CRuntimeClass* cls) {
  Creatable()[cls->m_lpszClassName] = cls;
}

// ---------------------------------------------------------------- tables

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const brv::MessageMap* CCmdTarget::GetThisMessageMap() {
  static const brv::MessageMapEntry entries[] = {{0, 0, 0, 0, nullptr}};
  static const brv::MessageMap map = {nullptr, entries};
  return &map;
}

const brv::MessageMap* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

namespace brv {

const MessageMapEntry* FindMessageEntry(const MessageMap* map, UINT message) {
  if (message == WM_COMMAND || message == WM_NOTIFY) return nullptr;
  for (; map; map = map->base ? map->base() : nullptr)
    for (const MessageMapEntry* e = map->entries; e->thunk; ++e)
      if (e->message == message) return e;
  return nullptr;
}

}  // namespace brv

BOOL CCmdTarget::OnCmdMsg(UINT id, int code, void* extra, AFX_CMDHANDLERINFO* handlerInfo) {
  UINT message = WM_COMMAND;
  UINT wanted = static_cast<UINT>(code);
  bool notify = code != CN_UPDATE_COMMAND_UI && HIWORD(static_cast<uint32_t>(code)) == WM_NOTIFY;
  if (notify) {
    message = WM_NOTIFY;
    wanted = LOWORD(static_cast<uint32_t>(code));
  }
  for (const brv::MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
    for (const brv::MessageMapEntry* e = map->entries; e->thunk; ++e) {
      if (e->message != message || id < e->id || id > e->lastId) continue;
      if (notify ? (e->code & 0xFFFF) != wanted : e->code != wanted) continue;
      if (handlerInfo) {
        handlerInfo->pTarget = this;
        return TRUE;
      }
      brv::MsgArgs args{message, 0, 0, id, code, extra};
      if (notify) {
        auto* info = static_cast<brv::NotifyInfo*>(extra);
        args.extra = info ? info->hdr : nullptr;
        BOOL handled = e->thunk(this, args);
        if (info && info->result) *info->result = args.result;
        return handled;
      }
      if (code == CN_UPDATE_COMMAND_UI) {
        CCmdUI* ui = static_cast<CCmdUI*>(extra);
        if (ui) ui->m_bContinueRouting = FALSE;
        e->thunk(this, args);
        return ui ? !ui->m_bContinueRouting : TRUE;
      }
      return e->thunk(this, args);
    }
  }
  return FALSE;
}

// ---------------------------------------------------------------- CCmdUI

void CCmdUI::Enable(BOOL on) {
  if (m_pMenu) {
    if (m_nIndex < m_nIndexMax)
      m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
  } else if (m_pOther) {
    m_pOther->EnableWindow(on);
  }
  m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int check) {
  if (m_pMenu) {
    if (m_nIndex < m_nIndexMax) m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
  } else if (m_pOther) {
    m_pOther->SendMessage(BM_SETCHECK, static_cast<WPARAM>(check), 0);
  }
}

void CCmdUI::SetRadio(BOOL on) { SetCheck(on ? 1 : 0); }

void CCmdUI::SetText(LPCSTR text) {
  if (m_pMenu) {
    if (m_nIndex < m_nIndexMax) {
      UINT state = m_pMenu->GetMenuState(m_nIndex, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
      m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | MF_STRING | state, m_nID, text);
    }
  } else if (m_pOther) {
    m_pOther->SetWindowText(text);
  }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler) {
  if (!target || m_nID == 0) return TRUE;
  m_bEnableChanged = FALSE;
  BOOL handled = target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, nullptr);
  if (!handled && disableIfNoHandler && !m_bEnableChanged) {
    AFX_CMDHANDLERINFO info{nullptr};
    Enable(target->OnCmdMsg(m_nID, CN_COMMAND, this, &info));
  }
  return handled;
}
