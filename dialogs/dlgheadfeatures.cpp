#include "dialogs/dlgheadfeatures.h"

#include <algorithm>

#include "document/facedoc.h"
#include "fitting/kernel3d.h"
#include "model/featuretables.h"
#include "model/head.h"
#include "model/topology.h"
#include "seams/app.h"
#include "views/faceview.h"
#include "views/viewedit3d.h"

namespace {


head3* headOf(CFaceDoc* doc) { return doc && doc->kernel3D ? doc->kernel3D->head : nullptr; }

// The table code of a row of the list's table.
CString codeOf(int list, int row) {
    CString code;
    switch (list) {
        case CDlgHeadFeatures::kPointList: GetFeaturePointInfo(row, &code); break;
        case CDlgHeadFeatures::kCurveList: GetFeatureLineInfo(row, &code); break;
        default: GetRegionInfo(row, &code); break;
    }
    return code;
}

// Whether the head has the element of the row, bound to its surface.
bool present(const head3& h, int list, const CString& code) {
    switch (list) {
        case CDlgHeadFeatures::kPointList: {
            Index<featurepoint3> p = h.getFeaturepoint(code, false);
            if (p == -1) return false;
            const featurepoint3& f = h.featurepoints[p];
            return f.vtx != -1 || (f.extra != -1 && f.extra.data().tri != -1);
        }
        case CDlgHeadFeatures::kCurveList: {
            Index<featureline3> l = h.getFeatureline(code, false);
            if (l == -1) return false;
            const featureline3& line = h.featurelines[l];
            return line.count() > 0 && line[line.first()].line == l;
        }
        default: {
            Index<region> r = h.getRegion(code, false);
            if (r == -1) return false;
            const region& reg = h.regions[r];
            if (reg.areas.count() == 0) return false;
            Index<area> a = reg.areas[reg.areas.first()];
            return a != -1 && a.data().triangles.count() > 0;
        }
    }
}

void beep() { ::MessageBeep(MB_ICONASTERISK); }

}  // namespace

// ---------------------------------------------------------------- the lists

BEGIN_MESSAGE_MAP(CHeadFeatureList, CListCtrl)
  ON_WM_LBUTTONDOWN()
  ON_WM_KEYUP()
END_MESSAGE_MAP()

int CHeadFeatureList::StateOf(int item) const { return int(GetItemState(item, LVIS_STATEIMAGEMASK) >> 12); }

void CHeadFeatureList::SetStateOf(int item, int state) {
    SetItemState(item, INDEXTOSTATEIMAGEMASK(UINT(state)), LVIS_STATEIMAGEMASK);
}

void CHeadFeatureList::OnLButtonDown(UINT flags, CPoint point) {
    if (owner && (owner->walking || owner->busy)) {
        beep();
        return;
    }
    UINT where = 0;
    const int item = HitTest(point, &where);
    CWnd* dialog = GetParent();
    const WPARAM id = WPARAM(GetDlgCtrlID());
    if (item >= 0 && (where & LVHT_ONITEMSTATEICON)) {
        const int now = StateOf(item) == 1 ? 3 : 1;
        SetStateOf(item, now);
        if (dialog)
            dialog->SendMessage(now == 3 ? CDlgHeadFeatures::kStartPlacing : CDlgHeadFeatures::kWithdraw, id,
                                LPARAM(item));
    } else if (dialog) {
        dialog->SendMessage(CDlgHeadFeatures::kChoose, id, LPARAM(item >= 0 ? item : -1));
    }
    if (m_hWnd) CListCtrl::OnLButtonDown(flags, point);
}

void CHeadFeatureList::OnKeyUp(UINT key, UINT repeat, UINT flags) {
    if (owner && (owner->walking || owner->busy)) {
        beep();
        return;
    }
    switch (key) {
        case VK_PRIOR:
        case VK_NEXT:
        case VK_END:
        case VK_HOME:
        case VK_UP:
        case VK_DOWN:
            if (CWnd* dialog = GetParent())
                dialog->PostMessage(CDlgHeadFeatures::kChoose, WPARAM(GetDlgCtrlID()),
                                    LPARAM(GetNextItem(-1, LVNI_SELECTED)));
            break;
        default: break;
    }
    CListCtrl::OnKeyUp(key, repeat, flags);
}

// ---------------------------------------------------------------- the window

BEGIN_MESSAGE_MAP(CDlgHeadFeatures, CDialog)
  ON_NOTIFY(TCN_SELCHANGE, 1025, OnTabChange)
  ON_MESSAGE(CDlgHeadFeatures::kChoose, OnChoose)
  ON_MESSAGE(CDlgHeadFeatures::kStartPlacing, OnStartPlacing)
  ON_MESSAGE(CDlgHeadFeatures::kWithdraw, OnWithdraw)
  ON_BN_CLICKED(1042, OnGetNext)
  ON_WM_DESTROY()
END_MESSAGE_MAP()

