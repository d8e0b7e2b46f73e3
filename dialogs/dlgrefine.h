#pragma once
// The model page's refinement question, run modally: 1 "Use Present View",
// 2 "Use New Photo" (also Escape), 3 "Cancel"; the close box answers
// nothing.

#include "framework/ui.h"

class CDlgRefine : public CDialog {
public:
    CDlgRefine(int* result, CWnd* parent = nullptr);

    void OnOK() override;
    void OnCancel() override;
    void OnCanc();

protected:
    BOOL OnInitDialog() override;
    void OnClose() override;
    DECLARE_MESSAGE_MAP()

private:
    int* result_;
};
