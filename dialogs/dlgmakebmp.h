#pragma once
// Numbered bitmaps of the active view: each Next writes the view's render
// as kv000.bmp, kv001.bmp, ... in the temporary folder; Cancel ends the
// series. Runs modally.

#include "framework/ui.h"

class CFaceDoc;

class CDlgMakeBmp : public CDialog {
public:
    CDlgMakeBmp(CWnd* parent, CFaceDoc* doc);

    // kv%.3d.bmp in the temporary folder ("<temp path>fmtmp\kv000.bmp").
    static CString FileName(int counter);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    CFaceDoc* m_pDoc;
    int m_counter = 0;

private:
    void showCounter();
};
