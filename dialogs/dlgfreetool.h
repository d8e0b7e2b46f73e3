#pragma once
// The free-hand tool palette: the radius of the pull, its falloff (four
// picture buttons) and the mirror switch. The 3D view reads the radius and
// the mode; the main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"
#include "seams/dialogs.h"

class CDlgFreeTool : public CDialog, public svc::FreeToolPalette {
public:
    explicit CDlgFreeTool(CWnd* parent = nullptr);

    // svc::FreeToolPalette: the controls read back first while the window exists.
    void ReadValues(int& radiusOut, int& shapeOut) override;

    BOOL OnInitDialog() override;
    // Radius 10 of 0..25, a tick every 2.
    void InitDialog();
    void SetPos();
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    void OnHScroll(UINT code, UINT position, CScrollBar* bar) override;

    CSliderCtrl slider;
    CBitmap pictures[4];
    int mode = 0;  // the radio group 1128..1131
    int radius = 10;
    int radiusMax = 25;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()
};
