#include "dialogs/dlglogin.h"

#include "app/ids.h"

BEGIN_MESSAGE_MAP(CDlgLogin, CDialog)
END_MESSAGE_MAP()

CDlgLogin::CDlgLogin(bool* result, CWnd* parent, CFaceDoc* doc)
    : CDialog(IDD_LOGIN, parent), result_(result), doc_(doc) {}
void CDlgLogin::OnOK() { CDialog::OnOK(); }
void CDlgLogin::OnCancel() { CDialog::OnCancel(); }
void CDlgLogin::DoDataExchange(CDataExchange*) {}
