#include "dialogs/dlglogin.h"

#include "document/ids.h"

BEGIN_MESSAGE_MAP(CDlgLogin, CDialog)
END_MESSAGE_MAP()

CDlgLogin::CDlgLogin(bool* result, CWnd* parent, CFaceDoc* doc)
    : CDialog(IDD_LOGIN, parent), result_(result), doc_(doc) {}

void CDlgLogin::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, 1069, m_Password);
}

void CDlgLogin::OnOK() {
    UpdateData(TRUE);
    if (result_) *result_ = m_Password == "62917035";
    EndDialog(IDOK);
}

void CDlgLogin::OnCancel() {
    MessageBeep(MB_ICONASTERISK);
    EndDialog(IDCANCEL);
}
