#include "dialogs/dlgprogress.h"

#include "document/ids.h"
#include "framework/backend.h"
#include "framework/window_state.h"

namespace {

// Input the user gives: it does not reach the program while a long
// operation runs.
bool isInput(UINT message) {
    return (message >= WM_KEYDOWN && message <= WM_SYSKEYUP) || (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) ||
           message == WM_COMMAND || message == WM_SYSCOMMAND || message == WM_CLOSE;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDlgProgress, CDialog)
  ON_BN_CLICKED(1026, OnStop)
END_MESSAGE_MAP()

CDlgProgress::CDlgProgress(CWnd* parent) : CDialog(IDD_PROGRESS, parent), parent_(parent) { svc::setProgress(this); }

CDlgProgress::~CDlgProgress() {
    if (m_hWnd) Close();
    if (svc::detail::progress == this) svc::setProgress(nullptr);
}

CWnd* CDlgProgress::owner() const { return parent_ ? parent_ : AfxGetMainWnd(); }

void CDlgProgress::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, 1015, m_Progress);
}

int CDlgProgress::Open(int low, int high, CString caption, bool showStop) {
    if (m_hWnd) DestroyWindow();
    BOOL made = Create(IDD_PROGRESS, owner());
    if (!made) return 0;
    m_Progress.SetRange32(low, high);
    m_Progress.SetPos(low);
    SetDlgItemText(1037, caption);
    goOn = 1;
    if (CWnd* stop = GetDlgItem(1026)) stop->ShowWindow(showStop ? SW_SHOW : SW_HIDE);
    // As a modal window would: the rest of the program takes no input now.
    if (!disabled_) {
        CWnd* main = owner();
        if (main && main->m_hWnd && main->IsWindowEnabled()) {
            main->EnableWindow(FALSE);
            disabled_ = main->m_hWnd;
        }
    }
    pump();
    return made;
}

int CDlgProgress::Open(int low, int high, const std::string& caption, bool stopButton) {
    return Open(low, high, CString(caption.c_str()), stopButton);
}

int CDlgProgress::Step(int) {
    if (!m_hWnd) return goOn;
    pump();
    if (m_hWnd) m_Progress.OffsetPos(1);
    return goOn;
}

int CDlgProgress::Close() {
    if (disabled_) {
        if (brv::Record(disabled_)) ::EnableWindow(disabled_, TRUE);
        disabled_ = nullptr;
    }
    if (!m_hWnd) return 1;
    return DestroyWindow();
}

void CDlgProgress::OnStop() { goOn = 0; }

BOOL CDlgProgress::OnInitDialog() {
    CDialog::OnInitDialog();
    if (CWnd* parent = owner(); parent && parent->m_hWnd) {
        CPoint corner(0, 0);
        parent->ClientToScreen(&corner);
        SetWindowPos(nullptr, corner.x + 2, corner.y + 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

void CDlgProgress::PostNcDestroy() {}

void CDlgProgress::pump() {
    // Every waiting message but the paints: those of the other windows wait
    // for the end of the operation (their last pixels stay on the screen).
    auto next = [](MSG* msg) {
        return ::PeekMessage(msg, nullptr, 0, WM_PAINT - 1, PM_NOREMOVE) ||
               ::PeekMessage(msg, nullptr, WM_PAINT + 1, ~0u, PM_NOREMOVE);
    };
    MSG msg;
    while (m_hWnd && next(&msg)) {
        if (msg.message == WM_QUIT || !::PeekMessage(&msg, msg.hwnd, msg.message, msg.message, PM_REMOVE)) break;
        bool mine = m_hWnd && (msg.hwnd == m_hWnd || IsChild(CWnd::FromHandle(msg.hwnd)));
        if (isInput(msg.message) && !mine) continue;
        if (mine && ::IsDialogMessage(m_hWnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessage(&msg);
    }
    // This window paints itself, and the desktop shows it.
    for (int guard = 0; m_hWnd && guard < 1000 && ::PeekMessage(&msg, m_hWnd, WM_PAINT, WM_PAINT, PM_REMOVE); ++guard)
        ::DispatchMessage(&msg);
    if (m_hWnd) brv::CurrentBackend().ShowWhileBusy(m_hWnd);
}
