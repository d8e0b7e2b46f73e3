#pragma once
// The clone-brush palette: brush size and transparency, the preview of the
// brush mask, the mirror switch and "Load Other". The 3D view reads its
// brush; the main frame owns it and deletes it once its window is gone.

#include "framework/ui.h"
#include "model/brush.h"
#include "picture/winbmp.h"
#include "seams/dialogs.h"
#include "views/brush_palette.h"

class CDlgBrushSelect : public CDialog, public svc::BrushPalette {
public:
    explicit CDlgBrushSelect(CWnd* parent = nullptr);

    // svc::BrushPalette: SetBrush, then the brush.
    const CBrush2& ReadBrush() override;

    // The slider ranges and positions from the head's texture, then the
    // brush (and the kept copy of the working picture).
    BOOL OnInitDialog() override;
    void InitDialog();
    // Reads the sliders (when the window exists) and rebuilds the brush.
    void SetBrush();
    void DrawPreView();
    // Under the frame's tool bar at the parent's client left + 2.
    void SetPos();
    void OnOther();
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;
    void OnHScroll(UINT code, UINT position, CScrollBar* bar) override;
    void OnPaint() override;

    CSliderCtrl sizeSlider, transparencySlider;
    palette::BrushSliders sliders;
    CBrush2 brush;
    int brushSize = 10;
    float strength = 0.5f;
    // The working picture when the palette opened, given back at its close.
    CWinBmp kept;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    DECLARE_MESSAGE_MAP()
};
