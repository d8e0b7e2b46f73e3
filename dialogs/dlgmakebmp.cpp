#include "dialogs/dlgmakebmp.h"

#include "document/facedoc.h"
#include "dialogs/feature_pages.h"
#include "document/ids.h"
#include "document/tempfolders.h"
#include "framework/paths.h"
#include "seams/app.h"
#include "views/faceview.h"

CDlgMakeBmp::CDlgMakeBmp(CWnd* parent, CFaceDoc* doc) : CDialog(IDD_MAKEBMP, parent), m_pDoc(doc) {}

CString CDlgMakeBmp::FileName(int counter) {
    // The program's own temporary folder: fmtmp under the temporary path,
    // unless that one is not ours (then the private one beside it).
    CString name;
    name.Format("%skv%.3d.bmp", files::TempFolder().c_str(), counter);
    return name;
}

void CDlgMakeBmp::showCounter() {
    CString text;
    text.Format("%d", m_counter);
    SetDlgItemText(1141, text);
    // the field shows the name as a POSIX path
    SetDlgItemText(1142, brv::PosixPath(FileName(m_counter).View()).c_str());
}

BOOL CDlgMakeBmp::OnInitDialog() {
    CDialog::OnInitDialog();
    showCounter();
    return TRUE;
}

void CDlgMakeBmp::OnOK() {
    UpdateData(TRUE);
    UpdateData(FALSE);
    showCounter();
    UpdateWindow();
    if (CFaceView* view = pages::ActiveView()) view->MakePhoto(FileName(m_counter));
    ++m_counter;
}

void CDlgMakeBmp::OnCancel() {
    // Destroying the window ends the modal run; it counts as cancelled.
    if (ContinueModal()) EndModalLoop(IDCANCEL);
    DestroyWindow();
}