CDlgHeadFeatures::CDlgHeadFeatures(CWnd* parent, CFaceDoc* doc) : CDialog(IDD_HEADFEATURES, parent), m_pDoc(doc) {}

CDlgHeadFeatures::CDlgHeadFeatures(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

// The document given, while it is still the program's one.
CFaceDoc* CDlgHeadFeatures::doc() const { return m_pDoc == actdoc ? m_pDoc : actdoc; }

void CDlgHeadFeatures::Toggle(CDlgHeadFeatures*& page, CWnd* frame, CFaceDoc* doc) {
    if (!page) page = new CDlgHeadFeatures(frame, doc);
    if (page->m_hWnd)
        page->DestroyWindow();
    else
        page->Create(IDD_HEADFEATURES, frame);
}

CHeadFeatureList* CDlgHeadFeatures::List(int id) {
    if (id < kPointList || id > kRegionList) return nullptr;
    return &m_lists[id - kPointList];
}

CHeadFeatureList* CDlgHeadFeatures::VisibleList() {
    CTabCtrl* tab = static_cast<CTabCtrl*>(GetDlgItem(1025));
    const int sel = tab ? tab->GetCurSel() : 0;
    return &m_lists[std::clamp(sel, 0, 2)];
}

BOOL CDlgHeadFeatures::OnInitDialog() {
    CDialog::OnInitDialog();
    walking = busy = false;
    if (auto* frame = dynamic_cast<CWnd*>(svc::mainFrame())) {
        CRect client, mine;
        frame->GetClientRect(&client);
        frame->ClientToScreen(&client);
        GetWindowRect(&mine);
        SetWindowPos(nullptr, client.right - mine.Width() - 31, client.top + 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowText("Template preparation");

    CTabCtrl* tab = static_cast<CTabCtrl*>(GetDlgItem(1025));
    if (tab) {
        tab->InsertItem(0, "Points");
        tab->InsertItem(1, "Curves");
        tab->SetCurSel(0);
    }
    for (int i = 0; i < 3; ++i) {
        m_lists[i].owner = this;
        if (!m_lists[i].m_hWnd) m_lists[i].SubclassDlgItem(UINT(kPointList + i), this);
    }
    auto add = [](CHeadFeatureList& list, int row, const CString& name) {
        list.InsertItem(LVIF_TEXT | LVIF_STATE | LVIF_PARAM, list.GetItemCount(), name, INDEXTOSTATEIMAGEMASK(1),
                        LVIS_STATEIMAGEMASK, 0, LPARAM(row));
    };
    CString code, name, type;
    int kind = 0;
    for (int row = 0; GetFeaturePointInfo(row, &code, nullptr, nullptr, &kind, nullptr, nullptr, nullptr, nullptr,
                                          &name);
         ++row)
        if (GoodInfoCode(0, code) && kind > 0) add(m_lists[0], row, name);
    CFaceDoc* d = doc();
    if (d) d->templateId = -1;
    for (int row = 0; GetFeatureLineInfo(row, &code, nullptr, &type, &name); ++row)
        if (type.GetLength() >= 3 && (type[2] == '1' || type[2] == '3')) add(m_lists[1], row, name);
    if (d) d->templateId = 100;
    for (int row = 0; GetRegionInfo(row, &code, nullptr, nullptr, &name); ++row) add(m_lists[2], row, name);

    for (CHeadFeatureList& list : m_lists) {
        if (!list.stateImages.GetSafeHandle()) list.stateImages.Create(153, 40, 1, RGB(0, 0, 255));
        list.SetImageList(&list.stateImages, LVSIL_STATE);
        CClientDC dc(&list);
        CFont* font = list.GetFont();
        CFont* old = font ? dc.SelectObject(font) : nullptr;
        int widest = 0;
        for (int i = 0; i < list.GetItemCount(); ++i) widest = std::max(widest, int(dc.GetTextExtent(list.GetItemText(i, 0)).cx));
        if (old) dc.SelectObject(old);
        list.InsertColumn(0, "", LVCFMT_LEFT, widest + 30);
    }
    RefreshLists();
    return TRUE;
}

void CDlgHeadFeatures::RefreshLists() {
    busy = false;
    if (!m_hWnd) return;
    head3* h = headOf(doc());
    for (int i = 0; i < 3; ++i) {
        CHeadFeatureList& list = m_lists[i];
        if (!list.m_hWnd) continue;
        for (int item = 0; item < list.GetItemCount(); ++item) {
            const int row = int(list.GetItemData(item));
            const bool has = h && present(*h, kPointList + i, codeOf(kPointList + i, row));
            list.SetStateOf(item, has ? 2 : 1);
        }
    }
    if (CWnd* note = GetDlgItem(1037)) note->ShowWindow(SW_HIDE);
    CHeadFeatureList* shown = VisibleList();
    for (CHeadFeatureList& list : m_lists)
        if (list.m_hWnd) list.ShowWindow(&list == shown ? SW_SHOW : SW_HIDE);
}

void CDlgHeadFeatures::OnTabChange(NMHDR*, LRESULT* result) {
    RefreshLists();
    if (result) *result = 0;
}

void CDlgHeadFeatures::GetNextFeatureIfNeed() {
    if (!walking || !m_hWnd) return;
    CHeadFeatureList* list = VisibleList();
    const int n = list->GetItemCount();
    int found = -1;
    for (int item = std::max(walkPosition, 0); item < n && found < 0; ++item)
        if (list->StateOf(item) == 1) found = item;
    if (found < 0) {
        walkPosition = 0;
        walking = false;
        return;
    }
    walkPosition = found + 1;
    list->EnsureVisible(found, FALSE);
    list->SetStateOf(found, 3);
    OnStartPlacing(WPARAM(list->GetDlgCtrlID()), LPARAM(found));
}

LRESULT CDlgHeadFeatures::OnChoose(WPARAM listId, LPARAM item) {
    CFaceDoc* d = doc();
    head3* h = headOf(d);
    CFaceView* view = d ? d->GetViewEdit3D<CFaceView>() : nullptr;
    CHeadFeatureList* list = List(int(listId));
    if (!view || !list || (listId != kPointList && listId != kCurveList)) return 0;
    view->selection.clear();
    if (h && item >= 0 && item < list->GetItemCount()) {
        const CString code = codeOf(int(listId), int(list->GetItemData(int(item))));
        IndexSelector s;
        if (listId == kPointList) {
            Index<featurepoint3> p = h->getFeaturepoint(code, false);
            if (p != -1) s.set(p), view->selection.push_back(s);
        } else {
            Index<featureline3> l = h->getFeatureline(code, false);
            if (l != -1) s.set(l), view->selection.push_back(s);
        }
    }
    if (view->m_hWnd) view->RedrawWindow();
    return 0;
}

LRESULT CDlgHeadFeatures::OnStartPlacing(WPARAM listId, LPARAM item) {
    CHeadFeatureList* list = List(int(listId));
    if (!list || item < 0 || item >= list->GetItemCount()) return 0;
    if (svc::MainFrame* frame = svc::mainFrame()) {
        frame->toolMode = listId == kPointList ? 6 : listId == kCurveList ? 7 : 8;
        frame->tool = 0;
    }
    CFaceDoc* d = doc();
    if (CFaceView* view = d ? d->GetViewEdit3D<CFaceView>() : nullptr) {
        view->currentRow = int(list->GetItemData(int(item)));
        if (auto* v3 = dynamic_cast<CViewEdit3D*>(view)) v3->pendingCode = view->currentRow;
    }
    busy = true;
    return 0;
}

LRESULT CDlgHeadFeatures::OnWithdraw(WPARAM listId, LPARAM item) {
    CFaceDoc* d = doc();
    head3* h = headOf(d);
    CFaceView* view = d ? d->GetViewEdit3D<CFaceView>() : nullptr;
    CHeadFeatureList* list = List(int(listId));
    if (!list || item < 0 || item >= list->GetItemCount() || (listId != kPointList && listId != kCurveList))
        return 0;
    if (view) view->selection.clear();
    const CString code = codeOf(int(listId), int(list->GetItemData(int(item))));
    if (h && listId == kPointList) {
        RemoveFeaturepoint(h->getFeaturepoint(code, false));
    } else if (h) {
        Index<featureline3> l = h->getFeatureline(code, false);
        if (l != -1) {
            featureline3& line = h->featurelines[l];
            line.set_name(kWithdrawnName, false);
            while (line.regions.count() > 0) remove_region_from_featureline(l, regionNode(line.regions.first()));
        }
    }
    if (view && view->m_hWnd) view->RedrawWindow();
    return 0;
}

void CDlgHeadFeatures::OnGetNext() {
    if (walking) return;
    walking = true;
    walkPosition = 0;
    GetNextFeatureIfNeed();
}

void CDlgHeadFeatures::OnOK() { DestroyWindow(); }
void CDlgHeadFeatures::OnCancel() { DestroyWindow(); }

void CDlgHeadFeatures::OnDestroy() {
    for (CHeadFeatureList& list : m_lists) {
        if (list.m_hWnd) list.SetImageList(nullptr, LVSIL_STATE);
        list.stateImages.DeleteImageList();
    }
    if (svc::MainFrame* frame = svc::mainFrame()) {
        frame->toolMode = 0;
        frame->tool = 1;
    }
    if (CFaceDoc* d = doc())
        for (CFaceView* v :
             {d->GetViewOrig2D<CFaceView>(), d->GetViewEdit3D<CFaceView>(), d->GetViewEdit2D3D<CFaceView>()}) {
            if (v) v->currentRow = 0;
            if (auto* v3 = dynamic_cast<CViewEdit3D*>(v)) v3->pendingCode = 0;
        }
    walking = busy = false;
    walkPosition = 0;
    CDialog::OnDestroy();
}
