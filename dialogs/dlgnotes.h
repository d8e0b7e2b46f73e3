#pragma once
// The notes of the project: each opening appends a date-and-time stamp line;
// only a confirmed dialog keeps it.

#include <ctime>

#include "framework/ui.h"

class CDlgNotes : public CDialog {
public:
    CDlgNotes();
    // The stamp: "%d.%m.%Y  -  %H:%M", or year first for language 1038.
    static CString Stamp(std::time_t when, int languageId);

    CString m_Text;
    void OnOK() override;
    void OnSFNote();

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()
};
