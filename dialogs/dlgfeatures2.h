#pragma once
// The step-1 feature-point page: names the next main point to place (on the
// photo, and for the prepared head also on the head), places the other
// points of the table from the three main points, and leads on to step 2
// or back to the start page.
// The main frame owns it and deletes it once its window is gone.

#include "dialogs/page_icons.h"
#include "framework/ui.h"
#include "picture/winbmp.h"
#include "seams/dialogs.h"

class CFaceDoc;
namespace svc {
class MainFrame;
}
class head3;

class CDlgFeatures2 : public CDialog, public svc::PointPage {
public:
    explicit CDlgFeatures2(UINT templateId = 245, CWnd* parent = nullptr);

    // svc::PointPage
    void RefreshLists() override;
    void UpdateControls() override;
    void GetNextFeatureIfNeed() override;
    void StartFlash() override;
    void StopFlash() override;

    // Redraws the page.
    void RefreshActivePoint() { if (m_hWnd) Invalidate(); }

    BOOL OnInitDialog() override;
    BOOL DestroyWindow() override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnSelect();
    void OnGetAll();
    void OnClear();
    void OnUndo();
    void OnNext();
    void OnBack();
    void OnIcon(UINT id);
    // Places every accepted row below the main kind from the main points.
    void PutPointsAutomatically();
    // Imported head: the main head points started and bound.
    void PutPointAutomatically();

    CString hint;
    int markerRadius = 2;
    bool flashing = false;
    int figureValue = 1;  // radio 1096: 0 male
    int proValue = 0;     // radio 1098: 0 Easy
    bool singlePass = true;
    int ageSlider = 0, weightSlider = 3;
    CWinBmp preview, preview2;
    bool previewLoaded = false;
    // The walk step the photo view was given (template 100: row*2 + side).
    int walkStep = -1;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()

private:
    CFaceDoc* doc() const;
    svc::MainFrame* frame() const;
    bool refining() const;
    bool template100() const;
    bool importedHead() const;
    bool pictureEditor() const;
    int group() const;
    void getNextOnPhoto();
    void getNextOnHead();
    void emptySelections();
    void paintPreview(CDC& dc, const CWinBmp& picture, int left, int top, bool second);
    CString keptHint_;
    bool iconHint_ = false;
    pages::IconBar icons_;
};
