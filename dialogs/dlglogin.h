#pragma once
// The password prompt in front of the hidden expert menu: it reports only
// whether the typed password matched.

#include "framework/ui.h"

class CFaceDoc;

class CDlgLogin : public CDialog {
public:
    CDlgLogin(bool* result, CWnd* parent, CFaceDoc* doc);

    CString m_Password;
    void OnOK() override;
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()

private:
    bool* result_;
    CFaceDoc* doc_;
};
