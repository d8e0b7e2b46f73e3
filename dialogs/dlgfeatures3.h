#pragma once
// The step-2 feature-curve page: names the next feature line to draw, on
// the photo or on the head posed over it, colours the lines drawn so far
// into two preview pictures, and leads on to step 3 or back to step 1.
// The main frame owns it and deletes it once its window is gone.

#include "dialogs/page_icons.h"
#include "framework/ui.h"
#include "picture/winbmp.h"
#include "seams/dialogs.h"

class CFaceDoc;
namespace svc {
class MainFrame;
}

class CDlgFeatures3 : public CDialog, public svc::CurvePage {
public:
    explicit CDlgFeatures3(UINT templateId = 308, CWnd* parent = nullptr);

    // svc::CurvePage
    void RefreshLists() override;
    void Redraw() override;
    void GetNextFeatureIfNeed() override;
    void StartFlash() override;
    void StopFlash() override;
    void RestartSearch() override { walk = 0; }
    void ClearFlashing() override { flashing = false; }

    BOOL OnInitDialog() override;
    BOOL DestroyWindow() override;
    void OnDestroy() override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnOK() override {}
    void OnCancel() override {}
    void ListControlCheck(int row);
    void OnGetAll();
    void OnClear();
    void OnUndo();
    void OnNext();
    void OnBack();
    void OnIcon(UINT id);

    // The two previews with the lines drawn so far coloured in (and the
    // flashing line in its phase).
    void PaintedPreviews(CWinBmp& first, CWinBmp& second) const;

    CString hint;
    int walk = 0;  // two steps a row: even the photo, odd the posed head
    bool flashing = false;
    bool flashPhase = false;
    int refiningAtOpen = 0;
    CWinBmp preview1, preview2, key1, key2;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()

private:
    CFaceDoc* doc() const;
    svc::MainFrame* frame() const;
    int previewLeft() const;
    CString keptHint_;
    bool iconHint_ = false;
    pages::IconBar icons_;
};
