#include "dialogs/dlgprogress.h"

#include "app/ids.h"

BEGIN_MESSAGE_MAP(CDlgProgress, CDialog)
END_MESSAGE_MAP()

CDlgProgress::CDlgProgress(CWnd* parent) : CDialog(IDD_PROGRESS, parent), parent_(parent) {}
CDlgProgress::~CDlgProgress() = default;
int CDlgProgress::Open(int, int, CString, bool) { return 0; }
int CDlgProgress::Open(int low, int high, const std::string& caption, bool stop) {
    return Open(low, high, CString(caption.c_str()), stop);
}
int CDlgProgress::Step(int) { return goOn; }
int CDlgProgress::Close() { return 1; }
void CDlgProgress::OnStop() { goOn = 0; }
BOOL CDlgProgress::OnInitDialog() { return CDialog::OnInitDialog(); }
CDlgProgress* CDlgProgress::OpenWindow() { return nullptr; }
void CDlgProgress::DoDataExchange(CDataExchange*) {}
void CDlgProgress::PostNcDestroy() {}
void CDlgProgress::pump() {}
