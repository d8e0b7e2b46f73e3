#include "dialogs/dlgrefine.h"

#include "document/ids.h"

BEGIN_MESSAGE_MAP(CDlgRefine, CDialog)
  ON_BN_CLICKED(3, OnCanc)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

CDlgRefine::CDlgRefine(int* result, CWnd* parent) : CDialog(IDD_REFINE, parent), result_(result) {}

BOOL CDlgRefine::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_pParentWnd && m_pParentWnd->m_hWnd) {
        CPoint corner(0, 0);
        m_pParentWnd->ClientToScreen(&corner);
        SetWindowPos(nullptr, corner.x + 2, corner.y + 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

void CDlgRefine::OnOK() {
    if (result_) *result_ = 1;
    EndDialog(IDOK);
}

void CDlgRefine::OnCancel() {
    if (result_) *result_ = 2;
    EndDialog(IDCANCEL);
}

void CDlgRefine::OnCanc() {
    if (result_) *result_ = 3;
    EndDialog(3);
}

void CDlgRefine::OnClose() { EndDialog(IDCANCEL); }
