#pragma once
// The age page of an imported figure: age, weight, Asian and African
// sliders, each by region morphs (the ethnicity ones also recolour the
// texture step by step), Undo, Revert, Dots back to the work flow, and OK
// that writes the exchange OBJ with its bump map and ends the program. The
// morphs are morph::AgePageCore's. The main frame owns the page and
// deletes it once its window is gone.

#include "dialogs/morph_pages.h"
#include "framework/ui.h"

class CFaceDoc;
class CViewEdit3D;

class CDlgAge : public CDialog {
public:
    explicit CDlgAge(CWnd* parent = nullptr);
    explicit CDlgAge(UINT layout, CWnd* parent = nullptr);
    ~CDlgAge() override;

    // Opens the page modeless on its layout.
    BOOL Open(CWnd* parent);

    void OnOK() override;
    void OnCancel() override;
    void OnRevert();
    void OnDots();
    void OnUndo();

    const morph::AgePageCore& core() const { return core_; }
    int m_Pos[morph::kSliderCount] = {morph::kAgePageStart, morph::kAgePageStart, morph::kAgePageStart,
                                      morph::kAgePageStart};

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void PostNcDestroy() override;
    void OnHScroll(UINT code, UINT position, CScrollBar* control) override;
    DECLARE_MESSAGE_MAP()

private:
    CFaceDoc* doc() const;
    head3* head() const;
    CViewEdit3D* view3D() const;
    // The head shown anew in the 3D view (textured when asked); stage 2500.
    void RefreshHead(bool textured);

    morph::AgePageCore core_;
    CSliderCtrl m_Sliders[morph::kSliderCount];
};
