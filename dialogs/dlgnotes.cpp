#include "dialogs/dlgnotes.h"

#include "app/ids.h"

BEGIN_MESSAGE_MAP(CDlgNotes, CDialog)
END_MESSAGE_MAP()

CDlgNotes::CDlgNotes() : CDialog(IDD_NOTES) {}
CString CDlgNotes::Stamp(std::time_t, int) { return CString(); }
void CDlgNotes::OnOK() { CDialog::OnOK(); }
void CDlgNotes::OnSFNote() {}
void CDlgNotes::DoDataExchange(CDataExchange*) {}
