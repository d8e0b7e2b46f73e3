#pragma once
// The body-prepare dialog: the named points of the point table placed on
// the 3D head one after the other, the one asked for flashing on a preview
// face, the automatic ones completed from the main points. Nothing in the
// program opens it.

#include "framework/ui.h"
#include "picture/winbmp.h"

class CFaceDoc;

inline constexpr UINT IDD_BODYPREPARE = 244;

class BodyPrepareDialog : public CDialog {
public:
    BodyPrepareDialog(CWnd* parent, CFaceDoc* doc);
    // Creates the window (layout 244) beside the parent.
    BOOL Create();

    BOOL OnInitDialog() override;
    // The next point to place, or the automatic ones when none is left.
    void ChooseNextPoint();
    void StartHint();
    void StopHint();
    // The marker square of the 3D view's current row (client pixels).
    CRect MarkerSquare();
    // Where the preview picture lies (client pixels).
    CRect PictureRect();

    CWinBmp m_preview;
    CString m_hint;
    int m_radius = 2;
    bool m_flashing = false;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;
    void OnShowWindow(BOOL show, UINT status) override;
    void OnAgain();
    DECLARE_MESSAGE_MAP()

private:
    CFaceDoc* doc() const;
    CFaceDoc* m_pDoc;
    CWnd* m_pParent;
};
