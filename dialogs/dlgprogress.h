#pragma once
// The one shared progress window: a bar, the running operation's caption
// and a Stop button the operation polls through Step. Its window exists
// from Open to Close. While it is open only its own paint, timers and the
// Stop button reach the program: other input is dropped (a click beeps),
// other windows keep their last picture until the operation ends.

#include <string>

#include "framework/ui.h"
#include "seams/dialogs.h"

class CDlgProgress : public CDialog, public svc::Progress {
public:
    explicit CDlgProgress(CWnd* parent);
    ~CDlgProgress() override;

    // (Re)creates the window with the range and caption; non-zero when made.
    int Open(int low, int high, CString caption, bool showStop);
    // Pumps the pending messages and moves the bar by one; the go-on flag.
    int Step(int label) override;
    int Close() override;
    void OnStop();
    BOOL OnInitDialog() override;
    // Enter and Escape leave the window open.
    void OnOK() override {}
    void OnCancel() override {}

    // svc::Progress
    int Open(int low, int high, const std::string& caption, bool stopButton) override;

    // 1 while the operation may go on, 0 after Stop.
    int goOn = 1;
    CProgressCtrl m_Progress;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

private:
    // Handles the waiting messages that may run now and drops the rest.
    void pump();
    CWnd* owner() const;
    CWnd* parent_;
    HWND disabled_ = nullptr;  // the window kept from input while open
};
