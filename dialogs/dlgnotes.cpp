#include "dialogs/dlgnotes.h"

#include "document/facedoc.h"
#include "document/ids.h"
#include "fitting/kernel2d.h"
#include "framework/datetime.h"

BEGIN_MESSAGE_MAP(CDlgNotes, CDialog)
  ON_EN_SETFOCUS(1125, OnSFNote)
END_MESSAGE_MAP()

CDlgNotes::CDlgNotes() : CDialog(IDD_NOTES) {
    if (actdoc) m_Text = actdoc->kernel2D->notes;
    if (!m_Text.IsEmpty()) {
        if (m_Text.Right(2) != "\r\n") m_Text += "\r\n";
        m_Text += "\r\n";
    }
    m_Text += Stamp(CTime::GetCurrentTime().GetTime(), svc::app().state().language) + "\r\n";
}

CString CDlgNotes::Stamp(std::time_t when, int languageId) {
    return CTime(when).Format(languageId == 1038 ? "%Y.%m.%d  -  %H:%M" : "%d.%m.%Y  -  %H:%M");
}

void CDlgNotes::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, 1125, m_Text);
}

void CDlgNotes::OnOK() {
    if (!UpdateData(TRUE)) return;
    if (actdoc) actdoc->kernel2D->notes = m_Text;
    EndDialog(IDOK);
}

void CDlgNotes::OnSFNote() {
    if (CWnd* edit = GetDlgItem(1125)) {
        edit->SendMessage(EM_SETSEL, WPARAM(-1), 0);
        edit->SendMessage(EM_SCROLLCARET);
    }
}
