#pragma once
// The region morph engine's window: never shown; its sliders hold the
// engine's parameters (the range slider, the side selector, the range and
// softness selectors). The morph pages create it hidden for one slider
// change, name regions and deform them one after the other.

#include <memory>
#include <span>

#include "dialogs/region_morph.h"
#include "framework/ui.h"

class head3;

class CDlgSet : public CDialog {
public:
    explicit CDlgSet(CWnd* parent = nullptr);
    ~CDlgSet() override;

    // The hidden window on its layout, a child of parent.
    BOOL CreateHidden(CWnd* parent);

    // (region name, caption, text for the static, range and softness
    // selector positions; negative: the middle), then SetMode().
    void SetMode(const CString& name, const CString& caption, const CString& text, int rangePosition,
                 int softnessPosition);
    // Reads the selectors from the sliders and rebuilds the records.
    void SetMode();
    void InitTransformation();
    char DoTransformation(double amount, bool onlyGathered);
    int GetIndex_in_m_trafo(int line, int n) const;
    // Empties the gathered set and the records; the head's box and octree
    // follow.
    void OKK();
    // OKK, the window hidden, the frame back to Select.
    void OnCancel() override;
    // A slider's sequence: each region with the caption and text "xx" and
    // the amount 10 x delta x its factor.
    void Run(std::span<const morph::RegionStep> steps, int delta);

    // Null without a head.
    morph::RegionMorphEngine* engine() { return engine_.get(); }

    CSliderCtrl m_Range, m_Side, m_RangeSelector, m_Softness;
    int m_RangePos = 0, m_SidePos = 1, m_RangeSelectorPos = 2, m_SoftnessPos = 2;
    int m_Val1 = 0, m_Val2 = 0;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnHScroll(UINT, UINT, CScrollBar*) override {}
    void OnVScroll(UINT, UINT, CScrollBar*) override {}
    DECLARE_MESSAGE_MAP()

private:
    head3* head_ = nullptr;
    std::unique_ptr<morph::RegionMorphEngine> engine_;
};
