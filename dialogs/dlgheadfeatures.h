#pragma once
// The template preparation window: the feature points, curves and regions
// of the FEATURES tables in lists with a state icon each (1 missing, 2 on
// the head, 3 being placed); checking one sends the 3D view into placing
// mode for it, "Get next" walks the missing ones.
// The main frame owns it and deletes it once its window is gone.

#include "document/ids.h"
#include "framework/ui.h"
#include "seams/dialogs.h"

class CFaceDoc;
class CDlgHeadFeatures;

// A report list that owns its state images and keeps the user's clicks and
// keys away while the window walks or places.
class CHeadFeatureList : public CListCtrl {
public:
    CDlgHeadFeatures* owner = nullptr;
    CImageList stateImages;

    int StateOf(int item) const;
    void SetStateOf(int item, int state);

    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnKeyUp(UINT key, UINT repeat, UINT flags) override;

protected:
    DECLARE_MESSAGE_MAP()
};

class CDlgHeadFeatures : public CDialog, public svc::PrepPage {
public:
    // Messages from the lists: wParam the list's id, lParam the item.
    static constexpr UINT kChoose = 100;
    static constexpr UINT kStartPlacing = 101;
    static constexpr UINT kWithdraw = 102;
    static constexpr int kPointList = 1031, kCurveList = 1032, kRegionList = 1033;
    // A withdrawn curve's name: no table row has it.
    static constexpr const char* kWithdrawnName = "default_name_of_FeatureLine3D";

    CDlgHeadFeatures(CWnd* parent, CFaceDoc* doc);
    explicit CDlgHeadFeatures(UINT templateId = IDD_HEADFEATURES, CWnd* parent = nullptr);

    // The frame's "Head preparing": the frame's page made when absent (over
    // the document), closed when open, otherwise opened.
    static void Toggle(CDlgHeadFeatures*& page, CWnd* frame, CFaceDoc* doc);

    BOOL OnInitDialog() override;
    void RefreshLists() override;
    void GetNextFeatureIfNeed() override;
    void OnOK() override;
    void OnCancel() override;

    bool walking = false;
    bool busy = false;
    int walkPosition = 0;
    CHeadFeatureList m_lists[3];  // points, curves, regions

    CHeadFeatureList* List(int id);
    // The list of the selected tab.
    CHeadFeatureList* VisibleList();

protected:
    void OnTabChange(NMHDR*, LRESULT* result);
    LRESULT OnChoose(WPARAM list, LPARAM item);
    LRESULT OnStartPlacing(WPARAM list, LPARAM item);
    LRESULT OnWithdraw(WPARAM list, LPARAM item);
    void OnGetNext();
    void OnDestroy() override;
    DECLARE_MESSAGE_MAP()

private:
    CFaceDoc* doc() const;
    CFaceDoc* m_pDoc = nullptr;
};
