#pragma once
// The step-3 model page: the morph sliders (age and weight; Asian and
// African outside the picture-editor mode) applied to the head at once,
// Undo and Revert, the icon bar (save, display mode, mirroring, help, zoom,
// brush, free hand) and the buttons that leave the page. The morphs
// themselves are morph::ModelPageCore's; the region morphs run through a
// hidden CDlgSet. The main frame owns the page and deletes it once its
// window is gone.

#include "dialogs/morph_pages.h"
#include "dialogs/page_icons.h"
#include "framework/ui.h"

class CFaceDoc;
class CViewEdit3D;

class CDlgLaserSize : public CDialog {
public:
    explicit CDlgLaserSize(CWnd* parent = nullptr);
    // On a layout of the caller's choice (Open chooses by the mode).
    explicit CDlgLaserSize(UINT layout, CWnd* parent = nullptr);
    ~CDlgLaserSize() override;

    // The layout of the mode: IDD_MODELPS beside a picture editor, else
    // IDD_MODEL.
    static UINT LayoutFor(bool pictureEditor);
    // Opens the page modeless on the layout of the present mode.
    BOOL Open(CWnd* parent);

    // Buttons.
    void OnNext();
    void OnCancel() override;
    void OnBack();
    void OnBack2();
    void OnRefine();
    void OnUndo();
    void OnRevert();
    void OnExport();

    // The icon bar in the order it is hit-tested; the hint string of each.
    static constexpr int kIconCount = 13;
    static const int kIcons[kIconCount];
    static const UINT kIconHints[kIconCount];
    // How long a clicked icon shows pressed before it acts (ms).
    static constexpr UINT kPressTime = 300;
    // An icon's action (what a click runs once the icon is released).
    void IconAction(int id);
    // The icon being shown pressed (0: none).
    int PressedIcon() const { return pressed_; }

    const morph::ModelPageCore& core() const { return core_; }
    // The sliders' positions (age, weight, Asian, African) as last read or
    // written.
    int m_Pos[morph::kSliderCount] = {morph::kModelMiddle, morph::kModelMiddle, morph::kModelMiddle,
                                      morph::kModelMiddle};
    CString m_Hint;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void PostNcDestroy() override;
    void OnHScroll(UINT code, UINT position, CScrollBar* control) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnTimer(UINT_PTR id) override;
    void OnPaint() override;
    void OnIconClicked(UINT id);
    DECLARE_MESSAGE_MAP()

private:
    CFaceDoc* doc() const;
    head3* head() const;
    CViewEdit3D* view3D() const;
    morph::ModelPageDocument pageDocument() const;
    bool ethnicity() const { return core_.sliderCount() == 4; }
    // The geometry and texture shown anew in the 3D view; stage 2500.
    void RefreshHead();
    // The visible icon under a client point (0: none).
    int IconAt(CPoint client) const;
    void Press(int id);
    void InvertIcon(int id);
    // OnBack and OnBack2: the template again after a refinement, the start
    // state back.
    void BackToStart();
    // The page's window goes and the program ends.
    void EndProgram();

    morph::ModelPageCore core_;
    CSliderCtrl m_Sliders[morph::kSliderCount];
    int pressed_ = 0;
    pages::IconBar icons_;
    CString keptHint_;
    bool hintShown_ = false;
};
